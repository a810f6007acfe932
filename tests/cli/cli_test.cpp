// tovimar-cli as users run it: exit status, stdout and stderr.
#include "cli/cli_runner.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Example = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/sample.schema");

}  // namespace

TEST(CliTest, InfoCountsEveryKindOfTheExample) {
    const CliResult r = RunCli({QStringLiteral("info"), Example});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, QStringLiteral("FileGroups\t2\nTables\t5\nColumns\t26\nIndexes\t11\nRelations\t5\n"
                                    "Defaults\t6\nChecks\t4\nTriggers\t2\nViews\t2\nProcedures\t3\n"
                                    "Functions\t1\nRoles\t2\nPermissions\t10\nCatalogs\t1\n"));
    EXPECT_EQ(r.Err, QString());  // no progress line when stderr is not a terminal
}

// Unreadable sources end with status 2 and the error lines: malformed, overflowing, binary and
// truncated snapshots (a snapshot cut short is never a smaller database), a script the server
// refuses, missing files.
TEST(CliTest, ErrorsEndWithStatus2AndTheErrorLines) {
    QTemporaryDir dir;
    const QByteArray whole = ReadAll(Example);
    const QString any = QStringLiteral("\\d+\nDescription: ");
    const QString malformed = WriteFile(dir, QStringLiteral("bad.schema"),
                                        ";Database;a;b;v;80;80;0\r\n;IndexFieldName;x\r\n");
    const struct {
        QString Path;
        QString Pattern;  // what follows "Error Number: "
    } cases[] = {
        {malformed, any},
        {WriteFile(dir, QStringLiteral("big.schema"), ";Database;a;b;v;99999999999999999999;80;0\r\n"), any},
        {WriteFile(dir, QStringLiteral("text.schema"), "hello\r\n"), any},
        {WriteFile(dir, QStringLiteral("bin.schema"), QByteArray(";Database;\0\xff\xfe;", 14)), any},
        {dir.filePath(QStringLiteral("missing.schema")), any},
        {WriteFile(dir, QStringLiteral("cut.schema"), whole.left(whole.indexOf("\r\n;View;") + 2)),
         QStringLiteral("62\nDescription: .*it is incomplete")},
        {WriteFile(dir, QStringLiteral("bad.sql"), "CREATE TABLE T (x int)\nGO\nCREATE TABLE T (x int)\nGO\n"),
         QStringLiteral("2714\nDescription: ")},
        {dir.filePath(QStringLiteral("none.sql")), QStringLiteral("\\d+\nDescription: .*File not found")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        const CliResult r = RunCli({QStringLiteral("info"), c.Path});
        EXPECT_EQ(r.ExitCode, 2) << Show(r);
        EXPECT_TRUE(r.Err.contains(QRegularExpression(QStringLiteral("^Error Number: ") + c.Pattern,
                                                      QRegularExpression::DotMatchesEverythingOption)))
            << Show(r);
        EXPECT_EQ(r.Out, QString());
    }

    // A failed snapshot leaves no output file behind.
    const QString out = dir.filePath(QStringLiteral("out.schema"));
    EXPECT_EQ(RunCli({QStringLiteral("snapshot"), malformed, QStringLiteral("-o"), out}).ExitCode, 2);
    EXPECT_FALSE(QFile::exists(out));
}

// Written files: a failed write is an error, a device or pipe is written into and never
// replaced, "-" is stdout, and a missing folder is made.
TEST(CliTest, OutputFilesAreCompleteOrAnErrorAndDevicesStayDevices) {
    if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
        for (const char* command : {"export", "snapshot"}) {
            const CliResult full = RunCli({QLatin1String(command), Example, QStringLiteral("-o"), QStringLiteral("/dev/full")});
            EXPECT_EQ(full.ExitCode, 2) << command << ": " << Show(full);
            EXPECT_TRUE(full.Err.contains(QStringLiteral("Cannot write /dev/full"))) << command << ": " << Show(full);
        }
    }
    // A snapshot of a snapshot is byte-identical, on stdout and in a folder made for it.
    QTemporaryDir dir;
    for (const QString& target : {QStringLiteral("-"), dir.filePath(QStringLiteral("sub/copy.schema"))}) {
        const CliResult out = RunCli({QStringLiteral("snapshot"), Example, QStringLiteral("-o"), target});
        EXPECT_EQ(out.ExitCode, 0) << Show(out);
        EXPECT_EQ(target == QLatin1String("-") ? out.Out.toUtf8() : ReadAll(target), ReadAll(Example));
    }
    const QString fifo = dir.filePath(QStringLiteral("pipe.schema"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader = open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const CliResult piped = RunCli({QStringLiteral("snapshot"), Example, QStringLiteral("-o"), fifo});
    EXPECT_EQ(piped.ExitCode, 0) << Show(piped);
    struct stat info {};
    EXPECT_EQ(stat(QFile::encodeName(fifo).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    QByteArray received(1 << 16, '\0');
    const ssize_t got = read(reader, received.data(), static_cast<size_t>(received.size()));
    close(reader);
    EXPECT_EQ(received.left(got > 0 ? got : 0), ReadAll(Example));
}

// Arguments the program cannot use end with status 2 before anything is read or run; the
// usage errors point to --help.
TEST(CliTest, ArgumentErrorsEndWithStatus2) {
    const QString help = QStringLiteral("--help");
    const QString source = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/source.sql");
    const struct {
        QStringList Args;
        QString Fragment;
    } cases[] = {
        {{}, help},
        {{QStringLiteral("frobnicate")}, help},
        {{QStringLiteral("info")}, help},
        {{QStringLiteral("info"), Example, Example}, help},
        {{QStringLiteral("info"), QStringLiteral("server.unknown")}, help},
        {{QStringLiteral("snapshot"), Example}, help},
        {{QStringLiteral("snapshot"), Example, QStringLiteral("-o")}, help},
        {{QStringLiteral("snapshot"), Example, QStringLiteral("--bogus"), QStringLiteral("x.schema")}, help},
        // Server addresses without a database, with an empty user, a bad port, blank names.
        {{QStringLiteral("info"), QStringLiteral("sqlserver://host")}, help},
        {{QStringLiteral("info"), QStringLiteral("sqlserver://host/")}, help},
        {{QStringLiteral("info"), QStringLiteral("sqlserver://@host/db")}, help},
        {{QStringLiteral("info"), QStringLiteral("sqlserver://host:99999/db")}, help},
        {{QStringLiteral("info"), QStringLiteral("sqlserver:///db")}, help},
        {{QStringLiteral("info"), QStringLiteral("sqlserver://sa:x@%20/db")}, help},
        {{QStringLiteral("info"), QStringLiteral("sqlserver://host/%20")}, help},
        {{QStringLiteral("compare"), Example}, QString()},
        {{QStringLiteral("compare"), Example, Example, QStringLiteral("--bogus")}, QString()},
        {{QStringLiteral("compare"), Example, Example, QStringLiteral("--rename"), QStringLiteral("x")}, QString()},
        {{QStringLiteral("compare"), Example, Example, QStringLiteral("--rename"), QStringLiteral("[dbo].[Authors=[dbo].[Books]")},
         QStringLiteral("not a table or column name")},
        {{QStringLiteral("compare"), Example, Example, QStringLiteral("--rename"), QStringLiteral("[dbo].[Nope]=[dbo].[Authors]")},
         QStringLiteral("[dbo].[Nope]")},
        {{QStringLiteral("compare"), Example, QStringLiteral("/nonexistent/x.schema")}, QString()},
        // sync, verify and document change a database: a snapshot cannot be one.
        {{QStringLiteral("sync"), Example, Example, QStringLiteral("--yes")}, QStringLiteral("not a snapshot")},
        {{QStringLiteral("sync"), source}, QString()},
        {{QStringLiteral("sync"), source, source, QStringLiteral("--log")}, QString()},
        {{QStringLiteral("verify"), source, QStringLiteral("sqlserver://host/db")}, QString()},
        {{QStringLiteral("document"), Example, QStringLiteral("-y")}, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.join(u' ').toStdString());
        const CliResult r = RunCli(c.Args);
        EXPECT_EQ(r.ExitCode, 2) << Show(r);
        EXPECT_TRUE(r.Err.contains(c.Fragment)) << Show(r);
    }
}

TEST(CliTest, HelpAndVersion) {
    const CliResult help = RunCli({QStringLiteral("--help")});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_TRUE(help.Out.contains(QStringLiteral("info SOURCE")));
    EXPECT_TRUE(help.Out.contains(QStringLiteral("snapshot SOURCE -o FILE.schema")));
    EXPECT_TRUE(help.Out.contains(QStringLiteral("FILE.schema")));

    for (const QStringList& args : {QStringList{QStringLiteral("snapshot"), QStringLiteral("--help")},
                                    QStringList{QStringLiteral("help"), QStringLiteral("snapshot")}}) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.ExitCode, 0);
        EXPECT_TRUE(r.Out.startsWith(QStringLiteral("Usage: tovimar-cli snapshot SOURCE -o FILE.schema\n")))
            << r.Out.toStdString();
        EXPECT_TRUE(r.Out.contains(QStringLiteral("--output")));
    }

    const CliResult version = RunCli({QStringLiteral("--version")});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_TRUE(version.Out.startsWith(QStringLiteral("tovimar-cli ")));
}

TEST(CliTest, LinksNoGuiLibrary) {
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(TOVIMAR_CLI)});
    if (!ldd.waitForFinished(30000) || ldd.exitCode() != 0) GTEST_SKIP() << "ldd is not available";
    const QString libs = QString::fromUtf8(ldd.readAllStandardOutput());
    EXPECT_TRUE(libs.contains(QStringLiteral("libQt6Core")));
    EXPECT_FALSE(libs.contains(QStringLiteral("libQt6Gui"))) << libs.toStdString();
    EXPECT_FALSE(libs.contains(QStringLiteral("libQt6Widgets"))) << libs.toStdString();
}
