#include <algorithm>
#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/client_internal.h"
#include "link/exchanges.h"
#include "memofs/directory_table.h"

namespace tavo::commands {

namespace {

// A whole line other than "found" means the memo is gone already; silence
// proves nothing and is a failure like a missing "ok".
bool DeleteFailed(const link::DelResult& deleted) {
  return deleted.found == link::Word::kTimedOut ||
         (deleted.found == link::Word::kExpected && !deleted.ok);
}

}  // namespace

void Client::Delete_Click() {
  RunInView([&] { DeleteMemos(); }, [&] { DeleteInDirectory(); });
}

void Client::DeleteMemos() {
  if (!view_.AskQuestion("Are you sure?")) return;
  if (!OpenWithStatus("Deleting memo ...")) return;
  const int bound = std::min(state_.EntryCount(), view_.OrganizerRowCount());
  for (int row = 1; row < bound; ++row) {
    if (view_.OrganizerRowSelected(row)) {
      const std::string text = view_.OrganizerRowText(row);
      ShowStatus("Deleting memo " + Trim(text) + " ...");
      const link::DelResult deleted = link::DelExchange(link_, text);
      if (deleted.found != link::Word::kExpected || !deleted.ok) {
        SetUnsynchronized();
        return;
      }
    }
    if (state_.StopRequested == 1) {
      state_.StopRequested = 0;
      break;
    }
  }
  link_.ClosePort();
  state_.ReloadMemoView = true;
  ListView1_DblClick();
  if (synchronized_ && state_.MemoViewActive == 1) FillOrganizerPane();
  EndStatus();
}

void Client::DeleteInDirectory() {
  if (!view_.AskQuestion("Are you sure?")) return;
  view_.PumpEvents();
  if (OpenOrganizerPort() < 0) {
    SetUnsynchronized();
    return;
  }
  const std::string root_row = std::string("<") + memofs::kReservedName + ">";
  const int rows = view_.OrganizerRowCount();
  for (int row = 1; row < rows; ++row) {
    if (!view_.OrganizerRowSelected(row)) continue;
    const std::string text = view_.OrganizerRowText(row);
    bool index_written = false;
    Step([&] {
      if (StartsWith(text, "<")) {
        if (text == "<..>" || (text == root_row && state_.CurrentDepth == 0)) return;
        const std::string trimmed = Trim(text);
        DeleteOrganizerDirectory(trimmed.substr(1, trimmed.size() - 2));
      } else {
        DeleteOrganizerFile(text);
        index_written = true;
      }
      // A failure has replaced the rows with the unsynchronized one.
      if (link_.IsOpen()) view_.SetOrganizerRowSelected(row, false);
    });
    if (!index_written) Step([&] { WriteIndex(); });
    // After a Cancel the table may be another directory's, where a row of
    // the same name would be one the user never selected.
    if (state_.StopRequested == 1 || !link_.IsOpen()) break;
  }
  // A table left by a failed exchange may be half read; shown as current it
  // would invite writes that wipe the real index.
  if (!link_lost_) {
    Step([&] { FillOrganizerPane(); });
    Step([&] { SetSynchronized(); });
  }
  link_.ClosePort();
  EndStatus();
}

bool Client::DeletePartMemos(const std::string& name, const std::string& stem, int last, int first,
                             int upto) {
  for (int part = first; part <= upto; ++part) {
    const int percent = last == 0 ? 100 : Percent(part, last);
    ShowStatus("Deleting file " + Trim(name) + " (" + std::to_string(percent) + "%) ...");
    const link::DelResult deleted = link::DelExchange(link_, memofs::PartName(stem, part, last));
    if (DeleteFailed(deleted)) {
      LinkLost();
      return false;
    }
  }
  return true;
}

bool Client::DeleteFileParts(const memofs::DirectoryEntry& entry) {
  ShowStatus("");
  return DeletePartMemos(entry.EntryName,
                         memofs::ChildIndexName(state_.CurrentIndexName, entry.EntryNumber),
                         entry.EntryLastPart, 0, entry.EntryLastPart);
}

void Client::Unlist(const std::vector<memofs::DirectoryEntry>& rows) {
  auto& table = state_.DirectoryTable;
  const std::vector<memofs::DirectoryEntry> before = table;
  for (const memofs::DirectoryEntry& entry : rows) {
    const auto it = std::find_if(table.begin() + 1, table.end(), [&](const auto& row) {
      return row.EntryNumber == entry.EntryNumber && row.EntryName == entry.EntryName;
    });
    if (it != table.end()) table.erase(it);
  }
  if (!WriteIndex()) {
    // Nothing was unlisted on the organizer: the table keeps mirroring it.
    table = before;
    throw link::LinkClosed{};
  }
}

bool Client::DeleteOrganizerFile(const std::string& name) {
  const int row = LookUpPaneText(name);
  // Never take a directory's number for a file's parts.
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeFile) throw NameNotFound{};
  const memofs::DirectoryEntry entry = state_.DirectoryTable[row];
  // The index stops naming the file before its parts go: a failure on the way
  // leaves unnamed memos at worst, never an entry whose data is gone.
  Unlist({entry});
  return DeleteFileParts(entry);
}

void Client::DeleteOrganizerDirectory(const std::string& name) {
  ShowStatus("Entering directory " + Trim(name) + " ...");
  const int row = LookUpPaneText("<" + name + ">");
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeDirectory) {
    throw NameNotFound{};
  }
  const std::string exact = state_.DirectoryTable[row].EntryName;
  if (EnterDirectoryRow(row) == Entered::kLinkLost) RequireLink();
  if (state_.StopRequested == 1) return;

  // Sub-directories first, each emptied depth-first.
  for (;;) {
    const auto& table = state_.DirectoryTable;
    const auto sub = std::find_if(table.begin() + 1, table.end(), [](const auto& entry) {
      return entry.EntryType == memofs::kTypeDirectory;
    });
    if (sub == table.end()) break;
    const std::string sub_name = sub->EntryName;
    const int before = state_.EntryCount();
    if (!WriteIndex()) RequireLink();
    // Names inside the walk come from the table and are looked up exactly.
    DeleteOrganizerDirectory(sub_name);
    if (state_.StopRequested == 1) return;
    // A row that did not go would be taken again for ever.
    if (state_.EntryCount() >= before) throw NameNotFound{};
  }

  // Then the files, unlisted together before their parts go.
  std::vector<memofs::DirectoryEntry> files(state_.DirectoryTable.begin() + 1,
                                            state_.DirectoryTable.end());
  if (!files.empty()) Unlist(files);
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!DeleteFileParts(files[i])) RequireLink();
    if (state_.StopRequested == 1) {
      // Cancelled: the files not yet deleted are listed again.
      state_.DirectoryTable.insert(state_.DirectoryTable.end(), files.begin() + i + 1, files.end());
      if (i + 1 < files.size() && !WriteIndex()) RequireLink();
      return;
    }
  }

  if (!LeaveDirectory()) RequireLink();
  if (state_.StopRequested == 1) return;

  ShowStatus("Deleting directory " + Trim(name) + " ...");
  const int again = memofs::FindEntry(state_, "<" + exact + ">");
  if (again < 1) throw NameNotFound{};
  const memofs::DirectoryEntry entry = state_.DirectoryTable[again];
  // Unlisted first, then deleted: a failure leaves an index memo nothing
  // names, never an entry whose index is gone.
  Unlist({entry});
  const link::DelResult deleted =
      link::DelExchange(link_, memofs::ChildIndexName(state_.CurrentIndexName, entry.EntryNumber));
  if (DeleteFailed(deleted)) {
    LinkLost();
    RequireLink();
  }
}

}  // namespace tavo::commands
