// The error a statement raises: SQL Server's message number, severity, state and text.
#pragma once

#include <QString>

namespace sqlsim {

struct SqlError {
    int number;
    int severity;
    int state;
    QString text;
    // Severity 20 and up (and batch-aborting errors) end the whole batch.
    bool abortsBatch = false;
};

// Helpers building the server's standard messages.
SqlError ErrInvalidObject(const QString& name);          // 208
SqlError ErrInvalidColumn(const QString& name);          // 207
SqlError ErrSyntaxNear(const QString& near);             // 170
SqlError ErrKeywordNear(const QString& keyword);         // 156
SqlError ErrAlreadyExists(const QString& name);          // 2714
SqlError ErrCannotDrop(const QString& kind, const QString& name);  // 3701
SqlError ErrGeneric(int number, int severity, const QString& text, int state = 1);

}  // namespace sqlsim
