#pragma once
// A Source and a Destination database built on the simulated server from two scripts, each
// named after its file as a script without USE is.
#include "main/sim_database.h"
#include "main/sync_verification.h"
#include "platform/progress.h"
#include "support/test_files.h"

#include <memory>
#include <vector>

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

// A sync from Source to Destination verified on the simulated server: the report and its scripts
// as SummaryLine writes them, without the index. The models, and the folder with the execution
// log, stay for the whole test program (the report's scripts point into the models).
struct VerifiedPair {
    QStringList Scripts;
    VerificationReport Report;
};

inline VerifiedPair VerifyScripts(const QByteArray& source, const QByteArray& dest, const ComparisonOptions& options = {}) {
    static std::vector<std::pair<std::unique_ptr<QTemporaryDir>, ScriptPair>> keep;
    auto dir = std::make_unique<QTemporaryDir>();
    const ScriptPair pair = LoadScriptPair(*dir, source, dest);
    keep.emplace_back(std::move(dir), pair);
    NullProgress progress;
    VerifiedPair result;
    result.Report = VerifySync(*pair.Source, *pair.Dest, options, keep.back().first->filePath(QStringLiteral("log.txt")), progress);
    for (const ScriptPtr& script : result.Report.Scripts) result.Scripts << SummaryLine(*script).section(QLatin1Char('\t'), 1);
    return result;
}
