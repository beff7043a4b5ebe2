#include "dao/FileProbe.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dao {

FileProbe probeFile(const std::string& path) {
    const std::string quoted = "'" + path + "'";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {errno == ENOENT || errno == ENOTDIR ? FileFamily::Missing : FileFamily::Unreadable,
                unreachableFileText(path, errno)};
    if (!S_ISREG(st.st_mode)) return {FileFamily::NotAFile, quoted + " is not a file."};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {FileFamily::Unreadable, "Could not open file " + quoted + ": " + std::strerror(errno) + "."};
    unsigned char h[0x15] = {};
    const ssize_t got = ::pread(fd, h, sizeof h, 0);
    ::close(fd);
    if (got >= 16 && std::memcmp(h, "SQLite format 3", 16) == 0) return {FileFamily::Own, {}};
    // Databases say "Standard Jet DB", workgroup files "Jet System DB".
    if (got == static_cast<ssize_t>(sizeof h) &&
        (std::memcmp(h + 4, "Standard Jet DB", 15) == 0 || std::memcmp(h + 4, "Jet System DB", 13) == 0)) {
        if (h[0x14] == 0) return {FileFamily::Jet3, {}};
        if (h[0x14] == 1) return {FileFamily::Jet4, {}};
        return {FileFamily::Ace, {}};
    }
    if (got == static_cast<ssize_t>(sizeof h) && std::memcmp(h + 4, "Standard ACE DB", 15) == 0)
        return {FileFamily::Ace, {}};
    return {FileFamily::Other, {}};
}

std::string unreachableFileText(const std::string& path, int error) {
    const std::string quoted = "'" + path + "'";
    if (error == ENOENT || error == ENOTDIR) return "Could not find file " + quoted + ".";
    if (error == ELOOP)
        return "Could not open file " + quoted +
               ": its path is a loop of symbolic links (or passes through too many of them).";
    return "Could not open file " + quoted + ": " + std::strerror(error) + ".";
}

std::string notJetFileText(const std::string& path) {
    return "'" + path + "' is not a Jet database or workgroup file.";
}

std::string aceFileText(const std::string& path) {
    return "'" + path + "' is an Access 2007 or later file (.accdb); such files have no user-level security.";
}

std::string pairMismatchText(const std::string& database, bool databaseGenuine,
                             const std::string& workgroup) {
    if (databaseGenuine)
        return "'" + database + "' is a genuine Jet database, but the workgroup information file '" +
               workgroup + "' is one of Keyloupe's own; a genuine database needs a genuine workgroup file.";
    return "'" + database + "' is one of Keyloupe's own databases, but the workgroup information file '" +
           workgroup + "' is a genuine Jet file; Keyloupe's own databases need its own workgroup files.";
}

} // namespace dao
