#pragma once
// Points the settings store at a fresh temporary folder ($XDG_CONFIG_HOME) for one test and
// forgets the passwords of earlier tests; the previous folder is restored afterwards.
#include "main/settings_store.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

class TempSettings {
public:
    TempSettings() : previous_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
        ClearPasswordCache();
    }
    ~TempSettings() {
        if (previous_.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", previous_);
        ClearPasswordCache();
    }
    QString Folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};
