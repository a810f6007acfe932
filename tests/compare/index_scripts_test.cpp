#include "family_test_support.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

// Every kind of key and index text: constraints with and without fill factor, unique,
// clustered, the option list (PAD_INDEX only with a fill factor) and the file group clause.
TEST(IndexScripts, CreateTextsWithTheirWithAndOnClauses) {
    Pair p;
    auto t = p.src.Table(dbo, Q("T"));
    t.Col(Q("ID"), Q("int"));
    t.Col(Q("A"), Q("int"));
    t.Col(Q("B"), Q("int"));
    t.PrimaryKey(Q("PK_T"), {"ID"}).IndexFillFactor = 90;
    Tovimar_Index& uq = t.Index(Q("UQ_T_A"), {"A"});
    uq.IsUnique = uq.IsUniqueConstraint = true;
    uq.IsPadIndex = uq.IgnoreDupKey = true;  // not written for constraints
    Tovimar_Index& ix = t.Index(Q("IX_T"), {"A", "B"});
    ix.IsUnique = ix.IgnoreDupKey = true;
    Tovimar_Index& cl = t.Index(Q("IX_T_Clustered"), {"B"});
    cl.IsClustered = cl.IsPadIndex = cl.Statistics_NoRecompute = true;
    cl.IndexFillFactor = 80;
    cl.FileGroupName = Q("SECOND");
    Tovimar_Index& pad = t.Index(Q("IX_T_Pad"), {"B"});
    pad.IsPadIndex = true;  // fill factor 0: no PAD_INDEX, no WITH

    auto u = p.src.Table(dbo, Q("U"));  // file groups left out of the comparison
    u->FileGroupsIncluded = false;
    u.Col(Q("ID"), Q("int"));
    u.PrimaryKey(Q("PK_U"), {"ID"});
    p.Link();

    ScriptList scripts;
    EXPECT_EQ(GenerateScripts(t->Indexes, EmptyCollection<IndexPtr>(), scripts, p.ctx), 5);
    EXPECT_EQ(GenerateScripts(u->Indexes, EmptyCollection<IndexPtr>(), scripts, p.ctx), 1);
    ExpectGoldenScripts(Q("index_create_texts"), scripts);
    // Clustered indexes and primary keys may be run again in a later repeat pass.
    QList<bool> repeatable;
    for (const ScriptPtr& script : scripts) repeatable << script->Repeatable;
    EXPECT_EQ(repeatable, (QList<bool>{true, false, false, true, false, true}));
}

struct LinkedPair : TablePair {
    QList<QPair<Tovimar_Index*, Tovimar_Index*>> renames;  // linked as the rename mapping would
    void Rename(Tovimar_Index& mine, Tovimar_Index& theirs) { renames.append(qMakePair(&mine, &theirs)); }
    LinkedPair() {
        for (auto* table : {&s, &d}) {
            table->Col(Q("ID"), Q("int"));
            table->Col(Q("A"), Q("int"));
            table->Col(Q("B"), Q("int"));
        }
    }
    // The indexes of T; those of a rebuilt table are gone with the old table: no Destination list.
    ScriptList Generate(bool rebuilt = false) {
        LinkPair(src, dst);
        for (const auto& [mine, theirs] : renames) Tovimar_Database::SetLink(mine, theirs);
        return Scripts(s->Indexes, rebuilt ? EmptyCollection<IndexPtr>() : d->Indexes);
    }
};

// Renames, changes, drops (including the full-text key index) between linked tables.
TEST(IndexScripts, RenameChangeAndDropBetweenLinkedTables) {
    LinkedPair p;
    // Only renamed: one RENAME script.
    p.Rename(p.s.Index(Q("IX_New"), {"A"}), p.d.Index(Q("IX_Old"), {"A"}));
    // Renamed and changed: no RENAME, a CHANGE that drops the old name and creates the new one.
    Tovimar_Index& changed = p.s.Index(Q("IX_New2"), {"B"});
    changed.IsUnique = true;
    p.Rename(changed, p.d.Index(Q("IX_Old2"), {"B"}));
    // Only in the Destination, keying the full-text index: the full-text index goes first.
    p.d.PrimaryKey(Q("PK_T"), {"ID"});
    p.d.FullTextIndex(Q("Cat"), Q("PK_T"));
    // Only in the Destination: a plain drop.
    p.d.Index(Q("IX_Gone"), {"B"});
    // Equal on both sides: nothing.
    p.s.Index(Q("IX_Same"), {"A", "B"});
    p.d.Index(Q("IX_Same"), {"a", "b"});
    ScriptList scripts = p.Generate();
    ExpectGoldenScripts(Q("index_rename_change_drop"), scripts);
    // Dropping the full-text key marks the full-text index for re-creation on both tables.
    EXPECT_TRUE(p.d->FTI_DeleteRecreate);
}

// Key columns compare both ways: extra trailing columns on either side are a difference; case is not.
TEST(IndexScripts, KeyColumnListsCompareBothWays) {
    LinkedPair p;
    p.s.Index(Q("IX_Short"), {"A"});
    p.d.Index(Q("IX_Short"), {"A", "B"});
    p.s.Index(Q("IX_Long"), {"A", "B"});
    p.d.Index(Q("IX_Long"), {"A"});
    p.s.Index(Q("IX_Order"), {"B", "A"});
    p.d.Index(Q("IX_Order"), {"A", "B"});
    p.s.Index(Q("IX_Case"), {"a", "b"});  // names compare without regard to case
    p.d.Index(Q("IX_Case"), {"A", "B"});
    EXPECT_EQ(Kinds(p.Generate()), (QStringList{"CHANGE Index [dbo].[T].[IX_Short]", "CHANGE Index [dbo].[T].[IX_Long]",
                                                "CHANGE Index [dbo].[T].[IX_Order]"}));
}

// File groups count only while they take part in the comparison; fill factors only while both
// are known (a snapshot written before they were stored does not know them).
TEST(IndexScripts, FileGroupAndFillFactorDifferencesCountOnlyWhenIncludedAndKnown) {
    for (bool included : {true, false}) {
        LinkedPair p;
        p.s->FileGroupsIncluded = included;
        p.s.Index(Q("IX"), {"A"}).FileGroupName = Q("SECOND");
        p.d.Index(Q("IX"), {"A"}).FileGroupName = Q("primary");
        EXPECT_EQ(p.Generate().size(), included ? 1u : 0u) << included;
    }
    for (bool known : {true, false}) {
        LinkedPair p;
        p.s.PrimaryKey(Q("PK_T"), {"ID"}).IndexFillFactor = 90;
        p.d.PrimaryKey(Q("PK_T"), {"ID"}).FillFactorKnown = known;
        EXPECT_EQ(p.Generate().size(), known ? 1u : 0u) << known;
    }
}

// In a rebuilt table the old indexes are gone with the old table: linked indexes are only
// created, as RECREATE when unchanged and CHANGE when changed; renames are not scripted.
TEST(IndexScripts, RebuiltTableCreatesIndexesWithoutDropStep) {
    LinkedPair p;
    p.s->DeleteRecreate = true;
    p.s.PrimaryKey(Q("PK_T"), {"ID"});
    p.d.PrimaryKey(Q("PK_T"), {"ID"});
    p.s.Index(Q("IX_A"), {"A"}).IndexFillFactor = 70;
    p.d.Index(Q("IX_A"), {"A"});
    p.Rename(p.s.Index(Q("IX_New"), {"B"}), p.d.Index(Q("IX_Old"), {"B"}));
    const ScriptList scripts = p.Generate(true);
    ExpectGoldenScripts(Q("index_rebuilt_table"), scripts);
}

}  // namespace
