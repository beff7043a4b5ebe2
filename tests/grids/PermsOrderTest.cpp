// The permissions grid's default order, "Contnr/Object": container, object name (a container's own
// rows first), kind ("G" before "U" in ascending text order), account name; all compared ignoring
// case. Checked row by row against a hand-written list, with whole rows moving.
#include "grids/model/PermsGridRules.h"
#include "grids/model/PermsGridWriter.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* container;
    const char* object;
    char kind;
    const char* account;
};

// The expected order. Case decides nothing: "forms" before "Reports", "alpha" before "Zeta", "admins"
// before "Users" and "Alice" before "bob".
const Row kSorted[] = {
    {"forms", "<container>", 'G', "admins"},   {"forms", "<container>", 'G', "Users"},
    {"forms", "<container>", 'U', "Alice"},    {"forms", "<container>", 'U', "bob"},
    {"forms", "alpha", 'G', "admins"},         {"forms", "alpha", 'G', "Users"},
    {"forms", "alpha", 'U', "Alice"},          {"forms", "alpha", 'U', "bob"},
    {"forms", "Zeta", 'G', "admins"},          {"forms", "Zeta", 'G', "Users"},
    {"forms", "Zeta", 'U', "Alice"},           {"forms", "Zeta", 'U', "bob"},
    {"Reports", "<container>", 'G', "admins"}, {"Reports", "<container>", 'G', "Users"},
    {"Reports", "<container>", 'U', "Alice"},  {"Reports", "<container>", 'U', "bob"},
    {"Reports", "Sales", 'G', "admins"},       {"Reports", "Sales", 'G', "Users"},
    {"Reports", "Sales", 'U', "Alice"},        {"Reports", "Sales", 'U', "bob"},
};
constexpr int kRows = static_cast<int>(std::size(kSorted));

} // namespace

TEST(PermsGridOrder, ContainerObjectKindNameIgnoringCase) {
    TStringGridModel model;
    SetupBarePermsModel(model);
    TPermsGridWriter writer(model);
    // Written in a scrambled order; each row's explicit value is its expected position.
    for (int i = 0; i < kRows; ++i) {
        const int from = (i * 7) % kRows;
        const Row& r = kSorted[from];
        TPermRow row;
        row.Seq = i + 1;
        row.Container = r.container;
        row.ObjectName = r.object;
        row.Kind = r.kind;
        row.UGName = r.account;
        row.Explicit = from + 1;
        row.Inherit = std::string(r.object) == "<container>" ? 'T' : '-';
        row.Letters.fill('-');
        writer.WriteRow(i + 1, row);
    }
    writer.Finish(kRows);
    ApplyPermsViewOptions(model, 0, PermSortObject);

    ASSERT_EQ(model.rowCount(), kRows + 1);
    EXPECT_EQ(model.cell(colContainer, 0), QStringLiteral("Container"));
    for (int i = 0; i < kRows; ++i) {
        const Row& r = kSorted[i];
        SCOPED_TRACE("row " + std::to_string(i + 1));
        EXPECT_EQ(model.cell(colContainer, i + 1).toStdString(), r.container);
        EXPECT_EQ(model.cell(colObjectName, i + 1).toStdString(), r.object);
        EXPECT_EQ(model.cell(colUserGroup, i + 1).toStdString(), std::string(1, r.kind));
        EXPECT_EQ(model.cell(colUGName, i + 1).toStdString(), r.account);
        EXPECT_EQ(model.cell(colPermExp, i + 1), PermHex(i + 1).c_str()); // the whole row moved
    }
}
