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
    QString text;   // identifier/string contents (unquoted), operator text, or literal text
    int start = 0;  // offset of the first character in the source
    int end = 0;    // offset after the last character

    // The parser asks these of every token many times over. They are inline so that a literal's
    // length is known where the call is compiled, and the length is compared first.
    bool IsWord(const char* upper) const {  // plain identifier equal to the keyword, any case
        if (kind != TokKind::Ident) return false;
        const QLatin1StringView word(upper, static_cast<qsizetype>(std::char_traits<char>::length(upper)));
        return text.size() == word.size() && text.compare(word, Qt::CaseInsensitive) == 0;
    }
    bool IsOp(const char* op) const {
        if (kind != TokKind::Op) return false;
        const QLatin1StringView symbol(op, static_cast<qsizetype>(std::char_traits<char>::length(op)));
        return text.size() == symbol.size() && text == symbol;
    }
};

struct LexResult {
    std::vector<Token> tokens;  // always ends with an End token
    bool ok = true;
    QString errorNear;          // text near the unclosed quote or comment
    int errorNumber = 0;        // 105 unclosed quotation mark, 113 missing end comment mark
};

LexResult Tokenize(const QString& text, bool quotedIdentifier);

// Splits a script into batches at lines holding only GO (any case, blanks allowed, a comment may
// follow), outside strings, quoted names and block comments.
std::vector<QString> SplitBatches(const QString& script);

}  // namespace sqlsim
