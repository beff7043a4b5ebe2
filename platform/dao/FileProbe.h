#pragma once
// Tells database and workgroup files apart by their first bytes, before any engine opens them: genuine
// Jet 3 or Jet 4 files (read by the audit engine), the engine's own SQLite files, Access 2007+ files
// (which have no user-level security) and anything else.
#include <cstdint>
#include <string>

namespace dao {

enum class FileFamily { Missing, Unreadable, NotAFile, Own, Jet3, Jet4, Ace, Other };

struct FileProbe {
    FileFamily family = FileFamily::Other;
    std::string problem; // for Missing, Unreadable and NotAFile: what is wrong, naming the file
};

FileProbe probeFile(const std::string& path);

inline bool isGenuineJet(FileFamily f) {
    return f == FileFamily::Jet3 || f == FileFamily::Jet4;
}

// Why stat or open failed with error on path: "Could not find file 'p'." when it does not exist, else
// "Could not open file 'p': " and the reason (a loop of symbolic links is named as such).
std::string unreachableFileText(const std::string& path, int error);

// The texts shared by both engines for a file neither of them reads.
std::string notJetFileText(const std::string& path); // "'p' is not a Jet database or workgroup file."
std::string aceFileText(const std::string& path);    // an Access 2007+ file
std::string pairMismatchText(const std::string& database, bool databaseGenuine, const std::string& workgroup);

} // namespace dao
