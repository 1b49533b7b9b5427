#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/client_internal.h"
#include "link/exchanges.h"
#include "memofs/directory_table.h"

namespace tavo::commands {

namespace {

std::string CantUseName(const std::string& rel) {
  return "Warning: Can't copy " + rel + " since its name can't be used on this computer!";
}

std::string NotAFileWarning(const std::string& rel) {
  return "Warning: Can't copy " + rel +
         " since there is a directory, link or special file with the same name on this computer!";
}

}  // namespace

bool Client::SafeComputerName(const std::string& name, const std::string& rel) {
  // Organizer names come from another program: one that could climb out of
  // the target directory, or that this computer cannot hold, is never written.
  const bool safe = memofs::PlainComputerName(name) && files_.IsStorableName(name);
  if (!safe) view_.ShowMessage(CantUseName(rel));
  return safe;
}

bool Client::MayWriteComputerFile(const std::string& target, const std::string& rel) {
  // Hidden files count: a memo named .profile must not silently replace the
  // user's own. Anything but a file is never written through.
  switch (files_.OccupantOf(target)) {
    case Occupant::kNothing:
      return true;
    case Occupant::kFile:
      return view_.AskQuestion(OverwriteQuestion(Trim(rel)));
    case Occupant::kNotAFile:
      view_.ShowMessage(NotAFileWarning(rel));
      return false;
    case Occupant::kNameRefused:
      view_.ShowMessage(CantUseName(rel));
      return false;
  }
  return false;
}

bool Client::MakeComputerDirectory(const std::string& path, const std::string& rel) {
  if (files_.MakeDirectory(path + "\\")) return true;
  // Its files would land wherever a link of that name leads.
  if (files_.OccupantOf(path) != Occupant::kNothing) view_.ShowMessage(NotAFileWarning(rel));
  return false;
}

void Client::Copy1_Click() {
  // Rows of the memo view are plain memos, whichever row has the focus.
  RunInView([&] { CopyMemosToComputer(); }, [&] { CopyTreeToComputer(); });
}

void Client::CopyMemosToComputer() {
  if (!OpenWithStatus("Copying memo ...")) return;
  const int bound = std::min(state_.EntryCount(), view_.OrganizerRowCount());
  for (int row = 1; row < bound; ++row) {
    if (!view_.OrganizerRowSelected(row)) continue;
    const std::string text = view_.OrganizerRowText(row);
    const std::string shown = Trim(text);
    ShowStatus("Copying memo " + shown + " ...");
    if (SafeComputerName(text, shown)) {
      const std::string target = ComputerRoot() + state_.ComputerPath + text;
      if (MayWriteComputerFile(target, shown)) {
        const link::GetResult memo = link::GetExchange(link_, text);
        if (memo.found != link::Word::kExpected || !memo.ok) {
          SetUnsynchronized();
          return;
        }
        out_file_ = files_.CreateReplacing(target);
        if (out_file_ && out_file_->Write(memo.text)) out_file_->Commit();
        out_file_.reset();
      }
    }
    if (state_.StopRequested == 1) break;
  }
  ListComputerDirectory();
  FillOrganizerPane();
  link_.ClosePort();
  EndStatus();
}

void Client::CopyTreeToComputer() {
  if (OpenOrganizerPort() < 0) return;
  const std::string base = state_.ComputerPath;
  const std::string root_row = std::string("<") + memofs::kReservedName + ">";
  for (int row = 0; row < view_.OrganizerRowCount(); ++row) {
    if (!view_.OrganizerRowSelected(row)) continue;
    const std::string text = view_.OrganizerRowText(row);
    if (StartsWith(text, "<")) {
      if (text != "<..>" && !(text == root_row && state_.CurrentDepth == 0)) {
        const std::string trimmed = Trim(text);
        const std::string name =
            trimmed.size() >= 2 ? trimmed.substr(1, trimmed.size() - 2) : std::string();
        Step([&] { CopyDirectoryToComputer(base, name, name); });
      }
    } else {
      const std::string name = Trim(text);
      Step([&] { CopyFileToComputer(base, name, name); });
    }
    if (state_.StopRequested == 1) break;
    view_.SetOrganizerRowSelected(row, false);
  }
  state_.ComputerPath = base;
  ListComputerDirectory();
  link_.ClosePort();
  EndStatus();
}

void Client::CopyDirectoryToComputer(const std::string& base, const std::string& rel,
                                     const std::string& name) {
  ShowStatus("Entering directory " + Trim(rel) + " ...");
  int row = memofs::FindEntry(state_, "<" + name + ">");
  if (row < 0) row = memofs::FindEntry(state_, "<" + Trim(name) + ">");
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeDirectory) {
    view_.ShowMessage(CantUseName(rel));
    return;
  }
  if (!SafeComputerName(Trim(name), rel)) return;
  const Entered entered = EnterDirectoryRow(row);
  if (entered == Entered::kTooDeep) return;
  if (entered == Entered::kLinkLost) throw CommandEnded{};
  if (state_.StopRequested != 1 && MakeComputerDirectory(ComputerRoot() + base + rel, rel)) {
    // Nested calls re-read this directory, so walk a copy of its rows.
    const std::vector<memofs::DirectoryEntry> entries(state_.DirectoryTable.begin() + 1,
                                                      state_.DirectoryTable.end());
    for (const memofs::DirectoryEntry& entry : entries) {
      const std::string next = rel + "\\" + Trim(entry.EntryName);
      if (entry.EntryType == memofs::kTypeDirectory) {
        CopyDirectoryToComputer(base, next, entry.EntryName);
      } else if (entry.EntryType == memofs::kTypeFile) {
        CopyFileToComputer(base, next, entry.EntryName);
      }
      if (state_.StopRequested == 1) break;
    }
  }
  // Back up even after a Cancel, so the command ends where it began.
  if (!LeaveDirectory()) throw CommandEnded{};
}

void Client::CopyFileToComputer(const std::string& base, const std::string& rel,
                                const std::string& name) {
  int row = memofs::FindEntry(state_, name);
  if (row < 0) row = memofs::FindEntry(state_, Trim(name));
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeFile) {
    // Rows are looked up by their trimmed text, which misses a name with
    // blanks at either end.
    view_.ShowMessage(CantUseName(rel));
    return;
  }
  const memofs::DirectoryEntry entry = state_.DirectoryTable[row];
  if (!SafeComputerName(Trim(name), rel)) return;
  const int last = entry.EntryLastPart;
  const int last_size = entry.EntryLastPartSize;
  // A damaged row would ask for blocks the organizer cannot have.
  if (last < 0 || last_size < 0 || last_size > static_cast<int>(memofs::kPartSize)) return;

  const std::string shown = Trim(rel);
  const std::string target = ComputerRoot() + base + rel;
  if (!MayWriteComputerFile(target, rel)) return;
  ShowStatus("Copying file " + shown + " ...");
  // Written beside the target and put in place only when complete.
  out_file_ = files_.CreateReplacing(target);
  if (!out_file_) return;
  const std::string stem = memofs::ChildIndexName(state_.CurrentIndexName, entry.EntryNumber);
  for (int part = 0; part <= last; ++part) {
    if (state_.StopRequested == 1) {
      out_file_.reset();
      return;
    }
    ShowStatus("Copying file " + shown + " (" + std::to_string(Percent(part + 1, last + 1)) +
               "%) ...");
    const std::size_t count =
        part == last ? static_cast<std::size_t>(last_size) : memofs::kPartSize;
    // An empty last part after full ones holds nothing; some stores lack it.
    if (part > 0 && count == 0) continue;
    const link::GetxResult got =
        link::GetxExchange(link_, memofs::PartName(stem, part, last), count);
    if (!got.ok) {
      SetUnsynchronized();
      throw CommandEnded{};
    }
    if (!out_file_->Write(got.block)) {
      out_file_.reset();
      return;
    }
  }
  out_file_->Commit();
  out_file_.reset();
}

}  // namespace tavo::commands
