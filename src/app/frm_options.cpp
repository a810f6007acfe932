#include "app/frm_options.h"

#include "app/frm_filter_set_props.h"
#include "app/frm_start.h"
#include "app/gui_prompt.h"
#include "compare/generation_driver.h"
#include "main/comparison_flow.h"
#include "main/settings_store.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int KeyRole = Qt::UserRole;
constexpr int IdRole = Qt::UserRole + 1;

const QList<QPair<QString, QString>>& SettingBoxes() {
    static const QList<QPair<QString, QString>> boxes = {
        {QStringLiteral("UseSchemaCache"), QStringLiteral("&Use Schema Cache")},
        {QStringLiteral("IgnoreDataLoss"), QStringLiteral("&Ignore possible data-loss with field-changes")},
        {QStringLiteral("ShowRenameDialog"), QStringLiteral("Always show &Rename-Dialog")},
        {QStringLiteral("CreateSchemaCache"), QStringLiteral("&Create Schema Cache")},
    };
    return boxes;
}

void SetListItem(QTreeWidgetItem* item, const Tovimar_FilterElement& element, bool checkable) {
    item->setText(0, FilterOpName(element.FilterOp));
    item->setText(1, element.ObjectName);
    item->setText(2, element.ObjectTypes);
    item->setText(3, FilterFlagsText(element.FilterFlags));
    item->setData(0, KeyRole, QString::number(element.ElementID) + QLatin1Char('#'));
    item->setData(0, IdRole, element.ElementID);
    if (checkable) item->setCheckState(0, element.Checked ? Qt::Checked : Qt::Unchecked);
}

}  // namespace

frmOptions::frmOptions(frmStart* mainWindow, bool applyMode) : QDialog(mainWindow), mainWindow_(mainWindow) {
    ApplyMode = applyMode;
    setObjectName(QStringLiteral("frmOptions"));
    setWindowFlag(Qt::Window);
    FrameDefault = new QGroupBox(this);
    FrameDefault->setObjectName(QStringLiteral("FrameDefault"));
    auto* defaults = new QGridLayout(FrameDefault);
    QCheckBox** boxes[] = {&UseSchemaCache, &IgnoreDataLoss, &ShowRenameDialog, &CreateSchemaCache};
    for (int i = 0; i < 4; ++i) {
        *boxes[i] = new QCheckBox(SettingBoxes()[i].second, FrameDefault);
        (*boxes[i])->setObjectName(SettingBoxes()[i].first);
        defaults->addWidget(*boxes[i], i % 2, i / 2);
        const QString name = SettingBoxes()[i].first;
        connect(*boxes[i], &QCheckBox::toggled, this, [this, name](bool on) {
            if (!ApplyMode && !filling_) SetSetting(name, on ? 1 : 0);
        });
    }

    FrameFilterSet = new QGroupBox(this);
    FrameFilterSet->setObjectName(QStringLiteral("FrameFilterSet"));
    Server = new QLineEdit(FrameFilterSet);
    Server->setObjectName(QStringLiteral("Server"));
    Database = new QLineEdit(FrameFilterSet);
    Database->setObjectName(QStringLiteral("Database"));
    cmdFilterConnect = new QPushButton(QStringLiteral("C&onnect/Reload"), FrameFilterSet);
    cmdFilterConnect->setObjectName(QStringLiteral("cmdFilterConnect"));
    FilterSet = new QTreeWidget(FrameFilterSet);
    FilterSet->setObjectName(QStringLiteral("FilterSet"));
    FilterSet->setHeaderHidden(true);
    FilterElement = new QTreeWidget(FrameFilterSet);
    FilterElement->setObjectName(QStringLiteral("FilterElement"));
    FilterElement->setRootIsDecorated(false);
    FilterElement->setHeaderLabels({QStringLiteral("Operation"), QStringLiteral("Object Name"),
                                    QStringLiteral("Object Types"), QStringLiteral("Flags")});
    FilterElement->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* setsLabel = new QLabel(QStringLiteral("Filter &Sets"), FrameFilterSet);
    setsLabel->setBuddy(FilterSet);
    auto* elementsLabel = new QLabel(QStringLiteral("Filter &Elements"), FrameFilterSet);
    elementsLabel->setBuddy(FilterElement);
    auto* filterGrid = new QGridLayout(FrameFilterSet);
    filterGrid->addWidget(new QLabel(QStringLiteral("Filter Set Server:"), FrameFilterSet), 0, 0);
    filterGrid->addWidget(Server, 0, 1);
    filterGrid->addWidget(new QLabel(QStringLiteral("Filter Set Database:"), FrameFilterSet), 0, 2);
    filterGrid->addWidget(Database, 0, 3);
    filterGrid->addWidget(cmdFilterConnect, 0, 4);
    filterGrid->addWidget(setsLabel, 1, 0, 1, 2);
    filterGrid->addWidget(elementsLabel, 1, 2, 1, 3);
    filterGrid->addWidget(FilterSet, 2, 0, 1, 2);
    filterGrid->addWidget(FilterElement, 2, 2, 1, 3);
    filterGrid->setColumnStretch(3, 1);

    const auto button = [this](const QString& name, const QString& caption) { return NamedButton(this, name, caption); };
    cmdClose = button(QStringLiteral("cmdClose"), QStringLiteral("&Close"));
    cmdCancel = button(QStringLiteral("cmdCancel"), QStringLiteral("<< &Back"));
    cmdNext = button(QStringLiteral("cmdNext"), QStringLiteral("&Next >>"));
    btnHelp = button(QStringLiteral("btnHelp"), QStringLiteral("&Help"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnHelp);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdNext);

    auto* menuBar = new QMenuBar(this);
    QMenu* menuSet = menuBar->addMenu(QStringLiteral("Add Filter Set"));
    menuSet->setObjectName(QStringLiteral("MenuSet"));
    QAction* addSet = menuSet->addAction(QStringLiteral("Add &New Set"), QKeySequence(QStringLiteral("Ctrl+N")), this, [this] { AddSet(false); });
    addSet->setObjectName(QStringLiteral("MenuSetAdd"));
    menuSet->addAction(QStringLiteral("Add New Ch&ild Set"), QKeySequence(QStringLiteral("Ctrl+I")), this, [this] { AddSet(true); });
    menuSet->addAction(QStringLiteral("&Delete Set"), this, [this] { DeleteSet(); })->setObjectName(QStringLiteral("MenuSetDelete"));
    QMenu* menuElement = menuBar->addMenu(QStringLiteral("Add Filter Element"));
    menuElement->setObjectName(QStringLiteral("MenuElement"));
    menuElement->addAction(QStringLiteral("&Add Element..."), QKeySequence(QStringLiteral("Ctrl+A")), this, [this] { EditElement(true); })
        ->setObjectName(QStringLiteral("MenuElementAdd"));
    menuElement->addAction(QStringLiteral("&Edit Element..."), QKeySequence(QStringLiteral("Ctrl+E")), this, [this] { EditElement(false); })
        ->setObjectName(QStringLiteral("MenuElementEdit"));
    menuElement->addAction(QStringLiteral("Delete Element"), this, [this] { DeleteElement(); })
        ->setObjectName(QStringLiteral("MenuElementDelete"));
    menuSet->setEnabled(!applyMode);
    menuElement->actions().first()->setEnabled(!applyMode);
    menuElement->actions().last()->setEnabled(!applyMode);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(FrameDefault);
    layout->addWidget(FrameFilterSet, 1);
    layout->addLayout(buttons);
    resize(820, 520);

    connect(cmdFilterConnect, &QPushButton::clicked, this, [this] {
        if (!ApplyMode) {
            SetSetting(QStringLiteral("FilterSetServer"), Server->text().trimmed());
            SetSetting(QStringLiteral("FilterSetDB"), Database->text().trimmed());
        }
        ConnectAndFill();
    });
    connect(FilterSet, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) { ShowElements(node); });
    connect(FilterSet, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node, int) {
        if (filling_) return;
        if (ApplyMode) {
            SetChecked(node, node->checkState(0) == Qt::Checked);
        } else if (node->data(0, KeyRole).toString() != QStringLiteral(".")) {
            RenameSet(node, node->text(0));
        }
    });
    connect(FilterElement, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
        if (filling_ || !ApplyMode || !Filters) return;
        const QString setKey = SetFilterElementChecked(*Filters, item->data(0, IdRole).toInt(), item->checkState(0) == Qt::Checked);
        RefreshChecks();
        if (QTreeWidgetItem* node = SetNode(setKey)) node->setExpanded(true);
    });
    connect(FilterElement, &QTreeWidget::itemDoubleClicked, this, [this] { EditElement(false); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdNext, &QPushButton::clicked, this, &frmOptions::Next);
    connect(btnHelp, &QPushButton::clicked, this, [] { OpenHelp(QStringLiteral("frmOptions")); });
    connect(this, &QDialog::finished, this, [this] {
        if (ApplyMode && mainWindow_ && !mainWindow_->isVisible()) mainWindow_->ShowAgain();
    });
}

void frmOptions::LoadForm() {
    filling_ = true;
    const bool apply = ApplyMode;
    setWindowTitle(apply ? QStringLiteral("Tovimar - Select Options for ") + (DB1 ? CapText(*DB1) : QString())
                         : QStringLiteral("Tovimar - Edit Options"));
    FrameDefault->setTitle(apply ? QStringLiteral("Select Settings") : QStringLiteral("Default Settings"));
    FrameFilterSet->setTitle(apply ? QStringLiteral("Select Filter Sets") : QStringLiteral("Filter Sets"));
    cmdClose->setVisible(!apply);
    cmdCancel->setVisible(apply);
    cmdNext->setVisible(apply);
    cmdNext->setDefault(apply);
    FilterSet->setEditTriggers(apply ? QAbstractItemView::NoEditTriggers
                                     : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    Server->setText(SettingText(QStringLiteral("FilterSetServer")));
    Database->setText(SettingText(QStringLiteral("FilterSetDB")));
    UseSchemaCache->setChecked(SettingFlag(QStringLiteral("UseSchemaCache")));
    IgnoreDataLoss->setChecked(SettingFlag(QStringLiteral("IgnoreDataLoss")));
    ShowRenameDialog->setChecked(SettingFlag(QStringLiteral("ShowRenameDialog")));
    CreateSchemaCache->setChecked(SettingFlag(QStringLiteral("CreateSchemaCache")));
    filling_ = false;
    if (apply && !Filters) {
        Filters = std::make_shared<FilterSets>();
        Filters->InitFilterSets();
    }
    ConnectAndFill();
}

QTreeWidgetItem* frmOptions::SetNode(const QString& key) const {
    for (QTreeWidgetItemIterator it(FilterSet); *it; ++it)
        if ((*it)->data(0, KeyRole).toString() == key) return *it;
    return nullptr;
}

void frmOptions::ConnectAndFill() {
    FilterSet->clear();
    FilterElement->clear();
    shownSetId_ = -2;
    storage_.reset();
    if (ApplyMode && Filters) BuildTreeFromSets();  // the built-in root stays selectable
    const QString server = Server->text().trimmed();
    const QString database = Database->text().trimmed();
    if (server.isEmpty() || database.isEmpty()) {
        if (QTreeWidgetItem* root = SetNode(QStringLiteral("."))) FilterSet->setCurrentItem(root);
        return;
    }
    ConnectionParams params;
    params.Server = server;
    params.Database = database;
    NullProgress quiet;
    const std::shared_ptr<Tovimar_Database> db = OpenDatabaseSource(params, quiet, AppPrompt());
    if (!db) return;
    storage_ = std::make_unique<FilterStorage>(db->Connection);
    try {
        try {
            if (ApplyMode) {
                Filters->InitFilterSets();
                storage_->LoadAll(*Filters);
                BuildTreeFromSets();
            } else {
                FillTree(QStringLiteral("."));
            }
        } catch (const TovimarException& e) {
            if (!FilterStorage::IsMissingTables(e.Number)) throw;
            if (AppPrompt().Ask(QStringLiteral("Cannot find Tovimar Filter Set Tables!\r\nShould these tables be created?"),
                                PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::Yes) != PromptAnswer::Yes)
                return;
            storage_->CreateTables();
            if (ApplyMode) BuildTreeFromSets(); else FillTree(QStringLiteral("."));
        }
    } catch (const TovimarException& e) {
        AppPrompt().Tell(ErrorLines(e.Number, e.Description), PromptIcon::Critical);
        return;
    }
    if (QTreeWidgetItem* root = SetNode(QStringLiteral("."))) {
        FilterSet->setCurrentItem(root);
        root->setExpanded(true);
        ShowElements(root);
    }
    FilterSet->setFocus();
    if (ApplyMode) SelectSourceSet();
}

void frmOptions::FillTree(const QString& startKey) {
    filling_ = true;
    QTreeWidgetItem* start = SetNode(startKey);
    if (!start) {
        FilterSet->clear();
        start = new QTreeWidgetItem(FilterSet, {QStringLiteral("Everything")});
        start->setData(0, KeyRole, QStringLiteral("."));
        start->setData(0, IdRole, -1);
    } else {
        qDeleteAll(start->takeChildren());
    }
    for (const FilterSetRow& row : storage_->LoadSetRows(startKey)) {
        QTreeWidgetItem* parent = SetNode(row.Path);
        if (!parent) continue;
        auto* node = new QTreeWidgetItem(parent, {row.Name});
        node->setData(0, KeyRole, row.Key());
        node->setData(0, IdRole, row.SetID);
        node->setFlags(node->flags() | Qt::ItemIsEditable);
    }
    filling_ = false;
}

void frmOptions::BuildTreeFromSets() {
    filling_ = true;
    FilterSet->clear();
    for (const FilterSetPtr& set : Filters->Sets()) {
        if (!set) continue;
        const QString key = set->Key();
        QTreeWidgetItem* parent = SetNode(set->Path);
        QTreeWidgetItem* node = key == QStringLiteral(".") || !parent
                                    ? new QTreeWidgetItem(FilterSet, {QStringLiteral("Everything")})
                                    : new QTreeWidgetItem(parent, {set->SetName});
        node->setData(0, KeyRole, key);
        node->setData(0, IdRole, set->SetID);
        node->setCheckState(0, set->Checked ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
    // The root is checked, which activates it.
    SetFilterSetChecked(*Filters, QStringLiteral("."), true);
    RefreshChecks();
}

void frmOptions::RefreshChecks() {
    filling_ = true;
    for (QTreeWidgetItemIterator it(FilterSet); *it; ++it) {
        const FilterSetPtr set = Filters->Sets().Item((*it)->data(0, KeyRole).toString());
        if (set) (*it)->setCheckState(0, set->Checked ? Qt::Checked : Qt::Unchecked);
    }
    for (int i = 0; i < FilterElement->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = FilterElement->topLevelItem(i);
        const FilterElementPtr element = Filters->Elements().Item(QStringLiteral("#") + item->data(0, IdRole).toString());
        if (element) item->setCheckState(0, element->Checked ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
}

void frmOptions::SetChecked(QTreeWidgetItem* node, bool checked) {
    SetFilterSetChecked(*Filters, node->data(0, KeyRole).toString(), checked);
    RefreshChecks();
}

void frmOptions::SelectSourceSet() {
    QTreeWidgetItem* root = SetNode(QStringLiteral("."));
    if (!root) return;
    for (const QString& name : {SourceDBName, DestDBName}) {
        if (name.isEmpty()) continue;
        for (int i = 0; i < root->childCount(); ++i) {
            QTreeWidgetItem* node = root->child(i);
            if (!node->text(0).contains(name, Qt::CaseInsensitive)) continue;
            FilterSet->setCurrentItem(node);
            node->setExpanded(true);
            ShowElements(node);
            SetChecked(node, true);
            return;
        }
    }
}

void frmOptions::ShowElements(QTreeWidgetItem* node) {
    if (!node) return;
    const int id = node->data(0, IdRole).toInt();
    if (id == shownSetId_) return;
    shownSetId_ = id;
    filling_ = true;
    FilterElement->clear();
    QList<Tovimar_FilterElement> elements;
    if (ApplyMode && Filters) {
        if (const FilterSetPtr set = Filters->Sets().Item(node->data(0, KeyRole).toString()))
            for (const FilterElementPtr& element : set->Elements)
                if (element) elements << *element;
    } else if (storage_ && id > 0) {
        try {
            elements = storage_->LoadElements(id);
        } catch (const TovimarException& e) {
            AppPrompt().Tell(ErrorLines(e.Number, e.Description), PromptIcon::Critical);
        }
    }
    for (const Tovimar_FilterElement& element : elements)
        SetListItem(new QTreeWidgetItem(FilterElement), element, ApplyMode);
    filling_ = false;
}

void frmOptions::AddSet(bool child) {
    QTreeWidgetItem* node = FilterSet->currentItem();
    if (ApplyMode || !storage_ || !node) return;
    const QString key = node->data(0, KeyRole).toString();
    const QString parentKey = child ? key : ParentFilterSetKey(key);
    if (parentKey.isEmpty()) return;  // the root has no parent
    int id = 0;
    try {
        id = storage_->AddSet(parentKey);
    } catch (const TovimarException& e) {
        AppPrompt().Tell(ErrorLines(e.Number, e.Description), PromptIcon::Critical);
        return;
    }
    FillTree(parentKey);
    for (QTreeWidgetItemIterator it(FilterSet); *it; ++it)
        if ((*it)->data(0, IdRole).toInt() == id) {
            FilterSet->setCurrentItem(*it);
            FilterSet->editItem(*it);
            break;
        }
}

bool frmOptions::RenameSet(QTreeWidgetItem* node, const QString& newName) {
    if (!storage_ || !node) return false;
    const QString oldKey = node->data(0, KeyRole).toString();
    const QString oldName = oldKey.mid(ParentFilterSetKey(oldKey).size()).chopped(1);
    const auto restore = [this, node, &oldName] {
        filling_ = true;
        node->setText(0, oldName);
        filling_ = false;
    };
    if (newName.trimmed() == oldName) return true;
    const QString problem = CheckFilterSetName(newName);
    if (!problem.isEmpty()) {
        AppPrompt().Tell(problem, PromptIcon::Information);
        restore();
        return false;
    }
    try {
        storage_->RenameSet(node->data(0, IdRole).toInt(), oldKey, newName);
    } catch (const TovimarException& e) {
        AppPrompt().Tell(QStringLiteral("Cannot Update Filter Set: ") + e.Description, PromptIcon::Critical);
        restore();
        return false;
    }
    const int id = node->data(0, IdRole).toInt();
    const QString parentKey = ParentFilterSetKey(oldKey);
    FillTree(parentKey);
    for (QTreeWidgetItemIterator it(FilterSet); *it; ++it)
        if ((*it)->data(0, IdRole).toInt() == id) FilterSet->setCurrentItem(*it);
    return true;
}

void frmOptions::DeleteSet() {
    QTreeWidgetItem* node = FilterSet->currentItem();
    if (ApplyMode || !storage_ || !node || !node->parent()) return;
    if (AppPrompt().Ask(QStringLiteral("Delete Filter Set and all of its subsets?"), PromptIcon::Question,
                        PromptButtons::OkCancel, PromptAnswer::Ok) != PromptAnswer::Ok)
        return;
    try {
        storage_->DeleteSet(node->data(0, IdRole).toInt(), node->data(0, KeyRole).toString());
    } catch (const TovimarException& e) {
        AppPrompt().Tell(QStringLiteral("Cannot delete Filter Set: ") + e.Description, PromptIcon::Critical);
        return;
    }
    QTreeWidgetItem* parent = node->parent();
    delete node;
    FilterSet->setCurrentItem(parent);
    ShowElements(FilterSet->currentItem());
}

void frmOptions::DeleteElement() {
    QTreeWidgetItem* item = FilterElement->currentItem();
    if (ApplyMode || !storage_ || !item) return;
    if (AppPrompt().Ask(QStringLiteral("Delete Filter Element?"), PromptIcon::Question, PromptButtons::OkCancel,
                        PromptAnswer::Ok) != PromptAnswer::Ok)
        return;
    try {
        storage_->DeleteElement(item->data(0, IdRole).toInt());
    } catch (const TovimarException& e) {
        AppPrompt().Tell(QStringLiteral("Cannot Delete Element: ") + e.Description, PromptIcon::Critical);
        return;
    }
    delete item;
}

void frmOptions::EditElement(bool add) {
    QTreeWidgetItem* node = FilterSet->currentItem();
    if (!node) return;
    if (ApplyMode) {
        QTreeWidgetItem* item = FilterElement->currentItem();
        if (add || !item || !Filters) return;
        const FilterElementPtr element = Filters->Elements().Item(QStringLiteral("#") + item->data(0, IdRole).toString());
        if (element && frmFilterSetProps::EditElementInMem(this, *element)) {
            filling_ = true;
            SetListItem(item, *element, true);
            filling_ = false;
        }
        return;
    }
    const int setId = node->data(0, IdRole).toInt();
    if (!storage_ || setId <= 0) return;
    int elementId = 0;
    if (!add) {
        QTreeWidgetItem* item = FilterElement->currentItem();
        if (!item) return;
        elementId = item->data(0, IdRole).toInt();
    }
    if (!frmFilterSetProps::EditElementInDB(this, *storage_, setId, elementId)) return;
    shownSetId_ = -2;
    ShowElements(node);
    for (int i = 0; i < FilterElement->topLevelItemCount(); ++i)
        if (FilterElement->topLevelItem(i)->data(0, IdRole).toInt() == elementId) {
            FilterElement->setCurrentItem(FilterElement->topLevelItem(i));
            FilterElement->scrollToItem(FilterElement->topLevelItem(i));
        }
}

void frmOptions::Next() {
    RunOptions options;
    options.IgnoreDataLoss = IgnoreDataLoss->isChecked();
    options.ShowRenameDialog = ShowRenameDialog->isChecked();
    const bool create = CreateSchemaCache->isChecked() && Filters && Filters->GetCreateSchemaCache();
    const bool use = UseSchemaCache->isChecked();
    for (const auto& db : {DB1, DB2})
        if (db) {
            db->CreateCache = create;
            db->UseCache = use;
        }
    auto filters = Filters;
    auto db1 = DB1;
    auto db2 = DB2;
    hide();
    if (mainWindow_ && filters && db1 && db2) {
        // Taken from the window first: the run outlives it.
        mainWindow_->ParametersReady(db1, db2, ExportOnly, this, *filters, options);
    }
    ApplyMode = false;  // the run has decided which window comes next
    close();
}
