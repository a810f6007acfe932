#include "compare/linking.h"

#include "schema/constraint_links.h"

void LinkDatabases(Tovimar_Database& db1, Tovimar_Database& db2) {
    db1.SetOtherObj(&db2);
    Tovimar_Database::LinkObjects(db1.Views, db2.Views);
    Tovimar_Database::LinkObjects(db1.Procedures, db2.Procedures);
    Tovimar_Database::LinkObjects(db1.Functions, db2.Functions);
    Tovimar_Database::LinkObjects(db1.Roles, db2.Roles);
    Tovimar_Database::LinkObjects(db1.Tables, db2.Tables);
    // A foreign key is paired by its referenced table's counterpart, which a table linked early
    // did not have yet.
    for (const TablePtr& table : db1.Tables)
        if (table && table->OtherObj()) LinkConstraintsByContent(*table);
    Tovimar_Database::LinkObjects(db1.Permissions, db2.Permissions);
    Tovimar_Database::LinkObjects(db1.Catalogs, db2.Catalogs);
    Tovimar_Database::LinkObjects(db1.Types, db2.Types);
}
