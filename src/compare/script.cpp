#include "compare/script.h"

Tovimar_Table* ObjectTable(const Tovimar_Object* object) {
    if (!object) return nullptr;
    if (auto* table = dynamic_cast<const Tovimar_Table*>(object)) return const_cast<Tovimar_Table*>(table);
    if (auto* field = dynamic_cast<const Tovimar_Field*>(object)) return field->Table();
    if (auto* part = dynamic_cast<const Tovimar_TableObject*>(object)) return part->Table;
    return nullptr;
}

QString Tovimar_Script::TableFullName() const {
    if (!tableFullName_.isEmpty()) return tableFullName_;
    const Tovimar_Table* table = ObjectTable(ScriptedObj);
    return table ? table->FullName() : QString();
}

void Tovimar_Script::AddSQL(const QString& sql, const QStringList& pre, const QStringList& post) {
    steps_.push_back(Step{sql, pre, post});
}

QStringList Tovimar_Script::GetSQLSteps(int stepNo) const {
    if (stepNo < 1 || stepNo > GetSQLCount()) return {};
    const Step& step = steps_[static_cast<size_t>(stepNo - 1)];
    QStringList statements = step.Pre;
    statements << step.SQL;
    statements << step.Post;
    return statements;
}

QString Tovimar_Script::GetSQL(int stepNo, bool withPrePost) const {
    if (stepNo == 0) {
        QStringList parts;
        for (int i = 1; i <= GetSQLCount(); ++i) parts << GetSQL(i, true);
        return parts.join(StepSeparator);
    }
    if (stepNo < 1 || stepNo > GetSQLCount()) return QString();
    if (!withPrePost) return steps_[static_cast<size_t>(stepNo - 1)].SQL;
    return GetSQLSteps(stepNo).join(StatementSeparator);
}

QString Tovimar_Script::GetTitle() const {
    // Written into one string of the right size (the executor logs a title per script).
    const QString name = ScriptedObj ? ScriptedObj->FullName(true) : QString();
    QString title;
    title.reserve(13 + Action.size() + Typ.size() + name.size());
    title += QLatin1String("SCRIPT ");
    title += Action;
    title += QLatin1String(" for ");
    title += Typ;
    title += QLatin1Char(' ');
    title += name;
    return title;
}
