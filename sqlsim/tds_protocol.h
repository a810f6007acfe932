// The TDS 7.x wire format as the listener speaks it: packet framing, the client messages it
// reads (PRELOGIN, LOGIN7, SQL batch) and the token stream it writes (LOGINACK, ENVCHANGE,
// INFO/ERROR, COLMETADATA/ROW, DONE). Pure functions over bytes, no sockets.
//
// Versions are written as 0x700 (7.0), 0x701 (7.1), 0x702, 0x703 and 0x704. What changes
// between them: collations in type descriptions and the collation ENVCHANGE from 7.1;
// ALL_HEADERS in front of a SQL batch, 4-byte user types and line numbers, 8-byte DONE row
// counts and the multi-part table name of text columns from 7.2.
#pragma once

#include "sqlsim/server.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace sqlsim::tds {

enum PacketType : std::uint8_t {
    kSqlBatch = 0x01,
    kRpc = 0x03,
    kTabularResult = 0x04,
    kAttention = 0x06,
    kTransactionManager = 0x0E,
    kLogin7 = 0x10,
    kSspi = 0x11,
    kPreLogin = 0x12,
};

enum Token : std::uint8_t {
    kColMetadata = 0x81,
    kError = 0xAA,
    kInfo = 0xAB,
    kLoginAck = 0xAD,
    kRow = 0xD1,
    kEnvChange = 0xE3,
    kDone = 0xFD,
    kDoneProc = 0xFE,
    kDoneInProc = 0xFF,
};

enum DoneStatus : std::uint16_t {
    kDoneFinal = 0x00,
    kDoneMore = 0x01,
    kDoneError = 0x02,
    kDoneInXact = 0x04,
    kDoneCount = 0x10,
    kDoneAttn = 0x20,
};

enum EnvChangeType : std::uint8_t { kEnvDatabase = 1, kEnvLanguage = 2, kEnvPacketSize = 4, kEnvCollation = 7 };

constexpr int kHeaderSize = 8;
constexpr int kDefaultPacketSize = 4096;

// One packet header.
struct PacketHeader {
    std::uint8_t type = 0;
    std::uint8_t status = 0;  // bit 0: last packet of the message
    int length = 0;           // header included
    std::uint16_t spid = 0;
};
PacketHeader ParseHeader(const char* bytes);

// Splits a message into packets of at most packetSize bytes, the last flagged end-of-message.
QByteArray Packetize(std::uint8_t type, const QByteArray& message, int packetSize, std::uint16_t spid);

// The version the server answers with: the client's (from LOGIN7) within 7.0 to 7.4.
int NegotiateVersion(std::uint32_t login7Version);
// The version code LOGINACK carries for a negotiated version.
std::uint32_t LoginAckVersion(int version);

// The PRELOGIN answer: version, encryption not supported (the client then logs in without TLS),
// instance accepted, no MARS. Null when the request is malformed.
std::optional<QByteArray> PreLoginResponse(const QByteArray& request);

struct Login7 {
    std::uint32_t tdsVersion = 0;  // as sent, e.g. 0x71000001
    std::uint32_t packetSize = 0;
    bool integratedSecurity = false;
    QString hostName, userName, password, appName, serverName, language, database;
};
// Null when the packet is too short or an offset points outside it.
std::optional<Login7> ParseLogin7(const QByteArray& message);
// The LOGIN7 password scrambling: each byte's nibbles swapped, then XOR 0xA5. Both directions.
QByteArray ScramblePassword(const QString& password);
QString UnscramblePassword(const QByteArray& bytes);

// The text of a SQL batch message (UTF-16LE), without the ALL_HEADERS of 7.2 and later.
std::optional<QString> ParseSqlBatch(const QByteArray& message, int version);

// One result column as it travels: the TDS type and its description.
struct WireColumn {
    QString name;
    std::uint8_t type = 0;
    int maxLength = 0;   // bytes; 1, 2, 4 or 8 for the fixed types
    std::uint8_t precision = 0, scale = 0;
    int xtype = XInt;    // the server's type, for converting values
};
// How the columns of a result set travel: from the column types, widened to fit the values.
std::vector<WireColumn> DescribeColumns(const ResultSet& resultSet);

// Writes one token stream.
class TokenWriter {
public:
    explicit TokenWriter(int version) : version_(version) {}
    const QByteArray& Bytes() const { return out_; }
    QByteArray Take() { return std::exchange(out_, QByteArray()); }

    void EnvChange(EnvChangeType type, const QString& newValue, const QString& oldValue);
    void CollationChange();  // the server's default collation (SQL_Latin1_General_CP1_CI_AS)
    // INFO for severity 10 and below, ERROR above.
    void Message(const sqlsim::Message& message, const QString& serverName, const QString& procedure = QString(),
                 int line = 1);
    void LoginAck(const QString& programName);
    void Done(std::uint8_t token, std::uint16_t status, std::uint64_t rowCount);
    void ColMetadata(const std::vector<WireColumn>& columns);
    void Row(const std::vector<WireColumn>& columns, const std::vector<sqlsim::Value>& values);

private:
    void U8(std::uint8_t v) { out_.append(static_cast<char>(v)); }
    void U16(std::uint16_t v);
    void U32(std::uint32_t v);
    void U64(std::uint64_t v);
    void BVarChar(const QString& text);   // 1-byte length in characters, UTF-16LE
    void UsVarChar(const QString& text);  // 2-byte length in characters, UTF-16LE
    void TypeInfo(const WireColumn& column);
    void WriteValue(const WireColumn& column, const sqlsim::Value& value);

    int version_;
    QByteArray out_;
};

}  // namespace sqlsim::tds
