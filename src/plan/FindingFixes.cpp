#include "plan/FindingFixes.h"

#include "security/ObjectLookup.h"

#include <set>
#include <tuple>

namespace plan {
namespace {

constexpr std::int32_t DBOpen = 0x2;

std::string where(const FixStep& s) {
    return s.containerRow ? s.container + " (container)" : s.container + " \\ " + s.object;
}

} // namespace

bool NeedsNewOwner(const std::vector<const TFinding*>& findings) {
    for (const TFinding* f : findings)
        if (f->Fix == TFixKind::GiveOwnership && !f->Targets.empty()) return true;
    return false;
}

std::vector<FixStep> FixSteps(const std::vector<const TFinding*>& findings, const std::string& newOwner) {
    std::vector<FixStep> steps;
    std::set<std::tuple<bool, std::string, std::string, bool, std::string>> seen;
    for (const bool owner : {false, true})
        for (const TFinding* f : findings) {
            if (f->Fix != (owner ? TFixKind::GiveOwnership : TFixKind::RemoveRights)) continue;
            for (const TFixTarget& t : f->Targets) {
                FixStep s{owner, t.Container, t.Object, t.ContainerRow, owner ? newOwner : f->Account, 0};
                if (!owner && s.account == "Users" && !s.containerRow && s.container == "Databases" &&
                    s.object == "MSysDb")
                    s.keep = DBOpen;
                if (seen.emplace(s.owner, s.container, s.object, s.containerRow, s.account).second)
                    steps.push_back(std::move(s));
            }
        }
    return steps;
}

std::string FixStepLine(const FixStep& s) {
    if (s.owner) return "give " + where(s) + " to " + s.account;
    return "remove the rights of " + s.account + " on " + where(s) + (s.keep ? " (DBOpen kept)" : "");
}

void ApplyFixStep(const dao::ContainersPtr& containers, const FixStep& s) {
    auto object = FindSecuredObject(containers, s.container, s.object,
                                    s.containerRow ? TRowKind::Container : TRowKind::Document);
    if (s.owner) {
        object->SetOwner(s.account);
        return;
    }
    object->SetUserName(s.account);
    object->SetPermissions(object->Permissions() & s.keep);
}

} // namespace plan
