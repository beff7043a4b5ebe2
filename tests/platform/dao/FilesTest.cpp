// Files that are not the engine's own, or not in a format it reads, are refused with an error that
// names them, and are never written to.
#include "support/EngineTest.h"

#include <sqlite3.h>
#include <sys/stat.h>

using namespace kltest;
using dao::Variant;

namespace {

class BadFiles : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        good = makeDatabase("good.mdb");
    }

    // Writes the bytes as path, then checks that opening it as a database and as a workgroup file both
    // fail with the expected numbers and the file name, leaving the bytes as they were.
    void expectRefused(const std::string& name, const std::string& bytes, int dbError, int wgError) {
        const std::string path = dir.file(name);
        writeBytes(path, bytes);
        try {
            open(admin, path);
            ADD_FAILURE() << name << " opened as a database";
        } catch (const dao::DaoError& e) {
            EXPECT_EQ(e.number(), dbError) << name << ": " << e.description();
            EXPECT_NE(e.description().find(name), std::string::npos) << e.description();
        }
        auto e = engine();
        e->SetSystemDB(path);
        try {
            e->CreateWorkspace("ws", "admin", "", Variant());
            ADD_FAILURE() << name << " opened as a workgroup file";
        } catch (const dao::DaoError& err) {
            EXPECT_EQ(err.number(), wgError) << name;
            EXPECT_NE(err.description().find(name), std::string::npos) << err.description();
        }
        EXPECT_EQ(readBytes(path), bytes) << name << " was changed";
        EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    }

    // The bytes of the good database with a big-endian 32-bit value patched in at offset.
    std::string patched(std::size_t offset, std::uint32_t value) {
        std::string bytes = readBytes(good);
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<char>(value >> (24 - 8 * i));
        return bytes;
    }

    std::string good;
};

} // namespace

TEST_F(BadFiles, MissingFileAndDirectory) {
    EXPECT_EQ(daoErrorOf([&] { open(admin, dir.file("none.mdb")); }), dao::errFileNotFound);
    std::filesystem::create_directory(dir.file("folder.mdb"));
    EXPECT_EQ(daoErrorOf([&] { open(admin, dir.file("folder.mdb")); }), dao::errNotDatabaseFile);
    auto e = engine();
    e->SetSystemDB(dir.file("folder.mdb"));
    EXPECT_EQ(daoErrorOf([&] { e->CreateWorkspace("ws", "admin", "", Variant()); }), dao::errSystemDbMissing);
}

TEST_F(BadFiles, EmptyTextAndTruncatedFiles) {
    expectRefused("empty.mdb", "", dao::errNotDatabaseFile, dao::errSystemDbMissing);
    expectRefused("text.mdb", "Name,Value\r\nadmin,1\r\n", dao::errNotDatabaseFile, dao::errSystemDbMissing);
    const std::string bytes = readBytes(good);
    ASSERT_GT(bytes.size(), 8192u);
    expectRefused("half.mdb", bytes.substr(0, bytes.size() / 2), dao::errNotDatabaseFile,
                  dao::errSystemDbMissing);
    expectRefused("header.mdb", bytes.substr(0, 60), dao::errNotDatabaseFile, dao::errSystemDbMissing);
}

TEST_F(BadFiles, OtherSqliteFilesAndTheOtherKind) {
    expectRefused("foreign.mdb", patched(68, 0x12345678), dao::errNotDatabaseFile, dao::errSystemDbMissing);
    expectRefused("plain.mdb", patched(68, 0), dao::errNotDatabaseFile, dao::errSystemDbMissing);
    // A workgroup file is not a database, and a database is not a workgroup file.
    EXPECT_EQ(daoErrorOf([&] { open(admin, mdw); }), dao::errNotDatabaseFile);
    auto e = engine();
    e->SetSystemDB(good);
    EXPECT_EQ(daoErrorOf([&] { e->CreateWorkspace("ws", "admin", "", Variant()); }), dao::errSystemDbMissing);
}

TEST_F(BadFiles, NewerFormatIsRefused) {
    expectRefused("newer.mdb", patched(60, 3), dao::errUnrecognizedFormat, dao::errSystemDbMissing);
    const std::string wgBytes = readBytes(mdw);
    std::string newerWg = wgBytes;
    newerWg[63] = 9;
    const std::string path = dir.file("newer.mdw");
    writeBytes(path, newerWg);
    auto e = engine();
    e->SetSystemDB(path);
    EXPECT_EQ(daoErrorOf([&] { e->CreateWorkspace("ws", "admin", "", Variant()); }), dao::errSystemDbMissing);
    EXPECT_EQ(readBytes(path), newerWg);
}

TEST_F(BadFiles, ExistingFilesAreNeverOverwrittenByCreation) {
    const std::string path = dir.file("keep.mdw");
    writeBytes(path, "precious");
    EXPECT_EQ(daoErrorOf([&] { dao::CreateWorkgroupFile(path, "n", "o", "wid1"); }), dao::errDatabaseExists);
    EXPECT_EQ(daoErrorOf([&] { admin->CreateDatabase(path, "4.0"); }), dao::errDatabaseExists);
    EXPECT_EQ(readBytes(path), "precious");
}

TEST_F(BadFiles, AGoodDatabaseStillOpensAfterAllThat) {
    EXPECT_EQ(open(admin, good)->Version(), "4.0");
}

// A database copied with its write-ahead log while open, as a crash leaves it: the newest pages are in
// the log only. Refusals, before or after SQLite has opened the file, leave both files as they were.
TEST_F(BadFiles, ALogBesideTheFileNeitherHidesDamageNorIsWrittenOnRefusal) {
    addUser(admin, "vera", "pid-vera", "v");
    {
        auto db = open(admin, good);
        for (int i = 0; i < 300; ++i)
            db->CreateDocument("Forms", "Form" + std::to_string(i));
        auto msysDb = db->Containers()->Item("Databases")->Documents()->Item("MSysDb");
        msysDb->SetUserName("Users");
        msysDb->SetPermissions(0); // vera may not open it
    }
    const std::string main = readBytes(good);
    ASSERT_GT(main.size(), 49152u);
    std::string log;
    {
        auto db = open(admin, good);
        db->CreateDocument("Reports", "Late");
        log = readBytes(good + "-wal");
    }
    ASSERT_GT(log.size(), 0u);
    auto place = [&](const std::string& name, const std::string& bytes) {
        const std::string path = dir.file(name);
        writeBytes(path, bytes);
        writeBytes(path + "-wal", log);
        return path;
    };
    auto unchanged = [&](const std::string& path, const std::string& bytes) {
        EXPECT_TRUE(readBytes(path) == bytes) << path << " was changed";
        EXPECT_TRUE(readBytes(path + "-wal") == log) << path << "-wal was changed";
    };

    const std::string truncated = place("truncated.mdb", main.substr(0, 32768));
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            open(admin, truncated);
            ADD_FAILURE() << "the truncated database opened";
        } catch (const dao::DaoError& e) {
            EXPECT_EQ(e.number(), dao::errNotDatabaseFile);
            EXPECT_NE(e.description().find("truncated.mdb' is damaged or truncated"), std::string::npos)
                << e.description();
        }
    }
    unchanged(truncated, main.substr(0, 32768));
    EXPECT_FALSE(std::filesystem::exists(truncated + "-shm"));

    // Refused after the open (no DBOpen): the log is not checkpointed into the file.
    const std::string crashed = place("crashed.mdb", main);
    EXPECT_EQ(daoErrorOf([&] { open(login("vera", "v"), crashed); }), dao::errNoPermission);
    unchanged(crashed, main);

    // Complete with its log, the same files open and show the last change.
    EXPECT_EQ(open(admin, crashed)->Containers()->Item("Reports")->Documents()->Item("Late")->Name(), "Late");
    EXPECT_EQ(open(admin, crashed)->Containers()->Item("Forms")->Documents()->Count(), 300);

    // A file shorter than its header says opens when its log holds every missing page: VACUUM writes
    // all pages into the log, so the file may lose everything after page 2.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(good.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "PRAGMA wal_autocheckpoint=0; VACUUM", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::string inLog = dir.file("inlog.mdb");
    writeBytes(inLog, readBytes(good).substr(0, 2 * 4096));
    writeBytes(inLog + "-wal", readBytes(good + "-wal"));
    sqlite3_close(raw);
    EXPECT_EQ(open(admin, inLog)->Containers()->Item("Forms")->Documents()->Count(), 300);
}

// Every failure to use a workgroup file, at the login or later, says so in the same words and names it.
TEST_F(BadFiles, ADamagedWorkgroupPageIsToldLikeEveryOtherUnusableFile) {
    const std::string clean = dir.file("clean.mdw");
    dao::CreateWorkgroupFile(clean, "Damaged", "Org", "wid-5555");
    const std::string bytes = readBytes(clean);
    const std::size_t pageSize = 4096;
    ASSERT_EQ(bytes.size() % pageSize, 0u);
    int refused = 0;
    for (std::size_t page = 1; page < bytes.size() / pageSize; ++page) {
        const std::string path = dir.file("page" + std::to_string(page) + ".mdw");
        std::string damaged = bytes;
        std::fill(damaged.begin() + page * pageSize, damaged.begin() + (page + 1) * pageSize, '\xA5');
        writeBytes(path, damaged);
        auto e = engine();
        e->SetSystemDB(path);
        try {
            auto ws = e->CreateWorkspace("ws", "admin", "", Variant());
            ws->Users()->Count();
            addUser(ws, "newbie", "pid-newbie");
            join(ws, "newbie", "Admins");
        } catch (const dao::DaoError& err) {
            ++refused;
            if (err.number() == dao::errBadLogin) continue; // the accounts' index no longer finds admin
            EXPECT_EQ(err.number(), dao::errSystemDbMissing) << err.description();
            EXPECT_EQ(err.description().rfind("Cannot use the workgroup information file: '" + path + "'", 0),
                      0u)
                << err.description();
        }
    }
    EXPECT_GT(refused, 0);
}
