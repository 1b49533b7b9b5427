#pragma once

#include <string>
#include <vector>

namespace tavo::platform {

// Where there are no drive letters, each letter names a directory: "c" the
// file system root, "h" the home directory, and d, e, f, ... (passing over c
// and h) the mounted removable and user volumes.
struct DriveRoot {
  char letter;       // lower case
  std::string root;  // absolute native path, no trailing "/" except for "/" itself
};

// Mount points under /media, /mnt and /run/media in the text of /proc/mounts,
// in the order listed, each once; memory and kernel file systems (tmpfs,
// autofs, ...) are left out.
std::vector<std::string> UserMountPoints(const std::string& mounts_text);

// The drive table, ordered by letter. Volumes beyond the last letter are left out.
std::vector<DriveRoot> LetterDrives(const std::string& home,
                                    const std::vector<std::string>& mounts);

// Index of the drive whose root holds `directory`: the longest root that does,
// the home drive when it ties with another; -1 when none does.
int DriveHolding(const std::vector<DriveRoot>& drives, const std::string& directory);

}  // namespace tavo::platform
