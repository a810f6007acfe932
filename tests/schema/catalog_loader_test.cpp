// The catalog loader against a scripted connection: what it asks, in which order, and what it
// makes of the answers — including rows that do not fit the model.
#include "catalog_test_support.h"

#include "platform/tovimar_exception.h"
#include "schema/catalog_loader.h"
#include "schema/catalog_queries.h"
#include "schema/snapshot_file.h"
#include "support/golden_text.h"
#include "support/temp_app_data.h"

#include <gtest/gtest.h>

namespace CQ = CatalogQueries;

namespace {

const QString kFingerprint = Q("1.500000;3.000000;7.000000;14.000000;2026-12-06 10:00:00.000");

// A small shop: Customers and Orders included; Secret and Audit rejected by the filter, but
// Secret references Customers and is therefore loaded in detail.
void Script(ScriptedConnection& c, int srvVer = 80) {
    c.Answers[CQ::SysDatabases(Q("'Shop'"))] = Rows({"name", "cmptlevel"}, {{S("Shop"), I(srvVer)}});
    c.Answers[CQ::SysDatabases(Q("'master'"))] = Rows({"name", "cmptlevel"}, {{S("master"), I(srvVer)}});
    c.Answers[CQ::Fingerprint()] = Rows({"Version"}, {{S(kFingerprint)}});
    c.Answers[CQ::FileGroups()] =
        Rows({"groupid", "groupname", "IsDefault"}, {{I(1), S("PRIMARY"), I(1)}, {I(2), S("SECONDARY"), I(0)}});
    c.Answers[CQ::Tables(1)] = Rows({"Table", "ID", "Owner", "FileGroupID", "TextFileGroupID"},
                                   {{S("Audit"), I(13), S("dbo"), I(1), N()},
                                    {S("Customers"), I(11), S("dbo"), I(1), N()},
                                    {S("Orders"), I(10), S("dbo"), I(2), I(1)},
                                    {S("Secret"), I(12), S("dbo"), I(1), N()}});
    c.Answers[CQ::RelationsFirstPass(Q("13,12"))] =
        Rows({"FTABLE_ID", "PTABLE_ID"}, {{I(10), I(11)}, {I(12), I(11)}});
    c.Answers[CQ::ViewNames()] = Rows({"Owner", "id", "FullName"},
                                     {{S("[dbo]"), I(20), S("[dbo].[V1]")}, {S("[dbo]"), I(21), S("[dbo].[Hidden]")}});
    c.Answers[CQ::Views(Q("21"))] =
        Rows({"Status", "View", "Owner", "colid", "Definition"},
             {{I(24), S("V1"), S("dbo"), I(1), S("CREATE VIEW V1 AS ")},
              {I(24), S("V1"), S("dbo"), I(2), S("SELECT CustomerID ")},
              {I(24), S("V1"), S("dbo"), I(3), S("FROM Customers")}});
    c.Answers[CQ::ProcedureNames()] = Rows({"Owner", "id", "FullName"}, {{S("[dbo]"), I(30), S("[dbo].[P]")}});
    c.Answers[CQ::Procedures(QString())] =
        Rows({"Status", "Procedure", "Owner", "colid", "number", "Definition"},
             {{I(16), S("P"), S("dbo"), I(1), I(1), S("CREATE PROC P;1 AS ")},
              {I(16), S("P"), S("dbo"), I(2), I(1), S("SELECT 1")},
              {I(16), S("P"), S("dbo"), I(1), I(2), S("CREATE PROC P;2 AS SELECT 2")}});
    c.Answers[CQ::Roles()] = Rows({"uid", "Role", "Member"}, {{I(16400), S("Readers"), S("alice")},
                                                            {I(16400), S("Readers"), S("bob")},
                                                            {I(16401), S("Empty"), N()}});
    c.Answers[CQ::TriggerNames()] =
        Rows({"Owner", "id", "FullName", "FullName2"}, {{S("[dbo]"), I(40), S("[dbo].[Orders]"), S("[dbo].[Orders].[trg]")}});
    c.Answers[CQ::Triggers(QString(), Q("13"))] =
        Rows({"Status", "Trigger", "Table", "TableOwner", "colid", "Definition"},
             {{I(8), S("trg"), S("Orders"), S("dbo"), I(1), S("CREATE TRIGGER trg ON Orders ")},
              {I(8), S("trg"), S("Orders"), S("dbo"), I(2), S("FOR INSERT AS RETURN")},
              {I(8), S("old"), S("Gone"), S("dbo"), I(1), S("CREATE TRIGGER old ON Gone")}});
    const QStringList columnNames = {"ObjType",   "Table",      "TableOwner", "Datentyp",       "name",     "colid",
                                     "length",    "prec",       "scale",      "isnullable",     "Collation", "IsIdentity",
                                     "IsIdNotForRepl", "IsRowGuidCol", "ID_Start", "ID_Schritt"};
    c.Answers[CQ::Columns(srvVer >= 80, Q("13"), Q("21"))] = Rows(
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
    c.Answers[CQ::Formulas(Q("13"))] =
        Rows({"Table", "Owner", "colid", "number", "Definition"},
             {{S("Orders"), S("dbo"), I(1), I(3), S("([OrderID] ")},
              {S("Orders"), S("dbo"), I(2), I(3), S("* 2)")},
              {S("Orders"), S("dbo"), I(1), I(9), S("(1)")}});
    c.Answers[CQ::Indexes(Q("13"))] = Rows(
        {"Index", "indid", "Table", "TableOwner", "Field", "status", "groupid", "IsUnique", "IsClustered", "IndexFillFactor",
         "IsPadIndex", "IsUniqueConstraint", "IsPrimaryClustered", "IsPrimaryNonClustered"},
        {{S("PK_Customers"), I(1), S("Customers"), S("dbo"), S("CustomerID"), I(2048), I(1), I(1), I(0), I(90), I(0), I(0), I(1), I(0)},
         {S("IX_Orders"), I(2), S("Orders"), S("dbo"), S("CustomerID"), I(1 | 16777216), I(2), I(0), I(0), I(0), I(1), I(0), I(0), I(0)},
         {S("IX_Orders"), I(2), S("Orders"), S("dbo"), S("OrderID"), I(1 | 16777216), I(2), I(0), I(0), I(0), I(1), I(0), I(0), I(0)},
         {S("IX_Gone"), I(2), S("Gone"), S("dbo"), S("X"), I(0), I(1), I(0), I(0), I(0), I(0), I(0), I(0), I(0)}});
    c.Answers[CQ::FullTextCatalogs()] = Rows({"Name"}, {{S("ShopCatalog")}});
    c.Answers[CQ::FullTextTables()] =
        Rows({"TABLE_OWNER", "TABLE_NAME", "FULLTEXT_KEY_INDEX_NAME", "FULLTEXT_CATALOG_NAME"},
             {{S("dbo"), S("Customers"), S("PK_Customers"), S("ShopCatalog")}});
    c.Answers[CQ::FullTextTableProperties(11)] = Rows({"Tracking", "BGUpdate"}, {{I(1), N()}});
    c.Answers[CQ::FullTextColumns()] =
        Rows({"TABLE_OWNER", "TABLE_NAME", "FULLTEXT_COLUMN_NAME", "FULLTEXT_BLOBTP_COLNAME", "FULLTEXT_LANGUAGE"},
             {{S("dbo"), S("Customers"), S("Name"), N(), I(1033)}, {S("dbo"), S("Customers"), S("Nope"), N(), I(1033)}});
    c.Answers[CQ::Defaults(Q("13"))] =
        Rows({"Table", "TableOwner", "Default", "Field", "Definition"},
             {{S("Customers"), S("dbo"), S("DF_Name"), S("Name"), S("('x")},
              {S("Customers"), S("dbo"), S("DF_Name"), S("Name"), S("y')")},
              {S("Customers"), S("dbo"), S("DF_Gone"), S("Nope"), S("(0)")}});
    c.Answers[CQ::Checks(Q("13"))] =
        Rows({"Table", "status", "TableOwner", "Check", "Definition"},
             {{S("Orders"), I(1024 | 256), S("dbo"), S("CK_Orders"), S("([Total] > 0)")}});
    c.Answers[CQ::Permissions()] = Rows(
        {"Object", "type", "Owner", "GranteeName", "GrantorName", "id", "actadd", "actmod", "seladd", "selmod", "updadd",
         "updmod", "refadd", "refmod"},
        {{S("Customers"), S("U "), S("dbo"), S("public"), S("dbo"), I(11), I(1 | 8), I(16), B("\x04"), N(), B("\x07\xFF"), N(), N(), N()},
         {S("Customers"), S("U "), S("dbo"), S("public"), S("guest"), I(11), I(2), I(0), N(), B("\x02"), N(), N(), N(), N()},
         {S("P"), S("P "), S("dbo"), S("public"), S("dbo"), I(30), I(32), I(0), N(), N(), N(), N(), N(), N()},
         {S("Nope"), S("U "), S("dbo"), S("public"), S("dbo"), I(99), I(1), I(0), N(), N(), N(), N(), N(), N()}});
    c.Answers[CQ::RelationsSecondPass(Q("13"))] = Rows(
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
        Filter.Rejected = {Q("ta:[dbo].[Secret]"), Q("ta:[dbo].[Audit]"), Q("vi:[dbo].[Hidden]")};
        LoadDatabase(Db, Connection);
        Db.Filter = &Filter;
    }
};

TEST(CatalogLoader, AsksOneQueryPerKindInLoadingOrder) {
    Shop shop;
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(shop.Db, progress));
    const QStringList expected = {
        CQ::SysDatabases(Q("'Shop'")), CQ::SysDatabases(Q("'master'")), CQ::Fingerprint(), CQ::FileGroups(),
        CQ::Tables(1), CQ::RelationsFirstPass(Q("13,12")), CQ::ViewNames(), CQ::Views(Q("21")), CQ::ProcedureNames(),
        CQ::Procedures(QString()), CQ::FunctionNames(), CQ::Functions(QString()), CQ::Roles(), CQ::TriggerNames(),
        CQ::Triggers(QString(), Q("13")), CQ::UserTypes(), CQ::BoundObjects(), CQ::BoundObjectBindings(false),
        CQ::BoundObjectBindings(true), CQ::Columns(true, Q("13"), Q("21")), CQ::Formulas(Q("13")),
        CQ::Indexes(Q("13")), CQ::FullTextCatalogs(), CQ::FullTextTables(), CQ::FullTextTableProperties(11),
        CQ::FullTextColumns(), CQ::Defaults(Q("13")), CQ::Checks(Q("13")), CQ::Permissions(),
        CQ::RelationsSecondPass(Q("13"))};
    EXPECT_EQ(shop.Connection->Sent, expected);
    EXPECT_EQ(progress.Calls.first(), Q("CAPTION Reading SRV#Shop"));
    for (const char* phase :
         {"SCANNING RELATIONS...", "SCANNING VIEWS...", "SCANNING PROCEDURES...", "SCANNING FUNCTIONS...",
          "SCANNING TRIGGERS...", "SCANNING FULLTEXT INDEXES...", "SCANNING FULLTEXT FIELDS..."})
        EXPECT_TRUE(progress.Calls.contains(QLatin1String(phase))) << phase;
    EXPECT_TRUE(progress.Calls.contains(Q("LOAD TABLE [dbo].[Orders]")));
    EXPECT_TRUE(progress.Calls.contains(Q("LOAD FIELD FORMULA [Total]")));
    EXPECT_TRUE(progress.Closed);
    EXPECT_EQ(shop.Db.Version, Q("10;") + kFingerprint);
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
    EXPECT_EQ(db.TableExcludeIDs, Q("13"));  // Secret references Customers: loaded in detail
    EXPECT_EQ(db.ViewExcludeIDs, Q("21"));
    const TablePtr orders = db.Tables.Item(Q("[dbo].[Orders]"));
    const TablePtr customers = db.Tables.Item(Q("[dbo].[Customers]"));
    ASSERT_TRUE(orders && customers);
    EXPECT_EQ(orders->ObjectID, 10);
    EXPECT_TRUE(orders->ObjectIncluded);
    EXPECT_FALSE(db.Tables.Item(Q("[dbo].[Secret]"))->ObjectIncluded);
    // Pre-queries quote the owner; the filter hears the plain name, as for tables.
    EXPECT_TRUE(shop.Filter.Asked.contains(Q("vi:[dbo].[V1]:2:dbo")));
    EXPECT_TRUE(shop.Filter.Asked.contains(Q("tr:[dbo].[Orders].[trg]:3:")));
    // The links the snapshot holds only as names.
    const FieldPtr name = customers->Fields.Item(Q("[Name]"));
    ASSERT_TRUE(name);
    EXPECT_EQ(name->Default, db.Defaults.Item(Q("[dbo].[Customers].[DF_Name]")).get());
    const RelationPtr fk = orders->Relations.Item(Q("[FK_Orders_Customers]"));
    ASSERT_TRUE(fk);
    EXPECT_EQ(fk->PrimaryTable, customers.get());
    EXPECT_EQ(customers->FieldsByColID.ByID(1)->Name, Q("CustomerID"));
    db.Version.clear();
    ExpectGolden(Q("catalog_loader_shop"), SchemaFileText(db), Q("expected.schema"));
}

TEST(CatalogLoader, SqlServer70LeavesCollationsEmpty) {
    Shop shop(70);
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(shop.Db, progress));
    EXPECT_EQ(shop.Db.SrvVer, 70);
    EXPECT_TRUE(shop.Connection->Sent.contains(CQ::Columns(false, Q("13"), Q("21"))));
    for (const TablePtr& table : shop.Db.Tables)
        for (const FieldPtr& field : table->Fields) EXPECT_EQ(field->Collation, QString()) << field->Name.toStdString();
}

TEST(CatalogLoader, DefinitionObjectsOnlyStopsAfterTriggers) {
    Shop shop;
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(shop.Db, progress, true));
    EXPECT_EQ(shop.Connection->Sent.last(), CQ::Triggers(QString(), Q("13,12")));
    EXPECT_FALSE(shop.Connection->Sent.contains(CQ::RelationsFirstPass(Q("13,12"))));
    EXPECT_EQ(shop.Db.Tables.Item(Q("[dbo].[Orders]"))->Fields.Count(), 0);
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

// Creating a snapshot excludes nothing (every object is asked for, without the pre-queries) and
// writes the file; a matching fingerprint then reads it instead of the catalog, with the filter's
// verdicts computed again. A changed fingerprint reads the catalog again: the scenario through the
// simulated server proves it with a real change of the schema.
TEST(CatalogLoaderCache, ASnapshotIsWrittenWithEverythingAndReadForAMatchingFingerprint) {
    const TempAppData appData;
    {
        Shop writer;
        writer.Db.CreateCache = true;
        writer.Connection->Answers[CQ::Views(QString())] = writer.Connection->Answers[CQ::Views(Q("21"))];
        RecordingProgress progress;
        ASSERT_TRUE(LoadDBObjects(writer.Db, progress));
        const QStringList& sent = writer.Connection->Sent;
        for (const QString& skipped : {CQ::ViewNames(), CQ::TriggerNames(), CQ::RelationsFirstPass(QString())})
            EXPECT_FALSE(sent.contains(skipped)) << skipped.toStdString();
        EXPECT_FALSE(progress.Calls.contains(Q("SCANNING VIEWS...")));
        EXPECT_EQ(writer.Db.TableExcludeIDs, QString());
        EXPECT_TRUE(sent.contains(CQ::Views(QString())));
        EXPECT_TRUE(sent.contains(CQ::Columns(true, QString(), QString())));
        EXPECT_TRUE(QFile::exists(GetCacheFilePath(writer.Db)));
    }
    Shop reader;
    reader.Db.UseCache = true;
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(reader.Db, progress));
    EXPECT_EQ(reader.Connection->Sent,
              (QStringList{CQ::SysDatabases(Q("'Shop'")), CQ::SysDatabases(Q("'master'")), CQ::Fingerprint()}));
    EXPECT_EQ(reader.Db.Tables.Count(), 4);
    EXPECT_EQ(reader.Db.Views.Item(Q("[dbo].[V1]"))->Definition,
              Q("CREATE VIEW V1 AS SELECT CustomerID FROM Customers"));
    EXPECT_FALSE(reader.Db.Tables.Item(Q("[dbo].[Secret]"))->ObjectIncluded);  // verdicts recomputed
}

// Without any permission the fingerprint expression is NULL for every database state; such a
// fingerprint must never let a snapshot stand in for the catalog.
TEST(CatalogLoaderCache, NullFingerprintNeverMatches) {
    const TempAppData appData;
    {
        Shop writer;
        writer.Db.CreateCache = true;
        writer.Connection->Answers[CQ::Fingerprint()] = Rows({"Version"}, {{N()}});
        RecordingProgress progress;
        ASSERT_TRUE(LoadDBObjects(writer.Db, progress));
        EXPECT_EQ(writer.Db.Version, QString());
    }
    Shop reader;
    reader.Db.UseCache = true;
    reader.Connection->Answers[CQ::Fingerprint()] = Rows({"Version"}, {{N()}});
    RecordingProgress progress;
    ASSERT_TRUE(LoadDBObjects(reader.Db, progress));
    EXPECT_TRUE(reader.Connection->Sent.contains(CQ::Tables(1)));
}

// A failing query ends loading with its error and the progress closed, except where the server
// may lack what is asked: the full-text service, and the fingerprint as long as no snapshot is
// involved (it only serves snapshots).
TEST(CatalogLoader, FailingQueriesEndLoadingOnlyWhereTheAnswerIsNeeded) {
    Shop failing;
    failing.Connection->Failing.insert(CQ::Indexes(Q("13")));
    RecordingProgress progress;
    try {
        LoadDBObjects(failing.Db, progress);
        ADD_FAILURE() << "expected the query error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 7601);
    }
    EXPECT_TRUE(progress.Closed);

    Shop noFullText;
    noFullText.Connection->Failing.insert(CQ::FullTextTables());
    ASSERT_TRUE(LoadDBObjects(noFullText.Db, progress));
    EXPECT_EQ(noFullText.Db.Tables.Item(Q("[dbo].[Customers]"))->FTI_Catalog, QString());
    EXPECT_EQ(noFullText.Db.Permissions.Count(), 2);  // loading went on after the failed call

    Shop plain;
    plain.Connection->Failing.insert(CQ::Fingerprint());
    ASSERT_TRUE(LoadDBObjects(plain.Db, progress));
    EXPECT_EQ(plain.Db.Version, QString());
    EXPECT_EQ(plain.Db.Tables.Count(), 4);

    Shop creating;
    creating.Db.CreateCache = true;
    creating.Connection->Failing.insert(CQ::Fingerprint());
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
    EXPECT_TRUE(connection->Sent.contains(CQ::RelationsFirstPass(QString())));
    EXPECT_EQ(db.CmptLevel, 65);  // no sysdatabases row: the oldest level
    EXPECT_EQ(db.SrvVer, 65);
}

TEST(CatalogLoader, ConnectFailureGivesTheUserMessage) {
    Tovimar_Database db;
    QString message;
    // Nothing listens on port 1 of this machine.
    EXPECT_FALSE(LoadDatabase(db, Q("127.0.0.1,1"), Q("pubs"), Q("sa"), Q("secret"), &message));
    EXPECT_EQ(db.Server, Q("127.0.0.1,1"));
    EXPECT_EQ(db.Name, Q("pubs"));
    EXPECT_FALSE(db.Connection);
    EXPECT_TRUE(message.startsWith(Q("Error connection to Database \r\n127.0.0.1,1\\pubs\r\n\r\nError Number: ")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(Q("\r\nDescription: "))) << message.toStdString();
    EXPECT_FALSE(message.contains(Q("secret")));
}

TEST(CatalogLoader, ExecuteSqlReturnsTrueOrPassesTheErrorOn) {
    Shop shop;
    EXPECT_TRUE(ExecuteSQL(shop.Db, Q("UPDATE x SET y = 1")));
    shop.Connection->Failing.insert(Q("DROP TABLE x"));
    try {
        ExecuteSQL(shop.Db, Q("DROP TABLE x"));
        FAIL() << "expected the error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 7601);
    }
    EXPECT_EQ(shop.Connection->Errors().size(), 1);
    Tovimar_Database unconnected;
    EXPECT_THROW(ExecuteSQL(unconnected, Q("SELECT 1")), TovimarException);
}

}  // namespace
