#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/computer_files.h"
#include "platform/drives.h"

namespace tavo::platform {

// The computer's own files. Program paths are a drive letter, ":" and a
// backslash path ("h:\docs\a.txt"). On Windows they are native paths. On
// POSIX each letter names a root directory (see drives.h), backslashes become
// slashes, names beginning with "." are hidden, sockets, fifos and devices
// are system entries, and names that a program path cannot address (with a
// backslash, or beginning with "<") are not listed.
class NativeComputerFiles : public core::ComputerFiles {
 public:
  // The computer's drives, read once now so that a letter keeps its meaning.
  NativeComputerFiles();
#ifndef _WIN32
  explicit NativeComputerFiles(std::vector<DriveRoot> drives);
#endif

  std::vector<std::string> Drives() override;
  int CurrentDrive() override;
  std::optional<core::DirectoryListing> List(const std::string& path) override;
  core::Occupant OccupantOf(const std::string& path) override;
  std::optional<std::int64_t> FileSize(const std::string& path) override;
  std::unique_ptr<core::InputFile> OpenRead(const std::string& path) override;
  std::unique_ptr<core::OutputFile> CreateReplacing(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
  bool IsStorableName(const std::string& name) override;

  // The native path of a program path; nullopt when it names no drive.
  std::optional<std::filesystem::path> NativePath(const std::string& path) const;

 private:
#ifndef _WIN32
  std::vector<DriveRoot> drives_;
#endif
};

}  // namespace tavo::platform
