#include "security/PermissionColumns.h"
#include "security/AuditReport.h"

#include <map>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

int columnOf(std::string_view caption) {
    for (int c = 0; c < SecColCount; ++c)
        if (SecColInfo[c].Caption == caption) return c;
    ADD_FAILURE() << "no column " << caption;
    return -1;
}

// Letters of one column over a row of (explicit, effective) pairs, as a string.
std::string letters(int col, std::initializer_list<std::pair<std::int32_t, std::int32_t>> values) {
    std::string out;
    for (auto [e, a] : values)
        out += PermissionLetter(e, a, col);
    return out;
}

TEST(SecColInfoTable, MasksAreConsistentAndDescriptiveColumnsEmpty) {
    for (int c = 0; c < SecColCount; ++c) {
        const auto& info = SecColInfo[c];
        SCOPED_TRACE(std::string(info.Caption));
        EXPECT_EQ(info.DisableMask & ~info.EnableMask, 0) << "DisableMask must be a subset of EnableMask";
        if (c < FirstPermColumn) {
            EXPECT_EQ(info.EnableMask, 0);
            EXPECT_EQ(info.DisableMask, 0);
            EXPECT_EQ(info.Color, 0u);
            EXPECT_EQ(info.ContainerClass, ccNone);
        } else {
            EXPECT_NE(info.DisableMask, 0);
            EXPECT_TRUE(info.RotatedHeader);
            EXPECT_FALSE(info.Resizable);
            EXPECT_NE(info.ContainerClass, ccNone);
            EXPECT_NE(info.ContainerClass, ccReports);
            EXPECT_NE(info.ContainerClass, ccDataAccessPages);
            if (info.ContainerClass != ccCommon) {
                EXPECT_TRUE(info.Scope >= 1 && info.Scope <= 3);
            }
        }
    }
    // Only the name columns may be resized.
    for (int c = 0; c < FirstPermColumn; ++c)
        EXPECT_EQ(SecColInfo[c].Resizable, c == colContainer || c == colObjectName || c == colUGName) << c;
}

TEST(ContainerClasses, ExactNamesOnlyAndReportsCountAsForms) {
    for (std::size_t i = 0; i < ContainerClassNames.size(); ++i) {
        auto expected =
            static_cast<TContainerClass>(i) == ccReports ? ccForms : static_cast<TContainerClass>(i);
        EXPECT_EQ(ClassOfContainer(ContainerClassNames[i]), expected) << ContainerClassNames[i];
    }
    EXPECT_EQ(ClassOfContainer("reports"), ccNone);
    EXPECT_EQ(ClassOfContainer("TABLES"), ccNone);
    EXPECT_EQ(ClassOfContainer("Tables "), ccNone);
    EXPECT_EQ(ClassOfContainer("Relationships"), ccNone);
    EXPECT_EQ(ClassOfContainer(""), ccNone);
}

TEST(ColumnApplies, ReportsContainerUsesFormColumnsAndUnknownOnlyCommon) {
    const auto reports = ClassOfContainer("Reports");
    for (int c = FirstPermColumn; c <= LastPermColumn; ++c) {
        bool common = c <= 13;
        bool form = c >= 20 && c <= 22;
        EXPECT_EQ(ColumnApplies(c, reports, RowLevelContainer, ""), common || form) << c;
        EXPECT_EQ(ColumnApplies(c, reports, RowLevelDocument, "rptSales"), common || form) << c;
        EXPECT_EQ(ColumnApplies(c, ClassOfContainer("reports"), RowLevelContainer, ""), common) << c;
        EXPECT_EQ(ColumnApplies(c, ccDataAccessPages, RowLevelDocument, "page"), common) << c;
    }
}

TEST(ColumnApplies, DatabaseRightsOnlyOnMSysDbDocument) {
    const auto dbs = ClassOfContainer("Databases");
    for (int c : {columnOf("DBOpen"), columnOf("DBExclusive"), columnOf("DBAdmin")}) {
        EXPECT_TRUE(ColumnApplies(c, dbs, RowLevelDocument, "MSysDb")) << c;
        EXPECT_FALSE(ColumnApplies(c, dbs, RowLevelContainer, "")) << c;
        EXPECT_FALSE(ColumnApplies(c, dbs, RowLevelContainer, "MSysDb")) << c;
        EXPECT_FALSE(ColumnApplies(c, dbs, RowLevelDocument, "msysdb")) << c;
        EXPECT_FALSE(ColumnApplies(c, dbs, RowLevelDocument, "Other")) << c;
        EXPECT_FALSE(ColumnApplies(c, ccTables, RowLevelDocument, "MSysDb")) << c;
    }
    // ModReadDef shares DBOpen's mask but not its class.
    EXPECT_FALSE(ColumnApplies(columnOf("ModReadDef"), dbs, RowLevelDocument, "MSysDb"));
}

TEST(ColumnApplies, CommonRightsOnContainersAndDocuments) {
    const int create = columnOf("Create");
    for (auto cls : {ccNone, ccTables, ccDatabases, ccForms}) {
        EXPECT_TRUE(ColumnApplies(create, cls, RowLevelContainer, ""));
        EXPECT_TRUE(ColumnApplies(create, cls, RowLevelDocument, "doc"));
    }
    EXPECT_TRUE(ColumnApplies(columnOf("ReadDef"), ccTables, RowLevelContainer, ""));
    EXPECT_TRUE(ColumnApplies(columnOf("ReadDef"), ccTables, RowLevelDocument, "Orders"));
    EXPECT_FALSE(ColumnApplies(columnOf("FrmRptReadDef"), ccTables, RowLevelDocument, "Orders"));
}

TEST(PermissionLetter, WriteDefCoversTheLetterTable) {
    const int writeDef = columnOf("WriteDef");
    EXPECT_EQ(letters(writeDef, {{0x1000C, 0x1000C},
                                 {8, 8},
                                 {0, 0x1000C},
                                 {0, 0xC},
                                 {8, 0x1000C},
                                 {0x1000C, 0},
                                 {8, 0},
                                 {0, 0},
                                 {0, 4}}),
              "EeIiJEe  ");
}

TEST(PermissionLetter, PartialMasksOfMacroAndModuleRights) {
    const int macReadDef = columnOf("MacReadDef");
    EXPECT_EQ(letters(macReadDef, {{8, 0}, {2, 0}, {0xA, 0}, {8, 0xA}}), "  EI");
    const int modWriteDef = columnOf("ModWriteDef");
    EXPECT_EQ(letters(modWriteDef, {{4, 0}, {0x10006, 0}, {6, 0x10006}, {2, 0}}), "eEJ ");
    // Negative values are plain bit sets: all bits set holds every right in full.
    for (int c = FirstPermColumn; c <= LastPermColumn; ++c)
        EXPECT_EQ(PermissionLetter(-1, 0, c), 'E') << c;
}

TEST(PermissionColumns, RejectDescriptiveAndOutOfRangeColumns) {
    for (int c : {-1, 0, 8, 31, 1000}) {
        EXPECT_THROW(PermissionLetter(0, 0, c), std::out_of_range) << c;
        EXPECT_THROW(ColumnApplies(c, ccTables, RowLevelContainer, ""), std::out_of_range) << c;
    }
}

TEST(PermHex, WidthsAndNegatives) {
    EXPECT_EQ(PermHex(0), "00000");
    EXPECT_EQ(PermHex(0x1000C), "1000C");
    EXPECT_EQ(PermHex(0xFFFFF), "FFFFF");
    EXPECT_EQ(PermHex(0xabc), "00ABC");
    EXPECT_EQ(PermHex(0x100000), "100000");
    EXPECT_EQ(PermHex(0x0FFFFFFF), "FFFFFFF");
    EXPECT_EQ(PermHex(0x7FFFFFFF), "7FFFFFFF");
    EXPECT_EQ(PermHex(-1), "FFFFFFFF");
    EXPECT_EQ(PermHex(INT32_MIN), "80000000");
    EXPECT_EQ(PermHex(-0x10), "FFFFFFF0");
}

} // namespace

// Each legend text says what the letter rule means by its letter: how much of the right the account
// holds itself (not, in part, in full) and what its groups add. Two texts swapped fail here.
TEST(PermissionLegendTest, EachLetterTextSaysWhatItsRuleMeans) {
    // A right that can be held in part: its disable bits are some of its enable bits.
    int col = FirstPermColumn;
    while (SecColInfo[static_cast<std::size_t>(col)].DisableMask ==
           SecColInfo[static_cast<std::size_t>(col)].EnableMask)
        ++col;
    const TSecColInfo& info = SecColInfo[static_cast<std::size_t>(col)];
    const std::int32_t values[] = {0, info.DisableMask, info.EnableMask}; // not held, in part, in full
    std::map<std::string, std::string> legend(PermissionLegend().begin(), PermissionLegend().end());
    int checked = 0;
    for (int own = 0; own < 3; ++own) {
        for (int all = own; all < 3; ++all) {
            const char letter = PermissionLetter(values[own], values[own] | values[all], col);
            const std::string term = letter == ' ' ? "(blank)" : std::string(1, letter);
            ASSERT_TRUE(legend.count(term)) << term;
            const std::string& text = legend[term];
            const auto says = [&](const char* phrase) { return text.find(phrase) != std::string::npos; };
            const bool ownNone = says("not granted") || says("not held"), ownFull = says("itself, in full"),
                       ownPart = says("in part to the account itself") || says("itself, but only in part");
            EXPECT_EQ(ownNone, own == 0) << term << ": " << text;
            EXPECT_EQ(ownPart, own == 1) << term << ": " << text;
            EXPECT_EQ(ownFull, own == 2) << term << ": " << text;
            // What the groups add: nothing, the rest in part, or the rest in full.
            EXPECT_EQ(says("in full through"), all == 2 && own < 2) << term << ": " << text;
            EXPECT_EQ(says("in part through"), all == 1 && own == 0) << term << ": " << text;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 6);
}
