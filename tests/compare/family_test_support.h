#pragma once
// Small helpers shared by the tests of the object-family generators.
#include "compare/generation_context.h"
#include "compare/generators.h"
#include "support/golden.h"
#include "support/model_builder.h"

#include <QSet>
#include <ostream>
#include <string>

// Readable failure messages for Qt texts come with the model builder (support/qt_print.h).

namespace family_test {

inline std::string S(const QString& text) { return text.toStdString(); }

// "ACTION Typ FullName-with-table" per script, in list order.
inline QStringList Kinds(const ScriptList& scripts) {
    QStringList out;
    for (const ScriptPtr& script : scripts)
        out << script->Action + QLatin1Char(' ') + script->Typ + QLatin1Char(' ') +
                   (script->ScriptedObj ? script->ScriptedObj->FullName(true) : QString());
    return out;
}

// A generation context for a Source / Destination pair.
inline GenerationContext Context(TestDb& source, TestDb& dest) {
    GenerationContext ctx;
    ctx.DB1 = source.Get();
    ctx.DB2 = dest.Get();
    return ctx;
}

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
