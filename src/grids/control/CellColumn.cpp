#include "CellColumn.h"

#include <algorithm>
#include <bit>

namespace {

constexpr std::size_t MaxCodes8 = 256;
constexpr std::size_t MaxCodes16 = 65536;

template <class V> void resizeVector(V& v, std::size_t rows) {
    v.resize(rows, 0);
    if (rows < v.capacity() / 2) v.shrink_to_fit();
}

template <class V> void permuteVector(V& v, std::size_t first, const std::vector<std::uint32_t>& perm) {
    V out(v.size());
    std::copy(v.begin(), v.begin() + std::ptrdiff_t(first), out.begin());
    const auto* body = v.data() + first;
    auto* dest = out.data() + first;
    const std::size_t n = perm.size();
    for (std::size_t i = 0; i < n; ++i)
        dest[i] = body[perm[i]];
    v.swap(out);
}

} // namespace

std::uint32_t TCellColumn::lookupOrAdd(Handle handle) {
    if (!m_slots.empty()) {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t slot = (handle * 2654435761u) >> m_slotShift;; slot = (slot + 1) & mask) {
            const std::uint32_t code = m_slots[slot];
            if (code == 0) break;
            if (m_dict[code] == handle) return code;
        }
    }
    if (m_dict.size() == (m_width == 1 ? MaxCodes8 : MaxCodes16)) {
        widen();
        if (m_width == 4) return 0; // the caller stores the handle itself
        return lookupOrAdd(handle);
    }
    const auto code = static_cast<std::uint32_t>(m_dict.size());
    m_dict.push_back(handle);
    if (2 * m_dict.size() > m_slots.size())
        rehash(std::max<std::size_t>(16, m_slots.size() * 2));
    else
        insertSlot(code);
    return code;
}

void TCellColumn::insertSlot(std::uint32_t code) {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = (m_dict[code] * 2654435761u) >> m_slotShift;
    while (m_slots[slot] != 0)
        slot = (slot + 1) & mask;
    m_slots[slot] = code;
}

void TCellColumn::rehash(std::size_t slotCount) {
    m_slots.assign(slotCount, 0);
    m_slotShift = 32 - std::countr_zero(slotCount);
    for (std::uint32_t code = 1; code < m_dict.size(); ++code)
        insertSlot(code);
}

void TCellColumn::widen() {
    m_lastHandle = TCellStringTable::EmptyHandle;
    m_lastCode = 0;
    if (m_width == 1) {
        m_c16.assign(m_c8.begin(), m_c8.end());
        m_c16.reserve(m_c8.capacity());
        std::vector<std::uint8_t>().swap(m_c8);
        m_width = 2;
        return;
    }
    m_c32.resize(m_size);
    m_c32.reserve(m_c16.capacity());
    for (std::size_t row = 0; row < m_size; ++row)
        m_c32[row] = m_dict[m_c16[row]];
    std::vector<std::uint16_t>().swap(m_c16);
    m_dict.assign(1, TCellStringTable::EmptyHandle);
    std::vector<std::uint32_t>().swap(m_slots);
    m_width = 4;
}

void TCellColumn::recode() {
    TCellColumn fresh(m_size);
    for (std::size_t row = 0; row < m_size; ++row)
        fresh.set(row, get(row));
    *this = std::move(fresh);
}

void TCellColumn::resize(std::size_t rows) {
    const std::size_t old = m_size;
    m_size = rows;
    if (m_width == 1)
        resizeVector(m_c8, rows);
    else if (m_width == 2)
        resizeVector(m_c16, rows);
    else
        resizeVector(m_c32, rows);
    if (rows <= old / 2 && (m_width != 1 || m_dict.size() > 1)) recode();
}

void TCellColumn::reserve(std::size_t rows) {
    if (m_width == 1)
        m_c8.reserve(rows);
    else if (m_width == 2)
        m_c16.reserve(rows);
    else
        m_c32.reserve(rows);
}

void TCellColumn::fill(std::size_t begin, std::size_t end, Handle handle) {
    for (std::size_t row = begin; row < end; ++row)
        set(row, handle);
}

void TCellColumn::permute(std::size_t first, const std::vector<std::uint32_t>& perm) {
    if (m_width == 1)
        permuteVector(m_c8, first, perm);
    else if (m_width == 2)
        permuteVector(m_c16, first, perm);
    else
        permuteVector(m_c32, first, perm);
}

void TCellColumn::markInterned(std::vector<std::uint8_t>& used) const {
    auto mark = [&used](Handle h) {
        if (TCellStringTable::isInterned(h) && h < used.size()) used[h] = 1;
    };
    if (m_width == 4) {
        for (Handle h : m_c32)
            mark(h);
        return;
    }
    std::vector<std::uint8_t> codeUsed(m_dict.size(), 0);
    for (std::size_t row = 0; row < m_size; ++row)
        codeUsed[code(row)] = 1;
    for (std::size_t c = 0; c < m_dict.size(); ++c)
        if (codeUsed[c]) mark(m_dict[c]);
}

void TCellColumn::remapInterned(const std::vector<std::uint32_t>& map) {
    auto remap = [&map](Handle& h) {
        if (TCellStringTable::isInterned(h) && h < map.size()) h = map[h];
    };
    if (m_width == 4) {
        for (Handle& h : m_c32)
            remap(h);
    } else {
        for (Handle& h : m_dict)
            remap(h);
    }
    recode();
}

std::size_t TCellColumn::memoryUsage() const {
    return m_c8.capacity() + m_c16.capacity() * 2 + m_c32.capacity() * 4 + m_dict.capacity() * 4 +
           m_slots.capacity() * 4;
}
