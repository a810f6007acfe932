#pragma once
// Small helpers shared by the tests of the comparison engine, and its golden files: the
// scripts rendered as a saved file holds them, without the header (titles, parts, GO lines).
#include "compare/generation_context.h"
#include "compare/generation_driver.h"
#include "compare/generators.h"
#include "compare/script_export.h"
#include "support/golden_text.h"
#include "support/model_builder.h"

#include <QSet>
#include <ostream>
#include <string>

inline QString RenderScripts(const ScriptList& scripts) {
    QString text;
    for (const ScriptPtr& script : scripts) text += ExportScriptText(*script);
    return text;
}
// Compares the rendered scripts with the golden file of caseName.
inline void ExpectGoldenScripts(const QString& caseName, const ScriptList& scripts) {
    ExpectGolden(caseName, RenderScripts(scripts));
}

// Readable failure messages for scripts; those for Qt texts come with the model builder.
inline void PrintTo(const Tovimar_Script& script, std::ostream* os) {
    *os << script.GetTitle().toStdString() << " (" << script.GetSQLCount() << " parts)";
}
inline void PrintTo(const ScriptPtr& script, std::ostream* os) {
    if (script)
        PrintTo(*script, os);
    else
        *os << "(no script)";
}

namespace family_test {

inline const QString dbo = QStringLiteral("dbo");
inline QString Q(const char* text) { return QString::fromUtf8(text); }
inline std::string S(const QString& text) { return text.toStdString(); }

// "ACTION Typ FullName-with-table" per script, in list order.
inline QStringList Kinds(const ScriptList& scripts) {
    QStringList out;
    for (const ScriptPtr& script : scripts)
        out << script->Action + QLatin1Char(' ') + script->Typ + QLatin1Char(' ') +
                   (script->ScriptedObj ? script->ScriptedObj->FullName(true) : QString());
    return out;
}

// A Source and a Destination database with the context that compares them.
struct Pair {
    TestDb src{Q("S"), Q("Src")};
    TestDb dst{Q("D"), Q("Dst")};
    GenerationContext ctx = NewContext();
    GenerationContext NewContext() {
        GenerationContext fresh;
        fresh.DB1 = src.Get();
        fresh.DB2 = dst.Get();
        return fresh;
    }
    void Link() { LinkPair(src, dst); }
    // Every script of the pair, through the generation driver's passes; link first.
    ScriptList Generate(bool refresh = false) { return GenerateAllScripts(ctx, nullptr, refresh); }
    // The scripts of one family: the Source's objects against the Destination's.
    template <class P>
    ScriptList Scripts(const Collection<P>& mine, const Collection<P>& theirs) {
        ScriptList scripts;
        GenerateScripts(mine, theirs, scripts, ctx);
        return scripts;
    }
};

// A pair whose databases each hold the table [dbo].[T].
struct TablePair : Pair {
    model_builder::TableBuilder s = src.Table(dbo, Q("T"));
    model_builder::TableBuilder d = dst.Table(dbo, Q("T"));
};

// Leaves out the grantees, roles or users named here; includes everything else.
class ExcludeNames : public ObjectFilter {
public:
    explicit ExcludeNames(const QStringList& names) {
        for (const QString& name : names) excluded_.insert(QuoteName(name).toCaseFolded());
    }
    bool IsObjectIncluded(const QString& typeCode, const QString& fullName, int, const QString&, long& flags,
                          QStringList&) override {
        flags = 0;
        return typeCode != QLatin1String("gr") || !excluded_.contains(fullName.toCaseFolded());
    }

private:
    QSet<QString> excluded_;
};

}  // namespace family_test
