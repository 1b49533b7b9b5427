#include "memofs/index_text.h"

#include <gtest/gtest.h>

namespace tavo::memofs {
namespace {

const std::string kFF(1, static_cast<char>(255));

std::vector<DirectoryEntry> WithRowZero(std::vector<DirectoryEntry> entries) {
  entries.insert(entries.begin(), DirectoryEntry{kReservedName, kTypeRoot, 0, 0, 0});
  return entries;
}

void ExpectEntry(const DirectoryEntry& e, const std::string& name, int type, int last, int size,
                 int number) {
  EXPECT_EQ(e.EntryName, name);
  EXPECT_EQ(e.EntryType, type);
  EXPECT_EQ(e.EntryLastPart, last);
  EXPECT_EQ(e.EntryLastPartSize, size);
  EXPECT_EQ(e.EntryNumber, number);
}

TEST(IndexText, ParsesEntriesWithBlanksInNamesAndKinds) {
  const std::string text = "D 0 0 0 A F 1 100 1 b" + kFF + "c d 0 0 2 e ";
  const auto entries = ParseIndexText(text);
  ASSERT_EQ(entries.size(), 3u);
  ExpectEntry(entries[0], "A", kTypeDirectory, 0, 0, 0);
  ExpectEntry(entries[1], "b c", kTypeFile, 1, 100, 1);
  ExpectEntry(entries[2], "e", kTypeFile, 0, 0, 2);  // "d" is not a directory
  EXPECT_TRUE(ParseIndexText("").empty());
  EXPECT_EQ(ParseIndexText(text + std::string(1, '\0')).size(), 3u);
}

TEST(IndexText, DamagedTextsYieldTheWholeEntriesOnly) {
  // Cut inside the second entry, or inside its name.
  EXPECT_EQ(ParseIndexText("F 0 5 0 a F 0 7").size(), 1u);
  EXPECT_EQ(ParseIndexText("F 0 5 0 a F 0 7 1 name").size(), 1u);
  // Two characters after the last entry start an entry that never completes.
  EXPECT_EQ(ParseIndexText("F 0 5 0 a xy").size(), 1u);
  // Empty fields: empty kind is a file, empty numbers are 0, empty names are names.
  auto entries = ParseIndexText("     ");
  ASSERT_EQ(entries.size(), 1u);
  ExpectEntry(entries[0], "", kTypeFile, 0, 0, 0);
  // Numbers beyond 16 bits saturate instead of wrapping round.
  entries = ParseIndexText("F 99999 70000 4294967297 big ");
  ASSERT_EQ(entries.size(), 1u);
  ExpectEntry(entries[0], "big", kTypeFile, 32767, 32767, 32767);
  entries = ParseIndexText("F -3 12abc x big ");
  ExpectEntry(entries[0], "big", kTypeFile, 0, 12, 0);
}

TEST(IndexText, WritesDirectoriesThenFilesInUpperCaseOrder) {
  const auto table = WithRowZero(
      {{"shopping list.txt", kTypeFile, 1, 1044, 1}, {"Letters", kTypeDirectory, 0, 0, 0}});
  const std::string text = BuildIndexText(table);
  EXPECT_EQ(text, "D 0 0 0 Letters F 1 1044 1 shopping" + kFF + "list.txt ");
  EXPECT_EQ(text.size(), 45u);
  EXPECT_EQ(BuildMemoImage("fs0", text).size(), 89u);

  const auto order = WithRowZero({{"a", kTypeFile, 0, 1, 3},
                                  {"gamma", kTypeDirectory, 0, 0, 2},
                                  {"beta", kTypeDirectory, 0, 0, 0},
                                  {"Alpha", kTypeDirectory, 0, 0, 1}});
  EXPECT_EQ(BuildIndexText(order), "D 0 0 1 Alpha D 0 0 0 beta D 0 0 2 gamma F 0 1 3 a ");
  EXPECT_EQ(BuildIndexText(WithRowZero({})), "");
}

TEST(IndexText, WrittenTextReadsBackToTheSameEntries) {
  std::vector<DirectoryEntry> entries;
  for (int i = 0; i < 40; ++i) {
    std::string name = "n " + std::to_string(i);
    name += static_cast<char>(i == 3 ? 0 : 200 + i);
    entries.push_back({name, i % 3 == 0 ? kTypeDirectory : kTypeFile,
                       static_cast<std::int16_t>(i % 3 == 0 ? 0 : i),
                       static_cast<std::int16_t>(i % 3 == 0 ? 0 : 1956 - i),
                       static_cast<std::int16_t>(39 - i)});
  }
  const auto read = ParseIndexText(BuildIndexText(WithRowZero(entries)));
  ASSERT_EQ(read.size(), entries.size());
  for (const DirectoryEntry& e : entries) {
    bool found = false;
    for (const DirectoryEntry& r : read) {
      if (r.EntryName == e.EntryName) {
        found = true;
        ExpectEntry(r, e.EntryName, e.EntryType, e.EntryLastPart, e.EntryLastPartSize,
                    e.EntryNumber);
      }
    }
    EXPECT_TRUE(found) << e.EntryName;
  }
}

TEST(MemoHeader, ExactBytes) {
  const std::string header = BuildMemoHeader("fs0");
  const std::string expected = std::string("MEMO\xff\xff\xd0\x0d\x00\x16\x00\x00\x00", 13) +
                               "20980101" + std::string(1, '\0') + "fs0" + std::string(17, ' ') +
                               std::string(1, '\0');
  EXPECT_EQ(header, expected);
  EXPECT_EQ(BuildMemoHeader("").substr(22, 20), "noname" + std::string(14, ' '));
  EXPECT_EQ(BuildMemoHeader("abcdefghijklmnopqrstuvwxy").substr(22, 20), "abcdefghijklmnopqrst");
  EXPECT_EQ(BuildMemoHeader("abcdefghijklmnopqrstuvwxy").size(), 43u);
  const std::string image = BuildMemoImage("fs0_1", std::string("x\0y", 3));
  EXPECT_EQ(image.size(), 43u + 3 + 1);
  EXPECT_EQ(image.back(), '\0');
}

}  // namespace
}  // namespace tavo::memofs
