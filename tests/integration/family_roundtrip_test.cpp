// Scripts for objects with hostile names run on the simulated server: the Destination is compared,
// the scripts are executed on it, and a second comparison of the reloaded Destination finds
// nothing left to do. (The object families' round trips are the scenarios' verify runs.)
#include "compare/family_test_support.h"
#include "platform/db/sim_connection.h"
#include "platform/progress.h"
#include "review/script_executor.h"
#include "schema/sql_text.h"
#include "schema/catalog_loader.h"
#include "support/sim_server.h"
#include "support/qt_print.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<Tovimar_Database> Load(const std::shared_ptr<sqlsim::Server>& server, const QString& name) {
    auto db = std::make_unique<Tovimar_Database>();
    LoadDatabase(*db, std::make_shared<SimConnection>(server, name));
    NullProgress progress;
    EXPECT_TRUE(LoadDBObjects(*db, progress));
    return db;
}

ScriptList Compare(Tovimar_Database& source, Tovimar_Database& dest) {
    LinkDatabases(source, dest);
    GenerationContext ctx;
    ctx.DB1 = &source;
    ctx.DB2 = &dest;
    return GenerateAllScripts(ctx, nullptr, false);
}

// Compares, runs the scripts on the Destination as the executor does (each statement of each
// step on its own), reloads the Destination and compares again. Returns the first summary.
QStringList RoundTrip(const std::shared_ptr<sqlsim::Server>& server, const QString& sourceName, const QString& destName) {
    auto source = Load(server, sourceName);
    auto dest = Load(server, destName);
    const ScriptList scripts = Compare(*source, *dest);
    auto session = server->Connect(destName);
    for (const ScriptPtr& script : scripts)
        for (int step = 1; step <= script->GetSQLCount(); ++step)
            for (const QString& statement : script->GetSQLSteps(step))
                EXPECT_EQ(ServerErrors(session->ExecuteScript(statement)), QStringList())
                    << script->GetTitle().toStdString() << "\n" << statement.toStdString();
    auto reloaded = Load(server, destName);
    EXPECT_EQ(family_test::Kinds(Compare(*source, *reloaded)), QStringList());
    return family_test::Kinds(scripts);
}

// Runs each batch on its own (a name may hold a GO line, which a script would split at).
void RunBatches(sqlsim::Server& server, const QString& db, const QStringList& batches) {
    auto session = server.Connect();
    EXPECT_EQ(ServerErrors(session->Execute(QStringLiteral("CREATE DATABASE ") + QuoteName(db))), QStringList());
    session = server.Connect(db);
    for (const QString& batch : batches) EXPECT_EQ(ServerErrors(session->Execute(batch)), QStringList()) << batch.toStdString();
}

QString B(const QString& name) { return QuoteName(name); }

}  // namespace

// Names with quotes, brackets, comment marks, line breaks, a GO line, tabs, non-ASCII letters,
// 128 characters and case-only differences pass every generator: the scripts, executed one
// statement at a time and as a saved script file split at its GO lines, run only what they
// intend (the table Victim survives) and the comparison converges.
TEST(HostileNames, ScriptsRunOnlyWhatTheyIntendAndConverge) {
    const QString q = QStringLiteral("T'q]\";--/**/");
    const QString crlf = QStringLiteral("N\r\nDROP TABLE Victim --");
    const QString goLine = QStringLiteral("G\r\nGO\r\nDROP TABLE Victim");
    const QString tab = QStringLiteral("a\tb");
    const QString uni = QString::fromUtf8("Zo\xc3\xab \xe6\x97\xa5\xe6\x9c\xac");
    const QString col = QStringLiteral("x*/ DROP TABLE Victim /*");
    const QString longName = QString(127, QLatin1Char('x')) + QLatin1Char('\'');
    // Rebuilt (it gains its identity) with its rows copied through EXEC: names beyond the code page.
    const QString rebuilt = QStringLiteral("R ") + uni;
    const QStringList common = {
        QStringLiteral("CREATE TABLE dbo.Victim (ID int NOT NULL)"),
        QStringLiteral("INSERT dbo.Victim VALUES (1)"),
        QStringLiteral("CREATE TABLE dbo.Case_T (ID int NULL)"),
    };
    const QString qTable = QStringLiteral("dbo.") + B(q);
    QStringList source = common;
    source << QStringLiteral("CREATE TABLE %1 (ID int NOT NULL PRIMARY KEY, %2 varchar(10) NULL CONSTRAINT [DF*/] "
                             "DEFAULT ('*/'), %3 nvarchar(20) NULL)").arg(qTable, B(col), B(tab))
           << QStringLiteral("INSERT %1 (ID, %2) VALUES (1, N'%3')").arg(qTable, B(tab), uni)
           << QStringLiteral("CREATE TABLE dbo.%1 (ID int NULL)").arg(B(crlf))
           << QStringLiteral("CREATE TABLE dbo.%1 (%2 nvarchar(10) NULL)").arg(B(goLine), B(uni))
           << QStringLiteral("CREATE TABLE dbo.%1 (ID int NULL)").arg(B(longName))
           << QStringLiteral("CREATE INDEX %1 ON %2 (%3)").arg(B(goLine), qTable, B(tab))
           << QStringLiteral("CREATE VIEW dbo.[V'q] AS SELECT [Owner's Id] = ID FROM %1").arg(qTable)
           << QStringLiteral("CREATE VIEW dbo.[A --] AS SELECT * FROM dbo.[V'q]")
           << QStringLiteral("CREATE PROCEDURE dbo.[P--x] AS SELECT 2 /* a /* nested */ comment */")
           << QStringLiteral("CREATE FUNCTION dbo.[F/*] () RETURNS int AS BEGIN RETURN 1 END")
           << QStringLiteral("CREATE TRIGGER %1 ON %2 FOR INSERT AS SELECT 1").arg(B(QStringLiteral("tr\r\nGO\r\n--x")), qTable)
           << QStringLiteral("EXEC sp_addrole N%1").arg(QuoteString(QStringLiteral("R'o]le ") + uni, true))
           << QStringLiteral("CREATE TABLE dbo.%1 (ID int IDENTITY NOT NULL, %2 nvarchar(10) NULL)").arg(B(rebuilt), B(uni));
    QStringList dest = common;
    dest[2] = QStringLiteral("CREATE TABLE dbo.CASE_t (ID int NULL)");
    dest << QStringLiteral("CREATE TABLE %1 (ID int NOT NULL PRIMARY KEY, %2 varchar(5) NULL CONSTRAINT [DF*/] "
                           "DEFAULT ('*/'), %3 nvarchar(20) NULL)").arg(qTable, B(col), B(tab))
         << QStringLiteral("CREATE TABLE dbo.%1 (ID int NULL)").arg(B(tab))
         << QStringLiteral("CREATE VIEW dbo.%1 AS SELECT 1 AS [x]").arg(B(uni))
         << QStringLiteral("CREATE PROCEDURE dbo.[P--x] AS SELECT 1")
         << QStringLiteral("EXEC sp_addrole 'a\tb'")
         << QStringLiteral("CREATE TABLE dbo.%1 (ID int NOT NULL, %2 nvarchar(10) NULL)").arg(B(rebuilt), B(uni))
         << QStringLiteral("INSERT dbo.%1 VALUES (1, N'%2')").arg(B(rebuilt), uni);

    auto server = std::make_shared<sqlsim::Server>();
    RunBatches(*server, QStringLiteral("hs"), source);
    RunBatches(*server, QStringLiteral("hd"), dest);
    RunBatches(*server, QStringLiteral("hf"), dest);

    // The saved script file, run as a whole.
    auto sourceDb = Load(server, QStringLiteral("hs"));
    auto fileDest = Load(server, QStringLiteral("hf"));
    const ScriptList scripts = Compare(*sourceDb, *fileDest);
    const QString file = ScriptFileText(scripts, *fileDest, QDateTime::currentDateTime());
    EXPECT_EQ(ServerErrors(server->Connect(QStringLiteral("hf"))->ExecuteScript(file)), QStringList()) << file.toStdString();
    auto reloaded = Load(server, QStringLiteral("hf"));
    EXPECT_EQ(family_test::Kinds(Compare(*sourceDb, *reloaded)), QStringList());

    // The scripts, statement by statement.
    const QStringList summary = RoundTrip(server, QStringLiteral("hs"), QStringLiteral("hd"));
    EXPECT_TRUE(summary.contains(QStringLiteral("CHANGE Procedure [dbo].[P--x]"))) << summary.join(u'\n').toStdString();
}
