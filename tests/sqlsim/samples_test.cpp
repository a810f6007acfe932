// Northwind and pubs load without errors and the catalog queries return what the real server
// returns for them.
#include "catalog_queries.h"
#include "sim_test_util.h"

using namespace simtest;
namespace cq = catalog_queries;

namespace {

class SamplesTest : public ::testing::Test {
protected:
    void SetUp() override {
        samples_ = LoadedSamples();
        if (!samples_) GTEST_SKIP() << "sample scripts not found in " TOVIMAR_SAMPLES_DIR;
    }
    std::unique_ptr<sqlsim::Session> Open(const char* db) { return samples_->server.Connect(QString::fromLatin1(db)); }
    Samples* samples_ = nullptr;
};

long long Count(sqlsim::Session& s, const QString& sql) {
    sqlsim::ResultSet rs = Query(s, sql);
    return rs.rows.empty() ? -1 : rs.rows[0][0].AsInt();
}

}  // namespace

TEST_F(SamplesTest, BothScriptsLoadWithoutErrors) {
    EXPECT_EQ(Errors(samples_->northwind).toStdString(), std::string());
    EXPECT_EQ(Errors(samples_->pubs).toStdString(), std::string());
    EXPECT_FALSE(samples_->northwind.cancelled);
}

// The counts of objects of each kind are those the catalog load of the samples checks
// (tests/integration); here the rows and the type bits.
TEST_F(SamplesTest, CountsOfRowsAndTypeBitsMatchTheScripts) {
    struct Expect { const char* db; QString sql; long long n; };
    std::vector<Expect> expected;
    const std::pair<const char*, std::vector<std::pair<const char*, long long>>> rows[] = {
        {"Northwind", {{"Employees", 9}, {"Categories", 8}, {"Customers", 91}, {"Shippers", 3}, {"Suppliers", 29},
                       {"Orders", 830}, {"Products", 77}, {"[Order Details]", 2155}, {"CustomerCustomerDemo", 0},
                       {"CustomerDemographics", 0}, {"Region", 4}, {"Territories", 53}, {"EmployeeTerritories", 49},
                       {"Invoices", 2155}, {"[Category Sales for 1997]", 8}}},
        {"pubs", {{"authors", 23}, {"publishers", 8}, {"titles", 18}, {"titleauthor", 25}, {"stores", 6}, {"sales", 21},
                  {"roysched", 86}, {"discounts", 3}, {"jobs", 14}, {"pub_info", 8}, {"employee", 43}}}};
    for (const auto& [db, tables] : rows)
        for (const auto& [table, n] : tables) expected.push_back({db, QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table), n});
    // Non-key indexes: 26 in Northwind, 7 in pubs (titleidind exists on three tables); the drop
    // guards of generated scripts test the type bits of sysstat.
    expected.insert(expected.end(), {
        {"Northwind", QStringLiteral("SELECT COUNT(*) FROM sysindexes i WHERE indid BETWEEN 1 AND 250 AND NOT EXISTS "
                                     "(SELECT * FROM sysobjects k WHERE k.parent_obj = i.id AND k.name = i.name)"), 26},
        {"pubs", QStringLiteral("SELECT COUNT(*) FROM sysindexes WHERE name = 'titleidind'"), 3},
        {"pubs", QStringLiteral("SELECT COUNT(*) FROM systypes WHERE xusertype > 256"), 3},
        {"Northwind", QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE id = object_id('dbo.Employee Sales by Country') AND sysstat & 0xf = 4"), 1},
        {"Northwind", QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE sysstat & 0xf = 2"), 16},
        {"Northwind", QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE sysstat & 0xf = 3"), 13},
        {"Northwind", QStringLiteral("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = 'BASE TABLE'"), 13},
        {"pubs", QStringLiteral("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS"), 25},
    });
    for (const Expect& e : expected) {
        auto s = Open(e.db);
        EXPECT_EQ(Count(*s, e.sql), e.n) << e.db << ": " << e.sql.toStdString();
    }
}

TEST_F(SamplesTest, DataValuesSurviveLoadingAndCodeRuns) {
    const std::tuple<const char*, const char*, const char*> values[] = {
        {"Northwind", "SELECT ProductName FROM Products WHERE ProductID = 4", "Chef Anton's Cajun Seasoning"},
        {"Northwind", "SELECT UnitPrice FROM Products WHERE ProductID = 4", "22.00"},
        {"Northwind", "SELECT CONVERT(varchar(30), OrderDate, 121) FROM Orders WHERE OrderID = 10248", "1996-07-04 00:00:00.000"},
        {"Northwind", "SELECT CASE WHEN DATALENGTH(Picture) > 10000 THEN 'large' END FROM Categories WHERE CategoryID = 1", "large"},
        {"Northwind", "SELECT IDENT_CURRENT('Orders')", "11077"},  // identity values continue after explicit inserts
        {"Northwind", "SELECT CategoryName FROM [Category Sales for 1997] ORDER BY CategoryName", "Beverages"},
        {"Northwind", "EXEC [Ten Most Expensive Products]", "Côte de Blaye"},
        {"pubs", "SELECT price FROM titles WHERE title_id = 'PC8888'", "20.00"},
        {"pubs", "SELECT MAX(job_id) FROM jobs", "14"},
        {"pubs", "SELECT CONVERT(varchar(10), pubdate, 111) FROM titles WHERE title_id = 'PC8888'", "1994/06/12"},
    };
    for (const auto& [db, sql, value] : values) {
        auto s = Open(db);
        sqlsim::ResultSet rs = Query(*s, QString::fromUtf8(sql));
        ASSERT_FALSE(rs.rows.empty()) << sql;
        EXPECT_EQ(rs.rows[0][0].AsString().toStdString(), value) << sql;
    }
    auto nw = Open("Northwind");
    EXPECT_GT(Query(*nw, QStringLiteral("EXEC CustOrderHist 'ALFKI'")).rows.size(), 5u);
    EXPECT_EQ(Query(*nw, QStringLiteral("EXEC [Ten Most Expensive Products]")).rows.size(), 10u);
}

// The fingerprint's five parts (that it changes with the schema: the catalog load's snapshot test).
TEST_F(SamplesTest, FingerprintHasFivePartsOrIsNullWithoutPermissions) {
    sqlsim::Server server;
    auto s = server.Connect();
    ASSERT_EQ(Errors(s->ExecuteScript(QStringLiteral("CREATE DATABASE fp\nGO\nUSE fp\nGO\nCREATE TABLE t (a int)\n"
                                                      "GRANT SELECT ON t TO public\n"))).toStdString(), std::string());
    sqlsim::ResultSet fingerprint = Query(*s, cq::Fingerprint());
    ASSERT_EQ(fingerprint.rows.size(), 1u);
    const QString version = Text(fingerprint, 0, "Version");
    EXPECT_EQ(version.split(u';').size(), 5) << version.toStdString();
    EXPECT_FALSE(version.contains(u',')) << version.toStdString();
    // Without any permission the averages are NULL, and so is the concatenation.
    auto nw = Open("Northwind");
    EXPECT_EQ(Text(Query(*nw, cq::Fingerprint()), 0, "Version").toStdString(), "NULL");
}

TEST_F(SamplesTest, CatalogQueriesAnswerAsTheRealServerDoes) {
    const struct {
        const char* db;
        QString query;
        const char* where;
        const char* column;
        const char* expected;  // ending in "*": the start of the value
    } cases[] = {
        {"Northwind", cq::FileGroups(), "", "#rows", "1"},
        {"Northwind", cq::FileGroups(), "", "groupname", "PRIMARY"},
        {"Northwind", cq::FileGroups(), "", "IsDefault", "1"},
        {"Northwind", cq::Tables(1), "#0", "Table", "Categories"},
        {"Northwind", cq::Tables(1), "#0", "Owner", "dbo"},
        {"Northwind", cq::Tables(1), "#0", "FileGroupID", "1"},
        {"Northwind", cq::Tables(1), "#0", "TextFileGroupID", "1"},  // ntext and image columns
        {"Northwind", cq::Tables(1), "#12", "Table", "Territories"},
        {"Northwind", cq::Tables(1), "Table=Region", "TextFileGroupID", "NULL"},
        {"Northwind", cq::Relations(true), "", "#rows", "13"},
        {"Northwind", cq::Relations(false), "Relation=FK_Order_Details_Orders", "ForeignTable", "Order Details"},
        {"Northwind", cq::Relations(false), "Relation=FK_Order_Details_Orders", "PrimaryTable", "Orders"},
        {"Northwind", cq::Relations(false), "Relation=FK_Order_Details_Orders", "fkey1", "1"},
        {"Northwind", cq::Relations(false), "Relation=FK_Order_Details_Orders", "rkey1", "1"},
        {"Northwind", cq::Relations(false), "Relation=FK_Order_Details_Orders", "fkey2", "0"},
        {"Northwind", cq::Relations(false), "Relation=FK_Order_Details_Orders", "IsNoCheck", "0"},
        {"Northwind", cq::Relations(false), "Relation=FK_Order_Details_Orders", "DeleteCascade", "0"},
        {"Northwind", cq::Views(), "#0", "View", "Alphabetical list of products"},
        {"Northwind", cq::Views(), "#0", "Definition", "create view \"Alphabetical list of products\" AS*"},
        {"Northwind", cq::Views(), "#0", "Status", "24"},
        {"Northwind", cq::Views(), "#0", "colid", "1"},
        {"Northwind", cq::ProceduresPre(), "#0", "Owner", "[dbo]"},
        {"Northwind", cq::Procedures(), "#0", "Procedure", "CustOrderHist"},
        {"Northwind", cq::Procedures(), "#0", "number", "1"},
        {"pubs", cq::TriggersPre(), "", "FullName2", "[dbo].[employee].[employee_insupd]"},
        {"pubs", cq::Triggers(), "", "Table", "employee"},
        {"pubs", cq::Triggers(), "", "Definition", "CREATE TRIGGER employee_insupd*"},
        {"Northwind", cq::Columns(), "Table=Categories,name=CategoryID", "Datentyp", "int"},
        {"Northwind", cq::Columns(), "Table=Categories,name=CategoryID", "IsIdentity", "1"},
        {"Northwind", cq::Columns(), "Table=Categories,name=CategoryID", "ID_Start", "1"},
        {"Northwind", cq::Columns(), "Table=Categories,name=CategoryID", "ID_Schritt", "1"},
        {"Northwind", cq::Columns(), "Table=Categories,name=CategoryID", "isnullable", "0"},
        {"Northwind", cq::Columns(), "Table=Categories,name=CategoryName", "Datentyp", "nvarchar"},
        {"Northwind", cq::Columns(), "Table=Categories,name=CategoryName", "length", "30"},
        {"Northwind", cq::Columns(), "Table=Categories,name=CategoryName", "prec", "15"},
        {"Northwind", cq::Columns(), "Table=Categories,name=CategoryName", "Collation", "SQL_Latin1_General_CP1_CI_AS"},
        {"Northwind", cq::Columns(), "Table=Categories,name=CategoryName", "ID_Start", "1"},  // the table's seed, on every column
        {"Northwind", cq::Columns(), "Table=Region", "ID_Start", "NULL"},
        {"Northwind", cq::Columns(), "ObjType=V", "ID_Start", "0"},
        {"pubs", cq::Columns(), "Table=authors,name=au_id", "Datentyp", "id"},
        {"pubs", cq::Columns(), "Table=authors,name=au_id", "length", "11"},
        {"pubs", cq::Columns(), "Table=authors,name=au_id", "isnullable", "0"},
        {"pubs", cq::Columns(), "Table=jobs,name=job_id", "IsIdentity", "1"},
        {"pubs", cq::Columns(), "Table=jobs,name=job_id", "ID_Start", "1"},
        {"pubs", cq::Columns(), "Table=employee,name=job_lvl", "isnullable", "1"},
        {"pubs", cq::Formulas(), "", "#rows", "0"},
        {"Northwind", cq::Indexes(), "Index=PK_Order_Details", "#rows", "2"},
        {"Northwind", cq::Indexes(), "Index=PK_Order_Details", "Field", "OrderID,ProductID"},
        {"Northwind", cq::Indexes(), "Index=PK_Order_Details", "IsUnique", "1"},
        {"Northwind", cq::Indexes(), "Index=PK_Order_Details", "IsClustered", "1"},
        {"Northwind", cq::Indexes(), "Index=PK_Order_Details", "IsUniqueConstraint", "0"},
        {"Northwind", cq::Indexes(), "Index=PK_Order_Details", "IsPrimaryClustered", "1"},
        {"Northwind", cq::Indexes(), "Index=PK_Order_Details", "IsPrimaryNonClustered", "0"},
        {"Northwind", cq::Indexes(), "Index=PK_Order_Details", "indid", "1"},
        {"Northwind", cq::Indexes(), "Index=PK_Region", "IsPrimaryNonClustered", "1"},
        {"Northwind", cq::Indexes(), "Index=PK_Region", "IsClustered", "0"},
        {"Northwind", cq::Indexes(), "Index=PostalCode", "IsPrimaryClustered", "0"},
        {"pubs", cq::Indexes(), "Index=employee_ind", "#rows", "3"},
        {"pubs", cq::Indexes(), "Index=employee_ind", "Field", "lname,fname,minit"},
        {"Northwind", cq::Checks(), "Check=CK_Birthdate", "Table", "Employees"},
        {"Northwind", cq::Checks(), "Check=CK_Birthdate", "Definition", "([BirthDate] < getdate())"},
        {"Northwind", cq::Checks(), "Check=CK_Birthdate", "status&256", "0"},
        {"Northwind", cq::Defaults(), "Default=DF_Orders_Freight", "Field", "Freight"},
        {"Northwind", cq::Defaults(), "Default=DF_Orders_Freight", "Definition", "(0)"},
        {"pubs", cq::Defaults(), "Table=authors,Field=phone", "Definition", "('UNKNOWN')"},
        {"pubs", cq::Defaults(), "Table=authors,Field=phone", "Default", "DF__authors__phone__*"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.db) + " " + c.where + " " + c.column);
        auto s = Open(c.db);
        const std::string actual = Values(Query(*s, c.query), QString::fromLatin1(c.where), QString::fromLatin1(c.column));
        const std::string expected = c.expected;
        if (!expected.empty() && expected.back() == '*')
            EXPECT_EQ(actual.substr(0, expected.size() - 1), expected.substr(0, expected.size() - 1)) << actual;
        else
            EXPECT_EQ(actual, expected);
    }
}

// Excluding objects by id: every relation's tables, some procedures.
TEST_F(SamplesTest, ExclusionListsLeaveOutTheObjectsNamed) {
    auto nw = Open("Northwind");
    QStringList all;
    for (const auto& row : Query(*nw, QStringLiteral("SELECT id FROM sysobjects WHERE type = 'U'")).rows) all << row[0].AsString();
    EXPECT_EQ(Query(*nw, cq::Relations(false, all.join(u','))).rows.size(), 0u);
    EXPECT_EQ(Query(*nw, cq::Relations(true, all.join(u','))).rows.size(), 0u);
    const sqlsim::ResultSet pre = Query(*nw, cq::ProceduresPre());
    ASSERT_EQ(pre.rows.size(), 7u);
    EXPECT_EQ(Query(*nw, cq::Procedures(Text(pre, 0, "id") + "," + Text(pre, 1, "id"))).rows.size(), 5u);
    EXPECT_GT(Query(*nw, cq::FunctionsPre()).rows.size(), 0u);  // every object has the property
}

TEST_F(SamplesTest, FullTextHelpFailsWhenNotEnabled) {
    auto nw = Open("Northwind");
    EXPECT_EQ(Outcome(*nw, QStringLiteral("EXEC sp_help_fulltext_tables")), "Msg 15601");
    EXPECT_EQ(Query(*nw, cq::Catalogs()).rows.size(), 0u);
}
