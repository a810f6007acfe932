// Join, aggregate, ordering and expression semantics of the SELECT engine.
#include "sim_test_util.h"

#include <QRegularExpression>
#include <algorithm>

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

TEST_F(Engine, JoinsOrderingSetsAndPredicates) {
    struct Case {
        const char* sql;
        size_t column;
        std::vector<QString> rows;
    } cases[] = {
        // Joins: inner pairs without NULL keys, old-style joins, outer joins filling NULLs.
        {"SELECT a.name FROM a INNER JOIN b ON a.id = b.aid ORDER BY b.qty", 0, L({"three", "one", "one"})},
        {"SELECT COUNT(*) FROM a, b WHERE a.id = b.aid", 0, L({"3"})},
        {"SELECT a.id, b.qty FROM a LEFT OUTER JOIN b ON a.id = b.aid AND b.qty > 5 ORDER BY a.id", 1, L({"7", "NULL", "NULL", "NULL"})},
        {"SELECT b.qty FROM a RIGHT JOIN b ON a.id = b.aid WHERE a.id IS NULL", 0, L({"2"})},
        // An OR of column equalities is looked up per alternative: each pair comes out once, NULL
        // keys match nothing, and the outer join keeps what matched none.
        {"SELECT STR(a.id, 1) + ':' + STR(b.qty, 1) FROM a INNER JOIN b ON a.id = b.aid OR a.id = b.qty ORDER BY a.id, b.qty",
         0, L({"1:1", "1:5", "1:7", "2:2", "3:1"})},
        {"SELECT COUNT(*) FROM a INNER JOIN b ON b.aid = a.id OR a.id = b.aid", 0, L({"3"})},
        {"SELECT COUNT(*) FROM a INNER JOIN b ON (a.id = b.aid OR a.grp = b.qty) AND b.qty > 5", 0, L({"1"})},
        {"SELECT STR(a.id, 1) + ':' + ISNULL(STR(b.qty, 1), '-') FROM a LEFT JOIN b ON a.id = b.qty OR a.grp = b.aid ORDER BY a.id",
         0, L({"1:1", "2:2", "3:-", "4:-"})},
        // Rows of a join keep each side's values in place: the column order of RIGHT and FULL joins
        // with *, a join nested on the right, a third table, grouping and a correlated subquery
        // over joined rows, and keys that are text (any case) or of different numeric types.
        {"SELECT * FROM a RIGHT JOIN b ON a.id = b.aid ORDER BY b.qty", 0, L({"3", "NULL", "1", "1"})},
        {"SELECT * FROM a RIGHT JOIN b ON a.id = b.aid ORDER BY b.qty", 4, L({"1", "2", "5", "7"})},
        {"SELECT ISNULL(STR(a.id, 1), '-') + ':' + ISNULL(STR(b.qty, 1), '-') FROM a FULL JOIN b ON a.id = b.aid ORDER BY 1",
         0, L({"-:2", "1:5", "1:7", "2:-", "3:1", "4:-"})},
        {"SELECT a.name FROM a INNER JOIN (b INNER JOIN a AS a2 ON a2.id = b.aid) ON a.grp = a2.grp AND b.qty < 6 ORDER BY a.id",
         0, L({"one", "two", "three"})},
        {"SELECT c.name FROM a INNER JOIN b ON a.id = b.aid LEFT JOIN a AS c ON c.id = b.qty ORDER BY b.qty", 0,
         L({"one", "NULL", "NULL"})},
        {"SELECT a.name + ':' + STR(SUM(b.qty), 2) FROM a INNER JOIN b ON a.id = b.aid GROUP BY a.name ORDER BY 1", 0,
         L({"one:12", "three: 1"})},
        {"SELECT a.id FROM a, b WHERE a.id = b.aid AND EXISTS (SELECT * FROM b AS x WHERE x.aid = a.id AND x.qty > b.qty)",
         0, L({"1"})},
        {"SELECT x.id FROM a AS x INNER JOIN a AS y ON UPPER(x.name) = y.name ORDER BY x.id", 0, L({"1", "2", "3"})},
        {"SELECT COUNT(*) FROM a AS x INNER JOIN (SELECT UPPER(name) AS n FROM a) AS y ON x.name = y.n", 0, L({"3"})},
        {"SELECT COUNT(*) FROM a INNER JOIN b ON a.id = b.price", 0, L({"0"})},
        // Looked up by the integer key alone, the rows still have to match the text key.
        {"SELECT COUNT(*) FROM a INNER JOIN a AS x ON x.id = a.id AND x.name = a.name", 0, L({"3"})},
        {"SELECT COUNT(*) FROM a, a AS x WHERE x.grp = a.grp AND x.name = a.name", 0, L({"3"})},
        {"SELECT COUNT(*) FROM a INNER JOIN (SELECT CONVERT(money, 1) AS m) AS y ON a.id = y.m", 0, L({"1"})},
        // WHERE conditions applied to a system table before it is joined: never to the side of an
        // outer join that reads as NULLs (every table here has a heap row in sysindexes).
        {"SELECT o.name FROM sysobjects o LEFT JOIN sysindexes i ON i.id = o.id WHERE i.indid IS NULL AND o.type = 'U'", 0, {}},
        {"SELECT o.name FROM sysindexes i RIGHT JOIN sysobjects o ON i.id = o.id WHERE i.indid IS NULL AND o.type = 'U'", 0, {}},
        {"SELECT o.name FROM sysobjects o LEFT JOIN sysindexes i ON i.id = o.id WHERE i.indid = 0 AND o.type = 'U' ORDER BY 1", 0,
         L({"a", "b"})},
        // A computed item is reused only while the rows it reads stay the same, and never when it
        // may change by itself.
        {"SELECT UPPER(a.name) FROM b INNER JOIN a ON a.grp = 10 WHERE b.qty = 5", 0, L({"ONE", "TWO"})},
        {"SELECT COUNT(*) FROM (SELECT DISTINCT CONVERT(varchar(36), NEWID()) AS g FROM a INNER JOIN b ON a.id = b.aid) AS t", 0,
         L({"3"})},
        // Ordering: direction, NULLs first, aliases, ordinals, TOP.
        {"SELECT name FROM a ORDER BY name DESC", 0, L({"two", "three", "one", "NULL"})},
        {"SELECT name AS n FROM a ORDER BY n", 0, L({"NULL", "one", "three", "two"})},
        {"SELECT id, name FROM a ORDER BY 2, 1", 0, L({"4", "1", "3", "2"})},
        {"SELECT TOP 2 id FROM a ORDER BY id DESC", 0, L({"4", "3"})},
        {"SELECT id FROM a ORDER BY grp", 0, L({"4", "1", "2", "3"})},  // equal keys keep their rows' order
        {"SELECT id FROM a ORDER BY grp DESC, name DESC", 0, L({"3", "2", "1", "4"})},
        // DISTINCT, UNION, derived tables.
        {"SELECT DISTINCT grp FROM a WHERE grp IS NOT NULL ORDER BY grp", 0, L({"10", "20"})},
        {"SELECT DISTINCT grp FROM a ORDER BY grp DESC", 0, L({"20", "10", "NULL"})},  // keys go with their rows
        {"SELECT grp FROM a WHERE grp = 10 UNION SELECT 20 ORDER BY 1", 0, L({"10", "20"})},
        {"SELECT grp FROM a WHERE grp = 10 UNION ALL SELECT 10", 0, L({"10", "10", "10"})},
        {"SELECT T.n FROM (SELECT COUNT(*) AS n FROM a) AS T", 0, L({"4"})},
        // Predicates with NULL logic.
        {"SELECT id FROM a WHERE name LIKE 't%' ORDER BY id", 0, L({"2", "3"})},
        {"SELECT id FROM a WHERE name LIKE '[o-p]_e'", 0, L({"1"})},
        {"SELECT id FROM a WHERE grp NOT IN (20) ORDER BY id", 0, L({"1", "2"})},
        {"SELECT id FROM a WHERE id NOT IN (SELECT aid FROM b)", 0, {}},  // NULL in the list
        {"SELECT id FROM a WHERE EXISTS (SELECT * FROM b WHERE b.aid = a.id) ORDER BY id", 0, L({"1", "3"})},
        {"SELECT id FROM a WHERE id BETWEEN 2 AND 3 ORDER BY id", 0, L({"2", "3"})},
        {"SELECT id FROM a WHERE NOT (grp = 10)", 0, L({"3"})},
        // NOT of an unknown AND / OR stays unknown (row 4: both its conditions are unknown).
        {"SELECT id FROM a WHERE NOT (grp = 10 AND name <> 'one') ORDER BY id", 0, L({"1", "3"})},
        {"SELECT id FROM a WHERE NOT (grp = 20 OR name = 'one')", 0, L({"2"})},
        {"SELECT id FROM a WHERE name = NULL", 0, {}},
        {"SET ANSI_NULLS OFF SELECT id FROM a WHERE name = NULL", 0, L({"4"})},
    };
    for (const Case& c : cases) EXPECT_EQ(Column(QString::fromUtf8(c.sql), c.column), c.rows) << c.sql;
    sqlsim::BatchResult r = session_->Execute(QStringLiteral("SELECT * FROM (SELECT COUNT(*) FROM a) AS T"));
    ASSERT_FALSE(r.messages.empty());
    EXPECT_EQ(r.messages[0].number, 8155);
}

// Many rows are ordered by their keys' digits rather than by comparisons: the order must be what a
// stable sort by the same keys gives (ties in the rows' order), NULLs first, DESC reversed.
TEST_F(Engine, ManyRowsSortAsAStableSortOfTheirKeys) {
    ASSERT_EQ(Errors(session_->ExecuteScript(QStringLiteral(
                  "CREATE TABLE r (id int NOT NULL, k int NULL, s varchar(5) NOT NULL)\n"
                  "DECLARE @i int SET @i = 0\n"
                  "WHILE @i < 1500 BEGIN\n"
                  "  INSERT r VALUES (@i, CASE WHEN @i % 97 = 0 THEN NULL ELSE (@i * 7919) % 1009 END, CHAR(65 + (@i * 31) % 5))\n"
                  "  SET @i = @i + 1\n"
                  "END\n")))
                  .toStdString(),
              std::string());
    struct Row {
        int id, k;  // k -1: NULL
        char s;
    };
    std::vector<Row> rows;
    for (int i = 0; i < 1500; ++i) rows.push_back({i, i % 97 == 0 ? -1 : (i * 7919) % 1009, static_cast<char>('A' + (i * 31) % 5)});
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.s != b.s ? a.s > b.s : a.k < b.k; });
    std::vector<QString> expected;
    for (const Row& r : rows) expected.push_back(QString::number(r.id));
    EXPECT_EQ(Column(QStringLiteral("SELECT id FROM r ORDER BY s DESC, k")), expected);
}

// A join of a system table on an equality (or an OR of them) with a column of the leftmost table
// drops that table's rows that join nothing before the joins in between: the rows, their order and
// values must be those of the same query on a condition that cannot be looked up (+ 0), with
// values found and not, NULL keys, an outer join in between and a condition on another column.
TEST_F(Engine, ASemiJoinedSystemTableGivesTheRowsOfTheGeneralJoin) {
    // (More columns than objects: the columns are reduced only then.)
    QString wide = QStringLiteral("CREATE TABLE wide (c0 int NULL");
    for (int i = 1; i < 80; ++i) wide += QStringLiteral(", c%1 int NULL").arg(i);
    ASSERT_EQ(Errors(session_->ExecuteScript(wide + QStringLiteral(")\n") + QStringLiteral(
                  "CREATE TABLE w (k int NOT NULL DEFAULT 1, n varchar(9) NULL, m varchar(9) NULL, o int NULL DEFAULT 2)\nGO\n"
                  "CREATE DEFAULT d_n AS 'x'\nGO\nCREATE RULE r_m AS LEN(@v) < 5\nGO\nEXEC sp_bindefault 'd_n', 'w.n'\n"
                  "EXEC sp_bindrule 'r_m', 'w.m'\nEXEC sp_bindrule 'r_m', 'a.name'\nGO\n")))
                  .toStdString(),
              std::string());
    const char* queries[] = {
        "SELECT sysusers.name AS Owner, sysobjects.name AS [Table], syscolumns.name AS Field, bound.name AS Bound, bound.xtype "
        "FROM syscolumns INNER JOIN sysobjects ON syscolumns.id = sysobjects.id INNER JOIN sysusers ON sysobjects.uid = sysusers.uid "
        "INNER JOIN sysobjects AS bound ON (bound.id = syscolumns.cdefault OR bound.id = syscolumns.domain) "
        "WHERE bound.parent_obj = 0 AND sysobjects.xtype = 'U'",
        "SELECT c.name, o.name, d.name FROM syscolumns c LEFT JOIN sysobjects o ON o.id = c.id "
        "INNER JOIN sysobjects d ON c.cdefault = d.id",
        "SELECT c.name, d.name FROM syscolumns c INNER JOIN sysobjects d ON d.id = c.domain AND d.xtype = 'R' ORDER BY d.name",
    };
    auto rows = [&](const QString& sql) {
        std::vector<QString> out;
        for (const auto& row : Query(*session_, sql).rows) {
            QString line;
            for (const sqlsim::Value& v : row) line += (v.IsNull() ? QStringLiteral("NULL") : v.AsString()) + u'|';
            out.push_back(line);
        }
        return out;
    };
    for (const char* q : queries) {
        const QString sql = QString::fromUtf8(q);
        QString general = sql;
        general.replace(QRegularExpression(QStringLiteral("\\b(bound|d)\\.id")), QStringLiteral("\\1.id + 0"));
        const std::vector<QString> expected = rows(general);
        EXPECT_FALSE(expected.empty()) << q;
        EXPECT_EQ(rows(sql), expected) << q;
    }
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
    EXPECT_EQ(One(QStringLiteral("SELECT QUOTENAME('a\"b', '\"') + QUOTENAME('x)', ')')")), QStringLiteral("\"a\"\"b\"(x)))"));
    EXPECT_EQ(One(QStringLiteral("SELECT REPLACE('1,5', ',', '.')")), QStringLiteral("1.5"));
    EXPECT_EQ(One(QStringLiteral("SELECT SUBSTRING('abcdef', 2, 3) + UPPER('x') + LOWER('Y')")), QStringLiteral("bcdXy"));
    EXPECT_EQ(One(QStringLiteral("SELECT LEN('ab  ')")), QStringLiteral("2"));
    EXPECT_EQ(One(QStringLiteral("SELECT CONVERT(varchar(30), CONVERT(datetime, '7/4/1996'), 121)")), QStringLiteral("1996-07-04 00:00:00.000"));
    EXPECT_EQ(One(QStringLiteral("SELECT DATENAME(yy, '19970101')")), QStringLiteral("1997"));
    EXPECT_EQ(One(QStringLiteral("SELECT CHARINDEX(N'master.mdf', LOWER(N'C:\\DATA\\MASTER.MDF'))")), QStringLiteral("9"));
    EXPECT_EQ(One(QStringLiteral("SELECT CAST(2.567 AS decimal(5,2))")), QStringLiteral("2.57"));
    EXPECT_EQ(One(QStringLiteral("SELECT $1.5 * 2")), QStringLiteral("3.00"));
    // Variables assigned by SELECT and by SET.
    EXPECT_EQ(One(QStringLiteral("DECLARE @n int, @s varchar(10) SELECT @n = COUNT(*) FROM a SET @s = 'x' + CONVERT(varchar, @n) SELECT @s")),
              QStringLiteral("x4"));
    // A literal without N is in code page 1252: what that page cannot hold becomes '?'.
    EXPECT_EQ(One(QString::fromUtf8("SELECT 'Zo\xc3\xab \xe6\x97\xa5\xe2\x82\xac' + N' \xe6\x97\xa5'")),
              QString::fromUtf8("Zo\xc3\xab ?\xe2\x82\xac \xe6\x97\xa5"));
}

// Property functions answer for the object each row names, also when consecutive rows name
// different objects, and a later statement sees the catalog as the earlier ones left it.
TEST_F(Engine, PropertyFunctionsFollowEachRowsObjectAndTheLatestCatalog) {
    sqlsim::BatchResult r = session_->Execute(QStringLiteral(
        "CREATE TABLE p (id int IDENTITY(5, 2) NOT NULL, x int NULL)\n"
        "CREATE TABLE q (k int IDENTITY(7, 3) NOT NULL)\n"
        "SELECT STR(IDENT_SEED(t.n), 1) + STR(COLUMNPROPERTY(OBJECT_ID(t.n), t.c, 'IsIdentity'), 1) FROM (SELECT 'p' AS n, "
        "'id' AS c UNION ALL SELECT 'q', 'k' UNION ALL SELECT 'p', 'x' UNION ALL SELECT 'q', 'none') AS t\n"
        "DROP TABLE p\n"
        "CREATE TABLE p (id int IDENTITY(9, 1) NOT NULL)\n"
        "SELECT STR(IDENT_SEED('p'), 1) + STR(OBJECTPROPERTY(OBJECT_ID('p'), 'ISUSERTABLE'), 1) + "
        "ISNULL(STR(OBJECTPROPERTY(OBJECT_ID('p'), 'IsUserTabl'), 1), '-') + STR(OBJECTPROPERTY(OBJECT_ID('p'), 'tableHasIdentity'), 1)"));
    ASSERT_EQ(Errors(r).toStdString(), std::string());
    ASSERT_EQ(r.resultSets.size(), 2u);
    std::vector<QString> first, second;
    for (const auto& row : r.resultSets[0].rows) first.push_back(row[0].IsNull() ? QStringLiteral("NULL") : row[0].AsString());
    for (const auto& row : r.resultSets[1].rows) second.push_back(row[0].AsString());
    EXPECT_EQ(first, L({"51", "71", "50", "NULL"}));
    EXPECT_EQ(second, L({"91-1"}));  // property names in any case, but whole
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

TEST_F(Engine, ForXmlReturnsOneNtextValue) {
    struct Case {
        const char* sql;
        const char* xml;
    } cases[] = {
        {"SELECT id, name FROM a WHERE id <= 2 ORDER BY id FOR XML RAW", "<row id=\"1\" name=\"one\"/><row id=\"2\" name=\"two\"/>"},
        {"SELECT x.id, x.name FROM a x WHERE id = 4 FOR XML AUTO", "<x id=\"4\"/>"},  // NULLs are left out
        {"SELECT id, name FROM a WHERE id = 1 FOR XML AUTO, ELEMENTS", "<a><id>1</id><name>one</name></a>"},
        {"SELECT 1 AS Tag, NULL AS Parent, name AS [Item!1!Name], id AS [Item!1] FROM a WHERE id = 3 FOR XML EXPLICIT, BINARY BASE64",
         "<Item Name=\"three\">3</Item>"},
        {"SELECT '<&\"' + CHAR(10) AS [a b] FOR XML RAW", "<row a_x0020_b=\"&lt;&amp;&quot;&#xA;\"/>"},
    };
    for (const Case& c : cases) {
        sqlsim::ResultSet rs = Query(*session_, QString::fromUtf8(c.sql));
        ASSERT_EQ(rs.columns.size(), 1u) << c.sql;
        EXPECT_EQ(rs.columns[0].name.toStdString(), "XML_F52E2B61-18A1-11d1-B105-00805F49916B");
        EXPECT_EQ(rs.columns[0].xtype, sqlsim::XNText);
        ASSERT_EQ(rs.rows.size(), 1u) << c.sql;
        EXPECT_EQ(rs.rows[0][0].AsString().toStdString(), c.xml) << c.sql;
    }
    // Kept in a procedure's text and run from there.
    ASSERT_EQ(Errors(session_->ExecuteScript(QStringLiteral("CREATE PROCEDURE x AS SELECT id FROM a WHERE id = 2 FOR XML AUTO\nGO\n"))).toStdString(),
              std::string());
    EXPECT_EQ(One(QStringLiteral("SELECT text FROM syscomments WHERE id = OBJECT_ID('x')")).toStdString(),
              "CREATE PROCEDURE x AS SELECT id FROM a WHERE id = 2 FOR XML AUTO\n");
    EXPECT_EQ(One(QStringLiteral("EXEC x")).toStdString(), "<a id=\"2\"/>");
}

TEST_F(Engine, InformationSchemaViewsReadTheCatalog) {
    ASSERT_EQ(Errors(session_->ExecuteScript(QStringLiteral(
        "EXEC sp_addtype code, 'char(4)', 'NULL'\n"
        "CREATE TABLE p (id int NOT NULL CONSTRAINT PK_p PRIMARY KEY, c code NULL, n nvarchar(10) NOT NULL DEFAULT (N'x'),\n"
        " d decimal(9, 2) NULL, CONSTRAINT CK_p CHECK (d > 0 AND id < 100), CONSTRAINT UQ_p UNIQUE (n, c))\n"
        "CREATE TABLE q (pid int NULL CONSTRAINT FK_q_p REFERENCES p (id) ON DELETE CASCADE)\nGO\n"
        "CREATE VIEW v AS SELECT id FROM p\nGO\n"
        "CREATE PROCEDURE pr @a int, @b varchar(5) = 'x' OUTPUT AS SELECT 1\nGO\n"
        "CREATE FUNCTION fn (@x datetime) RETURNS TABLE AS RETURN (SELECT id FROM p)\nGO\n"))).toStdString(),
              std::string());
    struct Case {
        const char* sql;
        std::vector<QString> rows;  // first column of each row
    } cases[] = {
        {"SELECT TABLE_NAME + ':' + TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME IN ('p', 'v') ORDER BY 1",
         L({"p:BASE TABLE", "v:VIEW"})},
        {"SELECT COLUMN_NAME + ' ' + DATA_TYPE + ' ' + IS_NULLABLE + ' ' + ISNULL(CONVERT(varchar, CHARACTER_MAXIMUM_LENGTH), '-') + ' '"
         " + ISNULL(CONVERT(varchar, NUMERIC_PRECISION), '-') + ' ' + ISNULL(CONVERT(varchar, NUMERIC_SCALE), '-') + ' '"
         " + ISNULL(COLUMN_DEFAULT, '-') + ' ' + ISNULL(DOMAIN_NAME, '-') + ' ' + ISNULL(CHARACTER_SET_NAME, '-')"
         " FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'p' ORDER BY ORDINAL_POSITION",
         L({"id int NO - 10 0 - - -", "c char YES 4 - - - code iso_1", "n nvarchar NO 10 - - (N'x') - UNICODE",
            "d decimal YES - 9 2 - - -"})},
        {"SELECT TABLE_NAME + ' ' + CHECK_OPTION FROM INFORMATION_SCHEMA.VIEWS", L({"v NONE"})},
        {"SELECT ROUTINE_NAME + ' ' + ROUTINE_TYPE + ' ' + ISNULL(DATA_TYPE, '-') FROM INFORMATION_SCHEMA.ROUTINES ORDER BY 1",
         L({"fn FUNCTION TABLE", "pr PROCEDURE -"})},
        {"SELECT SPECIFIC_NAME + ' ' + PARAMETER_NAME + ' ' + PARAMETER_MODE + ' ' + DATA_TYPE FROM INFORMATION_SCHEMA.PARAMETERS"
         " ORDER BY SPECIFIC_NAME, ORDINAL_POSITION",
         L({"fn @x IN datetime", "pr @a IN int", "pr @b INOUT varchar"})},
        {"SELECT CONSTRAINT_NAME + ' ' + CONSTRAINT_TYPE + ' ' + TABLE_NAME FROM INFORMATION_SCHEMA.TABLE_CONSTRAINTS ORDER BY 1",
         L({"CK_p CHECK p", "FK_q_p FOREIGN KEY q", "PK_p PRIMARY KEY p", "UQ_p UNIQUE p"})},
        {"SELECT CONSTRAINT_NAME + ' ' + COLUMN_NAME + CONVERT(varchar, ORDINAL_POSITION) FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE"
         " ORDER BY CONSTRAINT_NAME, ORDINAL_POSITION",
         L({"FK_q_p pid1", "PK_p id1", "UQ_p n1", "UQ_p c2"})},
        {"SELECT CONSTRAINT_NAME + ' ' + UNIQUE_CONSTRAINT_NAME + ' ' + UPDATE_RULE + ' ' + DELETE_RULE"
         " FROM INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS",
         L({"FK_q_p PK_p NO ACTION CASCADE"})},
        {"SELECT CONSTRAINT_NAME + ' ' + CHECK_CLAUSE FROM INFORMATION_SCHEMA.CHECK_CONSTRAINTS", L({"CK_p ([d] > 0 and [id] < 100)"})},
        {"SELECT CONSTRAINT_NAME + ' ' + COLUMN_NAME FROM INFORMATION_SCHEMA.CONSTRAINT_COLUMN_USAGE WHERE TABLE_NAME = 'p'"
         " ORDER BY 1",
         L({"CK_p d", "CK_p id", "PK_p id", "UQ_p c", "UQ_p n"})},
    };
    for (const Case& c : cases) EXPECT_EQ(Column(QString::fromUtf8(c.sql)), c.rows) << c.sql;
    EXPECT_EQ(Query(*session_, QStringLiteral("SELECT * FROM INFORMATION_SCHEMA.COLUMNS")).columns.size(), 23u);
    EXPECT_EQ(Query(*session_, QStringLiteral("SELECT * FROM INFORMATION_SCHEMA.ROUTINES")).columns.size(), 51u);
}

// A property function whose property is a constant resolves it once for the statement; named by a
// variable it goes through the dispatch by name on every call. Both must answer alike for every
// object, column and index, names spelled in another case or holding ] and ' included, in a
// case-insensitive and a case-sensitive database.
TEST(PropertyFunctions, AConstantPropertyAnswersAsTheSameNameInAVariable) {
    sqlsim::Server server;
    auto session = server.Connect();
    const QString schema = QStringLiteral(
        "CREATE TABLE [a]]b] ([c'1] int IDENTITY(1, 1) NOT FOR REPLICATION NOT NULL CONSTRAINT [pk]]1] PRIMARY KEY NONCLUSTERED,"
        " [Gu'id] uniqueidentifier ROWGUIDCOL NULL, x int NULL CONSTRAINT [u'q] UNIQUE CLUSTERED, y int NOT NULL DEFAULT 0 CHECK (y >= 0))\n"
        "CREATE INDEX [i]]x] ON [a]]b] (y) WITH PAD_INDEX, FILLFACTOR = 80\n"
        "CREATE TABLE t2 (k int NOT NULL PRIMARY KEY, r int NULL REFERENCES [a]]b] ([c'1]))\nCREATE STATISTICS st ON t2 (r)\nGO\n"
        "CREATE VIEW v AS SELECT k FROM t2\nGO\nCREATE PROCEDURE p @a int OUTPUT AS SELECT 1\nGO\nSET QUOTED_IDENTIFIER OFF\nGO\n"
        "CREATE FUNCTION f () RETURNS int AS BEGIN RETURN 1 END\nGO\nCREATE FUNCTION tf () RETURNS TABLE AS RETURN SELECT 1 AS a\nGO\n"
        "SET QUOTED_IDENTIFIER ON\nGO\nCREATE TRIGGER tr ON t2 FOR INSERT AS SELECT 1\nGO\n");
    ASSERT_EQ(Errors(session->ExecuteScript(QStringLiteral("CREATE DATABASE ci\nCREATE DATABASE cs COLLATE Latin1_General_CS_AS\nGO\nUSE ci\nGO\n") +
                                            schema + QStringLiteral("USE cs\nGO\n") + schema))
                  .toStdString(),
              std::string());
    struct Case {
        const char *call, *from;  // %1 stands for the property
        QStringList properties;
    };
    const QStringList objectProperties{"IsMSShipped", "IsUserTable", "IsView", "IsProcedure", "IsExtendedProc", "IsTrigger",
                                       "IsScalarFunction", "IsTableFunction", "IsInlineFunction", "ExecIsAnsiNullsOn",
                                       "ExecIsQuotedIdentOn", "IsUniqueCnst", "CnstIsClustKey", "CnstIsNonclustKey"};
    const QStringList columnProperties{"IsIdentity", "IsIdNotForRepl", "IsRowGuidCol", "AllowsNull", "ISIDENTITY", "allowsnull"};
    const QStringList indexProperties{"IsUnique", "IsClustered", "IndexFillFactor", "IsPadIndex", "IsStatistics", "isunique"};
    const Case cases[] = {
        {"OBJECTPROPERTY(o.id, %1)", "sysobjects o", objectProperties},
        {"OBJECTPROPERTY(NULL, %1)", "sysobjects o", {"IsUserTable"}},
        {"OBJECTPROPERTY(o.id + 100000, %1)", "sysobjects o", {"IsUserTable"}},
        {"COLUMNPROPERTY(c.id, c.name, %1)", "syscolumns c", columnProperties},
        {"COLUMNPROPERTY(c.id, UPPER(c.name), %1)", "syscolumns c", columnProperties},
        {"COLUMNPROPERTY(c.id, LOWER(c.name), %1)", "syscolumns c", columnProperties},
        {"COLUMNPROPERTY(c.id, c.colid, %1)", "syscolumns c", {"IsIdentity"}},
        {"INDEXPROPERTY(i.id, i.name, %1)", "sysindexes i", indexProperties},
        {"INDEXPROPERTY(i.id, UPPER(i.name), %1)", "sysindexes i", indexProperties},
    };
    for (const char* db : {"ci", "cs"}) {
        session->Execute(QStringLiteral("USE %1").arg(QLatin1String(db)));
        for (const Case& c : cases) {
            for (const QString& p : c.properties) {
                const QString call = QString::fromLatin1(c.call);
                const QString sql = QStringLiteral("DECLARE @p varchar(30) SET @p = '%1' SELECT %2, %3 FROM %4")
                                        .arg(p, call.arg(QStringLiteral("'") + p + QStringLiteral("'")), call.arg(QStringLiteral("@p")),
                                             QString::fromLatin1(c.from));
                sqlsim::ResultSet rs = Query(*session, sql);
                ASSERT_FALSE(rs.rows.empty()) << sql.toStdString();
                for (const auto& row : rs.rows) {
                    const QString constant = row[0].IsNull() ? QStringLiteral("NULL") : row[0].AsString();
                    const QString byName = row[1].IsNull() ? QStringLiteral("NULL") : row[1].AsString();
                    EXPECT_EQ(constant, byName) << db << ": " << sql.toStdString();
                }
            }
        }
    }
}
