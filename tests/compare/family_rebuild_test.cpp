// The object families under the generation driver: what happens to a table's indexes, checks,
// foreign keys (its own and those pointing at it), triggers and permissions when the table is
// rebuilt, and that unchanged neighbours stay quiet.
#include "compare/generation_driver.h"
#include "family_test_support.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

void Shop(TestDb& db, const QString& qtyType) {
    auto customers = db.Table(dbo, Q("Customers"));
    customers.Col(Q("ID"), Q("int"));
    customers.PrimaryKey(Q("PK_Customers"), {"ID"});
    auto orders = db.Table(dbo, Q("Orders"));
    orders.Col(Q("ID"), Q("int"));
    orders.Col(Q("CustomerID"), Q("int"));
    orders.Col(Q("Qty"), qtyType);
    orders.PrimaryKey(Q("PK_Orders"), {"ID"});
    orders.Index(Q("IX_Orders_Customer"), {"CustomerID"});
    orders.Check(Q("CK_Orders_Qty"), Q("([Qty] > 0)"));
    orders.Relation(Q("FK_Orders_Customers"), dbo, Q("Customers"), {"CustomerID"}, {"ID"});
    orders.Trigger(Q("tr_Orders"), Q("CREATE TRIGGER [tr_Orders] ON [dbo].[Orders] FOR INSERT AS SELECT 1"));
    auto lines = db.Table(dbo, Q("Lines"));
    lines.Col(Q("ID"), Q("int"));
    lines.Col(Q("OrderID"), Q("int"));
    lines.Relation(Q("FK_Lines_Orders"), dbo, Q("Orders"), {"OrderID"}, {"ID"});
    db.View(dbo, Q("V"), Q("CREATE VIEW [dbo].[V] AS SELECT ID FROM Orders"));
    db.Permission(*orders, Q("clerk"), dbo).SelectRight = 1;
    db.Permission(*customers, Q("clerk"), dbo).SelectRight = 1;
}

TEST(FamilyRebuild, ContentsAndDependantsOfARebuiltTableAreRecreated) {
    Pair p;
    Shop(p.src, Q("bigint"));
    Shop(p.dst, Q("int"));
    p.Link();
    ScriptList scripts = p.Generate();
    EXPECT_EQ(
        Kinds(scripts),
        (QStringList{"CHANGE Table [dbo].[Orders]", "CHANGE Column [dbo].[Orders].[Qty]",
                     "RECREATE Check [dbo].[Orders].[CK_Orders_Qty]", "RECREATE Index [dbo].[Orders].[PK_Orders]",
                     "RECREATE Index [dbo].[Orders].[IX_Orders_Customer]",
                     "RECREATE Relation [dbo].[Orders].[FK_Orders_Customers]",
                     "RECREATE Relation [dbo].[Lines].[FK_Lines_Orders]", "RECREATE Trigger [dbo].[Orders].[tr_Orders]",
                     "RECREATE Permission [dbo].[Orders].[clerk]"}));
    ASSERT_EQ(scripts.size(), 9u);
    // Both foreign keys are dropped inside the rebuild script, before the old table goes.
    const QString rebuild = scripts[0]->GetSQL(0);
    EXPECT_TRUE(rebuild.contains(Q("ALTER TABLE [dbo].[Orders] DROP CONSTRAINT [FK_Orders_Customers]")));
    EXPECT_TRUE(rebuild.contains(Q("ALTER TABLE [dbo].[Lines] DROP CONSTRAINT [FK_Lines_Orders]")));
    // Re-created keys are not checked against the copied rows; the referencing one is listed
    // under the rebuilt table.
    EXPECT_TRUE(scripts[5]->GetSQL(0).contains(Q("WITH NOCHECK")));
    EXPECT_EQ(S(scripts[6]->TableFullName()), "[dbo].[Orders]");
    EXPECT_TRUE(scripts[7]->GetSQL(1, false).contains(Q("CREATE TRIGGER [tr_Orders]")));
    EXPECT_TRUE(scripts[8]->GetSQL(0).contains(Q("GRANT SELECT ON [dbo].[Orders]")));
}

TEST(FamilyRebuild, DroppedTableTakesTheKeysPointingAtIt) {
    Pair p;
    auto s = p.src.Table(dbo, Q("Lines"));
    s.Col(Q("ID"), Q("int"));
    s.Col(Q("OrderID"), Q("int"));
    auto orders = p.dst.Table(dbo, Q("Orders"));
    orders.Col(Q("ID"), Q("int"));
    auto d = p.dst.Table(dbo, Q("Lines"));
    d.Col(Q("ID"), Q("int"));
    d.Col(Q("OrderID"), Q("int"));
    d.Relation(Q("FK_Lines_Orders"), dbo, Q("Orders"), {"OrderID"}, {"ID"});
    p.dst.Permission(*orders, Q("clerk")).SelectRight = 1;
    p.Link();
    ScriptList scripts = p.Generate();
    // The key's own drop comes from Lines (its table is linked); the table's DELETE drops it again
    // under its guard; a permission on the dropped table goes with it.
    EXPECT_EQ(Kinds(scripts),
              (QStringList{"DELETE Relation [dbo].[Lines].[FK_Lines_Orders]", "DELETE Table [dbo].[Orders]"}));
    ASSERT_EQ(scripts.size(), 2u);
    EXPECT_TRUE(scripts[1]->GetSQL(0).contains(Q("DROP CONSTRAINT [FK_Lines_Orders]")));
}

}  // namespace
