#include "main/connection_history.h"

#include "main/settings_store.h"

namespace {

QString LastUsedName(int side) { return side == 1 ? QStringLiteral("LastUsedSrc") : QStringLiteral("LastUsedDest"); }

QString DatabaseKeyName(const QString& database) {
    QString name = database.trimmed();
    return name.replace(QLatin1Char('\\'), QLatin1Char(';'));
}

}  // namespace

QStringList StoredServerNames() {
    QStringList names;
    if (const RegKeyPtr servers = GetServerKey(false))
        for (const QString& key : servers->SubKeys()) names << ServerFromKeyName(key);
    return names;
}

QString LastUsedServer(int side) {
    const RegKeyPtr servers = GetServerKey(false);
    return servers ? ServerFromKeyName(servers->GetValue(LastUsedName(side)).toString()) : QString();
}

QStringList StoredDatabaseNames(const QString& server) {
    if (server.trimmed().isEmpty()) return {};
    const RegKeyPtr key = GetServerKey(false, server);
    QStringList names;
    if (key)
        for (const QString& name : key->SubKeys()) names << ServerFromKeyName(name);
    return names;
}

QString LastUsedDatabaseOf(const QString& server, int side) {
    if (server.trimmed().isEmpty()) return QString();
    const RegKeyPtr key = GetServerKey(false, server);
    if (!key) return QString();
    QString name = key->GetValue(LastUsedName(side)).toString();
    if (name.isEmpty()) name = key->GetValue(LastUsedName(3 - side)).toString();
    return name;
}

QString StoredUserName(const QString& server, const QString& database) {
    if (server.trimmed().isEmpty() || database.trimmed().isEmpty()) return QString();
    const RegKeyPtr key = GetServerKey(false, server, database);
    return key ? key->GetValue(QStringLiteral("Username")).toString().trimmed() : QString();
}

void SaveLastUsed(int side, const ConnectionParams& params) {
    const QString server = params.Server.trimmed();
    const QString database = params.Database.trimmed();
    if (server.isEmpty()) return;
    const RegKeyPtr servers = GetServerKey(true);
    if (!servers) return;
    servers->SetValue(LastUsedName(side), ServerKeyName(server));
    const RegKeyPtr serverKey = servers->OpenKey(ServerKeyName(server), true);
    if (!serverKey) return;
    serverKey->SetValue(QString(), server);
    serverKey->SetValue(LastUsedName(side), database);
    if (database.isEmpty()) return;
    // Made afresh so that a side that switched to integrated login leaves no user name behind.
    serverKey->DeleteKey(DatabaseKeyName(database), false);
    const RegKeyPtr databaseKey = serverKey->OpenKey(DatabaseKeyName(database), true);
    if (databaseKey && params.SqlLogin) {
        databaseKey->SetValue(QStringLiteral("Username"), params.User.trimmed());
        StorePassword(server, database, params.User, params.Password);
    }
}

void DeleteStoredServer(const QString& server) {
    const QString name = server.trimmed();
    const RegKeyPtr servers = GetServerKey(false);
    if (name.isEmpty() || !servers) return;
    servers->DeleteKey(ServerKeyName(name), true);
    for (int side : {1, 2})
        if (ServerFromKeyName(servers->GetValue(LastUsedName(side)).toString()).compare(name, Qt::CaseInsensitive) == 0)
            servers->SetValue(LastUsedName(side), QString());
}

void DeleteStoredDatabase(const QString& server, const QString& database) {
    const QString name = database.trimmed();
    if (server.trimmed().isEmpty() || name.isEmpty()) return;
    const RegKeyPtr key = GetServerKey(false, server);
    if (!key) return;
    key->DeleteKey(DatabaseKeyName(name), true);
    for (int side : {1, 2})
        if (key->GetValue(LastUsedName(side)).toString().compare(name, Qt::CaseInsensitive) == 0)
            key->SetValue(LastUsedName(side), QString());
}
