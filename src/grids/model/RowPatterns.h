#pragma once
// The distinct blocks of one-byte cell codes that the rows of a grid hold, each kept once and named by a
// 16-bit id. The rows of a large grid repeat a few thousand combinations of letters, flags and values,
// so a row costs the two bytes of its id for them instead of a byte per column. Pattern 0 is all zeros
// (every cell empty) and is always there.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

class TRowPatterns {
public:
    static constexpr std::uint32_t MaxCount = 65536;
    static constexpr std::uint32_t Full = 0xFFFFFFFFu;

    TRowPatterns() { reset(0); }

    // Drops every pattern but pattern 0; patterns are stride bytes long from now on.
    void reset(std::size_t stride);
    std::size_t stride() const { return m_stride; }
    std::uint32_t count() const { return m_count; }
    const std::uint8_t* at(std::uint32_t id) const {
        assert(id < m_count);
        return m_bytes.data() + std::size_t(id) * m_stride;
    }
    const std::uint8_t* data() const { return m_bytes.data(); }
    // The id of a block of stride bytes, added when it is new; Full when it is new and MaxCount
    // patterns are held already.
    std::uint32_t intern(const std::uint8_t* bytes);
    std::size_t memoryUsage() const { return m_bytes.capacity() + m_slots.capacity() * 4; }

private:
    std::size_t slotOf(const std::uint8_t* bytes) const;
    void rehash(std::size_t slotCount);

    std::size_t m_stride = 0;
    std::uint32_t m_count = 1;
    std::uint32_t m_last = 0; // the id interned last: rows often repeat the row before
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::uint32_t> m_slots; // open addressing: id + 1, 0 = free
};
