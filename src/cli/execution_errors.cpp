#include "cli/execution_errors.h"

#include "cli/cli_prompt.h"

#include <QHash>
#include <QList>

namespace {

QString ObjectCaption(const Tovimar_Script& script) {
    return script.Typ + QLatin1Char(' ') + (script.ScriptedObj ? script.ScriptedObj->FullName(true) : QString());
}

QString Indented(const QString& text, const QString& indent) {
    QString out;
    for (const QString& line : TerminalText(text).split(QLatin1Char('\n'))) out += indent + line + QLatin1Char('\n');
    return out;
}

}  // namespace

QString ExecutionErrorsText(const ErrorCollection& errors) {
    QList<QString> order;
    QHash<QString, QString> groups;
    for (const ErrorPtr& error : errors) {
        if (!error) continue;
        QString caption = QStringLiteral("(no script)");
        QString entry;
        if (error->Script) {
            caption = ObjectCaption(*error->Script);
            entry = QStringLiteral("  ") + error->Script->GetTitle() +
                    (error->Script->GetSQLCount() > 1 ? QStringLiteral(", part %1:\n").arg(error->ScriptIndex)
                                                      : QStringLiteral(":\n"));
            entry += Indented(error->Script->GetSQL(error->ScriptIndex, true), QStringLiteral("    "));
        }
        for (const Tovimar_Error::Entry& reported : error->ErrorList)
            entry += QStringLiteral("  ERR=%1 - ").arg(reported.Number) + reported.Description + QLatin1Char('\n');
        const QString key = caption.toCaseFolded();
        if (!groups.contains(key)) order << caption;
        groups[key] += entry;
    }
    QString text;
    for (const QString& caption : order) text += caption + QStringLiteral(":\n") + groups.value(caption.toCaseFolded());
    return text;
}

QString SkippedScriptsText(const std::vector<ScriptExecutor::SkippedScript>& skipped) {
    QString text;
    for (const ScriptExecutor::SkippedScript& entry : skipped)
        text += QStringLiteral("SKIPPED ") + entry.Script->GetTitle() + QStringLiteral(" (depends on ") +
                entry.Cause->GetTitle() + QStringLiteral(")\n");
    return text;
}
