#include "schema/sql_text.h"

#include "platform/tovimar_exception.h"

#include <cstring>
#include <limits>
#include <vector>

namespace {

// Constants without dynamic initialisation, so that they can be used at any time.
constexpr QChar kDefaultStartMarker(2);
constexpr QChar kDefaultEndMarker(1);
constexpr QChar kDefaultTerminator(0);
constexpr QStringView kCrLf = u"\r\n";

bool IsAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace

// ---- Value and string literals -------------------------------------------------------------

namespace {

bool IsGoLine(QStringView line) {
    QString probe = line.toString();
    probe.replace(QLatin1Char('\t'), QLatin1Char(' '));
    qsizetype begin = 0;
    qsizetype end = probe.size();
    while (begin < end && probe[begin] == QLatin1Char(' ')) ++begin;
    while (end > begin && probe[end - 1] == QLatin1Char(' ')) --end;
    QStringView word = QStringView(probe).mid(begin, end - begin);
    // "GO n" runs the batch n times in the command-line tools: it ends a batch too.
    qsizetype digits = word.size();
    while (digits > 0 && IsAsciiDigit(word[digits - 1])) --digits;
    if (digits < word.size() && digits > 2 && word[digits - 1] == QLatin1Char(' ')) word = word.left(digits).trimmed();
    return word.compare(QLatin1String("GO"), Qt::CaseInsensitive) == 0;
}

// Each character with a code from 0 to 31 written as ' + CHAR(n) + ' (+ N' for a Unicode
// literal).
void AppendEncoded(QString& out, QStringView text, bool encodeControlChars, bool national) {
    if (!encodeControlChars) {
        out += text;
        return;
    }
    for (const QChar c : text) {
        if (c.unicode() < 32) {
            out += QStringLiteral("' + CHAR(");
            out += QString::number(c.unicode());
            out += national ? QStringLiteral(") + N'") : QStringLiteral(") + '");
        } else {
            out += c;
        }
    }
}

bool NeedsUnicodeLiteral(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() > 127) return true;
    return false;
}

bool HasControlChars(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() < 32) return true;
    return false;
}

// Appends text with every quote doubled.
void AppendDoubledQuotes(QString& out, QStringView text) {
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(QLatin1Char('\'')); at >= 0; at = text.indexOf(QLatin1Char('\''), from)) {
        out += text.mid(from, at + 1 - from);
        out += QLatin1Char('\'');
        from = at + 1;
    }
    out += text.mid(from);
}

// GetSQLString; with national, the literal and every literal reopened after a CHAR() or a
// split line is written with the N prefix.
QString BuildSQLString(const QString& text, bool quote, bool encodeControlChars, bool splitLines, bool national) {
    if (quote && !HasControlChars(text)) {
        // The common case (a name): one line that begins with its quote, so neither a CHAR() nor
        // a split GO line can occur; the literal is written in one piece.
        QString out;
        out.reserve(text.size() + 3);
        if (national) out += QLatin1Char('N');
        out += QLatin1Char('\'');
        AppendDoubledQuotes(out, text);
        out += QLatin1Char('\'');
        return out;
    }
    const QString quoted = QuoteString(text, quote);
    QString out;
    out.reserve(quoted.size() + 16);
    if (national && quote) out += QLatin1Char('N');
    if (!splitLines) {
        AppendEncoded(out, quoted, encodeControlChars, national);
        return out;
    }
    const QStringView all(quoted);
    qsizetype lineStart = 0;
    while (true) {
        const qsizetype lineEnd = all.indexOf(kCrLf, lineStart);
        const QStringView line = all.mid(lineStart, (lineEnd < 0 ? all.size() : lineEnd) - lineStart);
        const qsizetype before = out.size();
        AppendEncoded(out, line, encodeControlChars, national);
        // A line reading GO inside a literal would end the batch: split the literal there.
        if (IsGoLine(QStringView(out).mid(before))) out += national ? QStringLiteral("'+N'") : QStringLiteral("'+'");
        if (lineEnd < 0) break;
        out += kCrLf;
        lineStart = lineEnd + 2;
    }
    return out;
}

}  // namespace

QString GetSQLValue(const DbValue& value) {
    switch (value.GetKind()) {
    case DbValue::Kind::Empty:
    case DbValue::Kind::Null: return QStringLiteral("NULL");
    case DbValue::Kind::Bool: return value.ToBool() ? QStringLiteral("1") : QStringLiteral("0");
    case DbValue::Kind::DateTime: {
        const QDateTime dt = value.ToDateTime();
        if (!dt.isValid()) return QStringLiteral("NULL");
        // Style 120 has no fraction; a value with milliseconds uses style 121 so that copied
        // data keep them.
        if (dt.time().msec() != 0)
            return QStringLiteral("CONVERT(DATETIME, '") + dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
                   QStringLiteral("',121)");
        return QStringLiteral("CONVERT(DATETIME, '") + dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
               QStringLiteral("',120)");
    }
    case DbValue::Kind::String: {
        // A text with characters beyond ASCII is written as a Unicode literal (N'...'), so that a
        // server does not convert it to its code page and lose them on the way to an nchar,
        // nvarchar or ntext column or to a name.
        const QString text = value.ToString();
        return NeedsUnicodeLiteral(text) ? BuildSQLString(text, true, true, true, true)
                                         : GetSQLString(text, true, true, true);
    }
    case DbValue::Kind::Binary: return value.ToString();  // 0x followed by the bytes in hex
    case DbValue::Kind::Int: return QString::number(value.ToInt());
    case DbValue::Kind::Float:
        // The shortest text that reads back as the same double, always with a decimal point.
        return QString::number(value.ToFloat(), 'g', QLocale::FloatingPointShortest);
    case DbValue::Kind::Currency:
    case DbValue::Kind::Decimal: {
        QString text = value.ToString();
        text.replace(QLatin1Char(','), QLatin1Char('.'));
        return text;
    }
    }
    return QStringLiteral("NULL");
}

QString GetSQLString(const QString& text, bool quote, bool encodeControlChars, bool splitLines) {
    return BuildSQLString(text, quote, encodeControlChars, splitLines, false);
}

QString QuoteString(const QString& text, bool quote) {
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    if (!quote) return doubled;
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

QString QuoteUnicodeString(const QString& text) {
    return NeedsUnicodeLiteral(text) ? QLatin1Char('N') + QuoteString(text, true) : QuoteString(text, true);
}

namespace {

// The literal of GetSQLValue is one constant: no CHAR() for a control character (other than
// the CR LF pairs of real line breaks) and no split at a line reading GO.
bool IsSingleLiteral(const QString& text) {
    const qsizetype n = text.size();
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= n; ++i) {
        const bool pair = i + 1 < n && text[i] == QLatin1Char('\r') && text[i + 1] == QLatin1Char('\n');
        if (i == n || pair) {
            if (IsGoLine(QStringView(text).mid(lineStart, i - lineStart))) return false;
            if (pair) ++i;
            lineStart = i + 1;
            continue;
        }
        if (text[i].unicode() < 32) return false;
    }
    return true;
}

}  // namespace

QString ExecProcedureSQL(const QString& procedure, const QStringList& arguments) {
    QStringList literals;
    bool single = true;
    for (const QString& argument : arguments) {
        literals << GetSQLValue(DbValue::FromString(argument));
        single = single && IsSingleLiteral(argument);
    }
    if (single) return QStringLiteral("EXEC ") + procedure + QLatin1Char(' ') + literals.join(QStringLiteral(", "));
    QStringList declarations, assignments, variables;
    for (qsizetype i = 0; i < literals.size(); ++i) {
        const QString variable = QStringLiteral("@p%1").arg(i + 1);
        declarations << variable + QStringLiteral(" nvarchar(4000)");
        assignments << variable + QStringLiteral(" = ") + literals[i];
        variables << variable;
    }
    return QStringLiteral("DECLARE ") + declarations.join(QStringLiteral(", ")) + kCrLf.toString() + QStringLiteral("SELECT ") +
           assignments.join(QStringLiteral(", ")) + kCrLf.toString() + QStringLiteral("EXEC ") + procedure + QLatin1Char(' ') +
           variables.join(QStringLiteral(", "));
}

// ---- Text inside comments ------------------------------------------------------------------

namespace {

bool IsLineBreakChar(QChar c) {
    // CR, LF, vertical tab, form feed, next line, line and paragraph separators.
    const char16_t u = c.unicode();
    return u == 10 || u == 11 || u == 12 || u == 13 || u == 0x85 || u == 0x2028 || u == 0x2029;
}

}  // namespace

QString CommentLineText(const QString& text) {
    const auto breaksLine = [](QChar c) { return IsLineBreakChar(c) || c.unicode() == 0; };
    // Most texts have nothing to replace: they are shared, not copied.
    qsizetype i = 0;
    while (i < text.size() && !breaksLine(text[i])) ++i;
    if (i == text.size()) return text;
    QString out = text;
    for (QChar* c = out.data() + i; c != out.data() + out.size(); ++c)
        if (breaksLine(*c)) *c = QLatin1Char(' ');
    return out;
}

QString BlockCommentText(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i];
        const bool opens = text[i] == QLatin1Char('/') && i + 1 < text.size() && text[i + 1] == QLatin1Char('*');
        const bool closes = text[i] == QLatin1Char('*') && i + 1 < text.size() && text[i + 1] == QLatin1Char('/');
        if (opens || closes) out += QLatin1Char(' ');
    }
    // Lines end at any line break character here: a tool that splits batches may count a lone
    // CR or LF as the end of a line.
    QString result;
    result.reserve(out.size() + 8);
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= out.size(); ++i) {
        if (i < out.size() && !IsLineBreakChar(out[i])) continue;
        const QStringView line = QStringView(out).mid(lineStart, i - lineStart);
        if (IsGoLine(line)) result += QStringLiteral("-- ");
        result += line;
        if (i < out.size()) result += out[i];
        lineStart = i + 1;
    }
    return result;
}

// ---- Identifiers and data types ------------------------------------------------------------

namespace {

// The length of a part in brackets: the part, its two brackets and one more "]" for each in it.
qsizetype BracketedSize(QStringView part) {
    qsizetype size = part.size() + 2;
    for (const QChar c : part)
        if (c == QLatin1Char(']')) ++size;
    return size;
}

// Writes "[" + the part with each "]" doubled + "]" at out; returns the position after it.
QChar* WriteBracketed(QChar* out, QStringView part) {
    *out++ = QLatin1Char('[');
    for (const QChar c : part) {
        *out++ = c;
        if (c == QLatin1Char(']')) *out++ = c;
    }
    *out++ = QLatin1Char(']');
    return out;
}

}  // namespace

// The length is counted first and the text written into a string of that size: one allocation
// and no appends (names are quoted very often, for keys and scripts alike).
QString QuoteName(const QString& first, const QString& second, const QString& third) {
    qsizetype size = BracketedSize(first);
    if (!second.isEmpty()) size += 1 + BracketedSize(second);
    if (!third.isEmpty()) size += 1 + BracketedSize(third);
    QString out(size, Qt::Uninitialized);
    QChar* at = WriteBracketed(out.data(), first);
    if (!second.isEmpty()) {
        *at++ = QLatin1Char('.');
        at = WriteBracketed(at, second);
    }
    if (!third.isEmpty()) {
        *at++ = QLatin1Char('.');
        at = WriteBracketed(at, third);
    }
    Q_ASSERT(at == out.constData() + size);
    return out;
}

QString QuoteNameAfter(const QString& prefix, const QString& name) {
    QString out(prefix.size() + 1 + BracketedSize(name), Qt::Uninitialized);
    std::memcpy(out.data(), prefix.constData(), static_cast<size_t>(prefix.size()) * sizeof(QChar));
    out[prefix.size()] = QLatin1Char('.');
    [[maybe_unused]] const QChar* end = WriteBracketed(out.data() + prefix.size() + 1, name);
    Q_ASSERT(end == out.constData() + out.size());
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

// ---- Masking of SQL text -------------------------------------------------------------------

const DelimiterTable& DefaultDelimiters() {
    static const DelimiterTable table = {{QStringLiteral("'"), QStringLiteral("'")}};
    return table;
}

const DelimiterTable& CommentDelimiters() {
    static const DelimiterTable table = {
        {QStringLiteral("'"), QStringLiteral("'"), QString(), QStringLiteral("''")},
        {QStringLiteral("/*"), QStringLiteral("*/")},
        // A line comment ends at CR LF, or at a lone line feed: definitions written on other
        // systems reach the server with line feeds only.
        {QStringLiteral("--"), kCrLf.toString(), QStringLiteral("\n"), QString(QChar(0))},
        // Quoted names, so that a ' or -- or /* inside one starts nothing.
        {QStringLiteral("["), QStringLiteral("]"), QString(), QStringLiteral("]]")},
        {QStringLiteral("\""), QStringLiteral("\""), QString(), QStringLiteral("\"\"")},
    };
    return table;
}

const DelimiterTable& BracketDelimiters() {
    static const DelimiterTable table = {{QStringLiteral("["), QStringLiteral("]"), QString(), QStringLiteral("]]")}};
    return table;
}

namespace {

constexpr qsizetype kNowhere = std::numeric_limits<qsizetype>::max();

// A delimiter searched forward through one text. The scan only ever moves forward, so the
// position found last stays valid until the scan passes it; the text between is searched once.
// Delimiters without letters are searched exactly (the same result as a case-insensitive
// search, and much faster); others case-insensitively, without building lower-cased copies.
class ForwardFinder {
public:
    ForwardFinder(QStringView text, const QString& needle) : text_(text), needle_(needle) {
        for (const QChar c : needle)
            if (c.toLower() != c || c.toUpper() != c || c.isLetter()) caseSensitivity_ = Qt::CaseInsensitive;
    }

    // The first occurrence at or after from, or kNowhere. from never decreases between calls.
    qsizetype Next(qsizetype from) {
        if (exhausted_) return kNowhere;
        if (found_ >= from) return found_;
        const qsizetype at = text_.indexOf(needle_, from, caseSensitivity_);
        if (at < 0) {
            exhausted_ = true;
            return kNowhere;
        }
        found_ = at;
        return found_;
    }

    qsizetype Length() const { return needle_.size(); }

private:
    QStringView text_;
    QString needle_;
    Qt::CaseSensitivity caseSensitivity_ = Qt::CaseSensitive;
    qsizetype found_ = -1;
    bool exhausted_ = false;
};

struct EntryScanner {
    ForwardFinder opener;
    std::vector<ForwardFinder> ends;  // the non-empty elements 1.. in order
    std::vector<bool> isEscape;       // parallel to ends
    bool nests = false;               // an opener inside the stretch opens a nested one
};

}  // namespace

QString StringLiteralExtract(const QString& text, QStringList& literals, const DelimiterTable* delimiters,
                             const QString& startMarker, const QString& endMarker, const QString& terminator) {
    const QString start = startMarker.isEmpty() ? QString(kDefaultStartMarker) : startMarker;
    const QString end = endMarker.isEmpty() ? QString(kDefaultEndMarker) : endMarker;
    const QString term = terminator.isEmpty() ? QString(kDefaultTerminator) : terminator;
    const DelimiterTable& table = delimiters ? *delimiters : DefaultDelimiters();

    const QString input = text + term;
    const QStringView all(input);

    // Entries with an empty opener could never make progress and are left out.
    std::vector<EntryScanner> entries;
    entries.reserve(table.size());
    for (const DelimiterEntry& entry : table) {
        if (entry.isEmpty() || entry[0].isEmpty()) continue;
        // Block comments nest in T-SQL: /* a /* b */ c */ is one comment.
        EntryScanner scanner{ForwardFinder(all, entry[0]), {}, {}, entry[0] == QLatin1String("/*")};
        bool afterEmpty = false;
        for (qsizetype j = 1; j < entry.size(); ++j) {
            if (entry[j].isEmpty()) {
                afterEmpty = true;
                continue;
            }
            scanner.ends.emplace_back(all, entry[j]);
            scanner.isEscape.push_back(afterEmpty);
        }
        entries.push_back(std::move(scanner));
    }

    QString out;
    out.reserve(input.size());
    qsizetype scan = 0;
    while (true) {
        // The earliest opener; on equal positions the earlier entry.
        qsizetype openAt = kNowhere;
        EntryScanner* winner = nullptr;
        for (EntryScanner& entry : entries) {
            const qsizetype at = entry.opener.Next(scan);
            if (at < openAt) {
                openAt = at;
                winner = &entry;
            }
        }
        if (!winner) {
            out += all.mid(scan);
            break;
        }
        out += all.mid(scan, openAt - scan);

        // The closer: the earliest element, on equal positions the later one (so that an
        // escape such as '' wins over the closer ' it begins with); escapes are passed over.
        qsizetype search = openAt + winner->opener.Length();
        qsizetype closeEnd = 0;
        int depth = 1;
        while (true) {
            qsizetype bestAt = kNowhere;
            std::size_t best = 0;
            for (std::size_t j = 0; j < winner->ends.size(); ++j) {
                const qsizetype at = winner->ends[j].Next(search);
                if (at <= bestAt && at != kNowhere) {
                    bestAt = at;
                    best = j;
                }
            }
            if (winner->nests) {
                const qsizetype nested = winner->opener.Next(search);
                if (nested < bestAt) {
                    ++depth;
                    search = nested + winner->opener.Length();
                    continue;
                }
            }
            if (bestAt == kNowhere)
                throw TovimarException(500, QStringLiteral("StringLiteralExtract"), QStringLiteral("Nesting Error"));
            search = bestAt + winner->ends[best].Length();
            if (!winner->isEscape[best] && --depth == 0) {
                closeEnd = search;
                break;
            }
        }

        literals.append(input.mid(openAt, closeEnd - openAt));
        out += start;
        out += QString::number(literals.size());
        out += end;
        scan = closeEnd;
    }

    if (out.endsWith(term)) out.chop(term.size());
    return out;
}

namespace {

bool IsRestored(const QString& literal, const QStringList* prefixes) {
    if (literal.isEmpty()) return false;
    if (!prefixes) return true;
    for (const QString& prefix : *prefixes)
        if (literal.startsWith(prefix, Qt::CaseInsensitive)) return true;
    return false;
}

// The restore exactly as defined: from the last entry to the first, the first occurrence of its
// placeholder is replaced. Used when the one-pass restore cannot be shown to give the same text.
QString RestoreStepByStep(const QString& text, const QStringList& literals, const QStringList* prefixes,
                          const QString& start, const QString& end) {
    QString out = text;
    for (qsizetype i = literals.size(); i >= 1; --i) {
        const QString& literal = literals[i - 1];
        if (!IsRestored(literal, prefixes)) continue;
        const QString placeholder = start + QString::number(i) + end;
        const qsizetype at = out.indexOf(placeholder);
        if (at >= 0) out.replace(at, placeholder.size(), literal);
    }
    return out;
}

}  // namespace

QString StringLiteralRestore(const QString& text, const QStringList& literals, const QStringList* prefixes,
                             const QString& startMarker, const QString& endMarker) {
    const QString start = startMarker.isEmpty() ? QString(kDefaultStartMarker) : startMarker;
    const QString end = endMarker.isEmpty() ? QString(kDefaultEndMarker) : endMarker;

    // One pass gives the same text as the step-by-step replacement when the markers are single
    // non-digit characters, every start marker in the text begins a well-formed placeholder
    // (start marker, digits, end marker) and no literal put back contains a start marker: then
    // no replacement can form or break another placeholder, each placeholder's number is read
    // where it stands, and the first occurrence of a number in the text is the one replaced.
    const bool simpleMarkers = start.size() == 1 && end.size() == 1 && start != end && !IsAsciiDigit(start[0]) &&
                               !IsAsciiDigit(end[0]);
    if (!simpleMarkers) return RestoreStepByStep(text, literals, prefixes, start, end);
    const QChar s = start[0];
    const QChar e = end[0];

    std::vector<char> restore(literals.size(), 0);  // 1: put back; 2: put back already
    for (qsizetype i = 0; i < literals.size(); ++i) {
        if (!IsRestored(literals[i], prefixes)) continue;
        if (literals[i].contains(s)) return RestoreStepByStep(text, literals, prefixes, start, end);
        restore[i] = 1;
    }

    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype copied = 0;  // text before this position is in out
    for (qsizetype at = text.indexOf(s); at >= 0; at = text.indexOf(s, at + 1)) {
        qsizetype digitsEnd = at + 1;
        while (digitsEnd < n && IsAsciiDigit(text[digitsEnd])) ++digitsEnd;
        if (digitsEnd >= n || text[digitsEnd] != e) return RestoreStepByStep(text, literals, prefixes, start, end);
        const QStringView digits = QStringView(text).mid(at + 1, digitsEnd - at - 1);
        // Only the number's own decimal text matches a placeholder: no leading zeros.
        if (digits.isEmpty() || digits[0] == QLatin1Char('0') || digits.size() > 18) continue;
        const qsizetype number = digits.toLongLong();
        if (number < 1 || number > literals.size() || restore[number - 1] != 1) continue;
        restore[number - 1] = 2;
        out += QStringView(text).mid(copied, at - copied);
        out += literals[number - 1];
        copied = digitsEnd + 1;
    }
    out += QStringView(text).mid(copied);
    return out;
}

QString MaskComments(const QString& text, QStringList& literals) {
    // Strings and quoted names are put back; only the comments stay masked.
    static const QStringList stringPrefix = {QStringLiteral("'"), QStringLiteral("["), QStringLiteral("\"")};
    const QString masked = StringLiteralExtract(text, literals, &CommentDelimiters());
    return StringLiteralRestore(masked, literals, &stringPrefix);
}

QString MaskBracketedNames(const QString& text, QStringList& literals) {
    return StringLiteralExtract(text, literals, &BracketDelimiters());
}

QString RestoreMasked(const QString& text, const QStringList& literals) {
    return StringLiteralRestore(text, literals);
}

// ---- Reading and replacing object names ----------------------------------------------------

namespace {

bool IsNameDelimiter(QChar c) {
    return WhiteSpaceChars.contains(c) || c == QLatin1Char(';') || c == QLatin1Char('(');
}

// GetObjectNameAt on a 0-based position. With skipMasked, a masked stretch (start marker,
// digits, end marker) before the name is passed over like white space and one right after the
// name ends it, so that a comment next to the name is neither read as the name nor swallowed.
QString ReadObjectName(const QString& text, qsizetype& position, bool skipMasked) {
    const qsizetype n = text.size();
    const QChar maskStart = kDefaultStartMarker;
    const QChar maskEnd = kDefaultEndMarker;
    enum class Quote { None, Bracket, Double } quote = Quote::None;
    bool started = false;
    bool done = false;
    bool suffix = false;
    qsizetype cur = position;

    while (cur < n) {
        const QChar c = text[cur];
        const bool masked = skipMasked && quote == Quote::None && c == maskStart;
        if ((IsNameDelimiter(c) || masked) && quote == Quote::None && started) {
            suffix = true;
            break;
        }
        if (masked && !started) {
            const qsizetype close = text.indexOf(maskEnd, cur + 1);
            cur = close < 0 ? cur + 1 : close + 1;
            continue;
        }
        if (!IsNameDelimiter(c) && !started) {
            started = true;
            position = cur;
        }
        if (done) break;
        const bool doubled = cur + 1 < n && text[cur + 1] == c;
        if (c == QLatin1Char('[')) {
            if (quote == Quote::None) quote = Quote::Bracket;
        } else if (c == QLatin1Char(']')) {
            if (quote == Quote::Bracket && doubled) {
                ++cur;  // ]] inside a bracketed name is one ]
            } else if (quote == Quote::Bracket) {
                quote = Quote::None;
                if (cur + 1 >= n || text[cur + 1] != QLatin1Char('.')) done = true;
            }
        } else if (c == QLatin1Char('"')) {
            if (quote == Quote::Double && doubled) {
                ++cur;  // "" inside a quoted name is one "
            } else if (quote == Quote::Double) {
                quote = Quote::None;
                if (cur + 1 >= n || text[cur + 1] != QLatin1Char('.')) done = true;
            } else if (quote == Quote::None) {
                quote = Quote::Double;
            }
        }
        ++cur;
    }
    if (!started) return QString();

    if (suffix) {
        // A group number: ";n" after the name, blanks allowed before the ";".
        qsizetype at = cur;
        while (at < n && text[at] == QLatin1Char(' ')) ++at;
        if (at < n && text[at] == QLatin1Char(';')) {
            qsizetype digit = at + 1;
            while (digit < n && (text[digit] == QLatin1Char(' ') || text[digit] == QLatin1Char('\t'))) ++digit;
            if (digit < n && text[digit] == QLatin1Char('+')) ++digit;
            qsizetype digitsEnd = digit;
            while (digitsEnd < n && IsAsciiDigit(text[digitsEnd])) ++digitsEnd;
            qsizetype significant = digit;
            while (significant < digitsEnd && text[significant] == QLatin1Char('0')) ++significant;
            if (significant < digitsEnd) {
                // The value's decimal digits (no leading zeros), first found after the ";".
                const QStringView value = QStringView(text).mid(significant, digitsEnd - significant);
                const qsizetype found = QStringView(text).indexOf(value, at + 1);
                if (found >= 0) cur = found + value.size();
            }
        }
    }
    return text.mid(position, cur - position);
}

qsizetype ReplaceNameAt(QString& text, qsizetype from, const QString& replacement) {
    qsizetype position = from;
    const QString name = ReadObjectName(text, position, true);
    if (name.isEmpty()) return -1;
    text.replace(position, name.size(), replacement);
    return position;
}

}  // namespace

QString GetObjectNameAt(const QString& text, int& position) {
    qsizetype at = std::max(position, 1) - 1;
    if (at >= text.size()) return QString();
    const QString name = ReadObjectName(text, at, false);
    if (!name.isEmpty()) position = static_cast<int>(at + 1);
    return name;
}

QString ReplaceObjectName(const QString& definition, const QString& findWord, const QString& replaceWord,
                          const QString& keyword, const QString& newName, const QString& onName, int number) {
    QStringList literals;
    QString text = MaskComments(definition, literals);

    if (!findWord.isEmpty() && !replaceWord.isEmpty()) {
        const qsizetype at = text.indexOf(findWord, 0, Qt::CaseInsensitive);
        if (at >= 0) text.replace(at, findWord.size(), replaceWord);
    }

    if (!newName.isEmpty()) {
        const QString name = number > 1 ? newName + QLatin1Char(';') + QString::number(number) : newName;
        qsizetype from = 0;
        if (!replaceWord.isEmpty()) from = std::max<qsizetype>(text.indexOf(replaceWord, 0, Qt::CaseInsensitive), 0);
        qsizetype at = keyword.isEmpty() ? -1 : text.indexOf(keyword, from, Qt::CaseInsensitive);
        if (at >= 0) {
            // Past the keyword (PROC reaches over PROCEDURE); a bracket, a double quote or a
            // comment directly after the keyword already belongs to what follows.
            const QChar maskStart = kDefaultStartMarker;
            while (at < text.size() && !WhiteSpaceChars.contains(text[at]) && text[at] != QLatin1Char(';') &&
                   text[at] != QLatin1Char('[') && text[at] != QLatin1Char('"') && text[at] != maskStart)
                ++at;
            const qsizetype nameAt = ReplaceNameAt(text, at, name);
            const qsizetype afterName = nameAt < 0 ? at : nameAt + name.size();
            if (!onName.isEmpty()) {
                const qsizetype on = text.indexOf(QLatin1String("ON"), afterName, Qt::CaseInsensitive);
                if (on >= 0) ReplaceNameAt(text, on + 2, onName);
            }
        }
    }

    return NormalizeLineBreaks(RestoreMasked(text, literals));
}

QString NormalizeLineBreaks(const QString& text) {
    QString out = kCrLf.toString();
    out.reserve(text.size() + 2);
    const QStringView all(text);
    const qsizetype n = all.size();
    qsizetype breaks = 0;  // breaks seen since the last text; written only when text follows
    bool anyText = false;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = all[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0) {
            if (c == QLatin1Char('\r') && i + 1 < n && all[i + 1] == QLatin1Char('\n')) ++i;
            ++i;
            if (anyText) ++breaks;
            continue;
        }
        qsizetype runEnd = i + 1;
        while (runEnd < n && all[runEnd] != QLatin1Char('\r') && all[runEnd] != QLatin1Char('\n') &&
               all[runEnd].unicode() != 0)
            ++runEnd;
        for (; breaks > 0; --breaks) out += kCrLf;
        out += all.mid(i, runEnd - i);
        anyText = true;
        i = runEnd;
    }
    return out;
}

// ---- Lists ---------------------------------------------------------------------------------

QList<QStringList> GetSortedCollection(const QList<QStringList>& rows, int column) {
    return GetSortedCollection(rows, [column](const QStringList& row) {
        return column >= 0 && column < row.size() ? row[column] : QString();
    });
}
