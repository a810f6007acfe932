#include "main/settings_store.h"

#include "platform/db/odbc_connection.h"

#include <QDir>
#include <QHash>
#include <QStandardPaths>
#include <mutex>

namespace {

const QString SettingsKeyPath = QStringLiteral("HKCU\\Software\\Pellow\\Tovimar");
// Internal value names: they begin with "@", which a user-given name never does once encoded.
const QString DefaultValueName = QStringLiteral("@Default");
const QString KeyMarkerName = QStringLiteral("@Key");

// QSettings reserves "/" and "\" as separators; "%" escapes them, and "@" is kept for the
// internal names above.
QString EncodePart(const QString& name) {
    QString encoded;
    encoded.reserve(name.size());
    for (const QChar c : name) {
        switch (c.unicode()) {
            case '%': encoded += QStringLiteral("%25"); break;
            case '/': encoded += QStringLiteral("%2F"); break;
            case '\\': encoded += QStringLiteral("%5C"); break;
            case '@': encoded += QStringLiteral("%40"); break;
            default: encoded += c;
        }
    }
    return encoded;
}

QString DecodePart(const QString& stored) {
    QString decoded;
    decoded.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] == QLatin1Char('%') && i + 2 < stored.size()) {
            const QString hex = stored.mid(i + 1, 2).toUpper();
            const QChar c = hex == QLatin1String("25")   ? QLatin1Char('%')
                            : hex == QLatin1String("2F") ? QLatin1Char('/')
                            : hex == QLatin1String("5C") ? QLatin1Char('\\')
                            : hex == QLatin1String("40") ? QLatin1Char('@')
                                                         : QChar();
            if (!c.isNull()) {
                decoded += c;
                i += 2;
                continue;
            }
        }
        decoded += stored[i];
    }
    return decoded;
}

QStringList SplitPath(const QString& path) {
    QStringList parts;
    for (const QString& part : path.split(QLatin1Char('\\')))
        if (!part.isEmpty()) parts << part;
    return parts;
}

std::shared_ptr<QSettings> OpenStore() {
    return std::make_shared<QSettings>(SettingsFilePath(), QSettings::IniFormat);
}

std::mutex passwordMutex;
QHash<QString, QString>& Passwords() {
    static QHash<QString, QString> passwords;
    return passwords;
}
QString PasswordKey(const QString& server, const QString& database, const QString& user) {
    return server.trimmed() + QChar(1) + database.trimmed() + QChar(1) + user.trimmed();
}

}  // namespace

QString SettingsFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Pellow/Tovimar.ini");
}

QString RegKey::GetRootHandle(const QString& name) {
    static const QList<QPair<QString, QString>> roots = {
        {QStringLiteral("HKCR"), QStringLiteral("HKEY_CLASSES_ROOT")},
        {QStringLiteral("HKLM"), QStringLiteral("HKEY_LOCAL_MACHINE")},
        {QStringLiteral("HKCU"), QStringLiteral("HKEY_CURRENT_USER")},
        {QStringLiteral("HKCC"), QStringLiteral("HKEY_CURRENT_CONFIG")},
        {QStringLiteral("HKDD"), QStringLiteral("HKEY_DYN_DATA")},
        {QStringLiteral("HKPD"), QStringLiteral("HKEY_PERFORMANCE_DATA")},
        {QStringLiteral("HKUS"), QStringLiteral("HKEY_USERS")},
    };
    for (const auto& [shortName, longName] : roots)
        if (name.compare(shortName, Qt::CaseInsensitive) == 0 || name.compare(longName, Qt::CaseInsensitive) == 0)
            return longName;
    return QString();
}

RegKeyPtr RegKey::Key(const QString& path, bool create) {
    // Only the settings key and what lies below it are kept; the parts above it name the file.
    const QStringList wanted = SplitPath(path);
    const QStringList settingsParts = SplitPath(SettingsKeyPath);
    if (wanted.size() < settingsParts.size()) return nullptr;
    if (GetRootHandle(wanted[0]) != GetRootHandle(settingsParts[0])) return nullptr;
    for (qsizetype i = 1; i < settingsParts.size(); ++i)
        if (wanted[i].compare(settingsParts[i], Qt::CaseInsensitive) != 0) return nullptr;
    RegKeyPtr key(new RegKey(OpenStore(), QString()));
    const QString rest = wanted.mid(settingsParts.size()).join(QLatin1Char('\\'));
    return rest.isEmpty() ? std::move(key) : key->OpenKey(rest, create);
}

QString RegKey::Child(const QString& storedName) const {
    return group_.isEmpty() ? storedName : group_ + QLatin1Char('/') + storedName;
}

QString RegKey::StoredValueName(const QString& name) const {
    if (name.isEmpty()) return DefaultValueName;
    const QString encoded = EncodePart(name);
    settings_->beginGroup(group_);
    const QStringList keys = settings_->childKeys();
    settings_->endGroup();
    for (const QString& key : keys)
        if (key.compare(encoded, Qt::CaseInsensitive) == 0) return key;
    return encoded;
}

QString RegKey::StoredGroupName(const QString& name) const {
    const QString encoded = EncodePart(name);
    settings_->beginGroup(group_);
    const QStringList groups = settings_->childGroups();
    settings_->endGroup();
    for (const QString& group : groups)
        if (group.compare(encoded, Qt::CaseInsensitive) == 0) return group;
    return encoded;
}

RegKeyPtr RegKey::OpenKey(const QString& name, bool create) const {
    RegKeyPtr key(new RegKey(settings_, group_));
    for (const QString& part : SplitPath(name)) {
        const QString stored = key->StoredGroupName(part);
        settings_->beginGroup(key->group_);
        const bool exists = settings_->childGroups().contains(stored);
        settings_->endGroup();
        key->group_ = key->Child(stored);
        if (!exists) {
            if (!create) return nullptr;
            settings_->setValue(key->Child(KeyMarkerName), 1);
        }
    }
    return key;
}

QVariant RegKey::GetValue(const QString& name) const {
    const QString stored = Child(StoredValueName(name));
    return settings_->contains(stored) ? settings_->value(stored) : QVariant();
}

void RegKey::SetValue(const QString& name, const QVariant& data) {
    const QString stored = Child(StoredValueName(name));
    if (data.isNull()) {
        settings_->remove(stored);
        return;
    }
    const bool integer = data.typeId() == QMetaType::Int || data.typeId() == QMetaType::LongLong ||
                         data.typeId() == QMetaType::UInt || data.typeId() == QMetaType::Long;
    settings_->setValue(stored, integer ? QVariant(data.toInt()) : QVariant(data.toString()));
}

QVariant RegKey::Value(const QString& path) const {
    const qsizetype split = path.lastIndexOf(QLatin1Char('\\'));
    if (split < 0) return GetValue(path);
    const RegKeyPtr key = OpenKey(path.left(split), false);
    return key ? key->GetValue(path.mid(split + 1)) : QVariant();
}

void RegKey::SetValueAt(const QString& path, const QVariant& data) {
    const qsizetype split = path.lastIndexOf(QLatin1Char('\\'));
    if (split < 0) return SetValue(path, data);
    if (const RegKeyPtr key = OpenKey(path.left(split), true)) key->SetValue(path.mid(split + 1), data);
}

bool RegKey::DeleteKey(const QString& name, bool withSubKeys) {
    const RegKeyPtr key = OpenKey(name, false);
    if (!key) return true;
    if (!withSubKeys && !key->SubKeys().isEmpty()) return false;
    settings_->remove(key->group_);
    return true;
}

QStringList RegKey::SubKeys() const {
    settings_->beginGroup(group_);
    const QStringList groups = settings_->childGroups();
    settings_->endGroup();
    QStringList names;
    for (const QString& group : groups) names << DecodePart(group);
    return names;
}

QStringList RegKey::SubKeyValues(const QString& valueName) const {
    QStringList values;
    for (const QString& name : SubKeys()) {
        const RegKeyPtr key = OpenKey(name, false);
        values << (key ? key->GetValue(valueName).toString() : QString());
    }
    return values;
}

RegKeyPtr GetSettingsKey() { return RegKey::Key(SettingsKeyPath, true); }

QString ServerKeyName(const QString& server) {
    QString name = server.trimmed();
    return name.replace(QLatin1Char('\\'), QLatin1Char(';'));
}

QString ServerFromKeyName(const QString& keyName) {
    QString name = keyName;
    return name.replace(QLatin1Char(';'), QLatin1Char('\\'));
}

RegKeyPtr GetServerKey(bool create, const QString& server, const QString& database) {
    const RegKeyPtr settings = GetSettingsKey();
    if (!settings) return nullptr;
    RegKeyPtr key = settings->OpenKey(QStringLiteral("Servers"), create);
    if (!key || server.trimmed().isEmpty()) return key;
    key = key->OpenKey(ServerKeyName(server), create);
    if (!key || database.trimmed().isEmpty()) return key;
    // A database name is one key part even when it holds "\".
    QString part = database.trimmed();
    return key->OpenKey(part.replace(QLatin1Char('\\'), QLatin1Char(';')), create);
}

void StorePassword(const QString& server, const QString& database, const QString& user, const QString& password) {
    std::lock_guard lock(passwordMutex);
    Passwords().insert(PasswordKey(server, database, user), password);
}

QString LookupPassword(const QString& server, const QString& database, const QString& user) {
    std::lock_guard lock(passwordMutex);
    return Passwords().value(PasswordKey(server, database, user));
}

void ClearPasswordCache() {
    std::lock_guard lock(passwordMutex);
    Passwords().clear();
}

QString SettingText(const QString& name, const QString& defaultValue) {
    const RegKeyPtr key = GetSettingsKey();
    const QVariant value = key ? key->GetValue(name) : QVariant();
    return value.isNull() ? defaultValue : value.toString().trimmed();
}

bool SettingFlag(const QString& name) { return SettingText(name).toInt() != 0; }

void SetSetting(const QString& name, const QVariant& value) {
    if (const RegKeyPtr key = GetSettingsKey()) key->SetValue(name, value);
}

QString DefaultDifferenceViewer(const QString& pathVariable) {
#ifdef Q_OS_WIN
    (void)pathVariable;
    return QStringLiteral("windiff \"%d\" \"%s\"");
#else
    const QStringList folders = pathVariable.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& program : {QStringLiteral("meld"), QStringLiteral("kdiff3"), QStringLiteral("kompare")})
        if (!QStandardPaths::findExecutable(program, folders).isEmpty())
            return program + QStringLiteral(" \"%d\" \"%s\"");
    return QString();
#endif
}

QString GetDifferenceViewer(bool defaultOnly) {
    const QString fallback = DefaultDifferenceViewer(qEnvironmentVariable("PATH"));
    return defaultOnly ? fallback : SettingText(QStringLiteral("DifferenceViewer"), fallback);
}

void ApplyStoredOdbcSettings() {
    OdbcSettings settings;
    settings.Driver = SettingText(QStringLiteral("OdbcDriver"), settings.Driver);
    settings.TdsVersion = SettingText(QStringLiteral("TdsVersion"), settings.TdsVersion);
    if (settings.Driver.isEmpty()) settings.Driver = OdbcSettings().Driver;
    SetStoredOdbcSettings(settings);
}
