// tovimar-sim as users run it: TSV on stdout, messages on stderr, exit code 1 on errors.
#include "sim_test_util.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const QString kTool = QStringLiteral(TOVIMAR_BINARY_DIR "/sqlsim/tovimar-sim");

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};

ToolRun RunTool(const QStringList& args) {
    QProcess p;
    p.start(kTool, args);
    p.waitForFinished(120000);
    return ToolRun{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

TEST(Tool, PrintsResultSetsAsTsvAndMessagesOnStderr) {
    if (!QFile::exists(kTool)) GTEST_SKIP() << "tovimar-sim not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile script(dir.filePath(QStringLiteral("load.sql")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("CREATE DATABASE d\nGO\nUSE d\nCREATE TABLE t (a int NULL, b varchar(10) NULL)\n"
                 "INSERT t VALUES (1, 'x') INSERT t VALUES (NULL, 'y')\nPRINT 'loaded'\nGO\n");
    script.close();
    ToolRun r = RunTool({QStringLiteral("--load"), script.fileName(), QStringLiteral("--database"), QStringLiteral("d"),
                     QStringLiteral("-q"), QStringLiteral("SELECT a, b FROM t ORDER BY b SELECT @@VERSION AS v")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList lines = r.out.split(u'\n');
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0].toStdString(), "a\tb");
    EXPECT_EQ(lines[1].toStdString(), "1\tx");
    EXPECT_EQ(lines[2].toStdString(), "NULL\ty");
    EXPECT_EQ(lines[3].toStdString(), "v");
    EXPECT_TRUE(lines[4].contains(QLatin1String("SQL Server  2000")));
    EXPECT_TRUE(lines[4].contains(QLatin1String("Simulated")));
    EXPECT_TRUE(r.err.contains(QLatin1String("loaded")));
}

TEST(Tool, ExitsWithOneOnErrorsOfSeverityElevenOrMore) {
    if (!QFile::exists(kTool)) GTEST_SKIP() << "tovimar-sim not built";
    ToolRun r = RunTool({QStringLiteral("-q"), QStringLiteral("SELECT * FROM nosuch")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("Msg 208, Level 16, State 1: Invalid object name 'nosuch'."))) << r.err.toStdString();
    r = RunTool({QStringLiteral("-q"), QStringLiteral("raiserror('note', 10, 1)")});
    EXPECT_EQ(r.exitCode, 0);
    r = RunTool({QStringLiteral("--database"), QStringLiteral("nosuchdb"), QStringLiteral("-q"), QStringLiteral("select 1")});
    EXPECT_EQ(r.exitCode, 1);
}
