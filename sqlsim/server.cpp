#include "sqlsim/server.h"

#include "sqlsim/catalog.h"
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

bool Session::InTransaction() const { return state_->tranCount > 0; }

std::unique_ptr<Session> Session::CopyOn(Server& copy) const {
    std::unique_ptr<Session> session(new Session(copy, state_->database));
    session->state_->options = state_->options;
    session->state_->lastError = state_->lastError;
    session->state_->lastRowCount = state_->lastRowCount;
    session->state_->lastIdentity = state_->lastIdentity;
    session->state_->lastIdentitySet = state_->lastIdentitySet;
    session->state_->fetchStatus = state_->fetchStatus;
    return session;
}

QString Session::StateMark() const { return QString::number(CatalogVersion()) + u'|' + state_->database; }

Server::Server() : state_(new ServerState) {}
Server::~Server() = default;

// What a query can reach from a copy, and why none of it is shared with the original in a way
// that a query on one can change under a query on the other:
// - the databases: copied by value, then Database::Unshare gives each object its own parse
//   trees (their nodes cache name bindings), its own rows and no cached unique keys; it gets deep
//   copies of the system tables kept for the catalog's present state (with the verdicts of the
//   conditions pushed onto them, which the select engine adds to as it reads), and starts
//   without undo logs and without the list of its objects in id order, which would point into
//   the original;
// - the server's state: logins and counters by value; no active session and no remembered
//   database (a pointer into the original's map);
// - statics a query reaches: the catalog and rows versions and the scope generations are atomic
//   counters; the parser's name lists, token buffers and node pools, the key buffer of name
//   lookups, the date format and collation of value comparisons are per thread; the rest are
//   constants built once (thread-safe statics).
std::unique_ptr<Server> Server::Copy() const {
    std::unique_ptr<Server> copy(new Server);
    copy->state_ = std::make_unique<ServerState>(*state_);
    return copy;
}

namespace {
// The system tables a database keeps for the present state of the catalog, into its copy (which
// starts without any): deep copies with the verdicts found so far, since the select engine adds
// verdicts to a kept table as it reads it. Copying them costs a fraction of building them again.
void CopyKeptSystemTables(const Database& from, Database& to) {
    const Database::BuiltTables& kept = from.builtTables;
    if (kept.version != CatalogVersion()) return;
    to.builtTables.version = kept.version;
    for (auto it = kept.tables.cbegin(); it != kept.tables.cend(); ++it) {
        const auto& [columns, table] = it.value();
        if (!table) continue;
        auto copy = std::make_shared<Relation>(*table);
        if (table->verdicts) copy->verdicts = std::make_shared<Relation::Verdicts>(*table->verdicts);
        to.builtTables.tables.insert(it.key(), {columns, std::move(copy)});
    }
}
}  // namespace

ServerState::ServerState(const ServerState& other)
    : databases(other.databases), nextDbid(other.nextDbid), logins(other.logins) {
    for (auto& [key, db] : databases) {
        db.Unshare();
        CopyKeptSystemTables(other.databases.at(key), db);
    }
}

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
