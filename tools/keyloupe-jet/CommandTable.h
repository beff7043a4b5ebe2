#pragma once
// The table of commands: name, usage, argument counts, own options and handler. Adding a command means
// writing its handler (declared in Commands.h) and adding one row to the table in CommandTable.cpp.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace jettool {

struct Invocation;

using CommandHandler = void (*)(const Invocation& invocation, std::ostream& out);
// A handler whose success has more than one exit status (findings: 0 or FindingsExitStatus).
using CommandStatusHandler = int (*)(const Invocation& invocation, std::ostream& out);

struct CommandSpec {
    std::string_view name;                 // the command word
    std::string_view synopsis;             // its arguments as shown in usage lines
    std::string_view summary;              // one line for --help
    int minArgs = 0;                       // positional arguments required
    int maxArgs = 0;                       // positional arguments allowed
    std::vector<std::string_view> options; // its own options (each takes a value), without dashes
    bool needsWorkgroup = false;           // logs in, so --workgroup is required
    CommandHandler handler = nullptr;
    CommandStatusHandler statusHandler = nullptr; // instead of handler
};

const std::vector<CommandSpec>& commandTable();

// The command of that name, or nullptr.
const CommandSpec* findCommand(std::string_view name);

// "keyloupe-jet NAME SYNOPSIS".
std::string usageLine(const CommandSpec& command);

// The text of --help: usage, the login options, every command and the demo accounts.
void printHelp(std::ostream& out);

} // namespace jettool
