// Security findings on files built through the engine, one kind of weakness each, and on the genuine
// pair system.mdw + ContourBL.mdb (expectations from its raw MSysACEs rows).
#include "support/EngineTest.h"

#include "dao/engine/Sid.h"
#include "security/Findings.h"

#include <algorithm>
#include <set>

using namespace kltest;
using Strings = std::vector<std::string>;

namespace {

constexpr std::int32_t kTableRead = 0x14, kTableEdit = 0x74, kTableAll = 0xF4, kDBOpen = 0x2;

TFindingsResult findingsOf(const dao::WorkspacePtr& ws, const dao::DatabasePtr& db) {
    TFindingsCollector collector;
    TCatalogueCounters counters;
    WalkCatalogue(db->Containers(), ws->Users(), ws->Groups(), collector, counters);
    return collector.Finish(ReadAuditInputs(ws, db));
}

// "severity|where|what" of each finding, in order.
Strings lines(const TFindingsResult& r) {
    Strings out;
    for (const TFinding& f : r.Findings)
        out.push_back(std::string(SeverityText(f.Severity)) + "|" + f.Where + "|" + f.What);
    return out;
}

bool has(const Strings& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Findings : public EngineTest {
protected:
    // boss, a member of Admins with a password, makes the database; Users keeps nothing but the right
    // to open it (and the engine's read rights on the system tables); Admins may read MSysACEs.
    dao::DatabasePtr securedDatabase(const dao::WorkspacePtr& admin) {
        addUser(admin, "boss", "boss-pid", "boss1");
        join(admin, "boss", "Admins");
        boss = login("boss", "boss1");
        mdb = dir.file("secured.mdb");
        auto db = boss->CreateDatabase(mdb, "4.0");
        for (const char* t : {"Orders", "Prices"})
            db->CreateDocument("Tables", t);
        for (const char* f : {"frmA", "frmB"})
            db->CreateDocument("Forms", f);
        auto containers = db->Containers();
        for (int i = 0; i < containers->Count(); ++i) {
            auto c = containers->Item(dao::Variant(std::int32_t(i)));
            c->SetUserName("Users");
            c->SetPermissions(0);
            auto docs = c->Documents();
            for (int k = 0; k < docs->Count(); ++k) {
                auto d = docs->Item(dao::Variant(std::int32_t(k)));
                if (d->Name().rfind("MSys", 0) == 0 && c->Name() == "Tables") continue;
                d->SetUserName("Users");
                d->SetPermissions(d->Name() == "MSysDb" ? kDBOpen : 0);
            }
        }
        auto aces = object(db, "Tables", "MSysACEs");
        aces->SetUserName("Admins");
        aces->SetPermissions(aces->Permissions() | kTableRead);
        return db;
    }
    dao::WorkspacePtr boss;
    std::string mdb;
};

TEST_F(Findings, EachKindOfWeaknessOnOwnFiles) {
    auto admin = login();
    // Secured with nothing planted: only admin's empty password and membership of Admins remain.
    auto db = securedDatabase(admin);
    EXPECT_EQ(lines(findingsOf(boss, db)),
              (Strings{"high|workgroup file|'admin' is a member of Admins and has no password.",
                       "medium|workgroup file|admin is still a member of Admins."}));
    EXPECT_EQ(findingsOf(boss, db).Verdict, "Secured by this workgroup; 1 high finding, 1 medium, 0 low.");

    grant(db, "Tables", "Orders", "Users", kTableEdit);
    grant(db, "Tables", "Prices", "Users", kTableRead);
    object(db, "Forms", "frmA")->SetOwner("admin");
    grant(db, "Tables", "Prices", "admin", kTableRead);
    addUser(boss, "temp", "temp-pid");
    addUser(boss, "gone", "gone-pid", "g1");
    grant(db, "Tables", "Orders", "gone", kTableAll);
    object(db, "Forms", "frmB")->SetOwner("gone");
    boss->Users()->Delete("gone");
    const std::string gone = dao::engine::accountSid("gone", "gone-pid").hex();

    const TFindingsResult r = findingsOf(boss, db);
    const std::string goneSid = gone.substr(0, 8) + "\u2026 (" + std::to_string(gone.size() / 2) +
                                " bytes, an account of another workgroup, or a deleted one)";
    EXPECT_EQ(
        lines(r),
        (Strings{
            "high|Tables \\ Orders|The Users group holds ReadDef, RetrieveData, InsertData, ReplaceData.",
            "high|workgroup file|'admin' is a member of Admins and has no password.",
            "medium|Tables \\ Prices|The Users group holds ReadDef, RetrieveData.",
            "medium|Forms|admin owns 1 object: Forms \\ frmA.",
            "medium|Tables|admin holds rights explicitly on 1 object: Tables \\ Prices (ReadDef, "
            "RetrieveData).",
            "medium|workgroup file|'temp' has no password.",
            "medium|workgroup file|admin is still a member of Admins.",
            "low|Tables \\ Orders|An entry of the unknown SID " + goneSid +
                " holds 000F4: ReadDef, RetrieveData, InsertData, ReplaceData, DeleteData.",
            "low|Forms \\ frmB|The owner of this object is no account of this workgroup (SID " + goneSid +
                ").",
        }));
    EXPECT_TRUE(r.Notes.empty());
    // A finding on an object leads to its row; one on the workgroup to none.
    EXPECT_EQ(r.Findings[0].Container, "Tables");
    EXPECT_EQ(r.Findings[0].Object, "Orders");
    EXPECT_EQ(r.Findings[0].Account, "Users");
    EXPECT_TRUE(r.Findings[1].Container.empty());
    EXPECT_EQ(r.Findings[7].Object, "Orders");
    // The mechanical fixes: rights removed, ownership given; none for the rest.
    auto fix = [&](std::size_t i) {
        std::string s = std::to_string(static_cast<int>(r.Findings[i].Fix));
        for (const TFixTarget& t : r.Findings[i].Targets)
            s += "|" + t.Container + "\\" + t.Object + (t.ContainerRow ? "*" : "");
        return s;
    };
    EXPECT_EQ((Strings{fix(0), fix(1), fix(3), fix(4), fix(7), fix(8)}),
              (Strings{"1|Tables\\Orders", "0", "2|Forms\\frmA", "1|Tables\\Prices", "0", "0"}));
    EXPECT_EQ(r.Findings[0].Action.rfind("On the Permissions tab", 0), 0u);
    EXPECT_EQ(r.Findings[7].Sid, gone); // in full beside the short form
    EXPECT_EQ(r.Verdict, "Not secured: anyone with any workgroup file can open it and change data (the Users "
                         "group holds rights that change data, design or security on 1 object). 2 high "
                         "findings, 5 medium, 2 low.");
}

TEST_F(Findings, DatabaseOfAdminAndWhatALoginCannotRead) {
    auto admin = login();
    addUser(admin, "clerk", "clerk-pid", "c1");
    const std::string path = dir.file("plain.mdb");
    admin->CreateDatabase(path, "4.0");
    {
        auto db = open(admin, path);
        const TFindingsResult r = findingsOf(admin, db);
        EXPECT_TRUE(has(lines(r), "high|Databases \\ MSysDb|The database (MSysDb) is owned by admin."));
        EXPECT_EQ(r.Verdict.rfind("Not secured: ", 0), 0u) << r.Verdict;
        // Nobody may read MSysACEs of a new database: the orphans are a note, not facts.
        ASSERT_EQ(r.Notes.size(), 1u);
        EXPECT_EQ(r.Notes[0].rfind("Orphan permissions and unknown owners were not checked: ", 0), 0u)
            << r.Notes[0];
    }
    // A user outside Admins may not ask for the passwords either.
    auto clerk = login("clerk", "c1");
    const TFindingsResult r = findingsOf(clerk, open(clerk, path));
    ASSERT_EQ(r.Notes.size(), 2u);
    EXPECT_EQ(r.Notes[1].rfind("Passwords were not checked: ", 0), 0u) << r.Notes[1];
    // Who is in Admins is no secret, though.
    EXPECT_TRUE(has(lines(r), "medium|workgroup file|admin is still a member of Admins."));
}

// ContourBL.mdb's MSysACEs rows of Users (SID 0201): FFFFF on the Forms, Modules, Relationships,
// Reports, Scripts, SysRel and Tables containers and on the tables Block Code and Block List; 0000E on
// MSysDb, 10000 on SummaryInfo and UserDefined, 000F4 on MSysModules2, 00014 on three system tables
// (read rights, no finding). Its objects belong to CONTOURCDU, not admin, and no SID is unknown.
TEST_F(Findings, GenuinePairShowsTheUsersGroupsRights) {
    const std::string samples = KEYLOUPE_JET_SAMPLES;
    if (!std::filesystem::exists(samples + "/system.mdw") ||
        !std::filesystem::exists(samples + "/ContourBL.mdb"))
        GTEST_SKIP() << "the genuine Jet samples system.mdw and ContourBL.mdb are not at " << samples;
    mdw = samples + "/system.mdw";
    auto ws = login();
    auto db = open(ws, samples + "/ContourBL.mdb", false, true);
    const TFindingsResult r = findingsOf(ws, db);
    const std::string all = "Create, Delete, ReadSec, WriteSec, WriteOwner, ";
    EXPECT_EQ(
        lines(r),
        (Strings{
            "high|Databases \\ MSysDb|The Users group holds DBOpen, DBExclusive, DBAdmin.",
            "high|Databases \\ SummaryInfo|The Users group holds Delete.",
            "high|Databases \\ UserDefined|The Users group holds Delete.",
            "high|Forms (container)|The Users group holds " + all +
                "FrmRptReadDef, FrmRptWriteDef, FrmRptExecute.",
            "high|Modules (container)|The Users group holds " + all + "ModReadDef, ModWriteDef.",
            "high|Relationships (container)|The Users group holds Create, Delete, ReadSec, WriteSec, "
            "WriteOwner.",
            "high|Reports (container)|The Users group holds " + all +
                "FrmRptReadDef, FrmRptWriteDef, FrmRptExecute.",
            "high|Scripts (container)|The Users group holds " + all + "MacReadDef, MacWriteDef, MacExecute.",
            "high|SysRel (container)|The Users group holds Create, Delete, ReadSec, WriteSec, WriteOwner.",
            "high|Tables (container)|The Users group holds " + all +
                "ReadDef, WriteDef, RetrieveData, InsertData, ReplaceData, DeleteData.",
            "high|Tables \\ Block Code|The Users group holds " + all +
                "ReadDef, WriteDef, RetrieveData, InsertData, ReplaceData, DeleteData.",
            "high|Tables \\ Block List|The Users group holds " + all +
                "ReadDef, WriteDef, RetrieveData, InsertData, ReplaceData, DeleteData.",
            "high|Tables \\ MSysModules2|The Users group holds ReadDef, RetrieveData, InsertData, "
            "ReplaceData, DeleteData.",
        }));
    ASSERT_EQ(r.Notes.size(), 1u);
    EXPECT_EQ(r.Notes[0].rfind("Passwords were not checked: ", 0), 0u) << r.Notes[0];
    // Nothing can be changed here: each finding says to plan its fix in a sandbox.
    for (const TFinding& f : r.Findings) {
        EXPECT_EQ(f.Action.rfind("Plan the change in a sandbox (File > \"Plan Changes in a Sandbox...\")", 0),
                  0u)
            << f.Action;
        EXPECT_EQ(f.Fix, TFixKind::RemoveRights);
    }
    EXPECT_TRUE(r.Findings[3].Targets.at(0).ContainerRow);
}

// nwind.mdb with the default workgroup Database41-System.mdw: the Users group holds everything, and
// 104 entries belong to the Admins groups of two other workgroups (SIDs of 102 bytes).
TEST_F(Findings, GenuineNorthwindHasAVerdictAndReadableSids) {
    const std::string samples = KEYLOUPE_JET_SAMPLES;
    if (!std::filesystem::exists(samples + "/Database41-System.mdw") ||
        !std::filesystem::exists(samples + "/nwind.mdb"))
        GTEST_SKIP() << "the genuine Jet samples Database41-System.mdw and nwind.mdb are not at " << samples;
    mdw = samples + "/Database41-System.mdw";
    auto ws = login();
    const TFindingsResult r = findingsOf(ws, open(ws, samples + "/nwind.mdb", false, true));
    EXPECT_EQ(r.Verdict, "Not secured: anyone with any workgroup file can open it and change data (the Users "
                         "group holds rights that change data, design or security on 99 objects). 25 high "
                         "findings, 18 medium, 18 low.");
    std::set<std::string> shortForms, sids;
    for (const TFinding& f : r.Findings) {
        if (f.Severity != TSeverity::Low) continue;
        ASSERT_EQ(f.Sid.size(), 204u) << f.What;
        EXPECT_EQ(f.What.find(f.Sid.substr(0, 12)), std::string::npos) << f.What; // never in full
        shortForms.insert(f.What.substr(0, f.What.find(')') + 1));
        sids.insert(f.Sid);
    }
    EXPECT_EQ(sids.size(), 2u);
    EXPECT_EQ(
        shortForms,
        (std::set<std::string>{
            "An entry of the unknown SID 01DB8793\u2026 (102 bytes, an Admins group of another workgroup)",
            "An entry of the unknown SID 01C55432\u2026 (102 bytes, an Admins group of another workgroup)",
            "Entries of the unknown SID 01DB8793\u2026 (102 bytes, an Admins group of another workgroup)"}));
    EXPECT_EQ(SidKind(dao::kAccessDefaultAdminsSid), "the Admins group of Access's default workgroup");
}

} // namespace
