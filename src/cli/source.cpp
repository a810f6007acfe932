#include "cli/source.h"

#include "cli/cli_command.h"
#include "cli/cli_prompt.h"
#include "main/sim_database.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "platform/db/db_connection.h"
#include "platform/db/sim_connection.h"
#include "schema/catalog_loader.h"
#include "schema/snapshot_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <exception>
#include <thread>

namespace {

const QString Source = QStringLiteral("tovimar-cli");

bool useSchemaCache = false;
bool createSchemaCache = false;

// Reads the schema over the connection, through the schema cache when asked to.
std::unique_ptr<Tovimar_Database> LoadConnected(std::unique_ptr<Tovimar_Database> db, Progress& progress) {
    db->UseCache = useSchemaCache;
    db->CreateCache = createSchemaCache;
    if (!LoadDBObjects(*db, progress, false)) throw OperationAborted();
    return db;
}

bool IsSnapshotName(const QString& source) {
    return source.endsWith(QStringLiteral(".schema"), Qt::CaseInsensitive);
}

// A snapshot always begins with its Database record; anything else is some other file given by
// mistake, which would otherwise read as an empty schema.
void CheckSnapshotHeader(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;  // reported by the reader
    QByteArray start = file.read(16);
    if (start.startsWith("\xEF\xBB\xBF")) start.remove(0, 3);
    if (!start.toLower().startsWith(";database;"))
        throw TovimarException(
            13, Source,
            QStringLiteral("%1 is not a snapshot: it does not begin with a Database record").arg(QDir::toNativeSeparators(path)));
}

std::unique_ptr<Tovimar_Database> LoadSnapshot(const QString& path, Progress& progress) {
    const QFileInfo info(path);
    if (!info.exists())
        throw TovimarException(53, Source, QStringLiteral("File not found: %1").arg(QDir::toNativeSeparators(path)));
    if (!info.isFile())
        throw TovimarException(75, Source, QStringLiteral("%1 is not a file").arg(QDir::toNativeSeparators(path)));
    CheckSnapshotHeader(path);
    auto db = std::make_unique<Tovimar_Database>();
    if (!LoadSchemaFile(path, *db, false, &progress)) {
        if (progress.Cancelled()) throw OperationAborted();
        throw TovimarException(75, Source, QStringLiteral("Cannot open %1").arg(QDir::toNativeSeparators(path)));
    }
    return db;
}

// ---- FILE.sql[+FILE.sql...][#DATABASE] -----------------------------------------------------

// "FILE.sql", "FILE.sql#DATABASE" or "FILE1.sql+FILE2.sql[#DATABASE]": the files and the
// database (empty when not given). A name that holds ".sql+" itself is taken whole when such a
// file exists.
bool SplitScriptSource(const QString& source, QStringList& paths, QString& database) {
    static const QRegularExpression form(QStringLiteral("^(.*\\.sql)(?:#(.*))?$"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression plus(QStringLiteral("(?<=\\.sql)\\+"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(source);
    if (!match.hasMatch()) return false;
    const QString files = match.captured(1);
    database = match.captured(2);
    paths = QFileInfo::exists(files) ? QStringList{files} : files.split(plus);
    return true;
}

std::unique_ptr<Tovimar_Database> LoadScripts(const QStringList& paths, QString database, Progress& progress) {
    auto connection = ConnectScriptDatabase(paths, database, progress);
    if (!connection) throw OperationAborted();
    auto db = std::make_unique<Tovimar_Database>();
    LoadDatabase(*db, connection);
    return LoadConnected(std::move(db), progress);
}

// ---- sqlserver://[USER[:PASSWORD]@]HOST[\\INSTANCE][:PORT]/DATABASE ------------------------------

struct ServerAddress {
    QString User;
    QString Password;
    bool HasPassword = false;  // "USER:PASSWORD@" (an empty one included), not just "USER@"
    QString Server;  // HOST, HOST\INSTANCE or HOST,PORT as the driver takes it
    QString Database;
};

QString PercentDecoded(const QString& text) { return QUrl::fromPercentEncoding(text.toUtf8()); }

ServerAddress ParseServerAddress(const QString& source) {
    const QString scheme = QStringLiteral("sqlserver://");
    QString rest = source.mid(scheme.size());
    ServerAddress address;
    const qsizetype at = rest.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = rest.left(at);
        rest = rest.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
        address.User = PercentDecoded(colon < 0 ? userInfo : userInfo.left(colon));
        address.HasPassword = colon >= 0;
        if (colon >= 0) address.Password = PercentDecoded(userInfo.mid(colon + 1));
        if (address.User.isEmpty())
            throw CliUsageError(QStringLiteral("the user name before \"@\" is empty (leave out USER@ for integrated login)"));
    }
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) throw CliUsageError(QStringLiteral("sqlserver:// needs /DATABASE after the host"));
    QString host = rest.left(slash);
    address.Database = PercentDecoded(rest.mid(slash + 1));
    // Blank names are refused here, before any connection is tried (a driver would try the
    // local server or the login's default database instead).
    if (address.Database.trimmed().isEmpty()) throw CliUsageError(QStringLiteral("sqlserver:// needs a database name"));
    QString port;
    const qsizetype portColon = host.lastIndexOf(QLatin1Char(':'));
    if (portColon >= 0) {
        port = host.mid(portColon + 1);
        host = host.left(portColon);
        bool ok = false;
        const int number = port.toInt(&ok);
        if (!ok || number <= 0 || number > 65535) throw CliUsageError(QStringLiteral("the port must be a number from 1 to 65535"));
    }
    host = PercentDecoded(host);
    if (host.trimmed().isEmpty() || host.trimmed().startsWith(QLatin1Char('\\')))
        throw CliUsageError(QStringLiteral("sqlserver:// needs a host name"));
    if (!port.isEmpty()) {
        // A port names the instance already: the driver connects to HOST,PORT.
        const qsizetype backslash = host.indexOf(QLatin1Char('\\'));
        address.Server = (backslash < 0 ? host : host.left(backslash)) + QLatin1Char(',') + port;
    } else {
        address.Server = host;
    }
    return address;
}

// The password of an address that names a user but no password: from the side's environment
// variable, else typed on the terminal without echo.
void FillPassword(ServerAddress& address, SourceSide side, Progress& progress) {
    if (address.User.isEmpty() || address.HasPassword) return;
    const char* variable = PasswordVariable(side);
    if (qEnvironmentVariableIsSet(variable)) {
        address.Password = qEnvironmentVariable(variable);
        return;
    }
    progress.Close();
    QString typed;
    if (CliPrompt::ReadSecret(QStringLiteral("Password for %1 on %2 (%3): ")
                                  .arg(address.User, address.Server,
                                       side == SourceSide::Source ? QStringLiteral("SOURCE") : QStringLiteral("DEST")),
                              typed))
        address.Password = typed;
}

std::unique_ptr<Tovimar_Database> LoadServer(const QString& source, Progress& progress, SourceSide side) {
    ServerAddress address = ParseServerAddress(source);
    FillPassword(address, side, progress);
    auto db = std::make_unique<Tovimar_Database>();
    progress.ShowMessage(QStringLiteral("CONNECTING ") + address.Server + QLatin1Char('\\') + address.Database);
    std::shared_ptr<DbConnection> connection;
    try {
        connection = OpenConnection(address.Server, address.Database, address.User, address.Password);
    } catch (const TovimarException& e) {
        // Server and database are named, never the password.
        throw TovimarException(e.Number, e.Source,
                               QStringLiteral("Error connection to Database %1\\%2: %3")
                                   .arg(address.Server, address.Database, e.Description));
    }
    LoadDatabase(*db, connection);
    db->Server = address.Server;
    db->Name = address.Database;
    return LoadConnected(std::move(db), progress);
}

}  // namespace

const char* PasswordVariable(SourceSide side) {
    return side == SourceSide::Source ? "TOVIMAR_SOURCE_PASSWORD" : "TOVIMAR_DEST_PASSWORD";
}

QString MaskedSource(const QString& source) {
    // A scheme (also a mistyped one: "sqlserver:/", "sqlserver//", "sqlsrv://") or none, a user
    // without ":" or "/", then everything up to the last "@" is the password. Without a scheme a
    // "//" after the colon is the rest of one ("sqlserver://user@host" has no password).
    static const QRegularExpression address(
        QStringLiteral("^(\\s*[A-Za-z][A-Za-z0-9+.\\-]*:?/+[^:/@]*:|\\s*[^:/@]*:(?!/))(.*)(@[^@]*)$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = address.match(source);
    if (!match.hasMatch() || match.captured(2).isEmpty()) return source;
    return match.captured(1) + QStringLiteral("***") + match.captured(3);
}

QString SourceFormsHelp() {
    return QStringLiteral(
        "  FILE.schema      a snapshot file written by the snapshot command\n"
        "  FILE.sql[#DB]    a T-SQL script, run on a fresh simulated server; the database is DB, else\n"
        "                   the last one the script USEs, else one named after the file\n"
        "  FILE1.sql+FILE2.sql[+...][#DB]\n"
        "                   several scripts run one after the other on the same simulated server, as\n"
        "                   if they were one (e.g. a database script and a script of changes to it)\n"
        "  sqlserver://[USER[:PASSWORD]@]HOST[\\INSTANCE][:PORT]/DATABASE\n"
        "                   a live SQL Server over ODBC (no USER: integrated login; %XX escapes\n"
        "                   allowed in USER and PASSWORD). Without :PASSWORD the password comes from\n"
        "                   TOVIMAR_SOURCE_PASSWORD (the first SOURCE) or TOVIMAR_DEST_PASSWORD (DEST),\n"
        "                   else it is asked for without echo when stdin is a terminal; a password on\n"
        "                   the command line is seen by other users in the process list\n");
}

void SetSchemaCacheUse(bool useCache) { useSchemaCache = useCache; }
void SetSchemaCacheCreate(bool createCache) { createSchemaCache = createCache; }

SourceKind SourceKindOf(const QString& source) {
    if (IsSnapshotName(source)) return SourceKind::Snapshot;
    if (source.startsWith(QStringLiteral("sqlserver://"), Qt::CaseInsensitive)) return SourceKind::Server;
    QStringList paths;
    QString database;
    if (SplitScriptSource(source, paths, database)) return SourceKind::Script;
    return SourceKind::Unknown;
}

std::unique_ptr<Tovimar_Database> LoadSource(const QString& source, Progress& progress, SourceSide side) {
    if (source.isEmpty()) throw CliUsageError(QStringLiteral("SOURCE is empty"));
    if (IsSnapshotName(source)) return LoadSnapshot(source, progress);
    if (source.startsWith(QStringLiteral("sqlserver://"), Qt::CaseInsensitive)) return LoadServer(source, progress, side);
    QStringList paths;
    QString database;
    if (SplitScriptSource(source, paths, database)) return LoadScripts(paths, database, progress);
    throw CliUsageError(
        QStringLiteral("%1 is not a SOURCE this program knows; expected:\n%2").arg(MaskedSource(source), SourceFormsHelp()));
}

Tovimar_Database& ModelsUntilExit::Keep(std::unique_ptr<Tovimar_Database> db) {
    models_.push_back(std::move(db));
    return *models_.back();
}

ModelsUntilExit::~ModelsUntilExit() {
    // Never freed: global pointers keep the models reachable until the process ends, and the
    // simulated servers some of them were read from (memory too, like the models: their
    // sessions and worker threads end with the connection).
    static auto* const kept = new std::vector<std::unique_ptr<Tovimar_Database>>;
    static auto* const servers = new std::vector<std::shared_ptr<sqlsim::Server>>;
    for (std::unique_ptr<Tovimar_Database>& db : models_) {
        try {
            if (const auto* simulated = dynamic_cast<const SimConnection*>(db->Connection.get()))
                servers->push_back(simulated->SharedServer());
            db->Connection.reset();
            kept->push_back(std::move(db));
        } catch (const std::bad_alloc&) {
            db->Connection.reset();
            db.reset();  // freed after all
        }
    }
}

namespace {

// The progress of a load on a second thread: it shows nothing (one line on the terminal belongs
// to the main thread) but stops when the user cancels the main progress.
class QuietProgress : public Progress {
public:
    explicit QuietProgress(const Progress& main) : main_(main) {}
    void ShowCaption(const QString&) override {}
    bool ShowMessage(const QString&) override { return Cancelled(); }
    bool Cancelled() const override { return main_.Cancelled(); }

private:
    const Progress& main_;
};

}  // namespace

std::pair<std::unique_ptr<Tovimar_Database>, std::unique_ptr<Tovimar_Database>> LoadSourcePair(
    const QString& source, const QString& dest, Progress& progress, SourceSide aside) {
    if (source.isEmpty() || dest.isEmpty() || !IsSnapshotName(source) || !IsSnapshotName(dest)) {
        auto first = LoadSource(source, progress);
        return {std::move(first), LoadSource(dest, progress, SourceSide::Destination)};
    }
    // Two snapshots share nothing: one is read on a second thread meanwhile.
    const bool sourceAside = aside == SourceSide::Source;
    std::unique_ptr<Tovimar_Database> asideDb;
    std::exception_ptr asideError;
    QuietProgress quiet(progress);
    std::thread worker([&] {
        try {
            asideDb = LoadSnapshot(sourceAside ? source : dest, quiet);
        } catch (...) {
            asideError = std::current_exception();
        }
    });
    std::unique_ptr<Tovimar_Database> mainDb;
    try {
        mainDb = LoadSnapshot(sourceAside ? dest : source, progress);
    } catch (...) {
        worker.join();
        // The Source's error is the one reported, as when the two are read in turn.
        if (sourceAside && asideError) std::rethrow_exception(asideError);
        throw;
    }
    worker.join();
    if (asideError) std::rethrow_exception(asideError);
    if (sourceAside) return {std::move(asideDb), std::move(mainDb)};
    return {std::move(mainDb), std::move(asideDb)};
}
