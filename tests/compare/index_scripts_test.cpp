#include "family_test_support.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

const QString dbo = QStringLiteral("dbo");

// Every kind of key and index text: constraints with and without fill factor, unique,
// clustered, the option list (PAD_INDEX only with a fill factor) and the file group clause.
TEST(IndexScripts, CreateTextsWithTheirWithAndOnClauses) {
    TestDb src(QStringLiteral("S"), QStringLiteral("Src"));
    TestDb dst(QStringLiteral("D"), QStringLiteral("Dst"));
    auto t = src.Table(dbo, QStringLiteral("T"));
    t.Col(QStringLiteral("ID"), QStringLiteral("int"));
    t.Col(QStringLiteral("A"), QStringLiteral("int"));
    t.Col(QStringLiteral("B"), QStringLiteral("int"));
    t.PrimaryKey(QStringLiteral("PK_T"), {"ID"}).IndexFillFactor = 90;
    Tovimar_Index& uq = t.Index(QStringLiteral("UQ_T_A"), {"A"});
    uq.IsUnique = uq.IsUniqueConstraint = true;
    uq.IsPadIndex = uq.IgnoreDupKey = true;  // not written for constraints
    Tovimar_Index& ix = t.Index(QStringLiteral("IX_T"), {"A", "B"});
    ix.IsUnique = ix.IgnoreDupKey = true;
    Tovimar_Index& cl = t.Index(QStringLiteral("IX_T_Clustered"), {"B"});
    cl.IsClustered = cl.IsPadIndex = cl.Statistics_NoRecompute = true;
    cl.IndexFillFactor = 80;
    cl.FileGroupName = QStringLiteral("SECOND");
    Tovimar_Index& pad = t.Index(QStringLiteral("IX_T_Pad"), {"B"});
    pad.IsPadIndex = true;  // fill factor 0: no PAD_INDEX, no WITH

    auto u = src.Table(dbo, QStringLiteral("U"));  // file groups left out of the comparison
    u->FileGroupsIncluded = false;
    u.Col(QStringLiteral("ID"), QStringLiteral("int"));
    u.PrimaryKey(QStringLiteral("PK_U"), {"ID"});
    LinkPair(src, dst);

    GenerationContext ctx = Context(src, dst);
    ScriptList scripts;
    EXPECT_EQ(GenerateScripts(t->Indexes, EmptyCollection<IndexPtr>(), scripts, ctx), 5);
    EXPECT_EQ(GenerateScripts(u->Indexes, EmptyCollection<IndexPtr>(), scripts, ctx), 1);
    ExpectGoldenScripts(QStringLiteral("index_create_texts"), scripts);
    // Clustered indexes and primary keys may be run again in a later repeat pass.
    QList<bool> repeatable;
    for (const ScriptPtr& script : scripts) repeatable << script->Repeatable;
    EXPECT_EQ(repeatable, (QList<bool>{true, false, false, true, false, true}));
}

struct LinkedPair {
    TestDb src{QStringLiteral("S"), QStringLiteral("Src")};
    TestDb dst{QStringLiteral("D"), QStringLiteral("Dst")};
    model_builder::TableBuilder s = src.Table(dbo, QStringLiteral("T"));
    model_builder::TableBuilder d = dst.Table(dbo, QStringLiteral("T"));
    QList<QPair<Tovimar_Index*, Tovimar_Index*>> renames;  // linked as the rename mapping would
    void Rename(Tovimar_Index& mine, Tovimar_Index& theirs) { renames.append(qMakePair(&mine, &theirs)); }
    LinkedPair() {
        for (auto* table : {&s, &d}) {
            table->Col(QStringLiteral("ID"), QStringLiteral("int"));
            table->Col(QStringLiteral("A"), QStringLiteral("int"));
            table->Col(QStringLiteral("B"), QStringLiteral("int"));
        }
    }
    ScriptList Generate() {
        LinkPair(src, dst);
        for (const auto& [mine, theirs] : renames) Tovimar_Database::SetLink(mine, theirs);
        GenerationContext ctx = Context(src, dst);
        ScriptList scripts;
        GenerateScripts(s->Indexes, d->Indexes, scripts, ctx);
        return scripts;
    }
};

// Renames, changes, drops (including the full-text key index) between linked tables.
TEST(IndexScripts, RenameChangeAndDropBetweenLinkedTables) {
    LinkedPair p;
    // Only renamed: one RENAME script.
    p.Rename(p.s.Index(QStringLiteral("IX_New"), {"A"}), p.d.Index(QStringLiteral("IX_Old"), {"A"}));
    // Renamed and changed: no RENAME, a CHANGE that drops the old name and creates the new one.
    Tovimar_Index& changed = p.s.Index(QStringLiteral("IX_New2"), {"B"});
    changed.IsUnique = true;
    p.Rename(changed, p.d.Index(QStringLiteral("IX_Old2"), {"B"}));
    // Only in the Destination, keying the full-text index: the full-text index goes first.
    p.d.PrimaryKey(QStringLiteral("PK_T"), {"ID"});
    p.d.FullTextIndex(QStringLiteral("Cat"), QStringLiteral("PK_T"));
    // Only in the Destination: a plain drop.
    p.d.Index(QStringLiteral("IX_Gone"), {"B"});
    // Equal on both sides: nothing.
    p.s.Index(QStringLiteral("IX_Same"), {"A", "B"});
    p.d.Index(QStringLiteral("IX_Same"), {"a", "b"});
    ScriptList scripts = p.Generate();
    EXPECT_EQ(Kinds(scripts), (QStringList{"RENAME Index [dbo].[T].[IX_New]", "CHANGE Index [dbo].[T].[IX_New2]",
                                           "DELETE Index [dbo].[T].[PK_T]", "DELETE Index [dbo].[T].[IX_Gone]"}));
    ExpectGoldenScripts(QStringLiteral("index_rename_change_drop"), scripts);
    // Dropping the full-text key marks the full-text index for re-creation on both tables.
    EXPECT_TRUE(p.d->FTI_DeleteRecreate);
}

// Key columns compare both ways: extra trailing columns on either side are a difference; case is not.
TEST(IndexScripts, KeyColumnListsCompareBothWays) {
    LinkedPair p;
    p.s.Index(QStringLiteral("IX_Short"), {"A"});
    p.d.Index(QStringLiteral("IX_Short"), {"A", "B"});
    p.s.Index(QStringLiteral("IX_Long"), {"A", "B"});
    p.d.Index(QStringLiteral("IX_Long"), {"A"});
    p.s.Index(QStringLiteral("IX_Order"), {"B", "A"});
    p.d.Index(QStringLiteral("IX_Order"), {"A", "B"});
    p.s.Index(QStringLiteral("IX_Case"), {"a", "b"});  // names compare without regard to case
    p.d.Index(QStringLiteral("IX_Case"), {"A", "B"});
    EXPECT_EQ(Kinds(p.Generate()), (QStringList{"CHANGE Index [dbo].[T].[IX_Short]", "CHANGE Index [dbo].[T].[IX_Long]",
                                                "CHANGE Index [dbo].[T].[IX_Order]"}));
}

// File groups count only while they take part in the comparison; fill factors only while both
// are known (a snapshot written before they were stored does not know them).
TEST(IndexScripts, FileGroupAndFillFactorDifferencesCountOnlyWhenIncludedAndKnown) {
    for (bool included : {true, false}) {
        LinkedPair p;
        p.s->FileGroupsIncluded = included;
        p.s.Index(QStringLiteral("IX"), {"A"}).FileGroupName = QStringLiteral("SECOND");
        p.d.Index(QStringLiteral("IX"), {"A"}).FileGroupName = QStringLiteral("primary");
        EXPECT_EQ(p.Generate().size(), included ? 1u : 0u) << included;
    }
    for (bool known : {true, false}) {
        LinkedPair p;
        p.s.PrimaryKey(QStringLiteral("PK_T"), {"ID"}).IndexFillFactor = 90;
        p.d.PrimaryKey(QStringLiteral("PK_T"), {"ID"}).FillFactorKnown = known;
        EXPECT_EQ(p.Generate().size(), known ? 1u : 0u) << known;
    }
}

// In a rebuilt table the old indexes are gone with the old table: linked indexes are only
// created, as RECREATE when unchanged and CHANGE when changed; renames are not scripted.
TEST(IndexScripts, RebuiltTableCreatesIndexesWithoutDropStep) {
    LinkedPair p;
    p.s->DeleteRecreate = true;
    p.s.PrimaryKey(QStringLiteral("PK_T"), {"ID"});
    p.d.PrimaryKey(QStringLiteral("PK_T"), {"ID"});
    p.s.Index(QStringLiteral("IX_A"), {"A"}).IndexFillFactor = 70;
    p.d.Index(QStringLiteral("IX_A"), {"A"});
    p.Rename(p.s.Index(QStringLiteral("IX_New"), {"B"}), p.d.Index(QStringLiteral("IX_Old"), {"B"}));
    LinkPair(p.src, p.dst);
    for (const auto& [mine, theirs] : p.renames) Tovimar_Database::SetLink(mine, theirs);
    GenerationContext ctx = Context(p.src, p.dst);
    ScriptList scripts;
    GenerateScripts(p.s->Indexes, EmptyCollection<IndexPtr>(), scripts, ctx);
    EXPECT_EQ(Kinds(scripts), (QStringList{"RECREATE Index [dbo].[T].[PK_T]", "CHANGE Index [dbo].[T].[IX_A]",
                                           "RECREATE Index [dbo].[T].[IX_New]"}));
    for (const ScriptPtr& script : scripts) EXPECT_EQ(script->GetSQLCount(), 1);
    ExpectGoldenScripts(QStringLiteral("index_rebuilt_table"), scripts);
}

}  // namespace
