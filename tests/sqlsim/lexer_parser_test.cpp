// Tokens, batch splitting and parsing of the dialect real scripts use.
#include "sqlsim/lexer.h"
#include "sqlsim/parser.h"

#include <gtest/gtest.h>

#include <thread>

using namespace sqlsim;

// Each text's tokens (kind and text, End left out), or the error that stops it. Besides one token
// of every kind: doubled quotes, non-ASCII names and literals (a varchar literal keeps only what
// code page 1252 holds), comments and quotes left open at the end of the text.
TEST(Lexer, TokensOfHostileTexts) {
    using K = TokKind;
    const struct {
        const char* text;
        bool quotedIdentifier;
        std::vector<std::pair<TokKind, const char*>> tokens;
        int error = 0;
    } cases[] = {
        {"N'it''s' 'a'", true, {{K::NString, "it's"}, {K::String, "a"}}},
        {"0x1F2e 0x", true, {{K::Binary, "1F2e"}, {K::Binary, ""}}},
        {"$20.00 $-1.5 $ 1", true, {{K::Money, "20.00"}, {K::Money, "-1.5"}, {K::Op, "$"}, {K::Integer, "1"}}},
        {"1.5 2e3 .5e+1 1e+ 42", true,
         {{K::Decimal, "1.5"}, {K::Float, "2e3"}, {K::Float, ".5e+1"}, {K::Integer, "1"}, {K::Ident, "e"}, {K::Op, "+"},
          {K::Integer, "42"}}},
        {"@@ERROR @ #t", true, {{K::Variable, "@@ERROR"}, {K::Variable, "@"}, {K::Ident, "#t"}}},
        {"[Order]] Details] []]]", true, {{K::QuotedIdent, "Order] Details"}, {K::QuotedIdent, "]"}}},
        {"\"x \"\"y\" \"]\"", true, {{K::QuotedIdent, "x \"y"}, {K::QuotedIdent, "]"}}},
        {"\"abc\" \"€日\"", false, {{K::String, "abc"}, {K::String, "€?"}}},
        {"'ä€日' N'ä€日' \"日\"", true, {{K::String, "ä€?"}, {K::NString, "ä€日"}, {K::QuotedIdent, "日"}}},
        {"tä_b.[ö]]] ıf日", true, {{K::Ident, "tä_b"}, {K::Op, "."}, {K::QuotedIdent, "ö]"}, {K::Ident, "ıf日"}}},
        {"a*=b !<>= <>", true, {{K::Ident, "a"}, {K::Op, "*="}, {K::Ident, "b"}, {K::Op, "!<"}, {K::Op, ">="}, {K::Op, "<>"}}},
        {"-- line\n/* block /* nested */ still */ b--x", true, {{K::Ident, "b"}}},
        // Non-ASCII blanks, digits and letters are classed as QChar classes them.
        {"a\u3000\u0661\u0662 \u00e9t\u00e9 \u00a7 . .5 a-b/c", true,
         {{K::Ident, "a"}, {K::Integer, "\u0661\u0662"}, {K::Ident, "\u00e9t\u00e9"}, {K::Op, "\u00a7"}, {K::Op, "."},
          {K::Decimal, ".5"}, {K::Ident, "a"}, {K::Op, "-"}, {K::Ident, "b"}, {K::Op, "/"}, {K::Ident, "c"}}},
        {"a/*]'\"*/b -- open ' [ \" /*", true, {{K::Ident, "a"}, {K::Ident, "b"}}},
        {"select 'abc", true, {}, 105},
        {"select /* abc", true, {}, 113},
        {"/* a /* b */", true, {}, 113},
        {"[x", true, {}, 105},
        {"N'x", true, {}, 105},
        {"'a''", true, {}, 105},
        {"\"x", false, {}, 105},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const LexResult r = Tokenize(QString::fromUtf8(c.text), c.quotedIdentifier);
        EXPECT_EQ(r.errorNumber, c.error);
        EXPECT_EQ(r.ok, c.error == 0);
        if (!r.ok) continue;
        std::vector<std::pair<TokKind, std::string>> got;
        for (const Token& t : r.tokens)
            if (t.kind != TokKind::End) got.emplace_back(t.kind, t.Text().toStdString());
        std::vector<std::pair<TokKind, std::string>> expected;
        for (const auto& [kind, text] : c.tokens) expected.emplace_back(kind, text);
        EXPECT_EQ(got, expected);
    }
    // Offsets are those of the source, doubled quotes included.
    const LexResult r = Tokenize(QStringLiteral("[a]]b] 'c''d'"), true);
    ASSERT_EQ(r.tokens.size(), 3u);
    EXPECT_EQ(std::make_pair(r.tokens[0].start, r.tokens[0].end), std::make_pair(0, 6));
    EXPECT_EQ(std::make_pair(r.tokens[1].start, r.tokens[1].end), std::make_pair(7, 13));
    // Upper-casing as the server does decides what is reserved, beyond ASCII too.
    for (const char* word : {"select", "Where", "SEßION_USER", "ſelect", "ıf"}) EXPECT_TRUE(IsReservedWord(QString::fromUtf8(word))) << word;
    for (const char* word : {"selects", "sysobjects", "dbo"}) EXPECT_FALSE(IsReservedWord(QString::fromUtf8(word))) << word;
}

TEST(Batches, SplitAtGoLinesOnlyOutsideStringsNamesAndComments) {
    struct Case {
        const char* script;
        std::vector<const char*> batches;  // a piece of text each batch holds, in order
    } cases[] = {
        {"select 1\r\nGO\r\nselect 2\n  go  \nselect 3\nGo\n", {"select 1", "select 2", "select 3"}},
        {"select 'x\ngo\ny'\nGO", {"go\ny'"}},
        {"/*\nGO\n*/ select 3\nGO", {"select 3"}},
        {"select 1 GO\nselect 2", {"select 2"}},                      // GO inside a line
        {"select \"a'b\"\nGO\nselect 2", {"a'b", "select 2"}},        // a quote inside a quoted name
        {"select 1 as [x]] /*]\nGO\nselect 2", {"[x]]", "select 2"}},   // ]] and /* inside brackets
        {"select 'it''s'\nGO\nselect 2", {"it''s", "select 2"}},
        {"/* a /* nested */\nGO\n*/ select 1\nGO\nselect 2", {"nested", "select 2"}},
        {"select '--'\nGO\nselect 2", {"'--'", "select 2"}},         // -- inside a string
        {"select 1 -- '\nGO\nselect 2", {"select 1", "select 2"}},     // ' inside a line comment
        {"select 1\nGO -- done\nselect 2\nGO /* done */\nselect 3", {"select 1", "select 2", "select 3"}},
        {"select 1\nGO 2\nselect 2", {"GO 2"}},                       // no repeat count: one batch
        {"select 1\nGOTO x\nselect 2", {"GOTO"}},
    };
    for (const Case& c : cases) {
        auto b = SplitBatches(QString::fromUtf8(c.script));
        ASSERT_EQ(b.size(), c.batches.size()) << c.script;
        for (size_t i = 0; i < b.size(); ++i) EXPECT_TRUE(b[i].contains(QString::fromUtf8(c.batches[i]))) << c.script;
    }
}

TEST(Parser, StatementsSeparatedByJuxtapositionAndSemicolons) {
    ParseResult r = ParseBatch(QStringLiteral("SET NOCOUNT ON select 1; select 2 PRINT 'x' insert t values (1)"), true);
    ASSERT_TRUE(r.ok) << r.error.text.toStdString();
    ASSERT_EQ(r.statements.size(), 5u);
    EXPECT_EQ(r.statements[0]->kind, StmtKind::Set);
    EXPECT_EQ(r.statements[4]->kind, StmtKind::Insert);
}

TEST(Parser, CreateTableColumnForms) {
    ParseResult r = ParseBatch(QStringLiteral(
        "CREATE TABLE \"dbo\".\"Employees\" (\"EmployeeID\" \"int\" IDENTITY (1, 1) NOT FOR REPLICATION NOT NULL ,"
        " \"LastName\" nvarchar (20) COLLATE Latin1_General_CI_AS NOT NULL, g uniqueidentifier ROWGUIDCOL,"
        " au_id id CHECK (au_id like '[0-9]') CONSTRAINT UPKCL_auidind PRIMARY KEY CLUSTERED,"
        " job_id smallint NOT NULL DEFAULT 1 REFERENCES jobs(job_id), discount dec(4,2), total AS a + b,"
        " CONSTRAINT \"FK_E\" FOREIGN KEY (\"ReportsTo\") REFERENCES \"dbo\".\"Employees\" (\"EmployeeID\") ON DELETE CASCADE,"
        " CONSTRAINT CK_x CHECK NOT FOR REPLICATION (a > 0)) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]"), true);
    ASSERT_TRUE(r.ok) << r.error.text.toStdString();
    const Statement& s = *r.statements[0];
    EXPECT_EQ(s.object.owner.toStdString(), "dbo");
    ASSERT_EQ(s.columns.size(), 7u);
    EXPECT_TRUE(s.columns[0].identity);
    EXPECT_TRUE(s.columns[0].identityNotForRepl);
    EXPECT_EQ(s.columns[0].nullable, 0);
    EXPECT_EQ(s.columns[1].type.length, 20);
    EXPECT_EQ(s.columns[1].collation.toStdString(), "Latin1_General_CI_AS");
    EXPECT_TRUE(s.columns[2].rowGuidCol);
    EXPECT_EQ(s.columns[3].constraints.size(), 2u);
    EXPECT_EQ(s.columns[4].constraints.size(), 2u);
    EXPECT_EQ(s.columns[4].constraints[0].exprText.toStdString(), "1");
    EXPECT_EQ(s.columns[5].type.name.toStdString(), "decimal");
    EXPECT_EQ(s.columns[5].type.scale, 2);
    EXPECT_EQ(s.columns[6].computedText.toStdString(), "a + b");
    ASSERT_EQ(s.constraints.size(), 2u);
    EXPECT_TRUE(s.constraints[0].cascadeDelete);
    EXPECT_TRUE(s.constraints[1].notForReplication);
    EXPECT_EQ(s.fileGroup.toStdString(), "PRIMARY");
}

TEST(Parser, CodeObjectsKeepTheirTextToTheEndOfTheBatch) {
    const QString text = QStringLiteral("create procedure \"Sales by Year\" \n\t@Beginning_Date DateTime, @Ending_Date DateTime AS\n"
                                        "SELECT a FROM t WHERE d Between @Beginning_Date And @Ending_Date\n-- trailing comment\n");
    ParseResult r = ParseBatch(text, true);
    ASSERT_TRUE(r.ok) << r.error.text.toStdString();
    EXPECT_EQ(r.statements[0]->text.toStdString(), text.toStdString());
    EXPECT_EQ(r.statements[0]->params.size(), 2u);
    r = ParseBatch(QStringLiteral("CREATE PROCEDURE reptq1 AS select case when grouping(pub_id) = 1 then 'ALL' else pub_id end as pub_id,"
                                  " avg(price) from titles group by pub_id with rollup order by pub_id"), true);
    EXPECT_TRUE(r.ok) << r.error.text.toStdString();
}

// Batches the parser refuses, with the server's number, severity and (when given) text.
TEST(Parser, SyntaxErrorsNameKeywordOrToken) {
    QString deepIf;
    for (int i = 0; i < 5000; ++i) deepIf += QStringLiteral("if 1=1 begin ");
    const struct {
        QString batch;
        int number, severity;  // -1: any error; severity 0: not checked
        const char* text;
    } cases[] = {
        {QStringLiteral("select 1 create view v as select 1 as a"), 111, 0, nullptr},  // CREATE VIEW must start the batch
        {QStringLiteral("select * from where x = 1"), 156, 0, "Incorrect syntax near the keyword 'WHERE'."},
        {QStringLiteral("select 1\nselect (2"), 170, 15, "Line 2: Incorrect syntax near ''."},
        // Deep nesting is an error, not a crash.
        {QStringLiteral("select ") + QString(100000, u'(') + "1" + QString(100000, u')'), 191, 0, nullptr},
        {deepIf, -1, -1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.batch.left(60).toStdString());
        const ParseResult r = ParseBatch(c.batch, true);
        ASSERT_FALSE(r.ok);
        if (c.number < 0) continue;
        EXPECT_EQ(r.error.number, c.number);
        if (c.severity) {
            EXPECT_EQ(r.error.severity, c.severity);
        }
        if (c.text) {
            EXPECT_EQ(r.error.text.toStdString(), c.text);
        }
    }
}

TEST(Parser, ExpressionPrecedence) {
    // Bitwise AND binds tighter than comparison: sysstat & 0xf = 4.
    ExprPtr e = ParseExpression(QStringLiteral("sysstat & 0xf = 4"), true);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, ExprKind::Compare);
    EXPECT_EQ(e->args[0]->kind, ExprKind::Binary);
    e = ParseExpression(QStringLiteral("a = 1 or b = 2 and c = 3"), true);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, ExprKind::Or);
    e = ParseExpression(QStringLiteral("-2147483648"), true);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->value.AsInt(), -2147483648LL);
}

// Object names of one to four parts, empty parts left null; a fifth part is a syntax error.
TEST(Parser, ObjectNameParts) {
    struct Case {
        const char* name;
        const char* server;
        const char* database;
        const char* owner;
        const char* table;
    };
    const Case cases[] = {
        {"t", nullptr, nullptr, nullptr, "t"},
        {"[dbo].[t]", nullptr, nullptr, "dbo", "t"},
        {"db..t", nullptr, "db", nullptr, "t"},
        {"srv.db.o.[t]", "srv", "db", "o", "t"},
        {"srv...t", "srv", nullptr, nullptr, "t"},
    };
    auto same = [](const QString& part, const char* expected) {
        return expected ? part == QLatin1String(expected) : part.isNull();
    };
    for (const Case& c : cases) {
        ParseResult r = ParseBatch(QStringLiteral("DROP TABLE ") + QLatin1String(c.name), true);
        ASSERT_TRUE(r.ok) << c.name;
        const ObjectName& n = r.statements[0]->objects.at(0);
        EXPECT_TRUE(same(n.server, c.server) && same(n.database, c.database) && same(n.owner, c.owner) &&
                    same(n.name, c.table))
            << c.name;
    }
    ParseResult r = ParseBatch(QStringLiteral("DROP TABLE a.b.c.d.e"), true);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.number, 170);
}

// The nodes of a tree come from lists of freed blocks kept per thread. A node kept past its batch
// (as the catalog keeps a computed column's expression) stays intact while later batches reuse the
// blocks freed around it, and nodes may be released on a thread other than the one that made them,
// also after that thread has ended.
TEST(Parser, KeptNodesOutliveTheirBatchAndThread) {
    const QString guard = QStringLiteral(
        "IF NOT EXISTS (SELECT * FROM dbo.sysobjects WHERE id = OBJECT_ID(N'[dbo].[T]')"
        " AND OBJECTPROPERTY(id, N'IsUserTable') = 1) SELECT a, b + 2 FROM t WHERE c IN (1, 2, 3)");
    auto computed = [](const QString& column) {
        ParseResult r = ParseBatch(QStringLiteral("CREATE TABLE t (a int, total AS %1 + 1)").arg(column), true);
        return r.ok ? r.statements[0]->columns[1].computed : ExprPtr();
    };
    auto intact = [](const ExprPtr& e, const char* column) {
        return e && e->kind == ExprKind::Binary && e->name == QLatin1String("+") && e->args.size() == 2 &&
               e->args[0]->parts == QStringList{QLatin1String(column)} && e->args[1]->value.AsInt() == 1;
    };
    ExprPtr kept = computed(QStringLiteral("a"));
    ExprPtr fromWorker;
    ParseResult madeHere = ParseBatch(guard, true);
    std::thread worker([&] {
        fromWorker = computed(QStringLiteral("w"));
        madeHere = ParseResult();  // this thread's tree, released on the worker
        for (int i = 0; i < 50; ++i) EXPECT_TRUE(ParseBatch(guard, true).ok);
    });
    worker.join();
    for (int i = 0; i < 50; ++i) EXPECT_TRUE(ParseBatch(guard, true).ok);
    // Names are strings shared with the thread's table of those made before: a name kept is not
    // changed when its slot takes other names.
    for (int i = 0; i < 3000; ++i) EXPECT_TRUE(computed(QStringLiteral("c%1").arg(i)));
    EXPECT_TRUE(intact(kept, "a"));
    EXPECT_TRUE(intact(fromWorker, "w"));
    fromWorker.reset();  // made and kept by a thread that has ended
    EXPECT_TRUE(intact(computed(QStringLiteral("x")), "x"));
    EXPECT_TRUE(intact(kept, "a"));
    // A one-part name's list is shared with the table too: changing one tree's list leaves the
    // others' and the next parse's as they were.
    ExprPtr changed = computed(QStringLiteral("a"));
    changed->args[0]->parts[0] = QStringLiteral("z");
    EXPECT_TRUE(intact(kept, "a"));
    EXPECT_TRUE(intact(computed(QStringLiteral("a")), "a"));
}

// Integer literals and type lengths of up to 18 digits are read in place; longer ones through
// the general conversion, which the short ones must agree with.
TEST(Parser, IntegerLiteralsShortAndLong) {
    const struct {
        const char* digits;
        const char* value;  // as the literal converts to varchar
        bool isInt;
    } cases[] = {
        {"0", "0", true},
        {"2147483647", "2147483647", true},
        {"2147483648", "2147483648", false},
        {"123456789012345678", "123456789012345678", false},
        {"1234567890123456789", "1234567890123456789", false},
        {"9999999999999999999", "9999999999999999999", false},  // beyond a long long
        {"99999999999999999999", "99999999999999999999", false},
        {"000000000000000000000000007", "7", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.digits);
        const ExprPtr e = ParseExpression(QLatin1String(c.digits), true);
        ASSERT_TRUE(e && e->kind == ExprKind::Literal);
        EXPECT_EQ(e->value.GetKind() == Value::Kind::Int, c.isInt);
        EXPECT_EQ(e->value.AsString().toStdString(), c.value);
    }
    const ParseResult r = ParseBatch(QStringLiteral(
        "CREATE TABLE t (a varchar(000000000000000000050), b varchar(99999999999999999999), c int IDENTITY(-5, 10))"), true);
    ASSERT_TRUE(r.ok);
    const std::vector<ColumnDef>& cols = r.statements[0]->columns;
    EXPECT_EQ(cols[0].type.length, 50);
    EXPECT_EQ(cols[1].type.length, 0);  // out of range: 0, as the general conversion gives it
    EXPECT_EQ(cols[2].seed, -5);
    EXPECT_EQ(cols[2].incr, 10);
}

// The keywords an operand may be are recognised by their upper-case form as QString::toUpper
// gives it, beyond ASCII too (the ASCII test is a shortcut of that).
TEST(Parser, OperandKeywordsAsTheyUpperCase) {
    const struct {
        const char* text;
        ExprKind kind;
        const char* name;
    } cases[] = {
        {"SELECT uSeR", ExprKind::Function, "USER"},
        {"SELECT SESS\u0131ON_USER", ExprKind::Function, "SESSION_USER"},
        {"SELECT \u017Fy\u017Ftem_u\u017Fer", ExprKind::Function, "SYSTEM_USER"},
        {"SELECT current_t\u0131mestamp", ExprKind::Function, "GETDATE"},
        {"SELECT r\u0131ght('ab', 1)", ExprKind::Function, "RIGHT"},
        {"SELECT nuLL", ExprKind::Literal, ""},
        {"SELECT users", ExprKind::Column, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ParseResult r = ParseBatch(QString::fromUtf8(c.text), true);
        ASSERT_TRUE(r.ok) << r.error.text.toStdString();
        const ExprPtr& e = r.statements[0]->select->items[0].expr;
        EXPECT_EQ(e->kind, c.kind);
        EXPECT_EQ(e->name.toStdString(), c.name);
    }
    EXPECT_FALSE(ParseBatch(QString::fromUtf8("SELECT \u017Felect"), true).ok);  // reserved once upper-cased
}
