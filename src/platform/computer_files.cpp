#include "platform/computer_files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <random>
#include <string_view>
#include <system_error>

#include "platform/file_names.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

core::Occupant OccupantAt(const fs::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILENAME_EXCED_RANGE || error == ERROR_INVALID_NAME
               ? core::Occupant::kNameRefused
               : core::Occupant::kNothing;
  }
  constexpr DWORD kNotAFile =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  return (attributes & kNotAFile) != 0 ? core::Occupant::kNotAFile : core::Occupant::kFile;
}

int ProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

// Fails when the name exists in any form, a link included. The open file
// cannot be deleted by another copy's sweep.
int CreateNew(const fs::path& path) {
  return ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 20));
    const int written = ::_write(fd, bytes.data(), chunk);
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// On success the file is closed and has the target's name.
bool PutInPlace(int& fd, const fs::path& temp, const fs::path& target) {
  const bool flushed = ::_commit(fd) == 0;
  ::_close(fd);
  fd = -1;
  return flushed && ::MoveFileExW(temp.c_str(), target.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void Discard(int& fd, const fs::path& temp) {
  if (fd >= 0) ::_close(fd);
  fd = -1;
  ::_wunlink(temp.c_str());
}

// Nothing marks a file as one a copy made, and a name alone proves nothing:
// a killed copy's temporary file is left for the user.
void RemoveIfStray(const fs::path&) {}

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

core::Occupant OccupantAt(const fs::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    return S_ISREG(info.st_mode) ? core::Occupant::kFile : core::Occupant::kNotAFile;
  }
  return errno == ENAMETOOLONG ? core::Occupant::kNameRefused : core::Occupant::kNothing;
}

int ProcessId() { return static_cast<int>(::getpid()); }

// Whether path still names the open file fd.
bool StillNamed(const fs::path& path, int fd) {
  struct stat opened {};
  struct stat named {};
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// A temporary file carries its own device and inode numbers in an extended
// attribute: only a file with that mark is a copy's leftover. A file merely
// named alike, or a copy of a leftover (a new inode), is the user's.
constexpr const char* kMarkAttribute = "user.tavo.part";

std::string OwnMark(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return {};
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

void Mark(int fd) {
  const std::string mark = OwnMark(fd);
#ifdef __APPLE__
  ::fsetxattr(fd, kMarkAttribute, mark.data(), mark.size(), 0, 0);
#else
  ::fsetxattr(fd, kMarkAttribute, mark.data(), mark.size(), 0);
#endif
}

bool Marked(int fd) {
  char value[64];
#ifdef __APPLE__
  const ssize_t size = ::fgetxattr(fd, kMarkAttribute, value, sizeof value, 0, 0);
#else
  const ssize_t size = ::fgetxattr(fd, kMarkAttribute, value, sizeof value);
#endif
  const std::string mark = OwnMark(fd);
  return size > 0 && !mark.empty() && std::string(value, static_cast<std::size_t>(size)) == mark;
}

void Unmark(int fd) {
#ifdef __APPLE__
  ::fremovexattr(fd, kMarkAttribute, 0);
#else
  ::fremovexattr(fd, kMarkAttribute);
#endif
}

// Fails when the name exists in any form, a link included. The file is
// locked for as long as it is open, so another copy's sweep leaves it alone;
// -1 also when such a sweep took it before the lock did. Where the file
// system keeps no extended attributes the file goes unmarked, and a killed
// copy's leftover stays.
int CreateNew(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  // Where the file system has no locks, the file is used unlocked.
  const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  if (!taken && StillNamed(path, fd)) {
    Mark(fd);
    return fd;
  }
  ::close(fd);
  errno = EEXIST;
  return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// On success the file is closed, and its lock released, under the target's name.
bool PutInPlace(int& fd, const fs::path& temp, const fs::path& target) {
  // The finished file is the user's: it must never read as a leftover.
  Unmark(fd);
  if (::fsync(fd) != 0) return false;
  // The new file keeps the old one's permissions (not set-id bits).
  struct stat old {};
  if (::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
      ::fchmod(fd, old.st_mode & 0777) != 0) {
    return false;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) return false;
  ::close(fd);
  fd = -1;
  return true;
}

void Discard(int& fd, const fs::path& temp) {
  ::unlink(temp.c_str());
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// A copy under way holds the lock on its temporary file; a killed copy's
// lock went with it. Only a file with a copy's own mark is taken.
void RemoveIfStray(const fs::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && Marked(fd) && StillNamed(path, fd)) {
    ::unlink(path.c_str());
  }
  ::close(fd);
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

class NativeInput : public core::InputFile {
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

// Temporary files are ".tavo-part-" and 16 hex digits: short enough to sit
// beside a target of any length and hidden on POSIX. The name only narrows
// the sweep for strays; the mark decides.
constexpr std::string_view kTempPrefix = ".tavo-part-";
constexpr std::size_t kTempDigits = 16;

bool IsTempName(const std::string& name) {
  if (name.size() != kTempPrefix.size() + kTempDigits || name.rfind(kTempPrefix, 0) != 0) {
    return false;
  }
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(kTempPrefix.size()), name.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string NewTempName() {
  static std::mt19937_64 engine = [] {
    std::random_device device;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::seed_seq seed{device(), device(), static_cast<unsigned>(ProcessId()),
                       static_cast<unsigned>(now)};
    return std::mt19937_64(seed);
  }();
  // A forked process shares the engine's state, not its process id.
  std::uint64_t bits = engine() ^ (static_cast<std::uint64_t>(ProcessId()) * 0x9e3779b97f4a7c15u);
  std::string name(kTempPrefix);
  for (std::size_t i = 0; i < kTempDigits; ++i, bits >>= 4) name += "0123456789abcdef"[bits & 15];
  return name;
}

// A copy killed midway leaves its temporary file behind; the next copy into
// the directory takes it away.
void RemoveStrays(const fs::path& dir) {
  std::error_code error;
  fs::directory_iterator it(dir, error);
  for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
    const std::optional<std::string> name = BytesFromNative(it->path().filename());
    if (name && IsTempName(*name)) RemoveIfStray(it->path());
  }
}

// A new file in the target's directory; -1 when none can be made.
int CreateTemp(const fs::path& dir, fs::path& temp) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = dir / NewTempName();
    const int fd = CreateNew(temp);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Written under the temporary name and renamed over the target by Commit.
class NativeOutput : public core::OutputFile {
 public:
  NativeOutput(fs::path target, fs::path temp, int fd)
      : target_(std::move(target)), temp_(std::move(temp)), fd_(fd) {}
  NativeOutput(const NativeOutput&) = delete;
  NativeOutput& operator=(const NativeOutput&) = delete;
  ~NativeOutput() override {
    if (!committed_) Discard(fd_, temp_);
  }

  bool Write(const std::string& bytes) override {
    return !committed_ && fd_ >= 0 && WriteAll(fd_, bytes);
  }

  bool Commit() override {
    if (committed_ || fd_ < 0) return committed_;
    committed_ = PutInPlace(fd_, temp_, target_);
    return committed_;
  }

 private:
  fs::path target_;
  fs::path temp_;
  int fd_;
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

std::optional<core::DirectoryListing> NativeComputerFiles::List(const std::string& path) {
  const std::optional<fs::path> dir = NativePath(path);
  if (!dir) return std::nullopt;
  std::error_code error;
  fs::directory_iterator it(*dir, error);
  if (error) return std::nullopt;
  core::DirectoryListing listing;
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

core::Occupant NativeComputerFiles::OccupantOf(const std::string& path) {
  const std::optional<fs::path> native = NativePath(path);
  if (!native || !native->has_filename()) return core::Occupant::kNothing;
  return OccupantAt(*native);
}

std::optional<std::int64_t> NativeComputerFiles::FileSize(const std::string& path) {
  const std::optional<fs::path> native = NativePath(path);
  if (!native) return std::nullopt;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(*native, error);
  if (error) return std::nullopt;
  return static_cast<std::int64_t>(size);
}

std::unique_ptr<core::InputFile> NativeComputerFiles::OpenRead(const std::string& path) {
  const std::optional<fs::path> native = NativePath(path);
  if (!native) return nullptr;
  auto input = std::make_unique<NativeInput>(*native);
  if (!input->IsOpen()) return nullptr;
  return input;
}

std::unique_ptr<core::OutputFile> NativeComputerFiles::CreateReplacing(const std::string& path) {
  const std::optional<fs::path> target = NativePath(path);
  if (!target || !target->has_filename()) return nullptr;
  const fs::path dir = target->parent_path();
  RemoveStrays(dir);
  fs::path temp;
  const int fd = CreateTemp(dir, temp);
  if (fd < 0) return nullptr;
  return std::make_unique<NativeOutput>(*target, std::move(temp), fd);
}

bool NativeComputerFiles::MakeDirectory(const std::string& path) {
  const std::optional<fs::path> native = NativePath(path);
  if (!native) return false;
  const fs::path dir = native->has_filename() ? *native : native->parent_path();
  std::error_code error;
  fs::create_directory(dir, error);
  // A link of that name may lead anywhere: a copy never writes through it.
  return fs::is_directory(fs::symlink_status(dir, error));
}

}  // namespace tavo::platform
