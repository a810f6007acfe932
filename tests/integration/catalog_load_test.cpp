// The catalog loader end to end: scripts run on the simulated server, the schema read back
// through the real queries, the model checked.
#include "support/golden_text.h"
#include "support/recording_progress.h"
#include "filters/filter_model.h"
#include "main/sim_database.h"
#include "platform/app_paths.h"
#include "platform/db/sim_connection.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "schema/catalog_loader.h"
#include "schema/catalog_queries.h"
#include "schema/snapshot_file.h"
#include "support/sim_server.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString ReadScript(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? DecodeScript(file.readAll()) : QString();
}

QString Scenario(const char* name) {
    return ReadScript(QStringLiteral(TOVIMAR_TEST_DATA_DIR "/integration/scenarios/") + QLatin1String(name));
}

// A connection that remembers the queries it was sent.
class RecordingSimConnection : public SimConnection {
public:
    using SimConnection::SimConnection;
    QStringList Sent;

protected:
    DbBatchOutcome RunBatch(const QString& sql) override {
        Sent.append(sql);
        return SimConnection::RunBatch(sql);
    }
};

class NameFilter : public ObjectFilter {
public:
    QStringList Rejected;  // "code:fullName"
    bool IsObjectIncluded(const QString& typeCode, const QString& fullName, int, const QString&, long& flags,
                          QStringList& extras) override {
        flags = 0;
        extras.clear();
        return !Rejected.contains(typeCode + QLatin1Char(':') + fullName, Qt::CaseInsensitive);
    }
};

struct Loaded {
    std::shared_ptr<sqlsim::Server> Server;
    std::shared_ptr<RecordingSimConnection> Connection;
    std::unique_ptr<Tovimar_Database> Db = std::make_unique<Tovimar_Database>();
};

// Connects to the database and loads it.
Loaded Load(std::shared_ptr<sqlsim::Server> server, const QString& database, Progress& progress,
            ObjectFilter* filter = nullptr) {
    Loaded loaded;
    loaded.Server = server;
    loaded.Connection = std::make_shared<RecordingSimConnection>(server, database);
    LoadDatabase(*loaded.Db, loaded.Connection);
    loaded.Db->Filter = filter;
    EXPECT_TRUE(LoadDBObjects(*loaded.Db, progress));
    return loaded;
}

Loaded LoadShop(ObjectFilter* filter = nullptr) {
    RecordingProgress progress;
    return Load(ServerWith(Scenario("shop.sql")), QStringLiteral("shop"), progress, filter);
}

// The table under key; a missing one is a failure and reads as an empty table.
TablePtr TableOf(const Tovimar_Database& db, const char* key) {
    const TablePtr table = db.Tables.Item(QLatin1String(key));
    if (table) return table;
    ADD_FAILURE() << "no table " << key;
    return std::make_shared<Tovimar_Table>();
}

// The column under key; a missing one is a failure and reads as an empty column.
FieldPtr FieldOf(const TablePtr& table, const char* key) {
    const FieldPtr field = table->Fields.Item(QLatin1String(key));
    if (field) return field;
    ADD_FAILURE() << "no column " << key << " in " << table->Name.toStdString();
    return std::make_shared<Tovimar_Field>();
}

// The shop read back through the catalog queries, recorded as the snapshot writes the model:
// columns with identity, types and collations, clustered and plain keys with their column
// order, relations, defaults, checks, the trigger, the numbered procedure group, column
// permissions decoded from their bitmaps, file groups and the full-text index. The creation
// times in the fingerprint change from run to run and are left out.
TEST(CatalogLoad, ShopModelAsTheSnapshotRecordsIt) {
    const Loaded shop = LoadShop();
    Tovimar_Database& db = *shop.Db;
    EXPECT_EQ(db.GroupName(db.DefaultFileGroupID), QStringLiteral("PRIMARY"));
    // The links the snapshot holds only as names.
    const TablePtr orders = TableOf(db, "[dbo].[Orders]");
    const RelationPtr fk = db.Relations.Item(QStringLiteral("[dbo].[Orders].[FK_Orders_Customers]"));
    ASSERT_TRUE(fk);
    EXPECT_EQ(fk->PrimaryTable, TableOf(db, "[dbo].[Customers]").get());
    EXPECT_EQ(FieldOf(orders, "[Total]")->Default, orders->Defaults.Item(QStringLiteral("[DF_Orders_Total]")).get());
    db.Version.clear();
    ExpectGolden(QStringLiteral("catalog_shop"), SchemaFileText(db), QStringLiteral("expected.schema"));
}

TEST(CatalogLoad, ExcludedTableReferencingAnIncludedOneIsLoadedInDetail) {
    NameFilter filter;
    filter.Rejected = {QStringLiteral("ta:[dbo].[Orders]"), QStringLiteral("ta:[dbo].[Heap]")};
    const Loaded shop = LoadShop(&filter);
    const Tovimar_Database& db = *shop.Db;
    const TablePtr orders = db.Tables.Item(QStringLiteral("[dbo].[Orders]"));
    const TablePtr heap = db.Tables.Item(QStringLiteral("[dbo].[Heap]"));
    ASSERT_TRUE(orders && heap);
    EXPECT_FALSE(orders->ObjectIncluded);
    EXPECT_EQ(db.TableExcludeIDs, QString::number(heap->ObjectID));
    EXPECT_EQ(orders->Fields.Count(), 3);
    EXPECT_EQ(orders->Indexes.Count(), 2);
    EXPECT_EQ(orders->Relations.Count(), 1);
    EXPECT_EQ(heap->Fields.Count(), 0);  // related to nothing: stays out
}

TEST(CatalogLoad, RolesFunctionsAndComputedColumns) {
    const QString script = QStringLiteral(
        "CREATE DATABASE misc\nGO\nUSE misc\nGO\n"
        "EXEC sp_addrole 'Readers'\nEXEC sp_addrole 'Nobody'\nEXEC sp_addlogin 'alice', 'pw'\n"
        "EXEC sp_adduser 'alice'\nEXEC sp_addrolemember 'Readers', 'alice'\nGO\n"
        "CREATE TABLE dbo.Line (Qty int NOT NULL, Price money NOT NULL, Total AS (Qty * Price))\nGO\n"
        "CREATE FUNCTION dbo.Twice (@x int) RETURNS int AS BEGIN RETURN @x * 2 END\nGO\n");
    RecordingProgress progress;
    const Loaded loaded = Load(ServerWith(script), QStringLiteral("misc"), progress);
    // The roles with their members (the fixed database roles have no sid and stay out), the
    // function with its settings (ANSI_NULLS and QUOTED_IDENTIFIER were on: 24), the formula of
    // the computed column only.
    loaded.Db->Version.clear();
    ExpectGolden(QStringLiteral("catalog_misc"), SchemaFileText(*loaded.Db), QStringLiteral("expected.schema"));
}

// The filter layer's own sets drive the exclusion lists: the pre-queries hand it the owner by
// its plain name, as the tables do.
TEST(CatalogLoad, FilterSetsDriveTheExclusionLists) {
    FilterSets filters;
    Tovimar_FilterSet* root = filters.Root();
    root->Elements.Add(filters.NewFilterElement(1, FilterOpForceExclude, QStringLiteral("dbo.Heap"), QStringLiteral("Tab"),
                                                0, QString(), true),
                       QStringLiteral("#1"));
    root->Elements.Add(filters.NewFilterElement(2, FilterOpExclude, QStringLiteral("dbo.Get%"), QStringLiteral("Proc"),
                                                0, QString(), true),
                       QStringLiteral("#2"));
    const Loaded shop = LoadShop(&filters);
    const Tovimar_Database& db = *shop.Db;
    EXPECT_FALSE(TableOf(db, "[dbo].[Heap]")->ObjectIncluded);
    EXPECT_TRUE(TableOf(db, "[dbo].[Orders]")->ObjectIncluded);
    EXPECT_EQ(db.TableExcludeIDs, QString::number(TableOf(db, "[dbo].[Heap]")->ObjectID));
    EXPECT_EQ(TableOf(db, "[dbo].[Heap]")->Fields.Count(), 0);
    EXPECT_EQ(db.Procedures.Count(), 0);  // excluded before its definition was read
    EXPECT_EQ(db.Triggers.Count(), 1);
    EXPECT_EQ(TableOf(db, "[dbo].[Customers]")->Fields.Count(), 4);
}

class CatalogLoadCache : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        SetAppDataRootForTesting(folder_.path());
    }
    void TearDown() override { SetAppDataRootForTesting(QString()); }
    QTemporaryDir folder_;
};

TEST_F(CatalogLoadCache, FingerprintChangesWithTheSchemaAndAMatchingSnapshotIsUsed) {
    auto server = ServerWith(Scenario("shop.sql"));
    QString first;
    {
        RecordingProgress progress;
        Loaded writer;
        writer.Connection = std::make_shared<RecordingSimConnection>(server, QStringLiteral("shop"));
        LoadDatabase(*writer.Db, writer.Connection);
        writer.Db->CreateCache = true;
        ASSERT_TRUE(LoadDBObjects(*writer.Db, progress));
        first = writer.Db->Version;
        EXPECT_TRUE(first.startsWith(QStringLiteral("10;")));
        EXPECT_GT(first.size(), 3);
        EXPECT_TRUE(QFile::exists(GetCacheFilePath(*writer.Db)));
    }
    {
        // Unchanged schema: the snapshot stands in for the catalog.
        RecordingProgress progress;
        auto connection = std::make_shared<RecordingSimConnection>(server, QStringLiteral("shop"));
        Tovimar_Database db;
        LoadDatabase(db, connection);
        db.UseCache = true;
        ASSERT_TRUE(LoadDBObjects(db, progress));
        EXPECT_EQ(connection->Sent.size(), 3);
        EXPECT_EQ(connection->Sent.last(), CatalogQueries::Fingerprint());
        EXPECT_EQ(db.Tables.Count(), 3);
        EXPECT_EQ(db.Version, first);
    }
    RunScript(*server, QStringLiteral("shop"), QStringLiteral("CREATE INDEX IX_Heap_ID ON dbo.Heap (ID)\n"));
    {
        RecordingProgress progress;
        auto connection = std::make_shared<RecordingSimConnection>(server, QStringLiteral("shop"));
        Tovimar_Database db;
        LoadDatabase(db, connection);
        db.UseCache = true;
        ASSERT_TRUE(LoadDBObjects(db, progress));
        EXPECT_NE(db.Version, first);
        EXPECT_GT(connection->Sent.size(), 3);
        EXPECT_EQ(TableOf(db, "[dbo].[Heap]")->Indexes.Count(), 1);
    }
}

// ---- The sample databases ------------------------------------------------------------------

struct SampleCounts {
    qsizetype Tables, Views, Procedures, Functions, Triggers, PrimaryKeys, Relations, Checks, Defaults, Indexes,
        Identities;
};

void ExpectSample(const char* file, const char* database, const SampleCounts& expected) {
    const QString path = QStringLiteral(TOVIMAR_SAMPLES_DIR "/") + QLatin1String(file);
    if (!QFile::exists(path)) GTEST_SKIP() << "sample scripts not found at " << TOVIMAR_SAMPLES_DIR;
    RecordingProgress progress;
    const Loaded loaded = Load(ServerWith(ReadScript(path)), QLatin1String(database), progress);
    const Tovimar_Database& db = *loaded.Db;
    qsizetype primaryKeys = 0, identities = 0;
    for (const TablePtr& table : db.Tables) {
        if (table->PrimaryKey) ++primaryKeys;
        for (const FieldPtr& field : table->Fields)
            if (field->Identity) ++identities;
    }
    EXPECT_EQ(db.Tables.Count(), expected.Tables);
    EXPECT_EQ(db.Views.Count(), expected.Views);
    EXPECT_EQ(db.Procedures.Count(), expected.Procedures);
    EXPECT_EQ(db.Functions.Count(), expected.Functions);
    EXPECT_EQ(db.Triggers.Count(), expected.Triggers);
    EXPECT_EQ(primaryKeys, expected.PrimaryKeys);
    EXPECT_EQ(db.Relations.Count(), expected.Relations);
    EXPECT_EQ(db.Checks.Count(), expected.Checks);
    EXPECT_EQ(db.Defaults.Count(), expected.Defaults);
    EXPECT_EQ(db.Indexes.Count(), expected.Indexes);
    EXPECT_EQ(identities, expected.Identities);
    EXPECT_EQ(db.Roles.Count(), 0);
    EXPECT_EQ(db.Permissions.Count(), 0);
}

TEST(CatalogLoadSamples, Northwind) {
    // 13 primary keys and 26 plain indexes.
    ExpectSample("instnwnd.sql", "Northwind", {13, 16, 7, 0, 0, 13, 13, 8, 9, 39, 6});
}

TEST(CatalogLoadSamples, Pubs) {
    // 9 primary keys and 7 plain indexes; roysched and discounts have no key.
    ExpectSample("instpubs.sql", "pubs", {11, 1, 4, 0, 1, 9, 10, 6, 9, 16, 1});
}

}  // namespace
