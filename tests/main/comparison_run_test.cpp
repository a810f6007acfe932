// The comparison run without windows: the checks on a script list, databases built on the
// simulated server, and the verification of a sync.
#include "main/comparison_flow.h"
#include "main/comparison_run.h"
#include "main/sim_database.h"
#include "main/sync_verification.h"
#include "platform/db/db_connection.h"
#include "platform/tovimar_exception.h"
#include "platform/progress.h"
#include "schema/catalog_loader.h"
#include "schema/snapshot_file.h"
#include "support/qt_print.h"
#include "support/script_pair.h"
#include "support/scripted_prompt.h"

namespace {

ScriptPtr Script(const char* typ, const char* action) {
    auto script = std::make_shared<Tovimar_Script>();
    script->Typ = QString::fromUtf8(typ);
    script->Action = QString::fromUtf8(action);
    return script;
}

}  // namespace

TEST(ComparisonRun, OnlyDeletedTablesAndColumnsCountAsDataLoss) {
    EXPECT_TRUE(HasTableOrFieldDeletes({Script("Index", "DELETE"), Script("Table", "DELETE")}));
    EXPECT_TRUE(HasTableOrFieldDeletes({Script("column", "delete")}));
    EXPECT_FALSE(HasTableOrFieldDeletes({Script("Index", "DELETE"), Script("Table", "CREATE"), Script("Column", "REDELETE"),
                                         Script("Table", "RECREATE")}));
    EXPECT_FALSE(HasTableOrFieldDeletes({}));
}

TEST(ComparisonRun, BadRenamesNameWhatIsMissing) {
    QTemporaryDir dir;
    ScriptPair pair = LoadScriptPair(dir, "CREATE TABLE dbo.A (ID int NOT NULL)\nGO\n", "CREATE TABLE dbo.B (ID int NOT NULL)\nGO\n");
    NullProgress progress;
    ComparisonOptions options;
    options.Renames = {{QStringLiteral("dbo.B.Nope"), QStringLiteral("ID")}};
    try {
        GenerateComparison(*pair.Source, *pair.Dest, options, progress);
        ADD_FAILURE() << "no error";
    } catch (const ComparisonInputError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("--rename: the Destination table [dbo].[B] has no column [Nope]"));
    }
    // One declaration per object: a second one for the same object is an error, not the winner.
    for (const auto& second : {QPair<QString, QString>{QStringLiteral("B"), QStringLiteral("dbo.A")},
                               QPair<QString, QString>{QStringLiteral("dbo.A"), QStringLiteral("[dbo].[A]")},
                               QPair<QString, QString>{QStringLiteral("dbo.B.ID"), QStringLiteral("X")}}) {
        options.Renames = {{QStringLiteral("dbo.B"), QStringLiteral("dbo.A")}, second};
        if (second.first.endsWith(QLatin1String("ID"))) options.Renames.append({QStringLiteral("dbo.b.id"), QStringLiteral("Y")});
        try {
            GenerateComparison(*pair.Source, *pair.Dest, options, progress);
            ADD_FAILURE() << second.first.toStdString() << ": no error";
        } catch (const ComparisonInputError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("name the same object"))) << e.Message().toStdString();
        }
    }
    options.Renames = {{QStringLiteral("[dbo].[B]"), QStringLiteral("[dbo].[A]")}};
    const ScriptList scripts = GenerateComparison(*pair.Source, *pair.Dest, options, progress);
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(SummaryLine(*scripts[0]), QStringLiteral("1\tRENAME\tTable\t[dbo].[A]"));
}

// The summary of a long list is written in two halves side by side: the same text as line by line.
TEST(ComparisonRun, TheSummaryTextIsTheSummaryLines) {
    QTemporaryDir dir;
    ScriptPair pair = LoadScriptPair(dir, "CREATE TABLE dbo.A (ID int NOT NULL)\nGO\n", "CREATE TABLE dbo.B (ID int NOT NULL)\nGO\n");
    const TablePtr table = pair.Source->Tables.Item(QStringLiteral("[dbo].[A]"));
    ASSERT_TRUE(table);
    Tovimar_Object* const objects[] = {nullptr, table.get(), table->Fields.Item(QStringLiteral("[ID]")).get()};
    for (const size_t count : {size_t(3), size_t(1001)}) {
        ScriptList scripts;
        QString lines;
        for (size_t i = 0; i < count; ++i) {
            ScriptPtr script = Script(i % 2 ? "Table" : "Column", i % 5 ? "CHANGE" : "DELETE");
            script->Index = static_cast<long>(i + 1);
            script->ScriptedObj = objects[i % 3];
            lines += SummaryLine(*script) + QLatin1Char('\n');
            scripts.push_back(script);
        }
        EXPECT_EQ(SummaryText(scripts), lines) << count;
    }
}

TEST(SimDatabase, ASnapshotIsBuiltWithItsFileGroups) {
    Tovimar_Database snapshot;
    ASSERT_TRUE(LoadSchemaFile(QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/sample.schema"), snapshot, false, nullptr));
    QTemporaryDir dir;
    ErrorCollection errors;
    NullProgress progress;
    const auto built = BuildSimulatedDatabase(snapshot, dir.filePath(QStringLiteral("build.txt")), errors, progress);
    ASSERT_TRUE(built);
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? std::string() : errors.front()->Script->GetTitle().toStdString());
    EXPECT_EQ(built->Name, QStringLiteral("Bookshop"));
    EXPECT_EQ(built->Tables.Count(), snapshot.Tables.Count());
    const TablePtr books = built->Tables.Item(QStringLiteral("[dbo].[Books]"));
    ASSERT_TRUE(books);
    EXPECT_EQ(books->TextFileGroupName, QStringLiteral("ARCHIVE"));
    EXPECT_EQ(built->Views.Count(), snapshot.Views.Count());

    // The start window opens a snapshot the same way: built, then read like any database.
    ScriptedPrompt prompt;
    ConnectionParams params;
    params.Server = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/sample.schema");
    params.Database = QStringLiteral("Bookshop");
    const auto opened = OpenDatabaseSource(params, progress, prompt);
    ASSERT_TRUE(opened && opened->Connection);
    EXPECT_TRUE(prompt.Questions.isEmpty());
    ASSERT_TRUE(LoadDBObjects(*opened, progress, false));
    EXPECT_EQ(opened->Tables.Count(), snapshot.Tables.Count());
}

// The scripts that build a model's database leave out the existence tests an empty database can
// only pass; the database they build, with the users that own objects or hold permissions, has no
// difference from the model.
TEST(SimDatabase, ADatabaseBuiltFromAModelHasNoDifferencesFromIt) {
    QTemporaryDir dir;
    NullProgress progress;
    const auto model = LoadScriptDatabase(
        {WriteFile(dir, QStringLiteral("shop.sql"),
                   "CREATE TABLE dbo.Customers (ID int NOT NULL CONSTRAINT PK_Customers PRIMARY KEY, Parent int NULL "
                   "CONSTRAINT FK_Customers_Parent REFERENCES dbo.Customers (ID))\nGO\n"
                   "CREATE TABLE dbo.Orders (ID int NOT NULL PRIMARY KEY, CustomerID int NOT NULL "
                   "CONSTRAINT [FK_Orders_Customers] REFERENCES dbo.Customers (ID) ON DELETE CASCADE)\nGO\n"
                   "CREATE VIEW dbo.Big AS SELECT ID FROM dbo.Orders\nGO\n"
                   "CREATE PROCEDURE dbo.Count_ AS SELECT COUNT(*) FROM dbo.Orders\nGO\n"
                   "CREATE FUNCTION dbo.Twice (@n int) RETURNS int AS BEGIN RETURN @n * 2 END\nGO\n"
                   "EXEC sp_addrole 'Readers'\nEXEC sp_adduser 'app'\nEXEC sp_adduser 'o''neil'\nGO\n"
                   "CREATE TABLE app.Notes (ID int NOT NULL)\nGO\nGRANT SELECT ON app.Notes TO [o'neil]\nGO\n"
                   "GRANT SELECT ON dbo.Customers TO Readers\nGRANT SELECT, UPDATE (CustomerID) ON dbo.Orders TO Readers\n"
                   "GRANT SELECT ON dbo.Big TO Readers\nGRANT EXECUTE ON dbo.Count_ TO Readers\n"
                   "GRANT EXECUTE ON dbo.Twice TO Readers\nDENY DELETE ON dbo.Orders TO Readers\nGO\n")},
        QString(), progress);
    ASSERT_TRUE(model);
    ErrorCollection errors;
    const auto built = BuildSimulatedDatabase(*model, dir.filePath(QStringLiteral("build.txt")), errors, progress);
    ASSERT_TRUE(built);
    EXPECT_TRUE(errors.empty());
    QFile log(dir.filePath(QStringLiteral("build.txt")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_FALSE(log.readAll().contains("if exists"));
    const ScriptList left = GenerateComparison(*model, *built, ComparisonOptions{}, progress);
    EXPECT_FALSE(HasDifferences(left)) << SummaryText(left).toStdString();
    int keys = 0;
    for (const TablePtr& table : built->Tables) keys += table->Relations.Count();
    EXPECT_EQ(keys, 2);
    EXPECT_GE(built->Permissions.Count(), 5);
}

TEST(SyncVerification, ARenamedTableIsCountedUnderBothNames) {
    ComparisonOptions options;
    options.Renames = {{QStringLiteral("dbo.Customers"), QStringLiteral("dbo.Clients")}};
    const VerificationReport report =
        VerifyScripts("CREATE TABLE dbo.Clients (ID int NOT NULL, Name varchar (20) NULL)\nGO\n",
                      "CREATE TABLE dbo.Customers (ID int NOT NULL, Name varchar (20) NULL)\nGO\n"
                      "INSERT INTO dbo.Customers VALUES (1, 'a')\nINSERT INTO dbo.Customers VALUES (2, 'b')\nGO\n", options).Report;
    EXPECT_TRUE(report.Errors.empty());
    EXPECT_EQ(report.Remaining, QStringList());
    ASSERT_EQ(report.RowCounts.size(), 1u);
    EXPECT_EQ(report.RowCounts[0].Before, QStringLiteral("[dbo].[Customers]"));
    EXPECT_EQ(report.RowCounts[0].After, QStringLiteral("[dbo].[Clients]"));
    EXPECT_EQ(report.RowCounts[0].RowsAfter, 2);
    EXPECT_TRUE(report.Converged());
    EXPECT_TRUE(QFile::exists(report.LogFile));
}

// Rows of a dropped table and values of a dropped column are lost, also when another table is
// renamed onto the dropped table's name.
TEST(SyncVerification, DroppedTablesAndColumnsCountAsLost) {
    ComparisonOptions options;
    options.Renames = {{QStringLiteral("dbo.B"), QStringLiteral("dbo.A")}};
    const VerificationReport report =
        VerifyScripts("CREATE TABLE dbo.A (ID int NOT NULL)\nGO\n",
                      "CREATE TABLE dbo.A (ID int NOT NULL, Note varchar (9) NULL)\nGO\nCREATE TABLE dbo.B (ID int NOT NULL)\nGO\n"
                      "INSERT INTO dbo.A VALUES (1, 'x')\nINSERT INTO dbo.A VALUES (2, NULL)\n"
                      "INSERT INTO dbo.A VALUES (3, 'z')\nINSERT INTO dbo.B VALUES (9)\nGO\n", options).Report;
    EXPECT_TRUE(report.Errors.empty());
    EXPECT_EQ(report.Remaining, QStringList());
    ASSERT_EQ(report.RowCounts.size(), 2u);
    EXPECT_EQ(report.RowCounts[0].Before, QStringLiteral("[dbo].[A]"));
    EXPECT_TRUE(report.RowCounts[0].Dropped);
    EXPECT_EQ(report.RowCounts[0].RowsBefore, 3);
    EXPECT_EQ(report.RowCounts[0].RowsAfter, 0);  // the new [dbo].[A] is B's table
    EXPECT_EQ(report.RowCounts[1].After, QStringLiteral("[dbo].[A]"));
    EXPECT_EQ(report.RowCounts[1].RowsAfter, 1);
    EXPECT_TRUE(report.DroppedColumns.empty());  // it went with its table
    EXPECT_TRUE(report.LostRows());
    EXPECT_TRUE(report.Converged());

    const VerificationReport dropped = VerifyScripts("CREATE TABLE dbo.A (ID int NOT NULL)\nGO\n",
                                                     "CREATE TABLE dbo.A (ID int NOT NULL, Note varchar (9) NULL)\nGO\n"
                                                     "INSERT INTO dbo.A VALUES (1, 'x')\nINSERT INTO dbo.A VALUES (2, NULL)\nGO\n")
                                           .Report;
    ASSERT_EQ(dropped.DroppedColumns.size(), 1u);
    EXPECT_EQ(dropped.DroppedColumns[0].Column, QStringLiteral("[dbo].[A].[Note]"));
    EXPECT_EQ(dropped.DroppedColumns[0].ValuesBefore, 1);
    EXPECT_EQ(dropped.DroppedColumns[0].ValuesAfter, 0);
    EXPECT_TRUE(dropped.LostRows());
}

// The counts are asked in one batch; when it fails, each table is asked on its own, so that the
// error is the one the first failing table's own query gives.
TEST(SyncVerification, RowCountsOfOneBatchAgreeWithOneQueryPerTable) {
    QTemporaryDir dir;
    ScriptPair pair = LoadScriptPair(dir, "CREATE TABLE dbo.A (ID int NOT NULL)\nGO\n",
                                     "CREATE TABLE dbo.A (ID int NOT NULL)\nGO\nCREATE TABLE dbo.[B]]x] (ID int NOT NULL)\nGO\n"
                                     "INSERT INTO dbo.A VALUES (1)\nINSERT INTO dbo.A VALUES (2)\nGO\n");
    Tovimar_Database& dest = *pair.Dest;
    const std::vector<TableRowCount> counts = CountRows(dest);
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts[0].Table, QStringLiteral("[dbo].[A]"));
    EXPECT_EQ(counts[0].Rows, 2);
    EXPECT_EQ(counts[1].Table, QStringLiteral("[dbo].[B]]x]"));
    EXPECT_EQ(counts[1].Rows, 0);

    auto gone = std::make_shared<Tovimar_Table>();
    gone->Owner = QStringLiteral("dbo");
    gone->Name = QStringLiteral("Gone");
    dest.Tables.Add(gone, gone->FullName());  // in the model only
    long number = 0;
    QString description;
    try {
        dest.Connection->RunQuery(QStringLiteral("SELECT COUNT(*) AS RowTotal FROM [dbo].[Gone]"));
    } catch (const TovimarException& e) {
        number = e.Number;
        description = e.Description;
    }
    ASSERT_NE(number, 0);
    try {
        CountRows(dest);
        ADD_FAILURE() << "no error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, number);
        EXPECT_EQ(e.Description, description);
    }
}

TEST(SyncVerification, RowsReplacedByFewerSourceRowsAreLost) {
    // The filter copies every Source row into the rebuilt table and keeps no Destination row.
    QTemporaryDir dir;
    ComparisonOptions options;
    options.FilterFile = WriteFile(dir, QStringLiteral("copy.filter"), "set Copy\n  Include dbo.T Tab CopyData\n    |\nend\n");
    const VerificationReport report =
        VerifyScripts("CREATE TABLE dbo.T (ID int NOT NULL)\nGO\nINSERT INTO dbo.T VALUES (1)\nGO\n",
                      "CREATE TABLE dbo.T (ID int NOT NULL)\nGO\n"
                      "INSERT INTO dbo.T VALUES (1)\nINSERT INTO dbo.T VALUES (2)\nINSERT INTO dbo.T VALUES (3)\nGO\n", options).Report;
    EXPECT_TRUE(report.Errors.empty());
    // The data copy is not asked for again after the sync: nothing is left to do.
    EXPECT_EQ(report.Remaining, QStringList());
    ASSERT_EQ(report.RowCounts.size(), 1u);
    EXPECT_EQ(report.RowCounts[0].RowsBefore, 3);
    EXPECT_EQ(report.RowCounts[0].RowsAfter, 1);
    EXPECT_TRUE(report.LostRows());
    EXPECT_TRUE(report.Converged());  // converged, but with data lost
}
