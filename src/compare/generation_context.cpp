#include "compare/generation_context.h"

void GenerationContext::IndexReferencingRelations(const Tovimar_Database& db) {
    if (referencing_.contains(&db)) return;
    RelationIndex index;
    for (const TablePtr& t : db.Tables) {
        if (!t) continue;
        const QString ownName = t->FullName().toCaseFolded();
        for (const RelationPtr& r : t->Relations) {
            if (!r) continue;
            const QString primary =
                (r->PrimaryTable ? r->PrimaryTable->FullName() : r->PrimaryTableFullName).toCaseFolded();
            const QString own = r->Table ? r->Table->FullName().toCaseFolded() : ownName;
            if (primary == own) continue;  // a self-reference does not reference another table
            index[primary].push_back(r.get());
        }
    }
    referencing_.insert(&db, std::move(index));
}

const std::vector<Tovimar_Relation*>& GenerationContext::ReferencingRelations(const Tovimar_Table& table) {
    static const std::vector<Tovimar_Relation*> none;
    const Tovimar_Database* db = table.Database();
    if (!db) return none;
    IndexReferencingRelations(*db);
    const RelationIndex& index = *referencing_.constFind(db);
    auto found = index.constFind(table.FullName().toCaseFolded());
    return found == index.cend() ? none : *found;
}
