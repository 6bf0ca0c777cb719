#include "platform/AtomTable.h"

#include <gtest/gtest.h>

namespace quietpane {
namespace {

TEST(AtomTableTest, SameNameGivesTheSameIdAndCountsItsUses)
{
    AtomTable table;
    const uint16_t id = table.AddAtom("HotKeyManagerHotKey49224");

    EXPECT_EQ(id, AtomTable::FirstAtom);
    EXPECT_EQ(table.AddAtom("HotKeyManagerHotKey49224"), id);
    EXPECT_EQ(table.UseCount(id), 2);
    EXPECT_EQ(table.AddAtom("HotKeyManagerHotKey49231"), AtomTable::FirstAtom + 1);

    EXPECT_EQ(table.DeleteAtom(id), 0);
    EXPECT_EQ(table.FindAtom("HotKeyManagerHotKey49224"), id);
    EXPECT_EQ(table.DeleteAtom(id), 0);
    EXPECT_EQ(table.FindAtom("HotKeyManagerHotKey49224"), 0);
    EXPECT_EQ(table.UseCount(id), 0);
}

TEST(AtomTableTest, DeletingAnUnknownIdChangesNothingAndReturnsIt)
{
    AtomTable table;
    const uint16_t id = table.AddAtom("a");

    EXPECT_EQ(table.DeleteAtom(0xC123), 0xC123);
    EXPECT_EQ(table.UseCount(id), 1);
}

TEST(AtomTableTest, FreedIdsAreReusedAndAFullTableRefuses)
{
    AtomTable table;
    EXPECT_EQ(table.AddAtom(""), 0);
    for (uint32_t n = AtomTable::FirstAtom; n <= 0xFFFF; ++n) {
        ASSERT_EQ(table.AddAtom("atom" + std::to_string(n)), n);
    }
    EXPECT_EQ(table.AddAtom("one too many"), 0);

    table.DeleteAtom(0xC010);
    EXPECT_EQ(table.AddAtom("again"), 0xC010);
}

} // namespace
} // namespace quietpane
