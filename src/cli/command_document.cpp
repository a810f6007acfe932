// tovimar-cli document DB: builds or updates the documentation tables of a database
// (_TovimarObject and _TovimarMember), carrying over the descriptions and comments users wrote.
#include "cli/cli_command.h"
#include "cli/cli_prompt.h"
#include "cli/comparison_options.h"
#include "cli/source.h"
#include "dbutil/documentation_tables.h"
#include "platform/db/db_connection.h"
#include "platform/progress.h"

#include <cstdio>

namespace {

struct Options {
    QStringList Sources;
    bool AssumeYes = false;
    bool Print = false;
};

Options ParseOptions(const QStringList& args) {
    Options options;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--yes") || arg == QLatin1String("-y")) options.AssumeYes = true;
        else if (arg == QLatin1String("--print")) options.Print = true;
        else TakeSourceArgument(arg, options.Sources);
    }
    if (options.Sources.size() != 1) throw CliUsageError(QStringLiteral("document takes one DB"));
    return options;
}

// The rows of a table as tab-separated text under a header line; tabs and line breaks inside
// values are written as blanks so that every row stays one line.
QString TableText(DbConnection& connection, const QString& table, const QString& orderBy) {
    auto cursor = connection.RunQuery(QStringLiteral("SELECT * FROM [dbo].[") + table + QStringLiteral("] ORDER BY ") + orderBy);
    auto clean = [](QString text) {
        for (QChar& c : text)
            if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) c = QLatin1Char(' ');
        return text;
    };
    QStringList header;
    for (int i = 0; i < cursor->ColumnCount(); ++i) header << cursor->ColumnName(i);
    QString text = header.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (; !cursor->EndOfRows(); cursor->MoveNext()) {
        QStringList row;
        for (int i = 0; i < cursor->ColumnCount(); ++i) {
            const DbValue value = cursor->ValueAt(i);
            row << (value.IsNull() ? QStringLiteral("NULL") : clean(value.ToString()));
        }
        text += row.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

int RunDocument(const QStringList& args, Progress& progress) {
    const Options options = ParseOptions(args);
    const SourceKind kind = SourceKindOf(options.Sources[0]);
    if (kind == SourceKind::Snapshot)
        throw CliUsageError(QStringLiteral("document changes DB: give a live server (sqlserver://...) or a .sql script "
                                           "(a trial on the simulated server), not a snapshot"));
    if (!options.AssumeYes && !CliPrompt::HasTerminal()) {
        PrintErr(QStringLiteral("There is no terminal to ask whether the Documentation Tables are to be updated; "
                                "nothing has been changed. Run again with --yes to update them without asking.\n"));
        return 2;
    }
    const auto db = LoadSource(options.Sources[0], progress);
    CliPrompt prompt(options.AssumeYes);
    if (prompt.Ask(QStringLiteral("Database Documentation Tables will be updated. Continue?"), PromptIcon::Question,
                   PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes) {
        PrintErr(QStringLiteral("Nothing has been changed.\n"));
        return 2;
    }
    if (kind == SourceKind::Script)
        PrintErr(QStringLiteral("DB is a script: the tables are built on a simulated server inside this program, and "
                                "they end with it (a trial; --print shows them).\n"));
    DocumentationTables tables(*db, progress);
    if (tables.Update() == DocumentationTables::Outcome::Aborted) {
        if (progress.Cancelled()) throw OperationAborted();
        PrintErr(QStringLiteral("Update of Documentation Tables aborted!\n") +
                 (tables.LastError.isEmpty() ? QString() : tables.LastError + QLatin1Char('\n')));
        return 2;
    }
    PrintErr(QStringLiteral("Documentation Tables successfully updated!\n"));
    if (options.Print) {
        DbConnection& connection = *db->Connection;
        PrintOut(TableText(connection, QLatin1String(DocumentationTables::ObjectTable), QStringLiteral("TVO_ID")) +
                 QLatin1Char('\n') +
                 TableText(connection, QLatin1String(DocumentationTables::MemberTable), QStringLiteral("TVM_ID")));
    }
    return 0;
}

}  // namespace

const CliCommand DocumentCommand = {
    "document",
    "DB [--yes] [--print]",
    "Build or update the documentation tables _TovimarObject and _TovimarMember in DB",
    "Lists every table, view, procedure and function of DB in _TovimarObject and their columns,\n"
    "indexes, relations and parameters in _TovimarMember, each row with a description and a\n"
    "comments field for users to fill in. An update rebuilds both tables from the current schema\n"
    "in one transaction and keeps what users wrote: objects and members that are gone stay, marked\n"
    "deleted (TVO_Deleted / TVM_Deleted = 1), when they have a description or comments.\n"
    "\n"
    "DB is a live server (sqlserver://...) or a .sql script; a script builds the database on a\n"
    "simulated server inside this program and the tables end with it (a trial).\n"
    "\n"
    "Options:\n"
    "  -y, --yes   update without asking (needed when there is no terminal to ask on)\n"
    "  --print     print both tables afterwards as tab-separated text, one row a line\n"
    "\n"
    "Exit status: 0 when the tables were updated, 2 when the update was aborted or failed, or\n"
    "nothing was changed because the question was answered no or could not be asked.\n",
    RunDocument,
};
