#pragma once
// The sample database of examples/sample.schema, built in code: a small bookshop with every kind
// of object the model knows (identity, computed, defaulted and collated columns, PRIMARY KEY and
// UNIQUE constraints, plain indexes, checks, foreign keys — one self-referencing —, triggers,
// views, a numbered procedure group, a function, roles with members, object and column
// permissions, a full-text catalog and index, two file groups). Definitions are the texts the
// server keeps for them.
//
// examples/sample.schema is regenerated from this on purpose only:
//   UPDATE_EXAMPLES=1 build/tests/test_schema --gtest_filter='SampleDatabase.*'
#include "schema/model.h"

#include <memory>

// Fills db (expected empty) with the sample schema.
void BuildSampleDatabase(Tovimar_Database& db);

// The snapshot file's place in the source tree.
QString SampleSnapshotPath();
