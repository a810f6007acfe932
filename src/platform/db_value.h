#pragma once
// DbValue: one value as it comes from or goes to a database — empty, null, boolean, integer,
// floating-point, currency, decimal, date-time, string or binary. Currency and decimal keep
// their exact decimal text so that no digit is lost on the way through.
//
// A value holds only what its kind needs (32 bytes, no separate type index): a catalog load
// hands over and reads some half a million of them per 1,000 tables.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <new>
#include <utility>

class DbValue {
public:
    enum class Kind : unsigned char { Empty, Null, Bool, Int, Float, Currency, Decimal, DateTime, String, Binary };

    DbValue() noexcept : i_(0) {}  // Empty
    DbValue(const DbValue& other) : kind_(other.kind_) { CopyPayload(other); }
    DbValue(DbValue&& other) noexcept : kind_(other.kind_) { MovePayload(other); }
    DbValue& operator=(const DbValue& other) {
        if (this != &other) {
            DbValue copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    DbValue& operator=(DbValue&& other) noexcept {
        if (this != &other) {
            Release();
            kind_ = other.kind_;
            MovePayload(other);
        }
        return *this;
    }
    ~DbValue() { Release(); }

    static DbValue Null() { return DbValue(Kind::Null); }
    static DbValue FromBool(bool v) {
        DbValue value(Kind::Bool);
        value.b_ = v;
        return value;
    }
    static DbValue FromInt(qint64 v) {
        DbValue value(Kind::Int);
        value.i_ = v;
        return value;
    }
    static DbValue FromFloat(double v) {
        DbValue value(Kind::Float);
        value.d_ = v;
        return value;
    }
    // text: an exact decimal number such as "-12.3400" (a point, never a comma).
    static DbValue FromCurrency(QString text) { return DbValue(Kind::Currency, std::move(text)); }
    static DbValue FromDecimal(QString text) { return DbValue(Kind::Decimal, std::move(text)); }
    static DbValue FromDateTime(const QDateTime& v) {
        DbValue value(Kind::DateTime);
        new (&value.time_) QDateTime(v);
        return value;
    }
    static DbValue FromString(QString v) { return DbValue(Kind::String, std::move(v)); }
    static DbValue FromBinary(QByteArray v) {
        DbValue value(Kind::Binary);
        new (&value.bytes_) QByteArray(std::move(v));
        return value;
    }

    Kind GetKind() const { return kind_; }
    bool IsEmpty() const { return kind_ == Kind::Empty; }
    // True for both empty and null: the system treats them alike where values are read.
    bool IsNull() const { return kind_ == Kind::Empty || kind_ == Kind::Null; }
    bool IsNumeric() const {
        return kind_ == Kind::Bool || kind_ == Kind::Int || kind_ == Kind::Float ||
               kind_ == Kind::Currency || kind_ == Kind::Decimal;
    }

    // Conversions never throw: a value that does not convert gives 0, false or empty.
    bool ToBool() const { return ToInt() != 0 || (kind_ == Kind::Float && ToFloat() != 0.0); }
    qint64 ToInt() const { return kind_ == Kind::Int ? i_ : ConvertedInt(); }
    double ToFloat() const;
    // Text form; numbers with a point; null and empty give "".
    QString ToString() const { return kind_ == Kind::String ? text_ : ConvertedString(); }
    QDateTime ToDateTime() const;
    QByteArray ToBinary() const;

    bool operator==(const DbValue& other) const;

private:
    // Kinds whose payload is a text.
    static bool HoldsText(Kind k) { return k == Kind::Currency || k == Kind::Decimal || k == Kind::String; }
    explicit DbValue(Kind k) noexcept : kind_(k), i_(0) {}
    DbValue(Kind k, QString&& text) noexcept : kind_(k), text_(std::move(text)) {}

    qint64 ConvertedInt() const;
    QString ConvertedString() const;
    void Release() noexcept {
        if (HoldsText(kind_)) text_.~QString();
        else if (kind_ == Kind::Binary) bytes_.~QByteArray();
        else if (kind_ == Kind::DateTime) time_.~QDateTime();
    }
    // The payload of other, into a value whose own payload holds nothing to release.
    void CopyPayload(const DbValue& other) {
        if (HoldsText(other.kind_)) new (&text_) QString(other.text_);
        else if (other.kind_ == Kind::Binary) new (&bytes_) QByteArray(other.bytes_);
        else if (other.kind_ == Kind::DateTime) new (&time_) QDateTime(other.time_);
        else i_ = other.i_;
    }
    void MovePayload(DbValue& other) noexcept {
        if (HoldsText(other.kind_)) new (&text_) QString(std::move(other.text_));
        else if (other.kind_ == Kind::Binary) new (&bytes_) QByteArray(std::move(other.bytes_));
        else if (other.kind_ == Kind::DateTime) new (&time_) QDateTime(std::move(other.time_));
        else i_ = other.i_;
    }

    Kind kind_ = Kind::Empty;
    union {
        bool b_;
        qint64 i_;
        double d_;
        QString text_;  // currency, decimal and string
        QByteArray bytes_;
        QDateTime time_;
    };
};
