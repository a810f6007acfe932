#include "sqlsim/catalog.h"

#include <algorithm>
#include <atomic>
#include <limits>

namespace sqlsim {

unsigned long long NextRowsVersion() {
    static std::atomic<unsigned long long> version{0};
    return ++version;
}

namespace {
std::atomic<unsigned long long> g_catalogVersion{1};
}
unsigned long long CatalogVersion() { return g_catalogVersion.load(std::memory_order_acquire); }
void CatalogChanged() { g_catalogVersion.fetch_add(1, std::memory_order_acq_rel); }

// The key is made for every name a statement resolves: built in one piece, ASCII names folded
// here (what toLower does to them). False for a name with any other character, which
// ObjectKey lowers through toLower.
static bool AsciiObjectKey(QString& key, int uid, QStringView name) {
    char digits[12];  // backwards
    int count = 0;
    unsigned magnitude = uid < 0 ? 0u - static_cast<unsigned>(uid) : static_cast<unsigned>(uid);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (uid < 0) digits[count++] = '-';
    key.resize(count + 1 + name.size());
    QChar* out = key.data();
    while (count > 0) *out++ = QLatin1Char(digits[--count]);
    *out++ = u'|';
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x80) return false;
        *out++ = QChar(u >= u'A' && u <= u'Z' ? static_cast<char16_t>(u + 32) : u);
    }
    return true;
}

QString ObjectKey(int uid, const QString& name) {
    QString key;
    if (AsciiObjectKey(key, uid, name)) return key;
    return QString::number(uid) + u'|' + name.toLower();
}

bool SameNameNoCase(QStringView a, QStringView b) {
    // Case folding keeps a name's length. Two ASCII characters that differ after folding decide;
    // from the first other character on, the full comparison does.
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x == y) continue;
        if (x >= 0x80 || y >= 0x80) return a.sliced(i).compare(b.sliced(i), Qt::CaseInsensitive) == 0;
        if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
        if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
        if (x != y) return false;
    }
    return true;
}

const Column* Object::FindColumn(const QString& col) const {
    // A name read from the catalog (syscolumns.name) shares the column's own characters; names
    // are unique whatever their case, so that column is the one a comparison would find.
    for (const Column& c : columns)
        if (c.name.constData() == col.constData() && c.name.size() == col.size()) return &c;
    for (const Column& c : columns)
        if (SameNameNoCase(c.name, col)) return &c;
    return nullptr;
}
Column* Object::FindColumn(const QString& col) {
    for (Column& c : columns)
        if (SameNameNoCase(c.name, col)) return &c;
    return nullptr;
}
const IndexInfo* Object::FindIndex(const QString& idx) const {
    for (const IndexInfo& i : indexes)
        if (SameNameNoCase(i.name, idx)) return &i;
    return nullptr;
}

Database::Database() {
    created = QDateTime::currentDateTimeUtc();
    auto user = [&](int uid, const char* name, bool role, bool sid, bool sqlUser) {
        User u;
        u.uid = uid;
        u.name = QString::fromLatin1(name);
        u.isSqlRole = role;
        u.hasSid = sid;
        u.isSqlUser = sqlUser;
        u.created = created;
        u.updated = created;
        users.push_back(u);
    };
    // The fixed roles are shown without a sid so that only roles a script created are listed
    // by queries that ask for roles with a sid.
    user(0, "public", true, false, false);
    user(1, "dbo", false, true, true);
    user(2, "guest", false, false, true);
    user(3, "INFORMATION_SCHEMA", false, false, true);
    user(4, "system_function_schema", false, false, true);
    const char* fixed[] = {"db_owner", "db_accessadmin", "db_securityadmin", "db_ddladmin", nullptr,
                           "db_backupoperator", "db_datareader", "db_datawriter", "db_denydatareader",
                           "db_denydatawriter"};
    for (int i = 0; i < 10; ++i)
        if (fixed[i]) user(16384 + i, fixed[i], true, false, false);
    members.emplace_back(16384, 1);
    fileGroups.push_back(FileGroup{1, QStringLiteral("PRIMARY"), true});
    // The system tables are objects of their own (type S, shipped with the server).
    const std::pair<int, const char*> systemTables[] = {
        {1, "sysobjects"}, {2, "sysindexes"}, {3, "syscolumns"}, {4, "systypes"}, {6, "syscomments"},
        {9, "syspermissions"}, {10, "sysusers"}, {12, "sysdepends"}, {14, "sysreferences"},
        {19, "sysfulltextcatalogs"}, {24, "sysindexkeys"}, {26, "sysmembers"}, {96, "sysfilegroups"}, {97, "sysfiles"}};
    for (const auto& [id, name] : systemTables) {
        Object o;
        o.id = id;
        o.name = QString::fromLatin1(name);
        o.type = QStringLiteral("S");
        o.msShipped = true;
        o.created = created;
        objectIds_.insert(ObjectKey(o.uid, o.name), o.id);
        objects.map_[id] = std::move(o);
    }
    objects.Changed();
}

const std::vector<const Object*>& ObjectMap::Ordered() const {
    if (!orderedValid_) {
        ordered_.clear();
        ordered_.reserve(map_.size());
        orderedIds_.clear();
        orderedIds_.reserve(map_.size());
        for (const auto& [id, o] : map_) {
            ordered_.push_back(&o);
            orderedIds_.push_back(id);
        }
        orderedValid_ = true;
    }
    return ordered_;
}

const Object* ObjectMap::Find(int id) const {
    if (!orderedValid_) {
        auto it = map_.find(id);
        return it == map_.end() ? nullptr : &it->second;
    }
    auto it = std::lower_bound(orderedIds_.begin(), orderedIds_.end(), id);
    return it == orderedIds_.end() || *it != id ? nullptr : ordered_[static_cast<size_t>(it - orderedIds_.begin())];
}

const User* Database::FindUser(QStringView n) const {
    for (const User& u : users)
        if (SameNameNoCase(u.name, n)) return &u;
    return nullptr;
}
const User* Database::FindUser(int uid) const {
    for (const User& u : users)
        if (u.uid == uid) return &u;
    return nullptr;
}
const UserType* Database::FindUserType(const QString& n) const {
    for (const UserType& t : userTypes)
        if (SameNameNoCase(t.name, n)) return &t;
    return nullptr;
}
const Object* Database::FindObject(int id) const { return objects.Find(id); }
Object* Database::FindObject(int id) {
    auto it = objects.map_.find(id);
    if (it == objects.map_.end()) return nullptr;
    if (!undo_.logs.empty()) SaveObject(id);
    return &it->second;
}
int Database::FindObjectId(QStringView owner, QStringView n) const {
    int uid = 1;
    if (!owner.isEmpty()) {
        const User* u = FindUser(owner);
        if (!u) return 0;
        uid = u->uid;
    }
    // Statements resolve names all the time: the key of an ASCII name is built in the thread's
    // own buffer, which keeps its room, instead of a new string each time.
    thread_local QString key;
    if (AsciiObjectKey(key, uid, n)) return objectIds_.value(key, 0);
    return objectIds_.value(QString::number(uid) + u'|' + n.toString().toLower(), 0);
}
Object* Database::FindObject(const QString& owner, const QString& n) {
    const int id = FindObjectId(owner, n);
    return id ? FindObject(id) : nullptr;
}
const Object* Database::FindObject(const QString& owner, const QString& n) const {
    const int id = FindObjectId(owner, n);
    return id ? FindObject(id) : nullptr;
}
const Object* Database::FindObject(QStringView owner, QStringView n) const {
    const int id = FindObjectId(owner, n);
    return id ? FindObject(id) : nullptr;
}
Object& Database::AddObject(Object obj) {
    CatalogChanged();
    if (obj.id == 0) obj.id = NewObjectId();
    if (!obj.created.isValid()) obj.created = QDateTime::currentDateTimeUtc();
    obj.schemaVer = ++schemaVersion * 16;
    const QString key = ObjectKey(obj.uid, obj.name);
    if (!undo_.logs.empty()) {
        SaveObject(obj.id);
        SaveName(key);
        if (obj.parent) SaveList(childIds_, &DatabaseUndo::children, obj.parent);
    }
    objectIds_.insert(key, obj.id);
    if (obj.parent) childIds_[obj.parent].append(obj.id);
    AddReferrer(obj);
    objects.Changed();
    Object& added = objects.map_[obj.id];
    added = std::move(obj);
    return added;
}
void Database::RemoveObject(int id) {
    CatalogChanged();
    auto it = objects.map_.find(id);
    if (it == objects.map_.end()) return;
    const QString key = ObjectKey(it->second.uid, it->second.name);
    const int parent = it->second.parent;
    if (!undo_.logs.empty()) {
        SaveObject(id);
        SaveName(key);
        if (parent) SaveList(childIds_, &DatabaseUndo::children, parent);
        SaveList(childIds_, &DatabaseUndo::children, id);
    }
    RemoveReferrer(it->second);
    objectIds_.remove(key);
    if (parent) childIds_[parent].removeAll(id);
    childIds_.remove(id);
    objects.map_.erase(it);
    objects.Changed();
    ++schemaVersion;
}
void Database::RenameObject(Object& obj, int uid, const QString& name) {
    CatalogChanged();
    const QString oldKey = ObjectKey(obj.uid, obj.name), newKey = ObjectKey(uid, name);
    if (!undo_.logs.empty()) {
        SaveObject(obj.id);
        SaveName(oldKey);
        SaveName(newKey);
    }
    objectIds_.remove(oldKey);
    obj.uid = uid;
    obj.name = name;
    objectIds_.insert(newKey, obj.id);
}
void Database::SetBinding(Object& obj, bool schemaBound, const std::vector<int>& boundTo) {
    CatalogChanged();
    if (!undo_.logs.empty()) SaveObject(obj.id);
    RemoveReferrer(obj);
    obj.schemaBound = schemaBound;
    obj.boundTo = boundTo;
    AddReferrer(obj);
}
// What an object references: the table of a foreign key, the objects a schema-bound one reads.
static std::vector<int> ReferencedIds(const Object& obj) {
    std::vector<int> ids = obj.boundTo;
    if (obj.refTable) ids.push_back(obj.refTable);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}
void Database::AddReferrer(const Object& obj) {
    for (int ref : ReferencedIds(obj)) {
        if (!undo_.logs.empty()) SaveList(referrers_, &DatabaseUndo::referrers, ref);
        referrers_[ref].append(obj.id);
    }
}
void Database::RemoveReferrer(const Object& obj) {
    for (int ref : ReferencedIds(obj)) {
        auto it = referrers_.find(ref);
        if (it == referrers_.end()) continue;
        if (!undo_.logs.empty()) SaveList(referrers_, &DatabaseUndo::referrers, ref);
        it->removeAll(obj.id);
        if (it->isEmpty()) referrers_.erase(it);
    }
}
std::vector<int> Database::Referrers(int id) const {
    const QList<int> ids = referrers_.value(id);
    std::vector<int> out(ids.begin(), ids.end());
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}
std::vector<const Object*> Database::ForeignKeysTo(int tableId) const {
    std::vector<const Object*> out;
    for (int id : Referrers(tableId))
        if (const Object* f = FindObject(id); f && f->IsType("F") && f->refTable == tableId) out.push_back(f);
    return out;
}
void Database::Touch(Object& obj) {
    CatalogChanged();
    obj.schemaVer = ++schemaVersion * 16;
    obj.rowsVersion = NextRowsVersion();  // indexes may have changed: cached keys are stale
}

// Each log keeps only the first pre-image: the state before the transaction changed anything.
void Database::SaveObject(int id) {
    for (DatabaseUndo* log : undo_.logs) {
        if (log->objects.count(id)) continue;
        auto it = objects.map_.find(id);
        log->objects.emplace(id, it == objects.map_.end() ? std::nullopt : std::optional<Object>(it->second));
    }
}
void Database::SaveName(const QString& key) {
    for (DatabaseUndo* log : undo_.logs) {
        if (log->names.contains(key)) continue;
        auto it = objectIds_.constFind(key);
        log->names.insert(key, it == objectIds_.constEnd() ? std::nullopt : std::optional<int>(*it));
    }
}
void Database::SaveList(const QHash<int, QList<int>>& lists, ListLog DatabaseUndo::*saved, int key) {
    for (DatabaseUndo* log : undo_.logs) {
        ListLog& to = log->*saved;
        if (to.count(key)) continue;
        auto it = lists.constFind(key);
        to.emplace(key, it == lists.constEnd() ? std::nullopt : std::optional<QList<int>>(*it));
    }
}
void Database::RestoreLists(QHash<int, QList<int>>& lists, ListLog DatabaseUndo::*saved, DatabaseUndo& log) {
    for (auto& [key, before] : log.*saved) {
        if (!undo_.logs.empty()) SaveList(lists, saved, key);
        if (before) lists.insert(key, std::move(*before));
        else lists.remove(key);
    }
}

void Database::BeginUndo(DatabaseUndo& log) {
    log.info = static_cast<const DatabaseInfo&>(*this);
    undo_.logs.push_back(&log);
}
void Database::EndUndo(DatabaseUndo& log) {
    undo_.logs.erase(std::remove(undo_.logs.begin(), undo_.logs.end(), &log), undo_.logs.end());
}
void Database::Undo(DatabaseUndo& log) {
    // A database of the same name made after another connection dropped the logged one is left
    // alone: the log describes a database that is gone.
    if (std::find(undo_.logs.begin(), undo_.logs.end(), &log) == undo_.logs.end()) return;
    EndUndo(log);
    objects.Changed();
    CatalogChanged();
    // What the other open transactions see restored is a change to them like any other.
    for (auto& [id, before] : log.objects) {
        if (!undo_.logs.empty()) SaveObject(id);
        auto now = objects.map_.find(id);
        if (!before) {
            if (now != objects.map_.end()) objects.map_.erase(now);
            continue;
        }
        // SET IDENTITY_INSERT is a session setting and survives the rollback.
        if (now != objects.map_.end()) {
            before->identityInsert = now->second.identityInsert;
            now->second = std::move(*before);
        } else {
            objects.map_.emplace(id, std::move(*before));
        }
    }
    for (auto it = log.names.begin(); it != log.names.end(); ++it) {
        if (!undo_.logs.empty()) SaveName(it.key());
        if (it.value()) objectIds_.insert(it.key(), *it.value());
        else objectIds_.remove(it.key());
    }
    RestoreLists(childIds_, &DatabaseUndo::children, log);
    RestoreLists(referrers_, &DatabaseUndo::referrers, log);
    static_cast<DatabaseInfo&>(*this) = std::move(log.info);
    log = DatabaseUndo();
}
// The id `step` after `id`; past the largest int it starts again near the bottom (from 1000, above
// the system tables' ids), so that ids stay positive as on the server (some 10,650 objects
// reach the top from where a database starts).
static int IdAfter(int id, int step) {
    const long long next = static_cast<long long>(id) + step;
    return next <= std::numeric_limits<int>::max() ? static_cast<int>(next)
                                                   : static_cast<int>(next - std::numeric_limits<int>::max() + 1000);
}
int Database::NewObjectId() {
    // Ids grow by an odd step, which makes them look like the server's scattered ids.
    nextObjectId = IdAfter(nextObjectId, 16003);
    while (objects.map_.count(nextObjectId)) nextObjectId = IdAfter(nextObjectId, 7);
    return nextObjectId;
}
QString Database::UniqueSuffix() { return QString::number(IdAfter(nextObjectId, 16003), 16).toUpper().rightJustified(8, u'0'); }

}  // namespace sqlsim
