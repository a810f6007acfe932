#include "schema/model.h"

#include <gtest/gtest.h>

namespace {

TablePtr MakeTable(Tovimar_Database& db, const QString& owner, const QString& name) {
    auto table = std::make_shared<Tovimar_Table>();
    table->Owner = owner;
    table->Name = name;
    table->SetDatabase(&db);
    db.Tables.Add(table, table->FullName());
    return table;
}

FieldPtr AddColumn(Tovimar_Table& table, const QString& name, int colId) {
    auto field = std::make_shared<Tovimar_Field>();
    field->Name = name;
    field->ColID = colId;
    field->DataType = QStringLiteral("int");
    table.AddField(field);
    return field;
}

// A filter that excludes every name starting with a given prefix and reports fixed flags.
class PrefixFilter : public ObjectFilter {
public:
    QString ExcludedPrefix;
    long Flags = 0;
    QStringList Extras;
    QStringList Asked;
    bool IsObjectIncluded(const QString& code, const QString& fullName, int parts, const QString&,
                          long& flags, QStringList& extras) override {
        Asked << code + QLatin1Char(':') + fullName + QLatin1Char(':') + QString::number(parts);
        flags = Flags;
        extras = Extras;
        return !fullName.startsWith(ExcludedPrefix);
    }
};

}  // namespace

TEST(ModelTest, FullNamesQuoteEveryPartAndTagStringsUseCode1) {
    Tovimar_Database db;
    db.Server = QStringLiteral("srv");
    db.Name = QStringLiteral("Northwind");
    auto table = MakeTable(db, QStringLiteral("dbo"), QStringLiteral("Order Details"));
    auto odd = MakeTable(db, QStringLiteral("dbo"), QStringLiteral("a]b"));
    auto field = AddColumn(*table, QStringLiteral("OrderID"), 1);
    auto index = std::make_shared<Tovimar_Index>();
    index->Name = QStringLiteral("PK_Order_Details");
    index->Table = table.get();
    auto catalog = std::make_shared<Tovimar_Catalog>();
    catalog->Name = QStringLiteral("Cat 1");
    auto perm = std::make_shared<Tovimar_Permission>();
    perm->SecObject = table.get();
    perm->Grantee = QStringLiteral("public");

    EXPECT_EQ(db.FullName(), QStringLiteral("srv#Northwind"));
    EXPECT_EQ(table->FullName(), QStringLiteral("[dbo].[Order Details]"));
    EXPECT_EQ(odd->FullName(), QStringLiteral("[dbo].[a]]b]"));
    EXPECT_EQ(field->FullName(false), QStringLiteral("[OrderID]"));
    EXPECT_EQ(field->FullName(true), QStringLiteral("[dbo].[Order Details].[OrderID]"));
    EXPECT_EQ(index->FullName(true), QStringLiteral("[dbo].[Order Details].[PK_Order_Details]"));
    EXPECT_EQ(catalog->FullName(), QStringLiteral("Cat 1"));
    EXPECT_EQ(perm->FullName(), QStringLiteral("[dbo].[Order Details].[public]"));
    EXPECT_EQ(table->GetTagString(), QStringLiteral("Table\x01[dbo].[Order Details]"));
    EXPECT_EQ(field->GetTagString(), QStringLiteral("Column\x01[OrderID]\x01[dbo].[Order Details]"));
    EXPECT_EQ(table->Fields.Item(QStringLiteral("[orderid]")), field);
    EXPECT_EQ(table->FieldsByColID.Item(QStringLiteral("#1")), field);
}

TEST(ModelTest, CounterpartLinkIsSymmetricAndReleasesPreviousPartners) {
    Tovimar_Database db1, db2;
    auto a = MakeTable(db1, QStringLiteral("dbo"), QStringLiteral("A"));
    auto b = MakeTable(db2, QStringLiteral("dbo"), QStringLiteral("B"));
    auto c = MakeTable(db2, QStringLiteral("dbo"), QStringLiteral("C"));
    auto d = MakeTable(db1, QStringLiteral("dbo"), QStringLiteral("D"));

    d->SetOtherObj(b.get());
    c->SetOtherObj(a.get());
    a->SetOtherObj(b.get());  // b was linked to d, a to c
    EXPECT_EQ(a->OtherObj(), b.get());
    EXPECT_EQ(b->OtherObj(), a.get());
    EXPECT_EQ(c->OtherObj(), nullptr);
    EXPECT_EQ(d->OtherObj(), nullptr);

    Tovimar_Database::SetLink(d.get(), c.get());
    Tovimar_Database::ClearLink(a.get());
    EXPECT_EQ(b->OtherObj(), nullptr);
    EXPECT_EQ(d->OtherObj(), c.get());
    EXPECT_EQ(c->OtherObj(), d.get());

    db1.SetOtherObj(&db2);
    EXPECT_EQ(db2.OtherObj(), &db1);
}

TEST(ModelTest, EndingADatabaseLeavesNoDanglingPointer) {
    TablePtr survivor;
    FieldPtr column;
    auto db2 = std::make_unique<Tovimar_Database>();
    auto other = MakeTable(*db2, QStringLiteral("dbo"), QStringLiteral("T"));
    {
        Tovimar_Database db1;
        db1.SetOtherObj(db2.get());
        survivor = MakeTable(db1, QStringLiteral("dbo"), QStringLiteral("T"));
        column = AddColumn(*survivor, QStringLiteral("c"), 1);
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
    auto t3 = MakeTable(*db3, QStringLiteral("dbo"), QStringLiteral("T"));
    other->SetOtherObj(t3.get());
    db3.reset();
    t3.reset();
    EXPECT_EQ(other->OtherObj(), nullptr);
}

TEST(ModelTest, ProcedureDefinitionsByNumberKeepOneItemPerNumberInAddOrder) {
    Tovimar_Procedure proc;
    proc.SetDefinition(1, QStringLiteral("one"));
    proc.SetDefinition(2, QStringLiteral("two"));
    proc.SetDefinition(1, QStringLiteral("one again"));
    EXPECT_EQ(proc.DefinitionCount(), 2);
    EXPECT_EQ(proc.DefinitionsNumbers(), (QList<int>{2, 1}));
    EXPECT_EQ(proc.Definition(1), QStringLiteral("one again"));
    EXPECT_EQ(proc.Definition(3), QString());
}

TEST(ModelTest, ColumnDefinitionTextListsEveryProperty) {
    Tovimar_Table table;
    auto field = std::make_shared<Tovimar_Field>();
    field->Name = QStringLiteral("Price");
    field->DataType = QStringLiteral("decimal");
    field->DataPrecision = 18;
    field->DataDecimals = 2;
    field->Identity = true;
    table.AddField(field);
    auto def = std::make_shared<Tovimar_Default>();
    def->Value = QStringLiteral("(0)");
    field->Default = def.get();
    EXPECT_EQ(field->DataTypeText(true), QStringLiteral("[decimal](18, 2)"));
    EXPECT_EQ(field->DefinitionText(), QStringLiteral("decimal(18, 2)  NOT NULL  IDENTITY  DEFAULT (0)"));
    field->CanBeNull = true;
    field->Formula = QStringLiteral("([a] + 1)");
    field->Default = nullptr;
    field->Identity = false;
    EXPECT_EQ(field->DefinitionText(), QStringLiteral("decimal(18, 2)  NULL  COMPUTED"));
}

TEST(ModelTest, FilterVerdictSetsTableOptionsAndExcludeList) {
    Tovimar_Database db;
    PrefixFilter filter;
    db.Filter = &filter;
    filter.ExcludedPrefix = QStringLiteral("[dbo].[tmp");
    filter.Flags = 1 | 16;
    filter.Extras = QStringList{QStringLiteral("copy-a"), QStringLiteral("copy-b")};

    auto kept = MakeTable(db, QStringLiteral("dbo"), QStringLiteral("Orders"));
    kept->ObjectID = 7;
    kept->CalcObjectIncluded();
    auto dropped = MakeTable(db, QStringLiteral("dbo"), QStringLiteral("tmpX"));
    dropped->ObjectID = 9;
    dropped->CalcObjectIncluded();
    EXPECT_TRUE(kept->ObjectIncluded);
    EXPECT_FALSE(kept->CollationsIncluded);
    EXPECT_TRUE(kept->FileGroupsIncluded);
    ASSERT_EQ(kept->DataCopyDefs.Count(), 2);
    EXPECT_EQ(kept->DataCopyDefs[1], QStringLiteral("copy-b"));
    EXPECT_FALSE(dropped->ObjectIncluded);
    EXPECT_EQ(db.TableExcludeIDs, QStringLiteral(",9"));

    // While a cache is being created nothing is excluded from loading.
    db.CreateCache = true;
    dropped->CalcObjectIncluded();
    EXPECT_EQ(db.TableExcludeIDs, QStringLiteral(",9"));

    // A trigger asks for its table ("ta", 2 parts) and for itself ("tr", 3 parts).
    auto trigger = std::make_shared<Tovimar_Trigger>();
    trigger->Name = QStringLiteral("trg");
    trigger->Table = dropped.get();
    filter.Asked.clear();
    trigger->CalcObjectIncluded();
    EXPECT_FALSE(trigger->ObjectIncluded);
    EXPECT_EQ(filter.Asked, QStringList{QStringLiteral("ta:[dbo].[tmpX]:2")});
    trigger->Table = kept.get();
    filter.Asked.clear();
    trigger->CalcObjectIncluded();
    EXPECT_TRUE(trigger->ObjectIncluded);
    EXPECT_EQ(filter.Asked.last(), QStringLiteral("tr:[dbo].[Orders].[trg]:3"));
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
        for (int i = 0; i < 64; ++i) keys.Add(i, QStringLiteral("[x].[%1]").arg(i));
        keys.Add(-1, stored);
        EXPECT_EQ(keys.Contains(asked), c.Found) << asked.toStdString();
        EXPECT_EQ(keys.IndexOf(asked), c.Found ? 64 : -1) << asked.toStdString();
        if (c.Found) {
            EXPECT_THROW(keys.Add(-2, asked), TovimarException) << asked.toStdString();
        }
    }
}
