#include "family_test_support.h"

#include <gtest/gtest.h>

using namespace family_test;

namespace {

constexpr quint8 Granted = 1;
constexpr quint8 Denied = 2;

// Roles and catalogs are only created or dropped; names are written as proper literals.
TEST(RoleCatalogScripts, CreateAndDrop) {
    Pair p;
    p.src.Role(Q("R_New"), {Q("someone")});  // members are not added
    p.dst.Role(Q("R_Gone"), {Q("a"), Q("b")});
    p.dst.Role(Q("Sales'Team"), {Q("O'Brien")});
    p.dst.Role(Q("R_Empty"));
    // Different members on the two sides: no script.
    p.src.Role(Q("R_Both"), {Q("a")});
    p.dst.Role(Q("R_Both"), {Q("b")});
    p.src.Role(Q("R_Excluded")).ObjectIncluded = false;
    p.src.Catalog(Q("Cat_New"));
    p.dst.Catalog(Q("Cat_Gone"));
    p.src.Catalog(Q("Cat_Both"));
    p.dst.Catalog(Q("cat_both"));
    p.Link();
    ScriptList scripts;
    GenerateScripts(p.src->Roles, p.dst->Roles, scripts, p.ctx);
    GenerateScripts(p.src->Catalogs, p.dst->Catalogs, scripts, p.ctx);
    ExpectGoldenScripts(Q("role_catalog_scripts"), scripts);
}

struct Secured : Pair {
    model_builder::TableBuilder so = src.Table(dbo, Q("Orders"));
    model_builder::TableBuilder dor = dst.Table(dbo, Q("Orders"));
    Tovimar_View& sv = src.View(dbo, Q("V"), Q("CREATE VIEW V AS SELECT 1 AS A"));
    Tovimar_View& dv = dst.View(dbo, Q("V"), Q("CREATE VIEW V AS SELECT 1 AS A"));
    Tovimar_Procedure& sp = src.Procedure(dbo, Q("P"), {Q("CREATE PROC P AS SELECT 1")});
    Tovimar_Procedure& dp = dst.Procedure(dbo, Q("P"), {Q("CREATE PROC P AS SELECT 1")});
    Tovimar_Function& df = dst.Function(dbo, Q("F"), Q("CREATE FUNCTION F() RETURNS int AS BEGIN RETURN 1 END"));
    Tovimar_Function& sf = src.Function(dbo, Q("F"), Q("CREATE FUNCTION F() RETURNS int AS BEGIN RETURN 1 END"));
    Tovimar_Procedure& dOnly = dst.Procedure(dbo, Q("P_DestOnly"), {Q("CREATE PROC P_DestOnly AS SELECT 1")});
    ExcludeNames filter{{Q("excluded")}};
    Secured() {
        src->Filter = &filter;
        dst->Filter = &filter;
    }
    ScriptList Generate() {
        LinkPair(src, dst);
        ctx = NewContext();
        return Scripts(src->Permissions, dst->Permissions);
    }
};

// The deny pass, then the grant pass, with their column statements; a changed permission is
// revoked and issued again; a Destination-only one is revoked.
TEST(PermissionScripts, DenyAndGrantPassesWithColumnLists) {
    Secured p;
    Tovimar_Permission& grant = p.src.Permission(*p.so, Q("u1"), dbo);
    grant.SelectRight = grant.InsertRight = Granted;
    Tovimar_Permission& denyColumns = p.src.Permission(*p.so, Q("u2"));
    model_builder::AddNames(denyColumns.UpdateDeny, {"a", "b"});
    Tovimar_Permission& mixed = p.src.Permission(*p.so, Q("u3"), Q("boss"));
    mixed.DeleteRight = mixed.InsertRight = Denied;
    mixed.DRIRight = Granted;
    model_builder::AddNames(mixed.SelectGrant, {"x"});
    model_builder::AddNames(mixed.ReferenceDeny, {"y", "z]"});
    Tovimar_Permission& exec = p.src.Permission(p.sf, Q("u4"));
    exec.ExecRight = Granted;
    p.dst.Permission(p.df, Q("u4")).ExecRight = Denied;
    p.dst.Permission(p.dv, Q("u5")).SelectRight = Granted;
    ScriptList scripts = p.Generate();
    ExpectGoldenScripts(Q("permission_scripts"), scripts);
}

// Equal rights in another column order or letter case are equal.
TEST(PermissionScripts, ColumnListsCompareAsSets) {
    Secured p;
    Tovimar_Permission& mine = p.src.Permission(*p.so, Q("u"));
    model_builder::AddNames(mine.UpdateGrant, {"a", "b"});
    Tovimar_Permission& theirs = p.dst.Permission(*p.dor, Q("U"));
    model_builder::AddNames(theirs.UpdateGrant, {"B", "A"});
    EXPECT_EQ(Kinds(p.Generate()), QStringList());
    theirs.SelectDeny.Add(Q("c"));
    EXPECT_EQ(Kinds(p.Generate()), (QStringList{"CHANGE Permission [dbo].[Orders].[u]"}));
}

// Permissions follow the object they secure: re-created objects get their permissions back,
// also those of grantees outside the comparison, which otherwise produce nothing.
TEST(PermissionScripts, PermissionsFollowRecreatedObjects) {
    Secured p;
    p.sp.DeleteRecreate = true;  // as the procedure generator marks a regrouped procedure
    p.src.Permission(p.sp, Q("excluded")).ExecRight = Granted;
    p.dst.Permission(p.dp, Q("excluded")).ExecRight = Denied;
    p.dst.Permission(p.dp, Q("excluded2")).ExecRight = Granted;
    p.filter = ExcludeNames({Q("excluded"), Q("excluded2")});
    Tovimar_Permission& mine = p.src.Permission(p.sp, Q("u"));
    mine.ExecRight = Granted;
    p.dst.Permission(p.dp, Q("u")).ExecRight = Denied;
    // On unchanged objects an excluded grantee produces nothing.
    p.src.Permission(p.sv, Q("excluded")).SelectRight = Granted;
    p.dst.Permission(p.dv, Q("excluded2")).SelectRight = Granted;
    // A Destination-only object is dropped with its permissions.
    p.dst.Permission(p.dOnly, Q("u")).ExecRight = Granted;
    ScriptList scripts = p.Generate();
    EXPECT_EQ(Kinds(scripts),
              (QStringList{"RECREATE Permission [dbo].[P].[excluded]", "CHANGE Permission [dbo].[P].[u]",
                           "RECREATE Permission [dbo].[P].[u]", "RECREATE Permission [dbo].[P].[excluded2]"}));
    // The re-created permissions are the Destination's; the CHANGE then turns them into the Source's.
    EXPECT_TRUE(scripts[0]->GetSQL(0).contains(Q("DENY EXECUTE ON [dbo].[P]")));
    EXPECT_TRUE(scripts[2]->GetSQL(0).contains(Q("DENY EXECUTE ON [dbo].[P]")));
    EXPECT_TRUE(scripts[1]->GetSQL(0).contains(Q("REVOKE ALL ON [dbo].[P]\r\n\tFROM [u]")));
    EXPECT_TRUE(scripts[1]->GetSQL(0).contains(Q("GRANT EXECUTE ON [dbo].[P]")));
    EXPECT_TRUE(scripts[3]->GetSQL(0).contains(Q("GRANT EXECUTE ON [dbo].[P]\r\n\tTO [excluded2]")));
}

}  // namespace
