#pragma once
// The audit engine: genuine Jet 3 and Jet 4 workgroup files and databases, read with libmdb and never
// written. The DBEngine hands a CreateWorkspace for a genuine workgroup file to it.
#include "dao/AuditFacts.h"
#include "dao/CatalogueSnapshot.h"
#include "dao/Dao.h"
#include "dao/engine/ErrorLog.h"

#include <string>
#include <vector>

namespace dao::audit {

// Logs in to a genuine workgroup file. The user must be a user of the workgroup (errBadLogin
// otherwise); Jet's stored password scheme is not public, so the password is not checked.
WorkspacePtr createAuditWorkspace(engine::ErrorLogPtr log, const std::string& engineVersion,
                                  const std::string& name, const std::string& systemDb,
                                  const std::string& userName);

bool isAuditWorkspace(const WorkspacePtr& workspace);
// What of the workgroup file of a workspace this engine made could not be read.
std::vector<std::string> workgroupUnread(const WorkspacePtr& workspace);
// The unknown SIDs of a database this engine opened (AuditOnly() is true).
CatalogueFacts catalogueFacts(const DatabasePtr& database);
// The whole catalogue of a database this engine opened, SIDs as stored.
CatalogueSnapshot catalogueSnapshot(const DatabasePtr& database);

} // namespace dao::audit
