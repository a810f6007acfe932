#include "platform/file_output.h"

#include "platform/tovimar_exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
[[noreturn]] void WriteFailed(const QString& path, const QString& error, const QString& source) {
    throw TovimarException(75, source, QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), error));
}
}  // namespace

void WriteWholeFile(const QString& path, const QByteArray& bytes, const QString& source) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        if (info.isDir()) WriteFailed(path, QStringLiteral("it is a folder"), source);
        // A device or a pipe: writing into it is what the user asked for; replacing it is not.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) WriteFailed(path, file.errorString(), source);
        if (file.write(bytes) != bytes.size() || !file.flush()) WriteFailed(path, file.errorString(), source);
        file.close();
        if (file.error() != QFileDevice::NoError) WriteFailed(path, file.errorString(), source);
        return;
    }
    QDir().mkpath(info.absolutePath());  // a failure shows when the file is opened
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) WriteFailed(path, file.errorString(), source);
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        WriteFailed(path, error, source);
    }
    if (!file.commit()) WriteFailed(path, file.errorString(), source);
}
