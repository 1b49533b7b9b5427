#include "memofs/checker.h"

#include <set>

#include "memofs/directory_table.h"
#include "memofs/index_text.h"

namespace tavo::memofs {

namespace {

class Walker {
 public:
  Walker(const std::map<std::string, std::string>& memos, CheckReport& report)
      : memos_(memos), report_(report) {}

  void Directory(const std::string& index, int depth) {
    reached_.insert(index);
    if (index.size() > kMaxMemoName) Problem(index, "index name longer than 20 characters");
    const auto memo = memos_.find(index);
    if (memo == memos_.end()) {
      Problem(index, "directory index missing");
      return;
    }
    ++report_.directories;
    const std::vector<DirectoryEntry> entries = ParseIndexText(memo->second);
    if (!IsWhole(memo->second, entries)) Problem(index, "index text damaged");
    std::set<int> numbers;
    for (const DirectoryEntry& e : entries) {
      if (!numbers.insert(e.EntryNumber).second) {
        Problem(index, "number " + std::to_string(e.EntryNumber) + " used twice");
      }
      const std::string stem = ChildIndexName(index, e.EntryNumber);
      if (e.EntryType == kTypeDirectory) {
        // A directory cycle cannot happen with these names, but depth bounds the walk anyway.
        if (depth < 64) Directory(stem, depth + 1);
      } else {
        File(stem, e);
      }
    }
  }

  void Orphans() {
    for (const auto& [name, text] : memos_) {
      if (name.rfind(kRootIndexName, 0) == 0 && reached_.count(name) == 0) {
        report_.orphans.push_back(name);
      }
    }
  }

 private:
  void File(const std::string& stem, const DirectoryEntry& e) {
    ++report_.files;
    if (e.EntryLastPart < 0 || e.EntryLastPartSize < 0 ||
        e.EntryLastPartSize > static_cast<int>(kPartSize)) {
      Problem(stem, "impossible part numbers");
      return;
    }
    for (int k = 0; k <= e.EntryLastPart; ++k) {
      const std::string name = PartName(stem, k, e.EntryLastPart);
      reached_.insert(name);
      const bool last = k == e.EntryLastPart;
      const std::size_t want = last ? static_cast<std::size_t>(e.EntryLastPartSize) : kPartSize;
      const auto part = memos_.find(name);
      if (part == memos_.end()) {
        if (!(last && k > 0 && want == 0)) Problem(name, "part missing");
        continue;
      }
      ++report_.parts;
      if (part->second.size() != want) {
        Problem(name, "part holds " + std::to_string(part->second.size()) + " characters, not " +
                          std::to_string(want));
      }
    }
  }

  // The entries written back in stored order give the text again, apart from
  // one closing character the reader ignores.
  static bool IsWhole(const std::string& text, const std::vector<DirectoryEntry>& entries) {
    std::string again;
    for (const DirectoryEntry& e : entries) {
      std::vector<DirectoryEntry> one(2);
      one[1] = e;
      again += BuildIndexText(one);
    }
    if (again == text) return true;
    return text.size() == again.size() + 1 && text.compare(0, again.size(), again) == 0;
  }

  void Problem(const std::string& where, const std::string& what) {
    report_.problems.push_back(where + ": " + what);
  }

  const std::map<std::string, std::string>& memos_;
  CheckReport& report_;
  std::set<std::string> reached_;
};

}  // namespace

std::string CheckReport::Summary() const {
  return std::to_string(directories) + " directories, " + std::to_string(files) + " files, " +
         std::to_string(parts) + " parts, " + std::to_string(problems.size()) + " problems, " +
         std::to_string(orphans.size()) + " orphans";
}

CheckReport CheckMemoFileSystem(const std::map<std::string, std::string>& memos) {
  CheckReport report;
  Walker walker(memos, report);
  walker.Directory(kRootIndexName, 0);
  walker.Orphans();
  return report;
}

}  // namespace tavo::memofs
