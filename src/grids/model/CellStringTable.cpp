#include "grids/model/CellStringTable.h"

#include <QHashFunctions>

#include <stdexcept>

namespace {

constexpr std::uint32_t TagShort = 1u << 30;
constexpr std::uint32_t TagDecimal = 2u << 30;
constexpr std::uint32_t TagHex = 3u << 30;
constexpr std::uint32_t PayloadMask = 0x3FFFFFFFu;

std::uint32_t hashOf(QStringView text) {
    return static_cast<std::uint32_t>(qHash(text, 0));
}

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

const char16_t HexDigits[] = u"0123456789ABCDEF";

} // namespace

TCellStringTable::TCellStringTable() {
    m_strings.emplace_back();
    m_hashes.push_back(hashOf(QStringView()));
    m_slots.assign(1024, 0);
}

bool TCellStringTable::encodeInline(QStringView text, Handle& handle) {
    const qsizetype n = text.size();
    if (n == 0) {
        handle = EmptyHandle;
        return true;
    }
    const char16_t* s = text.utf16();
    if (n <= 4) {
        std::uint32_t packed = 0;
        bool ascii = true;
        for (qsizetype i = 0; i < n && ascii; ++i) {
            ascii = s[i] >= 1 && s[i] <= 127;
            packed |= std::uint32_t(s[i]) << (7 * i);
        }
        if (ascii) {
            handle = TagShort | packed;
            return true;
        }
        return false;
    }
    if (n <= 9 && s[0] >= u'1' && s[0] <= u'9') {
        std::uint32_t value = 0;
        qsizetype i = 0;
        for (; i < n && s[i] >= u'0' && s[i] <= u'9'; ++i)
            value = value * 10 + (s[i] - u'0');
        if (i == n) {
            handle = TagDecimal | value;
            return true;
        }
    }
    if (n >= 5 && n <= 7) {
        std::uint32_t value = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const int v = hexValue(s[i]);
            if (v < 0) return false;
            value = (value << 4) | std::uint32_t(v);
        }
        handle = TagHex | (std::uint32_t(n - 5) << 28) | value;
        return true;
    }
    return false;
}

QStringView TCellStringTable::view(Handle handle, InlineBuffer& buffer) const {
    const std::uint32_t payload = handle & PayloadMask;
    switch (handle & ~PayloadMask) {
    case 0:
        return payload < m_strings.size() ? QStringView(m_strings[payload]) : QStringView();
    case TagShort: {
        qsizetype n = 0;
        for (; n < 4; ++n) {
            const char16_t c = char16_t((payload >> (7 * n)) & 0x7F);
            if (c == 0) break;
            buffer.chars[n] = c;
        }
        return QStringView(buffer.chars, n);
    }
    case TagDecimal: {
        char16_t digits[10];
        qsizetype n = 0;
        std::uint32_t value = payload;
        do {
            digits[n++] = char16_t(u'0' + value % 10);
            value /= 10;
        } while (value != 0);
        for (qsizetype i = 0; i < n; ++i)
            buffer.chars[i] = digits[n - 1 - i];
        return QStringView(buffer.chars, n);
    }
    default: {
        const qsizetype n = 5 + ((payload >> 28) & 3);
        std::uint32_t value = payload & 0x0FFFFFFFu;
        for (qsizetype i = n - 1; i >= 0; --i, value >>= 4)
            buffer.chars[i] = HexDigits[value & 0xF];
        return QStringView(buffer.chars, n);
    }
    }
}

QString TCellStringTable::text(Handle handle) const {
    if (isInterned(handle)) {
        const std::uint32_t index = internedIndex(handle);
        return index < m_strings.size() ? m_strings[index] : QString();
    }
    InlineBuffer buffer;
    return view(handle, buffer).toString();
}

std::uint32_t TCellStringTable::lookup(QStringView text, std::uint32_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t index = m_slots[slot];
        if (index == 0) return 0;
        if (m_hashes[index] == hash && QStringView(m_strings[index]) == text) return index;
    }
}

bool TCellStringTable::find(QStringView text, Handle& handle) const {
    if (encodeInline(text, handle)) return true;
    const std::uint32_t index = lookup(text, hashOf(text));
    handle = index;
    return index != 0;
}

TCellStringTable::Handle TCellStringTable::intern(QStringView text) {
    Handle handle;
    if (encodeInline(text, handle)) return handle;
    const std::uint32_t hash = hashOf(text);
    if (const std::uint32_t found = lookup(text, hash)) return found;
    if (m_strings.size() >= PayloadMask) throw std::length_error("Too many distinct cell texts");
    const auto index = static_cast<std::uint32_t>(m_strings.size());
    m_strings.emplace_back(text.toString());
    m_hashes.push_back(hash);
    if (2 * m_strings.size() > m_slots.size())
        rehash(m_slots.size() * 2);
    else
        insertSlot(index);
    return index;
}

void TCellStringTable::insertSlot(std::uint32_t index) {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = m_hashes[index] & mask;
    while (m_slots[slot] != 0)
        slot = (slot + 1) & mask;
    m_slots[slot] = index;
}

void TCellStringTable::rehash(std::size_t slotCount) {
    m_slots.assign(slotCount, 0);
    for (std::uint32_t i = 1; i < m_strings.size(); ++i)
        insertSlot(i);
}

std::vector<std::uint32_t> TCellStringTable::compact(const std::vector<std::uint8_t>& used) {
    std::vector<std::uint32_t> map(m_strings.size(), 0);
    std::size_t kept = 1;
    for (std::size_t i = 1; i < m_strings.size(); ++i) {
        if (i >= used.size() || !used[i]) continue;
        map[i] = static_cast<std::uint32_t>(kept);
        if (kept != i) {
            m_strings[kept] = std::move(m_strings[i]);
            m_hashes[kept] = m_hashes[i];
        }
        ++kept;
    }
    m_strings.resize(kept);
    m_strings.shrink_to_fit();
    m_hashes.resize(kept);
    m_hashes.shrink_to_fit();
    std::size_t slotCount = 1024;
    while (slotCount < 2 * kept)
        slotCount *= 2;
    rehash(slotCount);
    return map;
}

std::size_t TCellStringTable::memoryUsage() const {
    std::size_t bytes =
        m_strings.capacity() * sizeof(QString) + m_hashes.capacity() * 4 + m_slots.capacity() * 4;
    for (const QString& s : m_strings)
        if (!s.isEmpty()) bytes += 32 + std::size_t(s.capacity()) * 2;
    return bytes;
}
