#include "review/error_tree.h"

#include "compare/generation_driver.h"
#include "schema/sql_text.h"

namespace {

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

struct Level {
    QString KeyPart;
    QString Text;
    QString ImageKind;
};

// The object levels of an error path (below the database), keyed by the script's tag parts.
QList<Level> ObjectLevels(const Tovimar_Script& script) {
    const QString tag = GetTagString(script);
    const Tovimar_Object* object = script.ScriptedObj;
    const QString name = object ? object->FullName(false) : QString();
    const QString tableName = script.TableFullName();
    const QString tables = QStringLiteral("Tables");
    // The tag up to its type code ("11" columns, "12" indexes, ..., "20" views), so that the groups
    // keep the order of the script tree.
    const QString group = tag.left(4 + tableName.size()) + PluralName(script.Typ);
    // The group "Tables" sorts as the tables' own tags do ("10" + a bracketed name).
    const QString tablesKey = QStringLiteral("10[");
    if (Same(script.Typ, QStringLiteral("Table")))
        return {{tablesKey, tables, QStringLiteral("Table")},
                {tag, name, QStringLiteral("Table")},
                {tag + QStringLiteral("0"), QStringLiteral("TABLE"), QStringLiteral("Table")}};
    if (Same(script.Typ, QStringLiteral("Permission"))) {
        const auto* permission = dynamic_cast<const Tovimar_Permission*>(object);
        const QString grantee = permission ? permission->Grantee : QString();
        const QString secured = permission && permission->SecObject ? permission->SecObject->FullName(false) : name;
        return {{QStringLiteral("1060"), QStringLiteral("Permissions"), QStringLiteral("Permission")},
                {QStringLiteral("1060") + grantee, grantee, QStringLiteral("User")},
                {tag, secured, QStringLiteral("Permission")}};
    }
    if (!tableName.isEmpty())
        return {{tablesKey, tables, QStringLiteral("Table")},
                {QStringLiteral("10") + tableName, tableName, QStringLiteral("Table")},
                {group, PluralName(script.Typ), script.Typ},
                {tag, name, script.Typ}};
    return {{group, PluralName(script.Typ), script.Typ}, {tag, name, script.Typ}};
}

}  // namespace

QString ErrorNodeText(const Tovimar_Error::Entry& entry) {
    return QString::number(entry.Number) + QStringLiteral(" (") + entry.Description + QLatin1Char(')');
}

void ErrorTree::Build(const QString& dbName, const ErrorCollection& errors, bool byError) {
    errors_ = errors;
    nodes_.clear();
    byKey_.clear();
    struct Path {
        QList<Level> Levels;
        QString Key;  // the keys of every level, for sorting
        int Error;
        QString ErrorText;
    };
    QList<Path> paths;
    for (size_t i = 0; i < errors.size(); ++i) {
        const ErrorPtr& error = errors[i];
        if (!error || !error->Script) continue;
        const QList<Level> objectLevels = ObjectLevels(*error->Script);
        for (qsizetype e = 0; e < error->ErrorList.size(); ++e) {
            const Tovimar_Error::Entry& entry = error->ErrorList[e];
            const QString text = ErrorNodeText(entry);
            Path path{{{QString(), dbName, QStringLiteral("Database")}}, QString(), static_cast<int>(i), text};
            if (byError) {
                // Errors of the same number and text share their node.
                path.Levels << Level{QStringLiteral("%1").arg(entry.Number, 10, 10, QLatin1Char('0')) + entry.Description,
                                     text, QStringLiteral("Error")};
                path.Levels << objectLevels;
            } else {
                path.Levels << objectLevels;
                // One node per entry, in the order of the errors and their entries.
                path.Levels << Level{QStringLiteral("%1_%2").arg(i, 10, 10, QLatin1Char('0')).arg(e, 5, 10, QLatin1Char('0')),
                                     text, QStringLiteral("Error")};
            }
            for (const Level& level : path.Levels) path.Key += level.KeyPart + TagSeparator;
            paths.append(path);
        }
    }
    paths = GetSortedCollection(paths, [](const Path& path) -> const QString& { return path.Key; });

    for (const Path& path : paths) {
        QString key;
        int parent = None;
        for (qsizetype l = 0; l < path.Levels.size(); ++l) {
            const Level& level = path.Levels[l];
            key += level.KeyPart + TagSeparator;
            const QString folded = key.toCaseFolded();
            int id = byKey_.value(folded, None);
            if (id == None) {
                id = Count();
                Node node;
                node.Key = key;
                node.Parent = parent;
                nodes_.push_back(std::move(node));
                byKey_.insert(folded, id);
                if (parent != None) nodes_[static_cast<size_t>(parent)].Children.push_back(id);
            }
            Node& node = nodes_[static_cast<size_t>(id)];
            node.Text = level.Text;
            node.ImageKind = level.ImageKind;
            if (l == path.Levels.size() - 1) {
                node.Error = path.Error;
                node.Expanded = true;
            }
            // The error group of the by-error tree shows the error's text; the error leaf of the
            // by-object tree shows the SQL that failed.
            if (byError && l == 1 && !path.ErrorText.isEmpty())
                node.Description = QStringLiteral("Fehlerbeschreibung: \r\n\r\n") + path.ErrorText;
            parent = id;
        }
    }
}

QString ErrorTree::TextOf(int node) const {
    if (node < 0 || node >= Count()) return QString();
    const Node& n = At(node);
    if (n.Children.empty() && n.Error != None) {
        const ErrorPtr& error = errors_[static_cast<size_t>(n.Error)];
        return error && error->Script ? error->Script->GetSQL(error->ScriptIndex, true) : QString();
    }
    return n.Description;
}
