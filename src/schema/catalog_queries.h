#pragma once
// The catalog queries the loader sends, one function per query. The texts are fixed: the
// simulated server and the tests rely on them word for word, and one set-based query reads
// every object of a kind.
#include <QString>

namespace CatalogQueries {

// " (objectproperty(id,'property') <> 0) "
QString Is(const QString& property, const QString& id);
// The ANSI_NULLS (16) and QUOTED_IDENTIFIER (8) settings of a code object, as column Status.
QString Status();
// " AND sysobjects.id NOT IN(list)", or nothing for an empty list.
QString NotIn(const QString& list);
// " AND systables.id NOT IN(list)", or nothing for an empty list.
QString TablesNotIn(const QString& tableExcludeIDs);
// " AND NOT " + Is("IsMSShipped", "sysobjects.id")
QString NotShipped();
// The head of the pre-queries that list candidate code objects (Owner, id, FullName).
QString Names();

// The row of master.dbo.sysdatabases for a database given as a T-SQL literal.
QString SysDatabases(const QString& databaseLiteral);
QString Fingerprint();
QString FileGroups();
QString Tables(long defaultFileGroupID);
QString RelationsFirstPass(const QString& tableExcludeIDs);
QString RelationsSecondPass(const QString& tableExcludeIDs);
QString ViewNames();
QString Views(const QString& excludeIDs);
QString ProcedureNames();
QString Procedures(const QString& excludeIDs);
QString FunctionNames();
QString Functions(const QString& excludeIDs);
QString Roles();
QString TriggerNames();
QString Triggers(const QString& excludeIDs, const QString& tableExcludeIDs);
// collations: false on servers before SQL Server 2000 (the column has no collation there).
QString Columns(bool collations, const QString& tableExcludeIDs, const QString& viewExcludeIDs);
QString Formulas(const QString& tableExcludeIDs);
QString Indexes(const QString& tableExcludeIDs);
QString FullTextCatalogs();
QString UserTypes();
QString BoundObjects();
QString BoundObjectBindings(bool types);
QString FullTextTables();
QString FullTextTableProperties(long objectID);
QString FullTextColumns();
QString Defaults(const QString& tableExcludeIDs);
QString Checks(const QString& tableExcludeIDs);
QString Permissions();

}  // namespace CatalogQueries
