#include "main/sim_database.h"

#include "main/comparison_run.h"
#include "platform/db/sim_connection.h"
#include "platform/local_text.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "review/script_executor.h"
#include "schema/catalog_loader.h"
#include "schema/sql_text.h"
#include "sqlsim/server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

namespace {

const QString Source = QStringLiteral("SimDatabase");

bool IsSystemDatabase(const QString& name) {
    for (const char* system : {"master", "model", "msdb", "tempdb"})
        if (name.compare(QLatin1String(system), Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString ReadScriptFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw TovimarException(53, Source, QStringLiteral("File not found: %1").arg(QDir::toNativeSeparators(path)));
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        throw TovimarException(75, Source, QStringLiteral("Cannot open %1").arg(QDir::toNativeSeparators(path)));
    return DecodeScript(file.readAll());
}

// The first error of a batch result (a message above severity 10), if any.
const sqlsim::Message* FirstError(const sqlsim::BatchResult& result) {
    for (const sqlsim::Message& message : result.messages)
        if (message.severity > 10) return &message;
    return nullptr;
}

std::unique_ptr<sqlsim::Session> MasterSession(sqlsim::Server& server) {
    auto session = server.Connect(QStringLiteral("master"));
    if (!session) throw TovimarException(4060, Source, QStringLiteral("The simulated server has no master database"));
    return session;
}

// Creates the database and switches the session to it.
void CreateDatabase(sqlsim::Session& session, const QString& name) {
    const QString quoted = QuoteName(name);
    const sqlsim::BatchResult created =
        session.Execute(QStringLiteral("CREATE DATABASE ") + quoted + QStringLiteral("\nUSE ") + quoted);
    if (const sqlsim::Message* error = FirstError(created))
        throw TovimarException(error->number, Source, error->text);
}

// The users that own the model's objects or hold its permissions, each once: a model keeps the
// database's roles but not its users, and no create script makes them. The server's own users and
// the model's roles are left out.
QStringList UsersOf(const Tovimar_Database& model) {
    QSet<QString> known{QStringLiteral("dbo"), QStringLiteral("public"), QStringLiteral("guest")};
    for (const RolePtr& role : model.Roles)
        if (role) known.insert(role->Name.toCaseFolded());
    QStringList users;
    auto add = [&](const QString& name) {
        if (name.isEmpty() || known.contains(name.toCaseFolded())) return;
        known.insert(name.toCaseFolded());
        users << name;
    };
    auto owners = [&](const auto& objects) {
        for (const auto& object : objects)
            if (object) add(object->Owner);
    };
    owners(model.Tables);
    owners(model.Views);
    owners(model.Procedures);
    owners(model.Functions);
    owners(model.Types);
    for (const PermissionPtr& permission : model.Permissions) {
        if (!permission) continue;
        add(permission->Grantee);
        add(permission->Grantor);
    }
    return users;
}

std::unique_ptr<Tovimar_Database> LoadSimulated(std::shared_ptr<DbConnection> connection, Progress& progress) {
    auto db = std::make_unique<Tovimar_Database>();
    LoadDatabase(*db, std::move(connection));
    if (!LoadDBObjects(*db, progress, false)) return nullptr;
    return db;
}

}  // namespace

QString DecodeScript(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xEF\xBB\xBF")) {
        auto encoding = QStringConverter::encodingForData(bytes);
        QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
        return decoder(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    return DecodeLocalText(bytes);
}

QString LastUsedDatabase(const QString& script) {
    static const QRegularExpression use(
        QStringLiteral("^[ \\t]*use[ \\t]+(\\[(?:[^\\]]|\\]\\])+\\]|\"[^\"]+\"|[^\\s;]+)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    QString last;
    for (auto it = use.globalMatch(script); it.hasNext();) {
        QString name = it.next().captured(1);
        if (name.startsWith(QLatin1Char('[')))
            name = name.mid(1, name.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
        else if (name.startsWith(QLatin1Char('"')))
            name = name.mid(1, name.size() - 2);
        if (!IsSystemDatabase(name)) last = name;
    }
    return last;
}

std::shared_ptr<DbConnection> ConnectScriptDatabase(const QStringList& paths, QString& database, Progress& progress) {
    if (paths.isEmpty()) throw TovimarException(5, Source, QStringLiteral("No script file given"));
    QStringList scripts;
    QString used;
    for (const QString& path : paths) {
        scripts << ReadScriptFile(path);
        const QString last = LastUsedDatabase(scripts.last());
        if (!last.isEmpty()) used = last;
    }
    if (database.isEmpty()) database = used.isEmpty() ? QFileInfo(paths.first()).completeBaseName() : used;

    auto server = std::make_shared<sqlsim::Server>();
    {
        auto session = MasterSession(*server);
        // Scripts that never switch databases build their objects in one of their own.
        if (used.isEmpty()) CreateDatabase(*session, database);
        for (qsizetype i = 0; i < paths.size(); ++i) {
            progress.ShowMessage(QStringLiteral("RUNNING ") + QDir::toNativeSeparators(paths[i]));
            const sqlsim::BatchResult result = session->ExecuteScript(scripts[i]);
            if (result.cancelled || progress.Cancelled()) return nullptr;
            if (const sqlsim::Message* error = FirstError(result))
                throw TovimarException(error->number, Source,
                                       QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(paths[i]), error->text));
        }
    }
    return std::make_shared<SimConnection>(server, database, QStringLiteral("sqlsim"));
}

std::unique_ptr<Tovimar_Database> LoadScriptDatabase(const QStringList& paths, QString database, Progress& progress) {
    auto connection = ConnectScriptDatabase(paths, database, progress);
    if (!connection) return nullptr;
    return LoadSimulated(std::move(connection), progress);
}

std::shared_ptr<DbConnection> BuildSimulatedConnection(Tovimar_Database& model, const QString& logFile,
                                                      ErrorCollection& errors, Progress& progress) {
    errors.clear();
    const QString name = model.Name.isEmpty() ? QStringLiteral("Destination") : model.Name;
    auto server = std::make_shared<sqlsim::Server>();
    {
        auto session = MasterSession(*server);
        CreateDatabase(*session, name);
        // The file groups are part of the database, not of its objects: made here so that the
        // objects can be placed on them.
        for (const Tovimar_FileGroup& group : model.FileGroups) {
            if (group.Name.isEmpty() || group.Name.compare(QLatin1String("PRIMARY"), Qt::CaseInsensitive) == 0) continue;
            const sqlsim::BatchResult added = session->Execute(QStringLiteral("ALTER DATABASE ") + QuoteName(name) +
                                                               QStringLiteral(" ADD FILEGROUP ") + QuoteName(group.Name));
            if (const sqlsim::Message* error = FirstError(added))
                throw TovimarException(error->number, Source, error->text);
        }
        QString addUsers;
        for (const QString& user : UsersOf(model)) {
            const QString name = QuoteUnicodeString(user);
            addUsers += QStringLiteral("IF NOT EXISTS (SELECT * FROM sysusers WHERE name = %1) EXEC sp_adduser %1\n").arg(name);
        }
        if (!addUsers.isEmpty()) {
            const sqlsim::BatchResult added = session->Execute(addUsers);
            if (const sqlsim::Message* error = FirstError(added))
                throw TovimarException(error->number, Source, error->text);
        }
        // A database kept at the level of SQL Server 7.0 reads its definitions as that version does.
        if (model.CmptLevel > 0 && model.CmptLevel < 80) {
            const sqlsim::BatchResult level = session->Execute(
                QStringLiteral("EXEC sp_dbcmptlevel %1, %2").arg(QuoteUnicodeString(name)).arg(model.CmptLevel));
            if (const sqlsim::Message* error = FirstError(level))
                throw TovimarException(error->number, Source, error->text);
        }
    }

    Tovimar_Database target;  // the database being built, as the executor sees it
    {
        // The create scripts of an empty database are tens of thousands of short batches that
        // touch no rows: each runs on this thread instead of being handed to the worker and back.
        auto connection = std::make_shared<SimConnection>(server, name, QStringLiteral("sqlsim"));
        connection->SetRunsOnCaller(true);
        LoadDatabase(target, std::move(connection));
    }
    target.SrvVer = model.SrvVer;
    ComparisonOptions everything;
    everything.CompareCollationsAndFileGroups = true;
    everything.IntoEmptyDatabase = true;
    const ScriptList scripts = GenerateComparison(model, target, everything, progress);
    if (progress.Cancelled()) return nullptr;

    ScriptExecutor executor(progress);
    executor.ResultFile = logFile;
    executor.Scripts = scripts;
    executor.DB = &target;
    executor.RunScripts();
    progress.Close();
    errors = std::move(executor.ErrCollection);
    if (executor.WasCancelled()) return nullptr;
    return std::make_shared<SimConnection>(server, name, QStringLiteral("sqlsim"));
}

std::unique_ptr<Tovimar_Database> BuildSimulatedDatabase(Tovimar_Database& model, const QString& logFile,
                                                         ErrorCollection& errors, Progress& progress) {
    auto connection = BuildSimulatedConnection(model, logFile, errors, progress);
    if (!connection) return nullptr;
    return LoadSimulated(std::move(connection), progress);
}
