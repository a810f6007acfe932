// Table scripts: create, drop, rename, the rebuild through a temporary table with its data copy,
// and the full-text index script.
#include "compare/generators.h"

int GenerateScript(Tovimar_Table&, bool, ScriptList&, GenerationContext&) { return 0; }
QString CreateTableSQL(Tovimar_Table&, QString&, const GenerationContext&) { return QString(); }
QString FTI_DeleteSQL(Tovimar_Table&) { return QString(); }
QString FTI_DeleteSQLColumn(Tovimar_Table&, Tovimar_Field&) { return QString(); }
int GenerateFTIScript(Tovimar_Table&, bool, ScriptList&, Tovimar_Table*, GenerationContext&) { return 0; }
