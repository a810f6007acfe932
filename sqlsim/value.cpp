#include "sqlsim/value_ops.h"

#include <QLocale>
#include <array>
#include <QRegularExpression>
#include <climits>
#include <QTimeZone>
#include <cmath>
#include <utility>

namespace sqlsim {

namespace {

const BuiltinType kTypes[] = {
    {"image", XImage, 16, 0, 0, false},          {"text", XText, 16, 0, 0, false},
    {"uniqueidentifier", XUniqueIdentifier, 16, 0, 0, false},
    {"tinyint", XTinyInt, 1, 3, 0, false},       {"smallint", XSmallInt, 2, 5, 0, false},
    {"int", XInt, 4, 10, 0, false},              {"smalldatetime", XSmallDateTime, 4, 16, 0, false},
    {"real", XReal, 4, 24, 0, false},            {"money", XMoney, 8, 19, 4, false},
    {"datetime", XDateTime, 8, 23, 3, false},    {"float", XFloat, 8, 53, 0, false},
    {"sql_variant", XSqlVariant, 8016, 0, 0, false}, {"ntext", XNText, 16, 0, 0, false},
    {"bit", XBit, 1, 1, 0, false},               {"decimal", XDecimal, 9, 18, 0, true},
    {"numeric", XNumeric, 9, 18, 0, true},       {"smallmoney", XSmallMoney, 4, 10, 4, false},
    {"bigint", XBigInt, 8, 19, 0, false},        {"varbinary", XVarBinary, 1, 0, 0, true},
    {"varchar", XVarChar, 1, 0, 0, true},        {"binary", XBinary, 1, 0, 0, true},
    {"char", XChar, 1, 0, 0, true},              {"timestamp", XTimestamp, 8, 0, 0, false},
    {"nvarchar", XNVarChar, 2, 0, 0, true},      {"nchar", XNChar, 2, 0, 0, true},
};

Int128 Pow10(int n) {
    static const std::array<Int128, 39> powers = [] {
        std::array<Int128, 39> p{};
        p[0] = 1;
        for (size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
        return p;
    }();
    if (n >= 0 && n < static_cast<int>(powers.size())) return powers[static_cast<size_t>(n)];
    Int128 r = 1;
    for (int i = 0; i < n; ++i) r *= 10;
    return r;
}

Int128 Rescale(Int128 v, int from, int to) {
    if (to >= from) return v * Pow10(to - from);
    Int128 d = Pow10(from - to);
    Int128 q = v / d, rem = v % d;
    if (rem * 2 >= d) ++q;
    else if (rem * 2 <= -d) --q;
    return q;
}

// Multiplies by 10^n; false when the result would leave the 38 digits a decimal holds.
bool ScaleUp(Int128& v, int n) {
    const Int128 limit = Pow10(38);
    for (int i = 0; i < n; ++i) {
        if (v >= limit || v <= -limit) return false;
        v *= 10;
    }
    return v < limit && v > -limit;
}

bool Fits38(Int128 v) { return v < Pow10(38) && v > -Pow10(38); }

// money is a 64-bit count of ten-thousandths, smallmoney a 32-bit one.
bool FitsMoney(Int128 scaled4, int xtype) {
    const Int128 hi = xtype == XSmallMoney ? Int128(INT_MAX) : Int128(LLONG_MAX);
    return scaled4 <= hi && scaled4 >= -hi - 1;
}

SqlError Overflow(const QString& typeName) {
    return ErrGeneric(8115, 16, QStringLiteral("Arithmetic overflow error converting expression to data type %1.").arg(typeName));
}

QString TypeName(int xtype) {
    const BuiltinType* t = FindBuiltinType(xtype);
    return t ? QString::fromLatin1(t->name) : QStringLiteral("int");
}

int IntRank(int xtype) {
    switch (xtype) {
    case XBigInt: return 4;
    case XInt: return 3;
    case XSmallInt: return 2;
    case XTinyInt: return 1;
    default: return 0;  // bit
    }
}

}  // namespace

QString DecimalText(Int128 scaled, int scale) {
    const bool neg = scaled < 0;
    unsigned __int128 magnitude = neg ? 0 - static_cast<unsigned __int128>(scaled) : static_cast<unsigned __int128>(scaled);
    QString digits;
    do {
        digits.prepend(QChar(u'0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (scale > 0) {
        while (digits.size() <= scale) digits.prepend(u'0');
        digits.insert(digits.size() - scale, u'.');
    }
    return neg ? QStringLiteral("-") + digits : digits;
}

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

const BuiltinType* FindBuiltinType(const QString& name) {
    // Case folding keeps a name's length: only names of the same length can match. The type
    // names are ASCII: ASCII characters are folded here, a name with others is compared in full.
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    static const auto typeNames = [] {
        std::array<QLatin1String, std::size(kTypes)> names;
        for (size_t i = 0; i < names.size(); ++i) names[i] = QLatin1String(kTypes[i].name);
        return names;
    }();
    for (size_t k = 0; k < typeNames.size(); ++k) {
        const BuiltinType& t = kTypes[k];
        const QLatin1String typeName = typeNames[k];
        if (name.size() != typeName.size()) continue;
        qsizetype i = 0;
        while (i < name.size() && name[i].unicode() < 0x80 &&
               fold(name[i].unicode()) == fold(static_cast<char16_t>(typeName[i].unicode())))
            ++i;
        if (i == name.size()) return &t;
        if (name[i].unicode() >= 0x80 && name.compare(typeName, Qt::CaseInsensitive) == 0) return &t;
    }
    return nullptr;
}
const BuiltinType* FindBuiltinType(int xtype) {
    for (const BuiltinType& t : kTypes)
        if (t.xtype == xtype) return &t;
    return nullptr;
}
bool IsStringType(int x) { return x == XVarChar || x == XChar || x == XNVarChar || x == XNChar || x == XText || x == XNText; }
bool IsUnicodeType(int x) { return x == XNVarChar || x == XNChar || x == XNText; }
bool IsBinaryType(int x) { return x == XVarBinary || x == XBinary || x == XImage || x == XTimestamp; }
bool IsExactNumericType(int x) { return x == XDecimal || x == XNumeric || x == XMoney || x == XSmallMoney; }
bool IsIntegerType(int x) { return x == XInt || x == XSmallInt || x == XTinyInt || x == XBigInt || x == XBit; }

// ---------------------------------------------------------------- Value
Value Value::Float(double x, int xtype) { Value v; v.kind_ = Kind::Float; v.d_ = x; v.xtype_ = xtype; return v; }
Value Value::Decimal(Int128 s, int sc, int xtype) {
    Value v;
    v.kind_ = Kind::Decimal;
    v.n_.lo = static_cast<long long>(static_cast<unsigned long long>(s));
    v.n_.hi = static_cast<long long>(static_cast<unsigned __int128>(s) >> 64);
    v.scale_ = static_cast<unsigned char>(sc);
    v.xtype_ = xtype;
    return v;
}
Value Value::DateTime(const QDateTime& x, int xtype) {
    Value v;
    v.kind_ = Kind::DateTime;
    v.n_.lo = x.timeSpec() == Qt::UTC ? x.toMSecsSinceEpoch() : QDateTime(x.date(), x.time(), Qt::UTC).toMSecsSinceEpoch();
    v.xtype_ = xtype;
    return v;
}
Value Value::String(const QString& x, int xtype) {
    Value v;
    new (&v.s_) QString(x);
    v.kind_ = Kind::String;
    v.xtype_ = xtype;
    return v;
}
Value Value::Binary(const QByteArray& x, int xtype) {
    Value v;
    new (&v.b_) QByteArray(x);
    v.kind_ = Kind::Binary;
    v.xtype_ = xtype;
    return v;
}

long long Value::ConvertedInt() const {
    switch (kind_) {
    case Kind::Int: return n_.lo;
    case Kind::Float: return static_cast<long long>(d_);
    case Kind::Decimal: return static_cast<long long>(DecimalScaled() / Pow10(scale_));
    case Kind::String: return s_.trimmed().toLongLong();
    case Kind::Binary: {
        long long r = 0;
        for (char c : b_) r = (r << 8) | static_cast<unsigned char>(c);
        return r;
    }
    default: return 0;
    }
}

double Value::AsDouble() const {
    switch (kind_) {
    case Kind::Int: return static_cast<double>(n_.lo);
    case Kind::Float: return d_;
    case Kind::Decimal: return static_cast<double>(DecimalScaled()) / std::pow(10.0, scale_);
    case Kind::String: return s_.trimmed().toDouble();
    default: return AsInt();
    }
}

QString Value::AsString() const {
    switch (kind_) {
    case Kind::Null: return QString();
    case Kind::Int: return QString::number(n_.lo);
    case Kind::Float: return FormatNumberLikeServer(*this);
    case Kind::Decimal:
        if (xtype_ == XMoney || xtype_ == XSmallMoney)
            return DecimalText(Rescale(DecimalScaled(), scale_, 2), 2);
        return DecimalText(DecimalScaled(), scale_);
    case Kind::DateTime: return FormatDateTime(AsDateTime(), 0);
    case Kind::String: return s_;
    case Kind::Binary: return QString::fromLatin1(b_);
    }
    return QString();
}

QByteArray Value::AsBinary() const {
    switch (kind_) {
    case Kind::Binary: return b_;
    case Kind::String: return IsUnicodeType(xtype_) ? QByteArray(reinterpret_cast<const char*>(s_.utf16()), s_.size() * 2) : s_.toLatin1();
    case Kind::Int: {
        QByteArray r(4, 0);
        for (int k = 0; k < 4; ++k) r[3 - k] = static_cast<char>((n_.lo >> (8 * k)) & 0xff);
        return r;
    }
    default: return QByteArray();
    }
}

QDateTime Value::AsDateTime() const {
    return kind_ == Kind::DateTime ? QDateTime::fromMSecsSinceEpoch(n_.lo, Qt::UTC) : QDateTime();
}

// ---------------------------------------------------------------- formatting
QString FormatNumberLikeServer(const Value& v) {
    if (v.GetKind() == Value::Kind::Float) {
        double d = v.AsDouble();
        if (d == 0) return QStringLiteral("0");
        QString s = QString::number(d, 'g', 6);
        // The server writes three exponent digits: 1e+006.
        int e = static_cast<int>(s.indexOf(u'e'));
        if (e >= 0) {
            QString mant = s.left(e + 2);
            QString exp = s.mid(e + 2);
            while (exp.size() < 3) exp.prepend(u'0');
            s = mant + exp;
        }
        return s;
    }
    return v.AsString();
}

QString FormatDateTime(const QDateTime& t, int style) {
    const QDate d = t.date();
    const QTime tm = t.time();
    auto two = [](int n) { return QString::number(n).rightJustified(2, u'0'); };
    auto three = [](int n) { return QString::number(n).rightJustified(3, u'0'); };
    const QString mon = QString::fromLatin1(kMonths[d.month() - 1]);
    int base = style % 100;
    bool century = style >= 100 || style == 0 || style == 9 || style == 13 || style == 20 || style == 21;
    QString yy = century ? QString::number(d.year()).rightJustified(4, u'0') : two(d.year() % 100);
    switch (base) {
    case 1: return two(d.month()) + "/" + two(d.day()) + "/" + yy;
    case 2: return yy + "." + two(d.month()) + "." + two(d.day());
    case 3: return two(d.day()) + "/" + two(d.month()) + "/" + yy;
    case 4: return two(d.day()) + "." + two(d.month()) + "." + yy;
    case 5: return two(d.day()) + "-" + two(d.month()) + "-" + yy;
    case 6: return two(d.day()) + " " + mon + " " + yy;
    case 7: return mon + " " + two(d.day()) + ", " + yy;
    case 8: return two(tm.hour()) + ":" + two(tm.minute()) + ":" + two(tm.second());
    case 10: return two(d.month()) + "-" + two(d.day()) + "-" + yy;
    case 11: return yy + "/" + two(d.month()) + "/" + two(d.day());
    case 12: return yy + two(d.month()) + two(d.day());
    case 13:
        return two(d.day()) + " " + mon + " " + yy + " " + two(tm.hour()) + ":" + two(tm.minute()) + ":" +
               two(tm.second()) + ":" + three(tm.msec());
    case 14: return two(tm.hour()) + ":" + two(tm.minute()) + ":" + two(tm.second()) + ":" + three(tm.msec());
    case 20:
        return yy + "-" + two(d.month()) + "-" + two(d.day()) + " " + two(tm.hour()) + ":" + two(tm.minute()) + ":" + two(tm.second());
    case 21:
        return yy + "-" + two(d.month()) + "-" + two(d.day()) + " " + two(tm.hour()) + ":" + two(tm.minute()) + ":" +
               two(tm.second()) + "." + three(tm.msec());
    default: {
        int h = tm.hour() % 12;
        if (h == 0) h = 12;
        QString day = QString::number(d.day()).rightJustified(2, u' ');
        QString hour = QString::number(h).rightJustified(2, u' ');
        QString res = mon + " " + day + " " + yy + " " + hour + ":" + two(tm.minute());
        if (base == 9) res += ":" + two(tm.second()) + ":" + three(tm.msec());
        return res + (tm.hour() < 12 ? "AM" : "PM");
    }
    }
}

bool ParseDateTime(const QString& textIn, const QString& dateFormat, QDateTime& out) {
    QString text = textIn.trimmed();
    if (text.isEmpty()) {
        out = QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC);
        return true;
    }
    QDate date(1900, 1, 1);
    QTime time(0, 0);
    // Split off a time part: the first token containing ':' or AM/PM.
    QStringList tokens = text.split(u' ', Qt::SkipEmptyParts);
    QString datePart, timePart;
    for (const QString& tok : tokens) {
        if (tok.contains(u':') || tok.compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0 ||
            tok.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0 || tok.endsWith(QLatin1String("AM"), Qt::CaseInsensitive) ||
            tok.endsWith(QLatin1String("PM"), Qt::CaseInsensitive))
            timePart += tok;
        else
            datePart += (datePart.isEmpty() ? QString() : QStringLiteral(" ")) + tok;
    }
    if (text.contains(u'T') && text.size() >= 19 && text[10] == u'T') {
        datePart = text.left(10);
        timePart = text.mid(11);
    }
    auto fixYear = [](int y, int digits) { return digits <= 2 ? (y < 50 ? 2000 + y : 1900 + y) : y; };
    if (!datePart.isEmpty()) {
        static const QRegularExpression ymdDigits(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
        static const QRegularExpression sep(QStringLiteral("^(\\d{1,4})[-/.](\\d{1,2})[-/.](\\d{1,4})$"));
        static const QRegularExpression named(QStringLiteral("^([A-Za-z]{3,9})\\s+(\\d{1,2}),?\\s+(\\d{2,4})$"));
        static const QRegularExpression named2(QStringLiteral("^(\\d{1,2})\\s+([A-Za-z]{3,9}),?\\s+(\\d{2,4})$"));
        QRegularExpressionMatch m;
        if ((m = ymdDigits.match(datePart)).hasMatch()) {
            date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        } else if ((m = sep.match(datePart)).hasMatch()) {
            QString a = m.captured(1), b = m.captured(2), c = m.captured(3);
            if (a.size() == 4) {
                date = QDate(a.toInt(), b.toInt(), c.toInt());
            } else {
                QString f = dateFormat.toLower();
                int y = fixYear(c.toInt(), static_cast<int>(c.size()));
                if (f == "dmy") date = QDate(y, b.toInt(), a.toInt());
                else if (f == "ymd") date = QDate(fixYear(a.toInt(), static_cast<int>(a.size())), b.toInt(), c.toInt());
                else date = QDate(y, a.toInt(), b.toInt());
            }
        } else if ((m = named.match(datePart)).hasMatch() || (m = named2.match(datePart)).hasMatch()) {
            bool first = m.captured(1).at(0).isLetter();
            QString monName = (first ? m.captured(1) : m.captured(2)).left(3);
            int month = 0;
            for (int k = 0; k < 12; ++k)
                if (monName.compare(QLatin1String(kMonths[k]), Qt::CaseInsensitive) == 0) month = k + 1;
            if (month == 0) return false;
            int day = (first ? m.captured(2) : m.captured(1)).toInt();
            date = QDate(fixYear(m.captured(3).toInt(), static_cast<int>(m.captured(3).size())), month, day);
        } else {
            return false;
        }
        if (!date.isValid()) return false;
    }
    if (!timePart.isEmpty()) {
        static const QRegularExpression tre(QStringLiteral("^(\\d{1,2})(?::(\\d{1,2}))?(?::(\\d{1,2}))?(?:[.:](\\d{1,3}))?\\s*([AaPp][Mm])?$"));
        QRegularExpressionMatch m = tre.match(timePart);
        if (!m.hasMatch()) return false;
        int h = m.captured(1).toInt(), mi = m.captured(2).toInt(), s = m.captured(3).toInt();
        QString msText = m.captured(4);
        int ms = msText.isEmpty() ? 0 : msText.leftJustified(3, u'0').toInt();
        QString ampm = m.captured(5).toUpper();
        if (ampm == "PM" && h < 12) h += 12;
        if (ampm == "AM" && h == 12) h = 0;
        time = QTime(h, mi, s, ms);
        if (!time.isValid()) return false;
    }
    if (date.year() < 1753 || date.year() > 9999) return false;
    out = QDateTime(date, time, Qt::UTC);
    return true;
}

bool Truthy(const Value& v) {
    if (v.IsNull()) return false;
    if (v.GetKind() == Value::Kind::Float) return v.AsDouble() != 0;
    if (v.GetKind() == Value::Kind::Decimal) return v.DecimalScaled() != 0;
    return v.AsInt() != 0;
}

// ---------------------------------------------------------------- comparison
namespace {

QStringView TrimRightView(QStringView s) {
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == u' ') --n;
    return s.left(n);
}

thread_local QString tlDateFormat = QStringLiteral("mdy");
thread_local bool tlCaseSensitive = false;

Value StringToNumber(const Value& s, const Value& like) {
    QString t = s.AsString().trimmed();
    if (like.GetKind() == Value::Kind::Float) return Value::Float(t.toDouble());
    if (like.GetKind() == Value::Kind::Decimal || t.contains(u'.')) {
        Value d = ConvertTo(s, XNumeric, 0, 38, t.contains(u'.') ? static_cast<int>(t.size() - t.indexOf(u'.') - 1) : 0, 0, tlDateFormat);
        return d;
    }
    bool ok = false;
    long long v = t.toLongLong(&ok);
    if (!ok)
        throw ErrGeneric(245, 16, QStringLiteral("Syntax error converting the varchar value '%1' to a column of data type %2.")
                                      .arg(s.AsString(), TypeName(like.XTypeCode())));
    return Value::Int(v, XInt);
}

}  // namespace

bool IsCaseSensitiveCollation(const QString& collation) {
    return collation.contains(QLatin1String("_CS"), Qt::CaseInsensitive) || collation.contains(QLatin1String("_BIN"), Qt::CaseInsensitive);
}
void SetThreadCaseSensitive(bool caseSensitive) { tlCaseSensitive = caseSensitive; }
bool ThreadCaseSensitive() { return tlCaseSensitive; }

int CompareValues(const Value& a, const Value& b) {
    using K = Value::Kind;
    if (a.GetKind() == K::Int && b.GetKind() == K::Int) {
        const long long x = a.AsInt(), y = b.AsInt();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (a.GetKind() == K::String && b.GetKind() == K::String) {
        const QStringView x = TrimRightView(a.TextView()), y = TrimRightView(b.TextView());
        // Copies of one text (a name read on many rows of a join) share their characters.
        if (x.data() == y.data() && x.size() == y.size()) return 0;
        // ASCII characters are compared with their letters folded in place; from the first other
        // character on, the general comparison decides (it folds character by character too).
        const qsizetype n = std::min(x.size(), y.size());
        qsizetype i = 0;
        int c = 0;
        for (; i < n; ++i) {
            char16_t p = x[i].unicode(), q = y[i].unicode();
            if (p == q) continue;
            if (p >= 0x80 || q >= 0x80) break;
            if (p >= u'A' && p <= u'Z') p = static_cast<char16_t>(p + 32);
            if (q >= u'A' && q <= u'Z') q = static_cast<char16_t>(q + 32);
            if (p != q) {
                c = p < q ? -1 : 1;
                break;
            }
        }
        if (i == n) c = x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
        else if (c == 0) c = x.sliced(i).compare(y.sliced(i), Qt::CaseInsensitive);
        // A case-sensitive collation still sorts alphabetically; of two spellings of one word
        // the lower-case one comes first.
        if (c == 0 && tlCaseSensitive) c = -x.compare(y, Qt::CaseSensitive);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (a.GetKind() == K::DateTime || b.GetKind() == K::DateTime) {
        Value x = a.GetKind() == K::DateTime ? a : ConvertTo(a, XDateTime, 8, 0, 0, 0, tlDateFormat);
        Value y = b.GetKind() == K::DateTime ? b : ConvertTo(b, XDateTime, 8, 0, 0, 0, tlDateFormat);
        qint64 p = x.AsDateTime().toMSecsSinceEpoch(), q = y.AsDateTime().toMSecsSinceEpoch();
        return p < q ? -1 : p > q ? 1 : 0;
    }
    if (a.GetKind() == K::Binary && b.GetKind() == K::Binary) {
        int c = a.AsBinary().compare(b.AsBinary());
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (a.GetKind() == K::String && b.IsNumeric()) return CompareValues(StringToNumber(a, b), b);
    if (b.GetKind() == K::String && a.IsNumeric()) return CompareValues(a, StringToNumber(b, a));
    if (a.GetKind() == K::Float || b.GetKind() == K::Float) {
        double x = a.AsDouble(), y = b.AsDouble();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (a.IsNumeric() && b.IsNumeric()) {
        int sa = a.GetKind() == K::Decimal ? a.DecimalScale() : 0;
        int sb = b.GetKind() == K::Decimal ? b.DecimalScale() : 0;
        Int128 x = a.GetKind() == K::Decimal ? Int128(a.DecimalScaled()) : Int128(a.AsInt());
        Int128 y = b.GetKind() == K::Decimal ? Int128(b.DecimalScaled()) : Int128(b.AsInt());
        const int s = std::max(sa, sb);
        if (!ScaleUp(x, s - sa) || !ScaleUp(y, s - sb)) {
            const double p = a.AsDouble(), q = b.AsDouble();
            return p < q ? -1 : p > q ? 1 : 0;
        }
        return x < y ? -1 : x > y ? 1 : 0;
    }
    int c = QString::compare(a.AsString(), b.AsString(), ThreadCaseSensitivity());
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

QString HashKey(const Value& v) {
    switch (v.GetKind()) {
    case Value::Kind::Null: return QStringLiteral("\x01null");
    case Value::Kind::Int: return QString::number(v.AsInt());
    case Value::Kind::Float: return QString::number(v.AsDouble(), 'g', 17);
    case Value::Kind::Decimal: {
        if (v.DecimalScaled() % Pow10(v.DecimalScale()) == 0)
            return DecimalText(v.DecimalScaled() / Pow10(v.DecimalScale()), 0);
        // Beyond a double's 15 digits two different decimals could share a key: keep them exact.
        Int128 m = v.DecimalScaled();
        int scale = v.DecimalScale();
        if (m < Pow10(15) && m > -Pow10(15)) return QString::number(v.AsDouble(), 'g', 17);
        while (m % 10 == 0) { m /= 10; --scale; }
        return DecimalText(m, scale);
    }
    case Value::Kind::String: {
        const QStringView text = TrimRightView(v.TextView());
        return QStringLiteral("s") + (tlCaseSensitive ? text.toString() : text.toString().toLower());
    }
    case Value::Kind::DateTime: return QStringLiteral("d") + QString::number(v.AsDateTime().toMSecsSinceEpoch());
    case Value::Kind::Binary: return QStringLiteral("b") + QString::fromLatin1(v.AsBinary().toHex());
    }
    return QString();
}

// ---------------------------------------------------------------- arithmetic
namespace {

struct Dec {
    Int128 v;
    int scale;
};
Dec ToDec(const Value& x) {
    if (x.GetKind() == Value::Kind::Decimal) return Dec{x.DecimalScaled(), x.DecimalScale()};
    return Dec{x.AsInt(), 0};
}

Value MakeDecimal(Int128 v, int scale, int xtype) {
    if (xtype == XMoney || xtype == XSmallMoney) {
        if (scale > 4) v = Rescale(v, scale, 4);
        if (!ScaleUp(v, 4 - std::min(scale, 4)) || !FitsMoney(v, xtype)) throw Overflow(TypeName(xtype));
        return Value::Decimal(v, 4, xtype);
    }
    // Reduce the scale until the value fits 38 digits.
    while (!Fits38(v) && scale > 0) {
        v = Rescale(v, scale, scale - 1);
        --scale;
    }
    if (!Fits38(v)) throw Overflow(TypeName(xtype));
    return Value::Decimal(v, scale, xtype);
}

// Brings two operands to one scale for + and -, giving up decimals of the finer one where the
// coarser one has no room left for more digits.
int CommonScale(Dec& x, Dec& y, int xtype) {
    int s = std::max(x.scale, y.scale);
    for (;;) {
        Int128 p = x.v, q = y.v;
        if (ScaleUp(p, s - std::min(s, x.scale)) && ScaleUp(q, s - std::min(s, y.scale))) {
            x.v = x.scale > s ? Rescale(x.v, x.scale, s) : p;
            y.v = y.scale > s ? Rescale(y.v, y.scale, s) : q;
            x.scale = y.scale = s;
            return s;
        }
        if (s == 0) throw Overflow(TypeName(xtype));
        --s;
    }
}

int NumericResultType(const Value& a, const Value& b) {
    auto rank = [](const Value& v) {
        int x = v.XTypeCode();
        if (v.GetKind() == Value::Kind::Float) return 10;
        if (x == XDecimal || x == XNumeric) return 9;
        if (x == XMoney) return 8;
        if (x == XSmallMoney) return 7;
        return IntRank(x);
    };
    const Value& hi = rank(a) >= rank(b) ? a : b;
    if (hi.GetKind() == Value::Kind::Float) return XFloat;
    return hi.XTypeCode() == XDecimal ? XNumeric : hi.XTypeCode();
}

}  // namespace

Value Negate(const Value& a) {
    switch (a.GetKind()) {
    case Value::Kind::Int: {
        const int xt = a.XTypeCode() == XBigInt ? XBigInt : XInt;
        // The lowest int and bigint have no positive counterpart.
        if (a.AsInt() == (xt == XBigInt ? LLONG_MIN : INT_MIN)) throw Overflow(TypeName(xt));
        return Value::Int(-a.AsInt(), a.XTypeCode() == XTinyInt || a.XTypeCode() == XBit ? XInt : a.XTypeCode());
    }
    case Value::Kind::Float: return Value::Float(-a.AsDouble(), a.XTypeCode());
    case Value::Kind::Decimal: return Value::Decimal(-a.DecimalScaled(), a.DecimalScale(), a.XTypeCode());
    default: return a;
    }
}

namespace {
// An operator's text compared with the words below by length first, then by its characters: it
// runs for every row of a query that computes.
struct OperatorName {
    const QString& text;
    template <size_t N>
    bool operator==(const char (&word)[N]) const {
        if (text.size() != static_cast<qsizetype>(N) - 1) return false;
        for (size_t i = 0; i + 1 < N; ++i)
            if (text[static_cast<qsizetype>(i)].unicode() != static_cast<unsigned char>(word[i])) return false;
        return true;
    }
};
}  // namespace

Value Arithmetic(const QString& op, Value&& a, Value&& b) {
    if (a.IsText() && b.IsText() && op.size() == 1 && op[0] == u'+') {
        const int xt = IsUnicodeType(a.XTypeCode()) || IsUnicodeType(b.XTypeCode()) ? XNVarChar : XVarChar;
        QString text = a.TakeText();
        text += b.TextView();
        return Value::String(text, xt);
    }
    return Arithmetic(op, std::as_const(a), std::as_const(b));
}

Value Arithmetic(const QString& op, const Value& aIn, const Value& bIn) {
    using K = Value::Kind;
    const OperatorName o{op};
    if (aIn.IsNull() || bIn.IsNull()) {
        int xt = (IsStringType(aIn.XTypeCode()) && IsStringType(bIn.XTypeCode())) ? aIn.XTypeCode() : XInt;
        return Value::Null(xt);
    }
    if (aIn.GetKind() == K::String && bIn.GetKind() == K::String && o == "+") {
        const int xt = IsUnicodeType(aIn.XTypeCode()) || IsUnicodeType(bIn.XTypeCode()) ? XNVarChar : XVarChar;
        return Value::String(aIn.AsString() + bIn.AsString(), xt);
    }
    Value a = aIn, b = bIn;
    if (o == "+" && a.GetKind() == K::Binary && b.GetKind() == K::Binary)
        return Value::Binary(a.AsBinary() + b.AsBinary(), XVarBinary);
    if (a.GetKind() == K::DateTime || b.GetKind() == K::DateTime) {
        if (a.GetKind() == K::DateTime && (o == "+" || o == "-") && b.GetKind() != K::DateTime) {
            double days = b.GetKind() == K::String ? 0 : b.AsDouble();
            qint64 ms = static_cast<qint64>(std::llround(days * 86400000.0));
            return Value::DateTime(a.AsDateTime().addMSecs(o == "+" ? ms : -ms), a.XTypeCode());
        }
        if (b.GetKind() == K::DateTime && o == "+" && a.IsNumeric())
            return Arithmetic(op, b, a);
        throw ErrGeneric(8117, 16, QStringLiteral("Operand data type datetime is invalid for %1 operator.").arg(o == "-" ? "subtract" : o == "*" ? "multiply" : o == "/" ? "divide" : "add"));
    }
    if (a.GetKind() == K::String) a = StringToNumber(a, b);
    if (b.GetKind() == K::String) b = StringToNumber(b, a);
    if (a.GetKind() == K::Binary) a = Value::Int(a.AsInt(), XInt);
    if (b.GetKind() == K::Binary) b = Value::Int(b.AsInt(), XInt);
    if (o == "&" || o == "|" || o == "^") {
        long long x = a.AsInt(), y = b.AsInt();
        long long r = o == "&" ? (x & y) : o == "|" ? (x | y) : (x ^ y);
        return Value::Int(r, IntRank(a.XTypeCode()) >= IntRank(b.XTypeCode()) ? a.XTypeCode() : b.XTypeCode());
    }
    const int rt = NumericResultType(a, b);
    if (rt == XFloat) {
        double x = a.AsDouble(), y = b.AsDouble();
        if ((o == "/" || o == "%") && y == 0) throw ErrGeneric(8134, 16, QStringLiteral("Divide by zero error encountered."));
        double r = o == "+" ? x + y : o == "-" ? x - y : o == "*" ? x * y : o == "/" ? x / y : std::fmod(x, y);
        return Value::Float(r, XFloat);
    }
    if (IsIntegerType(rt)) {
        Int128 x = a.AsInt(), y = b.AsInt();
        if ((o == "/" || o == "%") && y == 0) throw ErrGeneric(8134, 16, QStringLiteral("Divide by zero error encountered."));
        Int128 r = o == "+" ? x + y : o == "-" ? x - y : o == "*" ? x * y : o == "/" ? x / y : x % y;
        int xt = rt == XBit || rt == XTinyInt || rt == XSmallInt ? XInt : rt;
        Int128 lim = xt == XBigInt ? Int128(9223372036854775807LL) : Int128(2147483647);
        if (r > lim || r < -lim - 1) throw Overflow(TypeName(xt));
        return Value::Int(static_cast<long long>(r), xt);
    }
    Dec x = ToDec(a), y = ToDec(b);
    if (o == "+" || o == "-") {
        const int s = CommonScale(x, y, rt);
        // Both operands are below 10^38, so their sum still fits 128 bits.
        return MakeDecimal(o == "+" ? x.v + y.v : x.v - y.v, s, rt);
    }
    if (o == "*") {
        // A product beyond 128 bits gives up decimals of its operands first, as the server
        // reduces the scale of a result that needs more than 38 digits.
        Int128 r;
        while (__builtin_mul_overflow(x.v, y.v, &r)) {
            Dec& finer = x.scale >= y.scale ? x : y;
            if (finer.scale == 0) throw Overflow(TypeName(rt));
            finer.v = Rescale(finer.v, finer.scale, finer.scale - 1);
            --finer.scale;
        }
        return MakeDecimal(r, x.scale + y.scale, rt);
    }
    if (y.v == 0) throw ErrGeneric(8134, 16, QStringLiteral("Divide by zero error encountered."));
    if (o == "%") {
        const int s = CommonScale(x, y, rt);
        return MakeDecimal(x.v % y.v, s, rt);
    }
    // Division keeps at least six decimals, as the server does for numeric results.
    int s = std::max(6, x.scale);
    if (rt == XMoney || rt == XSmallMoney) s = 4;
    // Keep the scaled dividend inside 128 bits: fewer decimals for very large operands.
    auto digits = [](Int128 v) {
        int d = 1;
        if (v < 0) v = -v;
        while (v >= 10) { v /= 10; ++d; }
        return d;
    };
    while (s > 0 && digits(x.v) + (s - x.scale + y.scale + 1) > 37) --s;
    if (digits(x.v) + (s - x.scale + y.scale + 1) > 37) throw Overflow(TypeName(rt));
    Int128 num = x.v * Pow10(s - x.scale + y.scale + 1);
    Int128 q = num / y.v;
    q = (q >= 0 ? q + 5 : q - 5) / 10;
    return MakeDecimal(q, s, rt);
}

// ---------------------------------------------------------------- conversion
Value ConvertToType(const Value& v, const TypeSpec& type, int style, const QString& dateFormat) {
    const BuiltinType* t = FindBuiltinType(type.name);
    if (!t) {
        if (type.name.compare(QLatin1String("sysname"), Qt::CaseInsensitive) == 0)
            return ConvertTo(v, XNVarChar, 256, 0, 0, style, dateFormat);
        throw ErrGeneric(243, 16, QStringLiteral("Type %1 is not a defined system type.").arg(type.name));
    }
    int length = type.length;
    int prec = type.precision, scale = type.scale;
    if (t->xtype == XDecimal || t->xtype == XNumeric) {
        if (prec < 0) prec = 18;
        if (scale < 0) scale = 0;
    }
    if (length < 0 && t->variable && IsStringType(t->xtype)) length = 30;
    if (length < 0 && t->variable && IsBinaryType(t->xtype)) length = 30;
    if (IsUnicodeType(t->xtype) && length > 0) length *= 2;
    return ConvertTo(v, t->xtype, length < 0 ? t->length : length, prec, scale, style, dateFormat);
}

Value ConvertTo(const Value& v, int xtype, int length, int prec, int scale, int style, const QString& dateFormat) {
    using K = Value::Kind;
    if (v.IsNull()) return Value::Null(xtype);
    const QString fromName = TypeName(v.XTypeCode());
    if (IsStringType(xtype) || xtype == XUniqueIdentifier || xtype == XSqlVariant) {
        QString s;
        if (v.GetKind() == K::DateTime) s = FormatDateTime(v.AsDateTime(), style);
        else if (v.GetKind() == K::Decimal && (v.XTypeCode() == XMoney || v.XTypeCode() == XSmallMoney) && style == 2)
            s = DecimalText(Rescale(v.DecimalScaled(), v.DecimalScale(), 4), 4);
        else if (v.GetKind() == K::Binary && IsUnicodeType(xtype)) {
            QByteArray b = v.AsBinary();
            s = QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData()), b.size() / 2);
        } else s = v.AsString();
        int chars = IsUnicodeType(xtype) ? length / 2 : length;
        if (xtype != XText && xtype != XNText && xtype != XUniqueIdentifier && xtype != XSqlVariant && chars > 0) {
            if (v.IsNumeric() && s.size() > chars && v.GetKind() == K::Int)
                throw ErrGeneric(8115, 16, QStringLiteral("Arithmetic overflow error converting expression to data type %1.").arg(TypeName(xtype)));
            if (s.size() > chars) s.truncate(chars);
            if (xtype == XChar || xtype == XNChar) s = s.leftJustified(chars, u' ');
        }
        return Value::String(s, xtype);
    }
    if (IsIntegerType(xtype)) {
        long long r = 0;
        if (v.GetKind() == K::String) {
            bool ok = false;
            QString t = v.AsString().trimmed();
            r = t.toLongLong(&ok);
            static const QRegularExpression wholeNumber(QStringLiteral("^[-+]?\\d+$"));
            if (!ok && wholeNumber.match(t).hasMatch()) throw Overflow(TypeName(xtype));
            if (!ok) {
                if (t.isEmpty()) r = 0;
                else
                    throw ErrGeneric(245, 16, QStringLiteral("Syntax error converting the %1 value '%2' to a column of data type %3.")
                                                  .arg(IsUnicodeType(v.XTypeCode()) ? "nvarchar" : "varchar", v.AsString(), TypeName(xtype)));
            }
        } else if (v.GetKind() == K::DateTime) {
            r = QDate(1900, 1, 1).daysTo(v.AsDateTime().date());
        } else if (v.GetKind() == K::Decimal) {
            const Int128 whole = v.DecimalScaled() / Pow10(v.DecimalScale());
            if (whole > Int128(LLONG_MAX) || whole < Int128(LLONG_MIN)) throw Overflow(TypeName(xtype));
            r = static_cast<long long>(whole);
        } else if (v.GetKind() == K::Float) {
            // 2^63 is exact as a double: anything at or beyond it is out of bigint's range.
            const double d = std::trunc(v.AsDouble());
            if (!(d < 9223372036854775808.0 && d >= -9223372036854775808.0)) throw Overflow(TypeName(xtype));
            r = static_cast<long long>(d);
        } else {
            r = v.AsInt();
        }
        if (xtype == XBit) return Value::Int(r != 0 ? 1 : 0, XBit);
        long long lo = xtype == XTinyInt ? 0 : xtype == XSmallInt ? -32768 : xtype == XInt ? -2147483648LL : LLONG_MIN;
        long long hi = xtype == XTinyInt ? 255 : xtype == XSmallInt ? 32767 : xtype == XInt ? 2147483647LL : LLONG_MAX;
        if (r < lo || r > hi) throw Overflow(TypeName(xtype));
        return Value::Int(r, xtype);
    }
    if (xtype == XFloat || xtype == XReal) {
        if (v.GetKind() == K::String) {
            bool ok = false;
            double d = v.AsString().trimmed().toDouble(&ok);
            if (!ok) throw ErrGeneric(8114, 16, QStringLiteral("Error converting data type %1 to float.").arg(fromName));
            return Value::Float(d, xtype);
        }
        double d = v.AsDouble();
        if (xtype == XReal) d = static_cast<double>(static_cast<float>(d));
        return Value::Float(d, xtype);
    }
    if (IsExactNumericType(xtype)) {
        if (xtype == XMoney || xtype == XSmallMoney) { scale = 4; prec = xtype == XMoney ? 19 : 10; }
        if (prec <= 0) prec = 18;
        if (scale < 0) scale = 0;
        prec = std::min(prec, 38);
        const QString target = xtype == XMoney || xtype == XSmallMoney ? TypeName(xtype) : QStringLiteral("numeric");
        Int128 r;
        if (v.GetKind() == K::Decimal) {
            r = v.DecimalScaled();
            if (v.DecimalScale() > scale) r = Rescale(r, v.DecimalScale(), scale);
            else if (!ScaleUp(r, scale - v.DecimalScale())) throw Overflow(target);
        } else if (v.GetKind() == K::Float) {
            const double d = std::round(v.AsDouble() * std::pow(10.0, scale));
            if (!(std::fabs(d) < 1e38)) throw Overflow(target);
            r = static_cast<Int128>(d);
        } else if (v.GetKind() == K::String) {
            QString t = v.AsString().trimmed();
            static const QRegularExpression num(QStringLiteral("^([-+]?)\\$?(\\d*)(?:\\.(\\d*))?$"));
            auto m = num.match(t);
            if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
                throw ErrGeneric(8114, 16, QStringLiteral("Error converting data type %1 to %2.").arg(fromName, TypeName(xtype)));
            QString whole = m.captured(2);
            while (whole.startsWith(u'0')) whole.remove(0, 1);
            const QString frac = m.captured(3);
            // More whole digits than the type holds overflow before any arithmetic.
            if (whole.size() > prec - scale) throw Overflow(target);
            r = 0;
            for (QChar c : whole + frac.left(scale).leftJustified(scale, u'0')) r = r * 10 + (c.unicode() - u'0');
            if (frac.size() > scale && frac[scale] >= u'5') ++r;  // round half away from zero
            if (m.captured(1) == "-") r = -r;
        } else {
            r = Int128(v.AsInt());
            if (!ScaleUp(r, scale)) throw Overflow(target);
        }
        if (xtype == XMoney || xtype == XSmallMoney) {
            if (!FitsMoney(r, xtype)) throw Overflow(target);
        } else if (r >= Pow10(prec) || r <= -Pow10(prec)) {
            throw Overflow(target);
        }
        return Value::Decimal(r, scale, xtype);
    }
    if (xtype == XDateTime || xtype == XSmallDateTime) {
        QDateTime out;
        if (v.GetKind() == K::DateTime) out = v.AsDateTime();
        else if (v.GetKind() == K::String) {
            if (!ParseDateTime(v.AsString(), dateFormat, out))
                throw ErrGeneric(241, 16, QStringLiteral("Syntax error converting datetime from character string."));
        } else if (v.IsNumeric()) {
            out = QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC).addMSecs(static_cast<qint64>(std::llround(v.AsDouble() * 86400000.0)));
        } else {
            throw ErrGeneric(529, 16, QStringLiteral("Explicit conversion from data type %1 to datetime is not allowed.").arg(fromName));
        }
        if (xtype == XSmallDateTime) {
            QTime t = out.time();
            int mins = t.hour() * 60 + t.minute() + (t.second() >= 30 ? 1 : 0);
            out = QDateTime(out.date(), QTime(0, 0), Qt::UTC).addSecs(mins * 60);
        }
        return Value::DateTime(out, xtype);
    }
    if (IsBinaryType(xtype)) {
        QByteArray b = v.AsBinary();
        if (v.GetKind() == K::Decimal || v.GetKind() == K::Float) b = Value::Int(v.AsInt()).AsBinary();
        if (xtype != XImage && length > 0) {
            if (b.size() > length) b = b.right(length);
            if (xtype == XBinary && b.size() < length) b.append(QByteArray(length - b.size(), '\0'));
        }
        return Value::Binary(b, xtype);
    }
    return v;
}

void SetThreadDateFormat(const QString& f);
void SetThreadDateFormat(const QString& f) { tlDateFormat = f; }

}  // namespace sqlsim
