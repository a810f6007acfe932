// The TDS encoders and decoders of the listener, byte by byte.
#include "sqlsim/tds_protocol.h"

#include <QDateTime>
#include <QTimeZone>
#include <functional>
#include <gtest/gtest.h>

using namespace sqlsim;
using namespace sqlsim::tds;

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(QByteArray(hex).replace(' ', "")); }
std::string ShowHex(const QByteArray& bytes) { return bytes.toHex(' ').toStdString(); }

TEST(TdsTokens, FixedTokensPerVersion) {
    struct Case {
        int version;
        std::function<void(TokenWriter&)> write;
        const char* expected;
    };
    const Case cases[] = {
        {0x701, [](TokenWriter& w) { w.Done(kDone, kDoneMore | kDoneCount, 5); }, "FD 1100 0000 05000000"},
        {0x702, [](TokenWriter& w) { w.Done(kDone, kDoneAttn, 5); }, "FD 2000 0000 0500000000000000"},
        {0x701, [](TokenWriter& w) { w.EnvChange(kEnvDatabase, QStringLiteral("ab"), QStringLiteral("c")); },
         "E3 0900 01 02 61006200 01 6300"},
        {0x701, [](TokenWriter& w) { w.CollationChange(); }, "E3 0800 07 05 0904D00034 00"},
        // INFO up to severity 10, 2-byte line number before 7.2.
        {0x701, [](TokenWriter& w) { w.Message(Message{5701, 0, 2, QStringLiteral("hi")}, QStringLiteral("S")); },
         "AB 1200 45160000 02 00 0200 68006900 01 5300 00 0100"},
        // ERROR above severity 10, 4-byte line number from 7.2.
        {0x702, [](TokenWriter& w) { w.Message(Message{208, 16, 1, QStringLiteral("hi")}, QStringLiteral("S"), QStringLiteral("p"), 3); },
         "AA 1600 D0000000 01 10 0200 68006900 01 5300 01 7000 03000000"},
        {0x701, [](TokenWriter& w) { w.LoginAck(QStringLiteral("ab")); }, "AD 0E00 01 71000001 02 61006200 080007F7"},
        {0x700, [](TokenWriter& w) { w.LoginAck(QStringLiteral("ab")); }, "AD 0E00 01 07000000 02 61006200 080007F7"},
        {0x704, [](TokenWriter& w) { w.LoginAck(QString()); }, "AD 0A00 01 74000004 00 080007F7"},
    };
    for (const Case& c : cases) {
        TokenWriter w(c.version);
        c.write(w);
        EXPECT_EQ(ShowHex(w.Bytes()), ShowHex(Hex(c.expected))) << c.expected;
    }
}

TEST(TdsTokens, ColumnsAndValuesPerType) {
    const auto utc = [](int y, int mo, int d, int h, int mi, int s) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
    };
    struct Case {
        int version;
        int xtype;
        int length;
        Value value;
        const char* typeInfo;
        const char* data;
    };
    const Case cases[] = {
        {0x701, XInt, 4, Value::Int(-2), "26 04", "04 FEFFFFFF"},
        {0x701, XInt, 4, Value::Null(), "26 04", "00"},
        {0x701, XTinyInt, 1, Value::Int(300), "26 02", "02 2C01"},  // widened to fit the value
        {0x701, XBit, 1, Value::Int(5, XBit), "68 01", "01 01"},
        {0x701, XFloat, 8, Value::Float(2.5), "6D 08", "08 0000000000000440"},
        {0x701, XMoney, 8, Value::Decimal(-52500, 4, XMoney), "6E 08", "08 FFFFFFFF EC32FFFF"},
        {0x701, XSmallMoney, 4, Value::Int(3), "6E 04", "04 30750000"},
        {0x701, XDateTime, 8, Value::DateTime(utc(1900, 1, 2, 0, 0, 1)), "6F 08", "08 01000000 2C010000"},
        {0x701, XSmallDateTime, 4, Value::DateTime(utc(1900, 1, 1, 1, 0, 0)), "6F 04", "04 0000 3C00"},
        {0x701, XDecimal, 9, Value::Decimal(-12345, 3), "6A 11 26 03", "11 00 39300000000000000000000000000000"},
        {0x701, XUniqueIdentifier, 16, Value::String(QStringLiteral("00112233-4455-6677-8899-AABBCCDDEEFF"), XUniqueIdentifier),
         "24 10", "10 33221100 5544 7766 8899AABBCCDDEEFF"},
        {0x701, XVarChar, 10, Value::String(QStringLiteral("a\u20ac\u4e00")), "A7 0A00 0904D00034", "0300 61803F"},
        {0x700, XVarChar, 10, Value::String(QStringLiteral("a")), "A7 0A00", "0100 61"},  // no collation in 7.0
        {0x701, XVarChar, 5, Value::Null(XVarChar), "A7 0500 0904D00034", "FFFF"},
        {0x701, XNVarChar, 4, Value::String(QStringLiteral("\u00e9")), "E7 0400 0904D00034", "0200 E900"},
        {0x701, XVarBinary, 2, Value::Binary(QByteArray("\xAB\xCD", 2)), "A5 0200", "0200 ABCD"},
        {0x701, XText, 16, Value::String(QStringLiteral("hi"), XText), "23 FFFFFF7F 0904D00034 0000",
         "10 01010101010101010101010101010101 0101010101010101 02000000 6869"},
        {0x702, XNText, 16, Value::Null(XNText), "63 FEFFFF7F 0904D00034 00", "00"},
    };
    for (const Case& c : cases) {
        ResultSet rs;
        rs.columns.push_back(ResultColumn{QStringLiteral("x"), c.xtype, c.length});
        rs.rows.push_back({c.value});
        const std::vector<WireColumn> columns = DescribeColumns(rs);
        TokenWriter w(c.version);
        w.ColMetadata(columns);
        w.Row(columns, rs.rows[0]);
        const QByteArray userType = c.version >= 0x702 ? Hex("00000000") : Hex("0000");
        const QByteArray expected = Hex("81 0100") + userType + Hex("0100") + Hex(c.typeInfo) + Hex("01 7800") + Hex("D1") + Hex(c.data);
        EXPECT_EQ(ShowHex(w.Bytes()), ShowHex(expected)) << c.typeInfo;
    }
    // Past 8000 bytes a varchar travels as text, an nvarchar as ntext.
    ResultSet wide;
    wide.columns = {ResultColumn{QStringLiteral("a"), XVarChar, 8000}, ResultColumn{QStringLiteral("b"), XNVarChar, 8000}};
    wide.rows.push_back({Value::String(QString(8001, u'x')), Value::String(QString(4001, u'y'))});
    const std::vector<WireColumn> columns = DescribeColumns(wide);
    EXPECT_EQ(columns[0].type, 0x23);
    EXPECT_EQ(columns[1].type, 0x63);
}

TEST(TdsMessages, VersionsAndPackets) {
    const std::pair<std::uint32_t, int> versions[] = {{0x70000000, 0x700}, {0x71000001, 0x701}, {0x72090002, 0x702},
                                                      {0x730B0003, 0x703}, {0x74000004, 0x704}, {0x75000000, 0x704}};
    for (const auto& [sent, negotiated] : versions) EXPECT_EQ(NegotiateVersion(sent), negotiated) << std::hex << sent;

    const QByteArray packets = Packetize(kTabularResult, QByteArray(5000, 'x'), 4096, 51);
    ASSERT_EQ(packets.size(), 5000 + 2 * kHeaderSize);
    EXPECT_EQ(ShowHex(packets.left(8)), ShowHex(Hex("04 00 1000 0033 01 00")));
    EXPECT_EQ(ShowHex(packets.mid(4096, 8)), ShowHex(Hex("04 01 0398 0033 02 00")));
    EXPECT_EQ(ShowHex(Packetize(kTabularResult, QByteArray(), 4096, 1)), ShowHex(Hex("04 01 0008 0001 01 00")));
}

TEST(TdsMessages, ClientRequests) {
    // A LOGIN7 as an independent client (tedious) sends it: TDS 7.4, user "tester", password
    // "p;w}d" scrambled, database "Bookshop".
    const QByteArray login = Hex(
        "D5000000 04000074 00100000 00000000 0C6F0000 00000000 F0000018 00000000"
        "09040000 5E000200 62000600 6E000500 78000700 86000900 98000400 A3000700"
        "B1000A00 C5000800 01020304 0506D500 0000D500 0000D500 00000000 00007600"
        "6D007400 65007300 74006500 7200A2A5 16A5D2A5 72A5E3A5 54006500 64006900"
        "6F007500 73003100 32003700 2E003000 2E003000 2E003100 9C000000 0A010000"
        "0001FF54 00650064 0069006F 00750073 00750073 005F0065 006E0067 006C0069"
        "00730068 0042006F 006F006B 00730068 006F0070 00");
    const std::optional<Login7> parsed = ParseLogin7(login);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->tdsVersion, 0x74000004u);
    EXPECT_EQ(parsed->packetSize, 4096u);
    EXPECT_FALSE(parsed->integratedSecurity);
    EXPECT_EQ(parsed->userName, QStringLiteral("tester"));
    EXPECT_EQ(parsed->password, QStringLiteral("p;w}d"));
    EXPECT_EQ(parsed->database, QStringLiteral("Bookshop"));
    EXPECT_EQ(parsed->language, QStringLiteral("us_english"));
    EXPECT_EQ(ScramblePassword(QStringLiteral("p;w}d")), Hex("A2A5 16A5 D2A5 72A5 E3A5"));
    // Cut short anywhere, the packet is refused or read within its bounds, never past them.
    for (qsizetype n = 0; n < login.size(); ++n) {
        const std::optional<Login7> cut = ParseLogin7(login.left(n));
        if (n < 78) {
            EXPECT_FALSE(cut.has_value()) << n;
        }
    }
    QByteArray integrated = login;
    integrated[25] = static_cast<char>(0x80);
    EXPECT_TRUE(ParseLogin7(integrated)->integratedSecurity);

    // SQL batches: UTF-16 text, after ALL_HEADERS from 7.2 on.
    const QByteArray text = Hex("5300 3100");  // "S1"
    const QByteArray headers = Hex("16000000 12000000 0200 0000000000000000 01000000");
    EXPECT_EQ(ParseSqlBatch(text, 0x701).value_or(QString()), QStringLiteral("S1"));
    EXPECT_EQ(ParseSqlBatch(headers + text, 0x702).value_or(QString()), QStringLiteral("S1"));
    EXPECT_FALSE(ParseSqlBatch(Hex("FF000000") + text, 0x702).has_value());
    EXPECT_FALSE(ParseSqlBatch(Hex("53"), 0x701).has_value());

    // PRELOGIN: encryption not supported; a malformed request gets no answer.
    const std::optional<QByteArray> reply = PreLoginResponse(Hex("00 0006 0006 FF 090000000000"));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(ShowHex(reply->left(10)), ShowHex(Hex("00 001A 0006 01 0020 0001")));
    EXPECT_EQ(reply->at(0x20), '\x02');
    EXPECT_FALSE(PreLoginResponse(Hex("00 00FF 0006 FF")).has_value());
    EXPECT_FALSE(PreLoginResponse(Hex("00 0006")).has_value());
}

}  // namespace
