#include "platform/db/db_connection.h"

#include "platform/tovimar_exception.h"

#include <algorithm>
#include <iterator>

namespace {
const QString kCursorSource = QStringLiteral("DbCursor");
const QString kConnectionSource = QStringLiteral("DbConnection");
// What a row shorter than its result's columns holds in the columns it lacks.
const DbValue kMissingValue = DbValue::Null();
// How long WaitFinished looks for the end of a batch before it sleeps.
constexpr auto kLookBeforeSleeping = std::chrono::microseconds(200);
}  // namespace

// ---------------------------------------------------------------------------------------------
// Cursor

DbCursor::DbCursor(DbResultSet resultSet) : resultSet_(std::move(resultSet)) {
    for (int i = 0; i < ColumnCount(); ++i) {
        const QString folded = resultSet_.Columns[static_cast<size_t>(i)].Name.toCaseFolded();
        if (!byName_.contains(folded)) byName_.insert(folded, i);
    }
    // Callers mostly ask by the name as the query wrote it: found without folding it first.
    for (const DbColumn& column : resultSet_.Columns)
        if (!byExactName_.contains(column.Name)) byExactName_.insert(column.Name, byName_.value(column.Name.toCaseFolded()));
}

void DbCursor::MoveNext() {
    if (EndOfRows()) return;
    std::vector<DbValue>().swap(resultSet_.Rows[row_]);
    ++row_;
}

const std::vector<DbValue>& DbCursor::CurrentRow() const {
    if (EndOfRows())
        throw TovimarException(3021, kCursorSource,
                               QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    return resultSet_.Rows[row_];
}

bool DbCursor::HasColumn(const QString& columnName) const { return byName_.contains(columnName.toCaseFolded()); }

int DbCursor::ColumnIndex(const QString& columnName) const {
    int position = byExactName_.value(columnName, -1);
    if (position < 0) {
        // A caller that spells the name otherwise than the query asks by that spelling for
        // every row: it is folded once and remembered.
        position = byName_.value(columnName.toCaseFolded(), -1);
        if (position >= 0) byExactName_.insert(columnName, position);
    }
    return position;
}

const DbValue& DbCursor::Value(const QString& columnName) const {
    const int position = ColumnIndex(columnName);
    if (position < 0)
        throw TovimarException(3265, kCursorSource,
                               QStringLiteral("Item cannot be found in the collection corresponding to the "
                                              "requested name or ordinal: ") + columnName);
    return ValueAt(position);
}

namespace {
TovimarException BadPosition(int position) {
    return TovimarException(3265, kCursorSource,
                            QStringLiteral("Item cannot be found in the collection corresponding to the "
                                           "requested name or ordinal: %1").arg(position));
}
}  // namespace

QString DbCursor::ColumnName(int position) const {
    if (position < 0 || position >= ColumnCount()) throw BadPosition(position);
    return resultSet_.Columns[static_cast<size_t>(position)].Name;
}

int DbCursor::ColumnType(int position) const {
    if (position < 0 || position >= ColumnCount()) throw BadPosition(position);
    return resultSet_.Columns[static_cast<size_t>(position)].Type;
}

const DbValue& DbCursor::CheckedValueAt(int position) const {
    if (position < 0 || position >= ColumnCount()) throw BadPosition(position);
    const std::vector<DbValue>& row = CurrentRow();
    const size_t pos = static_cast<size_t>(position);
    return pos < row.size() ? row[pos] : kMissingValue;
}

// ---------------------------------------------------------------------------------------------
// Connection

DbConnection::~DbConnection() {
    // Implementations stop the worker in their own destructor (their handles must outlive it);
    // this is the last safety net.
    StopWorker();
}

void DbConnection::StopWorker() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(runMutex_);
        stopWorker_ = true;
    }
    batchReady_.notify_all();
    worker_.join();
    stopWorker_ = false;
}

void DbConnection::JoinWorker() {
    DropQueuedQueries();
    if (executing_.load()) {
        try {
            Cancel();
        } catch (...) {
        }
    }
    StopWorker();
    executing_ = false;
}

// The worker: runs each batch handed over, and the queued queries, until it is told to stop. A
// batch handed over before the stop still runs (cancelled, when Cancel came first), so that its
// caller gets an outcome.
void DbConnection::WorkerLoop() {
    std::unique_lock<std::mutex> lock(runMutex_);
    for (;;) {
        QueuedQuery* query = nullptr;
        batchReady_.wait(lock, [&] { return batchPending_ || stopWorker_ || (query = NextQueued()) != nullptr; });
        if (batchPending_) {
            batchPending_ = false;
            const QString sql = std::move(pendingSql_);
            pendingSql_.clear();
            const bool cancelled = cancelBeforeStart_;
            if (!cancelled) {
                PrepareRun();
                phase_ = RunPhase::Running;
            }
            lock.unlock();
            RunHandedOver(sql, cancelled);
            lock.lock();
            continue;
        }
        if (stopWorker_) return;
        query->Now = QueuedQuery::State::Running;
        PrepareRun();
        phase_ = RunPhase::Running;
        const QString sql = query->Sql;
        lock.unlock();
        DbBatchOutcome outcome;
        std::exception_ptr error;
        try {
            outcome = RunBatch(sql);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        query->Outcome = std::move(outcome);
        query->Error = error;
        query->Now = QueuedQuery::State::Done;
        phase_ = RunPhase::Idle;
        lock.unlock();
        finished_.notify_all();
        lock.lock();
    }
}

DbConnection::QueuedQuery* DbConnection::NextQueued() {
    QueuedQuery* first = nullptr;
    for (QueuedQuery& query : queued_) {
        if (query.Now != QueuedQuery::State::Waiting) continue;
        if (query.Wanted) return &query;
        if (!first) first = &query;
    }
    return first;
}

void DbConnection::StartWorker() {
    if (!worker_.joinable()) worker_ = std::thread([this] { WorkerLoop(); });
}

void DbConnection::RunHandedOver(const QString& sql, bool cancelled) {
    DbBatchOutcome outcome;
    std::exception_ptr error;
    try {
        if (cancelled)
            outcome.Cancelled = true;
        else
            outcome = RunBatch(sql);
    } catch (...) {
        error = std::current_exception();
    }
    {
        std::lock_guard<std::mutex> lock(runMutex_);
        asyncOutcome_ = std::move(outcome);
        asyncError_ = error;
        phase_ = RunPhase::Idle;
        executing_ = false;
    }
    // Notified after the mutex is released, so that the woken caller does not block on it again.
    finished_.notify_all();
}

DbError FirstError(const QList<DbError>& errors) {
    for (const DbError& error : errors)
        if (!error.Informational) return error;
    if (!errors.isEmpty()) return errors.first();
    return DbError{0, QStringLiteral("The statement failed without a message."), false};
}

void DbConnection::ThrowFailure(const DbBatchOutcome& outcome, const QString& source) const {
    if (outcome.Cancelled && !outcome.Failed)
        throw TovimarException(0, source, QStringLiteral("Operation cancelled"));
    const DbError first = FirstError(outcome.Errors);
    throw TovimarException(first.Number, source, first.Description);
}

DbBatchOutcome DbConnection::RunAndRecord(const QString& sql) {
    if (executing_.load())
        throw TovimarException(3709, kConnectionSource,
                               QStringLiteral("The connection is still executing another statement."));
    errors_.clear();
    {
        std::lock_guard<std::mutex> lock(runMutex_);
        PrepareRun();
    }
    DbBatchOutcome outcome = RunBatch(sql);
    errors_ = outcome.Errors;
    return outcome;
}

DbBatchOutcome DbConnection::Execute(const QString& sql) {
    DropQueuedQueries();
    return RunAndRecord(sql);
}

std::unique_ptr<DbCursor> DbConnection::RunQuery(const QString& sql) {
    DbBatchOutcome outcome;
    if (!TakeQueued(sql, outcome)) outcome = RunAndRecord(sql);
    if (outcome.Failed || outcome.Cancelled) ThrowFailure(outcome, QStringLiteral("RunQuery"));
    if (outcome.ResultSets.empty()) return std::make_unique<DbCursor>();
    return std::make_unique<DbCursor>(std::move(outcome.ResultSets.front()));
}

bool DbConnection::ExecuteSQL(const QString& sql) {
    DropQueuedQueries();
    DbBatchOutcome outcome = RunAndRecord(sql);
    if (outcome.Failed || outcome.Cancelled) ThrowFailure(outcome, QStringLiteral("ExecuteSQL"));
    return true;
}

void DbConnection::ExecuteAsync(const QString& sql) {
    if (executing_.load())
        throw TovimarException(3709, kConnectionSource,
                               QStringLiteral("The connection is still executing another statement."));
    DropQueuedQueries();
    errors_.clear();
    {
        std::lock_guard<std::mutex> lock(runMutex_);
        asyncOutcome_ = DbBatchOutcome{};
        asyncError_ = nullptr;
        executing_ = true;
        cancelBeforeStart_ = false;
        if (runsOnCaller_) {
            PrepareRun();
            phase_ = RunPhase::Running;
        } else {
            phase_ = RunPhase::Starting;
            pendingSql_ = sql;
            batchPending_ = true;
        }
    }
    if (runsOnCaller_) {
        RunHandedOver(sql, false);
        return;
    }
    handedOverAt_ = std::chrono::steady_clock::now().time_since_epoch().count();
    StartWorker();
    batchReady_.notify_one();
}

bool DbConnection::WaitFinished(std::chrono::milliseconds timeout) {
    // Most batches of a run end within a fraction of a millisecond of being handed over: until
    // then the caller looks for the end before it sleeps, so that it is not put to sleep and
    // woken again for each of them. A longer batch is waited for as before.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    const Clock::time_point lookUntil =
        std::min(deadline, Clock::time_point(Clock::duration(handedOverAt_.load())) + kLookBeforeSleeping);
    while (executing_.load() && Clock::now() < lookUntil) {
    }
    std::unique_lock<std::mutex> lock(runMutex_);
    return finished_.wait_until(lock, deadline, [this] { return !executing_.load(); });
}

void DbConnection::Cancel() {
    std::lock_guard<std::mutex> lock(runMutex_);
    if (phase_ == RunPhase::Starting)
        cancelBeforeStart_ = true;
    else if (phase_ == RunPhase::Running)
        CancelRunning();
}

DbBatchOutcome DbConnection::FinishExecute() {
    std::unique_lock<std::mutex> lock(runMutex_);
    finished_.wait(lock, [this] { return !executing_.load(); });
    if (asyncError_) {
        std::exception_ptr error = asyncError_;
        asyncError_ = nullptr;
        std::rethrow_exception(error);
    }
    errors_ = asyncOutcome_.Errors;
    return std::move(asyncOutcome_);
}

void DbConnection::QueueQuery(const QString& sql) {
    if (!RunsQueriesAhead() || executing_.load()) return;
    {
        std::lock_guard<std::mutex> lock(runMutex_);
        queued_.emplace_back();
        queued_.back().Sql = sql;
    }
    StartWorker();
    batchReady_.notify_one();
}

bool DbConnection::TakeQueued(const QString& sql, DbBatchOutcome& outcome) {
    std::unique_lock<std::mutex> lock(runMutex_);
    if (queued_.empty()) return false;
    auto query = std::find_if(queued_.begin(), queued_.end(), [&sql](const QueuedQuery& q) { return q.Sql == sql; });
    if (query == queued_.end()) {
        // Not queued: it runs here unless the worker is still busy with the queue, and then next.
        if (std::all_of(queued_.begin(), queued_.end(),
                        [](const QueuedQuery& q) { return q.Now == QueuedQuery::State::Done; }))
            return false;
        query = queued_.emplace(queued_.end());
        query->Sql = sql;
    }
    query->Wanted = true;
    batchReady_.notify_one();
    finished_.wait(lock, [&query] { return query->Now == QueuedQuery::State::Done; });
    outcome = std::move(query->Outcome);
    const std::exception_ptr error = query->Error;
    queued_.erase(query);
    lock.unlock();
    errors_.clear();
    if (error) std::rethrow_exception(error);
    errors_ = outcome.Errors;
    return true;
}

void DbConnection::DropQueuedQueries() {
    std::list<QueuedQuery> dropped;  // freed outside the mutex
    std::unique_lock<std::mutex> lock(runMutex_);
    if (queued_.empty()) return;
    const auto running = [this] {
        return std::any_of(queued_.begin(), queued_.end(),
                           [](const QueuedQuery& q) { return q.Now == QueuedQuery::State::Running; });
    };
    for (auto it = queued_.begin(); it != queued_.end();) {
        auto next = std::next(it);
        if (it->Now == QueuedQuery::State::Waiting) dropped.splice(dropped.end(), queued_, it);
        it = next;
    }
    if (running()) {
        if (phase_ == RunPhase::Running) CancelRunning();
        finished_.wait(lock, [&running] { return !running(); });
    }
    dropped.splice(dropped.end(), queued_);
    lock.unlock();
}

QString ConnectionFailureMessage(const QString& serverName, const QString& databaseName, long number,
                                 const QString& description) {
    return QStringLiteral("Error connection to Database \r\n") + serverName + QLatin1Char('\\') + databaseName +
           QStringLiteral("\r\n\r\n") + FormatErrorLines(number, description);
}
