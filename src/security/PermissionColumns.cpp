#include "security/PermissionColumns.h"

#include <stdexcept>

namespace {

constexpr std::uint32_t White = 0x00FFFFFF;
constexpr std::uint32_t TableGreen = 0x00CCFFB8;
constexpr std::uint32_t FormPink = 0x00FFDFFF;
constexpr std::uint32_t ModuleViolet = 0x00FFCAFF;
constexpr std::uint32_t DatabaseCyan = 0x00FFFFAB;

void checkPermissionColumn(int col) {
    if (col < FirstPermColumn || col > LastPermColumn)
        throw std::out_of_range("Permission column index " + std::to_string(col) + " out of range");
}

// 0 = not held, 1 = held in part (all DisableMask bits), 2 = held in full (all EnableMask bits).
int heldState(std::int32_t value, const TSecColInfo& info) {
    if ((value & info.EnableMask) == info.EnableMask) return 2;
    if ((value & info.DisableMask) == info.DisableMask) return 1;
    return 0;
}

} // namespace

// clang-format off
const std::array<TSecColInfo, SecColCount> SecColInfo = {{
    // Enable  Disable  Caption           Class        Scope Width Rotated Color     Resizable
    {0,       0,       "Num",            ccNone,      0, 32, false, 0,            false},
    {0,       0,       "Container",      ccNone,      0, 64, false, 0,            true},
    {0,       0,       "Object Name",    ccNone,      0, 96, false, 0,            true},
    {0,       0,       "User/Group",     ccNone,      0, 20, true,  0,            false},
    {0,       0,       "UGName",         ccNone,      0, 80, false, 0,            true},
    {0,       0,       "Perm Exp",       ccNone,      0, 40, true,  0,            false},
    {0,       0,       "Perm All",       ccNone,      0, 40, true,  0,            false},
    {0,       0,       "Cnt.Inherit",    ccNone,      0, 20, true,  0,            false},
    {0,       0,       "Owner",          ccNone,      0, 20, true,  0,            false},
    {0x00001, 0x00001, "Create",         ccCommon,    0, 17, true,  White,        false},
    {0x10000, 0x10000, "Delete",         ccCommon,    0, 17, true,  White,        false},
    {0x20000, 0x20000, "ReadSec",        ccCommon,    0, 17, true,  White,        false},
    {0x40000, 0x40000, "WriteSec",       ccCommon,    0, 17, true,  White,        false},
    {0x80000, 0x80000, "WriteOwner",     ccCommon,    0, 17, true,  White,        false},
    {0x00004, 0x00004, "ReadDef",        ccTables,    3, 17, true,  TableGreen,   false},
    {0x1000C, 0x00008, "WriteDef",       ccTables,    3, 17, true,  TableGreen,   false},
    {0x00014, 0x00010, "RetrieveData",   ccTables,    3, 17, true,  TableGreen,   false},
    {0x00020, 0x00020, "InsertData",     ccTables,    3, 17, true,  TableGreen,   false},
    {0x00040, 0x00040, "ReplaceData",    ccTables,    3, 17, true,  TableGreen,   false},
    {0x00080, 0x00080, "DeleteData",     ccTables,    3, 17, true,  TableGreen,   false},
    {0x00004, 0x00004, "FrmRptReadDef",  ccForms,     3, 17, true,  FormPink,     false},
    {0x1000C, 0x00008, "FrmRptWriteDef", ccForms,     3, 17, true,  FormPink,     false},
    {0x00100, 0x00100, "FrmRptExecute",  ccForms,     3, 17, true,  FormPink,     false},
    {0x0000A, 0x0000A, "MacReadDef",     ccScripts,   3, 17, true,  FormPink,     false},
    {0x10006, 0x10006, "MacWriteDef",    ccScripts,   3, 17, true,  FormPink,     false},
    {0x00008, 0x00008, "MacExecute",     ccScripts,   3, 17, true,  FormPink,     false},
    {0x00002, 0x00002, "ModReadDef",     ccModules,   3, 17, true,  ModuleViolet, false},
    {0x10006, 0x00004, "ModWriteDef",    ccModules,   3, 17, true,  ModuleViolet, false},
    {0x00002, 0x00002, "DBOpen",         ccDatabases, 2, 17, true,  DatabaseCyan, false},
    {0x00004, 0x00004, "DBExclusive",    ccDatabases, 2, 17, true,  DatabaseCyan, false},
    {0x00008, 0x00008, "DBAdmin",        ccDatabases, 2, 17, true,  DatabaseCyan, false},
}};
// clang-format on

const std::array<std::string_view, 9> ContainerClassNames = {
    "None", "Common", "DataAccessPages", "Databases", "Forms", "Modules", "Reports", "Scripts", "Tables",
};

TContainerClass ClassOfContainer(std::string_view containerName) {
    for (std::size_t i = 0; i < ContainerClassNames.size(); ++i) {
        if (ContainerClassNames[i] == containerName) {
            auto cls = static_cast<TContainerClass>(i);
            return cls == ccReports ? ccForms : cls;
        }
    }
    return ccNone;
}

bool ColumnApplies(int col, TContainerClass rowClass, int rowLevel, std::string_view objectName) {
    checkPermissionColumn(col);
    const TSecColInfo& info = SecColInfo[col];
    if (info.ContainerClass != ccCommon) {
        if (info.ContainerClass != rowClass) return false;
        if (info.Scope != ScopeBoth && info.Scope != rowLevel) return false;
    }
    if (info.ContainerClass == ccDatabases) return objectName == "MSysDb";
    return true;
}

char PermissionLetter(std::int32_t explicitPerms, std::int32_t effectivePerms, int col) {
    checkPermissionColumn(col);
    const TSecColInfo& info = SecColInfo[col];
    return LetterTable[3 * heldState(explicitPerms, info) + heldState(effectivePerms, info)];
}

std::string PermHex(std::int32_t value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    auto bits = static_cast<std::uint32_t>(value);
    int count = 5;
    while (count < 8 && (bits >> (4 * count)) != 0)
        ++count;
    std::string text(static_cast<std::size_t>(count), '0');
    for (int i = count - 1; i >= 0; --i, bits >>= 4)
        text[static_cast<std::size_t>(i)] = digits[bits & 0xF];
    return text;
}
