#pragma once
// Starts `tovimar-sim --listen 127.0.0.1:0` for one test: the listener picks a free loopback
// port and names it on its first output line. The process is killed when the test ends, and
// dies with the test process if that is killed first.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/prctl.h>

class SimListener {
public:
    explicit SimListener(const QStringList& loads, const QStringList& logins) {
        QStringList args{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")};
        for (const QString& login : logins) args << QStringLiteral("--login") << login;
        for (const QString& load : loads) args << QStringLiteral("--load") << load;
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(TOVIMAR_SIM), args);
        QElapsedTimer timer;
        timer.start();
        static const QRegularExpression line(QStringLiteral("^Listening on 127\\.0\\.0\\.1:(\\d+)\\s*$"));
        while (!process_.canReadLine() && timer.elapsed() < 30000 && process_.state() != QProcess::NotRunning)
            process_.waitForReadyRead(1000);
        const QRegularExpressionMatch m = line.match(QString::fromUtf8(process_.readLine()));
        if (m.hasMatch()) port_ = m.captured(1).toInt();
    }
    ~SimListener() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    SimListener(const SimListener&) = delete;
    SimListener& operator=(const SimListener&) = delete;

    int Port() const { return port_; }
    // The server as OpenConnection takes it.
    QString Server() const { return QStringLiteral("127.0.0.1,") + QString::number(port_); }
    QString Url(const QString& user, const QString& password, const QString& database) const {
        return QStringLiteral("sqlserver://%1:%2@127.0.0.1:%3/%4").arg(user, password).arg(port_).arg(database);
    }

private:
    QProcess process_;
    int port_ = 0;
};
