#include "platform/safe_files.h"

#include <cerrno>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#endif

namespace tavo::platform {

namespace fs = std::filesystem;

#ifdef _WIN32

namespace {

// The attributes of what lies at `path` itself, a reparse point not followed.
bool Plain(const fs::path& path, bool directory) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
  return ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == directory;
}

}  // namespace

int OpenBelow(const fs::path& dir, const std::string& relative, Want want) {
  fs::path path = dir;
  for (std::size_t p = 0;;) {
    const std::size_t slash = relative.find('/', p);
    path /= fs::u8path(relative.substr(p, slash - p));
    if (slash == std::string::npos) break;
    if (!Plain(path, true)) return -1;
    p = slash + 1;
  }
  const bool directory = want == Want::kDirectory;
  // The handle is what is checked, so nothing can be swapped in between.
  HANDLE handle = CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_OPEN_REPARSE_POINT | (directory ? FILE_FLAG_BACKUP_SEMANTICS : 0), nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool plain = GetFileInformationByHandle(handle, &info) != 0 &&
                     (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                     ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == directory &&
                     (directory || GetFileType(handle) == FILE_TYPE_DISK);
  if (!plain) {
    CloseHandle(handle);
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) CloseHandle(handle);
  return fd;
}

std::error_code RenameNoReplace(const fs::path& from, const fs::path& to) {
  if (MoveFileExW(from.c_str(), to.c_str(), 0) != 0) return {};
  return {static_cast<int>(GetLastError()), std::system_category()};
}

bool ExchangeDirectories(const fs::path&, const fs::path&) { return false; }

void CloseDescriptor(int fd) {
  if (fd >= 0) _close(fd);
}

#else

namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { CloseDescriptor(fd_); }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd) {
    CloseDescriptor(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

}  // namespace

int OpenBelow(const fs::path& dir, const std::string& relative, Want want) {
  Fd at(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (std::size_t p = 0; at.get() >= 0;) {
    const std::size_t slash = relative.find('/', p);
    const std::string level = relative.substr(p, slash - p);
    if (slash != std::string::npos) {
      at.reset(::openat(at.get(), level.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      p = slash + 1;
      continue;
    }
    struct stat seen {};
    if (::fstatat(at.get(), level.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0) return -1;
    if (want == Want::kFile ? !S_ISREG(seen.st_mode) : !S_ISDIR(seen.st_mode)) return -1;
    // Not blocking on a fifo swapped in meanwhile; the descriptor's own
    // identity is checked against what was looked at.
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC |
                      (want == Want::kDirectory ? O_DIRECTORY : 0);
    Fd opened(::openat(at.get(), level.c_str(), flags));
    struct stat held {};
    if (opened.get() < 0 || ::fstat(opened.get(), &held) != 0 || held.st_ino != seen.st_ino ||
        held.st_dev != seen.st_dev) {
      return -1;
    }
    return opened.release();
  }
  return -1;
}

std::error_code RenameNoReplace(const fs::path& from, const fs::path& to) {
#ifdef __linux__
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS) return {errno, std::generic_category()};
#endif
  // Where the system has no such rename: a look, then the rename.
  std::error_code error;
  if (fs::exists(fs::symlink_status(to, error)))
    return std::make_error_code(std::errc::file_exists);
  fs::rename(from, to, error);
  return error;
}

bool ExchangeDirectories(const fs::path& a, const fs::path& b) {
#ifdef __linux__
  return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
#else
  (void)a;
  (void)b;
  return false;
#endif
}

void CloseDescriptor(int fd) {
  if (fd >= 0) ::close(fd);
}

#endif

}  // namespace tavo::platform
