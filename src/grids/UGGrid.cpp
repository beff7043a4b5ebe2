#include "grids/UGGrid.h"

#include <QAbstractButton>

TASGHelper_UG::TASGHelper_UG(TStringGrid& grid, QAbstractButton& hideSysObj)
    : TASGHelper(grid), m_hideSysObj(hideSysObj) {}

std::int32_t TASGHelper_UG::GetFilterFlags() {
    return m_hideSysObj.isChecked() ? UGFilterSysObj : 0;
}

void TASGHelper_UG::AddFilterConditions(std::int32_t Flags) {
    if (Flags & UGFilterSysObj) Grid.model().addFilterCondition(0, QStringLiteral("!Engine & !Creator"));
}

std::int32_t TASGHelper_UG::GetSortType() {
    return 0;
}

void TASGHelper_UG::AddSortColumns(std::int32_t) {
    Grid.model().addSortKey(0);
}

void TASGHelper_UG::SetupColumns() {
    if (Grid.colCount() < 2) Grid.setColCount(2);
    if (Grid.rowCount() < 2) Grid.setRowCount(2);
    Grid.setFixedColCount(1);
    Grid.setFixedRowCount(1);
    Grid.setCell(0, 0, QStringLiteral("Users \\ Groups"));
    Grid.setColWidth(0, 80);
}
