#include "cli/ports.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/port_diagnosis.h"

namespace tavo::cli {

namespace fs = std::filesystem;

namespace {

bool HoldsSettings(const fs::path& dir) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(dir / "tavo_c.cfg", error))) return true;
  for (int n = 1; n <= 4; ++n) {
    if (fs::exists(fs::symlink_status(dir / ("com" + std::to_string(n)), error))) return true;
  }
  return false;
}

// $XDG_CONFIG_HOME/tavo, or ~/.config/tavo (a relative XDG_CONFIG_HOME is ignored).
fs::path UserSettingsDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && fs::path(xdg).is_absolute()) return fs::path(xdg) / "tavo";
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return {};
  return fs::path(home) / ".config" / "tavo";
}

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

// One line per port: its device and whether it may be opened now.
void PrintPort(int number, const SettingsDirectory& settings) {
  const platform::PortDiagnosis d = platform::DiagnosePort(number, settings.path, -1);
  std::cout << "COM" << number << "  " << d.device;
  if (!d.entry.empty()) std::cout << "  (link " << d.entry << ")";
  if (d.fault == platform::PortFault::kNone) {
    std::cout << "  ok\n";
    return;
  }
  std::cout << "  cannot be opened\n";
  // The window's explanation, indented under its port.
  const std::string text = platform::DescribePortFailure(d);
  std::size_t start = text.find('\n');
  while (start != std::string::npos) {
    const std::size_t end = text.find('\n', start + 1);
    std::cout << "      "
              << text.substr(start + 1, end == std::string::npos ? end : end - start - 1) << "\n";
    start = end;
  }
}

}  // namespace

SettingsDirectory ChooseSettingsDirectory(const std::string& current) {
  if (HoldsSettings(current)) return {WithSlash(current), "the current directory"};
  const fs::path user = UserSettingsDirectory();
  std::error_code error;
  if (!user.empty() && fs::is_directory(user, error)) {
    return {WithSlash(user.string()),
            "the per-user settings directory (the current one holds no tavo_c.cfg or com<n>)"};
  }
  return {WithSlash(current), "the current directory (there is no " +
                                  (user.empty() ? std::string("per-user one") : user.string()) +
                                  ")"};
}

int Ports(const SettingsDirectory& settings) {
  std::cout << "settings  " << settings.path << "  " << settings.why << "\n";
  for (int number = 1; number <= 4; ++number) PrintPort(number, settings);
  const std::vector<platform::SerialDevice> devices = platform::SerialDevices();
  std::cout << "devices" << (devices.empty() ? "   none found" : "") << "\n";
  for (const platform::SerialDevice& device : devices) {
    const int error = platform::AccessError(device.path);
    std::cout << "  " << device.path;
    if (!device.by_id.empty()) std::cout << "  " << device.by_id;
    std::cout << "  "
              << (error == 0 ? "ok" : std::error_code(error, std::generic_category()).message())
              << "\n";
  }
  return 0;
}

}  // namespace tavo::cli
