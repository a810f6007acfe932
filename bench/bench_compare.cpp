// Comparison benchmark: two synthetic snapshots of N tables (20 columns, 3 indexes, 2 foreign keys
// each, plus views, procedures and permissions) with about 10% of the objects changed — columns
// widened (a table rebuild), added and dropped, tables created and dropped, indexes, views,
// procedures and permissions changed. For each N it writes both snapshots, then times loading
// them, linking and generating the scripts, and writing the script text, and reports the peak
// memory of the process; "diff" of the two files is the baseline. Then, side by side in the same
// run, it times "diff A B" and "tovimar-cli compare A B --summary" as child processes (through
// /usr/bin/time), each in turn five times: the median wall time and processor time (user + system)
// of each and the child's largest peak resident size, with the goals as ratios (compare / diff wall
// time, peak / size of the two files, and the growth from the size before).
// With BENCH_VERIFY=1 it also times what verify does (the Destination built on the simulated
// server from its snapshot, the sync run there, the catalog read back and compared again), in
// elapsed and CPU seconds, and fails when differences or errors are left.
//
//   bench_compare [N,N,...]      (default 1000,5000,20000; BENCH_KEEP_DIR=DIR keeps the snapshots)
#include "compare/generation_driver.h"
#include "compare/linking.h"
#include "main/comparison_run.h"
#include "main/sim_database.h"
#include "main/sync_verification.h"
#include "platform/progress.h"
#include "review/script_executor.h"
#include "schema/model.h"
#include "schema/snapshot_file.h"
#include "schema/sql_text.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The collation every character column has on the server the snapshots stand for.
const QString kCollation = QStringLiteral("SQL_Latin1_General_CP1_CI_AS");

// A column as a server's catalog describes it: an int has the precision 10, a varchar its
// length and the collation, so that a database built from the snapshot reads back the same.
FieldPtr NewColumn(const QString& name, const QString& type, long length, int colId) {
    auto field = std::make_shared<Tovimar_Field>();
    field->Name = name;
    field->DataType = type;
    field->ColID = colId;
    field->DataPrecision = length > 0 ? length : 10;
    field->DataSize = length > 0 ? length : 4;
    field->CanBeNull = colId > 1;
    if (length > 0) field->Collation = kCollation;
    return field;
}

FieldPtr AddColumn(Tovimar_Table& table, const QString& name, const QString& type, long length) {
    FieldPtr field = NewColumn(name, type, length, static_cast<int>(table.Fields.Count()) + 1);
    table.AddField(field);
    return field;
}

void AddIndex(Tovimar_Database& db, Tovimar_Table& table, const QString& name, const QStringList& columns, bool primary,
              long fillFactor) {
    auto index = std::make_shared<Tovimar_Index>();
    index->Name = name;
    index->Table = &table;
    index->IsPrimaryKey = index->IsUnique = index->IsClustered = primary;
    index->IndexFillFactor = fillFactor;
    index->FileGroupName = QStringLiteral("PRIMARY");
    for (const QString& column : columns) index->FieldNames.Add(column);
    if (primary) table.PrimaryKey = index.get();
    table.Indexes.Add(index, index->FullName(false));
    db.Indexes.Add(index, index->FullName(true));
}

// side 0: Source, 1: Destination.
std::unique_ptr<Tovimar_Database> Build(int tables, int side) {
    auto db = std::make_unique<Tovimar_Database>();
    db->Server = QStringLiteral("BENCH");
    db->Name = side == 0 ? QStringLiteral("Source") : QStringLiteral("Destination");
    db->SrvVer = 80;
    db->CmptLevel = 80;
    db->DefaultFileGroupID = 1;
    db->FileGroups.Add(Tovimar_FileGroup{1, QStringLiteral("PRIMARY")}, QStringLiteral("#1"));
    auto role = std::make_shared<Tovimar_Role>();
    role->Name = QStringLiteral("Readers");
    role->ObjectIncluded = true;
    role->SetDatabase(db.get());
    db->Roles.Add(role, role->FullName());
    auto name = [](int i) { return QStringLiteral("T%1").arg(i, 6, 10, QLatin1Char('0')); };
    for (int i = 0; i < tables; ++i) {
        if ((i % 100 == 3 && side == 1) || (i % 100 == 4 && side == 0)) continue;  // created / dropped
        auto table = std::make_shared<Tovimar_Table>();
        table->Owner = QStringLiteral("dbo");
        table->Name = name(i);
        table->ObjectID = 1000 + i;
        table->ObjectIncluded = table->CollationsIncluded = table->FileGroupsIncluded = true;
        table->FileGroupName = table->TextFileGroupName = QStringLiteral("PRIMARY");
        table->SetDatabase(db.get());
        db->Tables.Add(table, table->FullName());
        AddColumn(*table, QStringLiteral("ID"), QStringLiteral("int"), 0);
        for (int c = 1; c < 20; ++c) {
            const bool widened = c == 5 && i % 50 == 0 && side == 0;
            AddColumn(*table, QStringLiteral("C%1").arg(c), c % 2 ? QStringLiteral("varchar") : QStringLiteral("int"),
                      c % 2 ? (widened ? 60 : 50) : 0);
        }
        if (i % 50 == 1 && side == 0) AddColumn(*table, QStringLiteral("Added"), QStringLiteral("int"), 0);
        if (i % 50 == 2 && side == 1) AddColumn(*table, QStringLiteral("Dropped"), QStringLiteral("int"), 0);
        AddIndex(*db, *table, QStringLiteral("PK_") + table->Name, {QStringLiteral("ID")}, true, 0);
        AddIndex(*db, *table, QStringLiteral("IX1_") + table->Name, {QStringLiteral("C1")}, false,
                 i % 50 == 5 && side == 0 ? 80 : 0);
        AddIndex(*db, *table, QStringLiteral("IX2_") + table->Name, {QStringLiteral("C2"), QStringLiteral("C3")}, false, 0);
        auto permission = std::make_shared<Tovimar_Permission>();
        permission->SetDatabase(db.get());
        permission->SecObject = table.get();
        permission->Grantee = QStringLiteral("Readers");
        permission->Grantor = QStringLiteral("dbo");
        permission->SelectRight = 1;
        permission->UpdateRight = i % 20 == 7 && side == 0 ? 1 : 0;
        permission->Name = permission->FullName();
        db->Permissions.Add(permission, permission->FullName());
    }
    for (int i = 0; i < tables; ++i) {
        const TablePtr table = db->Tables.Item(QuoteName(QStringLiteral("dbo"), name(i)));
        if (!table) continue;
        for (int k = 1; k <= 2; ++k) {
            const TablePtr primary = db->Tables.Item(QuoteName(QStringLiteral("dbo"), name((i + tables - k) % tables)));
            if (!primary || primary == table) continue;
            auto relation = std::make_shared<Tovimar_Relation>();
            relation->Name = QStringLiteral("FK_%1_%2").arg(table->Name, primary->Name);
            relation->Table = table.get();
            relation->PrimaryTable = primary.get();
            relation->PrimaryTableFullName = primary->FullName();
            relation->FieldNames.Add(QStringLiteral("C%1").arg(2 * k));
            relation->PrimaryFieldNames.Add(QStringLiteral("ID"));
            table->Relations.Add(relation, relation->FullName(false));
            db->Relations.Add(relation, relation->FullName(true));
        }
    }
    for (int i = 0; i < tables / 10; ++i) {
        auto view = std::make_shared<Tovimar_View>();
        view->Owner = QStringLiteral("dbo");
        view->Name = QStringLiteral("V%1").arg(i);
        view->ObjStatus = 24;
        view->ObjectIncluded = true;
        view->CollationsIncluded = true;
        view->SetDatabase(db.get());
        view->Definition = QStringLiteral("CREATE VIEW dbo.V%1 AS SELECT ID, C1 FROM dbo.%2 WHERE C2 > %3")
                               .arg(i).arg(name(i * 10 + 5)).arg(i % 10 == 0 && side == 0 ? 1 : 0);
        view->AddField(NewColumn(QStringLiteral("ID"), QStringLiteral("int"), 0, 1));
        view->AddField(NewColumn(QStringLiteral("C1"), QStringLiteral("varchar"), 50, 2));
        db->Views.Add(view, view->FullName());
        auto procedure = std::make_shared<Tovimar_Procedure>();
        procedure->Owner = QStringLiteral("dbo");
        procedure->Name = QStringLiteral("P%1").arg(i);
        procedure->ObjStatus = 24;
        procedure->ObjectIncluded = true;
        procedure->SetDatabase(db.get());
        procedure->SetDefinition(1, QStringLiteral("CREATE PROCEDURE dbo.P%1 @id int AS\r\nSELECT * FROM dbo.%2 WHERE ID = @id%3")
                                        .arg(i).arg(name(i * 10 + 6))
                                        .arg(i % 10 == 1 && side == 0 ? QStringLiteral(" OR ID = 0") : QString()));
        db->Procedures.Add(procedure, procedure->FullName());
    }
    return db;
}

double Seconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e9; }

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// verify of the two snapshots: false (with the reason on stderr) when it does not converge.
bool Verify(const QString& sourcePath, const QString& destPath, const QDir& logs, double& seconds, double& cpuSeconds) {
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = CpuSeconds();
    Tovimar_Database source;
    Tovimar_Database model;
    LoadSchemaFile(sourcePath, source, false);
    LoadSchemaFile(destPath, model, false);
    NullProgress progress;
    ErrorCollection errors;
    const auto dest = BuildSimulatedDatabase(model, logs.filePath(QStringLiteral("build.txt")), errors, progress);
    if (!dest) {
        std::fprintf(stderr, "verify: the Destination could not be built\n");
        return false;
    }
    const VerificationReport report =
        VerifySync(source, *dest, ComparisonOptions(), logs.filePath(QStringLiteral("verify.txt")), progress);
    seconds = Seconds(timer);
    cpuSeconds = CpuSeconds() - cpuStart;
    if (errors.empty() && report.Converged()) return true;
    std::fprintf(stderr, "verify did not converge: %zu errors building, %zu errors syncing, %lld differences left%s\n",
                 errors.size(), report.Errors.size(), static_cast<long long>(report.Remaining.size()),
                 report.Remaining.isEmpty() ? "" : qPrintable(QStringLiteral(", the first: ") + report.Remaining.first()));
    return false;
}

struct ChildRun {
    double Wall = 0;
    double Cpu = 0;  // user + system
    double PeakMB = 0;
};

// Runs the program with its output thrown away. Its processor time and peak resident size come
// from GNU time: the rusage of a child forked from this process would count the memory this
// process held when it forked (the models built to write the snapshots), which a child forked by
// the small time process does not.
ChildRun RunChild(const QStringList& command, const QString& statsPath) {
    QStringList full = {QStringLiteral("/usr/bin/time"), QStringLiteral("-f"), QStringLiteral("%U %S %M"),
                        QStringLiteral("-o"), statsPath};
    full += command;
    QList<QByteArray> args;
    for (const QString& arg : full) args << arg.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ChildRun run;
    run.Wall = Seconds(timer);
    QFile stats(statsPath);
    QList<QByteArray> parts;
    if (stats.open(QIODevice::ReadOnly)) parts = stats.readAll().trimmed().split('\n').last().split(' ');
    if (parts.size() == 3) {
        run.Cpu = parts[0].toDouble() + parts[1].toDouble();
        run.PeakMB = parts[2].toDouble() / 1024.0;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1 || parts.size() != 3)
        std::fprintf(stderr, "%s failed (status %d; is /usr/bin/time installed?)\n", argv[5], status);
    return run;
}

// The median wall time and processor time of the runs (each taken on its own) and their largest
// peak.
ChildRun MedianRun(std::vector<ChildRun> runs) {
    ChildRun median;
    const auto middle = runs.begin() + static_cast<std::ptrdiff_t>(runs.size() / 2);
    std::nth_element(runs.begin(), middle, runs.end(), [](const ChildRun& a, const ChildRun& b) { return a.Wall < b.Wall; });
    median.Wall = middle->Wall;
    std::nth_element(runs.begin(), middle, runs.end(), [](const ChildRun& a, const ChildRun& b) { return a.Cpu < b.Cpu; });
    median.Cpu = middle->Cpu;
    for (const ChildRun& run : runs) median.PeakMB = std::max(median.PeakMB, run.PeakMB);
    return median;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QList<int> sizes = {1000, 5000, 20000};
    if (argc > 1) {
        sizes.clear();
        for (const QString& part : QString::fromLocal8Bit(argv[1]).split(QLatin1Char(','))) sizes << part.toInt();
    }
    QTemporaryDir temp;
    // BENCH_KEEP_DIR keeps the snapshots there, e.g. to time tovimar-cli compare and verify on them.
    const QString keep = qEnvironmentVariable("BENCH_KEEP_DIR");
    const QDir dir(keep.isEmpty() ? temp.path() : keep);
    QList<QPair<QString, QString>> paths;
    const bool verify = !qEnvironmentVariable("BENCH_VERIFY").isEmpty();
    std::printf("tables\tsnapshot MB\tdiff s\tload s\tgenerate s\twrite s\tscripts\tpeak MB%s\n",
                verify ? "\tverify s\tverify CPU s\tpeak MB" : "");
    bool converged = true;
    for (int tables : sizes) {
        const QString sourcePath = dir.filePath(QStringLiteral("source_%1.schema").arg(tables));
        const QString destPath = dir.filePath(QStringLiteral("dest_%1.schema").arg(tables));
        {
            const auto source = Build(tables, 0);
            const auto dest = Build(tables, 1);
            SaveSchemaFile(sourcePath, *source);
            SaveSchemaFile(destPath, *dest);
        }
        QElapsedTimer timer;
        timer.start();
        QProcess diff;
        diff.start(QStringLiteral("diff"), {sourcePath, destPath});
        diff.waitForFinished(-1);
        const double diffSeconds = Seconds(timer);

        timer.restart();
        Tovimar_Database source;
        Tovimar_Database dest;
        LoadSchemaFile(sourcePath, source, false);
        LoadSchemaFile(destPath, dest, false);
        const double loadSeconds = Seconds(timer);

        timer.restart();
        LinkDatabases(source, dest);
        GenerationContext ctx;
        ctx.DB1 = &source;
        ctx.DB2 = &dest;
        const ScriptList scripts = GenerateAllScripts(ctx, nullptr, false);
        const double generateSeconds = Seconds(timer);

        timer.restart();
        const QString text = ScriptFileText(scripts, dest, QDateTime::currentDateTime());
        const QByteArray bytes = text.toUtf8();
        const double writeSeconds = Seconds(timer);

        std::printf("%d\t%.1f\t%.2f\t%.2f\t%.2f\t%.2f\t%zu\t%ld", tables,
                    static_cast<double>(QFileInfo(sourcePath).size()) / 1048576.0, diffSeconds, loadSeconds,
                    generateSeconds, writeSeconds, scripts.size(), PeakMegabytes());
        double verifySeconds = 0;
        double verifyCpu = 0;
        if (verify) {
            converged = Verify(sourcePath, destPath, QDir(temp.path()), verifySeconds, verifyCpu) && converged;
            std::printf("\t%.2f\t%.2f\t%ld", verifySeconds, verifyCpu, PeakMegabytes());
        }
        std::printf("\n");
        std::fflush(stdout);
        paths << qMakePair(sourcePath, destPath);
    }
#ifdef TOVIMAR_CLI_PATH
    // The command-line comparison against diff, each size in turn, the two programs side by side.
    std::printf("\ntables\tdiff wall s\tdiff cpu s\tcli wall s\tcli cpu s\tcli peak MB\twall/diff\tpeak/files"
                "\tcli wall growth\tcli cpu growth\n");
    ChildRun previous;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const auto& [sourcePath, destPath] = paths[i];
        const QString stats = dir.filePath(QStringLiteral("time.txt"));
        // One run of each says as much about the machine as about the programs: they take turns,
        // and the median of each counts.
        constexpr int turns = 5;
        std::vector<ChildRun> diffs, clis;
        for (int turn = 0; turn < turns; ++turn) {
            diffs.push_back(RunChild({QStringLiteral("/usr/bin/diff"), sourcePath, destPath}, stats));
            clis.push_back(RunChild({QStringLiteral(TOVIMAR_CLI_PATH), QStringLiteral("compare"), sourcePath, destPath,
                                     QStringLiteral("--summary")},
                                    stats));
        }
        const ChildRun diff = MedianRun(diffs);
        const ChildRun cli = MedianRun(clis);
        const double filesMB =
            static_cast<double>(QFileInfo(sourcePath).size() + QFileInfo(destPath).size()) / 1048576.0;
        std::printf("%d\t%.2f\t%.2f\t%.2f\t%.2f\t%.0f\t%.2f\t%.1f\t%.2f\t%.2f\n", sizes[i], diff.Wall, diff.Cpu,
                    cli.Wall, cli.Cpu, cli.PeakMB, cli.Wall / diff.Wall, cli.PeakMB / filesMB,
                    i > 0 ? cli.Wall / previous.Wall : 0.0, i > 0 ? cli.Cpu / previous.Cpu : 0.0);
        std::fflush(stdout);
        previous = cli;
    }
#endif
    return converged ? 0 : 1;
}
