#include "compare/script_export.h"

#include "schema/sql_text.h"

namespace {
const QString CrLf = QStringLiteral("\r\n");
QString Line(const QString& text) { return text + CrLf; }
}  // namespace

QString ExportScriptText(const Tovimar_Script& script) {
    QString out = Line(QStringLiteral("-- ") + CommentLineText(script.GetTitle()));
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
