#pragma once
// Compact storage of cell texts. Every cell holds one 32-bit handle. Short texts (up to four ASCII
// characters, canonical decimal numbers below 10^9, upper-case hexadecimal strings of 5 to 7 digits)
// are encoded in the handle itself; every other text is interned once in a table and the handle is
// its index. Handle 0 is the empty text. Equal texts always get equal handles.
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

class TCellStringTable {
public:
    using Handle = std::uint32_t;
    static constexpr Handle EmptyHandle = 0;

    // Room for the characters of an inline handle (at most 9).
    struct InlineBuffer {
        char16_t chars[12];
    };

    TCellStringTable();

    // The handle of a text, interning it when it cannot be encoded inline.
    Handle intern(QStringView text);

    // The handle of a text if it is inline or already interned; nothing is added. Returns false when
    // the text has never been interned.
    bool find(QStringView text, Handle& handle) const;

    QString text(Handle handle) const;

    // The characters of a handle without allocating: inline texts are decoded into buffer, interned
    // ones point into the table. Valid until the table or buffer changes.
    QStringView view(Handle handle, InlineBuffer& buffer) const;

    static bool isInterned(Handle handle) { return (handle >> 30) == 0; }
    // For interned handles: the table index (0 .. internedCount() - 1).
    static std::uint32_t internedIndex(Handle handle) { return handle & 0x3FFFFFFFu; }
    std::uint32_t internedCount() const { return static_cast<std::uint32_t>(m_strings.size()); }

    // Drops every interned text whose flag in used is 0 (indexed by table index; the empty text is
    // always kept). Returns the old-to-new index map; dropped entries map to 0.
    std::vector<std::uint32_t> compact(const std::vector<std::uint8_t>& used);

    // Heap bytes held by the table (texts, hashes and index), for diagnostics.
    std::size_t memoryUsage() const;

private:
    static bool encodeInline(QStringView text, Handle& handle);
    std::uint32_t lookup(QStringView text, std::uint32_t hash) const;
    void insertSlot(std::uint32_t index);
    void rehash(std::size_t slotCount);

    std::vector<QString> m_strings;      // index 0 is the empty text
    std::vector<std::uint32_t> m_hashes; // hash of each interned text
    std::vector<std::uint32_t> m_slots;  // open addressing: table index, 0 = free
};
