#include "compare/generation_context.h"

#include "schema/sql_text.h"

void GenerationContext::IndexReferencingRelations(const Tovimar_Database& db) {
    if (referencing_.contains(&db)) return;
    RelationIndex index;
    // A referenced table that the database holds is known by its object: its name, unique in the
    // database's tables, needs neither building nor folding. Only when some foreign key names a
    // table the database does not hold are they all indexed by folded name.
    for (const TablePtr& t : db.Tables) {
        if (!t) continue;
        for (const RelationPtr& r : t->Relations)
            if (r && !r->PrimaryTable) index.ByName = true;
    }
    if (!index.ByName) index.Tables.reserve(db.Tables.Count());
    for (const TablePtr& t : db.Tables) {
        if (!t) continue;
        const QString ownName = index.ByName ? t->FullName().toCaseFolded() : QString();
        for (const RelationPtr& r : t->Relations) {
            if (!r) continue;
            if (!index.ByName) {
                // a self-reference does not reference another table
                if (r->PrimaryTable == (r->Table ? r->Table : t.get())) continue;
                index.Tables[r->PrimaryTable].push_back(r.get());
                continue;
            }
            const QString primary =
                (r->PrimaryTable ? r->PrimaryTable->FullName() : r->PrimaryTableFullName).toCaseFolded();
            const QString own = r->Table ? r->Table->FullName().toCaseFolded() : ownName;
            if (primary == own) continue;
            index.Names[primary].push_back(r.get());
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
    if (!index.ByName) {
        auto found = index.Tables.constFind(&table);
        return found == index.Tables.cend() ? none : *found;
    }
    auto found = index.Names.constFind(table.FullName().toCaseFolded());
    return found == index.Names.cend() ? none : *found;
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
