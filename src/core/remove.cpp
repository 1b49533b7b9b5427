// Deleting files and trees on the organizer, as the window's "Delete" does.
#include <algorithm>
#include <vector>

#include "core/session_internal.h"
#include "link/exchanges.h"
#include "memofs/names.h"

namespace tavo::core {

namespace {

// A whole line other than "found" means the memo is gone already; silence
// proves nothing and is a failure like a missing "ok".
bool DeleteFailed(const link::DelResult& deleted) {
  return deleted.found == link::Word::kTimedOut ||
         (deleted.found == link::Word::kExpected && !deleted.ok);
}

std::string DeleteFailure(const link::DelResult& deleted) {
  return SilenceOrGarble(deleted.found == link::Word::kTimedOut);
}

}  // namespace

Result Session::Remove(const std::string& name) {
  return Run([&] {
    if (RefusedAsDamaged(Here(name, ""))) return;
    const std::optional<memofs::DirectoryEntry> entry = Find(name);
    if (!entry) {
      End(Here(name, ""), {Outcome::kFailed, "no such file or directory"});
      return;
    }
    if (entry->EntryType == memofs::kTypeDirectory) {
      Guard([&] { DeleteOrganizerDirectory(name); });
      // The window writes the index after each deleted directory, even one
      // left half done: the table it writes is the organizer's picture.
      Guard([&] {
        if (!WriteIndex()) RequireLink(Here(name, ""));
      });
    } else {
      Guard([&] { DeleteOrganizerFile(name); });
    }
  });
}

Result Session::RemoveFile(const std::string& name) {
  return Run([&] {
    // Nothing is sent, not even the index write that follows a name not found.
    if (RefusedAsDamaged(Here(name, ""))) return;
    bool index_written = false;
    Guard([&] {
      DeleteOrganizerFile(name);
      index_written = true;
    });
    if (!index_written && link_.IsOpen()) Guard([&] { WriteIndex(); });
  });
}

Result Session::RemoveDirectory(const std::string& name) {
  return Run([&] {
    if (RefusedAsDamaged(Here(name, ""))) return;
    if (name == ".." || (name == memofs::kReservedName && state_.CurrentDepth == 0)) {
      // The parent's row and the memo view's are never deleted.
      End(Here(name, ""),
          {Outcome::kFailed, name == ".." ? "not a directory of its own" : kReservedRoot});
    } else {
      Guard([&] { DeleteOrganizerDirectory(name); });
    }
    Guard([&] {
      if (!WriteIndex()) RequireLink(Here(name, ""));
    });
  });
}

bool Session::DeletePartMemos(const Item& item, const std::string& stem, int last, int first,
                              int upto) {
  for (int part = first; part <= upto; ++part) {
    Report(core::Step::kDeleteFile, item, 0, 0, part, last);
    const link::DelResult deleted = link::DelExchange(link_, memofs::PartName(stem, part, last));
    if (DeleteFailed(deleted)) {
      FailLink(DeleteFailure(deleted));
      return false;
    }
  }
  return true;
}

bool Session::DeleteFileParts(const Item& item, const memofs::DirectoryEntry& entry) {
  Report(core::Step::kDeleteFile, item, 0, 0, -1, entry.EntryLastPart);
  return DeletePartMemos(item, memofs::ChildIndexName(state_.CurrentIndexName, entry.EntryNumber),
                         entry.EntryLastPart, 0, entry.EntryLastPart);
}

void Session::Unlist(const Item& item, const std::vector<memofs::DirectoryEntry>& rows) {
  auto& table = state_.DirectoryTable;
  const std::vector<memofs::DirectoryEntry> before = table;
  for (const memofs::DirectoryEntry& entry : rows) {
    const auto it = std::find_if(table.begin() + 1, table.end(), [&](const auto& row) {
      return row.EntryNumber == entry.EntryNumber && row.EntryName == entry.EntryName;
    });
    if (it != table.end()) table.erase(it);
  }
  try {
    if (WriteIndex()) return;
  } catch (const link::LinkClosed&) {
    LinkFailedAt(item);
  }
  // Nothing was unlisted on the organizer: the table keeps mirroring it.
  table = before;
  LinkFailedAt(item);
}

void Session::DeleteOrganizerFile(const std::string& name) {
  const Item item = Here(name, "");
  const int row = LookUp(name);
  // Never take a directory's number for a file's parts.
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeFile) {
    End(item, {Outcome::kFailed, kNoSuchFile});
    throw Abandoned{};
  }
  const memofs::DirectoryEntry entry = state_.DirectoryTable[row];
  // The index stops naming the file before its parts go: a failure on the way
  // leaves unnamed memos at worst, never an entry whose data is gone.
  Unlist(item, {entry});
  if (!DeleteFileParts(item, entry)) LinkFailedAt(item);
  End(item, {});
}

void Session::DeleteOrganizerDirectory(const std::string& name) {
  const Item item = Here(name, "");
  Report(core::Step::kEnterDirectory, item);
  const int row = LookUp("<" + name + ">");
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeDirectory) {
    End(item, {Outcome::kFailed, kNoSuchDirectory});
    throw Abandoned{};
  }
  const std::string exact = state_.DirectoryTable[row].EntryName;
  const auto stopped = [&] {
    if (!Stopped()) return false;
    End(item, {Outcome::kCancelled, "cancelled"});
    return true;
  };
  switch (EnterDirectoryRow(row)) {
    case Entered::kYes:
      break;
    case Entered::kTooDeep:
      End(item, {Outcome::kFailed, kTooDeepReason});
      return;
    case Entered::kLinkLost:
      LinkFailedAt(item);
  }
  if (stopped()) return;
  // A directory below whose index repeats a number is left whole, and so its parents.
  if (RefusedAsDamaged(item)) {
    if (!LeaveDirectory()) LinkFailedAt(item);
    return;
  }

  // Sub-directories first, each emptied depth-first.
  for (;;) {
    const auto& table = state_.DirectoryTable;
    const auto sub = std::find_if(table.begin() + 1, table.end(), [](const auto& entry) {
      return entry.EntryType == memofs::kTypeDirectory;
    });
    if (sub == table.end()) break;
    const std::string sub_name = sub->EntryName;
    const int before = state_.EntryCount();
    if (!WriteIndex()) LinkFailedAt(item);
    // Names inside the walk come from the table and are looked up exactly.
    DeleteOrganizerDirectory(sub_name);
    if (stopped()) return;
    // A row that did not go would be taken again for ever.
    if (state_.EntryCount() >= before) {
      End(item, {Outcome::kFailed, "not emptied"});
      throw Abandoned{};
    }
  }

  // Then the files, unlisted together before their parts go.
  std::vector<memofs::DirectoryEntry> files(state_.DirectoryTable.begin() + 1,
                                            state_.DirectoryTable.end());
  if (!files.empty()) Unlist(item, files);
  for (std::size_t i = 0; i < files.size(); ++i) {
    Item file = item;
    file.organizer.push_back(files[i].EntryName);
    if (!DeleteFileParts(file, files[i])) LinkFailedAt(file);
    End(file, {});
    if (Stopped()) {
      // Cancelled: the files not yet deleted are listed again.
      state_.DirectoryTable.insert(state_.DirectoryTable.end(), files.begin() + i + 1, files.end());
      if (i + 1 < files.size() && !WriteIndex()) LinkFailedAt(item);
      stopped();
      return;
    }
  }

  if (!LeaveDirectory()) LinkFailedAt(item);
  if (stopped()) return;

  Report(core::Step::kDeleteDirectory, item);
  const int again = memofs::FindEntry(state_, "<" + exact + ">");
  if (again < 1) {
    End(item, {Outcome::kFailed, kNoSuchDirectory});
    throw Abandoned{};
  }
  const memofs::DirectoryEntry entry = state_.DirectoryTable[again];
  // Unlisted first, then deleted: a failure leaves an index memo nothing
  // names, never an entry whose index is gone.
  Unlist(item, {entry});
  const link::DelResult deleted =
      link::DelExchange(link_, memofs::ChildIndexName(state_.CurrentIndexName, entry.EntryNumber));
  if (DeleteFailed(deleted)) {
    FailLink(DeleteFailure(deleted));
    LinkFailedAt(item);
  }
  End(item, {});
}

}  // namespace tavo::core
