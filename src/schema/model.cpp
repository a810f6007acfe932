#include "schema/model.h"

#include "schema/constraint_links.h"
#include "schema/sql_text.h"

#include <algorithm>
#include <limits>
#include <typeinfo>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Shared pieces

void Tovimar_DbObject::SetDatabase(Tovimar_Database* db) {
    DatabaseProxy = db ? db->Proxy() : nullptr;
}

QString Tovimar_FieldOwner::FullName(bool) const { return QuoteName(Owner, Name); }

const QString& Tovimar_FieldNameList::At(qsizetype pos) const { return fields_.At(pos)->Name; }
const QString& Tovimar_FieldNameList::const_iterator::operator*() const { return (*it_)->Name; }

FieldPtr Tovimar_ColumnIDIndex::ByID(qint64 colId) const {
    if (colId < std::numeric_limits<int>::min() || colId > std::numeric_limits<int>::max()) return nullptr;
    const qsizetype pos = Locate(static_cast<int>(colId));
    return pos < 0 ? nullptr : fields_.At(pos);
}

void Tovimar_ColumnIDIndex::CheckNew(int colId) const {
    if (Locate(colId) >= 0)
        throw TovimarException(457, QStringLiteral("Collection"),
                               QStringLiteral("This key is already associated with an element of this collection"));
}

void Tovimar_ColumnIDIndex::Add(qsizetype pos) {
    if (byPlace_) {
        const FieldPtr& field = fields_.At(pos);
        if (pos == count_ && field && field->ColID == pos + 1) {
            ++count_;
            return;
        }
        byPlace_ = false;
        Rebuild(16);  // indexes the columns before it and this one
        return;
    }
    if ((count_ + 1) * 2 > static_cast<qsizetype>(slots_.size())) {
        Rebuild(std::max<size_t>(16, slots_.size() * 2));  // places pos with the others
        return;
    }
    Place(static_cast<qint32>(pos));
    ++count_;
}

void Tovimar_ColumnIDIndex::Reserve(qsizetype count) {
    reserved_ = std::max(reserved_, count);
}

namespace {
size_t ColumnIDHash(int colId) {
    const quint32 h = static_cast<quint32>(colId) * 0x9E3779B1u;
    return h ^ (h >> 16);
}
}  // namespace

// Positions that no longer name a column of Fields (Fields emptied without this index) are passed
// over: they find nothing rather than a wrong column.
qsizetype Tovimar_ColumnIDIndex::Locate(int colId) const {
    if (byPlace_) {
        const qsizetype pos = qsizetype(colId) - 1;
        if (pos < 0 || pos >= count_ || pos >= fields_.Count()) return -1;
        const FieldPtr& field = fields_.At(pos);
        return field && field->ColID == colId ? pos : -1;
    }
    if (slots_.empty()) return -1;
    const size_t mask = slots_.size() - 1;
    for (size_t i = ColumnIDHash(colId) & mask;; i = (i + 1) & mask) {
        const qint32 pos = slots_[i];
        if (pos < 0) return -1;
        if (pos < fields_.Count()) {
            const FieldPtr& field = fields_.At(pos);
            if (field && field->ColID == colId) return pos;
        }
    }
}

void Tovimar_ColumnIDIndex::Place(qint32 pos) {
    const FieldPtr& field = fields_.At(pos);
    const size_t mask = slots_.size() - 1;
    size_t i = ColumnIDHash(field->ColID) & mask;
    while (slots_[i] >= 0) i = (i + 1) & mask;
    slots_[i] = pos;
}

// Indexes every column of Fields afresh, in a table at most half full (the index is made with
// the first column, sized for the room reserved).
void Tovimar_ColumnIDIndex::Rebuild(size_t size) {
    while (size < static_cast<size_t>(std::max(fields_.Count(), reserved_)) * 2) size *= 2;
    slots_.assign(size, -1);
    count_ = 0;
    for (qsizetype pos = 0; pos < fields_.Count(); ++pos) {
        if (!fields_.At(pos)) continue;
        Place(static_cast<qint32>(pos));
        ++count_;
    }
}

QString Tovimar_TableObject::FullName(bool withTable) const {
    // The table's FullName is its quoted owner and name: the three parts are written at once.
    if (withTable && Table && !Name.isEmpty()) return QuoteName(Table->Owner, Table->Name, Name);
    QString name = QuoteName(Name);
    if (withTable && Table) name = Table->FullName() + QLatin1Char('.') + name;
    return name;
}

Tovimar_Database* Tovimar_TableObject::Database() const { return Table ? Table->Database() : nullptr; }

namespace {
// Clears every object of a collection (used when an owner ends or forgets its contents).
template <class P>
void ClearEach(const Collection<P>& collection) {
    for (const auto& object : collection)
        if (object) object->Clear();
}

// LinkObjects for the contents of two tables: every column, index, constraint and trigger is
// keyed by its FullName in its table, so the stored key and its hash serve for the lookup
// instead of a name built afresh.
template <class P>
void LinkByKey(const Collection<P>& mine, const Collection<P>& theirs) {
    const auto link = [](const Collection<P>& from, const Collection<P>& to) {
        for (const auto& entry : from.Entries()) {
            if (!entry.Value) continue;
            const qsizetype pos = to.IndexOfKeyOf(entry);
            entry.Value->SetOtherObj(pos < 0 ? nullptr : to.Entries()[static_cast<size_t>(pos)].Value.get());
        }
    };
    link(mine, theirs);
    link(theirs, mine);
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Columns

Tovimar_Field::~Tovimar_Field() = default;

QString Tovimar_Field::FullName(bool withTable) const {
    // The table's or view's FullName is its quoted owner and name: the three parts are written at once.
    if (withTable && Parent && !Name.isEmpty()) return QuoteName(Parent->Owner, Parent->Name, Name);
    QString name = QuoteName(Name);
    if (withTable && Parent) name = Parent->FullName() + QLatin1Char('.') + name;
    return name;
}

Tovimar_Database* Tovimar_Field::Database() const { return Parent ? Parent->Database() : nullptr; }

void Tovimar_Field::Clear() {
    SetOtherObj(nullptr);
    Parent = nullptr;
    Default = nullptr;
}

// A column's parent is nearly always exactly a table or a view: that is told by its type alone,
// without a search of the class tree.
Tovimar_Table* Tovimar_Field::Table() const {
    if (!Parent) return nullptr;
    if (typeid(*Parent) == typeid(Tovimar_Table)) return static_cast<Tovimar_Table*>(Parent);
    if (typeid(*Parent) == typeid(Tovimar_View)) return nullptr;
    return dynamic_cast<Tovimar_Table*>(Parent);
}
Tovimar_View* Tovimar_Field::View() const {
    if (!Parent) return nullptr;
    if (typeid(*Parent) == typeid(Tovimar_View)) return static_cast<Tovimar_View*>(Parent);
    if (typeid(*Parent) == typeid(Tovimar_Table)) return nullptr;
    return dynamic_cast<Tovimar_View*>(Parent);
}

QString Tovimar_Field::DataTypeText(bool quote) const {
    return FormatDataType(quote, DataType, static_cast<int>(DataPrecision), static_cast<int>(DataDecimals));
}

QString Tovimar_Field::DefinitionText() const {
    QString text = DataTypeText(false);
    text += CanBeNull ? QStringLiteral("  NULL") : QStringLiteral("  NOT NULL");
    if (!Formula.isEmpty()) text += QStringLiteral("  COMPUTED");
    if (Identity) text += QStringLiteral("  IDENTITY");
    if (Default) text += QStringLiteral("  DEFAULT ") + Default->Value;
    return text;
}

QString Tovimar_Field::GetTagString() const {
    return QStringLiteral("Column") + TagSeparator + FullName(false) + TagSeparator +
           (Parent ? Parent->FullName() : QString());
}

// ---------------------------------------------------------------------------------------------
// Table contents

Tovimar_Index::~Tovimar_Index() = default;
void Tovimar_Index::Clear() {
    SetOtherObj(nullptr);
    Table = nullptr;
}
bool Tovimar_Index::IsFileGroupsIncluded() const { return Table && Table->IsFileGroupsIncluded(); }

Tovimar_Relation::~Tovimar_Relation() = default;
void Tovimar_Relation::Clear() {
    SetOtherObj(nullptr);
    Table = nullptr;
    PrimaryTable = nullptr;
}

Tovimar_Default::~Tovimar_Default() = default;
void Tovimar_Default::Clear() {
    SetOtherObj(nullptr);
    Field = nullptr;
    Table = nullptr;
}

Tovimar_Check::~Tovimar_Check() = default;
void Tovimar_Check::Clear() {
    SetOtherObj(nullptr);
    Table = nullptr;
}

Tovimar_Trigger::~Tovimar_Trigger() = default;
void Tovimar_Trigger::Clear() {
    SetOtherObj(nullptr);
    Table = nullptr;
}

void Tovimar_Trigger::CalcObjectIncluded() {
    Tovimar_Database* db = Database();
    if (!db || !Table) {
        ObjectIncluded = false;
        return;
    }
    if (!db->Filter) {
        ObjectIncluded = true;  // what an absent filter answers, without the names made to ask it
        return;
    }
    long flags = 0;
    QStringList extras;
    // A trigger takes part only when its table and the trigger itself are both included; the
    // owner has been asked about with the table already.
    ObjectIncluded = db->IsObjectIncluded(QStringLiteral("ta"), Table->FullName(), 2, Table->Owner, flags, extras) &&
                     db->IsObjectIncluded(QStringLiteral("tr"), FullName(true), 3, QString(), flags, extras);
}

// ---------------------------------------------------------------------------------------------
// Tables and views

Tovimar_Table::~Tovimar_Table() { Clear(); }

void Tovimar_Table::Clear() {
    ClearEach(Fields);
    ClearEach(Relations);
    ClearEach(Defaults);
    ClearEach(Checks);
    ClearEach(Triggers);
    ClearEach(Indexes);
    FTI_Columns.reset();
    SetOtherObj(nullptr);
    PrimaryKey = nullptr;
}

void Tovimar_Table::SetOtherObj(Tovimar_Table* other) {
    Tovimar_Table* current = OtherObj();
    if (current == other) return;
    if (!other) {
        StoreOtherObj(nullptr);
        current->SetOtherObj(nullptr);  // unlinks the old counterpart and clears its contents
        LinkContents(false, false);
        return;
    }
    if (current && current->OtherObj()) current->SetOtherObj(nullptr);
    StoreOtherObj(other);
    // The counterpart's assignment links the columns of both tables, both ways, already.
    const bool fieldsLinked = other->OtherObj() != this && other->Database();
    if (other->OtherObj() != this) other->SetOtherObj(this);
    LinkContents(false, fieldsLinked);
}

void Tovimar_Table::LinkContents(bool clearOnly, bool skipFields) {
    if (!Database()) return;
    Tovimar_Table* other = OtherObj();
    if (clearOnly || !other) {
        if (!skipFields) Tovimar_Database::ClearOtherObj(Fields);
        Tovimar_Database::ClearOtherObj(Relations);
        Tovimar_Database::ClearOtherObj(Defaults);
        Tovimar_Database::ClearOtherObj(Checks);
        Tovimar_Database::ClearOtherObj(Triggers);
        Tovimar_Database::ClearOtherObj(Indexes);
        return;
    }
    if (!skipFields) LinkByKey(Fields, other->Fields);
    LinkByKey(Relations, other->Relations);
    LinkByKey(Defaults, other->Defaults);
    LinkByKey(Checks, other->Checks);
    LinkByKey(Triggers, other->Triggers);
    LinkByKey(Indexes, other->Indexes);
    LinkConstraintsByContent(*this);
}

QString Tovimar_Table::GetAnyFTICatalog() const {
    if (!FTI_Catalog.isEmpty()) return FTI_Catalog;
    return OtherObj() ? OtherObj()->FTI_Catalog : QString();
}

bool Tovimar_Table::IsCollationsIncluded() const {
    return CollationsIncluded && (!OtherObj() || OtherObj()->CollationsIncluded);
}

bool Tovimar_Table::IsFileGroupsIncluded() const {
    return FileGroupsIncluded && (!OtherObj() || OtherObj()->FileGroupsIncluded);
}

QString Tovimar_Table::GetTagString() const { return QStringLiteral("Table") + TagSeparator + FullName(); }

void Tovimar_Table::CalcObjectIncluded() {
    Tovimar_Database* db = Database();
    long flags = 0;
    QStringList extras;
    // Without a filter every table is included with no option flags: the name is not made.
    ObjectIncluded = db && db->Filter ? db->IsObjectIncluded(QStringLiteral("ta"), FullName(), 2, Owner, flags, extras)
                                      : true;
    CollationsIncluded = (flags & 1) == 0;
    FileGroupsIncluded = (flags & 4) == 0;
    DataCopyDefs.Clear();
    if (flags & 16)
        for (const QString& extra : extras) DataCopyDefs.Add(extra);
    if (!ObjectIncluded && db && !db->CreateCache)
        db->TableExcludeIDs += QLatin1Char(',') + QString::number(ObjectID);
}

void Tovimar_Table::AddField(const FieldPtr& field, const QString& fullName) {
    const QString key = fullName.isEmpty() ? field->FullName(false) : fullName;
    AddField(field, key, collection_detail::FoldedHash(key));
}

void Tovimar_Table::AddField(const FieldPtr& field, const QString& fullName, size_t keyHash) {
    field->Parent = this;
    FieldsByColID.CheckNew(field->ColID);
    Fields.AddHashed(field, fullName, keyHash);
    FieldsByColID.Add(Fields.Count() - 1);
}

Tovimar_View::~Tovimar_View() { Clear(); }

void Tovimar_View::Clear() {
    SetOtherObj(nullptr);
    ClearEach(Fields);
    Fields.Clear();
}

bool Tovimar_View::IsCollationsIncluded() const {
    const bool own = CollationsIncluded.value_or(false);
    return own && (!OtherObj() || OtherObj()->CollationsIncluded.value_or(false));
}

void Tovimar_View::CalcObjectIncluded() {
    Tovimar_Database* db = Database();
    long flags = 0;
    QStringList extras;
    ObjectIncluded = db && db->Filter ? db->IsObjectIncluded(QStringLiteral("vi"), FullName(), 2, Owner, flags, extras)
                                      : true;
    CollationsIncluded = (flags & 1) == 0;
}

void Tovimar_View::AddField(const FieldPtr& field, const QString& fullName) {
    field->Parent = this;
    Fields.Add(field, fullName.isEmpty() ? field->FullName(false) : fullName);
}

void Tovimar_View::AddField(const FieldPtr& field, const QString& fullName, size_t keyHash) {
    field->Parent = this;
    Fields.AddHashed(field, fullName, keyHash);
}

// ---------------------------------------------------------------------------------------------
// Code objects, roles, catalogs, permissions

namespace {
// Asks the object's database's filter about the object; the name is made only when there is a
// filter to ask (without one everything is included).
template <class MakeName>
bool AskFilter(Tovimar_DbObject& object, const char* code, MakeName&& makeName, int parts, const QString& owner) {
    Tovimar_Database* db = object.Database();
    if (!db || !db->Filter) return true;
    long flags = 0;
    QStringList extras;
    return db->IsObjectIncluded(QString::fromLatin1(code), makeName(), parts, owner, flags, extras);
}
}  // namespace

Tovimar_Procedure::~Tovimar_Procedure() = default;
QString Tovimar_Procedure::FullName(bool) const { return QuoteName(Owner, Name); }
void Tovimar_Procedure::CalcObjectIncluded() {
    ObjectIncluded = AskFilter(*this, "pr", [this] { return FullName(); }, 2, Owner);
}

QString Tovimar_Procedure::Definition(int number) const {
    const NumberedDefinition* item = definitions_.Find(QString::number(number) + QLatin1Char(';'));
    return item ? item->Text : QString();
}

void Tovimar_Procedure::SetDefinition(int number, const QString& text) {
    const QString key = QString::number(number) + QLatin1Char(';');
    definitions_.Remove(key);
    definitions_.Add(NumberedDefinition{number, text}, key);
}

QList<int> Tovimar_Procedure::DefinitionsNumbers() const {
    QList<int> numbers;
    numbers.reserve(definitions_.Count());
    for (const NumberedDefinition& item : definitions_) numbers.append(item.Number);
    return numbers;
}

Tovimar_Function::~Tovimar_Function() = default;
QString Tovimar_Function::FullName(bool) const { return QuoteName(Owner, Name); }
void Tovimar_Function::CalcObjectIncluded() {
    ObjectIncluded = AskFilter(*this, "fu", [this] { return FullName(); }, 2, Owner);
}

Tovimar_Role::~Tovimar_Role() = default;
QString Tovimar_Role::FullName(bool) const { return QuoteName(Name); }
void Tovimar_Role::CalcObjectIncluded() {
    ObjectIncluded = AskFilter(*this, "gr", [this] { return FullName(); }, 1, QString());
}

Tovimar_Type::~Tovimar_Type() = default;
QString Tovimar_Type::FullName(bool) const { return QuoteName(Name); }
QString Tovimar_Type::BaseTypeText() const {
    return FormatDataType(false, BaseType, static_cast<int>(DataPrecision), static_cast<int>(DataDecimals));
}

Tovimar_Catalog::~Tovimar_Catalog() = default;
QString Tovimar_Catalog::FullName(bool) const { return Name; }
// A catalog's FullName is its bare name, but filter patterns are matched against bracket-quoted
// names: the catalog is asked about as [name].
void Tovimar_Catalog::CalcObjectIncluded() {
    ObjectIncluded = AskFilter(*this, "ca", [this] { return QuoteName(Name); }, 1, QString());
}

Tovimar_Permission::~Tovimar_Permission() = default;

QString Tovimar_Permission::FullName(bool) const {
    if (!SecObject) return Name;
    return SecObject->FullName() + QLatin1Char('.') + QuoteName(Grantee);
}

void Tovimar_Permission::Clear() {
    SetOtherObj(nullptr);
    SecObject = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The database

Tovimar_Database::Tovimar_Database() : proxy_(std::make_shared<Tovimar_DatabaseProxy>()) {
    proxy_->db_ = this;
}

Tovimar_Database::~Tovimar_Database() {
    SetOtherObj(nullptr);
    ClearAll();
    proxy_->db_ = nullptr;  // objects that outlive the database read it as none
}

QString Tovimar_Database::GroupName(long groupId) const {
    const Tovimar_FileGroup* group = FileGroups.Find(QStringLiteral("#") + QString::number(groupId));
    return group ? group->Name : QString();
}

bool Tovimar_Database::IsObjectIncluded(const QString& typeCode, const QString& fullName, int nameParts,
                                        const QString& owner, long& flags, QStringList& extras) const {
    flags = 0;
    extras.clear();
    if (!Filter) return true;
    return Filter->IsObjectIncluded(typeCode, fullName, nameParts, owner, flags, extras);
}

void Tovimar_Database::ClearAll() {
    // Break every link first: counterparts in the other model, then back pointers inside this
    // one, so that objects still held elsewhere (scripts, windows) point at nothing stale.
    ClearOtherObj(Tables);
    ClearOtherObj(Relations);
    ClearOtherObj(Defaults);
    ClearOtherObj(Checks);
    ClearOtherObj(Triggers);
    ClearOtherObj(Indexes);
    ClearOtherObj(Views);
    ClearOtherObj(Procedures);
    ClearOtherObj(Functions);
    ClearOtherObj(Roles);
    ClearOtherObj(Permissions);
    ClearOtherObj(Catalogs);
    ClearOtherObj(Types);
    ClearEach(Tables);
    ClearEach(Relations);
    ClearEach(Defaults);
    ClearEach(Checks);
    ClearEach(Triggers);
    ClearEach(Indexes);
    ClearEach(Views);
    ClearEach(Permissions);
    Tables.Clear();
    Relations.Clear();
    Defaults.Clear();
    Checks.Clear();
    Triggers.Clear();
    Indexes.Clear();
    Views.Clear();
    Procedures.Clear();
    Functions.Clear();
    Roles.Clear();
    Permissions.Clear();
    Catalogs.Clear();
    Types.Clear();
    BoundObjects.clear();
    FileGroups.Clear();
}

void Tovimar_Database::Initialize() {
    ClearAll();
    TableExcludeIDs.clear();
    ViewExcludeIDs.clear();
}
