#include "memofs/names.h"

#include <algorithm>

#include "memofs/directory_table.h"

namespace tavo::memofs {

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool FileSystemMemo(const std::string& name) {
  const std::string root = kRootIndexName;
  if (!StartsWith(name, root) || name.size() > kMaxMemoName) return false;
  for (std::size_t p = root.size(); p < name.size();) {
    const std::size_t end = std::min(name.find_first_not_of("0123456789", p + 1), name.size());
    if (name[p] != '_' || end == p + 1) return false;
    p = end;
  }
  return true;
}

bool StorableName(const std::string& name, bool in_index) {
  // A line end or character 0 would break the command line or the index
  // entry; in an index, character 255 reads back as a blank.
  std::string bad("\n\r\0", 3);
  if (in_index) bad += '\xff';
  return name.find_first_of(bad) == std::string::npos;
}

bool PlainComputerName(const std::string& name) {
  // Organizer names come from another program: one that could climb out of
  // the target directory is never written.
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("\\/\0", 3)) == std::string::npos;
}

std::string PieceTitle(const std::string& name, std::int64_t size, int piece) {
  if (size < static_cast<std::int64_t>(kPartSize)) return name;
  const int width = DigitCount(size / static_cast<std::int64_t>(kPartSize));
  std::string number = std::to_string(piece);
  if (static_cast<int>(number.size()) < width) {
    number.insert(0, static_cast<std::size_t>(width) - number.size(), '0');
  }
  const std::size_t keep = kMaxMemoName - static_cast<std::size_t>(width);
  return (name.size() > keep ? name.substr(0, keep) : name) + number;
}

int Percent(long long done, long long total) {
  if (total <= 0) return 100;
  return static_cast<int>(100 * done / total);
}

bool AnyReservedTitle(const std::string& name, std::int64_t size) {
  // Titles differ only in their piece numbers, so their first three
  // characters depend on the kept name and at most the first three digits;
  // each such start is tried once, however many pieces there are.
  const std::string reserved = kRootIndexName;
  const auto part = static_cast<std::int64_t>(kPartSize);
  if (size <= 0) return false;
  if (size < part) return StartsWith(name, reserved);
  const int width = DigitCount(size / part);
  const std::size_t kept = std::min(name.size(), kMaxMemoName - static_cast<std::size_t>(width));
  const int digits = static_cast<int>(std::min<std::size_t>(
      reserved.size() - std::min(kept, reserved.size()), static_cast<std::size_t>(width)));
  std::int64_t step = 1;  // pieces that share their first `digits` digits
  for (int i = digits; i < width; ++i) step *= 10;
  const std::int64_t last = (size - 1) / part;
  for (std::int64_t piece = 0; piece <= last; piece += step) {
    if (StartsWith(PieceTitle(name, size, static_cast<int>(piece)), reserved)) return true;
  }
  return false;
}

}  // namespace tavo::memofs
