#pragma once
// The comparison run as the main window drives it, without the windows: connecting one side
// (a live server, or for trials a .sql script or a .schema snapshot named in the server box),
// and the second stage after the options dialog (load both schemas, link, generate, and decide
// which window comes next). Everything the user must be told goes through Prompt; loading shows
// its progress through Progress.
#include "compare/script.h"
#include "main/connection_history.h"
#include "schema/model.h"

#include <QString>
#include <memory>

class FilterSets;
class Progress;
class Prompt;

// What the server box names: a server, one or more T-SQL scripts joined with "+", or a snapshot.
enum class ServerBoxKind { Server, Script, Snapshot };
ServerBoxKind ServerBoxKindOf(const QString& server);

// The message ConnectDatabase shows for parameters that are missing, and which box gets the
// focus then; an empty Message when the parameters are complete.
enum class ParamsFocus { None, Server, Database, User, Password };
struct ParamsProblem {
    QString Message;
    ParamsFocus Focus = ParamsFocus::None;
};
ParamsProblem CheckConnectionParams(int side, const ConnectionParams& params);

// Opens the database the parameters name (texts as typed; integrated login passes no user).
// Returns none after telling the user why ("Error connection to Database ..."). The database
// starts without cache use.
std::shared_ptr<Tovimar_Database> OpenDatabaseSource(const ConnectionParams& params, Progress& progress,
                                                     Prompt& prompt);

// The run's options, chosen in the options dialog.
struct RunOptions {
    bool ExportOnly = false;
    bool IgnoreDataLoss = false;
    bool ShowRenameDialog = false;
};

// Where a run goes after generation.
enum class RunNext {
    MainWindow,    // aborted, failed, or nothing to do: the main window is shown again
    Export,        // save the scripts to a file
    ScriptWindow,  // review the scripts
    RenameDialog,  // pair deletions with creations first
};

struct RunResult {
    RunNext Next = RunNext::MainWindow;
    ScriptList Scripts;
    bool DeletesPresent = false;
};

// Loads db1 (and, unless export-only, db2) with filters, links and generates the scripts, and
// tells the user "Operation has been aborted!", "There are no differences between the
// Databases!", the export's empty message, an error, or the ATTENTION text about deletions.
RunResult LoadAndGenerate(Tovimar_Database& db1, Tovimar_Database& db2, FilterSets& filters, const RunOptions& options,
                          Progress& progress, Prompt& prompt);

inline const QString NoDifferencesText = QStringLiteral("There are no differences between the Databases!");
inline const QString EmptyExportText =
    QStringLiteral("The specified Database is either empty or all Objects have been filtered by current Filter Selections!");
QString DataLossAttentionText();
// "Error Number: " + number + CR LF + "Description: " + description.
QString ErrorLines(long number, const QString& description);
