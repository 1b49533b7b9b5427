#include "memofs/index_text.h"

#include <gtest/gtest.h>

namespace tavo::memofs {
namespace {

// Kind, name, last part, last part's size and number of each entry.
std::string Show(const std::vector<DirectoryEntry>& entries) {
  std::string out;
  for (const DirectoryEntry& e : entries) {
    out += std::string(e.EntryType == kTypeDirectory ? "D," : "F,") + e.EntryName + "," +
           std::to_string(e.EntryLastPart) + "," + std::to_string(e.EntryLastPartSize) + "," +
           std::to_string(e.EntryNumber) + ";";
  }
  return out;
}

TEST(IndexText, ReadsWholeEntriesAndSurvivesDamage) {
  const std::string text = "D 0 0 0 A F 1 100 1 b\377c d 0 0 2 e ";
  const std::pair<std::string, std::string> cases[] = {
      {text, "D,A,0,0,0;F,b c,1,100,1;F,e,0,0,2;"},  // only "D" is a directory
      {text + std::string(1, '\0'), "D,A,0,0,0;F,b c,1,100,1;F,e,0,0,2;"},
      {"", ""},
      // Cut inside the second entry or its name; two characters that never
      // complete an entry.
      {"F 0 5 0 a F 0 7", "F,a,0,5,0;"},
      {"F 0 5 0 a F 0 7 1 name", "F,a,0,5,0;"},
      {"F 0 5 0 a xy", "F,a,0,5,0;"},
      // Empty fields: a file, numbers 0, an empty name.
      {"     ", "F,,0,0,0;"},
      // Numbers beyond 16 bits saturate instead of wrapping round.
      {"F 99999 70000 4294967297 big ", "F,big,32767,32767,32767;"},
      {"F -3 12abc x big ", "F,big,0,12,0;"},
  };
  for (const auto& [input, entries] : cases)
    EXPECT_EQ(Show(ParseIndexText(input)), entries) << input;
}

TEST(IndexText, WritesDirectoriesThenFilesInExchangeSortOrder) {
  const auto text = [](std::vector<DirectoryEntry> entries) {
    entries.insert(entries.begin(), DirectoryEntry{kReservedName, kTypeRoot, 0, 0, 0});
    return BuildIndexText(entries);
  };
  EXPECT_EQ(text({{"shopping list.txt", kTypeFile, 1, 1044, 1}, {"Letters", kTypeDirectory}}),
            "D 0 0 0 Letters F 1 1044 1 shopping\377list.txt ");
  // Upper-cased names compared; equal ones in the exchange sort's own
  // (unstable) order, as existing indexes show them.
  EXPECT_EQ(text({{"b", kTypeFile, 0, 1, 3},
                  {"gamma", kTypeDirectory, 0, 0, 2},
                  {"beta", kTypeDirectory, 0, 0, 0},
                  {"B", kTypeFile, 0, 1, 4},
                  {"Alpha", kTypeDirectory, 0, 0, 1},
                  {"a", kTypeFile, 0, 1, 5}}),
            "D 0 0 1 Alpha D 0 0 0 beta D 0 0 2 gamma F 0 1 5 a F 0 1 4 B F 0 1 3 b ");
  EXPECT_EQ(text({}), "");
}

TEST(MemoHeader, ExactBytes) {
  EXPECT_EQ(BuildMemoHeader("fs0"), std::string("MEMO\xff\xff\xd0\x0d\x00\x16\x00\x00\x00", 13) +
                                        "20980101" + std::string(1, '\0') + "fs0" +
                                        std::string(17, ' ') + std::string(1, '\0'));
  EXPECT_EQ(BuildMemoHeader("").substr(22), "noname" + std::string(14, ' ') + '\0');
  EXPECT_EQ(BuildMemoHeader("abcdefghijklmnopqrstuvwxy").substr(22),
            "abcdefghijklmnopqrst" + std::string(1, '\0'));
  EXPECT_EQ(BuildMemoImage("fs0_1", std::string("x\0y", 3)),
            BuildMemoHeader("fs0_1") + std::string("x\0y\0", 4));
}

}  // namespace
}  // namespace tavo::memofs
