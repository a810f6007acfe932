// Scripts for a table's indexes and its PRIMARY KEY and UNIQUE constraints (which the model holds
// as indexes with a constraint flag): create, drop, rename, and drop-and-create when the
// definition changed or the table is rebuilt.
#include "compare/generators.h"

#include "schema/sql_text.h"

namespace {

const QString CRLF = QStringLiteral("\r\n");

bool IsConstraint(const Tovimar_Index& index) { return index.IsPrimaryKey || index.IsUniqueConstraint; }

QString TableName(const Tovimar_Index& index) { return index.Table ? index.Table->FullName() : QString(); }

// "(" + the key columns, bracket-quoted, joined by "," without blanks + ")".
QString FieldListSQL(const Collection<QString>& names) {
    QStringList quoted;
    for (const QString& name : names) quoted << QuoteName(name);
    return QLatin1Char('(') + quoted.join(QLatin1Char(',')) + QLatin1Char(')');
}

// The index or key under name (its own unless the Destination keeps another one).
QString CreateIndexSQL(const Tovimar_Index& index, const QString& name) {
    QString text;
    QString with;  // options, each starting with ", "
    const QString fillFactor = QStringLiteral(", FILLFACTOR = ") + QString::number(index.IndexFillFactor);
    if (IsConstraint(index)) {
        text = QStringLiteral("ALTER TABLE ") + TableName(index) + CRLF + QStringLiteral("ADD CONSTRAINT ") +
               QuoteName(name) + (index.IsPrimaryKey ? QStringLiteral(" PRIMARY KEY") : QStringLiteral(" UNIQUE")) +
               (index.IsClustered ? QStringLiteral(" CLUSTERED") : QStringLiteral(" NONCLUSTERED")) + CRLF +
               FieldListSQL(index.FieldNames) + CRLF;
        if (index.IndexFillFactor > 0) with = fillFactor;
    } else {
        text = QStringLiteral("SET ARITHABORT ON") + CRLF + QStringLiteral("CREATE ") +
               (index.IsUnique ? QStringLiteral("UNIQUE ") : QString()) +
               (index.IsClustered ? QString() : QStringLiteral("NON")) + QStringLiteral("CLUSTERED INDEX ") +
               QuoteName(name) + QStringLiteral(" ON ") + TableName(index) + CRLF +
               FieldListSQL(index.FieldNames) + CRLF;
        // PAD_INDEX only means something together with a fill factor.
        if (index.IndexFillFactor > 0) {
            with = fillFactor;
            if (index.IsPadIndex) with += QStringLiteral(", PAD_INDEX");
        }
        if (index.IgnoreDupKey) with += QStringLiteral(", IGNORE_DUP_KEY");
        if (index.Statistics_NoRecompute) with += QStringLiteral(", STATISTICS_NORECOMPUTE");
    }
    if (!with.isEmpty()) text += QStringLiteral("WITH ") + with.mid(2) + QLatin1Char(' ');
    if (index.IsFileGroupsIncluded()) text += QStringLiteral("ON ") + QuoteName(index.FileGroupName);
    return text;
}

bool IndexDiffers(const Tovimar_Index& index, const Tovimar_Index& other) {
    const bool fillFactorsDiffer =
        index.FillFactorKnown && other.FillFactorKnown && index.IndexFillFactor != other.IndexFillFactor;
    return index.IsUnique != other.IsUnique || fillFactorsDiffer ||
           index.IsPadIndex != other.IsPadIndex || index.IgnoreDupKey != other.IgnoreDupKey ||
           index.Statistics_NoRecompute != other.Statistics_NoRecompute ||
           (index.IsFileGroupsIncluded() && TextDiffers(index.FileGroupName, other.FileGroupName)) ||
           index.IsPrimaryKey != other.IsPrimaryKey || index.IsClustered != other.IsClustered ||
           index.IsUniqueConstraint != other.IsUniqueConstraint || FieldNamesDiffer(index.FieldNames, other.FieldNames);
}

}  // namespace

QString Create_Delete(Tovimar_Index& index) {
    QString text;
    Tovimar_Table* table = index.Table;
    // The key index of a full-text index cannot go while the full-text index exists.
    if (table && !table->FTI_UniqueIndex.isEmpty() && !TextDiffers(table->FTI_UniqueIndex, index.Name))
        text = FTI_DeleteSQL(*table);
    if (IsConstraint(index))
        text += QStringLiteral("ALTER TABLE ") + TableName(index) + CRLF + QStringLiteral("DROP CONSTRAINT ") +
                QuoteName(index.Name);
    else
        text += QStringLiteral("DROP INDEX ") + TableName(index) + QLatin1Char('.') + QuoteName(index.Name);
    return text;
}

bool IndexUnchanged(const Tovimar_Index& index) {
    const Tovimar_Index* other = index.OtherObj();
    return index.Table && other && !RenameConstraint(index, *other) && !IndexDiffers(index, *other);
}

int GenerateScript(Tovimar_Index& index, bool fromSource, ScriptList& scripts, GenerationContext& ctx) {
    if (!index.Table) return 0;
    const QString typ = QStringLiteral("Index");
    const bool repeatable = index.IsClustered || index.IsPrimaryKey;
    Tovimar_Index* other = index.OtherObj();

    if (!other) {
        if (fromSource) {
            ScriptPtr script = NewScript(true, typ, QStringLiteral("CREATE"), index);
            script->AddSQL(CreateIndexSQL(index, index.Name));
            script->Repeatable = repeatable;
            scripts.push_back(script);
        } else {
            // The foreign keys that reference a key block its drop: they are dropped first and
            // re-created after it (those that survive, on the key that replaces it).
            ScriptPtr script = NewScript(false, typ, QStringLiteral("DELETE"), index);
            if (IsConstraint(index)) DropReferencingRelations(*index.Table, *script, scripts, ctx, &index);
            script->AddSQL(Create_Delete(index));
            scripts.push_back(script);
            if (IsConstraint(index)) return 1 + RecreateReferencingRelations(*index.Table, scripts, ctx, &index);
        }
        return 1;
    }

    int count = 0;
    const bool rebuilt = index.Table->DeleteRecreate;
    const bool changed = IndexDiffers(index, *other);
    if (RenameConstraint(index, *other) && !changed && !rebuilt) {
        ScriptPtr script = NewScript(fromSource, typ, QStringLiteral("RENAME"), index);
        script->AddSQL(RenameSQL(index.Table->FullName() + QLatin1Char('.') + QuoteName(other->Name), index.Name,
                                 QStringLiteral("INDEX")));
        scripts.push_back(script);
        ++count;
    }
    if (changed || rebuilt) {
        ScriptPtr script =
            NewScript(fromSource, typ, changed ? QStringLiteral("CHANGE") : QStringLiteral("RECREATE"), index);
        // A rebuilt table has lost its old indexes already: only the create step remains.
        const bool keyReplaced = !rebuilt && IsConstraint(*other) && other->Table;
        if (keyReplaced) DropReferencingRelations(*other->Table, *script, scripts, ctx, other);
        if (!rebuilt) script->AddSQL(Create_Delete(*other));
        script->AddSQL(CreateIndexSQL(index, DestinationConstraintName(index, *other)));
        script->Repeatable = repeatable;
        scripts.push_back(script);
        ++count;
        if (keyReplaced) count += RecreateReferencingRelations(*other->Table, scripts, ctx, other);
    }
    return count;
}
