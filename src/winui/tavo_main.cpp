// Tavo (Client) on the Windows API: everything the window needs is built here
// once and handed down; the window's load event then runs the start-up sequence.

// clang-format off: the system header first, the others need its types.
#include <windows.h>
// clang-format on
#include <shlobj.h>

#include <filesystem>
#include <string>

#include "commands/client.h"
#include "commands/client_state.h"
#include "link/serial_link.h"
#include "platform/computer_files.h"
#include "platform/file_names.h"
#include "platform/steady_clock.h"
#include "platform/win_serial_port.h"
#include "ui/client_commands.h"
#include "winui/link_host.h"
#include "winui/main_form.h"

namespace {

// Started from the Start menu, the program keeps its settings in the user's
// own directory, %APPDATA%\Tavo, made when missing.
void EnterUserDirectory() {
  PWSTR roaming = nullptr;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming))) {
    const std::filesystem::path dir = std::filesystem::path(roaming) / L"Tavo";
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    std::filesystem::current_path(dir, error);
  }
  ::CoTaskMemFree(roaming);
}

bool HasFlag(const wchar_t* flag) {
  int count = 0;
  wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  bool found = false;
  for (int i = 1; i < count; ++i) found = found || std::wstring(args[i]) == flag;
  ::LocalFree(args);
  return found;
}

// The directory that was current at start, ending with a backslash, as the
// system code page's bytes (the program's computer paths are).
std::string CurrentDirectory() {
  std::error_code error;
  std::string dir =
      tavo::platform::BytesFromNative(std::filesystem::current_path(error)).value_or("");
  if (!dir.empty() && dir.back() != '\\') dir.push_back('\\');
  return dir;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  // A drive without its medium gives an empty pane, not the system's dialog.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  if (HasFlag(L"--user-settings")) EnterUserDirectory();
  // For the shell's document opening and the screen readers' names.
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  tavo::commands::ClientState state;
  state.StartDirectory = CurrentDirectory();

  tavo::platform::WinSerialPort port;
  tavo::platform::SteadyClock clock;
  tavo::platform::NativeComputerFiles files;

  tavo::winui::MainForm form(state, files, tavo::winui::DefaultServices());
  tavo::winui::FormLinkHost host(form, port);
  tavo::link::SerialLink link(port, clock, host);
  tavo::commands::Client client(state, form, link, files);
  tavo::ui::ClientCommands commands(client);

  form.Form_Load(commands);
  return tavo::winui::RunMessageLoop(form);
}
