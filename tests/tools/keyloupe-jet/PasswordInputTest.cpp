// New passwords kept off the command line: read from standard input, or typed at a prompt whose echo
// comes back whatever ends it.
#include "keyloupe-jet/JetTool.h"
#include "support/ToolRun.h"

#include <csignal>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace kltest;

namespace {

class PasswordInput : public TempDirTest {
protected:
    void SetUp() override { ASSERT_EQ(runTool({"create-workgroup", path("w.mdw")}).status, 0); }
    ToolResult as(const std::string& user, std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.end(), {"--workgroup", path("w.mdw"), "--user", user});
        return runTool(args, input);
    }
    bool logsIn(const std::string& user, const std::string& password) {
        return as(user, {"accounts", "--password", password}).status == 0;
    }
};

TEST_F(PasswordInput, NewPasswordsComeFromStandardInput) {
    struct Step {
        std::string user;
        std::vector<std::string> args;
        std::string input;
        std::string error; // empty when it must succeed
    };
    const Step steps[] = {
        {"admin", {"add-user", "bob", "bob-pid", "--new-password-stdin", "--password", ""}, "bob1\n", ""},
        {"bob", {"set-password", "--password-stdin"}, "bob1\nbob2\n", ""},
        {"bob", {"set-password", "--new-password-stdin", "--password-stdin"}, "bob2\nbob3", ""},
        {"bob",
         {"set-password", "--password", "bob3"},
         "",
         "--new-password-stdin: no password on standard input"},
        {"bob",
         {"set-password", "x", "--new-password-stdin", "--password", "bob3"},
         "y\n",
         "set-password: the new password is either an argument or read with --new-password-stdin, not both"},
        {"admin",
         {"add-user", "eve", "eve-pid", "e", "--new-password-stdin", "--password", ""},
         "y\n",
         "add-user: the new password is either an argument or read with --new-password-stdin, not both"},
    };
    for (const Step& s : steps) {
        const ToolResult r = as(s.user, s.args, s.input);
        EXPECT_EQ(r.status, s.error.empty() ? 0 : 1) << s.args.front() << r.err;
        EXPECT_EQ(r.err, s.error.empty() ? "" : "keyloupe-jet: " + s.error + "\n");
    }
    EXPECT_TRUE(logsIn("bob", "bob3"));
    EXPECT_FALSE(logsIn("bob", "bob2"));
    EXPECT_FALSE(logsIn("eve", ""));
}

TEST(PasswordHelp, HelpAndManPageSayWhichWaysAreSafe) {
    const std::string help = runTool({"--help"}).out;
    std::ifstream file(KEYLOUPE_JET_MAN_PAGE);
    std::stringstream man;
    man << file.rdbuf();
    for (const char* phrase :
         {"--password-stdin", "--new-password-stdin", "The safe ways are", "leading apostrophe"})
        EXPECT_NE(help.find(phrase), std::string::npos) << phrase;
    for (const char* phrase : {"\\-\\-password\\-stdin", "\\-\\-new\\-password\\-stdin", "The safe ways are",
                               "leading\napostrophe"})
        EXPECT_NE(man.str().find(phrase), std::string::npos) << phrase;
}

bool echoOn(int fd) {
    termios t{};
    return ::tcgetattr(fd, &t) == 0 && (t.c_lflag & ECHO) != 0;
}

// Reads from the terminal's master side until text has come, or the child has gone quiet for long.
bool waitFor(int master, const std::string& text) {
    std::string seen;
    char buffer[256];
    while (seen.find(text) == std::string::npos) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 30000) <= 0) return false;
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) return false;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

TEST_F(PasswordInput, APromptEndedByASignalGivesTheEchoBack) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        int master = -1, slave = -1;
        ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(master);
            ::setsid();
            ::ioctl(slave, TIOCSCTTY, 0);
            ::dup2(slave, STDIN_FILENO);
            ::dup2(slave, STDERR_FILENO);
            ::_exit(jettool::run({"accounts", "--workgroup", path("w.mdw")}, std::cout, std::cerr));
        }
        const bool prompted = waitFor(master, "Password for admin: ");
        const bool echoWhilePrompting = echoOn(slave);
        ::kill(child, signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(prompted) << signal;
        EXPECT_FALSE(echoWhilePrompting) << signal;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_TRUE(echoOn(slave)) << signal;
        ::close(master);
        ::close(slave);
    }
}

} // namespace
