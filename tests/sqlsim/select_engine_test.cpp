// Join, aggregate, ordering and expression semantics of the SELECT engine.
#include "sim_test_util.h"

using namespace simtest;

namespace {

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = server_.Connect(QStringLiteral("tempdb"));
        sqlsim::BatchResult r = session_->ExecuteScript(QStringLiteral(
            "CREATE TABLE a (id int NOT NULL, name varchar(20) NULL, grp int NULL)\n"
            "CREATE TABLE b (aid int NULL, qty int NULL, price money NULL)\n"
            "INSERT a VALUES (1, 'one', 10) INSERT a VALUES (2, 'two', 10) INSERT a VALUES (3, 'three', 20)\n"
            "INSERT a VALUES (4, NULL, NULL)\n"
            "INSERT b VALUES (1, 5, $1.50) INSERT b VALUES (1, 7, $2.25) INSERT b VALUES (3, 1, NULL)\n"
            "INSERT b VALUES (NULL, 2, $9.00)\n"));
        ASSERT_EQ(Errors(r).toStdString(), std::string());
    }
    std::vector<QString> Column(const QString& sql, size_t col = 0) {
        sqlsim::ResultSet rs = Query(*session_, sql);
        std::vector<QString> out;
        for (const auto& row : rs.rows) out.push_back(row[col].IsNull() ? QStringLiteral("NULL") : row[col].AsString());
        return out;
    }
    QString One(const QString& sql) {
        auto v = Column(sql);
        return v.empty() ? QStringLiteral("<none>") : v[0];
    }
    sqlsim::Server server_;
    std::unique_ptr<sqlsim::Session> session_;
};

std::vector<QString> L(std::initializer_list<const char*> items) {
    std::vector<QString> v;
    for (const char* i : items) v.push_back(QString::fromUtf8(i));
    return v;
}

}  // namespace

TEST_F(Engine, InnerJoinMatchesEveryPairAndDropsNullKeys) {
    EXPECT_EQ(Column(QStringLiteral("SELECT a.name FROM a INNER JOIN b ON a.id = b.aid ORDER BY b.qty")),
              L({"three", "one", "one"}));
    // Old-style join through WHERE.
    EXPECT_EQ(Column(QStringLiteral("SELECT COUNT(*) FROM a, b WHERE a.id = b.aid")), L({"3"}));
}

TEST_F(Engine, JoinOnAlternativeEqualitiesMatchesEachPairOnce) {
    // An OR of column equalities is looked up per alternative: every pair either one matches
    // comes out once, NULL keys match nothing, and the outer join keeps what matched none.
    const struct {
        const char* sql;
        std::vector<QString> rows;
    } cases[] = {
        {"SELECT STR(a.id, 1) + ':' + STR(b.qty, 1) FROM a INNER JOIN b ON a.id = b.aid OR a.id = b.qty "
         "ORDER BY a.id, b.qty",
         L({"1:1", "1:5", "1:7", "2:2", "3:1"})},
        {"SELECT COUNT(*) FROM a INNER JOIN b ON b.aid = a.id OR a.id = b.aid", L({"3"})},
        {"SELECT COUNT(*) FROM a INNER JOIN b ON (a.id = b.aid OR a.grp = b.qty) AND b.qty > 5", L({"1"})},
        {"SELECT STR(a.id, 1) + ':' + ISNULL(STR(b.qty, 1), '-') FROM a LEFT JOIN b ON a.id = b.qty OR a.grp = b.aid "
         "ORDER BY a.id",
         L({"1:1", "2:2", "3:-", "4:-"})},
    };
    for (const auto& c : cases) EXPECT_EQ(Column(QString::fromUtf8(c.sql)), c.rows) << c.sql;
}

TEST_F(Engine, LeftJoinKeepsUnmatchedRowsWithNulls) {
    EXPECT_EQ(Column(QStringLiteral("SELECT a.id, b.qty FROM a LEFT OUTER JOIN b ON a.id = b.aid AND b.qty > 5 ORDER BY a.id"), 1),
              L({"7", "NULL", "NULL", "NULL"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT b.qty FROM a RIGHT JOIN b ON a.id = b.aid WHERE a.id IS NULL")), L({"2"}));
}

TEST_F(Engine, GroupByWithAggregatesAndHaving) {
    EXPECT_EQ(Column(QStringLiteral("SELECT grp, COUNT(*) AS n FROM a GROUP BY grp ORDER BY grp"), 1), L({"1", "2", "1"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT grp FROM a GROUP BY grp HAVING COUNT(*) > 1")), L({"10"}));
    EXPECT_EQ(One(QStringLiteral("SELECT SUM(qty) FROM b")), QStringLiteral("15"));
    EXPECT_EQ(One(QStringLiteral("SELECT AVG(qty) FROM b")), QStringLiteral("3"));  // integer average
    EXPECT_EQ(One(QStringLiteral("SELECT SUM(price) FROM b")), QStringLiteral("12.75"));
    EXPECT_EQ(One(QStringLiteral("SELECT COUNT(price) FROM b")), QStringLiteral("3"));  // NULLs are not counted
    EXPECT_EQ(One(QStringLiteral("SELECT COUNT(DISTINCT aid) FROM b")), QStringLiteral("2"));
    EXPECT_EQ(One(QStringLiteral("SELECT MAX(name) FROM a")), QStringLiteral("two"));
    // An aggregate over no rows gives one row; COUNT is 0 and SUM is NULL.
    EXPECT_EQ(One(QStringLiteral("SELECT COUNT(*) FROM a WHERE id > 100")), QStringLiteral("0"));
    EXPECT_EQ(One(QStringLiteral("SELECT SUM(id) FROM a WHERE id > 100")), QStringLiteral("NULL"));
    EXPECT_EQ(Column(QStringLiteral("SELECT grp, SUM(id) FROM a WHERE id > 100 GROUP BY grp")).size(), 0u);
}

TEST_F(Engine, OrderByDirectionNullsAliasAndOrdinal) {
    EXPECT_EQ(Column(QStringLiteral("SELECT name FROM a ORDER BY name DESC")), L({"two", "three", "one", "NULL"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT name AS n FROM a ORDER BY n")), L({"NULL", "one", "three", "two"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT id, name FROM a ORDER BY 2, 1")), L({"4", "1", "3", "2"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT TOP 2 id FROM a ORDER BY id DESC")), L({"4", "3"}));
}

TEST_F(Engine, DistinctUnionAndDerivedTables) {
    EXPECT_EQ(Column(QStringLiteral("SELECT DISTINCT grp FROM a WHERE grp IS NOT NULL ORDER BY grp")), L({"10", "20"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT grp FROM a WHERE grp = 10 UNION SELECT 20 ORDER BY 1")), L({"10", "20"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT grp FROM a WHERE grp = 10 UNION ALL SELECT 10")).size(), 3u);
    EXPECT_EQ(One(QStringLiteral("SELECT T.n FROM (SELECT COUNT(*) AS n FROM a) AS T")), QStringLiteral("4"));
    sqlsim::BatchResult r = session_->Execute(QStringLiteral("SELECT * FROM (SELECT COUNT(*) FROM a) AS T"));
    ASSERT_FALSE(r.messages.empty());
    EXPECT_EQ(r.messages[0].number, 8155);
}

TEST_F(Engine, PredicatesWithNullLogic) {
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a WHERE name LIKE 't%' ORDER BY id")), L({"2", "3"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a WHERE name LIKE '[o-p]_e'")), L({"1"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a WHERE grp NOT IN (20) ORDER BY id")), L({"1", "2"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a WHERE id NOT IN (SELECT aid FROM b)")).size(), 0u);  // NULL in the list
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a WHERE EXISTS (SELECT * FROM b WHERE b.aid = a.id) ORDER BY id")), L({"1", "3"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a WHERE id BETWEEN 2 AND 3 ORDER BY id")), L({"2", "3"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a WHERE NOT (grp = 10)")), L({"3"}));
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a WHERE name = NULL")).size(), 0u);
    session_->Execute(QStringLiteral("SET ANSI_NULLS OFF"));
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a WHERE name = NULL")), L({"4"}));
}

TEST_F(Engine, ExpressionsFollowServerTypeRules) {
    EXPECT_EQ(One(QStringLiteral("SELECT 'a' + 'b'")), QStringLiteral("ab"));
    EXPECT_EQ(One(QStringLiteral("SELECT 1 + '2'")), QStringLiteral("3"));
    EXPECT_EQ(One(QStringLiteral("SELECT 'x' + NULL")), QStringLiteral("NULL"));
    EXPECT_EQ(One(QStringLiteral("SELECT 7 / 2")), QStringLiteral("3"));
    EXPECT_EQ(One(QStringLiteral("SELECT 7 % 3")), QStringLiteral("1"));
    EXPECT_EQ(One(QStringLiteral("SELECT 1.0 / 3")), QStringLiteral("0.333333"));
    EXPECT_EQ(One(QStringLiteral("SELECT 27 & 0xf")), QStringLiteral("11"));
    EXPECT_EQ(One(QStringLiteral("SELECT CASE WHEN 1 = 2 THEN 'no' WHEN 2 = 2 THEN 'yes' END")), QStringLiteral("yes"));
    EXPECT_EQ(One(QStringLiteral("SELECT CASE grp WHEN 20 THEN 'twenty' ELSE 'other' END FROM a WHERE id = 3")), QStringLiteral("twenty"));
    EXPECT_EQ(One(QStringLiteral("SELECT ISNULL(name, 'none') FROM a WHERE id = 4")), QStringLiteral("none"));
    EXPECT_EQ(One(QStringLiteral("SELECT LTRIM(STR(2.5, 18, 6))")), QStringLiteral("2.500000"));
    EXPECT_EQ(One(QStringLiteral("SELECT QUOTENAME('a]b') + '.' + QUOTENAME('c')")), QStringLiteral("[a]]b].[c]"));
    EXPECT_EQ(One(QStringLiteral("SELECT REPLACE('1,5', ',', '.')")), QStringLiteral("1.5"));
    EXPECT_EQ(One(QStringLiteral("SELECT SUBSTRING('abcdef', 2, 3) + UPPER('x') + LOWER('Y')")), QStringLiteral("bcdXy"));
    EXPECT_EQ(One(QStringLiteral("SELECT LEN('ab  ')")), QStringLiteral("2"));
    EXPECT_EQ(One(QStringLiteral("SELECT CONVERT(varchar(30), CONVERT(datetime, '7/4/1996'), 121)")), QStringLiteral("1996-07-04 00:00:00.000"));
    EXPECT_EQ(One(QStringLiteral("SELECT DATENAME(yy, '19970101')")), QStringLiteral("1997"));
    EXPECT_EQ(One(QStringLiteral("SELECT CHARINDEX(N'master.mdf', LOWER(N'C:\\DATA\\MASTER.MDF'))")), QStringLiteral("9"));
    EXPECT_EQ(One(QStringLiteral("SELECT CAST(2.567 AS decimal(5,2))")), QStringLiteral("2.57"));
    EXPECT_EQ(One(QStringLiteral("SELECT $1.5 * 2")), QStringLiteral("3.00"));
}

TEST_F(Engine, VariablesAssignedBySelectAndSet) {
    sqlsim::BatchResult r = session_->Execute(QStringLiteral(
        "DECLARE @n int, @s varchar(10) SELECT @n = COUNT(*) FROM a SET @s = 'x' + CONVERT(varchar, @n) SELECT @s"));
    ASSERT_EQ(Errors(r).toStdString(), std::string());
    ASSERT_EQ(r.resultSets.size(), 1u);
    EXPECT_EQ(r.resultSets[0].rows[0][0].AsString().toStdString(), "x4");
}

TEST_F(Engine, ResultColumnsCarryTypes) {
    sqlsim::ResultSet rs = Query(*session_, QStringLiteral("SELECT id, name, price, name + 'x' AS c, COUNT(*) AS n FROM a, b GROUP BY id, name, price"));
    ASSERT_EQ(rs.columns.size(), 5u);
    EXPECT_EQ(rs.columns[0].xtype, 56);
    EXPECT_EQ(rs.columns[1].xtype, 167);
    EXPECT_EQ(rs.columns[1].length, 20);
    EXPECT_EQ(rs.columns[2].xtype, 60);
    EXPECT_EQ(rs.columns[3].length, 21);
    EXPECT_EQ(rs.columns[4].name.toStdString(), "n");
}

TEST_F(Engine, SetRowcountLimitsResults) {
    session_->Execute(QStringLiteral("SET ROWCOUNT 2"));
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a")).size(), 2u);
    session_->Execute(QStringLiteral("SET ROWCOUNT 0"));
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM a")).size(), 4u);
}

TEST_F(Engine, GroupByWithRollupAddsSubtotalsAndGrandTotal) {
    sqlsim::ResultSet rs = Query(*session_, QStringLiteral(
        "SELECT grp, name, COUNT(*) AS n, GROUPING(name) AS g FROM a WHERE grp IS NOT NULL GROUP BY grp, name WITH ROLLUP"));
    std::vector<QString> lines;
    for (size_t i = 0; i < rs.rows.size(); ++i)
        lines.push_back(Text(rs, i, "grp") + "|" + Text(rs, i, "name") + "|" + Text(rs, i, "n") + "|" + Text(rs, i, "g"));
    EXPECT_EQ(lines, L({"10|one|1|0", "10|two|1|0", "10|NULL|2|1", "20|three|1|0", "20|NULL|1|1", "NULL|NULL|3|1"}));
}
