#include "support/Engine.h"

#include "dao/audit/JetPages.h"
#include "security/CatalogueReader.h"
#include "support/TempDir.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace kltest {

dao::DBEnginePtr engineOn(const std::string& mdw, const char* clsid) {
    auto engine = com::createInstanceAs<dao::DBEngine>(clsid, dao::IID_DBEngine);
    engine->SetSystemDB(mdw);
    return engine;
}

dao::WorkspacePtr loginTo(const std::string& mdw, const std::string& user, const std::string& password,
                          const char* clsid) {
    return engineOn(mdw, clsid)
        ->CreateWorkspace("test", user, password, dao::Variant(std::int32_t(dao::dbUseJet)));
}

dao::DatabasePtr open(const dao::WorkspacePtr& ws, const std::string& path, bool exclusive, bool readOnly) {
    return ws->OpenDatabase(path, dao::Variant(exclusive), dao::Variant(readOnly), dao::Variant(""));
}

void addUser(const dao::WorkspacePtr& ws, const std::string& name, const std::string& pid,
             const std::string& password) {
    ws->Users()->Append(ws->CreateUser(name, pid, password));
}

void addGroup(const dao::WorkspacePtr& ws, const std::string& name, const std::string& pid) {
    ws->Groups()->Append(ws->CreateGroup(name, pid));
}

void join(const dao::WorkspacePtr& ws, const std::string& user, const std::string& group) {
    auto g = ws->Groups()->Item(group);
    g->Users()->Append(g->CreateUser(user, dao::Variant(), dao::Variant()));
}

bool accountExists(const std::string& mdw, const std::string& name) {
    dao::WorkspacePtr ws = loginTo(mdw);
    for (int i = 0; i < ws->Users()->Count(); ++i)
        if (ws->Users()->Item(dao::Variant(i))->Name() == name) return true;
    for (int i = 0; i < ws->Groups()->Count(); ++i)
        if (ws->Groups()->Item(dao::Variant(i))->Name() == name) return true;
    return false;
}

std::shared_ptr<dao::SecuredObject> object(const dao::DatabasePtr& db, const std::string& container,
                                           const std::string& document) {
    auto c = db->Containers()->Item(container);
    if (document.empty() || document == ContainerObjectName) return c;
    return c->Documents()->Item(document);
}

std::int32_t explicitOf(const dao::DatabasePtr& db, const std::string& container, const std::string& document,
                        const std::string& account) {
    auto o = object(db, container, document);
    o->SetUserName(account);
    return o->Permissions();
}

std::int32_t effectiveOf(const dao::DatabasePtr& db, const std::string& container,
                         const std::string& document, const std::string& account) {
    auto o = object(db, container, document);
    o->SetUserName(account);
    return o->AllPermissions();
}

void grant(const dao::DatabasePtr& db, const std::string& container, const std::string& document,
           const std::string& account, std::int32_t value) {
    auto o = object(db, container, document);
    o->SetUserName(account);
    o->SetPermissions(value);
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void plantDocument(const std::string& mdb, const std::string& container, const std::string& name) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(mdb.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO MSysObjects(ParentId, Name, Type, Owner, DateCreate, DateUpdate, Flags) "
                       "SELECT c.Id, ?2, d.Type, d.Owner, d.DateCreate, d.DateUpdate, 0 FROM MSysObjects c "
                       "JOIN MSysObjects d ON d.ParentId = c.Id WHERE c.ParentId = 0 AND c.Name = ?1 LIMIT 1",
                       -1, &st, nullptr);
    sqlite3_bind_text(st, 1, container.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (rc != SQLITE_DONE) throw std::runtime_error("could not plant the document");
}

void plantAccountName(const std::string& mdw, const std::string& from, const std::string& to) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(mdw.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "UPDATE MSysAccounts SET Name = ?2 WHERE Name = ?1", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, from.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, to.c_str(), -1, SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    const int changed = sqlite3_changes(db);
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (rc != SQLITE_DONE || changed != 1) throw std::runtime_error("could not rename the account");
}

bool fileIsIdle(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    sqlite3_busy_timeout(db, 0);
    bool idle = sqlite3_exec(db, "BEGIN IMMEDIATE; ROLLBACK", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA wal_checkpoint(TRUNCATE)", -1, &st, nullptr);
    idle = idle && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) == 0;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return idle;
}

std::pair<int, int> rawAceCounts(const std::string& mdb) {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    std::pair<int, int> counts{-1, -1};
    if (sqlite3_open_v2(mdb.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT count(*), count(CASE WHEN ACM <> 0 THEN 1 END) FROM MSysACEs", -1, &st,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        counts = {sqlite3_column_int(st, 0), sqlite3_column_int(st, 1)};
    sqlite3_finalize(st);
    sqlite3_close(db);
    return counts;
}

void setJetPageByte(std::string& file, std::uint32_t page, std::size_t offset, unsigned char value) {
    TempDir dir;
    writeBytes(dir.file("f"), file);
    const int fd = ::open(dir.file("f").c_str(), O_RDONLY);
    const auto facts = dao::audit::checkJetPages(fd, file.size());
    const std::string decoded = dao::audit::readJetPage(fd, facts, page);
    ::close(fd);
    file[page * facts.pageSize + offset] ^= static_cast<char>(decoded[offset] ^ value);
}

} // namespace kltest
