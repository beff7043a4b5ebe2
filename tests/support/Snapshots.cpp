#include "support/Snapshots.h"

#include <algorithm>
#include <stdexcept>

namespace kltest {
namespace {

std::size_t objectIndex(const dao::CatalogueSnapshot& s, const std::string& container,
                        const std::string& object) {
    for (std::size_t i = 0; i < s.objects.size(); ++i)
        if (s.objects[i].container == container && s.objects[i].name == object) return i;
    throw std::invalid_argument("no object " + container + " \\ " + object);
}

} // namespace

dao::CatalogueSnapshot shopSnapshot() {
    dao::CatalogueSnapshot s;
    s.databaseFormat = "4.0";
    s.creatorAdminsSid = "D";
    s.accounts = {{"admin", "A", false, ""}, {"alice", "L", false, "alicepid"},
                  {"bob", "B", false, ""},   {"Admins", "D", true, ""},
                  {"Users", "S", true, ""},  {"Sales", "E", true, "salespid"}};
    s.memberships = {{"D", "A"}, {"S", "A"}, {"S", "L"}, {"E", "L"}, {"S", "B"}};
    s.objects = {{"Tables", "", "A"},         {"Tables", "Orders", "L"}, {"Tables", "Customers", "A"},
                 {"Forms", "", "A"},          {"Forms", "Main", "A"},    {"Databases", "", "A"},
                 {"Databases", "MSysDb", "A"}};
    setEntry(s, "Tables", "Orders", "S", 0x14);
    setEntry(s, "Databases", "MSysDb", "S", 0x2);
    setEntry(s, "Tables", "", "E", 0x74, true);
    setEntry(s, "Tables", "Customers", "L", 0);
    setEntry(s, "Tables", "Customers", "Z", 0x4);
    return s;
}

void setEntry(dao::CatalogueSnapshot& s, const std::string& container, const std::string& object,
              const std::string& sid, std::int32_t permissions, bool inheritable) {
    const std::size_t i = objectIndex(s, container, object);
    for (dao::SnapshotAce& a : s.aces)
        if (a.object == i && a.sid == sid) {
            a.permissions = permissions;
            a.inheritable = inheritable;
            return;
        }
    s.aces.push_back({i, sid, permissions, inheritable});
}

void setOwnerSid(dao::CatalogueSnapshot& s, const std::string& container, const std::string& object,
                 const std::string& sid) {
    s.objects[objectIndex(s, container, object)].ownerSid = sid;
}

void removeAccount(dao::CatalogueSnapshot& s, const std::string& sid) {
    std::erase_if(s.accounts, [&](const dao::SnapshotAccount& a) { return a.sid == sid; });
    std::erase_if(s.memberships,
                  [&](const dao::SnapshotMembership& m) { return m.userSid == sid || m.groupSid == sid; });
}

void removeMembership(dao::CatalogueSnapshot& s, const std::string& userSid, const std::string& groupSid) {
    std::erase_if(s.memberships, [&](const dao::SnapshotMembership& m) {
        return m.userSid == userSid && m.groupSid == groupSid;
    });
}

} // namespace kltest
