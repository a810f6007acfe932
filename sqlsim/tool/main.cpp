// tovimar-sim: loads T-SQL scripts into a simulated SQL Server 2000 and runs a query batch,
// or serves the loaded server to TDS clients.
//   tovimar-sim [--load FILE.sql]... [--database NAME] (-q SQL | -f FILE.sql)
//   tovimar-sim --listen HOST:PORT [--login USER:PASSWORD]... [--load FILE.sql]...
// Result sets go to stdout as TSV, messages to stderr; the exit code is 1 when any error of
// severity 11 or more occurred. With --listen the first line on stdout is "Listening on
// HOST:PORT" (the actual port when 0 was asked for) once clients can connect; the server runs
// until it is killed.
#include "sqlsim/server.h"
#include "sqlsim/tds_listener.h"

#include <QFile>
#include <QStringDecoder>
#include <QTextStream>
#include <cstdio>

namespace {

QString ReadScript(const QString& path, bool& ok) {
    QFile f(path);
    ok = f.open(QIODevice::ReadOnly);
    if (!ok) return QString();
    QByteArray data = f.readAll();
    if (data.startsWith("\xFF\xFE")) {
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData() + 2), (data.size() - 2) / 2);
    }
    if (data.startsWith("\xEF\xBB\xBF")) data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(data);
    if (utf8.hasError()) text = QString::fromLatin1(data);
    return text;
}

QString FormatValue(const sqlsim::Value& v) {
    using K = sqlsim::Value::Kind;
    if (v.IsNull()) return QStringLiteral("NULL");
    switch (v.GetKind()) {
    case K::Binary: return QStringLiteral("0x") + QString::fromLatin1(v.AsBinary().toHex().toUpper());
    case K::Decimal: {
        // Money shows its four decimals; other decimals their scale.
        long long scaled = v.DecimalScaled();
        int scale = v.DecimalScale();
        bool neg = scaled < 0;
        QString digits = QString::number(neg ? -scaled : scaled);
        if (scale > 0) {
            while (digits.size() <= scale) digits.prepend(u'0');
            digits.insert(digits.size() - scale, u'.');
        }
        return neg ? QStringLiteral("-") + digits : digits;
    }
    case K::DateTime: return v.AsDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    case K::Float: return QString::number(v.AsDouble(), 'g', 15);
    default: {
        QString s = v.AsString();
        s.replace(u'\t', QStringLiteral("\\t")).replace(u'\n', QStringLiteral("\\n")).replace(u'\r', QStringLiteral("\\r"));
        return s;
    }
    }
}

void Usage() {
    std::fputs("usage: tovimar-sim [--load FILE.sql]... [--database NAME] (-q SQL | -f FILE.sql)\n"
               "       tovimar-sim --listen HOST:PORT [--login USER:PASSWORD]... [--load FILE.sql]...\n", stderr);
}

}  // namespace

int main(int argc, char** argv) {
    QStringList loads;
    QString database = QStringLiteral("master");
    QString query;
    bool haveQuery = false;
    QString listen;
    QStringList logins;
    for (int i = 1; i < argc; ++i) {
        QString a = QString::fromLocal8Bit(argv[i]);
        auto next = [&]() -> QString {
            if (i + 1 >= argc) { Usage(); std::exit(2); }
            return QString::fromLocal8Bit(argv[++i]);
        };
        if (a == "--load") loads << next();
        else if (a == "--listen") listen = next();
        else if (a == "--login") logins << next();
        else if (a == "--database") database = next();
        else if (a == "-q") { query = next(); haveQuery = true; }
        else if (a == "-f") {
            bool ok = false;
            QString path = next();
            query = ReadScript(path, ok);
            if (!ok) { std::fprintf(stderr, "tovimar-sim: cannot read %s\n", qPrintable(path)); return 2; }
            haveQuery = true;
        } else if (a == "-h" || a == "--help") { Usage(); return 0; }
        else { Usage(); return 2; }
    }
    if (!haveQuery && listen.isEmpty()) { Usage(); return 2; }

    QTextStream out(stdout);
    QTextStream err(stderr);
    bool failed = false;
    auto report = [&](const sqlsim::BatchResult& r) {
        for (const sqlsim::Message& m : r.messages) {
            if (m.number == 0 && m.severity == 0) err << m.text << "\n";
            else err << "Msg " << m.number << ", Level " << m.severity << ", State " << m.state << ": " << m.text << "\n";
            if (m.severity >= 11) failed = true;
        }
    };
    sqlsim::Server server;
    auto loader = server.Connect();
    for (const QString& path : loads) {
        bool ok = false;
        QString text = ReadScript(path, ok);
        if (!ok) { err << "tovimar-sim: cannot read " << path << "\n"; return 2; }
        report(loader->ExecuteScript(text));
    }
    if (!listen.isEmpty()) {
        for (const QString& login : logins) {
            const qsizetype colon = login.indexOf(u':');
            if (colon <= 0) { err << "tovimar-sim: --login takes USER:PASSWORD\n"; return 2; }
            server.AddLogin(login.left(colon), login.mid(colon + 1));
        }
        const qsizetype colon = listen.lastIndexOf(u':');
        bool portOk = false;
        const uint port = colon > 0 ? listen.mid(colon + 1).toUInt(&portOk) : 0;
        if (!portOk || port > 65535) { err << "tovimar-sim: --listen takes HOST:PORT\n"; return 2; }
        QString host = listen.left(colon);
        if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
        sqlsim::TdsListener listener(server);
        QString error;
        if (!listener.Listen(host, static_cast<quint16>(port), &error)) { err << "tovimar-sim: " << error << "\n"; return 2; }
        err.flush();
        out << "Listening on " << listener.Address() << "\n";
        out.flush();
        listener.Serve();
        return 0;
    }
    auto session = server.Connect(database);
    if (!session) {
        err << "Msg 4060, Level 11, State 1: Cannot open database requested in login '" << database << "'. Login fails.\n";
        return 1;
    }
    sqlsim::BatchResult r = session->ExecuteScript(query);
    for (const sqlsim::ResultSet& rs : r.resultSets) {
        QStringList header;
        for (const auto& c : rs.columns) header << c.name;
        out << header.join(u'\t') << "\n";
        for (const auto& row : rs.rows) {
            QStringList cells;
            for (const auto& v : row) cells << FormatValue(v);
            out << cells.join(u'\t') << "\n";
        }
    }
    out.flush();
    report(r);
    err.flush();
    return failed ? 1 : 0;
}
