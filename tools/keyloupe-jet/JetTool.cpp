#include "keyloupe-jet/JetTool.h"

#include "keyloupe-jet/CommandTable.h"
#include "keyloupe-jet/Options.h"
#include "keyloupe-jet/Session.h"

#include "com/Status.h"
#include "dao/Dao.h"
#include "security/SafeText.h"
#include "util/Licence.h"

#include <csignal>
#include <exception>
#include <iostream>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace jettool {

namespace {

std::string withoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

// The terminal's settings while a prompt has turned its echo off, for the signal handler to put back.
termios g_savedTerminal{};
volatile std::sig_atomic_t g_echoOff = 0;

// SIGINT, SIGTERM or SIGHUP at a prompt: the echo comes back, then the signal does what it would have.
extern "C" void restoreEchoAndDie(int signal) {
    if (g_echoOff) ::tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

constexpr int PromptSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Reads a line typed at the terminal with echo off; the echo comes back whatever happens, a signal
// that ends the program included.
std::string promptHidden(const std::string& prompt, std::ostream& err) {
    termios saved{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    struct sigaction previous[std::size(PromptSignals)] = {};
    if (terminal) {
        g_savedTerminal = saved;
        struct sigaction restore = {};
        restore.sa_handler = restoreEchoAndDie;
        sigemptyset(&restore.sa_mask);
        for (std::size_t i = 0; i < std::size(PromptSignals); ++i)
            ::sigaction(PromptSignals[i], &restore, &previous[i]);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        g_echoOff = 1;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    // Asked once the echo is off, so nothing typed after the prompt is shown.
    err << prompt << std::flush;
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        g_echoOff = 0;
        for (std::size_t i = 0; i < std::size(PromptSignals); ++i)
            ::sigaction(PromptSignals[i], &previous[i], nullptr);
    }
    err << '\n';
    return withoutLineEnd(line);
}

bool atTerminal(std::istream& in) {
    return &in == &std::cin && ::isatty(STDIN_FILENO);
}

std::string nextLine(std::istream& in, const char* what) {
    std::string line;
    if (!std::getline(in, line) && line.empty())
        throw UsageError(std::string(what) + ": no password on standard input");
    return withoutLineEnd(line);
}

// The new password of set-password and add-user, when it is not an argument: the next line of
// standard input, or typed twice at the terminal.
void resolveNewPassword(Invocation& inv, std::ostream& err, std::istream& in) {
    const std::string_view command = inv.command->name;
    const bool fromStdin = inv.option("new-password-stdin").has_value();
    if (command == "set-password" ? inv.hasArg(0) && !fromStdin : !fromStdin) return;
    if (inv.hasArg(command == "set-password" ? 0 : 2))
        throw UsageError(std::string(command) + ": the new password is either an argument or read with "
                                                "--new-password-stdin, not both");
    if (!atTerminal(in)) {
        inv.newPassword = nextLine(in, "--new-password-stdin");
        return;
    }
    const std::string whose = command == "set-password" ? inv.global.user : inv.arg(0);
    std::string first = promptHidden("New password for " + whose + ": ", err);
    if (promptHidden("Repeat the new password: ", err) != first)
        throw UsageError("the two new passwords differ; nothing was changed");
    inv.newPassword = std::move(first);
}

void resolvePassword(Invocation& inv, std::ostream& err, std::istream& in) {
    if (!inv.command->needsWorkgroup) return;
    GlobalOptions& g = inv.global;
    if (g.passwordStdin) {
        g.password = nextLine(in, "--password-stdin");
    } else if (!g.passwordGiven && atTerminal(in)) {
        g.password = promptHidden("Password for " + g.user + ": ", err);
    }
    resolveNewPassword(inv, err, in);
}

} // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return run(args, out, err, std::cin);
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in) {
    dao::registerEngineClasses();
    unreadParts().clear();
    // Nothing read in part passes for a whole read: each part is a warning, and the status says so.
    auto warnUnread = [&](int status) {
        for (const std::string& part : unreadParts())
            err << ProgramName << ": warning: " << part << '\n';
        return unreadParts().empty() || status == 1 ? status : DamagedExitStatus;
    };
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
        return warnUnread(status);
    } catch (const com::ComError& e) {
        err << ProgramName << ": " << VisibleText(com::errorMessage(e.status(), e.description())) << '\n';
    } catch (const std::exception& e) {
        // A message may quote a name or path from a file: one line, nothing a terminal acts on.
        err << ProgramName << ": " << VisibleText(e.what()) << '\n';
    }
    return warnUnread(1);
}

} // namespace jettool
