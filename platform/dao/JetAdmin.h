#pragma once
// Administrative helpers of the engine beyond the DAO object model: bulk creation of accounts, documents
// and permissions in one transaction each, for demo files and benchmarks. Each follows the same rules
// and permission checks as the one-at-a-time DAO members it stands for, and changes nothing if any
// item is refused.
#include "dao/Dao.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dao {

struct BulkAccount {
    std::string name;
    std::string pid;
    std::string password; // users only
    bool group = false;
    std::vector<std::string> groups; // users only: groups to join besides Users
};

// As Users.Append / Groups.Append for each account in turn (groups must come before the users that
// join them); the logged-in user must be a member of Admins.
void CreateAccounts(const WorkspacePtr& workspace, const std::vector<BulkAccount>& accounts);

// As Database::CreateDocument for each name, in one container.
void CreateDocuments(const DatabasePtr& database, const std::string& containerName,
                     const std::vector<std::string>& names);

struct BulkPermission {
    std::string container;
    std::string document; // empty: the container itself
    std::string account;
    std::int32_t permissions = 0;
    bool inherit = false; // containers only
};

// As setting UserName, Inherit (containers) and Permissions for each entry.
void SetPermissions(const DatabasePtr& database, const std::vector<BulkPermission>& entries);

} // namespace dao
