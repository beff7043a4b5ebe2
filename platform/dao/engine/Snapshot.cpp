// The catalogue snapshot of the engine's own files, and the entry that answers it for both engines.
#include "dao/CatalogueSnapshot.h"

#include "dao/audit/Audit.h"
#include "dao/engine/DatabaseOpen.h"
#include "dao/engine/ErrorLog.h"
#include "dao/engine/Session.h"

#include <algorithm>
#include <cstdio>

namespace dao {
namespace engine {

CatalogueSnapshot Session::catalogueSnapshot() {
    ensureBound();
    if (!identity_.sandbox && !dbAdmin_ && !mayRetrieveData("MSysACEs"))
        fail(errNoReadData, "You don't have permission to read 'MSysACEs' (RetrieveData is needed).");
    CatalogueSnapshot s;
    s.databaseFormat = identity_.format;
    s.collatingOrder = identity_.collatingOrder;
    s.creatorAdminsSid = std::string(identity_.creatorAdmins.blob());
    const AccountSnapshot& accounts = *bound_;
    for (std::uint32_t a = 0; a < accounts.size(); ++a) {
        const Account& acc = accounts.at(a);
        s.accounts.push_back({acc.name, std::string(acc.sid.blob()), acc.group, acc.pid});
    }
    for (std::uint32_t u : accounts.users())
        for (std::uint32_t g : accounts.groupsOf(u))
            s.memberships.push_back(
                {std::string(accounts.at(g).sid.blob()), std::string(accounts.at(u).sid.blob())});

    std::vector<std::size_t> index(objects_.size(), SIZE_MAX); // object index -> snapshot object
    auto add = [&](std::uint32_t obj, const std::string& container, const std::string& name) {
        index[obj] = s.objects.size();
        s.objects.push_back({container, name, std::string(sids_[objects_[obj].owner].blob())});
    };
    for (std::uint32_t c : containers_)
        add(c, objects_[c].name, "");
    for (std::uint32_t c : containers_)
        for (std::uint32_t d : docs_.at(c).list)
            add(d, objects_[c].name, objects_[d].name);
    for (const AceTable::Entry& e : aces_.entries()) {
        const std::size_t obj = index[e.obj];
        if (obj == SIZE_MAX) continue; // a row outside every container
        s.aces.push_back({obj, std::string(sids_[e.sid].blob()), e.ace.acm, e.ace.inheritable});
    }
    std::sort(s.aces.begin(), s.aces.end(), [](const SnapshotAce& a, const SnapshotAce& b) {
        return a.object != b.object ? a.object < b.object : a.sid < b.sid;
    });
    return s;
}

namespace {

Sid checkedSid(const std::string& bytes, const char* what) {
    if (bytes.empty() || bytes.size() > Sid::kMaxSize)
        fail(errInvalidArgument, std::string("The SID of ") + what + " has " + std::to_string(bytes.size()) +
                                     " bytes; a SID has 1 to 128.");
    return Sid::fromBlob(bytes);
}

} // namespace

} // namespace engine

void WriteSandbox(const CatalogueSnapshot& snapshot, const std::string& workgroupPath,
                  const std::string& databasePath, const std::string& origin) {
    using namespace engine;
    ErrorLog log;
    guarded(log, [&] {
        if (snapshot.databaseFormat != "3.0" && snapshot.databaseFormat != "4.0")
            fail(errInvalidArgument, "The database format must be \"3.0\" or \"4.0\".");
        std::vector<Account> accounts;
        const Account* admins = nullptr;
        for (const SnapshotAccount& a : snapshot.accounts)
            accounts.push_back({a.name, checkedSid(a.sid, "an account"), a.group, a.pid});
        for (const Account& a : accounts)
            if (a.group && equalNoCase(a.name, "Admins")) admins = &a;
        if (!admins) fail(errInvalidArgument, "The workgroup has no Admins group.");
        std::vector<std::pair<Sid, Sid>> memberships;
        for (const SnapshotMembership& m : snapshot.memberships)
            memberships.emplace_back(checkedSid(m.groupSid, "a group"), checkedSid(m.userSid, "a member"));
        for (const SnapshotObject& o : snapshot.objects)
            checkedSid(o.ownerSid, "an owner");
        for (const SnapshotAce& a : snapshot.aces)
            checkedSid(a.sid, "an entry");
        if (!snapshot.creatorAdminsSid.empty())
            checkedSid(snapshot.creatorAdminsSid, "the maker's Admins group");
        WorkgroupFile::createSandbox(workgroupPath, admins->sid, accounts, memberships, origin);
        try {
            createSandboxDatabase(databasePath, snapshot, origin);
        } catch (...) {
            std::remove(workgroupPath.c_str());
            throw;
        }
    });
}

std::string SandboxOrigin(const DatabasePtr& database) {
    if (!database || database->AuditOnly()) return {};
    const engine::SessionPtr s = engine::sessionOf(database);
    return s->identity().origin;
}

CatalogueSnapshot ReadCatalogueSnapshot(const WorkspacePtr& workspace, const DatabasePtr& database) {
    if (!workspace || !database) engine::fail(errInvalidArgument, "A workspace and a database are needed.");
    if (database->AuditOnly()) return audit::catalogueSnapshot(database);
    const engine::SessionPtr s = engine::sessionOf(database);
    if (engine::stateOf(workspace) != s->workspace())
        engine::fail(errInvalidArgument, "The database was not opened in this workspace.");
    return engine::guarded(s->log(), [&] { return s->catalogueSnapshot(); });
}

} // namespace dao
