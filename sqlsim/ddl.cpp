// CREATE / ALTER / DROP of tables, indexes, constraints and code objects, and GRANT/DENY/REVOKE.
#include "sqlsim/engine.h"
#include "sqlsim/lexer.h"
#include "sqlsim/parser.h"
#include "sqlsim/value_ops.h"

#include <QRegularExpression>

#include <algorithm>

namespace sqlsim {

namespace {

// The server's collation, shared by every column that takes it (a literal: no copy per column).
QString ServerCollation() { return QStringLiteral("SQL_Latin1_General_CP1_CI_AS"); }

int DecimalLength(int prec) { return prec <= 9 ? 5 : prec <= 19 ? 9 : prec <= 28 ? 13 : 17; }

// Columns created without COLLATE take the database's collation.
QString DefaultCollation(const Database& db) { return db.collation.isEmpty() ? ServerCollation() : db.collation; }

QString Hex8(int id) { return QString::number(static_cast<unsigned>(id), 16).toUpper().rightJustified(8, u'0'); }
// The middle of a generated constraint name as SQL Server 2000 forms it, within 30 characters:
// up to 16 characters of the table; with a column, up to 9 of the table, "__" and as much of the
// column as keeps both parts within 14 (DF__dtpropert__versi__..., FK__roysched__title___...).
QString GeneratedNamePart(const QString& table, const QString& column = QString()) {
    if (column.isEmpty()) return table.left(16);
    const QString tablePart = table.left(9);
    return tablePart + QStringLiteral("__") + column.left(14 - tablePart.size());
}

QString OwnerName(const Database& db, int uid) {
    const User* u = db.FindUser(uid);
    return u ? u->name : QStringLiteral("dbo");
}

int ResolveOwner(const Database& db, const QString& owner) {
    if (owner.isEmpty()) return 1;
    const User* u = db.FindUser(owner);
    if (!u) throw ErrGeneric(2760, 16, QStringLiteral("Specified owner name '%1' either does not exist or you do not have permission to use it.").arg(owner));
    return u->uid;
}

// The first schema-bound object that reads the object, or null.
const Object* SchemaBoundReferrer(const Database& db, int id) {
    for (int oid : db.Referrers(id))
        if (const Object* o = db.FindObject(oid);
            o && o->schemaBound && oid != id && std::find(o->boundTo.begin(), o->boundTo.end(), id) != o->boundTo.end())
            return o;
    return nullptr;
}

// The schema-bound objects whose definition names the column of the table.
QStringList SchemaBoundColumnUsers(const Database& db, const Object& table, const QString& column) {
    QStringList out;
    const QRegularExpression word(QStringLiteral("(?<![\\w@#$])\\[?%1\\]?(?![\\w@#$])").arg(QRegularExpression::escape(column)),
                                  QRegularExpression::CaseInsensitiveOption);
    for (int oid : db.Referrers(table.id)) {
        const Object* o = db.FindObject(oid);
        if (o && o->schemaBound && std::find(o->boundTo.begin(), o->boundTo.end(), table.id) != o->boundTo.end())
            for (const auto& t : o->texts)
                if (t.second.contains(word)) { out << o->name; break; }
    }
    return out;
}

}  // namespace

Column ColumnFromType(const Database& db, const TypeSpec& t, bool* builtIn) {
    Column c;
    const BuiltinType* b = FindBuiltinType(t.name);
    if (builtIn) *builtIn = b != nullptr;
    if (b) {
        c.xtype = b->xtype;
        c.xusertype = b->xtype;
        c.prec = b->prec;
        c.scale = b->scale;
        c.length = b->length;
        if (b->xtype == XDecimal || b->xtype == XNumeric) {
            c.prec = t.precision > 0 ? t.precision : 18;
            c.scale = t.scale >= 0 ? t.scale : 0;
            if (c.prec > 38 || c.scale > c.prec)
                throw ErrGeneric(2750, 16, QStringLiteral("Column or parameter #1: Specified column precision %1 is greater than the maximum precision of 38.").arg(c.prec));
            c.length = DecimalLength(c.prec);
        } else if (b->variable) {
            int n = t.length > 0 ? t.length : 1;
            if (n > (IsUnicodeType(b->xtype) ? 4000 : 8000))
                throw ErrGeneric(131, 15, QStringLiteral("The size (%1) given to the type '%2' exceeds the maximum allowed for any data type (8000).").arg(n).arg(QString::fromLatin1(b->name)));
            c.length = IsUnicodeType(b->xtype) ? n * 2 : n;
            c.prec = 0;
        } else if (b->xtype == XFloat && t.precision > 0) {
            if (t.precision <= 24) { c.xtype = c.xusertype = XReal; c.length = 4; c.prec = 24; }
        }
        if (IsStringType(c.xtype)) c.collation = DefaultCollation(db);
        return c;
    }
    if (t.name.compare(QLatin1String("sysname"), Qt::CaseInsensitive) == 0) {
        c.xtype = XNVarChar;
        c.xusertype = 256;
        c.length = 256;
        c.prec = 0;
        c.nullable = false;
        c.collation = ServerCollation();
        return c;
    }
    if (const UserType* u = db.FindUserType(t.name)) {
        c.xtype = u->xtype;
        c.xusertype = u->xusertype;
        c.length = u->length;
        c.prec = u->prec;
        c.scale = u->scale;
        c.nullable = u->allowNulls;
        if (IsStringType(c.xtype)) c.collation = DefaultCollation(db);
        return c;
    }
    throw ErrGeneric(2715, 16, QStringLiteral("Column or parameter #1: Cannot find data type %1.").arg(t.name));
}

// ---------------------------------------------------------------- tables
void Executor::DoCreateTable(const Statement& s) {
    Database* dbp = DatabaseFor(s.object.database);
    if (!dbp) throw ErrGeneric(911, 16, QStringLiteral("Could not locate entry in sysdatabases for database '%1'. No entry found with that name. Make sure that the name is entered correctly.").arg(s.object.database));
    Database& db = *dbp;
    int uid = ResolveOwner(db, s.object.owner);
    if (s.object.name.size() > 128)
        throw ErrGeneric(103, 15, QStringLiteral("The identifier that starts with '%1' is too long. Maximum length is 128.").arg(s.object.name.left(128)));
    // Temporary tables (#name) are kept in the current database rather than in tempdb.
    if (db.FindObject(OwnerName(db, uid), s.object.name)) throw ErrAlreadyExists(s.object.name);
    if (s.columns.empty()) throw ErrSyntaxNear(QStringLiteral(")"));
    auto groupId = [&](const QString& name) {
        if (name.isEmpty() || name.compare(QLatin1String("DEFAULT"), Qt::CaseInsensitive) == 0) {
            for (const FileGroup& g : db.fileGroups) if (g.isDefault) return g.groupid;
            return 1;
        }
        for (const FileGroup& g : db.fileGroups)
            if (g.name.compare(name, Qt::CaseInsensitive) == 0) return g.groupid;
        throw ErrGeneric(1921, 16, QStringLiteral("Invalid filegroup '%1' specified.").arg(name));
    };
    Object t;
    t.name = s.object.name;
    t.uid = uid;
    t.type = QStringLiteral("U");
    t.ansiNulls = session_.options.ansiNulls;
    t.quotedIdent = session_.options.quotedIdentifier;
    int colid = 0;
    bool hasText = false;
    t.columns.reserve(s.columns.size());
    for (const ColumnDef& cd : s.columns) {
        if (t.FindColumn(cd.name))
            throw ErrGeneric(2705, 16, QStringLiteral("Column names in each table must be unique. Column name '%1' in table '%2' is specified more than once.").arg(cd.name, t.name));
        Column c;
        if (cd.computed) {
            c.computed = true;
            c.xtype = XInt;
            c.xusertype = XInt;
            c.nullable = true;
        } else {
            bool builtIn = false;
            c = ColumnFromType(db, cd.type, &builtIn);
            bool typeNullable = c.nullable;
            const bool userType = !builtIn;
            if (cd.nullable >= 0) c.nullable = cd.nullable == 1;
            else if (userType) c.nullable = typeNullable;
            else c.nullable = session_.options.ansiNullDefault;
            if (c.xtype == XTimestamp) c.nullable = cd.nullable == 1;
        }
        if (!cd.collation.isEmpty()) c.collation = cd.collation;
        c.name = cd.name;
        c.colid = ++colid;
        if (cd.identity) {
            if (!(IsIntegerType(c.xtype) && c.xtype != XBit) && !((c.xtype == XDecimal || c.xtype == XNumeric) && c.scale == 0))
                throw ErrGeneric(2749, 16, QStringLiteral("Identity column '%1' must be of data type int, bigint, smallint, tinyint, or decimal or numeric with a scale of 0, and constrained to be nonnullable.").arg(cd.name));
            for (const Column& other : t.columns)
                if (other.identity)
                    throw ErrGeneric(2744, 16, QStringLiteral("Multiple identity columns specified for table '%1'. Only one identity column per table is allowed.").arg(t.name));
            if (cd.nullable == 1)
                throw ErrGeneric(8147, 16, QStringLiteral("Could not create IDENTITY attribute on nullable column '%1', table '%2'.").arg(cd.name, t.name));
            c.identity = true;
            c.seed = cd.seed;
            c.incr = cd.incr;
            c.nullable = false;
        }
        c.identityNotForRepl = cd.identityNotForRepl;
        c.rowGuid = cd.rowGuidCol;
        for (const ConstraintDef& k : cd.constraints)
            if (k.kind == ConstraintDef::Kind::PrimaryKey && cd.nullable != 1) c.nullable = false;
        if (c.xtype == XText || c.xtype == XNText || c.xtype == XImage) hasText = true;
        if (cd.computed) c.formula = NormalizeConstraintText(cd.computedText, t, true);
        t.columns.push_back(std::move(c));
    }
    for (const ConstraintDef& k : s.constraints) {
        if (k.kind != ConstraintDef::Kind::PrimaryKey) continue;
        for (const QString& cn : k.columns) {
            Column* c = t.FindColumn(cn);
            if (!c) continue;
            bool explicitNull = false;
            for (const ColumnDef& cd : s.columns)
                if (cd.name.compare(cn, Qt::CaseInsensitive) == 0 && cd.nullable == 1) explicitNull = true;
            if (!explicitNull) c->nullable = false;
        }
    }
    // Computed columns take the type of their expression.
    if (std::any_of(t.columns.begin(), t.columns.end(), [](const Column& c) { return c.computed; })) {
        std::vector<RelColumn> cols;
        for (const Column& c : t.columns) cols.push_back(RelColumn{t.name, c.name, c.xtype, c.length, c.nullable});
        for (size_t i = 0; i < t.columns.size(); ++i) {
            Column& c = t.columns[i];
            if (!c.computed) continue;
            for (const ColumnDef& cd : s.columns) {
                if (cd.name.compare(c.name, Qt::CaseInsensitive) != 0 || !cd.computed) continue;
                c.computedExpr = cd.computed;
                auto [xtype, length] = StaticExpressionType(*cd.computed, cols);
                const BuiltinType* b = FindBuiltinType(xtype);
                c.xtype = c.xusertype = xtype;
                c.length = length;
                c.prec = b && !IsStringType(xtype) && !IsBinaryType(xtype) ? b->prec : 0;
                c.scale = b ? b->scale : 0;
                if (IsStringType(xtype)) c.collation = ServerCollation();
            }
        }
    }
    // Computed column texts go to syscomments under the column id.
    for (const Column& c : t.columns)
        if (c.computed) t.texts.emplace_back(c.colid, c.formula);
    IndexInfo heap;
    heap.indid = 0;
    heap.name = t.name;
    heap.groupid = groupId(s.fileGroup);
    t.indexes.push_back(heap);
    if (hasText) {
        IndexInfo text;
        text.indid = 255;
        text.name = QStringLiteral("t") + t.name;
        text.groupid = s.textFileGroup.isEmpty() ? heap.groupid : groupId(s.textFileGroup);
        t.indexes.push_back(text);
    } else if (!s.textFileGroup.isEmpty()) {
        throw ErrGeneric(1709, 16, QStringLiteral("Cannot use TEXTIMAGE_ON when a table has no text, ntext, or image columns."));
    }
    // Validate the computed expressions against the columns.
    Object& table = db.AddObject(std::move(t));
    const int tableId = table.id;
    try {
        for (const ColumnDef& cd : s.columns) {
            for (const ConstraintDef& k : cd.constraints) AddConstraint(db, *db.FindObject(tableId), k, false, false);
        }
        for (const ConstraintDef& k : s.constraints) AddConstraint(db, *db.FindObject(tableId), k, false, false);
    } catch (const SqlError& e) {
        // The table is not created when one of its constraints fails.
        std::vector<int> children;
        for (int id : db.Children(tableId)) children.push_back(id);
        for (int id : children) db.RemoveObject(id);
        db.RemoveObject(tableId);
        if (e.number == 2714 || e.number == 1767 || e.number == 1776 || e.number == 1778 || e.number == 1911 || e.number == 8111 || e.number == 1902) {
            AddMessage(e.number, e.severity, e.state, e.text);
            throw ErrGeneric(1750, 16, QStringLiteral("Could not create constraint. See previous errors."), 0);
        }
        throw;
    }
}

void Executor::AddConstraint(Database& db, Object& tableIn, const ConstraintDef& c, bool fromAlter, bool withNoCheck) {
    const int tableId = tableIn.id;
    auto table = [&]() -> Object& { return *db.FindObject(tableId); };
    Object k;
    k.id = db.NewObjectId();
    k.uid = table().uid;
    k.parent = tableId;
    const QString tname = table().name;
    auto colOf = [&](const QString& name) -> const Column& {
        const Column* col = table().FindColumn(name);
        if (!col) throw ErrGeneric(1911, 16, QStringLiteral("Column name '%1' does not exist in the target table.").arg(name));
        return *col;
    };
    QString firstCol = c.columns.isEmpty() ? c.forColumn : c.columns.first();
    switch (c.kind) {
    case ConstraintDef::Kind::PrimaryKey:
    case ConstraintDef::Kind::Unique: {
        const bool pk = c.kind == ConstraintDef::Kind::PrimaryKey;
        k.type = pk ? QStringLiteral("PK") : QStringLiteral("UQ");
        k.name = c.name.isEmpty() ? (pk ? QStringLiteral("PK__") : QStringLiteral("UQ__")) + GeneratedNamePart(tname) + "__" + Hex8(k.id) : c.name;
        if (db.FindObject(OwnerName(db, k.uid), k.name)) throw ErrAlreadyExists(k.name);
        IndexInfo ix;
        bool hasClustered = false;
        for (const IndexInfo& i : table().indexes) {
            if (i.clustered) hasClustered = true;
            if (pk && i.constraintId) {
                const Object* other = db.FindObject(i.constraintId);
                if (other && other->IsType("PK"))
                    throw ErrGeneric(1779, 16, QStringLiteral("Table '%1' already has a primary key defined on it.").arg(tname));
            }
            if (i.name.compare(k.name, Qt::CaseInsensitive) == 0 && i.indid != 0)
                throw ErrGeneric(1913, 16, QStringLiteral("There is already an index on table '%1' named '%2'.").arg(tname, k.name));
        }
        ix.clustered = c.clusteredGiven ? c.clustered : (pk && !hasClustered);
        if (ix.clustered && hasClustered)
            throw ErrGeneric(1902, 16, QStringLiteral("Cannot create more than one clustered index on table '%1'. Drop the existing clustered index '%2' before creating another.").arg(tname, [&] {
                for (const IndexInfo& i : table().indexes) if (i.clustered) return i.name;
                return QString();
            }()));
        for (const QString& cn : c.columns) {
            const Column& col = colOf(cn);
            if (pk && col.nullable)
                throw ErrGeneric(8111, 16, QStringLiteral("Cannot define PRIMARY KEY constraint on nullable column in table '%1'.").arg(tname));
            ix.keys.push_back(col.colid);
        }
        ix.descending = c.descending;
        ix.descending.resize(ix.keys.size());
        ix.name = k.name;
        ix.unique = true;
        ix.fillFactor = c.fillFactor;
        ix.constraintId = k.id;
        ix.groupid = 1;
        for (const IndexInfo& i : table().indexes) if (i.indid == 0) ix.groupid = i.groupid;
        if (!c.fileGroup.isEmpty()) {
            bool found = false;
            for (const FileGroup& g : db.fileGroups)
                if (g.name.compare(c.fileGroup, Qt::CaseInsensitive) == 0) { ix.groupid = g.groupid; found = true; }
            if (!found) throw ErrGeneric(1921, 16, QStringLiteral("Invalid filegroup '%1' specified.").arg(c.fileGroup));
        }
        // Existing rows must be unique on the key.
        QSet<QString> seen;
        for (const auto& row : table().rows) {
            QString key;
            for (int colid : ix.keys) key += HashKey(row[colid - 1]) + QChar(0x1f);
            if (seen.contains(key))
                throw ErrGeneric(1505, 16, QStringLiteral("CREATE UNIQUE INDEX terminated because a duplicate key was found for index ID %1. Most significant primary key is '%2'.")
                                               .arg(ix.clustered ? 1 : 2).arg(row[ix.keys[0] - 1].AsString()));
            seen.insert(key);
        }
        if (ix.clustered) {
            ix.indid = 1;
        } else {
            int indid = 2;
            for (const IndexInfo& i : table().indexes) if (i.indid >= indid && i.indid < 255) indid = i.indid + 1;
            ix.indid = indid;
        }
        db.AddObject(std::move(k));
        table().indexes.push_back(std::move(ix));
        break;
    }
    case ConstraintDef::Kind::ForeignKey: {
        k.type = QStringLiteral("F");
        k.name = c.name.isEmpty() ? QStringLiteral("FK__") + GeneratedNamePart(tname, firstCol) + "__" + Hex8(k.id) : c.name;
        if (db.FindObject(OwnerName(db, k.uid), k.name)) throw ErrAlreadyExists(k.name);
        const Object* ref = db.FindObject(c.refTable.owner, c.refTable.name);
        if (!ref || !ref->IsType("U"))
            throw ErrGeneric(1767, 16, QStringLiteral("Foreign key '%1' references invalid table '%2'.").arg(k.name, c.refTable.name));
        QStringList refCols = c.refColumns;
        if (refCols.isEmpty()) {
            for (const IndexInfo& i : ref->indexes) {
                const Object* ko = i.constraintId ? db.FindObject(i.constraintId) : nullptr;
                if (ko && ko->IsType("PK"))
                    for (int colid : i.keys) for (const Column& rc : ref->columns) if (rc.colid == colid) refCols << rc.name;
            }
        }
        if (refCols.size() != c.columns.size())
            throw ErrGeneric(8139, 16, QStringLiteral("Number of referencing columns in foreign key differs from number of referenced columns, table '%1'.").arg(tname));
        for (const QString& cn : c.columns) k.fkeys.push_back(colOf(cn).colid);
        for (const QString& rn : refCols) {
            const Column* rc = ref->FindColumn(rn);
            if (!rc) throw ErrGeneric(1770, 16, QStringLiteral("Foreign key '%1' references invalid column '%2' in referenced table '%3'.").arg(k.name, rn, ref->name));
            const Column& fc = colOf(c.columns[static_cast<int>(k.rkeys.size())]);
            if (fc.xtype != rc->xtype)
                throw ErrGeneric(1778, 16, QStringLiteral("Column '%1.%2' is not the same data type as referencing column '%3.%4' in foreign key '%5'.").arg(ref->name, rc->name, tname, fc.name, k.name));
            k.rkeys.push_back(rc->colid);
        }
        bool matchesKey = false;
        for (const IndexInfo& i : ref->indexes) {
            if (!i.unique || i.keys.size() != k.rkeys.size()) continue;
            bool all = true;
            for (int colid : k.rkeys) all = all && std::find(i.keys.begin(), i.keys.end(), colid) != i.keys.end();
            matchesKey = matchesKey || all;
        }
        if (!matchesKey)
            throw ErrGeneric(1776, 16, QStringLiteral("There are no primary or candidate keys in the referenced table '%1' that match the referencing column list in the foreign key '%2'.").arg(ref->name, k.name));
        k.refTable = ref->id;
        k.cascadeDelete = c.cascadeDelete;
        k.cascadeUpdate = c.cascadeUpdate;
        k.notForRepl = c.notForReplication;
        if (fromAlter && !withNoCheck) {
            // Existing rows must find their key in the referenced table.
            auto keyOf = [](const std::vector<Value>& row, const std::vector<int>& colids, bool& anyNull) {
                QString key;
                anyNull = false;
                for (int colid : colids) {
                    anyNull = anyNull || row[colid - 1].IsNull();
                    key += HashKey(row[colid - 1]) + QChar(0x1f);
                }
                return key;
            };
            QSet<QString> refKeys;
            bool anyNull = false;
            for (const auto& rrow : ref->rows) refKeys.insert(keyOf(rrow, k.rkeys, anyNull));
            for (const auto& row : table().rows) {
                QString key = keyOf(row, k.fkeys, anyNull);
                if (anyNull || refKeys.contains(key)) continue;
                throw ErrGeneric(547, 16, QStringLiteral("ALTER TABLE statement conflicted with TABLE FOREIGN KEY constraint '%1'. The conflict occurred in database '%2', table '%3', column '%4'.")
                                              .arg(k.name, db.name, ref->name, ref->columns[k.rkeys[0] - 1].name));
            }
        }
        db.AddObject(std::move(k));
        break;
    }
    case ConstraintDef::Kind::Check: {
        k.type = QStringLiteral("C");
        const bool columnLevel = !c.forColumn.isEmpty() && !fromAlter;
        k.name = c.name.isEmpty() ? QStringLiteral("CK__") + (columnLevel ? GeneratedNamePart(tname, c.forColumn) : GeneratedNamePart(tname)) + "__" + Hex8(k.id) : c.name;
        if (db.FindObject(OwnerName(db, k.uid), k.name)) throw ErrAlreadyExists(k.name);
        if (columnLevel) k.checkColumn = colOf(c.forColumn).colid;
        k.notForRepl = c.notForReplication;
        k.expr = c.expr;
        k.texts.emplace_back(0, NormalizeConstraintText(c.exprText, table(), false));
        // The expression must only name columns of the table.
        {
            std::vector<Value> nullRow(table().columns.size());
            std::vector<RelColumn> cols;
            for (const Column& col : table().columns) cols.push_back(RelColumn{tname, col.name, col.xtype, col.length, col.nullable});
            Scope sc;
            sc.columns = &cols;
            sc.row = &nullRow;
            sc.generation = NewScopeGeneration();
            try {
                Eval(*c.expr, sc);
            } catch (const SqlError& e) {
                if (e.number == 207) throw ErrGeneric(207, 16, e.text, 1);
                if (e.number == 137 || e.number == 195) throw;
            }
            if (fromAlter && !withNoCheck) {
                for (const auto& row : table().rows) {
                    sc.row = &row;
                    Value v = Eval(*c.expr, sc);
                    if (!v.IsNull() && !Truthy(v))
                        throw ErrGeneric(547, 16, QStringLiteral("ALTER TABLE statement conflicted with TABLE CHECK constraint '%1'. The conflict occurred in database '%2', table '%3'.").arg(k.name, db.name, tname));
                }
            }
        }
        db.AddObject(std::move(k));
        break;
    }
    case ConstraintDef::Kind::Default: {
        k.type = QStringLiteral("D");
        const QString colName = c.forColumn;
        k.name = c.name.isEmpty() ? QStringLiteral("DF__") + GeneratedNamePart(tname, colName) + "__" + Hex8(k.id) : c.name;
        if (db.FindObject(OwnerName(db, k.uid), k.name)) throw ErrAlreadyExists(k.name);
        const Column& col = colOf(colName);
        if (col.cdefault) throw ErrGeneric(1781, 16, QStringLiteral("Column already has a DEFAULT bound to it."));
        if (col.identity)
            throw ErrGeneric(1754, 16, QStringLiteral("Defaults cannot be created on columns with an IDENTITY attribute. Table '%1', column '%2'.").arg(tname, colName));
        k.expr = c.expr;
        k.checkColumn = col.colid;
        k.texts.emplace_back(0, NormalizeConstraintText(c.exprText, table(), true));
        int id = k.id;
        db.AddObject(std::move(k));
        table().FindColumn(colName)->cdefault = id;
        break;
    }
    }
    db.Touch(table());
}

void Executor::DoCreateIndex(const Statement& s) {
    Database* dbp = DatabaseFor(s.object.database);
    if (!dbp) throw ErrInvalidObject(s.object.name);
    Database& db = *dbp;
    Object* t = db.FindObject(s.object.owner, s.object.name);
    if (!t || !t->IsType("U"))
        throw ErrGeneric(1088, 16, QStringLiteral("Cannot find the object '%1' because it does not exist or you do not have permission.").arg(s.object.name));
    for (const IndexInfo& i : t->indexes)
        if (i.indid != 0 && i.indid != 255 && i.name.compare(s.text, Qt::CaseInsensitive) == 0)
            throw ErrGeneric(1913, 16, QStringLiteral("There is already an index on table '%1' named '%2'.").arg(t->name, s.text));
    IndexInfo ix;
    ix.name = s.text;
    ix.unique = s.flag;
    ix.clustered = s.clustered;
    ix.fillFactor = s.fillFactor;
    ix.status = s.indexStatus;
    ix.padIndex = s.padIndex;
    // CREATE STATISTICS: a sysindexes row of its own (status 64) that INDEXPROPERTY reports
    // as statistics, numbered among the nonclustered indexes.
    ix.statistics = s.kind == StmtKind::CreateStatistics;
    if (ix.statistics) ix.status |= 64;
    for (const QString& cn : s.names) {
        const Column* c = t->FindColumn(cn);
        if (!c) throw ErrGeneric(1911, 16, QStringLiteral("Column name '%1' does not exist in the target table.").arg(cn));
        ix.keys.push_back(c->colid);
    }
    ix.descending = s.descending;
    ix.groupid = 1;
    for (const IndexInfo& i : t->indexes) if (i.indid == 0) ix.groupid = i.groupid;
    if (!s.fileGroup.isEmpty()) {
        bool found = false;
        for (const FileGroup& g : db.fileGroups)
            if (g.name.compare(s.fileGroup, Qt::CaseInsensitive) == 0) { ix.groupid = g.groupid; found = true; }
        if (!found) throw ErrGeneric(1921, 16, QStringLiteral("Invalid filegroup '%1' specified.").arg(s.fileGroup));
    }
    if (ix.clustered) {
        for (const IndexInfo& i : t->indexes)
            if (i.clustered)
                throw ErrGeneric(1902, 16, QStringLiteral("Cannot create more than one clustered index on table '%1'. Drop the existing clustered index '%2' before creating another.").arg(t->name, i.name));
    }
    if (ix.unique) {
        QSet<QString> seen;
        for (const auto& row : t->rows) {
            QString key;
            for (int colid : ix.keys) key += HashKey(row[colid - 1]) + QChar(0x1f);
            if (seen.contains(key))
                throw ErrGeneric(1505, 16, QStringLiteral("CREATE UNIQUE INDEX terminated because a duplicate key was found for index ID %1. Most significant primary key is '%2'.").arg(ix.clustered ? 1 : 2).arg(row[ix.keys[0] - 1].AsString()));
            seen.insert(key);
        }
    }
    if (ix.clustered) {
        ix.indid = 1;
    } else {
        int indid = 2;
        for (const IndexInfo& i : t->indexes) if (i.indid >= indid && i.indid < 255) indid = i.indid + 1;
        if (indid > 250) throw ErrGeneric(1910, 16, QStringLiteral("Cannot create more than 249 nonclustered indices or column statistics on one table."));
        ix.indid = indid;
    }
    t->indexes.push_back(ix);
    db.Touch(*t);
}

// ---------------------------------------------------------------- code objects
namespace {

void CollectTableNames(const SelectStmt& q, QStringList& out);
void CollectFromRef(const TableRef& r, QStringList& out) {
    if (r.kind == TableRef::Kind::Join) {
        CollectFromRef(*r.left, out);
        CollectFromRef(*r.right, out);
    } else if (r.kind == TableRef::Kind::Derived) {
        CollectTableNames(*r.derived, out);
    } else {
        out << (r.owner.isEmpty() ? r.name : r.owner + "." + r.name);
    }
}
void CollectExprTables(const ExprPtr& e, QStringList& out) {
    if (!e) return;
    if (e->subquery) CollectTableNames(*e->subquery, out);
    for (const ExprPtr& a : e->args) CollectExprTables(a, out);
    CollectExprTables(e->operand, out);
    CollectExprTables(e->elseExpr, out);
}
void CollectTableNames(const SelectStmt& q, QStringList& out) {
    for (const TableRefPtr& r : q.from) CollectFromRef(*r, out);
    for (const SelectItem& i : q.items) CollectExprTables(i.expr, out);
    CollectExprTables(q.where, out);
    if (q.unionNext) CollectTableNames(*q.unionNext, out);
}

void CollectExecs(const std::vector<StmtPtr>& body, QStringList& procs, QStringList& tables) {
    for (const StmtPtr& s : body) {
        if (s->kind == StmtKind::Exec) procs << (s->object.owner.isEmpty() ? s->object.name : s->object.owner + "." + s->object.name);
        if (s->select) CollectTableNames(*s->select, tables);
        for (const ExprPtr& e : s->args) CollectExprTables(e, tables);
        CollectExprTables(s->where, tables);
        for (const auto& a : s->assignments) CollectExprTables(a.second, tables);
        for (const auto& p : s->params) CollectExprTables(p.defaultValue, tables);
        if (s->kind == StmtKind::Insert || s->kind == StmtKind::Update || s->kind == StmtKind::Delete)
            tables << (s->object.owner.isEmpty() ? s->object.name : s->object.owner + "." + s->object.name);
        CollectExecs(s->body, procs, tables);
    }
}

}  // namespace

void Executor::DoCreateCode(const Statement& s) {
    Database* dbp = DatabaseFor(s.object.database);
    if (!dbp || (!s.object.database.isEmpty() && dbp != &CurrentDb()))
        throw ErrGeneric(166, 15, QStringLiteral("'CREATE %1' does not allow specifying the database name as a prefix to the object name.").arg(s.kind == StmtKind::CreateView ? "VIEW" : "PROCEDURE"));
    Database& db = *dbp;
    const bool alter = s.alter;
    int uid = ResolveOwner(db, s.object.owner);
    Object* existing = db.FindObject(OwnerName(db, uid), s.object.name);
    Object o;
    if (s.kind == StmtKind::CreateView) o.type = QStringLiteral("V");
    else if (s.kind == StmtKind::CreateProcedure) o.type = QStringLiteral("P");
    else if (s.kind == StmtKind::CreateFunction) o.type = s.kindWord;
    else o.type = QStringLiteral("TR");
    if (alter) {
        if (!existing) throw ErrInvalidObject(s.object.name);
        const bool bothFunctions = s.kind == StmtKind::CreateFunction && (existing->IsType("FN") || existing->IsType("IF") || existing->IsType("TF"));
        if (existing->type != o.type && !(bothFunctions && o.type.isEmpty()))
            throw ErrGeneric(2010, 16, QStringLiteral("Cannot perform alter on '%1' because it is an incompatible object type.").arg(existing->name));
    } else if (existing) {
        // A numbered procedure adds to its group.
        if (!(s.kind == StmtKind::CreateProcedure && existing->IsType("P") && s.object.number > 1)) throw ErrAlreadyExists(s.object.name);
        for (const auto& t : existing->texts)
            if (t.first == s.object.number) throw ErrAlreadyExists(s.object.name);
        existing->texts.emplace_back(s.object.number, s.text);
        db.Touch(*existing);
        return;
    }
    o.name = s.object.name;
    o.uid = uid;
    o.ansiNulls = session_.options.ansiNulls;
    o.quotedIdent = session_.options.quotedIdentifier;
    o.params = s.params;
    o.texts.emplace_back(s.kind == StmtKind::CreateProcedure ? std::max(1, s.object.number) : 0, s.text);
    o.encrypted = s.withOptions.contains(QStringLiteral("ENCRYPTION"));
    o.schemaBound = s.withOptions.contains(QStringLiteral("SCHEMABINDING"));
    if (o.schemaBound) {
        QStringList names, procs;
        if (s.select) CollectTableNames(*s.select, names);
        CollectExecs(s.body, procs, names);
        for (const QString& n : names) {
            QStringList parts = SplitObjectNameText(n);
            if (const Object* t = db.FindObject(parts.size() > 1 ? parts[0] : QString(), parts.last()))
                if (std::find(o.boundTo.begin(), o.boundTo.end(), t->id) == o.boundTo.end()) o.boundTo.push_back(t->id);
        }
    }
    if (s.kind == StmtKind::CreateView || (s.kind == StmtKind::CreateFunction && s.select)) {
        if (s.kind == StmtKind::CreateView) {
            if (!s.select->orderBy.empty() && !s.select->top)
                throw ErrGeneric(1033, 15, QStringLiteral("The ORDER BY clause is invalid in views, inline functions, derived tables, and subqueries, unless TOP is also specified."));
            // Run the query once: a missing table or column fails the CREATE, and the result
            // gives the view's columns.
            QString saved = session_.database;
            session_.database = db.name;
            Relation r;
            try {
                r = RunQuery(*s.select, nullptr);
            } catch (...) {
                session_.database = saved;
                throw;
            }
            session_.database = saved;
            if (!s.names.isEmpty() && s.names.size() != static_cast<int>(r.columns.size()))
                throw ErrGeneric(8159, 16, QStringLiteral("'%1' has fewer columns than were specified in the column list.").arg(o.name));
            int colid = 0;
            for (size_t i = 0; i < r.columns.size(); ++i) {
                Column c;
                c.name = s.names.isEmpty() ? r.columns[i].name : s.names[static_cast<int>(i)];
                if (c.name.isEmpty())
                    throw ErrGeneric(4511, 16, QStringLiteral("Create View or Function failed because no column name was specified for column %1.").arg(i + 1));
                if (o.FindColumn(c.name))
                    throw ErrGeneric(4506, 16, QStringLiteral("Column names in each view or function must be unique. Column name '%1' in view or function '%2' is specified more than once.").arg(c.name, o.name));
                c.xtype = c.xusertype = r.columns[i].xtype;
                const BuiltinType* b = FindBuiltinType(c.xtype);
                c.length = r.columns[i].length > 0 ? r.columns[i].length : (b ? b->length : 4);
                c.prec = b ? b->prec : 0;
                c.scale = b ? b->scale : 0;
                if (IsStringType(c.xtype) || IsBinaryType(c.xtype)) c.prec = 0;
                c.nullable = r.columns[i].nullable;
                c.colid = ++colid;
                if (IsStringType(c.xtype)) c.collation = ServerCollation();
                o.columns.push_back(c);
            }
        } else {
            QStringList tables;
            CollectTableNames(*s.select, tables);
            for (const QString& t : tables) {
                QStringList parts = SplitObjectNameText(t);
                const QString owner = parts.size() > 1 ? parts[parts.size() - 2] : QString();
                if (!db.FindObject(owner, parts.last()) && !IsSystemTableName(parts.last()) && !IsInformationSchemaView(owner, parts.last()))
                    throw ErrInvalidObject(t);
            }
        }
        o.viewQuery = s.select;
    }
    if (s.kind == StmtKind::CreateTrigger) {
        const ObjectName& tn = s.objects[0];
        Object* table = db.FindObject(tn.owner, tn.name);
        if (!table) throw ErrInvalidObject(tn.name);
        if (!table->IsType("U") && !(s.insteadOf && table->IsType("V")))
            throw ErrGeneric(8197, 16, QStringLiteral("Cannot create trigger '%1' on view '%2' because the view is not valid for INSTEAD OF triggers.").arg(o.name, table->name));
        o.parent = table->id;
        o.trigInsert = s.insertTrigger;
        o.trigUpdate = s.updateTrigger;
        o.trigDelete = s.deleteTrigger;
        o.insteadOf = s.insteadOf;
    }
    // Deferred name resolution: a missing callee is reported but the procedure is created;
    // functions must find every table they read.
    QStringList procs, tables;
    CollectExecs(s.body, procs, tables);
    if (s.kind == StmtKind::CreateFunction) {
        for (const QString& t : tables) {
            QStringList parts = SplitObjectNameText(t);
            if (parts.last().startsWith(u'@') || parts.last().startsWith(u'#')) continue;
            const QString owner = parts.size() > 1 ? parts[parts.size() - 2] : QString();
            if (!db.FindObject(owner, parts.last()) && !IsSystemTableName(parts.last()) && !IsInformationSchemaView(owner, parts.last()) &&
                parts.last().compare(QLatin1String("inserted"), Qt::CaseInsensitive) != 0 &&
                parts.last().compare(QLatin1String("deleted"), Qt::CaseInsensitive) != 0)
                throw ErrInvalidObject(t);
        }
    }
    if (alter && s.kind == StmtKind::CreateProcedure && existing->texts.size() > 1) {
        // ALTER of one procedure of a group replaces that number's text only.
        const int number = std::max(1, s.object.number);
        bool replaced = false;
        for (auto& t : existing->texts)
            if (t.first == number) { t.second = s.text; replaced = true; }
        if (!replaced) existing->texts.emplace_back(number, s.text);
        if (number == 1) existing->params = o.params;
        existing->ansiNulls = o.ansiNulls;
        existing->quotedIdent = o.quotedIdent;
        db.Touch(*existing);
    } else if (alter) {
        existing->texts = o.texts;
        existing->params = o.params;
        existing->ansiNulls = o.ansiNulls;
        existing->quotedIdent = o.quotedIdent;
        existing->viewQuery = o.viewQuery;
        existing->encrypted = o.encrypted;
        db.SetBinding(*existing, o.schemaBound, o.boundTo);
        if (s.kind == StmtKind::CreateView) existing->columns = o.columns;
        existing->trigInsert = o.trigInsert;
        existing->trigUpdate = o.trigUpdate;
        existing->trigDelete = o.trigDelete;
        db.Touch(*existing);
    } else {
        db.AddObject(std::move(o));
    }
    if (s.kind == StmtKind::CreateProcedure || s.kind == StmtKind::CreateTrigger || s.kind == StmtKind::CreateFunction) {
        QSet<QString> reported;
        for (const QString& p : procs) {
            QStringList parts = SplitObjectNameText(p);
            const QString last = parts.last().toLower();
            if (last.startsWith(QLatin1String("sp_")) || last.startsWith(QLatin1String("xp_"))) continue;
            if (db.FindObject(parts.size() > 1 ? parts[0] : QString(), parts.last())) continue;
            if (reported.contains(last)) continue;
            reported.insert(last);
            AddMessage(2007, 11, 1, QStringLiteral("Cannot add rows to sysdepends for the current stored procedure because it depends on the missing object '%1'. The stored procedure will still be created.").arg(parts.last()));
        }
    }
}

// ---------------------------------------------------------------- ALTER TABLE
void Executor::DoAlterTable(const Statement& s) {
    Database* dbp = DatabaseFor(s.object.database);
    if (!dbp) throw ErrInvalidObject(s.object.name);
    Database& db = *dbp;
    Object* t = db.FindObject(s.object.owner, s.object.name);
    if (!t || !t->IsType("U"))
        throw ErrGeneric(4902, 16, QStringLiteral("Cannot alter table '%1' because this table does not exist in database '%2'.").arg(s.object.name, db.name));
    const int tableId = t->id;
    if (s.kindWord == "ADD") {
        for (const ColumnDef& cd : s.columns) {
            Object* tp = db.FindObject(tableId);
            if (tp->FindColumn(cd.name))
                throw ErrGeneric(2705, 16, QStringLiteral("Column names in each table must be unique. Column name '%1' in table '%2' is specified more than once.").arg(cd.name, tp->name));
            Column c = cd.computed ? Column() : ColumnFromType(db, cd.type);
            if (cd.nullable >= 0) c.nullable = cd.nullable == 1;
            else if (FindBuiltinType(cd.type.name) || cd.computed) c.nullable = session_.options.ansiNullDefault;
            if (cd.identity) { c.identity = true; c.seed = cd.seed; c.incr = cd.incr; c.nullable = false; }
            c.name = cd.name;
            c.computed = cd.computed != nullptr;
            int maxId = 0;
            for (const Column& x : tp->columns) maxId = std::max(maxId, x.colid);
            c.colid = maxId + 1;
            bool hasDefault = false, withValues = false;
            for (const ConstraintDef& k : cd.constraints) {
                hasDefault = hasDefault || k.kind == ConstraintDef::Kind::Default;
                withValues = withValues || (k.kind == ConstraintDef::Kind::Default && k.withValues);
            }
            if (!c.nullable && !hasDefault && !c.identity && !tp->rows.empty())
                throw ErrGeneric(4901, 16, QStringLiteral("ALTER TABLE only allows columns to be added that can contain nulls or have a DEFAULT definition specified. Column '%1' cannot be added to table '%2' because it does not allow nulls and does not specify a DEFAULT definition.").arg(c.name, tp->name));
            if (c.computed) {
                c.computedExpr = cd.computed;
                c.formula = NormalizeConstraintText(cd.computedText, *tp, true);
                tp->texts.emplace_back(c.colid, c.formula);
            }
            tp->columns.push_back(c);
            for (auto& row : tp->rows) row.push_back(Value::Null(c.xtype));
            tp->rowsVersion = NextRowsVersion();
            for (const ConstraintDef& k : cd.constraints) AddConstraint(db, *db.FindObject(tableId), k, true, s.flag);
            if (c.identity) {
                Object* tt = db.FindObject(tableId);
                long long v = c.seed;
                for (auto& row : tt->rows) { row.back() = Value::Int(v, c.xtype); v += c.incr; }
                if (!tt->rows.empty()) { tt->identityUsed = true; tt->identityCurrent = v - c.incr; }
            } else if (hasDefault && (!c.nullable || withValues)) {
                // A column that allows nulls stays null in the existing rows unless WITH VALUES.
                Object* tt = db.FindObject(tableId);
                const Column& nc = tt->columns.back();
                for (auto& row : tt->rows) row.back() = DefaultValue(db, *tt, nc);
            }
        }
        for (const ConstraintDef& k : s.constraints) AddConstraint(db, *db.FindObject(tableId), k, true, s.flag);
        db.Touch(*db.FindObject(tableId));
        return;
    }
    if (s.kindWord == "NOCHECK" || s.kindWord == "CHECK") {
        const bool disable = s.kindWord == "NOCHECK";
        bool all = s.names.size() == 1 && s.names[0].compare(QLatin1String("ALL"), Qt::CaseInsensitive) == 0;
        for (const QString& n : s.names) {
            if (all) break;
            Object* k = db.FindObject(OwnerName(db, t->uid), n);
            if (!k || k->parent != tableId || !(k->IsType("F") || k->IsType("C")))
                throw ErrGeneric(4917, 16, QStringLiteral("Constraint '%1' does not exist.").arg(n));
        }
        for (int kid : db.Children(tableId)) {
            Object& k = *db.FindObject(kid);
            if (!(k.IsType("F") || k.IsType("C"))) continue;
            if (!all && !s.names.contains(k.name, Qt::CaseInsensitive)) continue;
            k.disabled = disable;
            db.Touch(k);
        }
        return;
    }
    if (s.kindWord == "DROP") {
        for (int i = 0; i < s.names.size(); ++i) {
            Object* tp = db.FindObject(tableId);
            const QString& n = s.names[i];
            Object* k = db.FindObject(OwnerName(db, tp->uid), n);
            if (k && k->parent == tableId && (k->IsType("PK") || k->IsType("UQ") || k->IsType("F") || k->IsType("C") || k->IsType("D"))) {
                int kid = k->id;
                if (k->IsType("PK") || k->IsType("UQ")) {
                    // A foreign key holds on to the key whose columns it references; another
                    // key of the same table can go.
                    const auto sameColumns = [](std::vector<int> a, std::vector<int> b) {
                        std::sort(a.begin(), a.end());
                        std::sort(b.begin(), b.end());
                        return a == b;
                    };
                    for (const Object* f : db.ForeignKeysTo(tableId))
                        for (const IndexInfo& ix : tp->indexes)
                            if (ix.constraintId == kid && sameColumns(ix.keys, f->rkeys))
                                throw ErrGeneric(3725, 16, QStringLiteral("The constraint '%1' is being referenced by table '%2', foreign key constraint '%3'.").arg(n, db.FindObject(f->parent)->name, f->name));
                    auto& ixs = tp->indexes;
                    ixs.erase(std::remove_if(ixs.begin(), ixs.end(), [&](const IndexInfo& x) { return x.constraintId == kid; }), ixs.end());
                }
                if (k->IsType("D"))
                    for (Column& c : tp->columns) if (c.cdefault == kid) c.cdefault = 0;
                db.RemoveObject(kid);
                db.Touch(*db.FindObject(tableId));
                continue;
            }
            Column* c = tp->FindColumn(n);
            if (!c && !s.args.empty())
                throw ErrGeneric(4924, 16, QStringLiteral("ALTER TABLE DROP COLUMN failed because column '%1' does not exist in table '%2'.").arg(n, tp->name));
            if (!c) throw ErrGeneric(3728, 16, QStringLiteral("'%1' is not a constraint.").arg(n));
            int colid = c->colid;
            // Everything that uses the column is reported, then the drop fails.
            QStringList dependents;
            auto has = [](const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); };
            for (int kid : db.Children(tableId)) {
                const Object* o = db.FindObject(kid);
                if (o && (o->checkColumn == colid || (o->IsType("F") && has(o->fkeys, colid)) ||
                          (o->IsType("C") && !o->texts.empty() && o->texts[0].second.contains(u'[' + c->name + u']', Qt::CaseInsensitive))))
                    dependents << QStringLiteral("The object '%1' is dependent on column '%2'.").arg(o->name, c->name);
            }
            for (const Object* o : db.ForeignKeysTo(tableId))
                if (o->parent != tableId && has(o->rkeys, colid))
                    dependents << QStringLiteral("The object '%1' is dependent on column '%2'.").arg(o->name, c->name);
            for (const IndexInfo& ix : tp->indexes)
                if (ix.indid != 0 && ix.indid != 255 && !ix.constraintId && has(ix.keys, colid))
                    dependents << QStringLiteral("The %1 '%2' is dependent on column '%3'.")
                                      .arg(ix.statistics ? QStringLiteral("statistics") : QStringLiteral("index"), ix.name, c->name);
                else if (ix.constraintId && has(ix.keys, colid) && db.FindObject(ix.constraintId))
                    dependents << QStringLiteral("The object '%1' is dependent on column '%2'.").arg(db.FindObject(ix.constraintId)->name, c->name);
            for (const Column& other : tp->columns)
                if (other.computed && other.computedExpr && other.colid != colid) {
                    QString formula = other.formula;
                    if (formula.contains(u'[' + c->name + u']', Qt::CaseInsensitive))
                        dependents << QStringLiteral("The column '%1' is dependent on column '%2'.").arg(other.name, c->name);
                }
            for (const QString& user : SchemaBoundColumnUsers(db, *tp, c->name))
                dependents << QStringLiteral("The object '%1' is dependent on column '%2'.").arg(user, c->name);
            for (const auto& fc : tp->fullTextColumns)
                if (fc.first == colid)
                    throw ErrGeneric(7614, 16, QStringLiteral("Cannot alter or drop column '%1' because it is enabled for Full-Text Search.").arg(c->name));
            if (!dependents.isEmpty()) {
                dependents.removeDuplicates();
                for (const QString& d : dependents) AddMessage(5074, 16, 1, d);
                throw ErrGeneric(4922, 16, QStringLiteral("ALTER TABLE DROP COLUMN %1 failed because one or more objects access this column.").arg(c->name));
            }
            size_t pos = 0;
            while (pos < tp->columns.size() && tp->columns[pos].colid != colid) ++pos;
            tp->columns.erase(tp->columns.begin() + static_cast<long>(pos));
            for (auto& row : tp->rows) row.erase(row.begin() + static_cast<long>(pos));
            // Column ids stay equal to positions: the later columns move up by one.
            auto shift = [colid](int& id) { if (id > colid) --id; };
            for (Column& c : tp->columns) shift(c.colid);
            for (IndexInfo& ix : tp->indexes) for (int& k : ix.keys) shift(k);
            for (auto& fc : tp->fullTextColumns) shift(fc.first);
            for (auto& t : tp->texts) shift(t.first);
            std::vector<int> related = db.Referrers(tableId);
            for (int kid : db.Children(tableId)) related.push_back(kid);
            std::sort(related.begin(), related.end());
            related.erase(std::unique(related.begin(), related.end()), related.end());
            for (int oid : related) {
                Object* found = db.FindObject(oid);
                if (!found) continue;
                Object& o = *found;
                if (o.parent == tableId) {
                    shift(o.checkColumn);
                    if (o.IsType("F")) for (int& k : o.fkeys) shift(k);
                }
                if (o.IsType("F") && o.refTable == tableId) for (int& k : o.rkeys) shift(k);
            }
            tp->rowsVersion = NextRowsVersion();
            db.Touch(*tp);
        }
        return;
    }
    if (s.kindWord == "ALTER COLUMN" && !s.columns.empty()) {
        AlterColumn(db, *t, s);
        return;
    }
    if (s.kindWord == "ENABLE" || s.kindWord == "DISABLE") {
        for (const auto& [id, k] : db.objects)
            if (k.IsType("TR") && k.parent == tableId &&
                (s.names.contains(QStringLiteral("ALL")) || s.names.contains(k.name, Qt::CaseInsensitive)))
                db.FindObject(id)->disabled = s.kindWord == "DISABLE";
        return;
    }
    throw ErrGeneric(40000, 16, QStringLiteral("ALTER TABLE %1 is not supported by the simulator.").arg(s.kindWord));
}

// ALTER TABLE ... ALTER COLUMN: a new type or nullability, or ADD/DROP ROWGUIDCOL. The rows are
// converted to the new type; any failure leaves the table as it was.
void Executor::AlterColumn(Database& db, Object& t, const Statement& s) {
    const ColumnDef& cd = s.columns[0];
    Column* col = t.FindColumn(cd.name);
    if (!col)
        throw ErrGeneric(4924, 16, QStringLiteral("ALTER TABLE ALTER COLUMN failed because column '%1' does not exist in table '%2'.").arg(cd.name, t.name));
    if (s.text == "ADD" || s.text == "DROP") {
        if (s.text == "ADD") {
            if (col->xtype != XUniqueIdentifier)
                throw ErrGeneric(4929, 16, QStringLiteral("Cannot alter the ROWGUIDCOL property of column '%1'. The column must be of data type uniqueidentifier.").arg(col->name));
            for (const Column& c : t.columns)
                if (c.rowGuid && c.colid != col->colid)
                    throw ErrGeneric(8196, 16, QStringLiteral("Duplicate column specified as ROWGUIDCOL."));
        }
        col->rowGuid = s.text == "ADD";
        db.Touch(t);
        return;
    }
    if (col->computed || cd.computed)
        throw ErrGeneric(4928, 16, QStringLiteral("Cannot alter column '%1' because it is 'COMPUTED'.").arg(col->name));
    Column nc = ColumnFromType(db, cd.type);
    nc.name = col->name;
    nc.colid = col->colid;
    nc.nullable = cd.nullable >= 0 ? cd.nullable == 1 : session_.options.ansiNullDefault;
    nc.identity = col->identity;
    nc.seed = col->seed;
    nc.incr = col->incr;
    nc.identityNotForRepl = col->identityNotForRepl;
    nc.rowGuid = col->rowGuid && nc.xtype == XUniqueIdentifier;
    nc.cdefault = col->cdefault;
    nc.domain = col->domain;
    if (!cd.collation.isEmpty()) nc.collation = cd.collation;
    else if (IsStringType(nc.xtype)) nc.collation = col->collation.isEmpty() ? ServerCollation() : col->collation;
    if (nc.identity && nc.nullable) nc.nullable = false;
    if (nc.xtype == XTimestamp || col->xtype == XTimestamp)
        throw ErrGeneric(4927, 16, QStringLiteral("Cannot alter column '%1' to be data type timestamp.").arg(col->name));
    if (col->xtype == XText || col->xtype == XNText || col->xtype == XImage)
        throw ErrGeneric(4928, 16, QStringLiteral("Cannot alter column '%1' because it is '%2'.").arg(col->name, QString::fromLatin1(FindBuiltinType(col->xtype)->name)));
    if (col->rowGuid)
        throw ErrGeneric(4928, 16, QStringLiteral("Cannot alter column '%1' because it is 'ROWGUIDCOL'.").arg(col->name));
    // What else uses the column limits the change (ALTER TABLE in Books Online): a PRIMARY KEY or
    // FOREIGN KEY column may not change; an index (and a UNIQUE constraint) allows only a longer
    // varchar, nvarchar or varbinary; a CHECK allows another length of a variable-length type; a
    // DEFAULT allows another length, precision or scale of the same type. Nullability alone may
    // change except on key columns.
    const bool sameType = nc.xtype == col->xtype && nc.length == col->length && nc.prec == col->prec && nc.scale == col->scale;
    const bool variable = nc.xtype == col->xtype && (nc.xtype == XVarChar || nc.xtype == XNVarChar || nc.xtype == XVarBinary);
    const bool widening = variable && nc.length >= col->length;
    const bool unchanged = sameType && nc.nullable == col->nullable;
    auto has = [](const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); };
    QStringList dependents;
    auto depend = [&](const QString& what, const QString& name) {
        dependents << QStringLiteral("The %1 '%2' is dependent on column '%3'.").arg(what, name, col->name);
    };
    for (const IndexInfo& ix : t.indexes) {
        if (ix.indid == 0 || ix.indid == 255 || !has(ix.keys, col->colid)) continue;
        const Object* k = ix.constraintId ? db.FindObject(ix.constraintId) : nullptr;
        if (k && k->IsType("PK")) {
            if (nc.nullable) throw ErrGeneric(8111, 16, QStringLiteral("Cannot define PRIMARY KEY constraint on nullable column in table '%1'.").arg(t.name));
            if (!unchanged) depend(QStringLiteral("object"), k->name);
        } else if (!sameType && !widening) {
            if (k) depend(QStringLiteral("object"), k->name);
            else depend(ix.statistics ? QStringLiteral("statistics") : QStringLiteral("index"), ix.name);
        }
    }
    for (int kid : db.Children(t.id)) {
        const Object* k = db.FindObject(kid);
        if (!k) continue;
        if (k->IsType("F") && has(k->fkeys, col->colid) && !unchanged) depend(QStringLiteral("object"), k->name);
        if (k->IsType("C") && !sameType && !variable &&
            (k->checkColumn == col->colid ||
             (!k->texts.empty() && k->texts[0].second.contains(u'[' + col->name + u']', Qt::CaseInsensitive))))
            depend(QStringLiteral("object"), k->name);
        if (k->IsType("D") && col->cdefault == kid && nc.xtype != col->xtype) depend(QStringLiteral("object"), k->name);
    }
    for (const Object* f : db.ForeignKeysTo(t.id))
        if (f->parent != t.id && has(f->rkeys, col->colid) && !unchanged) depend(QStringLiteral("object"), f->name);
    for (const Column& other : t.columns)
        if (other.computed && other.colid != col->colid && other.formula.contains(u'[' + col->name + u']', Qt::CaseInsensitive))
            depend(QStringLiteral("column"), other.name);
    for (const QString& user : SchemaBoundColumnUsers(db, t, col->name)) depend(QStringLiteral("object"), user);
    if (!dependents.isEmpty()) {
        dependents.removeDuplicates();
        for (const QString& d : dependents) AddMessage(5074, 16, 1, d);
        throw ErrGeneric(4922, 16, QStringLiteral("ALTER TABLE ALTER COLUMN %1 failed because one or more objects access this column.").arg(col->name));
    }
    size_t pos = 0;
    while (pos < t.columns.size() && t.columns[pos].colid != col->colid) ++pos;
    // Convert every row first; only then replace the column and the rows.
    std::vector<std::vector<Value>> rows;
    rows.reserve(t.rows.size());
    const QString owner = db.FindUser(t.uid) ? db.FindUser(t.uid)->name : QStringLiteral("dbo");
    for (const auto& row : t.rows) {
        std::vector<Value> r = row;
        Value& v = r[pos];
        if (v.IsNull()) {
            if (!nc.nullable)
                throw ErrGeneric(515, 16, QStringLiteral("Cannot insert the value NULL into column '%1', table '%2.%3.%4'; column does not allow nulls. UPDATE fails.").arg(nc.name, db.name, owner, t.name), 2);
            v = Value::Null(nc.xtype);
            rows.push_back(std::move(r));
            continue;
        }
        if (IsStringType(nc.xtype) && nc.xtype != XText && nc.xtype != XNText) {
            QString sv = v.AsString();
            int chars = IsUnicodeType(nc.xtype) ? nc.length / 2 : nc.length;
            int n = static_cast<int>(sv.size());
            while (n > chars && sv[n - 1] == u' ') --n;
            if (n > chars) throw ErrGeneric(8152, 16, QStringLiteral("String or binary data would be truncated."), 9);
        } else if (IsBinaryType(nc.xtype) && v.GetKind() == Value::Kind::Binary && v.AsBinary().size() > nc.length) {
            throw ErrGeneric(8152, 16, QStringLiteral("String or binary data would be truncated."), 9);
        }
        v = ConvertTo(v, nc.xtype, nc.length, nc.prec, nc.scale, 0, session_.options.dateFormat);
        rows.push_back(std::move(r));
    }
    *col = nc;
    t.rows = std::move(rows);
    t.rowsVersion = NextRowsVersion();
    db.Touch(t);
}

// ---------------------------------------------------------------- DROP
void Executor::DoDrop(const Statement& s) {
    if (s.kind == StmtKind::DropDatabase) {
        if (session_.tranCount > 0)
            throw ErrGeneric(226, 16, QStringLiteral("DROP DATABASE statement not allowed within multi-statement transaction."));
        for (const QString& n : s.names) {
            Database* db = server_.Find(n);
            if (!db || n.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0)
                throw ErrGeneric(3701, 11, QStringLiteral("Cannot drop the database '%1', because it does not exist in the system catalog.").arg(n), 1);
            if (session_.database.compare(db->name, Qt::CaseInsensitive) == 0)
                throw ErrGeneric(3702, 16, QStringLiteral("Cannot drop the database '%1' because it is currently in use.").arg(n), 3);
            server_.Drop(n.toLower());
            AddMessage(3738, 10, 1, QStringLiteral("Deleting database file '%1'.").arg(n));
        }
        return;
    }
    const QString kind = s.kindWord.toLower();
    for (const ObjectName& on : s.objects) {
        if (kind == "index" || kind == "statistics") {
            // DROP INDEX / DROP STATISTICS [owner.]table.name, or database.owner.table.name.
            Database* idb = on.server.isEmpty() ? &CurrentDb() : DatabaseFor(on.server);
            if (!idb) throw ErrCannotDrop(kind, on.name);
            Database& db = *idb;
            Object* t = on.owner.isEmpty() ? nullptr : db.FindObject(on.database, on.owner);
            IndexInfo* ix = nullptr;
            if (t)
                for (IndexInfo& i : t->indexes)
                    if (i.indid != 0 && i.indid != 255 && i.name.compare(on.name, Qt::CaseInsensitive) == 0) ix = &i;
            if (t && ix && kind == "statistics" && !ix->statistics)
                throw ErrGeneric(3739, 11, QStringLiteral("Cannot DROP the index '%1.%2' because it is not a statistics collection.").arg(on.owner, on.name));
            if (!t || !ix || (kind == "index") == ix->statistics)
                throw ErrGeneric(3703, 11, QStringLiteral("Cannot drop the %1 '%2.%3', because it does not exist in the system catalog.").arg(kind, on.owner, on.name), 7);
            if (ix->constraintId)
                throw ErrGeneric(3723, 16, QStringLiteral("An explicit DROP INDEX is not allowed on index '%1.%2'. It is being used for PRIMARY KEY constraint enforcement.").arg(t->name, on.name));
            const QString iname = ix->name;
            t->indexes.erase(std::remove_if(t->indexes.begin(), t->indexes.end(), [&](const IndexInfo& x) { return x.name == iname && x.indid != 0 && x.indid != 255; }), t->indexes.end());
            db.Touch(*t);
            continue;
        }
        Database* dbp = DatabaseFor(on.database);
        if (!dbp) throw ErrCannotDrop(kind, on.name);
        Database& db = *dbp;
        Object* o = db.FindObject(on.owner, on.name);
        const char* want = kind == "table" ? "U" : kind == "view" ? "V" : kind == "procedure" ? "P" : kind == "trigger" ? "TR"
                         : kind == "default" ? "D" : kind == "rule" ? "R" : "FN";
        bool matches = o && (o->type == QLatin1String(want) ||
                             (kind == "function" && (o->IsType("FN") || o->IsType("IF") || o->IsType("TF"))));
        if (o && !matches && o->parent == 0) {
            const char* actual = o->IsType("U") ? "TABLE" : o->IsType("V") ? "VIEW" : o->IsType("P") ? "PROCEDURE" : o->IsType("TR") ? "TRIGGER" : "FUNCTION";
            throw ErrGeneric(3705, 16, QStringLiteral("Cannot use DROP %1 with '%2' because '%2' is a %3. Use DROP %4.").arg(kind.toUpper(), on.name, QString::fromLatin1(actual).toLower(), QString::fromLatin1(actual)));
        }
        if (!matches) throw ErrCannotDrop(kind, on.name);
        const int id = o->id;
        if (const Object* user = (o->IsType("U") || o->IsType("V") || o->IsType("FN") || o->IsType("IF") || o->IsType("TF"))
                                     ? SchemaBoundReferrer(db, id) : nullptr)
            throw ErrGeneric(3729, 16, QStringLiteral("Cannot DROP %1 '%2' because it is being referenced by object '%3'.").arg(kind.toUpper(), on.name, user->name));
        if ((o->IsType("D") || o->IsType("R")) && o->parent == 0) {
            // A bound default or rule must be unbound first.
            const bool rule = o->IsType("R");
            bool bound = false;
            for (const UserType& u : db.userTypes) bound = bound || (rule ? u.domain : u.tdefault) == id;
            for (const auto& [objectId, other] : db.objects)
                for (const Column& c : other.columns) bound = bound || (rule ? c.domain : c.cdefault) == id;
            if (bound)
                throw ErrGeneric(3716, 16, QStringLiteral("The %1 '%2' cannot be dropped because it is bound to one or more column.").arg(kind, on.name));
        }
        if (o->IsType("U")) {
            for (const Object* f : db.ForeignKeysTo(id))
                if (f->parent != id)
                    throw ErrGeneric(3726, 16, QStringLiteral("Could not drop object '%1' because it is referenced by a FOREIGN KEY constraint.").arg(on.name));
            std::vector<int> children;
            for (int cid : db.Children(id)) children.push_back(cid);
            for (int cid : children) db.RemoveObject(cid);
        }
        db.permissions.erase(std::remove_if(db.permissions.begin(), db.permissions.end(), [&](const Permission& p) { return p.id == id; }), db.permissions.end());
        db.RemoveObject(id);
    }
}

// ---------------------------------------------------------------- permissions
void Executor::DoGrant(const Statement& s) {
    Database& db = CurrentDb();
    if (s.object.name.isEmpty()) return;  // statement permissions change nothing the catalog shows here
    Object* o = db.FindObject(s.object.owner, s.object.name);
    if (!o) throw ErrInvalidObject(s.object.name);
    int bits = 0;
    const bool code = o->IsType("P") || o->IsType("FN");
    for (const QString& p : s.privileges) {
        if (p == "SELECT") bits |= 1;
        else if (p == "UPDATE") bits |= 2;
        else if (p == "REFERENCES") bits |= 4;
        else if (p == "INSERT") bits |= 8;
        else if (p == "DELETE") bits |= 16;
        else if (p == "EXECUTE" || p == "EXEC") bits |= 32;
        else if (p == "ALL") bits |= code ? 32 : (o->IsType("V") ? 1 | 2 | 8 | 16 : 1 | 2 | 4 | 8 | 16);
        else throw ErrGeneric(4613, 16, QStringLiteral("Grantor does not have GRANT permission."));
    }
    if (code && (bits & ~32)) throw ErrGeneric(4606, 16, QStringLiteral("Granted or revoked privilege %1 is not compatible with object.").arg(s.privileges.join(u',')));
    if (!code && !o->IsTable() && !o->IsType("V") && !o->IsType("IF") && !o->IsType("TF"))
        throw ErrGeneric(4606, 16, QStringLiteral("Granted or revoked privilege %1 is not compatible with object.").arg(s.privileges.join(u',')));
    std::vector<int> colids;
    for (const QString& cn : s.names) {
        const Column* c = o->FindColumn(cn);
        if (!c) throw ErrInvalidColumn(cn);
        colids.push_back(c->colid);
    }
    auto setBits = [&](QByteArray& map, bool on) {
        for (int colid : colids) {
            int byte = colid / 8;
            if (map.size() <= byte) map.append(QByteArray(byte + 1 - map.size(), '\0'));
            if (on) map[byte] = static_cast<char>(map[byte] | (1 << (colid % 8)));
            else map[byte] = static_cast<char>(map[byte] & ~(1 << (colid % 8)));
        }
    };
    for (const QString& g : s.grantees) {
        const User* u = db.FindUser(g);
        if (!u) throw ErrGeneric(4604, 16, QStringLiteral("There is no such user or group '%1'.").arg(g));
        auto it = std::find_if(db.permissions.begin(), db.permissions.end(), [&](const Permission& p) { return p.id == o->id && p.grantee == u->uid; });
        if (it == db.permissions.end()) {
            if (s.kindWord == "REVOKE") continue;
            Permission np;
            np.id = o->id;
            np.grantee = u->uid;
            np.grantor = 1;
            db.permissions.push_back(np);
            it = db.permissions.end() - 1;
        }
        Permission& p = *it;
        const bool grant = s.kindWord == "GRANT", deny = s.kindWord == "DENY";
        if (colids.empty()) {
            if (grant) { p.actadd |= bits; p.actmod &= ~bits; }
            else if (deny) { p.actmod |= bits; p.actadd &= ~bits; }
            else { p.actadd &= ~bits; p.actmod &= ~bits; }
        } else {
            auto apply = [&](int bit, QByteArray& add, QByteArray& mod) {
                if (!(bits & bit)) return;
                if (grant) { setBits(add, true); setBits(mod, false); }
                else if (deny) { setBits(mod, true); setBits(add, false); }
                else { setBits(add, false); setBits(mod, false); }
            };
            apply(1, p.seladd, p.selmod);
            apply(2, p.updadd, p.updmod);
            apply(4, p.refadd, p.refmod);
        }
        auto empty = [](const QByteArray& b) { return b.count('\0') == b.size(); };
        for (QByteArray* map : {&p.seladd, &p.selmod, &p.updadd, &p.updmod, &p.refadd, &p.refmod})
            if (empty(*map)) *map = QByteArray();
        if (p.actadd == 0 && p.actmod == 0 && empty(p.seladd) && empty(p.selmod) && empty(p.updadd) && empty(p.updmod) &&
            empty(p.refadd) && empty(p.refmod))
            db.permissions.erase(it);
    }
    db.Touch(*o);
}

}  // namespace sqlsim

namespace sqlsim {

void Executor::DoCreateBound(const Statement& s) {
    Database* dbp = DatabaseFor(s.object.database);
    if (!dbp) throw ErrInvalidObject(s.object.name);
    Database& db = *dbp;
    const int uid = ResolveOwner(db, s.object.owner);
    if (db.FindObject(OwnerName(db, uid), s.object.name)) throw ErrAlreadyExists(s.object.name);
    Object o;
    o.type = s.kindWord == "CREATE RULE" ? QStringLiteral("R") : QStringLiteral("D");
    o.name = s.object.name;
    o.uid = uid;
    o.created = QDateTime::currentDateTimeUtc();
    o.texts.emplace_back(0, s.text);
    if (!s.args.empty()) o.expr = s.args[0];
    db.AddObject(std::move(o));
}

// sp_bindefault 'default', 'table.column' | 'type' [, 'futureonly'] and sp_bindrule alike; the
// unbind procedures take the column or type alone. Binding to a type sets systypes.tdefault or
// domain and, without futureonly, the columns of that type that still had the type's old binding.
void Executor::DoBind(Database& db, const QString& procedure, const QStringList& args) {
    const bool rule = procedure.contains(QLatin1String("rule"));
    const bool bind = !procedure.startsWith(QLatin1String("sp_unbind"));
    const QString word = rule ? QStringLiteral("rule") : QStringLiteral("default");
    int id = 0;
    if (bind) {
        const QStringList parts = SplitObjectNameText(args.value(0));
        const Object* o = parts.isEmpty() ? nullptr : db.FindObject(parts.size() > 1 ? parts[parts.size() - 2] : QString(), parts.last());
        if (!o || o->type != (rule ? QLatin1String("R") : QLatin1String("D")) || o->parent != 0)
            throw ErrGeneric(rule ? 15017 : 15016, 16, QStringLiteral("The %1 '%2' does not exist.").arg(word, args.value(0)));
        id = o->id;
    }
    const QString target = args.value(bind ? 1 : 0);
    const bool futureOnly = args.value(bind ? 2 : 1).compare(QLatin1String("futureonly"), Qt::CaseInsensitive) == 0;
    const QStringList parts = SplitObjectNameText(target);
    if (parts.size() >= 2) {
        Object* t = db.FindObject(parts.size() > 2 ? parts[parts.size() - 3] : QString(), parts[parts.size() - 2]);
        Column* c = t && t->IsType("U") ? t->FindColumn(parts.last()) : nullptr;
        if (!c) throw ErrGeneric(15148, 16, QStringLiteral("The data type or table column '%1' does not exist or you do not have permission.").arg(target));
        if (!rule && bind && c->cdefault) {
            const Object* d = db.FindObject(c->cdefault);
            if (d && d->parent != 0)
                throw ErrGeneric(1781, 16, QStringLiteral("Column already has a DEFAULT bound to it."));
        }
        (rule ? c->domain : c->cdefault) = id;
        db.Touch(*t);
        AddMessage(0, 0, 1, bind ? QStringLiteral("%1 bound to column.").arg(rule ? "Rule" : "Default")
                                 : QStringLiteral("%1 unbound from table column.").arg(rule ? "Rule" : "Default"));
        return;
    }
    UserType* u = nullptr;
    for (UserType& x : db.userTypes)
        if (x.name.compare(target, Qt::CaseInsensitive) == 0) u = &x;
    if (!u) throw ErrGeneric(15148, 16, QStringLiteral("The data type or table column '%1' does not exist or you do not have permission.").arg(target));
    int& slot = rule ? u->domain : u->tdefault;
    const int old = slot;
    slot = id;
    if (!futureOnly)
        for (const auto& [objectId, o] : db.objects)
            for (size_t i = 0; i < o.columns.size(); ++i) {
                const Column& c = o.columns[i];
                if (c.xusertype == u->xusertype && (rule ? c.domain : c.cdefault) == old) {
                    Column& changed = db.FindObject(objectId)->columns[i];
                    (rule ? changed.domain : changed.cdefault) = id;
                }
            }
    AddMessage(0, 0, 1, bind ? QStringLiteral("%1 bound to data type.").arg(rule ? "Rule" : "Default")
                             : QStringLiteral("%1 unbound from data type.").arg(rule ? "Rule" : "Default"));
}

}  // namespace sqlsim
