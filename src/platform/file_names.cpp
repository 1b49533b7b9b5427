#include "platform/file_names.h"

#include <array>
#include <string_view>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace tavo::platform {

namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// Windows opens the device, not a file, for these stems whatever the extension.
bool IsWindowsDeviceName(const std::string& name) {
  std::string_view stem(name);
  stem = stem.substr(0, stem.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  const std::string upper = Upper(stem);
  static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                             "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kPlain) {
    if (upper == device) return true;
  }
  return upper.size() == 4 &&
         (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) && upper[3] >= '1' &&
         upper[3] <= '9';
}

}  // namespace

bool IsStorablePosixName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxNameBytes && name != "." && name != ".." &&
         name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

bool IsStorableWindowsName(const std::string& name) {
  if (!IsStorablePosixName(name)) return false;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) {
      return false;
    }
  }
  if (name.back() == '.' || name.back() == ' ') return false;
  return !IsWindowsDeviceName(name);
}

#ifdef _WIN32

std::filesystem::path NativeFromBytes(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int wide_size = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), wide_size);
  return std::filesystem::path(wide);
}

std::optional<std::string> BytesFromNative(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  // No best-fit mapping: a name that does not come back exactly is not this
  // name. A UTF-8 code page takes neither the flag nor the report.
  const bool utf8 = ::GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  BOOL* report = utf8 ? nullptr : &lossy;
  const int narrow_size =
      ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, report);
  if (narrow_size <= 0 || lossy) return std::nullopt;
  std::string narrow(static_cast<std::size_t>(narrow_size), '\0');
  ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, narrow.data(), narrow_size, nullptr,
                        report);
  if (lossy) return std::nullopt;
  return narrow;
}

#else

std::filesystem::path NativeFromBytes(const std::string& bytes) { return {bytes}; }

std::optional<std::string> BytesFromNative(const std::filesystem::path& path) {
  return path.native();
}

#endif

}  // namespace tavo::platform
