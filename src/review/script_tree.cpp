#include "review/script_tree.h"

#include "compare/generation_driver.h"
#include "platform/tovimar_exception.h"
#include "schema/sql_text.h"

namespace {

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString NameOf(const Tovimar_Object* object) { return object ? object->FullName(false) : QString(); }

}  // namespace

TreePath ScriptNodePath(const Tovimar_Script& script, const QString& dbName) {
    const QString database = QStringLiteral("Database");
    const QString table = QStringLiteral("Table");
    const Tovimar_Object* object = script.ScriptedObj;
    const QString& typ = script.Typ;
    TreePath path{{dbName, database}};
    if (Same(typ, table)) {
        path << TreePathLevel{QStringLiteral("Tables"), typ} << TreePathLevel{NameOf(object), script.Action};
    } else if (Same(typ, QStringLiteral("Permission"))) {
        const auto* permission = dynamic_cast<const Tovimar_Permission*>(object);
        const Tovimar_DbObject* secured = permission ? permission->SecObject : nullptr;
        if (Same(script.Action, QStringLiteral("RECREATE"))) {
            path << TreePathLevel{PluralName(secured ? secured->Typ : QString()), table}
                 << TreePathLevel{NameOf(secured), table} << TreePathLevel{QStringLiteral("Permissions"), typ}
                 << TreePathLevel{NameOf(object), script.Action};
        } else {
            path << TreePathLevel{QStringLiteral("Permissions"), typ}
                 << TreePathLevel{permission ? permission->Grantee : QString(), QStringLiteral("User")}
                 << TreePathLevel{NameOf(secured), script.Action};
        }
    } else if (Same(typ, QStringLiteral("FTI"))) {
        const Tovimar_Table* owner = ObjectTable(object);
        path << TreePathLevel{QStringLiteral("Tables"), table} << TreePathLevel{script.TableFullName(), table}
             << TreePathLevel{QStringLiteral("FTI"), typ}
             << TreePathLevel{owner ? owner->GetAnyFTICatalog() : QString(), script.Action};
    } else if (script.TableFullName().isEmpty()) {
        path << TreePathLevel{PluralName(typ), typ} << TreePathLevel{NameOf(object), script.Action};
    } else {
        path << TreePathLevel{QStringLiteral("Tables"), table} << TreePathLevel{script.TableFullName(), table}
             << TreePathLevel{PluralName(typ), typ} << TreePathLevel{NameOf(object), script.Action};
    }
    return path;
}

QStringList ActionsOfBox(const QString& box) {
    if (Same(box, QStringLiteral("Creates"))) return {QStringLiteral("CREATE")};
    if (Same(box, QStringLiteral("Deletes"))) return {QStringLiteral("DELETE"), QStringLiteral("REDELETE")};
    if (Same(box, QStringLiteral("Modifys"))) return {QStringLiteral("CHANGE"), QStringLiteral("RECREATE")};
    if (Same(box, QStringLiteral("Renames"))) return {QStringLiteral("RENAME")};
    return {};
}

void ApplyShowFilter(const ScriptList& scripts, const ShowBoxes& boxes) {
    const bool all = boxes.Creates && boxes.Deletes && boxes.Modifys && boxes.Renames;
    const bool none = !boxes.Creates && !boxes.Deletes && !boxes.Modifys && !boxes.Renames;
    const QList<QPair<QString, bool>> covered = {{QStringLiteral("Creates"), boxes.Creates},
                                                 {QStringLiteral("Deletes"), boxes.Deletes},
                                                 {QStringLiteral("Modifys"), boxes.Modifys},
                                                 {QStringLiteral("Renames"), boxes.Renames}};
    for (const ScriptPtr& script : scripts) {
        if (!script) continue;
        bool known = false;
        bool ticked = false;
        for (const auto& [box, state] : covered) {
            if (ActionsOfBox(box).contains(script->Action, Qt::CaseInsensitive)) {
                known = true;
                ticked = state;
            }
        }
        script->ShowIt = all || none || !known || ticked;
    }
}

void ScriptTree::Clear() {
    scripts_.clear();
    nodes_.clear();
    byKey_.clear();
}

void ScriptTree::Build(const ScriptList& scripts, const QString& dbName) {
    Clear();
    scripts_ = scripts;
    struct Entry {
        TreePath Path;
        const Tovimar_Script* Script;
        QString Tag;
    };
    QList<Entry> entries;
    entries.reserve(static_cast<qsizetype>(scripts.size()));
    for (const ScriptPtr& script : scripts)
        if (script) entries.append(Entry{ScriptNodePath(*script, dbName), script.get(), GetTagString(*script)});
    entries = GetSortedCollection(entries, [](const Entry& entry) -> const QString& { return entry.Tag; });
    nodes_.reserve(static_cast<size_t>(entries.size()) + 64);
    byKey_.reserve(entries.size() + 64);
    for (const Entry& entry : entries)
        if (entry.Script->ShowIt) AddTreePath(entry.Path, *entry.Script);
    if (!nodes_.empty()) nodes_.front().Expanded = true;
}

void ScriptTree::AddTreePath(const TreePath& path, const Tovimar_Script& script) {
    QString key;
    int parent = None;
    for (qsizetype level = 0; level < path.size(); ++level) {
        key = level == 0 ? path[level].Text : key + QLatin1Char('.') + path[level].Text;
        const bool last = level == path.size() - 1;
        const QString folded = key.toCaseFolded();
        const auto found = byKey_.constFind(folded);
        if (found != byKey_.cend()) {
            if (last)
                throw TovimarException(500, QStringLiteral("AddTreePath"), QStringLiteral("Duplicate Script: ") + key);
            parent = found.value();
            continue;
        }
        Node node;
        node.Key = key;
        node.Text = path[level].Text;
        node.ImageKind = path[level].ImageKind;
        node.Checked = script.Checked;
        node.Parent = parent;
        if (last) node.Tag = script.Index;
        const int id = Count();
        nodes_.push_back(std::move(node));
        byKey_.insert(folded, id);
        if (parent != None) {
            Node& up = nodes_[static_cast<size_t>(parent)];
            up.Children.push_back(id);
            if (script.Checked) ++up.CheckedChildren;
        }
        parent = id;
    }
}

int ScriptTree::Find(const QString& key) const { return byKey_.value(key.toCaseFolded(), None); }

ScriptPtr ScriptTree::ScriptOf(int node) const {
    if (node < 0 || node >= Count()) return nullptr;
    const long tag = At(node).Tag;
    if (tag < 1 || tag > static_cast<long>(scripts_.size())) return nullptr;
    return scripts_[static_cast<size_t>(tag - 1)];
}

void ScriptTree::SetState(int node, bool checked) {
    Node& n = nodes_[static_cast<size_t>(node)];
    if (n.Checked == checked) return;
    n.Checked = checked;
    if (n.Parent != None) nodes_[static_cast<size_t>(n.Parent)].CheckedChildren += checked ? 1 : -1;
    if (changed_) changed_->append(node);
}

void ScriptTree::SetScriptChecked(int node) {
    if (const ScriptPtr script = ScriptOf(node)) script->Checked = At(node).Checked;
}

void ScriptTree::ApplyCheckDown(int node) {
    // Iterative, so a deep or wide branch cannot exhaust the stack.
    std::vector<int> pending{node};
    while (!pending.empty()) {
        const int current = pending.back();
        pending.pop_back();
        SetScriptChecked(current);
        const bool state = At(current).Checked;
        for (int child : At(current).Children) {
            SetState(child, state);
            pending.push_back(child);
        }
    }
}

void ScriptTree::UpdateParentCheck(int node) {
    for (int current = node; current != None;) {
        SetScriptChecked(current);
        const int parent = At(current).Parent;
        if (parent == None || At(parent).Checked == At(current).Checked) return;
        if (!At(current).Checked && (At(parent).Tag != 0 || At(parent).CheckedChildren > 0)) return;
        SetState(parent, At(current).Checked);
        current = parent;
    }
}

QList<int> ScriptTree::SetChecked(int node, bool checked) {
    QList<int> changed;
    if (node < 0 || node >= Count()) return changed;
    changed_ = &changed;
    SetState(node, checked);
    ApplyCheckDown(node);
    UpdateParentCheck(node);
    changed_ = nullptr;
    return changed;
}

QList<int> ScriptTree::SetActionChecked(int node, const QString& action, bool state) {
    QList<int> changed;
    if (node < 0 || node >= Count()) return changed;
    changed_ = &changed;
    for (int child : At(node).Children) {
        const ScriptPtr script = ScriptOf(child);
        if (!script || !Same(script->Action, action)) continue;
        SetState(child, state);
        script->Checked = state;
        ApplyCheckDown(child);
        UpdateParentCheck(child);
    }
    changed_ = nullptr;
    return changed;
}
