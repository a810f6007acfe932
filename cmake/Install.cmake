# Installation as Linux users expect it: the three programs in bin, the help pages and the
# examples in share/tovimar, and a freedesktop entry with its icon so that the desktop program
# appears in the application menu. "cpack -G DEB" in the build folder makes a Debian package.
include(GNUInstallDirs)

foreach(_program tovimar tovimar-cli tovimar-sim)
  if(TARGET ${_program})
    install(TARGETS ${_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(DIRECTORY "${CMAKE_SOURCE_DIR}/html/" DESTINATION ${CMAKE_INSTALL_DATADIR}/tovimar/html)
install(FILES "${CMAKE_SOURCE_DIR}/examples/source.sql" "${CMAKE_SOURCE_DIR}/examples/destination.sql"
              "${CMAKE_SOURCE_DIR}/examples/northwind_changes.sql" "${CMAKE_SOURCE_DIR}/examples/sample.schema"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tovimar/examples)
install(FILES "${CMAKE_SOURCE_DIR}/data/tovimar.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${CMAKE_SOURCE_DIR}/data/tovimar.svg" DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME tovimar)
set(CPACK_PACKAGE_VENDOR Pellow)
set(CPACK_PACKAGE_CONTACT "Pellow <tovimar@pellow.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Compare and synchronise SQL Server 2000 database schemas")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
# The shared libraries the programs link (Qt, unixODBC), found by dpkg-shlibdeps, and the
# driver that reaches SQL Server.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tdsodbc, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "meld | kdiff3 | kompare")
include(CPack)
