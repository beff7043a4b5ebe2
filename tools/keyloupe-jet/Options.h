#pragma once
// Command-line parsing: the login options shared by every command, the command word, its positional
// arguments and its own options. Options may stand before or after the command; "--" ends them.
#include <cstddef>
#include <map>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace jettool {

struct CommandSpec;

// A mistake on the command line (unknown command or option, missing or malformed argument).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct GlobalOptions {
    std::optional<std::string> workgroup; // --workgroup FILE
    std::string user = "admin";           // --user NAME
    std::string password;                 // --password TEXT
    bool passwordGiven = false;           // --password was given
    bool passwordStdin = false;           // --password-stdin: the password is the first line of stdin
    std::string daoVersion = "3.6";       // --dao 3.5|3.6
};

struct Invocation {
    bool help = false;    // --help was given: nothing else is validated or run
    bool version = false; // --version was given: likewise
    GlobalOptions global;
    const CommandSpec* command = nullptr;
    std::vector<std::string> args;              // positional arguments after the command word
    std::map<std::string, std::string> options; // the command's own options, by name without dashes
    // The new password of set-password or add-user when it is read from standard input or typed at
    // the prompt rather than given as an argument.
    std::optional<std::string> newPassword;
    std::ostream* err = nullptr; // where a command's warnings go (stderr), set by run

    const std::string& arg(std::size_t index) const { return args.at(index); }
    bool hasArg(std::size_t index) const { return index < args.size(); }
    std::optional<std::string> option(const std::string& name) const;
    std::string option(const std::string& name, const std::string& fallback) const;
};

// Parses and validates an argument list (without the program name) against the command table: the
// command exists, its argument count fits, its options belong to it, and --workgroup is present when
// the command logs in. Throws UsageError.
Invocation parseArguments(const std::vector<std::string>& args);

} // namespace jettool
