#include "memofs/directory_table.h"

#include <set>
#include <vector>

namespace tavo::memofs {

std::int32_t EntrySize(const DirectoryEntry& entry) {
  return static_cast<std::int32_t>(entry.EntryLastPart) * static_cast<std::int32_t>(kPartSize) +
         entry.EntryLastPartSize;
}

int FindEntry(const OrganizerState& state, const std::string& text) {
  const bool bracketed = text.size() >= 2 && text[0] == '<';
  for (int r = 0; r < state.EntryCount(); ++r) {
    const std::string& name = state.DirectoryTable[r].EntryName;
    if (bracketed ? text == "<" + name + ">" : text == name) return r;
  }
  return -1;
}

int NewEntryNumber(const OrganizerState& state) {
  const int count = state.EntryCount();
  std::vector<bool> used(static_cast<std::size_t>(count) + 1, false);
  for (int r = 1; r < count; ++r) {
    const int number = state.DirectoryTable[r].EntryNumber;
    if (number >= 0 && number <= count) used[number] = true;
  }
  int n = 0;
  while (n < count && used[n]) ++n;
  return n;
}

bool RepeatsNumber(const std::vector<DirectoryEntry>& table) {
  std::set<int> numbers;
  for (std::size_t r = 1; r < table.size(); ++r) {
    if (!numbers.insert(table[r].EntryNumber).second) return true;
  }
  return false;
}

void RemoveRow(OrganizerState& state, int r) {
  if (r < 1 || r >= state.EntryCount()) return;
  state.DirectoryTable.erase(state.DirectoryTable.begin() + r);
}

std::string ChildIndexName(const std::string& index_name, int number) {
  return index_name + "_" + std::to_string(number);
}

std::string ParentIndexName(const std::string& index_name) {
  const std::size_t cut = index_name.rfind('_');
  return cut == std::string::npos ? index_name : index_name.substr(0, cut);
}

int DigitCount(long long value) {
  int digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

std::string PartName(const std::string& stem, int part, int last_part) {
  std::string number = std::to_string(part);
  const int width = DigitCount(last_part < 0 ? 0 : last_part);
  if (static_cast<int>(number.size()) < width) {
    number.insert(0, static_cast<std::size_t>(width) - number.size(), '0');
  }
  return stem + "_" + number;
}

std::string UpperCase(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

}  // namespace tavo::memofs
