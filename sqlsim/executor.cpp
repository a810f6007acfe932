// Runs parsed batches: control flow, variables, SET options, messages, EXEC and the system
// procedures the scripts call.
#include "sqlsim/engine.h"
#include "sqlsim/parser.h"
#include "sqlsim/value_ops.h"

#include <QTime>
#include <chrono>
#include <optional>
#include <span>
#include <thread>

namespace sqlsim {

namespace {

// Errors that end the whole batch rather than only the statement, as on SQL Server 2000.
bool AbortsBatch(const SqlError& e) {
    switch (e.number) {
    case 208: case 207: case 209: case 107: case 137: case 195: case 245: case 241: case 8114: case 911:
    case 174: case 155: case 217: case 4104: case 529: case 243:
        return true;
    default:
        return e.abortsBatch || e.severity >= 20;
    }
}


// Batch-aborting errors that also roll back the open transaction. Compile-time errors (208, 207,
// ...) end the batch but leave the transaction open.
bool RollsBackTransaction(const SqlError& e) {
    switch (e.number) {
    case 245: case 241: case 8114: case 529: case 243: case 217:
        return true;
    default:
        return e.severity >= 20;
    }
}

// Errors that end only the statement; the server follows them with message 3621.
bool TerminatesStatement(const SqlError& e) {
    switch (e.number) {
    case 2627: case 2601: case 547: case 515: case 8152: case 8115: case 8134:
        return true;
    default:
        return false;
    }
}

// Before a batch runs the server compiles it: a statement that names a missing column of a table
// that exists already fails with 207 and no statement of the batch runs. Tables the batch creates
// are resolved when their statements run (deferred name resolution), as are code object bodies.
struct BatchCompiler {
    Executor& ex;
    QSet<QString> created;  // lower-case names of tables the batch creates

    void Collect(const std::vector<StmtPtr>& stmts) {
        for (const StmtPtr& s : stmts) {
            if (s->kind == StmtKind::CreateTable) created.insert(s->object.name.toLower());
            if (s->kind == StmtKind::Block || s->kind == StmtKind::If || s->kind == StmtKind::While) Collect(s->body);
        }
    }
    const Object* Table(const ObjectName& n) {
        if (created.contains(n.name.toLower()) || !n.server.isEmpty()) return nullptr;
        Database* db = ex.DatabaseFor(n.database);
        const Object* o = db ? db->FindObject(n.owner, n.name) : nullptr;
        return o && o->IsType("U") ? o : nullptr;
    }
    static void Columns(const Expr* e, const Object& t) {
        if (!e || e->subquery) return;
        if (e->kind == ExprKind::Column && e->parts.size() == 1 && !t.FindColumn(e->parts[0]))
            throw ErrInvalidColumn(e->parts[0]);
        // The first argument of DATEADD, DATEDIFF, DATEPART and DATENAME is a bare date part.
        const bool datePart = e->kind == ExprKind::Function &&
                              (e->name == "DATEADD" || e->name == "DATEDIFF" || e->name == "DATEPART" || e->name == "DATENAME");
        for (size_t i = datePart ? 1 : 0; i < e->args.size(); ++i) Columns(e->args[i].get(), t);
        Columns(e->operand.get(), t);
        Columns(e->elseExpr.get(), t);
    }
    void Check(const std::vector<StmtPtr>& stmts) {
        for (const StmtPtr& sp : stmts) {
            const Statement& s = *sp;
            if (s.kind == StmtKind::Block || s.kind == StmtKind::If || s.kind == StmtKind::While) {
                Check(s.body);
                continue;
            }
            if (s.kind == StmtKind::Insert) {
                if (const Object* t = Table(s.object))
                    for (const QString& c : s.names)
                        if (!t->FindColumn(c)) throw ErrInvalidColumn(c);
            } else if ((s.kind == StmtKind::Update || s.kind == StmtKind::Delete) && s.from.empty()) {
                const Object* t = Table(s.object);
                if (!t) continue;
                for (const auto& a : s.assignments) {
                    if (!a.first.startsWith(u'@') && !t->FindColumn(a.first)) throw ErrInvalidColumn(a.first);
                    Columns(a.second.get(), *t);
                }
                Columns(s.where.get(), *t);
            }
        }
    }
};

// The existence test the generated scripts put before their changes:
//   EXISTS (SELECT * FROM dbo.sysobjects WHERE id = OBJECT_ID('name') AND OBJECTPROPERTY(id, 'IsUserTable') = 1 ...)
// At most one row of sysobjects passes it, that of the object OBJECT_ID names, and the other
// conditions read only its id; so it is answered from the catalog's index by id instead of by a
// query over a system table built for it (a build runs tens of thousands of them). Empty for any
// other condition: the query engine answers those.
bool IsIdColumn(const Expr& e) { return e.kind == ExprKind::Column && e.parts.size() == 1 && e.parts[0] == QLatin1String("id"); }

bool IsFunctionOfLiterals(const Expr& e, const char* name, bool idFirst) {
    if (e.kind != ExprKind::Function || e.name != QLatin1String(name) || e.parts.size() != 1 || e.star || e.distinct ||
        e.subquery || e.args.empty())
        return false;
    for (size_t i = 0; i < e.args.size(); ++i)
        if (!(i == 0 && idFirst ? IsIdColumn(*e.args[i]) : e.args[i]->kind == ExprKind::Literal)) return false;
    return true;
}

// The conditions of an AND chain, up to kMaxConditions of them (false for more: such a test
// goes to the query engine).
constexpr int kMaxConditions = 8;
bool SplitAnd(const Expr& e, const Expr** out, int& count) {
    if (e.kind == ExprKind::And && e.args.size() == 2) return SplitAnd(*e.args[0], out, count) && SplitAnd(*e.args[1], out, count);
    if (count == kMaxConditions) return false;
    out[count++] = &e;
    return true;
}

// The name text of OBJECT_ID in the plain forms the generated scripts write ('[dbo].[T1]',
// 'dbo.T1', 'T1'): one or two parts, each bare or in brackets, of printable ASCII without
// quotes, brackets or spaces inside. Those are split here as the function splits them, into views
// of the text; false for any other text, which the function itself reads.
bool SplitPlainName(QStringView text, QStringView& owner, QStringView& name) {
    QStringView parts[2];
    int count = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        if (count == 2) return false;
        QStringView part;
        if (i < n && text[i] == u'[') {
            const qsizetype close = text.indexOf(u']', i + 1);
            if (close < 0) return false;
            part = text.sliced(i + 1, close - i - 1);
            i = close + 1;
        } else {
            qsizetype end = i;
            while (end < n && text[end] != u'.') ++end;
            part = text.sliced(i, end - i);
            i = end;
        }
        for (const QChar c : part) {
            const char16_t u = c.unicode();
            if (u <= 0x20 || u >= 0x7f || u == u'[' || u == u']' || u == u'"') return false;
        }
        parts[count++] = part;
        if (i == n) break;
        if (text[i] != u'.') return false;
        ++i;
    }
    owner = count == 2 ? parts[0] : QStringView();
    name = parts[count - 1];
    return true;
}

std::optional<bool> ObjectExistenceTest(Executor& ex, const Expr& condition) {
    if (condition.kind != ExprKind::Exists || !condition.subquery) return std::nullopt;
    const SelectStmt& q = *condition.subquery;
    if (q.distinct || q.top || q.items.size() != 1 || !q.assignments.empty() || !q.intoTable.isEmpty() ||
        q.from.size() != 1 || !q.where || !q.groupBy.empty() || q.withRollup || q.withCube || q.having ||
        q.unionNext || !q.orderBy.empty() || !q.forXml.isEmpty())
        return std::nullopt;
    const Expr& item = *q.items[0].expr;
    const TableRef& from = *q.from[0];
    if (item.kind != ExprKind::Star || !item.parts.isEmpty() || from.kind != TableRef::Kind::Named ||
        !from.server.isEmpty() || !from.database.isEmpty() ||
        !(from.owner.isEmpty() || SameNameNoCase(from.owner, u"dbo")) || !SameNameNoCase(from.name, u"sysobjects"))
        return std::nullopt;
    const Expr* conditions[kMaxConditions];
    int conditionCount = 0;
    if (!SplitAnd(*q.where, conditions, conditionCount)) return std::nullopt;
    const Expr* objectId = nullptr;
    const Expr* properties[kMaxConditions];
    int propertyCount = 0;
    for (const Expr* c : std::span(conditions, static_cast<size_t>(conditionCount))) {
        if (c->kind != ExprKind::Compare || c->name != QLatin1String("=") || c->args.size() != 2) return std::nullopt;
        if (!objectId && IsIdColumn(*c->args[0]) && IsFunctionOfLiterals(*c->args[1], "OBJECT_ID", false))
            objectId = c->args[1].get();
        else if (IsFunctionOfLiterals(*c->args[0], "OBJECTPROPERTY", true) && c->args[0]->args.size() == 2 &&
                 c->args[1]->kind == ExprKind::Literal)
            properties[propertyCount++] = c;
        else
            return std::nullopt;
    }
    if (!objectId) return std::nullopt;
    const Database& db = ex.CurrentDb();
    // A table of the database's own that takes the name is read instead of the system table.
    if (const Object* own = db.FindObject(from.owner, from.name); own && !own->IsType("S")) return std::nullopt;
    Value id;
    QStringView owner, name;
    const Value& text = objectId->args[0]->value;
    if (objectId->args.size() == 1 && text.GetKind() == Value::Kind::String && SplitPlainName(text.TextView(), owner, name)) {
        const Object* named = name.isEmpty() ? nullptr : db.FindObject(owner, name);
        if (!named) return false;
        id = Value::Int(named->id);
    } else {
        Scope none;
        id = ex.Eval(*objectId, none);
        if (id.IsNull()) return false;
        if (id.GetKind() != Value::Kind::Int) return std::nullopt;
        if (!db.FindObject(static_cast<int>(id.AsInt()))) return false;
    }
    // The object's row, as far as the conditions read it.
    const std::vector<RelColumn> columns{RelColumn{from.alias.isEmpty() ? from.name : from.alias, QStringLiteral("id"), XInt, 4, false}};
    const std::vector<Value> row{id};
    Scope scope;
    scope.columns = &columns;
    scope.row = &row;
    scope.generation = NewScopeGeneration();
    for (const Expr* c : std::span(properties, static_cast<size_t>(propertyCount)))
        if (!ex.EvalPredicate(*c, scope)) return false;
    return true;
}

QString FormatRaisError(const QString& fmt, const std::vector<Value>& args) {
    QString out;
    size_t next = 0;
    for (int i = 0; i < fmt.size(); ++i) {
        QChar c = fmt[i];
        if (c != u'%' || i + 1 >= fmt.size()) { out += c; continue; }
        int j = i + 1;
        if (fmt[j] == u'%') { out += u'%'; i = j; continue; }
        while (j < fmt.size() && (fmt[j] == u'-' || fmt[j] == u'+' || fmt[j] == u' ' || fmt[j] == u'#' || fmt[j] == u'0')) ++j;
        while (j < fmt.size() && (fmt[j].isDigit() || fmt[j] == u'.' || fmt[j] == u'*')) ++j;
        if (j < fmt.size() && (fmt[j] == u'h' || fmt[j] == u'l' || fmt[j] == u'I')) ++j;
        if (j >= fmt.size()) { out += fmt.mid(i); break; }
        QChar t = fmt[j];
        QString val = next < args.size() ? (args[next].IsNull() ? QStringLiteral("(null)") : args[next].AsString()) : QStringLiteral("(null)");
        ++next;
        if (t == u'd' || t == u'i' || t == u'u' || t == u's' || t == u'S' || t == u'x' || t == u'X' || t == u'o') {
            if (t == u'x' || t == u'X') val = QString::number(args[next - 1].AsInt(), 16);
            out += val;
        } else {
            out += fmt.mid(i, j - i + 1);
        }
        i = j;
    }
    return out;
}

}  // namespace

ServerState::ServerState() {
    const char* sys[] = {"master", "tempdb", "model", "msdb"};
    int id = 1;
    for (const char* n : sys) {
        Database db;
        db.name = QString::fromLatin1(n);
        db.dbid = id++;
        databases.emplace(db.name, std::move(db));
    }
}

Database* ServerState::Find(const QString& name) {
    const bool same = lastFound_ && ((name.constData() == lastFoundName_.constData() && name.size() == lastFoundName_.size()) ||
                                     name == lastFoundName_);
    if (!same) {
        QString key = name.toLower();
        auto it = databases.find(key);
        if (it == databases.end()) return nullptr;
        lastFound_ = &it->second;
        lastFoundName_ = name;
        lastFoundKey_ = std::move(key);
    }
    if (activeSession && activeSession->tranUndo && !activeSession->tranUndo->count(lastFoundKey_))
        lastFound_->BeginUndo((*activeSession->tranUndo)[lastFoundKey_]);
    return lastFound_;
}

void ServerState::Drop(const QString& key) {
    lastFound_ = nullptr;
    lastFoundName_.clear();
    lastFoundKey_.clear();
    databases.erase(key);
}

// Ends the transaction: each database it used either goes back to its state when the
// transaction first used it (rollback) or keeps its changes and forgets the undo log.
static void EndTransaction(ServerState& server, SessionState& session, bool rollback) {
    session.tranCount = 0;
    if (!session.tranUndo) return;
    std::unique_ptr<std::map<QString, DatabaseUndo>> logs = std::move(session.tranUndo);
    for (auto& [name, log] : *logs) {
        auto db = server.databases.find(name);
        if (db == server.databases.end()) continue;
        if (rollback) db->second.Undo(log);
        else db->second.EndUndo(log);
    }
}

// The SET IDENTITY_INSERT state is a session setting and survives a rollback, as on the server.
void RollbackTransaction(ServerState& server, SessionState& session) { EndTransaction(server, session, true); }

void CommitTransaction(ServerState& server, SessionState& session) { EndTransaction(server, session, false); }

void Executor::AddMessage(int number, int severity, int state, const QString& text) {
    result_.messages.push_back(Message{number, severity, state, text});
    if (severity >= 11) session_.lastError = number;
}

void Executor::EmitRowsAffected(long long n) {
    session_.lastRowCount = n;
    result_.rowsAffected += n;
}

void Executor::RunBatch(const QString& batch) {
    SetThreadDateFormat(session_.options.dateFormat);
    // The collation of the current database holds while the batch runs, not after it.
    struct CaseSensitivityScope {
        bool saved = ThreadCaseSensitive();
        ~CaseSensitivityScope() { SetThreadCaseSensitive(saved); }
    } caseSensitivityScope;
    SetThreadCaseSensitive(IsCaseSensitiveCollation(CurrentDb().collation));
    ParseResult parsed = ParseBatch(batch, session_.options.quotedIdentifier);
    if (!parsed.ok) {
        AddMessage(parsed.error.number, parsed.error.severity, parsed.error.state, parsed.error.text);
        return;
    }
    try {
        BatchCompiler compiler{*this, {}};
        compiler.Collect(parsed.statements);
        compiler.Check(parsed.statements);
    } catch (const SqlError& e) {
        AddMessage(e.number, e.severity, e.state, e.text);
        return;
    }
    bool stop = false;
    try {
        RunStatements(parsed.statements, stop);
    } catch (const ReturnSignal&) {
    } catch (const AbortBatchSignal&) {
    } catch (const CancelSignal&) {
        result_.cancelled = true;
    }
}

void Executor::RunStatements(const std::vector<StmtPtr>& stmts, bool& stop) {
    for (const StmtPtr& s : stmts) {
        if (stop) return;
        if (cancel_.load()) throw CancelSignal{};
        RunStatement(*s, stop);
    }
}

// Whether running the statement itself can change no catalog or data: what it contains (the
// branches of IF, the body of WHILE and of a block) is run, and judged, statement by statement.
static bool ChangesNothing(const Statement& s) {
    switch (s.kind) {
    case StmtKind::Select: return !s.select || s.select->intoTable.isEmpty();
    // The full-text reports a catalog read asks for: they only read.
    case StmtKind::Exec:
        return s.object.name.compare(QLatin1String("sp_help_fulltext_tables"), Qt::CaseInsensitive) == 0 ||
               s.object.name.compare(QLatin1String("sp_help_fulltext_columns"), Qt::CaseInsensitive) == 0;
    case StmtKind::If:
    case StmtKind::While:
    case StmtKind::Block:
    case StmtKind::Declare:
    case StmtKind::Print:
    case StmtKind::Return:
    case StmtKind::Use:
    case StmtKind::BeginTran:
    case StmtKind::CommitTran: return true;
    default: return false;
    }
}

void Executor::RunStatement(const Statement& s, bool& stop) {
    // Any other statement may change a catalog or the rows of a table, through paths too many to
    // mark one by one (procedures, permissions, users, types, rows): what was built from a catalog
    // before it, or while it runs, is not used after it.
    struct ChangeScope {
        bool changes;
        explicit ChangeScope(bool c) : changes(c) {
            if (changes) CatalogChanged();
        }
        ~ChangeScope() {
            if (changes) CatalogChanged();
        }
        ChangeScope(const ChangeScope&) = delete;
        ChangeScope& operator=(const ChangeScope&) = delete;
    } changeScope(!ChangesNothing(s));
    try {
        switch (s.kind) {
        case StmtKind::Select: DoSelect(s); break;
        case StmtKind::Insert: DoInsert(s); break;
        case StmtKind::Update: DoUpdate(s); break;
        case StmtKind::Delete: DoDelete(s); break;
        case StmtKind::CreateTable: DoCreateTable(s); break;
        case StmtKind::CreateIndex:
        case StmtKind::CreateStatistics: DoCreateIndex(s); break;
        case StmtKind::CreateView:
        case StmtKind::CreateProcedure:
        case StmtKind::CreateFunction:
        case StmtKind::CreateTrigger: DoCreateCode(s); break;
        case StmtKind::AlterTable: DoAlterTable(s); break;
        case StmtKind::Drop:
        case StmtKind::DropDatabase: DoDrop(s); break;
        case StmtKind::CreateDatabase: {
            if (session_.tranCount > 0)
                throw ErrGeneric(226, 16, QStringLiteral("CREATE DATABASE statement not allowed within multi-statement transaction."));
            if (server_.Find(s.text)) throw ErrGeneric(1801, 16, QStringLiteral("Database '%1' already exists.").arg(s.text), 3);
            Database db;
            db.name = s.text;
            db.dbid = server_.nextDbid++;
            if (!s.names.isEmpty()) db.collation = s.names.last();
            server_.databases.emplace(s.text.toLower(), std::move(db));
            AddMessage(1802, 0, 1, QStringLiteral("The CREATE DATABASE process is allocating 0.75 MB on disk '%1'.").arg(s.text));
            break;
        }
        case StmtKind::Use: {
            Database* db = server_.Find(s.text);
            if (!db)
                throw ErrGeneric(911, 16, QStringLiteral("Could not locate entry in sysdatabases for database '%1'. No entry found with that name. Make sure that the name is entered correctly.").arg(s.text));
            session_.database = db->name;
            SetThreadCaseSensitive(IsCaseSensitiveCollation(db->collation));
            break;
        }
        case StmtKind::Set: DoSet(s); break;
        case StmtKind::DeclareCursor: DoDeclareCursor(s); break;
        case StmtKind::OpenCursor:
        case StmtKind::FetchCursor:
        case StmtKind::CloseCursor:
        case StmtKind::DeallocateCursor: DoCursorCommand(s); break;
        case StmtKind::Declare:
            for (const ProcParam& p : s.params) {
                if (p.type.name.compare(QLatin1String("table"), Qt::CaseInsensitive) != 0 &&
                    p.type.name != QLatin1String("cursor"))
                    ColumnFromType(CurrentDb(), p.type);
                variables_[p.name.toLower()] = Value::Null(XInt);
                // Remember the declared type through a typed null.
                if (const BuiltinType* t = FindBuiltinType(p.type.name)) variables_[p.name.toLower()] = Value::Null(t->xtype);
            }
            break;
        case StmtKind::If: {
            Scope empty;
            const std::optional<bool> exists = ObjectExistenceTest(*this, *s.where);
            if (exists ? *exists : EvalPredicate(*s.where, empty)) RunStatement(*s.body[0], stop);
            else if (s.body.size() > 1) RunStatement(*s.body[1], stop);
            break;
        }
        case StmtKind::While: {
            // Runs until the condition fails, BREAK-free loops included: only a cancel stops it.
            Scope empty;
            ++loopDepth_;
            try {
                while (!stop && EvalPredicate(*s.where, empty)) {
                    if (cancel_.load()) throw CancelSignal{};
                    try {
                        RunStatement(*s.body[0], stop);
                    } catch (const LoopSignal& l) {
                        if (l.leave) break;
                    }
                }
            } catch (...) {
                --loopDepth_;
                throw;
            }
            --loopDepth_;
            break;
        }
        case StmtKind::Block: RunStatements(s.body, stop); break;
        case StmtKind::Exec: DoExec(s); break;
        case StmtKind::ExecString: {
            Scope empty;
            Value v = Eval(*s.args[0], empty);
            QHash<QString, Value> saved = variables_;
            variables_.clear();
            LocalCursorScope cursors(*this);
            try {
                RunBatch(v.AsString());
            } catch (...) {
                variables_ = saved;
                throw;
            }
            variables_ = saved;
            break;
        }
        case StmtKind::Print: {
            Scope empty;
            Value v = Eval(*s.args[0], empty);
            AddMessage(0, 0, 1, v.IsNull() ? QString() : v.AsString());
            break;
        }
        case StmtKind::RaisError: {
            Scope empty;
            std::vector<Value> args;
            for (const ExprPtr& a : s.args) args.push_back(Eval(*a, empty));
            if (args.size() < 3) throw ErrSyntaxNear(QStringLiteral(")"));
            int severity = static_cast<int>(args[1].AsInt());
            int state = static_cast<int>(args[2].AsInt());
            int number = 50000;
            QString text;
            if (args[0].IsNumeric()) {
                number = static_cast<int>(args[0].AsInt());
                text = QStringLiteral("Error %1, severity %2, state %3 was raised, but no message with that error number was found in sysmessages.").arg(number).arg(severity).arg(state);
            } else {
                text = FormatRaisError(args[0].AsString(), std::vector<Value>(args.begin() + 3, args.end()));
            }
            if (severity > 25) severity = 25;
            AddMessage(number, severity, state, text);
            if (severity >= 20) {
                AddMessage(0, 20, 1, QStringLiteral("Connection terminated by a severity %1 error.").arg(severity));
                stop = true;
            }
            break;
        }
        case StmtKind::Grant: DoGrant(s); break;
        case StmtKind::Return: {
            Scope empty;
            throw ReturnSignal{s.args.empty() ? Value::Null() : Eval(*s.args[0], empty)};
        }
        case StmtKind::BeginTran:
            if (session_.tranCount == 0) {
                session_.tranUndo = std::make_unique<std::map<QString, DatabaseUndo>>();
                CurrentDb();  // the current database is kept from the start
            }
            ++session_.tranCount;
            break;
        case StmtKind::CommitTran:
            if (session_.tranCount == 0)
                throw ErrGeneric(3902, 16, QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."));
            if (--session_.tranCount == 0) CommitTransaction(server_, session_);
            break;
        case StmtKind::RollbackTran:
            if (session_.tranCount == 0)
                throw ErrGeneric(3903, 16, QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."));
            RollbackTransaction(server_, session_);
            break;
        case StmtKind::Truncate: {
            Database& db = CurrentDb();
            Object* o = db.FindObject(s.object.owner, s.object.name);
            if (!o || !o->IsType("U")) throw ErrInvalidObject(s.object.name);
            o->rows.clear();
            o->identityUsed = false;
            o->rowsVersion = NextRowsVersion();
            break;
        }
        case StmtKind::WaitFor: {
            // WAITFOR DELAY 'hh:mm[:ss[.mmm]]' waits, and a cancel ends the wait; WAITFOR TIME
            // does not wait for the clock.
            Scope empty;
            const QString text = Eval(*s.args[0], empty).AsString().trimmed();
            if (s.kindWord != "DELAY") break;
            const QTime delay = QTime::fromString(text, text.count(u':') == 1 ? QStringLiteral("H:m")
                                                       : text.contains(u'.') ? QStringLiteral("H:m:s.z")
                                                                             : QStringLiteral("H:m:s"));
            if (!delay.isValid())
                throw ErrGeneric(148, 15, QStringLiteral("Incorrect time syntax in time string '%1' used with WAITFOR.").arg(text));
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay.msecsSinceStartOfDay());
            while (std::chrono::steady_clock::now() < until) {
                if (cancel_.load()) throw CancelSignal{};
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            break;
        }
        case StmtKind::Noop:
            if ((s.kindWord == "BREAK" || s.kindWord == "CONTINUE") && loopDepth_ > 0) throw LoopSignal{s.kindWord == "BREAK"};
            if (s.kindWord == "CREATE DEFAULT" || s.kindWord == "CREATE RULE") DoCreateBound(s);
            if (s.kindWord == "ADD FILEGROUP" || s.kindWord == "DEFAULT FILEGROUP") {
                Database* db = server_.Find(s.text);
                if (!db)
                    throw ErrGeneric(911, 16, QStringLiteral("Could not locate entry in sysdatabases for database '%1'. No entry found with that name. Make sure that the name is entered correctly.").arg(s.text));
                auto it = std::find_if(db->fileGroups.begin(), db->fileGroups.end(), [&](const FileGroup& g) { return g.name.compare(s.names[0], Qt::CaseInsensitive) == 0; });
                if (s.kindWord == "ADD FILEGROUP") {
                    if (it != db->fileGroups.end())
                        throw ErrGeneric(1828, 16, QStringLiteral("The filegroup name '%1' already exists in this database.").arg(s.names[0]));
                    int id = 0;
                    for (const FileGroup& g : db->fileGroups) id = std::max(id, g.groupid);
                    db->fileGroups.push_back(FileGroup{id + 1, s.names[0], false});
                } else {
                    if (it == db->fileGroups.end()) throw ErrGeneric(1921, 16, QStringLiteral("Invalid filegroup '%1' specified.").arg(s.names[0]));
                    for (FileGroup& g : db->fileGroups) g.isDefault = g.name.compare(s.names[0], Qt::CaseInsensitive) == 0;
                }
            }
            break;
        }
        if (s.kind != StmtKind::If && s.kind != StmtKind::Block && s.kind != StmtKind::While) session_.lastError = 0;
    } catch (const SqlError& e) {
        AddMessage(e.number, e.severity, e.state, e.text);
        // With SET XACT_ABORT ON every run-time error ends the batch and rolls the transaction back.
        const bool xactAbort = session_.options.xactAbort && e.severity >= 11;
        if (xactAbort || AbortsBatch(e)) {
            if ((xactAbort || RollsBackTransaction(e)) && session_.tranCount > 0) RollbackTransaction(server_, session_);
            throw AbortBatchSignal{};
        }
        if (TerminatesStatement(e)) AddMessage(3621, 0, 1, QStringLiteral("The statement has been terminated."));
    }
}

Value Executor::CallUserFunction(const Object& fn, const std::vector<Value>& args) {
    if (!fn.IsType("FN"))
        throw ErrGeneric(40004, 16, QStringLiteral("Table-valued function '%1' cannot be used as a scalar.").arg(fn.name));
    if (args.size() != fn.params.size())
        throw ErrGeneric(313, 16, QStringLiteral("An insufficient number of arguments were supplied for the procedure or function %1.").arg(fn.name));
    if (++execDepth_ > 32) {
        --execDepth_;
        throw ErrGeneric(217, 16, QStringLiteral("Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32)."));
    }
    QHash<QString, Value> saved = variables_;
    variables_.clear();
    LocalCursorScope cursors(*this);
    for (size_t i = 0; i < args.size(); ++i)
        variables_[fn.params[i].name.toLower()] = args[i].IsNull() ? args[i] : ConvertToType(args[i], fn.params[i].type, 0, session_.options.dateFormat);
    Value result = Value::Null();
    ParseResult pr = ParseBatch(fn.texts.empty() ? QString() : fn.texts[0].second, fn.quotedIdent);
    bool stop = false;
    const size_t messagesBefore = result_.messages.size();
    try {
        if (pr.ok && !pr.statements.empty()) RunStatements(pr.statements[0]->body, stop);
    } catch (const ReturnSignal& r) {
        result = r.value;
    } catch (...) {
        variables_ = saved;
        --execDepth_;
        throw;
    }
    variables_ = saved;
    --execDepth_;
    // An error inside the function ends the calling statement.
    for (size_t i = messagesBefore; i < result_.messages.size(); ++i) {
        const Message m = result_.messages[i];
        if (m.severity >= 11) {
            result_.messages.erase(result_.messages.begin() + static_cast<long>(i));
            throw ErrGeneric(m.number, m.severity, m.text, m.state);
        }
    }
    return result;
}

void Executor::DoSelect(const Statement& s) {
    Relation r = RunQuery(*s.select, nullptr);
    if (!s.select->assignments.empty() || (s.select->items.empty())) {
        return;
    }
    if (!s.select->intoTable.isEmpty())
        throw ErrGeneric(156, 15, QStringLiteral("Incorrect syntax near the keyword 'INTO'."));
    ResultSet rs;
    if (!s.select->forXml.isEmpty()) {
        // FOR XML: the whole result as one ntext value under the server's fixed column name.
        rs.columns.push_back(ResultColumn{QStringLiteral("XML_F52E2B61-18A1-11d1-B105-00805F49916B"), XNText, 16});
        rs.rows.push_back({XmlOfRelation(*s.select, r)});
        session_.lastRowCount = static_cast<long long>(r.rows.size());
        result_.resultSets.push_back(std::move(rs));
        return;
    }
    for (const RelColumn& c : r.columns) rs.columns.push_back(ResultColumn{c.name, c.xtype, c.length});
    long long limit = session_.options.rowCount;
    if (limit > 0 && static_cast<long long>(r.rows.size()) > limit) r.rows.resize(static_cast<size_t>(limit));
    session_.lastRowCount = static_cast<long long>(r.rows.size());
    rs.rows = std::move(r.rows);
    result_.resultSets.push_back(std::move(rs));
}

void Executor::AssignVariable(const QString& name, Value v) {
    const QString n = name.toLower();
    auto it = variables_.find(n);
    if (it == variables_.end()) throw ErrGeneric(137, 15, QStringLiteral("Must declare the variable '%1'.").arg(name));
    int xt = it->XTypeCode();
    if (!v.IsNull() && xt != v.XTypeCode() && FindBuiltinType(xt))
        v = ConvertTo(v, xt, IsStringType(xt) ? 8000 : FindBuiltinType(xt)->length, 38, v.GetKind() == Value::Kind::Decimal ? v.DecimalScale() : 0, 0, session_.options.dateFormat);
    *it = v;
}

void Executor::DoSet(const Statement& s) {
    if (!s.assignments.empty()) {
        Scope empty;
        for (const auto& a : s.assignments) {
            if (!variables_.contains(a.first.toLower())) throw ErrGeneric(137, 15, QStringLiteral("Must declare the variable '%1'.").arg(a.first));
            AssignVariable(a.first, Eval(*a.second, empty));
        }
        return;
    }
    if (s.text == QLatin1String("IDENTITY_INSERT")) {
        Database* db = DatabaseFor(s.object.database);
        Object* o = db ? db->FindObject(s.object.owner, s.object.name) : nullptr;
        if (!o || !o->IsType("U")) throw ErrInvalidObject(s.object.name);
        bool hasIdentity = false;
        for (const Column& c : o->columns) hasIdentity = hasIdentity || c.identity;
        if (!hasIdentity)
            throw ErrGeneric(8106, 16, QStringLiteral("Table '%1' does not have the identity property. Cannot perform SET operation.").arg(o->name));
        if (s.flag) {
            for (const auto& [id, other] : db->objects)
                if (other.identityInsert && other.id != o->id)
                    throw ErrGeneric(8107, 16, QStringLiteral("IDENTITY_INSERT is already ON for table '%1.dbo.%2'. Cannot perform SET operation for table '%3'.").arg(db->name, other.name, o->name));
        }
        o->identityInsert = s.flag;
        return;
    }
    if (s.text == QLatin1String("TRANSACTION")) return;
    for (const QString& opt : s.names) {
        if (opt == QLatin1String("ANSI_NULLS")) session_.options.ansiNulls = s.flag;
        else if (opt == QLatin1String("QUOTED_IDENTIFIER")) session_.options.quotedIdentifier = s.flag;
        else if (opt == QLatin1String("NOCOUNT")) session_.options.noCount = s.flag;
        else if (opt == QLatin1String("XACT_ABORT")) session_.options.xactAbort = s.flag;
        else if (opt == QLatin1String("ANSI_NULL_DFLT_ON")) session_.options.ansiNullDefault = s.flag;
        else if (opt == QLatin1String("ANSI_NULL_DFLT_OFF")) session_.options.ansiNullDefault = !s.flag;
        else if (opt == QLatin1String("DATEFORMAT")) {
            Scope empty;
            QString f = s.args.empty() ? QString() : Eval(*s.args[0], empty).AsString().toLower();
            static const QStringList formats = {"mdy", "dmy", "ymd", "ydm", "myd", "dym"};
            if (!formats.contains(f)) throw ErrGeneric(1039, 16, QStringLiteral("Option 'DATEFORMAT' specified more than once."));
            session_.options.dateFormat = f;
            SetThreadDateFormat(f);
        } else if (opt == QLatin1String("ROWCOUNT")) {
            Scope empty;
            session_.options.rowCount = s.args.empty() ? 0 : Eval(*s.args[0], empty).AsInt();
        } else if (opt == QLatin1String("ANSI_DEFAULTS")) {
            session_.options.ansiNulls = s.flag;
            session_.options.quotedIdentifier = s.flag;
            session_.options.ansiNullDefault = s.flag;
        }
        // Other options (ANSI_WARNINGS, LANGUAGE, ...) change nothing the simulator shows.
    }
}

}  // namespace sqlsim
