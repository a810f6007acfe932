// EXEC: the system procedures the scripts and the tool call, and user procedures.
#include "sqlsim/engine.h"
#include "sqlsim/parser.h"
#include "sqlsim/value_ops.h"

namespace sqlsim {

// ---------------------------------------------------------------- EXEC and system procedures
namespace {

struct ProcArgs {
    std::vector<Value> values;
    QString Str(size_t i) const { return i < values.size() && !values[i].IsNull() ? values[i].AsString() : QString(); }
    bool Has(size_t i) const { return i < values.size() && !values[i].IsNull(); }
};

}  // namespace

void Executor::DoExec(const Statement& s) {
    Scope empty;
    ProcArgs a;
    for (const ExprPtr& e : s.args) a.values.push_back(e->kind == ExprKind::Function && e->name == "DEFAULT" ? Value::Null() : Eval(*e, empty));
    const QString name = s.object.name.toLower();
    Database* target = DatabaseFor(s.object.database);
    if (!target) throw ErrGeneric(911, 16, QStringLiteral("Could not locate entry in sysdatabases for database '%1'. No entry found with that name. Make sure that the name is entered correctly.").arg(s.object.database));
    Database& db = *target;
    auto setReturn = [&](long long rc) {
        if (!s.returnVariable.isEmpty()) variables_[s.returnVariable.toLower()] = Value::Int(rc);
    };
    auto findTable = [&](const QString& text) -> Object* {
        QStringList parts = SplitObjectNameText(text);
        Object* o = db.FindObject(parts.size() > 1 ? parts[parts.size() - 2] : QString(), parts.last());
        return o && o->IsType("U") ? o : nullptr;
    };
    auto bumpUser = [&](int uid) {
        for (User& u : db.users)
            if (u.uid == uid) u.updated = QDateTime::currentDateTimeUtc();
    };

    if (name == "sp_addtype") {
        QString tname = a.Str(0), phys = a.Str(1), nulls = a.Str(2).trimmed().toUpper();
        if (db.FindUserType(tname) || FindBuiltinType(tname))
            throw ErrGeneric(15029, 16, QStringLiteral("The type '%1' already exists, or you do not have permission to create it.").arg(tname));
        ParseResult pr = ParseBatch(QStringLiteral("DECLARE @x ") + phys, true);
        if (!pr.ok || pr.statements.empty() || pr.statements[0]->params.empty())
            throw ErrGeneric(15036, 16, QStringLiteral("The data type '%1' does not exist.").arg(phys));
        TypeSpec ts = pr.statements[0]->params[0].type;
        if (!FindBuiltinType(ts.name)) throw ErrGeneric(15036, 16, QStringLiteral("The data type '%1' does not exist.").arg(phys));
        Column c = ColumnFromType(db, ts);
        int xusertype = 257;
        for (const UserType& u : db.userTypes) xusertype = std::max(xusertype, u.xusertype + 1);
        bool allow = nulls.isEmpty() ? true : !(nulls == "NOT NULL" || nulls == "NONULL");
        db.userTypes.push_back(UserType{xusertype, c.xtype, tname, c.length, c.prec, c.scale, allow, 1});
        AddMessage(0, 0, 1, QStringLiteral("Type added."));
        setReturn(0);
        return;
    }
    if (name == "sp_droptype") {
        const QString tname = a.Str(0);
        auto it = std::find_if(db.userTypes.begin(), db.userTypes.end(),
                               [&](const UserType& u) { return u.name.compare(tname, Qt::CaseInsensitive) == 0; });
        if (it == db.userTypes.end())
            throw ErrGeneric(15036, 16, QStringLiteral("The data type '%1' does not exist.").arg(tname));
        for (const auto& [id, object] : db.objects)
            for (const Column& c : object.columns)
                if (c.xusertype == it->xusertype)
                    throw ErrGeneric(15180, 16, QStringLiteral("Cannot drop. The data type is being used."));
        db.userTypes.erase(it);
        AddMessage(0, 0, 1, QStringLiteral("Type has been dropped."));
        setReturn(0);
        return;
    }
    if (name == "sp_addrole") {
        QString role = a.Str(0);
        if (db.FindUser(role)) throw ErrGeneric(15023, 16, QStringLiteral("User or role '%1' already exists in the current database.").arg(role));
        User u;
        u.uid = 16400;
        for (const User& x : db.users) if (x.uid >= u.uid && x.uid < 16384 * 2) u.uid = x.uid + 1;
        u.name = role;
        u.isSqlRole = true;
        u.created = u.updated = QDateTime::currentDateTimeUtc();
        db.users.push_back(u);
        AddMessage(0, 0, 1, QStringLiteral("New role added."));
        setReturn(0);
        return;
    }
    if (name == "sp_addapprole") {
        User u;
        u.uid = 16400 + static_cast<int>(db.users.size());
        u.name = a.Str(0);
        u.isAppRole = true;
        u.created = u.updated = QDateTime::currentDateTimeUtc();
        db.users.push_back(u);
        setReturn(0);
        return;
    }
    if (name == "sp_adduser" || name == "sp_grantdbaccess") {
        QString login = a.Str(0);
        QString uname = a.Has(1) ? a.Str(1) : login;
        if (uname.contains(u'\\')) uname = uname.mid(uname.lastIndexOf(u'\\') + 1);
        if (db.FindUser(uname)) throw ErrGeneric(15023, 16, QStringLiteral("User or role '%1' already exists in the current database.").arg(uname));
        User u;
        u.uid = db.nextUid++;
        u.name = uname;
        u.isSqlUser = true;
        u.created = u.updated = QDateTime::currentDateTimeUtc();
        db.users.push_back(u);
        if (name == "sp_adduser" && a.Has(2)) {
            const User* role = db.FindUser(a.Str(2));
            if (!role || !role->isSqlRole) throw ErrGeneric(15014, 16, QStringLiteral("The role '%1' does not exist in the current database.").arg(a.Str(2)));
            db.members.emplace_back(role->uid, u.uid);
        }
        AddMessage(0, 0, 1, QStringLiteral("Granted database access to '%1'.").arg(login));
        setReturn(0);
        return;
    }
    if (name == "sp_addrolemember" || name == "sp_droprolemember") {
        const User* role = db.FindUser(a.Str(0));
        if (!role || !role->isSqlRole) throw ErrGeneric(15014, 16, QStringLiteral("The role '%1' does not exist in the current database.").arg(a.Str(0)));
        const User* member = db.FindUser(a.Str(1));
        if (!member) throw ErrGeneric(15410, 11, QStringLiteral("User or role '%1' does not exist in this database.").arg(a.Str(1)));
        int g = role->uid, m = member->uid;
        auto it = std::find(db.members.begin(), db.members.end(), std::make_pair(g, m));
        if (name == "sp_addrolemember") {
            if (it == db.members.end()) db.members.emplace_back(g, m);
            AddMessage(0, 0, 1, QStringLiteral("'%1' added to role '%2'.").arg(member->name, role->name));
        } else {
            if (it != db.members.end()) db.members.erase(it);
            AddMessage(0, 0, 1, QStringLiteral("'%1' dropped from role '%2'.").arg(member->name, role->name));
        }
        bumpUser(g);
        setReturn(0);
        return;
    }
    if (name == "sp_droprole" || name == "sp_dropuser" || name == "sp_revokedbaccess" || name == "sp_dropapprole") {
        const User* u = db.FindUser(a.Str(0));
        if (!u) throw ErrGeneric(15151, 16, QStringLiteral("User or role '%1' does not exist in this database.").arg(a.Str(0)));
        int uid = u->uid;
        for (const auto& m : db.members)
            if (m.first == uid && name == "sp_droprole")
                throw ErrGeneric(15144, 16, QStringLiteral("The role has members. It must be empty before it can be dropped."));
        db.members.erase(std::remove_if(db.members.begin(), db.members.end(), [&](const auto& m) { return m.first == uid || m.second == uid; }), db.members.end());
        db.permissions.erase(std::remove_if(db.permissions.begin(), db.permissions.end(), [&](const Permission& p) { return p.grantee == uid; }), db.permissions.end());
        db.users.erase(std::remove_if(db.users.begin(), db.users.end(), [&](const User& x) { return x.uid == uid; }), db.users.end());
        setReturn(0);
        return;
    }
    if (name == "sp_fulltext_database") {
        QString action = a.Str(0).toLower();
        db.fullTextEnabled = action == "enable";
        if (action == "enable") {
            db.fullTextCatalogs.clear();
            for (const auto& [id, o] : db.objects)
                if (o.fullTextCatalog) db.FindObject(id)->fullTextCatalog = 0;
        }
        setReturn(0);
        return;
    }
    if (name == "sp_fulltext_catalog") {
        QString cat = a.Str(0), action = a.Str(1).toLower();
        if (!db.fullTextEnabled)
            throw ErrGeneric(15601, 16, QStringLiteral("Full-Text Search is not enabled for the current database. Use sp_fulltext_database to enable full-text search."));
        auto it = std::find_if(db.fullTextCatalogs.begin(), db.fullTextCatalogs.end(), [&](const FullTextCatalog& c) { return c.name.compare(cat, Qt::CaseInsensitive) == 0; });
        if (action == "create") {
            if (it != db.fullTextCatalogs.end()) throw ErrGeneric(7605, 16, QStringLiteral("Full-text catalog '%1' already exists.").arg(cat));
            int id = 5;
            for (const auto& c : db.fullTextCatalogs) id = std::max(id, c.ftcatid + 1);
            db.fullTextCatalogs.push_back(FullTextCatalog{id, cat, a.Str(2)});
        } else {
            if (it == db.fullTextCatalogs.end()) throw ErrGeneric(7641, 16, QStringLiteral("Full-text catalog '%1' does not exist.").arg(cat));
            if (action == "drop") {
                for (const auto& [id, o] : db.objects)
                    if (o.fullTextCatalog == it->ftcatid)
                        throw ErrGeneric(7613, 16, QStringLiteral("Cannot drop full-text catalog '%1' because it contains a full-text index.").arg(cat));
                db.fullTextCatalogs.erase(it);
            }
        }
        setReturn(0);
        return;
    }
    if (name == "sp_fulltext_table") {
        Object* t = findTable(a.Str(0));
        if (!t) throw ErrInvalidObject(a.Str(0));
        QString action = a.Str(1).toLower();
        if (action == "create") {
            auto it = std::find_if(db.fullTextCatalogs.begin(), db.fullTextCatalogs.end(), [&](const FullTextCatalog& c) { return c.name.compare(a.Str(2), Qt::CaseInsensitive) == 0; });
            if (it == db.fullTextCatalogs.end()) throw ErrGeneric(7641, 16, QStringLiteral("Full-text catalog '%1' does not exist.").arg(a.Str(2)));
            const IndexInfo* ix = t->FindIndex(a.Str(3));
            if (!ix || !ix->unique || ix->keys.size() != 1)
                throw ErrGeneric(7653, 16, QStringLiteral("'%1' is not a valid index to enforce a full-text search key. You must specify a unique, non-nullable, single-column index.").arg(a.Str(3)));
            t->fullTextCatalog = it->ftcatid;
            t->fullTextKeyIndex = ix->name;
        } else {
            if (!t->fullTextCatalog) throw ErrGeneric(7601, 16, QStringLiteral("Full-text search is not enabled for the current table '%1'.").arg(t->name));
            if (action == "drop") { t->fullTextCatalog = 0; t->fullTextColumns.clear(); t->fullTextKeyIndex.clear(); }
            else if (action == "activate") t->fullTextActive = true;
            else if (action == "deactivate") t->fullTextActive = false;
            else if (action == "start_change_tracking") t->fullTextChangeTracking = true;
            else if (action == "stop_change_tracking") t->fullTextChangeTracking = false;
            else if (action == "start_background_updateindex") t->fullTextBackgroundUpdate = true;
            else if (action == "stop_background_updateindex") t->fullTextBackgroundUpdate = false;
        }
        db.Touch(*t);
        setReturn(0);
        return;
    }
    if (name == "sp_fulltext_column") {
        Object* t = findTable(a.Str(0));
        if (!t) throw ErrInvalidObject(a.Str(0));
        const Column* c = t->FindColumn(a.Str(1));
        if (!c) throw ErrInvalidColumn(a.Str(1));
        if (!t->fullTextCatalog) throw ErrGeneric(7601, 16, QStringLiteral("Full-text search is not enabled for the current table '%1'.").arg(t->name));
        QString action = a.Str(2).toLower();
        auto& cols = t->fullTextColumns;
        cols.erase(std::remove_if(cols.begin(), cols.end(), [&](const auto& p) { return p.first == c->colid; }), cols.end());
        if (action == "add") {
            int lang = a.Has(3) ? static_cast<int>(a.values[3].AsInt()) : 1033;
            cols.emplace_back(c->colid, lang);
            if (a.Has(4)) {
                const Column* tc = t->FindColumn(a.Str(4));
                if (tc) cols.back().second = lang | (tc->colid << 16);
            }
        }
        db.Touch(*t);
        setReturn(0);
        return;
    }
    if (name == "sp_help_fulltext_tables" || name == "sp_help_fulltext_columns") {
        if (!db.fullTextEnabled)
            throw ErrGeneric(15601, 16, QStringLiteral("Full-Text Search is not enabled for the current database. Use sp_fulltext_database to enable full-text search."));
        ResultSet rs;
        auto col = [&](const char* n, int xt, int len) { rs.columns.push_back(ResultColumn{QString::fromLatin1(n), xt, len}); };
        if (name == "sp_help_fulltext_tables") {
            col("TABLE_OWNER", XNVarChar, 256); col("TABLE_NAME", XNVarChar, 256); col("FULLTEXT_KEY_INDEX_NAME", XNVarChar, 256);
            col("FULLTEXT_KEY_COLID", XInt, 4); col("FULLTEXT_INDEX_ACTIVE", XInt, 4); col("FULLTEXT_CATALOG_NAME", XNVarChar, 256);
        } else {
            col("TABLE_OWNER", XNVarChar, 256); col("TABLE_ID", XInt, 4); col("TABLE_NAME", XNVarChar, 256);
            col("FULLTEXT_COLUMN_NAME", XNVarChar, 256); col("FULLTEXT_COLID", XInt, 4); col("FULLTEXT_BLOBTP_COLNAME", XNVarChar, 256);
            col("FULLTEXT_BLOBTP_COLID", XInt, 4); col("FULLTEXT_LANGUAGE", XSmallInt, 2);
        }
        for (const auto& [id, o] : db.objects) {
            if (!o.fullTextCatalog) continue;
            const User* owner = db.FindUser(o.uid);
            QString ownerName = owner ? owner->name : QStringLiteral("dbo");
            QString catName;
            for (const auto& c : db.fullTextCatalogs) if (c.ftcatid == o.fullTextCatalog) catName = c.name;
            if (name == "sp_help_fulltext_tables") {
                const IndexInfo* ix = o.FindIndex(o.fullTextKeyIndex);
                rs.rows.push_back({Value::String(ownerName, XNVarChar), Value::String(o.name, XNVarChar),
                                   Value::String(o.fullTextKeyIndex, XNVarChar), Value::Int(ix && !ix->keys.empty() ? ix->keys[0] : 0),
                                   Value::Int(o.fullTextActive ? 1 : 0), Value::String(catName, XNVarChar)});
            } else {
                for (const auto& [colid, lang] : o.fullTextColumns) {
                    const Column* c = nullptr;
                    const Column* typeCol = nullptr;
                    for (const Column& x : o.columns) {
                        if (x.colid == colid) c = &x;
                        if ((lang >> 16) && x.colid == (lang >> 16)) typeCol = &x;
                    }
                    if (!c) continue;
                    rs.rows.push_back({Value::String(ownerName, XNVarChar), Value::Int(o.id), Value::String(o.name, XNVarChar),
                                       Value::String(c->name, XNVarChar), Value::Int(c->colid),
                                       typeCol ? Value::String(typeCol->name, XNVarChar) : Value::Null(XNVarChar),
                                       typeCol ? Value::Int(typeCol->colid) : Value::Null(XInt), Value::Int(lang & 0xffff, XSmallInt)});
                }
            }
        }
        result_.resultSets.push_back(std::move(rs));
        setReturn(0);
        return;
    }
    if (name == "sp_rename") {
        QString objText = a.Str(0), newName = a.Str(1), kind = a.Str(2).toUpper();
        QStringList parts = SplitObjectNameText(objText);
        if (kind == "INDEX") {
            if (parts.size() < 2) throw ErrGeneric(15248, 11, QStringLiteral("Either the parameter @objname is ambiguous or the claimed @objtype (INDEX) is wrong."));
            QString indexName = parts.takeLast();
            Object* t = db.FindObject(parts.size() > 1 ? parts[parts.size() - 2] : QString(), parts.last());
            IndexInfo* ix = nullptr;
            if (t)
                for (IndexInfo& i : t->indexes)
                    if (i.indid != 0 && i.indid != 255 && i.name.compare(indexName, Qt::CaseInsensitive) == 0) ix = &i;
            if (!ix) throw ErrGeneric(15248, 11, QStringLiteral("Either the parameter @objname is ambiguous or the claimed @objtype (INDEX) is wrong."));
            if (t->FindIndex(newName)) throw ErrGeneric(15335, 11, QStringLiteral("Error: The new name '%1' is already in use as a INDEX name and would cause a duplicate that is not permitted.").arg(newName));
            if (ix->constraintId) {
                // The constraint that the index enforces is renamed with it.
                Object* k = db.FindObject(ix->constraintId);
                if (k) db.RenameObject(*k, k->uid, newName);
            }
            ix->name = newName;
            db.Touch(*t);
            AddMessage(15477, 10, 1, QStringLiteral("Caution: Changing any part of an object name could break scripts and stored procedures."));
            AddMessage(0, 0, 1, QStringLiteral("The index was renamed to '%1'.").arg(newName));
        } else if (kind == "COLUMN") {
            if (parts.size() < 2) throw ErrGeneric(15248, 11, QStringLiteral("Either the parameter @objname is ambiguous or the claimed @objtype (COLUMN) is wrong."));
            QString colName = parts.takeLast();
            Object* t = db.FindObject(parts.size() > 1 ? parts[parts.size() - 2] : QString(), parts.last());
            Column* c = t ? t->FindColumn(colName) : nullptr;
            if (!c) throw ErrGeneric(15248, 11, QStringLiteral("Either the parameter @objname is ambiguous or the claimed @objtype (COLUMN) is wrong."));
            if (t->FindColumn(newName)) throw ErrGeneric(15335, 11, QStringLiteral("Error: The new name '%1' is already in use as a COLUMN name and would cause a duplicate that is not permitted.").arg(newName));
            c->name = newName;
            db.Touch(*t);
            AddMessage(15477, 10, 1, QStringLiteral("Caution: Changing any part of an object name could break scripts and stored procedures."));
            AddMessage(0, 0, 1, QStringLiteral("The column was renamed to '%1'.").arg(newName));
        } else {
            Object* o = nullptr;
            if (parts.size() == 3) {
                // owner.table.name: a constraint or trigger of that table.
                if (const Object* t = db.FindObject(parts[0], parts[1]))
                    for (int kid : db.Children(t->id))
                        if (Object* k = db.FindObject(kid); k && k->name.compare(parts[2], Qt::CaseInsensitive) == 0) o = k;
            } else if (parts.size() < 3) {
                o = db.FindObject(parts.size() > 1 ? parts[0] : QString(), parts.last());
            }
            if (!o) throw ErrGeneric(15248, 11, QStringLiteral("Either the parameter @objname is ambiguous or the claimed @objtype (%1) is wrong.").arg(kind.isEmpty() ? QStringLiteral("OBJECT") : kind));
            if (db.FindObject(QString(), newName)) throw ErrGeneric(15335, 11, QStringLiteral("Error: The new name '%1' is already in use as a object name and would cause a duplicate that is not permitted.").arg(newName));
            if (o->IsType("PK") || o->IsType("UQ"))
                if (Object* t = db.FindObject(o->parent))
                    for (IndexInfo& ix : t->indexes)
                        if (ix.constraintId == o->id) ix.name = newName;
            db.RenameObject(*o, o->uid, newName);
            db.Touch(*o);
            AddMessage(15477, 10, 1, QStringLiteral("Caution: Changing any part of an object name could break scripts and stored procedures."));
            AddMessage(0, 0, 1, QStringLiteral("The object was renamed to '%1'.").arg(newName));
        }
        setReturn(0);
        return;
    }
    if (name == "sp_dbcmptlevel") {
        Database* d = server_.Find(a.Str(0));
        if (!d) throw ErrGeneric(15010, 16, QStringLiteral("The database '%1' does not exist. Use sp_helpdb to show available databases.").arg(a.Str(0)));
        if (!a.Has(1)) {
            AddMessage(15055, 0, 1, QStringLiteral("The current compatibility level is %1.").arg(d->cmptlevel));
        } else {
            long long level = a.values[1].AsInt();
            if (level != 60 && level != 65 && level != 70 && level != 80)
                throw ErrGeneric(15048, 16, QStringLiteral("Valid values of database compatibility level are 60, 65, 70, or 80."));
            d->cmptlevel = static_cast<int>(level);
        }
        setReturn(0);
        return;
    }
    if (name == "sp_addlogin") {
        // The login a client may connect with: name, password, default database.
        const QString login = a.Str(0);
        if (login.isEmpty()) throw ErrGeneric(15007, 16, QStringLiteral("The login '%1' does not exist.").arg(login));
        if (server_.logins.count(login.toLower()))
            throw ErrGeneric(15025, 16, QStringLiteral("The login '%1' already exists.").arg(login));
        const QString defaultDb = a.Has(2) ? a.Str(2) : QStringLiteral("master");
        if (!server_.Find(defaultDb))
            throw ErrGeneric(15010, 16, QStringLiteral("The database '%1' does not exist. Use sp_helpdb to show available databases.").arg(defaultDb));
        server_.logins[login.toLower()] = Login{login, a.Str(1), defaultDb};
        AddMessage(0, 0, 1, QStringLiteral("New login created."));
        setReturn(0);
        return;
    }
    if (name == "sp_droplogin") {
        if (!server_.logins.erase(a.Str(0).toLower()))
            throw ErrGeneric(15007, 16, QStringLiteral("The login '%1' does not exist.").arg(a.Str(0)));
        AddMessage(0, 0, 1, QStringLiteral("Login dropped."));
        setReturn(0);
        return;
    }
    if (name == "sp_bindefault" || name == "sp_unbindefault" || name == "sp_bindrule" || name == "sp_unbindrule") {
        QStringList args;
        for (size_t i = 0; i < a.values.size(); ++i) args << a.Str(i);
        DoBind(db, name, args);
        setReturn(0);
        return;
    }
    if (name == "sp_changeobjectowner") {
        const QString objname = a.Str(0), newOwner = a.Str(1);
        const QStringList parts = SplitObjectNameText(objname);
        Object* o = parts.isEmpty() ? nullptr : db.FindObject(parts.size() > 1 ? parts[parts.size() - 2] : QString(), parts.last());
        if (!o || o->parent != 0 || !(o->IsType("U") || o->IsType("V") || o->IsType("P") || o->IsType("FN") || o->IsType("IF") || o->IsType("TF")))
            throw ErrGeneric(15001, 16, QStringLiteral("Object '%1' does not exist or is not a valid object for this operation.").arg(objname));
        const User* owner = db.FindUser(newOwner);
        if (!owner) throw ErrGeneric(15410, 16, QStringLiteral("User or role '%1' does not exist in this database.").arg(newOwner));
        // The object's constraints and triggers belong to its owner and move with it.
        QList<int> ids = db.Children(o->id);
        ids.prepend(o->id);
        for (int id : ids) {
            const Object* clash = db.FindObject(owner->name, db.FindObject(id)->name);
            if (clash && clash->id != id)
                throw ErrGeneric(15505, 16, QStringLiteral("Cannot change owner of object '%1' or one of its child objects because the new owner '%2' already has an object with the same name.")
                                                .arg(objname, newOwner));
        }
        AddMessage(15477, 10, 1, QStringLiteral("Caution: Changing any part of an object name could break scripts and stored procedures."));
        for (int id : ids) {
            Object& child = *db.FindObject(id);
            db.RenameObject(child, owner->uid, child.name);
            db.Touch(child);
        }
        // The object's permissions do not survive the change of owner.
        db.permissions.erase(std::remove_if(db.permissions.begin(), db.permissions.end(), [&](const Permission& p) { return p.id == o->id; }),
                             db.permissions.end());
        setReturn(0);
        return;
    }
    static const QSet<QString> harmless = {"sp_dboption", "sp_configure", "sp_recompile", "sp_refreshview", "sp_defaultdb", "sp_password", "sp_changedbowner",
                                           "sp_addsrvrolemember", "sp_dropsrvrolemember", "sp_grantlogin", "sp_denylogin",
                                           "sp_revokelogin", "sp_updatestats", "sp_fulltext_service", "sp_addextendedproperty",
                                           "sp_settriggerorder", "sp_tableoption", "sp_autostats",
                                           "sp_helpdb", "sp_who", "sp_lock"};
    if (harmless.contains(name)) {
        setReturn(0);
        return;
    }
    // User procedures run their stored body with the parameters bound.
    Object* proc = db.FindObject(s.object.owner, s.object.name);
    if (!proc || !(proc->IsType("P"))) {
        throw ErrGeneric(2812, 16, QStringLiteral("Could not find stored procedure '%1'.").arg(s.object.name), 62);
    }
    if (++execDepth_ > 32) {
        --execDepth_;
        throw ErrGeneric(217, 16, QStringLiteral("Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32)."));
    }
    QHash<QString, Value> saved = variables_;
    QString savedDb = session_.database;
    variables_.clear();
    LocalCursorScope cursors(*this);
    for (size_t i = 0; i < proc->params.size(); ++i) {
        const ProcParam& p = proc->params[i];
        Value v = Value::Null();
        bool given = false;
        for (int k = 0; k < s.argNames.size(); ++k) {
            if (!s.argNames[k].isEmpty() && s.argNames[k].compare(p.name, Qt::CaseInsensitive) == 0) { v = a.values[k]; given = true; }
        }
        if (!given && i < a.values.size() && (static_cast<int>(i) >= s.argNames.size() || s.argNames[static_cast<int>(i)].isEmpty())) {
            v = a.values[i];
            given = true;
        }
        if (!given) {
            if (!p.defaultValue) {
                variables_ = saved;
                --execDepth_;
                throw ErrGeneric(201, 16, QStringLiteral("Procedure '%1' expects parameter '%2', which was not supplied.").arg(proc->name, p.name), 4);
            }
            Scope none;
            v = Eval(*p.defaultValue, none);
        }
        if (const BuiltinType* t = FindBuiltinType(p.type.name); t && !v.IsNull())
            v = ConvertToType(v, p.type, 0, session_.options.dateFormat);
        variables_[p.name.toLower()] = v;
    }
    session_.database = db.name;
    bool stop = false;
    const int tranCountBefore = session_.tranCount;
    const int savedLoopDepth = loopDepth_;
    loopDepth_ = 0;  // the caller's loops are not the procedure's
    ParseResult pr = ParseBatch(proc->texts.empty() ? QString() : proc->texts[0].second, proc->quotedIdent);
    try {
        if (pr.ok && !pr.statements.empty()) RunStatements(pr.statements[0]->body, stop);
    } catch (const ReturnSignal&) {
    } catch (...) {
        variables_ = saved;
        session_.database = savedDb;
        loopDepth_ = savedLoopDepth;
        --execDepth_;
        throw;
    }
    variables_ = saved;
    session_.database = savedDb;
    loopDepth_ = savedLoopDepth;
    --execDepth_;
    if (session_.tranCount != tranCountBefore)
        AddMessage(266, 16, 2, QStringLiteral("Transaction count after EXECUTE indicates that a COMMIT or ROLLBACK TRANSACTION statement is missing. Previous count = %1, current count = %2.").arg(tranCountBefore).arg(session_.tranCount));
    setReturn(0);
}

}  // namespace sqlsim
