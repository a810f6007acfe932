#pragma once
// The remembered connections of the main window: the servers and databases used on the Source
// (side 1) and Destination (side 2) sides, the SQL Server user name per database, and the
// passwords of this process. Kept in the settings store under "Servers" (see settings_store.h).
#include <QString>
#include <QStringList>

// The parameters of one side as the user typed them.
struct ConnectionParams {
    QString Server;
    QString Database;
    bool SqlLogin = false;  // "Username, Password" rather than integrated login
    QString User;
    QString Password;
};

// The servers below "Servers", "\" restored from the stored ";".
QStringList StoredServerNames();
// "LastUsedSrc" (side 1) or "LastUsedDest" (side 2) of "Servers".
QString LastUsedServer(int side);
// The databases remembered for the server.
QStringList StoredDatabaseNames(const QString& server);
// The database last used on the server on this side, else the one used on the other side.
QString LastUsedDatabaseOf(const QString& server, int side);
// The user name stored for server and database (empty: integrated login).
QString StoredUserName(const QString& server, const QString& database);
// Remembers what one side used; a SQL login's password goes to the in-memory cache only.
void SaveLastUsed(int side, const ConnectionParams& params);
// Forgets a server with all its databases; clears the last-used values that name it.
void DeleteStoredServer(const QString& server);
// Forgets one database of a server; clears the server's last-used values that name it.
void DeleteStoredDatabase(const QString& server, const QString& database);
