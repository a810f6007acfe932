#include "platform/local_text.h"

#include "platform/tovimar_exception.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <langinfo.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// The locale's codeset, or UTF-8 where that cannot serve.
QByteArray EncodingNameOf(const char* codeset) {
    QByteArray name = codeset ? QByteArray(codeset) : QByteArray();
    const QByteArray upper = name.toUpper();
    if (name.isEmpty() || upper == "ANSI_X3.4-1968" || upper == "ASCII" || upper == "US-ASCII" ||
        upper == "646")
        return QByteArrayLiteral("UTF-8");
    if (!QStringEncoder(name.constData()).isValid()) return QByteArrayLiteral("UTF-8");
    return name;
}

// The same, worked out again only when the locale's codeset changes: an execution log encodes
// every line it writes.
const QByteArray& EncodingName() {
    const char* codeset = nl_langinfo(CODESET);
    thread_local QByteArray lastCodeset;
    thread_local QByteArray lastName;
    if (lastName.isEmpty() || lastCodeset != QByteArrayView(codeset ? codeset : "")) {
        lastCodeset = QByteArray(codeset ? codeset : "");
        lastName = EncodingNameOf(codeset);
    }
    return lastName;
}
}  // namespace

QString LocalTextEncodingName() { return QString::fromLatin1(EncodingName()); }

QByteArray EncodeLocalText(const QString& text) {
    const QByteArray name = EncodingName();
    // ASCII is the same bytes in UTF-8 and cannot be lost.
    if (name == "UTF-8" && QtPrivate::isAscii(QStringView(text))) return text.toLatin1();
    QStringEncoder encoder(name.constData(), QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    // Some encoders put "?" in place of what they cannot hold without reporting it; reading the
    // bytes back shows every such loss.
    QStringDecoder check(name.constData(),
                         QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    if (encoder.hasError() || check.decode(bytes) != text)
        throw TovimarException(
            5, QStringLiteral("EncodeLocalText"),
            QStringLiteral("The text holds characters that the encoding %1 cannot represent")
                .arg(LocalTextEncodingName()));
    return bytes;
}

void AppendEncodedLocalText(QByteArray& bytes, const QString& text) {
    if (EncodingName() == "UTF-8") {
        // ASCII is its own UTF-8, a byte per character: copied as it is checked. A text with any
        // other character is taken back off and encoded as a whole.
        const qsizetype had = bytes.size();
        bytes.resize(had + text.size());
        char* out = bytes.data() + had;
        const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
        const qsizetype size = text.size();
        qsizetype i = 0;
        bool ascii = true;
#if defined(__SSE2__)
        // Eight characters at a time: narrowed to bytes, their high bits gathered.
        __m128i seen = _mm_setzero_si128();
        for (; i + 8 <= size; i += 8) {
            const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            seen = _mm_or_si128(seen, chars);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(chars, chars));
        }
        ascii = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(seen, _mm_set1_epi16(-0x80)), _mm_setzero_si128())) == 0xffff;
#endif
        char16_t rest = 0;
        for (; i < size; ++i) {
            rest |= in[i];
            out[i] = static_cast<char>(in[i]);
        }
        if (ascii && rest < 0x80) return;
        bytes.resize(had);
    }
    bytes += EncodeLocalText(text);
}

QString DecodeLocalText(QByteArrayView bytes) {
    QStringDecoder decoder(EncodingName().constData(), QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

void AppendLocalText(QString& text, QByteArrayView bytes) {
    QStringDecoder decoder(EncodingName().constData(), QStringConverter::Flag::Stateless);
    const qsizetype had = text.size();
    text.resize(had + decoder.requiredSpace(bytes.size()));
    const QChar* end = decoder.appendToBuffer(text.data() + had, bytes);
    text.truncate(end - text.constData());
}
