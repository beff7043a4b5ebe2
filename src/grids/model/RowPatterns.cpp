#include "grids/model/RowPatterns.h"

#include <cstring>

namespace {

// The stride is a whole number of 8-byte words.
std::uint64_t hashOf(const std::uint8_t* bytes, std::size_t stride) {
    std::uint64_t h = 0x243F6A8885A308D3ull;
    for (std::size_t i = 0; i < stride; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    return h ^ (h >> 32);
}

} // namespace

void TRowPatterns::reset(std::size_t stride) {
    m_stride = stride;
    m_count = 1;
    m_last = 0;
    m_bytes.assign(stride, 0);
    m_slots.clear();
    rehash(64);
}

std::size_t TRowPatterns::slotOf(const std::uint8_t* bytes) const {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hashOf(bytes, m_stride) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t entry = m_slots[slot];
        if (entry == 0 || std::memcmp(at(entry - 1), bytes, m_stride) == 0) return slot;
    }
}

void TRowPatterns::rehash(std::size_t slotCount) {
    m_slots.assign(slotCount, 0);
    for (std::uint32_t id = 0; id < m_count; ++id)
        m_slots[slotOf(at(id))] = id + 1;
}

std::uint32_t TRowPatterns::intern(const std::uint8_t* bytes) {
    if (m_stride == 0) return 0;
    if (std::memcmp(at(m_last), bytes, m_stride) == 0) return m_last;
    const std::size_t slot = slotOf(bytes);
    if (m_slots[slot] != 0) return m_last = m_slots[slot] - 1;
    if (m_count == MaxCount) return Full;
    const std::uint32_t id = m_count++;
    m_bytes.insert(m_bytes.end(), bytes, bytes + m_stride);
    if (2 * m_count > m_slots.size())
        rehash(m_slots.size() * 2);
    else
        m_slots[slot] = id + 1;
    return m_last = id;
}
