#include "compare/script_export.h"

#include "schema/sql_text.h"

namespace {
const QString CrLf = QStringLiteral("\r\n");
QString Line(const QString& text) { return text + CrLf; }
}  // namespace

QString ExportScriptText(const Tovimar_Script& script) {
    QString out = Line(QStringLiteral("-- ") + script.GetTitle());
    out += Line(QString(80, QLatin1Char('-')));
    const int count = script.GetSQLCount();
    for (int part = 1; part <= count; ++part) {
        const QString header = count > 1 ? QStringLiteral("-- Part %1:").arg(part) + CrLf : QString();
        const QString text = script.GetSQL(part, true);
        if (!header.isEmpty() || !text.isEmpty()) out += Line(header + text);
        if (!header.isEmpty()) out += Line(QString(70, QLatin1Char('-')));
        out += Line(QStringLiteral("GO"));
    }
    out += Line(QString(80, QLatin1Char('-')));
    return out;
}

QString ExportScriptsText(const ScriptList& scripts, const Tovimar_Database& db, const QDateTime& now) {
    QString out = Line(QString(80, QLatin1Char('-')));
    out += CrLf;
    out += Line(QStringLiteral("-- Tovimar Script for Database: ") + db.FullName() + QStringLiteral("  on: ") +
                now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    out += CrLf;
    out += Line(QStringLiteral("-- USE ") + QuoteName(db.Name));
    out += CrLf;
    out += Line(QString(80, QLatin1Char('-')));
    for (const ScriptPtr& script : scripts)
        if (script && script->Checked) out += ExportScriptText(*script);
    return out;
}
