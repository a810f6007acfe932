#pragma once
// frmOptions: the options dialog. In edit mode (from "Edit Default Options...") it edits the
// filter sets and elements in the filter database and stores the four default settings at
// once; in apply mode (opened by a run) it loads all sets into memory, lets the user check the
// ones that apply, and "Next >>" continues the run with them. Storage and check rules live in
// filters/filter_storage.h.
#include "filters/filter_storage.h"
#include "schema/model.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class frmStart;

class frmOptions : public QDialog {
    Q_OBJECT
public:
    frmOptions(frmStart* mainWindow, bool applyMode);

    // Set before LoadForm in apply mode.
    bool ApplyMode = false;
    bool ExportOnly = false;
    std::shared_ptr<Tovimar_Database> DB1;
    std::shared_ptr<Tovimar_Database> DB2;
    std::shared_ptr<FilterSets> Filters;
    QString SourceDBName;
    QString DestDBName;

    QGroupBox* FrameDefault = nullptr;
    QCheckBox* UseSchemaCache = nullptr;
    QCheckBox* IgnoreDataLoss = nullptr;
    QCheckBox* ShowRenameDialog = nullptr;
    QCheckBox* CreateSchemaCache = nullptr;
    QGroupBox* FrameFilterSet = nullptr;
    QLineEdit* Server = nullptr;
    QLineEdit* Database = nullptr;
    QPushButton* cmdFilterConnect = nullptr;
    QTreeWidget* FilterSet = nullptr;
    QTreeWidget* FilterElement = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* btnHelp = nullptr;

    // Captions, stored settings, then connect and fill.
    void LoadForm();
    // Connects to the filter database (offering to create the tables) and fills the tree.
    void ConnectAndFill();
    // The set node with the key; none when there is none.
    QTreeWidgetItem* SetNode(const QString& key) const;
    void ShowElements(QTreeWidgetItem* node);
    // Edit mode operations on the selected node.
    void AddSet(bool child);
    bool RenameSet(QTreeWidgetItem* node, const QString& newName);
    void DeleteSet();
    void DeleteElement();
    // Apply mode: "Next >>".
    void Next();

    FilterStorage* Storage() const { return storage_.get(); }

private:
    void FillTree(const QString& startKey);
    void BuildTreeFromSets();
    void SelectSourceSet();
    void EditElement(bool add);
    void SetChecked(QTreeWidgetItem* node, bool checked);
    void RefreshChecks();

    frmStart* mainWindow_;
    std::unique_ptr<FilterStorage> storage_;
    int shownSetId_ = -2;
    bool filling_ = false;
};
