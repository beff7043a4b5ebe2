#pragma once
// The data of a string grid, without any widget: a rectangle of cell texts addressed by
// (column, real row), fixed (header) rows and columns, a row filter that hides body rows, a multi-key
// sort that moves whole body rows, and the mapping between real and display row indices.
//
// Real row index: the position of a row with nothing hidden. Display row index: the position among
// the rows currently shown. Fixed rows are never hidden or moved, so for them both are equal. Columns
// are never hidden; column display and real indices are the same.
//
// Built for ten million rows of 31 cells: a cell is a 32-bit handle (see TCellStringTable), stored in its
// column by a one- or two-byte code while the column's texts repeat (see TCellTable), a filter
// condition is evaluated once per distinct cell text, and sorting ranks each distinct text once by the
// collation and then orders rows by their rank tuples.
#include "grids/model/CellStringTable.h"
#include "grids/model/CellTable.h"
#include "grids/model/FilterCondition.h"
#include "grids/model/ZeroedArray.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// How the sort compares the texts of a column.
enum class TSortStyle {
    Alphabetic,  // the locale's collation, case-sensitive
    AlphaNoCase, // the locale's collation, case-insensitive
    Numeric,     // by numeric value; texts that are not numbers follow, compared as AlphaNoCase
};

class TStringGridModel {
public:
    // Asked once per sort key column when sorting; the style starts as Alphabetic.
    using FormatFn = std::function<void(int col, TSortStyle& style)>;

    TStringGridModel();

    // --- dimensions -----------------------------------------------------------------------------
    int colCount() const { return m_cells.colCount(); }
    int rowCount() const { return m_rowCount; } // all rows, shown or hidden
    // The fixed counts as set, but never more than the columns / rows there are.
    int fixedColCount() const;
    int fixedRowCount() const;
    void setColCount(int count); // new cells are empty
    void setRowCount(int count); // new rows are empty; with the filter on they are filtered too
    // Room for count rows, so that growing to them moves no cells (the row count is unchanged).
    void reserveRows(int count) { m_cells.reserveRows(std::size_t(std::max(0, count))); }
    void setFixedColCount(int count);
    void setFixedRowCount(int count);

    // --- cells by real row ----------------------------------------------------------------------
    // Out-of-range positions throw std::out_of_range.
    QString cell(int col, int realRow) const;
    void setCell(int col, int realRow, QStringView text);
    // Bulk writing: the handle of a text (interned when needed), and the first count cells of a row
    // set from handles (columns beyond the grid are ignored). Handles stay valid until the next
    // sortBody or compactStrings.
    TCellStringTable::Handle internText(QStringView text) { return m_strings.intern(text); }
    void setRowHandles(int realRow, const TCellStringTable::Handle* handles, int count);
    // Cells fromCol .. fromCol + count - 1 of realRow toRow set to those of fromRow (clipped to the grid).
    void copyRowCells(int fromRow, int toRow, int fromCol, int count);
    // Characters of a cell without allocating (see TCellStringTable::view).
    QStringView cellView(int col, int realRow, TCellStringTable::InlineBuffer& buffer) const;
    // Empties every cell of real rows first .. first + count - 1 (clipped to the grid).
    void clearRows(int first, int count);

    // Cells whose text is drawn rotated by 90 degrees (meant for header cells; kept by position).
    void setCellRotated(int col, int realRow, bool rotated);
    bool cellRotated(int col, int realRow) const;
    bool anyCellRotated() const { return !m_rotated.empty(); }

    // --- filter ---------------------------------------------------------------------------------
    // With the filter on, a body row is shown only if its cell in every condition's column matches
    // that condition. Changing cells does not re-evaluate the filter; switching it on does.
    void clearFilterConditions();
    void addFilterCondition(int col, const QString& text, bool caseSensitive = true);
    const std::vector<TFilterCondition>& filterConditions() const { return m_conditions; }
    // A quick filter on top of the conditions: while text is not empty, a body row passes only if the
    // cell of one of columns contains it, ignoring case. Takes effect, as conditions do, when the filter
    // is switched on.
    void setQuickFilter(const QString& text, std::vector<int> columns);
    const QString& quickFilterText() const { return m_quickText; }
    void setFilterActive(bool active);
    bool filterActive() const { return m_filterActive; }

    // --- sort -----------------------------------------------------------------------------------
    void clearSortKeys() { m_sortKeys.clear(); }
    void addSortKey(int col) { m_sortKeys.push_back(col); }
    const std::vector<int>& sortKeys() const { return m_sortKeys; }
    void setMultiKeySort(bool on) { m_multiKey = on; } // off: only the first key counts
    bool multiKeySort() const { return m_multiKey; }
    void setOnGetFormat(FormatFn fn) { m_format = std::move(fn); }
    // The locale whose collation sorts text; the default is the user's locale (QLocale()).
    void setCollationLocale(const QLocale& locale) { m_locale = locale; }
    // Sorts the body rows ascending by the key list, moving whole rows; rows that tie on every key
    // keep their order. Fixed rows stay. Nothing happens when the key list is empty. With the filter
    // on, it is evaluated again afterwards.
    void sortBody();

    // --- real and display rows ------------------------------------------------------------------
    int displayRowCount() const;
    // Out-of-range display rows throw std::out_of_range.
    int realRowIndex(int displayRow) const;
    // -1 when the row is hidden or out of range.
    int displayRowIndex(int realRow) const;
    // The display row of realRow, or when it is hidden the next shown row after it, else the last
    // shown row; out-of-range rows are clamped first. -1 only when no row is shown at all.
    int nearestDisplayRow(int realRow) const;
    bool rowHidden(int realRow) const { return displayRowIndex(realRow) < 0; }
    static int realColIndex(int displayCol) { return displayCol; }
    static int displayColIndex(int realCol) { return realCol; }

    // --- copy -----------------------------------------------------------------------------------
    // Every shown row (fixed rows included), every column: TAB between cells, CR LF after each row.
    QString copyText() const;

    // --- housekeeping ---------------------------------------------------------------------------
    // Called after every change of dimensions, filter or row order (not after cell writes).
    void setLayoutChangedHook(std::function<void()> hook) { m_layoutChanged = std::move(hook); }
    // Drops interned texts no cell uses any more. Also done by sortBody when the table has grown a lot.
    void compactStrings();
    const TCellStringTable& strings() const { return m_strings; }
    // Approximate heap bytes of cells, mapping and texts.
    std::size_t memoryUsage() const;

private:
    void checkCell(int col, int realRow) const;
    void evaluateFilter(int fromRealRow); // rebuilds the shown list for rows >= fromRealRow
    std::vector<std::uint32_t> columnRanks(int col, TSortStyle style, std::uint32_t& rankCount,
                                           std::vector<std::uint32_t>& codeRanks) const;
    void notifyLayout();

    TCellStringTable m_strings;
    TCellTable m_cells; // by column and real row
    int m_rowCount = 0;
    int m_fixedCols = 0;
    int m_fixedRows = 0;

    std::vector<TFilterCondition> m_conditions;
    QString m_quickText;
    std::vector<int> m_quickCols;
    bool m_filterActive = false;
    TZeroedArray<std::uint32_t> m_shownBody; // real indices of shown body rows, ascending (filter on)

    std::vector<int> m_sortKeys;
    bool m_multiKey = false;
    FormatFn m_format;
    QLocale m_locale;
    std::uint32_t m_internedAtCompaction = 1;

    std::vector<std::uint64_t> m_rotated; // (col << 32 | row), sorted
    std::function<void()> m_layoutChanged;
};
