#include "app/frm_rename.h"

#include "app/frm_scripts.h"
#include "app/gui_prompt.h"
#include "app/tree_images.h"
#include "compare/generation_driver.h"
#include "platform/prompt.h"
#include "platform/tovimar_exception.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QTreeWidget* List(const QString& name, const QStringList& columns, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setHeaderLabels(columns);
    list->setUniformRowHeights(true);
    list->header()->setStretchLastSection(true);
    return list;
}

void Fill(QTreeWidget* list, const QList<RenameItem>& items, int selected) {
    list->clear();
    QList<QTreeWidgetItem*> rows;
    for (const RenameItem& item : items) {
        auto* row = new QTreeWidgetItem(item.NewName.isEmpty() ? QStringList{item.Text} : QStringList{item.Text, item.NewName});
        row->setIcon(0, TreeImage(item.Kind));
        rows << row;
    }
    list->addTopLevelItems(rows);
    if (list->columnCount() > 1) list->resizeColumnToContents(0);
    if (selected >= 0 && selected < rows.size()) {
        list->setCurrentItem(rows[selected]);
        list->scrollToItem(rows[selected]);
    } else {
        list->setCurrentItem(nullptr);
        list->clearSelection();
    }
}

}  // namespace

frmRename::frmRename(SessionPtr session, ScriptList scripts, Progress& progress, Prompt& prompt, QWidget* mainWindow)
    : QDialog(nullptr), Session(std::move(session)),
      Model(*Session->DB1, *Session->DB2, std::move(scripts), RenameModel::FromContext(Session->Context, &progress)),
      progress_(progress), prompt_(prompt), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("frmRename"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* info = new QLabel(QStringLiteral(
        "Specify which Tables and/or Fields have been renamed in the Source-Database. This enables Tovimar to "
        "preserve the data in those tables and/or fields that otherwise would be deleted."), this);
    info->setObjectName(QStringLiteral("Label3"));
    info->setWordWrap(true);
    Deletes = List(QStringLiteral("Deletes"), {QStringLiteral("Name")}, this);
    Creates = List(QStringLiteral("Creates"), {QStringLiteral("Name")}, this);
    Renames = List(QStringLiteral("Renames"), {QStringLiteral("OldName"), QStringLiteral("NewName")}, this);
    auto* cmdBar = new QToolBar(this);
    cmdBar->setObjectName(QStringLiteral("cmdBar"));
    cmdBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    RenameButton = cmdBar->addAction(TreeImage(QStringLiteral("RENAME")), QStringLiteral("&Rename"));
    RenameButton->setObjectName(QStringLiteral("Rename"));
    RenameButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_R));
    UndoButton = cmdBar->addAction(TreeImage(QStringLiteral("DELETE")), QStringLiteral("&Undo"));
    UndoButton->setObjectName(QStringLiteral("Undo"));
    UndoButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_U));
    ShowAllSrc = new QCheckBox(QStringLiteral("Show all &Source-Objects"), this);
    ShowAllSrc->setObjectName(QStringLiteral("ShowAllSrc"));
    ShowAllDest = new QCheckBox(QStringLiteral("Show all &Destination-Objects"), this);
    ShowAllDest->setObjectName(QStringLiteral("ShowAllDest"));
    cmdWeiter = new QPushButton(QStringLiteral("&Next >>"), this);
    cmdWeiter->setObjectName(QStringLiteral("cmdWeiter"));
    cmdWeiter->setDefault(true);
    cmdAbbruch = new QPushButton(QStringLiteral("<< &Back"), this);
    cmdAbbruch->setObjectName(QStringLiteral("cmdAbbruch"));
    btnHelp = new QPushButton(QStringLiteral("&Help"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Deletes:"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Creates:"), this), 0, 1);
    grid->addWidget(Deletes, 1, 0);
    grid->addWidget(Creates, 1, 1);
    grid->addWidget(ShowAllDest, 2, 0);
    grid->addWidget(ShowAllSrc, 2, 1);
    auto* renamesRow = new QHBoxLayout;
    renamesRow->addWidget(new QLabel(QStringLiteral("Renames:"), this));
    renamesRow->addStretch();
    renamesRow->addWidget(cmdBar);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnHelp);
    buttons->addStretch();
    buttons->addWidget(cmdAbbruch);
    buttons->addWidget(cmdWeiter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addLayout(grid, 2);
    layout->addLayout(renamesRow);
    layout->addWidget(Renames, 1);
    layout->addLayout(buttons);
    resize(760, 560);

    connect(Deletes, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (filling_) return;
        Model.SelectDelete(item ? Deletes->indexOfTopLevelItem(item) : -1);
        FillCreates();
    });
    connect(Creates, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (filling_) return;
        Model.SelectCreate(item ? Creates->indexOfTopLevelItem(item) : -1);
        RenameButton->setEnabled(Model.CanRename());
    });
    connect(Renames, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (filling_) return;
        Model.SelectRename(item ? Renames->indexOfTopLevelItem(item) : -1);
        UndoButton->setEnabled(Model.CanUndo());
    });
    connect(RenameButton, &QAction::triggered, this, [this] { Rename(); });
    connect(UndoButton, &QAction::triggered, this, [this] { Undo(); });
    connect(ShowAllSrc, &QCheckBox::clicked, this, [this](bool checked) {
        Model.SetShowAllSrc(checked);
        FillCreates();
    });
    connect(ShowAllDest, &QCheckBox::clicked, this, [this](bool checked) {
        Model.SetShowAllDest(checked);
        FillLists();
    });
    connect(cmdWeiter, &QPushButton::clicked, this, [this] { Next(); });
    connect(cmdAbbruch, &QPushButton::clicked, this, [this] { close(); });
    connect(btnHelp, &QPushButton::clicked, this, [] { OpenHelp(QStringLiteral("frmRename")); });
}

void frmRename::Load() {
    setWindowTitle(QStringLiteral("Tovimar - Rename Objects for ") + CapText(*Session->DB1));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Model.Load();
    FillLists();
    if (mainWindow_) mainWindow_->hide();
    show();
}

void frmRename::ReturnFromScripts(const ScriptList& scripts) {
    proceeding_ = false;
    Model.Scripts = scripts;
    Load();
}

void frmRename::FillLists() {
    filling_ = true;
    Fill(Deletes, Model.Deletes, Model.SelectedDelete);
    Fill(Renames, Model.Renames, -1);
    ShowAllSrc->setEnabled(Model.ShowAllSrcEnabled);
    ShowAllSrc->setChecked(Model.ShowAllSrc);
    ShowAllDest->setChecked(Model.ShowAllDest);
    filling_ = false;
    FillCreates();
    UndoButton->setEnabled(false);
}

void frmRename::FillCreates() {
    filling_ = true;
    Fill(Creates, Model.Creates, Model.SelectedCreate);
    filling_ = false;
    RenameButton->setEnabled(Model.CanRename());
}

void frmRename::Regenerated(const std::function<void()>& action) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        action();
    } catch (const TovimarException& e) {
        QApplication::restoreOverrideCursor();
        prompt_.Tell(FormatErrorLines(e), PromptIcon::Critical);
        FillLists();
        return;
    }
    QApplication::restoreOverrideCursor();
    FillLists();
}

void frmRename::Rename() {
    if (!RenameButton->isEnabled()) return;
    Regenerated([this] { Model.Rename(); });
}

void frmRename::Undo() {
    if (!UndoButton->isEnabled()) return;
    Regenerated([this] { Model.Undo(); });
}

frmScripts* frmRename::Next() {
    ScriptList scripts;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        scripts = Model.Next();
    } catch (const TovimarException& e) {
        QApplication::restoreOverrideCursor();
        prompt_.Tell(FormatErrorLines(e), PromptIcon::Critical);
        return nullptr;
    }
    QApplication::restoreOverrideCursor();
    auto* window = new frmScripts(Session, scripts, progress_, prompt_, mainWindow_);
    window->WasRename = true;
    window->RenameDialog = this;
    window->DifferenceViewer = DifferenceViewer;
    scriptsWindow_ = window;
    proceeding_ = true;
    hide();
    window->Load();
    window->show();
    return window;
}

void frmRename::closeEvent(QCloseEvent* event) {
    if (!proceeding_) {
        if (mainWindow_) mainWindow_->show();
        emit ReturnedToMainWindow();
    }
    event->accept();
}
