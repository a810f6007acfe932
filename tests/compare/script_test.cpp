#include "compare/generation_driver.h"
#include "compare/generators.h"
#include "compare/script.h"
#include "support/model_builder.h"

#include <gtest/gtest.h>

namespace {

std::string S(const QString& text) { return text.toStdString(); }

ScriptPtr Make(const QString& typ, const QString& action, Tovimar_Object* obj = nullptr) {
    auto script = std::make_shared<Tovimar_Script>();
    script->Typ = typ;
    script->Action = action;
    script->ScriptedObj = obj;
    return script;
}

QStringList Describe(const ScriptList& scripts) {
    QStringList out;
    for (const ScriptPtr& s : scripts)
        out << QString::number(s->Index) + QLatin1Char(' ') + s->Action + QLatin1Char(' ') + s->Typ +
                   QLatin1Char(' ') + (s->ScriptedObj ? s->ScriptedObj->Name : QString());
    return out;
}

}  // namespace

TEST(ScriptTest, StepsJoinWithGoSeparatorsAndPrePostStatements) {
    Tovimar_Script script;
    EXPECT_EQ(S(script.GetSQL(0)), "");
    script.AddSQL(QStringLiteral("A"));
    EXPECT_EQ(S(script.GetSQL(0)), "A");
    script.AddSQL(QStringLiteral("B"), {QStringLiteral("P1"), QStringLiteral("P2")}, {QStringLiteral("Q")});
    EXPECT_EQ(script.GetSQLCount(), 2);
    EXPECT_EQ(script.GetSQLSteps(2).size(), 4);
    EXPECT_EQ(S(script.GetSQL(2, false)), "B");
    EXPECT_EQ(S(script.GetSQL(2, true)), "P1\r\nGO\r\nP2\r\nGO\r\nB\r\nGO\r\nQ");
    EXPECT_EQ(S(script.GetSQL(0)), "A\r\nGO\r\n\r\nP1\r\nGO\r\nP2\r\nGO\r\nB\r\nGO\r\nQ");
    EXPECT_TRUE(script.GetSQLSteps(3).isEmpty());
    script.ClearSQL();
    EXPECT_EQ(script.GetSQLCount(), 0);
}

TEST(ScriptTest, TitleAndTableFullNameFollowTheScriptedObject) {
    TestDb db(QStringLiteral("S"), QStringLiteral("D"));
    auto t = db.Table(QStringLiteral("dbo"), QStringLiteral("Orders"));
    auto amount = t.Col(QStringLiteral("Amount"), QStringLiteral("money"));
    ScriptPtr column = NewScript(true, QStringLiteral("Column"), QStringLiteral("CHANGE"), *amount);
    EXPECT_EQ(S(column->GetTitle()), "SCRIPT CHANGE for Column [dbo].[Orders].[Amount]");
    EXPECT_EQ(S(column->TableFullName()), "[dbo].[Orders]");
    EXPECT_TRUE(column->Checked);
    EXPECT_EQ(S(NewScript(true, QStringLiteral("Role"), QStringLiteral("CREATE"), db.Role(QStringLiteral("r")))->TableFullName()), "");
}

TEST(ScriptTest, NewScriptFromDestinationNamesTheCounterpart) {
    TestDb src(QStringLiteral("S"), QStringLiteral("A"));
    TestDb dst(QStringLiteral("S"), QStringLiteral("B"));
    auto a = src.Table(QStringLiteral("dbo"), QStringLiteral("T"));
    auto b = dst.Table(QStringLiteral("dbo"), QStringLiteral("T"));
    LinkPair(src, dst);
    EXPECT_EQ(NewScript(false, QStringLiteral("Table"), QStringLiteral("DELETE"), *b)->ScriptedObj, a.Ptr().get());
    EXPECT_EQ(NewScript(true, QStringLiteral("Table"), QStringLiteral("CHANGE"), *b)->ScriptedObj, b.Ptr().get());
}

TEST(SortScriptsTest, DeletesFirstInReverseThenTypesFromRoleToPermissionByKind) {
    TestDb db(QStringLiteral("S"), QStringLiteral("D"));
    Tovimar_View& va = db.View(QStringLiteral("dbo"), QStringLiteral("A"), QString());
    Tovimar_View& vb = db.View(QStringLiteral("dbo"), QStringLiteral("B"), QString());
    Tovimar_View& vc = db.View(QStringLiteral("dbo"), QStringLiteral("C"), QString());
    auto t = db.Table(QStringLiteral("dbo"), QStringLiteral("T"));
    auto c = t.Col(QStringLiteral("C"), QStringLiteral("int"));
    ScriptList scripts = {Make("Permission", "CREATE"),
                          Make("View", "DELETE", &va),
                          Make("Table", "CHANGE", t.Ptr().get()),
                          Make("View", "DELETE", &vb),
                          Make("Column", "DELETE", c.Ptr().get()),
                          Make("Table", "RENAME", t.Ptr().get()),
                          Make("Table", "DELETE", t.Ptr().get()),
                          Make("View", "DELETE", &vc),
                          Make("Permission", "DELETE"),
                          Make("Role", "CREATE"),
                          Make("Catalog", "CREATE"),
                          Make("Unknown", "CREATE"),
                          Make("Index", "RECREATE"),
                          Make("Index", "CREATE")};
    const QStringList order = Describe(SortScripts(scripts));
    const QStringList expected = {
        "1 DELETE Permission ", "2 DELETE View C",   "3 DELETE View B",  "4 DELETE View A",
        "5 DELETE Column C",    "6 DELETE Table T",  "7 CREATE Role ",   "8 CREATE Catalog ",
        "9 RENAME Table T",     "10 CHANGE Table T", "11 RECREATE Index ", "12 CREATE Index ",
        "13 CREATE Permission "};
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(SortScripts({}).empty());
}

TEST(TagTest, TagsPlaceTableContentsUnderTheirTable) {
    TestDb db(QStringLiteral("S"), QStringLiteral("D"));
    auto t = db.Table(QStringLiteral("dbo"), QStringLiteral("Orders"));
    t.Col(QStringLiteral("A"), QStringLiteral("int"));
    t.Col(QStringLiteral("B"), QStringLiteral("int"));
    auto amount = t.Col(QStringLiteral("Amount"), QStringLiteral("money"));
    Tovimar_Index& pk = t.PrimaryKey(QStringLiteral("PK"), {"A"});
    Tovimar_Index& ix = t.Index(QStringLiteral("IX"), {"B"});
    EXPECT_EQ(S(GetTagString(*Make("Column", "CREATE", amount.Ptr().get()))),
              "10[dbo].[Orders]11_00000000000003[Amount]");
    EXPECT_EQ(S(GetTagString(*Make("Table", "CREATE", t.Ptr().get()))), "10[dbo].[Orders]");
    EXPECT_EQ(S(GetTagString(*Make("Index", "CREATE", &pk))), "10[dbo].[Orders]12_1[PK]");
    EXPECT_EQ(S(GetTagString(*Make("Index", "CREATE", &ix))), "10[dbo].[Orders]12_2[IX]");
    EXPECT_EQ(S(GetTagString(*Make("FTI", "CREATE", t.Ptr().get()))), "10[dbo].[Orders]90[dbo].[Orders]");
    Tovimar_View& v = db.View(QStringLiteral("dbo"), QStringLiteral("V"), QString());
    EXPECT_EQ(S(GetTagString(*Make("View", "CREATE", &v))), "1020[dbo].[V]");
}

TEST(DriverTextsTest, TemporaryNamesCaptionsFileNamesAndTags) {
    TestDb a(QStringLiteral("SRV\\INST"), QStringLiteral("Sales"));
    TestDb b(QStringLiteral("SRV2"), QStringLiteral("Sales"));
    a.Table(QStringLiteral("dbo"), QStringLiteral("Tmp_Orders"));
    a.Table(QStringLiteral("dbo"), QStringLiteral("Tmp_Orders1"));
    EXPECT_EQ(S(SetTempTableName(*a, QStringLiteral("dbo"), QStringLiteral("Tmp_Orders"))), "Tmp_Orders2");
    EXPECT_EQ(S(SetTempTableName(*a, QStringLiteral("dbo"), QStringLiteral("Tmp_X"))), "Tmp_X");
    EXPECT_EQ(S(CapText(*a)), "SRV\\INST#Sales -> RECOMPILE");
    a->SetOtherObj(b.Get());
    EXPECT_EQ(S(FileNamePart(*a)), "SRV$INST#Sales_to_SRV2#Sales");
    EXPECT_EQ(S(CapText(*a)), "SRV\\INST#Sales -> SRV2#Sales");
    b->Name.clear();
    EXPECT_EQ(S(CapText(*a)), "SRV\\INST#Sales -> CREATE SCRIPTS");
    EXPECT_EQ(S(FileNamePart(*a)), "SRV$INST#Sales_CREATE SCRIPTS");

    auto t = a.Existing(QStringLiteral("dbo"), QStringLiteral("Tmp_Orders"));
    auto col = t.Col(QStringLiteral("X"), QStringLiteral("int"));
    EXPECT_EQ(GetObjectByTag(*a, t->GetTagString()), t.Ptr().get());
    EXPECT_EQ(GetObjectByTag(*a, col->GetTagString()), col.Ptr().get());
    EXPECT_EQ(GetObjectByTag(*a, QStringLiteral("View") + TagSeparator + QStringLiteral("[dbo].[V]")), nullptr);
    EXPECT_THROW(GetObjectByTag(*a, QStringLiteral("Table") + TagSeparator + QStringLiteral("[dbo].[None]")),
                 TovimarException);
}

TEST(GuardTest, ExistenceGuardIndentsEveryLine) {
    EXPECT_EQ(S(GetSQLIfExists(QStringLiteral("[dbo].[Sales]"), QStringLiteral("IsView"), QStringLiteral("A\r\nB"))),
              "if exists (select * from dbo.sysobjects where id = object_id('[dbo].[Sales]') and "
              "OBJECTPROPERTY(id, 'IsView') = 1 and OBJECTPROPERTY(id, 'IsMSShipped') = 0)\r\n\tA\r\n\tB");
    EXPECT_EQ(S(GetSQLIfExists(QStringLiteral("[dbo].[f]"), QStringLiteral("isfunction"), QStringLiteral("X"))),
              "if exists (select * from dbo.sysobjects where id = object_id('[dbo].[f]') and xtype in "
              "(N'FN', N'IF', N'TF')) \r\n\tX");
    EXPECT_EQ(S(RenameSQL(QStringLiteral("[dbo].[O'Neil]"), QStringLiteral("New"), QStringLiteral("OBJECT"))),
              "EXEC sp_rename '[dbo].[O''Neil]', 'New', 'OBJECT'");
}

// Code objects come after what their definitions name (drops before it), whatever their type and
// name order; a cycle and a name inside a comment or string change nothing.
TEST(SortScriptsTest, CodeObjectsFollowTheirDependencies) {
    TestDb db(QStringLiteral("S"), QStringLiteral("D"));
    Tovimar_View& a = db.View(QStringLiteral("dbo"), QStringLiteral("A"), QStringLiteral("CREATE VIEW A AS SELECT * FROM [Z V]"));
    Tovimar_View& z = db.View(QStringLiteral("dbo"), QStringLiteral("Z V"), QStringLiteral("CREATE VIEW [Z V] AS SELECT dbo.F() AS x"));
    Tovimar_View& b = db.View(QStringLiteral("dbo"), QStringLiteral("B"), QStringLiteral("CREATE VIEW B AS SELECT 'A' AS x -- A\r\n"));
    Tovimar_View& c1 = db.View(QStringLiteral("dbo"), QStringLiteral("C1"), QStringLiteral("CREATE VIEW C1 AS SELECT * FROM C2"));
    Tovimar_View& c2 = db.View(QStringLiteral("dbo"), QStringLiteral("C2"), QStringLiteral("CREATE VIEW C2 AS SELECT * FROM C1"));
    Tovimar_View& f = db.View(QStringLiteral("dbo"), QStringLiteral("F"), QStringLiteral("CREATE VIEW F AS SELECT 1 AS x"));
    ScriptList scripts = {Make("View", "CREATE", &a),  Make("View", "CREATE", &b), Make("View", "CREATE", &c1),
                          Make("View", "CREATE", &c2), Make("View", "CHANGE", &z), Make("View", "CHANGE", &f),
                          Make("View", "DELETE", &a),  Make("View", "DELETE", &z)};
    EXPECT_EQ(Describe(SortScripts(scripts)),
              (QStringList{"1 DELETE View A", "2 DELETE View Z V", "3 CREATE View B", "4 CHANGE View F",
                           "5 CHANGE View Z V", "6 CREATE View A", "7 CREATE View C1", "8 CREATE View C2"}));
}
