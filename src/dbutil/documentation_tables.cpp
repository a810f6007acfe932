#include "dbutil/documentation_tables.h"

#include "compare/generators.h"
#include "platform/db/db_connection.h"
#include "platform/progress.h"
#include "platform/prompt.h"
#include "platform/tovimar_exception.h"
#include "schema/model.h"
#include "schema/sql_text.h"

#include <QStringList>

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString Temp(const char* table) { return QLatin1String(DocumentationTables::TempPrefix) + QLatin1String(table); }
QString Final(const char* table) { return QLatin1String(table); }

QString Value(const QString& text) { return GetSQLValue(DbValue::FromString(text)); }
QString Value(int number) { return GetSQLValue(DbValue::FromInt(number)); }

QString Insert(const QString& table, const QString& columns, const QString& values) {
    return QStringLiteral("INSERT INTO ") + QuoteName(table) + CRLF + QLatin1Char('(') + columns + QLatin1Char(')') +
           CRLF + QStringLiteral("VALUES (") + values + QLatin1Char(')') + CRLF;
}

// Runs a batch whose failure is of no consequence (the previous tables may not exist).
void ExecuteIgnoringErrors(DbConnection& connection, const QString& sql) { connection.Execute(sql); }

void Execute(DbConnection& connection, const QString& sql) { connection.ExecuteSQL(sql); }

// The condition that pairs an object row of alias a with one of alias b.
QString SameObject(const QString& a, const QString& b) {
    return QStringLiteral("%2.TVO_Name = %1.TVO_Name AND %2.TVO_Type = %1.TVO_Type AND %2.TVO_Owner = %1.TVO_Owner")
        .arg(a, b);
}
// The condition that pairs a member row of alias a with one of alias b (a missing type counts as empty).
QString SameMember(const QString& a, const QString& b) {
    return QStringLiteral("%2.TVM_Name = %1.TVM_Name AND ISNULL(%2.TVM_Type, '') = ISNULL(%1.TVM_Type, '')").arg(a, b);
}
QString HasUserText(const QString& alias, const QString& prefix) {
    return QStringLiteral("(ISNULL(%1.%2_Description, '') <> '' OR ISNULL(%1.%2_Comments, '') <> '')").arg(alias, prefix);
}

}  // namespace

QString DocumentationTables::CreateTablesSQL() {
    const QStringList objectColumns = {
        QStringLiteral("[TVO_ID] [int] IDENTITY (1, 1) NOT NULL ,"),
        QStringLiteral("[TVO_Type] [varchar] (50) NULL ,"),
        QStringLiteral("[TVO_Owner] [varchar] (200) NULL ,"),
        QStringLiteral("[TVO_Name] [varchar] (200) NULL ,"),
        QStringLiteral("[TVO_Hidden] [int] NOT NULL DEFAULT (0),"),
        QStringLiteral("[TVO_Deleted] [int] NOT NULL DEFAULT (0),"),
        QStringLiteral("[TVO_Description] [varchar] (1000) NULL ,"),
        QStringLiteral("[TVO_Comments] [varchar] (6000) NULL"),
    };
    const QStringList memberColumns = {
        QStringLiteral("[TVM_ID] [int] IDENTITY (1, 1) NOT NULL ,"),
        QStringLiteral("[TVM_TVO_REF] [int] NULL ,"),
        QStringLiteral("[TVM_Type] [varchar] (50) NULL ,"),
        QStringLiteral("[TVM_Name] [varchar] (200) NULL ,"),
        QStringLiteral("[TVM_Definition] [varchar] (500) NULL ,"),
        QStringLiteral("[TVM_Deleted] [int] NOT NULL DEFAULT (0),"),
        QStringLiteral("[TVM_Description] [varchar] (1000) NULL ,"),
        QStringLiteral("[TVM_Comments] [varchar] (6000) NULL ,"),
        QStringLiteral("[TVM_Primary_TVO_REF] [int] NULL"),
    };
    auto create = [](const QString& table, const QStringList& columns) {
        return QStringLiteral("CREATE TABLE [dbo].[") + table + QStringLiteral("] (") + CRLF + columns.join(CRLF) +
               CRLF + QLatin1Char(')') + CRLF;
    };
    return create(Temp(ObjectTable), objectColumns) + create(Temp(MemberTable), memberColumns);
}

int DocumentationTables::CountObject(const QString& type, const QString& name, const QString& owner) {
    objectRows_ += Insert(Temp(ObjectTable), QStringLiteral("TVO_Type ,TVO_Name ,TVO_Owner"),
                          Value(type) + QStringLiteral(" ,") + Value(name) + QStringLiteral(" ,") + Value(owner));
    return ++objectCount_;
}

void DocumentationTables::AddMember(const QString& columns, const QString& values) {
    memberRows_ += Insert(Temp(MemberTable), columns, values);
}

bool DocumentationTables::BuildRows() {
    objectRows_.clear();
    memberRows_.clear();
    objectCount_ = 0;
    tableNumbers_.clear();
    const QString memberColumns = QStringLiteral("TVM_TVO_REF ,TVM_Type ,TVM_Name ,TVM_Definition");
    auto addColumns = [&](int number, const Tovimar_FieldOwner& owner) {
        for (const FieldPtr& field : owner.Fields)
            if (field)
                AddMember(memberColumns, Value(number) + QStringLiteral(" ,") + Value(QStringLiteral("Column")) +
                                             QStringLiteral(" ,") + Value(field->Name) + QStringLiteral(" ,") +
                                             Value(field->DefinitionText()));
    };

    for (const TablePtr& table : db_.Tables) {
        if (!table) continue;
        if (progress_.ShowMessage(QStringLiteral("for TABLE ") + table->FullName())) return false;
        const int number = CountObject(QStringLiteral("Table"), table->Name, table->Owner);
        tableNumbers_.insert(table->FullName().toCaseFolded(), number);
        addColumns(number, *table);
        for (const IndexPtr& index : table->Indexes)
            if (index)
                AddMember(memberColumns,
                          Value(number) + QStringLiteral(" ,") + Value(QStringLiteral("Index")) + QStringLiteral(" ,") +
                              Value(index->Name) + QStringLiteral(" ,") +
                              Value(index->IsUnique ? QStringLiteral("UNIQUE INDEX") : QStringLiteral("INDEX")));
    }
    for (const ViewPtr& view : db_.Views) {
        if (!view) continue;
        if (progress_.ShowMessage(QStringLiteral("for VIEW ") + view->FullName())) return false;
        addColumns(CountObject(QStringLiteral("View"), view->Name, view->Owner), *view);
    }
    for (const ProcedurePtr& procedure : db_.Procedures) {
        if (!procedure) continue;
        if (progress_.ShowMessage(QStringLiteral("for PROCEDURE ") + procedure->FullName())) return false;
        CountObject(QStringLiteral("Procedure"), procedure->Name, procedure->Owner);
    }
    for (const FunctionPtr& function : db_.Functions) {
        if (!function) continue;
        if (progress_.ShowMessage(QStringLiteral("for FUNCTION ") + function->FullName())) return false;
        CountObject(QStringLiteral("Function"), function->Name, function->Owner);
    }
    for (const TablePtr& table : db_.Tables) {
        if (!table) continue;
        if (progress_.ShowMessage(QStringLiteral("for RELATIONS OF TABLE ") + table->FullName())) return false;
        const int number = tableNumbers_.value(table->FullName().toCaseFolded());
        for (const RelationPtr& relation : table->Relations) {
            if (!relation) continue;
            // A referenced table outside the numbered ones has no number: NULL, never another
            // object's number.
            const auto referenced = tableNumbers_.constFind(relation->PrimaryTableFullName.toCaseFolded());
            const QString primary =
                referenced == tableNumbers_.constEnd() ? QStringLiteral("NULL") : Value(referenced.value());
            AddMember(QStringLiteral("TVM_TVO_REF ,TVM_Type ,TVM_Name ,TVM_Primary_TVO_REF"),
                      Value(number) + QStringLiteral(" ,") + Value(QStringLiteral("Relation")) + QStringLiteral(" ,") +
                          Value(relation->Name) + QStringLiteral(" ,") + primary);
        }
    }
    return true;
}

QString DocumentationTables::ParameterStatements() {
    const QString member = Temp(MemberTable);
    const QString object = Temp(ObjectTable);
    const QString returnValues =
        QStringLiteral("INSERT INTO ") + member + QStringLiteral("(TVM_TVO_REF, TVM_Type, TVM_Name, TVM_Definition) ") +
        QStringLiteral("SELECT  TVO_ID, 'Parameter' AS Type, ") + QStringLiteral("  'RETURN VALUE' AS ColName,") +
        QStringLiteral("  NULL AS Definition ") + QStringLiteral("From sysobjects ") +
        QStringLiteral("INNER JOIN sysusers ON sysusers.uid  = sysobjects.uid ") + QStringLiteral("INNER JOIN ") + object +
        QStringLiteral(" AS _TovimarObject ON TVO_Owner = sysusers.name ") +
        QStringLiteral("AND TVO_Name = sysobjects.name ") + QStringLiteral("AND TVO_Type = 'Procedure' ") +
        QStringLiteral("WHERE sysobjects.type IN ('P') AND sysobjects.status>=0 ") +
        QStringLiteral("ORDER BY sysusers.name, sysobjects.name ");
    const QString parameters =
        QStringLiteral("INSERT INTO ") + member + QStringLiteral("(TVM_TVO_REF, TVM_Type, TVM_Name, TVM_Definition) ") +
        QStringLiteral("SELECT  TVO_ID, 'Parameter' AS Type, ") +
        QStringLiteral("  CASE WHEN ISNULL(syscolumns.name,'')='' THEN 'RETURN VALUE' ELSE syscolumns.name END AS ColName,") +
        QStringLiteral("  systypes.name + LTRIM(CASE") +
        QStringLiteral("  WHEN systypes.name IN ('binary', 'char', 'nchar', 'nvarchar', 'varbinary', 'varchar' )") +
        QStringLiteral("  THEN '('+LTRIM(STR(syscolumns.prec))+')'") +
        QStringLiteral("  WHEN systypes.name IN ('decimal', 'numeric')") +
        QStringLiteral("  THEN '('+LTRIM(STR(syscolumns.prec))+','+LTRIM(STR(syscolumns.scale))+')'") +
        QStringLiteral("  Else '' END + CASE") + QStringLiteral("  WHEN syscolumns.isoutparam<>0 THEN ' OUTPUT'") +
        QStringLiteral("  ELSE '' END) AS Definition  ") + QStringLiteral("From sysobjects ") +
        QStringLiteral("INNER JOIN sysusers ON sysusers.uid  = sysobjects.uid ") +
        QStringLiteral("INNER JOIN syscolumns ON syscolumns.id  = sysobjects.id ") +
        QStringLiteral("INNER JOIN systypes ON syscolumns.xusertype=systypes.xusertype ") + QStringLiteral("INNER JOIN ") +
        object + QStringLiteral(" AS _TovimarObject ON TVO_Owner = sysusers.name ") +
        QStringLiteral("AND TVO_Name = sysobjects.name ") +
        QStringLiteral("AND TVO_Type = CASE WHEN sysobjects.type IN ('FN') THEN 'Function' ") +
        QStringLiteral("WHEN sysobjects.type ='P' THEN 'Procedure' ELSE NULL END ") +
        QStringLiteral("WHERE sysobjects.type IN ('FN','P') AND sysobjects.status>=0 ") +
        QStringLiteral("ORDER BY sysusers.name, sysobjects.name, syscolumns.colorder ");
    return returnValues + CRLF + parameters + CRLF;
}

QString DocumentationTables::CarryOverSQL() {
    const QString newObject = QuoteName(QStringLiteral("dbo"), Temp(ObjectTable));
    const QString newMember = QuoteName(QStringLiteral("dbo"), Temp(MemberTable));
    const QString oldObject = QuoteName(QStringLiteral("dbo"), Final(ObjectTable));
    const QString oldMember = QuoteName(QStringLiteral("dbo"), Final(MemberTable));
    auto ifPrevious = [](const QString& table, const QString& sql) {
        return GetSQLIfExists(table, QStringLiteral("IsUserTable"), sql) + CRLF;
    };

    // 1. Objects that are still there keep their texts and their hidden mark.
    const QString objectTexts =
        QStringLiteral("UPDATE N SET TVO_Description = P.TVO_Description, TVO_Comments = P.TVO_Comments, "
                       "TVO_Hidden = P.TVO_Hidden, TVO_Deleted = CASE WHEN P.TVO_Deleted = 1 THEN 1 ELSE N.TVO_Deleted END"
                       " FROM ") +
        newObject + QStringLiteral(" AS N INNER JOIN ") + oldObject + QStringLiteral(" AS P ON ") +
        SameObject(QStringLiteral("N"), QStringLiteral("P"));
    // 2. Documented objects that are gone stay, marked as deleted.
    const QString goneObjects =
        QStringLiteral("INSERT INTO ") + newObject +
        QStringLiteral(" (TVO_Type, TVO_Owner, TVO_Name, TVO_Hidden, TVO_Deleted, TVO_Description, TVO_Comments)"
                       " SELECT P.TVO_Type, P.TVO_Owner, P.TVO_Name, P.TVO_Hidden,"
                       " CASE WHEN P.TVO_Deleted = 0 THEN 1 ELSE P.TVO_Deleted END, P.TVO_Description, P.TVO_Comments"
                       " FROM ") +
        oldObject + QStringLiteral(" AS P WHERE NOT EXISTS (SELECT * FROM ") + newObject + QStringLiteral(" AS N WHERE ") +
        SameObject(QStringLiteral("P"), QStringLiteral("N")) + QStringLiteral(") AND ") +
        HasUserText(QStringLiteral("P"), QStringLiteral("TVO")) + QStringLiteral(" ORDER BY P.TVO_ID");
    // 3. Members still there (same object, name and type) keep their texts.
    const QString memberTexts =
        QStringLiteral("UPDATE NM SET TVM_Description = PM.TVM_Description, TVM_Comments = PM.TVM_Comments, "
                       "TVM_Deleted = CASE WHEN PM.TVM_Deleted = 1 THEN 1 ELSE NM.TVM_Deleted END FROM ") +
        newMember + QStringLiteral(" AS NM INNER JOIN ") + newObject +
        QStringLiteral(" AS N ON N.TVO_ID = NM.TVM_TVO_REF INNER JOIN ") + oldObject + QStringLiteral(" AS P ON ") +
        SameObject(QStringLiteral("N"), QStringLiteral("P")) + QStringLiteral(" INNER JOIN ") + oldMember +
        QStringLiteral(" AS PM ON PM.TVM_TVO_REF = P.TVO_ID AND ") + SameMember(QStringLiteral("NM"), QStringLiteral("PM"));
    // 4. Documented members that are gone stay with their object, marked as deleted. A relation's
    // referenced table is looked up again by name: the previous number belongs to the previous table.
    const QString goneMembers =
        QStringLiteral("INSERT INTO ") + newMember +
        QStringLiteral(" (TVM_TVO_REF, TVM_Type, TVM_Name, TVM_Definition, TVM_Deleted, TVM_Description, TVM_Comments,"
                       " TVM_Primary_TVO_REF)"
                       " SELECT N.TVO_ID, PM.TVM_Type, PM.TVM_Name, PM.TVM_Definition,"
                       " CASE WHEN PM.TVM_Deleted = 0 THEN 1 ELSE PM.TVM_Deleted END, PM.TVM_Description,"
                       " PM.TVM_Comments, NR.TVO_ID FROM ") +
        oldMember + QStringLiteral(" AS PM INNER JOIN ") + oldObject +
        QStringLiteral(" AS P ON P.TVO_ID = PM.TVM_TVO_REF INNER JOIN ") + newObject + QStringLiteral(" AS N ON ") +
        SameObject(QStringLiteral("P"), QStringLiteral("N")) + QStringLiteral(" LEFT OUTER JOIN ") + oldObject +
        QStringLiteral(" AS PR ON PR.TVO_ID = PM.TVM_Primary_TVO_REF LEFT OUTER JOIN ") + newObject +
        QStringLiteral(" AS NR ON ") + SameObject(QStringLiteral("PR"), QStringLiteral("NR")) +
        QStringLiteral(" WHERE NOT EXISTS (SELECT * FROM ") + newMember +
        QStringLiteral(" AS NM WHERE NM.TVM_TVO_REF = N.TVO_ID AND ") + SameMember(QStringLiteral("PM"), QStringLiteral("NM")) +
        QStringLiteral(") AND (") + HasUserText(QStringLiteral("PM"), QStringLiteral("TVM")) +
        QStringLiteral(" OR N.TVO_Deleted = 1) ORDER BY PM.TVM_ID");
    return ifPrevious(oldObject, objectTexts) + ifPrevious(oldObject, goneObjects) +
           ifPrevious(oldMember, memberTexts) + ifPrevious(oldMember, goneMembers);
}

QString DocumentationTables::DropPreviousSQL() {
    return QStringLiteral("DROP TABLE ") + Final(MemberTable) + CRLF + QStringLiteral("DROP TABLE ") +
           Final(ObjectTable) + CRLF;
}

QString DocumentationTables::FinalizeSQL() {
    const QString object = Final(ObjectTable);
    const QString member = Final(MemberTable);
    auto rename = [](const QString& temp, const QString& final) {
        return QStringLiteral("EXEC sp_rename ") + Value(QuoteName(QStringLiteral("dbo"), temp)) + QStringLiteral(", ") +
               Value(final) + QStringLiteral(", 'OBJECT'") + CRLF;
    };
    const QStringList lines = {
        QStringLiteral("ALTER TABLE ") + QuoteName(QStringLiteral("dbo"), object) + QStringLiteral(" WITH NOCHECK ADD"),
        QStringLiteral("CONSTRAINT [PK_") + object + QStringLiteral("] PRIMARY KEY  CLUSTERED"),
        QStringLiteral("("),
        QStringLiteral("[TVO_ID]"),
        QStringLiteral(")"),
        QStringLiteral("ALTER TABLE [dbo].[") + member + QStringLiteral("] WITH NOCHECK ADD"),
        QStringLiteral("CONSTRAINT [PK_") + member + QStringLiteral("] PRIMARY KEY  CLUSTERED"),
        QStringLiteral("("),
        QStringLiteral("[TVM_ID]"),
        QStringLiteral(")"),
        QStringLiteral("ALTER TABLE [dbo].[") + member + QStringLiteral("] ADD"),
        QStringLiteral("CONSTRAINT [FK_") + member + QLatin1Char('_') + object + QStringLiteral("] FOREIGN KEY"),
        QStringLiteral("("),
        QStringLiteral("[TVM_TVO_REF]"),
        QStringLiteral(") REFERENCES [dbo].[") + object + QStringLiteral("] ("),
        QStringLiteral("[TVO_ID]"),
        QStringLiteral(")"),
        QStringLiteral("COMMIT"),
    };
    return rename(Temp(ObjectTable), object) + rename(Temp(MemberTable), member) + lines.join(CRLF) + CRLF;
}

DocumentationTables::Outcome DocumentationTables::Update() {
    if (!db_.Connection) throw TovimarException(91, QStringLiteral("DocumentationTables"), QStringLiteral("No connection"));
    DbConnection& connection = *db_.Connection;
    ExecuteIgnoringErrors(connection, QStringLiteral("BEGIN TRANSACTION\r\nSET QUOTED_IDENTIFIER ON\r\n"
                                                     "SET TRANSACTION ISOLATION LEVEL SERIALIZABLE\r\nCOMMIT\r\n"
                                                     "BEGIN TRANSACTION"));
    // Whatever ends the update early, the transaction opened above is rolled back, so the
    // previous tables are left as they were and no lock outlives the update on a connection
    // that stays open.
    bool committed = false;
    struct RollbackUnlessCommitted {
        DbConnection& connection;
        const bool& committed;
        ~RollbackUnlessCommitted() {
            if (committed) return;
            try {
                connection.Execute(QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"));
            } catch (...) {
            }
        }
    } rollback{connection, committed};

    progress_.ShowStatus(QStringLiteral("Processing..."), QStringLiteral("Creating DB-Doku..."));
    try {
        Execute(connection, CreateTablesSQL());
        if (!BuildRows()) {
            progress_.Close();
            return Outcome::Aborted;
        }
        progress_.ShowMessage(QStringLiteral("Saving data..."));
        Execute(connection, objectRows_ + memberRows_ + ParameterStatements());
    } catch (const TovimarException& e) {
        progress_.Close();
        LastError = e.Description;
        return Outcome::Aborted;
    }
    progress_.Close();
    Execute(connection, CarryOverSQL());
    ExecuteIgnoringErrors(connection, DropPreviousSQL());
    Execute(connection, FinalizeSQL());
    committed = true;
    return Outcome::Updated;
}

bool UpdateDocumentationTables(Tovimar_Database& db, Progress& progress, Prompt& prompt) {
    if (prompt.Ask(QStringLiteral("Database Documentation Tables will be updated. Continue?"), PromptIcon::Question,
                   PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes)
        return false;
    DocumentationTables tables(db, progress);
    if (tables.Update() == DocumentationTables::Outcome::Aborted) {
        progress.Close();
        prompt.Tell(QStringLiteral("Update of Documentation Tables aborted!"), PromptIcon::Exclamation);
        return false;
    }
    prompt.Tell(QStringLiteral("Documentation Tables successfully updated!"), PromptIcon::Information);
    return true;
}
