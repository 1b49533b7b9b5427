#include "settings/plain_file.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tavo::settings {

namespace {

namespace fs = std::filesystem;

constexpr fs::perms kWriteBits =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

// Where the bytes for path go: path itself, or the regular file a link names,
// so that the user's link stays a link.
std::optional<std::string> ReplaceTarget(const std::string& path) {
  std::error_code error;
  const fs::file_type type = fs::symlink_status(path, error).type();
  if (type == fs::file_type::not_found) return path;
  if (error) return std::nullopt;
  if (type == fs::file_type::regular) return path;
  if (type != fs::file_type::symlink || fs::status(path, error).type() != fs::file_type::regular) {
    return std::nullopt;
  }
  const fs::path resolved = fs::canonical(path, error);
  if (error) return std::nullopt;
  return resolved.string();
}

// A file the user made read-only keeps its bytes, even where the directory
// would let it be replaced (or the user is the administrator).
bool ReadOnly(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return false;
  if (error || (status.permissions() & kWriteBits) == fs::perms::none) return true;
#ifdef _WIN32
  return false;
#else
  return ::access(path.c_str(), W_OK) != 0;
#endif
}

#ifdef _WIN32

bool WriteNew(const std::string& temp, const std::string& bytes, const std::string&) {
  std::error_code error;
  const fs::file_type type = fs::symlink_status(temp, error).type();
  if (type == fs::file_type::regular) {
    fs::remove(temp, error);  // left by an interrupted save
  } else if (type != fs::file_type::not_found) {
    return false;
  }
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (out) return true;
  std::remove(temp.c_str());
  return false;
}

#else

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting a failure (a full disk may show only here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A file of our own, created new: never written through a link or into a
// pipe that someone left under the name.
int CreateNew(const std::string& temp) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
    struct stat st {};
    // A regular file is left by an interrupted save; anything else is not ours.
    if (::lstat(temp.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::unlink(temp.c_str()) != 0) {
      return -1;
    }
  }
  return -1;
}

// The new file takes the old one's permissions, so a private file stays private.
bool WriteNew(const std::string& temp, const std::string& bytes, const std::string& target) {
  Descriptor fd(CreateNew(temp));
  if (fd.get() < 0) return false;
  struct stat old {};
  bool ok = ::stat(target.c_str(), &old) != 0 || ::fchmod(fd.get(), old.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd.get(), bytes);
  ok = fd.Close() && ok;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

#endif

}  // namespace

#ifdef _WIN32

std::optional<std::string> ReadSmallRegularFile(const std::string& path, std::size_t max_bytes) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size > max_bytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(max_bytes + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() > max_bytes) return std::nullopt;
  return bytes;
}

#else

std::optional<std::string> ReadSmallRegularFile(const std::string& path, std::size_t max_bytes) {
  struct stat st {};
  // Looked at before opening: opening a device can act on it (a serial line
  // raises its modem lines), and opening a pipe can wait for a writer.
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  // Never blocking, and looked at again once open, as the name may have
  // changed in between.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uintmax_t>(st.st_size) > max_bytes) {
    return std::nullopt;
  }
  std::string bytes;
  char buffer[4096];
  while (true) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(n));
    // A file that grows while it is read is cut off here.
    if (bytes.size() > max_bytes) return std::nullopt;
  }
}

#endif

bool ReplaceRegularFile(const std::string& path, const std::string& bytes) {
  const std::optional<std::string> target = ReplaceTarget(path);
  if (!target || ReadOnly(*target)) return false;
  // Written beside the old file and renamed over it, so a full disk or a crash
  // never leaves a cut file behind.
  const std::string temp = *target + ".new";
  if (!WriteNew(temp, bytes, *target)) return false;
  if (std::rename(temp.c_str(), target->c_str()) == 0) return true;
#ifdef _WIN32
  // Where rename does not replace, make room first.
  std::remove(target->c_str());
  if (std::rename(temp.c_str(), target->c_str()) == 0) return true;
#endif
  std::remove(temp.c_str());
  return false;
}

}  // namespace tavo::settings
