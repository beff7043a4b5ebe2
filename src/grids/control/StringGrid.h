#pragma once
// The string grid widget: shows a TStringGridModel with fixed header rows and columns that stay in
// place while the body scrolls by whole rows and columns. Paints only what is visible.
//
// Geometry: every column is its width plus a 1-pixel grid line on its right; every row its height
// plus a 1-pixel line below. Fixed rows are fixedRowHeight() high, body rows defaultRowHeight().
// Pixel positions are client (viewport) pixels. Row arguments of the widget are display indices
// unless named realRow; columns are never hidden.
//
// Per-cell colour, alignment and hint come from callbacks that receive display (row, col). Mouse
// events, the right click on a cell and the popup menu are Qt signals and a replaceable handler.
#include "grids/model/StringGridModel.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QMetaType>

#include <functional>
#include <vector>

class QMenu;
class QTimer;

// Modifier keys and mouse buttons held during a mouse event.
struct TShiftState {
    Qt::KeyboardModifiers keys = Qt::NoModifier;
    Qt::MouseButtons buttons = Qt::NoButton;
    bool isEmpty() const { return keys == Qt::NoModifier && buttons == Qt::NoButton; }
};
Q_DECLARE_METATYPE(TShiftState)

class TStringGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    using CellColorFn = std::function<void(int row, int col, QColor& color)>;
    using AlignmentFn = std::function<void(int row, int col, Qt::Alignment& alignment)>;
    using HintFn = std::function<void(int row, int col, QString& hint)>;
    using PopupFn = std::function<void(QMenu& menu, const QPoint& globalPos)>;

    // Blank pixels between a cell's text and its left and right edges.
    static constexpr int TextInset = 2;

    explicit TStringGrid(QWidget* parent = nullptr);
    ~TStringGrid() override;

    // The data. Structural changes made directly on the model (dimensions, filter, sort) reach the
    // widget through the model's layout hook; after direct cell writes call viewport()->update().
    TStringGridModel& model() { return m_model; }
    const TStringGridModel& model() const { return m_model; }

    // --- dimensions -----------------------------------------------------------------------------
    int colCount() const { return m_model.colCount(); }
    void setColCount(int count) { m_model.setColCount(count); }
    int rowCount() const { return m_model.rowCount(); }               // all rows
    int displayRowCount() const { return m_model.displayRowCount(); } // shown rows
    void setRowCount(int count) { m_model.setRowCount(count); }
    int fixedColCount() const { return m_model.fixedColCount(); }
    void setFixedColCount(int count) { m_model.setFixedColCount(count); }
    int fixedRowCount() const { return m_model.fixedRowCount(); }
    void setFixedRowCount(int count) { m_model.setFixedRowCount(count); }

    int fixedRowHeight() const { return m_fixedRowHeight; } // each fixed (header) row
    void setFixedRowHeight(int height);
    int defaultRowHeight() const { return m_rowHeight; } // each body row, 15 by default
    void setDefaultRowHeight(int height);
    int rowHeight(int row) const { return row < fixedRowCount() ? m_fixedRowHeight : m_rowHeight; }
    int colWidth(int col) const;
    // Negative widths are stored as 0 (the column shrinks to its grid line but keeps its edge).
    void setColWidth(int col, int width);
    int defaultColWidth() const { return m_defaultColWidth; } // width of new columns, 64
    void setDefaultColWidth(int width) { m_defaultColWidth = std::max(0, width); }

    // --- cells (real row) -----------------------------------------------------------------------
    QString cell(int col, int realRow) const { return m_model.cell(col, realRow); }
    void setCell(int col, int realRow, const QString& text);
    void setCellRotated(int col, int realRow, bool rotated);
    void clearRows(int firstRealRow, int count);

    // --- scrolling and selection (display indices) ----------------------------------------------
    int topRow() const { return m_topRow; }   // first shown body row
    void setTopRow(int row);                  // clamped to the scrollable range
    int leftCol() const { return m_leftCol; } // first shown scrollable column
    void setLeftCol(int col);                 // clamped to the scrollable range
    int visibleRowCount() const;              // body rows fully visible from topRow
    int visibleColCount() const;              // scrollable columns fully visible from leftCol
    int currentRow() const { return m_currentRow; }
    int currentCol() const { return m_currentCol; }
    // Makes (col, row) the single selected and current cell, fixed cells included; clamped to the grid.
    void selectCell(int col, int row);
    // Scrolls so that (col, row) is shown; a column or row outside the fully visible ones is centred,
    // but the view never starts before the first scrollable column/row or runs past the last.
    void scrollCellIntoView(int col, int row);
    int realRowIndex(int displayRow) const { return m_model.realRowIndex(displayRow); }
    int displayRowIndex(int realRow) const { return m_model.displayRowIndex(realRow); }
    int realColIndex(int displayCol) const { return displayCol; }
    int displayColIndex(int realCol) const { return realCol; }

    // Display (col, row) at a client position; false outside every cell.
    bool cellAt(const QPoint& pos, int& col, int& row) const;
    // Client rectangle of a shown cell (without its grid lines); empty when not on screen.
    QRect cellRect(int col, int row) const;

    // --- painting -------------------------------------------------------------------------------
    // Nestable: painting stops at the first begin and resumes, with a repaint, at the last end.
    void beginUpdate();
    void endUpdate();
    bool updating() const { return m_updateLock > 0; }
    void setBodyFont(const QFont& font);
    QFont bodyFont() const { return m_bodyFont; }
    void setHeaderFont(const QFont& font);
    QFont headerFont() const { return m_headerFont; }
    void setGridLineColor(const QColor& color);
    void setFixedColor(const QColor& color); // background of fixed cells
    void setBodyColor(const QColor& color);  // background of body cells
    void setSelectionColor(const QColor& color);
    // Paints the cells meeting clip (client coordinates); what paintEvent does.
    void paintCells(QPainter& painter, const QRect& clip);

    // --- callbacks ------------------------------------------------------------------------------
    void setOnGetCellColor(CellColorFn fn) { m_cellColor = std::move(fn); }
    void setOnGetAlignment(AlignmentFn fn) { m_alignment = std::move(fn); }
    void setOnGridHint(HintFn fn) { m_hint = std::move(fn); }
    void setOnGetFormat(TStringGridModel::FormatFn fn) { m_model.setOnGetFormat(std::move(fn)); }
    void setShowHints(bool on) { m_showHints = on; }
    bool showHints() const { return m_showHints; }
    void setHintColor(const QColor& color) { m_hintColor = color; } // tooltip background; invalid: default

    // --- popup menu -----------------------------------------------------------------------------
    void setPopupMenu(QMenu* menu) { m_popup = menu; }
    QMenu* popupMenu() const { return m_popup; }
    // Opens the popup; by default QMenu::exec. Tests replace it so no menu loop runs.
    PopupFn popupHandler;

    // --- copy -----------------------------------------------------------------------------------
    QString copyText() const { return m_model.copyText(); }

signals:
    void mouseDown(Qt::MouseButton button, TShiftState shift, int x, int y);
    void mouseMove(TShiftState shift, int x, int y);
    void mouseUp(Qt::MouseButton button, TShiftState shift, int x, int y);
    // A right button press on a cell (display indices); raised before the popup menu opens.
    void rightClickCell(int row, int col);
    // Raised just before the popup menu is opened.
    void aboutToShowPopup();
    // The pointer has left the cells (or the grid was hidden under it).
    void mouseLeave();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void layoutChanged();
    void syncScrollBars();
    void clampPositions();
    void repaint_();
    void showPopup(const QPoint& globalPos);
    void scheduleHint(const QPoint& pos);
    void showHintAt(const QPoint& pos);
    // After the cells under the pointer changed (scrolling, a re-read): the hint shown names the cell
    // now there, or goes.
    void refreshHint();
    void pointerLeft();
    bool ownHintShown() const;
    int maxTopRow() const;
    int maxLeftCol() const;
    int fixedWidth() const;
    int headerHeight() const;
    void paintCell(QPainter& painter, const QRect& rect, int col, int row, int realRow, bool fixed);

    TStringGridModel m_model;
    std::vector<int> m_colWidths;
    int m_defaultColWidth = 64;
    int m_fixedRowHeight = 15;
    int m_rowHeight = 15;
    int m_topRow = 0;
    int m_leftCol = 0;
    int m_currentRow = 0;
    int m_currentCol = 0;
    int m_updateLock = 0;
    bool m_layoutDirty = false;
    bool m_syncingScrollBars = false;
    QFont m_bodyFont;
    QFont m_headerFont;
    QColor m_gridLineColor{192, 192, 192};
    QColor m_fixedColor{240, 240, 240};
    QColor m_bodyColor{Qt::white};
    QColor m_selectionColor{0, 120, 215};
    QColor m_hintColor;
    CellColorFn m_cellColor;
    AlignmentFn m_alignment;
    HintFn m_hint;
    QTimer* m_hintTimer = nullptr;
    QPoint m_hintPos;
    int m_hintCol = -1, m_hintRow = -1; // cell of the hint last shown
    QString m_hintText;                 // text of the hint last shown; empty when none is
    bool m_pointerInside = false;       // the pointer is over the cells (viewport)
    bool m_showHints = false;
    QMenu* m_popup = nullptr;
};
