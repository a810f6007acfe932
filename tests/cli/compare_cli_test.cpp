// tovimar-cli compare and export as users run them.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

Result RunTool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(TOVIMAR_CLI), args);
    Result result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "tovimar-cli did not finish";
        return result;
    }
    result.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.Out = QString::fromUtf8(process.readAllStandardOutput());
    result.Err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

const QString Example = QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/sample.schema");

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

// The example with the table Authors called Writers and its key column called WriterID.
QByteArray RenamedExample() {
    QByteArray text = ReadAll(Example);
    text.replace(";Table;Authors;", ";Table;Writers;");
    text.replace("[dbo].[Authors]", "[dbo].[Writers]");
    text.replace(";AuthorID;1;int", ";WriterID;1;int");
    return text;
}

QString EmptyDatabase(const QTemporaryDir& dir) {
    QByteArray first = ReadAll(Example);
    first = first.left(first.indexOf('\n') + 1);
    first.replace("Bookshop", "Empty");
    return Write(dir, QStringLiteral("empty.schema"), first);
}

}  // namespace

TEST(CompareCliTest, TheExampleAgainstItselfHasNoDifferences) {
    const Result r = RunTool({QStringLiteral("compare"), Example, Example});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, QString());
    EXPECT_EQ(r.Err, QStringLiteral("There are no differences between the Databases!\n"));
}

TEST(CompareCliTest, AgainstAnEmptyDatabaseEverythingIsCreated) {
    QTemporaryDir dir;
    const QString empty = EmptyDatabase(dir);
    const Result r = RunTool({QStringLiteral("compare"), Example, empty});
    EXPECT_EQ(r.ExitCode, 1) << r.Err.toStdString();
    const QStringList lines = r.Out.split(QStringLiteral("\r\n"));
    ASSERT_GT(lines.size(), 8);
    EXPECT_EQ(lines[0], QString(80, QLatin1Char('-')));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("-- Tovimar Script for Database: PELLOW01#Empty  on: ")));
    EXPECT_EQ(lines[4], QStringLiteral("-- USE [Empty]"));
    EXPECT_EQ(lines[7], QStringLiteral("-- SCRIPT CREATE for Table [dbo].[Authors]"));
    EXPECT_TRUE(r.Out.contains(QStringLiteral("\r\nCREATE TABLE [dbo].[Books] (\r\n")));
    EXPECT_FALSE(r.Out.contains(QStringLiteral("STATUS")));

    const QString file = dir.filePath(QStringLiteral("out/scripts.sql"));
    const Result summary = RunTool({QStringLiteral("compare"), Example, empty, QStringLiteral("--summary"),
                                QStringLiteral("-o"), file});
    EXPECT_EQ(summary.ExitCode, 1);
    EXPECT_EQ(summary.Out, QString());
    const QStringList rows = QString::fromUtf8(ReadAll(file)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(rows[0], QStringLiteral("1\tCREATE\tTable\t[dbo].[Authors]"));
    for (int i = 0; i < rows.size(); ++i) EXPECT_TRUE(rows[i].startsWith(QString::number(i + 1) + QLatin1Char('\t')));
}

TEST(CompareCliTest, RenamesKeepTheTableAndItsColumn) {
    QTemporaryDir dir;
    const QString renamed = Write(dir, QStringLiteral("renamed.schema"), RenamedExample());
    const Result plain = RunTool({QStringLiteral("compare"), Example, renamed, QStringLiteral("--summary")});
    EXPECT_EQ(plain.ExitCode, 1) << plain.Err.toStdString();
    EXPECT_TRUE(plain.Out.contains(QStringLiteral("\tDELETE\tTable\t[dbo].[Writers]\n")));
    EXPECT_TRUE(plain.Out.contains(QStringLiteral("\tCREATE\tTable\t[dbo].[Authors]\n")));

    const Result r = RunTool({QStringLiteral("compare"), Example, renamed, QStringLiteral("--summary"),
                          QStringLiteral("--rename"), QStringLiteral("dbo.Writers.WriterID=AuthorID"),
                          QStringLiteral("--rename"), QStringLiteral("[dbo].[Writers]=[dbo].[Authors]")});
    EXPECT_EQ(r.ExitCode, 1) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.startsWith(QStringLiteral("1\tRENAME\tTable\t[dbo].[Authors]\n"
                                                "2\tRENAME\tColumn\t[dbo].[Authors].[AuthorID]\n")))
        << r.Out.toStdString();
    EXPECT_FALSE(r.Out.contains(QStringLiteral("DELETE")));

    const Result missing = RunTool({QStringLiteral("compare"), Example, renamed, QStringLiteral("--rename"),
                                QStringLiteral("[dbo].[Nope]=[dbo].[Authors]")});
    EXPECT_EQ(missing.ExitCode, 2);
    EXPECT_TRUE(missing.Err.contains(QStringLiteral("[dbo].[Nope]"))) << missing.Err.toStdString();
}

TEST(CompareCliTest, ExportWritesCreateScriptsOrSaysThatNothingIsLeft) {
    const Result r = RunTool({QStringLiteral("export"), Example});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.contains(QStringLiteral("-- SCRIPT CREATE for Table [dbo].[OrderLines]\r\n")));

    QTemporaryDir dir;
    const QString filter = Write(dir, QStringLiteral("none.filter"), "set All\n  Exclude % Tab,View,Proc,Func,Trig,Grant,Cat\nend\n");
    const Result none = RunTool({QStringLiteral("export"), Example, QStringLiteral("--filter-file"), filter});
    EXPECT_EQ(none.ExitCode, 1) << none.Err.toStdString();
    EXPECT_EQ(none.Out, QString());
    EXPECT_EQ(none.Err, QStringLiteral("The specified Database is either empty or all Objects have been filtered by "
                                       "current Filter Selections!\n"));
}

TEST(CompareCliTest, BadArgumentsAreUsageErrors) {
    EXPECT_EQ(RunTool({QStringLiteral("compare"), Example}).ExitCode, 2);
    EXPECT_EQ(RunTool({QStringLiteral("compare"), Example, Example, QStringLiteral("--bogus")}).ExitCode, 2);
    EXPECT_EQ(RunTool({QStringLiteral("compare"), Example, Example, QStringLiteral("--rename"), QStringLiteral("x")}).ExitCode, 2);
}
