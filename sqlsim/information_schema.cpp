// The INFORMATION_SCHEMA views of a database, built from its catalog with SQL Server 2000's
// columns (the SQL-92 names), like the system tables.
#include "sqlsim/engine.h"
#include "sqlsim/value_ops.h"

namespace sqlsim {

namespace {

const char* const kCollationName = "SQL_Latin1_General_CP1_CI_AS";

// Column kinds of the views: a name (sysname), a number, or text of a given length.
enum class K { Name, Int, SmallInt, TinyInt, Text3, Text10, Text20, Text30, Long, Date };

struct ViewBuilder {
    Relation& rel;
    explicit ViewBuilder(Relation& r) : rel(r) {}
    void Cols(std::initializer_list<std::pair<const char*, K>> cols) {
        for (const auto& [name, k] : cols) {
            int xt = XNVarChar, len = 256;
            switch (k) {
            case K::Name: break;
            case K::Int: xt = XInt; len = 4; break;
            case K::SmallInt: xt = XSmallInt; len = 2; break;
            case K::TinyInt: xt = XTinyInt; len = 1; break;
            case K::Text3: xt = XVarChar; len = 3; break;
            case K::Text10: xt = XVarChar; len = 10; break;
            case K::Text20: xt = XNVarChar; len = 40; break;
            case K::Text30: xt = XNVarChar; len = 60; break;
            case K::Long: len = 8000; break;
            case K::Date: xt = XDateTime; len = 8; break;
            }
            rel.columns.push_back(RelColumn{QString(), QString::fromLatin1(name), xt, len, true});
        }
    }
    void Row(std::vector<Value> row) {
        // Each value takes its column's type, so that comparisons and results read alike.
        for (size_t i = 0; i < row.size() && i < rel.columns.size(); ++i)
            if (row[i].IsNull()) row[i] = Value::Null(rel.columns[i].xtype);
        rel.rows.push_back(std::move(row));
    }
};

Value S(const QString& s) { return Value::String(s, XNVarChar); }
Value V(const char* s) { return Value::String(QString::fromLatin1(s), XVarChar); }
Value I(long long v, int xt = XInt) { return Value::Int(v, xt); }
Value N() { return Value::Null(); }

QString OwnerOf(const Database& db, const Object& o) {
    const User* u = db.FindUser(o.uid);
    return u ? u->name : QStringLiteral("dbo");
}

QString FirstText(const Object* o) { return o && !o->texts.empty() && !o->encrypted ? o->texts[0].second : QString(); }

// The type columns shared by COLUMNS, PARAMETERS and ROUTINES: DATA_TYPE,
// CHARACTER_MAXIMUM_LENGTH, CHARACTER_OCTET_LENGTH, then (as each view orders them) collation,
// character set and numeric precision, radix, scale and datetime precision.
struct TypeInfo {
    Value dataType, maxLength, octetLength, collation, charsetCatalog, charset, precision, radix, scale, datetimePrecision;
};

TypeInfo TypeOf(const Column& c) {
    TypeInfo t;
    const BuiltinType* b = FindBuiltinType(c.xtype);
    t.dataType = b ? S(QString::fromLatin1(b->name)) : N();
    t.maxLength = t.octetLength = t.collation = t.charsetCatalog = t.charset = t.precision = t.radix = t.scale = t.datetimePrecision = N();
    const bool unicode = IsUnicodeType(c.xtype);
    if (c.xtype == XText || c.xtype == XImage) {
        t.maxLength = t.octetLength = I(2147483647);
    } else if (c.xtype == XNText) {
        t.maxLength = I(1073741823);
        t.octetLength = I(2147483646);
    } else if (IsStringType(c.xtype) || IsBinaryType(c.xtype)) {
        t.maxLength = I(unicode ? c.length / 2 : c.length);
        t.octetLength = I(c.length);
    }
    if (IsStringType(c.xtype)) {
        t.collation = S(c.collation.isEmpty() ? QString::fromLatin1(kCollationName) : c.collation);
        t.charsetCatalog = S(QStringLiteral("master"));
        t.charset = S(unicode ? QStringLiteral("UNICODE") : QStringLiteral("iso_1"));
    }
    const bool exact = c.xtype == XDecimal || c.xtype == XNumeric || IsIntegerType(c.xtype) || c.xtype == XMoney ||
                       c.xtype == XSmallMoney;
    if (exact || c.xtype == XFloat || c.xtype == XReal) {
        t.precision = I(c.prec, XTinyInt);
        t.radix = I(exact ? 10 : 2, XSmallInt);
        if (exact) t.scale = I(c.scale);
    }
    if (c.xtype == XDateTime) t.datetimePrecision = I(3, XSmallInt);
    if (c.xtype == XSmallDateTime) t.datetimePrecision = I(0, XSmallInt);
    return t;
}

// The name of a column's user type (DOMAIN_NAME), empty for a built-in type.
QString DomainOf(const Database& db, const Column& c) {
    for (const UserType& u : db.userTypes)
        if (u.xusertype == c.xusertype) return u.name;
    return QString();
}

const char* ConstraintType(const Object& k) {
    if (k.IsType("PK")) return "PRIMARY KEY";
    if (k.IsType("UQ")) return "UNIQUE";
    if (k.IsType("F")) return "FOREIGN KEY";
    if (k.IsType("C")) return "CHECK";
    return nullptr;
}

// The key columns of a PRIMARY KEY, UNIQUE or FOREIGN KEY constraint (column ids in key order).
std::vector<int> KeyColumns(const Database& db, const Object& k) {
    if (k.IsType("F")) return k.fkeys;
    if (const Object* t = db.FindObject(k.parent))
        for (const IndexInfo& ix : t->indexes)
            if (ix.constraintId == k.id) return ix.keys;
    return {};
}

QString ColumnName(const Object* table, int colid) {
    if (table)
        for (const Column& c : table->columns)
            if (c.colid == colid) return c.name;
    return QString();
}

void CollectColumns(const Expr* e, QSet<QString>& out) {
    if (!e) return;
    if (e->kind == ExprKind::Column && !e->parts.isEmpty()) out.insert(e->parts.last().toLower());
    for (const ExprPtr& a : e->args) CollectColumns(a.get(), out);
    CollectColumns(e->operand.get(), out);
    CollectColumns(e->elseExpr.get(), out);
}

}  // namespace

bool IsInformationSchemaView(const QString& owner, const QString& name) {
    static const QSet<QString> views = {"tables", "columns", "views", "routines", "parameters", "table_constraints",
                                        "key_column_usage", "referential_constraints", "check_constraints",
                                        "constraint_column_usage"};
    return owner.compare(QLatin1String("INFORMATION_SCHEMA"), Qt::CaseInsensitive) == 0 && views.contains(name.toLower());
}

bool BuildInformationSchemaView(const Database& db, const QString& owner, const QString& nameIn, Relation& out) {
    if (!IsInformationSchemaView(owner, nameIn)) return false;
    const QString name = nameIn.toLower();
    const Value catalog = S(db.name);
    ViewBuilder b(out);
    if (name == "tables") {
        b.Cols({{"TABLE_CATALOG", K::Name}, {"TABLE_SCHEMA", K::Name}, {"TABLE_NAME", K::Name}, {"TABLE_TYPE", K::Text10}});
        for (const auto& [id, o] : db.objects)
            if (o.IsType("U") || o.IsType("V"))
                b.Row({catalog, S(OwnerOf(db, o)), S(o.name), V(o.IsType("U") ? "BASE TABLE" : "VIEW")});
    } else if (name == "columns") {
        b.Cols({{"TABLE_CATALOG", K::Name}, {"TABLE_SCHEMA", K::Name}, {"TABLE_NAME", K::Name}, {"COLUMN_NAME", K::Name},
                {"ORDINAL_POSITION", K::Int}, {"COLUMN_DEFAULT", K::Long}, {"IS_NULLABLE", K::Text3},
                {"DATA_TYPE", K::Name}, {"CHARACTER_MAXIMUM_LENGTH", K::Int}, {"CHARACTER_OCTET_LENGTH", K::Int},
                {"NUMERIC_PRECISION", K::TinyInt}, {"NUMERIC_PRECISION_RADIX", K::SmallInt}, {"NUMERIC_SCALE", K::Int},
                {"DATETIME_PRECISION", K::SmallInt}, {"CHARACTER_SET_CATALOG", K::Name}, {"CHARACTER_SET_SCHEMA", K::Name},
                {"CHARACTER_SET_NAME", K::Name}, {"COLLATION_CATALOG", K::Name}, {"COLLATION_SCHEMA", K::Name},
                {"COLLATION_NAME", K::Name}, {"DOMAIN_CATALOG", K::Name}, {"DOMAIN_SCHEMA", K::Name}, {"DOMAIN_NAME", K::Name}});
        for (const auto& [id, o] : db.objects) {
            if (!o.IsType("U") && !o.IsType("V")) continue;
            for (const Column& c : o.columns) {
                const TypeInfo t = TypeOf(c);
                const QString domain = DomainOf(db, c);
                const QString def = c.cdefault ? FirstText(db.FindObject(c.cdefault)) : QString();
                b.Row({catalog, S(OwnerOf(db, o)), S(o.name), S(c.name), I(c.colid), def.isEmpty() ? N() : S(def),
                       V(c.nullable ? "YES" : "NO"), t.dataType, t.maxLength, t.octetLength, t.precision, t.radix, t.scale,
                       t.datetimePrecision, t.charsetCatalog, N(), t.charset, N(), N(), t.collation, domain.isEmpty() ? N() : catalog,
                       domain.isEmpty() ? N() : S(QStringLiteral("dbo")), domain.isEmpty() ? N() : S(domain)});
            }
        }
    } else if (name == "views") {
        b.Cols({{"TABLE_CATALOG", K::Name}, {"TABLE_SCHEMA", K::Name}, {"TABLE_NAME", K::Name}, {"VIEW_DEFINITION", K::Long},
                {"CHECK_OPTION", K::Text10}, {"IS_UPDATABLE", K::Text3}});
        for (const auto& [id, o] : db.objects) {
            if (!o.IsType("V")) continue;
            const QString text = FirstText(&o);
            const bool checkOption = text.contains(QLatin1String("WITH CHECK OPTION"), Qt::CaseInsensitive);
            b.Row({catalog, S(OwnerOf(db, o)), S(o.name), o.encrypted ? N() : S(text.left(4000)),
                   V(checkOption ? "CASCADE" : "NONE"), V("NO")});
        }
    } else if (name == "routines") {
        b.Cols({{"SPECIFIC_CATALOG", K::Name}, {"SPECIFIC_SCHEMA", K::Name}, {"SPECIFIC_NAME", K::Name},
                {"ROUTINE_CATALOG", K::Name}, {"ROUTINE_SCHEMA", K::Name}, {"ROUTINE_NAME", K::Name}, {"ROUTINE_TYPE", K::Text20},
                {"MODULE_CATALOG", K::Name}, {"MODULE_SCHEMA", K::Name}, {"MODULE_NAME", K::Name}, {"UDT_CATALOG", K::Name},
                {"UDT_SCHEMA", K::Name}, {"UDT_NAME", K::Name}, {"DATA_TYPE", K::Name}, {"CHARACTER_MAXIMUM_LENGTH", K::Int},
                {"CHARACTER_OCTET_LENGTH", K::Int}, {"COLLATION_CATALOG", K::Name}, {"COLLATION_SCHEMA", K::Name},
                {"COLLATION_NAME", K::Name}, {"CHARACTER_SET_CATALOG", K::Name}, {"CHARACTER_SET_SCHEMA", K::Name},
                {"CHARACTER_SET_NAME", K::Name}, {"NUMERIC_PRECISION", K::SmallInt}, {"NUMERIC_PRECISION_RADIX", K::SmallInt},
                {"NUMERIC_SCALE", K::SmallInt}, {"DATETIME_PRECISION", K::SmallInt}, {"INTERVAL_TYPE", K::Text30},
                {"INTERVAL_PRECISION", K::SmallInt}, {"TYPE_UDT_CATALOG", K::Name}, {"TYPE_UDT_SCHEMA", K::Name},
                {"TYPE_UDT_NAME", K::Name}, {"SCOPE_CATALOG", K::Name}, {"SCOPE_SCHEMA", K::Name}, {"SCOPE_NAME", K::Name},
                {"MAXIMUM_CARDINALITY", K::Int}, {"DTD_IDENTIFIER", K::Name}, {"ROUTINE_BODY", K::Text30},
                {"ROUTINE_DEFINITION", K::Long}, {"EXTERNAL_NAME", K::Name}, {"EXTERNAL_LANGUAGE", K::Text30},
                {"PARAMETER_STYLE", K::Text30}, {"IS_DETERMINISTIC", K::Text10}, {"SQL_DATA_ACCESS", K::Text30},
                {"IS_NULL_CALL", K::Text10}, {"SQL_PATH", K::Name}, {"SCHEMA_LEVEL_ROUTINE", K::Text10},
                {"MAX_DYNAMIC_RESULT_SETS", K::SmallInt}, {"IS_USER_DEFINED_CAST", K::Text10},
                {"IS_IMPLICITLY_INVOCABLE", K::Text10}, {"CREATED", K::Date}, {"LAST_ALTERED", K::Date}});
        for (const auto& [id, o] : db.objects) {
            const bool proc = o.IsType("P");
            if (!proc && !o.IsType("FN") && !o.IsType("IF") && !o.IsType("TF")) continue;
            const Value owner = S(OwnerOf(db, o));
            std::vector<Value> r = {catalog, owner, S(o.name), catalog, owner, S(o.name),
                                    S(proc ? QStringLiteral("PROCEDURE") : QStringLiteral("FUNCTION"))};
            r.resize(out.columns.size(), N());
            auto set = [&](const char* column, Value v) {
                for (size_t i = 0; i < out.columns.size(); ++i)
                    if (out.columns[i].name == QLatin1String(column)) r[i] = v;
            };
            if (!proc && !o.IsType("FN")) set("DATA_TYPE", S(QStringLiteral("TABLE")));
            set("ROUTINE_BODY", S(QStringLiteral("SQL")));
            set("ROUTINE_DEFINITION", o.encrypted ? N() : S(FirstText(&o).left(4000)));
            set("IS_DETERMINISTIC", S(QStringLiteral("NO")));
            set("SQL_DATA_ACCESS", S(proc ? QStringLiteral("MODIFIES") : QStringLiteral("READS")));
            set("IS_NULL_CALL", proc ? N() : S(QStringLiteral("NO")));
            set("SCHEMA_LEVEL_ROUTINE", S(QStringLiteral("YES")));
            set("MAX_DYNAMIC_RESULT_SETS", I(proc ? -1 : 0, XSmallInt));
            set("IS_USER_DEFINED_CAST", S(QStringLiteral("NO")));
            set("IS_IMPLICITLY_INVOCABLE", S(QStringLiteral("NO")));
            set("CREATED", Value::DateTime(o.created));
            set("LAST_ALTERED", Value::DateTime(o.created));
            b.Row(std::move(r));
        }
    } else if (name == "parameters") {
        b.Cols({{"SPECIFIC_CATALOG", K::Name}, {"SPECIFIC_SCHEMA", K::Name}, {"SPECIFIC_NAME", K::Name},
                {"ORDINAL_POSITION", K::SmallInt}, {"PARAMETER_MODE", K::Text10}, {"IS_RESULT", K::Text10},
                {"AS_LOCATOR", K::Text10}, {"PARAMETER_NAME", K::Name}, {"DATA_TYPE", K::Name},
                {"CHARACTER_MAXIMUM_LENGTH", K::Int}, {"CHARACTER_OCTET_LENGTH", K::Int}, {"COLLATION_CATALOG", K::Name},
                {"COLLATION_SCHEMA", K::Name}, {"COLLATION_NAME", K::Name}, {"CHARACTER_SET_CATALOG", K::Name},
                {"CHARACTER_SET_SCHEMA", K::Name}, {"CHARACTER_SET_NAME", K::Name}, {"NUMERIC_PRECISION", K::TinyInt},
                {"NUMERIC_PRECISION_RADIX", K::SmallInt}, {"NUMERIC_SCALE", K::Int}, {"DATETIME_PRECISION", K::SmallInt},
                {"INTERVAL_TYPE", K::Text30}, {"INTERVAL_PRECISION", K::SmallInt}, {"USER_DEFINED_TYPE_CATALOG", K::Name},
                {"USER_DEFINED_TYPE_SCHEMA", K::Name}, {"USER_DEFINED_TYPE_NAME", K::Name}, {"SCOPE_CATALOG", K::Name},
                {"SCOPE_SCHEMA", K::Name}, {"SCOPE_NAME", K::Name}});
        for (const auto& [id, o] : db.objects) {
            if (!o.IsType("P") && !o.IsType("FN") && !o.IsType("IF") && !o.IsType("TF")) continue;
            int position = 0;
            for (const ProcParam& p : o.params) {
                Column c;
                try {
                    c = ColumnFromType(db, p.type);
                } catch (const SqlError&) {
                    continue;  // a type dropped since: the parameter is left out
                }
                const TypeInfo t = TypeOf(c);
                const QString domain = DomainOf(db, c);
                b.Row({catalog, S(OwnerOf(db, o)), S(o.name), I(++position, XSmallInt), V(p.output ? "INOUT" : "IN"), V("NO"),
                       V("NO"), S(p.name), t.dataType, t.maxLength, t.octetLength, N(), N(), t.collation, t.charsetCatalog, N(), t.charset,
                       t.precision, t.radix, t.scale, t.datetimePrecision, N(), N(), domain.isEmpty() ? N() : catalog,
                       domain.isEmpty() ? N() : S(QStringLiteral("dbo")), domain.isEmpty() ? N() : S(domain), N(), N(), N()});
            }
        }
    } else if (name == "table_constraints") {
        b.Cols({{"CONSTRAINT_CATALOG", K::Name}, {"CONSTRAINT_SCHEMA", K::Name}, {"CONSTRAINT_NAME", K::Name},
                {"TABLE_CATALOG", K::Name}, {"TABLE_SCHEMA", K::Name}, {"TABLE_NAME", K::Name}, {"CONSTRAINT_TYPE", K::Text10},
                {"IS_DEFERRABLE", K::Text3}, {"INITIALLY_DEFERRED", K::Text3}});
        out.columns[6].length = 11;
        for (const auto& [id, k] : db.objects) {
            const char* type = ConstraintType(k);
            const Object* t = db.FindObject(k.parent);
            if (!type || !t) continue;
            b.Row({catalog, S(OwnerOf(db, k)), S(k.name), catalog, S(OwnerOf(db, *t)), S(t->name), V(type), V("NO"), V("NO")});
        }
    } else if (name == "key_column_usage" || name == "constraint_column_usage") {
        const bool key = name == "key_column_usage";
        if (key)
            b.Cols({{"CONSTRAINT_CATALOG", K::Name}, {"CONSTRAINT_SCHEMA", K::Name}, {"CONSTRAINT_NAME", K::Name},
                    {"TABLE_CATALOG", K::Name}, {"TABLE_SCHEMA", K::Name}, {"TABLE_NAME", K::Name}, {"COLUMN_NAME", K::Name},
                    {"ORDINAL_POSITION", K::Int}});
        else
            b.Cols({{"TABLE_CATALOG", K::Name}, {"TABLE_SCHEMA", K::Name}, {"TABLE_NAME", K::Name}, {"COLUMN_NAME", K::Name},
                    {"CONSTRAINT_CATALOG", K::Name}, {"CONSTRAINT_SCHEMA", K::Name}, {"CONSTRAINT_NAME", K::Name}});
        for (const auto& [id, k] : db.objects) {
            const Object* t = db.FindObject(k.parent);
            if (!ConstraintType(k) || !t || (key && k.IsType("C"))) continue;
            QStringList columns;
            if (k.IsType("C")) {
                // A CHECK uses the columns its expression names (the column of a column-level check).
                QSet<QString> used;
                CollectColumns(k.expr.get(), used);
                for (const Column& c : t->columns)
                    if (c.colid == k.checkColumn || used.contains(c.name.toLower())) columns << c.name;
            } else {
                for (int colid : KeyColumns(db, k)) columns << ColumnName(t, colid);
            }
            for (int i = 0; i < columns.size(); ++i) {
                if (key)
                    b.Row({catalog, S(OwnerOf(db, k)), S(k.name), catalog, S(OwnerOf(db, *t)), S(t->name), S(columns[i]), I(i + 1)});
                else
                    b.Row({catalog, S(OwnerOf(db, *t)), S(t->name), S(columns[i]), catalog, S(OwnerOf(db, k)), S(k.name)});
            }
        }
    } else if (name == "referential_constraints") {
        b.Cols({{"CONSTRAINT_CATALOG", K::Name}, {"CONSTRAINT_SCHEMA", K::Name}, {"CONSTRAINT_NAME", K::Name},
                {"UNIQUE_CONSTRAINT_CATALOG", K::Name}, {"UNIQUE_CONSTRAINT_SCHEMA", K::Name},
                {"UNIQUE_CONSTRAINT_NAME", K::Name}, {"MATCH_OPTION", K::Text10}, {"UPDATE_RULE", K::Text10},
                {"DELETE_RULE", K::Text10}});
        for (const auto& [id, k] : db.objects) {
            if (!k.IsType("F")) continue;
            // The unique constraint of the referenced table whose columns the key references.
            const Object* ref = db.FindObject(k.refTable);
            const Object* unique = nullptr;
            if (ref)
                for (const IndexInfo& ix : ref->indexes) {
                    std::vector<int> a = ix.keys, c = k.rkeys;
                    std::sort(a.begin(), a.end());
                    std::sort(c.begin(), c.end());
                    if (ix.constraintId && a == c) unique = db.FindObject(ix.constraintId);
                }
            b.Row({catalog, S(OwnerOf(db, k)), S(k.name), unique ? catalog : N(), unique ? S(OwnerOf(db, *unique)) : N(),
                   unique ? S(unique->name) : N(), V("SIMPLE"), V(k.cascadeUpdate ? "CASCADE" : "NO ACTION"),
                   V(k.cascadeDelete ? "CASCADE" : "NO ACTION")});
        }
    } else {  // check_constraints
        b.Cols({{"CONSTRAINT_CATALOG", K::Name}, {"CONSTRAINT_SCHEMA", K::Name}, {"CONSTRAINT_NAME", K::Name},
                {"CHECK_CLAUSE", K::Long}});
        for (const auto& [id, k] : db.objects)
            if (k.IsType("C")) b.Row({catalog, S(OwnerOf(db, k)), S(k.name), S(FirstText(&k))});
    }
    return true;
}

}  // namespace sqlsim
