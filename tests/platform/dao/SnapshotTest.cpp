// The catalogue snapshot on the engine's own files and on genuine pairs.
#include "support/EngineTest.h"

#include "dao/CatalogueSnapshot.h"

#include <tuple>

#include <algorithm>
#include <map>

#ifndef KEYLOUPE_JET_SAMPLES
#error "KEYLOUPE_JET_SAMPLES must name the folder of genuine Jet files"
#endif

namespace {

using namespace kltest;

const dao::SnapshotAccount* accountNamed(const dao::CatalogueSnapshot& s, const std::string& name) {
    const auto it = std::find_if(s.accounts.begin(), s.accounts.end(),
                                 [&](const dao::SnapshotAccount& a) { return a.name == name; });
    return it == s.accounts.end() ? nullptr : &*it;
}

std::size_t objectIndex(const dao::CatalogueSnapshot& s, const std::string& container,
                        const std::string& name) {
    for (std::size_t i = 0; i < s.objects.size(); ++i)
        if (s.objects[i].container == container && s.objects[i].name == name) return i;
    return SIZE_MAX;
}

class SnapshotTest : public EngineTest {};

TEST_F(SnapshotTest, OwnFilesGiveAccountsObjectsOwnersAndEveryEntry) {
    const std::string mdb = makeDatabase("own.mdb");
    addUser(admin, "alice", "alice-pid");
    auto db = open(admin, mdb);
    grant(db, "Tables", "", "alice", 0);
    grant(db, "Databases", "MSysDb", "alice", 2 /* Open */);
    const dao::CatalogueSnapshot s = dao::ReadCatalogueSnapshot(admin, db);
    EXPECT_EQ(s.databaseFormat, "4.0");
    const auto* alice = accountNamed(s, "alice");
    const auto* admins = accountNamed(s, "Admins");
    ASSERT_TRUE(alice && admins && accountNamed(s, "admin"));
    EXPECT_EQ(alice->sid.size(), 16u);
    EXPECT_TRUE(alice->pid.empty()); // an ordinary workgroup never keeps PIDs
    // Ordinary files keep the layout they always had (format 1, in the header's user_version).
    EXPECT_EQ(readBytes(mdw).substr(60, 4), std::string("\0\0\0\1", 4));
    EXPECT_EQ(readBytes(mdb).substr(60, 4), std::string("\0\0\0\1", 4));
    EXPECT_EQ(s.creatorAdminsSid, admins->sid);
    EXPECT_EQ(std::count_if(s.memberships.begin(), s.memberships.end(),
                            [&](const dao::SnapshotMembership& m) { return m.userSid == alice->sid; }),
              1);
    // Containers come first; MSysDb belongs to admin.
    EXPECT_TRUE(s.objects.front().name.empty());
    const std::size_t msysDb = objectIndex(s, "Databases", "MSysDb");
    ASSERT_NE(msysDb, SIZE_MAX);
    EXPECT_EQ(s.objects[msysDb].ownerSid, accountNamed(s, "admin")->sid);
    const std::size_t tables = objectIndex(s, "Tables", "");
    auto entry = [&](std::size_t obj, const std::string& sid) {
        return std::find_if(s.aces.begin(), s.aces.end(),
                            [&](const dao::SnapshotAce& a) { return a.object == obj && a.sid == sid; });
    };
    ASSERT_NE(entry(tables, alice->sid), s.aces.end()); // a zero entry is an entry
    EXPECT_EQ(entry(tables, alice->sid)->permissions, 0);
    EXPECT_EQ(entry(msysDb, alice->sid)->permissions, 2 /* Open */);
    EXPECT_TRUE(entry(tables, admins->sid)->inheritable);
}

std::string sample(const std::string& name) {
    return std::string(KEYLOUPE_JET_SAMPLES) + "/" + name;
}

TEST(GenuineSnapshot, CountsOrphansAndTheMakersAdmins) {
    if (!std::filesystem::exists(sample("system.mdw")))
        GTEST_SKIP() << "the genuine Jet samples are not at " << KEYLOUPE_JET_SAMPLES;
    dao::registerEngineClasses();
    struct Pair {
        const char* mdw;
        const char* mdb;
        std::size_t objects, aces, orphans;
        bool madeUnderThisWorkgroup;
    };
    for (const Pair& p : {Pair{"system.mdw", "ContourBL.mdb", 20, 57, 0, true},
                          Pair{"Database41-System.mdw", "Database41.mdb", 32, 97, 0, true},
                          Pair{"Database41-System.mdw", "nwind.mdb", 106, 322, 104, false},
                          Pair{"system.mdw", "testV1997.mdb", 22, 67, 19, false}}) {
        SCOPED_TRACE(p.mdb);
        auto ws = loginTo(sample(p.mdw), "admin");
        const dao::CatalogueSnapshot s = dao::ReadCatalogueSnapshot(ws, open(ws, sample(p.mdb)));
        EXPECT_EQ(s.objects.size(), p.objects);
        EXPECT_EQ(s.aces.size(), p.aces);
        std::map<std::string, int> known;
        for (const auto& a : s.accounts)
            known[a.sid] = 1;
        EXPECT_EQ(
            std::count_if(s.aces.begin(), s.aces.end(), [&](const auto& a) { return !known.count(a.sid); }),
            static_cast<long>(p.orphans));
        EXPECT_EQ(s.creatorAdminsSid.size(), 102u);
        EXPECT_EQ(s.creatorAdminsSid == accountNamed(s, "Admins")->sid, p.madeUnderThisWorkgroup);
    }
}

} // namespace

namespace {

// A sandbox of a genuine pair reads back the same catalogue it was written from; anyone may read it,
// writes follow the rules of the logged-in user, and the genuine built-in accounts keep their standing.
TEST(SandboxWrite, GenuineCatalogueRoundTripsAndTheRulesHold) {
    if (!std::filesystem::exists(sample("system.mdw")))
        GTEST_SKIP() << "the genuine Jet samples are not at " << KEYLOUPE_JET_SAMPLES;
    dao::registerEngineClasses();
    TempDir dir;
    auto genuine = loginTo(sample("system.mdw"), "admin");
    dao::CatalogueSnapshot s = dao::ReadCatalogueSnapshot(genuine, open(genuine, sample("testV1997.mdb")));
    // A name the engine would refuse to create, as genuine workgroups may hold.
    s.accounts.push_back({"Sales.Team", std::string("\x05\x01\x07", 3), true, ""});
    const std::string mdw = dir.file("system.mdw"), mdb = dir.file("testV1997.mdb");
    dao::WriteSandbox(s, mdw, mdb, "origin=text");
    EXPECT_EQ(readBytes(mdw).substr(60, 4), std::string("\0\0\0\2", 4));
    EXPECT_EQ(daoErrorOf([&] { dao::WriteSandbox(s, dir.file("b.mdw"), mdb, ""); }), dao::errDatabaseExists);
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.mdw")));

    auto ws = loginTo(mdw, "Contour"); // every sandbox user has the empty password
    auto db = open(ws, mdb);
    EXPECT_EQ(dao::SandboxOrigin(db), "origin=text");
    const dao::CatalogueSnapshot back = dao::ReadCatalogueSnapshot(ws, db);
    auto key = [](const dao::CatalogueSnapshot& c) {
        std::vector<std::tuple<std::string, std::string, std::string, std::int32_t, bool>> rows;
        for (const auto& a : c.aces)
            rows.emplace_back(c.objects[a.object].container, c.objects[a.object].name, a.sid, a.permissions,
                              a.inheritable);
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    EXPECT_EQ(key(back), key(s));
    EXPECT_EQ(back.creatorAdminsSid, s.creatorAdminsSid);
    EXPECT_EQ(back.databaseFormat, "3.0");
    EXPECT_EQ(back.accounts.size(), s.accounts.size());
    EXPECT_EQ(back.memberships.size(), s.memberships.size());

    // Contour is no member of Admins: reading works, changing accounts or another's rights does not.
    EXPECT_EQ(explicitOf(db, "Tables", "", "Users"),
              explicitOf(open(genuine, sample("testV1997.mdb")), "Tables", "", "Users"));
    EXPECT_EQ(daoErrorOf([&] { addUser(ws, "zed", "zed-pid"); }), dao::errNoPermission);
    auto admin = loginTo(mdw, "admin");
    addUser(admin, "zed", "zed-pid");
    EXPECT_EQ(daoErrorOf([&] { admin->Groups()->Delete("Users"); }), dao::errBuiltinAccount);
    EXPECT_EQ(daoErrorOf([&] { addGroup(admin, "Sales.New", "new-pid"); }), dao::errNotValidAccount);
    const dao::CatalogueSnapshot after = dao::ReadCatalogueSnapshot(admin, open(admin, mdb));
    const auto* zed = accountNamed(after, "zed");
    ASSERT_TRUE(zed);
    ASSERT_TRUE(accountNamed(after, "Sales.Team"));
    EXPECT_EQ(accountNamed(after, "Sales.Team")->sid.size(), 3u);
    EXPECT_EQ(zed->pid, "zed-pid"); // a sandbox keeps the PIDs of accounts made in it
    EXPECT_EQ(zed->sid.size(), 16u);
    const auto* users = accountNamed(after, "Users");
    EXPECT_EQ(std::count_if(after.memberships.begin(), after.memberships.end(),
                            [&](const auto& m) { return m.userSid == zed->sid && m.groupSid == users->sid; }),
              1);
}

} // namespace
