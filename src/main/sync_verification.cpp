#include "main/sync_verification.h"

#include "compare/generators.h"
#include "platform/db/db_connection.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "review/script_executor.h"
#include "schema/catalog_loader.h"

#include <QHash>
#include <algorithm>

std::vector<TableRowCount> CountRows(Tovimar_Database& db) {
    if (!db.Connection)
        throw TovimarException(3704, QStringLiteral("CountRows"),
                               QStringLiteral("The database %1 is not connected.").arg(db.FullName()));
    std::vector<TableRowCount> counts;
    counts.reserve(static_cast<size_t>(db.Tables.Count()));
    for (const TablePtr& table : db.Tables) {
        if (!table) continue;
        const auto cursor = db.Connection->RunQuery(QStringLiteral("SELECT COUNT(*) AS RowTotal FROM ") + table->FullName());
        counts.push_back({table->FullName(), cursor->EndOfRows() ? 0 : cursor->Value(QStringLiteral("RowTotal")).ToInt()});
    }
    return counts;
}

bool VerificationReport::LostRows() const {
    return std::any_of(RowCounts.begin(), RowCounts.end(), [](const Rows& r) { return r.RowsAfter < r.RowsBefore; });
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

    // The name each Destination table has after the sync: its own, or the Source name it was
    // declared renamed to.
    QHash<QString, QString> nameAfter;
    for (const TablePtr& table : dest.Tables)
        if (table)
            nameAfter.insert(table->FullName().toCaseFolded(),
                             table->OtherObj() ? table->OtherObj()->FullName() : table->FullName());

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
    for (const TableRowCount& count : before) {
        const QString afterName = nameAfter.value(count.Table.toCaseFolded(), count.Table);
        const auto found = after.constFind(afterName.toCaseFolded());
        if (found == after.constEnd()) continue;
        report.RowCounts.push_back({count.Table, afterName, count.Rows, found.value()});
    }
    return report;
}
