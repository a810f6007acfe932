#include "review/script_executor.h"

#include "compare/generation_driver.h"
#include "compare/generators.h"
#include "platform/app_paths.h"
#include "platform/cleanup_guard.h"
#include "platform/db/db_connection.h"
#include "platform/local_text.h"
#include "platform/tovimar_exception.h"
#include "schema/model.h"
#include "schema/sql_text.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <chrono>

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kGo = QStringLiteral("GO");
const QString kSource = QStringLiteral("ScriptExecutor");
const QString kRollback = QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK");

const QString kSeparator80(80, QLatin1Char('-'));
const QString kSeparator70(70, QLatin1Char('-'));

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// How long a running statement is waited for before the user interface gets its turn (and
// Cancel is looked at): briefly at first, longer once it has run for a couple of seconds.
constexpr int kShortPolls = 200;
constexpr auto kShortWait = std::chrono::milliseconds(10);
constexpr auto kLongWait = std::chrono::milliseconds(200);
// The size of the writes of an execution log collected in blocks (see RunScripts).
constexpr qsizetype kLogBlock = 64 * 1024;

TovimarException CancelledError() { return TovimarException(1, kSource, QStringLiteral("Cancelled")); }
}  // namespace

ServerErrorKind ClassifyServerError(long number) {
    switch (number) {
    case 1708:
    case 1918:
    case 15338:
    case 15477: return ServerErrorKind::Ignored;
    case 207:
    case 208:
    case 1902:
    case 2007:
    case 4413: return ServerErrorKind::Dependency;
    default: return ServerErrorKind::Other;
    }
}

// ---------------------------------------------------------------------------------------------
// The log file

void ScriptExecutor::WriteLine(const QString& text) {
    if (textOut_) {
        *textOut_ += text + kCrLf;
        return;
    }
    if (!logError_.isEmpty()) {
        unwrittenLog_ += text + QLatin1Char('\n');
        return;
    }
    QString error;
    try {
        if (!ExportOnly) {
            // An execution log collects its lines until the next statement runs (FlushLog). The
            // line break is the same two bytes in every encoding a locale uses.
            AppendEncodedLocalText(pendingLog_, text);
            pendingLog_ += "\r\n";
            pendingLines_.push_back(text);
            return;
        }
        const QByteArray bytes = EncodeLocalText(text + kCrLf);
        if (file_.write(bytes) != bytes.size())
            error = QStringLiteral("Cannot write to the file %1: %2").arg(ResultFile, file_.errorString());
    } catch (const TovimarException& e) {
        error = QStringLiteral("Cannot write to the file %1: %2").arg(ResultFile, e.Description);
    }
    if (error.isEmpty()) return;
    // A saved script file that cannot be written is a failure. An execution goes on: stopping in
    // the middle of a script would leave the Destination half changed; what the log could not
    // take is kept for the caller to show.
    if (ExportOnly) throw TovimarException(57, kSource, error);
    FlushLog();  // the lines before this one keep their place
    if (logError_.isEmpty()) logError_ = error;
    unwrittenLog_ += text + QLatin1Char('\n');
}

void ScriptExecutor::FlushLog() {
    if (pendingLog_.isEmpty()) return;
    if (logError_.isEmpty() && file_.write(pendingLog_) != pendingLog_.size())
        logError_ = QStringLiteral("Cannot write to the file %1: %2").arg(ResultFile, file_.errorString());
    if (!logError_.isEmpty())
        for (const QString& line : pendingLines_) unwrittenLog_ += line + QLatin1Char('\n');
    pendingLog_.resize(0);  // keeps its room for the next statement's lines
    pendingLines_.clear();
}

void ScriptExecutor::WriteHeader() {
    const QDateTime now = Clock ? Clock() : QDateTime::currentDateTime();
    WriteLine(kSeparator80);
    WriteLine(QString());
    // Names in comment lines lose their line breaks, so that none can end the comment.
    WriteLine(QStringLiteral("-- Tovimar Script for Database: ") + CommentLineText(DB->FullName()) + QStringLiteral("  on: ") +
              now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    WriteLine(QString());
    WriteLine(QStringLiteral("-- USE ") + CommentLineText(QuoteName(DB->Name)));
    WriteLine(QString());
    WriteLine(kSeparator80);
}

// ---------------------------------------------------------------------------------------------
// The run

void ScriptExecutor::RunScripts() {
    ErrCollection.clear();
    statementRunning_ = false;
    if (!DB) throw TovimarException(91, kSource, QStringLiteral("No database to run the scripts on."));
    progress_.ShowCaption(QStringLiteral("Updating ") + DB->FullName());
    cancelled_ = false;

    connection_ = nullptr;
    if (!ExportOnly) {
        if (!DB->Connection)
            throw TovimarException(3704, kSource,
                                   QStringLiteral("The database %1 has no open connection.").arg(DB->FullName()));
        connection_ = DB->Connection.get();
    }

    logError_.clear();
    unwrittenLog_.clear();
    pendingLog_.clear();
    pendingLines_.clear();
    file_.setFileName(ResultFile);
    // The log of an execution is written through: what was logged goes out in one write before
    // each statement runs, so that a run that is killed leaves the record of every statement that
    // ran and the title of the script that was running; a saved script file is written at once.
    // A server inside this process ends with it: a run killed there leaves no changed database
    // behind for the record to account for, so its log is collected and written in blocks (one
    // write per statement was a tenth of a build of tens of thousands of short statements). The
    // bytes are the same; a failed write is reported as before, with the lines it held.
    logInBlocks_ = connection_ && connection_->ServerInThisProcess();
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Truncate;
    if (!file_.open(ExportOnly ? mode : mode | QIODevice::Unbuffered))
        throw TovimarException(75, kSource,
                               QStringLiteral("Cannot open the file %1: %2").arg(ResultFile, file_.errorString()));
    // Whatever ends the run, no statement keeps running and the file is closed.
    CleanupGuard finish([this] {
        StopRunning();
        connection_ = nullptr;
        FlushLog();
        file_.close();
    });
    Run();
    if (!ExportOnly) return;
    if (!file_.flush())
        throw TovimarException(57, kSource,
                               QStringLiteral("Cannot write to the file %1: %2").arg(ResultFile, file_.errorString()));
    file_.close();
    if (file_.error() != QFileDevice::NoError)
        throw TovimarException(57, kSource,
                               QStringLiteral("Cannot write to the file %1: %2").arg(ResultFile, file_.errorString()));
}

QString ScriptExecutor::ExportText() {
    ErrCollection.clear();
    if (!DB) throw TovimarException(91, kSource, QStringLiteral("No database to write the scripts for."));
    progress_.ShowCaption(QStringLiteral("Updating ") + DB->FullName());
    cancelled_ = false;
    connection_ = nullptr;
    QString text;
    const bool exportOnly = ExportOnly;
    ExportOnly = true;
    textOut_ = &text;
    CleanupGuard restore([this, exportOnly] {
        textOut_ = nullptr;
        ExportOnly = exportOnly;
    });
    Run();
    return text;
}

void ScriptExecutor::Run() {
    finalTry_.clear();
    pendingRetryType_.clear();
    failedFoundations_.clear();
    Skipped.clear();
    WriteHeader();
    for (const ScriptPtr& script : Scripts) {
        if (!script) continue;
        RetryPass(script->Typ);
        if (cancelled_) break;
        if (!script->Checked) continue;
        if (const ScriptPtr cause = ExportOnly ? nullptr : FailedFoundation(*script)) Skip(script, cause);
        else ExecuteScript(script, 0);
        if (cancelled_) break;
    }
    RetryPass(QString());
}

void ScriptExecutor::ExecuteScript(const ScriptPtr& script, int startPart) {
    const QString title = startPart > 0 ? QStringLiteral("REPEAT ") + script->GetTitle() : script->GetTitle();
    WriteLine(QStringLiteral("-- ") + CommentLineText(title));
    WriteLine(kSeparator80);

    const int count = script->GetSQLCount();
    for (int part = std::max(startPart, 1); part <= count; ++part) {
        NoteCancel(progress_.ShowMessage(count >= 2 ? title + QStringLiteral(" (%1)").arg(part) : title));
        const QString header = count >= 2 ? QStringLiteral("-- Part %1:").arg(part) + kCrLf : QString();
        const QString text = ExportOnly ? script->GetSQL(part, true) : QString();
        if (!header.isEmpty() || !text.isEmpty()) WriteLine(header + text);
        if (!header.isEmpty()) WriteLine(kSeparator70);
        if (ExportOnly) {
            WriteLine(kGo);
            continue;
        }
        bool goOn = true;
        for (const QString& statement : script->GetSQLSteps(part)) {
            goOn = ExecuteStatement(script, part, statement);
            if (!goOn) break;
        }
        if (!goOn) break;
    }
    WriteLine(kSeparator80);
}

bool ScriptExecutor::ExecuteStatement(const ScriptPtr& script, int part, const QString& sql) {
    long runTimeNumber = 0;
    QString runTimeDescription;
    try {
        ExecuteBatch(sql);
        WriteLine(sql);
        WriteLine(kGo);
        WriteLine(QStringLiteral("-- STATUS=OK."));
        WriteLine(kGo);
        return true;
    } catch (const TovimarException& e) {
        runTimeNumber = e.Number;
        runTimeDescription = e.Description;
    } catch (const std::exception& e) {
        runTimeDescription = QString::fromLocal8Bit(e.what());
    }

    ErrorPtr error = CreateError(script, part);
    bool serverReportedError = false;
    for (const DbError& reported : connection_->Errors()) {
        if (!reported.Informational) serverReportedError = true;
        switch (ClassifyServerError(reported.Number)) {
        case ServerErrorKind::Ignored: break;
        case ServerErrorKind::Dependency:
            error->AddEntry(reported.Number, reported.Description);
            if (IsRepeatable(*script)) {
                error->TryAgain = true;
                pendingRetryType_ = script->Typ;
            }
            break;
        case ServerErrorKind::Other: error->AddEntry(reported.Number, reported.Description); break;
        }
    }
    // A failure the server did not describe (Cancel, a broken connection) is recorded by its own
    // error; one that the server reported only with ignored numbers counts as done.
    if (error->ErrorList.isEmpty() && !serverReportedError) error->AddEntry(runTimeNumber, runTimeDescription);

    WriteLine(sql);
    WriteLine(kGo);
    if (error->ErrorList.isEmpty()) {
        WriteLine(QStringLiteral("-- STATUS=OK?"));
        WriteLine(kGo);
        return true;
    }
    ErrCollection.push_back(error);
    const bool foundation = Same(script->Typ, QStringLiteral("Table")) || Same(script->Typ, QStringLiteral("Column"));
    if (!error->TryAgain && foundation && !Same(script->Action, QStringLiteral("DELETE")) &&
        !Same(script->Action, QStringLiteral("REDELETE")))
        failedFoundations_.push_back(script);
    WriteLine(error->TryAgain ? QStringLiteral("-- STATUS=ERROR-REPEAT.") : QStringLiteral("-- STATUS=ERROR."));
    for (const Tovimar_Error::Entry& entry : error->ErrorList)
        WriteLine(QStringLiteral("--    ERR=%1 - ").arg(entry.Number) + CommentLineText(entry.Description));
    WriteLine(kGo);
    Rollback();
    return false;
}

ScriptPtr ScriptExecutor::FailedFoundation(const Tovimar_Script& script) const {
    static const QStringList dependents = {QStringLiteral("Index"), QStringLiteral("Relation"), QStringLiteral("Check"),
                                           QStringLiteral("Default"), QStringLiteral("FTI"), QStringLiteral("Trigger")};
    if (failedFoundations_.empty() || !dependents.contains(script.Typ, Qt::CaseInsensitive)) return nullptr;
    const auto* relation = dynamic_cast<const Tovimar_Relation*>(script.ScriptedObj);
    const QString referenced = !relation ? QString()
                               : relation->PrimaryTable ? relation->PrimaryTable->FullName()
                                                        : relation->PrimaryTableFullName;
    for (const ScriptPtr& failed : failedFoundations_) {
        if (!failed->ScriptedObj) continue;
        if (Same(failed->Typ, QStringLiteral("Table"))) {
            const QString table = failed->ScriptedObj->FullName();
            if (Same(script.TableFullName(), table) || Same(referenced, table)) return failed;
        } else if (const auto* field = dynamic_cast<const Tovimar_Field*>(failed->ScriptedObj)) {
            if (field->Table() && script.ScriptedObj && UsesColumn(*script.ScriptedObj, *field->Table(), field->Name))
                return failed;
        }
    }
    return nullptr;
}

void ScriptExecutor::Skip(const ScriptPtr& script, const ScriptPtr& cause) {
    Skipped.push_back({script, cause});
    WriteLine(QStringLiteral("-- ") + script->GetTitle());
    WriteLine(kSeparator80);
    WriteLine(QStringLiteral("-- STATUS=SKIPPED. It depends on a Script that failed: ") + cause->GetTitle());
    WriteLine(kSeparator80);
}

bool ScriptExecutor::IsRepeatable(const Tovimar_Script& script) const {
    return script.Repeatable && !finalTry_.contains(&script);
}

void ScriptExecutor::RetryPass(const QString& currentTyp) {
    size_t previousCount = 0;
    // After Cancel nothing more is run; the waiting errors stay as they are.
    while (!cancelled_ && !pendingRetryType_.isEmpty() && pendingRetryType_ != currentTyp) {
        pendingRetryType_.clear();
        ErrorCollection retry;
        auto waiting = std::stable_partition(ErrCollection.begin(), ErrCollection.end(),
                                             [](const ErrorPtr& e) { return !e->TryAgain; });
        retry.assign(waiting, ErrCollection.end());
        ErrCollection.erase(waiting, ErrCollection.end());

        for (size_t i = 0; i < retry.size(); ++i) {
            if (cancelled_) {
                // The errors that were not retried remain the run's errors.
                ErrCollection.insert(ErrCollection.end(), retry.begin() + static_cast<long>(i), retry.end());
                return;
            }
            const ErrorPtr& error = retry[i];
            // No progress since the previous pass: this try is the last.
            if (retry.size() == previousCount) finalTry_.insert(error->Script.get());
            ExecuteScript(error->Script, error->ScriptIndex);
        }
        previousCount = retry.size();
    }
}

void ScriptExecutor::Rollback() {
    // Synchronous and outside the Cancel check: a cancelled statement must still be rolled back.
    try {
        connection_->Execute(kRollback);
    } catch (...) {
        // The outcome of the rollback does not change the failure that is logged.
    }
}

// ---------------------------------------------------------------------------------------------
// One statement

void ScriptExecutor::StopRunning() {
    if (!connection_ || !statementRunning_) return;
    statementRunning_ = false;
    try {
        connection_->Cancel();
    } catch (...) {
    }
    try {
        // Waits for the statement to end and keeps the messages it produced.
        connection_->FinishExecute();
    } catch (...) {
    }
}

void ScriptExecutor::ExecuteBatch(const QString& sql) {
    if (!connection_) throw TovimarException(3704, kSource, QStringLiteral("No connection to execute on."));
    StopRunning();
    connection_->ClearErrors();
    if (cancelled_) throw CancelledError();
    // What ran before, and the title of what runs now, is on record first.
    if (!logInBlocks_ || pendingLog_.size() >= kLogBlock) FlushLog();

    CleanupGuard stopOnError([this] { StopRunning(); }, CleanupWhen::OnError);
    connection_->ExecuteAsync(sql);
    statementRunning_ = true;
    // The statement's end is waited for, not slept past: a quick statement goes on at once.
    // Between waits the user interface gets its turn and Cancel is looked at.
    int polls = 0;
    while (!connection_->WaitFinished(polls < kShortPolls ? kShortWait : kLongWait)) {
        ++polls;
        NoteCancel(progress_.Yield());
        if (cancelled_) {
            // The server is asked to stop; what the statement did is judged by its outcome below,
            // since it may have completed before the cancel arrived.
            connection_->Cancel();
            break;
        }
    }
    statementRunning_ = false;
    const DbBatchOutcome outcome = connection_->FinishExecute();
    if (outcome.Cancelled && !outcome.Failed) throw CancelledError();
    if (outcome.Failed) {
        const DbError first = FirstError(outcome.Errors);
        throw TovimarException(first.Number, kSource, first.Description);
    }
}

// ---------------------------------------------------------------------------------------------
// Module operations

namespace {
// The longest file name (in bytes) the usual file systems take, less room for the "_NN" that
// keeps two runs of the same second apart.
constexpr qsizetype kMaxFileNameBytes = 255 - 6;

// stem + extension, within the file system's name limit: a stem that is too long keeps its
// beginning and ends with "~" + a short hash of the whole, so that two long names stay apart.
QString FittingFileName(const QString& stem, const QString& extension) {
    if (QFile::encodeName(stem + extension).size() <= kMaxFileNameBytes) return stem + extension;
    const QString hash =
        QLatin1Char('~') +
        QString::fromLatin1(QCryptographicHash::hash(stem.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    QString cut = stem;
    while (!cut.isEmpty() && QFile::encodeName(cut + hash + extension).size() > kMaxFileNameBytes) {
        cut.chop(1);
        if (!cut.isEmpty() && cut.back().isHighSurrogate()) cut.chop(1);
    }
    return cut + hash + extension;
}
}  // namespace

QString GetScriptFileName(QString& baseName, const QString& extension, const QDateTime& now) {
    const QString folder = ScriptsFolder();
    QDir().mkpath(folder);  // it may exist; a failure shows when the file is opened
    if (baseName.isEmpty()) baseName = QStringLiteral("Result");
    QString name = baseName;
    name.replace(QLatin1Char('/'), QLatin1Char('$')).replace(QLatin1Char('\\'), QLatin1Char('$'));
    return QDir(folder).filePath(
        FittingFileName(QStringLiteral("Tovimar_") + now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss_")) + name,
                        extension.isEmpty() ? QStringLiteral(".txt") : extension));
}

QString CreateScriptFile(QString& baseName, const QString& extension, const QDateTime& now) {
    const QString path = GetScriptFileName(baseName, extension, now);
    const QFileInfo info(path);
    const QString stem = info.path() + QLatin1Char('/') + info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 1; n < 1000; ++n) {
        const QString candidate = n == 1 ? path : stem + QStringLiteral("_%1").arg(n) + suffix;
        QFile file(candidate);
        // Created exclusively: a file of another run is never taken over, even one that began
        // at the same moment.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return candidate;
        if (!QFileInfo::exists(candidate)) return candidate;  // the error shows when it is written
    }
    return path;
}

QString ScriptFileText(const ScriptList& scripts, Tovimar_Database& db, const QDateTime& now) {
    NullProgress progress;
    ScriptExecutor executor(progress);
    executor.Scripts = scripts;
    executor.DB = &db;
    executor.Clock = [now] { return now; };
    return executor.ExportText();
}

bool ExecuteScripts(Progress& progress, Prompt& prompt, const ScriptList& scripts, Tovimar_Database& db,
                    bool exportOnly, QString& resultFile, ExecutionReport* report,
                    const ShowErrorsWindow& showErrors) {
    if (resultFile.isEmpty()) {
        QString base = FileNamePart(db);
        resultFile = CreateScriptFile(base, QString());
    }

    ErrorCollection errors;
    std::vector<ScriptExecutor::SkippedScript> skipped;
    bool cancelled = false;
    QString logError;
    QString unwrittenLog;
    {
        CleanupGuard closeWindow([&progress] { progress.Close(); });
        ScriptExecutor executor(progress);
        executor.ResultFile = resultFile;
        executor.Scripts = scripts;
        executor.DB = &db;
        executor.ExportOnly = exportOnly;
        executor.RunScripts();
        errors = std::move(executor.ErrCollection);
        skipped = std::move(executor.Skipped);
        cancelled = executor.WasCancelled();
        logError = executor.LogError();
        unwrittenLog = executor.UnwrittenLog();
    }
    if (report) {
        report->Errors = errors;
        report->Skipped = std::move(skipped);
        report->Cancelled = cancelled;
        report->LogError = logError;
        report->UnwrittenLog = unwrittenLog;
    }
    if (!logError.isEmpty())
        prompt.Tell(QStringLiteral("The execution log could not be written completely!\r\n") +
                        FormatErrorLines(57, logError),
                    PromptIcon::Exclamation);

    const QString what = exportOnly ? QStringLiteral("Open File?") : QStringLiteral("Open Execution Log?");
    PromptAnswer answer;
    if (!errors.empty()) {
        answer = prompt.Ask(QStringLiteral("Done!\r\nThere have been errors encountered during Script-Execution!\r\n\r\n") +
                                what,
                            PromptIcon::Exclamation, PromptButtons::YesNo, PromptAnswer::Yes);
    } else if (cancelled) {
        // A cancelled run is not reported as a complete one.
        answer = prompt.Ask((exportOnly ? QStringLiteral("Cancelled!\r\nThe file holds only part of the Scripts!\r\n\r\n")
                                        : QStringLiteral("Cancelled!\r\nNot all Scripts have been executed!\r\n\r\n")) +
                                what,
                            PromptIcon::Exclamation, PromptButtons::YesNo, PromptAnswer::Yes);
    } else if (exportOnly) {
        answer = prompt.Ask(QStringLiteral("Scripts successfully saved to file!\r\n\r\n") + what, PromptIcon::Information,
                            PromptButtons::YesNo, PromptAnswer::Yes);
    } else {
        answer = prompt.Ask(QStringLiteral("Done!\r\nNo Errors encountered!\r\n\r\n") + what, PromptIcon::Information,
                            PromptButtons::YesNo, PromptAnswer::No);
    }
    if (answer == PromptAnswer::Yes && QFileInfo::exists(resultFile)) prompt.OpenFile(resultFile);

    if (!errors.empty() && showErrors) return !showErrors(db, errors);
    return false;
}

QString DefaultExportFileName(const Tovimar_Database& destination, const Tovimar_Database* source) {
    QString name = source ? source->FullName() + QStringLiteral("_to_") + destination.FullName() : destination.FullName();
    name.replace(QLatin1Char('\\'), QLatin1Char('$')).replace(QLatin1Char('/'), QLatin1Char('$'));
    name.replace(QLatin1Char('.'), QLatin1Char('-'));
    return QStringLiteral("Tovimar_") + name;
}

bool ExportScripts(Progress& progress, Prompt& prompt, const ScriptList& scripts, Tovimar_Database& destination,
                   const QString& path) {
    if (path.isEmpty()) return false;
    QString resultFile = path;
    QDir().mkpath(ScriptsFolder());
    try {
        ExecuteScripts(progress, prompt, scripts, destination, true, resultFile);
        return true;
    } catch (const TovimarException& e) {
        prompt.Tell(QStringLiteral("Error saving file:\r\n") + path + QStringLiteral("\r\n\r\n") + FormatErrorLines(e),
                    PromptIcon::Critical);
    } catch (const std::exception& e) {
        prompt.Tell(QStringLiteral("Error saving file:\r\n") + path + QStringLiteral("\r\n\r\n") +
                        FormatErrorLines(0, QString::fromLocal8Bit(e.what())),
                    PromptIcon::Critical);
    }
    return false;
}
