// tovimar-cli compare and export as users run them.
#include "support/qt_print.h"

#include "cli/cli_runner.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString Example = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/sample.schema");

// The example with the table Authors called Writers and its key column called WriterID.
QByteArray RenamedExample() {
    QByteArray text = ReadAll(Example);
    text.replace(";Table;Authors;", ";Table;Writers;");
    text.replace("[dbo].[Authors]", "[dbo].[Writers]");
    text.replace(";AuthorID;1;int", ";WriterID;1;int");
    return text;
}

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

TEST(CompareCliTest, AgainstAnEmptyDatabaseEverythingIsCreated) {
    QTemporaryDir dir;
    const QString empty = EmptyDatabase(dir);
    const CliResult r = RunCli({QStringLiteral("compare"), Example, empty});
    EXPECT_EQ(r.ExitCode, 1) << r.Err.toStdString();
    const QStringList lines = r.Out.split(QStringLiteral("\r\n"));
    ASSERT_GT(lines.size(), 8);
    EXPECT_EQ(lines[0], QString(80, QLatin1Char('-')));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("-- Tovimar Script for Database: PELLOW01#Empty  on: ")));
    EXPECT_EQ(lines[4], QStringLiteral("-- USE [Empty]"));
    EXPECT_TRUE(lines.contains(QStringLiteral("-- SCRIPT CREATE for Table [dbo].[Authors]")));
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\r\nCREATE TABLE [dbo].[Books] (\r\n")));
    EXPECT_FALSE(r.Out.contains(QStringLiteral("STATUS")));

    const QString file = dir.filePath(QStringLiteral("out/scripts.sql"));
    const CliResult summary = RunCli({QStringLiteral("compare"), Example, empty, QStringLiteral("--summary"),
                                QStringLiteral("-o"), file});
    EXPECT_EQ(summary.ExitCode, 1);
    EXPECT_EQ(summary.Out, QString());
    const QStringList rows = QString::fromUtf8(ReadAll(file)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_GE(rows.indexOf(QRegularExpression(QStringLiteral("^\\d+\tCREATE\tTable\t\\[dbo\\]\\.\\[Authors\\]$"))), 0);
    for (int i = 0; i < rows.size(); ++i) EXPECT_TRUE(rows[i].startsWith(QString::number(i + 1) + QLatin1Char('\t')));
}

TEST(CompareCliTest, RenamesKeepTheTableAndItsColumn) {
    QTemporaryDir dir;
    const QString renamed = WriteFile(dir, QStringLiteral("renamed.schema"), RenamedExample());
    const CliResult plain = RunCli({QStringLiteral("compare"), Example, renamed, QStringLiteral("--summary")});
    EXPECT_EQ(plain.ExitCode, 1) << plain.Err.toStdString();
    EXPECT_TRUE(plain.Out.contains(QStringLiteral("\tDELETE\tTable\t[dbo].[Writers]\n")));
    EXPECT_TRUE(plain.Out.contains(QStringLiteral("\tCREATE\tTable\t[dbo].[Authors]\n")));

    const CliResult r = RunCli({QStringLiteral("compare"), Example, renamed, QStringLiteral("--summary"),
                          QStringLiteral("--rename"), QStringLiteral("dbo.Writers.WriterID=AuthorID"),
                          QStringLiteral("--rename"), QStringLiteral("[dbo].[Writers]=[dbo].[Authors]")});
    EXPECT_EQ(r.ExitCode, 1) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\tRENAME\tTable\t[dbo].[Authors]\n")));
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\tRENAME\tColumn\t[dbo].[Authors].[AuthorID]\n")));
    EXPECT_FALSE(r.Out.contains(QStringLiteral("\tTable\t[dbo].[Writers]"))) << r.Out.toStdString();
    EXPECT_FALSE(r.Out.contains(QStringLiteral("CREATE\tTable"))) << r.Out.toStdString();

    const CliResult missing = RunCli({QStringLiteral("compare"), Example, renamed, QStringLiteral("--rename"),
                                QStringLiteral("[dbo].[Nope]=[dbo].[Authors]")});
    EXPECT_EQ(missing.ExitCode, 2);
    EXPECT_TRUE(missing.Err.contains(QStringLiteral("[dbo].[Nope]"))) << missing.Err.toStdString();
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

TEST(CompareCliTest, IgnoreDataLossConvertsTheCopiedColumns) {
    const QString dir = QStringLiteral(TOVIMAR_TEST_DATA_DIR "/scenarios/table_changes/");
    const CliResult plain = RunCli({QStringLiteral("compare"), dir + QStringLiteral("source.sql"), dir + QStringLiteral("dest.sql")});
    EXPECT_TRUE(plain.Out.contains(QStringLiteral("SELECT [ID], [Name] FROM [dbo].[Customers] TABLOCKX ")));
    const CliResult r = RunCli({QStringLiteral("compare"), dir + QStringLiteral("source.sql"), dir + QStringLiteral("dest.sql"),
                              QStringLiteral("--ignore-data-loss")});
    EXPECT_EQ(r.ExitCode, 1) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.contains(
        QStringLiteral("SELECT CONVERT([int], [ID]), CONVERT([nvarchar](40), [Name]) FROM [dbo].[Customers] TABLOCKX ")))
        << r.Out.toStdString();
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
