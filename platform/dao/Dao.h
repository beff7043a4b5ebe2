#pragma once
// The DAO object model: DBEngine, Workspace, Database, accounts, containers, documents, queries,
// properties and errors, as interfaces held by counted reference (std::shared_ptr). Releasing the last
// reference frees an object; nothing is ever closed by an explicit call.
//
// Every failing member throws dao::DaoError carrying the DAO error number and its description, and
// records the failure in the engine's Errors collection.
//
// Items are fetched by a variant key: a 16/32-bit integer index from 0, or a name (case-insensitive).
#include "com/ClassRegistry.h"
#include "com/Status.h"
#include "com/Variant.h"

#include <cstdint>
#include <memory>
#include <string>

namespace dao {

using com::Variant;

// Class and interface ids of the engine classes.
inline constexpr const char* CLSID_DBEngine35 = "{00000010-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* CLSID_PrivDBEngine35 = "{00000011-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* CLSID_DBEngine36 = "{00000100-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* CLSID_PrivDBEngine36 = "{00000101-0000-0010-8000-00AA006D2EA4}";
inline constexpr const char* IID_DBEngine = "{00000021-0000-0010-8000-00AA006D2EA4}";

// Constants.
inline constexpr int dbUseJet = 2;
inline constexpr int dbOpenDynaset = 2;
inline constexpr int dbConsistent = 32;
inline constexpr int dbSeeChanges = 512;
inline constexpr std::int16_t dbSecDBAdmin = 8; // for reference; permission bits are plain integers
inline constexpr std::int32_t dbSecNoAccess = 0;
inline constexpr std::int32_t dbSecFullAccess = 0xFFFFF; // every right: the twenty low bits

// DAO error numbers used by the engine.
enum ErrorNumber : int {
    errFileNotFound = 3024,        // could not find file
    errSystemDbMissing = 3028,     // workgroup information file missing or opened exclusively
    errBadLogin = 3029,            // not a valid account name or password
    errNotValidAccount = 3030,     // not a valid account name
    errNotValidPassword = 3031,    // not a valid password
    errOperationNotAllowed = 3032, // cannot perform this operation
    errNoPermission = 3033,        // no permission on the object
    errReadOnly = 3027,            // database is read-only
    errFileInUse = 3045,           // file already in use (exclusive open)
    errNoReadData = 3112,          // no read data permission on a table
    errItemNotFound = 3265,        // item not found in this collection
    errNotSupported = 3251,        // operation is not supported for this type of object
    errPidLength = 3304,           // PID must be 4 to 20 characters
    errUnrecognizedFormat = 3343,  // unrecognised database format
    errNameExists = 3390,          // account name already exists
    errInvalidArgument = 3001,     // invalid argument
    errSyntax = 3000,              // reserved / generic SQL error
    errQueryNotSelect = 3219,      // invalid operation (only SELECT queries run)
    errInvalidName = 3125,         // not a valid name
    errLastAdmin = 3034,           // cannot remove the last member of Admins
    errBuiltinAccount = 3035,      // built-in account cannot be deleted
    errUnexpected = 3000,          // unexpected engine failure (the description says what)
    errObjectExists = 3012,        // an object of that name already exists
    errNoCurrentRecord = 3021,     // no current record (recordset at EOF)
    errNotDatabaseFile = 3049,     // not a file of this kind, damaged or truncated
    errDatabaseExists = 3204,      // file to create already exists
    errLocked = 3218,              // file busy: another user held a lock for too long
};

// One exception type for every failing DAO member.
class DaoError : public com::ComError {
public:
    DaoError(int number, const std::string& description)
        : com::ComError(static_cast<com::HRESULT>(0x800A0000u | static_cast<unsigned>(number & 0xFFFF)),
                        description),
          number_(number) {}
    int number() const { return number_; }

private:
    int number_;
};

class Property;
class Properties;
class Error;
class Errors;
class Workspace;
class Database;
class User;
class Users;
class Group;
class Groups;
class Container;
class Containers;
class Document;
class Documents;
class QueryDef;
class Recordset;

using PropertyPtr = std::shared_ptr<Property>;
using PropertiesPtr = std::shared_ptr<Properties>;
using ErrorPtr = std::shared_ptr<Error>;
using ErrorsPtr = std::shared_ptr<Errors>;
using WorkspacePtr = std::shared_ptr<Workspace>;
using DatabasePtr = std::shared_ptr<Database>;
using UserPtr = std::shared_ptr<User>;
using UsersPtr = std::shared_ptr<Users>;
using GroupPtr = std::shared_ptr<Group>;
using GroupsPtr = std::shared_ptr<Groups>;
using ContainerPtr = std::shared_ptr<Container>;
using ContainersPtr = std::shared_ptr<Containers>;
using DocumentPtr = std::shared_ptr<Document>;
using DocumentsPtr = std::shared_ptr<Documents>;
using QueryDefPtr = std::shared_ptr<QueryDef>;
using RecordsetPtr = std::shared_ptr<Recordset>;

class Property {
public:
    virtual ~Property() = default;
    virtual std::string Name() = 0;
    virtual Variant Value() = 0; // may throw (e.g. Connection in a Jet workspace)
};

class Properties {
public:
    virtual ~Properties() = default;
    virtual std::int16_t Count() = 0;
    virtual PropertyPtr Item(const Variant& key) = 0;
};

class Error {
public:
    virtual ~Error() = default;
    virtual std::int32_t Number() = 0;
    virtual std::string Description() = 0;
    virtual std::string Source() = 0;
};

// The errors of the last failed call, most detailed first. Refresh brings the collection up to date.
class Errors {
public:
    virtual ~Errors() = default;
    virtual void Refresh() = 0;
    virtual std::int16_t Count() = 0;
    virtual ErrorPtr Item(const Variant& key) = 0;
};

class DBEngine : public com::IUnknown {
public:
    virtual std::string Version() = 0; // "3.5" or "3.6"
    virtual std::string SystemDB() = 0;
    virtual void SetSystemDB(const std::string& path) = 0;
    virtual std::string DefaultUser() = 0;
    virtual void SetDefaultUser(const std::string& name) = 0;
    virtual std::string DefaultPassword() = 0;
    virtual void SetDefaultPassword(const std::string& pwd) = 0;
    // Logs in against SystemDB; UseType must be dbUseJet.
    virtual WorkspacePtr CreateWorkspace(const std::string& name, const std::string& userName,
                                         const std::string& password, const Variant& useType) = 0;
    virtual ErrorsPtr Errors() = 0;
    virtual PropertiesPtr Properties() = 0;
};
using DBEnginePtr = std::shared_ptr<DBEngine>;

class Workspace {
public:
    virtual ~Workspace() = default;
    virtual std::string Name() = 0;
    virtual std::string UserName() = 0;
    // Options: Empty or Boolean (exclusive); ReadOnly: Empty or Boolean; Connect: Empty or String.
    virtual DatabasePtr OpenDatabase(const std::string& name, const Variant& options, const Variant& readOnly,
                                     const Variant& connect) = 0;
    // Creates a new, empty database owned by the logged-in user. Format "3.0" or "4.0".
    virtual DatabasePtr CreateDatabase(const std::string& name, const std::string& format) = 0;
    virtual UsersPtr Users() = 0;
    virtual GroupsPtr Groups() = 0;
    // Unappended account objects; Append on Users/Groups makes them permanent.
    virtual UserPtr CreateUser(const Variant& name, const Variant& pid, const Variant& password) = 0;
    virtual GroupPtr CreateGroup(const Variant& name, const Variant& pid) = 0;
    virtual PropertiesPtr Properties() = 0;
};

class Database {
public:
    virtual ~Database() = default;
    virtual std::string Name() = 0;
    virtual std::string Version() = 0; // "3.0" or "4.0"
    virtual std::int32_t CollatingOrder() = 0;
    virtual Variant ReplicaID() = 0; // Null when not replicated
    virtual bool Updatable() = 0;
    // True for a genuine Jet file opened for audit: nothing can be changed, and the login's password
    // was not checked (Jet's stored password scheme is not public).
    virtual bool AuditOnly() { return false; }
    virtual ContainersPtr Containers() = 0;
    // An empty name makes a temporary query definition.
    virtual QueryDefPtr CreateQueryDef(const std::string& name, const std::string& sql) = 0;
    virtual PropertiesPtr Properties() = 0;

    // Engine extensions used by keyloupe-jet (the roles Access itself plays on Windows): create a
    // document in a container. For "Tables" a real, empty table is created. The logged-in user owns
    // the document; the container's inheritable entries are copied to it.
    virtual DocumentPtr CreateDocument(const std::string& containerName, const std::string& name) = 0;
};

class User {
public:
    virtual ~User() = default;
    virtual std::string Name() = 0;
    virtual void SetName(const std::string& name) = 0;         // before Append only
    virtual void SetPID(const std::string& pid) = 0;           // before Append only
    virtual void SetPassword(const std::string& password) = 0; // before Append only
    virtual GroupsPtr Groups() = 0;                            // groups the user belongs to
    virtual void NewPassword(const std::string& oldPassword, const std::string& newPassword) = 0;
};

class Users {
public:
    virtual ~Users() = default;
    virtual std::int16_t Count() = 0;
    virtual UserPtr Item(const Variant& key) = 0;
    virtual void Append(const UserPtr& user) = 0;
    virtual void Delete(const std::string& name) = 0;
    virtual void Refresh() = 0;
};

class Group {
public:
    virtual ~Group() = default;
    virtual std::string Name() = 0;
    virtual void SetName(const std::string& name) = 0; // before Append only
    virtual void SetPID(const std::string& pid) = 0;   // before Append only
    virtual UsersPtr Users() = 0;                      // members
    // A member object (name only) to Append to this group's Users.
    virtual UserPtr CreateUser(const Variant& name, const Variant& pid, const Variant& password) = 0;
};

class Groups {
public:
    virtual ~Groups() = default;
    virtual std::int16_t Count() = 0;
    virtual GroupPtr Item(const Variant& key) = 0;
    virtual void Append(const GroupPtr& group) = 0;
    virtual void Delete(const std::string& name) = 0;
    virtual void Refresh() = 0;
};

// Security members shared by containers and documents. UserName selects whose permissions
// Permissions and AllPermissions report and Permissions writes; it defaults to the logged-in user.
class SecuredObject {
public:
    virtual ~SecuredObject() = default;
    virtual std::string Name() = 0;
    virtual std::string Owner() = 0; // "<Unknown>" for a SID the workgroup does not know
    virtual void SetOwner(const std::string& accountName) = 0;
    virtual std::string UserName() = 0;
    virtual void SetUserName(const std::string& accountName) = 0;
    virtual std::int32_t Permissions() = 0;
    virtual void SetPermissions(std::int32_t value) = 0;
    virtual std::int32_t AllPermissions() = 0;
};

class Container : public SecuredObject {
public:
    virtual bool Inherit() = 0;
    // Held on this object until Permissions is written for the same UserName, which stores both.
    virtual void SetInherit(bool value) = 0;
    virtual DocumentsPtr Documents() = 0;
};

class Document : public SecuredObject {
public:
    virtual std::string Container() = 0; // name of the container holding it
};

class Containers {
public:
    virtual ~Containers() = default;
    virtual std::int16_t Count() = 0;
    virtual ContainerPtr Item(const Variant& key) = 0;
};

class Documents {
public:
    virtual ~Documents() = default;
    virtual std::int32_t Count() = 0;
    virtual DocumentPtr Item(const Variant& key) = 0;
};

class QueryDef {
public:
    virtual ~QueryDef() = default;
    virtual std::string SQL() = 0;
    // Type: dbOpenDynaset; Options: a combination of dbConsistent and dbSeeChanges.
    virtual RecordsetPtr OpenRecordset(const Variant& type, const Variant& options) = 0;
};

class Recordset {
public:
    virtual ~Recordset() = default;
    virtual bool AtEOF() = 0;
    virtual void MoveNext() = 0;
    virtual std::int16_t FieldCount() = 0;
    virtual std::string FieldName(std::int16_t index) = 0;
    // The current record's field, by name (case-insensitive) or index.
    virtual Variant Field(const Variant& key) = 0;
};

// Registers the DAO 3.5 and 3.6 engine classes (DBEngine and PrivDBEngine) with the class registry.
// Idempotent. Every program calls it once at its start, before it creates an engine: until then the
// classes are not registered, as on a machine without DAO.
void registerEngineClasses();

// Creates a workgroup information file with the built-in accounts. Fails if the file exists.
void CreateWorkgroupFile(const std::string& path, const std::string& name, const std::string& organisation,
                         const std::string& workgroupId);

} // namespace dao
