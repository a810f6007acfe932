#include "filters/filter_storage.h"

#include "platform/db/db_connection.h"
#include "platform/tovimar_exception.h"
#include "schema/sql_text.h"

#include <QStringList>

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString Quoted(const QString& text) { return QuoteUnicodeString(text); }

}  // namespace

QString KeyPrefixPattern(const QString& key) {
    QString escaped;
    escaped.reserve(key.size() + 4);
    for (const QChar c : key) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('['))
            escaped += QLatin1Char('[') + QString(c) + QLatin1Char(']');
        else
            escaped += c;
    }
    return Quoted(escaped + QLatin1Char('%'));
}

QString RenamedKey(const QString& oldKey, const QString& newName) {
    // ".A.B." -> parent ".A." + newName + "."
    return ParentFilterSetKey(oldKey) + newName + QLatin1Char('.');
}

QString ParentFilterSetKey(const QString& key) {
    if (key.size() <= 1) return QString();
    const qsizetype dot = key.lastIndexOf(QLatin1Char('.'), key.size() - 2);
    return dot < 0 ? QString() : key.left(dot + 1);
}

QString CheckFilterSetName(const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) return QStringLiteral("Filter Set name must not be empty!");
    if (trimmed.contains(QLatin1Char('.'))) return QStringLiteral("Filter Set name must not contain any '.' characters!");
    return QString();
}

Tovimar_FilterElement ElementFromRow(const DbCursor& row) {
    Tovimar_FilterElement element;
    element.Init(static_cast<int>(row.Value(QStringLiteral("FilterElementID")).ToInt()),
                 static_cast<int>(row.Value(QStringLiteral("FilterElement_Op")).ToInt()),
                 row.Value(QStringLiteral("FilterElement_ObjectName")).ToString(),
                 row.Value(QStringLiteral("FilterElement_ObjectTypes")).ToString(),
                 row.Value(QStringLiteral("FilterElement_Flags")).ToInt(),
                 row.Value(QStringLiteral("FilterElement_Extra")).ToString());
    return element;
}

void FilterStorage::CreateTables() {
    for (const QString& drop : {QStringLiteral("DROP TABLE [_TovimarFilterElement]"), QStringLiteral("DROP TABLE [_TovimarFilterSet]")}) {
        try {
            connection_->ExecuteSQL(drop);
        } catch (const TovimarException&) {
            // Not there yet.
        }
    }
    const QStringList lines = {
        QStringLiteral("CREATE TABLE [_TovimarFilterSet] ("),
        QStringLiteral("  [FilterSetID] [int] IDENTITY (1, 1) NOT NULL ,"),
        QStringLiteral("  [FilterSet_Path] [varchar] (500) NOT NULL ,"),
        QStringLiteral("  [FilterSet_Name] [varchar] (50) NOT NULL ,"),
        QStringLiteral("  CONSTRAINT [PK__TovimarFilterSet] PRIMARY KEY  CLUSTERED"),
        QStringLiteral("  ("),
        QStringLiteral("    [FilterSetID]"),
        QStringLiteral("  )  ON [PRIMARY]"),
        QStringLiteral(")"),
        QStringLiteral("CREATE TABLE [_TovimarFilterElement] ("),
        QStringLiteral("  [FilterElementID] [int] IDENTITY (1, 1) NOT NULL ,"),
        QStringLiteral("  [FilterElement_SetREF] [int] NOT NULL ,"),
        QStringLiteral("  [FilterElement_Op] [tinyint] NOT NULL ,"),
        QStringLiteral("  [FilterElement_ObjectTypes] [varchar] (100) NOT NULL ,"),
        QStringLiteral("  [FilterElement_ObjectName] [nvarchar] (200) NOT NULL ,"),
        QStringLiteral("  [FilterElement_Flags] [int] NOT NULL ,"),
        QStringLiteral("  [FilterElement_Extra] [ntext] NULL ,"),
        QStringLiteral("  CONSTRAINT [PK__TovimarFilterElement] PRIMARY KEY  CLUSTERED"),
        QStringLiteral("  ("),
        QStringLiteral("    [FilterElementID]"),
        QStringLiteral("  )  ON [PRIMARY] ,"),
        QStringLiteral("  CONSTRAINT [FK__TovimarFilterElement__TovimarFilterSet] FOREIGN KEY"),
        QStringLiteral("  ("),
        QStringLiteral("    [FilterElement_SetREF]"),
        QStringLiteral("  ) REFERENCES [_TovimarFilterSet] ("),
        QStringLiteral("    [FilterSetID]"),
        QStringLiteral("  )"),
        QStringLiteral(")"),
        QStringLiteral("GRANT SELECT ON [dbo].[_TovimarFilterSet] TO public"),
        QStringLiteral("GRANT SELECT ON [dbo].[_TovimarFilterElement] TO public"),
    };
    connection_->ExecuteSQL(lines.join(QStringLiteral("\r\n")));
}

QList<FilterSetRow> FilterStorage::LoadSetRows(const QString& startKey) {
    auto cursor = connection_->RunQuery(
        QStringLiteral("SELECT FilterSetID, FilterSet_Path, FilterSet_Name FROM _TovimarFilterSet (NOLOCK) WHERE FilterSet_Path LIKE ") +
        KeyPrefixPattern(startKey) + QStringLiteral(" ORDER BY FilterSet_Path, FilterSet_Name"));
    QList<FilterSetRow> rows;
    for (; !cursor->EndOfRows(); cursor->MoveNext()) {
        FilterSetRow row;
        row.SetID = static_cast<int>(cursor->Value(QStringLiteral("FilterSetID")).ToInt());
        row.Path = cursor->Value(QStringLiteral("FilterSet_Path")).ToString();
        row.Name = cursor->Value(QStringLiteral("FilterSet_Name")).ToString();
        rows << row;
    }
    return rows;
}

void FilterStorage::LoadAll(FilterSets& sets) {
    // Every set is loaded, with or without elements, so that an empty set still carries the
    // sets below it; the rows come ordered by path, so a parent is met before its children.
    const auto hang = [&sets](const QString& path, const QString& name, int id) {
        Tovimar_FilterSet* set = sets.GetFilterSet(path, name);
        if (set->SetID == 0) {
            set->SetID = id;
            const QString key = set->Key();
            if (Tovimar_FilterSet* parent = sets.GetFilterSet(path.isEmpty() ? QStringLiteral(".") : path, QString()))
                if (!parent->SubSets.Contains(key)) parent->SubSets.Add(sets.Sets().Item(key), key);
        }
        return set;
    };
    for (const FilterSetRow& row : LoadSetRows(QStringLiteral("."))) hang(row.Path, row.Name, row.SetID);
    auto cursor = connection_->RunQuery(QStringLiteral(
        "SELECT S.FilterSet_Path, S.FilterSet_Name, E.* FROM _TovimarFilterSet AS S (NOLOCK) INNER JOIN "
        "_TovimarFilterElement AS E (NOLOCK) ON E.FilterElement_SetREF = S.FilterSetID ORDER BY FilterSet_Path, "
        "FilterSet_Name, FilterElement_Op, FilterElement_ObjectName, FilterElement_Flags"));
    for (; !cursor->EndOfRows(); cursor->MoveNext()) {
        Tovimar_FilterSet* set = hang(cursor->Value(QStringLiteral("FilterSet_Path")).ToString(),
                                      cursor->Value(QStringLiteral("FilterSet_Name")).ToString(),
                                      static_cast<int>(cursor->Value(QStringLiteral("FilterElement_SetREF")).ToInt()));
        const Tovimar_FilterElement row = ElementFromRow(*cursor);
        if (sets.Elements().Contains(QStringLiteral("#") + QString::number(row.ElementID))) continue;
        const FilterElementPtr element = sets.NewFilterElement(row.ElementID, row.FilterOp, row.ObjectName,
                                                               row.ObjectTypes, row.FilterFlags, row.FilterExtra, false);
        set->Elements.Add(element, QString::number(row.ElementID) + QLatin1Char('#'));
    }
}

QList<Tovimar_FilterElement> FilterStorage::LoadElements(int setId) {
    auto cursor = connection_->RunQuery(
        QStringLiteral("SELECT * FROM _TovimarFilterElement (NOLOCK) WHERE FilterElement_SetRef = ") +
        QString::number(setId) + QStringLiteral(" ORDER BY FilterElement_Op, FilterElement_ObjectName, FilterElement_Flags"));
    QList<Tovimar_FilterElement> elements;
    for (; !cursor->EndOfRows(); cursor->MoveNext()) elements << ElementFromRow(*cursor);
    return elements;
}

int FilterStorage::AddSet(const QString& parentKey) {
    // A name a sibling has already would give both sets the same key, and with it the same
    // descendants: the first free one of New Set, New Set1, New Set2 ... is taken.
    QStringList siblings;
    for (const FilterSetRow& row : LoadSetRows(parentKey))
        if (row.Path == parentKey) siblings << row.Name;
    constexpr int MaxTries = 1000;
    for (int attempt = 0;; ++attempt) {
        const QString name = QStringLiteral("New Set") + (attempt == 0 ? QString() : QString::number(attempt));
        if (siblings.contains(name, Qt::CaseInsensitive) && attempt + 1 < MaxTries) continue;
        try {
            auto cursor = connection_->RunQuery(
                QStringLiteral("INSERT INTO _TovimarFilterSet (FilterSet_Path, FilterSet_Name) VALUES (") +
                Quoted(parentKey) + QLatin1Char(',') + Quoted(name) + QStringLiteral(")\r\nSELECT @@IDENTITY AS ID"));
            return cursor->EndOfRows() ? 0 : static_cast<int>(cursor->Value(QStringLiteral("ID")).ToInt());
        } catch (const TovimarException&) {
            if (attempt + 1 >= MaxTries) throw;
        }
    }
}

void FilterStorage::RunTransaction(const QString& statements) {
    try {
        connection_->ExecuteSQL(QStringLiteral("BEGIN TRANSACTION") + CRLF + statements + CRLF +
                                QStringLiteral("IF @@ERROR = 0 COMMIT TRANSACTION"));
    } catch (const TovimarException&) {
        try {
            connection_->ExecuteSQL(QStringLiteral("ROLLBACK TRANSACTION"));
        } catch (const TovimarException&) {
            // Nothing was left open.
        }
        throw;
    }
}

void FilterStorage::RenameSet(int setId, const QString& oldKey, const QString& newName) {
    const QString name = newName.trimmed();
    const QString newKey = RenamedKey(oldKey, name);
    RunTransaction(QStringLiteral("UPDATE _TovimarFilterSet SET FilterSet_Name =") + Quoted(name) +
                   QStringLiteral(" WHERE FilterSetID = ") + QString::number(setId) + CRLF +
                   QStringLiteral("UPDATE _TovimarFilterSet SET FilterSet_Path = ") + Quoted(newKey) +
                   QStringLiteral(" + SUBSTRING(FilterSet_Path,") + QString::number(oldKey.size() + 1) +
                   QStringLiteral(",2000) WHERE FilterSet_Path LIKE ") + KeyPrefixPattern(oldKey));
}

void FilterStorage::DeleteSet(int setId, const QString& key) {
    const QString subSets = QStringLiteral("(SELECT FilterSetID FROM _TovimarFilterSet WHERE FilterSetID = ") +
                            QString::number(setId) + QStringLiteral(" OR FilterSet_Path LIKE ") + KeyPrefixPattern(key) +
                            QLatin1Char(')');
    RunTransaction(QStringLiteral("DELETE _TovimarFilterElement WHERE FilterElement_SetREF IN ") + subSets + CRLF +
                   QStringLiteral("DELETE _TovimarFilterSet WHERE FilterSetID IN ") + subSets);
}

int FilterStorage::SaveElement(int setId, int elementId, const Tovimar_FilterElement& element) {
    const QString extra = element.FilterExtra.isEmpty() ? QStringLiteral("NULL") : Quoted(element.FilterExtra);
    const QString op = QString::number(element.FilterOp);
    const QString flags = QString::number(element.FilterFlags);
    if (elementId == 0) {
        auto cursor = connection_->RunQuery(
            QStringLiteral("INSERT INTO _TovimarFilterElement (FilterElement_SetREF, FilterElement_Op, "
                           "FilterElement_ObjectTypes, FilterElement_ObjectName, FilterElement_Flags, "
                           "FilterElement_Extra) VALUES (") +
            QString::number(setId) + QLatin1Char(',') + op + QLatin1Char(',') + Quoted(element.ObjectTypes) +
            QStringLiteral(",N") + Quoted(element.ObjectName) + QLatin1Char(',') + flags + QStringLiteral(",") +
            (element.FilterExtra.isEmpty() ? extra : QStringLiteral("N") + extra) +
            QStringLiteral(")\r\nSELECT @@IDENTITY AS ID"));
        return cursor->EndOfRows() ? 0 : static_cast<int>(cursor->Value(QStringLiteral("ID")).ToInt());
    }
    connection_->ExecuteSQL(QStringLiteral("UPDATE _TovimarFilterElement SET FilterElement_Op = ") + op +
                            QStringLiteral(", FilterElement_ObjectTypes = ") + Quoted(element.ObjectTypes) +
                            QStringLiteral(", FilterElement_ObjectName = N") + Quoted(element.ObjectName) +
                            QStringLiteral(", FilterElement_Flags = ") + flags + QStringLiteral(", FilterElement_Extra = ") +
                            (element.FilterExtra.isEmpty() ? extra : QStringLiteral("N") + extra) +
                            QStringLiteral(" WHERE FilterElementID = ") + QString::number(elementId));
    return elementId;
}

void FilterStorage::DeleteElement(int elementId) {
    connection_->ExecuteSQL(QStringLiteral("DELETE _TovimarFilterElement WHERE FilterElementID = ") +
                            QString::number(elementId));
}

// ---- Apply mode: check rules ------------------------------------------------------------------

namespace {

void SetOwnState(Tovimar_FilterSet& set, bool checked) {
    set.Checked = checked;
    for (const FilterElementPtr& element : set.Elements)
        if (element) element->Checked = checked;
}

void ClearDescendants(Tovimar_FilterSet& set) {
    for (const FilterSetPtr& child : set.SubSets) {
        if (!child) continue;
        if (child->Checked) SetOwnState(*child, false);
        ClearDescendants(*child);
    }
}

void CheckAncestors(FilterSets& sets, const QString& key, bool withElements) {
    for (QString parent = ParentFilterSetKey(key); !parent.isEmpty(); parent = ParentFilterSetKey(parent)) {
        Tovimar_FilterSet* set = sets.Sets().Item(parent).get();
        if (!set || set->Checked) continue;
        if (withElements)
            SetOwnState(*set, true);
        else
            set->Checked = true;
    }
}

}  // namespace

void SetFilterSetChecked(FilterSets& sets, const QString& key, bool checked) {
    Tovimar_FilterSet* set = sets.Sets().Item(key).get();
    if (!set) return;
    SetOwnState(*set, checked);
    if (checked)
        CheckAncestors(sets, key, true);
    else
        ClearDescendants(*set);
}

QString FilterSetKeyOfElement(const FilterSets& sets, int elementId) {
    const QString elementKey = QString::number(elementId) + QLatin1Char('#');
    for (const FilterSetPtr& set : sets.Sets())
        if (set && set->Elements.Contains(elementKey)) return set->Key();
    // The root's built-in elements are kept without item keys.
    if (Tovimar_FilterSet* root = sets.Root())
        for (const FilterElementPtr& element : root->Elements)
            if (element && element->ElementID == elementId) return root->Key();
    return QString();
}

QString SetFilterElementChecked(FilterSets& sets, int elementId, bool checked) {
    const FilterElementPtr element = sets.Elements().Item(QStringLiteral("#") + QString::number(elementId));
    if (!element) return QString();
    element->Checked = checked;
    const QString key = FilterSetKeyOfElement(sets, elementId);
    if (checked && !key.isEmpty()) {
        if (Tovimar_FilterSet* set = sets.Sets().Item(key).get()) set->Checked = true;
        CheckAncestors(sets, key, false);
    }
    return key;
}
