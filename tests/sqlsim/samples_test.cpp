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

TEST_F(SamplesTest, VersionQueriesReadCompatibilityLevels) {
    auto nw = Open("Northwind");
    sqlsim::ResultSet rs = Query(*nw, cq::DatabaseLevel(QStringLiteral("'Northwind'")));
    ASSERT_EQ(rs.rows.size(), 1u);
    EXPECT_EQ(Int(rs, 0, "CmptLevel"), 80);
    rs = Query(*nw, cq::DatabaseLevel(QStringLiteral("'nosuchdb'")));
    EXPECT_EQ(rs.rows.size(), 0u);
}

TEST_F(SamplesTest, FingerprintChangesWithTheSchema) {
    sqlsim::Server server;
    auto s = server.Connect();
    s->Execute(QStringLiteral("CREATE DATABASE fp"));
    s->Execute(QStringLiteral("USE fp"));
    s->Execute(QStringLiteral("CREATE TABLE t (a int)"));
    s->Execute(QStringLiteral("GRANT SELECT ON t TO public"));
    sqlsim::ResultSet before = Query(*s, cq::Fingerprint());
    ASSERT_EQ(before.rows.size(), 1u);
    const QString v1 = Text(before, 0, "Version");
    EXPECT_EQ(v1.split(u';').size(), 5) << v1.toStdString();
    EXPECT_FALSE(v1.contains(u',')) << v1.toStdString();
    s->Execute(QStringLiteral("CREATE TABLE u (b int)"));
    const QString v2 = Text(Query(*s, cq::Fingerprint()), 0, "Version");
    EXPECT_NE(v1.toStdString(), v2.toStdString());
    // Without any permission the averages are NULL, and so is the concatenation.
    auto nw = Open("Northwind");
    EXPECT_EQ(Text(Query(*nw, cq::Fingerprint()), 0, "Version").toStdString(), "NULL");
}

TEST_F(SamplesTest, FileGroupsAndTables) {
    auto nw = Open("Northwind");
    sqlsim::ResultSet fg = Query(*nw, cq::FileGroups());
    ASSERT_EQ(fg.rows.size(), 1u);
    EXPECT_EQ(Text(fg, 0, "groupname").toStdString(), "PRIMARY");
    EXPECT_EQ(Int(fg, 0, "IsDefault"), 1);

    sqlsim::ResultSet t = Query(*nw, cq::Tables(1));
    ASSERT_EQ(t.rows.size(), 13u);
    EXPECT_EQ(Text(t, 0, "Table").toStdString(), "Categories");
    EXPECT_EQ(Text(t, 0, "Owner").toStdString(), "dbo");
    EXPECT_EQ(Int(t, 0, "FileGroupID"), 1);
    EXPECT_EQ(Text(t, 0, "TextFileGroupID").toStdString(), "1");  // ntext and image columns
    EXPECT_EQ(Text(t, 12, "Table").toStdString(), "Territories");
    for (size_t i = 0; i < t.rows.size(); ++i)
        if (Text(t, i, "Table") == "Region") {
EXPECT_EQ(Text(t, i, "TextFileGroupID").toStdString(), "NULL");
}
}

TEST_F(SamplesTest, RelationsBothPasses) {
    auto nw = Open("Northwind");
    sqlsim::ResultSet first = Query(*nw, cq::Relations(true));
    EXPECT_EQ(first.rows.size(), 13u);
    sqlsim::ResultSet second = Query(*nw, cq::Relations(false));
    ASSERT_EQ(second.rows.size(), 13u);
    bool found = false;
    for (size_t i = 0; i < second.rows.size(); ++i) {
        if (Text(second, i, "Relation") != "FK_Order_Details_Orders") continue;
        found = true;
        EXPECT_EQ(Text(second, i, "ForeignTable").toStdString(), "Order Details");
        EXPECT_EQ(Text(second, i, "PrimaryTable").toStdString(), "Orders");
        EXPECT_EQ(Int(second, i, "fkey1"), 1);
        EXPECT_EQ(Int(second, i, "rkey1"), 1);
        EXPECT_EQ(Int(second, i, "fkey2"), 0);
        EXPECT_EQ(Int(second, i, "IsNoCheck"), 0);
        EXPECT_EQ(Int(second, i, "DeleteCascade"), 0);
    }
    EXPECT_TRUE(found);
    // Excluding both tables of every relation leaves nothing in the second pass.
    sqlsim::ResultSet ids = Query(*nw, QStringLiteral("SELECT id FROM sysobjects WHERE type = 'U'"));
    QStringList all;
    for (const auto& row : ids.rows) all << row[0].AsString();
    EXPECT_EQ(Query(*nw, cq::Relations(false, all.join(u','))).rows.size(), 0u);
    EXPECT_EQ(Query(*nw, cq::Relations(true, all.join(u','))).rows.size(), 0u);
}

TEST_F(SamplesTest, ViewsProceduresFunctionsAndTriggers) {
    auto nw = Open("Northwind");
    sqlsim::ResultSet views = Query(*nw, cq::Views());
    ASSERT_EQ(views.rows.size(), 16u);
    EXPECT_EQ(Text(views, 0, "View").toStdString(), "Alphabetical list of products");
    EXPECT_TRUE(Text(views, 0, "Definition").startsWith(QLatin1String("create view \"Alphabetical list of products\" AS")));
    EXPECT_EQ(Int(views, 0, "Status"), 24);
    EXPECT_EQ(Int(views, 0, "colid"), 1);
    sqlsim::ResultSet pre = Query(*nw, cq::ProceduresPre());
    EXPECT_EQ(pre.rows.size(), 7u);
    EXPECT_EQ(Text(pre, 0, "Owner").toStdString(), "[dbo]");
    sqlsim::ResultSet procs = Query(*nw, cq::Procedures());
    ASSERT_EQ(procs.rows.size(), 7u);
    EXPECT_EQ(Text(procs, 0, "Procedure").toStdString(), "CustOrderHist");
    EXPECT_EQ(Int(procs, 0, "number"), 1);
    EXPECT_GT(Query(*nw, cq::FunctionsPre()).rows.size(), 0u);  // every object has the property
    // Excluding some procedures by id.
    QString ids = Text(pre, 0, "id") + "," + Text(pre, 1, "id");
    EXPECT_EQ(Query(*nw, cq::Procedures(ids)).rows.size(), 5u);

    auto pubs = Open("pubs");
    sqlsim::ResultSet trPre = Query(*pubs, cq::TriggersPre());
    ASSERT_EQ(trPre.rows.size(), 1u);
    EXPECT_EQ(Text(trPre, 0, "FullName2").toStdString(), "[dbo].[employee].[employee_insupd]");
    sqlsim::ResultSet tr = Query(*pubs, cq::Triggers());
    ASSERT_EQ(tr.rows.size(), 1u);
    EXPECT_EQ(Text(tr, 0, "Table").toStdString(), "employee");
    EXPECT_TRUE(Text(tr, 0, "Definition").startsWith(QLatin1String("CREATE TRIGGER employee_insupd")));
}

TEST_F(SamplesTest, ColumnsWithTypesAndIdentity) {
    auto nw = Open("Northwind");
    sqlsim::ResultSet cols = Query(*nw, cq::Columns());
    ASSERT_FALSE(cols.rows.empty());
    bool sawCategoryId = false, sawViewColumn = false;
    for (size_t i = 0; i < cols.rows.size(); ++i) {
        if (Text(cols, i, "Table") == "Categories" && Text(cols, i, "name") == "CategoryID") {
            sawCategoryId = true;
            EXPECT_EQ(Text(cols, i, "Datentyp").toStdString(), "int");
            EXPECT_EQ(Int(cols, i, "IsIdentity"), 1);
            EXPECT_EQ(Int(cols, i, "ID_Start"), 1);
            EXPECT_EQ(Int(cols, i, "ID_Schritt"), 1);
            EXPECT_EQ(Int(cols, i, "isnullable"), 0);
        }
        if (Text(cols, i, "Table") == "Categories" && Text(cols, i, "name") == "CategoryName") {
            EXPECT_EQ(Text(cols, i, "Datentyp").toStdString(), "nvarchar");
            EXPECT_EQ(Int(cols, i, "length"), 30);
            EXPECT_EQ(Int(cols, i, "prec"), 15);
            EXPECT_EQ(Text(cols, i, "Collation").toStdString(), "SQL_Latin1_General_CP1_CI_AS");
            EXPECT_EQ(Text(cols, i, "ID_Start").toStdString(), "1");  // the table's seed, on every column
        }
        if (Text(cols, i, "Table") == "Region") {
            EXPECT_EQ(Text(cols, i, "ID_Start").toStdString(), "NULL");
        }
        if (Text(cols, i, "ObjType").trimmed() == "V") {
            sawViewColumn = true;
            EXPECT_EQ(Int(cols, i, "ID_Start"), 0);
        }
    }
    EXPECT_TRUE(sawCategoryId);
    EXPECT_TRUE(sawViewColumn);
    auto pubs = Open("pubs");
    sqlsim::ResultSet pc = Query(*pubs, cq::Columns());
    bool sawUserType = false;
    for (size_t i = 0; i < pc.rows.size(); ++i) {
        if (Text(pc, i, "Table") == "authors" && Text(pc, i, "name") == "au_id") {
            sawUserType = true;
            EXPECT_EQ(Text(pc, i, "Datentyp").toStdString(), "id");
            EXPECT_EQ(Int(pc, i, "length"), 11);
            EXPECT_EQ(Int(pc, i, "isnullable"), 0);
        }
        if (Text(pc, i, "Table") == "jobs" && Text(pc, i, "name") == "job_id") {
            EXPECT_EQ(Int(pc, i, "IsIdentity"), 1);
            EXPECT_EQ(Int(pc, i, "ID_Start"), 1);
        }
        if (Text(pc, i, "Table") == "employee" && Text(pc, i, "name") == "job_lvl") {
EXPECT_EQ(Int(pc, i, "isnullable"), 1);
}
    }
    EXPECT_TRUE(sawUserType);
    EXPECT_EQ(Query(*pubs, cq::Formulas()).rows.size(), 0u);
}

TEST_F(SamplesTest, IndexesWithKeyOrder) {
    auto nw = Open("Northwind");
    sqlsim::ResultSet ix = Query(*nw, cq::Indexes());
    std::vector<QString> pkFields;
    for (size_t i = 0; i < ix.rows.size(); ++i) {
        if (Text(ix, i, "Index") != "PK_Order_Details") continue;
        pkFields.push_back(Text(ix, i, "Field"));
        EXPECT_EQ(Int(ix, i, "IsUnique"), 1);
        EXPECT_EQ(Int(ix, i, "IsClustered"), 1);
        EXPECT_EQ(Int(ix, i, "IsUniqueConstraint"), 0);
        EXPECT_EQ(Int(ix, i, "IsPrimaryClustered"), 1);
        EXPECT_EQ(Int(ix, i, "IsPrimaryNonClustered"), 0);
        EXPECT_EQ(Int(ix, i, "indid"), 1);
    }
    ASSERT_EQ(pkFields.size(), 2u);
    EXPECT_EQ(pkFields[0].toStdString(), "OrderID");
    EXPECT_EQ(pkFields[1].toStdString(), "ProductID");
    for (size_t i = 0; i < ix.rows.size(); ++i) {
        if (Text(ix, i, "Index") == "PK_Region") {
            EXPECT_EQ(Int(ix, i, "IsPrimaryNonClustered"), 1);
            EXPECT_EQ(Int(ix, i, "IsClustered"), 0);
        }
        if (Text(ix, i, "Index") == "PostalCode") {
EXPECT_EQ(Int(ix, i, "IsPrimaryClustered"), 0);
}
    }
    auto pubs = Open("pubs");
    sqlsim::ResultSet pix = Query(*pubs, cq::Indexes());
    std::vector<QString> empFields;
    for (size_t i = 0; i < pix.rows.size(); ++i)
        if (Text(pix, i, "Index") == "employee_ind") empFields.push_back(Text(pix, i, "Field"));
    ASSERT_EQ(empFields.size(), 3u);
    EXPECT_EQ(empFields[0].toStdString(), "lname");
    EXPECT_EQ(empFields[2].toStdString(), "minit");
}

TEST_F(SamplesTest, DefaultsAndChecksWithTheirText) {
    auto nw = Open("Northwind");
    sqlsim::ResultSet checks = Query(*nw, cq::Checks());
    ASSERT_EQ(checks.rows.size(), 8u);
    bool sawBirthdate = false;
    for (size_t i = 0; i < checks.rows.size(); ++i) {
        if (Text(checks, i, "Check") != "CK_Birthdate") continue;
        sawBirthdate = true;
        EXPECT_EQ(Text(checks, i, "Table").toStdString(), "Employees");
        EXPECT_EQ(Text(checks, i, "Definition").toStdString(), "([BirthDate] < getdate())");
        EXPECT_EQ(Int(checks, i, "status") & 256, 0);
    }
    EXPECT_TRUE(sawBirthdate);
    sqlsim::ResultSet defaults = Query(*nw, cq::Defaults());
    ASSERT_EQ(defaults.rows.size(), 9u);
    for (size_t i = 0; i < defaults.rows.size(); ++i)
        if (Text(defaults, i, "Default") == "DF_Orders_Freight") {
            EXPECT_EQ(Text(defaults, i, "Field").toStdString(), "Freight");
            EXPECT_EQ(Text(defaults, i, "Definition").toStdString(), "(0)");
        }
    auto pubs = Open("pubs");
    sqlsim::ResultSet pd = Query(*pubs, cq::Defaults());
    ASSERT_EQ(pd.rows.size(), 9u);
    bool sawPhone = false;
    for (size_t i = 0; i < pd.rows.size(); ++i)
        if (Text(pd, i, "Table") == "authors" && Text(pd, i, "Field") == "phone") {
            sawPhone = true;
            EXPECT_EQ(Text(pd, i, "Definition").toStdString(), "('UNKNOWN')");
            EXPECT_TRUE(Text(pd, i, "Default").startsWith(QLatin1String("DF__authors__phone__")));
        }
    EXPECT_TRUE(sawPhone);
}

TEST_F(SamplesTest, FullTextHelpFailsWhenNotEnabled) {
    auto nw = Open("Northwind");
    EXPECT_EQ(Outcome(*nw, QStringLiteral("EXEC sp_help_fulltext_tables")), "Msg 15601");
    EXPECT_EQ(Query(*nw, cq::Catalogs()).rows.size(), 0u);
}
