#include "platform/port_lock.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/file_names.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace tavo::platform {

namespace fs = std::filesystem;

#ifdef _WIN32

std::string ResolvedDevice(const std::string& path) { return path; }
std::string LockFileHolder(const std::string&, const PortPlaces&) { return {}; }
DeviceLock::Taken DeviceLock::Take(const std::string&, const PortPlaces&) { return Taken::kYes; }
void DeviceLock::Release() {}

#else

namespace {

std::string FirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// "LCK..ttyUSB0", and for a device below /dev/pts also "LCK..pts_3", the
// name lockdev and Qt give it.
std::vector<std::string> LockNames(const std::string& device) {
  std::vector<std::string> names;
  const std::string dev = "/dev/";
  if (device.compare(0, dev.size(), dev) == 0) {
    std::string rest = device.substr(dev.size());
    std::replace(rest.begin(), rest.end(), '/', '_');
    names.push_back("LCK.." + rest);
  }
  const std::string base = "LCK.." + fs::path(device).filename().string();
  if (names.empty() || names.front() != base) names.push_back(base);
  return names;
}

bool Alive(long pid, const PortPlaces& places) {
  std::error_code error;
  return pid > 0 && fs::exists(fs::path(places.proc) / std::to_string(pid), error);
}

std::string Program(long pid, const PortPlaces& places) {
  std::string name = FirstLine(fs::path(places.proc) / std::to_string(pid) / "comm");
  if (name.empty()) name = "a program";
  return name + " (pid " + std::to_string(pid) + ")";
}

// The process whose flock is on the device's inode, from the kernel's table:
// "1: FLOCK  ADVISORY  WRITE 812 00:1a:4 0 EOF" (a waiter's line has "->").
std::string FlockHolder(const struct stat& device, const PortPlaces& places) {
  std::ifstream in(fs::path(places.proc) / "locks");
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string id, kind, advisory, mode, where;
    long pid = 0;
    if (!(fields >> id >> kind >> advisory >> mode >> pid >> where) || kind != "FLOCK") continue;
    unsigned major_number = 0, minor_number = 0;
    unsigned long inode = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%lu", &major_number, &minor_number, &inode) != 3) {
      continue;
    }
    if (major_number == major(device.st_dev) && minor_number == minor(device.st_dev) &&
        inode == device.st_ino && Alive(pid, places)) {
      return Program(pid, places);
    }
  }
  return {};
}

// Another process with the device open (one that set TIOCEXCL on it).
std::string OpenedBy(const struct stat& device, const PortPlaces& places) {
  std::error_code error;
  const std::string self = std::to_string(::getpid());
  for (const auto& process : fs::directory_iterator(places.proc, error)) {
    const std::string pid = process.path().filename().string();
    if (pid == self || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code denied;
    for (const auto& fd : fs::directory_iterator(process.path() / "fd", denied)) {
      struct stat info {};
      if (::stat(fd.path().c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
          info.st_rdev == device.st_rdev) {
        return Program(std::stol(pid), places);
      }
    }
  }
  return {};
}

}  // namespace

std::string ResolvedDevice(const std::string& path) {
  if (path.empty()) return path;
  const fs::path native = NativeFromBytes(path);
  std::error_code error;
  fs::path resolved = fs::canonical(native, error);
  if (error) resolved = fs::absolute(native, error).lexically_normal();
  if (error) return path;
  return BytesFromNative(resolved).value_or(path);
}

std::string LockFileHolder(const std::string& device, const PortPlaces& places) {
  for (const std::string& dir : places.lock_dirs) {
    for (const std::string& name : LockNames(device)) {
      long pid = 0;
      std::istringstream(FirstLine(fs::path(dir) / name)) >> pid;
      if (Alive(pid, places)) return Program(pid, places);
    }
  }
  return {};
}

DeviceLock::Taken DeviceLock::Take(const std::string& device, const PortPlaces& places) {
  Release();
  holder_.clear();
  error_ = 0;
  holder_ = LockFileHolder(device, places);
  if (!holder_.empty()) {
    error_ = EBUSY;
    return Taken::kInUse;
  }
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error_ = errno;
    if (error_ != EBUSY) return Taken::kCannotOpen;
    struct stat info {};
    if (::stat(device.c_str(), &info) == 0) {
      holder_ = FlockHolder(info, places);
      if (holder_.empty()) holder_ = OpenedBy(info, places);
    }
    return Taken::kInUse;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int failed = errno;
    struct stat info {};
    if (failed == EWOULDBLOCK && ::fstat(fd, &info) == 0) holder_ = FlockHolder(info, places);
    ::close(fd);
    error_ = failed == EWOULDBLOCK ? EBUSY : failed;
    return failed == EWOULDBLOCK ? Taken::kInUse : Taken::kCannotOpen;
  }
  fd_ = fd;
  return Taken::kYes;
}

void DeviceLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

#endif

}  // namespace tavo::platform
