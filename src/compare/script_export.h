#pragma once
// The text of scripts saved to a file: a header naming the Destination database, then per script
// its title, the SQL of each part and a "GO" line, without execution status lines.
#include "compare/script.h"

#include <QDateTime>

// One script: "-- " + title, a line of 80 "-", each part (with a "-- Part n:" header and a line
// of 70 "-" when the script has several parts) followed by "GO", a line of 80 "-". Every line
// ends with CR LF.
QString ExportScriptText(const Tovimar_Script& script);
// The header for the Destination db at time now, then every checked script in list order.
QString ExportScriptsText(const ScriptList& scripts, const Tovimar_Database& db, const QDateTime& now);
