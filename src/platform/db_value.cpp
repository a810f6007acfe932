#include "platform/db_value.h"

#include <cmath>

static_assert(sizeof(DbValue) <= 32, "a value is read and handed over in the hundreds of thousands");

qint64 DbValue::ConvertedInt() const {
    switch (kind_) {
    case Kind::Bool: return b_ ? 1 : 0;
    case Kind::Int: return i_;
    case Kind::Float: return static_cast<qint64>(std::llround(d_));
    case Kind::Currency:
    case Kind::Decimal:
    case Kind::String: {
        bool ok = false;
        const QString text = text_.trimmed();
        const qint64 i = text.toLongLong(&ok);
        if (ok) return i;
        const double d = text.toDouble(&ok);
        return ok ? static_cast<qint64>(std::llround(d)) : 0;
    }
    default: return 0;
    }
}

double DbValue::ToFloat() const {
    switch (kind_) {
    case Kind::Bool: return b_ ? 1.0 : 0.0;
    case Kind::Int: return static_cast<double>(i_);
    case Kind::Float: return d_;
    case Kind::Currency:
    case Kind::Decimal:
    case Kind::String: return text_.trimmed().toDouble();
    default: return 0.0;
    }
}

QString DbValue::ConvertedString() const {
    switch (kind_) {
    case Kind::Empty:
    case Kind::Null: return QString();
    case Kind::Bool: return b_ ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Int: return QString::number(i_);
    case Kind::Float: return QString::number(d_, 'g', 15);
    case Kind::Currency:
    case Kind::Decimal:
    case Kind::String: return text_;
    case Kind::DateTime: return time_.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Kind::Binary: return QString::fromLatin1("0x" + bytes_.toHex().toUpper());
    }
    return QString();
}

QDateTime DbValue::ToDateTime() const {
    if (kind_ == Kind::DateTime) return time_;
    if (kind_ == Kind::String) return QDateTime::fromString(text_, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QDateTime();
}

QByteArray DbValue::ToBinary() const {
    if (kind_ == Kind::Binary) return bytes_;
    if (kind_ == Kind::String) return text_.toUtf8();
    return QByteArray();
}

bool DbValue::operator==(const DbValue& other) const {
    if (kind_ != other.kind_) return false;
    switch (kind_) {
    case Kind::Empty:
    case Kind::Null: return true;
    case Kind::Bool: return b_ == other.b_;
    case Kind::Int: return i_ == other.i_;
    case Kind::Float: return d_ == other.d_;
    case Kind::Currency:
    case Kind::Decimal:
    case Kind::String: return text_ == other.text_;
    case Kind::DateTime: return time_ == other.time_;
    case Kind::Binary: return bytes_ == other.bytes_;
    }
    return false;
}
