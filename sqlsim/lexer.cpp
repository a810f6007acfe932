#include "sqlsim/lexer.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <iterator>

namespace sqlsim {

namespace {

bool IsIdentStart(QChar c) { return c.isLetter() || c == u'_' || c == u'#'; }
// Asked of every character of every name: ASCII characters are looked up in a table.
constexpr auto kAsciiIdentPart = [] {
    std::array<bool, 128> table{};
    for (int u = 0; u < 128; ++u)
        table[static_cast<size_t>(u)] = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                                        u == '_' || u == '#' || u == '$' || u == '@';
    return table;
}();
inline bool IsIdentPart(QChar c) {
    const char16_t u = c.unicode();
    if (u < 128) return kAsciiIdentPart[u];
    return c.isLetterOrNumber();
}

// The operators of two characters: <> != >= <= !< !> and the old outer joins *= =* ("*=" only
// when not a multiplication followed by '=').
bool IsTwoCharOp(char16_t first, char16_t second) {
    switch (first) {
    case u'<': return second == u'>' || second == u'=';
    case u'!': return second == u'=' || second == u'<' || second == u'>';
    case u'>': return second == u'=';
    case u'*': return second == u'=';
    case u'=': return second == u'*';
    default: return false;
    }
}

QString Near(const QString& text, int pos) { return text.mid(pos, 30); }

// A literal without the N prefix is varchar in the database's code page (1252 for the Latin1
// collations the simulator knows): a character that page cannot hold becomes '?'.
bool InCodePage1252(char16_t u) {
    static const char16_t extra[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
                                     0x0160, 0x2039, 0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                     0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178,
                                     0x0081, 0x008D, 0x008F, 0x0090, 0x009D};
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return true;
    return std::find(std::begin(extra), std::end(extra), u) != std::end(extra);
}

// The token list of the thread's last tokenized text, emptied, for the next one to fill. One of a
// huge text is not kept.
thread_local std::vector<Token> spareTokens;
constexpr size_t kMaxSpareTokens = 1 << 16;

}  // namespace

LexResult::~LexResult() {
    if (tokens.capacity() > spareTokens.capacity() && tokens.capacity() <= kMaxSpareTokens) {
        tokens.clear();
        spareTokens = std::move(tokens);
    }
}

LexResult Tokenize(const QString& text, bool quotedIdentifier) {
    LexResult r;
    r.tokens = std::move(spareTokens);
    spareTokens = std::vector<Token>();
    r.tokens.clear();
    r.source = text;
    const QStringView src(r.source);
    const int n = static_cast<int>(src.size());
    r.tokens.reserve(static_cast<size_t>(n / 5) + 2);
    int i = 0;
    auto push = [&](TokKind k, QStringView t, int s, int e) { r.tokens.push_back(Token{k, t, s, e}); };
    // A text that is not a piece of the source is kept with the result.
    auto keep = [&](QString built) -> QStringView {
        r.built.push_back(std::move(built));
        return QStringView(r.built.back());
    };
    auto fail = [&](int number, int pos) {
        r.ok = false;
        r.errorNumber = number;
        r.errorNear = Near(text, pos);
    };
    while (i < n && r.ok) {
        const QChar c = src[i];
        if (c.isSpace()) { ++i; continue; }
        if (c == u'-' && i + 1 < n && src[i + 1] == u'-') {
            while (i < n && src[i] != u'\n') ++i;
            continue;
        }
        if (c == u'/' && i + 1 < n && src[i + 1] == u'*') {
            // Block comments nest in T-SQL.
            int depth = 0;
            int s = i;
            while (i < n) {
                if (src[i] == u'/' && i + 1 < n && src[i + 1] == u'*') { ++depth; i += 2; continue; }
                if (src[i] == u'*' && i + 1 < n && src[i + 1] == u'/') {
                    i += 2;
                    if (--depth == 0) break;
                    continue;
                }
                ++i;
            }
            if (depth != 0) fail(113, s);
            continue;
        }
        const int start = i;
        // The contents of a quoted token that starts at from, with doubled closing characters
        // undone; i moves past the closing character. A varchar literal takes the code page's
        // characters only. False when the text ends before the token does.
        auto readQuoted = [&](QChar close, int from, bool codePage, QStringView& out) -> bool {
            int j = from;
            bool doubled = false, foreign = false;
            while (j < n) {
                const QChar ch = src[j];
                if (ch == close) {
                    if (j + 1 < n && src[j + 1] == close) { doubled = true; j += 2; continue; }
                    break;
                }
                if (codePage && !InCodePage1252(ch.unicode())) foreign = true;
                ++j;
            }
            if (j >= n) return false;
            i = j + 1;
            if (!doubled && !foreign) {
                out = src.sliced(from, j - from);
                return true;
            }
            QString s;
            s.reserve(j - from);
            for (int k = from; k < j; ++k) {
                QChar ch = src[k];
                if (ch == close) ++k;  // the first of a doubled pair stands for the character
                if (codePage && !InCodePage1252(ch.unicode())) ch = u'?';
                s += ch;
            }
            out = keep(std::move(s));
            return true;
        };
        QStringView quoted;
        if ((c == u'N' || c == u'n') && i + 1 < n && src[i + 1] == u'\'') {
            if (!readQuoted(u'\'', i + 2, false, quoted)) { fail(105, start); break; }
            push(TokKind::NString, quoted, start, i);
            continue;
        }
        if (c == u'\'') {
            if (!readQuoted(u'\'', i + 1, true, quoted)) { fail(105, start); break; }
            push(TokKind::String, quoted, start, i);
            continue;
        }
        if (c == u'[') {
            if (!readQuoted(u']', i + 1, false, quoted)) { fail(105, start); break; }
            push(TokKind::QuotedIdent, quoted, start, i);
            continue;
        }
        if (c == u'"') {
            if (!readQuoted(u'"', i + 1, !quotedIdentifier, quoted)) { fail(105, start); break; }
            push(quotedIdentifier ? TokKind::QuotedIdent : TokKind::String, quoted, start, i);
            continue;
        }
        if (c == u'0' && i + 1 < n && (src[i + 1] == u'x' || src[i + 1] == u'X')) {
            int j = i + 2;
            while (j < n && (src[j].isDigit() || (src[j].toLower() >= u'a' && src[j].toLower() <= u'f'))) ++j;
            push(TokKind::Binary, src.sliced(i + 2, j - i - 2), start, j);
            i = j;
            continue;
        }
        if (c.isDigit() || (c == u'.' && i + 1 < n && src[i + 1].isDigit()) || c == u'$') {
            int j = i;
            bool money = false;
            if (c == u'$') {
                money = true;
                ++j;
                if (j < n && (src[j] == u'-' || src[j] == u'+')) ++j;
            }
            bool dot = false, exp = false;
            while (j < n && src[j].isDigit()) ++j;
            if (j < n && src[j] == u'.') { dot = true; ++j; while (j < n && src[j].isDigit()) ++j; }
            if (!money && j < n && (src[j] == u'e' || src[j] == u'E')) {
                int k = j + 1;
                if (k < n && (src[k] == u'+' || src[k] == u'-')) ++k;
                if (k < n && src[k].isDigit()) {
                    exp = true;
                    j = k;
                    while (j < n && src[j].isDigit()) ++j;
                }
            }
            if (money && j == i + 1) {  // a lone '$' is not a literal
                push(TokKind::Op, src.sliced(i, 1), start, j);
                i = j;
                continue;
            }
            TokKind k = money ? TokKind::Money : exp ? TokKind::Float : dot ? TokKind::Decimal : TokKind::Integer;
            push(k, src.sliced(i + (money ? 1 : 0), j - i - (money ? 1 : 0)), start, j);
            i = j;
            continue;
        }
        if (c == u'@') {
            int j = i + 1;
            while (j < n && IsIdentPart(src[j])) ++j;
            push(TokKind::Variable, src.sliced(i, j - i), start, j);
            i = j;
            continue;
        }
        if (IsIdentStart(c)) {
            int j = i + 1;
            bool ascii = c.unicode() < 0x80;
            for (; j < n; ++j) {
                const char16_t u = src[j].unicode();
                if (u < 128) {
                    if (!kAsciiIdentPart[u]) break;
                } else {
                    if (!src[j].isLetterOrNumber()) break;
                    ascii = false;
                }
            }
            push(TokKind::Ident, src.sliced(i, j - i), start, j);
            r.tokens.back().ascii = ascii;
            i = j;
            continue;
        }
        const int width = i + 1 < n && IsTwoCharOp(c.unicode(), src[i + 1].unicode()) ? 2 : 1;
        push(TokKind::Op, src.sliced(i, width), start, i + width);
        i += width;
    }
    r.tokens.push_back(Token{TokKind::End, QStringView(), n, n});
    return r;
}

namespace {

// A line that ends a batch: GO alone, in any case, with blanks around it and optionally a
// comment after it ("GO -- end", "GO /* end */"). "GO 2" is not one (repeat counts came with
// later tools): such a line stays in the batch, where the server rejects it.
bool IsGoLine(const QString& line) {
    const QString t = line.trimmed();
    if (t.size() < 2 || t.left(2).compare(QLatin1String("GO"), Qt::CaseInsensitive) != 0) return false;
    const QString rest = t.mid(2);
    if (rest.isEmpty()) return true;
    if (!rest[0].isSpace() && !rest.startsWith(QLatin1String("--")) && !rest.startsWith(QLatin1String("/*"))) return false;
    const QString after = rest.trimmed();
    if (after.startsWith(QLatin1String("--"))) return true;
    return after.startsWith(QLatin1String("/*")) && after.endsWith(QLatin1String("*/")) && after.size() >= 4 &&
           !after.mid(2, after.size() - 4).contains(QLatin1String("*/"));
}

}  // namespace

std::vector<QString> SplitBatches(const QString& script) {
    std::vector<QString> batches;
    QString current;
    // The quote that is open at the end of a line (' " or ]), and the depth of nested block
    // comments, so that a GO line inside a string, a quoted name or a comment does not split.
    QChar open;
    int commentDepth = 0;
    const QStringList lines = script.split(u'\n');
    for (int lineNo = 0; lineNo < lines.size(); ++lineNo) {
        const QString& rawLine = lines[lineNo];
        QString line = rawLine;
        if (line.endsWith(u'\r')) line.chop(1);
        if (open.isNull() && commentDepth == 0 && IsGoLine(line)) {
            batches.push_back(current);
            current.clear();
            continue;
        }
        const int n = static_cast<int>(line.size());
        for (int i = 0; i < n; ++i) {
            const QChar c = line[i];
            const QChar next = i + 1 < n ? line[i + 1] : QChar();
            if (commentDepth > 0) {
                if (c == u'*' && next == u'/') { --commentDepth; ++i; }
                else if (c == u'/' && next == u'*') { ++commentDepth; ++i; }
                continue;
            }
            if (!open.isNull()) {
                if (c == open) {
                    if (next == open) ++i;  // '' "" ]] stand for the character itself
                    else open = QChar();
                }
                continue;
            }
            if (c == u'-' && next == u'-') break;
            if (c == u'/' && next == u'*') { ++commentDepth; ++i; continue; }
            if (c == u'\'' || c == u'"') open = c;
            else if (c == u'[') open = u']';
        }
        current += rawLine;
        if (lineNo + 1 < lines.size()) current += u'\n';
    }
    if (!current.trimmed().isEmpty()) batches.push_back(current);
    return batches;
}

}  // namespace sqlsim
