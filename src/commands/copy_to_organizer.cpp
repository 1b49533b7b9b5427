#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/client_internal.h"
#include "link/exchanges.h"
#include "memofs/directory_table.h"
#include "memofs/index_text.h"

namespace tavo::commands {

bool Client::StorableOrganizerName(const std::string& name, const std::string& rel, bool in_index) {
  if (StorableName(name, in_index)) return true;
  view_.ShowMessage("Warning: Can't copy " + rel +
                    " since its name can't be stored on the organizer!");
  return false;
}

std::optional<std::string> Client::ReadPiece(std::size_t count) {
  std::string piece;
  while (in_file_ && piece.size() < count) {
    const std::optional<std::string> more = in_file_->Read(count - piece.size());
    if (!more || more->empty()) return std::nullopt;
    piece += *more;
  }
  if (!in_file_) return std::nullopt;
  return piece;
}

void Client::Copy2_Click() {
  RunInView([&] { CopyFilesToMemos(); }, [&] { CopyTreeToOrganizer(); });
}

void Client::CopyFilesToMemos() {
  if (!OpenWithStatus("Copying file ...")) return;
  bool stopped = false;
  for (int row = 0; row < view_.ComputerRowCount() && !stopped; ++row) {
    if (!view_.ComputerRowSelected(row)) continue;
    const std::string text = view_.ComputerRowText(row);
    if (StartsWith(text, "<")) continue;
    view_.SetComputerRowSelected(row, false);
    const std::string name = Trim(text);
    if (!StorableOrganizerName(text, text, false)) continue;
    // Memos named like the file system's own would overwrite its indexes and
    // parts ("fs" of two pieces would replace the root index with "fs0"), so
    // every title is looked at before any piece is sent.
    const auto refuse = [&] {
      view_.ShowMessage("Warning: Can't use reserved name " + text +
                        " in this directory! This file will not be copied!");
    };
    if (StartsWith(name, memofs::kRootIndexName)) {
      refuse();
      continue;
    }
    const std::string path = ComputerRoot() + state_.ComputerPath + text;
    const std::optional<std::int64_t> size = files_.FileSize(path);
    if (!size) continue;
    if (memofs::AnyReservedTitle(name, *size)) {
      refuse();
      continue;
    }
    in_file_ = files_.OpenRead(path);
    if (!in_file_) continue;
    std::int64_t done = 0;
    for (std::int64_t piece = 0; done < *size; ++piece) {
      const std::size_t count = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(memofs::kPartSize), *size - done));
      const std::optional<std::string> data = ReadPiece(count);
      if (!data) break;  // the rest of an unreadable file is not sent
      done += static_cast<std::int64_t>(count);
      const std::string title = memofs::PieceTitle(name, *size, piece);
      ShowStatus("Copying file " + title + " ...");
      bool exists = false;
      for (int r = 1; r < state_.EntryCount(); ++r) {
        const memofs::DirectoryEntry& entry = state_.DirectoryTable[r];
        if (entry.EntryType == memofs::kTypeFile && Trim(entry.EntryName) == Trim(title)) {
          exists = true;
        }
      }
      if (!exists || view_.AskQuestion(OverwriteQuestion(Trim(title)))) {
        bool cancelled = false;
        const bool stored =
            link::PutExchange(link_, title, memofs::BuildMemoImage(title, *data), [&] {
              cancelled = state_.StopRequested == 1;
              return !cancelled;
            });
        if (!stored) {
          SetUnsynchronized();
          return;
        }
      }
      if (state_.StopRequested == 1) {
        state_.StopRequested = 0;
        stopped = true;
        break;
      }
    }
    in_file_.reset();
  }
  in_file_.reset();
  state_.CurrentDepth = 0;
  state_.MemoViewActive = 0;
  link_.ClosePort();
  state_.ReloadMemoView = true;
  ListView1_DblClick();
  if (synchronized_ && state_.MemoViewActive == 1) FillOrganizerPane();
  EndStatus();
}

void Client::CopyTreeToOrganizer() {
  if (OpenOrganizerPort() < 0) return;
  const std::string base = state_.ComputerPath;
  for (int row = 0; row < view_.ComputerRowCount(); ++row) {
    if (!view_.ComputerRowSelected(row)) continue;
    const std::string text = view_.ComputerRowText(row);
    if (StartsWith(text, "<")) {
      if (text != "<..>") {
        const std::string trimmed = Trim(text);
        const std::string name =
            trimmed.size() >= 2 ? trimmed.substr(1, trimmed.size() - 2) : std::string();
        Step([&] { CopyDirectoryToOrganizer(base, name, name); });
      }
    } else {
      const std::string name = Trim(text);
      Step([&] { CopyFileToOrganizer(base, name, name); });
    }
    view_.SetComputerRowSelected(row, false);
    if (state_.StopRequested == 1) break;
  }
  state_.ComputerPath = base;
  FillOrganizerPane();
  SetSynchronized();
  link_.ClosePort();
  EndStatus();
}

void Client::CopyDirectoryToOrganizer(const std::string& base, const std::string& rel,
                                      const std::string& name) {
  const std::string trimmed = Trim(name);
  if (!StorableOrganizerName(trimmed, rel, true)) return;
  ShowStatus("Making directory " + Trim(rel) + " ...");
  const int clash = memofs::FindEntry(state_, trimmed);
  if (clash >= 1 && state_.DirectoryTable[clash].EntryType == memofs::kTypeFile) {
    view_.ShowMessage("Warning: Can't copy directory " + rel +
                      " since there is a file with the same name!");
    return;
  }
  {
    memofs::MemoFs fs = Fs();
    memofs::MakeOrganizerDirectory(fs, trimmed);
  }
  EndCommandIfUnsynchronized();
  if (state_.StopRequested == 1) return;
  // Only a directory row may give the index to enter, never a file's number.
  const int row = memofs::FindEntry(state_, "<" + trimmed + ">");
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeDirectory) return;
  const Entered entered = EnterDirectoryRow(row);
  if (entered == Entered::kLinkLost) throw CommandEnded{};
  if (state_.StopRequested == 1) return;

  const std::optional<DirectoryListing> listing = files_.List(ComputerRoot() + base + rel + "\\");
  if (listing) {
    for (const std::string& directory : listing->directories) {
      if (directory == "." || directory == "..") continue;
      std::string next = rel;
      next.append(1, '\\').append(directory);
      CopyDirectoryToOrganizer(base, next, directory);
      if (state_.StopRequested == 1) return;
    }
    for (const DirectoryListing::File& file : listing->files) {
      CopyFileToOrganizer(base, rel + "\\" + file.name, file.name);
      if (state_.StopRequested == 1) return;
    }
  }
  if (!LeaveDirectory()) throw CommandEnded{};
}

void Client::CopyFileToOrganizer(const std::string& base, const std::string& rel,
                                 const std::string& name) {
  const std::string trimmed = Trim(name);
  if (!StorableOrganizerName(trimmed, rel, true)) return;
  const std::string shown = Trim(rel);
  int replacing = -1;
  const int found = memofs::FindEntry(state_, trimmed);
  if (found >= 0) {
    switch (state_.DirectoryTable[found].EntryType) {
      case memofs::kTypeDirectory:
        view_.ShowMessage("Warning: Can't copy file " + rel +
                          " since there is a directory with the same name!");
        return;
      case memofs::kTypeRoot:
        view_.ShowMessage("Warning: Can't use reserved name " + rel +
                          " in this directory! This file will not be copied!");
        return;
      case memofs::kTypeParent:
        return;
      default:
        if (!view_.AskQuestion(OverwriteQuestion(shown))) return;
        replacing = found;
        break;
    }
  }

  const std::string path = ComputerRoot() + base + rel;
  const std::optional<std::int64_t> size = files_.FileSize(path);
  if (!size || *size < 0) return;
  const auto part_size = static_cast<std::int64_t>(memofs::kPartSize);
  const std::int64_t last = *size / part_size;
  if (last > std::numeric_limits<std::int16_t>::max()) {
    // The part count is a 16-bit field of the index: more would wrap.
    view_.ShowMessage("Warning: File " + rel + " is too big! It will not be copied!");
    return;
  }
  memofs::DirectoryEntry entry;
  entry.EntryName = trimmed;
  entry.EntryType = memofs::kTypeFile;
  entry.EntryLastPart = static_cast<std::int16_t>(last);
  entry.EntryLastPartSize = static_cast<std::int16_t>(*size - last * part_size);
  // With the old row still listed, the new parts get a number of their own.
  entry.EntryNumber = static_cast<std::int16_t>(memofs::NewEntryNumber(state_));
  const std::string stem = memofs::ChildIndexName(state_.CurrentIndexName, entry.EntryNumber);
  if (stem.size() + 1 + static_cast<std::size_t>(memofs::DigitCount(last)) > memofs::kMaxMemoName) {
    view_.ShowMessage("Warning: Path to file " + rel + " is too long! It will not be copied!");
    return;
  }
  // The index must take the new row before any part is sent, or the parts
  // would lie on the organizer with no index naming them.
  std::vector<memofs::DirectoryEntry> after = state_.DirectoryTable;
  if (replacing >= 0) {
    after[static_cast<std::size_t>(replacing)] = entry;
  } else {
    after.push_back(entry);
  }
  if (memofs::BuildIndexText(after).size() > memofs::kMaxIndexText) {
    view_.ShowMessage(memofs::kFullDirectoryMessage);
    state_.StopRequested = 1;
    return;
  }

  ShowStatus("Copying file " + shown + " ...");
  in_file_ = files_.OpenRead(path);
  if (!in_file_) return;
  // Every part 0 to last is stored, the last one empty when the size is a
  // multiple of 1956, so that each part the row names exists.
  std::int64_t done = 0;
  for (int part = 0; part <= last; ++part) {
    const bool cancelled = state_.StopRequested == 1;
    const std::optional<std::string> piece =
        cancelled ? std::nullopt
                  : ReadPiece(static_cast<std::size_t>(std::min(part_size, *size - done)));
    if (!piece) {
      // Cancelled, or the file could not be read: take back what was sent.
      in_file_.reset();
      state_.StopRequested = 0;
      if (part > 0 && !DeletePartMemos(name, stem, static_cast<int>(last), 0, part - 1)) {
        throw CommandEnded{};
      }
      state_.StopRequested = cancelled ? 1 : 0;
      return;
    }
    done += static_cast<std::int64_t>(piece->size());
    const std::string part_name = memofs::PartName(stem, part, static_cast<int>(last));
    if (!link::PutExchange(link_, part_name, memofs::BuildMemoImage(part_name, *piece))) {
      SetUnsynchronized();
      throw CommandEnded{};
    }
    ShowStatus("Copying file " + shown + " (" + std::to_string(Percent(done, *size)) + "%) ...");
  }
  in_file_.reset();

  memofs::DirectoryEntry old;
  if (replacing >= 0) {
    old = state_.DirectoryTable[static_cast<std::size_t>(replacing)];
    state_.DirectoryTable[static_cast<std::size_t>(replacing)] = entry;
  } else {
    state_.DirectoryTable.push_back(entry);
  }
  if (!WriteIndex()) throw CommandEnded{};
  // Only now that the index names the new parts may the old ones go.
  if (replacing >= 0 &&
      !DeletePartMemos(name, memofs::ChildIndexName(state_.CurrentIndexName, old.EntryNumber),
                       old.EntryLastPart, 0, old.EntryLastPart)) {
    throw CommandEnded{};
  }
}

}  // namespace tavo::commands
