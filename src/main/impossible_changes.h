#pragma once
// Changes that cannot work on the Destination's data, found before anything runs: a column added
// NOT NULL without a default to a table that has rows, a column made NOT NULL while rows hold
// NULL in it, a column narrowed below values that exist. Executed, such a change fails in the
// middle of the run (4901, 515, 8152, 8115) and leaves the scripts after it failing in turn.
//
// sync and verify refuse to run when there are any; the desktop program shows the same list as a
// warning before it executes (FindImpossibleChanges, then ImpossibleChangesText).
#include "compare/script.h"
#include "schema/model.h"

#include <QString>
#include <vector>

struct ImpossibleChange {
    QString Column;  // [owner].[table].[column], as in the Source
    QString Reason;  // what cannot work, with the rows concerned
};

// The impossible changes among the checked column scripts of scripts (a rebuilt table's columns
// count when its table script is checked), reading the Destination's rows through dest's
// connection. ignoreDataLoss: the rebuild converts every column, cutting longer values to the new
// length, so narrowing a character or binary column works. Tables with a data copy are left out:
// the filter says which rows they get. Throws TovimarException when a query fails.
std::vector<ImpossibleChange> FindImpossibleChanges(const ScriptList& scripts, Tovimar_Database& dest,
                                                    bool ignoreDataLoss);

// One line per change ("[dbo].[T].[C]: reason"), then what the user can do; "Nothing has been
// executed." at the end.
QString ImpossibleChangesText(const std::vector<ImpossibleChange>& changes);
