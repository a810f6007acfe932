#pragma once
// DbConnection over an in-process sqlsim session: the engine talks to the simulated server
// exactly as it talks to a real one (queries, statements, background execution, cancel and
// the message list).
#include "platform/db/db_connection.h"

#include <memory>

namespace sqlsim {
class Server;
class Session;
class Value;
}  // namespace sqlsim

class SimConnection : public DbConnection {
public:
    // Opens a session on the database; throws TovimarException 4060 when it does not exist.
    // The connection keeps the server alive.
    SimConnection(std::shared_ptr<sqlsim::Server> server, const QString& databaseName,
                  const QString& serverName = QStringLiteral("sqlsim"));
    ~SimConnection() override;

    QString ServerName() const override { return serverName_; }
    QString DatabaseName() const override { return databaseName_; }
    bool ServerInThisProcess() const override { return true; }
    sqlsim::Server& Server() const { return *server_; }
    const std::shared_ptr<sqlsim::Server>& SharedServer() const { return server_; }
    // For a database whose batches are all short (built from a model's own scripts, holding no
    // rows): background batches run on the caller's thread (see DbConnection).
    using DbConnection::SetRunsOnCaller;

protected:
    DbBatchOutcome RunBatch(const QString& sql) override;
    void CancelRunning() override;
    void PrepareRun() override;
    // The server is in this process and its session may be driven from either thread in turn:
    // queued queries run on the worker while the caller reads the rows of earlier ones.
    bool RunsQueriesAhead() const override { return true; }

private:
    std::shared_ptr<sqlsim::Server> server_;
    std::unique_ptr<sqlsim::Session> session_;
    QString databaseName_;
    QString serverName_;
};

// The ADO type code of a column of the given systypes.xtype.
int AdoTypeFromXType(int xtype);
