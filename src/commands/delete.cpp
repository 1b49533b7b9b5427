#include <string>

#include "commands/client.h"
#include "commands/client_internal.h"
#include "link/exchanges.h"
#include "memofs/directory_table.h"

namespace tavo::commands {

void Client::Delete_Click() {
  BusyScope busy(busy_);
  Guarded([&] {
    CloseComputerFiles();
    state_.StopRequested = 0;
    if (state_.MemoViewActive == 1) {
      DeleteMemos();
    } else {
      DeleteInDirectory();
    }
  });
}

void Client::DeleteMemos() {
  if (!view_.AskQuestion("Are you sure?")) return;
  ShowStatus("Deleting memo ...");
  view_.PumpEvents();
  if (OpenOrganizerPort() < 0) {
    SetUnsynchronized();
    return;
  }
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
    Step([&] {
      if (StartsWith(text, "<")) {
        if (text == "<..>" || (text == root_row && state_.CurrentDepth == 0)) return;
        const std::string trimmed = Trim(text);
        DeleteOrganizerDirectory(trimmed.substr(1, trimmed.size() - 2));
      } else {
        DeleteOrganizerFile(text);
      }
      // A failure has replaced the rows with the unsynchronized one.
      if (link_.IsOpen()) view_.SetOrganizerRowSelected(row, false);
    });
    Step([&] { WriteIndex(); });
    // After a Cancel the table may be another directory's, where a row of
    // the same name would be one the user never selected.
    if (state_.StopRequested == 1 || !link_.IsOpen()) break;
  }
  Step([&] { FillOrganizerPane(); });
  Step([&] { SetSynchronized(); });
  link_.ClosePort();
  EndStatus();
}

bool Client::DeletePartMemos(const std::string& name, const std::string& stem, int last, int first,
                             int upto) {
  for (int part = first; part <= upto; ++part) {
    const int percent = last == 0 ? 100 : Percent(part, last);
    ShowStatus("Deleting file " + Trim(name) + " (" + std::to_string(percent) + "%) ...");
    const link::DelResult deleted = link::DelExchange(link_, memofs::PartName(stem, part, last));
    // A whole line other than "found" means the part is gone already; silence
    // proves nothing and is a failure like a missing "ok".
    if (deleted.found == link::Word::kTimedOut ||
        (deleted.found == link::Word::kExpected && !deleted.ok)) {
      SetUnsynchronized();
      return false;
    }
  }
  return true;
}

bool Client::DeleteOrganizerFile(const std::string& name) {
  ShowStatus("");
  const int row = LookUpPaneText(name);
  // Never take a directory's number for a file's parts.
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeFile) throw NameNotFound{};
  const memofs::DirectoryEntry entry = state_.DirectoryTable[row];
  const std::string stem = memofs::ChildIndexName(state_.CurrentIndexName, entry.EntryNumber);
  if (!DeletePartMemos(entry.EntryName, stem, entry.EntryLastPart, 0, entry.EntryLastPart)) {
    return false;
  }
  memofs::RemoveRow(state_, row);
  return true;
}

void Client::DeleteOrganizerDirectory(const std::string& name) {
  ShowStatus("Entering directory " + Trim(name) + " ...");
  const int row = LookUpPaneText("<" + name + ">");
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeDirectory) {
    throw NameNotFound{};
  }
  const std::string exact = state_.DirectoryTable[row].EntryName;
  const std::string child =
      memofs::ChildIndexName(state_.CurrentIndexName, state_.DirectoryTable[row].EntryNumber);
  if (child.size() > memofs::kMaxMemoName) {
    view_.ShowMessage(memofs::kTooDeepMessage);
    state_.StopRequested = 1;
    return;
  }
  state_.CurrentIndexName = child;
  ++state_.CurrentDepth;
  if (!ReadIndex()) RequireLink();
  if (state_.StopRequested == 1) return;

  while (state_.EntryCount() > 1) {
    const int before = state_.EntryCount();
    const memofs::DirectoryEntry first = state_.DirectoryTable[1];
    // Names inside the walk come from the table and are looked up exactly.
    if (first.EntryType == memofs::kTypeDirectory) {
      if (!WriteIndex()) RequireLink();
      DeleteOrganizerDirectory(first.EntryName);
    } else {
      if (!DeleteOrganizerFile(first.EntryName)) RequireLink();
    }
    if (state_.StopRequested == 1) return;
    // A row that did not go would be taken again for ever.
    if (state_.EntryCount() >= before) throw NameNotFound{};
  }

  state_.CurrentIndexName = memofs::ParentIndexName(state_.CurrentIndexName);
  --state_.CurrentDepth;
  if (!ReadIndex()) RequireLink();
  if (state_.StopRequested == 1) return;

  ShowStatus("Deleting directory " + Trim(name) + " ...");
  const int again = memofs::FindEntry(state_, "<" + exact + ">");
  if (again < 1) throw NameNotFound{};
  const link::DelResult deleted = link::DelExchange(
      link_,
      memofs::ChildIndexName(state_.CurrentIndexName, state_.DirectoryTable[again].EntryNumber));
  if (deleted.found == link::Word::kTimedOut ||
      (deleted.found == link::Word::kExpected && !deleted.ok)) {
    SetUnsynchronized();
    RequireLink();
  }
  memofs::RemoveRow(state_, again);
  if (!WriteIndex()) RequireLink();
}

}  // namespace tavo::commands
