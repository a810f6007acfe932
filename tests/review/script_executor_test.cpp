#include "compare/script.h"
#include "compare/script_export.h"
#include "executor_fakes.h"
#include "support/golden_text.h"
#include "review/script_executor.h"
#include "schema/model.h"
#include "support/temp_app_data.h"
#include "support/test_files.h"
#include "support/qt_print.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QString kRollback = QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK");
const QString kLine80 = QString(80, QLatin1Char('-'));

// A Source and a Destination database with a few objects, a fake connection on the Destination,
// and the program's folders in a temporary place.
class ExecutorTest : public ::testing::Test {
protected:
    void SetUp() override {
        source.Server = QStringLiteral("SRV");
        source.Name = QStringLiteral("Src");
        dest.Server = QStringLiteral("SRV");
        dest.Name = QStringLiteral("Dest");
        source.SetOtherObj(&dest);
        connection = std::make_shared<FakeConnection>();
        dest.Connection = connection;
    }

    template <class T>
    T* Object(const char* name) {
        auto object = std::make_shared<T>();
        object->Owner = QStringLiteral("dbo");
        object->Name = QString::fromUtf8(name);
        keep.push_back(object);
        return object.get();
    }
    ScriptPtr Script(const QString& typ, Tovimar_Object* object, QStringList parts, bool repeatable = false) {
        auto script = std::make_shared<Tovimar_Script>();
        script->Typ = typ;
        script->Action = QStringLiteral("CREATE");
        script->ScriptedObj = object;
        script->Repeatable = repeatable;
        for (const QString& part : parts) script->AddSQL(part);
        return script;
    }
    ScriptPtr View(const char* name, QStringList parts, bool repeatable = true) {
        return Script(QStringLiteral("View"), Object<Tovimar_View>(name), std::move(parts), repeatable);
    }

    // Runs the executor directly on the scripts, with a fixed header time.
    void Run(const ScriptList& scripts, bool exportOnly = false) {
        executor.ResultFile = root.filePath(QStringLiteral("log.txt"));
        executor.Scripts = scripts;
        executor.DB = &dest;
        executor.ExportOnly = exportOnly;
        executor.Clock = [] { return QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)); };
        executor.RunScripts();
    }
    QByteArray LogBytes() const { return ReadAll(executor.ResultFile); }
    // The log's lines (every one ends with CR LF); the header's 7 lines left out.
    QStringList Body() const {
        QStringList lines = QString::fromUtf8(LogBytes()).split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.takeLast(), QString());  // the text ends with a line end
        return lines.mid(7);
    }

    TempAppData root;
    Tovimar_Database source;
    Tovimar_Database dest;
    std::shared_ptr<FakeConnection> connection;
    std::vector<std::shared_ptr<Tovimar_Object>> keep;
    RecordingProgress progress;
    ScriptExecutor executor{progress};
};

// --- Successful runs ---------------------------------------------------------------------------

TEST_F(ExecutorTest, AllOkRunLogsHeaderTitlesStatementsAndStatus) {
    ScriptPtr table = Script(QStringLiteral("Table"), Object<Tovimar_Table>("T"), {QStringLiteral("CREATE TABLE T (A int)")});
    ScriptPtr proc = Script(QStringLiteral("Procedure"), Object<Tovimar_Procedure>("P"), {});
    proc->AddSQL(QStringLiteral("CREATE PROCEDURE P AS\r\nSELECT 1"), {QStringLiteral("SET QUOTED_IDENTIFIER ON")});
    ScriptPtr unchecked = View("U", {QStringLiteral("CREATE VIEW U AS SELECT 2 AS B")});
    unchecked->Checked = false;
    Run({table, unchecked, proc});

    // Header, titles, each statement (a setting before its own) with GO and its status; CR LF
    // only; the unchecked script neither executed nor logged.
    ExpectGolden(QStringLiteral("executor_log_all_ok"), QString::fromUtf8(LogBytes()), QStringLiteral("expected.txt"));

    EXPECT_EQ(connection->Executed(), (QStringList{QStringLiteral("CREATE TABLE T (A int)"), QStringLiteral("SET QUOTED_IDENTIFIER ON"),
                                                   QStringLiteral("CREATE PROCEDURE P AS\r\nSELECT 1")}));
    EXPECT_TRUE(executor.ErrCollection.empty());
    EXPECT_EQ(progress.Captions, QStringList{QStringLiteral("Updating SRV#Dest")});
}

TEST_F(ExecutorTest, ExecuteScriptsNamesTheLogByTheDatabasePairAndAsksAboutOpeningIt) {
    ScriptedPrompt prompt;
    prompt.Answers = {PromptAnswer::Yes};
    QString resultFile;
    ExecutionReport report;
    const bool endApplication = ExecuteScripts(progress, prompt, {View("V", {QStringLiteral("CREATE VIEW V AS SELECT 1 AS A")})},
                                               dest, false, resultFile, &report);
    EXPECT_FALSE(endApplication);
    EXPECT_TRUE(report.Errors.empty());
    EXPECT_FALSE(report.Cancelled);
    const QFileInfo info(resultFile);
    EXPECT_EQ(info.absolutePath(), QDir(root.filePath(QStringLiteral("Scripts"))).absolutePath());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Tovimar_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d_SRV#Dest_to_SRV#Src\\.txt$"))
                    .match(info.fileName())
                    .hasMatch())
        << info.fileName().toStdString();
    ASSERT_EQ(prompt.Questions.size(), 1);
    EXPECT_EQ(prompt.Questions[0].Text, QStringLiteral("Done!\r\nNo Errors encountered!\r\n\r\nOpen Execution Log?"));
    EXPECT_EQ(prompt.Questions[0].Icon, PromptIcon::Information);
    EXPECT_EQ(prompt.Questions[0].Default, PromptAnswer::No);
    EXPECT_EQ(prompt.Opened, QStringList{resultFile});
    EXPECT_EQ(progress.Closed, 1);
}

// --- Failures ----------------------------------------------------------------------------------

TEST_F(ExecutorTest, FailureInPartTwoOfThreeStopsTheScriptRollsBackAndGoesOn) {
    ScriptPtr table = Script(QStringLiteral("Table"), Object<Tovimar_Table>("T"),
                             {QStringLiteral("step one"), QStringLiteral("step two"), QStringLiteral("step three")});
    ScriptPtr next = Script(QStringLiteral("Table"), Object<Tovimar_Table>("U"), {QStringLiteral("next script")});
    connection->On(QStringLiteral("step two"),
                   {{{DbError{2714, QStringLiteral("There is already an object named 'T' in the database."), false},
                      DbError{3621, QStringLiteral("The statement has been terminated."), false}}}});
    Run({table, next});

    EXPECT_EQ(connection->Executed(), (QStringList{QStringLiteral("step one"), QStringLiteral("step two"), kRollback,
                                                   QStringLiteral("next script")}));
    ASSERT_EQ(executor.ErrCollection.size(), 1u);
    const Tovimar_Error& error = *executor.ErrCollection[0];
    EXPECT_EQ(error.Script, table);
    EXPECT_EQ(error.ScriptIndex, 2);
    EXPECT_FALSE(error.TryAgain);
    EXPECT_EQ(error.ErrorList,
              (QList<Tovimar_Error::Entry>{{2714, QStringLiteral("There is already an object named 'T' in the database.")},
                                           {3621, QStringLiteral("The statement has been terminated.")}}));

    // Parts numbered, the failed one with its errors, the next script logged as usual.
    ExpectGolden(QStringLiteral("executor_log_failed_part"), QString::fromUtf8(LogBytes()), QStringLiteral("expected.txt"));
}

TEST_F(ExecutorTest, IgnoredNumbersAreNotRecordedAndDependenciesOfOtherScriptsAreFinal) {
    // A caution next to a real error: only the real error is kept.
    ScriptPtr rename = Script(QStringLiteral("Column"), Object<Tovimar_Table>("T"), {QStringLiteral("EXEC sp_rename 'T.A', 'B'")});
    connection->On(QStringLiteral("EXEC sp_rename 'T.A', 'B'"),
                   {{{DbError{15477, QStringLiteral("Caution: Changing any part of an object name could break scripts."), true},
                      DbError{15248, QStringLiteral("Either the parameter @objname is ambiguous or the claimed @objtype is wrong."),
                              false}}}});
    // A failure the server reported only with ignored numbers counts as done: the script goes on.
    ScriptPtr index = Script(QStringLiteral("Index"), Object<Tovimar_Table>("U"),
                             {QStringLiteral("CREATE INDEX I ON U (A)"), QStringLiteral("after")});
    connection->On(QStringLiteral("CREATE INDEX I ON U (A)"),
                   {{{DbError{1708, QStringLiteral("Warning: The table 'U' has been created but its maximum row size exceeds."),
                      false}}}});
    // A missing dependency of a script that may not be repeated is a plain error.
    ScriptPtr table = Script(QStringLiteral("Table"), Object<Tovimar_Table>("V"), {QStringLiteral("needs X")});
    connection->FailWith(QStringLiteral("needs X"), 208, QStringLiteral("Invalid object name 'X'."));
    Run({rename, index, table});

    ASSERT_EQ(executor.ErrCollection.size(), 2u);
    EXPECT_FALSE(executor.ErrCollection[1]->TryAgain);
    EXPECT_EQ(connection->Executed().count(QStringLiteral("needs X")), 1);
    EXPECT_EQ(executor.ErrCollection[0]->ErrorList,
              (QList<Tovimar_Error::Entry>{
                  {15248, QStringLiteral("Either the parameter @objname is ambiguous or the claimed @objtype is wrong.")}}));
    const QStringList body = Body();
    EXPECT_FALSE(body.join(QLatin1Char('\n')).contains(QStringLiteral("15477")));
    const qsizetype at = body.indexOf(QStringLiteral("CREATE INDEX I ON U (A)"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(body.mid(at, 4), (QStringList{QStringLiteral("CREATE INDEX I ON U (A)"), QStringLiteral("GO"),
                                            QStringLiteral("-- STATUS=OK?"), QStringLiteral("GO")}));
    EXPECT_TRUE(connection->Executed().contains(QStringLiteral("after")));
}

TEST_F(ExecutorTest, ErrorsAreReportedAndShownInTheErrorsWindow) {
    connection->FailWith(QStringLiteral("bad"), 547, QStringLiteral("conflict"));
    ScriptedPrompt prompt;
    prompt.Answers = {PromptAnswer::No};
    QString resultFile = root.filePath(QStringLiteral("run.txt"));
    ErrorCollection shown;
    auto showErrors = [&](Tovimar_Database& db, const ErrorCollection& errors) {
        EXPECT_EQ(&db, &dest);
        shown = errors;
        return false;  // closed other than with Close
    };
    ExecutionReport report;
    const bool endApplication = ExecuteScripts(progress, prompt, {View("V", {QStringLiteral("bad")}, false)}, dest, false,
                                               resultFile, &report, showErrors);
    EXPECT_TRUE(endApplication);
    EXPECT_EQ(resultFile, root.filePath(QStringLiteral("run.txt")));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(report.Errors, shown);
    ASSERT_EQ(prompt.Questions.size(), 1);
    EXPECT_EQ(prompt.Questions[0].Text,
              QStringLiteral("Done!\r\nThere have been errors encountered during Script-Execution!\r\n\r\nOpen Execution Log?"));
    EXPECT_EQ(prompt.Questions[0].Icon, PromptIcon::Exclamation);
    EXPECT_EQ(prompt.Questions[0].Default, PromptAnswer::Yes);
    EXPECT_TRUE(prompt.Opened.isEmpty());
}

// --- Retry passes ------------------------------------------------------------------------------

TEST_F(ExecutorTest, RepeatableViewFailingWith208RunsAgainFromTheFailedPartAfterItsType) {
    ScriptPtr a = View("A", {QStringLiteral("a part 1"), QStringLiteral("CREATE VIEW A AS SELECT X FROM B")});
    ScriptPtr b = View("B", {QStringLiteral("CREATE VIEW B AS SELECT 1 AS X")});
    ScriptPtr p = Script(QStringLiteral("Procedure"), Object<Tovimar_Procedure>("P"), {QStringLiteral("CREATE PROCEDURE P")});
    connection->On(QStringLiteral("CREATE VIEW A AS SELECT X FROM B"),
                   {{{DbError{208, QStringLiteral("Invalid object name 'B'."), false}}}, {}});
    Run({a, b, p});

    // The repetition comes after the last view and before the procedure, from part 2 on.
    EXPECT_EQ(connection->Executed(),
              (QStringList{QStringLiteral("a part 1"), QStringLiteral("CREATE VIEW A AS SELECT X FROM B"), kRollback,
                           QStringLiteral("CREATE VIEW B AS SELECT 1 AS X"), QStringLiteral("CREATE VIEW A AS SELECT X FROM B"),
                           QStringLiteral("CREATE PROCEDURE P")}));
    EXPECT_TRUE(executor.ErrCollection.empty());

    // The failure logged as ERROR-REPEAT; the repetition from part 2 on, titled REPEAT.
    ExpectGolden(QStringLiteral("executor_log_repeat"), QString::fromUtf8(LogBytes()), QStringLiteral("expected.txt"));
    EXPECT_TRUE(progress.Messages.contains(QStringLiteral("REPEAT SCRIPT CREATE for View [dbo].[A] (2)")));
}

TEST_F(ExecutorTest, ScriptsFailingAgainWithoutProgressEndAsPlainErrors) {
    ScriptPtr a = View("A", {QStringLiteral("view a")});
    ScriptPtr b = View("B", {QStringLiteral("view b")});
    connection->FailWith(QStringLiteral("view a"), 208, QStringLiteral("Invalid object name 'Q'."));
    connection->FailWith(QStringLiteral("view b"), 207, QStringLiteral("Invalid column name 'Z'."));
    Run({a, b});

    // First run, one pass with progress unknown, one pass without progress (the last try).
    const QStringList once = {QStringLiteral("view a"), kRollback, QStringLiteral("view b"), kRollback};
    EXPECT_EQ(connection->Executed(), once + once + once);
    ASSERT_EQ(executor.ErrCollection.size(), 2u);
    EXPECT_EQ(executor.ErrCollection[0]->Script, a);
    EXPECT_EQ(executor.ErrCollection[1]->Script, b);
    for (const ErrorPtr& error : executor.ErrCollection) EXPECT_FALSE(error->TryAgain);
    const QStringList body = Body();
    EXPECT_EQ(body.count(QStringLiteral("-- STATUS=ERROR-REPEAT.")), 4);
    EXPECT_EQ(body.count(QStringLiteral("-- STATUS=ERROR.")), 2);
    // The script list stays as generated, so that it can be run again.
    EXPECT_TRUE(a->Repeatable);
    EXPECT_TRUE(b->Repeatable);
}

TEST_F(ExecutorTest, PartialProgressKeepsRetryingUntilAPassChangesNothing) {
    // C needs B, B needs A, A comes last: every pass resolves one more.
    ScriptPtr c = View("C", {QStringLiteral("view c")});
    ScriptPtr b = View("B", {QStringLiteral("view b")});
    ScriptPtr a = View("A", {QStringLiteral("view a")});
    const FakeConnection::Answer missing{{DbError{208, QStringLiteral("Invalid object name."), false}}, false};
    connection->On(QStringLiteral("view c"), {missing, missing, {}});
    connection->On(QStringLiteral("view b"), {missing, {}});
    Run({c, b, a});
    EXPECT_TRUE(executor.ErrCollection.empty());
    EXPECT_EQ(connection->Executed().filter(QStringLiteral("view c")).size(), 3);
}

// --- Cancel ------------------------------------------------------------------------------------

TEST_F(ExecutorTest, CancelEndsTheRunningStatementRollsBackAndEndsTheRun) {
    ScriptPtr a = View("A", {QStringLiteral("long statement"), QStringLiteral("part two")});
    ScriptPtr b = View("B", {QStringLiteral("never")});
    ScriptPtr waiting = View("W", {QStringLiteral("waits for a retry")});
    connection->FailWith(QStringLiteral("waits for a retry"), 208, QStringLiteral("Invalid object name 'Q'."));
    connection->On(QStringLiteral("long statement"), {FakeConnection::Answer{{}, true}});
    progress.PressCancelWhen = [this] { return connection->Waiting(); };
    Run({waiting, a, b});

    EXPECT_TRUE(executor.WasCancelled());
    EXPECT_EQ(connection->Executed(), (QStringList{QStringLiteral("waits for a retry"), kRollback,
                                                   QStringLiteral("long statement"), kRollback}));
    ASSERT_EQ(executor.ErrCollection.size(), 2u);
    // The error waiting for its retry is kept, not lost.
    EXPECT_EQ(executor.ErrCollection[0]->Script, waiting);
    const Tovimar_Error& error = *executor.ErrCollection[1];
    EXPECT_EQ(error.Script, a);
    EXPECT_EQ(error.ScriptIndex, 1);
    EXPECT_EQ(error.ErrorList, (QList<Tovimar_Error::Entry>{{1, QStringLiteral("Cancelled")}}));
    EXPECT_TRUE(Body().contains(QStringLiteral("--    ERR=1 - Cancelled")));
}

TEST_F(ExecutorTest, ACancelledStatementIsJudgedByWhatTheServerReported) {
    // The server reported errors for it: those are recorded instead of "Cancelled".
    connection->On(QStringLiteral("long statement"),
                   {FakeConnection::Answer{{DbError{1205, QStringLiteral("Transaction was deadlocked."), false}}, true}});
    progress.PressCancelWhen = [this] { return connection->Waiting(); };
    Run({View("A", {QStringLiteral("long statement")})});
    ASSERT_EQ(executor.ErrCollection.size(), 1u);
    EXPECT_EQ(executor.ErrCollection[0]->ErrorList,
              (QList<Tovimar_Error::Entry>{{1205, QStringLiteral("Transaction was deadlocked.")}}));

    // It completed before the cancel arrived: it is done, and logged so; the run ends after it.
    connection->On(QStringLiteral("done in time"), {FakeConnection::Answer{{}, true, true}});
    Run({View("B", {QStringLiteral("done in time")}), View("C", {QStringLiteral("never")})});
    EXPECT_TRUE(executor.WasCancelled());
    EXPECT_TRUE(executor.ErrCollection.empty());
    EXPECT_EQ(Body(), (QStringList{QStringLiteral("-- SCRIPT CREATE for View [dbo].[B]"), kLine80, QStringLiteral("done in time"),
                                   QStringLiteral("GO"), QStringLiteral("-- STATUS=OK."), QStringLiteral("GO"), kLine80}));
    EXPECT_FALSE(connection->Executed().contains(QStringLiteral("never")));
}

// The log of an execution is written as the statements run: a run that is killed leaves the
// record of what already ran.
TEST_F(ExecutorTest, TheLogIsWrittenThroughAsTheStatementsRun) {
    connection->On(QStringLiteral("second"), {FakeConnection::Answer{{}, true, true}});
    QByteArray seenWhileRunning;
    progress.PressCancelWhen = [this, &seenWhileRunning] {
        if (!connection->Waiting()) return false;
        seenWhileRunning = LogBytes();
        return true;
    };
    Run({View("A", {QStringLiteral("first")}), View("B", {QStringLiteral("second")})});
    EXPECT_TRUE(seenWhileRunning.contains("first\r\nGO\r\n-- STATUS=OK.\r\nGO\r\n" + kLine80.toUtf8() +
                                          "\r\n-- SCRIPT CREATE for View [dbo].[B]\r\n"))
        << seenWhileRunning.toStdString();
    EXPECT_TRUE(executor.LogError().isEmpty());
}

// For a server inside this process the log is collected in blocks: the same bytes. A log that
// cannot be written does not stop the run; what it could not take is handed back, in blocks as
// when it is written through.
TEST_F(ExecutorTest, ALogWrittenInBlocksHasTheSameBytesAndFailures) {
    const QString big = QStringLiteral("SELECT '%1'").arg(QString(40000, QLatin1Char('x')));
    connection->FailWith(QStringLiteral("bad"), 2714, QStringLiteral("There is already an object named 'B'."));
    const auto scripts = [&] {
        return ScriptList{View("A", {big, QStringLiteral("first")}), View("B", {QStringLiteral("bad")}),
                          View("C", {big, big, big}), View("D", {QStringLiteral("last")})};
    };
    struct Outcome {
        QByteArray Bytes;
        QString Error, Unwritten;
    };
    const auto runBoth = [&](const QString& file) {
        std::vector<Outcome> outcomes;
        for (const bool inThisProcess : {false, true}) {
            connection->InThisProcess = inThisProcess;
            Run(scripts());
            if (!file.isEmpty()) {
                executor.ResultFile = file;
                executor.RunScripts();
            }
            EXPECT_EQ(executor.ErrCollection.size(), 1u);
            outcomes.push_back({file.isEmpty() ? LogBytes() : QByteArray(), executor.LogError(), executor.UnwrittenLog()});
        }
        return outcomes;
    };
    const std::vector<Outcome> written = runBoth(QString());
    EXPECT_GT(written[0].Bytes.size(), 2 * 64 * 1024);  // more than one block
    EXPECT_EQ(written[1].Bytes, written[0].Bytes);
    EXPECT_TRUE(written[1].Error.isEmpty());

    if (!QFileInfo::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full to fail on";
    const std::vector<Outcome> failed = runBoth(QStringLiteral("/dev/full"));
    EXPECT_TRUE(failed[0].Error.contains(QStringLiteral("/dev/full")));
    EXPECT_TRUE(failed[0].Unwritten.contains(QStringLiteral("first\nGO\n-- STATUS=OK.\n")));
    EXPECT_TRUE(failed[0].Unwritten.contains(QStringLiteral("--    ERR=2714 - There is already an object named 'B'.\n")));
    EXPECT_EQ(failed[1].Error, failed[0].Error);
    EXPECT_EQ(failed[1].Unwritten, failed[0].Unwritten);
    EXPECT_TRUE(failed[1].Unwritten.endsWith(QStringLiteral("last\nGO\n-- STATUS=OK.\nGO\n") + kLine80 + QLatin1Char('\n')));
}

TEST_F(ExecutorTest, ACancelledExportIsNotReportedAsComplete) {
    // Every cancelled execution leaves a "Cancelled" error; an export has no statement to fail.
    progress.PressCancelWhen = [this] { return progress.Messages.size() == 2; };
    ScriptedPrompt prompt;
    QString resultFile = root.filePath(QStringLiteral("part.sql"));
    ExecutionReport report;
    ExecuteScripts(progress, prompt, {View("A", {QStringLiteral("SELECT 'a'")}), View("B", {QStringLiteral("SELECT 'b'")}),
                                      View("C", {QStringLiteral("SELECT 'c'")})},
                   dest, true, resultFile, &report);
    EXPECT_TRUE(report.Cancelled);
    EXPECT_TRUE(report.Errors.empty());
    const QByteArray text = ReadAll(resultFile);
    EXPECT_TRUE(text.contains("SELECT 'b'"));
    EXPECT_FALSE(text.contains("SELECT 'c'"));
    ASSERT_EQ(prompt.Questions.size(), 1);
    EXPECT_EQ(prompt.Questions[0].Text,
              QStringLiteral("Cancelled!\r\nThe file holds only part of the Scripts!\r\n\r\nOpen File?"));
}

// --- Export mode -------------------------------------------------------------------------------

TEST_F(ExecutorTest, ExportWritesHeaderTitlesPartsAndGoWithoutStatusOrExecution) {
    dest.Connection.reset();  // the export never touches a server
    ScriptPtr view = View("V", {QStringLiteral("CREATE VIEW V AS SELECT 1 AS A")});
    ScriptPtr proc = Script(QStringLiteral("Procedure"), Object<Tovimar_Procedure>("P"), {QStringLiteral("DROP PROCEDURE P")});
    proc->AddSQL(QStringLiteral("CREATE PROCEDURE P AS SELECT 1"), {QStringLiteral("SET ANSI_NULLS ON")});
    ScriptPtr unchecked = View("U", {QStringLiteral("CREATE VIEW U AS SELECT 2 AS B")});
    unchecked->Checked = false;
    Run({view, unchecked, proc}, true);

    // Titles, parts and GO lines; no status, and the unchecked script left out.
    ExpectGolden(QStringLiteral("executor_export"), QString::fromUtf8(LogBytes()), QStringLiteral("expected.txt"));
    EXPECT_TRUE(executor.ErrCollection.empty());

    // The text for standard output is the file's text; the comparison layer renders each script
    // (for its golden files) as the file holds it.
    const QDateTime at(QDate(2024, 3, 5), QTime(7, 8, 9));
    const QString saved = QString::fromUtf8(LogBytes());
    EXPECT_EQ(ScriptFileText({view, unchecked, proc}, dest, at), saved);
    EXPECT_TRUE(saved.endsWith(ExportScriptText(*view) + ExportScriptText(*proc))) << saved.toStdString();
}

TEST_F(ExecutorTest, ExportScriptsAsksToOpenTheFileAndReportsAFileItCannotWrite) {
    ScriptedPrompt prompt;
    const QString path = root.filePath(QStringLiteral("saved.sql"));
    EXPECT_TRUE(ExportScripts(progress, prompt, {View("V", {QStringLiteral("SELECT 1")})}, dest, path));
    EXPECT_TRUE(connection->Executed().isEmpty());
    ASSERT_EQ(prompt.Questions.size(), 1);
    EXPECT_EQ(prompt.Questions[0].Text, QStringLiteral("Scripts successfully saved to file!\r\n\r\nOpen File?"));
    EXPECT_EQ(prompt.Questions[0].Default, PromptAnswer::Yes);
    EXPECT_EQ(prompt.Opened, QStringList{path});

    ScriptedPrompt failing;
    const QString bad = root.filePath(QStringLiteral("no/such/folder/x.sql"));
    EXPECT_FALSE(ExportScripts(progress, failing, {View("V", {QStringLiteral("SELECT 1")})}, dest, bad));
    ASSERT_EQ(failing.Questions.size(), 1);
    EXPECT_TRUE(failing.Questions[0].Text.startsWith(QStringLiteral("Error saving file:\r\n") + bad +
                                                     QStringLiteral("\r\n\r\nError Number: 75\r\nDescription: ")))
        << failing.Questions[0].Text.toStdString();
    EXPECT_EQ(failing.Questions[0].Icon, PromptIcon::Critical);
    EXPECT_FALSE(ExportScripts(progress, failing, {}, dest, QString()));
}

// --- Errors of the run itself and file names ---------------------------------------------------

TEST_F(ExecutorTest, ARunWithoutConnectionFailsBeforeWritingAnything) {
    dest.Connection.reset();
    EXPECT_THROW(Run({View("V", {QStringLiteral("SELECT 1")})}), TovimarException);
    EXPECT_FALSE(QFile::exists(executor.ResultFile));
}

TEST(ScriptFileNames, ResultFilesCarryTheTimeAndAPathSafeBaseName) {
    const TempAppData root;
    const QDateTime at(QDate(2024, 12, 31), QTime(23, 5, 9));
    QString base;
    EXPECT_EQ(GetScriptFileName(base, QString(), at),
              QDir(root.filePath(QStringLiteral("Scripts"))).filePath(QStringLiteral("Tovimar_2024-12-31_23-05-09_Result.txt")));
    EXPECT_EQ(base, QStringLiteral("Result"));
    EXPECT_TRUE(QDir(root.filePath(QStringLiteral("Scripts"))).exists());
    base = QStringLiteral("h#a/b_to_h#c");
    EXPECT_TRUE(GetScriptFileName(base, QStringLiteral(".sql"), at).endsWith(QStringLiteral("/Tovimar_2024-12-31_23-05-09_h#a$b_to_h#c.sql")));

    // Two runs of the same pair in the same second get a log each.
    base = QStringLiteral("h#a_to_h#b");
    const QString first = CreateScriptFile(base, QString(), at);
    const QString second = CreateScriptFile(base, QString(), at);
    EXPECT_TRUE(first.endsWith(QStringLiteral("_h#a_to_h#b.txt"))) << first.toStdString();
    EXPECT_TRUE(second.endsWith(QStringLiteral("_h#a_to_h#b_2.txt"))) << second.toStdString();
    EXPECT_TRUE(QFile::exists(first) && QFile::exists(second));

    // Database names of 128 characters each still give a name the file system takes, and two
    // such pairs that differ only at the end stay apart.
    const QString longName = QString(120, QChar(0x00E9)) + QStringLiteral("01234567");
    QString longBase = QStringLiteral("SRV#") + longName + QStringLiteral("_to_SRV#") + longName;
    QString otherBase = longBase;
    otherBase.back() = QLatin1Char('8');
    const QString longPath = CreateScriptFile(longBase, QString(), at);
    const QString otherPath = GetScriptFileName(otherBase, QString(), at);
    EXPECT_LE(QFile::encodeName(QFileInfo(longPath).fileName()).size(), 255);
    EXPECT_TRUE(longPath.endsWith(QStringLiteral(".txt")));
    EXPECT_NE(QFileInfo(longPath).fileName(), QFileInfo(otherPath).fileName());
    EXPECT_TRUE(QFile::exists(longPath));

    Tovimar_Database a, b;
    a.Server = QStringLiteral("SRV\\INST");
    a.Name = QStringLiteral("Sales.2024");
    b.Server = QStringLiteral("B");
    b.Name = QStringLiteral("Y");
    EXPECT_EQ(DefaultExportFileName(b, &a), QStringLiteral("Tovimar_SRV$INST#Sales-2024_to_B#Y"));
    EXPECT_EQ(DefaultExportFileName(b, nullptr), QStringLiteral("Tovimar_B#Y"));
}

}  // namespace
