#include "sqlsim/catalog.h"

#include <atomic>

namespace sqlsim {

unsigned long long NextRowsVersion() {
    static std::atomic<unsigned long long> version{0};
    return ++version;
}

QString ObjectKey(int uid, const QString& name) { return QString::number(uid) + u'|' + name.toLower(); }

const Column* Object::FindColumn(const QString& col) const {
    for (const Column& c : columns)
        if (c.name.compare(col, Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}
Column* Object::FindColumn(const QString& col) {
    for (Column& c : columns)
        if (c.name.compare(col, Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}
const IndexInfo* Object::FindIndex(const QString& idx) const {
    for (const IndexInfo& i : indexes)
        if (i.name.compare(idx, Qt::CaseInsensitive) == 0) return &i;
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
        objectIds.insert(ObjectKey(o.uid, o.name), o.id);
        objects[id] = std::move(o);
    }
}

const User* Database::FindUser(const QString& n) const {
    for (const User& u : users)
        if (u.name.compare(n, Qt::CaseInsensitive) == 0) return &u;
    return nullptr;
}
const User* Database::FindUser(int uid) const {
    for (const User& u : users)
        if (u.uid == uid) return &u;
    return nullptr;
}
const UserType* Database::FindUserType(const QString& n) const {
    for (const UserType& t : userTypes)
        if (t.name.compare(n, Qt::CaseInsensitive) == 0) return &t;
    return nullptr;
}
const Object* Database::FindObject(int id) const {
    auto it = objects.find(id);
    return it == objects.end() ? nullptr : &it->second;
}
Object* Database::FindObject(int id) {
    auto it = objects.find(id);
    return it == objects.end() ? nullptr : &it->second;
}
Object* Database::FindObject(const QString& owner, const QString& n) {
    int uid = 1;
    if (!owner.isEmpty()) {
        const User* u = FindUser(owner);
        if (!u) return nullptr;
        uid = u->uid;
    }
    auto it = objectIds.constFind(ObjectKey(uid, n));
    if (it == objectIds.constEnd()) return nullptr;
    return FindObject(*it);
}
const Object* Database::FindObject(const QString& owner, const QString& n) const {
    return const_cast<Database*>(this)->FindObject(owner, n);
}
Object& Database::AddObject(Object obj) {
    if (obj.id == 0) obj.id = NewObjectId();
    if (!obj.created.isValid()) obj.created = QDateTime::currentDateTimeUtc();
    obj.schemaVer = ++schemaVersion * 16;
    objectIds.insert(ObjectKey(obj.uid, obj.name), obj.id);
    if (obj.parent) childIds[obj.parent].append(obj.id);
    int id = obj.id;
    objects[id] = std::move(obj);
    return objects[id];
}
void Database::RemoveObject(int id) {
    auto it = objects.find(id);
    if (it == objects.end()) return;
    objectIds.remove(ObjectKey(it->second.uid, it->second.name));
    if (it->second.parent) childIds[it->second.parent].removeAll(id);
    childIds.remove(id);
    objects.erase(it);
    ++schemaVersion;
}
void Database::Touch(Object& obj) {
    obj.schemaVer = ++schemaVersion * 16;
    obj.rowsVersion = NextRowsVersion();  // indexes may have changed: cached keys are stale
}
int Database::NewObjectId() {
    // Ids grow by an odd step, which makes them look like the server's scattered ids.
    nextObjectId += 16003;
    while (objects.count(nextObjectId)) nextObjectId += 7;
    return nextObjectId;
}
QString Database::UniqueSuffix() { return QString::number(nextObjectId + 16003, 16).toUpper().rightJustified(8, u'0'); }

}  // namespace sqlsim
