#include "grids/control/StringGrid.h"

#include "grids/control/StringGridAccessible.h"

#include <QAccessible>

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>

#include "ui/HintTiming.h"

#include <algorithm>

namespace {

TShiftState shiftOf(const QMouseEvent* event) {
    return TShiftState{event->modifiers(), event->buttons()};
}

// A column or row on screen: its index and its first pixel.
struct Placed {
    int index;
    int pos;
};

} // namespace

TStringGrid::TStringGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    InstallStringGridAccessibility();
    m_bodyFont = font();
    m_headerFont = font();
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
    m_model.setLayoutChangedHook([this] { layoutChanged(); });
    m_model.setColCount(5);
    m_model.setRowCount(5);
    m_model.setFixedColCount(1);
    m_model.setFixedRowCount(1);
    m_hintTimer = new QTimer(this);
    m_hintTimer->setSingleShot(true);
    connect(m_hintTimer, &QTimer::timeout, this, [this] {
        if (m_pointerInside) showHintAt(m_hintPos);
    });
}

TStringGrid::~TStringGrid() {
    m_model.setLayoutChangedHook({});
}

// ---- geometry ------------------------------------------------------------------------------------

void TStringGrid::setFixedRowHeight(int height) {
    m_fixedRowHeight = std::max(0, height);
    layoutChanged();
}

void TStringGrid::setDefaultRowHeight(int height) {
    m_rowHeight = std::max(1, height);
    layoutChanged();
}

int TStringGrid::colWidth(int col) const {
    return col >= 0 && col < int(m_colWidths.size()) ? m_colWidths[std::size_t(col)] : m_defaultColWidth;
}

void TStringGrid::setColWidth(int col, int width) {
    if (col < 0 || col >= colCount()) return;
    m_colWidths[std::size_t(col)] = std::clamp(width, 0, 32767);
    layoutChanged();
}

int TStringGrid::headerHeight() const {
    return fixedRowCount() * (m_fixedRowHeight + 1);
}

int TStringGrid::fixedWidth() const {
    int width = 0;
    for (int col = 0; col < fixedColCount(); ++col)
        width += colWidth(col) + 1;
    return width;
}

int TStringGrid::maxTopRow() const {
    const int fixed = fixedRowCount();
    const int full = std::max(1, (viewport()->height() - headerHeight()) / (m_rowHeight + 1));
    return std::max(fixed, displayRowCount() - full);
}

int TStringGrid::maxLeftCol() const {
    const int fixed = fixedColCount();
    const int available = viewport()->width() - fixedWidth();
    int left = colCount();
    int used = 0;
    while (left > fixed && used + colWidth(left - 1) + 1 <= available)
        used += colWidth(--left) + 1;
    if (left == colCount()) left = colCount() - 1; // not even the last column fits
    return std::max(fixed, left);
}

int TStringGrid::visibleRowCount() const {
    const int full = std::max(0, (viewport()->height() - headerHeight()) / (m_rowHeight + 1));
    return std::clamp(displayRowCount() - m_topRow, 0, full);
}

int TStringGrid::visibleColCount() const {
    int x = fixedWidth();
    int count = 0;
    for (int col = m_leftCol; col < colCount() && x + colWidth(col) <= viewport()->width(); ++col, ++count)
        x += colWidth(col) + 1;
    return count;
}

bool TStringGrid::cellAt(const QPoint& pos, int& col, int& row) const {
    col = row = -1;
    if (pos.x() < 0 || pos.y() < 0) return false;
    // A cell owns its grid line on the right and below.
    int x = 0;
    for (int c = 0; c < fixedColCount() && col < 0; x += colWidth(c) + 1, ++c)
        if (pos.x() <= x + colWidth(c)) col = c;
    for (int c = m_leftCol; c < colCount() && col < 0; x += colWidth(c) + 1, ++c)
        if (pos.x() <= x + colWidth(c)) col = c;
    int y = 0;
    for (int r = 0; r < fixedRowCount() && row < 0; y += m_fixedRowHeight + 1, ++r)
        if (pos.y() <= y + m_fixedRowHeight) row = r;
    for (int r = m_topRow; r < displayRowCount() && row < 0; y += m_rowHeight + 1, ++r)
        if (pos.y() <= y + m_rowHeight) row = r;
    return col >= 0 && row >= 0;
}

QRect TStringGrid::cellRect(int col, int row) const {
    if (col < 0 || col >= colCount() || row < 0 || row >= displayRowCount()) return {};
    int x = 0;
    if (col >= fixedColCount()) {
        if (col < m_leftCol) return {};
        x = fixedWidth();
        for (int c = m_leftCol; c < col; ++c)
            x += colWidth(c) + 1;
    } else {
        for (int c = 0; c < col; ++c)
            x += colWidth(c) + 1;
    }
    int y = 0;
    if (row >= fixedRowCount()) {
        if (row < m_topRow) return {};
        y = headerHeight() + (row - m_topRow) * (m_rowHeight + 1);
    } else {
        y = row * (m_fixedRowHeight + 1);
    }
    if (x >= viewport()->width() || y >= viewport()->height()) return {};
    return QRect(x, y, colWidth(col), rowHeight(row));
}

// ---- layout and scrolling ------------------------------------------------------------------------

void TStringGrid::layoutChanged() {
    if (QAccessible::isActive()) NotifyRowsChanged(*this);
    m_colWidths.resize(std::size_t(colCount()), m_defaultColWidth);
    clampPositions();
    if (updating()) {
        m_layoutDirty = true;
        return;
    }
    syncScrollBars();
    viewport()->update();
    refreshHint();
}

void TStringGrid::clampPositions() {
    m_topRow = std::clamp(m_topRow, fixedRowCount(), maxTopRow());
    m_leftCol = std::clamp(m_leftCol, fixedColCount(), maxLeftCol());
    m_currentRow = std::clamp(m_currentRow, 0, std::max(0, displayRowCount() - 1));
    m_currentCol = std::clamp(m_currentCol, 0, std::max(0, colCount() - 1));
}

void TStringGrid::syncScrollBars() {
    m_syncingScrollBars = true;
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, maxTopRow() - fixedRowCount());
    v->setPageStep(std::max(1, visibleRowCount()));
    v->setValue(m_topRow - fixedRowCount());
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, maxLeftCol() - fixedColCount());
    h->setPageStep(std::max(1, visibleColCount()));
    h->setValue(m_leftCol - fixedColCount());
    m_syncingScrollBars = false;
}

void TStringGrid::repaint_() {
    if (!updating()) viewport()->update();
}

void TStringGrid::scrollContentsBy(int, int) {
    if (m_syncingScrollBars) return;
    m_topRow = fixedRowCount() + verticalScrollBar()->value();
    m_leftCol = fixedColCount() + horizontalScrollBar()->value();
    repaint_();
    refreshHint();
}

void TStringGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    clampPositions();
    syncScrollBars();
}

void TStringGrid::setTopRow(int row) {
    m_topRow = std::clamp(row, fixedRowCount(), maxTopRow());
    syncScrollBars();
    repaint_();
    refreshHint();
}

void TStringGrid::setLeftCol(int col) {
    m_leftCol = std::clamp(col, fixedColCount(), maxLeftCol());
    syncScrollBars();
    repaint_();
    refreshHint();
}

void TStringGrid::selectCell(int col, int row) {
    m_currentCol = std::clamp(col, 0, std::max(0, colCount() - 1));
    m_currentRow = std::clamp(row, 0, std::max(0, displayRowCount() - 1));
    repaint_();
    NotifyCurrentCellChanged(*this);
}

void TStringGrid::scrollCellIntoView(int col, int row) {
    if (row >= fixedRowCount() && row < displayRowCount()) {
        const int shown = std::max(1, (viewport()->height() - headerHeight()) / (m_rowHeight + 1));
        if (row < m_topRow || row >= m_topRow + shown)
            m_topRow = std::clamp(row - shown / 2, fixedRowCount(), maxTopRow());
    }
    if (col >= fixedColCount() && col < colCount()) {
        const int lastShown = m_leftCol + visibleColCount() - 1;
        if (col < m_leftCol || col > lastShown) {
            // Put the column's middle at the middle of the scrollable area.
            const int half = (viewport()->width() - fixedWidth()) / 2;
            int left = col;
            int used = (colWidth(col) + 1) / 2;
            while (left > fixedColCount() && used + colWidth(left - 1) + 1 <= half)
                used += colWidth(--left) + 1;
            m_leftCol = std::clamp(left, fixedColCount(), maxLeftCol());
        }
    }
    syncScrollBars();
    repaint_();
    refreshHint();
}

// ---- cells ---------------------------------------------------------------------------------------

void TStringGrid::setCell(int col, int realRow, const QString& text) {
    m_model.setCell(col, realRow, text);
    repaint_();
}

void TStringGrid::setCellRotated(int col, int realRow, bool rotated) {
    m_model.setCellRotated(col, realRow, rotated);
    repaint_();
}

void TStringGrid::clearRows(int firstRealRow, int count) {
    m_model.clearRows(firstRealRow, count);
    repaint_();
}

// ---- painting ------------------------------------------------------------------------------------

void TStringGrid::beginUpdate() {
    if (m_updateLock++ == 0) viewport()->setUpdatesEnabled(false);
}

void TStringGrid::endUpdate() {
    if (m_updateLock == 0 || --m_updateLock > 0) return;
    viewport()->setUpdatesEnabled(true);
    m_layoutDirty = false;
    clampPositions();
    syncScrollBars();
    viewport()->update();
    refreshHint();
}

void TStringGrid::setBodyFont(const QFont& font) {
    m_bodyFont = font;
    repaint_();
}

void TStringGrid::setHeaderFont(const QFont& font) {
    m_headerFont = font;
    repaint_();
}

void TStringGrid::setGridLineColor(const QColor& color) {
    m_gridLineColor = color;
    repaint_();
}

void TStringGrid::setFixedColor(const QColor& color) {
    m_fixedColor = color;
    repaint_();
}

void TStringGrid::setBodyColor(const QColor& color) {
    m_bodyColor = color;
    repaint_();
}

void TStringGrid::setSelectionColor(const QColor& color) {
    m_selectionColor = color;
    repaint_();
}

void TStringGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    paintCells(painter, event->rect());
}

void TStringGrid::paintCells(QPainter& painter, const QRect& clip) {
    const int width = viewport()->width();
    const int height = viewport()->height();
    std::vector<Placed> cols;
    int x = 0;
    for (int c = 0; c < fixedColCount() && x < width; ++c) {
        cols.push_back({c, x});
        x += colWidth(c) + 1;
    }
    for (int c = m_leftCol; c < colCount() && x < width; ++c) {
        cols.push_back({c, x});
        x += colWidth(c) + 1;
    }
    std::vector<Placed> rows;
    int y = 0;
    for (int r = 0; r < fixedRowCount() && y < height; ++r) {
        rows.push_back({r, y});
        y += m_fixedRowHeight + 1;
    }
    for (int r = m_topRow; r < displayRowCount() && y < height; ++r) {
        rows.push_back({r, y});
        y += m_rowHeight + 1;
    }
    const int gridRight = x;
    const int gridBottom = y;

    for (const Placed& row : rows) {
        const int h = rowHeight(row.index);
        if (row.pos > clip.bottom() || row.pos + h < clip.top()) continue;
        const int realRow = m_model.realRowIndex(row.index);
        for (const Placed& col : cols) {
            const QRect rect(col.pos, row.pos, colWidth(col.index), h);
            if (rect.isEmpty() || !rect.intersects(clip)) continue;
            const bool fixed = row.index < fixedRowCount() || col.index < fixedColCount();
            paintCell(painter, rect, col.index, row.index, realRow, fixed);
        }
    }
    for (const Placed& col : cols)
        painter.fillRect(col.pos + colWidth(col.index), 0, 1, gridBottom, m_gridLineColor);
    for (const Placed& row : rows)
        painter.fillRect(0, row.pos + rowHeight(row.index), gridRight, 1, m_gridLineColor);
    const QColor empty = palette().color(QPalette::Window);
    if (gridRight < width) painter.fillRect(gridRight, 0, width - gridRight, height, empty);
    if (gridBottom < height) painter.fillRect(0, gridBottom, gridRight, height - gridBottom, empty);
}

void TStringGrid::paintCell(QPainter& painter, const QRect& rect, int col, int row, int realRow, bool fixed) {
    const bool selected = row == m_currentRow && col == m_currentCol;
    QColor background = fixed ? m_fixedColor : m_bodyColor;
    if (m_cellColor) m_cellColor(row, col, background);
    QColor foreground = palette().color(QPalette::Text);
    if (selected && !fixed) {
        background = m_selectionColor;
        foreground = palette().color(QPalette::HighlightedText);
    }
    painter.fillRect(rect, background);
    if (selected && fixed) {
        painter.setPen(QPen(foreground, 1, Qt::DotLine));
        painter.drawRect(rect.adjusted(1, 1, -2, -2));
    }

    Qt::Alignment alignment = Qt::AlignLeft;
    if (m_alignment) m_alignment(row, col, alignment);
    TCellStringTable::InlineBuffer buffer;
    const QStringView text = m_model.cellView(col, realRow, buffer);
    if (text.isEmpty()) return;
    const QString shown = QString::fromRawData(reinterpret_cast<const QChar*>(text.data()), text.size());
    const int flags = int(alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | Qt::TextSingleLine;
    painter.setPen(foreground);
    painter.setFont(fixed ? m_headerFont : m_bodyFont);
    if (m_model.anyCellRotated() && m_model.cellRotated(col, realRow)) {
        // Reads from bottom to top; "left" is the bottom of the cell, "right" its top.
        painter.save();
        painter.setClipRect(rect);
        painter.translate(rect.left(), rect.bottom() + 1);
        painter.rotate(-90);
        painter.drawText(QRect(2, 0, rect.height() - 4, rect.width()), flags, shown);
        painter.restore();
        return;
    }
    painter.drawText(rect.adjusted(TextInset, 0, -TextInset, 0), flags, shown);
}

// ---- events --------------------------------------------------------------------------------------

void TStringGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    emit mouseDown(event->button(), shiftOf(event), pos.x(), pos.y());
    int col = -1, row = -1;
    const bool onCell = cellAt(pos, col, row);
    if (event->button() == Qt::LeftButton && onCell && row >= fixedRowCount() && col >= fixedColCount())
        selectCell(col, row);
    if (event->button() == Qt::RightButton) {
        if (onCell) emit rightClickCell(row, col);
        if (m_popup) showPopup(event->globalPosition().toPoint());
    }
}

void TStringGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    m_pointerInside = true;
    scheduleHint(pos);
    emit mouseMove(shiftOf(event), pos.x(), pos.y());
}

// Hints follow the application's hint timing: the first one shows after the hint pause, the next ones
// (while one is up) after the short pause, and each stays up for the hide pause.
void TStringGrid::scheduleHint(const QPoint& pos) {
    if (!m_showHints || !m_hint) return;
    int col = -1, row = -1;
    if (!cellAt(pos, col, row)) {
        m_hintTimer->stop();
        return;
    }
    m_hintPos = pos;
    if (col == m_hintCol && row == m_hintRow && QToolTip::isVisible()) return;
    const ui::HintTiming& timing = ui::hintTiming();
    m_hintTimer->start(QToolTip::isVisible() ? timing.hintShortPause : timing.hintPause);
}

void TStringGrid::showHintAt(const QPoint& pos) {
    int col = -1, row = -1;
    QString hint;
    if (m_showHints && m_hint && cellAt(pos, col, row)) m_hint(row, col, hint);
    hint = ui::plainToolTip(hint); // names in a hint come from a file: never shown as markup
    m_hintPos = pos;
    m_hintCol = col;
    m_hintRow = row;
    m_hintText = hint;
    if (hint.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    if (m_hintColor.isValid()) {
        QPalette palette = QToolTip::palette();
        palette.setColor(QPalette::ToolTipBase, m_hintColor);
        QToolTip::setPalette(palette);
    }
    QToolTip::showText(viewport()->mapToGlobal(pos), hint, viewport(), cellRect(col, row),
                       ui::hintTiming().hintHidePause);
}

bool TStringGrid::ownHintShown() const {
    return !m_hintText.isEmpty() && QToolTip::isVisible() && QToolTip::text() == m_hintText;
}

void TStringGrid::refreshHint() {
    if (!ownHintShown()) return;
    if (m_pointerInside)
        showHintAt(m_hintPos);
    else
        pointerLeft();
}

// A hint that was waiting never shows, and one that is up goes: it would name a cell the pointer is
// no longer over.
void TStringGrid::pointerLeft() {
    m_pointerInside = false;
    m_hintTimer->stop();
    if (ownHintShown()) QToolTip::hideText();
    m_hintText.clear();
    m_hintCol = m_hintRow = -1;
}

void TStringGrid::hideEvent(QHideEvent* event) {
    QAbstractScrollArea::hideEvent(event);
    pointerLeft();
    emit mouseLeave();
}

void TStringGrid::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    emit mouseUp(event->button(), shiftOf(event), pos.x(), pos.y());
}

void TStringGrid::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    // A mouse right click already opened the popup on the button press.
    if (event->reason() == QContextMenuEvent::Mouse || !m_popup) return;
    const QRect rect = cellRect(m_currentCol, m_currentRow);
    showPopup(viewport()->mapToGlobal(rect.isEmpty() ? QPoint(0, 0) : rect.center()));
}

void TStringGrid::showPopup(const QPoint& globalPos) {
    emit aboutToShowPopup();
    if (popupHandler)
        popupHandler(*m_popup, globalPos);
    else
        m_popup->exec(globalPos);
}

void TStringGrid::keyPressEvent(QKeyEvent* event) {
    int row = m_currentRow;
    int col = m_currentCol;
    const int page = std::max(1, visibleRowCount());
    switch (event->key()) {
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    case Qt::Key_Left:
        --col;
        break;
    case Qt::Key_Right:
        ++col;
        break;
    case Qt::Key_PageUp:
        row -= page;
        break;
    case Qt::Key_PageDown:
        row += page;
        break;
    case Qt::Key_Home:
        row = fixedRowCount();
        break;
    case Qt::Key_End:
        row = displayRowCount() - 1;
        break;
    case Qt::Key_F10:
    case Qt::Key_Menu:
        // The keyboard's way to the popup: Shift+F10 or the Menu key, at the current cell.
        if (m_popup && (event->key() == Qt::Key_Menu || event->modifiers() == Qt::ShiftModifier)) {
            const QRect rect = cellRect(m_currentCol, m_currentRow);
            showPopup(viewport()->mapToGlobal(rect.isEmpty() ? QPoint(0, 0) : rect.center()));
            return;
        }
        QAbstractScrollArea::keyPressEvent(event);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    row = std::clamp(row, fixedRowCount(), std::max(fixedRowCount(), displayRowCount() - 1));
    col = std::clamp(col, fixedColCount(), std::max(fixedColCount(), colCount() - 1));
    selectCell(col, row);
    // Follow the selection with the least scrolling.
    const int shown = std::max(1, (viewport()->height() - headerHeight()) / (m_rowHeight + 1));
    if (row < m_topRow)
        m_topRow = row;
    else if (row >= m_topRow + shown)
        m_topRow = row - shown + 1;
    if (col < m_leftCol) m_leftCol = col;
    while (m_leftCol < col && col >= m_leftCol + visibleColCount())
        ++m_leftCol;
    clampPositions();
    syncScrollBars();
    repaint_();
    refreshHint();
}

bool TStringGrid::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::Enter:
        m_pointerInside = true;
        break;
    case QEvent::Leave:
        pointerLeft();
        emit mouseLeave();
        break;
    case QEvent::ToolTip: {
        // A help request (the platform's own tooltip timing) shows the hint at once; pointer moves show
        // it on the application's hint timing.
        auto* help = static_cast<QHelpEvent*>(event);
        m_pointerInside = true;
        m_hintTimer->stop();
        showHintAt(help->pos());
        return true;
    }
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}
