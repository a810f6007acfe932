// What DDL leaves in the system tables: definitions, indexes, permissions, roles, full-text.
#include "catalog_queries.h"
#include "sim_test_util.h"
#include "sqlsim/catalog.h"
#include "sqlsim/value_ops.h"

#include <QRegularExpression>

using namespace simtest;
namespace cq = catalog_queries;

namespace {

class Catalog : public SessionTest {
protected:
    void SetUp() override { Run(QStringLiteral("CREATE DATABASE cat\nGO\nUSE cat\n")); }
};

}  // namespace

TEST_F(Catalog, LongDefinitionsAreSplitIntoChunksOf4000Characters) {
    QString view = QStringLiteral("CREATE VIEW dbo.LongView AS SELECT 1 AS a -- ") + QString(9000, u'x') + "\n";
    Run(view);
    sqlsim::ResultSet rs = Query(*session_, cq::Views());
    ASSERT_EQ(rs.rows.size(), 3u);
    QString joined;
    for (size_t i = 0; i < rs.rows.size(); ++i) {
        EXPECT_EQ(Int(rs, i, "colid"), static_cast<long long>(i + 1));
        joined += Text(rs, i, "Definition");
    }
    EXPECT_EQ(Text(rs, 0, "Definition").size(), 4000);
    EXPECT_EQ(joined.size(), view.size());
    EXPECT_TRUE(joined == view);
}

TEST_F(Catalog, GeneratedConstraintNamesFollowTheServerPattern) {
    Run(QStringLiteral("CREATE TABLE publishers (pub_id char(4) NOT NULL PRIMARY KEY, country varchar(30) NULL DEFAULT('USA'),"
                       " state char(2) NULL CHECK (state <> 'XX'))\n"
                       "CREATE TABLE titles (title_id int NOT NULL, pub_id char(4) NULL REFERENCES publishers(pub_id))\n"));
    sqlsim::ResultSet rs = Query(*session_, QStringLiteral("SELECT name, type FROM sysobjects WHERE parent_obj <> 0 ORDER BY type"));
    ASSERT_EQ(rs.rows.size(), 4u);
    // A name of at most 30 characters: a key names up to 16 characters of its table; a default,
    // check or foreign key up to 9 of the table and of the column what fits into 14 together.
    auto matches = [&](size_t row, const char* pattern) {
        return QRegularExpression(QLatin1String(pattern)).match(Text(rs, row, "name")).hasMatch();
    };
    EXPECT_TRUE(matches(0, "^CK__publisher__state__[0-9A-F]{8}$")) << Text(rs, 0, "name").toStdString();
    EXPECT_TRUE(matches(1, "^DF__publisher__count__[0-9A-F]{8}$")) << Text(rs, 1, "name").toStdString();
    EXPECT_TRUE(matches(2, "^FK__titles__pub_id__[0-9A-F]{8}$")) << Text(rs, 2, "name").toStdString();
    EXPECT_TRUE(matches(3, "^PK__publishers__[0-9A-F]{8}$")) << Text(rs, 3, "name").toStdString();
}

TEST_F(Catalog, PermissionsWithActionBitsAndColumnBitmaps) {
    Run(QStringLiteral("CREATE TABLE t (a int NULL, b int NULL, c int NULL)\nGO\nCREATE PROCEDURE pr AS SELECT 1\nGO\n"
                       "EXEC sp_addrole 'readers'\nGRANT SELECT, INSERT ON t TO readers\nDENY DELETE ON t TO readers\n"
                       "GRANT UPDATE (b, c) ON t TO public\nDENY SELECT (a) ON t TO public\nGRANT EXECUTE ON pr TO readers\n"));
    sqlsim::ResultSet rs = Query(*session_, cq::Permissions() + " ORDER BY GranteeName, Object");
    ASSERT_EQ(rs.rows.size(), 3u);
    EXPECT_EQ(Text(rs, 0, "GranteeName").toStdString(), "public");
    EXPECT_EQ(Text(rs, 0, "GrantorName").toStdString(), "dbo");
    int updadd = Col(rs, "updadd"), selmod = Col(rs, "selmod"), seladd = Col(rs, "seladd");
    ASSERT_GE(updadd, 0);
    EXPECT_EQ(rs.rows[0][updadd].AsBinary().toHex().toStdString(), "0c");  // bits for colids 2 and 3
    EXPECT_EQ(rs.rows[0][selmod].AsBinary().toHex().toStdString(), "02");  // colid 1
    EXPECT_TRUE(rs.rows[0][seladd].IsNull());
    EXPECT_EQ(Text(rs, 1, "Object").toStdString(), "pr");
    EXPECT_EQ(Int(rs, 1, "actadd"), 32);
    EXPECT_EQ(Text(rs, 2, "Object").toStdString(), "t");
    EXPECT_EQ(Int(rs, 2, "actadd"), 1 | 8);
    EXPECT_EQ(Int(rs, 2, "actmod"), 16);
    EXPECT_EQ(Text(rs, 2, "type").trimmed().toStdString(), "U");
}

// What DDL leaves behind, read through the loader's queries: each script runs in a database of
// its own, then the rows `where` picks give the column's values (as Values reads them).
TEST_F(Catalog, QueriesReadWhatTheDdlLeft) {
    const QString userColumns = QStringLiteral("SELECT c.name, t.name AS tn, c.length, c.isnullable FROM syscolumns c INNER JOIN "
                                               "systypes t ON t.xusertype = c.xusertype WHERE c.id = OBJECT_ID('%1') ORDER BY c.colid");
    const QString sysindexes = QStringLiteral("SELECT o.name AS t, i.indid, i.name, i.status, i.OrigFillFactor FROM sysindexes i "
                                              "INNER JOIN sysobjects o ON o.id = i.id WHERE o.type = 'U' ORDER BY o.name, i.indid");
    struct Check {
        QString query;
        const char *where, *column, *expected;
    };
    const struct {
        const char* script;
        std::vector<Check> checks;
    } cases[] = {
        // A heap with a text column, a clustered key and an index with its options. A clustered
        // table has no heap row, so the tables query falls back to the default group.
        {"CREATE TABLE heap (a int NOT NULL, t text NULL)\n"
         "CREATE TABLE clus (a int NOT NULL CONSTRAINT PK_clus PRIMARY KEY CLUSTERED, b varchar(5) NULL)\n"
         "CREATE UNIQUE NONCLUSTERED INDEX ix_b ON clus (b) WITH IGNORE_DUP_KEY, STATISTICS_NORECOMPUTE, FILLFACTOR = 80, PAD_INDEX\n",
         {{sysindexes, "", "t", "clus,heap"}, {sysindexes, "", "indid", "1,2,0,255"}, {sysindexes, "#1", "status&1", "1"},
          {sysindexes, "#1", "status&16777216", "16777216"}, {sysindexes, "#1", "OrigFillFactor", "80"}, {sysindexes, "", "#rows", "4"},
          {cq::Indexes(), "Index=ix_b", "IsPadIndex", "1"}, {cq::Indexes(), "Index=ix_b", "IndexFillFactor", "80"},
          {cq::Indexes(), "Index=ix_b", "IsUnique", "1"}, {cq::Tables(1), "", "#rows", "2"}, {cq::Tables(1), "#0", "FileGroupID", "1"}}},
        // The session settings are recorded with code objects.
        {"SET ANSI_NULLS OFF\nSET QUOTED_IDENTIFIER OFF\nGO\nCREATE PROCEDURE p_off AS SELECT 1\nGO\n"
         "SET ANSI_NULLS ON\nGO\nCREATE PROCEDURE p_ansi AS SELECT 1\nGO\n",
         {{cq::Procedures(), "", "Procedure", "p_ansi,p_off"}, {cq::Procedures(), "Procedure=p_ansi", "Status", "16"},
          {cq::Procedures(), "Procedure=p_off", "Status", "0"}}},
        // Computed column formulas are numbered by their column id.
        {"CREATE TABLE calc (a int NULL, b int NULL, total AS a + b, twice AS (a * 2))",
         {{cq::Formulas(), "", "number", "3,4"}, {cq::Formulas(), "number=3", "Definition", "([a] + [b])"},
          {cq::Formulas(), "number=4", "Definition", "([a] * 2)"}}},
        // A computed column takes the type of its expression.
        {"CREATE TABLE names (f varchar(10) NULL, l nvarchar(20) NULL, full_name AS f + ' ' + l, price money NULL, gross AS price * 2)\n"
         "INSERT names (f, l, price) VALUES ('Ann', N'Lee', $2.50)",
         {{userColumns.arg(QLatin1String("names")), "", "#rows", "5"}, {userColumns.arg(QLatin1String("names")), "#2", "tn", "nvarchar"},
          {userColumns.arg(QLatin1String("names")), "#2", "length", "62"}, {userColumns.arg(QLatin1String("names")), "#4", "tn", "money"},
          {QStringLiteral("SELECT full_name, gross FROM names"), "", "full_name", "Ann Lee"},
          {QStringLiteral("SELECT full_name, gross FROM names"), "", "gross", "5.00"}}},
        // Roles with their members, a role among them; a role without members has one row.
        {"EXEC sp_addrole 'r1'\nEXEC sp_addrole 'r2'\nEXEC sp_adduser 'alice'\nEXEC sp_addrolemember 'r1', 'alice'\n"
         "EXEC sp_addrolemember 'r1', 'r2'\n",
         {{cq::Roles(), "", "Role", "r1,r2"}, {cq::Roles(), "", "#rows", "3"}, {cq::Roles(), "Role=r2", "Member", "NULL"},
          {cq::Roles(), "Role=r1,Member=alice", "#rows", "1"}, {cq::Roles(), "Role=r1,Member=r2", "#rows", "1"}}},
        // User types carry their length and nullability into the columns.
        {"EXEC sp_addtype empid, 'char(9)', 'NOT NULL'\nEXEC sp_addtype note, 'varchar(20)'\nCREATE TABLE e (id empid, n note)\n",
         {{userColumns.arg(QLatin1String("e")), "", "#rows", "2"}, {userColumns.arg(QLatin1String("e")), "#0", "tn", "empid"},
          {userColumns.arg(QLatin1String("e")), "#0", "length", "9"}, {userColumns.arg(QLatin1String("e")), "", "isnullable", "0,1"}}},
        // An added file group holds a table whose text goes to another.
        {"ALTER DATABASE DB_NAME ADD FILEGROUP [SECONDARY]\n"
         "CREATE TABLE onsec (a int NOT NULL, t text NULL) ON [SECONDARY] TEXTIMAGE_ON [PRIMARY]\n",
         {{cq::FileGroups(), "", "#rows", "2"}, {cq::FileGroups(), "#1", "groupname", "SECONDARY"}, {cq::FileGroups(), "#1", "IsDefault", "0"},
          {cq::Tables(1), "", "#rows", "1"}, {cq::Tables(1), "#0", "FileGroupID", "2"}, {cq::Tables(1), "#0", "TextFileGroupID", "1"}}},
        // Renamed indexes, keys and columns keep the index rows consistent.
        {"CREATE TABLE r (a int NOT NULL CONSTRAINT PK_r PRIMARY KEY, b int NULL)\nCREATE INDEX ix_b ON r (b)\n"
         "EXEC sp_rename 'r.ix_b', 'ix_b2', 'INDEX'\nEXEC sp_rename 'PK_r', 'PK_r2'\nEXEC sp_rename 'r.b', 'c', 'COLUMN'\n",
         {{cq::Indexes(), "", "#rows", "2"}, {cq::Indexes(), "Index=PK_r2", "Field", "a"}, {cq::Indexes(), "Index=ix_b2", "Field", "c"},
          {cq::Indexes(), "Index=PK_r2", "IsPrimaryClustered", "1"}}},
    };
    int database = 0;
    for (const auto& c : cases) {
        const QString name = QStringLiteral("ddl%1").arg(++database);
        Run(QStringLiteral("CREATE DATABASE %1\nGO\nUSE %1\nGO\n").arg(name) + QString::fromLatin1(c.script).replace(QLatin1String("DB_NAME"), name));
        for (const Check& check : c.checks)
            EXPECT_EQ(Values(Query(*session_, check.query), QLatin1String(check.where), QLatin1String(check.column)), check.expected)
                << c.script << "\n" << check.where << " " << check.column;
    }
}

TEST_F(Catalog, CompatibilityLevelCanBeSet) {
    EXPECT_EQ(Int(Query(*session_, cq::DatabaseLevel(QStringLiteral("'cat'"))), 0, "CmptLevel"), 80);  // a new database's
    Run(QStringLiteral("EXEC sp_dbcmptlevel 'cat', 70"));
    sqlsim::ResultSet rs = Query(*session_, cq::DatabaseLevel(QStringLiteral("'cat'")));
    ASSERT_EQ(rs.rows.size(), 1u);
    EXPECT_EQ(Int(rs, 0, "CmptLevel"), 70);
    EXPECT_EQ(Int(Query(*session_, cq::DatabaseLevel(QStringLiteral("'master'"))), 0, "CmptLevel"), 80);
    EXPECT_EQ(Query(*session_, cq::DatabaseLevel(QStringLiteral("'nosuchdb'"))).rows.size(), 0u);  // no row: the loader's oldest level
}

// Statements the catalog refuses, each with the server's number ("0": the statement works).
TEST_F(Catalog, RefusedStatementsAndTheirNumbers) {
    Run(QStringLiteral("CREATE TABLE r (a int NOT NULL)\nEXEC sp_addrole 'r1'"));
    const std::pair<const char*, const char*> cases[] = {
        {"EXEC sp_addrole 'r1'", "Msg 15023"},
        {"DROP DATABASE cat", "Msg 3702"},  // in use by this session
        {"CREATE DATABASE gone USE gone USE cat DROP DATABASE gone", "<none>"},
        {"USE gone", "Msg 911"},  // a dropped database is not found again by its name
        {"EXEC sp_dbcmptlevel 'cat', 75", "Msg 15048"},
        {"CREATE TABLE bad (a int) ON [NOSUCH]", "Msg 1921"},
        {"CREATE VIEW ordered AS SELECT a FROM r ORDER BY a", "Msg 1033"},
        {"CREATE VIEW top_ordered AS SELECT TOP 5 a FROM r ORDER BY a", "<none>"},
    };
    for (const auto& [sql, outcome] : cases) EXPECT_EQ(Outcome(*session_, QString::fromLatin1(sql)), outcome) << sql;
}

TEST_F(Catalog, BoundDefaultsRulesAndDroppedTypes) {
    Run(QStringLiteral("EXEC sp_addtype phone, 'varchar(12)'\nGO\nCREATE DEFAULT dbo.D_Zero AS 0\nGO\n"
                       "CREATE RULE R_Pos AS @v > 0\nGO\nCREATE TABLE t (a int, p phone)\n"
                       "EXEC sp_bindefault 'D_Zero', 't.a'\nEXEC sp_bindrule 'R_Pos', 'phone'\n"
                       "INSERT INTO t (p) VALUES ('x')\n"));
    sqlsim::ResultSet rs = Query(*session_, QStringLiteral(
        "SELECT o.xtype, o.parent_obj, c.cdefault - o.id AS d FROM sysobjects o, syscolumns c "
        "WHERE o.name = 'D_Zero' AND c.id = OBJECT_ID('t') AND c.name = 'a'"));
    ASSERT_EQ(rs.rows.size(), 1u);
    EXPECT_EQ(Text(rs, 0, "xtype").trimmed().toStdString(), "D");
    EXPECT_EQ(Int(rs, 0, "parent_obj"), 0);
    EXPECT_EQ(Int(rs, 0, "d"), 0);
    EXPECT_EQ(Query(*session_, QStringLiteral("SELECT a FROM t")).rows[0][0].AsInt(), 0);
    EXPECT_EQ(Query(*session_, QStringLiteral("SELECT domain - OBJECT_ID('R_Pos') FROM systypes WHERE name = 'phone'"))
                  .rows[0][0].AsInt(), 0);
    // Bound objects and used types cannot be dropped; unbound and unused ones can.
    const std::pair<const char*, int> steps[] = {
        {"DROP DEFAULT D_Zero", 3716}, {"EXEC sp_unbindefault 't.a'", 0}, {"DROP DEFAULT D_Zero", 0},
        {"EXEC sp_droptype phone", 15180}, {"EXEC sp_unbindrule 'phone'", 0}, {"DROP RULE R_Pos", 0},
        {"DROP TABLE t", 0}, {"EXEC sp_droptype phone", 0}, {"EXEC sp_droptype phone", 15036}};
    for (const auto& [sql, number] : steps)
        EXPECT_EQ(ErrorNumbers(QString::fromLatin1(sql)), number ? std::vector<int>{number} : std::vector<int>()) << sql;
}

TEST_F(Catalog, ValuesTheServerReportsForTypesAndKeys) {
    Run(QStringLiteral("CREATE TABLE v (t text NULL, n ntext NULL, i image NULL, g uniqueidentifier NULL, a int NOT NULL,"
                       " b varchar(10) NOT NULL, CONSTRAINT PK_v PRIMARY KEY (a DESC, b))\n"
                       "CREATE INDEX ix_v ON v (b DESC, a ASC)\n"));
    const struct {
        const char* sql;
        const char* expected;
    } cases[] = {
        {"SELECT prec FROM syscolumns WHERE id = OBJECT_ID('v') AND name = 't'", "0"},
        {"SELECT prec FROM syscolumns WHERE id = OBJECT_ID('v') AND name = 'n'", "0"},
        {"SELECT prec FROM syscolumns WHERE id = OBJECT_ID('v') AND name = 'i'", "0"},
        {"SELECT prec FROM syscolumns WHERE id = OBJECT_ID('v') AND name = 'g'", "0"},
        {"SELECT prec FROM syscolumns WHERE id = OBJECT_ID('v') AND name = 'b'", "10"},
        {"SELECT usertype FROM syscolumns WHERE id = OBJECT_ID('v') AND name = 'b'", "2"},
        {"SELECT usertype FROM systypes WHERE name = 'int'", "7"},
        {"SELECT usertype FROM systypes WHERE name = 'decimal'", "24"},
        {"SELECT usertype FROM systypes WHERE name = 'timestamp'", "80"},
        {"SELECT usertype FROM systypes WHERE name = 'nvarchar'", "0"},
        {"SELECT usertype FROM systypes WHERE name = 'sysname'", "18"},
        {"SELECT INDEXKEY_PROPERTY(OBJECT_ID('v'), 1, 1, 'IsDescending')", "1"},
        {"SELECT INDEXKEY_PROPERTY(OBJECT_ID('v'), 1, 2, 'IsDescending')", "0"},
        {"SELECT INDEXKEY_PROPERTY(OBJECT_ID('v'), 2, 1, 'IsDescending')", "1"},
        {"SELECT INDEXKEY_PROPERTY(OBJECT_ID('v'), 2, 2, 'IsDescending')", "0"},
        {"SELECT INDEXKEY_PROPERTY(OBJECT_ID('v'), 2, 1, 'ColumnId')", "6"},
        {"SELECT INDEXKEY_PROPERTY(OBJECT_ID('v'), 2, 3, 'IsDescending')", "NULL"},
    };
    for (const auto& c : cases) EXPECT_EQ(Outcome(*session_, QString::fromLatin1(c.sql)), c.expected) << c.sql;
}

// Every column of a row of sysobjects, syscolumns and sysindexes (a query reading only some of
// them gets only those computed, so each must still come from its own value).
TEST_F(Catalog, SystemTableRowsHoldEachColumnsOwnValue) {
    Run(QStringLiteral("CREATE TABLE v (a int NOT NULL, b varchar(10) NOT NULL, CONSTRAINT PK_v PRIMARY KEY (a DESC, b))\n"
                       "CREATE INDEX ix_v ON v (b DESC, a ASC)\n"
                       "CREATE TABLE w (k int IDENTITY(3, 2) NOT FOR REPLICATION, m decimal(9, 2) NULL CONSTRAINT DF_w DEFAULT (1),"
                       " x AS k + 1)\nGO\nCREATE TRIGGER tr_w ON w FOR UPDATE AS RETURN\n"));
    const struct {
        const char* table;
        const char* where;
        const char* columns;  // expressions over the table's columns, separated by blanks
        const char* expected;
    } cases[] = {
        {"sysobjects", "name = 'PK_v'",
         "name id-OBJECT_ID('PK_v') xtype uid info status base_schema_ver replinfo parent_obj-OBJECT_ID('v') ftcatid schema_ver "
         "stats_schema_ver type userstat sysstat indexdel version deltrig instrig updtrig seltrig category cache",
         "PK_v|0|PK|1|0|0|32|0|0|0|32|0|K |0|41|0|0|0|0|0|0|0|0"},
        {"sysobjects", "name = 'w'", "xtype status type userstat sysstat deltrig instrig updtrig-OBJECT_ID('tr_w') seltrig category",
         "U |0|U |1|35|0|0|0|0|0"},
        {"syscolumns", "id = OBJECT_ID('v') AND name = 'b'",
         "name colid xtype typestat xusertype length xprec xscale xoffset bitpos reserved colstat cdefault domain number colorder "
         "autoval offset collationid language status type usertype printfmt prec scale iscomputed isoutparam isnullable collation "
         "tdscollation",
         "b|2|167|0|167|10|0|0|0|0|0|0|0|0|0|2|NULL|0|872468488|0|0|167|2|NULL|10|NULL|0|0|0|SQL_Latin1_General_CP1_CI_AS|NULL"},
        {"syscolumns", "id = OBJECT_ID('w') AND name = 'k'", "xtype length xprec xscale colstat status prec scale isnullable collation",
         "56|4|10|0|17|128|10|0|0|NULL"},
        {"syscolumns", "id = OBJECT_ID('w') AND name = 'm'", "xprec xscale prec scale cdefault-OBJECT_ID('DF_w') domain status", "9|2|9|2|0|0|8"},
        {"syscolumns", "id = OBJECT_ID('w') AND name = 'x'", "colstat iscomputed", "4|1"},
        {"sysindexes", "id = OBJECT_ID('v') AND indid = 2",
         "id-OBJECT_ID('v') status first indid root minlen keycnt groupid dpages reserved used rowcnt rowmodctr xmaxlen maxirow "
         "OrigFillFactor StatVersion FirstIAM impid lockflags pgmodctr keys name statblob maxlen rows",
         "0|0|NULL|2|NULL|0|3|1|1|2|2|0|0|0|0|0|0|NULL|0|0|0|NULL|ix_v|NULL|8000|0"},
    };
    for (const auto& c : cases) {
        QStringList values;
        for (const QString& column : QString::fromLatin1(c.columns).split(u' '))
            values << QStringLiteral("ISNULL(CONVERT(varchar(40), %1), 'NULL')").arg(column);
        const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(values.join(QStringLiteral(" + '|' + ")), c.table, c.where);
        EXPECT_EQ(Outcome(*session_, sql), c.expected) << sql.toStdString();
    }
    // "k.*" in a join reads every column of that table (colid too, which no other item names).
    const sqlsim::ResultSet keys = Query(*session_, QStringLiteral("SELECT o.name, k.* FROM sysobjects o INNER JOIN sysindexkeys k "
                                                                   "ON k.id = o.id WHERE o.name = 'v' AND k.indid = 2 AND k.keyno = 1"));
    ASSERT_EQ(keys.rows.size(), 1u);
    ASSERT_EQ(keys.columns.size(), 5u);
    EXPECT_EQ(keys.rows[0][3].AsInt(), 2);  // ix_v starts with b
}

TEST_F(Catalog, ChangingTheOwnerMovesTheObjectAndItsConstraints) {
    Run(QStringLiteral("EXEC sp_adduser 'ann'\nCREATE TABLE t (a int NOT NULL CONSTRAINT PK_t PRIMARY KEY)\nCREATE TABLE ann.t (a int NULL)\n"
                       "CREATE TABLE u (a int NOT NULL CONSTRAINT PK_u PRIMARY KEY)\nGRANT SELECT ON u TO public\n"));
    const std::pair<const char*, int> steps[] = {
        {"EXEC sp_changeobjectowner 'nosuch', 'ann'", 15001},
        {"EXEC sp_changeobjectowner 'PK_u', 'ann'", 15001},  // a constraint moves only with its table
        {"EXEC sp_changeobjectowner 'u', 'nobody'", 15410},
        {"EXEC sp_changeobjectowner 't', 'ann'", 15505},     // ann has a t already
        {"EXEC sp_changeobjectowner 'dbo.u', 'ann'", 0},
        {"SELECT a FROM ann.u", 0},
        {"SELECT a FROM dbo.u", 208},
        {"EXEC sp_changeobjectowner 'ann.u', 'dbo'", 0},
    };
    for (const auto& [sql, number] : steps) {
        const std::string outcome = Outcome(*session_, QString::fromLatin1(sql));
        EXPECT_EQ(outcome.rfind("Msg ", 0) == 0 ? std::stoi(outcome.substr(4)) : 0, number) << sql;
    }
    Run(QStringLiteral("EXEC sp_changeobjectowner 'u', 'ann'"));
    sqlsim::ResultSet rs = Query(*session_, QStringLiteral("SELECT USER_NAME(uid) FROM sysobjects WHERE name = 'PK_u'"));
    EXPECT_EQ(rs.rows[0][0].AsString().toStdString(), "ann");
    EXPECT_EQ(Query(*session_, QStringLiteral("SELECT COUNT(*) FROM syspermissions WHERE id = OBJECT_ID('ann.u')")).rows[0][0].AsInt(), 0);
}

// The system tables a query reads whole are kept between queries while the catalog stays the same:
// after each kind of change, the same query must see it (before it, it must not).
TEST_F(Catalog, SystemTableQueriesSeeEveryChange) {
    Run(QStringLiteral("CREATE TABLE t (a int NOT NULL, b int NULL)\nGO\nCREATE DEFAULT D_Zero AS 0\nGO\n"));
    const QString userTables = QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE xtype = 'U'");
    const QString columnsOfT = QStringLiteral(
        "SELECT COUNT(*) FROM syscolumns c INNER JOIN sysobjects o ON o.id = c.id WHERE o.name = 't' AND c.name LIKE '%'");
    struct Case {
        const char* change;
        QString query;
        const char *before, *after;
    };
    const Case cases[] = {
        {"CREATE TABLE u (x int)", userTables, "1", "2"},
        {"DROP TABLE u", userTables, "2", "1"},
        {"ALTER TABLE t ADD c int NULL", columnsOfT, "2", "3"},
        {"ALTER TABLE t DROP COLUMN c", columnsOfT, "3", "2"},
        {"EXEC sp_rename 't.b', 'bb', 'COLUMN'", QStringLiteral("SELECT MAX(name) FROM syscolumns WHERE name LIKE 'b%'"), "b", "bb"},
        {"EXEC sp_rename 't', 't2'", QStringLiteral("SELECT MIN(name) FROM sysobjects WHERE xtype = 'U'"), "t", "t2"},
        {"EXEC sp_rename 't2', 't'", QStringLiteral("SELECT MIN(name) FROM sysobjects WHERE xtype = 'U'"), "t2", "t"},
        {"BEGIN TRAN\nCREATE TABLE v (x int)\nSELECT COUNT(*) FROM sysobjects WHERE xtype = 'U'\nROLLBACK", userTables, "1", "1"},
        {"GRANT SELECT ON t TO public", QStringLiteral("SELECT COUNT(*) FROM syspermissions"), "0", "1"},
        {"INSERT INTO t (a) VALUES (1)", QStringLiteral("SELECT rows FROM sysindexes WHERE name = 't'"), "0", "1"},
        {"EXEC sp_addtype ssn, 'varchar(11)'", QStringLiteral("SELECT COUNT(*) FROM systypes WHERE name = 'ssn'"), "0", "1"},
        {"EXEC sp_bindefault 'D_Zero', 't.a'", QStringLiteral("SELECT COUNT(*) FROM syscolumns WHERE cdefault <> 0"), "0", "1"},
        {"EXEC sp_addrole 'auditors'", QStringLiteral("SELECT COUNT(*) FROM sysusers WHERE name = 'auditors'"), "0", "1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Outcome(*session_, c.query), c.before) << c.change;
        Run(QString::fromLatin1(c.change));
        EXPECT_EQ(Outcome(*session_, c.query), c.after) << c.change;
    }
    // A transaction another connection leaves open is rolled back when it closes, outside any
    // statement of this one.
    auto other = server_.Connect(QStringLiteral("cat"));
    ASSERT_EQ(Errors(other->Execute(QStringLiteral("BEGIN TRAN\nCREATE TABLE w (x int)"))).toStdString(), std::string());
    EXPECT_EQ(Outcome(*session_, userTables), "2");
    other.reset();
    EXPECT_EQ(Outcome(*session_, userTables), "1");
}

// A WHERE condition pushed onto a kept system table leaves its verdict on each row for the next
// query that asks the same under the same settings. Each query runs twice (the verdicts made,
// then read) and must answer as the same condition on a variable does, which is evaluated anew.
TEST_F(Catalog, KeptVerdictsOfConditionsAnswerAsTheConditions) {
    Run(QStringLiteral("CREATE TABLE t (a int)\nGO\nCREATE VIEW v AS SELECT a FROM t\nGO\n"
                       "CREATE DATABASE other COLLATE Latin1_General_CS_AS\nGO\nUSE other\nGO\n"
                       "CREATE PROCEDURE p AS SELECT 1\nGO\nCREATE TABLE x (a int)\nGO\nUSE cat\n"));
    struct Case {
        const char *settings, *condition, *type, *value;
    };
    const Case cases[] = {
        {"USE cat", "o.id = OBJECT_ID(%1)", "varchar(10)", "'t'"},
        {"USE other", "o.id = OBJECT_ID(%1)", "varchar(10)", "'t'"},  // names are looked up in the current database
        {"USE cat", "o.name = %1", "varchar(10)", "'T'"},
        {"USE other", "o.name = %1", "varchar(10)", "'T'"},  // its collation is case-sensitive
        // Asked only of the rows the first condition keeps, or the view divides by zero.
        {"USE cat", "o.xtype = 'U' AND 1 / OBJECTPROPERTY(o.id, 'IsUserTable') = %1", "int", "1"},
    };
    const QString select = QStringLiteral("SELECT COUNT(*) FROM cat.dbo.sysobjects o INNER JOIN cat.dbo.sysusers u ON u.uid = o.uid WHERE ");
    std::vector<std::string> answers;
    for (const Case& c : cases) {
        Run(QString::fromLatin1(c.settings));
        const QString condition = QString::fromLatin1(c.condition);
        const QString kept = select + condition.arg(QString::fromLatin1(c.value));
        // (SELECT @v = ... changes no catalog: the kept tables and their verdicts stay.)
        const std::string general = Outcome(*session_, QStringLiteral("DECLARE @v %1 SELECT @v = %2 ").arg(c.type, c.value) + select +
                                                           condition.arg(QStringLiteral("@v")));
        EXPECT_EQ(Outcome(*session_, kept), general) << c.settings << " " << c.condition;
        // (The first time, a column sysobjects has not held yet: it is built again, with its verdicts.)
        Outcome(*session_, QStringLiteral("SELECT COUNT(*) FROM cat.dbo.sysobjects o INNER JOIN cat.dbo.sysusers u ON u.uid = o.uid "
                                          "WHERE o.refdate IS NOT NULL"));
        EXPECT_EQ(Outcome(*session_, kept), general) << c.settings << " " << c.condition;
        answers.push_back(general);
    }
    // The settings change the answers, so that a verdict kept across them would be caught.
    EXPECT_NE(answers[0], answers[1]);
    EXPECT_NE(answers[2], answers[3]);
}

// The system tables kept for a state of the catalog hold their rows in one block of values; rows
// built for one query (the objects a query pins by id) are the reference. Every column or some,
// WHERE on the rows or pushed into a join, GROUP BY over the kept rows and a count reading none.
TEST_F(Catalog, KeptTablesAnswerAsRowsBuiltForOneQuery) {
    Run(QStringLiteral("CREATE TABLE t (a int IDENTITY(5, 2) PRIMARY KEY, b varchar(20) NULL DEFAULT 'x' CHECK (b <> 'y'),"
                       " c decimal(9, 2) NOT NULL)\nGO\nCREATE INDEX ix ON t (b, c)\nGO\n"
                       "CREATE PROCEDURE p @x int, @y varchar(5) OUTPUT AS SELECT @x\nGO\n"));
    auto dump = [&](const QString& sql) {
        const sqlsim::ResultSet rs = Query(*session_, sql);
        QStringList out;
        for (const sqlsim::ResultColumn& c : rs.columns) out << QStringLiteral("%1:%2:%3").arg(c.name).arg(c.xtype).arg(c.length);
        for (const auto& row : rs.rows)
            for (const sqlsim::Value& v : row)
                out << (v.IsNull()                                     ? QStringLiteral("NULL")
                        : v.GetKind() == sqlsim::Value::Kind::Binary ? QString::fromLatin1("0x" + v.AsBinary().toHex())
                                                                       : v.AsString()) +
                           u'/' + QString::number(v.XTypeCode());
        return out.join(u'|').toStdString();
    };
    for (const char* table : {"sysobjects", "syscolumns", "syscomments", "sysindexes", "sysindexkeys"}) {
        for (const char* items : {"*", "id, name"}) {
            if (QLatin1String(table) != QLatin1String("syscolumns") && QLatin1String(items) != QLatin1String("*")) continue;
            bool rows = false;
            for (const char* object : {"t", "p"}) {
                const QString pinned = QStringLiteral("SELECT %1 FROM %2 WHERE id = OBJECT_ID('%3')").arg(items, table, object);
                const std::string reference = dump(pinned);
                rows = rows || reference.find('/') != std::string::npos;
                EXPECT_EQ(dump(QStringLiteral("SELECT %1 FROM %2 WHERE id + 0 = OBJECT_ID('%3')").arg(items, table, object)), reference)
                    << table << " " << items << " " << object;
            }
            EXPECT_TRUE(rows) << table;
        }
    }
    // A condition pushed onto the kept sysobjects of a join, against the same rows pinned.
    EXPECT_EQ(dump("SELECT c.* FROM syscolumns c INNER JOIN sysobjects o ON o.id = c.id WHERE o.name = 't' ORDER BY c.colid"),
              dump("SELECT * FROM syscolumns WHERE id = OBJECT_ID('t') ORDER BY colid"));
    EXPECT_EQ(dump("SELECT xtype, COUNT(*), MAX(name) FROM sysobjects GROUP BY xtype"),
              dump("SELECT xtype, COUNT(*), MAX(name) FROM (SELECT * FROM sysobjects WHERE id = id) d GROUP BY xtype"));
    EXPECT_EQ(dump("SELECT COUNT(*) FROM syscolumns"), dump("SELECT COUNT(id) FROM syscolumns"));
    // sysreferences makes only the values of the columns a query reads.
    Run(QStringLiteral("CREATE TABLE r (x int NULL, y int NULL REFERENCES t (a))\n"));
    const std::string keys = dump("SELECT keycnt, rkeyindid, forkeys, refkeys, fkey1, fkey2, rkey1, rkey16 FROM sysreferences");
    EXPECT_EQ(keys.substr(keys.find("|1/")), "|1/52|1/52|0x0200/165|0x0100/165|2/52|0/52|1/52|0/52") << keys;
    EXPECT_EQ(dump("SELECT COUNT(*) FROM sysreferences WHERE fkeyid = OBJECT_ID('r') AND rkeyid = OBJECT_ID('t')"), dump("SELECT 1"));
}

// Names are keyed, compared and ordered with ASCII folded in place; what Qt's case mapping gives is
// the reference, non-ASCII names (which take the general path) included.
TEST(CatalogNames, KeysAndComparisonsAgreeWithQtCaseMapping) {
    const QString names[] = {QStringLiteral(""), QStringLiteral("T000001"), QStringLiteral("t000001"),
                             QStringLiteral("Order Details"), QStringLiteral("[x]_$#@9"), QStringLiteral("Stra\u00dfe"),
                             QStringLiteral("STRA\u00dfE"), QStringLiteral("\u00c4rger"), QStringLiteral("\u00e4RGER"),
                             QStringLiteral("\u212Aey"), QStringLiteral("key"), QStringLiteral("\u017Fmallint"),
                             QStringLiteral("smallint"), QStringLiteral("SmallInt"), QStringLiteral("smallin")};
    for (const QString& a : names) {
        for (int uid : {0, 1, 7, 16384, -3})
            EXPECT_EQ(sqlsim::ObjectKey(uid, a), QString::number(uid) + u'|' + a.toLower()) << a.toStdString();
        for (const QString& b : names) {
            EXPECT_EQ(sqlsim::SameNameNoCase(a, b), a.compare(b, Qt::CaseInsensitive) == 0)
                << a.toStdString() << " / " << b.toStdString();
            const int order = a.compare(b, Qt::CaseInsensitive);
            EXPECT_EQ(sqlsim::CompareValues(sqlsim::Value::String(a), sqlsim::Value::String(b)), order < 0 ? -1 : order > 0 ? 1 : 0)
                << a.toStdString() << " / " << b.toStdString();
        }
        const sqlsim::BuiltinType* type = sqlsim::FindBuiltinType(a);
        EXPECT_EQ(type && type->xtype == sqlsim::XSmallInt, a.compare(QLatin1String("smallint"), Qt::CaseInsensitive) == 0)
            << a.toStdString();
    }
}
