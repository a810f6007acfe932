// The catalog queries the schema loader sends, assembled piece by piece exactly as it does, so
// that the simulator is tested against the very texts it will receive.
#pragma once

#include <QString>

namespace catalog_queries {

inline QString Is(const QString& property, const QString& id) {
    return QStringLiteral(" (objectproperty(") + id + QStringLiteral(",'") + property + QStringLiteral("') <> 0) ");
}
inline QString Status() {
    return QStringLiteral("objectproperty(sysobjects.id,'ExecIsAnsiNullsOn')*16+objectproperty(sysobjects.id,'ExecIsQuotedIdentOn')*8 AS Status");
}
inline QString Names() {
    return QStringLiteral("SELECT QUOTENAME(sysusers.name) AS Owner, sysobjects.id, QUOTENAME(sysusers.name) + '.' + QUOTENAME(sysobjects.name) AS FullName"
                          " FROM sysobjects INNER JOIN sysusers ON sysobjects.uid = sysusers.uid");
}
inline QString NotIn(const QString& list) { return list.isEmpty() ? QString() : QStringLiteral(" AND sysobjects.id NOT IN(") + list + ")"; }
inline QString NotShipped() { return QStringLiteral(" AND NOT ") + Is(QStringLiteral("IsMSShipped"), QStringLiteral("sysobjects.id")); }

inline QString DatabaseLevel(const QString& quotedName) {
    return QStringLiteral("SELECT * from master.dbo.sysdatabases WHERE name = ") + quotedName;
}
inline QString Fingerprint() {
    return QStringLiteral("SELECT REPLACE(LTRIM(STR(V1,18,6))+';'+LTRIM(STR(V2,18,6))+';'+LTRIM(STR(V4,18,6))+';'+LTRIM(STR(V5,18,6))+';'+CONVERT(varchar(30),V3,121),',','.') AS Version "
                          "FROM (select avg(sysobjects.schema_ver*1.0) AS V1, avg(sysobjects.schema_ver*2.0) AS V2 from sysobjects) AS VSchema, "
                          "(select max(sysusers.updatedate) As V3 from sysusers) AS VUser, "
                          "(select avg(syspermissions.id*1.0) AS V4, avg(syspermissions.id*2.0) AS V5 from syspermissions) AS VPerm ");
}
inline QString FileGroups() {
    return QStringLiteral("SELECT groupid, groupname, FILEGROUPPROPERTY (groupname,'IsDefault') AS IsDefault from sysfilegroups");
}
inline QString Tables(int defaultFileGroupId = 1) {
    return QStringLiteral("SELECT sysobjects.name AS [Table], sysobjects.ID, sysusers.name AS Owner,") +
           " ISNULL(TabInd.groupid, " + QString::number(defaultFileGroupId) + " ) AS FileGroupID," +
           " TextInd.groupid AS TextFileGroupID" +
           " FROM sysobjects (NOLOCK) INNER JOIN sysusers (NOLOCK) ON sysobjects.uid = sysusers.uid" +
           " LEFT OUTER JOIN sysindexes AS TabInd (NOLOCK) ON sysobjects.id = TabInd.id AND TabInd.indid=0" +
           " LEFT OUTER JOIN sysindexes AS TextInd (NOLOCK) ON sysobjects.id = TextInd.id AND TextInd.indid=255" +
           " WHERE " + Is("IsUserTable", "sysobjects.id") + NotShipped() + " ORDER BY sysusers.name, sysobjects.name";
}
inline QString Relations(bool firstPass, const QString& tableExcludeIds = QString()) {
    QString select = firstPass
        ? QStringLiteral(" ftable.id AS FTABLE_ID, ptable.id AS PTABLE_ID")
        : QStringLiteral(" sysobjects.name AS Relation, ") + Status() +
              ", ftable.name AS ForeignTable, ptable.name AS PrimaryTable, ftableowner.name AS ForeignTableOwner, ptableowner.name AS PrimaryTableOwner, sysreferences.*," +
              " OBJECTPROPERTY(sysobjects.id, 'CnstIsNotRepl') AS NotForRepl, " +
              " OBJECTPROPERTY(sysobjects.id, 'CnstIsDisabled') AS IsNoCheck, " +
              " ISNULL(OBJECTPROPERTY(sysobjects.id, 'CnstIsDeleteCascade'),0) AS DeleteCascade, " +
              " ISNULL(OBJECTPROPERTY(sysobjects.id, 'CnstIsUpdateCascade'),0) AS UpdateCascade ";
    QString q = QStringLiteral("SELECT ") + select + " FROM sysobjects" +
                " INNER JOIN sysreferences ON sysreferences.constid=sysobjects.id" +
                " INNER JOIN sysobjects AS ftable ON sysreferences.fkeyid=ftable.id" +
                " INNER JOIN sysobjects AS ptable ON sysreferences.rkeyid=ptable.id" +
                " INNER JOIN sysusers AS ftableowner ON ftableowner.uid=ftable.uid" +
                " INNER JOIN sysusers AS ptableowner ON ptableowner.uid=ptable.uid" + " WHERE sysobjects.type='F'";
    if (!tableExcludeIds.isEmpty())
        q += " AND NOT (ftable.id IN(" + tableExcludeIds + ") " + (firstPass ? "AND" : "OR") + " ptable.id IN(" + tableExcludeIds + "))";
    return q;
}
inline QString ViewsPre() { return Names() + " WHERE " + Is("IsView", "sysobjects.id") + NotShipped(); }
inline QString Views(const QString& list = QString()) {
    return QStringLiteral("SELECT ") + Status() + ", sysobjects.name AS [View], sysusers.name AS Owner, syscomments.colid, syscomments.text AS Definition" +
           " FROM sysobjects INNER JOIN sysusers ON sysobjects.uid = sysusers.uid" +
           " INNER JOIN syscomments ON sysobjects.id=syscomments.id" + " WHERE " + Is("IsView", "sysobjects.id") + NotShipped() +
           NotIn(list) + " ORDER BY sysusers.name, sysobjects.name, syscomments.Colid";
}
inline QString ProceduresPre() {
    return Names() + " WHERE " + Is("IsProcedure", "sysobjects.id") + NotShipped() + " AND NOT " + Is("IsExtendedProc", "sysobjects.id");
}
inline QString Procedures(const QString& list = QString()) {
    return QStringLiteral("SELECT ") + Status() + ", sysobjects.name AS [Procedure], sysusers.name AS Owner, syscomments.colid, syscomments.number, syscomments.text AS Definition" +
           " FROM sysobjects INNER JOIN sysusers ON sysobjects.uid = sysusers.uid" +
           " INNER JOIN syscomments ON sysobjects.id=syscomments.id" + " WHERE " + Is("IsProcedure", "sysobjects.id") + NotShipped() +
           " AND NOT " + Is("IsExtendedProc", "sysobjects.id") + NotIn(list) +
           " ORDER BY sysusers.name, sysobjects.name, syscomments.number, syscomments.colid";
}
inline QString FunctionsPre() { return Names() + " WHERE objectproperty(id,'IsTableFunction') IS NOT NULL"; }
inline QString Functions(const QString& list = QString()) {
    return QStringLiteral("SELECT ") + Status() + ", sysobjects.name AS [Function], sysusers.name AS Owner, syscomments.colid, syscomments.number, syscomments.text AS Definition" +
           " FROM sysobjects INNER JOIN sysusers ON sysobjects.uid = sysusers.uid" +
           " INNER JOIN syscomments ON sysobjects.id=syscomments.id" +
           " WHERE (objectproperty(sysobjects.id,'IsTableFunction') <> 0  " + " OR objectproperty(sysobjects.id,'IsScalarFunction') <> 0) " +
           NotIn(list) + " ORDER BY sysusers.name, sysobjects.name, syscomments.number, syscomments.colid";
}
inline QString Roles() {
    return QStringLiteral("SELECT sysusers.uid, sysusers.name AS Role, myusers.name AS Member\r\n"
                          "FROM sysusers\r\n"
                          "LEFT OUTER JOIN sysmembers ON sysmembers.groupuid=sysusers.uid\r\n"
                          "LEFT OUTER JOIN sysusers AS myusers ON sysmembers.memberuid=myusers.uid\r\n"
                          "WHERE sysusers.issqlrole = 1 AND sysusers.isapprole = 0 AND sysusers.sid IS NOT NULL\r\n"
                          "ORDER BY sysusers.uid, sysusers.name");
}
inline QString TriggersPre() {
    return QStringLiteral("SELECT QUOTENAME(sysusers.name) AS Owner, sysobjects.id, QUOTENAME(sysusers.name) + '.' + QUOTENAME(systables.name) AS FullName, ") +
           "QUOTENAME(sysusers.name) + '.' + QUOTENAME(systables.name) + '.' + QUOTENAME(sysobjects.name) AS FullName2" +
           " FROM sysobjects" + " INNER JOIN sysobjects AS systables ON sysobjects.parent_obj=systables.id" +
           " INNER JOIN sysusers ON systables.uid=sysusers.uid" + " WHERE sysobjects.type='TR'";
}
inline QString Triggers(const QString& list = QString(), const QString& tableExcludeIds = QString()) {
    return QStringLiteral("SELECT ") + Status() + ", sysobjects.name AS [Trigger], systables.name AS [Table], sysusers.name AS TableOwner, syscomments.colid, syscomments.text AS Definition" +
           " FROM sysobjects" + " INNER JOIN syscomments ON sysobjects.id=syscomments.id" +
           " INNER JOIN sysobjects AS systables ON sysobjects.parent_obj=systables.id" +
           " INNER JOIN sysusers ON systables.uid=sysusers.uid" + " WHERE sysobjects.type='TR'" + NotIn(list) +
           (tableExcludeIds.isEmpty() ? QString() : " AND systables.id NOT IN(" + tableExcludeIds + ")") +
           " ORDER BY sysusers.name, systables.name, sysobjects.name, syscomments.colid";
}
inline QString Columns(bool sql2000 = true, const QString& tableExcludeIds = QString(), const QString& viewExcludeIds = QString()) {
    QString collation = sql2000 ? QStringLiteral(" syscolumns.Collation, ") : QStringLiteral(" CONVERT(varchar,NULL) AS Collation, ");
    return QStringLiteral("SELECT sysobjects.type AS ObjType, sysobjects.name AS [Table], sysusers.name AS TableOwner, systypes.name AS Datentyp,") +
           " syscolumns.name, syscolumns.colid, syscolumns.length, syscolumns.prec, " + " syscolumns.scale, syscolumns.isnullable, " +
           collation + " COLUMNPROPERTY(sysobjects.id, syscolumns.name, 'IsIdentity') AS IsIdentity, " +
           " COLUMNPROPERTY(sysobjects.id, syscolumns.name, 'IsIdNotForRepl') AS IsIdNotForRepl, " +
           " COLUMNPROPERTY(sysobjects.id, syscolumns.name, 'IsRowGuidCol') AS IsRowGuidCol, " +
           " CASE WHEN sysobjects.type = 'V' THEN 0 ELSE ident_seed(QUOTENAME(sysusers.name) + '.' + QUOTENAME(sysobjects.name)) END AS ID_Start," +
           " CASE WHEN sysobjects.type = 'V' THEN 0 ELSE ident_incr(QUOTENAME(sysusers.name) + '.' + QUOTENAME(sysobjects.name)) END AS ID_Schritt" +
           " FROM sysobjects" + " INNER JOIN sysusers ON sysobjects.uid = sysusers.uid" +
           " INNER JOIN syscolumns ON sysobjects.id=syscolumns.id" + " INNER JOIN systypes ON syscolumns.xusertype=systypes.xusertype" +
           " WHERE (sysobjects.type = 'U' OR sysobjects.type = 'V') AND sysobjects.status>=0" + NotIn(tableExcludeIds) +
           NotIn(viewExcludeIds) + " ORDER BY sysusers.name, sysobjects.name, syscolumns.colid";
}
inline QString Formulas(const QString& tableExcludeIds = QString()) {
    return QStringLiteral("SELECT sysobjects.name AS [Table], sysusers.name AS Owner, syscomments.colid, syscomments.number, syscomments.text AS Definition") +
           " FROM sysobjects INNER JOIN sysusers ON sysobjects.uid = sysusers.uid" + " INNER JOIN syscomments ON sysobjects.id=syscomments.id" +
           " WHERE " + Is("IsUserTable", "sysobjects.id") + NotShipped() + " AND NOT " + Is("IsExtendedProc", "sysobjects.id") +
           NotIn(tableExcludeIds) + " ORDER BY sysusers.name, sysobjects.name, syscomments.number, syscomments.colid";
}
inline QString Indexes(const QString& tableExcludeIds = QString()) {
    return QStringLiteral("SELECT sysindexes.name AS [Index], sysindexes.indid, sysobjects.name AS [Table], sysusers.name AS TableOwner, syscolumns.name AS Field, sysindexes.status, sysindexes.groupid, ") +
           " INDEXPROPERTY(sysobjects.id, sysindexes.name, 'IsUnique') AS IsUnique, " +
           " INDEXPROPERTY(sysobjects.id, sysindexes.name, 'IsClustered') AS IsClustered, " +
           " INDEXPROPERTY(sysobjects.id, sysindexes.name, 'IndexFillFactor') AS IndexFillFactor, " +
           " INDEXPROPERTY(sysobjects.id, sysindexes.name, 'IsPadIndex') AS IsPadIndex, " +
           " ISNULL(OBJECTPROPERTY(parentobj.id, 'IsUniqueCnst'),0) AS IsUniqueConstraint, " +
           " ISNULL(OBJECTPROPERTY(parentobj.id, 'CnstIsClustKey'),0) AS IsPrimaryClustered, " +
           " ISNULL(OBJECTPROPERTY(parentobj.id, 'CnstIsNonclustKey'),0) AS IsPrimaryNonClustered " + " FROM sysindexes" +
           " INNER JOIN sysindexkeys ON sysindexes.indid=sysindexkeys.indid AND sysindexkeys.id=sysindexes.id" +
           " INNER JOIN sysobjects ON sysobjects.id=sysindexes.id" +
           " LEFT OUTER JOIN sysobjects AS parentobj ON parentobj.parent_obj=sysindexes.id AND parentobj.name=sysindexes.name " +
           " INNER JOIN syscolumns ON sysindexkeys.colid=syscolumns.colid AND syscolumns.id=sysobjects.id" +
           " INNER JOIN sysusers ON sysusers.uid=sysobjects.uid" + " WHERE " + Is("IsUserTable", "sysobjects.id") + NotShipped() +
           " AND ISNULL(INDEXPROPERTY(sysobjects.id, sysindexes.name, 'IsStatistics'),0) = 0 " + NotIn(tableExcludeIds) + "\r\n" +
           " ORDER BY sysindexes.id, sysindexes.name, sysindexkeys.keyno";
}
inline QString Catalogs() { return QStringLiteral("SELECT [Name] FROM sysfulltextcatalogs ORDER BY [Name]"); }
inline QString FullTextProperties(int objectId) {
    const QString id = QString::number(objectId);
    return "SELECT OBJECTPROPERTY(" + id + ",'TableFullTextChangeTrackingOn') AS Tracking, OBJECTPROPERTY(" + id +
           ",'TableFullTextBackgroundUpdateIndexOn') AS BGUpdate";
}
inline QString Defaults(const QString& tableExcludeIds = QString()) {
    return QStringLiteral("SELECT systables.name AS [Table], sysusers.name AS TableOwner, sysobjects.name AS [Default], syscolumns.name AS Field, syscomments.text AS Definition") +
           " FROM sysobjects" + " INNER JOIN syscomments ON sysobjects.id=syscomments.id" +
           " INNER JOIN syscolumns ON sysobjects.id=syscolumns.cdefault AND syscolumns.id=sysobjects.parent_obj" +
           " INNER JOIN sysobjects AS systables ON sysobjects.parent_obj = systables.id" +
           " INNER JOIN sysusers ON sysusers.uid = systables.uid" + " WHERE sysobjects.type='D' AND systables.status>=0" +
           (tableExcludeIds.isEmpty() ? QString() : " AND systables.id NOT IN(" + tableExcludeIds + ")");
}
// The table columns bound to a default or rule of their own (CREATE DEFAULT / CREATE RULE).
inline QString BoundColumns() {
    return QStringLiteral("SELECT sysusers.name AS Owner, sysobjects.name AS [Table], syscolumns.name AS Field, "
                          "bound.name AS Bound, bound.xtype FROM syscolumns INNER JOIN sysobjects ON "
                          "syscolumns.id = sysobjects.id INNER JOIN sysusers ON sysobjects.uid = sysusers.uid "
                          "INNER JOIN sysobjects AS bound ON (bound.id = syscolumns.cdefault OR bound.id = "
                          "syscolumns.domain) WHERE bound.parent_obj = 0 AND sysobjects.xtype = 'U'");
}
inline QString Checks(const QString& tableExcludeIds = QString()) {
    return QStringLiteral("SELECT systables.name AS [Table], sysobjects.status, sysusers.name AS TableOwner, sysobjects.name AS [Check], syscomments.text AS Definition") +
           " FROM sysobjects" + " INNER JOIN syscomments ON sysobjects.id=syscomments.id" +
           " INNER JOIN sysobjects AS systables ON sysobjects.parent_obj = systables.id" +
           " INNER JOIN sysusers ON sysusers.uid = systables.uid" + " WHERE sysobjects.type='C'" +
           (tableExcludeIds.isEmpty() ? QString() : " AND systables.id NOT IN(" + tableExcludeIds + ")");
}
inline QString Permissions() {
    return QStringLiteral("SELECT sysobjects.name AS Object, sysobjects.type, sysusers.name AS Owner, grantee.name AS GranteeName, grantor.name AS GrantorName, syspermissions.*") +
           " FROM syspermissions" + " INNER JOIN sysobjects ON syspermissions.id=sysobjects.id" +
           " INNER JOIN sysusers ON sysobjects.uid=sysusers.uid" + " INNER JOIN sysusers AS grantee ON grantee.uid=syspermissions.grantee" +
           " INNER JOIN sysusers AS grantor ON grantor.uid=syspermissions.grantor" + " WHERE sysobjects.Status >= 0";
}

}  // namespace catalog_queries
