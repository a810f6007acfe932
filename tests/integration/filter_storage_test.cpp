#include "filters/filter_storage.h"
#include "main/sim_database.h"
#include "platform/db/db_connection.h"
#include "platform/progress.h"
#include "support/qt_print.h"
#include "support/test_files.h"

namespace {

// A filter database on a fresh simulated server, with the two tables.
class FilterDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        NullProgress progress;
        QString database;
        connection_ = ConnectScriptDatabase({WriteFile(dir_, QStringLiteral("Filters.sql"), "SELECT 1\r\n")}, database, progress);
        ASSERT_TRUE(connection_);
        storage_ = std::make_unique<FilterStorage>(connection_);
        storage_->CreateTables();
    }

    int Insert(const QString& path, const QString& name) {
        auto cursor = connection_->RunQuery(
            QStringLiteral("INSERT INTO _TovimarFilterSet (FilterSet_Path, FilterSet_Name) VALUES ('%1', '%2')\r\n"
                           "SELECT @@IDENTITY AS ID").arg(path, name));
        return static_cast<int>(cursor->Value(QStringLiteral("ID")).ToInt());
    }
    QStringList Keys() {
        QStringList keys;
        for (const FilterSetRow& row : storage_->LoadSetRows(QStringLiteral("."))) keys << row.Key();
        return keys;
    }
    int ElementCount() {
        return static_cast<int>(connection_->RunQuery(QStringLiteral("SELECT COUNT(*) AS N FROM _TovimarFilterElement"))
                                    ->Value(QStringLiteral("N")).ToInt());
    }

    QTemporaryDir dir_;
    std::shared_ptr<DbConnection> connection_;
    std::unique_ptr<FilterStorage> storage_;
};

Tovimar_FilterElement Element(const QString& name) {
    Tovimar_FilterElement element;
    element.Init(0, FilterOpInclude, name, QStringLiteral("Tab"), FilterCopyData, QStringLiteral("Notes\r\nID > 5"));
    return element;
}

}  // namespace

TEST(FilterStorageText, KeyPatternsEscapeLikeWildcardsAndQuotes) {
    EXPECT_EQ(KeyPrefixPattern(QStringLiteral(".A_B.")), QStringLiteral("'.A[_]B.%'"));
    EXPECT_EQ(KeyPrefixPattern(QStringLiteral(".50%.[x]'.")), QStringLiteral("'.50[%].[[]x]''.%'"));
    EXPECT_EQ(RenamedKey(QStringLiteral(".A.B."), QStringLiteral("C")), QStringLiteral(".A.C."));
    EXPECT_EQ(ParentFilterSetKey(QStringLiteral(".A.")), QStringLiteral("."));
    EXPECT_EQ(ParentFilterSetKey(QStringLiteral(".")), QString());
    EXPECT_EQ(CheckFilterSetName(QStringLiteral("  ")), QStringLiteral("Filter Set name must not be empty!"));
    EXPECT_EQ(CheckFilterSetName(QStringLiteral("a.b")), QStringLiteral("Filter Set name must not contain any '.' characters!"));
}

// Set names holding "_" or "%" touch only their own rows when renamed or deleted.
TEST_F(FilterDatabase, RenameAndDeleteTouchOnlyTheSetAndItsDescendants) {
    const int ab = Insert(QStringLiteral("."), QStringLiteral("A_B"));
    Insert(QStringLiteral(".A_B."), QStringLiteral("Child"));
    const int grandChild = Insert(QStringLiteral(".A_B.Child."), QStringLiteral("Leaf"));
    Insert(QStringLiteral("."), QStringLiteral("AxB"));
    const int axbChild = Insert(QStringLiteral(".AxB."), QStringLiteral("Kept"));
    const int fifty = Insert(QStringLiteral("."), QStringLiteral("50%"));
    Insert(QStringLiteral("."), QStringLiteral("50x"));
    const int fiftyxChild = Insert(QStringLiteral(".50x."), QStringLiteral("Kept"));
    storage_->SaveElement(grandChild, 0, Element(QStringLiteral("dbo.%")));
    storage_->SaveElement(axbChild, 0, Element(QStringLiteral("dbo.Kept")));
    storage_->SaveElement(fiftyxChild, 0, Element(QStringLiteral("dbo.Kept")));

    storage_->RenameSet(ab, QStringLiteral(".A_B."), QStringLiteral(" C "));
    EXPECT_EQ(Keys(), (QStringList{QStringLiteral(".50%."), QStringLiteral(".50x."), QStringLiteral(".AxB."),
                                   QStringLiteral(".C."), QStringLiteral(".50x.Kept."), QStringLiteral(".AxB.Kept."),
                                   QStringLiteral(".C.Child."), QStringLiteral(".C.Child.Leaf.")}));

    storage_->DeleteSet(fifty, QStringLiteral(".50%."));
    storage_->DeleteSet(ab, QStringLiteral(".C."));
    EXPECT_EQ(Keys(), (QStringList{QStringLiteral(".50x."), QStringLiteral(".AxB."), QStringLiteral(".50x.Kept."),
                                   QStringLiteral(".AxB.Kept.")}));
    EXPECT_EQ(ElementCount(), 2);
}

TEST_F(FilterDatabase, SetsAndElementsRoundTripAndLoadForApplyMode) {
    const int first = storage_->AddSet(QStringLiteral("."));
    const int second = storage_->AddSet(QStringLiteral("."));
    EXPECT_NE(first, second);
    const int child = storage_->AddSet(QStringLiteral(".New Set."));
    EXPECT_EQ(Keys(), (QStringList{QStringLiteral(".New Set."), QStringLiteral(".New Set1."), QStringLiteral(".New Set.New Set.")}));
    int id = storage_->SaveElement(child, 0, Element(QStringLiteral("dbo.O'Brien")));
    Tovimar_FilterElement changed = Element(QStringLiteral("dbo.Orders"));
    changed.FilterOp = FilterOpExclude;
    changed.FilterFlags = 0;
    changed.FilterExtra.clear();
    EXPECT_EQ(storage_->SaveElement(child, id, changed), id);
    const QList<Tovimar_FilterElement> elements = storage_->LoadElements(child);
    ASSERT_EQ(elements.size(), 1);
    EXPECT_EQ(elements[0].ObjectName, QStringLiteral("dbo.Orders"));
    EXPECT_EQ(elements[0].FilterOp, FilterOpExclude);
    EXPECT_EQ(elements[0].FilterExtra, QString());

    FilterSets sets;
    storage_->LoadAll(sets);
    Tovimar_FilterSet* parent = sets.GetFilterSet(QStringLiteral(".New Set."), QString());
    ASSERT_TRUE(parent);
    ASSERT_EQ(parent->SubSets.Count(), 1);
    EXPECT_EQ(parent->SubSets[0]->Elements.Count(), 1);
    EXPECT_EQ(sets.Root()->SubSets.Count(), 2);

    // Check rules: an element checks its set and the ancestors, not its siblings; clearing a
    // set clears what lies below it.
    EXPECT_EQ(SetFilterElementChecked(sets, id, true), QStringLiteral(".New Set.New Set."));
    EXPECT_TRUE(parent->Checked);
    EXPECT_TRUE(parent->SubSets[0]->Checked);
    SetFilterSetChecked(sets, QStringLiteral("."), false);
    EXPECT_FALSE(parent->Checked);
    EXPECT_FALSE(sets.Elements().Item(QStringLiteral("#") + QString::number(id))->Checked);
    SetFilterSetChecked(sets, QStringLiteral(".New Set.New Set."), true);
    EXPECT_TRUE(sets.Root()->Checked);
    EXPECT_TRUE(sets.Root()->Elements[0]->Checked);

    storage_->DeleteElement(id);
    EXPECT_EQ(ElementCount(), 0);
}
