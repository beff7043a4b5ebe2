#pragma once
// The engine the way every test uses it: logging in to a workgroup file, making accounts, opening
// databases, setting and reading explicit permissions, and looking at files behind the engine's back.
// Each helper opens what it needs on a private engine of its own, so it never changes the engine the
// program under test is using.
#include "dao/Dao.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kltest {

// A private engine of that class whose SystemDB is the workgroup file.
dao::DBEnginePtr engineOn(const std::string& mdw, const char* clsid = dao::CLSID_PrivDBEngine36);
dao::WorkspacePtr loginTo(const std::string& mdw, const std::string& user = "admin",
                          const std::string& password = "", const char* clsid = dao::CLSID_PrivDBEngine36);
dao::DatabasePtr open(const dao::WorkspacePtr& ws, const std::string& path, bool exclusive = false,
                      bool readOnly = false);

void addUser(const dao::WorkspacePtr& ws, const std::string& name, const std::string& pid,
             const std::string& password = "");
void addGroup(const dao::WorkspacePtr& ws, const std::string& name, const std::string& pid);
void join(const dao::WorkspacePtr& ws, const std::string& user, const std::string& group);
// Whether the workgroup holds a user or group of that name.
bool accountExists(const std::string& mdw, const std::string& name);

// The container itself when document is empty or the container-row marker "<container>", else the
// container's document of that name.
std::shared_ptr<dao::SecuredObject> object(const dao::DatabasePtr& db, const std::string& container,
                                           const std::string& document = "");
std::int32_t explicitOf(const dao::DatabasePtr& db, const std::string& container, const std::string& document,
                        const std::string& account);
std::int32_t effectiveOf(const dao::DatabasePtr& db, const std::string& container,
                         const std::string& document, const std::string& account);
// Sets the account's explicit permissions on the object to value.
void grant(const dao::DatabasePtr& db, const std::string& container, const std::string& document,
           const std::string& account, std::int32_t value);

// The DAO error number of what f throws, or 0 when it throws nothing.
template <class F> int daoErrorOf(F&& f) {
    try {
        f();
    } catch (const dao::DaoError& e) {
        return e.number();
    }
    return 0;
}

std::string readBytes(const std::string& path);
// Sets a byte of a page of a genuine Jet file's bytes as libmdb reads the page; encoded pages
// (workgroup files) are XORed with a keystream, so the stored byte flips by the same bits.
void setJetPageByte(std::string& file, std::uint32_t page, std::size_t offset, unsigned char value);
void writeBytes(const std::string& path, const std::string& bytes);

// Adds a document straight into the database file, as files made before names were checked may hold
// one the engine would now refuse. Its owner and type are those of the container's other documents.
void plantDocument(const std::string& mdb, const std::string& container, const std::string& name);
// Renames an account straight in the workgroup file, as a genuine file may hold a name the engine
// would refuse (a line break, a TAB, ESC, "=").
void plantAccountName(const std::string& mdw, const std::string& from, const std::string& to);
// No connection holds a lock on the file: a write transaction starts and a full checkpoint completes at
// once, without waiting (so no other connection is in a read or write transaction on it).
bool fileIsIdle(const std::string& path);
// The rows of the database's MSysACEs and the non-zero ones, read straight from the file; -1 each when
// the file cannot be read.
std::pair<int, int> rawAceCounts(const std::string& mdb);

} // namespace kltest
