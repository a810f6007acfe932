// tovimar-cli sync SOURCE DEST: compares, shows the scripts and executes them on DEST through the
// executor, with its execution log. Possible data loss blocks the run unless it is allowed, and
// nothing runs before the user said yes.
#include "cli/cli_command.h"
#include "cli/cli_prompt.h"
#include "cli/comparison_options.h"
#include "cli/execution_errors.h"
#include "cli/source.h"
#include "main/comparison_run.h"
#include "main/impossible_changes.h"
#include "platform/progress.h"
#include "review/script_executor.h"

#include <QDir>
#include <cstdio>

namespace {

struct Options {
    QStringList Sources;
    ComparisonOptions Run;
    bool AllowDataLoss = false;
    bool AssumeYes = false;
    QString Log;
};

Options ParseOptions(const QStringList& args) {
    Options options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--allow-data-loss")) {
            options.AllowDataLoss = true;
        } else if (arg == QLatin1String("--yes") || arg == QLatin1String("-y")) {
            options.AssumeYes = true;
        } else if (arg == QLatin1String("--log")) {
            if (!options.Log.isEmpty()) throw CliUsageError(QStringLiteral("only one log file may be given"));
            options.Log = TakeValue(args, i);
            if (options.Log.isEmpty()) throw CliUsageError(QStringLiteral("--log needs a file name"));
        } else if (!TakeComparisonOption(args, i, options.Run)) {
            TakeSourceArgument(arg, options.Sources);
        }
    }
    if (options.Sources.size() != 2) throw CliUsageError(QStringLiteral("sync takes SOURCE and DEST"));
    return options;
}

const QString DataLossText = QStringLiteral(
    "ATTENTION: Some of the generated Scripts will delete Tables and/or Fields - any contained data would be lost!\n"
    "\n"
    "If the Delete-Scripts have been caused by Table- and/or Field-Renames you can avoid data-loss\n"
    "by specifying these Renames with --rename OLD=NEW. To delete them anyway, run again with\n"
    "--allow-data-loss. Nothing has been executed.\n");

int RunSync(const QStringList& args, Progress& progress) {
    const Options options = ParseOptions(args);
    const SourceKind destKind = SourceKindOf(options.Sources[1]);
    if (destKind == SourceKind::Snapshot)
        throw CliUsageError(QStringLiteral("sync changes DEST: give a live server (sqlserver://...) or a .sql script "
                                           "(a trial on the simulated server), not a snapshot"));
    const auto source = LoadSource(options.Sources[0], progress);
    const auto dest = LoadSource(options.Sources[1], progress, SourceSide::Destination);
    const ScriptList scripts = GenerateForCommand(*source, *dest, options.Run, progress);
    if (!HasDifferences(scripts)) {
        PrintErr(QStringLiteral("There are no differences between the Databases!\n"));
        return 0;
    }
    QString summary;
    for (const ScriptPtr& script : scripts) summary += SummaryLine(*script) + QLatin1Char('\n');
    PrintOut(summary);

    if (HasTableOrFieldDeletes(scripts) && !options.AllowDataLoss) {
        PrintErr(DataLossText);
        return 3;
    }
    const std::vector<ImpossibleChange> impossible = FindImpossibleChanges(scripts, *dest, options.Run.IgnoreDataLoss);
    if (!impossible.empty()) {
        PrintErr(ImpossibleChangesText(impossible) + ImpossibleChangesHint);
        return 3;
    }
    if (!options.AssumeYes) {
        if (!CliPrompt::HasTerminal()) {
            PrintErr(QStringLiteral("There is no terminal to ask whether the Scripts are to be executed on %1; nothing "
                                    "has been executed. Run again with --yes to execute them without asking.\n")
                         .arg(dest->FullName()));
            return 2;
        }
        CliPrompt prompt(false);
        const PromptAnswer answer = prompt.Ask(
            QStringLiteral("Do you want to execute all selected Scripts?\r\n\r\nScripts will be executed on "
                           "Destination-DB:\r\n") +
                dest->FullName() + QLatin1Char('!'),
            PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No);
        if (answer != PromptAnswer::Yes) {
            PrintErr(QStringLiteral("Nothing has been executed.\n"));
            return 2;
        }
    }
    if (destKind == SourceKind::Script)
        PrintErr(QStringLiteral("DEST is a script: the Scripts run on a simulated server inside this program, and the "
                                "changes end with it (a trial).\n"));

    QString log = options.Log;
    ExecutionReport report;
    ReportPrompt reportPrompt;
    ExecuteScripts(progress, reportPrompt, scripts, *dest, false, log, &report);
    PrintOut(QStringLiteral("Execution log: ") + QDir::toNativeSeparators(log) + QLatin1Char('\n'));
    if (!report.Errors.empty()) PrintErr(ExecutionErrorsText(report.Errors) + SkippedScriptsText(report.Skipped));
    // The log's record of what ran on DEST must not be lost with it.
    if (!report.LogError.isEmpty())
        PrintErr(QStringLiteral("What the execution log could not take:\n") + report.UnwrittenLog);
    if (report.Cancelled) throw OperationAborted();
    if (!report.Errors.empty()) return 1;
    return report.LogError.isEmpty() ? 0 : 2;
}

}  // namespace

const CliCommand SyncCommand = {
    "sync",
    "SOURCE DEST [--ignore-data-loss] [--filter-file FILE] [--rename OLD=NEW]... [--allow-data-loss] "
    "[--log FILE] [--yes]",
    "Execute the scripts that bring DEST in line with SOURCE on DEST",
    "Compares the two schemas as compare does and prints the scripts, one line each (index, change\n"
    "kind, object type, name). Scripts that delete tables or columns would lose their data: then\n"
    "sync stops with the ATTENTION text unless --allow-data-loss is given. Otherwise it asks \"Do you\n"
    "want to execute all selected Scripts?\" and executes them on DEST statement by statement,\n"
    "retrying the scripts that failed for a missing dependency and rolling back a failed one, and\n"
    "writes the execution log. Errors are listed on stderr per object, with the SQL that failed.\n"
    "\n"
    "DEST is a live server (sqlserver://...). A .sql DEST is a trial: the script builds the\n"
    "Destination on a simulated server inside this program, the Scripts change it there, and the\n"
    "changes end with the program (use verify for a full dry run). A snapshot cannot be changed.\n"
    "\n"
    "Options:\n"
    TOVIMAR_COMPARISON_OPTIONS_HELP
    "  --allow-data-loss     execute also when tables or columns are deleted\n"
    "  --log FILE            write the execution log to FILE (default: a new file in the Scripts\n"
    "                        folder beside the program, named Tovimar_<time>_<SOURCE>_to_<DEST>.txt,\n"
    "                        with _2, _3, ... added when a run in the same second took that name)\n"
    "  -y, --yes             execute without asking (needed when there is no terminal to ask on)\n"
    "\n"
    "The execution log is written line by line as the statements run; when it cannot be written,\n"
    "the run goes on and what the log could not take is printed on stderr.\n"
    "\n"
    "Exit status: 0 when every script ran without error (or there were no differences), 1 when\n"
    "errors were recorded, 2 on any other failure (also when nothing was executed because the\n"
    "question was answered no or could not be asked, or when the log could not be written), 3\n"
    "when stopped for possible data loss or for a change that cannot work on DEST's rows (a NOT\n"
    "NULL column without default added to a table with rows, a column made NOT NULL over NULLs or\n"
    "narrowed below its values).\n",
    RunSync,
};
