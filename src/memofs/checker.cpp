#include "memofs/checker.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <set>
#include <utility>

#include "memofs/directory_table.h"
#include "memofs/index_text.h"
#include "memofs/names.h"

namespace tavo::memofs {

namespace {

class Walker {
 public:
  Walker(MemoSource& memos, CheckReport& report) : memos_(memos), report_(report) {}

  void Directory(const std::string& index) {
    reached_.insert(index);
    // The client never enters such a directory, so what lies below is out of its reach.
    if (index.size() > kMaxMemoName) {
      Problem(index, "index name longer than 20 characters");
      return;
    }
    if (memos_.Names().count(index) == 0) {
      Problem(index, "directory index missing");
      return;
    }
    ++report_.directories;
    // Read as every reader reads it, so that orphans are what none can reach.
    const IndexReading reading = ReadIndexText(memos_.Text(index));
    if (!reading.fault.empty()) Problem(index, reading.fault);
    std::set<int> numbers;
    std::set<std::pair<bool, std::string>> names;
    for (const DirectoryEntry& e : reading.entries) {
      const bool directory = e.EntryType == kTypeDirectory;
      if (!StorableName(e.EntryName, true)) {
        Problem(index,
                "name " + ShownField(e.EntryName) + " cannot be stored (line end or character 0)");
      }
      if (!numbers.insert(e.EntryNumber).second) {
        Problem(index, "number " + std::to_string(e.EntryNumber) + " used twice");
      }
      // The client finds the first of two same names only; the second is lost to it.
      if (!names.insert({directory, e.EntryName}).second) {
        Problem(index,
                (directory ? "directory " : "file ") + ShownField(e.EntryName) + " listed twice");
      }
      const std::string stem = ChildIndexName(index, e.EntryNumber);
      // Names grow downwards and stop at 20 characters, so the walk ends.
      if (directory) {
        Directory(stem);
      } else {
        File(stem, e);
      }
    }
  }

  void Orphans() {
    for (const std::string& name : memos_.Names()) {
      if (FileSystemMemo(name) && reached_.count(name) == 0) {
        report_.orphans.push_back(name);
      }
    }
  }

 private:
  void File(const std::string& stem, const DirectoryEntry& e) {
    ++report_.files;
    if (!ReadableFileEntry(e)) {
      Problem(stem, "impossible part numbers");
      // What it names is no orphan: only the entry's numbers may be wrong.
      for (int k = 0; k <= e.EntryLastPart; ++k)
        reached_.insert(PartName(stem, k, e.EntryLastPart));
      return;
    }
    if (PartName(stem, 0, e.EntryLastPart).size() > kMaxMemoName) {
      Problem(PartName(stem, 0, e.EntryLastPart), "part name longer than 20 characters");
    }
    std::string first_missing;
    int missing = 0;
    for (int k = 0; k <= e.EntryLastPart; ++k) {
      const std::string name = PartName(stem, k, e.EntryLastPart);
      const bool last = k == e.EntryLastPart;
      const std::size_t want = last ? static_cast<std::size_t>(e.EntryLastPartSize) : kPartSize;
      if (memos_.Names().count(name) == 0) {
        // Other clients store no empty last part after full ones.
        if (!(last && k > 0 && want == 0) && missing++ == 0) first_missing = name;
        continue;
      }
      reached_.insert(name);
      ++report_.parts;
      const std::optional<std::size_t> length = memos_.Length(name);
      if (length && *length != want) {
        Problem(name, "part holds " + std::to_string(*length) + " characters, not " +
                          std::to_string(want));
      }
    }
    // One line per file: a damaged count can name thousands of parts.
    if (missing > 0) {
      Problem(first_missing, missing == 1 ? std::string("part missing")
                                          : "part missing, and " + std::to_string(missing - 1) +
                                                " more of this file");
    }
  }

  void Problem(const std::string& where, const std::string& what) {
    report_.problems.push_back(where + ": " + what);
  }

  MemoSource& memos_;
  CheckReport& report_;
  std::set<std::string> reached_;
};

}  // namespace

std::string CheckReport::Summary() const {
  return std::to_string(directories) + " directories, " + std::to_string(files) + " files, " +
         std::to_string(parts) + " parts, " + std::to_string(problems.size()) + " problems, " +
         std::to_string(orphans.size()) + " orphans";
}

namespace {

class MapSource : public MemoSource {
 public:
  explicit MapSource(const std::map<std::string, std::string>& memos) : memos_(memos) {
    for (const auto& [name, text] : memos) names_.insert(names_.end(), name);
  }
  const std::set<std::string>& Names() override { return names_; }
  std::string Text(const std::string& name) override { return memos_.at(name); }
  std::optional<std::size_t> Length(const std::string& name) override {
    return memos_.at(name).size();
  }

 private:
  const std::map<std::string, std::string>& memos_;
  std::set<std::string> names_;
};

}  // namespace

CheckReport CheckMemoFileSystem(const std::map<std::string, std::string>& memos) {
  MapSource source(memos);
  return CheckMemoFileSystem(source);
}

CheckReport CheckMemoFileSystem(MemoSource& source) {
  CheckReport report;
  Walker walker(source, report);
  // An organizer whose file system was never used has no root yet: the
  // client makes it on its first look.
  const std::set<std::string>& names = source.Names();
  if (std::none_of(names.begin(), names.end(), FileSystemMemo)) return report;
  walker.Directory(kRootIndexName);
  walker.Orphans();
  return report;
}

}  // namespace tavo::memofs
