#pragma once
// The workgroup information file: accounts, memberships and the workgroup's identity, with logins and
// every account change as one SQLite transaction each.
#include "dao/engine/Names.h"
#include "dao/engine/Sid.h"
#include "dao/engine/Sqlite.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dao::engine {

struct Account {
    std::string name;
    Sid sid;
    bool group = false;
    std::string pid; // kept only by a sandbox's workgroup, for the accounts created in it
};

// Every account and membership of a workgroup as read at one moment. Immutable once built.
class AccountSnapshot {
public:
    AccountSnapshot(std::vector<Account> accounts, const std::vector<std::pair<Sid, Sid>>& memberships,
                    Sid admins);

    static constexpr std::uint32_t npos = 0xFFFFFFFFu;
    std::uint32_t find(std::string_view name) const; // npos when unknown
    std::uint32_t findSid(const Sid& sid) const;     // npos when unknown
    const Account& at(std::uint32_t i) const { return accounts_[i]; }
    std::size_t size() const { return accounts_.size(); }

    const std::vector<std::uint32_t>& users() const { return users_; }   // by name
    const std::vector<std::uint32_t>& groups() const { return groups_; } // by name
    const std::vector<std::uint32_t>& groupsOf(std::uint32_t user) const { return groupsOf_[user]; }
    const std::vector<std::uint32_t>& membersOf(std::uint32_t group) const { return membersOf_[group]; }
    const Sid& adminsSid() const { return admins_; }
    bool isMember(std::uint32_t user, std::uint32_t group) const;

private:
    std::vector<Account> accounts_; // ascending case-insensitive name order
    std::vector<std::uint32_t> users_, groups_;
    std::vector<std::vector<std::uint32_t>> groupsOf_, membersOf_;
    std::unordered_map<std::string_view, std::uint32_t, NoCaseHash, NoCaseEqual> byName_;
    std::unordered_map<Sid, std::uint32_t, SidHash> bySid_;
    Sid admins_;
};
using SnapshotPtr = std::shared_ptr<const AccountSnapshot>;

struct NewAccount {
    std::string name;
    std::string pid;
    std::string password;
    bool group = false;
    std::vector<std::string> memberOf; // groups to join (users only; Users is always joined)
};

class WorkgroupFile {
public:
    static void create(const std::string& path, const std::string& name, const std::string& organisation,
                       const std::string& workgroupId);

    // A sandbox's workgroup file (format 2) holding these accounts and memberships as they are; every
    // user gets the empty password. admins is the workgroup's Admins group; origin is kept as text.
    static void createSandbox(const std::string& path, const Sid& admins,
                              const std::vector<Account>& accounts,
                              const std::vector<std::pair<Sid, Sid>>& memberships, const std::string& origin);

    // Opens an existing workgroup file; refuses anything else with errSystemDbMissing.
    explicit WorkgroupFile(const std::string& path);

    const std::string& path() const { return db_.path(); }
    // A sandbox's workgroup: made by the sandbox import; keeps the PIDs of the accounts created in it.
    bool isSandbox() const { return sandbox_; }
    const BuiltinSids& builtins() const { return builtins_; }
    SnapshotPtr load();
    // True when another connection has changed the file since the last load.
    bool changedSinceLoad();

    // The account's canonical name, or errBadLogin.
    std::string login(std::string_view name, std::string_view password);

    // Account changes made by the logged-in user actor; maxPassword is 14 or 20 by DAO version.
    void createAccounts(const Sid& actor, const std::vector<NewAccount>& accounts, std::size_t maxPassword);
    void deleteAccount(const Sid& actor, std::string_view name, bool group);
    void addMember(const Sid& actor, std::string_view user, std::string_view group);
    void removeMember(const Sid& actor, std::string_view user, std::string_view group);
    // Users whose stored hash matches the empty password; the actor must be a member of Admins.
    std::vector<std::string> usersWithEmptyPassword(const Sid& actor);
    void changePassword(const Sid& actor, std::string_view user, std::string_view oldPassword,
                        std::string_view newPassword, std::size_t maxPassword);

private:
    struct Row {
        std::string name;
        Sid sid;
        bool group = false;
        bool found = false;
    };
    Row lookup(std::string_view name);
    bool isMember(const Sid& group, const Sid& user);
    Sid workgroupAdmins();
    void requireAdmin(const Sid& actor);

    Connection db_;
    std::int64_t loadedVersion_ = -1;
    bool sandbox_ = false;
    BuiltinSids builtins_ = ownBuiltins();
};

} // namespace dao::engine
