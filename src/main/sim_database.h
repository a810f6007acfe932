#pragma once
// Databases built on a fresh simulated server (sqlsim) in this process: from T-SQL script files
// (for trials, dry runs and tests) or from a schema model, such as a snapshot, by executing the
// model's own create scripts. The loaded model keeps the connection, and the connection keeps the
// simulated server alive, so scripts can be executed on it afterwards.
#include "review/tovimar_error.h"
#include "schema/model.h"

#include <QString>
#include <QStringList>
#include <memory>

class DbConnection;
class Progress;

// The text of a script file: UTF-16 or UTF-8 with a byte order mark, UTF-8 without one, or else
// the locale's 8-bit encoding.
QString DecodeScript(const QByteArray& bytes);

// The last user database (not master, model, msdb or tempdb) the script switches to with USE.
// Comments and string literals are not looked into.
QString LastUsedDatabase(const QString& script);

// Runs the script files one after the other in one session of a fresh simulated server, so that
// a later file continues where the earlier one left off (its objects go to the database the
// earlier file last switched to). When no file switches databases, they build into a new one
// named database, or after the first file. Then loads the database named database (empty: the
// last one a file USEs, else the one named after the first file). Returns none when the user
// cancelled. Throws TovimarException when a file cannot be read or the server reports an error
// (the file and the server's message).
std::unique_ptr<Tovimar_Database> LoadScriptDatabase(const QStringList& paths, QString database, Progress& progress);

// The first half of LoadScriptDatabase: runs the files and opens a connection to the database
// (database receives the name chosen when it was empty) without loading its schema. None when
// the user cancelled; a database that does not exist fails with TovimarException 4060.
std::shared_ptr<DbConnection> ConnectScriptDatabase(const QStringList& paths, QString& database, Progress& progress);

// Creates model's database (its Name) with its file groups and the users that own its objects or
// hold its permissions on a fresh simulated server, at the model's compatibility level, and executes the create scripts of all its objects there through
// the executor, which writes its log to logFile. The errors of that run are handed back in
// errors; returns a connection to the database as built (none when the user cancelled). The model
// is no longer needed then. Throws TovimarException when the run itself fails.
std::shared_ptr<DbConnection> BuildSimulatedConnection(Tovimar_Database& model, const QString& logFile,
                                                      ErrorCollection& errors, Progress& progress);
// The same, and the database as built is loaded and returned (none when the user cancelled).
std::unique_ptr<Tovimar_Database> BuildSimulatedDatabase(Tovimar_Database& model, const QString& logFile,
                                                         ErrorCollection& errors, Progress& progress);
