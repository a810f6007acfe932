#pragma once
// Scripts run on the simulated server in tests.
#include "sqlsim/server.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

// Every message above severity 10, as "number: text".
inline QStringList ServerErrors(const sqlsim::BatchResult& result) {
    QStringList errors;
    for (const sqlsim::Message& message : result.messages)
        if (message.severity > 10) errors << QString::number(message.number) + QStringLiteral(": ") + message.text;
    return errors;
}

// Runs a script in a database of the server; an error it raises fails the test.
inline void RunScript(sqlsim::Server& server, const QString& database, const QString& script) {
    auto session = server.Connect(database);
    ASSERT_TRUE(session) << database.toStdString();
    EXPECT_EQ(ServerErrors(session->ExecuteScript(script)), QStringList());
}

// A fresh server on which the script ran (it starts in master).
inline std::shared_ptr<sqlsim::Server> ServerWith(const QString& script) {
    auto server = std::make_shared<sqlsim::Server>();
    RunScript(*server, QStringLiteral("master"), script);
    return server;
}
