// The database utilities on simulated databases: documentation tables built, updated with what
// users wrote carried over, left alone on Cancel, numbered past 32,767 objects; recompile of
// the Northwind sample.
#include "dbutil/documentation_tables.h"
#include "dbutil/recompile.h"
#include "main/sim_database.h"
#include "platform/db/db_connection.h"
#include "platform/tovimar_exception.h"
#include "schema/catalog_loader.h"
#include "support/golden_text.h"
#include "support/model_builder.h"
#include "support/recording_progress.h"
#include "support/scripted_prompt.h"
#include "support/test_files.h"

#include <QFile>

namespace {

const QByteArray Schema = R"(
CREATE TABLE [dbo].[Customer] ([ID] int NOT NULL PRIMARY KEY, [Name] nvarchar(40) NULL, [Region] varchar(10) NULL)
GO
CREATE TABLE [dbo].[Order] ([ID] int NOT NULL, [CustomerID] int NOT NULL
  CONSTRAINT [FK_Order_Customer] REFERENCES [dbo].[Customer] ([ID]))
GO
CREATE UNIQUE INDEX [IX_Order] ON [dbo].[Order] ([ID])
GO
CREATE VIEW [dbo].[O'Names] AS SELECT [Name] FROM [dbo].[Customer]
GO
CREATE PROCEDURE [dbo].[GetOrder] @id int, @name varchar(20) OUTPUT AS SELECT @name = 'x'
GO
CREATE FUNCTION [dbo].[Twice] (@n decimal(10, 2)) RETURNS int AS BEGIN RETURN @n * 2 END
GO
)";

// Runs a query and returns its rows as "value|value|..." lines (NULL for null).
QStringList Rows(DbConnection& connection, const QString& sql) {
    QStringList rows;
    for (auto cursor = connection.RunQuery(sql); !cursor->EndOfRows(); cursor->MoveNext()) {
        QStringList values;
        for (int i = 0; i < cursor->ColumnCount(); ++i) {
            const DbValue value = cursor->ValueAt(i);
            values << (value.IsNull() ? QStringLiteral("NULL") : value.ToString());
        }
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

const QString Objects = QStringLiteral("SELECT TVO_ID, TVO_Type, TVO_Owner, TVO_Name, TVO_Deleted, TVO_Description "
                                       "FROM _TovimarObject ORDER BY TVO_ID");
const QString Members = QStringLiteral("SELECT TVO_Name, TVM_Type, TVM_Name, TVM_Definition, TVM_Deleted, "
                                       "TVM_Description, TVM_Primary_TVO_REF FROM _TovimarMember "
                                       "INNER JOIN _TovimarObject ON TVO_ID = TVM_TVO_REF ORDER BY TVM_ID");

class DocumentationTest : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingProgress progress;
        db = LoadScriptDatabase({WriteFile(dir, QStringLiteral("doc.sql"), Schema)}, QString(), progress);
        ASSERT_TRUE(db);
    }
    // Loads the schema again from the database as it is now (the documentation tables included,
    // as a real database would have them).
    void Reload() {
        RecordingProgress progress;
        ASSERT_TRUE(LoadDBObjects(*db, progress));
    }
    DbConnection& Connection() { return *db->Connection; }
    // Both documentation tables, compared with a golden file.
    void ExpectTables(const QString& caseName) {
        const QStringList rows = Rows(Connection(), Objects) + QStringList{QString()} + Rows(Connection(), Members);
        ExpectGolden(caseName, rows.join(u'\n') + u'\n', QStringLiteral("expected.txt"));
    }

    QTemporaryDir dir;
    std::unique_ptr<Tovimar_Database> db;
};

TEST_F(DocumentationTest, FirstUpdateListsObjectsAndMembersInOrder) {
    RecordingProgress progress;
    DocumentationTables tables(*db, progress);
    ASSERT_EQ(tables.Update(), DocumentationTables::Outcome::Updated) << tables.LastError.toStdString();
    // Objects numbered in order; columns, indexes, relations (naming the referenced object's
    // number), view columns and parameters with their definitions.
    ExpectTables(QStringLiteral("documentation_first_update"));
    EXPECT_EQ(Rows(Connection(), "SELECT name FROM sysobjects WHERE name LIKE '[_]tmp[_]%'"), QStringList());
    EXPECT_EQ(Rows(Connection(), "SELECT COUNT(*) FROM sysobjects WHERE name IN ('PK__TovimarObject', "
                                 "'PK__TovimarMember', 'FK__TovimarMember__TovimarObject')"),
              QStringList{"3"});
}

TEST_F(DocumentationTest, SecondUpdateKeepsWhatUsersWrote) {
    RecordingProgress progress;
    ASSERT_EQ(DocumentationTables(*db, progress).Update(), DocumentationTables::Outcome::Updated);
    Connection().ExecuteSQL(
        "UPDATE _TovimarObject SET TVO_Description = 'people' WHERE TVO_Name = 'Customer'\n"
        "UPDATE _TovimarObject SET TVO_Description = 'sales' WHERE TVO_Name = 'Order'\n"
        "UPDATE _TovimarMember SET TVM_Description = 'd-' + TVM_Name WHERE TVM_Type = 'Column'\n"
        "UPDATE _TovimarMember SET TVM_Description = 'link' WHERE TVM_Type = 'Relation'\n");
    // The schema moves on: a table is dropped, a column renamed.
    Connection().ExecuteSQL("DROP TABLE [dbo].[Order]\nEXEC sp_rename 'Customer.Region', 'Area', 'COLUMN'");
    Reload();
    ASSERT_EQ(DocumentationTables(*db, progress).Update(), DocumentationTables::Outcome::Updated);

    // The descriptions stay. The dropped table stays, marked deleted, with its documented
    // members, and its kept relation names the referenced table by its new number; the renamed
    // column is a new member without a description while the old name stays, deleted.
    ExpectTables(QStringLiteral("documentation_second_update"));
    EXPECT_EQ(Rows(Connection(), "SELECT @@TRANCOUNT"), QStringList{"0"});
}

TEST_F(DocumentationTest, CancelLeavesThePreviousTables) {
    RecordingProgress progress;
    ASSERT_EQ(DocumentationTables(*db, progress).Update(), DocumentationTables::Outcome::Updated);
    Connection().ExecuteSQL("UPDATE _TovimarObject SET TVO_Description = 'kept'");
    const QStringList before = Rows(Connection(), Objects);
    Connection().ExecuteSQL("DROP VIEW [dbo].[O'Names]");
    Reload();

    RecordingProgress cancelling(3);
    DocumentationTables tables(*db, cancelling);
    EXPECT_EQ(tables.Update(), DocumentationTables::Outcome::Aborted);
    EXPECT_TRUE(tables.LastError.isEmpty());
    EXPECT_EQ(Rows(Connection(), Objects), before);
    EXPECT_EQ(Rows(Connection(), "SELECT name FROM sysobjects WHERE name LIKE '[_]tmp[_]%'"), QStringList());
    EXPECT_EQ(Rows(Connection(), "SELECT @@TRANCOUNT"), QStringList{"0"});
}

// Object numbers are counted, not read back: past 32,767 objects every member still names its
// own object, and a relation to a table outside the documented ones names none.
TEST(DocumentationRows, NumbersObjectsPastSixteenBits) {
    using namespace model_builder;
    TestDb db("SRV", "Big");
    const int tables = 33000;
    for (int i = 1; i <= tables; ++i) db.Table("dbo", QStringLiteral("T%1").arg(i)).Col("ID", "int");
    db.Existing("dbo", "T33000").Relation("FK_Out", "dbo", "Elsewhere", {"ID"}, {"ID"});
    RecordingProgress progress;
    DocumentationTables rows(*db, progress);
    ASSERT_TRUE(rows.BuildRows());
    EXPECT_EQ(rows.ObjectCount(), tables);
    EXPECT_TRUE(rows.MemberRows().contains("VALUES (33000 ,'Column' ,'ID' ,'int  NOT NULL')"));
    EXPECT_TRUE(rows.MemberRows().endsWith("VALUES (33000 ,'Relation' ,'FK_Out' ,NULL)\r\n"))
        << rows.MemberRows().right(200).toStdString();
}

TEST(Recompile, NorthwindViewsAndProceduresRecompileInDependencyOrder) {
    const QString northwind = QStringLiteral(TOVIMAR_SAMPLES_DIR "/instnwnd.sql");
    if (!QFile::exists(northwind)) GTEST_SKIP() << "sample scripts not found";
    RecordingProgress progress;
    const auto db = LoadScriptDatabase({northwind}, QString(), progress);
    ASSERT_TRUE(db);
    QTemporaryDir dir;
    DefaultAnswerPrompt prompt;
    const ScriptList scripts = GenerateRecompileScripts(*db, nullptr);
    EXPECT_EQ(scripts.size(), size_t(db->Views.Count() + db->Procedures.Count()));
    auto position = [&](const QString& name) {
        for (size_t i = 0; i < scripts.size(); ++i)
            if (scripts[i]->ScriptedObj && scripts[i]->ScriptedObj->Name == name) return int(i);
        return -1;
    };
    EXPECT_LT(position("Product Sales for 1997"), position("Category Sales for 1997"));

    const RecompileOutcome outcome =
        RecompileObjects(*db, progress, prompt, false, dir.filePath(QStringLiteral("recompile.txt")));
    EXPECT_EQ(outcome.ScriptCount, int(scripts.size()));
    EXPECT_TRUE(outcome.Report.Errors.empty());
    EXPECT_FALSE(outcome.Report.Cancelled);
}

TEST(Recompile, NothingToRecompileIsSaidAndNothingRuns) {
    using namespace model_builder;
    TestDb db("SRV", "Empty");
    db.Table("dbo", "T").Col("ID", "int");
    ScriptedPrompt prompt;
    prompt.Answers = {PromptAnswer::Yes};  // to the question whether to go on
    RecordingProgress progress;
    const RecompileOutcome outcome = RecompileObjects(*db, progress, prompt, true);
    EXPECT_EQ(outcome.ScriptCount, 0);
    ASSERT_FALSE(prompt.Questions.isEmpty());
    EXPECT_EQ(prompt.Questions.last().Text, "There are no compilable Objects in the Source-DB!");
}

}  // namespace
