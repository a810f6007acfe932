// Scripts for the table constraints that are not indexes: foreign keys (relations), column
// defaults and check constraints. A constraint only in the Source is added, one only in the
// Destination dropped, a renamed one renamed with sp_rename, and a changed one — or a linked one
// whose table is rebuilt — replaced.
#include "compare/generators.h"

#include "schema/sql_text.h"

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString TableName(const Tovimar_TableObject& object) { return object.Table ? object.Table->FullName() : QString(); }

QString FieldListSQL(const Collection<QString>& names) {
    QStringList quoted;
    for (const QString& name : names) quoted << QuoteName(name);
    return QLatin1Char('(') + quoted.join(QLatin1Char(',')) + QLatin1Char(')');
}

// ---- Relations -------------------------------------------------------------------------------

// The referenced table's name: from the model when that table is loaded, else as stored.
QString PrimaryTableFullName(const Tovimar_Relation& relation) {
    return relation.PrimaryTable ? relation.PrimaryTable->FullName() : relation.PrimaryTableFullName;
}

const QString& PrimaryTableName(const Tovimar_Relation& relation) {
    return relation.PrimaryTable ? relation.PrimaryTable->Name : relation.PrimaryTableFullName;
}

// The name of the relation's table, read in place (no copy, whose count both threads of the
// marking would write).
const QString& TableNameOf(const Tovimar_Relation& relation) {
    static const QString none;
    return relation.Table ? relation.Table->Name : none;
}

bool HasDataCopy(const Tovimar_Table* table) { return table && !table->DataCopyDefs.IsEmpty(); }

// Drops the foreign key when it exists, looked up by its owner-qualified, bracketed name as stored
// (so that a key of another owner or with a '.' or blank in its name is found).
QString DropRelationSQL(const Tovimar_Relation& relation, const QString& name) {
    const QString owner = relation.Table ? relation.Table->Owner : QString();
    return GetSQLIfExists(owner.isEmpty() ? QuoteName(name) : QuoteName(owner, name), QStringLiteral("IsForeignKey"),
                          QStringLiteral("ALTER TABLE ") + TableName(relation) + QStringLiteral(" DROP CONSTRAINT ") +
                              QuoteName(name));
}
QString DropRelationSQL(const Tovimar_Relation& relation) { return DropRelationSQL(relation, relation.Name); }

// The foreign key under name (its own unless the Destination keeps another one).
QString CreateRelationSQL(const Tovimar_Relation& relation, bool withNoCheck, const GenerationContext& ctx,
                          QString name = QString()) {
    if (name.isEmpty()) name = relation.Name;
    // Rows copied into a rebuilt table must satisfy the key.
    if (HasDataCopy(relation.Table) || HasDataCopy(relation.PrimaryTable)) withNoCheck = false;
    const QString table = TableName(relation);
    const QString primaryTable = PrimaryTableFullName(relation);
    const QString quotedName = QuoteName(name);
    // Written into one string (outside the difference viewer, inside BEGIN ... END).
    QString body;
    body.reserve(256 + 2 * table.size() + primaryTable.size() + 2 * quotedName.size());
    if (!ctx.DiffViewMode) body += u"BEGIN\r\n";
    body += u"ALTER TABLE ";
    body += table;
    if (relation.NoCheckConstraint || withNoCheck) body += u" WITH NOCHECK";
    body += u" ADD\r\nCONSTRAINT ";
    body += quotedName;
    body += u"\r\nFOREIGN KEY ";
    body += FieldListSQL(relation.FieldNames);
    body += u"\r\nREFERENCES ";
    body += primaryTable;
    body += QLatin1Char(' ');
    body += FieldListSQL(relation.PrimaryFieldNames);
    if (relation.DeleteCascade) body += u"\r\nON DELETE CASCADE";
    if (relation.UpdateCascade) body += u"\r\nON UPDATE CASCADE";
    if (relation.NotForRepl) body += u"\r\nNOT FOR REPLICATION";
    // A disabled key is created and then disabled again.
    if (relation.NoCheckConstraint) {
        body += u"\r\nALTER TABLE ";
        body += table;
        body += u" NOCHECK CONSTRAINT ";
        body += quotedName;
    }
    if (ctx.DiffViewMode) return body;
    body += u"\r\nEND";

    // Drop the key if it exists, then create it only when both tables exist.
    const QString property = QStringLiteral("IsUserTable");
    // A key is created only when both its tables take part (one to a table outside the comparison
    // is left alone), so into an empty database the scripts have created both before it.
    if (ctx.IntoEmptyDatabase) return body;
    const QString guarded = GetSQLIfExists(table, property, GetSQLIfExists(primaryTable, property, body));
    return DropRelationSQL(relation, name) + CRLF + guarded;
}

bool RelationDiffers(const Tovimar_Relation& relation, const Tovimar_Relation& other) {
    return relation.NotForRepl != other.NotForRepl || relation.NoCheckConstraint != other.NoCheckConstraint ||
           relation.DeleteCascade != other.DeleteCascade || relation.UpdateCascade != other.UpdateCascade ||
           TextDiffers(TableNameOf(relation), TableNameOf(other)) ||
           TextDiffers(PrimaryTableName(relation), PrimaryTableName(other)) ||
           FieldNamesDiffer(relation.FieldNames, other.FieldNames) ||
           FieldNamesDiffer(relation.PrimaryFieldNames, other.PrimaryFieldNames);
}

// ---- Defaults --------------------------------------------------------------------------------

QString AddDefaultSQL(const Tovimar_Default& def, const QString& alterPrefix, const QString& name) {
    return alterPrefix + QStringLiteral("ADD CONSTRAINT ") + QuoteName(name) + QStringLiteral(" DEFAULT ") +
           def.Value + QStringLiteral(" FOR ") + QuoteName(def.Field ? def.Field->Name : QString());
}

QString DropConstraintSQL(const Tovimar_TableObject& object, const QString& name) {
    return QStringLiteral("ALTER TABLE ") + TableName(object) + CRLF + QStringLiteral("DROP CONSTRAINT ") +
           QuoteName(name);
}

// ---- Checks ----------------------------------------------------------------------------------

// A disabled check is added WITH NOCHECK (the rows need not satisfy it) and disabled again.
QString CreateCheckSQL(const Tovimar_Check& check, const QString& name) {
    const QString table = TableName(check);
    QString text = QStringLiteral("ALTER TABLE ") + table +
                   (check.NoCheckConstraint ? QStringLiteral(" WITH NOCHECK") : QString()) + CRLF +
                   QStringLiteral("ADD CONSTRAINT ") + QuoteName(name) + QStringLiteral(" CHECK ") +
                   (check.NotForRepl ? QStringLiteral("NOT FOR REPLICATION ") : QString()) + check.Value;
    if (check.NoCheckConstraint)
        text += CRLF + QStringLiteral("ALTER TABLE ") + table + QStringLiteral(" NOCHECK CONSTRAINT ") +
                QuoteName(name);
    return text;
}

QString RenameConstraintSQL(const Tovimar_TableObject& other, const QString& newName) {
    return RenameSQL(other.FullName(true), newName, QStringLiteral("OBJECT"));
}

void Add(ScriptList& scripts, const ScriptPtr& script, const QString& sql, int& count) {
    script->AddSQL(sql);
    scripts.push_back(script);
    ++count;
}

}  // namespace

bool RelationUnchanged(const Tovimar_Relation& relation) {
    const Tovimar_Relation* other = relation.OtherObj();
    return relation.Table && other && !RenameConstraint(relation, *other) && !RelationDiffers(relation, *other);
}

bool DefaultUnchanged(const Tovimar_Default& def) {
    const Tovimar_Default* other = def.OtherObj();
    return def.Table && other && !RenameConstraint(def, *other) && !TextDiffers(other->Value, def.Value);
}

bool CheckUnchanged(const Tovimar_Check& check) {
    const Tovimar_Check* other = check.OtherObj();
    return check.Table && other && !RenameConstraint(check, *other) && check.NotForRepl == other->NotForRepl &&
           check.NoCheckConstraint == other->NoCheckConstraint && !TextDiffers(check.Value, other->Value);
}

int GenerateScript(Tovimar_Relation& relation, bool fromSource, ScriptList& scripts, GenerationContext& ctx,
                   bool del, bool reCreate) {
    if (!relation.Table) return 0;
    const QString typ = QStringLiteral("Relation");
    // A foreign key to a table outside the comparison is left alone, except while its own table
    // is being rebuilt.
    const bool scripted = (relation.PrimaryTable && relation.PrimaryTable->ObjectIncluded) ||
                          relation.Table->InGenerateTemp;
    int count = 0;

    if (del) {
        if (scripted)
            Add(scripts, NewScript(fromSource, typ, QStringLiteral("DELETE"), relation), DropRelationSQL(relation),
                count);
        return count;
    }
    if (reCreate) {
        if (!scripted) return 0;
        // Only a key that survives is restored, in its new form: one with a counterpart is written
        // as the Source has it (new table names and key columns) unless the scripts of its own
        // rebuilt table or its CHANGE script create it anyway; one without is restored only when
        // its own table takes no part (else it is dropped for good).
        const Tovimar_Relation* source = relation.OtherObj();
        if (source && source->Table &&
            (source->Table->DeleteRecreate || relation.Table->DeleteRecreate || RelationDiffers(*source, relation)))
            return 0;
        if (!source && relation.Table->ObjectIncluded) return 0;
        const Tovimar_Relation& created = source ? *source : relation;
        ScriptPtr script = NewScript(fromSource, typ, QStringLiteral("RECREATE"), relation);
        // Listed under the referenced table, which is the one being rebuilt.
        script->SetTableFullName(PrimaryTableFullName(created));
        Add(scripts, script, CreateRelationSQL(created, true, ctx), count);
        return count;
    }

    Tovimar_Relation* other = relation.OtherObj();
    bool changed = false;
    QString name = relation.Name;  // the key's name in the Destination when it is re-created
    if (!other) {
        if (fromSource) {
            if (scripted || ctx.DiffViewMode)
                Add(scripts, NewScript(true, typ, QStringLiteral("CREATE"), relation),
                    CreateRelationSQL(relation, false, ctx), count);
        } else if (scripted) {
            const QString kind = relation.Table->DeleteRecreate ? QStringLiteral("REDELETE") : QStringLiteral("DELETE");
            Add(scripts, NewScript(false, typ, kind, relation), DropRelationSQL(relation), count);
        } else if (relation.Table->DeleteRecreate) {
            // The key is outside the comparison: restore it on the rebuilt table.
            Add(scripts, NewScript(false, typ, QStringLiteral("RECREATE"), relation),
                CreateRelationSQL(relation, false, ctx), count);
        }
    } else if (fromSource) {
        const bool renamed = RenameConstraint(relation, *other) && scripted;
        if (renamed)
            Add(scripts, NewScript(true, typ, QStringLiteral("RENAME"), relation),
                RenameConstraintSQL(*other, relation.Name), count);
        else if (!relation.Table->DeleteRecreate)
            name = other->Name;
        changed = RelationDiffers(relation, *other);
    } else {
        return 0;
    }

    if ((other && relation.Table->DeleteRecreate) || changed) {
        // A key that is only re-created with its rebuilt table is added WITH NOCHECK; a changed
        // key is checked against the data. The create text drops the old key first.
        Add(scripts,
            NewScript(fromSource, typ, changed ? QStringLiteral("CHANGE") : QStringLiteral("RECREATE"), relation),
            CreateRelationSQL(relation, !changed, ctx, name), count);
    }
    return count;
}

int GenerateScript(Tovimar_Default& def, bool fromSource, ScriptList& scripts, GenerationContext&) {
    if (!def.Table) return 0;
    const QString typ = QStringLiteral("Default");
    const QString alterPrefix = QStringLiteral("ALTER TABLE ") + def.Table->FullName() + CRLF;
    int count = 0;
    Tovimar_Default* other = def.OtherObj();
    if (!other) {
        if (fromSource) {
            // A new column gets its default in its ADD or CREATE TABLE text.
            if (def.Field && def.Field->OtherObj())
                Add(scripts, NewScript(true, typ, QStringLiteral("CREATE"), def),
                    AddDefaultSQL(def, alterPrefix, def.Name), count);
        } else {
            Add(scripts, NewScript(false, typ, QStringLiteral("DELETE"), def),
                alterPrefix + QStringLiteral("DROP CONSTRAINT ") + QuoteName(def.Name), count);
        }
        return count;
    }
    if (!fromSource) return 0;
    if (RenameConstraint(def, *other))
        Add(scripts, NewScript(true, typ, QStringLiteral("RENAME"), def), RenameConstraintSQL(*other, def.Name), count);
    const QString name = DestinationConstraintName(def, *other);
    if (TextDiffers(other->Value, def.Value))
        Add(scripts, NewScript(true, typ, QStringLiteral("CHANGE"), def),
            alterPrefix + QStringLiteral("DROP CONSTRAINT ") + QuoteName(name) + CRLF +
                AddDefaultSQL(def, alterPrefix, name),
            count);
    return count;
}

int GenerateScript(Tovimar_Check& check, bool fromSource, ScriptList& scripts, GenerationContext&) {
    if (!check.Table) return 0;
    const QString typ = QStringLiteral("Check");
    int count = 0;
    Tovimar_Check* other = check.OtherObj();
    if (!other) {
        if (fromSource)
            Add(scripts, NewScript(true, typ, QStringLiteral("CREATE"), check), CreateCheckSQL(check, check.Name), count);
        else
            Add(scripts, NewScript(false, typ, QStringLiteral("DELETE"), check), DropConstraintSQL(check, check.Name),
                count);
        return count;
    }
    if (!fromSource) return 0;
    if (RenameConstraint(check, *other))
        Add(scripts, NewScript(true, typ, QStringLiteral("RENAME"), check), RenameConstraintSQL(*other, check.Name),
            count);
    const bool changed = check.NotForRepl != other->NotForRepl || check.NoCheckConstraint != other->NoCheckConstraint ||
                         TextDiffers(check.Value, other->Value);
    const bool rebuilt = check.Table->DeleteRecreate;
    if (rebuilt || changed) {
        // A rebuilt table has lost its old checks already: only the create step remains.
        const QString name = DestinationConstraintName(check, *other);
        const QString sql = (rebuilt ? QString() : DropConstraintSQL(check, name) + CRLF) + CreateCheckSQL(check, name);
        Add(scripts, NewScript(true, typ, changed ? QStringLiteral("CHANGE") : QStringLiteral("RECREATE"), check), sql,
            count);
    }
    return count;
}
