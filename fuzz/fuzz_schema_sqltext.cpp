// Fuzz target for the SQL text scanners. The input is read as SQL text (Latin-1, so that the
// control characters used as markers and terminator are easy to reach, or UTF-8 for
// case-folding cases) and goes through every scanner. "Nesting Error" is the one expected
// exception; any other exception, a crash, a hang, a sanitizer report or a broken round trip
// is a bug.
#include "schema/sql_text.h"

#include "platform/tovimar_exception.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

void CheckNestingError(const TovimarException& e) {
    Check(e.Number == 500 && e.Source == QLatin1String("StringLiteralExtract") &&
          e.Description == QLatin1String("Nesting Error"));
}

// The restore as defined, one placeholder at a time; the library's one-pass restore must agree.
QString ReferenceRestore(const QString& text, const QStringList& literals, const QStringList* prefixes) {
    QString out = text;
    for (qsizetype i = literals.size(); i >= 1; --i) {
        const QString& literal = literals[i - 1];
        if (literal.isEmpty()) continue;
        if (prefixes) {
            bool any = false;
            for (const QString& p : *prefixes) any = any || literal.startsWith(p, Qt::CaseInsensitive);
            if (!any) continue;
        }
        const QString placeholder = QChar(2) + QString::number(i) + QChar(1);
        const qsizetype at = out.indexOf(placeholder);
        if (at >= 0) out.replace(at, placeholder.size(), literal);
    }
    return out;
}

void ExtractAndRestore(const QString& text, const DelimiterTable* table, bool mayTakeTerminator) {
    QStringList literals;
    try {
        const QString masked = StringLiteralExtract(text, literals, table);
        const QString restored = RestoreMasked(masked, literals);
        Check(restored == ReferenceRestore(masked, literals, nullptr));
        // Without marker characters of its own, a text comes back exactly (plus the terminator
        // when a line comment ran to its end).
        if (!text.contains(QChar(2)))
            Check(restored == text || (mayTakeTerminator && restored == text + QChar(0)));
        // The literal list with holes and a prefix filter: one-pass and reference agree.
        QStringList sparse = literals;
        for (qsizetype i = 0; i < sparse.size(); i += 3) sparse[i].clear();
        const QStringList prefixes = {QStringLiteral("'"), QStringLiteral("[")};
        Check(StringLiteralRestore(masked, sparse, &prefixes) == ReferenceRestore(masked, sparse, &prefixes));
        // The masked text restored against the text itself as one literal (markers inside literals).
        const QStringList self = {masked, text};
        Check(RestoreMasked(text, self) == ReferenceRestore(text, self, nullptr));
    } catch (const TovimarException& e) {
        CheckNestingError(e);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char* chars = reinterpret_cast<const char*>(data + 1);
    const qsizetype length = static_cast<qsizetype>(size - 1);
    const QString text = (data[0] & 1) ? QString::fromUtf8(chars, length) : QString::fromLatin1(chars, length);

    ExtractAndRestore(text, nullptr, false);
    ExtractAndRestore(text, &DefaultDelimiters(), false);
    ExtractAndRestore(text, &CommentDelimiters(), true);
    ExtractAndRestore(text, &BracketDelimiters(), false);

    QStringList literals;
    try {
        const QString masked = MaskComments(text, literals);
        (void)MaskBracketedNames(masked, literals);
    } catch (const TovimarException& e) {
        CheckNestingError(e);
    }

    for (int start : {0, 1, 2, 7, static_cast<int>(text.size()), static_cast<int>(text.size()) + 3}) {
        int position = start;
        const QString name = GetObjectNameAt(text, position);
        if (!name.isEmpty()) Check(position >= 1 && text.mid(position - 1, name.size()) == name);
    }

    static const char* const keywords[] = {"VIEW", "PROC", "FUNC", "TRIGGER"};
    for (int k = 0; k < 4; ++k) {
        try {
            const QString result =
                ReplaceObjectName(text, QStringLiteral("CREATE"), QStringLiteral("ALTER"), QLatin1String(keywords[k]),
                                  QStringLiteral("[dbo].[x]"), k == 3 ? QStringLiteral("[dbo].[T]") : QString(), k);
            Check(result.startsWith(QLatin1String("\r\n")));
        } catch (const TovimarException& e) {
            CheckNestingError(e);
        }
    }

    const QString normal = NormalizeLineBreaks(text);
    Check(normal.startsWith(QLatin1String("\r\n")));
    for (qsizetype i = 2; i < normal.size(); ++i) {
        const QChar c = normal[i];
        Check(c.unicode() != 0);
        if (c == QLatin1Char('\r')) Check(i + 1 < normal.size() && normal[i + 1] == QLatin1Char('\n'));
        if (c == QLatin1Char('\n')) Check(normal[i - 1] == QLatin1Char('\r'));
    }
    Check(NormalizeLineBreaks(normal.mid(2)) == normal);

    const QString literal = GetSQLString(text, true, true, true);
    Check(!literal.isEmpty());
    return 0;
}
