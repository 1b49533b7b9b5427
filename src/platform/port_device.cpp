#include "platform/port_device.h"

#include <filesystem>
#include <system_error>

#include "platform/file_names.h"

namespace tavo::platform {

#ifdef _WIN32

std::string SerialDeviceName(int port_number, const std::string&) {
  if (port_number < 1) return {};
  return "COM" + std::to_string(port_number);
}

#else

std::string SerialDeviceName(int port_number, const std::string& start_directory) {
  namespace fs = std::filesystem;
  if (port_number < 1) return {};
  std::string dir = start_directory;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  const fs::path entry = NativeFromBytes(dir + "com" + std::to_string(port_number));
  std::error_code error;
  // A dangling link still counts: the port then fails to open rather than
  // quietly becoming another one.
  if (fs::exists(fs::symlink_status(entry, error))) {
    // The device's own name, so the serial library's lock file guards the
    // device and not the link.
    const fs::path target = fs::canonical(entry, error);
    return error ? entry.string() : target.string();
  }
  return "/dev/ttyS" + std::to_string(port_number - 1);
}

#endif

}  // namespace tavo::platform
