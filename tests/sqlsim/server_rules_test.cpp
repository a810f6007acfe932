// The real server's rules where they decide whether a script works: which DDL it refuses, which
// errors end the batch and roll the transaction back, and how it stores expression texts.
#include "sim_test_util.h"

using namespace simtest;

namespace {

const char* const kSchema =
    "CREATE TABLE p (id int NOT NULL CONSTRAINT PK_p PRIMARY KEY, code varchar(10) NOT NULL CONSTRAINT UQ_p UNIQUE,\n"
    " city varchar(20) NULL CONSTRAINT DF_p_city DEFAULT ('x'), note text NULL, g uniqueidentifier ROWGUIDCOL NULL,\n"
    " qty int NULL CONSTRAINT CK_p_qty CHECK (qty > 0), tag varchar(10) NULL CONSTRAINT CK_p_tag CHECK (tag LIKE 'a%'),\n"
    " ix varchar(10) NULL, total AS qty * 2)\n"
    "CREATE INDEX IX_p_ix ON p (ix)\n"
    "CREATE TABLE c (id int NOT NULL, pid int NULL CONSTRAINT FK_c_p REFERENCES p(id))\n"
    "CREATE TABLE s (a int NULL, b int NULL)\n"
    "INSERT p (id, code) VALUES (1, 'one')\n"
    "GO\n"
    "CREATE VIEW v WITH SCHEMABINDING AS SELECT a FROM dbo.s\n"
    "GO\n"
    "CREATE PROCEDURE opens AS BEGIN TRANSACTION\n"
    "GO\n"
    "CREATE PROCEDURE hidden WITH ENCRYPTION AS SELECT 42 AS answer\n";

struct Fixture {
    sqlsim::Server server;
    std::unique_ptr<sqlsim::Session> session = server.Connect(QStringLiteral("tempdb"));
    Fixture() {
        sqlsim::BatchResult r = session->ExecuteScript(QString::fromLatin1(kSchema));
        EXPECT_EQ(Errors(r).toStdString(), std::string());
    }
    // The number of the first error of a batch, 0 when none.
    int FirstError(const QString& sql) {
        for (const auto& m : session->Execute(sql).messages)
            if (m.severity >= 11) return m.number;
        return 0;
    }
    // The number of the error that ends the statement (5074 and 1778 come before their 4922 and 1750).
    int FinalError(const QString& sql) {
        int last = 0;
        for (const auto& m : session->Execute(sql).messages)
            if (m.severity >= 11 && m.number != 1750) last = m.number;
        return last;
    }
    QString Scalar(const QString& sql) {
        sqlsim::ResultSet rs = Query(*session, sql);
        return rs.rows.empty() ? QStringLiteral("<none>") : rs.rows[0][0].IsNull() ? QStringLiteral("NULL") : rs.rows[0][0].AsString();
    }
};

}  // namespace

TEST(ServerRules, DdlTheServerRefuses) {
    const struct {
        const char* sql;
        int error;
    } cases[] = {
        {"ALTER TABLE p ALTER COLUMN id bigint NOT NULL", 4922},          // primary key
        {"ALTER TABLE c ALTER COLUMN pid bigint NULL", 4922},             // foreign key
        {"ALTER TABLE p ALTER COLUMN code varchar(20) NOT NULL", 0},      // unique: longer varchar
        {"ALTER TABLE p ALTER COLUMN ix varchar(20) NULL", 0},            // index: longer varchar
        {"ALTER TABLE p ALTER COLUMN ix varchar(5) NULL", 4922},          // index: shorter
        {"ALTER TABLE p ALTER COLUMN ix char(10) NULL", 4922},            // index: other type
        {"ALTER TABLE p ALTER COLUMN city varchar(40) NULL", 0},          // default: other length
        {"ALTER TABLE p ALTER COLUMN city nvarchar(20) NULL", 4922},      // default: other type
        {"ALTER TABLE p ALTER COLUMN tag varchar(20) NULL", 0},           // check: longer varchar
        {"ALTER TABLE p ALTER COLUMN qty bigint NULL", 4922},             // check and computed column
        {"ALTER TABLE p ALTER COLUMN note ntext NULL", 4928},             // text
        {"ALTER TABLE p ALTER COLUMN g uniqueidentifier NOT NULL", 4928}, // ROWGUIDCOL
        {"ALTER TABLE s ALTER COLUMN a bigint NULL", 4922},               // read by a schema-bound view
        {"ALTER TABLE s ALTER COLUMN b bigint NULL", 0},
        {"ALTER TABLE s DROP COLUMN a", 4922},
        {"DROP TABLE s", 3729},
        {"ALTER TABLE nosuch ADD x int NULL", 4902},
        {"ALTER TABLE p DROP COLUMN nosuch", 4924},
        {"CREATE TABLE d (x bigint NULL CONSTRAINT FK_d REFERENCES p(id))", 1778},
        {"ALTER TABLE c ADD x varchar(10) NULL CONSTRAINT FK_c_x REFERENCES p(id)", 1778},
    };
    for (const auto& c : cases) {
        Fixture f;
        EXPECT_EQ(f.FinalError(QString::fromLatin1(c.sql)), c.error) << c.sql;
    }
}

TEST(ServerRules, ErrorsThatEndTheBatchOrTheTransaction) {
    const struct {
        const char* batch;
        int error;
        const char* after;  // @@TRANCOUNT, rows of p, and whether the batch went on, afterwards
    } cases[] = {
        // XACT_ABORT: a constraint violation rolls back and ends the batch.
        {"SET XACT_ABORT ON BEGIN TRAN INSERT p (id, code) VALUES (2, 'two') INSERT p (id, code) VALUES (1, 'dup') "
         "INSERT p (id, code) VALUES (3, 'three')", 2627, "0 1"},
        // Without it the statement ends and the batch goes on in the open transaction.
        {"BEGIN TRAN INSERT p (id, code) VALUES (2, 'two') INSERT p (id, code) VALUES (1, 'dup') "
         "INSERT p (id, code) VALUES (3, 'three')", 2627, "1 3"},
        // A conversion error rolls back and ends the batch.
        {"BEGIN TRAN INSERT p (id, code) VALUES (2, 'two') SELECT CONVERT(int, 'x') "
         "INSERT p (id, code) VALUES (3, 'three')", 245, "0 1"},
        // A compile error stops the batch before its first statement.
        {"INSERT p (id, code) VALUES (2, 'two') UPDATE p SET nosuch = 1", 207, "0 1"},
        {"INSERT p (id, code) VALUES (2, 'two') UPDATE p SET qty = DATEDIFF(day, '20000101', '20000102') WHERE DATEPART(year, '20000101') > 0", 0, "0 2"},
        // A procedure that leaves a transaction open.
        {"EXEC opens", 266, "1 1"},
    };
    for (const auto& c : cases) {
        Fixture f;
        sqlsim::BatchResult r = f.session->Execute(QString::fromLatin1(c.batch));
        int first = 0;
        for (const auto& m : r.messages)
            if (m.severity >= 11 && !first) first = m.number;
        EXPECT_EQ(first, c.error) << c.batch;
        EXPECT_EQ((f.Scalar(QStringLiteral("SELECT @@TRANCOUNT")) + u' ' + f.Scalar(QStringLiteral("SELECT COUNT(*) FROM p"))).toStdString(),
                  c.after) << c.batch;
    }
}

TEST(ServerRules, ExpressionTextsAreStoredAsTheServerDecodesThem) {
    const struct {
        const char* written;  // a column definition's constraint
        const char* stored;
    } cases[] = {
        {"CHECK (Discount >= 0 AND Discount <= 1)", "([Discount] >= 0 and [Discount] <= 1)"},
        {"CHECK ((([Discount]>=(0)) and ([Discount]<=(1))))", "([Discount] >= 0 and [Discount] <= 1)"},
        {"CHECK (Code IN ('1389', '0736', '0877') OR Code LIKE '99[0-9][0-9]')",
         "([Code] = '0877' or ([Code] = '0736' or [Code] = '1389') or [Code] like '99[0-9][0-9]')"},
        {"CHECK (Discount BETWEEN 0 AND 1)", "([Discount] >= 0 and [Discount] <= 1)"},
        {"CHECK (Code IS NOT NULL OR (Discount > 0 AND Code <> 'x'))", "([Code] is not null or [Discount] > 0 and [Code] <> 'x')"},
        {"CHECK ((Discount + 1) * 2 > Discount - (1 - Discount))", "(([Discount] + 1) * 2 > [Discount] - (1 - [Discount]))"},
        {"DEFAULT CURRENT_TIMESTAMP", "(getdate())"},
        {"DEFAULT (GETDATE())", "(getdate())"},
        {"DEFAULT ((0))", "(0)"},
        {"DEFAULT -1", "(-1)"},
        {"DEFAULT N'it''s'", "(N'it''s')"},
        {"DEFAULT USER", "(user_name())"},
        {"DEFAULT (CONVERT(varchar(10), GETDATE(), 112))", "(convert(varchar(10),getdate(),112))"},
    };
    for (const auto& c : cases) {
        Fixture f;
        const QString sql = QStringLiteral("CREATE TABLE t (Code varchar(10) NULL, Discount real NULL CONSTRAINT k %1)")
                                .arg(QString::fromLatin1(c.written));
        ASSERT_EQ(f.FirstError(sql), 0) << c.written;
        EXPECT_EQ(f.Scalar(QStringLiteral("SELECT text FROM syscomments WHERE id = OBJECT_ID('k')")).toStdString(), c.stored)
            << c.written;
    }
    Fixture f;
    ASSERT_EQ(f.FirstError(QStringLiteral("CREATE TABLE t (a int NULL, b int NULL, total AS A*(b+1))")), 0);
    EXPECT_EQ(f.Scalar(QStringLiteral("SELECT text FROM syscomments WHERE id = OBJECT_ID('t')")).toStdString(),
              "([a] * ([b] + 1))");
}

TEST(ServerRules, CatalogValuesAndData) {
    Fixture f;
    ASSERT_EQ(f.FirstError(QStringLiteral("ALTER TABLE p ADD n1 int NULL DEFAULT 5, n2 int NULL DEFAULT 6 WITH VALUES, "
                                          "n3 int NOT NULL DEFAULT 7")), 0);
    const struct {
        const char* query;
        const char* value;
    } cases[] = {
        {"SELECT xtype + type FROM sysobjects WHERE name = 'PK_p'", "PKK "},
        {"SELECT xtype + type FROM sysobjects WHERE name = 'UQ_p'", "UQK "},
        {"SELECT xtype + type FROM sysobjects WHERE name = 'CK_p_qty'", "C C "},
        {"SELECT OBJECTPROPERTY(OBJECT_ID('v'), 'IsSchemaBound')", "1"},
        {"SELECT OBJECTPROPERTY(OBJECT_ID('opens'), 'IsSchemaBound')", "0"},
        {"SELECT CAST(encrypted AS int) FROM syscomments WHERE id = OBJECT_ID('hidden')", "1"},
        {"SELECT text FROM syscomments WHERE id = OBJECT_ID('hidden')", "NULL"},
        {"EXEC hidden", "42"},
        // Catalog lookups by id, as existence guards and correlated subqueries write them.
        {"SELECT COUNT(*) FROM dbo.sysobjects WHERE id = OBJECT_ID(N'[dbo].[p]') AND OBJECTPROPERTY(id, N'IsUserTable') = 1", "1"},
        {"SELECT COUNT(*) FROM sysobjects WHERE id = OBJECT_ID('nosuch')", "0"},
        {"SELECT COUNT(*) FROM syscolumns WHERE id IN (OBJECT_ID('c'), OBJECT_ID('s'))", "4"},
        {"SELECT o.name FROM sysobjects o WHERE EXISTS (SELECT * FROM syscolumns c WHERE c.id = o.id AND c.name = 'pid')", "c"},
        {"SELECT COUNT(*) FROM sysindexkeys k WHERE k.id = OBJECT_ID('p')", "3"},
        {"DECLARE @i int SET @i = 0 WHILE 1 = 1 BEGIN SET @i = @i + 1 IF @i < 5 CONTINUE BREAK END SELECT @i", "5"},
        // A column added with a default: existing rows get it when NOT NULL or WITH VALUES.
        {"SELECT CAST(COUNT(n1) AS varchar) + CAST(SUM(n2) AS varchar) + CAST(SUM(n3) AS varchar) FROM p", "067"},
    };
    for (const auto& c : cases) EXPECT_EQ(f.Scalar(QString::fromLatin1(c.query)).toStdString(), c.value) << c.query;
}

TEST(ServerRules, ADatabaseCollationDecidesWhetherCaseMatters) {
    sqlsim::Server server;
    auto session = server.Connect();
    ASSERT_EQ(Errors(session->ExecuteScript(QStringLiteral(
                  "CREATE DATABASE ci\nCREATE DATABASE cs COLLATE Latin1_General_CS_AS\nGO\n"
                  "USE ci\nCREATE TABLE t (name varchar(10) NULL)\nINSERT t VALUES ('Alice')\nINSERT t VALUES ('alice')\n"
                  "CREATE TABLE u (k varchar(10) NOT NULL PRIMARY KEY)\nINSERT u VALUES ('a')\n"
                  "USE cs\nCREATE TABLE t (name varchar(10) NULL)\nINSERT t VALUES ('Alice')\nINSERT t VALUES ('alice')\n"
                  "CREATE TABLE u (k varchar(10) NOT NULL PRIMARY KEY)\nINSERT u VALUES ('a')\n")))
                  .toStdString(),
              std::string());
    const struct {
        const char* sql;
        const char* ci;
        const char* cs;
    } cases[] = {
        {"SELECT CASE WHEN 'abc' = 'ABC' THEN 1 ELSE 0 END", "1", "0"},
        {"SELECT COUNT(*) FROM t WHERE name = 'alice'", "2", "1"},
        {"SELECT COUNT(*) FROM t WHERE name LIKE 'a%'", "2", "1"},
        {"SELECT COUNT(DISTINCT name) FROM t", "1", "2"},
        {"SELECT MIN(name) FROM t", "Alice", "alice"},  // lower case sorts first under _CS_
        {"SELECT CHARINDEX('A', 'abcA')", "1", "4"},
        {"INSERT u VALUES ('A')", "Msg 2627", "<none>"},
        {"SELECT DATABASEPROPERTYEX(DB_NAME(), 'Collation')", "SQL_Latin1_General_CP1_CI_AS", "Latin1_General_CS_AS"},
        {"SELECT collation FROM syscolumns WHERE id = OBJECT_ID('t')", "SQL_Latin1_General_CP1_CI_AS", "Latin1_General_CS_AS"},
    };
    auto run = [&](const char* db, const char* sql) { return Outcome(*session, QStringLiteral("USE %1\n%2").arg(QLatin1String(db), QLatin1String(sql))); };
    for (const auto& c : cases) {
        EXPECT_EQ(run("ci", c.sql), c.ci) << c.sql;
        EXPECT_EQ(run("cs", c.sql), c.cs) << c.sql;
    }
}

TEST(ServerRules, ALoopRunsUntilItsConditionFails) {
    // No iteration cap: a long loop neither stops early nor ends the batch quietly.
    Fixture f;
    EXPECT_EQ(f.Scalar(QStringLiteral("DECLARE @i int SET @i = 0 WHILE @i < 60000 SET @i = @i + 1 SELECT @i")).toStdString(), "60000");
}
