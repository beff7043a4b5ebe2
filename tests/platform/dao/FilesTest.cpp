// Files that are not the engine's own, or not in a format it reads, are refused with an error that
// names them, and are never written to.
#include "EngineFixture.h"

#include <sys/stat.h>

using namespace enginetest;
using dao::Variant;

namespace {

class BadFiles : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        admin = login();
        good = dir.file("good.mdb");
        admin->CreateDatabase(good, "4.0");
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

    dao::WorkspacePtr admin;
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
    expectRefused("newer.mdb", patched(60, 2), dao::errUnrecognizedFormat, dao::errSystemDbMissing);
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
