#pragma once
// One open database: its SQLite connection, the catalogue (objects, SIDs, access control entries) loaded
// in bulk at open, and the logged-in account's standing. After the load every security read is a few
// lookups in flat arrays; every write is one SQLite transaction that also updates the loaded catalogue.
#include "dao/AuditFacts.h"
#include "dao/CatalogueSnapshot.h"
#include "dao/engine/AceTable.h"
#include "dao/engine/FileFormat.h"
#include "dao/engine/Names.h"
#include "dao/engine/Sid.h"
#include "dao/engine/Sqlite.h"
#include "dao/engine/WorkspaceState.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace dao::engine {

struct CatalogObject {
    std::int64_t id = 0;
    std::int64_t parentId = 0;
    std::string name;
    std::int32_t type = 0;
    std::uint32_t owner = 0; // SID index
    std::int32_t flags = 0;
    std::uint32_t container = 0; // for documents: the object index of their container
};

struct DatabaseIdentity {
    std::string format; // "3.0" or "4.0"
    std::int32_t collatingOrder = 1033;
    Sid creatorAdmins; // the Admins group of the workgroup the database was created with
    // A sandbox copy of a genuine database: every read is allowed, writes follow the usual rules.
    bool sandbox = false;
    std::string origin; // what the import recorded about the sandbox's origin
};

class Session {
public:
    static constexpr std::uint32_t npos = 0xFFFFFFFFu;

    Session(WorkspaceStatePtr ws, std::unique_ptr<ShareLock> share, std::unique_ptr<Connection> db,
            bool readOnly);

    const WorkspaceStatePtr& workspace() const { return ws_; }
    ShareLock& shareLock() { return *share_; }
    ErrorLog& log() const { return *ws_->log; }
    Connection& connection() { return *db_; }
    const std::string& path() const { return db_->path(); }
    bool readOnly() const { return readOnly_; }
    // Every later write fails with errNoPermission and this text (a sandbox opened by a user who may not
    // open the database it copies).
    void refuseWrites(std::string why) { writeRefusal_ = std::move(why); }
    const DatabaseIdentity& identity() const { return identity_; }

    // Objects.
    const CatalogObject& object(std::uint32_t i) const { return objects_[i]; }
    const std::vector<std::uint32_t>& containers() const { return containers_; }
    const std::vector<std::uint32_t>& documents(std::uint32_t container) const {
        return docs_.at(container).list;
    }
    std::uint32_t findContainer(std::string_view name) const;
    std::uint32_t findDocument(std::uint32_t container, std::string_view name) const;

    // Accounts, by SID index. accountSid fails with errNotValidAccount for an unknown name.
    std::uint32_t accountSid(std::string_view name);
    std::string_view sidName(std::uint32_t sid) const; // "<Unknown>" when the workgroup does not know it

    // Security reads (the caller has checked readability).
    std::int32_t explicitPermissions(std::uint32_t obj, std::uint32_t sid) const;
    std::int32_t allPermissions(std::uint32_t obj, std::uint32_t sid) const;
    bool storedInherit(std::uint32_t obj, std::uint32_t sid) const;
    // The logged-in account's rights (its own and its groups') and standing.
    std::int32_t loginRights(std::uint32_t obj) const { return allPermissions(obj, loginSid_); }
    bool loginOwns(std::uint32_t obj) const;
    bool loginIsDatabaseAdmin() const { return dbAdmin_; }
    std::uint32_t loginSid() const { return loginSid_; }
    // Reading another account's permissions: ReadSec, ownership or the creating workgroup's Admins.
    void requireReadable(std::uint32_t obj, std::uint32_t sid);

    // Writes.
    void setPermissions(std::uint32_t obj, std::uint32_t sid, std::int32_t value,
                        std::optional<bool> inherit);
    void setOwner(std::uint32_t obj, std::uint32_t sid);
    struct Grant {
        std::uint32_t obj;
        std::uint32_t sid;
        std::int32_t value;
        std::optional<bool> inherit;
    };
    // Several setPermissions in one transaction: all are checked first, then all are written.
    void setPermissionsBulk(const std::vector<Grant>& grants);
    // Creates documents in one transaction; returns their object indexes.
    std::vector<std::uint32_t> createDocuments(std::uint32_t container,
                                               const std::vector<std::string>& names);

    // Tables documents a query may read: RetrieveData through the user or a group.
    bool mayRetrieveData(std::string_view table);

    // The entries and owners of SIDs the workgroup does not know; needs RetrieveData on MSysACEs.
    CatalogueFacts catalogueFacts();
    // The whole catalogue with its SIDs (Snapshot.cpp); needs what catalogueFacts needs, or Admins of
    // the database's workgroup.
    CatalogueSnapshot catalogueSnapshot();

private:
    struct DocIndex {
        std::vector<std::uint32_t> list; // by name
        std::unordered_map<std::string_view, std::uint32_t, NoCaseHash, NoCaseEqual> byName;
    };
    void loadCatalog();
    std::uint32_t addObject(CatalogObject o);
    void sortDocuments();
    std::uint32_t intern(const Sid& sid);
    void bindAccounts();
    // Every check of the login's standing starts here: a membership change made through the workspace
    // replaces its snapshot, and the groups, the Admins standing and the readability answer are then
    // worked out again.
    void ensureBound() {
        if (ws_->snapshot != bound_) bindAccounts();
    }
    void requireWritable() const;
    void requireWriteSec(std::uint32_t obj);
    const Ace* ace(std::uint32_t obj, std::uint32_t sid) const { return aces_.find(obj, sid); }

    WorkspaceStatePtr ws_;
    std::unique_ptr<ShareLock> share_;
    std::unique_ptr<Connection> db_;
    bool readOnly_;
    std::string writeRefusal_;
    DatabaseIdentity identity_;

    std::deque<CatalogObject> objects_; // a deque keeps names in place for the string_view maps
    std::unordered_map<std::int64_t, std::uint32_t> byId_;
    std::vector<std::uint32_t> containers_;
    std::unordered_map<std::string_view, std::uint32_t, NoCaseHash, NoCaseEqual> containerByName_;
    std::unordered_map<std::uint32_t, DocIndex> docs_;

    std::vector<Sid> sids_;
    std::unordered_map<Sid, std::uint32_t, SidHash> sidIndex_;
    AceTable aces_; // by object index and SID index

    // Account binding: refreshed whenever the workspace reloads its accounts.
    SnapshotPtr bound_;
    std::vector<std::uint32_t> sidAccount_;             // SID index -> account index in bound_, or npos
    std::vector<std::vector<std::uint32_t>> groupSids_; // SID index -> SID indexes of the user's groups
    std::uint32_t loginSid_ = 0;
    bool dbAdmin_ = false;
    // The names last asked of accountSid, in the order asked, for the walk's rounds of all accounts.
    std::vector<std::pair<std::string, std::uint32_t>> recent_;
    std::size_t nextRecent_ = 0;
    SnapshotPtr recentFor_;
    // The last readability answer, for the walk's many reads of one object.
    std::uint64_t securityGen_ = 1; // bumped by every security write and every account rebinding
    std::uint32_t readableObj_ = npos;
    std::uint64_t readableGen_ = 0;
    bool readable_ = false;
};
using SessionPtr = std::shared_ptr<Session>;

} // namespace dao::engine
