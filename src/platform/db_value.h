#pragma once
// DbValue: one value as it comes from or goes to a database — empty, null, boolean, integer,
// floating-point, currency, decimal, date-time, string or binary. Currency and decimal keep
// their exact decimal text so that no digit is lost on the way through.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <variant>

class DbValue {
public:
    enum class Kind { Empty, Null, Bool, Int, Float, Currency, Decimal, DateTime, String, Binary };

    DbValue() = default;  // Empty
    static DbValue Null() { return DbValue(Kind::Null, std::monostate{}); }
    static DbValue FromBool(bool v) { return DbValue(Kind::Bool, v); }
    static DbValue FromInt(qint64 v) { return DbValue(Kind::Int, v); }
    static DbValue FromFloat(double v) { return DbValue(Kind::Float, v); }
    // text: an exact decimal number such as "-12.3400" (a point, never a comma).
    static DbValue FromCurrency(const QString& text) { return DbValue(Kind::Currency, text); }
    static DbValue FromDecimal(const QString& text) { return DbValue(Kind::Decimal, text); }
    static DbValue FromDateTime(const QDateTime& v) { return DbValue(Kind::DateTime, v); }
    static DbValue FromString(const QString& v) { return DbValue(Kind::String, v); }
    static DbValue FromString(QString&& v) { return DbValue(Kind::String, std::move(v)); }
    static DbValue FromBinary(const QByteArray& v) { return DbValue(Kind::Binary, v); }

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
    qint64 ToInt() const;
    double ToFloat() const;
    QString ToString() const;  // text form; numbers with a point; null and empty give ""
    QDateTime ToDateTime() const;
    QByteArray ToBinary() const;

    bool operator==(const DbValue& other) const { return kind_ == other.kind_ && value_ == other.value_; }

private:
    using Storage = std::variant<std::monostate, bool, qint64, double, QString, QDateTime, QByteArray>;
    DbValue(Kind k, Storage v) : kind_(k), value_(std::move(v)) {}

    Kind kind_ = Kind::Empty;
    Storage value_;
};
