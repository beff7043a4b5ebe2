// change-script: what it writes and refuses; and the whole road on every genuine pair in
// shared/jet-samples: a sandbox, the findings' fixes and a few accounts planned in it, the change
// script, and that script run under node against a DAO stand-in holding the origin's catalogue (from
// accounts and dump): the dry run only WOULDs, /apply leaves the stand-in equal to the sandbox, and a
// second /apply finds everything ALREADY done.
#include "keyloupe-jet/Demo.h"
#include "support/ChangeScriptRun.h"
#include "support/ToolRun.h"

#include <fstream>
#include <iterator>

namespace {

using namespace kltest;

std::string sample(const std::string& name) {
    return std::string(KEYLOUPE_JET_SAMPLES) + "/" + name;
}

// The stand-in catalogue of a pair, as keyloupe-jet reads it.
std::string catalogueOf(const std::string& mdw, const std::string& mdb, const std::string& mdbName,
                        const std::string& mdwName, const std::string& file) {
    const ToolResult accounts = runTool({"--workgroup", mdw, "accounts"});
    const ToolResult dump = runTool({"--workgroup", mdw, "dump", mdb});
    EXPECT_EQ(accounts.status + dump.status, 0) << accounts.err << dump.err;
    catalogueFromDump(accounts.out, dump.out, mdbName, mdwName, file);
    return file;
}

TEST(ChangeScriptToolTest, WritesAScriptOnlyWhenThereIsSomethingToCarry) {
    TempDir dir;
    ASSERT_EQ(runTool({"demo", dir.file("now")}).status, 0);
    ASSERT_EQ(runTool({"demo", dir.file("before")}).status, 0);
    const std::string mdw = dir.file("now/" + std::string(jettool::DemoWorkgroupFile));
    const std::string shop = dir.file("now/" + std::string(jettool::DemoShopFile));
    const auto script = [&](const std::string& out) {
        return runTool({"--workgroup", mdw, "--password", "", "change-script", shop, "--from-workgroup",
                        dir.file("before/" + std::string(jettool::DemoWorkgroupFile)), "--from",
                        dir.file("before/" + std::string(jettool::DemoShopFile)), "--out", out});
    };
    const ToolResult none = script(dir.file("none.js"));
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_EQ(none.out, "No changes to carry out: no script written.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.js")));

    for (const std::vector<std::string>& step :
         {std::vector<std::string>{"set-permissions", shop, "Tables", "Products", "Users", "0"},
          std::vector<std::string>{"add-user", "gina", "gina-pid"}}) { // own workgroups keep no PID
        std::vector<std::string> args = {"--workgroup", mdw, "--password", ""};
        args.insert(args.end(), step.begin(), step.end());
        ASSERT_EQ(runTool(args).status, 0) << step[0];
    }
    const ToolResult wrote = script(dir.file("fix.js"));
    EXPECT_EQ(wrote.status, 0) << wrote.err;
    EXPECT_EQ(wrote.out,
              "Wrote " + dir.file("fix.js") + ": 2 changes; 1 not carried (named in its header)\n");
    EXPECT_EQ(script(dir.file("fix.txt")).status, 1);
    EXPECT_EQ(
        runTool({"--workgroup", mdw, "--password", "", "change-script", shop, "--out", dir.file("x.js")})
            .status,
        1); // not a sandbox, and no pair named
}

TEST(ChangeScriptToolTest, SandboxPlanRunsToTheSandboxOnEveryPair) {
    if (!std::filesystem::exists(sample("system.mdw")))
        GTEST_SKIP() << "the genuine Jet samples are not at " << KEYLOUPE_JET_SAMPLES;
    if (nodeProgram().empty()) GTEST_SKIP() << "node is not installed: the change scripts are not run";
    const std::pair<const char*, const char*> pairs[] = {{"system.mdw", "ContourBL.mdb"},
                                                         {"Database41-System.mdw", "Database41.mdb"},
                                                         {"Database41-System.mdw", "nwind.mdb"},
                                                         {"system.mdw", "testV1997.mdb"},
                                                         {"Database41-System.mdw", "testV1997.mdb"},
                                                         {"Database41-System.mdw", "testV2003.mdb"},
                                                         {"Database41-System.mdw", "db-enc.mdb"}};
    for (const auto& [mdwName, mdbName] : pairs) {
        SCOPED_TRACE(std::string(mdbName) + " with " + mdwName);
        TempDir dir;
        const std::string box = dir.file("box"), mdw = box + "/" + mdwName, mdb = box + "/" + mdbName;
        ASSERT_EQ(runTool({"--workgroup", sample(mdwName), "sandbox", sample(mdbName), box}).status, 0);
        const std::vector<std::vector<std::string>> plan = {{"fix", mdb, "--owner", "Admins"},
                                                            {"add-group", "Planners", "plan1234"},
                                                            {"add-user", "planner", "plan5678"},
                                                            {"add-member", "planner", "Planners"}};
        for (const auto& step : plan) {
            std::vector<std::string> args = {"--workgroup", mdw, "--password", ""};
            args.insert(args.end(), step.begin(), step.end());
            ASSERT_EQ(runTool(args).status, 0) << step[0];
        }
        const std::string script = dir.file("change.js");
        const ToolResult wrote =
            runTool({"--workgroup", mdw, "--password", "", "change-script", mdb, "--out", script});
        ASSERT_EQ(wrote.status, 0) << wrote.err;
        std::ifstream in(script, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

        const std::string origin =
            catalogueOf(sample(mdwName), sample(mdbName), mdbName, mdwName, dir.file("origin.json"));
        const std::string planned = catalogueOf(mdw, mdb, mdbName, mdwName, dir.file("sandbox.json"));
        const auto dry = runChangeScript(text, script, origin, {}, "\n", "dry.json");
        ASSERT_EQ(dry.status, 0) << dry.out << dry.err;
        const std::size_t count = linesStartingWith(dry.out, "WOULD").size();
        EXPECT_GT(count, 3u);
        EXPECT_EQ(
            linesStartingWith(dry.out, "ALREADY").size() + linesStartingWith(dry.out, "CONFLICT").size(), 0u);

        const auto applied = runChangeScript(text, script, origin, {"/apply"}, "\n\n", "applied.json");
        ASSERT_EQ(applied.status, 0) << applied.out << applied.err;
        EXPECT_EQ(linesStartingWith(applied.out, "OK").size(), count);
        EXPECT_EQ(catalogueFacts(applied.state), catalogueFacts(planned));

        const auto again = runChangeScript(text, script, applied.state, {"/apply"}, "\n\n", "again.json");
        EXPECT_EQ(again.status, 0) << again.out << again.err;
        EXPECT_EQ(linesStartingWith(again.out, "ALREADY").size(), count) << again.out;
    }
}

} // namespace
