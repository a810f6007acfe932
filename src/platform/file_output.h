#pragma once
// Writing a whole file so that a failure is seen and never leaves a half-written file in place
// of a good one.
#include <QByteArray>
#include <QString>

// Writes bytes to path (its folder is created when missing). A regular file, or a new one, is
// replaced only once the new content has been written completely; a failure leaves the old file
// as it was. A path that names something else (a device such as /dev/stdout, a pipe) is written
// directly, never replaced. Throws TovimarException 75 (source as given) naming the path and the
// system's error when the file cannot be opened, written, flushed or closed.
void WriteWholeFile(const QString& path, const QByteArray& bytes, const QString& source);
