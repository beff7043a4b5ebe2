#include "win/VersionInfo.h"

#include "win/ElfSection.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace win {

namespace {

constexpr std::uint32_t kHeaderSize = 20;

std::uint32_t readU32(const char* p) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return value;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// A zero-terminated text at p within [p, end); nothing when no terminator comes before end.
const char* textEnd(const char* p, const char* end) {
    const void* zero = std::memchr(p, 0, static_cast<std::size_t>(end - p));
    return static_cast<const char*>(zero);
}

struct StringTable {
    const char* begin = nullptr; // the table size field
    const char* entries = nullptr;
    const char* end = nullptr;
    std::uint32_t entryCount = 0;
};

// A view of a block of `available` bytes that checks every offset it follows. Valid only when the
// header, the translation array and every table lie within the block.
class BlockView {
public:
    BlockView(const char* data, std::uint64_t available) {
        if (!parse(data, available)) {
            data_ = nullptr;
            tables_.clear();
        }
    }

    bool valid() const { return data_ != nullptr; }
    std::uint32_t size() const { return size_; }
    const char* translations() const { return data_ + kHeaderSize; }
    std::uint32_t translationCount() const { return translationCount_; }
    std::uint32_t translation(std::uint32_t i) const { return readU32(translations() + 4 * i); }

    const StringTable* tableNamed(std::string_view name) const {
        char text[9];
        for (std::uint32_t i = 0; i < translationCount_; ++i) {
            const std::uint32_t t = translation(i);
            std::snprintf(text, sizeof text, "%04X%04X", t & 0xFFFFu, t >> 16);
            if (equalsIgnoringAsciiCase(name, text)) return &tables_[i];
        }
        return nullptr;
    }

private:
    bool parse(const char* data, std::uint64_t available) {
        if (available < kHeaderSize ||
            std::memcmp(data, kVersionBlockMagic, sizeof kVersionBlockMagic) != 0 ||
            readU32(data + 8) != kVersionBlockFormat)
            return false;
        const std::uint32_t size = readU32(data + 12);
        const std::uint32_t count = readU32(data + 16);
        if (size < kHeaderSize || size > available || count == 0 || count > (size - kHeaderSize) / 4)
            return false;
        data_ = data;
        size_ = size;
        translationCount_ = count;

        const char* end = data + size;
        const char* p = translations() + 4 * std::uint64_t{count};
        for (std::uint32_t i = 0; i < count; ++i) {
            if (end - p < 8) return false;
            StringTable table;
            table.begin = p;
            const std::uint32_t tableSize = readU32(p);
            table.entryCount = readU32(p + 4);
            if (tableSize < 8 || tableSize > static_cast<std::uint64_t>(end - p)) return false;
            table.entries = p + 8;
            table.end = p + tableSize;
            // Every entry is two terminated texts inside its table.
            const char* q = table.entries;
            for (std::uint64_t e = 0; e < 2 * std::uint64_t{table.entryCount}; ++e) {
                const char* zero = q < table.end ? textEnd(q, table.end) : nullptr;
                if (!zero) return false;
                q = zero + 1;
            }
            tables_.push_back(table);
            p = table.end;
        }
        return true;
    }

    const char* data_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t translationCount_ = 0;
    std::vector<StringTable> tables_;
};

std::optional<QByteArray> readBlockSection(const char* fileName) {
    if (!fileName) return std::nullopt;
    return readElfSection(QFile::decodeName(fileName), QByteArray(kVersionSectionName));
}

std::vector<std::string_view> splitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('\\');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty()) parts.push_back(part);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

} // namespace

std::uint32_t GetFileVersionInfoSizeA(const char* fileName, std::uint32_t* handle) {
    if (handle) *handle = 0;
    const auto section = readBlockSection(fileName);
    if (!section) return 0;
    const BlockView block(section->constData(), static_cast<std::uint64_t>(section->size()));
    return block.valid() ? block.size() : 0;
}

bool GetFileVersionInfoA(const char* fileName, std::uint32_t /*handle*/, std::uint32_t len, void* data) {
    if (!data) return false;
    const auto section = readBlockSection(fileName);
    if (!section) return false;
    const BlockView block(section->constData(), static_cast<std::uint64_t>(section->size()));
    if (!block.valid() || len < block.size()) return false;
    std::memcpy(data, section->constData(), block.size());
    return true;
}

bool VerQueryValueA(const void* blockData, const char* subBlock, void** buffer, std::uint32_t* len) {
    if (!blockData || !subBlock || !buffer || !len) return false;
    const char* data = static_cast<const char*>(blockData);
    // The caller's buffer holds the whole block (GetFileVersionInfoA refuses a shorter one), so the
    // size recorded in the header bounds every read.
    if (std::memcmp(data, kVersionBlockMagic, sizeof kVersionBlockMagic) != 0) return false;
    const BlockView block(data, readU32(data + 12));
    if (!block.valid()) return false;

    const std::vector<std::string_view> parts = splitPath(subBlock);
    if (parts.size() == 2 && equalsIgnoringAsciiCase(parts[0], "VarFileInfo") &&
        equalsIgnoringAsciiCase(parts[1], "Translation")) {
        *buffer = const_cast<char*>(block.translations());
        *len = 4 * block.translationCount();
        return true;
    }
    if ((parts.size() != 2 && parts.size() != 3) || !equalsIgnoringAsciiCase(parts[0], "StringFileInfo"))
        return false;
    const StringTable* table = block.tableNamed(parts[1]);
    if (!table) return false;
    if (parts.size() == 2) {
        *buffer = const_cast<char*>(table->begin);
        *len = static_cast<std::uint32_t>(table->end - table->begin);
        return true;
    }
    const char* p = table->entries;
    for (std::uint32_t e = 0; e < table->entryCount; ++e) {
        const char* keyEnd = textEnd(p, table->end);
        const char* value = keyEnd + 1;
        const char* valueEnd = textEnd(value, table->end);
        if (equalsIgnoringAsciiCase(parts[2], std::string_view(p, static_cast<std::size_t>(keyEnd - p)))) {
            *buffer = const_cast<char*>(value);
            *len = valueEnd == value ? 0 : static_cast<std::uint32_t>(valueEnd - value + 1);
            return true;
        }
        p = valueEnd + 1;
    }
    return false;
}

} // namespace win
