#include "grids/ASGHelper.h"

#include "ui/Cursor.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>

TASGHelper::TASGHelper(TStringGrid& grid) : Grid(grid) {
    ResetResize();
}

std::int32_t TASGHelper::GetFilterFlags() {
    return -1;
}

std::int32_t TASGHelper::GetSortType() {
    return -1;
}

bool TASGHelper::CanResizeColumn(int) {
    return true;
}

// ---- sort and filter -----------------------------------------------------------------------------

void TASGHelper::ApplyFilter(bool Reapply) {
    TStringGridModel& model = Grid.model();
    model.setFilterActive(false);
    model.clearFilterConditions();
    if (!Reapply) {
        FilterState = 0;
        return;
    }
    FilterState = GetFilterFlags();
    AddFilterConditions(FilterState);
    model.setQuickFilter(QuickFilterText, QuickFilterColumns);
    if (FilterState > 0 || !QuickFilterText.isEmpty()) model.setFilterActive(true);
}

void TASGHelper::ApplySort() {
    // Sorting works on the unfiltered rows; the filter is rebuilt afterwards.
    ApplyFilter(false);
    InvalidateFilter();
    SortState = GetSortType();
    TStringGridModel& model = Grid.model();
    model.clearSortKeys();
    AddSortColumns(SortState);
    model.setMultiKeySort(true);
    if (!model.sortKeys().empty()) model.sortBody();
}

// ---- update bracket ------------------------------------------------------------------------------

void TASGHelper::BeginUpdate() {
    if (UpdateDepth == 0) {
        const int row = Grid.currentRow();
        SavedRow = row >= 0 && row < Grid.displayRowCount() ? Grid.realRowIndex(row) : row;
        SavedCol = Grid.realColIndex(Grid.currentCol());
        SavedTopRow = Grid.topRow();
        SavedLeftCol = Grid.leftCol();
        SavedFilterState = FilterState;
        SavedQuickFilterText = QuickFilterText;
        SavedSortState = SortState;
        Grid.beginUpdate();
    }
    ++UpdateDepth;
}

void TASGHelper::EndUpdate() {
    if (UpdateDepth <= 0) return;
    if (--UpdateDepth > 0) return;

    // Painting resumes however the steps below end.
    struct Resume {
        TASGHelper& helper;
        ~Resume() {
            helper.UpdateDepth = 0;
            helper.Grid.endUpdate();
        }
    } resume{*this};

    if (SortState == -1) ApplySort();
    if (FilterState == -1) ApplyFilter(true);

    // The saved cell by real index; a row now hidden gives the next shown one, and positions past
    // the new end are clamped to the last row and column.
    const int col = std::clamp(Grid.displayColIndex(SavedCol), 0, std::max(0, Grid.colCount() - 1));
    const int row = std::max(0, Grid.model().nearestDisplayRow(SavedRow));
    Grid.selectCell(col, row);
    if (SavedFilterState == FilterState && SavedSortState == SortState &&
        SavedQuickFilterText == QuickFilterText) {
        Grid.setTopRow(SavedTopRow);
        Grid.setLeftCol(SavedLeftCol);
    } else {
        Grid.scrollCellIntoView(Grid.currentCol(), Grid.currentRow());
    }
}

// ---- column resizing -----------------------------------------------------------------------------

bool TASGHelper::IsColumnVisible(int Col) const {
    return Col < Grid.fixedColCount() || Col >= Grid.leftCol();
}

int TASGHelper::ColumnEdgeAt(int X, int Y) const {
    if (Grid.fixedRowCount() == 0 || Y > Grid.fixedRowHeight()) return -1;
    int edge = 0;
    for (int col = 0; col < Grid.colCount(); ++col) {
        if (!IsColumnVisible(col)) continue;
        edge += Grid.colWidth(col) + 1; // the first pixel right of the column's grid line
        if (edge - EdgeZone > X) return -1;
        if (edge + EdgeZone >= X) return col;
    }
    return -1;
}

void TASGHelper::EnterEdge(int Col) {
    ui::setScreenCursor(ui::CursorShape::HSplit);
    ResizeState = rsOverEdge;
    ResizeCol = Col;
}

void TASGHelper::BeginEdgeDrag() {
    ResizeState = rsDragging;
}

void TASGHelper::ResetResize() {
    ui::setScreenCursor(ui::CursorShape::Default);
    ResizeState = rsIdle;
    ResizeCol = -1;
}

void TASGHelper::HandleMouseDown(Qt::MouseButton Button, TShiftState, int, int) {
    if (ResizeState == rsOverEdge && Button == Qt::LeftButton) BeginEdgeDrag();
    // A right click opens the popup menu, which takes the left release: the drag would otherwise end
    // at the next ordinary click, wherever that is.
    if (ResizeState == rsDragging && Button != Qt::LeftButton) ResetResize();
}

void TASGHelper::HandleMouseMove(TShiftState Shift, int X, int Y) {
    switch (ResizeState) {
    case rsIdle:
        if (Shift.isEmpty()) {
            const int col = ColumnEdgeAt(X, Y);
            if (col > -1 && CanResizeColumn(col)) EnterEdge(col);
        }
        break;
    case rsOverEdge:
        if (ColumnEdgeAt(X, Y) == -1) ResetResize();
        break;
    case rsDragging:                                          // no live feedback while dragging
        if (!(Shift.buttons & Qt::LeftButton)) ResetResize(); // the release went elsewhere
        break;
    }
}

void TASGHelper::HandleMouseUp(Qt::MouseButton Button, TShiftState, int X, int) {
    if (ResizeState != rsDragging || Button != Qt::LeftButton) return;
    int left = 0;
    for (int col = 0; col < ResizeCol; ++col)
        if (IsColumnVisible(col)) left += Grid.colWidth(col) + 1;
    Grid.setColWidth(ResizeCol, X - left);
    ResetResize();
}

void TASGHelper::HandleMouseLeave() {
    if (ResizeState == rsOverEdge) ResetResize();
}

void TASGHelper::HandlePopup() {
    if (ResizeState != rsIdle) ResetResize();
}

// ---- shared handlers -----------------------------------------------------------------------------

void SelectClickedCell(TStringGrid& grid, int row, int col) {
    grid.selectCell(col, row);
}

void CopyGridToClipboard(const TStringGrid& grid) {
    QGuiApplication::clipboard()->setText(grid.copyText());
}
