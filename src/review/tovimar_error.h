#pragma once
// Tovimar_Error: one failed part of an executed script, with every error the server reported for
// it. The executor creates one per failed part; the errors window shows them.
#include "compare/script.h"

#include <QList>
#include <iosfwd>
#include <QString>
#include <memory>
#include <vector>

class Tovimar_Error {
public:
    // One reported error: the server's native error number and its text.
    struct Entry {
        long Number = 0;
        QString Description;
        bool operator==(const Entry& other) const {
            return Number == other.Number && Description == other.Description;
        }
    };

    long RTErrorNumber = 0;      // a run-time error of the program itself (the executor leaves it 0)
    QString RTErrorDescription;
    long Index = 0;              // free number for the errors window
    QList<Entry> ErrorList;      // one entry per reported error, in the order reported
    ScriptPtr Script;            // the script that failed
    int ScriptIndex = 0;         // the failed part of the script (1-based)
    bool TryAgain = false;       // the part is executed again in a retry pass

    void AddEntry(long number, const QString& description) { ErrorList.append(Entry{number, description}); }
};

using ErrorPtr = std::shared_ptr<Tovimar_Error>;
// The errors of one run, in the order they occurred.
using ErrorCollection = std::vector<ErrorPtr>;

// A new, empty error record for part stepNo of script.
ErrorPtr CreateError(const ScriptPtr& script, int stepNo);

// For test failure messages.
void PrintTo(const Tovimar_Error::Entry& entry, std::ostream* os);
