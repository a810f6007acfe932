#pragma once
// The errors window (frmErrors): the errors of a script run in a tree, grouped by object or by
// error, with the failed SQL or the error's text of the selected entry. It changes nothing.
#include "review/error_tree.h"

#include <QDialog>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

class frmErrors : public QDialog {
    Q_OBJECT
public:
    frmErrors(Tovimar_Database& db, ErrorCollection scriptErrors, QWidget* parent = nullptr);

    Tovimar_Database* DB;
    ErrorCollection ScriptErrors;
    bool IsContinue = false;  // set by the Close button only

    // Builds the tree grouped by error or by object and selects its first node.
    void BuildTree(bool byError);
    const ErrorTree& Tree() const { return tree_; }

    QTreeWidget* trvScripts;
    QPlainTextEdit* txtSQL;
    QRadioButton* optErr;
    QRadioButton* optObj;
    QPushButton* cmdEnde;
    QPushButton* btnHelp;

private:
    void ShowNode(QTreeWidgetItem* item);

    ErrorTree tree_;
};
