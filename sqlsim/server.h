// sqlsim: an in-memory stand-in for a SQL Server 2000 server.
//
// A Server holds databases (master included). A Session is one connection: it has a current
// database and the SET options in force, and executes T-SQL batches, returning result sets and
// messages the way the real server reports them.
#pragma once

#include <QString>
#include <QByteArray>
#include <QDateTime>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace sqlsim {

// systypes.xtype codes of the built-in types.
enum XType : int {
    XImage = 34, XText = 35, XUniqueIdentifier = 36, XTinyInt = 48, XSmallInt = 52, XInt = 56,
    XSmallDateTime = 58, XReal = 59, XMoney = 60, XDateTime = 61, XFloat = 62, XSqlVariant = 98,
    XNText = 99, XBit = 104, XDecimal = 106, XNumeric = 108, XSmallMoney = 122, XBigInt = 127,
    XVarBinary = 165, XVarChar = 167, XBinary = 173, XChar = 175, XTimestamp = 189,
    XNVarChar = 231, XNChar = 239, XSysname = 231
};

using Int128 = __int128;

// One typed value. Money and decimal values are kept exact as a scaled 128-bit integer
// (value * 10^scale), which holds every decimal(38, s). Date-times have no time zone:
// AsDateTime() returns the server's wall-clock time with Qt::UTC as its time spec.
// A value holds only what its kind needs (32 bytes): catalogs and results hold millions of them.
class Value {
public:
    enum class Kind : unsigned char { Null, Int, Float, Decimal, DateTime, String, Binary };

    Value() noexcept : n_{0, 0} {}
    Value(const Value& o) : kind_(o.kind_), scale_(o.scale_), xtype_(o.xtype_) { CopyPayload(o); }
    Value(Value&& o) noexcept : kind_(o.kind_), scale_(o.scale_), xtype_(o.xtype_) { MovePayload(o); }
    Value& operator=(const Value& o) {
        if (this == &o) return *this;
        if (kind_ == Kind::String && o.kind_ == Kind::String) s_ = o.s_;
        else {
            Release();
            CopyPayload(o);
        }
        kind_ = o.kind_;
        scale_ = o.scale_;
        xtype_ = o.xtype_;
        return *this;
    }
    Value& operator=(Value&& o) noexcept {
        if (this == &o) return *this;
        Release();
        MovePayload(o);
        kind_ = o.kind_;
        scale_ = o.scale_;
        xtype_ = o.xtype_;
        return *this;
    }
    ~Value() { Release(); }

    // Inline: system tables, joins and property functions make them for every row.
    static Value Null(int xtype = XInt) {
        Value v;
        v.xtype_ = xtype;
        return v;
    }
    static Value Int(long long x, int xtype = XInt) {
        Value v;
        v.kind_ = Kind::Int;
        v.n_.lo = x;
        v.xtype_ = xtype;
        return v;
    }
    static Value Float(double v, int xtype = XFloat);
    static Value Decimal(Int128 scaled, int scale, int xtype = XDecimal);
    static Value DateTime(const QDateTime& v, int xtype = XDateTime);
    static Value String(const QString& v, int xtype = XVarChar);
    static Value Binary(const QByteArray& v, int xtype = XVarBinary);

    Kind GetKind() const { return kind_; }
    bool IsNull() const { return kind_ == Kind::Null; }
    int XTypeCode() const { return xtype_; }
    void SetXType(int xtype) { xtype_ = xtype; }

    // Truncating conversion; 0 for null/unconvertible. Integers are read in place (joins and
    // property functions ask for them on every row).
    long long AsInt() const { return kind_ == Kind::Int ? n_.lo : ConvertedInt(); }
    double AsDouble() const;
    QString AsString() const;     // the text SQL Server gives when converting to varchar
    QStringView TextView() const { return kind_ == Kind::String ? QStringView(s_) : QStringView(); }  // strings only
    // The text of a string value moved out, leaving it empty (strings only): for results handed over.
    QString TakeText() { return kind_ == Kind::String ? std::move(s_) : QString(); }
    QByteArray AsBinary() const;
    QDateTime AsDateTime() const;
    Int128 DecimalScaled() const {
        if (kind_ == Kind::Decimal)
            return static_cast<Int128>(static_cast<unsigned __int128>(static_cast<unsigned long long>(n_.hi)) << 64 |
                                       static_cast<unsigned long long>(n_.lo));
        return kind_ == Kind::Int || kind_ == Kind::DateTime ? n_.lo : 0;
    }
    int DecimalScale() const { return scale_; }
    bool IsNumeric() const { return kind_ == Kind::Int || kind_ == Kind::Float || kind_ == Kind::Decimal; }
    bool IsText() const { return kind_ == Kind::String; }

private:
    long long ConvertedInt() const;
    void Release() noexcept {
        if (kind_ == Kind::String) s_.~QString();
        else if (kind_ == Kind::Binary) b_.~QByteArray();
    }
    // The payload of o, into a value whose own payload holds nothing to release.
    void CopyPayload(const Value& o) {
        if (o.kind_ == Kind::String) new (&s_) QString(o.s_);
        else if (o.kind_ == Kind::Binary) new (&b_) QByteArray(o.b_);
        else n_ = o.n_;
    }
    void MovePayload(Value& o) noexcept {
        if (o.kind_ == Kind::String) new (&s_) QString(std::move(o.s_));
        else if (o.kind_ == Kind::Binary) new (&b_) QByteArray(std::move(o.b_));
        else n_ = o.n_;
    }

    Kind kind_ = Kind::Null;
    unsigned char scale_ = 0;
    int xtype_ = XInt;
    union {
        // Integers and date-times (milliseconds since 1970) in lo; decimals: the scaled value.
        struct {
            long long lo, hi;
        } n_;
        double d_;
        QString s_;
        QByteArray b_;
    };
};

struct ResultColumn {
    QString name;
    int xtype = XInt;  // systypes.xtype of the column's type
    int length = 4;
};

struct ResultSet {
    std::vector<ResultColumn> columns;
    std::vector<std::vector<Value>> rows;
};

struct Message {
    int number = 0;
    int severity = 0;
    int state = 1;
    QString text;
};

struct BatchResult {
    std::vector<ResultSet> resultSets;
    std::vector<Message> messages;
    long long rowsAffected = 0;
    bool cancelled = false;
};

class Server;
struct ServerState;
struct SessionState;

class Session {
public:
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs one batch (no GO splitting).
    BatchResult Execute(const QString& batch);
    // Splits the text at lines holding only GO (any case) and runs every batch in turn.
    BatchResult ExecuteScript(const QString& scriptText);
    // Thread-safe: the running batch stops before its next statement and reports cancelled.
    // A cancel that arrives while no batch runs stops the next one (it may have been meant for a
    // batch that is about to start); the request is cleared when an Execute call returns.
    void Cancel();
    // Drops a cancel request that no batch has seen yet (a client that knows the request came
    // after its last batch had ended).
    void ClearCancel();
    QString CurrentDatabase() const;

private:
    friend class Server;
    Session(Server& server, const QString& database);
    Server& server_;
    std::unique_ptr<SessionState> state_;
    std::atomic<bool> cancelRequested_{false};
};

class Server {
public:
    Server();
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens a session on the database; nullptr when it does not exist (the real server's
    // message 4060, "Cannot open database requested in login '...'. Login fails.").
    std::unique_ptr<Session> Connect(const QString& database = QStringLiteral("master"));
    // Adds or replaces a SQL Server login, as sp_addlogin does.
    void AddLogin(const QString& name, const QString& password, const QString& defaultDatabase = QStringLiteral("master"));
    // The login's default database when the name (any case) and password (exact) match a login.
    std::optional<QString> CheckLogin(const QString& name, const QString& password);
    ServerState& State() { return *state_; }

private:
    std::unique_ptr<ServerState> state_;
};

// The @@VERSION text of the simulator.
QString VersionString();

}  // namespace sqlsim
