// changes: every editing command made on a copy of a pair is listed, in an order that can be applied
// to the original; fix: the findings' mechanical fixes.
#include "keyloupe-jet/Demo.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

#include <filesystem>

using namespace jettool;
using namespace kltest;
using Strings = std::vector<std::string>;

namespace {

class ChangesTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(runTool({"demo", dir.file("now")}).status, 0);
        std::filesystem::create_directory(dir.file("before"));
        for (std::string_view name : {DemoWorkgroupFile, DemoShopFile, DemoLegacyFile})
            std::filesystem::copy_file(now(name), before(name));
    }
    std::string now(std::string_view name) const { return (dir.path() / "now" / name).string(); }
    std::string before(std::string_view name) const { return (dir.path() / "before" / name).string(); }
    ToolResult tool(std::vector<std::string> args) const {
        for (const char* a : {"--workgroup", "", "--password", ""})
            args.push_back(a);
        args[args.size() - 3] = now(DemoWorkgroupFile);
        return runTool(args);
    }
    ToolResult changes(std::string_view database, const std::string& format = "text") const {
        return tool({"changes", now(database), "--from-workgroup", before(DemoWorkgroupFile), "--from",
                     before(database), "--format", format});
    }
    TempDir dir;
};

} // namespace

TEST_F(ChangesTool, ListsEveryEditingCommandInApplicableOrder) {
    const ToolResult same = changes(DemoShopFile);
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "No differences.\n");

    const std::string shop = now(DemoShopFile);
    for (const Strings& command :
         {Strings{"set-permissions", shop, "Tables", "Products", "Users", "0"},
          Strings{"set-owner", shop, "Forms", "frmSwitchboard", "shopadmin"},
          Strings{"set-inherit", shop, "Tables", "Sales", "true"},
          Strings{"add-group", "Interns", "intern-pid"}, Strings{"add-user", "gina", "gina-pid"},
          Strings{"add-member", "gina", "Interns"}, Strings{"remove-member", "bob", "Managers"},
          Strings{"delete-user", "frank"}}) {
        const ToolResult r = tool(command);
        ASSERT_EQ(r.status, 0) << command[0] << ": " << r.err;
    }
    const ToolResult r = changes(DemoShopFile);
    EXPECT_EQ(r.status, ChangesExitStatus) << r.err;
    EXPECT_EQ(splitLines(r.out),
              (Strings{"create group Interns", "create user gina", // own files keep no PIDs
                       "add user gina to group Interns", "add user gina to group Users",
                       "owner of Forms \\ frmSwitchboard: admin -> shopadmin",
                       "inherit of Sales (group) on Tables (container): false -> true",
                       "permissions of Users (group) on Tables \\ Products: 00074 -> 00000, removes ReadDef, "
                       "RetrieveData, InsertData, ReplaceData",
                       "remove user bob from group Managers", "delete user frank", "9 changes"}));
    const ToolResult json = changes(DemoShopFile, "json");
    EXPECT_EQ(json.status, ChangesExitStatus);
    EXPECT_NE(
        json.out.find("\n  {\"kind\": \"owner\", \"container\": \"Forms\", \"object\": \"frmSwitchboard\", "
                      "\"before\": \"admin\", \"after\": \"shopadmin\"},\n"),
        std::string::npos)
        << json.out;
    EXPECT_EQ(tool({"changes", shop}).status, 1); // no pair to compare with
}

TEST_F(ChangesTool, FixRemovesTheRightsAndGivesAwayWhatAdminOwns) {
    const std::string legacy = now(DemoLegacyFile);
    const ToolResult noOwner = tool({"fix", legacy});
    EXPECT_EQ(noOwner.status, 1);
    EXPECT_NE(noOwner.err.find("--owner ACCOUNT is needed"), std::string::npos) << noOwner.err;
    EXPECT_EQ(changes(DemoLegacyFile).status, 0); // nothing was changed

    const ToolResult fixed = tool({"fix", legacy, "--owner", "shopadmin"});
    ASSERT_EQ(fixed.status, 0) << fixed.err;
    const Strings lines = splitLines(fixed.out);
    EXPECT_EQ(lines.back(),
              std::to_string(lines.size() - 1) + " fixes applied; 3 findings have no mechanical fix");
    // What is left: findings without a mechanical fix only (passwords, admin's membership).
    const ToolResult after = tool({"findings", legacy});
    EXPECT_EQ(after.out.find("The Users group"), std::string::npos) << after.out;
    EXPECT_EQ(after.out.find("owned by admin"), std::string::npos) << after.out;
    // Every fix is a change against the copy made before it, and nothing else is.
    const Strings changed = splitLines(changes(DemoLegacyFile).out);
    ASSERT_FALSE(changed.empty());
    EXPECT_EQ(changed.back(), std::to_string(lines.size() - 1) + " changes");
}

// On a sandbox of a genuine pair, changes takes the origin from the sandbox's origin record.
TEST(ChangesOnASandbox, ListsWhatWasPlannedAgainstTheOrigin) {
    const std::string samples = KEYLOUPE_JET_SAMPLES;
    if (!std::filesystem::exists(samples + "/system.mdw") ||
        !std::filesystem::exists(samples + "/ContourBL.mdb"))
        GTEST_SKIP() << "the genuine Jet samples system.mdw and ContourBL.mdb are not at " << samples;
    TempDir dir;
    const std::string sandbox = dir.file("sb");
    const ToolResult import = runTool({"--workgroup", samples + "/system.mdw", "--password", "", "sandbox",
                                       samples + "/ContourBL.mdb", sandbox});
    ASSERT_EQ(import.status, 0) << import.err;
    const std::string db = sandbox + "/ContourBL.mdb";
    auto tool = [&](Strings args) {
        for (const std::string& a :
             {std::string("--workgroup"), sandbox + "/system.mdw", std::string("--password"), std::string()})
            args.push_back(a);
        return runTool(args);
    };
    EXPECT_EQ(tool({"changes", db}).out, "No differences.\n");
    const ToolResult genuineFix = runTool(
        {"--workgroup", samples + "/system.mdw", "--password", "", "fix", samples + "/ContourBL.mdb"});
    EXPECT_EQ(genuineFix.status, 1);
    EXPECT_NE(genuineFix.err.find("fix a sandbox of them"), std::string::npos) << genuineFix.err;
    // admin leaves Admins last (gina stays in it): it makes every other change as a member of Admins.
    for (const Strings& command :
         {Strings{"set-permissions", db, "Tables", "Block Code", "Users", "0"},
          Strings{"set-owner", db, "Forms", "<container>", "admin"},
          Strings{"set-inherit", db, "Tables", "Users", "false"},
          Strings{"add-group", "Planners", "planners-pid"}, Strings{"add-user", "gina", "gina-pid"},
          Strings{"add-member", "gina", "Planners"}, Strings{"add-member", "gina", "Admins"},
          Strings{"delete-user", "SMSUser"}, Strings{"remove-member", "admin", "Admins"}}) {
        const ToolResult r = tool(command);
        ASSERT_EQ(r.status, 0) << command[0] << ": " << r.err;
    }
    const ToolResult r = tool({"changes", db});
    EXPECT_EQ(r.status, ChangesExitStatus) << r.err;
    EXPECT_EQ(
        splitLines(r.out),
        (Strings{
            "create group Planners (PID planners-pid)", "create user gina (PID gina-pid)",
            "add user gina to group Admins", "add user gina to group Planners",
            "add user gina to group Users", "owner of Forms (container): CONTOURCDU -> admin",
            "inherit of Users (group) on Tables (container): true -> false",
            "permissions of Users (group) on Tables \\ Block Code: FFFFF -> 00000, removes Create, Delete, "
            "ReadSec, WriteSec, WriteOwner, ReadDef, WriteDef, RetrieveData, InsertData, ReplaceData, "
            "DeleteData",
            "remove user admin from group Admins", "delete user SMSUser", "10 changes"}));
}
