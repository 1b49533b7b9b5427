#pragma once

#include <optional>
#include <string>

#include "platform/computer_files.h"

namespace tavo::cli {

// The computer's files as the core reaches them, by the native paths a user
// types: each is made absolute and given as the program path the platform's
// files understand (on POSIX the file system root is drive "c").
class ComputerSide {
 public:
  ComputerSide();

  core::ComputerFiles& files() { return files_; }
  // nullopt when the path cannot be addressed (on POSIX, a backslash in it).
  std::optional<std::string> ProgramPath(const std::string& native) const;
  enum class Kind { kMissing, kFile, kDirectory, kOther };
  static Kind KindOf(const std::string& native);
  // The last level of a native path, "." and ".." resolved.
  static std::string BaseName(const std::string& native);
  // The native path of `name` inside directory `dir`.
  static std::string Join(const std::string& dir, const std::string& name);
  // The native path of a program path that ProgramPath made.
  static std::string Native(const std::string& program);

 private:
  platform::NativeComputerFiles files_;
};

}  // namespace tavo::cli
