#pragma once
// The demo files: a small secured shop database with its workgroup and an untouched Access 97 style
// database, or a synthetic database of a chosen size for benchmarks.
#include <array>
#include <filesystem>
#include <initializer_list>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jettool {

inline constexpr std::string_view DemoWorkgroupFile = "system.mdw";
inline constexpr std::string_view DemoShopFile = "shop.mdb";
inline constexpr std::string_view DemoLegacyFile = "legacy97.mdb";
inline constexpr std::string_view DemoSyntheticFile = "synthetic.mdb";

struct DemoAccount {
    std::string_view name;
    std::string_view pid;
    std::string_view password;
    std::array<std::string_view, 2> groups; // besides Users; empty entries are unused
    bool deleted;                           // deleted again after being granted rights
};

// The users of the shop demo, in creation order.
std::span<const DemoAccount> demoUsers();

// The groups of the shop demo besides the built-in ones, as name and PID.
std::span<const std::array<std::string_view, 2>> demoGroups();

// Writes system.mdw, shop.mdb and legacy97.mdb into dir (created when absent). Refuses when any of
// them exists; files written before a failure are removed again. Lists the files written on out.
void makeShopDemo(const std::filesystem::path& dir, std::ostream& out);

// The files of one demo run: refuses when any of them exists and removes them again unless the run
// completes, so that a failed run leaves nothing that would make the next one refuse.
class DemoFiles {
public:
    DemoFiles(const std::filesystem::path& dir, std::initializer_list<std::string_view> names);
    ~DemoFiles();
    DemoFiles(const DemoFiles&) = delete;
    DemoFiles& operator=(const DemoFiles&) = delete;

    std::string path(std::size_t index) const { return paths_.at(index).string(); }
    // Keeps the files and lists them on out.
    void commit(std::ostream& out);

private:
    std::vector<std::filesystem::path> paths_;
    bool done_ = false;
};

struct SyntheticSize {
    int objects = 0; // documents added, spread over the Tables, Forms, Reports, Scripts, Modules containers
    int users = 0;   // users added besides the built-in ones
    int groups = 0;  // groups added besides the built-in ones
};

// Writes system.mdw and synthetic.mdb of that size into dir, under the same refusal and clean-up rules.
void makeSyntheticDemo(const std::filesystem::path& dir, const SyntheticSize& size, std::ostream& out);

} // namespace jettool
