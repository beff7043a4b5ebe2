#pragma once
// The cells of a grid, stored by how much each column's texts repeat. Each column keeps its own list of
// the handles it holds and stores a code per cell: while the column holds at most 256 distinct handles
// the code is one byte, kept with the other one-byte codes of its row; up to 65,536 it is two bytes in a
// vector of the column's own; beyond that the cell is the handle itself. Letters, flags, names and
// values that repeat thus cost a byte or two each.
//
// The one-byte codes of a row repeat from row to row too: each distinct block of them is kept once
// (TRowPatterns) and a row holds the 16-bit id of its block. A table whose rows hold more distinct blocks
// than that falls back to keeping every row's block, row after row.
//
// The codes live in arrays that read as zero until written (TZeroedArray), and the table knows from which
// row on no cell has been written: growing by many rows fills no memory, and a row written for the first
// time is written once.
#include "grids/model/CellStringTable.h"
#include "grids/model/RowPatterns.h"
#include "grids/model/ZeroedArray.h"

#include <cstdint>
#include <cstring>
#include <functional>
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
        if (c.width == 1) return c.dict[rowCodes(row)[col]];
        if (c.width == 2) return c.dict[c.wide16[row]];
        return c.wide32[row];
    }
    void set(int col, std::size_t row, Handle handle) {
        touch(row);
        if (m_cols[static_cast<std::size_t>(col)].width == 1) {
            const std::uint32_t code = codeOf(col, handle);
            if (m_cols[static_cast<std::size_t>(col)].width == 1) {
                std::uint8_t* codes = editCodes(row);
                codes[col] = static_cast<std::uint8_t>(code);
                finishEdit(row);
                return;
            }
        }
        setWide(col, row, handle);
    }
    // The first count cells of a row (count at most colCount()).
    void setRow(std::size_t row, const Handle* handles, int count) {
        touch(row);
        std::uint8_t* codes = editCodes(row);
        for (int col = 0; col < count; ++col) {
            Column& c = m_cols[static_cast<std::size_t>(col)];
            const Handle h = handles[col];
            if (c.width == 1) {
                const std::uint32_t code = h == c.lastHandle ? c.lastCode : codeOf(col, h);
                if (c.width == 1) {
                    codes[col] = static_cast<std::uint8_t>(code);
                    continue;
                }
                codes[col] = 0; // the column has just outgrown one-byte codes
            }
            setWide(col, row, h);
        }
        finishEdit(row);
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
        return c.width == 1 ? rowCodes(row)[col] : c.wide16[row];
    }

    // Where a coded column's codes lie, for loops over many rows: one byte at
    // bytes[(patterns ? patterns[row] : row) * step], or when bytes is null two at wide[row].
    struct CodeSpan {
        const std::uint8_t* bytes;
        std::size_t step;
        const std::uint16_t* patterns;
        const std::uint16_t* wide;
        std::uint32_t at(std::size_t row) const {
            if (!bytes) return wide[row];
            return bytes[(patterns ? patterns[row] : row) * step];
        }
    };
    CodeSpan codeSpan(int col) const;
    // The patterns of one-byte codes rows hold, when they are kept as patterns (see CodeSpan), else 0.
    std::uint32_t patternCount() const { return m_plain ? 0 : m_patterns.count(); }

    // Room for sorting count body rows, kept from sort to sort: two arrays of count keys. Contents
    // undefined; valid until the next call that changes the table. The permutation a sort yields may be
    // kept in the first half of whichever array no longer holds anything needed.
    struct SortScratch {
        std::uint64_t* keys;
        std::uint64_t* buffer;
    };
    SortScratch sortScratch(std::size_t count);
    // Rows first + i take the cells of row first + perm[i] (perm holds every row from first once, count
    // of them; it may lie in the room of sortScratch(count), which it uses up).
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
    const std::uint8_t* rowCodes(std::size_t row) const {
        return m_plain ? m_bytes.data() + row * m_stride : m_patterns.at(m_rowPattern[row]);
    }
    // Where the one-byte codes of row may be changed, until finishEdit(row): in place, or a copy.
    std::uint8_t* editCodes(std::size_t row) {
        if (m_plain) return m_bytes.data() + row * m_stride;
        if (m_stride > 0) std::memcpy(m_edit.data(), m_patterns.at(m_rowPattern[row]), m_stride);
        return m_edit.data();
    }
    void finishEdit(std::size_t row) {
        if (!m_plain) commitEdit(row);
    }
    void commitEdit(std::size_t row);
    void setWide(int col, std::size_t row, Handle handle) {
        Column& c = m_cols[static_cast<std::size_t>(col)];
        if (c.width == 2) {
            const std::uint32_t code = codeOf(col, handle);
            if (c.width == 2) {
                c.wide16[row] = static_cast<std::uint16_t>(code);
                return;
            }
        }
        c.wide32[row] = handle;
    }
    // Patterns: every pattern a row holds turned into another by transform (which must keep pattern 0
    // all zeros), of the given stride; patterns no row holds are dropped.
    void rebuildPatterns(std::size_t stride,
                         const std::function<void(const std::uint8_t* from, std::uint8_t* to)>& transform);
    void toPlain();
    void toPatterns();
    std::vector<std::uint8_t> heldPatterns() const; // by pattern id: some row holds it (none when plain)
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
    bool m_plain = false;                     // one-byte codes kept row after row, not as patterns
    TZeroedArray<std::uint16_t> m_rowPattern; // patterns: the pattern of each row
    TRowPatterns m_patterns;
    std::vector<std::uint8_t> m_edit;   // patterns: the codes of a row being changed
    TZeroedArray<std::uint8_t> m_bytes; // plain: one-byte codes, row after row, m_stride bytes a row
    TZeroedArray<std::uint8_t> m_spare; // room for sorting and permuting, kept between sorts
    std::size_t m_stride = 0;           // the column count rounded up to whole 8-byte words
    std::size_t m_rows = 0;
    std::size_t m_reservedRows = 0;
    std::size_t m_cleanFrom = 0;
};
