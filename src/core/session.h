#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/computer_files.h"
#include "core/feedback.h"
#include "link/exchanges.h"
#include "link/serial_link.h"
#include "memofs/directory_table.h"
#include "memofs/index_io.h"

namespace tavo::core {

// The organizer file operations, free of any pane: each works on the current
// organizer directory (or the plain memos) and computer program paths
// ("c:\dir\name", see core/computer_files.h). The window's commands and
// tavo-cli both run on it, so an item goes over the wire the same way from
// either. The guarantees live here once: a new file is stored whole before an
// index names it and before the file it replaces goes, an index stops naming
// an item before the item goes, silence is never read as "not found",
// hostile names are refused, a full directory is refused before anything is
// sent.
//
// The caller opens the link; a session uses it until an exchange fails, then
// closes it (every later call ends kLinkFailed at once). Refusals end the item
// and the operation goes on with the next; the window, which stops a whole
// command at a refusal, sets the cancel token from Feedback::Ended (or
// Feedback::Refused).
class Session : private memofs::MemoFsHost {
 public:
  Session(link::SerialLink& link, ComputerFiles& files, Feedback& feedback, CancelToken& cancel)
      : link_(link), files_(files), feedback_(feedback), cancel_(cancel), state_(own_state_) {}
  // A session on the window's own table: it starts in the directory (or the
  // memo list) that `state` holds, and names its items from there. Walk
  // starts such a session from the root.
  Session(link::SerialLink& link, ComputerFiles& files, Feedback& feedback, CancelToken& cancel,
          memofs::OrganizerState& state);

  // ---- Directories of the memo file system ----

  // Makes the directory at `path` (names from the root) current: from where
  // the session is when that is on the way, else from the root, reading each
  // index (a missing one is made empty, as the window does). kFailed: a level
  // is missing, a file, or too deep; the session stays at the last level read.
  Result Walk(const std::vector<std::string>& path);
  const std::vector<std::string>& CurrentPath() const { return path_; }
  // Entries of the current directory, directories first, then files, each
  // in the order the window lists them.
  std::vector<memofs::DirectoryEntry> Listing() const;
  // The entry of the current directory with exactly this name, if any.
  std::optional<memofs::DirectoryEntry> Find(const std::string& name) const;

  // A new directory `name` in the current one. kSkipped when one exists.
  Result MakeDirectory(const std::string& name);
  // The file or directory `name` of the current directory, with everything
  // below it, to `target` (the file or the directory to make).
  Result Fetch(const std::string& name, const std::string& target);
  // The window's halves of Fetch, for a row whose kind the pane shows: the
  // name is matched exactly, then trimmed.
  Result FetchDirectory(const std::string& name, const std::string& target);
  Result FetchFile(const std::string& name, const std::string& target);
  // The computer file `source` as file `name` of the current directory,
  // replacing one of that name only as the feedback's answer allows.
  Result StoreFile(const std::string& source, const std::string& name);
  // The computer directory `source` with everything below it as directory
  // `name` of the current one (merged into one that exists).
  Result StoreDirectory(const std::string& source, const std::string& name);
  // The file or directory `name` of the current directory, with everything below it.
  Result Remove(const std::string& name);
  // The window's halves of Remove, for a row whose kind the pane shows: the
  // file `name` (matched exactly, then trimmed), or the directory `name` with
  // everything below it. Either writes the index after an item it could not
  // find, as the window's step does.
  Result RemoveFile(const std::string& name);
  Result RemoveDirectory(const std::string& name);

  // ---- Plain memos ----

  // Lists the memos that are not the file system's own ("fs0...").
  Result ListMemos();
  const std::vector<std::string>& Memos() const { return memos_; }
  // Memo `name` (as listed) to the computer file `target`.
  Result FetchMemo(const std::string& name, const std::string& target);
  // The computer file `source` as memo `name`, in pieces of 1956 bytes for a
  // longer file (titles as the window makes them).
  Result StoreMemo(const std::string& source, const std::string& name);
  Result DeleteMemo(const std::string& name);

  // False once an exchange failed: the link is closed for good.
  bool LinkUp() const { return !link_failed_ && link_.IsOpen(); }
  const memofs::OrganizerState& state() const { return state_; }

 private:
  // A name the table no longer holds: the window's step goes no further.
  class Abandoned {};
  enum class View { kNone, kDirectory, kMemos };
  enum class Entered { kYes, kTooDeep, kLinkLost };

  // memofs::MemoFsHost: refusals are recorded, a failed exchange closes the link.
  void ShowError(const std::string& text) override { refusal_ = text; }
  bool CancelRequested() const override { return Stopped(); }
  void SetUnsynchronized() override {
    refused_ = true;
    feedback_.Refused(refusal_);
  }
  void LinkLost() override {
    FailLink("the organizer did not answer as expected (reading or writing an index)");
  }

  // Runs one top-level operation: its result is its heaviest item's.
  template <typename F>
  Result Run(F&& body);
  // Runs a step that a missing name or a closed link abandons (the window's Step).
  template <typename F>
  void Guard(F&& step);
  void End(const Item& item, const Result& result);
  void Report(core::Step step, const Item& item, std::int64_t done = 0, std::int64_t total = 0,
              int part = -1, int last_part = 0);
  // Closes the link after a failed exchange; the first reason stays.
  void FailLink(const std::string& reason);
  // Ends `item` as kLinkFailed and unwinds the operation when the link is closed.
  void RequireLink(const Item& item);
  [[noreturn]] void LinkFailedAt(const Item& item);
  bool Stopped() const { return cancel_.Cancelled(); }
  memofs::MemoFs Fs();
  // The refusal text memofs gave, as a reason.
  std::string RefusalReason() const;
  Item Here(const std::string& name, const std::string& computer) const;

  // Walking.
  bool ReadIndex();
  bool WriteIndex();
  Result OpenRoot();
  Entered EnterDirectoryRow(int row);
  bool LeaveDirectory();
  // Ends the item kDamagedIndex when the current directory's index repeats a
  // number; true then.
  bool RefusedAsDamaged(const Item& item);
  // Row of a name, exact first, then trimmed (as the window finds pane texts).
  int LookUp(const std::string& text) const;

  // The window's walks.
  void FetchDirectoryHere(const std::string& name, const std::string& target);
  void FetchFileHere(const std::string& name, const std::string& target);
  // Whether the last level of a target path may be written; ends the item if not.
  bool SafeTarget(const Item& item, const std::string& name);
  // Whether target may be written: asks before replacing a file, refuses anything else.
  bool MayWrite(const Item& item, const std::string& target);
  bool Overwrite(const Item& item);
  void StoreDirectoryHere(const std::string& source, const std::string& name);
  void StoreFileHere(const std::string& source, const std::string& name);
  bool DeletePartMemos(const Item& item, const std::string& stem, int last, int first, int upto);
  bool DeleteFileParts(const Item& item, const memofs::DirectoryEntry& entry);
  // Takes rows out of the index; a failed write ends the item as a link failure.
  void Unlist(const Item& item, const std::vector<memofs::DirectoryEntry>& rows);
  void DeleteOrganizerFile(const std::string& name);
  void DeleteOrganizerDirectory(const std::string& name);
  bool EnsureMemoView();

  link::SerialLink& link_;
  ComputerFiles& files_;
  Feedback& feedback_;
  CancelToken& cancel_;
  memofs::OrganizerState own_state_;
  memofs::OrganizerState& state_;
  std::vector<std::string> path_;  // names of the current directory
  View view_ = View::kNone;
  // On the window's table: path_ is relative to where the session began.
  bool adopted_ = false;
  std::vector<std::string> memos_;
  // Computer files this session wrote, upper-cased: a later name that lands
  // on one of them is another organizer item, not an older copy.
  std::set<std::string> written_;
  bool link_failed_ = false;
  std::string link_reason_;
  bool refused_ = false;
  std::string refusal_;
  Result worst_;  // of the operation under way
};

// Why an exchange failed, for a person: silence or an unexpected answer.
std::string SilenceOrGarble(bool silent);
// Why a "dir" did not come whole: too many names announced, silence, or garble.
std::string ListingFailure(const link::DirResult& dir);

}  // namespace tavo::core
