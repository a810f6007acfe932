// tovimar-cli document and recompile on a simulated database, as users run them.
#include "cli/cli_runner.h"

namespace {

const QString Source = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/source.sql");

TEST(DbUtilCli, DocumentAsksAndPrints) {
    const CliResult unasked = RunCli({QStringLiteral("document"), Source});
    EXPECT_EQ(unasked.ExitCode, 2) << Show(unasked);
    EXPECT_TRUE(unasked.Err.contains(QStringLiteral("nothing has been changed"))) << Show(unasked);

    const CliResult r = RunCli({QStringLiteral("document"), Source, QStringLiteral("--yes"), QStringLiteral("--print")});
    EXPECT_EQ(r.ExitCode, 0) << Show(r);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("Documentation Tables successfully updated!\n"))) << Show(r);
    EXPECT_TRUE(r.Out.startsWith(QStringLiteral("TVO_ID\tTVO_Type\tTVO_Owner\tTVO_Name\tTVO_Hidden\tTVO_Deleted\t"
                                                 "TVO_Description\tTVO_Comments\n1\tTable\tdbo\t")))
        << Show(r);
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\nTVM_ID\tTVM_TVO_REF\tTVM_Type\tTVM_Name\t"))) << Show(r);
}

TEST(DbUtilCli, RecompileWritesTheLogNamedAsGiven) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("recompile.txt"));
    const CliResult r = RunCli({QStringLiteral("recompile"), Source, QStringLiteral("--yes"), QStringLiteral("--log"), log});
    EXPECT_EQ(r.ExitCode, 0) << Show(r);
    EXPECT_TRUE(r.Out.endsWith(QStringLiteral("Execution log: ") + log + QLatin1Char('\n'))) << Show(r);
    const QString text = QString::fromUtf8(ReadAll(log));
    EXPECT_TRUE(text.contains(QStringLiteral("-- STATUS=OK."))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("-- STATUS=ERROR"))) << text.toStdString();
}

}  // namespace
