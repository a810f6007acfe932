// tovimar-cli snapshot SOURCE -o FILE.schema: writes a schema as a snapshot file.
#include "cli/cli_command.h"
#include "cli/source.h"
#include "platform/progress.h"
#include "schema/snapshot_file.h"

namespace {

int RunSnapshot(const QStringList& args, Progress& progress) {
    QString source;
    QString output;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("-o") || arg == QLatin1String("--output")) {
            if (i + 1 >= args.size()) throw CliUsageError(QStringLiteral("%1 needs a file name").arg(arg));
            if (!output.isEmpty()) throw CliUsageError(QStringLiteral("only one output file may be given"));
            output = args[++i];
        } else if (arg.startsWith(QLatin1String("--output="))) {
            if (!output.isEmpty()) throw CliUsageError(QStringLiteral("only one output file may be given"));
            output = arg.mid(9);
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            throw CliUsageError(QStringLiteral("unknown option %1").arg(arg));
        } else if (source.isEmpty()) {
            source = arg;
        } else {
            throw CliUsageError(QStringLiteral("snapshot takes one SOURCE"));
        }
    }
    if (source.isEmpty()) throw CliUsageError(QStringLiteral("snapshot needs a SOURCE"));
    if (output.isEmpty()) throw CliUsageError(QStringLiteral("snapshot needs -o FILE.schema"));

    const auto db = LoadSource(source, progress);
    progress.Close();
    if (output == QLatin1String("-"))
        WriteOutputFile(output, SchemaFileText(*db));
    else
        SaveSchemaFile(output, *db);
    return 0;
}

}  // namespace

const CliCommand SnapshotCommand = {
    "snapshot",
    "SOURCE -o FILE.schema",
    "Write a schema to a snapshot file",
    "Loads SOURCE and writes its schema to FILE.schema (replaced when it exists, only once the new\n"
    "file is complete; its folder is created when missing; \"-\" writes to stdout, and a device or\n"
    "pipe is written into, never replaced). A snapshot given as SOURCE is read and written again:\n"
    "a file this program wrote comes out byte for byte the same.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE  the snapshot file to write (required)\n",
    RunSnapshot,
};
