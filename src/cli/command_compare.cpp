// tovimar-cli compare SOURCE DEST and tovimar-cli export SOURCE: the scripts that bring DEST in
// line with SOURCE (or create all of SOURCE), in the text of a saved script file or as a summary.
#include "cli/cli_command.h"
#include "cli/source.h"
#include "compare/generation_driver.h"
#include "compare/generators.h"
#include "compare/linking.h"
#include "compare/script_export.h"
#include "filters/filter_file.h"
#include "filters/filter_model.h"
#include "platform/local_text.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "schema/sql_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

namespace {

struct Options {
    QStringList Sources;
    QString Output;
    QString FilterFile;
    bool Summary = false;
    bool IgnoreDataLoss = false;
    QList<QPair<QString, QString>> Renames;  // OLD (Destination), NEW (Source)
};

Options ParseOptions(const QStringList& args, const QString& command, bool compare) {
    Options options;
    auto value = [&](qsizetype& i, const QString& name) {
        if (i + 1 >= args.size()) throw CliUsageError(QStringLiteral("%1 needs a value").arg(name));
        return args[++i];
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("-o") || arg == QLatin1String("--output")) {
            if (!options.Output.isEmpty()) throw CliUsageError(QStringLiteral("only one output file may be given"));
            options.Output = value(i, arg);
        } else if (arg == QLatin1String("--filter-file")) {
            if (!options.FilterFile.isEmpty()) throw CliUsageError(QStringLiteral("only one filter file may be given"));
            options.FilterFile = value(i, arg);
        } else if (compare && arg == QLatin1String("--summary")) {
            options.Summary = true;
        } else if (compare && arg == QLatin1String("--ignore-data-loss")) {
            options.IgnoreDataLoss = true;
        } else if (compare && arg == QLatin1String("--rename")) {
            const QString pair = value(i, arg);
            const qsizetype eq = pair.indexOf(QLatin1Char('='));
            if (eq <= 0 || eq == pair.size() - 1)
                throw CliUsageError(QStringLiteral("--rename needs OLD=NEW, not %1").arg(pair));
            options.Renames.append({pair.left(eq), pair.mid(eq + 1)});
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            throw CliUsageError(QStringLiteral("unknown option %1").arg(arg));
        } else {
            options.Sources << arg;
        }
    }
    const int wanted = compare ? 2 : 1;
    if (options.Sources.size() != wanted)
        throw CliUsageError(compare ? QStringLiteral("%1 takes SOURCE and DEST").arg(command)
                                    : QStringLiteral("%1 takes one SOURCE").arg(command));
    return options;
}

// The parts of a name such as [dbo].[Order Details], dbo.Orders or [a.b]]c]: dots inside
// brackets do not split, brackets are removed and "]]" becomes "]".
QStringList NameParts(const QString& text) {
    QStringList parts;
    QString current;
    bool inBracket = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inBracket) {
            if (c == QLatin1Char(']')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char(']')) {
                    current += c;
                    ++i;
                } else {
                    inBracket = false;
                }
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('[')) {
            inBracket = true;
        } else if (c == QLatin1Char('.')) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    for (QString& part : parts) part = part.trimmed();
    return parts;
}

QString TableKey(const QStringList& parts) {
    return parts.size() == 1 ? QuoteName(QStringLiteral("dbo"), parts[0]) : QuoteName(parts[0], parts[1]);
}

// Declares the renames as the rename dialog does: the Destination object and the Source object
// become counterparts. Tables first, so that a column of a renamed table finds its counterpart.
void ApplyRenames(const QList<QPair<QString, QString>>& renames, Tovimar_Database& source, Tovimar_Database& dest) {
    QList<QPair<QStringList, QStringList>> columns;
    for (const auto& [oldText, newText] : renames) {
        const QStringList oldParts = NameParts(oldText);
        const QStringList newParts = NameParts(newText);
        if (oldParts.contains(QString()) || newParts.contains(QString()) || oldParts.size() > 3 || newParts.size() > 2)
            throw CliUsageError(QStringLiteral("--rename %1=%2: not a table or column name").arg(oldText, newText));
        if (oldParts.size() == 3) {
            if (newParts.size() != 1)
                throw CliUsageError(QStringLiteral("--rename %1=%2: the new column name has one part").arg(oldText, newText));
            columns.append({oldParts, newParts});
            continue;
        }
        const QString oldKey = TableKey(oldParts);
        const QString newKey = TableKey(newParts);
        const TablePtr oldTable = dest.Tables.Item(oldKey);
        if (!oldTable) throw CliUsageError(QStringLiteral("--rename: the Destination has no table %1").arg(oldKey));
        const TablePtr newTable = source.Tables.Item(newKey);
        if (!newTable) throw CliUsageError(QStringLiteral("--rename: the Source has no table %1").arg(newKey));
        Tovimar_Database::SetLink(newTable.get(), oldTable.get());
    }
    for (const auto& [oldParts, newParts] : columns) {
        const QString tableKey = QuoteName(oldParts[0], oldParts[1]);
        const TablePtr table = dest.Tables.Item(tableKey);
        if (!table) throw CliUsageError(QStringLiteral("--rename: the Destination has no table %1").arg(tableKey));
        const FieldPtr oldField = table->Fields.Item(QuoteName(oldParts[2]));
        if (!oldField)
            throw CliUsageError(QStringLiteral("--rename: the Destination table %1 has no column %2")
                                    .arg(tableKey, QuoteName(oldParts[2])));
        Tovimar_Table* counterpart = table->OtherObj();
        if (!counterpart)
            throw CliUsageError(QStringLiteral("--rename: the Destination table %1 has no counterpart in the Source").arg(tableKey));
        const FieldPtr newField = counterpart->Fields.Item(QuoteName(newParts[0]));
        if (!newField)
            throw CliUsageError(QStringLiteral("--rename: the Source table %1 has no column %2")
                                    .arg(counterpart->FullName(), QuoteName(newParts[0])));
        Tovimar_Database::SetLink(newField.get(), oldField.get());
    }
}

// Decides inclusion again for a model loaded without filters.
void ApplyFilter(Tovimar_Database& db, ObjectFilter& filter) {
    db.Filter = &filter;
    for (const TablePtr& table : db.Tables) {
        table->CalcObjectIncluded();
        for (const TriggerPtr& trigger : table->Triggers) trigger->CalcObjectIncluded();
    }
    for (const ViewPtr& view : db.Views) view->CalcObjectIncluded();
    for (const ProcedurePtr& procedure : db.Procedures) procedure->CalcObjectIncluded();
    for (const FunctionPtr& function : db.Functions) function->CalcObjectIncluded();
    for (const RolePtr& role : db.Roles) role->CalcObjectIncluded();
    for (const CatalogPtr& catalog : db.Catalogs) catalog->CalcObjectIncluded();
    db.Filter = nullptr;
}

void WriteOutput(const QString& path, const QString& text) {
    if (path.isEmpty()) {
        PrintOut(text);
        return;
    }
    const QByteArray bytes = EncodeLocalText(text);
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw TovimarException(75, QStringLiteral("tovimar-cli"),
                               QStringLiteral("Path/File access error: %1").arg(QDir::toNativeSeparators(path)));
}

QString SummaryText(const ScriptList& scripts) {
    QString text;
    for (const ScriptPtr& script : scripts)
        text += QString::number(script->Index) + QLatin1Char('\t') + script->Action + QLatin1Char('\t') + script->Typ +
                QLatin1Char('\t') + (script->ScriptedObj ? script->ScriptedObj->FullName(true) : QString()) +
                QLatin1Char('\n');
    return text;
}

void PrintError(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

ScriptList Generate(Tovimar_Database& source, Tovimar_Database& dest, const Options& options, Progress& progress) {
    std::unique_ptr<FilterSets> filters;
    if (!options.FilterFile.isEmpty()) {
        filters = std::make_unique<FilterSets>();
        LoadFilterFile(options.FilterFile, *filters);
        ApplyFilter(source, *filters);
        ApplyFilter(dest, *filters);
    }
    LinkDatabases(source, dest);
    ApplyRenames(options.Renames, source, dest);
    GenerationContext ctx;
    ctx.DB1 = &source;
    ctx.DB2 = &dest;
    ctx.IgnoreDataLoss = options.IgnoreDataLoss;
    ScriptList scripts = GenerateAllScripts(ctx, &progress, false);
    progress.Close();
    return scripts;
}

int RunCompare(const QStringList& args, Progress& progress) {
    const Options options = ParseOptions(args, QStringLiteral("compare"), true);
    const auto source = LoadSource(options.Sources[0], progress);
    const auto dest = LoadSource(options.Sources[1], progress);
    const ScriptList scripts = Generate(*source, *dest, options, progress);
    // The activation check of an unchanged full-text index comes with every full-text table; a
    // list of nothing else means the two schemas are the same.
    if (std::all_of(scripts.begin(), scripts.end(), [](const ScriptPtr& s) { return IsFTIActivationOnly(*s); })) {
        PrintError(QStringLiteral("There are no differences between the Databases!\n"));
        return 0;
    }
    WriteOutput(options.Output, options.Summary ? SummaryText(scripts)
                                                : ExportScriptsText(scripts, *dest, QDateTime::currentDateTime()));
    return 1;
}

int RunExport(const QStringList& args, Progress& progress) {
    const Options options = ParseOptions(args, QStringLiteral("export"), false);
    const auto source = LoadSource(options.Sources[0], progress);
    Tovimar_Database empty;  // never connected: everything is created
    const ScriptList scripts = Generate(*source, empty, options, progress);
    if (scripts.empty()) {
        PrintError(QStringLiteral("The specified Database is either empty or all Objects have been filtered by "
                                  "current Filter Selections!\n"));
        return 1;
    }
    WriteOutput(options.Output, ExportScriptsText(scripts, empty, QDateTime::currentDateTime()));
    return 0;
}

}  // namespace

const CliCommand CompareCommand = {
    "compare",
    "SOURCE DEST [-o FILE] [--summary] [--ignore-data-loss] [--filter-file FILE] [--rename OLD=NEW]...",
    "Write the scripts that bring DEST in line with SOURCE",
    "Loads both schemas, pairs their objects by name and writes the scripts that change DEST into\n"
    "SOURCE, in execution order, as a script file: a header naming DEST, then per script its title,\n"
    "its parts and a GO line after each part.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE     write to FILE (in the locale's encoding) instead of stdout\n"
    "  --summary             one line per script instead: index, change kind, object type and the\n"
    "                        object's name with its table, separated by tabs\n"
    "  --ignore-data-loss    convert every copied column explicitly when a table is rebuilt\n"
    "  --filter-file FILE    choose the objects by the filter sets in FILE (docs/FILTER_FILE.md)\n"
    "  --rename OLD=NEW      OLD in DEST was renamed to NEW in SOURCE, so that its data survives:\n"
    "                        a table \"[dbo].[Old]=[dbo].[New]\", or a column\n"
    "                        \"[dbo].[Table].[OldCol]=[NewCol]\" (the table by its DEST name); plain\n"
    "                        names without brackets are accepted, an owner left out is dbo\n"
    "\n"
    "Exit status: 0 when there are no differences (\"There are no differences between the\n"
    "Databases!\" on stderr), 1 when scripts were written, 2 on any error.\n",
    RunCompare,
};

const CliCommand ExportCommand = {
    "export",
    "SOURCE [-o FILE] [--filter-file FILE]",
    "Write the scripts that create all of SOURCE",
    "Writes the create scripts of every object of SOURCE, compared with an empty database, in the\n"
    "same form as compare.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE     write to FILE (in the locale's encoding) instead of stdout\n"
    "  --filter-file FILE    choose the objects by the filter sets in FILE (docs/FILTER_FILE.md)\n"
    "\n"
    "Exit status: 0 when scripts were written, 1 when there is nothing to create, 2 on any error.\n",
    RunExport,
};
