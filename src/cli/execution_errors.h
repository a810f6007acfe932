#pragma once
// The errors of an execution run as a command line shows them: grouped by the object whose
// script failed, each with the SQL of the failed part and the server's messages.
#include "review/script_executor.h"
#include "review/tovimar_error.h"

#include <QString>

// One group per object (object type and name with its table), in the order the objects first
// failed:
//   Table [dbo].[Orders]:
//     SCRIPT RECREATE for Table [dbo].[Orders], part 2:
//       <the part's SQL, indented>
//     ERR=547 - <description>
// Empty for no errors.
QString ExecutionErrorsText(const ErrorCollection& errors);

// The scripts that were not executed because a script they depend on failed, one line each:
//   SKIPPED SCRIPT CREATE for Index [dbo].[T].[IX] (depends on SCRIPT CHANGE for Table [dbo].[T])
// Empty when there are none.
QString SkippedScriptsText(const std::vector<ScriptExecutor::SkippedScript>& skipped);
