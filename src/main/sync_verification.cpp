#include "main/sync_verification.h"

#include "compare/generators.h"
#include "platform/db/db_connection.h"
#include "platform/db/sim_connection.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "review/script_executor.h"
#include "schema/catalog_loader.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

qint64 CountOf(DbConnection& connection, const QString& sql) {
    const auto cursor = connection.RunQuery(sql);
    return cursor->EndOfRows() ? 0 : cursor->Value(QStringLiteral("RowTotal")).ToInt();
}

QString RowsQuery(const QString& table) { return QStringLiteral("SELECT COUNT(*) AS RowTotal FROM ") + table; }

QString ValuesQuery(const QString& table, const QString& column) {
    return RowsQuery(table) + QStringLiteral(" WHERE ") + column + QStringLiteral(" IS NOT NULL");
}

// Count queries (each a SELECT COUNT(*) AS RowTotal) asked in one batch, on the connection's worker
// while the caller does other work: a query each cost a round trip, thousands of them for the
// tables of a database. Take gives what CountOf gives for each query. When the batch does not
// answer each query with its one count (an error, a cancel), each query is asked on its own
// again, so that the counts and the error thrown are those of the queries one by one.
class BatchedCounts {
public:
    BatchedCounts(DbConnection& connection, QStringList queries) : connection_(connection), queries_(std::move(queries)) {
        if (!queries_.isEmpty()) {
            connection_.ExecuteAsync(queries_.join(QLatin1Char('\n')));
            running_ = true;
        }
    }
    ~BatchedCounts() {
        if (!running_) return;
        try {
            connection_.Cancel();
            connection_.FinishExecute();
        } catch (...) {
        }
    }
    BatchedCounts(const BatchedCounts&) = delete;
    BatchedCounts& operator=(const BatchedCounts&) = delete;

    std::vector<qint64> Take() {
        std::vector<qint64> counts;
        if (!running_) return counts;
        running_ = false;
        const DbBatchOutcome outcome = connection_.FinishExecute();
        const bool answered = !outcome.Failed && !outcome.Cancelled &&
                              outcome.ResultSets.size() == static_cast<size_t>(queries_.size());
        counts.reserve(static_cast<size_t>(queries_.size()));
        for (const DbResultSet& result : outcome.ResultSets) {
            if (!answered || result.Columns.size() != 1 || result.Rows.size() > 1 ||
                result.Columns.front().Name.compare(QLatin1String("RowTotal"), Qt::CaseInsensitive) != 0)
                break;
            counts.push_back(result.Rows.empty() || result.Rows.front().empty() ? 0 : result.Rows.front().front().ToInt());
        }
        if (counts.size() != static_cast<size_t>(queries_.size())) {
            counts.clear();
            for (const QString& query : queries_) counts.push_back(CountOf(connection_, query));
        }
        return counts;
    }

private:
    DbConnection& connection_;
    QStringList queries_;
    bool running_ = false;
};

// The tables of db with their count queries.
QStringList RowsQueries(const Tovimar_Database& db, std::vector<TableRowCount>& counts) {
    QStringList queries;
    for (const TablePtr& table : db.Tables) {
        if (!table) continue;
        counts.push_back({table->FullName(), 0});
        queries << RowsQuery(table->FullName());
    }
    return queries;
}

// The counts of every table of db, started on its connection's worker; Take hands them over.
class RowCounts {
public:
    explicit RowCounts(Tovimar_Database& db) : counts_(Named(db)), batch_(*db.Connection, RowsQueries(db, counts_)) {}
    std::vector<TableRowCount> Take() {
        const std::vector<qint64> rows = batch_.Take();
        for (size_t i = 0; i < rows.size() && i < counts_.size(); ++i) counts_[i].Rows = rows[i];
        return std::move(counts_);
    }

private:
    static std::vector<TableRowCount> Named(const Tovimar_Database& db) {
        if (!db.Connection)
            throw TovimarException(3704, QStringLiteral("CountRows"),
                                   QStringLiteral("The database %1 is not connected.").arg(db.FullName()));
        std::vector<TableRowCount> counts;
        counts.reserve(static_cast<size_t>(db.Tables.Count()));
        return counts;
    }

    std::vector<TableRowCount> counts_;
    BatchedCounts batch_;
};

// While it lives, the batches handed to a simulated database's connection run on the caller's
// thread when the database holds no rows and the Source has none to give: its batches are then as
// short as those that built it (see BuildSimulatedDatabase), and handing each one to the
// connection's worker and waking the caller again took as long as running it. Elsewhere the
// worker runs them, where the executor can look at Cancel while a long one runs.
class BatchesOnCaller {
public:
    BatchesOnCaller(DbConnection& connection, bool noRows)
        : simulated_(noRows ? dynamic_cast<SimConnection*>(&connection) : nullptr) {
        if (simulated_) simulated_->SetRunsOnCaller(true);
    }
    ~BatchesOnCaller() {
        if (simulated_) simulated_->SetRunsOnCaller(false);
    }
    BatchesOnCaller(const BatchesOnCaller&) = delete;
    BatchesOnCaller& operator=(const BatchesOnCaller&) = delete;

private:
    SimConnection* simulated_;
};

// A column the scripts drop: its table's name before and after the sync, and its own name.
struct DroppedColumn {
    QString TableBefore;
    QString TableAfter;
    QString Column;  // bracket-quoted, without table
    qint64 Values = 0;
};

}  // namespace

std::vector<TableRowCount> CountRows(Tovimar_Database& db) { return RowCounts(db).Take(); }

bool VerificationReport::LostRows() const {
    return std::any_of(RowCounts.begin(), RowCounts.end(), [](const Rows& r) { return r.RowsAfter < r.RowsBefore; }) ||
           std::any_of(DroppedColumns.begin(), DroppedColumns.end(),
                       [](const Values& v) { return v.ValuesAfter < v.ValuesBefore; });
}

VerificationReport VerifySync(Tovimar_Database& source, Tovimar_Database& dest, const ComparisonOptions& options,
                              const QString& logFile, Progress& progress,
                              std::unique_ptr<Tovimar_Database>* reloadedOut) {
    if (!dest.Connection)
        throw TovimarException(3704, QStringLiteral("VerifySync"),
                               QStringLiteral("The database %1 is not connected.").arg(dest.FullName()));
    VerificationReport report;
    report.LogFile = logFile;
    // The server counts the rows while the scripts are generated; an error of the counts comes
    // first, as when they were taken before. A Source with a connection may be asked for its rows
    // (data copies) meanwhile: then the counts are taken first, so that no two sessions of one
    // simulated server run at once.
    std::vector<TableRowCount> before;
    {
        RowCounts counting(dest);
        if (source.Connection) before = counting.Take();
        try {
            report.Scripts = GenerateComparison(source, dest, options, progress);
        } catch (...) {
            counting.Take();
            throw;
        }
        if (!source.Connection) before = counting.Take();
    }
    report.Impossible = FindImpossibleChanges(report.Scripts, dest, options.IgnoreDataLoss);
    if (!report.Impossible.empty()) return report;

    // The name each kept Destination table has after the sync: its own, or the Source name it
    // was declared renamed to. The tables and columns the scripts drop lose what they hold.
    QHash<QString, QString> nameAfter;
    for (const TablePtr& table : dest.Tables)
        if (table)
            nameAfter.insert(table->FullName().toCaseFolded(),
                             table->OtherObj() ? table->OtherObj()->FullName() : table->FullName());
    QSet<QString> droppedTables;
    std::vector<DroppedColumn> droppedColumns;
    QStringList valuesBefore;
    for (const ScriptPtr& script : report.Scripts) {
        if (!script || !script->Checked || !Same(script->Action, QStringLiteral("DELETE"))) continue;
        if (Same(script->Typ, QStringLiteral("Table"))) {
            if (const auto* table = dynamic_cast<const Tovimar_Table*>(script->ScriptedObj))
                droppedTables.insert(table->FullName().toCaseFolded());
        } else if (Same(script->Typ, QStringLiteral("Column"))) {
            const auto* field = dynamic_cast<const Tovimar_Field*>(script->ScriptedObj);
            const Tovimar_Table* table = field ? field->Table() : nullptr;
            if (!table || !field->Formula.isEmpty()) continue;  // a computed column holds no data of its own
            const QString tableAfter = table->OtherObj() ? table->OtherObj()->FullName() : table->FullName();
            droppedColumns.push_back({table->FullName(), tableAfter, field->FullName(false)});
            valuesBefore << ValuesQuery(table->FullName(), field->FullName(false));
        }
    }
    const std::vector<qint64> values = BatchedCounts(*dest.Connection, valuesBefore).Take();
    for (size_t i = 0; i < droppedColumns.size() && i < values.size(); ++i) droppedColumns[i].Values = values[i];

    {
        const bool noRows = !source.Connection && std::all_of(before.begin(), before.end(),
                                                              [](const TableRowCount& count) { return count.Rows == 0; });
        BatchesOnCaller onCaller(*dest.Connection, noRows);
        ScriptExecutor executor(progress);
        executor.ResultFile = logFile;
        executor.Scripts = report.Scripts;
        executor.DB = &dest;
        executor.RunScripts();
        progress.Close();
        report.Errors = std::move(executor.ErrCollection);
        report.Skipped = std::move(executor.Skipped);
        report.Cancelled = executor.WasCancelled();
        report.LogError = executor.LogError();
        report.UnwrittenLog = executor.UnwrittenLog();
    }
    if (report.Cancelled) return report;

    auto reloadedModel = std::make_unique<Tovimar_Database>();
    Tovimar_Database& reloaded = *reloadedModel;
    // Handed over however this ends (a cancel, an error), when the caller asks for it.
    struct HandOver {
        std::unique_ptr<Tovimar_Database>& model;
        std::unique_ptr<Tovimar_Database>* to;
        ~HandOver() {
            if (to) *to = std::move(model);
        }
    } handOver{reloadedModel, reloadedOut};
    LoadDatabase(reloaded, dest.Connection);
    if (!LoadDBObjects(reloaded, progress, false)) {
        report.Cancelled = true;
        return report;
    }
    ComparisonOptions again = options;
    again.Renames.clear();     // done by the sync: the objects carry their new names now
    again.NoDataCopy = true;   // done by the sync as well
    QHash<QString, qint64> after;
    {
        // Counted while the second comparison runs; its error comes first, as before.
        RowCounts counting(reloaded);
        const ScriptList remaining = GenerateComparison(source, reloaded, again, progress);
        for (const ScriptPtr& script : remaining)
            if (script && !IsFTIActivationOnly(*script)) report.Remaining << SummaryLine(*script);
        for (const TableRowCount& count : counting.Take()) after.insert(count.Table.toCaseFolded(), count.Rows);
    }
    // Names another table takes over after the sync: a dropped table of that name is gone even
    // though the name is there.
    QSet<QString> takenOver;
    for (auto it = nameAfter.constBegin(); it != nameAfter.constEnd(); ++it)
        if (it.key() != it.value().toCaseFolded()) takenOver.insert(it.value().toCaseFolded());
    for (const TableRowCount& count : before) {
        const QString folded = count.Table.toCaseFolded();
        const bool dropped = droppedTables.contains(folded);
        const QString afterName = nameAfter.value(folded, count.Table);
        const auto found = after.constFind(afterName.toCaseFolded());
        // A kept table that is missing afterwards lost its rows as well.
        const qint64 rowsAfter =
            found == after.constEnd() || (dropped && takenOver.contains(afterName.toCaseFolded())) ? 0 : found.value();
        report.RowCounts.push_back({count.Table, afterName, count.Rows, rowsAfter, dropped});
    }
    QStringList valuesAfter;
    std::vector<VerificationReport::Values*> stillThere;  // the columns valuesAfter counts, in its order
    report.DroppedColumns.reserve(droppedColumns.size());
    for (const DroppedColumn& column : droppedColumns) {
        report.DroppedColumns.push_back({column.TableBefore + QLatin1Char('.') + column.Column, column.Values, 0});
        const TablePtr table = reloaded.Tables.Item(column.TableAfter);
        if (!table || !table->Fields.Item(column.Column)) continue;
        valuesAfter << ValuesQuery(column.TableAfter, column.Column);
        stillThere.push_back(&report.DroppedColumns.back());
    }
    const std::vector<qint64> left = BatchedCounts(*reloaded.Connection, valuesAfter).Take();
    for (size_t i = 0; i < stillThere.size() && i < left.size(); ++i) stillThere[i]->ValuesAfter = left[i];
    return report;
}
