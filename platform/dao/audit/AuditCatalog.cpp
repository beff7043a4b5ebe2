#include "dao/audit/AuditCatalog.h"

#include "dao/audit/MdbReader.h"
#include "dao/audit/SidMask.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace dao::audit {
namespace {

constexpr std::int32_t kRootId = 0x0F000000; // MSysObjects' parent of every container
constexpr std::int32_t kTypeContainer = 3;

std::int32_t number(const std::string& text, const char* what) {
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < INT32_MIN || v > UINT32_MAX)
        throw std::runtime_error(std::string("it is damaged (") + what + " '" + text + "' is not a number)");
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

bool flag(const std::string& text) {
    return !text.empty() && text != "0";
}

void sortByName(std::vector<std::uint32_t>& list, const auto& nameOf) {
    std::sort(list.begin(), list.end(), [&](std::uint32_t a, std::uint32_t b) {
        return engine::compareNoCase(nameOf(a), nameOf(b)) < 0;
    });
}

std::string rowsText(std::size_t n) {
    return n == 1 ? "1 row" : std::to_string(n) + " rows";
}

// What of a table could not be read, added to notes as sentences starting with lead.
void noteUnread(std::vector<std::string>& notes, const std::string& lead, std::size_t rows, std::size_t pages,
                const std::string& what, const std::string& consequence = {}) {
    if (rows > 0)
        notes.push_back(lead + rowsText(rows) + " of its " + what + " could not be read" + consequence + ".");
    if (pages > 0)
        notes.push_back(lead + (pages == 1 ? std::string("1 page") : std::to_string(pages) + " pages") +
                        " of its " + what + " could not be read" + consequence + ".");
}

// The accounts every genuine workgroup file holds; a file without one of them is damaged.
struct BuiltIn {
    const char* name;
    bool group;
};
constexpr BuiltIn kBuiltIns[] = {
    {"admin", false}, {"Admins", true}, {"Users", true}, {"Engine", false}, {"Creator", false}};

// The SIDs that are the same in every workgroup: Users, Engine, Creator and admin.
bool isBuiltInSid(std::string_view sid) {
    return sid == std::string_view("\x02\x01", 2) || sid == std::string_view("\x02\x03", 2) ||
           sid == std::string_view("\x02\x04", 2) || sid == std::string_view("\x03\x01", 2);
}

} // namespace

void refuseWrite(const std::string& path) {
    fail(errReadOnly,
         "Cannot change '" + path +
             "': genuine Jet files are opened read-only for audit, and Keyloupe never writes them.");
}

AuditWorkgroup::AuditWorkgroup(const std::string& path) : path_(path) {
    MdbReadResult raw;
    try {
        raw = readJetTables(
            path, {{"MSysAccounts", {"Name", "SID", "FGroup"}}, {"MSysGroups", {"GroupSID", "UserSID"}}});
    } catch (const std::runtime_error& e) {
        fail(errSystemDbMissing,
             "Cannot use the workgroup information file '" + path + "': " + e.what() + ".");
    }
    std::size_t unreadAccounts = raw.tables[0].unreadRows;
    for (const auto& row : raw.tables[0].rows) {
        if (row[0].empty() || row[1].empty()) {
            ++unreadAccounts;
            continue;
        }
        accounts_.push_back({row[0], row[1], flag(row[2])});
    }
    std::sort(accounts_.begin(), accounts_.end(), [](const AuditAccount& a, const AuditAccount& b) {
        return engine::compareNoCase(a.name, b.name) < 0;
    });
    const auto n = static_cast<std::uint32_t>(accounts_.size());
    groupsOf_.resize(n);
    membersOf_.resize(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        byName_.emplace(accounts_[i].name, i);
        bySid_.emplace(accounts_[i].sid, i);
        (accounts_[i].group ? groups_ : users_).push_back(i);
    }
    std::string missing;
    for (const BuiltIn& b : kBuiltIns) {
        const std::uint32_t a = find(b.name);
        if (a == npos || accounts_[a].group != b.group)
            missing += (missing.empty() ? "" : ", ") + std::string(b.name);
    }
    if (!missing.empty())
        fail(errSystemDbMissing, "Cannot use the workgroup information file '" + path +
                                     "': it is damaged (the built-in accounts every workgroup file holds are "
                                     "missing: " +
                                     missing + ").");
    const std::string lead = "The workgroup information file '" + path + "' is damaged: ";
    noteUnread(unread_, lead, unreadAccounts, raw.tables[0].unreadPages, "accounts (MSysAccounts)");
    noteUnread(unread_, lead, raw.tables[1].unreadRows, raw.tables[1].unreadPages,
               "memberships (MSysGroups)");
    for (const auto& row : raw.tables[1].rows) {
        const std::uint32_t g = findSid(row[0]), u = findSid(row[1]);
        if (g == npos || u == npos || !accounts_[g].group || accounts_[u].group) continue;
        if (std::find(groupsOf_[u].begin(), groupsOf_[u].end(), g) != groupsOf_[u].end()) continue;
        groupsOf_[u].push_back(g);
        membersOf_[g].push_back(u);
    }
    // Accounts are in name order, so index order is name order.
    for (auto& l : groupsOf_)
        std::sort(l.begin(), l.end());
    for (auto& l : membersOf_)
        std::sort(l.begin(), l.end());
}

std::uint32_t AuditWorkgroup::find(std::string_view name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? npos : it->second;
}

std::uint32_t AuditWorkgroup::findSid(std::string_view sid) const {
    const auto it = bySid_.find(std::string(sid));
    return it == bySid_.end() ? npos : it->second;
}

AuditCatalog::AuditCatalog(AuditWorkspaceStatePtr ws, const std::string& path)
    : ws_(std::move(ws)), path_(path) {
    MdbReadResult raw;
    SidMask mask;
    try {
        raw = readJetTables(path, {{"MSysObjects", {"Id", "ParentId", "Name", "Type", "Owner"}},
                                   {"MSysACEs", {"ObjectId", "SID", "ACM", "FInheritable"}}});
        if (raw.info.jetVersion == 4) mask = SidMask::fromJet4Header(raw.info.header);
    } catch (const std::runtime_error& e) {
        fail(errNotDatabaseFile, "Cannot open the database '" + path + "': " + e.what() + ".");
    }
    format_ = raw.info.jetVersion == 4 ? "4.0" : "3.0";
    if (raw.info.langId > 0) langId_ = raw.info.langId;
    const AuditWorkgroup& wg = *ws_->workgroup;

    struct Row {
        std::int32_t id, parent;
    };
    std::vector<Row> rows;
    std::unordered_map<std::int32_t, std::uint32_t> byId;
    std::size_t knownSids = 0, missingObjectAces = 0;
    try {
        for (const auto& r : raw.tables[0].rows) {
            AuditObject o;
            o.name = r[2];
            o.type = r[3].empty() ? 0 : number(r[3], "an object type");
            const std::string owner = mask.unmask(r[4]);
            o.owner = wg.findSid(owner);
            if (o.owner == npos)
                unknownOwners_.emplace_back(static_cast<std::uint32_t>(objects_.size()), owner);
            const Row ids{number(r[0], "an object id"), number(r[1], "a parent id")};
            byId.emplace(ids.id, static_cast<std::uint32_t>(objects_.size()));
            rows.push_back(ids);
            objects_.push_back(std::move(o));
        }
        for (std::uint32_t i = 0; i < objects_.size(); ++i)
            if (rows[i].parent == kRootId && objects_[i].type == kTypeContainer &&
                !objects_[i].name.empty() && containerByName_.emplace(objects_[i].name, i).second)
                containers_.push_back(i);
        for (std::uint32_t i = 0; i < objects_.size(); ++i) {
            const auto p = byId.find(rows[i].parent);
            if (p == byId.end() || !containerByName_.count(objects_[p->second].name) ||
                containerByName_.at(objects_[p->second].name) != p->second || objects_[i].name.empty())
                continue;
            DocIndex& d = docs_[p->second];
            if (!d.byName.emplace(objects_[i].name, i).second) continue;
            objects_[i].container = p->second;
            d.list.push_back(i);
        }
        const auto nameOf = [&](std::uint32_t i) -> const std::string& { return objects_[i].name; };
        sortByName(containers_, nameOf);
        for (const std::uint32_t c : containers_)
            sortByName(docs_[c].list, nameOf);

        for (const auto& r : raw.tables[1].rows) {
            const std::int32_t acm = number(r[2], "a permission value");
            ++aceCount_;
            if (acm != 0) ++nonZeroAceCount_;
            const std::int32_t objectId = number(r[0], "an object id");
            const auto o = byId.find(objectId);
            const std::string sid = mask.unmask(r[1]);
            const std::uint32_t a = wg.findSid(sid);
            if (a != npos || isBuiltInSid(sid)) ++knownSids;
            if (o == byId.end()) ++missingObjectAces;
            if (o == byId.end() || a == npos) { // an orphan: counted and listed, not shown in the rows
                orphans_.push_back({o == byId.end() ? npos : o->second, objectId, sid, acm, flag(r[3])});
                continue;
            }
            aces_[(std::uint64_t(o->second) << 32) | a] = {acm, flag(r[3])};
        }
    } catch (const std::runtime_error& e) {
        fail(errNotDatabaseFile, "Cannot open the database '" + path + "': " + e.what() + ".");
    }
    if (containers_.empty())
        fail(errNotDatabaseFile,
             "Cannot open the database '" + path + "': it is damaged (it has no containers).");
    // Every genuine database holds entries of the built-in accounts. When not one SID decodes to an
    // account, the SIDs were not decoded right: in a Jet 4 file the header the mask comes from is damaged.
    if (aceCount_ > 0 && knownSids == 0)
        fail(errNotDatabaseFile,
             "Cannot open the database '" + path +
                 "': it is damaged (not one of its access control entries names a built-in or known "
                 "account" +
                 (raw.info.jetVersion == 4 ? ": its header, from which their SIDs are decoded, is damaged)."
                                           : ")."));
    const std::string damaged = "The database '" + path + "' is damaged: ";
    noteUnread(unread_, damaged, raw.tables[0].unreadRows, raw.tables[0].unreadPages, "objects (MSysObjects)",
               "; their permissions are not shown");
    noteUnread(unread_, damaged, raw.tables[1].unreadRows, raw.tables[1].unreadPages,
               "permissions (MSysACEs)");
    if (missingObjectAces > 0)
        unread_.push_back(
            damaged + std::to_string(missingObjectAces) +
            (missingObjectAces == 1 ? " access control entry is" : " access control entries are") +
            " on objects that do not exist; they are listed as \"(object ID)\" under no container.");
}

std::uint32_t AuditCatalog::findContainer(std::string_view name) const {
    const auto it = containerByName_.find(name);
    return it == containerByName_.end() ? npos : it->second;
}

std::uint32_t AuditCatalog::findDocument(std::uint32_t container, std::string_view name) const {
    const auto d = docs_.find(container);
    if (d == docs_.end()) return npos;
    const auto it = d->second.byName.find(name);
    return it == d->second.byName.end() ? npos : it->second;
}

std::uint32_t AuditCatalog::account(std::string_view name) const {
    const std::uint32_t a = workgroup().find(name);
    if (a == npos) fail(errNotValidAccount, "'" + std::string(name) + "' is not a valid account name.");
    return a;
}

std::string AuditCatalog::ownerName(std::uint32_t obj) const {
    const std::uint32_t owner = objects_[obj].owner;
    return owner == npos ? "<Unknown>" : workgroup().at(owner).name;
}

const AuditCatalog::Ace* AuditCatalog::ace(std::uint32_t obj, std::uint32_t account) const {
    const auto it = aces_.find((std::uint64_t(obj) << 32) | account);
    return it == aces_.end() ? nullptr : &it->second;
}

std::int32_t AuditCatalog::explicitPermissions(std::uint32_t obj, std::uint32_t account) const {
    const Ace* a = ace(obj, account);
    return a ? a->acm : 0;
}

std::int32_t AuditCatalog::allPermissions(std::uint32_t obj, std::uint32_t account) const {
    std::int32_t all = explicitPermissions(obj, account);
    if (!workgroup().at(account).group)
        for (const std::uint32_t g : workgroup().groupsOf(account))
            all |= explicitPermissions(obj, g);
    return all;
}

bool AuditCatalog::inheritable(std::uint32_t obj, std::uint32_t account) const {
    const Ace* a = ace(obj, account);
    return a && a->inheritable;
}

CatalogueFacts AuditCatalog::facts() const {
    auto hex = [](const std::string& bytes) {
        static const char* digits = "0123456789ABCDEF";
        std::string h;
        for (const unsigned char b : bytes)
            h += {digits[b >> 4], digits[b & 15]};
        return h;
    };
    auto entry = [&](std::uint32_t obj, std::int32_t id, const std::string& sid, std::int32_t acm) {
        SecurityEntry e;
        if (obj == npos) {
            e.object = "(object " + std::to_string(id) + ")";
        } else if (objects_[obj].container == npos) {
            e.container = objects_[obj].name;
        } else {
            e.container = objects_[objects_[obj].container].name;
            e.object = objects_[obj].name;
        }
        e.sidHex = hex(sid);
        e.permissions = acm;
        e.accessDefaultAdmins = e.sidHex == kAccessDefaultAdminsSid;
        return e;
    };
    CatalogueFacts f;
    f.unread = workgroup().unread();
    f.unread.insert(f.unread.end(), unread_.begin(), unread_.end());
    for (const Orphan& o : orphans_)
        f.orphanEntries.push_back(entry(o.obj, o.objectId, o.sid, o.acm));
    for (const auto& [obj, sid] : unknownOwners_)
        // Objects outside every container (the root, stray rows) are not shown anywhere; leave them out.
        if (objects_[obj].container != npos || containerByName_.count(objects_[obj].name))
            f.unknownOwners.push_back(entry(obj, 0, sid, 0));
    const std::uint32_t admins = workgroup().find("Admins");
    f.workgroupIsAccessDefault = admins != npos && hex(workgroup().at(admins).sid) == kAccessDefaultAdminsSid;
    return f;
}

} // namespace dao::audit
