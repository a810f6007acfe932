// Tokenizer for the T-SQL dialect of SQL Server 2000.
#pragma once

#include <QString>
#include <string>
#include <vector>

namespace sqlsim {

enum class TokKind {
    Ident,        // plain word (keywords included; the parser decides)
    QuotedIdent,  // [name] or "name" with QUOTED_IDENTIFIER on
    String,       // '...'
    NString,      // N'...'
    Integer,
    Decimal,      // 1.5
    Float,        // 1e3
    Money,        // $20.00
    Binary,       // 0x...
    Variable,     // @name or @@name
    Op,           // punctuation and operators
    End
};

struct Token {
    TokKind kind = TokKind::End;
    // Identifier/string contents (unquoted), operator text, or literal text. A view into the
    // tokenized text, or into the LexResult's own copy of a quoted text whose doubled quotes
    // were undone: valid while the LexResult that holds the token lives.
    QStringView text;
    int start = 0;  // offset of the first character in the source
    int end = 0;    // offset after the last character
    bool ascii = false;  // a plain identifier of ASCII characters only

    // The parser asks these of every token many times over. They take the keyword as a literal,
    // so that its length is known where the call is compiled: the kind and the length are
    // compared where the test is made, the characters only when both match.
    template <size_t N>
    [[gnu::always_inline]] bool IsWord(const char (&upper)[N]) const {
        return kind == TokKind::Ident && text.size() == static_cast<qsizetype>(N - 1) && SameWord(QLatin1StringView(upper, N - 1));
    }
    bool IsWord(QLatin1StringView word) const {  // plain identifier equal to the keyword, any case
        return kind == TokKind::Ident && text.size() == word.size() && SameWord(word);
    }
    // The text, of the keyword's length, equal to the keyword in any case.
    bool SameWord(QLatin1StringView word) const {
        if (!ascii) return text.compare(word, Qt::CaseInsensitive) == 0;
        for (qsizetype i = 0; i < word.size(); ++i) {
            char16_t c = text[i].unicode();
            char16_t w = word[i].unicode();
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
            if (w >= u'a' && w <= u'z') w = static_cast<char16_t>(w - 32);
            if (c != w) return false;
        }
        return true;
    }
    template <size_t N>
    [[gnu::always_inline]] bool IsOp(const char (&op)[N]) const {
        if (kind != TokKind::Op || text.size() != static_cast<qsizetype>(N - 1)) return false;
        for (size_t i = 0; i + 1 < N; ++i)
            if (text[static_cast<qsizetype>(i)].unicode() != static_cast<unsigned char>(op[i])) return false;
        return true;
    }
    QString Text() const { return text.toString(); }
};

struct LexResult {
    LexResult() = default;
    LexResult(LexResult&&) = default;
    LexResult& operator=(LexResult&&) = default;
    // Hands the room of the token list to the thread's next Tokenize: a server tokenizes one
    // batch after another, and a new list for each was a large allocation every time.
    ~LexResult();

    std::vector<Token> tokens;  // always ends with an End token
    bool ok = true;
    QString errorNear;          // text near the unclosed quote or comment
    int errorNumber = 0;        // 105 unclosed quotation mark, 113 missing end comment mark
    // What the tokens' texts point into: the tokenized text (a shared copy, so that a temporary
    // passed to Tokenize does not leave them dangling) and the texts built for quoted tokens.
    QString source;
    std::vector<QString> built;
};

LexResult Tokenize(const QString& text, bool quotedIdentifier);

// Splits a script into batches at lines holding only GO (any case, blanks allowed, a comment may
// follow), outside strings, quoted names and block comments.
std::vector<QString> SplitBatches(const QString& script);

}  // namespace sqlsim
