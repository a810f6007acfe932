#include "dbutil/recompile.h"

#include "compare/generation_context.h"
#include "compare/generation_driver.h"
#include "compare/generators.h"
#include "platform/prompt.h"
#include "schema/model.h"

ScriptList GenerateRecompileScripts(Tovimar_Database& db, Progress* progress) {
    GenerationContext ctx;
    ctx.DB1 = &db;
    ScriptList scripts;
    GenerateUpdateObjectScripts(db, progress, scripts, ctx);
    // The execution order of a comparison puts each code object after the ones it uses.
    return SortScripts(scripts);
}

RecompileOutcome RecompileObjects(Tovimar_Database& db, Progress& progress, Prompt& prompt, bool ask,
                                  const QString& logFile, const ShowErrorsWindow& showErrors) {
    RecompileOutcome outcome;
    if (ask && prompt.Ask(QStringLiteral("All Views, Procedures, Functions and Triggers in the Source-DB will be "
                                         "recompiled. Continue?"),
                          PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes)
        return outcome;
    outcome.Asked = true;
    const ScriptList scripts = GenerateRecompileScripts(db, &progress);
    outcome.ScriptCount = static_cast<int>(scripts.size());
    if (scripts.empty()) {
        prompt.Tell(QStringLiteral("There are no compilable Objects in the Source-DB!"), PromptIcon::Information);
        return outcome;
    }
    outcome.LogFile = logFile;
    outcome.ErrorsShown =
        ExecuteScripts(progress, prompt, scripts, db, false, outcome.LogFile, &outcome.Report, showErrors);
    return outcome;
}
