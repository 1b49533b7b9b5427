#pragma once

#include <string>
#include <vector>

#include "memofs/directory_table.h"

namespace tavo::memofs {

// Entries of an index text in stored order. See index_text.cpp for how
// damaged texts are read.
std::vector<DirectoryEntry> ParseIndexText(const std::string& text);
// The text WriteIndex stores: directories, then files, each in exchange-sort
// order of the upper-cased name. Rows 1 to end of `table` are written.
std::string BuildIndexText(const std::vector<DirectoryEntry>& table);
// 43-byte record header with the title cut or blank-padded to 20 ("noname" if empty).
std::string BuildMemoHeader(const std::string& title);
// Header + body + character 0.
std::string BuildMemoImage(const std::string& title, const std::string& body);

}  // namespace tavo::memofs
