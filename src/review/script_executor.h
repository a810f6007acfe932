#pragma once
// The executor: runs the checked scripts of a list on the Destination database statement by
// statement, writes the execution log, turns failures into Tovimar_Error records, rolls back
// what a failed statement left open, re-runs scripts whose failure looked like a missing
// dependency once the other scripts of their object type have run, and honours Cancel. In
// export mode it executes nothing and writes the scripts' SQL to the file instead; this is the
// one way scripts are saved to a file.
//
// ExecuteScripts is the entry point for both; ScriptExecutor is the engine behind it.
#include "compare/script.h"
#include "platform/progress.h"
#include "platform/prompt.h"
#include "review/tovimar_error.h"

#include <QDateTime>
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class DbConnection;

// How a native server error number is treated when a statement fails.
enum class ServerErrorKind {
    Ignored,     // 1708, 1918, 15338, 15477: cautions and warnings, not recorded
    Dependency,  // 207, 208, 1902, 2007, 4413: a referenced object is missing (yet)
    Other,       // recorded
};
ServerErrorKind ClassifyServerError(long number);

class ScriptExecutor {
public:
    explicit ScriptExecutor(Progress& progress) : progress_(progress) {}
    ScriptExecutor(const ScriptExecutor&) = delete;
    ScriptExecutor& operator=(const ScriptExecutor&) = delete;

    // Set by the caller before RunScripts.
    QString ResultFile;                // the log (execution) or the script file (export)
    ScriptList Scripts;                // in execution order
    Tovimar_Database* DB = nullptr;    // its Connection executes; FullName and Name head the file
    bool ExportOnly = false;           // write the SQL text only, execute nothing
    // The time written into the header; the current local time unless set.
    std::function<QDateTime()> Clock;

    // The errors of the last run, in the order they remained after the retry passes.
    ErrorCollection ErrCollection;
    // The scripts of the last run that were not executed because a script they depend on failed
    // for good: a key, index, foreign key, check, default, full-text index or trigger of a table
    // whose create, rebuild or rename failed, or that uses a column whose script failed (a
    // foreign key also when it references that table). Cause is the script that failed.
    struct SkippedScript {
        ScriptPtr Script;
        ScriptPtr Cause;
    };
    std::vector<SkippedScript> Skipped;

    // Runs (or exports) every checked script and writes ResultFile. A failed statement never
    // stops the run; errors of the run itself (the file cannot be opened, no connection, an
    // export that cannot be written) end it: the running statement is cancelled, the file
    // closed, and the error reaches the caller. The log of an execution is written through
    // before each statement (on a server inside this process, in blocks); when it fails on the
    // way the run goes on and LogError tells.
    void RunScripts();
    // The export mode into text instead of a file (for standard output): the same text, without
    // the encoding step. Ignores ResultFile and ExportOnly.
    QString ExportText();
    // True when the user cancelled the last run.
    bool WasCancelled() const { return cancelled_; }
    // When the execution log could not be written to the end: why (empty otherwise), and the
    // lines it could not take, each ended by a line feed.
    const QString& LogError() const { return logError_; }
    const QString& UnwrittenLog() const { return unwrittenLog_; }

    // Runs one statement in the background while polling for Cancel. Returns normally on
    // success; throws TovimarException on failure: the server's first error, (1, "Cancelled")
    // when the user cancelled, or the connection's own error. After a failure the connection's
    // error list holds what the server reported.
    void ExecuteBatch(const QString& sql);

private:
    void ExecuteScript(const ScriptPtr& script, int startPart);
    // Runs one statement of part `part` and logs it; false when the script must stop here.
    bool ExecuteStatement(const ScriptPtr& script, int part, const QString& sql);
    void RetryPass(const QString& currentTyp);
    void Rollback();
    void StopRunning();
    bool IsRepeatable(const Tovimar_Script& script) const;
    // The failed table or column script that script depends on; none when it may run.
    ScriptPtr FailedFoundation(const Tovimar_Script& script) const;
    void Skip(const ScriptPtr& script, const ScriptPtr& cause);
    void NoteCancel(bool cancelled) { cancelled_ = cancelled_ || cancelled; }

    void Run();
    void WriteHeader();
    void WriteLine(const QString& text);
    void FlushLog();  // writes the lines collected since the last statement

    Progress& progress_;
    QFile file_;
    QString* textOut_ = nullptr;     // export into text: the lines go here instead of file_
    DbConnection* connection_ = nullptr;
    bool statementRunning_ = false;  // started in the background and not yet collected
    bool cancelled_ = false;
    QString pendingRetryType_;       // the object type whose failed scripts wait for a retry
    // Scripts whose retry made no progress: their next failure is final. Kept here rather than
    // by clearing Repeatable, so that the script list stays as generated for a later run.
    QSet<const Tovimar_Script*> finalTry_;
    // The table and column scripts that failed for good in this run.
    std::vector<ScriptPtr> failedFoundations_;
    QString logError_;
    QString unwrittenLog_;
    // Log lines not written yet: one write before the next statement runs, or (logInBlocks_) once
    // they fill a block.
    QByteArray pendingLog_;
    bool logInBlocks_ = false;
    QStringList pendingLines_;  // the same lines, for unwrittenLog_ should that write fail
};

// The default path of a result file: the "Scripts" folder (created when missing) + "Tovimar_" +
// the local time "yyyy-MM-dd_HH-mm-ss_" + baseName + extension (".txt" when empty). An empty
// baseName becomes "Result". Path separators in baseName become "$". A name longer than a file
// system takes keeps its beginning and ends with "~" + a short hash of the whole name.
QString GetScriptFileName(QString& baseName, const QString& extension,
                          const QDateTime& now = QDateTime::currentDateTime());

// GetScriptFileName, created empty and exclusively so that no other run writes to it: when that
// name is taken (a run of the same pair in the same second), "_2", "_3", ... is added before the
// extension.
QString CreateScriptFile(QString& baseName, const QString& extension,
                         const QDateTime& now = QDateTime::currentDateTime());

// The text of a script file for the Destination db: the header (time now), then per checked
// script its title, the SQL of each part and "GO" lines. What ExecuteScripts writes in export
// mode, as text for output that does not go to a file.
QString ScriptFileText(const ScriptList& scripts, Tovimar_Database& db, const QDateTime& now);

// What a run produced, for callers that report it themselves (the command-line program).
struct ExecutionReport {
    ErrorCollection Errors;
    std::vector<ScriptExecutor::SkippedScript> Skipped;
    bool Cancelled = false;
    QString LogError;      // why the log could not be written to the end (empty when it was)
    QString UnwrittenLog;  // the log lines it could not take
};

// Shows the errors of a run (the errors window) and returns true when the user closed it with
// its Close button.
using ShowErrorsWindow = std::function<bool(Tovimar_Database& db, const ErrorCollection& errors)>;

// Executes the checked scripts on db (or, with exportOnly, writes them to the file), then tells
// the user the outcome and offers to open the file, and shows the errors when there are any.
// An empty resultFile becomes CreateScriptFile(FileNamePart(db), ""); the path used is handed
// back. Returns true only when errors occurred and the user closed the errors window other
// than with its Close button. Errors of the run itself (file, connection) reach the caller.
bool ExecuteScripts(Progress& progress, Prompt& prompt, const ScriptList& scripts, Tovimar_Database& db,
                    bool exportOnly, QString& resultFile, ExecutionReport* report = nullptr,
                    const ShowErrorsWindow& showErrors = {});

// The default name (without folder and extension) of a saved script file: "Tovimar_" + the
// Destination's FullName, or the Source's FullName + "_to_" + the Destination's; "\" and "/"
// become "$", "." becomes "-".
QString DefaultExportFileName(const Tovimar_Database& destination, const Tovimar_Database* source);

// Saves the checked scripts to path through the executor's export mode and offers to open the
// file. Returns false when path is empty or the file could not be written (the user is told
// "Error saving file:" with the error lines).
bool ExportScripts(Progress& progress, Prompt& prompt, const ScriptList& scripts, Tovimar_Database& destination,
                   const QString& path);
