#pragma once
// The proof of a sync before it touches a real server: the scripts that bring a simulated
// Destination in line with the Source are executed there, the Destination is read again and
// compared with the Source once more, and the row counts of its tables are taken before and
// after: rows of kept tables, of dropped tables and the values of dropped columns. A sync
// converges when no script failed and nothing is left to change; it loses data when any of those
// counts went down.
#include "main/comparison_run.h"
#include "main/impossible_changes.h"
#include "review/script_executor.h"
#include "review/tovimar_error.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class Progress;

struct TableRowCount {
    QString Table;  // FullName
    qint64 Rows = 0;
};

// The number of rows of every table of db, in the order of its Tables. Throws TovimarException
// when a count fails.
std::vector<TableRowCount> CountRows(Tovimar_Database& db);

struct VerificationReport {
    QString LogFile;             // the execution log of the sync scripts
    ScriptList Scripts;          // the sync scripts, as executed
    ErrorCollection Errors;      // what failed while they ran
    std::vector<ScriptExecutor::SkippedScript> Skipped;  // not run: they depend on a failed script
    bool Cancelled = false;
    QString LogError;            // why the log could not be written to the end (empty when it was)
    QString UnwrittenLog;        // the log lines it could not take
    QStringList Remaining;       // the differences left afterwards, as SummaryLine texts
    // Every table of the Destination before the sync with its rows before and after: a kept
    // table under its name after the sync (a renamed one under both names), a dropped one with
    // the rows it still has after the sync (0 once it is gone).
    struct Rows {
        QString Before;
        QString After;
        qint64 RowsBefore = 0;
        qint64 RowsAfter = 0;
        bool Dropped = false;
    };
    std::vector<Rows> RowCounts;
    // Changes that cannot work on the Destination's data: when there are any, nothing was run.
    std::vector<ImpossibleChange> Impossible;
    // Every column the scripts drop (computed ones aside) with its values (not NULL) before and
    // after the sync (0 once it is gone).
    struct Values {
        QString Column;  // the column's FullName with its table
        qint64 ValuesBefore = 0;
        qint64 ValuesAfter = 0;
    };
    std::vector<Values> DroppedColumns;

    // True when a table has fewer rows after the sync or a dropped column took values with it.
    bool LostRows() const;
    // True when the scripts ran without error, none was refused beforehand and nothing is left to
    // change; whether data was lost on the way is LostRows.
    bool Converged() const { return !Cancelled && Impossible.empty() && Errors.empty() && Remaining.isEmpty(); }
};

// Generates the scripts from source to dest (with options), stops when some cannot work on dest's
// data (FindImpossibleChanges; Impossible lists them), else executes them on dest's connection
// writing the log to logFile, reloads dest and compares again (with the filters of options;
// the renames have happened by then). dest must be connected; both models must stay alive while
// the report is used (its scripts and errors point into them). Throws TovimarException,
// ComparisonInputError as GenerateComparison does. The model read back after the sync is freed
// before it returns, unless reloaded is given: then it is handed over there (a command that ends
// right after leaves it to the process's exit instead of freeing it object by object).
VerificationReport VerifySync(Tovimar_Database& source, Tovimar_Database& dest, const ComparisonOptions& options,
                              const QString& logFile, Progress& progress,
                              std::unique_ptr<Tovimar_Database>* reloaded = nullptr);
