#include "family_test_support.h"
#include "support/recording_progress.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

constexpr long QuotedIdent = 8;
constexpr long AnsiNulls = 16;

FieldPtr ViewColumn(Tovimar_View& view, const QString& name, const QString& collation) {
    auto field = std::make_shared<Tovimar_Field>();
    field->Name = name;
    field->DataType = Q("varchar");
    field->DataPrecision = field->DataSize = 10;
    field->Collation = collation;
    view.AddField(field);
    return field;
}

// Create, delete, rename and the three reasons for a change (settings, text, columns), each step
// with the SET QUOTED_IDENTIFIER / ANSI_NULLS statements before and after it.
TEST(CodeObjectScripts, ViewCreateChangeDropRename) {
    Pair p;
    p.src.View(dbo, Q("V_New"), Q("CREATE VIEW dbo.V_New\r\nAS\r\nSELECT 1 AS A"), QuotedIdent);
    p.dst.View(dbo, Q("V_Gone"), Q("CREATE VIEW V_Gone AS SELECT 1 AS A"));
    // Created with ANSI_NULLS off, otherwise equal to its counterpart.
    p.src.View(dbo, Q("V_Ansi"), Q("CREATE VIEW V_Ansi AS SELECT 1 AS A"), QuotedIdent);
    p.dst.View(dbo, Q("V_Ansi"), Q("CREATE VIEW [dbo].[V_Ansi] AS SELECT 1 AS A"), QuotedIdent | AnsiNulls);
    // Names written differently in the stored texts: equal.
    p.src.View(dbo, Q("V_Same"), Q("create view dbo.V_Same\nas select 1 as a"));
    p.dst.View(dbo, Q("V_Same"), Q("CREATE VIEW [dbo].[V_Same]\r\nAS SELECT 1 AS A\r\n"));
    p.src.View(dbo, Q("V_Text"), Q("CREATE VIEW V_Text AS SELECT 2 AS A -- new"));
    p.dst.View(dbo, Q("V_Text"), Q("CREATE VIEW V_Text AS SELECT 1 AS A"));
    Tovimar_View& renamed = p.src.View(dbo, Q("V_Renamed"), Q("CREATE VIEW V_Renamed AS SELECT 1 AS A"));
    Tovimar_View& old = p.dst.View(dbo, Q("V_Old"), Q("CREATE VIEW V_Old AS SELECT 1 AS A"));
    LinkPair(p.src, p.dst);
    Tovimar_Database::SetLink(&renamed, &old);

    const ScriptList scripts = p.Scripts(p.src->Views, p.dst->Views);
    ExpectGoldenScripts(Q("view_scripts"), scripts);
    EXPECT_EQ(S(scripts[1]->GetSQLSteps(1).at(1)), "SET ANSI_NULLS OFF");  // a statement of its own, not joined by GO
    for (const ScriptPtr& script : scripts) EXPECT_EQ(script->Repeatable, script->Action != QLatin1String("DELETE"));
}

// A column collation counts only while collations take part for both views.
TEST(CodeObjectScripts, ViewColumnCollationCountsOnlyWhenIncluded) {
    for (bool included : {true, false}) {
        Pair p;
        Tovimar_View& mine = p.src.View(dbo, Q("V"), Q("CREATE VIEW V AS SELECT A FROM T"));
        Tovimar_View& theirs = p.dst.View(dbo, Q("V"), Q("CREATE VIEW [dbo].[V] AS SELECT A FROM T"));
        ViewColumn(mine, Q("A"), Q("Latin1_General_CI_AS"));
        ViewColumn(theirs, Q("a"), Q("Latin1_General_BIN"));
        theirs.CollationsIncluded = included;
        LinkPair(p.src, p.dst);
        ScriptList scripts;
        EXPECT_EQ(GenerateScript(mine, true, scripts, p.ctx), included ? 1 : 0) << included;

        // A column missing on either side is always a difference.
        ViewColumn(theirs, Q("B"), QString());
        EXPECT_EQ(GenerateScript(mine, true, scripts, p.ctx), 1) << included;
    }
}

// Numbered procedure groups: only the differing definitions are altered while the numbering
// matches; a changed numbering drops the group and creates it again.
TEST(CodeObjectScripts, ProcedureGroups) {
    Pair p;
    p.src.Procedure(dbo, Q("P_Create"),
                    {Q("CREATE PROCEDURE P_Create AS SELECT 1"), Q("CREATE PROCEDURE P_Create;2 AS SELECT 2")});
    const QStringList two{Q("CREATE PROCEDURE dbo.P_Alter AS SELECT 1"),
                          Q("CREATE PROCEDURE dbo.P_Alter;2 AS SELECT 2")};
    p.src.Procedure(dbo, Q("P_Alter"), {two[0], Q("CREATE PROCEDURE dbo.P_Alter;2 AS SELECT 22")});
    // The Destination holds the texts this tool writes: the canonical names.
    p.dst.Procedure(
        dbo, Q("P_Alter"),
        {Q("CREATE PROCEDURE [dbo].[P_Alter] AS SELECT 1"), Q("CREATE PROCEDURE [dbo].[P_Alter];2 AS SELECT 2")});
    Tovimar_Procedure& regroup = p.src.Procedure(
        dbo, Q("P_Regroup"), {Q("CREATE PROC P_Regroup AS SELECT 1"), Q("CREATE PROC P_Regroup;2 AS SELECT 2")});
    p.dst.Procedure(dbo, Q("P_Regroup"), {Q("CREATE PROC [dbo].[P_Regroup] AS SELECT 1")});
    p.src.Procedure(dbo, Q("P_Same"), {Q("CREATE PROC P_Same AS SELECT 1")});
    p.dst.Procedure(dbo, Q("P_Same"), {Q("CREATE PROC [dbo].[P_Same] AS SELECT 1")});
    p.dst.Procedure(dbo, Q("P_Gone"), {Q("CREATE PROC P_Gone AS SELECT 1")});
    // Renamed with the same numbering and unchanged bodies: a RENAME, then every definition altered.
    Tovimar_Procedure& renamed = p.src.Procedure(
        dbo, Q("P_Renamed"), {Q("CREATE PROC P_Renamed AS SELECT 1"), Q("CREATE PROC P_Renamed;2 AS SELECT 2")});
    Tovimar_Procedure& old = p.dst.Procedure(
        dbo, Q("P_Old"), {Q("CREATE PROC [dbo].[P_Old] AS SELECT 1"), Q("CREATE PROC [dbo].[P_Old];2 AS SELECT 2")});
    LinkPair(p.src, p.dst);
    Tovimar_Database::SetLink(&renamed, &old);

    const ScriptList scripts = p.Scripts(p.src->Procedures, p.dst->Procedures);
    ExpectGoldenScripts(Q("procedure_groups"), scripts);
    // Dropped and created again: its permissions must be granted anew.
    EXPECT_TRUE(regroup.DeleteRecreate);
    EXPECT_FALSE(p.src->Procedures.Item(Q("[dbo].[P_Alter]"))->DeleteRecreate);
}

// Settings that differ while every text is equal re-issue the whole group under the Source's
// settings instead of producing a script without steps.
TEST(CodeObjectScripts, ProcedureSettingsChangeAltersEveryDefinition) {
    Pair p;
    const QStringList two{Q("CREATE PROCEDURE P AS SELECT 1"), Q("CREATE PROCEDURE P;2 AS SELECT 2")};
    Tovimar_Procedure& mine = p.src.Procedure(dbo, Q("P"), two, QuotedIdent);
    p.dst.Procedure(dbo, Q("P"),
                    {Q("CREATE PROCEDURE [dbo].[P] AS SELECT 1"), Q("CREATE PROCEDURE [dbo].[P];2 AS SELECT 2")},
                    QuotedIdent | AnsiNulls);
    LinkPair(p.src, p.dst);
    ScriptList scripts;
    ASSERT_EQ(GenerateScript(mine, true, scripts, p.ctx), 1);
    ASSERT_EQ(scripts[0]->GetSQLCount(), 2);
    EXPECT_EQ(S(scripts[0]->GetSQL(1)),
              "SET QUOTED_IDENTIFIER ON\r\nGO\r\nSET ANSI_NULLS OFF\r\nGO\r\n\r\nALTER PROCEDURE [dbo].[P] AS SELECT 1"
              "\r\nGO\r\nSET QUOTED_IDENTIFIER OFF\r\nGO\r\nSET ANSI_NULLS ON");
    EXPECT_TRUE(scripts[0]->GetSQL(2, false).endsWith(Q("ALTER PROCEDURE [dbo].[P];2 AS SELECT 2")));
}

// A changed function is dropped and created again, never altered.
TEST(CodeObjectScripts, FunctionCreateChangeDrop) {
    Pair p;
    p.src.Function(dbo, Q("F_New"), Q("CREATE FUNCTION dbo.F_New() RETURNS int AS BEGIN RETURN 1 END"));
    Tovimar_Function& changed =
        p.src.Function(dbo, Q("F_Changed"), Q("CREATE FUNCTION F_Changed() RETURNS int AS BEGIN RETURN 2 END"));
    p.dst.Function(dbo, Q("F_Changed"), Q("CREATE FUNCTION F_Changed() RETURNS int AS BEGIN RETURN 1 END"));
    p.src.Function(dbo, Q("F_Same"), Q("CREATE FUNCTION F_Same() RETURNS int AS BEGIN RETURN 1 END"));
    p.dst.Function(dbo, Q("F_Same"), Q("CREATE FUNCTION [dbo].[F_Same]() RETURNS int AS BEGIN RETURN 1 END"));
    p.dst.Function(dbo, Q("F_Gone"), Q("CREATE FUNCTION F_Gone() RETURNS int AS BEGIN RETURN 1 END"));
    Tovimar_Function& renamed =
        p.src.Function(dbo, Q("F_Renamed"), Q("CREATE FUNCTION F_Renamed() RETURNS int AS BEGIN RETURN 1 END"));
    Tovimar_Function& old =
        p.dst.Function(dbo, Q("F_Old"), Q("CREATE FUNCTION [dbo].[F_Renamed]() RETURNS int AS BEGIN RETURN 1 END"));
    LinkPair(p.src, p.dst);
    Tovimar_Database::SetLink(&renamed, &old);
    const ScriptList scripts = p.Scripts(p.src->Functions, p.dst->Functions);
    ExpectGoldenScripts(Q("function_scripts"), scripts);
    EXPECT_TRUE(changed.DeleteRecreate);
    EXPECT_FALSE(scripts[1]->GetSQL(0).contains(Q("ALTER")));
    EXPECT_FALSE(renamed.DeleteRecreate);
}

// Triggers: create, alter, rename, and the drop of a name that needs quoting.
TEST(CodeObjectScripts, TriggerCreateChangeDropRename) {
    TablePair p;
    p.s.Trigger(Q("tr_New"), Q("CREATE TRIGGER tr_New ON dbo.T FOR INSERT AS SELECT 1"));
    p.s.Trigger(Q("tr_Changed"), Q("CREATE TRIGGER tr_Changed ON T FOR UPDATE AS SELECT 2"));
    p.d.Trigger(Q("tr_Changed"), Q("CREATE TRIGGER tr_Changed ON T FOR UPDATE AS SELECT 1"));
    p.s.Trigger(Q("tr_Same"), Q("CREATE TRIGGER tr_Same ON dbo.T FOR UPDATE AS SELECT 1"));
    p.d.Trigger(Q("tr_Same"), Q("CREATE TRIGGER [tr_Same] ON [dbo].[T] FOR UPDATE AS SELECT 1"));
    Tovimar_Trigger& renamed = p.s.Trigger(Q("tr_Renamed"), Q("CREATE TRIGGER tr_Renamed ON T FOR DELETE AS SELECT 1"));
    Tovimar_Trigger& old = p.d.Trigger(Q("tr_Old"), Q("CREATE TRIGGER tr_Old ON T FOR DELETE AS SELECT 1"));
    p.d.Trigger(Q("tr Audit"), Q("CREATE TRIGGER [tr Audit] ON T FOR DELETE AS SELECT 1"));
    LinkPair(p.src, p.dst);
    Tovimar_Database::SetLink(&renamed, &old);
    const ScriptList scripts = p.Scripts(p.s->Triggers, p.d->Triggers);
    ExpectGoldenScripts(Q("trigger_scripts"), scripts);
    for (const ScriptPtr& script : scripts) EXPECT_FALSE(script->Repeatable);
}

// A rebuilt table loses its triggers: linked ones are created again (RECREATE when equal,
// CHANGE when changed), always as CREATE TRIGGER.
TEST(CodeObjectScripts, TriggerOnRebuiltTableIsRecreated) {
    TablePair p;
    p.s->DeleteRecreate = true;
    p.s.Trigger(Q("tr_Same"), Q("CREATE TRIGGER tr_Same ON T FOR UPDATE AS SELECT 1"));
    p.d.Trigger(Q("tr_Same"), Q("CREATE TRIGGER [tr_Same] ON [dbo].[T] FOR UPDATE AS SELECT 1"));
    p.s.Trigger(Q("tr_Changed"), Q("CREATE TRIGGER tr_Changed ON T FOR UPDATE AS SELECT 2"));
    p.d.Trigger(Q("tr_Changed"), Q("CREATE TRIGGER tr_Changed ON T FOR UPDATE AS SELECT 1"));
    LinkPair(p.src, p.dst);
    const ScriptList scripts = p.Scripts(p.s->Triggers, EmptyCollection<TriggerPtr>());
    ASSERT_EQ(Kinds(scripts),
              (QStringList{"RECREATE Trigger [dbo].[T].[tr_Same]", "CHANGE Trigger [dbo].[T].[tr_Changed]"}));
    EXPECT_EQ(S(scripts[0]->GetSQL(1, false)), "\r\nCREATE TRIGGER [tr_Same] ON [dbo].[T] FOR UPDATE AS SELECT 1");
    EXPECT_EQ(S(scripts[1]->GetSQL(1, false)), "\r\nCREATE TRIGGER [tr_Changed] ON [dbo].[T] FOR UPDATE AS SELECT 2");
}

// Objects left out by the filters produce nothing.
TEST(CodeObjectScripts, ExcludedObjectsProduceNothing) {
    TablePair p;
    p.src.View(dbo, Q("V"), Q("CREATE VIEW V AS SELECT 1 AS A")).ObjectIncluded = false;
    p.src.Procedure(dbo, Q("P"), {Q("CREATE PROC P AS SELECT 1")}).ObjectIncluded = false;
    p.src.Function(dbo, Q("F"), Q("CREATE FUNCTION F() RETURNS int AS BEGIN RETURN 1 END")).ObjectIncluded = false;
    p.s.Trigger(Q("tr"), Q("CREATE TRIGGER tr ON T FOR INSERT AS SELECT 1")).ObjectIncluded = false;
    LinkPair(p.src, p.dst);
    ScriptList scripts;
    GenerateScripts(p.src->Views, p.dst->Views, scripts, p.ctx);
    GenerateScripts(p.src->Procedures, p.dst->Procedures, scripts, p.ctx);
    GenerateScripts(p.src->Functions, p.dst->Functions, scripts, p.ctx);
    GenerateScripts(p.s->Triggers, p.d->Triggers, scripts, p.ctx);
    EXPECT_EQ(Kinds(scripts), QStringList());
}

// The recompile scripts: every view, procedure, function and trigger as ALTER, numbered in
// generation order, whatever the filters say.
TEST(CodeObjectScripts, RecompileScriptsInGenerationOrder) {
    TestDb db(Q("S"), Q("Db"));
    db.View(dbo, Q("V1"), Q("CREATE VIEW V1 AS SELECT 1 AS A"));
    db.View(dbo, Q("V2"), Q("CREATE VIEW V2 AS SELECT 2 AS A")).ObjectIncluded = false;
    db.Procedure(dbo, Q("P"), {Q("CREATE PROCEDURE P AS SELECT 1"), Q("CREATE PROCEDURE P;2 AS SELECT 2")});
    db.Function(dbo, Q("F"), Q("CREATE FUNCTION F() RETURNS int AS BEGIN RETURN 1 END"), 0);
    db.Table(dbo, Q("T")).Trigger(Q("tr"), Q("CREATE TRIGGER tr ON T FOR INSERT AS SELECT 1"));
    GenerationContext ctx;
    ctx.DB1 = db.Get();
    RecordingProgress progress;
    ScriptList scripts;
    EXPECT_EQ(GenerateUpdateObjectScripts(*db, &progress, scripts, ctx), 5);
    EXPECT_EQ(Kinds(scripts),
              (QStringList{"CHANGE View [dbo].[V1]", "CHANGE View [dbo].[V2]", "CHANGE Procedure [dbo].[P]",
                           "CHANGE Function [dbo].[F]", "CHANGE Trigger [dbo].[T].[tr]"}));
    QList<long> indexes;
    for (const ScriptPtr& script : scripts) indexes << script->Index;
    EXPECT_EQ(indexes, (QList<long>{1, 2, 3, 4, 5}));
    EXPECT_EQ(scripts[2]->GetSQLCount(), 2);
    EXPECT_TRUE(scripts[2]->GetSQL(1, false).endsWith(Q("ALTER PROCEDURE [dbo].[P] AS SELECT 1")));
    EXPECT_TRUE(scripts[2]->GetSQL(2, false).endsWith(Q("ALTER PROCEDURE [dbo].[P];2 AS SELECT 2")));
    EXPECT_EQ(S(scripts[4]->GetSQL(1, false)), "\r\nALTER TRIGGER [tr] ON [dbo].[T] FOR INSERT AS SELECT 1");
    EXPECT_FALSE(scripts[4]->Repeatable);
    EXPECT_TRUE(scripts[3]->Repeatable);
    EXPECT_EQ(progress.Calls, (QStringList{"CAPTION Processing...", "\r\nGenerating Scripts..."}));
    EXPECT_EQ(progress.Closed, 1);
}

// A definition that cannot be scanned ends the generation with the scanner's error, which names
// the object, and the recompile still closes its progress window.
TEST(CodeObjectScripts, UnscannableDefinitionReachesTheCaller) {
    TestDb db(Q("S"), Q("Db"));
    db.View(dbo, Q("V"), Q("CREATE VIEW V AS SELECT 'unterminated"));
    GenerationContext ctx;
    RecordingProgress progress;
    ScriptList scripts;
    try {
        GenerateUpdateObjectScripts(*db, &progress, scripts, ctx);
        ADD_FAILURE() << "no error";
    } catch (const TovimarException& e) {
        EXPECT_EQ(e.Number, 500);
        EXPECT_EQ(e.Description, Q("Nesting Error in the definition of [dbo].[V]"));
    }
    EXPECT_EQ(progress.Closed, 1);
}

}  // namespace
