// Control flow, variables, dynamic SQL, procedures and cancellation across batches.
#include "sim_test_util.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace simtest;

namespace {

class Scripts : public SessionTest {
protected:
    QString One(const QString& sql) {
        sqlsim::BatchResult r = session_->ExecuteScript(sql);
        EXPECT_EQ(Errors(r).toStdString(), std::string()) << sql.toStdString();
        if (r.resultSets.empty() || r.resultSets.back().rows.empty()) return QStringLiteral("<none>");
        const sqlsim::Value& v = r.resultSets.back().rows[0][0];
        return v.IsNull() ? QStringLiteral("NULL") : v.AsString();
    }
};

}  // namespace

// Batches run in order on one connection: what each gives ("Msg N" for its first error).
TEST_F(Scripts, ControlFlowVariablesAndSettings) {
    const std::pair<const char*, const char*> cases[] = {
        {"IF EXISTS (SELECT * FROM sysobjects WHERE name = 'nothing') SELECT 'yes' ELSE BEGIN SELECT 'no' END", "no"},
        {"IF NOT EXISTS (SELECT * FROM sysobjects WHERE name = 'nothing') BEGIN PRINT 'x' SELECT 'created' END", "created"},
        {"CREATE TABLE d (v datetime NULL)", "<none>"},
        {"SET DATEFORMAT dmy INSERT d VALUES ('4/7/1996') SET DATEFORMAT mdy", "<none>"},
        {"SELECT CONVERT(varchar(10), v, 112) FROM d", "19960704"},
        {"DECLARE @x int SET @x = 1 EXEC ('SELECT @x')", "Msg 137"},  // batch variables are not seen inside EXEC('...')
        {"WAITFOR DELAY 'soon'", "Msg 148"},
        {"ALTER PROCEDURE nosuch AS SELECT 1", "Msg 208"},
    };
    for (const auto& [sql, outcome] : cases) EXPECT_EQ(Outcome(*session_, QString::fromLatin1(sql)), outcome) << sql;
}

TEST_F(Scripts, DropGuardsOfRealScriptsWork) {
    One(QStringLiteral("CREATE TABLE dbo.Guarded (a int NULL)\nGO\nCREATE VIEW GuardView AS SELECT a FROM Guarded\nGO\n"
                       "CREATE PROCEDURE GuardProc AS SELECT 1\nGO\n"));
    Run(QStringLiteral(
        "if exists (select * from sysobjects where id = object_id('dbo.GuardProc') and sysstat & 0xf = 4) drop procedure \"dbo\".\"GuardProc\"\nGO\n"
        "if exists (select * from sysobjects where id = object_id('dbo.GuardView') and sysstat & 0xf = 2) drop view \"dbo\".\"GuardView\"\nGO\n"
        "if exists (select * from sysobjects where id = object_id('dbo.Guarded') and sysstat & 0xf = 3) drop table \"dbo\".\"Guarded\"\nGO\n"));
    EXPECT_EQ(One(QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE name LIKE 'Guard%'")), QStringLiteral("0"));
}

// The existence tests of generated scripts are answered from the catalog by id; the same
// conditions under a select list the shortcut does not take must give the same answers.
TEST_F(Scripts, ExistenceGuardsAnswerAsTheirQuery) {
    One(QStringLiteral("CREATE TABLE dbo.G1 (a int NOT NULL CONSTRAINT PK_G1 PRIMARY KEY)\nGO\n"
                       "CREATE VIEW dbo.GV AS SELECT a FROM G1\nGO\nCREATE DATABASE Other\nGO\n"
                       "CREATE TABLE Other.dbo.G2 (a int NULL)\nGO\nCREATE TABLE [G 3] (a int NULL)\n"
                       "CREATE TABLE [G\u00fc] (a int NULL)\nGO\n"));
    const char* conditions[] = {
        "id = object_id('[dbo].[G1]') and OBJECTPROPERTY(id, 'IsUserTable') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0",
        "id = object_id(N'dbo.G1') and OBJECTPROPERTY(id, N'IsView') = 1",
        "id = object_id('[dbo].[GV]') and OBJECTPROPERTY(id, 'IsView') = 1",
        "id = object_id('PK_G1') and OBJECTPROPERTY(id, 'IsPrimaryKey') = 1 and OBJECTPROPERTY(id, 'NoSuchProperty') = 1",
        "id = object_id('[dbo].[Missing]') and OBJECTPROPERTY(id, 'IsUserTable') = 1",
        "id = object_id('Other.dbo.G2')",  // an id of another database, looked up in this one's
        "id = object_id(NULL)",
        // Name texts read in place when plain, by the function otherwise.
        "id = object_id('dbo.G1')", "id = object_id('g1')", "id = object_id('.G1')", "id = object_id('[]')",
        "id = object_id('')", "id = object_id('[dbo].')", "id = object_id('nobody.G1')", "id = object_id(' dbo . G1 ')",
        "id = object_id('[dbo].[G 3]')", "id = object_id('[G\u00fc]')", "id = object_id('\"dbo\".\"G1\"')",
        "id = object_id('[dbo]..[G1]')", "id = object_id('..G1')", "id = object_id('[dbo].[G1')", "id = object_id('[dbo]x.[G1]')",
        "id = object_id('[G]]1]')", "id = object_id('a.b.c.d.e')", "id = object_id(1)",
    };
    for (const char* condition : conditions) {
        const QString where = QString::fromUtf8(condition);
        const QString engine = One(QStringLiteral("IF EXISTS (SELECT id FROM dbo.sysobjects WHERE ") + where +
                                   QStringLiteral(") SELECT 'yes' ELSE SELECT 'no'"));
        EXPECT_EQ(One(QStringLiteral("if exists (select * from dbo.sysobjects where ") + where +
                      QStringLiteral(") SELECT 'yes' ELSE SELECT 'no'")),
                  engine)
            << condition;
    }
}

TEST_F(Scripts, DynamicSqlAndDatabaseCreation) {
    Run(QStringLiteral(
        "USE master\nDECLARE @device_directory NVARCHAR(520)\n"
        "SELECT @device_directory = SUBSTRING(filename, 1, CHARINDEX(N'master.mdf', LOWER(filename)) - 1) FROM master.dbo.sysaltfiles WHERE dbid = 1 AND fileid = 1\n"
        "EXECUTE (N'CREATE DATABASE Dyn ON PRIMARY (NAME = N''Dyn'', FILENAME = N''' + @device_directory + N'dyn.mdf'') LOG ON (NAME = N''Dyn_log'',  FILENAME = N''' + @device_directory + N'dyn.ldf'')')\n"
        "GO\nuse \"Dyn\"\nGO\n"));
    EXPECT_EQ(session_->CurrentDatabase().toStdString(), "Dyn");
    EXPECT_EQ(One(QStringLiteral("SELECT db_name()")), QStringLiteral("Dyn"));
}

TEST_F(Scripts, ProceduresWithParametersDefaultsAndReturn) {
    One(QStringLiteral("CREATE TABLE n (v int NULL)\nINSERT n VALUES (1) INSERT n VALUES (2) INSERT n VALUES (3)\nGO\n"
                       "CREATE PROCEDURE Above @min int, @label varchar(10) = 'rows' AS\n"
                       "IF @min > 100 RETURN\nSELECT @label + ':' + CONVERT(varchar, COUNT(*)) FROM n WHERE v > @min\nGO\n"));
    EXPECT_EQ(One(QStringLiteral("EXEC Above 1")), QStringLiteral("rows:2"));
    EXPECT_EQ(One(QStringLiteral("EXEC Above @label = 'n', @min = 0")), QStringLiteral("n:3"));
    EXPECT_EQ(One(QStringLiteral("EXEC Above 500")), QStringLiteral("<none>"));
    EXPECT_EQ(Outcome(*session_, QStringLiteral("EXEC Above")), "Msg 201");
}

TEST_F(Scripts, CursorsInBatchesProceduresAndFunctions) {
    ASSERT_EQ(Errors(session_->ExecuteScript(QStringLiteral(
        "CREATE TABLE n (id int NOT NULL, name varchar(10) NULL)\n"
        "INSERT n VALUES (1, 'one') INSERT n VALUES (2, 'two') INSERT n VALUES (3, 'three')\nGO\n"
        "CREATE PROCEDURE Walk @scope varchar(6) AS\n"
        "DECLARE @id int, @s varchar(50) SET @s = ''\n"
        "IF @scope = 'local' DECLARE w CURSOR LOCAL FOR SELECT id FROM n ORDER BY id\n"
        "ELSE DECLARE w CURSOR GLOBAL FOR SELECT id FROM n ORDER BY id\n"
        "OPEN w FETCH w INTO @id\n"
        "WHILE @@FETCH_STATUS = 0 BEGIN SET @s = @s + CONVERT(varchar, @id) FETCH NEXT FROM w INTO @id END\n"
        "CLOSE w SELECT @s\nGO\n"
        "CREATE FUNCTION Total () RETURNS int AS BEGIN DECLARE @t int, @v int SET @t = 0\n"
        "DECLARE c CURSOR LOCAL FAST_FORWARD FOR SELECT id FROM n OPEN c FETCH NEXT FROM c INTO @v\n"
        "WHILE @@FETCH_STATUS = 0 BEGIN SET @t = @t + @v FETCH NEXT FROM c INTO @v END\n"
        "CLOSE c DEALLOCATE c RETURN @t END\nGO\n"
        "CREATE TRIGGER n_ins ON n FOR INSERT AS DECLARE @x int DECLARE i CURSOR LOCAL FOR SELECT id FROM inserted "
        "FOR READ ONLY OPEN i FETCH NEXT FROM i INTO @x CLOSE i DEALLOCATE i\nGO\n"
        "DECLARE later INSENSITIVE SCROLL CURSOR FOR SELECT name FROM n WHERE id > 1 ORDER BY id FOR READ ONLY\nGO\n"))).toStdString(),
              std::string());
    struct Case {
        const char* sql;
        const char* result;  // first value of the last result set
    } cases[] = {
        // The loop of real scripts; the cursor reads the rows at OPEN, ORDER BY included.
        {"DECLARE @n varchar(10), @s varchar(50) SET @s = ''\n"
         "DECLARE c CURSOR FOR SELECT name FROM n ORDER BY id DESC OPEN c FETCH NEXT FROM c INTO @n\n"
         "WHILE @@FETCH_STATUS = 0 BEGIN SET @s = @s + @n + ',' FETCH NEXT FROM c INTO @n END\n"
         "SELECT @@FETCH_STATUS CLOSE c DEALLOCATE c SELECT @s",
         "three,two,one,"},
        {"DECLARE @a int, @b int, @c int, @d int, @st int\n"
         "DECLARE s CURSOR LOCAL SCROLL FOR SELECT id FROM n ORDER BY id OPEN s\n"
         "FETCH LAST FROM s INTO @a FETCH PRIOR FROM s INTO @b FETCH ABSOLUTE -3 FROM s INTO @c\n"
         "FETCH RELATIVE 5 FROM s INTO @d SET @st = @@FETCH_STATUS FETCH PRIOR FROM s INTO @d\n"
         "SELECT CONVERT(varchar, @a) + CONVERT(varchar, @b) + CONVERT(varchar, @c) + CONVERT(varchar, @d) + CONVERT(varchar, @st)",
         "3213-1"},
        {"DECLARE @c CURSOR, @v varchar(10) SET @c = CURSOR STATIC FOR SELECT name FROM n WHERE id = 2\n"
         "OPEN @c FETCH FIRST FROM @c INTO @v CLOSE @c DEALLOCATE @c SELECT @v",
         "two"},
        {"SELECT dbo.Total()", "6"},
        {"EXEC Walk 'local' EXEC Walk 'local'", "123"},  // a local cursor ends with its procedure
        {"OPEN later FETCH NEXT FROM later", "two"},       // a global one outlives its batch; FETCH without INTO
        {"FETCH NEXT FROM later", "three"},
        {"INSERT n VALUES (4, 'four') SELECT COUNT(*) FROM n", "4"},
    };
    for (const Case& c : cases) EXPECT_EQ(One(QString::fromUtf8(c.sql)).toStdString(), c.result) << c.sql;
    // A global cursor left behind by a procedure is still there when it runs again.
    EXPECT_EQ(Errors(session_->Execute(QStringLiteral("EXEC Walk 'global' EXEC Walk 'global'"))).toStdString(),
              "Msg 16915, Level 16: A cursor with the name 'w' already exists.");
}

TEST_F(Scripts, CancelFromAnotherThreadStopsTheBatch) {
    std::atomic<bool> done{false};
    sqlsim::BatchResult result;
    std::thread worker([&] {
        result = session_->Execute(QStringLiteral("DECLARE @i int SET @i = 0 WHILE @i < 900000 SET @i = @i + 1 SELECT @i"));
        done = true;
    });
    while (!done) {
        session_->Cancel();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.resultSets.empty());
}

TEST_F(Scripts, WaitforDelayWaitsUntilCancelled) {
    sqlsim::BatchResult result;
    std::thread worker([&] { result = session_->Execute(QStringLiteral("WAITFOR DELAY '00:10' SELECT 1")); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    session_->Cancel();
    worker.join();
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.resultSets.empty());
    EXPECT_EQ(One(QStringLiteral("WAITFOR DELAY '00:00:00.010' WAITFOR TIME '23:59' SELECT 2")), QStringLiteral("2"));
}

TEST_F(Scripts, LoginsMadeBySpAddloginLetClientsIn) {
    One(QStringLiteral("EXEC sp_addlogin 'Bob', 'S3cret', 'tempdb'"));
    EXPECT_EQ(server_.CheckLogin(QStringLiteral("bob"), QStringLiteral("S3cret")).value_or(QString()), QStringLiteral("tempdb"));
    EXPECT_FALSE(server_.CheckLogin(QStringLiteral("bob"), QStringLiteral("s3cret")).has_value());
    EXPECT_EQ(session_->Execute(QStringLiteral("EXEC sp_addlogin 'BOB', 'x'")).messages.at(0).number, 15025);
    One(QStringLiteral("EXEC sp_droplogin 'bob'"));
    EXPECT_FALSE(server_.CheckLogin(QStringLiteral("bob"), QStringLiteral("S3cret")).has_value());
}

TEST_F(Scripts, UpdateAndDeleteWithFromClauses) {
    One(QStringLiteral("CREATE TABLE o (id int NOT NULL, name varchar(10) NULL, note varchar(20) NULL)\n"
                       "CREATE TABLE prev (name varchar(10) NULL, note varchar(20) NULL)\n"
                       "INSERT o VALUES (1, 'a', NULL) INSERT o VALUES (2, 'b', NULL) INSERT o VALUES (3, 'c', NULL)\n"
                       "INSERT prev VALUES ('a', 'kept a') INSERT prev VALUES ('c', 'kept c')\n"));
    One(QStringLiteral("UPDATE o SET note = P.note FROM o INNER JOIN prev AS P ON P.name = o.name"));
    EXPECT_EQ(One(QStringLiteral("SELECT COUNT(*) FROM o WHERE note LIKE 'kept%'")), QStringLiteral("2"));
    One(QStringLiteral("UPDATE N SET note = 'x' FROM o AS N WHERE N.id = 2"));
    EXPECT_EQ(One(QStringLiteral("SELECT note FROM o WHERE id = 2")), QStringLiteral("x"));
    One(QStringLiteral("DELETE o FROM o, prev WHERE prev.name = o.name AND prev.note = 'kept c'"));
    EXPECT_EQ(One(QStringLiteral("SELECT COUNT(*) FROM o")), QStringLiteral("2"));
    sqlsim::BatchResult r = session_->Execute(QStringLiteral("UPDATE o SET id = id + 1 SELECT @@ROWCOUNT"));
    ASSERT_EQ(r.resultSets.size(), 1u);
    EXPECT_EQ(r.resultSets[0].rows[0][0].AsInt(), 2);
}

TEST_F(Scripts, FunctionsTriggersAndAlteredCode) {
    Run(QStringLiteral(
        "CREATE TABLE t (a int NOT NULL PRIMARY KEY, b varchar(10) NULL)\nINSERT t VALUES (3, 'x')\nGO\n"
        "CREATE FUNCTION dbo.Twice (@a int) RETURNS int AS BEGIN DECLARE @r int SET @r = @a * 2 RETURN @r END\nGO\n"
        "CREATE FUNCTION Rows (@b varchar(10)) RETURNS TABLE AS RETURN (SELECT * FROM t WHERE b = @b)\nGO\n"
        "CREATE FUNCTION Multi () RETURNS @r TABLE (x int) AS BEGIN INSERT @r VALUES (1) RETURN END\nGO\n"
        "CREATE TRIGGER trg ON t FOR INSERT, UPDATE AS IF UPDATE(b) PRINT 'b changed'\nGO\n"
        "CREATE PROCEDURE pp AS SELECT 1\nGO\nALTER PROCEDURE pp AS SELECT 2\nGO\n"));
    EXPECT_EQ(One(QStringLiteral("SELECT dbo.Twice(a) FROM t")), QStringLiteral("6"));
    EXPECT_EQ(One(QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE xtype IN ('FN', 'IF', 'TF', 'TR')")), QStringLiteral("4"));
    // An altered procedure is stored as the CREATE it amounts to.
    EXPECT_EQ(One(QStringLiteral("SELECT text FROM syscomments WHERE id = OBJECT_ID('pp')")), QStringLiteral("CREATE PROCEDURE pp AS SELECT 2\n"));
    EXPECT_EQ(One(QStringLiteral("EXEC pp")), QStringLiteral("2"));
}

TEST_F(Scripts, GeneratedScriptForms) {
    Run(QStringLiteral(
        "CREATE TABLE [dbo].[x] ([a] [int] NOT NULL , [b] [varchar] (10) NULL ) ON [PRIMARY]\nGO\n"
        "CREATE  INDEX [ix_b] ON [dbo].[x]([b] DESC ) WITH  FILLFACTOR = 90 ON [PRIMARY]\nGO\n"
        "INSERT x VALUES (1, 'one')\n"
        "CREATE TABLE [dbo].[Tmp_x] ([a] [int] NOT NULL , [b] [varchar] (20) NULL )\n"
        "INSERT INTO [dbo].[Tmp_x] ([a], [b]) SELECT [a], [b] FROM [dbo].[x] TABLOCKX\n"
        "DROP INDEX [dbo].[x].[ix_b]\n"
        "if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[x]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)\n"
        "drop table [dbo].[x]\nGO\nEXECUTE sp_rename N'dbo.Tmp_x', N'x', 'OBJECT'\nGO\n"));
    EXPECT_EQ(One(QStringLiteral("SELECT b FROM x WHERE a = 1")), QStringLiteral("one"));
    EXPECT_EQ(One(QStringLiteral("SELECT COUNT(*) FROM sysindexes WHERE name = 'ix_b'")), QStringLiteral("0"));
    // WITH FILLFACTOR = n may be followed by the next column or constraint.
    Run(QStringLiteral(
        "CREATE TABLE y (a int NOT NULL, CONSTRAINT PK_y PRIMARY KEY CLUSTERED (a) WITH FILLFACTOR = 80, b int NULL,\n"
        " CONSTRAINT UQ_y UNIQUE NONCLUSTERED (b) WITH FILLFACTOR = 70 ON [PRIMARY], c int NULL)\n"
        "ALTER TABLE y ADD CONSTRAINT UQ_y2 UNIQUE (a, b) WITH FILLFACTOR = 60, d int NULL\n"));
    EXPECT_EQ(One(QStringLiteral("SELECT CONVERT(varchar, SUM(OrigFillFactor)) + '/' + CONVERT(varchar, COUNT(*)) FROM sysindexes "
                                 "WHERE id = OBJECT_ID('y') AND name LIKE '%_y%'")),
              QStringLiteral("210/3"));
    EXPECT_EQ(One(QStringLiteral("SELECT COUNT(*) FROM syscolumns WHERE id = OBJECT_ID('y')")), QStringLiteral("4"));
}
