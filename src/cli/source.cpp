#include "cli/source.h"

#include "cli/cli_command.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "platform/db/db_connection.h"
#include "platform/db/sim_connection.h"
#include "platform/local_text.h"
#include "schema/catalog_loader.h"
#include "schema/snapshot_file.h"
#include "sqlsim/server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

namespace {

const QString Source = QStringLiteral("tovimar-cli");

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

// ---- FILE.sql[#DATABASE] --------------------------------------------------------------------

// "FILE.sql" or "FILE.sql#DATABASE": the path and the database (empty when not given).
bool SplitScriptSource(const QString& source, QString& path, QString& database) {
    static const QRegularExpression form(QStringLiteral("^(.*\\.sql)(?:#(.*))?$"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = form.match(source);
    if (!match.hasMatch()) return false;
    path = match.captured(1);
    database = match.captured(2);
    return true;
}

// Script files come as UTF-16 or UTF-8 (with or without a byte order mark) or in an 8-bit
// code page; the last is read in the locale's encoding.
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

bool IsSystemDatabase(const QString& name) {
    for (const char* system : {"master", "model", "msdb", "tempdb"})
        if (name.compare(QLatin1String(system), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// The last user database the script switches to with USE (comments and string literals are
// not looked into: a USE inside them is rare enough, and a wrong guess fails to connect).
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

// Runs the script on a fresh simulated server and loads the database it built.
std::unique_ptr<Tovimar_Database> LoadScript(const QString& path, QString database, Progress& progress) {
    const QFileInfo info(path);
    if (!info.exists())
        throw TovimarException(53, Source, QStringLiteral("File not found: %1").arg(QDir::toNativeSeparators(path)));
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        throw TovimarException(75, Source, QStringLiteral("Cannot open %1").arg(QDir::toNativeSeparators(path)));
    const QString script = DecodeScript(file.readAll());
    file.close();

    const QString used = LastUsedDatabase(script);
    if (database.isEmpty()) database = used.isEmpty() ? info.completeBaseName() : used;

    auto server = std::make_shared<sqlsim::Server>();
    {
        auto session = server->Connect(QStringLiteral("master"));
        if (!session) throw TovimarException(4060, Source, QStringLiteral("The simulated server has no master database"));
        if (used.isEmpty()) {
            // A script that never switches databases builds its objects in one named after it.
            const QString quoted = QLatin1Char('[') + QString(database).replace(QStringLiteral("]"), QStringLiteral("]]")) +
                                   QLatin1Char(']');
            const sqlsim::BatchResult created =
                session->Execute(QStringLiteral("CREATE DATABASE ") + quoted + QStringLiteral("\nUSE ") + quoted);
            for (const sqlsim::Message& message : created.messages)
                if (message.severity > 10) throw TovimarException(message.number, Source, message.text);
        }
        progress.ShowMessage(QStringLiteral("RUNNING ") + QDir::toNativeSeparators(path));
        const sqlsim::BatchResult result = session->ExecuteScript(script);
        if (result.cancelled) throw OperationAborted();
        for (const sqlsim::Message& message : result.messages)
            if (message.severity > 10)
                throw TovimarException(message.number, Source,
                                       QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), message.text));
    }

    auto db = std::make_unique<Tovimar_Database>();
    LoadDatabase(*db, std::make_shared<SimConnection>(server, database, QStringLiteral("sqlsim")));
    if (!LoadDBObjects(*db, progress, false)) throw OperationAborted();
    return db;
}

// ---- sqlserver://[USER[:PASSWORD]@]HOST[\\INSTANCE][:PORT]/DATABASE ------------------------------

struct ServerAddress {
    QString User;
    QString Password;
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
        if (colon >= 0) address.Password = PercentDecoded(userInfo.mid(colon + 1));
        if (address.User.isEmpty())
            throw CliUsageError(QStringLiteral("the user name before \"@\" is empty (leave out USER@ for integrated login)"));
    }
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) throw CliUsageError(QStringLiteral("sqlserver:// needs /DATABASE after the host"));
    QString host = rest.left(slash);
    address.Database = PercentDecoded(rest.mid(slash + 1));
    if (address.Database.isEmpty()) throw CliUsageError(QStringLiteral("sqlserver:// needs a database name"));
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
    if (host.isEmpty() || host.startsWith(QLatin1Char('\\'))) throw CliUsageError(QStringLiteral("sqlserver:// needs a host name"));
    if (!port.isEmpty()) {
        // A port names the instance already: the driver connects to HOST,PORT.
        const qsizetype backslash = host.indexOf(QLatin1Char('\\'));
        address.Server = (backslash < 0 ? host : host.left(backslash)) + QLatin1Char(',') + port;
    } else {
        address.Server = host;
    }
    return address;
}

std::unique_ptr<Tovimar_Database> LoadServer(const QString& source, Progress& progress) {
    const ServerAddress address = ParseServerAddress(source);
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
    if (!LoadDBObjects(*db, progress, false)) throw OperationAborted();
    return db;
}

}  // namespace

QString SourceFormsHelp() {
    return QStringLiteral(
        "  FILE.schema      a snapshot file written by the snapshot command\n"
        "  FILE.sql[#DB]    a T-SQL script, run on a fresh simulated server; the database is DB, else\n"
        "                   the last one the script USEs, else one named after the file\n"
        "  sqlserver://[USER[:PASSWORD]@]HOST[\\INSTANCE][:PORT]/DATABASE\n"
        "                   a live SQL Server over ODBC (no USER: integrated login; %XX escapes\n"
        "                   allowed in USER and PASSWORD)\n");
}

std::unique_ptr<Tovimar_Database> LoadSource(const QString& source, Progress& progress) {
    if (source.isEmpty()) throw CliUsageError(QStringLiteral("SOURCE is empty"));
    if (IsSnapshotName(source)) return LoadSnapshot(source, progress);
    if (source.startsWith(QStringLiteral("sqlserver://"), Qt::CaseInsensitive)) return LoadServer(source, progress);
    QString path, database;
    if (SplitScriptSource(source, path, database)) return LoadScript(path, database, progress);
    throw CliUsageError(QStringLiteral("%1 is not a SOURCE this program knows; expected:\n%2").arg(source, SourceFormsHelp()));
}
