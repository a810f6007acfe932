#pragma once
// The hand-over from the comparison run to the review windows. After the options dialog's Next
// the main window loads, links and generates (main/comparison_flow.h), tells the user about
// "no differences", data loss and exports itself, and then calls StartScriptReview exactly once
// when there are scripts to review. StartScriptReview opens the rename dialog (openRenameDialog:
// deletions are present or "Always show Rename-Dialog" was chosen) or the script window, gives
// it the two databases and the script list, and hides the main window; those windows show the
// main window again when they close (mainWindow->ShowAgain()).
#include "compare/script.h"
#include "schema/model.h"

#include <memory>

class frmStart;

void StartScriptReview(frmStart* mainWindow, std::shared_ptr<Tovimar_Database> db1,
                       std::shared_ptr<Tovimar_Database> db2, const ScriptList& scripts, bool openRenameDialog,
                       bool ignoreDataLoss);
