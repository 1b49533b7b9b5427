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

constexpr int kFieldCount = 5;

bool IsSixteenBitNumber(const std::string& field) {
  if (field.empty() || field.size() > 5) return false;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
  }
  return std::stol(field) <= std::numeric_limits<std::int16_t>::max();
}

// A field as a report line can show it: short, control and high bytes as \xHH.
std::string Shown(const std::string& field) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < field.size() && i < 12; ++i) {
    const auto c = static_cast<unsigned char>(field[i]);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += field[i];
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xf];
    }
  }
  return field.size() > 12 ? out + "..." : out;
}

// Why a text is not what the writer makes, or nothing. The reader is lenient
// (it reads damaged numbers by their leading digits and drops a cut entry), so
// a text it accepts can still have lost entries or changed numbers.
std::optional<std::string> IndexTextFault(const std::string& text) {
  if (text.size() > kMaxIndexText) {
    return "index text of " + std::to_string(text.size()) + " characters, more than 1956";
  }
  std::size_t p = 0;
  while (p + 1 < text.size()) {
    const std::size_t entry = p;
    std::string fields[kFieldCount];
    for (std::string& field : fields) {
      const std::size_t blank = text.find(' ', p);
      if (blank == std::string::npos) {
        return "index text cut in the entry at character " + std::to_string(entry);
      }
      field = text.substr(p, blank - p);
      p = blank + 1;
    }
    for (int i = 1; i <= 3; ++i) {
      if (!IsSixteenBitNumber(fields[i])) {
        return "bad number \"" + Shown(fields[i]) + "\" in the entry at character " +
               std::to_string(entry);
      }
    }
    if (fields[0] == "D" && (fields[1] != "0" || fields[2] != "0")) {
      return "directory entry at character " + std::to_string(entry) + " has part numbers";
    }
  }
  // The reader ignores one character after the last entry: the closing 0 some
  // organizers return with the text. Anything else there is a cut entry.
  if (p + 1 == text.size() && text[p] != '\0') return "index text ends in a cut entry";
  return std::nullopt;
}

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
    const std::string text = memos_.Text(index);
    if (const auto fault = IndexTextFault(text)) Problem(index, *fault);
    // Walk what the client would read, so that orphans are what it cannot reach.
    std::set<int> numbers;
    std::set<std::pair<bool, std::string>> names;
    for (const DirectoryEntry& e : ParseIndexText(text)) {
      const bool directory = e.EntryType == kTypeDirectory;
      if (!StorableName(e.EntryName, true)) {
        Problem(index,
                "name " + Shown(e.EntryName) + " cannot be stored (line end or character 0)");
      }
      if (!numbers.insert(e.EntryNumber).second) {
        Problem(index, "number " + std::to_string(e.EntryNumber) + " used twice");
      }
      // The client finds the first of two same names only; the second is lost to it.
      if (!names.insert({directory, e.EntryName}).second) {
        Problem(index, (directory ? "directory " : "file ") + Shown(e.EntryName) + " listed twice");
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
    // A last part holds 0 to 1955 characters: a full one would be a part more.
    if (e.EntryLastPart < 0 || e.EntryLastPartSize < 0 ||
        e.EntryLastPartSize >= static_cast<int>(kPartSize)) {
      Problem(stem, "impossible part numbers");
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
