// Placeholders for the generators of indexes, constraints, code objects, roles, permissions and
// catalogs: each produces no script until its family's file implements it (and removes it here).
#include "compare/generators.h"

int GenerateScript(Tovimar_Index&, bool, ScriptList&, GenerationContext&) { return 0; }
int GenerateScript(Tovimar_Relation&, bool, ScriptList&, GenerationContext&, bool, bool) { return 0; }
int GenerateScript(Tovimar_Default&, bool, ScriptList&, GenerationContext&) { return 0; }
int GenerateScript(Tovimar_Check&, bool, ScriptList&, GenerationContext&) { return 0; }
int GenerateScript(Tovimar_Trigger&, bool, ScriptList&, GenerationContext&) { return 0; }
int GenerateScript(Tovimar_View&, bool, ScriptList&, GenerationContext&) { return 0; }
int GenerateScript(Tovimar_Procedure&, bool, ScriptList&, GenerationContext&) { return 0; }
int GenerateScript(Tovimar_Function&, bool, ScriptList&, GenerationContext&) { return 0; }
int GenerateScript(Tovimar_Role&, bool, ScriptList&, GenerationContext&) { return 0; }
int GenerateScript(Tovimar_Permission&, bool, ScriptList&, GenerationContext&) { return 0; }
int GenerateScript(Tovimar_Catalog&, bool, ScriptList&, GenerationContext&) { return 0; }

QString Create_Delete(Tovimar_Index&) { return QString(); }
void AddCodeObjectSQL(Tovimar_Script&, long, const QString&) {}
int GenerateUpdateObjectScripts(Tovimar_Database&, Progress*, ScriptList&, GenerationContext&) { return 0; }
