#include "platform/drives.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace tavo::platform {

namespace {

// /proc/mounts writes blanks, tabs, line feeds and backslashes in paths as \ooo.
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string digits = field.substr(i + 1, 3);
      if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out += static_cast<char>(std::stoi(digits, nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::vector<std::string> UserMountPoints(const std::string& mounts_text) {
  std::vector<std::string> points;
  std::istringstream lines(mounts_text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, mount_point, type;
    if (!(fields >> device >> mount_point >> type)) continue;
    // Memory and kernel file systems mounted there are scratch space or
    // placeholders (autofs), not volumes a user brings.
    static const std::set<std::string> kVirtual = {"tmpfs", "ramfs",  "devtmpfs", "proc",
                                                   "sysfs", "autofs", "overlay"};
    if (kVirtual.count(type) > 0) continue;
    const std::string point = WithoutTrailingSlash(UnescapeMountField(mount_point));
    const bool user_volume = (StartsWith(point, "/media/") && point.size() > 7) ||
                             (StartsWith(point, "/mnt/") && point.size() > 5) ||
                             (StartsWith(point, "/run/media/") && point.size() > 11);
    if (user_volume && std::find(points.begin(), points.end(), point) == points.end()) {
      points.push_back(point);
    }
  }
  return points;
}

std::vector<DriveRoot> LetterDrives(const std::string& home,
                                    const std::vector<std::string>& mounts) {
  std::vector<DriveRoot> drives = {{'c', "/"},
                                   {'h', WithoutTrailingSlash(home.empty() ? "/" : home)}};
  char letter = 'd';
  for (const std::string& mount : mounts) {
    if (letter == 'h') ++letter;
    if (letter > 'z') break;
    drives.push_back({letter++, WithoutTrailingSlash(mount)});
  }
  std::sort(drives.begin(), drives.end(),
            [](const DriveRoot& a, const DriveRoot& b) { return a.letter < b.letter; });
  return drives;
}

int DriveHolding(const std::vector<DriveRoot>& drives, const std::string& directory) {
  const std::string dir = WithoutTrailingSlash(directory);
  int best = -1;
  std::size_t best_length = 0;
  for (std::size_t i = 0; i < drives.size(); ++i) {
    const std::string& root = drives[i].root;
    const bool holds = root == "/" || dir == root || StartsWith(dir, root + "/");
    if (!holds) continue;
    const bool longer = best < 0 || root.size() > best_length;
    const bool home_tie = root.size() == best_length && drives[i].letter == 'h';
    if (longer || home_tie) {
      best = static_cast<int>(i);
      best_length = root.size();
    }
  }
  return best;
}

}  // namespace tavo::platform
