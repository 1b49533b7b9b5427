#include "memofs/directory_table.h"

#include <gtest/gtest.h>

#include <random>

#include "memofs/names.h"

namespace tavo::memofs {
namespace {

OrganizerState Table(std::initializer_list<DirectoryEntry> entries) {
  OrganizerState state;
  state.DirectoryTable.push_back({kReservedName, kTypeRoot, 0, 0, 0});
  state.DirectoryTable.insert(state.DirectoryTable.end(), entries);
  return state;
}

TEST(DirectoryTable, PaneTextsFindTheirRowsAndNumbersStayInRange) {
  const OrganizerState state =
      Table({{"A", kTypeDirectory, 0, 0, 0}, {"b c", kTypeFile, 1, 100, 1}, {"<x>", kTypeFile}});
  // A bracketed text compares "<" + name + ">", a bare one the name itself.
  const std::pair<const char*, int> cases[] = {{"<Sharp Memos>", 0}, {"<A>", 1},   {"A", 1},
                                               {"b c", 2},           {"<b c>", 2}, {"a", -1},
                                               {"<x>", -1},          {"<", -1}};
  for (const auto& [text, row] : cases) EXPECT_EQ(FindEntry(state, text), row) << text;
  // Numbers a damaged index may hold stay out of the way of new ones.
  EXPECT_EQ(NewEntryNumber(Table({{"a", kTypeFile, 0, 0, -4}, {"b", kTypeFile, 0, 0, 32767}})), 0);
}

TEST(DirectoryTable, MemoNames) {
  EXPECT_EQ(ChildIndexName("fs0_3", 12), "fs0_3_12");
  // Part numbers padded to the digits of the last part.
  EXPECT_EQ(PartName("fs0_3_2", 0, 12), "fs0_3_2_00");
  EXPECT_EQ(PartName("fs0_3_2", 12, 12), "fs0_3_2_12");
  EXPECT_EQ(PartName("fs0_1", 0, 0), "fs0_1_0");
  EXPECT_EQ(PartName("fs0_1", 7, 100), "fs0_1_007");
  // Only names the file system makes are its own; the rest are plain memos.
  for (const char* name : {"fs0", "fs0_3", "fs0_3_2_07", "fs0_1_2_3_4_5_6_7_89"}) {
    EXPECT_TRUE(FileSystemMemo(name)) << name;
  }
  for (const char* name : {"fs0 ideas", "fs0x", "fs01", "fs0_", "fs0__1", "fs0_1_", "fs0_a", "fs",
                           "Fs0", "fs0_1_2_3_4_5_6_7_8_9", ""}) {
    EXPECT_FALSE(FileSystemMemo(name)) << name;
  }
}

// The fast sort against the classic exchange sort, equal keys and bytes above
// 127 (compared unsigned) included.
TEST(ExchangeSort, SameOrderAsTheClassicSort) {
  std::mt19937 random(7);
  const auto key = [](const std::string& s) { return UpperCase(s); };
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> names;
    const int n = static_cast<int>(random() % 40);
    for (int i = 0; i < n; ++i) {
      std::string name;
      for (int c = static_cast<int>(random() % 3); c > 0; --c) {
        name += round % 2 == 0 ? "aAb"[random() % 3] : static_cast<char>(random() % 256);
      }
      names.push_back(name + std::to_string(i % 3));
    }
    std::vector<std::string> slow = names;
    for (std::size_t i = 0; i + 1 < slow.size(); ++i) {
      for (std::size_t j = i + 1; j < slow.size(); ++j) {
        if (key(slow[i]) > key(slow[j])) std::swap(slow[i], slow[j]);
      }
    }
    ExchangeSortOrder(names, key);
    ASSERT_EQ(names, slow) << "round " << round;
  }
}

}  // namespace
}  // namespace tavo::memofs
