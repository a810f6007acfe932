// tovimar-cli recompile DB: alters every view, procedure, function and trigger of a database to
// its own definition, in dependency order, through the executor with its log.
#include "cli/cli_command.h"
#include "cli/cli_prompt.h"
#include "cli/comparison_options.h"
#include "cli/execution_errors.h"
#include "cli/source.h"
#include "dbutil/recompile.h"
#include "platform/progress.h"

#include <QDir>
#include <cstdio>

namespace {

struct Options {
    QStringList Sources;
    bool AssumeYes = false;
    QString Log;
};

Options ParseOptions(const QStringList& args) {
    Options options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--yes") || arg == QLatin1String("-y")) {
            options.AssumeYes = true;
        } else if (arg == QLatin1String("--log")) {
            if (!options.Log.isEmpty()) throw CliUsageError(QStringLiteral("only one log file may be given"));
            options.Log = TakeValue(args, i);
            if (options.Log.isEmpty()) throw CliUsageError(QStringLiteral("--log needs a file name"));
        } else {
            TakeSourceArgument(arg, options.Sources);
        }
    }
    if (options.Sources.size() != 1) throw CliUsageError(QStringLiteral("recompile takes one DB"));
    return options;
}

int RunRecompile(const QStringList& args, Progress& progress) {
    const Options options = ParseOptions(args);
    const SourceKind kind = SourceKindOf(options.Sources[0]);
    if (kind == SourceKind::Snapshot)
        throw CliUsageError(QStringLiteral("recompile changes DB: give a live server (sqlserver://...) or a .sql script "
                                           "(a trial on the simulated server), not a snapshot"));
    if (!options.AssumeYes && !CliPrompt::HasTerminal()) {
        PrintErr(QStringLiteral("There is no terminal to ask whether the objects are to be recompiled; nothing has "
                                "been executed. Run again with --yes to recompile them without asking.\n"));
        return 2;
    }
    const auto db = LoadSource(options.Sources[0], progress);
    CliPrompt prompt(options.AssumeYes);
    ReportPrompt reportPrompt;
    // The question goes to the terminal; the executor's closing messages are reported as text.
    if (prompt.Ask(QStringLiteral("All Views, Procedures, Functions and Triggers in the Source-DB will be recompiled. "
                                  "Continue?"),
                   PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes) {
        PrintErr(QStringLiteral("Nothing has been executed.\n"));
        return 2;
    }
    if (kind == SourceKind::Script)
        PrintErr(QStringLiteral("DB is a script: the objects are recompiled on a simulated server inside this program "
                                "(a trial).\n"));
    const RecompileOutcome outcome = RecompileObjects(*db, progress, reportPrompt, false, options.Log);
    if (outcome.ScriptCount == 0) return 0;
    PrintOut(QStringLiteral("Execution log: ") + QDir::toNativeSeparators(outcome.LogFile) + QLatin1Char('\n'));
    if (!outcome.Report.Errors.empty()) PrintErr(ExecutionErrorsText(outcome.Report.Errors));
    if (outcome.Report.Cancelled) throw OperationAborted();
    return outcome.Report.Errors.empty() ? 0 : 1;
}

}  // namespace

const CliCommand RecompileCommand = {
    "recompile",
    "DB [--yes] [--log FILE]",
    "Re-create every view, procedure, function and trigger of DB in place",
    "Alters each view, procedure, function and trigger of DB to its own definition, each after the\n"
    "objects it uses, which refreshes compiled plans and the column bindings of views. The scripts\n"
    "run through the executor: statement by statement, with retries, rollback of a failed script\n"
    "and the execution log (named after DB alone unless --log is given). Errors are listed on\n"
    "stderr per object, with the SQL that failed.\n"
    "\n"
    "DB is a live server (sqlserver://...) or a .sql script; a script builds the database on a\n"
    "simulated server inside this program (a trial).\n"
    "\n"
    "Options:\n"
    "  -y, --yes     recompile without asking (needed when there is no terminal to ask on)\n"
    "  --log FILE    write the execution log to FILE\n"
    "\n"
    "Exit status: 0 when every script ran without error (or there was nothing to recompile), 1\n"
    "when errors were recorded, 2 on any other failure (also when nothing was executed because\n"
    "the question was answered no or could not be asked).\n",
    RunRecompile,
};
