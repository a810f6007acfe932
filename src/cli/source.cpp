#include "cli/source.h"

#include "cli/cli_command.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "schema/snapshot_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString Source = QStringLiteral("tovimar-cli");

bool IsSnapshotName(const QString& source) {
    return source.endsWith(QStringLiteral(".schema"), Qt::CaseInsensitive);
}

// A snapshot always begins with its Database record; anything else is some other file given by
// mistake, which would otherwise read as an empty schema.
void CheckSnapshotHeader(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;  // reported by the reader
    QByteArray start = file.read(16);
    if (start.startsWith("\xEF\xBB\xBF")) start.remove(0, 3);
    if (!start.toLower().startsWith(";database;"))
        throw TovimarException(
            13, Source,
            QStringLiteral("%1 is not a snapshot: it does not begin with a Database record").arg(QDir::toNativeSeparators(path)));
}

std::unique_ptr<Tovimar_Database> LoadSnapshot(const QString& path, Progress& progress) {
    const QFileInfo info(path);
    if (!info.exists())
        throw TovimarException(53, Source, QStringLiteral("File not found: %1").arg(QDir::toNativeSeparators(path)));
    if (!info.isFile())
        throw TovimarException(75, Source, QStringLiteral("%1 is not a file").arg(QDir::toNativeSeparators(path)));
    CheckSnapshotHeader(path);
    auto db = std::make_unique<Tovimar_Database>();
    if (!LoadSchemaFile(path, *db, false, &progress)) {
        if (progress.Cancelled()) throw OperationAborted();
        throw TovimarException(75, Source, QStringLiteral("Cannot open %1").arg(QDir::toNativeSeparators(path)));
    }
    return db;
}

}  // namespace

QString SourceFormsHelp() {
    return QStringLiteral("  FILE.schema      a snapshot file written by the snapshot command\n");
}

std::unique_ptr<Tovimar_Database> LoadSource(const QString& source, Progress& progress) {
    if (source.isEmpty()) throw CliUsageError(QStringLiteral("SOURCE is empty"));
    if (IsSnapshotName(source)) return LoadSnapshot(source, progress);
    throw CliUsageError(QStringLiteral("%1 is not a SOURCE this program knows; expected:\n%2").arg(source, SourceFormsHelp()));
}
