// The grid helper: update bracket, sort and filter rebuilding, column resizing, shared handlers.
#include "grids/ASGHelper.h"
#include "support/GuiTestApp.h"
#include "ui/Cursor.h"

#include <QClipboard>
#include <QCollator>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

namespace {

// Columns: 0 object name, 1 account, 2 explicit value, 3..11 filler. Two fixed columns, one header row.
class TTestHelper : public TASGHelper {
public:
    using TASGHelper::TASGHelper;
    std::int32_t flags = 1;    // 1: hide Engine/Creator accounts, 2: hide "00000"
    std::int32_t sortType = 1; // 1: account, object; 2: object only; other: no keys
    std::set<int> resizable = {1, 4};
    bool failInSort = false;

    std::int32_t GetFilterFlags() override { return flags; }
    void AddFilterConditions(std::int32_t Flags) override {
        if (Flags & 1) Grid.model().addFilterCondition(1, "!Engine & !Creator");
        if (Flags & 2) Grid.model().addFilterCondition(2, "!00000");
    }
    std::int32_t GetSortType() override { return sortType; }
    void AddSortColumns(std::int32_t SortType) override {
        if (failInSort) throw std::runtime_error("sort keys unavailable");
        if (SortType == 1) Grid.model().addSortKey(1);
        if (SortType == 1 || SortType == 2) Grid.model().addSortKey(0);
    }
    bool CanResizeColumn(int Col) override { return resizable.count(Col) > 0; }
    void SetupColumns() override {
        Grid.setColCount(12);
        Grid.setFixedColCount(2);
        Grid.setFixedRowCount(1);
        Grid.setFixedRowHeight(40);
        for (int c = 0; c < 12; ++c)
            Grid.setColWidth(c, 30);
    }
};

const char* const Accounts[] = {"admin", "Engine", "Users", "Creator", "Admins"};

class HelperTest : public ::testing::Test {
protected:
    void SetUp() override {
        kltest::guiTestApp();
        ui::setScreenCursorHook([this](ui::CursorShape shape) { cursors.push_back(shape); });
        helper = std::make_unique<TTestHelper>(grid);
        helper->SetupColumns();
        grid.setOnGetFormat(SetTextCompareStyle);
        grid.resize(200, 300);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
    void TearDown() override { ui::setScreenCursorHook({}); }

    // A read as the grid's owner would do it: rewrite every body row inside the bracket.
    void read(int rows) {
        helper->BeginUpdate();
        helper->ApplyFilter(false);
        grid.setRowCount(rows + 1);
        for (int r = 1; r <= rows; ++r) {
            grid.setCell(0, r, QString("Object %1").arg((r * 7919) % rows, 4, 10, QChar('0')));
            grid.setCell(1, r, Accounts[r % 5]);
            grid.setCell(2, r, r % 3 ? "00000" : "0000F");
        }
        helper->InvalidateSort();
        helper->InvalidateFilter();
        helper->EndUpdate();
    }

    bool sortedByAccountThenObject() const {
        QCollator collator{QLocale()};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        for (int r = 2; r < grid.rowCount(); ++r) {
            int order = collator.compare(grid.cell(1, r - 1), grid.cell(1, r));
            if (order == 0) order = collator.compare(grid.cell(0, r - 1), grid.cell(0, r));
            if (order > 0) return false;
        }
        return true;
    }

    int edgeOf(int col) const { // first pixel right of col's grid line, every column shown
        int edge = 0;
        for (int c = 0; c <= col; ++c)
            if (helper->IsColumnVisible(c)) edge += grid.colWidth(c) + 1;
        return edge;
    }

    QApplication& app = kltest::guiTestApp();
    TStringGrid grid;
    std::unique_ptr<TTestHelper> helper;
    std::vector<ui::CursorShape> cursors;
};

const TShiftState NoShift;

} // namespace

TEST_F(HelperTest, NestedBracketsSortAndFilterOnlyAtTheOutermostEnd) {
    grid.setRowCount(41);
    for (int r = 1; r <= 40; ++r) {
        grid.setCell(0, r, QString("Object %1").arg(40 - r));
        grid.setCell(1, r, Accounts[r % 5]);
    }
    helper->BeginUpdate();
    helper->BeginUpdate();
    helper->InvalidateSort();
    helper->EndUpdate();
    EXPECT_EQ(helper->UpdateDepth, 1);
    EXPECT_TRUE(grid.updating());
    EXPECT_FALSE(sortedByAccountThenObject());
    EXPECT_EQ(grid.displayRowCount(), 41);

    helper->EndUpdate();
    EXPECT_EQ(helper->UpdateDepth, 0);
    EXPECT_FALSE(grid.updating());
    EXPECT_TRUE(sortedByAccountThenObject());
    EXPECT_EQ(helper->SortState, 1);
    EXPECT_EQ(helper->FilterState, 1);
    for (int d = 1; d < grid.displayRowCount(); ++d) {
        const QString account = grid.cell(1, grid.realRowIndex(d));
        EXPECT_TRUE(account != "Engine" && account != "Creator");
    }
    EXPECT_EQ(grid.displayRowCount(), 1 + 40 * 3 / 5);

    helper->EndUpdate(); // without a matching BeginUpdate: nothing happens
    EXPECT_EQ(helper->UpdateDepth, 0);
}

TEST_F(HelperTest, ReReadKeepsRealSelectionAndScrollPosition) {
    read(500);
    grid.selectCell(7, 120);
    grid.setTopRow(100);
    grid.setLeftCol(4);
    const int realRow = grid.realRowIndex(120);
    ASSERT_EQ(grid.topRow(), 100);
    ASSERT_EQ(grid.leftCol(), 4);
    read(500);
    EXPECT_EQ(grid.realRowIndex(grid.currentRow()), realRow);
    EXPECT_EQ(grid.currentCol(), 7);
    EXPECT_EQ(grid.topRow(), 100);
    EXPECT_EQ(grid.leftCol(), 4);
}

TEST_F(HelperTest, ViewOptionChangeScrollsTheSelectionIntoView) {
    read(500);
    grid.selectCell(3, 250);
    const int realRow = grid.realRowIndex(250);
    grid.setTopRow(1);
    helper->flags = 0; // "hide" switched off: more rows, the same real row elsewhere
    helper->BeginUpdate();
    helper->InvalidateFilter();
    helper->EndUpdate();
    EXPECT_EQ(helper->FilterState, 0);
    EXPECT_EQ(grid.displayRowCount(), 501);
    EXPECT_EQ(grid.currentRow(), realRow);
    EXPECT_GE(grid.currentRow(), grid.topRow());
    EXPECT_LT(grid.currentRow(), grid.topRow() + grid.visibleRowCount());
    EXPECT_GT(grid.topRow(), 1);

    // The remembered row is now hidden: the next shown row is selected.
    int hiddenReal = 1;
    while (grid.cell(1, hiddenReal) != "Engine")
        ++hiddenReal;
    int nextShown = hiddenReal + 1;
    while (grid.cell(1, nextShown) == "Engine" || grid.cell(1, nextShown) == "Creator")
        ++nextShown;
    grid.selectCell(3, grid.displayRowIndex(hiddenReal));
    helper->flags = 1;
    helper->BeginUpdate();
    helper->InvalidateFilter();
    helper->EndUpdate();
    EXPECT_EQ(grid.realRowIndex(grid.currentRow()), nextShown);
}

TEST_F(HelperTest, SavedPositionBeyondTheNewSizeIsClamped) {
    read(300);
    grid.selectCell(11, grid.displayRowCount() - 1);
    grid.setTopRow(grid.displayRowCount());
    grid.setLeftCol(11);
    helper->BeginUpdate();
    grid.setRowCount(4);
    grid.setColCount(5);
    helper->InvalidateSort();
    helper->EndUpdate();
    EXPECT_LT(grid.currentRow(), grid.displayRowCount());
    EXPECT_EQ(grid.currentCol(), 4);
    EXPECT_EQ(grid.topRow(), 1);
    EXPECT_LE(grid.leftCol(), 4);
    grid.viewport()->grab(); // painting reads only cells inside the grid
}

TEST_F(HelperTest, FailedSortStillResumesPainting) {
    read(50);
    helper->failInSort = true;
    helper->BeginUpdate();
    helper->InvalidateSort();
    EXPECT_THROW(helper->EndUpdate(), std::runtime_error);
    EXPECT_EQ(helper->UpdateDepth, 0);
    EXPECT_FALSE(grid.updating());
}

TEST_F(HelperTest, ApplyFilterWithoutReapplyShowsEveryRow) {
    read(100);
    ASSERT_LT(grid.displayRowCount(), 101);
    helper->ApplyFilter(false);
    EXPECT_EQ(helper->FilterState, 0);
    EXPECT_EQ(grid.displayRowCount(), 101);
    EXPECT_TRUE(grid.model().filterConditions().empty());
    helper->flags = 3;
    helper->ApplyFilter(true);
    EXPECT_EQ(helper->FilterState, 3);
    for (int d = 1; d < grid.displayRowCount(); ++d)
        EXPECT_NE(grid.cell(2, grid.realRowIndex(d)), "00000");
    helper->ApplySort();
    EXPECT_EQ(helper->FilterState, -1); // sorting drops the filter and marks it stale
    EXPECT_EQ(grid.displayRowCount(), 101);
}

TEST_F(HelperTest, EdgeZoneIsSevenPixelsWideAndOnlyInTheHeader) {
    for (int col : {0, 1, 5}) {
        const int edge = edgeOf(col);
        EXPECT_EQ(helper->ColumnEdgeAt(edge - 3, 10), col);
        EXPECT_EQ(helper->ColumnEdgeAt(edge + 3, 10), col);
        EXPECT_EQ(helper->ColumnEdgeAt(edge - 4, 10), -1);
        EXPECT_EQ(helper->ColumnEdgeAt(edge + 4, 10), -1);
        EXPECT_EQ(helper->ColumnEdgeAt(edge, grid.fixedRowHeight()), col);
        EXPECT_EQ(helper->ColumnEdgeAt(edge, grid.fixedRowHeight() + 1), -1);
    }
    // Scrolled: columns left of the left column do not count.
    grid.setRowCount(5);
    grid.setLeftCol(4);
    ASSERT_EQ(grid.leftCol(), 4);
    EXPECT_FALSE(helper->IsColumnVisible(3));
    EXPECT_TRUE(helper->IsColumnVisible(1));
    const int edge = 31 + 31 + 31; // columns 0, 1 and 4
    EXPECT_EQ(helper->ColumnEdgeAt(edge + 3, 0), 4);
    EXPECT_EQ(helper->ColumnEdgeAt(edge - 4, 0), -1);
}

TEST_F(HelperTest, HoverEntersOnlyResizableEdgesWithNothingHeld) {
    const int edge1 = edgeOf(1);
    helper->HandleMouseMove(TShiftState{Qt::NoModifier, Qt::LeftButton}, edge1, 5);
    EXPECT_EQ(helper->ResizeState, rsIdle);
    helper->HandleMouseMove(TShiftState{Qt::ControlModifier, Qt::NoButton}, edge1, 5);
    EXPECT_EQ(helper->ResizeState, rsIdle);
    helper->HandleMouseMove(NoShift, edgeOf(0), 5); // column 0 may not be resized
    EXPECT_EQ(helper->ResizeState, rsIdle);
    helper->HandleMouseMove(NoShift, edge1, 60); // below the header
    EXPECT_EQ(helper->ResizeState, rsIdle);
    cursors.clear();
    helper->HandleMouseMove(NoShift, edge1 + 2, 5);
    EXPECT_EQ(helper->ResizeState, rsOverEdge);
    EXPECT_EQ(helper->ResizeCol, 1);
    EXPECT_EQ(cursors, std::vector<ui::CursorShape>{ui::CursorShape::HSplit});
    helper->HandleMouseDown(Qt::RightButton, NoShift, edge1, 5);
    EXPECT_EQ(helper->ResizeState, rsOverEdge);
    helper->HandleMouseMove(NoShift, edge1 + 10, 5); // left every edge zone
    EXPECT_EQ(helper->ResizeState, rsIdle);
    EXPECT_EQ(helper->ResizeCol, -1);
    EXPECT_EQ(cursors.back(), ui::CursorShape::Default);
}

TEST_F(HelperTest, DragSetsTheWidthFromTheVisibleLeftEdge) {
    grid.setLeftCol(3);
    ASSERT_EQ(grid.leftCol(), 3);
    const int left = edgeOf(3); // columns 0, 1 and 3 are left of column 4
    helper->HandleMouseMove(NoShift, edgeOf(4), 5);
    ASSERT_EQ(helper->ResizeCol, 4);
    helper->HandleMouseDown(Qt::LeftButton, TShiftState{Qt::NoModifier, Qt::LeftButton}, edgeOf(4), 5);
    EXPECT_EQ(helper->ResizeState, rsDragging);
    helper->HandleMouseMove(TShiftState{Qt::NoModifier, Qt::LeftButton}, 190,
                            250);                              // no effect while dragging
    helper->HandleMouseUp(Qt::RightButton, NoShift, 150, 250); // only the left button ends it
    EXPECT_EQ(helper->ResizeState, rsDragging);
    EXPECT_EQ(grid.colWidth(4), 30);
    helper->HandleMouseUp(Qt::LeftButton, NoShift, left + 55, 250);
    EXPECT_EQ(grid.colWidth(4), 55);
    EXPECT_EQ(helper->ResizeState, rsIdle);
    EXPECT_EQ(cursors.back(), ui::CursorShape::Default);

    // Released left of the column's own left edge: the column shrinks to nothing, not below.
    helper->HandleMouseMove(NoShift, edgeOf(1), 5);
    helper->HandleMouseDown(Qt::LeftButton, NoShift, edgeOf(1), 5);
    helper->HandleMouseUp(Qt::LeftButton, NoShift, 10, 5);
    EXPECT_EQ(grid.colWidth(1), 0);
    EXPECT_EQ(helper->ResizeState, rsIdle);
    // Its edge can still be found again, right of the previous column's zone.
    EXPECT_EQ(helper->ColumnEdgeAt(edgeOf(1) + 3, 5), 1);
}

TEST_F(HelperTest, AnotherButtonAPopupOrALostReleaseGivesUpTheDrag) {
    const TShiftState left{Qt::NoModifier, Qt::LeftButton};
    const auto startDrag = [&](int col) {
        helper->HandleMouseMove(NoShift, edgeOf(col), 5);
        helper->HandleMouseDown(Qt::LeftButton, left, edgeOf(col), 5);
        ASSERT_EQ(helper->ResizeState, rsDragging);
    };
    // A right click during the drag opens the popup, which swallows the left release.
    startDrag(1);
    helper->HandleMouseDown(Qt::RightButton, TShiftState{Qt::NoModifier, Qt::LeftButton | Qt::RightButton},
                            120, 5);
    EXPECT_EQ(helper->ResizeState, rsIdle);
    EXPECT_EQ(cursors.back(), ui::CursorShape::Default);
    helper->HandleMouseUp(Qt::LeftButton, NoShift, 120, 5); // the next ordinary click
    EXPECT_EQ(grid.colWidth(1), 30);

    startDrag(4);
    helper->HandleMouseDown(Qt::MiddleButton, left, 150, 5);
    EXPECT_EQ(helper->ResizeState, rsIdle);

    // A popup opened another way, or a release that went to another window.
    startDrag(1);
    helper->HandlePopup();
    EXPECT_EQ(helper->ResizeState, rsIdle);
    startDrag(1);
    helper->HandleMouseMove(left, 150, 5); // still held: the drag goes on
    EXPECT_EQ(helper->ResizeState, rsDragging);
    helper->HandleMouseLeave(); // the grid keeps the mouse while its button is held
    EXPECT_EQ(helper->ResizeState, rsDragging);
    helper->HandleMouseMove(NoShift, 150, 5);
    EXPECT_EQ(helper->ResizeState, rsIdle);
    helper->HandleMouseUp(Qt::LeftButton, NoShift, 150, 5);
    EXPECT_EQ(grid.colWidth(1), 30);
    EXPECT_EQ(grid.colWidth(4), 30);

    // Hovering an edge: leaving the grid or a popup takes the split cursor away.
    helper->HandleMouseMove(NoShift, edgeOf(1), 5);
    ASSERT_EQ(cursors.back(), ui::CursorShape::HSplit);
    helper->HandleMouseLeave();
    EXPECT_EQ(helper->ResizeState, rsIdle);
    EXPECT_EQ(cursors.back(), ui::CursorShape::Default);
    helper->HandleMouseMove(NoShift, edgeOf(1), 5);
    helper->HandlePopup();
    EXPECT_EQ(helper->ResizeState, rsIdle);
    EXPECT_EQ(cursors.back(), ui::CursorShape::Default);
}

TEST_F(HelperTest, SharedHandlersSelectFixedCellsAndCopy) {
    read(60);
    QObject::connect(&grid, &TStringGrid::rightClickCell,
                     [this](int row, int col) { SelectClickedCell(grid, row, col); });
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, grid.cellRect(1, 0).center());
    EXPECT_EQ(std::pair(grid.currentRow(), grid.currentCol()), std::pair(0, 1));
    QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, grid.cellRect(0, 3).center());
    EXPECT_EQ(std::pair(grid.currentRow(), grid.currentCol()), std::pair(3, 0));

    CopyGridToClipboard(grid);
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_EQ(copied, grid.copyText());
    EXPECT_EQ(copied.count("\r\n"), grid.displayRowCount());
    EXPECT_FALSE(copied.contains("Engine"));
}

TEST_F(HelperTest, TextCompareStyleSortsCaseInsensitively) {
    grid.setRowCount(5);
    const char* names[] = {"bob", "Admin", "admin2", "Bob2"};
    for (int r = 1; r <= 4; ++r)
        grid.setCell(0, r, names[r - 1]);
    helper->sortType = 2;
    helper->BeginUpdate();
    helper->InvalidateSort();
    helper->EndUpdate();
    QStringList order;
    for (int r = 1; r <= 4; ++r)
        order << grid.cell(0, r);
    EXPECT_EQ(order, QStringList({"Admin", "admin2", "bob", "Bob2"}));
}
