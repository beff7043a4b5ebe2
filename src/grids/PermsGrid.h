#pragma once
// The permissions grid's helper: 31 columns from the permission column table (nine fixed descriptive
// columns, 22 rights with rotated headers), sorting by container/object or by group/user, and hiding
// system objects and rows without explicit permissions.
#include "grids/ASGHelper.h"
#include "grids/model/PermsGridRules.h"

class QAbstractButton;

class TASGHelper_Perm : public TASGHelper {
public:
    // The controls the view options are read from: the two hide check boxes and the "Group/User"
    // sort radio button.
    TASGHelper_Perm(TStringGrid& grid, QAbstractButton& hideSysObj, QAbstractButton& hidePerm0,
                    QAbstractButton& sortUserGroup);

    std::int32_t GetFilterFlags() override;
    void AddFilterConditions(std::int32_t Flags) override;
    std::int32_t GetSortType() override;
    void AddSortColumns(std::int32_t SortType) override;
    bool CanResizeColumn(int Col) override;
    void SetupColumns() override;

private:
    QAbstractButton& m_hideSysObj;
    QAbstractButton& m_hidePerm0;
    QAbstractButton& m_sortUserGroup;
};

// Widens the "Num" column so that the number largest, in the grid's body font, is not cut; it never
// becomes narrower than its laid-out width.
void FitNumberColumn(TStringGrid& grid, std::int32_t largest);

// Cell colour of the permissions grid: a data cell of a permission column takes its class colour.
void PermsCellColor(int row, int col, QColor& color);
// Header cells with rotated text are right-aligned.
void PermsCellAlignment(int row, int col, Qt::Alignment& alignment);
// The hint over a permission cell (display row and column): the row's container, object and account,
// then the right's name with its enable and disable masks. Empty over columns 0-8.
QString PermsCellHint(const TStringGrid& grid, int displayRow, int displayCol);
