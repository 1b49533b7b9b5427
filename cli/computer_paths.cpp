#include "cli/computer_paths.h"

#include <filesystem>
#include <system_error>

#include "platform/file_names.h"

namespace tavo::cli {

namespace fs = std::filesystem;

namespace {

fs::path Absolute(const std::string& native) {
  std::error_code error;
  fs::path path = fs::absolute(platform::NativeFromBytes(native), error).lexically_normal();
  // "dir/" and "dir" are the same directory.
  if (!path.has_filename() && path.has_parent_path() && path != path.root_path()) {
    path = path.parent_path();
  }
  return path;
}

}  // namespace

#ifdef _WIN32
ComputerSide::ComputerSide() = default;
#else
ComputerSide::ComputerSide() : files_(std::vector<platform::DriveRoot>{{'c', "/"}}) {}
#endif

std::optional<std::string> ComputerSide::ProgramPath(const std::string& native) const {
  const std::optional<std::string> bytes = platform::BytesFromNative(Absolute(native));
  if (!bytes) return std::nullopt;
#ifdef _WIN32
  return *bytes;
#else
  if (bytes->find('\\') != std::string::npos) return std::nullopt;
  std::string program = "c:";
  for (char c : *bytes) program += c == '/' ? '\\' : c;
  // The root is "c:\"; any other directory has no closing backslash.
  return program;
#endif
}

ComputerSide::Kind ComputerSide::KindOf(const std::string& native) {
  std::error_code error;
  const fs::file_status status = fs::status(platform::NativeFromBytes(native), error);
  if (error || !fs::exists(status)) return Kind::kMissing;
  if (fs::is_directory(status)) return Kind::kDirectory;
  return fs::is_regular_file(status) ? Kind::kFile : Kind::kOther;
}

std::string ComputerSide::BaseName(const std::string& native) {
  return platform::BytesFromNative(Absolute(native).filename()).value_or("");
}

std::string ComputerSide::Join(const std::string& dir, const std::string& name) {
  return platform::BytesFromNative(Absolute(dir) / platform::NativeFromBytes(name)).value_or("");
}

std::string ComputerSide::Native(const std::string& program) {
#ifdef _WIN32
  return program;
#else
  std::string native = program.substr(program.rfind(':', 1) == 1 ? 2 : 0);
  for (char& c : native) c = c == '\\' ? '/' : c;
  return native;
#endif
}

}  // namespace tavo::cli
