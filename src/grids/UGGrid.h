#pragma once
// The users/groups matrix's helper: users down column 0, groups across row 0, sorted by user name,
// with the built-in users Engine and Creator hidden on request.
#include "grids/ASGHelper.h"

class QAbstractButton;

inline constexpr std::int32_t UGFilterSysObj = 1;

class TASGHelper_UG : public TASGHelper {
public:
    TASGHelper_UG(TStringGrid& grid, QAbstractButton& hideSysObj);

    std::int32_t GetFilterFlags() override;
    void AddFilterConditions(std::int32_t Flags) override;
    std::int32_t GetSortType() override;
    void AddSortColumns(std::int32_t SortType) override;
    void SetupColumns() override;

private:
    QAbstractButton& m_hideSysObj;
};
