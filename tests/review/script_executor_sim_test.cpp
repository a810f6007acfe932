// The executor against the simulated server: real errors, a real transaction to roll back.
#include "platform/app_paths.h"
#include "platform/db/sim_connection.h"
#include "review/script_executor.h"
#include "schema/model.h"
#include "sqlsim/server.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SimExecutorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        auto master = server->Connect();
        const sqlsim::BatchResult created = master->Execute(QStringLiteral("CREATE DATABASE Dest"));
        for (const sqlsim::Message& message : created.messages)
            ASSERT_LE(message.severity, 10) << message.text.toStdString();
        dest.Server = QStringLiteral("sqlsim");
        dest.Name = QStringLiteral("Dest");
        dest.Connection = std::make_shared<SimConnection>(server, QStringLiteral("Dest"));
    }

    template <class T>
    ScriptPtr Script(const QString& typ, const char* name, QStringList parts, bool repeatable = false) {
        auto object = std::make_shared<T>();
        object->Owner = QStringLiteral("dbo");
        object->Name = QString::fromUtf8(name);
        keep.push_back(object);
        auto script = std::make_shared<Tovimar_Script>();
        script->Typ = typ;
        script->Action = QStringLiteral("CREATE");
        script->ScriptedObj = object.get();
        script->Repeatable = repeatable;
        for (const QString& part : parts) script->AddSQL(part);
        return script;
    }
    long long Count(const QString& sql) {
        auto cursor = dest.Connection->RunQuery(sql);
        return cursor->EndOfRows() ? -1 : cursor->ValueAt(0).ToInt();
    }

    QTemporaryDir root;
    std::shared_ptr<sqlsim::Server> server = std::make_shared<sqlsim::Server>();
    Tovimar_Database dest;
    std::vector<std::shared_ptr<Tovimar_Object>> keep;
    NullProgress progress;
    ScriptExecutor executor{progress};
};

TEST_F(SimExecutorTest, DependentViewIsRepeatedAndAFailedPartIsRolledBack) {
    ScriptPtr table = Script<Tovimar_Table>(QStringLiteral("Table"), "T",
                                            {QStringLiteral("CREATE TABLE dbo.T (ID int NOT NULL)"),
                                             QStringLiteral("INSERT INTO dbo.T (ID) VALUES (1)")});
    ScriptPtr broken = Script<Tovimar_Table>(
        QStringLiteral("Table"), "U",
        {QStringLiteral("BEGIN TRANSACTION\r\nINSERT INTO dbo.T (ID) VALUES (2)\r\nINSERT INTO dbo.Missing (ID) VALUES (3)")});
    ScriptPtr viewA = Script<Tovimar_View>(QStringLiteral("View"), "A",
                                           {QStringLiteral("CREATE VIEW dbo.A AS SELECT ID FROM dbo.B")}, true);
    ScriptPtr viewB = Script<Tovimar_View>(QStringLiteral("View"), "B",
                                           {QStringLiteral("CREATE VIEW dbo.B AS SELECT ID FROM dbo.T")}, true);
    executor.ResultFile = root.filePath(QStringLiteral("log.txt"));
    executor.Scripts = {table, broken, viewA, viewB};
    executor.DB = &dest;
    executor.RunScripts();

    ASSERT_EQ(executor.ErrCollection.size(), 1u);
    const Tovimar_Error& error = *executor.ErrCollection[0];
    EXPECT_EQ(error.Script, broken);
    ASSERT_FALSE(error.ErrorList.isEmpty());
    EXPECT_EQ(error.ErrorList[0].Number, 208);
    // The failed part's transaction was ended; the view was created in the repeat pass.
    EXPECT_EQ(Count(QStringLiteral("SELECT @@TRANCOUNT")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM dbo.A")), Count(QStringLiteral("SELECT COUNT(*) FROM dbo.T")));

    QFile log(executor.ResultFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains("-- STATUS=ERROR-REPEAT.\r\n--    ERR=208 - Invalid object name 'dbo.B'.")) << text.toStdString();
    EXPECT_TRUE(text.contains("-- REPEAT SCRIPT CREATE for View [dbo].[A]\r\n"));
}

}  // namespace
