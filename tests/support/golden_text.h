#pragma once
// Golden files for generated text: tests/golden/<case>/<file> holds the expected text, compared
// byte for byte. On a mismatch the actual text is written to <build>/golden-actual/<case>/<file>
// so that it can be diffed; with UPDATE_GOLDEN=1 in the environment the expected file is
// rewritten instead (a deliberate step whose result is reviewed before it is committed).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <gtest/gtest.h>

namespace golden {

inline QString SourcePath(const QString& caseName, const QString& fileName) {
    return QStringLiteral(TOVIMAR_TEST_DATA_DIR "/golden/") + caseName + QLatin1Char('/') + fileName;
}

inline QString ActualPath(const QString& caseName, const QString& fileName) {
    return QStringLiteral(TOVIMAR_BINARY_DIR "/golden-actual/") + caseName + QLatin1Char('/') + fileName;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes) == bytes.size();
}

}  // namespace golden

// Compares actual with tests/golden/<caseName>/<fileName> byte for byte.
inline void ExpectGolden(const QString& caseName, const QString& actual,
                         const QString& fileName = QStringLiteral("expected.sql")) {
    const QByteArray actualBytes = actual.toUtf8();
    const QString expectedPath = golden::SourcePath(caseName, fileName);
    if (qEnvironmentVariableIntValue("UPDATE_GOLDEN") == 1) {
        EXPECT_TRUE(golden::WriteFile(expectedPath, actualBytes)) << "cannot write " << expectedPath.toStdString();
        return;
    }
    QFile file(expectedPath);
    const QString actualPath = golden::ActualPath(caseName, fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        golden::WriteFile(actualPath, actualBytes);
        ADD_FAILURE() << "missing golden file " << expectedPath.toStdString() << "; actual output written to "
                      << actualPath.toStdString() << " (run with UPDATE_GOLDEN=1 to create it)";
        return;
    }
    const QByteArray expectedBytes = file.readAll();
    if (expectedBytes != actualBytes) {
        golden::WriteFile(actualPath, actualBytes);
        ADD_FAILURE() << "golden mismatch for " << caseName.toStdString() << "; actual output written to "
                      << actualPath.toStdString();
        EXPECT_EQ(actualBytes.toStdString(), expectedBytes.toStdString());
    }
}

