#pragma once
// Runs tovimar-cli as users do — a separate process with stdin not a terminal (as in a pipeline) —
// and hands back its exit status, stdout and stderr.
#include "support/test_files.h"

#include <QProcess>
#include <string>

struct CliResult {
    int ExitCode = -1;  // -1 when the program crashed or did not finish
    QString Out;
    QString Err;
};

inline CliResult RunCli(const QStringList& args) {
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(TOVIMAR_CLI), args);
    CliResult result;
    if (!process.waitForFinished(180000)) {
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

// Both streams, for failure messages.
inline std::string Show(const CliResult& r) { return (r.Out + r.Err).toStdString(); }
