#include "main/sync_verification.h"

#include "compare/generators.h"
#include "platform/db/db_connection.h"
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

qint64 CountValues(DbConnection& connection, const QString& table, const QString& column) {
    return CountOf(connection, QStringLiteral("SELECT COUNT(*) AS RowTotal FROM ") + table + QStringLiteral(" WHERE ") +
                                   column + QStringLiteral(" IS NOT NULL"));
}

// A column the scripts drop: its table's name before and after the sync, and its own name.
struct DroppedColumn {
    QString TableBefore;
    QString TableAfter;
    QString Column;  // bracket-quoted, without table
    qint64 Values = 0;
};

}  // namespace

std::vector<TableRowCount> CountRows(Tovimar_Database& db) {
    if (!db.Connection)
        throw TovimarException(3704, QStringLiteral("CountRows"),
                               QStringLiteral("The database %1 is not connected.").arg(db.FullName()));
    std::vector<TableRowCount> counts;
    counts.reserve(static_cast<size_t>(db.Tables.Count()));
    for (const TablePtr& table : db.Tables) {
        if (!table) continue;
        counts.push_back({table->FullName(),
                          CountOf(*db.Connection, QStringLiteral("SELECT COUNT(*) AS RowTotal FROM ") + table->FullName())});
    }
    return counts;
}

bool VerificationReport::LostRows() const {
    return std::any_of(RowCounts.begin(), RowCounts.end(), [](const Rows& r) { return r.RowsAfter < r.RowsBefore; }) ||
           std::any_of(DroppedColumns.begin(), DroppedColumns.end(),
                       [](const Values& v) { return v.ValuesAfter < v.ValuesBefore; });
}

VerificationReport VerifySync(Tovimar_Database& source, Tovimar_Database& dest, const ComparisonOptions& options,
                              const QString& logFile, Progress& progress) {
    if (!dest.Connection)
        throw TovimarException(3704, QStringLiteral("VerifySync"),
                               QStringLiteral("The database %1 is not connected.").arg(dest.FullName()));
    VerificationReport report;
    report.LogFile = logFile;
    const std::vector<TableRowCount> before = CountRows(dest);
    report.Scripts = GenerateComparison(source, dest, options, progress);
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
            droppedColumns.push_back({table->FullName(), tableAfter, field->FullName(false),
                                      CountValues(*dest.Connection, table->FullName(), field->FullName(false))});
        }
    }

    {
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

    Tovimar_Database reloaded;
    LoadDatabase(reloaded, dest.Connection);
    if (!LoadDBObjects(reloaded, progress, false)) {
        report.Cancelled = true;
        return report;
    }
    ComparisonOptions again = options;
    again.Renames.clear();     // done by the sync: the objects carry their new names now
    again.NoDataCopy = true;   // done by the sync as well
    const ScriptList remaining = GenerateComparison(source, reloaded, again, progress);
    for (const ScriptPtr& script : remaining)
        if (script && !IsFTIActivationOnly(*script)) report.Remaining << SummaryLine(*script);

    QHash<QString, qint64> after;
    for (const TableRowCount& count : CountRows(reloaded)) after.insert(count.Table.toCaseFolded(), count.Rows);
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
    for (const DroppedColumn& column : droppedColumns) {
        const TablePtr table = reloaded.Tables.Item(column.TableAfter);
        const bool stillThere = table && table->Fields.Item(column.Column);
        report.DroppedColumns.push_back({column.TableBefore + QLatin1Char('.') + column.Column, column.Values,
                                         stillThere ? CountValues(*reloaded.Connection, column.TableAfter, column.Column)
                                                    : 0});
    }
    return report;
}
