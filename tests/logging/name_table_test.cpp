#include "logging/name_table.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

constexpr char kCategories[] = "              \tMain Thread   \tEvent Thread  \tDevice Thread \t";

TEST(NameTable, EntriesFollowEachTabAndTheLastIsEmpty) {
    NameTable table;
    table.Define(kCategories, 0);
    EXPECT_EQ(table.TabCount(), 4);
    EXPECT_STREQ(table.Lookup(0), "              ");
    EXPECT_STREQ(table.Lookup(1), "Main Thread   ");
    EXPECT_STREQ(table.Lookup(2), "Event Thread  ");
    EXPECT_STREQ(table.Lookup(3), "Device Thread ");
    EXPECT_STREQ(table.Lookup(4), "");
}

TEST(NameTable, IndexOutsideZeroToTabCountSelectsTheDefault) {
    NameTable table;
    table.Define("a\tb\tc", 1);
    EXPECT_EQ(table.TabCount(), 2);
    EXPECT_STREQ(table.Lookup(2), "c");
    for (int index : {-1, 3, 2147483647, -2147483647 - 1}) EXPECT_STREQ(table.Lookup(index), "b") << index;
}

TEST(NameTable, DefaultIndexIsClampedToTheTable) {
    NameTable table;
    table.Define("a\tb\tc", -5);
    EXPECT_EQ(table.DefaultIndex(), 0);
    table.Define("a\tb\tc", 9);
    EXPECT_EQ(table.DefaultIndex(), 2);
    EXPECT_STREQ(table.Lookup(-1), "c");
}

TEST(NameTable, EmptyTableYieldsEmptyText) {
    NameTable table;
    EXPECT_STREQ(table.Lookup(0), "");
    table.Define("x\ty", 1);
    table.Define(nullptr, 3);
    EXPECT_EQ(table.TabCount(), 0);
    EXPECT_EQ(table.DefaultIndex(), 0);
    for (int index : {0, 1, -1}) EXPECT_STREQ(table.Lookup(index), "") << index;
}

TEST(NameTable, CopyKeepsItsOwnEntries) {
    NameTable original;
    original.Define("one\ttwo", 0);
    const NameTable copy = original;
    original.Define("three\tfour", 0);
    EXPECT_STREQ(copy.Lookup(1), "two");
    EXPECT_STREQ(original.Lookup(1), "four");
}

}  // namespace
}  // namespace zel
