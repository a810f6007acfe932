// Scripts for views, stored procedures (with their numbered groups), user-defined functions and
// triggers. Their scripts are the stored CREATE text with the keyword turned into ALTER where the
// object exists already, the canonical bracket-quoted name put in, and the two execution
// settings (QUOTED_IDENTIFIER, ANSI_NULLS) restored around each step. Also the recompile scripts
// that re-issue every code object of one database as ALTER.
#include "compare/generators.h"

#include "schema/sql_text.h"

namespace {

const QString CREATE = QStringLiteral("CREATE");
const QString ALTER = QStringLiteral("ALTER");

// The stored definition rewritten: find → replace (both empty: unchanged keyword), the object's
// canonical name after keyword, the table name after ON for triggers, ;n for group numbers > 1.
QString Def(const QString& definition, const QString& find, const QString& replace, const QString& keyword,
            const QString& fullName, const QString& tableName = QString(), int number = 0) {
    return RewriteDefinition(definition, find, replace, keyword, fullName, tableName, number);
}

ScriptPtr Make(bool fromSource, const QString& typ, const QString& kind, Tovimar_Object& object,
               bool repeatable = false) {
    ScriptPtr script = NewScript(fromSource, typ, kind, object);
    script->Repeatable = repeatable;
    return script;
}

int Push(ScriptList& scripts, const ScriptPtr& script) {
    scripts.push_back(script);
    return 1;
}

QString RenameObjectSQL(const QString& oldFullName, const QString& newName) {
    return RenameSQL(oldFullName, newName, QStringLiteral("OBJECT"));
}

// ---- Views -----------------------------------------------------------------------------------

const QString VIEW = QStringLiteral("VIEW");

// A column of either side missing on the other, or two columns of one name that differ.
bool ViewColumnsDiffer(const Tovimar_View& view, const Tovimar_View& other) {
    const bool collations = view.IsCollationsIncluded();
    for (const FieldPtr& field : view.Fields) {
        if (!field) continue;
        const FieldPtr theirs = other.Fields.Item(field->FullName(false));
        if (!theirs) return true;
        if (TextDiffers(field->DataType, theirs->DataType) || field->DataSize != theirs->DataSize ||
            field->DataPrecision != theirs->DataPrecision || field->DataDecimals != theirs->DataDecimals ||
            field->CanBeNull != theirs->CanBeNull || field->IsRowGUID != theirs->IsRowGUID ||
            (collations && TextDiffers(field->Collation, theirs->Collation)) ||
            TextDiffers(field->Formula, theirs->Formula) || field->IdentitySeed != theirs->IdentitySeed ||
            field->IdentityIncr != theirs->IdentityIncr)
            return true;
    }
    for (const FieldPtr& field : other.Fields)
        if (field && !view.Fields.Contains(field->FullName(false))) return true;
    return false;
}

// ---- Procedures ------------------------------------------------------------------------------

const QString PROC = QStringLiteral("PROC");

bool HasNumber(const Tovimar_Procedure& procedure, int number) {
    return procedure.DefinitionsNumbers().contains(number);
}

bool ProcedureDefinitionDiffers(const Tovimar_Procedure& procedure, const Tovimar_Procedure& other, int number) {
    return DefinitionsDiffer(procedure.Definition(number), other.Definition(number), PROC, procedure.FullName(),
                             QString(), number);
}

// Every definition of the group, in list order, as one code-object step each.
void AddProcedureDefinitions(Tovimar_Script& script, const Tovimar_Procedure& procedure, const QString& find,
                             const QString& replace) {
    for (int number : procedure.DefinitionsNumbers())
        AddCodeObjectSQL(script, procedure.ObjStatus,
                         Def(procedure.Definition(number), find, replace, PROC, procedure.FullName(), QString(), number));
}

// ---- Functions and triggers ------------------------------------------------------------------

const QString FUNC = QStringLiteral("FUNC");
const QString TRIGGER = QStringLiteral("TRIGGER");

QString TriggerTableName(const Tovimar_Trigger& trigger) {
    return trigger.Table ? trigger.Table->FullName() : QString();
}

QString TriggerDef(const Tovimar_Trigger& trigger, const QString& find, const QString& replace) {
    return Def(trigger.Definition, find, replace, TRIGGER, trigger.FullName(false), TriggerTableName(trigger));
}

}  // namespace

void AddCodeObjectSQL(Tovimar_Script& script, long status, const QString& sql) {
    const QStringList pre{QStringLiteral("SET QUOTED_IDENTIFIER ") + ((status & 8) ? QStringLiteral("ON") : QStringLiteral("OFF")),
                          QStringLiteral("SET ANSI_NULLS ") + ((status & 16) ? QStringLiteral("ON") : QStringLiteral("OFF"))};
    // After the step the connection returns to the settings the other scripts expect.
    const QStringList post{QStringLiteral("SET QUOTED_IDENTIFIER OFF"), QStringLiteral("SET ANSI_NULLS ON")};
    script.AddSQL(sql, pre, post);
}

int GenerateScript(Tovimar_View& view, bool fromSource, ScriptList& scripts, GenerationContext&) {
    if (!view.ObjectIncluded) return 0;
    const QString typ = QStringLiteral("View");
    const QString fullName = view.FullName();
    Tovimar_View* other = view.OtherObj();
    if (!other) {
        if (fromSource) {
            ScriptPtr script = Make(true, typ, CREATE, view, true);
            AddCodeObjectSQL(*script, view.ObjStatus, Def(view.Definition, CREATE, CREATE, VIEW, fullName));
            return Push(scripts, script);
        }
        ScriptPtr script = Make(false, typ, QStringLiteral("DELETE"), view);
        script->AddSQL(QStringLiteral("DROP VIEW ") + fullName);
        return Push(scripts, script);
    }
    if (!fromSource) return 0;
    if (TextDiffers(other->Name, view.Name)) {
        ScriptPtr script = Make(true, typ, QStringLiteral("RENAME"), view, true);
        script->AddSQL(RenameObjectSQL(other->FullName(), view.Name));
        AddCodeObjectSQL(*script, view.ObjStatus, Def(view.Definition, CREATE, ALTER, VIEW, fullName));
        return Push(scripts, script);
    }
    const bool changed = ExecSettingsDiffer(view.ObjStatus, other->ObjStatus) ||
                         DefinitionsDiffer(view.Definition, other->Definition, VIEW, fullName, QString(), 0) ||
                         ViewColumnsDiffer(view, *other);
    if (!changed) return 0;
    ScriptPtr script = Make(true, typ, QStringLiteral("CHANGE"), view, true);
    AddCodeObjectSQL(*script, view.ObjStatus, Def(view.Definition, CREATE, ALTER, VIEW, fullName));
    return Push(scripts, script);
}

int GenerateScript(Tovimar_Procedure& procedure, bool fromSource, ScriptList& scripts, GenerationContext&) {
    if (!procedure.ObjectIncluded) return 0;
    const QString typ = QStringLiteral("Procedure");
    const QString fullName = procedure.FullName();
    const QString dropSQL = QStringLiteral("DROP PROCEDURE ") + fullName;
    Tovimar_Procedure* other = procedure.OtherObj();
    if (!other) {
        if (fromSource) {
            ScriptPtr script = Make(true, typ, CREATE, procedure, true);
            AddProcedureDefinitions(*script, procedure, CREATE, CREATE);
            return Push(scripts, script);
        }
        ScriptPtr script = Make(false, typ, QStringLiteral("DELETE"), procedure);
        script->AddSQL(dropSQL);
        return Push(scripts, script);
    }
    if (!fromSource) return 0;

    const QList<int> numbers = procedure.DefinitionsNumbers();
    bool sameNumbering = procedure.DefinitionCount() == other->DefinitionCount();
    for (int number : numbers)
        if (!HasNumber(*other, number)) sameNumbering = false;
    const bool settingsDiffer = ExecSettingsDiffer(procedure.ObjStatus, other->ObjStatus);
    QList<int> differing;  // numbers whose normalised text differs from the counterpart's
    if (sameNumbering)
        for (int number : numbers)
            if (ProcedureDefinitionDiffers(procedure, *other, number)) differing << number;
    bool changed = settingsDiffer || !sameNumbering || !differing.isEmpty();

    int count = 0;
    if (TextDiffers(other->Name, procedure.Name) && sameNumbering) {
        ScriptPtr script = Make(true, typ, changed ? QStringLiteral("CHANGE") : QStringLiteral("RENAME"), procedure, true);
        script->AddSQL(RenameObjectSQL(other->FullName(), procedure.Name));
        AddProcedureDefinitions(*script, procedure, CREATE, ALTER);
        count += Push(scripts, script);
        changed = false;  // handled by the rename script
    }
    if (!changed) return count;

    ScriptPtr script = Make(true, typ, QStringLiteral("CHANGE"), procedure, true);
    if (sameNumbering) {
        // Only the differing definitions are altered. When the execution settings differ, every
        // definition is altered, so that the group is re-issued under the Source's settings.
        for (int number : numbers)
            if (settingsDiffer || differing.contains(number))
                AddCodeObjectSQL(*script, procedure.ObjStatus,
                                 Def(procedure.Definition(number), CREATE, ALTER, PROC, fullName, QString(), number));
    } else {
        // The numbering changed: the group is dropped and created again (its permissions with it).
        procedure.DeleteRecreate = true;
        script->AddSQL(dropSQL);
        AddProcedureDefinitions(*script, procedure, CREATE, CREATE);
    }
    return count + Push(scripts, script);
}

int GenerateScript(Tovimar_Function& function, bool fromSource, ScriptList& scripts, GenerationContext&) {
    if (!function.ObjectIncluded) return 0;
    const QString typ = QStringLiteral("Function");
    const QString fullName = function.FullName();
    const QString dropSQL = QStringLiteral("DROP FUNCTION ") + fullName;
    Tovimar_Function* other = function.OtherObj();
    if (!other) {
        if (fromSource) {
            ScriptPtr script = Make(true, typ, CREATE, function, true);
            AddCodeObjectSQL(*script, function.ObjStatus, Def(function.Definition, QString(), QString(), FUNC, fullName));
            return Push(scripts, script);
        }
        ScriptPtr script = Make(false, typ, QStringLiteral("DELETE"), function);
        script->AddSQL(dropSQL);
        return Push(scripts, script);
    }
    if (!fromSource) return 0;
    bool changed = ExecSettingsDiffer(function.ObjStatus, other->ObjStatus) ||
                   DefinitionsDiffer(function.Definition, other->Definition, FUNC, fullName, QString(), 0);
    int count = 0;
    if (TextDiffers(other->Name, function.Name)) {
        ScriptPtr script = Make(true, typ, changed ? QStringLiteral("CHANGE") : QStringLiteral("RENAME"), function, true);
        script->AddSQL(RenameObjectSQL(other->FullName(), function.Name));
        AddCodeObjectSQL(*script, function.ObjStatus, Def(function.Definition, CREATE, ALTER, FUNC, fullName));
        count += Push(scripts, script);
        changed = false;  // handled by the rename script
    }
    if (!changed) return count;
    // A changed function is dropped and created again, never altered (ALTER cannot change its kind).
    function.DeleteRecreate = true;
    ScriptPtr script = Make(true, typ, QStringLiteral("CHANGE"), function, true);
    script->AddSQL(dropSQL);
    AddCodeObjectSQL(*script, function.ObjStatus, Def(function.Definition, QString(), QString(), FUNC, fullName));
    return count + Push(scripts, script);
}

int GenerateScript(Tovimar_Trigger& trigger, bool fromSource, ScriptList& scripts, GenerationContext&) {
    if (!trigger.ObjectIncluded || !trigger.Table) return 0;
    const QString typ = QStringLiteral("Trigger");
    Tovimar_Trigger* other = trigger.OtherObj();
    if (!other) {
        if (fromSource) {
            ScriptPtr script = Make(true, typ, CREATE, trigger);
            AddCodeObjectSQL(*script, trigger.ObjStatus, TriggerDef(trigger, QString(), QString()));
            return Push(scripts, script);
        }
        ScriptPtr script = Make(false, typ, QStringLiteral("DELETE"), trigger);
        script->AddSQL(QStringLiteral("DROP TRIGGER ") + QuoteName(trigger.Name));
        return Push(scripts, script);
    }
    if (!fromSource) return 0;

    int count = 0;
    bool changed = false;
    if (TextDiffers(other->Name, trigger.Name)) {
        ScriptPtr script = Make(true, typ, QStringLiteral("RENAME"), trigger);
        script->AddSQL(RenameObjectSQL(other->FullName(true), trigger.Name));
        AddCodeObjectSQL(*script, trigger.ObjStatus, TriggerDef(trigger, CREATE, ALTER));
        count += Push(scripts, script);
    } else {
        changed = ExecSettingsDiffer(trigger.ObjStatus, other->ObjStatus) ||
                  DefinitionsDiffer(trigger.Definition, other->Definition, TRIGGER, trigger.FullName(false),
                                    TriggerTableName(trigger), 0);
    }
    // A rebuilt table has lost its triggers: they are created again rather than altered.
    const bool rebuilt = trigger.Table->DeleteRecreate;
    if (changed || rebuilt) {
        ScriptPtr script = Make(true, typ, changed ? QStringLiteral("CHANGE") : QStringLiteral("RECREATE"), trigger);
        AddCodeObjectSQL(*script, trigger.ObjStatus, TriggerDef(trigger, CREATE, rebuilt ? CREATE : ALTER));
        count += Push(scripts, script);
    }
    return count;
}

int GenerateUpdateObjectScripts(Tovimar_Database& db, Progress* progress, ScriptList& scripts, GenerationContext&) {
    if (progress) progress->ShowStatus(QStringLiteral("Processing..."), QStringLiteral("\r\nGenerating Scripts..."));
    // The progress window goes away however generation ends; errors reach the caller unchanged.
    struct CloseProgress {
        Progress* progress;
        ~CloseProgress() {
            if (progress) progress->Close();
        }
    } closeProgress{progress};

    int counter = 0;
    auto add = [&](const ScriptPtr& script) {
        scripts.push_back(script);
        script->Index = ++counter;
    };
    for (const ViewPtr& view : db.Views) {
        if (!view) continue;
        ScriptPtr script = Make(true, QStringLiteral("View"), QStringLiteral("CHANGE"), *view, true);
        AddCodeObjectSQL(*script, view->ObjStatus, Def(view->Definition, CREATE, ALTER, VIEW, view->FullName()));
        add(script);
    }
    for (const ProcedurePtr& procedure : db.Procedures) {
        if (!procedure) continue;
        ScriptPtr script = Make(true, QStringLiteral("Procedure"), QStringLiteral("CHANGE"), *procedure, true);
        AddProcedureDefinitions(*script, *procedure, CREATE, ALTER);
        add(script);
    }
    for (const FunctionPtr& function : db.Functions) {
        if (!function) continue;
        ScriptPtr script = Make(true, QStringLiteral("Function"), QStringLiteral("CHANGE"), *function, true);
        AddCodeObjectSQL(*script, function->ObjStatus,
                         Def(function->Definition, CREATE, ALTER, FUNC, function->FullName()));
        add(script);
    }
    for (const TablePtr& table : db.Tables) {
        if (!table) continue;
        for (const TriggerPtr& trigger : table->Triggers) {
            if (!trigger) continue;
            ScriptPtr script = Make(true, QStringLiteral("Trigger"), QStringLiteral("CHANGE"), *trigger);
            AddCodeObjectSQL(*script, trigger->ObjStatus,
                             Def(trigger->Definition, CREATE, ALTER, TRIGGER, trigger->FullName(false), table->FullName()));
            add(script);
        }
    }
    return counter;
}
