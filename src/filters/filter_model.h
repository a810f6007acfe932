#pragma once
// Filter sets and filter elements, and the matching that decides which objects of a database
// take part in a comparison and with which options.
//
// A filter element says Include, Exclude, Force Include or Force Exclude for objects of some
// types whose bracket-quoted name matches a "%" pattern. A filter set groups elements and
// sub-sets; the sets form a tree below one root set. FilterSets owns that tree for one run and
// answers the model's ObjectFilter questions.
#include "platform/collection.h"
#include "schema/model.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <utility>

// Operation codes of a filter element.
enum FilterOpCode : int {
    FilterOpExclude = 0,
    FilterOpInclude = 1,
    FilterOpForceExclude = 2,
    FilterOpForceInclude = 3,
};

// Option bits of FilterFlags and of the flags a match returns.
enum FilterFlagBits : long {
    FilterNoCollations = 1,    // ", -Collations": do not compare column collations
    FilterCollations = 2,      // ", +Collations"
    FilterNoFileGroups = 4,    // ", -FileGroups": do not compare file groups
    FilterFileGroups = 8,      // ", +FileGroups"
    FilterCopyData = 16,       // ", Copy Data": FilterExtra is a data copy definition
    FilterNoSchemaCache = 32,  // ", -Cache": no schema cache files for the run
};

// One object type a filter element can name.
struct FilterObjectType {
    QString Name;          // "Table"
    QString Abbreviation;  // "Tab": what ObjectTypes stores
    QString TypeCode;      // "ta": what the object classes ask with
};

// The four operations as (code, name), in code order: the name of code c is entry c.
const QList<std::pair<int, QString>>& GetFilterOps();
// Table, View, Procedure, Function, Trigger, Grantee, Catalog, in this order.
const QList<FilterObjectType>& GetObjectTypeNames();
// The name of an operation code ("Exclude" ...), or an empty string for an unknown code.
QString FilterOpName(int op);
// The texts of the set option bits in list order (Copy Data, -Collations, +Collations,
// -FileGroups, +FileGroups, -Cache), joined by ", ".
QString FilterFlagsText(long flags);

// Case-insensitive match of text against a pattern in which wildcard (empty: "%") stands for
// any run of characters, the empty run included. Each piece between wildcards is looked for
// once, left to right, so the cost grows with the length of the text, not with its square.
bool LikeMatch(const QString& text, const QString& pattern, const QString& wildcard = QString());

class Tovimar_FilterElement {
public:
    int ElementID = 0;
    int FilterOp = FilterOpExclude;
    QStringList SelectionParts;  // the name pattern split into bracket-quoted parts
    QString ObjectName;          // the pattern as entered, e.g. dbo.Order% or [dbo].[a.b]
    QString ObjectTypes;         // abbreviations separated by blanks, e.g. "Tab View"
    long FilterFlags = 0;
    QString FilterExtra;  // for Copy Data: the data copy definition
    bool Checked = false;

    // Stores the values, clears Checked and splits objectName into SelectionParts: dbo.Order%
    // gives [dbo] and [Order%], [dbo].[a.b] gives [dbo] and [a.b], an empty name gives [].
    // Throws the "Nesting Error" of the text scanner when a bracketed name is not closed.
    Tovimar_FilterElement& Init(int id, int op, const QString& objectName, const QString& objectTypes, long flags,
                                const QString& extra);

    // Whether ObjectTypes names the type code ("ta" selects "Tab").
    bool SelectsType(const QString& typeCode) const;
    // True when the element is checked, selects the type and its pattern, cut or completed to
    // nameParts parts, matches fullName.
    bool Match(const QString& typeCode, const QString& fullName, int nameParts) const;

private:
    // What Init split SelectionParts' patterns into, for names of one, two and three parts, and
    // the parts they were made from.
    QStringList compiledParts_;
    std::array<QStringList, 3> compiledPieces_;
};
using FilterElementPtr = std::shared_ptr<Tovimar_FilterElement>;

class Tovimar_FilterSet;
using FilterSetPtr = std::shared_ptr<Tovimar_FilterSet>;

class Tovimar_FilterSet {
public:
    int SetID = 0;
    QString Path;     // the key of the parent set; empty for the root
    QString SetName;  // empty for the root
    Collection<FilterElementPtr> Elements;
    Collection<FilterSetPtr> SubSets;
    bool Checked = false;

    // Path + SetName + ".": the root's key is ".", a top-level set A has ".A.".
    QString Key() const { return Path + SetName + QLatin1Char('.'); }

    // The set's verdict: 1 include, 0 exclude, -1 no opinion. flags gains the option bits of
    // the deciding elements, extras (when given) the data copy definitions they collected.
    // A set that is not checked has no opinion and leaves both alone.
    int Match(const QString& typeCode, const QString& fullName, int nameParts, long& flags,
              QStringList* extras) const;

    // False when a checked element of this set or of an active set below it switches schema
    // cache creation off.
    bool CreateSchemaCache() const;
};

// The filter sets and elements of one run, and the matching the schema model asks for.
// Sets are registered by Key (the root first, under "."), elements by "#" + ElementID.
class FilterSets : public ObjectFilter {
public:
    // Starts with the root set and its two default elements (see InitFilterSets).
    FilterSets();
    FilterSets(const FilterSets&) = delete;
    FilterSets& operator=(const FilterSets&) = delete;

    // Empties both registries and creates the root set with two checked default elements:
    // #-1 Include "%" on tables and views without collations, #-2 Include "%" on tables
    // without file groups. Returns the root.
    Tovimar_FilterSet* InitFilterSets();

    Tovimar_FilterSet* Root() const;

    // With exactly one of the two empty the key is path + setName and the set is only looked up
    // (none when missing). Otherwise the key is path + setName + "." and a missing set is
    // created and registered; it is not hung into its parent's SubSets.
    Tovimar_FilterSet* GetFilterSet(const QString& path, const QString& setName);

    // A new element, initialised, with Checked set, registered under "#" + id (an id that is
    // registered already is an error). The caller adds it to a set's Elements.
    FilterElementPtr NewFilterElement(int id, int op, const QString& objectName, const QString& objectTypes,
                                      long flags, const QString& extra, bool checked);

    // The root set's verdict: true unless it says exclude. flags is reset first.
    bool MatchFilter(const QString& typeCode, const QString& fullName, int nameParts, long& flags,
                     QStringList* extras) const;

    // An object owned by someone other than dbo is included only when its owner is (asked as
    // a grantee, "gr" with one part); then the filter match decides.
    bool IsObjectIncluded(const QString& typeCode, const QString& fullName, int nameParts, const QString& owner,
                          long& flags, QStringList& extras) override;

    // Whether schema cache files may be created for the run (the root set's CreateSchemaCache).
    bool GetCreateSchemaCache() const;

    const Collection<FilterSetPtr>& Sets() const { return sets_; }
    const Collection<FilterElementPtr>& Elements() const { return elements_; }
    // The largest element id registered so far, or 0.
    int MaxElementID() const;
    // The largest set id registered so far, or 0.
    int MaxSetID() const;

private:
    Collection<FilterSetPtr> sets_;
    Collection<FilterElementPtr> elements_;
};
