// Writes a picture of every window (QWidget::grab under the offscreen platform). With
// UPDATE_SCREENSHOTS=1 they go to docs/screenshots/ for the README; otherwise into the build
// folder, so that an ordinary test run leaves the source tree alone.
#include "app/frm_execute.h"
#include "app/frm_filter_set_props.h"
#include "app/frm_options.h"
#include "app/frm_preferences.h"
#include "app/frm_start.h"
#include "gui_fixture.h"
#include "main/settings_store.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QTreeWidget>

namespace {

QString ScreenshotFolder() {
    const QString folder = qEnvironmentVariableIsSet("UPDATE_SCREENSHOTS")
                               ? QStringLiteral(TOVIMAR_SOURCE_DIR "/docs/screenshots")
                               : QStringLiteral(TOVIMAR_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    return folder;
}

void Shoot(QWidget& window, const QString& name) {
    window.show();
    QCoreApplication::processEvents();
    const QString path = ScreenshotFolder() + QLatin1Char('/') + name + QStringLiteral(".png");
    ASSERT_TRUE(window.grab().save(path)) << path.toStdString();
    const QImage image(path);
    EXPECT_GT(image.width(), 200) << name.toStdString();
    window.hide();
}

}  // namespace

TEST_F(GuiTest, ScreenshotsOfEveryWindow) {
    SetSetting(QStringLiteral("FilterSetServer"), FilterDatabaseScript(QStringLiteral(
        "INSERT INTO _TovimarFilterSet (FilterSet_Path, FilterSet_Name) VALUES ('.', 'Bookshop')\n"
        "INSERT INTO _TovimarFilterSet (FilterSet_Path, FilterSet_Name) VALUES ('.Bookshop.', 'Reports')\n"
        "INSERT INTO _TovimarFilterSet (FilterSet_Path, FilterSet_Name) VALUES ('.', 'Archive')\n"
        "INSERT INTO _TovimarFilterElement (FilterElement_SetREF, FilterElement_Op, FilterElement_ObjectTypes, FilterElement_ObjectName, FilterElement_Flags, FilterElement_Extra) VALUES (1, 3, 'Tab', 'dbo.Orders', 16, 'Notes' + CHAR(13) + CHAR(10) + 'OrderDate >= ''20000101''')\n"
        "INSERT INTO _TovimarFilterElement (FilterElement_SetREF, FilterElement_Op, FilterElement_ObjectTypes, FilterElement_ObjectName, FilterElement_Flags) VALUES (1, 0, 'Proc Func', 'dbo.tmp%', 0)\n")));
    SetSetting(QStringLiteral("FilterSetDB"), QStringLiteral("filters"));

    frmStart main;
    main.FillDemo(ExamplePath("source.sql"), ExamplePath("destination.sql"));
    main.resize(main.sizeHint());
    Shoot(main, QStringLiteral("frmStart"));

    frmOptions options(&main, true);
    options.DB1 = std::make_shared<Tovimar_Database>();
    options.DB1->Server = QStringLiteral("source.sql");
    options.DB1->Name = QStringLiteral("BookshopDev");
    options.DB2 = std::make_shared<Tovimar_Database>();
    options.DB2->Server = QStringLiteral("destination.sql");
    options.DB2->Name = QStringLiteral("Bookshop");
    options.DB2->SetOtherObj(options.DB1.get());
    options.SourceDBName = QStringLiteral("Bookshop");
    options.LoadForm();
    options.FilterSet->expandAll();
    Shoot(options, QStringLiteral("frmOptions"));

    frmFilterSetProps editor;
    Tovimar_FilterElement element;
    element.Init(1, FilterOpForceInclude, QStringLiteral("dbo.Orders"), QStringLiteral("Tab"), FilterCopyData | FilterNoCollations,
                 QStringLiteral("Notes\r\nOrderDate >= '20000101'"));
    editor.LoadElement(element);
    Shoot(editor, QStringLiteral("frmFilterSetProps"));

    frmExecute progress;
    progress.setWindowTitle(QStringLiteral("Reading source.sql#BookshopDev"));
    progress.Text->setText(QStringLiteral("LOAD Table [dbo].[Authors]"));
    Shoot(progress, QStringLiteral("frmExecute"));

    frmPreferences preferences;
    Shoot(preferences, QStringLiteral("frmPreferences"));
}
