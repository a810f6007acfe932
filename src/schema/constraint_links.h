#pragma once
// Constraints declared without a name (DEFAULT, PRIMARY KEY, UNIQUE, CHECK, FOREIGN KEY) get a
// name from the server, and the same schema created twice gets different names. Such
// constraints are paired by what they constrain instead of by name.
#include "schema/model.h"

// True when name has the form SQL Server 2000 gives an unnamed constraint of the kind prefix
// ("PK", "UQ", "DF", "CK" or "FK"): prefix + "__" + the first characters of the table's name
// (at most 16) + "__" + the constraint's object id as 8 upper-case hex digits; for a default, a
// foreign key and a column check the table part is at most 9 characters followed by "__" and
// the column's first characters, 16 characters together, so that a name has at most 30. The
// table and column parts are not compared with the current names: a table renamed since keeps
// its constraints' names.
bool IsGeneratedConstraintName(const QString& name, const QString& prefix);

// The same for a key constraint (an index that is neither a primary key nor a UNIQUE constraint
// has a name that was chosen), a relation, a default or a check; false for other objects.
bool HasGeneratedName(const Tovimar_Object& object);

// After the contents of table and its counterpart were linked by name: pairs the constraints
// whose name is generated on either side by what they constrain — a default by its column, a
// primary key by its table, a UNIQUE constraint by its columns, a check by its expression, a
// foreign key by its columns and the referenced table and columns (columns mapped through the
// column links) — preferring a partner with the same definition. A default linked by name to
// one on another column is unlinked: it is dropped there and added on its own column.
void LinkConstraintsByContent(Tovimar_Table& table);
