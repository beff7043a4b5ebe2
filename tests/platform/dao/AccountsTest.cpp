// Engine classes, logins and account administration against a workgroup file.
#include "support/EngineTest.h"

#include <sodium.h>
#include <sqlite3.h>

#include <set>

using namespace kltest;
using dao::Variant;

namespace {

std::vector<std::string> names(const dao::UsersPtr& users) {
    std::vector<std::string> out;
    for (int i = 0; i < users->Count(); ++i)
        out.push_back(users->Item(Variant(std::int32_t(i)))->Name());
    return out;
}
std::vector<std::string> names(const dao::GroupsPtr& groups) {
    std::vector<std::string> out;
    for (int i = 0; i < groups->Count(); ++i)
        out.push_back(groups->Item(Variant(std::int32_t(i)))->Name());
    return out;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(EngineClasses, AllFourClassesCreateEnginesOfTheirVersion) {
    dao::registerEngineClasses();
    EXPECT_EQ(com::createInstanceAs<dao::DBEngine>(dao::CLSID_DBEngine35, dao::IID_DBEngine)->Version(),
              "3.5");
    EXPECT_EQ(com::createInstanceAs<dao::DBEngine>(dao::CLSID_PrivDBEngine35, dao::IID_DBEngine)->Version(),
              "3.5");
    EXPECT_EQ(com::createInstanceAs<dao::DBEngine>(dao::CLSID_DBEngine36, dao::IID_DBEngine)->Version(),
              "3.6");
    EXPECT_EQ(com::createInstanceAs<dao::DBEngine>(dao::CLSID_PrivDBEngine36, dao::IID_DBEngine)->Version(),
              "3.6");
}

TEST(EngineClasses, SharedEngineIsOneObjectPrivateEnginesAreNew) {
    dao::registerEngineClasses();
    auto a = com::createInstanceAs<dao::DBEngine>(dao::CLSID_DBEngine36, dao::IID_DBEngine);
    auto b = com::createInstanceAs<dao::DBEngine>(dao::CLSID_DBEngine36, dao::IID_DBEngine);
    auto p = com::createInstanceAs<dao::DBEngine>(dao::CLSID_PrivDBEngine36, dao::IID_DBEngine);
    auto q = com::createInstanceAs<dao::DBEngine>(dao::CLSID_PrivDBEngine36, dao::IID_DBEngine);
    EXPECT_EQ(a, b);
    EXPECT_NE(p, q);
    EXPECT_NE(a, p);
}

TEST(EngineClasses, UnregisteredVersionIsClassNotRegisteredAndCanComeBack) {
    dao::registerEngineClasses();
    com::unregisterClass(dao::CLSID_DBEngine35);
    try {
        com::createInstance(dao::CLSID_DBEngine35, dao::IID_DBEngine);
        ADD_FAILURE() << "created an unregistered class";
    } catch (const com::ComError& e) {
        EXPECT_EQ(e.status(), com::REGDB_E_CLASSNOTREG);
        EXPECT_EQ(com::errorMessage(e.status(), e.description()), "Class not registered");
    }
    dao::registerEngineClasses();
    EXPECT_TRUE(com::isClassRegistered(dao::CLSID_DBEngine35));
}

TEST(EngineClasses, OtherInterfaceIsRefused) {
    dao::registerEngineClasses();
    EXPECT_THROW(com::createInstance(dao::CLSID_DBEngine36, "{00000022-0000-0010-8000-00AA006D2EA4}"),
                 com::ComError);
}

class Logins : public EngineTest {};

TEST_F(Logins, AdminWithEmptyPasswordAndNamesIgnoreCase) {
    EXPECT_EQ(login("admin", "")->UserName(), "admin");
    EXPECT_EQ(login("ADMIN", "")->UserName(), "admin");
    EXPECT_EQ(daoErrorOf([&] { login("admin", "x"); }), dao::errBadLogin);
    EXPECT_EQ(daoErrorOf([&] { login("nobody", ""); }), dao::errBadLogin);
}

TEST_F(Logins, PasswordsAreCaseSensitive) {
    auto ws = login();
    addUser(ws, "alice", "alice-pid", "Secret");
    EXPECT_EQ(login("Alice", "Secret")->UserName(), "alice");
    EXPECT_EQ(daoErrorOf([&] { login("alice", "secret"); }), dao::errBadLogin);
    EXPECT_EQ(daoErrorOf([&] { login("alice", ""); }), dao::errBadLogin);
}

TEST_F(Logins, InternalUsersAndGroupsCannotLogIn) {
    for (const char* name : {"Engine", "Creator", "Admins", "Users"})
        EXPECT_EQ(daoErrorOf([&] { login(name, ""); }), dao::errBadLogin) << name;
}

TEST_F(Logins, MissingOrUnsetWorkgroupIsErrorNamingTheFile) {
    auto e = engine();
    e->SetSystemDB(dir.file("absent.mdw"));
    try {
        e->CreateWorkspace("ws", "admin", "", Variant());
        ADD_FAILURE() << "logged in without a workgroup file";
    } catch (const dao::DaoError& err) {
        EXPECT_EQ(err.number(), dao::errSystemDbMissing);
        EXPECT_NE(err.description().find("absent.mdw"), std::string::npos);
    }
    e->SetSystemDB("");
    EXPECT_EQ(daoErrorOf([&] { e->CreateWorkspace("ws", "admin", "", Variant()); }), dao::errSystemDbMissing);
}

TEST_F(Logins, OnlyJetWorkspaces) {
    EXPECT_EQ(daoErrorOf([&] { engine()->CreateWorkspace("ws", "admin", "", Variant(std::int32_t(1))); }),
              dao::errNotSupported);
}

namespace {

// The stored hash of an account, read from the workgroup file; or set to hash.
std::string storedHash(const std::string& mdw, const std::string& name, const char* hash = nullptr) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(mdw.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       hash ? "UPDATE MSysAccounts SET Password = ?2 WHERE Name = ?1 RETURNING Password"
                            : "SELECT Password FROM MSysAccounts WHERE Name = ?1",
                       -1, &st, nullptr);
    sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    if (hash) sqlite3_bind_text(st, 2, hash, -1, SQLITE_TRANSIENT);
    std::string out;
    if (sqlite3_step(st) == SQLITE_ROW) out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

} // namespace

TEST_F(Logins, LoginChecksOneCurrentHashAndRewritesNothing) {
    // What a login costs is the one hash it checks (bench/ measures the time): the stored hashes carry
    // the current Argon2id parameters, and logging in verifies them without rewriting them.
    auto e = engine();
    const std::string before = storedHash(mdw, "admin");
    ASSERT_EQ(sodium_init() < 0, false);
    EXPECT_EQ(crypto_pwhash_str_needs_rehash(before.c_str(), 2, 19456u << 10), 0) << before;
    for (int i = 0; i < 3; ++i)
        e->CreateWorkspace("ws", "admin", "", Variant());
    EXPECT_EQ(storedHash(mdw, "admin"), before);
}

TEST_F(Logins, HashesUseNineteenMebibytesAndOlderCheaperHashesStillWork) {
    auto ws = login();
    addUser(ws, "olga", "pid-olga", "first");
    const std::string current = "$argon2id$v=19$m=19456,t=2,p=1$";
    EXPECT_EQ(storedHash(mdw, "olga").rfind(current, 0), 0u) << storedHash(mdw, "olga");
    EXPECT_EQ(storedHash(mdw, "admin").rfind(current, 0), 0u) << storedHash(mdw, "admin");
    // A hash as earlier versions stored it: 8 MiB, two passes.
    ASSERT_EQ(sodium_init() < 0, false);
    char old[crypto_pwhash_STRBYTES];
    ASSERT_EQ(crypto_pwhash_str(old, "first", 5, 2, 8u << 20), 0);
    ASSERT_EQ(storedHash(mdw, "olga", old), old);
    auto asOlga = login("olga", "first");
    EXPECT_EQ(daoErrorOf([&] { login("olga", "second"); }), dao::errBadLogin);
    asOlga->Users()->Item("olga")->NewPassword("first", "second");
    EXPECT_EQ(storedHash(mdw, "olga").rfind(current, 0), 0u) << storedHash(mdw, "olga");
    EXPECT_EQ(login("olga", "second")->UserName(), "olga");
}

TEST_F(Logins, FailedLoginIsRecordedInErrors) {
    auto e = engine();
    EXPECT_THROW(e->CreateWorkspace("ws", "admin", "wrong", Variant()), dao::DaoError);
    auto errors = e->Errors();
    errors->Refresh();
    ASSERT_EQ(errors->Count(), 1);
    EXPECT_EQ(errors->Item(Variant(std::int32_t(0)))->Number(), dao::errBadLogin);
    EXPECT_FALSE(errors->Item(Variant(std::int32_t(0)))->Description().empty());
}

class AccountRules : public EngineTest {};

TEST_F(AccountRules, NewWorkgroupHoldsTheBuiltInAccounts) {
    auto ws = login();
    EXPECT_EQ(names(ws->Users()), (Strings{"admin", "Creator", "Engine"}));
    EXPECT_EQ(names(ws->Groups()), (Strings{"Admins", "Users"}));
    EXPECT_EQ(names(ws->Users()->Item("admin")->Groups()), (Strings{"Admins", "Users"}));
    EXPECT_EQ(names(ws->Groups()->Item("Admins")->Users()), (Strings{"admin"}));
}

TEST_F(AccountRules, NewUsersJoinUsersAndCollectionsAreSortedIgnoringCase) {
    auto ws = login();
    addUser(ws, "bob", "pid-bob");
    addUser(ws, "Alice", "pid-alice");
    addGroup(ws, "sales", "pid-sales");
    EXPECT_EQ(names(ws->Users()), (Strings{"admin", "Alice", "bob", "Creator", "Engine"}));
    EXPECT_EQ(names(ws->Groups()), (Strings{"Admins", "sales", "Users"}));
    EXPECT_EQ(names(ws->Users()->Item("BOB")->Groups()), (Strings{"Users"}));
    EXPECT_EQ(names(ws->Groups()->Item("Sales")->Users()), Strings{});
}

TEST_F(AccountRules, NamesAreChecked) {
    auto ws = login();
    for (std::string bad : {"", " lead", "a.b", "x*", "semi;colon", "tab\tname", "123456789012345678901",
                            "q?", "[x]", "a|b", "a\"b", "back\\slash", "a=b", "a+b", "a<b", "a,b", "a:b"})
        EXPECT_EQ(daoErrorOf([&] { addUser(ws, bad, "pid-okay"); }), dao::errNotValidAccount) << bad;
    EXPECT_EQ(daoErrorOf([&] { addUser(ws, "12345678901234567890", "pid-okay"); }), 0);
    EXPECT_EQ(daoErrorOf([&] { addUser(ws, "trailing ", "pid-okay"); }), 0);
}

TEST_F(AccountRules, NamesThatAreNotUtf8AreRefusedWhereTheyEnter) {
    auto ws = login();
    const std::string mdb = dir.file("names.mdb");
    auto db = ws->CreateDatabase(mdb, "4.0");
    // A Latin-1 byte, a lone continuation byte, an overlong '/', a UTF-16 surrogate, a cut sequence.
    for (std::string bad : {"caf\xE9", "x\x80y", "\xC0\xAF", "\xED\xA0\x80", "ab\xE2\x82"}) {
        try {
            addUser(ws, bad, "pid-okay");
            ADD_FAILURE() << "user accepted";
        } catch (const dao::DaoError& e) {
            EXPECT_EQ(e.number(), dao::errNotValidAccount);
            EXPECT_NE(e.description().find("not valid UTF-8"), std::string::npos) << e.description();
            EXPECT_NE(e.description().find("\\x"), std::string::npos) << e.description();
        }
        EXPECT_EQ(daoErrorOf([&] { addGroup(ws, bad, "pid-okay"); }), dao::errNotValidAccount);
        for (const char* container : {"Forms", "Tables"})
            EXPECT_EQ(daoErrorOf([&] { db->CreateDocument(container, bad); }), dao::errInvalidName);
    }
    EXPECT_EQ(ws->Users()->Count(), 3);
    EXPECT_EQ(db->Containers()->Item("Tables")->Documents()->Count(), 3);
    // Text outside ASCII is fine when it is UTF-8.
    addUser(ws, "Łukasz", "pid-okay");
    db->CreateDocument("Tables", "Umsatz €");
    EXPECT_EQ(open(ws, mdb)->Containers()->Item("Tables")->Documents()->Item("Umsatz €")->Name(), "Umsatz €");
}

TEST_F(AccountRules, PidLengthAndPasswordLengthByVersion) {
    auto ws36 = login();
    EXPECT_EQ(daoErrorOf([&] { addUser(ws36, "u1", "abc"); }), dao::errPidLength);
    EXPECT_EQ(daoErrorOf([&] { addUser(ws36, "u1", "123456789012345678901"); }), dao::errPidLength);
    EXPECT_EQ(daoErrorOf([&] { addGroup(ws36, "g1", ""); }), dao::errPidLength);
    EXPECT_EQ(daoErrorOf([&] { addUser(ws36, "u1", "pid1", std::string(21, 'p')); }),
              dao::errNotValidPassword);
    EXPECT_EQ(daoErrorOf([&] { addUser(ws36, "u1", "pid1", std::string(20, 'p')); }), 0);
    auto ws35 = login("admin", "", dao::CLSID_PrivDBEngine35);
    EXPECT_EQ(daoErrorOf([&] { addUser(ws35, "u2", "pid2", std::string(15, 'p')); }),
              dao::errNotValidPassword);
    EXPECT_EQ(daoErrorOf([&] { addUser(ws35, "u2", "pid2", std::string(14, 'p')); }), 0);
}

TEST_F(AccountRules, UsersAndGroupsShareOneNamespace) {
    auto ws = login();
    addUser(ws, "carol", "pid-carol");
    EXPECT_EQ(daoErrorOf([&] { addUser(ws, "CAROL", "pid-other"); }), dao::errNameExists);
    EXPECT_EQ(daoErrorOf([&] { addGroup(ws, "Carol", "pid-group"); }), dao::errNameExists);
    EXPECT_EQ(daoErrorOf([&] { addUser(ws, "admins", "pid-x1"); }), dao::errNameExists);
}

TEST_F(AccountRules, BuiltInsCannotBeDeleted) {
    auto ws = login();
    for (const char* u : {"admin", "Engine", "Creator"})
        EXPECT_EQ(daoErrorOf([&] { ws->Users()->Delete(u); }), dao::errBuiltinAccount) << u;
    for (const char* g : {"Admins", "Users"})
        EXPECT_EQ(daoErrorOf([&] { ws->Groups()->Delete(g); }), dao::errBuiltinAccount) << g;
    EXPECT_EQ(daoErrorOf([&] { ws->Users()->Delete("ghost"); }), dao::errItemNotFound);
    EXPECT_EQ(daoErrorOf([&] { ws->Users()->Delete("Admins"); }), dao::errItemNotFound);
}

TEST_F(AccountRules, NobodyLeavesUsersAndAdminsKeepsItsLastMember) {
    auto ws = login();
    addUser(ws, "dave", "pid-dave");
    EXPECT_EQ(daoErrorOf([&] { ws->Groups()->Item("Users")->Users()->Delete("dave"); }),
              dao::errOperationNotAllowed);
    EXPECT_EQ(daoErrorOf([&] { ws->Groups()->Item("Admins")->Users()->Delete("admin"); }), dao::errLastAdmin);
    join(ws, "dave", "Admins");
    EXPECT_EQ(daoErrorOf([&] { join(ws, "dave", "Admins"); }), dao::errNameExists);
    ws->Groups()->Item("Admins")->Users()->Delete("admin");
    EXPECT_EQ(names(ws->Groups()->Item("Admins")->Users()), (Strings{"dave"}));
    // admin is no longer an administrator; dave is the last one and can be neither removed nor deleted.
    EXPECT_EQ(daoErrorOf([&] { addUser(ws, "eve", "pid-eve"); }), dao::errNoPermission);
    auto asDave = login("dave", "");
    EXPECT_EQ(daoErrorOf([&] { asDave->Users()->Delete("dave"); }), dao::errLastAdmin);
    EXPECT_EQ(daoErrorOf([&] { asDave->Groups()->Item("Admins")->Users()->Delete("dave"); }),
              dao::errLastAdmin);
}

TEST_F(AccountRules, OnlyAdminsChangeAccounts) {
    auto ws = login();
    addUser(ws, "frank", "pid-frank", "pw");
    addGroup(ws, "Staff", "pid-staff");
    auto asFrank = login("frank", "pw");
    EXPECT_EQ(daoErrorOf([&] { addUser(asFrank, "gina", "pid-gina"); }), dao::errNoPermission);
    EXPECT_EQ(daoErrorOf([&] { addGroup(asFrank, "Club", "pid-club"); }), dao::errNoPermission);
    EXPECT_EQ(daoErrorOf([&] { join(asFrank, "frank", "Staff"); }), dao::errNoPermission);
    EXPECT_EQ(daoErrorOf([&] { asFrank->Groups()->Delete("Staff"); }), dao::errNoPermission);
    EXPECT_EQ(daoErrorOf([&] { asFrank->Users()->Delete("frank"); }), dao::errNoPermission);
    // ...but anyone may read the accounts.
    EXPECT_EQ(asFrank->Users()->Count(), 4);
}

TEST_F(AccountRules, DeletingAnAccountRemovesItsMemberships) {
    auto ws = login();
    addGroup(ws, "Temp", "pid-temp");
    addUser(ws, "henry", "pid-henry");
    join(ws, "henry", "Temp");
    EXPECT_EQ(names(ws->Users()->Item("henry")->Groups()), (Strings{"Temp", "Users"}));
    ws->Groups()->Delete("temp");
    EXPECT_EQ(names(ws->Users()->Item("henry")->Groups()), (Strings{"Users"}));
    ws->Users()->Delete("HENRY");
    EXPECT_EQ(names(ws->Groups()->Item("Users")->Users()), (Strings{"admin", "Creator", "Engine"}));
}

TEST_F(AccountRules, MembershipThroughTheUsersGroupsCollection) {
    auto ws = login();
    addGroup(ws, "Sales", "pid-sales");
    addUser(ws, "ivy", "pid-ivy");
    auto ivy = ws->Users()->Item("ivy");
    ivy->Groups()->Append(ws->CreateGroup("Sales", Variant()));
    EXPECT_EQ(names(ws->Groups()->Item("Sales")->Users()), (Strings{"ivy"}));
    EXPECT_EQ(daoErrorOf([&] { join(ws, "nobody", "Sales"); }), dao::errItemNotFound);
    EXPECT_EQ(daoErrorOf([&] { join(ws, "ivy", "Users \\ Groups"); }), dao::errItemNotFound);
}

TEST_F(AccountRules, OwnPasswordChangeNeedsTheOldOne) {
    auto ws = login();
    addUser(ws, "jack", "pid-jack", "old");
    addUser(ws, "kim", "pid-kim", "kpw");
    auto asJack = login("jack", "old");
    auto me = asJack->Users()->Item("jack");
    EXPECT_EQ(daoErrorOf([&] { me->NewPassword("wrong", "new"); }), dao::errNotValidPassword);
    EXPECT_EQ(daoErrorOf([&] { me->NewPassword("old", std::string(21, 'x')); }), dao::errNotValidPassword);
    me->NewPassword("old", "new");
    EXPECT_EQ(login("jack", "new")->UserName(), "jack");
    EXPECT_EQ(daoErrorOf([&] { login("jack", "old"); }), dao::errBadLogin);
    // Not someone else's, unless an administrator resets it.
    EXPECT_EQ(daoErrorOf([&] { asJack->Users()->Item("kim")->NewPassword("kpw", "x"); }),
              dao::errNoPermission);
    ws->Users()->Item("kim")->NewPassword("", "reset");
    EXPECT_EQ(login("kim", "reset")->UserName(), "kim");
}

TEST_F(AccountRules, AppendedObjectsAreReadOnlyAndItemsByIndexAreChecked) {
    auto ws = login();
    EXPECT_EQ(daoErrorOf([&] { ws->Users()->Item("admin")->SetName("root"); }), dao::errOperationNotAllowed);
    EXPECT_EQ(daoErrorOf([&] { ws->Users()->Item(Variant(std::int32_t(3))); }), dao::errItemNotFound);
    EXPECT_EQ(daoErrorOf([&] { ws->Users()->Item(Variant(std::int16_t(-1))); }), dao::errItemNotFound);
    EXPECT_EQ(ws->Users()->Item(Variant(std::int16_t(2)))->Name(), "Engine");
}

TEST_F(AccountRules, ChangesByAnotherConnectionAreSeenOnRefresh) {
    auto ws1 = login();
    auto ws2 = login();
    auto users = ws2->Users();
    addUser(ws1, "late", "pid-late");
    EXPECT_EQ(users->Count(), 3);
    users->Refresh();
    EXPECT_EQ(users->Count(), 4);
    EXPECT_EQ(ws2->Users()->Count(), 4);
}
