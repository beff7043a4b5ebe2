// report's CSV and findings' exit status on small files made with the tool itself.
#include "keyloupe-jet/Demo.h"
#include "keyloupe-jet/JetTool.h"
#include "support/ToolRun.h"

#include <algorithm>

using namespace jettool;
using namespace kltest;

namespace {

class JetToolReportFormats : public TempDirTest {
protected:
    ToolResult as(const std::string& user, const std::string& password, std::vector<std::string> args) {
        args.insert(args.end(), {"--workgroup", path("w.mdw"), "--user", user, "--password", password});
        return runTool(args);
    }
};

TEST_F(JetToolReportFormats, CsvHasTheTextsRowsQuotedAsRfc4180) {
    ASSERT_EQ(runTool({"create-workgroup", path("w.mdw")}).status, 0);
    ASSERT_EQ(as("admin", "", {"create-database", path("d.mdb")}).status, 0);
    ASSERT_EQ(as("admin", "", {"add-object", path("d.mdb"), "Tables", "Price, \"list\""}).status, 0);
    const ToolResult text = as("admin", "", {"report", path("d.mdb")});
    const ToolResult csv = as("admin", "", {"report", path("d.mdb"), "--format", "csv", "--hide-zero"});
    const ToolResult textNonZero = as("admin", "", {"report", path("d.mdb"), "--hide-zero"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const auto textLines = splitLines(textNonZero.out), csvLines = splitLines(csv.out);
    ASSERT_EQ(csvLines.size(), textLines.size());
    ASSERT_LT(textLines.size(), splitLines(text.out).size());
    // Each record is the text's line with commas for TABs; only the document's name needs quotes.
    int quoted = 0;
    for (std::size_t i = 0; i < csvLines.size(); ++i) {
        std::string expected = textLines[i];
        std::replace(expected.begin(), expected.end(), '\t', ',');
        if (const auto n = expected.find("Price, \"list\""); n != std::string::npos) {
            expected.replace(n, 13, "\"Price, \"\"list\"\"\"");
            ++quoted;
        }
        EXPECT_EQ(csvLines[i], expected + "\r") << i;
    }
    EXPECT_GT(quoted, 0);

    const ToolResult bad = as("admin", "", {"report", path("d.mdb"), "--format", "xml"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "keyloupe-jet: --format must be text|csv|html, not \"xml\"\n");
    EXPECT_EQ(as("admin", "", {"findings", path("d.mdb"), "--format", "html"}).status, 1);
}

TEST_F(JetToolReportFormats, FindingsExitZeroOnlyWhenNothingIsFound) {
    ASSERT_EQ(runTool({"create-workgroup", path("w.mdw")}).status, 0);
    ASSERT_EQ(as("admin", "", {"add-user", "boss", "boss-pid", "boss1"}).status, 0);
    ASSERT_EQ(as("admin", "", {"add-member", "boss", "Admins"}).status, 0);
    ASSERT_EQ(as("boss", "boss1", {"create-database", path("d.mdb")}).status, 0);
    const ToolResult before = as("boss", "boss1", {"findings", path("d.mdb")});
    EXPECT_EQ(before.status, FindingsExitStatus) << before.err;

    // Secured: admin outside Admins with a password, Users with nothing but the right to open.
    ASSERT_EQ(as("boss", "boss1", {"remove-member", "admin", "Admins"}).status, 0);
    ASSERT_EQ(as("admin", "", {"set-password", "adm1"}).status, 0);
    for (const char* c : {"DataAccessPages", "Databases", "Forms", "Modules", "Relationships", "Reports",
                          "Scripts", "SysRel", "Tables"})
        ASSERT_EQ(
            as("boss", "boss1", {"set-permissions", path("d.mdb"), c, "<container>", "Users", "0"}).status,
            0);
    for (const char* d : {"SummaryInfo", "UserDefined"})
        ASSERT_EQ(
            as("boss", "boss1", {"set-permissions", path("d.mdb"), "Databases", d, "Users", "0"}).status, 0);
    ASSERT_EQ(
        as("boss", "boss1", {"set-permissions", path("d.mdb"), "Databases", "MSysDb", "Users", "2"}).status,
        0);
    const ToolResult after = as("boss", "boss1", {"findings", path("d.mdb")});
    EXPECT_EQ(after.status, 0) << after.out << after.err;
    // What boss may not read is noted, and is no finding.
    EXPECT_EQ(after.out,
              "Verdict: Secured by this workgroup as far as this login could read; no findings.\n"
              "[note] Orphan permissions and unknown owners were not checked: You don't have permission to "
              "read 'MSysACEs' (RetrieveData is needed).\n0 findings\n");
    const ToolResult csv = as("boss", "boss1", {"findings", path("d.mdb"), "--format", "csv"});
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(csv.out, "severity,where,what,why,action,container,object,account,sid\r\n"
                       "verdict,database,Secured by this workgroup as far as this login could read; no "
                       "findings.,,,,,,\r\n");
    // A failure is 1, never the findings' status.
    EXPECT_EQ(as("boss", "wrong", {"findings", path("d.mdb")}).status, 1);
}

} // namespace
