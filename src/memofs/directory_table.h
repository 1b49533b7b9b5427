#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavo::memofs {

inline constexpr int kRootRow = 0;
inline constexpr std::int16_t kTypeRoot = 0;
inline constexpr std::int16_t kTypeParent = 1;
inline constexpr std::int16_t kTypeDirectory = 2;
inline constexpr std::int16_t kTypeFile = 3;

inline constexpr std::size_t kPartSize = 1956;      // characters of a file part memo
inline constexpr std::size_t kMaxIndexText = 1956;  // characters of an index memo's text
inline constexpr std::size_t kMaxMemoName = 20;     // characters of an index or part name
inline constexpr const char* kRootIndexName = "fs0";
inline constexpr const char* kReservedName = "Sharp Memos";

struct DirectoryEntry {
  std::string EntryName;  // blanks as blanks
  std::int16_t EntryType = kTypeFile;
  std::int16_t EntryLastPart = 0;
  std::int16_t EntryLastPartSize = 0;
  std::int16_t EntryNumber = 0;
};

// The organizer side of the client's state. Row 0 of the table is the root or
// parent row; the table grows as needed (a memo view may list any number).
struct OrganizerState {
  std::vector<DirectoryEntry> DirectoryTable;
  std::string CurrentIndexName = kRootIndexName;
  int CurrentDepth = 0;
  int MemoViewActive = 0;
  int StopRequested = 0;

  int EntryCount() const { return static_cast<int>(DirectoryTable.size()); }
};

// Size of a file row: EntryLastPart * 1956 + EntryLastPartSize.
std::int32_t EntrySize(const DirectoryEntry& entry);

// Row named by a pane text ("<name>" for directories and rows 0, bare for files), or -1.
int FindEntry(const OrganizerState& state, const std::string& text);
// Smallest number from 0 up that no entry row uses.
int NewEntryNumber(const OrganizerState& state);
// Whether two entry rows (1 to end) share a number: their memos are then
// the same memos, and a change to one would destroy the other.
bool RepeatsNumber(const std::vector<DirectoryEntry>& table);
// Removes row r (r >= 1) keeping the order of the others.
void RemoveRow(OrganizerState& state, int r);

// "fs0_3" + "_" + number.
std::string ChildIndexName(const std::string& index_name, int number);
// The index name with its last "_" level cut off.
std::string ParentIndexName(const std::string& index_name);
// Decimal digits of a non-negative number (1 for 0).
int DigitCount(long long value);
// stem + "_" + part, the part left-padded with "0" to the digits of last_part.
std::string PartName(const std::string& stem, int part, int last_part);

// Upper-cases ASCII letters only: names are bytes, compared by code.
std::string UpperCase(const std::string& text);
// Orders items as the exchange sort on upper-cased names does (not stable for
// equal keys), in O(n log n). key(item) gives the upper-cased name.
template <typename T, typename Key>
void ExchangeSortOrder(std::vector<T>& items, Key key);

}  // namespace tavo::memofs

#include "memofs/exchange_sort.h"  // IWYU pragma: export
