// Conversions, comparisons and arithmetic follow SQL Server's rules.
#include "sim_test_util.h"
#include "sqlsim/value_ops.h"

#include <gtest/gtest.h>

using namespace sqlsim;

namespace {

std::string Conv(const Value& v, int xtype, int length = 30, int prec = 18, int scale = 0, int style = 0, const char* fmt = "mdy") {
    try {
        Value r = ConvertTo(v, xtype, length, prec, scale, style, QString::fromLatin1(fmt));
        return r.IsNull() ? "NULL" : r.AsString().toStdString();
    } catch (const SqlError& e) {
        return "Msg " + std::to_string(e.number);
    }
}

QDateTime Date(const char* text, const char* fmt = "mdy") {
    QDateTime t;
    EXPECT_TRUE(ParseDateTime(QString::fromLatin1(text), QString::fromLatin1(fmt), t)) << text;
    return t;
}

}  // namespace

TEST(Values, DateStringsFollowTheDateFormat) {
    EXPECT_EQ(FormatDateTime(Date("7/4/1996"), 121).toStdString(), "1996-07-04 00:00:00.000");
    EXPECT_EQ(FormatDateTime(Date("7/4/1996", "dmy"), 121).toStdString(), "1996-04-07 00:00:00.000");
    EXPECT_EQ(FormatDateTime(Date("06/12/94"), 121).toStdString(), "1994-06-12 00:00:00.000");
    EXPECT_EQ(FormatDateTime(Date("19970101"), 121).toStdString(), "1997-01-01 00:00:00.000");
    EXPECT_EQ(FormatDateTime(Date("1998-05-06 13:45:10.123"), 121).toStdString(), "1998-05-06 13:45:10.123");
    EXPECT_EQ(FormatDateTime(Date("Jan 5 2000 3:04PM"), 121).toStdString(), "2000-01-05 15:04:00.000");
    QDateTime bad;
    EXPECT_FALSE(ParseDateTime(QStringLiteral("2/30/2000"), QStringLiteral("mdy"), bad));
    EXPECT_FALSE(ParseDateTime(QStringLiteral("not a date"), QStringLiteral("mdy"), bad));
}

TEST(Values, DateTimeStyles) {
    QDateTime t = Date("1996-07-04 09:05:03.007");
    EXPECT_EQ(FormatDateTime(t, 0).toStdString(), "Jul  4 1996  9:05AM");
    EXPECT_EQ(FormatDateTime(t, 101).toStdString(), "07/04/1996");
    EXPECT_EQ(FormatDateTime(t, 111).toStdString(), "1996/07/04");
    EXPECT_EQ(FormatDateTime(t, 112).toStdString(), "19960704");
    EXPECT_EQ(FormatDateTime(t, 113).toStdString(), "04 Jul 1996 09:05:03:007");
    EXPECT_EQ(FormatDateTime(t, 120).toStdString(), "1996-07-04 09:05:03");
}

TEST(Values, NumericConversions) {
    EXPECT_EQ(Conv(Value::String(QStringLiteral(" 42 ")), XInt), "42");
    EXPECT_EQ(Conv(Value::String(QStringLiteral("4x")), XInt), "Msg 245");
    EXPECT_EQ(Conv(Value::Int(300), XTinyInt), "Msg 8115");
    EXPECT_EQ(Conv(Value::Int(70000), XSmallInt), "Msg 8115");
    EXPECT_EQ(Conv(Value::Float(2.345), XDecimal, 9, 5, 2), "2.35");
    EXPECT_EQ(Conv(Value::Decimal(-2345, 3), XDecimal, 9, 5, 2), "-2.35");
    EXPECT_EQ(Conv(Value::Int(123456), XDecimal, 9, 5, 2), "Msg 8115");
    EXPECT_EQ(Conv(Value::String(QStringLiteral("12.3456")), XMoney), "12.35");  // money prints two decimals
    EXPECT_EQ(Conv(Value::Float(7.9), XInt), "7");                                // truncation
    EXPECT_EQ(Conv(Value::Int(5), XBit), "1");
    EXPECT_EQ(Conv(Value::String(QStringLiteral("abcdef")), XChar, 3), "abc");
    EXPECT_EQ(Conv(Value::String(QStringLiteral("ab")), XChar, 4), "ab  ");
    EXPECT_EQ(Conv(Value::Int(1234567), XVarChar, 3), "Msg 8115");
    EXPECT_EQ(Conv(Value::Null(), XInt), "NULL");
}

TEST(Values, ComparisonIgnoresCaseAndTrailingBlanks) {
    EXPECT_EQ(CompareValues(Value::String(QStringLiteral("abc")), Value::String(QStringLiteral("ABC  "))), 0);
    EXPECT_LT(CompareValues(Value::String(QStringLiteral("a")), Value::String(QStringLiteral("B"))), 0);
    EXPECT_EQ(CompareValues(Value::Int(1), Value::Decimal(100, 2)), 0);
    EXPECT_EQ(CompareValues(Value::String(QStringLiteral("10")), Value::Int(9)), 1);  // converted to a number
    EXPECT_EQ(CompareValues(Value::DateTime(Date("1/2/1997")), Value::String(QStringLiteral("19970102"))), 0);
    // Equal values hash alike, so joins and GROUP BY treat them as one.
    EXPECT_EQ(HashKey(Value::Int(1)), HashKey(Value::Decimal(100, 2)));
    EXPECT_EQ(HashKey(Value::String(QStringLiteral("Ab "))), HashKey(Value::String(QStringLiteral("aB"))));
    EXPECT_NE(HashKey(Value::Null()), HashKey(Value::String(QString())));
}

// A value keeps only its kind's payload: copying, moving and assigning across kinds must carry
// the payload, type and scale over whole (the high half of a wide decimal included) and leave
// the source as it was.
TEST(Values, CopiesAndAssignmentsAcrossKindsKeepThePayload) {
    const Int128 wide = static_cast<Int128>(123456789012345678LL) * 1000000000000LL + 987;
    const std::vector<Value> samples = {
        Value::Null(XNVarChar), Value::Int(-42, XSmallInt), Value::Float(2.5), Value::Decimal(wide, 4, XNumeric),
        Value::DateTime(Date("1/2/1997")), Value::String(QStringLiteral("Grüße"), XNVarChar),
        Value::Binary(QByteArray("\x01\x02", 2))};
    auto same = [](const Value& a, const Value& b) {
        return a.GetKind() == b.GetKind() && a.XTypeCode() == b.XTypeCode() && a.DecimalScale() == b.DecimalScale() &&
               a.AsString() == b.AsString() && a.AsBinary() == b.AsBinary();
    };
    for (const Value& from : samples) {
        Value copy(from);
        EXPECT_TRUE(same(copy, from)) << from.AsString().toStdString();
        Value moved(std::move(copy));
        EXPECT_TRUE(same(moved, from)) << from.AsString().toStdString();
        for (const Value& onto : samples) {
            Value target(onto), moveTarget(onto);
            target = from;
            EXPECT_TRUE(same(target, from)) << onto.AsString().toStdString() << " <- " << from.AsString().toStdString();
            Value source(from);
            moveTarget = std::move(source);
            EXPECT_TRUE(same(moveTarget, from)) << onto.AsString().toStdString() << " <- " << from.AsString().toStdString();
        }
    }
    EXPECT_EQ(samples[3].DecimalScaled(), wide);
    EXPECT_EQ(samples[0].DecimalScaled(), 0);
    EXPECT_EQ(samples[5].DecimalScaled(), 0);
    EXPECT_LE(sizeof(Value), 32u);
}

TEST(Values, ArithmeticTypes) {
    Value m = Arithmetic(QStringLiteral("*"), Value::Decimal(215000, 4, XMoney), Value::Int(3));
    EXPECT_EQ(m.XTypeCode(), XMoney);
    EXPECT_EQ(m.AsString().toStdString(), "64.50");
    Value d = Arithmetic(QStringLiteral("/"), Value::Decimal(10, 1, XNumeric), Value::Int(3));
    EXPECT_EQ(d.AsString().toStdString(), "0.333333");
    EXPECT_THROW(Arithmetic(QStringLiteral("/"), Value::Int(1), Value::Int(0)), SqlError);
    EXPECT_THROW(Arithmetic(QStringLiteral("+"), Value::Int(2147483647), Value::Int(1)), SqlError);
    EXPECT_EQ(Arithmetic(QStringLiteral("+"), Value::Int(2147483647, XBigInt), Value::Int(1)).AsInt(), 2147483648LL);
    Value f = Arithmetic(QStringLiteral("*"), Value::Float(0.5, XReal), Value::Decimal(200, 2));
    EXPECT_EQ(f.GetKind(), Value::Kind::Float);
    EXPECT_TRUE(Arithmetic(QStringLiteral("+"), Value::Int(1), Value::Null()).IsNull());
    Value later = Arithmetic(QStringLiteral("+"), Value::DateTime(Date("1/31/2000")), Value::Int(1));
    EXPECT_EQ(FormatDateTime(later.AsDateTime(), 112).toStdString(), "20000201");
    // Texts joined from operands no longer needed (appended in place) as from kept ones.
    const Value texts[] = {Value::String(QStringLiteral("[dbo]")), Value::String(QStringLiteral("."), XChar),
                           Value::String(QStringLiteral("\u00e9 "), XNVarChar), Value::String(QString()), Value::Null(XVarChar),
                           Value::Int(7)};
    auto described = [](auto join) {
        try {
            const Value v = join();
            return QString::number(static_cast<int>(v.GetKind())) + u' ' + QString::number(v.XTypeCode()) + u' ' + v.AsString();
        } catch (const SqlError& e) {
            return QStringLiteral("error %1").arg(e.number);
        }
    };
    for (const Value& a : texts)
        for (const Value& b : texts)
            EXPECT_EQ(described([&] { return Arithmetic(QStringLiteral("+"), Value(a), Value(b)); }),
                      described([&] { return Arithmetic(QStringLiteral("+"), a, b); }));
}

// The edges of the exact types, as literals and conversions reach them in a batch.
TEST(Values, RangeEdgesOfExactTypes) {
    sqlsim::Server server;
    auto session = server.Connect(QStringLiteral("tempdb"));
    const struct {
        const char* expr;
        const char* expected;
    } cases[] = {
        {"CAST(9223372036854775807 AS bigint)", "9223372036854775807"},
        {"CAST(-9223372036854775808 AS bigint)", "-9223372036854775808"},
        {"CAST(9223372036854775808 AS bigint)", "Msg 8115"},
        {"CAST('9223372036854775808' AS bigint)", "Msg 8115"},
        {"CAST(9.3e18 AS bigint)", "Msg 8115"},
        {"CAST(9223372036854775807 AS bigint) + 1", "Msg 8115"},
        {"CAST(-9223372036854775807 AS bigint) - 2", "Msg 8115"},
        {"-CAST(-9223372036854775808 AS bigint)", "Msg 8115"},
        {"-CAST(-2147483648 AS int)", "Msg 8115"},
        {"CAST(922337203685477.5807 AS money), 2", "922337203685477.5807"},
        {"CAST(-922337203685477.5808 AS money), 2", "-922337203685477.5808"},
        {"CAST('$922337203685477.5807' AS money), 2", "922337203685477.5807"},
        {"CAST(922337203685477.5808 AS money)", "Msg 8115"},
        {"$922337203685477.5807 + $0.0001", "Msg 8115"},
        {"CAST(214748.3647 AS smallmoney), 2", "214748.3647"},
        {"CAST(214748.3648 AS smallmoney)", "Msg 8115"},
        {"CAST(99999999999999999999999999999999999999 AS decimal(38,0))", "99999999999999999999999999999999999999"},
        {"CAST(-0.99999999999999999999999999999999999999 AS decimal(38,38))", "-0.99999999999999999999999999999999999999"},
        {"CAST('12345678901234567890.123456789012345678' AS decimal(38,18))", "12345678901234567890.123456789012345678"},
        {"CAST(99999999999999999999999999999999999999 AS decimal(38,0)) + 1", "Msg 8115"},
        {"CAST(12345678901234567890 AS decimal(38,2)) * 10", "123456789012345678900.00"},
        {"CAST(1234.5 AS decimal(5,2))", "Msg 8115"},
        {"CAST('123456789012345678901234567890123456789' AS decimal(38,0))", "Msg 8115"},
        {"CAST(12345678901234567890123.5 AS decimal(38,0))", "12345678901234567890124"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(simtest::Outcome(*session, QStringLiteral("SELECT CONVERT(varchar(60), %1)").arg(QLatin1String(c.expr))), c.expected) << c.expr;
}
