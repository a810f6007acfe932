// Conversions, comparison and arithmetic on Values following SQL Server's type rules.
#pragma once

#include "sqlsim/ast.h"
#include "sqlsim/errors.h"
#include "sqlsim/server.h"

namespace sqlsim {

struct SessionOptions;

// Type names and sizes of the built-in types.
struct BuiltinType {
    const char* name;
    int xtype;
    int length;     // storage length (max for variable types)
    int prec;
    int scale;
    bool variable;  // length given by the user
};
const BuiltinType* FindBuiltinType(const QString& name);
const BuiltinType* FindBuiltinType(int xtype);
bool IsStringType(int xtype);
bool IsUnicodeType(int xtype);
bool IsBinaryType(int xtype);
bool IsExactNumericType(int xtype);
bool IsIntegerType(int xtype);

// Strings compare case-sensitively under a case-sensitive (_CS_) or binary (_BIN) collation of
// the current database; the setting holds for the batches this thread runs.
bool IsCaseSensitiveCollation(const QString& collation);
void SetThreadCaseSensitive(bool caseSensitive);
bool ThreadCaseSensitive();
inline Qt::CaseSensitivity ThreadCaseSensitivity() { return ThreadCaseSensitive() ? Qt::CaseSensitive : Qt::CaseInsensitive; }

// -1, 0, 1; nulls must be handled by the caller. Strings compare ignoring trailing blanks and,
// under the default collation, case.
int CompareValues(const Value& a, const Value& b);
// A key for hash joins and grouping: equal values (under CompareValues) give equal keys.
QString HashKey(const Value& v);

Value Arithmetic(const QString& op, const Value& a, const Value& b);
// The same for operands no longer needed: a text joined to a text is appended to the first one's
// characters (the catalog queries join a quoted owner, '.' and a quoted name on every row).
Value Arithmetic(const QString& op, Value&& a, Value&& b);
Value Negate(const Value& a);

// dateFirst order: "mdy", "dmy", "ymd", ...
Value ConvertTo(const Value& v, int xtype, int length, int prec, int scale, int style, const QString& dateFormat);
Value ConvertToType(const Value& v, const TypeSpec& type, int style, const QString& dateFormat);
bool ParseDateTime(const QString& text, const QString& dateFormat, QDateTime& out);
QString FormatDateTime(const QDateTime& t, int style);
QString FormatNumberLikeServer(const Value& v);  // varchar conversion of a number (style 0)
QString DecimalText(Int128 scaled, int scale);  // exact text of a scaled integer: (123456, 4) gives "12.3456"

bool Truthy(const Value& v);  // non-null and non-zero

}  // namespace sqlsim
