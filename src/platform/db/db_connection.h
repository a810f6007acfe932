#pragma once
// Database access as the engine sees it: one connection per database, queries that return a
// forward-only cursor read by column name, statements executed synchronously or in the
// background (polled with IsExecuting, stopped with Cancel), and the messages the server
// reported for the last statement as (native number, description) entries in server order.
//
// Two implementations: OdbcConnection (unixODBC, for real servers) and SimConnection (an
// in-process sqlsim session, for tests and dry runs).
#include "platform/db_value.h"

#include <QHash>
#include <QList>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Data type codes of result columns, as the data copy expects them (the ADO numbering).
namespace AdoType {
enum : int {
    Empty = 0,
    SmallInt = 2,
    Integer = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Boolean = 11,
    Variant = 12,
    Decimal = 14,
    UnsignedTinyInt = 17,
    BigInt = 20,
    Guid = 72,
    Binary = 128,
    Char = 129,
    WChar = 130,
    Numeric = 131,
    DBTimeStamp = 135,
    VarChar = 200,
    LongVarChar = 201,
    VarWChar = 202,
    LongVarWChar = 203,
    VarBinary = 204,
    LongVarBinary = 205,
};
}  // namespace AdoType

// One message of the server or the driver.
struct DbError {
    long Number = 0;        // the server's native error number (0 when the driver raised it)
    QString Description;    // the message text, without driver prefixes
    bool Informational = false;  // a PRINT, RAISERROR below severity 11 or another notice

    bool operator==(const DbError& other) const {
        return Number == other.Number && Description == other.Description && Informational == other.Informational;
    }
};

struct DbColumn {
    QString Name;
    int Type = AdoType::Empty;  // AdoType code
};

// The rows of one result set.
struct DbResultSet {
    std::vector<DbColumn> Columns;
    std::vector<std::vector<DbValue>> Rows;
};

// What one batch produced.
struct DbBatchOutcome {
    std::vector<DbResultSet> ResultSets;
    QList<DbError> Errors;  // every message, in the order the server sent them
    bool Failed = false;     // at least one error (not a notice) was reported
    bool Cancelled = false;
    qint64 RowsAffected = 0;
};

// A forward-only cursor over one result set.
class DbCursor {
public:
    DbCursor() = default;
    explicit DbCursor(DbResultSet resultSet);

    // True when there is no current row (no rows at all, or moved past the last).
    bool EndOfRows() const { return row_ >= resultSet_.Rows.size(); }
    // Moves to the next row and frees the one left behind: a forward-only reader never returns
    // to it, and its memory is given back while it is still in the cache (a large result is not
    // freed in one sweep at the end, and the model built from it reuses that memory).
    void MoveNext();
    // The current row's value of the named column (case-insensitive). Throws TovimarException
    // 3265 for a column the result does not have; reading past the end throws 3021. The value
    // stays valid until the cursor moves on.
    const DbValue& Value(const QString& columnName) const;
    bool HasColumn(const QString& columnName) const;
    // The position of the named column (case-insensitive), -1 when the result has none: a reader
    // of many rows looks its columns up once and reads them with ValueAt.
    int ColumnIndex(const QString& columnName) const;

    int ColumnCount() const { return static_cast<int>(resultSet_.Columns.size()); }
    QString ColumnName(int position) const;
    int ColumnType(int position) const;
    // Inline: a reader of a large result asks for every value of every row.
    const DbValue& ValueAt(int position) const {
        const size_t pos = static_cast<size_t>(position);
        if (pos < resultSet_.Columns.size() && row_ < resultSet_.Rows.size()) {
            const std::vector<DbValue>& row = resultSet_.Rows[row_];
            if (pos < row.size()) return row[pos];
        }
        return CheckedValueAt(position);
    }

private:
    const std::vector<DbValue>& CurrentRow() const;
    // ValueAt of a position or row that is not there: throws, or gives null for a short row.
    const DbValue& CheckedValueAt(int position) const;

    DbResultSet resultSet_;
    QHash<QString, int> byName_;       // case-folded name -> first position
    mutable QHash<QString, int> byExactName_;  // name as given or as asked for -> the same position
    size_t row_ = 0;
};

// One open connection. RunQuery and ExecuteSQL run on the caller's thread (a query queued with
// QueueQuery on the worker); ExecuteAsync runs the batch on the connection's worker thread, the
// caller polls IsExecuting and may Cancel, and FinishExecute collects the outcome. One statement
// at a time. The worker is started by the first ExecuteAsync (or QueueQuery) and serves every
// later one until the connection ends: an execution runs tens of thousands of statements, and a
// thread per statement cost more than most of them.
class DbConnection {
public:
    DbConnection() = default;
    virtual ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // Runs a SELECT or EXEC and returns a cursor over its first result set (an empty cursor when
    // it returned none). Throws TovimarException (first error's number and text) on failure.
    std::unique_ptr<DbCursor> RunQuery(const QString& sql);
    // Runs a statement (or batch); returns true on success, throws TovimarException on failure.
    bool ExecuteSQL(const QString& sql);
    // Runs a batch and hands back everything it produced, failure included (never throws for a
    // server error; throws only when the connection is unusable).
    DbBatchOutcome Execute(const QString& sql);

    // Background execution.
    void ExecuteAsync(const QString& sql);
    bool IsExecuting() const { return executing_.load(); }
    // Waits until the background batch has ended, at most timeout; true when it has (or none
    // runs). Returns at once when the batch ends, so a quick statement costs no waiting.
    bool WaitFinished(std::chrono::milliseconds timeout);
    // Asks the server to stop the running statement; harmless when nothing runs.
    void Cancel();
    // Waits for the background batch and returns its outcome.
    DbBatchOutcome FinishExecute();

    // Queries handed over before they are asked for. A reader that knows the queries it will send
    // queues them; where the connection can run them beside its caller (RunsQueriesAhead), the
    // worker runs them one after another while the caller reads the rows of earlier ones, and
    // RunQuery of the same text takes what that run gave (its rows, or its error) instead of
    // running it again. The query RunQuery waits for runs before the others. Only for queries that
    // read, whose answer nothing the caller runs meanwhile can change: the server may see them
    // before queries asked for earlier. Execute, ExecuteSQL and ExecuteAsync first drop whatever
    // is queued, and so does the end of the connection. Elsewhere (ODBC) QueueQuery does nothing
    // and each query runs when it is asked for.
    void QueueQuery(const QString& sql);
    // Drops the queued queries and what they gave; one that is running is cancelled and waited for.
    void DropQueuedQueries();

    // The messages of the last statement, in server order.
    const QList<DbError>& Errors() const { return errors_; }
    void ClearErrors() { errors_.clear(); }

    // The database the connection was opened on, and the server as the user named it.
    virtual QString ServerName() const = 0;
    virtual QString DatabaseName() const = 0;
    // True when the server runs inside this process (the simulated server): whatever it holds ends
    // with the process, so nothing it did can outlive a crash of the program.
    virtual bool ServerInThisProcess() const { return false; }

protected:
    // Runs one batch to its end on the calling thread; implementations collect every result set
    // and message. May be called on a worker thread.
    virtual DbBatchOutcome RunBatch(const QString& sql) = 0;
    // Called from the caller's thread while RunBatch runs on the worker.
    virtual void CancelRunning() = 0;
    // Called just before each RunBatch, while no Cancel can come in: an implementation whose
    // server keeps a cancel request that arrived after its last batch had ended drops it here,
    // so that it cannot stop the next statement (such as the rollback after a failure).
    virtual void PrepareRun() {}
    // True when queued queries may run on the worker while the caller works: a server in this
    // process, whose session may be driven from either thread in turn.
    virtual bool RunsQueriesAhead() const { return false; }
    // Implementations call this in their destructor so that no worker outlives them: a running
    // batch is cancelled and waited for, and the worker ends.
    void JoinWorker();
    // With on, ExecuteAsync runs the batch on the caller's thread and returns when it has ended
    // (FinishExecute then hands its outcome over at once): for a server in this process whose
    // batches cannot stall and are known to be short, where handing each one to the worker and
    // waking the caller again cost more than most batches. A Cancel from another thread still
    // reaches a running batch; the caller itself cannot poll or cancel while it runs.
    void SetRunsOnCaller(bool on) { runsOnCaller_ = on; }

private:
    // A query handed over with QueueQuery, and what its run gave.
    struct QueuedQuery {
        enum class State { Waiting, Running, Done };
        QString Sql;
        State Now = State::Waiting;
        bool Wanted = false;  // RunQuery waits for it: it runs next
        DbBatchOutcome Outcome;
        std::exception_ptr Error;
    };

    DbBatchOutcome RunAndRecord(const QString& sql);
    // The outcome of sql from the queue (waiting for its run, which is moved to the front when it
    // has not started); false when sql is not queued and nothing queued is waiting or running.
    bool TakeQueued(const QString& sql, DbBatchOutcome& outcome);
    // The queued query the worker runs next (under runMutex_), none when none waits.
    QueuedQuery* NextQueued();
    void StartWorker();
    // Runs a handed-over batch (outside runMutex_) and stores its outcome or error for
    // FinishExecute, waking whoever waits for it.
    void RunHandedOver(const QString& sql, bool cancelled);
    [[noreturn]] void ThrowFailure(const DbBatchOutcome& outcome, const QString& source) const;
    void WorkerLoop();
    void StopWorker();

    QList<DbError> errors_;
    std::thread worker_;
    std::atomic<bool> executing_{false};
    std::atomic<std::chrono::steady_clock::rep> handedOverAt_{0};  // when the worker was handed the last batch
    // Guards the run phase against Cancel: a Cancel before the worker has started the batch is
    // kept for it; one while the batch runs goes to the server. Also guards the hand-over of a
    // batch to the worker and of its outcome back.
    enum class RunPhase { Idle, Starting, Running };
    std::mutex runMutex_;
    std::condition_variable batchReady_;  // signalled (under runMutex_) when a batch or the stop is handed over
    std::condition_variable finished_;    // signalled (under runMutex_) when the worker's batch ends
    RunPhase phase_ = RunPhase::Idle;
    bool cancelBeforeStart_ = false;
    bool batchPending_ = false;
    bool stopWorker_ = false;
    bool runsOnCaller_ = false;
    QString pendingSql_;
    DbBatchOutcome asyncOutcome_;
    std::exception_ptr asyncError_;
    std::list<QueuedQuery> queued_;  // in the order handed over; guarded by runMutex_
};

// The first error of an outcome that is not a notice (or the first message); a fallback entry
// when the outcome carries none.
DbError FirstError(const QList<DbError>& errors);

// Opens a connection to a real server over ODBC: server as HOST, HOST\INSTANCE or HOST,PORT;
// an empty user name asks for integrated login. Throws TovimarException with the driver's
// native error number and description when the connection cannot be made, and 5 before any
// attempt when the server or database name is blank.
std::shared_ptr<DbConnection> OpenConnection(const QString& serverName, const QString& databaseName,
                                             const QString& userName, const QString& password);

// The text the user sees when a connection fails.
QString ConnectionFailureMessage(const QString& serverName, const QString& databaseName, long number,
                                 const QString& description);
