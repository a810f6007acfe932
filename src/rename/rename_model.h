#pragma once
// The rename dialog (frmRename) without widgets. A table or column renamed in the Source looks
// like a deleted one plus a created one; pairing them makes the two counterparts, and the
// regenerated scripts then rename instead of dropping and creating (the data survive). The
// dialog shows three lists: the deleted tables and columns, the created ones that a selected
// delete may be paired with, and the pairs as they stand.
#include "compare/generation_context.h"
#include "compare/script.h"
#include "platform/collection.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class Progress;

// One line of a list: the object's name (and for a pair the new name), its kind ("Table" or
// "Column", for the icon), and what finds it again: the object tag for deletes and creates, the
// script's Index for pairs.
struct RenameItem {
    QString Text;
    QString NewName;
    QString Kind;
    QString Tag;
    long ScriptIndex = 0;
};

class RenameModel {
public:
    // Produces a new script list for the two databases: refresh true right after a pairing
    // changed (tables and their contents only), false before the list is handed on.
    using Regenerator = std::function<ScriptList(bool refresh)>;

    RenameModel(Tovimar_Database& db1, Tovimar_Database& db2, ScriptList scripts, Regenerator regenerate);

    Tovimar_Database* DB1;  // Source
    Tovimar_Database* DB2;  // Destination
    ScriptList Scripts;
    // The created tables per owner and the created columns per table (the Source table's
    // FullName), each group in script order.
    Collection<std::shared_ptr<Collection<Tovimar_Object*>>> AllCreates;

    QList<RenameItem> Deletes;
    QList<RenameItem> Creates;
    QList<RenameItem> Renames;
    int SelectedDelete = -1;
    int SelectedCreate = -1;
    int SelectedRename = -1;
    bool ShowAllSrc = false;
    bool ShowAllSrcEnabled = false;
    bool ShowAllDest = false;
    bool RegeneratePending = false;

    // Fills the lists from Scripts and selects the first delete (filling Creates for it).
    void Load();
    void SelectDelete(int row);
    void SelectCreate(int row) { SelectedCreate = row >= 0 && row < Creates.size() ? row : -1; }
    void SelectRename(int row) { SelectedRename = row >= 0 && row < Renames.size() ? row : -1; }
    bool CanRename() const { return SelectedDelete >= 0 && SelectedCreate >= 0; }
    bool CanUndo() const { return SelectedRename >= 0; }

    // Pairs the selected delete with the selected create, regenerates and reloads. Does nothing
    // when either is not selected.
    void Rename();
    // Undoes the selected pair: both objects are linked by name again where their namesakes are
    // free, then regenerates and reloads. Does nothing when no pair is selected.
    void Undo();
    void SetShowAllSrc(bool checked);
    void SetShowAllDest(bool checked);
    // The list to hand on to the script window: regenerated in full when a pairing is pending.
    ScriptList Next();

    // The regeneration of a comparison run: GenerateAllScripts with ctx (whose DB1 and DB2 are
    // the two databases), showing its progress when progress is given.
    static Regenerator FromContext(GenerationContext& ctx, Progress* progress);

private:
    void FillCreates();
    void Regenerate(bool refresh);
    Tovimar_Object* ObjectOf(const Tovimar_Database& db, const QString& tag) const;

    Regenerator regenerate_;
};
