#include "compare/linking.h"

#include "platform/side_by_side.h"
#include "schema/constraint_links.h"

#include <cstring>
#include <typeinfo>
#include <vector>

namespace {

using collection_detail::FoldedEqual;

struct TablePair {
    Tovimar_Table* Source;
    Tovimar_Table* Dest;
};

// Runs work(begin, end) over [0, n) in two halves, the second half on another thread. The work
// of one position must touch nothing another position's work writes.
template <class Work>
void InTwoHalves(size_t n, const Work& work) {
    if (n < 2) {
        work(size_t(0), n);
        return;
    }
    const size_t half = n / 2;
    RunSideBySide([&work, half, n] { work(half, n); }, [&work, half] { work(size_t(0), half); });
}

// FoldedEqual, told first by the characters: a stored key and the name it was made from, or the
// keys of two counterparts, are nearly always the same text.
bool KeyIsName(const QString& key, const QString& name) {
    return (key.size() == name.size() &&
            std::memcmp(key.constData(), name.constData(), static_cast<size_t>(key.size()) * sizeof(QChar)) == 0) ||
           FoldedEqual(key, name);
}

// The position in to of the item keyed as entry, or -1: what to.IndexOfKeyOf(entry) gives, tried
// first at guess without a hash lookup (two collections of one kind mostly hold the same keys
// in the same order).
template <class P>
qsizetype CounterpartPosition(const Collection<P>& to, const typename Collection<P>::Entry& entry, qsizetype guess) {
    if (!entry.Key.isEmpty() && guess >= 0 && guess < to.Count()) {
        const auto& candidate = to.Entries()[static_cast<size_t>(guess)];
        if (candidate.Hash == entry.Hash && KeyIsName(candidate.Key, entry.Key)) return guess;
    }
    return to.IndexOfKeyOf(entry);
}

// Links every item of mine with the item of theirs under the same key, when neither side has a
// counterpart yet: the result of the model's linking by key, both ways, for unlinked items.
template <class P>
void LinkUnlinkedByKey(const Collection<P>& mine, const Collection<P>& theirs) {
    qsizetype guess = 0;
    for (const auto& entry : mine.Entries()) {
        if (!entry.Value) continue;
        const qsizetype pos = CounterpartPosition(theirs, entry, guess);
        if (pos < 0) continue;
        guess = pos + 1;
        if (auto* other = theirs.Entries()[static_cast<size_t>(pos)].Value.get()) entry.Value->SetOtherObj(other);
    }
}


// Takes "[" + part with each "]" doubled + "]" (what QuoteName writes for one part) from the
// front of text; false when text does not begin so.
bool TakeBracketed(QStringView& text, QStringView part) {
    if (text.isEmpty() || text.front() != QLatin1Char('[')) return false;
    qsizetype at = 1;
    for (const QChar c : part) {
        if (at >= text.size() || text[at] != c) return false;
        ++at;
        if (c == QLatin1Char(']')) {
            if (at >= text.size() || text[at] != c) return false;
            ++at;
        }
    }
    if (at >= text.size() || text[at] != QLatin1Char(']')) return false;
    text = text.mid(at + 1);
    return true;
}

// Takes object's FullName from the front of text, for the kinds whose FullName is
// QuoteName(Owner, Name); false when text does not begin with it or object is of another kind.
bool TakeOwnerName(QStringView& text, const Tovimar_DbObject& object) {
    const std::type_info& kind = typeid(object);
    if (kind != typeid(Tovimar_Table) && kind != typeid(Tovimar_View) && kind != typeid(Tovimar_Procedure) &&
        kind != typeid(Tovimar_Function))
        return false;
    if (!TakeBracketed(text, object.Owner)) return false;
    if (object.Name.isEmpty()) return true;
    if (text.isEmpty() || text.front() != QLatin1Char('.')) return false;
    text = text.mid(1);
    return TakeBracketed(text, object.Name);
}

// Whether key is, character for character, the FullName of a table, or of a permission on a
// table, view, procedure or function: told without building the name. False also when that is
// not known this way (the caller then builds the name).
bool KeyIsBuiltName(const QString& key, const Tovimar_Table& table) {
    QStringView rest(key);
    return TakeOwnerName(rest, table) && rest.isEmpty();
}
bool KeyIsBuiltName(const QString& key, const Tovimar_Permission& permission) {
    QStringView rest(key);
    if (!permission.SecObject || !TakeOwnerName(rest, *permission.SecObject)) return false;
    if (rest.isEmpty() || rest.front() != QLatin1Char('.')) return false;
    rest = rest.mid(1);
    return TakeBracketed(rest, permission.Grantee) && rest.isEmpty();
}

// Every table of db is keyed by its FullName, has its database and no counterpart; then, by the
// model's rule that a table without counterpart has contents without counterparts, nothing of
// its contents is linked either.
bool UnlinkedAndKeyedByName(const Tovimar_Database& db) {
    for (const auto& entry : db.Tables.Entries()) {
        const Tovimar_Table* table = entry.Value.get();
        if (!table) continue;
        if (table->OtherObj() || !table->Database()) return false;
        if (!KeyIsBuiltName(entry.Key, *table) && !KeyIsName(entry.Key, table->FullName())) return false;
    }
    return true;
}

// Every object of col is unlinked and keyed by its FullName (always so after loading). Then the
// model's linking of two such collections (LinkObjects) pairs exactly the objects of equal keys,
// which LinkUnlinkedByKey pairs without building every name again and looking it up.
template <class P>
bool UnlinkedAndKeyedByFullName(const Collection<P>& col) {
    for (const auto& entry : col.Entries()) {
        const auto* object = entry.Value.get();
        if (object &&
            (object->OtherObj() || (!KeyIsBuiltName(entry.Key, *object) && !KeyIsName(entry.Key, object->FullName()))))
            return false;
    }
    return true;
}

// The tables of db1 and db2 of the same name, in the order of db1's tables: what LinkObjects
// pairs when both sides are keyed by their names (each name is unique on its side, so the
// pairing is one to one).
std::vector<TablePair> PairTablesByName(const Tovimar_Database& db1, const Tovimar_Database& db2) {
    std::vector<TablePair> pairs;
    pairs.reserve(static_cast<size_t>(db1.Tables.Count()));
    qsizetype guess = 0;
    for (const auto& entry : db1.Tables.Entries()) {
        if (!entry.Value) continue;
        const qsizetype pos = CounterpartPosition(db2.Tables, entry, guess);
        if (pos < 0) continue;
        guess = pos + 1;
        if (Tovimar_Table* dest = db2.Tables.Entries()[static_cast<size_t>(pos)].Value.get())
            pairs.push_back({entry.Value.get(), dest});
    }
    return pairs;
}

// Links the contents of each pair of tables found by PairTablesByName, whose tables are linked
// already, with the same result as the model's linking of two tables (LinkObjects on Tables)
// followed by LinkConstraintsByContent on every linked Source table.
//
// The model's assignment of a table's counterpart links the two tables' contents by key twice
// over and pairs their constraints by content twice; the pairing by content that counts is the
// one made after all tables are linked (the pairing of a foreign key reads its referenced
// table's counterpart), and it begins by undoing every link by content made before. Here each
// pair's contents are linked once by key and the constraints once by content. A pair's work
// writes only the contents of its two tables; the pairing by content reads other tables' and
// columns' counterparts, all final by then. So the pairs are split between two threads, each
// phase joined before the next.
void LinkPairContents(const std::vector<TablePair>& pairs) {
    InTwoHalves(pairs.size(), [&pairs](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            const Tovimar_Table& source = *pairs[i].Source;
            const Tovimar_Table& dest = *pairs[i].Dest;
            LinkUnlinkedByKey(source.Fields, dest.Fields);
            LinkUnlinkedByKey(source.Relations, dest.Relations);
            LinkUnlinkedByKey(source.Defaults, dest.Defaults);
            LinkUnlinkedByKey(source.Checks, dest.Checks);
            LinkUnlinkedByKey(source.Triggers, dest.Triggers);
            LinkUnlinkedByKey(source.Indexes, dest.Indexes);
        }
    });
    InTwoHalves(pairs.size(), [&pairs](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) LinkConstraintsByContent(*pairs[i].Source);
    });
}

}  // namespace

void LinkDatabases(Tovimar_Database& db1, Tovimar_Database& db2) {
    db1.SetOtherObj(&db2);
    // Two steps, each on two threads. Each kind's linking reads and writes only objects of that
    // kind (a permission's name reads its secured object's name, which no linking writes), and
    // the checks of the keys only read. First the other kinds are linked on the second thread,
    // which then checks the Destination's table and permission keys, while the Source's are
    // checked here; then the tables are linked here while the permissions are linked there.
    // The tables' contents are linked after both, in halves.
    bool sourceTablesByName = false;
    bool destTablesByName = false;
    bool sourcePermissionsByKey = false;
    bool destPermissionsByKey = false;
    RunSideBySide(
        [&db1, &db2, &destTablesByName, &destPermissionsByKey] {
            Tovimar_Database::LinkObjects(db1.Views, db2.Views);
            Tovimar_Database::LinkObjects(db1.Procedures, db2.Procedures);
            Tovimar_Database::LinkObjects(db1.Functions, db2.Functions);
            Tovimar_Database::LinkObjects(db1.Roles, db2.Roles);
            Tovimar_Database::LinkObjects(db1.Catalogs, db2.Catalogs);
            Tovimar_Database::LinkObjects(db1.Types, db2.Types);
            destTablesByName = UnlinkedAndKeyedByName(db2);
            destPermissionsByKey = UnlinkedAndKeyedByFullName(db2.Permissions);
        },
        [&db1, &sourceTablesByName, &sourcePermissionsByKey] {
            sourceTablesByName = UnlinkedAndKeyedByName(db1);
            sourcePermissionsByKey = UnlinkedAndKeyedByFullName(db1.Permissions);
        });
    const bool byName = sourceTablesByName && destTablesByName;
    const bool permissionsByKey = sourcePermissionsByKey && destPermissionsByKey;
    std::vector<TablePair> pairs;
    RunSideBySide(
        [&db1, &db2, permissionsByKey] {
            if (permissionsByKey)
                LinkUnlinkedByKey(db1.Permissions, db2.Permissions);
            else
                Tovimar_Database::LinkObjects(db1.Permissions, db2.Permissions);
        },
        [&db1, &db2, &pairs, byName] {
            if (byName) {
                pairs = PairTablesByName(db1, db2);
                // The tables alone (the base's assignment): their contents are linked below.
                for (const TablePair& pair : pairs)
                    static_cast<Tovimar_Linked<Tovimar_Table>&>(*pair.Source).SetOtherObj(pair.Dest);
            } else {
                Tovimar_Database::LinkObjects(db1.Tables, db2.Tables);
                // A foreign key is paired by its referenced table's counterpart, which a table
                // linked early did not have yet.
                for (const TablePtr& table : db1.Tables)
                    if (table && table->OtherObj()) LinkConstraintsByContent(*table);
            }
        });
    if (byName) LinkPairContents(pairs);
}
