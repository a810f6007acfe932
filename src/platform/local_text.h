#pragma once
// The 8-bit text of the files the program writes (scripts, logs, snapshots): the locale's
// character encoding (LC_CTYPE). UTF-8 is used when the locale names no encoding, names a plain
// 7-bit one (the C locale's ASCII cannot carry the data) or one that is not available.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The name of the encoding in use, e.g. "UTF-8" or "ISO-8859-15".
QString LocalTextEncodingName();

// The text in the locale's encoding. Throws TovimarException when a character cannot be
// represented in it (silently writing "?" would corrupt the file's data).
QByteArray EncodeLocalText(const QString& text);
// Appends EncodeLocalText(text) to bytes (nothing when it throws); ASCII text for UTF-8 goes
// straight into bytes' own room.
void AppendEncodedLocalText(QByteArray& bytes, const QString& text);

// Bytes in the locale's encoding as text; a leading byte order mark is dropped, invalid
// sequences become U+FFFD.
QString DecodeLocalText(QByteArrayView bytes);
// Appends DecodeLocalText(bytes) to text, decoding straight into text's own room.
void AppendLocalText(QString& text, QByteArrayView bytes);
