#include "schema/sql_text.h"

#include "platform/tovimar_exception.h"
#include "support/qt_print.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }

const QString S = QString(QChar(2));  // placeholder start
const QString E = QString(QChar(1));  // placeholder end
const QString CrLf = Q("\r\n");

QString Ph(int number) { return S + QString::number(number) + E; }

// Runs f and returns the raised TovimarException's three parts, or "" when nothing was raised.
template <typename F>
QString RaisedError(F f) {
    try {
        f();
    } catch (const TovimarException& e) {
        return Q("%1|%2|%3").arg(e.Number).arg(e.Source, e.Description);
    }
    return QString();
}

const QString NestingError = Q("500|StringLiteralExtract|Nesting Error");

}  // namespace

// ---- Literals --------------------------------------------------------------------------------

TEST(SqlTextLiterals, ValuesOfEveryKind) {
    const QDate day(2003, 1, 31);
    const struct {
        DbValue Value;
        QString Literal;
    } cases[] = {
        {DbValue(), Q("NULL")},
        {DbValue::Null(), Q("NULL")},
        {DbValue::FromBool(true), Q("1")},
        {DbValue::FromBool(false), Q("0")},
        {DbValue::FromInt(-42), Q("-42")},
        {DbValue::FromDecimal(Q("-12.3400")), Q("-12.3400")},
        {DbValue::FromCurrency(Q("5,25")), Q("5.25")},
        {DbValue::FromString(Q("O'Brien")), Q("'O''Brien'")},
        {DbValue::FromString(Q("a\tb")), Q("'a' + CHAR(9) + 'b'")},
        {DbValue::FromBinary(QByteArray("\x01\xAB", 2)), Q("0x01AB")},
        // Dates keep their seconds and milliseconds.
        {DbValue::FromDateTime(QDateTime(day, QTime(13, 45, 0))), Q("CONVERT(DATETIME, '2003-01-31 13:45:00',120)")},
        {DbValue::FromDateTime(QDateTime(day, QTime(1, 2, 3, 70))),
         Q("CONVERT(DATETIME, '2003-01-31 01:02:03.070',121)")},
        // A lone line feed is encoded, a CR LF pair stays a real line break.
        {DbValue::FromString(Q("a\nb\r\nc")), Q("'a' + CHAR(10) + 'b\r\nc'")},
        {DbValue::FromString(QString(QChar(0)) + Q("x\r")), Q("'' + CHAR(0) + 'x' + CHAR(13) + ''")},
        // A GO line inside a string is split off.
        {DbValue::FromString(Q("x\r\nGO\r\ny")), Q("'x\r\nGO'+'\r\ny'")},
        // Only texts beyond ASCII get the national prefix: a server would convert a plain literal
        // to its code page.
        {DbValue::FromString(QString::fromUtf16(u"Zo\u00eb's")), QString::fromUtf16(u"N'Zo\u00eb''s'")},
        {DbValue::FromString(QString::fromUtf16(u"\u65e5\t\u672c")),
         QString::fromUtf16(u"N'\u65e5' + CHAR(9) + N'\u672c'")},
        {DbValue::FromString(QString::fromUtf16(u"\u00e9\r\nGO\r\nx")),
         QString::fromUtf16(u"N'\u00e9\r\nGO'+N'\r\nx'")},
        {DbValue::FromString(Q("plain")), Q("'plain'")},
    };
    for (const auto& c : cases) EXPECT_EQ(GetSQLValue(c.Value), c.Literal);
}

TEST(SqlTextLiterals, FloatsUseAPointAndReadBackExactly) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(GetSQLValue(DbValue::FromFloat(3.5)), Q("3.5"));
    for (const double d : {0.1, 1.0 / 3.0, -2.5e-300, 1e20, 123456789.123456789, 2.0}) {
        const QString text = GetSQLValue(DbValue::FromFloat(d));
        EXPECT_FALSE(text.contains(QLatin1Char(','))) << text.toStdString();
        EXPECT_EQ(text.toDouble(), d) << text.toStdString();
    }
    QLocale::setDefault(saved);
}

TEST(SqlTextLiterals, StringOptionsAndGoLines) {
    // Without line splitting the pair is encoded too; without encoding everything stays.
    EXPECT_EQ(GetSQLString(Q("a\r\nb"), true, true, false), Q("'a' + CHAR(13) + '' + CHAR(10) + 'b'"));
    EXPECT_EQ(GetSQLString(Q("it's\tx"), false, false, false), Q("it''s\tx"));
    EXPECT_EQ(GetSQLString(QString(), true, true, true), Q("''"));
    EXPECT_EQ(GetSQLString(Q("x\r\n  go \r\ny"), true, true, true), Q("'x\r\n  go '+'\r\ny'"));
    EXPECT_EQ(GetSQLString(Q("x\r\nGO 3\r\ny"), true, true, true), Q("'x\r\nGO 3'+'\r\ny'"));
    // A tab counts as a blank when the line is tested, but is still encoded in the output.
    EXPECT_EQ(GetSQLString(Q("x\r\n\tGo\r\ny"), true, false, true), Q("'x\r\n\tGo'+'\r\ny'"));
    EXPECT_EQ(GetSQLString(Q("x\r\nGOTO\r\nGO x\r\ny"), true, true, true), Q("'x\r\nGOTO\r\nGO x\r\ny'"));
    // Without quotes the first and last lines can be GO lines as well; a quoted single line never is.
    EXPECT_EQ(GetSQLString(Q("GO\r\nGO"), false, true, true), Q("GO'+'\r\nGO'+'"));
    EXPECT_EQ(GetSQLString(Q("GO"), false, true, true), Q("GO'+'"));
    EXPECT_EQ(GetSQLString(Q(" go's"), true, true, true), Q("' go''s'"));
}

TEST(SqlTextLiterals, ProcedureArgumentsStayConstants) {
    EXPECT_EQ(ExecProcedureSQL(Q("sp_rename"), {Q("[dbo].[T's]"), Q("N"), Q("OBJECT")}),
              Q("EXEC sp_rename '[dbo].[T''s]', 'N', 'OBJECT'"));
    // CHAR() or a split literal is no constant: the values go through variables.
    EXPECT_EQ(ExecProcedureSQL(Q("sp_addrole"), {Q("a\tb")}),
              Q("DECLARE @p1 nvarchar(4000)\r\nSELECT @p1 = 'a' + CHAR(9) + 'b'\r\nEXEC sp_addrole @p1"));
    EXPECT_TRUE(ExecProcedureSQL(Q("p"), {Q("x"), Q("a\r\ngo\r\nb")})
                    .startsWith(Q("DECLARE @p1 nvarchar(4000), @p2 nvarchar(4000)\r\n")));
}

TEST(SqlTextLiterals, TextInsideCommentsStaysInert) {
    EXPECT_EQ(CommentLineText(Q("N\r\nDROP TABLE V --\x0b\u2028x")), Q("N  DROP TABLE V --  x"));
    EXPECT_EQ(BlockCommentText(Q("x*/ DROP TABLE V /*")), Q("x* / DROP TABLE V / *"));
    EXPECT_EQ(BlockCommentText(Q("('*/*')")), Q("('* / *')"));
    EXPECT_EQ(BlockCommentText(Q("a\r\nGO\nb\r go 2\r\n")), Q("a\r\n-- GO\nb\r--  go 2\r\n"));
}

TEST(SqlTextLiterals, QuotingNamesAndTypes) {
    EXPECT_EQ(QuoteString(Q("a'b''"), true), Q("'a''b'''''"));
    EXPECT_EQ(QuoteString(QString(), true), Q("''"));
    EXPECT_EQ(QuoteName(Q("dbo"), Q("a]b")), Q("[dbo].[a]]b]"));
    EXPECT_EQ(QuoteName(Q("]a]]b]")), Q("[]]a]]]]b]]]"));
    EXPECT_EQ(QuoteName(QString()), Q("[]"));
    EXPECT_EQ(QuoteName(QString(), QString(), Q("c")), Q("[].[c]"));
    EXPECT_EQ(QuoteName(Q("s"), Q("t"), Q("c[1]")), Q("[s].[t].[c[1]]]"));
    EXPECT_EQ(QuoteNameAfter(Q("[dbo].[T]"), Q("]a]]b]")), Q("[dbo].[T].") + QuoteName(Q("]a]]b]")));
    EXPECT_EQ(QuoteNameAfter(QString(), QString()), Q(".[]"));
    EXPECT_EQ(FormatDataType(false, Q("NVARCHAR"), 50, 0), Q("NVARCHAR(50)"));
    EXPECT_EQ(FormatDataType(false, Q("decimal"), 18, 2), Q("decimal(18, 2)"));
    EXPECT_EQ(FormatDataType(true, Q("Numeric"), 9, 0), Q("[Numeric](9, 0)"));
    EXPECT_EQ(FormatDataType(false, Q("int"), 4, 0), Q("int"));
    EXPECT_EQ(FormatDataType(true, Q("my]type"), 4, 0), Q("[my]]type]"));
    EXPECT_EQ(FormatDataType(false, Q("varchar2"), 4, 0), Q("varchar2"));
}

// ---- Masking ---------------------------------------------------------------------------------

TEST(SqlTextMasking, CommentsAreMaskedStringsStay) {
    QStringList literals;
    const QString text = Q("SELECT '--x', '/*' -- real\r\nFROM t /* it's */ WHERE a = 'b''c'");
    const QString masked = MaskComments(text, literals);
    EXPECT_EQ(masked, Q("SELECT '--x', '/*' ") + Ph(3) + Q("FROM t ") + Ph(4) + Q(" WHERE a = 'b''c'"));
    // The strings were collected too (their numbers are used up) but put back.
    EXPECT_EQ(literals, (QStringList{Q("'--x'"), Q("'/*'"), Q("-- real\r\n"), Q("/* it's */"), Q("'b''c'")}));
    EXPECT_EQ(RestoreMasked(masked, literals), text);

    // A line comment at the very end takes the terminator with it.
    literals.clear();
    EXPECT_EQ(MaskComments(Q("SELECT 1 -- done"), literals), Q("SELECT 1 ") + Ph(1));
    EXPECT_EQ(literals, QStringList{Q("-- done") + QChar(0)});
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
        {"", ""},
    };
    for (const auto& c : cases) {
        QStringList literals;
        QString expected = QString::fromUtf8(c.masked);
        for (int i = 1; i <= 3; ++i) expected.replace(Q("~%1~").arg(i), Ph(i));
        EXPECT_EQ(MaskComments(QString::fromUtf8(c.text), literals), expected) << c.text;
        EXPECT_EQ(RestoreMasked(MaskComments(QString::fromUtf8(c.text), literals), literals),
                  QString::fromUtf8(c.text));
    }
}

TEST(SqlTextMasking, UnterminatedStretchesRaiseNestingError) {
    QStringList literals;
    for (const char* text : {"SELECT 'abc", "SELECT 'it''", "a /* b * /", "/* a /* b */", "SELECT [a"})
        EXPECT_EQ(RaisedError([&] { MaskComments(Q(text), literals); }), NestingError) << text;
    EXPECT_EQ(RaisedError([&] { MaskBracketedNames(Q("[a]]"), literals); }), NestingError);
    EXPECT_EQ(RaisedError([&] { StringLiteralExtract(Q("x '"), literals); }), NestingError);
    // "'" inside a comment and "*/" inside a string do not count.
    EXPECT_EQ(RaisedError([&] { MaskComments(Q("/* don't */ '*/'"), literals); }), QString());
}

TEST(SqlTextMasking, BracketedNamesAndNumberingAcrossCalls) {
    QStringList literals;
    const QString first = MaskBracketedNames(Q("[a,b]]c], d"), literals);
    EXPECT_EQ(first, Ph(1) + Q(", d"));
    EXPECT_EQ(first.split(QLatin1Char(',')).size(), 2);
    EXPECT_EQ(literals, QStringList{Q("[a,b]]c]")});

    const QString second = MaskBracketedNames(Q("[x].[y]"), literals);
    EXPECT_EQ(second, Ph(2) + Q(".") + Ph(3));
    EXPECT_EQ(RestoreMasked(second, literals), Q("[x].[y]"));
    EXPECT_EQ(RestoreMasked(first, literals), Q("[a,b]]c], d"));

    // The default table knows no escapes: '' is two literals.
    QStringList plain;
    EXPECT_EQ(StringLiteralExtract(Q("'a''b'"), plain), Ph(1) + Ph(2));
}

TEST(SqlTextMasking, CustomTablesMarkersAndTerminator) {
    // Openers and closers are found case-insensitively; the earlier entry wins a tie; at one
    // position a later element beats an earlier one; the closer is kept as found.
    const DelimiterTable table = {{Q("BEGIN"), Q("END")}, {Q("beg"), Q("x")}, {Q("<"), Q(">"), Q(">>")}};
    QStringList literals;
    EXPECT_EQ(StringLiteralExtract(Q("a begin b eNd c <d>> e"), literals, &table, Q("{"), Q("}"), Q("#")),
              Q("a {1} c {2} e"));
    EXPECT_EQ(literals, (QStringList{Q("begin b eNd"), Q("<d>>")}));
    EXPECT_EQ(StringLiteralRestore(Q("a {1} c {2} e"), literals, nullptr, Q("{"), Q("}")), Q("a begin b eNd c <d>> e"));

    // Only the last terminator is removed.
    literals.clear();
    EXPECT_EQ(StringLiteralExtract(Q("ab") + QChar(0), literals), Q("ab") + QChar(0));
}

TEST(SqlTextMasking, RestoreFollowsListOrderAndFirstOccurrence) {
    const QStringList literals = {Q("'one'"), Q("/*two*/"), QString()};
    // Only the first occurrence of a placeholder is replaced; empty entries and unknown numbers
    // stay; a leading zero is not the same number.
    EXPECT_EQ(RestoreMasked(Ph(1) + Ph(1) + Ph(3) + Ph(9) + S + Q("01") + E, literals),
              Q("'one'") + Ph(1) + Ph(3) + Ph(9) + S + Q("01") + E);
    const QStringList prefixes = {Q("/*")};
    EXPECT_EQ(StringLiteralRestore(Ph(1) + Ph(2), literals, &prefixes), Ph(1) + Q("/*two*/"));
    const QStringList none;
    EXPECT_EQ(StringLiteralRestore(Ph(1), literals, &none), Ph(1));

    // Entries are put back from the last to the first, so an entry may bring back an earlier
    // placeholder, which is then replaced in turn; a stray marker is left alone.
    const QStringList nested = {Q("inner"), Q("(") + Ph(1) + Q(")")};
    EXPECT_EQ(RestoreMasked(S + Q("x ") + Ph(2), nested), S + Q("x (inner)"));
    EXPECT_EQ(RestoreMasked(Ph(1) + Q(" ") + Ph(2), nested), Q("inner (") + Ph(1) + ")");
}

TEST(SqlTextMasking, LargeTextRoundTrip) {
    QString text;
    for (int i = 0; i < 2000; ++i) text += Q("SET @v%1 = 'it''s %1' -- c%1\r\n/* b%1 */ [n%1]]]\r\n").arg(i);
    QStringList literals;
    const QString masked = MaskComments(text, literals);
    EXPECT_EQ(literals.size(), 8000);  // strings and names are collected too, and put back
    EXPECT_FALSE(masked.contains(QLatin1String("--")));
    EXPECT_EQ(RestoreMasked(masked, literals), text);
    // A second pass into the same list numbers on, so one restore puts everything back.
    const QString maskedNames = MaskBracketedNames(masked, literals);
    EXPECT_EQ(literals.size(), 10000);
    EXPECT_EQ(literals.last(), Q("[n1999]]]"));
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
        {Q("[dbo].[my proc] AS"), 1, Q("[dbo].[my proc]"), 1},
        {Q("  dbo.Orders(a int)"), 1, Q("dbo.Orders"), 3},
        {Q("[dbo].[p];2 AS"), 1, Q("[dbo].[p];2"), 1},
        {Q("p ; 12\r\nAS"), 1, Q("p ; 12"), 1},
        {Q("p;0 AS"), 1, Q("p"), 1},
        {Q("\"my view\".\"x y\" AS"), 1, Q("\"my view\".\"x y\""), 1},
        {Q("[a]b c"), 1, Q("[a]"), 1},
        {Q("[a]]b].[c\"\"d] x"), 1, Q("[a]]b].[c\"\"d]"), 1},
        {Q("\"a\"\"b\"(x)"), 1, Q("\"a\"\"b\""), 1},
        {Q("PROC\tdbo.p"), 5, Q("dbo.p"), 6},
        {Q("[open name"), 1, Q("[open name"), 1},
        {Q("x   \r\n"), 2, QString(), 2},
        {Q("x"), 9, QString(), 9},
    };
    for (const Case& c : cases) {
        int position = c.from;
        EXPECT_EQ(GetObjectNameAt(c.text, position), c.name) << c.text.toStdString();
        EXPECT_EQ(position, c.at) << c.text.toStdString();
    }
}

// The result starts with CR LF (left out of the expected texts below).
TEST(SqlTextNames, ReplaceObjectName) {
    const struct {
        const char *Text, *Find, *Replace, *Keyword, *Name, *OnName;
        int Number;
        const char* Expected;
    } cases[] = {
        {"CREATE PROCEDURE dbo.p1 AS\r\nSELECT 'CREATE PROCEDURE x' -- PROCEDURE y\r\n", "CREATE", "ALTER", "PROC",
         "[dbo].[p1]", "", 1, "ALTER PROCEDURE [dbo].[p1] AS\r\nSELECT 'CREATE PROCEDURE x' -- PROCEDURE y"},
        // A comment before the statement that mentions CREATE PROCEDURE is left alone.
        {"/* CREATE PROCEDURE old */\r\n-- CREATE PROC older\r\ncreate proc [old name];1\r\nAS SELECT 1", "CREATE",
         "ALTER", "PROC", "[dbo].[new name]", "", 2,
         "/* CREATE PROCEDURE old */\r\n-- CREATE PROC older\r\nALTER proc [dbo].[new name];2\r\nAS SELECT 1"},
        // Comparison form: no word replaced, the name written in its quoted form.
        {"\r\n\r\nCREATE PROC [dbo].[a]]b]\tAS\rRETURN\n", "", "", "PROC", "[dbo].[a]]b]", "", 0,
         "CREATE PROC [dbo].[a]]b]\tAS\r\nRETURN"},
        // A comment between the keyword and the name, or right after the name, stays in place.
        {"CREATE PROCEDURE /* c */ p--x\r\nAS SELECT 1", "CREATE", "ALTER", "PROC", "[dbo].[p]", "", 1,
         "ALTER PROCEDURE /* c */ [dbo].[p]--x\r\nAS SELECT 1"},
        {"CREATE TRIGGER trOrders ON Orders\r\nFOR INSERT AS\r\nSELECT 1", "CREATE", "ALTER", "TRIGGER",
         "[dbo].[trOrders]", "[dbo].[Orders]", 0,
         "ALTER TRIGGER [dbo].[trOrders] ON [dbo].[Orders]\r\nFOR INSERT AS\r\nSELECT 1"},
        {"create trigger \"tr x\"\r\non [dbo].[Order Details] for update as return", "", "", "TRIGGER", "[dbo].[tr x]",
         "[dbo].[Order Details]", 0, "create trigger [dbo].[tr x]\r\non [dbo].[Order Details] for update as return"},
        {"CREATE VIEW v(a, b) AS SELECT 1, 2", "CREATE", "ALTER", "VIEW", "[dbo].[v]", "", 0,
         "ALTER VIEW [dbo].[v](a, b) AS SELECT 1, 2"},
        {"CREATE FUNCTION dbo.f (@a int) RETURNS int AS BEGIN RETURN @a END", "CREATE", "CREATE", "FUNC", "[dbo].[f]",
         "", 0, "CREATE FUNCTION [dbo].[f] (@a int) RETURNS int AS BEGIN RETURN @a END"},
        // A line comment before CREATE in a text with line feeds only (as scripts written on Linux
        // are stored) ends at its line: the CREATE after it is still found.
        {"-- the list\nCREATE VIEW dbo.v AS\nSELECT 1 -- one\nFROM t", "CREATE", "ALTER", "VIEW", "[dbo].[v]", "", 0,
         "-- the list\r\nALTER VIEW [dbo].[v] AS\r\nSELECT 1 -- one\r\nFROM t"},
        // Without the keyword, or without a new name, only the line breaks change.
        {"SELECT 1\n", "CREATE", "ALTER", "VIEW", "[v]", "", 0, "SELECT 1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceObjectName(Q(c.Text), Q(c.Find), Q(c.Replace), Q(c.Keyword), Q(c.Name), Q(c.OnName), c.Number),
                  CrLf + Q(c.Expected))
            << c.Text;
    }
    EXPECT_EQ(RaisedError([] {
                  ReplaceObjectName(Q("CREATE VIEW v AS SELECT 'x"), QString(), QString(), Q("VIEW"), Q("[dbo].[v]"),
                                    QString(), 0);
              }),
              NestingError);
}

// ---- Line breaks and sorting -----------------------------------------------------------------

TEST(SqlTextLines, NormalizeLineBreaks) {
    EXPECT_EQ(NormalizeLineBreaks(Q("\na\rb\r\n\r\n")), Q("\r\na\r\nb"));
    EXPECT_EQ(NormalizeLineBreaks(QString()), CrLf);
    EXPECT_EQ(NormalizeLineBreaks(Q("\r\n\n\r")), CrLf);
    EXPECT_EQ(NormalizeLineBreaks(Q("a\r\r\nb\n\rc") + QChar(0) + Q("d ")), Q("\r\na\r\n\r\nb\r\n\r\nc\r\nd "));
}

TEST(SqlTextLists, SortIsStableAndIgnoresCase) {
    const QList<QStringList> rows = {{Q("1"), QString(), Q("b")},
                                     {Q("2"), QString(), Q("A")},
                                     {Q("3"), QString(), Q("B")},
                                     {Q("4"), QString(), Q("a")},
                                     {Q("5")},
                                     {Q("6"), QString(), Q("b")}};
    QStringList order;
    for (const QStringList& row : GetSortedCollection(rows, 2)) order << row[0];
    EXPECT_EQ(order, (QStringList{Q("5"), Q("2"), Q("4"), Q("1"), Q("3"), Q("6")}));

    struct Entry {
        QString key;
        int id;
    };
    QList<Entry> entries;
    for (int i = 0; i < 1000; ++i) entries.append({i % 2 ? Q("K%1").arg(i % 7) : Q("k%1").arg(i % 7), i});
    const QList<Entry> sorted = GetSortedCollection(entries, [](const Entry& e) { return e.key; });
    ASSERT_EQ(sorted.size(), entries.size());
    for (qsizetype i = 1; i < sorted.size(); ++i) {
        const int cmp = QString::compare(sorted[i - 1].key, sorted[i].key, Qt::CaseInsensitive);
        EXPECT_TRUE(cmp < 0 || (cmp == 0 && sorted[i - 1].id < sorted[i].id)) << i;
    }
}
