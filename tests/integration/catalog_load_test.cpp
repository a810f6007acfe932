// The catalog loader end to end: scripts run on the simulated server, the schema read back
// through the real queries, the model checked.
#include "support/golden_text.h"
#include "support/recording_progress.h"
#include "filters/filter_model.h"
#include "main/sim_database.h"
#include "platform/db/sim_connection.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "schema/catalog_loader.h"
#include "schema/catalog_queries.h"
#include "schema/snapshot_file.h"
#include "support/sim_server.h"
#include "support/temp_app_data.h"

#include <QFile>
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

// The shop read back through the catalog queries, recorded as the snapshot writes the model:
// columns with identity, types and collations, clustered and plain keys with their column
// order, relations, defaults, checks, the trigger, the numbered procedure group, column
// permissions decoded from their bitmaps, file groups and the full-text index. The creation
// times in the fingerprint change from run to run and are left out. (The links the snapshot
// holds only as names are the loader's own work, checked on its scripted answers.)
TEST(CatalogLoad, ShopModelAsTheSnapshotRecordsIt) {
    const Loaded shop = LoadShop();
    Tovimar_Database& db = *shop.Db;
    EXPECT_EQ(db.GroupName(db.DefaultFileGroupID), QStringLiteral("PRIMARY"));
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

// A load cancelled at any point leaves no answer run ahead behind: the next load on the same
// connection reads the catalog as it is then (one more index each time), not what the queries
// queued for the cancelled load gave.
TEST(CatalogLoad, ACancelledLoadLeavesNoAnswerForTheNext) {
    auto server = ServerWith(Scenario("shop.sql"));
    auto connection = std::make_shared<RecordingSimConnection>(server, QStringLiteral("shop"));
    int total = 0;
    {
        Tovimar_Database db;
        LoadDatabase(db, connection);
        RecordingProgress progress;
        ASSERT_TRUE(LoadDBObjects(db, progress));
        total = progress.Count;
    }
    ASSERT_GT(total, 20);
    for (int n = 1; n <= total; ++n) {
        Tovimar_Database cancelled, next;
        LoadDatabase(cancelled, connection);
        LoadDatabase(next, connection);
        RecordingProgress stop(n), progress;
        EXPECT_FALSE(LoadDBObjects(cancelled, stop)) << "cancelled at " << n;
        RunScript(*server, QStringLiteral("shop"), QStringLiteral("CREATE INDEX IX_Heap_%1 ON dbo.Heap (ID)\n").arg(n));
        ASSERT_TRUE(LoadDBObjects(next, progress));
        EXPECT_EQ(TableOf(next, "[dbo].[Heap]")->Indexes.Count(), n) << "cancelled at " << n;
    }
}

// The fingerprint the real catalog queries give is the same from load to load, so the snapshot
// stands in for the catalog (three queries only); a change of the schema changes it.
TEST(CatalogLoadCache, FingerprintChangesWithTheSchemaAndAMatchingSnapshotIsUsed) {
    const TempAppData appData;
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

// The objects of each kind the samples' scripts create, as "Kind n" in the order of the model.
TEST(CatalogLoadSamples, NorthwindAndPubsLoadEveryObject) {
    const struct {
        const char *File, *Database, *Counts;
    } samples[] = {
        // Northwind: 13 primary keys and 26 plain indexes.
        {"instnwnd.sql", "Northwind",
         "Tables 13 Views 16 Procedures 7 Functions 0 Triggers 0 PrimaryKeys 13 Relations 13 Checks 8 Defaults 9 Indexes 39 "
         "Identities 6 Roles 0 Permissions 0"},
        // pubs: 9 primary keys and 7 plain indexes; roysched and discounts have no key.
        {"instpubs.sql", "pubs",
         "Tables 11 Views 1 Procedures 4 Functions 0 Triggers 1 PrimaryKeys 9 Relations 10 Checks 6 Defaults 9 Indexes 16 "
         "Identities 1 Roles 0 Permissions 0"},
    };
    for (const auto& sample : samples) {
        const QString path = QStringLiteral(TOVIMAR_SAMPLES_DIR "/") + QLatin1String(sample.File);
        if (!QFile::exists(path)) GTEST_SKIP() << "sample scripts not found at " << TOVIMAR_SAMPLES_DIR;
        RecordingProgress progress;
        const Loaded loaded = Load(ServerWith(ReadScript(path)), QLatin1String(sample.Database), progress);
        const Tovimar_Database& db = *loaded.Db;
        qsizetype primaryKeys = 0, identities = 0;
        for (const TablePtr& table : db.Tables) {
            if (table->PrimaryKey) ++primaryKeys;
            for (const FieldPtr& field : table->Fields)
                if (field->Identity) ++identities;
        }
        EXPECT_EQ(QStringLiteral("Tables %1 Views %2 Procedures %3 Functions %4 Triggers %5 PrimaryKeys %6 Relations %7 Checks %8 "
                                 "Defaults %9 Indexes %10 Identities %11 Roles %12 Permissions %13")
                      .arg(db.Tables.Count()).arg(db.Views.Count()).arg(db.Procedures.Count()).arg(db.Functions.Count())
                      .arg(db.Triggers.Count()).arg(primaryKeys).arg(db.Relations.Count()).arg(db.Checks.Count())
                      .arg(db.Defaults.Count()).arg(db.Indexes.Count()).arg(identities).arg(db.Roles.Count())
                      .arg(db.Permissions.Count()),
                  QString::fromLatin1(sample.Counts));
    }
}

}  // namespace
