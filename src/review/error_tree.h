#pragma once
// The tree of the errors window (frmErrors) without widgets: one path per reported server error,
// grouped by object (database, object kind, table, object, error) or by error (database, error,
// then the object levels). Keys are built from the scripts' tags, so the tree follows the order
// of the script tree.
#include "review/tovimar_error.h"

#include <QHash>
#include <QString>
#include <vector>

class ErrorTree {
public:
    static constexpr int None = -1;

    struct Node {
        QString Key;
        QString Text;
        QString ImageKind;  // what GetImageName turns into the node's image
        // For the last node of a path: the error's position in the error list (0-based);
        // None otherwise.
        int Error = None;
        // For the error node when grouped by error: "Fehlerbeschreibung: " + CR LF CR LF + the
        // error text. Empty otherwise.
        QString Description;
        bool Expanded = false;
        int Parent = None;
        std::vector<int> Children;
    };

    // Builds the tree of every entry of every error. dbName heads every path.
    void Build(const QString& dbName, const ErrorCollection& errors, bool byError);

    const std::vector<Node>& Nodes() const { return nodes_; }
    const Node& At(int node) const { return nodes_[static_cast<size_t>(node)]; }
    int Count() const { return static_cast<int>(nodes_.size()); }
    int Find(const QString& key) const { return byKey_.value(key.toCaseFolded(), None); }

    // What the text box shows for a node: the SQL of the failed part for the node of an error,
    // the error's description for an error group, nothing for any other node.
    QString TextOf(int node) const;

private:
    ErrorCollection errors_;
    std::vector<Node> nodes_;
    QHash<QString, int> byKey_;
};

// The text of an error node: the number, " (", the description and ")".
QString ErrorNodeText(const Tovimar_Error::Entry& entry);
