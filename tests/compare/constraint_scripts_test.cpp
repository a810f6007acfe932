#include "family_test_support.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

const QString dbo = QStringLiteral("dbo");

// Orders references Customers on both sides; each test shapes the foreign keys.
struct OrdersCustomers {
    TestDb src{QStringLiteral("S"), QStringLiteral("Src")};
    TestDb dst{QStringLiteral("D"), QStringLiteral("Dst")};
    model_builder::TableBuilder sc = src.Table(dbo, QStringLiteral("Customers"));
    model_builder::TableBuilder so = src.Table(dbo, QStringLiteral("Orders"));
    model_builder::TableBuilder dc = dst.Table(dbo, QStringLiteral("Customers"));
    model_builder::TableBuilder dor = dst.Table(dbo, QStringLiteral("Orders"));
    OrdersCustomers() {
        for (auto* t : {&sc, &dc}) t->Col(QStringLiteral("ID"), QStringLiteral("int"));
        for (auto* t : {&so, &dor}) {
            t->Col(QStringLiteral("ID"), QStringLiteral("int"));
            t->Col(QStringLiteral("CustomerID"), QStringLiteral("int"));
            t->Col(QStringLiteral("Region"), QStringLiteral("int"));
        }
    }
    Tovimar_Relation& SrcFK(const QString& name) {
        return so.Relation(name, dbo, QStringLiteral("Customers"), {"CustomerID"}, {"ID"});
    }
    Tovimar_Relation& DstFK(const QString& name) {
        return dor.Relation(name, dbo, QStringLiteral("Customers"), {"CustomerID"}, {"ID"});
    }
    ScriptList Generate(bool link = true) {
        if (link) LinkPair(src, dst);
        GenerationContext ctx = Context(src, dst);
        ScriptList scripts;
        GenerateScripts(so->Relations, dor->Relations, scripts, ctx);
        return scripts;
    }
};

// A new foreign key: dropped if it exists, then created under both existence guards; with the
// cascade and replication options; a disabled key is created WITH NOCHECK and disabled again.
TEST(RelationScripts, CreateWithExistenceGuardsAndNoCheck) {
    OrdersCustomers p;
    p.SrcFK(QStringLiteral("FK_Orders_Customers"));
    Tovimar_Relation& options = p.so.Relation(QStringLiteral("FK_Orders_Customers2"), dbo, QStringLiteral("Customers"),
                                              {"CustomerID", "Region"}, {"ID", "Region"});
    options.DeleteCascade = options.UpdateCascade = options.NotForRepl = true;
    p.SrcFK(QStringLiteral("FK_Disabled")).NoCheckConstraint = true;
    ScriptList scripts = p.Generate();
    EXPECT_EQ(Kinds(scripts), (QStringList{"CREATE Relation [dbo].[Orders].[FK_Orders_Customers]",
                                           "CREATE Relation [dbo].[Orders].[FK_Orders_Customers2]",
                                           "CREATE Relation [dbo].[Orders].[FK_Disabled]"}));
    ExpectGoldenScripts(QStringLiteral("relation_create"), scripts);

    // The difference viewer sees the bare statement.
    GenerationContext ctx = Context(p.src, p.dst);
    ctx.DiffViewMode = true;
    ScriptList viewer;
    GenerateScript(*p.so->Relations.At(0), true, viewer, ctx);
    ASSERT_EQ(viewer.size(), 1u);
    EXPECT_EQ(S(viewer[0]->GetSQL(0)),
              "ALTER TABLE [dbo].[Orders] ADD\r\nCONSTRAINT [FK_Orders_Customers]\r\nFOREIGN KEY ([CustomerID])\r\n"
              "REFERENCES [dbo].[Customers] ([ID])");
}

// A foreign key to a table outside the comparison is left alone, unless its own table is rebuilt.
TEST(RelationScripts, KeyToExcludedTableOnlyFollowsARebuild) {
    OrdersCustomers p;
    p.sc->ObjectIncluded = false;
    p.dc->ObjectIncluded = false;
    p.SrcFK(QStringLiteral("FK_New"));
    p.DstFK(QStringLiteral("FK_Old"));
    p.SrcFK(QStringLiteral("FK_Both"));
    p.DstFK(QStringLiteral("FK_Both"));
    EXPECT_EQ(Kinds(p.Generate()), QStringList());

    OrdersCustomers r;
    r.sc->ObjectIncluded = r.dc->ObjectIncluded = false;
    r.so->DeleteRecreate = r.dor->DeleteRecreate = true;
    r.DstFK(QStringLiteral("FK_Old"));
    r.SrcFK(QStringLiteral("FK_Both"));
    r.DstFK(QStringLiteral("FK_Both"));
    EXPECT_EQ(Kinds(r.Generate()), (QStringList{"RECREATE Relation [dbo].[Orders].[FK_Both]",
                                                "RECREATE Relation [dbo].[Orders].[FK_Old]"}));
}

// Linked keys: renamed (a quote in the name is doubled in the literal), re-created WITH NOCHECK
// for a rebuilt table, checked against the data when changed; a Destination-only key of a
// rebuilt table is REDELETE.
TEST(RelationScripts, RenameRecreateChangeAndRedelete) {
    OrdersCustomers p;
    p.so->DeleteRecreate = p.dor->DeleteRecreate = true;
    Tovimar_Relation& renamedSrc = p.SrcFK(QStringLiteral("FK_O'Brien"));
    Tovimar_Relation& renamedDst = p.DstFK(QStringLiteral("FK_Old"));
    p.SrcFK(QStringLiteral("FK_Changed")).DeleteCascade = true;
    p.DstFK(QStringLiteral("FK_Changed"));
    p.DstFK(QStringLiteral("FK_Gone"));
    LinkPair(p.src, p.dst);
    Tovimar_Database::SetLink(&renamedSrc, &renamedDst);
    ScriptList scripts = p.Generate(false);
    EXPECT_EQ(Kinds(scripts), (QStringList{"RENAME Relation [dbo].[Orders].[FK_O'Brien]",
                                           "RECREATE Relation [dbo].[Orders].[FK_O'Brien]",
                                           "CHANGE Relation [dbo].[Orders].[FK_Changed]",
                                           "REDELETE Relation [dbo].[Orders].[FK_Gone]"}));
    ExpectGoldenScripts(QStringLiteral("relation_rename_recreate_change"), scripts);

    // With a data copy on the referenced table the re-created key is checked.
    p.sc->DataCopyDefs.Add(QString());
    ScriptList copied = p.Generate(false);
    ASSERT_EQ(copied.size(), 4u);
    EXPECT_FALSE(copied[1]->GetSQL(0).contains(QStringLiteral("WITH NOCHECK")));
}

// Key columns compare both ways, also on the referenced side; the referenced table's name counts.
TEST(RelationScripts, ChangedColumnsOrReferencedTable) {
    OrdersCustomers p;
    p.so.Relation(QStringLiteral("FK_Short"), dbo, QStringLiteral("Customers"), {"CustomerID"}, {"ID"});
    p.dor.Relation(QStringLiteral("FK_Short"), dbo, QStringLiteral("Customers"), {"CustomerID", "Region"}, {"ID", "Region"});
    p.so.Relation(QStringLiteral("FK_Other"), dbo, QStringLiteral("Orders"), {"CustomerID"}, {"ID"});
    p.dor.Relation(QStringLiteral("FK_Other"), dbo, QStringLiteral("Customers"), {"CustomerID"}, {"ID"});
    p.SrcFK(QStringLiteral("FK_Same"));
    p.dor.Relation(QStringLiteral("fk_same"), QStringLiteral("DBO"), QStringLiteral("customers"), {"customerid"}, {"id"});
    EXPECT_EQ(Kinds(p.Generate()), (QStringList{"CHANGE Relation [dbo].[Orders].[FK_Short]",
                                                "CHANGE Relation [dbo].[Orders].[FK_Other]"}));
}

// The entry points the table generator uses for keys of other tables that point to a dropped or
// rebuilt table: only the drop, or only the re-create, listed under the referenced table. Only
// keys that survive are re-created: a Destination-only key is dropped for good unless its own
// table takes no part.
TEST(RelationScripts, DropAndRecreateForReferencedTable) {
    OrdersCustomers p;
    p.SrcFK(QStringLiteral("FK_Orders_Customers"));
    Tovimar_Relation& fk = p.DstFK(QStringLiteral("FK_Orders_Customers"));
    Tovimar_Relation& gone = p.DstFK(QStringLiteral("FK_Gone"));
    LinkPair(p.src, p.dst);
    GenerationContext ctx = Context(p.src, p.dst);
    ScriptList scripts;
    EXPECT_EQ(GenerateScript(fk, false, scripts, ctx, true, false), 1);
    EXPECT_EQ(GenerateScript(fk, false, scripts, ctx, false, true), 1);
    EXPECT_EQ(GenerateScript(gone, false, scripts, ctx, false, true), 0);
    p.dor->ObjectIncluded = false;
    EXPECT_EQ(GenerateScript(gone, false, scripts, ctx, false, true), 1);
    EXPECT_EQ(Kinds(scripts), (QStringList{"DELETE Relation [dbo].[Orders].[FK_Orders_Customers]",
                                           "RECREATE Relation [dbo].[Orders].[FK_Orders_Customers]",
                                           "RECREATE Relation [dbo].[Orders].[FK_Gone]"}));
    EXPECT_EQ(S(scripts[1]->TableFullName()), "[dbo].[Customers]");
    EXPECT_TRUE(scripts[1]->GetSQL(0).contains(QStringLiteral("WITH NOCHECK")));
    EXPECT_TRUE(scripts[0]->GetSQL(0).contains(QStringLiteral("object_id('[dbo].[FK_Orders_Customers]')")));
}

struct CheckedTable {
    TestDb src{QStringLiteral("S"), QStringLiteral("Src")};
    TestDb dst{QStringLiteral("D"), QStringLiteral("Dst")};
    model_builder::TableBuilder s = src.Table(dbo, QStringLiteral("T"));
    model_builder::TableBuilder d = dst.Table(dbo, QStringLiteral("T"));
};

// Default and check changes, renames, additions and drops on a table that is not rebuilt.
TEST(ConstraintScripts, DefaultAndCheckChanges) {
    CheckedTable p;
    p.s.Col(QStringLiteral("Qty"), QStringLiteral("int")).Default(QStringLiteral("DF_T_Qty"), QStringLiteral("(1)"));
    p.d.Col(QStringLiteral("Qty"), QStringLiteral("int")).Default(QStringLiteral("DF_T_Qty"), QStringLiteral("(0)"));
    p.s.Col(QStringLiteral("Price"), QStringLiteral("money")).Default(QStringLiteral("DF_New"), QStringLiteral("(0)"));
    p.d.Col(QStringLiteral("Price"), QStringLiteral("money")).Default(QStringLiteral("DF_Old"), QStringLiteral("(0)"));
    p.s.Col(QStringLiteral("Added"), QStringLiteral("int")).Default(QStringLiteral("DF_Added"), QStringLiteral("(5)"));
    p.s.Col(QStringLiteral("Later"), QStringLiteral("int")).Default(QStringLiteral("DF_Later"), QStringLiteral("(7)"));
    p.d.Col(QStringLiteral("Later"), QStringLiteral("int"));
    p.d.Col(QStringLiteral("Dropped"), QStringLiteral("int")).Default(QStringLiteral("DF_Dropped"), QStringLiteral("(9)"));
    p.s.Check(QStringLiteral("CK_Qty"), QStringLiteral("([Qty] > 0)"));
    p.d.Check(QStringLiteral("CK_Qty"), QStringLiteral("([Qty] >= 0)"));
    Tovimar_Check& nfr = p.s.Check(QStringLiteral("CK_New"), QStringLiteral("([Price] >= 0)"));
    nfr.NotForRepl = nfr.NoCheckConstraint = true;
    p.d.Check(QStringLiteral("CK_Gone"), QStringLiteral("([Qty] < 10)"));
    Tovimar_Check& renamed = p.s.Check(QStringLiteral("CK_Renamed"), QStringLiteral("([Price] < 100)"));
    Tovimar_Check& old = p.d.Check(QStringLiteral("CK_Before"), QStringLiteral("([price] < 100)"));
    LinkPair(p.src, p.dst);
    Tovimar_Database::SetLink(p.s->Defaults.At(1).get(), p.d->Defaults.At(1).get());
    Tovimar_Database::SetLink(&renamed, &old);

    GenerationContext ctx = Context(p.src, p.dst);
    ScriptList scripts;
    GenerateScripts(p.s->Checks, p.d->Checks, scripts, ctx);
    GenerateScripts(p.s->Defaults, p.d->Defaults, scripts, ctx);
    // The default of the new column Added belongs to its ADD text: no script of its own.
    EXPECT_EQ(Kinds(scripts), (QStringList{"CHANGE Check [dbo].[T].[CK_Qty]", "CREATE Check [dbo].[T].[CK_New]",
                                           "RENAME Check [dbo].[T].[CK_Renamed]", "DELETE Check [dbo].[T].[CK_Gone]",
                                           "CHANGE Default [dbo].[T].[DF_T_Qty]", "RENAME Default [dbo].[T].[DF_New]",
                                           "CREATE Default [dbo].[T].[DF_Later]",
                                           "DELETE Default [dbo].[T].[DF_Dropped]"}));
    ExpectGoldenScripts(QStringLiteral("default_check_change"), scripts);
}

// In a rebuilt table linked checks are re-created without a drop step.
TEST(ConstraintScripts, ChecksOfRebuiltTableAreRecreated) {
    CheckedTable p;
    p.s->DeleteRecreate = true;
    p.s.Check(QStringLiteral("CK_Same"), QStringLiteral("([A] > 0)"));
    p.d.Check(QStringLiteral("CK_Same"), QStringLiteral("([a] > 0)"));
    p.s.Check(QStringLiteral("CK_Changed"), QStringLiteral("([A] > 1)"));
    p.d.Check(QStringLiteral("CK_Changed"), QStringLiteral("([A] > 0)"));
    LinkPair(p.src, p.dst);
    GenerationContext ctx = Context(p.src, p.dst);
    ScriptList scripts;
    GenerateScripts(p.s->Checks, EmptyCollection<CheckPtr>(), scripts, ctx);
    ASSERT_EQ(Kinds(scripts), (QStringList{"RECREATE Check [dbo].[T].[CK_Same]", "CHANGE Check [dbo].[T].[CK_Changed]"}));
    EXPECT_EQ(S(scripts[0]->GetSQL(0)), "ALTER TABLE [dbo].[T]\r\nADD CONSTRAINT [CK_Same] CHECK ([A] > 0)");
    EXPECT_EQ(S(scripts[1]->GetSQL(0)), "ALTER TABLE [dbo].[T]\r\nADD CONSTRAINT [CK_Changed] CHECK ([A] > 1)");
}

}  // namespace
