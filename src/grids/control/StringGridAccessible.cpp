#include "grids/control/StringGridAccessible.h"

#include "grids/control/StringGrid.h"

#include <QAccessibleWidget>
#include <QPointer>

#include <unordered_map>

namespace {

class GridTable;

// One cell, made when assistive technology asks for it and kept (registered with Qt) until the grid's
// rows change. row is a table row: a shown body row; -1 is the column header row.
class GridCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    GridCell(GridTable* table, TStringGrid* grid, int row, int col)
        : m_table(table), m_grid(grid), m_row(row), m_col(col) {}

    bool isValid() const override { return !m_grid.isNull(); }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        if (!m_grid || (t != QAccessible::Name && t != QAccessible::Value)) return {};
        if (displayRow() >= m_grid->displayRowCount() || m_col >= m_grid->colCount()) return {};
        return m_grid->cell(m_col, realRow());
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!m_grid) return {};
        const QRect r = m_grid->cellRect(m_col, displayRow());
        return r.isEmpty() ? QRect() : QRect(m_grid->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override {
        return m_row < 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!m_grid) return s;
        s.selectable = m_row >= 0;
        s.focusable = m_row >= 0;
        s.selected = isSelected();
        s.focused = s.selected && m_grid->hasFocus();
        s.invisible = rect().isEmpty();
        s.readOnly = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this)
                                                    : nullptr;
    }

    bool isSelected() const override {
        return m_grid && m_row >= 0 && displayRow() == m_grid->currentRow() && m_col == m_grid->currentCol();
    }
    int columnExtent() const override { return 1; }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    int columnIndex() const override { return m_col; }
    int rowExtent() const override { return 1; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int rowIndex() const override { return m_row; }
    QAccessibleInterface* table() const override;

private:
    int displayRow() const { return m_row < 0 ? 0 : m_row + m_grid->fixedRowCount(); }
    int realRow() const { return m_row < 0 ? 0 : m_grid->realRowIndex(displayRow()); }

    GridTable* m_table;
    QPointer<TStringGrid> m_grid;
    int m_row, m_col;
};

class GridTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridTable(TStringGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {}
    ~GridTable() override { forgetCells(); }

    TStringGrid* grid() const { return static_cast<TStringGrid*>(widget()); }
    int rows() const { return std::max(0, grid()->displayRowCount() - grid()->fixedRowCount()); }
    int cols() const { return grid()->colCount(); }

    // The interface of a cell (row -1: a column header), made once and registered with Qt.
    QAccessibleInterface* cell(int row, int col) const {
        if (col < 0 || col >= cols() || row < -1 || row >= rows()) return nullptr;
        const long long key = (static_cast<long long>(row + 1) << 16) | col;
        auto it = m_cells.find(key);
        if (it == m_cells.end()) {
            auto* c = new GridCell(const_cast<GridTable*>(this), grid(), row, col);
            it = m_cells.emplace(key, QAccessible::registerAccessibleInterface(c)).first;
        }
        return QAccessible::accessibleInterface(it->second);
    }
    void forgetCells() {
        for (const auto& [key, id] : m_cells)
            QAccessible::deleteAccessibleInterface(id);
        m_cells.clear();
    }

    // The interface as a widget: the header row and the cells are its children, row by row.
    int childCount() const override { return (rows() + 1) * cols(); }
    QAccessibleInterface* child(int index) const override {
        return cols() > 0 ? cell(index / cols() - 1, index % cols()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* c = child ? static_cast<const QAccessibleTableCellInterface*>(
                                    const_cast<QAccessibleInterface*>(child)->interface_cast(
                                        QAccessible::TableCellInterface))
                              : nullptr;
        if (!c) return -1;
        const int row = child->role() == QAccessible::ColumnHeader ? -1 : c->rowIndex();
        return (row + 1) * cols() + c->columnIndex();
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint p = grid()->viewport()->mapFromGlobal(QPoint(x, y));
        int col = 0, row = 0;
        if (!grid()->cellAt(p, col, row)) return nullptr;
        return cell(row < grid()->fixedRowCount() ? -1 : row - grid()->fixedRowCount(), col);
    }
    QAccessibleInterface* focusChild() const override {
        return grid()->currentRow() >= grid()->fixedRowCount()
                   ? cell(grid()->currentRow() - grid()->fixedRowCount(), grid()->currentCol())
                   : nullptr;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // The table interface.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override { return cell(row, column); }
    int columnCount() const override { return cols(); }
    int rowCount() const override { return rows(); }
    QString columnDescription(int column) const override { return grid()->cell(column, 0); }
    QString rowDescription(int) const override { return {}; }
    int selectedCellCount() const override { return focusChild() ? 1 : 0; }
    QList<QAccessibleInterface*> selectedCells() const override {
        QAccessibleInterface* c = focusChild();
        return c ? QList<QAccessibleInterface*>{c} : QList<QAccessibleInterface*>{};
    }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int row) override {
        if (row < 0 || row >= rows()) return false;
        grid()->selectCell(grid()->currentCol(), row + grid()->fixedRowCount());
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override { forgetCells(); }

private:
    mutable std::unordered_map<long long, QAccessible::Id> m_cells;
};

QAccessibleInterface* GridCell::parent() const {
    return m_grid ? QAccessible::queryAccessibleInterface(m_grid.data()) : nullptr;
}

QAccessibleInterface* GridCell::table() const {
    return parent();
}

QList<QAccessibleInterface*> GridCell::columnHeaderCells() const {
    QAccessibleInterface* header = m_table && m_grid ? m_table->cell(-1, m_col) : nullptr;
    return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
}

} // namespace

QAccessibleInterface* StringGridAccessibleFactory(const QString&, QObject* object) {
    if (auto* grid = qobject_cast<TStringGrid*>(object)) return new GridTable(grid);
    return nullptr;
}

void InstallStringGridAccessibility() {
    static const bool installed = (QAccessible::installFactory(&StringGridAccessibleFactory), true);
    (void)installed;
}

void NotifyCurrentCellChanged(TStringGrid& grid) {
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
    QAccessibleInterface* cell = table ? table->focusChild() : nullptr;
    if (!cell) return;
    QAccessibleEvent selection(cell, QAccessible::Selection);
    QAccessible::updateAccessibility(&selection);
    if (grid.hasFocus()) {
        QAccessibleEvent focus(cell, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

void NotifyRowsChanged(TStringGrid& grid) {
    if (QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid))
        if (auto* t = table->tableInterface()) {
            QAccessibleTableModelChangeEvent reset(&grid, QAccessibleTableModelChangeEvent::ModelReset);
            t->modelChange(&reset);
        }
}
