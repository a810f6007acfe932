// The bundled example snapshot is what BuildSampleDatabase writes. Regenerating it is a
// deliberate step: UPDATE_EXAMPLES=1 build/tests/test_schema --gtest_filter='SampleDatabase.*'
#include "sample_database.h"

#include "schema/snapshot_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

TEST(SampleDatabase, ExampleSnapshotIsUpToDate) {
    Tovimar_Database db;
    BuildSampleDatabase(db);
    if (qEnvironmentVariableIntValue("UPDATE_EXAMPLES") == 1) {
        SaveSchemaFile(SampleSnapshotPath(), db);
        GTEST_SKIP() << "wrote " << SampleSnapshotPath().toStdString();
    }
    const QString actual = QStringLiteral(TOVIMAR_BINARY_DIR "/sample.schema.actual");
    SaveSchemaFile(actual, db);
    const QByteArray expected = ReadAll(SampleSnapshotPath());
    ASSERT_FALSE(expected.isEmpty()) << "missing " << SampleSnapshotPath().toStdString();
    EXPECT_EQ(ReadAll(actual).toStdString(), expected.toStdString())
        << "examples/sample.schema differs from the sample database; compare with " << actual.toStdString()
        << " and regenerate deliberately (UPDATE_EXAMPLES=1)";
}
