// Damaged copies of the genuine Jet samples, made here: each is refused with a message naming the file,
// or read with what could not be read reported. And the reader child's own safety.
#include "support/EngineTest.h"

#include "dao/AuditFacts.h"
#include "dao/audit/JetPages.h"
#include "dao/audit/MdbReader.h"
#include "dao/audit/SidMask.h"

#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace kltest;
using dao::Variant;

std::string sample(const std::string& name) {
    return std::string(KEYLOUPE_JET_SAMPLES) + "/" + name;
}

// The header's code page of Jet 3 text (at 0x3C of the header, which is RC4-encoded from 0x18).
void setCodePage(std::string& file, std::uint16_t codePage) {
    const std::string stream = dao::audit::rc4Keystream(std::string_view("\xC7\xDA\x39\x6B", 4), 0x3E - 0x18);
    file[0x3C] = static_cast<char>((codePage & 0xFF) ^ static_cast<unsigned char>(stream[0x3C - 0x18]));
    file[0x3D] = static_cast<char>((codePage >> 8) ^ static_cast<unsigned char>(stream[0x3D - 0x18]));
}

void setLe32(std::string& file, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        file[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

class AuditDamageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(sample("system.mdw")))
            GTEST_SKIP() << "the genuine Jet samples are not at " << KEYLOUPE_JET_SAMPLES;
        dao::registerEngineClasses();
    }
    // A damaged copy of a sample in the test's folder.
    std::string copy(const std::string& name, const std::function<void(std::string&)>& damage) {
        std::string bytes = readBytes(sample(name));
        damage(bytes);
        const std::string path = dir.file("damaged-" + name);
        writeBytes(path, bytes);
        return path;
    }
    static dao::WorkspacePtr login(const std::string& mdw, const std::string& user = "admin") {
        return loginTo(mdw, user, "", dao::CLSID_PrivDBEngine36);
    }
    static dao::DatabasePtr open(const dao::WorkspacePtr& ws, const std::string& mdb) {
        return ws->OpenDatabase(mdb, Variant(), Variant(), Variant());
    }
    TempDir dir;
};

TEST_F(AuditDamageTest, DamagedFilesAreRefusedNamingTheFile) {
    struct Case {
        const char* file;     // the damaged one
        const char* database; // opened with it, when file is the workgroup
        const char* user;
        std::function<void(std::string&)> damage;
        std::int32_t error;
        std::string says;
    };
    const std::vector<Case> cases = {
        // One bit of a Jet 4 header: every SID decodes to nothing.
        {"testV2003.mdb", nullptr, "admin", [](std::string& f) { f[0x52] ^= 0x40; }, dao::errNotDatabaseFile,
         "it is damaged (not one of its access control entries names a built-in or known account"},
        {"testV1997.mdb", nullptr, "admin", [](std::string& f) { f += "x"; }, dao::errNotDatabaseFile,
         "it is truncated (its size, 118785 bytes, is not a whole number of its 2048-byte pages)"},
        // The catalogue's data page (18) is gone: found before libmdb reads anything.
        {"testV1997.mdb", nullptr, "admin", [](std::string& f) { f.resize(10 * 2048); },
         dao::errNotDatabaseFile,
         "it is truncated (a page of the catalogue is page 18, but it has only 10 pages)"},
        // A long value of the catalogue (page 57) is gone: libmdb's first read past the end stops it.
        {"testV1997.mdb", nullptr, "admin", [](std::string& f) { f.resize(49 * 2048); },
         dao::errNotDatabaseFile,
         "it is truncated (its catalogue refers to page 57, but it has only 49 pages)"},
        // The Admins row of a workgroup file.
        {"Database41-System.mdw", "Database41.mdb", "admin",
         [](std::string& f) { setJetPageByte(f, 26, 4094, 0xFF); }, dao::errSystemDbMissing,
         "it is damaged (the built-in accounts every workgroup file holds are missing: Admins)"},
        // The row of the account that logs in.
        {"system.mdw", "ContourBL.mdb", "Contour", [](std::string& f) { setJetPageByte(f, 28, 1855, 0xFF); },
         dao::errBadLogin, "is damaged: 1 row of its accounts (MSysAccounts) could not be read."},
    };
    for (const Case& c : cases) {
        const std::string damaged = copy(c.file, c.damage);
        const bool workgroup = c.database != nullptr;
        try {
            open(login(workgroup ? damaged : sample("Database41-System.mdw"), c.user),
                 workgroup ? sample(c.database) : damaged);
            ADD_FAILURE() << c.says << ": the damaged copy was read";
        } catch (const dao::DaoError& e) {
            EXPECT_EQ(e.number(), c.error) << e.description();
            EXPECT_NE(e.description().find(c.says), std::string::npos) << e.description();
            if (c.error != dao::errBadLogin)
                EXPECT_NE(e.description().find("'" + damaged + "'"), std::string::npos) << e.description();
            else
                EXPECT_NE(e.description().find("'" + damaged + "' is damaged"), std::string::npos);
        }
    }
}

// A row that sends libmdb allocating without end: the memory limit stops it (the processor-time limit is
// set far off here), and the first lines it wrote are in the error.
TEST_F(AuditDamageTest, AReaderThatFailsSaysWhy) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the reader has no memory limit under AddressSanitizer";
#endif
    const std::string path = copy("testV1997.mdb", [](std::string& f) { f[0xA7D6] = 0; });
    try {
        dao::audit::readJetTables(path, {{"MSysObjects", {"Id"}}}, std::chrono::seconds(600));
        ADD_FAILURE() << "the damaged copy was read";
    } catch (const std::runtime_error& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("it is damaged (reading its catalogue stopped at a fault, signal "),
                  std::string::npos)
            << what;
        EXPECT_NE(what.find("(the reader said: "), std::string::npos) << what;
    }
}

TEST_F(AuditDamageTest, WhatCannotBeReadIsReportedAndTextDecodedInTheHeadersCodePage) {
    auto ws = login(sample("Database41-System.mdw"));
    // A row of MSysACEs libmdb cannot decode.
    const std::string unreadAce = copy("testV1997.mdb", [](std::string& f) { f[19 * 2048 + 2044] = '\xFF'; });
    auto facts = dao::ReadCatalogueFacts(open(ws, unreadAce));
    ASSERT_EQ(facts.unread.size(), 1u);
    EXPECT_EQ(facts.unread[0], "The database '" + unreadAce +
                                   "' is damaged: 1 row of its permissions (MSysACEs) could not be read.");

    // A data page of MSysACEs that names another table as its own: libmdb skips its rows.
    const std::string strayPage = copy("testV1997.mdb", [](std::string& f) { f[19 * 2048 + 4] = 9; });
    facts = dao::ReadCatalogueFacts(open(ws, strayPage));
    ASSERT_EQ(facts.unread.size(), 1u);
    EXPECT_EQ(facts.unread[0], "The database '" + strayPage +
                                   "' is damaged: 1 page of its permissions (MSysACEs) could not be read.");

    // An entry on the Tables container's id now names an object that does not exist.
    const std::string missing =
        copy("testV1997.mdb", [](std::string& f) { setLe32(f, 19 * 2048 + 1974, 0x0F00ABCD); });
    facts = dao::ReadCatalogueFacts(open(ws, missing));
    ASSERT_EQ(facts.unread.size(), 1u);
    EXPECT_NE(facts.unread[0].find("1 access control entry is on objects that do not exist"),
              std::string::npos);
    const auto entry =
        std::find_if(facts.orphanEntries.begin(), facts.orphanEntries.end(),
                     [](const dao::SecurityEntry& e) { return e.object == "(object 251702221)"; });
    ASSERT_NE(entry, facts.orphanEntries.end());
    EXPECT_EQ(entry->container, "");
    EXPECT_TRUE(dao::ReadCatalogueFacts(open(ws, sample("testV1997.mdb"))).unread.empty());

    // "Table1" with its first byte 0x80: the Euro sign in code page 1252, Ђ in 1251.
    for (const auto& [codePage, name] : {std::pair<std::uint16_t, std::string>{1252, "\xE2\x82\xAC"
                                                                                     "able1"},
                                         std::pair<std::uint16_t, std::string>{1251, "\xD0\x82"
                                                                                     "able1"}}) {
        const std::string path = copy("testV1997.mdb", [&](std::string& f) {
            f[37785] = '\x80';
            setCodePage(f, codePage);
        });
        auto tables = open(ws, path)->Containers()->Item(Variant("Tables"));
        EXPECT_EQ(tables->Documents()->Item(Variant(name))->Name(), name) << codePage;
    }
}

// The reader child's first steps: it dies with the process that started it, and cannot map more than
// its budget. Forked here, with this process as the reaper of orphans so that it sees the grandchild end.
TEST(AuditReaderChild, DiesWithItsParentAndHasAMemoryLimit) {
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t parent = ::fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        const pid_t me = ::getpid();
        const pid_t reader = ::fork();
        if (reader == 0) {
            if (!dao::audit::bindReaderToParent(me)) _exit(9);
            for (;;)
                ::pause();
        }
        [[maybe_unused]] auto n = ::write(fds[1], &reader, sizeof reader);
        for (;;)
            ::pause();
    }
    pid_t reader = -1;
    ASSERT_EQ(::read(fds[0], &reader, sizeof reader), static_cast<ssize_t>(sizeof reader));
    ::close(fds[0]);
    ::close(fds[1]);
    ::usleep(100 * 1000); // let the reader ask for its signal
    ::kill(parent, SIGKILL);
    int status = 0;
    ::waitpid(parent, &status, 0);
    pid_t ended = 0;
    for (int i = 0; i < 300 && ended == 0; ++i) { // a hang guard only: the signal comes at once
        ended = ::waitpid(reader, &status, WNOHANG);
        if (ended == 0) ::usleep(100 * 1000);
    }
    if (ended == 0) {
        ::kill(reader, SIGKILL);
        ::waitpid(reader, &status, 0);
        ADD_FAILURE() << "the reader outlived its parent";
    } else {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);

#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the reader has no memory limit under AddressSanitizer";
#endif
    const pid_t limited = ::fork();
    if (limited == 0) {
        dao::audit::limitReaderMemory(1u << 20);
        const std::size_t over = dao::audit::readerMemoryBudget(1u << 20) + (64u << 20);
        void* p = ::mmap(nullptr, over, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        _exit(p == MAP_FAILED ? 0 : 1);
    }
    ::waitpid(limited, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "mapped past the reader's budget";
}

} // namespace
