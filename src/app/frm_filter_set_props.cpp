#include "app/frm_filter_set_props.h"

#include "app/gui_prompt.h"
#include "filters/filter_storage.h"
#include "platform/tovimar_exception.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmFilterSetProps::frmFilterSetProps(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmFilterSetProps"));
    setWindowTitle(QStringLiteral("Tovimar - Filter Element Properties"));
    const auto named = [](auto* widget, const QString& name) {
        widget->setObjectName(name);
        return widget;
    };
    auto* frameOp = named(new QGroupBox(QStringLiteral("Select Operation"), this), QStringLiteral("FrameOp"));
    FilterOp = named(new QComboBox(frameOp), QStringLiteral("FilterOp"));
    for (const auto& [code, name] : GetFilterOps()) FilterOp->addItem(name, code);
    (new QVBoxLayout(frameOp))->addWidget(FilterOp);

    auto* frameFilter = named(new QGroupBox(QStringLiteral("Select Objects"), this), QStringLiteral("FrameFilter"));
    ObjectName = named(new QLineEdit(frameFilter), QStringLiteral("ObjectName"));
    ObjType = named(new QListWidget(frameFilter), QStringLiteral("ObjType"));
    ObjType->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const FilterObjectType& type : GetObjectTypeNames()) ObjType->addItem(type.Name);
    cmdObjType[0] = named(new QPushButton(QStringLiteral("Select &All"), frameFilter), QStringLiteral("cmdObjType"));
    cmdObjType[1] = named(new QPushButton(QStringLiteral("Select &None"), frameFilter), QStringLiteral("cmdObjType"));
    lbCollation = named(new QLabel(QStringLiteral("Column Collations"), frameFilter), QStringLiteral("lbCollation"));
    lbFileGroup = named(new QLabel(QStringLiteral("File Groups"), frameFilter), QStringLiteral("lbFileGroup"));
    for (int i = 0; i < 2; ++i) {
        const QString caption = i == 0 ? QStringLiteral("Include") : QStringLiteral("Ignore");
        IgnoreCollations[i] = named(new QCheckBox(caption, frameFilter), QStringLiteral("IgnoreCollations"));
        IgnoreFileGroups[i] = named(new QCheckBox(caption, frameFilter), QStringLiteral("IgnoreFileGroups"));
    }
    CopyData = named(new QCheckBox(QStringLiteral("Copy Data"), frameFilter), QStringLiteral("CopyData"));
    NoSchemaCache = named(new QCheckBox(QStringLiteral("Don't create Schema Cache"), frameFilter), QStringLiteral("NoSchemaCache"));
    auto* filterGrid = new QGridLayout(frameFilter);
    filterGrid->addWidget(new QLabel(QStringLiteral("Object Name"), frameFilter), 0, 0);
    filterGrid->addWidget(ObjectName, 0, 1, 1, 3);
    filterGrid->addWidget(new QLabel(QStringLiteral("Object Types"), frameFilter), 1, 0);
    filterGrid->addWidget(ObjType, 1, 1, 3, 1);
    filterGrid->addWidget(cmdObjType[0], 1, 2);
    filterGrid->addWidget(cmdObjType[1], 2, 2);
    filterGrid->addWidget(lbCollation, 4, 0);
    filterGrid->addWidget(IgnoreCollations[0], 4, 1);
    filterGrid->addWidget(IgnoreCollations[1], 4, 2);
    filterGrid->addWidget(lbFileGroup, 5, 0);
    filterGrid->addWidget(IgnoreFileGroups[0], 5, 1);
    filterGrid->addWidget(IgnoreFileGroups[1], 5, 2);
    filterGrid->addWidget(CopyData, 6, 1);
    filterGrid->addWidget(NoSchemaCache, 6, 2);

    FrameDataCopy = named(new QGroupBox(QStringLiteral("Data Copy Options"), this), QStringLiteral("FrameDataCopy"));
    lbExtraLine = named(new QLabel(QStringLiteral("Exclude Columns"), FrameDataCopy), QStringLiteral("lbExtraLine"));
    ExtraLine = named(new QLineEdit(FrameDataCopy), QStringLiteral("ExtraLine"));
    lbExtraText = named(new QLabel(QStringLiteral("Restrict Records (SQL-Where)"), FrameDataCopy), QStringLiteral("lbExtraText"));
    ExtraText = named(new QPlainTextEdit(FrameDataCopy), QStringLiteral("ExtraText"));
    ExtraText->setMaximumHeight(80);
    auto* copyGrid = new QGridLayout(FrameDataCopy);
    copyGrid->addWidget(lbExtraLine, 0, 0);
    copyGrid->addWidget(ExtraLine, 0, 1);
    copyGrid->addWidget(lbExtraText, 1, 0);
    copyGrid->addWidget(ExtraText, 1, 1);

    cmdOK = named(new QPushButton(QStringLiteral("&Save"), this), QStringLiteral("cmdOK"));
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("cmdCancel"));
    btnHelp = named(new QPushButton(QStringLiteral("&Help"), this), QStringLiteral("btnHelp"));
    cmdOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnHelp);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frameOp);
    layout->addWidget(frameFilter);
    layout->addWidget(FrameDataCopy);
    layout->addLayout(buttons);

    connect(FilterOp, &QComboBox::currentIndexChanged, this, &frmFilterSetProps::OperationChanged);
    connect(CopyData, &QCheckBox::toggled, this, &frmFilterSetProps::CopyDataChanged);
    for (QCheckBox** pair : {IgnoreCollations, IgnoreFileGroups})
        for (int i = 0; i < 2; ++i)
            connect(pair[i], &QCheckBox::toggled, this, [pair, i](bool on) {
                if (on) pair[1 - i]->setChecked(false);
            });
    connect(cmdObjType[0], &QPushButton::clicked, ObjType, &QListWidget::selectAll);
    connect(cmdObjType[1], &QPushButton::clicked, ObjType, &QListWidget::clearSelection);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, [] { OpenHelp(QStringLiteral("frmFilterSetProps")); });

    FilterOp->setCurrentIndex(FilterOpInclude);
    OperationChanged();
}

void frmFilterSetProps::OperationChanged() {
    // Options apply to the including operations only (the odd codes).
    const bool options = FilterOp->currentIndex() % 2 == 1;
    for (QWidget* widget : std::initializer_list<QWidget*>{IgnoreCollations[0], IgnoreCollations[1], IgnoreFileGroups[0],
                                                           IgnoreFileGroups[1], lbCollation, lbFileGroup, CopyData})
        widget->setEnabled(options);
    CopyDataChanged();
}

void frmFilterSetProps::CopyDataChanged() {
    const bool active = CopyData->isEnabled() && CopyData->isChecked();
    if (active && CopyData->isChecked()) {
        for (int i = 0; i < ObjType->count(); ++i) ObjType->item(i)->setSelected(i == 0);
    }
    for (QWidget* widget : std::initializer_list<QWidget*>{FrameDataCopy, lbExtraLine, ExtraLine, lbExtraText, ExtraText})
        widget->setEnabled(active);
}

void frmFilterSetProps::LoadElement(const Tovimar_FilterElement& element) {
    ObjectName->setText(element.ObjectName);
    for (int i = 0; i < ObjType->count(); ++i)
        ObjType->item(i)->setSelected(
            element.ObjectTypes.contains(GetObjectTypeNames()[i].Abbreviation.left(2), Qt::CaseInsensitive));
    FilterOp->setCurrentIndex(qBound(0, element.FilterOp, FilterOp->count() - 1));
    // The boxes first, without the pair rule clearing a partner that is set too.
    IgnoreCollations[1]->setChecked(element.FilterFlags & FilterNoCollations);
    IgnoreCollations[0]->setChecked(element.FilterFlags & FilterCollations);
    IgnoreFileGroups[1]->setChecked(element.FilterFlags & FilterNoFileGroups);
    IgnoreFileGroups[0]->setChecked(element.FilterFlags & FilterFileGroups);
    NoSchemaCache->setChecked(element.FilterFlags & FilterNoSchemaCache);
    const qsizetype lineBreak = element.FilterExtra.indexOf(QStringLiteral("\r\n"));
    ExtraLine->setText(lineBreak < 0 ? element.FilterExtra : element.FilterExtra.left(lineBreak));
    ExtraText->setPlainText(lineBreak < 0 ? QString() : element.FilterExtra.mid(lineBreak + 2));
    // Checked last: when it makes data copy active, the object types become tables only, as
    // they were stored.
    CopyData->setChecked(element.FilterFlags & FilterCopyData);
    OperationChanged();
}

QString frmFilterSetProps::BuildElement(Tovimar_FilterElement& element) const {
    if (ObjectName->text().trimmed().isEmpty()) return QStringLiteral("Value for Object Name must be supplied!");
    QStringList types;
    for (int i = 0; i < ObjType->count(); ++i)
        if (ObjType->item(i)->isSelected()) types << GetObjectTypeNames()[i].Abbreviation;
    if (types.isEmpty()) return QStringLiteral("At least one Object type must be selected!");
    element.FilterOp = FilterOp->currentIndex();
    element.ObjectName = ObjectName->text().trimmed();
    element.ObjectTypes = types.join(QLatin1Char(' ')).trimmed();
    long flags = 0;
    if (element.FilterOp % 2 == 1) {
        if (IgnoreCollations[1]->isChecked()) flags |= FilterNoCollations;
        if (IgnoreCollations[0]->isChecked()) flags |= FilterCollations;
        if (IgnoreFileGroups[1]->isChecked()) flags |= FilterNoFileGroups;
        if (IgnoreFileGroups[0]->isChecked()) flags |= FilterFileGroups;
        if (CopyData->isChecked()) flags |= FilterCopyData;
    }
    if (NoSchemaCache->isChecked()) flags |= FilterNoSchemaCache;
    element.FilterFlags = flags;
    const QString line = ExtraLine->text().trimmed();
    const QString text = ExtraText->toPlainText().trimmed().replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(
        QLatin1Char('\n'), QStringLiteral("\r\n"));
    element.FilterExtra = line.isEmpty() && text.isEmpty() ? QString() : line + QStringLiteral("\r\n") + text;
    return QString();
}

bool frmFilterSetProps::SaveToMemory(Tovimar_FilterElement& element) {
    Tovimar_FilterElement edited = element;
    const QString problem = BuildElement(edited);
    if (!problem.isEmpty()) {
        AppPrompt().Tell(problem, PromptIcon::Information);
        return false;
    }
    element.Init(element.ElementID, edited.FilterOp, edited.ObjectName, edited.ObjectTypes, edited.FilterFlags,
                 edited.FilterExtra);
    return true;
}

bool frmFilterSetProps::SaveToDatabase(FilterStorage& storage, int setId, int& elementId) {
    Tovimar_FilterElement edited;
    const QString problem = BuildElement(edited);
    if (!problem.isEmpty()) {
        AppPrompt().Tell(problem, PromptIcon::Information);
        return false;
    }
    try {
        elementId = storage.SaveElement(setId, elementId, edited);
    } catch (const TovimarException& e) {
        AppPrompt().Tell(QStringLiteral("Could not save Filter Element: ") + e.Description, PromptIcon::Critical);
        return false;
    }
    return true;
}

bool frmFilterSetProps::EditElementInMem(QWidget* parent, Tovimar_FilterElement& element) {
    frmFilterSetProps dialog(parent);
    dialog.LoadElement(element);
    connect(dialog.cmdOK, &QPushButton::clicked, &dialog, [&] {
        const bool checked = element.Checked;
        if (dialog.SaveToMemory(element)) {
            element.Checked = checked;
            dialog.accept();
        }
    });
    return dialog.exec() == QDialog::Accepted;
}

bool frmFilterSetProps::EditElementInDB(QWidget* parent, FilterStorage& storage, int setId, int& elementId) {
    frmFilterSetProps dialog(parent);
    if (elementId != 0) {
        for (const Tovimar_FilterElement& element : storage.LoadElements(setId))
            if (element.ElementID == elementId) dialog.LoadElement(element);
    }
    connect(dialog.cmdOK, &QPushButton::clicked, &dialog, [&] {
        if (dialog.SaveToDatabase(storage, setId, elementId)) dialog.accept();
    });
    return dialog.exec() == QDialog::Accepted;
}
