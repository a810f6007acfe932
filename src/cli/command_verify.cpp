// tovimar-cli verify SOURCE DEST: the dry run of a sync. DEST is built on a simulated server, the
// sync scripts run there, and the result is compared with SOURCE again.
#include "cli/cli_command.h"
#include "cli/comparison_options.h"
#include "cli/execution_errors.h"
#include "cli/source.h"
#include "main/comparison_run.h"
#include "main/sim_database.h"
#include "main/sync_verification.h"
#include "platform/progress.h"
#include "schema/catalog_loader.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

namespace {

struct Options {
    QStringList Sources;
    ComparisonOptions Run;
    bool AllowDataLoss = false;
    QString Log;
};

Options ParseOptions(const QStringList& args) {
    Options options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--allow-data-loss")) {
            options.AllowDataLoss = true;
        } else if (arg == QLatin1String("--log")) {
            if (!options.Log.isEmpty()) throw CliUsageError(QStringLiteral("only one log file may be given"));
            options.Log = TakeValue(args, i);
            if (options.Log.isEmpty()) throw CliUsageError(QStringLiteral("--log needs a file name"));
        } else if (!TakeComparisonOption(args, i, options.Run)) {
            TakeSourceArgument(arg, options.Sources);
        }
    }
    if (options.Sources.size() != 2) throw CliUsageError(QStringLiteral("verify takes SOURCE and DEST"));
    return options;
}

// Builds the Destination's snapshot on a fresh simulated server by executing its own create scripts
// and connects the snapshot's model to the database built there.
void BuildSnapshot(Tovimar_Database& snapshot, const QString& dest, const QString& logFolder, Progress& progress) {
    ErrorCollection errors;
    auto connection =
        BuildSimulatedConnection(snapshot, QDir(logFolder).filePath(QStringLiteral("build.txt")), errors, progress);
    if (!connection) throw OperationAborted();
    if (!errors.empty()) {
        PrintErr(QStringLiteral("The snapshot %1 could not be built on the simulated server:\n").arg(MaskedSource(dest)) +
                 ExecutionErrorsText(errors));
        throw CommandFailed();
    }
    LoadDatabase(snapshot, std::move(connection));
}

// The Destination as the simulated server holds it after building the snapshot again on a fresh
// server, read back from there.
std::unique_ptr<Tovimar_Database> BuildAndReadSnapshot(Tovimar_Database& snapshot, const QString& dest,
                                                       const QString& logFolder, Progress& progress) {
    auto built = std::make_unique<Tovimar_Database>();
    BuildSnapshot(snapshot, dest, logFolder, progress);
    LoadDatabase(*built, snapshot.Connection);
    if (!LoadDBObjects(*built, progress, false)) throw OperationAborted();
    return built;
}

// The Destination given as a script, run on a simulated server.
std::unique_ptr<Tovimar_Database> ScriptDestination(const QString& dest, Progress& progress) {
    if (SourceKindOf(dest) == SourceKind::Server)
        throw CliUsageError(QStringLiteral("verify builds DEST on a simulated server: give a .sql script or a .schema "
                                           "snapshot (tovimar-cli snapshot %1 -o FILE.schema writes one)")
                                .arg(MaskedSource(dest)));
    return LoadSource(dest, progress, SourceSide::Destination);  // Unknown: reports the forms it knows
}

// VerifySync, with a bad rename reported as bad input; the model read back after the sync is
// handed over to reloaded.
VerificationReport Verify(Tovimar_Database& source, Tovimar_Database& dest, const ComparisonOptions& options,
                          const QString& log, Progress& progress, std::unique_ptr<Tovimar_Database>& reloaded) {
    try {
        return VerifySync(source, dest, options, log, progress, &reloaded);
    } catch (const ComparisonInputError& e) {
        throw CliUsageError(e.Message());
    }
}

// The sync to a snapshot is verified with the snapshot itself as the Destination, connected to the
// database built from it: the scripts are those sync generates for the database the snapshot was
// taken of, and the database needs no reading before the sync. A database built from create
// scripts cannot hold everything a snapshot records (a view's columns as they were before its
// table changed, role members without their users): when the scripts do not converge there, the
// snapshot is built again on a fresh server, read back, and the sync to the database as read is
// verified instead, as for a Destination given as a script.
VerificationReport VerifySnapshot(Tovimar_Database& source, Tovimar_Database& snapshot, const Options& options,
                                  const QString& log, const QString& logFolder, Progress& progress,
                                  ModelsUntilExit& models) {
    BuildSnapshot(snapshot, options.Sources[1], logFolder, progress);
    std::unique_ptr<Tovimar_Database> reloaded;
    VerificationReport report = Verify(source, snapshot, options.Run, log, progress, reloaded);
    if (report.Cancelled || report.Converged()) {
        if (reloaded) models.Keep(std::move(reloaded));
        return report;
    }
    reloaded.reset();  // the first server goes with the model read from it
    Tovimar_Database& dest = models.Keep(BuildAndReadSnapshot(snapshot, options.Sources[1], logFolder, progress));
    report = Verify(source, dest, options.Run, log, progress, reloaded);
    if (reloaded) models.Keep(std::move(reloaded));
    return report;
}

// True when the sync would lose data: it deletes tables or columns (what sync refuses without
// --allow-data-loss), or rows or values are gone afterwards.
bool LosesData(const VerificationReport& report) {
    return HasTableOrFieldDeletes(report.Scripts) || report.LostRows();
}

QString ReportText(const VerificationReport& report, bool allowDataLoss) {
    QString text = QStringLiteral("Scripts executed on the simulated Destination: %1\n").arg(report.Scripts.size());
    text += QStringLiteral("\nExecution errors:");
    text += report.Errors.empty() ? QStringLiteral(" none\n") : QStringLiteral("\n") + ExecutionErrorsText(report.Errors);
    if (!report.Skipped.empty()) text += QStringLiteral("\n") + SkippedScriptsText(report.Skipped);
    text += QStringLiteral("\nDifferences left after the sync:");
    text += report.Remaining.isEmpty() ? QStringLiteral(" none\n")
                                       : QStringLiteral("\n") + report.Remaining.join(QLatin1Char('\n')) + QLatin1Char('\n');
    text += QStringLiteral("\nRows per table (before, after):\n");
    for (const VerificationReport::Rows& rows : report.RowCounts) {
        const QString name = rows.Before.compare(rows.After, Qt::CaseInsensitive) == 0
                                 ? rows.Before
                                 : rows.Before + QStringLiteral(" -> ") + rows.After;
        QString note;
        if (rows.RowsAfter < rows.RowsBefore)
            note = rows.Dropped ? QStringLiteral("\tROWS LOST (table dropped)") : QStringLiteral("\tROWS LOST");
        else if (rows.Dropped)
            note = QStringLiteral("\t(table dropped)");
        text += (rows.Dropped ? rows.Before : name) + QStringLiteral("\t%1\t%2").arg(rows.RowsBefore).arg(rows.RowsAfter) +
                note + QLatin1Char('\n');
    }
    if (!report.DroppedColumns.empty()) {
        text += QStringLiteral("\nValues (not NULL) of dropped columns (before, after):\n");
        for (const VerificationReport::Values& values : report.DroppedColumns)
            text += values.Column + QStringLiteral("\t%1\t%2").arg(values.ValuesBefore).arg(values.ValuesAfter) +
                    (values.ValuesAfter < values.ValuesBefore ? QStringLiteral("\tVALUES LOST\n") : QStringLiteral("\n"));
    }
    const bool losesData = LosesData(report);
    if (report.Converged() && (!losesData || allowDataLoss)) {
        text += losesData ? QStringLiteral("\nVerified: the Scripts bring DEST in line with SOURCE without errors; the data "
                                           "listed above as lost is lost (--allow-data-loss).\n")
                          : QStringLiteral("\nVerified: the Scripts bring DEST in line with SOURCE without errors or lost "
                                           "rows.\n");
    } else {
        QStringList why;
        if (!report.Errors.empty()) why << QStringLiteral("errors were recorded");
        if (!report.Remaining.isEmpty()) why << QStringLiteral("differences are left");
        if (losesData && !allowDataLoss)
            why << QStringLiteral("data would be lost (sync stops there unless --allow-data-loss is given)");
        text += QStringLiteral("\nNOT verified: ") + why.join(QStringLiteral(", ")) + QStringLiteral(".\n");
    }
    return text;
}

int RunVerify(const QStringList& args, Progress& progress) {
    const Options options = ParseOptions(args);
    QTemporaryDir temp;
    if (!temp.isValid()) throw CliUsageError(QStringLiteral("no temporary folder for the execution log"));
    // The models are left to the end of the process (their connections closed when the command
    // ends); declared before the report, whose scripts point into them.
    ModelsUntilExit models;
    const QString log = options.Log.isEmpty() ? temp.filePath(QStringLiteral("verify.txt")) : options.Log;
    VerificationReport report;
    if (SourceKindOf(options.Sources[1]) == SourceKind::Snapshot) {
        Tovimar_Database* source = nullptr;
        std::unique_ptr<Tovimar_Database> snapshot;
        if (SourceKindOf(options.Sources[0]) == SourceKind::Snapshot) {
            // Two snapshots are read at once, as compare reads them.
            auto [sourceDb, destDb] = LoadSourcePair(options.Sources[0], options.Sources[1], progress, SourceSide::Source);
            source = &models.Keep(std::move(sourceDb));
            snapshot = std::move(destDb);
        } else {
            source = &models.Keep(LoadSource(options.Sources[0], progress, SourceSide::Source));
            snapshot = LoadSource(options.Sources[1], progress, SourceSide::Destination);
        }
        report = VerifySnapshot(*source, models.Keep(std::move(snapshot)), options, log, temp.path(), progress, models);
    } else {
        Tovimar_Database& source = models.Keep(LoadSource(options.Sources[0], progress, SourceSide::Source));
        Tovimar_Database& dest = models.Keep(ScriptDestination(options.Sources[1], progress));
        std::unique_ptr<Tovimar_Database> reloaded;
        report = Verify(source, dest, options.Run, log, progress, reloaded);
        if (reloaded) models.Keep(std::move(reloaded));
    }
    if (report.Cancelled) throw OperationAborted();
    if (!report.Impossible.empty()) {
        PrintErr(ImpossibleChangesText(report.Impossible) + ImpossibleChangesHint);
        return 3;
    }
    PrintOut(ReportText(report, options.AllowDataLoss));
    if (!options.Log.isEmpty()) PrintOut(QStringLiteral("Execution log: ") + QDir::toNativeSeparators(log) + QLatin1Char('\n'));
    if (!report.LogError.isEmpty()) {
        PrintErr(QStringLiteral("The execution log could not be written completely: %1\nWhat it could not take:\n%2")
                     .arg(report.LogError, report.UnwrittenLog));
        if (report.Converged()) return 2;
    }
    // As sync: possible data loss stops it (3) unless allowed; then errors or differences (1).
    if (LosesData(report) && !options.AllowDataLoss) return 3;
    return report.Converged() ? 0 : 1;
}

}  // namespace

const CliCommand VerifyCommand = {
    "verify",
    "SOURCE DEST [--ignore-data-loss] [--filter-file FILE] [--rename OLD=NEW]... [--allow-data-loss] [--log FILE]",
    "Prove on a simulated server that sync would bring DEST in line with SOURCE",
    "The dry run before a sync. DEST is built on a simulated SQL Server 2000 inside this program: a\n"
    "script (FILE.sql, or several as FILE1.sql+FILE2.sql) is run there; a snapshot (FILE.schema) is\n"
    "built by executing its own create scripts (after adding the users that own its objects or hold\n"
    "its permissions). The scripts that bring DEST in line with SOURCE are generated and executed\n"
    "there as sync would execute them, the simulated DEST is read again and compared with SOURCE\n"
    "once more. Printed: the execution errors (per object, with the SQL that failed), the\n"
    "differences left (one line each, as compare --summary writes them), every table's rows before\n"
    "and after (a dropped table's rows as lost) and the values of every dropped column.\n"
    "The second comparison takes the objects under their new names and does not ask for the\n"
    "filters' data copies again. For a snapshot the scripts are first those generated for the\n"
    "snapshot itself, as sync generates them for the database it was taken of; when they leave\n"
    "differences or errors on the database built from it (create scripts cannot rebuild everything\n"
    "a snapshot records, such as a view's columns from before its table changed), the snapshot is\n"
    "built again, read back, and the scripts for the database as read are verified instead.\n"
    "\n"
    "Options:\n"
    TOVIMAR_COMPARISON_OPTIONS_HELP
    "                        (the renames apply to the first comparison; the second one sees the\n"
    "                        objects under their new names)\n"
    "  --allow-data-loss     accept the loss of dropped tables, columns and rows, as sync does\n"
    "  --log FILE            keep the execution log in FILE\n"
    "\n"
    "Exit status: 0 when no error was recorded, no difference is left and no data is lost (or its\n"
    "loss is allowed); 1 when errors were recorded or differences are left; 2 on bad input or any\n"
    "other error (also when the log FILE could not be written); 3 when the sync would lose data\n"
    "(tables or columns deleted, rows or values gone) and --allow-data-loss is not given, as sync\n"
    "stops then, or when nothing was run because a change cannot work on DEST's rows (a NOT NULL\n"
    "column without default added to a table with rows, a column made NOT NULL over NULLs or\n"
    "narrowed below its values).\n",
    RunVerify,
};
