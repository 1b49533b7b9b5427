#include "winui/text.h"

#include <windows.h>

namespace tavo::winui {
namespace {

std::wstring Decode(const std::string& bytes, UINT code_page, DWORD flags, bool& ok) {
  ok = true;
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int wide_size = ::MultiByteToWideChar(code_page, flags, bytes.data(), size, nullptr, 0);
  if (wide_size <= 0) {
    ok = false;
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
  ::MultiByteToWideChar(code_page, flags, bytes.data(), size, wide.data(), wide_size);
  return wide;
}

// Control characters would vanish or break the row; their pictures stand in.
std::wstring Visible(std::wstring text) {
  for (wchar_t& c : text) {
    if (c < 0x20) c = static_cast<wchar_t>(0x2400 + c);
    if (c == 0x7f) c = 0x2421;
  }
  return text;
}

}  // namespace

std::wstring DisplayText(const std::string& bytes) {
  bool ok = false;
  std::wstring text = Decode(bytes, CP_UTF8, MB_ERR_INVALID_CHARS, ok);
  if (!ok) text = Decode(bytes, CP_ACP, 0, ok);
  return Visible(text);
}

std::wstring ComputerText(const std::string& bytes) {
  bool ok = false;
  return Visible(Decode(bytes, CP_ACP, 0, ok));
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int narrow =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(narrow > 0 ? narrow : 0), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), narrow, nullptr, nullptr);
  return bytes;
}

std::wstring FromUtf8(const std::string& text) {
  bool ok = false;
  return Decode(text, CP_UTF8, 0, ok);
}

}  // namespace tavo::winui
