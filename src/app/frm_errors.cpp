#include "app/frm_errors.h"

#include "app/gui_prompt.h"
#include "app/tree_images.h"
#include "compare/generation_driver.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

frmErrors::frmErrors(Tovimar_Database& db, ErrorCollection scriptErrors, QWidget* parent)
    : QDialog(parent), DB(&db), ScriptErrors(std::move(scriptErrors)) {
    setObjectName(QStringLiteral("frmErrors"));
    setWindowTitle(QStringLiteral("Tovimar - Errors for ") + CapText(db));
    auto* label = new QLabel(QStringLiteral("The following errors where encountered during script execution:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    trvScripts = new QTreeWidget(this);
    trvScripts->setObjectName(QStringLiteral("trvScripts"));
    trvScripts->setHeaderHidden(true);
    txtSQL = new QPlainTextEdit(this);
    txtSQL->setObjectName(QStringLiteral("txtSQL"));
    txtSQL->setReadOnly(true);
    txtSQL->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* frame = new QGroupBox(QStringLiteral("Sort by"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    optErr = new QRadioButton(QStringLiteral("&Errors"), frame);
    optErr->setObjectName(QStringLiteral("optErr"));
    optObj = new QRadioButton(QStringLiteral("&Objects"), frame);
    optObj->setObjectName(QStringLiteral("optObj"));
    optObj->setChecked(true);
    auto* frameLayout = new QHBoxLayout(frame);
    frameLayout->addWidget(optErr);
    frameLayout->addWidget(optObj);
    cmdEnde = new QPushButton(QStringLiteral("&Close"), this);
    cmdEnde->setObjectName(QStringLiteral("cmdEnde"));
    btnHelp = new QPushButton(QStringLiteral("&Help"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(frame);
    buttons->addStretch();
    buttons->addWidget(btnHelp);
    buttons->addWidget(cmdEnde);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    auto* panes = new QHBoxLayout;
    panes->addWidget(trvScripts, 2);
    panes->addWidget(txtSQL, 3);
    layout->addLayout(panes, 1);
    layout->addLayout(buttons);
    resize(820, 480);

    connect(optErr, &QRadioButton::clicked, this, [this] { BuildTree(true); });
    connect(optObj, &QRadioButton::clicked, this, [this] { BuildTree(false); });
    connect(trvScripts, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { ShowNode(item); });
    connect(trvScripts, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { ShowNode(item); });
    connect(cmdEnde, &QPushButton::clicked, this, [this] {
        IsContinue = true;
        accept();
    });
    connect(btnHelp, &QPushButton::clicked, this, [] { OpenHelp(QStringLiteral("frmErrors")); });

    txtSQL->clear();
    BuildTree(false);
}

void frmErrors::BuildTree(bool byError) {
    trvScripts->clear();
    txtSQL->clear();
    tree_.Build(DB ? DB->Name : QString(), ScriptErrors, byError);
    std::vector<QTreeWidgetItem*> items(static_cast<size_t>(tree_.Count()), nullptr);
    QList<QTreeWidgetItem*> roots;
    for (int i = 0; i < tree_.Count(); ++i) {
        const ErrorTree::Node& node = tree_.At(i);
        auto* item = new QTreeWidgetItem(QStringList{node.Text});
        item->setIcon(0, TreeImage(node.ImageKind));
        item->setData(0, Qt::UserRole, i);
        items[static_cast<size_t>(i)] = item;
        if (node.Parent == ErrorTree::None) roots << item;
        else items[static_cast<size_t>(node.Parent)]->addChild(item);
    }
    trvScripts->addTopLevelItems(roots);
    // A node that shows an error is expanded, and so is everything above it.
    for (int i = 0; i < tree_.Count(); ++i)
        if (tree_.At(i).Expanded)
            for (QTreeWidgetItem* item = items[static_cast<size_t>(i)]; item; item = item->parent()) item->setExpanded(true);
    if (!roots.isEmpty()) trvScripts->setCurrentItem(roots.first());
}

void frmErrors::ShowNode(QTreeWidgetItem* item) {
    txtSQL->setPlainText(item ? tree_.TextOf(item->data(0, Qt::UserRole).toInt()) : QString());
}
