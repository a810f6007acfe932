// What INSERT stores: defaults, identities, conversions to the column types, truncation.
#include "catalog_queries.h"
#include "sim_test_util.h"

using namespace simtest;
namespace cq = catalog_queries;

namespace {

class Inserts : public SessionTest {
protected:
    void SetUp() override {
        Run(QStringLiteral(
            "CREATE TABLE d (id int IDENTITY (100, 5) NOT NULL, code char(4) NOT NULL DEFAULT ('XY'), "
            "qty smallint NULL CONSTRAINT DF_d_qty DEFAULT (7), price money NULL, at datetime NULL DEFAULT (getdate()), "
            "note varchar(5) NULL)"));
    }
    sqlsim::ResultSet All() { return Query(*session_, QStringLiteral("SELECT id, code, qty, price, at, note FROM d ORDER BY id")); }
};

}  // namespace

TEST_F(Inserts, DefaultsFillOmittedColumns) {
    sqlsim::BatchResult r = session_->Execute(QStringLiteral(
        "INSERT d (note) VALUES ('a')\nINSERT d (code, qty, note) VALUES (DEFAULT, DEFAULT, 'b')\nINSERT d DEFAULT VALUES\n"
        "INSERT d VALUES ('ZZ', NULL, 1.23456, '7/4/1996', 'c')"));
    ASSERT_EQ(Errors(r).toStdString(), std::string());
    sqlsim::ResultSet rs = All();
    ASSERT_EQ(rs.rows.size(), 4u);
    EXPECT_EQ(Int(rs, 0, "id"), 100);
    EXPECT_EQ(Int(rs, 3, "id"), 115);
    EXPECT_EQ(Text(rs, 0, "code").toStdString(), "XY  ");  // char pads with blanks
    EXPECT_EQ(Int(rs, 1, "qty"), 7);
    EXPECT_EQ(Text(rs, 2, "note").toStdString(), "NULL");
    EXPECT_NE(Text(rs, 2, "at").toStdString(), "NULL");
    EXPECT_EQ(Text(rs, 3, "qty").toStdString(), "NULL");  // an explicit NULL is not replaced by the default
    EXPECT_EQ(rs.rows[3][Col(rs, "price")].DecimalScaled(), 12346);  // money keeps four decimals, rounded
    EXPECT_EQ(Query(*session_, QStringLiteral("SELECT @@IDENTITY")).rows[0][0].AsInt(), 115);
}

TEST_F(Inserts, InsertSelectGeneratesIdentitiesInOrder) {
    sqlsim::BatchResult r = session_->Execute(QStringLiteral(
        "INSERT INTO d (note) SELECT 'x' UNION ALL SELECT 'y' UNION ALL SELECT 'z'"));
    ASSERT_EQ(Errors(r).toStdString(), std::string());
    EXPECT_EQ(r.rowsAffected, 3);
    sqlsim::ResultSet rs = All();
    ASSERT_EQ(rs.rows.size(), 3u);
    EXPECT_EQ(Int(rs, 2, "id"), 110);
    EXPECT_EQ(Text(rs, 2, "note").toStdString(), "z");
}

TEST_F(Inserts, ValuesMustFitTheColumn) {
    const std::pair<const char*, const char*> cases[] = {
        {"INSERT d (note) VALUES ('toolong')", "Msg 8152"},
        {"INSERT d (qty) VALUES (40000)", "Msg 8115"},
        {"INSERT d (at) VALUES ('31/31/1999')", "Msg 241"},
        {"INSERT d (code) VALUES (NULL)", "Msg 515"},
        {"INSERT d (note) VALUES ('abcde   ')", "<none>"},  // trailing blanks beyond the length are dropped silently
        {"DELETE sysobjects", "Msg 259"},
    };
    for (const auto& [sql, outcome] : cases) EXPECT_EQ(Outcome(*session_, QString::fromLatin1(sql)), outcome) << sql;
    EXPECT_EQ(session_->Execute(QStringLiteral("INSERT d (note) VALUES ('toolong')")).messages[0].text.toStdString(),
              "String or binary data would be truncated.");
    EXPECT_EQ(All().rows.size(), 1u);
}

// The loader's queries see the identity's seed and increment, and only the user table: system
// tables are shipped objects.
TEST_F(Inserts, CatalogQueriesSeeTheIdentityAndOnlyTheUserTable) {
    const sqlsim::ResultSet columns = Query(*session_, cq::Columns());
    EXPECT_EQ(Values(columns, QStringLiteral("Table=d,name=id"), QStringLiteral("ID_Start")), "100");
    EXPECT_EQ(Values(columns, QStringLiteral("Table=d,name=id"), QStringLiteral("ID_Schritt")), "5");
    EXPECT_EQ(Outcome(*session_, QStringLiteral("SELECT COUNT(*) FROM sysobjects WHERE name = 'sysobjects' AND xtype = 'S'")), "1");
    EXPECT_EQ(Query(*session_, cq::Tables()).rows.size(), 1u);
}

TEST_F(Inserts, StatisticsAreNotTakenForIndexes) {
    sqlsim::BatchResult r = session_->Execute(QStringLiteral(
        "CREATE INDEX ix_code ON d (code) CREATE STATISTICS st_qty ON d (qty, price) WITH FULLSCAN"));
    ASSERT_EQ(Errors(r).toStdString(), std::string());
    sqlsim::ResultSet rs = Query(*session_, QStringLiteral(
        "SELECT name, status & 64, keycnt, INDEXPROPERTY(id, name, 'IsStatistics'), INDEXPROPERTY(id, name, 'IsAutoStatistics') "
        "FROM sysindexes WHERE id = OBJECT_ID('d') AND indid > 0 ORDER BY indid"));
    ASSERT_EQ(rs.rows.size(), 2u);
    EXPECT_EQ(rs.rows[1][0].AsString().toStdString(), "st_qty");
    for (int c = 1; c <= 4; ++c) {
        EXPECT_EQ(rs.rows[0][c].AsInt(), c == 2 ? 2 : 0) << c;            // the index: one key and the row locator
        EXPECT_EQ(rs.rows[1][c].AsInt(), c == 1 ? 64 : c == 2 ? 3 : c == 3 ? 1 : 0) << c;
    }
    rs = Query(*session_, cq::Indexes());
    for (size_t i = 0; i < rs.rows.size(); ++i) EXPECT_NE(Text(rs, i, "Index"), QStringLiteral("st_qty"));
}
