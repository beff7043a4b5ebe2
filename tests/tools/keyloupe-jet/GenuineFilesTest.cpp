// keyloupe-jet on the genuine Jet pairs in shared/jet-samples: the reading commands print every row
// with the usual formats, the writing ones fail with the read-only error. Row counts are
// (containers + documents) x accounts, counted from the files' raw MSysObjects and MSysAccounts.
#include "keyloupe-jet/JetTool.h"
#include "support/Engine.h"
#include "support/ToolRun.h"

namespace {

using namespace kltest;

std::string sample(const std::string& name) {
    return std::string(KEYLOUPE_JET_SAMPLES) + "/" + name;
}

class GenuineFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(sample("system.mdw")))
            GTEST_SKIP() << "the genuine Jet samples are not at " << KEYLOUPE_JET_SAMPLES;
    }
};

TEST_F(GenuineFilesTest, DumpPrintsEveryRowOfEveryPair) {
    const struct {
        const char* mdw;
        const char* mdb;
        std::size_t rows;
    } pairs[] = {
        {"system.mdw", "ContourBL.mdb", 180},        {"Database41-System.mdw", "Database41.mdb", 160},
        {"Database41-System.mdw", "nwind.mdb", 530}, {"Database41-System.mdw", "testV1997.mdb", 110},
        {"system.mdw", "testV1997.mdb", 198},        {"Database41-System.mdw", "testV2003.mdb", 130},
        {"Database41-System.mdw", "db-enc.mdb", 95}};
    for (const auto& p : pairs) {
        const ToolResult r = runTool({"--workgroup", sample(p.mdw), "dump", sample(p.mdb)});
        ASSERT_EQ(r.status, 0) << p.mdb << ": " << r.err;
        EXPECT_EQ(splitLines(r.out).size(), p.rows) << p.mdb << " with " << p.mdw;
    }
    const ToolResult contour =
        runTool({"--workgroup", sample("system.mdw"), "dump", sample("ContourBL.mdb")});
    EXPECT_EQ(accountLine(contour.out, "Tables", "Block Code", "CONTOURCDU"),
              "Tables\tBlock Code\tU\tCONTOURCDU\tFFFFF\tFFFFF\t-\tO");
    EXPECT_EQ(accountLine(contour.out, "Tables", "<container>", "Creator"),
              "Tables\t<container>\tU\tCreator\tF00FE\tF00FE\tT\t-");

    const ToolResult report =
        runTool({"--workgroup", sample("system.mdw"), "report", sample("ContourBL.mdb")});
    EXPECT_EQ(report.status, 0) << report.err;
    EXPECT_GT(splitLines(report.out).size(), 100u);
    const ToolResult accounts = runTool({"--workgroup", sample("system.mdw"), "accounts"});
    EXPECT_EQ(accounts.out.substr(0, accounts.out.find('\n')), "U\tadmin\tAdmins\tUsers");
}

TEST_F(GenuineFilesTest, WritingCommandsFailWithTheReadOnlyError) {
    const std::vector<std::vector<std::string>> writes = {
        {"add-user", "eve", "12345"},
        {"add-member", "Contour", "Admins"},
        {"set-permissions", sample("ContourBL.mdb"), "Tables", "Block Code", "Users", "0"},
        {"set-owner", sample("ContourBL.mdb"), "Tables", "Block Code", "admin"},
        {"add-object", sample("ContourBL.mdb"), "Forms", "Evil"},
    };
    for (auto args : writes) {
        args.insert(args.begin(), {"--workgroup", sample("system.mdw")});
        const ToolResult r = runTool(args);
        EXPECT_EQ(r.status, 1) << args[2];
        EXPECT_NE(r.err.find("genuine Jet files are opened read-only for audit"), std::string::npos) << r.err;
    }
}

// A copy of which one row of MSysACEs cannot be decoded: every command that reads it warns on stderr and
// ends with the status of a partial read; findings and the report say so first.
TEST_F(GenuineFilesTest, WhatCannotBeReadIsAWarningAndAStatus) {
    TempDir dir;
    std::string bytes = readBytes(sample("testV1997.mdb"));
    bytes[19 * 2048 + 2044] = '\xFF';
    const std::string damaged = dir.file("damaged.mdb");
    writeBytes(damaged, bytes);
    const std::string warning = "keyloupe-jet: warning: The database '" + damaged +
                                "' is damaged: 1 row of its permissions (MSysACEs) could not be read.\n";
    for (const char* command : {"dump", "findings", "report"}) {
        const ToolResult r = runTool({"--workgroup", sample("Database41-System.mdw"), command, damaged});
        EXPECT_EQ(r.status, jettool::DamagedExitStatus) << command << ": " << r.err;
        EXPECT_EQ(r.err, warning) << command;
    }
    const ToolResult findings =
        runTool({"--workgroup", sample("Database41-System.mdw"), "findings", damaged});
    EXPECT_EQ(findings.out.substr(0, findings.out.find('\n')),
              "[damaged] The database '" + damaged +
                  "' is damaged: 1 row of its permissions (MSysACEs) could not be read.");
    const ToolResult html =
        runTool({"--workgroup", sample("Database41-System.mdw"), "report", "--format", "html", damaged});
    EXPECT_LT(html.out.find("<p><b>Damaged:</b> The database"), html.out.find("<h2>Summary</h2>"))
        << html.out;

    // A workgroup file of which the row of Contour cannot be decoded: accounts lists the others.
    std::string workgroup = readBytes(sample("system.mdw"));
    setJetPageByte(workgroup, 28, 1855, 0xFF);
    writeBytes(dir.file("damaged.mdw"), workgroup);
    const ToolResult accounts = runTool({"--workgroup", dir.file("damaged.mdw"), "accounts"});
    EXPECT_EQ(accounts.status, jettool::DamagedExitStatus);
    EXPECT_EQ(accounts.out.find("Contour\t"), std::string::npos);
    EXPECT_EQ(accounts.err, "keyloupe-jet: warning: The workgroup information file '" +
                                dir.file("damaged.mdw") +
                                "' is damaged: 1 row of its accounts (MSysAccounts) could not be read.\n");
}

} // namespace
