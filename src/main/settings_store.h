#pragma once
// The per-user settings store and its registry-style wrapper RegKey.
//
// Settings keep the layout of a registry key tree (keys, sub keys, named values and a default
// value per key) on top of one INI file, $XDG_CONFIG_HOME/Pellow/Tovimar.ini (~/.config when the
// variable is not set). The key "HKCU\Software\Pellow\Tovimar" is the file's top level; no other
// root exists on this platform. Value and key names are matched without regard to case, as the
// registry does. Passwords are never written: they live in the in-memory cache below.
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class RegKey;
using RegKeyPtr = std::unique_ptr<RegKey>;

class RegKey {
public:
    // The predefined root a name stands for ("HKCU" or "HKEY_CURRENT_USER" ...), compared
    // without regard to case; an empty string for an unknown name.
    static QString GetRootHandle(const QString& name);

    // Opens the key at a full path such as "HKCU\Software\Pellow\Tovimar", part by part,
    // creating missing parts when create is true. None when a part is missing (and not
    // created) or the path leaves the settings key.
    static RegKeyPtr Key(const QString& path, bool create);

    // The sub key name (one part, or several separated by "\"); none when it is missing and
    // create is false.
    RegKeyPtr OpenKey(const QString& name, bool create) const;

    // The value's data (a string or a number); a null QVariant when it is absent. An empty name
    // reads the key's default value.
    QVariant GetValue(const QString& name) const;
    // A null data deletes the value; an integer is kept as a number, anything else as text.
    void SetValue(const QString& name, const QVariant& data);
    // Reads the value named by the last part of path in the sub key named by the rest; a path
    // without "\" names a value of this key.
    QVariant Value(const QString& path) const;
    void SetValueAt(const QString& path, const QVariant& data);

    // Deletes the sub key; with withSubKeys its sub keys go too, without it a key that still
    // has sub keys is kept. Returns whether the key is gone.
    bool DeleteKey(const QString& name, bool withSubKeys);
    // The names of all sub keys in stored order.
    QStringList SubKeys() const;
    // That value of each sub key instead of its name (empty text when absent).
    QStringList SubKeyValues(const QString& valueName) const;

    // The key's path below the settings key ("" for the settings key itself).
    QString Path() const { return group_; }

private:
    RegKey(std::shared_ptr<QSettings> settings, QString group) : settings_(std::move(settings)), group_(std::move(group)) {}
    // The stored spelling of a child value or group name that matches name case-insensitively;
    // name itself (encoded) when none matches.
    QString StoredValueName(const QString& name) const;
    QString StoredGroupName(const QString& name) const;
    QString Child(const QString& storedName) const;

    std::shared_ptr<QSettings> settings_;
    QString group_;  // QSettings group path, "/"-separated, encoded parts
};

// The settings file: $XDG_CONFIG_HOME/Pellow/Tovimar.ini.
QString SettingsFilePath();

// The settings key (created when missing).
RegKeyPtr GetSettingsKey();

// "Servers" below the settings key; with a server, its key (the name with "\" stored as ";");
// with a database too, the database's key below it. With create, missing keys are made;
// without, a missing key gives none.
RegKeyPtr GetServerKey(bool create, const QString& server = QString(), const QString& database = QString());
// The key name of a server and back.
QString ServerKeyName(const QString& server);
QString ServerFromKeyName(const QString& keyName);

// The password cache of this process, keyed by trimmed server, database and user name.
void StorePassword(const QString& server, const QString& database, const QString& user, const QString& password);
QString LookupPassword(const QString& server, const QString& database, const QString& user);
void ClearPasswordCache();

// A stored setting as text (trimmed); defaultValue when the value is missing.
QString SettingText(const QString& name, const QString& defaultValue = QString());
// A stored 1/0 setting; a missing value reads as false.
bool SettingFlag(const QString& name);
void SetSetting(const QString& name, const QVariant& value);

// The difference viewer command line ("%s" the Source file, "%d" the Destination file). With
// defaultOnly, or when the value "DifferenceViewer" is missing, the default: the first of meld,
// kdiff3 and kompare found on PATH (empty when none is), "windiff "%d" "%s"" on Windows. An
// empty stored value stays empty.
QString GetDifferenceViewer(bool defaultOnly);
QString DefaultDifferenceViewer(const QString& pathVariable);

// The ODBC driver name ("OdbcDriver", default FreeTDS) and TDS version ("TdsVersion", default
// 7.1; empty lets the driver choose) as stored; installs them as the settings new connections
// use (the environment variables TOVIMAR_ODBC_DRIVER and TOVIMAR_TDS_VERSION still win).
void ApplyStoredOdbcSettings();
