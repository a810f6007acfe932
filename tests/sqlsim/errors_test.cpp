// Errors are reported with SQL Server 2000's numbers, severities and texts, and end the
// statement or the batch as the server does.
#include "sim_test_util.h"

using namespace simtest;

namespace {

class Errors2000 : public SessionTest {
protected:
    void SetUp() override {
        Run(QStringLiteral(
            "CREATE TABLE p (id int NOT NULL CONSTRAINT PK_p PRIMARY KEY, name varchar(5) NOT NULL)\n"
            "CREATE TABLE c (id int NOT NULL, pid int NULL CONSTRAINT FK_c_p REFERENCES p(id), qty int NULL CONSTRAINT CK_qty CHECK (qty > 0))\n"
            "INSERT p VALUES (1, 'a')\n"));
    }
    sqlsim::Message First(const QString& sql) {
        sqlsim::BatchResult r = session_->Execute(sql);
        for (const auto& m : r.messages)
            if (m.severity >= 11) return m;
        return sqlsim::Message{0, 0, 0, QStringLiteral("<no error>")};
    }
};

}  // namespace

TEST_F(Errors2000, NumbersLevelsAndTextsOfStatementErrors) {
    struct Case {
        const char* sql;
        int number;  // 0: no error
        int severity;
        const char* text;  // checked when given
    } cases[] = {
        {"SELECT * FROM nosuch", 208, 16, "Invalid object name 'nosuch'."},
        {"SELECT nosuchcol FROM p", 207, 16, "Invalid column name 'nosuchcol'."},
        {"SELECT id FROM p, c", 209, 16, nullptr},  // ambiguous
        {"SELECT FROM p", 156, 15, nullptr},
        {"SELECT * FROM p WHERE (id = 1", 170, 15, nullptr},
        {"CREATE TABLE p (x int)", 2714, 16, "There is already an object named 'p' in the database."},
        {"DROP TABLE nosuch", 3701, 11, "Cannot drop the table 'nosuch', because it does not exist in the system catalog."},
        {"DROP VIEW nosuch", 3701, 11, nullptr},
        {"DROP PROCEDURE nosuch", 3701, 11, nullptr},
        {"CREATE INDEX ix ON c (pid)", 0, 0, nullptr},
        {"CREATE INDEX ix ON c (qty)", 1913, 16, "There is already an index on table 'c' named 'ix'."},
        {"ALTER TABLE c ADD CONSTRAINT PK_p PRIMARY KEY (id)", 2714, 16, nullptr},
        {"DROP TABLE p", 3726, 16, nullptr},  // referenced by FK_c_p
        // Statistics and indexes share the names of a table but are dropped each by its own statement.
        {"CREATE STATISTICS st ON c (qty, pid) WITH SAMPLE 50 PERCENT, NORECOMPUTE", 0, 0, nullptr},
        {"DROP INDEX c.st", 3703, 11, "Cannot drop the index 'c.st', because it does not exist in the system catalog."},
        {"DROP STATISTICS c.ix", 3739, 11, "Cannot DROP the index 'c.ix' because it is not a statistics collection."},
        {"DROP STATISTICS c.st", 0, 0, nullptr},
        {"DROP STATISTICS c.st", 3703, 11, nullptr},
        // Cursors.
        {"OPEN nosuch", 16916, 16, "A cursor with the name 'nosuch' does not exist."},
        {"DECLARE e1 CURSOR FOR SELECT id FROM p DECLARE e1 CURSOR FOR SELECT id FROM p", 16915, 16,
         "A cursor with the name 'e1' already exists."},
        {"DECLARE e2 CURSOR LOCAL FOR SELECT id FROM p OPEN e2 OPEN e2", 16905, 16, "The cursor is already open."},
        {"DECLARE e3 CURSOR LOCAL FOR SELECT id FROM p CLOSE e3", 16917, 16, "Cursor is not open."},
        {"DECLARE e4 CURSOR LOCAL FOR SELECT id FROM p FETCH NEXT FROM e4", 16917, 16, nullptr},
        {"DECLARE e5 CURSOR LOCAL FOR SELECT id FROM p OPEN e5 FETCH FIRST FROM e5", 16911, 16,
         "fetch: The fetch type FIRST cannot be used with forward only cursors."},
        {"DECLARE e6 CURSOR LOCAL FAST_FORWARD FOR SELECT id FROM p OPEN e6 FETCH LAST FROM e6", 16911, 16, nullptr},
        {"DECLARE @a int, @b int DECLARE e7 CURSOR LOCAL FOR SELECT id FROM p OPEN e7 FETCH e7 INTO @a, @b", 16924, 16, nullptr},
        {"DECLARE @c CURSOR OPEN @c", 16950, 16, nullptr},
        {"DECLARE e8 CURSOR LOCAL FOR SELECT id FROM p DEALLOCATE e8 OPEN e8", 16916, 16, nullptr},
        {"DECLARE e9 CURSOR LOCAL FOR SELECT id FROM p OPEN GLOBAL e9", 16916, 16, nullptr},
        // FOR XML only ends a SELECT statement: not a cursor, a view or a subquery.
        {"DECLARE e10 CURSOR FOR SELECT id FROM p FOR XML RAW", 156, 15, nullptr},
        {"CREATE VIEW vx AS SELECT id FROM p FOR XML AUTO", 156, 15, nullptr},
        {"SELECT name FROM p WHERE id IN (SELECT id FROM p FOR XML RAW)", 156, 15, nullptr},
    };
    for (const Case& c : cases) {
        sqlsim::Message m = First(QString::fromUtf8(c.sql));
        EXPECT_EQ(m.number, c.number) << c.sql;
        EXPECT_EQ(m.severity, c.severity) << c.sql;
        if (c.text) {
            EXPECT_EQ(m.text.toStdString(), c.text) << c.sql;
        }
    }
}

TEST_F(Errors2000, ConstraintViolationsEndTheStatementOnly) {
    sqlsim::BatchResult r = session_->Execute(QStringLiteral(
        "INSERT p VALUES (1, 'dup')\nINSERT p VALUES (2, NULL)\nINSERT c VALUES (1, 99, 1)\nINSERT c VALUES (1, 1, 0)\n"
        "INSERT p VALUES (3, 'ok')\nSELECT COUNT(*) FROM p"));
    // Each error is followed by 3621, "The statement has been terminated." (level 0).
    std::vector<sqlsim::Message> e;
    for (const auto& m : r.messages) {
        if (m.severity >= 11) e.push_back(m);
        else EXPECT_EQ(std::to_string(m.number) + " " + m.text.toStdString(), "3621 The statement has been terminated.");
    }
    ASSERT_EQ(e.size(), 4u);
    ASSERT_EQ(r.messages.size(), 8u);
    EXPECT_EQ(e[0].number, 2627);
    EXPECT_EQ(e[0].severity, 14);
    EXPECT_EQ(e[0].text.toStdString(), "Violation of PRIMARY KEY constraint 'PK_p'. Cannot insert duplicate key in object 'p'.");
    EXPECT_EQ(e[1].number, 515);
    EXPECT_EQ(e[1].text.toStdString(),
              "Cannot insert the value NULL into column 'name', table 'tempdb.dbo.p'; column does not allow nulls. INSERT fails.");
    EXPECT_EQ(e[2].number, 547);
    EXPECT_EQ(e[2].text.toStdString(),
              "INSERT statement conflicted with COLUMN FOREIGN KEY constraint 'FK_c_p'. The conflict occurred in database 'tempdb', table 'p', column 'id'.");
    EXPECT_EQ(e[3].number, 547);
    EXPECT_EQ(e[3].text.toStdString(),
              "INSERT statement conflicted with COLUMN CHECK constraint 'CK_qty'. The conflict occurred in database 'tempdb', table 'c', column 'qty'.");
    ASSERT_EQ(r.resultSets.size(), 1u);
    EXPECT_EQ(r.resultSets[0].rows[0][0].AsInt(), 2);  // 1 and 3; the failed rows were not added
    // Disabled constraints are not checked.
    EXPECT_EQ(First(QStringLiteral("ALTER TABLE c NOCHECK CONSTRAINT ALL INSERT c VALUES (1, 99, 0)")).number, 0);
}

TEST_F(Errors2000, DeferredNameResolution) {
    // A procedure that calls a missing procedure is created, with message 2007 (severity 11).
    sqlsim::BatchResult r = session_->Execute(QStringLiteral("CREATE PROCEDURE p1 AS EXEC missing_proc"));
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].number, 2007);
    EXPECT_EQ(r.messages[0].severity, 11);
    EXPECT_EQ(r.messages[0].text.toStdString(),
              "Cannot add rows to sysdepends for the current stored procedure because it depends on the missing object 'missing_proc'. The stored procedure will still be created.");
    EXPECT_EQ(Query(*session_, QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE name = 'p1' AND type = 'P'")).rows[0][0].AsInt(), 1);
    // A procedure that reads a missing table is created silently.
    r = session_->Execute(QStringLiteral("CREATE PROCEDURE p2 AS SELECT * FROM missing_table"));
    EXPECT_EQ(r.messages.size(), 0u);
    // A view or function over a missing table fails with 208 and is not created.
    EXPECT_EQ(First(QStringLiteral("CREATE VIEW v1 AS SELECT * FROM missing_table")).number, 208);
    EXPECT_EQ(First(QStringLiteral("CREATE FUNCTION f1() RETURNS int AS BEGIN RETURN (SELECT COUNT(*) FROM missing_table) END")).number, 208);
    EXPECT_EQ(Query(*session_, QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE name IN ('v1', 'f1')")).rows[0][0].AsInt(), 0);
    // Running the procedure reports the missing table then.
    EXPECT_EQ(First(QStringLiteral("EXEC p2")).number, 208);
    EXPECT_EQ(First(QStringLiteral("EXEC nosuchproc")).number, 2812);
}

TEST_F(Errors2000, IdentityInsertRules) {
    session_->Execute(QStringLiteral("CREATE TABLE t (id int IDENTITY(10, 5) NOT NULL, v int NULL)"));
    EXPECT_EQ(First(QStringLiteral("SET IDENTITY_INSERT t ON INSERT t (id, v) VALUES (100, 1) SET IDENTITY_INSERT t OFF")).number, 0);
    EXPECT_EQ(First(QStringLiteral("INSERT t (v) VALUES (2) INSERT t VALUES (3)")).number, 0);
    sqlsim::ResultSet rs = Query(*session_, QStringLiteral("SELECT id FROM t ORDER BY v"));
    ASSERT_EQ(rs.rows.size(), 3u);
    EXPECT_EQ(rs.rows[1][0].AsInt(), 105);
    EXPECT_EQ(rs.rows[2][0].AsInt(), 110);
    EXPECT_EQ(First(QStringLiteral("INSERT t VALUES (1, 2)")).number, 213);
}

TEST_F(Errors2000, RaiserrorAndPrintMessages) {
    sqlsim::BatchResult r = session_->Execute(QStringLiteral("PRINT 'hello' raiserror('at %s, %d', 16, 3, 'x', 7) with nowait"));
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[0].text.toStdString(), "hello");
    EXPECT_EQ(r.messages[0].severity, 0);
    EXPECT_EQ(r.messages[1].number, 50000);
    EXPECT_EQ(r.messages[1].severity, 16);
    EXPECT_EQ(r.messages[1].state, 3);
    EXPECT_EQ(r.messages[1].text.toStdString(), "at x, 7");
}

TEST_F(Errors2000, CancelStopsBeforeTheNextStatement) {
    // A cancel that arrives just before the batch starts is not lost: the batch stops before its
    // first statement. The flag is cleared when the call ends, so the next batch runs.
    session_->Cancel();
    sqlsim::BatchResult r = session_->Execute(QStringLiteral("SELECT 1"));
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.resultSets.size(), 0u);
    r = session_->Execute(QStringLiteral("SELECT 1"));
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(r.resultSets.size(), 1u);
    session_->Cancel();
    r = session_->ExecuteScript(QStringLiteral("SELECT 1\nGO\nSELECT 2\n"));
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.resultSets.size(), 0u);
}

TEST_F(Errors2000, UniqueKeysStayCheckedAcrossIndexChanges) {
    // Keys of existing rows are cached between inserts; index changes and deletes must not
    // leave stale keys behind.
    sqlsim::BatchResult r = session_->Execute(QStringLiteral(
        "CREATE TABLE u (a int NOT NULL, b int NULL)\nINSERT u VALUES (1, 1)\nINSERT u VALUES (2, 2)\n"
        "CREATE UNIQUE INDEX ux ON u (b)\n"));
    ASSERT_EQ(Errors(r).toStdString(), std::string());
    EXPECT_EQ(First(QStringLiteral("INSERT u VALUES (3, 2)")).number, 2601);
    EXPECT_EQ(First(QStringLiteral("DELETE u WHERE b = 2 INSERT u VALUES (3, 2)")).number, 0);
    EXPECT_EQ(First(QStringLiteral("INSERT u VALUES (4, 2)")).number, 2601);
    EXPECT_EQ(First(QStringLiteral("ALTER TABLE u ADD CONSTRAINT PK_u PRIMARY KEY (a)")).number, 0);
    EXPECT_EQ(First(QStringLiteral("INSERT u VALUES (1, 9)")).number, 2627);
    EXPECT_EQ(First(QStringLiteral("UPDATE u SET a = 5 WHERE a = 1 INSERT u VALUES (1, 10)")).number, 0);
    EXPECT_EQ(First(QStringLiteral("INSERT u SELECT 7, 20 UNION ALL SELECT 7, 21")).number, 2627);  // duplicates within one statement
}
