#pragma once
// The two file kinds of the engine. Both are SQLite databases, told apart by PRAGMA application_id and
// versioned by PRAGMA user_version. A file is checked from its raw header before SQLite is let near it,
// so a file that is not ours is refused without ever being opened for writing.
#include <cstdint>
#include <string>

namespace dao::engine {

enum class FileKind { Workgroup, Database };

inline constexpr std::uint32_t kWorkgroupAppId = 0x4B4C5747; // "KLWG"
inline constexpr std::uint32_t kDatabaseAppId = 0x4B4C4442;  // "KLDB"
// Formats: 1 for the files the engine creates, with its own 16-byte SIDs; 2 for a sandbox pair, which
// holds SIDs of any length, the PIDs of accounts created in it and the record of its origin
// (MSysSandbox). The engine reads both; engines that know only format 1 refuse a sandbox.
inline constexpr std::uint32_t kWorkgroupFormat = 1;
inline constexpr std::uint32_t kDatabaseFormat = 1;
inline constexpr std::uint32_t kSandboxFormat = 2;

struct FileProblem {
    enum Code { None, Missing, NotAFile, Foreign, Damaged, Newer } code = None;
    std::string text; // what is wrong, naming the file
};

// Checks that path is an existing file of the given kind in a format this engine reads.
FileProblem checkFile(const std::string& path, FileKind kind);

// True when the user may write path and create files beside it (SQLite's log and index). A file the
// user may only read is opened read-only.
bool mayWriteFile(const std::string& path);

// Creates path as a new, empty file, failing with errDatabaseExists when anything exists there already.
void createEmptyFile(const std::string& path);

// A database's share mode for as long as it is open: every open holds a shared lock on the file, an
// exclusive open an exclusive one (BSD flock, which does not touch SQLite's own byte-range locks). A
// conflicting open fails at once with errFileInUse instead of waiting.
class ShareLock {
public:
    explicit ShareLock(const std::string& path); // shared
    // Turns the shared lock into an exclusive one; fails with errFileInUse while anyone else has the
    // file open.
    void makeExclusive();
    ~ShareLock();
    ShareLock(const ShareLock&) = delete;
    ShareLock& operator=(const ShareLock&) = delete;

private:
    std::string path_;
    int fd_ = -1;
};

// Stamps a freshly created (empty) SQLite file with its kind and format (kSandboxFormat for a sandbox).
// Run inside the creating transaction.
std::string stampSql(FileKind kind, bool sandbox = false);

} // namespace dao::engine
