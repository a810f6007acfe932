#pragma once
// Fakes for executor tests: a database connection that answers per statement text with chosen
// messages (and can hold a statement until it is cancelled), a progress that records and can
// press Cancel, and a prompt with scripted answers.
#include "support/recording_progress.h"
#include "platform/db/db_connection.h"
#include "platform/progress.h"
#include "platform/prompt.h"
#include "support/scripted_prompt.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

class FakeConnection : public DbConnection {
public:
    // What one execution of a statement reports.
    struct Answer {
        QList<DbError> Messages;
        bool WaitForCancel = false;  // runs until the statement is cancelled
        // With WaitForCancel: the statement completes just as the cancel arrives, too late to
        // stop it.
        bool CompletesBeforeCancel = false;
    };

    ~FakeConnection() override { JoinWorker(); }

    // The answers for a statement text, used one per execution; the last one repeats.
    void On(const QString& sql, QList<Answer> answers) { answers_[sql] = std::move(answers); }
    void FailWith(const QString& sql, long number, const QString& text) {
        On(sql, {Answer{{DbError{number, text, false}}, false}});
    }

    QStringList Executed() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return executed_;
    }
    // True while a statement waits for its cancel.
    bool Waiting() const { return waiting_.load(); }

    QString ServerName() const override { return QStringLiteral("SRV"); }
    QString DatabaseName() const override { return QStringLiteral("Dest"); }
    // Set to stand for a server inside this process (the executor then logs in blocks).
    bool InThisProcess = false;
    bool ServerInThisProcess() const override { return InThisProcess; }

protected:
    DbBatchOutcome RunBatch(const QString& sql) override {
        Answer answer;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            executed_ << sql;
            auto it = answers_.find(sql);
            if (it != answers_.end() && !it->isEmpty()) answer = it->size() > 1 ? it->takeFirst() : it->first();
        }
        DbBatchOutcome outcome;
        if (answer.WaitForCancel) {
            std::unique_lock<std::mutex> lock(mutex_);
            cancelRequested_ = false;
            waiting_ = true;
            cancelled_.wait(lock, [this] { return cancelRequested_; });
            waiting_ = false;
            outcome.Cancelled = !answer.CompletesBeforeCancel;
        }
        outcome.Errors = answer.Messages;
        for (const DbError& message : answer.Messages)
            if (!message.Informational) outcome.Failed = true;
        return outcome;
    }
    void CancelRunning() override {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelRequested_ = true;
        cancelled_.notify_all();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cancelled_;
    bool cancelRequested_ = false;
    std::atomic<bool> waiting_{false};
    QHash<QString, QList<Answer>> answers_;
    QStringList executed_;
};
