// Scripts for database roles, full-text catalogs and object permissions. Roles and catalogs are
// only created or dropped, never changed. Permissions are compared right by right and column by
// column and re-issued as a revoke followed by the current denials and grants; they also follow
// the object they secure: when that object is dropped and created again, they are granted anew.
#include "compare/generators.h"

#include "schema/sql_text.h"

#include <QSet>

namespace {

const QString CRLF = QStringLiteral("\r\n");

// ---- Permissions -----------------------------------------------------------------------------

// The right states of a permission: 1 granted, 2 denied, anything else neither.
constexpr quint8 StateGranted = 1;
constexpr quint8 StateDenied = 2;

QString SecuredName(const Tovimar_Permission& permission) {
    return permission.SecObject ? permission.SecObject->FullName() : QString();
}

QString Guard(const Tovimar_Permission& permission, const QString& sql) {
    return permission.SecObject ? GetSQLIfExists(*permission.SecObject, sql) : QString();
}

// The revoke statement, guarded by the existence of the secured object.
QString Create_Delete(const Tovimar_Permission& permission) {
    return Guard(permission, QStringLiteral("REVOKE ALL ON ") + SecuredName(permission) + CRLF + QStringLiteral("FROM ") +
                                 QuoteName(permission.Grantee));
}

QString ColumnList(const Collection<QString>& columns) {
    QStringList quoted;
    for (const QString& column : columns) quoted << QuoteName(column);
    return quoted.join(QLatin1Char(','));
}

// The SELECT, UPDATE and REFERENCES column statements of one pass, joined by CR LF (a missing
// one leaves an empty line); empty when there is none at all.
QString ColumnStatements(const Tovimar_Permission& permission, bool grantPass) {
    struct Kind {
        const char* Word;
        const Collection<QString>& Columns;
    };
    const Kind kinds[] = {
        {"SELECT", grantPass ? permission.SelectGrant : permission.SelectDeny},
        {"UPDATE", grantPass ? permission.UpdateGrant : permission.UpdateDeny},
        {"REFERENCES", grantPass ? permission.ReferenceGrant : permission.ReferenceDeny},
    };
    QStringList statements;
    bool any = false;
    for (const Kind& kind : kinds) {
        if (kind.Columns.IsEmpty()) {
            statements << QString();
            continue;
        }
        any = true;
        QString statement = (grantPass ? QStringLiteral("GRANT ") : QStringLiteral("DENY ")) +
                            QString::fromLatin1(kind.Word) + QStringLiteral(" ON ") + SecuredName(permission) +
                            QStringLiteral(" (") + ColumnList(kind.Columns) + QStringLiteral(")") + CRLF +
                            QStringLiteral("TO ") + QuoteName(permission.Grantee);
        if (grantPass && !permission.Grantor.isEmpty()) statement += CRLF + QStringLiteral("AS ") + QuoteName(permission.Grantor);
        statements << statement;
    }
    return any ? statements.join(CRLF) : QString();
}

// The deny statements, then the grant statements, guarded by the existence of the secured object
// unless it is known to be there.
QString Create_Create(const Tovimar_Permission& permission, bool guarded = true) {
    QString text;
    for (const bool grantPass : {false, true}) {
        const quint8 state = grantPass ? StateGranted : StateDenied;
        const QString word = grantPass ? QStringLiteral("GRANT") : QStringLiteral("DENY");
        if (grantPass)
            text += CRLF + word;
        else
            text = word;
        const std::pair<quint8, const char*> rights[] = {
            {permission.SelectRight, " SELECT,"}, {permission.InsertRight, " INSERT,"},
            {permission.UpdateRight, " UPDATE,"}, {permission.DeleteRight, " DELETE,"},
            {permission.ExecRight, " EXECUTE,"},  {permission.DRIRight, " REFERENCES,"},
        };
        for (const auto& [right, text1] : rights)
            if (right == state) text += QString::fromLatin1(text1);
        if (text.endsWith(QLatin1Char(','))) {
            text.chop(1);
            text += QStringLiteral(" ON ") + SecuredName(permission) + CRLF + QStringLiteral("TO ") +
                    QuoteName(permission.Grantee);
            if (grantPass && !permission.Grantor.isEmpty())
                text += CRLF + QStringLiteral("AS ") + QuoteName(permission.Grantor);
            text += CRLF + ColumnStatements(permission, grantPass);
        } else {
            text.chop(word.size());
            text += ColumnStatements(permission, grantPass);
        }
    }
    return guarded ? Guard(permission, text) : text;
}

// Two column collections hold the same names, in any order and letter case.
bool ColumnSetsDiffer(const Collection<QString>& a, const Collection<QString>& b) {
    QSet<QString> setA;
    QSet<QString> setB;
    for (const QString& name : a) setA.insert(name.toCaseFolded());
    for (const QString& name : b) setB.insert(name.toCaseFolded());
    return setA != setB;
}

bool PermissionDiffers(const Tovimar_Permission& p, const Tovimar_Permission& o) {
    return p.SelectRight != o.SelectRight || p.InsertRight != o.InsertRight || p.UpdateRight != o.UpdateRight ||
           p.DeleteRight != o.DeleteRight || p.ExecRight != o.ExecRight || p.DRIRight != o.DRIRight ||
           ColumnSetsDiffer(p.SelectGrant, o.SelectGrant) || ColumnSetsDiffer(p.SelectDeny, o.SelectDeny) ||
           ColumnSetsDiffer(p.UpdateGrant, o.UpdateGrant) || ColumnSetsDiffer(p.UpdateDeny, o.UpdateDeny) ||
           ColumnSetsDiffer(p.ReferenceGrant, o.ReferenceGrant) || ColumnSetsDiffer(p.ReferenceDeny, o.ReferenceDeny);
}

// A permission takes part when its grantee does.
bool GranteeIncluded(const Tovimar_Permission& permission, GenerationContext& ctx) {
    Tovimar_Database* db = permission.Database();
    if (!db && permission.SecObject) db = permission.SecObject->Database();
    if (!db) return true;
    return ctx.GranteeIncluded(*db, permission.Grantee);
}

// The grants and denials of a Destination permission as they are restored on the rebuilt object
// newObject: named as newObject is now, and with only the columns that newObject still has.
QString RecreateSQL(const Tovimar_Permission& old, Tovimar_DbObject& newObject) {
    const auto* owner = dynamic_cast<const Tovimar_FieldOwner*>(&newObject);
    auto keep = [&](const Collection<QString>& from, Collection<QString>& to) {
        for (const QString& column : from)
            if ((!owner || owner->Fields.Contains(QuoteName(column))) && !to.Contains(column)) to.Add(column, column);
    };
    Tovimar_Permission copy;
    copy.SecObject = &newObject;
    copy.Grantee = old.Grantee;
    copy.Grantor = old.Grantor;
    copy.SelectRight = old.SelectRight;
    copy.InsertRight = old.InsertRight;
    copy.UpdateRight = old.UpdateRight;
    copy.DeleteRight = old.DeleteRight;
    copy.ExecRight = old.ExecRight;
    copy.DRIRight = old.DRIRight;
    keep(old.SelectGrant, copy.SelectGrant);
    keep(old.SelectDeny, copy.SelectDeny);
    keep(old.UpdateGrant, copy.UpdateGrant);
    keep(old.UpdateDeny, copy.UpdateDeny);
    keep(old.ReferenceGrant, copy.ReferenceGrant);
    keep(old.ReferenceDeny, copy.ReferenceDeny);
    const QString text = Create_Create(copy);
    copy.SecObject = nullptr;
    return text;
}

int Add(ScriptList& scripts, bool fromSource, const QString& typ, const QString& kind, Tovimar_Object& object,
        const QStringList& steps) {
    ScriptPtr script = NewScript(fromSource, typ, kind, object);
    for (const QString& step : steps) script->AddSQL(step);
    scripts.push_back(script);
    return 1;
}

}  // namespace

int GenerateScript(Tovimar_Role& role, bool fromSource, ScriptList& scripts, GenerationContext&) {
    // Members are not compared: a role present on both sides produces no script.
    if (!role.ObjectIncluded || role.OtherObj()) return 0;
    const QString typ = QStringLiteral("Role");
    if (fromSource)
        return Add(scripts, true, typ, QStringLiteral("CREATE"), role,
                   {ExecProcedureSQL(QStringLiteral("sp_addrole"), {role.Name})});
    QString sql;
    for (const QString& member : role.MemberNames)
        sql += ExecProcedureSQL(QStringLiteral("sp_droprolemember"), {role.Name, member}) + CRLF;
    sql += ExecProcedureSQL(QStringLiteral("sp_droprole"), {role.Name});
    return Add(scripts, false, typ, QStringLiteral("DELETE"), role, {sql});
}

int GenerateScript(Tovimar_Catalog& catalog, bool fromSource, ScriptList& scripts, GenerationContext&) {
    if (!catalog.ObjectIncluded || catalog.OtherObj()) return 0;
    const QString typ = QStringLiteral("Catalog");
    const QString name = GetSQLValue(DbValue::FromString(catalog.Name));
    if (fromSource)
        return Add(scripts, true, typ, QStringLiteral("CREATE"), catalog,
                   {QStringLiteral("IF DATABASEPROPERTY(DB_NAME(),'IsFulltextEnabled') = 0") + CRLF +
                        QStringLiteral("  EXEC sp_fulltext_database 'enable'"),
                    QStringLiteral("EXEC sp_fulltext_catalog ") + name + QStringLiteral(", 'create'")});
    return Add(scripts, false, typ, QStringLiteral("DELETE"), catalog,
               {QStringLiteral("EXEC sp_fulltext_catalog ") + name + QStringLiteral(", 'drop'")});
}

int GenerateScript(Tovimar_Permission& permission, bool fromSource, ScriptList& scripts, GenerationContext& ctx) {
    // The permissions of an object that takes no part are left alone.
    if (!permission.SecObject || !permission.SecObject->ObjectIncluded) return 0;
    const QString typ = QStringLiteral("Permission");
    const bool included = GranteeIncluded(permission, ctx);
    Tovimar_DbObject* secured = permission.SecObject;
    auto* securedOther = dynamic_cast<Tovimar_DbObject*>(secured->OtherObject());
    Tovimar_Permission* other = permission.OtherObj();

    if (!other) {
        if (included && fromSource)
            // The secured object takes part, so into an empty database the scripts create it.
            return Add(scripts, true, typ, QStringLiteral("CREATE"), permission,
                       {Create_Create(permission, !ctx.IntoEmptyDatabase)});
        if (included && !fromSource) {
            // A permission on an object that is dropped is lost with it.
            if (securedOther && !ctx.MarkedForRebuild(*secured))
                return Add(scripts, false, typ, QStringLiteral("DELETE"), permission, {Create_Delete(permission)});
            return 0;
        }
        if (!included && !fromSource && securedOther && ctx.MarkedForRebuild(*securedOther))
            // The permissions of an excluded grantee survive the object's re-creation.
            return Add(scripts, false, typ, QStringLiteral("RECREATE"), permission,
                       {RecreateSQL(permission, *securedOther)});
        return 0;
    }
    if (!fromSource) return 0;

    int count = 0;
    if (included && PermissionDiffers(permission, *other))
        count += Add(scripts, true, typ, QStringLiteral("CHANGE"), permission,
                     {Create_Delete(permission) + CRLF + Create_Create(permission)});
    // The object is created again without permissions: the Destination's are restored first, and
    // a CHANGE script of the same permission then turns them into the Source's.
    if (ctx.MarkedForRebuild(*secured))
        count += Add(scripts, true, typ, QStringLiteral("RECREATE"), permission, {RecreateSQL(*other, *secured)});
    return count;
}
