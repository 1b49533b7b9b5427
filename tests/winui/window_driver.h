#pragma once

// Drives the native window in process, as a user would, through the
// controls' own messages: buttons are pressed with BM_CLICK, rows selected
// with LVM_SETITEMSTATE, keys posted to the focused control and run through
// the window's own message handling. Message boxes, being modal, are
// answered from a script; dialogs are driven from the moment they open.
// clang-format off: the system header first, the others need its types.
#include <windows.h>
// clang-format on
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "commands/client.h"
#include "link/serial_link.h"
#include "platform/computer_files.h"
#include "platform/steady_clock.h"
#include "platform/win_serial_port.h"
#include "support/temp_dir.h"
#include "ui/client_commands.h"
#include "winui/link_host.h"
#include "winui/main_form.h"

namespace tavo::winui::testing {

using Strings = std::vector<std::string>;

inline std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

inline std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A message box the window asked for.
struct Box {
  std::wstring text;
  std::wstring title;
  UINT type = 0;
};

// What the user does at each message box and dialog.
struct Script {
  std::vector<Box> boxes;
  std::deque<int> answers;  // for questions; an empty script answers Yes
  std::map<std::string, std::function<void(HWND)>> on_dialog;  // by the dialog's name
  std::vector<std::string> opened;                             // dialogs, in order
  std::vector<std::wstring> documents;
  bool ended = false;
  double now = 0;  // the About window's clock, moved only by its waits
};

inline WinServices ScriptedServices(Script& script) {
  WinServices s;
  s.message_box = [&script](HWND, const std::wstring& text, const std::wstring& title, UINT type) {
    script.boxes.push_back({text, title, type});
    if ((type & MB_YESNO) == 0) return IDOK;
    const int answer = script.answers.empty() ? IDYES : script.answers.front();
    if (!script.answers.empty()) script.answers.pop_front();
    return answer;
  };
  s.dialog_opened = [&script](HWND dialog, const std::string& name) {
    script.opened.push_back(name);
    const auto found = script.on_dialog.find(name);
    if (found != script.on_dialog.end()) found->second(dialog);
  };
  s.open_document = [&script](const std::wstring& path) { script.documents.push_back(path); };
  s.clock.now = [&script] { return script.now; };
  s.clock.sleep = [&script](double seconds) { script.now += seconds; };
  s.end_program = [&script] { script.ended = true; };
  return s;
}

// COM on the test's thread, as the program has it (for the screen readers' names).
struct ComThread {
  ComThread() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComThread() { ::CoUninitialize(); }
  ComThread(const ComThread&) = delete;
  ComThread& operator=(const ComThread&) = delete;
};

// The real window, commands and Windows port, as the program builds them.
class Rig {
  ComThread com_;

 public:
  // `device` is the port's name ("COM21"); `config` the settings file's lines.
  explicit Rig(const std::string& device, const Strings& config = DefaultConfig()) {
    std::ofstream file(start_.path() / "tavo_c.cfg", std::ios::binary);
    for (const std::string& line : config) file << line << "\r\n";
    file.close();
    state.StartDirectory = platform::BytesFromNative(start_.path()).value_or("") + "\\";
    port.SetDevice(device);
    form.Form_Load(commands);
    ::SetForegroundWindow(form.Handle());
    Pump();
  }
  // The defaults, without the About window at start, at 38400 baud.
  static Strings DefaultConfig() {
    return {"0", "0", "1", "0", "9375", "7425", "", "", "", "", "2", "4"};
  }

  HWND Control(int id) const { return form.Control(id); }

  // Runs what is queued for the window, as its message loop does.
  void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (form.PreTranslate(message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }

  // Presses a button; false when it is disabled (the press then does nothing).
  bool Click(int id) {
    const bool enabled = ::IsWindowEnabled(Control(id)) != FALSE;
    ::SendMessageW(Control(id), BM_CLICK, 0, 0);
    Pump();
    return enabled;
  }
  void Menu(int item) {
    ::SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(item, 0), 0);
    Pump();
  }
  // A key pressed on a control that has the focus.
  void Key(int id, WORD key) {
    ::SetFocus(Control(id));
    ::PostMessageW(Control(id), WM_KEYDOWN, key, 1);
    ::PostMessageW(Control(id), WM_KEYUP, key, 0xC0000001);
    Pump();
  }

  // The rows of a list as it shows them.
  std::vector<std::wstring> Rows(int list) const {
    std::vector<std::wstring> rows;
    const auto count = ::SendMessageW(Control(list), LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < count; ++row) rows.push_back(Cell(list, row, 0));
    return rows;
  }
  std::wstring Cell(int list, int row, int column) const {
    wchar_t text[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    ::SendMessageW(Control(list), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  bool Shows(int list, const std::wstring& row) const {
    for (const std::wstring& shown : Rows(list)) {
      if (shown == row) return true;
    }
    return false;
  }
  // Selects exactly the rows with these texts and focuses the last; how many there were.
  std::size_t Select(int list, const std::vector<std::wstring>& texts) {
    SetState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    std::size_t found = 0;
    const std::vector<std::wstring> rows = Rows(list);
    for (std::size_t row = 0; row < rows.size(); ++row) {
      for (const std::wstring& text : texts) {
        if (rows[row] != text) continue;
        SetState(list, static_cast<int>(row), LVIS_SELECTED | LVIS_FOCUSED,
                 LVIS_SELECTED | LVIS_FOCUSED);
        ++found;
      }
    }
    return found;
  }
  // The command ran to its end: the status window gone, the window usable.
  bool Settled() const {
    return form.StatusWindow() == nullptr && form.MainWindowEnabled() &&
           ::IsWindowEnabled(form.Handle()) && !link.IsOpen() && !client.Busy();
  }
  std::string ConfigLine(std::size_t index) const {
    std::ifstream in(start_.path() / "tavo_c.cfg", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), {});
    std::size_t at = 0;
    for (std::size_t i = 0; i < index; ++i) at = all.find("\r\n", at) + 2;
    return all.substr(at, all.find("\r\n", at) - at);
  }
  // Shows this computer directory (a native path) in the computer pane.
  void ShowComputerDirectory(const std::filesystem::path& dir) {
    const std::string bytes = platform::BytesFromNative(dir).value_or("");
    state.ComputerDrive = std::string(1, static_cast<char>(std::tolower(bytes[0])));
    state.ComputerPath = bytes.substr(2) + "\\";
    commands.ListComputerDirectory();
  }

  Script script;
  commands::ClientState state;
  platform::NativeComputerFiles files;
  platform::WinSerialPort port;
  platform::SteadyClock clock;
  MainForm form{state, files, ScriptedServices(script)};
  FormLinkHost host{form, port};
  link::SerialLink link{port, clock, host};
  commands::Client client{state, form, link, files};
  ui::ClientCommands commands{client};

 private:
  void SetState(int list, int row, UINT state_bits, UINT mask) {
    LVITEMW item{};
    item.state = state_bits;
    item.stateMask = mask;
    ::SendMessageW(Control(list), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
  }
  ::tavo::testing::TempDir start_;
};

}  // namespace tavo::winui::testing
