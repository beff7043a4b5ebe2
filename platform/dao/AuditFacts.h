#pragma once
// Engine extensions for security audits, beyond the DAO object model (the roles Access's own security
// dialogs and wizards play on Windows): what a database's catalogue holds besides the rows of the
// workgroup's accounts, and which users have no password.
#include "dao/Dao.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dao {

// One entry of a database's catalogue that names a SID the workgroup does not know.
struct SecurityEntry {
    std::string container;
    std::string object; // empty for the container itself
    std::string sidHex; // upper-case hexadecimal
    std::int32_t permissions = 0;
    bool accessDefaultAdmins = false; // the SID is the Admins group of Access's default workgroup
};

struct CatalogueFacts {
    std::vector<SecurityEntry> orphanEntries; // access control entries of unknown SIDs
    std::vector<SecurityEntry> unknownOwners; // objects owned by unknown SIDs (permissions 0)
    // The workgroup's Admins group is the one of Access's default workgroup, the same everywhere.
    bool workgroupIsAccessDefault = false;
    // What of a genuine database or its workgroup file could not be read, one sentence each (rows libmdb
    // could not decode, entries on objects that do not exist). Empty when everything was read.
    std::vector<std::string> unread;
};

// The SID of the Admins group of the workgroup file Access installs by default; it is the same in
// every installation, so whatever it holds is open to anyone.
inline constexpr const char* kAccessDefaultAdminsSid =
    "01DB879320814FAB38DF561A17236A4B1172CC76E4776CB172DF561A17236A4B11DF561A17236A4B11DF561A17236A4B11"
    "DF561A17236A4B1172CC76E4776CB172DF561A17236A4B11DF561A17236A4B11DF561A17236A4B11DF561A17236A4B11"
    "DF561A1723";

// Reads the facts of an open database. On the engine's own files the login needs what the statistics
// queries need, RetrieveData on MSysACEs (errNoReadData otherwise); genuine files are read in full.
CatalogueFacts ReadCatalogueFacts(const DatabasePtr& database);

// What of the workspace's genuine workgroup file could not be read, one sentence each (as in
// CatalogueFacts::unread); empty for the engine's own workgroup files.
std::vector<std::string> UnreadWorkgroupParts(const WorkspacePtr& workspace);

// The users of the workspace's workgroup whose password is empty, in name order. Only members of
// Admins may ask (errNoPermission); genuine workgroup files' passwords cannot be checked
// (errNotSupported).
std::vector<std::string> UsersWithEmptyPassword(const WorkspacePtr& workspace);

} // namespace dao
