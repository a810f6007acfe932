#pragma once
// The rename dialog (frmRename): pairs deleted tables and columns with created ones, so that the
// regenerated scripts rename them and keep their data. The lists and rules live in RenameModel;
// this dialog draws them.
#include "app/comparison_session.h"
#include "rename/rename_model.h"

#include <QDialog>
#include <QPointer>

class Prompt;
class QAction;
class QCheckBox;
class QPushButton;
class QTreeWidget;
class frmScripts;

class frmRename : public QDialog {
    Q_OBJECT
public:
    // Opened by the comparison run with the generated scripts; Next opens the script window with
    // the same progress, prompt and main window.
    frmRename(SessionPtr session, ScriptList scripts, Progress& progress, Prompt& prompt,
              QWidget* mainWindow = nullptr);

    SessionPtr Session;
    RenameModel Model;
    // Handed on to the script window.
    QString DifferenceViewer;

    // Loads the lists from the scripts and shows the dialog.
    void Load();
    // The script window went back: the dialog takes its scripts, rebuilds its lists and shows.
    void ReturnFromScripts(const ScriptList& scripts);
    // "&Next >>": hands the (regenerated) scripts to a new script window, shown, and returns it.
    frmScripts* Next();
    void Rename();
    void Undo();
    frmScripts* ScriptsWindow() const { return scriptsWindow_; }

    QTreeWidget* Deletes;
    QTreeWidget* Creates;
    QTreeWidget* Renames;
    QAction* RenameButton;
    QAction* UndoButton;
    QCheckBox* ShowAllSrc;
    QCheckBox* ShowAllDest;
    QPushButton* cmdWeiter;
    QPushButton* cmdAbbruch;
    QPushButton* btnHelp;

signals:
    void ReturnedToMainWindow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FillLists();
    void FillCreates();
    void Regenerated(const std::function<void()>& action);

    Progress& progress_;
    Prompt& prompt_;
    QPointer<QWidget> mainWindow_;
    QPointer<frmScripts> scriptsWindow_;
    bool proceeding_ = false;
    bool filling_ = false;
};
