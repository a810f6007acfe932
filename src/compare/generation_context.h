#pragma once
// The state one generation run shares between the driver and every generator: the two
// databases, the regeneration flag, the run options and the way to the Source rows that the
// data copy of a rebuilt table reads. One object per run; nothing here is global.
#include "platform/db/db_connection.h"
#include "platform/db_value.h"
#include "schema/model.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// The provider type code of binary columns (timestamp columns arrive with it too); the data copy
// leaves such columns out.
constexpr int ProviderTypeBinary = AdoType::Binary;

// The rows of one query, read by position, with each column's name and provider type code.
struct SourceRows {
    QStringList ColumnNames;
    QList<int> ColumnTypes;
    QList<QList<DbValue>> Rows;
};

// Reads rows of the Source database for the data copy. The database connection layer provides
// an adapter; tests provide canned rows.
class SourceDataReader {
public:
    virtual ~SourceDataReader() = default;
    // Runs the query; throws TovimarException when the server rejects it.
    virtual SourceRows Query(const QString& sql) = 0;
};

class GenerationContext {
public:
    Tovimar_Database* DB1 = nullptr;  // Source
    Tovimar_Database* DB2 = nullptr;  // Destination
    // Set by a table or column generator that has just switched a table to DeleteRecreate: the
    // driver discards the pass and runs it again.
    bool Regenerate = false;
    // Convert every copied column explicitly to its new type when a table is rebuilt.
    bool IgnoreDataLoss = false;
    // True while the script window generates the definitions for the difference viewer: no
    // comment wrapping, no existence guards around foreign keys.
    bool DiffViewMode = false;
    // True when the Destination is a new, empty database that the scripts fill: a foreign key is
    // not dropped before it is created, and the existence tests of the tables a key joins and of
    // the objects a permission secures are left out where the scripts create those objects. On
    // an empty database those tests can only pass, and each one is a query the server parses
    // and runs.
    bool IntoEmptyDatabase = false;
    // The Source rows for the data copy; none when the Source has no connection (a data copy
    // then writes the RAISERROR statement of a failed query).
    SourceDataReader* SourceData = nullptr;
    // How many passes the last GenerateAllScripts needed (1 when no table switched to a rebuild).
    int Passes = 0;

    // The foreign keys of table's database that reference table (self-references left out), in
    // the order of the database's tables and their relations. Built once per database and run.
    std::vector<Tovimar_Relation*> ReferencingRelations(const Tovimar_Table& table);
    // Builds that lookup for db now (nothing when it is built already). It reads the tables and
    // their relations only, so it may run while another thread marks tables for the rebuild.
    void IndexReferencingRelations(const Tovimar_Database& db);
    // Forgets the lookups built from the models (the driver calls it when a run starts).
    void ResetCaches() {
        referencing_.clear();
        UnchangedColumns.clear();
        UnchangedPairs.clear();
        granteesIncluded_.clear();
    }
    // Whether db's filter includes the grantee (asked as "gr" with one part): asked once per
    // database and grantee in a run, as many permissions share a grantee.
    bool GranteeIncluded(const Tovimar_Database& db, const QString& grantee);
    // The Source tables whose columns the marking before the pass found all paired, unchanged
    // and not renamed: their column generators would write nothing, and the pass skips them.
    QSet<const Tovimar_Table*> UnchangedColumns;
    // By place in DB1's tables (empty when not marked): the pairs the marking found unchanged,
    // columns and contents (TableContentsUnchanged): the pass resets their run state instead of
    // generating them, as long as UnchangedPairHolds.
    std::vector<bool> UnchangedPairs;
    // Whether object is marked for the rebuild, as the permission generator asks it. While the
    // permissions are generated beside the tables, a table's mark is read from TablesRebuilt,
    // the marks as the pass began: the table generators write a mark only when they switch a
    // table, and then the pass is abandoned, so in a pass that counts the two agree.
    bool MarkedForRebuild(const Tovimar_DbObject& object) const;
    const QSet<const Tovimar_DbObject*>* TablesRebuilt = nullptr;

private:
    struct RelationIndex {
        bool ByName = false;  // some foreign key references a table the database does not hold
        // Unless ByName: every foreign key with its referenced table, sorted by that table and,
        // for one table, in the order of the database's tables and their relations.
        std::vector<std::pair<const Tovimar_Table*, Tovimar_Relation*>> Tables;
        QHash<QString, std::vector<Tovimar_Relation*>> Names;  // by case-folded FullName
    };
    QHash<const Tovimar_Database*, RelationIndex> referencing_;
    QHash<std::pair<const Tovimar_Database*, QString>, bool> granteesIncluded_;
};
