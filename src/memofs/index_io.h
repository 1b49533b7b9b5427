#pragma once

#include <string>

#include "link/serial_link.h"
#include "memofs/directory_table.h"

namespace tavo::memofs {

// What the memo file system needs of its user: messages, and the fall to
// the unsynchronized state after a refusal or a failed exchange.
class MemoFsHost {
 public:
  virtual ~MemoFsHost() = default;
  virtual void ShowError(const std::string& text) = 0;
  virtual void SetUnsynchronized() = 0;
  // An exchange failed: unsynchronized, and the table may no longer be the
  // organizer's picture of the directory.
  virtual void LinkLost() = 0;
  // The user's Cancel: a missing index is then left alone, a listing ends.
  virtual bool CancelRequested() const = 0;
};

struct MemoFs {
  link::SerialLink& link;
  OrganizerState& state;
  MemoFsHost& host;
};

// What a "dir" read just before says of the index memo about to be read.
enum class Listed { kUnknown, kYes, kNo };

// Replaces the table with the root/parent row and the entries of the index
// memo CurrentIndexName. A complete reply other than "found" creates the index
// empty unless the user cancelled, but only once a "dir" shows no memo of that name:
// `listed` when the caller has just read one, else a "dir" of its own. A memo
// that is there after all, a reply cut off by the time limit, a bad closing
// word or a Cancel during that "dir" call LinkLost and write nothing; the
// result is false then.
bool ReadIndex(MemoFs& fs, Listed listed = Listed::kUnknown);
// Writes rows 1.. as the index memo CurrentIndexName. False when not written
// (full directory: message; either way SetUnsynchronized). A refusal is no
// Cancel: the caller decides whether it ends the command.
bool WriteIndex(MemoFs& fs);
// Creates directory `name` (untrimmed) in the current directory and its index,
// under the smallest free number whose index no memo has: one "dir", then a
// "get " of that index that must answer "not found", before the two "put "s.
void MakeOrganizerDirectory(MemoFs& fs, const std::string& name);

inline constexpr const char* kFullDirectoryMessage =
    "Error: Can't create directory or file, because this directory is full!";
inline constexpr const char* kTooDeepMessage = "Error: Sub-directories are too long!";

}  // namespace tavo::memofs
