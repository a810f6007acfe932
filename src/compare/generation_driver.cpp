#include "compare/generation_driver.h"

#include "compare/generators.h"
#include "platform/side_by_side.h"
#include "platform/tovimar_exception.h"
#include "schema/sql_text.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <exception>
#include <iterator>
#include <optional>
#include <queue>
#include <thread>
#include <vector>

namespace {

// The column counters count one pass: a repeated pass must not add its column drops to those of
// the abandoned one.
void ResetFieldCounters(Tovimar_Database& db) {
    for (const TablePtr& table : db.Tables) {
        table->FieldsAppended = 0;
        table->FieldsDropped = 0;
    }
}

void ResetRunState(Tovimar_Database& db) {
    for (const TablePtr& table : db.Tables) {
        // Set again in this run when a full-text key index is dropped; a mark left by an earlier
        // run (before a rename was declared) must not re-create an unchanged full-text index.
        table->FTI_DeleteRecreate = false;
    }
    for (const TablePtr& table : db.Tables) table->DeleteRecreate = table->DataCopyDefs.Count() > 0;
    for (const ViewPtr& view : db.Views) view->DeleteRecreate = false;
    for (const ProcedurePtr& procedure : db.Procedures) procedure->DeleteRecreate = false;
    for (const FunctionPtr& function : db.Functions) function->DeleteRecreate = false;
}

// The scripts of the views, procedures and functions, and then of the permissions, made on a
// second thread while the tables are generated. The code objects' generators read only the code
// objects of both sides (and a view's columns) and write only a procedure's or function's
// DeleteRecreate, which only the permissions read, after them on this thread; the table
// generators read none of that, and write nothing these read but a table's rebuild mark, which
// the permissions read from the marks as the pass began (GenerationContext::TablesRebuilt).
class SideScripts {
public:
    explicit SideScripts(GenerationContext& ctx) : ctx_(ctx) {
        for (const Tovimar_Database* db : {ctx.DB1, ctx.DB2})
            for (const TablePtr& table : db->Tables)
                if (table && table->DeleteRecreate) rebuilt_.insert(table.get());
        ctx.TablesRebuilt = &rebuilt_;
        try {
            Start(ctx);
        } catch (...) {
            ctx.TablesRebuilt = nullptr;  // no thread: the marks go with this object
            throw;
        }
    }
    SideScripts(const SideScripts&) = delete;
    SideScripts& operator=(const SideScripts&) = delete;
    ~SideScripts() {
        Join();
        ctx_.TablesRebuilt = nullptr;
    }

    // Appends the code objects' scripts, or throws their generators' error.
    void AppendCodeObjectsTo(ScriptList& scripts) {
        Join();
        if (!codeObjectsDone_) std::rethrow_exception(error_);
        scripts.insert(scripts.end(), codeObjects_.begin(), codeObjects_.end());
    }
    // Appends the permissions' scripts, or throws their generator's error.
    void AppendPermissionsTo(ScriptList& scripts) {
        Join();
        if (error_) std::rethrow_exception(error_);
        scripts.insert(scripts.end(), permissions_.begin(), permissions_.end());
    }

private:
    void Start(GenerationContext& ctx) {
        thread_ = std::thread([this, &ctx] {
            try {
                GenerateScripts(ctx.DB1->Views, ctx.DB2->Views, codeObjects_, ctx);
                GenerateScripts(ctx.DB1->Procedures, ctx.DB2->Procedures, codeObjects_, ctx);
                GenerateScripts(ctx.DB1->Functions, ctx.DB2->Functions, codeObjects_, ctx);
                codeObjectsDone_ = true;
                GenerateScripts(ctx.DB1->Permissions, ctx.DB2->Permissions, permissions_, ctx);
            } catch (...) {
                error_ = std::current_exception();
            }
        });
    }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    GenerationContext& ctx_;
    QSet<const Tovimar_DbObject*> rebuilt_;
    std::thread thread_;
    ScriptList codeObjects_;
    ScriptList permissions_;
    bool codeObjectsDone_ = false;
    std::exception_ptr error_;
};

// The tables of a run of this many Source tables are generated together (see CreateTables).
constexpr qsizetype kTableRun = 64;

// True when every Source table is created (the Destination has no tables) and none copies data:
// CreateTables may then make the tables' scripts on two threads.
bool CreatesEveryTable(const GenerationContext& ctx) {
    if (!ctx.DB2->Tables.IsEmpty() || ctx.DB1->Tables.Count() < 2 * kTableRun) return false;
    for (const TablePtr& table : ctx.DB1->Tables)
        if (table && table->DataCopyDefs.Count() > 0) return false;
    return true;
}

// What GenerateScripts gives for the Source's tables when the Destination has none (the create
// scripts of an export or of a database built from a snapshot), made on two threads. A table
// without counterpart takes its generator's create path (the table, its checks, indexes, foreign
// keys, triggers and full-text index), which writes only its own table's run state and reads the
// rest; a data copy, which reads the Source's rows, is left out by CreatesEveryTable. The threads
// take runs of tables in turn, each run's scripts in a list of its own, and the lists are joined
// in the tables' order: the same scripts in the same order. An error is that of the first table
// that fails, as one by one.
void CreateTables(GenerationContext& ctx, ScriptList& scripts) {
    const Collection<TablePtr>& tables = ctx.DB1->Tables;
    const qsizetype count = tables.Count();
    const size_t runs = static_cast<size_t>((count + kTableRun - 1) / kTableRun);
    std::vector<ScriptList> made(runs);
    std::vector<std::exception_ptr> errors(runs);
    std::atomic<size_t> nextRun{0};
    const auto generate = [&] {
        for (size_t run = nextRun.fetch_add(1); run < runs; run = nextRun.fetch_add(1)) {
            try {
                const qsizetype begin = static_cast<qsizetype>(run) * kTableRun;
                for (qsizetype i = begin; i < std::min(begin + kTableRun, count); ++i)
                    if (const TablePtr& table = tables[i]) GenerateScript(*table, true, made[run], ctx);
            } catch (...) {
                errors[run] = std::current_exception();
            }
        }
    };
    RunSideBySide(generate, generate);
    for (const std::exception_ptr& error : errors)
        if (error) std::rethrow_exception(error);
    size_t total = scripts.size();
    for (const ScriptList& list : made) total += list.size();
    scripts.reserve(total);
    for (ScriptList& list : made) scripts.insert(scripts.end(), std::make_move_iterator(list.begin()),
                                                 std::make_move_iterator(list.end()));
}

// GenerateScripts over the tables, where a pair the marking found unchanged and still holds
// (UnchangedPairHolds) only has its run state reset, which is all its generator would do.
void GenerateTables(GenerationContext& ctx, ScriptList& scripts) {
    const Collection<TablePtr>& tables = ctx.DB1->Tables;
    const bool marked = ctx.UnchangedPairs.size() == static_cast<size_t>(tables.Count());
    for (qsizetype i = 0; i < tables.Count(); ++i) {
        const TablePtr& table = tables[i];
        if (!table) continue;
        if (marked && ctx.UnchangedPairs[static_cast<size_t>(i)] && UnchangedPairHolds(*table))
            ResetUnchangedPair(*table);
        else
            GenerateScript(*table, true, scripts, ctx);
    }
    for (const TablePtr& table : ctx.DB2->Tables)
        if (table && !table->OtherObj()) GenerateScript(*table, false, scripts, ctx);
}

// One pass over both databases. Returns false when the pass was abandoned or ended with the
// regeneration flag set, so that it must run again. The scripts made on the second thread in an
// abandoned pass, and their error, are dropped with it, as if they had not been made.
bool GeneratePass(GenerationContext& ctx, bool refresh, ScriptList& scripts) {
    Tovimar_Database& db1 = *ctx.DB1;
    Tovimar_Database& db2 = *ctx.DB2;
    ctx.Regenerate = false;
    ResetFieldCounters(db1);
    ResetFieldCounters(db2);
    GenerateScripts(db1.Catalogs, db2.Catalogs, scripts, ctx);
    if (ctx.Regenerate) return false;
    std::optional<SideScripts> side;
    if (!refresh) side.emplace(ctx);
    GenerateScripts(db1.Types, db2.Types, scripts, ctx);
    if (CreatesEveryTable(ctx)) CreateTables(ctx, scripts);
    else GenerateTables(ctx, scripts);
    if (ctx.Regenerate) return false;
    if (!refresh) {
        // The code objects' and permissions' generators never set the regeneration flag.
        side->AppendCodeObjectsTo(scripts);
        GenerateScripts(db1.Roles, db2.Roles, scripts, ctx);
        if (ctx.Regenerate) return false;
        side->AppendPermissionsTo(scripts);
    }
    return !ctx.Regenerate;
}

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The Destination's side of a CHANGE script and the tables whose columns it may use (it uses
// none of any other table); none for every other script.
struct ColumnUser {
    const Tovimar_Object* Old = nullptr;
    const Tovimar_Table* Table = nullptr;
    const Tovimar_Table* Referenced = nullptr;
};

ColumnUser ColumnUserOf(const Tovimar_Script& script) {
    if (!script.ScriptedObj || !Same(script.Action, QStringLiteral("CHANGE"))) return {};
    const Tovimar_Object* old = script.ScriptedObj->OtherObject();
    const auto* part = dynamic_cast<const Tovimar_TableObject*>(old);
    if (!part) return {};
    const auto* relation = dynamic_cast<const Tovimar_Relation*>(part);
    return {old, part->Table, relation ? relation->PrimaryTable : nullptr};
}

// A column cannot be dropped while a key, index, foreign key or check uses it (5074). Those that
// only the Destination has are deleted before; those that change are dropped and created again
// by their CHANGE script, after the column scripts: the column is dropped after the last of them.
// Taken from the last drop to the first, each drop moving to just after the last script after it
// that uses its column, as one move at a time would place them: only drops move, and only
// forward, so the scripts after a drop's place are those after it in the given list, and drops
// that move behind one script keep their order. The users are listed per table, so that a drop
// looks only at its own table's.
void DropColumnsAfterTheirUsers(ScriptList& scripts) {
    const size_t count = scripts.size();
    std::vector<ColumnUser> users;
    users.reserve(count);
    QHash<const Tovimar_Table*, std::vector<size_t>> usersOf;  // by place, in list order
    for (size_t j = 0; j < count; ++j) {
        const ColumnUser user = ColumnUserOf(*scripts[j]);
        users.push_back(user);
        if (!user.Old) continue;
        if (user.Table) usersOf[user.Table].push_back(j);
        if (user.Referenced && user.Referenced != user.Table) usersOf[user.Referenced].push_back(j);
    }
    std::vector<std::pair<size_t, size_t>> moves;  // (the last user's place, the drop's place)
    for (size_t i = 0; i < count; ++i) {
        const Tovimar_Script& drop = *scripts[i];
        if (!Same(drop.Typ, QStringLiteral("Column")) || !Same(drop.Action, QStringLiteral("DELETE"))) continue;
        const auto* field = dynamic_cast<const Tovimar_Field*>(drop.ScriptedObj);
        if (!field) continue;
        const Tovimar_Table* table = field->Table();
        if (!table || table->DeleteRecreate) continue;  // the rebuild drops it; the script is a comment
        const auto found = usersOf.constFind(table);
        if (found == usersOf.constEnd()) continue;
        for (auto at = found->rbegin(); at != found->rend() && *at > i; ++at)
            if (UsesColumn(*users[*at].Old, *table, field->Name)) {
                moves.emplace_back(*at, i);
                break;
            }
    }
    if (moves.empty()) return;
    std::sort(moves.begin(), moves.end());
    std::vector<bool> moved(count, false);
    for (const auto& move : moves) moved[move.second] = true;
    ScriptList ordered;
    ordered.reserve(count);
    size_t next = 0;
    for (size_t j = 0; j < count; ++j) {
        if (moved[j]) continue;
        ordered.push_back(std::move(scripts[j]));
        for (; next < moves.size() && moves[next].first == j; ++next) ordered.push_back(std::move(scripts[moves[next].second]));
    }
    scripts.swap(ordered);
}

bool Matches(const Tovimar_Script& script, const QString& key) {
    return Same(script.Typ, key) || Same(script.Action, key);
}

// ---- Order of code objects by their dependencies ----------------------------------------------

bool IsCodeObjectType(const QString& typ) {
    return Same(typ, QStringLiteral("View")) || Same(typ, QStringLiteral("Procedure")) ||
           Same(typ, QStringLiteral("Function")) || Same(typ, QStringLiteral("Trigger"));
}

// The definitions of the code object a script is for (every group member of a procedure).
QStringList CodeDefinitions(const Tovimar_Object* object) {
    if (const auto* view = dynamic_cast<const Tovimar_View*>(object)) return {view->Definition};
    if (const auto* function = dynamic_cast<const Tovimar_Function*>(object)) return {function->Definition};
    if (const auto* trigger = dynamic_cast<const Tovimar_Trigger*>(object)) return {trigger->Definition};
    QStringList texts;
    if (const auto* procedure = dynamic_cast<const Tovimar_Procedure*>(object))
        for (int number : procedure->DefinitionsNumbers()) texts << procedure->Definition(number);
    return texts;
}

bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('@') || c == QLatin1Char('#') ||
           c == QLatin1Char('$');
}

// Every name a definition mentions outside its comments and string literals, in lower case:
// bare words, [bracketed] and "quoted" names (each part of a qualified name on its own).
void CollectNames(const QString& definition, QSet<QString>& names) {
    QStringList literals;
    QString text;
    try {
        static const QStringList quotedNames = {QStringLiteral("["), QStringLiteral("\"")};
        text = StringLiteralRestore(StringLiteralExtract(definition, literals, &CommentDelimiters()), literals,
                                    &quotedNames);
    } catch (const TovimarException&) {
        text = definition;  // the order is a best effort; generation reports the malformed text
    }
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text[i];
        if (c == QLatin1Char('[') || c == QLatin1Char('"')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : QLatin1Char('"');
            QString name;
            qsizetype j = i + 1;
            for (; j < n; ++j) {
                if (text[j] == close) {
                    if (j + 1 < n && text[j + 1] == close) {
                        name += close;
                        ++j;
                        continue;
                    }
                    break;
                }
                name += text[j];
            }
            names.insert(name.toLower());
            i = j + 1;
        } else if (IsWordChar(c)) {
            qsizetype j = i;
            while (j < n && IsWordChar(text[j])) ++j;
            names.insert(text.mid(i, j - i).toLower());
            i = j;
        } else {
            ++i;
        }
    }
}

// Puts the scripts at the given positions of list into an order in which every code object
// comes after the objects its definition names (before them when reversed, for drops); ties
// and cycles keep the present order. O((n + references) log n).
void OrderByDependencies(ScriptList& list, const std::vector<size_t>& positions, bool reversed) {
    const size_t n = positions.size();
    if (n < 2) return;
    QHash<QString, std::vector<size_t>> byName;  // lower-case object name -> block indexes
    for (size_t i = 0; i < n; ++i) {
        const Tovimar_Object* object = list[positions[i]]->ScriptedObj;
        if (object) byName[object->Name.toLower()].push_back(i);
    }
    // The names each definition mentions, found in two halves side by side for a long list:
    // finding them only reads the scripts' objects, and each half writes its own sets.
    std::vector<QSet<QString>> namesOf(n);
    const auto collect = [&list, &positions, &namesOf](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            for (const QString& definition : CodeDefinitions(list[positions[i]]->ScriptedObj))
                CollectNames(definition, namesOf[i]);
    };
    if (n >= 64)
        RunSideBySide([&collect, n] { collect(n / 2, n); }, [&collect, n] { collect(0, n / 2); });
    else
        collect(0, n);
    std::vector<std::vector<size_t>> next(n);  // i must come before every element of next[i]
    std::vector<int> waiting(n, 0);
    for (size_t i = 0; i < n; ++i) {
        QSet<size_t> seen;
        for (const QString& name : namesOf[i]) {
            const auto found = byName.constFind(name);
            if (found == byName.constEnd()) continue;
            for (size_t used : *found) {
                if (used == i || seen.contains(used)) continue;
                seen.insert(used);
                // A script depends on the one that creates what it uses; drops go the other way.
                const size_t first = reversed ? i : used;
                const size_t then = reversed ? used : i;
                next[first].push_back(then);
                ++waiting[then];
            }
        }
    }
    std::priority_queue<size_t, std::vector<size_t>, std::greater<size_t>> ready;
    for (size_t i = 0; i < n; ++i)
        if (waiting[i] == 0) ready.push(i);
    std::vector<bool> placed(n, false);
    ScriptList ordered;
    ordered.reserve(n);
    size_t lowest = 0;  // every index below it is placed
    while (ordered.size() < n) {
        if (ready.empty()) {
            // A cycle: the earliest script not yet placed goes next.
            while (placed[lowest]) ++lowest;
            waiting[lowest] = 0;
            ready.push(lowest);
        }
        const size_t i = ready.top();
        ready.pop();
        if (placed[i]) continue;
        placed[i] = true;
        ordered.push_back(list[positions[i]]);
        for (size_t then : next[i])
            if (!placed[then] && --waiting[then] == 0) ready.push(then);
    }
    for (size_t i = 0; i < n; ++i) list[positions[i]] = ordered[i];
}

// Views, functions, procedures and triggers are created and changed after what they read, and
// dropped before it, so that a server resolves every name as the script runs.
void OrderCodeObjects(ScriptList& list) {
    std::vector<size_t> drops, others;
    for (size_t i = 0; i < list.size(); ++i) {
        if (!IsCodeObjectType(list[i]->Typ)) continue;
        (Same(list[i]->Action, QStringLiteral("DELETE")) ? drops : others).push_back(i);
    }
    OrderByDependencies(list, drops, true);
    OrderByDependencies(list, others, false);
}

}  // namespace

ScriptList GenerateAllScripts(GenerationContext& ctx, Progress* progress, bool refresh) {
    if (!ctx.DB1 || !ctx.DB2)
        throw TovimarException(91, QStringLiteral("GenerateAllScripts"),
                               QStringLiteral("Both databases are needed to generate scripts"));
    struct CloseProgress {
        Progress* progress;
        ~CloseProgress() {
            if (progress) progress->Close();
        }
    } closeProgress{progress};
    if (progress)
        progress->ShowStatus(QStringLiteral("Processing..."),
                             QStringLiteral("\r\n") + (refresh ? QStringLiteral("Refreshing Scripts...")
                                                               : QStringLiteral("Generating Scripts...")));
    ctx.ResetCaches();
    ResetRunState(*ctx.DB1);
    ResetRunState(*ctx.DB2);
    // The tables the pass would switch to the rebuild are marked before it: one pass serves
    // where it would be abandoned and run again. The loop still repeats a pass that switches one.
    // The columns of the pairs, and then the rest of the pairs whose columns are unchanged, are
    // compared on both threads, a run of pairs at a time, while a second thread also indexes the
    // foreign keys by referenced table: all only read (the pairs' objects; the tables' names and
    // relations). The marking itself writes after both.
    std::vector<RebuildCandidate> candidates = RebuildCandidates(*ctx.DB1);
    std::atomic<size_t> nextCandidate{0};
    const auto compareColumns = [&candidates, &nextCandidate] {
        constexpr size_t run = 64;
        for (size_t begin = nextCandidate.fetch_add(run); begin < candidates.size();
             begin = nextCandidate.fetch_add(run))
            for (size_t i = begin; i < std::min(begin + run, candidates.size()); ++i) {
                RebuildCandidate& candidate = candidates[i];
                const Tovimar_Table& other = *candidate.Table->OtherObj();
                candidate.Columns = ColumnsSwitchToRebuild(*candidate.Table, other);
                candidate.ContentsUnchanged =
                    candidate.Columns.Unchanged && TableContentsUnchanged(*candidate.Table, other);
            }
    };
    RunSideBySide(
        [&ctx, &compareColumns] {
            ctx.IndexReferencingRelations(*ctx.DB1);
            ctx.IndexReferencingRelations(*ctx.DB2);
            compareColumns();
        },
        compareColumns);
    MarkRebuilds(candidates, ctx);
    // Every repeated pass has switched one more table to the rebuild, and that flag is never
    // cleared, so the passes end.
    ctx.Passes = 0;
    for (;;) {
        ++ctx.Passes;
        ScriptList scripts;
        if (GeneratePass(ctx, refresh, scripts)) return SortScripts(scripts);
    }
}

namespace {

// Which of up to 32 texts a script's Typ or Action equals (Matches), one bit per text. A run
// has few distinct Typ and Action texts: each is compared with the texts once.
class KeyMatches {
public:
    explicit KeyMatches(QStringList keys) : keys_(std::move(keys)) {}
    quint32 Of(const Tovimar_Script& script) { return Of(script.Typ) | Of(script.Action); }
    quint32 Bit(const QString& key) const { return quint32(1) << keys_.indexOf(key); }

private:
    quint32 Of(const QString& text) {
        const auto found = known_.constFind(text);
        if (found != known_.constEnd()) return *found;
        quint32 bits = 0;
        for (qsizetype i = 0; i < keys_.size(); ++i)
            if (Same(text, keys_[i])) bits |= quint32(1) << i;
        known_.insert(text, bits);
        return bits;
    }
    QStringList keys_;
    QHash<QString, quint32> known_;
};

}  // namespace

ScriptList SortScripts(const ScriptList& scripts) {
    static const QStringList typeOrder = {
        QStringLiteral("Permission"), QStringLiteral("Trigger"), QStringLiteral("Function"),
        QStringLiteral("Procedure"),  QStringLiteral("View"),    QStringLiteral("FTI"),
        QStringLiteral("Relation"),   QStringLiteral("Index"),   QStringLiteral("Check"),
        QStringLiteral("Default"),    QStringLiteral("Column"),  QStringLiteral("Table"),
        QStringLiteral("Type"),       QStringLiteral("Catalog"),    QStringLiteral("Role")};
    static const QStringList kindOrder = {QStringLiteral("RENAME"), QStringLiteral("RECREATE"),
                                          QStringLiteral("REDELETE"), QStringLiteral("CREATE"),
                                          QStringLiteral("CHANGE")};
    static const QString deleteKey = QStringLiteral("DELETE");
    // What SortScripts_Part gives for the DELETE scripts and then for each type, with every
    // script's matches found once instead of once per part.
    KeyMatches keys(QStringList{deleteKey} + typeOrder + kindOrder);
    std::vector<quint32> bits;
    bits.reserve(scripts.size());
    for (const ScriptPtr& script : scripts) bits.push_back(script ? keys.Of(*script) : 0);
    const auto part = [&](ScriptList& result, const QString& key, const QStringList& others, bool byKind) {
        const quint32 keyBit = keys.Bit(key);
        std::vector<size_t> bucket;
        for (size_t i = 0; i < scripts.size(); ++i) {
            const size_t at = byKind ? scripts.size() - 1 - i : i;
            if (bits[at] & keyBit) bucket.push_back(at);
        }
        for (const QString& other : others) {
            const quint32 otherBit = keys.Bit(other);
            for (size_t at : bucket)
                if (bits[at] & otherBit) result.push_back(scripts[at]);
        }
    };
    ScriptList result;
    result.reserve(scripts.size());
    part(result, deleteKey, typeOrder, true);
    for (qsizetype i = typeOrder.size() - 1; i >= 0; --i) part(result, typeOrder[i], kindOrder, false);
    OrderCodeObjects(result);
    DropColumnsAfterTheirUsers(result);
    long index = 0;
    for (const ScriptPtr& script : result) script->Index = ++index;
    return result;
}

ScriptList SortScripts_Part(const ScriptList& scripts, const QString& key, const QStringList& others, bool byKind) {
    ScriptList bucket;
    if (byKind) {
        for (auto it = scripts.rbegin(); it != scripts.rend(); ++it)
            if (*it && Matches(**it, key)) bucket.push_back(*it);
    } else {
        for (const ScriptPtr& script : scripts)
            if (script && Matches(*script, key)) bucket.push_back(script);
    }
    ScriptList result;
    result.reserve(bucket.size());
    for (const QString& other : others)
        for (const ScriptPtr& script : bucket)
            if (Matches(*script, other)) result.push_back(script);
    return result;
}

QString GetTagString(const Tovimar_Script& script) {
    const QString base = QStringLiteral("10") + script.TableFullName();
    const QString name = script.ScriptedObj ? script.ScriptedObj->FullName(false) : QString();
    const QString& typ = script.Typ;
    if (Same(typ, QStringLiteral("Table"))) return QStringLiteral("10") + name;
    if (Same(typ, QStringLiteral("Column"))) {
        const auto* field = dynamic_cast<const Tovimar_Field*>(script.ScriptedObj);
        const int colId = field ? field->ColID : 0;
        return base + QStringLiteral("11_") + QStringLiteral("%1").arg(colId, 14, 10, QLatin1Char('0')) + name;
    }
    if (Same(typ, QStringLiteral("Index"))) {
        const auto* index = dynamic_cast<const Tovimar_Index*>(script.ScriptedObj);
        return base + (index && index->IsPrimaryKey ? QStringLiteral("12_1") : QStringLiteral("12_2")) + name;
    }
    static const QList<QPair<QString, QString>> codes = {
        {QStringLiteral("Default"), QStringLiteral("13")},   {QStringLiteral("Check"), QStringLiteral("14")},
        {QStringLiteral("Relation"), QStringLiteral("15")},  {QStringLiteral("Trigger"), QStringLiteral("16")},
        {QStringLiteral("View"), QStringLiteral("20")},      {QStringLiteral("Procedure"), QStringLiteral("30")},
        {QStringLiteral("Function"), QStringLiteral("40")},  {QStringLiteral("Role"), QStringLiteral("50")},
        {QStringLiteral("Permission"), QStringLiteral("60")}, {QStringLiteral("Catalog"), QStringLiteral("70")},
        {QStringLiteral("Type"), QStringLiteral("80")}};
    for (const auto& code : codes)
        if (Same(typ, code.first)) return base + code.second + name;
    return base + QStringLiteral("90") + name;
}

QString GetImageName(const QString& kind) {
    static const QList<QPair<QStringList, QString>> images = {
        {{QStringLiteral("Database"), QStringLiteral("Object"), QStringLiteral("Everything")}, QStringLiteral("SQLDatabase.bmp")},
        {{QStringLiteral("Include")}, QStringLiteral("SQLInclude.bmp")},
        {{QStringLiteral("Force Include")}, QStringLiteral("SQLIncludeForce.bmp")},
        {{QStringLiteral("Exclude")}, QStringLiteral("SQLExclude.bmp")},
        {{QStringLiteral("Force Exclude")}, QStringLiteral("SQLExcludeForce.bmp")},
        {{QStringLiteral("Filter")}, QStringLiteral("SQLFilter.bmp")},
        {{QStringLiteral("Table")}, QStringLiteral("SQLTable.bmp")},
        {{QStringLiteral("Column")}, QStringLiteral("SQLColumn.bmp")},
        {{QStringLiteral("Collation")}, QStringLiteral("SQLCollation.bmp")},
        {{QStringLiteral("User"), QStringLiteral("Role"), QStringLiteral("Grantee")}, QStringLiteral("SQLUser.bmp")},
        {{QStringLiteral("Index")}, QStringLiteral("SQLIndex.bmp")},
        {{QStringLiteral("Catalog"), QStringLiteral("FTI")}, QStringLiteral("SQLFTI.bmp")},
        {{QStringLiteral("Default")}, QStringLiteral("SQLDefault.bmp")},
        {{QStringLiteral("Check")}, QStringLiteral("SQLConstraint.bmp")},
        {{QStringLiteral("Relation")}, QStringLiteral("SQLRelation.bmp")},
        {{QStringLiteral("Trigger")}, QStringLiteral("SQLTrigger.bmp")},
        {{QStringLiteral("View")}, QStringLiteral("SQLView.bmp")},
        {{QStringLiteral("Procedure")}, QStringLiteral("SQLProc.bmp")},
        {{QStringLiteral("Function")}, QStringLiteral("SQLFunction.bmp")},
        {{QStringLiteral("FileGroup")}, QStringLiteral("SQLProc2.bmp")},
        {{QStringLiteral("Permission")}, QStringLiteral("SQLGrant.bmp")},
        {{QStringLiteral("Type")}, QStringLiteral("SQLType.bmp")},
        {{QStringLiteral("CREATE")}, QStringLiteral("SQLCreate.bmp")},
        {{QStringLiteral("RECREATE")}, QStringLiteral("SQLReCreate.bmp")},
        {{QStringLiteral("DELETE"), QStringLiteral("REDELETE")}, QStringLiteral("SQLDelete.bmp")},
        {{QStringLiteral("CHANGE")}, QStringLiteral("SQLModify.bmp")},
        {{QStringLiteral("RENAME")}, QStringLiteral("SQLRename.bmp")},
        {{QStringLiteral("Error")}, QStringLiteral("SQLError.bmp")}};
    for (const auto& image : images)
        if (image.first.contains(kind, Qt::CaseInsensitive)) return image.second;
    return QString();
}

QString PluralName(const QString& kind) {
    return kind + (Same(kind, QStringLiteral("Index")) ? QStringLiteral("es") : QStringLiteral("s"));
}

QString SetTempTableName(const Tovimar_Database& db, const QString& owner, const QString& baseName) {
    if (!db.Tables.Contains(QuoteName(owner, baseName))) return baseName;
    for (qint64 n = 1;; ++n) {
        const QString candidate = baseName + QString::number(n);
        if (!db.Tables.Contains(QuoteName(owner, candidate))) return candidate;
    }
}

QString CapText(const Tovimar_Database& db) {
    const Tovimar_Database* other = db.OtherObj();
    if (!other) return db.FullName() + QStringLiteral(" -> RECOMPILE");
    if (other->Name.isEmpty()) return db.FullName() + QStringLiteral(" -> CREATE SCRIPTS");
    return db.FullName() + QStringLiteral(" -> ") + other->FullName();
}

QString FileNamePart(const Tovimar_Database& db) {
    const Tovimar_Database* other = db.OtherObj();
    QString part;
    if (!other) part = db.FullName() + QStringLiteral("_RECOMPILE");
    else if (other->Name.isEmpty()) part = db.FullName() + QStringLiteral("_CREATE SCRIPTS");
    else part = db.FullName() + QStringLiteral("_to_") + other->FullName();
    return part.replace(QLatin1Char('\\'), QLatin1Char('$'));
}

Tovimar_Object* GetObjectByTag(const Tovimar_Database& db, const QString& tag) {
    const QStringList parts = tag.split(TagSeparator);
    auto missing = [&]() {
        return TovimarException(9, QStringLiteral("GetObjectByTag"), QStringLiteral("Subscript out of range"));
    };
    if (parts.size() >= 2 && Same(parts[0], QStringLiteral("Table"))) {
        const TablePtr table = db.Tables.Item(parts[1]);
        if (!table) throw missing();
        return table.get();
    }
    if (parts.size() >= 3 && Same(parts[0], QStringLiteral("Column"))) {
        const TablePtr table = db.Tables.Item(parts[2]);
        if (!table) throw missing();
        const FieldPtr field = table->Fields.Item(parts[1]);
        if (!field) throw missing();
        return field.get();
    }
    return nullptr;
}
