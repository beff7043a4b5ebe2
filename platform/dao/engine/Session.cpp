#include "dao/engine/Session.h"

#include "dao/engine/ErrorLog.h"
#include "dao/engine/Rights.h"

#include <algorithm>

namespace dao::engine {
namespace {

constexpr std::string_view kUnknown = "<Unknown>";

std::int32_t documentType(std::string_view container) {
    if (equalNoCase(container, "Tables")) return kTypeTable;
    if (equalNoCase(container, "Databases")) return kTypeDatabaseDocument;
    if (equalNoCase(container, "Forms")) return kTypeForm;
    if (equalNoCase(container, "Reports")) return kTypeReport;
    if (equalNoCase(container, "Scripts")) return kTypeScript;
    if (equalNoCase(container, "Modules")) return kTypeModule;
    if (equalNoCase(container, "DataAccessPages")) return kTypeDataAccessPage;
    if (equalNoCase(container, "Relationships") || equalNoCase(container, "SysRel")) return kTypeRelationship;
    return 0;
}

} // namespace

Session::Session(WorkspaceStatePtr ws, std::unique_ptr<ShareLock> share, std::unique_ptr<Connection> db,
                 bool readOnly)
    : ws_(std::move(ws)), share_(std::move(share)), db_(std::move(db)), readOnly_(readOnly) {
    loadCatalog();
    ws_->current();
    bindAccounts();
}

void Session::loadCatalog() {
    Transaction tx(*db_, Transaction::Read);
    {
        Statement id(*db_, "SELECT Format, CollatingOrder, AdminsSID FROM MSysDatabase");
        if (!id.step()) fail(errNotDatabaseFile, "'" + path() + "' is damaged (no identity).");
        identity_ = {id.text(0), id.int32(1), Sid::fromBlob(id.blob(2)), db_->tableExists("MSysSandbox"), {}};
    }
    if (identity_.sandbox) {
        Statement origin(*db_, "SELECT Origin FROM MSysSandbox");
        if (origin.step()) identity_.origin = origin.text(0);
    }
    Statement objs(*db_, "SELECT Id, ParentId, Name, Type, Owner, Flags FROM MSysObjects");
    while (objs.step()) {
        CatalogObject o;
        o.id = objs.int64(0);
        o.parentId = objs.int64(1);
        o.name = objs.text(2);
        o.type = objs.int32(3);
        o.owner = intern(Sid::fromBlob(objs.blob(4)));
        o.flags = objs.int32(5);
        addObject(std::move(o));
    }
    sortDocuments();
    Statement aces(*db_, "SELECT ObjectId, SID, ACM, FInheritable FROM MSysACEs");
    std::vector<AceTable::Entry> entries;
    entries.reserve(objects_.size() * 3);
    while (aces.step()) {
        const auto it = byId_.find(aces.int64(0));
        if (it == byId_.end()) continue;
        entries.push_back(
            {it->second, intern(Sid::fromBlob(aces.blob(1))), {aces.int32(2), aces.int32(3) != 0}});
    }
    aces_.assign(std::move(entries));
    tx.commit();
    for (std::uint32_t c : containers_)
        for (std::uint32_t d : docs_[c].list)
            objects_[d].container = c;
}

// Adds an object to the maps; documents whose container is not loaded yet are linked by sortDocuments.
std::uint32_t Session::addObject(CatalogObject o) {
    const auto idx = static_cast<std::uint32_t>(objects_.size());
    objects_.push_back(std::move(o));
    const CatalogObject& obj = objects_.back();
    byId_.emplace(obj.id, idx);
    if (obj.parentId == 0) {
        containers_.push_back(idx);
        containerByName_.emplace(obj.name, idx);
        docs_[idx];
    }
    return idx;
}

void Session::sortDocuments() {
    auto byName = [&](std::uint32_t a, std::uint32_t b) {
        return compareNoCase(objects_[a].name, objects_[b].name) < 0;
    };
    std::sort(containers_.begin(), containers_.end(), byName);
    for (auto& [c, index] : docs_) {
        index.list.clear();
        index.byName.clear();
    }
    for (std::uint32_t i = 0; i < objects_.size(); ++i) {
        const CatalogObject& o = objects_[i];
        if (o.parentId == 0) continue;
        const auto parent = byId_.find(o.parentId);
        if (parent == byId_.end() || objects_[parent->second].parentId != 0)
            continue; // not under a container
        DocIndex& index = docs_[parent->second];
        index.list.push_back(i);
        index.byName.emplace(o.name, i);
    }
    for (auto& [c, index] : docs_)
        std::sort(index.list.begin(), index.list.end(), byName);
}

std::uint32_t Session::intern(const Sid& sid) {
    const auto [it, added] = sidIndex_.emplace(sid, static_cast<std::uint32_t>(sids_.size()));
    if (added) sids_.push_back(sid);
    return it->second;
}

void Session::bindAccounts() {
    const SnapshotPtr snap = ws_->snapshot;
    for (std::size_t a = 0; a < snap->size(); ++a)
        intern(snap->at(static_cast<std::uint32_t>(a)).sid);
    sidAccount_.assign(sids_.size(), npos);
    groupSids_.assign(sids_.size(), {});
    for (std::uint32_t s = 0; s < sids_.size(); ++s) {
        const std::uint32_t a = snap->findSid(sids_[s]);
        sidAccount_[s] = a;
        if (a == npos || snap->at(a).group) continue;
        for (std::uint32_t g : snap->groupsOf(a))
            groupSids_[s].push_back(sidIndex_.at(snap->at(g).sid));
    }
    loginSid_ = intern(ws_->userSid);
    dbAdmin_ = false;
    const std::uint32_t me = snap->findSid(ws_->userSid);
    const std::uint32_t admins = snap->findSid(identity_.creatorAdmins);
    if (me != npos && admins != npos && snap->at(admins).group) dbAdmin_ = snap->isMember(me, admins);
    bound_ = snap;
    ++securityGen_;
}

std::uint32_t Session::findContainer(std::string_view name) const {
    const auto it = containerByName_.find(name);
    return it == containerByName_.end() ? npos : it->second;
}

std::uint32_t Session::findDocument(std::uint32_t container, std::string_view name) const {
    const DocIndex& index = docs_.at(container);
    const auto it = index.byName.find(name);
    return it == index.byName.end() ? npos : it->second;
}

std::uint32_t Session::accountSid(std::string_view name) {
    ensureBound();
    // A walk names the accounts in the same order for every object: the name after the last one
    // asked for, or the first, usually matches exactly.
    if (recentFor_ != bound_) {
        recent_.clear();
        nextRecent_ = 0;
        recentFor_ = bound_;
    }
    for (std::size_t i : {nextRecent_, std::size_t(0)}) {
        if (i < recent_.size() && recent_[i].first == name) {
            nextRecent_ = i + 1;
            return recent_[i].second;
        }
    }
    const std::uint32_t a = bound_->find(name);
    if (a == AccountSnapshot::npos)
        fail(errNotValidAccount, "'" + std::string(name) + "' is not a valid account name.");
    const std::uint32_t sid = sidIndex_.find(bound_->at(a).sid)->second;
    if (nextRecent_ == recent_.size() && recent_.size() < 4096) {
        recent_.emplace_back(std::string(name), sid);
        nextRecent_ = recent_.size();
    }
    return sid;
}

std::string_view Session::sidName(std::uint32_t sid) const {
    const std::uint32_t a = sid < sidAccount_.size() ? sidAccount_[sid] : npos;
    return a == npos ? kUnknown : std::string_view(bound_->at(a).name);
}

std::int32_t Session::explicitPermissions(std::uint32_t obj, std::uint32_t sid) const {
    const Ace* a = ace(obj, sid);
    return a ? a->acm : 0;
}

std::int32_t Session::allPermissions(std::uint32_t obj, std::uint32_t sid) const {
    std::int32_t value = explicitPermissions(obj, sid);
    if (sid < groupSids_.size())
        for (std::uint32_t g : groupSids_[sid])
            value |= explicitPermissions(obj, g);
    return value;
}

bool Session::storedInherit(std::uint32_t obj, std::uint32_t sid) const {
    const Ace* a = ace(obj, sid);
    return a && a->inheritable;
}

bool Session::loginOwns(std::uint32_t obj) const {
    const std::uint32_t owner = objects_[obj].owner;
    if (owner == loginSid_) return true;
    const auto& groups = groupSids_[loginSid_];
    return std::find(groups.begin(), groups.end(), owner) != groups.end();
}

void Session::requireReadable(std::uint32_t obj, std::uint32_t sid) {
    ensureBound();
    if (sid == loginSid_ || dbAdmin_ || identity_.sandbox) return;
    if (readableObj_ != obj || readableGen_ != securityGen_) {
        readable_ = (loginRights(obj) & kReadSec) == kReadSec || loginOwns(obj);
        readableObj_ = obj;
        readableGen_ = securityGen_;
    }
    if (!readable_)
        fail(errNoPermission, "You don't have permission to read the permissions of '" + objects_[obj].name +
                                  "' for another account.");
}

void Session::requireWritable() const {
    if (readOnly_) fail(errReadOnly, "The database '" + path() + "' is opened read-only.");
    if (!writeRefusal_.empty()) fail(errNoPermission, writeRefusal_);
}

void Session::requireWriteSec(std::uint32_t obj) {
    ensureBound();
    if (!dbAdmin_ && !loginOwns(obj) && (loginRights(obj) & kWriteSec) != kWriteSec)
        fail(errNoPermission,
             "You don't have permission to change the permissions of '" + objects_[obj].name + "'.");
}

void Session::setPermissions(std::uint32_t obj, std::uint32_t sid, std::int32_t value,
                             std::optional<bool> inherit) {
    setPermissionsBulk({{obj, sid, value, inherit}});
}

void Session::setPermissionsBulk(const std::vector<Grant>& grants) {
    requireWritable();
    for (const Grant& g : grants)
        requireWriteSec(g.obj);
    {
        Transaction tx(*db_, Transaction::Write);
        Statement withInherit(
            *db_, "INSERT INTO MSysACEs(ObjectId, SID, ACM, FInheritable) VALUES (?1, ?2, ?3, ?4) "
                  "ON CONFLICT(ObjectId, SID) DO UPDATE SET ACM = excluded.ACM, "
                  "FInheritable = excluded.FInheritable");
        Statement valueOnly(*db_,
                            "INSERT INTO MSysACEs(ObjectId, SID, ACM, FInheritable) VALUES (?1, ?2, ?3, 0) "
                            "ON CONFLICT(ObjectId, SID) DO UPDATE SET ACM = excluded.ACM");
        for (const Grant& g : grants) {
            Statement& st = g.inherit ? withInherit : valueOnly;
            st.reset();
            st.bind(1, objects_[g.obj].id)
                .bindBlob(2, sids_[g.sid].data(), sids_[g.sid].size())
                .bind(3, std::int64_t(g.value));
            if (g.inherit) st.bind(4, std::int64_t(*g.inherit ? 1 : 0));
            st.run();
        }
        tx.commit();
    }
    for (const Grant& g : grants) {
        Ace& a = aces_.upsert(g.obj, g.sid);
        a.acm = g.value;
        if (g.inherit) a.inheritable = *g.inherit;
    }
    ++securityGen_;
}

void Session::setOwner(std::uint32_t obj, std::uint32_t sid) {
    requireWritable();
    ensureBound();
    if (!dbAdmin_ && !loginOwns(obj) && (loginRights(obj) & kWriteOwner) != kWriteOwner)
        fail(errNoPermission,
             "You don't have permission to change the owner of '" + objects_[obj].name + "'.");
    const Sid& owner = sids_[sid];
    {
        Transaction tx(*db_, Transaction::Write);
        Statement st(*db_, "UPDATE MSysObjects SET Owner = ?1, "
                           "DateUpdate = strftime('%Y-%m-%d %H:%M:%S', 'now') WHERE Id = ?2");
        st.bindBlob(1, owner.data(), owner.size()).bind(2, objects_[obj].id);
        st.run();
        tx.commit();
    }
    objects_[obj].owner = sid;
    ++securityGen_;
}

std::vector<std::uint32_t> Session::createDocuments(std::uint32_t container,
                                                    const std::vector<std::string>& names) {
    requireWritable();
    ensureBound();
    const CatalogObject& c = objects_[container];
    if (!dbAdmin_ && !loginOwns(container) && (loginRights(container) & kCreate) != kCreate)
        fail(errNoPermission, "You don't have permission to create objects in '" + c.name + "'.");
    const bool tables = equalNoCase(c.name, "Tables");
    for (const std::string& n : names) {
        const std::string problem = objectNameProblem(n);
        if (!problem.empty())
            fail(errInvalidName, "'" + printableName(n) + "' is not a valid object name: " + problem + ".");
    }
    const Sid& me = ws_->userSid;
    std::vector<CatalogObject> made;
    std::vector<std::pair<Sid, std::int32_t>> inherited; // what every new document receives
    {
        Transaction tx(*db_, Transaction::Write);
        Statement entries(*db_, "SELECT SID, ACM FROM MSysACEs WHERE ObjectId = ?1 AND FInheritable <> 0");
        entries.bind(1, c.id);
        while (entries.step())
            inherited.emplace_back(Sid::fromBlob(entries.blob(0)), entries.int32(1));
        Statement ins(*db_,
                      "INSERT INTO MSysObjects(ParentId, Name, Type, Owner, DateCreate, DateUpdate, Flags) "
                      "VALUES (?1, ?2, ?3, ?4, strftime('%Y-%m-%d %H:%M:%S', 'now'), "
                      "strftime('%Y-%m-%d %H:%M:%S', 'now'), 0)");
        Statement inherit(*db_,
                          "INSERT INTO MSysACEs(ObjectId, SID, ACM, FInheritable) "
                          "SELECT ?1, SID, ACM, 0 FROM MSysACEs WHERE ObjectId = ?2 AND FInheritable <> 0");
        const std::int32_t type = documentType(c.name);
        for (const std::string& n : names) {
            ins.reset();
            ins.bind(1, c.id).bind(2, n).bind(3, std::int64_t(type)).bindBlob(4, me.data(), me.size());
            if (ins.stepAllowConstraint() == SQLITE_CONSTRAINT)
                fail(errObjectExists, "An object named '" + n + "' already exists in '" + c.name + "'.");
            CatalogObject o;
            o.id = db_->lastInsertId();
            o.parentId = c.id;
            o.name = n;
            o.type = type;
            o.container = container;
            made.push_back(std::move(o));
            inherit.reset();
            inherit.bind(1, made.back().id).bind(2, c.id);
            inherit.run();
            if (tables) {
                if (db_->tableExists(n)) fail(errObjectExists, "A table named '" + n + "' already exists.");
                db_->exec(("CREATE TABLE " + quoteIdentifier(n) + " (ID INTEGER PRIMARY KEY)").c_str());
            }
        }
        tx.commit();
    }
    std::vector<std::pair<std::uint32_t, std::int32_t>> entries;
    for (const auto& [sid, acm] : inherited)
        entries.emplace_back(intern(sid), acm);
    std::vector<std::uint32_t> out;
    const std::uint32_t owner = intern(me);
    for (CatalogObject& o : made) {
        o.owner = owner;
        const std::uint32_t idx = addObject(std::move(o));
        for (const auto& [sid, acm] : entries)
            aces_.upsert(idx, sid) = {acm, false};
        out.push_back(idx);
    }
    if (sidAccount_.size() < sids_.size()) bindAccounts();
    sortDocuments();
    ++securityGen_;
    return out;
}

bool Session::mayRetrieveData(std::string_view table) {
    ensureBound();
    const std::uint32_t tables = findContainer("Tables");
    if (tables == npos) return false;
    const std::uint32_t doc = findDocument(tables, table);
    return doc != npos && (identity_.sandbox || (loginRights(doc) & kRetrieveData) == kRetrieveData);
}

} // namespace dao::engine
