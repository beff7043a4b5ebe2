#include "plan/Changes.h"

namespace plan {

const char* ChangeKindName(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::AccountCreated:
        return "account-created";
    case ChangeKind::MembershipAdded:
        return "membership-added";
    case ChangeKind::Owner:
        return "owner";
    case ChangeKind::Inherit:
        return "inherit";
    case ChangeKind::Permissions:
        return "permissions";
    case ChangeKind::MembershipRemoved:
        return "membership-removed";
    case ChangeKind::AccountDeleted:
        return "account-deleted";
    case ChangeKind::ObjectOnlyHere:
        return "object-only-here";
    case ChangeKind::ObjectOnlyThere:
        return "object-only-there";
    }
    return "unknown";
}

} // namespace plan
