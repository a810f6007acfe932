// tovimar-cli info SOURCE: how many objects of each kind the schema holds.
#include "cli/cli_command.h"
#include "cli/source.h"
#include "platform/progress.h"

namespace {

int RunInfo(const QStringList& args, Progress& progress) {
    if (args.size() != 1) throw CliUsageError(QStringLiteral("info takes exactly one SOURCE"));
    const auto db = LoadSource(args[0], progress);
    progress.Close();

    qsizetype columns = 0;
    for (const TablePtr& table : db->Tables) columns += table->Fields.Count();
    const std::pair<const char*, qsizetype> counts[] = {
        {"FileGroups", db->FileGroups.Count()}, {"Tables", db->Tables.Count()},
        {"Columns", columns},                   {"Indexes", db->Indexes.Count()},
        {"Relations", db->Relations.Count()},   {"Defaults", db->Defaults.Count()},
        {"Checks", db->Checks.Count()},         {"Triggers", db->Triggers.Count()},
        {"Views", db->Views.Count()},           {"Procedures", db->Procedures.Count()},
        {"Functions", db->Functions.Count()},   {"Roles", db->Roles.Count()},
        {"Permissions", db->Permissions.Count()}, {"Catalogs", db->Catalogs.Count()},
    };
    QString out;
    for (const auto& [kind, count] : counts)
        out += QLatin1String(kind) + QLatin1Char('\t') + QString::number(count) + QLatin1Char('\n');
    PrintOut(out);
    return 0;
}

}  // namespace

const CliCommand InfoCommand = {
    "info",
    "SOURCE",
    "Print how many objects of each kind a schema holds",
    "Loads SOURCE and prints one line per kind of object, the kind and its count separated by a\n"
    "tab, in this order: FileGroups, Tables, Columns (of tables), Indexes (PRIMARY KEY and UNIQUE\n"
    "constraints included), Relations, Defaults, Checks, Triggers, Views, Procedures, Functions,\n"
    "Roles, Permissions, Catalogs.\n",
    RunInfo,
};
