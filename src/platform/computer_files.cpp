#include "platform/computer_files.h"

#include <fstream>
#include <system_error>

#include "platform/file_names.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#endif

namespace tavo::platform {

namespace fs = std::filesystem;

namespace {

enum class Kind { kSkipped, kDirectory, kFile };

struct Classified {
  Kind kind = Kind::kSkipped;
  std::string name;
  std::int64_t size = 0;
};

// A listed name must come back as the same row and the same path: a backslash
// would split it, a leading "<" would make a file row read as a directory.
bool Addressable(const std::string& name) {
  return !name.empty() && name[0] != '<' && name.find('\\') == std::string::npos;
}

// "c:\docs\" -> 'c' and "\docs\"; nullopt without a drive letter and ":".
struct SplitPath {
  char drive;
  std::string rest;
};
std::optional<SplitPath> Split(const std::string& path) {
  if (path.size() < 2 || path[1] != ':') return std::nullopt;
  char letter = path[0];
  if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
  if (letter < 'a' || letter > 'z') return std::nullopt;
  return SplitPath{letter, path.substr(2)};
}

#ifdef _WIN32

Classified Classify(const fs::directory_entry& entry) {
  Classified out;
  const std::optional<std::string> name = BytesFromNative(entry.path().filename());
  if (!name || !Addressable(*name)) return out;
  const DWORD attributes = ::GetFileAttributesW(entry.path().c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return out;
  if ((attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return out;
  }
  out.name = *name;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    out.kind = Kind::kDirectory;
    return out;
  }
  std::error_code error;
  const std::uintmax_t size = entry.file_size(error);
  if (error) return out;
  out.kind = Kind::kFile;
  out.size = static_cast<std::int64_t>(size);
  return out;
}

bool Replace(const fs::path& from, const fs::path& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

Classified Classify(const fs::directory_entry& entry) {
  Classified out;
  std::string name = entry.path().filename().native();
  if (!Addressable(name) || name[0] == '.') return out;
  std::error_code error;
  // Links count as what they point at; a dangling one is passed over.
  const fs::file_status status = entry.status(error);
  if (error) return out;
  if (fs::is_directory(status)) {
    out.kind = Kind::kDirectory;
  } else if (fs::is_regular_file(status)) {
    const std::uintmax_t size = entry.file_size(error);
    if (error) return out;
    out.kind = Kind::kFile;
    out.size = static_cast<std::int64_t>(size);
  }
  out.name = std::move(name);
  return out;
}

bool Replace(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::rename(from, to, error);
  return !error;
}

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/";
}

std::string ReadWholeFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

#endif

class NativeInput : public commands::InputFile {
 public:
  explicit NativeInput(const fs::path& path) : stream_(path, std::ios::binary) {}
  bool IsOpen() const { return stream_.is_open(); }

  std::optional<std::string> Read(std::size_t max) override {
    std::string buffer(max, '\0');
    stream_.read(buffer.data(), static_cast<std::streamsize>(max));
    if (stream_.bad()) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(stream_.gcount()));
    return buffer;
  }

 private:
  std::ifstream stream_;
};

// Hidden beside the target, so a listing made meanwhile does not show it.
fs::path TempPath(const fs::path& target) {
  fs::path name = ".";
  name += target.filename();
  name += ".tavo-part";
  return target.parent_path() / name;
}

// Written under the temporary name and renamed over the target by Commit.
class NativeOutput : public commands::OutputFile {
 public:
  explicit NativeOutput(fs::path target)
      : target_(std::move(target)),
        temp_(TempPath(target_)),
        stream_(temp_, std::ios::binary | std::ios::trunc) {}
  NativeOutput(const NativeOutput&) = delete;
  NativeOutput& operator=(const NativeOutput&) = delete;
  ~NativeOutput() override {
    if (committed_) return;
    stream_.close();
    std::error_code error;
    fs::remove(temp_, error);
  }
  bool IsOpen() const { return stream_.is_open(); }

  bool Write(const std::string& bytes) override {
    if (committed_) return false;
    stream_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(stream_);
  }

  bool Commit() override {
    if (committed_ || !stream_.is_open()) return committed_;
    stream_.close();
    if (stream_.fail()) return false;
#ifndef _WIN32
    // The new file keeps the old one's permissions.
    std::error_code error;
    const fs::file_status old = fs::status(target_, error);
    if (!error && fs::exists(old)) fs::permissions(temp_, old.permissions(), error);
#endif
    committed_ = Replace(temp_, target_);
    return committed_;
  }

 private:
  fs::path target_;
  fs::path temp_;
  std::ofstream stream_;
  bool committed_ = false;
};

}  // namespace

#ifdef _WIN32

NativeComputerFiles::NativeComputerFiles() = default;

std::vector<std::string> NativeComputerFiles::Drives() {
  std::vector<std::string> drives;
  const DWORD mask = ::GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if ((mask & (1u << i)) != 0) drives.push_back(std::string(1, static_cast<char>('a' + i)) + ":");
  }
  return drives;
}

int NativeComputerFiles::CurrentDrive() {
  std::error_code error;
  const std::optional<std::string> current = BytesFromNative(fs::current_path(error));
  const std::optional<SplitPath> split = current ? Split(*current) : std::nullopt;
  if (!split) return 0;
  const std::vector<std::string> drives = Drives();
  for (std::size_t i = 0; i < drives.size(); ++i) {
    if (drives[i][0] == split->drive) return static_cast<int>(i);
  }
  return 0;
}

std::optional<fs::path> NativeComputerFiles::NativePath(const std::string& path) const {
  if (!Split(path)) return std::nullopt;
  return NativeFromBytes(path);
}

bool NativeComputerFiles::IsStorableName(const std::string& name) {
  return IsStorableWindowsName(name);
}

#else

NativeComputerFiles::NativeComputerFiles()
    : drives_(LetterDrives(HomeDirectory(), UserMountPoints(ReadWholeFile("/proc/mounts")))) {}

NativeComputerFiles::NativeComputerFiles(std::vector<DriveRoot> drives)
    : drives_(std::move(drives)) {}

std::vector<std::string> NativeComputerFiles::Drives() {
  std::vector<std::string> entries;
  for (const DriveRoot& drive : drives_)
    entries.push_back(std::string(1, drive.letter) + ": " + drive.root);
  return entries;
}

int NativeComputerFiles::CurrentDrive() {
  std::error_code error;
  const std::string current = fs::current_path(error).native();
  // The current directory is a physical path; roots may reach it through links.
  std::vector<DriveRoot> resolved = drives_;
  for (DriveRoot& drive : resolved) {
    const fs::path real = fs::weakly_canonical(drive.root, error);
    if (!error) drive.root = real.native();
  }
  const int index = DriveHolding(resolved, current);
  return index < 0 ? 0 : index;
}

std::optional<fs::path> NativeComputerFiles::NativePath(const std::string& path) const {
  const std::optional<SplitPath> split = Split(path);
  if (!split) return std::nullopt;
  for (const DriveRoot& drive : drives_) {
    if (drive.letter != split->drive) continue;
    std::string native = drive.root == "/" ? std::string() : drive.root;
    for (char c : split->rest) native += c == '\\' ? '/' : c;
    if (native.empty()) native = "/";
    return fs::path(native);
  }
  return std::nullopt;
}

bool NativeComputerFiles::IsStorableName(const std::string& name) {
  return IsStorablePosixName(name);
}

#endif

std::optional<commands::DirectoryListing> NativeComputerFiles::List(const std::string& path) {
  const std::optional<fs::path> dir = NativePath(path);
  if (!dir) return std::nullopt;
  std::error_code error;
  fs::directory_iterator it(*dir, error);
  if (error) return std::nullopt;
  commands::DirectoryListing listing;
  const std::optional<SplitPath> split = Split(path);
  listing.has_parent = split->rest.find_first_not_of('\\') != std::string::npos;
  // An entry that cannot be read is passed over; a failing enumeration ends
  // the listing with what it has delivered.
  for (const fs::directory_iterator end; it != end; it.increment(error)) {
    if (error) break;
    Classified entry = Classify(*it);
    if (entry.kind == Kind::kDirectory) {
      listing.directories.push_back(std::move(entry.name));
    } else if (entry.kind == Kind::kFile) {
      listing.files.push_back({std::move(entry.name), entry.size});
    }
  }
  return listing;
}

bool NativeComputerFiles::OrdinaryFileExists(const std::string& path) {
  const std::optional<fs::path> native = NativePath(path);
  if (!native || !native->has_filename()) return false;
  std::error_code error;
  const fs::directory_entry entry(*native, error);
  return !error && Classify(entry).kind == Kind::kFile;
}

std::optional<std::int64_t> NativeComputerFiles::FileSize(const std::string& path) {
  const std::optional<fs::path> native = NativePath(path);
  if (!native) return std::nullopt;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(*native, error);
  if (error) return std::nullopt;
  return static_cast<std::int64_t>(size);
}

std::unique_ptr<commands::InputFile> NativeComputerFiles::OpenRead(const std::string& path) {
  const std::optional<fs::path> native = NativePath(path);
  if (!native) return nullptr;
  auto input = std::make_unique<NativeInput>(*native);
  if (!input->IsOpen()) return nullptr;
  return input;
}

std::unique_ptr<commands::OutputFile> NativeComputerFiles::CreateReplacing(
    const std::string& path) {
  std::optional<fs::path> target = NativePath(path);
  if (!target || !target->has_filename()) return nullptr;
  // Replace the file a link points at, not the link.
  std::error_code error;
  if (fs::is_symlink(*target, error)) {
    fs::path real = fs::canonical(*target, error);
    if (!error) target = std::move(real);
  }
  auto output = std::make_unique<NativeOutput>(*target);
  if (!output->IsOpen()) return nullptr;
  return output;
}

bool NativeComputerFiles::MakeDirectory(const std::string& path) {
  const std::optional<fs::path> native = NativePath(path);
  if (!native) return false;
  const fs::path dir = native->has_filename() ? *native : native->parent_path();
  std::error_code error;
  fs::create_directory(dir, error);
  return fs::is_directory(dir, error);
}

}  // namespace tavo::platform
