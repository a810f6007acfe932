// The catalog loader against a scripted connection: what it asks, in which order, and what it
// makes of the answers — including rows that do not fit the model.
#include "catalog_test_support.h"

#include "platform/app_paths.h"
#include "platform/tovimar_exception.h"
#include "schema/catalog_loader.h"
#include "schema/catalog_queries.h"
#include "schema/snapshot_file.h"
#include "support/golden_text.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace Q = CatalogQueries;

namespace {

const QString kFingerprint = QStringLiteral("1.500000;3.000000;7.000000;14.000000;2026-12-06 10:00:00.000");

// A small shop: Customers and Orders included; Secret and Audit rejected by the filter, but
// Secret references Customers and is therefore loaded in detail.
void Script(ScriptedConnection& c, int srvVer = 80) {
    c.Answers[Q::SysDatabases(QStringLiteral("'Shop'"))] = Rows({"name", "cmptlevel"}, {{S("Shop"), I(srvVer)}});
    c.Answers[Q::SysDatabases(QStringLiteral("'master'"))] = Rows({"name", "cmptlevel"}, {{S("master"), I(srvVer)}});
    c.Answers[Q::Fingerprint()] = Rows({"Version"}, {{S(kFingerprint)}});
    c.Answers[Q::FileGroups()] =
        Rows({"groupid", "groupname", "IsDefault"}, {{I(1), S("PRIMARY"), I(1)}, {I(2), S("SECONDARY"), I(0)}});
    c.Answers[Q::Tables(1)] = Rows({"Table", "ID", "Owner", "FileGroupID", "TextFileGroupID"},
                                   {{S("Audit"), I(13), S("dbo"), I(1), N()},
                                    {S("Customers"), I(11), S("dbo"), I(1), N()},
                                    {S("Orders"), I(10), S("dbo"), I(2), I(1)},
                                    {S("Secret"), I(12), S("dbo"), I(1), N()}});
    c.Answers[Q::RelationsFirstPass(QStringLiteral("13,12"))] =
        Rows({"FTABLE_ID", "PTABLE_ID"}, {{I(10), I(11)}, {I(12), I(11)}});
    c.Answers[Q::ViewNames()] = Rows({"Owner", "id", "FullName"},
                                     {{S("[dbo]"), I(20), S("[dbo].[V1]")}, {S("[dbo]"), I(21), S("[dbo].[Hidden]")}});
    c.Answers[Q::Views(QStringLiteral("21"))] =
        Rows({"Status", "View", "Owner", "colid", "Definition"},
             {{I(24), S("V1"), S("dbo"), I(1), S("CREATE VIEW V1 AS ")},
              {I(24), S("V1"), S("dbo"), I(2), S("SELECT CustomerID ")},
              {I(24), S("V1"), S("dbo"), I(3), S("FROM Customers")}});
    c.Answers[Q::ProcedureNames()] = Rows({"Owner", "id", "FullName"}, {{S("[dbo]"), I(30), S("[dbo].[P]")}});
    c.Answers[Q::Procedures(QString())] =
        Rows({"Status", "Procedure", "Owner", "colid", "number", "Definition"},
             {{I(16), S("P"), S("dbo"), I(1), I(1), S("CREATE PROC P;1 AS ")},
              {I(16), S("P"), S("dbo"), I(2), I(1), S("SELECT 1")},
              {I(16), S("P"), S("dbo"), I(1), I(2), S("CREATE PROC P;2 AS SELECT 2")}});
    c.Answers[Q::Roles()] = Rows({"uid", "Role", "Member"}, {{I(16400), S("Readers"), S("alice")},
                                                            {I(16400), S("Readers"), S("bob")},
                                                            {I(16401), S("Empty"), N()}});
    c.Answers[Q::TriggerNames()] =
        Rows({"Owner", "id", "FullName", "FullName2"}, {{S("[dbo]"), I(40), S("[dbo].[Orders]"), S("[dbo].[Orders].[trg]")}});
    c.Answers[Q::Triggers(QString(), QStringLiteral("13"))] =
        Rows({"Status", "Trigger", "Table", "TableOwner", "colid", "Definition"},
             {{I(8), S("trg"), S("Orders"), S("dbo"), I(1), S("CREATE TRIGGER trg ON Orders ")},
              {I(8), S("trg"), S("Orders"), S("dbo"), I(2), S("FOR INSERT AS RETURN")},
              {I(8), S("old"), S("Gone"), S("dbo"), I(1), S("CREATE TRIGGER old ON Gone")}});
    const QStringList columnNames = {"ObjType",   "Table",      "TableOwner", "Datentyp",       "name",     "colid",
                                     "length",    "prec",       "scale",      "isnullable",     "Collation", "IsIdentity",
                                     "IsIdNotForRepl", "IsRowGuidCol", "ID_Start", "ID_Schritt"};
    c.Answers[Q::Columns(srvVer >= 80, QStringLiteral("13"), QStringLiteral("21"))] = Rows(
        columnNames,
        {{S("U"), S("Customers"), S("dbo"), S("int"), S("CustomerID"), I(1), I(4), I(10), I(0), I(0), N(), I(1), I(1), I(0), I(100), I(5)},
         {S("U"), S("Customers"), S("dbo"), S("nvarchar"), S("Name"), I(2), I(80), I(40), N(), I(1),
          srvVer >= 80 ? S("Latin1_General_CI_AS") : N(), I(0), I(0), I(0), I(0), I(0)},
         {S("U "), S("Orders"), S("dbo"), S("int"), S("OrderID"), I(1), I(4), I(10), I(0), I(0), N(), I(0), I(0), I(0), N(), N()},
         {S("U "), S("Orders"), S("dbo"), S("int"), S("CustomerID"), I(2), I(4), I(10), I(0), I(0), N(), I(0), I(0), I(0), N(), N()},
         {S("U "), S("Orders"), S("dbo"), S("int"), S("Total"), I(3), I(4), I(10), I(0), I(1), N(), I(0), I(0), I(0), N(), N()},
         {S("U "), S("Secret"), S("dbo"), S("int"), S("CustomerID"), I(1), I(4), I(10), I(0), I(0), N(), I(0), I(0), I(0), N(), N()},
         {S("U "), S("Gone"), S("dbo"), S("int"), S("X"), I(1), I(4), I(10), I(0), I(0), N(), I(0), I(0), I(0), N(), N()},
         {S("V "), S("V1"), S("dbo"), S("int"), S("CustomerID"), I(1), I(4), I(10), I(0), I(0), N(), I(0), I(0), I(0), I(0), I(0)}});
    c.Answers[Q::Formulas(QStringLiteral("13"))] =
        Rows({"Table", "Owner", "colid", "number", "Definition"},
             {{S("Orders"), S("dbo"), I(1), I(3), S("([OrderID] ")},
              {S("Orders"), S("dbo"), I(2), I(3), S("* 2)")},
              {S("Orders"), S("dbo"), I(1), I(9), S("(1)")}});
    c.Answers[Q::Indexes(QStringLiteral("13"))] = Rows(
        {"Index", "indid", "Table", "TableOwner", "Field", "status", "groupid", "IsUnique", "IsClustered", "IndexFillFactor",
         "IsPadIndex", "IsUniqueConstraint", "IsPrimaryClustered", "IsPrimaryNonClustered"},
        {{S("PK_Customers"), I(1), S("Customers"), S("dbo"), S("CustomerID"), I(2048), I(1), I(1), I(0), I(90), I(0), I(0), I(1), I(0)},
         {S("IX_Orders"), I(2), S("Orders"), S("dbo"), S("CustomerID"), I(1 | 16777216), I(2), I(0), I(0), I(0), I(1), I(0), I(0), I(0)},
         {S("IX_Orders"), I(2), S("Orders"), S("dbo"), S("OrderID"), I(1 | 16777216), I(2), I(0), I(0), I(0), I(1), I(0), I(0), I(0)},
         {S("IX_Gone"), I(2), S("Gone"), S("dbo"), S("X"), I(0), I(1), I(0), I(0), I(0), I(0), I(0), I(0), I(0)}});
    c.Answers[Q::FullTextCatalogs()] = Rows({"Name"}, {{S("ShopCatalog")}});
    c.Answers[Q::FullTextTables()] =
        Rows({"TABLE_OWNER", "TABLE_NAME", "FULLTEXT_KEY_INDEX_NAME", "FULLTEXT_CATALOG_NAME"},
             {{S("dbo"), S("Customers"), S("PK_Customers"), S("ShopCatalog")}});
    c.Answers[Q::FullTextTableProperties(11)] = Rows({"Tracking", "BGUpdate"}, {{I(1), N()}});
    c.Answers[Q::FullTextColumns()] =
        Rows({"TABLE_OWNER", "TABLE_NAME", "FULLTEXT_COLUMN_NAME", "FULLTEXT_BLOBTP_COLNAME", "FULLTEXT_LANGUAGE"},
             {{S("dbo"), S("Customers"), S("Name"), N(), I(1033)}, {S("dbo"), S("Customers"), S("Nope"), N(), I(1033)}});
    c.Answers[Q::Defaults(QStringLiteral("13"))] =
        Rows({"Table", "TableOwner", "Default", "Field", "Definition"},
             {{S("Customers"), S("dbo"), S("DF_Name"), S("Name"), S("('x")},
              {S("Customers"), S("dbo"), S("DF_Name"), S("Name"), S("y')")},
              {S("Customers"), S("dbo"), S("DF_Gone"), S("Nope"), S("(0)")}});
    c.Answers[Q::Checks(QStringLiteral("13"))] =
        Rows({"Table", "status", "TableOwner", "Check", "Definition"},
             {{S("Orders"), I(1024 | 256), S("dbo"), S("CK_Orders"), S("([Total] > 0)")}});
    c.Answers[Q::Permissions()] = Rows(
        {"Object", "type", "Owner", "GranteeName", "GrantorName", "id", "actadd", "actmod", "seladd", "selmod", "updadd",
         "updmod", "refadd", "refmod"},
        {{S("Customers"), S("U "), S("dbo"), S("public"), S("dbo"), I(11), I(1 | 8), I(16), B("\x04"), N(), B("\x07\xFF"), N(), N(), N()},
         {S("Customers"), S("U "), S("dbo"), S("public"), S("guest"), I(11), I(2), I(0), N(), B("\x02"), N(), N(), N(), N()},
         {S("P"), S("P "), S("dbo"), S("public"), S("dbo"), I(30), I(32), I(0), N(), N(), N(), N(), N(), N()},
         {S("Nope"), S("U "), S("dbo"), S("public"), S("dbo"), I(99), I(1), I(0), N(), N(), N(), N(), N(), N()}});
    c.Answers[Q::RelationsSecondPass(QStringLiteral("13"))] = Rows(
        {"Relation", "Status", "ForeignTable", "PrimaryTable", "ForeignTableOwner", "PrimaryTableOwner", "constid",
         "fkeyid", "rkeyid", "keycnt", "fkeydbid", "fkey1", "fkey2", "rkey1", "rkey2", "NotForRepl", "IsNoCheck",
         "DeleteCascade", "UpdateCascade"},
        {{S("FK_Orders_Customers"), I(0), S("Orders"), S("Customers"), S("dbo"), S("dbo"), I(50), I(10), I(11), I(1),
          I(0), I(2), I(0), I(1), I(0), I(0), I(1), I(1), I(0)},
         {S("FK_Secret_Customers"), I(0), S("Secret"), S("Customers"), S("dbo"), S("dbo"), I(51), I(12), I(11), I(1),
          I(0), I(1), I(0), I(1), I(0), I(1), I(0), I(0), I(1)},
         {S("FK_Bad"), I(0), S("Orders"), S("Customers"), S("dbo"), S("dbo"), I(52), I(10), I(11), I(1), I(0), I(99),
          I(0), I(1), I(0), I(0), I(0), I(0), I(0)}});
}

struct Shop {
    std::shared_ptr<ScriptedConnection> Connection = std::make_shared<ScriptedConnection>();
    RejectingFilter Filter;
    Tovimar_Database Db;

    explicit Shop(int srvVer = 80) {
        Script(*Connection, srvVer);
        Filter.Rejected = {QStringLiteral("ta:[dbo].[Secret]"), QStringLiteral("ta:[dbo].[Audit]"),
                           QStringLiteral("vi:[dbo].[Hidden]")};
        LoadDatabase(Db, Connection);
        Db.Filter = &Filter;
    }
};

TEST(CatalogLoader, AsksOneQueryPerKindInLoadingOrder) {
    Shop shop;
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(shop.Db, progress));
    const QStringList expected = {
        Q::SysDatabases(QStringLiteral("'Shop'")), Q::SysDatabases(QStringLiteral("'master'")), Q::Fingerprint(),
        Q::FileGroups(), Q::Tables(1), Q::RelationsFirstPass(QStringLiteral("13,12")), Q::ViewNames(),
        Q::Views(QStringLiteral("21")), Q::ProcedureNames(), Q::Procedures(QString()), Q::FunctionNames(),
        Q::Functions(QString()), Q::Roles(), Q::TriggerNames(), Q::Triggers(QString(), QStringLiteral("13")),
        Q::UserTypes(), Q::BoundObjects(), Q::BoundObjectBindings(false), Q::BoundObjectBindings(true),
        Q::Columns(true, QStringLiteral("13"), QStringLiteral("21")), Q::Formulas(QStringLiteral("13")),
        Q::Indexes(QStringLiteral("13")), Q::FullTextCatalogs(), Q::FullTextTables(), Q::FullTextTableProperties(11),
        Q::FullTextColumns(), Q::Defaults(QStringLiteral("13")), Q::Checks(QStringLiteral("13")), Q::Permissions(),
        Q::RelationsSecondPass(QStringLiteral("13"))};
    EXPECT_EQ(shop.Connection->Sent, expected);
    EXPECT_EQ(progress.Calls.first(), QStringLiteral("CAPTION Reading SRV#Shop"));
    for (const char* phase : {"SCANNING RELATIONS...", "SCANNING VIEWS...", "SCANNING PROCEDURES...",
                              "SCANNING FUNCTIONS...", "SCANNING TRIGGERS...", "SCANNING FULLTEXT INDEXES...",
                              "SCANNING FULLTEXT FIELDS..."})
        EXPECT_TRUE(progress.Calls.contains(QLatin1String(phase))) << phase;
    EXPECT_TRUE(progress.Calls.contains(QStringLiteral("LOAD TABLE [dbo].[Orders]")));
    EXPECT_TRUE(progress.Calls.contains(QStringLiteral("LOAD FIELD FORMULA [Total]")));
    EXPECT_TRUE(progress.Closed);
    EXPECT_EQ(shop.Db.Version, QStringLiteral("10;") + kFingerprint);
    EXPECT_EQ(shop.Db.CmptLevel, 80);
    EXPECT_EQ(shop.Db.SrvVer, 80);
}

// What the loader makes of every kind of answer is recorded in a golden snapshot (identity,
// collations, formulas joined from their chunks, index options and file groups, defaults joined
// from their chunks, check and relation flags, full-text columns, permission rights merged over
// two grantors and their column bitmaps, roles with and without members, procedure numbers);
// rows naming a missing table or column (the trigger of Gone, FK_Bad, DF_Gone) are left out.
TEST(CatalogLoader, EveryKindOfObjectAndItsLinks) {
    Shop shop;
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(shop.Db, progress));
    Tovimar_Database& db = shop.Db;
    EXPECT_EQ(db.TableExcludeIDs, QStringLiteral("13"));  // Secret references Customers: loaded in detail
    EXPECT_EQ(db.ViewExcludeIDs, QStringLiteral("21"));
    const TablePtr orders = db.Tables.Item(QStringLiteral("[dbo].[Orders]"));
    const TablePtr customers = db.Tables.Item(QStringLiteral("[dbo].[Customers]"));
    ASSERT_TRUE(orders && customers);
    EXPECT_EQ(orders->ObjectID, 10);
    EXPECT_TRUE(orders->ObjectIncluded);
    EXPECT_FALSE(db.Tables.Item(QStringLiteral("[dbo].[Secret]"))->ObjectIncluded);
    // Pre-queries quote the owner; the filter hears the plain name, as for tables.
    EXPECT_TRUE(shop.Filter.Asked.contains(QStringLiteral("vi:[dbo].[V1]:2:dbo")));
    EXPECT_TRUE(shop.Filter.Asked.contains(QStringLiteral("tr:[dbo].[Orders].[trg]:3:")));
    // The links the snapshot holds only as names.
    const FieldPtr name = customers->Fields.Item(QStringLiteral("[Name]"));
    ASSERT_TRUE(name);
    EXPECT_EQ(name->Default, db.Defaults.Item(QStringLiteral("[dbo].[Customers].[DF_Name]")).get());
    const RelationPtr fk = orders->Relations.Item(QStringLiteral("[FK_Orders_Customers]"));
    ASSERT_TRUE(fk);
    EXPECT_EQ(fk->PrimaryTable, customers.get());
    EXPECT_EQ(customers->FieldsByColID.Item(QStringLiteral("#1"))->Name, QStringLiteral("CustomerID"));
    db.Version.clear();
    ExpectGolden(QStringLiteral("catalog_loader_shop"), SchemaFileText(db), QStringLiteral("expected.schema"));
}

TEST(CatalogLoader, SqlServer70LeavesCollationsEmpty) {
    Shop shop(70);
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(shop.Db, progress));
    EXPECT_EQ(shop.Db.SrvVer, 70);
    EXPECT_TRUE(shop.Connection->Sent.contains(Q::Columns(false, QStringLiteral("13"), QStringLiteral("21"))));
    EXPECT_TRUE(Q::Columns(false, QString(), QString()).contains(QStringLiteral(" CONVERT(varchar,NULL) AS Collation, ")));
    for (const TablePtr& table : shop.Db.Tables)
        for (const FieldPtr& field : table->Fields) EXPECT_EQ(field->Collation, QString()) << field->Name.toStdString();
}

TEST(CatalogLoader, DefinitionObjectsOnlyStopsAfterTriggers) {
    Shop shop;
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(shop.Db, progress, true));
    EXPECT_EQ(shop.Connection->Sent.last(), Q::Triggers(QString(), QStringLiteral("13,12")));
    EXPECT_FALSE(shop.Connection->Sent.contains(Q::RelationsFirstPass(QStringLiteral("13,12"))));
    EXPECT_EQ(shop.Db.Tables.Item(QStringLiteral("[dbo].[Orders]"))->Fields.Count(), 0);
}

// Every progress call is a place where Cancel is noticed: cancelling at any of them ends
// loading with false, never with an error, and closes the progress window.
TEST(CatalogLoader, CancelAtEveryProgressCallStopsCleanly) {
    int total = 0;
    {
        Shop shop;
        RecordingProgress progress;
        ASSERT_TRUE(LoadDBObjects(shop.Db, progress));
        total = progress.Count;
    }
    ASSERT_GT(total, 40);
    for (int n = 1; n <= total; ++n) {
        Shop shop;
        RecordingProgress progress(n);
        EXPECT_FALSE(LoadDBObjects(shop.Db, progress)) << "cancelled at call " << n;
        EXPECT_TRUE(progress.Closed);
        EXPECT_EQ(progress.Count, n) << "a loader went on after the cancel at call " << n;
    }
}

class CatalogLoaderCache : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        SetAppDataRootForTesting(folder_.path());
    }
    void TearDown() override { SetAppDataRootForTesting(QString()); }
    QTemporaryDir folder_;
};

TEST_F(CatalogLoaderCache, CreatingASnapshotExcludesNothingAndWritesTheFile) {
    Shop shop;
    shop.Db.CreateCache = true;
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(shop.Db, progress));
    EXPECT_FALSE(shop.Connection->Sent.contains(Q::ViewNames()));
    EXPECT_FALSE(shop.Connection->Sent.contains(Q::TriggerNames()));
    EXPECT_FALSE(shop.Connection->Sent.contains(Q::RelationsFirstPass(QString())));
    EXPECT_FALSE(progress.Calls.contains(QStringLiteral("SCANNING VIEWS...")));
    EXPECT_EQ(shop.Db.TableExcludeIDs, QString());
    EXPECT_TRUE(shop.Connection->Sent.contains(Q::Views(QString())));
    EXPECT_TRUE(shop.Connection->Sent.contains(Q::Columns(true, QString(), QString())));
    EXPECT_TRUE(QFile::exists(GetCacheFilePath(shop.Db)));
}

TEST_F(CatalogLoaderCache, MatchingFingerprintReadsTheSnapshotInsteadOfTheCatalog) {
    {
        Shop writer;
        writer.Db.CreateCache = true;
        writer.Connection->Answers[Q::Views(QString())] = writer.Connection->Answers[Q::Views(QStringLiteral("21"))];
        RecordingProgress progress;
        ASSERT_TRUE(LoadDBObjects(writer.Db, progress));
    }
    Shop reader;
    reader.Db.UseCache = true;
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(reader.Db, progress));
    EXPECT_EQ(reader.Connection->Sent,
              (QStringList{Q::SysDatabases(QStringLiteral("'Shop'")), Q::SysDatabases(QStringLiteral("'master'")),
                           Q::Fingerprint()}));
    EXPECT_EQ(reader.Db.Tables.Count(), 4);
    EXPECT_EQ(reader.Db.Views.Item(QStringLiteral("[dbo].[V1]"))->Definition,
              QStringLiteral("CREATE VIEW V1 AS SELECT CustomerID FROM Customers"));
    EXPECT_FALSE(reader.Db.Tables.Item(QStringLiteral("[dbo].[Secret]"))->ObjectIncluded);  // verdicts recomputed

    // A changed fingerprint: the catalog is read again.
    Shop changed;
    changed.Db.UseCache = true;
    changed.Connection->Answers[Q::Fingerprint()] = Rows({"Version"}, {{S("2.0;4.0;7.0;14.0;2026-12-06 11:00:00.000")}});
    RecordingProgress progress2;
    ASSERT_TRUE(LoadDBObjects(changed.Db, progress2));
    EXPECT_TRUE(changed.Connection->Sent.contains(Q::Tables(1)));
    EXPECT_EQ(changed.Db.Version, QStringLiteral("10;2.0;4.0;7.0;14.0;2026-12-06 11:00:00.000"));
}

// Without any permission the fingerprint expression is NULL for every database state; such a
// fingerprint must never let a snapshot stand in for the catalog.
TEST_F(CatalogLoaderCache, NullFingerprintNeverMatches) {
    {
        Shop writer;
        writer.Db.CreateCache = true;
        writer.Connection->Answers[Q::Fingerprint()] = Rows({"Version"}, {{N()}});
        RecordingProgress progress;
        ASSERT_TRUE(LoadDBObjects(writer.Db, progress));
        EXPECT_EQ(writer.Db.Version, QString());
    }
    Shop reader;
    reader.Db.UseCache = true;
    reader.Connection->Answers[Q::Fingerprint()] = Rows({"Version"}, {{N()}});
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(reader.Db, progress));
    EXPECT_TRUE(reader.Connection->Sent.contains(Q::Tables(1)));
}

// A failing query ends loading with its error and the progress closed, except where the server
// may lack what is asked: the full-text service, and the fingerprint as long as no snapshot is
// involved (it only serves snapshots).
TEST(CatalogLoader, FailingQueriesEndLoadingOnlyWhereTheAnswerIsNeeded) {
    Shop failing;
    failing.Connection->Failing.insert(Q::Indexes(QStringLiteral("13")));
    RecordingProgress progress;
    try {
        LoadDBObjects(failing.Db, progress);
        ADD_FAILURE() << "expected the query error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 7601);
    }
    EXPECT_TRUE(progress.Closed);

    Shop noFullText;
    noFullText.Connection->Failing.insert(Q::FullTextTables());
    ASSERT_TRUE(LoadDBObjects(noFullText.Db, progress));
    EXPECT_EQ(noFullText.Db.Tables.Item(QStringLiteral("[dbo].[Customers]"))->FTI_Catalog, QString());
    EXPECT_EQ(noFullText.Db.Permissions.Count(), 2);  // loading went on after the failed call

    Shop plain;
    plain.Connection->Failing.insert(Q::Fingerprint());
    ASSERT_TRUE(LoadDBObjects(plain.Db, progress));
    EXPECT_EQ(plain.Db.Version, QString());
    EXPECT_EQ(plain.Db.Tables.Count(), 4);

    Shop creating;
    creating.Db.CreateCache = true;
    creating.Connection->Failing.insert(Q::Fingerprint());
    EXPECT_THROW(LoadDBObjects(creating.Db, progress), TovimarException);
}

TEST(CatalogLoader, WithoutUserTablesTheFirstPassRunsPlain) {
    auto connection = std::make_shared<ScriptedConnection>();
    Tovimar_Database db;
    LoadDatabase(db, connection);
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(db, progress));
    EXPECT_EQ(db.Tables.Count(), 0);
    EXPECT_EQ(db.TableExcludeIDs, QString());
    EXPECT_TRUE(connection->Sent.contains(Q::RelationsFirstPass(QString())));
    EXPECT_EQ(db.CmptLevel, 65);  // no sysdatabases row: the oldest level
    EXPECT_EQ(db.SrvVer, 65);
}

TEST(CatalogLoader, ConnectFailureGivesTheUserMessage) {
    Tovimar_Database db;
    QString message;
    // Nothing listens on port 1 of this machine.
    EXPECT_FALSE(LoadDatabase(db, QStringLiteral("127.0.0.1,1"), QStringLiteral("pubs"), QStringLiteral("sa"),
                              QStringLiteral("secret"), &message));
    EXPECT_EQ(db.Server, QStringLiteral("127.0.0.1,1"));
    EXPECT_EQ(db.Name, QStringLiteral("pubs"));
    EXPECT_FALSE(db.Connection);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Error connection to Database \r\n127.0.0.1,1\\pubs\r\n\r\nError Number: ")))
        << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("secret")));
}

TEST(CatalogLoader, ExecuteSqlReturnsTrueOrPassesTheErrorOn) {
    Shop shop;
    EXPECT_TRUE(ExecuteSQL(shop.Db, QStringLiteral("UPDATE x SET y = 1")));
    shop.Connection->Failing.insert(QStringLiteral("DROP TABLE x"));
    try {
        ExecuteSQL(shop.Db, QStringLiteral("DROP TABLE x"));
        FAIL() << "expected the error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 7601);
    }
    EXPECT_EQ(shop.Connection->Errors().size(), 1);
    Tovimar_Database unconnected;
    EXPECT_THROW(ExecuteSQL(unconnected, QStringLiteral("SELECT 1")), TovimarException);
}

TEST(CatalogQueries, TextsAreFixed) {
    EXPECT_EQ(Q::NotIn(QString()), QString());
    EXPECT_EQ(Q::TablesNotIn(QStringLiteral("1,2")), QStringLiteral(" AND systables.id NOT IN(1,2)"));
    EXPECT_EQ(Q::Is(QStringLiteral("IsUserTable"), QStringLiteral("sysobjects.id")),
              QStringLiteral(" (objectproperty(sysobjects.id,'IsUserTable') <> 0) "));
    EXPECT_EQ(Q::Roles(), QStringLiteral("SELECT sysusers.uid, sysusers.name AS Role, myusers.name AS Member\r\n"
                                         "FROM sysusers\r\n"
                                         "LEFT OUTER JOIN sysmembers ON sysmembers.groupuid=sysusers.uid\r\n"
                                         "LEFT OUTER JOIN sysusers AS myusers ON sysmembers.memberuid=myusers.uid\r\n"
                                         "WHERE sysusers.issqlrole = 1 AND sysusers.isapprole = 0 AND sysusers.sid IS NOT NULL\r\n"
                                         "ORDER BY sysusers.uid, sysusers.name"));
}

}  // namespace
