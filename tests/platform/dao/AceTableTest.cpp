#include "dao/engine/AceTable.h"

#include <gtest/gtest.h>

using dao::engine::AceTable;

TEST(AceTable, LoadedAndAddedEntriesAreFoundByObjectAndSid) {
    AceTable table;
    // Objects 0 and 3 have entries, 1 and 2 none; of two entries with one key the later one counts.
    table.assign({{3, 7, {0x10, true}}, {0, 2, {0x1, false}}, {3, 1, {0x20, false}}, {0, 2, {0x2, true}}});
    EXPECT_EQ(table.find(0, 2)->acm, 0x2);
    EXPECT_TRUE(table.find(0, 2)->inheritable);
    EXPECT_EQ(table.find(3, 1)->acm, 0x20);
    EXPECT_EQ(table.find(3, 7)->acm, 0x10);
    EXPECT_EQ(table.find(1, 2), nullptr);
    EXPECT_EQ(table.find(3, 2), nullptr);
    EXPECT_EQ(table.find(9, 2), nullptr);
    table.upsert(3, 1).acm = 0x21; // in place
    table.upsert(1, 5) = {0x5, false};
    EXPECT_EQ(table.find(3, 1)->acm, 0x21);
    EXPECT_EQ(table.find(1, 5)->acm, 0x5);
    // Enough added entries to lay everything out again; every entry stays, in object and SID order.
    for (std::uint32_t i = 0; i < 5000; ++i)
        table.upsert(10 + i % 50, i) = {std::int32_t(i), i % 2 == 0};
    for (std::uint32_t i = 0; i < 5000; i += 499) {
        ASSERT_NE(table.find(10 + i % 50, i), nullptr);
        EXPECT_EQ(table.find(10 + i % 50, i)->acm, std::int32_t(i));
        EXPECT_EQ(table.find(10 + i % 50, i)->inheritable, i % 2 == 0);
    }
    EXPECT_EQ(table.find(3, 1)->acm, 0x21);
    const std::vector<AceTable::Entry> all = table.entries();
    ASSERT_EQ(all.size(), 5004u);
    for (std::size_t i = 1; i < all.size(); ++i)
        ASSERT_TRUE(all[i - 1].obj < all[i].obj ||
                    (all[i - 1].obj == all[i].obj && all[i - 1].sid < all[i].sid));
}
