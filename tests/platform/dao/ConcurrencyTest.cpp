// Two connections, and two processes, changing the same files at once lose nothing.
#include "support/EngineTest.h"

#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace kltest;
using dao::Variant;

namespace {

class Concurrency : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        mdb = makeDatabase("shared.mdb");
        auto db = open(admin, mdb);
        for (int i = 0; i < kObjects; ++i)
            db->CreateDocument("Forms", "F" + std::to_string(i));
    }

    // One writer: creates kAccounts users named prefix+i and grants each object a value for it, every
    // change through its own connection to both files, as Keyloupe's commands do.
    void writer(const std::string& prefix) {
        for (int i = 0; i < kAccounts; ++i) {
            auto ws = login();
            const std::string name = prefix + std::to_string(i);
            addUser(ws, name, "pid-" + name);
            auto db = open(ws, mdb);
            for (int k = 0; k < kObjects; ++k)
                grant(db, "Forms", "F" + std::to_string(k), name, 0x100 + i);
        }
    }

    void expectAllWritten(const std::vector<std::string>& prefixes) {
        auto ws = login();
        EXPECT_EQ(ws->Users()->Count(), 3 + kAccounts * static_cast<int>(prefixes.size()));
        auto db = open(ws, mdb);
        for (const auto& prefix : prefixes)
            for (int i = 0; i < kAccounts; ++i)
                for (int k = 0; k < kObjects; ++k)
                    EXPECT_EQ(explicitOf(db, "Forms", "F" + std::to_string(k), prefix + std::to_string(i)),
                              0x100 + i);
    }

    static constexpr int kAccounts = 4;
    static constexpr int kObjects = 5;
    std::string mdb;
};

} // namespace

TEST_F(Concurrency, TwoConnectionsWritingAtOnce) {
    std::thread a([&] { writer("a"); });
    std::thread b([&] { writer("b"); });
    a.join();
    b.join();
    expectAllWritten({"a", "b"});
}

TEST_F(Concurrency, TwoProcessesWritingAtOnce) {
    std::vector<pid_t> children;
    for (const char* prefix : {"p", "q"}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 0;
            try {
                writer(prefix);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "writer %s: %s\n", prefix, e.what());
                status = 1;
            }
            _exit(status);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    expectAllWritten({"p", "q"});
}

TEST_F(Concurrency, NoLockIsHeldBetweenCalls) {
    auto ws = login();
    auto db = open(ws, mdb);
    auto users = ws->Users();
    auto forms = db->Containers()->Item("Forms");
    forms->SetUserName("Users");
    EXPECT_EQ(forms->Permissions(), 0xFFFFF);
    // While those objects are held, neither file is locked: a write starts and a checkpoint completes
    // without waiting, and another connection writes both files.
    EXPECT_TRUE(fileIsIdle(mdw));
    EXPECT_TRUE(fileIsIdle(mdb));
    auto other = login();
    addUser(other, "writer", "pid-writer");
    grant(open(other, mdb), "Forms", "", "writer", 0x4);
    // The first connection still works and sees the change once it refreshes / reopens.
    users->Refresh();
    EXPECT_EQ(users->Count(), 4);
    EXPECT_EQ(explicitOf(open(ws, mdb), "Forms", "", "writer"), 0x4);
}
