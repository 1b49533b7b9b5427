#include "platform/port_diagnosis.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/port_device.h"
#include "platform/port_lock.h"

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavo::platform {
namespace {

namespace fs = std::filesystem;

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string FirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// Single quotes for a shell, so a path with blanks can be pasted.
std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Joined(const std::vector<std::string>& items, const std::string& separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

std::string Reason(int error) {
  if (error == 0) return {};
  return std::generic_category().message(error);
}

#ifndef _WIN32

// "minicom (pid 812)" when a live process holds a lock file on the device.
std::string LockHolder(const std::string& device, const PortPlaces& places) {
  return LockFileHolder(device, places);
}

std::string UserName() {
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_name != nullptr) {
    return entry->pw_name;
  }
  return {};
}

// The device's group, and whether the user is listed in it in the group
// database though this login does not have it yet.
void PermissionFacts(const std::string& device, PortDiagnosis& d) {
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0) return;
  // Joining a group helps only where the group may read and write.
  if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return;
  const group* entry = ::getgrgid(info.st_gid);
  if (entry == nullptr || entry->gr_name == nullptr) return;
  d.group = entry->gr_name;
  bool listed = false;
  for (char** member = entry->gr_mem; member != nullptr && *member != nullptr; ++member) {
    listed = listed || d.user == *member;
  }
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(0, ::getgroups(0, nullptr))));
  const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
  groups.resize(static_cast<std::size_t>(std::max(0, count)));
  const bool now = ::getegid() == info.st_gid ||
                   std::find(groups.begin(), groups.end(), info.st_gid) != groups.end();
  d.group_listed = listed && !now;
}

#endif

}  // namespace

PortFault FaultOfError(int error) {
  switch (error) {
    case 0:
      return PortFault::kNone;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case ELOOP:
      return PortFault::kNoDevice;
    case EACCES:
    case EPERM:
      return PortFault::kNoPermission;
    case EBUSY:
      return PortFault::kBusy;
    default:
      return PortFault::kOther;
  }
}

int AccessError(const std::string& device, const PortPlaces& places) {
#ifdef _WIN32
  (void)device;
  (void)places;
  return 0;
#else
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0) return errno;
  if (::access(device.c_str(), R_OK | W_OK) != 0) return errno;
  if (!LockHolder(device, places).empty()) return EBUSY;
  return 0;
#endif
}

std::vector<SerialDevice> SerialDevices(const PortPlaces& places) {
  std::vector<SerialDevice> devices;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(places.dev, error)) {
    const std::string name = entry.path().filename().string();
    bool serial = StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM");
    if (StartsWith(name, "ttyS")) {
      // Most of the 4 to 32 ttyS devices are placeholders without a UART.
      const std::string type = FirstLine(fs::path(places.sys_tty) / name / "type");
      serial = !type.empty() && type != "0";
    }
    if (serial) devices.push_back({entry.path().string(), {}});
  }
  for (const auto& entry :
       fs::directory_iterator(fs::path(places.dev) / "serial" / "by-id", error)) {
    const fs::path target = fs::weakly_canonical(entry.path(), error);
    for (SerialDevice& device : devices) {
      if (!error && fs::weakly_canonical(device.path, error) == target) {
        device.by_id = entry.path().string();
      }
    }
  }
  std::sort(devices.begin(), devices.end(),
            [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
  return devices;
}

PortDiagnosis DiagnosePort(int port_number, const std::string& start_directory, int open_error,
                           const PortPlaces& places) {
  PortDiagnosis d;
  d.port_number = port_number;
  d.device = SerialDeviceName(port_number, start_directory);
#ifndef _WIN32
  d.user = UserName();
  std::string dir = start_directory;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  const std::string entry = dir + "com" + std::to_string(port_number);
  d.link = entry;
  std::error_code error;
  if (fs::exists(fs::symlink_status(entry, error))) {
    d.entry = entry;
    // A link that points nowhere: name what it points to.
    const fs::path target = fs::read_symlink(entry, error);
    if (!error && !fs::exists(d.device, error)) {
      d.device = (target.is_absolute() ? target : fs::path(dir) / target).lexically_normal();
    }
  }
  // What stands in the way now decides where it is sure; the opening's own
  // error is kept where the device looks usable.
  const int seen = AccessError(d.device, places);
  d.error = seen != 0 || open_error < 0 ? seen : open_error;
  if (d.error == EACCES && !LockHolder(d.device, places).empty()) d.error = EBUSY;
  if (FaultOfError(d.error) == PortFault::kNoPermission) PermissionFacts(d.device, d);
  if (d.error == EBUSY) d.holder = LockHolder(d.device, places);
#else
  d.error = std::max(0, open_error);
#endif
  d.fault = FaultOfError(d.error);
  d.reason = Reason(d.error);
  d.present = SerialDevices(places);
  return d;
}

std::string DescribePortFailure(const PortDiagnosis& d) {
  const std::string com = "COM" + std::to_string(d.port_number);
  std::string text = com + " is " + d.device;
  if (!d.entry.empty()) text += " (the link " + d.entry + ")";
  text += ".\n";
  if (!d.reason.empty()) text += "The system says: " + d.reason + ".\n";
  switch (d.fault) {
    case PortFault::kNoDevice: {
      if (d.present.empty()) {
        text += "There is no serial device: is the cable's adapter plugged in?";
        break;
      }
      std::vector<std::string> names;
      for (const SerialDevice& device : d.present) {
        names.push_back(device.by_id.empty() ? device.path
                                             : device.by_id + " (" + device.path + ")");
      }
      // An adapter's stable name first: it is most likely the cable.
      const auto stable = std::find_if(d.present.begin(), d.present.end(),
                                       [](const SerialDevice& s) { return !s.by_id.empty(); });
      const SerialDevice& first = stable != d.present.end() ? *stable : d.present.front();
      const std::string link = d.link.empty() ? "com" + std::to_string(d.port_number) : d.link;
      text += "Serial devices there are: " + Joined(names, ", ") + ".\nTo use one as " + com +
              ", link it in the settings directory, for example:\nln -sfn " +
              ShellQuoted(first.by_id.empty() ? first.path : first.by_id) + " " + ShellQuoted(link);
      break;
    }
    case PortFault::kNoPermission:
      if (d.group.empty()) {
        text += "Your user may not use this device.";
      } else if (d.group_listed) {
        text += "You are in the group " + d.group +
                ", but this login started before you joined it: log out and in again.";
      } else {
        text += "Only members of the group " + d.group +
                " may use it. Join it with\nsudo adduser " +
                (d.user.empty() ? std::string("$USER") : d.user) + " " + d.group +
                "\nand log in again: a new group counts from the next login on.";
      }
      break;
    case PortFault::kBusy:
      text += "Another program holds the device" +
              (d.holder.empty() ? std::string() : " (" + d.holder + ")") +
              ": close it, or choose another port.";
      break;
    case PortFault::kNone:
    case PortFault::kOther:
      break;
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace tavo::platform
