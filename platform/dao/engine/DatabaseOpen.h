#pragma once
// Opening and creating database files for a logged-in workspace.
#include "WorkspaceState.h"

namespace dao::engine {

DatabasePtr openDatabase(const WorkspaceStatePtr& ws, const std::string& path, bool exclusive, bool readOnly);
DatabasePtr createDatabase(const WorkspaceStatePtr& ws, const std::string& path, const std::string& format);

} // namespace dao::engine
