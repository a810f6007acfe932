#pragma once
// Test doubles for the catalog loader: a connection that answers queries from a table of
// canned result sets and records what was sent, a progress that records and can cancel at
// the N-th call, and a filter that rejects listed names; and a plain way to add a table to a model.
#include "support/qt_print.h"
#include "support/recording_progress.h"
#include "platform/db/db_connection.h"
#include "platform/progress.h"
#include "schema/model.h"

#include <QHash>
#include <QSet>
#include <QStringList>

inline QString Q(const char* text) { return QString::fromUtf8(text); }
inline DbValue I(qint64 v) { return DbValue::FromInt(v); }
inline DbValue S(const char* v) { return DbValue::FromString(QString::fromUtf8(v)); }
inline DbValue S(const QString& v) { return DbValue::FromString(v); }
inline DbValue N() { return DbValue::Null(); }
inline DbValue B(const QByteArray& v) { return DbValue::FromBinary(v); }

// A table of owner.name added to db, with no columns.
inline TablePtr AddTable(Tovimar_Database& db, const QString& owner, const QString& name) {
    auto table = std::make_shared<Tovimar_Table>();
    table->Owner = owner;
    table->Name = name;
    table->SetDatabase(&db);
    db.Tables.Add(table, table->FullName());
    return table;
}

inline DbResultSet Rows(const QStringList& columns, std::vector<std::vector<DbValue>> rows) {
    DbResultSet rs;
    for (const QString& c : columns) rs.Columns.push_back(DbColumn{c, AdoType::VarChar});
    rs.Rows = std::move(rows);
    return rs;
}

class ScriptedConnection : public DbConnection {
public:
    ~ScriptedConnection() override { JoinWorker(); }
    QHash<QString, DbResultSet> Answers;  // by exact query text
    QSet<QString> Failing;                // queries that fail with error 7601
    QStringList Sent;

    QString ServerName() const override { return QStringLiteral("SRV"); }
    QString DatabaseName() const override { return QStringLiteral("Shop"); }

protected:
    DbBatchOutcome RunBatch(const QString& sql) override {
        Sent.append(sql);
        DbBatchOutcome outcome;
        if (Failing.contains(sql)) {
            outcome.Failed = true;
            outcome.Errors.append(DbError{7601, QStringLiteral("Full-text search is not enabled."), false});
            return outcome;
        }
        auto it = Answers.constFind(sql);
        if (it != Answers.cend()) outcome.ResultSets.push_back(it.value());
        return outcome;
    }
    void CancelRunning() override {}
};

// Rejects the listed names; every verdict reports Flags and Extras.
class RejectingFilter : public ObjectFilter {
public:
    QSet<QString> Rejected;  // "code:fullName"
    long Flags = 0;
    QStringList Extras;
    QStringList Asked;
    bool IsObjectIncluded(const QString& typeCode, const QString& fullName, int nameParts, const QString& owner,
                          long& flags, QStringList& extras) override {
        flags = Flags;
        extras = Extras;
        Asked.append(QStringLiteral("%1:%2:%3:%4").arg(typeCode, fullName).arg(nameParts).arg(owner));
        return !Rejected.contains(typeCode + QLatin1Char(':') + fullName);
    }
};
