// INSERT, UPDATE and DELETE on user tables with the checks the server makes: NOT NULL, keys,
// CHECK and FOREIGN KEY constraints, identity values and string truncation.
#include "sqlsim/engine.h"
#include "sqlsim/parser.h"
#include "sqlsim/value_ops.h"

#include <functional>
#include <unordered_set>

namespace sqlsim {

namespace {

QString KeyOf(const std::vector<Value>& row, const std::vector<int>& colids, bool& hasNull) {
    QString k;
    hasNull = false;
    for (int colid : colids) {
        const Value& v = row[colid - 1];
        if (v.IsNull()) hasNull = true;
        k += HashKey(v);
        k += QChar(0x1f);
    }
    return k;
}

Object* TargetTable(Executor& ex, const ObjectName& n) {
    Database* db = ex.DatabaseFor(n.database);
    Object* o = db ? db->FindObject(n.owner, n.name) : nullptr;
    if (o && o->IsType("S"))
        throw ErrGeneric(259, 16, QStringLiteral("Ad hoc updates to system catalogs are not enabled. The system administrator must reconfigure SQL Server to allow this."));
    if (!o || !o->IsType("U")) {
        if (o && o->IsType("V")) throw ErrGeneric(4406, 16, QStringLiteral("Update or insert of view or function '%1' failed because it contains a derived or constant field.").arg(n.name));
        throw ErrInvalidObject(n.owner.isEmpty() ? n.name : n.owner + "." + n.name);
    }
    return o;
}

}  // namespace

Value Executor::DefaultValue(Database& db, const Object& table, const Column& col) {
    if (col.cdefault) {
        const Object* d = db.FindObject(col.cdefault);
        if (d && d->expr) {
            Scope empty;
            return Eval(*d->expr, empty);
        }
    }
    (void)table;
    return Value::Null(col.xtype);
}

std::vector<Value> Executor::CoerceRow(Database& db, Object& t, std::vector<Value> row) {
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const Column& c = t.columns[i];
        Value& v = row[i];
        if (v.IsNull()) {
            if (!c.nullable && !c.computed && c.xtype != XTimestamp)
                throw ErrGeneric(515, 16, QStringLiteral("Cannot insert the value NULL into column '%1', table '%2.%3.%4'; column does not allow nulls. %5 fails.")
                                              .arg(c.name, db.name, db.FindUser(t.uid) ? db.FindUser(t.uid)->name : QStringLiteral("dbo"), t.name, QStringLiteral("INSERT")), 2);
            v = Value::Null(c.xtype);
            continue;
        }
        if (IsStringType(c.xtype) && v.GetKind() == Value::Kind::String && c.xtype != XText && c.xtype != XNText) {
            int chars = IsUnicodeType(c.xtype) ? c.length / 2 : c.length;
            QString sv = v.AsString();
            int n = static_cast<int>(sv.size());
            while (n > chars && sv[n - 1] == u' ') --n;  // trailing blanks are trimmed silently
            if (n > chars) throw ErrGeneric(8152, 16, QStringLiteral("String or binary data would be truncated."), 9);
            sv.truncate(n);
            if (c.xtype == XChar || c.xtype == XNChar) sv = sv.leftJustified(chars, u' ');
            v = Value::String(sv, c.xtype);
            continue;
        }
        if ((c.xtype == XVarBinary || c.xtype == XBinary) && v.GetKind() == Value::Kind::Binary && v.AsBinary().size() > c.length)
            throw ErrGeneric(8152, 16, QStringLiteral("String or binary data would be truncated."), 9);
        if (v.GetKind() == Value::Kind::Binary && IsStringType(c.xtype) && c.xtype != XText && c.xtype != XNText)
            throw ErrGeneric(257, 16, QStringLiteral("Implicit conversion from data type varbinary to %1 is not allowed. Use the CONVERT function to run this query.").arg(IsUnicodeType(c.xtype) ? "nvarchar" : "varchar"));
        v = ConvertTo(v, c.xtype, c.length, c.prec, c.scale, 0, session_.options.dateFormat);
    }
    return row;
}

void Executor::ValidateRows(Database& db, Object& t, const std::vector<std::vector<Value>>& newRows,
                            const std::vector<size_t>& replacedRows, const char* verb) {
    const QString verbText = QString::fromLatin1(verb);
    std::unordered_set<size_t> replaced(replacedRows.begin(), replacedRows.end());
    // Unique keys. Plain inserts check against the cached keys of the existing rows.
    const bool insertOnly = replacedRows.empty();
    if (insertOnly && (!t.keyCache || t.keyCache->version != t.rowsVersion)) {
        auto cache = std::make_shared<Object::KeyCache>();
        cache->version = t.rowsVersion;
        for (const IndexInfo& ix : t.indexes) {
            if (!ix.unique || ix.keys.empty()) continue;
            QSet<QString>& keys = cache->keys[ix.indid];
            for (const auto& row : t.rows) {
                bool hasNull = false;
                keys.insert(KeyOf(row, ix.keys, hasNull));
            }
        }
        t.keyCache = cache;
    }
    for (const IndexInfo& ix : t.indexes) {
        if (!ix.unique || ix.keys.empty()) continue;
        QSet<QString> rebuilt;
        const QSet<QString>* existing = nullptr;
        if (insertOnly) {
            existing = &t.keyCache->keys[ix.indid];
        } else {
            for (size_t i = 0; i < t.rows.size(); ++i) {
                if (replaced.count(i)) continue;
                bool hasNull = false;
                rebuilt.insert(KeyOf(t.rows[i], ix.keys, hasNull));
            }
            existing = &rebuilt;
        }
        QSet<QString> added;
        for (const auto& row : newRows) {
            bool hasNull = false;
            QString k = KeyOf(row, ix.keys, hasNull);
            if (existing->contains(k) || added.contains(k)) {
                const Object* kobj = ix.constraintId ? db.FindObject(ix.constraintId) : nullptr;
                if (kobj)
                    throw ErrGeneric(2627, 14, QStringLiteral("Violation of %1 constraint '%2'. Cannot insert duplicate key in object '%3'.")
                                                   .arg(kobj->IsType("PK") ? "PRIMARY KEY" : "UNIQUE KEY", kobj->name, t.name));
                throw ErrGeneric(2601, 14, QStringLiteral("Cannot insert duplicate key row in object '%1' with unique index '%2'.").arg(t.name, ix.name), 3);
            }
            added.insert(k);
        }
    }
    std::vector<RelColumn> cols;
    for (const Column& c : t.columns) cols.push_back(RelColumn{t.name, c.name, c.xtype, c.length, c.nullable});
    Scope sc;
    sc.columns = &cols;
    sc.generation = NewScopeGeneration();
    for (int kid : db.Children(t.id)) {
        const Object& k = *db.FindObject(kid);
        if (k.disabled) continue;
        if (k.IsType("C") && k.expr) {
            for (const auto& row : newRows) {
                sc.row = &row;
                Value v = Eval(*k.expr, sc);
                if (!v.IsNull() && !Truthy(v)) {
                    if (k.checkColumn)
                        throw ErrGeneric(547, 16, QStringLiteral("%1 statement conflicted with COLUMN CHECK constraint '%2'. The conflict occurred in database '%3', table '%4', column '%5'.")
                                                      .arg(verbText, k.name, db.name, t.name, t.columns[k.checkColumn - 1].name));
                    throw ErrGeneric(547, 16, QStringLiteral("%1 statement conflicted with TABLE CHECK constraint '%2'. The conflict occurred in database '%3', table '%4'.").arg(verbText, k.name, db.name, t.name));
                }
            }
        }
        if (k.IsType("F")) {
            const Object* ref = db.FindObject(k.refTable);
            if (!ref) continue;
            QSet<QString> refKeys;
            const bool self = ref->id == t.id;
            for (size_t i = 0; i < ref->rows.size(); ++i) {
                if (self && replaced.count(i)) continue;
                bool hasNull = false;
                refKeys.insert(KeyOf(ref->rows[i], k.rkeys, hasNull));
            }
            if (self)
                for (const auto& row : newRows) {
                    bool hasNull = false;
                    refKeys.insert(KeyOf(row, k.rkeys, hasNull));
                }
            for (const auto& row : newRows) {
                bool hasNull = false;
                QString key = KeyOf(row, k.fkeys, hasNull);
                if (hasNull || refKeys.contains(key)) continue;
                throw ErrGeneric(547, 16, QStringLiteral("%1 statement conflicted with %2 FOREIGN KEY constraint '%3'. The conflict occurred in database '%4', table '%5', column '%6'.")
                                              .arg(verbText, k.fkeys.size() == 1 ? "COLUMN" : "TABLE", k.name, db.name, ref->name, ref->columns[k.rkeys[0] - 1].name));
            }
        }
    }
}

void Executor::DoInsert(const Statement& s) {
    Object* t = TargetTable(*this, s.object);
    Database& db = *DatabaseFor(s.object.database);
    const int tableId = t->id;
    // The target columns.
    std::vector<int> targets;  // column positions
    const Column* identity = nullptr;
    for (const Column& c : t->columns) if (c.identity) identity = &c;
    if (!s.names.isEmpty()) {
        for (const QString& n : s.names) {
            const Column* c = t->FindColumn(n);
            if (!c) throw ErrInvalidColumn(n);
            int pos = static_cast<int>(c - t->columns.data());
            if (std::find(targets.begin(), targets.end(), pos) != targets.end())
                throw ErrGeneric(264, 16, QStringLiteral("Column name '%1' appears more than once in the result column list.").arg(c->name));
            if (c->computed) throw ErrGeneric(271, 16, QStringLiteral("Column '%1' cannot be modified because it is a computed column.").arg(c->name));
            if (c->identity && !t->identityInsert)
                throw ErrGeneric(544, 16, QStringLiteral("Cannot insert explicit value for identity column in table '%1' when IDENTITY_INSERT is set to OFF.").arg(t->name));
            targets.push_back(pos);
        }
        if (t->identityInsert && identity && std::find(targets.begin(), targets.end(), static_cast<int>(identity - t->columns.data())) == targets.end())
            throw ErrGeneric(545, 16, QStringLiteral("Explicit value must be specified for identity column in table '%1' when IDENTITY_INSERT is set to ON.").arg(t->name));
    } else {
        if (t->identityInsert && identity)
            throw ErrGeneric(8101, 16, QStringLiteral("An explicit value for the identity column in table '%1' can only be specified when a column list is used and IDENTITY_INSERT is ON.").arg(t->name));
        for (size_t i = 0; i < t->columns.size(); ++i) {
            const Column& c = t->columns[i];
            if (c.identity || c.computed || c.xtype == XTimestamp) continue;
            targets.push_back(static_cast<int>(i));
        }
    }
    // Source rows.
    std::vector<std::vector<Value>> source;
    if (s.select) {
        Relation r = RunQuery(*s.select, nullptr);
        if (r.columns.size() != targets.size())
            throw ErrGeneric(120, 15, QStringLiteral("The select list for the INSERT statement contains %1 items than the insert list. The number of SELECT values must match the number of INSERT columns.")
                                          .arg(r.columns.size() < targets.size() ? "fewer" : "more"));
        source = std::move(r.rows);
    } else if (s.insertDefaultValues) {
        targets.clear();
        source.emplace_back();
    } else if (!s.body.empty()) {
        throw ErrGeneric(40001, 16, QStringLiteral("INSERT ... EXEC is not supported by the simulator."));
    } else {
        Scope empty;
        for (const auto& exprs : s.rows) {
            if (exprs.size() != targets.size()) {
                if (s.names.isEmpty())
                    throw ErrGeneric(213, 16, QStringLiteral("Insert Error: Column name or number of supplied values does not match table definition."), 4);
                if (exprs.size() > targets.size())
                    throw ErrGeneric(110, 15, QStringLiteral("There are fewer columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement."));
                throw ErrGeneric(109, 15, QStringLiteral("There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement."));
            }
            std::vector<Value> vals;
            for (size_t i = 0; i < exprs.size(); ++i) {
                const Expr& e = *exprs[i];
                if (e.kind == ExprKind::Function && e.name == "DEFAULT") {
                    vals.push_back(DefaultValue(db, *t, t->columns[targets[i]]));
                    continue;
                }
                vals.push_back(Eval(e, empty));
            }
            source.push_back(std::move(vals));
        }
    }
    t = db.FindObject(tableId);
    // Build full rows.
    std::vector<std::vector<Value>> rows;
    long long nextIdentity = t->identityUsed ? t->identityCurrent : 0;
    bool identityUsed = t->identityUsed;
    long long lastIdentity = 0;
    bool producedIdentity = false;
    for (auto& src : source) {
        std::vector<Value> row(t->columns.size());
        std::vector<bool> given(t->columns.size(), false);
        for (size_t i = 0; i < targets.size(); ++i) {
            row[targets[i]] = src[i];
            given[targets[i]] = true;
        }
        for (size_t i = 0; i < t->columns.size(); ++i) {
            const Column& c = t->columns[i];
            if (given[i]) {
                if (c.identity) {
                    long long v = row[i].AsInt();
                    if (!identityUsed || (c.incr > 0 ? v > nextIdentity : v < nextIdentity)) nextIdentity = v;
                    identityUsed = true;
                    lastIdentity = v;
                    producedIdentity = true;
                }
                continue;
            }
            if (c.identity) {
                nextIdentity = identityUsed ? nextIdentity + c.incr : c.seed;
                identityUsed = true;
                row[i] = Value::Int(nextIdentity, c.xtype);
                lastIdentity = nextIdentity;
                producedIdentity = true;
            } else if (c.computed || c.xtype == XTimestamp) {
                row[i] = Value::Null(c.xtype);
            } else {
                row[i] = DefaultValue(db, *t, c);
            }
        }
        rows.push_back(CoerceRow(db, *t, std::move(row)));
    }
    ValidateRows(db, *t, rows, {}, "INSERT");
    // The new keys go into the cache, which stays valid for the new version of the rows.
    const unsigned long long version = NextRowsVersion();
    if (t->keyCache && t->keyCache->version == t->rowsVersion) {
        for (const IndexInfo& ix : t->indexes) {
            if (!ix.unique || ix.keys.empty()) continue;
            QSet<QString>& keys = t->keyCache->keys[ix.indid];
            for (const auto& r : rows) {
                bool hasNull = false;
                keys.insert(KeyOf(r, ix.keys, hasNull));
            }
        }
        t->keyCache->version = version;
    }
    t->rowsVersion = version;
    for (auto& r : rows) t->rows.push_back(std::move(r));
    if (producedIdentity) {
        t->identityUsed = true;
        t->identityCurrent = nextIdentity;
        session_.lastIdentity = lastIdentity;
        session_.lastIdentitySet = true;
    }
    EmitRowsAffected(static_cast<long long>(source.size()));
}

namespace {

// Finds the rows of the target table that a WHERE clause (and optional FROM) selects, with the
// new values of the assigned columns for UPDATE.
std::vector<size_t> MatchingRows(Executor& ex, Object& t, const Statement& s, std::vector<std::vector<Value>>* newValues,
                                 const std::vector<std::pair<int, ExprPtr>>* sets) {
    std::vector<size_t> hits;
    if (!s.from.empty()) {
        // Join through a query whose first column is the target row's position.
        SelectStmt q;
        q.from = s.from;
        // The target is the FROM entry whose alias is the target name, else the first entry of
        // that table without an alias; only that entry carries the row positions (the table may
        // appear more than once, joined with itself).
        const TableRef* byAlias = nullptr;
        const TableRef* byName = nullptr;
        std::function<void(const TableRef&)> visit = [&](const TableRef& r) {
            if (r.kind == TableRef::Kind::Join) { visit(*r.left); visit(*r.right); return; }
            if (r.kind != TableRef::Kind::Named) return;
            if (!byAlias && r.alias.compare(s.object.name, Qt::CaseInsensitive) == 0) byAlias = &r;
            if (!byName && r.alias.isEmpty() && r.name.compare(s.object.name, Qt::CaseInsensitive) == 0) byName = &r;
        };
        for (const TableRefPtr& r : s.from) visit(*r);
        const TableRef* target = byAlias ? byAlias : byName;
        if (!target) {
            auto self = std::make_shared<TableRef>();
            self->name = t.name;
            self->owner = s.object.owner;
            self->database = s.object.database;
            q.from.insert(q.from.begin(), self);
            target = self.get();
        }
        q.where = s.where;
        auto rowid = std::make_shared<Expr>();
        rowid->kind = ExprKind::Column;
        rowid->parts = QStringList{QStringLiteral("\x01rowid")};
        q.items.push_back(SelectItem{rowid, QString(), false});
        if (sets)
            for (const auto& [pos, e] : *sets) q.items.push_back(SelectItem{e, QString(), false});
        ex.hiddenRowRef_ = target;
        Relation r;
        try {
            r = ex.RunQuery(q, nullptr);
        } catch (...) {
            ex.hiddenRowRef_ = nullptr;
            throw;
        }
        ex.hiddenRowRef_ = nullptr;
        std::unordered_set<size_t> seen;
        for (const auto& row : r.rows) {
            size_t pos = static_cast<size_t>(row[0].AsInt());
            if (!seen.insert(pos).second) continue;  // the first matching row wins, as on the server
            hits.push_back(pos);
            if (newValues && sets) {
                std::vector<Value> updated = t.rows[pos];
                size_t k = 1;
                for (const auto& [col, e] : *sets) updated[col] = row[k++];
                newValues->push_back(std::move(updated));
            }
        }
        return hits;
    }
    std::vector<RelColumn> cols;
    for (const Column& c : t.columns) cols.push_back(RelColumn{t.name, c.name, c.xtype, c.length, c.nullable});
    Scope sc;
    sc.columns = &cols;
    sc.generation = NewScopeGeneration();
    for (size_t i = 0; i < t.rows.size(); ++i) {
        sc.row = &t.rows[i];
        if (s.where && !ex.EvalPredicate(*s.where, sc)) continue;
        hits.push_back(i);
        if (newValues && sets) {
            std::vector<Value> row = t.rows[i];
            for (const auto& [pos, e] : *sets) row[pos] = ex.Eval(*e, sc);
            newValues->push_back(std::move(row));
        }
    }
    return hits;
}

// The table an UPDATE or DELETE changes: its name, or an alias defined in its FROM clause.
ObjectName ResolveTargetName(const Statement& s) {
    ObjectName n = s.object;
    if (!n.owner.isEmpty() || s.from.empty()) return n;
    std::function<bool(const TableRef&)> visit = [&](const TableRef& r) -> bool {
        if (r.kind == TableRef::Kind::Join) return visit(*r.left) || visit(*r.right);
        if (r.kind == TableRef::Kind::Named && r.alias.compare(s.object.name, Qt::CaseInsensitive) == 0) {
            n.name = r.name;
            n.owner = r.owner;
            n.database = r.database;
            return true;
        }
        return false;
    };
    for (const TableRefPtr& r : s.from)
        if (visit(*r)) break;
    return n;
}

}  // namespace

void Executor::DoUpdate(const Statement& s) {
    const ObjectName target = ResolveTargetName(s);
    Object* t = TargetTable(*this, target);
    Database& db = *DatabaseFor(target.database);
    std::vector<std::pair<int, ExprPtr>> sets;
    for (const auto& [name, e] : s.assignments) {
        if (name.startsWith(u'@')) throw ErrGeneric(40003, 16, QStringLiteral("Variable assignment in UPDATE is not supported by the simulator."));
        const Column* c = t->FindColumn(name);
        if (!c) throw ErrInvalidColumn(name);
        if (c->identity) throw ErrGeneric(8102, 16, QStringLiteral("Cannot update identity column '%1'.").arg(c->name));
        if (c->computed) throw ErrGeneric(271, 16, QStringLiteral("Column '%1' cannot be modified because it is a computed column.").arg(c->name));
        sets.emplace_back(static_cast<int>(c - t->columns.data()), e);
    }
    std::vector<std::vector<Value>> newRows;
    std::vector<size_t> hits = MatchingRows(*this, *t, s, &newRows, &sets);
    for (auto& r : newRows) r = CoerceRow(db, *t, std::move(r));
    ValidateRows(db, *t, newRows, hits, "UPDATE");
    // Rows of other tables that reference changed keys.
    for (const Object* fk : db.ForeignKeysTo(t->id)) {
        const Object& k = *fk;
        if (k.disabled) continue;
        const Object* child = db.FindObject(k.parent);
        if (!child) continue;
        for (size_t h = 0; h < hits.size(); ++h) {
            bool hasNull = false;
            QString oldKey = KeyOf(t->rows[hits[h]], k.rkeys, hasNull);
            QString newKey = KeyOf(newRows[h], k.rkeys, hasNull);
            if (oldKey == newKey) continue;
            for (const auto& crow : child->rows) {
                bool cn = false;
                if (KeyOf(crow, k.fkeys, cn) == oldKey && !cn)
                    throw ErrGeneric(547, 16, QStringLiteral("UPDATE statement conflicted with COLUMN REFERENCE constraint '%1'. The conflict occurred in database '%2', table '%3', column '%4'.")
                                                  .arg(k.name, db.name, child->name, child->columns[k.fkeys[0] - 1].name));
            }
        }
    }
    for (size_t h = 0; h < hits.size(); ++h) t->rows[hits[h]] = std::move(newRows[h]);
    t->rowsVersion = NextRowsVersion();
    EmitRowsAffected(static_cast<long long>(hits.size()));
}

void Executor::DoDelete(const Statement& s) {
    const ObjectName target = ResolveTargetName(s);
    Object* t = TargetTable(*this, target);
    Database& db = *DatabaseFor(target.database);
    std::vector<size_t> hits = MatchingRows(*this, *t, s, nullptr, nullptr);
    std::unordered_set<size_t> gone(hits.begin(), hits.end());
    for (const Object* fk : db.ForeignKeysTo(t->id)) {
        const Object& k = *fk;
        if (k.disabled) continue;
        const Object* child = db.FindObject(k.parent);
        if (!child) continue;
        QSet<QString> removed;
        for (size_t h : hits) {
            bool hasNull = false;
            removed.insert(KeyOf(t->rows[h], k.rkeys, hasNull));
        }
        for (size_t ci = 0; ci < child->rows.size(); ++ci) {
            if (child->id == t->id && gone.count(ci)) continue;
            bool cn = false;
            QString key = KeyOf(child->rows[ci], k.fkeys, cn);
            if (!cn && removed.contains(key))
                throw ErrGeneric(547, 16, QStringLiteral("DELETE statement conflicted with COLUMN REFERENCE constraint '%1'. The conflict occurred in database '%2', table '%3', column '%4'.")
                                              .arg(k.name, db.name, child->name, child->columns[k.fkeys[0] - 1].name));
        }
    }
    std::vector<std::vector<Value>> kept;
    kept.reserve(t->rows.size() - hits.size());
    for (size_t i = 0; i < t->rows.size(); ++i)
        if (!gone.count(i)) kept.push_back(std::move(t->rows[i]));
    t->rows = std::move(kept);
    t->rowsVersion = NextRowsVersion();
    EmitRowsAffected(static_cast<long long>(hits.size()));
}

}  // namespace sqlsim
