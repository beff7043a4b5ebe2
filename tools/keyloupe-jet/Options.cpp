#include "keyloupe-jet/Options.h"

#include "keyloupe-jet/CommandTable.h"
#include "keyloupe-jet/JetTool.h"

#include <algorithm>
#include <string_view>

namespace jettool {

std::optional<std::string> Invocation::option(const std::string& name) const {
    auto it = options.find(name);
    if (it == options.end()) return std::nullopt;
    return it->second;
}

std::string Invocation::option(const std::string& name, const std::string& fallback) const {
    return option(name).value_or(fallback);
}

namespace {

enum class OptionKind { Unknown, Help, Version, Global, Command };

bool isHelp(std::string_view token) {
    return token == "--help" || token == "-h";
}

OptionKind classify(std::string_view name) {
    if (name == "help") return OptionKind::Help;
    if (name == "version") return OptionKind::Version;
    if (name == "workgroup" || name == "user" || name == "password" || name == "password-stdin" ||
        name == "dao")
        return OptionKind::Global;
    for (const CommandSpec& spec : commandTable())
        if (std::find(spec.options.begin(), spec.options.end(), name) != spec.options.end())
            return OptionKind::Command;
    return OptionKind::Unknown;
}

// Command options that stand alone, without a value.
bool isFlagOption(const std::string& name) {
    return name == "hide-system" || name == "hide-zero" || name == "password-stdin" ||
           name == "new-password-stdin";
}

void setGlobal(GlobalOptions& global, const std::string& name, const std::string& value) {
    if (name == "workgroup")
        global.workgroup = value;
    else if (name == "user")
        global.user = value;
    else if (name == "password") {
        global.password = value;
        global.passwordGiven = true;
    } else if (name == "password-stdin") {
        global.passwordStdin = value == "true";
    } else if (name == "dao") {
        if (value != "3.5" && value != "3.6")
            throw UsageError("--dao must be 3.5 or 3.6, not \"" + value + "\"");
        global.daoVersion = value;
    }
}

std::string seeHelp() {
    return std::string("; see ") + ProgramName + " --help";
}

} // namespace

Invocation parseArguments(const std::vector<std::string>& args) {
    Invocation inv;
    // A mistake found while scanning is reported only when --help does not appear later on.
    std::optional<UsageError> firstError;
    auto fail = [&firstError](std::string message) {
        if (!firstError) firstError.emplace(message);
    };

    std::string commandWord;
    bool haveCommand = false;
    std::vector<std::pair<std::string, std::string>> commandOptions;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& token = args[i];
        if (!optionsEnded && token == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && isHelp(token)) {
            inv.help = true;
            continue;
        }
        if (optionsEnded || token.size() < 3 || token.compare(0, 2, "--") != 0) {
            if (!haveCommand) {
                commandWord = token;
                haveCommand = true;
            } else {
                inv.args.push_back(token);
            }
            continue;
        }
        // --name VALUE or --name=VALUE
        std::string name = token.substr(2);
        std::optional<std::string> value;
        if (auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
        }
        OptionKind kind = classify(name);
        if (kind == OptionKind::Help) {
            inv.help = true;
            continue;
        }
        if (kind == OptionKind::Version) {
            inv.version = true;
            continue;
        }
        if (kind == OptionKind::Unknown) {
            fail("unknown option --" + name + seeHelp());
            continue;
        }
        if (!value && isFlagOption(name)) value = "true";
        if (!value) {
            if (i + 1 >= args.size()) {
                fail("option --" + name + " needs a value");
                break;
            }
            value = args[++i];
        }
        if (kind == OptionKind::Global) {
            try {
                setGlobal(inv.global, name, *value);
            } catch (const UsageError& e) {
                fail(e.what());
            }
        } else {
            commandOptions.emplace_back(name, *value);
        }
    }
    if (inv.help || inv.version) return inv;
    if (firstError) throw *firstError;
    if (inv.global.passwordGiven && inv.global.passwordStdin)
        throw UsageError("--password and --password-stdin exclude each other");

    if (!haveCommand) throw UsageError("no command given" + seeHelp());
    inv.command = findCommand(commandWord);
    if (!inv.command) throw UsageError("unknown command \"" + commandWord + "\"" + seeHelp());
    const CommandSpec& spec = *inv.command;

    for (auto& [name, value] : commandOptions) {
        if (std::find(spec.options.begin(), spec.options.end(), name) == spec.options.end())
            throw UsageError("option --" + name + " does not apply to " + std::string(spec.name));
        inv.options[name] = value;
    }
    const int count = static_cast<int>(inv.args.size());
    if (count < spec.minArgs)
        throw UsageError(std::string(spec.name) + ": missing arguments; usage: " + usageLine(spec));
    if (count > spec.maxArgs)
        throw UsageError(std::string(spec.name) + ": too many arguments; usage: " + usageLine(spec));
    if (spec.needsWorkgroup && !inv.global.workgroup)
        throw UsageError(std::string(spec.name) + " needs --workgroup FILE");
    return inv;
}

} // namespace jettool
