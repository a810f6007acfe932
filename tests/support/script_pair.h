#pragma once
// A Source and a Destination database built on the simulated server from two scripts, each
// named after its file as a script without USE is.
#include "main/sim_database.h"
#include "platform/progress.h"
#include "support/test_files.h"

#include <memory>

struct ScriptPair {
    std::shared_ptr<Tovimar_Database> Source;
    std::shared_ptr<Tovimar_Database> Dest;
};

inline ScriptPair LoadScriptPair(const QTemporaryDir& dir, const QByteArray& source, const QByteArray& dest,
                                 const QString& sourceName = QStringLiteral("source"),
                                 const QString& destName = QStringLiteral("dest")) {
    NullProgress progress;
    ScriptPair pair;
    pair.Source = LoadScriptDatabase({WriteFile(dir, sourceName + QStringLiteral(".sql"), source)}, QString(), progress);
    pair.Dest = LoadScriptDatabase({WriteFile(dir, destName + QStringLiteral(".sql"), dest)}, QString(), progress);
    EXPECT_TRUE(pair.Source && pair.Dest);
    return pair;
}
