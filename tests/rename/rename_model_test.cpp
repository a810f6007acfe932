// The rules of the rename dialog without widgets: what is offered for a delete, pairing and
// undoing with regeneration, and which pairs are listed.
#include "compare/generation_driver.h"
#include "rename/rename_model.h"
#include "support/model_builder.h"

#include <gtest/gtest.h>

namespace {

QStringList Texts(const QList<RenameItem>& items) {
    QStringList texts;
    for (const RenameItem& item : items) texts << (item.NewName.isEmpty() ? item.Text : item.Text + "=" + item.NewName);
    return texts;
}

// Source: [dbo].[T] (ID, NewName, X), [dbo].[Fresh], [sales].[Fresh2], [dbo].[U] (ID, Added).
// Destination: [dbo].[T] (ID, OldName, Narrow), [dbo].[Old], [dbo].[U] (ID).
class RenameModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto t = src.Table("dbo", "T");
        t.Col("ID", "int");
        t.Col("NewName", "int");
        t.Col("X", "int");
        src.Table("dbo", "Fresh").Col("ID", "int");
        src.Table("sales", "Fresh2").Col("ID", "int");
        auto u = src.Table("dbo", "U");
        u.Col("ID", "int");
        u.Col("Added", "int");
        auto dt = dst.Table("dbo", "T");
        dt.Col("ID", "int");
        dt.Col("OldName", "int");
        dst.Table("dbo", "Old").Col("ID", "int");
        dst.Table("dbo", "U").Col("ID", "int");
    }
    RenameModel& Start() {
        LinkPair(src, dst);
        ctx.DB1 = &*src;
        ctx.DB2 = &*dst;
        model = std::make_unique<RenameModel>(*src, *dst, GenerateAllScripts(ctx, nullptr, false), [this](bool refresh) {
            calls << refresh;
            return GenerateAllScripts(ctx, nullptr, refresh);
        });
        model->Load();
        return *model;
    }
    static int Row(const QList<RenameItem>& items, const QString& text) {
        for (int i = 0; i < items.size(); ++i)
            if (items[i].Text == text) return i;
        ADD_FAILURE() << text.toStdString();
        return -1;
    }

    TestDb src{QStringLiteral("SRV"), QStringLiteral("Src")};
    TestDb dst{QStringLiteral("SRV"), QStringLiteral("Dest")};
    GenerationContext ctx;
    std::unique_ptr<RenameModel> model;
    QList<bool> calls;
};

TEST_F(RenameModelTest, ADeleteIsOfferedTheCreatesItCanBePairedWith) {
    RenameModel& m = Start();
    EXPECT_EQ(Texts(m.Deletes), (QStringList{"[dbo].[T].[OldName]", "[dbo].[Old]"}));
    EXPECT_TRUE(m.ShowAllSrcEnabled);
    EXPECT_EQ(m.SelectedDelete, 0);
    // A column: only the created columns of its table's counterpart; a table: only created
    // tables of its owner.
    EXPECT_EQ(Texts(m.Creates), (QStringList{"[dbo].[T].[NewName]", "[dbo].[T].[X]"}));
    EXPECT_EQ(m.SelectedCreate, 0);
    m.SelectDelete(1);
    EXPECT_EQ(Texts(m.Creates), (QStringList{"[dbo].[Fresh]"}));
    m.SetShowAllSrc(true);
    EXPECT_EQ(m.Creates.size(), 4);
    m.SelectDelete(0);
    EXPECT_EQ(Texts(m.Creates), (QStringList{"[dbo].[T].[ID]", "[dbo].[T].[NewName]", "[dbo].[T].[X]"}));

    m.SetShowAllDest(true);
    EXPECT_EQ(m.Deletes.size(), 7);  // every table, each followed by its columns
    EXPECT_EQ(m.Deletes[m.SelectedDelete].Text, QStringLiteral("[dbo].[T].[OldName]"));  // kept
    m.SetShowAllDest(false);
    EXPECT_EQ(m.Deletes.size(), 2);
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(RenameModelTest, RenameAndUndoRegenerateAndRestoreTheLinks) {
    RenameModel& m = Start();
    m.SelectDelete(Row(m.Deletes, "[dbo].[T].[OldName]"));
    m.SelectCreate(Row(m.Creates, "[dbo].[T].[NewName]"));
    m.Rename();
    EXPECT_EQ(calls, (QList<bool>{true}));
    EXPECT_TRUE(m.RegeneratePending);
    EXPECT_EQ(Texts(m.Deletes), (QStringList{"[dbo].[Old]"}));
    EXPECT_EQ(Texts(m.Renames), (QStringList{"[dbo].[T].[OldName]=[dbo].[T].[NewName]"}));
    EXPECT_EQ(m.SelectedRename, -1);
    Tovimar_Field* newName = src->Tables.Item("[dbo].[T]")->Fields.Item("[NewName]").get();
    EXPECT_EQ(newName->OtherObj(), dst->Tables.Item("[dbo].[T]")->Fields.Item("[OldName]").get());

    m.SelectDelete(0);
    m.SelectCreate(0);
    m.Rename();  // [dbo].[Old] = [dbo].[Fresh]
    EXPECT_EQ(Texts(m.Renames), (QStringList{"[dbo].[Old]=[dbo].[Fresh]", "[dbo].[T].[OldName]=[dbo].[T].[NewName]"}));
    EXPECT_TRUE(m.Deletes.isEmpty());
    EXPECT_FALSE(m.ShowAllSrcEnabled);
    EXPECT_FALSE(m.CanRename());

    m.SelectRename(1);
    m.Undo();
    EXPECT_EQ(newName->OtherObj(), nullptr);
    EXPECT_EQ(Texts(m.Renames), (QStringList{"[dbo].[Old]=[dbo].[Fresh]"}));
    EXPECT_EQ(Texts(m.Deletes), (QStringList{"[dbo].[T].[OldName]"}));

    // Next hands on a full list: the refreshed lists hold tables and columns only.
    const ScriptList full = m.Next();
    EXPECT_EQ(calls, (QList<bool>{true, true, true, false}));
    EXPECT_FALSE(m.RegeneratePending);
    m.Next();
    EXPECT_EQ(calls.size(), 4);
    int renames = 0;
    for (const ScriptPtr& script : full) renames += script->Action == "RENAME" ? 1 : 0;
    EXPECT_EQ(renames, 1);
}

TEST_F(RenameModelTest, UndoLinksBackOnlyToAFreeNamesake) {
    src.Table("dbo", "Old").Col("ID", "int");  // the old name still exists in the Source
    dst.Table("dbo", "Fresh").Col("ID", "int");
    RenameModel& m = Start();
    // Pair Source [dbo].[Old] with Destination [dbo].[Fresh] by hand, as a show-all pairing can.
    Tovimar_Table* oldSrc = src->Tables.Item("[dbo].[Old]").get();
    Tovimar_Table* freshDst = dst->Tables.Item("[dbo].[Fresh]").get();
    Tovimar_Table* oldDst = dst->Tables.Item("[dbo].[Old]").get();
    Tovimar_Table* freshSrc = src->Tables.Item("[dbo].[Fresh]").get();
    Tovimar_Database::SetLink(oldSrc, freshDst);
    Tovimar_Database::SetLink(freshSrc, oldDst);
    m.Scripts = GenerateAllScripts(ctx, nullptr, true);
    m.Load();
    ASSERT_EQ(m.Renames.size(), 2);
    // Undo [dbo].[Fresh] (Destination [dbo].[Old]): its namesake [dbo].[Fresh] in the Destination
    // is linked to [dbo].[Old] of the Source, so it stays unlinked; the Destination [dbo].[Old]
    // finds the Source [dbo].[Old] taken too.
    m.SelectRename(Row(m.Renames, "[dbo].[Old]"));
    ASSERT_EQ(m.Renames[m.SelectedRename].NewName, QStringLiteral("[dbo].[Fresh]"));
    m.Undo();
    EXPECT_EQ(freshSrc->OtherObj(), nullptr);
    EXPECT_EQ(oldDst->OtherObj(), nullptr);
    // Undoing the other pair now links both of its tables back to their free namesakes.
    m.SelectRename(0);
    m.Undo();
    EXPECT_EQ(oldSrc->OtherObj(), oldDst);
    EXPECT_EQ(freshSrc->OtherObj(), freshDst);
    EXPECT_TRUE(m.Renames.isEmpty());
}

TEST_F(RenameModelTest, AColumnRenamedAndChangedIsListedAsAPair) {
    src.Existing("dbo", "T").Col("Wide", "bigint");
    dst.Existing("dbo", "T").Col("Narrow", "int");
    RenameModel& m = Start();
    m.SelectDelete(Row(m.Deletes, "[dbo].[T].[Narrow]"));
    m.SelectCreate(Row(m.Creates, "[dbo].[T].[Wide]"));
    m.Rename();
    EXPECT_TRUE(Texts(m.Renames).contains("[dbo].[T].[Narrow]=[dbo].[T].[Wide]")) << Texts(m.Renames).join(", ").toStdString();
    bool change = false;
    for (const ScriptPtr& script : m.Scripts)
        change = change || (script->Action == "CHANGE" && script->ScriptedObj->Name == "Wide");
    EXPECT_TRUE(change);
}

}  // namespace
