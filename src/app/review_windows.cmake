# The windows after a comparison: script window, errors window, rename dialog, with their icon
# set. A library of its own that the desktop program links; it needs Qt Widgets.
if(NOT TARGET app_review)
  add_library(app_review STATIC
    ${CMAKE_CURRENT_LIST_DIR}/comparison_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tree_images.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frm_errors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frm_scripts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frm_rename.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frm_errors.h
    ${CMAKE_CURRENT_LIST_DIR}/frm_scripts.h
    ${CMAKE_CURRENT_LIST_DIR}/frm_rename.h
    ${CMAKE_CURRENT_LIST_DIR}/icons/icons.qrc)
  set_target_properties(app_review PROPERTIES AUTOMOC ON AUTORCC ON)
  target_include_directories(app_review PUBLIC "${CMAKE_CURRENT_LIST_DIR}/..")
  target_link_libraries(app_review PUBLIC rename review Qt6::Widgets)
  tovimar_warnings(app_review)
endif()
