// The string grid widget under the offscreen platform: painting, scrolling, selection, events.
#include "grids/control/StringGrid.h"
#include "support/GuiTestApp.h"
#include "ui/HintTiming.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <utility>

namespace {

// A permissions-shaped grid: 31 columns (9 fixed), a 90-pixel header row and many body rows.
struct PermsShapedGrid {
    QApplication& app = kltest::guiTestApp();
    TStringGrid grid;
    explicit PermsShapedGrid(int bodyRows, QSize size = {700, 400}) {
        grid.setColCount(31);
        grid.setFixedColCount(9);
        grid.setRowCount(bodyRows + 1);
        grid.setFixedRowCount(1);
        grid.setFixedRowHeight(90);
        for (int c = 0; c < 31; ++c)
            grid.setColWidth(c, c < 9 ? 30 : 17);
        for (int r = 1; r <= bodyRows; r += 997)
            grid.setCell(2, r, QString("Object %1").arg(r));
        grid.resize(size);
        grid.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
    int pitch() const { return grid.defaultRowHeight() + 1; }
    int fullRows() const { return (grid.viewport()->height() - 91) / pitch(); }
};

using Cells = std::set<std::pair<int, int>>; // (row, col)

Cells paintedCells(TStringGrid& grid) {
    Cells seen;
    int calls = 0;
    grid.setOnGetCellColor([&](int row, int col, QColor&) {
        seen.insert({row, col});
        ++calls;
    });
    grid.viewport()->grab();
    grid.setOnGetCellColor({});
    EXPECT_EQ(calls, int(seen.size())) << "a cell was painted twice";
    return seen;
}

} // namespace

TEST(StringGridWidget, PaintsOnlyTheVisibleCellsWhereverScrolled) {
    PermsShapedGrid g(100000);
    for (auto [top, left] : {std::pair{1, 9}, std::pair{60000, 20}, std::pair{100000, 30}}) {
        g.grid.setTopRow(top);
        g.grid.setLeftCol(left);
        const int shownTop = g.grid.topRow();
        const int shownLeft = g.grid.leftCol();
        EXPECT_LE(shownTop, top);
        const Cells cells = paintedCells(g.grid);
        const int lastRow = shownTop + g.fullRows(); // one partial row may show below the full ones
        const int lastCol = shownLeft + g.grid.visibleColCount();
        for (auto [row, col] : cells) {
            EXPECT_TRUE(row == 0 || (row >= shownTop && row <= lastRow)) << row;
            EXPECT_TRUE(col < 9 || (col >= shownLeft && col <= lastCol)) << col;
        }
        EXPECT_TRUE(cells.count({0, 0}));
        EXPECT_TRUE(cells.count({shownTop, shownLeft}));
        EXPECT_TRUE(cells.count({std::min(lastRow, 100000) - 1, 8}));
        EXPECT_LE(cells.size(), std::size_t((lastRow - shownTop + 2) * (lastCol - shownLeft + 10)));
    }
    // The last row can be scrolled to the bottom of the view, not beyond.
    EXPECT_EQ(g.grid.topRow() + g.grid.visibleRowCount(), 100001);
}

TEST(StringGridWidget, ScrollIntoViewCentresAndStaysInRange) {
    PermsShapedGrid g(1000);
    TStringGrid& grid = g.grid;
    const int shown = g.fullRows();
    ASSERT_GT(shown, 4);

    grid.scrollCellIntoView(10, 500);
    const int top = grid.topRow();
    EXPECT_LE(std::abs((500 - top) - (top + shown - 1 - 500)), 1) << "row 500 is not centred";

    grid.scrollCellIntoView(10, 500 + shown / 2 - 1); // still fully visible: no scrolling
    EXPECT_EQ(grid.topRow(), top);

    grid.scrollCellIntoView(10, 1000); // the last row: never scrolled past the end
    EXPECT_EQ(grid.topRow() + shown, 1001);
    grid.scrollCellIntoView(10, 2); // never before the first scrollable row
    EXPECT_EQ(grid.topRow(), 1);
    grid.scrollCellIntoView(3, 0); // fixed cells need no scrolling
    EXPECT_EQ(grid.topRow(), 1);

    grid.resize(400, 400); // room for a few scrollable columns only
    QCoreApplication::processEvents();
    ASSERT_LT(grid.visibleColCount(), 10);
    grid.scrollCellIntoView(21, 1);
    const int left = grid.leftCol();
    const int cols = grid.visibleColCount();
    EXPECT_LE(left, 21);
    EXPECT_LE(std::abs((21 - left) - (left + cols - 1 - 21)), 1) << "column 21 is not centred";
    grid.scrollCellIntoView(30, 1);
    EXPECT_EQ(grid.leftCol() + grid.visibleColCount(), 31);
    grid.scrollCellIntoView(9, 1);
    EXPECT_EQ(grid.leftCol(), 9);
}

TEST(StringGridWidget, PositionsAndWidthsAreClampedToTheGrid) {
    PermsShapedGrid g(50);
    TStringGrid& grid = g.grid;
    grid.setTopRow(5000);
    EXPECT_EQ(grid.topRow() + grid.visibleRowCount(), 51);
    grid.selectCell(400, 4000);
    EXPECT_EQ(grid.currentCol(), 30);
    EXPECT_EQ(grid.currentRow(), 50);
    grid.setRowCount(10); // the current cell and top row follow a shrinking grid
    EXPECT_EQ(grid.currentRow(), 9);
    EXPECT_EQ(grid.topRow(), 1);
    grid.setColWidth(4, -25);
    EXPECT_EQ(grid.colWidth(4), 0);
    grid.setColWidth(40, 10); // outside the grid: ignored
    EXPECT_EQ(grid.colWidth(3), 30);
}

TEST(StringGridWidget, RightClickRaisesTheCellEventBeforeThePopup) {
    PermsShapedGrid g(20);
    TStringGrid& grid = g.grid;
    QMenu menu;
    grid.setPopupMenu(&menu);
    QStringList events;
    QObject::connect(&grid, &TStringGrid::rightClickCell, [&](int row, int col) {
        events << QString("cell %1,%2").arg(row).arg(col);
        grid.selectCell(col, row);
    });
    QObject::connect(&grid, &TStringGrid::aboutToShowPopup, [&] { events << "about to show"; });
    grid.popupHandler = [&](QMenu& shown, const QPoint&) {
        events << QString("popup, current %1,%2").arg(grid.currentRow()).arg(grid.currentCol());
        EXPECT_EQ(&shown, &menu);
    };
    const QPoint header = grid.cellRect(5, 0).center();
    QTest::mousePress(grid.viewport(), Qt::RightButton, {}, header);
    QTest::mouseRelease(grid.viewport(), Qt::RightButton, {}, header);
    EXPECT_EQ(events, QStringList({"cell 0,5", "about to show", "popup, current 0,5"}));

    // A left click selects body cells only; a fixed cell is reached by the right click.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(12, 3).center());
    EXPECT_EQ(std::pair(grid.currentRow(), grid.currentCol()), std::pair(3, 12));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(2, 0).center());
    EXPECT_EQ(std::pair(grid.currentRow(), grid.currentCol()), std::pair(3, 12));
}

TEST(StringGridWidget, MouseEventsCarryButtonModifiersAndClientPixels) {
    PermsShapedGrid g(20);
    std::vector<std::tuple<Qt::MouseButton, TShiftState, QPoint>> downs, ups;
    QObject::connect(&g.grid, &TStringGrid::mouseDown, [&](Qt::MouseButton b, TShiftState s, int x, int y) {
        downs.push_back({b, s, {x, y}});
    });
    QObject::connect(&g.grid, &TStringGrid::mouseUp, [&](Qt::MouseButton b, TShiftState s, int x, int y) {
        ups.push_back({b, s, {x, y}});
    });
    QTest::mousePress(g.grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(37, 50));
    QTest::mouseRelease(g.grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(41, 52));
    ASSERT_EQ(downs.size(), 1u);
    ASSERT_EQ(ups.size(), 1u);
    auto [button, shift, pos] = downs[0];
    EXPECT_EQ(button, Qt::LeftButton);
    EXPECT_EQ(shift.keys, Qt::ShiftModifier);
    EXPECT_EQ(shift.buttons, Qt::LeftButton); // the pressed button is held
    EXPECT_EQ(pos, QPoint(37, 50));
    EXPECT_EQ(std::get<1>(ups[0]).buttons, Qt::NoButton);
    EXPECT_EQ(std::get<2>(ups[0]), QPoint(41, 52));
}

TEST(StringGridWidget, PaintingSuspensionNests) {
    PermsShapedGrid g(20);
    TStringGrid& grid = g.grid;
    int painted = 0;
    grid.setOnGetCellColor([&](int, int, QColor&) { ++painted; });
    auto settle = [] {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    settle();
    painted = 0;
    grid.beginUpdate();
    grid.beginUpdate();
    grid.setCell(3, 3, "changed");
    grid.setRowCount(30);
    settle();
    EXPECT_EQ(painted, 0);
    grid.endUpdate();
    settle();
    EXPECT_EQ(painted, 0);
    EXPECT_TRUE(grid.updating());
    grid.endUpdate();
    settle();
    EXPECT_GT(painted, 0);
    EXPECT_FALSE(grid.updating());
    grid.endUpdate(); // unbalanced: harmless
    EXPECT_FALSE(grid.updating());
}

TEST(StringGridWidget, HintsComeFromTheCallbackForTheCellUnderThePointer) {
    PermsShapedGrid g(20);
    TStringGrid& grid = g.grid;
    std::vector<std::pair<int, int>> asked;
    grid.setOnGridHint([&](int row, int col, QString& hint) {
        asked.push_back({row, col});
        hint = QString("hint %1,%2").arg(row).arg(col);
    });
    const QPoint pos = grid.cellRect(10, 4).center();
    QHelpEvent off(QEvent::ToolTip, pos, grid.viewport()->mapToGlobal(pos));
    QCoreApplication::sendEvent(grid.viewport(), &off);
    EXPECT_TRUE(asked.empty()) << "hints are off by default";
    grid.setShowHints(true);
    QHelpEvent on(QEvent::ToolTip, pos, grid.viewport()->mapToGlobal(pos));
    QCoreApplication::sendEvent(grid.viewport(), &on);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], std::pair(4, 10));
    EXPECT_EQ(QToolTip::text(), "hint 4,10");
    QToolTip::hideText();
}

namespace {
void moveTo(TStringGrid& grid, const QPoint& pos) {
    QMouseEvent move(QEvent::MouseMove, pos, grid.viewport()->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(grid.viewport(), &move);
}
void leave(TStringGrid& grid) {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(grid.viewport(), &leave);
}
bool hintGone() {
    for (int i = 0; i < 100 && QToolTip::isVisible(); ++i)
        QTest::qWait(20);
    return !QToolTip::isVisible();
}
} // namespace

TEST(StringGridWidget, AHintNamesTheCellUnderThePointerAndGoesWhenThePointerDoes) {
    PermsShapedGrid g(200);
    TStringGrid& grid = g.grid;
    grid.setShowHints(true);
    int asked = 0;
    grid.setOnGridHint([&](int row, int col, QString& hint) {
        ++asked;
        hint = QString("hint %1,%2").arg(row).arg(col);
    });
    ui::setHintTiming({30, 10, 60000});
    const QPoint pos = grid.cellRect(10, 4).center();

    // Left before the pause is over: the hint never shows.
    moveTo(grid, pos);
    leave(grid);
    QTest::qWait(120);
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(QToolTip::isVisible());

    // Shown after the pause, it goes when the pointer leaves.
    moveTo(grid, pos);
    for (int i = 0; i < 50 && !QToolTip::isVisible(); ++i)
        QTest::qWait(20);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "hint 4,10");
    leave(grid);
    EXPECT_TRUE(hintGone());

    // Scrolled under a shown hint by the keyboard, it names the row now under the pointer.
    moveTo(grid, pos);
    for (int i = 0; i < 50 && !QToolTip::isVisible(); ++i)
        QTest::qWait(20);
    ASSERT_EQ(QToolTip::text(), "hint 4,10");
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_PageDown);
    QTest::keyClick(&grid, Qt::Key_PageDown);
    int col = -1, row = -1;
    ASSERT_TRUE(grid.cellAt(pos, col, row));
    ASSERT_GT(row, 4);
    EXPECT_EQ(QToolTip::text(), QString("hint %1,10").arg(row));
    grid.setTopRow(1); // and scrolled by the program
    EXPECT_EQ(QToolTip::text(), "hint 4,10");
    grid.hide(); // a hidden grid is under no pointer
    EXPECT_TRUE(hintGone());
    ui::setHintTiming({});
}

// Assistive technology sees a table of the shown body rows, the header row as column headers, each
// cell's text, and the current cell as the selection and focus.
TEST(StringGridWidget, ExposesItselfAsATableToAssistiveTechnology) {
    kltest::guiTestApp();
    TStringGrid grid;
    grid.setColCount(3);
    grid.setRowCount(5);
    grid.setFixedRowCount(1);
    grid.setFixedColCount(1);
    for (int c = 0; c < 3; ++c)
        grid.setCell(c, 0, QString("H%1").arg(c));
    for (int r = 1; r < 5; ++r)
        for (int c = 0; c < 3; ++c)
            grid.setCell(c, r, QString("r%1c%2").arg(r).arg(c));
    grid.model().addFilterCondition(1, "r3c1"); // shows real row 3 alone
    grid.model().setFilterActive(true);
    grid.resize(300, 200);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->role(), QAccessible::Table);
    QAccessibleTableInterface* t = table->tableInterface();
    ASSERT_TRUE(t);
    EXPECT_EQ(t->rowCount(), 1);
    EXPECT_EQ(t->cellAt(0, 2)->text(QAccessible::Name), "r3c2"); // table row 0 is real row 3
    grid.model().setFilterActive(false);
    EXPECT_EQ(t->rowCount(), 4);
    EXPECT_EQ(t->columnCount(), 3);
    EXPECT_EQ(t->cellAt(1, 2)->text(QAccessible::Name), "r2c2");
    EXPECT_EQ(t->cellAt(1, 2)->role(), QAccessible::Cell);
    auto* cellIf = t->cellAt(1, 2)->tableCellInterface();
    ASSERT_TRUE(cellIf);
    EXPECT_EQ(cellIf->rowIndex(), 1);
    EXPECT_EQ(cellIf->columnIndex(), 2);
    ASSERT_EQ(cellIf->columnHeaderCells().size(), 1);
    EXPECT_EQ(cellIf->columnHeaderCells().front()->text(QAccessible::Name), "H2");
    EXPECT_EQ(cellIf->columnHeaderCells().front()->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(t->columnDescription(0), "H0");
    EXPECT_EQ(table->childCount(), 15); // header row and four rows of three
    EXPECT_EQ(table->indexOfChild(t->cellAt(1, 2)), 8);
    EXPECT_EQ(t->cellAt(4, 0), nullptr);

    // (The offscreen platform has no accessibility bridge, so the focus events themselves are not seen.)
    grid.setFocus();
    grid.selectCell(2, 3);
    ASSERT_EQ(t->selectedCellCount(), 1);
    EXPECT_EQ(t->selectedCells().front()->text(QAccessible::Name), "r3c2");
    EXPECT_TRUE(t->selectedCells().front()->state().selected);
    EXPECT_EQ(table->focusChild(), t->selectedCells().front());
    EXPECT_TRUE(t->selectRow(0));
    EXPECT_EQ(grid.currentRow(), 1);
}
