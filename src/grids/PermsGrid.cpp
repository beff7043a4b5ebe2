#include "grids/PermsGrid.h"

#include "security/PermissionColumns.h"
#include "security/SafeText.h"

#include <QAbstractButton>
#include <QFontMetrics>

#include <algorithm>

TASGHelper_Perm::TASGHelper_Perm(TStringGrid& grid, QAbstractButton& hideSysObj, QAbstractButton& hidePerm0,
                                 QAbstractButton& sortUserGroup)
    : TASGHelper(grid), m_hideSysObj(hideSysObj), m_hidePerm0(hidePerm0), m_sortUserGroup(sortUserGroup) {}

std::int32_t TASGHelper_Perm::GetFilterFlags() {
    return (m_hideSysObj.isChecked() ? PermFilterSysObj : 0) + (m_hidePerm0.isChecked() ? PermFilterZero : 0);
}

void TASGHelper_Perm::AddFilterConditions(std::int32_t Flags) {
    AddPermsFilterConditions(Grid.model(), Flags);
}

std::int32_t TASGHelper_Perm::GetSortType() {
    return m_sortUserGroup.isChecked() ? PermSortUserGroup : PermSortObject;
}

void TASGHelper_Perm::AddSortColumns(std::int32_t SortType) {
    AddPermsSortColumns(Grid.model(), SortType);
}

bool TASGHelper_Perm::CanResizeColumn(int Col) {
    return Col >= 0 && Col < SecColCount && SecColInfo[static_cast<std::size_t>(Col)].Resizable;
}

void TASGHelper_Perm::SetupColumns() {
    Grid.setColCount(SecColCount);
    Grid.setFixedColCount(FirstPermColumn);
    Grid.setRowCount(10);
    Grid.setFixedRowCount(1);
    for (int r = 1; r < Grid.rowCount(); ++r)
        Grid.setCell(colNum, r, QString::number(r));
    Grid.setFixedRowHeight(90);
    for (int i = 0; i < SecColCount; ++i)
        Grid.setColWidth(i, SecColInfo[static_cast<std::size_t>(i)].Width);
    SetupPermsHeader(Grid.model());
    Grid.viewport()->update();
}

void FitNumberColumn(TStringGrid& grid, std::int32_t largest) {
    const QFontMetrics metrics(grid.bodyFont());
    int digit = 0;
    for (char c = '0'; c <= '9'; ++c)
        digit = std::max(digit, metrics.horizontalAdvance(QLatin1Char(c)));
    const int needed = int(QString::number(largest).size()) * digit + 2 * TStringGrid::TextInset;
    grid.setColWidth(colNum, std::max(SecColInfo[std::size_t(colNum)].Width, needed));
}

void PermsCellColor(int row, int col, QColor& color) {
    if (row < 1 || col < 0 || col >= SecColCount) return;
    const std::uint32_t bgr = SecColInfo[static_cast<std::size_t>(col)].Color;
    if (bgr != 0) color = QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

void PermsCellAlignment(int row, int col, Qt::Alignment& alignment) {
    if (row == 0 && col >= 0 && col < SecColCount && SecColInfo[static_cast<std::size_t>(col)].RotatedHeader)
        alignment = (alignment & ~Qt::AlignHorizontal_Mask) | Qt::AlignRight;
}

QString PermsCellHint(const TStringGrid& grid, int displayRow, int displayCol) {
    if (displayCol < FirstPermColumn || displayCol >= SecColCount) return {};
    const int r = grid.realRowIndex(displayRow);
    const int c = grid.realColIndex(displayCol);
    if (r < 0 || r >= grid.rowCount()) return {};
    const TSecColInfo& info = SecColInfo[static_cast<std::size_t>(c)];
    const QString caption = QString::fromLatin1(info.Caption.data(), qsizetype(info.Caption.size()));
    // Names from the file, shown visibly and isolated: a bidi control or a zero-width character in one
    // cannot make the hint read as another row's.
    const auto shown = [&](int col) {
        return QString::fromStdString(ShownName(grid.cell(col, r).toStdString()));
    };
    return shown(colContainer) + QStringLiteral(": ") + shown(colObjectName) + QStringLiteral("   ") +
           shown(colUGName) + QStringLiteral("   \r\n") + caption + QStringLiteral("  Enbl: ") +
           QString::fromStdString(PermHex(info.EnableMask)) + QStringLiteral(" Dsbl: ") +
           QString::fromStdString(PermHex(info.DisableMask));
}
