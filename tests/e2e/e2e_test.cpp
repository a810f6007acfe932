// Real clients over the real protocol: the simulated server behind its TDS listener on a
// loopback port, reached by FreeTDS's tsql, by tovimar-cli through unixODBC and the FreeTDS
// driver, and by the engine's own connection and executor. Each test proves one whole path.
#include "cli/cli_runner.h"
#include "e2e/sim_listener.h"
#include "platform/db/db_connection.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "review/script_executor.h"
#include "schema/model.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <thread>

namespace {

const QString kSource = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/source.sql");
const QString kDest = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/destination.sql");
// A password holding the characters that could end or add a connection-string attribute.
const QString kUser = QStringLiteral("tester");
const QString kPassword = QStringLiteral("p;w}d{x=");
const QString kLogin = kUser + QLatin1Char(':') + kPassword;

#define REQUIRE_LISTENER(listener) \
    ASSERT_GT((listener).Port(), 0) << "the listener did not start"

TEST(EndToEnd, TsqlLogsInAndRunsAQuery) {
    const QString tsql = QStandardPaths::findExecutable(QStringLiteral("tsql"));
    if (tsql.isEmpty()) GTEST_SKIP() << "tsql (freetds-bin) is not installed";
    SimListener listener({kDest}, {kLogin});
    REQUIRE_LISTENER(listener);
    for (const char* version : {"7.0", "7.1", "7.4"}) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TDSVER"), QString::fromLatin1(version));
        process.setProcessEnvironment(env);
        process.start(tsql, {QStringLiteral("-H"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                             QString::number(listener.Port()), QStringLiteral("-U"), kUser, QStringLiteral("-P"),
                             kPassword, QStringLiteral("-D"), QStringLiteral("Bookshop")});
        process.write("SELECT COUNT(*) AS n, MAX(name) AS last, NULL AS nothing FROM sysobjects WHERE xtype = 'U'\ngo\n"
                      "SELECT * FROM NoSuchTable\ngo\nexit\n");
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(20000)) << version;
        const QString out = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        EXPECT_TRUE(out.contains(QStringLiteral("n\tlast\tnothing"))) << version << out.toStdString();
        EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("\\n\\d+\\t\\w+\\tNULL\\n")))) << version << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("Msg 208"))) << version << out.toStdString();
    }
}

// info, compare, sync and verify over ODBC; a sync changes the listener's database for good.
TEST(EndToEnd, CliReadsComparesAndSyncsOverOdbc) {
    SimListener listener({kSource, kDest}, {kLogin});
    REQUIRE_LISTENER(listener);
    const QString liveSource = listener.Url(kUser, kPassword, QStringLiteral("BookshopDev"));
    const QString liveDest = listener.Url(kUser, kPassword, QStringLiteral("Bookshop"));

    const CliResult infoLive = RunCli({QStringLiteral("info"), liveSource});
    const CliResult infoSim = RunCli({QStringLiteral("info"), kSource});
    ASSERT_EQ(infoLive.ExitCode, 0) << Show(infoLive);
    EXPECT_EQ(infoLive.Out, infoSim.Out);

    const CliResult before = RunCli({QStringLiteral("compare"), kSource, liveDest, QStringLiteral("--summary")});
    const CliResult beforeSim = RunCli({QStringLiteral("compare"), kSource, kDest, QStringLiteral("--summary")});
    EXPECT_EQ(before.ExitCode, 1) << Show(before);
    EXPECT_EQ(before.Out, beforeSim.Out);

    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("sync.log"));
    const CliResult sync = RunCli({QStringLiteral("sync"), kSource, liveDest, QStringLiteral("--yes"),
                                   QStringLiteral("--allow-data-loss"), QStringLiteral("--log"), log});
    ASSERT_EQ(sync.ExitCode, 0) << Show(sync);
    EXPECT_TRUE(ReadAll(log).contains("STATUS=OK")) << ReadAll(log).left(2000).toStdString();

    const CliResult after = RunCli({QStringLiteral("compare"), kSource, liveDest, QStringLiteral("--summary")});
    EXPECT_EQ(after.ExitCode, 0) << Show(after);
    EXPECT_TRUE(after.Err.contains(QStringLiteral("There are no differences between the Databases!")));

    // The live Source, proved on a simulated copy of the Destination script (which loses the rows
    // of a dropped table, as the sync above did).
    const CliResult verify = RunCli({QStringLiteral("verify"), liveSource, kDest, QStringLiteral("--allow-data-loss")});
    EXPECT_EQ(verify.ExitCode, 0) << Show(verify);
}

TEST(EndToEnd, WrongPasswordFailsWithTheServersNumber) {
    SimListener listener({}, {kLogin});
    REQUIRE_LISTENER(listener);
    const CliResult r = RunCli({QStringLiteral("info"), listener.Url(kUser, QStringLiteral("wrong"), QStringLiteral("master"))});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("Error Number: 18456\nDescription: Error connection to Database 127.0.0.1,%1\\master: "
                                              "Login failed for user 'tester'.")
                                   .arg(listener.Port())))
        << Show(r);
    EXPECT_FALSE(r.Err.contains(QStringLiteral("wrong")));
}

// The executor's log carries the server's native numbers of failed statements.
TEST(EndToEnd, ExecutorLogsNativeErrorNumbers) {
    SimListener listener({kDest}, {kLogin});
    REQUIRE_LISTENER(listener);
    Tovimar_Database dest;
    dest.Server = listener.Server();
    dest.Name = QStringLiteral("Bookshop");
    dest.Connection = OpenConnection(dest.Server, dest.Name, kUser, kPassword);
    dest.Connection->ExecuteSQL(QStringLiteral(
        "CREATE TABLE dbo.P (ID int NOT NULL PRIMARY KEY)\r\n"
        "CREATE TABLE dbo.C (ID int NOT NULL, PID int NOT NULL REFERENCES dbo.P (ID))\r\n"
        "INSERT INTO dbo.P (ID) VALUES (1)"));

    std::vector<std::shared_ptr<Tovimar_Object>> objects;
    auto script = [&](const char* name, const QString& sql) {
        auto object = std::make_shared<Tovimar_Table>();
        object->Owner = QStringLiteral("dbo");
        object->Name = QString::fromLatin1(name);
        objects.push_back(object);
        auto s = std::make_shared<Tovimar_Script>();
        s->Typ = QStringLiteral("Table");
        s->Action = QStringLiteral("CHANGE");
        s->ScriptedObj = object.get();
        s->AddSQL(sql);
        return s;
    };
    NullProgress progress;
    ScriptExecutor executor{progress};
    QTemporaryDir dir;
    executor.ResultFile = dir.filePath(QStringLiteral("log.txt"));
    executor.Scripts = {script("Missing", QStringLiteral("INSERT INTO dbo.Missing (ID) VALUES (1)")),
                        script("P", QStringLiteral("INSERT INTO dbo.P (ID) VALUES (1)")),
                        script("C", QStringLiteral("INSERT INTO dbo.C (ID, PID) VALUES (1, 99)"))};
    executor.DB = &dest;
    executor.RunScripts();

    std::vector<long> numbers;
    for (const auto& error : executor.ErrCollection)
        if (!error->ErrorList.isEmpty()) numbers.push_back(error->ErrorList[0].Number);
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<long>{208, 547, 2627}));
    const QByteArray log = ReadAll(executor.ResultFile);
    for (const char* expected : {"ERR=208 - Invalid object name 'dbo.Missing'.", "ERR=2627 - Violation of PRIMARY KEY",
                                 "ERR=547 - INSERT statement conflicted"})
        EXPECT_TRUE(log.contains(expected)) << expected << "\n" << log.toStdString();
}

// A long statement cancelled from the polling thread ends at once; the connection goes on.
TEST(EndToEnd, CancelStopsALongStatement) {
    SimListener listener({}, {kLogin});
    REQUIRE_LISTENER(listener);
    std::shared_ptr<DbConnection> connection = OpenConnection(listener.Server(), QStringLiteral("master"), kUser, kPassword);
    QElapsedTimer timer;
    timer.start();
    connection->ExecuteAsync(QStringLiteral("WAITFOR DELAY '00:00:30'"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(connection->IsExecuting());
    connection->Cancel();
    const DbBatchOutcome outcome = connection->FinishExecute();
    EXPECT_TRUE(outcome.Cancelled);
    EXPECT_LT(timer.elapsed(), 15000);
    auto cursor = connection->RunQuery(QStringLiteral("SELECT 42 AS answer"));
    ASSERT_FALSE(cursor->EndOfRows());
    EXPECT_EQ(cursor->Value(QStringLiteral("answer")).ToInt(), 42);
}

// A second, independent client: tedious (npm), installed once into the build folder. An old
// version, for its few dependencies: it speaks TDS 7.4 like the current ones.
TEST(EndToEnd, TediousConnectsRunsABatchAndCancels) {
    const QString npm = QStandardPaths::findExecutable(QStringLiteral("npm"));
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (npm.isEmpty() || node.isEmpty()) GTEST_SKIP() << "npm or node is not installed: the tedious client is not tried";
    const QString prefix = QStringLiteral(TOVIMAR_BINARY_DIR "/e2e-node");
    if (!QFile::exists(prefix + QStringLiteral("/node_modules/tedious/package.json"))) {
        QDir().mkpath(prefix);
        QProcess install;
        install.start(npm, {QStringLiteral("install"), QStringLiteral("--prefix"), prefix, QStringLiteral("--no-audit"),
                            QStringLiteral("--no-fund"), QStringLiteral("--silent"), QStringLiteral("tedious@2.7.1")});
        if (!install.waitForFinished(90000) || install.exitCode() != 0) {
            install.kill();
            install.waitForFinished(5000);
            GTEST_SKIP() << "npm could not install tedious: " << install.readAllStandardError().toStdString();
        }
    }
    SimListener listener({kDest}, {kLogin});
    REQUIRE_LISTENER(listener);
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NODE_PATH"), prefix + QStringLiteral("/node_modules"));
    client.setProcessEnvironment(env);
    client.start(node, {QStringLiteral(TOVIMAR_TEST_DATA_DIR "/e2e/tedious_client.js"), QString::number(listener.Port()),
                        kUser, kPassword});
    ASSERT_TRUE(client.waitForFinished(60000));
    const QString out = QString::fromUtf8(client.readAllStandardOutput() + client.readAllStandardError());
    EXPECT_EQ(client.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("rows 1 Bookshop"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("cancelled"))) << out.toStdString();
}

}  // namespace
