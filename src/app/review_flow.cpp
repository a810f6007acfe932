#include "app/review_flow.h"

#include "app/frm_start.h"
#include "app/gui_prompt.h"
#include "main/comparison_run.h"

// Stands in for the script window and the rename dialog until they exist: lists the scripts and
// returns to the main window.
void StartScriptReview(frmStart* mainWindow, std::shared_ptr<Tovimar_Database> db1,
                       std::shared_ptr<Tovimar_Database> db2, const ScriptList& scripts, bool openRenameDialog) {
    (void)db1;
    (void)db2;
    QString text = QString::number(scripts.size()) + QStringLiteral(" Scripts generated") +
                   (openRenameDialog ? QStringLiteral(" (Rename-Dialog requested)") : QString()) + QStringLiteral(":\r\n");
    int shown = 0;
    for (const ScriptPtr& script : scripts) {
        if (!script) continue;
        if (++shown > 30) {
            text += QStringLiteral("...\r\n");
            break;
        }
        text += SummaryLine(*script) + QStringLiteral("\r\n");
    }
    AppPrompt().Tell(text, PromptIcon::Information);
    if (mainWindow) mainWindow->ShowAgain();
}
