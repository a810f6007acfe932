#include "sim_test_util.h"
#include <iostream>
using namespace simtest;
TEST(Probe, Run) {
    sqlsim::Server server;
    auto s = server.Connect(QStringLiteral("tempdb"));
    const char* stmts[] = {
        "CREATE TABLE Orders (x int NULL, y int NULL, [z]] ] int NULL, a int NULL, b int NULL, UnitPrice money NULL, d datetime NULL)",
        "CREATE VIEW V AS SELECT x FROM Orders",
        "CREATE FUNCTION F() RETURNS int AS BEGIN RETURN 1 END",
        "EXEC sp_adduser 'u1'", "EXEC sp_addrole 'u2'", "EXEC sp_addrole 'u3'", "EXEC sp_addrole 'u4'", "EXEC sp_addrole 'u5'", "EXEC sp_addrole 'boss'",
        "GRANT SELECT, INSERT ON [dbo].[Orders] TO [u1]",
        "GRANT SELECT ON [dbo].[Orders] ([x]) TO [u2] AS [dbo]",
        "DENY UPDATE ON [dbo].[Orders] ([a],[b]) TO [u3]",
        "DENY REFERENCES ON [dbo].[Orders] ([y],[z]]]) TO [u4]",
        "DENY INSERT, DELETE ON [dbo].[Orders] TO [u4]",
        "GRANT REFERENCES ON [dbo].[Orders] TO [u3] AS [boss]",
        "GRANT EXECUTE ON [dbo].[F] TO [u1]",
        "GRANT SELECT ON [dbo].[V] TO [u1]",
        "REVOKE ALL ON [dbo].[F] FROM [u1]",
        "REVOKE ALL ON [dbo].[V] FROM [u1]",
        "REVOKE SELECT ON [dbo].[Orders] ([x]) FROM [u2]",
        "REVOKE UPDATE ON [dbo].[Orders] ([a]) FROM [u3] CASCADE",
        "EXEC sp_addrolemember 'u5', 'u1'",
        "EXEC sp_droprolemember 'u5', 'u1'",
        "EXEC sp_droprole 'u5'",
        "EXEC sp_droprole 'nosuch'",
        "EXEC sp_droprolemember 'u4', 'nosuch'",
        "ALTER TABLE Orders ADD CONSTRAINT CK_P CHECK (UnitPrice>=0)",
        "ALTER TABLE Orders ADD CONSTRAINT DF_P DEFAULT 0 FOR UnitPrice",
        "ALTER TABLE Orders ADD CONSTRAINT DF_D DEFAULT getdate() FOR d",
        "ALTER TABLE Orders ADD CONSTRAINT DF_x DEFAULT (('a')) FOR x",
        "ALTER TABLE Orders ADD CONSTRAINT CK_2 CHECK (([UnitPrice] >= 0 AND x < 5))",
        "ALTER TABLE Orders ADD CONSTRAINT CK_3 CHECK ( x IN (1,2) )",
        "SELECT o.name, c.text FROM syscomments c JOIN sysobjects o ON o.id = c.id WHERE o.xtype IN ('C','D')",
        "RAISERROR('x %s y %d', 16, 1, 'abc', 5)",
        "SELECT * FROM syspermissions",
        "EXEC sp_fulltext_database 'enable'",
        "CREATE TABLE Doc (ID int NOT NULL CONSTRAINT PK_Doc PRIMARY KEY, Title nvarchar(100) NULL, Body image NULL, Ext char(3) NULL, Gone ntext NULL)",
        "EXEC sp_fulltext_catalog 'Cat', 'create'",
        "exec sp_fulltext_table '[dbo].[Doc]', 'create', 'Cat','PK_Doc'",
        "exec sp_fulltext_column '[dbo].[Doc]','Title', 'add', 1031",
        "exec sp_fulltext_column '[dbo].[Doc]','Body', 'add', 1033, 'Ext'",
        "exec sp_fulltext_column '[dbo].[Doc]','Gone', 'add'",
        "exec sp_fulltext_table '[dbo].[Doc]', 'Activate'",
        "exec sp_fulltext_table '[dbo].[Doc]', 'start_change_tracking'",
        "exec sp_fulltext_table '[dbo].[Doc]', 'Start_background_updateindex'",
        "exec sp_fulltext_table '[dbo].[Doc]', 'Stop_background_updateindex'",
        "exec sp_fulltext_table '[dbo].[Doc]', 'stop_change_tracking'",
        "IF ISNULL(COLUMNPROPERTY (OBJECT_ID('[dbo].[Doc]') ,'Gone', 'IsFulltextIndexed' ),0) = 1\n  exec sp_fulltext_column '[dbo].[Doc]','Gone', 'drop'",
        "ALTER TABLE Doc DROP COLUMN Gone",
        "exec sp_fulltext_table '[dbo].[Doc]', 'deactivate'",
        "exec sp_fulltext_table '[dbo].[Doc]', 'drop'",
        "EXEC sp_fulltext_catalog 'Cat', 'drop'",
        "CREATE PROCEDURE P;2 AS SELECT 1",
        "CREATE PROCEDURE P AS SELECT 1",
        "CREATE PROCEDURE P;2 AS SELECT 2",
        "DROP PROCEDURE P",
        "ALTER PROCEDURE nosuch AS SELECT 1",
        "CREATE TABLE t5 (a int NOT NULL, b int NULL)",
        "INSERT INTO t5 (a, b) SELECT CONVERT(int, x), y FROM Orders",
        "ALTER TABLE t5 ADD CONSTRAINT PK_t5 PRIMARY KEY NONCLUSTERED (a) WITH FILLFACTOR = 90 ON [PRIMARY]",
        "ALTER TABLE t5 ADD CONSTRAINT UQ_t5 UNIQUE CLUSTERED (b)",
        "ALTER TABLE t5 ADD CONSTRAINT FK_t5 FOREIGN KEY (a) REFERENCES t5 (a) ON DELETE CASCADE ON UPDATE CASCADE NOT FOR REPLICATION",
        "ALTER TABLE t5 ADD CONSTRAINT CK_t5 CHECK NOT FOR REPLICATION (a > 0)",
        "ALTER TABLE t5 NOCHECK CONSTRAINT CK_t5, FK_t5",
        "SELECT name, OBJECTPROPERTY(id,'CnstIsDisabled') d, OBJECTPROPERTY(id,'CnstIsNotRepl') r FROM sysobjects WHERE parent_obj = OBJECT_ID('t5')",
        "SET XACT_ABORT ON SET ANSI_PADDING ON SET ARITHABORT ON SET NUMERIC_ROUNDABORT OFF SET CONCAT_NULL_YIELDS_NULL ON SET ANSI_WARNINGS ON",
    };
    for (const char* t : stmts) {
        sqlsim::BatchResult r = s->Execute(QString::fromUtf8(t));
        std::cout << "== " << t << "\n";
        for (const auto& m : r.messages) std::cout << "   Msg " << m.number << "," << m.severity << ": " << m.text.toStdString() << "\n";
        for (const auto& rs : r.resultSets) for (const auto& row : rs.rows) { std::cout << "   "; for (const auto& v : row) std::cout << (v.IsNull() ? std::string("NULL") : v.AsString().toStdString()) << " | "; std::cout << "\n"; }
    }
}
