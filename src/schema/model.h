#pragma once
// The in-memory model of one database's schema.
//
// Ownership is a tree: a Tovimar_Database owns its collections and the collections own their
// objects (shared between the database-wide and the per-table collections). Everything that
// points the other way — a column's Parent, an index's Table, a relation's PrimaryTable, a
// permission's SecObject, every counterpart link (OtherObj) — is a plain non-owning pointer
// that is cleared when either side ends, so nothing dangles. Schema objects reach their
// database only through the database's proxy, which reads as none once the database has ended.
#include "platform/collection.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class DbConnection;
class Tovimar_Database;
class Tovimar_Table;
class Tovimar_View;
class Tovimar_Field;
class Tovimar_Index;
class Tovimar_Relation;
class Tovimar_Default;
class Tovimar_Check;
class Tovimar_Trigger;
class Tovimar_Procedure;
class Tovimar_Function;
class Tovimar_Role;
class Tovimar_Permission;
class Tovimar_Catalog;
class Tovimar_Type;

using TablePtr = std::shared_ptr<Tovimar_Table>;
using ViewPtr = std::shared_ptr<Tovimar_View>;
using FieldPtr = std::shared_ptr<Tovimar_Field>;
using IndexPtr = std::shared_ptr<Tovimar_Index>;
using RelationPtr = std::shared_ptr<Tovimar_Relation>;
using DefaultPtr = std::shared_ptr<Tovimar_Default>;
using CheckPtr = std::shared_ptr<Tovimar_Check>;
using TriggerPtr = std::shared_ptr<Tovimar_Trigger>;
using ProcedurePtr = std::shared_ptr<Tovimar_Procedure>;
using FunctionPtr = std::shared_ptr<Tovimar_Function>;
using RolePtr = std::shared_ptr<Tovimar_Role>;
using PermissionPtr = std::shared_ptr<Tovimar_Permission>;
using CatalogPtr = std::shared_ptr<Tovimar_Catalog>;
using TypePtr = std::shared_ptr<Tovimar_Type>;

// The character that separates the parts of a tag string.
inline const QChar TagSeparator = QChar(1);

// Filter matching as the model sees it. The filter layer implements it; a database without a
// filter includes every object with no option flags.
class ObjectFilter {
public:
    virtual ~ObjectFilter() = default;
    // typeCode: "ta", "vi", "pr", "fu", "tr", "gr" or "ca"; fullName: the bracket-quoted name;
    // nameParts: 1 to 3; owner: may be empty. flags receives the option bits, extras the data
    // copy definitions collected by the match.
    virtual bool IsObjectIncluded(const QString& typeCode, const QString& fullName, int nameParts,
                                  const QString& owner, long& flags, QStringList& extras) = 0;
};

// The back-reference holder: schema objects keep the proxy, never the database.
class Tovimar_DatabaseProxy {
public:
    Tovimar_Database* DB() const { return db_; }

private:
    friend class Tovimar_Database;
    Tovimar_Database* db_ = nullptr;
};
using DatabaseProxyPtr = std::shared_ptr<Tovimar_DatabaseProxy>;

// The symmetric counterpart link. Setting A's counterpart to B makes B's counterpart A and
// releases the previous counterparts of both; an object that ends releases its counterpart.
template <class T>
class Tovimar_Linked {
public:
    T* OtherObj() const { return static_cast<T*>(other_); }
    void SetOtherObj(T* other) { Link(other); }

protected:
    Tovimar_Linked() = default;
    ~Tovimar_Linked() { Link(nullptr); }
    // Stores the counterpart on this side only; classes that re-link their contents (tables)
    // build their own assignment on it.
    void StoreOtherObj(T* other) { other_ = other; }
    Tovimar_Linked(const Tovimar_Linked&) = delete;
    Tovimar_Linked& operator=(const Tovimar_Linked&) = delete;

private:
    void Link(Tovimar_Linked* other) {
        if (other == other_) return;
        if (other_ && other_->other_ == this) other_->other_ = nullptr;
        other_ = other;
        if (other) {
            if (other->other_ && other->other_ != this && other->other_->other_ == other)
                other->other_->other_ = nullptr;
            other->other_ = this;
        }
    }
    Tovimar_Linked* other_ = nullptr;
};

// What every schema object answers.
class Tovimar_Object {
public:
    virtual ~Tovimar_Object() = default;
    QString Name;

    // The bracket-quoted name (its key in its collection); withTable puts the table's name first
    // for objects that belong to a table.
    virtual QString FullName(bool withTable = false) const = 0;
    virtual Tovimar_Database* Database() const = 0;
    // The object type of the vocabulary: "Table", "Column", "Index", "Default", "Check",
    // "Relation", "Trigger", "View", "Procedure", "Function", "Role", "Permission", "Catalog".
    virtual QString ObjectType() const = 0;
    // The counterpart, seen as a schema object.
    virtual Tovimar_Object* OtherObject() const = 0;
    // Drops the references to other objects so that no cycle or dangling pointer survives.
    virtual void Clear() = 0;
};

// Objects that belong to a database directly (tables, views, procedures, functions, roles,
// catalogs): they keep their database's proxy.
class Tovimar_DbObject : public Tovimar_Object {
public:
    bool ObjectIncluded = false;
    DatabaseProxyPtr DatabaseProxy;
    QString Owner;
    QString Typ;
    bool DeleteRecreate = false;
    long ObjStatus = 0;

    Tovimar_Database* Database() const override { return DatabaseProxy ? DatabaseProxy->DB() : nullptr; }
    void SetDatabase(Tovimar_Database* db);
};

// The names of a table's or view's columns in their order, read from its Fields (no copy).
class Tovimar_FieldNameList {
public:
    explicit Tovimar_FieldNameList(const Collection<FieldPtr>& fields) : fields_(fields) {}
    Tovimar_FieldNameList(const Tovimar_FieldNameList&) = delete;
    Tovimar_FieldNameList& operator=(const Tovimar_FieldNameList&) = delete;

    qsizetype Count() const { return fields_.Count(); }
    bool IsEmpty() const { return fields_.IsEmpty(); }
    const QString& At(qsizetype pos) const;
    const QString& operator[](qsizetype pos) const { return At(pos); }

    class const_iterator {
    public:
        explicit const_iterator(Collection<FieldPtr>::const_iterator it) : it_(it) {}
        const QString& operator*() const;
        const_iterator& operator++() { ++it_; return *this; }
        bool operator!=(const const_iterator& o) const { return it_ != o.it_; }
        bool operator==(const const_iterator& o) const { return it_ == o.it_; }
    private:
        Collection<FieldPtr>::const_iterator it_;
    };
    const_iterator begin() const { return const_iterator(fields_.begin()); }
    const_iterator end() const { return const_iterator(fields_.end()); }

private:
    const Collection<FieldPtr>& fields_;
};

// A table's columns by column id. It holds no keys or pointers of its own. While every column
// added has the id of its place (1, 2, 3, ...), as most tables' columns do, the id is the place
// and nothing is stored; after the first that has another id, an open-addressing table of
// positions in the table's Fields, hashed by the id, at most half full.
class Tovimar_ColumnIDIndex {
public:
    explicit Tovimar_ColumnIDIndex(const Collection<FieldPtr>& fields) : fields_(fields) {}
    Tovimar_ColumnIDIndex(const Tovimar_ColumnIDIndex&) = delete;
    Tovimar_ColumnIDIndex& operator=(const Tovimar_ColumnIDIndex&) = delete;

    qsizetype Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }
    // The column with that id, or none.
    FieldPtr ByID(qint64 colId) const;

    // Throws error 457, as a keyed collection does, when a column with that id is indexed already.
    void CheckNew(int colId) const;
    // Indexes the column at position pos of the table's Fields (checked with CheckNew first).
    void Add(qsizetype pos);
    // Makes room for count columns in all.
    void Reserve(qsizetype count);

private:
    qsizetype Locate(int colId) const;
    void Place(qint32 pos);
    void Rebuild(size_t size);

    const Collection<FieldPtr>& fields_;
    std::vector<qint32> slots_;  // size 0 or a power of two; -1: free
    qsizetype count_ = 0;
    qsizetype reserved_ = 0;
    bool byPlace_ = true;  // the columns' ids are their places so far: no slots
};

// Tables and views: the holders of columns.
class Tovimar_FieldOwner : public Tovimar_DbObject {
public:
    Collection<FieldPtr> Fields;  // key: the column's FullName without the table
    Tovimar_FieldNameList FieldNames{Fields};

    QString FullName(bool withTable = false) const override;
    virtual bool IsCollationsIncluded() const = 0;
};

class Tovimar_Field : public Tovimar_Object, public Tovimar_Linked<Tovimar_Field> {
public:
    ~Tovimar_Field() override;
    // The members are ordered so that the flags and the id fill one word together.
    Tovimar_FieldOwner* Parent = nullptr;
    Tovimar_Default* Default = nullptr;
    QString DataType;
    QString Formula;
    QString Collation;
    QString FTI_ImageTypeField;
    long DataSize = 0;
    long DataPrecision = 0;
    long DataDecimals = 0;
    long IdentitySeed = 0;
    long IdentityIncr = 0;
    long FTI_Language = 0;
    int ColID = 0;
    bool CanBeNull = false;
    bool Identity = false;
    bool IdentityNoRepl = false;
    bool IsRowGUID = false;
    bool FTI_Field = false;

    QString FullName(bool withTable = false) const override;
    Tovimar_Database* Database() const override;
    QString ObjectType() const override { return QStringLiteral("Column"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override;

    Tovimar_Table* Table() const;
    Tovimar_View* View() const;
    QString DataTypeText(bool quote) const;
    QString DefinitionText() const;
    QString GetTagString() const;
};

// Objects that belong to a table and reach the database through it.
class Tovimar_TableObject : public Tovimar_Object {
public:
    Tovimar_Table* Table = nullptr;
    QString FullName(bool withTable = false) const override;
    Tovimar_Database* Database() const override;
};

class Tovimar_Index : public Tovimar_TableObject, public Tovimar_Linked<Tovimar_Index> {
public:
    ~Tovimar_Index() override;
    Collection<QString> FieldNames;
    bool IsUnique = false;
    bool IsPrimaryKey = false;
    bool IsClustered = false;
    bool IsUniqueConstraint = false;
    long IndexFillFactor = 0;
    // False for an index read from a snapshot written before fill factors were stored: its
    // IndexFillFactor is then unknown (0) and is not compared.
    bool FillFactorKnown = true;
    bool IsPadIndex = false;
    bool IgnoreDupKey = false;
    bool Statistics_NoRecompute = false;
    QString FileGroupName;

    QString ObjectType() const override { return QStringLiteral("Index"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override;
    bool IsFileGroupsIncluded() const;
};

class Tovimar_Relation : public Tovimar_TableObject, public Tovimar_Linked<Tovimar_Relation> {
public:
    ~Tovimar_Relation() override;
    bool NotForRepl = false;
    bool NoCheckConstraint = false;
    Tovimar_Table* PrimaryTable = nullptr;
    QString PrimaryTableFullName;
    bool DeleteCascade = false;
    bool UpdateCascade = false;
    Collection<QString> FieldNames;
    Collection<QString> PrimaryFieldNames;

    QString ObjectType() const override { return QStringLiteral("Relation"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override;
};

class Tovimar_Default : public Tovimar_TableObject, public Tovimar_Linked<Tovimar_Default> {
public:
    ~Tovimar_Default() override;
    Tovimar_Field* Field = nullptr;
    QString Value;

    QString ObjectType() const override { return QStringLiteral("Default"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override;
};

class Tovimar_Check : public Tovimar_TableObject, public Tovimar_Linked<Tovimar_Check> {
public:
    ~Tovimar_Check() override;
    bool NotForRepl = false;
    bool NoCheckConstraint = false;
    QString Value;
    long ObjStatus = 0;

    QString ObjectType() const override { return QStringLiteral("Check"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override;
};

class Tovimar_Trigger : public Tovimar_TableObject, public Tovimar_Linked<Tovimar_Trigger> {
public:
    ~Tovimar_Trigger() override;
    bool ObjectIncluded = false;
    QString Definition;
    long ObjStatus = 0;

    QString ObjectType() const override { return QStringLiteral("Trigger"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override;
    void CalcObjectIncluded();
};

class Tovimar_Table : public Tovimar_FieldOwner, public Tovimar_Linked<Tovimar_Table> {
public:
    Tovimar_Table() { Typ = QStringLiteral("Table"); }
    ~Tovimar_Table() override;

    bool CollationsIncluded = false;
    bool FileGroupsIncluded = false;
    Tovimar_Index* PrimaryKey = nullptr;
    Collection<QString> DataCopyDefs;
    long FieldsAppended = 0;
    long FieldsDropped = 0;
    QString FileGroupName;
    QString TextFileGroupName;
    long ObjectID = 0;
    bool InGenerateTemp = false;
    Tovimar_ColumnIDIndex FieldsByColID{Fields};  // by column id
    Collection<RelationPtr> Relations;
    Collection<DefaultPtr> Defaults;
    Collection<CheckPtr> Checks;
    Collection<TriggerPtr> Triggers;
    Collection<IndexPtr> Indexes;
    QString FTI_Catalog;
    QString FTI_UniqueIndex;
    bool FTI_ChangeTracking = false;
    bool FTI_BackgroundUpdate = false;
    std::optional<Collection<FieldPtr>> FTI_Columns;         // none until the first is added
    std::optional<Collection<FieldPtr>> FTI_ColumnsDropped;  // none until the first is added
    bool FTI_DeleteRecreate = false;

    QString ObjectType() const override { return QStringLiteral("Table"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override;

    // Assigning a table's counterpart also releases the previous counterparts (clearing their
    // contents' links) and links the contents of the two tables by name.
    void SetOtherObj(Tovimar_Table* other);
    // Links Fields (unless skipFields), Relations, Defaults, Checks, Triggers and Indexes with the
    // counterpart's, or clears their links when clearOnly or there is no counterpart; then pairs
    // the constraints with generated names by what they constrain (LinkConstraintsByContent).
    // Does nothing for a table that belongs to no database.
    void LinkContents(bool clearOnly, bool skipFields);

    Tovimar_Table* Table() { return this; }
    QString GetAnyFTICatalog() const;
    bool IsCollationsIncluded() const override;
    bool IsFileGroupsIncluded() const;
    QString GetTagString() const;
    void CalcObjectIncluded();
    // Adds a column to Fields and FieldsByColID (FieldNames reads Fields) and makes this table its
    // parent; throws error 457 when the table has a column of that id or name already.
    // fullName, when given, is the column's FullName(false), made once by a caller that shares
    // it among the columns of one name.
    void AddField(const FieldPtr& field, const QString& fullName = QString());
    // The same with fullName's hash in Fields (collection_detail::FoldedHash), kept by that caller.
    void AddField(const FieldPtr& field, const QString& fullName, size_t keyHash);
};

class Tovimar_View : public Tovimar_FieldOwner, public Tovimar_Linked<Tovimar_View> {
public:
    Tovimar_View() { Typ = QStringLiteral("View"); }
    ~Tovimar_View() override;
    std::optional<bool> CollationsIncluded;  // may also be empty
    QString Definition;

    QString ObjectType() const override { return QStringLiteral("View"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override;
    bool IsCollationsIncluded() const override;
    void CalcObjectIncluded();
    // As Tovimar_Table::AddField, without FieldsByColID.
    void AddField(const FieldPtr& field, const QString& fullName = QString());
    void AddField(const FieldPtr& field, const QString& fullName, size_t keyHash);
};

class Tovimar_Procedure : public Tovimar_DbObject, public Tovimar_Linked<Tovimar_Procedure> {
public:
    Tovimar_Procedure() { Typ = QStringLiteral("Procedure"); }
    ~Tovimar_Procedure() override;

    QString FullName(bool withTable = false) const override;
    QString ObjectType() const override { return QStringLiteral("Procedure"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override { SetOtherObj(nullptr); }
    void CalcObjectIncluded();

    // Procedures of one name may be numbered ;1, ;2, ...: one definition per number.
    QString Definition(int number) const;
    // Replaces the definition of that number (it moves to the end of the list).
    void SetDefinition(int number, const QString& text);
    int DefinitionCount() const { return static_cast<int>(definitions_.Count()); }
    // The numbers in the order in which they were added.
    QList<int> DefinitionsNumbers() const;

private:
    struct NumberedDefinition {
        int Number = 0;
        QString Text;
    };
    Collection<NumberedDefinition> definitions_;  // key: number + ";"
};

class Tovimar_Function : public Tovimar_DbObject, public Tovimar_Linked<Tovimar_Function> {
public:
    Tovimar_Function() { Typ = QStringLiteral("Function"); }
    ~Tovimar_Function() override;
    QString Definition;

    QString FullName(bool withTable = false) const override;
    QString ObjectType() const override { return QStringLiteral("Function"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override { SetOtherObj(nullptr); }
    void CalcObjectIncluded();
};

class Tovimar_Role : public Tovimar_DbObject, public Tovimar_Linked<Tovimar_Role> {
public:
    ~Tovimar_Role() override;
    Collection<QString> MemberNames;

    QString FullName(bool withTable = false) const override;
    QString ObjectType() const override { return QStringLiteral("Role"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override { SetOtherObj(nullptr); }
    void CalcObjectIncluded();
};

class Tovimar_Catalog : public Tovimar_DbObject, public Tovimar_Linked<Tovimar_Catalog> {
public:
    ~Tovimar_Catalog() override;

    QString FullName(bool withTable = false) const override;  // the name, unquoted
    QString ObjectType() const override { return QStringLiteral("Catalog"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override { SetOtherObj(nullptr); }
    void CalcObjectIncluded();
};

// A user-defined data type (sp_addtype): a name for a system type with its length, precision and
// scale, and whether columns of the type allow nulls by default. Types take part in every
// comparison; their name is unique in the database whatever the owner.
class Tovimar_Type : public Tovimar_DbObject, public Tovimar_Linked<Tovimar_Type> {
public:
    Tovimar_Type() { Typ = QStringLiteral("Type"); ObjectIncluded = true; }
    ~Tovimar_Type() override;
    QString BaseType;
    long DataSize = 0;
    long DataPrecision = 0;
    long DataDecimals = 0;
    bool AllowNulls = true;
    QString FullName(bool withTable = false) const override;  // the bracket-quoted name
    QString ObjectType() const override { return QStringLiteral("Type"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override { SetOtherObj(nullptr); }
    // The system type as sp_addtype takes it: "varchar(11)", "decimal(9, 2)", "int".
    QString BaseTypeText() const;
};

// Permission states on a whole object (SelectRight ... DRIRight), as the catalog loader decodes
// them; the values are defined by the loader and the permission scripts.
class Tovimar_Permission : public Tovimar_DbObject, public Tovimar_Linked<Tovimar_Permission> {
public:
    ~Tovimar_Permission() override;
    Tovimar_DbObject* SecObject = nullptr;  // the secured table, view, procedure or function
    QString Grantee;
    QString Grantor;
    quint8 SelectRight = 0;
    quint8 InsertRight = 0;
    quint8 UpdateRight = 0;
    quint8 DeleteRight = 0;
    quint8 ExecRight = 0;
    quint8 DRIRight = 0;
    Collection<QString> SelectGrant;
    Collection<QString> SelectDeny;
    Collection<QString> UpdateGrant;
    Collection<QString> UpdateDeny;
    Collection<QString> ReferenceGrant;
    Collection<QString> ReferenceDeny;

    // The secured object's FullName + "." + the quoted grantee (Name keeps it once loaded).
    QString FullName(bool withTable = false) const override;
    QString ObjectType() const override { return QStringLiteral("Permission"); }
    Tovimar_Object* OtherObject() const override { return OtherObj(); }
    void Clear() override;
};

struct Tovimar_FileGroup {
    long ID = 0;
    QString Name;
};

// The database's counterpart (the other database of the comparison) is held without ownership.
class Tovimar_Database : public Tovimar_Linked<Tovimar_Database> {
public:
    Tovimar_Database();
    ~Tovimar_Database();
    Tovimar_Database(const Tovimar_Database&) = delete;
    Tovimar_Database& operator=(const Tovimar_Database&) = delete;

    QString Server;
    QString Name;
    QString Version;
    bool UseCache = false;
    bool CreateCache = false;
    Collection<TablePtr> Tables;
    Collection<RelationPtr> Relations;
    Collection<DefaultPtr> Defaults;
    Collection<CheckPtr> Checks;
    Collection<TriggerPtr> Triggers;
    Collection<IndexPtr> Indexes;
    Collection<ViewPtr> Views;
    Collection<ProcedurePtr> Procedures;
    Collection<FunctionPtr> Functions;
    Collection<RolePtr> Roles;
    Collection<PermissionPtr> Permissions;
    Collection<CatalogPtr> Catalogs;
    Collection<TypePtr> Types;
    // Bound defaults and rules (CREATE DEFAULT / CREATE RULE) and their bindings to columns and
    // types, one text each, sorted: "DEFAULT [owner].[name] AS <definition>", "RULE ...",
    // "[owner].[table].[column] DEFAULT [name]", "[type] RULE [name]". They are compared as a
    // whole and reported, not scripted.
    QStringList BoundObjects;
    long CmptLevel = 0;
    long SrvVer = 0;
    Collection<Tovimar_FileGroup> FileGroups;  // key: "#" + group id
    long DefaultFileGroupID = 0;
    QString TableExcludeIDs;
    QString ViewExcludeIDs;
    std::shared_ptr<DbConnection> Connection;
    // Filter matching for CalcObjectIncluded; not owned. None: everything is included.
    ObjectFilter* Filter = nullptr;

    const DatabaseProxyPtr& Proxy() const { return proxy_; }
    QString FullName() const { return Server + QLatin1Char('#') + Name; }
    QString GroupName(long groupId) const;


    // Empties every collection (a new load discards the previous schema). Objects that other
    // code still holds lose their links to this database's objects.
    void Initialize();

    // Asks the filter; a database without one includes everything with no flags.
    bool IsObjectIncluded(const QString& typeCode, const QString& fullName, int nameParts,
                          const QString& owner, long& flags, QStringList& extras) const;

    // Counterpart helpers used by linking and by the rename dialog.
    template <class T>
    static void ClearLink(T* object) {
        if (object && object->OtherObj()) {
            object->OtherObj()->SetOtherObj(nullptr);
            object->SetOtherObj(nullptr);
        }
    }
    template <class T>
    static void SetLink(T* object1, T* object2) {
        ClearLink(object1);
        ClearLink(object2);
        if (object1 && object2) object1->SetOtherObj(object2);
    }
    // Links every object of col1 to the object of col2 with the same FullName (none when there
    // is none), then every object of col2 the same way.
    template <class P>
    static void LinkObjects(const Collection<P>& col1, const Collection<P>& col2) {
        for (const auto& object : col1)
            if (object) object->SetOtherObj(col2.Item(object->FullName()).get());
        for (const auto& object : col2)
            if (object) object->SetOtherObj(col1.Item(object->FullName()).get());
    }
    template <class P>
    static void ClearOtherObj(const Collection<P>& collection) {
        for (const auto& object : collection)
            if (object) object->SetOtherObj(nullptr);
    }

private:
    void ClearAll();

    DatabaseProxyPtr proxy_;
};
