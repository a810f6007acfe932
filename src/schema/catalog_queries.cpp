#include "schema/catalog_queries.h"

namespace CatalogQueries {

namespace {
const QString kObjectId = QStringLiteral("sysobjects.id");

QString Relations(const QString& selectList, const QString& join, const QString& tableExcludeIDs) {
    QString sql = QStringLiteral("SELECT ") + selectList + QStringLiteral(" FROM sysobjects") +
                  QStringLiteral(" INNER JOIN sysreferences ON sysreferences.constid=sysobjects.id") +
                  QStringLiteral(" INNER JOIN sysobjects AS ftable ON sysreferences.fkeyid=ftable.id") +
                  QStringLiteral(" INNER JOIN sysobjects AS ptable ON sysreferences.rkeyid=ptable.id") +
                  QStringLiteral(" INNER JOIN sysusers AS ftableowner ON ftableowner.uid=ftable.uid") +
                  QStringLiteral(" INNER JOIN sysusers AS ptableowner ON ptableowner.uid=ptable.uid") +
                  QStringLiteral(" WHERE sysobjects.type='F'");
    if (!tableExcludeIDs.isEmpty())
        sql += QStringLiteral(" AND NOT (ftable.id IN(") + tableExcludeIDs + QStringLiteral(") ") + join +
               QStringLiteral(" ptable.id IN(") + tableExcludeIDs + QStringLiteral("))");
    return sql;
}

// The main query of views, procedures and functions: the definition chunks of every object.
QString CodeObjects(const QString& nameColumn, bool withNumber) {
    return QStringLiteral("SELECT ") + Status() + QStringLiteral(", sysobjects.name AS [") + nameColumn +
           QStringLiteral("], sysusers.name AS Owner, syscomments.colid, ") +
           (withNumber ? QStringLiteral("syscomments.number, ") : QString()) +
           QStringLiteral("syscomments.text AS Definition") +
           QStringLiteral(" FROM sysobjects INNER JOIN sysusers ON sysobjects.uid = sysusers.uid") +
           QStringLiteral(" INNER JOIN syscomments ON sysobjects.id=syscomments.id");
}
}  // namespace

QString Is(const QString& property, const QString& id) {
    return QStringLiteral(" (objectproperty(") + id + QStringLiteral(",'") + property + QStringLiteral("') <> 0) ");
}

QString Status() {
    return QStringLiteral("objectproperty(") + kObjectId + QStringLiteral(",'ExecIsAnsiNullsOn')*") +
           QStringLiteral("16") + QStringLiteral("+objectproperty(") + kObjectId +
           QStringLiteral(",'ExecIsQuotedIdentOn')*") + QStringLiteral("8") + QStringLiteral(" AS ") +
           QStringLiteral("Status");
}

QString NotIn(const QString& list) {
    return list.isEmpty() ? QString() : QStringLiteral(" AND sysobjects.id NOT IN(") + list + QLatin1Char(')');
}

QString TablesNotIn(const QString& tableExcludeIDs) {
    return tableExcludeIDs.isEmpty() ? QString()
                                     : QStringLiteral(" AND systables.id NOT IN(") + tableExcludeIDs + QLatin1Char(')');
}

QString NotShipped() { return QStringLiteral(" AND NOT ") + Is(QStringLiteral("IsMSShipped"), kObjectId); }

QString Names() {
    return QStringLiteral("SELECT QUOTENAME(sysusers.name) AS Owner, sysobjects.id, QUOTENAME(sysusers.name) + '.' + "
                          "QUOTENAME(sysobjects.name) AS FullName") +
           QStringLiteral(" FROM sysobjects INNER JOIN sysusers ON sysobjects.uid = sysusers.uid");
}

QString SysDatabases(const QString& databaseLiteral) {
    return QStringLiteral("SELECT * from master.dbo.sysdatabases WHERE name = ") + databaseLiteral;
}

QString Fingerprint() {
    return QStringLiteral("SELECT REPLACE(") +
           QStringLiteral("LTRIM(STR(V1,18,6))+';'+LTRIM(STR(V2,18,6))+';'+LTRIM(STR(V4,18,6))+';'+"
                          "LTRIM(STR(V5,18,6))+';'+CONVERT(varchar(30),V3,121),',','.') AS Version ") +
           QStringLiteral("FROM ") +
           QStringLiteral("(select avg(sysobjects.schema_ver*1.0) AS V1, avg(sysobjects.schema_ver*2.0) AS V2 from "
                          "sysobjects) AS VSchema, ") +
           QStringLiteral("(select max(sysusers.updatedate) As V3 from sysusers) AS VUser, ") +
           QStringLiteral("(select avg(syspermissions.id*1.0) AS V4, avg(syspermissions.id*2.0) AS V5 from "
                          "syspermissions) AS VPerm ");
}

QString FileGroups() {
    return QStringLiteral("SELECT groupid, groupname, FILEGROUPPROPERTY (groupname,'IsDefault') AS IsDefault from "
                          "sysfilegroups");
}

QString Tables(long defaultFileGroupID) {
    return QStringLiteral("SELECT sysobjects.name AS [Table], sysobjects.ID, sysusers.name AS Owner,") +
           QStringLiteral(" ISNULL(TabInd.groupid, ") + QString::number(defaultFileGroupID) +
           QStringLiteral(" ) AS FileGroupID,") + QStringLiteral(" TextInd.groupid AS TextFileGroupID") +
           QStringLiteral(" FROM sysobjects (NOLOCK) INNER JOIN sysusers (NOLOCK) ON sysobjects.uid = sysusers.uid") +
           QStringLiteral(" LEFT OUTER JOIN sysindexes AS TabInd (NOLOCK) ON sysobjects.id = TabInd.id AND "
                          "TabInd.indid=0") +
           QStringLiteral(" LEFT OUTER JOIN sysindexes AS TextInd (NOLOCK) ON sysobjects.id = TextInd.id AND "
                          "TextInd.indid=255") +
           QStringLiteral(" WHERE ") + Is(QStringLiteral("IsUserTable"), kObjectId) + NotShipped() +
           QStringLiteral(" ORDER BY sysusers.name, sysobjects.name");
}

QString RelationsFirstPass(const QString& tableExcludeIDs) {
    return Relations(QStringLiteral(" ftable.id AS FTABLE_ID, ptable.id AS PTABLE_ID"), QStringLiteral("AND"),
                     tableExcludeIDs);
}

QString RelationsSecondPass(const QString& tableExcludeIDs) {
    const QString selectList =
        QStringLiteral(" sysobjects.name AS Relation, ") + Status() +
        QStringLiteral(", ftable.name AS ForeignTable, ptable.name AS PrimaryTable, ftableowner.name AS "
                       "ForeignTableOwner, ptableowner.name AS PrimaryTableOwner, sysreferences.*,") +
        QStringLiteral(" OBJECTPROPERTY(sysobjects.id, 'CnstIsNotRepl') AS NotForRepl, ") +
        QStringLiteral(" OBJECTPROPERTY(sysobjects.id, 'CnstIsDisabled') AS IsNoCheck, ") +
        QStringLiteral(" ISNULL(OBJECTPROPERTY(sysobjects.id, 'CnstIsDeleteCascade'),0) AS DeleteCascade, ") +
        QStringLiteral(" ISNULL(OBJECTPROPERTY(sysobjects.id, 'CnstIsUpdateCascade'),0) AS UpdateCascade ");
    return Relations(selectList, QStringLiteral("OR"), tableExcludeIDs);
}

QString ViewNames() {
    return Names() + QStringLiteral(" WHERE ") + Is(QStringLiteral("IsView"), kObjectId) + NotShipped();
}

QString Views(const QString& excludeIDs) {
    return CodeObjects(QStringLiteral("View"), false) + QStringLiteral(" WHERE ") +
           Is(QStringLiteral("IsView"), kObjectId) + NotShipped() + NotIn(excludeIDs) +
           QStringLiteral(" ORDER BY sysusers.name, sysobjects.name, syscomments.Colid");
}

QString ProcedureNames() {
    return Names() + QStringLiteral(" WHERE ") + Is(QStringLiteral("IsProcedure"), kObjectId) + NotShipped() +
           QStringLiteral(" AND NOT ") + Is(QStringLiteral("IsExtendedProc"), kObjectId);
}

QString Procedures(const QString& excludeIDs) {
    return CodeObjects(QStringLiteral("Procedure"), true) + QStringLiteral(" WHERE ") +
           Is(QStringLiteral("IsProcedure"), kObjectId) + NotShipped() + QStringLiteral(" AND NOT ") +
           Is(QStringLiteral("IsExtendedProc"), kObjectId) + NotIn(excludeIDs) +
           QStringLiteral(" ORDER BY sysusers.name, sysobjects.name, syscomments.number, syscomments.colid");
}

QString FunctionNames() {
    return Names() + QStringLiteral(" WHERE objectproperty(id,'IsTableFunction') IS NOT NULL");
}

QString Functions(const QString& excludeIDs) {
    return CodeObjects(QStringLiteral("Function"), true) +
           QStringLiteral(" WHERE (objectproperty(sysobjects.id,'IsTableFunction') <> 0  ") +
           QStringLiteral(" OR objectproperty(sysobjects.id,'IsScalarFunction') <> 0) ") + NotIn(excludeIDs) +
           QStringLiteral(" ORDER BY sysusers.name, sysobjects.name, syscomments.number, syscomments.colid");
}

QString Roles() {
    return QStringLiteral("SELECT sysusers.uid, sysusers.name AS Role, myusers.name AS Member\r\n"
                          "FROM sysusers\r\n"
                          "LEFT OUTER JOIN sysmembers ON sysmembers.groupuid=sysusers.uid\r\n"
                          "LEFT OUTER JOIN sysusers AS myusers ON sysmembers.memberuid=myusers.uid\r\n"
                          "WHERE sysusers.issqlrole = 1 AND sysusers.isapprole = 0 AND sysusers.sid IS NOT NULL\r\n"
                          "ORDER BY sysusers.uid, sysusers.name");
}

QString TriggerNames() {
    return QStringLiteral("SELECT QUOTENAME(sysusers.name) AS Owner, sysobjects.id, QUOTENAME(sysusers.name) + '.' + "
                          "QUOTENAME(systables.name) AS FullName, ") +
           QStringLiteral("QUOTENAME(sysusers.name) + '.' + QUOTENAME(systables.name) + '.' + "
                          "QUOTENAME(sysobjects.name) AS FullName2") +
           QStringLiteral(" FROM sysobjects") +
           QStringLiteral(" INNER JOIN sysobjects AS systables ON sysobjects.parent_obj=systables.id") +
           QStringLiteral(" INNER JOIN sysusers ON systables.uid=sysusers.uid") +
           QStringLiteral(" WHERE sysobjects.type='TR'");
}

QString Triggers(const QString& excludeIDs, const QString& tableExcludeIDs) {
    return QStringLiteral("SELECT ") + Status() +
           QStringLiteral(", sysobjects.name AS [Trigger], systables.name AS [Table], sysusers.name AS TableOwner, "
                          "syscomments.colid, syscomments.text AS Definition") +
           QStringLiteral(" FROM sysobjects") +
           QStringLiteral(" INNER JOIN syscomments ON sysobjects.id=syscomments.id") +
           QStringLiteral(" INNER JOIN sysobjects AS systables ON sysobjects.parent_obj=systables.id") +
           QStringLiteral(" INNER JOIN sysusers ON systables.uid=sysusers.uid") +
           QStringLiteral(" WHERE sysobjects.type='TR'") + NotIn(excludeIDs) + TablesNotIn(tableExcludeIDs) +
           QStringLiteral(" ORDER BY sysusers.name, systables.name, sysobjects.name, syscomments.colid");
}

QString Columns(bool collations, const QString& tableExcludeIDs, const QString& viewExcludeIDs) {
    const QString collation = collations ? QStringLiteral(" syscolumns.Collation, ")
                                         : QStringLiteral(" CONVERT(varchar,NULL) AS Collation, ");
    return QStringLiteral("SELECT sysobjects.type AS ObjType, sysobjects.name AS [Table], sysusers.name AS "
                          "TableOwner, systypes.name AS Datentyp,") +
           QStringLiteral(" syscolumns.name, syscolumns.colid, syscolumns.length, syscolumns.prec, ") +
           QStringLiteral(" syscolumns.scale, syscolumns.isnullable, ") + collation +
           QStringLiteral(" COLUMNPROPERTY(sysobjects.id, syscolumns.name, 'IsIdentity') AS IsIdentity, ") +
           QStringLiteral(" COLUMNPROPERTY(sysobjects.id, syscolumns.name, 'IsIdNotForRepl') AS IsIdNotForRepl, ") +
           QStringLiteral(" COLUMNPROPERTY(sysobjects.id, syscolumns.name, 'IsRowGuidCol') AS IsRowGuidCol, ") +
           QStringLiteral(" CASE WHEN sysobjects.type = 'V' THEN 0 ELSE ident_seed(QUOTENAME(sysusers.name) + '.' + "
                          "QUOTENAME(sysobjects.name)) END AS ID_Start,") +
           QStringLiteral(" CASE WHEN sysobjects.type = 'V' THEN 0 ELSE ident_incr(QUOTENAME(sysusers.name) + '.' + "
                          "QUOTENAME(sysobjects.name)) END AS ID_Schritt") +
           QStringLiteral(" FROM sysobjects") + QStringLiteral(" INNER JOIN sysusers ON sysobjects.uid = sysusers.uid") +
           QStringLiteral(" INNER JOIN syscolumns ON sysobjects.id=syscolumns.id") +
           QStringLiteral(" INNER JOIN systypes ON syscolumns.xusertype=systypes.xusertype") +
           QStringLiteral(" WHERE (sysobjects.type = 'U' OR sysobjects.type = 'V') AND sysobjects.status>=0") +
           NotIn(tableExcludeIDs) + NotIn(viewExcludeIDs) +
           QStringLiteral(" ORDER BY sysusers.name, sysobjects.name, syscolumns.colid");
}

QString Formulas(const QString& tableExcludeIDs) {
    return QStringLiteral("SELECT sysobjects.name AS [Table], sysusers.name AS Owner, syscomments.colid, "
                          "syscomments.number, syscomments.text AS Definition") +
           QStringLiteral(" FROM sysobjects INNER JOIN sysusers ON sysobjects.uid = sysusers.uid") +
           QStringLiteral(" INNER JOIN syscomments ON sysobjects.id=syscomments.id") + QStringLiteral(" WHERE ") +
           Is(QStringLiteral("IsUserTable"), kObjectId) + NotShipped() + QStringLiteral(" AND NOT ") +
           Is(QStringLiteral("IsExtendedProc"), kObjectId) + NotIn(tableExcludeIDs) +
           QStringLiteral(" ORDER BY sysusers.name, sysobjects.name, syscomments.number, syscomments.colid");
}

QString Indexes(const QString& tableExcludeIDs) {
    return QStringLiteral("SELECT sysindexes.name AS [Index], sysindexes.indid, sysobjects.name AS [Table], "
                          "sysusers.name AS TableOwner, syscolumns.name AS Field, sysindexes.status, "
                          "sysindexes.groupid, ") +
           QStringLiteral(" INDEXPROPERTY(sysobjects.id, sysindexes.name, 'IsUnique') AS IsUnique, ") +
           QStringLiteral(" INDEXPROPERTY(sysobjects.id, sysindexes.name, 'IsClustered') AS IsClustered, ") +
           QStringLiteral(" INDEXPROPERTY(sysobjects.id, sysindexes.name, 'IndexFillFactor') AS IndexFillFactor, ") +
           QStringLiteral(" INDEXPROPERTY(sysobjects.id, sysindexes.name, 'IsPadIndex') AS IsPadIndex, ") +
           QStringLiteral(" ISNULL(OBJECTPROPERTY(parentobj.id, 'IsUniqueCnst'),0) AS IsUniqueConstraint, ") +
           QStringLiteral(" ISNULL(OBJECTPROPERTY(parentobj.id, 'CnstIsClustKey'),0) AS IsPrimaryClustered, ") +
           QStringLiteral(" ISNULL(OBJECTPROPERTY(parentobj.id, 'CnstIsNonclustKey'),0) AS IsPrimaryNonClustered ") +
           QStringLiteral(" FROM sysindexes") +
           QStringLiteral(" INNER JOIN sysindexkeys ON sysindexes.indid=sysindexkeys.indid AND "
                          "sysindexkeys.id=sysindexes.id") +
           QStringLiteral(" INNER JOIN sysobjects ON sysobjects.id=sysindexes.id") +
           QStringLiteral(" LEFT OUTER JOIN sysobjects AS parentobj ON parentobj.parent_obj=sysindexes.id AND "
                          "parentobj.name=sysindexes.name ") +
           QStringLiteral(" INNER JOIN syscolumns ON sysindexkeys.colid=syscolumns.colid AND "
                          "syscolumns.id=sysobjects.id") +
           QStringLiteral(" INNER JOIN sysusers ON sysusers.uid=sysobjects.uid") + QStringLiteral(" WHERE ") +
           Is(QStringLiteral("IsUserTable"), kObjectId) + NotShipped() +
           QStringLiteral(" AND ISNULL(INDEXPROPERTY(sysobjects.id, sysindexes.name, 'IsStatistics'),0) = 0 ") +
           NotIn(tableExcludeIDs) + QStringLiteral("\r\n") +
           QStringLiteral(" ORDER BY sysindexes.id, sysindexes.name, sysindexkeys.keyno");
}

QString FullTextCatalogs() { return QStringLiteral("SELECT [Name] FROM sysfulltextcatalogs ORDER BY [Name]"); }

// User-defined data types with the name of their system type.
QString UserTypes() {
    return QStringLiteral("SELECT systypes.name AS [Name], basetypes.name AS BaseType, systypes.length, systypes.prec, "
                          "systypes.scale, systypes.allownulls FROM systypes INNER JOIN systypes AS basetypes ON "
                          "systypes.xtype = basetypes.xusertype WHERE systypes.xusertype > 256 ORDER BY systypes.name");
}

// Defaults and rules of their own (CREATE DEFAULT / CREATE RULE: no parent table) with their text.
QString BoundObjects() {
    return QStringLiteral("SELECT sysobjects.name AS [Name], sysobjects.xtype, sysusers.name AS Owner, "
                          "syscomments.text AS Definition FROM sysobjects INNER JOIN sysusers ON "
                          "sysobjects.uid = sysusers.uid INNER JOIN syscomments ON sysobjects.id = syscomments.id "
                          "WHERE (sysobjects.xtype = 'D' OR sysobjects.xtype = 'R') AND sysobjects.parent_obj = 0 "
                          "ORDER BY sysusers.name, sysobjects.name, syscomments.colid");
}

// The table columns (or, with types, the user-defined types) that such a default or rule is bound to.
QString BoundObjectBindings(bool types) {
    if (types)
        return QStringLiteral("SELECT systypes.name AS [Table], bound.name AS Bound, bound.xtype FROM systypes "
                              "INNER JOIN sysobjects AS bound ON (bound.id = systypes.tdefault OR bound.id = "
                              "systypes.domain) WHERE bound.parent_obj = 0 AND systypes.xusertype > 256");
    return QStringLiteral("SELECT sysusers.name AS Owner, sysobjects.name AS [Table], syscolumns.name AS Field, "
                          "bound.name AS Bound, bound.xtype FROM syscolumns INNER JOIN sysobjects ON "
                          "syscolumns.id = sysobjects.id INNER JOIN sysusers ON sysobjects.uid = sysusers.uid "
                          "INNER JOIN sysobjects AS bound ON (bound.id = syscolumns.cdefault OR bound.id = "
                          "syscolumns.domain) WHERE bound.parent_obj = 0 AND sysobjects.xtype = 'U'");
}

QString FullTextTables() { return QStringLiteral("EXEC sp_help_fulltext_tables"); }

QString FullTextTableProperties(long objectID) {
    const QString id = QString::number(objectID);
    return QStringLiteral("SELECT OBJECTPROPERTY(") + id +
           QStringLiteral(",'TableFullTextChangeTrackingOn') AS Tracking, OBJECTPROPERTY(") + id +
           QStringLiteral(",'TableFullTextBackgroundUpdateIndexOn') AS BGUpdate");
}

QString FullTextColumns() { return QStringLiteral("EXEC sp_help_fulltext_columns"); }

QString Defaults(const QString& tableExcludeIDs) {
    return QStringLiteral("SELECT systables.name AS [Table], sysusers.name AS TableOwner, sysobjects.name AS "
                          "[Default], syscolumns.name AS Field, syscomments.text AS Definition") +
           QStringLiteral(" FROM sysobjects") +
           QStringLiteral(" INNER JOIN syscomments ON sysobjects.id=syscomments.id") +
           QStringLiteral(" INNER JOIN syscolumns ON sysobjects.id=syscolumns.cdefault AND "
                          "syscolumns.id=sysobjects.parent_obj") +
           QStringLiteral(" INNER JOIN sysobjects AS systables ON sysobjects.parent_obj = systables.id") +
           QStringLiteral(" INNER JOIN sysusers ON sysusers.uid = systables.uid") +
           QStringLiteral(" WHERE sysobjects.type='D' AND systables.status>=0") + TablesNotIn(tableExcludeIDs);
}

QString Checks(const QString& tableExcludeIDs) {
    return QStringLiteral("SELECT systables.name AS [Table], sysobjects.status, sysusers.name AS TableOwner, "
                          "sysobjects.name AS [Check], syscomments.text AS Definition") +
           QStringLiteral(" FROM sysobjects") +
           QStringLiteral(" INNER JOIN syscomments ON sysobjects.id=syscomments.id") +
           QStringLiteral(" INNER JOIN sysobjects AS systables ON sysobjects.parent_obj = systables.id") +
           QStringLiteral(" INNER JOIN sysusers ON sysusers.uid = systables.uid") +
           QStringLiteral(" WHERE sysobjects.type='C'") + TablesNotIn(tableExcludeIDs);
}

QString Permissions() {
    return QStringLiteral("SELECT sysobjects.name AS Object, sysobjects.type, sysusers.name AS Owner, grantee.name AS "
                          "GranteeName, grantor.name AS GrantorName, syspermissions.*") +
           QStringLiteral(" FROM syspermissions") +
           QStringLiteral(" INNER JOIN sysobjects ON syspermissions.id=sysobjects.id") +
           QStringLiteral(" INNER JOIN sysusers ON sysobjects.uid=sysusers.uid") +
           QStringLiteral(" INNER JOIN sysusers AS grantee ON grantee.uid=syspermissions.grantee") +
           QStringLiteral(" INNER JOIN sysusers AS grantor ON grantor.uid=syspermissions.grantor") +
           QStringLiteral(" WHERE sysobjects.Status >= 0");
}

}  // namespace CatalogQueries
