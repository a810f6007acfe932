// Transact-SQL cursors (DECLARE CURSOR, OPEN, FETCH, CLOSE, DEALLOCATE) and FOR XML results.
#include "sqlsim/engine.h"
#include "sqlsim/value_ops.h"

namespace sqlsim {

namespace {

SqlError NoSuchCursor(const QString& name) {
    return ErrGeneric(16916, 16, QStringLiteral("A cursor with the name '%1' does not exist.").arg(name));
}

}  // namespace

std::shared_ptr<Cursor> Executor::FindCursor(const QString& name, bool global) {
    const QString key = name.toLower();
    if (!global) {
        auto it = localCursors_.find(key);
        if (it != localCursors_.end()) return it->second;
        if (name.startsWith(u'@')) {
            if (!variables_.contains(key)) throw ErrGeneric(137, 15, QStringLiteral("Must declare the variable '%1'.").arg(name));
            throw ErrGeneric(16950, 16, QStringLiteral("The variable '%1' does not currently have a cursor allocated to it.").arg(name));
        }
    }
    auto it = session_.globalCursors.find(key);
    if (it == session_.globalCursors.end()) throw NoSuchCursor(name);
    return it->second;
}

void Executor::DoDeclareCursor(const Statement& s) {
    auto c = std::make_shared<Cursor>();
    c->name = s.text;
    c->query = s.select;
    const QStringList& o = s.withOptions;
    // SCROLL, or a STATIC, KEYSET or DYNAMIC cursor not declared FORWARD_ONLY, can move any way.
    c->scroll = o.contains(QLatin1String("SCROLL")) ||
                (!o.contains(QLatin1String("FORWARD_ONLY")) &&
                 (o.contains(QLatin1String("STATIC")) || o.contains(QLatin1String("KEYSET")) || o.contains(QLatin1String("DYNAMIC"))));
    const QString key = s.text.toLower();
    if (s.text.startsWith(u'@')) {
        // SET @v = CURSOR ...: the variable refers to a new local cursor.
        if (!variables_.contains(key)) throw ErrGeneric(137, 15, QStringLiteral("Must declare the variable '%1'.").arg(s.text));
        localCursors_[key] = c;
        return;
    }
    // Cursors are GLOBAL unless declared LOCAL (the database default "default to local cursor" is off).
    CursorMap& scope = o.contains(QLatin1String("LOCAL")) ? localCursors_ : session_.globalCursors;
    if (scope.count(key)) throw ErrGeneric(16915, 16, QStringLiteral("A cursor with the name '%1' already exists.").arg(s.text));
    scope[key] = c;
}

void Executor::DoCursorCommand(const Statement& s) {
    std::shared_ptr<Cursor> c = FindCursor(s.text, s.flag);
    switch (s.kind) {
    case StmtKind::OpenCursor: {
        if (c->open) throw ErrGeneric(16905, 16, QStringLiteral("The cursor is already open."));
        // The rows are read when the cursor opens (variables in its query take their values now).
        Relation r = RunQuery(*c->query, nullptr);
        c->columns = std::move(r.columns);
        c->rows = std::move(r.rows);
        c->pos = -1;
        c->open = true;
        return;
    }
    case StmtKind::CloseCursor:
        if (!c->open) throw ErrGeneric(16917, 16, QStringLiteral("Cursor is not open."));
        c->open = false;
        c->rows.clear();
        return;
    case StmtKind::DeallocateCursor: {
        CursorMap& scope = localCursors_.count(s.text.toLower()) && !s.flag ? localCursors_ : session_.globalCursors;
        scope.erase(s.text.toLower());
        return;
    }
    default: break;
    }
    // FETCH.
    if (!c->open) throw ErrGeneric(16917, 16, QStringLiteral("Cursor is not open."));
    const QString& dir = s.kindWord;
    if (dir != "NEXT" && !c->scroll)
        throw ErrGeneric(16911, 16, QStringLiteral("fetch: The fetch type %1 cannot be used with forward only cursors.").arg(dir));
    if (!s.names.isEmpty() && s.names.size() != static_cast<int>(c->columns.size()))
        throw ErrGeneric(16924, 16, QStringLiteral("Cursorfetch: The number of variables declared in the INTO list must match that of selected columns."));
    long long n = 0;
    if (!s.args.empty()) {
        Scope empty;
        Value v = Eval(*s.args[0], empty);
        n = v.IsNull() ? 0 : v.AsInt();
    }
    const long long size = static_cast<long long>(c->rows.size());
    long long pos = c->pos;
    if (dir == "NEXT") pos = pos + 1;
    else if (dir == "PRIOR") pos = pos - 1;
    else if (dir == "FIRST") pos = 0;
    else if (dir == "LAST") pos = size - 1;
    else if (dir == "ABSOLUTE") pos = n > 0 ? n - 1 : n < 0 ? size + n : -1;
    else pos = pos + n;  // RELATIVE
    // Past either end the cursor stays just outside the rows, so that the next move comes back.
    const bool hit = pos >= 0 && pos < size;
    c->pos = hit ? pos : pos < 0 ? -1 : size;
    session_.fetchStatus = hit ? 0 : -1;
    if (s.names.isEmpty()) {
        // FETCH without INTO returns the row (or no row) as a result set.
        ResultSet rs;
        for (const RelColumn& col : c->columns) rs.columns.push_back(ResultColumn{col.name, col.xtype, col.length});
        if (hit) rs.rows.push_back(c->rows[static_cast<size_t>(pos)]);
        result_.resultSets.push_back(std::move(rs));
        return;
    }
    if (!hit) return;
    const std::vector<Value>& row = c->rows[static_cast<size_t>(pos)];
    for (int i = 0; i < s.names.size(); ++i) AssignVariable(s.names[i], row[static_cast<size_t>(i)]);
}

namespace {

QString XmlEscape(const QString& text, bool attribute) {
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        if (ch == u'&') out += QLatin1String("&amp;");
        else if (ch == u'<') out += QLatin1String("&lt;");
        else if (ch == u'>') out += QLatin1String("&gt;");
        else if (attribute && ch == u'"') out += QLatin1String("&quot;");
        // Line breaks and tabs in an attribute are written as references: a parser would
        // otherwise read them back as blanks.
        else if (attribute && (ch == u'\n' || ch == u'\r' || ch == u'\t')) out += QStringLiteral("&#x%1;").arg(QString::number(ch.unicode(), 16).toUpper());
        else out += ch;
    }
    return out;
}

// A column name as an XML name: characters an XML name cannot hold are written _xHHHH_.
QString XmlName(const QString& name) {
    QString out;
    for (int i = 0; i < name.size(); ++i) {
        const QChar ch = name[i];
        const bool ok = ch.isLetter() || ch == u'_' || (i > 0 && (ch.isDigit() || ch == u'.' || ch == u'-'));
        out += ok ? QString(ch) : QStringLiteral("_x%1_").arg(QString::number(ch.unicode(), 16).toUpper().rightJustified(4, u'0'));
    }
    return out;
}

// FOR XML AUTO: the table (by its alias when it has one) the first column of the query comes from.
QString AutoElement(const SelectStmt& q) {
    if (!q.items.empty() && q.items[0].expr && q.items[0].expr->kind == ExprKind::Column && q.items[0].expr->parts.size() > 1)
        return q.items[0].expr->parts[q.items[0].expr->parts.size() - 2];
    if (q.from.size() == 1 && q.from[0]->kind == TableRef::Kind::Named) return q.from[0]->alias.isEmpty() ? q.from[0]->name : q.from[0]->alias;
    return QString();
}

}  // namespace

// RAW: one <row a="1" b="x"/> per row. AUTO: one element per row named by the table (its alias)
// the first column comes from, columns as attributes, or as subelements with ELEMENTS; rows are
// not nested by the tables of a join.
// EXPLICIT: the universal table (Tag, Parent, [Element!Tag!Attribute] columns) read flat:
// each row an element named by its column headings, its attributes from them, with no nesting.
// NULL values are left out, as the server does.
Value Executor::XmlOfRelation(const SelectStmt& q, const Relation& r) {
    QString xml;
    const bool explicitMode = q.forXml == "EXPLICIT";
    const QString autoElement = AutoElement(q);
    for (const auto& row : r.rows) {
        QString element = q.forXml == "RAW" ? QStringLiteral("row") : explicitMode ? QString() : autoElement;
        QString attrs, children;
        for (size_t i = 0; i < r.columns.size() && i < row.size(); ++i) {
            const RelColumn& col = r.columns[i];
            QString name = col.name;
            if (explicitMode) {
                const QStringList parts = name.split(u'!');
                if (parts.size() < 2) continue;  // Tag and Parent
                if (element.isEmpty()) element = parts[0];
                name = parts.size() > 2 ? parts[2] : QString();
                if (name.isEmpty()) {
                    if (!row[i].IsNull()) children += XmlEscape(row[i].AsString(), false);
                    continue;
                }
            }
            if (row[i].IsNull()) continue;
            const QString n = XmlName(name);
            if (q.xmlElements && q.forXml == "AUTO")
                children += QStringLiteral("<%1>%2</%1>").arg(n, XmlEscape(row[i].AsString(), false));
            else
                attrs += QStringLiteral(" %1=\"%2\"").arg(n, XmlEscape(row[i].AsString(), true));
        }
        element = XmlName(element.isEmpty() ? QStringLiteral("row") : element);
        xml += children.isEmpty() ? QStringLiteral("<%1%2/>").arg(element, attrs)
                                  : QStringLiteral("<%1%2>%3</%1>").arg(element, attrs, children);
    }
    return Value::String(xml, XNText);
}

}  // namespace sqlsim
