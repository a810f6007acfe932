// tovimar-cli sync and verify as users run them, on the bundled examples and small pairs.
#include "cli/cli_runner.h"

#include <QRegularExpression>

namespace {

const QString Source = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/source.sql");
const QString Destination = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/destination.sql");

// A Source whose new unique index the Destination's rows violate: the index script fails.
const QByteArray UniqueSource = "CREATE TABLE dbo.T (ID int NOT NULL CONSTRAINT PK_T PRIMARY KEY, Code char (3) NOT NULL)\n"
                                "GO\nCREATE UNIQUE INDEX UX_T_Code ON dbo.T (Code)\nGO\n";
const QByteArray DuplicateDest = "CREATE TABLE dbo.T (ID int NOT NULL CONSTRAINT PK_T PRIMARY KEY, Code char (3) NOT NULL)\n"
                                 "GO\nINSERT INTO dbo.T VALUES (1, 'abc')\nINSERT INTO dbo.T VALUES (2, 'abc')\nGO\n";

}  // namespace

TEST(SyncCli, DeletesOfTablesOrColumnsStopTheRunUnlessAllowed) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("sync.txt"));
    const CliResult blocked = RunCli({QStringLiteral("sync"), Source, Destination, QStringLiteral("--yes"), QStringLiteral("--log"), log});
    EXPECT_EQ(blocked.ExitCode, 3) << Show(blocked);
    EXPECT_TRUE(blocked.Out.contains(QStringLiteral("\tDELETE\tTable\t[dbo].[Wishes]\n"))) << Show(blocked);
    EXPECT_TRUE(blocked.Err.startsWith(QStringLiteral(
        "ATTENTION: Some of the generated Scripts will delete Tables and/or Fields - any contained data would be lost!\n")))
        << Show(blocked);
    EXPECT_FALSE(QFile::exists(log));  // nothing was executed

    // Allowed, but there is no terminal to ask on and no --yes: still nothing runs.
    const CliResult unasked = RunCli({QStringLiteral("sync"), Source, Destination, QStringLiteral("--allow-data-loss"),
                                QStringLiteral("--log"), log});
    EXPECT_EQ(unasked.ExitCode, 2) << Show(unasked);
    EXPECT_TRUE(unasked.Err.contains(QStringLiteral("nothing has been executed"))) << Show(unasked);
    EXPECT_FALSE(QFile::exists(log));
}

TEST(SyncCli, ExecutesWithYesAndWritesTheLog) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("sync.txt"));
    const CliResult r = RunCli({QStringLiteral("sync"), Source, Destination, QStringLiteral("--allow-data-loss"), QStringLiteral("-y"),
                          QStringLiteral("--log"), log});
    EXPECT_EQ(r.ExitCode, 0) << Show(r);
    EXPECT_TRUE(r.Out.endsWith(QStringLiteral("Execution log: ") + log + QLatin1Char('\n'))) << Show(r);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("a trial"))) << Show(r);
    const QString text = QString::fromUtf8(ReadAll(log));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n-- Tovimar Script for Database: sqlsim#Bookshop  on: "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("-- SCRIPT DELETE for Table [dbo].[Wishes]\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("-- STATUS=OK.")));
    EXPECT_FALSE(text.contains(QStringLiteral("-- STATUS=ERROR")));

    const CliResult same = RunCli({QStringLiteral("sync"), Source, Source, QStringLiteral("--yes")});
    EXPECT_EQ(same.ExitCode, 0) << Show(same);
    EXPECT_EQ(same.Err, QStringLiteral("There are no differences between the Databases!\n"));
}

// A new unique index the Destination's rows violate: sync lists the error per object with the
// failed SQL; verify says the run failed and what is left.
TEST(SyncCli, ErrorsAreListedPerObjectWithTheFailedSqlAndFailTheVerification) {
    QTemporaryDir dir;
    const QString source = WriteFile(dir, QStringLiteral("source.sql"), UniqueSource);
    const QString dest = WriteFile(dir, QStringLiteral("dest.sql"), DuplicateDest);
    const QString log = dir.filePath(QStringLiteral("sync.txt"));
    const CliResult r = RunCli({QStringLiteral("sync"), source, dest, QStringLiteral("--yes"), QStringLiteral("--log"), log});
    EXPECT_EQ(r.ExitCode, 1) << Show(r);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("Index [dbo].[T].[UX_T_Code]:\n  SCRIPT CREATE for Index [dbo].[T].[UX_T_Code]:\n"
                                              "    SET ARITHABORT ON\n")))
        << Show(r);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("    CREATE UNIQUE NONCLUSTERED INDEX [UX_T_Code] ON [dbo].[T]\n"))) << Show(r);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("\n  ERR="))) << Show(r);
    EXPECT_TRUE(QString::fromUtf8(ReadAll(log)).contains(QStringLiteral("-- STATUS=ERROR.")));

    const CliResult v = RunCli({QStringLiteral("verify"), source, dest});
    EXPECT_EQ(v.ExitCode, 1) << Show(v);
    EXPECT_TRUE(v.Out.contains(QStringLiteral("Index [dbo].[T].[UX_T_Code]:\n"))) << Show(v);
    EXPECT_TRUE(v.Out.contains(QStringLiteral("\tCREATE\tIndex\t[dbo].[T].[UX_T_Code]\n"))) << Show(v);
    EXPECT_TRUE(v.Out.contains(QStringLiteral("\n[dbo].[T]\t2\t2\n"))) << Show(v);
    EXPECT_TRUE(v.Out.contains(QStringLiteral("NOT verified: errors were recorded, differences are left."))) << Show(v);
}

TEST(VerifyCli, TheBundledExamplesConvergeAndCountWhatTheDropsLose) {
    // The sync drops a table and columns: as sync, verify stops at that unless it is allowed.
    const CliResult blocked = RunCli({QStringLiteral("verify"), Source, Destination});
    EXPECT_EQ(blocked.ExitCode, 3) << Show(blocked);
    EXPECT_TRUE(blocked.Out.contains(QStringLiteral("NOT verified: data would be lost"))) << Show(blocked);

    const CliResult r = RunCli({QStringLiteral("verify"), Source, Destination, QStringLiteral("--allow-data-loss")});
    EXPECT_EQ(r.ExitCode, 0) << Show(r);
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\nExecution errors: none\n"))) << Show(r);
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\nDifferences left after the sync: none\n"))) << Show(r);
    // Books is rebuilt with an identity key and keeps its rows; the dropped table's are lost.
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\n[dbo].[Books]\t4\t4\n"))) << Show(r);
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\n[dbo].[OrderLines]\t3\t3\n"))) << Show(r);
    EXPECT_TRUE(r.Out.contains(QRegularExpression(QStringLiteral("\n\\[dbo\\]\\.\\[Wishes\\]\t\\d+\t0\t")))) << Show(r);
    EXPECT_TRUE(r.Out.contains(QStringLiteral("the data listed above as lost is lost"))) << Show(r);
}

TEST(VerifyCli, ASnapshotDestinationIsBuiltFromItsOwnScripts) {
    const QString scenario = QStringLiteral(TOVIMAR_TEST_DATA_DIR "/scenarios/objects/");
    QTemporaryDir dir;
    const QString snapshot = dir.filePath(QStringLiteral("dest.schema"));
    const CliResult written = RunCli({QStringLiteral("snapshot"), scenario + QStringLiteral("dest.sql"), QStringLiteral("-o"), snapshot});
    ASSERT_EQ(written.ExitCode, 0) << Show(written);
    const CliResult r = RunCli({QStringLiteral("verify"), scenario + QStringLiteral("source.sql"), snapshot});
    EXPECT_EQ(r.ExitCode, 0) << Show(r);
    // A snapshot holds no rows.
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\n[dbo].[Products]\t0\t0\n"))) << Show(r);
    // Two snapshots are read at once; of two broken ones, the Source's error is reported.
    const QString source = dir.filePath(QStringLiteral("source.schema"));
    ASSERT_EQ(RunCli({QStringLiteral("snapshot"), scenario + QStringLiteral("source.sql"), QStringLiteral("-o"), source}).ExitCode, 0);
    const QString bad1 = WriteFile(dir, QStringLiteral("bad1.schema"), "garbage");
    const QString bad2 = WriteFile(dir, QStringLiteral("bad2.schema"), "junk\n");
    const struct {
        QString source, dest, error;
        int exitCode;
    } cases[] = {
        {source, snapshot, QString(), 0},
        {bad1, snapshot, QStringLiteral("bad1.schema is not a snapshot"), 2},
        {source, bad2, QStringLiteral("bad2.schema is not a snapshot"), 2},
        {bad1, bad2, QStringLiteral("bad1.schema is not a snapshot"), 2},
    };
    for (const auto& c : cases) {
        const CliResult pair = RunCli({QStringLiteral("verify"), c.source, c.dest});
        EXPECT_EQ(pair.ExitCode, c.exitCode) << Show(pair);
        EXPECT_TRUE(pair.Err.contains(c.error)) << Show(pair);
        if (c.source == bad1) {
            EXPECT_FALSE(pair.Err.contains(QStringLiteral("bad2"))) << Show(pair);
        }
    }
}

// A view keeps the columns its table had when it was created; a snapshot records them, but the
// database built from the snapshot's scripts creates the view after the table has changed. The
// scripts sync would generate for the snapshot leave that view different there, so the sync is
// verified for the database as it was built and read back: it changes the view too.
TEST(VerifyCli, ASnapshotTheSimulatorCannotRebuildExactlyIsVerifiedAsReadBack) {
    QTemporaryDir dir;
    const QByteArray table = "CREATE TABLE dbo.P (ID int NOT NULL, Q nvarchar (20) NULL)\nGO\n"
                             "CREATE VIEW dbo.V AS SELECT P.* FROM dbo.P AS P\nGO\n";
    const QString source = WriteFile(dir, QStringLiteral("source.sql"), table);
    const QString dest = WriteFile(dir, QStringLiteral("dest.sql"), table + "ALTER TABLE dbo.P ALTER COLUMN Q nvarchar (40) NULL\nGO\n");
    const QString snapshot = dir.filePath(QStringLiteral("dest.schema"));
    ASSERT_EQ(RunCli({QStringLiteral("snapshot"), dest, QStringLiteral("-o"), snapshot}).ExitCode, 0);
    const CliResult r = RunCli({QStringLiteral("verify"), source, snapshot});
    EXPECT_EQ(r.ExitCode, 0) << Show(r);
    EXPECT_TRUE(r.Out.startsWith(QStringLiteral("Scripts executed on the simulated Destination: 3\n"))) << Show(r);
}

TEST(VerifyCli, ScriptsJoinedWithPlusRunAsOne) {
    QTemporaryDir dir;
    const QString base = WriteFile(dir, QStringLiteral("base.sql"),
                               "CREATE DATABASE Shop\nGO\nUSE Shop\nGO\nCREATE TABLE dbo.A (ID int NOT NULL)\nGO\n"
                               "INSERT INTO dbo.A VALUES (1)\nGO\n");
    // No USE of its own: it continues in the database the first script switched to.
    const QString change = WriteFile(dir, QStringLiteral("change.sql"), "ALTER TABLE dbo.A ADD Note varchar (10) NULL\nGO\n");
    const CliResult compare = RunCli({QStringLiteral("compare"), base, base + QLatin1Char('+') + change, QStringLiteral("--summary")});
    EXPECT_EQ(compare.ExitCode, 1) << Show(compare);
    EXPECT_EQ(compare.Out, QStringLiteral("1\tDELETE\tColumn\t[dbo].[A].[Note]\n"));
    const CliResult r =
        RunCli({QStringLiteral("verify"), base, base + QLatin1Char('+') + change, QStringLiteral("--allow-data-loss")});
    EXPECT_EQ(r.ExitCode, 0) << Show(r);
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\n[dbo].[A]\t1\t1\n"))) << Show(r);
}

TEST(VerifyCli, NorthwindWithChangesConverges) {
    const QString northwind = QStringLiteral(TOVIMAR_SAMPLES_DIR "/instnwnd.sql");
    if (!QFile::exists(northwind)) GTEST_SKIP() << "sample scripts not found";
    const QString changes = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/northwind_changes.sql");
    const CliResult r = RunCli(
        {QStringLiteral("verify"), northwind, northwind + QLatin1Char('+') + changes, QStringLiteral("--allow-data-loss")});
    EXPECT_EQ(r.ExitCode, 0) << Show(r);
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\n[dbo].[Order Details]\t2155\t2155\n"))) << Show(r);
}

TEST(ExportCli, FileGroupsAreScriptedOnlyWhenTheFiltersAskForThem) {
    const QString sample = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/sample.schema");
    // The default filter elements leave file groups out.
    const CliResult plain = RunCli({QStringLiteral("export"), sample});
    EXPECT_EQ(plain.ExitCode, 0) << Show(plain);
    EXPECT_FALSE(plain.Out.contains(QStringLiteral("TEXTIMAGE_ON"))) << Show(plain);

    QTemporaryDir dir;
    const QString filter = WriteFile(dir, QStringLiteral("groups.filter"), "default -FileGroups off\n");
    const CliResult r = RunCli({QStringLiteral("export"), sample, QStringLiteral("--filter-file"), filter});
    EXPECT_EQ(r.ExitCode, 0) << Show(r);
    EXPECT_FALSE(r.Out.contains(QStringLiteral("TEXTIMAGE_ON []")));
    EXPECT_TRUE(r.Out.contains(QStringLiteral(") ON [PRIMARY] TEXTIMAGE_ON [ARCHIVE]\r\n")));
}

// The samples' exports run top to bottom on an empty server (any error ends the load; Northwind
// needs its views ordered by their dependencies) and build the same schema; verify from an
// empty database converges.
TEST(VerifyCli, SampleDatabasesExportAndConvergeFromAnEmptyDatabase) {
    for (const char* name : {"instpubs.sql", "instnwnd.sql"}) {
        SCOPED_TRACE(name);
        const QString sample = QStringLiteral(TOVIMAR_SAMPLES_DIR "/") + QLatin1String(name);
        if (!QFile::exists(sample)) GTEST_SKIP() << "sample scripts not found";
        QTemporaryDir dir;
        const QString exported = dir.filePath(QStringLiteral("export.sql"));
        const CliResult e = RunCli({QStringLiteral("export"), sample, QStringLiteral("-o"), exported});
        ASSERT_EQ(e.ExitCode, 0) << Show(e);
        const CliResult c = RunCli({QStringLiteral("compare"), sample, exported, QStringLiteral("--summary")});
        EXPECT_EQ(c.ExitCode, 0) << Show(c);
        const CliResult v = RunCli({QStringLiteral("verify"), sample, WriteFile(dir, QStringLiteral("empty.sql"), "")});
        EXPECT_EQ(v.ExitCode, 0) << Show(v);
    }
}
