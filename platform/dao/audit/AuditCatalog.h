#pragma once
// What the audit engine holds of a genuine workgroup file and a genuine database: read in one pass each
// when the workspace is created and when the database is opened, then answered from hash lookups.
// Nothing here is ever written back; every member that would write fails with errReadOnly.
#include "dao/AuditFacts.h"
#include "dao/CatalogueSnapshot.h"
#include "dao/Dao.h"
#include "dao/engine/ErrorLog.h"
#include "dao/engine/Names.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace dao::audit {

using engine::ErrorLogPtr;
using engine::fail;
using engine::guarded;

inline constexpr std::uint32_t npos = 0xFFFFFFFFu;

// errReadOnly for a member that would change a genuine file.
[[noreturn]] void refuseWrite(const std::string& path);

struct AuditAccount {
    std::string name;
    std::string sid; // raw bytes
    bool group = false;
};

class AuditWorkgroup {
public:
    // Reads the workgroup file; fails with errSystemDbMissing when it cannot be read.
    explicit AuditWorkgroup(const std::string& path);

    const std::string& path() const { return path_; }
    std::uint32_t find(std::string_view name) const;   // npos when unknown
    std::uint32_t findSid(std::string_view sid) const; // npos when unknown
    const AuditAccount& at(std::uint32_t i) const { return accounts_[i]; }
    std::size_t size() const { return accounts_.size(); }
    const std::vector<std::uint32_t>& users() const { return users_; }   // by name
    const std::vector<std::uint32_t>& groups() const { return groups_; } // by name
    const std::vector<std::uint32_t>& groupsOf(std::uint32_t user) const { return groupsOf_[user]; }
    const std::vector<std::uint32_t>& membersOf(std::uint32_t group) const { return membersOf_[group]; }
    // What of the file could not be read, one sentence each; empty when it was read in full.
    const std::vector<std::string>& unread() const { return unread_; }

private:
    std::string path_;
    std::vector<std::string> unread_;
    std::vector<AuditAccount> accounts_; // ascending case-insensitive name order
    std::vector<std::uint32_t> users_, groups_;
    std::vector<std::vector<std::uint32_t>> groupsOf_, membersOf_;
    std::unordered_map<std::string_view, std::uint32_t, engine::NoCaseHash, engine::NoCaseEqual> byName_;
    std::unordered_map<std::string, std::uint32_t> bySid_;
};
using AuditWorkgroupPtr = std::shared_ptr<const AuditWorkgroup>;

struct AuditWorkspaceState {
    ErrorLogPtr log;
    std::string engineVersion; // "3.5" or "3.6"
    std::string name;
    std::uint32_t user = npos; // the logged-in account
    AuditWorkgroupPtr workgroup;
};
using AuditWorkspaceStatePtr = std::shared_ptr<const AuditWorkspaceState>;

struct AuditObject {
    std::string name;
    std::int32_t type = 0;
    std::uint32_t owner = npos;     // account index, npos for a SID the workgroup does not know
    std::uint32_t container = npos; // for documents: the object index of their container
};

class AuditCatalog {
public:
    // Reads the database's MSysObjects and MSysACEs; fails with a DaoError naming the file.
    AuditCatalog(AuditWorkspaceStatePtr ws, const std::string& path);

    const AuditWorkspaceStatePtr& workspace() const { return ws_; }
    const AuditWorkgroup& workgroup() const { return *ws_->workgroup; }
    ErrorLogPtr log() const { return ws_->log; }
    const std::string& path() const { return path_; }
    const std::string& format() const { return format_; } // "3.0" or "4.0"
    std::int32_t collatingOrder() const { return langId_; }
    std::int32_t aceCount() const { return aceCount_; }
    std::int32_t nonZeroAceCount() const { return nonZeroAceCount_; }

    const AuditObject& object(std::uint32_t i) const { return objects_[i]; }
    const std::vector<std::uint32_t>& containers() const { return containers_; }
    const std::vector<std::uint32_t>& documents(std::uint32_t container) const {
        return docs_.at(container).list;
    }
    std::uint32_t findContainer(std::string_view name) const;
    std::uint32_t findDocument(std::uint32_t container, std::string_view name) const;

    // An account index for a name, or errNotValidAccount.
    std::uint32_t account(std::string_view name) const;
    std::string ownerName(std::uint32_t obj) const;
    std::int32_t explicitPermissions(std::uint32_t obj, std::uint32_t account) const;
    std::int32_t allPermissions(std::uint32_t obj, std::uint32_t account) const;
    bool inheritable(std::uint32_t obj, std::uint32_t account) const;
    CatalogueFacts facts() const;
    // Everything above with SIDs as stored (AuditSnapshot.cpp).
    CatalogueSnapshot snapshot() const;

private:
    struct Ace {
        std::int32_t acm = 0;
        bool inheritable = false;
    };
    struct DocIndex {
        std::vector<std::uint32_t> list; // by name
        std::unordered_map<std::string_view, std::uint32_t, engine::NoCaseHash, engine::NoCaseEqual> byName;
    };
    const Ace* ace(std::uint32_t obj, std::uint32_t account) const;

    AuditWorkspaceStatePtr ws_;
    std::string path_;
    std::string format_;
    std::int32_t langId_ = 1033;
    std::int32_t aceCount_ = 0, nonZeroAceCount_ = 0;
    std::vector<AuditObject> objects_;
    std::vector<std::uint32_t> containers_;
    std::unordered_map<std::string_view, std::uint32_t, engine::NoCaseHash, engine::NoCaseEqual>
        containerByName_;
    std::unordered_map<std::uint32_t, DocIndex> docs_;
    std::unordered_map<std::uint64_t, Ace> aces_; // (object index << 32) | account index
    struct Orphan {
        std::uint32_t obj; // npos: an object MSysObjects does not hold
        std::int32_t objectId;
        std::string sid;
        std::int32_t acm;
        bool inheritable = false;
    };
    std::vector<Orphan> orphans_;
    std::vector<std::pair<std::uint32_t, std::string>> unknownOwners_; // object index, owner SID
    std::vector<std::string> unread_; // what of the database could not be read
};
using AuditCatalogPtr = std::shared_ptr<const AuditCatalog>;

// The DAO objects over them.
UsersPtr makeUsers(const AuditWorkspaceStatePtr& ws, std::uint32_t groupScope);  // npos: every user
GroupsPtr makeGroups(const AuditWorkspaceStatePtr& ws, std::uint32_t userScope); // npos: every group
DatabasePtr openAuditDatabase(const AuditWorkspaceStatePtr& ws, const std::string& path);

} // namespace dao::audit
