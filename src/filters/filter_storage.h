#pragma once
// Filter storage: the filter sets and elements kept in the tables _TovimarFilterSet and
// _TovimarFilterElement of a database the user chooses (the filter database), and the check
// rules of the options dialog in apply mode.
//
// A set's key is its path followed by its name and "."; the root "Everything" has the key ".",
// a top-level set A the path "." and the key ".A.", its child B the path ".A." and the key
// ".A.B.". All descendants of a set are the rows whose path starts with the set's key.
#include "filters/filter_model.h"

#include <QList>
#include <QString>
#include <memory>

class DbConnection;
class DbCursor;

// One row of _TovimarFilterSet.
struct FilterSetRow {
    int SetID = 0;
    QString Path;
    QString Name;
    QString Key() const { return Path + Name + QLatin1Char('.'); }
};

// The SQL literal of a LIKE pattern that matches every text starting with key: the key's "%",
// "_" and "[" are escaped ("[%]", "[_]", "[[]") so that a set named A_B or 50% matches only
// its own rows, then "%" is appended; quotes are doubled.
QString KeyPrefixPattern(const QString& key);

// The key of the set with key oldKey renamed to newName: its last component replaced.
QString RenamedKey(const QString& oldKey, const QString& newName);

// The message for a set name the user typed, or an empty string when it is acceptable.
QString CheckFilterSetName(const QString& name);

// A filter element built from a row of _TovimarFilterElement (the columns read by name).
Tovimar_FilterElement ElementFromRow(const DbCursor& row);

class FilterStorage {
public:
    explicit FilterStorage(std::shared_ptr<DbConnection> connection) : connection_(std::move(connection)) {}

    DbConnection& Connection() const { return *connection_; }

    // True when the error number says the filter tables are missing (208: invalid object).
    static bool IsMissingTables(long errorNumber) { return errorNumber == 208; }

    // Drops the two tables (failures ignored) and creates them again, readable by public.
    void CreateTables();

    // The sets whose path starts with startKey, ordered by path and name.
    QList<FilterSetRow> LoadSetRows(const QString& startKey);

    // Loads every set with its elements into sets (below its root), each set hung into its
    // parent's SubSets. Sets without elements are not loaded.
    void LoadAll(FilterSets& sets);

    // The elements of one set, ordered by operation, name and flags.
    QList<Tovimar_FilterElement> LoadElements(int setId);

    // Inserts a set below parentKey named "New Set", or "New Set1", "New Set2" ... when a sibling
    // has that name already or the insert fails (up to a bound). Returns the new set's id.
    // Throws the last failure.
    int AddSet(const QString& parentKey);

    // Renames the set and rewrites the paths of its descendants in one transaction; on failure
    // the transaction is rolled back and the error thrown.
    void RenameSet(int setId, const QString& oldKey, const QString& newName);

    // Deletes the set, every descendant set and all their elements in one transaction.
    void DeleteSet(int setId, const QString& key);

    // Writes the element: a new row when elementId is 0 (returns its id), else the row's update.
    int SaveElement(int setId, int elementId, const Tovimar_FilterElement& element);
    void DeleteElement(int elementId);

private:
    // Runs a batch in a transaction; on failure rolls back and throws the error.
    void RunTransaction(const QString& statements);

    std::shared_ptr<DbConnection> connection_;
};

// The check rules of apply mode. Checking or clearing a set sets it and all its elements;
// checking also checks every unchecked ancestor the same way, clearing also clears every
// checked descendant the same way.
void SetFilterSetChecked(FilterSets& sets, const QString& key, bool checked);
// Checking an element whose set is not checked checks the set and its ancestors without
// touching the set's other elements. Returns the key of the element's set (empty: none).
QString SetFilterElementChecked(FilterSets& sets, int elementId, bool checked);
// The key of the set that owns the element (empty when none does).
QString FilterSetKeyOfElement(const FilterSets& sets, int elementId);
// The key of the parent set ("." for a top-level set, empty for the root).
QString ParentFilterSetKey(const QString& key);
