#include "schema/sql_text.h"

#include "platform/tovimar_exception.h"

const QString WhiteSpaceChars = QStringLiteral("\r\n \t\b");

// ---- Value and string literals -------------------------------------------------------------

QString QuoteString(const QString& text, bool quote) {
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    if (!quote) return doubled;
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

// ---- Identifiers and data types ------------------------------------------------------------

namespace {

void AppendBracketed(QString& out, const QString& part) {
    out += QLatin1Char('[');
    for (const QChar c : part) {
        out += c;
        if (c == QLatin1Char(']')) out += c;
    }
    out += QLatin1Char(']');
}

}  // namespace

QString QuoteName(const QString& first, const QString& second, const QString& third) {
    QString out;
    out.reserve(first.size() + second.size() + third.size() + 8);
    AppendBracketed(out, first);
    if (!second.isEmpty()) {
        out += QLatin1Char('.');
        AppendBracketed(out, second);
    }
    if (!third.isEmpty()) {
        out += QLatin1Char('.');
        AppendBracketed(out, third);
    }
    return out;
}

QString FormatDataType(bool quote, const QString& typeName, int length, int scale) {
    QString out = quote ? QuoteName(typeName) : typeName;
    static const QStringList withLength = {QStringLiteral("char"),     QStringLiteral("binary"),
                                           QStringLiteral("nchar"),    QStringLiteral("nvarchar"),
                                           QStringLiteral("varbinary"), QStringLiteral("varchar")};
    if (withLength.contains(typeName, Qt::CaseInsensitive)) {
        out += QStringLiteral("(%1)").arg(length);
    } else if (typeName.compare(QLatin1String("numeric"), Qt::CaseInsensitive) == 0 ||
               typeName.compare(QLatin1String("decimal"), Qt::CaseInsensitive) == 0) {
        out += QStringLiteral("(%1, %2)").arg(length).arg(scale);
    }
    return out;
}
