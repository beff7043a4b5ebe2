#pragma once
// The rules of the permissions grid on a bare model, shared by the grid's helper in the window and by
// the command-line report: the header row, the hide conditions of the filter flags, the sort keys of a
// sort type, and the comparison style every grid column sorts by.
#include "grids/model/StringGridModel.h"

#include <cstdint>

// Filter flags and sort types of the permissions grid.
inline constexpr std::int32_t PermFilterSysObj = 1;
inline constexpr std::int32_t PermFilterZero = 2;
inline constexpr std::int32_t PermSortUserGroup = 1;
inline constexpr std::int32_t PermSortObject = 2;

// Column comparison style of both grids: every column compares as text, case-insensitively, by the
// user's locale.
void SetTextCompareStyle(int col, TSortStyle& style);

// The header row: every column's caption, the rotated ones led by a blank.
void SetupPermsHeader(TStringGridModel& model);
// A bare model shaped as the permissions grid before a walk: its columns, the fixed descriptive columns
// and the header row.
void SetupBarePermsModel(TStringGridModel& model);
// Appends the hide conditions of these filter flags.
void AddPermsFilterConditions(TStringGridModel& model, std::int32_t flags);
// Appends the sort keys of this sort type, most significant first.
void AddPermsSortColumns(TStringGridModel& model, std::int32_t sortType);
// Sorts the body of a filled bare model by the sort type and hides the rows the filter flags hide, as
// the window's grid shows them.
void ApplyPermsViewOptions(TStringGridModel& model, std::int32_t filterFlags, std::int32_t sortType);
