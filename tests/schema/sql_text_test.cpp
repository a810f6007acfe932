#include "schema/sql_text.h"

#include "platform/tovimar_exception.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages for text.
static void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
static void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (const QString& text : list) PrintTo(text, os), *os << ' ';
    *os << '}';
}

namespace {

const QString S = QString(QChar(2));  // placeholder start
const QString E = QString(QChar(1));  // placeholder end
const QString CrLf = QStringLiteral("\r\n");

QString Ph(int number) { return S + QString::number(number) + E; }

// Runs f and returns the raised TovimarException's three parts, or "" when nothing was raised.
template <typename F>
QString RaisedError(F f) {
    try {
        f();
    } catch (const TovimarException& e) {
        return QStringLiteral("%1|%2|%3").arg(e.Number).arg(e.Source, e.Description);
    }
    return QString();
}

const QString NestingError = QStringLiteral("500|StringLiteralExtract|Nesting Error");

}  // namespace

// ---- Literals --------------------------------------------------------------------------------

TEST(SqlTextLiterals, ValuesOfEveryKind) {
    const QDate day(2003, 1, 31);
    const struct {
        DbValue Value;
        QString Literal;
    } cases[] = {
        {DbValue(), QStringLiteral("NULL")},
        {DbValue::Null(), QStringLiteral("NULL")},
        {DbValue::FromBool(true), QStringLiteral("1")},
        {DbValue::FromBool(false), QStringLiteral("0")},
        {DbValue::FromInt(-42), QStringLiteral("-42")},
        {DbValue::FromDecimal(QStringLiteral("-12.3400")), QStringLiteral("-12.3400")},
        {DbValue::FromCurrency(QStringLiteral("5,25")), QStringLiteral("5.25")},
        {DbValue::FromString(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'")},
        {DbValue::FromString(QStringLiteral("a\tb")), QStringLiteral("'a' + CHAR(9) + 'b'")},
        {DbValue::FromBinary(QByteArray("\x01\xAB", 2)), QStringLiteral("0x01AB")},
        // Dates keep their seconds and milliseconds.
        {DbValue::FromDateTime(QDateTime(day, QTime(13, 45, 0))), QStringLiteral("CONVERT(DATETIME, '2003-01-31 13:45:00',120)")},
        {DbValue::FromDateTime(QDateTime(day, QTime(1, 2, 3, 70))),
         QStringLiteral("CONVERT(DATETIME, '2003-01-31 01:02:03.070',121)")},
        // A lone line feed is encoded, a CR LF pair stays a real line break.
        {DbValue::FromString(QStringLiteral("a\nb\r\nc")), QStringLiteral("'a' + CHAR(10) + 'b\r\nc'")},
        {DbValue::FromString(QString(QChar(0)) + QStringLiteral("x\r")), QStringLiteral("'' + CHAR(0) + 'x' + CHAR(13) + ''")},
        // A GO line inside a string is split off.
        {DbValue::FromString(QStringLiteral("x\r\nGO\r\ny")), QStringLiteral("'x\r\nGO'+'\r\ny'")},
        // Only texts beyond ASCII get the national prefix: a server would convert a plain literal
        // to its code page.
        {DbValue::FromString(QString::fromUtf16(u"Zo\u00eb's")), QString::fromUtf16(u"N'Zo\u00eb''s'")},
        {DbValue::FromString(QString::fromUtf16(u"\u65e5\t\u672c")), QString::fromUtf16(u"N'\u65e5' + CHAR(9) + N'\u672c'")},
        {DbValue::FromString(QString::fromUtf16(u"\u00e9\r\nGO\r\nx")), QString::fromUtf16(u"N'\u00e9\r\nGO'+N'\r\nx'")},
        {DbValue::FromString(QStringLiteral("plain")), QStringLiteral("'plain'")},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSQLValue(c.Value), c.Literal);
}

TEST(SqlTextLiterals, FloatsUseAPointAndReadBackExactly) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(GetSQLValue(DbValue::FromFloat(3.5)), QStringLiteral("3.5"));
    for (const double d : {0.1, 1.0 / 3.0, -2.5e-300, 1e20, 123456789.123456789, 2.0}) {
        const QString text = GetSQLValue(DbValue::FromFloat(d));
        EXPECT_FALSE(text.contains(QLatin1Char(','))) << text.toStdString();
        EXPECT_EQ(text.toDouble(), d) << text.toStdString();
    }
    QLocale::setDefault(saved);
}

TEST(SqlTextLiterals, StringOptionsAndGoLines) {
    // Without line splitting the pair is encoded too; without encoding everything stays.
    EXPECT_EQ(GetSQLString(QStringLiteral("a\r\nb"), true, true, false),
              QStringLiteral("'a' + CHAR(13) + '' + CHAR(10) + 'b'"));
    EXPECT_EQ(GetSQLString(QStringLiteral("it's\tx"), false, false, false), QStringLiteral("it''s\tx"));
    EXPECT_EQ(GetSQLString(QString(), true, true, true), QStringLiteral("''"));
    EXPECT_EQ(GetSQLString(QStringLiteral("x\r\n  go \r\ny"), true, true, true), QStringLiteral("'x\r\n  go '+'\r\ny'"));
    EXPECT_EQ(GetSQLString(QStringLiteral("x\r\nGO 3\r\ny"), true, true, true), QStringLiteral("'x\r\nGO 3'+'\r\ny'"));
    // A tab counts as a blank when the line is tested, but is still encoded in the output.
    EXPECT_EQ(GetSQLString(QStringLiteral("x\r\n\tGo\r\ny"), true, false, true), QStringLiteral("'x\r\n\tGo'+'\r\ny'"));
    EXPECT_EQ(GetSQLString(QStringLiteral("x\r\nGOTO\r\nGO x\r\ny"), true, true, true),
              QStringLiteral("'x\r\nGOTO\r\nGO x\r\ny'"));
    // Without quotes the first and last lines can be GO lines as well.
    EXPECT_EQ(GetSQLString(QStringLiteral("GO\r\nGO"), false, true, true), QStringLiteral("GO'+'\r\nGO'+'"));
}

TEST(SqlTextLiterals, ProcedureArgumentsStayConstants) {
    EXPECT_EQ(ExecProcedureSQL(QStringLiteral("sp_rename"), {QStringLiteral("[dbo].[T's]"), QStringLiteral("N"), QStringLiteral("OBJECT")}),
              QStringLiteral("EXEC sp_rename '[dbo].[T''s]', 'N', 'OBJECT'"));
    // CHAR() or a split literal is no constant: the values go through variables.
    EXPECT_EQ(ExecProcedureSQL(QStringLiteral("sp_addrole"), {QStringLiteral("a\tb")}),
              QStringLiteral("DECLARE @p1 nvarchar(4000)\r\nSELECT @p1 = 'a' + CHAR(9) + 'b'\r\nEXEC sp_addrole @p1"));
    EXPECT_TRUE(ExecProcedureSQL(QStringLiteral("p"), {QStringLiteral("x"), QStringLiteral("a\r\ngo\r\nb")})
                    .startsWith(QStringLiteral("DECLARE @p1 nvarchar(4000), @p2 nvarchar(4000)\r\n")));
}

TEST(SqlTextLiterals, TextInsideCommentsStaysInert) {
    EXPECT_EQ(CommentLineText(QStringLiteral("N\r\nDROP TABLE V --\x0b\u2028x")), QStringLiteral("N  DROP TABLE V --  x"));
    EXPECT_EQ(BlockCommentText(QStringLiteral("x*/ DROP TABLE V /*")), QStringLiteral("x* / DROP TABLE V / *"));
    EXPECT_EQ(BlockCommentText(QStringLiteral("('*/*')")), QStringLiteral("('* / *')"));
    EXPECT_EQ(BlockCommentText(QStringLiteral("a\r\nGO\nb\r go 2\r\n")), QStringLiteral("a\r\n-- GO\nb\r--  go 2\r\n"));
}

TEST(SqlTextLiterals, QuotingNamesAndTypes) {
    EXPECT_EQ(QuoteString(QStringLiteral("a'b''"), true), QStringLiteral("'a''b'''''"));
    EXPECT_EQ(QuoteString(QString(), true), QStringLiteral("''"));
    EXPECT_EQ(QuoteName(QStringLiteral("dbo"), QStringLiteral("a]b")), QStringLiteral("[dbo].[a]]b]"));
    EXPECT_EQ(QuoteName(QStringLiteral("]a]]b]")), QStringLiteral("[]]a]]]]b]]]"));
    EXPECT_EQ(QuoteName(QString()), QStringLiteral("[]"));
    EXPECT_EQ(QuoteName(QString(), QString(), QStringLiteral("c")), QStringLiteral("[].[c]"));
    EXPECT_EQ(QuoteName(QStringLiteral("s"), QStringLiteral("t"), QStringLiteral("c[1]")), QStringLiteral("[s].[t].[c[1]]]"));
    EXPECT_EQ(FormatDataType(false, QStringLiteral("NVARCHAR"), 50, 0), QStringLiteral("NVARCHAR(50)"));
    EXPECT_EQ(FormatDataType(false, QStringLiteral("decimal"), 18, 2), QStringLiteral("decimal(18, 2)"));
    EXPECT_EQ(FormatDataType(true, QStringLiteral("Numeric"), 9, 0), QStringLiteral("[Numeric](9, 0)"));
    EXPECT_EQ(FormatDataType(false, QStringLiteral("int"), 4, 0), QStringLiteral("int"));
    EXPECT_EQ(FormatDataType(true, QStringLiteral("my]type"), 4, 0), QStringLiteral("[my]]type]"));
    EXPECT_EQ(FormatDataType(false, QStringLiteral("varchar2"), 4, 0), QStringLiteral("varchar2"));
}

TEST(SqlTextLiterals, NullDefault) {
    EXPECT_EQ(NullDefault(DbValue::Null(), DbValue::FromInt(0)), DbValue::FromInt(0));
    EXPECT_EQ(NullDefault(DbValue(), DbValue::FromInt(0)), DbValue::FromInt(0));
    EXPECT_EQ(NullDefault(DbValue::FromString(QString()), DbValue::FromInt(0)), DbValue::FromString(QString()));
}

// ---- Masking ---------------------------------------------------------------------------------

TEST(SqlTextMasking, CommentsAreMaskedStringsStay) {
    QStringList literals;
    const QString text = QStringLiteral("SELECT '--x', '/*' -- real\r\nFROM t /* it's */ WHERE a = 'b''c'");
    const QString masked = MaskComments(text, literals);
    EXPECT_EQ(masked, QStringLiteral("SELECT '--x', '/*' ") + Ph(3) + QStringLiteral("FROM t ") + Ph(4) +
                          QStringLiteral(" WHERE a = 'b''c'"));
    // The strings were collected too (their numbers are used up) but put back.
    EXPECT_EQ(literals, (QStringList{QStringLiteral("'--x'"), QStringLiteral("'/*'"), QStringLiteral("-- real\r\n"),
                                     QStringLiteral("/* it's */"), QStringLiteral("'b''c'")}));
    EXPECT_EQ(RestoreMasked(masked, literals), text);
}

TEST(SqlTextMasking, QuotedNamesAndNestedComments) {
    const struct {
        const char* text;
        const char* masked;  // ~n~ stands for placeholder n
    } cases[] = {
        // ' -- /* inside [..] or ".." start nothing; ]] and "" do not end the name.
        {"CREATE VIEW [V'q] AS SELECT 1 AS [Owner's Id] -- c\r\n", "CREATE VIEW [V'q] AS SELECT 1 AS [Owner's Id] ~3~"},
        {"CREATE PROC [P--x]]/*] AS SELECT \"a\"\"--\" /* c */", "CREATE PROC [P--x]]/*] AS SELECT \"a\"\"--\" ~3~"},
        // Block comments nest; -- and ' inside them count for nothing.
        {"a /* x /* y */ -- ' z */ b /**/", "a ~1~ b ~2~"},
    };
    for (const auto& c : cases) {
        QStringList literals;
        QString expected = QString::fromUtf8(c.masked);
        for (int i = 1; i <= 3; ++i) expected.replace(QStringLiteral("~%1~").arg(i), Ph(i));
        EXPECT_EQ(MaskComments(QString::fromUtf8(c.text), literals), expected) << c.text;
        EXPECT_EQ(RestoreMasked(MaskComments(QString::fromUtf8(c.text), literals), literals), QString::fromUtf8(c.text));
    }
    QStringList literals;
    EXPECT_EQ(RaisedError([&] { MaskComments(QStringLiteral("/* a /* b */"), literals); }), NestingError);
    EXPECT_EQ(RaisedError([&] { MaskComments(QStringLiteral("SELECT [a"), literals); }), NestingError);
    // A procedure named [P--x] keeps its body, so that a change of the body is seen.
    EXPECT_EQ(ReplaceObjectName(QStringLiteral("CREATE PROCEDURE [P--x] AS\r\nSELECT 1"), QStringLiteral("CREATE"),
                                QStringLiteral("ALTER"), QStringLiteral("PROC"), QStringLiteral("[dbo].[P--x]"), QString(), 1),
              QStringLiteral("\r\nALTER PROCEDURE [dbo].[P--x] AS\r\nSELECT 1"));
}

TEST(SqlTextMasking, LineCommentAtTheVeryEnd) {
    QStringList literals;
    EXPECT_EQ(MaskComments(QStringLiteral("SELECT 1 -- done"), literals), QStringLiteral("SELECT 1 ") + Ph(1));
    // The comment took the terminator with it.
    EXPECT_EQ(literals, QStringList{QStringLiteral("-- done") + QChar(0)});

    literals.clear();
    EXPECT_EQ(MaskComments(QStringLiteral("a /**/"), literals), QStringLiteral("a ") + Ph(1));
    literals.clear();
    EXPECT_EQ(MaskComments(QString(), literals), QString());
    EXPECT_TRUE(literals.isEmpty());
}

TEST(SqlTextMasking, UnterminatedStretchesRaiseNestingError) {
    QStringList literals;
    EXPECT_EQ(RaisedError([&] { MaskComments(QStringLiteral("SELECT 'abc"), literals); }), NestingError);
    EXPECT_EQ(RaisedError([&] { MaskComments(QStringLiteral("SELECT 'it''"), literals); }), NestingError);
    EXPECT_EQ(RaisedError([&] { MaskComments(QStringLiteral("a /* b * /"), literals); }), NestingError);
    EXPECT_EQ(RaisedError([&] { MaskBracketedNames(QStringLiteral("[a]]"), literals); }), NestingError);
    EXPECT_EQ(RaisedError([&] { StringLiteralExtract(QStringLiteral("x '"), literals); }), NestingError);
    // "'" inside a comment and "*/" inside a string do not count.
    EXPECT_EQ(RaisedError([&] { MaskComments(QStringLiteral("/* don't */ '*/'"), literals); }), QString());
}

TEST(SqlTextMasking, BracketedNamesAndNumberingAcrossCalls) {
    QStringList literals;
    const QString first = MaskBracketedNames(QStringLiteral("[a,b]]c], d"), literals);
    EXPECT_EQ(first, Ph(1) + QStringLiteral(", d"));
    EXPECT_EQ(first.split(QLatin1Char(',')).size(), 2);
    EXPECT_EQ(literals, QStringList{QStringLiteral("[a,b]]c]")});

    const QString second = MaskBracketedNames(QStringLiteral("[x].[y]"), literals);
    EXPECT_EQ(second, Ph(2) + QStringLiteral(".") + Ph(3));
    EXPECT_EQ(RestoreMasked(second, literals), QStringLiteral("[x].[y]"));
    EXPECT_EQ(RestoreMasked(first, literals), QStringLiteral("[a,b]]c], d"));

    // The default table knows no escapes: '' is two literals.
    QStringList plain;
    EXPECT_EQ(StringLiteralExtract(QStringLiteral("'a''b'"), plain), Ph(1) + Ph(2));
}

TEST(SqlTextMasking, CustomTablesMarkersAndTerminator) {
    // Openers and closers are found case-insensitively; the earlier entry wins a tie; at one
    // position a later element beats an earlier one; the closer is kept as found.
    const DelimiterTable table = {{QStringLiteral("BEGIN"), QStringLiteral("END")},
                                  {QStringLiteral("beg"), QStringLiteral("x")},
                                  {QStringLiteral("<"), QStringLiteral(">"), QStringLiteral(">>")}};
    QStringList literals;
    EXPECT_EQ(StringLiteralExtract(QStringLiteral("a begin b eNd c <d>> e"), literals, &table, QStringLiteral("{"),
                                   QStringLiteral("}"), QStringLiteral("#")),
              QStringLiteral("a {1} c {2} e"));
    EXPECT_EQ(literals, (QStringList{QStringLiteral("begin b eNd"), QStringLiteral("<d>>")}));
    EXPECT_EQ(StringLiteralRestore(QStringLiteral("a {1} c {2} e"), literals, nullptr, QStringLiteral("{"),
                                   QStringLiteral("}")),
              QStringLiteral("a begin b eNd c <d>> e"));

    // Only the last terminator is removed.
    literals.clear();
    EXPECT_EQ(StringLiteralExtract(QStringLiteral("ab") + QChar(0), literals), QStringLiteral("ab") + QChar(0));
}

TEST(SqlTextMasking, RestoreFollowsListOrderAndFirstOccurrence) {
    const QStringList literals = {QStringLiteral("'one'"), QStringLiteral("/*two*/"), QString()};
    // Only the first occurrence of a placeholder is replaced; empty entries and unknown numbers
    // stay; a leading zero is not the same number.
    EXPECT_EQ(RestoreMasked(Ph(1) + Ph(1) + Ph(3) + Ph(9) + S + QStringLiteral("01") + E, literals),
              QStringLiteral("'one'") + Ph(1) + Ph(3) + Ph(9) + S + QStringLiteral("01") + E);
    const QStringList prefixes = {QStringLiteral("/*")};
    EXPECT_EQ(StringLiteralRestore(Ph(1) + Ph(2), literals, &prefixes), Ph(1) + QStringLiteral("/*two*/"));
    const QStringList none;
    EXPECT_EQ(StringLiteralRestore(Ph(1), literals, &none), Ph(1));

    // Entries are put back from the last to the first, so an entry may bring back an earlier
    // placeholder, which is then replaced in turn; a stray marker is left alone.
    const QStringList nested = {QStringLiteral("inner"), QStringLiteral("(") + Ph(1) + QStringLiteral(")")};
    EXPECT_EQ(RestoreMasked(S + QStringLiteral("x ") + Ph(2), nested), S + QStringLiteral("x (inner)"));
    EXPECT_EQ(RestoreMasked(Ph(1) + QStringLiteral(" ") + Ph(2), nested), QStringLiteral("inner (") + Ph(1) + ")");
}

TEST(SqlTextMasking, LargeTextRoundTrip) {
    QString text;
    for (int i = 0; i < 2000; ++i)
        text += QStringLiteral("SET @v%1 = 'it''s %1' -- c%1\r\n/* b%1 */ [n%1]]]\r\n").arg(i);
    QStringList literals;
    const QString masked = MaskComments(text, literals);
    EXPECT_EQ(literals.size(), 8000);  // strings and names are collected too, and put back
    EXPECT_FALSE(masked.contains(QLatin1String("--")));
    EXPECT_EQ(RestoreMasked(masked, literals), text);
    // A second pass into the same list numbers on, so one restore puts everything back.
    const QString maskedNames = MaskBracketedNames(masked, literals);
    EXPECT_EQ(literals.size(), 10000);
    EXPECT_EQ(literals.last(), QStringLiteral("[n1999]]]"));
    EXPECT_EQ(RestoreMasked(maskedNames, literals), text);
}

// ---- Object names ----------------------------------------------------------------------------

TEST(SqlTextNames, GetObjectNameAt) {
    struct Case {
        QString text;
        int from;
        QString name;
        int at;
    };
    const Case cases[] = {
        {QStringLiteral("[dbo].[my proc] AS"), 1, QStringLiteral("[dbo].[my proc]"), 1},
        {QStringLiteral("  dbo.Orders(a int)"), 1, QStringLiteral("dbo.Orders"), 3},
        {QStringLiteral("[dbo].[p];2 AS"), 1, QStringLiteral("[dbo].[p];2"), 1},
        {QStringLiteral("p ; 12\r\nAS"), 1, QStringLiteral("p ; 12"), 1},
        {QStringLiteral("p;0 AS"), 1, QStringLiteral("p"), 1},
        {QStringLiteral("\"my view\".\"x y\" AS"), 1, QStringLiteral("\"my view\".\"x y\""), 1},
        {QStringLiteral("[a]b c"), 1, QStringLiteral("[a]"), 1},
        {QStringLiteral("[a]]b].[c\"\"d] x"), 1, QStringLiteral("[a]]b].[c\"\"d]"), 1},
        {QStringLiteral("\"a\"\"b\"(x)"), 1, QStringLiteral("\"a\"\"b\""), 1},
        {QStringLiteral("PROC\tdbo.p"), 5, QStringLiteral("dbo.p"), 6},
        {QStringLiteral("[open name"), 1, QStringLiteral("[open name"), 1},
        {QStringLiteral("x   \r\n"), 2, QString(), 2},
        {QStringLiteral("x"), 9, QString(), 9},
    };
    for (const Case& c : cases) {
        int position = c.from;
        EXPECT_EQ(GetObjectNameAt(c.text, position), c.name) << c.text.toStdString();
        EXPECT_EQ(position, c.at) << c.text.toStdString();
    }
}

TEST(SqlTextNames, ReplaceObjectNameInProcedures) {
    const QString body = QStringLiteral(" AS\r\nSELECT 'CREATE PROCEDURE x' -- PROCEDURE y\r\n");
    EXPECT_EQ(ReplaceObjectName(QStringLiteral("CREATE PROCEDURE dbo.p1") + body, QStringLiteral("CREATE"),
                                QStringLiteral("ALTER"), QStringLiteral("PROC"), QStringLiteral("[dbo].[p1]"), QString(), 1),
              CrLf + QStringLiteral("ALTER PROCEDURE [dbo].[p1] AS\r\nSELECT 'CREATE PROCEDURE x' -- PROCEDURE y"));

    // A comment before the statement that mentions CREATE PROCEDURE is left alone.
    const QString commented = QStringLiteral("/* CREATE PROCEDURE old */\r\n-- CREATE PROC older\r\ncreate proc [old name];1\r\nAS SELECT 1");
    EXPECT_EQ(ReplaceObjectName(commented, QStringLiteral("CREATE"), QStringLiteral("ALTER"), QStringLiteral("PROC"),
                                QStringLiteral("[dbo].[new name]"), QString(), 2),
              CrLf + QStringLiteral("/* CREATE PROCEDURE old */\r\n-- CREATE PROC older\r\nALTER proc [dbo].[new name];2\r\nAS SELECT 1"));

    // Comparison form: no word replaced, the name written in its quoted form.
    EXPECT_EQ(ReplaceObjectName(QStringLiteral("\r\n\r\nCREATE PROC [dbo].[a]]b]\tAS\rRETURN\n"), QString(), QString(),
                                QStringLiteral("PROC"), QStringLiteral("[dbo].[a]]b]"), QString(), 0),
              CrLf + QStringLiteral("CREATE PROC [dbo].[a]]b]\tAS\r\nRETURN"));

    // A comment between the keyword and the name, or right after the name, stays in place.
    EXPECT_EQ(ReplaceObjectName(QStringLiteral("CREATE PROCEDURE /* c */ p--x\r\nAS SELECT 1"), QStringLiteral("CREATE"),
                                QStringLiteral("ALTER"), QStringLiteral("PROC"), QStringLiteral("[dbo].[p]"), QString(), 1),
              CrLf + QStringLiteral("ALTER PROCEDURE /* c */ [dbo].[p]--x\r\nAS SELECT 1"));
}

TEST(SqlTextNames, ReplaceObjectNameInTriggersViewsAndFunctions) {
    EXPECT_EQ(ReplaceObjectName(QStringLiteral("CREATE TRIGGER trOrders ON Orders\r\nFOR INSERT AS\r\nSELECT 1"),
                                QStringLiteral("CREATE"), QStringLiteral("ALTER"), QStringLiteral("TRIGGER"),
                                QStringLiteral("[dbo].[trOrders]"), QStringLiteral("[dbo].[Orders]"), 0),
              CrLf + QStringLiteral("ALTER TRIGGER [dbo].[trOrders] ON [dbo].[Orders]\r\nFOR INSERT AS\r\nSELECT 1"));
    EXPECT_EQ(ReplaceObjectName(QStringLiteral("create trigger \"tr x\"\r\non [dbo].[Order Details] for update as return"),
                                QString(), QString(), QStringLiteral("TRIGGER"), QStringLiteral("[dbo].[tr x]"),
                                QStringLiteral("[dbo].[Order Details]"), 0),
              CrLf + QStringLiteral("create trigger [dbo].[tr x]\r\non [dbo].[Order Details] for update as return"));
    EXPECT_EQ(ReplaceObjectName(QStringLiteral("CREATE VIEW v(a, b) AS SELECT 1, 2"), QStringLiteral("CREATE"),
                                QStringLiteral("ALTER"), QStringLiteral("VIEW"), QStringLiteral("[dbo].[v]"), QString(), 0),
              CrLf + QStringLiteral("ALTER VIEW [dbo].[v](a, b) AS SELECT 1, 2"));
    EXPECT_EQ(ReplaceObjectName(QStringLiteral("CREATE FUNCTION dbo.f (@a int) RETURNS int AS BEGIN RETURN @a END"),
                                QStringLiteral("CREATE"), QStringLiteral("CREATE"), QStringLiteral("FUNC"),
                                QStringLiteral("[dbo].[f]"), QString(), 0),
              CrLf + QStringLiteral("CREATE FUNCTION [dbo].[f] (@a int) RETURNS int AS BEGIN RETURN @a END"));
    // A line comment before CREATE in a text with line feeds only (as scripts written on Linux
    // are stored) ends at its line: the CREATE after it is still found.
    EXPECT_EQ(ReplaceObjectName(QStringLiteral("-- the list\nCREATE VIEW dbo.v AS\nSELECT 1 -- one\nFROM t"),
                                QStringLiteral("CREATE"), QStringLiteral("ALTER"), QStringLiteral("VIEW"),
                                QStringLiteral("[dbo].[v]"), QString(), 0),
              CrLf + QStringLiteral("-- the list\r\nALTER VIEW [dbo].[v] AS\r\nSELECT 1 -- one\r\nFROM t"));
    // Without the keyword, or without a new name, only the line breaks change.
    EXPECT_EQ(ReplaceObjectName(QStringLiteral("SELECT 1\n"), QStringLiteral("CREATE"), QStringLiteral("ALTER"),
                                QStringLiteral("VIEW"), QStringLiteral("[v]"), QString(), 0),
              CrLf + QStringLiteral("SELECT 1"));
    EXPECT_EQ(RaisedError([] {
                  ReplaceObjectName(QStringLiteral("CREATE VIEW v AS SELECT 'x"), QString(), QString(),
                                    QStringLiteral("VIEW"), QStringLiteral("[dbo].[v]"), QString(), 0);
              }),
              NestingError);
}

// ---- Line breaks and sorting -----------------------------------------------------------------

TEST(SqlTextLines, NormalizeLineBreaks) {
    EXPECT_EQ(NormalizeLineBreaks(QStringLiteral("\na\rb\r\n\r\n")), QStringLiteral("\r\na\r\nb"));
    EXPECT_EQ(NormalizeLineBreaks(QString()), CrLf);
    EXPECT_EQ(NormalizeLineBreaks(QStringLiteral("\r\n\n\r")), CrLf);
    EXPECT_EQ(NormalizeLineBreaks(QStringLiteral("a\r\r\nb\n\rc") + QChar(0) + QStringLiteral("d ")),
              QStringLiteral("\r\na\r\n\r\nb\r\n\r\nc\r\nd "));
}

TEST(SqlTextLists, SortIsStableAndIgnoresCase) {
    const QList<QStringList> rows = {
        {QStringLiteral("1"), QString(), QStringLiteral("b")},  {QStringLiteral("2"), QString(), QStringLiteral("A")},
        {QStringLiteral("3"), QString(), QStringLiteral("B")},  {QStringLiteral("4"), QString(), QStringLiteral("a")},
        {QStringLiteral("5")},                                  {QStringLiteral("6"), QString(), QStringLiteral("b")},
    };
    QStringList order;
    for (const QStringList& row : GetSortedCollection(rows, 2)) order << row[0];
    EXPECT_EQ(order, (QStringList{QStringLiteral("5"), QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("1"),
                                  QStringLiteral("3"), QStringLiteral("6")}));

    struct Entry {
        QString key;
        int id;
    };
    QList<Entry> entries;
    for (int i = 0; i < 1000; ++i) entries.append({i % 2 ? QStringLiteral("K%1").arg(i % 7) : QStringLiteral("k%1").arg(i % 7), i});
    const QList<Entry> sorted = GetSortedCollection(entries, [](const Entry& e) { return e.key; });
    ASSERT_EQ(sorted.size(), entries.size());
    for (qsizetype i = 1; i < sorted.size(); ++i) {
        const int cmp = QString::compare(sorted[i - 1].key, sorted[i].key, Qt::CaseInsensitive);
        EXPECT_TRUE(cmp < 0 || (cmp == 0 && sorted[i - 1].id < sorted[i].id)) << i;
    }
}
