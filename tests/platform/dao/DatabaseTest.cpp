// Database files: the default catalogue, permissions through groups, the rules on reading and writing
// security, owners, the Inherit setting and the opening checks.
#include "support/EngineTest.h"

using namespace kltest;
using dao::Variant;
using Strings = std::vector<std::string>;

namespace {

constexpr std::int32_t kFull = 0xFFFFF, kReadSec = 0x20000, kWriteSec = 0x40000, kWriteOwner = 0x80000;
constexpr std::int32_t kDBOpen = 2, kDBExclusive = 4, kDBAdmin = 8;

Strings containerNames(const dao::DatabasePtr& db) {
    Strings out;
    auto cs = db->Containers();
    for (int i = 0; i < cs->Count(); ++i)
        out.push_back(cs->Item(Variant(std::int32_t(i)))->Name());
    return out;
}

Strings documentNames(const dao::DatabasePtr& db, const std::string& container) {
    Strings out;
    auto ds = db->Containers()->Item(container)->Documents();
    for (int i = 0; i < ds->Count(); ++i)
        out.push_back(ds->Item(Variant(std::int32_t(i)))->Name());
    return out;
}

class Databases : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        mdb = makeDatabase("shop.mdb");
    }
    std::string mdb;
};

} // namespace

TEST_F(Databases, NewDatabaseHoldsJetsContainersAndDocumentsInNameOrder) {
    auto db = open(admin, mdb);
    EXPECT_EQ(db->Version(), "4.0");
    EXPECT_EQ(containerNames(db), (Strings{"DataAccessPages", "Databases", "Forms", "Modules",
                                           "Relationships", "Reports", "Scripts", "SysRel", "Tables"}));
    EXPECT_EQ(documentNames(db, "Databases"), (Strings{"MSysDb", "SummaryInfo", "UserDefined"}));
    EXPECT_EQ(documentNames(db, "Tables"), (Strings{"MSysACEs", "MSysDatabase", "MSysObjects"}));
    db->CreateDocument("Tables", "orders");
    db->CreateDocument("Tables", "Customers");
    EXPECT_EQ(documentNames(db, "Tables"),
              (Strings{"Customers", "MSysACEs", "MSysDatabase", "MSysObjects", "orders"}));
    EXPECT_EQ(db->Containers()->Item("tables")->Documents()->Item("ORDERS")->Container(), "Tables");

    const std::string old = dir.file("legacy.mdb");
    admin->CreateDatabase(old, "3.0");
    auto db3 = open(admin, old);
    EXPECT_EQ(db3->Version(), "3.0");
    EXPECT_EQ(containerNames(db3).front(), "Databases");
}

TEST_F(Databases, DefaultPermissionsAndOwners) {
    auto db = open(admin, mdb);
    for (const char* group : {"Admins", "Users"}) {
        EXPECT_EQ(explicitOf(db, "Forms", "", group), kFull) << group;
        EXPECT_EQ(explicitOf(db, "Databases", "SummaryInfo", group), kFull) << group;
        EXPECT_EQ(explicitOf(db, "Databases", "MSysDb", group), kDBOpen | kDBExclusive | kDBAdmin) << group;
        EXPECT_EQ(explicitOf(db, "Tables", "MSysObjects", group), 0x14) << group;
        EXPECT_EQ(explicitOf(db, "Tables", "MSysACEs", group), 0x4) << group;
        auto forms = db->Containers()->Item("Forms");
        forms->SetUserName(group);
        EXPECT_TRUE(forms->Inherit()) << group;
    }
    EXPECT_EQ(explicitOf(db, "Forms", "", "admin"), 0);
    EXPECT_EQ(effectiveOf(db, "Forms", "", "admin"), kFull);
    EXPECT_EQ(object(db, "Forms")->Owner(), "admin");
    EXPECT_EQ(object(db, "Databases", "MSysDb")->Owner(), "admin");
    EXPECT_EQ(object(db, "Tables", "MSysACEs")->Owner(), "Engine");
    EXPECT_EQ(object(db, "Forms")->UserName(), "admin");
}

TEST_F(Databases, AllPermissionsIncludeEveryGroupOfTheUser) {
    addGroup(admin, "Sales", "pid-sales");
    addGroup(admin, "Managers", "pid-managers");
    addUser(admin, "alice", "pid-alice");
    join(admin, "alice", "Sales");
    join(admin, "alice", "Managers");
    auto db = open(admin, mdb);
    db->CreateDocument("Forms", "Invoice");
    grant(db, "Forms", "Invoice", "Users", 0);
    grant(db, "Forms", "Invoice", "Admins", 0);
    grant(db, "Forms", "Invoice", "Sales", 0x4);
    grant(db, "Forms", "Invoice", "Managers", 0x100);
    grant(db, "Forms", "Invoice", "alice", 0x20000);
    EXPECT_EQ(explicitOf(db, "Forms", "Invoice", "alice"), 0x20000);
    EXPECT_EQ(effectiveOf(db, "Forms", "Invoice", "alice"), 0x20104);
    EXPECT_EQ(effectiveOf(db, "Forms", "Invoice", "Sales"), 0x4); // a group: its own value only
    EXPECT_EQ(effectiveOf(db, "Forms", "Invoice", "admin"), 0);
    // Values survive reopening.
    auto again = open(admin, mdb);
    EXPECT_EQ(effectiveOf(again, "Forms", "Invoice", "ALICE"), 0x20104);
}

TEST_F(Databases, UserNameMustNameAnAccount) {
    auto db = open(admin, mdb);
    auto forms = object(db, "Forms");
    EXPECT_EQ(daoErrorOf([&] { forms->SetUserName("ghost"); }), dao::errNotValidAccount);
    EXPECT_EQ(daoErrorOf([&] { forms->SetUserName(""); }), dao::errNotValidAccount);
    forms->SetUserName("USERS");
    EXPECT_EQ(forms->UserName(), "Users");
}

TEST_F(Databases, ReadingAndWritingOtherAccountsNeedsReadSecWriteSecOwnershipOrAdmins) {
    addUser(admin, "bob", "pid-bob", "b");
    addUser(admin, "carl", "pid-carl", "c");
    {
        auto db = open(admin, mdb);
        db->CreateDocument("Reports", "Sales");
        db->CreateDocument("Reports", "Stock");
        for (const char* doc : {"Sales", "Stock"}) {
            grant(db, "Reports", doc, "Users", 0x4);
            grant(db, "Reports", doc, "Admins", 0x4);
        }
        grant(db, "Reports", "Sales", "carl", 0x100);
        object(db, "Reports", "Stock")->SetOwner("bob");
    }
    auto asBob = login("bob", "b");
    auto db = open(asBob, mdb);
    EXPECT_EQ(explicitOf(db, "Reports", "Sales", "bob"), 0); // own permissions: always readable
    EXPECT_EQ(daoErrorOf([&] { explicitOf(db, "Reports", "Sales", "carl"); }), dao::errNoPermission);
    EXPECT_EQ(daoErrorOf([&] { effectiveOf(db, "Reports", "Sales", "Users"); }), dao::errNoPermission);
    EXPECT_EQ(daoErrorOf([&] { grant(db, "Reports", "Sales", "bob", kFull); }), dao::errNoPermission);
    EXPECT_EQ(daoErrorOf([&] { object(db, "Reports", "Sales")->SetOwner("bob"); }), dao::errNoPermission);
    // The owner may do all of it.
    EXPECT_EQ(explicitOf(db, "Reports", "Stock", "Users"), 0x4);
    grant(db, "Reports", "Stock", "carl", 0x104);
    object(db, "Reports", "Stock")->SetOwner("carl");
    EXPECT_EQ(object(db, "Reports", "Stock")->Owner(), "carl");
    // ReadSec lets bob read, but not write; WriteSec and WriteOwner let him write.
    {
        auto adm = open(admin, mdb);
        grant(adm, "Reports", "Sales", "bob", kReadSec);
    }
    db = open(asBob, mdb);
    EXPECT_EQ(explicitOf(db, "Reports", "Sales", "carl"), 0x100);
    EXPECT_EQ(daoErrorOf([&] { grant(db, "Reports", "Sales", "carl", 0); }), dao::errNoPermission);
    {
        auto adm = open(admin, mdb);
        grant(adm, "Reports", "Sales", "bob", kReadSec | kWriteSec | kWriteOwner);
    }
    db = open(asBob, mdb);
    grant(db, "Reports", "Sales", "carl", 0);
    EXPECT_EQ(explicitOf(db, "Reports", "Sales", "carl"), 0);
    object(db, "Reports", "Sales")->SetOwner("Users");
    EXPECT_EQ(object(db, "Reports", "Sales")->Owner(), "Users");
    EXPECT_EQ(daoErrorOf([&] { object(db, "Reports", "Sales")->SetOwner("nobody"); }),
              dao::errNotValidAccount);
}

TEST_F(Databases, AdminsOfAnotherWorkgroupHaveNoSpecialStanding) {
    addUser(admin, "boss", "pid-boss", "x");
    join(admin, "boss", "Admins");
    {
        auto db = open(admin, mdb);
        db->CreateDocument("Modules", "Secret");
        grant(db, "Modules", "Secret", "Users", 0);
        grant(db, "Modules", "Secret", "Admins", 0);
    }
    // An Admins member of the creating workgroup may read and write anyone's permissions.
    auto asBoss = login("boss", "x");
    EXPECT_EQ(explicitOf(open(asBoss, mdb), "Modules", "Secret", "Users"), 0);

    // The same names in a workgroup with another identity give another Admins group.
    const std::string other = dir.file("other.mdw");
    dao::CreateWorkgroupFile(other, "Elsewhere", "Other Org", "wid-9999");
    auto e = engine();
    e->SetSystemDB(other);
    auto otherAdmin = e->CreateWorkspace("ws", "admin", "", Variant());
    addUser(otherAdmin, "boss", "pid-boss", "x");
    join(otherAdmin, "boss", "Admins");
    auto otherBoss = e->CreateWorkspace("ws", "boss", "x", Variant());
    auto db = open(otherBoss, mdb); // Users still hold DBOpen on MSysDb
    EXPECT_EQ(daoErrorOf([&] { explicitOf(db, "Modules", "Secret", "Users"); }), dao::errNoPermission);
    // admin has the same SID in every workgroup, and owns what it created.
    EXPECT_EQ(explicitOf(open(otherAdmin, mdb), "Modules", "Secret", "Users"), 0);
}

TEST_F(Databases, OpeningNeedsDBOpenAndExclusiveNeedsDBExclusive) {
    addUser(admin, "dora", "pid-dora", "d");
    {
        auto db = open(admin, mdb);
        grant(db, "Databases", "MSysDb", "Users", kDBOpen);
    }
    auto asDora = login("dora", "d");
    EXPECT_NE(open(asDora, mdb), nullptr);
    EXPECT_EQ(daoErrorOf([&] { open(asDora, mdb, true); }), dao::errNoPermission);
    EXPECT_NE(open(admin, mdb, true), nullptr); // Admins keep DBExclusive
    {
        auto db = open(admin, mdb);
        grant(db, "Databases", "MSysDb", "Users", 0);
    }
    EXPECT_EQ(daoErrorOf([&] { open(asDora, mdb); }), dao::errNoPermission);
    {
        auto db = open(admin, mdb);
        grant(db, "Databases", "MSysDb", "dora", kDBOpen | kDBExclusive);
    }
    EXPECT_NE(open(asDora, mdb, true), nullptr);
    {
        auto db = open(admin, mdb);
        grant(db, "Databases", "MSysDb", "dora", 0);
        grant(db, "Databases", "MSysDb", "Admins", 0);
        object(db, "Databases", "MSysDb")->SetOwner("dora");
    }
    EXPECT_NE(open(asDora, mdb), nullptr); // the database's owner always may
    EXPECT_NE(open(admin, mdb), nullptr);  // and so may the creating workgroup's Admins
}

TEST_F(Databases, AnExclusiveOpenShutsOthersOut) {
    {
        auto mine = open(admin, mdb, true);
        EXPECT_EQ(daoErrorOf([&] { open(login(), mdb); }), dao::errFileInUse);
        EXPECT_EQ(daoErrorOf([&] { open(admin, mdb, true); }), dao::errFileInUse);
    }
    auto shared = open(admin, mdb);
    EXPECT_EQ(daoErrorOf([&] { open(login(), mdb, true); }), dao::errFileInUse);
    EXPECT_NE(open(login(), mdb), nullptr);
}

TEST_F(Databases, ReadOnlyOpenRefusesEveryWrite) {
    auto db = open(admin, mdb, false, true);
    EXPECT_FALSE(db->Updatable());
    EXPECT_EQ(explicitOf(db, "Forms", "", "Users"), kFull);
    EXPECT_EQ(daoErrorOf([&] { grant(db, "Forms", "", "Users", 0); }), dao::errReadOnly);
    EXPECT_EQ(daoErrorOf([&] { object(db, "Forms")->SetOwner("Users"); }), dao::errReadOnly);
    EXPECT_EQ(daoErrorOf([&] { db->CreateDocument("Forms", "F1"); }), dao::errReadOnly);
    EXPECT_EQ(explicitOf(open(admin, mdb), "Forms", "", "Users"), kFull);
}

TEST_F(Databases, InheritIsHeldUntilPermissionsAreWritten) {
    addUser(admin, "erin", "pid-erin");
    auto db = open(admin, mdb);
    auto forms = db->Containers()->Item("Forms");
    forms->SetUserName("erin");
    EXPECT_FALSE(forms->Inherit());
    forms->SetInherit(true);
    EXPECT_TRUE(forms->Inherit());
    forms->SetUserName("Users"); // other accounts keep their own setting
    EXPECT_TRUE(forms->Inherit());
    forms->SetInherit(false);
    forms->SetUserName("erin");
    EXPECT_TRUE(forms->Inherit()); // still held for erin
    // Nothing is stored until Permissions is written for erin.
    EXPECT_FALSE([&] {
        auto c = open(admin, mdb)->Containers()->Item("Forms");
        c->SetUserName("erin");
        return c->Inherit();
    }());
    forms->SetPermissions(0x104);
    auto reread = open(admin, mdb)->Containers()->Item("Forms");
    reread->SetUserName("erin");
    EXPECT_TRUE(reread->Inherit());
    EXPECT_EQ(reread->Permissions(), 0x104);
    reread->SetUserName("Users");
    EXPECT_TRUE(reread->Inherit()); // the Users value held on the first object was never written

    // Flipping by writing the unchanged value back, as the inherit command does.
    reread->SetUserName("erin");
    reread->SetInherit(!reread->Inherit());
    reread->SetPermissions(reread->Permissions());
    auto third = open(admin, mdb)->Containers()->Item("Forms");
    third->SetUserName("erin");
    EXPECT_FALSE(third->Inherit());
    EXPECT_EQ(third->Permissions(), 0x104);
}

TEST_F(Databases, NewDocumentsReceiveTheInheritableContainerEntries) {
    addUser(admin, "finn", "pid-finn");
    addUser(admin, "gail", "pid-gail");
    auto db = open(admin, mdb);
    auto forms = db->Containers()->Item("Forms");
    forms->SetUserName("finn");
    forms->SetInherit(true);
    forms->SetPermissions(0x104);
    forms->SetUserName("gail");
    forms->SetPermissions(0x4); // not inheritable
    auto doc = db->CreateDocument("Forms", "Orders");
    EXPECT_EQ(doc->Owner(), "admin");
    EXPECT_EQ(explicitOf(db, "Forms", "Orders", "finn"), 0x104);
    EXPECT_EQ(explicitOf(db, "Forms", "Orders", "gail"), 0);
    EXPECT_EQ(explicitOf(db, "Forms", "Orders", "Users"), kFull);
    auto again = open(admin, mdb);
    EXPECT_EQ(explicitOf(again, "Forms", "Orders", "finn"), 0x104);
    EXPECT_EQ(daoErrorOf([&] { db->CreateDocument("Forms", "ORDERS"); }), dao::errObjectExists);
    EXPECT_EQ(daoErrorOf([&] { db->CreateDocument("Forms", "bad.name"); }), dao::errInvalidName);
    for (const char* marker : {"<container>", "<Container>"})
        EXPECT_EQ(daoErrorOf([&] { db->CreateDocument("Forms", marker); }), dao::errInvalidName) << marker;
    EXPECT_EQ(daoErrorOf([&] { db->CreateDocument("Nowhere", "x"); }), dao::errItemNotFound);
}

TEST_F(Databases, DeletedAccountsShowAsUnknownAndComeBackWithTheSamePid) {
    addUser(admin, "hal", "pid-hal");
    addGroup(admin, "Crew", "pid-crew");
    {
        auto db = open(admin, mdb);
        db->CreateDocument("Scripts", "Launch");
        object(db, "Scripts", "Launch")->SetOwner("hal");
        grant(db, "Scripts", "Launch", "hal", 0x8);
        grant(db, "Scripts", "Launch", "Crew", 0xA);
    }
    admin->Users()->Delete("hal");
    admin->Groups()->Delete("Crew");
    {
        auto db = open(admin, mdb);
        EXPECT_EQ(object(db, "Scripts", "Launch")->Owner(), "<Unknown>");
        EXPECT_EQ(daoErrorOf([&] { explicitOf(db, "Scripts", "Launch", "hal"); }), dao::errNotValidAccount);
    }
    addUser(admin, "HAL", "other-pid"); // another PID: another SID
    EXPECT_EQ(object(open(admin, mdb), "Scripts", "Launch")->Owner(), "<Unknown>");
    EXPECT_EQ(explicitOf(open(admin, mdb), "Scripts", "Launch", "hal"), 0);
    admin->Users()->Delete("hal");
    addUser(admin, "Hal", "pid-hal"); // same name (any case) and PID: the old SID
    addGroup(admin, "Crew", "pid-crew");
    auto db = open(admin, mdb);
    EXPECT_EQ(object(db, "Scripts", "Launch")->Owner(), "Hal");
    EXPECT_EQ(explicitOf(db, "Scripts", "Launch", "hal"), 0x8);
    EXPECT_EQ(explicitOf(db, "Scripts", "Launch", "Crew"), 0xA);
}

TEST_F(Databases, AccountsCreatedWhileTheDatabaseIsOpenAreUsable) {
    auto db = open(admin, mdb);
    addUser(admin, "ivan", "pid-ivan");
    grant(db, "Modules", "", "ivan", 0x2);
    EXPECT_EQ(explicitOf(db, "Modules", "", "ivan"), 0x2);
    EXPECT_EQ(effectiveOf(db, "Modules", "", "ivan"), kFull);
}

TEST_F(Databases, CreateDatabaseRefusesExistingFilesAndBadFormats) {
    EXPECT_EQ(daoErrorOf([&] { admin->CreateDatabase(mdb, "4.0"); }), dao::errDatabaseExists);
    EXPECT_EQ(daoErrorOf([&] { admin->CreateDatabase(dir.file("x.mdb"), "5.0"); }), dao::errInvalidArgument);
    auto ws35 = login("admin", "", dao::CLSID_PrivDBEngine35);
    EXPECT_EQ(daoErrorOf([&] { ws35->CreateDatabase(dir.file("y.mdb"), "4.0"); }), dao::errInvalidArgument);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.mdb")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("y.mdb")));
}

TEST_F(Databases, VersionsFormat40NeedsDao36) {
    const std::string old = dir.file("old.mdb");
    admin->CreateDatabase(old, "3.0");
    auto ws35 = login("admin", "", dao::CLSID_PrivDBEngine35);
    EXPECT_EQ(open(ws35, old)->Version(), "3.0");
    EXPECT_EQ(daoErrorOf([&] { open(ws35, mdb); }), dao::errUnrecognizedFormat);
    EXPECT_EQ(open(login(), old)->Version(), "3.0");
}
