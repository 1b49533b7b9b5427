#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace tavo::platform {

// Reading and replacing a directory tree that may have been tampered with.

enum class Want { kFile, kDirectory };

// Opens `relative` ('/'-separated) below `dir` for reading without following
// a link (or, on Windows, any reparse point) at any level below `dir`: a
// regular file or a directory, as wanted. A device or fifo is never opened.
// A descriptor for read() and fstat() (the C runtime's on Windows), or -1.
int OpenBelow(const std::filesystem::path& dir, const std::string& relative, Want want);

// Renames `from` to `to` only when nothing is there, in one step.
std::error_code RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Swaps two directories in one step; false where the system cannot.
bool ExchangeDirectories(const std::filesystem::path& a, const std::filesystem::path& b);

// Closes a descriptor OpenBelow gave.
void CloseDescriptor(int fd);

}  // namespace tavo::platform
