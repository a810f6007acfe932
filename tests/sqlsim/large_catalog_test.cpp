// A catalog of 5,000 tables loads and answers every catalog query; the joins (also those on an
// OR of equalities) must be hashed for this to finish in seconds.
#include "catalog_queries.h"
#include "sim_test_util.h"

using namespace simtest;
namespace cq = catalog_queries;

TEST(LargeCatalog, FiveThousandTablesAnswerEveryCatalogQuery) {
    const int n = 5000;
    sqlsim::Server server;
    auto s = server.Connect();
    ASSERT_EQ(Errors(s->Execute(QStringLiteral("CREATE DATABASE big"))).toStdString(), std::string());
    s->Execute(QStringLiteral("USE big"));
    QString script;
    for (int i = 0; i < n; ++i) {
        script += QStringLiteral("CREATE TABLE [dbo].[T%1] ([ID] [int] IDENTITY (1, 1) NOT NULL , [Name] [varchar] (50) NULL , "
                                 "[Ref] [int] NULL CONSTRAINT [DF_T%1] DEFAULT (0), [Notes] [text] NULL, "
                                 "CONSTRAINT [PK_T%1] PRIMARY KEY CLUSTERED ([ID]) ON [PRIMARY], CONSTRAINT [CK_T%1] CHECK ([Ref] >= 0)")
                      .arg(i);
        if (i > 0) script += QStringLiteral(", CONSTRAINT [FK_T%1] FOREIGN KEY ([Ref]) REFERENCES [T%2] ([ID])").arg(i).arg(i - 1);
        script += QStringLiteral(")\nCREATE INDEX [IX_T%1] ON [T%1]([Name])\nGO\n").arg(i);
        if (i % 10 == 0) script += QStringLiteral("CREATE VIEW [V%1] AS SELECT ID, Name FROM [T%1]\nGO\n").arg(i);
    }
    // A default and a rule of their own, bound to a column each: the columns query that finds
    // them joins every column with every object through an OR.
    script += QStringLiteral("CREATE DEFAULT [D_None] AS ''\nGO\nCREATE RULE [R_Short] AS LEN(@v) < 40\nGO\n"
                             "EXEC sp_bindefault 'D_None', 'T1.Name'\nEXEC sp_bindrule 'R_Short', 'T2.Name'\nGO\n");
    sqlsim::BatchResult load = s->ExecuteScript(script);
    ASSERT_EQ(Errors(load).toStdString(), std::string());

    EXPECT_EQ(Query(*s, cq::Tables()).rows.size(), static_cast<size_t>(n));
    EXPECT_EQ(Query(*s, cq::Relations(true)).rows.size(), static_cast<size_t>(n - 1));
    EXPECT_EQ(Query(*s, cq::Relations(false)).rows.size(), static_cast<size_t>(n - 1));
    EXPECT_EQ(Query(*s, cq::ViewsPre()).rows.size(), static_cast<size_t>(n / 10));
    EXPECT_EQ(Query(*s, cq::Views()).rows.size(), static_cast<size_t>(n / 10));
    EXPECT_EQ(Query(*s, cq::Columns()).rows.size(), static_cast<size_t>(4 * n + 2 * (n / 10)));
    EXPECT_EQ(Query(*s, cq::Indexes()).rows.size(), static_cast<size_t>(2 * n));
    EXPECT_EQ(Query(*s, cq::Defaults()).rows.size(), static_cast<size_t>(n));
    EXPECT_EQ(Query(*s, cq::Checks()).rows.size(), static_cast<size_t>(n));
    EXPECT_EQ(Query(*s, cq::BoundColumns()).rows.size(), 2u);
    EXPECT_EQ(Query(*s, cq::Formulas()).rows.size(), 0u);
    EXPECT_EQ(Query(*s, cq::Procedures()).rows.size(), 0u);
    EXPECT_EQ(Query(*s, cq::Triggers()).rows.size(), 0u);
    EXPECT_EQ(Query(*s, cq::Permissions()).rows.size(), 0u);
    EXPECT_EQ(Query(*s, cq::Fingerprint()).rows.size(), 1u);
}
