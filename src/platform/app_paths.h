#pragma once
// Where the program keeps the files it writes: scripts and execution logs in "Scripts",
// snapshots in "Schemas". Both live beside the program file when that place is writable, else
// under $XDG_DATA_HOME/Pellow/Tovimar/ (~/.local/share when the variable is not set).
#include <QString>

// The folder of the running program (empty when it cannot be found).
QString ProgramFolder();

// The folder named name ("Schemas", "Scripts") beside the program when it exists and is
// writable, or when it can be created there; otherwise under the per-user data folder. The
// folder is not created by this call.
QString AppDataFolder(const QString& name);

inline QString SchemasFolder() { return AppDataFolder(QStringLiteral("Schemas")); }
inline QString ScriptsFolder() { return AppDataFolder(QStringLiteral("Scripts")); }

// The choice AppDataFolder makes for a given program folder (empty: none is known).
QString ChooseAppDataFolder(const QString& programFolder, const QString& name);

// Tests point the folders somewhere else; an empty root restores the normal choice.
void SetAppDataRootForTesting(const QString& root);
