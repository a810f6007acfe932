// Internal state of the simulated server and the interfaces between its parts.
#pragma once

#include "sqlsim/ast.h"
#include "sqlsim/catalog.h"
#include "sqlsim/errors.h"
#include "sqlsim/server.h"

#include <QHash>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace sqlsim {

struct Login {
    QString name;
    QString password;
    QString defaultDatabase;
};

struct ServerState {
    std::map<QString, Database> databases;  // by lower-case name; removed only through Drop
    int nextDbid = 5;
    // The session whose batch is running; inside a transaction, the first lookup of a database
    // opens an undo log on it for ROLLBACK.
    SessionState* activeSession = nullptr;
    // Logins made by sp_addlogin or given to the listener: lower-case name -> login.
    std::map<QString, Login> logins;
    // The database of that name (any case), nullptr when there is none.
    Database* Find(const QString& name);
    // Removes a database (by lower-case name).
    void Drop(const QString& key);
    ServerState();

private:
    // The current database is looked up by its name several times per statement: the database
    // last found is kept with the name it was asked by and its key. Node pointers of the map stay
    // valid until that database is dropped, and Drop forgets it.
    Database* lastFound_ = nullptr;
    QString lastFoundName_;
    QString lastFoundKey_;
};

struct SessionOptions {
    bool ansiNulls = true;
    bool quotedIdentifier = true;
    bool noCount = false;
    bool xactAbort = false;
    bool ansiNullDefault = true;  // columns without NULL/NOT NULL allow nulls (ANSI_NULL_DFLT_ON)
    QString dateFormat = QStringLiteral("mdy");
    long long rowCount = 0;
};

// A relation: named, typed columns and rows of values.
struct RelColumn {
    QString qualifier;  // table name or alias
    QString name;
    int xtype = XVarChar;
    int length = 0;
    bool nullable = true;
};
struct Relation {
    std::vector<RelColumn> columns;
    std::vector<std::vector<Value>> rows;
    // A system table kept per state of the catalog (CachedSystemTable) holds its rows in one
    // block instead, one allocation rather than one per row: row r is cells[r * stride] and the
    // stride values after it, and rows stays empty. Only the select engine reads such a table
    // (through RowCount, Cell and Row).
    bool flat = false;
    size_t stride = 0;
    size_t flatRows = 0;
    std::vector<Value> cells;
    size_t RowCount() const { return flat ? flatRows : rows.size(); }
    const Value& Cell(size_t r, size_t c) const { return flat ? cells[r * stride + c] : rows[r][c]; }
    std::vector<Value> Row(size_t r) const {
        if (!flat) return rows[r];
        const auto first = cells.begin() + static_cast<std::ptrdiff_t>(r * stride);
        return std::vector<Value>(first, first + static_cast<std::ptrdiff_t>(stride));
    }
    // For a system table kept per state of the catalog (CachedSystemTable): the verdicts of the
    // WHERE conditions pushed onto it so far, by condition (ConditionKey), one per row: -1 not
    // yet evaluated, 0 false or unknown, 1 true. They live as long as the table, so no longer
    // than the catalog's state.
    using Verdicts = std::map<QString, std::vector<signed char>>;
    mutable std::shared_ptr<Verdicts> verdicts;
};

// A cursor: its query, and while open the rows read at OPEN and the position in them (-1 before
// the first row, rows.size() after the last).
struct Cursor {
    QString name;
    std::shared_ptr<const SelectStmt> query;
    bool scroll = false;  // FIRST, LAST, PRIOR, ABSOLUTE and RELATIVE allowed
    bool open = false;
    std::vector<RelColumn> columns;
    std::vector<std::vector<Value>> rows;
    long long pos = -1;
};
using CursorMap = std::map<QString, std::shared_ptr<Cursor>>;  // by lower-case name

struct SessionState {
    QString database;
    SessionOptions options;
    int tranCount = 0;
    // The undo logs of the databases the transaction has used (by lower-case name); ROLLBACK
    // puts back what they hold. Null outside a transaction.
    std::unique_ptr<std::map<QString, DatabaseUndo>> tranUndo;
    int lastError = 0;
    long long lastRowCount = 0;
    long long lastIdentity = 0;
    bool lastIdentitySet = false;
    CursorMap globalCursors;  // GLOBAL cursors live until DEALLOCATE or the end of the connection
    int fetchStatus = -1;     // @@FETCH_STATUS: the last FETCH of the connection
};

// ROLLBACK: the databases go back to their state when the transaction first used them.
void RollbackTransaction(ServerState& server, SessionState& session);
// The outermost COMMIT: the changes stay, the undo logs are dropped.
void CommitTransaction(ServerState& server, SessionState& session);

class Executor;

// Thrown by RETURN (with the function's value) and when a batch is cancelled.
struct ReturnSignal {
    Value value;
};
struct CancelSignal {};
// Thrown when an error ends the whole batch (procedures called from it included).
struct AbortBatchSignal {};
// BREAK (leave the loop) and CONTINUE (next round) inside WHILE.
struct LoopSignal {
    bool leave = false;
};

// Which rows of a system table a query keeps (columns: those a row holds, without qualifier).
using SystemRowFilter = std::function<bool(const std::vector<RelColumn>& columns, const std::vector<Value>& row)>;

// The rows of a join as positions into the relations it joins, so that no value is copied
// until a query projects it: each row is one position per relation (kNoRow for the missing side
// of an outer join, which reads as NULLs), and a column slot is a (relation, column) pair.
struct JoinedRows {
    static constexpr uint32_t kNoRow = 0xffffffffu;
    std::vector<std::shared_ptr<const Relation>> bases;  // shared with the cache of a system table
    std::vector<RelColumn> columns;             // of every relation in turn
    std::vector<std::pair<uint32_t, uint32_t>> places;  // by column slot: (relation, its column)
    std::vector<std::vector<Value>> nulls;      // by relation: a NULL of each column's type
    std::vector<uint32_t> tuples;               // Width() positions per row
    size_t Width() const { return bases.size(); }
    size_t RowCount() const { return bases.empty() ? 0 : tuples.size() / bases.size(); }
    const uint32_t* Tuple(size_t row) const { return tuples.data() + row * bases.size(); }
    const Value& At(const uint32_t* tuple, size_t slot) const {
        const auto [b, c] = places[slot];
        const uint32_t r = tuple[b];
        return r == kNoRow ? nulls[b][c] : bases[b]->Cell(r, c);
    }
    // One relation whose rows are taken in order.
    static JoinedRows Of(Relation&& rel);
    // The rows of a shared relation that keep(row index) accepts (all without it), in order; its
    // columns take the qualifier.
    static JoinedRows Of(std::shared_ptr<const Relation> rel, const QString& qualifier,
                         const std::function<bool(size_t)>& keep = {});
};

// Name scope for evaluating expressions over one row (with outer scopes for correlation).
struct Scope {
    const std::vector<RelColumn>* columns = nullptr;
    const std::vector<Value>* row = nullptr;
    // Instead of row: a row of a join.
    const JoinedRows* joined = nullptr;
    const uint32_t* tuple = nullptr;
    bool HasRow() const { return row || tuple; }
    const Value& At(size_t slot) const { return row ? (*row)[slot] : joined->At(tuple, slot); }
    const Scope* outer = nullptr;
    unsigned long long generation = 0;
    // Grouped evaluation: the rows of the current group (aggregates read them).
    const std::vector<const std::vector<Value>*>* group = nullptr;
    // Aggregate results computed for the current group, by expression node.
    const QHash<const Expr*, Value>* aggregates = nullptr;
};

unsigned long long NewScopeGeneration();

// Builds a system table of a database (sysobjects, syscolumns, ...); false when the name is not one.
// With ids, only the rows of those objects (ascending ids) are built; the tables for which
// SystemTableKeyedById holds take it (their "id" column is the object's id). With columns
// (lower-case names), only those columns are kept.
// With filter, a row is kept only when filter(columns, row) holds (columns: those a row holds,
// without qualifier).
bool BuildSystemTable(const ServerState& server, const Database& db, const QString& name, Relation& out,
                      const std::vector<int>* ids = nullptr, const QSet<QString>* columns = nullptr,
                      const SystemRowFilter* filter = nullptr);
bool SystemTableKeyedById(const QString& name);
// The whole system table (no ids, no filter), with at least the given columns (all of them
// without columns), built once per state of the catalog (CatalogVersion) and kept in the database
// until it changes; the queries of a catalog read share it. Null for a table that is not built
// from one database alone (sysdatabases, sysaltfiles) or not a system table.
std::shared_ptr<const Relation> CachedSystemTable(const Database& db, const QString& name, const QSet<QString>* columns);
// Frees the tables kept for an earlier state of the catalog.
void DropStaleSystemTables(const Database& db);
// INFORMATION_SCHEMA.TABLES, COLUMNS, VIEWS, ROUTINES, PARAMETERS, TABLE_CONSTRAINTS,
// KEY_COLUMN_USAGE, REFERENTIAL_CONSTRAINTS, CHECK_CONSTRAINTS, CONSTRAINT_COLUMN_USAGE.
bool IsInformationSchemaView(const QString& owner, const QString& name);
bool BuildInformationSchemaView(const Database& db, const QString& owner, const QString& name, Relation& out);
bool IsSystemTableName(const QString& name);

class Executor {
public:
    Executor(ServerState& server, SessionState& session, BatchResult& result, const std::atomic<bool>& cancel)
        : server_(server), session_(session), result_(result), cancel_(cancel) {}

    void RunBatch(const QString& batch);

    // Expression evaluation and queries (select_engine.cpp, functions.cpp).
    Value Eval(const Expr& e, const Scope& scope);
    // The value of a literal or of a column of the scope's row where it is, without a copy;
    // anything else evaluated into tmp.
    const Value& EvalInPlace(const Expr& e, const Scope& scope, Value& tmp);
    Relation RunQuery(const SelectStmt& q, const Scope* outer);
    Value CallFunction(const Expr& e, const Scope& scope);
    // OBJECTPROPERTY, COLUMNPROPERTY or INDEXPROPERTY whose property was resolved once from its
    // constant name (e.property > 1): the catalog queries call them on every row.
    Value CallProperty(const Expr& e, const Scope& scope);
    Value CallUserFunction(const Object& fn, const std::vector<Value>& args);
    // conjuncts: the WHERE conditions of a query that reads only this table (with its outer scope).
    // columns: the lower-case names of every column the query reads (null: all may be read).
    // filter: for a system table, which of its rows are kept (see BuildSystemTable).
    // shared: for a system table read whole (not pinned to some objects by conjuncts), the rows
    // kept for the catalog's state (CachedSystemTable) are handed out there, unfiltered, and the
    // relation returned is empty.
    Relation ResolveTable(const TableRef& ref, const std::vector<ExprPtr>* conjuncts = nullptr, const Scope* outer = nullptr,
                          const QSet<QString>* columns = nullptr, const SystemRowFilter* filter = nullptr,
                          std::shared_ptr<const Relation>* shared = nullptr);
    bool PinnedObjectIds(const std::vector<ExprPtr>& conjuncts, const QString& qualifier, const Scope* outer,
                         std::vector<int>& ids);
    bool EvalPredicate(const Expr& e, const Scope& scope);  // true only when the condition is TRUE
    // A condition's truth: 1 TRUE, 0 FALSE, -1 UNKNOWN (what Eval gives as 1, 0 or NULL).
    int Truth(const Expr& e, const Scope& scope);

    Database& CurrentDb();
    Database* DatabaseFor(const QString& name);  // empty name: current
    ServerState& Server() { return server_; }
    SessionState& Session() { return session_; }
    void AddMessage(int number, int severity, int state, const QString& text);
    QHash<QString, Value>& Variables() { return variables_; }

    // Catalog helpers used by the functions (functions.cpp).
    const Object* ObjectByName(const QString& text, Database** dbOut = nullptr);
    const Object* ObjectById(Database& db, int id);

    // While a query runs the catalog cannot change, so the current database and the object its
    // functions last named are looked up once, not once per row (a catalog query asks for the
    // properties of one object for each of its columns in turn). Cleared when the outermost
    // query ends and while a user-defined function runs.
    struct QueryLookups {
        int depth = 0;
        QString dbName;
        Database* db = nullptr;
        bool named = false;
        QString objectText, objectDbName;
        Database* objectDb = nullptr;
        const Object* object = nullptr;
        const Database* idDb = nullptr;
        int id = 0;
        const Object* byId = nullptr;
        void Clear() {
            const int d = depth;
            *this = QueryLookups();
            depth = d;
        }
    };
    struct QueryScope {
        explicit QueryScope(QueryLookups& l) : lookups(l) { ++lookups.depth; }
        ~QueryScope() {
            if (--lookups.depth == 0) lookups.Clear();
        }
        QueryLookups& lookups;
    };

private:
    void RunStatements(const std::vector<StmtPtr>& stmts, bool& stop);
    void RunStatement(const Statement& s, bool& stop);

    ServerState& server_;
    SessionState& session_;
    BatchResult& result_;
    const std::atomic<bool>& cancel_;
    QHash<QString, Value> variables_;  // by lower-case name
    int execDepth_ = 0;
    QueryLookups lookups_;
public:
    int loopDepth_ = 0;  // WHILE loops of the running batch or procedure body
    // UPDATE/DELETE ... FROM: the target table's rows carry their position in a hidden column
    // (only in the FROM entry that names the target).
    const TableRef* hiddenRowRef_ = nullptr;
    // Statement implementations (executor.cpp, ddl.cpp).
    void DoCreateTable(const Statement& s);
    void DoCreateIndex(const Statement& s);
    void DoCreateCode(const Statement& s);
    // CREATE DEFAULT / CREATE RULE: a sysobjects row of xtype 'D' / 'R' without parent.
    void DoCreateBound(const Statement& s);
    // sp_bindefault, sp_unbindefault, sp_bindrule, sp_unbindrule (args as passed).
    void DoBind(Database& db, const QString& procedure, const QStringList& args);
    void DoAlterTable(const Statement& s);
    void AlterColumn(Database& db, Object& table, const Statement& s);
    void DoDrop(const Statement& s);
    void DoInsert(const Statement& s);
    void DoUpdate(const Statement& s);
    void DoDelete(const Statement& s);
    void DoExec(const Statement& s);
    void DoGrant(const Statement& s);
    void DoSet(const Statement& s);
    void DoSelect(const Statement& s);
    void AddConstraint(Database& db, Object& table, const ConstraintDef& c, bool fromAlter, bool withNoCheck);
    void ValidateRows(Database& db, Object& table, const std::vector<std::vector<Value>>& newRows,
                      const std::vector<size_t>& replacedRows, const char* verb);
    std::vector<Value> CoerceRow(Database& db, Object& table, std::vector<Value> row);
    void EmitRowsAffected(long long n);
    // SET @v = value with the conversion to the variable's declared type; 137 when undeclared.
    void AssignVariable(const QString& name, Value v);
    // Cursors (cursors.cpp). Local cursors belong to the batch, procedure or function running.
    void DoDeclareCursor(const Statement& s);
    void DoCursorCommand(const Statement& s);
    std::shared_ptr<Cursor> FindCursor(const QString& name, bool global);
    CursorMap localCursors_;
    // The local cursors of a procedure, function or dynamic batch: the caller's are set aside
    // while it runs and come back when it ends (its own are deallocated).
    struct LocalCursorScope {
        explicit LocalCursorScope(Executor& e) : ex(e), saved(std::move(e.localCursors_)) { ex.localCursors_.clear(); }
        ~LocalCursorScope() { ex.localCursors_ = std::move(saved); }
        Executor& ex;
        CursorMap saved;
    };
    // FOR XML: the rows of a query as one ntext value.
    Value XmlOfRelation(const SelectStmt& q, const Relation& r);
    Value DefaultValue(Database& db, const Object& table, const Column& col);
};

// The type (xtype, length) the server gives an expression over the given columns.
std::pair<int, int> StaticExpressionType(const Expr& e, const std::vector<RelColumn>& columns);
// Column type from a TypeSpec and the database's user types; throws 2715 for unknown types.
// builtIn, when given, tells whether the type is a built-in one.
Column ColumnFromType(const Database& db, const TypeSpec& t, bool* builtIn = nullptr);
void SetThreadDateFormat(const QString& f);
// Splits "owner.name" or "[a].[b]" text into parts.
QStringList SplitObjectNameText(const QString& text);
// The stored text of a CHECK constraint: column names bracketed, wrapped in parentheses.
QString NormalizeConstraintText(const QString& text, const Object& table, bool isDefault);

}  // namespace sqlsim
