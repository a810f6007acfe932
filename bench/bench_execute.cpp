// Execution benchmark: N small procedures created on the simulated server through the executor,
// as a sync runs them (each script drops the procedure if it exists, then creates it: two
// statements, each logged). Prints the wall-clock time, the processor time of the process and
// their ratio: the executor should cost the work, not time spent waiting past statements that
// have already ended.
//
//   bench_execute [N,N,...]      (default 300,1500)
#include "compare/script.h"
#include "platform/db/sim_connection.h"
#include "platform/progress.h"
#include "review/script_executor.h"
#include "schema/model.h"
#include "sqlsim/server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

double ProcessSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

int Run(int count) {
    auto server = std::make_shared<sqlsim::Server>();
    {
        auto session = server->Connect(QStringLiteral("master"));
        session->ExecuteScript(QStringLiteral("CREATE DATABASE bench\nGO\n"));
    }
    Tovimar_Database db;
    db.Server = QStringLiteral("sqlsim");
    db.Name = QStringLiteral("bench");
    db.Connection = std::make_shared<SimConnection>(server, QStringLiteral("bench"));

    std::vector<std::shared_ptr<Tovimar_Procedure>> procedures;
    ScriptList scripts;
    for (int i = 0; i < count; ++i) {
        auto procedure = std::make_shared<Tovimar_Procedure>();
        procedure->Owner = QStringLiteral("dbo");
        procedure->Name = QStringLiteral("P%1").arg(i);
        procedures.push_back(procedure);
        auto script = std::make_shared<Tovimar_Script>();
        script->Typ = QStringLiteral("Procedure");
        script->Action = QStringLiteral("CREATE");
        script->ScriptedObj = procedure.get();
        script->AddSQL(QStringLiteral("IF OBJECT_ID('dbo.P%1') IS NOT NULL DROP PROCEDURE dbo.P%1").arg(i));
        script->AddSQL(QStringLiteral("CREATE PROCEDURE dbo.P%1 @a int AS SELECT @a + %1 AS Result").arg(i));
        scripts.push_back(script);
    }

    QTemporaryDir dir;
    NullProgress progress;
    ScriptExecutor executor(progress);
    executor.ResultFile = dir.filePath(QStringLiteral("log.txt"));
    executor.Scripts = scripts;
    executor.DB = &db;
    QElapsedTimer timer;
    const double cpuBefore = ProcessSeconds();
    timer.start();
    executor.RunScripts();
    const double wall = static_cast<double>(timer.elapsed()) / 1000.0;
    const double cpu = ProcessSeconds() - cpuBefore;
    if (!executor.ErrCollection.empty()) {
        std::fprintf(stderr, "%zu scripts failed\n", executor.ErrCollection.size());
        return 1;
    }
    std::printf("%6d procedures, %6d statements: wall %7.2f s, processor %6.2f s, wall/processor %5.1f\n", count,
                2 * count, wall, cpu, cpu > 0 ? wall / cpu : 0.0);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString sizes = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("300,1500");
    for (const QString& size : sizes.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (Run(size.toInt()) != 0) return 1;
    return 0;
}
