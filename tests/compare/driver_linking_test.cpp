// The generation driver's passes and the linking of the two models.
#include "compare/linking.h"
#include "family_test_support.h"
#include "schema/constraint_links.h"
#include "support/recording_progress.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

bool IsComment(const Tovimar_Script& script) { return script.GetSQL(0).startsWith(Q("\r\n/* Comment:")); }

}  // namespace

TEST(DriverTest, ColumnInsertedInFrontSwitchesToTheRebuildFoundBeforeThePass) {
    Pair p;
    auto t = p.src.Table(dbo, Q("T"));
    t.Col(Q("A"), Q("int"));
    t.Col(Q("New"), Q("int")).Nullable();
    t.Col(Q("B"), Q("int"));
    auto d = p.dst.Table(dbo, Q("T"));
    d.Col(Q("A"), Q("int"));
    d.Col(Q("B"), Q("int"));
    auto u = p.src.Table(dbo, Q("U"));  // generated after T in every pass
    u.Col(Q("X"), Q("int"));
    u.Col(Q("Y"), Q("int")).Nullable();
    p.dst.Table(dbo, Q("U")).Col(Q("X"), Q("int"));

    RecordingProgress progress;
    LinkPair(p.src, p.dst);
    const ScriptList scripts = GenerateAllScripts(p.ctx, &progress, false);
    EXPECT_EQ(p.ctx.Passes, 1);
    EXPECT_EQ(Kinds(scripts), QStringList({Q("CHANGE Table [dbo].[T]"), Q("CREATE Column [dbo].[T].[New]"),
                                           Q("CREATE Column [dbo].[U].[Y]")}));
    EXPECT_TRUE(IsComment(*scripts[1]));   // the ADD is written as part of the rebuild
    EXPECT_FALSE(IsComment(*scripts[2]));  // U is not rebuilt
    EXPECT_EQ(progress.Calls, QStringList({Q("CAPTION Processing..."), Q("\r\nGenerating Scripts...")}));
    EXPECT_EQ(progress.Closed, 1);
}

TEST(DriverTest, TheTablesOfAnEmptyDestinationAreCreatedAsOneByOne) {
    // Enough tables for several runs on two threads, each with the parts its create script brings
    // along; every foreign key references a table of another run.
    Pair p;
    constexpr int count = 300;
    const auto name = [](int i) { return Q("T%1").arg(i, 3, 10, QLatin1Char('0')); };
    for (int i = 0; i < count; ++i) {
        auto t = p.src.Table(dbo, name(i));
        t.Col(Q("ID"), Q("int"));
        t.Col(Q("Ref"), Q("int")).Nullable().Default(Q("DF_%1").arg(i), Q("(0)"));
        t.Col(Q("Note"), Q("varchar"), 20).Nullable().FullText();
        t.PrimaryKey(Q("PK_%1").arg(i), {"ID"});
        t.Index(Q("IX_%1").arg(i), {"Ref"});
        t.Relation(Q("FK_%1").arg(i), dbo, name((i + 100) % count), {"Ref"}, {"ID"});
        t.Check(Q("CK_%1").arg(i), Q("([Ref] >= 0)"));
        t.Trigger(Q("TR_%1").arg(i), Q("CREATE TRIGGER TR_%1 ON %2 FOR INSERT AS RETURN").arg(i).arg(name(i)));
        if (i % 7 == 0) t.FullTextIndex(Q("Cat"), Q("PK_%1").arg(i));
    }
    p.src.ResolveRelations();
    p.Link();
    const ScriptList made = p.Generate();
    // The general path: the generators table by table, in the driver's order.
    const ScriptList oneByOne = SortScripts(p.Scripts(p.src->Tables, p.dst->Tables));
    EXPECT_EQ(Kinds(made), Kinds(oneByOne));
    EXPECT_EQ(RenderScripts(made), RenderScripts(oneByOne));
    EXPECT_GT(made.size(), static_cast<size_t>(6 * count));
}

TEST(DriverTest, PairsFoundUnchangedBeforeThePassGiveWhatTheirGeneratorsGive) {
    // Pairs of tables, each the same on both sides but for one difference of its row (none in the
    // first), every one with a foreign key to the next pair's table (some of them rebuilt); the
    // driver skips the pairs it finds unchanged, the general path generates every table.
    enum Variant { Same, IndexFlag, IndexRenamed, IndexOnlyInDest, Cascade, RelationOnlyInDest, CheckValue,
                   CheckRenamed, DefaultValue, GeneratedDefaultNames, SameTrigger, SameFullText, ColumnType,
                   ColumnAdded, DataCopy, TableRenamed, Variants };
    Pair p;
    constexpr int count = 5 * Variants;  // more than one run of pairs: both threads mark
    const auto name = [](int i) { return Q("T%1").arg(i, 3, 10, QLatin1Char('0')); };
    for (int i = 0; i < count; ++i) {
        const int v = i % Variants;
        for (TestDb* db : {&p.src, &p.dst}) {
            const bool src = db == &p.src;
            auto t = db->Table(dbo, name(i) + (v == TableRenamed && !src ? Q("_Old") : QString()));
            t.Col(Q("ID"), Q("int"));
            const QString defaultName = v == GeneratedDefaultNames
                                            ? Q("DF__%1__Ref__%2").arg(name(i), src ? Q("0A1B2C3D") : Q("4E5F6071"))
                                            : Q("DF_%1").arg(i);
            t.Col(Q("Ref"), Q("int")).Nullable().Default(defaultName, src && v == DefaultValue ? Q("(1)") : Q("(0)"));
            t.Col(Q("Note"), src && v == ColumnType ? Q("nvarchar") : Q("varchar"), 20).Nullable().FullText();
            if (src && v == ColumnAdded) t.Col(Q("Added"), Q("int")).Nullable();
            t.PrimaryKey(Q("PK_%1").arg(i), {"ID"});
            t.Index(v == IndexRenamed && !src ? Q("IX_%1_Old").arg(i) : Q("IX_%1").arg(i), {"Ref"}).IsUnique =
                src && v == IndexFlag;
            if (!src && v == IndexOnlyInDest) t.Index(Q("IX_%1_More").arg(i), {"Note"});
            t.Relation(Q("FK_%1").arg(i), dbo, name((i + 1) % count), {"Ref"}, {"ID"}).DeleteCascade =
                src && v == Cascade;
            if (!src && v == RelationOnlyInDest) t.Relation(Q("FK_%1_Self").arg(i), dbo, name(i), {"Ref"}, {"ID"});
            t.Check(v == CheckRenamed && !src ? Q("CK_%1_Old").arg(i) : Q("CK_%1").arg(i),
                    src && v == CheckValue ? Q("([Ref] > 0)") : Q("([Ref] >= 0)"));
            if (v == SameTrigger)
                t.Trigger(Q("TR_%1").arg(i), Q("CREATE TRIGGER TR_%1 ON %2 FOR INSERT AS RETURN").arg(i).arg(name(i)));
            if (v == SameFullText) t.FullTextIndex(Q("Cat"), Q("PK_%1").arg(i));
            if (src && v == DataCopy) t.DataCopy(QString(), Q("ID = 1"));
        }
    }
    p.src.ResolveRelations();
    p.dst.ResolveRelations();
    p.Link();
    for (int i = TableRenamed; i < count; i += Variants)
        Tovimar_Database::SetLink(p.src->Tables[i].get(), p.dst->Tables[i].get());
    const ScriptList made = p.Generate();
    const ScriptList oneByOne = SortScripts(p.Scripts(p.src->Tables, p.dst->Tables));
    EXPECT_EQ(Kinds(made), Kinds(oneByOne));
    EXPECT_EQ(RenderScripts(made), RenderScripts(oneByOne));
    // The pairs without a difference of their own (the first, the generated default names) are
    // skipped; those next to a rebuild get that rebuild's scripts for their foreign keys.
    int skipped = 0;
    for (int i = 0; i < count; ++i)
        if (p.ctx.UnchangedPairs.at(static_cast<size_t>(i))) {
            ++skipped;
            EXPECT_TRUE(i % Variants == Same || i % Variants == GeneratedDefaultNames) << i;
        }
    EXPECT_EQ(skipped, 10);
}

TEST(DriverTest, TheFourthDroppedColumnSwitchesToTheRebuild) {
    for (int dropped : {3, 4}) {
        Pair p;
        p.src.Table(dbo, Q("T")).Col(Q("A"), Q("int"));
        auto d = p.dst.Table(dbo, Q("T"));
        d.Col(Q("A"), Q("int"));
        for (int i = 0; i < dropped; ++i) d.Col(Q("D") + QString::number(i), Q("int"));
        p.Link();
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
        EXPECT_EQ(p.ctx.Passes, 1);
    }
}

TEST(DriverTest, RunStateIsResetOnceAndRefreshOnlyScriptsTables) {
    Pair p;
    auto t = p.src.Table(dbo, Q("T"));
    t.Col(Q("A"), Q("int"));
    t.DataCopy(QString(), Q("A = 1"));
    t->FieldsAppended = 7;
    auto d = p.dst.Table(dbo, Q("T"));
    d.Col(Q("A"), Q("int"));
    d->DeleteRecreate = true;  // left over from an earlier run
    p.src.View(dbo, Q("V"), Q("CREATE VIEW V AS SELECT 1 AS A")).DeleteRecreate = true;
    p.Link();
    const ScriptList scripts = p.Generate(true);
    EXPECT_TRUE(t->DeleteRecreate);
    EXPECT_FALSE(d->DeleteRecreate);
    EXPECT_FALSE(p.src->Views[0]->DeleteRecreate);
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(scripts[0]->Action, Q("CHANGE"));
    EXPECT_EQ(scripts[0]->Index, 1);
}

TEST(DriverTest, AFullTextMarkOfAnEarlierRunDoesNotRecreateTheIndex) {
    Pair p;
    for (TestDb* db : {&p.src, &p.dst}) {
        auto t = db->Table(dbo, Q("Doc"));
        t.FullTextIndex(Q("Cat"), Q("PK_Doc"));
        t.Col(Q("ID"), Q("int"));
        t.Col(Q("Body"), Q("ntext")).Nullable().FullText();
        t.PrimaryKey(Q("PK_Doc"), {"ID"});
        t->FTI_DeleteRecreate = true;
    }
    p.Link();
    const ScriptList scripts = p.Generate();
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(scripts[0]->Action, Q("CHANGE"));
    EXPECT_TRUE(IsFTIActivationOnly(*scripts[0]));
}

TEST(LinkingTest, NamesLinkCaseInsensitivelyAndTableContentsFollowTheTable) {
    Pair p;
    auto a = p.src.Table(dbo, Q("Orders"));
    a.Col(Q("ID"), Q("int"));
    Tovimar_Index& pk = a.PrimaryKey(Q("PK_Orders"), {"ID"});
    auto b = p.dst.Table(Q("DBO"), Q("ORDERS"));
    b.Col(Q("id"), Q("int"));
    Tovimar_Index& pk2 = b.PrimaryKey(Q("pk_orders"), {"ID"});
    Tovimar_View& v1 = p.src.View(dbo, Q("V"), QString());
    Tovimar_View& v2 = p.dst.View(dbo, Q("v"), QString());
    LinkPair(p.src, p.dst);
    LinkPair(p.src, p.dst);  // linking twice leaves the same links
    EXPECT_EQ(p.src->OtherObj(), p.dst.Get());
    EXPECT_EQ(a->OtherObj(), b.Ptr().get());
    EXPECT_EQ(b->OtherObj(), a.Ptr().get());
    EXPECT_EQ(a->Fields[0]->OtherObj(), b->Fields[0].get());
    EXPECT_EQ(pk.OtherObj(), &pk2);
    EXPECT_EQ(v1.OtherObj(), &v2);
    EXPECT_EQ(Kinds(p.Generate()), QStringList());  // equal names: no RENAME, equal tables: no script
    EXPECT_THROW(GenerateAllScripts(*std::make_unique<GenerationContext>(), nullptr, false), TovimarException);

    a->SetOtherObj(nullptr);  // unlinking a table unlinks its contents on both sides
    EXPECT_EQ(b->OtherObj(), nullptr);
    EXPECT_EQ(a->Fields[0]->OtherObj(), nullptr);
    EXPECT_EQ(b->Fields[0]->OtherObj(), nullptr);
    EXPECT_EQ(pk2.OtherObj(), nullptr);
}

TEST(LinkingTest, SetLinkMovesTheCounterpartAndRelinksContentsByName) {
    Pair p;
    auto a = p.src.Table(dbo, Q("A"));
    a.Col(Q("X"), Q("int"));
    auto b = p.dst.Table(dbo, Q("A"));
    b.Col(Q("X"), Q("int"));
    auto c = p.dst.Table(dbo, Q("C"));
    c.Col(Q("X"), Q("int"));
    Tovimar_Role& lonely = p.src.Role(Q("r"));
    LinkPair(p.src, p.dst);
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

    Tovimar_Database::ClearLink(c.Ptr().get());
    EXPECT_EQ(b->OtherObj(), nullptr);
    EXPECT_EQ(c->Fields[0]->OtherObj(), nullptr);
    Tovimar_Database::SetLink(a.Ptr().get(), c.Ptr().get());
    Tovimar_Database::SetLink(a.Ptr().get(), static_cast<Tovimar_Table*>(nullptr));  // only unlinks
    EXPECT_EQ(a->OtherObj(), nullptr);
    EXPECT_EQ(c->OtherObj(), nullptr);
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

// Definitions compare by their canonical form (the view tests show names and line breaks written
// differently); the settings compare only QUOTED_IDENTIFIER (8) and ANSI_NULLS (16).
TEST(ClassificationTest, ExecSettingsCompareOnlyQuotedIdentifierAndAnsiNulls) {
    EXPECT_FALSE(ExecSettingsDiffer(24 | 1, 24));
    EXPECT_TRUE(ExecSettingsDiffer(16, 24));
}

namespace {

// Source and Destination tables whose columns stand in another order, whose constraints have
// server-generated names (paired by content), with a foreign key to a table linked after its
// own, and tables only one side has.
void BuildLinkingCase(TestDb& s, TestDb& d) {
    auto items = s.Table(dbo, Q("Items"));
    items.Col(Q("ID"), Q("int"));
    items.Col(Q("OrderID"), Q("int"));
    items.Col(Q("Qty"), Q("int")).Default(Q("DF__Items__Qty__44444444"), Q("(1)"));
    items.PrimaryKey(Q("PK__Items__11111111"), {"ID"});
    items.Relation(Q("FK__Items__OrderID__22222222"), dbo, Q("Orders"), {"OrderID"}, {"ID"});
    items.Check(Q("CK__Items__Qty__33333333"), Q("([Qty] > 0)"));
    auto orders = s.Table(dbo, Q("Orders"));
    orders.Col(Q("ID"), Q("int"));
    orders.Col(Q("Customer"), Q("int"));
    orders.PrimaryKey(Q("PK_Orders"), {"ID"});
    orders.Index(Q("IX_Cust"), {"Customer"});
    auto onlySource = s.Table(dbo, Q("OnlySource"));
    onlySource.Col(Q("A"), Q("int"));
    s.Permission(*items, Q("public"));
    s.Permission(*orders, Q("Guest"));
    s.Permission(*onlySource, Q("public"));

    d.Table(dbo, Q("OnlyDest")).Col(Q("B"), Q("int"));
    auto dOrders = d.Table(dbo, Q("orders"));
    dOrders.Col(Q("ID"), Q("int"));
    dOrders.Col(Q("Gone"), Q("int"));
    dOrders.Col(Q("Customer"), Q("int"));
    dOrders.PrimaryKey(Q("PK_Orders"), {"ID"});
    dOrders.Index(Q("IX_Cust"), {"Customer"});
    auto dItems = d.Table(dbo, Q("Items"));
    dItems.Col(Q("ID"), Q("int"));
    dItems.Col(Q("Qty"), Q("int")).Default(Q("DF__Items__Qty__DDDDDDDD"), Q("(1)"));
    dItems.Col(Q("OrderID"), Q("int"));
    dItems.PrimaryKey(Q("PK__Items__AAAAAAAA"), {"ID"});
    dItems.Relation(Q("FK__Items__OrderID__BBBBBBBB"), dbo, Q("orders"), {"OrderID"}, {"ID"});
    dItems.Check(Q("CK__Items__Qty__CCCCCCCC"), Q("([Qty] > 0)"));
    d.Permission(*dOrders, Q("guest"));
    d.Permission(*dItems, Q("public"));
    d.Permission(*dItems, Q("Clerks"));
}

template <class P>
void DescribeLinks(const QString& table, const Collection<P>& objects, QStringList& links) {
    for (const P& object : objects)
        links << table + Q(".") + object->Name + Q(" -> ") + (object->OtherObj() ? object->OtherObj()->Name : Q("-"));
}

// Every table's and every content object's counterpart, by name, on both sides.
QStringList Links(const Tovimar_Database& source, const Tovimar_Database& dest) {
    QStringList links;
    for (const Tovimar_Database* db : {&source, &dest})
        for (const TablePtr& t : db->Tables) {
            links << t->Name + Q(" -> ") + (t->OtherObj() ? t->OtherObj()->Name : Q("-"));
            DescribeLinks(t->Name, t->Fields, links);
            DescribeLinks(t->Name, t->Indexes, links);
            DescribeLinks(t->Name, t->Relations, links);
            DescribeLinks(t->Name, t->Defaults, links);
            DescribeLinks(t->Name, t->Checks, links);
        }
    for (const Tovimar_Database* db : {&source, &dest}) DescribeLinks(Q("Permissions"), db->Permissions, links);
    return links;
}

}  // namespace

TEST(LinkingTest, TablesLinkedInTwoHalvesAsTheModelLinksThemOneByOne) {
    // Second round: a permission whose key is no longer its name (its grantee changed after it
    // was added, so that two Destination permissions have one name) takes the model's linking.
    // Third round: so does a table whose key is no longer its name (renamed after it was added).
    for (const int round : {1, 2, 3}) {
        const bool staleKey = round == 2;
        TestDb s1(Q("S"), Q("A")), d1(Q("D"), Q("A")), s2(Q("S"), Q("A")), d2(Q("D"), Q("A"));
        BuildLinkingCase(s1, d1);
        BuildLinkingCase(s2, d2);
        for (TestDb* db : {&s1, &d1, &s2, &d2}) db->Table(dbo, Q("Odd]Name")).Col(Q("A"), Q("int"));
        if (staleKey)
            for (TestDb* d : {&d1, &d2}) (*d)->Permissions[2]->Grantee = Q("public");
        if (round == 3)
            for (TestDb* d : {&d1, &d2}) (*d)->Tables.Item(Q("[dbo].[Items]"))->Name = Q("Itemz");
        LinkPair(s1, d1);
        // The model's own linking, table by table, then the constraints by content.
        s2.ResolveRelations();
        d2.ResolveRelations();
        Tovimar_Database::LinkObjects(s2->Tables, d2->Tables);
        for (const TablePtr& table : s2->Tables)
            if (table->OtherObj()) LinkConstraintsByContent(*table);
        Tovimar_Database::LinkObjects(s2->Permissions, d2->Permissions);

        const QStringList links = Links(*s1, *d1);
        EXPECT_EQ(links, Links(*s2, *d2));
        EXPECT_TRUE(links.contains(Q("Odd]Name -> Odd]Name")));
        if (round == 3) continue;
        EXPECT_TRUE(links.contains(Q("Items.FK__Items__OrderID__22222222 -> FK__Items__OrderID__BBBBBBBB")));
        EXPECT_TRUE(links.contains(Q("Items.DF__Items__Qty__44444444 -> DF__Items__Qty__DDDDDDDD")));
        EXPECT_TRUE(links.contains(Q("orders.Gone -> -")));
        EXPECT_TRUE(links.contains(Q("Permissions.[dbo].[Orders].[Guest] -> [dbo].[orders].[guest]")));
        EXPECT_EQ(links.contains(Q("Permissions.[dbo].[Items].[Clerks] -> -")), !staleKey);
    }
}
