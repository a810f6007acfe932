#include "sqlsim/errors.h"

namespace sqlsim {

SqlError ErrInvalidObject(const QString& name) {
    return SqlError{208, 16, 1, QStringLiteral("Invalid object name '%1'.").arg(name)};
}
SqlError ErrInvalidColumn(const QString& name) {
    return SqlError{207, 16, 3, QStringLiteral("Invalid column name '%1'.").arg(name)};
}
SqlError ErrSyntaxNear(const QString& near) {
    return SqlError{170, 15, 1, QStringLiteral("Incorrect syntax near '%1'.").arg(near)};
}
SqlError ErrKeywordNear(const QString& keyword) {
    return SqlError{156, 15, 1, QStringLiteral("Incorrect syntax near the keyword '%1'.").arg(keyword.toUpper())};
}
SqlError ErrAlreadyExists(const QString& name) {
    return SqlError{2714, 16, 6, QStringLiteral("There is already an object named '%1' in the database.").arg(name)};
}
SqlError ErrCannotDrop(const QString& kind, const QString& name) {
    return SqlError{3701, 11, 5,
                    QStringLiteral("Cannot drop the %1 '%2', because it does not exist in the system catalog.").arg(kind, name)};
}
SqlError ErrGeneric(int number, int severity, const QString& text, int state) {
    return SqlError{number, severity, state, text};
}

}  // namespace sqlsim
