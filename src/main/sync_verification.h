#pragma once
// The proof of a sync before it touches a real server: the scripts that bring a simulated
// Destination in line with the Source are executed there, the Destination is read again and
// compared with the Source once more, and the row counts of its tables are taken before and
// after. A sync converges when no script failed, nothing is left to change and no table that is
// kept lost rows.
#include "main/comparison_run.h"
#include "main/impossible_changes.h"
#include "review/script_executor.h"
#include "review/tovimar_error.h"

#include <QString>
#include <QStringList>
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
    QStringList Remaining;       // the differences left afterwards, as SummaryLine texts
    // The tables that existed before and after (a renamed table under both names), with their
    // row counts.
    struct Rows {
        QString Before;
        QString After;
        qint64 RowsBefore = 0;
        qint64 RowsAfter = 0;
    };
    std::vector<Rows> RowCounts;
    // Changes that cannot work on the Destination's data: when there are any, nothing was run.
    std::vector<ImpossibleChange> Impossible;

    bool LostRows() const;
    bool Converged() const {
        return !Cancelled && Impossible.empty() && Errors.empty() && Remaining.isEmpty() && !LostRows();
    }
};

// Generates the scripts from source to dest (with options), stops when some cannot work on dest's
// data (FindImpossibleChanges; Impossible lists them), else executes them on dest's connection
// writing the log to logFile, reloads dest and compares again (with the filters of options;
// the renames have happened by then). dest must be connected; both models must stay alive while
// the report is used (its scripts and errors point into them). Throws TovimarException,
// ComparisonInputError as GenerateComparison does.
VerificationReport VerifySync(Tovimar_Database& source, Tovimar_Database& dest, const ComparisonOptions& options,
                              const QString& logFile, Progress& progress);
