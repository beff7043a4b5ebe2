// Command-line parsing and the value syntaxes, without touching any file.
#include "keyloupe-jet/Options.h"
#include "keyloupe-jet/CommandTable.h"
#include "keyloupe-jet/Demo.h"
#include "keyloupe-jet/Session.h"
#include "support/ToolRun.h"

using namespace jettool;
using kltest::runTool;

namespace {

bool startsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

} // namespace

TEST(JetToolOptions, LoginOptionsMayStandBeforeOrAfterTheCommand) {
    const Invocation before = parseArguments({"--workgroup", "w.mdw", "--user", "kim", "--password", "secret",
                                              "--dao", "3.5", "add-user", "x", "pid-x"});
    const Invocation after = parseArguments(
        {"add-user", "x", "--workgroup=w.mdw", "--user", "kim", "pid-x", "--password=secret", "--dao=3.5"});
    for (const Invocation* inv : {&before, &after}) {
        ASSERT_NE(inv->command, nullptr);
        EXPECT_EQ(inv->command->name, "add-user");
        EXPECT_EQ(inv->args, (std::vector<std::string>{"x", "pid-x"}));
        EXPECT_EQ(inv->global.workgroup, "w.mdw");
        EXPECT_EQ(inv->global.user, "kim");
        EXPECT_EQ(inv->global.password, "secret");
        EXPECT_EQ(inv->global.daoVersion, "3.5");
    }
}

TEST(JetToolOptions, DefaultsAndCommandOptions) {
    const Invocation inv = parseArguments({"--org", "Org", "create-workgroup", "w.mdw", "--name=Team"});
    EXPECT_FALSE(inv.global.workgroup.has_value());
    EXPECT_EQ(inv.global.user, "admin");
    EXPECT_EQ(inv.global.password, "");
    EXPECT_EQ(inv.global.daoVersion, "3.6");
    EXPECT_EQ(inv.option("name", "-"), "Team");
    EXPECT_EQ(inv.option("org", "-"), "Org");
    EXPECT_EQ(inv.option("wid", "fallback"), "fallback");

    // An empty value is a value (the empty password).
    EXPECT_EQ(parseArguments({"accounts", "--workgroup", "w", "--password", ""}).global.password, "");
    // An option's value is never taken for an option, and "--" ends the options.
    const Invocation odd =
        parseArguments({"--password", "--help", "add-user", "--workgroup", "w", "--", "--x", "-h"});
    EXPECT_FALSE(odd.help);
    EXPECT_EQ(odd.global.password, "--help");
    EXPECT_EQ(odd.args, (std::vector<std::string>{"--x", "-h"}));
}

TEST(JetToolOptions, MistakesAreUsageErrors) {
    auto messageOf = [](const std::vector<std::string>& args) -> std::string {
        try {
            parseArguments(args);
        } catch (const UsageError& e) {
            return e.what();
        }
        return "(accepted)";
    };
    EXPECT_EQ(messageOf({"add-user", "x", "--workgroup", "w"}),
              "add-user: missing arguments; usage: keyloupe-jet add-user NAME PID [PASSWORD]");
    EXPECT_EQ(messageOf({"add-group", "x", "pid-x", "extra", "--workgroup", "w"}),
              "add-group: too many arguments; usage: keyloupe-jet add-group NAME PID");
    EXPECT_EQ(messageOf({"dump", "db.mdb"}), "dump needs --workgroup FILE");
    EXPECT_EQ(messageOf({"add-user", "x", "pid-x", "--name", "n", "--workgroup", "w"}),
              "option --name does not apply to add-user");
    EXPECT_EQ(messageOf({"accounts", "--workgroup"}), "option --workgroup needs a value");
    EXPECT_EQ(messageOf({"accounts", "--workgroup", "w", "--dao", "4.0"}),
              "--dao must be 3.5 or 3.6, not \"4.0\"");
    EXPECT_TRUE(startsWith(messageOf({"accounts", "--verbose"}), "unknown option --verbose"));
    EXPECT_TRUE(startsWith(messageOf({"--user", "kim"}), "no command given"));
    EXPECT_TRUE(startsWith(messageOf({"frobnicate"}), "unknown command \"frobnicate\""));
    // --help wins over every mistake, wherever it stands.
    EXPECT_TRUE(parseArguments({"frobnicate", "--verbose", "--help"}).help);
}

TEST(JetToolOptions, RunReportsMistakesOnStderrWithStatusOne) {
    auto result = runTool({"frobnicate", "x"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.empty());
    EXPECT_TRUE(startsWith(result.err, "keyloupe-jet: unknown command \"frobnicate\"")) << result.err;
    EXPECT_EQ(result.err.back(), '\n');

    result = runTool({});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(startsWith(result.err, "keyloupe-jet: no command given")) << result.err;

    // The value is checked before any file is touched: the workgroup named here does not exist.
    result = runTool(
        {"set-permissions", "db.mdb", "Tables", "T", "kim", "12G", "--workgroup", "/nonexistent/w.mdw"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "keyloupe-jet: not a hexadecimal permission value (1 to 8 digits): \"12G\"\n");
}

TEST(JetToolOptions, HelpListsEveryCommandAndTheDemoLogins) {
    const auto result = runTool({"accounts", "--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.err.empty());
    for (const CommandSpec& spec : commandTable())
        EXPECT_NE(result.out.find("  " + usageLine(spec).substr(std::string("keyloupe-jet ").size()) + "\n"),
                  std::string::npos)
            << spec.name;
    for (const DemoAccount& user : demoUsers())
        EXPECT_NE(result.out.find(std::string(user.name) +
                                  (user.password.empty() ? std::string("  no password")
                                                         : "  password " + std::string(user.password))),
                  std::string::npos)
            << user.name;
    EXPECT_NE(result.out.find("1 on failure, and\n3 from findings when it found something"),
              std::string::npos)
        << result.out;
}

TEST(JetToolValues, PermissionHexFlagsAndCounts) {
    EXPECT_EQ(parsePermHex("FFFFF"), 0xFFFFF);
    EXPECT_EQ(parsePermHex("1000c"), 0x1000C);
    EXPECT_EQ(parsePermHex("0x14"), 0x14);
    EXPECT_EQ(parsePermHex("&H100"), 0x100);
    EXPECT_EQ(parsePermHex("$0"), 0);
    EXPECT_EQ(parsePermHex("FFFFFFFF"), -1);
    for (const char* bad : {"", "0x", "123456789", "12 3", "-1", "G"})
        EXPECT_THROW(parsePermHex(bad), UsageError) << bad;

    // What dump and report write, set-permissions reads back.
    for (std::int32_t value : {0, 0x1000C, 0xFFFFF, 0x100000, -1, INT32_MIN})
        EXPECT_EQ(parsePermHex(PermHex(value)), value) << value;

    EXPECT_TRUE(parseBool("TRUE"));
    EXPECT_FALSE(parseBool("False"));
    EXPECT_THROW(parseBool("yes"), UsageError);
    EXPECT_EQ(parseCount("objects", "10000", 1'000'000), 10000);
    for (const char* bad : {"", "-1", "6", "1e3", "99999999999"})
        EXPECT_THROW(parseCount("objects", bad, 5), UsageError) << bad;
}
