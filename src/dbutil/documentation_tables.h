#pragma once
// The documentation tables of a database: _TovimarObject lists every table, view, procedure and
// function, _TovimarMember their columns, indexes, relations and parameters, each row with free
// text fields (description, comments) that users fill in with other tools. An update rebuilds
// both tables from the loaded schema under temporary names, carries the descriptions and
// comments of the previous version over (keeping documented objects and members that no longer
// exist, marked as deleted), then replaces the previous tables, all in one transaction.
#include <QHash>
#include <QString>

class Progress;
class Prompt;
class Tovimar_Database;

class DocumentationTables {
public:
    static constexpr const char* ObjectTable = "_TovimarObject";
    static constexpr const char* MemberTable = "_TovimarMember";
    static constexpr const char* TempPrefix = "_tmp_";

    // db must be loaded and keep its connection; its tables, views, procedures and functions are
    // documented in collection order.
    DocumentationTables(Tovimar_Database& db, Progress& progress) : db_(db), progress_(progress) {}

    enum class Outcome { Updated, Aborted };
    // Runs the whole update on the database's connection (steps below). Aborted when the user
    // cancelled or building failed (LastError says why); the transaction is then rolled back, so
    // the previous tables stay as they were. An error of carrying over or replacing the tables
    // reaches the caller, rolled back too.
    Outcome Update();
    // Why building failed (the server's message); empty when the user cancelled.
    QString LastError;

    // The texts of the update, in the order Update executes them.
    static QString CreateTablesSQL();
    // Emits the object and member rows as INSERT statements into the temporary tables; false when
    // the user cancelled. Object numbers are counted in emission order (identity 1, 2, 3, ... of
    // the new, empty table), so member rows name their object without reading identities back.
    bool BuildRows();
    const QString& ObjectRows() const { return objectRows_; }
    const QString& MemberRows() const { return memberRows_; }
    int ObjectCount() const { return objectCount_; }
    static QString ParameterStatements();
    static QString CarryOverSQL();
    static QString DropPreviousSQL();
    static QString FinalizeSQL();

private:
    int CountObject(const QString& type, const QString& name, const QString& owner);
    void AddMember(const QString& columns, const QString& values);

    Tovimar_Database& db_;
    Progress& progress_;
    QString objectRows_;
    QString memberRows_;
    // The object number, a 32-bit count: databases with more than 32,767 objects are documented
    // with every member pointing at its own object.
    int objectCount_ = 0;
    QHash<QString, int> tableNumbers_;  // case-folded FullName of a table -> its object number
};

// The documentation update as the user starts it: asks "Database Documentation Tables will be
// updated. Continue?", runs the update and tells the outcome ("Documentation Tables successfully
// updated!" or "Update of Documentation Tables aborted!"). Returns true when the tables were
// updated. Errors of the run itself reach the caller.
bool UpdateDocumentationTables(Tovimar_Database& db, Progress& progress, Prompt& prompt);
