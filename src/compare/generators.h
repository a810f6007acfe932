#pragma once
// The script generators of every object family and what they share.
//
// Calling convention: GenerateScript (object, fromSource, scripts, context) classifies the object
// against its counterpart, appends the scripts that the classification calls for to scripts and
// returns how many it appended. fromSource is true for Source objects (create or change) and
// false for Destination objects without counterpart (delete). Scripts are made with NewScript,
// filled with AddSQL and appended after their steps.
//
// Where each family lives:
//   tables, full-text index, rebuild ......... table_scripts.cpp
//   columns .................................. column_scripts.cpp
//   indexes and key constraints .............. index_scripts.cpp
//   relations, defaults, checks .............. constraint_scripts.cpp
//   views, procedures, functions, triggers ... code_object_scripts.cpp
//   roles, permissions, catalogs ............. role_permission_scripts.cpp
//   user-defined data types .................. type_scripts.cpp
#include "compare/generation_context.h"
#include "compare/script.h"
#include "platform/progress.h"

#include <vector>

// ---- Script creation and collection ---------------------------------------------------------

// A new, checked script without steps. ScriptedObj is obj when fromSource, else obj's
// counterpart when it has one, else obj.
ScriptPtr NewScript(bool fromSource, const QString& typ, const QString& action, Tovimar_Object& obj);

int GenerateScript(Tovimar_Table& table, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_Field& field, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_Index& index, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
// del: only the drop script of a foreign key that references a dropped or rebuilt table;
// reCreate: only its re-create script after the rebuild. Both come with fromSource false.
int GenerateScript(Tovimar_Relation& relation, bool fromSource, ScriptList& scripts, GenerationContext& ctx,
                   bool del = false, bool reCreate = false);
int GenerateScript(Tovimar_Default& def, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_Check& check, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_Trigger& trigger, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_View& view, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_Procedure& procedure, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_Function& function, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_Role& role, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_Permission& permission, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_Catalog& catalog, bool fromSource, ScriptList& scripts, GenerationContext& ctx);
int GenerateScript(Tovimar_Type& type, bool fromSource, ScriptList& scripts, GenerationContext& ctx);

// An empty collection of any kind, for the "nothing on this side" arguments.
template <class P>
const Collection<P>& EmptyCollection() {
    static const Collection<P> empty;
    return empty;
}

// Every object of sourceCol (fromSource true), then every object of destCol without counterpart
// (fromSource false), in collection order. Returns the number of scripts added.
template <class P>
int GenerateScripts(const Collection<P>& sourceCol, const Collection<P>& destCol, ScriptList& scripts,
                    GenerationContext& ctx) {
    int count = 0;
    for (const P& object : sourceCol)
        if (object) count += GenerateScript(*object, true, scripts, ctx);
    for (const P& object : destCol)
        if (object && !object->OtherObj()) count += GenerateScript(*object, false, scripts, ctx);
    return count;
}

// Drop scripts for every object of col, whether or not it has a counterpart: the counterpart link
// is put aside while the object generates with fromSource false, then restored.
template <class P>
int GenerateDeleteScripts(const Collection<P>& col, ScriptList& scripts, GenerationContext& ctx) {
    int count = 0;
    for (const P& object : col) {
        if (!object) continue;
        auto* saved = object->OtherObj();
        object->SetOtherObj(nullptr);
        struct Restore {
            P object;
            decltype(saved) other;
            ~Restore() { object->SetOtherObj(other); }
        } restore{object, saved};
        count += GenerateScript(*object, false, scripts, ctx);
    }
    return count;
}

// The lines of a warning that the bound defaults and rules of the two databases differ (they are
// not scripted): "+ " before each text only the Source has, "- " before each only the
// Destination has, line breaks inside a text turned into blanks; empty when they are the same.
QStringList BoundObjectsWarning(const Tovimar_Database& source, const Tovimar_Database& dest);

// ---- Texts shared between families -----------------------------------------------------------

// Guards sql by an existence test of the object fullName: the test line ("if exists (select *
// from dbo.sysobjects where id = object_id('…') and OBJECTPROPERTY(id, 'property') = 1 and
// OBJECTPROPERTY(id, 'IsMSShipped') = 0)", for "IsFunction" a test of the function xtypes), CR LF,
// tab, then sql with every line break followed by a tab.
QString GetSQLIfExists(const QString& fullName, const QString& property, const QString& sql);
// The guard of a table ("IsUserTable"), view ("IsView"), procedure ("IsProcedure") or function
// ("IsFunction"); for any other object (a role) the empty text.
QString GetSQLIfExists(const Tovimar_Object& object, const QString& sql);

// "EXEC sp_rename '<oldName>', '<newName>', '<objectType>'" with both names written as string
// literals (a ' in a name is doubled).
QString RenameSQL(const QString& oldName, const QString& newName, const QString& objectType);

// A key, relation, default or check linked to a Destination constraint of another name is renamed
// to the Source's name, unless the Source's name is one the server generated (any name serves
// then; one generated name is never renamed to another) or the Destination's name is generated
// and the table is rebuilt (the rebuild creates the constraint under the Source's name).
bool RenameConstraint(const Tovimar_TableObject& source, const Tovimar_TableObject& dest);
// The name a linked constraint has in the Destination when its change is made, and keeps: the
// Source's when it is renamed first or its table is rebuilt, else the Destination's.
QString DestinationConstraintName(const Tovimar_TableObject& source, const Tovimar_TableObject& dest);

// True when the index, key, relation (by its own or by its referenced columns), check (by its
// expression) or default of the same database uses the column named column of table.
bool UsesColumn(const Tovimar_Object& object, const Tovimar_Table& table, const QString& column);

// Case-insensitive text comparison of names, types and definitions.
bool TextDiffers(const QString& a, const QString& b);

// Key column lists compared position by position, both ways: true when a position of either
// list has no entry or a different name (text comparison) in the other.
bool FieldNamesDiffer(const Collection<QString>& mine, const Collection<QString>& theirs);

// The execution settings of two code objects differ (bit values 8 and 16 of ObjStatus).
bool ExecSettingsDiffer(long status1, long status2);

// Code-object definitions compared in their normalised form: both texts rewritten with
// ReplaceObjectName (no keyword change, the Source object's canonical name, the table name for
// triggers, the group number for numbered procedures, else 0), then compared as text.
// ReplaceObjectName on a code object's definition; an error it raises ("Nesting Error") names the
// object (tableName.fullName for a trigger) at the end of its description.
QString RewriteDefinition(const QString& definition, const QString& find, const QString& replace,
                          const QString& keyword, const QString& fullName, const QString& tableName, int number);
bool DefinitionsDiffer(const QString& sourceDefinition, const QString& destDefinition, const QString& keyword,
                       const QString& fullName, const QString& tableName, int number);

// ---- Table and full-text texts used by other families ---------------------------------------

// The names of a comma-separated column list (bare or bracket-quoted; commas inside brackets do
// not split), each bracket-quoted once, keyed by itself.
Collection<QString> ParseFieldList(const QString& list);
// The CREATE TABLE text; an empty tableName becomes the table's FullName. rebuilt: the Destination
// table that a rebuild replaces; its column collations and file groups are written when they are
// not compared.
QString CreateTableSQL(Tovimar_Table& table, QString& tableName, const GenerationContext& ctx,
                       const Tovimar_Table* rebuilt = nullptr);
// The foreign keys that point to the Destination table table are dropped inside script (as steps);
// with a key (a PRIMARY KEY or UNIQUE constraint of table) only those that reference its columns,
// self-references included.
void DropReferencingRelations(const Tovimar_Table& table, Tovimar_Script& script, ScriptList& scripts,
                              GenerationContext& ctx, const Tovimar_Index* key = nullptr);
// The same foreign keys, as far as they survive, are re-created afterwards as RECREATE scripts, in
// the form the Source gives them.
int RecreateReferencingRelations(const Tovimar_Table& table, ScriptList& scripts, GenerationContext& ctx,
                                 const Tovimar_Index* key = nullptr);
// Drops the table's full-text index before its key index goes away and marks the full-text index
// for re-creation; empty when the table is rebuilt.
QString FTI_DeleteSQL(Tovimar_Table& table);
// Deactivates the full-text index and drops the column from it before the column is dropped;
// empty when the table is rebuilt or the column is not full-text indexed.
QString FTI_DeleteSQLColumn(Tovimar_Table& table, Tovimar_Field& field);
// The full-text index script of a table (0 or 1 scripts).
int GenerateFTIScript(Tovimar_Table& table, bool fromSource, ScriptList& scripts, Tovimar_Table* other,
                      GenerationContext& ctx);

// Which side's column scripts of a Source table and its counterpart would switch the table to the
// rebuild, as GenerateScripts of their columns does in a pass that starts with neither side
// rebuilt: the Source's (a changed column, or one behind an added column) or the Destination's
// (more than three dropped columns). Both false when a column belongs to another table than the
// one whose collection holds it (the generator alone then decides). Unchanged: no column of either
// side gets a script (every column paired, none changed or renamed).
struct ColumnRebuild {
    bool BySource = false;
    bool ByDestination = false;
    bool Unchanged = false;
};
ColumnRebuild ColumnsSwitchToRebuild(const Tovimar_Table& table, const Tovimar_Table& other);
// The pairs of tables MarkRebuilds decides on: every included Source table with a counterpart,
// in the order of the Source's tables, with its place among them, and what ColumnsSwitchToRebuild
// and TableContentsUnchanged say of the pair. Columns and ContentsUnchanged are left for the caller
// to fill in, on any thread (both only read the pair's objects and the tables' names).
struct RebuildCandidate {
    Tovimar_Table* Table = nullptr;
    qsizetype Position = 0;
    ColumnRebuild Columns;
    bool ContentsUnchanged = false;
};
std::vector<RebuildCandidate> RebuildCandidates(const Tovimar_Database& source);
// True when the generator of a Source constraint or index whose table is not rebuilt appends
// nothing and writes nothing: it has a table and a counterpart, is not renamed and not changed.
bool IndexUnchanged(const Tovimar_Index& index);
bool RelationUnchanged(const Tovimar_Relation& relation);
bool DefaultUnchanged(const Tovimar_Default& def);
bool CheckUnchanged(const Tovimar_Check& check);
// True when the table generator, for a pair in a pass where neither table is rebuilt, the file
// groups do not move and the columns are unchanged, appends nothing and only resets the pair's
// run state (ResetUnchangedPair): the same name, every check, default, index and relation of
// either side paired with one of its own table and unchanged, no triggers, no full-text index.
bool TableContentsUnchanged(const Tovimar_Table& table, const Tovimar_Table& other);
// Whether the pass may take the pair of the Source table table, found unchanged by the marking
// (its columns and TableContentsUnchanged), as it stands now: included, neither side rebuilt, the
// file groups not moving. Then ResetUnchangedPair does what its generator would.
bool UnchangedPairHolds(const Tovimar_Table& table);
void ResetUnchangedPair(Tovimar_Table& table);
// Marks, before a pass, the Source tables (and counterparts) of the candidates that the pass
// would switch to the rebuild, as the table and column generators decide it, so that the pass
// need not be run again for them. Marks nothing the generators would not mark. Notes in ctx the
// tables whose columns were found unchanged, so that the pass does not compare them again, and
// the pairs found unchanged altogether (GenerationContext::UnchangedPairs).
void MarkRebuilds(const std::vector<RebuildCandidate>& candidates, GenerationContext& ctx);

// True for the full-text script of an unchanged full-text index: its only step activates the index
// when it is inactive. Such a script comes with every full-text table; it is no difference.
bool IsFTIActivationOnly(const Tovimar_Script& script);

// ---- Index, constraint and code-object texts used by other families -------------------------

// The drop text of an index or key constraint (preceded by FTI_DeleteSQL for the full-text key).
QString Create_Delete(Tovimar_Index& index);
// Adds one step carrying a code-object definition, with the SET QUOTED_IDENTIFIER / ANSI_NULLS
// statements of status as Pre and the defaults as Post.
void AddCodeObjectSQL(Tovimar_Script& script, long status, const QString& sql);
// The recompile scripts: one "CHANGE" script per view, procedure, function and trigger, numbered
// in generation order. Returns their number.
int GenerateUpdateObjectScripts(Tovimar_Database& db, Progress* progress, ScriptList& scripts,
                                GenerationContext& ctx);
