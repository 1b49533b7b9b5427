#pragma once

#include <string>
#include <vector>

#include "memofs/directory_table.h"

namespace tavo::memofs {

// The one reading of an index text, shared by every reader (the window,
// tavo-cli, backup, restore, the checker), so that all of them reach the same
// memos. See index_text.cpp for how damaged texts are read.
struct IndexReading {
  std::vector<DirectoryEntry> entries;  // whole entries, in stored order
  // Why the text is not as WriteIndex makes it (the first reason), empty when
  // it is: entries may be lost or guessed. Numbers beyond 16 bits read as
  // 32767 and a last part of 1956 characters is read as it stands; neither is
  // a fault.
  std::string fault;
};
IndexReading ReadIndexText(const std::string& text);
// ReadIndexText(text).entries.
std::vector<DirectoryEntry> ParseIndexText(const std::string& text);
// Whether a file entry names parts that can be read: a last part number of 0
// or more holding 0 to 1956 characters (a full one as some clients record it).
bool ReadableFileEntry(const DirectoryEntry& entry);
// A field or name as a report line can show it: at most 12 bytes, control and
// high bytes and the backslash as \xHH.
std::string ShownField(const std::string& field);
// The text WriteIndex stores: directories, then files, each in exchange-sort
// order of the upper-cased name. Rows 1 to end of `table` are written.
std::string BuildIndexText(const std::vector<DirectoryEntry>& table);
// 43-byte record header with the title cut or blank-padded to 20 ("noname" if empty).
std::string BuildMemoHeader(const std::string& title);
// Header + body + character 0.
std::string BuildMemoImage(const std::string& title, const std::string& body);

}  // namespace tavo::memofs
