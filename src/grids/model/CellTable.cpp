#include "grids/model/CellTable.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

namespace {

constexpr std::size_t MaxCodes8 = 256;
constexpr std::size_t MaxCodes16 = 65536;

std::size_t strideFor(int cols) {
    return (static_cast<std::size_t>(std::max(0, cols)) + 7) / 8 * 8;
}

} // namespace

void TCellTable::setColCount(int count) {
    count = std::max(0, count);
    const std::size_t stride = strideFor(count);
    const std::size_t used = usedRows();
    if (stride != m_stride) {
        TZeroedArray<std::uint8_t> bytes;
        bytes.reserve(std::max(m_rows, m_reservedRows) * stride);
        bytes.resize(m_rows * stride);
        const std::size_t keep = std::min(stride, m_stride);
        for (std::size_t row = 0; row < used && keep > 0; ++row)
            std::memcpy(bytes.data() + row * stride, m_bytes.data() + row * m_stride, keep);
        m_bytes.swap(bytes);
        m_stride = stride;
    }
    const int old = colCount();
    m_cols.resize(static_cast<std::size_t>(count));
    for (int col = old; col < count; ++col) {
        for (std::size_t row = 0; row < used; ++row)
            m_bytes[row * m_stride + static_cast<std::size_t>(col)] = 0;
    }
}

void TCellTable::setRowCount(std::size_t rows) {
    const std::size_t old = m_rows;
    m_rows = rows;
    // Cells dropped read as empty when the rows come back; cells added are empty without being written.
    m_bytes.resize(rows * m_stride);
    for (Column& c : m_cols) {
        if (c.width == 2) c.wide16.resize(rows);
        if (c.width == 4) c.wide32.resize(rows);
    }
    m_cleanFrom = std::min(m_cleanFrom, rows);
    if (rows <= old / 2) {
        m_reservedRows = 0;
        m_spare.clear();
    }
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
    touch(to);
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
    const std::size_t used = usedRows(); // the rows after are empty: code 0 and handle 0 alike
    if (c.width == 1) {
        c.wide16.reserve(std::max(m_rows, m_reservedRows));
        c.wide16.resize(m_rows);
        for (std::size_t row = 0; row < used; ++row)
            c.wide16[row] = m_bytes[row * m_stride + static_cast<std::size_t>(col)];
        c.width = 2;
        return;
    }
    c.wide32.reserve(std::max(m_rows, m_reservedRows));
    c.wide32.resize(m_rows);
    for (std::size_t row = 0; row < used; ++row)
        c.wide32[row] = c.dict[c.wide16[row]];
    c.wide16.clear();
    c.dict.assign(1, TCellStringTable::EmptyHandle);
    std::vector<std::uint32_t>().swap(c.probe);
    c.width = 4;
}

void TCellTable::recode(int col) {
    const std::size_t used = usedRows();
    std::vector<Handle> cells(used);
    for (std::size_t row = 0; row < used; ++row)
        cells[row] = get(col, row);
    m_cols[static_cast<std::size_t>(col)] = Column();
    for (std::size_t row = 0; row < used; ++row)
        set(col, row, cells[row]);
}

// The spare holds the keys and a buffer for them (16 bytes a row), or the values being gathered (at most
// 16 bytes a row), and after them the permutation (4 bytes a row).
TCellTable::SortScratch TCellTable::sortScratch(std::size_t count) {
    if (m_spare.size() < 20 * count) m_spare.resize(20 * count);
    std::uint8_t* base = m_spare.data();
    return {reinterpret_cast<std::uint64_t*>(base), reinterpret_cast<std::uint64_t*>(base + 8 * count),
            reinterpret_cast<std::uint32_t*>(base + 16 * count)};
}

void TCellTable::permute(std::size_t first, const std::uint32_t* perm, std::size_t count) {
    if (count == 0) return;
    // Values are gathered into the start of the spare and copied back; the permutation may lie after.
    const bool permInSpare = perm >= reinterpret_cast<const std::uint32_t*>(m_spare.data()) &&
                             perm < reinterpret_cast<const std::uint32_t*>(m_spare.data() + m_spare.size());
    if (!permInSpare && m_spare.size() < 16 * count) m_spare.resize(16 * count);
    std::uint8_t* out = m_spare.data();
    auto gather = [&](auto* values) {
        using T = std::remove_pointer_t<decltype(values)>;
        T* to = reinterpret_cast<T*>(out);
        const T* body = values + first;
        for (std::size_t i = 0; i < count; ++i)
            to[i] = body[perm[i]];
        std::memcpy(values + first, to, count * sizeof(T));
    };
    for (Column& c : m_cols) {
        if (c.width == 2) gather(c.wide16.data());
        if (c.width == 4) gather(c.wide32.data());
    }
    // The one-byte codes of a row move together, two words at a time, so sorting needs room for two words
    // a row beside the codes rather than a second copy of them.
    std::uint8_t* body = m_bytes.data() + first * m_stride;
    for (std::size_t word = 0; word < m_stride / 8; word += 2) {
        const std::size_t width = std::min<std::size_t>(16, m_stride - 8 * word);
        const std::size_t offset = 8 * word;
        for (std::size_t i = 0; i < count; ++i)
            std::memcpy(out + i * width, body + std::size_t(perm[i]) * m_stride + offset, width);
        for (std::size_t i = 0; i < count; ++i)
            std::memcpy(body + i * m_stride + offset, out + i * width, width);
    }
    m_cleanFrom = std::max(m_cleanFrom, m_rows);
}

void TCellTable::markInterned(std::vector<std::uint8_t>& used) const {
    auto mark = [&used](Handle h) {
        if (TCellStringTable::isInterned(h) && h < used.size()) used[h] = 1;
    };
    for (int col = 0; col < colCount(); ++col) {
        const Column& c = m_cols[static_cast<std::size_t>(col)];
        if (c.width == 4) {
            for (std::size_t row = 0; row < usedRows(); ++row)
                mark(c.wide32[row]);
            continue;
        }
        std::vector<std::uint8_t> codeUsed(c.dict.size(), 0);
        for (std::size_t row = 0; row < usedRows(); ++row)
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
        if (c.width == 4)
            for (std::size_t row = 0; row < usedRows(); ++row)
                remap(c.wide32[row]);
        else
            for (Handle& h : c.dict)
                remap(h);
        recode(col);
    }
}

std::size_t TCellTable::memoryUsage() const {
    std::size_t bytes = m_bytes.capacity() + m_spare.capacity() + m_cols.capacity() * sizeof(Column);
    for (const Column& c : m_cols)
        bytes += c.dict.capacity() * 4 + c.probe.capacity() * 4 + c.wide16.capacity() * 2 +
                 c.wide32.capacity() * 4;
    return bytes;
}
