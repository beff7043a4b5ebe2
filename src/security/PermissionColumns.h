#pragma once
// The vocabulary of the security catalogue: one description per column of the permissions grid
// (nine descriptive columns followed by 22 permission rights), the Jet container classes, and the
// rules that turn permission values into grid letters and hexadecimal text.
//
// Both tables are constant data; the index into SecColInfo is the column index of the permissions grid.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Class of Jet container a permission right belongs to; stored in one byte.
enum TContainerClass : std::uint8_t {
    ccNone = 0,
    ccCommon = 1,
    ccDataAccessPages = 2,
    ccDatabases = 3,
    ccForms = 4,
    ccModules = 5,
    ccReports = 6,
    ccScripts = 7,
    ccTables = 8,
};

// Scope of a class-specific permission column.
inline constexpr std::uint8_t ScopeContainer = 1; // container rows only
inline constexpr std::uint8_t ScopeDocument = 2;  // document rows only
inline constexpr std::uint8_t ScopeBoth = 3;      // container and document rows

// Row levels passed to ColumnApplies.
inline constexpr int RowLevelContainer = 1;
inline constexpr int RowLevelDocument = 2;

struct TSecColInfo {
    std::int32_t EnableMask;        // bits granting the right sets; all set = right held in full
    std::int32_t DisableMask;       // bits revoking the right clears; all set = right held (in part)
    std::string_view Caption;       // header text and the right's name
    TContainerClass ContainerClass; // ccCommon: every object; ccNone: descriptive column
    std::uint8_t Scope;             // class-specific columns only: ScopeContainer/Document/Both
    std::int32_t Width;             // initial width in pixels
    bool RotatedHeader;             // header shows " " + Caption rotated 90 degrees
    std::uint32_t Color;            // data cell background, $00BBGGRR; 0 = grid default
    bool Resizable;                 // header edge may be dragged
};

inline constexpr int SecColCount = 31;
inline constexpr int FirstPermColumn = 9;
inline constexpr int LastPermColumn = 30;

// Cell indices of a permissions row.
inline constexpr int colNum = 0;        // sequence number in reading order, from 1
inline constexpr int colContainer = 1;  // container name
inline constexpr int colObjectName = 2; // document name, or "<container>" on a container row
inline constexpr int colUserGroup = 3;  // "U" or "G"
inline constexpr int colUGName = 4;     // user or group name
inline constexpr int colPermExp = 5;    // PermHex of the explicit permissions
inline constexpr int colPermAll = 6;    // PermHex of the effective permissions
inline constexpr int colInherit = 7;    // "T"/"F" on container rows, "-" on document rows
inline constexpr int colOwner = 8;      // "O" when the row's account owns the object, else "-"

extern const std::array<TSecColInfo, SecColCount> SecColInfo;
extern const std::array<std::string_view, 9> ContainerClassNames;

// Letters indexed by 3 * explicit state + effective state (0 not held, 1 in part, 2 in full).
inline constexpr std::string_view LetterTable = " iIeeJEEE";

// Class of a container found by its exact, case-sensitive name; unknown names give ccNone and a
// "Reports" container counts as ccForms.
TContainerClass ClassOfContainer(std::string_view containerName);

// Whether permission column col (9-30) applies to a row of the given class and level
// (RowLevelContainer or RowLevelDocument); objectName is the document name, empty on container rows.
// Throws std::out_of_range for a column outside 9-30.
bool ColumnApplies(int col, TContainerClass rowClass, int rowLevel, std::string_view objectName);

// The letter of permission column col (9-30) for the explicit and effective permission values.
// Throws std::out_of_range for a column outside 9-30.
char PermissionLetter(std::int32_t explicitPerms, std::int32_t effectivePerms, int col);

// Upper-case hexadecimal, at least five digits; negative values as eight-digit two's complement.
std::string PermHex(std::int32_t value);
