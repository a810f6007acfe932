#include "family_test_support.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

// Orders references Customers on both sides; each test shapes the foreign keys.
struct OrdersCustomers : Pair {
    model_builder::TableBuilder sc = src.Table(dbo, Q("Customers"));
    model_builder::TableBuilder so = src.Table(dbo, Q("Orders"));
    model_builder::TableBuilder dc = dst.Table(dbo, Q("Customers"));
    model_builder::TableBuilder dor = dst.Table(dbo, Q("Orders"));
    OrdersCustomers() {
        for (auto* t : {&sc, &dc}) t->Col(Q("ID"), Q("int"));
        for (auto* t : {&so, &dor}) {
            t->Col(Q("ID"), Q("int"));
            t->Col(Q("CustomerID"), Q("int"));
            t->Col(Q("Region"), Q("int"));
        }
    }
    Tovimar_Relation& SrcFK(const QString& name) {
        return so.Relation(name, dbo, Q("Customers"), {"CustomerID"}, {"ID"});
    }
    Tovimar_Relation& DstFK(const QString& name) {
        return dor.Relation(name, dbo, Q("Customers"), {"CustomerID"}, {"ID"});
    }
    ScriptList Generate(bool link = true) {
        if (link) LinkPair(src, dst);
        ctx = NewContext();
        return Scripts(so->Relations, dor->Relations);
    }
};

// A new foreign key: dropped if it exists, then created under both existence guards; with the
// cascade and replication options; a disabled key is created WITH NOCHECK and disabled again.
TEST(RelationScripts, CreateWithExistenceGuardsAndNoCheck) {
    OrdersCustomers p;
    p.SrcFK(Q("FK_Orders_Customers"));
    Tovimar_Relation& options =
        p.so.Relation(Q("FK_Orders_Customers2"), dbo, Q("Customers"), {"CustomerID", "Region"}, {"ID", "Region"});
    options.DeleteCascade = options.UpdateCascade = options.NotForRepl = true;
    p.SrcFK(Q("FK_Disabled")).NoCheckConstraint = true;
    ScriptList scripts = p.Generate();
    ExpectGoldenScripts(Q("relation_create"), scripts);

    // The difference viewer sees the bare statement; into an empty database the scripts have
    // created both tables before the key, so nothing is tested first.
    const std::string bare = "ALTER TABLE [dbo].[Orders] ADD\r\nCONSTRAINT [FK_Orders_Customers]\r\nFOREIGN KEY "
                             "([CustomerID])\r\nREFERENCES [dbo].[Customers] ([ID])";
    for (const bool viewer : {true, false}) {
        GenerationContext ctx = p.NewContext();
        (viewer ? ctx.DiffViewMode : ctx.IntoEmptyDatabase) = true;
        ScriptList made;
        GenerateScript(*p.so->Relations.At(0), true, made, ctx);
        ASSERT_EQ(made.size(), 1u);
        EXPECT_EQ(S(made[0]->GetSQL(0)), viewer ? bare : "BEGIN\r\n" + bare + "\r\nEND");
    }
}

// A foreign key to a table outside the comparison is left alone, unless its own table is rebuilt.
TEST(RelationScripts, KeyToExcludedTableOnlyFollowsARebuild) {
    OrdersCustomers p;
    p.sc->ObjectIncluded = false;
    p.dc->ObjectIncluded = false;
    p.SrcFK(Q("FK_New"));
    p.DstFK(Q("FK_Old"));
    p.SrcFK(Q("FK_Both"));
    p.DstFK(Q("FK_Both"));
    EXPECT_EQ(Kinds(p.Generate()), QStringList());

    OrdersCustomers r;
    r.sc->ObjectIncluded = r.dc->ObjectIncluded = false;
    r.so->DeleteRecreate = r.dor->DeleteRecreate = true;
    r.DstFK(Q("FK_Old"));
    r.SrcFK(Q("FK_Both"));
    r.DstFK(Q("FK_Both"));
    EXPECT_EQ(Kinds(r.Generate()),
              (QStringList{"RECREATE Relation [dbo].[Orders].[FK_Both]", "RECREATE Relation [dbo].[Orders].[FK_Old]"}));
}

// Linked keys: renamed (a quote in the name is doubled in the literal), re-created WITH NOCHECK
// for a rebuilt table, checked against the data when changed; a Destination-only key of a
// rebuilt table is REDELETE.
TEST(RelationScripts, RenameRecreateChangeAndRedelete) {
    OrdersCustomers p;
    p.so->DeleteRecreate = p.dor->DeleteRecreate = true;
    Tovimar_Relation& renamedSrc = p.SrcFK(Q("FK_O'Brien"));
    Tovimar_Relation& renamedDst = p.DstFK(Q("FK_Old"));
    p.SrcFK(Q("FK_Changed")).DeleteCascade = true;
    p.DstFK(Q("FK_Changed"));
    p.DstFK(Q("FK_Gone"));
    LinkPair(p.src, p.dst);
    Tovimar_Database::SetLink(&renamedSrc, &renamedDst);
    ScriptList scripts = p.Generate(false);
    ExpectGoldenScripts(Q("relation_rename_recreate_change"), scripts);

    // With a data copy on the referenced table the re-created key is checked.
    p.sc->DataCopyDefs.Add(QString());
    ScriptList copied = p.Generate(false);
    ASSERT_EQ(copied.size(), 4u);
    EXPECT_FALSE(copied[1]->GetSQL(0).contains(Q("WITH NOCHECK")));
}

// Key columns compare both ways, also on the referenced side; the referenced table's name counts.
TEST(RelationScripts, ChangedColumnsOrReferencedTable) {
    OrdersCustomers p;
    p.so.Relation(Q("FK_Short"), dbo, Q("Customers"), {"CustomerID"}, {"ID"});
    p.dor.Relation(Q("FK_Short"), dbo, Q("Customers"), {"CustomerID", "Region"}, {"ID", "Region"});
    p.so.Relation(Q("FK_Other"), dbo, Q("Orders"), {"CustomerID"}, {"ID"});
    p.dor.Relation(Q("FK_Other"), dbo, Q("Customers"), {"CustomerID"}, {"ID"});
    p.SrcFK(Q("FK_Same"));
    p.dor.Relation(Q("fk_same"), Q("DBO"), Q("customers"), {"customerid"}, {"id"});
    EXPECT_EQ(Kinds(p.Generate()),
              (QStringList{"CHANGE Relation [dbo].[Orders].[FK_Short]", "CHANGE Relation [dbo].[Orders].[FK_Other]"}));
}

// The entry points the table generator uses for keys of other tables that point to a dropped or
// rebuilt table: only the drop, or only the re-create, listed under the referenced table. Only
// keys that survive are re-created: a Destination-only key is dropped for good unless its own
// table takes no part.
TEST(RelationScripts, DropAndRecreateForReferencedTable) {
    OrdersCustomers p;
    p.SrcFK(Q("FK_Orders_Customers"));
    Tovimar_Relation& fk = p.DstFK(Q("FK_Orders_Customers"));
    Tovimar_Relation& gone = p.DstFK(Q("FK_Gone"));
    LinkPair(p.src, p.dst);
    GenerationContext ctx = p.NewContext();
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
    EXPECT_TRUE(scripts[1]->GetSQL(0).contains(Q("WITH NOCHECK")));
    EXPECT_TRUE(scripts[0]->GetSQL(0).contains(Q("object_id('[dbo].[FK_Orders_Customers]')")));
}

// Default and check changes, renames, additions and drops on a table that is not rebuilt.
TEST(ConstraintScripts, DefaultAndCheckChanges) {
    TablePair p;
    p.s.Col(Q("Qty"), Q("int")).Default(Q("DF_T_Qty"), Q("(1)"));
    p.d.Col(Q("Qty"), Q("int")).Default(Q("DF_T_Qty"), Q("(0)"));
    p.s.Col(Q("Price"), Q("money")).Default(Q("DF_New"), Q("(0)"));
    p.d.Col(Q("Price"), Q("money")).Default(Q("DF_Old"), Q("(0)"));
    p.s.Col(Q("Added"), Q("int")).Default(Q("DF_Added"), Q("(5)"));
    p.s.Col(Q("Later"), Q("int")).Default(Q("DF_Later"), Q("(7)"));
    p.d.Col(Q("Later"), Q("int"));
    p.d.Col(Q("Dropped"), Q("int")).Default(Q("DF_Dropped"), Q("(9)"));
    p.s.Check(Q("CK_Qty"), Q("([Qty] > 0)"));
    p.d.Check(Q("CK_Qty"), Q("([Qty] >= 0)"));
    Tovimar_Check& nfr = p.s.Check(Q("CK_New"), Q("([Price] >= 0)"));
    nfr.NotForRepl = nfr.NoCheckConstraint = true;
    p.d.Check(Q("CK_Gone"), Q("([Qty] < 10)"));
    Tovimar_Check& renamed = p.s.Check(Q("CK_Renamed"), Q("([Price] < 100)"));
    Tovimar_Check& old = p.d.Check(Q("CK_Before"), Q("([price] < 100)"));
    LinkPair(p.src, p.dst);
    Tovimar_Database::SetLink(p.s->Defaults.At(1).get(), p.d->Defaults.At(1).get());
    Tovimar_Database::SetLink(&renamed, &old);

    ScriptList scripts;
    GenerateScripts(p.s->Checks, p.d->Checks, scripts, p.ctx);
    GenerateScripts(p.s->Defaults, p.d->Defaults, scripts, p.ctx);
    // The default of the new column Added belongs to its ADD text: no script of its own.
    ExpectGoldenScripts(Q("default_check_change"), scripts);
}

// In a rebuilt table linked checks are re-created without a drop step.
TEST(ConstraintScripts, ChecksOfRebuiltTableAreRecreated) {
    TablePair p;
    p.s->DeleteRecreate = true;
    p.s.Check(Q("CK_Same"), Q("([A] > 0)"));
    p.d.Check(Q("CK_Same"), Q("([a] > 0)"));
    p.s.Check(Q("CK_Changed"), Q("([A] > 1)"));
    p.d.Check(Q("CK_Changed"), Q("([A] > 0)"));
    LinkPair(p.src, p.dst);
    const ScriptList scripts = p.Scripts(p.s->Checks, EmptyCollection<CheckPtr>());
    ASSERT_EQ(Kinds(scripts),
              (QStringList{"RECREATE Check [dbo].[T].[CK_Same]", "CHANGE Check [dbo].[T].[CK_Changed]"}));
    EXPECT_EQ(S(scripts[0]->GetSQL(0)), "ALTER TABLE [dbo].[T]\r\nADD CONSTRAINT [CK_Same] CHECK ([A] > 0)");
    EXPECT_EQ(S(scripts[1]->GetSQL(0)), "ALTER TABLE [dbo].[T]\r\nADD CONSTRAINT [CK_Changed] CHECK ([A] > 1)");
}

}  // namespace

// The existence guard is written into one string: the test line, then the body with a tab after
// every CR LF (a lone CR or LF stays as it is), and the function guard tests the xtypes.
TEST(ExistenceGuard, IndentsTheBodyAfterEachLineBreakOnly) {
    const QString body = Q("A\r\nB\rC\nD\r\r\nE\r\n");
    // A name beyond ASCII is a Unicode literal.
    EXPECT_EQ(GetSQLIfExists(Q("[dbo].[Ä']"), Q("IsUserTable"), body),
              Q("if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[Ä'']') and OBJECTPROPERTY(id, "
                "'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)\r\n\t") +
                  Q("A\r\n\tB\rC\nD\r\r\n\tE\r\n\t"));
    EXPECT_EQ(GetSQLIfExists(Q("[dbo].[F]"), Q("isfunction"), Q("X")),
              Q("if exists (select * from dbo.sysobjects where id = object_id('[dbo].[F]') and xtype in (N'FN', N'IF', "
                "N'TF')) \r\n\tX"));
}
