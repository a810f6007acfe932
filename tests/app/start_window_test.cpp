#include "app/frm_execute.h"
#include "app/frm_options.h"
#include "app/frm_rename.h"
#include "app/frm_scripts.h"
#include "app/frm_start.h"
#include "gui_fixture.h"
#include "main/settings_store.h"
#include "support/qt_print.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

namespace {

void Type(frmStart& window, int side, const QString& server, const QString& database, const QString& user = {},
          const QString& password = {}) {
    window.txtServer[side]->setEditText(server);
    window.txtDB[side]->setEditText(database);
    if (!user.isEmpty() || !password.isEmpty()) {
        QTest::mouseClick(window.optUsername_Passwort[side], Qt::LeftButton);
        window.txtUsername[side]->setText(user);
        window.txtPasswort[side]->setText(password);
    }
}

// One side's parameters as "server|database|user|password", the user and password only with a
// SQL Server login.
QString Side(const frmStart& window, int side) {
    const ConnectionParams p = window.Params(side);
    return QStringList{p.Server, p.Database, p.SqlLogin ? p.User : QStringLiteral("-"), p.SqlLogin ? p.Password : QStringLiteral("-")}
        .join(QLatin1Char('|'));
}

}  // namespace

TEST_F(GuiTest, ConnectDatabaseNamesTheMissingParameterAndFocusesItsBox) {
    frmStart window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Tovimar - Version \\d+\\.\\d+\\.\\d+$")).match(window.windowTitle()).hasMatch())
        << window.windowTitle().toStdString();
    // Found by their documented names inside each side's box.
    EXPECT_EQ(window.BoxDest->findChild<QComboBox*>(QStringLiteral("txtServer")), window.txtServer[2]);

    Type(window, 1, QStringLiteral("   "), QStringLiteral("Sales"));
    EXPECT_FALSE(window.ConnectDatabase(1));
    Type(window, 2, QStringLiteral("SRV"), QStringLiteral("Sales"), QStringLiteral("sa"), QString());
    EXPECT_FALSE(window.ConnectDatabase(2));
    EXPECT_TRUE(window.txtPasswort[2]->hasFocus());
    ASSERT_EQ(prompt.Questions.size(), 2);
    EXPECT_EQ(prompt.Questions[0].Text, QStringLiteral("You have to specify Server- und Database-Name of Source-DB!"));
    EXPECT_EQ(prompt.Questions[0].Icon, PromptIcon::Exclamation);
    EXPECT_EQ(prompt.Questions[1].Text, QStringLiteral("You have so specify Username and Password for Destination-DB if "
                                                       "you do not use Windows-Autentication!"));
    EXPECT_FALSE(window.ConnectDatabase(1));
    EXPECT_TRUE(window.txtServer[1]->hasFocus());
    // A file that is not there: the connection message, no database.
    Type(window, 1, QStringLiteral("/nowhere/missing.sql"), QStringLiteral("Sales"));
    EXPECT_FALSE(window.ConnectDatabase(1));
    EXPECT_TRUE(prompt.Questions.last().Text.startsWith(QStringLiteral("Error connection to Database ")));
}

TEST_F(GuiTest, SwapAndCopyExchangeTheParametersWithTheirAuthentication) {
    frmStart window;
    Type(window, 1, QStringLiteral("SRV1"), QStringLiteral("Sales"), QStringLiteral("sa"), QStringLiteral("secret"));
    Type(window, 2, QStringLiteral("SRV2"), QStringLiteral("Archive"));
    QTest::mouseClick(window.cmdTausch, Qt::LeftButton);
    EXPECT_EQ(Side(window, 1), QStringLiteral("SRV2|Archive|-|-"));
    EXPECT_FALSE(window.txtUsername[1]->isEnabled());
    EXPECT_EQ(Side(window, 2), QStringLiteral("SRV1|Sales|sa|secret"));
    QTest::mouseClick(window.cmdCopy[2], Qt::LeftButton);
    EXPECT_EQ(Side(window, 1), QStringLiteral("SRV1|Sales|sa|secret"));
}

TEST_F(GuiTest, ParametersAreRememberedAcrossARestartOfTheWindowPasswordsOnlyInTheProcess) {
    {
        frmStart window;
        Type(window, 1, QStringLiteral("SRV\\INST"), QStringLiteral("Sales"), QStringLiteral("sa"), QStringLiteral("pw"));
        Type(window, 2, QStringLiteral("Other"), QStringLiteral("Archive"));
        window.SaveLastUsed(0);
    }
    {
        frmStart window;
        EXPECT_EQ(Side(window, 1), QStringLiteral("SRV\\INST|Sales|sa|pw"));
        EXPECT_EQ(window.txtServer[2]->count(), 2);
        EXPECT_EQ(Side(window, 2), QStringLiteral("Other|Archive|-|-"));
        // Picking the other server proposes its database.
        window.txtServer[2]->setEditText(QStringLiteral("srv\\inst"));
        EXPECT_EQ(window.Params(2).Database, QStringLiteral("Sales"));
        EXPECT_EQ(window.Params(2).User, QStringLiteral("sa"));
    }
    ClearPasswordCache();  // what a new process starts with
    {
        frmStart window;
        EXPECT_EQ(Side(window, 1), QStringLiteral("SRV\\INST|Sales|sa|"));
        QTest::mouseClick(window.cmdDelServer[1], Qt::LeftButton);
        EXPECT_EQ(window.txtServer[1]->findText(QStringLiteral("SRV\\INST")), -1);
        EXPECT_EQ(window.txtServer[2]->findText(QStringLiteral("SRV\\INST")), -1);
    }
    frmStart window;
    EXPECT_EQ(window.Params(1).Server, QString());
    EXPECT_EQ(window.Params(2).Server, QStringLiteral("Other"));
}

TEST_F(GuiTest, ProgressWindowCancelSetsTheFlagUntilTheNextCaption) {
    frmExecute progress;
    progress.ShowCaption(QStringLiteral("Reading x"));
    EXPECT_FALSE(progress.ShowMessage(QStringLiteral("LOAD Table [dbo].[a]")));
    QTest::mouseClick(progress.cmdCancel, Qt::LeftButton);
    EXPECT_TRUE(progress.ShowObjectLoad(QStringLiteral("Table"), QStringLiteral("[dbo].[b]")));
    EXPECT_FALSE(progress.cmdCancel->isEnabled());
    EXPECT_EQ(progress.Text->text(), QStringLiteral("LOAD Table [dbo].[b]"));
    progress.ShowStatus(QStringLiteral("Generating"), QStringLiteral("x"));
    EXPECT_FALSE(progress.Cancelled());
    EXPECT_TRUE(progress.cmdCancel->isHidden());
}

// The whole run through the windows on the bundled examples: parameters, options, Next, and
// the hand-over to review; then the same database on both sides, then an export.
TEST_F(GuiTest, CompleteRunOnSimulatedDatabasesThroughTheWindows) {
    frmStart window;
    window.show();
    window.FillDemo(ExamplePath("source.sql"), ExamplePath("destination.sql"));
    QTest::mouseClick(window.cmdStart, Qt::LeftButton);
    ASSERT_TRUE(window.OptionsWindow());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.OptionsWindow()->windowTitle(),
              QStringLiteral("Tovimar - Select Options for source.sql#BookshopDev -> destination.sql#Bookshop"));
    QTest::mouseClick(window.OptionsWindow()->cmdNext, Qt::LeftButton);
    QStringList texts = Texts();
    ASSERT_EQ(texts.size(), 1) << texts.join(QStringLiteral("\n")).toStdString();
    EXPECT_TRUE(texts[0].startsWith(QStringLiteral("ATTENTION: Some of the generated Scripts will delete Tables")));
    // Deletions open the rename dialog in place of the main window; closing it returns there.
    frmRename* rename = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<frmRename*>(widget); dialog && dialog->isVisible()) rename = dialog;
    ASSERT_TRUE(rename);
    EXPECT_FALSE(window.isVisible());
    rename->close();
    EXPECT_TRUE(window.isVisible());

    prompt.Questions.clear();
    window.FillDemo(ExamplePath("source.sql"), ExamplePath("source.sql"));
    window.txtDB[2]->setEditText(QStringLiteral("BookshopDev"));
    QTest::mouseClick(window.cmdStart, Qt::LeftButton);
    ASSERT_TRUE(window.OptionsWindow());
    QTest::mouseClick(window.OptionsWindow()->cmdNext, Qt::LeftButton);
    EXPECT_EQ(Texts(), QStringList{QStringLiteral("There are no differences between the Databases!")});

    prompt.Questions.clear();
    const QString exported = files.filePath(QStringLiteral("create.sql"));
    window.ChooseExportFile = [&](const QString&) { return exported; };
    QTest::mouseClick(window.cmdCreates, Qt::LeftButton);
    ASSERT_TRUE(window.OptionsWindow());
    QTest::mouseClick(window.OptionsWindow()->cmdNext, Qt::LeftButton);
    ASSERT_EQ(Texts().size(), 1);
    EXPECT_TRUE(Texts()[0].startsWith(QStringLiteral("Scripts successfully saved to file!")));
    EXPECT_TRUE(ReadAll(exported).contains("CREATE TABLE"));
}

// The database utilities work on the Source side: recompile asks first and does nothing on No;
// the documentation button shows only when the setting asks for it, and builds the tables.
TEST_F(GuiTest, UtilitiesRecompileAndDocumentTheSourceDatabase) {
    {
        frmStart window;
        EXPECT_TRUE(window.cmdDoku->isHidden());
    }
    SetSetting(QStringLiteral("CreateDocumentation"), 1);
    frmStart window;
    window.show();
    EXPECT_FALSE(window.cmdDoku->isHidden());
    window.FillDemo(ExamplePath("source.sql"), ExamplePath("destination.sql"));

    prompt.Answers = {PromptAnswer::No};
    QTest::mouseClick(window.cmdRecompile, Qt::LeftButton);
    EXPECT_EQ(Texts(), QStringList{QStringLiteral(
                           "All Views, Procedures, Functions and Triggers in the Source-DB will be recompiled. Continue?")});

    prompt.Questions.clear();
    prompt.Answers = {PromptAnswer::Yes, PromptAnswer::No};
    QTest::mouseClick(window.cmdRecompile, Qt::LeftButton);
    ASSERT_EQ(Texts().size(), 2) << Texts().join('\n').toStdString();
    EXPECT_TRUE(Texts()[1].contains(QStringLiteral("No Errors encountered!"))) << Texts()[1].toStdString();
    EXPECT_TRUE(window.isVisible());

    prompt.Questions.clear();
    prompt.Answers = {PromptAnswer::Yes};
    QTest::mouseClick(window.cmdDoku, Qt::LeftButton);
    EXPECT_EQ(Texts(), (QStringList{QStringLiteral("Database Documentation Tables will be updated. Continue?"),
                                    QStringLiteral("Documentation Tables successfully updated!")}));
    EXPECT_TRUE(window.isVisible());
}
