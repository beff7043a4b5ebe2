#pragma once
// Opening and creating database files for a logged-in workspace.
#include "dao/engine/Session.h"
#include "dao/engine/WorkspaceState.h"

namespace dao::engine {

DatabasePtr openDatabase(const WorkspaceStatePtr& ws, const std::string& path, bool exclusive, bool readOnly);
DatabasePtr createDatabase(const WorkspaceStatePtr& ws, const std::string& path, const std::string& format);
// The session behind a database opened by this engine (errInvalidArgument for any other object).
SessionPtr sessionOf(const DatabasePtr& db);

} // namespace dao::engine
