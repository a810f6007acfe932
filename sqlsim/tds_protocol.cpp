#include "sqlsim/tds_protocol.h"

#include <QDate>
#include <QDateTime>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace sqlsim::tds {

namespace {

// TDS data types.
enum DataType : std::uint8_t {
    kImage = 0x22, kText = 0x23, kGuid = 0x24, kIntN = 0x26, kDecimalN = 0x6A, kNumericN = 0x6C,
    kBitN = 0x68, kNText = 0x63, kFltN = 0x6D, kMoneyN = 0x6E, kDateTimeN = 0x6F, kBigVarBinary = 0xA5,
    kBigVarChar = 0xA7, kBigBinary = 0xAD, kBigChar = 0xAF, kNVarChar = 0xE7, kNChar = 0xEF,
};

constexpr int kMaxShortLength = 8000;  // the longest value of the 2-byte-length types, in bytes

// SQL_Latin1_General_CP1_CI_AS: LCID 0x0409 with its comparison flags, sort order 52.
const char kCollation[5] = {0x09, 0x04, static_cast<char>(0xD0), 0x00, 0x34};

// The server's version: 8.00.2039.
constexpr std::uint8_t kMajor = 8, kMinor = 0;
constexpr std::uint16_t kBuild = 2039;

std::uint16_t ReadU16(const QByteArray& b, qsizetype at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint8_t>(b[at + 1]) << 8));
}
std::uint32_t ReadU32(const QByteArray& b, qsizetype at) {
    return static_cast<std::uint32_t>(ReadU16(b, at)) | (static_cast<std::uint32_t>(ReadU16(b, at + 2)) << 16);
}

bool IsCharType(std::uint8_t t) { return t == kBigVarChar || t == kBigChar || t == kText; }
bool IsNCharType(std::uint8_t t) { return t == kNVarChar || t == kNChar || t == kNText; }
bool IsBlobType(std::uint8_t t) { return t == kText || t == kNText || t == kImage; }
bool HasCollation(std::uint8_t t) { return IsCharType(t) || IsNCharType(t); }

// Windows code page 1252, the code page of the default collation: Latin-1 except 0x80-0x9F.
const char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QByteArray ToCp1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(static_cast<char>(u));
            continue;
        }
        const char16_t* hit = std::find(std::begin(kCp1252High), std::end(kCp1252High), u);
        out.append(u != 0 && hit != std::end(kCp1252High) ? static_cast<char>(0x80 + (hit - kCp1252High)) : '?');
    }
    return out;
}

QByteArray ToUtf16(const QString& text) {
    QByteArray out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

QString FromUtf16(const QByteArray& bytes, qsizetype at, qsizetype chars) {
    QString text;
    text.reserve(chars);
    for (qsizetype i = 0; i < chars; ++i) text.append(QChar(ReadU16(bytes, at + 2 * i)));
    return text;
}

// The bytes a character or binary value travels as.
QByteArray ValueBytes(std::uint8_t type, const Value& value) {
    if (IsCharType(type)) return ToCp1252(value.AsString());
    if (IsNCharType(type)) return ToUtf16(value.AsString());
    return value.GetKind() == Value::Kind::Binary ? value.AsBinary() : value.AsString().toUtf8();
}

Int128 Pow10(int n) {
    Int128 p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

// The value as an integer scaled by 10^scale (money: scale 4).
Int128 Scaled(const Value& value, int scale) {
    switch (value.GetKind()) {
    case Value::Kind::Decimal: {
        const int from = value.DecimalScale();
        const Int128 v = value.DecimalScaled();
        if (from == scale) return v;
        if (from < scale) return v * Pow10(scale - from);
        const Int128 d = Pow10(from - scale);
        return (v >= 0 ? v + d / 2 : v - d / 2) / d;
    }
    case Value::Kind::Int: return value.AsInt() * Pow10(scale);
    default: return static_cast<Int128>(std::round(value.AsDouble() * std::pow(10.0, scale)));
    }
}

int IntWidth(long long v) {
    if (v >= 0 && v <= 255) return 1;
    if (v >= -32768 && v <= 32767) return 2;
    if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()) return 4;
    return 8;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Packets and client messages

PacketHeader ParseHeader(const char* bytes) {
    PacketHeader h;
    h.type = static_cast<std::uint8_t>(bytes[0]);
    h.status = static_cast<std::uint8_t>(bytes[1]);
    h.length = (static_cast<std::uint8_t>(bytes[2]) << 8) | static_cast<std::uint8_t>(bytes[3]);
    h.spid = static_cast<std::uint16_t>((static_cast<std::uint8_t>(bytes[4]) << 8) | static_cast<std::uint8_t>(bytes[5]));
    return h;
}

QByteArray Packetize(std::uint8_t type, const QByteArray& message, int packetSize, std::uint16_t spid) {
    const qsizetype chunk = std::max(packetSize, 512) - kHeaderSize;
    QByteArray out;
    std::uint8_t id = 1;
    qsizetype at = 0;
    do {
        const qsizetype n = std::min(chunk, message.size() - at);
        const bool last = at + n >= message.size();
        const int length = static_cast<int>(n) + kHeaderSize;
        const char header[kHeaderSize] = {static_cast<char>(type),         static_cast<char>(last ? 1 : 0),
                                          static_cast<char>(length >> 8),  static_cast<char>(length & 0xFF),
                                          static_cast<char>(spid >> 8),    static_cast<char>(spid & 0xFF),
                                          static_cast<char>(id++),         0};
        out.append(header, kHeaderSize);
        out.append(message.constData() + at, n);
        at += n;
    } while (at < message.size());
    return out;
}

int NegotiateVersion(std::uint32_t login7Version) {
    switch (login7Version >> 24) {
    case 0x70: return 0x700;
    case 0x71: return 0x701;
    case 0x72: return 0x702;
    case 0x73: return 0x703;
    case 0x74: return 0x704;
    default: return login7Version >> 24 > 0x74 ? 0x704 : 0x700;  // a newer client is answered as 7.4
    }
}

std::uint32_t LoginAckVersion(int version) {
    switch (version) {
    case 0x700: return 0x07000000;
    case 0x701: return 0x71000001;
    case 0x702: return 0x72090002;
    case 0x703: return 0x730B0003;
    default: return 0x74000004;
    }
}

std::optional<QByteArray> PreLoginResponse(const QByteArray& request) {
    // The request must be a well-formed option list ending in 0xFF.
    qsizetype at = 0;
    for (;; at += 5) {
        if (at >= request.size()) return std::nullopt;
        if (static_cast<std::uint8_t>(request[at]) == 0xFF) break;
        if (at + 5 > request.size()) return std::nullopt;
        const int offset = (static_cast<std::uint8_t>(request[at + 1]) << 8) | static_cast<std::uint8_t>(request[at + 2]);
        const int length = (static_cast<std::uint8_t>(request[at + 3]) << 8) | static_cast<std::uint8_t>(request[at + 4]);
        if (offset + length > request.size()) return std::nullopt;
    }
    // VERSION, ENCRYPTION (2: not supported), INSTOPT (0: instance accepted), THREADID, MARS.
    struct Option {
        std::uint8_t token;
        QByteArray data;
    };
    const Option options[] = {
        {0x00, QByteArray("\x08\x00\x07\xF7\x00\x00", 6)},
        {0x01, QByteArray(1, '\x02')},
        {0x02, QByteArray(1, '\x00')},
        {0x03, QByteArray()},
        {0x04, QByteArray(1, '\x00')},
    };
    const int headerSize = static_cast<int>(std::size(options)) * 5 + 1;
    QByteArray head, body;
    for (const Option& o : options) {
        const int offset = headerSize + static_cast<int>(body.size());
        const int length = static_cast<int>(o.data.size());
        const char entry[5] = {static_cast<char>(o.token), static_cast<char>(offset >> 8), static_cast<char>(offset & 0xFF),
                               static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)};
        head.append(entry, 5);
        body.append(o.data);
    }
    head.append('\xFF');
    return head + body;
}

QByteArray ScramblePassword(const QString& password) {
    QByteArray out = ToUtf16(password);
    for (char& c : out) {
        const auto b = static_cast<std::uint8_t>(c);
        c = static_cast<char>((((b << 4) | (b >> 4)) & 0xFF) ^ 0xA5);
    }
    return out;
}

QString UnscramblePassword(const QByteArray& bytes) {
    QByteArray plain = bytes;
    for (char& c : plain) {
        const auto b = static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) ^ 0xA5);
        c = static_cast<char>(((b << 4) | (b >> 4)) & 0xFF);
    }
    return FromUtf16(plain, 0, plain.size() / 2);
}

std::optional<Login7> ParseLogin7(const QByteArray& message) {
    constexpr qsizetype kFixed = 78;  // through the database name's offset and length
    if (message.size() < kFixed) return std::nullopt;
    Login7 login;
    login.tdsVersion = ReadU32(message, 4);
    login.packetSize = ReadU32(message, 8);
    login.integratedSecurity = (static_cast<std::uint8_t>(message[25]) & 0x80) != 0;
    bool ok = true;
    auto field = [&](qsizetype at, bool scrambled = false) {
        const qsizetype offset = ReadU16(message, at);
        const qsizetype chars = ReadU16(message, at + 2);
        if (offset + 2 * chars > message.size()) {
            ok = false;
            return QString();
        }
        return scrambled ? UnscramblePassword(message.mid(offset, 2 * chars)) : FromUtf16(message, offset, chars);
    };
    login.hostName = field(36);
    login.userName = field(40);
    login.password = field(44, true);
    login.appName = field(48);
    login.serverName = field(52);
    login.language = field(64);
    login.database = field(68);
    if (message.size() >= 82 && ReadU16(message, 80) > 0) login.integratedSecurity = true;  // an SSPI blob
    if (!ok) return std::nullopt;
    return login;
}

std::optional<QString> ParseSqlBatch(const QByteArray& message, int version) {
    qsizetype at = 0;
    if (version >= 0x702) {
        if (message.size() < 4) return std::nullopt;
        at = ReadU32(message, 0);  // ALL_HEADERS: its total length comes first
        if (at < 4 || at > message.size()) return std::nullopt;
    }
    if ((message.size() - at) % 2 != 0) return std::nullopt;
    return FromUtf16(message, at, (message.size() - at) / 2);
}

// ---------------------------------------------------------------------------------------------
// Result columns

std::vector<WireColumn> DescribeColumns(const ResultSet& resultSet) {
    std::vector<WireColumn> columns;
    for (size_t i = 0; i < resultSet.columns.size(); ++i) {
        const ResultColumn& rc = resultSet.columns[i];
        WireColumn c;
        c.name = rc.name.left(255);
        c.xtype = rc.xtype;
        auto values = [&](auto&& visit) {
            for (const auto& row : resultSet.rows)
                if (i < row.size() && !row[i].IsNull()) visit(row[i]);
        };
        auto fixed = [&](std::uint8_t type, int length) {
            c.type = type;
            c.maxLength = length;
        };
        // Variable-length types: the declared length, widened to the longest value; past 8000
        // bytes the long type.
        auto variable = [&](std::uint8_t type, std::uint8_t longType, int declared) {
            c.type = type;
            int longest = std::clamp(declared, 1, kMaxShortLength);
            values([&](const Value& v) { longest = std::max(longest, static_cast<int>(ValueBytes(type, v).size())); });
            if (longest > kMaxShortLength) type = longType;
            c.type = type;
            c.maxLength = IsBlobType(type) ? (type == kNText ? 0x7FFFFFFE : 0x7FFFFFFF) : longest;
        };
        switch (rc.xtype) {
        case XTinyInt:
        case XSmallInt:
        case XInt:
        case XBigInt: {
            int width = rc.xtype == XTinyInt ? 1 : rc.xtype == XSmallInt ? 2 : rc.xtype == XInt ? 4 : 8;
            values([&](const Value& v) { width = std::max(width, IntWidth(v.AsInt())); });
            fixed(kIntN, width);
            break;
        }
        case XBit: fixed(kBitN, 1); break;
        case XReal: fixed(kFltN, 4); break;
        case XFloat: fixed(kFltN, 8); break;
        case XMoney: fixed(kMoneyN, 8); break;
        case XSmallMoney: fixed(kMoneyN, 4); break;
        case XDateTime: fixed(kDateTimeN, 8); break;
        case XSmallDateTime: fixed(kDateTimeN, 4); break;
        case XUniqueIdentifier: fixed(kGuid, 16); break;
        case XDecimal:
        case XNumeric: {
            fixed(rc.xtype == XDecimal ? kDecimalN : kNumericN, 17);
            c.precision = 38;
            int scale = 0;
            values([&](const Value& v) {
                if (v.GetKind() == Value::Kind::Decimal) scale = std::max(scale, v.DecimalScale());
            });
            c.scale = static_cast<std::uint8_t>(std::min(scale, 38));
            break;
        }
        case XChar: variable(kBigChar, kText, rc.length); break;
        case XVarChar: variable(kBigVarChar, kText, rc.length); break;
        case XNChar: variable(kNChar, kNText, rc.length); break;
        case XNVarChar: variable(kNVarChar, kNText, rc.length); break;
        case XText: variable(kText, kText, rc.length); break;
        case XNText: variable(kNText, kNText, rc.length); break;
        case XBinary: variable(kBigBinary, kImage, rc.length); break;
        case XVarBinary: variable(kBigVarBinary, kImage, rc.length); break;
        case XImage: variable(kImage, kImage, rc.length); break;
        case XTimestamp: fixed(kBigBinary, 8); break;
        default: variable(kNVarChar, kNText, rc.length); break;  // sql_variant and others: as text
        }
        columns.push_back(c);
    }
    return columns;
}

// ---------------------------------------------------------------------------------------------
// Tokens

void TokenWriter::U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v & 0xFF));
    U8(static_cast<std::uint8_t>(v >> 8));
}
void TokenWriter::U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v & 0xFFFF));
    U16(static_cast<std::uint16_t>(v >> 16));
}
void TokenWriter::U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v & 0xFFFFFFFFu));
    U32(static_cast<std::uint32_t>(v >> 32));
}
void TokenWriter::BVarChar(const QString& text) {
    const QString t = text.left(255);
    U8(static_cast<std::uint8_t>(t.size()));
    out_.append(ToUtf16(t));
}
void TokenWriter::UsVarChar(const QString& text) {
    const QString t = text.left(65535);
    U16(static_cast<std::uint16_t>(t.size()));
    out_.append(ToUtf16(t));
}

void TokenWriter::EnvChange(EnvChangeType type, const QString& newValue, const QString& oldValue) {
    const QString n = newValue.left(255), o = oldValue.left(255);
    U8(kEnvChange);
    U16(static_cast<std::uint16_t>(1 + 1 + 2 * n.size() + 1 + 2 * o.size()));
    U8(type);
    BVarChar(n);
    BVarChar(o);
}

void TokenWriter::CollationChange() {
    U8(kEnvChange);
    U16(1 + 1 + 5 + 1);
    U8(kEnvCollation);
    U8(5);
    out_.append(kCollation, 5);
    U8(0);
}

void TokenWriter::Message(const sqlsim::Message& message, const QString& serverName, const QString& procedure, int line) {
    const QString text = message.text.left(65535), server = serverName.left(255), proc = procedure.left(255);
    const int lineBytes = version_ >= 0x702 ? 4 : 2;
    U8(message.severity > 10 ? kError : kInfo);
    U16(static_cast<std::uint16_t>(4 + 1 + 1 + 2 + 2 * text.size() + 1 + 2 * server.size() + 1 + 2 * proc.size() + lineBytes));
    U32(static_cast<std::uint32_t>(message.number));
    U8(static_cast<std::uint8_t>(message.state));
    U8(static_cast<std::uint8_t>(message.severity));
    UsVarChar(text);
    BVarChar(server);
    BVarChar(proc);
    if (lineBytes == 4) U32(static_cast<std::uint32_t>(line));
    else U16(static_cast<std::uint16_t>(line));
}

void TokenWriter::LoginAck(const QString& programName) {
    const QString name = programName.left(255);
    U8(kLoginAck);
    U16(static_cast<std::uint16_t>(1 + 4 + 1 + 2 * name.size() + 4));
    U8(1);  // the T-SQL interface
    const std::uint32_t v = LoginAckVersion(version_);
    for (int shift = 24; shift >= 0; shift -= 8) U8(static_cast<std::uint8_t>(v >> shift));  // big-endian
    BVarChar(name);
    U8(kMajor);
    U8(kMinor);
    U8(static_cast<std::uint8_t>(kBuild >> 8));
    U8(static_cast<std::uint8_t>(kBuild & 0xFF));
}

void TokenWriter::Done(std::uint8_t token, std::uint16_t status, std::uint64_t rowCount) {
    U8(token);
    U16(status);
    U16(0);  // the current command: not reported
    if (version_ >= 0x702) U64(rowCount);
    else U32(static_cast<std::uint32_t>(std::min<std::uint64_t>(rowCount, 0xFFFFFFFFu)));
}

void TokenWriter::TypeInfo(const WireColumn& column) {
    U8(column.type);
    switch (column.type) {
    case kDecimalN:
    case kNumericN:
        U8(static_cast<std::uint8_t>(column.maxLength));
        U8(column.precision);
        U8(column.scale);
        return;
    case kIntN:
    case kBitN:
    case kFltN:
    case kMoneyN:
    case kDateTimeN:
    case kGuid: U8(static_cast<std::uint8_t>(column.maxLength)); return;
    default: break;
    }
    if (IsBlobType(column.type)) U32(static_cast<std::uint32_t>(column.maxLength));
    else U16(static_cast<std::uint16_t>(column.maxLength));
    if (HasCollation(column.type) && version_ >= 0x701) out_.append(kCollation, 5);
    if (IsBlobType(column.type)) {
        // The table name: none.
        if (version_ >= 0x702) U8(0);
        else U16(0);
    }
}

void TokenWriter::ColMetadata(const std::vector<WireColumn>& columns) {
    U8(kColMetadata);
    U16(static_cast<std::uint16_t>(columns.size()));
    for (const WireColumn& c : columns) {
        if (version_ >= 0x702) U32(0);
        else U16(0);  // user type
        U16(0x0001);  // nullable
        TypeInfo(c);
        BVarChar(c.name);
    }
}

void TokenWriter::WriteValue(const WireColumn& column, const sqlsim::Value& value) {
    const bool null = value.IsNull();
    switch (column.type) {
    case kIntN:
    case kBitN: {
        if (null) return U8(0);
        U8(static_cast<std::uint8_t>(column.maxLength));
        long long v = value.AsInt();
        if (column.type == kBitN) v = v != 0;
        for (int i = 0; i < column.maxLength; ++i) U8(static_cast<std::uint8_t>((static_cast<unsigned long long>(v) >> (8 * i)) & 0xFF));
        return;
    }
    case kFltN: {
        if (null) return U8(0);
        U8(static_cast<std::uint8_t>(column.maxLength));
        if (column.maxLength == 4) {
            const float f = static_cast<float>(value.AsDouble());
            std::uint32_t bits;
            std::memcpy(&bits, &f, 4);
            U32(bits);
        } else {
            const double d = value.AsDouble();
            std::uint64_t bits;
            std::memcpy(&bits, &d, 8);
            U64(bits);
        }
        return;
    }
    case kMoneyN: {
        if (null) return U8(0);
        U8(static_cast<std::uint8_t>(column.maxLength));
        const long long m = static_cast<long long>(Scaled(value, 4));
        if (column.maxLength == 4) return U32(static_cast<std::uint32_t>(m));
        U32(static_cast<std::uint32_t>(static_cast<unsigned long long>(m) >> 32));  // the high half first
        U32(static_cast<std::uint32_t>(static_cast<unsigned long long>(m) & 0xFFFFFFFFu));
        return;
    }
    case kDateTimeN: {
        if (null) return U8(0);
        U8(static_cast<std::uint8_t>(column.maxLength));
        const QDateTime t = value.AsDateTime();
        long long days = QDate(1900, 1, 1).daysTo(t.date());
        if (column.maxLength == 4) {
            int minutes = (t.time().msecsSinceStartOfDay() + 30000) / 60000;
            if (minutes >= 1440) {
                minutes = 0;
                ++days;
            }
            U16(static_cast<std::uint16_t>(days));
            U16(static_cast<std::uint16_t>(minutes));
        } else {
            // Ticks of 1/300 second since midnight.
            long long ticks = (static_cast<long long>(t.time().msecsSinceStartOfDay()) * 3 + 5) / 10;
            if (ticks >= 300LL * 86400) {
                ticks = 0;
                ++days;
            }
            U32(static_cast<std::uint32_t>(static_cast<std::int32_t>(days)));
            U32(static_cast<std::uint32_t>(ticks));
        }
        return;
    }
    case kDecimalN:
    case kNumericN: {
        if (null) return U8(0);
        const Int128 v = Scaled(value, column.scale);
        U8(static_cast<std::uint8_t>(column.maxLength));
        U8(v < 0 ? 0 : 1);
        const unsigned __int128 magnitude = v < 0 ? 0 - static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
        U64(static_cast<std::uint64_t>(magnitude));  // little-endian: the low half first
        if (column.maxLength > 9) U64(static_cast<std::uint64_t>(magnitude >> 64));
        for (int i = 17; i < column.maxLength; ++i) U8(0);
        return;
    }
    case kGuid: {
        if (null) return U8(0);
        QByteArray bytes = value.GetKind() == Value::Kind::Binary ? value.AsBinary() : QByteArray();
        if (bytes.size() != 16) {
            // The text form: its first three groups travel little-endian.
            bytes = QUuid::fromString(value.AsString()).toRfc4122();
            std::reverse(bytes.begin(), bytes.begin() + 4);
            std::reverse(bytes.begin() + 4, bytes.begin() + 6);
            std::reverse(bytes.begin() + 6, bytes.begin() + 8);
        }
        U8(16);
        out_.append(bytes);
        return;
    }
    default: break;
    }
    if (IsBlobType(column.type)) {
        if (null) return U8(0);
        const QByteArray bytes = ValueBytes(column.type, value);
        U8(16);
        out_.append(QByteArray(16, '\x01'));  // text pointer
        out_.append(QByteArray(8, '\x01'));   // timestamp
        U32(static_cast<std::uint32_t>(bytes.size()));
        out_.append(bytes);
        return;
    }
    if (null) return U16(0xFFFF);
    const QByteArray bytes = ValueBytes(column.type, value).left(column.maxLength);
    U16(static_cast<std::uint16_t>(bytes.size()));
    out_.append(bytes);
}

void TokenWriter::Row(const std::vector<WireColumn>& columns, const std::vector<sqlsim::Value>& values) {
    U8(kRow);
    for (size_t i = 0; i < columns.size(); ++i) WriteValue(columns[i], i < values.size() ? values[i] : sqlsim::Value());
}

}  // namespace sqlsim::tds
