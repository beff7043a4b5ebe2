#include "dao/audit/JetPages.h"

#include "dao/audit/SidMask.h"

#include <algorithm>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace dao::audit {
namespace {

// Jet's own limit is 2 GiB.
constexpr std::uint64_t kMaxFileSize = 2ull << 30;
constexpr std::uint32_t kCatalogueDefinitionPage = 2; // MSysObjects' table definition
constexpr unsigned char kDataPage = 0x01, kDefinitionPage = 0x02;
constexpr int kMaxDefinitionPages = 64;

std::uint32_t le16(const std::string& s, std::size_t at) {
    return std::uint32_t(static_cast<unsigned char>(s[at])) |
           (std::uint32_t(static_cast<unsigned char>(s[at + 1])) << 8);
}

std::uint32_t le32(const std::string& s, std::size_t at) {
    return le16(s, at) | (le16(s, at + 2) << 16);
}

// Where a Jet version keeps the fields of a table definition and of a data page.
struct Layout {
    std::size_t rowCount; // on data pages: number of rows, followed by their offsets
    std::size_t usageMap; // in a table definition: the row holding the map of its data pages
    std::size_t freeMap;  // ... and the one of its pages with free space
};

Layout layoutOf(int jetVersion) {
    return jetVersion == 3 ? Layout{8, 35, 39} : Layout{12, 55, 59};
}

class PageChecker {
public:
    PageChecker(int fd, const JetPageFacts& f) : fd_(fd), f_(f), layout_(layoutOf(f.jetVersion)) {}

    std::string page(std::uint32_t n, const char* what) const {
        if (n >= f_.pageCount)
            throw std::runtime_error("it is truncated (" + std::string(what) + " is page " +
                                     std::to_string(n) + ", but it has only " + std::to_string(f_.pageCount) +
                                     " pages)");
        return readJetPage(fd_, f_, n);
    }

    // The bytes of row `row` of data page `n`.
    std::string row(std::uint32_t n, std::uint32_t row, const char* what) const {
        const std::string p = page(n, what);
        const std::uint32_t rows = le16(p, layout_.rowCount);
        const std::size_t table = layout_.rowCount + 2;
        if (p[0] != kDataPage || row >= rows || table + 2 * (row + 1) > p.size())
            throw std::runtime_error("it is damaged (" + std::string(what) + " is not where it should be)");
        const std::uint32_t start = le16(p, table + 2 * row) & 0x1FFF;
        const std::uint32_t end = row == 0 ? f_.pageSize : le16(p, table + 2 * (row - 1)) & 0x1FFF;
        if (start >= end || end > f_.pageSize)
            throw std::runtime_error("it is damaged (" + std::string(what) + " is not where it should be)");
        return p.substr(start, end - start);
    }

    // Every page a usage map names must be within the file.
    void checkMap(const std::string& map, const char* what) const {
        if (map.empty()) throw std::runtime_error("it is damaged (" + std::string(what) + " is empty)");
        if (map[0] == 0) {
            if (map.size() < 5) return;
            const std::uint64_t first = le32(map, 1);
            for (std::size_t bit = 0; bit < (map.size() - 5) * 8; ++bit)
                if (static_cast<unsigned char>(map[5 + bit / 8]) & (1u << (bit % 8)))
                    within(first + bit, what);
        } else if (map[0] == 1) {
            const std::uint64_t bitsPerPage = (f_.pageSize - 4) * 8ull;
            for (std::size_t i = 0; 1 + 4 * (i + 1) <= map.size(); ++i) {
                const std::uint32_t mapPage = le32(map, 1 + 4 * i);
                if (mapPage == 0) continue;
                const std::string bits = page(mapPage, what);
                for (std::size_t bit = 0; bit < bitsPerPage; ++bit)
                    if (static_cast<unsigned char>(bits[4 + bit / 8]) & (1u << (bit % 8)))
                        within(i * bitsPerPage + bit, what);
            }
        } else {
            throw std::runtime_error("it is damaged (" + std::string(what) + " is of no known kind)");
        }
    }

    void checkCatalogue() const {
        std::uint32_t n = kCatalogueDefinitionPage;
        std::string definition;
        for (int i = 0; n != 0; ++i) {
            const std::string p = page(n, "the catalogue's definition");
            if (p[0] != kDefinitionPage || i >= kMaxDefinitionPages)
                throw std::runtime_error(
                    "it is damaged (the catalogue's definition is not where it should be)");
            if (i == 0) definition = p;
            n = le32(p, 4);
        }
        const std::uint32_t usage = le32(definition, layout_.usageMap),
                            free = le32(definition, layout_.freeMap);
        checkMap(row(usage >> 8, usage & 0xFF, "the catalogue's map of pages"), "a page of the catalogue");
        checkMap(row(free >> 8, free & 0xFF, "the catalogue's map of free space"), "a page of the catalogue");
    }

private:
    void within(std::uint64_t n, const char* what) const {
        if (n >= f_.pageCount)
            throw std::runtime_error("it is truncated (" + std::string(what) + " is page " +
                                     std::to_string(n) + ", but it has only " + std::to_string(f_.pageCount) +
                                     " pages)");
    }

    int fd_;
    const JetPageFacts& f_;
    Layout layout_;
};

} // namespace

std::string readJetPage(int fd, const JetPageFacts& facts, std::uint32_t pageNumber) {
    std::string page(facts.pageSize, '\0');
    const auto at = static_cast<off_t>(std::uint64_t(pageNumber) * facts.pageSize);
    if (::pread(fd, page.data(), page.size(), at) != static_cast<ssize_t>(page.size()))
        throw std::runtime_error("it cannot be read (page " + std::to_string(pageNumber) + ")");
    if (pageNumber != 0 && facts.dbKey != 0) {
        const std::uint32_t key = facts.dbKey ^ pageNumber;
        const char k[4] = {static_cast<char>(key & 0xFF), static_cast<char>((key >> 8) & 0xFF),
                           static_cast<char>((key >> 16) & 0xFF), static_cast<char>((key >> 24) & 0xFF)};
        const std::string stream = rc4Keystream(std::string_view(k, 4), page.size());
        for (std::size_t i = 0; i < page.size(); ++i)
            page[i] ^= stream[i];
    }
    return page;
}

JetPageFacts checkJetPages(int fd, std::uint64_t size) {
    JetPageFacts f;
    f.header.assign(std::min<std::uint64_t>(size, 4096), '\0');
    if (::pread(fd, f.header.data(), f.header.size(), 0) != static_cast<ssize_t>(f.header.size()))
        throw std::runtime_error("its header cannot be read");
    if (f.header.size() < 0x15 ||
        (f.header.compare(4, 15, "Standard Jet DB") != 0 && f.header.compare(4, 13, "Jet System DB") != 0))
        throw std::runtime_error("it has no Jet header");
    const int version = f.header[0x14];
    if (version != 0 && version != 1) throw std::runtime_error("its Jet version is unknown");
    f.jetVersion = version == 0 ? 3 : 4;
    f.pageSize = version == 0 ? 2048 : 4096;
    if (size > kMaxFileSize) throw std::runtime_error("it is larger than a Jet file can be");
    if (size < 4ull * f.pageSize || size % f.pageSize != 0)
        throw std::runtime_error("it is truncated (its size, " + std::to_string(size) +
                                 " bytes, is not a whole number of its " + std::to_string(f.pageSize) +
                                 "-byte pages)");
    f.pageCount = static_cast<std::uint32_t>(size / f.pageSize);
    f.header.resize(f.pageSize);

    // The header is RC4-encoded from 0x18 on with a fixed key.
    const std::size_t encoded = f.jetVersion == 3 ? 126 : 128;
    std::string decoded = f.header;
    const std::string stream = rc4Keystream(std::string_view("\xC7\xDA\x39\x6B", 4), encoded);
    for (std::size_t i = 0; i < encoded; ++i)
        decoded[0x18 + i] ^= stream[i];
    f.codePage = static_cast<std::uint16_t>(le16(decoded, 0x3C));
    f.dbKey = le32(decoded, 0x3E);

    PageChecker(fd, f).checkCatalogue();
    return f;
}

} // namespace dao::audit
