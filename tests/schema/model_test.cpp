#include "catalog_test_support.h"
#include "schema/model.h"

#include <gtest/gtest.h>

namespace {

FieldPtr AddColumn(Tovimar_Table& table, const QString& name, int colId) {
    auto field = std::make_shared<Tovimar_Field>();
    field->Name = name;
    field->ColID = colId;
    field->DataType = Q("int");
    table.AddField(field);
    return field;
}

}  // namespace

// Full names quote every part (the golden files and the comparison tests show them for every kind
// of object); tag strings join the kind and the names with code 1.
TEST(ModelTest, FullNamesQuoteEveryPartAndTagStringsUseCode1) {
    Tovimar_Database db;
    auto table = AddTable(db, Q("dbo"), Q("Order Details"));
    auto field = AddColumn(*table, Q("OrderID"), 1);
    EXPECT_EQ(AddTable(db, Q("dbo"), Q("a]b"))->FullName(), Q("[dbo].[a]]b]"));
    EXPECT_EQ(table->GetTagString(), Q("Table\x01[dbo].[Order Details]"));
    EXPECT_EQ(field->GetTagString(), Q("Column\x01[OrderID]\x01[dbo].[Order Details]"));
    // With the table: its full name, a dot and the quoted name, also where a part is empty.
    const struct {
        const char* owner;
        const char* table;
        const char* name;
        const char* full;
    } withTable[] = {{"dbo", "Order Details", "OrderID", "[dbo].[Order Details].[OrderID]"},
                     {"", "a]b", "c]", "[].[a]]b].[c]]]"},
                     {"dbo", "", "x", "[dbo].[x]"},
                     {"dbo", "t", "", "[dbo].[t].[]"}};
    for (const auto& c : withTable) {
        Tovimar_Database tables;
        auto owner = AddTable(tables, Q(c.owner), Q(c.table));
        Tovimar_Index index;
        index.Name = Q(c.name);
        index.Table = owner.get();
        EXPECT_EQ(index.FullName(true), Q(c.full));
        EXPECT_EQ(AddColumn(*owner, Q(c.name), 1)->FullName(true), Q(c.full));
    }
}

TEST(ModelTest, EndingADatabaseLeavesNoDanglingPointer) {
    TablePtr survivor;
    FieldPtr column;
    auto db2 = std::make_unique<Tovimar_Database>();
    auto other = AddTable(*db2, Q("dbo"), Q("T"));
    {
        Tovimar_Database db1;
        db1.SetOtherObj(db2.get());
        survivor = AddTable(db1, Q("dbo"), Q("T"));
        column = AddColumn(*survivor, Q("c"), 1);
        survivor->SetOtherObj(other.get());
        EXPECT_EQ(survivor->Database(), &db1);
    }
    // The database ended while a table and a column of it are still held.
    EXPECT_EQ(survivor->Database(), nullptr);
    EXPECT_EQ(column->Parent, nullptr);
    EXPECT_EQ(column->Database(), nullptr);
    EXPECT_EQ(other->OtherObj(), nullptr);
    EXPECT_EQ(db2->OtherObj(), nullptr);

    // An object that ends releases its counterpart too.
    auto db3 = std::make_unique<Tovimar_Database>();
    auto t3 = AddTable(*db3, Q("dbo"), Q("T"));
    other->SetOtherObj(t3.get());
    db3.reset();
    t3.reset();
    EXPECT_EQ(other->OtherObj(), nullptr);
}

TEST(ModelTest, ProcedureDefinitionsByNumberKeepOneItemPerNumberInAddOrder) {
    Tovimar_Procedure proc;
    proc.SetDefinition(1, Q("one"));
    proc.SetDefinition(2, Q("two"));
    proc.SetDefinition(1, Q("one again"));
    EXPECT_EQ(proc.DefinitionCount(), 2);
    EXPECT_EQ(proc.DefinitionsNumbers(), (QList<int>{2, 1}));
    EXPECT_EQ(proc.Definition(1), Q("one again"));
    EXPECT_EQ(proc.Definition(3), QString());
}

TEST(ModelTest, ColumnDefinitionTextListsEveryProperty) {
    Tovimar_Table table;
    auto field = std::make_shared<Tovimar_Field>();
    field->Name = Q("Price");
    field->DataType = Q("decimal");
    field->DataPrecision = 18;
    field->DataDecimals = 2;
    field->Identity = true;
    table.AddField(field);
    auto def = std::make_shared<Tovimar_Default>();
    def->Value = Q("(0)");
    field->Default = def.get();
    EXPECT_EQ(field->DataTypeText(true), Q("[decimal](18, 2)"));
    EXPECT_EQ(field->DefinitionText(), Q("decimal(18, 2)  NOT NULL  IDENTITY  DEFAULT (0)"));
    field->CanBeNull = true;
    field->Formula = Q("([a] + 1)");
    field->Default = nullptr;
    field->Identity = false;
    EXPECT_EQ(field->DefinitionText(), Q("decimal(18, 2)  NULL  COMPUTED"));
}

TEST(ModelTest, FilterVerdictSetsTableOptionsAndExcludeList) {
    Tovimar_Database db;
    RejectingFilter filter;
    db.Filter = &filter;
    filter.Rejected = {Q("ta:[dbo].[tmpX]")};
    filter.Flags = 1 | 16;
    filter.Extras = QStringList{Q("copy-a"), Q("copy-b")};

    auto kept = AddTable(db, Q("dbo"), Q("Orders"));
    kept->ObjectID = 7;
    kept->CalcObjectIncluded();
    auto dropped = AddTable(db, Q("dbo"), Q("tmpX"));
    dropped->ObjectID = 9;
    dropped->CalcObjectIncluded();
    EXPECT_TRUE(kept->ObjectIncluded);
    EXPECT_FALSE(kept->CollationsIncluded);
    EXPECT_TRUE(kept->FileGroupsIncluded);
    ASSERT_EQ(kept->DataCopyDefs.Count(), 2);
    EXPECT_EQ(kept->DataCopyDefs[1], Q("copy-b"));
    EXPECT_FALSE(dropped->ObjectIncluded);
    EXPECT_EQ(db.TableExcludeIDs, Q(",9"));

    // While a cache is being created nothing is excluded from loading.
    db.CreateCache = true;
    dropped->CalcObjectIncluded();
    EXPECT_EQ(db.TableExcludeIDs, Q(",9"));

    // A trigger asks for its table ("ta", 2 parts) and for itself ("tr", 3 parts).
    auto trigger = std::make_shared<Tovimar_Trigger>();
    trigger->Name = Q("trg");
    trigger->Table = dropped.get();
    filter.Asked.clear();
    trigger->CalcObjectIncluded();
    EXPECT_FALSE(trigger->ObjectIncluded);
    EXPECT_EQ(filter.Asked, QStringList{Q("ta:[dbo].[tmpX]:2:dbo")});
    trigger->Table = kept.get();
    filter.Asked.clear();
    trigger->CalcObjectIncluded();
    EXPECT_TRUE(trigger->ObjectIncluded);
    EXPECT_EQ(filter.Asked.last(), Q("tr:[dbo].[Orders].[trg]:3:"));
}

// Without a filter the verdicts are made without asking (no names are built): they must be what
// a filter that includes everything with no option flags answers, also for objects a filter
// excluded before.
TEST(ModelTest, WithoutAFilterEveryObjectIsIncludedAsAnAllIncludingFilterAnswers) {
    Tovimar_Database db;
    auto table = AddTable(db, Q("dbo"), Q("T"));
    auto trigger = std::make_shared<Tovimar_Trigger>();
    trigger->Name = Q("trg");
    trigger->Table = table.get();
    auto view = std::make_shared<Tovimar_View>();
    auto procedure = std::make_shared<Tovimar_Procedure>();
    auto function = std::make_shared<Tovimar_Function>();
    auto role = std::make_shared<Tovimar_Role>();
    auto catalog = std::make_shared<Tovimar_Catalog>();
    const QList<Tovimar_DbObject*> coded = {view.get(), procedure.get(), function.get(), role.get(), catalog.get()};
    for (Tovimar_DbObject* object : coded) object->SetDatabase(&db);
    const auto verdicts = [&] {
        table->CalcObjectIncluded();
        trigger->CalcObjectIncluded();
        view->CalcObjectIncluded();
        procedure->CalcObjectIncluded();
        function->CalcObjectIncluded();
        role->CalcObjectIncluded();
        catalog->CalcObjectIncluded();
        QStringList out = {QString::number(table->ObjectIncluded) + QString::number(table->CollationsIncluded) +
                               QString::number(table->FileGroupsIncluded) +
                               QString::number(table->DataCopyDefs.Count()),
                           QString::number(trigger->ObjectIncluded),
                           QString::number(view->CollationsIncluded.value_or(false)), db.TableExcludeIDs};
        for (Tovimar_DbObject* object : coded) out << QString::number(object->ObjectIncluded);
        return out;
    };
    RejectingFilter everything;
    db.Filter = &everything;
    const QStringList asked = verdicts();
    ASSERT_FALSE(everything.Asked.isEmpty());

    RejectingFilter excluding;  // everything out, with every option flag
    excluding.Flags = 1 | 4 | 16;
    excluding.Extras = QStringList{Q("copy")};
    excluding.Rejected = {Q("ta:[dbo].[T]"), Q("tr:[dbo].[T].[trg]"), Q("vi:[]"), Q("pr:[]"), Q("fu:[]"), Q("gr:[]"),
                          Q("ca:[]")};
    db.Filter = &excluding;
    db.CreateCache = true;  // keeps TableExcludeIDs as it was
    EXPECT_NE(verdicts(), asked);
    db.CreateCache = false;

    db.Filter = nullptr;
    EXPECT_EQ(verdicts(), asked);
}

// Object names are keys matched as their case-folded forms, also where a name beyond ASCII
// folds to an ASCII one (the Kelvin sign is "k") or the other way round.
TEST(ModelTest, KeysMatchByCaseFoldingWhateverTheirCharacters) {
    const struct {
        const char16_t* Stored;
        const char16_t* Asked;
        bool Found;
    } cases[] = {
        {u"[dbo].[Orders]", u"[DBO].[oRDERS]", true},
        {u"[dbo].[\u00c4rger]", u"[DBO].[\u00e4RGER]", true},
        {u"[dbo].[\u212aey]", u"[dbo].[KEY]", true},
        {u"[dbo].[key]", u"[dbo].[\u212aEY]", true},
        {u"[dbo].[\u03a3\u03c3]", u"[dbo].[\u03c2\u03a3]", true},
        {u"[dbo].[\u00c4rger]", u"[dbo].[Arger]", false},
        {u"[dbo].[Orders]", u"[dbo].[Orders ]", false},
        {u"[dbo].[ab]", u"[dbo].[a]", false},
    };
    for (const auto& c : cases) {
        const QString stored = QString::fromUtf16(c.Stored);
        const QString asked = QString::fromUtf16(c.Asked);
        Collection<int> keys;
        // Enough keys that a wrong hash would put the two in different buckets.
        for (int i = 0; i < 64; ++i) keys.Add(i, Q("[x].[%1]").arg(i));
        keys.Add(-1, stored);
        EXPECT_EQ(keys.Contains(asked), c.Found) << asked.toStdString();
        EXPECT_EQ(keys.IndexOf(asked), c.Found ? 64 : -1) << asked.toStdString();
        if (c.Found) {
            EXPECT_THROW(keys.Add(-2, asked), TovimarException) << asked.toStdString();
        }
    }
}

// While a table's column ids are their places, columns are found by place without an index; the
// first other id switches to the index. Either way every id finds what a search of Fields finds,
// and an id added twice is refused.
TEST(ModelTest, ColumnsByIdAgreeWithASearchOfTheColumns) {
    const std::vector<std::vector<int>> tables = {
        {1, 2, 3, 4},                                                                  // by place
        {1, 2, 4, 5, 6},                                                               // a gap
        {3, 1, 2},                                                                     // out of order
        {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 40},  // late switch
        {0, 1},                                                                        // no id 1
        {1, 2, 2, 3},                                                                  // a repeat
        {1, 3, 3, 2},
    };
    for (const auto& ids : tables) {
        Tovimar_Table table;
        for (size_t i = 0; i < ids.size(); ++i) {
            bool seen = false;
            for (const FieldPtr& field : table.Fields) seen = seen || field->ColID == ids[i];
            if (seen) {
                EXPECT_THROW(AddColumn(table, Q("C%1").arg(i), ids[i]), TovimarException);
                continue;
            }
            AddColumn(table, Q("C%1").arg(i), ids[i]);
        }
        for (qint64 id = -1; id <= 42; ++id) {
            FieldPtr expected;
            for (const FieldPtr& field : table.Fields)
                if (field->ColID == id) expected = field;
            EXPECT_EQ(table.FieldsByColID.ByID(id), expected) << id;
        }
    }
}
