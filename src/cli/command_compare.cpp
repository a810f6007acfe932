// tovimar-cli compare SOURCE DEST and tovimar-cli export SOURCE: the scripts that bring DEST in
// line with SOURCE (or create all of SOURCE), in the text of a saved script file or as a summary.
#include "cli/cli_command.h"
#include "cli/comparison_options.h"
#include "cli/source.h"
#include "compare/generators.h"
#include "main/comparison_run.h"
#include "review/script_executor.h"
#include "platform/progress.h"

#include <QDateTime>
#include <cstdio>
#include <vector>

namespace {

struct Options {
    QStringList Sources;
    QString Output;
    bool Summary = false;
    ComparisonOptions Run;
};

Options ParseOptions(const QStringList& args, const QString& command, bool compare) {
    Options options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("-o") || arg == QLatin1String("--output")) {
            if (!options.Output.isEmpty()) throw CliUsageError(QStringLiteral("only one output file may be given"));
            options.Output = TakeValue(args, i);
        } else if (compare && arg == QLatin1String("--summary")) {
            options.Summary = true;
        } else if ((compare || arg == QLatin1String("--filter-file")) && TakeComparisonOption(args, i, options.Run)) {
            continue;  // taken with its value
        } else {
            TakeSourceArgument(arg, options.Sources);
        }
    }
    const int wanted = compare ? 2 : 1;
    if (options.Sources.size() != wanted)
        throw CliUsageError(compare ? QStringLiteral("%1 takes SOURCE and DEST").arg(command)
                                    : QStringLiteral("%1 takes one SOURCE").arg(command));
    return options;
}

// The output of compare and export: the file of -o, or stdout.
void WriteOutput(const QString& path, const QString& text) {
    if (path.isEmpty())
        WriteOutputFile(QStringLiteral("-"), text);
    else
        WriteOutputFile(path, text);
}

// The scripts point into the models, which are never freed (ModelsUntilExit): they are kept as
// well, since freeing them one by one at the end of the command only delays its exit.
void KeepUntilExit(ScriptList scripts) {
    static auto* const kept = new std::vector<ScriptList>;
    kept->push_back(std::move(scripts));
}

int RunCompare(const QStringList& args, Progress& progress) {
    const Options options = ParseOptions(args, QStringLiteral("compare"), true);
    ModelsUntilExit models;  // declared first: the scripts that point into the models end before them
    auto [loadedSource, loadedDest] = LoadSourcePair(options.Sources[0], options.Sources[1], progress);
    Tovimar_Database& source = models.Keep(std::move(loadedSource));
    Tovimar_Database& dest = models.Keep(std::move(loadedDest));
    ScriptList scripts = GenerateForCommand(source, dest, options.Run, progress);
    const QStringList boundWarning = BoundObjectsWarning(source, dest);
    if (!HasDifferences(scripts)) {
        PrintErr(QStringLiteral("There are no differences between the Databases!\n"));
        if (!boundWarning.isEmpty()) PrintErr(boundWarning.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        return 0;
    }
    // Differences the scripts do not carry close the output as comment lines.
    QString warning;
    for (const QString& line : boundWarning) warning += QStringLiteral("-- ") + line + QStringLiteral("\r\n");
    if (options.Summary) warning.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QString text = options.Summary ? SummaryText(scripts) : ScriptFileText(scripts, dest, QDateTime::currentDateTime());
    text += warning;
    WriteOutput(options.Output, text);
    KeepUntilExit(std::move(scripts));
    return 1;
}

int RunExport(const QStringList& args, Progress& progress) {
    const Options options = ParseOptions(args, QStringLiteral("export"), false);
    const auto source = LoadSource(options.Sources[0], progress);
    Tovimar_Database empty;  // never connected: everything is created
    // The scripts are written for a server like the Source's (full-text column languages, for one,
    // are only written for version 80 and above).
    empty.SrvVer = source->SrvVer;
    const ScriptList scripts = GenerateForCommand(*source, empty, options.Run, progress);
    if (scripts.empty()) {
        PrintErr(QStringLiteral("The specified Database is either empty or all Objects have been filtered by "
                                  "current Filter Selections!\n"));
        return 1;
    }
    // An export names the exported database in its header.
    WriteOutput(options.Output, ScriptFileText(scripts, *source, QDateTime::currentDateTime()));
    return 0;
}

}  // namespace

const CliCommand CompareCommand = {
    "compare",
    "SOURCE DEST [-o FILE] [--summary] [--ignore-data-loss] [--filter-file FILE] [--rename OLD=NEW]...",
    "Write the scripts that bring DEST in line with SOURCE",
    "Loads both schemas, pairs their objects by name and writes the scripts that change DEST into\n"
    "SOURCE, in execution order, as a script file: a header naming DEST, then per script its title,\n"
    "its parts and a GO line after each part.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE     write to FILE (in the locale's encoding) instead of stdout (\"-\":\n"
    "                        stdout); FILE is replaced only once it is complete\n"
    "  --summary             one line per script instead: index, change kind, object type and the\n"
    "                        object's name with its table, separated by tabs\n"
    TOVIMAR_COMPARISON_OPTIONS_HELP
    "\n"
    "Exit status: 0 when there are no differences (\"There are no differences between the\n"
    "Databases!\" on stderr), 1 when scripts were written, 2 on any error.\n",
    RunCompare,
};

const CliCommand ExportCommand = {
    "export",
    "SOURCE [-o FILE] [--filter-file FILE]",
    "Write the scripts that create all of SOURCE",
    "Writes the create scripts of every object of SOURCE, compared with an empty database, in the\n"
    "same form as compare.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE     write to FILE (in the locale's encoding) instead of stdout (\"-\":\n"
    "                        stdout); FILE is replaced only once it is complete\n"
    "  --filter-file FILE    choose the objects by the filter sets in FILE (docs/FILTER_FILE.md)\n"
    "\n"
    "Exit status: 0 when scripts were written, 1 when there is nothing to create, 2 on any error.\n",
    RunExport,
};
