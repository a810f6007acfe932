// Table, column and full-text index scripts, checked against golden files.
#include "family_test_support.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

// A source of rows with canned answers: each query text maps to rows, or to a failure.
class FakeSourceData : public SourceDataReader {
public:
    QHash<QString, SourceRows> Answers;  // query text -> rows
    QStringList Failing;                 // query texts the server rejects
    QStringList Asked;                   // every query, in order

    SourceRows Query(const QString& sql) override {
        Asked << sql;
        if (Failing.contains(sql)) throw TovimarException(102, Q("Source"), Q("Incorrect syntax"));
        return Answers.value(sql);
    }
};

QList<DbValue> Row(std::initializer_list<DbValue> values) { return QList<DbValue>(values); }

// The scripts of the linked pair, rendered under a case title for a golden file.
QString Section(const char* title, Pair& p, bool link = true) {
    if (link) p.Link();
    return Q("-- case: ") + Q(title) + Q("\r\n") + RenderScripts(p.Generate());
}

}  // namespace

// The texts of the CREATE TABLE statement (also without file groups, and under a temporary name
// in the rebuilds below) are pinned by the golden files.
TEST(CreateTableTest, EveryColumnFormInOneCreateScript) {
    Pair p;
    auto t = p.src.Table(dbo, Q("Every Form"));
    t->TextFileGroupName = Q("TEXTGROUP");
    t.Col(Q("ID"), Q("int")).Identity(100, 5, true);
    t.Col(Q("Code"), Q("char"), 3).Collate(Q("Latin1_General_CI_AS"));
    t.Col(Q("Title"), Q("NVARCHAR"), 40).Nullable().Default(Q("DF_Title"), Q("(N'none')"));
    t.Col(Q("Price"), Q("decimal"), 18, 2).Default(Q("DF_Price"), Q("(0)"));
    t.Col(Q("Amount"), Q("numeric"), 9, 0).Nullable();
    t.Col(Q("Raw"), Q("varbinary"), 16).Nullable();
    t.Col(Q("Notes"), Q("text")).Nullable();
    t.Col(Q("Created"), Q("datetime"));
    t.Col(Q("Guid"), Q("uniqueidentifier")).RowGuid().Default(Q("DF_Guid"), Q("(newid())"));
    t.Col(Q("Total"), Q("int")).Computed(Q("([Price] * 2)")).Default(Q("DF_Total"), Q("(1)"));
    t.Col(Q("Ver"), Q("timestamp"));
    t.Col(Q("Odd]Name"), Q("int")).Nullable();
    p.Link();
    ExpectGoldenScripts(Q("table_create_every_form"), p.Generate());
}

// Small table cases, each a section of one golden file: the scripts' titles show their actions,
// the parts their statements.
TEST(TableScriptsTest, SmallCasesInOneGoldenFile) {
    QString text;
    {
        Pair p;  // without file groups or collations the clauses are left out
        auto t = p.src.Table(dbo, Q("T"));
        t->FileGroupsIncluded = false;
        t->CollationsIncluded = false;
        t->TextFileGroupName = Q("OTHER");
        t.Col(Q("C"), Q("varchar"), 10).Collate(Q("Latin1_General_BIN"));
        text += Section("no file groups or collations", p);
    }
    {
        Pair p;
        p.dst.Table(dbo, Q("Old")).Col(Q("A"), Q("int"));
        text += Section("destination-only table is dropped", p);
    }
    {
        Pair p;  // the old name's quote is doubled in the literal
        auto src = p.src.Table(dbo, Q("New"));
        src.Col(Q("A"), Q("int"));
        auto dst = p.dst.Table(dbo, Q("O'Old"));
        dst.Col(Q("A"), Q("int"));
        p.Link();
        Tovimar_Database::SetLink(src.Ptr().get(), dst.Ptr().get());
        EXPECT_EQ(dst->Fields[0]->OtherObj(), src->Fields[0].get());  // contents follow the rename
        text += Section("renamed table", p, false);
    }
    {
        Pair p;
        p.src.Table(dbo, Q("T")).Col(Q("A"), Q("int"));
        auto dst = p.dst.Table(dbo, Q("T"));
        dst->FileGroupName = Q("OLDGROUP");
        dst.Col(Q("A"), Q("int"));
        text += Section("file group change rebuilds the table", p);
        EXPECT_EQ(p.ctx.Passes, 1);  // found before the pass
    }
    {
        Pair p;  // a new identity column: no IDENTITY_INSERT ON step, but the OFF step
        auto src = p.src.Table(dbo, Q("T"));
        src.Col(Q("A"), Q("int"));
        src.Col(Q("NewID"), Q("int")).Identity(1, 1);
        src.Col(Q("B"), Q("int"));
        auto dst = p.dst.Table(dbo, Q("T"));
        dst.Col(Q("A"), Q("int"));
        dst.Col(Q("B"), Q("int"));
        text += Section("new identity column", p);
    }
    {
        Pair p;  // copy filter "-" keeps no old rows; a failing copy query raises in the script
        auto src = p.src.Table(dbo, Q("T"));
        src.Col(Q("A"), Q("int"));
        src.DataCopy(QString(), Q("A = 1"));
        src.DataCopy(Q("[x,y]]z], B"), QString());
        p.dst.Table(dbo, Q("T")).Col(Q("A"), Q("int"));
        FakeSourceData source;
        source.Failing << Q("SELECT * FROM [dbo].[T]");
        p.ctx.SourceData = &source;
        text += Section("data copy without condition, failing query", p);
    }
    {
        Pair p;  // copied column names that are no plain identifiers are quoted
        auto src = p.src.Table(dbo, Q("T"));
        src.Col(Q("ID"), Q("int"));
        src.Col(Q("Order Date"), Q("datetime")).Nullable();
        src.Col(Q("Key"), Q("int")).Nullable();
        src.Col(Q("a]b"), Q("int")).Nullable();
        src.DataCopy(QString(), Q("ID = 1"));
        FakeSourceData source;
        source.Answers.insert(
            Q("SELECT * FROM [dbo].[T] WHERE ID = 1"),
            {{Q("ID"), Q("Order Date"), Q("Key"), Q("a]b")},
             {3, 135, 3, 3},
             {{DbValue::FromInt(1), DbValue::FromDateTime(QDateTime(QDate(2003, 1, 31), QTime(13, 45))),
               DbValue::FromInt(2), DbValue::Null()}}});
        p.ctx.SourceData = &source;
        text += Section("data copy quotes column names", p);
    }
    ExpectGolden(Q("table_small_cases"), text);

    const Collection<QString> names = ParseFieldList(Q(" [x,y]]z], B,b,,[C] "));
    ASSERT_EQ(names.Count(), 3);
    EXPECT_EQ(S(names[0]), "[x,y]]z]");
    EXPECT_EQ(S(names[1]), "[B]");
    EXPECT_EQ(S(names[2]), "[C]");
}

TEST(RebuildTest, IdentityRenamedColumnConversionAndDataCopy) {
    Pair p;
    auto src = p.src.Table(dbo, Q("T"));
    src.Col(Q("ID"), Q("int")).Identity(1, 1);
    auto newName = src.Col(Q("NewName"), Q("varchar"), 20);
    src.Col(Q("Added"), Q("int")).Nullable();
    src.Col(Q("Calc"), Q("int")).Computed(Q("([ID] + 1)"));
    src.Col(Q("TS"), Q("timestamp"));
    src.DataCopy(Q("Calc, [Added]"), Q("[ID] < 10"));
    src.DataCopy(QString(), Q("Name LIKE 'a%'"));
    auto dst = p.dst.Table(dbo, Q("T"));
    dst.Col(Q("ID"), Q("int")).Identity(1, 1);
    auto oldName = dst.Col(Q("OldName"), Q("varchar"), 50);
    dst.Col(Q("TS"), Q("timestamp"));
    dst.Col(Q("Gone"), Q("int"));
    // The temporary name is taken in the Destination by a table outside the comparison.
    p.dst.Table(dbo, Q("Tmp_T"))->ObjectIncluded = false;
    p.Link();
    Tovimar_Database::SetLink(newName.Ptr().get(), oldName.Ptr().get());
    p.ctx.IgnoreDataLoss = true;

    FakeSourceData source;
    SourceRows first{{Q("ID"), Q("NewName"), Q("Added"), Q("Calc"), Q("TS")}, {3, 200, 3, 3, ProviderTypeBinary}, {}};
    first.Rows << Row({DbValue::FromInt(1), DbValue::FromString(Q("O'Brien")), DbValue::FromInt(5), DbValue::FromInt(2),
                       DbValue::FromBinary(QByteArray("\x01\x02", 2))})
               << Row({DbValue::FromInt(2), DbValue::Null(), DbValue::Null(), DbValue::FromInt(3),
                       DbValue::FromBinary(QByteArray("\x01\x03", 2))});
    source.Answers.insert(Q("SELECT * FROM [dbo].[T] WHERE [ID] < 10"), first);
    SourceRows second = first;
    second.Rows = {Row({DbValue::FromInt(40), DbValue::FromString(Q("abc")), DbValue::FromInt(7), DbValue::FromInt(41),
                        DbValue::FromBinary(QByteArray("\x09", 1))})};
    source.Answers.insert(Q("SELECT * FROM [dbo].[T] WHERE (Name LIKE 'a%') AND NOT (([ID] < 10))"), second);
    p.ctx.SourceData = &source;

    const ScriptList scripts = p.Generate();
    EXPECT_EQ(source.Asked.size(), 2);
    ExpectGoldenScripts(Q("table_rebuild_identity_rename_copy"), scripts);
}

TEST(RebuildTest, NewTableWithDataCopyIsCreatedThroughTheRebuild) {
    Pair p;
    auto src = p.src.Table(dbo, Q("N"));
    src.Col(Q("ID"), Q("int")).Identity(1, 1);
    src.Col(Q("V"), Q("nvarchar"), 10).Nullable();
    src.DataCopy(QString(), Q("ID > 0"));
    p.Link();
    FakeSourceData source;
    source.Answers.insert(
        Q("SELECT * FROM [dbo].[N] WHERE ID > 0"),
        {{Q("ID"), Q("V")}, {3, 202}, {{DbValue::FromInt(7), DbValue::FromString(Q("x\r\nGO\r\ny"))}}});
    p.ctx.SourceData = &source;
    ExpectGoldenScripts(Q("table_create_with_data_copy"), p.Generate());
}

TEST(ColumnScriptsTest, AddDropRenameAtTheEndNeedNoRebuild) {
    Pair p;
    auto src = p.src.Table(dbo, Q("T"));
    src.Col(Q("A"), Q("int"));
    auto renamed = src.Col(Q("New'Name"), Q("int"));
    src.Col(Q("C"), Q("varchar"), 20).Nullable();
    src.Col(Q("Qty"), Q("int")).Default(Q("DF_T_Qty"), Q("(0)"));
    src.Col(Q("Calc"), Q("int")).Computed(Q("([A] * 2)")).Default(Q("DF_T_Calc"), Q("(1)"));
    auto dst = p.dst.Table(dbo, Q("T"));
    dst.Col(Q("A"), Q("int"));
    auto old = dst.Col(Q("Old'Name"), Q("int"));
    dst.Col(Q("Gone"), Q("int"));
    p.Link();
    Tovimar_Database::SetLink(renamed.Ptr().get(), old.Ptr().get());
    const ScriptList scripts = p.Generate();
    EXPECT_EQ(p.ctx.Passes, 1);
    ExpectGoldenScripts(Q("column_add_drop_rename"), scripts);
}

TEST(ColumnScriptsTest, ChangedAndInsertedColumnsAreCommentedInTheRebuild) {
    Pair p;
    auto src = p.src.Table(dbo, Q("T"));
    src.Col(Q("A"), Q("int"));
    src.Col(Q("Inserted"), Q("int")).Nullable();
    auto renamed = src.Col(Q("B2"), Q("varchar"), 20);
    src.Col(Q("G"), Q("uniqueidentifier"));
    auto dst = p.dst.Table(dbo, Q("T"));
    dst.Col(Q("A"), Q("int"));
    auto old = dst.Col(Q("B"), Q("varchar"), 50).Nullable();
    dst.Col(Q("G"), Q("uniqueidentifier")).RowGuid();
    p.Link();
    Tovimar_Database::SetLink(renamed.Ptr().get(), old.Ptr().get());
    const ScriptList scripts = p.Generate();
    EXPECT_EQ(p.ctx.Passes, 1);
    ExpectGoldenScripts(Q("column_change_commented_rebuild"), scripts);

    // The difference viewer sees the plain statements.
    p.ctx.DiffViewMode = true;
    ScriptList viewer;
    GenerateScript(*renamed, true, viewer, p.ctx);
    ASSERT_EQ(viewer.size(), 1u);
    EXPECT_EQ(S(viewer[0]->GetSQL(0)), "ALTER TABLE [dbo].[T]\r\nALTER COLUMN [B2] [varchar](20) NOT NULL");
}

TEST(ColumnScriptsTest, CollationDifferenceCountsOnlyWhenCollationsAreIncluded) {
    for (bool included : {false, true}) {
        Pair p;
        auto src = p.src.Table(dbo, Q("T"));
        src->CollationsIncluded = included;
        src.Col(Q("C"), Q("varchar"), 10).Collate(Q("Latin1_General_BIN"));
        auto dst = p.dst.Table(dbo, Q("T"));
        dst.Col(Q("C"), Q("varchar"), 10).Collate(Q("Latin1_General_CI_AS"));
        p.Link();
        const ScriptList scripts = p.Generate();
        EXPECT_EQ(scripts.size(), included ? 2u : 0u) << included;
    }
}

TEST(FullTextTest, EveryKindOfFullTextScript) {
    QString text;
    auto section = [&](const char* title, Pair& p) { text += Section(title, p); };
    {
        Pair p;  // a new table with a full-text index
        auto t = p.src.Table(dbo, Q("Doc"));
        t.FullTextIndex(Q("Cat"), Q("PK_Doc"), true, false);
        t.Col(Q("ID"), Q("int"));
        t.Col(Q("Body"), Q("image")).Nullable().FullText(1033, Q("Ext"));
        t.Col(Q("Title"), Q("nvarchar"), 100).Nullable().FullText();
        t.Col(Q("Ext"), Q("char"), 3).Nullable();
        section("create", p);
    }
    {
        Pair p;  // the same on a Destination server below version 80: no language or type column
        p.dst->SrvVer = 70;
        auto t = p.src.Table(dbo, Q("Doc"));
        t.FullTextIndex(Q("Cat"), Q("PK_Doc"), false, true);
        t.Col(Q("Body"), Q("image")).Nullable().FullText(1033, Q("Ext"));
        section("create for version 70", p);
    }
    {
        Pair p;  // the Source table lost its full-text index
        auto s = p.src.Table(dbo, Q("Doc"));
        s.Col(Q("Title"), Q("nvarchar"), 100).Nullable();
        auto d = p.dst.Table(dbo, Q("Doc"));
        d.FullTextIndex(Q("Cat"), Q("PK_Doc"));
        d.Col(Q("Title"), Q("nvarchar"), 100).Nullable().FullText();
        section("delete", p);
    }
    {
        Pair p;  // another catalog: drop and create
        auto s = p.src.Table(dbo, Q("Doc"));
        s.FullTextIndex(Q("NewCat"), Q("PK_Doc"));
        s.Col(Q("Title"), Q("nvarchar"), 100).Nullable().FullText();
        auto d = p.dst.Table(dbo, Q("Doc"));
        d.FullTextIndex(Q("Cat"), Q("PK_Doc"));
        d.Col(Q("Title"), Q("nvarchar"), 100).Nullable().FullText();
        d.Col(Q("Old"), Q("nvarchar"), 100).Nullable().FullText();
        section("change catalog", p);
    }
    {
        Pair p;  // unchanged: only the activation
        auto s = p.src.Table(dbo, Q("Doc"));
        s.FullTextIndex(Q("Cat"), Q("PK_Doc"));
        s.Col(Q("Title"), Q("nvarchar"), 100).Nullable().FullText(1033);
        auto d = p.dst.Table(dbo, Q("Doc"));
        d.FullTextIndex(Q("Cat"), Q("PK_Doc"));
        d.Col(Q("Title"), Q("nvarchar"), 100).Nullable().FullText(-1);
        section("unchanged", p);
    }
    {
        Pair p;  // column level: one added, one with another language, one removed, tracking switched
        auto s = p.src.Table(dbo, Q("Doc"));
        s.FullTextIndex(Q("Cat"), Q("PK_Doc"), false, true);
        s.Col(Q("Title"), Q("nvarchar"), 100).Nullable().FullText(1031);
        s.Col(Q("Body"), Q("ntext")).Nullable().FullText();
        s.Col(Q("Old"), Q("ntext")).Nullable();
        auto d = p.dst.Table(dbo, Q("Doc"));
        d.FullTextIndex(Q("Cat"), Q("PK_Doc"), true, true);
        d.Col(Q("Title"), Q("nvarchar"), 100).Nullable().FullText(1033);
        d.Col(Q("Body"), Q("ntext")).Nullable();
        d.Col(Q("Old"), Q("ntext")).Nullable().FullText();
        section("column changes", p);
    }
    {
        Pair p;  // a dropped full-text column takes itself out of the index first
        auto s = p.src.Table(dbo, Q("Doc"));
        s.FullTextIndex(Q("Cat"), Q("PK_Doc"));
        s.Col(Q("Title"), Q("nvarchar"), 100).Nullable().FullText();
        auto d = p.dst.Table(dbo, Q("Doc"));
        d.FullTextIndex(Q("Cat"), Q("PK_Doc"));
        d.Col(Q("Title"), Q("nvarchar"), 100).Nullable().FullText();
        d.Col(Q("Gone"), Q("ntext")).Nullable().FullText();
        section("dropped column", p);
    }
    ExpectGolden(Q("fulltext_kinds"), text);
}

TEST(FullTextTest, DeleteTextMarksTheIndexForRecreation) {
    Pair p;
    auto s = p.src.Table(dbo, Q("Doc"));
    auto d = p.dst.Table(dbo, Q("Doc"));
    p.Link();
    EXPECT_EQ(S(FTI_DeleteSQL(*d)),
              "IF OBJECTPROPERTY (OBJECT_ID('[dbo].[Doc]') , 'TableFulltextCatalogId' ) <> 0\r\n"
              "  exec sp_fulltext_table '[dbo].[Doc]', 'drop'\r\n\r\n");
    EXPECT_TRUE(s->FTI_DeleteRecreate);
    EXPECT_TRUE(d->FTI_DeleteRecreate);
    d->DeleteRecreate = true;
    EXPECT_EQ(S(FTI_DeleteSQL(*d)), "");
}

TEST(CreateTableTest, PartsOfANewTableFollowAsSeparateScripts) {
    Pair p;
    auto customers = p.src.Table(dbo, Q("Customers"));
    customers.Col(Q("ID"), Q("int"));
    customers.PrimaryKey(Q("PK_Customers"), {"ID"});
    auto t = p.src.Table(dbo, Q("Orders"));
    t.Col(Q("ID"), Q("int"));
    t.Col(Q("CustomerID"), Q("int")).Default(Q("DF_Orders_Customer"), Q("(0)"));
    t.PrimaryKey(Q("PK_Orders"), {"ID"});
    t.Check(Q("CK_Orders"), Q("([ID] > 0)"));
    t.Relation(Q("FK_Orders_Customers"), dbo, Q("Customers"), {"CustomerID"}, {"ID"});
    t.Trigger(Q("trOrders"), Q("CREATE TRIGGER trOrders ON Orders FOR INSERT AS RETURN"));
    p.Link();
    ScriptList scripts;
    EXPECT_EQ(GenerateScript(*t, true, scripts, p.ctx), 5);
    QStringList kinds;
    for (const ScriptPtr& s : scripts) kinds << s->Action + QLatin1Char(' ') + s->Typ;
    EXPECT_EQ(kinds, QStringList({Q("CREATE Table"), Q("CREATE Check"), Q("CREATE Index"), Q("CREATE Relation"),
                                  Q("CREATE Trigger")}));
    EXPECT_TRUE(scripts[0]->GetSQL(0).contains(Q("CONSTRAINT [DF_Orders_Customer] DEFAULT (0)")));
}
