#include "sqlsim/server.h"

#include "sqlsim/engine.h"
#include "sqlsim/lexer.h"

namespace sqlsim {

QString VersionString() {
    return QStringLiteral("Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) \n"
                          "\tMay  3 2005 23:18:38 \n"
                          "\tCopyright (c) 1988-2003 Microsoft Corporation\n"
                          "\tSimulated by sqlsim (not a real server)\n");
}

Session::Session(Server& server, const QString& database) : server_(server), state_(new SessionState) {
    state_->database = database;
}

// A transaction still open when the connection ends is rolled back, as on the server.
Session::~Session() {
    if (state_->tranCount > 0) RollbackTransaction(server_.State(), *state_);
}

// The cancel flag is cleared when a call ends, never when it starts: a Cancel that arrives
// just before a batch starts stops that batch instead of being lost.
namespace {
// Marks the session whose batch runs, for the transaction bookkeeping of the server.
class ActiveSession {
public:
    ActiveSession(ServerState& server, SessionState* session) : server_(server), previous_(server.activeSession) {
        server_.activeSession = session;
    }
    ~ActiveSession() { server_.activeSession = previous_; }
    ActiveSession(const ActiveSession&) = delete;
    ActiveSession& operator=(const ActiveSession&) = delete;

private:
    ServerState& server_;
    SessionState* previous_;
};
}  // namespace

BatchResult Session::Execute(const QString& batch) {
    ActiveSession active(server_.State(), state_.get());
    BatchResult result;
    Executor ex(server_.State(), *state_, result, cancelRequested_);
    ex.RunBatch(batch);
    cancelRequested_.store(false);
    return result;
}

BatchResult Session::ExecuteScript(const QString& scriptText) {
    ActiveSession active(server_.State(), state_.get());
    BatchResult all;
    for (const QString& batch : SplitBatches(scriptText)) {
        if (batch.trimmed().isEmpty()) continue;
        BatchResult r;
        Executor ex(server_.State(), *state_, r, cancelRequested_);
        ex.RunBatch(batch);
        for (auto& rs : r.resultSets) all.resultSets.push_back(std::move(rs));
        for (auto& m : r.messages) all.messages.push_back(std::move(m));
        all.rowsAffected += r.rowsAffected;
        if (r.cancelled || cancelRequested_.load()) {
            all.cancelled = true;
            break;
        }
        // A severity 20+ error ends the connection: nothing more runs.
        bool fatal = false;
        for (const Message& m : all.messages) fatal = fatal || m.severity >= 20;
        if (fatal) break;
    }
    cancelRequested_.store(false);
    return all;
}

void Session::Cancel() { cancelRequested_.store(true); }

void Session::ClearCancel() { cancelRequested_.store(false); }

QString Session::CurrentDatabase() const { return state_->database; }

Server::Server() : state_(new ServerState) {}
Server::~Server() = default;

std::unique_ptr<Session> Server::Connect(const QString& database) {
    Database* db = state_->Find(database);
    if (!db) return nullptr;
    return std::unique_ptr<Session>(new Session(*this, db->name));
}

void Server::AddLogin(const QString& name, const QString& password, const QString& defaultDatabase) {
    state_->logins[name.toLower()] = Login{name, password, defaultDatabase};
}

std::optional<QString> Server::CheckLogin(const QString& name, const QString& password) {
    auto it = state_->logins.find(name.toLower());
    if (it == state_->logins.end() || it->second.password != password) return std::nullopt;
    return it->second.defaultDatabase;
}

}  // namespace sqlsim
