// Scalar functions, property functions and table resolution.
#include "sqlsim/engine.h"
#include "sqlsim/parser.h"
#include "sqlsim/value_ops.h"

#include <QUuid>
#include <algorithm>
#include <cmath>
#include <utility>

namespace sqlsim {

QStringList SplitObjectNameText(const QString& text) {
    QStringList parts;
    QString cur;
    const int n = static_cast<int>(text.size());
    for (int i = 0; i < n; ++i) {
        QChar c = text[i];
        if (c == u'[' || c == u'"') {
            QChar close = c == u'[' ? u']' : u'"';
            ++i;
            while (i < n) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) { cur += close; i += 2; continue; }
                    break;
                }
                cur += text[i++];
            }
            continue;
        }
        if (c == u'.') { parts << cur; cur.clear(); continue; }
        cur += c;
    }
    parts << cur;
    for (QString& p : parts) p = p.trimmed();
    return parts;
}

Database& Executor::CurrentDb() {
    // The name kept is a copy of the session's, sharing its characters while it is unchanged.
    const QString& current = session_.database;
    if (lookups_.db && ((lookups_.dbName.constData() == current.constData() && lookups_.dbName.size() == current.size()) ||
                        lookups_.dbName == current))
        return *lookups_.db;
    Database* db = server_.Find(session_.database);
    if (!db) db = server_.Find(QStringLiteral("master"));
    if (lookups_.depth > 0) {
        lookups_.db = db;
        lookups_.dbName = session_.database;
    }
    return *db;
}

Database* Executor::DatabaseFor(const QString& name) {
    if (name.isEmpty()) return &CurrentDb();
    return server_.Find(name);
}

const Object* Executor::ObjectByName(const QString& text, Database** dbOut) {
    if (lookups_.named && lookups_.objectText == text && lookups_.objectDbName == session_.database) {
        if (dbOut && lookups_.objectDb) *dbOut = lookups_.objectDb;
        return lookups_.object;
    }
    Database* db = nullptr;
    const Object* found = nullptr;
    QStringList parts = SplitObjectNameText(text);
    if (parts.size() <= 4 && !parts.isEmpty() && !parts.last().isEmpty()) {
        QString name = parts.takeLast();
        QString owner = parts.isEmpty() ? QString() : parts.takeLast();
        QString dbName = parts.isEmpty() ? QString() : parts.takeLast();
        db = DatabaseFor(dbName);
        if (db) found = std::as_const(*db).FindObject(owner, name);
    }
    if (lookups_.depth > 0) {
        lookups_.named = true;
        lookups_.objectText = text;
        lookups_.objectDbName = session_.database;
        lookups_.objectDb = db;
        lookups_.object = found;
    }
    if (dbOut && db) *dbOut = db;
    return found;
}

const Object* Executor::ObjectById(Database& db, int id) {
    if (lookups_.idDb == &db && lookups_.id == id) return lookups_.byId;
    const Object* o = std::as_const(db).FindObject(id);
    if (lookups_.depth > 0) {
        lookups_.idDb = &db;
        lookups_.id = id;
        lookups_.byId = o;
    }
    return o;
}

namespace {

// A property name compared with the lower-case ASCII words of the property functions without
// lowering it first: they run for every row of the catalog queries. A name with characters
// beyond ASCII is lowered as before.
struct PropertyName {
    QString lowered;  // only for a name with characters beyond ASCII
    QStringView text;
    explicit PropertyName(QStringView t) : text(Lowered(t, lowered)) {}
    static QStringView Lowered(QStringView t, QString& lowered) {
        for (QChar c : t)
            if (c.unicode() > 127) {
                lowered = t.toString().toLower();
                return lowered;
            }
        return t;
    }
    // The word's length is known where the call is compiled: most words differ in it.
    template <size_t N>
    bool operator==(const char (&word)[N]) const {
        constexpr qsizetype n = static_cast<qsizetype>(N) - 1;
        if (text.size() != n) return false;
        const QChar* c = text.constData();
        for (qsizetype i = 0; i < n; ++i) {
            char16_t u = c[i].unicode();
            if (u >= u'A' && u <= u'Z') u = static_cast<char16_t>(u + (u'a' - u'A'));
            if (u != static_cast<unsigned char>(word[i])) return false;
        }
        return true;
    }
    bool startsWith(QLatin1String prefix) const { return text.startsWith(prefix, Qt::CaseInsensitive); }
};

Value Bit(bool b) { return Value::Int(b ? 1 : 0, XInt); }
Value NullInt() { return Value::Null(XInt); }

bool IsConstraint(const Object& o) {
    return o.IsType("PK") || o.IsType("UQ") || o.IsType("F") || o.IsType("C") || (o.IsType("D") && o.parent != 0);
}

const IndexInfo* ConstraintIndex(const Database& db, const Object& k) {
    // The index that enforces a PRIMARY KEY or UNIQUE constraint.
    const Object* t = db.FindObject(k.parent);
    if (!t) return nullptr;
    for (const IndexInfo& ix : t->indexes)
        if (ix.constraintId == k.id) return &ix;
    return nullptr;
}

Value ObjectProperty(const Database& db, const Object& o, QStringView propIn) {
    const PropertyName p(propIn);
    auto isCode = [&] { return o.IsType("P") || o.IsType("V") || o.IsType("TR") || o.IsType("FN") || o.IsType("IF") || o.IsType("TF"); };
    if (p == "isusertable") return Bit(o.IsType("U"));
    if (p == "issystemtable") return Bit(o.IsType("S"));
    if (p == "istable") return Bit(o.IsTable());
    if (p == "isview") return Bit(o.IsType("V"));
    if (p == "isprocedure") return Bit(o.IsType("P") || o.IsType("X"));
    if (p == "isextendedproc") return Bit(o.IsType("X"));
    if (p == "isreplproc") return Bit(false);
    if (p == "ismsshipped") return Bit(o.msShipped);
    if (p == "istablefunction") return Bit(o.IsType("TF") || o.IsType("IF"));
    if (p == "isinlinefunction") return Bit(o.IsType("IF"));
    if (p == "isscalarfunction") return Bit(o.IsType("FN"));
    if (p == "istrigger") return Bit(o.IsType("TR"));
    if (p == "isschemabound") return Bit(o.schemaBound);
    if (p == "isencrypted") return Bit(o.encrypted);
    if (p == "isconstraint") return Bit(IsConstraint(o));
    if (p == "isprimarykey") return Bit(o.IsType("PK"));
    if (p == "isforeignkey") return Bit(o.IsType("F"));
    if (p == "ischeckcnst") return Bit(o.IsType("C"));
    if (p == "isdefaultcnst") return Bit(o.IsType("D") && o.parent != 0);
    if (p == "isuniquecnst") return Bit(o.IsType("UQ"));
    if (p == "isdefault") return Bit(o.IsType("D") && o.parent == 0);
    if (p == "isrule") return Bit(o.IsType("R"));
    if (p == "ownerid") return Value::Int(o.uid);
    if (p == "isencrypted") return Bit(false);
    if (p == "isschemabound") return Bit(false);
    if (p == "isdeterministic") return isCode() ? Bit(false) : NullInt();
    if (p == "isindexed") return Bit(o.IsTable() && o.indexes.size() > 1);
    if (p == "isindexable") return Bit(o.IsTable());
    if (p == "isexecuted") return Bit(isCode());
    if (p == "execisansinullson" || p == "isansinullson") return isCode() || p == "isansinullson" ? Bit(o.ansiNulls) : NullInt();
    if (p == "execisquotedidenton" || p == "isquotedidenton") return isCode() || p == "isquotedidenton" ? Bit(o.quotedIdent) : NullInt();
    if (p == "execisinserttrigger") return Bit(o.IsType("TR") && o.trigInsert);
    if (p == "execisupdatetrigger") return Bit(o.IsType("TR") && o.trigUpdate);
    if (p == "execisdeletetrigger") return Bit(o.IsType("TR") && o.trigDelete);
    if (p == "execisaftertrigger") return Bit(o.IsType("TR") && !o.insteadOf);
    if (p == "execisinsteadoftrigger") return Bit(o.IsType("TR") && o.insteadOf);
    if (p == "execisfirstinserttrigger" || p == "execisfirstupdatetrigger" || p == "execisfirstdeletetrigger" ||
        p == "execislastinserttrigger" || p == "execislastupdatetrigger" || p == "execislastdeletetrigger")
        return Bit(false);
    if (p == "execistriggerdisabled") return Bit(o.IsType("TR") && o.disabled);
    if (p == "execisstartup") return Bit(false);
    if (p.startsWith(QLatin1String("cnst"))) {
        if (!IsConstraint(o)) return NullInt();
        if (p == "cnstisclustkey" || p == "cnstisnonclustkey") {
            if (!o.IsType("PK") && !o.IsType("UQ")) return Bit(false);
            const IndexInfo* ix = ConstraintIndex(db, o);
            bool clustered = ix && ix->clustered;
            return Bit(p == "cnstisclustkey" ? clustered : !clustered);
        }
        if (p == "cnstisdisabled") return Bit((o.IsType("F") || o.IsType("C")) && o.disabled);
        if (p == "cnstisnotrepl") return Bit(o.notForRepl);
        if (p == "cnstisdeletecascade") return o.IsType("F") ? Bit(o.cascadeDelete) : Bit(false);
        if (p == "cnstisupdatecascade") return o.IsType("F") ? Bit(o.cascadeUpdate) : Bit(false);
        if (p == "cnstiscolumn") return Bit(o.checkColumn != 0 || (o.IsType("D")));
        if (p == "cnstisnotrusted") return Bit(false);
        return NullInt();
    }
    if (p.startsWith(QLatin1String("table"))) {
        if (!o.IsTable()) return NullInt();
        auto hasChild = [&](const char* type) {
            for (int id : db.Children(o.id))
                if (db.FindObject(id)->IsType(type)) return true;
            return false;
        };
        if (p == "tablehasidentity") {
            for (const Column& c : o.columns) if (c.identity) return Bit(true);
            return Bit(false);
        }
        if (p == "tablehasrowguidcol") {
            for (const Column& c : o.columns) if (c.rowGuid) return Bit(true);
            return Bit(false);
        }
        if (p == "tablehastextimage") {
            for (const Column& c : o.columns)
                if (c.xtype == XText || c.xtype == XNText || c.xtype == XImage) return Bit(true);
            return Bit(false);
        }
        if (p == "tablehasprimarykey") return Bit(hasChild("PK"));
        if (p == "tablehasuniquecnst") return Bit(hasChild("UQ"));
        if (p == "tablehasforeignkey") return Bit(hasChild("F"));
        if (p == "tablehascheckcnst") return Bit(hasChild("C"));
        if (p == "tablehasdefaultcnst") return Bit(hasChild("D"));
        if (p == "tablehasforeignref") {
            for (const auto& [id, c] : db.objects)
                if (c.IsType("F") && c.refTable == o.id) return Bit(true);
            return Bit(false);
        }
        if (p == "tablehasclustindex") {
            for (const IndexInfo& ix : o.indexes) if (ix.clustered) return Bit(true);
            return Bit(false);
        }
        if (p == "tablehasindex") {
            for (const IndexInfo& ix : o.indexes) if (ix.indid > 0 && ix.indid < 255) return Bit(true);
            return Bit(false);
        }
        if (p == "tablehasnonclustindex") {
            for (const IndexInfo& ix : o.indexes) if (ix.indid > 1 && ix.indid < 255) return Bit(true);
            return Bit(false);
        }
        if (p == "tablehasinserttrigger" || p == "tablehasupdatetrigger" || p == "tablehasdeletetrigger") {
            for (int id : db.Children(o.id))
                if (const Object& c = *db.FindObject(id); c.IsType("TR") &&
                    ((p == "tablehasinserttrigger" && c.trigInsert) || (p == "tablehasupdatetrigger" && c.trigUpdate) ||
                     (p == "tablehasdeletetrigger" && c.trigDelete)))
                    return Bit(true);
            return Bit(false);
        }
        if (p == "tablehasactivefulltextindex") return Bit(o.fullTextCatalog != 0 && o.fullTextActive);
        if (p == "tablefulltextcatalogid") return Value::Int(o.fullTextCatalog);
        if (p == "tablefulltextchangetrackingon") return Bit(o.fullTextCatalog != 0 && o.fullTextChangeTracking);
        if (p == "tablefulltextbackgroundupdateindexon") return Bit(o.fullTextCatalog != 0 && o.fullTextBackgroundUpdate);
        if (p == "tablefulltextkeycolumn") {
            if (!o.fullTextCatalog) return Value::Int(0);
            const IndexInfo* ix = o.FindIndex(o.fullTextKeyIndex);
            return Value::Int(ix && !ix->keys.empty() ? ix->keys[0] : 0);
        }
        if (p == "tablefulltextpopulatestatus") return Value::Int(0);
        if (p == "tableisfake") return Bit(false);
        return NullInt();
    }
    if (p == "hasaftertrigger" || p == "hasinserttrigger" || p == "hasupdatetrigger" || p == "hasdeletetrigger") {
        for (int id : db.Children(o.id))
            if (db.FindObject(id)->IsType("TR")) return Bit(true);
        return Bit(false);
    }
    return NullInt();
}

// The column of that name: first the one whose name shares the text's characters (a name read from
// syscolumns.name), as Object::FindColumn does.
const Column* FindColumnByName(const Object& o, QStringView col) {
    for (const Column& c : o.columns)
        if (c.name.constData() == col.data() && c.name.size() == col.size()) return &c;
    for (const Column& c : o.columns)
        if (QStringView(c.name).compare(col, Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

Value ColumnProperty(const Object& o, QStringView col, QStringView propIn) {
    const PropertyName p(propIn);
    const Column* c = FindColumnByName(o, col);
    if (!c) {
        // Parameters of procedures and functions.
        int colid = 0;
        for (const ProcParam& par : o.params) {
            ++colid;
            if (QStringView(par.name).compare(col, Qt::CaseInsensitive) != 0) continue;
            if (p == "isoutparam") return Bit(par.output);
            if (p == "columnid") return Value::Int(colid);
            return NullInt();
        }
        return NullInt();
    }
    if (p == "isidentity") return Bit(c->identity);
    if (p == "isidnotforrepl") return Bit(c->identityNotForRepl);
    if (p == "isrowguidcol") return Bit(c->rowGuid);
    if (p == "allowsnull") return Bit(c->nullable);
    if (p == "iscomputed") return Bit(c->computed);
    if (p == "precision") return Value::Int(IsStringType(c->xtype) ? (IsUnicodeType(c->xtype) ? c->length / 2 : c->length) : c->prec);
    if (p == "scale") return Value::Int(c->scale);
    if (p == "usesansitrim") return Bit(true);
    if (p == "isfulltextindexed") {
        for (const auto& [colid, lang] : o.fullTextColumns) if (colid == c->colid) return Bit(true);
        return Bit(false);
    }
    if (p == "isoutparam") return Bit(false);
    if (p == "columnid") return Value::Int(c->colid);
    if (p == "isdeterministic" || p == "isprecise") return c->computed ? Bit(true) : NullInt();
    return NullInt();
}

Value IndexProperty(const Object& o, QStringView idx, QStringView propIn) {
    const PropertyName p(propIn);
    const IndexInfo* ix = nullptr;
    for (const IndexInfo& i : o.indexes)
        if (i.indid != 0 && i.indid != 255 && QStringView(i.name).compare(idx, Qt::CaseInsensitive) == 0) { ix = &i; break; }
    if (!ix) return NullInt();
    if (p == "isunique") return Bit(ix->unique);
    if (p == "isclustered") return Bit(ix->clustered);
    if (p == "indexfillfactor") return Value::Int(ix->fillFactor);
    if (p == "ispadindex") return Bit(ix->padIndex);
    if (p == "isstatistics") return Bit(ix->statistics);
    if (p == "isautostatistics") return Bit(false);
    if (p == "isfulltextkey") return Bit(o.fullTextCatalog && o.fullTextKeyIndex.compare(ix->name, Qt::CaseInsensitive) == 0);
    if (p == "indexdepth") return Value::Int(1);
    if (p == "isrowlockdisallowed" || p == "ispagelockdisallowed" || p == "ishypothetical") return Bit(false);
    if (p == "indexid") return Value::Int(ix->indid);
    return NullInt();
}

// The properties the catalog queries ask of every row, each answered as ObjectProperty,
// ColumnProperty and IndexProperty answer it. A call whose property name is a constant resolves it
// once (Expr::property); any other property keeps the dispatch by name.
enum PropertyShortcut : signed char {
    kPropertyUnresolved = 0,
    kPropertyByName = 1,
    kObjIsMSShipped, kObjIsUserTable, kObjIsView, kObjIsProcedure, kObjIsExtendedProc, kObjIsTrigger,
    kObjIsScalarFunction, kObjIsTableFunction, kObjIsInlineFunction, kObjExecIsAnsiNullsOn,
    kObjExecIsQuotedIdentOn, kObjIsUniqueCnst, kObjCnstIsClustKey, kObjCnstIsNonclustKey,
    kColIsIdentity, kColIsIdNotForRepl, kColIsRowGuidCol, kColAllowsNull,
    kIdxIsUnique, kIdxIsClustered, kIdxIndexFillFactor, kIdxIsPadIndex, kIdxIsStatistics,
};

signed char ResolveObjectProperty(QStringView name) {
    const PropertyName p(name);
    if (p == "ismsshipped") return kObjIsMSShipped;
    if (p == "isusertable") return kObjIsUserTable;
    if (p == "isview") return kObjIsView;
    if (p == "isprocedure") return kObjIsProcedure;
    if (p == "isextendedproc") return kObjIsExtendedProc;
    if (p == "istrigger") return kObjIsTrigger;
    if (p == "isscalarfunction") return kObjIsScalarFunction;
    if (p == "istablefunction") return kObjIsTableFunction;
    if (p == "isinlinefunction") return kObjIsInlineFunction;
    if (p == "execisansinullson") return kObjExecIsAnsiNullsOn;
    if (p == "execisquotedidenton") return kObjExecIsQuotedIdentOn;
    if (p == "isuniquecnst") return kObjIsUniqueCnst;
    if (p == "cnstisclustkey") return kObjCnstIsClustKey;
    if (p == "cnstisnonclustkey") return kObjCnstIsNonclustKey;
    return kPropertyByName;
}

signed char ResolveColumnProperty(QStringView name) {
    const PropertyName p(name);
    if (p == "isidentity") return kColIsIdentity;
    if (p == "isidnotforrepl") return kColIsIdNotForRepl;
    if (p == "isrowguidcol") return kColIsRowGuidCol;
    if (p == "allowsnull") return kColAllowsNull;
    return kPropertyByName;
}

signed char ResolveIndexProperty(QStringView name) {
    const PropertyName p(name);
    if (p == "isunique") return kIdxIsUnique;
    if (p == "isclustered") return kIdxIsClustered;
    if (p == "indexfillfactor") return kIdxIndexFillFactor;
    if (p == "ispadindex") return kIdxIsPadIndex;
    if (p == "isstatistics") return kIdxIsStatistics;
    return kPropertyByName;
}

bool IsCodeObject(const Object& o) {
    return o.IsType("P") || o.IsType("V") || o.IsType("TR") || o.IsType("FN") || o.IsType("IF") || o.IsType("TF");
}

Value ResolvedObjectProperty(const Database& db, const Object& o, signed char property) {
    switch (property) {
    case kObjIsMSShipped: return Bit(o.msShipped);
    case kObjIsUserTable: return Bit(o.IsType("U"));
    case kObjIsView: return Bit(o.IsType("V"));
    case kObjIsProcedure: return Bit(o.IsType("P") || o.IsType("X"));
    case kObjIsExtendedProc: return Bit(o.IsType("X"));
    case kObjIsTrigger: return Bit(o.IsType("TR"));
    case kObjIsScalarFunction: return Bit(o.IsType("FN"));
    case kObjIsTableFunction: return Bit(o.IsType("TF") || o.IsType("IF"));
    case kObjIsInlineFunction: return Bit(o.IsType("IF"));
    case kObjExecIsAnsiNullsOn: return IsCodeObject(o) ? Bit(o.ansiNulls) : NullInt();
    case kObjExecIsQuotedIdentOn: return IsCodeObject(o) ? Bit(o.quotedIdent) : NullInt();
    case kObjIsUniqueCnst: return Bit(o.IsType("UQ"));
    case kObjCnstIsClustKey:
    case kObjCnstIsNonclustKey: {
        if (!IsConstraint(o)) return NullInt();
        if (!o.IsType("PK") && !o.IsType("UQ")) return Bit(false);
        const IndexInfo* ix = ConstraintIndex(db, o);
        const bool clustered = ix && ix->clustered;
        return Bit(property == kObjCnstIsClustKey ? clustered : !clustered);
    }
    default: return NullInt();
    }
}

Value ResolvedColumnProperty(const Object& o, QStringView col, signed char property) {
    // A name that is no column may be a parameter, which has none of these properties.
    const Column* c = FindColumnByName(o, col);
    if (!c) return NullInt();
    switch (property) {
    case kColIsIdentity: return Bit(c->identity);
    case kColIsIdNotForRepl: return Bit(c->identityNotForRepl);
    case kColIsRowGuidCol: return Bit(c->rowGuid);
    case kColAllowsNull: return Bit(c->nullable);
    default: return NullInt();
    }
}

Value ResolvedIndexProperty(const Object& o, QStringView idx, signed char property) {
    const IndexInfo* ix = nullptr;
    for (const IndexInfo& i : o.indexes)
        if (i.indid != 0 && i.indid != 255 && SameNameNoCase(i.name, idx)) { ix = &i; break; }
    if (!ix) return NullInt();
    switch (property) {
    case kIdxIsUnique: return Bit(ix->unique);
    case kIdxIsClustered: return Bit(ix->clustered);
    case kIdxIndexFillFactor: return Value::Int(ix->fillFactor);
    case kIdxIsPadIndex: return Bit(ix->padIndex);
    case kIdxIsStatistics: return Bit(ix->statistics);
    default: return NullInt();
    }
}

QString Str(double v, int length, int decimals) {
    if (length <= 0 || length > 8000) return QString();
    if (decimals < 0) decimals = 0;
    if (decimals > 16) decimals = 16;
    QString s = QString::number(v, 'f', decimals);
    if (s.size() > length) {
        // Fewer decimals if that makes it fit; otherwise asterisks.
        int intLen = static_cast<int>(QString::number(v, 'f', 0).size());
        if (intLen > length) return QString(length, u'*');
        int dec = length - intLen - 1;
        s = dec > 0 ? QString::number(v, 'f', dec) : QString::number(v, 'f', 0);
    }
    return s.rightJustified(length, u' ');
}

int DatePartCode(const QString& w) {
    const QString p = w.toLower();
    if (p == "year" || p == "yy" || p == "yyyy") return 0;
    if (p == "quarter" || p == "qq" || p == "q") return 1;
    if (p == "month" || p == "mm" || p == "m") return 2;
    if (p == "dayofyear" || p == "dy" || p == "y") return 3;
    if (p == "day" || p == "dd" || p == "d") return 4;
    if (p == "week" || p == "wk" || p == "ww") return 5;
    if (p == "weekday" || p == "dw") return 6;
    if (p == "hour" || p == "hh") return 7;
    if (p == "minute" || p == "mi" || p == "n") return 8;
    if (p == "second" || p == "ss" || p == "s") return 9;
    if (p == "millisecond" || p == "ms") return 10;
    return -1;
}

}  // namespace

namespace {
// A function's name (upper case, as the parser keeps it) compared with the ASCII words of the
// dispatch below without decoding them first: the dispatch runs for every row of a query.
struct FunctionName {
    const QString& text;
    template <size_t N>
    bool operator==(const char (&word)[N]) const {
        constexpr qsizetype n = static_cast<qsizetype>(N) - 1;
        if (text.size() != n) return false;
        const QChar* c = text.constData();
        for (qsizetype i = 0; i < n; ++i)
            if (c[i].unicode() != static_cast<unsigned char>(word[i])) return false;
        return true;
    }
    QString toLower() const { return text.toLower(); }
};
}  // namespace

Value Executor::CallProperty(const Expr& e, const Scope& scope) {
    // The arguments are read in the order the general dispatch reads them, in place.
    Value t0, t1;
    const Value& id = EvalInPlace(*e.args[0], scope, t0);
    const Value& name = e.args.size() > 2 ? EvalInPlace(*e.args[1], scope, t1) : id;
    if (id.IsNull() || name.IsNull()) return NullInt();
    Database& db = CurrentDb();
    const Object* o = ObjectById(db, static_cast<int>(id.AsInt()));
    if (!o) return NullInt();
    if (e.property < kColIsIdentity) return ResolvedObjectProperty(db, *o, e.property);
    QString buffer;
    const QStringView text = name.IsText() ? name.TextView() : QStringView(buffer = name.AsString());
    if (e.property < kIdxIsUnique) return ResolvedColumnProperty(*o, text, e.property);
    return ResolvedIndexProperty(*o, text, e.property);
}

Value Executor::CallFunction(const Expr& e, const Scope& scope) {
    const FunctionName f{e.name};
    auto argc = e.args.size();
    auto arg = [&](size_t i) { return i < argc ? Eval(*e.args[i], scope) : Value::Null(); };
    auto need = [&](size_t lo, size_t hi) {
        if (argc < lo || argc > hi)
            throw ErrGeneric(174, 15, QStringLiteral("The %1 function requires %2 arguments.").arg(f.toLower()).arg(lo));
    };
    auto datePartWord = [&](size_t i) -> int {
        const Expr& a = *e.args[i];
        QString w = a.kind == ExprKind::Column ? a.parts.last() : Eval(a, scope).AsString();
        int code = DatePartCode(w);
        if (code < 0) throw ErrGeneric(155, 15, QStringLiteral("'%1' is not a recognized %2 option.").arg(w, f.toLower()));
        return code;
    };
    auto toDate = [&](const Value& v) { return ConvertTo(v, XDateTime, 8, 0, 0, 0, session_.options.dateFormat); };
    // The current database is looked up only by the functions that use it.
    Database* current = nullptr;
    auto db = [&]() -> Database& { return current ? *current : *(current = &CurrentDb()); };

    if (f == "DEFAULT") throw ErrKeywordNear(QStringLiteral("DEFAULT"));
    if (e.parts.size() >= 2) {
        // owner.function(...): a user-defined scalar function.
        const QString owner = e.parts[e.parts.size() - 2];
        Database* fdb = e.parts.size() >= 3 ? DatabaseFor(e.parts[e.parts.size() - 3]) : &db();
        const Object* fn = fdb ? std::as_const(*fdb).FindObject(owner, e.parts.last()) : nullptr;
        if (!fn || !(fn->IsType("FN") || fn->IsType("IF") || fn->IsType("TF")))
            throw ErrGeneric(208, 16, QStringLiteral("Invalid object name '%1'.").arg(e.parts.join(u'.')));
        std::vector<Value> values;
        for (size_t i = 0; i < argc; ++i) values.push_back(arg(i));
        // What the function's statements look up is not remembered for the calling query.
        struct Suspend {
            explicit Suspend(QueryLookups& l) : lookups(l), depth(l.depth) {
                lookups.Clear();
                lookups.depth = 0;
            }
            ~Suspend() {
                lookups.Clear();
                lookups.depth = depth;
            }
            QueryLookups& lookups;
            int depth;
        } suspend(lookups_);
        return CallUserFunction(*fn, values);
    }
    if (f == "UPDATE" || f == "COLUMNS_UPDATED") return Value::Int(1);  // inside triggers
    // The names are compared in turn: the functions the catalog queries call on every row come first.
    if (f == "QUOTENAME") {
        need(1, 2);
        Value v = arg(0);
        if (v.IsNull()) return Value::Null(XNVarChar);
        QString s = v.AsString();
        if (s.size() > 128) return Value::Null(XNVarChar);
        QString q = argc > 1 ? arg(1).AsString() : QStringLiteral("[");
        QChar open = q.isEmpty() ? u'[' : q[0];
        QChar close = open == u'[' || open == u']' ? u']' : open == u'(' || open == u')' ? u')' : open == u'<' || open == u'>' ? u'>' : open == u'{' || open == u'}' ? u'}' : open;
        if (open == u']') open = u'[';
        if (open == u')') open = u'(';
        if (open == u'>') open = u'<';
        if (open == u'}') open = u'{';
        if (open != u'[' && open != u'"' && open != u'\'' && open != u'(' && open != u'<' && open != u'{' && open != u'`')
            return Value::Null(XNVarChar);
        // One allocation: the catalog queries quote an owner and a name on every row.
        QString quoted;
        quoted.reserve(s.size() + 2);
        quoted += open;
        if (s.contains(close)) {
            for (QChar c : s) {
                quoted += c;
                if (c == close) quoted += c;
            }
        } else {
            quoted += s;
        }
        quoted += close;
        return Value::String(quoted, XNVarChar);
    }
    if (f == "ISNULL") {
        need(2, 2);
        Value a = arg(0);
        if (!a.IsNull()) return a;
        Value b = arg(1);
        if (b.IsNull()) return Value::Null(a.XTypeCode());
        if (IsStringType(a.XTypeCode()) && b.GetKind() == Value::Kind::String) return Value::String(b.AsString(), a.XTypeCode());
        return b;
    }
    if (f == "OBJECT_ID") {
        need(1, 2);
        Value v = arg(0);
        if (v.IsNull()) return NullInt();
        const Object* o = ObjectByName(v.AsString());
        return o ? Value::Int(o->id) : NullInt();
    }
    if (f == "OBJECT_NAME") {
        need(1, 1);
        Value v = arg(0);
        if (v.IsNull()) return Value::Null(XNVarChar);
        const Object* o = std::as_const(db()).FindObject(static_cast<int>(v.AsInt()));
        return o ? Value::String(o->name, XNVarChar) : Value::Null(XNVarChar);
    }
    // The property functions read their arguments in place (a column of the row, a literal):
    // the catalog queries call them on every row.
    Value t0, t1, t2;
    QString s1, s2;
    auto ref = [&](size_t i, Value& tmp) -> const Value& { return EvalInPlace(*e.args[i], scope, tmp); };
    auto text = [](const Value& v, QString& buffer) -> QStringView {
        if (v.IsText()) return v.TextView();
        buffer = v.AsString();
        return buffer;
    };
    // A constant property name is resolved once for the call (Expr::property), and the calls
    // that follow go to CallProperty; a property without a shortcut keeps the dispatch by name.
    auto resolve = [&](signed char (*by)(QStringView)) {
        const Expr& p = *e.args.back();
        if (e.property != kPropertyUnresolved || e.parts.size() > 1) return false;
        e.property = p.kind == ExprKind::Literal && p.value.IsText() ? by(p.value.TextView()) : static_cast<signed char>(kPropertyByName);
        return e.property != kPropertyByName;
    };
    if (f == "OBJECTPROPERTY") {
        need(2, 2);
        if (resolve(ResolveObjectProperty)) return CallProperty(e, scope);
        const Value& id = ref(0, t0);
        const Value& prop = ref(1, t1);
        if (id.IsNull() || prop.IsNull()) return NullInt();
        const Object* o = ObjectById(db(), static_cast<int>(id.AsInt()));
        if (!o) return NullInt();
        return ObjectProperty(db(), *o, text(prop, s1));
    }
    // The name is compared once: COLUMNPROPERTY runs three times on every row of the columns query.
    const bool isColumnProperty = f == "COLUMNPROPERTY";
    if (isColumnProperty || f == "INDEXPROPERTY") {
        need(3, 3);
        if (resolve(isColumnProperty ? ResolveColumnProperty : ResolveIndexProperty)) return CallProperty(e, scope);
        const Value& id = ref(0, t0);
        const Value& name = ref(1, t1);
        const Value& prop = ref(2, t2);
        if (id.IsNull() || name.IsNull() || prop.IsNull()) return NullInt();
        const Object* o = ObjectById(db(), static_cast<int>(id.AsInt()));
        if (!o) return NullInt();
        return isColumnProperty ? ColumnProperty(*o, text(name, s1), text(prop, s2)) : IndexProperty(*o, text(name, s1), text(prop, s2));
    }
    if (f == "INDEXKEY_PROPERTY") {
        need(4, 4);
        const Object* o = arg(0).IsNull() ? nullptr : std::as_const(db()).FindObject(static_cast<int>(arg(0).AsInt()));
        if (!o || arg(1).IsNull() || arg(2).IsNull() || arg(3).IsNull()) return NullInt();
        const long long indid = arg(1).AsInt(), keyno = arg(2).AsInt();
        for (const IndexInfo& ix : o->indexes) {
            if (ix.indid != indid || keyno < 1 || keyno > static_cast<long long>(ix.keys.size())) continue;
            const size_t k = static_cast<size_t>(keyno - 1);
            const QString p = arg(3).AsString().toLower();
            if (p == "columnid") return Value::Int(ix.keys[k]);
            if (p == "isdescending") return Value::Int(k < ix.descending.size() && ix.descending[k] ? 1 : 0);
        }
        return NullInt();
    }
    if (f == "FILEGROUPPROPERTY") {
        need(2, 2);
        Value name = arg(0), prop = arg(1);
        for (const FileGroup& g : db().fileGroups) {
            if (g.name.compare(name.AsString(), Qt::CaseInsensitive) != 0) continue;
            QString p = prop.AsString().toLower();
            if (p == "isdefault") return Bit(g.isDefault);
            if (p == "isreadonly") return Bit(false);
            if (p == "isuserdefinedfg") return Bit(g.groupid != 1);
            return NullInt();
        }
        return NullInt();
    }
    if (f == "DATABASEPROPERTY" || f == "DATABASEPROPERTYEX") {
        need(2, 2);
        Database* d = server_.Find(arg(0).AsString());
        if (!d) return NullInt();
        QString p = arg(1).AsString().toLower();
        if (p == "version") return Value::Int(539);
        if (p == "isfulltextenabled") return Bit(d->fullTextEnabled);
        if (p == "collation")
            return Value::String(d->collation.isEmpty() ? QStringLiteral("SQL_Latin1_General_CP1_CI_AS") : d->collation, XNVarChar);
        if (p == "status") return Value::String(QStringLiteral("ONLINE"), XNVarChar);
        if (p == "updateability") return Value::String(QStringLiteral("READ_WRITE"), XNVarChar);
        if (p == "useraccess") return Value::String(QStringLiteral("MULTI_USER"), XNVarChar);
        if (p == "recovery") return Value::String(QStringLiteral("SIMPLE"), XNVarChar);
        if (p == "istrunclog") return Bit(true);
        if (p == "isansinulldefault" || p == "isansinullsenabled" || p == "isquotedidentifiersenabled" ||
            p == "isansipaddingenabled" || p == "isansiwarningsenabled" || p == "isarithmeticabortenabled" ||
            p == "isautoclose" || p == "isautoshrink" || p == "isreadonly" || p == "issingleuser" || p == "isdetached" ||
            p == "isoffline" || p == "issuspect" || p == "isinload" || p == "isinrecovery" || p == "isinstandby" ||
            p == "isdboonly" || p == "isemergencymode" || p == "isshutdown" || p == "isrecursivetriggersenabled" ||
            p == "isconcatnullyieldsnull" || p == "isnumericroundabortenabled" || p == "islocalcursorsdefault" ||
            p == "istornpagedetectionenabled" || p == "isbulkcopy" || p == "iscloseCursorsoncommitenabled")
            return Bit(false);
        if (p == "isautocreatestatistics" || p == "isautoupdatestatistics") return Bit(true);
        return NullInt();
    }
    if (f == "DB_NAME") {
        if (argc == 0) return Value::String(CurrentDb().name, XNVarChar);
        Value id = arg(0);
        for (const auto& [k, d] : server_.databases)
            if (d.dbid == id.AsInt()) return Value::String(d.name, XNVarChar);
        return Value::Null(XNVarChar);
    }
    if (f == "DB_ID") {
        if (argc == 0) return Value::Int(CurrentDb().dbid, XSmallInt);
        Database* d = server_.Find(arg(0).AsString());
        return d ? Value::Int(d->dbid, XSmallInt) : Value::Null(XSmallInt);
    }
    if (f == "USER_NAME" || f == "USER" || f == "CURRENT_USER" || f == "SESSION_USER") {
        if (argc == 0) return Value::String(QStringLiteral("dbo"), XNVarChar);
        const User* u = db().FindUser(static_cast<int>(arg(0).AsInt()));
        return u ? Value::String(u->name, XNVarChar) : Value::Null(XNVarChar);
    }
    if (f == "USER_ID") {
        if (argc == 0) return Value::Int(1, XSmallInt);
        const User* u = db().FindUser(arg(0).AsString());
        return u ? Value::Int(u->uid, XSmallInt) : Value::Null(XSmallInt);
    }
    if (f == "SUSER_SNAME" || f == "SUSER_NAME" || f == "SYSTEM_USER") return Value::String(QStringLiteral("sa"), XNVarChar);
    if (f == "SUSER_SID") return Value::Binary(QByteArray(1, '\x01'), XVarBinary);
    if (f == "HOST_NAME") return Value::String(QStringLiteral("localhost"), XNVarChar);
    if (f == "APP_NAME") return Value::String(QStringLiteral("sqlsim"), XNVarChar);
    if (f == "IS_MEMBER" || f == "IS_SRVROLEMEMBER" || f == "HAS_DBACCESS") return Value::Int(1);
    if (f == "PERMISSIONS") return Value::Int(0x7fffffff);
    if (f == "IDENT_SEED" || f == "IDENT_INCR" || f == "IDENT_CURRENT") {
        need(1, 1);
        Value v = arg(0);
        if (v.IsNull()) return Value::Null(XNumeric);
        const Object* o = ObjectByName(v.AsString());
        if (!o) return Value::Null(XNumeric);
        for (const Column& c : o->columns) {
            if (!c.identity) continue;
            long long r = f == "IDENT_SEED" ? c.seed : f == "IDENT_INCR" ? c.incr
                        : (o->identityUsed ? o->identityCurrent : c.seed);
            return Value::Decimal(r, 0, XNumeric);
        }
        return Value::Null(XNumeric);
    }
    if (f == "SCOPE_IDENTITY") return session_.lastIdentitySet ? Value::Decimal(session_.lastIdentity, 0, XNumeric) : Value::Null(XNumeric);
    if (f == "COL_NAME") {
        need(2, 2);
        const Object* o = std::as_const(db()).FindObject(static_cast<int>(arg(0).AsInt()));
        long long colid = arg(1).AsInt();
        if (o)
            for (const Column& c : o->columns)
                if (c.colid == colid) return Value::String(c.name, XNVarChar);
        return Value::Null(XNVarChar);
    }
    if (f == "COL_LENGTH") {
        need(2, 2);
        const Object* o = ObjectByName(arg(0).AsString());
        const Column* c = o ? o->FindColumn(arg(1).AsString()) : nullptr;
        return c ? Value::Int(c->length) : NullInt();
    }
    if (f == "INDEX_COL") {
        need(3, 3);
        const Object* o = ObjectByName(arg(0).AsString());
        long long indid = arg(1).AsInt(), keyno = arg(2).AsInt();
        if (o)
            for (const IndexInfo& ix : o->indexes)
                if (ix.indid == indid && keyno >= 1 && keyno <= static_cast<long long>(ix.keys.size()))
                    for (const Column& c : o->columns)
                        if (c.colid == ix.keys[keyno - 1]) return Value::String(c.name, XNVarChar);
        return Value::Null(XNVarChar);
    }
    if (f == "TYPE_NAME") {
        long long xt = arg(0).AsInt();
        if (const BuiltinType* t = FindBuiltinType(static_cast<int>(xt))) return Value::String(QString::fromLatin1(t->name), XNVarChar);
        for (const UserType& u : db().userTypes)
            if (u.xusertype == xt) return Value::String(u.name, XNVarChar);
        return Value::Null(XNVarChar);
    }
    if (f == "TYPEPROPERTY") return NullInt();
    if (f == "FULLTEXTSERVICEPROPERTY") return Value::Int(1);
    if (f == "FULLTEXTCATALOGPROPERTY") return Value::Int(0);
    if (f == "SERVERPROPERTY") {
        QString p = arg(0).AsString().toLower();
        if (p == "productversion") return Value::String(QStringLiteral("8.00.2039"), XNVarChar);
        if (p == "productlevel") return Value::String(QStringLiteral("SP4"), XNVarChar);
        if (p == "edition") return Value::String(QStringLiteral("Developer Edition (simulated)"), XNVarChar);
        if (p == "servername" || p == "machinename") return Value::String(QStringLiteral("SQLSIM"), XNVarChar);
        if (p == "collation") return Value::String(QStringLiteral("SQL_Latin1_General_CP1_CI_AS"), XNVarChar);
        if (p == "isfulltextinstalled") return Value::Int(1);
        return Value::Null(XSqlVariant);
    }
    if (f == "COALESCE") {
        for (size_t i = 0; i < argc; ++i) {
            Value v = arg(i);
            if (!v.IsNull()) return v;
        }
        return Value::Null();
    }
    if (f == "NULLIF") {
        need(2, 2);
        Value a = arg(0), b = arg(1);
        if (!a.IsNull() && !b.IsNull() && CompareValues(a, b) == 0) return Value::Null(a.XTypeCode());
        return a;
    }
    // String functions.
    auto str = [&](const Value& v) {
        return v.GetKind() == Value::Kind::String ? v.AsString() : ConvertTo(v, XVarChar, 8000, 0, 0, 0, session_.options.dateFormat).AsString();
    };
    auto strType = [](const Value& v) { return IsUnicodeType(v.XTypeCode()) ? XNVarChar : XVarChar; };
    if (f == "LTRIM" || f == "RTRIM" || f == "UPPER" || f == "LOWER" || f == "REVERSE") {
        need(1, 1);
        Value v = arg(0);
        if (v.IsNull()) return Value::Null(strType(v));
        QString s = str(v);
        if (f == "LTRIM") { int i = 0; while (i < s.size() && s[i] == u' ') ++i; s = s.mid(i); }
        else if (f == "RTRIM") { int n = static_cast<int>(s.size()); while (n > 0 && s[n - 1] == u' ') --n; s.truncate(n); }
        else if (f == "UPPER") s = s.toUpper();
        else if (f == "LOWER") s = s.toLower();
        else std::reverse(s.begin(), s.end());
        return Value::String(s, strType(v));
    }
    if (f == "STR") {
        need(1, 3);
        Value v = arg(0);
        if (v.IsNull()) return Value::Null(XChar);
        int len = argc > 1 ? static_cast<int>(arg(1).AsInt()) : 10;
        int dec = argc > 2 ? static_cast<int>(arg(2).AsInt()) : 0;
        QString s = Str(v.AsDouble(), len, dec);
        return s.isNull() ? Value::Null(XChar) : Value::String(s, XChar);
    }
    if (f == "REPLACE") {
        need(3, 3);
        Value a = arg(0), b = arg(1), c = arg(2);
        if (a.IsNull() || b.IsNull() || c.IsNull()) return Value::Null(strType(a));
        QString s = str(a);
        if (!str(b).isEmpty()) s.replace(str(b), str(c), ThreadCaseSensitivity());
        return Value::String(s, strType(a));
    }
    if (f == "SUBSTRING") {
        need(3, 3);
        Value a = arg(0), b = arg(1), c = arg(2);
        if (a.IsNull() || b.IsNull() || c.IsNull()) return Value::Null(strType(a));
        long long start = std::clamp(b.AsInt(), -1000000000LL, 1000000000LL), len = std::min(c.AsInt(), 1000000000LL);
        if (len < 0) throw ErrGeneric(536, 16, QStringLiteral("Invalid length parameter passed to the substring function."));
        long long from = std::max(1LL, start), to = start + len;  // exclusive
        if (a.GetKind() == Value::Kind::Binary) {
            QByteArray ba = a.AsBinary();
            return Value::Binary(to <= from ? QByteArray() : ba.mid(from - 1, to - from), XVarBinary);
        }
        QString s = str(a);
        return Value::String(to <= from ? QString() : s.mid(from - 1, to - from), strType(a));
    }
    if (f == "LEFT" || f == "RIGHT") {
        need(2, 2);
        Value a = arg(0), b = arg(1);
        if (a.IsNull() || b.IsNull()) return Value::Null(strType(a));
        long long n = b.AsInt();
        if (n < 0) throw ErrGeneric(536, 16, QStringLiteral("Invalid length parameter passed to the %1 function.").arg(f.toLower()));
        QString s = str(a);
        return Value::String(f == "LEFT" ? s.left(n) : s.right(n), strType(a));
    }
    if (f == "LEN") {
        need(1, 1);
        Value v = arg(0);
        if (v.IsNull()) return NullInt();
        QString s = str(v);
        int n = static_cast<int>(s.size());
        while (n > 0 && s[n - 1] == u' ') --n;
        return Value::Int(n);
    }
    if (f == "DATALENGTH") {
        need(1, 1);
        Value v = arg(0);
        if (v.IsNull()) return NullInt();
        switch (v.GetKind()) {
        case Value::Kind::String: return Value::Int(v.AsString().size() * (IsUnicodeType(v.XTypeCode()) ? 2 : 1));
        case Value::Kind::Binary: return Value::Int(v.AsBinary().size());
        default: {
            const BuiltinType* t = FindBuiltinType(v.XTypeCode());
            return Value::Int(t ? t->length : 8);
        }
        }
    }
    if (f == "CHAR" || f == "NCHAR") {
        need(1, 1);
        Value v = arg(0);
        if (v.IsNull()) return Value::Null(XChar);
        long long c = v.AsInt();
        if (c < 0 || (f == "CHAR" && c > 255)) return Value::Null(XChar);
        return Value::String(QString(QChar(static_cast<char16_t>(c))), f == "CHAR" ? XChar : XNChar);
    }
    if (f == "ASCII" || f == "UNICODE") {
        Value v = arg(0);
        if (v.IsNull() || str(v).isEmpty()) return NullInt();
        return Value::Int(str(v)[0].unicode());
    }
    if (f == "SPACE" || f == "REPLICATE") {
        QString unit = f == "SPACE" ? QStringLiteral(" ") : str(arg(0));
        Value n = f == "SPACE" ? arg(0) : arg(1);
        if (n.IsNull() || n.AsInt() < 0) return Value::Null(XVarChar);
        // Results are limited to 8000 characters, like the server's varchar.
        long long count = std::min<long long>(n.AsInt(), unit.isEmpty() ? 0 : 8000 / unit.size());
        return Value::String(unit.repeated(count), XVarChar);
    }
    if (f == "CHARINDEX") {
        need(2, 3);
        Value a = arg(0), b = arg(1);
        if (a.IsNull() || b.IsNull()) return NullInt();
        long long start = argc > 2 ? std::max(1LL, arg(2).AsInt()) : 1;
        int pos = static_cast<int>(str(b).indexOf(str(a), static_cast<int>(start - 1), ThreadCaseSensitivity()));
        return Value::Int(pos + 1);
    }
    if (f == "PATINDEX") {
        need(2, 2);
        Value a = arg(0), b = arg(1);
        if (a.IsNull() || b.IsNull()) return NullInt();
        QString s = str(b);
        auto pattern = std::make_shared<Expr>();
        pattern->kind = ExprKind::Literal;
        for (int i = 0; i < s.size(); ++i) {
            Expr like;
            like.kind = ExprKind::Like;
            auto l = std::make_shared<Expr>();
            l->value = Value::String(s.mid(i));
            auto p = std::make_shared<Expr>();
            QString pat = str(a);
            if (pat.startsWith(u'%')) pat.remove(0, 1);
            p->value = Value::String(pat);
            like.args = {l, p};
            if (EvalPredicate(like, scope)) return Value::Int(i + 1);
        }
        return Value::Int(0);
    }
    if (f == "STUFF") {
        need(4, 4);
        Value a = arg(0);
        if (a.IsNull()) return a;
        QString s = str(a);
        long long start = arg(1).AsInt(), len = arg(2).AsInt();
        if (start < 1 || start > s.size() || len < 0) return Value::Null(strType(a));
        s.replace(static_cast<int>(start - 1), static_cast<int>(len), str(arg(3)));
        return Value::String(s, strType(a));
    }
    // Dates.
    if (f == "GETDATE" || f == "GETUTCDATE") {
        QDateTime now = QDateTime::currentDateTimeUtc();
        if (f == "GETDATE") now = QDateTime(QDateTime::currentDateTime().date(), QDateTime::currentDateTime().time(), Qt::UTC);
        return Value::DateTime(now, XDateTime);
    }
    if (f == "DATEPART" || f == "DATENAME") {
        need(2, 2);
        int part = datePartWord(0);
        Value v = arg(1);
        if (v.IsNull()) return f == "DATEPART" ? NullInt() : Value::Null(XNVarChar);
        QDateTime t = toDate(v).AsDateTime();
        QDate d = t.date();
        long long r = 0;
        switch (part) {
        case 0: r = d.year(); break;
        case 1: r = (d.month() - 1) / 3 + 1; break;
        case 2: r = d.month(); break;
        case 3: r = d.dayOfYear(); break;
        case 4: r = d.day(); break;
        case 5: r = (d.dayOfYear() + QDate(d.year(), 1, 1).dayOfWeek() % 7 - 1) / 7 + 1; break;
        case 6: r = d.dayOfWeek() % 7 + 1; break;
        case 7: r = t.time().hour(); break;
        case 8: r = t.time().minute(); break;
        case 9: r = t.time().second(); break;
        default: r = t.time().msec(); break;
        }
        if (f == "DATENAME") {
            static const char* const months[] = {"January", "February", "March", "April", "May", "June", "July",
                                                 "August", "September", "October", "November", "December"};
            static const char* const days[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
            if (part == 2) return Value::String(QString::fromLatin1(months[d.month() - 1]), XNVarChar);
            if (part == 6) return Value::String(QString::fromLatin1(days[d.dayOfWeek() % 7]), XNVarChar);
            return Value::String(QString::number(r), XNVarChar);
        }
        return Value::Int(r);
    }
    if (f == "YEAR" || f == "MONTH" || f == "DAY") {
        need(1, 1);
        Value v = arg(0);
        if (v.IsNull()) return NullInt();
        QDate d = toDate(v).AsDateTime().date();
        return Value::Int(f == "YEAR" ? d.year() : f == "MONTH" ? d.month() : d.day());
    }
    if (f == "DATEADD") {
        need(3, 3);
        int part = datePartWord(0);
        Value n = arg(1), v = arg(2);
        if (n.IsNull() || v.IsNull()) return Value::Null(XDateTime);
        QDateTime t = toDate(v).AsDateTime();
        long long k = n.AsInt();
        const SqlError overflow = ErrGeneric(517, 16, QStringLiteral("Adding a value to a 'datetime' column caused overflow."));
        if (k > 3000000000LL || k < -3000000000LL) throw overflow;
        switch (part) {
        case 0: t = t.addYears(static_cast<int>(k)); break;
        case 1: t = t.addMonths(static_cast<int>(k * 3)); break;
        case 2: t = t.addMonths(static_cast<int>(k)); break;
        case 5: t = t.addDays(k * 7); break;
        case 7: t = t.addSecs(k * 3600); break;
        case 8: t = t.addSecs(k * 60); break;
        case 9: t = t.addSecs(k); break;
        case 10: t = t.addMSecs(k); break;
        default: t = t.addDays(k); break;
        }
        if (!t.isValid() || t.date().year() < 1753 || t.date().year() > 9999) throw overflow;
        return Value::DateTime(t, XDateTime);
    }
    if (f == "DATEDIFF") {
        need(3, 3);
        int part = datePartWord(0);
        Value a = arg(1), b = arg(2);
        if (a.IsNull() || b.IsNull()) return NullInt();
        QDateTime x = toDate(a).AsDateTime(), y = toDate(b).AsDateTime();
        long long r;
        switch (part) {
        case 0: r = y.date().year() - x.date().year(); break;
        case 1: r = (y.date().year() * 4 + (y.date().month() - 1) / 3) - (x.date().year() * 4 + (x.date().month() - 1) / 3); break;
        case 2: r = (y.date().year() * 12 + y.date().month()) - (x.date().year() * 12 + x.date().month()); break;
        case 7: r = (y.toSecsSinceEpoch() / 3600) - (x.toSecsSinceEpoch() / 3600); break;
        case 8: r = (y.toSecsSinceEpoch() / 60) - (x.toSecsSinceEpoch() / 60); break;
        case 9: r = y.toSecsSinceEpoch() - x.toSecsSinceEpoch(); break;
        case 10: r = y.toMSecsSinceEpoch() - x.toMSecsSinceEpoch(); break;
        case 5: r = (x.date().daysTo(y.date()) + x.date().dayOfWeek() % 7) / 7; break;
        default: r = x.date().daysTo(y.date()); break;
        }
        return Value::Int(r);
    }
    // Numbers.
    if (f == "ABS") {
        Value v = arg(0);
        if (v.IsNull()) return v;
        return CompareValues(v, Value::Int(0)) < 0 ? Negate(v) : v;
    }
    if (f == "ROUND") {
        need(2, 3);
        Value v = arg(0);
        if (v.IsNull()) return v;
        int digits = static_cast<int>(arg(1).AsInt());
        double factor = std::pow(10.0, digits);
        double r = argc > 2 && arg(2).AsInt() != 0 ? std::trunc(v.AsDouble() * factor) / factor
                                                  : std::round(v.AsDouble() * factor) / factor;
        if (v.GetKind() == Value::Kind::Decimal) {
            Value d = ConvertTo(Value::Float(r), XNumeric, 0, 38, v.DecimalScale(), 0, session_.options.dateFormat);
            return Value::Decimal(d.DecimalScaled(), d.DecimalScale(), v.XTypeCode());
        }
        if (v.GetKind() == Value::Kind::Int) return Value::Int(static_cast<long long>(r), v.XTypeCode());
        return Value::Float(r, v.XTypeCode());
    }
    if (f == "FLOOR" || f == "CEILING") {
        Value v = arg(0);
        if (v.IsNull()) return v;
        double r = f == "FLOOR" ? std::floor(v.AsDouble()) : std::ceil(v.AsDouble());
        if (v.GetKind() == Value::Kind::Int) return v;
        if (v.GetKind() == Value::Kind::Decimal) return Value::Decimal(static_cast<long long>(r), 0, v.XTypeCode() == XMoney ? XMoney : XNumeric);
        return Value::Float(r);
    }
    if (f == "POWER" || f == "SQRT" || f == "SIGN" || f == "LOG" || f == "EXP" || f == "LOG10" || f == "PI" || f == "RAND") {
        if (f == "PI") return Value::Float(M_PI);
        if (f == "RAND") return Value::Float(0.5);
        Value v = arg(0);
        if (v.IsNull()) return v;
        double x = v.AsDouble();
        if (f == "SIGN") return Value::Int(x > 0 ? 1 : x < 0 ? -1 : 0);
        if (f == "SQRT") return Value::Float(std::sqrt(x));
        if (f == "LOG") return Value::Float(std::log(x));
        if (f == "LOG10") return Value::Float(std::log10(x));
        if (f == "EXP") return Value::Float(std::exp(x));
        double r = std::pow(x, arg(1).AsDouble());
        if (v.GetKind() == Value::Kind::Int) return Value::Int(static_cast<long long>(r), v.XTypeCode());
        return Value::Float(r);
    }
    if (f == "ISNUMERIC") {
        Value v = arg(0);
        if (v.IsNull()) return Value::Int(0);
        if (v.IsNumeric()) return Value::Int(1);
        bool ok = false;
        str(v).trimmed().toDouble(&ok);
        return Value::Int(ok ? 1 : 0);
    }
    if (f == "ISDATE") {
        Value v = arg(0);
        QDateTime t;
        return Value::Int(!v.IsNull() && ParseDateTime(str(v), session_.options.dateFormat, t) ? 1 : 0);
    }
    if (f == "NEWID") return Value::String(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(), XUniqueIdentifier);
    throw ErrGeneric(195, 15, QStringLiteral("'%1' is not a recognized function name.").arg(e.parts.isEmpty() ? e.name : e.parts.last()));
}

namespace {

// True when the expression reads no column of the table named by qualifier: it holds constants,
// variables, functions and (qualified) columns of an outer query only.
bool IndependentOf(const Expr& e, const QString& qualifier) {
    if (e.kind == ExprKind::Subquery || e.kind == ExprKind::Exists || e.kind == ExprKind::Star || e.subquery) return false;
    if (e.kind == ExprKind::Column &&
        (e.parts.size() < 2 || e.parts[e.parts.size() - 2].compare(qualifier, Qt::CaseInsensitive) == 0))
        return false;
    for (const ExprPtr& a : e.args)
        if (a && !IndependentOf(*a, qualifier)) return false;
    return (!e.operand || IndependentOf(*e.operand, qualifier)) && (!e.elseExpr || IndependentOf(*e.elseExpr, qualifier));
}

bool IsIdColumn(const Expr& e, const QString& qualifier) {
    return e.kind == ExprKind::Column && e.parts.last().compare(QLatin1String("id"), Qt::CaseInsensitive) == 0 &&
           (e.parts.size() == 1 || e.parts[e.parts.size() - 2].compare(qualifier, Qt::CaseInsensitive) == 0);
}

}  // namespace

// The object ids a WHERE clause pins a system table to ("id = OBJECT_ID(...)", "c.id = o.id" of
// an outer query, "id IN (...)"), so that only their rows are built. False when no conjunct does;
// WHERE is still applied to the rows built, so a pin only has to hold no fewer rows.
bool Executor::PinnedObjectIds(const std::vector<ExprPtr>& conjuncts, const QString& qualifier, const Scope* outer,
                               std::vector<int>& ids) {
    Scope scope;
    scope.outer = outer;
    scope.generation = NewScopeGeneration();
    static const std::vector<RelColumn> none;
    static const std::vector<Value> noRow;
    scope.columns = &none;
    scope.row = &noRow;
    for (const ExprPtr& c : conjuncts) {
        std::vector<const Expr*> values;
        if (c->kind == ExprKind::Compare && c->name == "=") {
            if (IsIdColumn(*c->args[0], qualifier) && IndependentOf(*c->args[1], qualifier)) values.push_back(c->args[1].get());
            else if (IsIdColumn(*c->args[1], qualifier) && IndependentOf(*c->args[0], qualifier)) values.push_back(c->args[0].get());
        } else if (c->kind == ExprKind::In && !c->negated && !c->subquery && IsIdColumn(*c->args[0], qualifier)) {
            bool ok = true;
            for (size_t i = 1; i < c->args.size() && ok; ++i) ok = IndependentOf(*c->args[i], qualifier);
            if (ok)
                for (size_t i = 1; i < c->args.size(); ++i) values.push_back(c->args[i].get());
        }
        if (values.empty()) continue;
        ids.clear();
        try {
            for (const Expr* v : values) {
                Value x = Eval(*v, scope);
                if (!x.IsNull() && x.IsNumeric()) ids.push_back(static_cast<int>(x.AsInt()));
            }
        } catch (const SqlError&) {
            continue;  // the full table, and the error, come from the ordinary path
        }
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        return true;
    }
    return false;
}

Relation Executor::ResolveTable(const TableRef& ref, const std::vector<ExprPtr>* conjuncts, const Scope* outer,
                                const QSet<QString>* columns, const SystemRowFilter* filter,
                                std::shared_ptr<const Relation>* shared) {
    Database* db = DatabaseFor(ref.database);
    if (!db)
        throw ErrGeneric(911, 16, QStringLiteral("Could not locate entry in sysdatabases for database '%1'. No entry found with that name. Make sure that the name is entered correctly.").arg(ref.database));
    const QString qualifier = ref.alias.isEmpty() ? ref.name : ref.alias;
    Relation r;
    if (BuildInformationSchemaView(*db, ref.owner, ref.name, r)) {
        for (RelColumn& c : r.columns) c.qualifier = qualifier;
        return r;
    }
    const Object* o = std::as_const(*db).FindObject(ref.owner, ref.name);
    const bool system = (!o || o->IsType("S")) && IsSystemTableName(ref.name);
    std::vector<int> pinned;
    const bool pin = system && conjuncts && SystemTableKeyedById(ref.name) && PinnedObjectIds(*conjuncts, qualifier, outer, pinned);
    if (system && !pin) {
        if (std::shared_ptr<const Relation> cached = CachedSystemTable(*db, ref.name, columns)) {
            if (shared) {
                *shared = std::move(cached);
                return r;
            }
            r.columns = cached->columns;
            for (size_t i = 0; i < cached->RowCount(); ++i) {
                std::vector<Value> row = cached->Row(i);
                if (!filter || (*filter)(cached->columns, row)) r.rows.push_back(std::move(row));
            }
            for (RelColumn& c : r.columns) c.qualifier = qualifier;
            return r;
        }
    }
    if (system) DropStaleSystemTables(*db);
    if (system && BuildSystemTable(server_, *db, ref.name, r, pin ? &pinned : nullptr, columns, filter)) {
        for (RelColumn& c : r.columns) c.qualifier = qualifier;
        return r;
    }
    if (!o || (!o->IsTable() && !o->IsType("V"))) {
        QStringList parts;
        if (!ref.server.isEmpty()) parts << ref.server;
        if (!ref.database.isEmpty() || !ref.server.isEmpty()) parts << ref.database;
        if (!ref.owner.isEmpty() || !parts.isEmpty()) parts << ref.owner;
        parts << ref.name;
        throw ErrInvalidObject(parts.join(u'.'));
    }
    if (o->IsType("V")) {
        if (!o->viewQuery) throw ErrInvalidObject(ref.name);
        if (++execDepth_ > 32) {
            --execDepth_;
            throw ErrGeneric(217, 16, QStringLiteral("Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32)."));
        }
        QString saved = session_.database;
        session_.database = db->name;
        try {
            r = RunQuery(*o->viewQuery, nullptr);
        } catch (...) {
            session_.database = saved;
            --execDepth_;
            throw;
        }
        session_.database = saved;
        --execDepth_;
        for (size_t i = 0; i < r.columns.size() && i < o->columns.size(); ++i) {
            r.columns[i].name = o->columns[i].name;
            r.columns[i].nullable = o->columns[i].nullable;
        }
    } else {
        for (const Column& c : o->columns) r.columns.push_back(RelColumn{qualifier, c.name, c.xtype, c.length, c.nullable});
        r.rows = o->rows.Get();
        // Computed columns are worked out from the other columns of each row.
        for (size_t ci = 0; ci < o->columns.size(); ++ci) {
            const Column& c = o->columns[ci];
            if (!c.computed || !c.computedExpr) continue;
            Scope sc;
            sc.columns = &r.columns;
            sc.generation = NewScopeGeneration();
            for (auto& row : r.rows) {
                sc.row = &row;
                row[ci] = Eval(*c.computedExpr, sc);
            }
        }
        if (&ref == hiddenRowRef_) {
            r.columns.push_back(RelColumn{qualifier, QStringLiteral("\x01rowid"), XInt, 4, false});
            for (size_t i = 0; i < r.rows.size(); ++i) r.rows[i].push_back(Value::Int(static_cast<long long>(i)));
        }
    }
    for (RelColumn& c : r.columns) c.qualifier = qualifier;
    return r;
}

}  // namespace sqlsim
