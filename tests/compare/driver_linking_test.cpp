// The generation driver's passes and the linking of the two models.
#include "compare/generation_driver.h"
#include "compare/generators.h"
#include "compare/linking.h"
#include "family_test_support.h"
#include "support/recording_progress.h"

#include <gtest/gtest.h>

namespace {

const QString dbo = QStringLiteral("dbo");
QString Q(const char* text) { return QString::fromUtf8(text); }

struct Pair {
    TestDb Src{Q("SRV"), Q("Src")};
    TestDb Dst{Q("SRV"), Q("Dst")};
    GenerationContext Ctx;
    Pair() {
        Ctx.DB1 = Src.Get();
        Ctx.DB2 = Dst.Get();
    }
    ScriptList Generate(bool refresh = false) {
        LinkPair(Src, Dst);
        return GenerateAllScripts(Ctx, nullptr, refresh);
    }
};

bool IsComment(const Tovimar_Script& script) { return script.GetSQL(0).startsWith(Q("\r\n/* Comment:")); }

}  // namespace

TEST(DriverTest, ColumnInsertedInFrontSwitchesToTheRebuildInExactlyOneMorePass) {
    Pair p;
    auto t = p.Src.Table(dbo, Q("T"));
    t.Col(Q("A"), Q("int"));
    t.Col(Q("New"), Q("int")).Nullable();
    t.Col(Q("B"), Q("int"));
    auto d = p.Dst.Table(dbo, Q("T"));
    d.Col(Q("A"), Q("int"));
    d.Col(Q("B"), Q("int"));
    auto u = p.Src.Table(dbo, Q("U"));  // generated after T in every pass
    u.Col(Q("X"), Q("int"));
    u.Col(Q("Y"), Q("int")).Nullable();
    p.Dst.Table(dbo, Q("U")).Col(Q("X"), Q("int"));

    RecordingProgress progress;
    LinkPair(p.Src, p.Dst);
    const ScriptList scripts = GenerateAllScripts(p.Ctx, &progress, false);
    EXPECT_EQ(p.Ctx.Passes, 2);
    EXPECT_EQ(family_test::Kinds(scripts), QStringList({Q("CHANGE Table [dbo].[T]"), Q("CREATE Column [dbo].[T].[New]"),
                                             Q("CREATE Column [dbo].[U].[Y]")}));
    EXPECT_TRUE(IsComment(*scripts[1]));   // the ADD of the abandoned pass did not survive
    EXPECT_FALSE(IsComment(*scripts[2]));  // U is not rebuilt
    EXPECT_EQ(progress.Calls, QStringList({Q("CAPTION Processing..."), Q("\r\nGenerating Scripts...")}));
    EXPECT_EQ(progress.Closed, 1);
}

TEST(DriverTest, TheFourthDroppedColumnSwitchesToTheRebuild) {
    for (int dropped : {3, 4}) {
        Pair p;
        p.Src.Table(dbo, Q("T")).Col(Q("A"), Q("int"));
        auto d = p.Dst.Table(dbo, Q("T"));
        d.Col(Q("A"), Q("int"));
        for (int i = 0; i < dropped; ++i) d.Col(Q("D") + QString::number(i), Q("int"));
        const ScriptList scripts = p.Generate();
        int deletes = 0, comments = 0, tables = 0;
        for (const ScriptPtr& s : scripts) {
            if (s->Typ == Q("Table")) ++tables;
            if (s->Typ == Q("Column") && s->Action == Q("DELETE")) ++deletes;
            if (IsComment(*s)) ++comments;
        }
        EXPECT_EQ(deletes, dropped);
        EXPECT_EQ(tables, dropped == 4 ? 1 : 0);
        EXPECT_EQ(comments, dropped == 4 ? 4 : 0);
        EXPECT_EQ(p.Ctx.Passes, dropped == 4 ? 2 : 1);
    }
}

TEST(DriverTest, RunStateIsResetOnceAndRefreshOnlyScriptsTables) {
    Pair p;
    auto t = p.Src.Table(dbo, Q("T"));
    t.Col(Q("A"), Q("int"));
    t.DataCopy(QString(), Q("A = 1"));
    t->FieldsAppended = 7;
    auto d = p.Dst.Table(dbo, Q("T"));
    d.Col(Q("A"), Q("int"));
    d->DeleteRecreate = true;  // left over from an earlier run
    p.Src.View(dbo, Q("V"), Q("CREATE VIEW V AS SELECT 1 AS A")).DeleteRecreate = true;
    const ScriptList scripts = p.Generate(true);
    EXPECT_TRUE(t->DeleteRecreate);
    EXPECT_FALSE(d->DeleteRecreate);
    EXPECT_FALSE(p.Src->Views[0]->DeleteRecreate);
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(scripts[0]->Action, Q("CHANGE"));
    EXPECT_EQ(scripts[0]->Index, 1);
}

TEST(DriverTest, AFullTextMarkOfAnEarlierRunDoesNotRecreateTheIndex) {
    Pair p;
    for (TestDb* db : {&p.Src, &p.Dst}) {
        auto t = db->Table(dbo, Q("Doc"));
        t.FullTextIndex(Q("Cat"), Q("PK_Doc"));
        t.Col(Q("ID"), Q("int"));
        t.Col(Q("Body"), Q("ntext")).Nullable().FullText();
        t.PrimaryKey(Q("PK_Doc"), {"ID"});
        t->FTI_DeleteRecreate = true;
    }
    const ScriptList scripts = p.Generate();
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(scripts[0]->Action, Q("CHANGE"));
    EXPECT_TRUE(IsFTIActivationOnly(*scripts[0]));
}

TEST(DriverTest, NoDifferencesGiveAnEmptyList) {
    Pair p;
    for (TestDb* db : {&p.Src, &p.Dst}) {
        auto t = db->Table(dbo, Q("T"));
        t.Col(Q("A"), Q("int"));
        t.Col(Q("B"), Q("varchar"), 10).Nullable();
    }
    EXPECT_TRUE(p.Generate().empty());
    EXPECT_THROW(GenerateAllScripts(*std::make_unique<GenerationContext>(), nullptr, false), TovimarException);
}

TEST(LinkingTest, NamesLinkCaseInsensitivelyAndTableContentsFollowTheTable) {
    Pair p;
    auto a = p.Src.Table(dbo, Q("Orders"));
    a.Col(Q("ID"), Q("int"));
    Tovimar_Index& pk = a.PrimaryKey(Q("PK_Orders"), {"ID"});
    auto b = p.Dst.Table(Q("DBO"), Q("ORDERS"));
    b.Col(Q("id"), Q("int"));
    Tovimar_Index& pk2 = b.PrimaryKey(Q("pk_orders"), {"ID"});
    Tovimar_View& v1 = p.Src.View(dbo, Q("V"), QString());
    Tovimar_View& v2 = p.Dst.View(dbo, Q("v"), QString());
    LinkPair(p.Src, p.Dst);
    LinkPair(p.Src, p.Dst);  // linking twice leaves the same links
    EXPECT_EQ(p.Src->OtherObj(), p.Dst.Get());
    EXPECT_EQ(a->OtherObj(), b.Ptr().get());
    EXPECT_EQ(b->OtherObj(), a.Ptr().get());
    EXPECT_EQ(a->Fields[0]->OtherObj(), b->Fields[0].get());
    EXPECT_EQ(pk.OtherObj(), &pk2);
    EXPECT_EQ(v1.OtherObj(), &v2);
    EXPECT_EQ(family_test::Kinds(GenerateAllScripts(p.Ctx, nullptr, false)), QStringList());  // equal names: no RENAME

    a->SetOtherObj(nullptr);  // unlinking a table unlinks its contents on both sides
    EXPECT_EQ(b->OtherObj(), nullptr);
    EXPECT_EQ(a->Fields[0]->OtherObj(), nullptr);
    EXPECT_EQ(b->Fields[0]->OtherObj(), nullptr);
    EXPECT_EQ(pk2.OtherObj(), nullptr);
}

TEST(LinkingTest, SetLinkMovesTheCounterpartAndRelinksContentsByName) {
    Pair p;
    auto a = p.Src.Table(dbo, Q("A"));
    a.Col(Q("X"), Q("int"));
    auto b = p.Dst.Table(dbo, Q("A"));
    b.Col(Q("X"), Q("int"));
    auto c = p.Dst.Table(dbo, Q("C"));
    c.Col(Q("X"), Q("int"));
    Tovimar_Role& lonely = p.Src.Role(Q("r"));
    LinkPair(p.Src, p.Dst);
    EXPECT_EQ(lonely.OtherObj(), nullptr);
    ASSERT_EQ(a->OtherObj(), b.Ptr().get());
    Tovimar_Database::SetLink(a.Ptr().get(), c.Ptr().get());
    EXPECT_EQ(a->OtherObj(), c.Ptr().get());
    EXPECT_EQ(c->OtherObj(), a.Ptr().get());
    EXPECT_EQ(b->OtherObj(), nullptr);
    EXPECT_EQ(a->Fields[0]->OtherObj(), c->Fields[0].get());
    EXPECT_EQ(b->Fields[0]->OtherObj(), nullptr);

    c->SetOtherObj(b.Ptr().get());  // assigning from the other side releases a
    EXPECT_EQ(a->OtherObj(), nullptr);
    EXPECT_EQ(b->OtherObj(), c.Ptr().get());
    EXPECT_EQ(a->Fields[0]->OtherObj(), nullptr);
    EXPECT_EQ(c->Fields[0]->OtherObj(), b->Fields[0].get());

    Tovimar_Database::SetLink(a.Ptr().get(), static_cast<Tovimar_Table*>(nullptr));  // only unlinks
    EXPECT_EQ(a->OtherObj(), nullptr);
}

TEST(LinkingTest, ReferencingRelationsAreIndexedByReferencedTableWithoutSelfReferences) {
    TestDb db(Q("S"), Q("D"));
    auto customers = db.Table(dbo, Q("Customers"));
    customers.Relation(Q("FK_Self"), dbo, Q("Customers"), {"Parent"}, {"ID"});
    auto orders = db.Table(dbo, Q("Orders"));
    Tovimar_Relation& fk1 = orders.Relation(Q("FK_1"), dbo, Q("customers"), {"C"}, {"ID"});
    auto items = db.Table(dbo, Q("Items"));
    Tovimar_Relation& fk2 = items.Relation(Q("FK_2"), dbo, Q("Customers"), {"C"}, {"ID"});
    items.Relation(Q("FK_3"), dbo, Q("Orders"), {"O"}, {"ID"});
    db.ResolveRelations();
    GenerationContext ctx;
    const std::vector<Tovimar_Relation*> expected = {&fk1, &fk2};
    EXPECT_EQ(ctx.ReferencingRelations(*customers), expected);
    EXPECT_EQ(ctx.ReferencingRelations(*items).size(), 0u);
}

TEST(ClassificationTest, DefinitionsCompareWithTheCanonicalNameOnBothSides) {
    const QString canonical = Q("[dbo].[Sales]");
    EXPECT_FALSE(DefinitionsDiffer(Q("CREATE VIEW dbo.Sales AS SELECT 1 AS A"), Q("CREATE VIEW [dbo].[Sales] AS SELECT 1 AS A"),
                                   Q("VIEW"), canonical, QString(), 0));
    EXPECT_FALSE(DefinitionsDiffer(Q("CREATE VIEW dbo.Sales\nAS SELECT 1 AS A"), Q("CREATE VIEW dbo.Sales\r\nAS SELECT 1 AS A\r\n"),
                                   Q("VIEW"), canonical, QString(), 0));
    EXPECT_TRUE(DefinitionsDiffer(Q("CREATE VIEW dbo.Sales AS SELECT 1 AS A"), Q("CREATE VIEW dbo.Sales AS SELECT 2 AS A"),
                                  Q("VIEW"), canonical, QString(), 0));
    EXPECT_FALSE(ExecSettingsDiffer(24 | 1, 24));
    EXPECT_TRUE(ExecSettingsDiffer(16, 24));
}
