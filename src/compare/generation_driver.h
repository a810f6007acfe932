#pragma once
// The generation driver (passes over both databases, regeneration), the execution order of the
// scripts, their tree tags and images, and the texts derived from the database pair.
#include "compare/generation_context.h"
#include "compare/script.h"
#include "platform/progress.h"

// Generates the scripts of every object of ctx.DB1 (Source) and ctx.DB2 (Destination) and returns
// them sorted into execution order. refresh: only catalogs and tables (with their contents), as
// the rename dialog needs. progress may be null.
ScriptList GenerateAllScripts(GenerationContext& ctx, Progress* progress, bool refresh);

// All "DELETE" scripts first (permissions first, roles last, each type in reverse generation
// order), then type by type from "Role" to "Permission" in the kind order RENAME, RECREATE,
// REDELETE, CREATE, CHANGE; a column that a changed key, index, foreign key or check uses is
// dropped after that change. Numbers the result (Index 1, 2, ...).
ScriptList SortScripts(const ScriptList& scripts);
// The scripts whose Typ or Action equals key (taken from the last to the first when byKind),
// grouped by the texts of others in list order.
ScriptList SortScripts_Part(const ScriptList& scripts, const QString& key, const QStringList& others, bool byKind);

// The tree key of a script: its table's name, a type code and its object's name.
QString GetTagString(const Tovimar_Script& script);
// The image file of a tree node kind; empty for unknown kinds.
QString GetImageName(const QString& kind);
// "Indexes" for Index, otherwise kind + "s".
QString PluralName(const QString& kind);

// baseName, or baseName + the smallest number that names no table of db.
QString SetTempTableName(const Tovimar_Database& db, const QString& owner, const QString& baseName);
// The comparison's caption text and file name part.
QString CapText(const Tovimar_Database& db);
QString FileNamePart(const Tovimar_Database& db);
// The table or column named by an object tag ("Table" \1 name, "Column" \1 column \1 table);
// throws when a key is missing; none for any other tag.
Tovimar_Object* GetObjectByTag(const Tovimar_Database& db, const QString& tag);
