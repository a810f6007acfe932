// Table scripts: create, drop, rename, the rebuild through a temporary table with its row copy and
// data copy, and the full-text index script. The table generator also drives the scripts of the
// table's columns, checks, triggers, defaults, indexes and relations so that the scripts of one
// table come out together.
#include "compare/generation_driver.h"
#include "compare/generators.h"

#include "platform/tovimar_exception.h"
#include "schema/sql_text.h"

#include <QRegularExpression>
#include <QSet>

namespace {

const QString CrLf = QStringLiteral("\r\n");

bool IsLengthType(const QString& type) {
    static const QStringList types = {QStringLiteral("char"),  QStringLiteral("varchar"), QStringLiteral("binary"),
                                      QStringLiteral("varbinary"), QStringLiteral("nchar"), QStringLiteral("nvarchar")};
    return types.contains(type, Qt::CaseInsensitive);
}

bool IsScaleType(const QString& type) {
    return type.compare(QLatin1String("numeric"), Qt::CaseInsensitive) == 0 ||
           type.compare(QLatin1String("decimal"), Qt::CaseInsensitive) == 0;
}

// Moves the complete text of the last n scripts of scripts, oldest first, into script as one step
// each, and removes them from the list.
void MergeScripts(size_t n, Tovimar_Script& script, ScriptList& scripts) {
    if (n == 0 || n > scripts.size()) return;
    const auto first = scripts.end() - static_cast<std::ptrdiff_t>(n);
    for (auto it = first; it != scripts.end(); ++it) script.AddSQL((*it)->GetSQL(0, true));
    scripts.erase(first, scripts.end());
}

Tovimar_Field* IdentityField(const Tovimar_Table& table) {
    for (const FieldPtr& field : table.Fields)
        if (field->Identity || field->IdentityNoRepl) return field.get();
    return nullptr;
}

// The type a copied column is converted to: CONVERT takes no user-defined type, so such a
// column converts to the type's system type.
QString ConvertTypeText(const Tovimar_Field& field) {
    const Tovimar_Database* db = field.Database();
    const TypePtr type = db ? db->Types.Item(QuoteName(field.DataType)) : TypePtr();
    if (!type) return field.DataTypeText(true);
    return FormatDataType(true, type->BaseType, static_cast<int>(type->DataPrecision),
                          static_cast<int>(type->DataDecimals));
}

// The target (or source) column list of the row copy from the old table.
QString CopyFieldList(const Tovimar_Table& table, bool forTarget, const GenerationContext& ctx) {
    QStringList list;
    for (const FieldPtr& field : table.Fields) {
        const Tovimar_Field* other = field->OtherObj();
        if (!other || !field->Formula.isEmpty() ||
            field->DataType.compare(QLatin1String("timestamp"), Qt::CaseInsensitive) == 0)
            continue;
        if (forTarget) list << QuoteName(field->Name);
        else if (ctx.IgnoreDataLoss)
            list << QStringLiteral("CONVERT(") + ConvertTypeText(*field) + QStringLiteral(", ") +
                        QuoteName(other->Name) + QLatin1Char(')');
        else list << QuoteName(other->Name);
    }
    return list.join(QStringLiteral(", "));
}

// The condition of a data copy definition: the trimmed text after its first line break.
QString DataCopyCondition(const QString& definition) {
    const qsizetype pos = definition.indexOf(CrLf);
    return pos < 0 ? QString() : definition.mid(pos + 2).trimmed();
}

// Old rows that a data copy definition supplies again are not kept: " WHERE CASE WHEN (...) THEN 1
// ELSE 0 END = 0", which keeps the rows where a condition is NULL; "-" when a definition copies
// every row; empty without definitions.
QString DataCopyKeepFilter(const Tovimar_Table& table) {
    QString any;
    for (const QString& definition : table.DataCopyDefs) {
        const QString condition = DataCopyCondition(definition);
        if (condition.isEmpty()) return QStringLiteral("-");
        any += QStringLiteral(" OR (") + condition + QLatin1Char(')');
    }
    if (any.isEmpty()) return QString();
    return QStringLiteral(" WHERE CASE WHEN ") + any.mid(4) + QStringLiteral(" THEN 1 ELSE 0 END = 0");
}

// A column name as the data copy writes it in its INSERT column list: as the Source returned it,
// bracket-quoted only when it is not a regular identifier (a blank, a bracket, a leading digit,
// a reserved word), so that such a column does not break the statement.
QString InsertColumnName(const QString& name) {
    static const QRegularExpression regular(QStringLiteral("^[A-Za-z_@#][A-Za-z0-9_@#$]*$"));
    static const QSet<QString> reserved = [] {
        const char* words =
            "ADD ALL ALTER AND ANY AS ASC AUTHORIZATION BACKUP BEGIN BETWEEN BREAK BROWSE BULK BY CASCADE CASE "
            "CHECK CHECKPOINT CLOSE CLUSTERED COALESCE COLLATE COLUMN COMMIT COMPUTE CONSTRAINT CONTAINS "
            "CONTAINSTABLE CONTINUE CONVERT CREATE CROSS CURRENT CURRENT_DATE CURRENT_TIME CURRENT_TIMESTAMP "
            "CURRENT_USER CURSOR DATABASE DBCC DEALLOCATE DECLARE DEFAULT DELETE DENY DESC DISK DISTINCT "
            "DISTRIBUTED DOUBLE DROP DUMMY DUMP ELSE END ERRLVL ESCAPE EXCEPT EXEC EXECUTE EXISTS EXIT FETCH "
            "FILE FILLFACTOR FOR FOREIGN FREETEXT FREETEXTTABLE FROM FULL FUNCTION GOTO GRANT GROUP HAVING "
            "HOLDLOCK IDENTITY IDENTITY_INSERT IDENTITYCOL IF IN INDEX INNER INSERT INTERSECT INTO IS JOIN KEY "
            "KILL LEFT LIKE LINENO LOAD NATIONAL NOCHECK NONCLUSTERED NOT NULL NULLIF OF OFF OFFSETS ON OPEN "
            "OPENDATASOURCE OPENQUERY OPENROWSET OPENXML OPTION OR ORDER OUTER OVER PERCENT PLAN PRECISION "
            "PRIMARY PRINT PROC PROCEDURE PUBLIC RAISERROR READ READTEXT RECONFIGURE REFERENCES REPLICATION "
            "RESTORE RESTRICT RETURN REVOKE RIGHT ROLLBACK ROWCOUNT ROWGUIDCOL RULE SAVE SCHEMA SELECT "
            "SESSION_USER SET SETUSER SHUTDOWN SOME STATISTICS SYSTEM_USER TABLE TEXTSIZE THEN TO TOP TRAN "
            "TRANSACTION TRIGGER TRUNCATE TSEQUAL UNION UNIQUE UPDATE UPDATETEXT USE USER VALUES VARYING VIEW "
            "WAITFOR WHEN WHERE WHILE WITH WRITETEXT";
        QSet<QString> set;
        for (const QString& word : QString::fromLatin1(words).split(QLatin1Char(' '))) set.insert(word);
        return set;
    }();
    if (regular.match(name).hasMatch() && !reserved.contains(name.toUpper())) return name;
    return QuoteName(name);
}

QString InsertValuesSQL(const QString& tableName, const QString& columns, const QString& values) {
    return QStringLiteral("INSERT INTO ") + tableName + CrLf + QLatin1Char('(') + columns + QLatin1Char(')') + CrLf +
           QStringLiteral("VALUES (") + values + QLatin1Char(')');
}

// The Source rows selected by the data copy definitions, as INSERT statements into tableName.
QString DataCopySQL(const Tovimar_Table& table, const QString& tableName, bool hasIdentity, GenerationContext& ctx) {
    QString result;
    QString earlier;  // " OR (c1) OR (c2) ..."
    bool identityOn = false;
    for (const QString& definition : table.DataCopyDefs) {
        const QString text = QLatin1Char(' ') + definition;
        const qsizetype pos = text.indexOf(CrLf);
        const QString excludedList = pos < 0 ? text : text.left(pos);
        const QString condition = pos < 0 ? QString() : text.mid(pos + 2).trimmed();
        QString effective = condition;
        if (!condition.isEmpty()) {
            if (!earlier.isEmpty())
                effective = QLatin1Char('(') + condition + QStringLiteral(") AND NOT (") + earlier.mid(4) + QLatin1Char(')');
            earlier += QStringLiteral(" OR (") + condition + QLatin1Char(')');
        }
        const Collection<QString> excluded = ParseFieldList(excludedList);
        const QString query = QStringLiteral("SELECT * FROM ") + table.FullName() +
                              (condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + effective);
        SourceRows rows;
        try {
            if (!ctx.SourceData)
                throw TovimarException(3709, QStringLiteral("DataCopySQL"),
                                       QStringLiteral("The Source database has no connection"));
            rows = ctx.SourceData->Query(query);
        } catch (const TovimarException&) {
            // The failure shows when the script runs on the Destination.
            return QStringLiteral("RAISERROR ('Invalid DataCopy Where Clause: %s',18,1,") + QuoteUnicodeString(condition) +
                   QLatin1Char(')');
        }
        QList<int> copied;
        QStringList columnNames;
        if (!rows.Rows.isEmpty()) {
            for (int i = 0; i < rows.ColumnNames.size(); ++i) {
                const QString& name = rows.ColumnNames[i];
                const FieldPtr field = table.Fields.Item(QuoteName(name));
                // Computed columns take no values.
                if (rows.ColumnTypes.value(i) == ProviderTypeBinary || excluded.Contains(QuoteName(name)) ||
                    (field && !field->Formula.isEmpty()))
                    continue;
                copied << i;
                columnNames << InsertColumnName(name);
                if (field && field->Identity && hasIdentity) identityOn = true;
            }
        }
        QString part;
        if (hasIdentity)
            part = QStringLiteral("SET IDENTITY_INSERT ") + tableName +
                   (identityOn ? QStringLiteral(" ON") : QStringLiteral(" OFF")) + CrLf;
        const QString columns = columnNames.join(QLatin1Char(','));
        for (const QList<DbValue>& row : rows.Rows) {
            QStringList values;
            for (int i : copied) values << GetSQLValue(row.value(i));
            part += InsertValuesSQL(tableName, columns, values.join(QLatin1Char(','))) + CrLf;
        }
        result += part;
    }
    return result;
}

// A name for the temporary table: "Tmp_" + the table's name, cut so that a number still fits in
// 128 characters, numbered until no table, view, procedure or function of the owner in either
// database uses it.
QString TempTableName(const Tovimar_Table& table) {
    const QString base = (QStringLiteral("Tmp_") + table.Name).left(118);
    const Tovimar_Database* db = table.Database();
    const Tovimar_Database* other = db ? db->OtherObj() : nullptr;
    auto used = [&](const QString& name) {
        const QString full = QuoteName(table.Owner, name);
        for (const Tovimar_Database* d : {db, other})
            if (d && (d->Tables.Contains(full) || d->Views.Contains(full) || d->Procedures.Contains(full) ||
                      d->Functions.Contains(full)))
                return true;
        return false;
    };
    QString name = base;
    for (qint64 n = 1; used(name); ++n) name = base + QString::number(n);
    return name;
}

// The rebuild: a new table under a temporary name, the old rows copied into it (and Source rows
// added by the data copy), the old table dropped and the new one renamed. Returns the number of
// scripts that remain in scripts.
int GenerateRecreateScript(Tovimar_Table& table, bool fromSource, QString kind, ScriptList& scripts,
                           GenerationContext& ctx) {
    const size_t startCount = scripts.size();
    if (kind.isEmpty()) kind = QStringLiteral("CHANGE");
    ScriptPtr script = NewScript(fromSource, QStringLiteral("Table"), kind, table);
    script->AddSQL(QStringLiteral("BEGIN TRANSACTION\r\nSET QUOTED_IDENTIFIER ON\r\n"
                                  "SET TRANSACTION ISOLATION LEVEL SERIALIZABLE\r\nCOMMIT\r\nBEGIN TRANSACTION"));
    Tovimar_Table* old = table.OtherObj();
    if (old) {
        const size_t before = scripts.size();
        old->InGenerateTemp = true;
        try {
            GenerateDeleteScripts(old->Relations, scripts, ctx);
            GenerateDeleteScripts(old->Defaults, scripts, ctx);
        } catch (...) {
            old->InGenerateTemp = false;
            throw;
        }
        old->InGenerateTemp = false;
        MergeScripts(scripts.size() - before, *script, scripts);
        DropReferencingRelations(*old, *script, scripts, ctx);
        GenerateScripts(table.Fields, old->Fields, scripts, ctx);
    }
    const QString tmp = QuoteName(table.Owner, TempTableName(table));
    QString tmpName = tmp;
    script->AddSQL(CreateTableSQL(table, tmpName, ctx, old));
    const Tovimar_Field* identity = IdentityField(table);
    if (identity && (identity->OtherObj() || !old))
        script->AddSQL(QStringLiteral("SET IDENTITY_INSERT ") + tmp + QStringLiteral(" ON"));
    if (old) {
        const QString targets = CopyFieldList(table, true, ctx);
        const QString sources = CopyFieldList(table, false, ctx);
        if (!targets.isEmpty()) {
            const QString keep = DataCopyKeepFilter(table);
            if (keep != QLatin1String("-")) {
                const QString insert = QStringLiteral("INSERT INTO ") + tmp + QStringLiteral(" (") + targets +
                                       QLatin1Char(')') + CrLf + QStringLiteral("SELECT ") + sources +
                                       QStringLiteral(" FROM ") + old->FullName() + QStringLiteral(" TABLOCKX ") + keep;
                script->AddSQL(QStringLiteral("IF EXISTS(SELECT * FROM ") + old->FullName() + QLatin1Char(')') + CrLf +
                               QStringLiteral("EXEC( ") + QuoteUnicodeString(insert) + QLatin1Char(')'));
            }
        }
    }
    if (table.DataCopyDefs.Count() > 0) {
        const QString copy = DataCopySQL(table, tmp, identity != nullptr, ctx);
        if (!copy.isEmpty()) script->AddSQL(copy);
    }
    if (identity) script->AddSQL(QStringLiteral("SET IDENTITY_INSERT ") + tmp + QStringLiteral(" OFF"));
    if (old) script->AddSQL(QStringLiteral("DROP TABLE ") + old->FullName());
    script->AddSQL(RenameSQL(tmp, table.Name, QStringLiteral("OBJECT")));
    GenerateScripts(table.Checks, EmptyCollection<CheckPtr>(), scripts, ctx);
    GenerateScripts(table.Indexes, EmptyCollection<IndexPtr>(), scripts, ctx);
    GenerateScripts(table.Relations, EmptyCollection<RelationPtr>(), scripts, ctx);
    if (old) {
        GenerateScripts(EmptyCollection<RelationPtr>(), old->Relations, scripts, ctx);
        RecreateReferencingRelations(*old, scripts, ctx);
    }
    GenerateScripts(table.Triggers, EmptyCollection<TriggerPtr>(), scripts, ctx);
    script->AddSQL(QStringLiteral("COMMIT"));
    scripts.push_back(script);
    GenerateFTIScript(table, fromSource, scripts, nullptr, ctx);
    return static_cast<int>(scripts.size() - startCount);
}

}  // namespace

namespace {

// A table that moves to other file groups (when they are compared) is rebuilt.
bool FileGroupsMove(const Tovimar_Table& table, const Tovimar_Table& other) {
    return table.IsFileGroupsIncluded() && (TextDiffers(other.TextFileGroupName, table.TextFileGroupName) ||
                                            TextDiffers(other.FileGroupName, table.FileGroupName));
}

// The foreign keys that point to table: of other tables only, or, with a key, those of every table
// (self-references too) whose referenced columns are the key's.
std::vector<Tovimar_Relation*> RelationsPointingTo(const Tovimar_Table& table, const Tovimar_Index* key,
                                                   GenerationContext& ctx) {
    std::vector<Tovimar_Relation*> relations = ctx.ReferencingRelations(table);
    if (!key) return relations;
    for (const RelationPtr& relation : table.Relations)
        if (relation->PrimaryTable == &table) relations.push_back(relation.get());
    QStringList keyColumns;
    for (const QString& name : key->FieldNames) keyColumns << name;
    std::erase_if(relations, [&](const Tovimar_Relation* relation) {
        if (relation->PrimaryFieldNames.Count() != key->FieldNames.Count()) return true;
        for (const QString& name : relation->PrimaryFieldNames)
            if (!keyColumns.contains(name, Qt::CaseInsensitive)) return true;
        return false;
    });
    return relations;
}

}  // namespace

void DropReferencingRelations(const Tovimar_Table& table, Tovimar_Script& script, ScriptList& scripts,
                              GenerationContext& ctx, const Tovimar_Index* key) {
    for (Tovimar_Relation* relation : RelationsPointingTo(table, key, ctx)) {
        const size_t before = scripts.size();
        GenerateScript(*relation, false, scripts, ctx, true, false);
        MergeScripts(scripts.size() - before, script, scripts);
    }
}

int RecreateReferencingRelations(const Tovimar_Table& table, ScriptList& scripts, GenerationContext& ctx,
                                 const Tovimar_Index* key) {
    int count = 0;
    for (Tovimar_Relation* relation : RelationsPointingTo(table, key, ctx))
        count += GenerateScript(*relation, false, scripts, ctx, false, true);
    return count;
}

Collection<QString> ParseFieldList(const QString& list) {
    Collection<QString> names;
    QStringList literals;
    const QString masked = MaskBracketedNames(list, literals);
    for (const QString& piece : masked.split(QLatin1Char(','))) {
        QString name = RestoreMasked(piece.trimmed(), literals);
        if (name.isEmpty()) continue;
        if (!(name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))) name = QuoteName(name);
        if (!names.Contains(name)) names.Add(name, name);
    }
    return names;
}

QString CreateTableSQL(Tovimar_Table& table, QString& tableName, const GenerationContext&, const Tovimar_Table* rebuilt) {
    if (tableName.isEmpty()) tableName = table.FullName();
    const bool collations = table.IsCollationsIncluded();
    bool hasTextImage = false;
    QString text = QStringLiteral("CREATE TABLE ") + tableName + QStringLiteral(" (") + CrLf;
    bool first = true;
    for (const FieldPtr& field : table.Fields) {
        if (!first) text += u", \r\n";
        first = false;
        text += QuoteName(field->Name);
        if (!field->Formula.isEmpty()) {
            text += QStringLiteral(" AS ") + field->Formula;
        } else {
            text += QuoteName(field->DataType);
            if (IsLengthType(field->DataType)) {
                text += u" (";
                text += QString::number(field->DataPrecision);
                text += QLatin1Char(')');
            } else if (IsScaleType(field->DataType)) {
                text += u" (";
                text += QString::number(field->DataPrecision);
                text += u", ";
                text += QString::number(field->DataDecimals);
                text += QLatin1Char(')');
            }
            if (field->Identity) {
                text += u" IDENTITY (";
                text += QString::number(field->IdentitySeed);
                text += u", ";
                text += QString::number(field->IdentityIncr);
                text += QLatin1Char(')');
                if (field->IdentityNoRepl) text += QStringLiteral(" NOT FOR REPLICATION");
            }
            if (field->IsRowGUID) text += QStringLiteral(" ROWGUIDCOL");
            // A rebuild keeps the Destination column's collation when collations are not compared.
            const Tovimar_Field* oldField = rebuilt ? field->OtherObj() : nullptr;
            const QString collation = collations || field->Collation.isEmpty() ? field->Collation
                                      : oldField                             ? oldField->Collation
                                                                             : QString();
            if (!collation.isEmpty() && (collations || rebuilt)) text += QStringLiteral(" COLLATE ") + collation;
            static const QStringList textImage = {QStringLiteral("text"), QStringLiteral("ntext"), QStringLiteral("image")};
            if (textImage.contains(field->DataType, Qt::CaseInsensitive)) hasTextImage = true;
            text += field->CanBeNull ? QStringLiteral(" NULL") : QStringLiteral(" NOT NULL");
        }
        if (field->Default)
            text += QStringLiteral(" CONSTRAINT ") + QuoteName(field->Default->Name) + QStringLiteral(" DEFAULT ") +
                    field->Default->Value;
    }
    text += CrLf + QLatin1Char(')');
    // A rebuild keeps the Destination table's file groups when file groups are not compared.
    const Tovimar_Table* storage = table.IsFileGroupsIncluded() ? &table : rebuilt;
    if (storage && !storage->FileGroupName.isEmpty()) {
        text += QStringLiteral(" ON ") + QuoteName(storage->FileGroupName);
        if ((storage == &table || hasTextImage) && !storage->TextFileGroupName.isEmpty() &&
            TextDiffers(storage->TextFileGroupName, storage->FileGroupName))
            text += QStringLiteral(" TEXTIMAGE_ON ") + QuoteName(storage->TextFileGroupName);
    }
    return text;
}

int GenerateScript(Tovimar_Table& table, bool fromSource, ScriptList& scripts, GenerationContext& ctx) {
    table.FTI_ColumnsDropped.emplace();
    table.FieldsAppended = 0;
    table.FieldsDropped = 0;
    if (!table.ObjectIncluded) return 0;
    const QString typ = QStringLiteral("Table");
    Tovimar_Table* other = table.OtherObj();
    int count = 0;

    if (!other && fromSource) {
        if (table.DataCopyDefs.Count() > 0) return GenerateRecreateScript(table, fromSource, QStringLiteral("CREATE"), scripts, ctx);
        ScriptPtr script = NewScript(fromSource, typ, QStringLiteral("CREATE"), table);
        QString name;
        script->AddSQL(CreateTableSQL(table, name, ctx));
        scripts.push_back(script);
        count = 1;
        // Column defaults are part of the CREATE TABLE text.
        count += GenerateScripts(table.Checks, EmptyCollection<CheckPtr>(), scripts, ctx);
        count += GenerateScripts(table.Indexes, EmptyCollection<IndexPtr>(), scripts, ctx);
        count += GenerateScripts(table.Relations, EmptyCollection<RelationPtr>(), scripts, ctx);
        count += GenerateScripts(table.Triggers, EmptyCollection<TriggerPtr>(), scripts, ctx);
        count += GenerateFTIScript(table, fromSource, scripts, nullptr, ctx);
        return count;
    }

    if (!other) {
        count = GenerateScripts(EmptyCollection<RelationPtr>(), table.Relations, scripts, ctx);
        ScriptPtr script = NewScript(fromSource, typ, QStringLiteral("DELETE"), table);
        DropReferencingRelations(table, *script, scripts, ctx);
        script->AddSQL(QStringLiteral("DROP TABLE ") + table.FullName());
        scripts.push_back(script);
        return count + 1;
    }

    if (table.DeleteRecreate) return GenerateRecreateScript(table, fromSource, QString(), scripts, ctx);

    if (FileGroupsMove(table, *other)) {
        // Moving a table to another file group takes the rebuild of the next pass.
        table.DeleteRecreate = true;
        ctx.Regenerate = true;
        return 0;
    }
    other->FTI_ColumnsDropped.emplace();
    if (TextDiffers(other->Name, table.Name)) {
        ScriptPtr script = NewScript(fromSource, typ, QStringLiteral("RENAME"), table);
        script->AddSQL(RenameSQL(other->FullName(), table.Name, QStringLiteral("OBJECT")));
        scripts.push_back(script);
        ++count;
    }
    if (!ctx.UnchangedColumns.contains(&table)) count += GenerateScripts(table.Fields, other->Fields, scripts, ctx);
    count += GenerateScripts(table.Checks, other->Checks, scripts, ctx);
    count += GenerateScripts(table.Triggers, other->Triggers, scripts, ctx);
    count += GenerateScripts(table.Defaults, other->Defaults, scripts, ctx);
    count += GenerateScripts(table.Indexes, other->Indexes, scripts, ctx);
    count += GenerateScripts(table.Relations, other->Relations, scripts, ctx);
    count += GenerateFTIScript(table, fromSource, scripts, other, ctx);
    return count;
}

namespace {

// Every object of the Source table's collection belongs to it and is unchanged, and every object
// of its counterpart's has a counterpart (none is dropped).
template <class P, class Unchanged>
bool PairedAndUnchanged(const Tovimar_Table& table, const Collection<P>& mine, const Collection<P>& theirs,
                        Unchanged unchanged) {
    for (const P& object : mine)
        if (object && (object->Table != &table || !unchanged(*object))) return false;
    for (const P& object : theirs)
        if (object && !object->OtherObj()) return false;
    return true;
}

}  // namespace

bool TableContentsUnchanged(const Tovimar_Table& table, const Tovimar_Table& other) {
    return !TextDiffers(other.Name, table.Name) && table.Triggers.IsEmpty() && other.Triggers.IsEmpty() &&
           table.FTI_Catalog.isEmpty() && other.FTI_Catalog.isEmpty() &&
           PairedAndUnchanged(table, table.Checks, other.Checks, CheckUnchanged) &&
           PairedAndUnchanged(table, table.Defaults, other.Defaults, DefaultUnchanged) &&
           PairedAndUnchanged(table, table.Indexes, other.Indexes, IndexUnchanged) &&
           PairedAndUnchanged(table, table.Relations, other.Relations, RelationUnchanged);
}

bool UnchangedPairHolds(const Tovimar_Table& table) {
    const Tovimar_Table* other = table.OtherObj();
    return other && table.ObjectIncluded && !table.DeleteRecreate && !other->DeleteRecreate &&
           !FileGroupsMove(table, *other);
}

void ResetUnchangedPair(Tovimar_Table& table) {
    table.FTI_ColumnsDropped.emplace();
    table.FieldsAppended = 0;
    table.FieldsDropped = 0;
    table.OtherObj()->FTI_ColumnsDropped.emplace();
}

std::vector<RebuildCandidate> RebuildCandidates(const Tovimar_Database& source) {
    std::vector<RebuildCandidate> candidates;
    candidates.reserve(static_cast<size_t>(source.Tables.Count()));
    for (qsizetype i = 0; i < source.Tables.Count(); ++i) {
        const TablePtr& table = source.Tables[i];
        if (table && table->ObjectIncluded && table->OtherObj()) candidates.push_back({table.get(), i, {}, false});
    }
    return candidates;
}

void MarkRebuilds(const std::vector<RebuildCandidate>& candidates, GenerationContext& ctx) {
    ctx.UnchangedColumns.clear();
    ctx.UnchangedColumns.reserve(static_cast<qsizetype>(candidates.size()));  // nearly every pair
    ctx.UnchangedPairs.assign(static_cast<size_t>(ctx.DB1 ? ctx.DB1->Tables.Count() : 0), false);
    for (const RebuildCandidate& candidate : candidates) {
        Tovimar_Table* table = candidate.Table;
        Tovimar_Table* other = table->OtherObj();
        const ColumnRebuild& columns = candidate.Columns;
        if (columns.Unchanged) ctx.UnchangedColumns.insert(table);
        if (columns.Unchanged && candidate.ContentsUnchanged && candidate.Position < ctx.DB1->Tables.Count() &&
            ctx.DB1->Tables[candidate.Position].get() == table)
            ctx.UnchangedPairs[static_cast<size_t>(candidate.Position)] = true;
        if (!table->DeleteRecreate) {
            // The table generator tests the file groups first and then leaves the columns to the
            // rebuild; a column switches both tables, a dropped one only from a Destination table
            // not rebuilt already.
            if (FileGroupsMove(*table, *other)) {
                table->DeleteRecreate = true;
            } else if (columns.BySource || (columns.ByDestination && !other->DeleteRecreate)) {
                table->DeleteRecreate = true;
                other->DeleteRecreate = true;
                continue;
            }
        }
        // The rebuild generates the columns too: there only the Destination's dropped columns
        // switch its table.
        if (table->DeleteRecreate && !other->DeleteRecreate && columns.ByDestination) other->DeleteRecreate = true;
    }
}
