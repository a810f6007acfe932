// Column scripts: add, drop and rename a column. Every other change of a column, and every column
// added in front of an existing one, is carried out by rebuilding the table: the generator marks
// the table for the rebuild and from then on writes its own statements as comments that document
// the change.
#include "compare/generators.h"

#include "schema/sql_text.h"

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString IdentityClause(const Tovimar_Field& field) {
    if (!field.Identity) return QString();
    QString text = QStringLiteral(" IDENTITY (%1, %2)").arg(field.IdentitySeed).arg(field.IdentityIncr);
    if (field.IdentityNoRepl) text += QStringLiteral(" NOT FOR REPLICATION");
    return text;
}

QString CollateClause(const Tovimar_Field& field, const Tovimar_Table& table) {
    if (field.Collation.isEmpty() || !table.IsCollationsIncluded()) return QString();
    return QStringLiteral(" COLLATE ") + field.Collation;
}

QString NullClause(const Tovimar_Field& field) {
    return field.CanBeNull ? QStringLiteral(" NULL") : QStringLiteral(" NOT NULL");
}

QString AddColumnSQL(const Tovimar_Field& field, const Tovimar_Table& table, const QString& alterPrefix) {
    QString text = alterPrefix + QStringLiteral("ADD ") + field.FullName(false);
    if (!field.Formula.isEmpty()) return text + QStringLiteral(" AS ") + field.Formula;
    text += QLatin1Char(' ') + field.DataTypeText(true) + IdentityClause(field);
    if (field.IsRowGUID) text += QStringLiteral(" ROWGUIDCOL");
    text += CollateClause(field, table) + NullClause(field);
    if (field.Default)
        text += QStringLiteral(" CONSTRAINT ") + QuoteName(field.Default->Name) + QStringLiteral(" DEFAULT ") +
                field.Default->Value;
    return text;
}

// A statement that only documents a change the table rebuild makes: written inside a block comment
// with its text made inert, so that no name or default in it can end the comment and run.
QString Wrap(bool wrap, const QString& sql) {
    if (!wrap) return sql;
    return CrLf + QStringLiteral("/* Comment:") + BlockCommentText(sql) + QStringLiteral("*/") + CrLf;
}

QString AlterColumnSQL(const Tovimar_Field& field, const Tovimar_Field& other, const Tovimar_Table& table,
                       const QString& alterPrefix, bool diffViewMode) {
    QString text = alterPrefix + QStringLiteral("ALTER COLUMN ") + field.FullName(false);
    if (!field.Formula.isEmpty()) {
        text += QStringLiteral(" AS ") + field.Formula;
    } else {
        text += QLatin1Char(' ') + field.DataTypeText(true) + IdentityClause(field);
        if (field.IsRowGUID) text += QStringLiteral(" ROWGUIDCOL");
        text += CollateClause(field, table) + NullClause(field);
        if (field.IsRowGUID) text += QStringLiteral(" ADD ROWGUIDCOL");
        else if (other.IsRowGUID) text += QStringLiteral(" DROP ROWGUIDCOL");
    }
    if (diffViewMode) return text;
    return CrLf + QStringLiteral("/* Comment: ") + BlockCommentText(text) + CrLf + QStringLiteral("*/");
}

bool ColumnChanged(const Tovimar_Field& field, const Tovimar_Field& other, const Tovimar_Table& table) {
    return TextDiffers(field.DataType, other.DataType) || field.DataSize != other.DataSize ||
           field.DataPrecision != other.DataPrecision || field.DataDecimals != other.DataDecimals ||
           field.CanBeNull != other.CanBeNull || field.IsRowGUID != other.IsRowGUID ||
           field.Identity != other.Identity || field.IdentityNoRepl != other.IdentityNoRepl ||
           field.IdentitySeed != other.IdentitySeed || field.IdentityIncr != other.IdentityIncr ||
           (table.IsCollationsIncluded() && TextDiffers(field.Collation, other.Collation)) ||
           TextDiffers(field.Formula, other.Formula);
}

// More dropped columns than this switch a table to the rebuild.
constexpr int MaxDroppedColumns = 3;

// Switches the table (and its counterpart) to the rebuild and asks the driver for a new pass.
void SwitchToRebuild(Tovimar_Table& table, GenerationContext& ctx) {
    if (table.DeleteRecreate) return;
    table.DeleteRecreate = true;
    if (Tovimar_Table* other = table.OtherObj()) other->DeleteRecreate = true;
    ctx.Regenerate = true;
}

void AddScript(ScriptList& scripts, bool fromSource, const QString& action, Tovimar_Field& field, const QString& sql) {
    ScriptPtr script = NewScript(fromSource, QStringLiteral("Column"), action, field);
    script->AddSQL(sql);
    scripts.push_back(script);
}

}  // namespace

int GenerateScript(Tovimar_Field& field, bool fromSource, ScriptList& scripts, GenerationContext& ctx) {
    Tovimar_Table* table = field.Table();
    if (!table) return 0;
    // Built only for a column that gets a script: most columns of a large comparison get none.
    const auto alterPrefix = [table] { return QStringLiteral("ALTER TABLE ") + table->FullName() + CrLf; };
    const bool wrap = !ctx.DiffViewMode && table->DeleteRecreate;

    Tovimar_Field* other = field.OtherObj();
    if (!other && fromSource) {
        ++table->FieldsAppended;
        AddScript(scripts, fromSource, QStringLiteral("CREATE"), field, Wrap(wrap, AddColumnSQL(field, *table, alterPrefix())));
        return 1;
    }
    if (!other) {
        ++table->FieldsDropped;
        AddScript(scripts, fromSource, QStringLiteral("DELETE"), field,
                  Wrap(wrap, FTI_DeleteSQLColumn(*table, field) + alterPrefix() + QStringLiteral("DROP COLUMN ") +
                                 field.FullName(false)));
        // The fourth dropped column of a table switches it to the rebuild.
        if (table->FieldsDropped > MaxDroppedColumns) SwitchToRebuild(*table, ctx);
        return 1;
    }

    int count = 0;
    const bool changed = ColumnChanged(field, *other, *table);
    const bool renamed = TextDiffers(other->Name, field.Name);
    if (renamed && (!changed || !table->DeleteRecreate)) {
        AddScript(scripts, fromSource, QStringLiteral("RENAME"), field,
                  Wrap(wrap, RenameSQL(table->FullName() + QLatin1Char('.') + QuoteName(other->Name), field.Name,
                                       QStringLiteral("COLUMN"))));
        ++count;
    }
    // A changed column, or one behind a column added in this pass (the new column would not be the
    // last one), needs the table rebuilt.
    if (changed || table->FieldsAppended + table->FieldsDropped > 0) SwitchToRebuild(*table, ctx);
    if (changed) {
        AddScript(scripts, fromSource, QStringLiteral("CHANGE"), field,
                  AlterColumnSQL(field, *other, *table, alterPrefix(), ctx.DiffViewMode));
        ++count;
    }
    return count;
}

ColumnRebuild ColumnsSwitchToRebuild(const Tovimar_Table& table, const Tovimar_Table& other) {
    // The generator counts on the table its columns name as theirs: a column of another table
    // would count there, which is left to the generator itself.
    ColumnRebuild result;
    int appended = 0;
    bool renamed = false;
    for (const FieldPtr& field : table.Fields) {
        if (!field) continue;
        if (field->Table() != &table) return {};
        const Tovimar_Field* counterpart = field->OtherObj();
        if (!counterpart) ++appended;
        else if (appended > 0 || ColumnChanged(*field, *counterpart, table)) result.BySource = true;
        else if (!renamed) renamed = TextDiffers(counterpart->Name, field->Name);
    }
    int dropped = 0;
    for (const FieldPtr& field : other.Fields) {
        if (!field || field->OtherObj()) continue;
        if (field->Table() != &other) return {};
        ++dropped;
    }
    result.ByDestination = dropped > MaxDroppedColumns;
    result.Unchanged = appended == 0 && dropped == 0 && !result.BySource && !renamed;
    return result;
}
