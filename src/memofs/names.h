#pragma once

#include <cstdint>
#include <string>

namespace tavo::memofs {

// Blanks (character 32) only, as names are shown and typed.
std::string Trim(const std::string& text);
bool StartsWith(const std::string& text, const std::string& prefix);
// Whether a memo name is one the file system makes: "fs0", then any number
// of "_" and decimal digits, at most 20 characters (indexes and parts). Any
// other name is a plain memo however it begins ("fs0 ideas", "fs0x").
bool FileSystemMemo(const std::string& name);
// Whether a name survives a command line (and, in_index, an index entry).
bool StorableName(const std::string& name, bool in_index);
// Whether an organizer name can be one level below a computer directory
// without climbing out of it: not empty, not "." or "..", no slash,
// backslash or character 0. The computer may refuse more.
bool PlainComputerName(const std::string& name);
// Title of piece `piece` of a file of `size` bytes stored as plain memos:
// the name, or for more than one piece its first 20 - w characters and the
// piece number padded to w digits.
std::string PieceTitle(const std::string& name, std::int64_t size, int piece);
// Whether the title of any piece of such a file begins with "fs0", the file
// system's own names (an empty file stores nothing).
bool AnyReservedTitle(const std::string& name, std::int64_t size);
// Integer part of 100 * done / total; 100 when there is nothing to do.
int Percent(long long done, long long total);

}  // namespace tavo::memofs
