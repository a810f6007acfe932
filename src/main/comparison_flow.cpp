#include "main/comparison_flow.h"

#include "compare/connection_source_data.h"
#include "compare/generation_context.h"
#include "compare/generation_driver.h"
#include "compare/linking.h"
#include "filters/filter_model.h"
#include "main/comparison_run.h"
#include "main/sim_database.h"
#include "platform/cleanup_guard.h"
#include "platform/db/db_connection.h"
#include "platform/progress.h"
#include "platform/prompt.h"
#include "platform/tovimar_exception.h"
#include "review/tovimar_error.h"
#include "schema/catalog_loader.h"
#include "schema/snapshot_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

const QString CRLF = QStringLiteral("\r\n");

QStringList ScriptPaths(const QString& server) {
    static const QRegularExpression plus(QStringLiteral("(?<=\\.sql)\\+"), QRegularExpression::CaseInsensitiveOption);
    return QFileInfo::exists(server) ? QStringList{server} : server.split(plus);
}

std::shared_ptr<DbConnection> ConnectSnapshot(const QString& path, const QString& database, Progress& progress) {
    Tovimar_Database model;
    if (!LoadSchemaFile(path, model, false, &progress))
        throw TovimarException(53, QStringLiteral("OpenDatabaseSource"),
                               QStringLiteral("Cannot open %1").arg(QDir::toNativeSeparators(path)));
    if (!database.trimmed().isEmpty()) model.Name = database.trimmed();
    QTemporaryDir logFolder;
    ErrorCollection errors;
    // The database is read afterwards like any other: building it only hands the connection over.
    return BuildSimulatedConnection(model, logFolder.filePath(QStringLiteral("build.log")), errors, progress);
}

}  // namespace

ServerBoxKind ServerBoxKindOf(const QString& server) {
    const QString text = server.trimmed();
    if (text.endsWith(QStringLiteral(".schema"), Qt::CaseInsensitive)) return ServerBoxKind::Snapshot;
    if (text.endsWith(QStringLiteral(".sql"), Qt::CaseInsensitive)) return ServerBoxKind::Script;
    return ServerBoxKind::Server;
}

ParamsProblem CheckConnectionParams(int side, const ConnectionParams& params) {
    const QString label = side == 1 ? QStringLiteral("Source-DB") : QStringLiteral("Destination-DB");
    if (params.Server.trimmed().isEmpty() || params.Database.trimmed().isEmpty())
        return {QStringLiteral("You have to specify Server- und Database-Name of ") + label + QLatin1Char('!'),
                params.Server.trimmed().isEmpty() ? ParamsFocus::Server : ParamsFocus::Database};
    if (params.SqlLogin && (params.User.trimmed().isEmpty() || params.Password.trimmed().isEmpty()))
        return {QStringLiteral("You have so specify Username and Password for ") + label +
                    QStringLiteral(" if you do not use Windows-Autentication!"),
                params.User.trimmed().isEmpty() ? ParamsFocus::User : ParamsFocus::Password};
    return {};
}

QString ErrorLines(long number, const QString& description) {
    return QStringLiteral("Error Number: ") + QString::number(number) + CRLF + QStringLiteral("Description: ") +
           description;
}

QString DataLossAttentionText() {
    return QStringLiteral(
               "ATTENTION: Some of the generated Scripts will delete Tables and/or Fields - any contained data would "
               "be lost!") +
           CRLF + CRLF +
           QStringLiteral("If the Delete-Scripts have been caused by Table- and/or Field-Renames you can avoid data-loss") +
           CRLF + QStringLiteral("by specifying these Renames in the following dialog.");
}

std::shared_ptr<Tovimar_Database> OpenDatabaseSource(const ConnectionParams& params, Progress& progress,
                                                     Prompt& prompt) {
    auto db = std::make_shared<Tovimar_Database>();
    const QString user = params.SqlLogin ? params.User : QString();
    const QString password = params.SqlLogin ? params.Password : QString();
    try {
        switch (ServerBoxKindOf(params.Server)) {
            case ServerBoxKind::Server: {
                QString failure;
                if (!LoadDatabase(*db, params.Server, params.Database, user, password, &failure)) {
                    prompt.Tell(failure, PromptIcon::Critical);
                    return nullptr;
                }
                break;
            }
            case ServerBoxKind::Script: {
                QString database = params.Database.trimmed();
                auto connection = ConnectScriptDatabase(ScriptPaths(params.Server.trimmed()), database, progress);
                if (!connection) return nullptr;
                LoadDatabase(*db, connection);
                break;
            }
            case ServerBoxKind::Snapshot: {
                auto connection = ConnectSnapshot(params.Server.trimmed(), params.Database, progress);
                if (!connection) return nullptr;
                LoadDatabase(*db, connection);
                break;
            }
        }
    } catch (const TovimarException& e) {
        prompt.Tell(ConnectionFailureMessage(params.Server, params.Database, e.Number, e.Description),
                    PromptIcon::Critical);
        return nullptr;
    }
    // The name the user gave heads captions and file names; a file source is named by its file
    // name alone, so that no folder enters the names of files written for it.
    const QString server = params.Server.trimmed();
    db->Server = ServerBoxKindOf(server) == ServerBoxKind::Server ? server : QFileInfo(server).fileName();
    db->Name = params.Database.trimmed();
    db->UseCache = false;
    db->CreateCache = false;
    return db;
}

RunResult LoadAndGenerate(Tovimar_Database& db1, Tovimar_Database& db2, FilterSets& filters, const RunOptions& options,
                          Progress& progress, Prompt& prompt) {
    RunResult result;
    db1.Filter = &filters;
    db2.Filter = &filters;
    CleanupGuard dropFilters([&db1, &db2] {
        db1.Filter = nullptr;
        db2.Filter = nullptr;
    });
    try {
        for (Tovimar_Database* db : {&db1, &db2}) {
            if (db == &db2 && options.ExportOnly) break;
            if (!LoadDBObjects(*db, progress, false)) {
                prompt.Tell(OperationAbortedText, PromptIcon::Information);
                return result;
            }
        }
        LinkDatabases(db1, db2);
        GenerationContext ctx;
        ctx.DB1 = &db1;
        ctx.DB2 = &db2;
        ctx.IgnoreDataLoss = options.IgnoreDataLoss;
        ConnectionSourceData sourceData(db1.Connection);
        if (db1.Connection) ctx.SourceData = &sourceData;
        result.Scripts = GenerateAllScripts(ctx, &progress, false);
        progress.Close();
    } catch (const TovimarException& e) {
        progress.Close();
        prompt.Tell(ErrorLines(e.Number, e.Description), PromptIcon::Critical);
        result.Scripts.clear();
        return result;
    }
    result.DeletesPresent = HasTableOrFieldDeletes(result.Scripts);
    if (!HasDifferences(result.Scripts)) {
        if (options.ExportOnly && result.Scripts.empty())
            prompt.Tell(EmptyExportText, PromptIcon::None);
        else if (!options.ExportOnly)
            prompt.Tell(NoDifferencesText, PromptIcon::Information);
        if (!options.ExportOnly || result.Scripts.empty()) {
            result.Scripts.clear();
            return result;
        }
    }
    if (options.ExportOnly) {
        result.Next = RunNext::Export;
    } else if (!result.DeletesPresent && !options.ShowRenameDialog) {
        result.Next = RunNext::ScriptWindow;
    } else {
        if (result.DeletesPresent) prompt.Tell(DataLossAttentionText(), PromptIcon::Information);
        result.Next = RunNext::RenameDialog;
    }
    return result;
}
