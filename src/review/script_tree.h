#pragma once
// The script tree of the script window (frmScripts) without widgets: every script is a leaf of a
// tree grouped by database, object kind and table; group nodes are shared by every script whose
// path passes through them. The window draws the nodes and hands clicks back here; the check
// rules (a node ticks or unticks its whole branch, a ticked leaf ticks every group above it, an
// unticked last child unticks a group that stands for no script) live in this class, so that a
// test drives the same code as the window.
//
// Nodes are kept in a flat vector in creation order (a parent always comes before its children)
// and found by key through a hash; each node counts its ticked children, so a propagation costs
// only the nodes it changes.
#include "compare/script.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <vector>

// One level of a node path: the node's text and the kind whose image it shows (empty: none).
struct TreePathLevel {
    QString Text;
    QString ImageKind;
};
using TreePath = QList<TreePathLevel>;

// The node path of a script in the script tree; dbName is the Destination's name (the root).
TreePath ScriptNodePath(const Tovimar_Script& script, const QString& dbName);

// The four "Show" boxes of the script window.
struct ShowBoxes {
    bool Creates = false;
    bool Deletes = false;
    bool Modifys = false;
    bool Renames = false;
};

// The change kinds a box or context-menu item covers: "Creates", "Deletes", "Modifys", "Renames".
QStringList ActionsOfBox(const QString& box);

// Sets ShowIt of every script: shown when the box covering its Action is ticked, when no box or
// every box is ticked, or when its Action is none of the six kinds.
void ApplyShowFilter(const ScriptList& scripts, const ShowBoxes& boxes);

class ScriptTree {
public:
    static constexpr int None = -1;

    struct Node {
        QString Key;
        QString Text;
        QString ImageKind;  // what GetImageName turns into the node's image; empty: none
        bool Checked = false;
        bool Expanded = false;
        long Tag = 0;       // the script's Index for a node that stands for a script; 0 otherwise
        int Parent = None;
        std::vector<int> Children;
        int CheckedChildren = 0;
    };

    // Builds the tree of the scripts whose ShowIt is set, in the order of their tags
    // (GetTagString, stable and case-insensitive). Every script keeps its Checked. Throws
    // TovimarException 500 "Duplicate Script: " + key when two scripts have the same path; the
    // nodes added before stay.
    void Build(const ScriptList& scripts, const QString& dbName);
    // Adds the nodes of one path that do not exist yet; the last one stands for script.
    void AddTreePath(const TreePath& path, const Tovimar_Script& script);
    void Clear();

    const std::vector<Node>& Nodes() const { return nodes_; }
    const Node& At(int node) const { return nodes_[static_cast<size_t>(node)]; }
    int Count() const { return static_cast<int>(nodes_.size()); }
    // The first root node (the database), or None for an empty tree.
    int Root() const { return nodes_.empty() ? None : 0; }
    int Find(const QString& key) const;
    // The script a node stands for; none for group nodes and stale tags.
    ScriptPtr ScriptOf(int node) const;

    // The user set a node's check box to checked: the node takes it and the branch below and the
    // groups above follow (ApplyCheckDown, then UpdateParentCheck). Returns the nodes whose
    // check state changed, the node itself first.
    QList<int> SetChecked(int node, bool checked);
    // The context menu: every direct child of node that stands for a script with this Action
    // (case-insensitive) takes state, with its branch and the groups above.
    QList<int> SetActionChecked(int node, const QString& action, bool state);

    void ApplyCheckDown(int node);
    void UpdateParentCheck(int node);

private:
    void SetState(int node, bool checked);
    void SetScriptChecked(int node);

    ScriptList scripts_;
    std::vector<Node> nodes_;
    using ChildKey = QPair<int, QString>;  // the parent node and the case-folded text
    void SetLastPath(qsizetype level, int node);

    mutable QHash<QString, int> byKey_;    // case-folded key -> node, built by the first Find
    QHash<ChildKey, int> children_;
    QList<int> lastPath_;                  // the nodes of the path added last
    QList<int>* changed_ = nullptr;
};
