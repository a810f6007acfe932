#include "compare/generation_driver.h"

#include "compare/generators.h"
#include "platform/tovimar_exception.h"
#include "schema/sql_text.h"

namespace {

// The column counters count one pass: a repeated pass must not add its column drops to those of
// the abandoned one.
void ResetFieldCounters(Tovimar_Database& db) {
    for (const TablePtr& table : db.Tables) {
        table->FieldsAppended = 0;
        table->FieldsDropped = 0;
    }
}

void ResetRunState(Tovimar_Database& db) {
    for (const TablePtr& table : db.Tables) {
        // Set again in this run when a full-text key index is dropped; a mark left by an earlier
        // run (before a rename was declared) must not re-create an unchanged full-text index.
        table->FTI_DeleteRecreate = false;
    }
    for (const TablePtr& table : db.Tables) table->DeleteRecreate = table->DataCopyDefs.Count() > 0;
    for (const ViewPtr& view : db.Views) view->DeleteRecreate = false;
    for (const ProcedurePtr& procedure : db.Procedures) procedure->DeleteRecreate = false;
    for (const FunctionPtr& function : db.Functions) function->DeleteRecreate = false;
}

// One pass over both databases. Returns false when the pass was abandoned or ended with the
// regeneration flag set, so that it must run again.
bool GeneratePass(GenerationContext& ctx, bool refresh, ScriptList& scripts) {
    Tovimar_Database& db1 = *ctx.DB1;
    Tovimar_Database& db2 = *ctx.DB2;
    ctx.Regenerate = false;
    ResetFieldCounters(db1);
    ResetFieldCounters(db2);
    GenerateScripts(db1.Catalogs, db2.Catalogs, scripts, ctx);
    if (ctx.Regenerate) return false;
    GenerateScripts(db1.Types, db2.Types, scripts, ctx);
    GenerateScripts(db1.Tables, db2.Tables, scripts, ctx);
    if (ctx.Regenerate) return false;
    if (!refresh) {
        GenerateScripts(db1.Views, db2.Views, scripts, ctx);
        if (ctx.Regenerate) return false;
        GenerateScripts(db1.Procedures, db2.Procedures, scripts, ctx);
        if (ctx.Regenerate) return false;
        GenerateScripts(db1.Functions, db2.Functions, scripts, ctx);
        if (ctx.Regenerate) return false;
        GenerateScripts(db1.Roles, db2.Roles, scripts, ctx);
        if (ctx.Regenerate) return false;
        GenerateScripts(db1.Permissions, db2.Permissions, scripts, ctx);
    }
    return !ctx.Regenerate;
}

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool Matches(const Tovimar_Script& script, const QString& key) {
    return Same(script.Typ, key) || Same(script.Action, key);
}

}  // namespace

ScriptList GenerateAllScripts(GenerationContext& ctx, Progress* progress, bool refresh) {
    if (!ctx.DB1 || !ctx.DB2)
        throw TovimarException(91, QStringLiteral("GenerateAllScripts"),
                               QStringLiteral("Both databases are needed to generate scripts"));
    struct CloseProgress {
        Progress* progress;
        ~CloseProgress() {
            if (progress) progress->Close();
        }
    } closeProgress{progress};
    if (progress)
        progress->ShowStatus(QStringLiteral("Processing..."),
                             QStringLiteral("\r\n") + (refresh ? QStringLiteral("Refreshing Scripts...")
                                                               : QStringLiteral("Generating Scripts...")));
    ctx.ResetCaches();
    ResetRunState(*ctx.DB1);
    ResetRunState(*ctx.DB2);
    // Every repeated pass has switched one more table to the rebuild, and that flag is never
    // cleared, so the passes end.
    ctx.Passes = 0;
    for (;;) {
        ++ctx.Passes;
        ScriptList scripts;
        if (GeneratePass(ctx, refresh, scripts)) return SortScripts(scripts);
    }
}

ScriptList SortScripts(const ScriptList& scripts) {
    static const QStringList typeOrder = {
        QStringLiteral("Permission"), QStringLiteral("Trigger"), QStringLiteral("Function"),
        QStringLiteral("Procedure"),  QStringLiteral("View"),    QStringLiteral("FTI"),
        QStringLiteral("Relation"),   QStringLiteral("Index"),   QStringLiteral("Check"),
        QStringLiteral("Default"),    QStringLiteral("Column"),  QStringLiteral("Table"),
        QStringLiteral("Type"),       QStringLiteral("Catalog"),    QStringLiteral("Role")};
    static const QStringList kindOrder = {QStringLiteral("RENAME"), QStringLiteral("RECREATE"),
                                          QStringLiteral("REDELETE"), QStringLiteral("CREATE"),
                                          QStringLiteral("CHANGE")};
    ScriptList result = SortScripts_Part(scripts, QStringLiteral("DELETE"), typeOrder, true);
    for (qsizetype i = typeOrder.size() - 1; i >= 0; --i) {
        ScriptList part = SortScripts_Part(scripts, typeOrder[i], kindOrder, false);
        result.insert(result.end(), part.begin(), part.end());
    }
    long index = 0;
    for (const ScriptPtr& script : result) script->Index = ++index;
    return result;
}

ScriptList SortScripts_Part(const ScriptList& scripts, const QString& key, const QStringList& others, bool byKind) {
    ScriptList bucket;
    if (byKind) {
        for (auto it = scripts.rbegin(); it != scripts.rend(); ++it)
            if (*it && Matches(**it, key)) bucket.push_back(*it);
    } else {
        for (const ScriptPtr& script : scripts)
            if (script && Matches(*script, key)) bucket.push_back(script);
    }
    ScriptList result;
    result.reserve(bucket.size());
    for (const QString& other : others)
        for (const ScriptPtr& script : bucket)
            if (Matches(*script, other)) result.push_back(script);
    return result;
}

QString GetTagString(const Tovimar_Script& script) {
    const QString base = QStringLiteral("10") + script.TableFullName();
    const QString name = script.ScriptedObj ? script.ScriptedObj->FullName(false) : QString();
    const QString& typ = script.Typ;
    if (Same(typ, QStringLiteral("Table"))) return QStringLiteral("10") + name;
    if (Same(typ, QStringLiteral("Column"))) {
        const auto* field = dynamic_cast<const Tovimar_Field*>(script.ScriptedObj);
        const int colId = field ? field->ColID : 0;
        return base + QStringLiteral("11_") + QStringLiteral("%1").arg(colId, 14, 10, QLatin1Char('0')) + name;
    }
    if (Same(typ, QStringLiteral("Index"))) {
        const auto* index = dynamic_cast<const Tovimar_Index*>(script.ScriptedObj);
        return base + (index && index->IsPrimaryKey ? QStringLiteral("12_1") : QStringLiteral("12_2")) + name;
    }
    static const QList<QPair<QString, QString>> codes = {
        {QStringLiteral("Default"), QStringLiteral("13")},   {QStringLiteral("Check"), QStringLiteral("14")},
        {QStringLiteral("Relation"), QStringLiteral("15")},  {QStringLiteral("Trigger"), QStringLiteral("16")},
        {QStringLiteral("View"), QStringLiteral("20")},      {QStringLiteral("Procedure"), QStringLiteral("30")},
        {QStringLiteral("Function"), QStringLiteral("40")},  {QStringLiteral("Role"), QStringLiteral("50")},
        {QStringLiteral("Permission"), QStringLiteral("60")}, {QStringLiteral("Catalog"), QStringLiteral("70")},
        {QStringLiteral("Type"), QStringLiteral("80")}};
    for (const auto& code : codes)
        if (Same(typ, code.first)) return base + code.second + name;
    return base + QStringLiteral("90") + name;
}

QString GetImageName(const QString& kind) {
    static const QList<QPair<QStringList, QString>> images = {
        {{QStringLiteral("Database"), QStringLiteral("Object"), QStringLiteral("Everything")}, QStringLiteral("SQLDatabase.bmp")},
        {{QStringLiteral("Include")}, QStringLiteral("SQLInclude.bmp")},
        {{QStringLiteral("Force Include")}, QStringLiteral("SQLIncludeForce.bmp")},
        {{QStringLiteral("Exclude")}, QStringLiteral("SQLExclude.bmp")},
        {{QStringLiteral("Force Exclude")}, QStringLiteral("SQLExcludeForce.bmp")},
        {{QStringLiteral("Filter")}, QStringLiteral("SQLFilter.bmp")},
        {{QStringLiteral("Table")}, QStringLiteral("SQLTable.bmp")},
        {{QStringLiteral("Column")}, QStringLiteral("SQLColumn.bmp")},
        {{QStringLiteral("Collation")}, QStringLiteral("SQLCollation.bmp")},
        {{QStringLiteral("User"), QStringLiteral("Role"), QStringLiteral("Grantee")}, QStringLiteral("SQLUser.bmp")},
        {{QStringLiteral("Index")}, QStringLiteral("SQLIndex.bmp")},
        {{QStringLiteral("Catalog"), QStringLiteral("FTI")}, QStringLiteral("SQLFTI.bmp")},
        {{QStringLiteral("Default")}, QStringLiteral("SQLDefault.bmp")},
        {{QStringLiteral("Check")}, QStringLiteral("SQLConstraint.bmp")},
        {{QStringLiteral("Relation")}, QStringLiteral("SQLRelation.bmp")},
        {{QStringLiteral("Trigger")}, QStringLiteral("SQLTrigger.bmp")},
        {{QStringLiteral("View")}, QStringLiteral("SQLView.bmp")},
        {{QStringLiteral("Procedure")}, QStringLiteral("SQLProc.bmp")},
        {{QStringLiteral("Function")}, QStringLiteral("SQLFunction.bmp")},
        {{QStringLiteral("FileGroup")}, QStringLiteral("SQLProc2.bmp")},
        {{QStringLiteral("Permission")}, QStringLiteral("SQLGrant.bmp")},
        {{QStringLiteral("Type")}, QStringLiteral("SQLType.bmp")},
        {{QStringLiteral("CREATE")}, QStringLiteral("SQLCreate.bmp")},
        {{QStringLiteral("RECREATE")}, QStringLiteral("SQLReCreate.bmp")},
        {{QStringLiteral("DELETE"), QStringLiteral("REDELETE")}, QStringLiteral("SQLDelete.bmp")},
        {{QStringLiteral("CHANGE")}, QStringLiteral("SQLModify.bmp")},
        {{QStringLiteral("RENAME")}, QStringLiteral("SQLRename.bmp")},
        {{QStringLiteral("Error")}, QStringLiteral("SQLError.bmp")}};
    for (const auto& image : images)
        if (image.first.contains(kind, Qt::CaseInsensitive)) return image.second;
    return QString();
}

QString PluralName(const QString& kind) {
    return kind + (Same(kind, QStringLiteral("Index")) ? QStringLiteral("es") : QStringLiteral("s"));
}

QString SetTempTableName(const Tovimar_Database& db, const QString& owner, const QString& baseName) {
    if (!db.Tables.Contains(QuoteName(owner, baseName))) return baseName;
    for (qint64 n = 1;; ++n) {
        const QString candidate = baseName + QString::number(n);
        if (!db.Tables.Contains(QuoteName(owner, candidate))) return candidate;
    }
}

QString CapText(const Tovimar_Database& db) {
    const Tovimar_Database* other = db.OtherObj();
    if (!other) return db.FullName() + QStringLiteral(" -> RECOMPILE");
    if (other->Name.isEmpty()) return db.FullName() + QStringLiteral(" -> CREATE SCRIPTS");
    return db.FullName() + QStringLiteral(" -> ") + other->FullName();
}

QString FileNamePart(const Tovimar_Database& db) {
    const Tovimar_Database* other = db.OtherObj();
    QString part;
    if (!other) part = db.FullName() + QStringLiteral("_RECOMPILE");
    else if (other->Name.isEmpty()) part = db.FullName() + QStringLiteral("_CREATE SCRIPTS");
    else part = db.FullName() + QStringLiteral("_to_") + other->FullName();
    return part.replace(QLatin1Char('\\'), QLatin1Char('$'));
}

Tovimar_Object* GetObjectByTag(const Tovimar_Database& db, const QString& tag) {
    const QStringList parts = tag.split(TagSeparator);
    auto missing = [&]() {
        return TovimarException(9, QStringLiteral("GetObjectByTag"), QStringLiteral("Subscript out of range"));
    };
    if (parts.size() >= 2 && Same(parts[0], QStringLiteral("Table"))) {
        const TablePtr table = db.Tables.Item(parts[1]);
        if (!table) throw missing();
        return table.get();
    }
    if (parts.size() >= 3 && Same(parts[0], QStringLiteral("Column"))) {
        const TablePtr table = db.Tables.Item(parts[2]);
        if (!table) throw missing();
        const FieldPtr field = table->Fields.Item(parts[1]);
        if (!field) throw missing();
        return field.get();
    }
    return nullptr;
}
