// tovimar-cli: the schema engine without windows. Each subcommand is a CliCommand defined in
// its own file; this file parses the first argument, prints help and turns every error into the
// "Error Number: " / "Description: " lines on stderr and exit status 2.
#include "cli/cli_command.h"
#include "cli/source.h"
#include "cli/terminal_progress.h"
#include "platform/file_output.h"
#include "platform/local_text.h"
#include "platform/tovimar_exception.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <malloc.h>
#include <new>

#ifndef TOVIMAR_VERSION
#define TOVIMAR_VERSION "0.0.0"
#endif

namespace {

const CliCommand* const Commands[] = {
    &InfoCommand,
    &SnapshotCommand,
    &CompareCommand,
    &ExportCommand,
    &SyncCommand,
    &VerifyCommand,
    &DocumentCommand,
    &RecompileCommand,
};

const CliCommand* FindCommand(const QString& name) {
    for (const CliCommand* command : Commands)
        if (name == QLatin1String(command->Name)) return command;
    return nullptr;
}

QString OverallHelp() {
    QString text = QStringLiteral(
        "Usage: tovimar-cli COMMAND [ARGUMENTS]\n"
        "       tovimar-cli --help | --version\n"
        "       tovimar-cli help COMMAND\n"
        "\n"
        "The command-line companion of Tovimar, which compares SQL Server 2000 database schemas.\n"
        "\n"
        "Commands:\n");
    for (const CliCommand* command : Commands)
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QLatin1String(command->Name), QLatin1String(command->Usage), QLatin1String(command->Summary));
    text += QStringLiteral("\nSOURCE is one of:\n") + SourceFormsHelp() +
            QStringLiteral(
                "\n"
                "Exit status: 0 on success, 2 on any error (the error on stderr as \"Error Number: \" and\n"
                "\"Description: \" lines); compare, export, sync, verify and recompile also use 1 (and sync 3)\n"
                "as their help says. Ctrl-C stops the command (\"Operation has been aborted!\").\n"
                "Run \"tovimar-cli COMMAND --help\" for a command's own help.\n");
    return text;
}

QString CommandHelp(const CliCommand& command) {
    QString text = QStringLiteral("Usage: tovimar-cli %1 %2\n\n%3.\n\n")
                       .arg(QLatin1String(command.Name), QLatin1String(command.Usage), QLatin1String(command.Summary));
    text += QLatin1String(command.Help);
    if (QLatin1String(command.Usage).contains(QLatin1String("SOURCE")))
        text += QStringLiteral("\nSOURCE is one of:\n") + SourceFormsHelp();
    return text;
}

int UsageError(const QString& message) {
    PrintErr(QStringLiteral("tovimar-cli: %1\nRun \"tovimar-cli --help\" for usage.\n").arg(message));
    return 2;
}

bool IsHelp(const QString& arg) { return arg == QLatin1String("--help") || arg == QLatin1String("-h"); }

int Run(const QStringList& args) {
    if (args.isEmpty()) return UsageError(QStringLiteral("no command given"));
    const QString& first = args[0];
    if (IsHelp(first)) {
        PrintOut(OverallHelp());
        return 0;
    }
    if (first == QLatin1String("--version")) {
        PrintOut(QStringLiteral("tovimar-cli " TOVIMAR_VERSION "\n"));
        return 0;
    }
    if (first == QLatin1String("help")) {
        if (args.size() == 1) {
            PrintOut(OverallHelp());
            return 0;
        }
        const CliCommand* command = FindCommand(args[1]);
        if (!command || args.size() > 2) return UsageError(QStringLiteral("unknown command %1").arg(args.mid(1).join(' ')));
        PrintOut(CommandHelp(*command));
        return 0;
    }
    const CliCommand* command = FindCommand(first);
    if (!command) return UsageError(QStringLiteral("unknown command %1").arg(first));
    const QStringList rest = args.mid(1);
    for (const QString& arg : rest)
        if (IsHelp(arg)) {
            PrintOut(CommandHelp(*command));
            return 0;
        }

    TerminalProgress progress;
    try {
        return command->Run(rest, progress);
    } catch (const TovimarException& e) {
        progress.Close();
        PrintErr(QStringLiteral("Error Number: %1\nDescription: %2\n").arg(e.Number).arg(e.Description));
    } catch (const CliUsageError& e) {
        progress.Close();
        return UsageError(e.Message());
    } catch (const OperationAborted&) {
        progress.Close();
        PrintErr(QStringLiteral("Operation has been aborted!\n"));
    } catch (const CommandFailed&) {
        progress.Close();
    } catch (const std::bad_alloc&) {
        progress.Close();
        PrintErr(QStringLiteral("Error Number: 7\nDescription: Out of memory\n"));
    }
    return 2;
}

}  // namespace

void PrintErr(const QString& text) {
    QByteArray bytes;
    try {
        bytes = EncodeLocalText(text);
    } catch (...) {
        bytes = text.toUtf8();
    }
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void PrintOut(const QString& text) {
    QByteArray bytes;
    try {
        bytes = EncodeLocalText(text);
    } catch (...) {
        bytes = text.toUtf8();
    }
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void WriteOutputFile(const QString& path, const QString& text) {
    const QByteArray bytes = EncodeLocalText(text);
    if (path != QLatin1String("-")) {
        WriteWholeFile(path, bytes, QStringLiteral("tovimar-cli"));
        return;
    }
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) != static_cast<size_t>(bytes.size()) ||
        std::fflush(stdout) != 0)
        throw TovimarException(75, QStringLiteral("tovimar-cli"),
                               QStringLiteral("Cannot write to the standard output: %1")
                                   .arg(QString::fromLocal8Bit(std::strerror(errno))));
}

int main(int argc, char* argv[]) {
    // A command builds its models in many small allocations and then ends: the heap grows in
    // large steps instead of a few pages at a time, and neither freed memory at its top nor large
    // blocks (the decoded pieces of a snapshot) go back to the system to be faulted in afresh by
    // the next allocation. The process returns it all when it exits.
    mallopt(M_TOP_PAD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return Run(args);
}
