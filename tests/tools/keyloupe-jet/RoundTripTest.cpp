// A workgroup and a database made, secured and read back entirely through keyloupe-jet, with the
// engine's own error texts surfacing unchanged.
#include "keyloupe-jet/Session.h"
#include "support/ToolRun.h"

#include <algorithm>
#include <functional>
#include <set>

using namespace jettool;
using namespace kltest;

namespace {

class JetToolRoundTrip : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        wg_ = path("team.mdw");
        db_ = path("team.mdb");
        ok({"create-workgroup", wg_, "--name", "Team", "--org", "Org", "--wid", "W-1"});
        ok({"add-group", "Staff", "staff-pid"});
        ok({"add-user", "kim", "kim-pid-01", "kimpass"});
        ok({"add-member", "kim", "Staff"});
        ok({"create-database", db_});
    }

    // Runs as admin (unless the arguments say otherwise) on the test's workgroup and expects success.
    std::string ok(std::vector<std::string> args) {
        args.insert(args.end(), {"--workgroup", wg_});
        ToolResult result = runTool(args);
        EXPECT_EQ(result.status, 0) << args.front() << ": " << result.err;
        EXPECT_TRUE(result.err.empty()) << result.err;
        return result.out;
    }
    ToolResult as(const std::string& user, const std::string& password, std::vector<std::string> args) {
        args.insert(args.end(), {"--workgroup", wg_, "--user", user, "--password", password});
        return runTool(args);
    }
    // The engine's own failure for a call, to compare with what the tool prints.
    static std::string expectedError(const std::function<void()>& call, int number) {
        try {
            call();
        } catch (const dao::DaoError& e) {
            EXPECT_EQ(e.number(), number) << e.what();
            return "keyloupe-jet: " + std::string(e.what()) + "\n";
        }
        ADD_FAILURE() << "the engine accepted the call";
        return "";
    }

    std::string wg_, db_;
};

TEST_F(JetToolRoundTrip, AccountsListUsersWithTheirGroupsThenGroups) {
    const auto lines = splitLines(ok({"accounts"}));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "U\tkim\tStaff\tUsers"), lines.end()) << ok({"accounts"});
    EXPECT_NE(std::find(lines.begin(), lines.end(), "G\tStaff"), lines.end());
    // Users come first, then groups; every line is one account.
    auto firstGroup = std::find_if(lines.begin(), lines.end(), [](auto& l) { return l[0] == 'G'; });
    EXPECT_TRUE(std::all_of(lines.begin(), firstGroup, [](auto& l) { return l.compare(0, 2, "U\t") == 0; }));
    EXPECT_TRUE(std::all_of(firstGroup, lines.end(),
                            [](auto& l) { return splitTabs(l).size() == 2 && l[0] == 'G'; }));

    ok({"remove-member", "kim", "Staff"});
    ok({"add-group", "Temps", "temps-pid"});
    ok({"delete-group", "Staff"});
    ok({"add-user", "lee", "lee-pid-02"});
    ok({"delete-user", "lee"});
    const auto after = splitLines(ok({"accounts"}));
    EXPECT_NE(std::find(after.begin(), after.end(), "U\tkim\tUsers"), after.end());
    EXPECT_NE(std::find(after.begin(), after.end(), "G\tTemps"), after.end());
    EXPECT_EQ(std::count_if(after.begin(), after.end(),
                            [](auto& l) { return l.find("Staff") != std::string::npos; }),
              0);
    EXPECT_EQ(
        std::count_if(after.begin(), after.end(), [](auto& l) { return l.find("lee") != std::string::npos; }),
        0);
}

TEST_F(JetToolRoundTrip, PermissionsOwnersAndInheritReadBackExactly) {
    ok({"add-object", db_, "Tables", "Items"});
    ok({"add-object", db_, "Tables", "Secret"});
    for (const char* object : {"Items", "Secret"})
        ok({"set-permissions", db_, "Tables", object, "Users", "0"});
    ok({"set-permissions", db_, "Tables", "Items", "kim", "14"});
    ok({"set-permissions", db_, "Tables", "Items", "Staff", "0x20"});
    ok({"set-owner", db_, "Tables", "Items", "kim"});
    ok({"set-inherit", db_, "Forms", "Staff", "true"});
    ok({"set-permissions", db_, "Forms", "<container>", "Staff", "100"});
    ok({"add-object", db_, "Forms", "frmLater"});
    ok({"set-permissions", db_, "Modules", "<container>", "kim", "FFFFFFFF"});

    const std::string dump = ok({"dump", db_});
    EXPECT_EQ(accountLine(dump, "Tables", "Items", "kim"), "Tables\tItems\tU\tkim\t00014\t00034\t-\tO");
    EXPECT_EQ(accountLine(dump, "Tables", "Items", "Staff"), "Tables\tItems\tG\tStaff\t00020\t00020\t-\t-");
    EXPECT_EQ(accountLine(dump, "Tables", "Items", "Users"), "Tables\tItems\tG\tUsers\t00000\t00000\t-\t-");
    EXPECT_EQ(accountLine(dump, "Tables", "Items", "admin"), "Tables\tItems\tU\tadmin\t00000\tFFFFF\t-\t-");
    EXPECT_EQ(accountLine(dump, "Tables", "Secret", "admin"), "Tables\tSecret\tU\tadmin\t00000\tFFFFF\t-\tO");
    EXPECT_EQ(accountLine(dump, "Forms", "<container>", "Staff"),
              "Forms\t<container>\tG\tStaff\t00100\t00100\tT\t-");
    EXPECT_EQ(accountLine(dump, "Forms", "frmLater", "Staff"),
              "Forms\tfrmLater\tG\tStaff\t00100\t00100\t-\t-");
    EXPECT_EQ(accountLine(dump, "Modules", "<container>", "kim"),
              "Modules\t<container>\tU\tkim\tFFFFFFFF\tFFFFFFFF\tF\t-");

    // set-inherit writes the permissions back unchanged.
    ok({"set-inherit", db_, "Forms", "Staff", "false"});
    EXPECT_EQ(accountLine(ok({"dump", db_}), "Forms", "<container>", "Staff"),
              "Forms\t<container>\tG\tStaff\t00100\t00100\tF\t-");
}

TEST_F(JetToolRoundTrip, DumpFollowsTheReadingOrder) {
    ok({"add-object", db_, "Tables", "Items"});
    const std::vector<std::string> lines = splitLines(ok({"dump", db_}));
    std::vector<std::string> userNames, groupNames;
    for (const std::string& line : splitLines(ok({"accounts"})))
        (line[0] == 'U' ? userNames : groupNames).push_back(splitTabs(line).at(1));

    // Every object has one line per account: the users in collection order, then the groups.
    std::vector<std::string> accountOrder = userNames;
    accountOrder.insert(accountOrder.end(), groupNames.begin(), groupNames.end());
    ASSERT_FALSE(lines.empty());
    ASSERT_EQ(lines.size() % accountOrder.size(), 0u);
    std::vector<std::string> containers;
    std::vector<std::string> objectsOfTables;
    for (std::size_t block = 0; block < lines.size() / accountOrder.size(); ++block) {
        const auto head = splitTabs(lines[block * accountOrder.size()]);
        for (std::size_t i = 0; i < accountOrder.size(); ++i) {
            const auto fields = splitTabs(lines[block * accountOrder.size() + i]);
            ASSERT_EQ(fields.size(), 8u);
            EXPECT_EQ(fields[0], head[0]);
            EXPECT_EQ(fields[1], head[1]);
            EXPECT_EQ(fields[2], i < userNames.size() ? "U" : "G");
            EXPECT_EQ(fields[3], accountOrder[i]);
            EXPECT_EQ(fields[6] == "-", fields[1] != "<container>");
        }
        // A container's own rows come before its documents' rows.
        if (containers.empty() || containers.back() != head[0]) {
            EXPECT_EQ(head[1], "<container>");
            containers.push_back(head[0]);
        }
        if (head[0] == "Tables") objectsOfTables.push_back(head[1]);
    }
    EXPECT_EQ(containers,
              (std::vector<std::string>{"DataAccessPages", "Databases", "Forms", "Modules", "Relationships",
                                        "Reports", "Scripts", "SysRel", "Tables"}));
    EXPECT_NE(std::find(objectsOfTables.begin(), objectsOfTables.end(), "Items"), objectsOfTables.end());
    EXPECT_NE(std::find(objectsOfTables.begin(), objectsOfTables.end(), "MSysACEs"), objectsOfTables.end());
}

TEST_F(JetToolRoundTrip, UnreadableValuesPrintQuestionMarks) {
    ok({"add-object", db_, "Tables", "Secret"});
    ok({"set-permissions", db_, "Tables", "Secret", "Users", "0"});
    const auto result = as("kim", "kimpass", {"dump", db_});
    ASSERT_EQ(result.status, 0) << result.err;
    // kim may read her own entry but not another account's on an object she neither owns nor may ReadSec.
    EXPECT_EQ(accountLine(result.out, "Tables", "Secret", "kim"),
              "Tables\tSecret\tU\tkim\t00000\t00000\t-\t-");
    EXPECT_EQ(accountLine(result.out, "Tables", "Secret", "admin"), "Tables\tSecret\tU\tadmin\t?\t?\t-\tO");
    EXPECT_EQ(accountLine(result.out, "Tables", "Secret", "Admins"), "Tables\tSecret\tG\tAdmins\t?\t?\t-\t-");
}

TEST_F(JetToolRoundTrip, OwnPasswordChange) {
    auto wrong = as("kim", "kimpass", {"set-password", "newpass"});
    EXPECT_EQ(wrong.status, 0) << wrong.err;
    EXPECT_EQ(as("kim", "newpass", {"accounts"}).status, 0);
    const auto old = as("kim", "kimpass", {"accounts"});
    EXPECT_EQ(old.status, 1);
    EXPECT_EQ(old.err, expectedError([&] { Session("3.6", wg_, "kim", "kimpass"); }, dao::errBadLogin));
}

TEST_F(JetToolRoundTrip, EngineErrorsSurfaceWithStatusOne) {
    // Not a member of Admins: no account administration.
    auto denied = as("kim", "kimpass", {"add-user", "lee", "lee-pid-02"});
    EXPECT_EQ(denied.status, 1);
    EXPECT_TRUE(denied.out.empty());
    EXPECT_EQ(denied.err, expectedError(
                              [&] {
                                  Session kim("3.6", wg_, "kim", "kimpass");
                                  auto& ws = kim.workspace();
                                  ws.Users()->Append(ws.CreateUser(
                                      std::string("lee"), std::string("lee-pid-02"), com::Variant()));
                              },
                              dao::errNoPermission));

    Session admin("3.6", wg_, "admin", "");
    auto db = admin.openDatabase(db_, false);
    auto missingObject = runTool({"set-owner", db_, "Tables", "Nope", "kim", "--workgroup", wg_});
    EXPECT_EQ(missingObject.status, 1);
    EXPECT_EQ(missingObject.err,
              expectedError([&] { findObject(*db, "Tables", "Nope"); }, dao::errItemNotFound));

    auto unknownAccount =
        runTool({"set-permissions", db_, "Tables", "<container>", "ghost", "1", "--workgroup", wg_});
    EXPECT_EQ(unknownAccount.status, 1);
    EXPECT_EQ(unknownAccount.err,
              expectedError([&] { FindContainer(db->Containers(), "Tables")->SetUserName("ghost"); },
                            dao::errNotValidAccount));

    // A workgroup file is never overwritten.
    auto again = runTool({"create-workgroup", wg_});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.compare(0, 14, "keyloupe-jet: ") == 0 && again.err.size() > 15) << again.err;
    EXPECT_EQ(ok({"accounts"}).find("kim") != std::string::npos, true);
}

} // namespace

namespace {

// Passwords from standard input, and Admins clearing a forgotten one.
TEST_F(JetToolRoundTrip, PasswordsFromStandardInputAndClearedByAdmins) {
    const std::vector<std::string> kimLogin = {"accounts", "--workgroup", wg_,
                                               "--user",   "kim",         "--password-stdin"};
    EXPECT_EQ(runTool(kimLogin, "kimpass\n").status, 0);
    EXPECT_EQ(runTool(kimLogin, "kimpass\r\n").status, 0);
    EXPECT_EQ(runTool(kimLogin, "wrong\n").status, 1);
    EXPECT_EQ(runTool(kimLogin, "").status, 1);
    auto both = kimLogin;
    both.insert(both.end(), {"--password", "kimpass"});
    EXPECT_NE(runTool(both).err.find("exclude each other"), std::string::npos);

    // kim may not clear admin's password; admin clears kim's.
    EXPECT_EQ(as("kim", "kimpass", {"clear-password", "admin"}).status, 1);
    ok({"clear-password", "kim"});
    EXPECT_EQ(as("kim", "", {"accounts"}).status, 0);
    EXPECT_EQ(as("kim", "kimpass", {"accounts"}).status, 1);

    const ToolResult version = runTool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.substr(0, version.out.find('\n') + 1), "keyloupe-jet 1.0.0\n");
    EXPECT_NE(version.out.find("Licence: GPL-3.0-or-later"), std::string::npos);
}

} // namespace
