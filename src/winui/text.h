#pragma once

#include <string>

namespace tavo::winui {

// How raw bytes are shown: UTF-8 when they form valid UTF-8, else in the
// system's code page. Control bytes show as visible symbols. The window
// keeps the raw bytes beside the text; this is for display only.
std::wstring DisplayText(const std::string& bytes);
// Computer names are the system code page's bytes.
std::wstring ComputerText(const std::string& bytes);
// What the user typed, as the bytes that go on: UTF-8.
std::string Utf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace tavo::winui
