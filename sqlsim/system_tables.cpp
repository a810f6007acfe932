// The system tables of a database, built from its catalog with SQL Server 2000's columns.
#include "sqlsim/engine.h"
#include "sqlsim/value_ops.h"

namespace sqlsim {

namespace {

// The columns the running query reads (lower case), or null for all of them; and the filter
// of the rows of the table being built, or null.
thread_local const QSet<QString>* t_wanted = nullptr;
thread_local const SystemRowFilter* t_filter = nullptr;

const char* const kCollation = "SQL_Latin1_General_CP1_CI_AS";

// systypes.usertype and syscolumns.usertype: the type numbers from before the extended types;
// the types added since (nchar, nvarchar, ntext, uniqueidentifier, bigint, sql_variant) have 0.
int OldUserType(int xusertype) {
    switch (xusertype) {
    case XChar: return 1;
    case XVarChar: return 2;
    case XBinary: return 3;
    case XVarBinary: return 4;
    case XTinyInt: return 5;
    case XSmallInt: return 6;
    case XInt: return 7;
    case XFloat: return 8;
    case XNumeric: return 10;
    case XMoney: return 11;
    case XDateTime: return 12;
    case XBit: return 16;
    case 256: return 18;  // sysname
    case XText: return 19;
    case XImage: return 20;
    case XSmallMoney: return 21;
    case XSmallDateTime: return 22;
    case XReal: return 23;
    case XDecimal: return 24;
    case XTimestamp: return 80;
    default: return xusertype > 256 ? xusertype : 0;  // user-defined types keep their own number
    }
}

// Collects the columns and rows of a system table. When the query reads only some of its
// columns, a row keeps only those values (the others are dropped as it is added), so that a
// large table never holds its unread values; Wants tells a builder which costly values it may skip.
struct Builder {
    Relation& rel;
    std::vector<size_t> keep;
    bool ready = false, pruning = false;
    const SystemRowFilter* filter = t_filter;  // taken at the start: evaluating it may build other tables
    std::vector<RelColumn> kept;               // the columns a row holds, once ready
    std::vector<Value> row;                    // the row being added; a rejected one leaves its storage here
    explicit Builder(Relation& r) : rel(r) {}
    Builder(const Builder&) = delete;
    Builder& operator=(const Builder&) = delete;
    ~Builder() {
        Prepare();
        if (pruning) rel.columns = std::move(kept);
    }
    void Col(const char* name, int xtype, int length) { rel.columns.push_back(RelColumn{QString(), QString::fromLatin1(name), xtype, length, true}); }
    void Prepare() {
        if (ready) return;
        ready = true;
        if (t_wanted)
            for (size_t i = 0; i < rel.columns.size(); ++i)
                if (t_wanted->contains(rel.columns[i].name.toLower())) keep.push_back(i);
        pruning = t_wanted && keep.size() < rel.columns.size();
        if (pruning)
            for (size_t i : keep) kept.push_back(rel.columns[i]);
        else if (filter)
            kept = rel.columns;
        if (rel.flat) rel.stride = pruning ? keep.size() : rel.columns.size();
    }
    // Room for the given number of rows (they need not all come).
    void ReserveRows(size_t n) {
        Prepare();
        if (rel.flat) rel.cells.reserve(n * rel.stride);
        else rel.rows.reserve(n);
    }
    // Whether the query reads the column (declared with Col before).
    bool Wants(const char* name) {
        Prepare();
        if (!pruning) return true;
        for (size_t i : keep)
            if (rel.columns[i].name == QLatin1String(name)) return true;
        return false;
    }
    // One row whose values come from value(i), i a column's position: only the columns kept are
    // asked for, so a builder need not compute a value nobody reads.
    template <class F>
    void AddBy(F value) {
        Prepare();
        if (rel.flat && !filter) {
            // Straight into the table's block of values.
            if (!pruning)
                for (size_t i = 0; i < rel.columns.size(); ++i) rel.cells.push_back(value(i));
            else
                for (size_t i : keep) rel.cells.push_back(value(i));
            ++rel.flatRows;
            return;
        }
        row.clear();
        if (!pruning) {
            row.reserve(rel.columns.size());
            for (size_t i = 0; i < rel.columns.size(); ++i) row.push_back(value(i));
        } else {
            row.reserve(keep.size());
            for (size_t i : keep) row.push_back(value(i));
        }
        Finish();
    }
    // One row: a value for every column, in order.
    void Add(std::initializer_list<Value> values) { Add(values.begin(), values.size()); }
    void Add(const std::vector<Value>& values) { Add(values.data(), values.size()); }
    void Add(const Value* values, size_t count) {
        AddBy([&](size_t i) -> Value { return i < count ? values[i] : Value::Null(); });
    }
    // The row goes into the table unless the filter rejects it.
    void Finish() {
        if (filter && !(*filter)(kept, row)) return;
        if (rel.flat) {
            for (Value& v : row) rel.cells.push_back(std::move(v));
            ++rel.flatRows;
            return;
        }
        rel.rows.push_back(std::move(row));
        row = std::vector<Value>();
    }
};

Value I(long long v, int xt = XInt) { return Value::Int(v, xt); }
Value S(const QString& s, int xt = XNVarChar) { return Value::String(s, xt); }
Value N(int xt = XInt) { return Value::Null(xt); }
Value B(const QByteArray& b, int xt = XVarBinary) { return b.isNull() ? Value::Null(xt) : Value::Binary(b, xt); }
Value D(const QDateTime& t) { return Value::DateTime(t, XDateTime); }

// The objects a system table is built from: all of them, or only the given ids (ascending), when
// the query names the rows it wants (WHERE id = OBJECT_ID(...)).
template <class F>
void ForObjects(const Database& db, const std::vector<int>* ids, F f) {
    if (!ids) {
        for (const Object* o : db.objects.Ordered()) f(o->id, *o);
        return;
    }
    for (int id : *ids)
        if (const Object* o = db.FindObject(id)) f(id, *o);
}

int SysStat(const Object& o) {
    int base = 0;
    if (o.IsType("S")) base = 1;
    else if (o.IsType("V")) base = 2;
    else if (o.IsType("U")) base = 3;
    else if (o.IsType("P") || o.IsType("X")) base = 4;
    else if (o.IsType("D")) base = 6;
    else if (o.IsType("R")) base = 7;
    else if (o.IsType("TR")) base = 8;
    else if (o.IsType("PK") || o.IsType("UQ") || o.IsType("F") || o.IsType("C")) base = 9;
    else if (o.IsType("FN") || o.IsType("IF") || o.IsType("TF")) base = 0;
    return base | 0x20;  // 0x20: the object has been used / is resident, as on a real server
}

int ObjectStatus(const Object& o) {
    int st = 0;
    if (o.msShipped) st |= static_cast<int>(0x80000000u);
    if (o.IsType("C")) {
        if (o.checkColumn) st |= 2;
        if (o.disabled) st |= 256;
        if (o.notForRepl) st |= 1024;
    }
    if (o.IsType("F")) {
        if (o.disabled) st |= 256;
        if (o.notForRepl) st |= 1024;
    }
    if (o.IsType("D") && o.parent) st |= 2;
    return st;
}

int FirstTrigger(const Database& db, const Object& table, int kind) {
    if (!table.IsType("U")) return 0;
    for (int id : db.Children(table.id)) {
        const Object& o = *db.FindObject(id);
        if (!o.IsType("TR")) continue;
        if ((kind == 0 && o.trigInsert) || (kind == 1 && o.trigUpdate) || (kind == 2 && o.trigDelete)) return id;
    }
    return 0;
}

// An object's type as the two characters of sysobjects.xtype and type: the usual ones shared, not
// padded anew for every row.
QString PaddedType(const QString& type) {
    static const QString common[] = {QStringLiteral("U "), QStringLiteral("V "), QStringLiteral("P "), QStringLiteral("F "),
                                     QStringLiteral("C "), QStringLiteral("D "), QStringLiteral("K "), QStringLiteral("S ")};
    if (type.size() == 1)
        for (const QString& c : common)
            if (c[0] == type[0]) return c;
    return type.leftJustified(2, u' ');
}

void SysObjects(const Database& db, Relation& rel, const std::vector<int>* ids) {
    Builder b(rel);
    b.Col("name", XNVarChar, 256); b.Col("id", XInt, 4); b.Col("xtype", XChar, 2); b.Col("uid", XSmallInt, 2);
    b.Col("info", XSmallInt, 2); b.Col("status", XInt, 4); b.Col("base_schema_ver", XInt, 4);
    b.Col("replinfo", XInt, 4); b.Col("parent_obj", XInt, 4); b.Col("crdate", XDateTime, 8);
    b.Col("ftcatid", XSmallInt, 2); b.Col("schema_ver", XInt, 4); b.Col("stats_schema_ver", XInt, 4);
    b.Col("type", XChar, 2); b.Col("userstat", XSmallInt, 2); b.Col("sysstat", XSmallInt, 2);
    b.Col("indexdel", XSmallInt, 2); b.Col("refdate", XDateTime, 8); b.Col("version", XInt, 4);
    b.Col("deltrig", XInt, 4); b.Col("instrig", XInt, 4); b.Col("updtrig", XInt, 4); b.Col("seltrig", XInt, 4);
    b.Col("category", XInt, 4); b.Col("cache", XSmallInt, 2);
    b.ReserveRows(ids ? ids->size() : db.objects.size());
    ForObjects(db, ids, [&](int id, const Object& o) {
        b.AddBy([&](size_t column) -> Value {
            switch (column) {
            case 0: return S(o.name);
            case 1: return I(id);
            case 2: return S(PaddedType(o.type), XChar);
            case 3: return I(o.uid, XSmallInt);
            case 5: return I(ObjectStatus(o));
            case 6:
            case 11: return I(o.schemaVer);
            case 8: return I(o.parent);
            case 9:
            case 17: return D(o.created);
            case 10: return I(o.fullTextCatalog, XSmallInt);
            // The older type column has one code, K, for PRIMARY KEY and UNIQUE constraints.
            case 13: return S(PaddedType(o.IsType("PK") || o.IsType("UQ") ? QStringLiteral("K") : o.type), XChar);
            case 14: return I(o.IsType("U") ? 1 : 0, XSmallInt);
            case 15: return I(SysStat(o), XSmallInt);
            case 19: return I(o.IsType("U") ? FirstTrigger(db, o, 2) : 0);
            case 20: return I(o.IsType("U") ? FirstTrigger(db, o, 0) : 0);
            case 21: return I(o.IsType("U") ? FirstTrigger(db, o, 1) : 0);
            case 23: return I(o.msShipped ? 2 : 0);
            case 4:
            case 16:
            case 24: return I(0, XSmallInt);
            default: return I(0);  // replinfo, stats_schema_ver, version, seltrig
            }
        });
    });
}

void SysColumns(const Database& db, Relation& rel, const std::vector<int>* ids) {
    Builder b(rel);
    b.Col("name", XNVarChar, 256); b.Col("id", XInt, 4); b.Col("xtype", XTinyInt, 1); b.Col("typestat", XTinyInt, 1);
    b.Col("xusertype", XSmallInt, 2); b.Col("length", XSmallInt, 2); b.Col("xprec", XTinyInt, 1);
    b.Col("xscale", XTinyInt, 1); b.Col("colid", XSmallInt, 2); b.Col("xoffset", XSmallInt, 2);
    b.Col("bitpos", XTinyInt, 1); b.Col("reserved", XTinyInt, 1); b.Col("colstat", XSmallInt, 2);
    b.Col("cdefault", XInt, 4); b.Col("domain", XInt, 4); b.Col("number", XSmallInt, 2);
    b.Col("colorder", XSmallInt, 2); b.Col("autoval", XVarBinary, 255); b.Col("offset", XSmallInt, 2);
    b.Col("collationid", XInt, 4); b.Col("language", XInt, 4); b.Col("status", XTinyInt, 1);
    b.Col("type", XTinyInt, 1); b.Col("usertype", XSmallInt, 2); b.Col("printfmt", XVarChar, 255);
    b.Col("prec", XSmallInt, 2); b.Col("scale", XInt, 4); b.Col("iscomputed", XInt, 4);
    b.Col("isoutparam", XInt, 4); b.Col("isnullable", XInt, 4); b.Col("collation", XNVarChar, 256);
    b.Col("tdscollation", XBinary, 5);
    size_t count = 0;
    ForObjects(db, ids, [&](int, const Object& o) { count += o.columns.size() + o.params.size(); });
    b.ReserveRows(count);
    ForObjects(db, ids, [&](int id, const Object& o) {
        auto add = [&](const Column& c, int number, bool outParam) {
            const bool isString = IsStringType(c.xtype);
            const bool fixedPrec = c.xtype == XDecimal || c.xtype == XNumeric || IsIntegerType(c.xtype) || c.xtype == XFloat ||
                                   c.xtype == XReal || c.xtype == XMoney || c.xtype == XSmallMoney || c.xtype == XDateTime ||
                                   c.xtype == XSmallDateTime;
            b.AddBy([&](size_t column) -> Value {
                switch (column) {
                case 0: return S(c.name);
                case 1: return I(id);
                case 2:
                case 22: return I(c.xtype, XTinyInt);
                case 4: return I(c.xusertype, XSmallInt);
                case 5: return I(c.length, XSmallInt);
                case 6: return I(fixedPrec ? c.prec : 0, XTinyInt);
                case 7: return I(c.scale, XTinyInt);
                case 8:
                case 16: return I(c.colid, XSmallInt);
                case 12:
                    return I((c.identity ? 1 : 0) | (c.computed ? 4 : 0) | (c.rowGuid ? 8 : 0) | (c.identityNotForRepl ? 0x10 : 0),
                             XSmallInt);
                case 13: return I(c.cdefault);
                case 14: return I(c.domain);
                case 15: return I(number, XSmallInt);
                case 17: return N(XVarBinary);
                case 19: return isString && !c.collation.isEmpty() ? I(872468488) : N();
                case 20: return I(0);
                case 21: return I((c.nullable ? 8 : 0) | (c.identity ? 0x80 : 0) | (outParam ? 0x40 : 0), XTinyInt);
                case 23: return I(OldUserType(c.xusertype), XSmallInt);
                case 24: return N(XVarChar);
                case 25:
                    // text, ntext and image report no precision (their 2^31-1 and 2^30-1 sizes do not
                    // fit the smallint column), nor does uniqueidentifier.
                    if (fixedPrec) return I(c.prec, XSmallInt);
                    if (c.xtype == XText || c.xtype == XNText || c.xtype == XImage || c.xtype == XUniqueIdentifier)
                        return I(0, XSmallInt);
                    if (isString) return I(IsUnicodeType(c.xtype) ? c.length / 2 : c.length, XSmallInt);
                    return IsBinaryType(c.xtype) ? I(c.length, XSmallInt) : N(XSmallInt);
                case 26:
                    if (c.xtype == XDecimal || c.xtype == XNumeric || IsIntegerType(c.xtype) || c.xtype == XMoney ||
                        c.xtype == XSmallMoney)
                        return I(c.scale);
                    return c.xtype == XDateTime ? I(3) : c.xtype == XSmallDateTime ? I(0) : N();
                case 27: return I(c.computed ? 1 : 0);
                case 28: return I(outParam ? 1 : 0);
                case 29: return I(c.nullable ? 1 : 0);
                case 30: return isString ? S(c.collation.isEmpty() ? QString::fromLatin1(kCollation) : c.collation) : N(XNVarChar);
                case 31: return N(XBinary);
                case 3:
                case 10:
                case 11: return I(0, XTinyInt);
                default: return I(0, XSmallInt);  // xoffset, offset
                }
            });
        };
        for (const Column& c : o.columns) add(c, 0, false);
        int colid = 0;
        for (const ProcParam& p : o.params) {
            Column c = ColumnFromType(db, p.type);
            c.name = p.name;
            c.colid = ++colid;
            c.nullable = true;
            add(c, 1, p.output);
        }
    });
}


void SysTypes(const Database& db, Relation& rel) {
    Builder b(rel);
    b.Col("name", XNVarChar, 256); b.Col("xtype", XTinyInt, 1); b.Col("status", XTinyInt, 1);
    b.Col("xusertype", XSmallInt, 2); b.Col("length", XSmallInt, 2); b.Col("xprec", XTinyInt, 1);
    b.Col("xscale", XTinyInt, 1); b.Col("tdefault", XInt, 4); b.Col("domain", XInt, 4); b.Col("uid", XSmallInt, 2);
    b.Col("reserved", XSmallInt, 2); b.Col("collationid", XInt, 4); b.Col("usertype", XSmallInt, 2);
    b.Col("variable", XBit, 1); b.Col("allownulls", XBit, 1); b.Col("type", XTinyInt, 1);
    b.Col("printfmt", XVarChar, 255); b.Col("prec", XSmallInt, 2); b.Col("scale", XTinyInt, 1);
    b.Col("collation", XNVarChar, 256);
    static const int order[] = {XImage, XText, XUniqueIdentifier, XTinyInt, XSmallInt, XInt, XSmallDateTime, XReal,
                                XMoney, XDateTime, XFloat, XSqlVariant, XNText, XBit, XDecimal, XNumeric, XSmallMoney,
                                XBigInt, XVarBinary, XVarChar, XBinary, XChar, XTimestamp, XNVarChar, XNChar};
    for (int xt : order) {
        const BuiltinType* t = FindBuiltinType(xt);
        int length = t->variable ? (IsUnicodeType(xt) ? 8000 : IsStringType(xt) || IsBinaryType(xt) ? 8000 : 17) : t->length;
        if (xt == XDecimal || xt == XNumeric) length = 17;
        bool str = IsStringType(xt);
        b.Add({S(QString::fromLatin1(t->name)), I(xt, XTinyInt), I(0, XTinyInt), I(xt, XSmallInt), I(length, XSmallInt),
                   I(t->prec, XTinyInt), I(t->scale, XTinyInt), I(0), I(0), I(4, XSmallInt), I(0, XSmallInt),
                   str ? I(872468488) : N(), I(OldUserType(xt), XSmallInt), I(t->variable ? 1 : 0, XBit), I(1, XBit),
                   I(xt, XTinyInt), N(XVarChar), I(str ? length / (IsUnicodeType(xt) ? 2 : 1) : t->prec, XSmallInt),
                   I(t->scale, XTinyInt), str ? S(QString::fromLatin1(kCollation)) : N(XNVarChar)});
    }
    b.Add({S(QStringLiteral("sysname")), I(XNVarChar, XTinyInt), I(0, XTinyInt), I(256, XSmallInt), I(256, XSmallInt),
               I(0, XTinyInt), I(0, XTinyInt), I(0), I(0), I(4, XSmallInt), I(0, XSmallInt), I(872468488),
               I(18, XSmallInt), I(1, XBit), I(0, XBit), I(XNVarChar, XTinyInt), N(XVarChar), I(128, XSmallInt),
               I(0, XTinyInt), S(QString::fromLatin1(kCollation))});
    for (const UserType& u : db.userTypes) {
        bool str = IsStringType(u.xtype);
        b.Add({S(u.name), I(u.xtype, XTinyInt), I(0, XTinyInt), I(u.xusertype, XSmallInt), I(u.length, XSmallInt),
                   I(u.prec, XTinyInt), I(u.scale, XTinyInt), I(u.tdefault), I(u.domain), I(u.uid, XSmallInt), I(0, XSmallInt),
                   str ? I(872468488) : N(), I(u.xusertype, XSmallInt), I(0, XBit), I(u.allowNulls ? 1 : 0, XBit),
                   I(u.xtype, XTinyInt), N(XVarChar), I(str ? u.length / (IsUnicodeType(u.xtype) ? 2 : 1) : u.prec, XSmallInt),
                   I(u.scale, XTinyInt), str ? S(QString::fromLatin1(kCollation)) : N(XNVarChar)});
    }
}

void SysComments(const Database& db, Relation& rel, const std::vector<int>* ids) {
    Builder b(rel);
    b.Col("id", XInt, 4); b.Col("number", XSmallInt, 2); b.Col("colid", XSmallInt, 2); b.Col("status", XSmallInt, 2);
    b.Col("ctext", XVarBinary, 8000); b.Col("texttype", XSmallInt, 2); b.Col("language", XSmallInt, 2);
    b.Col("encrypted", XBit, 1); b.Col("compressed", XBit, 1); b.Col("text", XNVarChar, 8000);
    const bool binaryText = b.Wants("ctext");
    ForObjects(db, ids, [&](int id, const Object& o) {
        for (const auto& [number, text] : o.texts) {
            // Definitions are kept in chunks of 4000 characters.
            int colid = 0;
            for (int pos = 0; pos < text.size() || pos == 0; pos += 4000) {
                QString chunk = text.mid(pos, 4000);
                // An encrypted definition shows no text (status bit 1, the "encrypted" column).
                if (o.encrypted)
                    b.Add({I(id), I(number, XSmallInt), I(++colid, XSmallInt), I(1, XSmallInt), N(XVarBinary),
                               I(2, XSmallInt), I(0, XSmallInt), I(1, XBit), I(0, XBit), N(XNVarChar)});
                else
                    b.Add({I(id), I(number, XSmallInt), I(++colid, XSmallInt), I(0, XSmallInt),
                               binaryText ? B(QByteArray(reinterpret_cast<const char*>(chunk.utf16()), chunk.size() * 2), XVarBinary) : N(XVarBinary),
                               I(2, XSmallInt), I(0, XSmallInt), I(0, XBit), I(0, XBit), S(chunk)});
                if (text.isEmpty()) break;
            }
        }
    });
}

void SysIndexes(const Database& db, Relation& rel, const std::vector<int>* ids) {
    Builder b(rel);
    b.Col("id", XInt, 4); b.Col("status", XInt, 4); b.Col("first", XBinary, 6); b.Col("indid", XSmallInt, 2);
    b.Col("root", XBinary, 6); b.Col("minlen", XSmallInt, 2); b.Col("keycnt", XSmallInt, 2); b.Col("groupid", XSmallInt, 2);
    b.Col("dpages", XInt, 4); b.Col("reserved", XInt, 4); b.Col("used", XInt, 4); b.Col("rowcnt", XBigInt, 8);
    b.Col("rowmodctr", XInt, 4); b.Col("xmaxlen", XSmallInt, 2); b.Col("maxirow", XSmallInt, 2);
    b.Col("OrigFillFactor", XTinyInt, 1); b.Col("StatVersion", XTinyInt, 1); b.Col("FirstIAM", XBinary, 6);
    b.Col("impid", XSmallInt, 2); b.Col("lockflags", XSmallInt, 2); b.Col("pgmodctr", XInt, 4);
    b.Col("keys", XVarBinary, 1088); b.Col("name", XNVarChar, 256); b.Col("statblob", XImage, 16);
    b.Col("maxlen", XInt, 4); b.Col("rows", XInt, 4);
    ForObjects(db, ids, [&](int id, const Object& o) {
        if (!o.IsTable()) return;
        const long long rows = static_cast<long long>(o.rows.size());
        auto add = [&](int indid, int status, int keycnt, int groupid, int fill, const QString& name) {
            b.AddBy([&](size_t column) -> Value {
                switch (column) {
                case 0: return I(id);
                case 1: return I(status);
                case 3: return I(indid, XSmallInt);
                case 6: return I(keycnt, XSmallInt);
                case 7: return I(groupid, XSmallInt);
                case 8: return I(rows / 50 + 1);
                case 9:
                case 10: return I(rows / 50 + 2);
                case 11: return I(rows, XBigInt);
                case 12:
                case 20: return I(0);
                case 15: return I(fill, XTinyInt);
                case 16: return I(0, XTinyInt);
                case 2:
                case 4:
                case 17: return N(XBinary);
                case 21: return N(XVarBinary);
                case 22: return S(name);
                case 23: return N(XImage);
                case 24: return I(8000);
                case 25: return I(static_cast<int>(rows));
                default: return I(0, XSmallInt);  // minlen, xmaxlen, maxirow, impid, lockflags
                }
            });
        };
        bool clustered = false;
        for (const IndexInfo& ix : o.indexes) clustered = clustered || ix.clustered;
        if (!clustered) {
            // The heap row.
            int g = 1;
            for (const IndexInfo& ix : o.indexes)
                if (ix.indid == 0) g = ix.groupid;
            add(0, 0, 0, g, 0, o.name);
        }
        for (const IndexInfo& ix : o.indexes) {
            if (ix.indid == 0 || ix.indid == 255) continue;
            int status = ix.status;
            if (ix.unique) status |= 2;
            if (ix.clustered) status |= 16;
            if (ix.padIndex) status |= 256;
            if (ix.constraintId) {
                const Object* k = db.FindObject(ix.constraintId);
                if (k && k->IsType("PK")) status |= 2048;
                if (k && k->IsType("UQ")) status |= 4096;
            }
            add(ix.indid, status, static_cast<int>(ix.keys.size()) + (ix.clustered ? 0 : 1), ix.groupid, ix.fillFactor, ix.name);
        }
        for (const IndexInfo& ix : o.indexes)
            if (ix.indid == 255) add(255, 0, 0, ix.groupid, 0, QStringLiteral("t") + o.name);
    });
}

void SysIndexKeys(const Database& db, Relation& rel, const std::vector<int>* ids) {
    Builder b(rel);
    b.Col("id", XInt, 4); b.Col("indid", XSmallInt, 2); b.Col("colid", XSmallInt, 2); b.Col("keyno", XSmallInt, 2);
    ForObjects(db, ids, [&](int id, const Object& o) {
        for (const IndexInfo& ix : o.indexes) {
            if (ix.indid == 0 || ix.indid == 255) continue;
            int keyno = 0;
            for (int colid : ix.keys) b.Add({I(id), I(ix.indid, XSmallInt), I(colid, XSmallInt), I(++keyno, XSmallInt)});
        }
    });
}

void SysForeignKeys(const Database& db, Relation& rel) {
    Builder b(rel);
    b.Col("constid", XInt, 4); b.Col("fkeyid", XInt, 4); b.Col("rkeyid", XInt, 4); b.Col("fkey", XSmallInt, 2);
    b.Col("rkey", XSmallInt, 2); b.Col("keyno", XSmallInt, 2);
    for (const auto& [id, o] : db.objects) {
        if (!o.IsType("F")) continue;
        for (size_t i = 0; i < o.fkeys.size() && i < o.rkeys.size(); ++i)
            b.Add({I(id), I(o.parent), I(o.refTable), I(o.fkeys[i], XSmallInt), I(o.rkeys[i], XSmallInt),
                       I(static_cast<int>(i) + 1, XSmallInt)});
    }
}

void SysReferences(const Database& db, Relation& rel) {
    Builder b(rel);
    b.Col("constid", XInt, 4); b.Col("fkeyid", XInt, 4); b.Col("rkeyid", XInt, 4); b.Col("rkeyindid", XSmallInt, 2);
    b.Col("keycnt", XSmallInt, 2); b.Col("forkeys", XVarBinary, 32); b.Col("refkeys", XVarBinary, 32);
    b.Col("fkeydbid", XSmallInt, 2); b.Col("rkeydbid", XSmallInt, 2);
    static const char* const fk[] = {"fkey1", "fkey2", "fkey3", "fkey4", "fkey5", "fkey6", "fkey7", "fkey8",
                                     "fkey9", "fkey10", "fkey11", "fkey12", "fkey13", "fkey14", "fkey15", "fkey16"};
    static const char* const rk[] = {"rkey1", "rkey2", "rkey3", "rkey4", "rkey5", "rkey6", "rkey7", "rkey8",
                                     "rkey9", "rkey10", "rkey11", "rkey12", "rkey13", "rkey14", "rkey15", "rkey16"};
    for (const char* n : fk) b.Col(n, XSmallInt, 2);
    for (const char* n : rk) b.Col(n, XSmallInt, 2);
    // Only the values of the columns kept are made (a query reads few of the 41).
    auto keys = [](const std::vector<int>& columns) {
        QByteArray bytes;
        for (int k : columns) {
            bytes.append(static_cast<char>(k & 0xff));
            bytes.append(static_cast<char>(k >> 8));
        }
        return B(bytes);
    };
    for (const auto& [id, o] : db.objects) {
        if (!o.IsType("F")) continue;
        b.AddBy([&, id = id, &o = o](size_t column) -> Value {
            switch (column) {
            case 0: return I(id);
            case 1: return I(o.parent);
            case 2: return I(o.refTable);
            case 3: {
                // The unique index of the referenced table whose keys are the referenced columns.
                int rindid = 0;
                if (const Object* ref = db.FindObject(o.refTable)) {
                    for (const IndexInfo& ix : ref->indexes)
                        if (ix.unique && ix.keys.size() == o.rkeys.size()) {
                            bool same = true;
                            for (size_t i = 0; i < ix.keys.size(); ++i)
                                same = same && std::find(o.rkeys.begin(), o.rkeys.end(), ix.keys[i]) != o.rkeys.end();
                            if (same) { rindid = ix.indid; break; }
                        }
                }
                return I(rindid, XSmallInt);
            }
            case 4: return I(static_cast<int>(o.fkeys.size()), XSmallInt);
            case 5: return keys(o.fkeys);
            case 6: return keys(o.rkeys);
            case 7:
            case 8: return I(0, XSmallInt);
            default: {
                // fkey1 .. fkey16, then rkey1 .. rkey16.
                const std::vector<int>& k = column < 25 ? o.fkeys : o.rkeys;
                const size_t i = column < 25 ? column - 9 : column - 25;
                return I(i < k.size() ? k[i] : 0, XSmallInt);
            }
            }
        });
    }
}

void SysUsers(const Database& db, Relation& rel) {
    Builder b(rel);
    b.Col("uid", XSmallInt, 2); b.Col("status", XSmallInt, 2); b.Col("name", XNVarChar, 256); b.Col("sid", XVarBinary, 85);
    b.Col("roles", XVarBinary, 2048); b.Col("createdate", XDateTime, 8); b.Col("updatedate", XDateTime, 8);
    b.Col("altuid", XSmallInt, 2); b.Col("password", XVarBinary, 256); b.Col("gid", XSmallInt, 2);
    b.Col("environ", XVarChar, 255); b.Col("hasdbaccess", XInt, 4); b.Col("islogin", XInt, 4);
    b.Col("isntname", XInt, 4); b.Col("isntgroup", XInt, 4); b.Col("isntuser", XInt, 4); b.Col("issqluser", XInt, 4);
    b.Col("isaliased", XInt, 4); b.Col("issqlrole", XInt, 4); b.Col("isapprole", XInt, 4);
    for (const User& u : db.users) {
        QByteArray sid;
        if (u.hasSid) {
            sid = QByteArray::fromHex("0105000000000009040000");
            sid.append(QByteArray::number(u.uid).rightJustified(8, '0'));
        }
        b.Add({I(u.uid, XSmallInt), I(u.isSqlRole ? 0 : 2, XSmallInt), S(u.name), B(sid), N(XVarBinary),
                   D(u.created), D(u.updated), N(XSmallInt), N(XVarBinary), I(u.isSqlRole ? u.uid : 0, XSmallInt),
                   N(XVarChar), I(u.isSqlUser && u.hasSid ? 1 : 0), I(u.isSqlUser && u.hasSid ? 1 : 0), I(0), I(0), I(0),
                   I(u.isSqlUser ? 1 : 0), I(0), I(u.isSqlRole ? 1 : 0), I(u.isAppRole ? 1 : 0)});
    }
}

void SysMembers(const Database& db, Relation& rel) {
    Builder b(rel);
    b.Col("memberuid", XSmallInt, 2); b.Col("groupuid", XSmallInt, 2);
    for (const auto& [g, m] : db.members) b.Add({I(m, XSmallInt), I(g, XSmallInt)});
}

void SysPermissions(const Database& db, Relation& rel) {
    Builder b(rel);
    b.Col("id", XInt, 4); b.Col("grantee", XSmallInt, 2); b.Col("grantor", XSmallInt, 2); b.Col("actadd", XSmallInt, 2);
    b.Col("actmod", XSmallInt, 2); b.Col("seladd", XVarBinary, 4000); b.Col("selmod", XVarBinary, 4000);
    b.Col("updadd", XVarBinary, 4000); b.Col("updmod", XVarBinary, 4000); b.Col("refadd", XVarBinary, 4000);
    b.Col("refmod", XVarBinary, 4000);
    for (const Permission& p : db.permissions)
        b.Add({I(p.id), I(p.grantee, XSmallInt), I(p.grantor, XSmallInt), I(p.actadd, XSmallInt), I(p.actmod, XSmallInt),
                   B(p.seladd), B(p.selmod), B(p.updadd), B(p.updmod), B(p.refadd), B(p.refmod)});
}

void SysFileGroups(const Database& db, Relation& rel) {
    Builder b(rel);
    b.Col("groupid", XSmallInt, 2); b.Col("allocpolicy", XSmallInt, 2); b.Col("status", XInt, 4); b.Col("groupname", XNVarChar, 256);
    for (const FileGroup& g : db.fileGroups)
        b.Add({I(g.groupid, XSmallInt), I(0, XSmallInt), I(g.isDefault ? 16 : 0), S(g.name)});
}

void SysFiles(const Database& db, Relation& rel) {
    Builder b(rel);
    b.Col("fileid", XSmallInt, 2); b.Col("groupid", XSmallInt, 2); b.Col("size", XInt, 4); b.Col("maxsize", XInt, 4);
    b.Col("growth", XInt, 4); b.Col("status", XInt, 4); b.Col("perf", XInt, 4); b.Col("name", XNChar, 256);
    b.Col("filename", XNChar, 520);
    b.Add({I(1, XSmallInt), I(1, XSmallInt), I(1024), I(-1), I(10), I(0x100002), I(0), S(db.name, XNChar),
               S(QStringLiteral("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\data\\") + db.name + ".mdf", XNChar)});
}

void SysFullTextCatalogs(const Database& db, Relation& rel) {
    Builder b(rel);
    b.Col("ftcatid", XSmallInt, 2); b.Col("name", XNVarChar, 256); b.Col("status", XSmallInt, 2); b.Col("path", XNVarChar, 520);
    for (const FullTextCatalog& c : db.fullTextCatalogs)
        b.Add({I(c.ftcatid, XSmallInt), S(c.name), I(0, XSmallInt), c.path.isEmpty() ? N(XNVarChar) : S(c.path)});
}

void SysDepends(const Database&, Relation& rel) {
    Builder b(rel);
    b.Col("id", XInt, 4); b.Col("depid", XInt, 4); b.Col("number", XSmallInt, 2); b.Col("depnumber", XSmallInt, 2);
    b.Col("status", XSmallInt, 2); b.Col("deporder", XSmallInt, 2); b.Col("depdbid", XSmallInt, 2);
    b.Col("depsiteid", XSmallInt, 2); b.Col("selall", XBit, 1); b.Col("resultobj", XBit, 1); b.Col("readobj", XBit, 1);
}

void SysDatabases(const ServerState& server, Relation& rel) {
    Builder b(rel);
    b.Col("name", XNVarChar, 256); b.Col("dbid", XSmallInt, 2); b.Col("sid", XVarBinary, 85); b.Col("mode", XSmallInt, 2);
    b.Col("status", XInt, 4); b.Col("status2", XInt, 4); b.Col("crdate", XDateTime, 8); b.Col("reserved", XDateTime, 8);
    b.Col("category", XInt, 4); b.Col("cmptlevel", XTinyInt, 1); b.Col("filename", XNVarChar, 520); b.Col("version", XSmallInt, 2);
    std::vector<const Database*> dbs;
    for (const auto& [key, db] : server.databases) dbs.push_back(&db);
    std::sort(dbs.begin(), dbs.end(), [](const Database* a, const Database* c) { return a->dbid < c->dbid; });
    for (const Database* db : dbs)
        b.Add({S(db->name), I(db->dbid, XSmallInt), B(QByteArray::fromHex("01")), I(0, XSmallInt), I(16),
                   I(1090519040), D(db->created), D(db->created), I(0), I(db->cmptlevel, XTinyInt),
                   S(QStringLiteral("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\data\\") + db->name + ".mdf"),
                   I(539, XSmallInt)});
}

void SysAltFiles(const ServerState& server, Relation& rel) {
    Builder b(rel);
    b.Col("fileid", XSmallInt, 2); b.Col("groupid", XSmallInt, 2); b.Col("size", XInt, 4); b.Col("maxsize", XInt, 4);
    b.Col("growth", XInt, 4); b.Col("status", XInt, 4); b.Col("perf", XInt, 4); b.Col("dbid", XSmallInt, 2);
    b.Col("name", XNVarChar, 256); b.Col("filename", XNVarChar, 520); b.Col("createlsn", XBinary, 10);
    b.Col("droplsn", XBinary, 10);
    for (const auto& [key, db] : server.databases) {
        QString dir = QStringLiteral("C:\\Program Files\\Microsoft SQL Server\\MSSQL\\data\\");
        QString dataName = db.name == "master" ? QStringLiteral("master") : db.name;
        b.Add({I(1, XSmallInt), I(1, XSmallInt), I(1024), I(-1), I(10), I(2), I(0), I(db.dbid, XSmallInt),
                   S(db.name == "master" ? QStringLiteral("master") : db.name), S(dir + dataName + ".mdf"), N(XBinary), N(XBinary)});
        b.Add({I(2, XSmallInt), I(0, XSmallInt), I(128), I(-1), I(10), I(0x42), I(0), I(db.dbid, XSmallInt),
                   S(db.name == "master" ? QStringLiteral("mastlog") : db.name + "_log"),
                   S(dir + (db.name == "master" ? QStringLiteral("mastlog") : db.name + "_log") + ".ldf"), N(XBinary), N(XBinary)});
    }
}

}  // namespace

bool IsSystemTableName(const QString& name) {
    static const QSet<QString> names = {"sysobjects", "syscolumns", "systypes", "syscomments", "sysindexes", "sysindexkeys",
                                        "sysreferences", "sysforeignkeys", "sysusers", "sysmembers", "syspermissions",
                                        "sysfilegroups", "sysfiles", "sysfulltextcatalogs", "sysdepends",
                                        "sysdatabases", "sysaltfiles"};
    return names.contains(name.toLower());
}

bool SystemTableKeyedById(const QString& name) {
    static const QSet<QString> names = {"sysobjects", "syscolumns", "syscomments", "sysindexes", "sysindexkeys"};
    return names.contains(name.toLower());
}

namespace {

// Sets the columns read and the row filter of the tables built while it lives.
struct Wanted {
    Wanted(const QSet<QString>* w, const SystemRowFilter* f) : savedWanted(t_wanted), savedFilter(t_filter) {
        t_wanted = w;
        t_filter = f;
    }
    ~Wanted() {
        t_wanted = savedWanted;
        t_filter = savedFilter;
    }
    Wanted(const Wanted&) = delete;
    Wanted& operator=(const Wanted&) = delete;
    const QSet<QString>* savedWanted;
    const SystemRowFilter* savedFilter;
};

// name: lower case. Without a server, the server-wide tables of master are not built.
bool Build(const ServerState* server, const Database& db, const QString& name, Relation& out, const std::vector<int>* ids) {
    if (name == "sysobjects") SysObjects(db, out, ids);
    else if (name == "syscolumns") SysColumns(db, out, ids);
    else if (name == "systypes") SysTypes(db, out);
    else if (name == "syscomments") SysComments(db, out, ids);
    else if (name == "sysindexes") SysIndexes(db, out, ids);
    else if (name == "sysindexkeys") SysIndexKeys(db, out, ids);
    else if (name == "sysreferences") SysReferences(db, out);
    else if (name == "sysforeignkeys") SysForeignKeys(db, out);
    else if (name == "sysusers") SysUsers(db, out);
    else if (name == "sysmembers") SysMembers(db, out);
    else if (name == "syspermissions") SysPermissions(db, out);
    else if (name == "sysfilegroups") SysFileGroups(db, out);
    else if (name == "sysfiles") SysFiles(db, out);
    else if (name == "sysfulltextcatalogs") SysFullTextCatalogs(db, out);
    else if (name == "sysdepends") SysDepends(db, out);
    else if (server && name == "sysdatabases" && db.name.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0) SysDatabases(*server, out);
    else if (server && name == "sysaltfiles" && db.name.compare(QLatin1String("master"), Qt::CaseInsensitive) == 0) SysAltFiles(*server, out);
    else return false;
    return true;
}

// The columns of each system table built from one database alone (lower-case table name ->
// lower-case column names), those whose rows may be kept from one query to the next.
const QHash<QString, QStringList>& DatabaseTableColumns() {
    static const QHash<QString, QStringList> columns = [] {
        QHash<QString, QStringList> out;
        const Database none;
        for (const char* table : {"sysobjects", "syscolumns", "systypes", "syscomments", "sysindexes", "sysindexkeys",
                                  "sysreferences", "sysforeignkeys", "sysusers", "sysmembers", "syspermissions",
                                  "sysfilegroups", "sysfiles", "sysfulltextcatalogs", "sysdepends"}) {
            Relation r;
            const std::vector<int> noIds;
            Wanted all(nullptr, nullptr);
            Build(nullptr, none, QString::fromLatin1(table), r, &noIds);
            QStringList& names = out[QString::fromLatin1(table)];
            for (const RelColumn& c : r.columns) names.push_back(c.name.toLower());
        }
        return out;
    }();
    return columns;
}

// The columns of each table that a catalog read asks for, over all its queries, as bits in the
// table's order. A kept table is built with these from its first query on: the queries of one read
// name a few columns each, and a table kept with only those would be built again for each query
// naming one more (sysobjects six times in a database's first read). The extra columns change no
// answer: a query reads only the columns it names, or all of them through "*".
const QHash<QString, quint64>& CatalogReadColumns() {
    static const QHash<QString, quint64> bits = [] {
        static const char* const read[][2] = {
            {"sysobjects", "name id xtype uid status parent_obj schema_ver type"},
            {"sysusers", "uid status name sid updatedate issqlrole isapprole"},
            {"syspermissions", "*"},
            {"sysfilegroups", "groupid groupname"},
            {"sysindexes", "id status indid groupid name"},
            {"sysreferences", "*"},
            {"syscomments", "id number colid status text"},
            {"sysmembers", "*"},
            {"systypes", "name xtype status xusertype length tdefault domain uid allownulls type prec scale collation"},
            {"syscolumns", "name id xtype xusertype length colid cdefault domain status type prec scale isnullable collation"},
            {"sysindexkeys", "*"},
            {"sysfulltextcatalogs", "name"},
        };
        QHash<QString, quint64> out;
        for (const auto& [table, names] : read) {
            const QStringList all = DatabaseTableColumns().value(QString::fromLatin1(table));
            const QStringList wanted = QString::fromLatin1(names).split(u' ');
            quint64 mask = 0;
            for (qsizetype i = 0; i < all.size(); ++i)
                if (wanted.contains(QStringLiteral("*")) || wanted.contains(all[i])) mask |= quint64(1) << i;
            out.insert(QString::fromLatin1(table), mask);
        }
        return out;
    }();
    return bits;
}

}  // namespace

bool BuildSystemTable(const ServerState& server, const Database& db, const QString& nameIn, Relation& out,
                      const std::vector<int>* ids, const QSet<QString>* columns, const SystemRowFilter* filter) {
    Wanted wanted(columns, filter);
    return Build(&server, db, nameIn.toLower(), out, ids);
}

void DropStaleSystemTables(const Database& db) {
    Database::BuiltTables& cache = db.builtTables;
    const unsigned long long version = CatalogVersion();
    if (cache.version == version) return;
    // The columns are remembered: the next catalog read is likely to ask for the same ones.
    for (auto& [columns, table] : cache.tables) table.reset();
    cache.version = version;
}

std::shared_ptr<const Relation> CachedSystemTable(const Database& db, const QString& nameIn, const QSet<QString>* columns) {
    const QString name = nameIn.toLower();
    const auto all = DatabaseTableColumns().constFind(name);
    if (all == DatabaseTableColumns().constEnd()) return nullptr;
    // The columns read, one bit each in the table's order (no table has more than 64).
    quint64 wanted = 0;
    for (qsizetype i = 0; i < all->size(); ++i)
        if (!columns || columns->contains(all->at(i))) wanted |= quint64(1) << i;
    DropStaleSystemTables(db);
    Database::BuiltTables& cache = db.builtTables;
    // One table per name, with every column a query has read from it so far and those a catalog
    // read asks of it (CatalogReadColumns): the queries of a catalog read ask for different
    // columns of the same tables. A query never names the extra columns (it reads all of them
    // through "*"), so they change no answer.
    auto& [have, table] = cache.tables[name];
    if (table && (have & wanted) == wanted) return table;
    have |= wanted | CatalogReadColumns().value(name);
    QSet<QString> read;
    for (qsizetype i = 0; i < all->size(); ++i)
        if (have & (quint64(1) << i)) read.insert(all->at(i));
    auto built = std::make_shared<Relation>();
    built->flat = true;
    {
        Wanted scope(&read, nullptr);
        Build(nullptr, db, name, *built, nullptr);
    }
    // Built again with more columns for the same state of the catalog, the table has the same
    // rows with the same values in the columns it had: the verdicts of the conditions asked of
    // them so far (which read no other column) hold for the new one.
    if (table && table->verdicts && table->RowCount() == built->RowCount()) built->verdicts = table->verdicts;
    table = built;
    return built;
}

}  // namespace sqlsim
