#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tavo::winui {

// A clock for the About window's wait at start.
struct WaitClock {
  std::function<double()> now;
  std::function<void(double seconds)> sleep;
};

// What the window needs of the system; tests replace any of it.
struct WinServices {
  // A message box; a modal one would stop a test, so they are scripted there.
  std::function<int(HWND owner, const std::wstring& text, const std::wstring& title, UINT type)>
      message_box;
  // Called when a dialog (by its name: "Msg", "About", "InputNewDir",
  // "OptionsMain", "OptionsWindow") has its controls, before it runs.
  std::function<void(HWND dialog, const std::string& name)> dialog_opened;
  // Opens a document path or address with the desktop's program.
  std::function<void(const std::wstring& path)> open_document;
  // Directories beside the program that hold the help documents (ending with "\").
  std::vector<std::wstring> document_dirs;
  WaitClock clock;
  // Ends the program; nothing runs after it.
  std::function<void()> end_program;
};

// The usual services of a desktop session.
WinServices DefaultServices();

}  // namespace tavo::winui
