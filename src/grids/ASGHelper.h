#pragma once
// TASGHelper drives one string grid: the update bracket that defers sorting, filtering and painting
// to its outermost end and keeps the selected cell and scroll position, the sort and filter rules
// that subclasses supply, and column resizing by dragging a header edge. The helper does not own its
// grid. Subclasses fill in the virtual operations for their grid.
//
// Also here: the window-level handlers that every grid shares (right click selects the clicked
// cell, copy to the clipboard); the text comparison style is the model's (PermsGridRules.h).
#include "grids/control/StringGrid.h"
#include "grids/model/PermsGridRules.h"

#include <QString>

#include <cstdint>
#include <vector>

enum TResizeState : std::uint8_t {
    rsIdle = 0,     // no column edge under the pointer
    rsOverEdge = 1, // the pointer is on a resizable column edge (split cursor shown)
    rsDragging = 2, // that edge is being dragged
};

class TASGHelper {
public:
    // Half the width of a column edge zone: Edge - 3 .. Edge + 3.
    static constexpr int EdgeZone = 3;

    explicit TASGHelper(TStringGrid& grid);
    virtual ~TASGHelper() = default;
    TASGHelper(const TASGHelper&) = delete;
    TASGHelper& operator=(const TASGHelper&) = delete;

    TStringGrid& Grid;             // the grid driven, not owned
    std::int32_t SavedRow = 0;     // real row of the current cell at the outermost BeginUpdate
    std::int32_t SavedCol = 0;     // real column of the current cell at the outermost BeginUpdate
    std::int32_t SavedTopRow = 0;  // top row at the outermost BeginUpdate
    std::int32_t SavedLeftCol = 0; // left scrollable column at the outermost BeginUpdate
    std::int32_t FilterState = 0;  // -1: rebuild at EndUpdate; 0: no filter; > 0: flags in force
    std::int32_t SortState = -1;   // -1: sort at EndUpdate; else the sort type last applied
    std::int32_t UpdateDepth = 0;  // nesting depth of update brackets
    std::int32_t SavedFilterState = -1;
    std::int32_t SavedSortState = -1;
    // The quick filter: rows whose cell in one of QuickFilterColumns contains the text (ignoring case),
    // on top of the filter flags. Change it inside an update bracket and call InvalidateFilter.
    QString QuickFilterText;
    std::vector<int> QuickFilterColumns;
    QString SavedQuickFilterText;
    TResizeState ResizeState = rsIdle;
    std::int32_t ResizeCol = -1; // column whose right edge is under the pointer or dragged

    // --- rules supplied by subclasses, in slot order ------------------------------------------
    // The filter flags wanted now; 0 means no filtering.
    virtual std::int32_t GetFilterFlags();
    // Appends to the grid's filter the conditions for these flags.
    virtual void AddFilterConditions(std::int32_t Flags) = 0;
    // The sort type wanted now.
    virtual std::int32_t GetSortType();
    // Appends the sort key columns for this type, most significant first.
    virtual void AddSortColumns(std::int32_t SortType) = 0;
    // Whether column Col may be resized by dragging its header edge.
    virtual bool CanResizeColumn(int Col);
    // Lays out the grid's fixed rows and columns, widths and headers.
    virtual void SetupColumns() = 0;

    // --- sort and filter -----------------------------------------------------------------------
    // Removes the filter; with Reapply, rebuilds it from GetFilterFlags / AddFilterConditions.
    void ApplyFilter(bool Reapply);
    // Sorts the unfiltered body rows by AddSortColumns(GetSortType()); the filter is marked stale.
    void ApplySort();
    void InvalidateFilter() { FilterState = -1; }
    void InvalidateSort() { SortState = -1; }

    // --- update bracket ------------------------------------------------------------------------
    void BeginUpdate();
    // The outermost call sorts and filters when stale, restores the selection by real index and the
    // scroll position (or scrolls the selection into view when the view options changed) and
    // resumes painting; painting resumes even when sorting or filtering throws. An EndUpdate
    // without a matching BeginUpdate does nothing.
    void EndUpdate();

    // --- column resizing -----------------------------------------------------------------------
    bool IsColumnVisible(int Col) const;
    // The column whose edge zone holds (X, Y) in the header row, else -1.
    int ColumnEdgeAt(int X, int Y) const;
    void EnterEdge(int Col);
    void BeginEdgeDrag();
    void ResetResize();

    // Any other button pressed during a drag cancels it (the column keeps its width), as does a move
    // without the left button held: its release went elsewhere (to a popup menu, another window).
    void HandleMouseDown(Qt::MouseButton Button, TShiftState Shift, int X, int Y);
    void HandleMouseMove(TShiftState Shift, int X, int Y);
    void HandleMouseUp(Qt::MouseButton Button, TShiftState Shift, int X, int Y);
    // The pointer left the grid: off every edge, so the split cursor goes. A drag goes on (the grid
    // keeps receiving the mouse until the button is released).
    void HandleMouseLeave();
    // A popup menu opens over the grid: an edge hovered or dragged is given up.
    void HandlePopup();
};

// Runs f inside an update bracket of helper; the bracket is closed also when f throws.
template <class F> void WithUpdate(TASGHelper& helper, F&& f) {
    helper.BeginUpdate();
    try {
        f();
    } catch (...) {
        helper.EndUpdate();
        throw;
    }
    helper.EndUpdate();
}

// --- handlers shared by the grids' window events ----------------------------------------------

// Right click on a cell: makes exactly that cell (display row, col) selected and current, fixed
// cells included.
void SelectClickedCell(TStringGrid& grid, int row, int col);

// Puts every shown cell of the grid (header rows and fixed columns included) on the clipboard:
// TAB between cells, CR LF after each row; rows hidden by the filter are left out.
void CopyGridToClipboard(const TStringGrid& grid);
