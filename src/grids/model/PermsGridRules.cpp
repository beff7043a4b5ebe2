#include "grids/model/PermsGridRules.h"

#include "security/PermissionColumns.h"

void SetTextCompareStyle(int, TSortStyle& style) {
    style = TSortStyle::AlphaNoCase;
}

void SetupPermsHeader(TStringGridModel& model) {
    if (model.colCount() < SecColCount) model.setColCount(SecColCount);
    if (model.rowCount() < 1) model.setRowCount(1);
    for (int i = 0; i < SecColCount; ++i) {
        const TSecColInfo& info = SecColInfo[static_cast<std::size_t>(i)];
        const QString caption = QString::fromLatin1(info.Caption.data(), qsizetype(info.Caption.size()));
        model.setCell(i, 0, info.RotatedHeader ? QLatin1Char(' ') + caption : caption);
        model.setCellRotated(i, 0, info.RotatedHeader);
    }
}

void SetupBarePermsModel(TStringGridModel& model) {
    model.setColCount(SecColCount);
    model.setRowCount(1);
    model.setFixedColCount(FirstPermColumn);
    model.setFixedRowCount(1);
    SetupPermsHeader(model);
}

void AddPermsFilterConditions(TStringGridModel& model, std::int32_t flags) {
    if (flags & PermFilterSysObj) {
        model.addFilterCondition(colObjectName, QStringLiteral("!MSys*"));
        model.addFilterCondition(colUGName, QStringLiteral("!Engine & !Creator"));
    }
    if (flags & PermFilterZero) model.addFilterCondition(colPermExp, QStringLiteral("!00000"));
}

void AddPermsSortColumns(TStringGridModel& model, std::int32_t sortType) {
    if (sortType == PermSortUserGroup) {
        for (int col : {colUserGroup, colUGName, colContainer, colObjectName})
            model.addSortKey(col);
    } else if (sortType == PermSortObject) {
        for (int col : {colContainer, colObjectName, colUserGroup, colUGName})
            model.addSortKey(col);
    }
}

void ApplyPermsViewOptions(TStringGridModel& model, std::int32_t filterFlags, std::int32_t sortType) {
    model.setOnGetFormat(&SetTextCompareStyle);
    model.clearSortKeys();
    AddPermsSortColumns(model, sortType);
    model.setMultiKeySort(true);
    model.sortBody();
    AddPermsFilterConditions(model, filterFlags);
    model.setFilterActive(filterFlags > 0);
}
