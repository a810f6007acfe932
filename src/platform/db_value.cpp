#include "platform/db_value.h"

#include <cmath>

qint64 DbValue::ToInt() const {
    switch (kind_) {
    case Kind::Bool: return std::get<bool>(value_) ? 1 : 0;
    case Kind::Int: return std::get<qint64>(value_);
    case Kind::Float: return static_cast<qint64>(std::llround(std::get<double>(value_)));
    case Kind::Currency:
    case Kind::Decimal:
    case Kind::String: {
        bool ok = false;
        const QString text = std::get<QString>(value_).trimmed();
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
    case Kind::Bool: return std::get<bool>(value_) ? 1.0 : 0.0;
    case Kind::Int: return static_cast<double>(std::get<qint64>(value_));
    case Kind::Float: return std::get<double>(value_);
    case Kind::Currency:
    case Kind::Decimal:
    case Kind::String: return std::get<QString>(value_).trimmed().toDouble();
    default: return 0.0;
    }
}

QString DbValue::ToString() const {
    switch (kind_) {
    case Kind::Empty:
    case Kind::Null: return QString();
    case Kind::Bool: return std::get<bool>(value_) ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Int: return QString::number(std::get<qint64>(value_));
    case Kind::Float: return QString::number(std::get<double>(value_), 'g', 15);
    case Kind::Currency:
    case Kind::Decimal:
    case Kind::String: return std::get<QString>(value_);
    case Kind::DateTime: return std::get<QDateTime>(value_).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Kind::Binary: return QString::fromLatin1("0x" + std::get<QByteArray>(value_).toHex().toUpper());
    }
    return QString();
}

QDateTime DbValue::ToDateTime() const {
    if (kind_ == Kind::DateTime) return std::get<QDateTime>(value_);
    if (kind_ == Kind::String)
        return QDateTime::fromString(std::get<QString>(value_), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QDateTime();
}

QByteArray DbValue::ToBinary() const {
    if (kind_ == Kind::Binary) return std::get<QByteArray>(value_);
    if (kind_ == Kind::String) return std::get<QString>(value_).toUtf8();
    return QByteArray();
}
