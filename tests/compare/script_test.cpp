#include "compare/generation_driver.h"
#include "compare/script.h"
#include "family_test_support.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

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
        out << QString::number(s->Index) + QLatin1Char(' ') + s->Action + QLatin1Char(' ') + s->Typ + QLatin1Char(' ') +
                   (s->ScriptedObj ? s->ScriptedObj->Name : QString());
    return out;
}

}  // namespace

TEST(ScriptTest, StepsJoinWithGoSeparatorsAndPrePostStatements) {
    Tovimar_Script script;
    EXPECT_EQ(S(script.GetSQL(0)), "");
    script.AddSQL(Q("A"));
    EXPECT_EQ(S(script.GetSQL(0)), "A");
    script.AddSQL(Q("B"), {Q("P1"), Q("P2")}, {Q("Q")});
    EXPECT_EQ(script.GetSQLCount(), 2);
    EXPECT_EQ(script.GetSQLSteps(2).size(), 4);
    EXPECT_EQ(S(script.GetSQL(2, false)), "B");
    EXPECT_EQ(S(script.GetSQL(2, true)), "P1\r\nGO\r\nP2\r\nGO\r\nB\r\nGO\r\nQ");
    EXPECT_EQ(S(script.GetSQL(0)), "A\r\nGO\r\n\r\nP1\r\nGO\r\nP2\r\nGO\r\nB\r\nGO\r\nQ");
    EXPECT_TRUE(script.GetSQLSteps(3).isEmpty());
    script.ClearSQL();
    EXPECT_EQ(script.GetSQLCount(), 0);
}

// A script names the object it changes (the counterpart when made from the Destination's side) and
// the table it belongs to; its title is pinned by every golden file.
TEST(ScriptTest, NewScriptNamesTheObjectAndItsTable) {
    TablePair p;
    auto amount = p.s.Col(Q("Amount"), Q("money"));
    p.Link();
    EXPECT_EQ(S(NewScript(true, Q("Column"), Q("CHANGE"), *amount)->TableFullName()), "[dbo].[T]");
    EXPECT_EQ(S(NewScript(true, Q("Role"), Q("CREATE"), p.src.Role(Q("r")))->TableFullName()), "");
    EXPECT_EQ(NewScript(false, Q("Table"), Q("DELETE"), *p.d)->ScriptedObj, p.s.Ptr().get());
    EXPECT_EQ(NewScript(true, Q("Table"), Q("CHANGE"), *p.d)->ScriptedObj, p.d.Ptr().get());
}

TEST(SortScriptsTest, DeletesFirstInReverseThenTypesFromRoleToPermissionByKind) {
    TestDb db(Q("S"), Q("D"));
    Tovimar_View& va = db.View(dbo, Q("A"), QString());
    Tovimar_View& vb = db.View(dbo, Q("B"), QString());
    Tovimar_View& vc = db.View(dbo, Q("C"), QString());
    auto t = db.Table(dbo, Q("T"));
    auto c = t.Col(Q("C"), Q("int"));
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
        "1 DELETE Permission ", "2 DELETE View C",  "3 DELETE View B",      "4 DELETE View A",  "5 DELETE Column C",
        "6 DELETE Table T",     "7 CREATE Role ",   "8 CREATE Catalog ",    "9 RENAME Table T", "10 CHANGE Table T",
        "11 RECREATE Index ",   "12 CREATE Index ", "13 CREATE Permission "};
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(SortScripts({}).empty());
}

// SortScripts finds each script's matches once; the order must be what the parts give, also for
// texts in other cases, a script that two keys match and an empty place in the list.
TEST(SortScriptsTest, OrderIsThatOfTheParts) {
    ScriptList scripts = {Make("table", "create"), Make("Index", "Delete"), nullptr,          Make("Delete", "CHANGE"),
                          Make("Check", "RENAME"), Make("Type", "change"),  Make("x", "CREATE"), Make("DEFAULT", "REDELETE"),
                          Make("Index", "RECREATE"), Make("Role", "DELETE"), Make("Index", "create")};
    const QStringList types = {Q("Permission"), Q("Trigger"), Q("Function"), Q("Procedure"), Q("View"),
                               Q("FTI"),        Q("Relation"), Q("Index"),   Q("Check"),     Q("Default"),
                               Q("Column"),     Q("Table"),    Q("Type"),    Q("Catalog"),   Q("Role")};
    ScriptList expected = SortScripts_Part(scripts, Q("DELETE"), types, true);
    for (qsizetype i = types.size() - 1; i >= 0; --i) {
        const ScriptList part = SortScripts_Part(
            scripts, types[i], {Q("RENAME"), Q("RECREATE"), Q("REDELETE"), Q("CREATE"), Q("CHANGE")}, false);
        expected.insert(expected.end(), part.begin(), part.end());
    }
    EXPECT_EQ(SortScripts(scripts), expected);
    EXPECT_EQ(expected.size(), 8u);
}

// A dropped column goes after the last changed key, index, foreign key or check that uses it
// (drops behind one such script keep their order); a column that nothing uses, or of a rebuilt
// table, stays where the parts put it.
TEST(SortScriptsTest, ColumnDropsFollowTheLastScriptThatUsesThem) {
    Pair p;
    auto st = p.src.Table(dbo, Q("T"));
    auto dt = p.dst.Table(dbo, Q("T"));
    auto su = p.src.Table(dbo, Q("U"));
    auto du = p.dst.Table(dbo, Q("U"));
    auto sw = p.src.Table(dbo, Q("W"));
    auto dw = p.dst.Table(dbo, Q("W"));
    for (auto* t : {&st, &dt}) t->Col(Q("A"), Q("int"));
    for (auto* t : {&su, &du}) t->Col(Q("E"), Q("int"));
    for (auto* t : {&sw, &dw}) t->Col(Q("Z"), Q("int"));
    auto b = dt.Col(Q("B"), Q("int"));
    auto c = dt.Col(Q("C"), Q("int"));
    auto d = dt.Col(Q("D"), Q("int"));
    auto y = dw.Col(Q("Y"), Q("int"));
    std::vector<Tovimar_Object*> changed;
    for (const auto& [name, old] : {std::pair{"CK1", "B > 0"}, std::pair{"CK2", "[C] > 0"}, std::pair{"CK3", "B > C"}}) {
        dt.Check(Q(name), Q(old));
        changed.push_back(&st.Check(Q(name), Q("A > 0")));
    }
    dw.Check(Q("CKW"), Q("Y > 0"));
    changed.push_back(&sw.Check(Q("CKW"), Q("Z > 0")));
    du.Relation(Q("FK"), dbo, Q("T"), {"E"}, {"D"});
    changed.push_back(&su.Relation(Q("FK"), dbo, Q("T"), {"E"}, {"A"}));
    p.Link();
    dw->DeleteRecreate = true;
    ScriptList scripts;
    for (Tovimar_Object* column : {b.Ptr().get(), c.Ptr().get(), d.Ptr().get(), y.Ptr().get()})
        scripts.push_back(Make("Column", "DELETE", column));
    for (Tovimar_Object* object : changed)
        scripts.push_back(Make(dynamic_cast<Tovimar_Check*>(object) ? "Check" : "Relation", "CHANGE", object));
    const QStringList expected = {
        "DELETE Column [dbo].[W].[Y]", "CHANGE Check [dbo].[T].[CK1]", "CHANGE Check [dbo].[T].[CK2]",
        "CHANGE Check [dbo].[T].[CK3]", "DELETE Column [dbo].[T].[C]", "DELETE Column [dbo].[T].[B]",
        "CHANGE Check [dbo].[W].[CKW]", "CHANGE Relation [dbo].[U].[FK]", "DELETE Column [dbo].[T].[D]"};
    EXPECT_EQ(Kinds(SortScripts(scripts)), expected);
}

TEST(TagTest, TagsPlaceTableContentsUnderTheirTable) {
    TestDb db(Q("S"), Q("D"));
    auto t = db.Table(dbo, Q("Orders"));
    t.Col(Q("A"), Q("int"));
    t.Col(Q("B"), Q("int"));
    auto amount = t.Col(Q("Amount"), Q("money"));
    Tovimar_Index& pk = t.PrimaryKey(Q("PK"), {"A"});
    Tovimar_Index& ix = t.Index(Q("IX"), {"B"});
    EXPECT_EQ(S(GetTagString(*Make("Column", "CREATE", amount.Ptr().get()))),
              "10[dbo].[Orders]11_00000000000003[Amount]");
    EXPECT_EQ(S(GetTagString(*Make("Table", "CREATE", t.Ptr().get()))), "10[dbo].[Orders]");
    EXPECT_EQ(S(GetTagString(*Make("Index", "CREATE", &pk))), "10[dbo].[Orders]12_1[PK]");
    EXPECT_EQ(S(GetTagString(*Make("Index", "CREATE", &ix))), "10[dbo].[Orders]12_2[IX]");
    EXPECT_EQ(S(GetTagString(*Make("FTI", "CREATE", t.Ptr().get()))), "10[dbo].[Orders]90[dbo].[Orders]");
    Tovimar_View& v = db.View(dbo, Q("V"), QString());
    EXPECT_EQ(S(GetTagString(*Make("View", "CREATE", &v))), "1020[dbo].[V]");
}

TEST(DriverTextsTest, TemporaryNamesCaptionsFileNamesAndTags) {
    TestDb a(Q("SRV\\INST"), Q("Sales"));
    TestDb b(Q("SRV2"), Q("Sales"));
    a.Table(dbo, Q("Tmp_Orders"));
    a.Table(dbo, Q("Tmp_Orders1"));
    EXPECT_EQ(S(SetTempTableName(*a, dbo, Q("Tmp_Orders"))), "Tmp_Orders2");
    EXPECT_EQ(S(SetTempTableName(*a, dbo, Q("Tmp_X"))), "Tmp_X");
    EXPECT_EQ(S(CapText(*a)), "SRV\\INST#Sales -> RECOMPILE");
    a->SetOtherObj(b.Get());
    EXPECT_EQ(S(FileNamePart(*a)), "SRV$INST#Sales_to_SRV2#Sales");
    EXPECT_EQ(S(CapText(*a)), "SRV\\INST#Sales -> SRV2#Sales");
    b->Name.clear();
    EXPECT_EQ(S(CapText(*a)), "SRV\\INST#Sales -> CREATE SCRIPTS");
    EXPECT_EQ(S(FileNamePart(*a)), "SRV$INST#Sales_CREATE SCRIPTS");

    auto t = a.Existing(dbo, Q("Tmp_Orders"));
    auto col = t.Col(Q("X"), Q("int"));
    EXPECT_EQ(GetObjectByTag(*a, t->GetTagString()), t.Ptr().get());
    EXPECT_EQ(GetObjectByTag(*a, col->GetTagString()), col.Ptr().get());
    EXPECT_EQ(GetObjectByTag(*a, Q("View") + TagSeparator + Q("[dbo].[V]")), nullptr);
    EXPECT_THROW(GetObjectByTag(*a, Q("Table") + TagSeparator + Q("[dbo].[None]")), TovimarException);
}

// Code objects come after what their definitions name (drops before it), whatever their type and
// name order; a cycle and a name inside a comment or string change nothing.
TEST(SortScriptsTest, CodeObjectsFollowTheirDependencies) {
    TestDb db(Q("S"), Q("D"));
    Tovimar_View& a = db.View(dbo, Q("A"), Q("CREATE VIEW A AS SELECT * FROM [Z V]"));
    Tovimar_View& z = db.View(dbo, Q("Z V"), Q("CREATE VIEW [Z V] AS SELECT dbo.F() AS x"));
    Tovimar_View& b = db.View(dbo, Q("B"), Q("CREATE VIEW B AS SELECT 'A' AS x -- A\r\n"));
    Tovimar_View& c1 = db.View(dbo, Q("C1"), Q("CREATE VIEW C1 AS SELECT * FROM C2"));
    Tovimar_View& c2 = db.View(dbo, Q("C2"), Q("CREATE VIEW C2 AS SELECT * FROM C1"));
    Tovimar_View& f = db.View(dbo, Q("F"), Q("CREATE VIEW F AS SELECT 1 AS x"));
    ScriptList scripts = {Make("View", "CREATE", &a),  Make("View", "CREATE", &b), Make("View", "CREATE", &c1),
                          Make("View", "CREATE", &c2), Make("View", "CHANGE", &z), Make("View", "CHANGE", &f),
                          Make("View", "DELETE", &a),  Make("View", "DELETE", &z)};
    EXPECT_EQ(Describe(SortScripts(scripts)),
              (QStringList{"1 DELETE View A", "2 DELETE View Z V", "3 CREATE View B", "4 CHANGE View F",
                           "5 CHANGE View Z V", "6 CREATE View A", "7 CREATE View C1", "8 CREATE View C2"}));
    // A long list (its names found in two halves): a chain of views, each reading the next.
    ScriptList chain;
    QStringList reversed;
    for (int i = 0; i < 70; ++i) {
        const QString name = QStringLiteral("V%1").arg(i);
        chain.push_back(Make("View", "CREATE",
                             &db.View(dbo, name, QStringLiteral("CREATE VIEW %1 AS SELECT * FROM V%2").arg(name).arg(i + 1))));
        reversed.prepend(name);
    }
    QStringList order;
    for (const ScriptPtr& script : SortScripts(chain)) order << script->ScriptedObj->Name;
    EXPECT_EQ(order, reversed);
}
