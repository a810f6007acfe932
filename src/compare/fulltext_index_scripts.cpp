// The full-text index of a table: its create, drop and change script, and the two texts that take
// the index (or one of its columns) out of the way before its key index or a column is dropped.
#include "compare/generators.h"

#include "schema/sql_text.h"

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString Literal(const QString& text) { return GetSQLValue(DbValue::FromString(text)); }

bool HasColumns(const std::optional<Collection<FieldPtr>>& columns) { return columns && columns->Count() > 0; }

}  // namespace

namespace {
QString ActivateSQL(const QString& name) {
    return QStringLiteral("IF ISNULL(OBJECTPROPERTY (OBJECT_ID(") + name +
           QStringLiteral(") , 'TableHasActiveFulltextIndex' ),0) = 0") + CrLf +
           QStringLiteral("  exec sp_fulltext_table ") + name + QStringLiteral(", 'Activate'");
}
}  // namespace

bool IsFTIActivationOnly(const Tovimar_Script& script) {
    const auto* table = dynamic_cast<const Tovimar_Table*>(script.ScriptedObj);
    return table && script.Typ == QLatin1String("FTI") && script.Action == QLatin1String("CHANGE") &&
           script.GetSQLCount() == 1 && script.Steps()[0].Pre.isEmpty() && script.Steps()[0].Post.isEmpty() &&
           script.Steps()[0].SQL == ActivateSQL(Literal(table->FullName()));
}

QString FTI_DeleteSQL(Tovimar_Table& table) {
    if (table.DeleteRecreate) return QString();
    table.FTI_DeleteRecreate = true;
    if (Tovimar_Table* other = table.OtherObj()) other->FTI_DeleteRecreate = true;
    const QString name = Literal(table.FullName());
    return QStringLiteral("IF OBJECTPROPERTY (OBJECT_ID(") + name + QStringLiteral(") , 'TableFulltextCatalogId' ) <> 0") +
           CrLf + QStringLiteral("  exec sp_fulltext_table ") + name + QStringLiteral(", 'drop'") + CrLf + CrLf;
}

QString FTI_DeleteSQLColumn(Tovimar_Table& table, Tovimar_Field& field) {
    if (table.DeleteRecreate || !field.FTI_Field) return QString();
    if (!table.FTI_ColumnsDropped) table.FTI_ColumnsDropped.emplace();
    if (!table.FTI_ColumnsDropped->Contains(field.Name)) {
        const FieldPtr* own = table.Fields.Find(field.FullName(false));
        if (own) table.FTI_ColumnsDropped->Add(*own, field.Name);
    }
    const QString name = Literal(table.FullName());
    return QStringLiteral("IF ISNULL(OBJECTPROPERTY (OBJECT_ID(") + name +
           QStringLiteral(") , 'TableHasActiveFulltextIndex' ),0) = 1") + CrLf + QStringLiteral("  exec sp_fulltext_table ") +
           name + QStringLiteral(", 'deactivate'") + CrLf + CrLf + QStringLiteral("IF ISNULL(OBJECTPROPERTY (OBJECT_ID(") +
           name + QStringLiteral(") , 'TableFulltextCatalogId' ),0) <> 0") + CrLf +
           QStringLiteral("  exec sp_fulltext_column ") + name + QLatin1Char(',') + Literal(field.Name) +
           QStringLiteral(", 'drop'") + CrLf + CrLf;
}

int GenerateFTIScript(Tovimar_Table& table, bool fromSource, ScriptList& scripts, Tovimar_Table* other,
                      GenerationContext& ctx) {
    if (!fromSource) return other ? GenerateFTIScript(*other, true, scripts, &table, ctx) : 0;

    // Compare against an empty table when there is no counterpart or the table is rebuilt.
    const Tovimar_Table* old = (!other || table.DeleteRecreate) ? nullptr : other;
    const QString oldCatalog = old ? old->FTI_Catalog : QString();
    const QString oldKey = old ? old->FTI_UniqueIndex : QString();
    const Collection<FieldPtr>* oldColumns = old && old->FTI_Columns ? &*old->FTI_Columns : nullptr;
    const Collection<FieldPtr>* oldDropped = old && old->FTI_ColumnsDropped ? &*old->FTI_ColumnsDropped : nullptr;
    const bool oldTracking = old && old->FTI_ChangeTracking;
    const bool oldBackground = old && old->FTI_BackgroundUpdate;
    const Tovimar_Database* db = table.Database();
    const Tovimar_Database* destDb = db ? (db->OtherObj() ? db->OtherObj() : db) : nullptr;
    const long version = destDb ? destDb->SrvVer : 0;

    const bool recreate = table.DeleteRecreate || table.FTI_DeleteRecreate;
    QString kind;
    if (!table.FTI_Catalog.isEmpty()) {
        if (recreate) kind = QStringLiteral("RECREATE");
        else if (oldCatalog.isEmpty()) kind = QStringLiteral("CREATE");
        else if (TextDiffers(table.FTI_Catalog, oldCatalog) || TextDiffers(table.FTI_UniqueIndex, oldKey))
            kind = QStringLiteral("CHANGE");
    } else {
        if (oldCatalog.isEmpty() || recreate) return 0;
        kind = QStringLiteral("DELETE");
    }

    const QString name = Literal(table.FullName());
    const QString dropStep = QStringLiteral("exec sp_fulltext_table ") + name + QStringLiteral(", 'drop'");
    const QString createStep = QStringLiteral("exec sp_fulltext_table ") + name + QStringLiteral(", 'create', ") +
                               Literal(table.FTI_Catalog) + QLatin1Char(',') + Literal(table.FTI_UniqueIndex);
    ScriptPtr script = NewScript(fromSource, QStringLiteral("FTI"), kind.isEmpty() ? QStringLiteral("CHANGE") : kind, table);
    bool deactivated = false;
    if (kind == QLatin1String("CREATE") || kind == QLatin1String("RECREATE")) {
        script->AddSQL(createStep);
    } else if (kind == QLatin1String("DELETE")) {
        script->AddSQL(dropStep);
    } else if (kind == QLatin1String("CHANGE")) {
        script->AddSQL(dropStep);
        script->AddSQL(createStep);
    } else {
        script->AddSQL(QStringLiteral("IF ISNULL(OBJECTPROPERTY (OBJECT_ID(") + name +
                       QStringLiteral(") , 'TableHasActiveFulltextIndex' ),0) = 1") + CrLf +
                       QStringLiteral("  exec sp_fulltext_table ") + name + QStringLiteral(", 'deactivate'"));
        deactivated = true;
    }

    const bool isDelete = kind == QLatin1String("DELETE");
    if (!isDelete && table.FTI_Columns) {
        for (const FieldPtr& field : *table.FTI_Columns) {
            FieldPtr oldField;
            if (kind.isEmpty()) {
                oldField = oldColumns ? oldColumns->Item(field->Name) : FieldPtr();
                const bool dropped = oldDropped && oldDropped->Contains(field->Name);
                if (oldField && !dropped && !TextDiffers(field->FTI_ImageTypeField, oldField->FTI_ImageTypeField) &&
                    (field->FTI_Language == oldField->FTI_Language || field->FTI_Language == -1 ||
                     oldField->FTI_Language == -1))
                    continue;
            }
            const QString column = Literal(field->Name);
            if (oldField)
                script->AddSQL(QStringLiteral("IF ISNULL(COLUMNPROPERTY (OBJECT_ID(") + name + QStringLiteral(") ,") + column +
                               QStringLiteral(", 'IsFulltextIndexed' ),0) = 1") + CrLf +
                               QStringLiteral("  exec sp_fulltext_column ") + name + QLatin1Char(',') + column +
                               QStringLiteral(", 'drop'"));
            QString add = QStringLiteral("exec sp_fulltext_column ") + name + QLatin1Char(',') + column + QStringLiteral(", 'add'");
            if (version >= 80 && field->FTI_Language != -1) add += QStringLiteral(", ") + QString::number(field->FTI_Language);
            if (version >= 80 && !field->FTI_ImageTypeField.isEmpty()) add += QStringLiteral(", ") + Literal(field->FTI_ImageTypeField);
            script->AddSQL(add);
        }
    }

    if ((kind.isEmpty() || kind == QLatin1String("CHANGE")) && oldColumns) {
        for (const FieldPtr& field : *oldColumns) {
            if (table.FTI_Columns && table.FTI_Columns->Contains(field->Name)) continue;
            const QString column = Literal(field->Name);
            script->AddSQL(QStringLiteral("IF ISNULL(COLUMNPROPERTY (OBJECT_ID(") + name + QStringLiteral(") ,") + column +
                           QStringLiteral(", 'IsFulltextIndexed' ),0) = 1") + CrLf +
                           QStringLiteral("exec sp_fulltext_column ") + name + QLatin1Char(',') + column +
                           QStringLiteral(", 'drop'"));
        }
    }

    const QString activate = ActivateSQL(name);
    if (deactivated && script->GetSQLCount() <= 1) {
        // Nothing changed at column level: only make sure that the index is active.
        script->ClearSQL();
        if (HasColumns(table.FTI_Columns) && oldColumns && oldColumns->Count() > 0) script->AddSQL(activate);
    } else if (!isDelete && HasColumns(table.FTI_Columns)) {
        script->AddSQL(activate);
    }

    if (!isDelete) {
        if (table.FTI_ChangeTracking != oldTracking)
            script->AddSQL(QStringLiteral("exec sp_fulltext_table ") + name +
                           (table.FTI_ChangeTracking ? QStringLiteral(", 'start_change_tracking'")
                                                     : QStringLiteral(", 'stop_change_tracking'")));
        if (table.FTI_BackgroundUpdate != oldBackground)
            script->AddSQL(QStringLiteral("exec sp_fulltext_table ") + name +
                           (table.FTI_BackgroundUpdate ? QStringLiteral(", 'Start_background_updateindex'")
                                                       : QStringLiteral(", 'Stop_background_updateindex'")));
    }

    if (script->GetSQLCount() == 0) return 0;
    scripts.push_back(script);
    return 1;
}
