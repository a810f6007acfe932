// Expression evaluation and the SELECT engine: joins (hashed on equality conditions), derived
// tables, WHERE, GROUP BY with aggregates, DISTINCT, UNION, ORDER BY and TOP.
#include "sqlsim/engine.h"
#include "sqlsim/value_ops.h"

#include <QRegularExpression>
#include <algorithm>
#include <string>
#include <unordered_map>

namespace sqlsim {

unsigned long long NewScopeGeneration() {
    static std::atomic<unsigned long long> counter{1};
    return ++counter;
}

namespace {

const Value kTrue = Value::Int(1, XBit);
const Value kFalse = Value::Int(0, XBit);

Value Bool3(int v) { return v < 0 ? Value::Null(XBit) : v ? kTrue : kFalse; }
int Tri(const Value& v) { return v.IsNull() ? -1 : (Truthy(v) ? 1 : 0); }

bool NameMatches(const RelColumn& c, const QStringList& parts) {
    if (c.name.compare(parts.last(), Qt::CaseInsensitive) != 0) return false;
    if (parts.size() >= 2) {
        const QString& q = parts[parts.size() - 2];
        if (c.qualifier.compare(q, Qt::CaseInsensitive) != 0) return false;
    }
    return true;
}

// -1 not found, -2 ambiguous, else the slot.
int FindSlot(const std::vector<RelColumn>& cols, const QStringList& parts) {
    int found = -1;
    for (int i = 0; i < static_cast<int>(cols.size()); ++i) {
        if (NameMatches(cols[i], parts)) {
            if (found >= 0) return -2;
            found = i;
        }
    }
    return found;
}

bool IsAggregateName(const QString& n) {
    // Asked for every function call of every row: names of other lengths are ruled out first.
    switch (n.size()) {
    case 3: return n == QLatin1String("SUM") || n == QLatin1String("AVG") || n == QLatin1String("MIN") || n == QLatin1String("MAX");
    case 5: return n == QLatin1String("COUNT");
    case 8: return n == QLatin1String("GROUPING");
    case 9: return n == QLatin1String("COUNT_BIG");
    default: return false;
    }
}

void CollectAggregates(const ExprPtr& e, std::vector<const Expr*>& out) {
    if (!e) return;
    if (e->kind == ExprKind::Function && IsAggregateName(e->name) && e->parts.size() <= 1) {
        out.push_back(e.get());
        return;
    }
    for (const ExprPtr& a : e->args) CollectAggregates(a, out);
    CollectAggregates(e->operand, out);
    CollectAggregates(e->elseExpr, out);
}

// LIKE compares characters as the collation does: case folded unless it is case-sensitive.
QChar Fold(QChar c) { return ThreadCaseSensitive() ? c : c.toLower(); }

bool LikeMatch(const QString& s, int si, const QString& p, int pi, QChar escape) {
    const int sn = static_cast<int>(s.size()), pn = static_cast<int>(p.size());
    while (pi < pn) {
        QChar c = p[pi];
        if (!escape.isNull() && c == escape && pi + 1 < pn) {
            if (si >= sn || Fold(s[si]) != Fold(p[pi + 1])) return false;
            ++si;
            pi += 2;
            continue;
        }
        if (c == u'%') {
            while (pi < pn && p[pi] == u'%') ++pi;
            if (pi == pn) return true;
            for (int k = si; k <= sn; ++k)
                if (LikeMatch(s, k, p, pi, escape)) return true;
            return false;
        }
        if (si >= sn) return false;
        if (c == u'_') { ++si; ++pi; continue; }
        if (c == u'[') {
            int close = static_cast<int>(p.indexOf(u']', pi + 1));
            if (close > pi) {
                QString set = p.mid(pi + 1, close - pi - 1);
                bool negate = set.startsWith(u'^');
                if (negate) set.remove(0, 1);
                bool match = false;
                QChar ch = Fold(s[si]);
                for (int k = 0; k < set.size(); ++k) {
                    if (k + 2 < set.size() && set[k + 1] == u'-') {
                        if (ch >= Fold(set[k]) && ch <= Fold(set[k + 2])) match = true;
                        k += 2;
                    } else if (Fold(set[k]) == ch) {
                        match = true;
                    }
                }
                if (match == negate) return false;
                ++si;
                pi = close + 1;
                continue;
            }
        }
        if (Fold(s[si]) != Fold(c)) return false;
        ++si;
        ++pi;
    }
    return si == sn;
}

QString RowKey(const std::vector<Value>& row) {
    QString k;
    for (const Value& v : row) {
        k += HashKey(v);
        k += QChar(0x1f);
    }
    return k;
}

}  // namespace

// ---------------------------------------------------------------- expressions
bool Executor::EvalPredicate(const Expr& e, const Scope& scope) { return Truth(e, scope) == 1; }

// Comparisons and the logical operators answer without making a value of their truth: WHERE,
// the pushed conditions and the joins ask for them on every row.
int Executor::Truth(const Expr& e, const Scope& scope) {
    switch (e.kind) {
    case ExprKind::Compare: {
        Value ta, tb;
        const Value& a = EvalInPlace(*e.args[0], scope, ta);
        const Value& b = EvalInPlace(*e.args[1], scope, tb);
        if (a.IsNull() || b.IsNull()) {
            if (!session_.options.ansiNulls && (e.name == QLatin1String("=") || e.name == QLatin1String("<>"))) {
                bool both = a.IsNull() && b.IsNull();
                return (e.name == QLatin1String("=") ? both : !both) ? 1 : 0;
            }
            return -1;
        }
        // (Two integers, as a property compared with 0, are compared here.)
        const bool ints = a.GetKind() == Value::Kind::Int && b.GetKind() == Value::Kind::Int;
        const int c = !ints ? CompareValues(a, b) : a.AsInt() < b.AsInt() ? -1 : a.AsInt() > b.AsInt() ? 1 : 0;
        // The operator by its characters (=, <>, <, >, <=, >=; the parser spells the others so).
        const QString& op = e.name;
        const char16_t o0 = op.isEmpty() ? u'\0' : op[0].unicode(), o1 = op.size() > 1 ? op[1].unicode() : u'\0';
        bool r = o0 == u'=' && o1 == u'\0'   ? c == 0
                 : o0 == u'<' && o1 == u'>'  ? c != 0
                 : o0 == u'<' && o1 == u'\0' ? c < 0
                 : o0 == u'>' && o1 == u'\0' ? c > 0
                 : o0 == u'<' && o1 == u'='  ? c <= 0
                                             : c >= 0;
        return r ? 1 : 0;
    }
    case ExprKind::And: {
        int a = Truth(*e.args[0], scope);
        if (a == 0) return 0;
        int b = Truth(*e.args[1], scope);
        if (b == 0) return 0;
        return a == 1 && b == 1 ? 1 : -1;
    }
    case ExprKind::Or: {
        int a = Truth(*e.args[0], scope);
        if (a == 1) return 1;
        int b = Truth(*e.args[1], scope);
        if (b == 1) return 1;
        return a == 0 && b == 0 ? 0 : -1;
    }
    case ExprKind::Not: {
        int a = Truth(*e.args[0], scope);
        return a < 0 ? -1 : !a;
    }
    default:
        return Tri(Eval(e, scope));
    }
}

const Value& Executor::EvalInPlace(const Expr& e, const Scope& scope, Value& tmp) {
    if (e.kind == ExprKind::Literal) return e.value;
    if (e.kind == ExprKind::Column && e.bindGen != 0) {
        const Scope* s = &scope;
        for (int d = 0; d < e.bindDepth && s; ++d) s = s->outer;
        if (s && s->generation == e.bindGen && s->HasRow()) return s->At(static_cast<size_t>(e.bindSlot));
    }
    tmp = Eval(e, scope);
    return tmp;
}

Value Executor::Eval(const Expr& e, const Scope& scope) {
    switch (e.kind) {
    case ExprKind::Literal:
        return e.value;
    case ExprKind::Column: {
        if (e.bindGen != 0) {
            const Scope* s = &scope;
            for (int d = 0; d < e.bindDepth && s; ++d) s = s->outer;
            if (s && s->generation == e.bindGen && s->HasRow()) return s->At(static_cast<size_t>(e.bindSlot));
        }
        int depth = 0;
        for (const Scope* s = &scope; s; s = s->outer, ++depth) {
            if (!s->columns) continue;
            int slot = FindSlot(*s->columns, e.parts);
            if (slot == -2) throw ErrGeneric(209, 16, QStringLiteral("Ambiguous column name '%1'.").arg(e.parts.last()));
            if (slot >= 0) {
                e.bindGen = s->generation;
                e.bindDepth = depth;
                e.bindSlot = slot;
                if (!s->HasRow()) return Value::Null((*s->columns)[slot].xtype);
                return s->At(static_cast<size_t>(slot));
            }
        }
        if (e.parts.size() >= 2)
            throw ErrGeneric(107, 16, QStringLiteral("The column prefix '%1' does not match with a table name or alias name used in the query.")
                                          .arg(e.parts.mid(0, e.parts.size() - 1).join(u'.')));
        throw ErrInvalidColumn(e.parts.last());
    }
    case ExprKind::Variable: {
        const QString n = e.name.toLower();
        if (n.startsWith(QLatin1String("@@"))) {
            if (n == "@@version") return Value::String(VersionString(), XNVarChar);
            if (n == "@@error") return Value::Int(session_.lastError);
            if (n == "@@rowcount") return Value::Int(session_.lastRowCount);
            if (n == "@@identity") return session_.lastIdentitySet ? Value::Decimal(session_.lastIdentity, 0, XNumeric) : Value::Null(XNumeric);
            if (n == "@@trancount") return Value::Int(session_.tranCount);
            if (n == "@@spid") return Value::Int(51, XSmallInt);
            if (n == "@@servername" || n == "@@servicename") return Value::String(QStringLiteral("SQLSIM"), XNVarChar);
            if (n == "@@language") return Value::String(QStringLiteral("us_english"), XNVarChar);
            if (n == "@@datefirst") return Value::Int(7, XTinyInt);
            if (n == "@@max_precision") return Value::Int(38, XTinyInt);
            if (n == "@@nestlevel") return Value::Int(0);
            if (n == "@@options") return Value::Int(5496);
            if (n == "@@fetch_status") return Value::Int(session_.fetchStatus);
            return Value::Null();
        }
        auto it = variables_.constFind(n);
        if (it == variables_.constEnd())
            throw ErrGeneric(137, 15, QStringLiteral("Must declare the variable '%1'.").arg(e.name));
        return *it;
    }
    case ExprKind::Star:
        throw ErrSyntaxNear(QStringLiteral("*"));
    case ExprKind::Unary: {
        Value v = Eval(*e.args[0], scope);
        if (v.IsNull()) return v;
        if (e.name == QLatin1String("~")) return Value::Int(~v.AsInt(), v.XTypeCode());
        return Negate(v);
    }
    case ExprKind::Binary:
        return Arithmetic(e.name, Eval(*e.args[0], scope), Eval(*e.args[1], scope));
    case ExprKind::Compare:
    case ExprKind::And:
    case ExprKind::Or:
    case ExprKind::Not:
        return Bool3(Truth(e, scope));
    case ExprKind::IsNull: {
        bool isNull = Eval(*e.args[0], scope).IsNull();
        return Bool3(e.negated ? !isNull : isNull);
    }
    case ExprKind::In: {
        Value v = Eval(*e.args[0], scope);
        std::vector<Value> candidates;
        if (e.subquery) {
            Relation r = RunQuery(*e.subquery, &scope);
            if (!r.columns.empty() && r.columns.size() != 1)
                throw ErrGeneric(116, 16, QStringLiteral("Only one expression can be specified in the select list when the subquery is not introduced with EXISTS."));
            for (auto& row : r.rows) candidates.push_back(row[0]);
        } else {
            for (size_t i = 1; i < e.args.size(); ++i) candidates.push_back(Eval(*e.args[i], scope));
        }
        if (v.IsNull()) return Bool3(-1);
        bool sawNull = false;
        for (const Value& c : candidates) {
            if (c.IsNull()) { sawNull = true; continue; }
            if (CompareValues(v, c) == 0) return Bool3(e.negated ? 0 : 1);
        }
        if (sawNull) return Bool3(-1);
        return Bool3(e.negated ? 1 : 0);
    }
    case ExprKind::Between: {
        Value v = Eval(*e.args[0], scope), lo = Eval(*e.args[1], scope), hi = Eval(*e.args[2], scope);
        if (v.IsNull() || lo.IsNull() || hi.IsNull()) return Bool3(-1);
        bool in = CompareValues(v, lo) >= 0 && CompareValues(v, hi) <= 0;
        return Bool3(e.negated ? !in : in);
    }
    case ExprKind::Like: {
        Value v = Eval(*e.args[0], scope), p = Eval(*e.args[1], scope);
        if (v.IsNull() || p.IsNull()) return Bool3(-1);
        QChar esc;
        if (e.operand) {
            Value ev = Eval(*e.operand, scope);
            if (!ev.IsNull() && !ev.AsString().isEmpty()) esc = ev.AsString()[0];
        }
        QString s = v.GetKind() == Value::Kind::String ? v.AsString() : ConvertTo(v, XVarChar, 8000, 0, 0, 0, session_.options.dateFormat).AsString();
        bool m = LikeMatch(s, 0, p.AsString(), 0, esc);
        return Bool3(e.negated ? !m : m);
    }
    case ExprKind::Exists: {
        Relation r = RunQuery(*e.subquery, &scope);
        return Bool3(!r.rows.empty());
    }
    case ExprKind::Subquery: {
        Relation r = RunQuery(*e.subquery, &scope);
        if (r.rows.size() > 1)
            throw ErrGeneric(512, 16, QStringLiteral("Subquery returned more than 1 value. This is not permitted when the subquery follows =, !=, <, <= , >, >= or when the subquery is used as an expression."));
        if (r.rows.empty()) return Value::Null(r.columns.empty() ? XInt : r.columns[0].xtype);
        return r.rows[0][0];
    }
    case ExprKind::Case: {
        if (e.operand) {
            Value v = Eval(*e.operand, scope);
            for (size_t i = 0; i + 1 < e.args.size(); i += 2) {
                Value w = Eval(*e.args[i], scope);
                if (!v.IsNull() && !w.IsNull() && CompareValues(v, w) == 0) return Eval(*e.args[i + 1], scope);
            }
        } else {
            for (size_t i = 0; i + 1 < e.args.size(); i += 2)
                if (EvalPredicate(*e.args[i], scope)) return Eval(*e.args[i + 1], scope);
        }
        return e.elseExpr ? Eval(*e.elseExpr, scope) : Value::Null();
    }
    case ExprKind::Function:
        // A property function with its property resolved is no aggregate: straight to it.
        if (e.property > 1) return CallProperty(e, scope);
        if (scope.aggregates) {
            auto it = scope.aggregates->constFind(&e);
            if (it != scope.aggregates->constEnd()) return *it;
        }
        for (const Scope* s = scope.outer; s; s = s->outer) {
            if (s->aggregates) {
                auto it = s->aggregates->constFind(&e);
                if (it != s->aggregates->constEnd()) return *it;
            }
        }
        if (IsAggregateName(e.name) && e.parts.size() <= 1)
            throw ErrGeneric(147, 15, QStringLiteral("An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a HAVING clause or a select list, and the column being aggregated is an outer reference."));
        return CallFunction(e, scope);
    case ExprKind::Cast: {
        Value v = Eval(*e.args[0], scope);
        int style = e.args.size() > 1 ? static_cast<int>(Eval(*e.args[1], scope).AsInt()) : 0;
        return ConvertToType(v, e.type, style, session_.options.dateFormat);
    }
    }
    return Value::Null();
}

// ---------------------------------------------------------------- aggregates
namespace {

Value Aggregate(Executor& ex, const Expr& agg, const std::vector<const std::vector<Value>*>& rows,
                const std::vector<RelColumn>& cols, const Scope* outer, unsigned long long gen) {
    Scope s;
    s.columns = &cols;
    s.outer = outer;
    s.generation = gen;
    if (agg.name == "GROUPING") return Value::Int(0, XInt);
    if (agg.star) return Value::Int(static_cast<long long>(rows.size()), agg.name == "COUNT_BIG" ? XBigInt : XInt);
    if (agg.args.empty()) throw ErrGeneric(174, 15, QStringLiteral("The %1 function requires 1 arguments.").arg(agg.name.toLower()));
    std::vector<Value> vals;
    vals.reserve(rows.size());
    QSet<QString> seen;
    for (const auto* r : rows) {
        s.row = r;
        Value v = ex.Eval(*agg.args[0], s);
        if (v.IsNull()) continue;
        if (agg.distinct) {
            QString k = HashKey(v);
            if (seen.contains(k)) continue;
            seen.insert(k);
        }
        vals.push_back(v);
    }
    if (agg.name == "COUNT" || agg.name == "COUNT_BIG")
        return Value::Int(static_cast<long long>(vals.size()), agg.name == "COUNT" ? XInt : XBigInt);
    if (vals.empty()) return Value::Null(XInt);
    if (agg.name == "MIN" || agg.name == "MAX") {
        Value best = vals[0];
        for (const Value& v : vals) {
            int c = CompareValues(v, best);
            if ((agg.name == "MIN" && c < 0) || (agg.name == "MAX" && c > 0)) best = v;
        }
        return best;
    }
    // SUM / AVG
    Value sum = vals[0];
    if (sum.GetKind() == Value::Kind::String)
        throw ErrGeneric(409, 16, QStringLiteral("The %1 operation cannot take a varchar data type as an argument.").arg(agg.name.toLower()));
    if (sum.GetKind() == Value::Kind::Int && sum.XTypeCode() != XBigInt) sum = Value::Int(sum.AsInt(), XInt);
    for (size_t i = 1; i < vals.size(); ++i) sum = Arithmetic(QStringLiteral("+"), sum, vals[i]);
    if (agg.name == "SUM") return sum;
    Value count = Value::Int(static_cast<long long>(vals.size()), XInt);
    if (sum.GetKind() == Value::Kind::Decimal && sum.XTypeCode() != XMoney && sum.XTypeCode() != XSmallMoney) {
        // AVG of a numeric keeps at least six decimals.
        int scale = std::max(6, sum.DecimalScale());
        Value widened = ConvertTo(sum, XNumeric, 0, 38, scale, 0, QStringLiteral("mdy"));
        Value r = Arithmetic(QStringLiteral("/"), widened, count);
        return ConvertTo(r, XNumeric, 0, 38, scale, 0, QStringLiteral("mdy"));
    }
    return Arithmetic(QStringLiteral("/"), sum, count);
}

void SplitConjuncts(const ExprPtr& e, std::vector<ExprPtr>& out) {
    if (!e) return;
    if (e->kind == ExprKind::And) {
        SplitConjuncts(e->args[0], out);
        SplitConjuncts(e->args[1], out);
        return;
    }
    out.push_back(e);
}

// The rows of one side of a join hashed by the values of some of its columns. Integer keys (the
// ids and numbers the catalog joins on) are hashed as they are, in arrays: a bucket's rows are
// chained through one index per row, in ascending order, and a row's hash is kept to skip the
// rows of other keys that share its bucket. Any other kind of value is hashed through its
// HashKey text. Equal values always share a key; rows whose keys merely collide are dropped by
// the join condition, which is applied to every candidate unless the keys decide it exactly.
class RowIndex {
public:
    explicit RowIndex(bool ints) : ints_(ints) {}
    // Indexes rows 0 .. rows-1; get(row, i) is the row's i-th key value.
    template <class Get>
    void Build(size_t rows, size_t n, Get get) {
        if (!ints_) {
            byText_.reserve(rows);
            for (size_t r = 0; r < rows; ++r) {
                QString k;
                if (TextKey(n, [&](size_t i) -> const Value& { return get(r, i); }, k)) byText_[k].push_back(static_cast<uint32_t>(r));
            }
            return;
        }
        size_t buckets = 16;
        while (buckets < rows * 2) buckets *= 2;
        mask_ = buckets - 1;
        heads_.assign(buckets, kEnd);
        next_.assign(rows, kEnd);
        hashes_.resize(rows);
        // Rows are chained from the last, so that each chain lists its rows in ascending order.
        for (size_t r = rows; r-- > 0;) {
            unsigned long long h = 0;
            if (!IntKey(n, [&](size_t i) -> const Value& { return get(r, i); }, h)) continue;
            hashes_[r] = h;
            uint32_t& head = heads_[Bucket(h)];
            next_[r] = head;
            head = static_cast<uint32_t>(r);
        }
    }
    // The rows whose key may equal the given one, in ascending order, added to out.
    template <class Get>
    void Find(size_t n, Get get, std::vector<uint32_t>& out) const {
        if (ints_) {
            unsigned long long h = 0;
            if (!IntKey(n, get, h)) return;
            for (uint32_t r = heads_[Bucket(h)]; r != kEnd; r = next_[r])
                if (hashes_[r] == h) out.push_back(r);
            return;
        }
        QString k;
        if (!TextKey(n, get, k)) return;
        auto it = byText_.find(k);
        if (it != byText_.end()) out.insert(out.end(), it->second.begin(), it->second.end());
    }

private:
    static constexpr uint32_t kEnd = 0xffffffffu;
    size_t Bucket(unsigned long long h) const { return static_cast<size_t>((h ^ (h >> 29)) & mask_); }
    // False when a key value is NULL: such a row matches nothing.
    template <class Get>
    static bool IntKey(size_t n, Get get, unsigned long long& h) {
        for (size_t i = 0; i < n; ++i) {
            const Value& v = get(i);
            if (v.IsNull()) return false;
            h = (h ^ static_cast<unsigned long long>(v.AsInt())) * 0x9E3779B97F4A7C15ull + i;
        }
        return true;
    }
    template <class Get>
    static bool TextKey(size_t n, Get get, QString& k) {
        for (size_t i = 0; i < n; ++i) {
            const Value& v = get(i);
            if (v.IsNull()) return false;
            k += HashKey(v);
            k += QChar(0x1f);
        }
        return true;
    }
    bool ints_;
    size_t mask_ = 0;
    std::vector<uint32_t> heads_, next_;
    std::vector<unsigned long long> hashes_;
    std::unordered_map<QString, std::vector<uint32_t>> byText_;
};

// The order of one ORDER BY key as a rank per row (equal values share one, NULLs come first,
// all reversed for DESC), so that a sort compares integers: the values are compared only where
// a row's value differs from the previous row's (a catalog query repeats its table's name on
// each of its columns' rows) and among the distinct values then left. Empty when the values are
// of more than one kind: comparisons across kinds convert, and are left to the sort itself.
std::vector<uint32_t> KeyRanks(const std::vector<Value>& keys, size_t keyCount, size_t key, size_t rows, bool descending) {
    auto at = [&](size_t r) -> const Value& { return keys[r * keyCount + key]; };
    bool kindSet = false;
    Value::Kind kind = Value::Kind::Null;
    for (size_t r = 0; r < rows; ++r) {
        const Value& v = at(r);
        if (v.IsNull()) continue;
        if (!kindSet) {
            kind = v.GetKind();
            kindSet = true;
        } else if (v.GetKind() != kind) {
            return {};
        }
    }
    auto compare = [&](size_t a, size_t b) {
        const Value &x = at(a), &y = at(b);
        return x.IsNull() && y.IsNull() ? 0 : x.IsNull() ? -1 : y.IsNull() ? 1 : CompareValues(x, y);
    };
    // Runs of equal values, each by its first row; then the runs in the order of their values.
    std::vector<uint32_t> runOf(rows), firsts;
    for (size_t r = 0; r < rows; ++r) {
        if (r == 0 || compare(r - 1, r) != 0) firsts.push_back(static_cast<uint32_t>(r));
        runOf[r] = static_cast<uint32_t>(firsts.size() - 1);
    }
    // ASCII texts compare as the collation does once their letters are lower case (trailing
    // spaces aside): each run's text is folded once, not on every comparison.
    std::vector<std::string> folded;
    std::vector<bool> ascii;
    if (kind == Value::Kind::String) {
        folded.resize(firsts.size());
        ascii.assign(firsts.size(), false);
        for (size_t i = 0; i < firsts.size(); ++i) {
            QStringView t = at(firsts[i]).TextView();
            while (!t.isEmpty() && t.back() == u' ') t.chop(1);
            std::string f(static_cast<size_t>(t.size()), '\0');
            bool plain = !at(firsts[i]).IsNull();
            for (qsizetype c = 0; plain && c < t.size(); ++c) {
                const char16_t u = t[c].unicode();
                plain = u < 128;
                f[static_cast<size_t>(c)] = static_cast<char>(u >= u'A' && u <= u'Z' ? u + (u'a' - u'A') : u);
            }
            if (plain) {
                folded[i] = std::move(f);
                ascii[i] = true;
            }
        }
    }
    // Integers (NULLs before them) are compared as they are.
    std::vector<long long> ints;
    if (kind == Value::Kind::Int) {
        ints.resize(firsts.size());
        for (size_t i = 0; i < firsts.size(); ++i) ints[i] = at(firsts[i]).AsInt();
    }
    const bool caseSensitive = ThreadCaseSensitive();
    auto compareRuns = [&](uint32_t a, uint32_t b) {
        if (!ints.empty()) {
            const bool na = at(firsts[a]).IsNull(), nb = at(firsts[b]).IsNull();
            if (na || nb) return na == nb ? 0 : na ? -1 : 1;
            return ints[a] < ints[b] ? -1 : ints[a] > ints[b] ? 1 : 0;
        }
        if (!ascii.empty() && ascii[a] && ascii[b]) {
            const int c = folded[a].compare(folded[b]);
            if (c != 0 || !caseSensitive) return c < 0 ? -1 : c > 0 ? 1 : 0;
        }
        return compare(firsts[a], firsts[b]);
    };
    std::vector<uint32_t> runRank(firsts.size());
    if (!ints.empty()) {
        // A run's rank is its integer's place among the distinct integers (NULLs before them):
        // few where it matters (a column number repeats on every table's rows), so they are
        // sorted instead of the runs.
        std::vector<long long> distinct;
        distinct.reserve(firsts.size());
        bool nulls = false;
        for (size_t i = 0; i < firsts.size(); ++i) {
            if (at(firsts[i]).IsNull()) nulls = true;
            else distinct.push_back(ints[i]);
        }
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        const uint32_t classes = static_cast<uint32_t>(distinct.size()) + (nulls ? 1 : 0);
        for (size_t i = 0; i < firsts.size(); ++i) {
            const uint32_t rank = at(firsts[i]).IsNull() ? 0
                                  : static_cast<uint32_t>(std::lower_bound(distinct.begin(), distinct.end(), ints[i]) - distinct.begin()) +
                                        (nulls ? 1 : 0);
            runRank[i] = descending ? classes - rank : rank;
        }
    } else {
        std::vector<uint32_t> runs(firsts.size());
        for (size_t i = 0; i < runs.size(); ++i) runs[i] = static_cast<uint32_t>(i);
        std::sort(runs.begin(), runs.end(), [&](uint32_t a, uint32_t b) { return compareRuns(a, b) < 0; });
        uint32_t rank = 0;
        for (size_t i = 0; i < runs.size(); ++i) {
            if (i > 0 && compareRuns(runs[i - 1], runs[i]) != 0) ++rank;
            runRank[runs[i]] = descending ? static_cast<uint32_t>(runs.size()) - rank : rank;
        }
    }
    std::vector<uint32_t> ranks(rows);
    for (size_t r = 0; r < rows; ++r) ranks[r] = runRank[runOf[r]];
    return ranks;
}

// Puts the positions 0 .. n-1 in order (the order of their keys, equal keys by position), keys
// of at most width bits: few rows through a comparison sort, more (a catalog query's thousands)
// by their digits, 11 bits a pass from the lowest, each pass keeping the order of the last.
void StableSortByKey(const std::vector<unsigned long long>& keys, int width, std::vector<uint32_t>& order) {
    const size_t n = keys.size();
    order.resize(n);
    for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
    if (n < 512) {
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b] || (keys[a] == keys[b] && a < b); });
        return;
    }
    constexpr int kDigit = 11;
    std::vector<uint32_t> next(n);
    std::vector<uint32_t> starts(size_t(1) << kDigit);
    for (int shift = 0; shift < width; shift += kDigit) {
        const unsigned long long mask = (1ull << kDigit) - 1;
        std::fill(starts.begin(), starts.end(), 0u);
        for (uint32_t r : order) ++starts[(keys[r] >> shift) & mask];
        uint32_t sum = 0;
        for (uint32_t& c : starts) {
            const uint32_t count = c;
            c = sum;
            sum += count;
        }
        for (uint32_t r : order) next[starts[(keys[r] >> shift) & mask]++] = r;
        order.swap(next);
    }
}

bool IntOrNull(const Value& v) { return v.IsNull() || v.GetKind() == Value::Kind::Int; }

}  // namespace

JoinedRows JoinedRows::Of(Relation&& rel) {
    JoinedRows j;
    j.columns = rel.columns;
    j.places.reserve(rel.columns.size());
    std::vector<Value> nulls;
    nulls.reserve(rel.columns.size());
    for (size_t i = 0; i < rel.columns.size(); ++i) {
        j.places.emplace_back(0u, static_cast<uint32_t>(i));
        nulls.push_back(Value::Null(rel.columns[i].xtype));
    }
    j.nulls.push_back(std::move(nulls));
    j.tuples.resize(rel.rows.size());
    for (size_t i = 0; i < rel.rows.size(); ++i) j.tuples[i] = static_cast<uint32_t>(i);
    j.bases.push_back(std::make_shared<const Relation>(std::move(rel)));
    return j;
}

JoinedRows JoinedRows::Of(std::shared_ptr<const Relation> rel, const QString& qualifier, const std::function<bool(size_t)>& keep) {
    JoinedRows j;
    j.columns = rel->columns;
    j.places.reserve(rel->columns.size());
    std::vector<Value> nulls;
    nulls.reserve(rel->columns.size());
    for (size_t i = 0; i < j.columns.size(); ++i) {
        j.columns[i].qualifier = qualifier;
        j.places.emplace_back(0u, static_cast<uint32_t>(i));
        nulls.push_back(Value::Null(rel->columns[i].xtype));
    }
    j.nulls.push_back(std::move(nulls));
    const size_t rows = rel->RowCount();
    j.tuples.reserve(rows);
    for (size_t i = 0; i < rows; ++i)
        if (!keep || keep(i)) j.tuples.push_back(static_cast<uint32_t>(i));
    j.bases.push_back(std::move(rel));
    return j;
}

// ---------------------------------------------------------------- FROM
static void BindCheck(const ExprPtr& e, const std::vector<RelColumn>& cols, const Scope* outer);

// Joins two row sets. Only positions are combined: the values stay in the relations joined.
static JoinedRows JoinRelations(Executor& ex, JoinedRows&& left, JoinedRows&& right, JoinKind kind, const ExprPtr& on,
                                const std::vector<ExprPtr>& extraEqui, const Scope* outer) {
    if (kind == JoinKind::Right) {
        // Evaluate as a left join with the sides swapped, then restore the order of the relations.
        const size_t lw = left.Width(), rw = right.Width(), lc = left.columns.size();
        JoinedRows swapped = JoinRelations(ex, std::move(right), std::move(left), JoinKind::Left, on, extraEqui, outer);
        const size_t rc = swapped.columns.size() - lc;
        JoinedRows out;
        for (size_t i = 0; i < lw; ++i) {
            out.bases.push_back(std::move(swapped.bases[rw + i]));
            out.nulls.push_back(std::move(swapped.nulls[rw + i]));
        }
        for (size_t i = 0; i < rw; ++i) {
            out.bases.push_back(std::move(swapped.bases[i]));
            out.nulls.push_back(std::move(swapped.nulls[i]));
        }
        for (size_t i = 0; i < lc; ++i) {
            out.columns.push_back(swapped.columns[rc + i]);
            out.columns.back().nullable = true;
            out.places.emplace_back(swapped.places[rc + i].first - static_cast<uint32_t>(rw), swapped.places[rc + i].second);
        }
        for (size_t i = 0; i < rc; ++i) {
            out.columns.push_back(swapped.columns[i]);
            out.places.emplace_back(swapped.places[i].first + static_cast<uint32_t>(lw), swapped.places[i].second);
        }
        const size_t rows = swapped.RowCount();
        out.tuples.reserve(swapped.tuples.size());
        for (size_t r = 0; r < rows; ++r) {
            const uint32_t* t = swapped.Tuple(r);
            out.tuples.insert(out.tuples.end(), t + rw, t + rw + lw);
            out.tuples.insert(out.tuples.end(), t, t + rw);
        }
        return out;
    }
    const size_t lw = left.Width(), rw = right.Width(), lc = left.columns.size();
    const size_t leftRows = left.RowCount(), rightRows = right.RowCount();
    JoinedRows out;
    out.columns = left.columns;
    out.columns.insert(out.columns.end(), right.columns.begin(), right.columns.end());
    for (size_t i = 0; i < out.columns.size(); ++i) {
        const bool rightSide = i >= lc;
        if ((rightSide && (kind == JoinKind::Left || kind == JoinKind::Full)) || (!rightSide && kind == JoinKind::Full))
            out.columns[i].nullable = true;
    }
    out.places = left.places;
    for (const auto& [b, c] : right.places) out.places.emplace_back(b + static_cast<uint32_t>(lw), c);

    // Equality conditions between a left column and a right column drive a hash lookup.
    std::vector<ExprPtr> conjuncts;
    SplitConjuncts(on, conjuncts);
    for (const ExprPtr& x : extraEqui) conjuncts.push_back(x);
    // A comparison "left column = right column" as its (left slot, right slot).
    auto equiPair = [&](const Expr& c, std::pair<int, int>& pair) {
        if (c.kind != ExprKind::Compare || c.name != "=") return false;
        const Expr& a = *c.args[0];
        const Expr& b = *c.args[1];
        if (a.kind != ExprKind::Column || b.kind != ExprKind::Column) return false;
        int al = FindSlot(left.columns, a.parts), ar = FindSlot(right.columns, a.parts);
        int bl = FindSlot(left.columns, b.parts), br = FindSlot(right.columns, b.parts);
        if (al >= 0 && ar == -1 && br >= 0 && bl == -1) pair = {al, br};
        else if (bl >= 0 && br == -1 && ar >= 0 && al == -1) pair = {bl, ar};
        else return false;
        return true;
    };
    std::vector<std::pair<int, int>> keys;  // (left slot, right slot)
    for (const ExprPtr& c : conjuncts) {
        std::pair<int, int> pair;
        if (equiPair(*c, pair)) keys.push_back(pair);
    }
    // Without such a conjunct, one that is an OR of them (bound.id = c.cdefault OR bound.id =
    // c.domain) is answered by one lookup per alternative instead of a scan of every right row.
    std::vector<std::pair<int, int>> anyKeys;
    for (size_t ci = 0; keys.empty() && anyKeys.empty() && ci < conjuncts.size(); ++ci) {
        if (conjuncts[ci]->kind != ExprKind::Or) continue;
        std::vector<const Expr*> pending = {conjuncts[ci].get()};
        while (!pending.empty()) {
            const Expr* e = pending.back();
            pending.pop_back();
            std::pair<int, int> pair;
            if (e->kind == ExprKind::Or) {
                pending.push_back(e->args[1].get());
                pending.push_back(e->args[0].get());
            } else if (equiPair(*e, pair)) {
                anyKeys.push_back(pair);
            } else {
                anyKeys.clear();
                break;
            }
        }
    }

    // The values of either side are read through the relations of the result.
    for (size_t i = 0; i < lw; ++i) {
        out.bases.push_back(std::move(left.bases[i]));
        out.nulls.push_back(std::move(left.nulls[i]));
    }
    for (size_t i = 0; i < rw; ++i) {
        out.bases.push_back(std::move(right.bases[i]));
        out.nulls.push_back(std::move(right.nulls[i]));
    }
    auto leftValue = [&](size_t row, int slot) -> const Value& { return out.At(left.Tuple(row), static_cast<size_t>(slot)); };
    auto rightValue = [&](size_t row, int slot) -> const Value& {
        const auto [b, c] = right.places[static_cast<size_t>(slot)];
        const uint32_t r = right.Tuple(row)[b];
        return r == JoinedRows::kNoRow ? out.nulls[lw + b][c] : out.bases[lw + b]->Cell(r, c);
    };
    // Integer keys on both sides (or NULLs) are hashed as integers. When only some of the AND-ed
    // keys are, the others are left to the join condition (parentobj.parent_obj = i.id AND
    // parentobj.name = i.name is looked up by the id alone): they drop no more rows than it does.
    auto intKey = [&](const std::pair<int, int>& key) {
        for (size_t i = 0; i < leftRows; ++i)
            if (!IntOrNull(leftValue(i, key.first))) return false;
        for (size_t i = 0; i < rightRows; ++i)
            if (!IntOrNull(rightValue(i, key.second))) return false;
        return true;
    };
    bool ints = true;
    if (keys.size() > 1) {
        std::vector<std::pair<int, int>> intKeys;
        for (const auto& key : keys)
            if (intKey(key)) intKeys.push_back(key);
        if (!intKeys.empty()) keys = std::move(intKeys);
        else ints = false;
    } else {
        for (const auto& key : keys.empty() ? anyKeys : keys) ints = ints && intKey(key);
    }
    RowIndex index(ints);
    if (!keys.empty())
        index.Build(rightRows, keys.size(), [&](size_t r, size_t k) -> const Value& { return rightValue(r, keys[k].second); });
    std::vector<RowIndex> anyIndex(anyKeys.size(), RowIndex(ints));
    for (size_t j = 0; j < anyKeys.size(); ++j)
        anyIndex[j].Build(rightRows, 1, [&](size_t r, size_t) -> const Value& { return rightValue(r, anyKeys[j].second); });
    // When the condition is nothing but the integer keys hashed, a candidate whose keys are equal
    // meets it: it is not evaluated again (equal hashes are checked for equal keys).
    bool keysDecide = ints && !keys.empty() && extraEqui.empty() && on;
    if (keysDecide) {
        for (const ExprPtr& c : conjuncts) {
            std::pair<int, int> pair;
            keysDecide = keysDecide && equiPair(*c, pair) && std::find(keys.begin(), keys.end(), pair) != keys.end();
        }
    }

    BindCheck(on, out.columns, outer);
    Scope scope;
    scope.columns = &out.columns;
    scope.outer = outer;
    scope.generation = NewScopeGeneration();
    std::vector<uint32_t> combined(lw + rw);
    scope.joined = &out;
    scope.tuple = combined.data();
    std::vector<bool> rightMatched(kind == JoinKind::Full ? rightRows : 0, false);
    std::vector<uint32_t> all, found;
    // A join on keys gives about a row per left row (a column's table, an index's object).
    if (!keys.empty() || !anyKeys.empty()) out.tuples.reserve(leftRows * (lw + rw));
    if (keys.empty() && anyKeys.empty()) {
        all.resize(rightRows);
        for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint32_t>(i);
    }
    for (size_t li = 0; li < leftRows; ++li) {
        const std::vector<uint32_t>* candidates = &all;
        if (!keys.empty()) {
            found.clear();
            index.Find(keys.size(), [&](size_t k) -> const Value& { return leftValue(li, keys[k].first); }, found);
            candidates = &found;
        } else if (!anyKeys.empty()) {
            // The right rows any alternative matches, once each and in their order.
            found.clear();
            for (size_t j = 0; j < anyKeys.size(); ++j)
                anyIndex[j].Find(1, [&](size_t) -> const Value& { return leftValue(li, anyKeys[j].first); }, found);
            if (anyKeys.size() > 1) {
                std::sort(found.begin(), found.end());
                found.erase(std::unique(found.begin(), found.end()), found.end());
            }
            candidates = &found;
        }
        bool matched = false;
        std::copy_n(left.Tuple(li), lw, combined.begin());
        for (uint32_t ri : *candidates) {
            std::copy_n(right.Tuple(ri), rw, combined.begin() + static_cast<std::ptrdiff_t>(lw));
            if (keysDecide) {
                bool equal = true;
                for (size_t k = 0; equal && k < keys.size(); ++k)
                    equal = leftValue(li, keys[k].first).AsInt() == rightValue(ri, keys[k].second).AsInt();
                if (!equal) continue;
            } else if (on && !ex.EvalPredicate(*on, scope)) {
                continue;
            }
            matched = true;
            if (kind == JoinKind::Full) rightMatched[ri] = true;
            for (uint32_t position : combined) out.tuples.push_back(position);
        }
        if (!matched && (kind == JoinKind::Left || kind == JoinKind::Full)) {
            std::fill(combined.begin() + static_cast<std::ptrdiff_t>(lw), combined.end(), JoinedRows::kNoRow);
            out.tuples.insert(out.tuples.end(), combined.begin(), combined.end());
        }
    }
    if (kind == JoinKind::Full) {
        std::fill_n(combined.begin(), lw, JoinedRows::kNoRow);
        for (size_t ri = 0; ri < rightRows; ++ri) {
            if (rightMatched[ri]) continue;
            std::copy_n(right.Tuple(ri), rw, combined.begin() + static_cast<std::ptrdiff_t>(lw));
            out.tuples.insert(out.tuples.end(), combined.begin(), combined.end());
        }
    }
    return out;
}

static void CollectColumnNames(const SelectStmt& q, QSet<QString>& out);

static void CollectColumnNames(const Expr* e, QSet<QString>& out) {
    if (!e) return;
    if (e->kind == ExprKind::Column && !e->parts.isEmpty()) out.insert(e->parts.last().toLower());
    for (const ExprPtr& a : e->args) CollectColumnNames(a.get(), out);
    CollectColumnNames(e->operand.get(), out);
    CollectColumnNames(e->elseExpr.get(), out);
    if (e->subquery) CollectColumnNames(*e->subquery, out);
}

static void CollectColumnNames(const TableRef& ref, QSet<QString>& out) {
    if (ref.kind == TableRef::Kind::Join) {
        CollectColumnNames(*ref.left, out);
        CollectColumnNames(*ref.right, out);
        CollectColumnNames(ref.on.get(), out);
    } else if (ref.kind == TableRef::Kind::Derived && ref.derived) {
        CollectColumnNames(*ref.derived, out);
    }
}

// Every column name a query and its subqueries mention: a superset of the columns it reads.
static void CollectColumnNames(const SelectStmt& q, QSet<QString>& out) {
    for (const SelectItem& i : q.items) CollectColumnNames(i.expr.get(), out);
    for (const auto& a : q.assignments) CollectColumnNames(a.second.get(), out);
    for (const TableRefPtr& f : q.from) CollectColumnNames(*f, out);
    CollectColumnNames(q.where.get(), out);
    for (const ExprPtr& g : q.groupBy) CollectColumnNames(g.get(), out);
    CollectColumnNames(q.having.get(), out);
    for (const OrderItem& o : q.orderBy) CollectColumnNames(o.expr.get(), out);
    CollectColumnNames(q.top.get(), out);
    if (q.unionNext) CollectColumnNames(*q.unionNext, out);
}

static bool ReadsSystemTable(const TableRef& ref) {
    if (ref.kind == TableRef::Kind::Join) return ReadsSystemTable(*ref.left) || ReadsSystemTable(*ref.right);
    return ref.kind == TableRef::Kind::Named && IsSystemTableName(ref.name);
}

// A built-in function whose value depends on nothing but its arguments, the catalog and the
// current database (no time, chance, variable or user-defined code).
static bool IsCatalogFunction(const Expr& e) {
    static const QSet<QString> pure = {"QUOTENAME", "ISNULL", "COALESCE", "NULLIF", "LTRIM", "RTRIM", "UPPER", "LOWER",
                                       "SUBSTRING", "LEFT", "RIGHT", "LEN", "REPLACE", "OBJECTPROPERTY", "COLUMNPROPERTY",
                                       "INDEXPROPERTY", "IDENT_SEED", "IDENT_INCR", "OBJECT_NAME", "OBJECT_ID", "USER_NAME",
                                       "TYPE_NAME", "COL_NAME"};
    return e.parts.size() <= 1 && pure.contains(e.name);
}

// Appends a text that tells apart any two conditions that may give different verdicts on the
// same row: every node's kind, names, flags and literal (exactly, with its type), each text with
// its length. False when the condition's verdict may depend on more than the row, the catalog
// and the session's settings (a variable, a subquery, a function other than the catalog's).
static bool AppendConditionKey(const Expr* e, QString& key) {
    auto number = [&](long long n) {
        key += QString::number(n);
        key += u',';
    };
    auto text = [&](const QString& t) {
        key += QString::number(t.size());
        key += u':';
        key += t;
    };
    if (!e) {
        key += u'-';
        return true;
    }
    switch (e->kind) {
    case ExprKind::Variable:
    case ExprKind::Star:
    case ExprKind::Exists:
    case ExprKind::Subquery:
        return false;
    case ExprKind::Function:
        if (!IsCatalogFunction(*e) || IsAggregateName(e->name)) return false;
        break;
    default:
        break;
    }
    if (e->subquery) return false;
    key += u'(';
    number(static_cast<int>(e->kind));
    text(e->name);
    if (e->kind == ExprKind::Column && !e->parts.isEmpty()) {
        // Every column a condition reads is of the one table whose rows keep the verdicts: its
        // name tells it apart, whatever the table is called in the query (sysobjects.status,
        // systables.status, bound.parent_obj and sysobjects.parent_obj read the same values).
        text(e->parts.last().toLower());
    } else {
        number(e->parts.size());
        for (const QString& p : e->parts) text(p);
    }
    number((e->negated ? 1 : 0) | (e->distinct ? 2 : 0) | (e->star ? 4 : 0));
    if (e->kind == ExprKind::Cast) {
        text(e->type.name);
        number(e->type.length);
        number(e->type.precision);
        number(e->type.scale);
    }
    if (e->kind == ExprKind::Literal) {
        const Value& v = e->value;
        number(static_cast<int>(v.GetKind()));
        number(v.XTypeCode());
        number(v.DecimalScale());
        switch (v.GetKind()) {
        case Value::Kind::Null: break;
        case Value::Kind::Int: number(v.AsInt()); break;
        case Value::Kind::Float: text(QString::number(v.AsDouble(), 'g', 17)); break;
        case Value::Kind::Decimal: text(DecimalText(v.DecimalScaled(), v.DecimalScale())); break;
        case Value::Kind::DateTime: number(v.AsDateTime().toMSecsSinceEpoch()); break;
        case Value::Kind::String: text(v.AsString()); break;
        case Value::Kind::Binary: text(QString::fromLatin1(v.AsBinary().toHex())); break;
        }
    }
    number(static_cast<long long>(e->args.size()));
    for (const ExprPtr& a : e->args)
        if (!AppendConditionKey(a.get(), key)) return false;
    if (!AppendConditionKey(e->operand.get(), key) || !AppendConditionKey(e->elseExpr.get(), key)) return false;
    key += u')';
    return true;
}

// WHERE conditions that a system table of a join answers alone are applied to its rows while it
// is built, so that it holds, and the join hashes and combines, only the rows that can pass. A condition
// qualifies when every column it reads is named with that table's name or alias (one FROM entry
// alone has it), it holds no subquery or aggregate, and the table is not on the side of an outer
// join that may read as NULLs. WHERE being an AND of its conditions, the result is the same; the
// conditions applied are not evaluated again on the joined rows.
struct PushedConditions {
    const std::vector<ExprPtr>* conjuncts = nullptr;
    std::vector<bool> applied;    // by conjunct
    QHash<QString, int> exposed;  // lower-case table name or alias -> FROM entries that have it
};

static void CountExposedNames(const TableRef& ref, QHash<QString, int>& out) {
    if (ref.kind == TableRef::Kind::Join) {
        CountExposedNames(*ref.left, out);
        CountExposedNames(*ref.right, out);
    } else {
        ++out[(ref.alias.isEmpty() ? ref.name : ref.alias).toLower()];
    }
}

// Whether the expression reads nothing but columns of the table with the given qualifier (and
// calls no user-defined function, which could read other tables).
static bool ReadsOnlyTable(const Expr* e, const QString& qualifier, const std::vector<RelColumn>& columns) {
    if (!e) return true;
    if (e->subquery || e->kind == ExprKind::Star) return false;
    if (e->kind == ExprKind::Function && (IsAggregateName(e->name) || e->parts.size() > 1)) return false;
    if (e->kind == ExprKind::Column)
        return e->parts.size() >= 2 && e->parts[e->parts.size() - 2].compare(qualifier, Qt::CaseInsensitive) == 0 &&
               FindSlot(columns, e->parts) >= 0;
    for (const ExprPtr& a : e->args)
        if (!ReadsOnlyTable(a.get(), qualifier, columns)) return false;
    return ReadsOnlyTable(e->operand.get(), qualifier, columns) && ReadsOnlyTable(e->elseExpr.get(), qualifier, columns);
}

// The filter of a system table's rows by the WHERE conditions it answers alone. They are chosen
// at its first row, when its columns are known; a table without rows applies none.
class PushedFilter {
public:
    PushedFilter(Executor& ex, const TableRef& ref, const Scope* outer, PushedConditions& push)
        : ex_(ex), qualifier_(ref.alias.isEmpty() ? ref.name : ref.alias), outer_(outer), push_(push) {}
    bool operator()(const std::vector<RelColumn>& columns, const std::vector<Value>& row) {
        if (!chosen_) Choose(columns);
        if (mine_.empty()) return true;
        scope_.row = &row;
        for (const Expr* c : mine_)
            if (!ex_.EvalPredicate(*c, scope_)) return false;
        return true;
    }

    // The rows of a system table kept per catalog state that pass. A condition whose verdict
    // depends on nothing but the row, the catalog and the session's settings leaves its verdict
    // on each row it is evaluated on with the table, and the next query that asks the same (the
    // queries of a catalog read test OBJECTPROPERTY(sysobjects.id, 'IsMSShipped') and the like
    // on every object) reads it instead. The conditions are asked in the same order, of the same
    // rows, as without the verdicts.
    JoinedRows Pick(std::shared_ptr<const Relation> rel) {
        const Relation& kept = *rel;
        const size_t rows = kept.RowCount();
        if (rows != 0) Choose(kept.columns);
        std::vector<signed char*> verdicts(mine_.size(), nullptr);  // by condition: null when not kept
        if (!mine_.empty()) {
            // What the verdicts may depend on besides the row and the catalog.
            const QString& dbName = ex_.CurrentDb().name;
            const SessionOptions& options = ex_.Session().options;
            const QString context = QString::number(dbName.size()) + u':' + dbName + (options.ansiNulls ? u'1' : u'0') +
                                    (ThreadCaseSensitive() ? u'1' : u'0') + QString::number(options.dateFormat.size()) + u':' +
                                    options.dateFormat;
            if (!kept.verdicts) kept.verdicts = std::make_shared<Relation::Verdicts>();
            for (size_t i = 0; i < mine_.size(); ++i) {
                QString key = context;
                if (!AppendConditionKey(mine_[i], key)) continue;
                std::vector<signed char>& v = (*kept.verdicts)[key];
                if (v.empty()) v.assign(rows, -1);
                verdicts[i] = v.data();
            }
        }
        JoinedRows out = JoinedRows::Of(std::move(rel), qualifier_);
        if (mine_.empty()) return out;
        // The conditions read each row through the result's one relation (whose rows may be held
        // in one block); the rows that fail are dropped from it in place.
        scope_.row = nullptr;
        scope_.joined = &out;
        auto passes = [&](uint32_t r) {
            for (size_t i = 0; i < mine_.size(); ++i) {
                signed char* v = verdicts[i];
                if (v && v[r] >= 0) {
                    if (!v[r]) return false;
                    continue;
                }
                const bool pass = ex_.EvalPredicate(*mine_[i], scope_);
                if (v) v[r] = pass ? 1 : 0;
                if (!pass) return false;
            }
            return true;
        };
        size_t passed = 0;
        for (size_t i = 0; i < out.tuples.size(); ++i) {
            const uint32_t r = out.tuples[i];
            scope_.tuple = &out.tuples[i];
            if (passes(r)) out.tuples[passed++] = r;
        }
        out.tuples.resize(passed);
        scope_.joined = nullptr;
        scope_.tuple = nullptr;
        return out;
    }

private:
    void Choose(const std::vector<RelColumn>& columns) {
        chosen_ = true;
        columns_ = columns;
        for (RelColumn& c : columns_) c.qualifier = qualifier_;
        for (size_t i = 0; i < push_.conjuncts->size(); ++i) {
            const Expr* c = (*push_.conjuncts)[i].get();
            if (push_.applied[i] || !ReadsOnlyTable(c, qualifier_, columns_)) continue;
            mine_.push_back(c);
            push_.applied[i] = true;
        }
        scope_.columns = &columns_;
        scope_.outer = outer_;
        scope_.generation = NewScopeGeneration();
    }
    Executor& ex_;
    QString qualifier_;
    const Scope* outer_;
    PushedConditions& push_;
    bool chosen_ = false;
    std::vector<RelColumn> columns_;
    std::vector<const Expr*> mine_;
    Scope scope_;
};

// An inner join of a system table on a condition that requires a column of the leftmost table of
// its left side to equal one of the system table's (bound.id = syscolumns.cdefault OR bound.id =
// syscolumns.domain, an alternative each): a row of that leftmost table none of whose values the
// system table holds is part of no joined row, so it is dropped before the joins of the left side
// multiply it (the bound objects' query joins every column with its table and owner, and then finds
// none bound). Only integers are decided here (two integers are equal when their values are); a
// row holding any other kind of value is kept, and the join's condition decides every row kept.
// It is applied only when the leftmost table has more rows than the system table (with fewer, few
// of them would be dropped, and not the work of looking them up).
struct SemiJoin {
    QString leftTable;                                              // lower-case name or alias
    std::vector<std::pair<const Expr*, const Expr*>> alternatives;  // (its column, the system table's)
    const JoinedRows* right = nullptr;                              // the system table's rows
};

static QString ExposedName(const TableRef& ref) { return (ref.alias.isEmpty() ? ref.name : ref.alias).toLower(); }

static bool ColumnOf(const Expr& e, const QString& table) {
    return e.kind == ExprKind::Column && e.parts.size() >= 2 && e.parts[e.parts.size() - 2].compare(table, Qt::CaseInsensitive) == 0;
}

// Whether a join condition is nothing but equalities of two columns (none of which can fail on the
// rows a semi-join drops before it).
static bool ColumnEqualities(const Expr* on) {
    if (!on) return false;
    if (on->kind == ExprKind::And) return ColumnEqualities(on->args[0].get()) && ColumnEqualities(on->args[1].get());
    return on->kind == ExprKind::Compare && on->name == "=" && on->args[0]->kind == ExprKind::Column &&
           on->args[1]->kind == ExprKind::Column;
}

// The semi-join of an inner join with a system table: its first conjunct that is an equality (or
// an OR of equalities) of a column of the leftmost table of the left side and one of the system
// table. The leftmost table is reached through joins that keep every row of their left side on
// column equalities, and both tables have names of their own in the FROM entry.
static bool FindSemiJoin(const TableRef& ref, const PushedConditions& push, SemiJoin& semi) {
    if (ref.join != JoinKind::Inner || !ref.on || ref.right->kind != TableRef::Kind::Named || !IsSystemTableName(ref.right->name))
        return false;
    const TableRef* t = ref.left.get();
    while (t->kind == TableRef::Kind::Join) {
        if ((t->join != JoinKind::Inner && t->join != JoinKind::Left) || !ColumnEqualities(t->on.get())) return false;
        t = t->left.get();
    }
    if (t->kind != TableRef::Kind::Named || !IsSystemTableName(t->name)) return false;
    const QString left = ExposedName(*t), right = ExposedName(*ref.right);
    if (left == right || push.exposed.value(left) != 1 || push.exposed.value(right) != 1) return false;
    std::vector<ExprPtr> conjuncts;
    SplitConjuncts(ref.on, conjuncts);
    for (const ExprPtr& c : conjuncts) {
        semi.alternatives.clear();
        std::vector<const Expr*> pending = {c.get()};
        while (!pending.empty()) {
            const Expr* e = pending.back();
            pending.pop_back();
            if (e->kind == ExprKind::Or) {
                pending.push_back(e->args[1].get());
                pending.push_back(e->args[0].get());
                continue;
            }
            const Expr* a = e->kind == ExprKind::Compare && e->name == "=" ? e->args[0].get() : nullptr;
            const Expr* b = a ? e->args[1].get() : nullptr;
            if (a && ColumnOf(*a, right) && ColumnOf(*b, left)) std::swap(a, b);
            if (!a || !ColumnOf(*a, left) || !ColumnOf(*b, right)) {
                semi.alternatives.clear();
                break;
            }
            semi.alternatives.emplace_back(a, b);
        }
        if (!semi.alternatives.empty()) {
            semi.leftTable = left;
            return true;
        }
    }
    return false;
}

// The system table's values of each alternative, sorted; false when one is not an integer or NULL
// (the semi-join is then not applied).
static bool CollectSemiJoinValues(const SemiJoin& semi, std::vector<std::vector<long long>>& out) {
    const JoinedRows& right = *semi.right;
    out.assign(semi.alternatives.size(), {});
    const size_t rows = right.RowCount();
    for (size_t j = 0; j < semi.alternatives.size(); ++j) {
        const int slot = FindSlot(right.columns, semi.alternatives[j].second->parts);
        if (slot < 0) return false;
        std::vector<long long>& values = out[j];
        values.reserve(rows);
        for (size_t r = 0; r < rows; ++r) {
            const Value& v = right.At(right.Tuple(r), static_cast<size_t>(slot));
            if (v.IsNull()) continue;
            if (v.GetKind() != Value::Kind::Int) return false;
            values.push_back(v.AsInt());
        }
        if (!std::is_sorted(values.begin(), values.end())) std::sort(values.begin(), values.end());
    }
    return true;
}

// Drops, in place and in order, the rows of a table that a semi-join shows to join nothing.
static void ApplySemiJoin(const SemiJoin& semi, JoinedRows& rows) {
    if (rows.Width() != 1 || rows.RowCount() <= semi.right->RowCount()) return;
    std::vector<size_t> keyColumns;
    for (const auto& alternative : semi.alternatives) {
        const int slot = FindSlot(rows.columns, alternative.first->parts);
        if (slot < 0) return;  // (left to the join, which reports it)
        keyColumns.push_back(static_cast<size_t>(slot));
    }
    std::vector<std::vector<long long>> values;
    if (!CollectSemiJoinValues(semi, values)) return;
    size_t kept = 0;
    for (size_t r = 0; r < rows.tuples.size(); ++r) {
        bool keep = false;
        for (size_t j = 0; !keep && j < keyColumns.size(); ++j) {
            const Value& v = rows.At(&rows.tuples[r], keyColumns[j]);
            keep = !v.IsNull() && (v.GetKind() != Value::Kind::Int ||
                                   std::binary_search(values[j].begin(), values[j].end(), v.AsInt()));
        }
        if (keep) rows.tuples[kept++] = rows.tuples[r];
    }
    rows.tuples.resize(kept);
}

// push: the WHERE conditions that may be applied to this entry's system tables (null: none may).
// whole: the tables (lower-case name or alias) a "table.*" of the query reads in full.
// semis: the semi-joins of joins above that reduce this entry's leftmost table.
static JoinedRows BuildFrom(Executor& ex, const TableRef& ref, const Scope* outer, const QSet<QString>* columns,
                            PushedConditions* push, const QSet<QString>& whole, std::vector<const SemiJoin*> semis = {}) {
    if (ref.kind == TableRef::Kind::Join) {
        const bool leftKept = ref.join != JoinKind::Right && ref.join != JoinKind::Full;
        const bool rightKept = ref.join != JoinKind::Left && ref.join != JoinKind::Full;
        SemiJoin semi;
        if (push && FindSemiJoin(ref, *push, semi)) {
            // The system table is built first, to reduce the leftmost table of the left side.
            JoinedRows r = BuildFrom(ex, *ref.right, outer, columns, push, whole);
            semi.right = &r;
            semis.push_back(&semi);
            JoinedRows l = BuildFrom(ex, *ref.left, outer, columns, push, whole, std::move(semis));
            return JoinRelations(ex, std::move(l), std::move(r), ref.join, ref.on, {}, outer);
        }
        JoinedRows l = BuildFrom(ex, *ref.left, outer, columns, leftKept ? push : nullptr, whole, std::move(semis));
        JoinedRows r = BuildFrom(ex, *ref.right, outer, columns, rightKept ? push : nullptr, whole);
        return JoinRelations(ex, std::move(l), std::move(r), ref.join, ref.on, {}, outer);
    }
    if (ref.kind == TableRef::Kind::Derived) {
        Relation r = ex.RunQuery(*ref.derived, nullptr);
        for (size_t i = 0; i < r.columns.size(); ++i) {
            if (r.columns[i].name.isEmpty())
                throw ErrGeneric(8155, 16, QStringLiteral("No column was specified for column %1 of '%2'.").arg(i + 1).arg(ref.alias));
            r.columns[i].qualifier = ref.alias;
        }
        return JoinedRows::Of(std::move(r));
    }
    const QString exposed = (ref.alias.isEmpty() ? ref.name : ref.alias).toLower();
    if (whole.contains(exposed)) columns = nullptr;
    if (push && IsSystemTableName(ref.name) && push->exposed.value(exposed) == 1) {
        PushedFilter pushed(ex, ref, outer, *push);
        const SystemRowFilter filter = std::ref(pushed);
        std::shared_ptr<const Relation> shared;
        Relation r = ex.ResolveTable(ref, nullptr, nullptr, columns, &filter, &shared);
        JoinedRows rows = shared ? pushed.Pick(std::move(shared)) : JoinedRows::Of(std::move(r));
        for (const SemiJoin* semi : semis)
            if (semi->leftTable == exposed) ApplySemiJoin(*semi, rows);
        return rows;
    }
    std::shared_ptr<const Relation> shared;
    Relation r = ex.ResolveTable(ref, nullptr, nullptr, columns, nullptr, &shared);
    return shared ? JoinedRows::Of(std::move(shared), ref.alias.isEmpty() ? ref.name : ref.alias) : JoinedRows::Of(std::move(r));
}

// ---------------------------------------------------------------- SELECT
namespace {

struct OutputRow {
    std::vector<Value> values;
};

struct TypeInfo {
    int xtype = XInt;
    int length = 4;
};

int NumericRank(int x) {
    switch (x) {
    case XFloat: return 12;
    case XReal: return 11;
    case XDecimal: case XNumeric: return 10;
    case XMoney: return 9;
    case XSmallMoney: return 8;
    case XBigInt: return 7;
    case XInt: return 6;
    case XSmallInt: return 5;
    case XTinyInt: return 4;
    case XBit: return 3;
    default: return 0;
    }
}

TypeInfo FixedType(int xtype) {
    const BuiltinType* b = FindBuiltinType(xtype);
    return TypeInfo{xtype, b ? b->length : 4};
}

// The type the server gives an expression when it compiles the query.
TypeInfo InferType(const Expr& e, const std::vector<RelColumn>& cols) {
    switch (e.kind) {
    case ExprKind::Literal: {
        const Value& v = e.value;
        if (v.GetKind() == Value::Kind::String) {
            int n = std::max(1, static_cast<int>(v.AsString().size()));
            return TypeInfo{v.XTypeCode(), IsUnicodeType(v.XTypeCode()) ? 2 * n : n};
        }
        if (v.GetKind() == Value::Kind::Binary) return TypeInfo{XVarBinary, std::max(1, static_cast<int>(v.AsBinary().size()))};
        if (v.IsNull()) return TypeInfo{XInt, 4};
        return FixedType(v.XTypeCode());
    }
    case ExprKind::Column: {
        int slot = FindSlot(cols, e.parts);
        if (slot >= 0) return TypeInfo{cols[slot].xtype, cols[slot].length};
        return TypeInfo{XInt, 4};
    }
    case ExprKind::Variable: return TypeInfo{XNVarChar, 256};
    case ExprKind::Unary: return InferType(*e.args[0], cols);
    case ExprKind::Binary: {
        TypeInfo a = InferType(*e.args[0], cols), b = InferType(*e.args[1], cols);
        if (e.name == "&" || e.name == "|" || e.name == "^") return NumericRank(a.xtype) >= NumericRank(b.xtype) ? a : b;
        if (IsStringType(a.xtype) && IsStringType(b.xtype)) {
            bool uni = IsUnicodeType(a.xtype) || IsUnicodeType(b.xtype);
            int la = IsUnicodeType(a.xtype) ? a.length : (uni ? 2 * a.length : a.length);
            int lb = IsUnicodeType(b.xtype) ? b.length : (uni ? 2 * b.length : b.length);
            return TypeInfo{uni ? XNVarChar : XVarChar, std::min(uni ? 8000 : 8000, la + lb)};
        }
        if (a.xtype == XDateTime || b.xtype == XDateTime) return FixedType(XDateTime);
        TypeInfo hi = NumericRank(a.xtype) >= NumericRank(b.xtype) ? a : b;
        if (NumericRank(hi.xtype) == 0) return TypeInfo{XInt, 4};
        if (hi.xtype == XReal) return FixedType(XFloat);
        if (hi.xtype == XBit || hi.xtype == XTinyInt || hi.xtype == XSmallInt) return FixedType(XInt);
        if (hi.xtype == XDecimal) return TypeInfo{XNumeric, 17};
        return hi;
    }
    case ExprKind::Cast: {
        const BuiltinType* b = FindBuiltinType(e.type.name);
        if (!b) return TypeInfo{XNVarChar, 256};
        int len = b->length;
        if (b->variable && (IsStringType(b->xtype) || IsBinaryType(b->xtype))) {
            int n = e.type.length > 0 ? e.type.length : 30;
            len = IsUnicodeType(b->xtype) ? 2 * n : n;
        }
        if (b->xtype == XDecimal || b->xtype == XNumeric) len = 17;
        return TypeInfo{b->xtype, len};
    }
    case ExprKind::Case: {
        TypeInfo best{0, 0};
        for (size_t i = 1; i < e.args.size(); i += 2) {
            TypeInfo t = InferType(*e.args[i], cols);
            if (best.xtype == 0 || NumericRank(t.xtype) > NumericRank(best.xtype) ||
                (IsStringType(t.xtype) && IsStringType(best.xtype) && t.length > best.length))
                best = t;
        }
        if (e.elseExpr) {
            TypeInfo t = InferType(*e.elseExpr, cols);
            if (best.xtype == 0 || NumericRank(t.xtype) > NumericRank(best.xtype) ||
                (IsStringType(t.xtype) && IsStringType(best.xtype) && t.length > best.length))
                best = t;
        }
        return best.xtype == 0 ? TypeInfo{XInt, 4} : best;
    }
    case ExprKind::Function: {
        const QString& f = e.name;
        auto arg = [&](size_t i) { return i < e.args.size() ? InferType(*e.args[i], cols) : TypeInfo{XInt, 4}; };
        if (f == "COUNT" || f == "LEN" || f == "CHARINDEX" || f == "PATINDEX" || f == "DATALENGTH" || f == "OBJECT_ID" ||
            f == "DATEPART" || f == "YEAR" || f == "MONTH" || f == "DAY" || f == "DATEDIFF" || f.endsWith(QLatin1String("PROPERTY")) ||
            f == "ASCII" || f == "UNICODE" || f == "GROUPING" || f == "ISNUMERIC" || f == "ISDATE")
            return FixedType(XInt);
        if (f == "COUNT_BIG") return FixedType(XBigInt);
        if (f == "SUM" || f == "AVG") {
            TypeInfo t = arg(0);
            if (t.xtype == XBit || t.xtype == XTinyInt || t.xtype == XSmallInt) return FixedType(XInt);
            if (t.xtype == XReal) return FixedType(XFloat);
            if (t.xtype == XSmallMoney) return FixedType(XMoney);
            if (t.xtype == XDecimal) return TypeInfo{XNumeric, 17};
            return t;
        }
        if (f == "MIN" || f == "MAX" || f == "ISNULL" || f == "COALESCE" || f == "NULLIF" || f == "ABS" || f == "ROUND" ||
            f == "FLOOR" || f == "CEILING" || f == "LTRIM" || f == "RTRIM" || f == "UPPER" || f == "LOWER" ||
            f == "REVERSE" || f == "SUBSTRING" || f == "LEFT" || f == "RIGHT" || f == "REPLACE" || f == "STUFF")
            return arg(0);
        if (f == "QUOTENAME") return TypeInfo{XNVarChar, 516};
        if (f == "OBJECT_NAME" || f == "DB_NAME" || f == "USER_NAME" || f == "USER" || f == "CURRENT_USER" ||
            f == "SUSER_SNAME" || f == "COL_NAME" || f == "INDEX_COL" || f == "TYPE_NAME" || f == "SESSION_USER" ||
            f == "SYSTEM_USER" || f == "HOST_NAME" || f == "APP_NAME")
            return TypeInfo{XNVarChar, 256};
        if (f == "DATENAME") return TypeInfo{XNVarChar, 60};
        if (f == "GETDATE" || f == "GETUTCDATE" || f == "DATEADD") return FixedType(XDateTime);
        if (f == "STR") return TypeInfo{XChar, e.args.size() > 1 && e.args[1]->kind == ExprKind::Literal ? static_cast<int>(e.args[1]->value.AsInt()) : 10};
        if (f == "CHAR") return TypeInfo{XChar, 1};
        if (f == "NCHAR") return TypeInfo{XNChar, 2};
        if (f == "SPACE" || f == "REPLICATE") return TypeInfo{XVarChar, 8000};
        if (f == "IDENT_SEED" || f == "IDENT_INCR" || f == "IDENT_CURRENT" || f == "SCOPE_IDENTITY") return TypeInfo{XNumeric, 13};
        if (f == "NEWID") return FixedType(XUniqueIdentifier);
        if (f == "POWER" || f == "SQRT" || f == "LOG" || f == "EXP" || f == "LOG10" || f == "PI" || f == "RAND") return FixedType(XFloat);
        return TypeInfo{0, 0};
    }
    case ExprKind::Subquery: return TypeInfo{0, 0};
    default: return FixedType(XInt);
    }
}

}  // namespace

// Resolves every column name of an expression once, so that a wrong name is reported even
// when no row is ever evaluated (the server binds names when it compiles the query).
static void BindCheck(const ExprPtr& e, const std::vector<RelColumn>& cols, const Scope* outer) {
    if (!e) return;
    if (e->kind == ExprKind::Column) {
        int slot = FindSlot(cols, e->parts);
        if (slot == -2) throw ErrGeneric(209, 16, QStringLiteral("Ambiguous column name '%1'.").arg(e->parts.last()));
        if (slot >= 0) return;
        for (const Scope* s = outer; s; s = s->outer) {
            if (!s->columns) continue;
            int o = FindSlot(*s->columns, e->parts);
            if (o == -2) throw ErrGeneric(209, 16, QStringLiteral("Ambiguous column name '%1'.").arg(e->parts.last()));
            if (o >= 0) return;
        }
        if (e->parts.size() >= 2)
            throw ErrGeneric(107, 16, QStringLiteral("The column prefix '%1' does not match with a table name or alias name used in the query.")
                                          .arg(e->parts.mid(0, e->parts.size() - 1).join(u'.')));
        throw ErrInvalidColumn(e->parts.last());
    }
    if (e->kind == ExprKind::Function && !e->args.empty() &&
        (e->name == "DATEPART" || e->name == "DATENAME" || e->name == "DATEADD" || e->name == "DATEDIFF")) {
        for (size_t i = 1; i < e->args.size(); ++i) BindCheck(e->args[i], cols, outer);
        return;
    }
    for (const ExprPtr& a : e->args) BindCheck(a, cols, outer);
    BindCheck(e->operand, cols, outer);
    BindCheck(e->elseExpr, cols, outer);
}

// Whether an expression's value depends on nothing but the columns it reads (and the catalog,
// which cannot change while a query runs): no subquery, variable, aggregate, user-defined or
// time- and chance-dependent function. The relations of a join it reads are added to rels; false
// when it reads a column of an outer query.
static bool RowFunctionOf(const Expr* e, const JoinedRows& src, std::vector<uint32_t>& rels) {
    if (!e) return true;
    switch (e->kind) {
    case ExprKind::Column: {
        const int slot = FindSlot(src.columns, e->parts);
        if (slot < 0) return false;
        rels.push_back(src.places[static_cast<size_t>(slot)].first);
        return true;
    }
    case ExprKind::Function:
        if (!IsCatalogFunction(*e)) return false;
        break;
    case ExprKind::Variable:
    case ExprKind::Star:
    case ExprKind::Exists:
    case ExprKind::Subquery:
        return false;
    default:
        break;
    }
    if (e->subquery) return false;
    for (const ExprPtr& a : e->args)
        if (!RowFunctionOf(a.get(), src, rels)) return false;
    return RowFunctionOf(e->operand.get(), src, rels) && RowFunctionOf(e->elseExpr.get(), src, rels);
}

Relation Executor::RunQuery(const SelectStmt& q, const Scope* outer) {
    if (cancel_.load()) throw CancelSignal{};
    QueryScope lookups(lookups_);
    if (q.unionNext) {
        Relation acc;
        bool first = true;
        bool distinct = false;
        for (const SelectStmt* term = &q; term; term = term->unionNext.get()) {
            SelectStmt copy = *term;
            copy.unionNext.reset();
            copy.orderBy.clear();
            Relation r = RunQuery(copy, outer);
            if (first) {
                acc = std::move(r);
                first = false;
            } else {
                if (r.columns.size() != acc.columns.size())
                    throw ErrGeneric(205, 16, QStringLiteral("All queries in an SQL statement containing a UNION operator must have an equal number of expressions in their target lists."));
                for (auto& row : r.rows) acc.rows.push_back(std::move(row));
            }
            if (!term->unionAll && term->unionNext) distinct = true;
        }
        if (distinct) {
            QSet<QString> seen;
            std::vector<std::vector<Value>> rows;
            for (auto& row : acc.rows) {
                QString k = RowKey(row);
                if (seen.contains(k)) continue;
                seen.insert(k);
                rows.push_back(std::move(row));
            }
            acc.rows = std::move(rows);
            // UNION sorts its result as the server's distinct sort does.
            std::stable_sort(acc.rows.begin(), acc.rows.end(), [](const auto& a, const auto& b) {
                for (size_t i = 0; i < a.size(); ++i) {
                    if (a[i].IsNull() != b[i].IsNull()) return a[i].IsNull();
                    if (a[i].IsNull()) continue;
                    int c = CompareValues(a[i], b[i]);
                    if (c) return c < 0;
                }
                return false;
            });
        }
        if (!q.orderBy.empty()) {
            Scope s;
            s.columns = &acc.columns;
            s.outer = outer;
            s.generation = NewScopeGeneration();
            std::vector<std::pair<std::vector<Value>, size_t>> keyed;
            for (size_t i = 0; i < acc.rows.size(); ++i) {
                s.row = &acc.rows[i];
                std::vector<Value> k;
                for (const OrderItem& o : q.orderBy) {
                    if (o.expr->kind == ExprKind::Literal && o.expr->value.GetKind() == Value::Kind::Int) {
                        long long n = o.expr->value.AsInt();
                        if (n < 1 || n > static_cast<long long>(acc.columns.size()))
                            throw ErrGeneric(108, 16, QStringLiteral("The ORDER BY position number %1 is out of range of the number of items in the select list.").arg(n));
                        k.push_back(acc.rows[i][n - 1]);
                    } else {
                        k.push_back(Eval(*o.expr, s));
                    }
                }
                keyed.emplace_back(std::move(k), i);
            }
            std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
                for (size_t i = 0; i < q.orderBy.size(); ++i) {
                    const Value &x = a.first[i], &y = b.first[i];
                    int c = x.IsNull() && y.IsNull() ? 0 : x.IsNull() ? -1 : y.IsNull() ? 1 : CompareValues(x, y);
                    if (q.orderBy[i].descending) c = -c;
                    if (c) return c < 0;
                }
                return false;
            });
            std::vector<std::vector<Value>> rows;
            for (auto& kv : keyed) rows.push_back(std::move(acc.rows[kv.second]));
            acc.rows = std::move(rows);
        }
        return acc;
    }

    // FROM
    JoinedRows src;
    std::vector<ExprPtr> whereConjuncts;
    SplitConjuncts(q.where, whereConjuncts);
    PushedConditions push;
    if (q.from.empty()) {
        Relation one;
        one.rows.emplace_back();
        src = JoinedRows::Of(std::move(one));
    } else {
        // System tables are built with only the columns the query names, but for those its
        // "table.*" items name (all of them when one is a bare *).
        QSet<QString> names, whole;
        const QSet<QString>* columns = nullptr;
        bool star = false;
        for (const SelectItem& i : q.items) {
            if (i.expr->kind != ExprKind::Star) continue;
            if (i.expr->parts.isEmpty()) star = true;
            else whole.insert(i.expr->parts.last().toLower());
        }
        bool system = false;
        for (const TableRefPtr& f : q.from) system = system || ReadsSystemTable(*f);
        if (system && !star) {
            CollectColumnNames(q, names);
            columns = &names;
        }
        push.conjuncts = &whereConjuncts;
        push.applied.assign(whereConjuncts.size(), false);
        for (const TableRefPtr& f : q.from) CountExposedNames(*f, push.exposed);
        if (q.from.size() == 1 && q.from[0]->kind == TableRef::Kind::Named) {
            const TableRef& ref = *q.from[0];
            const QSet<QString>* read = whole.isEmpty() ? columns : nullptr;
            std::shared_ptr<const Relation> shared;
            Relation r = ResolveTable(ref, &whereConjuncts, outer, read, nullptr, &shared);
            src = shared ? JoinedRows::Of(std::move(shared), ref.alias.isEmpty() ? ref.name : ref.alias)
                         : JoinedRows::Of(std::move(r));
        }
        else
            src = BuildFrom(*this, *q.from[0], outer, columns, &push, whole);
        for (size_t i = 1; i < q.from.size(); ++i) {
            JoinedRows next = BuildFrom(*this, *q.from[i], outer, columns, &push, whole);
            src = JoinRelations(*this, std::move(src), std::move(next), JoinKind::Inner, nullptr, whereConjuncts, outer);
        }
    }

    Scope scope;
    scope.columns = &src.columns;
    scope.joined = &src;
    scope.outer = outer;
    scope.generation = NewScopeGeneration();

    for (const SelectItem& si : q.items)
        if (si.expr->kind != ExprKind::Star) BindCheck(si.expr, src.columns, outer);
    for (const auto& a : q.assignments) BindCheck(a.second, src.columns, outer);
    BindCheck(q.where, src.columns, outer);
    for (const ExprPtr& g : q.groupBy) BindCheck(g, src.columns, outer);
    BindCheck(q.having, src.columns, outer);

    // WHERE
    std::vector<const uint32_t*> tupleRows;
    const size_t srcRows = src.RowCount();
    tupleRows.reserve(srcRows);
    std::vector<const Expr*> remaining;  // the conditions not applied while building FROM
    const bool pushed = std::find(push.applied.begin(), push.applied.end(), true) != push.applied.end();
    for (size_t i = 0; pushed && i < whereConjuncts.size(); ++i)
        if (!push.applied[i]) remaining.push_back(whereConjuncts[i].get());
    for (size_t i = 0; i < srcRows; ++i) {
        scope.tuple = src.Tuple(i);
        if (pushed) {
            if (!std::all_of(remaining.begin(), remaining.end(), [&](const Expr* c) { return EvalPredicate(*c, scope); })) continue;
        } else if (q.where && !EvalPredicate(*q.where, scope)) {
            continue;
        }
        tupleRows.push_back(scope.tuple);
    }

    // Select list with stars expanded.
    struct Item {
        ExprPtr expr;
        QString name;
        int slot = -1;  // direct column
    };
    std::vector<Item> items;
    for (const SelectItem& si : q.items) {
        if (si.expr->kind == ExprKind::Star) {
            bool any = false;
            for (int i = 0; i < static_cast<int>(src.columns.size()); ++i) {
                const RelColumn& c = src.columns[i];
                if (!si.expr->parts.isEmpty() && c.qualifier.compare(si.expr->parts.last(), Qt::CaseInsensitive) != 0)
                    continue;
                any = true;
                items.push_back(Item{nullptr, c.name, i});
            }
            if (!any && !si.expr->parts.isEmpty())
                throw ErrGeneric(107, 16, QStringLiteral("The column prefix '%1' does not match with a table name or alias name used in the query.").arg(si.expr->parts.join(u'.')));
            if (q.from.empty()) throw ErrGeneric(263, 16, QStringLiteral("Must specify table to select from."));
            continue;
        }
        Item it;
        it.expr = si.expr;
        if (si.hasAlias) it.name = si.alias;
        else if (si.expr->kind == ExprKind::Column) it.name = si.expr->parts.last();
        // A column of this query's own rows is read in place (not through the evaluator).
        if (si.expr->kind == ExprKind::Column) it.slot = std::max(-1, FindSlot(src.columns, si.expr->parts));
        items.push_back(it);
    }

    // Aggregates and groups.
    std::vector<const Expr*> aggs;
    for (const SelectItem& si : q.items) CollectAggregates(si.expr, aggs);
    for (const auto& a : q.assignments) CollectAggregates(a.second, aggs);
    CollectAggregates(q.having, aggs);
    for (const OrderItem& o : q.orderBy) CollectAggregates(o.expr, aggs);
    const bool grouped = !q.groupBy.empty() || !aggs.empty();

    std::vector<OutputRow> out;
    // The ORDER BY values of each row in turn, q.orderBy.size() per row, side by side so that the
    // sort reads them from one block.
    std::vector<Value> orderKeys;
    std::vector<int> outTypes(items.size(), 0);
    // A computed item that reads only some relations of a join keeps its value while the rows
    // that follow have the same rows of those relations (the properties of a table repeat on
    // each of its columns' rows).
    struct Reuse {
        bool on = false;
        std::vector<uint32_t> rels;  // the relations it reads
        const uint32_t* tuple = nullptr;  // the join row its value was computed for
        Value value;
    };
    std::vector<Reuse> reuse(items.size());
    if (!grouped && q.assignments.empty() && src.Width() > 1) {
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].slot >= 0 || items[i].expr->kind == ExprKind::Column) continue;
            reuse[i].on = RowFunctionOf(items[i].expr.get(), src, reuse[i].rels);
            std::sort(reuse[i].rels.begin(), reuse[i].rels.end());
            reuse[i].rels.erase(std::unique(reuse[i].rels.begin(), reuse[i].rels.end()), reuse[i].rels.end());
            // Reading every relation, the value would never repeat.
            reuse[i].on = reuse[i].on && reuse[i].rels.size() < src.Width();
        }
    }
    auto computed = [&](size_t i, const Scope& s) -> Value {
        Reuse& r = reuse[i];
        if (!r.on || !s.tuple) return Eval(*items[i].expr, s);
        if (r.tuple && std::all_of(r.rels.begin(), r.rels.end(), [&](uint32_t b) { return r.tuple[b] == s.tuple[b]; }))
            return r.value;
        r.value = Eval(*items[i].expr, s);
        r.tuple = s.tuple;
        return r.value;
    };
    // What each ORDER BY item reads, worked out once: an item of the select list (by its position
    // or its alias), a column of this query's own rows (read in place), or an expression.
    struct OrderKey {
        int item = -1;
        int slot = -1;
        const Expr* expr = nullptr;
    };
    std::vector<OrderKey> orderBy;
    for (const OrderItem& o : q.orderBy) {
        const Expr& oe = *o.expr;
        OrderKey k;
        k.expr = &oe;
        if (oe.kind == ExprKind::Literal && oe.value.GetKind() == Value::Kind::Int) {
            // (A position out of range fails at the first row, as it did when read per row.)
            const long long n = oe.value.AsInt();
            k.item = n < 1 || n > static_cast<long long>(items.size()) ? -2 : static_cast<int>(n - 1);
        } else if (oe.kind == ExprKind::Column) {
            const int slot = FindSlot(src.columns, oe.parts);
            if (oe.parts.size() == 1) {
                for (size_t i = 0; i < items.size(); ++i)
                    if (q.items.size() == items.size() && q.items[i].hasAlias &&
                        items[i].name.compare(oe.parts[0], Qt::CaseInsensitive) == 0) { k.item = static_cast<int>(i); break; }
                if (k.item < 0 && slot == -1) {
                    for (size_t i = 0; i < items.size(); ++i)
                        if (items[i].name.compare(oe.parts[0], Qt::CaseInsensitive) == 0) { k.item = static_cast<int>(i); break; }
                }
            }
            // (An ambiguous name, or one of an outer query, is left to the evaluator.)
            if (k.item < 0 && slot >= 0) k.slot = slot;
        }
        orderBy.push_back(k);
    }
    auto project = [&](const Scope& s) {
        OutputRow r;
        r.values.reserve(items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            const Item& it = items[i];
            // (A column is copied straight into the row, not through a temporary.)
            if (it.slot >= 0 && s.HasRow()) r.values.push_back(s.At(static_cast<size_t>(it.slot)));
            else r.values.push_back(it.slot >= 0 ? Value::Null(src.columns[it.slot].xtype) : computed(i, s));
        }
        for (const OrderKey& k : orderBy) {
            if (k.item == -2)
                throw ErrGeneric(108, 16, QStringLiteral("The ORDER BY position number %1 is out of range of the number of items in the select list.")
                                              .arg(k.expr->value.AsInt()));
            if (k.item >= 0) orderKeys.push_back(r.values[static_cast<size_t>(k.item)]);
            else if (k.slot >= 0 && s.HasRow()) orderKeys.push_back(s.At(static_cast<size_t>(k.slot)));
            else if (k.slot >= 0) orderKeys.push_back(Value::Null(src.columns[k.slot].xtype));
            else orderKeys.push_back(Eval(*k.expr, s));
        }
        out.push_back(std::move(r));
    };

    if (!grouped) {
        if (q.assignments.empty()) {
            out.reserve(tupleRows.size());
            orderKeys.reserve(tupleRows.size() * orderBy.size());
        }
        for (const uint32_t* row : tupleRows) {
            scope.tuple = row;
            if (!q.assignments.empty()) {
                for (const auto& a : q.assignments) variables_[a.first.toLower()] = Eval(*a.second, scope);
                continue;
            }
            project(scope);
        }
    } else {
        // Groups are made of whole rows: the rows of a join are put together first.
        std::vector<std::vector<Value>> joinedRows;
        std::vector<const std::vector<Value>*> rows;
        rows.reserve(tupleRows.size());
        if (src.Width() == 1 && !src.bases[0]->flat) {
            for (const uint32_t* t : tupleRows) rows.push_back(&src.bases[0]->rows[*t]);
        } else {
            joinedRows.reserve(tupleRows.size());
            for (const uint32_t* t : tupleRows) {
                std::vector<Value> row;
                row.reserve(src.columns.size());
                for (size_t c = 0; c < src.columns.size(); ++c) row.push_back(src.At(t, c));
                joinedRows.push_back(std::move(row));
                rows.push_back(&joinedRows.back());
            }
        }
        scope.joined = nullptr;
        scope.tuple = nullptr;
        std::vector<std::vector<const std::vector<Value>*>> groups;
        std::vector<std::vector<Value>> groupKeys;
        if (q.groupBy.empty()) {
            groups.push_back(rows);
        } else {
            QHash<QString, size_t> groupIndex;
            for (const auto* row : rows) {
                scope.row = row;
                QString k;
                for (const ExprPtr& g : q.groupBy) {
                    k += HashKey(Eval(*g, scope));
                    k += QChar(0x1f);
                }
                auto it = groupIndex.constFind(k);
                if (it == groupIndex.constEnd()) {
                    groupIndex.insert(k, groups.size());
                    groups.push_back({row});
                } else {
                    groups[*it].push_back(row);
                }
            }
            // GROUP BY returns its groups sorted by the grouping values, as the server's sort does.
            std::vector<std::pair<std::vector<Value>, size_t>> keyed;
            for (size_t gi = 0; gi < groups.size(); ++gi) {
                scope.row = groups[gi][0];
                std::vector<Value> k;
                for (const ExprPtr& g : q.groupBy) k.push_back(Eval(*g, scope));
                keyed.emplace_back(std::move(k), gi);
            }
            std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
                for (size_t i = 0; i < a.first.size(); ++i) {
                    const Value &x = a.first[i], &y = b.first[i];
                    int c = x.IsNull() && y.IsNull() ? 0 : x.IsNull() ? -1 : y.IsNull() ? 1 : CompareValues(x, y);
                    if (c) return c < 0;
                }
                return false;
            });
            std::vector<std::vector<const std::vector<Value>*>> sorted;
            for (auto& kv : keyed) {
                sorted.push_back(std::move(groups[kv.second]));
                groupKeys.push_back(std::move(kv.first));
            }
            groups = std::move(sorted);
        }
        if (q.withCube) throw ErrGeneric(40005, 16, QStringLiteral("GROUP BY ... WITH CUBE is not supported by the simulator."));
        std::vector<Value> nullRow(src.columns.size());
        for (size_t i = 0; i < src.columns.size(); ++i) nullRow[i] = Value::Null(src.columns[i].xtype);
        // The groups to emit; WITH ROLLUP adds a subtotal after each run of groups sharing a
        // prefix of the grouping values, and a grand total at the end.
        struct Unit {
            std::vector<const std::vector<Value>*> rows;
            int keep = -1;  // for subtotals: how many leading grouping values are kept
        };
        std::vector<Unit> units;
        if (!q.withRollup || q.groupBy.empty()) {
            for (auto& g : groups) units.push_back(Unit{std::move(g), -1});
        } else {
            const int n = static_cast<int>(q.groupBy.size());
            std::vector<std::vector<const std::vector<Value>*>> open(n);
            auto flush = [&](int downTo) {
                for (int level = n - 1; level >= downTo; --level) {
                    if (open[level].empty()) continue;
                    units.push_back(Unit{std::move(open[level]), level});
                    open[level].clear();
                }
            };
            for (size_t gi = 0; gi < groups.size(); ++gi) {
                if (gi > 0) {
                    int d = 0;
                    while (d < n) {
                        const Value &x = groupKeys[gi - 1][d], &y = groupKeys[gi][d];
                        bool same = (x.IsNull() && y.IsNull()) || (!x.IsNull() && !y.IsNull() && CompareValues(x, y) == 0);
                        if (!same) break;
                        ++d;
                    }
                    flush(d + 1);
                }
                for (int level = 0; level < n; ++level)
                    open[level].insert(open[level].end(), groups[gi].begin(), groups[gi].end());
                units.push_back(Unit{groups[gi], -1});
            }
            flush(0);
        }
        for (const Unit& unit : units) {
            const auto& g = unit.rows;
            // In a subtotal the rolled-up grouping columns read as NULL and GROUPING() gives 1.
            QSet<int> rolled;
            std::vector<Value> synthetic;
            if (unit.keep >= 0) {
                for (size_t k = static_cast<size_t>(unit.keep); k < q.groupBy.size(); ++k)
                    if (q.groupBy[k]->kind == ExprKind::Column) {
                        int slot = FindSlot(src.columns, q.groupBy[k]->parts);
                        if (slot >= 0) rolled.insert(slot);
                    }
                synthetic = g.empty() ? nullRow : *g[0];
                for (int slot : rolled) synthetic[slot] = Value::Null(src.columns[slot].xtype);
            }
            QHash<const Expr*, Value> aggValues;
            for (const Expr* a : aggs) {
                if (a->name == "GROUPING") {
                    int slot = !a->args.empty() && a->args[0]->kind == ExprKind::Column ? FindSlot(src.columns, a->args[0]->parts) : -1;
                    aggValues.insert(a, Value::Int(rolled.contains(slot) ? 1 : 0, XInt));
                    continue;
                }
                aggValues.insert(a, Aggregate(*this, *a, g, src.columns, outer, scope.generation));
            }
            Scope gs = scope;
            gs.row = unit.keep >= 0 ? &synthetic : g.empty() ? &nullRow : g[0];
            gs.group = &g;
            gs.aggregates = &aggValues;
            if (q.having && !EvalPredicate(*q.having, gs)) continue;
            if (!q.assignments.empty()) {
                for (const auto& a : q.assignments) variables_[a.first.toLower()] = Eval(*a.second, gs);
                continue;
            }
            project(gs);
        }
    }

    Relation result;
    if (!q.assignments.empty()) return result;
    for (size_t i = 0; i < items.size(); ++i) {
        RelColumn c;
        c.name = items[i].name;
        if (items[i].slot >= 0) {
            c.xtype = src.columns[items[i].slot].xtype;
            c.length = src.columns[items[i].slot].length;
            c.nullable = src.columns[items[i].slot].nullable;
        } else if (items[i].expr->kind == ExprKind::Column) {
            int slot = FindSlot(src.columns, items[i].expr->parts);
            if (slot >= 0) {
                c.xtype = src.columns[slot].xtype;
                c.length = src.columns[slot].length;
                c.nullable = src.columns[slot].nullable;
            } else {
                TypeInfo t = InferType(*items[i].expr, src.columns);
                c.xtype = t.xtype;
                c.length = t.length;
            }
        } else {
            TypeInfo t = InferType(*items[i].expr, src.columns);
            c.xtype = t.xtype;
            c.length = t.length;
            if (c.xtype == 0) {
                // Only known once computed (scalar subqueries): take the first value's type.
                c.xtype = XInt;
                c.length = 4;
                for (const OutputRow& r : out)
                    if (!r.values[i].IsNull()) {
                        c.xtype = r.values[i].XTypeCode();
                        const BuiltinType* b = FindBuiltinType(c.xtype);
                        c.length = b ? b->length : 4;
                        if (IsStringType(c.xtype)) c.length = std::max(1, static_cast<int>(r.values[i].AsString().size()) * (IsUnicodeType(c.xtype) ? 2 : 1));
                        break;
                    }
            }
        }
        result.columns.push_back(c);
    }

    const size_t keyCount = q.orderBy.size();
    if (q.distinct) {
        QSet<QString> seen;
        std::vector<OutputRow> kept;
        std::vector<Value> keptKeys;
        for (size_t i = 0; i < out.size(); ++i) {
            QString k = RowKey(out[i].values);
            if (seen.contains(k)) continue;
            seen.insert(k);
            kept.push_back(std::move(out[i]));
            for (size_t j = 0; j < keyCount; ++j) keptKeys.push_back(std::move(orderKeys[i * keyCount + j]));
        }
        out = std::move(kept);
        orderKeys = std::move(keptKeys);
    }
    if (keyCount > 0) {
        // The rows' positions are sorted by their keys, then the rows are put in that order. A
        // key whose values are all of one kind is compared through its values' ranks.
        std::vector<std::vector<uint32_t>> ranks(keyCount);
        for (size_t i = 0; i < keyCount; ++i) ranks[i] = KeyRanks(orderKeys, keyCount, i, out.size(), q.orderBy[i].descending);
        auto before = [&](uint32_t a, uint32_t b) {
            for (size_t i = 0; i < keyCount; ++i) {
                int c;
                if (!ranks[i].empty()) {
                    c = ranks[i][a] < ranks[i][b] ? -1 : ranks[i][a] > ranks[i][b] ? 1 : 0;
                } else {
                    const Value &x = orderKeys[a * keyCount + i], &y = orderKeys[b * keyCount + i];
                    c = x.IsNull() && y.IsNull() ? 0 : x.IsNull() ? -1 : y.IsNull() ? 1 : CompareValues(x, y);
                    if (q.orderBy[i].descending) c = -c;
                }
                if (c) return c < 0;
            }
            return false;
        };
        std::vector<uint32_t> order(out.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint32_t>(i);
        // When every key is ranked and the ranks fit in 64 bits side by side, a row's keys are one
        // integer, and the rows are sorted by it and their position (so that equal keys keep their order).
        int width = 0;
        std::vector<int> bits(keyCount, 0);
        for (size_t i = 0; i < keyCount && width <= 64; ++i) {
            if (ranks[i].empty()) {
                width = 65;
                break;
            }
            const uint32_t top = *std::max_element(ranks[i].begin(), ranks[i].end());
            while (bits[i] < 32 && (top >> bits[i]) != 0) ++bits[i];
            width += bits[i];
        }
        bool sorted = true;
        if (width <= 64) {
            std::vector<unsigned long long> packed(out.size());
            for (size_t r = 0; r < out.size(); ++r) {
                unsigned long long v = 0;
                for (size_t i = 0; i < keyCount; ++i) v = (v << bits[i]) | ranks[i][r];
                packed[r] = v;
                sorted = sorted && (r == 0 || packed[r - 1] <= v);
            }
            if (!sorted) StableSortByKey(packed, width, order);
        } else if (!std::is_sorted(order.begin(), order.end(), before)) {
            // Rows that come in order already (a catalog read in the order its objects were made)
            // are left as they are: one pass instead of a sort.
            sorted = false;
            std::stable_sort(order.begin(), order.end(), before);
        }
        if (!sorted) {
            std::vector<OutputRow> reordered;
            reordered.reserve(out.size());
            for (uint32_t i : order) reordered.push_back(std::move(out[i]));
            out = std::move(reordered);
        }
    }
    size_t limit = out.size();
    if (q.top) {
        Scope empty;
        Value t = Eval(*q.top, empty);
        long long n = t.AsInt();
        if (q.topPercent) n = static_cast<long long>(std::ceil(t.AsDouble() * static_cast<double>(out.size()) / 100.0));
        if (n >= 0 && static_cast<size_t>(n) < limit) limit = static_cast<size_t>(n);
    }
    result.rows.reserve(limit);
    for (size_t i = 0; i < limit; ++i) result.rows.push_back(std::move(out[i].values));
    return result;
}

std::pair<int, int> StaticExpressionType(const Expr& e, const std::vector<RelColumn>& columns) {
    TypeInfo t = InferType(e, columns);
    if (t.xtype == 0) return {XInt, 4};
    return {t.xtype, t.length};
}

}  // namespace sqlsim
