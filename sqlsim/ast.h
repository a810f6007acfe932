// Syntax tree of parsed T-SQL statements and expressions.
#pragma once

#include "sqlsim/server.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace sqlsim {

struct Expr;
struct SelectStmt;
struct Statement;
using ExprPtr = std::shared_ptr<Expr>;
using SelectPtr = std::shared_ptr<SelectStmt>;
using StmtPtr = std::shared_ptr<Statement>;

struct TypeSpec {
    QString name;        // as written (built-in or user type)
    int length = -1;     // -1 when not given
    int precision = -1;
    int scale = -1;
    bool IsSet() const { return !name.isEmpty(); }
};

enum class ExprKind {
    Literal, Column, Variable, Star, Unary, Binary, Compare, And, Or, Not, IsNull, In, Between,
    Like, Exists, Subquery, Case, Function, Cast
};

struct Expr {
    ExprKind kind = ExprKind::Literal;
    Value value;               // Literal
    QStringList parts;         // Column: name parts (last is the column); Star: qualifier parts
    QString name;              // Variable name, operator, function name (upper case)
    std::vector<ExprPtr> args; // operands, function arguments, IN list, CASE pairs
    ExprPtr operand;           // CASE operand, LIKE escape
    ExprPtr elseExpr;          // CASE ELSE
    SelectPtr subquery;        // IN / EXISTS / scalar subquery
    TypeSpec type;             // CAST/CONVERT target
    bool negated = false;      // NOT IN, NOT LIKE, NOT BETWEEN, IS NOT NULL
    bool distinct = false;     // aggregate DISTINCT
    bool star = false;         // COUNT(*)
    int start = 0, end = 0;    // source span
    // Column binding cache: scope generation and slot the name was last resolved to.
    mutable unsigned long long bindGen = 0;
    mutable int bindDepth = -1;
    mutable int bindSlot = -1;
    // Function: the property a property function's constant name asks for, resolved at the
    // first call (0: not yet, 1: answered by the general dispatch; see Executor::CallProperty).
    mutable signed char property = 0;
};

struct SelectItem {
    ExprPtr expr;
    QString alias;      // empty when none
    bool hasAlias = false;
};

enum class JoinKind { Cross, Inner, Left, Right, Full };

struct TableRef {
    // A named table/view/system table, a derived table, or a join of two refs.
    enum class Kind { Named, Derived, Join } kind = Kind::Named;
    QString server, database, owner, name;
    QString alias;
    SelectPtr derived;
    JoinKind join = JoinKind::Inner;
    std::shared_ptr<TableRef> left, right;
    ExprPtr on;
};
using TableRefPtr = std::shared_ptr<TableRef>;

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct SelectStmt {
    bool distinct = false;
    ExprPtr top;           // TOP n
    bool topPercent = false;
    std::vector<SelectItem> items;
    std::vector<std::pair<QString, ExprPtr>> assignments;  // SELECT @v = expr
    QString intoTable;
    std::vector<TableRefPtr> from;  // comma-separated sources
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    bool withRollup = false, withCube = false;
    ExprPtr having;
    SelectPtr unionNext;   // UNION [ALL] chain
    bool unionAll = false;
    std::vector<OrderItem> orderBy;  // applies to the whole union
    QString forXml;        // FOR XML mode (AUTO, RAW, EXPLICIT), empty when none
    bool xmlElements = false;  // FOR XML AUTO, ELEMENTS: columns as subelements
};

struct ObjectName {
    QString server, database, owner, name;
    int number = 0;  // procedure group number (;n)
};

struct ColumnDef;

struct ConstraintDef {
    enum class Kind { PrimaryKey, Unique, ForeignKey, Check, Default } kind = Kind::Check;
    QString name;
    bool clustered = false, clusteredGiven = false;
    QStringList columns;          // key columns (for column-level: filled with the column)
    std::vector<bool> descending;
    ObjectName refTable;
    QStringList refColumns;
    bool cascadeDelete = false, cascadeUpdate = false;
    bool notForReplication = false;
    ExprPtr expr;                 // CHECK/DEFAULT expression
    QString exprText;             // source text of the expression
    int fillFactor = 0;
    QString fileGroup;
    QString forColumn;            // DEFAULT ... FOR column (ALTER TABLE ADD)
    bool withValues = false;      // DEFAULT ... WITH VALUES: existing rows get the default too
};

struct ColumnDef {
    QString name;
    TypeSpec type;
    int nullable = -1;  // -1 not given, 0 NOT NULL, 1 NULL
    bool identity = false;
    long long seed = 1, incr = 1;
    bool identityNotForRepl = false;
    bool rowGuidCol = false;
    QString collation;
    ExprPtr computed;
    QString computedText;
    std::vector<ConstraintDef> constraints;
};

struct ProcParam {
    QString name;
    TypeSpec type;
    ExprPtr defaultValue;
    bool output = false;
};

enum class StmtKind {
    Select, Insert, Update, Delete, CreateTable, CreateIndex, CreateView, CreateProcedure,
    CreateFunction, CreateTrigger, CreateDatabase, AlterTable, Drop, DropDatabase, Use, Set,
    Declare, If, While, Block, Exec, ExecString, Print, RaisError, Grant, Return, Noop,
    BeginTran, CommitTran, RollbackTran, Truncate, WaitFor,
    // Cursors: text is the cursor's name (or @variable); FETCH keeps its direction in kindWord,
    // the ABSOLUTE/RELATIVE count in args and the INTO variables in names; DECLARE keeps its
    // options in withOptions and FOR UPDATE OF columns in names; flag: GLOBAL was written.
    DeclareCursor, OpenCursor, FetchCursor, CloseCursor, DeallocateCursor, CreateStatistics
};

struct Statement {
    StmtKind kind = StmtKind::Noop;
    int start = 0, end = 0;       // source span
    SelectPtr select;             // Select; Insert ... SELECT
    ObjectName object;            // target object
    QString text;                 // CREATE ... text; SET option name; USE database
    QStringList names;            // column list, option values, DROP names
    std::vector<ObjectName> objects;  // DROP list
    std::vector<std::vector<ExprPtr>> rows;  // INSERT VALUES
    bool insertDefaultValues = false;
    std::vector<std::pair<QString, ExprPtr>> assignments;  // UPDATE SET col = expr; SET @v = expr
    ExprPtr where;                // UPDATE/DELETE WHERE, IF condition
    std::vector<TableRefPtr> from;  // UPDATE/DELETE FROM
    std::vector<ColumnDef> columns;        // CREATE TABLE
    std::vector<ConstraintDef> constraints; // CREATE TABLE / ALTER TABLE ADD
    std::vector<ProcParam> params;         // procedures/functions; DECLARE
    std::vector<StmtPtr> body;    // BEGIN...END, IF branches (body[0] then, body[1] else), proc body
    std::vector<ExprPtr> args;    // EXEC args, RAISERROR args, PRINT expr
    QStringList argNames;         // EXEC @p = value
    QString kindWord;             // DROP kind, GRANT/DENY/REVOKE, ALTER sub-action
    bool flag = false;            // option ON/OFF; UNIQUE; NOCHECK; WITH NOCHECK
    bool alter = false;           // ALTER VIEW/PROCEDURE/FUNCTION/TRIGGER
    bool clustered = false;
    int fillFactor = 0;
    int indexStatus = 0;          // IGNORE_DUP_KEY, STATISTICS_NORECOMPUTE bits
    std::vector<bool> descending; // CREATE INDEX: per key column, DESC
    bool padIndex = false;
    QString fileGroup, textFileGroup;
    QStringList privileges;       // GRANT
    QStringList grantees;
    bool withGrantOption = false;
    bool cascade = false;
    bool insertTrigger = false, updateTrigger = false, deleteTrigger = false, insteadOf = false;
    QString returnVariable;       // EXEC @rc = proc
    QStringList withOptions;      // CREATE VIEW/PROCEDURE/FUNCTION/TRIGGER ... WITH (upper case)
};

}  // namespace sqlsim
