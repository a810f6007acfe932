// The windows after a comparison, driven as a user drives them on the simulated server: declare a
// rename, untick a script, execute, read the errors, and check the Destination afterwards.
// Screenshots of the windows go to docs/screenshots/ when UPDATE_SCREENSHOTS=1.
#include "app/frm_errors.h"
#include "app/frm_rename.h"
#include "app/frm_scripts.h"
#include "compare/generation_driver.h"
#include "main/comparison_run.h"
#include "platform/db/db_connection.h"
#include "support/qt_print.h"
#include "support/recording_progress.h"
#include "support/script_pair.h"
#include "support/scripted_prompt.h"
#include "support/temp_app_data.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

void Screenshot(QWidget& window, const QString& name) {
    window.show();
    QApplication::processEvents();
    const QPixmap pixmap = window.grab();
    EXPECT_FALSE(pixmap.isNull());
    if (qgetenv("UPDATE_SCREENSHOTS") == "1") {
        EXPECT_TRUE(pixmap.save(QStringLiteral(TOVIMAR_SOURCE_DIR "/docs/screenshots/") + name + QStringLiteral(".png")));
    }
}

QTreeWidgetItem* Row(QTreeWidget* list, const QString& text) {
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == text) return list->topLevelItem(i);
    ADD_FAILURE() << text.toStdString();
    return nullptr;
}

QString Scalar(Tovimar_Database& db, const QString& sql) {
    auto cursor = db.Connection->RunQuery(sql);
    return cursor->EndOfRows() ? QStringLiteral("<none>") : cursor->ValueAt(0).ToString();
}

// The script window on databases built from two scripts, with the program's folders in a
// temporary place.
struct ScriptsWindow {
    ScriptsWindow(const QByteArray& sourceSql, const QByteArray& destSql) {
        const ScriptPair pair = LoadScriptPair(Dir.Dir, sourceSql, destSql, QStringLiteral("A"), QStringLiteral("B"));
        Source = pair.Source;
        Dest = pair.Dest;
        Window = new frmScripts(MakeComparisonSession(Source, Dest, false),
                                GenerateComparison(*Source, *Dest, ComparisonOptions{}, Progress), Progress, Prompt);
        Window->Load();
    }
    TempAppData Dir;
    RecordingProgress Progress;
    std::shared_ptr<Tovimar_Database> Source, Dest;
    ScriptedPrompt Prompt;
    QPointer<frmScripts> Window;
};

const QByteArray SourceSql =
    "CREATE TABLE Customers (ID int NOT NULL PRIMARY KEY, FullName varchar(50) NULL, City varchar(30) NULL,\n"
    "  CONSTRAINT CK_Customers_FullName CHECK (FullName <> 'bad'))\nGO\n"
    "CREATE VIEW CustomerNames AS SELECT ID, FullName FROM Customers\nGO\n"
    "CREATE PROCEDURE GetCustomers AS SELECT * FROM Customers\nGO\n";
// The row named 'bad' makes the new check constraint fail on the Destination.
const QByteArray DestSql =
    "CREATE TABLE Customers (ID int NOT NULL PRIMARY KEY, Name varchar(50) NULL)\nGO\n"
    "INSERT INTO Customers (ID, Name) VALUES (1, 'Alice')\nINSERT INTO Customers (ID, Name) VALUES (2, 'bad')\nGO\n";

TEST(ReviewWindows, RenameUntickExecuteAndReadTheErrors) {
    const TempAppData dir;
    RecordingProgress progress;
    const auto [source, dest] = LoadScriptPair(dir.Dir, SourceSql, DestSql, QStringLiteral("Shop"), QStringLiteral("ShopCopy"));
    ASSERT_TRUE(source && dest);
    const ScriptList scripts = GenerateComparison(*source, *dest, ComparisonOptions{}, progress);
    ASSERT_TRUE(HasTableOrFieldDeletes(scripts));
    ScriptedPrompt prompt;
    QWidget mainWindow;

    // The rename dialog: the deleted column Name is the Source's FullName.
    QPointer<frmRename> rename = new frmRename(MakeComparisonSession(source, dest, false), scripts, progress, prompt,
                                               &mainWindow);
    rename->DifferenceViewer = QStringLiteral("sh \"%s\" \"%d\"");
    rename->Load();
    EXPECT_EQ(rename->windowTitle(), QStringLiteral("Tovimar - Rename Objects for ") + CapText(*source));
    rename->Deletes->setCurrentItem(Row(rename->Deletes, QStringLiteral("[dbo].[Customers].[Name]")));
    EXPECT_EQ(rename->Creates->topLevelItemCount(), 2);  // FullName and City
    rename->Creates->setCurrentItem(Row(rename->Creates, QStringLiteral("[dbo].[Customers].[FullName]")));
    ASSERT_TRUE(rename->RenameButton->isEnabled());
    Screenshot(*rename, QStringLiteral("frmRename"));
    rename->RenameButton->trigger();
    ASSERT_EQ(rename->Renames->topLevelItemCount(), 1);
    EXPECT_EQ(rename->Renames->topLevelItem(0)->text(1), QStringLiteral("[dbo].[Customers].[FullName]"));
    EXPECT_EQ(rename->Deletes->topLevelItemCount(), 0);
    EXPECT_FALSE(rename->ShowAllSrc->isEnabled());

    QTest::mouseClick(rename->cmdWeiter, Qt::LeftButton);
    QPointer<frmScripts> window = rename->ScriptsWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(rename->isHidden());
    EXPECT_TRUE(window->WasRename);
    // Back returns to the rename dialog with the pair still declared; Next opens a new window.
    QTest::mouseClick(window->cmdAbbruch, Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    ASSERT_FALSE(rename.isNull());
    EXPECT_FALSE(rename->isHidden());
    EXPECT_EQ(rename->Renames->topLevelItemCount(), 1);
    QTest::mouseClick(rename->cmdWeiter, Qt::LeftButton);
    window = rename->ScriptsWindow();
    ASSERT_TRUE(window);
    const ScriptTree& tree = window->Tree();
    const QString db = dest->Name + QLatin1Char('.');
    const int procedure = tree.Find(db + QStringLiteral("Procedures.[dbo].[GetCustomers]"));
    const int renamed = tree.Find(db + QStringLiteral("Tables.[dbo].[Customers].Columns.[FullName]"));
    ASSERT_NE(procedure, ScriptTree::None);
    ASSERT_NE(renamed, ScriptTree::None);
    EXPECT_EQ(tree.ScriptOf(renamed)->Action, QStringLiteral("RENAME"));

    // Untick the procedure: its group follows.
    window->Item(procedure)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(tree.ScriptOf(procedure)->Checked);
    EXPECT_FALSE(tree.At(tree.At(procedure).Parent).Checked);
    EXPECT_TRUE(tree.At(tree.Root()).Checked);

    // The difference viewer of the renamed column: two temporary files, Source first for "%s".
    window->trvScripts->setCurrentItem(window->Item(renamed));
    EXPECT_TRUE(window->txtSQL->toPlainText().contains(QStringLiteral("sp_rename")));
    ASSERT_TRUE(window->cmdWindiff->isEnabled());
    QStringList started;
    window->StartProcess = [&started](const QString& program, const QStringList& arguments) {
        started = QStringList{program} + arguments;
        return true;
    };
    QTest::mouseClick(window->cmdWindiff, Qt::LeftButton);
    const QStringList files = window->TemporaryFiles();
    ASSERT_EQ(started, (QStringList{QStringLiteral("sh"), files.value(0), files.value(1)}));
    {
        QWidget viewer;
        viewer.setWindowTitle(QStringLiteral("Difference viewer"));
        auto* layout = new QHBoxLayout(&viewer);
        QStringList texts;
        for (const QString& path : files) {
            texts << QString::fromUtf8(ReadAll(path));
            auto* pane = new QVBoxLayout;
            pane->addWidget(new QLabel(path, &viewer));
            auto* text = new QPlainTextEdit(texts.last(), &viewer);
            pane->addWidget(text);
            layout->addLayout(pane);
        }
        EXPECT_TRUE(texts.value(0).contains(QStringLiteral("[FullName]")));
        EXPECT_TRUE(texts.value(1).contains(QStringLiteral("[Name]")));
        viewer.resize(900, 300);
        Screenshot(viewer, QStringLiteral("difference_viewer"));
    }
    Screenshot(*window, QStringLiteral("frmScripts"));

    // Execute: yes to the question, no to the log; the errors window shows the failed check.
    prompt.Answers = {PromptAnswer::Yes, PromptAnswer::No};
    bool errorsShown = false;
    window->ShowErrorsModal = [&](frmErrors& errors) {
        errorsShown = true;
        const QString check = QStringLiteral("[CK_Customers_FullName]");
        bool found = false;
        for (const ErrorTree::Node& node : errors.Tree().Nodes()) found = found || node.Text == check;
        EXPECT_TRUE(found);
        QTest::mouseClick(errors.optErr, Qt::LeftButton);
        QTreeWidgetItem* first = errors.trvScripts->topLevelItem(0)->child(0);
        errors.trvScripts->setCurrentItem(first);
        EXPECT_TRUE(errors.txtSQL->toPlainText().startsWith(QStringLiteral("Fehlerbeschreibung: \r\n\r\n547")) ||
                    errors.txtSQL->toPlainText().startsWith(QStringLiteral("Fehlerbeschreibung: \n\n547")))
            << errors.txtSQL->toPlainText().toStdString();
        QTest::mouseClick(errors.optObj, Qt::LeftButton);
        QTreeWidgetItem* leaf = errors.trvScripts->topLevelItem(0);
        while (leaf->childCount() > 0) leaf = leaf->child(0);
        errors.trvScripts->setCurrentItem(leaf);
        EXPECT_TRUE(errors.txtSQL->toPlainText().contains(QStringLiteral("CK_Customers_FullName")));
        errors.resize(900, 420);
        Screenshot(errors, QStringLiteral("frmErrors"));
        QTest::mouseClick(errors.cmdEnde, Qt::LeftButton);
        return errors.IsContinue;
    };
    QTest::mouseClick(window->cmdDurchfuehren, Qt::LeftButton);
    EXPECT_TRUE(errorsShown);
    ASSERT_GE(prompt.Questions.size(), 2);
    EXPECT_TRUE(prompt.Questions[1].Text.contains(QStringLiteral("There have been errors encountered")));
    // Closed by its Close button: back to the main window; the temporary files are gone.
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(rename.isNull());
    EXPECT_FALSE(mainWindow.isHidden());
    for (const QString& path : files) EXPECT_FALSE(QFile::exists(path)) << path.toStdString();

    // The Destination: the renamed column kept its data, the unticked procedure was not created,
    // the failed check is not there, the view is.
    EXPECT_EQ(Scalar(*dest, QStringLiteral("SELECT FullName FROM Customers WHERE ID = 1")), QStringLiteral("Alice"));
    EXPECT_EQ(Scalar(*dest, QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE name = 'GetCustomers'")),
              QStringLiteral("0"));
    EXPECT_EQ(Scalar(*dest, QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE name = 'CK_Customers_FullName'")),
              QStringLiteral("0"));
    EXPECT_EQ(Scalar(*dest, QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE name = 'CustomerNames'")),
              QStringLiteral("1"));
}

TEST(ReviewWindows, NextWithNothingTickedAndSaveWithTheDocumentedFilter) {
    EXPECT_EQ(FileDialogFilter(QStringLiteral("Text Files (*.txt)|*.txt|SQL Files (*.sql)|*.sql|All Files (*.*)|*.*")),
              QStringLiteral("Text Files (*.txt);;SQL Files (*.sql);;All Files (*)"));
    ScriptsWindow w("CREATE VIEW V AS SELECT 1 AS X\nGO\n", "CREATE TABLE T (ID int NULL)\nGO\n");
    auto& [dir, progress, source, dest, prompt, window] = w;
    ASSERT_EQ(window->Tree().Count(), 5);  // B; Tables, [dbo].[T]; Views, [dbo].[V]
    window->Item(window->Tree().Root())->setCheckState(0, Qt::Unchecked);
    QTest::mouseClick(window->cmdDurchfuehren, Qt::LeftButton);
    ASSERT_EQ(prompt.Questions.size(), 1);
    EXPECT_EQ(prompt.Questions[0].Text, QStringLiteral("You must select at least 1 Script to execute!"));
    EXPECT_FALSE(window.isNull());

    QString offered;
    QString filter;
    window->AskSaveFileName = [&](QWidget*, const QString& title, const QString& path, const QString& f) {
        EXPECT_EQ(title, QStringLiteral("Export Scripts To"));
        offered = path;
        filter = f;
        return dir.filePath(QStringLiteral("saved.sql"));
    };
    QTest::mouseClick(window->cmdSave, Qt::LeftButton);
    EXPECT_TRUE(offered.endsWith(QLatin1Char('/') + DefaultExportFileName(*dest, source.get())))
        << offered.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("saved.sql"))));
    EXPECT_TRUE(prompt.Questions.last().Text.startsWith(QStringLiteral("Scripts successfully saved to file!")));
    window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

// A change that cannot work on the Destination's rows is shown before anything runs, and nothing
// runs: a NOT NULL column without a default added to a table that has rows.
TEST(ReviewWindows, ImpossibleChangesWarnBeforeAnythingRuns) {
    ScriptsWindow w("CREATE TABLE T (ID int NULL, Code int NOT NULL)\nGO\n",
                    "CREATE TABLE T (ID int NULL)\nGO\nINSERT INTO T (ID) VALUES (1)\nGO\n");
    auto& [dir, progress, source, dest, prompt, window] = w;
    QTest::mouseClick(window->cmdDurchfuehren, Qt::LeftButton);
    ASSERT_EQ(prompt.Questions.size(), 1);
    EXPECT_TRUE(prompt.Questions[0].Text.contains(QStringLiteral("[dbo].[T].[Code]"))) << prompt.Questions[0].Text.toStdString();
    EXPECT_FALSE(window.isNull());
    EXPECT_EQ(Scalar(*dest, QStringLiteral("SELECT COUNT(*) FROM syscolumns WHERE name = 'Code'")), QStringLiteral("0"));
    window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
