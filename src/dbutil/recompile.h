#pragma once
// Recompiling a database's code objects in place: every view, procedure, function and trigger is
// altered to its own definition, in dependency order, which refreshes its compiled state and
// the column bindings of views. The scripts run through the executor with its log, rollback and
// retries, like a comparison's scripts.
#include "compare/script.h"
#include "review/script_executor.h"

class Progress;
class Prompt;
class Tovimar_Database;

// The recompile scripts of db (one CHANGE script per view, procedure, function and trigger) in
// execution order. db needs no counterpart.
ScriptList GenerateRecompileScripts(Tovimar_Database& db, Progress* progress);

struct RecompileOutcome {
    bool Asked = false;        // the user answered yes (or was not asked)
    int ScriptCount = 0;       // 0: there was nothing to recompile
    ExecutionReport Report;    // errors and cancel of the run
    QString LogFile;           // the execution log written
    bool ErrorsShown = false;  // what ExecuteScripts answered
};

// The recompile as the user starts it: asks "All Views, Procedures, Functions and Triggers in the
// Source-DB will be recompiled. Continue?" unless ask is false, tells "There are no compilable
// Objects in the Source-DB!" when there is nothing, otherwise executes the scripts on db with the
// log named after the database alone (or logFile when given) and shows the errors through
// showErrors. Errors of the run itself reach the caller.
RecompileOutcome RecompileObjects(Tovimar_Database& db, Progress& progress, Prompt& prompt, bool ask,
                                  const QString& logFile = QString(), const ShowErrorsWindow& showErrors = {});
