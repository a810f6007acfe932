#include "sqlsim/lexer.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <iterator>

namespace sqlsim {

namespace {

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

// What a character may start, for the ASCII characters; Tokenize classes the others itself.
enum class CharClass : unsigned char {
    Other, Space, Letter, IdentStart, Digit, Minus, Slash, Quote, DoubleQuote, Bracket, Dot, Dollar, At
};
constexpr auto kAsciiClass = [] {
    std::array<CharClass, 128> table{};
    for (int u = 0; u < 128; ++u) {
        CharClass& k = table[static_cast<size_t>(u)];
        if (u == ' ' || (u >= 0x09 && u <= 0x0D)) k = CharClass::Space;  // as QChar::isSpace
        else if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')) k = CharClass::Letter;
        else if (u == '_' || u == '#') k = CharClass::IdentStart;
        else if (u >= '0' && u <= '9') k = CharClass::Digit;
        else if (u == '-') k = CharClass::Minus;
        else if (u == '/') k = CharClass::Slash;
        else if (u == '\'') k = CharClass::Quote;
        else if (u == '"') k = CharClass::DoubleQuote;
        else if (u == '[') k = CharClass::Bracket;
        else if (u == '.') k = CharClass::Dot;
        else if (u == '$') k = CharClass::Dollar;
        else if (u == '@') k = CharClass::At;
    }
    return table;
}();

// A number from i (digits, a decimal point, an exponent; $ for money); i moves past it. A lone
// '$' is an operator. The kind of the literal, its text without the '$'.
TokKind ReadNumber(QStringView src, int& i, QStringView& out) {
    const int n = static_cast<int>(src.size());
    int j = i;
    bool money = false;
    if (src[i] == u'$') {
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
        out = src.sliced(i, 1);
        i = j;
        return TokKind::Op;
    }
    out = src.sliced(i + (money ? 1 : 0), j - i - (money ? 1 : 0));
    i = j;
    return money ? TokKind::Money : exp ? TokKind::Float : dot ? TokKind::Decimal : TokKind::Integer;
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
    // Filled in a list of its own (kept in registers rather than read back from the result at
    // every token), handed to the result at the end.
    std::vector<Token> tokens = std::move(spareTokens);
    spareTokens = std::vector<Token>();
    tokens.clear();
    r.source = text;
    const QStringView src(r.source);
    const int n = static_cast<int>(src.size());
    tokens.reserve(static_cast<size_t>(n / 5) + 2);
    bool ok = true;
    auto fail = [&](int number, int pos) {
        ok = false;
        r.ok = false;
        r.errorNumber = number;
        r.errorNear = Near(text, pos);
    };
    int i = 0;
    while (i < n && ok) {
        const QChar c = src[i];
        const char16_t u = c.unicode();
        if (u == u' ') {  // most blanks: one space between two tokens
            ++i;
            continue;
        }
        const char16_t next = i + 1 < n ? src[i + 1].unicode() : u'\0';
        // What the character starts: ASCII characters through a table, others as QChar classes
        // them (a non-ASCII space, digit or letter; anything else is an operator).
        const CharClass cls = u < 128 ? kAsciiClass[u]
                              : c.isSpace() ? CharClass::Space
                              : c.isDigit() ? CharClass::Digit
                              : c.isLetter() ? CharClass::Letter
                                             : CharClass::Other;
        const int start = i;
        TokKind kind = TokKind::Op;
        QStringView tokText;
        bool ascii = false;
        // A quoted token: its closing character, where its contents start, and whether it is a
        // varchar literal (code page characters only).
        QChar close;
        int from = 0;
        bool codePage = false;
        switch (cls) {
        case CharClass::Space:
            ++i;
            continue;
        case CharClass::Minus:
            if (next == u'-') {
                const qsizetype eol = src.indexOf(u'\n', i);
                i = eol < 0 ? n : static_cast<int>(eol);
                continue;
            }
            break;
        case CharClass::Slash:
            if (next == u'*') {
                // Block comments nest in T-SQL.
                int depth = 0;
                while (i < n) {
                    if (src[i] == u'/' && i + 1 < n && src[i + 1] == u'*') { ++depth; i += 2; continue; }
                    if (src[i] == u'*' && i + 1 < n && src[i + 1] == u'/') {
                        i += 2;
                        if (--depth == 0) break;
                        continue;
                    }
                    ++i;
                }
                if (depth != 0) fail(113, start);
                continue;
            }
            break;
        case CharClass::Quote:
            kind = TokKind::String;
            close = u'\'';
            from = i + 1;
            codePage = true;
            break;
        case CharClass::Bracket:
            kind = TokKind::QuotedIdent;
            close = u']';
            from = i + 1;
            break;
        case CharClass::DoubleQuote:
            kind = quotedIdentifier ? TokKind::QuotedIdent : TokKind::String;
            close = u'"';
            from = i + 1;
            codePage = !quotedIdentifier;
            break;
        case CharClass::Letter:
            if ((u == u'N' || u == u'n') && next == u'\'') {
                kind = TokKind::NString;
                close = u'\'';
                from = i + 2;
                break;
            }
            [[fallthrough]];
        case CharClass::IdentStart: {
            int j = i + 1;
            ascii = u < 0x80;
            for (; j < n; ++j) {
                const char16_t p = src[j].unicode();
                if (p < 128) {
                    if (!kAsciiIdentPart[p]) break;
                } else {
                    if (!src[j].isLetterOrNumber()) break;
                    ascii = false;
                }
            }
            kind = TokKind::Ident;
            tokText = src.sliced(i, j - i);
            i = j;
            break;
        }
        case CharClass::At: {
            int j = i + 1;
            while (j < n && IsIdentPart(src[j])) ++j;
            kind = TokKind::Variable;
            tokText = src.sliced(i, j - i);
            i = j;
            break;
        }
        case CharClass::Digit:
            if (u == u'0' && (next == u'x' || next == u'X')) {
                int j = i + 2;
                while (j < n && (src[j].isDigit() || (src[j].toLower() >= u'a' && src[j].toLower() <= u'f'))) ++j;
                kind = TokKind::Binary;
                tokText = src.sliced(i + 2, j - i - 2);
                i = j;
                break;
            }
            kind = ReadNumber(src, i, tokText);
            break;
        case CharClass::Dot:
            if (i + 1 < n && src[i + 1].isDigit()) kind = ReadNumber(src, i, tokText);
            break;
        case CharClass::Dollar:
            kind = ReadNumber(src, i, tokText);
            break;
        case CharClass::Other:
            break;
        }
        if (!close.isNull()) {
            // The contents with doubled closing characters undone; i moves past the closing
            // character. A varchar literal takes the code page's characters only.
            int j = from;
            bool doubled = false, foreign = false;
            while (j < n) {
                const char16_t ch = src[j].unicode();
                if (ch == close.unicode()) {
                    if (j + 1 < n && src[j + 1] == close) { doubled = true; j += 2; continue; }
                    break;
                }
                if (codePage && ch >= 0x80 && !InCodePage1252(ch)) foreign = true;
                ++j;
            }
            if (j >= n) { fail(105, start); break; }
            i = j + 1;
            if (!doubled && !foreign) {
                tokText = src.sliced(from, j - from);
            } else {
                QString built;
                built.reserve(j - from);
                for (int k = from; k < j; ++k) {
                    QChar ch = src[k];
                    if (ch == close) ++k;  // the first of a doubled pair stands for the character
                    if (codePage && !InCodePage1252(ch.unicode())) ch = u'?';
                    built += ch;
                }
                // Kept with the result: the token's text points into it.
                r.built.push_back(std::move(built));
                tokText = QStringView(r.built.back());
            }
        } else if (kind == TokKind::Op && i == start) {
            // An operator: the character, or one of the pairs that make an operator.
            const int width = i + 1 < n && IsTwoCharOp(u, next) ? 2 : 1;
            tokText = src.sliced(i, width);
            i += width;
        }
        tokens.push_back(Token{kind, tokText, start, i, ascii});
    }
    tokens.push_back(Token{TokKind::End, QStringView(), n, n});
    r.tokens = std::move(tokens);
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
