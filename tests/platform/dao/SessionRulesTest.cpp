// The login's standing inside one open database: a change of ownership, rights or memberships made in
// the same session is obeyed by the very next read or write. And the rules on writing security, held
// Inherit values and the last administrator, each seen from a second side.
#include "support/EngineTest.h"

using namespace kltest;
using dao::Variant;

namespace {

constexpr std::int32_t kReadSec = 0x20000, kWriteSec = 0x40000;

class SessionRules : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        mdb = makeDatabase("shop.mdb");
        addUser(admin, "carl", "pid-carl", "c");
    }
    // Documents in Modules closed to Users and Admins, owned by admin.
    void closedModules(std::initializer_list<const char*> names) {
        auto db = open(admin, mdb);
        for (const char* n : names) {
            db->CreateDocument("Modules", n);
            grant(db, "Modules", n, "Users", 0);
            grant(db, "Modules", n, "Admins", 0);
        }
    }
    std::string mdb;
};

} // namespace

TEST_F(SessionRules, ReadabilityFollowsChangesMadeInTheSameSession) {
    addUser(admin, "alice", "pid-alice", "a");
    join(admin, "alice", "Admins");
    closedModules({"Secret", "Plan"});
    {
        auto db = open(admin, mdb);
        grant(db, "Modules", "Plan", "alice", kReadSec | kWriteSec);
    }
    auto asAlice = login("alice", "a");
    auto db = open(asAlice, mdb);
    auto secret = object(db, "Modules", "Secret");
    secret->SetUserName("carl");
    EXPECT_EQ(secret->Permissions(), 0); // as an administrator of the database
    // Leaving Admins (admin stays) ends that at once, with UserName already set.
    asAlice->Groups()->Item("Admins")->Users()->Delete("alice");
    EXPECT_EQ(daoErrorOf([&] { secret->Permissions(); }), dao::errNoPermission);
    EXPECT_EQ(daoErrorOf([&] { secret->AllPermissions(); }), dao::errNoPermission);
    EXPECT_EQ(daoErrorOf([&] { secret->SetPermissions(1); }), dao::errNoPermission);

    // ReadSec taken from herself: the cached answer for Plan must not outlive it.
    auto plan = object(db, "Modules", "Plan");
    plan->SetUserName("carl");
    EXPECT_EQ(plan->Permissions(), 0);
    plan->SetUserName("alice");
    plan->SetPermissions(kWriteSec);
    plan->SetUserName("carl");
    EXPECT_EQ(daoErrorOf([&] { plan->Permissions(); }), dao::errNoPermission);

    // Ownership given away, of a document she made and closed to everyone.
    auto mine = db->CreateDocument("Modules", "Mine");
    for (const char* group : {"Users", "Admins"}) {
        mine->SetUserName(group);
        mine->SetPermissions(0);
    }
    mine->SetUserName("carl");
    EXPECT_EQ(mine->Permissions(), 0);
    mine->SetOwner("carl");
    EXPECT_EQ(daoErrorOf([&] { mine->Permissions(); }), dao::errNoPermission);
    EXPECT_EQ(daoErrorOf([&] { mine->SetOwner("alice"); }), dao::errNoPermission);
}

TEST_F(SessionRules, ALostGroupMembershipEndsTheGroupsRightsInTheSameSession) {
    // The database belongs to the first workgroup; in a second one, boss administers the accounts
    // without being an administrator of the database. Auditors has the same SID in both.
    addGroup(admin, "Auditors", "pid-auditors");
    closedModules({"Ledger"});
    {
        auto db = open(admin, mdb);
        grant(db, "Modules", "Ledger", "Auditors", kReadSec);
        grant(db, "Modules", "Ledger", "carl", 0x100);
    }
    const std::string other = dir.file("other.mdw");
    dao::CreateWorkgroupFile(other, "Elsewhere", "Other Org", "wid-9999");
    auto e = engine();
    e->SetSystemDB(other);
    auto otherAdmin = e->CreateWorkspace("ws", "admin", "", Variant());
    addUser(otherAdmin, "boss", "pid-boss", "x");
    addUser(otherAdmin, "carl", "pid-carl", "c");
    addGroup(otherAdmin, "Auditors", "pid-auditors");
    join(otherAdmin, "boss", "Admins");
    join(otherAdmin, "boss", "Auditors");
    auto asBoss = e->CreateWorkspace("ws", "boss", "x", Variant());
    auto db = open(asBoss, mdb);
    auto ledger = object(db, "Modules", "Ledger");
    ledger->SetUserName("carl");
    EXPECT_EQ(ledger->Permissions(), 0x100);
    ledger->SetUserName("boss");
    EXPECT_EQ(ledger->AllPermissions(), kReadSec);
    asBoss->Groups()->Item("Auditors")->Users()->Delete("boss");
    EXPECT_EQ(ledger->AllPermissions(), 0);
    ledger->SetUserName("carl");
    EXPECT_EQ(daoErrorOf([&] { ledger->Permissions(); }), dao::errNoPermission);
    // Joining again restores it, still in the same session.
    join(asBoss, "boss", "Auditors");
    EXPECT_EQ(ledger->Permissions(), 0x100);
}

TEST_F(SessionRules, WriteSecThroughAGroupAllowsWritingOnlyThatObject) {
    addGroup(admin, "Editors", "pid-editors");
    addUser(admin, "dana", "pid-dana", "d");
    join(admin, "dana", "Editors");
    closedModules({"Draft", "Final"});
    {
        auto db = open(admin, mdb);
        grant(db, "Modules", "Draft", "Editors", kWriteSec);
        grant(db, "Modules", "Final", "Editors", kReadSec);
    }
    auto db = open(login("dana", "d"), mdb);
    // WriteSec without ReadSec: writing another account's value works, reading it back does not.
    grant(db, "Modules", "Draft", "carl", 0x2);
    EXPECT_EQ(daoErrorOf([&] { explicitOf(db, "Modules", "Draft", "carl"); }), dao::errNoPermission);
    EXPECT_EQ(explicitOf(open(admin, mdb), "Modules", "Draft", "carl"), 0x2);
    // ReadSec alone on the sibling: no writing.
    EXPECT_EQ(daoErrorOf([&] { grant(db, "Modules", "Final", "carl", 0x2); }), dao::errNoPermission);
    EXPECT_EQ(explicitOf(open(admin, mdb), "Modules", "Final", "carl"), 0);
}

TEST_F(SessionRules, HeldInheritIsStoredOnlyWithItsOwnAccountsPermissions) {
    auto db = open(admin, mdb);
    auto reports = db->Containers()->Item("Reports");
    reports->SetUserName("carl");
    reports->SetInherit(true);
    // Permissions written for another account do not carry carl's held value.
    reports->SetUserName("Users");
    reports->SetPermissions(0x4);
    db->CreateDocument("Reports", "Before");
    EXPECT_EQ(explicitOf(db, "Reports", "Before", "carl"), 0);
    EXPECT_EQ(explicitOf(db, "Reports", "Before", "Users"), 0x4); // Users was inheritable already
    // Written for carl, the value is stored with the held Inherit, and new documents receive it.
    reports->SetUserName("carl");
    EXPECT_TRUE(reports->Inherit());
    reports->SetPermissions(0x8);
    db->CreateDocument("Reports", "After");
    EXPECT_EQ(explicitOf(db, "Reports", "After", "carl"), 0x8);
    // Once stored, the next write without SetInherit keeps the stored value.
    reports->SetPermissions(0x10);
    auto again = open(admin, mdb)->Containers()->Item("Reports");
    again->SetUserName("carl");
    EXPECT_TRUE(again->Inherit());
    EXPECT_EQ(again->Permissions(), 0x10);
}

TEST_F(SessionRules, TheLastAdministratorStaysWhicheverWayTheRemovalIsAsked) {
    addUser(admin, "dave", "pid-dave");
    join(admin, "dave", "Admins");
    admin->Users()->Delete("dave"); // one of two: allowed, and the membership goes with the account
    auto members = admin->Groups()->Item("Admins")->Users();
    ASSERT_EQ(members->Count(), 1);
    EXPECT_EQ(daoErrorOf([&] { admin->Users()->Item("admin")->Groups()->Delete("Admins"); }),
              dao::errLastAdmin);
    EXPECT_EQ(daoErrorOf([&] { members->Delete("ADMIN"); }), dao::errLastAdmin);
    // Nothing changed: admin is still a member and may still change accounts.
    auto fresh = login();
    EXPECT_EQ(fresh->Groups()->Item("Admins")->Users()->Item(Variant(std::int16_t(0)))->Name(), "admin");
    addUser(fresh, "erin", "pid-erin");
    EXPECT_EQ(fresh->Users()->Item("erin")->Name(), "erin");
}
