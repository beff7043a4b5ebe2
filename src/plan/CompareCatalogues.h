#pragma once
// The comparison of two security catalogues: what must change in the older one (a genuine pair, last
// month's copy, a sandbox's origin) to make it the newer one (today's copy, the sandbox), as the list of
// Changes.h in its applicable order. Pure: it reads only the two snapshots.
#include "dao/CatalogueSnapshot.h"
#include "plan/Changes.h"

#include <string>
#include <vector>

namespace plan {

// Accounts are matched by SID, objects by container and name. Where a change concerns an account the
// name is the one it has on the side it exists (the newer side when both). An (object, account) pair
// without an entry counts as permissions 0 and inherit false, so an entry of zero rights is no change.
//
// Memberships of an account created in the newer catalogue are listed (Jet puts nothing into a group
// by itself when an account is made through DAO); those of an account deleted from it are not: they go
// with the account. Entries of a deleted account stay in the database (they become orphans) and are
// changes only when their values changed as well.
std::vector<Change> CompareCatalogues(const dao::CatalogueSnapshot& older,
                                      const dao::CatalogueSnapshot& newer);

// Logs in to the workgroup file through engine (a fresh one: its SystemDB is set here) as user and
// reads the catalogue of the database, opened shared and read-only.
dao::CatalogueSnapshot ReadPairSnapshot(const dao::DBEnginePtr& engine, const std::string& workgroup,
                                        const std::string& database, const std::string& user,
                                        const std::string& password);

// The number of changes that can be applied: every entry but the objects found on one side only.
std::size_t ApplicableChangeCount(const std::vector<Change>& changes);

} // namespace plan
