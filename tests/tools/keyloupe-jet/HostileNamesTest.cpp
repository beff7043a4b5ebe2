// Names that could forge rows, reach the terminal, run as spreadsheet formulas or pass for admin: every
// text output keeps one row on one line and shows them visibly.
#include "support/HostileNames.h"
#include "keyloupe-jet/JetTool.h"
#include "plan/ChangeWriters.h"
#include "support/ToolRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <sstream>
#include <unistd.h>

using namespace kltest;

namespace {

class HostileNames : public TempDirTest {
protected:
    void SetUp() override { files = makeHostileFiles(path("")); }
    ToolResult tool(std::vector<std::string> args) {
        const auto login = files.login();
        args.insert(args.end(), login.begin(), login.end());
        return runTool(args);
    }
    THostileFiles files;
};

// No byte a terminal acts on: only printable text, TAB between fields, LF (and CR before it in CSV).
bool plainLines(const std::string& text, bool csv) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || c == '\t' || (csv && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            continue;
        if (c < 0x20 || c == 0x7F) return false;
    }
    return true;
}

TEST_F(HostileNames, TextOutputsKeepOneRowOnOneLine) {
    struct Case {
        std::vector<std::string> args;
        bool sameFields; // every line has as many fields as the first
    };
    const Case cases[] = {{{"dump", files.mdb}, true}, {{"report", files.mdb}, true}, {{"accounts"}, false}};
    for (const Case& c : cases) {
        const ToolResult r = tool(c.args);
        ASSERT_EQ(r.status, 0) << c.args.front() << r.err;
        EXPECT_TRUE(plainLines(r.out, false)) << c.args.front();
        const auto lines = splitLines(r.out);
        ASSERT_FALSE(lines.empty());
        for (const std::string& line : lines)
            EXPECT_TRUE(!c.sameFields || splitTabs(line).size() == splitTabs(lines.front()).size())
                << c.args.front() << ": " << line;
        // Each hostile name is one field, escaped.
        for (const auto* set : {&hostileAccounts(), &hostileTables()})
            for (const THostileName& n : *set) {
                if (c.args.front() == "accounts" && set == &hostileTables()) continue;
                const bool found = std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
                    const auto f = splitTabs(l);
                    return std::find(f.begin(), f.end(), n.field) != f.end();
                });
                EXPECT_TRUE(found) << c.args.front() << ": " << n.field;
            }
    }
}

TEST_F(HostileNames, FindingsShowNamesVisiblyAndNameTheLookAlike) {
    const ToolResult text = tool({"findings", files.mdb});
    ASSERT_EQ(text.status, jettool::FindingsExitStatus) << text.err;
    EXPECT_TRUE(plainLines(text.out, false));
    for (const std::string& line : splitLines(text.out))
        EXPECT_TRUE(line.rfind("[", 0) == 0 || line.rfind("  ", 0) == 0 ||
                    line.find(" finding") != std::string::npos)
            << line;
    EXPECT_NE(
        text.out.find("[high] workgroup file: 'ad<U+200B>min' (not the built-in admin: a name that only "
                      "looks like it) is a member of Admins and has no password."),
        std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("[medium] workgroup file: 'ad<U+200B>min' (not the built-in admin"),
              std::string::npos);
    EXPECT_NE(text.out.find("; Tables \\ rev<U+202E>elif.\n"), std::string::npos);
    // No isolating marks on a terminal.
    EXPECT_EQ(text.out.find("\u2068"), std::string::npos);
}

TEST_F(HostileNames, CsvNeutralisesFormulasAndTextStaysExact) {
    const ToolResult report = tool({"report", files.mdb, "--format", "csv"});
    const ToolResult findings = tool({"findings", files.mdb, "--format", "csv"});
    const ToolResult text = tool({"report", files.mdb});
    ASSERT_EQ(report.status, 0) << report.err;
    for (const char* cell : {",'@SUM(1),", ",'+1,", ",'-1,", ",\"'=HYPERLINK(\"\"x\"\")\","})
        EXPECT_NE(report.out.find(cell), std::string::npos) << cell;
    EXPECT_NE(findings.out.find(",Tables,'+1,Users,\r\n"), std::string::npos) << findings.out;
    EXPECT_NE(findings.out.find(",,,evil\\nU\\tforged,\r\n"), std::string::npos) << findings.out;
    // No field begins a formula; a lone "-" (a right that does not apply) is no formula.
    for (const std::string* out : {&report.out, &findings.out}) {
        EXPECT_TRUE(plainLines(*out, true));
        for (const std::string& line : splitLines(*out))
            for (const char* start : {",=", ",+", ",-", ",@", ",\"=", ",\"+", ",\"-", ",\"@"})
                for (std::size_t at = line.find(start); at != std::string::npos;
                     at = line.find(start, at + 1))
                    EXPECT_TRUE(std::string(start) == ",-" &&
                                (at + 2 == line.size() || line[at + 2] == ',' || line[at + 2] == '\r'))
                        << line;
    }
    EXPECT_NE(text.out.find("\t=HYPERLINK(\"x\")\t"), std::string::npos);
    EXPECT_NE(text.out.find("\t@SUM(1)\t"), std::string::npos);
}

class HostilePaths : public TempDirTest {};

TEST_F(HostilePaths, ASymlinkLoopIsNamedAsSuch) {
    ASSERT_EQ(runTool({"create-workgroup", path("w.mdw")}).status, 0);
    ASSERT_EQ(::symlink(path("b").c_str(), path("a").c_str()), 0);
    ASSERT_EQ(::symlink(path("a").c_str(), path("b").c_str()), 0);
    const std::string loop = ": its path is a loop of symbolic links (or passes through too many of them).\n";
    const ToolResult asDatabase = runTool({"dump", path("a"), "--workgroup", path("w.mdw")});
    const ToolResult asWorkgroup = runTool({"accounts", "--workgroup", path("a")});
    for (const ToolResult* r : {&asDatabase, &asWorkgroup}) {
        EXPECT_EQ(r->status, 1);
        EXPECT_NE(r->err.find("Could not open file '" + path("a") + "'" + loop), std::string::npos) << r->err;
    }
    // A path that leads nowhere is still a file not found.
    EXPECT_NE(runTool({"dump", path("none"), "--workgroup", path("w.mdw")}).err.find("Could not find file"),
              std::string::npos);
}

} // namespace

// A name from a hostile file as the object and the account of a change: the text gives one line per
// change with the name escaped, the CSV one record per line that no spreadsheet runs, and the JSON the
// name exactly (a byte that is not UTF-8 as U+FFFD).
TEST(ChangeWriters, HostileNamesStayOneLineAndData) {
    struct Row {
        std::string name, text, csv;
    };
    std::vector<Row> rows = {{"=A\nB\tC\x1b[0m", "=A\\nB\\tC\\x1b[0m", "'=A\\nB\\tC\\x1b[0m"},
                             {"caf\xe9 \"x\",y", "caf\\xe9 \"x\",y", "\"caf\\xe9 \"\"x\"\",y\""}};
    for (const THostileName& h : hostileAccounts())
        rows.push_back({h.name, h.field, h.name.front() == '=' ? "\"'=HYPERLINK(\"\"x\"\")\"" : h.field});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        plan::Change created, perms;
        created.kind = plan::ChangeKind::AccountCreated;
        created.account = perms.account = perms.object = row.name;
        created.accountKind = perms.accountKind = 'U';
        created.pid = "pid";
        perms.container = "Tables", perms.accountSid = "AB", perms.before = "00000", perms.after = "FFFFF";
        const std::vector<plan::Change> changes = {created, perms};
        const auto controls = [](const std::string& s, const std::string& allowed) {
            return std::count_if(s.begin(), s.end(), [&](char c) {
                return static_cast<unsigned char>(c) < 0x20 && allowed.find(c) == std::string::npos;
            });
        };

        std::ostringstream text;
        plan::WriteChangesText(text, changes);
        EXPECT_EQ(text.str(), "create user " + row.text + " (PID pid)\npermissions of " + row.text +
                                  " (user) on Tables \\ " + row.text + ": 00000 -> FFFFF\n2 changes\n");

        std::ostringstream csv;
        plan::WriteChangesCsv(csv, changes);
        const std::string records = csv.str().substr(csv.str().find("\r\n") + 2);
        EXPECT_EQ(records, "account-created,,," + row.csv + ",U,,pid,,,,\r\npermissions,Tables," + row.csv +
                               "," + row.csv + ",U,,,00000,FFFFF,,\r\n");
        EXPECT_EQ(controls(csv.str(), "\r\n"), 0);

        std::ostringstream json;
        plan::WriteChangesJson(json, changes);
        EXPECT_EQ(controls(json.str(), "\n"), 0);
        QJsonParseError error;
        const QJsonArray a = QJsonDocument::fromJson(QByteArray::fromStdString(json.str()), &error).array();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << json.str();
        ASSERT_EQ(a.size(), 2);
        const QString exact = QString::fromUtf8(row.name.data(), static_cast<qsizetype>(row.name.size()));
        EXPECT_EQ(a[0].toObject()["account"].toString(), exact);
        EXPECT_EQ(a[1].toObject()["object"].toString(), exact);
        EXPECT_TRUE(QByteArray::fromStdString(json.str()).isValidUtf8()); // no stray byte passes
    }
}
