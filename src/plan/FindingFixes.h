#pragma once
// The mechanical fixes of findings, as steps the ordinary permission and owner commands carry out:
// the Users group's and admin's explicit rights removed from the objects a finding names, and the
// objects admin owns given to an account the user picks once.
#include "dao/Dao.h"
#include "security/Findings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plan {

struct FixStep {
    bool owner = false; // give the object to account; else take account's explicit rights away
    std::string container;
    std::string object; // document name, or "<container>" for the container's own row
    bool containerRow = false;
    std::string account; // whose rights are removed, or the new owner
    // Rights: the bits that stay. The Users group keeps DBOpen on the database (MSysDb): without it nobody
    // outside another group that holds it could open the database at all; alone it is no finding.
    std::int32_t keep = 0;
};

// Whether one of the findings gives objects away, so that a new owner must be picked.
bool NeedsNewOwner(const std::vector<const TFinding*>& findings);

// The steps of the findings' fixes: rights removed first (an owner may always change permissions, so
// admin still may while it owns the objects), then ownerships given to newOwner. An (object, account)
// named by several findings gets one step. Findings without a mechanical fix give none.
std::vector<FixStep> FixSteps(const std::vector<const TFinding*>& findings, const std::string& newOwner);

// "remove the rights of Users on Tables \ Orders", "give Forms \ Main to shopadmin".
std::string FixStepLine(const FixStep& step);

// Carries out one step on an open database, as the permission and owner commands do: UserName, then
// Permissions read and written back with only the kept bits; or Owner.
void ApplyFixStep(const dao::ContainersPtr& containers, const FixStep& step);

} // namespace plan
