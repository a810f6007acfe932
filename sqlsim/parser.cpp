#include "sqlsim/parser.h"

#include "sqlsim/node_pool.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>

namespace sqlsim {

namespace {

const int kMaxDepth = 200;

// The upper-case form of a word, as QString::toUpper gives it. A short word of ASCII characters
// (every keyword is one) is folded into a buffer of its own, without allocating.
class UpperWord {
public:
    explicit UpperWord(QStringView word) {
        if (word.size() <= kShort) {
            bool ascii = true;
            for (qsizetype i = 0; i < word.size() && ascii; ++i) {
                const char16_t c = word[i].unicode();
                ascii = c < 0x80;
                buffer_[i] = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
            }
            if (ascii) {
                view_ = QStringView(buffer_, word.size());
                return;
            }
        }
        other_ = word.toString().toUpper();
        view_ = other_;
    }
    UpperWord(const UpperWord&) = delete;
    UpperWord& operator=(const UpperWord&) = delete;

    QStringView View() const { return view_; }
    QString ToString() const { return view_.toString(); }
    template <size_t N>
    bool operator==(const char (&upper)[N]) const {
        if (view_.size() != static_cast<qsizetype>(N - 1)) return false;
        for (size_t i = 0; i + 1 < N; ++i)
            if (view_[static_cast<qsizetype>(i)].unicode() != static_cast<unsigned char>(upper[i])) return false;
        return true;
    }

private:
    static constexpr qsizetype kShort = 32;
    char16_t buffer_[kShort];
    QString other_;
    QStringView view_;
};

// A fixed set of upper-case words, looked up by a word's upper-case form without copying it.
// A word of ASCII characters is compared with the set's words of its first letter and length
// (upper-casing such a word folds a-z only); any other word is upper-cased in full and looked up
// by its form, since non-ASCII letters may upper-case to ASCII ones.
class WordSet {
public:
    WordSet(std::initializer_list<const char*> words) {
        texts_.reserve(words.size());
        for (const char* w : words) texts_.emplace_back(w, w + std::char_traits<char>::length(w));
        for (const std::u16string& t : texts_) {
            set_.insert(t);
            if (t.size() < kLengths && t[0] >= u'A' && t[0] <= u'Z') buckets_[Bucket(t[0], t.size())].push_back(&t);
        }
    }
    bool Contains(QStringView word) const {
        bool ascii = true;
        for (qsizetype i = 0; i < word.size() && ascii; ++i) ascii = word[i].unicode() < 0x80;
        return Contains(word, ascii);
    }
    // The same, told whether the word is all ASCII (the tokenizer notes it of every plain word).
    bool Contains(QStringView word, bool ascii) const {
        const qsizetype n = word.size();
        if (ascii) {
            if (n == 0 || n >= static_cast<qsizetype>(kLengths)) return false;
            const char16_t first = Fold(word[0].unicode());
            if (first < u'A' || first > u'Z') return false;
            for (const std::u16string* t : buckets_[Bucket(first, static_cast<size_t>(n))]) {
                qsizetype i = 1;
                while (i < n && Fold(word[i].unicode()) == (*t)[static_cast<size_t>(i)]) ++i;
                if (i == n) return true;
            }
            return false;
        }
        const UpperWord upper(word);
        return set_.count(std::u16string_view(upper.View().utf16(), static_cast<size_t>(upper.View().size()))) != 0;
    }

private:
    static constexpr size_t kLengths = 32;
    static char16_t Fold(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }
    static size_t Bucket(char16_t first, size_t length) { return static_cast<size_t>(first - u'A') * kLengths + length; }

    std::vector<std::u16string> texts_;
    std::unordered_set<std::u16string_view> set_;
    std::array<std::vector<const std::u16string*>, 26 * kLengths> buckets_;
};

const WordSet& ReservedWords() {
    static const WordSet words{
        "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "BACKUP", "BEGIN", "BETWEEN",
        "BREAK", "BY", "CASCADE", "CASE", "CHECK", "CHECKPOINT", "CLOSE", "CLUSTERED",
        "COLLATE", "COLUMN", "COMMIT", "COMPUTE", "CONSTRAINT", "CONTINUE", "CONVERT",
        "CREATE", "CROSS", "CURRENT", "CURRENT_DATE", "CURRENT_TIMESTAMP", "CURRENT_USER",
        "CURSOR", "DATABASE", "DBCC", "DEALLOCATE", "DECLARE", "DEFAULT", "DELETE", "DENY",
        "DESC", "DISTINCT", "DROP", "ELSE", "END", "ESCAPE", "EXCEPT", "EXEC", "EXECUTE",
        "EXISTS", "EXIT", "FETCH", "FOR", "FOREIGN", "FROM", "FULL", "FUNCTION", "GOTO",
        "GRANT", "GROUP", "HAVING", "HOLDLOCK", "IDENTITY", "IDENTITY_INSERT", "IF", "IN",
        "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN", "KEY", "KILL", "LEFT",
        "LIKE", "NOCHECK", "NONCLUSTERED", "NOT", "NULL", "OF", "OFF", "ON", "OPEN", "OPTION",
        "OR", "ORDER", "OUTER", "PRIMARY", "PRINT", "PROC", "PROCEDURE", "RAISERROR", "READ",
        "REFERENCES", "RETURN", "REVOKE", "RIGHT", "ROLLBACK", "ROWCOUNT", "ROWGUIDCOL",
        "RULE", "SELECT", "SESSION_USER", "SET", "SETUSER", "SOME", "STATISTICS",
        "SYSTEM_USER", "TABLE", "THEN", "TO", "TOP", "TRAN", "TRANSACTION", "TRIGGER",
        "TRUNCATE", "UNION", "UNIQUE", "UPDATE", "USE", "USER", "VALUES", "VIEW", "WAITFOR",
        "WHEN", "WHERE", "WHILE", "WITH", "WRITETEXT"};
    return words;
}

bool IsTableHint(QStringView word) {
    static const WordSet words{"NOLOCK", "READUNCOMMITTED", "HOLDLOCK", "UPDLOCK", "TABLOCK", "TABLOCKX", "PAGLOCK",
                               "ROWLOCK", "NOWAIT", "READPAST", "XLOCK", "SERIALIZABLE", "REPEATABLEREAD",
                               "READCOMMITTED", "INDEX", "FASTFIRSTROW", "NOEXPAND"};
    return words.Contains(word);
}

// The text of a token as a string. A batch names the same owners, types, columns, functions and
// property names over and over, and so does the next batch: a short text is looked up in a small
// table per thread of the strings made before, and a string found there is shared (a count
// changed) instead of allocated and copied again.
// The slot of a short text in the tables below (the length and a few characters: the end of a
// name tells most apart); -1 for an empty or long text, which is made anew.
constexpr size_t kNameSlots = 1024;
int NameSlot(QStringView text) {
    constexpr qsizetype kMaxLength = 32;
    const qsizetype n = text.size();
    if (n == 0 || n > kMaxLength) return -1;
    size_t h = static_cast<size_t>(n);
    h = h * 31 + text[0].unicode();
    h = h * 31 + text[n / 2].unicode();
    h = h * 31 + text[n - 1].unicode();
    if (n > 1) h = h * 31 + text[n - 2].unicode();
    if (n > 2) h = h * 31 + text[n - 3].unicode();
    return static_cast<int>((h ^ (h >> 10)) & (kNameSlots - 1));
}
bool SameText(const QString& made, QStringView text) {
    return made.size() == text.size() &&
           std::memcmp(made.constData(), text.data(), static_cast<size_t>(text.size()) * sizeof(QChar)) == 0;
}
QString SharedText(QStringView text) {
    const int slot = NameSlot(text);
    if (slot < 0) return text.toString();
    static thread_local std::array<QString, kNameSlots> made;
    QString& s = made[static_cast<size_t>(slot)];
    if (!SameText(s, text)) s = text.toString();
    return s;
}
QString Name(const Token& t) { return SharedText(t.text); }
// A list of the one name of a token (a column or function named without qualifier), shared the
// same way: most column references and calls name one part, and a list made for each was an
// allocation per operand.
QStringList OnePartName(const Token& t) {
    const int slot = NameSlot(t.text);
    if (slot < 0) return QStringList{t.text.toString()};
    static thread_local std::array<QStringList, kNameSlots> made;
    QStringList& l = made[static_cast<size_t>(slot)];
    if (l.size() != 1 || !SameText(l.constFirst(), t.text)) l = QStringList{Name(t)};
    return l;
}

struct ParseError {
    SqlError error;
};

class Parser {
public:
    Parser(const QString& text, LexResult lex)
        : text_(text), lex_(std::move(lex)), toks_(lex_.tokens), tok_(toks_.data()), last_(toks_.size() - 1) {}

    std::vector<StmtPtr> ParseAll() {
        std::vector<StmtPtr> out;
        while (!AtEnd()) {
            if (Peek().IsOp(";")) { ++pos_; continue; }
            out.push_back(ParseStatement(out.empty()));
        }
        return out;
    }

    ExprPtr ParseStandaloneExpr() {
        ExprPtr e = ParseExpr();
        if (!AtEnd()) Fail();
        return e;
    }

private:
    const QString& text_;
    LexResult lex_;  // holds what the tokens' texts point into
    const std::vector<Token>& toks_;
    // The tokens as an array (the list ends with its End token, at last_): asked for at every step.
    const Token* tok_;
    size_t last_;
    size_t pos_ = 0;
    int depth_ = 0;
    // FOR XML may end a SELECT statement (in a batch or a procedure), never a subquery, a view,
    // a cursor or an INSERT ... SELECT: only the next ParseQuery may take it.
    bool forXmlAllowed_ = false;

    struct DepthGuard {
        Parser& p;
        explicit DepthGuard(Parser& parser) : p(parser) {
            if (++p.depth_ > kMaxDepth) TooDeep();
        }
        // Out of the way of the test above, which every level of every operand makes.
        [[noreturn, gnu::noinline, gnu::cold]] static void TooDeep() {
            throw ParseError{ErrGeneric(191, 15,
                QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries."))};
        }
        ~DepthGuard() { --p.depth_; }
    };

    const Token& Peek(size_t ahead = 0) const {
        size_t i = pos_ + ahead;
        return tok_[i < last_ ? i : last_];
    }
    bool AtEnd() const { return Peek().kind == TokKind::End; }
    const Token& Next() {
        const Token& t = Peek();
        if (pos_ < last_) ++pos_;
        return t;
    }
    int LineOf(int offset) const {
        int line = 1;
        for (int i = 0; i < offset && i < text_.size(); ++i)
            if (text_[i] == u'\n') ++line;
        return line;
    }
    [[noreturn]] void Fail() const { Fail(Peek()); }
    [[noreturn]] void Fail(const Token& t) const {
        if (Reserved(t))
            throw ParseError{ErrKeywordNear(Name(t))};
        QString near = t.kind == TokKind::End ? QString() : text_.mid(t.start, t.end - t.start);
        SqlError e = ErrSyntaxNear(near);
        e.text = QStringLiteral("Line %1: %2").arg(LineOf(t.start)).arg(e.text);
        throw ParseError{e};
    }
    // A plain identifier that upper-cases to the keyword: for a word of ASCII characters the
    // keyword test; any other word upper-cased in full, as QString::toUpper does it.
    template <size_t N>
    static bool UpperIs(const Token& t, const char (&w)[N]) {
        if (t.kind != TokKind::Ident || t.ascii) return t.IsWord(w);
        return UpperWord(t.text) == w;
    }
    // Keywords and operators come as literals, so that their length is known where the call is
    // compiled.
    template <size_t N>
    [[gnu::always_inline]] bool IsWord(const char (&w)[N], size_t ahead = 0) const { return Peek(ahead).IsWord(w); }
    template <size_t N>
    [[gnu::always_inline]] bool IsOp(const char (&op)[N], size_t ahead = 0) const { return Peek(ahead).IsOp(op); }
    bool IsWord(QLatin1StringView w, size_t ahead = 0) const { return Peek(ahead).IsWord(w); }
    template <size_t N>
    [[gnu::always_inline]] bool AcceptWord(const char (&w)[N]) {
        if (IsWord(w)) { ++pos_; return true; }
        return false;
    }
    bool AcceptWord(QLatin1StringView w) {
        if (IsWord(w)) { ++pos_; return true; }
        return false;
    }
    template <size_t N>
    [[gnu::always_inline]] bool AcceptOp(const char (&op)[N]) {
        if (IsOp(op)) { ++pos_; return true; }
        return false;
    }
    template <size_t N>
    void ExpectWord(const char (&w)[N]) { if (!AcceptWord(w)) Fail(); }
    template <size_t N>
    void ExpectOp(const char (&op)[N]) { if (!AcceptOp(op)) Fail(); }
    // A plain word the server reserves.
    static bool Reserved(const Token& t) { return t.kind == TokKind::Ident && ReservedWords().Contains(t.text, t.ascii); }
    bool IsName(size_t ahead = 0) const {
        const Token& t = Peek(ahead);
        return t.kind == TokKind::QuotedIdent || (t.kind == TokKind::Ident && !Reserved(t));
    }
    QString ExpectName() {
        if (!IsName()) Fail();
        return Name(Next());
    }
    // Any identifier, reserved or not (option names, types).
    QString ExpectAnyWord() {
        const Token& t = Peek();
        if (t.kind != TokKind::Ident && t.kind != TokKind::QuotedIdent) Fail();
        return Name(Next());
    }
    int LastEnd() const { return pos_ > 0 ? toks_[pos_ - 1].end : 0; }

    ObjectName ParseObjectName() {
        // [server.][database.][owner.]name, with empty parts allowed (db..name). The parts are
        // noted as their tokens (none for an empty part); only the names kept become strings.
        if (Peek().kind == TokKind::Variable) {  // a table variable
            ObjectName n;
            n.name = Name(Next());
            return n;
        }
        if (!IsName()) Fail();
        const Token* parts[4] = {&Next(), nullptr, nullptr, nullptr};
        int count = 1;
        while (IsOp(".")) {
            ++pos_;
            const Token* part = nullptr;
            if (!IsOp(".")) {
                if (!IsName() && !(Peek().kind == TokKind::Ident)) Fail();
                part = &Next();
            }
            if (count < 4) parts[count] = part;
            ++count;
        }
        if (count > 4) Fail();
        auto text = [&](int i) { return parts[i] ? Name(*parts[i]) : QString(); };
        ObjectName n;
        n.name = text(count - 1);
        if (count > 1) n.owner = text(count - 2);
        if (count > 2) n.database = text(count - 3);
        if (count > 3) n.server = text(count - 4);
        return n;
    }

    long long ParseSignedInt() {
        bool neg = false;
        if (AcceptOp("-")) neg = true;
        else AcceptOp("+");
        if (Peek().kind != TokKind::Integer) Fail();
        long long v = IntegerValue(Next().text);
        return neg ? -v : v;
    }
    // The value of an integer literal's digits, as QStringView::toLongLong gives it (0 and not ok
    // when out of range). Up to 18 ASCII digits always fit and are added up in place: every type
    // length and most literals are such, and the general conversion copies the text first.
    static long long IntegerValue(QStringView digits, bool* ok = nullptr) {
        if (digits.size() <= 18) {
            long long v = 0;
            qsizetype i = 0;
            for (; i < digits.size(); ++i) {
                const char16_t c = digits[i].unicode();
                if (c < u'0' || c > u'9') break;
                v = v * 10 + (c - u'0');
            }
            if (i == digits.size() && i > 0) {
                if (ok) *ok = true;
                return v;
            }
        }
        return digits.toLongLong(ok);
    }

    TypeSpec ParseType() {
        TypeSpec t;
        const Token& tok = Peek();
        if (tok.kind != TokKind::Ident && tok.kind != TokKind::QuotedIdent) Fail();
        ++pos_;
        t.name = Name(tok);
        if (tok.kind == TokKind::Ident && IsOp(".")) {  // owner-qualified user type
            ++pos_;
            t.name = ExpectAnyWord();
        }
        // Case folding keeps a name's length: the lengths are compared first (every column has a type).
        if (t.name.size() == 6 && t.name.compare(QLatin1String("double"), Qt::CaseInsensitive) == 0 && IsWord("PRECISION")) {
            ++pos_;
            t.name = QStringLiteral("float");
        }
        if (t.name.size() == 3 && t.name.compare(QLatin1String("dec"), Qt::CaseInsensitive) == 0) t.name = QStringLiteral("decimal");
        if (t.name.size() == 7 && t.name.compare(QLatin1String("integer"), Qt::CaseInsensitive) == 0) t.name = QStringLiteral("int");
        if (AcceptOp("(")) {
            long long a = ParseSignedInt();
            if (AcceptOp(",")) {
                t.precision = static_cast<int>(a);
                t.scale = static_cast<int>(ParseSignedInt());
            } else {
                t.length = static_cast<int>(a);
                t.precision = static_cast<int>(a);
            }
            ExpectOp(")");
        }
        return t;
    }

    // ---------------------------------------------------------------- statements
    StmtPtr ParseStatement(bool firstInBatch) {
        DepthGuard guard(*this);
        const Token& t = Peek();
        auto s = MakeNode<Statement>();
        s->start = t.start;
        if (t.kind != TokKind::Ident) {
            if (t.IsOp("(") ) {  // a parenthesised SELECT
                s->kind = StmtKind::Select;
                s->select = ParseQuery();
                s->end = LastEnd();
                return s;
            }
            Fail();
        }
        const UpperWord w(t.text);
        if (w == "SELECT") {
            s->kind = StmtKind::Select;
            forXmlAllowed_ = true;
            s->select = ParseQuery();
        } else if (w == "INSERT") {
            ParseInsert(*s);
        } else if (w == "UPDATE") {
            if (IsWord("STATISTICS", 1)) ParseUpdateStatistics(*s);
            else ParseUpdate(*s);
        } else if (w == "DELETE") {
            ParseDelete(*s);
        } else if (w == "CREATE") {
            ParseCreate(*s, firstInBatch);
        } else if (w == "ALTER") {
            ParseAlter(*s, firstInBatch);
        } else if (w == "DROP") {
            ParseDrop(*s);
        } else if (w == "USE") {
            ++pos_;
            s->kind = StmtKind::Use;
            if (Peek().kind == TokKind::String) s->text = Name(Next());
            else s->text = ExpectAnyWord();
        } else if (w == "SET") {
            ParseSet(*s);
        } else if (w == "DECLARE") {
            ParseDeclare(*s);
        } else if (w == "OPEN" || w == "CLOSE" || w == "DEALLOCATE") {
            ++pos_;
            s->kind = w == "OPEN" ? StmtKind::OpenCursor : w == "CLOSE" ? StmtKind::CloseCursor : StmtKind::DeallocateCursor;
            ParseCursorName(*s);
        } else if (w == "FETCH") {
            ParseFetch(*s);
        } else if (w == "IF") {
            ++pos_;
            s->kind = StmtKind::If;
            s->where = ParseExpr();
            s->body.push_back(ParseStatement(false));
            if (AcceptOp(";")) {}
            if (AcceptWord("ELSE")) s->body.push_back(ParseStatement(false));
        } else if (w == "WHILE") {
            ++pos_;
            s->kind = StmtKind::While;
            s->where = ParseExpr();
            s->body.push_back(ParseStatement(false));
        } else if (w == "BEGIN") {
            ++pos_;
            if (AcceptWord("TRAN") || AcceptWord("TRANSACTION") || AcceptWord("DISTRIBUTED")) {
                AcceptWord("TRAN");
                AcceptWord("TRANSACTION");
                s->kind = StmtKind::BeginTran;
                if (IsName() || Peek().kind == TokKind::Variable) Next();
            } else {
                s->kind = StmtKind::Block;
                while (!IsWord("END")) {
                    if (AtEnd()) Fail();
                    if (AcceptOp(";")) continue;
                    s->body.push_back(ParseStatement(false));
                }
                ++pos_;
            }
        } else if (w == "COMMIT" || w == "ROLLBACK") {
            ++pos_;
            s->kind = w == "COMMIT" ? StmtKind::CommitTran : StmtKind::RollbackTran;
            if (AcceptWord("TRAN") || AcceptWord("TRANSACTION") || AcceptWord("WORK")) {
                if (IsName() || Peek().kind == TokKind::Variable) Next();
            }
        } else if (w == "SAVE") {
            ++pos_;
            if (!AcceptWord("TRAN")) ExpectWord("TRANSACTION");
            Next();
            s->kind = StmtKind::Noop;
        } else if (w == "EXEC" || w == "EXECUTE") {
            ++pos_;
            ParseExec(*s);
        } else if (w == "PRINT") {
            ++pos_;
            s->kind = StmtKind::Print;
            s->args.push_back(ParseExpr());
        } else if (w == "RAISERROR") {
            ParseRaisError(*s);
        } else if (w == "GRANT" || w == "DENY" || w == "REVOKE") {
            ParseGrant(*s);
        } else if (w == "RETURN") {
            ++pos_;
            s->kind = StmtKind::Return;
            if (!AtEnd() && !IsOp(";") && StartsExpression()) s->args.push_back(ParseExpr());
        } else if (w == "CHECKPOINT") {
            ++pos_;
            s->kind = StmtKind::Noop;
        } else if (w == "DBCC") {
            ++pos_;
            s->kind = StmtKind::Noop;
            ExpectAnyWord();
            if (IsOp("(")) SkipBalanced();
            if (AcceptWord("WITH")) {
                do { ExpectAnyWord(); } while (AcceptOp(","));
            }
        } else if (w == "SETUSER") {
            ++pos_;
            s->kind = StmtKind::Noop;
            if (Peek().kind == TokKind::String || Peek().kind == TokKind::NString) {
                ++pos_;
                if (AcceptWord("WITH")) ExpectAnyWord();
            }
        } else if (w == "TRUNCATE") {
            ++pos_;
            ExpectWord("TABLE");
            s->kind = StmtKind::Truncate;
            s->object = ParseObjectName();
        } else if (w == "WAITFOR") {
            ++pos_;
            s->kind = StmtKind::WaitFor;
            s->kindWord = ExpectAnyWord().toUpper();
            s->args.push_back(ParsePrimary());
        } else if (w == "BREAK" || w == "CONTINUE") {
            ++pos_;
            s->kind = StmtKind::Noop;
            s->kindWord = w.ToString();
        } else if (firstInBatch && IsName()) {
            // A batch may start with a procedure call without EXEC.
            ParseExec(*s);
        } else {
            Fail();
        }
        s->end = LastEnd();
        return s;
    }

    bool StartsExpression() const {
        const Token& t = Peek();
        if (t.kind == TokKind::End) return false;
        if (t.kind == TokKind::Ident) {
            const UpperWord u(t.text);
            if (u == "NULL" || u == "CASE" || u == "CONVERT" || u == "EXISTS" || u == "NOT" || u == "CURRENT_USER" ||
                u == "USER" || u == "SESSION_USER" || u == "SYSTEM_USER" || u == "CURRENT_TIMESTAMP")
                return true;
            return !IsReservedWord(t.text);
        }
        if (t.kind == TokKind::Op) return t.IsOp("(") || t.IsOp("-") || t.IsOp("+") || t.IsOp("~");
        return true;
    }

    void SkipBalanced() {
        ExpectOp("(");
        int depth = 1;
        while (depth > 0) {
            if (AtEnd()) Fail();
            const Token& t = Next();
            if (t.IsOp("(")) ++depth;
            else if (t.IsOp(")")) --depth;
        }
    }

    void ParseUpdateStatistics(Statement& s) {
        pos_ += 2;
        s.kind = StmtKind::Noop;
        ParseObjectName();
        if (IsOp("(")) SkipBalanced();
        else if (IsName()) Next();
        if (AcceptWord("WITH")) {
            do {
                ExpectAnyWord();
                if (AcceptOp("=")) Next();
            } while (AcceptOp(","));
        }
    }

    void ParseInsert(Statement& s) {
        ++pos_;
        s.kind = StmtKind::Insert;
        AcceptWord("INTO");
        s.object = ParseObjectName();
        SkipTableHintsWith();
        if (IsOp("(") && !IsWord("SELECT", 1)) {
            ++pos_;
            do { s.names << ExpectName(); } while (AcceptOp(","));
            ExpectOp(")");
        }
        if (AcceptWord("VALUES")) {
            ExpectOp("(");
            std::vector<ExprPtr> row;
            do {
                if (IsWord("DEFAULT")) {
                    ++pos_;
                    auto e = MakeNode<Expr>();
                    e->kind = ExprKind::Function;
                    e->name = QStringLiteral("DEFAULT");
                    row.push_back(e);
                } else {
                    row.push_back(ParseExpr());
                }
            } while (AcceptOp(","));
            ExpectOp(")");
            s.rows.push_back(std::move(row));
        } else if (IsWord("DEFAULT")) {
            ++pos_;
            ExpectWord("VALUES");
            s.insertDefaultValues = true;
        } else if (IsWord("SELECT") || IsOp("(")) {
            s.select = ParseQuery();
        } else if (IsWord("EXEC") || IsWord("EXECUTE")) {
            ++pos_;
            auto inner = MakeNode<Statement>();
            ParseExec(*inner);
            s.body.push_back(inner);
        } else {
            Fail();
        }
    }

    void SkipTableHintsWith() {
        if (IsWord("WITH") && IsOp("(", 1)) { ++pos_; SkipBalanced(); }
    }

    void ParseUpdate(Statement& s) {
        ++pos_;
        s.kind = StmtKind::Update;
        s.object = ParseObjectName();
        SkipTableHintsWith();
        if (IsOp("(") && Peek(1).kind == TokKind::Ident && IsTableHint(Peek(1).text)) SkipBalanced();
        ExpectWord("SET");
        do {
            QString target;
            if (Peek().kind == TokKind::Variable) {
                target = Name(Next());
            } else {
                ObjectName n = ParseObjectName();
                target = n.name;
            }
            ExpectOp("=");
            s.assignments.emplace_back(target, ParseExpr());
        } while (AcceptOp(","));
        if (AcceptWord("FROM")) s.from = ParseFromList();
        if (AcceptWord("WHERE")) s.where = ParseExpr();
    }

    void ParseDelete(Statement& s) {
        ++pos_;
        s.kind = StmtKind::Delete;
        AcceptWord("FROM");
        s.object = ParseObjectName();
        SkipTableHintsWith();
        if (AcceptWord("FROM")) s.from = ParseFromList();
        if (AcceptWord("WHERE")) s.where = ParseExpr();
    }

    void ParseSet(Statement& s) {
        ++pos_;
        s.kind = StmtKind::Set;
        if (Peek().kind == TokKind::Variable) {
            QString var = Name(Next());
            ExpectOp("=");
            if (IsWord("CURSOR")) {
                s.text = var;
                ParseCursorDefinition(s, false);
                return;
            }
            s.assignments.emplace_back(var, ParseExpr());
            return;
        }
        QString option = ExpectAnyWord().toUpper();
        if (option == QLatin1String("TRANSACTION")) {
            ExpectWord("ISOLATION");
            ExpectWord("LEVEL");
            s.text = option;
            while (Peek().kind == TokKind::Ident && (IsWord("READ") || IsWord("UNCOMMITTED") || IsWord("COMMITTED") ||
                                                     IsWord("REPEATABLE") || IsWord("SERIALIZABLE")))
                ++pos_;
            return;
        }
        if (option == QLatin1String("IDENTITY_INSERT")) {
            s.text = option;
            s.object = ParseObjectName();
            s.flag = ParseOnOff();
            return;
        }
        // SET opt1, opt2 ON | SET opt value
        s.text = option;
        s.names << option;
        while (AcceptOp(",")) s.names << ExpectAnyWord().toUpper();
        const Token& v = Peek();
        if (v.IsWord("ON") || v.IsWord("OFF")) {
            s.flag = ParseOnOff();
        } else if (v.kind == TokKind::Ident || v.kind == TokKind::QuotedIdent || v.kind == TokKind::String ||
                   v.kind == TokKind::NString) {
            s.args.push_back(MakeNode<Expr>());
            s.args.back()->value = Value::String(Name(Next()));
        } else {
            s.args.push_back(ParseExpr());
        }
    }

    bool ParseOnOff() {
        if (AcceptWord("ON")) return true;
        if (AcceptWord("OFF")) return false;
        Fail();
    }

    // [GLOBAL] name, or @variable: the cursor an OPEN, FETCH, CLOSE or DEALLOCATE works on.
    void ParseCursorName(Statement& s) {
        if (Peek().kind == TokKind::Variable) {
            s.text = Name(Next());
            return;
        }
        if (IsWord("GLOBAL") && IsName(1)) {
            ++pos_;
            s.flag = true;
        }
        s.text = ExpectName();
    }

    void ParseFetch(Statement& s) {
        ++pos_;
        s.kind = StmtKind::FetchCursor;
        s.kindWord = QStringLiteral("NEXT");
        for (const char* o : {"NEXT", "PRIOR", "FIRST", "LAST", "ABSOLUTE", "RELATIVE"}) {
            if (!IsWord(QLatin1StringView(o))) continue;
            const bool counted = IsWord("ABSOLUTE") || IsWord("RELATIVE");
            if (!counted && !IsWord("FROM", 1)) break;  // a cursor named like the word
            s.kindWord = Name(Next()).toUpper();
            if (counted) s.args.push_back(ParseUnary());
            ExpectWord("FROM");
            break;
        }
        AcceptWord("FROM");
        ParseCursorName(s);
        if (AcceptWord("INTO")) {
            do {
                if (Peek().kind != TokKind::Variable) Fail();
                s.names << Name(Next());
            } while (AcceptOp(","));
        }
    }

    // The options and query of DECLARE name CURSOR (both the SQL-92 and the Transact-SQL form)
    // or SET @v = CURSOR; the options are kept upper case in withOptions.
    void ParseCursorDefinition(Statement& s, bool afterName) {
        s.kind = StmtKind::DeclareCursor;
        if (afterName) {
            while (IsWord("INSENSITIVE") || IsWord("SCROLL")) s.withOptions << Name(Next()).toUpper();
        }
        ExpectWord("CURSOR");
        static const char* const options[] = {"LOCAL", "GLOBAL", "FORWARD_ONLY", "SCROLL", "STATIC", "KEYSET", "DYNAMIC",
                                              "FAST_FORWARD", "READ_ONLY", "SCROLL_LOCKS", "OPTIMISTIC", "TYPE_WARNING"};
        for (bool more = true; more;) {
            more = false;
            for (const char* o : options)
                if (AcceptWord(QLatin1StringView(o))) { s.withOptions << QString::fromLatin1(o); more = true; }
        }
        ExpectWord("FOR");
        s.select = ParseQuery();
        if (AcceptWord("FOR")) {
            if (AcceptWord("READ")) {
                ExpectWord("ONLY");
                s.withOptions << QStringLiteral("READ_ONLY");
            } else {
                ExpectWord("UPDATE");
                if (AcceptWord("OF")) {
                    do { s.names << ExpectName(); } while (AcceptOp(","));
                }
            }
        }
    }

    void ParseDeclare(Statement& s) {
        ++pos_;
        s.kind = StmtKind::Declare;
        if (Peek().kind != TokKind::Variable) {
            s.text = ExpectName();
            ParseCursorDefinition(s, true);
            return;
        }
        do {
            if (Peek().kind != TokKind::Variable) Fail();
            ProcParam p;
            p.name = Name(Next());
            AcceptWord("AS");
            if (AcceptWord("CURSOR")) {
                p.type.name = QStringLiteral("cursor");
            } else if (IsWord("TABLE")) {
                ++pos_;
                p.type.name = QStringLiteral("table");
                SkipBalanced();
            } else {
                p.type = ParseType();
            }
            s.params.push_back(p);
        } while (AcceptOp(","));
    }

    void ParseExec(Statement& s) {
        if (IsOp("(")) {
            ++pos_;
            s.kind = StmtKind::ExecString;
            s.args.push_back(ParseExpr());
            ExpectOp(")");
            return;
        }
        s.kind = StmtKind::Exec;
        if (Peek().kind == TokKind::Variable && IsOp("=", 1)) {
            s.returnVariable = Name(Next());
            ++pos_;
        }
        s.object = ParseObjectName();
        if (AcceptOp(";")) {
            if (Peek().kind != TokKind::Integer) Fail();
            s.object.number = Name(Next()).toInt();
        }
        if (AtEnd() || IsOp(";") || !StartsExecArg()) return;
        do {
            QString argName;
            if (Peek().kind == TokKind::Variable && IsOp("=", 1)) {
                argName = Name(Next());
                ++pos_;
            }
            ExprPtr e;
            if (IsWord("DEFAULT")) {
                ++pos_;
                e = MakeNode<Expr>();
                e->kind = ExprKind::Function;
                e->name = QStringLiteral("DEFAULT");
            } else if (Peek().kind == TokKind::Ident && !IsReservedWord(Peek().text) && !IsOp("(", 1) &&
                       !IsOp(".", 1)) {
                // Unquoted words are strings in procedure calls (sp_addtype id, ...).
                e = MakeNode<Expr>();
                e->value = Value::String(Name(Next()), XNVarChar);
            } else if (Peek().kind == TokKind::QuotedIdent) {
                e = MakeNode<Expr>();
                e->value = Value::String(Name(Next()), XNVarChar);
            } else {
                e = ParseExpr();
            }
            AcceptWord("OUTPUT") || AcceptWord("OUT");
            s.argNames << argName;
            s.args.push_back(e);
        } while (AcceptOp(","));
        if (AcceptWord("WITH")) ExpectWord("RECOMPILE");
    }

    bool StartsExecArg() const {
        const Token& t = Peek();
        if (t.kind == TokKind::Ident) return !Reserved(t) || t.IsWord("NULL") || t.IsWord("DEFAULT");
        if (t.kind == TokKind::Op) return t.IsOp("-") || t.IsOp("+") || t.IsOp("(");
        return t.kind != TokKind::End;
    }

    void ParseRaisError(Statement& s) {
        ++pos_;
        s.kind = StmtKind::RaisError;
        ExpectOp("(");
        do { s.args.push_back(ParseExpr()); } while (AcceptOp(","));
        ExpectOp(")");
        if (AcceptWord("WITH")) {
            do {
                if (!AcceptWord("NOWAIT") && !AcceptWord("LOG") && !AcceptWord("SETERROR")) Fail();
            } while (AcceptOp(","));
        }
    }

    void ParseGrant(Statement& s) {
        s.kind = StmtKind::Grant;
        s.kindWord = Name(Next()).toUpper();
        if (s.kindWord == QLatin1String("REVOKE") && AcceptWord("GRANT")) { ExpectWord("OPTION"); ExpectWord("FOR"); }
        // privileges
        do {
            QString p = ExpectAnyWord().toUpper();
            if (p == QLatin1String("ALL")) AcceptWord("PRIVILEGES");
            if (p == QLatin1String("CREATE") || p == QLatin1String("BACKUP")) p += QLatin1Char(' ') + ExpectAnyWord().toUpper();
            s.privileges << p;
            if (IsOp("(")) {
                ++pos_;
                do { s.names << ExpectName(); } while (AcceptOp(","));
                ExpectOp(")");
            }
        } while (AcceptOp(","));
        if (AcceptWord("ON")) {
            s.object = ParseObjectName();
            if (IsOp("(")) {
                ++pos_;
                do { s.names << ExpectName(); } while (AcceptOp(","));
                ExpectOp(")");
            }
        }
        if (!AcceptWord("TO")) ExpectWord("FROM");
        do { s.grantees << ExpectAnyWord(); } while (AcceptOp(","));
        if (AcceptWord("WITH")) { ExpectWord("GRANT"); ExpectWord("OPTION"); s.withGrantOption = true; }
        if (AcceptWord("CASCADE")) s.cascade = true;
        if (AcceptWord("AS")) ExpectAnyWord();
    }

    void ParseDrop(Statement& s) {
        ++pos_;
        s.kind = StmtKind::Drop;
        s.kindWord = ExpectAnyWord().toUpper();
        if (s.kindWord == QLatin1String("PROC")) s.kindWord = QStringLiteral("PROCEDURE");
        if (s.kindWord == QLatin1String("DATABASE")) {
            s.kind = StmtKind::DropDatabase;
            do { s.names << ExpectAnyWord(); } while (AcceptOp(","));
            return;
        }
        static const QSet<QString> kinds = {"TABLE", "VIEW", "PROCEDURE", "FUNCTION", "TRIGGER", "DEFAULT", "RULE",
                                            "INDEX", "STATISTICS"};
        if (!kinds.contains(s.kindWord)) { --pos_; Fail(); }
        do { s.objects.push_back(ParseObjectName()); } while (AcceptOp(","));
    }

    // The stored definition runs from CREATE to the end of the batch; an ALTER is stored as the
    // CREATE it amounts to, so that definitions read back compare equal.
    // The stored text of a code object: the batch as written (code objects come first in their
    // batch, so anything before the statement is comments), without the blank lines that follow
    // a GO, and with ALTER turned into CREATE so that an altered object reads back like a
    // created one.
    QString CodeText(const Statement& s) const {
        int from = 0;
        while (from < static_cast<int>(s.start) && text_[from].isSpace()) ++from;
        QString text = text_.mid(from);
        const int at = static_cast<int>(s.start) - from;
        if (text.mid(at, 5).compare(QLatin1String("ALTER"), Qt::CaseInsensitive) == 0) {
            const bool upper = text.mid(at, 5) == QLatin1String("ALTER");
            const bool lower = text.mid(at, 5) == QLatin1String("alter");
            text.replace(at, 5, upper ? QStringLiteral("CREATE") : lower ? QStringLiteral("create") : QStringLiteral("Create"));
        }
        return text;
    }

    void ParseCreate(Statement& s, bool firstInBatch) {
        ++pos_;
        bool unique = false, clustered = false, nonclustered = false;
        for (;;) {
            if (AcceptWord("UNIQUE")) { unique = true; continue; }
            if (AcceptWord("CLUSTERED")) { clustered = true; continue; }
            if (AcceptWord("NONCLUSTERED")) { nonclustered = true; continue; }
            break;
        }
        const QString what = ExpectAnyWord().toUpper();
        if ((unique || clustered || nonclustered) && what != QLatin1String("INDEX")) Fail(toks_[pos_ - 1]);
        auto needFirst = [&](const char* kindText) {
            if (!firstInBatch)
                throw ParseError{ErrGeneric(111, 15, QStringLiteral("'CREATE %1' must be the first statement in a query batch.").arg(QLatin1String(kindText)))};
        };
        if (what == QLatin1String("TABLE")) {
            ParseCreateTable(s);
        } else if (what == QLatin1String("INDEX")) {
            s.kind = StmtKind::CreateIndex;
            s.flag = unique;
            s.clustered = clustered;
            s.text = ExpectName();
            ExpectWord("ON");
            s.object = ParseObjectName();
            ExpectOp("(");
            do {
                s.names << ExpectName();
                s.descending.push_back(!AcceptWord("ASC") && AcceptWord("DESC"));
            } while (AcceptOp(","));
            ExpectOp(")");
            if (AcceptWord("WITH")) ParseIndexOptions(s.fillFactor, s.indexStatus, s.padIndex);
            if (AcceptWord("ON")) s.fileGroup = ExpectAnyWord();
        } else if (what == QLatin1String("STATISTICS")) {
            // CREATE STATISTICS name ON table (columns) [WITH FULLSCAN | SAMPLE n PERCENT|ROWS, NORECOMPUTE]
            s.kind = StmtKind::CreateStatistics;
            s.text = ExpectName();
            ExpectWord("ON");
            s.object = ParseObjectName();
            ExpectOp("(");
            do { s.names << ExpectName(); } while (AcceptOp(","));
            ExpectOp(")");
            if (AcceptWord("WITH")) {
                do {
                    if (AcceptWord("NORECOMPUTE")) s.indexStatus |= 16777216;
                    else if (AcceptWord("SAMPLE")) {
                        ParseSignedInt();
                        if (!AcceptWord("PERCENT")) ExpectWord("ROWS");
                    } else ExpectWord("FULLSCAN");
                } while (AcceptOp(","));
            }
        } else if (what == QLatin1String("VIEW")) {
            needFirst("VIEW");
            s.kind = StmtKind::CreateView;
            s.object = ParseObjectName();
            if (IsOp("(")) {
                ++pos_;
                do { s.names << ExpectName(); } while (AcceptOp(","));
                ExpectOp(")");
            }
            if (AcceptWord("WITH")) { do { s.withOptions << ExpectAnyWord().toUpper(); } while (AcceptOp(",")); }
            ExpectWord("AS");
            s.select = ParseQuery();
            if (AcceptWord("WITH")) { ExpectWord("CHECK"); ExpectWord("OPTION"); }
            AcceptOp(";");
            if (!AtEnd()) Fail();
            s.text = CodeText(s);
        } else if (what == QLatin1String("PROC") || what == QLatin1String("PROCEDURE")) {
            needFirst("PROCEDURE");
            s.kind = StmtKind::CreateProcedure;
            ParseProcedureRest(s);
        } else if (what == QLatin1String("FUNCTION")) {
            needFirst("FUNCTION");
            s.kind = StmtKind::CreateFunction;
            ParseFunctionRest(s);
        } else if (what == QLatin1String("TRIGGER")) {
            needFirst("TRIGGER");
            s.kind = StmtKind::CreateTrigger;
            ParseTriggerRest(s);
        } else if (what == QLatin1String("DATABASE")) {
            s.kind = StmtKind::CreateDatabase;
            s.text = ExpectAnyWord();
            for (;;) {
                if (AcceptWord("ON") || AcceptWord("PRIMARY") || AcceptOp(",")) continue;
                if (AcceptWord("LOG")) { ExpectWord("ON"); continue; }
                if (AcceptWord("FILEGROUP")) { ExpectAnyWord(); continue; }
                if (IsOp("(")) { SkipBalanced(); continue; }
                if (AcceptWord("COLLATE")) { s.names << ExpectAnyWord(); continue; }
                if (AcceptWord("FOR")) { ExpectAnyWord(); continue; }
                break;
            }
        } else if (what == QLatin1String("DEFAULT") || what == QLatin1String("RULE")) {
            needFirst(what == QLatin1String("DEFAULT") ? "DEFAULT" : "RULE");
            s.kind = StmtKind::Noop;  // bound defaults and rules: objects with their text and expression
            s.kindWord = QStringLiteral("CREATE ") + what;
            s.object = ParseObjectName();
            ExpectWord("AS");
            s.args.push_back(ParseExpr());
            s.text = CodeText(s);
        } else {
            Fail(toks_[pos_ - 1]);
        }
    }

    void ParseIndexOptions(int& fillFactor, int& status, bool& pad) {
        do {
            QString o = ExpectAnyWord().toUpper();
            if (o == QLatin1String("FILLFACTOR")) {
                ExpectOp("=");
                fillFactor = static_cast<int>(ParseSignedInt());
            } else if (o == QLatin1String("PAD_INDEX")) {
                pad = true;
            } else if (o == QLatin1String("IGNORE_DUP_KEY")) {
                status |= 1;
            } else if (o == QLatin1String("STATISTICS_NORECOMPUTE")) {
                status |= 16777216;
            } else if (o == QLatin1String("DROP_EXISTING") || o == QLatin1String("SORT_IN_TEMPDB")) {
            } else {
                --pos_;
                Fail();
            }
            // In a constraint the options may be followed by ", next column": a comma goes on
            // with the options only when an option word follows it.
        } while (IsOp(",") && IsIndexOptionAt(1) && AcceptOp(","));
    }

    bool IsIndexOptionAt(int ahead) const {
        for (const char* o : {"FILLFACTOR", "PAD_INDEX", "IGNORE_DUP_KEY", "STATISTICS_NORECOMPUTE", "DROP_EXISTING", "SORT_IN_TEMPDB"})
            if (IsWord(QLatin1StringView(o), ahead)) return true;
        return false;
    }

    void ParseCreateTable(Statement& s) {
        s.kind = StmtKind::CreateTable;
        s.object = ParseObjectName();
        ExpectOp("(");
        s.columns.reserve(ItemsBeforeClose());
        do {
            if (IsOp(")")) break;  // a trailing comma before ')' is accepted by the server
            if (IsWord("CONSTRAINT") || IsWord("PRIMARY") || IsWord("UNIQUE") || IsWord("FOREIGN") || IsWord("CHECK")) {
                s.constraints.push_back(ParseTableConstraint());
            } else {
                s.columns.push_back(ParseColumnDef());
            }
        } while (AcceptOp(","));
        ExpectOp(")");
        for (;;) {
            if (AcceptWord("ON")) { s.fileGroup = ExpectAnyWord(); continue; }
            if (AcceptWord("TEXTIMAGE_ON")) { s.textFileGroup = ExpectAnyWord(); continue; }
            break;
        }
    }

    // How many items a parenthesised list holds from here to its closing parenthesis (its commas
    // outside nested parentheses, plus one): room made at once for a table's columns.
    size_t ItemsBeforeClose() const {
        size_t items = 1;
        int depth = 0;
        for (size_t i = pos_; i < last_; ++i) {
            const Token& t = tok_[i];
            if (t.kind != TokKind::Op || t.text.size() != 1) continue;
            const char16_t c = t.text[0].unicode();
            if (c == u'(') ++depth;
            else if (c == u')' && depth-- == 0) break;
            else if (c == u',' && depth == 0) ++items;
        }
        return items;
    }

    QString TextFrom(int startTok) const {
        const Token& a = toks_[startTok];
        return text_.mid(a.start, LastEnd() - a.start);
    }

    ColumnDef ParseColumnDef() {
        ColumnDef c;
        c.name = ExpectName();
        if (AcceptWord("AS")) {
            int st = static_cast<int>(pos_);
            c.computed = ParseExpr();
            c.computedText = TextFrom(st);
        } else {
            c.type = ParseType();
        }
        for (;;) {
            if (AcceptWord("NULL")) { c.nullable = 1; continue; }
            if (IsWord("NOT") && IsWord("NULL", 1)) { pos_ += 2; c.nullable = 0; continue; }
            if (IsWord("NOT") && IsWord("FOR", 1)) {
                pos_ += 2;
                ExpectWord("REPLICATION");
                c.identityNotForRepl = true;
                continue;
            }
            if (AcceptWord("IDENTITY")) {
                c.identity = true;
                if (AcceptOp("(")) {
                    c.seed = ParseSignedInt();
                    ExpectOp(",");
                    c.incr = ParseSignedInt();
                    ExpectOp(")");
                }
                continue;
            }
            if (AcceptWord("ROWGUIDCOL")) { c.rowGuidCol = true; continue; }
            if (AcceptWord("COLLATE")) { c.collation = ExpectAnyWord(); continue; }
            if (IsWord("CONSTRAINT") || IsWord("PRIMARY") || IsWord("UNIQUE") || IsWord("REFERENCES") ||
                IsWord("FOREIGN") || IsWord("CHECK") || IsWord("DEFAULT")) {
                ConstraintDef k = ParseColumnConstraint();
                if (k.kind != ConstraintDef::Kind::Check && k.kind != ConstraintDef::Kind::Default) k.columns << c.name;
                k.forColumn = c.name;
                c.constraints.push_back(k);
                continue;
            }
            break;
        }
        return c;
    }

    void ParseKeyOptions(ConstraintDef& k) {
        if (AcceptWord("CLUSTERED")) { k.clustered = true; k.clusteredGiven = true; }
        else if (AcceptWord("NONCLUSTERED")) { k.clustered = false; k.clusteredGiven = true; }
    }
    void ParseKeyTail(ConstraintDef& k) {
        if (AcceptWord("WITH")) {
            int status = 0;
            bool pad = false;
            ParseIndexOptions(k.fillFactor, status, pad);
        }
        if (AcceptWord("ON")) k.fileGroup = ExpectAnyWord();
    }
    void ParseReferences(ConstraintDef& k) {
        ExpectWord("REFERENCES");
        k.refTable = ParseObjectName();
        if (AcceptOp("(")) {
            do { k.refColumns << ExpectName(); } while (AcceptOp(","));
            ExpectOp(")");
        }
        for (;;) {
            if (IsWord("ON") && (IsWord("DELETE", 1) || IsWord("UPDATE", 1))) {
                ++pos_;
                bool del = Next().IsWord("DELETE");
                bool cascade = false;
                if (AcceptWord("CASCADE")) cascade = true;
                else { ExpectWord("NO"); ExpectWord("ACTION"); }
                (del ? k.cascadeDelete : k.cascadeUpdate) = cascade;
                continue;
            }
            if (IsWord("NOT") && IsWord("FOR", 1)) {
                pos_ += 2;
                ExpectWord("REPLICATION");
                k.notForReplication = true;
                continue;
            }
            break;
        }
    }
    void ParseCheckBody(ConstraintDef& k) {
        if (IsWord("NOT") && IsWord("FOR", 1)) {
            pos_ += 2;
            ExpectWord("REPLICATION");
            k.notForReplication = true;
        }
        ExpectOp("(");
        int st = static_cast<int>(pos_);
        k.expr = ParseExpr();
        k.exprText = TextFrom(st);
        ExpectOp(")");
    }

    ConstraintDef ParseColumnConstraint() {
        ConstraintDef k;
        if (AcceptWord("CONSTRAINT")) k.name = ExpectName();
        if (AcceptWord("PRIMARY")) {
            ExpectWord("KEY");
            k.kind = ConstraintDef::Kind::PrimaryKey;
            k.clustered = true;
            ParseKeyOptions(k);
            ParseKeyTail(k);
        } else if (AcceptWord("UNIQUE")) {
            k.kind = ConstraintDef::Kind::Unique;
            ParseKeyOptions(k);
            ParseKeyTail(k);
        } else if (IsWord("REFERENCES") || IsWord("FOREIGN")) {
            if (AcceptWord("FOREIGN")) ExpectWord("KEY");
            k.kind = ConstraintDef::Kind::ForeignKey;
            ParseReferences(k);
        } else if (AcceptWord("CHECK")) {
            k.kind = ConstraintDef::Kind::Check;
            ParseCheckBody(k);
        } else if (AcceptWord("DEFAULT")) {
            k.kind = ConstraintDef::Kind::Default;
            int st = static_cast<int>(pos_);
            k.expr = ParseAdditive();
            k.exprText = TextFrom(st);
            if (IsWord("WITH") && IsWord("VALUES", 1)) {
                pos_ += 2;
                k.withValues = true;
            }
        } else {
            Fail();
        }
        return k;
    }

    ConstraintDef ParseTableConstraint() {
        ConstraintDef k;
        if (AcceptWord("CONSTRAINT")) k.name = ExpectName();
        auto keyColumns = [&] {
            ExpectOp("(");
            do {
                k.columns << ExpectName();
                bool desc = false;
                if (AcceptWord("DESC")) desc = true;
                else AcceptWord("ASC");
                k.descending.push_back(desc);
            } while (AcceptOp(","));
            ExpectOp(")");
        };
        if (AcceptWord("PRIMARY")) {
            ExpectWord("KEY");
            k.kind = ConstraintDef::Kind::PrimaryKey;
            k.clustered = true;
            ParseKeyOptions(k);
            keyColumns();
            ParseKeyTail(k);
        } else if (AcceptWord("UNIQUE")) {
            k.kind = ConstraintDef::Kind::Unique;
            ParseKeyOptions(k);
            keyColumns();
            ParseKeyTail(k);
        } else if (AcceptWord("FOREIGN")) {
            ExpectWord("KEY");
            k.kind = ConstraintDef::Kind::ForeignKey;
            ExpectOp("(");
            do { k.columns << ExpectName(); } while (AcceptOp(","));
            ExpectOp(")");
            ParseReferences(k);
        } else if (AcceptWord("CHECK")) {
            k.kind = ConstraintDef::Kind::Check;
            ParseCheckBody(k);
        } else if (AcceptWord("DEFAULT")) {
            k.kind = ConstraintDef::Kind::Default;
            int st = static_cast<int>(pos_);
            k.expr = ParseAdditive();
            k.exprText = TextFrom(st);
            ExpectWord("FOR");
            k.forColumn = ExpectName();
        } else {
            Fail();
        }
        return k;
    }

    void ParseAlter(Statement& s, bool firstInBatch) {
        ++pos_;
        const QString what = ExpectAnyWord().toUpper();
        if (what == QLatin1String("TABLE")) {
            s.kind = StmtKind::AlterTable;
            s.object = ParseObjectName();
            bool withNoCheck = false;
            if (AcceptWord("WITH")) {
                if (AcceptWord("NOCHECK")) withNoCheck = true;
                else ExpectWord("CHECK");
            }
            if (AcceptWord("ADD")) {
                s.kindWord = QStringLiteral("ADD");
                s.flag = withNoCheck;
                do {
                    if (IsWord("CONSTRAINT") || IsWord("PRIMARY") || IsWord("UNIQUE") || IsWord("FOREIGN") ||
                        IsWord("CHECK") || IsWord("DEFAULT"))
                        s.constraints.push_back(ParseTableConstraint());
                    else
                        s.columns.push_back(ParseColumnDef());
                } while (AcceptOp(","));
            } else if (IsWord("NOCHECK") || IsWord("CHECK")) {
                s.kindWord = Name(Next()).toUpper();  // NOCHECK / CHECK CONSTRAINT ALL | names
                ExpectWord("CONSTRAINT");
                if (AcceptWord("ALL")) s.names << QStringLiteral("ALL");
                else { do { s.names << ExpectName(); } while (AcceptOp(",")); }
            } else if (AcceptWord("DROP")) {
                s.kindWord = QStringLiteral("DROP");
                do {
                    if (AcceptWord("COLUMN")) s.args.push_back(MakeNode<Expr>());  // marks a column drop
                    else AcceptWord("CONSTRAINT");
                    s.names << ExpectName();
                } while (AcceptOp(","));
            } else if (AcceptWord("ALTER")) {
                ExpectWord("COLUMN");
                s.kindWord = QStringLiteral("ALTER COLUMN");
                if ((IsWord("ADD", 1) || IsWord("DROP", 1)) && IsWord("ROWGUIDCOL", 2)) {
                    // ALTER COLUMN name ADD|DROP ROWGUIDCOL
                    ColumnDef c;
                    c.name = ExpectName();
                    s.text = Name(Next()).toUpper();
                    ++pos_;
                    s.columns.push_back(std::move(c));
                } else {
                    s.columns.push_back(ParseColumnDef());
                }
            } else if (IsWord("ENABLE") || IsWord("DISABLE")) {
                s.kindWord = Name(Next()).toUpper();
                ExpectWord("TRIGGER");
                if (AcceptWord("ALL")) s.names << QStringLiteral("ALL");
                else { do { s.names << ExpectName(); } while (AcceptOp(",")); }
            } else {
                Fail();
            }
            return;
        }
        if (what == QLatin1String("VIEW") || what == QLatin1String("PROC") || what == QLatin1String("PROCEDURE") || what == QLatin1String("FUNCTION") || what == QLatin1String("TRIGGER")) {
            if (!firstInBatch)
                throw ParseError{ErrGeneric(111, 15, QStringLiteral("'ALTER %1' must be the first statement in a query batch.").arg(what == QLatin1String("PROC") ? QStringLiteral("PROCEDURE") : what))};
            s.kindWord = QStringLiteral("ALTER");
            s.alter = true;
            if (what == QLatin1String("VIEW")) {
                s.kind = StmtKind::CreateView;
                s.object = ParseObjectName();
                if (IsOp("(")) SkipBalanced();
                if (AcceptWord("WITH")) { do { s.withOptions << ExpectAnyWord().toUpper(); } while (AcceptOp(",")); }
                ExpectWord("AS");
                s.select = ParseQuery();
                if (AcceptWord("WITH")) { ExpectWord("CHECK"); ExpectWord("OPTION"); }
                AcceptOp(";");
                if (!AtEnd()) Fail();
                s.text = CodeText(s);
            } else if (what == QLatin1String("FUNCTION")) {
                s.kind = StmtKind::CreateFunction;
                ParseFunctionRest(s);
            } else if (what == QLatin1String("TRIGGER")) {
                s.kind = StmtKind::CreateTrigger;
                ParseTriggerRest(s);
            } else {
                s.kind = StmtKind::CreateProcedure;
                ParseProcedureRest(s);
            }
            return;
        }
        if (what == QLatin1String("DATABASE")) {
            s.kind = StmtKind::Noop;
            s.text = ExpectAnyWord();
            if (IsWord("ADD") && IsWord("FILEGROUP", 1)) {
                pos_ += 2;
                s.kindWord = QStringLiteral("ADD FILEGROUP");
                s.names << ExpectAnyWord();
                return;
            }
            if (IsWord("MODIFY") && IsWord("FILEGROUP", 1)) {
                pos_ += 2;
                s.names << ExpectAnyWord();
                if (AcceptWord("DEFAULT")) s.kindWord = QStringLiteral("DEFAULT FILEGROUP");
                else ExpectAnyWord();
                return;
            }
            // Other database options change nothing the catalog shows; they run to the end of the line.
            const int line = LineOf(Peek().start);
            while (!AtEnd() && !IsOp(";") && LineOf(Peek().start) == line) Next();
            return;
        }
        Fail(toks_[pos_ - 1]);
    }

    std::vector<StmtPtr> ParseBodyToEnd() {
        std::vector<StmtPtr> body;
        while (!AtEnd()) {
            if (AcceptOp(";")) continue;
            body.push_back(ParseStatement(false));
        }
        return body;
    }

    void ParseParams(Statement& s, bool parens) {
        do {
            if (Peek().kind != TokKind::Variable) {
                if (parens && IsOp(")")) return;
                Fail();
            }
            ProcParam p;
            p.name = Name(Next());
            AcceptWord("AS");
            p.type = ParseType();
            if (AcceptWord("VARYING")) {}
            if (AcceptOp("=")) p.defaultValue = ParseUnary();
            if (AcceptWord("OUTPUT") || AcceptWord("OUT")) p.output = true;
            s.params.push_back(p);
        } while (AcceptOp(","));
    }

    void ParseProcedureRest(Statement& s) {
        s.object = ParseObjectName();
        if (AcceptOp(";")) {
            if (Peek().kind != TokKind::Integer) Fail();
            s.object.number = Name(Next()).toInt();
        }
        if (AcceptOp("(")) {
            ParseParams(s, true);
            ExpectOp(")");
        } else if (Peek().kind == TokKind::Variable) {
            ParseParams(s, false);
        }
        if (AcceptWord("WITH")) { do { s.withOptions << ExpectAnyWord().toUpper(); } while (AcceptOp(",")); }
        if (AcceptWord("FOR")) ExpectWord("REPLICATION");
        ExpectWord("AS");
        s.body = ParseBodyToEnd();
        s.text = CodeText(s);
    }

    void ParseFunctionRest(Statement& s) {
        s.object = ParseObjectName();
        ExpectOp("(");
        if (!IsOp(")")) ParseParams(s, true);
        ExpectOp(")");
        ExpectWord("RETURNS");
        if (Peek().kind == TokKind::Variable) {
            Next();
            ExpectWord("TABLE");
            SkipBalanced();
            s.kindWord = QStringLiteral("TF");
        } else if (AcceptWord("TABLE")) {
            s.kindWord = QStringLiteral("IF");
        } else {
            ParseType();
            s.kindWord = QStringLiteral("FN");
        }
        if (AcceptWord("WITH")) { do { s.withOptions << ExpectAnyWord().toUpper(); } while (AcceptOp(",")); }
        AcceptWord("AS");
        if (s.kindWord == QLatin1String("IF")) {
            ExpectWord("RETURN");
            s.select = ParseQuery();
            AcceptOp(";");
            if (!AtEnd()) Fail();
        } else {
            s.body = ParseBodyToEnd();
        }
        s.text = CodeText(s);
    }

    void ParseTriggerRest(Statement& s) {
        s.object = ParseObjectName();
        ExpectWord("ON");
        ObjectName table = ParseObjectName();
        s.objects.push_back(table);
        if (AcceptWord("WITH")) { ExpectWord("ENCRYPTION"); s.withOptions << QStringLiteral("ENCRYPTION"); }
        if (AcceptWord("INSTEAD")) { ExpectWord("OF"); s.insteadOf = true; }
        else if (!AcceptWord("AFTER")) ExpectWord("FOR");
        do {
            if (AcceptWord("INSERT")) s.insertTrigger = true;
            else if (AcceptWord("UPDATE")) s.updateTrigger = true;
            else if (AcceptWord("DELETE")) s.deleteTrigger = true;
            else Fail();
        } while (AcceptOp(","));
        if (AcceptWord("WITH")) ExpectWord("APPEND");
        if (IsWord("NOT") && IsWord("FOR", 1)) { pos_ += 2; ExpectWord("REPLICATION"); }
        ExpectWord("AS");
        s.body = ParseBodyToEnd();
        s.text = CodeText(s);
    }

    // ---------------------------------------------------------------- queries
    SelectPtr ParseQuery() {
        DepthGuard guard(*this);
        const bool forXmlAllowed = forXmlAllowed_;
        forXmlAllowed_ = false;
        SelectPtr first = ParseQueryTerm();
        SelectPtr cur = first;
        while (AcceptWord("UNION")) {
            cur->unionAll = AcceptWord("ALL");
            cur->unionNext = ParseQueryTerm();
            cur = cur->unionNext;
        }
        if (AcceptWord("ORDER")) {
            ExpectWord("BY");
            do {
                OrderItem o;
                o.expr = ParseExpr();
                if (AcceptWord("DESC")) o.descending = true;
                else AcceptWord("ASC");
                first->orderBy.push_back(o);
            } while (AcceptOp(","));
        }
        if (IsWord("FOR") && IsWord("XML", 1)) {
            if (!forXmlAllowed) Fail();
            pos_ += 2;
            first->forXml = ExpectAnyWord().toUpper();
            if (first->forXml != "AUTO" && first->forXml != "RAW" && first->forXml != "EXPLICIT") { --pos_; Fail(); }
            while (AcceptOp(",")) {
                if (AcceptWord("ELEMENTS")) first->xmlElements = true;
                else if (AcceptWord("BINARY")) ExpectWord("BASE64");
                else ExpectWord("XMLDATA");
            }
        }
        if (IsWord("COMPUTE") || (IsWord("FOR") && IsWord("BROWSE", 1))) Fail();
        if (IsWord("OPTION") && IsOp("(", 1)) { ++pos_; SkipBalanced(); }
        return first;
    }

    SelectPtr ParseQueryTerm() {
        if (AcceptOp("(")) {
            SelectPtr q = ParseQuery();
            ExpectOp(")");
            return q;
        }
        ExpectWord("SELECT");
        auto q = MakeNode<SelectStmt>();
        if (AcceptWord("ALL")) {}
        else if (AcceptWord("DISTINCT")) q->distinct = true;
        if (AcceptWord("TOP")) {
            if (AcceptOp("(")) { q->top = ParseExpr(); ExpectOp(")"); }
            else q->top = ParsePrimary();
            if (AcceptWord("PERCENT")) q->topPercent = true;
            if (AcceptWord("WITH")) ExpectWord("TIES");
        }
        do { ParseSelectItem(*q); } while (AcceptOp(","));
        if (AcceptWord("INTO")) q->intoTable = ParseObjectName().name;
        if (AcceptWord("FROM")) q->from = ParseFromList();
        if (AcceptWord("WHERE")) q->where = ParseExpr();
        if (AcceptWord("GROUP")) {
            ExpectWord("BY");
            AcceptWord("ALL");
            do { q->groupBy.push_back(ParseExpr()); } while (AcceptOp(","));
            if (IsWord("WITH") && (IsWord("ROLLUP", 1) || IsWord("CUBE", 1))) {
                ++pos_;
                if (Next().IsWord("ROLLUP")) q->withRollup = true;
                else q->withCube = true;
            }
        }
        if (AcceptWord("HAVING")) q->having = ParseExpr();
        return q;
    }

    void ParseSelectItem(SelectStmt& q) {
        const Token& t = Peek();
        if (t.IsOp("*")) {
            ++pos_;
            auto e = MakeNode<Expr>();
            e->kind = ExprKind::Star;
            q.items.push_back(SelectItem{e, QString(), false});
            return;
        }
        if (t.kind == TokKind::Variable && IsOp("=", 1)) {
            QString var = Name(Next());
            ++pos_;
            q.assignments.emplace_back(var, ParseExpr());
            return;
        }
        if ((t.kind == TokKind::Ident || t.kind == TokKind::QuotedIdent || t.kind == TokKind::String) &&
            IsOp("=", 1) && !Reserved(t)) {
            QString alias = Name(Next());
            ++pos_;
            q.items.push_back(SelectItem{ParseExpr(), alias, true});
            return;
        }
        // qualifier.*
        if (IsName() ) {
            size_t k = 0;
            QStringList parts;
            while (Peek(k).kind == TokKind::Ident || Peek(k).kind == TokKind::QuotedIdent) {
                parts << Name(Peek(k));
                if (!Peek(k + 1).IsOp(".")) break;
                if (Peek(k + 2).IsOp("*")) {
                    pos_ += k + 3;
                    auto e = MakeNode<Expr>();
                    e->kind = ExprKind::Star;
                    e->parts = parts;
                    q.items.push_back(SelectItem{e, QString(), false});
                    return;
                }
                k += 2;
            }
        }
        SelectItem item;
        item.expr = ParseExpr();
        if (AcceptWord("AS")) {
            const Token& a = Peek();
            if (a.kind != TokKind::Ident && a.kind != TokKind::QuotedIdent && a.kind != TokKind::String &&
                a.kind != TokKind::NString)
                Fail();
            item.alias = Name(Next());
            item.hasAlias = true;
        } else if (IsName() || Peek().kind == TokKind::String) {
            item.alias = Name(Next());
            item.hasAlias = true;
        }
        q.items.push_back(item);
    }

    std::vector<TableRefPtr> ParseFromList() {
        std::vector<TableRefPtr> list;
        do { list.push_back(ParseJoinedTable()); } while (AcceptOp(","));
        return list;
    }

    TableRefPtr ParseJoinedTable() {
        DepthGuard guard(*this);
        TableRefPtr left = ParseTablePrimary();
        for (;;) {
            JoinKind kind;
            if (AcceptWord("CROSS")) { ExpectWord("JOIN"); kind = JoinKind::Cross; }
            else if (AcceptWord("INNER")) { ExpectWord("JOIN"); kind = JoinKind::Inner; }
            else if (AcceptWord("JOIN")) kind = JoinKind::Inner;
            else if (AcceptWord("LEFT")) { AcceptWord("OUTER"); ExpectWord("JOIN"); kind = JoinKind::Left; }
            else if (AcceptWord("RIGHT")) { AcceptWord("OUTER"); ExpectWord("JOIN"); kind = JoinKind::Right; }
            else if (AcceptWord("FULL")) { AcceptWord("OUTER"); ExpectWord("JOIN"); kind = JoinKind::Full; }
            else break;
            auto j = MakeNode<TableRef>();
            j->kind = TableRef::Kind::Join;
            j->join = kind;
            j->left = left;
            j->right = kind == JoinKind::Cross ? ParseTablePrimary() : ParseJoinedTable();
            if (kind != JoinKind::Cross) {
                ExpectWord("ON");
                j->on = ParseExpr();
            }
            left = j;
        }
        return left;
    }

    void ParseAliasAndHints(TableRef& r) {
        if (AcceptWord("AS")) r.alias = ExpectName();
        else if (IsName()) {
            // Old scripts write lock hints without parentheses (FROM t TABLOCKX).
            if (Peek().kind == TokKind::Ident && IsTableHint(Peek().text) && !IsOp(".", 1)) ++pos_;
            else r.alias = Name(Next());
        }
        if (IsOp("(") && IsTableHintParen(1)) SkipBalanced();
        if (IsWord("WITH") && IsOp("(", 1)) { ++pos_; SkipBalanced(); }
    }
    bool IsTableHintParen(size_t ahead = 0) const {
        return Peek(ahead).kind == TokKind::Ident && IsTableHint(Peek(ahead).text);
    }

    TableRefPtr ParseTablePrimary() {
        DepthGuard guard(*this);
        auto r = MakeNode<TableRef>();
        if (IsOp("(")) {
            if (IsWord("SELECT", 1) || IsOp("(", 1)) {
                // A derived table, or a parenthesised join starting with a parenthesis.
                size_t save = pos_;
                if (IsWord("SELECT", 1)) {
                    ++pos_;
                    r->kind = TableRef::Kind::Derived;
                    r->derived = ParseQuery();
                    ExpectOp(")");
                    ParseAliasAndHints(*r);
                    if (r->alias.isEmpty()) Fail();
                    return r;
                }
                pos_ = save;
            }
            ++pos_;
            TableRefPtr inner = ParseJoinedTable();
            ExpectOp(")");
            return inner;
        }
        ObjectName n = ParseObjectName();
        r->server = std::move(n.server);  // a table variable keeps its @name
        r->database = std::move(n.database);
        r->owner = std::move(n.owner);
        r->name = std::move(n.name);
        if (IsOp("(") && !IsTableHintParen(1)) Fail();  // table-valued functions are not supported
        ParseAliasAndHints(*r);
        return r;
    }

    // ---------------------------------------------------------------- expressions
    ExprPtr Make(ExprKind k, int start) {
        auto e = MakeNode<Expr>();
        e->kind = k;
        e->start = start;
        return e;
    }
    ExprPtr&& Finish(ExprPtr& e) {
        e->end = LastEnd();
        return std::move(e);
    }
    // The operands of a node, moved in.
    template <class... Operands>
    static void SetOperands(Expr& e, Operands&&... operands) {
        e.args.reserve(sizeof...(Operands));
        (e.args.push_back(std::forward<Operands>(operands)), ...);
    }

    ExprPtr ParseExpr() {
        DepthGuard guard(*this);
        int st = Peek().start;
        ExprPtr left = ParseAnd();
        while (AcceptWord("OR")) {
            auto e = Make(ExprKind::Or, st);
            {
                ExprPtr right = ParseAnd();
                SetOperands(*e, std::move(left), std::move(right));
            }
            left = Finish(e);
        }
        return left;
    }
    ExprPtr ParseAnd() {
        int st = Peek().start;
        ExprPtr left = ParseNot();
        while (AcceptWord("AND")) {
            auto e = Make(ExprKind::And, st);
            {
                ExprPtr right = ParseNot();
                SetOperands(*e, std::move(left), std::move(right));
            }
            left = Finish(e);
        }
        return left;
    }
    ExprPtr ParseNot() {
        DepthGuard guard(*this);
        int st = Peek().start;
        if (AcceptWord("NOT")) {
            auto e = Make(ExprKind::Not, st);
            SetOperands(*e, ParseNot());
            return Finish(e);
        }
        return ParsePredicate();
    }
    ExprPtr ParsePredicate() {
        int st = Peek().start;
        if (IsWord("EXISTS")) {
            ++pos_;
            ExpectOp("(");
            auto e = Make(ExprKind::Exists, st);
            e->subquery = ParseQuery();
            ExpectOp(")");
            return Finish(e);
        }
        ExprPtr left = ParseAdditive();
        for (;;) {
            const Token& t = Peek();
            if (t.kind == TokKind::Op && (t.IsOp("=") || t.IsOp("<>") || t.IsOp("!=") || t.IsOp("<") ||
                                          t.IsOp(">") || t.IsOp("<=") || t.IsOp(">=") || t.IsOp("!<") ||
                                          t.IsOp("!>"))) {
                // The operator's text, without building one for each comparison.
                const Token& o = Next();
                auto e = Make(ExprKind::Compare, st);
                e->name = o.IsOp("=") ? QStringLiteral("=")
                          : o.IsOp("<>") || o.IsOp("!=") ? QStringLiteral("<>")
                          : o.IsOp("<") ? QStringLiteral("<")
                          : o.IsOp(">") ? QStringLiteral(">")
                          : o.IsOp("<=") || o.IsOp("!>") ? QStringLiteral("<=")
                                                          : QStringLiteral(">=");  // >= and !<
                if (IsWord("ALL") || IsWord("ANY") || IsWord("SOME")) Fail();
                {
                    ExprPtr right = ParseAdditive();
                    SetOperands(*e, std::move(left), std::move(right));
                }
                left = Finish(e);
                continue;
            }
            if (t.kind != TokKind::Ident) break;  // the words below are all plain identifiers
            bool negated = false;
            size_t save = pos_;
            if (IsWord("NOT") && (IsWord("IN", 1) || IsWord("LIKE", 1) || IsWord("BETWEEN", 1))) {
                ++pos_;
                negated = true;
            }
            if (AcceptWord("IS")) {
                auto e = Make(ExprKind::IsNull, st);
                e->negated = AcceptWord("NOT");
                ExpectWord("NULL");
                SetOperands(*e, std::move(left));
                left = Finish(e);
                continue;
            }
            if (AcceptWord("IN")) {
                auto e = Make(ExprKind::In, st);
                e->negated = negated;
                SetOperands(*e, std::move(left));
                ExpectOp("(");
                if (IsWord("SELECT")) {
                    e->subquery = ParseQuery();
                } else {
                    do { e->args.push_back(ParseExpr()); } while (AcceptOp(","));
                }
                ExpectOp(")");
                left = Finish(e);
                continue;
            }
            if (AcceptWord("LIKE")) {
                auto e = Make(ExprKind::Like, st);
                e->negated = negated;
                {
                    ExprPtr right = ParseAdditive();
                    SetOperands(*e, std::move(left), std::move(right));
                }
                if (AcceptWord("ESCAPE")) e->operand = ParseAdditive();
                left = Finish(e);
                continue;
            }
            if (AcceptWord("BETWEEN")) {
                auto e = Make(ExprKind::Between, st);
                e->negated = negated;
                ExprPtr lo = ParseAdditive();
                ExpectWord("AND");
                ExprPtr hi = ParseAdditive();
                SetOperands(*e, std::move(left), std::move(lo), std::move(hi));
                left = Finish(e);
                continue;
            }
            pos_ = save;
            break;
        }
        return left;
    }
    ExprPtr ParseAdditive() {
        DepthGuard guard(*this);
        int st = Peek().start;
        ExprPtr left = ParseMultiplicative();
        for (;;) {
            const Token& t = Peek();
            if (t.kind == TokKind::Op && (t.IsOp("+") || t.IsOp("-") || t.IsOp("&") || t.IsOp("|") || t.IsOp("^"))) {
                auto e = Make(ExprKind::Binary, st);
                e->name = Name(Next());
                {
                    ExprPtr right = ParseMultiplicative();
                    SetOperands(*e, std::move(left), std::move(right));
                }
                left = Finish(e);
                continue;
            }
            break;
        }
        return left;
    }
    ExprPtr ParseMultiplicative() {
        int st = Peek().start;
        ExprPtr left = ParseUnary();
        for (;;) {
            const Token& t = Peek();
            if (t.kind == TokKind::Op && (t.IsOp("*") || t.IsOp("/") || t.IsOp("%"))) {
                auto e = Make(ExprKind::Binary, st);
                e->name = Name(Next());
                {
                    ExprPtr right = ParseUnary();
                    SetOperands(*e, std::move(left), std::move(right));
                }
                left = Finish(e);
                continue;
            }
            break;
        }
        return left;
    }
    ExprPtr ParseUnary() {
        DepthGuard guard(*this);
        int st = Peek().start;
        if (IsOp("-") || IsOp("+") || IsOp("~")) {
            QString op = Name(Next());
            ExprPtr operand = ParseUnary();
            if (op == "+") return operand;
            if (op == "-" && operand->kind == ExprKind::Literal && operand->value.IsNumeric()) {
                // Fold negative literals so that -2147483648 and money literals keep their type.
                Value v = operand->value;
                if (v.GetKind() == Value::Kind::Int) v = Value::Int(-v.AsInt(), v.XTypeCode());
                else if (v.GetKind() == Value::Kind::Decimal) v = Value::Decimal(-v.DecimalScaled(), v.DecimalScale(), v.XTypeCode());
                else v = Value::Float(-v.AsDouble(), v.XTypeCode());
                operand->value = v;
                operand->start = st;
                return operand;
            }
            auto e = Make(ExprKind::Unary, st);
            e->name = op;
            SetOperands(*e, std::move(operand));
            return Finish(e);
        }
        return ParsePrimary();
    }

    // Significant digits of a run of decimal digits, and its value (at most 38 digits).
    static int DigitCount(QStringView digits) {
        int i = 0;
        while (i + 1 < digits.size() && digits[i] == u'0') ++i;
        return static_cast<int>(digits.size()) - i;
    }
    static Int128 DigitsValue(QStringView digits) {
        Int128 v = 0;
        for (QChar c : digits) v = v * 10 + (c.unicode() - u'0');
        return v;
    }

    static Value NumberLiteral(const Token& t) {
        switch (t.kind) {
        case TokKind::Integer: {
            bool ok = false;
            long long v = IntegerValue(t.text, &ok);
            if (ok && v <= 2147483647LL) return Value::Int(v, XInt);
            // Larger integers are numeric literals in SQL Server, up to 38 digits.
            if (DigitCount(t.text) <= 38) return Value::Decimal(DigitsValue(t.text), 0, XNumeric);
            return Value::Float(t.text.toDouble(), XFloat);
        }
        case TokKind::Decimal:
        case TokKind::Money: {
            QString digits = Name(t);
            int dot = static_cast<int>(digits.indexOf(u'.'));
            int scale = dot < 0 ? 0 : static_cast<int>(digits.size()) - dot - 1;
            if (dot >= 0) digits.remove(dot, 1);
            bool neg = digits.startsWith(u'-');
            if (neg || digits.startsWith(u'+')) digits.remove(0, 1);
            if (digits.isEmpty()) digits = QStringLiteral("0");
            if (t.kind == TokKind::Money) {
                while (scale < 4) { digits += u'0'; ++scale; }
                while (scale > 4) { digits.chop(1); --scale; }
            }
            if (DigitCount(digits) > 38) return Value::Float(t.text.toDouble(), XFloat);
            Int128 v = DigitsValue(digits);
            if (neg) v = -v;
            return Value::Decimal(v, scale, t.kind == TokKind::Money ? XMoney : XNumeric);
        }
        default:
            return Value::Float(t.text.toDouble(), XFloat);
        }
    }

    ExprPtr ParsePrimary() {
        DepthGuard guard(*this);
        const Token& t = Peek();
        int st = t.start;
        switch (t.kind) {
        case TokKind::String:
        case TokKind::NString: {
            auto e = Make(ExprKind::Literal, st);
            e->value = Value::String(Name(t), t.kind == TokKind::NString ? XNVarChar : XVarChar);
            ++pos_;
            return Finish(e);
        }
        case TokKind::Integer:
        case TokKind::Decimal:
        case TokKind::Float:
        case TokKind::Money: {
            auto e = Make(ExprKind::Literal, st);
            e->value = NumberLiteral(t);
            ++pos_;
            return Finish(e);
        }
        case TokKind::Binary: {
            auto e = Make(ExprKind::Literal, st);
            QString hex = Name(t);
            if (hex.size() % 2) hex.prepend(u'0');
            e->value = Value::Binary(QByteArray::fromHex(hex.toLatin1()), XVarBinary);
            ++pos_;
            return Finish(e);
        }
        case TokKind::Variable: {
            auto e = Make(ExprKind::Variable, st);
            e->name = Name(t);
            ++pos_;
            return Finish(e);
        }
        case TokKind::Op:
            if (t.IsOp("(")) {
                ++pos_;
                if (IsWord("SELECT")) {
                    auto e = Make(ExprKind::Subquery, st);
                    e->subquery = ParseQuery();
                    ExpectOp(")");
                    return Finish(e);
                }
                ExprPtr inner = ParseExpr();
                ExpectOp(")");
                return inner;
            }
            Fail();
        case TokKind::End:
            Fail();
        case TokKind::Ident:
        case TokKind::QuotedIdent:
            break;
        }
        if (t.kind == TokKind::Ident) {
            if (UpperIs(t, "NULL")) {
                ++pos_;
                auto e = Make(ExprKind::Literal, st);
                e->value = Value::Null();
                return Finish(e);
            }
            if (UpperIs(t, "CASE")) return ParseCase();
            if (UpperIs(t, "CAST") && IsOp("(", 1)) {
                pos_ += 2;
                auto e = Make(ExprKind::Cast, st);
                SetOperands(*e, ParseExpr());
                ExpectWord("AS");
                e->type = ParseType();
                ExpectOp(")");
                return Finish(e);
            }
            if (UpperIs(t, "CONVERT") && IsOp("(", 1)) {
                pos_ += 2;
                auto e = Make(ExprKind::Cast, st);
                e->type = ParseType();
                ExpectOp(",");
                SetOperands(*e, ParseExpr());
                if (AcceptOp(",")) e->args.push_back(ParseExpr());
                ExpectOp(")");
                return Finish(e);
            }
            if (UpperIs(t, "CURRENT_USER") || UpperIs(t, "USER") || UpperIs(t, "SESSION_USER") || UpperIs(t, "SYSTEM_USER") ||
                UpperIs(t, "CURRENT_TIMESTAMP")) {
                ++pos_;
                auto e = Make(ExprKind::Function, st);
                e->name = UpperIs(t, "CURRENT_TIMESTAMP") ? QStringLiteral("GETDATE") : UpperWord(t.text).ToString();
                return Finish(e);
            }
            if (Reserved(t) && !(IsOp("(", 1) && (UpperIs(t, "LEFT") || UpperIs(t, "RIGHT") || UpperIs(t, "UPDATE")))) Fail();
        }
        // Names: column references and function calls.
        QStringList parts = IsOp(".", 1) ? QStringList{Name(t)} : OnePartName(t);
        ++pos_;
        while (IsOp(".")) {
            ++pos_;
            if (IsOp(".")) { parts << QString(); continue; }
            const Token& p = Peek();
            if (p.kind != TokKind::Ident && p.kind != TokKind::QuotedIdent) Fail();
            parts << Name(Next());
        }
        if (IsOp("(") && t.kind == TokKind::Ident) {
            ++pos_;
            auto e = Make(ExprKind::Function, st);
            // Most calls are written in upper case already: the name then shares the part's string.
            // (Read through constLast: the list may be shared, and last() would copy it.)
            const QString& last = parts.constLast();
            const UpperWord upper(last);
            e->name = upper.View() == last ? last : SharedText(upper.View());
            e->parts = std::move(parts);
            if (AcceptOp("*")) {
                e->star = true;
            } else if (!IsOp(")")) {
                if (AcceptWord("DISTINCT")) e->distinct = true;
                else AcceptWord("ALL");
                do {
                    // DATEPART-style first arguments are bare words.
                    ExprPtr arg = ParseExpr();
                    // Room for two when a second follows: most calls with more than one argument
                    // have two (OBJECTPROPERTY, ISNULL, ...).
                    if (e->args.empty()) e->args.reserve(IsOp(",") ? 2 : 1);
                    e->args.push_back(std::move(arg));
                } while (AcceptOp(","));
            }
            ExpectOp(")");
            return Finish(e);
        }
        auto e = Make(ExprKind::Column, st);
        e->parts = std::move(parts);
        return Finish(e);
    }

    ExprPtr ParseCase() {
        int st = Peek().start;
        ++pos_;
        auto e = Make(ExprKind::Case, st);
        if (!IsWord("WHEN")) e->operand = ParseExpr();
        if (!IsWord("WHEN")) Fail();
        while (AcceptWord("WHEN")) {
            e->args.push_back(ParseExpr());
            ExpectWord("THEN");
            e->args.push_back(ParseExpr());
        }
        if (AcceptWord("ELSE")) e->elseExpr = ParseExpr();
        ExpectWord("END");
        return Finish(e);
    }
};

}  // namespace

bool IsReservedWord(QStringView word) { return ReservedWords().Contains(word); }

ParseResult ParseBatch(const QString& batch, bool quotedIdentifier) {
    ParseResult r;
    LexResult lex = Tokenize(batch, quotedIdentifier);
    if (!lex.ok) {
        r.ok = false;
        if (lex.errorNumber == 113)
            r.error = ErrGeneric(113, 15, QStringLiteral("Missing end comment mark '*/'."));
        else
            r.error = ErrGeneric(105, 15, QStringLiteral("Unclosed quotation mark before the character string '%1'.").arg(lex.errorNear));
        return r;
    }
    Parser p(batch, std::move(lex));
    try {
        r.statements = p.ParseAll();
    } catch (const ParseError& e) {
        r.ok = false;
        r.error = e.error;
        r.statements.clear();
    }
    return r;
}

ExprPtr ParseExpression(const QString& text, bool quotedIdentifier) {
    LexResult lex = Tokenize(text, quotedIdentifier);
    if (!lex.ok) return nullptr;
    Parser p(text, std::move(lex));
    try {
        return p.ParseStandaloneExpr();
    } catch (const ParseError&) {
        return nullptr;
    }
}

}  // namespace sqlsim
