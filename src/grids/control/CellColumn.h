#pragma once
// One column of cell handles, stored by how much its cells repeat. While the column holds at most 256
// distinct handles a cell is one byte, up to 65,536 two bytes: a code that indexes the column's own list
// of handles. Beyond that a cell is the handle itself. Letters, flags, names and values that repeat from
// row to row thus cost a byte or two each.
#include "CellStringTable.h"

#include <cstdint>
#include <vector>

class TCellColumn {
public:
    using Handle = TCellStringTable::Handle;

    TCellColumn() = default;
    explicit TCellColumn(std::size_t rows) { resize(rows); }

    std::size_t size() const { return m_size; }
    // Bytes per cell: 1 or 2 for coded columns, 4 when cells are handles.
    int width() const { return m_width; }

    Handle get(std::size_t row) const {
        if (m_width == 1) return m_dict[m_c8[row]];
        if (m_width == 2) return m_dict[m_c16[row]];
        return m_c32[row];
    }
    void set(std::size_t row, Handle handle) {
        if (m_width != 4) {
            const std::uint32_t code = codeOf(handle);
            if (m_width == 1) {
                m_c8[row] = static_cast<std::uint8_t>(code);
                return;
            }
            if (m_width == 2) {
                m_c16[row] = static_cast<std::uint16_t>(code);
                return;
            }
        }
        m_c32[row] = handle;
    }

    // New cells are empty. A column cut to half its rows or fewer is coded again from the cells left.
    void resize(std::size_t rows);
    // Room for rows without moving the cells again.
    void reserve(std::size_t rows);
    void fill(std::size_t begin, std::size_t end, Handle handle);

    // Coded columns only: the code of a cell, an index into dictionary(); code 0 is the empty text.
    bool coded() const { return m_width != 4; }
    const std::vector<Handle>& dictionary() const { return m_dict; }
    std::uint32_t code(std::size_t row) const { return m_width == 1 ? m_c8[row] : m_c16[row]; }

    // Rows first + i take the cell of row first + perm[i] (perm holds every body row once).
    void permute(std::size_t first, const std::vector<std::uint32_t>& perm);

    // Sets used[index] for the interned texts the cells hold.
    void markInterned(std::vector<std::uint8_t>& used) const;
    // Maps interned handles to their new table index after a compaction of the text table, and codes
    // the column again from the cells it holds.
    void remapInterned(const std::vector<std::uint32_t>& map);

    std::size_t memoryUsage() const;

private:
    std::uint32_t codeOf(Handle handle) {
        if (handle == TCellStringTable::EmptyHandle) return 0;
        if (handle == m_lastHandle) return m_lastCode;
        const std::uint32_t code = lookupOrAdd(handle);
        m_lastHandle = handle;
        m_lastCode = code;
        return code;
    }
    std::uint32_t lookupOrAdd(Handle handle);
    void insertSlot(std::uint32_t code);
    void rehash(std::size_t slotCount);
    void widen();
    void recode();

    std::size_t m_size = 0;
    int m_width = 1;
    std::vector<std::uint8_t> m_c8;
    std::vector<std::uint16_t> m_c16;
    std::vector<Handle> m_c32;
    std::vector<Handle> m_dict{TCellStringTable::EmptyHandle}; // code -> handle
    std::vector<std::uint32_t> m_slots;                        // open addressing on handles: code, 0 = free
    int m_slotShift = 32;
    Handle m_lastHandle = TCellStringTable::EmptyHandle;
    std::uint32_t m_lastCode = 0;
};
