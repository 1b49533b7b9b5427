#include "memofs/index_io.h"

#include <optional>
#include <set>
#include <vector>

#include "link/exchanges.h"
#include "memofs/index_text.h"
#include "memofs/names.h"

namespace tavo::memofs {

namespace {

DirectoryEntry FirstRow(const OrganizerState& state) {
  DirectoryEntry row;
  if (state.CurrentDepth == 0 && state.MemoViewActive != 1) {
    row.EntryName = kReservedName;
    row.EntryType = kTypeRoot;
  } else {
    row.EntryName = "..";
    row.EntryType = kTypeParent;
  }
  return row;
}

// Whether the organizer lists a memo of that name; nothing when the listing
// did not come whole (cut off, refused, or stopped by a Cancel).
std::optional<bool> ListsMemo(MemoFs& fs, const std::string& name) {
  bool listed = false;
  const link::DirResult dir =
      link::DirExchange(fs.link, [&](const std::string& line, bool is_name) {
        listed = listed || (is_name && line == name);
        return !fs.host.CancelRequested();
      });
  if (!dir.ok) return std::nullopt;
  return listed;
}

// The "fs0..." names of one whole listing; nothing as for ListsMemo.
std::optional<std::set<std::string>> ListFileSystemMemos(MemoFs& fs) {
  std::set<std::string> names;
  const link::DirResult dir =
      link::DirExchange(fs.link, [&](const std::string& line, bool is_name) {
        if (is_name && StartsWith(line, kRootIndexName)) names.insert(line);
        return !fs.host.CancelRequested();
      });
  if (!dir.ok) return std::nullopt;
  return names;
}

// Whether a memo of that index name, or one below it, is in `names`.
bool Occupied(const std::set<std::string>& names, const std::string& index) {
  if (names.count(index) != 0) return true;
  const auto below = names.lower_bound(index + "_");
  return below != names.end() && StartsWith(*below, index + "_");
}

// The smallest number no row uses whose index memo is absent: neither listed
// (nor anything below it, the memos of a directory an index lost) nor found
// by its own "get". A memo left there, even an empty index, may be the only
// trace of a directory, so it is never written over. Nothing when an exchange
// failed or was cancelled (LinkLost called).
std::optional<int> FreshDirectoryNumber(MemoFs& fs) {
  std::optional<std::set<std::string>> names = ListFileSystemMemos(fs);
  if (!names) {
    fs.host.LinkLost();
    return std::nullopt;
  }
  std::set<int> used;
  for (int r = 1; r < fs.state.EntryCount(); ++r)
    used.insert(fs.state.DirectoryTable[r].EntryNumber);
  for (int n = 0;; ++n) {
    const std::string child = ChildIndexName(fs.state.CurrentIndexName, n);
    if (used.count(n) != 0 || Occupied(*names, child)) continue;
    // Too deep for any "get": the caller refuses it.
    if (child.size() > kMaxMemoName) return n;
    const link::GetResult got = link::GetExchange(fs.link, child);
    if (got.found == link::Word::kOther) return n;
    if (got.found == link::Word::kTimedOut || !got.ok) {
      fs.host.LinkLost();
      return std::nullopt;
    }
  }
}

void RefuseFullDirectory(MemoFs& fs) {
  fs.host.ShowError(kFullDirectoryMessage);
  fs.host.SetUnsynchronized();
}

// Whether a new directory row can be entered and listed; refused with the
// window's message if not.
bool Placeable(MemoFs& fs, const DirectoryEntry& row) {
  if (ChildIndexName(fs.state.CurrentIndexName, row.EntryNumber).size() > kMaxMemoName) {
    fs.host.ShowError(kTooDeepMessage);
    fs.host.SetUnsynchronized();
    return false;
  }
  std::vector<DirectoryEntry> after = fs.state.DirectoryTable;
  after.push_back(row);
  if (BuildIndexText(after).size() > kMaxIndexText) {
    RefuseFullDirectory(fs);
    return false;
  }
  return true;
}

}  // namespace

bool ReadIndex(MemoFs& fs, Listed listed) {
  OrganizerState& state = fs.state;
  state.DirectoryTable.clear();
  state.DirectoryTable.push_back(FirstRow(state));
  const link::GetResult reply = link::GetExchange(fs.link, state.CurrentIndexName);
  switch (reply.found) {
    case link::Word::kExpected:
      if (!reply.ok) {
        fs.host.LinkLost();
        return false;
      }
      for (DirectoryEntry& entry : ParseIndexText(reply.text)) {
        state.DirectoryTable.push_back(std::move(entry));
      }
      return true;
    case link::Word::kOther: {
      if (fs.host.CancelRequested()) return true;
      // Any whole line but "found" reads as "no such memo": a root never used,
      // or a directory whose index a cut-off run never stored. An organizer
      // that merely answered "busy" must not have its index wiped, so the
      // listing decides.
      const std::optional<bool> there = listed == Listed::kUnknown
                                            ? ListsMemo(fs, state.CurrentIndexName)
                                            : std::optional<bool>(listed == Listed::kYes);
      if (!there || *there) {
        fs.host.LinkLost();
        return false;
      }
      return WriteIndex(fs);
    }
    case link::Word::kTimedOut:
      // Silence proves nothing: writing an empty index now would wipe a
      // directory that a slow organizer simply had not answered for.
      fs.host.LinkLost();
      return false;
  }
  return false;
}

bool WriteIndex(MemoFs& fs) {
  OrganizerState& state = fs.state;
  const std::string text = BuildIndexText(state.DirectoryTable);
  if (text.size() > kMaxIndexText) {
    RefuseFullDirectory(fs);
    return false;
  }
  const std::string image = BuildMemoImage(state.CurrentIndexName, text);
  if (!link::PutExchange(fs.link, state.CurrentIndexName, image)) {
    fs.host.LinkLost();
    return false;
  }
  return true;
}

void MakeOrganizerDirectory(MemoFs& fs, const std::string& name) {
  OrganizerState& state = fs.state;
  if (name == kReservedName && state.CurrentDepth == 0) {
    fs.host.ShowError(std::string("Error: Can't create directory with reserved name (") +
                      kReservedName + ")!");
    fs.host.SetUnsynchronized();
    return;
  }
  for (int r = 1; r < state.EntryCount(); ++r) {
    if (state.DirectoryTable[r].EntryName == name) return;
  }
  DirectoryEntry row;
  row.EntryType = kTypeDirectory;
  row.EntryNumber = static_cast<std::int16_t>(NewEntryNumber(state));
  row.EntryName = name;
  if (!Placeable(fs, row)) return;
  // Only now, with nothing refused, is the number confirmed free on the organizer.
  const std::optional<int> fresh = FreshDirectoryNumber(fs);
  if (!fresh) return;
  if (*fresh != row.EntryNumber) {
    row.EntryNumber = static_cast<std::int16_t>(*fresh);
    if (!Placeable(fs, row)) return;
  }
  const std::string child = ChildIndexName(state.CurrentIndexName, row.EntryNumber);
  state.DirectoryTable.push_back(row);
  // The new directory's own index is stored before the parent names it: a
  // failure in between leaves an unnamed empty memo, never an entry without
  // its index. What an earlier failure left is never under that name.
  if (!link::PutExchange(fs.link, child, BuildMemoImage(child, ""))) {
    state.DirectoryTable.pop_back();
    fs.host.LinkLost();
    return;
  }
  if (!WriteIndex(fs)) {
    state.DirectoryTable.pop_back();
    return;
  }
  // The parent again, now listing the new entry; the caller shows it.
  ReadIndex(fs);
}

}  // namespace tavo::memofs
