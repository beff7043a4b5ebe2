#include "keyloupe-jet/CommandTable.h"

#include "keyloupe-jet/Commands.h"
#include "keyloupe-jet/Demo.h"
#include "keyloupe-jet/JetTool.h"

namespace jettool {

const std::vector<CommandSpec>& commandTable() {
    // name, synopsis, summary, min and max arguments, own options, needs --workgroup, handler
    static const std::vector<CommandSpec> table = {
        {"create-workgroup",
         "FILE [--name N] [--org O] [--wid ID]",
         "create a workgroup file with the built-in accounts (admin, empty password)",
         1,
         1,
         {"name", "org", "wid"},
         false,
         cmdCreateWorkgroup},
        {"create-database",
         "FILE [--format 3.0|4.0]",
         "create a database owned by the logged-in user (format 4.0, or 3.0 under --dao 3.5)",
         1,
         1,
         {"format"},
         true,
         cmdCreateDatabase},
        {"add-user", "NAME PID [PASSWORD]", "create a user (a member of Users)", 2, 3, {}, true, cmdAddUser},
        {"add-group", "NAME PID", "create a group", 2, 2, {}, true, cmdAddGroup},
        {"delete-user",
         "NAME",
         "delete a user; its permissions stay in databases",
         1,
         1,
         {},
         true,
         cmdDeleteUser},
        {"delete-group",
         "NAME",
         "delete a group; its permissions stay in databases",
         1,
         1,
         {},
         true,
         cmdDeleteGroup},
        {"add-member", "USER GROUP", "add a user to a group", 2, 2, {}, true, cmdAddMember},
        {"remove-member", "USER GROUP", "remove a user from a group", 2, 2, {}, true, cmdRemoveMember},
        {"set-password",
         "NEW",
         "change the logged-in user's own password (old one as --password)",
         1,
         1,
         {},
         true,
         cmdSetPassword},
        {"clear-password",
         "USER",
         "clear another user's password (members of Admins)",
         1,
         1,
         {},
         true,
         cmdClearPassword},
        {"accounts",
         "",
         "list the accounts: U or G, name, then the groups of a user (TAB-separated)",
         0,
         0,
         {},
         true,
         cmdAccounts},
        {"add-object",
         "DB CONTAINER NAME",
         "create a document (in Tables: a real, empty table)",
         3,
         3,
         {},
         true,
         cmdAddObject},
        {"set-permissions",
         "DB CONTAINER OBJECT ACCOUNT HEX",
         "set an account's explicit permissions (OBJECT <container> for the container)",
         5,
         5,
         {},
         true,
         cmdSetPermissions},
        {"set-owner",
         "DB CONTAINER OBJECT ACCOUNT",
         "make an account the owner of an object",
         4,
         4,
         {},
         true,
         cmdSetOwner},
        {"set-inherit",
         "DB CONTAINER ACCOUNT true|false",
         "set whether new documents take the account's permissions on the container",
         4,
         4,
         {},
         true,
         cmdSetInherit},
        {"dump",
         "DB",
         "list every (object, account): container, object, U/G, account, explicit, effective, "
         "inherit, owner",
         1,
         1,
         {},
         true,
         cmdDump},
        {"report",
         "DB [--format text|csv|html] [--hide-system] [--hide-zero] [--sort object|usergroup]",
         "print the permissions grid as Keyloupe shows it after a refresh (text: TAB-separated; csv:\n"
         "      RFC 4180), or the audit report (html: header, summary, findings, accounts, non-zero rights)",
         1,
         1,
         {"format", "hide-system", "hide-zero", "sort"},
         true,
         cmdReport},
        {"findings",
         "DB [--format text|csv]",
         "print the security findings: what is open to people who should not have it, what to change",
         1,
         1,
         {"format"},
         true,
         nullptr,
         cmdFindings},
        {"sandbox",
         "DB DIR",
         "copy a genuine pair's accounts, objects, owners and permissions into own files in DIR (same\n"
         "      file names; no data, every password empty) to plan changes in; DIR must be empty",
         2,
         2,
         {},
         true,
         cmdSandbox},
        {"changes",
         "DB [--from-workgroup W0 --from D0] [--format text|csv|json]",
         "list what differs between the pair W0 + D0 and this one, in the order it can be applied to\n"
         "      W0 + D0 (both read as the same user); a sandbox without them: against its origin",
         1,
         1,
         {"from-workgroup", "from", "format"},
         true,
         nullptr,
         cmdChanges},
        {"fix",
         "DB [--owner ACCOUNT]",
         "apply the mechanical fix of every finding on a sandbox: the Users group's and admin's rights\n"
         "      removed, objects admin owns given to ACCOUNT",
         1,
         1,
         {"owner"},
         true,
         cmdFix},
        {"change-script",
         "DB [--from-workgroup W0 --from D0] --out FILE.js",
         "write a JScript file that makes the changes against a sandbox's origin (or W0 + D0) on\n"
         "      Windows through DAO, checking each value first (cscript FILE.js [/apply]; see its header)",
         1,
         1,
         {"from-workgroup", "from", "out"},
         true,
         cmdChangeScript},
        {"demo",
         "DIR [--objects N] [--users N] [--groups N]",
         "write the demo files (see below), or with a size option a synthetic database",
         1,
         1,
         {"objects", "users", "groups"},
         false,
         cmdDemo},
    };
    return table;
}

const CommandSpec* findCommand(std::string_view name) {
    for (const CommandSpec& spec : commandTable())
        if (spec.name == name) return &spec;
    return nullptr;
}

std::string usageLine(const CommandSpec& command) {
    std::string line = std::string(ProgramName) + " " + std::string(command.name);
    if (!command.synopsis.empty()) line += " " + std::string(command.synopsis);
    return line;
}

void printHelp(std::ostream& out) {
    out << "usage: " << ProgramName << " [OPTIONS] COMMAND ARGS...\n"
        << "Administers Jet workgroup files (.mdw) and databases (.mdb). Options may also follow the\n"
        << "command; \"--\" ends them. Errors go to stderr. Exit status: 0 on success, 1 on failure, and\n"
        << FindingsExitStatus << " from findings when it found something (0 when it found nothing), and "
        << ChangesExitStatus << " from changes\nwhen the two pairs differ.\n\n"
        << "Options:\n"
        << "  --workgroup FILE   workgroup file to log in to (every command but create-workgroup, demo)\n"
        << "  --user NAME        account to log in as (default admin)\n"
        << "  --password TEXT    its password (default empty; typed at a prompt when standard input is a\n"
        << "                     terminal and neither password option is given)\n"
        << "  --password-stdin   read the password from the first line of standard input\n"
        << "  --dao 3.5|3.6      engine version (default 3.6)\n"
        << "  --help             this text\n"
        << "  --version          the version\n\n"
        << "Commands:\n";
    for (const CommandSpec& spec : commandTable()) {
        out << "  " << spec.name;
        if (!spec.synopsis.empty()) out << ' ' << spec.synopsis;
        out << "\n      " << spec.summary << '\n';
    }
    out << "\nPermission values are hexadecimal (e.g. FFFFF). dump prints them with at least five digits\n"
        << "and '?' where the logged-in user may not read a value.\n\n"
        << "demo DIR writes " << DemoWorkgroupFile << " (admin, empty password), " << DemoShopFile
        << " (a secured shop, format 4.0, made by shopadmin,\n"
        << "with planted weaknesses for findings) and " << DemoLegacyFile
        << " (format 3.0, default permissions). Its accounts:\n";
    for (const DemoAccount& user : demoUsers()) {
        out << "  " << user.name << "  "
            << (user.password.empty() ? std::string("no password") : "password " + std::string(user.password))
            << ", PID " << user.pid;
        for (std::string_view group : user.groups)
            if (!group.empty()) out << ", " << group;
        if (user.deleted)
            out << " (deleted after being granted rights: re-create with that PID to revive them)";
        out << '\n';
    }
    out << "  groups";
    for (const auto& group : demoGroups())
        out << ' ' << group[0];
    out << " besides Admins and Users\n"
        << "With --objects, --users or --groups it writes " << DemoWorkgroupFile << " and "
        << DemoSyntheticFile << " instead: that many\n"
        << "documents, users (user0001..., no password) and groups (group0001...) besides the built-in "
           "ones.\n";
}

} // namespace jettool
