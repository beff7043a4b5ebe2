#pragma once
// Reads whole tables of a genuine Jet file with libmdb, in a child process. libmdb trusts what it reads:
// a damaged file can make it read out of bounds, crash or loop. The child maps the file read-only and
// private, so nothing can ever be written to it, hands the rows back through a pipe and is killed when
// it takes too long; a crash, a hang or a libmdb failure in the child becomes a clear error here. The
// child dies with its parent and has a memory limit sized from the file; the first lines it writes to
// stderr go into the error text.
#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dao::audit {

struct TableRequest {
    std::string table;
    std::vector<std::string> columns;
};

// One table's rows; each cell is the column's value as text, binary columns as their raw bytes. A
// null cell is empty.
struct TableRows {
    std::vector<std::vector<std::string>> rows;
    std::size_t unreadRows = 0;  // rows libmdb found but could not decode (left out of rows)
    std::size_t unreadPages = 0; // pages of the table whose rows libmdb skipped (not its data pages)
};

struct JetFileInfo {
    int jetVersion = 0; // 3 or 4
    std::uint32_t pageSize = 0;
    std::int32_t langId = 0;
    std::string header; // the first page, as stored (Jet 4 databases need it to unmask SIDs)
};

struct MdbReadResult {
    JetFileInfo info;
    std::vector<TableRows> tables; // in request order
};

// Checks the file's header, size and catalogue pages (JetPages.h), then reads the requested tables in a
// child process, which is given readerDeadline(size, baseDeadline). A read past the file's end stops the
// child at once. Fails with a std::runtime_error whose text says what is wrong (the caller adds the
// file's name and role).
MdbReadResult readJetTables(const std::string& path, const std::vector<TableRequest>& requests,
                            std::chrono::seconds baseDeadline = std::chrono::seconds(2));

// How much processor time the reader may take: the base and a second for every 4 MiB of the file. The
// parent waits three times as long, and five seconds more, on the wall clock.
std::chrono::seconds readerDeadline(std::uint64_t fileSize, std::chrono::seconds base);

// The reader child's first steps. bindReaderToParent asks for SIGKILL when the parent dies and returns
// false when the parent (whose pid is given) is already gone; limitReaderMemory caps the address space
// at what is mapped now plus readerMemoryBudget(fileSize) (not under AddressSanitizer).
bool bindReaderToParent(pid_t parent);
std::uint64_t readerMemoryBudget(std::uint64_t fileSize);
void limitReaderMemory(std::uint64_t fileSize);

} // namespace dao::audit
