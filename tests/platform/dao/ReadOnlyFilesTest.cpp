// Database and workgroup files the user may read but not write (a read-only folder or mount, another
// user's files): they open read-only, every view works, every write fails with errReadOnly, and the
// open leaves no side file of the viewing user behind. Run as root, the viewer is the user nobody.
#include "support/EngineTest.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <sstream>

using namespace kltest;
using dao::Variant;

namespace {

constexpr uid_t kNobody = 65534;

class ReadOnlyFiles : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        mdb = dir.file("shop.mdb");
        auto admin = login();
        addUser(admin, "reader", "pid-reader", "r");
        auto db = admin->CreateDatabase(mdb, "4.0");
        db->CreateDocument("Forms", "Orders");
        grant(db, "Forms", "Orders", "reader", 0x100);
        grant(db, "Tables", "MSysACEs", "Users", 0x14); // the statistics may be read
    }

    // The files in the folder with their owners.
    std::map<std::string, uid_t> listing() const {
        std::map<std::string, uid_t> out;
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::path(mdw).parent_path())) {
            struct stat st {};
            ::stat(entry.path().c_str(), &st);
            out[entry.path().filename().string()] = st.st_uid;
        }
        return out;
    }

    // Runs view as a user who may read but not write the files: as root in a child process of the user
    // nobody (folderWritable: the folder is open to everyone), else after taking the write bits away.
    // Returns what view reported as wrong.
    std::string asViewer(bool folderWritable, const std::function<std::string()>& view) {
        const std::string folder = std::filesystem::path(mdw).parent_path().string();
        if (::geteuid() != 0) {
            std::vector<std::string> files;
            for (const auto& [name, owner] : listing())
                files.push_back(dir.file(name));
            for (const auto& f : files)
                ::chmod(f.c_str(), 0444);
            if (!folderWritable) ::chmod(folder.c_str(), 0555);
            std::string result = view();
            ::chmod(folder.c_str(), 0700);
            for (const auto& f : files)
                ::chmod(f.c_str(), 0644);
            return result;
        }
        ::chmod(folder.c_str(), folderWritable ? 0777 : 0755);
        int fds[2];
        if (::pipe(fds) != 0) return "pipe failed";
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            std::string result;
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                result = "could not become nobody";
            else
                result = view();
            if (::write(fds[1], result.data(), result.size()) < 0) result.clear();
            ::_exit(0);
        }
        ::close(fds[1]);
        std::string result;
        char buf[512];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
            result.append(buf, static_cast<std::size_t>(n));
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::chmod(folder.c_str(), 0700);
        if (!WIFEXITED(status)) result += "the viewer died; ";
        return result;
    }

    // Logs in as reader, reads everything and tries every kind of write.
    std::string viewAndTryWrites(int users) {
        std::ostringstream bad;
        auto expect = [&](bool ok, const std::string& what) {
            if (!ok) bad << what << "; ";
        };
        try {
            auto ws = login("reader", "r");
            expect(ws->Users()->Count() == users, "users: " + std::to_string(ws->Users()->Count()));
            auto db = open(ws, mdb);
            expect(!db->Updatable(), "the database is updatable");
            expect(explicitOf(db, "Forms", "Orders", "reader") == 0x100, "reader's permissions");
            expect(db->Containers()->Item("Forms")->Documents()->Count() == 1, "documents");
            auto stats = db->CreateQueryDef("", "SELECT Count(ACM) AS N FROM MSysACEs")
                             ->OpenRecordset(Variant(std::int32_t(dao::dbOpenDynaset)),
                                             Variant(std::int32_t(dao::dbConsistent | dao::dbSeeChanges)));
            expect(!stats->AtEOF() && stats->Field("N").toInt32() > 30, "statistics");
            auto readOnly = [&](const char* what, const std::function<void()>& write) {
                const int n = daoErrorOf(write);
                expect(n == dao::errReadOnly, std::string(what) + ": " + std::to_string(n));
            };
            readOnly("grant", [&] { grant(db, "Forms", "Orders", "reader", 0); });
            readOnly("owner", [&] { object(db, "Forms", "Orders")->SetOwner("reader"); });
            readOnly("create", [&] { db->CreateDocument("Forms", "New"); });
            readOnly("password", [&] { ws->Users()->Item("reader")->NewPassword("r", "s"); });
            auto asAdmin = login();
            readOnly("add user", [&] { addUser(asAdmin, "late", "pid-late"); });
            readOnly("join", [&] { join(asAdmin, "reader", "Admins"); });
            readOnly("delete", [&] { asAdmin->Users()->Delete("reader"); });
        } catch (const std::exception& e) {
            bad << "failed: " << e.what() << "; ";
        }
        return bad.str();
    }

    std::string mdb;
};

} // namespace

TEST_F(ReadOnlyFiles, FilesAtRestInAFolderTheUserCannotWrite) {
    const auto before = listing();
    const std::string mdwBytes = readBytes(mdw), mdbBytes = readBytes(mdb);
    EXPECT_EQ(asViewer(false, [&] { return viewAndTryWrites(4); }), "");
    EXPECT_EQ(listing(), before);
    EXPECT_TRUE(readBytes(mdw) == mdwBytes && readBytes(mdb) == mdbBytes);
}

TEST_F(ReadOnlyFiles, FilesInUseByAWriterInAFolderTheUserMayWrite) {
    // An administrator keeps the workgroup file open with a change still in its log.
    auto admin = login();
    addUser(admin, "fresh", "pid-fresh");
    auto db = open(admin, mdb);
    ASSERT_GT(std::filesystem::file_size(mdw + "-wal"), 0u);
    const auto before = listing();
    EXPECT_EQ(asViewer(true, [&] { return viewAndTryWrites(5); }), "");
    EXPECT_EQ(listing(), before); // no side file of the viewer's
}
