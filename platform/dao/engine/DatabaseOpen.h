#pragma once
// Opening and creating database files for a logged-in workspace.
#include "dao/engine/Session.h"
#include "dao/engine/WorkspaceState.h"

#include "dao/CatalogueSnapshot.h"

namespace dao::engine {

DatabasePtr openDatabase(const WorkspaceStatePtr& ws, const std::string& path, bool exclusive, bool readOnly);
DatabasePtr createDatabase(const WorkspaceStatePtr& ws, const std::string& path, const std::string& format);
// A sandbox database (format 2) holding the snapshot's objects, owners and entries as they are, with origin
// kept as text; the snapshot's SIDs have been checked. Nothing is left behind on failure.
void createSandboxDatabase(const std::string& path, const CatalogueSnapshot& snapshot,
                           const std::string& origin);
// The session behind a database opened by this engine (errInvalidArgument for any other object).
SessionPtr sessionOf(const DatabasePtr& db);

} // namespace dao::engine
