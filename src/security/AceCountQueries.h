#pragma once
// The two counting queries on the database's own security table MSysACEs, in the order they run: all
// rows, then the rows with a non-zero mask. Each returns one row with the field "CountOfACM". The
// DatabaseInfo tab and the command-line report compare them with the rows the catalogue walk read.
#include <array>

inline constexpr std::array<const char*, 2> AceCountQueries = {
    "SELECT Count(MSysACEs.ACM) AS CountOfACM FROM MSysACEs",
    "SELECT Count(MSysACEs.ACM) AS CountOfACM FROM MSysACEs WHERE (MSysACEs.ACM <> 0)",
};
