#include "dao/engine/Workgroup.h"

#include "dao/engine/ErrorLog.h"
#include "dao/engine/FileFormat.h"
#include "dao/engine/Password.h"

#include <algorithm>
#include <cstdio>

namespace dao::engine {
namespace {

const char* const kWorkgroupSchema = R"sql(
CREATE TABLE MSysWorkgroup(
    Name TEXT NOT NULL, Organisation TEXT NOT NULL, WorkgroupId TEXT NOT NULL, AdminsSID BLOB NOT NULL);
CREATE TABLE MSysAccounts(
    Name TEXT NOT NULL COLLATE NOCASE UNIQUE,
    SID BLOB NOT NULL UNIQUE,
    Password TEXT,
    FGroup INTEGER NOT NULL CHECK (FGroup IN (0, 1)));
CREATE TABLE MSysGroups(
    GroupSID BLOB NOT NULL REFERENCES MSysAccounts(SID) ON DELETE CASCADE,
    UserSID BLOB NOT NULL REFERENCES MSysAccounts(SID) ON DELETE CASCADE,
    PRIMARY KEY (GroupSID, UserSID)) WITHOUT ROWID;
CREATE INDEX MSysGroupsByUser ON MSysGroups(UserSID);
)sql";

[[noreturn]] void unusable(const std::string& why) {
    fail(errSystemDbMissing, "Cannot use the workgroup information file: " + why);
}

// Called in a catch handler: a failure of the file itself (damaged, unreadable, not opened) is told in
// the same words as a refusal at the open; every other error passes unchanged.
[[noreturn]] void rethrowForFile(const DaoError& e) {
    if (e.number() == errNotDatabaseFile || e.number() == errUnexpected) unusable(e.description());
    throw;
}

std::string openChecked(const std::string& path) {
    const FileProblem p = checkFile(path, FileKind::Workgroup);
    if (p.code != FileProblem::None) unusable(p.text);
    return path;
}

bool isBuiltin(const BuiltinSids& b, const Sid& sid, const Sid& admins) {
    return sid == b.admin || sid == b.users || sid == b.engine || sid == b.creator || sid == admins;
}

bool isInternalUser(const BuiltinSids& b, const Sid& sid) {
    return sid == b.engine || sid == b.creator;
}

void validateName(std::string_view name) {
    const std::string problem = accountNameProblem(name);
    if (!problem.empty())
        fail(errNotValidAccount,
             "'" + printableName(name) + "' is not a valid account name: " + problem + ".");
}

void validatePid(std::string_view pid) {
    const std::size_t n = characterCount(pid);
    if (n < 4 || n > 20) fail(errPidLength, "The personal identifier (PID) must be 4 to 20 characters long.");
}

void validatePassword(std::string_view password, std::size_t maxPassword) {
    if (characterCount(password) > maxPassword)
        fail(errNotValidPassword,
             "Not a valid password: at most " + std::to_string(maxPassword) + " characters are allowed.");
}

} // namespace

AccountSnapshot::AccountSnapshot(std::vector<Account> accounts,
                                 const std::vector<std::pair<Sid, Sid>>& memberships, Sid admins)
    : accounts_(std::move(accounts)), admins_(admins) {
    std::sort(accounts_.begin(), accounts_.end(),
              [](const Account& a, const Account& b) { return compareNoCase(a.name, b.name) < 0; });
    groupsOf_.resize(accounts_.size());
    membersOf_.resize(accounts_.size());
    byName_.reserve(accounts_.size());
    bySid_.reserve(accounts_.size());
    for (std::uint32_t i = 0; i < accounts_.size(); ++i) {
        (accounts_[i].group ? groups_ : users_).push_back(i);
        byName_.emplace(accounts_[i].name, i);
        bySid_.emplace(accounts_[i].sid, i);
    }
    for (const auto& [group, user] : memberships) {
        const std::uint32_t g = findSid(group), u = findSid(user);
        if (g == npos || u == npos || !accounts_[g].group || accounts_[u].group) continue;
        groupsOf_[u].push_back(g);
        membersOf_[g].push_back(u);
    }
    for (auto& v : groupsOf_)
        std::sort(v.begin(), v.end());
    for (auto& v : membersOf_)
        std::sort(v.begin(), v.end());
}

std::uint32_t AccountSnapshot::find(std::string_view name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? npos : it->second;
}

std::uint32_t AccountSnapshot::findSid(const Sid& sid) const {
    const auto it = bySid_.find(sid);
    return it == bySid_.end() ? npos : it->second;
}

bool AccountSnapshot::isMember(std::uint32_t user, std::uint32_t group) const {
    const auto& g = groupsOf_[user];
    return std::binary_search(g.begin(), g.end(), group);
}

void WorkgroupFile::create(const std::string& path, const std::string& name, const std::string& organisation,
                           const std::string& workgroupId) {
    createEmptyFile(path);
    try {
        const std::string adminHash = hashPassword("");
        Connection db(path);
        {
            Transaction tx(db, Transaction::Write);
            db.exec(stampSql(FileKind::Workgroup).c_str());
            db.exec(kWorkgroupSchema);
            const Sid admins = adminsSid(name, organisation, workgroupId);
            Statement id(db, "INSERT INTO MSysWorkgroup(Name, Organisation, WorkgroupId, AdminsSID) "
                             "VALUES (?1, ?2, ?3, ?4)");
            id.bind(1, name)
                .bind(2, organisation)
                .bind(3, workgroupId)
                .bindBlob(4, admins.data(), admins.size());
            id.run();
            Statement acc(db,
                          "INSERT INTO MSysAccounts(Name, SID, Password, FGroup) VALUES (?1, ?2, ?3, ?4)");
            auto add = [&](const char* n, const Sid& sid, const std::string* hash, bool group) {
                acc.reset();
                acc.bind(1, std::string_view(n)).bindBlob(2, sid.data(), sid.size());
                if (hash)
                    acc.bind(3, *hash);
                else
                    acc.bindNull(3);
                acc.bind(4, std::int64_t(group ? 1 : 0));
                acc.run();
            };
            add("admin", adminUserSid(), &adminHash, false);
            add("Engine", engineUserSid(), nullptr, false);
            add("Creator", creatorUserSid(), nullptr, false);
            add("Admins", admins, nullptr, true);
            add("Users", usersGroupSid(), nullptr, true);
            Statement mem(db, "INSERT INTO MSysGroups(GroupSID, UserSID) VALUES (?1, ?2)");
            auto join = [&](const Sid& g, const Sid& u) {
                mem.reset();
                mem.bindBlob(1, g.data(), g.size()).bindBlob(2, u.data(), u.size());
                mem.run();
            };
            join(admins, adminUserSid());
            join(usersGroupSid(), adminUserSid());
            join(usersGroupSid(), engineUserSid());
            join(usersGroupSid(), creatorUserSid());
            tx.commit();
        }
        db.exec("PRAGMA journal_mode=WAL");
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
}

void WorkgroupFile::createSandbox(const std::string& path, const Sid& admins,
                                  const std::vector<Account>& accounts,
                                  const std::vector<std::pair<Sid, Sid>>& memberships,
                                  const std::string& origin) {
    const std::string emptyHash = hashPassword(""); // one hash for all: the slow part of the import
    createEmptyFile(path);
    try {
        Connection db(path);
        {
            Transaction tx(db, Transaction::Write);
            db.exec(stampSql(FileKind::Workgroup, true).c_str());
            db.exec(kWorkgroupSchema);
            db.exec("ALTER TABLE MSysAccounts ADD COLUMN Pid TEXT; CREATE TABLE MSysSandbox(Origin TEXT NOT "
                    "NULL);");
            Statement o(db, "INSERT INTO MSysSandbox(Origin) VALUES (?1)");
            o.bind(1, origin).run();
            Statement id(db, "INSERT INTO MSysWorkgroup(Name, Organisation, WorkgroupId, AdminsSID) "
                             "VALUES ('Sandbox', '', '', ?1)");
            id.bindBlob(1, admins.data(), admins.size()).run();
            Statement acc(
                db, "INSERT INTO MSysAccounts(Name, SID, Password, FGroup, Pid) VALUES (?1, ?2, ?3, ?4, ?5)");
            for (const Account& a : accounts) {
                acc.reset();
                acc.bind(1, a.name).bindBlob(2, a.sid.data(), a.sid.size());
                if (a.group)
                    acc.bindNull(3);
                else
                    acc.bind(3, emptyHash);
                acc.bind(4, std::int64_t(a.group ? 1 : 0));
                if (a.pid.empty())
                    acc.bindNull(5);
                else
                    acc.bind(5, a.pid);
                if (acc.stepAllowConstraint() == SQLITE_CONSTRAINT)
                    fail(errNameExists, "The account '" + printableName(a.name) + "' is there twice.");
            }
            Statement mem(db, "INSERT OR IGNORE INTO MSysGroups(GroupSID, UserSID) VALUES (?1, ?2)");
            for (const auto& [g, u] : memberships) {
                mem.reset();
                mem.bindBlob(1, g.data(), g.size()).bindBlob(2, u.data(), u.size());
                mem.run();
            }
            tx.commit();
        }
        db.exec("PRAGMA journal_mode=WAL");
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
}

// A workgroup file the user may read but not write is opened read-only: logins and every view work,
// account changes fail with errReadOnly.
WorkgroupFile::WorkgroupFile(const std::string& path) try
    : db_(openChecked(path), mayWriteFile(path) ? Connection::ReadWrite : Connection::ReadOnly) {
    if (!db_.tableExists("MSysAccounts") || !db_.tableExists("MSysGroups") ||
        !db_.tableExists("MSysWorkgroup"))
        unusable("'" + path + "' is damaged (tables are missing).");
    sandbox_ = db_.tableExists("MSysSandbox");
    builtins_ = sandbox_ ? genuineBuiltins() : ownBuiltins();
    db_.accept();
} catch (const DaoError& e) {
    rethrowForFile(e);
}

SnapshotPtr WorkgroupFile::load() try {
    Transaction tx(db_, Transaction::Read);
    loadedVersion_ = db_.dataVersion();
    std::vector<Account> accounts;
    Statement a(db_, sandbox_ ? "SELECT Name, SID, FGroup, Pid FROM MSysAccounts"
                              : "SELECT Name, SID, FGroup, NULL FROM MSysAccounts");
    while (a.step())
        accounts.push_back({a.text(0), Sid::fromBlob(a.blob(1)), a.int32(2) != 0, a.text(3)});
    std::vector<std::pair<Sid, Sid>> memberships;
    Statement m(db_, "SELECT GroupSID, UserSID FROM MSysGroups");
    while (m.step())
        memberships.emplace_back(Sid::fromBlob(m.blob(0)), Sid::fromBlob(m.blob(1)));
    const Sid admins = workgroupAdmins();
    tx.commit();
    return std::make_shared<const AccountSnapshot>(std::move(accounts), memberships, admins);
} catch (const DaoError& e) {
    rethrowForFile(e);
}

bool WorkgroupFile::changedSinceLoad() try {
    return db_.dataVersion() != loadedVersion_;
} catch (const DaoError& e) {
    rethrowForFile(e);
}

std::string WorkgroupFile::login(std::string_view name, std::string_view password) try {
    std::string canonical, hash;
    bool usable = false;
    {
        Transaction tx(db_, Transaction::Read);
        Statement st(db_, "SELECT Name, Password, FGroup, SID FROM MSysAccounts WHERE Name = ?1");
        st.bind(1, name);
        if (st.step() && !st.isNull(1) && st.int32(2) == 0 &&
            !isInternalUser(builtins_, Sid::fromBlob(st.blob(3)))) {
            canonical = st.text(0);
            hash = st.text(1);
            usable = true;
        }
        tx.commit();
    }
    const bool ok = usable ? verifyPassword(hash, password) : (verifyAgainstNothing(password), false);
    if (!ok) fail(errBadLogin, "Not a valid account name or password.");
    return canonical;
} catch (const DaoError& e) {
    rethrowForFile(e);
}

WorkgroupFile::Row WorkgroupFile::lookup(std::string_view name) {
    Statement st(db_, "SELECT Name, SID, FGroup FROM MSysAccounts WHERE Name = ?1");
    st.bind(1, name);
    Row r;
    if (st.step()) r = {st.text(0), Sid::fromBlob(st.blob(1)), st.int32(2) != 0, true};
    return r;
}

bool WorkgroupFile::isMember(const Sid& group, const Sid& user) {
    Statement st(db_, "SELECT 1 FROM MSysGroups WHERE GroupSID = ?1 AND UserSID = ?2");
    st.bindBlob(1, group.data(), group.size()).bindBlob(2, user.data(), user.size());
    return st.step();
}

Sid WorkgroupFile::workgroupAdmins() {
    Statement st(db_, "SELECT AdminsSID FROM MSysWorkgroup");
    if (!st.step()) unusable("'" + path() + "' is damaged (no workgroup identity).");
    return Sid::fromBlob(st.blob(0));
}

void WorkgroupFile::requireAdmin(const Sid& actor) {
    if (!isMember(workgroupAdmins(), actor))
        fail(errNoPermission, "You don't have permission to change accounts; only members of Admins may.");
}

void WorkgroupFile::createAccounts(const Sid& actor, const std::vector<NewAccount>& accounts,
                                   std::size_t maxPassword) try {
    // Everything that can be checked, and the slow password hashing, happens before the write lock.
    std::vector<std::string> hashes;
    hashes.reserve(accounts.size());
    for (const NewAccount& a : accounts) {
        validateName(a.name);
        validatePid(a.pid);
        if (!a.group) validatePassword(a.password, maxPassword);
        hashes.push_back(a.group ? std::string() : hashPassword(a.password));
    }
    Transaction tx(db_, Transaction::Write);
    requireAdmin(actor);
    Statement ins(db_, sandbox_
                           ? "INSERT INTO MSysAccounts(Name, SID, Password, FGroup, Pid) "
                             "VALUES (?1, ?2, ?3, ?4, ?5)"
                           : "INSERT INTO MSysAccounts(Name, SID, Password, FGroup) VALUES (?1, ?2, ?3, ?4)");
    Statement join(db_, "INSERT INTO MSysGroups(GroupSID, UserSID) VALUES (?1, ?2)");
    const Sid users = builtins_.users;
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        const NewAccount& a = accounts[i];
        const Sid sid = accountSid(a.name, a.pid);
        ins.reset();
        ins.bind(1, a.name).bindBlob(2, sid.data(), sid.size());
        if (a.group)
            ins.bindNull(3);
        else
            ins.bind(3, hashes[i]);
        ins.bind(4, std::int64_t(a.group ? 1 : 0));
        if (sandbox_) ins.bind(5, a.pid);
        if (ins.stepAllowConstraint() == SQLITE_CONSTRAINT)
            fail(errNameExists, "The account name '" + a.name + "' already exists.");
        if (a.group) continue;
        std::vector<Sid> joins{users};
        for (const std::string& g : a.memberOf) {
            const Row row = lookup(g);
            if (!row.found || !row.group) fail(errItemNotFound, "Group '" + g + "' not found.");
            if (!(row.sid == users)) joins.push_back(row.sid);
        }
        for (const Sid& g : joins) {
            join.reset();
            join.bindBlob(1, g.data(), g.size()).bindBlob(2, sid.data(), sid.size());
            join.stepAllowConstraint();
        }
    }
    tx.commit();
} catch (const DaoError& e) {
    rethrowForFile(e);
}

void WorkgroupFile::deleteAccount(const Sid& actor, std::string_view name, bool group) try {
    Transaction tx(db_, Transaction::Write);
    requireAdmin(actor);
    const Row row = lookup(name);
    if (!row.found || row.group != group)
        fail(errItemNotFound, std::string(group ? "Group '" : "User '") + std::string(name) + "' not found.");
    const Sid admins = workgroupAdmins();
    if (isBuiltin(builtins_, row.sid, admins))
        fail(errBuiltinAccount, "The built-in account '" + row.name + "' cannot be deleted.");
    if (!group && isMember(admins, row.sid)) {
        Statement count(db_, "SELECT count(*) FROM MSysGroups WHERE GroupSID = ?1");
        count.bindBlob(1, admins.data(), admins.size());
        count.step();
        if (count.int64(0) <= 1)
            fail(errLastAdmin, "'" + row.name + "' is the last member of Admins and cannot be deleted.");
    }
    Statement delMembers(db_, "DELETE FROM MSysGroups WHERE GroupSID = ?1 OR UserSID = ?1");
    delMembers.bindBlob(1, row.sid.data(), row.sid.size());
    delMembers.run();
    Statement del(db_, "DELETE FROM MSysAccounts WHERE SID = ?1");
    del.bindBlob(1, row.sid.data(), row.sid.size());
    del.run();
    tx.commit();
} catch (const DaoError& e) {
    rethrowForFile(e);
}

void WorkgroupFile::addMember(const Sid& actor, std::string_view user, std::string_view group) try {
    Transaction tx(db_, Transaction::Write);
    requireAdmin(actor);
    const Row g = lookup(group);
    if (!g.found || !g.group) fail(errItemNotFound, "Group '" + std::string(group) + "' not found.");
    const Row u = lookup(user);
    if (!u.found || u.group) fail(errItemNotFound, "User '" + std::string(user) + "' not found.");
    Statement ins(db_, "INSERT INTO MSysGroups(GroupSID, UserSID) VALUES (?1, ?2)");
    ins.bindBlob(1, g.sid.data(), g.sid.size()).bindBlob(2, u.sid.data(), u.sid.size());
    if (ins.stepAllowConstraint() == SQLITE_CONSTRAINT)
        fail(errNameExists, "'" + u.name + "' is already a member of '" + g.name + "'.");
    tx.commit();
} catch (const DaoError& e) {
    rethrowForFile(e);
}

void WorkgroupFile::removeMember(const Sid& actor, std::string_view user, std::string_view group) try {
    Transaction tx(db_, Transaction::Write);
    requireAdmin(actor);
    const Row g = lookup(group);
    if (!g.found || !g.group) fail(errItemNotFound, "Group '" + std::string(group) + "' not found.");
    const Row u = lookup(user);
    if (!u.found || u.group || !isMember(g.sid, u.sid))
        fail(errItemNotFound, "User '" + std::string(user) + "' is not a member of '" + g.name + "'.");
    if (g.sid == builtins_.users) fail(errOperationNotAllowed, "Nobody can be removed from the Users group.");
    if (g.sid == workgroupAdmins()) {
        Statement count(db_, "SELECT count(*) FROM MSysGroups WHERE GroupSID = ?1");
        count.bindBlob(1, g.sid.data(), g.sid.size());
        count.step();
        if (count.int64(0) <= 1)
            fail(errLastAdmin, "'" + u.name + "' is the last member of Admins and cannot be removed.");
    }
    Statement del(db_, "DELETE FROM MSysGroups WHERE GroupSID = ?1 AND UserSID = ?2");
    del.bindBlob(1, g.sid.data(), g.sid.size()).bindBlob(2, u.sid.data(), u.sid.size());
    del.run();
    tx.commit();
} catch (const DaoError& e) {
    rethrowForFile(e);
}

void WorkgroupFile::changePassword(const Sid& actor, std::string_view user, std::string_view oldPassword,
                                   std::string_view newPassword, std::size_t maxPassword) try {
    validatePassword(newPassword, maxPassword);
    const std::string newHash = hashPassword(newPassword);
    Transaction tx(db_, Transaction::Write);
    Statement st(db_, "SELECT Name, SID, FGroup, Password FROM MSysAccounts WHERE Name = ?1");
    st.bind(1, user);
    if (!st.step() || st.int32(2) != 0) fail(errItemNotFound, "User '" + std::string(user) + "' not found.");
    const Sid sid = Sid::fromBlob(st.blob(1));
    const bool hasHash = !st.isNull(3);
    const std::string oldHash = st.text(3);
    st.reset();
    if (isInternalUser(builtins_, sid))
        fail(errOperationNotAllowed, "The internal account has no password to change.");
    if (sid == actor) {
        if (!hasHash || !verifyPassword(oldHash, oldPassword))
            fail(errNotValidPassword, "Not a valid password: the old password is wrong.");
    } else {
        requireAdmin(actor);
    }
    Statement up(db_, "UPDATE MSysAccounts SET Password = ?1 WHERE SID = ?2");
    up.bind(1, newHash).bindBlob(2, sid.data(), sid.size());
    up.run();
    tx.commit();
} catch (const DaoError& e) {
    rethrowForFile(e);
}

} // namespace dao::engine
