#pragma once
// The engine side of a command: logging in to a workgroup and opening a database, and the parsing of
// option values. Containers and documents are found by ObjectLookup.h, engines made by CreateDAOEngine
// and permission values written by PermHex, as in the window.
#include "keyloupe-jet/Options.h"

#include "dao/Dao.h"
#include "security/CatalogueReader.h"
#include "security/ObjectLookup.h"
#include "security/PermissionColumns.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jettool {

// A logged-in workspace on a workgroup file. Holds the engine and workspace for the command's run.
class Session {
public:
    Session(const std::string& daoVersion, const std::string& workgroup, const std::string& user,
            const std::string& password);
    // Logs in with the command's login options; --workgroup must be present.
    explicit Session(const GlobalOptions& options);

    dao::DBEngine& engine() { return *engine_; }
    dao::Workspace& workspace() { return *workspace_; }
    const dao::WorkspacePtr& workspacePtr() const { return workspace_; }

    // Opens a database shared (not exclusive); read-only when asked. What of a genuine database and its
    // workgroup file could not be read is added to unreadParts().
    dao::DatabasePtr openDatabase(const std::string& path, bool readOnly);

private:
    dao::DBEnginePtr engine_;
    dao::WorkspacePtr workspace_;
};

// What the commands of this run could not read of the genuine files they opened, one sentence each;
// noteUnread adds those not already there. The Session adds its workgroup's and its databases'.
std::vector<std::string>& unreadParts();
void noteUnread(const std::vector<std::string>& parts);

// The container itself when object is the container-row marker ContainerObjectName, else the document
// of that name in the container.
std::shared_ptr<dao::SecuredObject> findObject(dao::Database& db, const std::string& container,
                                               const std::string& object);

// A permission value typed as hexadecimal (optionally prefixed "0x", "&H" or "$"), at most eight digits.
// Throws UsageError.
std::int32_t parsePermHex(const std::string& text);

// "true" or "false", in any letter case. Throws UsageError.
bool parseBool(const std::string& text);

// A whole number 0..maximum given for an option. Throws UsageError.
int parseCount(const std::string& optionName, const std::string& text, int maximum);

} // namespace jettool
