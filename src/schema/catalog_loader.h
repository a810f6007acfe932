#pragma once
// Loading a database's schema from its system tables into the model.
//
// LoadDatabase opens the connection; LoadDBObjects reads the schema (or its snapshot, when the
// fingerprint still matches) through one set-based query per object kind, showing its progress
// and stopping when the user cancels. Rows whose parent (table, view, column) cannot be found —
// the catalog changed while it was read — are skipped, never fatal.
#include "schema/model.h"

#include <QString>
#include <memory>

class DbConnection;
class Progress;

// The text shown when the user stopped loading.
inline const QString OperationAbortedText = QStringLiteral("Operation has been aborted!");

// Stores server and database name in db, opens an ODBC connection and keeps it in
// db.Connection. Returns false when the connection failed; failureMessage (when given) then
// receives the "Error connection to Database ..." text for the user.
bool LoadDatabase(Tovimar_Database& db, const QString& serverName, const QString& databaseName,
                  const QString& userName, const QString& password, QString* failureMessage = nullptr);

// The same with a connection made elsewhere (a simulated server, a test double).
void LoadDatabase(Tovimar_Database& db, std::shared_ptr<DbConnection> connection);

// Reads the whole schema (with definitionObjectsOnly: tables, views, procedures, functions,
// roles and triggers only). Returns false when the user cancelled; the caller then shows
// OperationAbortedText and discards the model. A database or snapshot error is thrown as
// TovimarException. The progress window gets the caption "Reading " + the database's FullName
// and is closed at the end in every case. When db.CreateCache is set, the snapshot is written
// after a successful load.
bool LoadDBObjects(Tovimar_Database& db, Progress& progress, bool definitionObjectsOnly = false);

// Runs one statement on db's connection; true on success. On failure it waits (up to three
// times 200 ms, yielding through progress) while the statement still runs, cancels it, and
// throws the error.
bool ExecuteSQL(Tovimar_Database& db, const QString& sql, Progress* progress = nullptr);

// The loaders, one per object kind, in the order LoadDBObjects calls them. Exposed so that
// tests can drive single steps; each returns false when the user cancelled.
class CatalogLoader {
public:
    CatalogLoader(Tovimar_Database& db, Progress& progress);
    // Drops what the steps queued and did not take (the load was cancelled or failed).
    ~CatalogLoader();
    CatalogLoader(const CatalogLoader&) = delete;
    CatalogLoader& operator=(const CatalogLoader&) = delete;

    // Compatibility levels and fingerprint; true when the schema came from the snapshot.
    bool LoadVersion();
    bool LoadFileGroups();
    bool LoadTables();
    bool LoadRelations(bool firstPass);
    bool LoadViews();
    bool LoadProcedures();
    bool LoadFunctions();
    bool LoadRoles();
    bool LoadTriggers();
    bool LoadColumns();
    bool LoadFormulas();
    bool LoadIndexes();
    bool LoadCatalogs();
    bool LoadTypes();
    bool LoadBoundObjects();
    bool LoadFullTextIndexes();
    bool LoadDefaults();
    bool LoadChecks();
    bool LoadPermissions();

private:
    DbConnection& Connection() const;
    // Runs the pre-query and returns the comma-separated ids of the rows the filter rejects.
    QString ExcludedIDs(const QString& preQuery, const QString& typeCode, bool triggers);
    TablePtr FindTable(const QString& owner, const QString& name) const;
    bool Show(const QString& kind, const QString& fullName);
    // Hands the connection the queries of the steps after LoadColumns, so that it can run them
    // while the columns are read (DbConnection::QueueQuery).
    void QueueQueriesAfterColumns();

    Tovimar_Database& db_;
    Progress& progress_;
    std::shared_ptr<DbConnection> queuedOn_;  // the connection queries were queued on
};
