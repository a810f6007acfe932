#pragma once
// SQL text utilities shared by the catalog loader, the script generators and the filters:
// T-SQL literals for values, identifier quoting, scanning of SQL text that skips string
// literals, comments and bracketed names (masking them behind numbered placeholders),
// reading and replacing the object name of a CREATE statement, line-break normalisation
// and a stable sort of rows. Every function is stateless.
#include "platform/db_value.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>

// Carriage return, line feed, space, horizontal tab and backspace: the delimiters of
// GetObjectNameAt and ReplaceObjectName.
inline constexpr QStringView WhiteSpaceChars = u"\r\n \t\b";

// ---- Value and string literals -------------------------------------------------------------

// The value as a T-SQL literal: "NULL", "1"/"0", CONVERT(DATETIME, '...',120), a quoted
// string (GetSQLString with quoting, control-character encoding and line splitting), a
// binary constant 0x..., or the number's text with a decimal point. A date with milliseconds
// is written with style 121 and its fraction; a float in the shortest text that reads back
// as the same value.
QString GetSQLValue(const DbValue& value);

// QuoteString, then control characters (codes 0 to 31) written as ' + CHAR(n) + ' when
// encodeControlChars; with splitLines, CR LF pairs stay real line breaks and a line that reads
// GO gets '+' appended so that it cannot be taken for a batch separator.
QString GetSQLString(const QString& text, bool quote, bool encodeControlChars, bool splitLines);

// Every ' doubled; enclosed in single quotes when quote is true.
QString QuoteString(const QString& text, bool quote);

// QuoteString with quotes, prefixed N when the text holds characters beyond ASCII: a server
// converts a plain literal to its code page and would turn letters it cannot hold into '?'.
QString QuoteUnicodeString(const QString& text);

// A call of a (system) procedure with text arguments: "EXEC " + procedure + " " + the arguments
// as GetSQLValue writes them, separated by ", ". A procedure argument must be one constant, so
// when an argument's literal would need CHAR() or a split line (a control character, a line
// reading GO), every argument goes through a variable instead:
// DECLARE @p1 nvarchar(4000), ... SELECT @p1 = ..., ... EXEC procedure @p1, ...
QString ExecProcedureSQL(const QString& procedure, const QStringList& arguments);

// ---- Text inside comments ------------------------------------------------------------------

// The text made safe for a "-- " comment line: every line break (CR, LF and the other
// characters that tools may take for one) becomes a blank, so that nothing after it can leave
// the comment.
QString CommentLineText(const QString& text);

// The text made inert inside a /* ... */ block comment: "/*" and "*/" are broken up ("/ *",
// "* /") so that the text can neither end the comment nor nest another, and a line that reads
// GO is commented out ("-- GO") so that no batch ends inside the comment.
QString BlockCommentText(const QString& text);

// ---- Identifiers and data types ------------------------------------------------------------

// [first] with ] doubled, then .[second] and .[third] when those are not empty.
QString QuoteName(const QString& first, const QString& second = QString(), const QString& third = QString());
// prefix + "." + QuoteName(name), made in one string of its size.
QString QuoteNameAfter(const QString& prefix, const QString& name);

// The type name (bracket-quoted when quote), with (length) for the character and binary types
// and (length, scale) for numeric and decimal.
QString FormatDataType(bool quote, const QString& typeName, int length, int scale);

// ---- Masking of SQL text -------------------------------------------------------------------

// One entry of a delimiter table: element 0 opens a stretch; the following elements close it,
// up to an optional empty string; elements after the empty string are escape sequences that
// look like a closer but do not end the stretch.
using DelimiterEntry = QStringList;
using DelimiterTable = QList<DelimiterEntry>;

// ' ... '  (the table used when none is given)
const DelimiterTable& DefaultDelimiters();
// string literals with '' escapes, /* block */ comments (nested ones included) and -- line
// comments (ending at CR LF, LF or the character with code 0), and [bracketed] and "quoted"
// names with ]] and "" escapes
const DelimiterTable& CommentDelimiters();
// [bracketed names] with ]] escapes
const DelimiterTable& BracketDelimiters();

// Replaces every delimited stretch by a placeholder (startMarker + number + endMarker) and
// appends the stretch, delimiters included, to literals; numbering continues from the list's
// length. Empty markers mean the characters with codes 2 (start) and 1 (end); an empty
// terminator means the character with code 0; a null table means DefaultDelimiters().
// Throws TovimarException(500, "StringLiteralExtract", "Nesting Error") when a stretch is
// not closed. Linear in the length of the text.
QString StringLiteralExtract(const QString& text, QStringList& literals, const DelimiterTable* delimiters = nullptr,
                             const QString& startMarker = QString(), const QString& endMarker = QString(),
                             const QString& terminator = QString());

// Puts the literals back: for each list position from the last to the first, the first
// occurrence of its placeholder is replaced by the entry, unless the entry is empty or (with
// prefixes) begins with none of the prefixes (case-insensitive). literals is not changed.
QString StringLiteralRestore(const QString& text, const QStringList& literals, const QStringList* prefixes = nullptr,
                             const QString& startMarker = QString(), const QString& endMarker = QString());

// Masks block and line comments (a line comment includes its line break); string literals and
// quoted names are recognised, so that ' or -- or /* inside them does not start anything, and
// left in place.
QString MaskComments(const QString& text, QStringList& literals);

// Masks every [bracketed name] (]] inside a name does not end it).
QString MaskBracketedNames(const QString& text, QStringList& literals);

// Replaces every placeholder by its literal (default markers, no prefix list).
QString RestoreMasked(const QString& text, const QStringList& literals);

// ---- Reading and replacing object names ----------------------------------------------------

// Reads the object name at or after position (1-based), sets position to its first character
// and returns the name as written: brackets, double quotes, owner qualification and a ;n group
// number included. ]] and "" inside a quoted part do not end it. When only delimiters follow,
// the result is empty and position is not changed.
QString GetObjectNameAt(const QString& text, int& position);

// Rewrites the stored CREATE text of a view, procedure, function or trigger: the first findWord
// becomes replaceWord (when both are given), the name after keyword becomes newName (+ ";" +
// number when number > 1) and, when onName is given, the table name after ON becomes onName.
// Comments are left untouched, also one between the keyword and the name or right after the
// name. The result is passed through NormalizeLineBreaks.
QString ReplaceObjectName(const QString& definition, const QString& findWord, const QString& replaceWord,
                          const QString& keyword, const QString& newName, const QString& onName, int number);

// CR LF, lone CR, lone LF and the character with code 0 each count as one line break; breaks at
// the start and the end are dropped; the result is CR LF followed by the lines joined by CR LF.
QString NormalizeLineBreaks(const QString& text);

// ---- Lists ---------------------------------------------------------------------------------

// The rows in ascending order of the text keyOf(row) returns, compared case-insensitively;
// rows with equal keys keep their input order (a stable O(n log n) sort).
template <typename Row, typename KeyOf>
QList<Row> GetSortedCollection(const QList<Row>& rows, KeyOf keyOf) {
    QList<Row> sorted = rows;
    std::stable_sort(sorted.begin(), sorted.end(), [&keyOf](const Row& a, const Row& b) {
        return QString::compare(keyOf(a), keyOf(b), Qt::CaseInsensitive) < 0;
    });
    return sorted;
}

// The rows in ascending order of their element column (a row without it sorts as "").
QList<QStringList> GetSortedCollection(const QList<QStringList>& rows, int column);
