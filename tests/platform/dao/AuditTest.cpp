// The audit engine on the genuine Jet 3 and Jet 4 files in shared/jet-samples. Expected values were
// read from the files' raw rows with mdb-export, not from this engine.
#include "support/EngineTest.h"

#include "dao/audit/MdbReader.h"

#include <map>

#ifndef KEYLOUPE_JET_SAMPLES
#error "KEYLOUPE_JET_SAMPLES must name the folder of genuine Jet files"
#endif

namespace {

using namespace kltest;
using dao::Variant;

const std::vector<std::string> kSamples = {
    "ContourBL.mdb", "Database41-System.mdw", "Database41.mdb", "db-enc.mdb", "nwind.mdb",
    "system.mdw",    "testV1997.mdb",         "testV2003.mdb"};

std::string sample(const std::string& name) {
    return std::string(KEYLOUPE_JET_SAMPLES) + "/" + name;
}

class AuditTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const auto& f : kSamples)
            original()[f] = readBytes(sample(f));
    }
    // Whatever a test did, every genuine file is exactly as it was.
    static void TearDownTestSuite() {
        for (const auto& [f, bytes] : original())
            EXPECT_EQ(readBytes(sample(f)), bytes) << f << " changed";
        original().clear();
    }
    static std::map<std::string, std::string>& original() {
        static std::map<std::string, std::string> m;
        return m;
    }

    void SetUp() override {
        if (!std::filesystem::exists(sample("system.mdw")))
            GTEST_SKIP() << "the genuine Jet samples are not at " << KEYLOUPE_JET_SAMPLES;
        dao::registerEngineClasses();
    }

    static dao::WorkspacePtr login(const std::string& mdw, const std::string& user = "admin",
                                   const char* clsid = dao::CLSID_PrivDBEngine36) {
        auto e = com::createInstanceAs<dao::DBEngine>(clsid, dao::IID_DBEngine);
        e->SetSystemDB(mdw);
        return e->CreateWorkspace("ws", user, "not checked", Variant(std::int32_t(dao::dbUseJet)));
    }
    static dao::DatabasePtr open(const dao::WorkspacePtr& ws, const std::string& mdb) {
        return ws->OpenDatabase(mdb, Variant(), Variant(), Variant());
    }
    static std::int32_t count(const dao::DatabasePtr& db, const std::string& sql) {
        auto rs =
            db->CreateQueryDef("", sql)->OpenRecordset(Variant(std::int32_t(dao::dbOpenDynaset)), Variant());
        return rs->Field(Variant("CountOfACM")).toInt32();
    }
    static std::string names(const dao::DocumentsPtr& docs) {
        std::string s;
        for (std::int32_t i = 0; i < docs->Count(); ++i)
            s += docs->Item(Variant(i))->Name() + ";";
        return s;
    }
    // Permissions and AllPermissions of an account on a secured object.
    static std::pair<std::int32_t, std::int32_t> rights(dao::SecuredObject& o, const std::string& account) {
        o.SetUserName(account);
        return {o.Permissions(), o.AllPermissions()};
    }
};

const char* const kCountAll = "SELECT Count(MSysACEs.ACM) AS CountOfACM FROM MSysACEs";
const char* const kCountNonZero =
    "SELECT Count(MSysACEs.ACM) AS CountOfACM FROM MSysACEs WHERE (MSysACEs.ACM <> 0)";

TEST_F(AuditTest, Jet3PairReadsAccountsContainersDocumentsOwnersAndRights) {
    auto ws = login(sample("system.mdw"), "ADMIN");
    EXPECT_EQ(ws->UserName(), "admin");
    auto users = ws->Users();
    ASSERT_EQ(users->Count(), 7);
    EXPECT_EQ(users->Item(Variant(std::int32_t(0)))->Name(), "admin");
    EXPECT_EQ(users->Item(Variant(std::int32_t(2)))->Name(), "CONTOURCDU"); // case-insensitive order
    EXPECT_EQ(ws->Groups()->Count(), 2);
    EXPECT_EQ(ws->Groups()->Item(Variant("Users"))->Users()->Count(), 5);
    auto adminGroups = users->Item(Variant("admin"))->Groups();
    ASSERT_EQ(adminGroups->Count(), 2);
    EXPECT_EQ(adminGroups->Item(Variant(std::int32_t(0)))->Name(), "Admins");
    EXPECT_EQ(users->Item(Variant("Engine"))->Groups()->Count(), 0);

    auto db = open(ws, sample("ContourBL.mdb"));
    EXPECT_TRUE(db->AuditOnly());
    EXPECT_FALSE(db->Updatable());
    EXPECT_EQ(db->Version(), "3.0");
    EXPECT_EQ(db->CollatingOrder(), 1033);
    auto containers = db->Containers();
    ASSERT_EQ(containers->Count(), 8);
    EXPECT_EQ(containers->Item(Variant(std::int32_t(0)))->Name(), "Databases");
    EXPECT_EQ(containers->Item(Variant(std::int32_t(7)))->Name(), "Tables");

    auto tables = containers->Item(Variant("tables"));
    EXPECT_EQ(tables->Owner(), "Engine");
    EXPECT_EQ(names(tables->Documents()),
              "Block Code;Block List;MSysACEs;MSysModules;MSysModules2;MSysObjects;"
              "MSysQueries;MSysRelationships;");
    EXPECT_EQ(rights(*tables, "Creator"), std::make_pair(0xF00FE, 0xF00FE));
    tables->SetUserName("Creator");
    EXPECT_TRUE(tables->Inherit());
    EXPECT_EQ(rights(*tables, "Engine"), std::make_pair(0, 0));
    tables->SetUserName("Engine");
    EXPECT_FALSE(tables->Inherit());

    auto block = tables->Documents()->Item(Variant("Block Code"));
    EXPECT_EQ(block->Owner(), "CONTOURCDU");
    EXPECT_EQ(block->Container(), "Tables");
    EXPECT_EQ(rights(*block, "Contour"), std::make_pair(0, 0xFFFFF)); // through Users only
    EXPECT_EQ(rights(*block, "Users"), std::make_pair(0xFFFFF, 0xFFFFF));
    EXPECT_EQ(containers->Item(Variant("Databases"))->Documents()->Item(Variant("MSysDb"))->Owner(),
              "CONTOURCDU");
    EXPECT_EQ(daoErrorOf([&] { block->SetUserName("nobody"); }), dao::errNotValidAccount);

    EXPECT_EQ(count(db, kCountAll), 57);
    EXPECT_EQ(count(db, kCountNonZero), 54);
}

TEST_F(AuditTest, Jet4SidsAreUnmaskedAndEncodedPagesRead) {
    auto ws = login(sample("Database41-System.mdw"));
    auto db = open(ws, sample("Database41.mdb"));
    EXPECT_EQ(db->Version(), "4.0");
    auto containers = db->Containers();
    EXPECT_EQ(containers->Count(), 9);
    EXPECT_EQ(containers->Item(Variant("Tables"))->Owner(), "Engine");
    EXPECT_EQ(containers->Item(Variant("Databases"))->Documents()->Item(Variant("MSysDb"))->Owner(), "admin");
    auto forms = containers->Item(Variant("Forms"));
    EXPECT_EQ(rights(*forms, "Users"), std::make_pair(0xFFFFF, 0xFFFFF));
    EXPECT_TRUE(forms->Inherit());
    EXPECT_EQ(count(db, kCountAll), 97);

    auto enc = open(ws, sample("db-enc.mdb")); // RC4-encoded pages
    EXPECT_EQ(count(enc, kCountAll), 55);
    EXPECT_EQ(enc->Containers()->Item(Variant("Databases"))->Documents()->Item(Variant("MSysDb"))->Owner(),
              "admin");
}

TEST_F(AuditTest, Jet3TextArrivesAsUtf8AndForeignSidsAreUnknown) {
    auto ws = login(sample("Database41-System.mdw"));
    auto db = open(ws, sample("nwind.mdb"));
    auto tables = db->Containers()->Item(Variant("Tables"));
    EXPECT_EQ(tables->Documents()->Item(Variant("Ums\xC3\xA4tze"))->Owner(), "admin");
    EXPECT_EQ(count(db, kCountAll), 322);
    EXPECT_EQ(count(db, kCountNonZero), 319);
    // ContourBL read with a workgroup that does not know its owner CONTOURCDU.
    auto other = open(ws, sample("ContourBL.mdb"));
    EXPECT_EQ(other->Containers()->Item(Variant("Forms"))->Owner(), "<Unknown>");
    EXPECT_EQ(other->Containers()->Item(Variant("Tables"))->Owner(), "Engine");
}

TEST_F(AuditTest, EveryWriteIsRefusedAsReadOnly) {
    // Copies in a writable folder: no lock or side file may appear beside them.
    TempDir dir;
    for (const char* f : {"system.mdw", "ContourBL.mdb"})
        writeBytes(dir.file(f), readBytes(sample(f)));
    auto ws = login(dir.file("system.mdw"));
    auto db = open(ws, dir.file("ContourBL.mdb"));
    auto tables = db->Containers()->Item(Variant("Tables"));
    auto doc = tables->Documents()->Item(Variant(std::int32_t(0)));
    auto group = ws->Groups()->Item(Variant("Users"));
    const std::vector<std::function<void()>> writes = {
        [&] { tables->SetPermissions(0); },
        [&] { doc->SetPermissions(0xFFFFF); },
        [&] { doc->SetOwner("admin"); },
        [&] { tables->SetInherit(false); },
        [&] { ws->Users()->Append(ws->CreateUser(Variant("eve"), Variant("12345"), Variant(""))); },
        [&] { ws->Groups()->Delete("Users"); },
        [&] { ws->Users()->Delete("Contour"); },
        [&] { group->Users()->Append(group->CreateUser(Variant("Engine"), Variant(), Variant())); },
        [&] { group->Users()->Delete("Contour"); },
        [&] { ws->Users()->Item(Variant("admin"))->NewPassword("", "x"); },
        [&] { db->CreateDocument("Tables", "New"); },
        [&] { ws->CreateDatabase(sample("new.mdb"), "4.0"); },
    };
    for (std::size_t i = 0; i < writes.size(); ++i) {
        try {
            writes[i]();
            ADD_FAILURE() << "write " << i << " was not refused";
        } catch (const dao::DaoError& e) {
            EXPECT_EQ(e.number(), dao::errReadOnly) << i;
            EXPECT_NE(e.description().find("read-only for audit"), std::string::npos) << e.description();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(sample("new.mdb")));
    EXPECT_EQ(daoErrorOf([&] { db->CreateQueryDef("", "DELETE FROM MSysACEs"); }), dao::errNotSupported);
    db.reset();
    ws.reset();
    std::size_t entries = 0;
    for (const auto& e :
         std::filesystem::directory_iterator(std::filesystem::path(dir.file("x")).parent_path()))
        entries += e.exists() ? 1 : 0;
    EXPECT_EQ(entries, 2u);
    for (const char* f : {"system.mdw", "ContourBL.mdb"})
        EXPECT_EQ(readBytes(dir.file(f)), readBytes(sample(f)));
}

TEST_F(AuditTest, LoginsVersionsAndMixedPairsAreRefusedClearly) {
    EXPECT_EQ(daoErrorOf([&] { login(sample("system.mdw"), "nobody"); }), dao::errBadLogin);
    EXPECT_EQ(daoErrorOf([&] { login(sample("system.mdw"), "Admins"); }), dao::errBadLogin); // a group
    auto ws35 = login(sample("system.mdw"), "admin", dao::CLSID_PrivDBEngine35);
    EXPECT_EQ(daoErrorOf([&] { open(ws35, sample("Database41.mdb")); }), dao::errUnrecognizedFormat);
    EXPECT_EQ(open(ws35, sample("ContourBL.mdb"))->Version(), "3.0");
    EXPECT_EQ(daoErrorOf([&] { login(sample("Database41-System.mdw"), "admin", dao::CLSID_PrivDBEngine35); }),
              dao::errUnrecognizedFormat);

    TempDir dir;
    const std::string ownMdw = dir.file("own.mdw"), ownMdb = dir.file("own.mdb");
    dao::CreateWorkgroupFile(ownMdw, "Own", "Org", "wid-0001");
    auto e = com::createInstanceAs<dao::DBEngine>(dao::CLSID_PrivDBEngine36, dao::IID_DBEngine);
    e->SetSystemDB(ownMdw);
    auto own = e->CreateWorkspace("ws", "admin", "", Variant(std::int32_t(dao::dbUseJet)));
    own->CreateDatabase(ownMdb, "4.0");
    auto message = [](auto&& f) {
        try {
            f();
        } catch (const dao::DaoError& err) {
            return err.description();
        }
        return std::string("no error");
    };
    EXPECT_NE(message([&] { open(own, sample("ContourBL.mdb")); }).find("needs a genuine workgroup file"),
              std::string::npos);
    EXPECT_NE(
        message([&] { open(login(sample("system.mdw")), ownMdb); }).find("need its own workgroup files"),
        std::string::npos);

    std::string ace = readBytes(sample("testV1997.mdb")).substr(0, 8192);
    ace[0x14] = 2;
    writeBytes(dir.file("new.accdb"), ace);
    writeBytes(dir.file("notes.txt"), "just some text\n");
    EXPECT_NE(message([&] { open(own, dir.file("new.accdb")); }).find("have no user-level security"),
              std::string::npos);
    EXPECT_NE(
        message([&] { open(own, dir.file("notes.txt")); }).find("is not a Jet database or workgroup file"),
        std::string::npos);
    const std::string asWorkgroup = message([&] { login(dir.file("notes.txt")); });
    EXPECT_NE(asWorkgroup.find("Cannot use the workgroup information file: '" + dir.file("notes.txt") +
                               "' is not a Jet database or workgroup file."),
              std::string::npos)
        << asWorkgroup;
}

// Damaged copies of every sample: truncated, zeroed pages, a version byte that lies about the page size
// and random bytes in the catalogue's pages. Each must read or fail with a message; none may crash the
// caller or hang it past the reader's deadline.
TEST_F(AuditTest, DamagedCopiesFailCleanly) {
    TempDir dir;
    const std::vector<dao::audit::TableRequest> request = {
        {"MSysObjects", {"Id", "ParentId", "Name", "Type", "Owner"}},
        {"MSysACEs", {"ObjectId", "SID", "ACM", "FInheritable"}}};
    std::uint32_t seed = 12345;
    auto rnd = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    int failures = 0, reads = 0;
    for (const auto& name : kSamples) {
        const std::string data = readBytes(sample(name));
        const std::size_t page = data[0x14] == 0 ? 2048 : 4096;
        std::vector<std::string> variants;
        for (std::size_t n :
             {page / 2, page, 3 * page, 4 * page, data.size() / 2 / page * page, data.size() - page})
            variants.push_back(data.substr(0, n));
        for (std::size_t pg : {1, 2, 3}) {
            std::string d = data;
            std::fill(d.begin() + static_cast<long>(pg * page),
                      d.begin() + static_cast<long>((pg + 1) * page), '\0');
            variants.push_back(d);
        }
        variants.push_back(data);
        variants.back()[0x14] ^= 1;
        for (int k = 0; k < 4; ++k) {
            std::string d = data;
            for (int b = 0; b < 24; ++b)
                d[page + rnd() % (std::min(d.size(), 24 * page) - page)] = char(rnd());
            variants.push_back(d);
        }
        for (const auto& v : variants) {
            const std::string copy = dir.file("copy");
            writeBytes(copy, v);
            try {
                dao::audit::readJetTables(copy, request, std::chrono::seconds(5));
                ++reads;
            } catch (const std::runtime_error& e) {
                EXPECT_STRNE(e.what(), "");
                ++failures;
            }
            EXPECT_EQ(readBytes(copy), v);
        }
    }
    EXPECT_GT(failures, 40); // every truncation, zeroed catalogue and flipped version among them
    EXPECT_GT(reads, 0);

    // Through the engine a damaged database gives the usual error naming the file.
    writeBytes(dir.file("cut.mdb"), readBytes(sample("ContourBL.mdb")).substr(0, 3 * 2048));
    auto ws = login(sample("system.mdw"));
    try {
        open(ws, dir.file("cut.mdb"));
        ADD_FAILURE() << "a truncated database opened";
    } catch (const dao::DaoError& e) {
        EXPECT_EQ(e.number(), dao::errNotDatabaseFile);
        EXPECT_NE(e.description().find("Cannot open the database '" + dir.file("cut.mdb") + "'"),
                  std::string::npos);
    }
}

} // namespace
