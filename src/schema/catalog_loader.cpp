#include "schema/catalog_loader.h"

#include "platform/db/db_connection.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "schema/catalog_queries.h"
#include "schema/snapshot_file.h"
#include "schema/sql_text.h"

#include <QElapsedTimer>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <functional>
#include <iterator>

namespace Q = CatalogQueries;

namespace {
const QString kSource = QStringLiteral("LoadDBObjects");

QString Text(const DbCursor& row, const char* column) { return row.Value(QLatin1String(column)).ToString(); }
long Number(const DbCursor& row, const char* column) {
    return static_cast<long>(row.Value(QLatin1String(column)).ToInt());
}
bool Flag(const DbCursor& row, const char* column) { return row.Value(QLatin1String(column)).ToInt() != 0; }
bool IsNull(const DbCursor& row, const char* column) { return row.Value(QLatin1String(column)).IsNull(); }

// One column of a result read row after row: looked up by name once, then read by position in
// place. A column the result lacks fails when it is read, as a read by name does.
class Column {
public:
    Column(const DbCursor& rows, const char* name)
        : rows_(rows), name_(QLatin1String(name)), position_(rows.ColumnIndex(name_)) {}
    const DbValue& Value() const { return position_ >= 0 ? rows_.ValueAt(position_) : rows_.Value(name_); }
    QString Text() const { return Value().ToString(); }
    long Number() const { return static_cast<long>(Value().ToInt()); }
    bool Flag() const { return Value().ToInt() != 0; }
    bool IsNull() const { return Value().IsNull(); }

private:
    const DbCursor& rows_;
    QString name_;
    int position_;
};

// The table of owner and name, found once for the rows of one table that follow each other.
class TableFinder {
public:
    explicit TableFinder(const Tovimar_Database& db) : db_(db) {}
    const TablePtr& Find(const QString& owner, const QString& name) {
        if (!found_ || owner != owner_ || name != name_) {
            owner_ = owner;
            name_ = name;
            table_ = db_.Tables.Item(QuoteName(owner, name));
            found_ = true;
        }
        return table_;
    }

private:
    const Tovimar_Database& db_;
    QString owner_, name_;
    TablePtr table_;
    bool found_ = false;
};

// "[name]" as QUOTENAME writes it, back to name.
QString Unquote(const QString& quoted) {
    if (quoted.size() >= 2 && quoted.startsWith(QLatin1Char('[')) && quoted.endsWith(QLatin1Char(']')))
        return quoted.mid(1, quoted.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
    return quoted;
}

// Adds an object under key unless the key is taken (a row seen twice must not end loading).
template <class P>
bool AddOnce(Collection<P>& collection, const P& object, const QString& key) {
    if (collection.Contains(key)) return false;
    collection.Add(object, key);
    return true;
}

void AddName(Collection<QString>& names, const QString& name) {
    if (!names.Contains(name)) names.Add(name, name);
}

// Closes the progress window however loading ends.
class ProgressCloser {
public:
    explicit ProgressCloser(Progress& progress) : progress_(progress) {}
    ~ProgressCloser() { progress_.Close(); }
    ProgressCloser(const ProgressCloser&) = delete;
    ProgressCloser& operator=(const ProgressCloser&) = delete;

private:
    Progress& progress_;
};
}  // namespace

// ---------------------------------------------------------------------------------------------
// Connecting

bool LoadDatabase(Tovimar_Database& db, const QString& serverName, const QString& databaseName,
                  const QString& userName, const QString& password, QString* failureMessage) {
    db.Server = serverName;
    db.Name = databaseName;
    db.Connection.reset();
    try {
        db.Connection = OpenConnection(serverName, databaseName, userName, password);
    } catch (const TovimarException& e) {
        if (failureMessage) *failureMessage = ConnectionFailureMessage(serverName, databaseName, e.Number, e.Description);
        return false;
    }
    return db.Connection != nullptr;
}

void LoadDatabase(Tovimar_Database& db, std::shared_ptr<DbConnection> connection) {
    if (connection) {
        db.Server = connection->ServerName();
        db.Name = connection->DatabaseName();
    }
    db.Connection = std::move(connection);
}

bool ExecuteSQL(Tovimar_Database& db, const QString& sql, Progress* progress) {
    if (!db.Connection) throw TovimarException(3709, QStringLiteral("ExecuteSQL"), QStringLiteral("The database is not connected."));
    DbConnection& connection = *db.Connection;
    connection.ClearErrors();
    try {
        return connection.ExecuteSQL(sql);
    } catch (const TovimarException&) {
        // A statement that reported its error may still be running on the server: give it a
        // moment, then cancel it before passing the error on.
        for (int wait = 0; wait < 3 && connection.IsExecuting(); ++wait) {
            QThread::msleep(200);
            if (progress) progress->Yield();
        }
        if (connection.IsExecuting()) {
            try {
                connection.Cancel();
            } catch (...) {
            }
        }
        throw;
    }
}

// ---------------------------------------------------------------------------------------------
// Driving the loaders

bool LoadDBObjects(Tovimar_Database& db, Progress& progress, bool definitionObjectsOnly) {
    db.TableExcludeIDs.clear();
    db.ViewExcludeIDs.clear();
    ProgressCloser closer(progress);
    progress.ShowCaption(QStringLiteral("Reading ") + db.FullName());
    db.Initialize();
    if (!db.Connection)
        throw TovimarException(3709, kSource, QStringLiteral("The database is not connected."));

    CatalogLoader loader(db, progress);
    const bool completed = [&] {
        if (loader.LoadVersion()) return true;  // the snapshot was still current
        if (!loader.LoadFileGroups()) return false;
        if (!loader.LoadTables()) return false;
        if (!definitionObjectsOnly && !db.CreateCache && !loader.LoadRelations(true)) return false;
        if (!loader.LoadViews() || !loader.LoadProcedures() || !loader.LoadFunctions() || !loader.LoadRoles() ||
            !loader.LoadTriggers())
            return false;
        if (definitionObjectsOnly) return true;
        return loader.LoadTypes() && loader.LoadBoundObjects() && loader.LoadColumns() && loader.LoadFormulas() && loader.LoadIndexes() && loader.LoadCatalogs() &&
               loader.LoadFullTextIndexes() && loader.LoadDefaults() && loader.LoadChecks() &&
               loader.LoadPermissions() && loader.LoadRelations(false);
    }();
    if (!completed) return false;
    SaveToCache(db);
    return true;
}

// ---------------------------------------------------------------------------------------------
// The loaders

CatalogLoader::CatalogLoader(Tovimar_Database& db, Progress& progress) : db_(db), progress_(progress) {}

CatalogLoader::~CatalogLoader() {
    if (queuedOn_) queuedOn_->DropQueuedQueries();
}

DbConnection& CatalogLoader::Connection() const {
    if (!db_.Connection) throw TovimarException(3709, kSource, QStringLiteral("The database is not connected."));
    return *db_.Connection;
}

bool CatalogLoader::Show(const QString& kind, const QString& fullName) { return !progress_.ShowObjectLoad(kind, fullName); }

void CatalogLoader::QueueQueriesAfterColumns() {
    // The full-text columns are asked for only when the server answers for the full-text tables,
    // and each table's full-text properties only for the tables it names: those run when asked.
    queuedOn_ = db_.Connection;
    const QString& tables = db_.TableExcludeIDs;
    for (const QString& sql : {Q::Formulas(tables), Q::Indexes(tables), Q::FullTextCatalogs(), Q::FullTextTables(),
                               Q::Defaults(tables), Q::Checks(tables), Q::Permissions(), Q::RelationsSecondPass(tables)})
        queuedOn_->QueueQuery(sql);
}

TablePtr CatalogLoader::FindTable(const QString& owner, const QString& name) const {
    return db_.Tables.Item(QuoteName(owner, name));
}

QString CatalogLoader::ExcludedIDs(const QString& preQuery, const QString& typeCode, bool triggers) {
    QStringList ids;
    auto rows = Connection().RunQuery(preQuery);
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        // The pre-query quotes the owner; filters are asked about owners by their plain name,
        // as tables are.
        const QString owner = Unquote(Text(*rows, "Owner"));
        long flags = 0;
        QStringList extras;
        bool included = db_.IsObjectIncluded(typeCode, Text(*rows, "FullName"), 2, owner, flags, extras);
        if (included && triggers)
            included = db_.IsObjectIncluded(QStringLiteral("tr"), Text(*rows, "FullName2"), 3, QString(), flags, extras);
        if (!included) ids.append(QString::number(rows->Value(QStringLiteral("id")).ToInt()));
    }
    return ids.join(QLatin1Char(','));
}

bool CatalogLoader::LoadVersion() {
    if (db_.UseCache) {
        try {
            if (!LoadFromCache(db_, true, &progress_)) db_.Version.clear();
        } catch (const TovimarException&) {
            db_.Version.clear();  // an unreadable snapshot only means the catalog is read
        }
    }
    db_.CmptLevel = 65;
    db_.SrvVer = 65;
    {
        auto rows = Connection().RunQuery(Q::SysDatabases(GetSQLValue(DbValue::FromString(db_.Name))));
        if (!rows->EndOfRows()) db_.CmptLevel = Number(*rows, "CmptLevel");
    }
    {
        auto rows = Connection().RunQuery(Q::SysDatabases(QStringLiteral("'master'")));
        if (!rows->EndOfRows()) db_.SrvVer = Number(*rows, "CmptLevel");
    }
    // Without permissions the fingerprint expression is NULL: then there is no fingerprint and
    // a snapshot is never taken for current.
    QString fingerprint;
    try {
        auto rows = Connection().RunQuery(Q::Fingerprint());
        if (!rows->EndOfRows() && !IsNull(*rows, "Version")) fingerprint = QStringLiteral("10;") + Text(*rows, "Version");
    } catch (const TovimarException&) {
        // The fingerprint only serves snapshots: when none is read or written, a server that
        // cannot compute it still has its catalog read.
        if (db_.UseCache || db_.CreateCache) throw;
        Connection().ClearErrors();
    }
    if (!fingerprint.isEmpty() && fingerprint.compare(db_.Version, Qt::CaseInsensitive) == 0) {
        db_.Initialize();
        if (LoadFromCache(db_, false, &progress_)) return true;
    }
    db_.Initialize();
    db_.Version = fingerprint;
    return false;
}

bool CatalogLoader::LoadFileGroups() {
    db_.FileGroups.Clear();
    auto rows = Connection().RunQuery(Q::FileGroups());
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        Tovimar_FileGroup group;
        group.ID = Number(*rows, "GroupID");
        group.Name = Text(*rows, "GroupName");
        AddOnce(db_.FileGroups, group, QStringLiteral("#") + QString::number(group.ID));
        if (Flag(*rows, "IsDefault")) db_.DefaultFileGroupID = group.ID;
    }
    return true;
}

bool CatalogLoader::LoadTables() {
    db_.TableExcludeIDs.clear();
    auto rows = Connection().RunQuery(Q::Tables(db_.DefaultFileGroupID));
    const Column name(*rows, "Table"), owner(*rows, "Owner"), id(*rows, "ID"), fileGroup(*rows, "FileGroupID"),
        textFileGroup(*rows, "TextFileGroupID");
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        auto table = std::make_shared<Tovimar_Table>();
        table->Name = name.Text();
        table->Owner = owner.Text();
        table->ObjectID = id.Number();
        table->FileGroupName = db_.GroupName(fileGroup.Number());
        table->TextFileGroupName = table->FileGroupName;
        if (!textFileGroup.IsNull()) table->TextFileGroupName = db_.GroupName(textFileGroup.Number());
        table->SetDatabase(&db_);
        const QString fullName = table->FullName();
        if (!Show(QStringLiteral("TABLE"), fullName)) return false;
        if (db_.Tables.Contains(fullName)) continue;
        table->CalcObjectIncluded();
        db_.Tables.Add(table, fullName);
    }
    if (db_.TableExcludeIDs.startsWith(QLatin1Char(','))) db_.TableExcludeIDs.remove(0, 1);
    return true;
}

bool CatalogLoader::LoadRelations(bool firstPass) {
    if (firstPass) {
        if (progress_.ShowMessage(QStringLiteral("SCANNING RELATIONS..."))) return false;
        auto rows = Connection().RunQuery(Q::RelationsFirstPass(db_.TableExcludeIDs));
        // Tables related to an included table are loaded in detail too (one level deep).
        QSet<QString> related;
        for (; !rows->EndOfRows(); rows->MoveNext()) {
            related.insert(QString::number(rows->Value(QStringLiteral("FTABLE_ID")).ToInt()));
            related.insert(QString::number(rows->Value(QStringLiteral("PTABLE_ID")).ToInt()));
        }
        QStringList kept;
        for (const QString& id : db_.TableExcludeIDs.split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!related.contains(id.trimmed())) kept.append(id);
        db_.TableExcludeIDs = kept.join(QLatin1Char(','));
        return true;
    }

    auto rows = Connection().RunQuery(Q::RelationsSecondPass(db_.TableExcludeIDs));
    // The key columns fkey1, fkey2, ... and rkey1, rkey2, ... in the order of the row.
    static const QRegularExpression fkey(QStringLiteral("^fkey\\d+$"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression rkey(QStringLiteral("^rkey\\d+$"), QRegularExpression::CaseInsensitiveOption);
    QList<int> fkeyColumns, rkeyColumns;
    for (int i = 0; i < rows->ColumnCount(); ++i) {
        if (fkey.match(rows->ColumnName(i)).hasMatch()) fkeyColumns.append(i);
        if (rkey.match(rows->ColumnName(i)).hasMatch()) rkeyColumns.append(i);
    }
    const Column foreignOwner(*rows, "ForeignTableOwner"), foreignTable(*rows, "ForeignTable"),
        primaryOwner(*rows, "PrimaryTableOwner"), primaryTable(*rows, "PrimaryTable"), relationName(*rows, "Relation"),
        notForRepl(*rows, "NotForRepl"), noCheck(*rows, "IsNoCheck"), deleteCascade(*rows, "DeleteCascade"),
        updateCascade(*rows, "UpdateCascade");
    TableFinder foreignTables(db_), primaryTables(db_);
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const TablePtr table = foreignTables.Find(foreignOwner.Text(), foreignTable.Text());
        const QString primaryOwnerName = primaryOwner.Text(), primaryTableName = primaryTable.Text();
        const TablePtr primary = primaryTables.Find(primaryOwnerName, primaryTableName);
        if (!table || !primary) continue;
        auto relation = std::make_shared<Tovimar_Relation>();
        relation->Name = relationName.Text();
        relation->Table = table.get();
        relation->PrimaryTableFullName = QuoteName(primaryOwnerName, primaryTableName);
        relation->PrimaryTable = primary.get();
        relation->NotForRepl = notForRepl.Flag();
        relation->NoCheckConstraint = noCheck.Flag();
        relation->DeleteCascade = deleteCascade.Flag();
        relation->UpdateCascade = updateCascade.Flag();
        bool complete = true;
        auto addKeys = [&](const QList<int>& columns, Tovimar_Table& owner, Collection<QString>& names) {
            for (int column : columns) {
                const qint64 colid = rows->ValueAt(column).ToInt();
                if (colid == 0) continue;
                const FieldPtr field = owner.FieldsByColID.ByID(colid);
                if (!field) {
                    complete = false;
                    return;
                }
                names.Add(field->Name);
            }
        };
        addKeys(fkeyColumns, *table, relation->FieldNames);
        if (complete) addKeys(rkeyColumns, *primary, relation->PrimaryFieldNames);
        if (!complete) {
            relation->Clear();
            continue;
        }
        const QString key = relation->FullName(false);
        if (!Show(QStringLiteral("RELATION"), key)) {
            relation->Clear();
            return false;
        }
        if (!AddOnce(table->Relations, relation, key)) {
            relation->Clear();
            continue;
        }
        AddOnce(db_.Relations, relation, table->FullName() + QLatin1Char('.') + key);
    }
    return true;
}

namespace {
// What differs between the view, procedure and function loaders.
template <class T>
struct CodeObjectKind {
    QString Phase;
    QString Kind;
    QString NameColumn;
    Collection<std::shared_ptr<T>>* Target;
};

void AppendChunk(Tovimar_View& view, const DbCursor&, const QString& chunk) { view.Definition += chunk; }
void AppendChunk(Tovimar_Function& function, const DbCursor&, const QString& chunk) { function.Definition += chunk; }
void AppendChunk(Tovimar_Procedure& procedure, const DbCursor& row, const QString& chunk) {
    const int number = static_cast<int>(row.Value(QStringLiteral("Number")).ToInt());
    procedure.SetDefinition(number, procedure.Definition(number) + chunk);
}

template <class T>
bool LoadCodeObjects(Tovimar_Database& db, Progress& progress, const CodeObjectKind<T>& kind,
                     const std::function<QString()>& excluded, const std::function<QString(const QString&)>& mainQuery,
                     QString* excludeIDs) {
    QString list;
    if (!db.CreateCache) {
        if (progress.ShowMessage(kind.Phase)) return false;
        list = excluded();
    }
    if (excludeIDs) *excludeIDs = list;
    auto rows = db.Connection->RunQuery(mainQuery(list));
    QString previousKey;
    std::shared_ptr<T> current;
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const QString name = rows->Value(kind.NameColumn).ToString();
        const QString owner = rows->Value(QStringLiteral("Owner")).ToString();
        const QString key = owner + QLatin1Char('.') + name;
        if (!current || key != previousKey) {
            previousKey = key;
            current = kind.Target->Item(QuoteName(owner, name));
            if (!current) {
                current = std::make_shared<T>();
                current->Name = name;
                current->Owner = owner;
                current->ObjStatus = static_cast<long>(rows->Value(QStringLiteral("Status")).ToInt());
                current->SetDatabase(&db);
                current->CalcObjectIncluded();
                kind.Target->Add(current, current->FullName());
            }
        }
        AppendChunk(*current, *rows, rows->Value(QStringLiteral("Definition")).ToString());
        if (progress.ShowObjectLoad(kind.Kind, current->FullName())) return false;
    }
    return true;
}
}  // namespace

bool CatalogLoader::LoadViews() {
    return LoadCodeObjects<Tovimar_View>(
        db_, progress_,
        {QStringLiteral("SCANNING VIEWS..."), QStringLiteral("VIEW"), QStringLiteral("View"),
         &db_.Views},
        [&] { return ExcludedIDs(Q::ViewNames(), QStringLiteral("vi"), false); }, &Q::Views, &db_.ViewExcludeIDs);
}

bool CatalogLoader::LoadProcedures() {
    return LoadCodeObjects<Tovimar_Procedure>(
        db_, progress_,
        {QStringLiteral("SCANNING PROCEDURES..."), QStringLiteral("PROCEDURE"), QStringLiteral("Procedure"),
         &db_.Procedures},
        [&] { return ExcludedIDs(Q::ProcedureNames(), QStringLiteral("pr"), false); }, &Q::Procedures, nullptr);
}

bool CatalogLoader::LoadFunctions() {
    return LoadCodeObjects<Tovimar_Function>(
        db_, progress_,
        {QStringLiteral("SCANNING FUNCTIONS..."), QStringLiteral("FUNCTION"), QStringLiteral("Function"),
         &db_.Functions},
        [&] { return ExcludedIDs(Q::FunctionNames(), QStringLiteral("fu"), false); }, &Q::Functions, nullptr);
}

bool CatalogLoader::LoadRoles() {
    auto rows = Connection().RunQuery(Q::Roles());
    RolePtr current;
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const QString name = Text(*rows, "Role");
        if (!current || name != current->Name) {
            current = db_.Roles.Item(QuoteName(name));
            if (!current) {
                current = std::make_shared<Tovimar_Role>();
                current->Name = name;
                current->SetDatabase(&db_);
                current->CalcObjectIncluded();
                db_.Roles.Add(current, current->FullName());
            }
        }
        if (!IsNull(*rows, "Member")) AddName(current->MemberNames, Text(*rows, "Member"));
        if (!Show(QStringLiteral("ROLE"), current->FullName())) return false;
    }
    return true;
}

bool CatalogLoader::LoadTriggers() {
    QString list;
    if (!db_.CreateCache) {
        if (progress_.ShowMessage(QStringLiteral("SCANNING TRIGGERS..."))) return false;
        list = ExcludedIDs(Q::TriggerNames(), QStringLiteral("ta"), true);
    }
    auto rows = Connection().RunQuery(Q::Triggers(list, db_.TableExcludeIDs));
    const Column tableOwner(*rows, "TableOwner"), tableName(*rows, "Table"), triggerName(*rows, "Trigger"),
        status(*rows, "Status"), definition(*rows, "Definition");
    TableFinder tables(db_);
    QString previousKey;
    TriggerPtr current;
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const QString owner = tableOwner.Text(), table = tableName.Text(), name = triggerName.Text();
        const QString key = owner + QLatin1Char('.') + table + QLatin1Char('.') + name;
        if (key != previousKey) {
            previousKey = key;
            current.reset();
            const TablePtr& parent = tables.Find(owner, table);
            if (!parent) continue;
            auto trigger = std::make_shared<Tovimar_Trigger>();
            trigger->Name = name;
            trigger->Table = parent.get();
            const QString fullName = trigger->FullName(true);
            current = db_.Triggers.Item(fullName);
            if (!current) {
                trigger->ObjStatus = status.Number();
                trigger->CalcObjectIncluded();
                parent->Triggers.Add(trigger, trigger->FullName(false));
                db_.Triggers.Add(trigger, fullName);
                current = trigger;
            } else {
                trigger->Clear();
            }
        }
        if (!current) continue;  // its table is not in the model
        current->Definition += definition.Text();
        if (!Show(QStringLiteral("TRIGGER"), current->FullName())) return false;
    }
    return true;
}

bool CatalogLoader::LoadColumns() {
    auto rows = Connection().RunQuery(Q::Columns(db_.SrvVer >= 80, db_.TableExcludeIDs, db_.ViewExcludeIDs));
    // The columns are the largest result of a load: while they are read, the server answers the
    // queries of the steps that follow.
    QueueQueriesAfterColumns();
    const Column name(*rows, "Name"), colId(*rows, "ColID"), length(*rows, "Length"), precision(*rows, "prec"),
        scale(*rows, "Scale"), collation(*rows, "Collation"), nullable(*rows, "isnullable"), dataType(*rows, "datentyp"),
        identity(*rows, "IsIdentity"), seed(*rows, "id_start"), increment(*rows, "id_schritt"),
        identityNotForRepl(*rows, "IsIdNotForRepl"), rowGuid(*rows, "IsRowGuidCol"), tableOwner(*rows, "TableOwner"),
        tableName(*rows, "Table"), objType(*rows, "ObjType");
    // The columns of one table or view follow each other: their parent is found once for them.
    QString owner, parentName, parentType;
    bool parentRead = false;
    Tovimar_Table* table = nullptr;
    Tovimar_View* view = nullptr;
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        auto field = std::make_shared<Tovimar_Field>();
        field->Name = name.Text();
        field->ColID = static_cast<int>(colId.Number());
        field->DataSize = length.Number();
        if (!precision.IsNull()) field->DataPrecision = precision.Number();
        if (!scale.IsNull()) field->DataDecimals = scale.Number();
        if (!collation.IsNull()) field->Collation = collation.Text();
        field->CanBeNull = nullable.Flag();
        field->DataType = dataType.Text();
        if (identity.Flag()) {
            field->Identity = true;
            field->IdentitySeed = seed.Number();
            field->IdentityIncr = increment.Number();
            field->IdentityNoRepl = identityNotForRepl.Flag();
        }
        field->IsRowGUID = rowGuid.Flag();

        QString rowOwner = tableOwner.Text(), rowName = tableName.Text(), rowType = objType.Text();
        if (!parentRead || rowOwner != owner || rowName != parentName || rowType != parentType) {
            owner = std::move(rowOwner);
            parentName = std::move(rowName);
            parentType = std::move(rowType);
            parentRead = true;
            table = nullptr;
            view = nullptr;
            const QString parentKey = QuoteName(owner, parentName);
            if (parentType.trimmed() == QStringLiteral("U"))
                table = db_.Tables.Item(parentKey).get();
            else
                view = db_.Views.Item(parentKey).get();
        }
        const QString key = QuoteName(field->Name);  // the column's FullName in its parent
        if (table) {
            if (table->Fields.Contains(key) || table->FieldsByColID.ByID(field->ColID)) continue;
            field->Parent = table;
            if (!Show(QStringLiteral("COLUMN"), key)) return false;
            table->AddField(field, key);
        } else if (view) {
            if (view->Fields.Contains(key)) continue;
            field->Parent = view;
            if (!Show(QStringLiteral("COLUMN"), key)) return false;
            view->AddField(field, key);
        }
    }
    return true;
}

bool CatalogLoader::LoadFormulas() {
    auto rows = Connection().RunQuery(Q::Formulas(db_.TableExcludeIDs));
    const Column owner(*rows, "Owner"), tableName(*rows, "Table"), number(*rows, "Number"),
        definition(*rows, "Definition");
    TableFinder tables(db_);
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const TablePtr& table = tables.Find(owner.Text(), tableName.Text());
        if (!table) continue;
        const FieldPtr field = table->FieldsByColID.ByID(number.Number());
        if (!field) continue;
        field->Formula += definition.Text();
        if (!Show(QStringLiteral("FIELD FORMULA"), field->FullName())) return false;
    }
    return true;
}

bool CatalogLoader::LoadIndexes() {
    auto rows = Connection().RunQuery(Q::Indexes(db_.TableExcludeIDs));
    const Column tableOwner(*rows, "TableOwner"), tableName(*rows, "Table"), indexName(*rows, "Index"),
        unique(*rows, "IsUnique"), padIndex(*rows, "IsPadIndex"), fillFactor(*rows, "IndexFillFactor"),
        status(*rows, "Status"), groupId(*rows, "GroupID"), uniqueConstraint(*rows, "IsUniqueConstraint"),
        clustered(*rows, "IsClustered"), primaryClustered(*rows, "IsPrimaryClustered"),
        primaryNonClustered(*rows, "IsPrimaryNonClustered"), fieldName(*rows, "Field");
    TableFinder tables(db_);
    // The rows of one index (one per key column) follow each other.
    QString owner, table, name;
    bool first = true;
    IndexPtr current;
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        QString rowOwner = tableOwner.Text(), rowTable = tableName.Text(), rowName = indexName.Text();
        if (first || rowOwner != owner || rowTable != table || rowName != name) {
            first = false;
            owner = std::move(rowOwner);
            table = std::move(rowTable);
            name = std::move(rowName);
            current.reset();
            const TablePtr& parent = tables.Find(owner, table);
            if (!parent) continue;
            auto index = std::make_shared<Tovimar_Index>();
            index->Name = name;
            index->Table = parent.get();
            const QString key = index->FullName(false);
            if (parent->Indexes.Contains(key)) {
                index->Clear();
                continue;  // rows of one index arrive together; a second run of them is ignored
            }
            index->IsUnique = unique.Flag();
            index->IsPadIndex = padIndex.Flag();
            index->IndexFillFactor = fillFactor.Number();
            const qint64 statusBits = status.Value().ToInt();
            index->IgnoreDupKey = (statusBits & 1) != 0;
            index->Statistics_NoRecompute = (statusBits & 16777216) != 0;
            index->FileGroupName = db_.GroupName(groupId.Number());
            index->IsUniqueConstraint = uniqueConstraint.Flag();
            index->IsClustered = clustered.Flag();
            if (!index->IsUniqueConstraint && (primaryClustered.Flag() || primaryNonClustered.Flag())) {
                index->IsPrimaryKey = true;
                index->IsClustered = primaryClustered.Flag();
                parent->PrimaryKey = index.get();
            }
            parent->Indexes.Add(index, key);
            if (!Show(QStringLiteral("INDEX"), key)) return false;
            AddOnce(db_.Indexes, index, parent->FullName() + QLatin1Char('.') + key);
            current = index;
        }
        if (current) current->FieldNames.Add(fieldName.Text());
    }
    return true;
}

bool CatalogLoader::LoadCatalogs() {
    auto rows = Connection().RunQuery(Q::FullTextCatalogs());
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        auto catalog = std::make_shared<Tovimar_Catalog>();
        catalog->Name = Text(*rows, "Name");  // a Null name reads as empty
        catalog->SetDatabase(&db_);
        if (!Show(QStringLiteral("FULLTEXT CATALOG"), catalog->FullName())) return false;
        catalog->CalcObjectIncluded();
        AddOnce(db_.Catalogs, catalog, catalog->FullName());
    }
    return true;
}

bool CatalogLoader::LoadTypes() {
    auto rows = Connection().RunQuery(Q::UserTypes());
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        auto type = std::make_shared<Tovimar_Type>();
        type->Name = Text(*rows, "Name");
        type->BaseType = Text(*rows, "BaseType");
        type->DataSize = Number(*rows, "Length");
        if (!IsNull(*rows, "prec")) type->DataPrecision = Number(*rows, "prec");
        if (!IsNull(*rows, "Scale")) type->DataDecimals = Number(*rows, "Scale");
        type->AllowNulls = Flag(*rows, "allownulls");
        type->SetDatabase(&db_);
        if (!Show(QStringLiteral("TYPE"), type->FullName())) return false;
        AddOnce(db_.Types, type, type->FullName());
    }
    return true;
}

bool CatalogLoader::LoadBoundObjects() {
    QMap<QString, QString> texts;  // sorted by kind and name; definitions in chunks
    auto rows = Connection().RunQuery(Q::BoundObjects());
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const QString kind = Text(*rows, "xtype").trimmed().compare(QLatin1String("R"), Qt::CaseInsensitive) == 0
                                 ? QStringLiteral("RULE ")
                                 : QStringLiteral("DEFAULT ");
        const QString key = kind + QuoteName(Text(*rows, "Owner"), Text(*rows, "Name"));
        if (!texts.contains(key)) texts.insert(key, key + QStringLiteral(" AS "));
        texts[key] += Text(*rows, "Definition");
    }
    QStringList bound = texts.values();
    for (const bool types : {false, true}) {
        rows = Connection().RunQuery(Q::BoundObjectBindings(types));
        for (; !rows->EndOfRows(); rows->MoveNext()) {
            const QString kind = Text(*rows, "xtype").trimmed().compare(QLatin1String("R"), Qt::CaseInsensitive) == 0
                                     ? QStringLiteral(" RULE ")
                                     : QStringLiteral(" DEFAULT ");
            const QString target = types ? QuoteName(Text(*rows, "Table"))
                                         : QuoteName(Text(*rows, "Owner"), Text(*rows, "Table"), Text(*rows, "Field"));
            bound << target + kind + QuoteName(Text(*rows, "Bound"));
        }
    }
    bound.sort(Qt::CaseInsensitive);
    db_.BoundObjects = bound;
    return true;
}

bool CatalogLoader::LoadFullTextIndexes() {
    if (progress_.ShowMessage(QStringLiteral("SCANNING FULLTEXT INDEXES..."))) return false;
    std::unique_ptr<DbCursor> rows;
    try {
        rows = Connection().RunQuery(Q::FullTextTables());
    } catch (const TovimarException&) {
        Connection().ClearErrors();  // no full-text search on this server
        return true;
    }
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const TablePtr table = FindTable(Text(*rows, "TABLE_OWNER"), Text(*rows, "TABLE_NAME"));
        if (!table) continue;
        if (!Show(QStringLiteral("FULLTEXT INDEX"), table->FullName())) return false;
        table->FTI_Catalog = Text(*rows, "FULLTEXT_CATALOG_NAME");
        table->FTI_UniqueIndex = Text(*rows, "FULLTEXT_KEY_INDEX_NAME");
        long flags = 0;
        QStringList extras;
        if (db_.IsObjectIncluded(QStringLiteral("ca"), QuoteName(table->FTI_Catalog), 1, QString(), flags, extras)) {
            auto properties = Connection().RunQuery(Q::FullTextTableProperties(table->ObjectID));
            if (!properties->EndOfRows()) {
                table->FTI_BackgroundUpdate = Flag(*properties, "BGUpdate");
                table->FTI_ChangeTracking = Flag(*properties, "Tracking");
            }
        }
    }

    if (progress_.ShowMessage(QStringLiteral("SCANNING FULLTEXT FIELDS..."))) return false;
    try {
        rows = Connection().RunQuery(Q::FullTextColumns());
    } catch (const TovimarException&) {
        Connection().ClearErrors();
        return true;
    }
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const TablePtr table = FindTable(Text(*rows, "TABLE_OWNER"), Text(*rows, "TABLE_NAME"));
        if (!table) continue;
        const FieldPtr field = table->Fields.Item(QuoteName(Text(*rows, "FULLTEXT_COLUMN_NAME")));
        if (!field) continue;
        field->FTI_Field = true;
        field->FTI_ImageTypeField = Text(*rows, "FULLTEXT_BLOBTP_COLNAME");
        field->FTI_Language = Number(*rows, "FULLTEXT_LANGUAGE");
        if (!table->FTI_Columns) table->FTI_Columns.emplace();
        AddOnce(*table->FTI_Columns, field, field->Name);
        if (!Show(QStringLiteral("FULLTEXT FIELD"), field->FullName())) return false;
    }
    return true;
}

bool CatalogLoader::LoadDefaults() {
    auto rows = Connection().RunQuery(Q::Defaults(db_.TableExcludeIDs));
    const Column tableOwner(*rows, "TableOwner"), tableName(*rows, "Table"), fieldName(*rows, "Field"),
        defaultName(*rows, "Default"), definition(*rows, "Definition");
    TableFinder tables(db_);
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const TablePtr& table = tables.Find(tableOwner.Text(), tableName.Text());
        if (!table) continue;
        const FieldPtr field = table->Fields.Item(QuoteName(fieldName.Text()));
        if (!field) continue;
        auto constraint = std::make_shared<Tovimar_Default>();
        constraint->Name = defaultName.Text();
        constraint->Value = definition.Text();
        constraint->Table = table.get();
        constraint->Field = field.get();
        if (!Show(QStringLiteral("DEFAULT"), constraint->FullName())) {
            constraint->Clear();
            return false;
        }
        // Further chunks of a long definition come as further rows of the same default.
        if (const DefaultPtr stored = db_.Defaults.Item(constraint->FullName(true))) {
            stored->Value += constraint->Value;
            constraint->Clear();
            continue;
        }
        table->Defaults.Add(constraint, constraint->FullName(false));
        db_.Defaults.Add(constraint, constraint->FullName(true));
        field->Default = constraint.get();
    }
    return true;
}

bool CatalogLoader::LoadChecks() {
    auto rows = Connection().RunQuery(Q::Checks(db_.TableExcludeIDs));
    const Column tableOwner(*rows, "TableOwner"), tableName(*rows, "Table"), checkName(*rows, "Check"),
        definition(*rows, "Definition"), statusColumn(*rows, "Status");
    TableFinder tables(db_);
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const TablePtr& table = tables.Find(tableOwner.Text(), tableName.Text());
        if (!table) continue;
        auto check = std::make_shared<Tovimar_Check>();
        check->Name = checkName.Text();
        check->Value = definition.Text();
        check->Table = table.get();
        const qint64 status = statusColumn.Value().ToInt();
        check->NotForRepl = (status & 1024) != 0;
        check->NoCheckConstraint = (status & 256) != 0;
        if (!Show(QStringLiteral("CHECK"), check->FullName())) {
            check->Clear();
            return false;
        }
        if (const CheckPtr stored = db_.Checks.Item(check->FullName(true))) {
            stored->Value += check->Value;
            check->Clear();
            continue;
        }
        table->Checks.Add(check, check->FullName(false));
        db_.Checks.Add(check, check->FullName(true));
    }
    return true;
}

namespace {
// Object rights: 2 when the bit is set in the "mod" column (denied), else 1 when set in the
// "add" column (granted), else 0.
quint8 Right(qint64 actadd, qint64 actmod, qint64 bit) {
    if (actmod & bit) return 2;
    if (actadd & bit) return 1;
    return 0;
}

// The columns whose bits are set. The server numbers the bits byte by byte, each byte from its
// lowest bit, and bit n stands for the column with id n (bit 0 for the object as a whole, which
// the object rights already carry). Names are added in column order.
void DecodeColumnBitmap(const DbValue& bitmap, const QHash<int, QString>& namesByColID, Collection<QString>& target) {
    if (bitmap.IsNull()) return;
    const QByteArray bytes = bitmap.ToBinary();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes.at(i));
        for (int bit = 0; bit < 8; ++bit) {
            const int colid = static_cast<int>(i * 8 + bit);
            if (colid == 0 || !(byte & (1u << bit))) continue;
            auto it = namesByColID.constFind(colid);
            if (it != namesByColID.cend()) AddName(target, it.value());
        }
    }
}

void MergeNames(Collection<QString>& target, const Collection<QString>& source) {
    for (const QString& name : source) AddName(target, name);
}
}  // namespace

bool CatalogLoader::LoadPermissions() {
    auto rows = Connection().RunQuery(Q::Permissions());
    const Column typeColumn(*rows, "Type"), owner(*rows, "Owner"), objectName(*rows, "Object"),
        grantee(*rows, "GranteeName"), grantor(*rows, "GrantorName"), added(*rows, "actadd"), modified(*rows, "actmod");
    const Column bitmaps[] = {{*rows, "seladd"}, {*rows, "selmod"}, {*rows, "updadd"},
                              {*rows, "updmod"}, {*rows, "refadd"}, {*rows, "refmod"}};
    for (; !rows->EndOfRows(); rows->MoveNext()) {
        const QString type = typeColumn.Text().trimmed().toUpper();
        const QString key = QuoteName(owner.Text(), objectName.Text());
        Tovimar_DbObject* object = nullptr;
        Tovimar_FieldOwner* columns = nullptr;
        if (type == QStringLiteral("U")) {
            if (const TablePtr t = db_.Tables.Item(key)) object = columns = t.get();
        } else if (type == QStringLiteral("V")) {
            if (const ViewPtr v = db_.Views.Item(key)) object = columns = v.get();
        } else if (type == QStringLiteral("P")) {
            if (const ProcedurePtr p = db_.Procedures.Item(key)) object = p.get();
        } else if (type == QStringLiteral("FN") || type == QStringLiteral("IF") || type == QStringLiteral("TF")) {
            if (const FunctionPtr f = db_.Functions.Item(key)) object = f.get();
        }
        if (!object) continue;

        auto permission = std::make_shared<Tovimar_Permission>();
        permission->SecObject = object;
        permission->Grantee = grantee.Text();
        permission->Grantor = grantor.Text();
        permission->SetDatabase(&db_);
        permission->Name = permission->FullName();
        if (!Show(QStringLiteral("PERMISSION"), permission->FullName())) {
            permission->Clear();
            return false;
        }
        if (object->ObjectIncluded) {
            const qint64 actadd = added.Value().ToInt();
            const qint64 actmod = modified.Value().ToInt();
            permission->SelectRight = Right(actadd, actmod, 1);
            permission->UpdateRight = Right(actadd, actmod, 2);
            permission->DRIRight = Right(actadd, actmod, 4);
            permission->InsertRight = Right(actadd, actmod, 8);
            permission->DeleteRight = Right(actadd, actmod, 16);
            permission->ExecRight = Right(actadd, actmod, 32);
            // The column names by id are gathered only for a row that grants or denies columns.
            if (columns && std::any_of(std::begin(bitmaps), std::end(bitmaps), [](const Column& c) { return !c.IsNull(); })) {
                QHash<int, QString> names;
                for (const FieldPtr& field : columns->Fields) names.insert(field->ColID, field->Name);
                Collection<QString>* const targets[] = {&permission->SelectGrant, &permission->SelectDeny,
                                                        &permission->UpdateGrant, &permission->UpdateDeny,
                                                        &permission->ReferenceGrant, &permission->ReferenceDeny};
                for (size_t i = 0; i < std::size(bitmaps); ++i) DecodeColumnBitmap(bitmaps[i].Value(), names, *targets[i]);
            }
        }
        // The same grantee may hold rights on one object from several grantors: one permission
        // carries them all (the stronger state of each right wins).
        if (const PermissionPtr stored = db_.Permissions.Item(permission->FullName())) {
            stored->SelectRight = qMax(stored->SelectRight, permission->SelectRight);
            stored->UpdateRight = qMax(stored->UpdateRight, permission->UpdateRight);
            stored->DRIRight = qMax(stored->DRIRight, permission->DRIRight);
            stored->InsertRight = qMax(stored->InsertRight, permission->InsertRight);
            stored->DeleteRight = qMax(stored->DeleteRight, permission->DeleteRight);
            stored->ExecRight = qMax(stored->ExecRight, permission->ExecRight);
            MergeNames(stored->SelectGrant, permission->SelectGrant);
            MergeNames(stored->SelectDeny, permission->SelectDeny);
            MergeNames(stored->UpdateGrant, permission->UpdateGrant);
            MergeNames(stored->UpdateDeny, permission->UpdateDeny);
            MergeNames(stored->ReferenceGrant, permission->ReferenceGrant);
            MergeNames(stored->ReferenceDeny, permission->ReferenceDeny);
            permission->Clear();
            continue;
        }
        db_.Permissions.Add(permission, permission->FullName());
    }
    return true;
}
