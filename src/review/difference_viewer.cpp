#include "review/difference_viewer.h"

#include "compare/generators.h"

#include <QProcess>
#include <exception>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The counterpart links of a table's contents, put aside while the table is unlinked.
class SavedContentLinks {
public:
    void Save(Tovimar_Table* table) {
        if (!table) return;
        SaveAll(table->Fields, fields_);
        SaveAll(table->Indexes, indexes_);
        SaveAll(table->Relations, relations_);
        SaveAll(table->Defaults, defaults_);
        SaveAll(table->Checks, checks_);
        SaveAll(table->Triggers, triggers_);
    }
    // Setting every saved object's counterpart again restores exactly the saved pairs (links are
    // symmetric, so a later assignment never breaks an earlier one).
    void Restore() {
        RestoreAll(fields_);
        RestoreAll(indexes_);
        RestoreAll(relations_);
        RestoreAll(defaults_);
        RestoreAll(checks_);
        RestoreAll(triggers_);
    }

private:
    template <class P, class T>
    static void SaveAll(const Collection<P>& col, std::vector<std::pair<T*, T*>>& saved) {
        for (const P& object : col)
            if (object) saved.emplace_back(object.get(), object->OtherObj());
    }
    template <class T>
    static void RestoreAll(const std::vector<std::pair<T*, T*>>& saved) {
        for (const auto& [object, other] : saved) object->SetOtherObj(other);
    }
    std::vector<std::pair<Tovimar_Field*, Tovimar_Field*>> fields_;
    std::vector<std::pair<Tovimar_Index*, Tovimar_Index*>> indexes_;
    std::vector<std::pair<Tovimar_Relation*, Tovimar_Relation*>> relations_;
    std::vector<std::pair<Tovimar_Default*, Tovimar_Default*>> defaults_;
    std::vector<std::pair<Tovimar_Check*, Tovimar_Check*>> checks_;
    std::vector<std::pair<Tovimar_Trigger*, Tovimar_Trigger*>> triggers_;
};

QString Text(const ScriptList& scripts) {
    QString text;
    for (const ScriptPtr& script : scripts)
        if (script) text += script->GetSQL(0, false) + CrLf + QStringLiteral("GO") + CrLf;
    return text;
}

// Generates the create scripts of both objects while they are unlinked; returns false when
// object is not of type T.
template <class T>
bool GenerateUnlinked(Tovimar_Object* object, Tovimar_Object*& sourceSide, ScriptList& sourceScripts,
                      ScriptList& destScripts, GenerationContext& ctx) {
    T* one = dynamic_cast<T*>(object);
    if (!one) return false;
    T* other = one->OtherObj();
    T* src = sourceSide == one ? one : other;
    T* dst = src == one ? other : one;
    SavedContentLinks contents;
    if constexpr (std::is_same_v<T, Tovimar_Table>) {
        contents.Save(one);
        contents.Save(other);
    }
    struct Relink {
        T* one;
        T* other;
        SavedContentLinks& contents;
        GenerationContext& ctx;
        ~Relink() {
            ctx.DiffViewMode = false;
            one->SetOtherObj(other);
            contents.Restore();
        }
    } relink{one, other, contents, ctx};
    one->SetOtherObj(nullptr);
    ctx.DiffViewMode = true;
    try {
        if (src) GenerateScript(*src, true, sourceScripts, ctx);
    } catch (const std::exception&) {
    }
    try {
        if (dst) GenerateScript(*dst, true, destScripts, ctx);
    } catch (const std::exception&) {
    }
    return true;
}

}  // namespace

DifferenceTexts DifferenceViewTexts(const Tovimar_Script& script, const Tovimar_Database& source,
                                    GenerationContext& ctx) {
    Tovimar_Object* object = script.ScriptedObj;
    if (!object) return {};
    Tovimar_Object* sourceSide = object->Database() == &source ? object : object->OtherObject();
    ScriptList sourceScripts;
    ScriptList destScripts;
    const bool regenerate = ctx.Regenerate;
    GenerateUnlinked<Tovimar_Table>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Field>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Index>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Relation>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Default>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Check>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Trigger>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_View>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Procedure>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Function>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Role>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Permission>(object, sourceSide, sourceScripts, destScripts, ctx) ||
        GenerateUnlinked<Tovimar_Catalog>(object, sourceSide, sourceScripts, destScripts, ctx);
    // A create script generated here is no reason to run the comparison's passes again.
    ctx.Regenerate = regenerate;
    return {Text(sourceScripts), Text(destScripts)};
}

QStringList DifferenceViewerArguments(const QString& command, const QString& sourceFile,
                                      const QString& destinationFile) {
    QStringList arguments = QProcess::splitCommand(command.trimmed());
    for (QString& argument : arguments) {
        QString replaced;
        for (qsizetype i = 0; i < argument.size(); ++i) {
            if (argument[i] == QLatin1Char('%') && i + 1 < argument.size()) {
                const QChar next = argument[i + 1].toLower();
                if (next == QLatin1Char('s') || next == QLatin1Char('d')) {
                    replaced += next == QLatin1Char('s') ? sourceFile : destinationFile;
                    ++i;
                    continue;
                }
            }
            replaced += argument[i];
        }
        argument = replaced;
    }
    return arguments;
}
