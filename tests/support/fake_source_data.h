#pragma once
// A SourceDataReader with canned answers: each query text maps to rows, or to a failure.
#include "compare/generation_context.h"
#include "platform/tovimar_exception.h"

#include <QHash>

class FakeSourceData : public SourceDataReader {
public:
    QHash<QString, SourceRows> Answers;  // query text -> rows
    QStringList Failing;                 // query texts the server rejects
    QStringList Asked;                   // every query, in order

    SourceRows Query(const QString& sql) override {
        Asked << sql;
        if (Failing.contains(sql))
            throw TovimarException(102, QStringLiteral("Source"), QStringLiteral("Incorrect syntax"));
        return Answers.value(sql);
    }
};
