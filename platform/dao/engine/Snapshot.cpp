// The catalogue snapshot of the engine's own files, and the entry that answers it for both engines.
#include "dao/CatalogueSnapshot.h"

#include "dao/audit/Audit.h"
#include "dao/engine/DatabaseOpen.h"
#include "dao/engine/ErrorLog.h"
#include "dao/engine/Session.h"

#include <algorithm>

namespace dao {
namespace engine {

CatalogueSnapshot Session::catalogueSnapshot() {
    ensureBound();
    if (!identity_.sandbox && !dbAdmin_ && !mayRetrieveData("MSysACEs"))
        fail(errNoReadData, "You don't have permission to read 'MSysACEs' (RetrieveData is needed).");
    CatalogueSnapshot s;
    s.databaseFormat = identity_.format;
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
    for (const auto& [key, ace] : aces_) {
        const std::size_t obj = index[static_cast<std::uint32_t>(key >> 32)];
        if (obj == SIZE_MAX) continue; // a row outside every container
        s.aces.push_back(
            {obj, std::string(sids_[static_cast<std::uint32_t>(key)].blob()), ace.acm, ace.inheritable});
    }
    std::sort(s.aces.begin(), s.aces.end(), [](const SnapshotAce& a, const SnapshotAce& b) {
        return a.object != b.object ? a.object < b.object : a.sid < b.sid;
    });
    return s;
}

} // namespace engine

CatalogueSnapshot ReadCatalogueSnapshot(const WorkspacePtr& workspace, const DatabasePtr& database) {
    if (!workspace || !database) engine::fail(errInvalidArgument, "A workspace and a database are needed.");
    if (database->AuditOnly()) return audit::catalogueSnapshot(database);
    const engine::SessionPtr s = engine::sessionOf(database);
    if (engine::stateOf(workspace) != s->workspace())
        engine::fail(errInvalidArgument, "The database was not opened in this workspace.");
    return engine::guarded(s->log(), [&] { return s->catalogueSnapshot(); });
}

} // namespace dao
