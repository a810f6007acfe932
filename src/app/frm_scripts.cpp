#include "app/frm_scripts.h"

#include "app/frm_errors.h"
#include "app/frm_rename.h"
#include "app/gui_prompt.h"
#include "app/tree_images.h"
#include "compare/generation_driver.h"
#include "main/impossible_changes.h"
#include "platform/app_paths.h"
#include "platform/local_text.h"
#include "platform/tovimar_exception.h"
#include "review/difference_viewer.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString ExportFilter = QStringLiteral("Text Files (*.txt)|*.txt|SQL Files (*.sql)|*.sql|All Files (*.*)|*.*");
const QStringList Boxes = {QStringLiteral("Creates"), QStringLiteral("Deletes"), QStringLiteral("Modifys"),
                           QStringLiteral("Renames")};

QPushButton* Button(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QCheckBox* Box(const QString& name, const QString& caption, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setChecked(true);
    return box;
}

// Writes text to the temporary file, replacing what it held; errors are left to the caller's
// check that the file exists.
void WriteTemporary(QTemporaryFile& file, const QString& text) {
    try {
        const QByteArray bytes = EncodeLocalText(text);
        if (file.isOpen() || file.open()) {
            file.resize(0);
            file.seek(0);
            file.write(bytes);
            file.flush();
        }
    } catch (const TovimarException&) {
    }
}

}  // namespace

QString FileDialogFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        description.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        filters << description;
    }
    return filters.join(QStringLiteral(";;"));
}

frmScripts::frmScripts(SessionPtr session, ScriptList scripts, Progress& progress, Prompt& prompt, QWidget* mainWindow)
    : QDialog(nullptr), Session(std::move(session)), Scripts(std::move(scripts)), progress_(progress), prompt_(prompt),
      mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("frmScripts"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* label = new QLabel(
        QStringLiteral("Select which Scripts you want to be executed by marking/unmarking their respective checkboxes:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    trvScripts = new QTreeWidget(this);
    trvScripts->setObjectName(QStringLiteral("trvScripts"));
    trvScripts->setHeaderHidden(true);
    trvScripts->setUniformRowHeights(true);
    trvScripts->setContextMenuPolicy(Qt::CustomContextMenu);
    txtSQL = new QPlainTextEdit(this);
    txtSQL->setObjectName(QStringLiteral("txtSQL"));
    txtSQL->setReadOnly(true);
    txtSQL->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtSQL->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* frmShow = new QGroupBox(QStringLiteral("Show"), this);
    frmShow->setObjectName(QStringLiteral("frmShow"));
    chkCreates = Box(QStringLiteral("chkCreates"), QStringLiteral("Creates"), frmShow);
    chkDeletes = Box(QStringLiteral("chkDeletes"), QStringLiteral("Deletes"), frmShow);
    chkChanges = Box(QStringLiteral("chkChanges"), QStringLiteral("Modifys"), frmShow);
    chkRenames = Box(QStringLiteral("chkRenames"), QStringLiteral("Renames"), frmShow);
    auto* showLayout = new QHBoxLayout(frmShow);
    for (QCheckBox* box : {chkCreates, chkDeletes, chkChanges, chkRenames}) {
        showLayout->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this] { Load(); });
    }

    cmdWindiff = Button(QStringLiteral("cmdWindiff"), QStringLiteral("Show &Differences"), this);
    cmdSave = Button(QStringLiteral("cmdSave"), QStringLiteral("&Save Scripts to file"), this);
    cmdDurchfuehren = Button(QStringLiteral("cmdDurchfuehren"), QStringLiteral("&Next >>"), this);
    cmdAbbruch = Button(QStringLiteral("cmdAbbruch"), QStringLiteral("<< &Back"), this);
    btnHelp = Button(QStringLiteral("btnHelp"), QStringLiteral("&Help"), this);
    cmdDurchfuehren->setDefault(true);

    MenuContext = new QMenu(QStringLiteral("Context"), this);
    MenuContext->setObjectName(QStringLiteral("MenuContext"));
    for (const auto& [menuName, caption, state] :
         {std::tuple{QStringLiteral("MenuInclude"), QStringLiteral("Include"), true},
          std::tuple{QStringLiteral("MenuExclude"), QStringLiteral("Exclude"), false}}) {
        QMenu* menu = MenuContext->addMenu(caption);
        menu->setObjectName(menuName);
        for (const QString& box : Boxes) {
            QAction* action = menu->addAction(box);
            action->setObjectName(menuName + box);
            const bool checked = state;
            connect(action, &QAction::triggered, this, [this, box, checked] { SetSelectedActionChecked(box, checked); });
        }
    }

    auto* panes = new QHBoxLayout;
    panes->addWidget(trvScripts, 2);
    panes->addWidget(txtSQL, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(frmShow);
    buttons->addStretch();
    buttons->addWidget(cmdWindiff);
    buttons->addWidget(cmdSave);
    buttons->addWidget(btnHelp);
    buttons->addWidget(cmdAbbruch);
    buttons->addWidget(cmdDurchfuehren);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(panes, 1);
    layout->addLayout(buttons);
    resize(1000, 620);

    connect(trvScripts, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { ShowNode(item); });
    connect(trvScripts, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { NodeChecked(item); });
    connect(trvScripts, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QTreeWidgetItem* item = trvScripts->itemAt(pos);
        if (!item) return;
        trvScripts->setCurrentItem(item);
        MenuContext->popup(trvScripts->viewport()->mapToGlobal(pos));
    });
    connect(cmdDurchfuehren, &QPushButton::clicked, this, [this] { Execute(); });
    connect(cmdSave, &QPushButton::clicked, this, [this] { SaveScripts(); });
    connect(cmdWindiff, &QPushButton::clicked, this, [this] { ShowDifferences(); });
    connect(cmdAbbruch, &QPushButton::clicked, this, [this] {
        closing_ = false;
        close();
    });
    connect(btnHelp, &QPushButton::clicked, this, [] { OpenHelp(QStringLiteral("frmScripts")); });

    AskSaveFileName = [](QWidget* parent, const QString& title, const QString& path, const QString& filter) {
        return QFileDialog::getSaveFileName(parent, title, path, filter);
    };
    ShowErrorsModal = [](frmErrors& window) {
        window.exec();
        return window.IsContinue;
    };
    StartProcess = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
}

frmScripts::~frmScripts() { Unload(); }

void frmScripts::Load() {
    setWindowTitle(QStringLiteral("Tovimar - Scripts for ") + (Session && Session->DB1 ? CapText(*Session->DB1) : QString()));
    if (mainWindow_) mainWindow_->hide();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    txtSQL->clear();
    cmdWindiff->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        ApplyShowFilter(Scripts, ShowBoxes{chkCreates->isChecked(), chkDeletes->isChecked(), chkChanges->isChecked(),
                                           chkRenames->isChecked()});
        tree_.Build(Scripts, Session && Session->DB2 ? Session->DB2->Name : QString());
    } catch (const TovimarException& e) {
        // The tree shows the scripts placed before the duplicate.
        FillTree();
        QApplication::restoreOverrideCursor();
        prompt_.Tell(e.Description, PromptIcon::Critical);
        return;
    }
    FillTree();
    QApplication::restoreOverrideCursor();
}

void frmScripts::FillTree() {
    updating_ = true;
    trvScripts->clear();
    items_.assign(static_cast<size_t>(tree_.Count()), nullptr);
    QList<QTreeWidgetItem*> roots;
    // The items are built detached and handed to the view at once: one insertion for the view
    // instead of one per node.
    for (int i = 0; i < tree_.Count(); ++i) {
        const ScriptTree::Node& node = tree_.At(i);
        auto* item = new QTreeWidgetItem(QStringList{node.Text});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, node.Checked ? Qt::Checked : Qt::Unchecked);
        if (!node.ImageKind.isEmpty()) item->setIcon(0, TreeImage(node.ImageKind));
        item->setData(0, Qt::UserRole, i);
        items_[static_cast<size_t>(i)] = item;
        if (node.Parent == ScriptTree::None) roots << item;
        else items_[static_cast<size_t>(node.Parent)]->addChild(item);
    }
    trvScripts->addTopLevelItems(roots);
    if (!roots.isEmpty()) roots.first()->setExpanded(true);
    updating_ = false;
}

int frmScripts::SelectedNode() const {
    QTreeWidgetItem* item = trvScripts->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : ScriptTree::None;
}

void frmScripts::ShowNode(QTreeWidgetItem* item) {
    const ScriptPtr script = item ? tree_.ScriptOf(item->data(0, Qt::UserRole).toInt()) : nullptr;
    if (!script) {
        txtSQL->clear();
        cmdWindiff->setEnabled(false);
        return;
    }
    txtSQL->setPlainText(script->GetSQL(0, false));
    cmdWindiff->setEnabled(!DifferenceViewer.trimmed().isEmpty());
}

void frmScripts::NodeChecked(QTreeWidgetItem* item) {
    if (updating_ || !item) return;
    const int node = item->data(0, Qt::UserRole).toInt();
    if (node < 0 || node >= tree_.Count()) return;
    const bool checked = item->checkState(0) == Qt::Checked;
    if (checked == tree_.At(node).Checked) return;  // another column or property changed
    UpdateItems(tree_.SetChecked(node, checked));
}

void frmScripts::UpdateItems(const QList<int>& nodes) {
    updating_ = true;
    for (int node : nodes)
        items_[static_cast<size_t>(node)]->setCheckState(0, tree_.At(node).Checked ? Qt::Checked : Qt::Unchecked);
    updating_ = false;
}

void frmScripts::SetSelectedActionChecked(const QString& box, bool state) {
    const int node = SelectedNode();
    for (const QString& action : ActionsOfBox(box)) UpdateItems(tree_.SetActionChecked(node, action, state));
}

void frmScripts::Execute() {
    if (tree_.Root() == ScriptTree::None || !tree_.At(tree_.Root()).Checked) {
        prompt_.Tell(QStringLiteral("You must select at least 1 Script to execute!"), PromptIcon::Exclamation);
        return;
    }
    Tovimar_Database& db = *Session->DB2;
    // A change that cannot work on the Destination's rows stops the run before anything runs, as
    // sync does: the window stays, so the user can untick it, or go back and change the options.
    try {
        const std::vector<ImpossibleChange> impossible =
            FindImpossibleChanges(Scripts, db, Session->Context.IgnoreDataLoss);
        if (!impossible.empty()) {
            prompt_.Tell(ImpossibleChangesText(impossible), PromptIcon::Exclamation);
            return;
        }
    } catch (const TovimarException& e) {
        prompt_.Tell(FormatErrorLines(e), PromptIcon::Critical);
        return;
    }
    if (prompt_.Ask(QStringLiteral("Do you want to execute all selected Scripts?\r\n\r\nScripts will be executed on "
                                   "Destination-DB:\r\n") +
                        db.FullName() + QLatin1Char('!'),
                    PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes)
        return;
    bool endApplication = false;
    try {
        QString resultFile;
        endApplication = ExecuteScripts(progress_, prompt_, Scripts, db, false, resultFile, nullptr,
                                        [this](Tovimar_Database& target, const ErrorCollection& errors) {
                                            frmErrors window(target, errors, this);
                                            return ShowErrorsModal(window);
                                        });
    } catch (const TovimarException& e) {
        // The run itself failed (the log cannot be written, the connection is gone): the window
        // stays, so the user can save the scripts or try again.
        prompt_.Tell(FormatErrorLines(e), PromptIcon::Critical);
        return;
    }
    if (endApplication) {
        closing_ = true;
        emit ApplicationEnding();
        if (mainWindow_) mainWindow_->close();
    } else {
        closing_ = false;
        WasRename = false;
    }
    close();
}

void frmScripts::SaveScripts() {
    Tovimar_Database& destination = *Session->DB2;
    QDir().mkpath(ScriptsFolder());
    const QString defaultName = DefaultExportFileName(destination, Session->DB1.get());
    const QString path = AskSaveFileName(this, QStringLiteral("Export Scripts To"),
                                         QDir(ScriptsFolder()).filePath(defaultName), FileDialogFilter(ExportFilter));
    if (path.isEmpty()) return;
    ExportScripts(progress_, prompt_, Scripts, destination, path);
}

void frmScripts::ShowDifferences() {
    const ScriptPtr script = tree_.ScriptOf(SelectedNode());
    if (!script || !Session) return;
    const DifferenceTexts texts = DifferenceViewTexts(*script, *Session->DB1, Session->Context);
    if (!sourceFile_) {
        const QString pattern = QDir(QDir::tempPath()).filePath(QStringLiteral("Tovimar_XXXXXX.sql"));
        sourceFile_ = std::make_unique<QTemporaryFile>(pattern);
        destFile_ = std::make_unique<QTemporaryFile>(pattern);
    }
    WriteTemporary(*sourceFile_, texts.Source);
    WriteTemporary(*destFile_, texts.Destination);
    const QString sourcePath = sourceFile_->fileName();
    const QString destPath = destFile_->fileName();
    if (sourcePath.isEmpty() || destPath.isEmpty() || !QFileInfo::exists(sourcePath) || !QFileInfo::exists(destPath)) {
        QString message = QStringLiteral("Error saving temporary file for the difference-viewer!");
        const QString error = sourceFile_->errorString().isEmpty() ? destFile_->errorString() : sourceFile_->errorString();
        if (sourceFile_->error() != QFileDevice::NoError || destFile_->error() != QFileDevice::NoError)
            message += QStringLiteral("\r\n\r\n") + FormatErrorLines(75, error);
        prompt_.Tell(message, PromptIcon::Critical);
        return;
    }
    QStringList arguments = DifferenceViewerArguments(DifferenceViewer, sourcePath, destPath);
    if (arguments.isEmpty()) return;
    const QString program = arguments.takeFirst();
    const QString error = QStringLiteral("Error executing difference-viewer!");
    if (QStandardPaths::findExecutable(program).isEmpty() && !QFileInfo(program).isExecutable()) {
        prompt_.Tell(error + QStringLiteral("\r\n\r\n") + FormatErrorLines(53, QStringLiteral("File not found: ") + program),
                     PromptIcon::Critical);
        return;
    }
    if (!StartProcess(program, arguments)) prompt_.Tell(error, PromptIcon::Critical);
}

QStringList frmScripts::TemporaryFiles() const {
    if (!sourceFile_) return {};
    return {sourceFile_->fileName(), destFile_->fileName()};
}

void frmScripts::closeEvent(QCloseEvent* event) {
    Unload();
    event->accept();
}

void frmScripts::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    // The temporary files go with their objects.
    sourceFile_.reset();
    destFile_.reset();
    if (!closing_) {
        if (WasRename && RenameDialog) {
            RenameDialog->ReturnFromScripts(Scripts);
        } else {
            if (RenameDialog) RenameDialog->deleteLater();
            if (mainWindow_) mainWindow_->show();
            emit ReturnedToMainWindow();
        }
    } else if (RenameDialog) {
        RenameDialog->deleteLater();
    }
    Scripts.clear();
    Session.reset();
}
