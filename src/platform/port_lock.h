#pragma once

#include <string>

#include "platform/port_diagnosis.h"

namespace tavo::platform {

// The device a path reaches: links resolved, a relative path taken from the
// current directory (a serial library would look for it under /dev). A path
// that does not resolve is only made absolute, so its error names it.
std::string ResolvedDevice(const std::string& path);

// A live program's lock file on the device in a lock directory, by the UUCP
// names other serial programs use ("LCK..ttyUSB0", "LCK..pts_3"):
// "minicom (pid 812)". A lock whose process is gone counts for nothing.
std::string LockFileHolder(const std::string& device, const PortPlaces& places = {});

// One program at a time on a device, whatever path reaches it: an exclusive
// flock on a descriptor of its own (as picocom, tio and pyserial lock, and
// root is held to it too), and no opening while another program's lock file
// names the device. Nothing in the lock directories is written or removed.
class DeviceLock {
 public:
  enum class Taken { kYes, kInUse, kCannotOpen };

  DeviceLock() = default;
  ~DeviceLock() { Release(); }
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

  // `device` as ResolvedDevice gives it. kInUse: holder() names the program
  // where it can be known; kCannotOpen: error() is the system's error number.
  Taken Take(const std::string& device, const PortPlaces& places = {});
  void Release();
  bool Held() const { return fd_ >= 0; }
  const std::string& holder() const { return holder_; }
  int error() const { return error_; }

 private:
  int fd_ = -1;
  std::string holder_;
  int error_ = 0;
};

}  // namespace tavo::platform
