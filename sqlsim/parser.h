// Recursive-descent parser for batches of SQL Server 2000 T-SQL.
#pragma once

#include "sqlsim/ast.h"
#include "sqlsim/errors.h"
#include "sqlsim/lexer.h"

#include <vector>

namespace sqlsim {

struct ParseResult {
    std::vector<StmtPtr> statements;
    bool ok = true;
    SqlError error{0, 0, 0, QString()};
};

// Parses one batch. With quotedIdentifier on, "x" is an identifier, otherwise a string.
ParseResult ParseBatch(const QString& batch, bool quotedIdentifier);

// Parses a single expression (used for stored default and check texts).
ExprPtr ParseExpression(const QString& text, bool quotedIdentifier);

// Upper-case words the server reserves; they cannot be implicit aliases.
bool IsReservedWord(QStringView word);

}  // namespace sqlsim
