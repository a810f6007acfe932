// tovimar-cli compare and export as users run them.
#include "support/qt_print.h"

#include "cli/cli_runner.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString Example = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/sample.schema");

QString EmptyDatabase(const QTemporaryDir& dir) {
    QByteArray first = ReadAll(Example);
    first = first.left(first.indexOf('\n') + 1) + ";End;1\r\n";
    first.replace("Bookshop", "Empty");
    return WriteFile(dir, QStringLiteral("empty.schema"), first);
}

}  // namespace

TEST(CompareCliTest, TheExampleAgainstItselfHasNoDifferences) {
    const CliResult r = RunCli({QStringLiteral("compare"), Example, Example});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, QString());
    EXPECT_EQ(r.Err, QStringLiteral("There are no differences between the Databases!\n"));
}

TEST(CompareCliTest, ExportWritesCreateScriptsOrSaysThatNothingIsLeft) {
    const CliResult r = RunCli({QStringLiteral("export"), Example});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.contains(QStringLiteral("-- SCRIPT CREATE for Table [dbo].[OrderLines]\r\n")));
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\r\n-- USE [Bookshop]\r\n")));
    // Written for a server like the Source's: the full-text column languages are kept.
    EXPECT_TRUE(r.Out.contains(QStringLiteral("exec sp_fulltext_column '[dbo].[Books]','Title', 'add', 1033\r\n")));

    QTemporaryDir dir;
    const QString filter = WriteFile(dir, QStringLiteral("tables.filter"), "set All\n  Exclude dbo.% Tab\nend\n");
    const CliResult noTables = RunCli({QStringLiteral("export"), Example, QStringLiteral("--filter-file"), filter});
    EXPECT_EQ(noTables.ExitCode, 0) << noTables.Err.toStdString();
    EXPECT_FALSE(noTables.Out.contains(QStringLiteral("for Table ")));
    EXPECT_TRUE(noTables.Out.contains(QStringLiteral("-- SCRIPT CREATE for View [dbo].[BookList]\r\n")));

    const CliResult none = RunCli({QStringLiteral("export"), EmptyDatabase(dir)});
    EXPECT_EQ(none.ExitCode, 1) << none.Err.toStdString();
    EXPECT_EQ(none.Out, QString());
    EXPECT_EQ(none.Err, QStringLiteral("The specified Database is either empty or all Objects have been filtered by "
                                       "current Filter Selections!\n"));
}

// --create-cache writes a snapshot per database beside the program. A script builds its
// database afresh, so the fingerprint (which holds the latest creation time) never matches an
// older snapshot: --use-cache must then read the catalog, not the stale (here tampered) file.
TEST(CompareCliTest, SchemaCacheIsWrittenAndReused) {
    const QString source = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/source.sql");
    const QString dest = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/destination.sql");
    const QString cache = QFileInfo(QStringLiteral(TOVIMAR_CLI)).absolutePath() +
                          QStringLiteral("/Schemas/Tovimar_sqlsim#Bookshop.schema");
    QFile::remove(cache);
    const CliResult created = RunCli({QStringLiteral("compare"), source, dest, QStringLiteral("--summary"),
                                      QStringLiteral("--create-cache")});
    ASSERT_EQ(created.ExitCode, 1) << Show(created);
    ASSERT_TRUE(QFile::exists(cache));
    QByteArray stale = ReadAll(cache);
    stale.replace(";Table;Authors;", ";Table;Stale;");
    QFile file(cache);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(stale);
    file.close();
    const CliResult reused = RunCli({QStringLiteral("compare"), source, dest, QStringLiteral("--summary"),
                                     QStringLiteral("--use-cache")});
    EXPECT_EQ(reused.ExitCode, 1) << Show(reused);
    EXPECT_EQ(reused.Out, created.Out);
}
