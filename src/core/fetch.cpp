// Organizer to computer: a file or a tree, as the window's "Copy >>>" does.
#include <memory>
#include <vector>

#include "core/session_internal.h"
#include "link/exchanges.h"
#include "memofs/directory_table.h"
#include "memofs/index_text.h"
#include "memofs/names.h"

namespace tavo::core {

namespace {

std::string LastLevel(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

bool Session::SafeTarget(const Item& item, const std::string& name) {
  // The organizer's name is checked as well as the target's last level: a
  // name below a fetched directory could otherwise climb out of it.
  const auto usable = [&](const std::string& level) {
    return memofs::PlainComputerName(level) && files_.IsStorableName(level);
  };
  if (usable(name) && usable(LastLevel(item.computer))) return true;
  End(item, {Outcome::kFailed, kNotOnComputer});
  return false;
}

bool Session::MayWrite(const Item& item, const std::string& target) {
  // Hidden files count as existing; anything but a file is never written through.
  switch (files_.OccupantOf(target)) {
    case Occupant::kNothing:
      return true;
    case Occupant::kFile:
      if (written_.count(memofs::UpperCase(target)) != 0 && !feedback_.MayReplaceOwn(item)) {
        End(item, {Outcome::kFailed, kSameComputerFile});
        return false;
      }
      return Overwrite(item);
    case Occupant::kNotAFile:
      End(item, {Outcome::kFailed, kOccupied});
      return false;
    case Occupant::kNameRefused:
      break;
  }
  End(item, {Outcome::kFailed, kNameNotHeld});
  return false;
}

bool Session::Overwrite(const Item& item) {
  const std::optional<Result> refused = OverwriteRefused(feedback_, item);
  if (refused) End(item, *refused);
  return !refused;
}

Result Session::FetchDirectory(const std::string& name, const std::string& target) {
  return Run([&] { Guard([&] { FetchDirectoryHere(name, target); }); });
}

Result Session::FetchFile(const std::string& name, const std::string& target) {
  return Run([&] { Guard([&] { FetchFileHere(name, target); }); });
}

Result Session::Fetch(const std::string& name, const std::string& target) {
  return Run([&] {
    const std::optional<memofs::DirectoryEntry> entry = Find(name);
    if (!entry) {
      End(Here(name, target), {Outcome::kFailed, "no such file or directory"});
    } else if (entry->EntryType == memofs::kTypeDirectory) {
      Guard([&] { FetchDirectoryHere(name, target); });
    } else {
      Guard([&] { FetchFileHere(name, target); });
    }
  });
}

void Session::FetchDirectoryHere(const std::string& name, const std::string& target) {
  const Item item = Here(name, target);
  Report(core::Step::kEnterDirectory, item);
  int row = memofs::FindEntry(state_, "<" + name + ">");
  if (row < 0) row = memofs::FindEntry(state_, "<" + memofs::Trim(name) + ">");
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeDirectory) {
    End(item, {Outcome::kFailed, kNoSuchDirectory});
    return;
  }
  if (!SafeTarget(item, memofs::Trim(name))) return;
  const Entered entered = EnterDirectoryRow(row);
  if (entered == Entered::kTooDeep) {
    End(item, {Outcome::kFailed, kTooDeepReason});
    return;
  }
  if (entered == Entered::kLinkLost) LinkFailedAt(item);
  bool made = true;
  if (!Stopped()) made = files_.MakeDirectory(target + "\\");
  // A link of that name may lead anywhere: nothing is written through it.
  if (!Stopped() && made) {
    // Nested calls re-read this directory, so walk a copy of its rows.
    const std::vector<memofs::DirectoryEntry> entries(state_.DirectoryTable.begin() + 1,
                                                      state_.DirectoryTable.end());
    for (const memofs::DirectoryEntry& entry : entries) {
      const std::string next = target + "\\" + memofs::Trim(entry.EntryName);
      if (entry.EntryType == memofs::kTypeDirectory) {
        FetchDirectoryHere(entry.EntryName, next);
      } else if (entry.EntryType == memofs::kTypeFile) {
        FetchFileHere(entry.EntryName, next);
      }
      if (Stopped()) break;
    }
  }
  // Said before the walk back up, which may fail.
  if (!made) End(item, {Outcome::kFailed, kCannotMake});
  // Back up even after a Cancel, so the operation ends where it began.
  const bool cancelled = Stopped();
  if (!LeaveDirectory()) {
    if (!made) throw LinkUnwound{};
    LinkFailedAt(item);
  }
  if (cancelled && made) {
    End(item, {Outcome::kCancelled, "cancelled"});
  } else if (made) {
    End(item, {});
  }
}

void Session::FetchFileHere(const std::string& name, const std::string& target) {
  const Item item = Here(name, target);
  int row = memofs::FindEntry(state_, name);
  if (row < 0) row = memofs::FindEntry(state_, memofs::Trim(name));
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeFile) {
    End(item, {Outcome::kFailed, kNoSuchFile});
    return;
  }
  const memofs::DirectoryEntry entry = state_.DirectoryTable[row];
  if (!SafeTarget(item, memofs::Trim(name))) return;
  const int last = entry.EntryLastPart;
  const int last_size = entry.EntryLastPartSize;
  // A damaged row would ask for blocks the organizer cannot have.
  if (!memofs::ReadableFileEntry(entry)) {
    End(item, {Outcome::kFailed, "its index entry is damaged"});
    return;
  }
  if (!MayWrite(item, target)) return;
  const std::int64_t total = memofs::EntrySize(entry);
  Report(core::Step::kCopyFile, item, 0, total, -1, last);
  // Written beside the target and put in place only when complete.
  std::unique_ptr<OutputFile> out = files_.CreateReplacing(target);
  if (!out) {
    End(item, {Outcome::kFailed, "cannot be written on this computer"});
    return;
  }
  const std::string stem = memofs::ChildIndexName(state_.CurrentIndexName, entry.EntryNumber);
  std::int64_t done = 0;
  for (int part = 0; part <= last; ++part) {
    if (Stopped()) {
      End(item, {Outcome::kCancelled, "cancelled"});
      return;
    }
    Report(core::Step::kCopyFile, item, done, total, part, last);
    const std::size_t count =
        part == last ? static_cast<std::size_t>(last_size) : memofs::kPartSize;
    // An empty last part after full ones holds nothing; some stores lack it.
    if (part > 0 && count == 0) continue;
    const link::GetxResult got =
        link::GetxExchange(link_, memofs::PartName(stem, part, last), count);
    if (!got.ok) {
      FailLink(SilenceOrGarble(got.found == link::Word::kTimedOut));
      LinkFailedAt(item);
    }
    if (!out->Write(got.block)) {
      End(item, {Outcome::kFailed, "write error on this computer"});
      return;
    }
    done += static_cast<std::int64_t>(count);
  }
  if (!out->Commit()) {
    End(item, {Outcome::kFailed, "cannot be put in place on this computer"});
    return;
  }
  written_.insert(memofs::UpperCase(target));
  End(item, {});
}

}  // namespace tavo::core
