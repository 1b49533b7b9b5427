#include "cli/ports.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/console.h"
#include "platform/port_diagnosis.h"
#ifdef _WIN32
#include "platform/win_serial_port.h"
#endif

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

std::string WithSlash(std::string path) {
#ifdef _WIN32
  if (!path.empty() && path.back() == '/') path.pop_back();
  if (!path.empty() && path.back() != '\\') path += '\\';
#else
  if (!path.empty() && path.back() != '/') path += '/';
#endif
  return path;
}

#ifndef _WIN32
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
#endif

}  // namespace

SettingsDirectory ChooseSettingsDirectory(const std::string& current) {
  if (HoldsSettings(current)) return {WithSlash(current), "the current directory"};
  const fs::path user = platform::UserSettingsDirectory();
  std::error_code error;
  if (!user.empty() && fs::is_directory(user, error)) {
    return {WithSlash(user.string()),
            "the per-user settings directory (the current one holds no tavo_c.cfg or com<n>)"};
  }
  return {WithSlash(current), "the current directory (there is no " +
                                  (user.empty() ? std::string("per-user one") : user.string()) +
                                  ")"};
}

#ifdef _WIN32

namespace {

// Whether the port opens now, by opening it: Windows tells no more without.
std::string PortState(const std::string& name) {
  platform::WinSerialPort port;
  port.SetDevice(name);
  if (port.Open({})) {
    port.Close();
    return "ok";
  }
  if (!port.InUseText().empty()) return "in use by another program";
  return "cannot be opened: " + port.ErrorText();
}

}  // namespace

int Ports(const SettingsDirectory& settings) {
  std::cout << "settings  " << settings.path << "  " << settings.why << "\n";
  for (int number = 1; number <= 4; ++number) {
    const std::string name = "COM" + std::to_string(number);
    std::cout << name << "  " << PortState(name) << "\n";
  }
  const std::vector<std::string> listed = platform::SystemSerialPorts();
  std::cout << "devices" << (listed.empty() ? "   none listed by the system" : "") << "\n";
  for (const std::string& name : listed)
    std::cout << "  " << name << "  " << PortState(name) << "\n";
  return 0;
}

#else

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

#endif

}  // namespace tavo::cli
