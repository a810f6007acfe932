#include "compare/generation_context.h"

#include "schema/sql_text.h"

#include <algorithm>
#include <functional>

void GenerationContext::IndexReferencingRelations(const Tovimar_Database& db) {
    if (referencing_.contains(&db)) return;
    RelationIndex index;
    // A referenced table that the database holds is known by its object: its name, unique in the
    // database's tables, needs neither building nor folding. The foreign keys are listed with it
    // in one list, sorted by it (a stable sort keeps each table's keys in the database's order):
    // no block per referenced table to make and free. Only when some foreign key names a table
    // the database does not hold are they all indexed by folded name.
    for (const TablePtr& t : db.Tables) {
        if (!t || index.ByName) continue;
        for (const RelationPtr& r : t->Relations) {
            if (!r) continue;
            if (!r->PrimaryTable) {
                index.ByName = true;
                break;
            }
            // a self-reference does not reference another table
            if (r->PrimaryTable != (r->Table ? r->Table : t.get())) index.Tables.emplace_back(r->PrimaryTable, r.get());
        }
    }
    if (!index.ByName) {
        std::stable_sort(index.Tables.begin(), index.Tables.end(),
                         [](const auto& a, const auto& b) { return std::less<>()(a.first, b.first); });
        referencing_.insert(&db, std::move(index));
        return;
    }
    index.Tables = {};
    for (const TablePtr& t : db.Tables) {
        if (!t) continue;
        const QString ownName = t->FullName().toCaseFolded();
        for (const RelationPtr& r : t->Relations) {
            if (!r) continue;
            const QString primary =
                (r->PrimaryTable ? r->PrimaryTable->FullName() : r->PrimaryTableFullName).toCaseFolded();
            const QString own = r->Table ? r->Table->FullName().toCaseFolded() : ownName;
            if (primary == own) continue;
            index.Names[primary].push_back(r.get());
        }
    }
    referencing_.insert(&db, std::move(index));
}

std::vector<Tovimar_Relation*> GenerationContext::ReferencingRelations(const Tovimar_Table& table) {
    const Tovimar_Database* db = table.Database();
    if (!db) return {};
    IndexReferencingRelations(*db);
    const RelationIndex& index = *referencing_.constFind(db);
    std::vector<Tovimar_Relation*> relations;
    if (!index.ByName) {
        const auto byTable = [](const auto& entry, const Tovimar_Table* t) { return std::less<>()(entry.first, t); };
        for (auto it = std::lower_bound(index.Tables.begin(), index.Tables.end(), &table, byTable);
             it != index.Tables.end() && it->first == &table; ++it)
            relations.push_back(it->second);
        return relations;
    }
    auto found = index.Names.constFind(table.FullName().toCaseFolded());
    if (found != index.Names.cend()) relations = *found;
    return relations;
}

bool GenerationContext::GranteeIncluded(const Tovimar_Database& db, const QString& grantee) {
    const std::pair<const Tovimar_Database*, QString> key{&db, grantee};
    const auto found = granteesIncluded_.constFind(key);
    if (found != granteesIncluded_.cend()) return *found;
    long flags = 0;
    QStringList extras;
    const bool included = db.IsObjectIncluded(QStringLiteral("gr"), QuoteName(grantee), 1, QString(), flags, extras);
    granteesIncluded_.insert(key, included);
    return included;
}

bool GenerationContext::MarkedForRebuild(const Tovimar_DbObject& object) const {
    if (TablesRebuilt && dynamic_cast<const Tovimar_Table*>(&object)) return TablesRebuilt->contains(&object);
    return object.DeleteRecreate;
}
