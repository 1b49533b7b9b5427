#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tavo::platform {

// Longest name a directory entry holds on the usual file systems of both.
inline constexpr std::size_t kMaxNameBytes = 255;

// Whether `name` can be one level of a path. POSIX refuses only "/", character
// 0, the names "." and "..", and names longer than kMaxNameBytes. Windows also
// refuses its reserved characters <>:"/\|?*, control characters, a trailing
// dot or blank and device names such as CON, NUL, COM1 or LPT1 (with or
// without an extension).
bool IsStorablePosixName(const std::string& name);
bool IsStorableWindowsName(const std::string& name);

// Program bytes to a native path and back. POSIX: the bytes themselves.
// Windows: the ANSI code page, in which one character is one byte.
std::filesystem::path NativeFromBytes(const std::string& bytes);
// nullopt when the native name has no exact form in those bytes.
std::optional<std::string> BytesFromNative(const std::filesystem::path& path);

}  // namespace tavo::platform
