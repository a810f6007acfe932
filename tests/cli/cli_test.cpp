// tovimar-cli as users run it: exit status, stdout and stderr.
#include "cli/cli_runner.h"

#include <QFileInfo>
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

TEST(CliTest, SnapshotOfASnapshotIsByteIdentical) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("sub/copy.schema"));
    const CliResult r = RunCli({QStringLiteral("snapshot"), Example, QStringLiteral("-o"), out});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(ReadAll(out).toStdString(), ReadAll(Example).toStdString());
}

TEST(CliTest, ErrorsEndWithStatus2AndTheErrorLines) {
    QTemporaryDir dir;
    const QString malformed = WriteFile(dir, QStringLiteral("bad.schema"),
                                        ";Database;a;b;v;80;80;0\r\n;IndexFieldName;x\r\n");
    const QString overflow = WriteFile(dir, QStringLiteral("big.schema"),
                                       ";Database;a;b;v;99999999999999999999;80;0\r\n");
    const QString notSnapshot = WriteFile(dir, QStringLiteral("text.schema"), "hello\r\n");
    const QString binary = WriteFile(dir, QStringLiteral("bin.schema"), QByteArray(";Database;\0\xff\xfe;", 14));
    for (const QString& path : {malformed, overflow, notSnapshot, dir.filePath(QStringLiteral("missing.schema"))}) {
        const CliResult r = RunCli({QStringLiteral("info"), path});
        EXPECT_EQ(r.ExitCode, 2) << path.toStdString();
        EXPECT_TRUE(r.Err.startsWith(QStringLiteral("Error Number: "))) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(QStringLiteral("\nDescription: "))) << r.Err.toStdString();
        EXPECT_EQ(r.Out, QString());
    }
    EXPECT_EQ(RunCli({QStringLiteral("info"), binary}).ExitCode, 2);

    // A failed snapshot leaves no output file behind.
    const QString out = dir.filePath(QStringLiteral("out.schema"));
    EXPECT_EQ(RunCli({QStringLiteral("snapshot"), malformed, QStringLiteral("-o"), out}).ExitCode, 2);
    EXPECT_FALSE(QFile::exists(out));
}

// A snapshot cut short reads as an error, never as a smaller database.
TEST(CliTest, ATruncatedSnapshotIsRefused) {
    QTemporaryDir dir;
    const QByteArray whole = ReadAll(Example);
    const QString cut = WriteFile(dir, QStringLiteral("cut.schema"), whole.left(whole.indexOf("\r\n;View;") + 2));
    const CliResult r = RunCli({QStringLiteral("info"), cut});
    EXPECT_EQ(r.ExitCode, 2) << Show(r);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("Error Number: 62\nDescription: "))) << Show(r);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("it is incomplete"))) << Show(r);
}

// Written files: a failed write is an error, a device or pipe is written into and never
// replaced, and "-" is stdout.
TEST(CliTest, OutputFilesAreCompleteOrAnErrorAndDevicesStayDevices) {
    if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
        for (const char* command : {"export", "snapshot"}) {
            const CliResult full = RunCli({QLatin1String(command), Example, QStringLiteral("-o"), QStringLiteral("/dev/full")});
            EXPECT_EQ(full.ExitCode, 2) << command << ": " << Show(full);
            EXPECT_TRUE(full.Err.contains(QStringLiteral("Cannot write /dev/full"))) << command << ": " << Show(full);
        }
    }
    const CliResult out = RunCli({QStringLiteral("snapshot"), Example, QStringLiteral("-o"), QStringLiteral("-")});
    EXPECT_EQ(out.ExitCode, 0) << Show(out);
    EXPECT_EQ(out.Out.toUtf8(), ReadAll(Example));

    QTemporaryDir dir;
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

TEST(CliTest, UsageErrorsEndWithStatus2AndAHint) {
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("info")},
        {QStringLiteral("info"), Example, Example},
        {QStringLiteral("info"), QStringLiteral("server.unknown")},
        {QStringLiteral("snapshot"), Example},
        {QStringLiteral("snapshot"), Example, QStringLiteral("-o")},
        {QStringLiteral("snapshot"), Example, QStringLiteral("--bogus"), QStringLiteral("x.schema")},
    };
    for (const QStringList& args : cases) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.ExitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.Err.contains(QStringLiteral("--help"))) << r.Err.toStdString();
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
