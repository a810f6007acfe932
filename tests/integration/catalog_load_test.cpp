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
// its plain name, as the tables do. An excluded table that references an included one (Orders
// references Customers) is still loaded in detail; one related to nothing (Heap) stays out.
TEST(CatalogLoad, FilterSetsDriveTheExclusionLists) {
    FilterSets filters;
    Tovimar_FilterSet* root = filters.Root();
    const struct {
        int Op;
        const char *Name, *Kind;
    } elements[] = {{FilterOpForceExclude, "dbo.Heap", "Tab"}, {FilterOpForceExclude, "dbo.Orders", "Tab"},
                    {FilterOpExclude, "dbo.Get%", "Proc"}};
    int id = 0;
    for (const auto& e : elements) {
        ++id;
        root->Elements.Add(filters.NewFilterElement(id, e.Op, QLatin1String(e.Name), QLatin1String(e.Kind), 0, QString(), true),
                           QStringLiteral("#%1").arg(id));
    }
    const Loaded shop = LoadShop(&filters);
    const Tovimar_Database& db = *shop.Db;
    const TablePtr orders = TableOf(db, "[dbo].[Orders]");
    EXPECT_FALSE(TableOf(db, "[dbo].[Heap]")->ObjectIncluded);
    EXPECT_FALSE(orders->ObjectIncluded);
    EXPECT_EQ(db.TableExcludeIDs, QString::number(TableOf(db, "[dbo].[Heap]")->ObjectID));
    EXPECT_EQ(TableOf(db, "[dbo].[Heap]")->Fields.Count(), 0);
    EXPECT_EQ(orders->Fields.Count(), 3);
    EXPECT_EQ(orders->Indexes.Count(), 2);
    EXPECT_EQ(orders->Relations.Count(), 1);
    EXPECT_EQ(db.Procedures.Count(), 0);  // excluded before its definition was read
    EXPECT_EQ(db.Triggers.Count(), 0);  // Orders' trigger stays out with its table
    EXPECT_EQ(TableOf(db, "[dbo].[Customers]")->Fields.Count(), 4);
}

// The loader queues the queries that follow the columns, so that the server answers them while it
// reads the columns: the model is the one the queries asked one by one give, and no query is sent
// twice or in vain (the shop's full-text table asks for its properties in between).
TEST(CatalogLoad, QueriesRunAheadGiveTheModelOfQueriesAskedOneByOne) {
    class OneByOne : public RecordingSimConnection {
    public:
        using RecordingSimConnection::RecordingSimConnection;

    protected:
        bool RunsQueriesAhead() const override { return false; }
    };
    auto server = ServerWith(Scenario("shop.sql"));
    Tovimar_Database ahead, oneByOne;
    auto aheadConnection = std::make_shared<RecordingSimConnection>(server, QStringLiteral("shop"));
    auto oneByOneConnection = std::make_shared<OneByOne>(server, QStringLiteral("shop"));
    LoadDatabase(ahead, aheadConnection);
    LoadDatabase(oneByOne, oneByOneConnection);
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(ahead, progress));
    ASSERT_TRUE(LoadDBObjects(oneByOne, progress));
    EXPECT_EQ(SchemaFileText(ahead), SchemaFileText(oneByOne));
    QStringList sent = aheadConnection->Sent, expected = oneByOneConnection->Sent;
    sent.sort();
    expected.sort();
    EXPECT_EQ(sent, expected);
    EXPECT_TRUE(expected.contains(CatalogQueries::FullTextTableProperties(TableOf(oneByOne, "[dbo].[Customers]")->ObjectID)));
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

// The fingerprint the real catalog queries give is the same from load to load, so the snapshot
// stands in for the catalog (three queries only); a change of the schema changes it.
TEST_F(CatalogLoadCache, FingerprintChangesWithTheSchemaAndAMatchingSnapshotIsUsed) {
    auto server = ServerWith(Scenario("shop.sql"));
    // Loads shop, writing or reading the snapshot; gives the version and the number of queries.
    auto load = [&](bool create, Tovimar_Database& db) {
        RecordingProgress progress;
        auto connection = std::make_shared<RecordingSimConnection>(server, QStringLiteral("shop"));
        LoadDatabase(db, connection);
        db.CreateCache = create;
        db.UseCache = !create;
        EXPECT_TRUE(LoadDBObjects(db, progress));
        return connection->Sent;
    };
    Tovimar_Database writer, unchanged, changed;
    load(true, writer);
    const QStringList sent = load(false, unchanged);
    EXPECT_EQ(sent.size(), 3);
    EXPECT_EQ(sent.last(), CatalogQueries::Fingerprint());
    EXPECT_EQ(unchanged.Tables.Count(), 3);
    EXPECT_EQ(unchanged.Version, writer.Version);
    RunScript(*server, QStringLiteral("shop"), QStringLiteral("CREATE INDEX IX_Heap_ID ON dbo.Heap (ID)\n"));
    EXPECT_GT(load(false, changed).size(), 3);
    EXPECT_NE(changed.Version, writer.Version);
    EXPECT_EQ(TableOf(changed, "[dbo].[Heap]")->Indexes.Count(), 1);
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
