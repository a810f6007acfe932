#include "app/review_flow.h"

#include "app/comparison_session.h"
#include "app/frm_execute.h"
#include "app/frm_rename.h"
#include "app/frm_scripts.h"
#include "app/frm_start.h"
#include "app/gui_prompt.h"
#include "main/settings_store.h"

// Opens the rename dialog or the script window for the comparison; the window hides the main
// window, and shows it again (through ShowAgain, which also restores the pointer) when the user
// returns there.
void StartScriptReview(frmStart* mainWindow, std::shared_ptr<Tovimar_Database> db1,
                       std::shared_ptr<Tovimar_Database> db2, const ScriptList& scripts, bool openRenameDialog,
                       bool ignoreDataLoss) {
    SessionPtr session = MakeComparisonSession(std::move(db1), std::move(db2), ignoreDataLoss);
    Progress& progress = *mainWindow->ProgressWindow();
    const QString viewer = GetDifferenceViewer(false);
    auto returned = [mainWindow] { mainWindow->ShowAgain(); };
    if (openRenameDialog) {
        auto* dialog = new frmRename(session, scripts, progress, AppPrompt(), mainWindow);
        dialog->DifferenceViewer = viewer;
        QObject::connect(dialog, &frmRename::ReturnedToMainWindow, mainWindow, returned);
        dialog->Load();
        return;
    }
    auto* window = new frmScripts(session, scripts, progress, AppPrompt(), mainWindow);
    window->DifferenceViewer = viewer;
    QObject::connect(window, &frmScripts::ReturnedToMainWindow, mainWindow, returned);
    window->Load();
    window->show();
}
