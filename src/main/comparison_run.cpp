#include "main/comparison_run.h"

#include "compare/connection_source_data.h"
#include "compare/generation_driver.h"
#include "compare/generators.h"
#include "compare/linking.h"
#include "filters/filter_file.h"
#include "filters/filter_model.h"
#include "platform/cleanup_guard.h"
#include "platform/progress.h"
#include "platform/side_by_side.h"
#include "schema/constraint_links.h"
#include "schema/sql_text.h"

#include <QHash>

#include <algorithm>
#include <memory>

namespace {

QString TableKey(const QStringList& parts) {
    return parts.size() == 1 ? QuoteName(QStringLiteral("dbo"), parts[0]) : QuoteName(parts[0], parts[1]);
}

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

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
    if (inBracket) return {};  // an unclosed bracket names nothing
    for (QString& part : parts) part = part.trimmed();
    return parts;
}

void ApplyRenames(const QList<QPair<QString, QString>>& renames, Tovimar_Database& source, Tovimar_Database& dest) {
    QList<QPair<QStringList, QStringList>> columns;
    // One declaration per object, on either side: a second one would silently undo the first.
    QHash<QString, QString> declared;  // "old:" / "new:" + the case-folded key -> the declaration
    auto declareOnce = [&declared](const QString& side, const QString& key, const QString& declaration) {
        const QString slot = side + key.toCaseFolded();
        const auto found = declared.constFind(slot);
        if (found != declared.constEnd())
            throw ComparisonInputError(QStringLiteral("--rename %1 and --rename %2 name the same object %3")
                                           .arg(found.value(), declaration, key));
        declared.insert(slot, declaration);
    };
    for (const auto& [oldText, newText] : renames) {
        const QStringList oldParts = NameParts(oldText);
        const QStringList newParts = NameParts(newText);
        if (oldParts.isEmpty() || newParts.isEmpty() || oldParts.contains(QString()) || newParts.contains(QString()) ||
            oldParts.size() > 3 || newParts.size() > 2)
            throw ComparisonInputError(QStringLiteral("--rename %1=%2: not a table or column name").arg(oldText, newText));
        const QString declaration = oldText + QLatin1Char('=') + newText;
        if (oldParts.size() == 3) {
            if (newParts.size() != 1)
                throw ComparisonInputError(
                    QStringLiteral("--rename %1=%2: the new column name has one part").arg(oldText, newText));
            const QString tableKey = QuoteName(oldParts[0], oldParts[1]);
            declareOnce(QStringLiteral("old:"), tableKey + QLatin1Char('.') + QuoteName(oldParts[2]), declaration);
            declareOnce(QStringLiteral("new:"), tableKey + QLatin1Char('.') + QuoteName(newParts[0]), declaration);
            columns.append({oldParts, newParts});
            continue;
        }
        const QString oldKey = TableKey(oldParts);
        const QString newKey = TableKey(newParts);
        declareOnce(QStringLiteral("old:"), oldKey, declaration);
        declareOnce(QStringLiteral("new:"), newKey, declaration);
        const TablePtr oldTable = dest.Tables.Item(oldKey);
        if (!oldTable) throw ComparisonInputError(QStringLiteral("--rename: the Destination has no table %1").arg(oldKey));
        const TablePtr newTable = source.Tables.Item(newKey);
        if (!newTable) throw ComparisonInputError(QStringLiteral("--rename: the Source has no table %1").arg(newKey));
        Tovimar_Database::SetLink(newTable.get(), oldTable.get());
    }
    for (const auto& [oldParts, newParts] : columns) {
        const QString tableKey = QuoteName(oldParts[0], oldParts[1]);
        const TablePtr table = dest.Tables.Item(tableKey);
        if (!table) throw ComparisonInputError(QStringLiteral("--rename: the Destination has no table %1").arg(tableKey));
        const FieldPtr oldField = table->Fields.Item(QuoteName(oldParts[2]));
        if (!oldField)
            throw ComparisonInputError(QStringLiteral("--rename: the Destination table %1 has no column %2")
                                           .arg(tableKey, QuoteName(oldParts[2])));
        Tovimar_Table* counterpart = table->OtherObj();
        if (!counterpart)
            throw ComparisonInputError(
                QStringLiteral("--rename: the Destination table %1 has no counterpart in the Source").arg(tableKey));
        const FieldPtr newField = counterpart->Fields.Item(QuoteName(newParts[0]));
        if (!newField)
            throw ComparisonInputError(QStringLiteral("--rename: the Source table %1 has no column %2")
                                           .arg(counterpart->FullName(), QuoteName(newParts[0])));
        Tovimar_Database::SetLink(newField.get(), oldField.get());
        // The defaults with generated names follow their columns.
        LinkConstraintsByContent(*table);
    }
}

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
}

ScriptList GenerateComparison(Tovimar_Database& source, Tovimar_Database& dest, const ComparisonOptions& options,
                              Progress& progress) {
    // The filter stays with the databases while scripts are generated: permissions ask it for
    // their grantee then.
    // Every run starts from the default filter sets (every table and view included, collations
    // and file groups not compared) as the desktop program does; a filter file adds its sets.
    FilterSets filters;
    CleanupGuard dropFilters([&source, &dest] {
        source.Filter = nullptr;
        dest.Filter = nullptr;
    });
    if (!options.FilterFile.isEmpty()) LoadFilterFile(options.FilterFile, filters);
    if (options.CompareCollationsAndFileGroups)
        for (const FilterElementPtr& element : filters.Elements())
            if (element->ElementID < 0) element->Checked = false;
    // The two databases are filtered at the same time: each side writes only its own objects,
    // and matching only reads the filter sets.
    RunSideBySide([&dest, &filters] { ApplyFilter(dest, filters); },
                  [&source, &filters] { ApplyFilter(source, filters); });
    if (options.NoDataCopy)
        for (const TablePtr& table : source.Tables)
            if (table) table->DataCopyDefs.Clear();
    LinkDatabases(source, dest);
    ApplyRenames(options.Renames, source, dest);
    GenerationContext ctx;
    ctx.DB1 = &source;
    ctx.DB2 = &dest;
    ctx.IgnoreDataLoss = options.IgnoreDataLoss;
    ctx.IntoEmptyDatabase = options.IntoEmptyDatabase;
    ConnectionSourceData sourceData(source.Connection);
    if (source.Connection) ctx.SourceData = &sourceData;
    ScriptList scripts = GenerateAllScripts(ctx, &progress, false);
    progress.Close();
    return scripts;
}

bool HasTableOrFieldDeletes(const ScriptList& scripts) {
    return std::any_of(scripts.begin(), scripts.end(), [](const ScriptPtr& script) {
        return script && (Same(script->Typ, QStringLiteral("Table")) || Same(script->Typ, QStringLiteral("Column"))) &&
               Same(script->Action, QStringLiteral("DELETE"));
    });
}

bool HasDifferences(const ScriptList& scripts) {
    return std::any_of(scripts.begin(), scripts.end(),
                       [](const ScriptPtr& script) { return script && !IsFTIActivationOnly(*script); });
}

namespace {

// SummaryLine appended to text.
void AppendSummaryLine(QString& text, const Tovimar_Script& script) {
    const QString name = script.ScriptedObj ? script.ScriptedObj->FullName(true) : QString();
    text += QString::number(script.Index);
    text += QLatin1Char('\t');
    text += script.Action;
    text += QLatin1Char('\t');
    text += script.Typ;
    text += QLatin1Char('\t');
    text += name;
}

// The summary lines of scripts [begin, end), each followed by a line feed, in one string.
QString SummaryLines(const ScriptList& scripts, size_t begin, size_t end) {
    QString text;
    text.reserve(static_cast<qsizetype>(end - begin) * 48);
    for (size_t i = begin; i < end; ++i) {
        AppendSummaryLine(text, *scripts[i]);
        text += QLatin1Char('\n');
    }
    return text;
}

}  // namespace

QString SummaryLine(const Tovimar_Script& script) {
    // Written into one string, sized for most names (a summary has a line per script).
    QString line;
    line.reserve(23 + script.Action.size() + script.Typ.size() + 64);
    AppendSummaryLine(line, script);
    return line;
}

QString SummaryText(const ScriptList& scripts) {
    // A long list is written in two halves side by side: a line only reads its script and the
    // scripted object's names.
    constexpr size_t kAlone = 512;
    if (scripts.size() < kAlone) return SummaryLines(scripts, 0, scripts.size());
    const size_t half = scripts.size() / 2;
    QString second;
    QString text;
    RunSideBySide([&scripts, &second, half] { second = SummaryLines(scripts, half, scripts.size()); },
                  [&scripts, &text, half] { text = SummaryLines(scripts, 0, half); });
    text += second;
    return text;
}
