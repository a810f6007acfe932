#pragma once
// Pairs the objects of the Source and Destination models by name.
#include "schema/model.h"

// Links the two databases and each pair of their collections: Views, Procedures, Functions,
// Roles, Tables (with the tables' contents, and the constraints paired by content once all
// tables are linked), Permissions, Catalogs, Types. The kinds are independent of each other;
// the tables are linked on two threads, with the same links as linking them one by one.
void LinkDatabases(Tovimar_Database& db1, Tovimar_Database& db2);
