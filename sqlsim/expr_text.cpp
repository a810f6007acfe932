// The text the server stores for CHECK, DEFAULT and computed-column expressions. SQL Server 2000
// keeps the compiled expression and decodes it again when it writes syscomments, so the stored
// text does not depend on how the script was written: column names are bracketed, keywords are
// lower case, IN lists become OR chains, redundant parentheses disappear and the whole is wrapped
// in one pair of parentheses.
#include "sqlsim/engine.h"
#include "sqlsim/lexer.h"
#include "sqlsim/parser.h"

namespace sqlsim {

namespace {

// Binding strength, loosest first; a child binding more loosely than its place needs brackets.
enum Prec { POr = 1, PAnd, PNot, PPredicate, PAdd, PMul, PUnary, PPrimary };

struct Emitter {
    const QString& source;
    const Object& table;

    int Of(const Expr& e) const {
        switch (e.kind) {
        case ExprKind::Or: return POr;
        case ExprKind::And: return PAnd;
        case ExprKind::Not: return PNot;
        case ExprKind::Compare: case ExprKind::IsNull: case ExprKind::Like: case ExprKind::Exists:
            return PPredicate;
        case ExprKind::In: return e.subquery ? PPredicate : (e.args.size() > 2 ? (e.negated ? PAnd : POr) : PPredicate);
        case ExprKind::Between: return e.negated ? POr : PAnd;
        case ExprKind::Binary:
            return e.name == "*" || e.name == "/" || e.name == "%" ? PMul : PAdd;
        case ExprKind::Unary: return PUnary;
        case ExprKind::Literal:
            // A negative number reads as a unary minus.
            return e.value.IsNumeric() && Raw(e).startsWith(u'-') ? PUnary : PPrimary;
        default: return PPrimary;
        }
    }

    QString Raw(const Expr& e) const { return source.mid(e.start, e.end - e.start).trimmed(); }

    QString Sub(const Expr& e, int need) const {
        QString t = Emit(e);
        return Of(e) < need ? u'(' + t + u')' : t;
    }

    QString Infix(const Expr& l, const QString& op, const Expr& r, int p) const {
        return Sub(l, p) + u' ' + op + u' ' + Sub(r, p + 1);
    }

    QString Column(const Expr& e) const {
        if (e.parts.size() == 1)
            if (const sqlsim::Column* c = table.FindColumn(e.parts[0])) return u'[' + c->name + u']';
        QStringList parts;
        for (const QString& p : e.parts) parts << u'[' + p + u']';
        return parts.join(u'.');
    }

    QString Literal(const Expr& e) const {
        const Value& v = e.value;
        if (v.IsNull()) return QStringLiteral("null");
        if (v.IsText()) {
            QString q = v.AsString();
            q.replace(u'\'', QStringLiteral("''"));
            return (v.XTypeCode() == XNVarChar ? QStringLiteral("N'") : QStringLiteral("'")) + q + u'\'';
        }
        return Raw(e);  // numbers and binary constants as written
    }

    // IN (a, b, c) is kept as x = c or (x = b or x = a): the list is decoded from its last item.
    QString InList(const Expr& e) const {
        const Expr& x = *e.args[0];
        const QString op = e.negated ? QStringLiteral("<>") : QStringLiteral("=");
        const QString join = e.negated ? QStringLiteral("and") : QStringLiteral("or");
        QString out;
        for (size_t i = 1; i < e.args.size(); ++i) {
            QString term = Sub(x, PAdd) + u' ' + op + u' ' + Sub(*e.args[i], PAdd);
            out = i == 1 ? term : term + u' ' + join + u' ' + (i == 2 ? out : u'(' + out + u')');
        }
        return out;
    }

    QString Args(const std::vector<ExprPtr>& args) const {
        QStringList out;
        for (const ExprPtr& a : args) out << Emit(*a);
        return out.join(u',');
    }

    QString Type(const TypeSpec& t) const {
        QString out = t.name.toLower();
        if (t.precision >= 0 && t.scale >= 0) out += QStringLiteral("(%1,%2)").arg(t.precision).arg(t.scale);
        else if (t.precision >= 0) out += QStringLiteral("(%1)").arg(t.precision);
        else if (t.length >= 0) out += QStringLiteral("(%1)").arg(t.length);
        return out;
    }

    QString Emit(const Expr& e) const {
        switch (e.kind) {
        case ExprKind::Literal: return Literal(e);
        case ExprKind::Column: return Column(e);
        case ExprKind::Variable: return e.name;
        case ExprKind::Star: return QStringLiteral("*");
        case ExprKind::Unary: return e.name + Sub(*e.args[0], PUnary);
        case ExprKind::Binary: {
            const int p = Of(e);
            return Infix(*e.args[0], e.name, *e.args[1], p);
        }
        case ExprKind::Compare: return Infix(*e.args[0], e.name, *e.args[1], PPredicate);
        case ExprKind::And: return Infix(*e.args[0], QStringLiteral("and"), *e.args[1], PAnd);
        case ExprKind::Or: return Infix(*e.args[0], QStringLiteral("or"), *e.args[1], POr);
        case ExprKind::Not: return QStringLiteral("not(") + Emit(*e.args[0]) + u')';
        case ExprKind::IsNull:
            return Sub(*e.args[0], PAdd) + (e.negated ? QStringLiteral(" is not null") : QStringLiteral(" is null"));
        case ExprKind::Like: {
            QString out = Sub(*e.args[0], PAdd) + (e.negated ? QStringLiteral(" not like ") : QStringLiteral(" like ")) +
                          Sub(*e.args[1], PAdd);
            if (e.operand) out += QStringLiteral(" escape ") + Sub(*e.operand, PAdd);
            return out;
        }
        case ExprKind::In:
            if (!e.subquery && e.args.size() > 1) return InList(e);
            return Raw(e);
        case ExprKind::Between: {
            // BETWEEN is kept as its two comparisons.
            const Expr& x = *e.args[0];
            if (e.negated)
                return Sub(x, PAdd) + QStringLiteral(" < ") + Sub(*e.args[1], PAdd) + QStringLiteral(" or ") +
                       Sub(x, PAdd) + QStringLiteral(" > ") + Sub(*e.args[2], PAdd);
            return Sub(x, PAdd) + QStringLiteral(" >= ") + Sub(*e.args[1], PAdd) + QStringLiteral(" and ") +
                   Sub(x, PAdd) + QStringLiteral(" <= ") + Sub(*e.args[2], PAdd);
        }
        case ExprKind::Case: {
            QString out = QStringLiteral("case");
            if (e.operand) out += u' ' + Emit(*e.operand);
            for (size_t i = 0; i + 1 < e.args.size(); i += 2)
                out += QStringLiteral(" when ") + Emit(*e.args[i]) + QStringLiteral(" then ") + Emit(*e.args[i + 1]);
            if (e.elseExpr) out += QStringLiteral(" else ") + Emit(*e.elseExpr);
            return out + QStringLiteral(" end");
        }
        case ExprKind::Cast: {
            QString out = QStringLiteral("convert(") + Type(e.type);
            for (const ExprPtr& a : e.args) out += u',' + Emit(*a);
            return out + u')';
        }
        case ExprKind::Function: {
            const QString f = e.name.toLower();
            // The niladic functions are stored as the calls they stand for.
            if (e.args.empty() && !e.star && (f == "user" || f == "current_user" || f == "session_user"))
                return QStringLiteral("user_name()");
            if (e.args.empty() && !e.star && f == "system_user") return QStringLiteral("suser_sname()");
            if (e.parts.size() > 1) {
                QStringList parts;
                for (int i = 0; i + 1 < e.parts.size(); ++i) parts << u'[' + e.parts[i] + u']';
                return parts.join(u'.') + QStringLiteral(".[") + e.parts.last() + QStringLiteral("](") + Args(e.args) + u')';
            }
            if (e.star) return f + QStringLiteral("(*)");
            return f + u'(' + (e.distinct ? QStringLiteral("distinct ") : QString()) + Args(e.args) + u')';
        }
        case ExprKind::Exists:
        case ExprKind::Subquery:
            return Raw(e);
        }
        return Raw(e);
    }
};

// The old way, for texts the parser does not take: the text as written with its column names
// bracketed.
QString BracketColumns(const QString& text, const Object& table) {
    LexResult lex = Tokenize(text, true);
    QString out;
    int last = 0;
    if (lex.ok) {
        for (size_t i = 0; i < lex.tokens.size(); ++i) {
            const Token& t = lex.tokens[i];
            if (t.kind != TokKind::Ident && t.kind != TokKind::QuotedIdent) continue;
            bool isCall = i + 1 < lex.tokens.size() && lex.tokens[i + 1].IsOp("(");
            if (isCall || !table.FindColumn(t.Text())) continue;
            out += text.mid(last, t.start - last);
            out += u'[' + table.FindColumn(t.Text())->name + u']';
            last = t.end;
        }
    }
    out += text.mid(last);
    return out.trimmed();
}

}  // namespace

QString NormalizeConstraintText(const QString& text, const Object& table, bool) {
    if (ExprPtr e = ParseExpression(text, true)) return u'(' + Emitter{text, table}.Emit(*e) + u')';
    return u'(' + BracketColumns(text, table) + u')';
}

}  // namespace sqlsim
