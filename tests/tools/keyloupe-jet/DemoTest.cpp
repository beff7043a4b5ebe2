// The demo files: what they hold, the orphan situation they set up, and the refusal to overwrite.
#include "keyloupe-jet/Demo.h"
#include "keyloupe-jet/JetTool.h"
#include "keyloupe-jet/Session.h"
#include "support/ToolRun.h"

#include "dao/engine/Sid.h"

#include <algorithm>
#include <cctype>
#include <fstream>

using namespace jettool;
using namespace kltest;

namespace {

std::int32_t countNonZeroAces(dao::Database& db) {
    auto rs = db.CreateQueryDef(
                    "", "SELECT Count(MSysACEs.ACM) AS CountOfACM FROM MSysACEs WHERE (MSysACEs.ACM <> 0)")
                  ->OpenRecordset(com::Variant(std::int32_t{dao::dbOpenDynaset}), com::Variant());
    return rs->Field(com::Variant("CountOfACM")).toInt32();
}

int countNonZeroExplicit(const std::string& dump) {
    int count = 0;
    for (const std::string& line : splitLines(dump))
        if (splitTabs(line).at(4) != "00000") ++count;
    return count;
}

const DemoAccount& deletedUser() {
    auto users = demoUsers();
    auto it = std::find_if(users.begin(), users.end(), [](const DemoAccount& a) { return a.deleted; });
    EXPECT_NE(it, users.end());
    return *it;
}

// One demo for the whole suite: making it costs a few hundred engine calls.
class JetToolDemo : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        firstRun_ = new ToolResult(runTool({"demo", dir_->file("demo")}));
    }
    static void TearDownTestSuite() {
        delete dir_;
        delete firstRun_;
    }
    static std::string file(std::string_view name) { return (dir_->path() / "demo" / name).string(); }
    static std::string workgroup() { return file(DemoWorkgroupFile); }
    static ToolResult dump(std::string_view database, const std::string& user = "admin",
                           const std::string& password = "") {
        return runTool(
            {"dump", file(database), "--workgroup", workgroup(), "--user", user, "--password", password});
    }

    static TempDir* dir_;
    static ToolResult* firstRun_;
};

TempDir* JetToolDemo::dir_ = nullptr;
ToolResult* JetToolDemo::firstRun_ = nullptr;

TEST_F(JetToolDemo, WritesTheThreeFilesAndRefusesToOverwriteThem) {
    ASSERT_EQ(firstRun_->status, 0) << firstRun_->err;
    for (auto name : {DemoWorkgroupFile, DemoShopFile, DemoLegacyFile}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(file(name))) << name;
        EXPECT_NE(firstRun_->out.find(file(name)), std::string::npos) << firstRun_->out;
    }
    const auto sizeBefore = std::filesystem::file_size(file(DemoShopFile));
    const auto timeBefore = std::filesystem::last_write_time(file(DemoShopFile));
    const auto again = runTool({"demo", dir_->file("demo")});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "keyloupe-jet: demo file already exists, not overwriting it: " + workgroup() + "\n");
    EXPECT_EQ(std::filesystem::file_size(file(DemoShopFile)), sizeBefore);
    EXPECT_EQ(std::filesystem::last_write_time(file(DemoShopFile)), timeBefore);
}

TEST_F(JetToolDemo, DemoUsersLogInWithTheirDocumentedPasswords) {
    for (const DemoAccount& user : demoUsers()) {
        const auto result = runTool({"accounts", "--workgroup", workgroup(), "--user", std::string(user.name),
                                     "--password", std::string(user.password)});
        EXPECT_EQ(result.status, user.deleted ? 1 : 0) << user.name << ": " << result.err;
    }
    const auto accounts = runTool({"accounts", "--workgroup", workgroup()});
    const auto lines = splitLines(accounts.out);
    for (const auto& group : demoGroups())
        EXPECT_NE(std::find(lines.begin(), lines.end(), "G\t" + std::string(group[0])), lines.end())
            << group[0];
    EXPECT_NE(std::find(lines.begin(), lines.end(), "U\tbob\tManagers\tSales\tUsers"), lines.end())
        << accounts.out;
}

TEST_F(JetToolDemo, ShopPermissionsTellTheStory) {
    const auto result = dump(DemoShopFile);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string& d = result.out;
    // Users is secured: nothing on the shop's objects, only DBOpen on the database.
    EXPECT_EQ(accountLine(d, "Tables", "Customers", "Users"),
              "Tables\tCustomers\tG\tUsers\t00000\t00000\t-\t-");
    const auto formsUsers = splitTabs(accountLine(d, "Forms", "<container>", "Users"));
    EXPECT_EQ(formsUsers.at(4), "00000");
    EXPECT_EQ(formsUsers.at(5), "00000");
    EXPECT_EQ(accountLine(d, "Databases", "MSysDb", "Users"),
              "Databases\tMSysDb\tG\tUsers\t00002\t00002\t-\t-");
    // Sales and Managers rights, reaching their members.
    EXPECT_EQ(accountLine(d, "Tables", "Customers", "Sales"),
              "Tables\tCustomers\tG\tSales\t00074\t00074\t-\t-");
    EXPECT_EQ(accountLine(d, "Tables", "Customers", "alice"),
              "Tables\tCustomers\tU\talice\t00000\t00074\t-\t-");
    EXPECT_EQ(accountLine(d, "Tables", "Customers", "bob"), "Tables\tCustomers\tU\tbob\t00000\t000F4\t-\t-");
    EXPECT_EQ(accountLine(d, "Reports", "<container>", "Managers"),
              "Reports\t<container>\tG\tManagers\t00105\t00105\tT\t-");
    // A report made after that took over the Managers' inheritable rights.
    EXPECT_EQ(accountLine(d, "Reports", "rptQuarterlyReview", "Managers"),
              "Reports\trptQuarterlyReview\tG\tManagers\t00105\t00105\t-\t-");
    // Objects owned by bob.
    for (auto [container, object] :
         {std::pair{"Tables", "qrySalesByRegion"}, std::pair{"Reports", "rptSalesByMonth"},
          std::pair{"Scripts", "mcrDailyExport"}})
        EXPECT_EQ(accountLine(d, container, object, "bob").back(), 'O') << object;
    EXPECT_EQ(accountLine(d, "Tables", "Customers", "bob").back(), '-');
    // Administrators may read the security table.
    EXPECT_EQ(splitTabs(accountLine(d, "Tables", "MSysACEs", "Admins")).at(4), "00014");
    // The deleted account has no rows: the workgroup no longer knows it.
    EXPECT_EQ(d.find("\t" + std::string(deletedUser().name) + "\t"), std::string::npos);
}

TEST_F(JetToolDemo, DeletedAccountLeavesOrphanPermissionsThatReturnWithIt) {
    const auto before = dump(DemoShopFile);
    ASSERT_EQ(before.status, 0) << before.err;
    {
        Session admin("3.6", workgroup(), "admin", "");
        auto db = admin.openDatabase(file(DemoShopFile), true);
        // MSysACEs holds non-zero entries that no account of the workgroup accounts for: erin's three.
        EXPECT_EQ(countNonZeroAces(*db) - countNonZeroExplicit(before.out), 3);
    }
    // Re-created with the same name and PID, the account gets its rights back. Done on a copy so the
    // other tests see the demo as made.
    const std::string wgCopy = dir_->file("revived.mdw");
    std::filesystem::copy_file(workgroup(), wgCopy);
    const DemoAccount& erin = deletedUser();
    ASSERT_EQ(
        runTool({"add-user", std::string(erin.name), std::string(erin.pid), "--workgroup", wgCopy}).status,
        0);
    const auto after = runTool({"dump", file(DemoShopFile), "--workgroup", wgCopy});
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(accountLine(after.out, "Tables", "Customers", std::string(erin.name)),
              "Tables\tCustomers\tU\terin\t000F4\t000F4\t-\t-");
    EXPECT_EQ(countNonZeroExplicit(after.out) - countNonZeroExplicit(before.out), 3);
}

TEST_F(JetToolDemo, MSysACEsReadableByAdminsInShopOnly) {
    Session admin("3.6", workgroup(), "admin", "");
    auto shop = admin.openDatabase(file(DemoShopFile), true);
    EXPECT_GT(countNonZeroAces(*shop), 0);
    auto legacy = admin.openDatabase(file(DemoLegacyFile), true);
    EXPECT_EQ(legacy->Version(), "3.0");
    EXPECT_EQ(shop->Version(), "4.0");
    // legacy97.mdb keeps the engine's defaults.
    const auto legacyDump = dump(DemoLegacyFile);
    EXPECT_EQ(accountLine(legacyDump.out, "Tables", "Contacts", "Users"),
              "Tables\tContacts\tG\tUsers\tFFFFF\tFFFFF\t-\t-");
    try {
        countNonZeroAces(*legacy);
        ADD_FAILURE() << "MSysACEs of legacy97.mdb was readable";
    } catch (const dao::DaoError& e) {
        EXPECT_EQ(e.number(), dao::errNoReadData);
    }
}

// The planted weaknesses of the shop, each named once, and the unsecured legacy database's worst one.
TEST_F(JetToolDemo, FindingsNameThePlantedWeaknesses) {
    const auto r = runTool({"findings", file(DemoShopFile), "--workgroup", workgroup()});
    EXPECT_EQ(r.status, FindingsExitStatus) << r.err;
    std::vector<std::string> heads;
    for (const std::string& line : splitLines(r.out))
        if (line[0] == '[') heads.push_back(line);
    const DemoAccount& erin = deletedUser();
    const std::string sid = dao::engine::accountSid(erin.name, erin.pid).hex();
    // The SID in short, with what it is; in full only on a line of its own.
    const std::string orphan = "An entry of the unknown SID " + sid.substr(0, 8) + "\u2026 (" +
                               std::to_string(sid.size() / 2) +
                               " bytes, an account of another workgroup, or a deleted one) holds ";
    EXPECT_EQ(heads, (std::vector<std::string>{
                         "[high] Tables \\ Products: The Users group holds ReadDef, RetrieveData, "
                         "InsertData, ReplaceData.",
                         "[high] workgroup file: 'admin' is a member of Admins and has no password.",
                         "[medium] Reports \\ rptStockList: The Users group holds FrmRptExecute.",
                         "[medium] Forms: admin owns 1 object: Forms \\ frmSwitchboard.",
                         "[medium] workgroup file: 'frank' has no password.",
                         "[medium] workgroup file: admin is still a member of Admins.",
                         "[low] Forms \\ frmCustomers: " + orphan + "00100: FrmRptExecute.",
                         "[low] Tables \\ Customers: " + orphan +
                             "000F4: ReadDef, RetrieveData, InsertData, ReplaceData, DeleteData.",
                         "[low] Tables \\ Orders: " + orphan +
                             "000F4: ReadDef, RetrieveData, InsertData, ReplaceData, DeleteData.",
                     }))
        << r.out;
    EXPECT_EQ(splitLines(r.out).back(), "9 findings");
    EXPECT_EQ(splitLines(r.out).front(),
              "Verdict: Not secured: anyone with any workgroup file can open it and change data (the Users "
              "group holds rights that change data, design or security on 1 object). 2 high findings, 4 "
              "medium, 3 low.");
    EXPECT_NE(r.out.find("\n  SID: " + sid + "\n"), std::string::npos);
    EXPECT_EQ(r.err, ""); // admin reads every row

    const auto csv = runTool({"findings", file(DemoShopFile), "--workgroup", workgroup(), "--format", "csv"});
    EXPECT_EQ(csv.status, FindingsExitStatus);
    const auto records = splitLines(csv.out);
    ASSERT_EQ(records.size(), 11u);
    EXPECT_EQ(records[0], "severity,where,what,why,action,container,object,account,sid\r");
    EXPECT_EQ(records[1].rfind("verdict,database,\"Not secured: ", 0), 0u) << records[1];
    EXPECT_EQ(records[2].rfind("high,Tables \\ Products,\"The Users group holds ReadDef, RetrieveData, "
                               "InsertData, ReplaceData.\",",
                               0),
              0u)
        << records[2];
    EXPECT_EQ(records[2].substr(records[2].size() - 24), ",Tables,Products,Users,\r");
    EXPECT_EQ(records[10].substr(records[10].size() - sid.size() - 2), "," + sid + "\r");

    // alice may not read the Users group's rows: the high finding on Products may hide there, and
    // standard error says so while the findings go on.
    const auto alice = runTool({"findings", file(DemoShopFile), "--workgroup", workgroup(), "--user", "alice",
                                "--password", "alice1"});
    EXPECT_EQ(alice.out.find("Products"), std::string::npos) << alice.out;
    EXPECT_NE(alice.err.find(" could not be read by this login"), std::string::npos) << alice.err;
    EXPECT_NE(alice.err.find("The worst that could hide there is a high finding (the Users group's"),
              std::string::npos)
        << alice.err;
    EXPECT_EQ(
        splitLines(alice.out).front().rfind("Verdict: Secured by this workgroup as far as this login could "
                                            "read; ",
                                            0),
        0u)
        << alice.out;

    const auto legacy = runTool({"findings", file(DemoLegacyFile), "--workgroup", workgroup()});
    EXPECT_EQ(legacy.status, FindingsExitStatus);
    EXPECT_NE(legacy.out.find("\n[high] Databases \\ MSysDb: The database (MSysDb) is owned by admin.\n"),
              std::string::npos)
        << legacy.out;
}

TEST_F(JetToolDemo, HtmlReportSaysWhatWasAuditedByWhomAndTheFigures) {
    const auto r = runTool({"report", file(DemoShopFile), "--workgroup", workgroup(), "--format", "html"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& h = r.out;
    for (const std::string& row :
         {"<th align=\"left\">Database</th><td>" + file(DemoShopFile) + " (Keyloupe's own file)</td>",
          "<th align=\"left\">Workgroup file</th><td>" + workgroup() + " (Keyloupe's own file)</td>",
          std::string("<th align=\"left\">Logged in as</th><td>admin</td>"),
          std::string("<th align=\"left\">Keyloupe version</th><td>1.0.0</td>"),
          // erin's three entries are the orphans; nine findings.
          std::string("<td>Orphan permissions [B - A]</td><td align=\"right\">3</td>"),
          std::string("<td>Findings</td><td align=\"right\">9</td>")})
        EXPECT_NE(h.find(row), std::string::npos) << row;
    const auto when = h.find("Date and time</th><td>");
    ASSERT_NE(when, std::string::npos);
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(h[when + 22]))) << h.substr(when, 60);
    // Only rows with rights: Users holds nothing on Customers, so no such row.
    const std::string row = "<tr><td>Tables</td><td>Customers</td><td>G</td><td>";
    EXPECT_EQ(h.find(row + "Users</td>"), std::string::npos);
    EXPECT_NE(h.find(row + "Sales</td>"), std::string::npos);
    EXPECT_EQ(h.substr(h.size() - 15), "</body></html>\n");
}

class JetToolSyntheticDemo : public TempDirTest {};

TEST_F(JetToolSyntheticDemo, MakesTheRequestedNumbersOfDocumentsAndAccounts) {
    const std::string dir = path("synthetic");
    const auto made = runTool({"demo", dir, "--objects", "23", "--users", "6", "--groups", "4"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir) / DemoShopFile));

    // Compare with a fresh workgroup and database, which hold only the built-in accounts and objects.
    ASSERT_EQ(runTool({"create-workgroup", path("fresh.mdw")}).status, 0);
    ASSERT_EQ(runTool({"create-database", path("fresh.mdb"), "--workgroup", path("fresh.mdw")}).status, 0);
    const std::string wg = (std::filesystem::path(dir) / DemoWorkgroupFile).string();
    auto countKind = [](const std::string& accounts, char kind) {
        auto lines = splitLines(accounts);
        return std::count_if(lines.begin(), lines.end(), [kind](auto& l) { return l[0] == kind; });
    };
    const auto freshAccounts = runTool({"accounts", "--workgroup", path("fresh.mdw")}).out;
    const auto accounts = runTool({"accounts", "--workgroup", wg}).out;
    EXPECT_EQ(countKind(accounts, 'U'), countKind(freshAccounts, 'U') + 6);
    EXPECT_EQ(countKind(accounts, 'G'), countKind(freshAccounts, 'G') + 4);

    Session fresh("3.6", path("fresh.mdw"), "admin", "");
    Session synthetic("3.6", wg, "admin", "");
    auto documentCount = [](dao::Database& db) {
        int total = 0;
        auto containers = db.Containers();
        for (int i = 0; i < containers->Count(); ++i)
            total += containers->Item(com::Variant(std::int32_t{i}))->Documents()->Count();
        return total;
    };
    auto freshDb = fresh.openDatabase(path("fresh.mdb"), true);
    auto syntheticDb =
        synthetic.openDatabase((std::filesystem::path(dir) / DemoSyntheticFile).string(), true);
    EXPECT_EQ(documentCount(*syntheticDb), documentCount(*freshDb) + 23);

    // Every added document carries explicit rights for some added account.
    const auto dump =
        runTool({"dump", (std::filesystem::path(dir) / DemoSyntheticFile).string(), "--workgroup", wg});
    ASSERT_EQ(dump.status, 0) << dump.err;
    const auto freshDump = runTool({"dump", path("fresh.mdb"), "--workgroup", path("fresh.mdw")});
    EXPECT_GE(countNonZeroExplicit(dump.out), countNonZeroExplicit(freshDump.out) + 23);

    // A second run refuses; a size option out of range is a usage error.
    EXPECT_EQ(runTool({"demo", dir, "--objects", "1"}).status, 1);
    const auto tooMany = runTool({"demo", path("other"), "--users", "40000"});
    EXPECT_EQ(tooMany.status, 1);
    EXPECT_FALSE(std::filesystem::exists(path("other")));
}

} // namespace
