// Database files: creation with Jet's default catalogue, opening with the format and permission checks,
// and the Database object.
#include "dao/engine/DatabaseOpen.h"

#include "dao/FileProbe.h"
#include "dao/engine/FileFormat.h"
#include "dao/engine/PropertyList.h"
#include "dao/engine/Query.h"
#include "dao/engine/Rights.h"
#include "dao/engine/SecuredObjects.h"

#include <cstdio>
#include <unordered_map>

namespace dao::engine {
namespace {

const char* const kDatabaseSchema = R"sql(
CREATE TABLE MSysDatabase(
    Format TEXT NOT NULL, CollatingOrder INTEGER NOT NULL, AdminsSID BLOB NOT NULL, DateCreate TEXT NOT NULL);
CREATE TABLE MSysObjects(
    Id INTEGER PRIMARY KEY,
    ParentId INTEGER NOT NULL,
    Name TEXT NOT NULL,
    Type INTEGER NOT NULL,
    Owner BLOB NOT NULL,
    DateCreate TEXT NOT NULL,
    DateUpdate TEXT NOT NULL,
    Flags INTEGER NOT NULL DEFAULT 0);
CREATE UNIQUE INDEX MSysObjectsByName ON MSysObjects(ParentId, Name COLLATE NOCASE);
CREATE TABLE MSysACEs(
    ObjectId INTEGER NOT NULL REFERENCES MSysObjects(Id) ON DELETE CASCADE,
    SID BLOB NOT NULL,
    ACM INTEGER NOT NULL,
    FInheritable INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (ObjectId, SID)) WITHOUT ROWID;
)sql";

constexpr std::int32_t kCollatingGeneral = 1033; // dbSortGeneral

// The new database's catalogue: containers, the Databases documents and the system tables, with Jet's
// default permissions, which leave the database open to everyone until an administrator secures it.
void writeDefaultCatalog(Connection& db, const std::string& format, const Sid& creator, const Sid& admins,
                         const BuiltinSids& builtins) {
    Statement obj(db, "INSERT INTO MSysObjects(ParentId, Name, Type, Owner, DateCreate, DateUpdate, Flags) "
                      "VALUES (?1, ?2, ?3, ?4, strftime('%Y-%m-%d %H:%M:%S', 'now'), "
                      "strftime('%Y-%m-%d %H:%M:%S', 'now'), ?5)");
    Statement ace(db, "INSERT INTO MSysACEs(ObjectId, SID, ACM, FInheritable) VALUES (?1, ?2, ?3, ?4)");
    const Sid users = builtins.users;
    const Sid engineSid = builtins.engine;
    auto add = [&](std::int64_t parent, const char* name, std::int32_t type, const Sid& owner,
                   std::int32_t flags, std::int32_t acm, bool inheritable) {
        obj.reset();
        obj.bind(1, parent).bind(2, std::string_view(name)).bind(3, std::int64_t(type));
        obj.bindBlob(4, owner.data(), owner.size()).bind(5, std::int64_t(flags));
        obj.run();
        const std::int64_t id = db.lastInsertId();
        for (const Sid* group : {&admins, &users}) {
            ace.reset();
            ace.bind(1, id).bindBlob(2, group->data(), group->size()).bind(3, std::int64_t(acm));
            ace.bind(4, std::int64_t(inheritable ? 1 : 0));
            ace.run();
        }
        return id;
    };
    std::vector<const char*> containers = {"Databases", "Forms",   "Modules", "Relationships",
                                           "Reports",   "Scripts", "SysRel",  "Tables"};
    if (format == "4.0") containers.insert(containers.begin(), "DataAccessPages");
    std::int64_t databases = 0, tables = 0;
    for (const char* name : containers) {
        const std::int64_t id = add(0, name, kTypeContainer, creator, 0, dbSecFullAccess, true);
        if (std::string_view(name) == "Databases") databases = id;
        if (std::string_view(name) == "Tables") tables = id;
    }
    add(databases, "MSysDb", kTypeDatabaseDocument, creator, 0, kDBOpen | kDBExclusive | kDBAdmin, false);
    add(databases, "SummaryInfo", kTypeDatabaseDocument, creator, 0, dbSecFullAccess, false);
    add(databases, "UserDefined", kTypeDatabaseDocument, creator, 0, dbSecFullAccess, false);
    add(tables, "MSysACEs", kTypeTable, engineSid, kFlagsSystem, kReadDef, false);
    add(tables, "MSysDatabase", kTypeTable, engineSid, kFlagsSystem, kReadDef | kRetrieveData, false);
    add(tables, "MSysObjects", kTypeTable, engineSid, kFlagsSystem, kReadDef | kRetrieveData, false);
}

class DatabaseImpl : public Database {
public:
    DatabaseImpl(SessionPtr s, std::string name) : s_(std::move(s)), name_(std::move(name)) {}

    std::string Name() override { return name_; }
    std::string Version() override { return s_->identity().format; }
    std::int32_t CollatingOrder() override { return s_->identity().collatingOrder; }
    Variant ReplicaID() override { return Variant::null(); }
    bool Updatable() override { return !s_->readOnly(); }
    ContainersPtr Containers() override {
        if (!containers_) containers_ = makeContainers(s_);
        return containers_;
    }
    QueryDefPtr CreateQueryDef(const std::string& name, const std::string& sql) override {
        return guarded(s_->log(), [&] {
            if (!name.empty())
                fail(errNotSupported, "Only temporary query definitions (with an empty name) are supported.");
            return makeTemporaryQuery(s_, sql);
        });
    }
    PropertiesPtr Properties() override {
        auto s = s_;
        const std::string name = name_;
        return std::make_shared<PropertiesImpl>(
            s_->workspace()->log,
            std::vector<PropertyDef>{
                {"Name", [name] { return Variant(name); }},
                {"Connect", [] { return Variant(""); }},
                {"Transactions", [] { return Variant(true); }},
                {"Updatable", [s] { return Variant(!s->readOnly()); }},
                {"CollatingOrder", [s] { return Variant(s->identity().collatingOrder); }},
                {"QueryTimeout", [] { return Variant(std::int16_t(60)); }},
                {"Version", [s] { return Variant(s->identity().format); }},
                {"RecordsAffected", [] { return Variant(std::int32_t(0)); }},
                {"ReplicaID", [] { return Variant::null(); }},
                {"DesignMasterID", [] { return Variant(""); }},
                {"Connection",
                 []() -> Variant {
                     fail(errNotSupported, "The Connection property is not available in a Jet workspace.");
                 }},
            });
    }
    DocumentPtr CreateDocument(const std::string& containerName, const std::string& name) override {
        return guarded(s_->log(), [&] {
            const std::uint32_t c = s_->findContainer(containerName);
            if (c == Session::npos) fail(errItemNotFound, "Container '" + containerName + "' not found.");
            return makeDocument(s_, s_->createDocuments(c, {name}).front());
        });
    }

    const SessionPtr& session() const { return s_; }

private:
    SessionPtr s_;
    std::string name_;
    ContainersPtr containers_;
};

[[noreturn]] void refuse(const FileProblem& p) {
    switch (p.code) {
    case FileProblem::Missing:
        fail(errFileNotFound, p.text);
    case FileProblem::Newer:
        fail(errUnrecognizedFormat, "Unrecognized database format: " + p.text);
    default:
        fail(errNotDatabaseFile, "Cannot open the database: " + p.text);
    }
}

} // namespace

DatabasePtr openDatabase(const WorkspaceStatePtr& ws, const std::string& path, bool exclusive,
                         bool readOnly) {
    const FileFamily family = probeFile(path).family;
    if (isGenuineJet(family))
        fail(errNotDatabaseFile,
             "Cannot open the database: " + pairMismatchText(path, true, ws->workgroup->path()));
    if (family == FileFamily::Ace)
        fail(errUnrecognizedFormat, "Cannot open the database: " + aceFileText(path));
    if (family == FileFamily::Other)
        fail(errNotDatabaseFile, "Cannot open the database: " + notJetFileText(path));
    const FileProblem problem = checkFile(path, FileKind::Database);
    if (problem.code != FileProblem::None) refuse(problem);
    // A database the user may read but not write opens read-only, as if ReadOnly had been asked for.
    if (!mayWriteFile(path)) readOnly = true;
    auto share = std::make_unique<ShareLock>(path);
    SessionPtr s;
    try {
        auto db = std::make_unique<Connection>(path, readOnly ? Connection::ReadOnly : Connection::ReadWrite);
        for (const char* table : {"MSysDatabase", "MSysObjects", "MSysACEs"})
            if (!db->tableExists(table))
                fail(errNotDatabaseFile, "Cannot open the database: '" + path + "' is damaged.");
        s = std::make_shared<Session>(ws, std::move(share), std::move(db), readOnly);
    } catch (const DaoError& e) {
        if (e.number() == errNotDatabaseFile && e.description().rfind("Cannot open the database", 0) != 0)
            fail(errNotDatabaseFile, "Cannot open the database: " + e.description());
        throw;
    }
    const std::string& format = s->identity().format;
    if (format != "3.0" && format != "4.0")
        fail(errUnrecognizedFormat, "Unrecognized database format '" + path + "' (" + format + ").");
    if (format == "4.0" && ws->dao35())
        fail(errUnrecognizedFormat, "Unrecognized database format '" + path + "': format 4.0 needs DAO 3.6.");

    const std::uint32_t databases = s->findContainer("Databases");
    const std::uint32_t msysDb =
        databases == Session::npos ? Session::npos : s->findDocument(databases, "MSysDb");
    if (msysDb == Session::npos)
        fail(errNotDatabaseFile, "Cannot open the database: '" + path + "' is damaged.");
    const std::int32_t need = exclusive ? (kDBOpen | kDBExclusive) : kDBOpen;
    // A sandbox is read by anyone, as the genuine files it copies are.
    if (!s->identity().sandbox && !s->loginIsDatabaseAdmin() && !s->loginOwns(msysDb) &&
        (s->loginRights(msysDb) & need) != need)
        fail(errNoPermission, std::string("You don't have permission to open '") + path + "'" +
                                  (exclusive ? " exclusively." : "."));
    if (exclusive) s->shareLock().makeExclusive();
    s->connection().accept();
    return std::make_shared<DatabaseImpl>(std::move(s), path);
}

DatabasePtr createDatabase(const WorkspaceStatePtr& ws, const std::string& path, const std::string& format) {
    if (format != "3.0" && format != "4.0")
        fail(errInvalidArgument, "The database format must be \"3.0\" or \"4.0\".");
    if (format == "4.0" && ws->dao35())
        fail(errInvalidArgument, "DAO 3.5 cannot create a format 4.0 database.");
    createEmptyFile(path);
    try {
        Connection db(path);
        {
            Transaction tx(db, Transaction::Write);
            db.exec(stampSql(FileKind::Database).c_str());
            db.exec(kDatabaseSchema);
            const Sid admins = ws->current()->adminsSid();
            Statement id(db, "INSERT INTO MSysDatabase(Format, CollatingOrder, AdminsSID, DateCreate) "
                             "VALUES (?1, ?2, ?3, strftime('%Y-%m-%d %H:%M:%S', 'now'))");
            id.bind(1, format)
                .bind(2, std::int64_t(kCollatingGeneral))
                .bindBlob(3, admins.data(), admins.size());
            id.run();
            writeDefaultCatalog(db, format, ws->userSid, admins, ws->workgroup->builtins());
            tx.commit();
        }
        db.exec("PRAGMA journal_mode=WAL");
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
    return openDatabase(ws, path, false, false);
}

void createSandboxDatabase(const std::string& path, const CatalogueSnapshot& snapshot,
                           const std::string& origin) {
    createEmptyFile(path);
    try {
        Connection db(path);
        {
            Transaction tx(db, Transaction::Write);
            db.exec(stampSql(FileKind::Database, true).c_str());
            db.exec(kDatabaseSchema);
            db.exec("CREATE TABLE MSysSandbox(Origin TEXT NOT NULL);");
            Statement o(db, "INSERT INTO MSysSandbox(Origin) VALUES (?1)");
            o.bind(1, origin).run();
            Statement id(db, "INSERT INTO MSysDatabase(Format, CollatingOrder, AdminsSID, DateCreate) "
                             "VALUES (?1, ?2, ?3, strftime('%Y-%m-%d %H:%M:%S', 'now'))");
            id.bind(1, snapshot.databaseFormat)
                .bind(2, std::int64_t(snapshot.collatingOrder))
                .bindBlob(3, snapshot.creatorAdminsSid.data(), snapshot.creatorAdminsSid.size());
            id.run();
            Statement obj(db, "INSERT INTO MSysObjects(ParentId, Name, Type, Owner, DateCreate, DateUpdate) "
                              "VALUES (?1, ?2, ?3, ?4, strftime('%Y-%m-%d %H:%M:%S', 'now'), "
                              "strftime('%Y-%m-%d %H:%M:%S', 'now'))");
            std::vector<std::int64_t> ids(snapshot.objects.size());
            std::unordered_map<std::string, std::int64_t> containers;
            auto insert = [&](std::size_t i, std::int64_t parent) {
                const SnapshotObject& o = snapshot.objects[i];
                obj.reset();
                obj.bind(1, parent).bind(2, parent == 0 ? o.container : o.name);
                obj.bind(3, std::int64_t(parent == 0 ? kTypeContainer : 0));
                obj.bindBlob(4, o.ownerSid.data(), o.ownerSid.size());
                if (obj.stepAllowConstraint() == SQLITE_CONSTRAINT)
                    fail(errObjectExists, "The object '" + printableName(o.container) +
                                              (parent == 0 ? "" : "/" + printableName(o.name)) +
                                              "' is there twice.");
                ids[i] = db.lastInsertId();
                if (parent == 0) containers.emplace(o.container, ids[i]);
            };
            for (std::size_t i = 0; i < snapshot.objects.size(); ++i)
                if (snapshot.objects[i].name.empty()) insert(i, 0);
            for (std::size_t i = 0; i < snapshot.objects.size(); ++i) {
                if (snapshot.objects[i].name.empty()) continue;
                const auto c = containers.find(snapshot.objects[i].container);
                if (c == containers.end())
                    fail(errItemNotFound,
                         "Container '" + printableName(snapshot.objects[i].container) + "' not found.");
                insert(i, c->second);
            }
            Statement ace(
                db,
                "INSERT OR IGNORE INTO MSysACEs(ObjectId, SID, ACM, FInheritable) VALUES (?1, ?2, ?3, ?4)");
            for (const SnapshotAce& a : snapshot.aces) {
                if (a.object >= ids.size()) fail(errInvalidArgument, "An entry names no object.");
                ace.reset();
                ace.bind(1, ids[a.object]).bindBlob(2, a.sid.data(), a.sid.size());
                ace.bind(3, std::int64_t(a.permissions)).bind(4, std::int64_t(a.inheritable ? 1 : 0));
                ace.run();
            }
            tx.commit();
        }
        db.exec("PRAGMA journal_mode=WAL");
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
}

SessionPtr sessionOf(const DatabasePtr& db) {
    auto* impl = dynamic_cast<DatabaseImpl*>(db.get());
    if (!impl) fail(errInvalidArgument, "The database was not opened by this engine.");
    return impl->session();
}

} // namespace dao::engine
