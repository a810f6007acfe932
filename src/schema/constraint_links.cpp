#include "schema/constraint_links.h"

#include "schema/sql_text.h"

#include <functional>

namespace {

constexpr int HexDigits = 8;
constexpr int MaxTablePart = 16;  // a name of 30 characters: 2 + 2 + 16 + 2 + 8
constexpr int MaxTableBeforeColumn = 9;

bool IsUpperHex(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// "table__column" with a table part of 1 to 9 characters and a column part.
bool HasColumnPart(QStringView middle) {
    for (qsizetype pos = middle.indexOf(QLatin1String("__"), 1); pos > 0 && pos <= MaxTableBeforeColumn;
         pos = middle.indexOf(QLatin1String("__"), pos + 1))
        if (pos + 2 < middle.size()) return true;
    return false;
}

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The name of the column of the other table that the column name of table is linked to; empty
// when it has none.
QString CounterpartColumn(const Tovimar_Table* table, const QString& name) {
    const FieldPtr field = table ? table->Fields.Item(QuoteName(name)) : nullptr;
    const Tovimar_Field* other = field ? field->OtherObj() : nullptr;
    return other ? other->Name : QString();
}

// The columns names of table, mapped through the column links, are otherNames (names of a table
// that is not loaded are compared as they are).
bool SameColumns(const Tovimar_Table* table, const Collection<QString>& names, const Collection<QString>& otherNames) {
    if (names.Count() != otherNames.Count()) return false;
    for (qsizetype i = 0; i < names.Count(); ++i) {
        const QString mapped = table ? CounterpartColumn(table, names[i]) : names[i];
        if (mapped.isEmpty() || !Same(mapped, otherNames[i])) return false;
    }
    return true;
}

// Whether a constraint of a known kind has a generated name (HasGeneratedName without asking
// for the kind).
bool GeneratedName(const Tovimar_Index& index) {
    if (index.IsPrimaryKey) return IsGeneratedConstraintName(index.Name, QStringLiteral("PK"));
    return index.IsUniqueConstraint && IsGeneratedConstraintName(index.Name, QStringLiteral("UQ"));
}
bool GeneratedName(const Tovimar_Default& def) { return IsGeneratedConstraintName(def.Name, QStringLiteral("DF")); }
bool GeneratedName(const Tovimar_Check& check) { return IsGeneratedConstraintName(check.Name, QStringLiteral("CK")); }
bool GeneratedName(const Tovimar_Relation& relation) {
    return IsGeneratedConstraintName(relation.Name, QStringLiteral("FK"));
}

template <class T>
using Match = std::function<bool(const T&, const T&)>;

// Breaks the name links in which either side has a generated name (or that sameTarget rejects,
// when unlinkOtherTargets), then links the unlinked pairs with a generated name on either side:
// first those with the same target and definition, then those with the same target.
template <class P, class T>
void LinkByContent(const Collection<P>& mine, const Collection<P>& theirs, const Match<T>& sameTarget,
                   const Match<T>& sameDefinition, bool unlinkOtherTargets) {
    for (const P& object : mine) {
        T* other = object ? object->OtherObj() : nullptr;
        if (other && (GeneratedName(*object) || GeneratedName(*other) ||
                      (unlinkOtherTargets && !sameTarget(*object, *other))))
            object->SetOtherObj(nullptr);
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (const P& object : mine) {
            if (!object || object->OtherObj()) continue;
            for (const P& candidate : theirs) {
                if (!candidate || candidate->OtherObj()) continue;
                if (!GeneratedName(*object) && !GeneratedName(*candidate)) continue;
                if (!sameTarget(*object, *candidate)) continue;
                if (pass == 0 && !sameDefinition(*object, *candidate)) continue;
                object->SetOtherObj(candidate.get());
                break;
            }
        }
    }
}

}  // namespace

bool IsGeneratedConstraintName(const QString& name, const QString& prefix) {
    // Read in place: asked for every constraint of every linked table.
    const QStringView text(name);
    const qsizetype fixed = 2 + 2 + 2 + HexDigits;  // prefix, two separators, the hex id
    if (text.size() <= fixed || text.size() > fixed + MaxTablePart) return false;
    if (text.left(2).compare(prefix, Qt::CaseInsensitive) != 0 || text.mid(2, 2) != u"__") return false;
    const qsizetype hexAt = text.size() - HexDigits;
    if (text.mid(hexAt - 2, 2) != u"__") return false;
    for (qsizetype i = hexAt; i < text.size(); ++i)
        if (!IsUpperHex(text[i])) return false;
    const QStringView middle = text.mid(4, hexAt - 6);
    if (Same(prefix, QStringLiteral("DF")) || Same(prefix, QStringLiteral("FK"))) return HasColumnPart(middle);
    return true;
}

bool HasGeneratedName(const Tovimar_Object& object) {
    if (const auto* index = dynamic_cast<const Tovimar_Index*>(&object)) return GeneratedName(*index);
    if (const auto* def = dynamic_cast<const Tovimar_Default*>(&object)) return GeneratedName(*def);
    if (const auto* check = dynamic_cast<const Tovimar_Check*>(&object)) return GeneratedName(*check);
    if (const auto* relation = dynamic_cast<const Tovimar_Relation*>(&object)) return GeneratedName(*relation);
    return false;
}

void LinkConstraintsByContent(Tovimar_Table& table) {
    Tovimar_Table* other = table.OtherObj();
    if (!other) return;

    const Match<Tovimar_Default> defaultColumn = [](const Tovimar_Default& mine, const Tovimar_Default& theirs) {
        return mine.Field && theirs.Field && mine.Field->OtherObj() == theirs.Field;
    };
    const Match<Tovimar_Default> defaultValue = [](const Tovimar_Default& mine, const Tovimar_Default& theirs) {
        return Same(mine.Value, theirs.Value);
    };
    LinkByContent(table.Defaults, other->Defaults, defaultColumn, defaultValue, true);

    const Match<Tovimar_Index> keyTarget = [&table](const Tovimar_Index& mine, const Tovimar_Index& theirs) {
        if (mine.IsPrimaryKey || theirs.IsPrimaryKey) return mine.IsPrimaryKey && theirs.IsPrimaryKey;
        return mine.IsUniqueConstraint && theirs.IsUniqueConstraint && SameColumns(&table, mine.FieldNames, theirs.FieldNames);
    };
    const Match<Tovimar_Index> keyDefinition = [&table](const Tovimar_Index& mine, const Tovimar_Index& theirs) {
        return mine.IsClustered == theirs.IsClustered && SameColumns(&table, mine.FieldNames, theirs.FieldNames);
    };
    LinkByContent(table.Indexes, other->Indexes, keyTarget, keyDefinition, false);

    const Match<Tovimar_Check> checkExpression = [](const Tovimar_Check& mine, const Tovimar_Check& theirs) {
        return Same(mine.Value, theirs.Value);
    };
    const Match<Tovimar_Check> checkOptions = [](const Tovimar_Check& mine, const Tovimar_Check& theirs) {
        return mine.NotForRepl == theirs.NotForRepl && mine.NoCheckConstraint == theirs.NoCheckConstraint;
    };
    LinkByContent(table.Checks, other->Checks, checkExpression, checkOptions, false);

    const Match<Tovimar_Relation> relationTarget = [&table](const Tovimar_Relation& mine, const Tovimar_Relation& theirs) {
        const bool sameReferenced =
            mine.PrimaryTable ? mine.PrimaryTable->OtherObj() && mine.PrimaryTable->OtherObj() == theirs.PrimaryTable
                              : !theirs.PrimaryTable && Same(mine.PrimaryTableFullName, theirs.PrimaryTableFullName);
        return sameReferenced && SameColumns(&table, mine.FieldNames, theirs.FieldNames) &&
               SameColumns(mine.PrimaryTable, mine.PrimaryFieldNames, theirs.PrimaryFieldNames);
    };
    const Match<Tovimar_Relation> relationOptions = [](const Tovimar_Relation& mine, const Tovimar_Relation& theirs) {
        return mine.DeleteCascade == theirs.DeleteCascade && mine.UpdateCascade == theirs.UpdateCascade &&
               mine.NotForRepl == theirs.NotForRepl && mine.NoCheckConstraint == theirs.NoCheckConstraint;
    };
    LinkByContent(table.Relations, other->Relations, relationTarget, relationOptions, false);
}
