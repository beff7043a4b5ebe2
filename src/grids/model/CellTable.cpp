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
    const int old = colCount();
    if (count == old) return;
    if (!m_plain) {
        // Cells of columns added or dropped read as empty.
        const std::size_t keep = static_cast<std::size_t>(std::min(old, count));
        const std::size_t oldStride = m_stride;
        rebuildPatterns(stride, [keep, oldStride, stride](const std::uint8_t* from, std::uint8_t* to) {
            std::memcpy(to, from, std::min(keep, oldStride));
            std::memset(to + keep, 0, stride - keep);
        });
        m_stride = stride;
        m_edit.assign(stride, 0);
        m_cols.resize(static_cast<std::size_t>(count));
        return;
    }
    if (stride != m_stride) {
        TZeroedArray<std::uint8_t> bytes;
        bytes.reserve(std::max(m_rows, m_reservedRows) * stride);
        bytes.resize(m_rows * stride);
        const std::size_t keep = std::min(stride, m_stride);
        for (std::size_t row = 0; row < used && keep > 0; ++row)
            std::memcpy(bytes.data() + row * stride, m_bytes.data() + row * m_stride, keep);
        m_bytes.swap(bytes);
        m_stride = stride;
        m_edit.assign(stride, 0);
    }
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
    if (m_plain)
        m_bytes.resize(rows * m_stride);
    else
        m_rowPattern.resize(rows);
    for (Column& c : m_cols) {
        if (c.width == 2) c.wide16.resize(rows);
        if (c.width == 4) c.wide32.resize(rows);
    }
    m_cleanFrom = std::min(m_cleanFrom, rows);
    if (rows > old / 2) return;
    m_reservedRows = 0;
    m_spare.clear();
    if (m_plain)
        toPatterns();
    else
        rebuildPatterns(m_stride, [this](const std::uint8_t* from, std::uint8_t* to) {
            std::memcpy(to, from, m_stride);
        });
    for (int col = 0; col < colCount(); ++col)
        if (m_cols[std::size_t(col)].width != 1 || m_cols[std::size_t(col)].dict.size() > 1) recode(col);
}

void TCellTable::reserveRows(std::size_t rows) {
    m_reservedRows = rows;
    if (m_plain)
        m_bytes.reserve(rows * m_stride);
    else
        m_rowPattern.reserve(rows);
    for (Column& c : m_cols) {
        if (c.width == 2) c.wide16.reserve(rows);
        if (c.width == 4) c.wide32.reserve(rows);
    }
}

TCellTable::CodeSpan TCellTable::codeSpan(int col) const {
    const Column& c = m_cols[static_cast<std::size_t>(col)];
    if (c.width != 1) return {nullptr, 0, nullptr, c.wide16.data()};
    if (m_plain) return {m_bytes.data() + col, m_stride, nullptr, nullptr};
    return {m_patterns.data() + col, m_stride, m_rowPattern.data(), nullptr};
}

void TCellTable::commitEdit(std::size_t row) {
    std::uint32_t id = m_patterns.intern(m_edit.data());
    // Cells written one at a time leave patterns behind that no row holds any more: they are shed when
    // they outnumber the rows, or when the ids run out. When most ids are still held, or many patterns
    // are held and rows share them too little for them to pay, rows are kept plain instead.
    constexpr std::size_t SpareFrom = 1024, FewHeld = 4096;
    if (id == TRowPatterns::Full || m_patterns.count() > SpareFrom + 2 * usedRows()) {
        rebuildPatterns(m_stride, [this](const std::uint8_t* from, std::uint8_t* to) {
            std::memcpy(to, from, m_stride);
        });
        const std::size_t held = m_patterns.count();
        const bool pays =
            held <= TRowPatterns::MaxCount / 4 * 3 && (held <= FewHeld || 2 * held <= usedRows());
        id = pays ? m_patterns.intern(m_edit.data()) : TRowPatterns::Full;
    }
    if (id != TRowPatterns::Full) {
        m_rowPattern[row] = static_cast<std::uint16_t>(id);
        return;
    }
    toPlain();
    std::memcpy(m_bytes.data() + row * m_stride, m_edit.data(), m_stride);
}

void TCellTable::rebuildPatterns(std::size_t stride,
                                 const std::function<void(const std::uint8_t*, std::uint8_t*)>& transform) {
    const TRowPatterns old = std::move(m_patterns);
    m_patterns = TRowPatterns();
    m_patterns.reset(stride);
    constexpr std::uint32_t Unmapped = 0xFFFFFFFFu;
    std::vector<std::uint32_t> map(old.count(), Unmapped);
    map[0] = 0;
    std::vector<std::uint8_t> to(stride);
    std::uint16_t* ids = m_rowPattern.data();
    for (std::size_t row = 0, used = usedRows(); row < used; ++row) {
        std::uint32_t& id = map[ids[row]];
        if (id == Unmapped) {
            transform(old.at(ids[row]), to.data());
            id = m_patterns.intern(to.data()); // never more patterns than before
        }
        ids[row] = static_cast<std::uint16_t>(id);
    }
}

// Every row's codes written out in full, for a table whose rows hold too many distinct patterns.
void TCellTable::toPlain() {
    TZeroedArray<std::uint8_t> bytes;
    bytes.reserve(std::max(m_rows, m_reservedRows) * m_stride);
    bytes.resize(m_rows * m_stride);
    for (std::size_t row = 0, used = usedRows(); row < used; ++row)
        if (m_rowPattern[row] != 0) std::memcpy(bytes.data() + row * m_stride, rowCodes(row), m_stride);
    m_bytes.swap(bytes);
    TZeroedArray<std::uint16_t>().swap(m_rowPattern);
    m_patterns.reset(m_stride);
    m_plain = true;
}

// Back to patterns, when the rows' codes fit in them.
void TCellTable::toPatterns() {
    TRowPatterns patterns;
    patterns.reset(m_stride);
    TZeroedArray<std::uint16_t> ids;
    ids.resize(m_rows);
    for (std::size_t row = 0, used = usedRows(); row < used; ++row) {
        std::memcpy(m_edit.data(), m_bytes.data() + row * m_stride, m_stride);
        for (int col = 0; col < colCount(); ++col) // bytes of wider columns are left over: they mean nothing
            if (m_cols[static_cast<std::size_t>(col)].width != 1) m_edit[static_cast<std::size_t>(col)] = 0;
        const std::uint32_t id = patterns.intern(m_edit.data());
        if (id == TRowPatterns::Full) return;
        ids[row] = static_cast<std::uint16_t>(id);
    }
    m_rowPattern.swap(ids);
    m_patterns = std::move(patterns);
    TZeroedArray<std::uint8_t>().swap(m_bytes);
    m_plain = false;
}

void TCellTable::copyCells(std::size_t from, std::size_t to, int beginCol, int endCol) {
    touch(to);
    std::uint8_t* codes = editCodes(to);
    const std::uint8_t* source = rowCodes(from); // unchanged until finishEdit(to)
    for (int col = beginCol; col < endCol; ++col) {
        if (m_cols[static_cast<std::size_t>(col)].width == 1)
            codes[col] = source[col];
        else
            setWide(col, to, get(col, from));
    }
    finishEdit(to);
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
            c.wide16[row] = rowCodes(row)[col];
        c.width = 2;
        // The column's byte means nothing now: patterns that differed only there become one.
        if (!m_plain)
            rebuildPatterns(m_stride, [this, col](const std::uint8_t* from, std::uint8_t* to) {
                std::memcpy(to, from, m_stride);
                to[col] = 0;
            });
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

std::vector<std::uint8_t> TCellTable::heldPatterns() const {
    std::vector<std::uint8_t> held(m_plain ? 0 : m_patterns.count(), 0);
    if (held.empty()) return held;
    held[0] = 1;
    for (std::size_t row = 0, used = usedRows(); row < used; ++row)
        held[m_rowPattern[row]] = 1;
    return held;
}

void TCellTable::recode(int col) {
    if (!m_plain && m_cols[static_cast<std::size_t>(col)].width == 1) {
        // Each code the rows hold is coded again; the patterns follow.
        const std::vector<Handle> dict = m_cols[static_cast<std::size_t>(col)].dict;
        std::vector<std::uint8_t> codeUsed(dict.size(), 0);
        const std::vector<std::uint8_t> held = heldPatterns();
        for (std::uint32_t id = 0; id < held.size(); ++id)
            if (held[id]) codeUsed[m_patterns.at(id)[col]] = 1;
        m_cols[static_cast<std::size_t>(col)] = Column();
        std::vector<std::uint8_t> map(dict.size(), 0);
        for (std::size_t code = 1; code < dict.size(); ++code)
            if (codeUsed[code]) map[code] = static_cast<std::uint8_t>(codeOf(col, dict[code]));
        rebuildPatterns(m_stride, [this, col, &map](const std::uint8_t* from, std::uint8_t* to) {
            std::memcpy(to, from, m_stride);
            to[col] = map[from[col]];
        });
        return;
    }
    const std::size_t used = usedRows();
    std::vector<Handle> cells(used);
    for (std::size_t row = 0; row < used; ++row)
        cells[row] = get(col, row);
    m_cols[static_cast<std::size_t>(col)] = Column();
    for (std::size_t row = 0; row < used; ++row)
        set(col, row, cells[row]);
}

// The spare holds the keys and a buffer for them (16 bytes a row). Permuting needs the permutation (4
// bytes a row) and room for the values being gathered (at most 8 bytes a row): the permutation lies in
// one half, the values go to the other.
TCellTable::SortScratch TCellTable::sortScratch(std::size_t count) {
    if (m_spare.size() < 16 * count) m_spare.resize(16 * count);
    std::uint8_t* base = m_spare.data();
    return {reinterpret_cast<std::uint64_t*>(base), reinterpret_cast<std::uint64_t*>(base + 8 * count)};
}

void TCellTable::permute(std::size_t first, const std::uint32_t* perm, std::size_t count) {
    if (count == 0) return;
    const auto* permBytes = reinterpret_cast<const std::uint8_t*>(perm);
    const bool permInSpare = permBytes >= m_spare.data() && permBytes < m_spare.data() + m_spare.size();
    if (!permInSpare && m_spare.size() < 8 * count) m_spare.resize(8 * count);
    std::uint8_t* out =
        permInSpare && permBytes < m_spare.data() + 8 * count ? m_spare.data() + 8 * count : m_spare.data();
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
    if (!m_plain) {
        gather(m_rowPattern.data());
    } else {
        // The one-byte codes of a row move together a word at a time, so sorting needs room for a word a
        // row beside the codes rather than a second copy of them.
        std::uint8_t* body = m_bytes.data() + first * m_stride;
        for (std::size_t offset = 0; offset < m_stride; offset += 8) {
            for (std::size_t i = 0; i < count; ++i)
                std::memcpy(out + i * 8, body + std::size_t(perm[i]) * m_stride + offset, 8);
            for (std::size_t i = 0; i < count; ++i)
                std::memcpy(body + i * m_stride + offset, out + i * 8, 8);
        }
    }
    m_cleanFrom = std::max(m_cleanFrom, m_rows);
}

void TCellTable::markInterned(std::vector<std::uint8_t>& used) const {
    auto mark = [&used](Handle h) {
        if (TCellStringTable::isInterned(h) && h < used.size()) used[h] = 1;
    };
    const std::vector<std::uint8_t> held = heldPatterns();
    for (int col = 0; col < colCount(); ++col) {
        const Column& c = m_cols[static_cast<std::size_t>(col)];
        if (c.width == 4) {
            for (std::size_t row = 0; row < usedRows(); ++row)
                mark(c.wide32[row]);
            continue;
        }
        std::vector<std::uint8_t> codeUsed(c.dict.size(), 0);
        if (c.width == 1 && !m_plain) {
            for (std::uint32_t id = 0; id < held.size(); ++id)
                if (held[id]) codeUsed[m_patterns.at(id)[col]] = 1;
        } else {
            for (std::size_t row = 0; row < usedRows(); ++row)
                codeUsed[code(col, row)] = 1;
        }
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
    std::size_t bytes = m_bytes.capacity() + m_spare.capacity() + m_cols.capacity() * sizeof(Column) +
                        m_rowPattern.capacity() * 2 + m_patterns.memoryUsage();
    for (const Column& c : m_cols)
        bytes += c.dict.capacity() * 4 + c.probe.capacity() * 4 + c.wide16.capacity() * 2 +
                 c.wide32.capacity() * 4;
    return bytes;
}
