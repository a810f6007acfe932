#pragma once
// The script window (frmScripts): the scripts of a comparison as a tree with check boxes, the SQL
// of the selected script, the "Show" filter, the context menu that includes or excludes scripts
// by change kind, the difference viewer, saving to a file and execution on the Destination.
// The tree's rules live in ScriptTree; this window draws it and passes clicks on.
#include "app/comparison_session.h"
#include "review/script_executor.h"
#include "review/script_tree.h"

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTemporaryFile;
class QTreeWidget;
class QTreeWidgetItem;
class frmErrors;
class frmRename;

class frmScripts : public QDialog {
    Q_OBJECT
public:
    // The window of one comparison. progress and prompt serve the executor and every question
    // the window asks; mainWindow (may be none) is hidden while the window is open and shown
    // again when it returns there.
    frmScripts(SessionPtr session, ScriptList scripts, Progress& progress, Prompt& prompt,
               QWidget* mainWindow = nullptr);
    ~frmScripts() override;

    SessionPtr Session;
    ScriptList Scripts;
    bool WasRename = false;                // opened from the rename dialog: Back returns there
    QPointer<frmRename> RenameDialog;      // that dialog
    // The difference viewer command line ("%s": the Source file, "%d": the Destination file);
    // empty disables "Show &Differences". The main window sets it from the preferences.
    QString DifferenceViewer;

    // Hooks with the platform's defaults; tests replace them (a test never runs a modal loop).
    std::function<QString(QWidget* parent, const QString& title, const QString& path, const QString& filter)>
        AskSaveFileName;
    std::function<bool(frmErrors& window)> ShowErrorsModal;  // returns the window's IsContinue
    std::function<bool(const QString& program, const QStringList& arguments)> StartProcess;

    // Builds the window: caption, the filter, the tree. Also run after each Show box click.
    void Load();
    // The buttons' work, callable without a click.
    void Execute();      // "&Next >>"
    void SaveScripts();  // "&Save Scripts to file"
    void ShowDifferences();
    const ScriptTree& Tree() const { return tree_; }
    QTreeWidgetItem* Item(int node) const { return items_[static_cast<size_t>(node)]; }
    // The two temporary files of the difference viewer (empty until first used).
    QStringList TemporaryFiles() const;

    QTreeWidget* trvScripts;
    QPlainTextEdit* txtSQL;
    QCheckBox* chkCreates;
    QCheckBox* chkDeletes;
    QCheckBox* chkChanges;
    QCheckBox* chkRenames;
    QPushButton* cmdWindiff;
    QPushButton* cmdSave;
    QPushButton* cmdDurchfuehren;
    QPushButton* cmdAbbruch;
    QPushButton* btnHelp;
    QMenu* MenuContext;

signals:
    // The window went back to the main window (which should refresh itself).
    void ReturnedToMainWindow();
    // Execution ended with errors and the errors window was closed other than by its Close
    // button: the application is to end.
    void ApplicationEnding();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FillTree();
    void ShowNode(QTreeWidgetItem* item);
    void NodeChecked(QTreeWidgetItem* item);
    void UpdateItems(const QList<int>& nodes);
    void SetSelectedActionChecked(const QString& box, bool state);
    int SelectedNode() const;
    void Unload();

    Progress& progress_;
    Prompt& prompt_;
    QPointer<QWidget> mainWindow_;
    ScriptTree tree_;
    std::vector<QTreeWidgetItem*> items_;
    bool updating_ = false;
    bool closing_ = false;
    bool unloaded_ = false;
    std::unique_ptr<QTemporaryFile> sourceFile_;
    std::unique_ptr<QTemporaryFile> destFile_;
};

// The filter of a file dialog from the documented form "Text Files (*.txt)|*.txt|..." (pairs of
// description and pattern); "*.*" matches every file.
QString FileDialogFilter(const QString& pairs);
