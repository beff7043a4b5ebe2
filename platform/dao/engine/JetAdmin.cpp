// Bulk administration helpers (JetAdmin.h).
#include "dao/JetAdmin.h"

#include "dao/engine/DatabaseOpen.h"
#include "dao/engine/ErrorLog.h"

#include <map>

namespace dao {

void CreateAccounts(const WorkspacePtr& workspace, const std::vector<BulkAccount>& accounts) {
    const auto ws = engine::stateOf(workspace);
    engine::guarded(*ws->log, [&] {
        std::vector<engine::NewAccount> list;
        list.reserve(accounts.size());
        for (const BulkAccount& a : accounts)
            list.push_back({a.name, a.pid, a.password, a.group, a.groups});
        ws->workgroup->createAccounts(ws->userSid, list, ws->maxPassword());
        ws->reload();
    });
}

void CreateDocuments(const DatabasePtr& database, const std::string& containerName,
                     const std::vector<std::string>& names) {
    const auto s = engine::sessionOf(database);
    engine::guarded(s->log(), [&] {
        const std::uint32_t c = s->findContainer(containerName);
        if (c == engine::Session::npos)
            engine::fail(errItemNotFound, "Container '" + containerName + "' not found.");
        s->createDocuments(c, names);
    });
}

void SetPermissions(const DatabasePtr& database, const std::vector<BulkPermission>& entries) {
    const auto s = engine::sessionOf(database);
    engine::guarded(s->log(), [&] {
        std::vector<engine::Session::Grant> grants;
        grants.reserve(entries.size());
        for (const BulkPermission& e : entries) {
            const std::uint32_t c = s->findContainer(e.container);
            if (c == engine::Session::npos)
                engine::fail(errItemNotFound, "Container '" + e.container + "' not found.");
            std::uint32_t obj = c;
            if (!e.document.empty()) {
                obj = s->findDocument(c, e.document);
                if (obj == engine::Session::npos)
                    engine::fail(errItemNotFound, "Object '" + e.document + "' not found.");
            }
            grants.push_back({obj, s->accountSid(e.account), e.permissions,
                              e.document.empty() ? std::optional<bool>(e.inherit) : std::nullopt});
        }
        s->setPermissionsBulk(grants);
    });
}

} // namespace dao
