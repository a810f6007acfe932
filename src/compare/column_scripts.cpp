// Column scripts: add, drop, rename, and the switch of a table to the rebuild when a column
// changes.
#include "compare/generators.h"

int GenerateScript(Tovimar_Field&, bool, ScriptList&, GenerationContext&) { return 0; }
