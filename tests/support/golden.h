#pragma once
// Golden files for generated SQL: the scripts rendered as a saved file holds them.
#include "compare/script.h"
#include "compare/script_export.h"
#include "support/golden_text.h"

namespace golden {

// The scripts as they are saved to a file, without the header: titles, parts, GO lines.
inline QString RenderScripts(const ScriptList& scripts) {
    QString text;
    for (const ScriptPtr& script : scripts) text += ExportScriptText(*script);
    return text;
}

}  // namespace golden

// Compares the rendered scripts with the golden file of caseName.
inline void ExpectGoldenScripts(const QString& caseName, const ScriptList& scripts) {
    ExpectGolden(caseName, golden::RenderScripts(scripts));
}

// Readable failure messages for scripts.
inline void PrintTo(const Tovimar_Script& script, std::ostream* os) {
    *os << script.GetTitle().toStdString() << " (" << script.GetSQLCount() << " parts)";
}
inline void PrintTo(const ScriptPtr& script, std::ostream* os) {
    if (script) PrintTo(*script, os);
    else *os << "(no script)";
}
