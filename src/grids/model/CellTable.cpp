#include "grids/model/CellTable.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::size_t MaxCodes8 = 256;
constexpr std::size_t MaxCodes16 = 65536;

template <class V> void resizeVector(V& v, std::size_t size) {
    v.resize(size, 0);
    if (size < v.capacity() / 2) v.shrink_to_fit();
}

template <class V> void permuteVector(V& v, std::size_t first, const std::vector<std::uint32_t>& perm) {
    if (v.empty()) return;
    V out(v.size());
    std::copy(v.begin(), v.begin() + std::ptrdiff_t(first), out.begin());
    const auto* body = v.data() + first;
    auto* dest = out.data() + first;
    for (std::size_t i = 0; i < perm.size(); ++i)
        dest[i] = body[perm[i]];
    v.swap(out);
}

std::size_t strideFor(int cols) {
    return (static_cast<std::size_t>(std::max(0, cols)) + 7) / 8 * 8;
}

} // namespace

void TCellTable::setColCount(int count) {
    count = std::max(0, count);
    const std::size_t stride = strideFor(count);
    if (stride != m_stride) {
        std::vector<std::uint8_t> bytes(m_rows * stride, 0);
        const std::size_t keep = std::min(stride, m_stride);
        for (std::size_t row = 0; row < m_rows && keep > 0; ++row)
            std::memcpy(bytes.data() + row * stride, m_bytes.data() + row * m_stride, keep);
        m_bytes.swap(bytes);
        m_stride = stride;
    }
    const int old = colCount();
    m_cols.resize(static_cast<std::size_t>(count));
    for (int col = old; col < count; ++col) {
        for (std::size_t row = 0; row < m_rows; ++row)
            m_bytes[row * m_stride + static_cast<std::size_t>(col)] = 0;
    }
}

void TCellTable::setRowCount(std::size_t rows) {
    const std::size_t old = m_rows;
    m_rows = rows;
    resizeVector(m_bytes, rows * m_stride);
    for (Column& c : m_cols) {
        if (c.width == 2) resizeVector(c.wide16, rows);
        if (c.width == 4) resizeVector(c.wide32, rows);
    }
    if (rows <= old / 2) m_reservedRows = 0;
    if (rows <= old / 2)
        for (int col = 0; col < colCount(); ++col)
            if (m_cols[std::size_t(col)].width != 1 || m_cols[std::size_t(col)].dict.size() > 1) recode(col);
}

void TCellTable::reserveRows(std::size_t rows) {
    m_reservedRows = rows;
    m_bytes.reserve(rows * m_stride);
    for (Column& c : m_cols) {
        if (c.width == 2) c.wide16.reserve(rows);
        if (c.width == 4) c.wide32.reserve(rows);
    }
}

void TCellTable::copyCells(std::size_t from, std::size_t to, int beginCol, int endCol) {
    const auto oneByte = [this](int col) { return m_cols[static_cast<std::size_t>(col)].width == 1; };
    int col = beginCol;
    while (col < endCol) {
        int run = col; // the one-byte codes of a run of columns sit side by side
        while (run < endCol && oneByte(run))
            ++run;
        if (run > col) {
            std::memcpy(m_bytes.data() + to * m_stride + static_cast<std::size_t>(col),
                        m_bytes.data() + from * m_stride + static_cast<std::size_t>(col),
                        static_cast<std::size_t>(run - col));
            col = run;
        } else {
            set(col, to, get(col, from));
            ++col;
        }
    }
}

void TCellTable::fill(int col, std::size_t begin, std::size_t end, Handle handle) {
    for (std::size_t row = begin; row < end; ++row)
        set(col, row, handle);
}

std::uint32_t TCellTable::lookupOrAdd(int col, Handle handle) {
    Column& c = m_cols[static_cast<std::size_t>(col)];
    if (!c.probe.empty()) {
        const std::size_t mask = c.probe.size() - 1;
        for (std::size_t slot = (handle * 2654435761u) >> c.slotShift;; slot = (slot + 1) & mask) {
            const std::uint32_t code = c.probe[slot];
            if (code == 0) break;
            if (c.dict[code] == handle) return code;
        }
    }
    if (c.dict.size() == (c.width == 1 ? MaxCodes8 : MaxCodes16)) {
        widen(col);
        if (c.width == 4) return 0; // the caller stores the handle itself
        return lookupOrAdd(col, handle);
    }
    const auto code = static_cast<std::uint32_t>(c.dict.size());
    c.dict.push_back(handle);
    if (2 * c.dict.size() > c.probe.size())
        rehash(c, std::max<std::size_t>(16, c.probe.size() * 2));
    else
        insertSlot(c, code);
    return code;
}

void TCellTable::insertSlot(Column& c, std::uint32_t code) {
    const std::size_t mask = c.probe.size() - 1;
    std::size_t slot = (c.dict[code] * 2654435761u) >> c.slotShift;
    while (c.probe[slot] != 0)
        slot = (slot + 1) & mask;
    c.probe[slot] = code;
}

void TCellTable::rehash(Column& c, std::size_t slotCount) {
    c.probe.assign(slotCount, 0);
    c.slotShift = 32 - std::countr_zero(slotCount);
    for (std::uint32_t code = 1; code < c.dict.size(); ++code)
        insertSlot(c, code);
}

void TCellTable::widen(int col) {
    Column& c = m_cols[static_cast<std::size_t>(col)];
    c.lastHandle = TCellStringTable::EmptyHandle;
    c.lastCode = 0;
    if (c.width == 1) {
        c.wide16.reserve(std::max(m_rows, m_reservedRows));
        c.wide16.resize(m_rows);
        for (std::size_t row = 0; row < m_rows; ++row)
            c.wide16[row] = m_bytes[row * m_stride + static_cast<std::size_t>(col)];
        c.width = 2;
        return;
    }
    c.wide32.reserve(std::max(m_rows, m_reservedRows));
    c.wide32.resize(m_rows);
    for (std::size_t row = 0; row < m_rows; ++row)
        c.wide32[row] = c.dict[c.wide16[row]];
    std::vector<std::uint16_t>().swap(c.wide16);
    c.dict.assign(1, TCellStringTable::EmptyHandle);
    std::vector<std::uint32_t>().swap(c.probe);
    c.width = 4;
}

void TCellTable::recode(int col) {
    std::vector<Handle> cells(m_rows);
    for (std::size_t row = 0; row < m_rows; ++row)
        cells[row] = get(col, row);
    m_cols[static_cast<std::size_t>(col)] = Column();
    for (std::size_t row = 0; row < m_rows; ++row)
        set(col, row, cells[row]);
}

void TCellTable::permute(std::size_t first, const std::vector<std::uint32_t>& perm) {
    // The one-byte codes of a row move together, a word at a time.
    if (m_stride > 0 && !perm.empty()) {
        std::vector<std::uint8_t> out(m_bytes.size());
        std::memcpy(out.data(), m_bytes.data(), first * m_stride);
        const std::uint8_t* body = m_bytes.data() + first * m_stride;
        std::uint8_t* dest = out.data() + first * m_stride;
        const std::size_t words = m_stride / 8;
        for (std::size_t i = 0; i < perm.size(); ++i) {
            const std::uint8_t* from = body + std::size_t(perm[i]) * m_stride;
            std::uint8_t* to = dest + i * m_stride;
            for (std::size_t w = 0; w < words; ++w)
                std::memcpy(to + 8 * w, from + 8 * w, 8);
        }
        m_bytes.swap(out);
    }
    for (Column& c : m_cols) {
        if (c.width == 2) permuteVector(c.wide16, first, perm);
        if (c.width == 4) permuteVector(c.wide32, first, perm);
    }
}

void TCellTable::markInterned(std::vector<std::uint8_t>& used) const {
    auto mark = [&used](Handle h) {
        if (TCellStringTable::isInterned(h) && h < used.size()) used[h] = 1;
    };
    for (int col = 0; col < colCount(); ++col) {
        const Column& c = m_cols[static_cast<std::size_t>(col)];
        if (c.width == 4) {
            for (Handle h : c.wide32)
                mark(h);
            continue;
        }
        std::vector<std::uint8_t> codeUsed(c.dict.size(), 0);
        for (std::size_t row = 0; row < m_rows; ++row)
            codeUsed[code(col, row)] = 1;
        for (std::size_t i = 0; i < c.dict.size(); ++i)
            if (codeUsed[i]) mark(c.dict[i]);
    }
}

void TCellTable::remapInterned(const std::vector<std::uint32_t>& map) {
    auto remap = [&map](Handle& h) {
        if (TCellStringTable::isInterned(h) && h < map.size()) h = map[h];
    };
    for (int col = 0; col < colCount(); ++col) {
        Column& c = m_cols[static_cast<std::size_t>(col)];
        for (Handle& h : c.width == 4 ? c.wide32 : c.dict)
            remap(h);
        recode(col);
    }
}

std::size_t TCellTable::memoryUsage() const {
    std::size_t bytes = m_bytes.capacity() + m_cols.capacity() * sizeof(Column);
    for (const Column& c : m_cols)
        bytes += c.dict.capacity() * 4 + c.probe.capacity() * 4 + c.wide16.capacity() * 2 +
                 c.wide32.capacity() * 4;
    return bytes;
}
