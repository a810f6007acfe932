// The object families under the generation driver: what happens to a table's indexes, checks,
// foreign keys (its own and those pointing at it), triggers and permissions when the table is
// rebuilt, and that unchanged neighbours stay quiet.
#include "compare/generation_driver.h"
#include "family_test_support.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

const QString dbo = QStringLiteral("dbo");

void Shop(TestDb& db, const QString& qtyType) {
    auto customers = db.Table(dbo, QStringLiteral("Customers"));
    customers.Col(QStringLiteral("ID"), QStringLiteral("int"));
    customers.PrimaryKey(QStringLiteral("PK_Customers"), {"ID"});
    auto orders = db.Table(dbo, QStringLiteral("Orders"));
    orders.Col(QStringLiteral("ID"), QStringLiteral("int"));
    orders.Col(QStringLiteral("CustomerID"), QStringLiteral("int"));
    orders.Col(QStringLiteral("Qty"), qtyType);
    orders.PrimaryKey(QStringLiteral("PK_Orders"), {"ID"});
    orders.Index(QStringLiteral("IX_Orders_Customer"), {"CustomerID"});
    orders.Check(QStringLiteral("CK_Orders_Qty"), QStringLiteral("([Qty] > 0)"));
    orders.Relation(QStringLiteral("FK_Orders_Customers"), dbo, QStringLiteral("Customers"), {"CustomerID"}, {"ID"});
    orders.Trigger(QStringLiteral("tr_Orders"), QStringLiteral("CREATE TRIGGER [tr_Orders] ON [dbo].[Orders] FOR INSERT AS SELECT 1"));
    auto lines = db.Table(dbo, QStringLiteral("Lines"));
    lines.Col(QStringLiteral("ID"), QStringLiteral("int"));
    lines.Col(QStringLiteral("OrderID"), QStringLiteral("int"));
    lines.Relation(QStringLiteral("FK_Lines_Orders"), dbo, QStringLiteral("Orders"), {"OrderID"}, {"ID"});
    db.View(dbo, QStringLiteral("V"), QStringLiteral("CREATE VIEW [dbo].[V] AS SELECT ID FROM Orders"));
    db.Permission(*orders, QStringLiteral("clerk"), dbo).SelectRight = 1;
    db.Permission(*customers, QStringLiteral("clerk"), dbo).SelectRight = 1;
}

TEST(FamilyRebuild, ContentsAndDependantsOfARebuiltTableAreRecreated) {
    TestDb src(QStringLiteral("S"), QStringLiteral("Src"));
    TestDb dst(QStringLiteral("D"), QStringLiteral("Dst"));
    Shop(src, QStringLiteral("bigint"));
    Shop(dst, QStringLiteral("int"));
    LinkPair(src, dst);
    GenerationContext ctx = Context(src, dst);
    ScriptList scripts = GenerateAllScripts(ctx, nullptr, false);
    EXPECT_EQ(Kinds(scripts),
              (QStringList{"CHANGE Table [dbo].[Orders]", "CHANGE Column [dbo].[Orders].[Qty]",
                           "RECREATE Check [dbo].[Orders].[CK_Orders_Qty]", "RECREATE Index [dbo].[Orders].[PK_Orders]",
                           "RECREATE Index [dbo].[Orders].[IX_Orders_Customer]",
                           "RECREATE Relation [dbo].[Orders].[FK_Orders_Customers]",
                           "RECREATE Relation [dbo].[Lines].[FK_Lines_Orders]",
                           "RECREATE Trigger [dbo].[Orders].[tr_Orders]", "RECREATE Permission [dbo].[Orders].[clerk]"}));
    ASSERT_EQ(scripts.size(), 9u);
    // Both foreign keys are dropped inside the rebuild script, before the old table goes.
    const QString rebuild = scripts[0]->GetSQL(0);
    EXPECT_TRUE(rebuild.contains(QStringLiteral("ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_Orders_Customers]")));
    EXPECT_TRUE(rebuild.contains(QStringLiteral("ALTER TABLE [dbo].[Lines] DROP CONSTRAINT [FK_Lines_Orders]")));
    // Re-created keys are not checked against the copied rows; the referencing one is listed
    // under the rebuilt table.
    EXPECT_TRUE(scripts[5]->GetSQL(0).contains(QStringLiteral("WITH NOCHECK")));
    EXPECT_EQ(S(scripts[6]->TableFullName()), "[dbo].[Orders]");
    EXPECT_TRUE(scripts[7]->GetSQL(1, false).contains(QStringLiteral("CREATE TRIGGER [tr_Orders]")));
    EXPECT_TRUE(scripts[8]->GetSQL(0).contains(QStringLiteral("GRANT SELECT ON [dbo].[Orders]")));
}

TEST(FamilyRebuild, DroppedTableTakesTheKeysPointingAtIt) {
    TestDb src(QStringLiteral("S"), QStringLiteral("Src"));
    TestDb dst(QStringLiteral("D"), QStringLiteral("Dst"));
    auto s = src.Table(dbo, QStringLiteral("Lines"));
    s.Col(QStringLiteral("ID"), QStringLiteral("int"));
    s.Col(QStringLiteral("OrderID"), QStringLiteral("int"));
    auto orders = dst.Table(dbo, QStringLiteral("Orders"));
    orders.Col(QStringLiteral("ID"), QStringLiteral("int"));
    auto d = dst.Table(dbo, QStringLiteral("Lines"));
    d.Col(QStringLiteral("ID"), QStringLiteral("int"));
    d.Col(QStringLiteral("OrderID"), QStringLiteral("int"));
    d.Relation(QStringLiteral("FK_Lines_Orders"), dbo, QStringLiteral("Orders"), {"OrderID"}, {"ID"});
    dst.Permission(*orders, QStringLiteral("clerk")).SelectRight = 1;
    LinkPair(src, dst);
    GenerationContext ctx = Context(src, dst);
    ScriptList scripts = GenerateAllScripts(ctx, nullptr, false);
    // The key's own drop comes from Lines (its table is linked); the table's DELETE drops it again
    // under its guard; a permission on the dropped table goes with it.
    EXPECT_EQ(Kinds(scripts), (QStringList{"DELETE Relation [dbo].[Lines].[FK_Lines_Orders]", "DELETE Table [dbo].[Orders]"}));
    ASSERT_EQ(scripts.size(), 2u);
    EXPECT_TRUE(scripts[1]->GetSQL(0).contains(QStringLiteral("DROP CONSTRAINT [FK_Lines_Orders]")));
}

}  // namespace
