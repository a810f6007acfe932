#pragma once
// The text of one script as a saved script file holds it (the executor's export mode writes the
// same lines): its title, the SQL of each part and a "GO" line, without execution status lines.
// The golden files of the generators are written in this form.
#include "compare/script.h"

// "-- " + title, a line of 80 "-", each part (with a "-- Part n:" header and a line of 70 "-"
// when the script has several parts) followed by "GO", a line of 80 "-". Every line ends with
// CR LF.
QString ExportScriptText(const Tovimar_Script& script);
