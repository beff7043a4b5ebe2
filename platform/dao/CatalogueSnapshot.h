#pragma once
// Engine extension: the whole security catalogue of a workgroup file and a database as it is stored,
// SIDs included: what a sandbox copy is made from and what two catalogues are compared by. Both engines
// answer it; the engine's own files also take it whole into a new sandbox pair.
#include "dao/Dao.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dao {

struct SnapshotAccount {
    std::string name;
    std::string sid; // the SID's bytes (1 to 128)
    bool group = false;
    std::string pid; // the PID the workgroup keeps for it; empty when unknown (genuine files never keep it)
};

struct SnapshotMembership {
    std::string groupSid; // bytes
    std::string userSid;  // bytes
};

struct SnapshotObject {
    std::string container; // the container's name
    std::string name;      // the document's name; empty for the container itself
    std::string ownerSid;  // bytes; may name no account of the workgroup
};

struct SnapshotAce {
    std::size_t object = 0; // index into CatalogueSnapshot::objects
    std::string sid;        // bytes; may name no account of the workgroup (an orphan)
    std::int32_t permissions = 0;
    bool inheritable = false;
};

struct CatalogueSnapshot {
    std::string databaseFormat; // "3.0" (Jet 3) or "4.0" (Jet 4)
    std::int32_t collatingOrder = 1033;
    std::string creatorAdminsSid; // bytes: the Admins group of the workgroup the database was made under
    std::vector<SnapshotAccount> accounts; // users and groups, built-in ones included
    std::vector<SnapshotMembership> memberships;
    std::vector<SnapshotObject> objects; // containers first, each followed by nothing in particular
    std::vector<SnapshotAce> aces;       // every entry, zero permissions included
};

// Reads the catalogue of an open database and its workspace's workgroup.
CatalogueSnapshot ReadCatalogueSnapshot(const WorkspacePtr& workspace, const DatabasePtr& database);

// Writes a new sandbox pair of the engine's own files holding the catalogue exactly as it stands: every
// account with its SID (names as they are, even those the engine would refuse to create), every
// membership, object, owner and entry, the format and the maker's Admins group. Every user gets the
// empty password. origin is kept in the database as it is (see SandboxOrigin). Neither path may exist
// (errDatabaseExists); on any failure neither file is left behind.
void WriteSandbox(const CatalogueSnapshot& snapshot, const std::string& workgroupPath,
                  const std::string& databasePath, const std::string& origin);

// The origin text a sandbox database keeps; empty when the database is no sandbox (genuine files and
// the engine's ordinary databases).
std::string SandboxOrigin(const DatabasePtr& database);

} // namespace dao
