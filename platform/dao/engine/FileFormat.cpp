#include "dao/engine/FileFormat.h"

#include "dao/FileProbe.h"
#include "dao/engine/ErrorLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unordered_set>
#include <vector>

namespace dao::engine {
namespace {

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// What the committed part of a write-ahead log holds: the database's size in pages after its last
// commit (0: no commit) and the pages it carries. As in SQLite's own recovery, a log with a broken
// header or another page size holds nothing, and frames after the last valid commit are ignored.
struct WalContents {
    std::uint32_t pages = 0;
    std::unordered_set<std::uint32_t> held;
};

WalContents readWal(const std::string& path, std::uint32_t pageSize) {
    WalContents out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out; // no log
    std::vector<unsigned char> bytes;
    unsigned char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        bytes.insert(bytes.end(), buf, buf + n);
    }
    ::close(fd);
    if (bytes.size() < 32) return out; // empty or never written: holds nothing
    const std::uint32_t magic = be32(bytes.data());
    if ((magic & 0xFFFFFFFEu) != 0x377F0682u || be32(bytes.data() + 8) != pageSize) return out;
    const bool bigEndian = (magic & 1) != 0;
    auto word = [&](const unsigned char* p) {
        return bigEndian ? be32(p)
                         : (std::uint32_t(p[3]) << 24) | (std::uint32_t(p[2]) << 16) |
                               (std::uint32_t(p[1]) << 8) | p[0];
    };
    std::uint32_t s0 = 0, s1 = 0;
    auto sum = [&](const unsigned char* p, std::size_t n) {
        for (std::size_t i = 0; i < n; i += 8) {
            s0 += word(p + i) + s1;
            s1 += word(p + i + 4) + s0;
        }
    };
    sum(bytes.data(), 24);
    if (s0 != be32(bytes.data() + 24) || s1 != be32(bytes.data() + 28)) return out;
    const std::uint32_t salt1 = be32(bytes.data() + 16), salt2 = be32(bytes.data() + 20);
    std::unordered_set<std::uint32_t> pending;
    for (std::size_t at = 32; at + 24 + pageSize <= bytes.size(); at += 24 + pageSize) {
        const unsigned char* f = bytes.data() + at;
        if (be32(f + 8) != salt1 || be32(f + 12) != salt2) break;
        sum(f, 8);
        sum(f + 24, pageSize);
        if (s0 != be32(f + 16) || s1 != be32(f + 20)) break;
        const std::uint32_t page = be32(f);
        if (page == 0) break;
        pending.insert(page);
        if (const std::uint32_t commitSize = be32(f + 4); commitSize != 0) {
            out.pages = commitSize;
            out.held.insert(pending.begin(), pending.end());
            pending.clear();
        }
    }
    return out;
}

const char* kindText(FileKind kind) {
    return kind == FileKind::Workgroup ? "workgroup information file" : "database";
}

} // namespace

FileProblem checkFile(const std::string& path, FileKind kind) {
    const std::string quoted = "'" + path + "'";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {FileProblem::Missing, unreachableFileText(path, errno)};
    if (!S_ISREG(st.st_mode)) return {FileProblem::NotAFile, quoted + " is not a file."};

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {FileProblem::Missing, "Could not open file " + quoted + ": " + std::strerror(errno) + "."};
    unsigned char h[100];
    ssize_t got = 0;
    while (got < static_cast<ssize_t>(sizeof h)) {
        const ssize_t n = ::read(fd, h + got, sizeof h - static_cast<std::size_t>(got));
        if (n <= 0) break;
        got += n;
    }
    ::close(fd);

    const std::string notOurs = quoted + " is not a " + std::string(kindText(kind)) + ".";
    if (st.st_size == 0) return {FileProblem::Foreign, notOurs + " The file is empty."};
    if (got < static_cast<ssize_t>(sizeof h) || std::memcmp(h, "SQLite format 3", 16) != 0)
        return {FileProblem::Foreign, notOurs};

    const std::uint32_t appId = be32(h + 68);
    const std::uint32_t wanted = kind == FileKind::Workgroup ? kWorkgroupAppId : kDatabaseAppId;
    if (appId != wanted) return {FileProblem::Foreign, notOurs};
    const std::uint32_t format = be32(h + 60);
    const std::uint32_t known = kSandboxFormat;
    if (format == 0) return {FileProblem::Foreign, notOurs};
    if (format > known)
        return {FileProblem::Newer, quoted + " was written in a newer format (" + std::to_string(format) +
                                        ") than this engine reads (" + std::to_string(known) + ")."};

    // Size check. Every page of the database must be in the file or in a committed frame of its
    // write-ahead log: a database whose log holds its newest pages may legitimately be shorter than its
    // header says, but not shorter than the pages both of them hold.
    std::uint32_t pageSize = (std::uint32_t(h[16]) << 8) | h[17];
    if (pageSize == 1) pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return {FileProblem::Damaged, quoted + " is damaged (bad page size)."};
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::string damaged = quoted + " is damaged or truncated.";
    if (size % pageSize != 0) return {FileProblem::Damaged, damaged};
    const std::uint32_t headerPages = be32(h + 28);
    const bool countValid = be32(h + 24) == be32(h + 92) && headerPages != 0;
    const WalContents wal = readWal(path + "-wal", pageSize);
    const std::uint64_t filePages = size / pageSize;
    const std::uint64_t pages = wal.pages != 0 ? wal.pages : (countValid ? headerPages : filePages);
    const std::uint64_t lockPage = 0x40000000u / pageSize + 1; // never written by SQLite
    for (std::uint64_t p = filePages + 1; p <= pages; ++p)
        if (p != lockPage && !wal.held.count(static_cast<std::uint32_t>(p)))
            return {FileProblem::Damaged, damaged};
    return {};
}

bool mayWriteFile(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    return ::access(path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

void createEmptyFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST) fail(errDatabaseExists, "The file '" + path + "' already exists.");
        fail(errFileNotFound, "Cannot create '" + path + "': " + std::strerror(errno) + ".");
    }
    ::close(fd);
}

ShareLock::ShareLock(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) fail(errFileNotFound, "Could not open file '" + path + "': " + std::strerror(errno) + ".");
    if (::flock(fd_, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
        fail(errFileInUse, "The file '" + path + "' is opened exclusively by another user.");
    }
}

void ShareLock::makeExclusive() {
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        fail(errFileInUse, "The file '" + path_ + "' is already in use and cannot be opened exclusively.");
}

ShareLock::~ShareLock() {
    if (fd_ >= 0) ::close(fd_); // closing the descriptor releases the lock
}

std::string stampSql(FileKind kind, bool sandbox) {
    // PRAGMAs take no bound parameters; these are the engine's own constants.
    const bool wg = kind == FileKind::Workgroup;
    const std::uint32_t format = sandbox ? kSandboxFormat : wg ? kWorkgroupFormat : kDatabaseFormat;
    return "PRAGMA application_id=" + std::to_string(wg ? kWorkgroupAppId : kDatabaseAppId) +
           "; PRAGMA user_version=" + std::to_string(format) + ";";
}

} // namespace dao::engine
