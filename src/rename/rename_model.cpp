#include "rename/rename_model.h"

#include "compare/generation_driver.h"
#include "platform/tovimar_exception.h"

namespace {

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString ObjectTag(const Tovimar_Object* object) {
    if (const auto* table = dynamic_cast<const Tovimar_Table*>(object)) return table->GetTagString();
    if (const auto* field = dynamic_cast<const Tovimar_Field*>(object)) return field->GetTagString();
    return QString();
}

// A column is listed with its table: column names alone repeat from table to table.
RenameItem ItemOf(const Tovimar_Object& object) {
    return RenameItem{object.FullName(true), QString(), object.ObjectType(), ObjectTag(&object), 0};
}

// The table a column belongs to in the other database (its own table's counterpart).
Tovimar_Table* CounterpartTable(const Tovimar_Field& field) {
    const Tovimar_Table* table = field.Table();
    return table ? table->OtherObj() : nullptr;
}

// Links object with its namesake in the other database when that one is free, else unlinks it.
void LinkByName(Tovimar_Object* object, Tovimar_Database& otherDb) {
    if (auto* table = dynamic_cast<Tovimar_Table*>(object)) {
        Tovimar_Table* namesake = otherDb.Tables.Item(table->FullName()).get();
        table->SetOtherObj(namesake && !namesake->OtherObj() ? namesake : nullptr);
    } else if (auto* field = dynamic_cast<Tovimar_Field*>(object)) {
        Tovimar_Table* otherTable = CounterpartTable(*field);
        Tovimar_Field* namesake = otherTable ? otherTable->Fields.Item(field->FullName()).get() : nullptr;
        field->SetOtherObj(namesake && !namesake->OtherObj() ? namesake : nullptr);
    }
}

}  // namespace

RenameModel::RenameModel(Tovimar_Database& db1, Tovimar_Database& db2, ScriptList scripts, Regenerator regenerate)
    : DB1(&db1), DB2(&db2), Scripts(std::move(scripts)), regenerate_(std::move(regenerate)) {}

RenameModel::Regenerator RenameModel::FromContext(GenerationContext& ctx, Progress* progress) {
    return [&ctx, progress](bool refresh) { return GenerateAllScripts(ctx, progress, refresh); };
}

Tovimar_Object* RenameModel::ObjectOf(const Tovimar_Database& db, const QString& tag) const {
    // A tag whose object has gone (a stale list) finds nothing rather than failing.
    try {
        return GetObjectByTag(db, tag);
    } catch (const TovimarException&) {
        return nullptr;
    }
}

void RenameModel::Load() {
    Deletes.clear();
    Creates.clear();
    Renames.clear();
    AllCreates = {};
    SelectedDelete = SelectedCreate = SelectedRename = -1;
    for (const ScriptPtr& script : Scripts) {
        if (!script || !script->ScriptedObj) continue;
        const bool isTable = Same(script->Typ, QStringLiteral("Table"));
        if (!isTable && !Same(script->Typ, QStringLiteral("Column"))) continue;
        Tovimar_Object* object = script->ScriptedObj;
        if (Same(script->Action, QStringLiteral("CREATE"))) {
            QString group;
            if (auto* table = dynamic_cast<Tovimar_Table*>(object)) group = table->Owner;
            else if (auto* field = dynamic_cast<Tovimar_Field*>(object); field && field->Parent)
                group = field->Parent->FullName();
            if (!AllCreates.Contains(group))
                AllCreates.Add(std::make_shared<Collection<Tovimar_Object*>>(), group);
            AllCreates.Item(group)->Add(object);
        } else if (Same(script->Action, QStringLiteral("DELETE")) || Same(script->Action, QStringLiteral("REDELETE"))) {
            Deletes.append(ItemOf(*object));
        } else if (const Tovimar_Object* other = object->OtherObject();
                   other && (Same(script->Action, QStringLiteral("RENAME")) ||
                             (Same(script->Action, QStringLiteral("CHANGE")) && !Same(other->Name, object->Name)))) {
            Renames.append(RenameItem{other->FullName(true), object->FullName(true), script->Typ, QString(), script->Index});
        }
    }
    if (ShowAllDest) {
        SetShowAllDest(true);
        return;
    }
    ShowAllSrcEnabled = !Deletes.isEmpty();
    if (!ShowAllSrcEnabled) ShowAllSrc = false;
    SelectDelete(Deletes.isEmpty() ? -1 : 0);
}

void RenameModel::SelectDelete(int row) {
    SelectedDelete = row >= 0 && row < Deletes.size() ? row : -1;
    FillCreates();
}

void RenameModel::FillCreates() {
    Creates.clear();
    SelectedCreate = -1;
    if (SelectedDelete < 0) return;
    Tovimar_Object* deleted = ObjectOf(*DB2, Deletes[SelectedDelete].Tag);
    auto* table = dynamic_cast<Tovimar_Table*>(deleted);
    auto* field = dynamic_cast<Tovimar_Field*>(deleted);
    Tovimar_Table* otherTable = field ? CounterpartTable(*field) : nullptr;
    if (ShowAllSrc) {
        if (table) {
            for (const TablePtr& candidate : DB1->Tables) Creates.append(ItemOf(*candidate));
        } else if (otherTable) {
            for (const FieldPtr& candidate : otherTable->Fields) Creates.append(ItemOf(*candidate));
        }
    } else {
        QString group;
        if (table) group = table->Owner;
        else if (otherTable) group = otherTable->FullName();
        if (table || otherTable)
            if (const auto created = AllCreates.Item(group))
                for (Tovimar_Object* object : *created) Creates.append(ItemOf(*object));
    }
    SelectCreate(Creates.isEmpty() ? -1 : 0);
}

void RenameModel::Regenerate(bool refresh) {
    Scripts = regenerate_(refresh);
}

void RenameModel::Rename() {
    if (!CanRename()) return;
    Tovimar_Object* a = ObjectOf(*DB2, Deletes[SelectedDelete].Tag);
    Tovimar_Object* b = ObjectOf(*DB1, Creates[SelectedCreate].Tag);
    auto* tableA = dynamic_cast<Tovimar_Table*>(a);
    auto* tableB = dynamic_cast<Tovimar_Table*>(b);
    auto* fieldA = dynamic_cast<Tovimar_Field*>(a);
    auto* fieldB = dynamic_cast<Tovimar_Field*>(b);
    if (tableA && tableB) Tovimar_Database::SetLink(tableA, tableB);
    else if (fieldA && fieldB) Tovimar_Database::SetLink(fieldA, fieldB);
    else return;
    Regenerate(true);
    RegeneratePending = true;
    Load();
}

void RenameModel::Undo() {
    if (!CanUndo()) return;
    const long index = Renames[SelectedRename].ScriptIndex;
    ScriptPtr script;
    for (const ScriptPtr& candidate : Scripts)
        if (candidate && candidate->Index == index) script = candidate;
    if (!script || !script->ScriptedObj) return;
    Tovimar_Object* a = script->ScriptedObj;
    Tovimar_Object* b = a->OtherObject();
    Tovimar_Database* dbA = a->Database() == DB2 ? DB2 : DB1;
    Tovimar_Database* dbB = dbA == DB1 ? DB2 : DB1;
    LinkByName(a, *dbB);
    if (b) LinkByName(b, *dbA);
    Regenerate(true);
    RegeneratePending = true;
    Load();
}

void RenameModel::SetShowAllSrc(bool checked) {
    ShowAllSrc = checked;
    FillCreates();
}

void RenameModel::SetShowAllDest(bool checked) {
    ShowAllDest = checked;
    if (!checked) {
        Load();
        return;
    }
    const QString selected = SelectedDelete >= 0 ? Deletes[SelectedDelete].Text : QString();
    Deletes.clear();
    for (const TablePtr& table : DB2->Tables) {
        Deletes.append(ItemOf(*table));
        for (const FieldPtr& field : table->Fields) Deletes.append(ItemOf(*field));
    }
    int row = Deletes.isEmpty() ? -1 : 0;
    for (int i = 0; i < Deletes.size() && !selected.isEmpty(); ++i)
        if (Deletes[i].Text == selected) row = i;
    ShowAllSrcEnabled = !Deletes.isEmpty();
    if (!ShowAllSrcEnabled) ShowAllSrc = false;
    SelectDelete(row);
}

ScriptList RenameModel::Next() {
    if (RegeneratePending) {
        Regenerate(false);
        RegeneratePending = false;
    }
    return Scripts;
}
