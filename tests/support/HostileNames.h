#pragma once
// A workgroup and a database made with keyloupe-jet whose names are what a hostile or damaged genuine
// file may hold: line breaks, TABs, ESC, markup, spreadsheet formulas, zero-width and bidi characters,
// and an account that only looks like admin. Names the engine refuses are planted behind its back.
#include "support/Engine.h"
#include "support/ToolRun.h"

#include <string>
#include <vector>

namespace kltest {

struct THostileName {
    std::string name;    // as stored
    std::string field;   // as a text output's field writes it (TextField)
    std::string visible; // as a sentence shows it (VisibleText)
};

// Accounts: the users, then the group, each made under a plain name and renamed when the engine would
// refuse it. "ad\u200Bmin" is a member of Admins without a password.
inline const std::vector<THostileName>& hostileAccounts() {
    static const std::vector<THostileName> names = {
        {"ad\u200Bmin", "ad\\u200bmin", "ad<U+200B>min"},
        {"evil\nU\tforged", "evil\\nU\\tforged", "evil<U+000A>U<U+0009>forged"},
        {"esc\x1b[31mred\r", "esc\\x1b[31mred\\r", "esc<U+001B>[31mred<U+000D>"},
        {"back\\slash", "back\\\\slash", "back\\slash"},
        {"=HYPERLINK(\"x\")", "=HYPERLINK(\"x\")", "=HYPERLINK(\"x\")"},
    };
    return names;
}

// Tables: each a document of Tables.
inline const std::vector<THostileName>& hostileTables() {
    static const std::vector<THostileName> names = {
        {"<h1>big</h1><img src=x>", "<h1>big</h1><img src=x>", "<h1>big</h1><img src=x>"},
        {"two\nlines", "two\\nlines", "two<U+000A>lines"},
        {"rev\u202Eelif", "rev\\u202eelif", "rev<U+202E>elif"},
        {"@SUM(1)", "@SUM(1)", "@SUM(1)"},
        {"+1", "+1", "+1"},
        {"-1", "-1", "-1"},
    };
    return names;
}

struct THostileFiles {
    std::string mdw, mdb;
    // The tool's arguments that log in as admin.
    std::vector<std::string> login() const { return {"--workgroup", mdw, "--password", ""}; }
};

// h.mdw and h.mdb in dir; Users holds every right on the markup, bidi and "@SUM(1)" tables (three
// findings of their own). Throws on any failure.
inline THostileFiles makeHostileFiles(const std::string& dir) {
    THostileFiles f{dir + "/h.mdw", dir + "/h.mdb"};
    const auto tool = [&](std::vector<std::string> args) {
        const auto login = f.login();
        args.insert(args.end(), login.begin(), login.end());
        const ToolResult r = runTool(args);
        if (r.status != 0) throw std::runtime_error(args.front() + ": " + r.err);
    };
    if (runTool({"create-workgroup", f.mdw}).status != 0) throw std::runtime_error("create-workgroup");
    tool({"create-database", f.mdb});
    const auto& accounts = hostileAccounts();
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        const std::string plain = "plain" + std::to_string(i);
        const bool group = i + 1 == accounts.size();
        tool({group ? "add-group" : "add-user", plain, plain + "-pid"});
        if (i == 0) tool({"add-member", plain, "Admins"});
        plantAccountName(f.mdw, plain, accounts[i].name);
    }
    const auto& tables = hostileTables();
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].name.find('\n') != std::string::npos) {
            plantDocument(f.mdb, "Tables", tables[i].name);
            continue;
        }
        tool({"add-object", f.mdb, "Tables", tables[i].name});
        if (i < 4) tool({"set-permissions", f.mdb, "Tables", tables[i].name, "Users", "FFFFF"});
    }
    return f;
}

} // namespace kltest
