// The catalog of one simulated database: users, types, objects with their columns, indexes,
// constraints, definitions and permissions, and the rows of user tables. Everything is held by
// value; a transaction keeps the objects it changes as they were (an undo log) for ROLLBACK.
#pragma once

#include "sqlsim/ast.h"
#include "sqlsim/server.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace sqlsim {

struct Relation;

struct UserType {
    int xusertype;   // 257 and up for user types; equals xtype for built-in types
    int xtype;       // base type
    QString name;
    int length;
    int prec;
    int scale;
    bool allowNulls;
    int uid = 1;
    int tdefault = 0;  // the bound default (sp_bindefault)
    int domain = 0;    // the bound rule (sp_bindrule)
};

struct Column {
    QString name;
    int colid = 0;
    int xtype = XInt;
    int xusertype = XInt;
    int length = 4;
    int prec = 10;
    int scale = 0;
    bool nullable = true;
    bool identity = false;
    long long seed = 1, incr = 1;
    bool identityNotForRepl = false;
    bool rowGuid = false;
    QString collation;
    int cdefault = 0;      // id of the DEFAULT constraint object
    int domain = 0;        // id of a bound rule or column check
    bool computed = false;
    QString formula;       // computed column text as stored in syscomments
    ExprPtr computedExpr;  // the parsed formula, evaluated when the table is read
};

struct IndexInfo {
    QString name;
    int indid = 0;
    int status = 0;        // sysindexes.status bits
    int fillFactor = 0;
    int groupid = 1;
    bool unique = false;
    bool clustered = false;
    bool padIndex = false;
    bool statistics = false;  // auto-created statistics (never for our indexes)
    std::vector<int> keys;    // column ids in key order
    std::vector<bool> descending;  // per key: sorted DESC
    int constraintId = 0;     // PRIMARY KEY / UNIQUE constraint object id
};

// The rows of a table, shared between copies of the table until one of them changes them
// (copy on write): a snapshot of a whole database for ROLLBACK costs one pointer per table, and
// a table's rows are copied only when the transaction first changes that table.
class RowStore {
public:
    using Row = std::vector<Value>;
    using Rows = std::vector<Row>;
    RowStore() = default;
    RowStore(Rows rows) : p_(std::make_shared<Rows>(std::move(rows))) {}
    RowStore& operator=(Rows rows) { p_ = std::make_shared<Rows>(std::move(rows)); return *this; }

    const Rows& Get() const { return p_ ? *p_ : Empty(); }
    Rows& Mut() {
        if (!p_) p_ = std::make_shared<Rows>();
        else if (p_.use_count() > 1) p_ = std::make_shared<Rows>(*p_);
        return *p_;
    }

    size_t size() const { return Get().size(); }
    bool empty() const { return Get().empty(); }
    const Row& operator[](size_t i) const { return Get()[i]; }
    Row& operator[](size_t i) { return Mut()[i]; }
    Rows::const_iterator begin() const { return Get().begin(); }
    Rows::const_iterator end() const { return Get().end(); }
    Rows::iterator begin() { return Mut().begin(); }
    Rows::iterator end() { return Mut().end(); }
    const Row& back() const { return Get().back(); }
    void push_back(Row r) { Mut().push_back(std::move(r)); }
    void reserve(size_t n) { Mut().reserve(n); }
    void clear() { p_.reset(); }

private:
    static const Rows& Empty() { static const Rows empty; return empty; }
    std::shared_ptr<Rows> p_;
};

struct Object {
    int id = 0;
    QString name;
    int uid = 1;
    QString type;           // two characters as in sysobjects.xtype: "U", "V", "P", "FN", "TR", "PK", ...
    int parent = 0;
    int category = 0;
    int schemaVer = 0;
    QDateTime created;
    bool msShipped = false;
    bool ansiNulls = true, quotedIdent = true;
    // Definitions as stored in syscomments: (number, text).
    std::vector<std::pair<int, QString>> texts;
    // Tables.
    std::vector<Column> columns;
    std::vector<IndexInfo> indexes;
    RowStore rows;
    // Every change of the rows takes a new version (never reused), which invalidates the cached
    // keys of the unique indexes; copies of the object may share the cache safely.
    unsigned long long rowsVersion = 0;
    struct KeyCache {
        unsigned long long version = 0;
        QHash<int, QSet<QString>> keys;  // by indid
    };
    mutable std::shared_ptr<KeyCache> keyCache;
    long long identityCurrent = 0;
    bool identityUsed = false;
    bool identityInsert = false;
    int fullTextCatalog = 0;   // sysfulltextcatalogs.ftcatid, 0 when none
    QString fullTextKeyIndex;
    std::vector<std::pair<int, int>> fullTextColumns;  // (colid, language)
    bool fullTextChangeTracking = false, fullTextBackgroundUpdate = false, fullTextActive = false;
    // Constraints: PK/UQ use the index of that name; FK and CHECK keep their own data.
    std::vector<int> fkeys, rkeys;
    int refTable = 0;
    bool cascadeDelete = false, cascadeUpdate = false;
    bool notForRepl = false;
    bool disabled = false;      // NOCHECK
    int checkColumn = 0;        // column-level CHECK: the column id
    ExprPtr expr;               // parsed CHECK/DEFAULT expression
    // Code objects.
    SelectPtr viewQuery;
    std::vector<ProcParam> params;
    bool trigInsert = false, trigUpdate = false, trigDelete = false, insteadOf = false;
    bool procHasNumbers = false;
    bool encrypted = false;     // WITH ENCRYPTION: syscomments shows no text
    bool schemaBound = false;   // WITH SCHEMABINDING
    std::vector<int> boundTo;   // the tables and views a schema-bound object reads

    // Compared character by character: it runs for every object of most catalog queries.
    bool IsType(const char* t) const {
        const qsizetype n = type.size();
        const QChar* c = type.constData();
        for (qsizetype i = 0; i < n; ++i)
            if (t[i] == '\0' || c[i].unicode() != static_cast<unsigned char>(t[i])) return false;
        return t[n] == '\0';
    }
    bool IsTable() const { return type == QLatin1String("U") || type == QLatin1String("S"); }
    const Column* FindColumn(const QString& col) const;
    Column* FindColumn(const QString& col);
    const IndexInfo* FindIndex(const QString& idx) const;
};

struct User {
    int uid = 0;
    QString name;
    bool isSqlRole = false;
    bool isAppRole = false;
    bool isSqlUser = false;
    bool hasSid = true;
    QDateTime created, updated;
};

struct Permission {
    int id = 0;
    int grantee = 0;
    int grantor = 1;
    int actadd = 0, actmod = 0;
    QByteArray seladd, selmod, updadd, updmod, refadd, refmod;
};

struct FileGroup {
    int groupid;
    QString name;
    bool isDefault;
};

struct FullTextCatalog {
    int ftcatid;
    QString name;
    QString path;
};

// Everything of a database but its objects and their name indexes. A transaction copies it
// whole when it first uses the database (it is small: users, types, permissions, counters).
struct DatabaseInfo {
    QString name;
    int dbid = 0;
    int cmptlevel = 80;
    QString collation;  // CREATE DATABASE ... COLLATE; empty: the server's default
    QDateTime created;
    std::vector<User> users;
    std::vector<std::pair<int, int>> members;  // (groupuid, memberuid)
    std::vector<UserType> userTypes;
    std::vector<Permission> permissions;
    std::vector<FileGroup> fileGroups;
    std::vector<FullTextCatalog> fullTextCatalogs;
    bool fullTextEnabled = false;
    int nextObjectId = 1977058079;
    int schemaVersion = 0;
    int nextUid = 5;
    int nameCounter = 0;
};

// The objects of a database by id. Only reading is open to everyone; an object is changed
// through Database::FindObject, AddObject or RemoveObject, which keep the undo logs of the open
// transactions up to date.
class ObjectMap {
public:
    using Map = std::map<int, Object>;
    using const_iterator = Map::const_iterator;
    const_iterator begin() const { return map_.begin(); }
    const_iterator end() const { return map_.end(); }
    const_iterator find(int id) const { return map_.find(id); }
    size_t count(int id) const { return map_.count(id); }
    size_t size() const { return map_.size(); }
    bool empty() const { return map_.empty(); }
    // The objects in id order as a list, kept until an object is added or removed: the system
    // tables walk every object for each catalog query, and stepping through the map's nodes cost
    // more than reading the objects.
    const std::vector<const Object*>& Ordered() const;
    // The object of an id: from the ordered list while it is kept (a search in one array; the
    // catalog queries look an object up for each row), else from the map.
    const Object* Find(int id) const;

    ObjectMap() = default;
    ObjectMap(const ObjectMap& o) : map_(o.map_) {}
    ObjectMap& operator=(const ObjectMap& o) {
        map_ = o.map_;
        Changed();
        return *this;
    }
    ObjectMap(ObjectMap&& o) noexcept : map_(std::move(o.map_)) { o.Changed(); }
    ObjectMap& operator=(ObjectMap&& o) noexcept {
        map_ = std::move(o.map_);
        Changed();
        o.Changed();
        return *this;
    }

private:
    friend struct Database;
    void Changed() {
        ordered_.clear();
        orderedIds_.clear();
        orderedValid_ = false;
    }
    Map map_;
    mutable std::vector<const Object*> ordered_;
    mutable std::vector<int> orderedIds_;
    mutable bool orderedValid_ = false;
};

// What ROLLBACK puts back in one database: its info as the transaction found it, and the objects
// and name index entries the transaction changed, as they were before their first change
// (nullopt: there was none).
struct DatabaseUndo {
    DatabaseInfo info;
    std::map<int, std::optional<Object>> objects;
    QHash<QString, std::optional<int>> names;
    std::map<int, std::optional<QList<int>>> children;
    std::map<int, std::optional<QList<int>>> referrers;
};

struct Database : DatabaseInfo {
    ObjectMap objects;

    Database();
    const User* FindUser(QStringView name) const;
    const User* FindUser(int uid) const;
    const UserType* FindUserType(const QString& name) const;
    const Object* FindObject(int id) const;
    // The non-const lookups hand out an object to change: an open transaction keeps its
    // pre-image first.
    Object* FindObject(int id);
    // Schema-scoped lookup (tables, views, procedures, functions, constraints, triggers).
    Object* FindObject(const QString& owner, const QString& name);
    const Object* FindObject(const QString& owner, const QString& name) const;
    // The same for names read out of a longer text.
    const Object* FindObject(QStringView owner, QStringView name) const;
    Object& AddObject(Object obj);
    QList<int> Children(int parentId) const { return childIds_.value(parentId); }
    // The foreign keys that reference the object and the schema-bound objects that read it, in
    // ascending id order. May name objects that no longer reference it: callers check.
    std::vector<int> Referrers(int id) const;
    // The foreign keys that reference the table, in ascending id order.
    std::vector<const Object*> ForeignKeysTo(int tableId) const;
    void RemoveObject(int id);
    // Gives an object (found through the non-const FindObject) a new owner and name.
    void RenameObject(Object& obj, int uid, const QString& name);
    // ALTER of a view or function: whether it is schema-bound and what it reads.
    void SetBinding(Object& obj, bool schemaBound, const std::vector<int>& boundTo);
    void Touch(Object& obj);  // bump schema_ver on change
    int NewObjectId();
    QString UniqueSuffix();   // hex suffix for generated constraint names

    // The system tables built from this database, kept while CatalogVersion() stays what it was
    // when they were built; see CachedSystemTable.
    struct BuiltTables {
        unsigned long long version = 0;
        // By lower-case name: the columns built (a bit each, in the table's order) and the table.
        QHash<QString, std::pair<quint64, std::shared_ptr<const Relation>>> tables;
        BuiltTables() = default;
        BuiltTables(const BuiltTables&) {}
        BuiltTables& operator=(const BuiltTables&) {
            tables.clear();
            return *this;
        }
    };
    mutable BuiltTables builtTables;

    // A transaction's undo log: from BeginUndo on, every change of this database records what
    // it replaces in the log; Undo puts all of it back, EndUndo forgets the log (COMMIT). Several
    // sessions may log the same database at once.
    void BeginUndo(DatabaseUndo& log);
    void EndUndo(DatabaseUndo& log);
    void Undo(DatabaseUndo& log);

private:
    int FindObjectId(QStringView owner, QStringView name) const;
    void SaveObject(int id);
    void SaveName(const QString& key);
    using ListLog = std::map<int, std::optional<QList<int>>>;
    void SaveList(const QHash<int, QList<int>>& lists, ListLog DatabaseUndo::*saved, int key);
    void RestoreLists(QHash<int, QList<int>>& lists, ListLog DatabaseUndo::*saved, DatabaseUndo& log);
    void AddReferrer(const Object& obj);
    void RemoveReferrer(const Object& obj);

    QHash<QString, int> objectIds_;      // "uid|lowername" -> id for schema-scoped objects
    QHash<int, QList<int>> childIds_;    // parent_obj -> ids of its constraints and triggers
    QHash<int, QList<int>> referrers_;   // id -> foreign keys referencing it, schema-bound readers
    // The open undo logs. Not part of the database's value: a copy starts without any.
    struct UndoLogs {
        std::vector<DatabaseUndo*> logs;
        UndoLogs() = default;
        UndoLogs(const UndoLogs&) {}
        UndoLogs& operator=(const UndoLogs&) { return *this; }
    } undo_;
};

unsigned long long NextRowsVersion();

// A number that changes whenever any catalog or data may have changed (DDL, DML, procedures that
// change the catalog, ROLLBACK): what was built from a catalog is valid while it stays the same.
unsigned long long CatalogVersion();
void CatalogChanged();

// Resolves a one-part or two-part name as the server does: owner given, else dbo.
QString ObjectKey(int uid, const QString& name);

// Whether two names are the same whatever their case (QString::compare, Qt::CaseInsensitive),
// without calling it for ASCII names: the catalog compares names on every lookup.
bool SameNameNoCase(QStringView a, QStringView b);

}  // namespace sqlsim
