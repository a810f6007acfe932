#include "compare/generators.h"

#include "schema/constraint_links.h"
#include "schema/sql_text.h"

#include <algorithm>
#include <cstring>

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
    // Written into one string: a script holds many of these guards, some nested.
    const QString name = GetSQLValue(DbValue::FromString(fullName));
    const bool isFunction = property.compare(QLatin1String("IsFunction"), Qt::CaseInsensitive) == 0;
    const QString propertyValue = isFunction ? QString() : GetSQLValue(DbValue::FromString(property));
    constexpr QStringView head = u"if exists (select * from dbo.sysobjects where id = object_id(";
    constexpr QStringView functionTail = u") and xtype in (N'FN', N'IF', N'TF')) \r\n\t";
    constexpr QStringView propertyHead = u") and OBJECTPROPERTY(id, ";
    constexpr QStringView propertyTail = u") = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)\r\n\t";
    QString text;
    text.reserve(head.size() + name.size() + propertyHead.size() + propertyValue.size() + propertyTail.size() +
                 sql.size() + std::count(sql.cbegin(), sql.cend(), QLatin1Char('\r')));
    text += head;
    text += name;
    if (isFunction) {
        text += functionTail;
    } else {
        text += propertyHead;
        text += propertyValue;
        text += propertyTail;
    }
    // Every line break of the body is followed by a tab.
    const QStringView body(sql);
    qsizetype from = 0;
    for (qsizetype at = body.indexOf(QLatin1Char('\r')); at >= 0; at = body.indexOf(QLatin1Char('\r'), at + 1)) {
        if (at + 1 >= body.size() || body[at + 1] != QLatin1Char('\n')) continue;
        text += body.mid(from, at + 2 - from);
        text += QLatin1Char('\t');
        from = at + 2;
    }
    text += body.mid(from);
    return text;
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
    return ExecProcedureSQL(QStringLiteral("sp_rename"), {oldName, newName, objectType});
}

bool RenameConstraint(const Tovimar_TableObject& source, const Tovimar_TableObject& dest) {
    // A rebuild drops the Destination's constraints; only a pair linked by name stays renamed.
    const bool rebuilt = source.Table && source.Table->DeleteRecreate;
    return TextDiffers(source.Name, dest.Name) && !HasGeneratedName(source) && !(rebuilt && HasGeneratedName(dest));
}

QString DestinationConstraintName(const Tovimar_TableObject& source, const Tovimar_TableObject& dest) {
    const bool rebuilt = source.Table && source.Table->DeleteRecreate;
    return rebuilt || RenameConstraint(source, dest) ? source.Name : dest.Name;
}

namespace {
bool ListsColumn(const Collection<QString>& names, const QString& column) {
    for (const QString& name : names)
        if (!TextDiffers(name, column)) return true;
    return false;
}

// The expression names the column, bracket-quoted or as a whole word.
bool MentionsColumn(const QString& expression, const QString& column) {
    if (expression.contains(QuoteName(column), Qt::CaseInsensitive)) return true;
    auto isNamePart = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('@') ||
                                           c == QLatin1Char('#') || c == QLatin1Char('$'); };
    for (qsizetype pos = expression.indexOf(column, 0, Qt::CaseInsensitive); pos >= 0;
         pos = expression.indexOf(column, pos + 1, Qt::CaseInsensitive)) {
        const qsizetype end = pos + column.size();
        if ((pos == 0 || !isNamePart(expression[pos - 1])) && (end >= expression.size() || !isNamePart(expression[end])))
            return true;
    }
    return false;
}
}  // namespace

bool UsesColumn(const Tovimar_Object& object, const Tovimar_Table& table, const QString& column) {
    if (const auto* index = dynamic_cast<const Tovimar_Index*>(&object))
        return index->Table == &table && ListsColumn(index->FieldNames, column);
    if (const auto* relation = dynamic_cast<const Tovimar_Relation*>(&object))
        return (relation->Table == &table && ListsColumn(relation->FieldNames, column)) ||
               (relation->PrimaryTable == &table && ListsColumn(relation->PrimaryFieldNames, column));
    if (const auto* check = dynamic_cast<const Tovimar_Check*>(&object))
        return check->Table == &table && MentionsColumn(check->Value, column);
    if (const auto* def = dynamic_cast<const Tovimar_Default*>(&object))
        return def->Table == &table && def->Field && !TextDiffers(def->Field->Name, column);
    return false;
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

bool TextDiffers(const QString& a, const QString& b) {
    // Nearly every pair compared is the same text: told apart by its characters before folding,
    // and by its place when both are the same shared text.
    if (a.size() == b.size() &&
        (a.isEmpty() || a.constData() == b.constData() ||
         std::memcmp(a.constData(), b.constData(), static_cast<size_t>(a.size()) * sizeof(QChar)) == 0))
        return false;
    return a.compare(b, Qt::CaseInsensitive) != 0;
}

bool FieldNamesDiffer(const Collection<QString>& mine, const Collection<QString>& theirs) {
    if (mine.Count() != theirs.Count()) return true;
    for (qsizetype i = 0; i < mine.Count(); ++i)
        if (TextDiffers(mine[i], theirs[i])) return true;
    return false;
}

bool ExecSettingsDiffer(long status1, long status2) { return ((status1 ^ status2) & (8 | 16)) != 0; }
