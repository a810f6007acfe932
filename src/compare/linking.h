#pragma once
// Pairs the objects of the Source and Destination models by name.
#include "schema/model.h"

// Links the two databases and their collections in this order: Views, Procedures, Functions,
// Roles, Tables (with the tables' contents), Permissions, Catalogs.
void LinkDatabases(Tovimar_Database& db1, Tovimar_Database& db2);
