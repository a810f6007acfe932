// The catalog queries the schema loader sends, taken from the loader itself, so that the
// simulator is tested against the very texts it will receive.
#pragma once

#include "schema/catalog_queries.h"

namespace catalog_queries {
namespace Q = CatalogQueries;

inline QString DatabaseLevel(const QString& quotedName) { return Q::SysDatabases(quotedName); }
inline QString Fingerprint() { return Q::Fingerprint(); }
inline QString FileGroups() { return Q::FileGroups(); }
inline QString Tables(int defaultFileGroupId = 1) { return Q::Tables(defaultFileGroupId); }
inline QString Relations(bool firstPass, const QString& tableExcludeIds = QString()) {
    return firstPass ? Q::RelationsFirstPass(tableExcludeIds) : Q::RelationsSecondPass(tableExcludeIds);
}
inline QString ViewsPre() { return Q::ViewNames(); }
inline QString Views(const QString& list = QString()) { return Q::Views(list); }
inline QString ProceduresPre() { return Q::ProcedureNames(); }
inline QString Procedures(const QString& list = QString()) { return Q::Procedures(list); }
inline QString FunctionsPre() { return Q::FunctionNames(); }
inline QString Functions(const QString& list = QString()) { return Q::Functions(list); }
inline QString Roles() { return Q::Roles(); }
inline QString TriggersPre() { return Q::TriggerNames(); }
inline QString Triggers(const QString& list = QString(), const QString& tableExcludeIds = QString()) {
    return Q::Triggers(list, tableExcludeIds);
}
inline QString Columns(bool sql2000 = true, const QString& tableExcludeIds = QString(),
                       const QString& viewExcludeIds = QString()) {
    return Q::Columns(sql2000, tableExcludeIds, viewExcludeIds);
}
inline QString Formulas(const QString& tableExcludeIds = QString()) { return Q::Formulas(tableExcludeIds); }
inline QString Indexes(const QString& tableExcludeIds = QString()) { return Q::Indexes(tableExcludeIds); }
inline QString Catalogs() { return Q::FullTextCatalogs(); }
inline QString FullTextProperties(int objectId) { return Q::FullTextTableProperties(objectId); }
inline QString Defaults(const QString& tableExcludeIds = QString()) { return Q::Defaults(tableExcludeIds); }
inline QString BoundColumns() { return Q::BoundObjectBindings(false); }
inline QString Checks(const QString& tableExcludeIds = QString()) { return Q::Checks(tableExcludeIds); }
inline QString Permissions() { return Q::Permissions(); }

}  // namespace catalog_queries
