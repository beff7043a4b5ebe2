#pragma once
// The sandbox: a copy of a genuine pair's security catalogue in the engine's own files, where every
// editing command works, for planning changes that are then carried out on Windows. It holds no data
// and none of the genuine passwords: every account has the empty password. Reads are never refused;
// writes follow Jet's rules for the logged-in user, as on any own file.
#include "dao/Dao.h"
#include "plan/OriginRecord.h"

#include <optional>
#include <string>

namespace plan {

// Imports the genuine pair into dir as dir/<workgroup file name> and dir/<database file name>, read as
// user (genuine passwords are not checked). dir is made when missing; it must be empty and writable, and
// not the origin's own folder. The files are written under temporary names and renamed at the end, so
// a failure leaves no sandbox behind; the origin is only ever read. Throws std::runtime_error (or a
// dao::DaoError from the engines) with a message naming what is wrong. Returns the origin record kept
// in the sandbox.
OriginRecord ImportSandbox(const std::string& workgroupPath, const std::string& databasePath,
                           const std::string& user, const std::string& dir);

// The origin record of an open database; nullopt when it is not a sandbox.
std::optional<OriginRecord> ReadOriginRecord(const dao::DatabasePtr& database);

// The paths a sandbox of this pair gets in dir.
struct SandboxPaths {
    std::string workgroup;
    std::string database;
};
SandboxPaths SandboxPathsIn(const std::string& dir, const std::string& workgroupPath,
                            const std::string& databasePath);

// "sandbox of NAME": NAME is the origin database's file name, shown visibly and isolated (ShownName).
std::string SandboxLabel(const OriginRecord& origin);

} // namespace plan
