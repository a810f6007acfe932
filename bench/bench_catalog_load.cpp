// Times the catalog loader on synthetic databases built in the simulated server: N tables of
// 20 columns (a clustered primary key, a second index, a default, a check, a foreign key to the
// previous table), and 0.4 * N views and as many procedures. Prints, per size, the time to
// build the database, the time to load it through the loaders, the queries sent and the memory
// high-water mark; "load cpu" is the CPU time of the load. Usage: bench_catalog_load [TABLES...] (default 1000 2500 5000).
#include "platform/db/sim_connection.h"
#include "platform/progress.h"
#include "schema/catalog_loader.h"
#include "sqlsim/server.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// CPU time of the process so far in ms (the machine is shared, so wall times vary with its load).
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A memory figure of the process from /proc/self/status in MB ("VmHWM:" the high-water mark,
// "VmRSS:" the current resident size), or -1.
double StatusMB(const char* key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(static_cast<qsizetype>(qstrlen(key))).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

QString BuildScript(int tables) {
    const int codeObjects = tables * 2 / 5;
    QString script = QStringLiteral("CREATE DATABASE bench\nGO\nUSE bench\nGO\n");
    for (int t = 0; t < tables; ++t) {
        QString sql = QStringLiteral("CREATE TABLE dbo.T%1 (\n  ID int NOT NULL CONSTRAINT PK_T%1 PRIMARY KEY CLUSTERED,\n").arg(t);
        sql += t > 0 ? QStringLiteral("  ParentID int NULL CONSTRAINT FK_T%1_T%2 REFERENCES dbo.T%2 (ID),\n").arg(t).arg(t - 1)
                     : QStringLiteral("  ParentID int NULL,\n");
        sql += QStringLiteral("  Amount money NOT NULL CONSTRAINT DF_T%1_Amount DEFAULT (0) CONSTRAINT CK_T%1_Amount CHECK (Amount >= 0),\n").arg(t);
        for (int c = 3; c < 20; ++c) sql += QStringLiteral("  C%1 varchar (40) NULL,\n").arg(c);
        sql += QStringLiteral("  Stamp datetime NULL\n)\nGO\n");
        sql += QStringLiteral("CREATE INDEX IX_T%1_C3 ON dbo.T%1 (C3, C4)\nGO\n").arg(t);
        script += sql;
    }
    for (int v = 0; v < codeObjects; ++v) {
        script += QStringLiteral("CREATE VIEW dbo.V%1 AS SELECT ID, ParentID, Amount, C3 FROM dbo.T%2\nGO\n").arg(v).arg(v % tables);
        script += QStringLiteral("CREATE PROCEDURE dbo.P%1 @id int AS SELECT * FROM dbo.T%2 WHERE ID = @id\nGO\n")
                      .arg(v)
                      .arg(v % tables);
    }
    script += QStringLiteral("GRANT SELECT ON dbo.T0 TO public\nGO\n");
    return script;
}

class CountingConnection : public SimConnection {
public:
    using SimConnection::SimConnection;
    int Queries = 0;
    std::vector<std::pair<qint64, QString>> Times;  // (ms, start of the query)

protected:
    DbBatchOutcome RunBatch(const QString& sql) override {
        ++Queries;
        QElapsedTimer timer;
        timer.start();
        DbBatchOutcome outcome = SimConnection::RunBatch(sql);
        Times.emplace_back(timer.elapsed(), sql.left(60).simplified());
        return outcome;
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 2500, 5000};

    std::printf("%8s %8s %10s %10s %10s %10s %8s %8s %8s %8s %10s %10s %10s\n", "tables", "columns", "build ms", "load ms", "load cpu",
                "server ms", "queries",
                "views", "procs", "indexes", "built MB", "model MB", "peak MB");
    for (int tables : sizes) {
        QElapsedTimer timer;
        timer.start();
        auto server = std::make_shared<sqlsim::Server>();
        {
            auto session = server->Connect(QStringLiteral("master"));
            const sqlsim::BatchResult result = session->ExecuteScript(BuildScript(tables));
            for (const sqlsim::Message& message : result.messages)
                if (message.severity > 10) {
                    std::fprintf(stderr, "build failed: %d %s\n", message.number, qPrintable(message.text));
                    return 1;
                }
        }
        const qint64 buildMs = timer.elapsed();
        malloc_trim(0);
        const double builtMB = StatusMB("VmRSS:");

        auto connection = std::make_shared<CountingConnection>(server, QStringLiteral("bench"));
        Tovimar_Database db;
        LoadDatabase(db, connection);
        NullProgress progress;
        timer.restart();
        const double cpuBefore = CpuMs();
        if (!LoadDBObjects(db, progress)) return 1;
        const qint64 loadMs = timer.elapsed();
        const double loadCpuMs = CpuMs() - cpuBefore;
        malloc_trim(0);  // give freed query memory back, so that what stays is the model (and the server)
        const double modelMB = StatusMB("VmRSS:");

        qsizetype columns = 0;
        for (const TablePtr& table : db.Tables) columns += table->Fields.Count();
        qint64 serverMs = 0;
        for (const auto& [ms, text] : connection->Times) serverMs += ms;
        std::printf("%8lld %8lld %10lld %10lld %10.0f %10lld %8d %8lld %8lld %8lld %10.0f %10.0f %10.0f\n",
                    static_cast<long long>(db.Tables.Count()), static_cast<long long>(columns),
                    static_cast<long long>(buildMs), static_cast<long long>(loadMs), loadCpuMs, static_cast<long long>(serverMs),
                    connection->Queries, static_cast<long long>(db.Views.Count()),
                    static_cast<long long>(db.Procedures.Count()), static_cast<long long>(db.Indexes.Count()),
                    builtMB, modelMB, StatusMB("VmHWM:"));
        if (std::getenv("BENCH_VERBOSE")) {
            std::sort(connection->Times.begin(), connection->Times.end(), [](auto& a, auto& b) { return a.first > b.first; });
            for (size_t i = 0; i < connection->Times.size() && i < 30; ++i)
                std::printf("    %6lld ms  %s\n", static_cast<long long>(connection->Times[i].first),
                            qPrintable(connection->Times[i].second));
        }
        std::fflush(stdout);
    }
    return 0;
}
