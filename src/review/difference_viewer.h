#pragma once
// What the script window hands to the external difference viewer: the complete create scripts
// of an object as the Source and as the Destination define it, and the viewer's command line.
#include "compare/generation_context.h"
#include "compare/script.h"

#include <QString>
#include <QStringList>

struct DifferenceTexts {
    QString Source;       // the text of the Source-side object's create scripts
    QString Destination;  // the same for the Destination-side object (empty when there is none)
};

// Each side of the script's object generates the scripts that would create it from nothing: the
// two objects are unlinked while they generate (with ctx.DiffViewMode set) and linked again
// afterwards, a table with its columns, indexes and constraints exactly as they were linked
// (renamed pairs included). Every script is written as its SQL, a line break, "GO" and a line
// break. Generation errors leave a side as far as it got.
DifferenceTexts DifferenceViewTexts(const Tovimar_Script& script, const Tovimar_Database& source,
                                    GenerationContext& ctx);

// The program and its arguments: command split as a command line is (double quotes group, a
// backslash or doubled quote inside quotes escapes one), then every "%s" becomes sourceFile and
// every "%d" destinationFile (case-insensitive) inside each argument. The file names are never
// parsed again, so spaces, quotes or shell characters in them stay what they are. Empty for an
// empty command.
QStringList DifferenceViewerArguments(const QString& command, const QString& sourceFile,
                                      const QString& destinationFile);
