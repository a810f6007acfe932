#include "cli/comparison_options.h"

#include "cli/cli_command.h"
#include "cli/source.h"
#include "platform/progress.h"

QString TakeValue(const QStringList& args, qsizetype& i) {
    if (i + 1 >= args.size()) throw CliUsageError(QStringLiteral("%1 needs a value").arg(args[i]));
    return args[++i];
}

bool TakeComparisonOption(const QStringList& args, qsizetype& i, ComparisonOptions& options) {
    const QString& arg = args[i];
    if (arg == QLatin1String("--filter-file")) {
        if (!options.FilterFile.isEmpty()) throw CliUsageError(QStringLiteral("only one filter file may be given"));
        options.FilterFile = TakeValue(args, i);
        if (options.FilterFile.isEmpty()) throw CliUsageError(QStringLiteral("--filter-file needs a file name"));
        return true;
    }
    if (arg == QLatin1String("--use-cache") || arg == QLatin1String("--create-cache")) {
        if (arg == QLatin1String("--use-cache"))
            SetSchemaCacheUse(true);
        else
            SetSchemaCacheCreate(true);
        return true;
    }
    if (arg == QLatin1String("--ignore-data-loss")) {
        options.IgnoreDataLoss = true;
        return true;
    }
    if (arg == QLatin1String("--rename")) {
        const QString pair = TakeValue(args, i);
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq <= 0 || eq == pair.size() - 1) throw CliUsageError(QStringLiteral("--rename needs OLD=NEW, not %1").arg(pair));
        options.Renames.append({pair.left(eq), pair.mid(eq + 1)});
        return true;
    }
    return false;
}

void TakeSourceArgument(const QString& arg, QStringList& sources) {
    if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) throw CliUsageError(QStringLiteral("unknown option %1").arg(arg));
    sources << arg;
}

ScriptList GenerateForCommand(Tovimar_Database& source, Tovimar_Database& dest, const ComparisonOptions& options,
                              Progress& progress) {
    try {
        ScriptList scripts = GenerateComparison(source, dest, options, progress);
        if (progress.Cancelled()) throw OperationAborted();
        return scripts;
    } catch (const ComparisonInputError& e) {
        throw CliUsageError(e.Message());
    }
}
