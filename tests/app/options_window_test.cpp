#include "app/frm_filter_set_props.h"
#include "app/frm_options.h"
#include "app/frm_start.h"
#include "gui_fixture.h"
#include "main/settings_store.h"
#include "support/qt_print.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

const char* FilterRows = R"(
INSERT INTO _TovimarFilterSet (FilterSet_Path, FilterSet_Name) VALUES ('.', 'Archive')
INSERT INTO _TovimarFilterSet (FilterSet_Path, FilterSet_Name) VALUES ('.', 'A_B')
INSERT INTO _TovimarFilterSet (FilterSet_Path, FilterSet_Name) VALUES ('.', 'MySalesSet')
INSERT INTO _TovimarFilterSet (FilterSet_Path, FilterSet_Name) VALUES ('.A_B.', 'Child')
INSERT INTO _TovimarFilterElement (FilterElement_SetREF, FilterElement_Op, FilterElement_ObjectTypes,
  FilterElement_ObjectName, FilterElement_Flags) VALUES (3, 2, 'Tab', 'dbo.Secret%', 0)
INSERT INTO _TovimarFilterElement (FilterElement_SetREF, FilterElement_Op, FilterElement_ObjectTypes,
  FilterElement_ObjectName, FilterElement_Flags) VALUES (1, 0, 'Proc', '%', 0)
)";

QStringList ChildTexts(QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i) texts << node->child(i)->text(0);
    return texts;
}

}  // namespace

TEST_F(GuiTest, ApplyModeChecksTheSetNamedAfterTheSourceDatabaseElseTheDestination) {
    SetSetting(QStringLiteral("FilterSetServer"), FilterDatabaseScript(QLatin1String(FilterRows)));
    SetSetting(QStringLiteral("FilterSetDB"), QStringLiteral("filters"));
    SetSetting(QStringLiteral("IgnoreDataLoss"), 1);
    for (const auto& [source, dest, expected] :
         {std::tuple{"sales", "x", "MySalesSet"}, std::tuple{"Nothing", "archive", "Archive"}}) {
        frmStart main;
        frmOptions options(&main, true);
        options.SourceDBName = QLatin1String(source);
        options.DestDBName = QLatin1String(dest);
        options.LoadForm();
        ASSERT_TRUE(options.FilterSet->currentItem());
        EXPECT_EQ(options.FilterSet->currentItem()->text(0), QLatin1String(expected));
        EXPECT_EQ(options.FilterSet->currentItem()->checkState(0), Qt::Checked);
        EXPECT_TRUE(options.IgnoreDataLoss->isChecked());
        EXPECT_FALSE(options.cmdClose->isVisibleTo(&options));
        // The sets' elements are checked with them; the others stay off.
        EXPECT_EQ(options.SetNode(QStringLiteral(".A_B."))->checkState(0), Qt::Unchecked);
    }
    // Clearing the root deactivates every set, and checking an element checks its set again.
    frmStart main;
    frmOptions options(&main, true);
    options.SourceDBName = QStringLiteral("Sales");
    options.LoadForm();
    QTreeWidgetItem* root = options.SetNode(QStringLiteral("."));
    root->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(options.SetNode(QStringLiteral(".MySalesSet."))->checkState(0), Qt::Unchecked);
    ASSERT_EQ(options.FilterElement->topLevelItemCount(), 1);
    options.FilterElement->topLevelItem(0)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(options.SetNode(QStringLiteral(".MySalesSet."))->checkState(0), Qt::Checked);
    EXPECT_EQ(root->checkState(0), Qt::Checked);
}

TEST_F(GuiTest, EditModeRenamesAndDeletesSetsInTheFilterDatabase) {
    SetSetting(QStringLiteral("FilterSetServer"), FilterDatabaseScript(QLatin1String(FilterRows)));
    SetSetting(QStringLiteral("FilterSetDB"), QStringLiteral("filters"));
    frmStart main;
    frmOptions options(&main, false);
    options.LoadForm();
    EXPECT_EQ(options.windowTitle(), QStringLiteral("Tovimar - Edit Options"));
    QTreeWidgetItem* root = options.SetNode(QStringLiteral("."));
    ASSERT_TRUE(root);
    EXPECT_EQ(ChildTexts(root), (QStringList{QStringLiteral("A_B"), QStringLiteral("Archive"), QStringLiteral("MySalesSet")}));
    EXPECT_FALSE(options.RenameSet(options.SetNode(QStringLiteral(".A_B.")), QStringLiteral("a.b")));
    EXPECT_EQ(Texts(), QStringList{QStringLiteral("Filter Set name must not contain any '.' characters!")});
    EXPECT_TRUE(options.RenameSet(options.SetNode(QStringLiteral(".A_B.")), QStringLiteral("C")));
    ASSERT_TRUE(options.SetNode(QStringLiteral(".C.Child.")));
    options.FilterSet->setCurrentItem(options.SetNode(QStringLiteral(".C.")));
    options.DeleteSet();
    EXPECT_EQ(ChildTexts(options.SetNode(QStringLiteral("."))), (QStringList{QStringLiteral("Archive"), QStringLiteral("MySalesSet")}));
    // Storing a check box writes its setting at once.
    options.UseSchemaCache->setChecked(true);
    EXPECT_TRUE(SettingFlag(QStringLiteral("UseSchemaCache")));
}

TEST_F(GuiTest, ElementEditorEnablesOptionsForIncludingOperationsOnly) {
    frmFilterSetProps editor;
    EXPECT_EQ(editor.FilterOp->currentText(), QStringLiteral("Include"));
    Tovimar_FilterElement element;
    element.Init(7, FilterOpInclude, QStringLiteral("dbo.Orders"), QStringLiteral("Tab View"),
                 FilterNoCollations | FilterFileGroups | FilterNoSchemaCache, QStringLiteral("Notes"));
    editor.LoadElement(element);
    EXPECT_TRUE(editor.ObjType->item(1)->isSelected());
    EXPECT_TRUE(editor.IgnoreCollations[1]->isChecked());
    EXPECT_EQ(editor.ExtraLine->text(), QStringLiteral("Notes"));
    EXPECT_EQ(editor.ExtraText->toPlainText(), QString());
    EXPECT_FALSE(editor.ExtraLine->isEnabled());

    // Copy Data narrows the types to tables and opens the data copy texts.
    editor.CopyData->setChecked(true);
    EXPECT_TRUE(editor.ExtraLine->isEnabled());
    EXPECT_FALSE(editor.ObjType->item(1)->isSelected());
    editor.ExtraText->setPlainText(QStringLiteral("ID > 5"));
    Tovimar_FilterElement stored;
    EXPECT_EQ(editor.BuildElement(stored), QString());
    EXPECT_EQ(stored.ObjectTypes, QStringLiteral("Tab"));
    EXPECT_EQ(stored.FilterFlags, FilterNoCollations | FilterFileGroups | FilterCopyData | FilterNoSchemaCache);
    EXPECT_EQ(stored.FilterExtra, QStringLiteral("Notes\r\nID > 5"));

    // The pair boxes exclude each other; an Exclude keeps only the cache bit.
    editor.IgnoreCollations[0]->setChecked(true);
    EXPECT_FALSE(editor.IgnoreCollations[1]->isChecked());
    editor.FilterOp->setCurrentIndex(FilterOpExclude);
    EXPECT_FALSE(editor.CopyData->isEnabled());
    EXPECT_FALSE(editor.ExtraLine->isEnabled());
    EXPECT_EQ(editor.BuildElement(stored), QString());
    EXPECT_EQ(stored.FilterFlags, FilterNoSchemaCache);

    editor.ObjectName->setText(QStringLiteral("   "));
    EXPECT_FALSE(editor.SaveToMemory(element));
    editor.ObjectName->setText(QStringLiteral("x"));
    editor.ObjType->clearSelection();
    EXPECT_FALSE(editor.SaveToMemory(element));
    EXPECT_EQ(Texts(), (QStringList{QStringLiteral("Value for Object Name must be supplied!"),
                                    QStringLiteral("At least one Object type must be selected!")}));
    EXPECT_EQ(element.ObjectName, QStringLiteral("dbo.Orders"));
}
