#pragma once
// The cells of a grid, stored by how much each column's texts repeat. Each column keeps its own list of
// the handles it holds and stores a code per cell: while the column holds at most 256 distinct handles
// the code is one byte, kept with the other one-byte codes of its row (so whole rows move together when
// the grid is sorted); up to 65,536 it is two bytes in a vector of the column's own; beyond that the
// cell is the handle itself. Letters, flags, names and values that repeat thus cost a byte or two each.
//
// The codes live in arrays that read as zero until written (TZeroedArray), and the table knows from which
// row on no cell has been written: growing by many rows fills no memory, and a row written for the first
// time is written once.
#include "grids/model/CellStringTable.h"
#include "grids/model/ZeroedArray.h"

#include <cstdint>
#include <vector>

class TCellTable {
public:
    using Handle = TCellStringTable::Handle;

    int colCount() const { return static_cast<int>(m_cols.size()); }
    std::size_t rowCount() const { return m_rows; }
    // New cells are empty. Columns cut to half their rows or fewer are coded again from the cells left.
    void setColCount(int count);
    void setRowCount(std::size_t rows);
    // Room for rows without moving the cells again, for columns that widen later too.
    void reserveRows(std::size_t rows);

    Handle get(int col, std::size_t row) const {
        const Column& c = m_cols[static_cast<std::size_t>(col)];
        if (c.width == 1) return c.dict[m_bytes[row * m_stride + static_cast<std::size_t>(col)]];
        if (c.width == 2) return c.dict[c.wide16[row]];
        return c.wide32[row];
    }
    void set(int col, std::size_t row, Handle handle) {
        touch(row);
        Column& c = m_cols[static_cast<std::size_t>(col)];
        if (c.width != 4) {
            const std::uint32_t code = codeOf(col, handle);
            if (c.width == 1) {
                m_bytes[row * m_stride + static_cast<std::size_t>(col)] = static_cast<std::uint8_t>(code);
                return;
            }
            if (c.width == 2) {
                c.wide16[row] = static_cast<std::uint16_t>(code);
                return;
            }
        }
        c.wide32[row] = handle;
    }
    // The first count cells of a row (count at most colCount()).
    void setRow(std::size_t row, const Handle* handles, int count) {
        touch(row);
        for (int col = 0; col < count; ++col) {
            Column& c = m_cols[static_cast<std::size_t>(col)];
            const Handle h = handles[col];
            if (c.width == 1 && (h == c.lastHandle || h == TCellStringTable::EmptyHandle))
                m_bytes[row * m_stride + static_cast<std::size_t>(col)] =
                    static_cast<std::uint8_t>(h == c.lastHandle ? c.lastCode : 0);
            else
                set(col, row, h);
        }
    }
    void fill(int col, std::size_t begin, std::size_t end, Handle handle);
    // Cells of columns beginCol .. endCol - 1 of row to set to those of row from.
    void copyCells(std::size_t from, std::size_t to, int beginCol, int endCol);

    // Coded columns only: the code of a cell, an index into dictionary(col); code 0 is the empty text.
    bool coded(int col) const { return m_cols[static_cast<std::size_t>(col)].width != 4; }
    const std::vector<Handle>& dictionary(int col) const {
        return m_cols[static_cast<std::size_t>(col)].dict;
    }
    std::uint32_t code(int col, std::size_t row) const {
        const Column& c = m_cols[static_cast<std::size_t>(col)];
        return c.width == 1 ? m_bytes[row * m_stride + static_cast<std::size_t>(col)] : c.wide16[row];
    }

    // Where a coded column's codes lie, for loops over many rows: one byte at bytes + row * step, or
    // when bytes is null two at wide[row].
    struct CodeSpan {
        const std::uint8_t* bytes;
        std::size_t step;
        const std::uint16_t* wide;
    };
    CodeSpan codeSpan(int col) const {
        const Column& c = m_cols[static_cast<std::size_t>(col)];
        if (c.width == 1) return {m_bytes.data() + col, m_stride, nullptr};
        return {nullptr, 0, c.wide16.data()};
    }

    // Room for sorting count body rows, kept from sort to sort: two arrays of count keys, and count row
    // indexes for permute. Contents undefined; valid until the next call that changes the table.
    struct SortScratch {
        std::uint64_t* keys;
        std::uint64_t* buffer;
        std::uint32_t* perm;
    };
    SortScratch sortScratch(std::size_t count);
    // Rows first + i take the cells of row first + perm[i] (perm holds every row from first once, count
    // of them; it may be the perm of sortScratch(count), which it uses up).
    void permute(std::size_t first, const std::uint32_t* perm, std::size_t count);

    // Sets used[index] for the interned texts the cells hold.
    void markInterned(std::vector<std::uint8_t>& used) const;
    // Maps interned handles to their new table index after a compaction of the text table, and codes
    // every column again from the cells it holds.
    void remapInterned(const std::vector<std::uint32_t>& map);

    std::size_t memoryUsage() const;

private:
    struct Column {
        int width = 1;                                           // bytes per cell: 1, 2 or 4
        std::vector<Handle> dict{TCellStringTable::EmptyHandle}; // code -> handle
        std::vector<std::uint32_t> probe;                        // open addressing on handles: code, 0 = free
        int slotShift = 32;
        Handle lastHandle = TCellStringTable::EmptyHandle;
        std::uint32_t lastCode = 0;
        TZeroedArray<std::uint16_t> wide16;
        TZeroedArray<Handle> wide32;
    };

    // Rows from m_cleanFrom on hold only empty cells, and every array reads zero there.
    void touch(std::size_t row) {
        if (row >= m_cleanFrom) m_cleanFrom = row + 1;
    }
    std::size_t usedRows() const { return m_rows < m_cleanFrom ? m_rows : m_cleanFrom; }

    std::uint32_t codeOf(int col, Handle handle) {
        Column& c = m_cols[static_cast<std::size_t>(col)];
        if (handle == TCellStringTable::EmptyHandle) return 0;
        if (handle == c.lastHandle) return c.lastCode;
        const std::uint32_t code = lookupOrAdd(col, handle);
        c.lastHandle = handle;
        c.lastCode = code;
        return code;
    }
    std::uint32_t lookupOrAdd(int col, Handle handle);
    static void insertSlot(Column& c, std::uint32_t code);
    static void rehash(Column& c, std::size_t slotCount);
    void widen(int col);
    void recode(int col);

    std::vector<Column> m_cols;
    TZeroedArray<std::uint8_t> m_bytes; // one-byte codes, row after row, m_stride bytes a row
    TZeroedArray<std::uint8_t> m_spare; // room for sorting and permuting, kept between sorts
    std::size_t m_stride = 0;           // the column count rounded up to whole 8-byte words
    std::size_t m_rows = 0;
    std::size_t m_reservedRows = 0;
    std::size_t m_cleanFrom = 0;
};
