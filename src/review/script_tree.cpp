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
    // The state of the box that covers each change kind.
    QHash<QString, bool> ticked;
    const QList<QPair<QString, bool>> covered = {{QStringLiteral("Creates"), boxes.Creates},
                                                 {QStringLiteral("Deletes"), boxes.Deletes},
                                                 {QStringLiteral("Modifys"), boxes.Modifys},
                                                 {QStringLiteral("Renames"), boxes.Renames}};
    for (const auto& [box, state] : covered)
        for (const QString& action : ActionsOfBox(box)) ticked.insert(action, state);
    for (const ScriptPtr& script : scripts) {
        if (!script) continue;
        const auto it = ticked.constFind(script->Action.toUpper());
        script->ShowIt = all || none || it == ticked.cend() || it.value();
    }
}

void ScriptTree::Clear() {
    scripts_.clear();
    nodes_.clear();
    byKey_.clear();
    children_.clear();
    lastPath_.clear();
}

void ScriptTree::Build(const ScriptList& scripts, const QString& dbName) {
    Clear();
    scripts_ = scripts;
    // The scripts in the order of their tags: the positions are sorted, not the scripts.
    QList<int> order;
    QStringList tags;
    order.reserve(static_cast<qsizetype>(scripts.size()));
    tags.reserve(static_cast<qsizetype>(scripts.size()));
    for (size_t i = 0; i < scripts.size(); ++i) {
        tags << (scripts[i] ? GetTagString(*scripts[i]) : QString());
        if (scripts[i] && scripts[i]->ShowIt) order << static_cast<int>(i);
    }
    order = GetSortedCollection(order, [&tags](int i) -> const QString& { return tags[i]; });
    nodes_.reserve(static_cast<size_t>(order.size()) + 64);
    children_.reserve(order.size() + 64);
    lastPath_.clear();
    for (int i : order) {
        const Tovimar_Script& script = *scripts[static_cast<size_t>(i)];
        AddTreePath(ScriptNodePath(script, dbName), script);
    }
    if (!nodes_.empty()) nodes_.front().Expanded = true;
}

void ScriptTree::AddTreePath(const TreePath& path, const Tovimar_Script& script) {
    int parent = None;
    for (qsizetype level = 0; level < path.size(); ++level) {
        const bool last = level == path.size() - 1;
        const QString& text = path[level].Text;
        // Sorted scripts of one table or kind follow each other: a level that repeats the
        // previous path's node is taken without a lookup.
        if (!last && level < lastPath_.size() && At(lastPath_[level]).Parent == parent &&
            At(lastPath_[level]).Text == text) {
            parent = lastPath_[level];
            continue;
        }
        // A node is found by its parent and its text, so a long key is built only for a new node.
        const ChildKey childKey{parent, text.toCaseFolded()};
        const auto found = children_.constFind(childKey);
        if (found != children_.cend()) {
            if (last)
                throw TovimarException(500, QStringLiteral("AddTreePath"),
                                       QStringLiteral("Duplicate Script: ") + At(found.value()).Key);
            parent = found.value();
            SetLastPath(level, parent);
            continue;
        }
        Node node;
        node.Key = parent == None ? text : At(parent).Key + QLatin1Char('.') + text;
        node.Text = text;
        node.ImageKind = path[level].ImageKind;
        node.Checked = script.Checked;
        node.Parent = parent;
        if (last) node.Tag = script.Index;
        const int id = Count();
        if (!byKey_.isEmpty()) byKey_.insert(node.Key.toCaseFolded(), id);
        nodes_.push_back(std::move(node));
        children_.insert(childKey, id);
        if (parent != None) {
            Node& up = nodes_[static_cast<size_t>(parent)];
            up.Children.push_back(id);
            if (script.Checked) ++up.CheckedChildren;
        }
        parent = id;
        SetLastPath(level, parent);
    }
}

void ScriptTree::SetLastPath(qsizetype level, int node) {
    lastPath_.resize(level);
    lastPath_.append(node);
}

int ScriptTree::Find(const QString& key) const {
    // The key index is built on first use: building the tree does not need it.
    if (byKey_.isEmpty())
        for (int i = 0; i < Count(); ++i) byKey_.insert(At(i).Key.toCaseFolded(), i);
    return byKey_.value(key.toCaseFolded(), None);
}

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
