// The object-family scripts run on the simulated server: a Source and a Destination that differ
// in every family are compared, the scripts are executed on the Destination statement by
// statement, and a second comparison of the reloaded Destination finds nothing left to do.
#include "compare/generation_driver.h"
#include "compare/linking.h"
#include "platform/db/sim_connection.h"
#include "platform/progress.h"
#include "schema/catalog_loader.h"
#include "sqlsim/server.h"
#include "support/qt_print.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QString Scenario(const char* name) {
    QFile file(QStringLiteral(TOVIMAR_TEST_DATA_DIR "/integration/scenarios/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll());
}

// Every message above severity 10, as "number: text".
QStringList Errors(const sqlsim::BatchResult& result) {
    QStringList errors;
    for (const sqlsim::Message& message : result.messages)
        if (message.severity > 10) errors << QString::number(message.number) + QStringLiteral(": ") + message.text;
    return errors;
}

std::unique_ptr<Tovimar_Database> Load(const std::shared_ptr<sqlsim::Server>& server, const QString& name) {
    auto db = std::make_unique<Tovimar_Database>();
    LoadDatabase(*db, std::make_shared<SimConnection>(server, name));
    NullProgress progress;
    EXPECT_TRUE(LoadDBObjects(*db, progress));
    return db;
}

QStringList Summary(const ScriptList& scripts) {
    QStringList lines;
    for (const ScriptPtr& script : scripts)
        lines << script->Action + QLatin1Char(' ') + script->Typ + QLatin1Char(' ') +
                     (script->ScriptedObj ? script->ScriptedObj->FullName(true) : QString());
    return lines;
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
QStringList RoundTrip(const QString& sourceScript, const QString& destScript, const QString& sourceName,
                      const QString& destName) {
    auto server = std::make_shared<sqlsim::Server>();
    {
        auto session = server->Connect();
        EXPECT_EQ(Errors(session->ExecuteScript(sourceScript)), QStringList());
        EXPECT_EQ(Errors(session->ExecuteScript(destScript)), QStringList());
    }
    auto source = Load(server, sourceName);
    auto dest = Load(server, destName);
    const ScriptList scripts = Compare(*source, *dest);
    auto session = server->Connect(destName);
    for (const ScriptPtr& script : scripts)
        for (int step = 1; step <= script->GetSQLCount(); ++step)
            for (const QString& statement : script->GetSQLSteps(step))
                EXPECT_EQ(Errors(session->ExecuteScript(statement)), QStringList())
                    << script->GetTitle().toStdString() << "\n" << statement.toStdString();
    auto reloaded = Load(server, destName);
    EXPECT_EQ(Summary(Compare(*source, *reloaded)), QStringList());
    return Summary(scripts);
}

TEST(FamilyRoundTrip, ScriptsRunOnTheDestinationAndLeaveNoDifference) {
    const QString sourceScript = Scenario("families_source.sql");
    const QString destScript = Scenario("families_dest.sql");
    ASSERT_FALSE(sourceScript.isEmpty());
    ASSERT_FALSE(destScript.isEmpty());
    EXPECT_EQ(RoundTrip(sourceScript, destScript, QStringLiteral("famsrc"), QStringLiteral("famdst")),
              (QStringList{"DELETE Permission [dbo].[Orders].[public]", "DELETE Trigger [dbo].[Orders].[tr Old]",
                           "DELETE Check [dbo].[Orders].[CK_Orders_Gone]", "DELETE Role [Gone]", "CREATE Role [Clerks]",
                           "CHANGE Default [dbo].[Customers].[DF_Customers_Region]",
                           "CHANGE Check [dbo].[Orders].[CK_Orders_Qty]", "CREATE Index [dbo].[Customers].[IX_Customers_Name]",
                           "CHANGE Relation [dbo].[Orders].[FK_Orders_Customers]", "CHANGE Procedure [dbo].[GetOrders]",
                           "CHANGE Function [dbo].[Twice]", "CREATE Trigger [dbo].[Orders].[trOrders]",
                           "CREATE Permission [dbo].[Orders].[Clerks]", "CREATE Permission [dbo].[Customers].[Clerks]",
                           "CREATE Permission [dbo].[GetOrders].[Clerks]"}));
}

// Owner-qualified DROP INDEX and an altered view, whose text the server keeps as CREATE VIEW.
TEST(FamilyRoundTrip, IndexDropsAndViewAlter) {
    const QString table = QStringLiteral("CREATE TABLE dbo.T (A int NOT NULL, B int NULL)\nGO\n");
    const QString source = QStringLiteral("CREATE DATABASE s1\nGO\nUSE s1\nGO\n") + table +
                           QStringLiteral("CREATE INDEX IX_T ON dbo.T (A, B)\nGO\n"
                                          "CREATE VIEW dbo.V AS SELECT A FROM dbo.T WHERE A > 1\nGO\n");
    const QString dest = QStringLiteral("CREATE DATABASE d1\nGO\nUSE d1\nGO\n") + table +
                         QStringLiteral("CREATE INDEX IX_T ON dbo.T (A)\nGO\nCREATE INDEX IX_Old ON dbo.T (B)\nGO\n"
                                        "CREATE VIEW dbo.V AS SELECT A FROM dbo.T WHERE A > 2\nGO\n");
    EXPECT_EQ(RoundTrip(source, dest, QStringLiteral("s1"), QStringLiteral("d1")),
              (QStringList{"DELETE Index [dbo].[T].[IX_Old]", "CHANGE Index [dbo].[T].[IX_T]", "CHANGE View [dbo].[V]"}));
}

}  // namespace
