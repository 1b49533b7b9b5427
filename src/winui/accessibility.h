#pragma once

#include <windows.h>

#include <string>

namespace tavo::winui {

// Names a control for screen readers where it has no caption of its own
// (a list under its frame's caption, the drive list, the status window with
// its blank caption). Needs COM on the thread; without it nothing is named.
void NameForScreenReaders(HWND control, const std::wstring& name);

// The name a screen reader hears for a control.
std::wstring ScreenReaderName(HWND control);

}  // namespace tavo::winui
