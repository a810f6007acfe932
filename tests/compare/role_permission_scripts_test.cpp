#include "family_test_support.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

const QString dbo = QStringLiteral("dbo");
constexpr quint8 Granted = 1;
constexpr quint8 Denied = 2;

void Columns(Collection<QString>& collection, const QStringList& names) {
    for (const QString& name : names) collection.Add(name);
}

// Roles and catalogs are only created or dropped; names are written as proper literals.
TEST(RoleCatalogScripts, CreateAndDrop) {
    TestDb src(QStringLiteral("S"), QStringLiteral("Src"));
    TestDb dst(QStringLiteral("D"), QStringLiteral("Dst"));
    src.Role(QStringLiteral("R_New"), {QStringLiteral("someone")});  // members are not added
    dst.Role(QStringLiteral("R_Gone"), {QStringLiteral("a"), QStringLiteral("b")});
    dst.Role(QStringLiteral("Sales'Team"), {QStringLiteral("O'Brien")});
    dst.Role(QStringLiteral("R_Empty"));
    // Different members on the two sides: no script.
    src.Role(QStringLiteral("R_Both"), {QStringLiteral("a")});
    dst.Role(QStringLiteral("R_Both"), {QStringLiteral("b")});
    src.Role(QStringLiteral("R_Excluded")).ObjectIncluded = false;
    src.Catalog(QStringLiteral("Cat_New"));
    dst.Catalog(QStringLiteral("Cat_Gone"));
    src.Catalog(QStringLiteral("Cat_Both"));
    dst.Catalog(QStringLiteral("cat_both"));
    LinkPair(src, dst);
    GenerationContext ctx = Context(src, dst);
    ScriptList scripts;
    GenerateScripts(src->Roles, dst->Roles, scripts, ctx);
    GenerateScripts(src->Catalogs, dst->Catalogs, scripts, ctx);
    EXPECT_EQ(Kinds(scripts), (QStringList{"CREATE Role [R_New]", "DELETE Role [R_Gone]", "DELETE Role [Sales'Team]",
                                           "DELETE Role [R_Empty]", "CREATE Catalog Cat_New", "DELETE Catalog Cat_Gone"}));
    ExpectGoldenScripts(QStringLiteral("role_catalog_scripts"), scripts);
}

struct Secured {
    TestDb src{QStringLiteral("S"), QStringLiteral("Src")};
    TestDb dst{QStringLiteral("D"), QStringLiteral("Dst")};
    model_builder::TableBuilder so = src.Table(dbo, QStringLiteral("Orders"));
    model_builder::TableBuilder dor = dst.Table(dbo, QStringLiteral("Orders"));
    Tovimar_View& sv = src.View(dbo, QStringLiteral("V"), QStringLiteral("CREATE VIEW V AS SELECT 1 AS A"));
    Tovimar_View& dv = dst.View(dbo, QStringLiteral("V"), QStringLiteral("CREATE VIEW V AS SELECT 1 AS A"));
    Tovimar_Procedure& sp = src.Procedure(dbo, QStringLiteral("P"), {QStringLiteral("CREATE PROC P AS SELECT 1")});
    Tovimar_Procedure& dp = dst.Procedure(dbo, QStringLiteral("P"), {QStringLiteral("CREATE PROC P AS SELECT 1")});
    Tovimar_Function& df = dst.Function(dbo, QStringLiteral("F"), QStringLiteral("CREATE FUNCTION F() RETURNS int AS BEGIN RETURN 1 END"));
    Tovimar_Function& sf = src.Function(dbo, QStringLiteral("F"), QStringLiteral("CREATE FUNCTION F() RETURNS int AS BEGIN RETURN 1 END"));
    Tovimar_Procedure& dOnly = dst.Procedure(dbo, QStringLiteral("P_DestOnly"), {QStringLiteral("CREATE PROC P_DestOnly AS SELECT 1")});
    ExcludeNames filter{{QStringLiteral("excluded")}};
    Secured() {
        src->Filter = &filter;
        dst->Filter = &filter;
    }
    ScriptList Generate() {
        LinkPair(src, dst);
        GenerationContext ctx = Context(src, dst);
        ScriptList scripts;
        GenerateScripts(src->Permissions, dst->Permissions, scripts, ctx);
        return scripts;
    }
};

// The deny pass, then the grant pass, with their column statements; a changed permission is
// revoked and issued again; a Destination-only one is revoked.
TEST(PermissionScripts, DenyAndGrantPassesWithColumnLists) {
    Secured p;
    Tovimar_Permission& grant = p.src.Permission(*p.so, QStringLiteral("u1"), dbo);
    grant.SelectRight = grant.InsertRight = Granted;
    Tovimar_Permission& denyColumns = p.src.Permission(*p.so, QStringLiteral("u2"));
    Columns(denyColumns.UpdateDeny, {QStringLiteral("a"), QStringLiteral("b")});
    Tovimar_Permission& mixed = p.src.Permission(*p.so, QStringLiteral("u3"), QStringLiteral("boss"));
    mixed.DeleteRight = mixed.InsertRight = Denied;
    mixed.DRIRight = Granted;
    Columns(mixed.SelectGrant, {QStringLiteral("x")});
    Columns(mixed.ReferenceDeny, {QStringLiteral("y"), QStringLiteral("z]")});
    Tovimar_Permission& exec = p.src.Permission(p.sf, QStringLiteral("u4"));
    exec.ExecRight = Granted;
    p.dst.Permission(p.df, QStringLiteral("u4")).ExecRight = Denied;
    p.dst.Permission(p.dv, QStringLiteral("u5")).SelectRight = Granted;
    ScriptList scripts = p.Generate();
    EXPECT_EQ(Kinds(scripts), (QStringList{"CREATE Permission [dbo].[Orders].[u1]", "CREATE Permission [dbo].[Orders].[u2]",
                                           "CREATE Permission [dbo].[Orders].[u3]", "CHANGE Permission [dbo].[F].[u4]",
                                           "DELETE Permission [dbo].[V].[u5]"}));
    ExpectGoldenScripts(QStringLiteral("permission_scripts"), scripts);
}

// Equal rights in another column order or letter case are equal.
TEST(PermissionScripts, ColumnListsCompareAsSets) {
    Secured p;
    Tovimar_Permission& mine = p.src.Permission(*p.so, QStringLiteral("u"));
    Columns(mine.UpdateGrant, {QStringLiteral("a"), QStringLiteral("b")});
    Tovimar_Permission& theirs = p.dst.Permission(*p.dor, QStringLiteral("U"));
    Columns(theirs.UpdateGrant, {QStringLiteral("B"), QStringLiteral("A")});
    EXPECT_EQ(Kinds(p.Generate()), QStringList());
    theirs.SelectDeny.Add(QStringLiteral("c"));
    EXPECT_EQ(Kinds(p.Generate()), (QStringList{"CHANGE Permission [dbo].[Orders].[u]"}));
}

// Permissions follow the object they secure: re-created objects get their permissions back,
// also those of grantees outside the comparison, which otherwise produce nothing.
TEST(PermissionScripts, PermissionsFollowRecreatedObjects) {
    Secured p;
    p.sp.DeleteRecreate = true;  // as the procedure generator marks a regrouped procedure
    p.src.Permission(p.sp, QStringLiteral("excluded")).ExecRight = Granted;
    p.dst.Permission(p.dp, QStringLiteral("excluded")).ExecRight = Denied;
    p.dst.Permission(p.dp, QStringLiteral("excluded2")).ExecRight = Granted;
    p.filter = ExcludeNames({QStringLiteral("excluded"), QStringLiteral("excluded2")});
    Tovimar_Permission& mine = p.src.Permission(p.sp, QStringLiteral("u"));
    mine.ExecRight = Granted;
    p.dst.Permission(p.dp, QStringLiteral("u")).ExecRight = Denied;
    // On unchanged objects an excluded grantee produces nothing.
    p.src.Permission(p.sv, QStringLiteral("excluded")).SelectRight = Granted;
    p.dst.Permission(p.dv, QStringLiteral("excluded2")).SelectRight = Granted;
    // A Destination-only object is dropped with its permissions.
    p.dst.Permission(p.dOnly, QStringLiteral("u")).ExecRight = Granted;
    ScriptList scripts = p.Generate();
    EXPECT_EQ(Kinds(scripts), (QStringList{"RECREATE Permission [dbo].[P].[excluded]", "CHANGE Permission [dbo].[P].[u]",
                                           "RECREATE Permission [dbo].[P].[u]", "RECREATE Permission [dbo].[P].[excluded2]"}));
    // The re-created permissions are the Destination's; the CHANGE then turns them into the Source's.
    EXPECT_TRUE(scripts[0]->GetSQL(0).contains(QStringLiteral("DENY EXECUTE ON [dbo].[P]")));
    EXPECT_TRUE(scripts[2]->GetSQL(0).contains(QStringLiteral("DENY EXECUTE ON [dbo].[P]")));
    EXPECT_TRUE(scripts[1]->GetSQL(0).contains(QStringLiteral("REVOKE ALL ON [dbo].[P]\r\n\tFROM [u]")));
    EXPECT_TRUE(scripts[1]->GetSQL(0).contains(QStringLiteral("GRANT EXECUTE ON [dbo].[P]")));
    EXPECT_TRUE(scripts[3]->GetSQL(0).contains(QStringLiteral("GRANT EXECUTE ON [dbo].[P]\r\n\tTO [excluded2]")));
}

}  // namespace
