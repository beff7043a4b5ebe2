#include "win/ElfSection.h"

#include <QFile>

#include <cstdint>
#include <cstring>

namespace win {

namespace {

// Offsets and sizes of the ELF64 structures used here (System V ABI).
constexpr qint64 kEhdrSize = 64;
constexpr qint64 kShdrSize = 64;
constexpr int kEiClass = 4, kEiData = 5;
constexpr unsigned char kElfClass64 = 2, kElfData2Lsb = 1;
constexpr std::uint32_t kShtNobits = 8;
constexpr std::uint16_t kShnXindex = 0xFFFF;
constexpr std::uint16_t kShnLoreserve = 0xFF00;
// A named section larger than this is not a version block; refuse to read it into memory.
constexpr std::uint64_t kMaxSectionSize = 16u * 1024 * 1024;

template <typename T> T readLe(const char* p) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(static_cast<unsigned char>(p[i])) << (8 * i);
    return value;
}

struct SectionHeader {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

class ElfFile {
public:
    explicit ElfFile(const QString& path) : file_(path) {}

    bool open() {
        if (!file_.open(QIODevice::ReadOnly)) return false;
        fileSize_ = static_cast<std::uint64_t>(file_.size());
        return true;
    }

    // Reads size bytes at offset; nothing when the range lies outside the file.
    std::optional<QByteArray> read(std::uint64_t offset, std::uint64_t size) {
        if (offset > fileSize_ || size > fileSize_ - offset) return std::nullopt;
        if (!file_.seek(static_cast<qint64>(offset))) return std::nullopt;
        QByteArray bytes = file_.read(static_cast<qint64>(size));
        if (static_cast<std::uint64_t>(bytes.size()) != size) return std::nullopt;
        return bytes;
    }

    std::optional<SectionHeader> sectionHeader(std::uint64_t tableOffset, std::uint64_t entrySize,
                                               std::uint64_t index) {
        if (tableOffset > fileSize_ || index > (fileSize_ - tableOffset) / entrySize) return std::nullopt;
        const auto raw = read(tableOffset + index * entrySize, kShdrSize);
        if (!raw) return std::nullopt;
        const char* p = raw->constData();
        SectionHeader h;
        h.name = readLe<std::uint32_t>(p + 0);
        h.type = readLe<std::uint32_t>(p + 4);
        h.offset = readLe<std::uint64_t>(p + 24);
        h.size = readLe<std::uint64_t>(p + 32);
        h.link = readLe<std::uint32_t>(p + 40);
        return h;
    }

private:
    QFile file_;
    std::uint64_t fileSize_ = 0;
};

} // namespace

std::optional<QByteArray> readElfSection(const QString& path, const QByteArray& sectionName) {
    ElfFile elf(path);
    if (!elf.open()) return std::nullopt;

    const auto ehdr = elf.read(0, kEhdrSize);
    if (!ehdr) return std::nullopt;
    const char* e = ehdr->constData();
    if (std::memcmp(e,
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        static_cast<unsigned char>(e[kEiClass]) != kElfClass64 ||
        static_cast<unsigned char>(e[kEiData]) != kElfData2Lsb)
        return std::nullopt;

    const auto shoff = readLe<std::uint64_t>(e + 0x28);
    const auto shentsize = readLe<std::uint16_t>(e + 0x3A);
    std::uint64_t shnum = readLe<std::uint16_t>(e + 0x3C);
    std::uint64_t shstrndx = readLe<std::uint16_t>(e + 0x3E);
    if (shoff == 0 || shentsize < kShdrSize) return std::nullopt;

    // With many sections the real counts live in the first section header.
    if (shnum == 0 || shstrndx == kShnXindex) {
        const auto first = elf.sectionHeader(shoff, shentsize, 0);
        if (!first) return std::nullopt;
        if (shnum == 0) shnum = first->size;
        if (shstrndx == kShnXindex) shstrndx = first->link;
    } else if (shstrndx >= kShnLoreserve) {
        return std::nullopt;
    }
    if (shstrndx >= shnum) return std::nullopt;

    const auto names = elf.sectionHeader(shoff, shentsize, shstrndx);
    if (!names || names->type == kShtNobits || names->size > kMaxSectionSize) return std::nullopt;
    const auto nameTable = elf.read(names->offset, names->size);
    if (!nameTable) return std::nullopt;

    for (std::uint64_t i = 1; i < shnum; ++i) {
        const auto header = elf.sectionHeader(shoff, shentsize, i);
        if (!header) return std::nullopt;
        if (header->name >= static_cast<std::uint64_t>(nameTable->size())) continue;
        const char* name = nameTable->constData() + header->name;
        const auto maxLength = static_cast<std::size_t>(nameTable->size()) - header->name;
        if (strnlen(name, maxLength) != static_cast<std::size_t>(sectionName.size()) ||
            std::memcmp(name, sectionName.constData(), sectionName.size()) != 0)
            continue;
        if (header->type == kShtNobits || header->size > kMaxSectionSize) return std::nullopt;
        return elf.read(header->offset, header->size);
    }
    return std::nullopt;
}

} // namespace win
