#pragma once
// What the windows after a comparison share and hand on to each other: the Source (DB1) and the
// Destination (DB2) database and the generation context that regenerates their scripts (the
// rename dialog) and produces the difference viewer's definitions (the script window). The last
// window that holds the session releases the databases.
#include "compare/generation_context.h"

#include <memory>

struct ComparisonSession {
    std::shared_ptr<Tovimar_Database> DB1;  // Source
    std::shared_ptr<Tovimar_Database> DB2;  // Destination: the scripts run here
    GenerationContext Context;              // DB1 and DB2 point at the two above
    std::unique_ptr<SourceDataReader> SourceData;
};
using SessionPtr = std::shared_ptr<ComparisonSession>;

// A session for two loaded and linked databases; the data copy of a rebuilt table reads the
// Source through its connection when it has one.
SessionPtr MakeComparisonSession(std::shared_ptr<Tovimar_Database> db1, std::shared_ptr<Tovimar_Database> db2,
                                 bool ignoreDataLoss);
