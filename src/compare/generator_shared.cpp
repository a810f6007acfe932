#include "compare/generators.h"

#include "schema/sql_text.h"

ScriptPtr NewScript(bool fromSource, const QString& typ, const QString& action, Tovimar_Object& obj) {
    auto script = std::make_shared<Tovimar_Script>();
    script->Typ = typ;
    script->Action = action;
    script->Checked = true;
    Tovimar_Object* other = fromSource ? nullptr : obj.OtherObject();
    script->ScriptedObj = other ? other : &obj;
    return script;
}

QString GetSQLIfExists(const QString& fullName, const QString& property, const QString& sql) {
    const QString name = GetSQLValue(DbValue::FromString(fullName));
    QString text;
    if (property.compare(QLatin1String("IsFunction"), Qt::CaseInsensitive) == 0) {
        text = QStringLiteral("if exists (select * from dbo.sysobjects where id = object_id(") + name +
               QStringLiteral(") and xtype in (N'FN', N'IF', N'TF')) \r\n\t");
    } else {
        text = QStringLiteral("if exists (select * from dbo.sysobjects where id = object_id(") + name +
               QStringLiteral(") and OBJECTPROPERTY(id, ") + GetSQLValue(DbValue::FromString(property)) +
               QStringLiteral(") = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)\r\n\t");
    }
    QString body = sql;
    body.replace(QLatin1String("\r\n"), QLatin1String("\r\n\t"));
    return text + body;
}

QString GetSQLIfExists(const Tovimar_Object& object, const QString& sql) {
    const QString type = object.ObjectType();
    QString property;
    if (type == QLatin1String("Table")) property = QStringLiteral("IsUserTable");
    else if (type == QLatin1String("View")) property = QStringLiteral("IsView");
    else if (type == QLatin1String("Procedure")) property = QStringLiteral("IsProcedure");
    else if (type == QLatin1String("Function")) property = QStringLiteral("IsFunction");
    else return QString();
    return GetSQLIfExists(object.FullName(), property, sql);
}

QString RenameSQL(const QString& oldName, const QString& newName, const QString& objectType) {
    return QStringLiteral("EXEC sp_rename ") + QuoteString(oldName, true) + QStringLiteral(", ") +
           QuoteString(newName, true) + QStringLiteral(", '") + objectType + QLatin1Char('\'');
}

QStringList BoundObjectsWarning(const Tovimar_Database& source, const Tovimar_Database& dest) {
    QStringList lines;
    auto add = [&](const QStringList& mine, const QStringList& theirs, const QString& sign) {
        for (const QString& text : mine)
            if (!theirs.contains(text, Qt::CaseInsensitive)) {
                QString line = text;
                line.replace(QLatin1String("\r\n"), QLatin1String(" "));
                line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
                lines << sign + line;
            }
    };
    add(source.BoundObjects, dest.BoundObjects, QStringLiteral("+ "));
    add(dest.BoundObjects, source.BoundObjects, QStringLiteral("- "));
    if (!lines.isEmpty())
        lines.prepend(QStringLiteral("Warning: bound defaults and rules differ; they are not scripted:"));
    return lines;
}

bool TextDiffers(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) != 0; }

bool FieldNamesDiffer(const Collection<QString>& mine, const Collection<QString>& theirs) {
    if (mine.Count() != theirs.Count()) return true;
    for (qsizetype i = 0; i < mine.Count(); ++i)
        if (TextDiffers(mine[i], theirs[i])) return true;
    return false;
}

bool ExecSettingsDiffer(long status1, long status2) { return ((status1 ^ status2) & (8 | 16)) != 0; }
