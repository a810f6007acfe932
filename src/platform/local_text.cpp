#include "platform/local_text.h"

#include "platform/tovimar_exception.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <langinfo.h>

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
QByteArray EncodingName() {
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
    if (EncodingName() == "UTF-8" && QtPrivate::isAscii(QStringView(text))) {
        const qsizetype had = bytes.size();
        bytes.resize(had + text.size());
        // ASCII is its own UTF-8: the encoder writes as many bytes as the text has characters.
        QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        utf8.appendToBuffer(bytes.data() + had, text);
        return;
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
