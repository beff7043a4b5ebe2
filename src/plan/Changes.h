#pragma once
// The changes between two security catalogues (a workgroup file with a database each), in the order
// in which they can be applied to the older one: accounts created (groups before users), memberships
// added, owners, container inherit flags and permissions, document permissions, memberships removed,
// accounts deleted (users before groups). Objects are matched by container and name, accounts by SID.
// Objects found on one side only are listed last; they are not changes that can be applied.
#include <string>
#include <vector>

namespace plan {

enum class ChangeKind {
    AccountCreated,
    MembershipAdded,
    Owner,
    Inherit,
    Permissions,
    MembershipRemoved,
    AccountDeleted,
    ObjectOnlyHere,  // in the newer catalogue only
    ObjectOnlyThere, // in the older catalogue only
};

// "account-created", "membership-added", "owner", "inherit", "permissions", "membership-removed",
// "account-deleted", "object-only-here", "object-only-there".
const char* ChangeKindName(ChangeKind kind);

struct Change {
    ChangeKind kind = ChangeKind::Permissions;
    std::string container;  // owner, inherit, permissions, object-only-*: the container's name
    std::string object;     // the document's name; empty for the container itself
    std::string account;    // the account concerned (memberships: the user); its name on the side it exists
    std::string accountSid; // that account's SID in hexadecimal (upper case), as matched
    char accountKind = 0;   // 'U' or 'G' where an account is concerned, else 0
    std::string group;      // memberships: the group's name
    std::string pid;        // account-created: the PID when the newer side knows it, else empty
    // permissions: hexadecimal as dump prints them (at least five digits); owner: account names
    // ("<Unknown>" for an owner no account holds); inherit: "true" or "false". Empty where not used.
    std::string before;
    std::string after;
    // permissions: the rights, named as the permissions grid's columns, that the change grants and
    // takes away (a right counts when all its bits are set), separated by ", "; empty when none.
    std::string rightsAdded;
    std::string rightsRemoved;
    // The account's name is held by another SID on one of the two sides (two workgroups compared): the
    // change's line names its SID as well.
    bool sidShown = false;
};

} // namespace plan
