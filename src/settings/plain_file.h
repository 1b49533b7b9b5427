#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tavo::settings {

// The bytes of a regular file (a link to one is followed) of at most
// max_bytes. Nothing for anything else: a missing or unreadable file, a
// directory, a device or pipe (never opened, so reading never blocks), or a
// larger file.
std::optional<std::string> ReadSmallRegularFile(const std::string& path, std::size_t max_bytes);

// Replaces the file at path with bytes as a whole: written beside it and
// renamed over it, through a link to a regular file. Nothing is written, and
// false returned, where the name holds anything but a regular file or nothing,
// where that file is read-only, or where it cannot be created.
bool ReplaceRegularFile(const std::string& path, const std::string& bytes);

}  // namespace tavo::settings
