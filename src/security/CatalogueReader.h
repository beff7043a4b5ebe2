#pragma once
// The walk over a database's security catalogue: for every container, one row per user and per group,
// then for every document of that container again one row per user and per group. Each row carries the
// explicit and effective permissions, the container's inherit flag, the owner mark and one letter per
// permission column. The rows go to a writer, so the permissions grid and the command-line report share
// the same walk.
#include "dao/Dao.h"
#include "security/PermissionColumns.h"

#include <array>
#include <cstdint>
#include <string>

// One permissions row, laid out as the grid's cells.
struct TPermRow {
    std::int32_t Seq = 0;       // cell 0: sequence number in reading order, from 1
    std::string Container;      // cell 1
    std::string ObjectName;     // cell 2: document name or "<container>"
    char Kind = 'U';            // cell 3: 'U' or 'G'
    std::string UGName;         // cell 4
    std::int32_t Explicit = 0;  // cell 5 as PermHex
    std::int32_t Effective = 0; // cell 6 as PermHex
    char Inherit = '-';         // cell 7: 'T', 'F' or '-'
    char Owner = '-';           // cell 8: 'O' or '-'
    std::array<char, SecColCount - FirstPermColumn> Letters{}; // cells 9-30
};

inline constexpr const char* ContainerObjectName = "<container>";

// Receives the rows of a walk in reading order. RowIndex counts from 1.
class TPermRowWriter {
public:
    virtual ~TPermRowWriter() = default;
    // Before the first row: the number of rows the walk expects to write (a hint; it may write fewer).
    virtual void ExpectRows(std::int32_t /*RowCount*/) {}
    virtual void WriteRow(std::int32_t RowIndex, const TPermRow& Row) = 0;
};

struct TCatalogueCounters {
    std::int32_t RowCount = 0;     // rows read
    std::int32_t NonZeroCount = 0; // rows whose explicit permissions are not 0
};

// Walks the catalogue. A failure to set UserName or to read Permissions or AllPermissions of one row
// marks that row's applicable letters "?" and is otherwise ignored; any other failure stops the walk
// and propagates, with the counters holding the values reached.
void WalkCatalogue(const dao::ContainersPtr& Containers, const dao::UsersPtr& Users,
                   const dao::GroupsPtr& Groups, TPermRowWriter& Writer, TCatalogueCounters& Counters);

// Fills the letter cells (9-30) of a row: "-" where the column does not apply, "?" after a failed
// read, else the permission letter.
void FillPermissionCells(TPermRow& Row, int RowLevel, TContainerClass Class, std::string_view ObjectName,
                         bool ReadFailed);

// The row's cells as texts, in grid column order.
std::string PermRowCell(const TPermRow& Row, int Col);
