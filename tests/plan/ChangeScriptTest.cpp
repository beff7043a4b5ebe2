// The change script, run for real: written from a plan, checked as ECMAScript 3 and run under node
// against the DAO stand-in (run-change-script.js) that starts from shop-before.json; shop-after.json is
// what the plan makes of it.
#include "plan/ChangeScript.h"
#include "support/ChangeScriptRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace plan;
using kltest::linesStartingWith;

namespace {

const std::string kDir = KEYLOUPE_PLAN_TESTS_DIR;
const std::string kWeird =
    "Jos\xC3\xA9 \"Q\" \\ b\nx"; // quotes, a backslash, a non-ASCII letter, a line break

Change account(ChangeKind kind, const std::string& name, char accountKind, const std::string& pid = {}) {
    Change c;
    c.kind = kind;
    c.account = name;
    c.accountKind = accountKind;
    c.pid = pid;
    return c;
}
Change membership(ChangeKind kind, const std::string& user, const std::string& group) {
    Change c = account(kind, user, 'U');
    c.group = group;
    return c;
}
Change onObject(ChangeKind kind, const std::string& container, const std::string& object,
                const std::string& who, char accountKind, const std::string& before,
                const std::string& after) {
    Change c = account(kind, who, accountKind);
    c.container = container;
    c.object = object;
    c.before = before;
    c.after = after;
    return c;
}

// Every kind of change, in applicable order: shop-before.json becomes shop-after.json.
std::vector<Change> shopPlan() {
    return {
        account(ChangeKind::AccountCreated, "Auditors", 'G', "aud1t0rs"),
        account(ChangeKind::AccountCreated, kWeird, 'U', "w31rdpid"),
        account(ChangeKind::AccountCreated, "carol", 'U', "car0lpid"),
        membership(ChangeKind::MembershipAdded, kWeird, "Users"),
        membership(ChangeKind::MembershipAdded, "carol", "Users"),
        membership(ChangeKind::MembershipAdded, "carol", "Auditors"),
        onObject(ChangeKind::Owner, "Tables", "", "Auditors", 'G', "admin", "Auditors"),
        onObject(ChangeKind::Owner, "Forms", "frmMain", "shopadmin", 'U', "admin", "shopadmin"),
        onObject(ChangeKind::Inherit, "Tables", "", "Users", 'G', "true", "false"),
        onObject(ChangeKind::Permissions, "Tables", "", "Users", 'G', "FFFFF", "00000"),
        onObject(ChangeKind::Permissions, "Tables", "Products", "Users", 'G', "000FF", "00000"),
        onObject(ChangeKind::Permissions, "Tables", "Products", "Auditors", 'G', "00000", "00024"),
        onObject(ChangeKind::Permissions, "Forms", "frmMain", kWeird, 'U', "00000", "00002"),
        membership(ChangeKind::MembershipRemoved, "bob", "Sales"),
        account(ChangeKind::AccountDeleted, "alice", 'U'),
        account(ChangeKind::AccountDeleted, "Old", 'G'),
    };
}

OriginRecord shopOrigin(const std::string& jetFormat = "4.0") {
    OriginRecord o;
    o.database = {"/home/ann/audit/shop.mdb", 1234567, std::string(64, 'a'), "2026-11-30T08:00:00Z"};
    o.workgroup = {"/home/ann/audit/system.mdw", 65536, std::string(64, 'b'), "2026-11-30T08:00:00Z"};
    o.user = "admin";
    o.importedAt = "2026-12-01T09:00:00Z";
    o.keyloupeVersion = "1.0.0";
    o.jetFormat = jetFormat;
    return o;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A copy of shop-before.json with one piece of text replaced.
std::string editedCatalogue(const kltest::TempDir& dir, const std::string& from, const std::string& to) {
    std::string text = readFile(kDir + "/shop-before.json");
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    const std::string path = dir.file("edited.json");
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

class ChangeScriptRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (kltest::nodeProgram().empty())
            GTEST_SKIP() << "node is not installed: the change script is not run";
        script = WriteChangeScript(shopPlan(), shopOrigin(),
                                   {"2026-12-08T20:00:00Z", "admin", "1.0.0", "fix-shop.js"});
    }
    kltest::ScriptRun run(const std::string& catalogue, const std::vector<std::string>& args,
                          const std::string& input, const std::string& state, const std::string& text = {}) {
        return kltest::runChangeScript(text.empty() ? script : text, dir.file("fix-shop.js"), catalogue, args,
                                       input, state);
    }
    kltest::TempDir dir;
    std::string script;
    const std::string before = kDir + "/shop-before.json";
    const std::string input = "secret\npw-weird\n\n"; // login, then the new users in plan order
};

TEST_F(ChangeScriptRunTest, DryRunThenApplyThenApplyAgain) {
    const auto dry = run(before, {}, "secret\n", "dry.json");
    ASSERT_EQ(dry.status, 0) << dry.out << dry.err;
    EXPECT_EQ(linesStartingWith(dry.out, "WOULD").size(), 16u) << dry.out;
    EXPECT_EQ(dry.opens, "exclusive=false readOnly=true\n");
    EXPECT_EQ(kltest::catalogueFacts(dry.state), kltest::catalogueFacts(before));

    const auto applied = run(before, {"/apply"}, input, "applied.json");
    ASSERT_EQ(applied.status, 0) << applied.out << applied.err;
    EXPECT_EQ(linesStartingWith(applied.out, "OK").size(), 16u) << applied.out;
    EXPECT_EQ(applied.opens, "exclusive=true readOnly=false\n");
    EXPECT_EQ(kltest::catalogueFacts(applied.state), kltest::catalogueFacts(kDir + "/shop-after.json"));
    EXPECT_NE(applied.out.find("OK create user Jos\xC3\xA9 \"Q\" \\\\ b\\nx (PID w31rdpid)\n"),
              std::string::npos);
    EXPECT_NE(applied.out.find("OK create user carol (PID car0lpid) (without a password)\n"),
              std::string::npos);
    EXPECT_NE(applied.err.find("\"carol\" will have no password"), std::string::npos);
    EXPECT_EQ(linesStartingWith(applied.out, "Summary:").size(), 1u);
    EXPECT_EQ(applied.out.substr(applied.out.rfind("\n", applied.out.size() - 2) + 1, 8), "Summary:");

    const auto again = run(applied.state, {"/apply"}, input, "again.json");
    ASSERT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(linesStartingWith(again.out, "ALREADY").size(), 16u) << again.out;
    EXPECT_EQ(kltest::catalogueFacts(again.state), kltest::catalogueFacts(applied.state));
}

TEST_F(ChangeScriptRunTest, ConflictIsSkippedUnlessForced) {
    // Someone changed Users' rights on Products since the audit: neither 000FF nor 00000.
    const std::string changed = editedCatalogue(dir, "[\"Users\", 255, false]", "[\"Users\", 31, false]");
    const auto dry = run(changed, {}, "secret\n", "dry.json");
    EXPECT_EQ(dry.status, 2);
    const auto conflicts = linesStartingWith(dry.out, "CONFLICT");
    ASSERT_EQ(conflicts.size(), 1u) << dry.out;
    EXPECT_EQ(conflicts[0],
              "CONFLICT permissions of Users (group) on Tables \\ Products: 000FF -> 00000 (now 0001F)");

    const auto skipped = run(changed, {"/apply"}, input, "skipped.json");
    EXPECT_EQ(skipped.status, 2) << skipped.out;
    EXPECT_EQ(linesStartingWith(skipped.out, "OK").size(), 15u);
    EXPECT_NE(kltest::catalogueFacts(skipped.state), kltest::catalogueFacts(kDir + "/shop-after.json"));

    const auto forced = run(changed, {"/apply", "/force"}, input, "forced.json");
    EXPECT_EQ(forced.status, 0) << forced.out;
    EXPECT_NE(forced.out.find("000FF -> 00000 (forced; was 0001F)\n"), std::string::npos) << forced.out;
    EXPECT_EQ(kltest::catalogueFacts(forced.state), kltest::catalogueFacts(kDir + "/shop-after.json"));
}

TEST_F(ChangeScriptRunTest, FailingChangesDoNotStopTheRest) {
    const std::string locked =
        editedCatalogue(dir, "\"denyWrite\": []", "\"denyWrite\": [\"Forms/frmMain\"]");
    const auto r = run(locked, {"/apply"}, input, "failed.json");
    EXPECT_EQ(r.status, 1);
    const auto failed = linesStartingWith(r.out, "FAILED");
    ASSERT_EQ(failed.size(), 2u) << r.out;
    EXPECT_EQ(failed[0].rfind("FAILED 3033: You do not have the necessary permissions", 0), 0u);
    EXPECT_EQ(linesStartingWith(r.out, "OK").size(), 14u) << r.out;
    EXPECT_NE(r.out.find("Summary: 14 changed, 0 already done, 0 in conflict (skipped), 2 failed\n"),
              std::string::npos);
}

TEST_F(ChangeScriptRunTest, EngineLoginAndPaths) {
    // A Jet 3 origin without DAO 3.5 falls back to 3.6 with a warning.
    const std::string jet3 =
        WriteChangeScript(shopPlan(), shopOrigin("3.0"), {"t", "admin", "1.0.0", "fix-shop.js"});
    const auto fallback = run(before, {}, "secret\n", "jet3.json", jet3);
    EXPECT_EQ(fallback.status, 0) << fallback.err;
    EXPECT_NE(fallback.err.find("Warning: DAO 3.5 is not installed"), std::string::npos);

    const auto noDao = run(editedCatalogue(dir, "[\"DAO.DBEngine.36\"]", "[]"), {}, "secret\n", "nodao.json");
    EXPECT_EQ(noDao.status, 1);
    EXPECT_NE(noDao.err.find("%SystemRoot%\\SysWOW64\\cscript.exe"), std::string::npos) << noDao.err;

    const auto doubleClicked =
        run(editedCatalogue(dir, "\"denyWrite\": []", "\"host\": \"wscript.exe\""), {}, "", "w.json");
    EXPECT_EQ(doubleClicked.status, 1);
    EXPECT_EQ(doubleClicked.out.rfind(
                  "Run this script in a command prompt: cscript //nologo C:\\Plans\\fix-shop.js", 0),
              0u);

    const auto badLogin = run(before, {}, "wrong\n", "bad.json");
    EXPECT_EQ(badLogin.status, 1);
    EXPECT_NE(badLogin.err.find("Error 3029:"), std::string::npos) << badLogin.err;

    // Paths given: the stand-in knows the files only under their default names.
    const auto elsewhere = run(before, {"/mdb:D:\\other.mdb"}, "secret\n", "other.json");
    EXPECT_EQ(elsewhere.status, 1);
    EXPECT_NE(elsewhere.err.find("Error 3024:"), std::string::npos) << elsewhere.err;
}

} // namespace

TEST(ChangeScriptTest, WritesAsciiDataAndLeavesOutWhatDaoCannotDo) {
    EXPECT_EQ(JScriptString(kWeird), "\"Jos\\u00E9 \\\"Q\\\" \\\\ b\\u000Ax\"");
    EXPECT_EQ(JScriptString("\xF0\x9F\x94\x91"), "\"\\uD83D\\uDD11\"");

    const std::string script =
        WriteChangeScript(shopPlan(), shopOrigin(), {"2026-12-08T20:00:00Z", "ann", "1.2.3", "fix-shop.js"});
    for (char c : script)
        ASSERT_TRUE(static_cast<unsigned char>(c) < 0x80) << "non-ASCII byte in the script";
    EXPECT_NE(script.find("sha256 \"" + std::string(64, 'a') + "\""), std::string::npos);
    EXPECT_NE(script.find("Made \"2026-12-08T20:00:00Z\" by \"ann\" with Keyloupe \"1.2.3\""),
              std::string::npos);

    // What DAO cannot do is named in the header, not carried.
    Change onlyHere = onObject(ChangeKind::ObjectOnlyHere, "Tables", "New", "", 0, "", "");
    Change orphan = onObject(ChangeKind::Permissions, "Tables", "Products", "", 0, "00004", "00000");
    orphan.accountSid = "0102";
    EXPECT_THROW(WriteChangeScript({onlyHere, orphan}, shopOrigin(), {}), std::runtime_error);
    const std::string some = WriteChangeScript({orphan, shopPlan()[0]}, shopOrigin(), {});
    EXPECT_NE(some.find("//   \"permissions of the unknown SID 0102 on Tables \\\\ Products"),
              std::string::npos);
    EXPECT_EQ(some.find("kind: \"permissions\""), std::string::npos);
}
