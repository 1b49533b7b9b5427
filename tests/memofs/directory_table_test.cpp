#include "memofs/directory_table.h"

#include <gtest/gtest.h>

#include <random>

namespace tavo::memofs {
namespace {

OrganizerState Table(std::initializer_list<DirectoryEntry> entries) {
  OrganizerState state;
  state.DirectoryTable.push_back({kReservedName, kTypeRoot, 0, 0, 0});
  for (const DirectoryEntry& e : entries) state.DirectoryTable.push_back(e);
  return state;
}

TEST(DirectoryTable, FindEntryTellsDirectoriesFromFiles) {
  const OrganizerState state =
      Table({{"A", kTypeDirectory, 0, 0, 0}, {"b c", kTypeFile, 1, 100, 1}, {"<x>", kTypeFile}});
  EXPECT_EQ(FindEntry(state, "<Sharp Memos>"), 0);
  EXPECT_EQ(FindEntry(state, "<A>"), 1);
  EXPECT_EQ(FindEntry(state, "A"), 1);  // a bare text compares the bare name
  EXPECT_EQ(FindEntry(state, "b c"), 2);
  EXPECT_EQ(FindEntry(state, "<b c>"), 2);
  EXPECT_EQ(FindEntry(state, "a"), -1);
  EXPECT_EQ(FindEntry(state, "<x>"), -1);  // "<" + "x" + ">" is not the name "<x>"
  EXPECT_EQ(FindEntry(state, "<"), -1);
  EXPECT_EQ(EntrySize(state.DirectoryTable[2]), 2056);
}

TEST(DirectoryTable, NewEntryNumberReusesTheSmallestGap) {
  EXPECT_EQ(NewEntryNumber(Table({})), 0);
  EXPECT_EQ(
      NewEntryNumber(Table(
          {{"a", kTypeFile, 0, 0, 0}, {"b", kTypeFile, 0, 0, 1}, {"c", kTypeDirectory, 0, 0, 3}})),
      2);
  EXPECT_EQ(NewEntryNumber(Table({{"a", kTypeFile, 0, 0, 1}, {"b", kTypeFile, 0, 0, 0}})), 2);
  EXPECT_EQ(NewEntryNumber(Table({{"a", kTypeFile, 0, 0, -4}, {"b", kTypeFile, 0, 0, 32767}})), 0);
}

TEST(DirectoryTable, MemoNames) {
  EXPECT_EQ(ChildIndexName("fs0_3", 12), "fs0_3_12");
  EXPECT_EQ(ParentIndexName("fs0_3_12"), "fs0_3");
  EXPECT_EQ(ParentIndexName("fs0"), "fs0");
  EXPECT_EQ(PartName("fs0_3_2", 0, 12), "fs0_3_2_00");
  EXPECT_EQ(PartName("fs0_3_2", 12, 12), "fs0_3_2_12");
  EXPECT_EQ(PartName("fs0_1", 0, 0), "fs0_1_0");
  EXPECT_EQ(PartName("fs0_1", 7, 100), "fs0_1_007");
  EXPECT_EQ(ChildIndexName("fs0_3_7_1_2_4_5_6", 12).size(), 20u);
}

// The classic exchange sort, the reference for the fast one.
template <typename T, typename Key>
void SlowExchangeSort(std::vector<T>& items, Key key) {
  for (std::size_t i = 0; i + 1 < items.size(); ++i) {
    for (std::size_t j = i + 1; j < items.size(); ++j) {
      if (key(items[i]) > key(items[j])) std::swap(items[i], items[j]);
    }
  }
}

TEST(ExchangeSort, SameOrderAsTheClassicSortIncludingEqualKeys) {
  std::mt19937 random(7);
  const auto key = [](const std::string& s) { return UpperCase(s); };
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> names;
    const int n = static_cast<int>(random() % 40);
    const bool few_letters = round % 2 == 0;  // many equal keys
    for (int i = 0; i < n; ++i) {
      std::string name;
      const int length = static_cast<int>(random() % 3);
      for (int c = 0; c < length; ++c) {
        name += few_letters ? "aAb"[random() % 3] : static_cast<char>(random() % 256);
      }
      names.push_back(name + std::to_string(i % 3));
    }
    std::vector<std::string> fast = names;
    std::vector<std::string> slow = names;
    ExchangeSortOrder(fast, key);
    SlowExchangeSort(slow, key);
    ASSERT_EQ(fast, slow) << "round " << round;
  }
}

TEST(ExchangeSort, BytesCompareUnsignedAndPrefixesFirst) {
  std::vector<std::string> names = {"\xe9t\xe9", "b", "ab", "a", "Z"};
  ExchangeSortOrder(names, [](const std::string& s) { return UpperCase(s); });
  EXPECT_EQ(names, (std::vector<std::string>{"a", "ab", "b", "Z", "\xe9t\xe9"}));
}

}  // namespace
}  // namespace tavo::memofs
