#include "keyloupe-jet/JetTool.h"

#include "keyloupe-jet/CommandTable.h"
#include "keyloupe-jet/Options.h"

#include "com/Status.h"
#include "dao/Dao.h"
#include "util/Licence.h"

#include <exception>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace jettool {

namespace {

std::string withoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

// Reads the password typed at the terminal with echo off; the echo comes back whatever happens.
std::string promptPassword(const std::string& user, std::ostream& err) {
    err << "Password for " << user << ": " << std::flush;
    termios saved{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    err << '\n';
    return withoutLineEnd(line);
}

void resolvePassword(Invocation& inv, std::ostream& err, std::istream& in) {
    if (!inv.command->needsWorkgroup) return;
    GlobalOptions& g = inv.global;
    if (g.passwordStdin) {
        std::string line;
        if (!std::getline(in, line) && line.empty())
            throw UsageError("--password-stdin: no password on standard input");
        g.password = withoutLineEnd(line);
    } else if (!g.passwordGiven && &in == &std::cin && ::isatty(STDIN_FILENO)) {
        g.password = promptPassword(g.user, err);
    }
}

} // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return run(args, out, err, std::cin);
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in) {
    dao::registerEngineClasses();
    try {
        Invocation invocation = parseArguments(args);
        int status = 0;
        if (invocation.version) {
            out << ProgramName << ' ' << KEYLOUPE_VERSION << '\n' << KeyloupeVersionNotice;
            return 0;
        }
        invocation.err = &err;
        if (!invocation.help) resolvePassword(invocation, err, in);
        if (invocation.help)
            printHelp(out);
        else if (invocation.command->statusHandler)
            status = invocation.command->statusHandler(invocation, out);
        else
            invocation.command->handler(invocation, out);
        out.flush();
        return status;
    } catch (const com::ComError& e) {
        err << ProgramName << ": " << com::errorMessage(e.status(), e.description()) << '\n';
    } catch (const std::exception& e) {
        err << ProgramName << ": " << e.what() << '\n';
    }
    return 1;
}

} // namespace jettool
