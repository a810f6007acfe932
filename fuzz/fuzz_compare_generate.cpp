// libFuzzer target for the comparison engine: the input holds two snapshots separated by a line
// "=====" (Source first; without the line the Destination is empty). Whatever models the snapshot
// reader accepts must link, generate their scripts, sort them and write their text without a crash,
// a hang or a leak; a TovimarException (a definition that cannot be scanned) is an allowed outcome.
#include "compare/generation_driver.h"
#include "compare/linking.h"
#include "compare/script_export.h"
#include "platform/tovimar_exception.h"
#include "schema/snapshot_file.h"

#include <QDateTime>
#include <cstddef>
#include <cstdint>

namespace {
bool Read(const QByteArray& bytes, Tovimar_Database& db) {
    try {
        return ReadSchemaBytes(bytes, db, false);
    } catch (const TovimarException&) {
        return false;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = bytes.indexOf("\n=====\n");
    Tovimar_Database source;
    Tovimar_Database dest;
    if (!Read(split < 0 ? bytes : bytes.left(split + 1), source)) return 0;
    if (split >= 0 && !Read(bytes.mid(split + 7), dest)) return 0;
    for (const bool ignoreDataLoss : {false, true}) {
        GenerationContext ctx;
        ctx.DB1 = &source;
        ctx.DB2 = &dest;
        ctx.IgnoreDataLoss = ignoreDataLoss;
        try {
            LinkDatabases(source, dest);
            const ScriptList scripts = GenerateAllScripts(ctx, nullptr, ignoreDataLoss);
            for (const ScriptPtr& script : scripts) GetTagString(*script);
            for (const ScriptPtr& script : scripts) ExportScriptText(*script);
        } catch (const TovimarException&) {
        }
    }
    return 0;
}
