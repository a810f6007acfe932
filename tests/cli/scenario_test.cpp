// Scenarios: a Source and a Destination script (tests/scenarios/<name>/source.sql, dest.sql) run
// on simulated servers, loaded back and compared by tovimar-cli. The script list (--summary) and
// the script text without its time-stamped header are checked against expected_summary.txt and
// expected.sql in the same folder. A scenario may add filter.txt (--filter-file) and args.txt
// (further arguments, one per line). UPDATE_GOLDEN=1 rewrites the expected files.
// Then the round trip: tovimar-cli verify executes the scripts on the simulated Destination and
// compares again: no error, no difference left, no row lost (exit status 0). A scenario whose
// scripts the simulated server cannot run yet says why in roundtrip-skip.txt.
#include "cli/cli_runner.h"

#include <QDir>

namespace {

const QString ScenarioDir = QStringLiteral(TOVIMAR_TEST_DATA_DIR "/scenarios");

// Runs compare or verify on the scenario in dir; a usage or load error (status 2), and a verify
// that does not pass, fail the test with the program's output.
QByteArray RunTool(const QString& command, const QString& dir, bool summary, int& exitCode) {
    QStringList args{command, dir + QStringLiteral("/source.sql"), dir + QStringLiteral("/dest.sql")};
    if (summary) args << QStringLiteral("--summary");
    // The scenarios drop tables and columns on purpose; what a kept table loses is checked below.
    if (command == QLatin1String("verify")) args << QStringLiteral("--allow-data-loss");
    if (QFile::exists(dir + QStringLiteral("/filter.txt")))
        args << QStringLiteral("--filter-file") << dir + QStringLiteral("/filter.txt");
    args << QString::fromUtf8(ReadAll(dir + QStringLiteral("/args.txt"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const CliResult r = RunCli(args);
    exitCode = r.ExitCode;
    if (exitCode == 2 || (command == QLatin1String("verify") && exitCode != 0)) ADD_FAILURE() << Show(r);
    return r.Out.toUtf8();
}

void ExpectFile(const QString& path, const QByteArray& actual) {
    if (qEnvironmentVariableIntValue("UPDATE_GOLDEN") == 1) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(actual);
        return;
    }
    EXPECT_EQ(actual.toStdString(), ReadAll(path).toStdString()) << path.toStdString();
}

}  // namespace

TEST(ScenarioTest, EveryScenarioGivesItsExpectedScripts) {
    const QStringList names = QDir(ScenarioDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString dir = ScenarioDir + QLatin1Char('/') + name;
        int exitCode = -1;
        ExpectFile(dir + QStringLiteral("/expected_summary.txt"), RunTool(QStringLiteral("compare"), dir, true, exitCode));
        EXPECT_EQ(exitCode, 1);
        const QByteArray script = RunTool(QStringLiteral("compare"), dir, false, exitCode);
        // The header names the Destination and the time of the run: leave its seven lines out.
        QByteArray text = script;
        for (int line = 0; line < 7; ++line) text = text.mid(text.indexOf('\n') + 1);
        ExpectFile(dir + QStringLiteral("/expected.sql"), text);

        if (QFile::exists(dir + QStringLiteral("/roundtrip-skip.txt"))) continue;
        const QByteArray verified = RunTool(QStringLiteral("verify"), dir, false, exitCode);
        EXPECT_EQ(exitCode, 0);
        EXPECT_FALSE(verified.contains("\tROWS LOST\n")) << verified.toStdString();  // a kept table lost rows
    }
}
