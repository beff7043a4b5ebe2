#include "plan/CompareCatalogues.h"

#include "security/PermissionColumns.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace plan {
namespace {

std::string sidHex(const std::string& sid) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(sid.size() * 2);
    for (unsigned char c : sid) {
        hex += digits[c >> 4];
        hex += digits[c & 0xF];
    }
    return hex;
}

std::string lower(const std::string& s) {
    std::string l = s;
    for (char& c : l)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return l;
}

// One side's accounts by SID.
struct Accounts {
    explicit Accounts(const dao::CatalogueSnapshot& s) {
        for (const dao::SnapshotAccount& a : s.accounts)
            bySid.emplace(a.sid, &a);
    }
    const dao::SnapshotAccount* find(const std::string& sid) const {
        const auto it = bySid.find(sid);
        return it == bySid.end() ? nullptr : it->second;
    }
    std::map<std::string, const dao::SnapshotAccount*> bySid;
};

// An account as both sides know it: the newer side's name and kind when it has it.
struct Known {
    const Accounts& older;
    const Accounts& newer;
    const dao::SnapshotAccount* find(const std::string& sid) const {
        const dao::SnapshotAccount* a = newer.find(sid);
        return a ? a : older.find(sid);
    }
    // Fills account, accountSid and accountKind of a change.
    void describe(Change& c, const std::string& sid) const {
        c.accountSid = sidHex(sid);
        if (const dao::SnapshotAccount* a = find(sid)) {
            c.account = a->name;
            c.accountKind = a->group ? 'G' : 'U';
        }
    }
    // The name an owner is shown by on one side: "<Unknown>" for a SID that side holds no account of.
    static std::string ownerName(const Accounts& side, const std::string& sid) {
        const dao::SnapshotAccount* a = side.find(sid);
        return a ? a->name : "<Unknown>";
    }
    // Users before groups, then by name ignoring case; SIDs no account holds last, by SID.
    auto sortKey(const std::string& sid) const {
        const dao::SnapshotAccount* a = find(sid);
        return std::make_tuple(a ? (a->group ? 1 : 0) : 2, a ? lower(a->name) : std::string(), sid);
    }
};

// One object's entries: per SID its permissions and inherit flag.
struct Entry {
    std::int32_t permissions = 0;
    bool inheritable = false;
};
using ObjectKey = std::pair<std::string, std::string>; // container, document ("" for the container)

struct Objects {
    explicit Objects(const dao::CatalogueSnapshot& s) {
        for (std::size_t i = 0; i < s.objects.size(); ++i) {
            const dao::SnapshotObject& o = s.objects[i];
            if (index.emplace(ObjectKey{o.container, o.name}, i).second) order.push_back(i);
        }
        entries.resize(s.objects.size());
        for (const dao::SnapshotAce& ace : s.aces)
            if (ace.object < entries.size())
                entries[ace.object][ace.sid] = {ace.permissions, ace.inheritable};
    }
    const dao::SnapshotObject* find(const dao::CatalogueSnapshot& s, const ObjectKey& key,
                                    const std::map<std::string, Entry>** aces) const {
        const auto it = index.find(key);
        if (it == index.end()) return nullptr;
        *aces = &entries[it->second];
        return &s.objects[it->second];
    }
    std::map<ObjectKey, std::size_t> index;
    std::vector<std::size_t> order; // the first object of each key, in the snapshot's order
    std::vector<std::map<std::string, Entry>> entries;
};

std::string names(const std::vector<std::string_view>& list) {
    std::string s;
    for (std::string_view n : list)
        s += (s.empty() ? "" : ", ") + std::string(n);
    return s;
}

void fillRights(Change& c, std::int32_t before, std::int32_t after) {
    const bool isContainer = c.object.empty();
    const TContainerClass cls = ClassOfContainer(c.container);
    std::vector<std::string_view> added, removed;
    for (int col = FirstPermColumn; col <= LastPermColumn; ++col) {
        if (!ColumnApplies(col, cls, isContainer ? RowLevelContainer : RowLevelDocument, c.object)) continue;
        const TSecColInfo& info = SecColInfo[static_cast<std::size_t>(col)];
        const bool had = (before & info.EnableMask) == info.EnableMask;
        const bool has = (after & info.EnableMask) == info.EnableMask;
        if (has && !had) added.push_back(info.Caption);
        if (had && !has) removed.push_back(info.Caption);
    }
    c.rightsAdded = names(added);
    c.rightsRemoved = names(removed);
}

} // namespace

std::vector<Change> CompareCatalogues(const dao::CatalogueSnapshot& older,
                                      const dao::CatalogueSnapshot& newer) {
    const Accounts oldAccounts(older), newAccounts(newer);
    const Known known{oldAccounts, newAccounts};
    std::vector<Change> out;

    // Accounts created: groups, then users, each in the newer catalogue's order.
    for (const bool group : {true, false})
        for (const dao::SnapshotAccount& a : newer.accounts)
            if (a.group == group && !oldAccounts.find(a.sid)) {
                Change c;
                c.kind = ChangeKind::AccountCreated;
                known.describe(c, a.sid);
                c.pid = a.pid;
                out.push_back(std::move(c));
            }

    // Memberships, by user then group name.
    using Membership = std::pair<std::string, std::string>; // user SID, group SID
    std::set<Membership> oldMembers, newMembers;
    for (const dao::SnapshotMembership& m : older.memberships)
        oldMembers.emplace(m.userSid, m.groupSid);
    for (const dao::SnapshotMembership& m : newer.memberships)
        newMembers.emplace(m.userSid, m.groupSid);
    auto memberships = [&](const std::set<Membership>& from, const std::set<Membership>& other,
                           const Accounts& otherSide, ChangeKind kind) {
        std::vector<Membership> listed;
        for (const Membership& m : from)
            // An account the other side does not have: created, its memberships are listed; deleted,
            // they go with it.
            if (!other.count(m) && (kind == ChangeKind::MembershipAdded ||
                                    (otherSide.find(m.first) && otherSide.find(m.second))))
                listed.push_back(m);
        std::sort(listed.begin(), listed.end(), [&](const Membership& a, const Membership& b) {
            return std::make_tuple(known.sortKey(a.first), known.sortKey(a.second)) <
                   std::make_tuple(known.sortKey(b.first), known.sortKey(b.second));
        });
        for (const Membership& m : listed) {
            Change c;
            c.kind = kind;
            known.describe(c, m.first);
            const dao::SnapshotAccount* g = known.find(m.second);
            c.group = g ? g->name : sidHex(m.second);
            out.push_back(std::move(c));
        }
    };
    memberships(newMembers, oldMembers, oldAccounts, ChangeKind::MembershipAdded);

    // Objects on both sides, in the newer catalogue's order; those of one side only are kept for last.
    const Objects oldObjects(older), newObjects(newer);
    struct Pair {
        const dao::SnapshotObject* older;
        const dao::SnapshotObject* newer;
        const std::map<std::string, Entry>* oldAces;
        const std::map<std::string, Entry>* newAces;
    };
    std::vector<Pair> both;
    std::vector<Change> oneSide;
    auto onlyOn = [&](const dao::SnapshotObject& o, ChangeKind kind) {
        Change c;
        c.kind = kind;
        c.container = o.container;
        c.object = o.name;
        oneSide.push_back(std::move(c));
    };
    for (std::size_t i : newObjects.order) {
        const dao::SnapshotObject& o = newer.objects[i];
        Pair p{nullptr, &o, nullptr, &newObjects.entries[i]};
        p.older = oldObjects.find(older, {o.container, o.name}, &p.oldAces);
        if (p.older)
            both.push_back(p);
        else
            onlyOn(o, ChangeKind::ObjectOnlyHere);
    }
    for (std::size_t i : oldObjects.order) {
        const dao::SnapshotObject& o = older.objects[i];
        if (!newObjects.index.count({o.container, o.name})) onlyOn(o, ChangeKind::ObjectOnlyThere);
    }

    // Owners.
    for (const Pair& p : both) {
        if (p.older->ownerSid == p.newer->ownerSid) continue;
        Change c;
        c.kind = ChangeKind::Owner;
        c.container = p.newer->container;
        c.object = p.newer->name;
        known.describe(c, p.newer->ownerSid);
        c.before = Known::ownerName(oldAccounts, p.older->ownerSid);
        c.after = Known::ownerName(newAccounts, p.newer->ownerSid);
        out.push_back(std::move(c));
    }

    // Entries: containers (inherit, then permissions, per account) before documents.
    auto entries = [&](const Pair& p) {
        std::set<std::string> sids;
        for (const auto& [sid, e] : *p.oldAces)
            sids.insert(sid);
        for (const auto& [sid, e] : *p.newAces)
            sids.insert(sid);
        std::vector<std::string> ordered(sids.begin(), sids.end());
        std::sort(ordered.begin(), ordered.end(), [&](const std::string& a, const std::string& b) {
            return known.sortKey(a) < known.sortKey(b);
        });
        const bool isContainer = p.newer->name.empty();
        for (const std::string& sid : ordered) {
            const auto o = p.oldAces->find(sid);
            const auto n = p.newAces->find(sid);
            const Entry before = o == p.oldAces->end() ? Entry{} : o->second;
            const Entry after = n == p.newAces->end() ? Entry{} : n->second;
            Change c;
            c.container = p.newer->container;
            c.object = p.newer->name;
            known.describe(c, sid);
            if (isContainer && before.inheritable != after.inheritable) {
                Change i = c;
                i.kind = ChangeKind::Inherit;
                i.before = before.inheritable ? "true" : "false";
                i.after = after.inheritable ? "true" : "false";
                out.push_back(std::move(i));
            }
            if (before.permissions != after.permissions) {
                c.kind = ChangeKind::Permissions;
                c.before = PermHex(before.permissions);
                c.after = PermHex(after.permissions);
                fillRights(c, before.permissions, after.permissions);
                out.push_back(std::move(c));
            }
        }
    };
    for (const bool containers : {true, false})
        for (const Pair& p : both)
            if (p.newer->name.empty() == containers) entries(p);

    memberships(oldMembers, newMembers, newAccounts, ChangeKind::MembershipRemoved);

    // Accounts deleted: users, then groups, each in the older catalogue's order.
    for (const bool group : {false, true})
        for (const dao::SnapshotAccount& a : older.accounts)
            if (a.group == group && !newAccounts.find(a.sid)) {
                Change c;
                c.kind = ChangeKind::AccountDeleted;
                c.account = a.name;
                c.accountSid = sidHex(a.sid);
                c.accountKind = a.group ? 'G' : 'U';
                out.push_back(std::move(c));
            }

    // Names that stand for more than one SID across the two sides.
    std::map<std::string, std::set<std::string>> sidsOfName;
    for (const auto* side : {&older, &newer})
        for (const dao::SnapshotAccount& a : side->accounts)
            sidsOfName[lower(a.name)].insert(a.sid);
    for (Change& c : out)
        if (!c.account.empty()) c.sidShown = sidsOfName[lower(c.account)].size() > 1;

    out.insert(out.end(), oneSide.begin(), oneSide.end());
    return out;
}

dao::CatalogueSnapshot ReadPairSnapshot(const dao::DBEnginePtr& engine, const std::string& workgroup,
                                        const std::string& database, const std::string& user,
                                        const std::string& password) {
    engine->SetSystemDB(workgroup);
    dao::WorkspacePtr ws =
        engine->CreateWorkspace("", user, password, dao::Variant(std::int32_t{dao::dbUseJet}));
    dao::DatabasePtr db = ws->OpenDatabase(database, dao::Variant(false), dao::Variant(true), dao::Variant());
    return dao::ReadCatalogueSnapshot(ws, db);
}

std::size_t ApplicableChangeCount(const std::vector<Change>& changes) {
    return static_cast<std::size_t>(std::count_if(changes.begin(), changes.end(), [](const Change& c) {
        return c.kind != ChangeKind::ObjectOnlyHere && c.kind != ChangeKind::ObjectOnlyThere;
    }));
}

} // namespace plan
