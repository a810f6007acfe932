#include "platform/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString& TestRoot() {
    static QString root;
    return root;
}

// True when files can be created in folder: it is a writable folder, or it does not exist and
// its nearest existing ancestor is writable.
bool CanWriteIn(const QString& folder) {
    QFileInfo info(folder);
    if (info.exists()) return info.isDir() && info.isWritable();
    const QString parent = info.absolutePath();
    return parent != info.absoluteFilePath() && CanWriteIn(parent);
}
}  // namespace

QString ProgramFolder() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    // Without an application object (library use, tests) ask the system for the executable.
    const QFileInfo exe(QStringLiteral("/proc/self/exe"));
    return exe.exists() ? QFileInfo(exe.symLinkTarget()).absolutePath() : QString();
}

QString ChooseAppDataFolder(const QString& programFolder, const QString& name) {
    if (!programFolder.isEmpty()) {
        const QString beside = QDir(programFolder).filePath(name);
        if (CanWriteIn(beside)) return beside;
    }
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data)) data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir(data).filePath(QStringLiteral("Pellow/Tovimar/") + name);
}

QString AppDataFolder(const QString& name) {
    if (!TestRoot().isEmpty()) return QDir(TestRoot()).filePath(name);
    return ChooseAppDataFolder(ProgramFolder(), name);
}

void SetAppDataRootForTesting(const QString& root) { TestRoot() = root; }
