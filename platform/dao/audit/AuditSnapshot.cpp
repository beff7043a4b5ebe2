// The catalogue of a genuine pair with its SIDs as stored: what a sandbox copy is made from.
#include "dao/audit/AuditCatalog.h"

#include "dao/engine/Rights.h"

namespace dao::audit {
namespace {

// Jet gives the Admins group of the workgroup a database is created under an entry on the
// database document (Databases/MSysDb) holding Administer, and Admins SIDs are the only long ones
// (the built-in accounts' SIDs are two bytes, users' and other groups' at most a few dozen). Among
// the entries on MSysDb with Administer, the longest SID is that group; where none holds it, the
// longest SID of any entry there. Empty when MSysDb has no entries at all.
std::string creatorAdmins(const CatalogueSnapshot& s, std::size_t msysDb) {
    std::string best;
    bool bestAdmin = false;
    for (const SnapshotAce& a : s.aces) {
        if (a.object != msysDb) continue;
        const bool admin = (a.permissions & engine::kDBAdmin) != 0;
        if ((admin && !bestAdmin) || (admin == bestAdmin && a.sid.size() > best.size())) {
            best = a.sid;
            bestAdmin = admin;
        }
    }
    return best;
}

} // namespace

CatalogueSnapshot AuditCatalog::snapshot() const {
    CatalogueSnapshot s;
    s.databaseFormat = format_;
    s.collatingOrder = langId_;
    const AuditWorkgroup& wg = workgroup();
    for (std::uint32_t i = 0; i < wg.size(); ++i) {
        const AuditAccount& a = wg.at(i);
        s.accounts.push_back({a.name, a.sid, a.group, {}});
    }
    for (std::uint32_t u : wg.users())
        for (std::uint32_t g : wg.groupsOf(u))
            s.memberships.push_back({wg.at(g).sid, wg.at(u).sid});

    // Objects as they are shown: the containers, then each one's documents.
    std::unordered_map<std::uint32_t, std::string> unknownOwner(unknownOwners_.begin(), unknownOwners_.end());
    std::unordered_map<std::uint32_t, std::size_t> index; // object index -> snapshot object
    auto add = [&](std::uint32_t obj, const std::string& container, const std::string& name) {
        const AuditObject& o = objects_[obj];
        index.emplace(obj, s.objects.size());
        s.objects.push_back({container, name, o.owner == npos ? unknownOwner[obj] : wg.at(o.owner).sid});
    };
    for (std::uint32_t c : containers_)
        add(c, objects_[c].name, "");
    for (std::uint32_t c : containers_)
        for (std::uint32_t d : documents(c))
            add(d, objects_[c].name, objects_[d].name);

    // Entries of known accounts, then the orphans, each on an object that is shown; those on rows
    // outside every container are not part of any catalogue a user sees.
    for (const auto& [key, ace] : aces_) {
        const auto it = index.find(static_cast<std::uint32_t>(key >> 32));
        if (it == index.end()) continue;
        s.aces.push_back({it->second, wg.at(static_cast<std::uint32_t>(key)).sid, ace.acm, ace.inheritable});
    }
    for (const Orphan& o : orphans_) {
        const auto it = o.obj == npos ? index.end() : index.find(o.obj);
        if (it == index.end()) continue;
        s.aces.push_back({it->second, o.sid, o.acm, o.inheritable});
    }
    std::sort(s.aces.begin(), s.aces.end(), [](const SnapshotAce& a, const SnapshotAce& b) {
        return a.object != b.object ? a.object < b.object : a.sid < b.sid;
    });

    const std::uint32_t databases = findContainer("Databases");
    const std::uint32_t msysDb = databases == npos ? npos : findDocument(databases, "MSysDb");
    if (msysDb != npos) s.creatorAdminsSid = creatorAdmins(s, index.at(msysDb));
    return s;
}

} // namespace dao::audit
