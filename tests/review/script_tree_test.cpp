// The rules of the script tree and the error tree, without widgets.
#include "compare/generators.h"
#include "platform/tovimar_exception.h"
#include "review/error_tree.h"
#include "review/script_tree.h"
#include "support/model_builder.h"

#include <gtest/gtest.h>

namespace {

// A Destination with a table [dbo].[T] (its own CHANGE script, two column scripts, an index) and
// three views (CREATE, CHANGE, RECREATE); the scripts are numbered as a sorted list is.
class ScriptTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto t = db.Table("dbo", "T");
        t.Col("ID", "int");
        t.Col("Name", "int");
        t.Col("Gone", "int");
        t.Index("IX_T", {"ID"});
        Add("Column", "CREATE", *t.Col("Extra", "int"));
        Add("Table", "CHANGE", *t);
        Add("Column", "DELETE", *t->Fields.Item("[Gone]"));
        Add("Index", "CREATE", *t->Indexes.Item("[IX_T]"));
        Add("View", "CREATE", db.View("dbo", "V1", "CREATE VIEW V1 AS SELECT 1 AS A"));
        Add("View", "CHANGE", db.View("dbo", "V2", "CREATE VIEW V2 AS SELECT 1 AS A"));
        Add("View", "RECREATE", db.View("dbo", "V3", "CREATE VIEW V3 AS SELECT 1 AS A"));
        for (const ScriptPtr& script : scripts) script->ShowIt = true;
    }
    void Add(const QString& typ, const QString& action, Tovimar_Object& object) {
        ScriptPtr script = NewScript(true, typ, action, object);
        script->Index = static_cast<long>(scripts.size()) + 1;
        scripts.push_back(script);
    }
    int Node(const QString& key) const {
        const int node = tree.Find(QStringLiteral("Dest") + key);
        EXPECT_NE(node, ScriptTree::None) << key.toStdString();
        return node;
    }
    bool Checked(const QString& key) const { return tree.At(Node(key)).Checked; }

    TestDb db{QStringLiteral("SRV"), QStringLiteral("Dest")};
    ScriptList scripts;
    ScriptTree tree;
};

TEST_F(ScriptTreeTest, PathsShareGroupNodesAndFollowTheTags) {
    tree.Build(scripts, QStringLiteral("Dest"));
    const ScriptTree::Node& table = tree.At(Node(QStringLiteral(".Tables.[dbo].[T]")));
    EXPECT_EQ(table.Tag, 2);  // the table's own script
    EXPECT_EQ(table.ImageKind, QStringLiteral("CHANGE"));
    const ScriptTree::Node& columns = tree.At(Node(QStringLiteral(".Tables.[dbo].[T].Columns")));
    EXPECT_EQ(columns.Tag, 0);
    EXPECT_EQ(columns.ImageKind, QStringLiteral("Column"));
    // Columns in column order (Gone before Extra), whatever the script order; then the index group.
    QStringList texts;
    for (int child : columns.Children) texts << tree.At(child).Text;
    EXPECT_EQ(texts, (QStringList{QStringLiteral("[Gone]"), QStringLiteral("[Extra]")}));
    texts.clear();
    for (int child : table.Children) texts << tree.At(child).Text;
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Columns"), QStringLiteral("Indexes")}));
    EXPECT_EQ(tree.At(Node(QStringLiteral(".Views"))).Children.size(), 3u);
    EXPECT_EQ(tree.ScriptOf(Node(QStringLiteral(".Views.[dbo].[V2]"))), scripts[5]);
    EXPECT_EQ(tree.ScriptOf(tree.Root()), nullptr);
    EXPECT_TRUE(tree.At(tree.Root()).Expanded);
}

TEST_F(ScriptTreeTest, ChecksPropagateDownAndUp) {
    tree.Build(scripts, QStringLiteral("Dest"));
    tree.SetChecked(tree.Root(), false);
    for (const ScriptPtr& script : scripts) EXPECT_FALSE(script->Checked);

    // A leaf ticks every group above it, the table node (and its script) included.
    const QList<int> changed = tree.SetChecked(Node(QStringLiteral(".Tables.[dbo].[T].Columns.[Extra]")), true);
    EXPECT_EQ(changed.size(), 5);
    EXPECT_TRUE(Checked(QString()));
    EXPECT_TRUE(Checked(QStringLiteral(".Tables.[dbo].[T]")));
    EXPECT_TRUE(scripts[1]->Checked);
    EXPECT_TRUE(scripts[0]->Checked);
    EXPECT_FALSE(Checked(QStringLiteral(".Views")));

    // Unticking the last ticked column unticks "Columns", not the table with its own script.
    tree.SetChecked(Node(QStringLiteral(".Tables.[dbo].[T].Columns.[Extra]")), false);
    EXPECT_FALSE(Checked(QStringLiteral(".Tables.[dbo].[T].Columns")));
    EXPECT_TRUE(Checked(QStringLiteral(".Tables.[dbo].[T]")));
    EXPECT_FALSE(scripts[0]->Checked);

    // Unticking the one ticked child of a group that stands for no script unticks the group
    // and the groups above it that have nothing else ticked.
    tree.SetChecked(Node(QStringLiteral(".Views.[dbo].[V1]")), true);
    tree.SetChecked(Node(QStringLiteral(".Tables.[dbo].[T]")), false);
    EXPECT_TRUE(Checked(QString()));
    tree.SetChecked(Node(QStringLiteral(".Views.[dbo].[V1]")), false);
    EXPECT_FALSE(Checked(QStringLiteral(".Views")));
    EXPECT_FALSE(Checked(QString()));

    // A branch takes the state of its head.
    tree.SetChecked(Node(QStringLiteral(".Tables")), true);
    for (int i : {0, 1, 2, 3}) EXPECT_TRUE(scripts[static_cast<size_t>(i)]->Checked) << i;
}

TEST_F(ScriptTreeTest, ExcludeModifysOnViewsLeavesCreates) {
    tree.Build(scripts, QStringLiteral("Dest"));
    const int views = Node(QStringLiteral(".Views"));
    for (const QString& action : ActionsOfBox(QStringLiteral("Modifys"))) tree.SetActionChecked(views, action, false);
    EXPECT_TRUE(scripts[4]->Checked);   // CREATE
    EXPECT_FALSE(scripts[5]->Checked);  // CHANGE
    EXPECT_FALSE(scripts[6]->Checked);  // RECREATE
    EXPECT_TRUE(Checked(QStringLiteral(".Views")));
    // Excluding the creates as well unticks the group; the root stays for the table's scripts.
    tree.SetActionChecked(views, QStringLiteral("create"), false);
    EXPECT_FALSE(Checked(QStringLiteral(".Views")));
    EXPECT_TRUE(Checked(QString()));
}

TEST_F(ScriptTreeTest, ShowFilter) {
    struct Case {
        ShowBoxes Boxes;
        int Shown;
    };
    const Case cases[] = {
        {{false, false, false, false}, 7},
        {{true, true, true, true}, 7},
        {{false, true, false, false}, 1},   // only Deletes: the deleted column
        {{false, false, true, false}, 3},   // Modifys: CHANGE and RECREATE
    };
    for (const Case& c : cases) {
        ApplyShowFilter(scripts, c.Boxes);
        int shown = 0;
        for (const ScriptPtr& script : scripts) shown += script->ShowIt ? 1 : 0;
        EXPECT_EQ(shown, c.Shown);
    }
    // Hidden scripts keep their ticks and get no node.
    scripts[4]->Checked = false;
    tree.Build(scripts, QStringLiteral("Dest"));
    EXPECT_EQ(tree.Find(QStringLiteral("Dest.Views.[dbo].[V1]")), ScriptTree::None);
    EXPECT_FALSE(scripts[4]->Checked);
}

TEST_F(ScriptTreeTest, TwoScriptsOnOnePathAreAnError) {
    Add("View", "DELETE", *db->Views.Item("[dbo].[V2]"));
    scripts.back()->ShowIt = true;
    try {
        tree.Build(scripts, QStringLiteral("Dest"));
        FAIL() << "no error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 500);
        EXPECT_EQ(e.Description, QStringLiteral("Duplicate Script: Dest.Views.[dbo].[V2]"));
    }
}

TEST_F(ScriptTreeTest, ErrorTreeByObjectAndByError) {
    ErrorCollection errors;
    ErrorPtr column = CreateError(scripts[0], 1);
    column->AddEntry(207, QStringLiteral("Invalid column name 'X'."));
    column->AddEntry(3701, QStringLiteral("Cannot drop."));
    ErrorPtr view = CreateError(scripts[4], 1);
    view->AddEntry(207, QStringLiteral("Invalid column name 'X'."));
    ErrorPtr view2 = CreateError(scripts[5], 1);
    view2->AddEntry(208, QStringLiteral("Invalid object name 'Y'."));
    errors = {column, view, view2};
    scripts[0]->AddSQL(QStringLiteral("ALTER TABLE [dbo].[T] ADD [Extra] int"));

    ErrorTree byObject;
    byObject.Build(QStringLiteral("Dest"), errors, false);
    auto path = [](const ErrorTree& tree, int node) {
        QStringList texts;
        for (; node != ErrorTree::None; node = tree.At(node).Parent) texts.prepend(tree.At(node).Text);
        return texts.join(QLatin1Char('/'));
    };
    QStringList leaves;
    for (int i = 0; i < byObject.Count(); ++i)
        if (byObject.At(i).Children.empty()) leaves << path(byObject, i);
    // Views before tables, as their tags sort; two entries of one error under one object.
    EXPECT_EQ(leaves, (QStringList{
                          QStringLiteral("Dest/Views/[dbo].[V1]/207 (Invalid column name 'X'.)"),
                          QStringLiteral("Dest/Views/[dbo].[V2]/208 (Invalid object name 'Y'.)"),
                          QStringLiteral("Dest/Tables/[dbo].[T]/Columns/[Extra]/207 (Invalid column name 'X'.)"),
                          QStringLiteral("Dest/Tables/[dbo].[T]/Columns/[Extra]/3701 (Cannot drop.)"),
                      }));
    const int leaf = byObject.Count() - 1;
    EXPECT_EQ(byObject.TextOf(leaf), QStringLiteral("ALTER TABLE [dbo].[T] ADD [Extra] int"));
    EXPECT_EQ(byObject.TextOf(0), QString());

    ErrorTree byError;
    byError.Build(QStringLiteral("Dest"), errors, true);
    const ErrorTree::Node& root = byError.At(0);
    ASSERT_EQ(root.Children.size(), 3u);  // 207 shared by the column and the view, 208, 3701
    const int shared = root.Children[0];
    EXPECT_EQ(byError.At(shared).Text, QStringLiteral("207 (Invalid column name 'X'.)"));
    EXPECT_EQ(byError.TextOf(shared), QStringLiteral("Fehlerbeschreibung: \r\n\r\n207 (Invalid column name 'X'.)"));
    EXPECT_EQ(byError.At(shared).Children.size(), 2u);

    ErrorTree empty;
    empty.Build(QStringLiteral("Dest"), {}, true);
    EXPECT_EQ(empty.Count(), 0);
}

}  // namespace
