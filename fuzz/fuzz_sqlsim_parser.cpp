// libFuzzer target: any text must lex, parse and run against a fresh server without crashing,
// leaking or overflowing the stack (deep nesting ends in an error).
#include "sqlsim/lexer.h"
#include "sqlsim/parser.h"
#include "sqlsim/server.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    sqlsim::SplitBatches(text);
    sqlsim::Tokenize(text, true);
    sqlsim::Tokenize(text, false);
    sqlsim::ParseResult parsed = sqlsim::ParseBatch(text, true);
    if (size < 1024 && !text.contains(QLatin1String("while"), Qt::CaseInsensitive)) {
        // Running the statements exercises the engine too, batch by batch as a script runs
        // (WHILE loops are left out: they may legitimately run for a long time).
        sqlsim::Server server;
        auto session = server.Connect(QStringLiteral("tempdb"));
        if (parsed.ok) session->Execute(text);
        session->ExecuteScript(text);
    }
    return 0;
}
