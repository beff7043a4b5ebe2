#include "FileFormat.h"

#include "ErrorLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dao::engine {
namespace {

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

const char* kindText(FileKind kind) {
    return kind == FileKind::Workgroup ? "workgroup information file" : "database";
}

} // namespace

FileProblem checkFile(const std::string& path, FileKind kind) {
    const std::string quoted = "'" + path + "'";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {FileProblem::Missing, "Could not find file " + quoted + "."};
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
    const std::uint32_t known = kind == FileKind::Workgroup ? kWorkgroupFormat : kDatabaseFormat;
    if (format == 0) return {FileProblem::Foreign, notOurs};
    if (format > known)
        return {FileProblem::Newer, quoted + " was written in a newer format (" + std::to_string(format) +
                                        ") than this engine reads (" + std::to_string(known) + ")."};

    // Size check. While a write-ahead log exists, committed pages may still live there and the header
    // may be mid-update, so the check is made only on a file at rest; a truncated file with a log beside
    // it is still caught by SQLite when the engine reads it.
    std::uint32_t pageSize = (std::uint32_t(h[16]) << 8) | h[17];
    if (pageSize == 1) pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return {FileProblem::Damaged, quoted + " is damaged (bad page size)."};
    const auto size = static_cast<std::uint64_t>(st.st_size);
    struct stat walSt {};
    const bool atRest = ::stat((path + "-wal").c_str(), &walSt) != 0 || walSt.st_size == 0;
    if (atRest) {
        const std::uint32_t pages = be32(h + 28);
        const bool countValid = be32(h + 24) == be32(h + 92) && pages != 0;
        if (size % pageSize != 0 || (countValid && size < std::uint64_t(pages) * pageSize))
            return {FileProblem::Damaged, quoted + " is damaged or truncated."};
    }
    return {};
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

std::string stampSql(FileKind kind) {
    // PRAGMAs take no bound parameters; these are the engine's own constants.
    const bool wg = kind == FileKind::Workgroup;
    return "PRAGMA application_id=" + std::to_string(wg ? kWorkgroupAppId : kDatabaseAppId) +
           "; PRAGMA user_version=" + std::to_string(wg ? kWorkgroupFormat : kDatabaseFormat) + ";";
}

} // namespace dao::engine
