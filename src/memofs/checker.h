#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tavo::memofs {

// What a walk of the memo file system from "fs0" found.
struct CheckReport {
  int directories = 0;  // indexes read, the root included
  int files = 0;
  int parts = 0;
  std::vector<std::string> problems;  // each names the memo or entry at fault
  std::vector<std::string> orphans;   // "fs0..." memos no index reaches
  bool Clean() const { return problems.empty(); }
  // One line: counts, problems and orphans.
  std::string Summary() const;
};

// Walks the memos (name -> text without the record header) from "fs0", reading
// each index as every reader does (ReadIndexText): every index is whole and
// well formed (at most 1956 characters, five fields per entry, decimal
// numbers), index and part names at most 20 characters,
// numbers and names unique per directory, every directory's index and every
// file's parts present with the right lengths. A missing empty last part (a
// size that is a multiple of 1956, as other clients store it) is tolerated, as
// is a last part recorded full (1956 characters). Where there is any problem
// the orphans are only what this reading cannot reach, and none may be removed.
// Without any "fs0..." memo the file system is unused, and clean.
CheckReport CheckMemoFileSystem(const std::map<std::string, std::string>& memos);

// The memos a check reads, wherever they are (a map, a live organizer).
class MemoSource {
 public:
  virtual ~MemoSource() = default;
  // Every memo name there is.
  virtual const std::set<std::string>& Names() = 0;
  // Text of a listed index memo (read once each).
  virtual std::string Text(const std::string& name) = 0;
  // Length of a listed part's text; nullopt when the check does not read parts.
  virtual std::optional<std::size_t> Length(const std::string& name) = 0;
};
// The same check on any source; it also finds entry names that cannot be stored.
CheckReport CheckMemoFileSystem(MemoSource& source);

}  // namespace tavo::memofs
