#include "main/impossible_changes.h"

#include "platform/db/db_connection.h"
#include "platform/tovimar_exception.h"
#include "schema/sql_text.h"

#include <QHash>
#include <QSet>
#include <optional>

namespace {

bool Is(const QString& type, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (type.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool IsCharacter(const QString& type) { return Is(type, {"char", "varchar", "nchar", "nvarchar", "text", "ntext"}); }
bool IsBinary(const QString& type) { return Is(type, {"binary", "varbinary", "image"}); }
bool IsNumeric(const QString& type) {
    return Is(type, {"bit", "tinyint", "smallint", "int", "bigint", "decimal", "numeric", "money", "smallmoney", "float",
                     "real"});
}

// The condition that selects the values of column that do not fit into field's type; none when
// every value of the old column fits.
std::optional<QString> TooLargeCondition(const Tovimar_Field& field, const Tovimar_Field& old, const QString& column,
                                         bool ignoreDataLoss) {
    const bool lengthType = Is(field.DataType, {"char", "varchar", "nchar", "nvarchar", "binary", "varbinary"});
    if (lengthType && (IsCharacter(old.DataType) || IsBinary(old.DataType))) {
        // The conversion of the rebuild cuts longer values; without it the copy fails (8152).
        const bool longer = Is(old.DataType, {"text", "ntext", "image"}) || old.DataPrecision > field.DataPrecision;
        if (ignoreDataLoss || !longer) return std::nullopt;
        const QString length = IsBinary(field.DataType) ? QStringLiteral("DATALENGTH(") : QStringLiteral("LEN(");
        return length + column + QStringLiteral(") > ") + QString::number(field.DataPrecision);
    }
    if (!IsNumeric(old.DataType) || Is(old.DataType, {"bit"})) return std::nullopt;
    // A value outside the new type's range overflows (8115), converted or not.
    if (Is(field.DataType, {"tinyint"})) return column + QStringLiteral(" < 0 OR ") + column + QStringLiteral(" > 255");
    if (Is(field.DataType, {"smallint"}) && !Is(old.DataType, {"tinyint"}))
        return column + QStringLiteral(" < -32768 OR ") + column + QStringLiteral(" > 32767");
    if (Is(field.DataType, {"int"}) && !Is(old.DataType, {"tinyint", "smallint"}))
        return column + QStringLiteral(" < -2147483648 OR ") + column + QStringLiteral(" > 2147483647");
    if (Is(field.DataType, {"decimal", "numeric"})) {
        const long digits = field.DataPrecision - field.DataDecimals;
        const bool sameOrWider = Is(old.DataType, {"decimal", "numeric"}) &&
                                 old.DataPrecision - old.DataDecimals <= digits;
        if (sameOrWider) return std::nullopt;
        return QStringLiteral("ABS(") + column + QStringLiteral(") >= 1") + QString(static_cast<int>(digits), QLatin1Char('0'));
    }
    return std::nullopt;
}

class RowCounter {
public:
    explicit RowCounter(Tovimar_Database& db) : db_(db) {
        if (!db.Connection)
            throw TovimarException(3704, QStringLiteral("FindImpossibleChanges"),
                                   QStringLiteral("The database %1 is not connected.").arg(db.FullName()));
    }
    qint64 Count(const QString& table, const QString& condition = QString()) {
        const QString key = table + QLatin1Char('\n') + condition;
        const auto found = cache_.constFind(key);
        if (found != cache_.constEnd()) return found.value();
        const auto cursor = db_.Connection->RunQuery(
            QStringLiteral("SELECT COUNT(*) AS RowTotal FROM ") + table +
            (condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition));
        const qint64 rows = cursor->EndOfRows() ? 0 : cursor->Value(QStringLiteral("RowTotal")).ToInt();
        cache_.insert(key, rows);
        return rows;
    }

private:
    Tovimar_Database& db_;
    QHash<QString, qint64> cache_;
};

QString Rows(qint64 count) { return count == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(count); }

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

std::vector<ImpossibleChange> FindImpossibleChanges(const ScriptList& scripts, Tovimar_Database& dest,
                                                    bool ignoreDataLoss) {
    QSet<const Tovimar_Object*> checkedTables;
    for (const ScriptPtr& script : scripts)
        if (script && script->Checked && Same(script->Typ, QStringLiteral("Table"))) checkedTables.insert(script->ScriptedObj);

    std::vector<ImpossibleChange> found;
    std::optional<RowCounter> counter;
    for (const ScriptPtr& script : scripts) {
        if (!script || !script->Checked || !Same(script->Typ, QStringLiteral("Column"))) continue;
        const bool added = Same(script->Action, QStringLiteral("CREATE"));
        if (!added && !Same(script->Action, QStringLiteral("CHANGE"))) continue;
        const auto* field = dynamic_cast<const Tovimar_Field*>(script->ScriptedObj);
        const Tovimar_Table* table = field ? field->Table() : nullptr;
        const Tovimar_Table* destTable = table ? table->OtherObj() : nullptr;
        // A new table has no rows; a data copy decides the rows itself; a rebuild that is not
        // run changes nothing.
        if (!destTable || !table->DataCopyDefs.IsEmpty()) continue;
        if (table->DeleteRecreate && !checkedTables.contains(table)) continue;
        if (!counter) counter.emplace(dest);
        const QString tableName = destTable->FullName();
        const QString name = field->FullName(true);

        if (added) {
            const bool filled = field->CanBeNull || field->Default || field->Identity || !field->Formula.isEmpty() ||
                                Is(field->DataType, {"timestamp"});
            if (filled) continue;
            const qint64 rows = counter->Count(tableName);
            if (rows > 0)
                found.push_back({name, QStringLiteral("added NOT NULL without a default to a table with %1").arg(Rows(rows))});
            continue;
        }
        const Tovimar_Field* old = field->OtherObj();
        if (!old || !field->Formula.isEmpty() || !old->Formula.isEmpty()) continue;
        const QString column = QuoteName(old->Name);
        if (!field->CanBeNull && old->CanBeNull && !field->Identity) {
            const qint64 rows = counter->Count(tableName, column + QStringLiteral(" IS NULL"));
            if (rows > 0) found.push_back({name, QStringLiteral("made NOT NULL, but %1 hold NULL").arg(Rows(rows))});
        }
        const std::optional<QString> tooLarge = TooLargeCondition(*field, *old, column, ignoreDataLoss);
        if (!tooLarge) continue;
        const qint64 rows = counter->Count(tableName, *tooLarge);
        if (rows > 0)
            found.push_back({name, QStringLiteral("changed from %1 to %2, but %3 hold values that do not fit")
                                       .arg(old->DataTypeText(false), field->DataTypeText(false), Rows(rows))});
    }
    return found;
}

QString ImpossibleChangesText(const std::vector<ImpossibleChange>& changes) {
    QString text = QStringLiteral("ATTENTION: Some of the generated Scripts cannot work on the data of the Destination "
                                  "and would fail in the middle of the run:\n");
    for (const ImpossibleChange& change : changes) text += QStringLiteral("  ") + change.Column + QStringLiteral(": ") + change.Reason + QLatin1Char('\n');
    text += QStringLiteral("Give such a column a default in the Source, copy the table's data with a data copy of the "
                           "filters, or let the rebuild convert the columns (ignore data loss) where values are only "
                           "too long. Nothing has been executed.\n");
    return text;
}
