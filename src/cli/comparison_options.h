#pragma once
// The options that every command comparing two schemas takes (compare, sync, verify), parsed in
// one place, and the generation step with the command line's error handling.
#include "main/comparison_run.h"

#include <QStringList>

class Progress;

// The help lines of the shared options, for the commands' own help texts.
#define TOVIMAR_COMPARISON_OPTIONS_HELP                                                             \
    "  --ignore-data-loss    convert every copied column explicitly when a table is rebuilt\n"     \
    "  --use-cache           read a database from its snapshot in the Schemas folder while its\n" \
    "                        schema fingerprint is unchanged\n"                                   \
    "  --create-cache        write that snapshot after reading a database from its catalog\n"     \
    "  --filter-file FILE    choose the objects by the filter sets in FILE (docs/FILTER_FILE.md)\n" \
    "  --rename OLD=NEW      OLD in DEST was renamed to NEW in SOURCE, so that its data survives:\n" \
    "                        a table \"[dbo].[Old]=[dbo].[New]\", or a column\n"                   \
    "                        \"[dbo].[Table].[OldCol]=[NewCol]\" (the table by its DEST name); plain\n" \
    "                        names without brackets are accepted, an owner left out is dbo\n"

// The options that are a way out of the changes ImpossibleChangesText lists.
inline const QString ImpossibleChangesHint =
    QStringLiteral("(--ignore-data-loss converts the columns of a rebuilt table; a data copy is asked for in a\n"
                   "filter file, --filter-file FILE.)\n");

// The value after the option at args[i]; i moves onto it. Throws CliUsageError when it is missing.
QString TakeValue(const QStringList& args, qsizetype& i);

// When args[i] is --filter-file, --ignore-data-loss or --rename, stores it (and its value) in
// options and returns true; i then stands on the last argument taken.
bool TakeComparisonOption(const QStringList& args, qsizetype& i, ComparisonOptions& options);

// An argument that is no option: a SOURCE. Throws CliUsageError for an unknown option.
void TakeSourceArgument(const QString& arg, QStringList& sources);

// GenerateComparison with bad renames as usage errors and Cancel as OperationAborted.
ScriptList GenerateForCommand(Tovimar_Database& source, Tovimar_Database& dest, const ComparisonOptions& options,
                              Progress& progress);
