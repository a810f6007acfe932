#pragma once
// Terse construction of schema models for generator tests:
//
//   TestDb src("SRV", "Src");
//   auto t = src.Table("dbo", "T");
//   t.Col("ID", "int").Identity(1, 1);
//   t.Col("Name", "nvarchar", 50).Nullable().Default("DF_T_Name", "('x')");
//   t.PrimaryKey("PK_T", {"ID"});
//   t.Relation("FK_T_U", "dbo", "U", {"UID"}, {"ID"});
//   src.View("dbo", "V", "CREATE VIEW V AS SELECT 1 AS A");
//   LinkPair(src, dst);
//
// Every object is included by the filters, collations and file groups take part, and tables sit
// on the file group PRIMARY unless a test says otherwise.
#include "compare/linking.h"
#include "schema/model.h"
#include "schema/sql_text.h"
#include "support/qt_print.h"

#include <QStringList>
#include <initializer_list>
#include <memory>

namespace model_builder {

inline void AddNames(Collection<QString>& names, std::initializer_list<const char*> list) {
    for (const char* name : list) names.Add(QString::fromUtf8(name));
}

class ColumnBuilder {
public:
    explicit ColumnBuilder(FieldPtr field) : field_(std::move(field)) {}
    ColumnBuilder& Nullable(bool canBeNull = true) { field_->CanBeNull = canBeNull; return *this; }
    ColumnBuilder& Identity(long seed, long incr, bool notForReplication = false) {
        field_->Identity = true;
        field_->IdentitySeed = seed;
        field_->IdentityIncr = incr;
        field_->IdentityNoRepl = notForReplication;
        return *this;
    }
    ColumnBuilder& RowGuid() { field_->IsRowGUID = true; return *this; }
    ColumnBuilder& Computed(const QString& formula) { field_->Formula = formula; return *this; }
    ColumnBuilder& Collate(const QString& collation) { field_->Collation = collation; return *this; }
    ColumnBuilder& FullText(long language = -1, const QString& typeColumn = QString());
    ColumnBuilder& Default(const QString& name, const QString& value);
    Tovimar_Field& operator*() const { return *field_; }
    Tovimar_Field* operator->() const { return field_.get(); }
    const FieldPtr& Ptr() const { return field_; }

private:
    FieldPtr field_;
};

class TableBuilder {
public:
    TableBuilder(Tovimar_Database& db, TablePtr table) : db_(&db), table_(std::move(table)) {}

    ColumnBuilder Col(const QString& name, const QString& type, long precision = 0, long decimals = 0) {
        auto field = std::make_shared<Tovimar_Field>();
        field->Name = name;
        field->DataType = type;
        field->ColID = static_cast<int>(table_->Fields.Count()) + 1;
        field->DataPrecision = precision;
        field->DataDecimals = decimals;
        field->DataSize = precision > 0 ? precision : 4;
        field->FTI_Language = -1;
        table_->AddField(field);
        return ColumnBuilder(field);
    }

    Tovimar_Index& Index(const QString& name, std::initializer_list<const char*> columns) {
        auto index = std::make_shared<Tovimar_Index>();
        index->Name = name;
        index->Table = table_.get();
        index->FileGroupName = QStringLiteral("PRIMARY");
        AddNames(index->FieldNames, columns);
        table_->Indexes.Add(index, index->FullName(false));
        db_->Indexes.Add(index, index->FullName(true));
        return *index;
    }
    Tovimar_Index& PrimaryKey(const QString& name, std::initializer_list<const char*> columns) {
        Tovimar_Index& index = Index(name, columns);
        index.IsPrimaryKey = index.IsUnique = index.IsClustered = true;
        table_->PrimaryKey = &index;
        return index;
    }

    Tovimar_Relation& Relation(const QString& name, const QString& primaryOwner, const QString& primaryName,
                               std::initializer_list<const char*> columns,
                               std::initializer_list<const char*> primaryColumns) {
        auto relation = std::make_shared<Tovimar_Relation>();
        relation->Name = name;
        relation->Table = table_.get();
        relation->PrimaryTableFullName = QuoteName(primaryOwner, primaryName);
        relation->PrimaryTable = db_->Tables.Item(relation->PrimaryTableFullName).get();
        AddNames(relation->FieldNames, columns);
        AddNames(relation->PrimaryFieldNames, primaryColumns);
        table_->Relations.Add(relation, relation->FullName(false));
        db_->Relations.Add(relation, relation->FullName(true));
        return *relation;
    }

    Tovimar_Check& Check(const QString& name, const QString& value) {
        auto check = std::make_shared<Tovimar_Check>();
        check->Name = name;
        check->Table = table_.get();
        check->Value = value;
        table_->Checks.Add(check, check->FullName(false));
        db_->Checks.Add(check, check->FullName(true));
        return *check;
    }

    Tovimar_Trigger& Trigger(const QString& name, const QString& definition, long status = 24) {
        auto trigger = std::make_shared<Tovimar_Trigger>();
        trigger->Name = name;
        trigger->Table = table_.get();
        trigger->Definition = definition;
        trigger->ObjStatus = status;
        trigger->ObjectIncluded = true;
        table_->Triggers.Add(trigger, trigger->FullName(false));
        db_->Triggers.Add(trigger, trigger->FullName(true));
        return *trigger;
    }

    // A full-text index on the table; columns join it with ColumnBuilder::FullText.
    TableBuilder& FullTextIndex(const QString& catalog, const QString& keyIndex, bool changeTracking = false,
                                bool backgroundUpdate = false) {
        table_->FTI_Catalog = catalog;
        table_->FTI_UniqueIndex = keyIndex;
        table_->FTI_ChangeTracking = changeTracking;
        table_->FTI_BackgroundUpdate = backgroundUpdate;
        return *this;
    }

    // A data copy definition: excluded columns, CR LF, condition.
    TableBuilder& DataCopy(const QString& excludedColumns, const QString& condition) {
        table_->DataCopyDefs.Add(condition.isNull() ? excludedColumns : excludedColumns + QStringLiteral("\r\n") + condition);
        return *this;
    }

    Tovimar_Table& operator*() const { return *table_; }
    Tovimar_Table* operator->() const { return table_.get(); }
    const TablePtr& Ptr() const { return table_; }

private:
    Tovimar_Database* db_;
    TablePtr table_;
};

inline ColumnBuilder& ColumnBuilder::FullText(long language, const QString& typeColumn) {
    field_->FTI_Field = true;
    field_->FTI_Language = language;
    field_->FTI_ImageTypeField = typeColumn;
    Tovimar_Table* table = field_->Table();
    if (!table->FTI_Columns) table->FTI_Columns.emplace();
    table->FTI_Columns->Add(field_, field_->Name);
    return *this;
}

inline ColumnBuilder& ColumnBuilder::Default(const QString& name, const QString& value) {
    Tovimar_Table* table = field_->Table();
    auto def = std::make_shared<Tovimar_Default>();
    def->Name = name;
    def->Value = value;
    def->Field = field_.get();
    def->Table = table;
    field_->Default = def.get();
    table->Defaults.Add(def, def->FullName(false));
    if (Tovimar_Database* db = table->Database()) db->Defaults.Add(def, def->FullName(true));
    return *this;
}

class TestDb {
public:
    TestDb(const QString& server, const QString& name) : db_(std::make_unique<Tovimar_Database>()) {
        db_->Server = server;
        db_->Name = name;
        db_->SrvVer = 80;
    }

    TableBuilder Table(const QString& owner, const QString& name) {
        auto table = std::make_shared<Tovimar_Table>();
        table->Owner = owner;
        table->Name = name;
        table->SetDatabase(db_.get());
        table->ObjectIncluded = true;
        table->CollationsIncluded = true;
        table->FileGroupsIncluded = true;
        table->FileGroupName = table->TextFileGroupName = QStringLiteral("PRIMARY");
        db_->Tables.Add(table, table->FullName());
        return TableBuilder(*db_, table);
    }
    // The builder of a table added earlier.
    TableBuilder Existing(const QString& owner, const QString& name) {
        return TableBuilder(*db_, db_->Tables.Item(QuoteName(owner, name)));
    }

    Tovimar_View& View(const QString& owner, const QString& name, const QString& definition, long status = 24) {
        auto view = std::make_shared<Tovimar_View>();
        Init(*view, owner, name, status);
        view->Definition = definition;
        view->CollationsIncluded = true;
        db_->Views.Add(view, view->FullName());
        return *view;
    }
    Tovimar_Procedure& Procedure(const QString& owner, const QString& name, const QStringList& definitions,
                                 long status = 24) {
        auto procedure = std::make_shared<Tovimar_Procedure>();
        Init(*procedure, owner, name, status);
        for (int i = 0; i < definitions.size(); ++i) procedure->SetDefinition(i + 1, definitions[i]);
        db_->Procedures.Add(procedure, procedure->FullName());
        return *procedure;
    }
    Tovimar_Function& Function(const QString& owner, const QString& name, const QString& definition,
                               long status = 24) {
        auto function = std::make_shared<Tovimar_Function>();
        Init(*function, owner, name, status);
        function->Definition = definition;
        db_->Functions.Add(function, function->FullName());
        return *function;
    }
    Tovimar_Role& Role(const QString& name, const QStringList& members = {}) {
        auto role = std::make_shared<Tovimar_Role>();
        Init(*role, QString(), name, 0);
        for (const QString& member : members) role->MemberNames.Add(member);
        db_->Roles.Add(role, role->FullName());
        return *role;
    }
    Tovimar_Catalog& Catalog(const QString& name) {
        auto catalog = std::make_shared<Tovimar_Catalog>();
        Init(*catalog, QString(), name, 0);
        db_->Catalogs.Add(catalog, catalog->FullName());
        return *catalog;
    }
    // The permissions of grantee on a table, view, procedure or function added earlier.
    Tovimar_Permission& Permission(Tovimar_DbObject& secured, const QString& grantee, const QString& grantor = {}) {
        auto permission = std::make_shared<Tovimar_Permission>();
        permission->SetDatabase(db_.get());
        permission->SecObject = &secured;
        permission->Grantee = grantee;
        permission->Grantor = grantor;
        permission->Name = permission->FullName();
        db_->Permissions.Add(permission, permission->FullName());
        return *permission;
    }

    // Points every relation at its primary table (tables may be added after their referrers).
    void ResolveRelations() {
        for (const TablePtr& table : db_->Tables)
            for (const RelationPtr& relation : table->Relations)
                if (!relation->PrimaryTable)
                    relation->PrimaryTable = db_->Tables.Item(relation->PrimaryTableFullName).get();
    }

    Tovimar_Database& operator*() const { return *db_; }
    Tovimar_Database* operator->() const { return db_.get(); }
    Tovimar_Database* Get() const { return db_.get(); }

private:
    void Init(Tovimar_DbObject& object, const QString& owner, const QString& name, long status) {
        object.Owner = owner;
        object.Name = name;
        object.ObjStatus = status;
        object.ObjectIncluded = true;
        object.SetDatabase(db_.get());
    }
    std::unique_ptr<Tovimar_Database> db_;
};

// Resolves the relations of both models and links them as a comparison run does.
inline void LinkPair(TestDb& source, TestDb& dest) {
    source.ResolveRelations();
    dest.ResolveRelations();
    LinkDatabases(*source, *dest);
}

}  // namespace model_builder

using model_builder::LinkPair;
using model_builder::TestDb;
