#pragma once
// What a logged-in workspace shares with its collections, account objects and databases.
#include "dao/engine/ErrorLog.h"
#include "dao/engine/Workgroup.h"

#include <memory>
#include <string>

namespace dao::engine {

struct WorkspaceState {
    ErrorLogPtr log;
    std::string engineVersion; // "3.5" or "3.6"
    std::string name;
    std::string userName; // canonical spelling of the logged-in account
    Sid userSid;
    std::unique_ptr<WorkgroupFile> workgroup;
    SnapshotPtr snapshot; // the accounts as last loaded

    bool dao35() const { return engineVersion == "3.5"; }
    std::size_t maxPassword() const { return dao35() ? 14 : 20; }
    // The accounts, reloaded first when another process has changed the workgroup file.
    SnapshotPtr current() {
        if (!snapshot || workgroup->changedSinceLoad()) snapshot = workgroup->load();
        return snapshot;
    }
    void reload() { snapshot = workgroup->load(); }
};
using WorkspaceStatePtr = std::shared_ptr<WorkspaceState>;

// The workspace's Users and Groups collections, and CreateUser/CreateGroup objects.
UsersPtr makeWorkspaceUsers(const WorkspaceStatePtr& ws);
GroupsPtr makeWorkspaceGroups(const WorkspaceStatePtr& ws);
UserPtr makeNewUser(const WorkspaceStatePtr& ws, const Variant& name, const Variant& pid,
                    const Variant& password);
GroupPtr makeNewGroup(const WorkspaceStatePtr& ws, const Variant& name, const Variant& pid);

// The state behind a workspace made by this engine (errInvalidArgument for any other object).
WorkspaceStatePtr stateOf(const WorkspacePtr& ws);

// Text of an optional variant argument: Empty and Null give "", other kinds fail with errInvalidArgument.
std::string optionalText(const Variant& v, const char* what);

} // namespace dao::engine
