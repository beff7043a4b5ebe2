#pragma once
// Checks of a genuine Jet file that need no parse, made before the reader process is started: the size
// is a whole number of pages, and the catalogue table's definition, usage maps and data pages all lie
// within the file. A truncated copy fails here at once instead of sending libmdb after pages that are
// not there.
#include <cstdint>
#include <string>

namespace dao::audit {

struct JetPageFacts {
    int jetVersion = 0; // 3 or 4
    std::uint32_t pageSize = 0;
    std::uint32_t pageCount = 0;
    std::uint32_t dbKey = 0;    // pages after the first are RC4-encoded with it when not 0
    std::uint16_t codePage = 0; // the code page of Jet 3 text
    std::string header;         // the first page as stored
};

// Reads and checks the file open on fd, of size bytes. Fails with std::runtime_error saying what is
// wrong ("it is truncated (...)", "it is damaged (...)"); the caller adds the file's name.
JetPageFacts checkJetPages(int fd, std::uint64_t size);

// Page pageNumber of the file as libmdb sees it (decoded when the file's pages are encoded).
std::string readJetPage(int fd, const JetPageFacts& facts, std::uint32_t pageNumber);

} // namespace dao::audit
