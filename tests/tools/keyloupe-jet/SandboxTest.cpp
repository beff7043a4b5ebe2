// keyloupe-jet sandbox: a sandbox of every genuine pair in shared/jet-samples reads exactly as its
// origin, and bad folders and bad origins are refused without leaving anything behind.
#include "support/Engine.h"
#include "support/ToolRun.h"

#include "dao/AuditFacts.h"
#include "plan/Sandbox.h"
#include "security/AceCountQueries.h"

#include <cctype>
#include <filesystem>

namespace {

using namespace kltest;
namespace fs = std::filesystem;

std::string sample(const std::string& name) {
    return std::string(KEYLOUPE_JET_SAMPLES) + "/" + name;
}

// Findings without the note on passwords, which says why they were not checked and so differs, and
// with the genuine pair's actions as the sandbox words them: on the genuine pair they first send the
// reader to a sandbox.
std::vector<std::string> findingsLines(const std::string& out) {
    std::vector<std::string> lines = splitLines(out);
    std::erase_if(lines,
                  [](const std::string& l) { return l.rfind("[note] Passwords were not checked", 0) == 0; });
    const std::string planned = "  what to do: Plan the change in a sandbox (File > \"Plan Changes in a "
                                "Sandbox...\"), where every command works: ";
    for (std::string& l : lines)
        if (l.rfind(planned, 0) == 0 && l.size() > planned.size())
            l = "  what to do: " + std::string(1, static_cast<char>(std::toupper(l[planned.size()]))) +
                l.substr(planned.size() + 1);
    return lines;
}

// The DatabaseInfo figures: both counting queries and the orphans.
std::tuple<int, int, std::size_t> infoFigures(const std::string& mdw, const std::string& mdb) {
    auto ws = loginTo(mdw);
    auto db = open(ws, mdb);
    int counts[2];
    for (int i = 0; i < 2; ++i)
        counts[i] = db->CreateQueryDef("", AceCountQueries[static_cast<std::size_t>(i)])
                        ->OpenRecordset(dao::Variant(), dao::Variant())
                        ->Field(dao::Variant("CountOfACM"))
                        .toInt32();
    return {counts[0], counts[1], dao::ReadCatalogueFacts(db).orphanEntries.size()};
}

class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(sample("system.mdw")))
            GTEST_SKIP() << "the genuine Jet samples are not at " << KEYLOUPE_JET_SAMPLES;
        dao::registerEngineClasses();
    }
    TempDir dir;
};

TEST_F(SandboxTest, EveryPairsSandboxReadsAsItsOrigin) {
    const std::pair<const char*, const char*> pairs[] = {
        {"system.mdw", "ContourBL.mdb"},        {"Database41-System.mdw", "Database41.mdb"},
        {"Database41-System.mdw", "nwind.mdb"}, {"Database41-System.mdw", "testV1997.mdb"},
        {"system.mdw", "testV1997.mdb"},        {"Database41-System.mdw", "testV2003.mdb"},
        {"Database41-System.mdw", "db-enc.mdb"}};
    int n = 0;
    for (const auto& [mdw, mdb] : pairs) {
        SCOPED_TRACE(mdb);
        const std::string before = readBytes(sample(mdb)) + readBytes(sample(mdw));
        const std::string out = dir.file("s" + std::to_string(++n));
        const ToolResult made = runTool({"--workgroup", sample(mdw), "sandbox", sample(mdb), out});
        ASSERT_EQ(made.status, 0) << made.err;
        EXPECT_EQ(readBytes(sample(mdb)) + readBytes(sample(mdw)), before); // the origin is only read
        const std::string smdw = out + "/" + mdw, smdb = out + "/" + mdb;
        for (const char* command : {"dump", "report", "findings"}) {
            const ToolResult o = runTool({"--workgroup", sample(mdw), command, sample(mdb)});
            const ToolResult s = runTool({"--workgroup", smdw, command, smdb});
            EXPECT_EQ(s.status, o.status) << command << s.err;
            if (std::string(command) != "findings") {
                EXPECT_EQ(s.out, o.out) << command;
                continue;
            }
            std::vector<std::string> sandboxLines = findingsLines(s.out);
            ASSERT_FALSE(sandboxLines.empty());
            EXPECT_EQ(sandboxLines.front(), std::string("sandbox of ") + mdb);
            sandboxLines.erase(sandboxLines.begin());
            EXPECT_EQ(sandboxLines, findingsLines(o.out));
        }
        EXPECT_EQ(infoFigures(smdw, smdb), infoFigures(sample(mdw), sample(mdb)));
        // Any user may log in with the empty password, except the engine's internal ones, as in Jet.
        EXPECT_EQ(runTool({"--workgroup", smdw, "--user", "Creator", "accounts"}).status, 1);
    }
}

TEST_F(SandboxTest, OriginRecordNamesTheFilesAsTheyWere) {
    const std::string out = dir.file("s");
    const plan::OriginRecord r =
        plan::ImportSandbox(sample("system.mdw"), sample("ContourBL.mdb"), "Contour", out);
    auto ws = loginTo(out + "/system.mdw", "Contour");
    const auto kept = plan::ReadOriginRecord(open(ws, out + "/ContourBL.mdb"));
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(plan::FormatOriginRecord(*kept), plan::FormatOriginRecord(r));
    EXPECT_EQ(r.user, "Contour");
    EXPECT_EQ(r.jetFormat, "3.0");
    EXPECT_EQ(r.database.size, fs::file_size(sample("ContourBL.mdb")));
    EXPECT_EQ(r.database.sha256,
              "efa28502599d26c25f2a7ca5d5438c6281d4ef3a0b795b703a40a661bf88c9e8"); // sha256sum's
    EXPECT_EQ(fs::path(r.workgroup.path), fs::canonical(sample("system.mdw")));
    EXPECT_FALSE(plan::ReadOriginRecord(open(loginTo(sample("system.mdw")), sample("ContourBL.mdb"))));
}

TEST_F(SandboxTest, BadFoldersAndOriginsAreRefusedAndLeaveNothing) {
    // The origin's own folder, with the same names.
    const std::string origin = dir.file("origin");
    fs::create_directory(origin);
    fs::copy_file(sample("system.mdw"), origin + "/system.mdw");
    fs::copy_file(sample("ContourBL.mdb"), origin + "/ContourBL.mdb");
    const std::string before = readBytes(origin + "/ContourBL.mdb") + readBytes(origin + "/system.mdw");
    ToolResult r =
        runTool({"--workgroup", origin + "/system.mdw", "sandbox", origin + "/ContourBL.mdb", origin});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("origin's own folder"), std::string::npos) << r.err;
    EXPECT_EQ(readBytes(origin + "/ContourBL.mdb") + readBytes(origin + "/system.mdw"), before);

    // A folder that is not empty.
    const std::string full = dir.file("full");
    fs::create_directory(full);
    writeBytes(full + "/note.txt", "x");
    r = runTool({"--workgroup", sample("system.mdw"), "sandbox", sample("ContourBL.mdb"), full});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("'" + full + "' is not empty"), std::string::npos) << r.err;

    // A damaged origin: the usual error, and no folder or file is left.
    writeBytes(origin + "/ContourBL.mdb", before.substr(0, 8192));
    r = runTool(
        {"--workgroup", origin + "/system.mdw", "sandbox", origin + "/ContourBL.mdb", dir.file("new")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, runTool({"--workgroup", origin + "/system.mdw", "dump", origin + "/ContourBL.mdb"}).err);
    EXPECT_FALSE(fs::exists(dir.file("new")));
    const std::string empty = dir.file("empty");
    fs::create_directory(empty);

    // The engine's own files are no origin.
    const std::string own = dir.file("own.mdw");
    dao::CreateWorkgroupFile(own, "n", "o", "wid-1");
    r = runTool({"--workgroup", own, "sandbox", sample("ContourBL.mdb"), empty});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no genuine Jet file"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(empty));
}

} // namespace
