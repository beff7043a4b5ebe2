// The audit extensions on the engine's own files: unknown SIDs in the loaded catalogue, and empty
// passwords checked against the stored hashes (which are never read for anything else).
#include "dao/engine/DatabaseOpen.h"
#include "dao/engine/Password.h"
#include "dao/engine/Rights.h"
#include "dao/engine/Session.h"
#include "dao/engine/WorkspaceState.h"

#include "dao/audit/Audit.h"

#include <map>
#include <mutex>

namespace dao {
namespace engine {

CatalogueFacts Session::catalogueFacts() {
    ensureBound();
    if (!mayRetrieveData("MSysACEs"))
        fail(errNoReadData, "You don't have permission to read 'MSysACEs' (RetrieveData is needed).");
    CatalogueFacts facts;
    auto entryFor = [&](std::uint32_t obj, std::uint32_t sid, std::int32_t permissions) {
        const CatalogObject& o = objects_[obj];
        const bool isContainer = o.parentId == 0;
        const std::string hex = sids_[sid].hex();
        return SecurityEntry{isContainer ? o.name : objects_[o.container].name, isContainer ? "" : o.name, hex,
                             permissions, hex == kAccessDefaultAdminsSid};
    };
    auto unknown = [&](std::uint32_t sid) { return sid >= sidAccount_.size() || sidAccount_[sid] == npos; };
    for (const AceTable::Entry& e : aces_.entries())
        if (unknown(e.sid)) facts.orphanEntries.push_back(entryFor(e.obj, e.sid, e.ace.acm));
    for (std::uint32_t i = 0; i < objects_.size(); ++i)
        if (unknown(objects_[i].owner)) facts.unknownOwners.push_back(entryFor(i, objects_[i].owner, 0));
    // Only a sandbox of a genuine pair can hold the default workgroup's SIDs.
    facts.workgroupIsAccessDefault = bound_->adminsSid().hex() == kAccessDefaultAdminsSid;
    return facts;
}

std::vector<std::string> WorkgroupFile::usersWithEmptyPassword(const Sid& actor) {
    requireAdmin(actor);
    // A verification costs tens of milliseconds; the answer for one stored hash never changes.
    static std::mutex mutex;
    static std::map<std::string, bool> emptyByHash;
    std::vector<std::string> names;
    Statement st(db_, "SELECT Name, Password FROM MSysAccounts WHERE FGroup = 0");
    while (st.step()) {
        const std::string hash = st.isNull(1) ? std::string() : st.text(1);
        bool empty = hash.empty();
        if (!empty) {
            std::lock_guard lock(mutex);
            const auto it = emptyByHash.find(hash);
            empty = it != emptyByHash.end() ? it->second : (emptyByHash[hash] = verifyPassword(hash, ""));
        }
        if (empty) names.push_back(st.text(0));
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return compareNoCase(a, b) < 0; });
    return names;
}

} // namespace engine

CatalogueFacts ReadCatalogueFacts(const DatabasePtr& database) {
    if (database && database->AuditOnly()) return audit::catalogueFacts(database);
    const engine::SessionPtr s = engine::sessionOf(database);
    return engine::guarded(s->log(), [&] { return s->catalogueFacts(); });
}

std::vector<std::string> UnreadWorkgroupParts(const WorkspacePtr& workspace) {
    return audit::isAuditWorkspace(workspace) ? audit::workgroupUnread(workspace)
                                              : std::vector<std::string>{};
}

std::vector<std::string> UsersWithEmptyPassword(const WorkspacePtr& workspace) {
    if (audit::isAuditWorkspace(workspace))
        engine::fail(errNotSupported,
                     "The passwords of a genuine Jet workgroup file cannot be checked: Jet's "
                     "stored password scheme is not public.");
    const engine::WorkspaceStatePtr ws = engine::stateOf(workspace);
    return engine::guarded(*ws->log, [&] {
        // Engine and Creator cannot log in; they are not accounts anyone could use.
        std::vector<std::string> names = ws->workgroup->usersWithEmptyPassword(ws->userSid);
        std::erase_if(names, [](const std::string& n) {
            return engine::equalNoCase(n, "Engine") || engine::equalNoCase(n, "Creator");
        });
        return names;
    });
}

} // namespace dao
