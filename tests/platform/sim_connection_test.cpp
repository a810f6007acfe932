// SimConnection: the simulated server seen through the engine's database interface.
#include "platform/db/sim_connection.h"
#include "platform/tovimar_exception.h"
#include "support/sim_server.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

std::shared_ptr<sqlsim::Server> ServerWithDatabase() {
    return ServerWith(QStringLiteral("CREATE DATABASE t\nGO\nUSE t\nGO\n"
                                          "CREATE TABLE dbo.R (ID int NOT NULL, Flag bit NULL, Price money NULL, "
                                          "Rate decimal (6, 3) NULL, Data varbinary (10) NULL, Stamp timestamp NULL, "
                                          "Code binary (2) NULL, Name nvarchar (10) NULL, Created datetime NULL)\nGO\n"
                                          "INSERT INTO dbo.R (ID, Flag, Price, Rate, Data, Code, Name, Created) "
                                          "VALUES (1, 1, -12.3456, -0.05, 0x0102, 0xABCD, N'x', '2024-01-02 03:04:05')\nGO\n"));
}

TEST(SimConnection, ValuesAndTypeCodesAsTheDataCopyReadsThem) {
    SimConnection connection(ServerWithDatabase(), QStringLiteral("t"));
    auto rows = connection.RunQuery(QStringLiteral("SELECT ID, Flag, Price, Rate, Data, Stamp, Code, Name, Created FROM dbo.R"));
    ASSERT_FALSE(rows->EndOfRows());
    QList<int> types;
    for (int i = 0; i < rows->ColumnCount(); ++i) types << rows->ColumnType(i);
    // timestamp reads as binary
    EXPECT_EQ(types, (QList<int>{AdoType::Integer, AdoType::Boolean, AdoType::Currency, AdoType::Numeric, AdoType::VarBinary,
                                 AdoType::Binary, AdoType::Binary, AdoType::VarWChar, AdoType::DBTimeStamp}));
    EXPECT_EQ(rows->Value(QStringLiteral("flag")).GetKind(), DbValue::Kind::Bool);
    EXPECT_EQ(rows->Value(QStringLiteral("Price")), DbValue::FromCurrency(QStringLiteral("-12.3456")));
    EXPECT_EQ(rows->Value(QStringLiteral("Rate")), DbValue::FromDecimal(QStringLiteral("-0.050")));
    EXPECT_EQ(rows->Value(QStringLiteral("Data")).ToBinary(), QByteArray("\x01\x02", 2));
    EXPECT_EQ(rows->Value(QStringLiteral("Name")).ToString(), QStringLiteral("x"));
    EXPECT_EQ(rows->Value(QStringLiteral("Created")).ToDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
              QStringLiteral("2024-01-02 03:04:05"));
}

TEST(SimConnection, MessagesAndErrorsInServerOrder) {
    SimConnection connection(ServerWithDatabase(), QStringLiteral("t"));
    EXPECT_TRUE(connection.ExecuteSQL(QStringLiteral("PRINT 'one'\nPRINT 'two'")));
    ASSERT_EQ(connection.Errors().size(), 2);
    EXPECT_EQ(connection.Errors()[0].Description, QStringLiteral("one"));
    EXPECT_TRUE(connection.Errors()[1].Informational);
    try {
        connection.ExecuteSQL(QStringLiteral("PRINT 'before'\nSELECT * FROM dbo.Missing"));
        FAIL() << "expected an error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 208);
    }
    ASSERT_EQ(connection.Errors().size(), 2);
    EXPECT_EQ(connection.Errors()[0].Description, QStringLiteral("before"));
    EXPECT_EQ(connection.Errors()[1].Number, 208);
    EXPECT_FALSE(connection.Errors()[1].Informational);
}

// On the worker and on the caller's thread alike: the outcome, a failure and its messages, and a
// Cancel from another thread that stops a running batch.
TEST(SimConnection, BackgroundBatchAndMissingDatabase) {
    for (const bool onCaller : {false, true}) {
        SCOPED_TRACE(onCaller);
        SimConnection connection(ServerWithDatabase(), QStringLiteral("t"));
        connection.SetRunsOnCaller(onCaller);
        connection.ExecuteAsync(QStringLiteral("SELECT COUNT(*) AS N FROM dbo.R"));
        EXPECT_TRUE(connection.WaitFinished(std::chrono::seconds(10)));
        const DbBatchOutcome outcome = connection.FinishExecute();
        EXPECT_FALSE(outcome.Failed);
        ASSERT_EQ(outcome.ResultSets.size(), 1u);
        EXPECT_EQ(outcome.ResultSets[0].Rows[0][0].ToInt(), 1);

        connection.ExecuteAsync(QStringLiteral("PRINT 'before'\nSELECT * FROM dbo.Missing"));
        EXPECT_TRUE(connection.FinishExecute().Failed);
        ASSERT_EQ(connection.Errors().size(), 2);
        EXPECT_EQ(connection.Errors()[1].Number, 208);

        std::thread canceller([&connection] {
            while (!connection.IsExecuting()) std::this_thread::yield();
            connection.Cancel();
        });
        connection.ExecuteAsync(QStringLiteral("WAITFOR DELAY '00:00:30'"));
        EXPECT_TRUE(connection.FinishExecute().Cancelled);
        canceller.join();
    }
    try {
        SimConnection missing(std::make_shared<sqlsim::Server>(), QStringLiteral("nowhere"));
        FAIL() << "expected a login error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 4060);
    }
}

}  // namespace
