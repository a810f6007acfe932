#pragma once
// One subcommand of tovimar-cli. main.cpp keeps the table of commands; each command lives in
// its own file (command_<name>.cpp) and defines one CliCommand object.
#include <QString>
#include <QStringList>
#include <stdexcept>

class Progress;

struct CliCommand {
    const char* Name;     // as typed: "info"
    const char* Usage;    // the arguments after the name: "SOURCE"
    const char* Summary;  // one line for the overall help
    const char* Help;     // the command's own help, shown by "tovimar-cli NAME --help"
    // Runs the command with the arguments after its name; returns the exit status. Errors are
    // thrown: TovimarException, CliUsageError, OperationAborted, CommandFailed.
    int (*Run)(const QStringList& args, Progress& progress);
};

// The command line is not what the command expects (exit status 2, with a hint to --help).
class CliUsageError : public std::runtime_error {
public:
    explicit CliUsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

// The user pressed Ctrl-C while the engine worked.
class OperationAborted : public std::exception {
public:
    const char* what() const noexcept override { return "Operation has been aborted!"; }
};

// The command has told the user what went wrong already; the program ends with exit status 2.
class CommandFailed : public std::exception {
public:
    const char* what() const noexcept override { return "The command failed"; }
};

// Writes text to stdout (PrintOut) or stderr (PrintErr) in the locale's encoding (UTF-8 for what
// the locale cannot hold).
void PrintOut(const QString& text);
void PrintErr(const QString& text);

// Writes text in the locale's encoding to the file named by an -o option, or to stdout for "-":
// completely or not at all (see WriteWholeFile). Throws TovimarException when it cannot be
// written, stdout included.
void WriteOutputFile(const QString& path, const QString& text);

extern const CliCommand InfoCommand;
extern const CliCommand SnapshotCommand;
extern const CliCommand CompareCommand;
extern const CliCommand ExportCommand;
extern const CliCommand SyncCommand;
extern const CliCommand VerifyCommand;
extern const CliCommand DocumentCommand;
extern const CliCommand RecompileCommand;
