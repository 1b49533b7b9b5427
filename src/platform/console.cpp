#include "platform/console.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <csignal>
#endif

namespace tavo::platform {

namespace {

std::atomic<core::CancelToken*> g_token{nullptr};
std::atomic<bool> g_interrupted{false};

// Lock-free, so a signal handler may call it.
void Interrupt() {
  g_interrupted.store(true);
  core::CancelToken* token = g_token.load();
  if (token != nullptr) token->Cancel();
}

}  // namespace

bool Interrupted() { return g_interrupted.load(); }

#ifdef _WIN32

bool IsTerminal(StdStream stream) {
  const DWORD which = stream == StdStream::kIn    ? STD_INPUT_HANDLE
                      : stream == StdStream::kOut ? STD_OUTPUT_HANDLE
                                                  : STD_ERROR_HANDLE;
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

void UseUtf8Console() {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
}

namespace {

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  // A second one: the system's default, which ends the program.
  if (g_interrupted.exchange(true)) return FALSE;
  Interrupt();
  // A closing console ends the program when this returns: give the exchange
  // under way its slice to end first.
  if (event == CTRL_CLOSE_EVENT) Sleep(2000);
  return TRUE;
}

}  // namespace

void StopOnInterrupt(core::CancelToken* token) {
  g_token.store(token);
  SetConsoleCtrlHandler(OnControl, TRUE);
}

std::string UserSettingsDirectory() {
  const char* appdata = std::getenv("APPDATA");
  if (appdata == nullptr || *appdata == '\0') return {};
  return (std::filesystem::path(appdata) / "Tavo").string();
}

std::vector<std::string> SystemSerialPorts() {
  std::vector<std::string> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    char name[256];
    BYTE data[256];
    DWORD name_size = sizeof name, data_size = sizeof data - 1, type = 0;
    const LONG got = RegEnumValueA(key, index, name, &name_size, nullptr, &type, data, &data_size);
    if (got == ERROR_NO_MORE_ITEMS) break;
    if (got != ERROR_SUCCESS || type != REG_SZ) continue;
    data[data_size] = 0;
    ports.emplace_back(reinterpret_cast<const char*>(data));
    while (!ports.back().empty() && ports.back().back() == '\0') ports.back().pop_back();
  }
  RegCloseKey(key);
  // COM2 before COM10.
  std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return ports;
}

#else

bool IsTerminal(StdStream stream) {
  const int fd = stream == StdStream::kIn    ? STDIN_FILENO
                 : stream == StdStream::kOut ? STDOUT_FILENO
                                             : STDERR_FILENO;
  return ::isatty(fd) != 0;
}

void UseUtf8Console() {}

namespace {

extern "C" void OnSignal(int) { Interrupt(); }

}  // namespace

void StopOnInterrupt(core::CancelToken* token) {
  g_token.store(token);
  if (token == nullptr) return;
  struct sigaction interrupt {};
  interrupt.sa_handler = OnSignal;
  interrupt.sa_flags = SA_RESETHAND;  // a second Ctrl-C ends the program at once
  sigaction(SIGINT, &interrupt, nullptr);
}

std::string UserSettingsDirectory() {
  namespace fs = std::filesystem;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && fs::path(xdg).is_absolute()) return (fs::path(xdg) / "tavo").string();
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return {};
  return (fs::path(home) / ".config" / "tavo").string();
}

std::vector<std::string> SystemSerialPorts() { return {}; }

#endif

}  // namespace tavo::platform
