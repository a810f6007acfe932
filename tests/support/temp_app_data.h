#pragma once
// Points the program's folders (scripts, snapshots) at a fresh temporary folder while it lives.
#include "platform/app_paths.h"

#include <QTemporaryDir>

struct TempAppData {
    TempAppData() { SetAppDataRootForTesting(Dir.path()); }
    ~TempAppData() { SetAppDataRootForTesting(QString()); }
    QString filePath(const QString& name) const { return Dir.filePath(name); }
    QString path() const { return Dir.path(); }
    QTemporaryDir Dir;
};
