#pragma once
// The comparison run without windows: two loaded schemas are chosen by filter sets, paired by
// name (with the renames the user declared), and the scripts that bring the Destination in line
// with the Source are generated in execution order. The command-line program and the tests
// drive it; the main window does the same steps with its dialogs in between.
#include "compare/script.h"
#include "schema/model.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <stdexcept>

class Progress;

struct ComparisonOptions {
    QString FilterFile;      // filter sets added below the default ones (empty: the defaults alone)
    bool IgnoreDataLoss = false;
    // Declared renames: OLD (a Destination table or column) = NEW (its Source name). Tables as
    // "owner.table" (owner dbo when left out), columns as "owner.table.column" = "column" with
    // the table named as in the Destination. Brackets quote names that hold dots.
    QList<QPair<QString, QString>> Renames;
    // The Source data the filters ask to copy into rebuilt tables is not copied, and no table is
    // rebuilt for it alone: for a comparison after a sync, when the data are there already.
    bool NoDataCopy = false;
    // Compares column collations and file groups of every table and view, whatever the default
    // filter elements say: for rebuilding a database faithfully elsewhere.
    bool CompareCollationsAndFileGroups = false;
    // The Destination is a new, empty database that the scripts fill (a model's database built on
    // the simulated server): the existence tests that can only pass there are left out.
    bool IntoEmptyDatabase = false;
};

// The input of a run names something that is not there or is no name at all.
class ComparisonInputError : public std::runtime_error {
public:
    explicit ComparisonInputError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

// The parts of a name such as [dbo].[Order Details], dbo.Orders or [a.b]]c]: dots inside
// brackets do not split, brackets are removed and "]]" becomes "]". Empty for an unclosed bracket.
QStringList NameParts(const QString& text);

// Makes the renamed Destination objects and their Source namesakes counterparts, as the rename
// dialog does: tables first, so that a column of a renamed table finds its counterpart. The
// databases must be linked already. Throws ComparisonInputError for a name that is not there.
void ApplyRenames(const QList<QPair<QString, QString>>& renames, Tovimar_Database& source, Tovimar_Database& dest);

// Decides inclusion again for a model loaded without filters; the filter stays set on db.
void ApplyFilter(Tovimar_Database& db, ObjectFilter& filter);

// Filters, links, applies the renames and generates the sorted script list. The rows of a data
// copy are read through the Source's connection when it has one. Throws TovimarException for a
// bad filter file or a generation error, ComparisonInputError for a bad rename.
ScriptList GenerateComparison(Tovimar_Database& source, Tovimar_Database& dest, const ComparisonOptions& options,
                              Progress& progress);

// True when a script deletes a table or a column (data would be lost).
bool HasTableOrFieldDeletes(const ScriptList& scripts);

// True when the list changes anything: the activation check that comes with every unchanged
// full-text index is no difference.
bool HasDifferences(const ScriptList& scripts);

// One line per script: index, change kind, object type and the object's name with its table,
// separated by tabs.
QString SummaryLine(const Tovimar_Script& script);

// SummaryLine of every script, each followed by a line feed.
QString SummaryText(const ScriptList& scripts);
