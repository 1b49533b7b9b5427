// Computer to organizer: a file or a tree, as the window's "<<< Copy" does.
#include <limits>
#include <memory>
#include <vector>

#include "core/session_internal.h"
#include "link/exchanges.h"
#include "memofs/index_text.h"
#include "memofs/names.h"

namespace tavo::core {

// A whole reply line other than "ok" is the organizer saying no (when full).
std::string RefusedOrSilent(const link::Reply& reply) {
  if (reply.complete)
    return "the organizer refused to store it (it answered \"" + reply.text + "\")";
  return SilenceOrGarble(reply.text.empty());
}

bool RefusedAsFull(const link::Reply& reply) {
  return reply.complete && link::ToLower(reply.text) == "full";
}

std::optional<std::string> ReadPiece(InputFile& in, std::size_t count) {
  std::string piece;
  while (piece.size() < count) {
    const std::optional<std::string> more = in.Read(count - piece.size());
    if (!more || more->empty()) return std::nullopt;
    piece += *more;
  }
  return piece;
}

Result Session::StoreFile(const std::string& source, const std::string& name) {
  return Run([&] { Guard([&] { StoreFileHere(source, name); }); });
}

Result Session::StoreDirectory(const std::string& source, const std::string& name) {
  return Run([&] { Guard([&] { StoreDirectoryHere(source, name); }); });
}

void Session::StoreDirectoryHere(const std::string& source, const std::string& name) {
  const std::string trimmed = memofs::Trim(name);
  const Item item = Here(trimmed, source);
  if (!memofs::StorableName(trimmed, true)) {
    End(item, {Outcome::kFailed, kNotStorable});
    return;
  }
  if (RefusedAsDamaged(item)) return;
  Report(core::Step::kMakeDirectory, item);
  const int clash = memofs::FindEntry(state_, trimmed);
  if (clash >= 1 && state_.DirectoryTable[clash].EntryType == memofs::kTypeFile) {
    End(item, {Outcome::kFailed, kFileExists});
    return;
  }
  {
    memofs::MemoFs fs = Fs();
    memofs::MakeOrganizerDirectory(fs, trimmed);
  }
  if (link_failed_) LinkFailedAt(item);
  if (refused_) {
    End(item, {Outcome::kFailed, RefusalReason()});
    return;
  }
  if (Stopped()) {
    End(item, {Outcome::kCancelled, "cancelled"});
    return;
  }
  // Only a directory row may give the index to enter, never a file's number.
  const int row = memofs::FindEntry(state_, "<" + trimmed + ">");
  if (row < 1 || state_.DirectoryTable[row].EntryType != memofs::kTypeDirectory) {
    End(item, {Outcome::kFailed, "the directory was not made"});
    return;
  }
  const Entered entered = EnterDirectoryRow(row);
  if (entered == Entered::kLinkLost) LinkFailedAt(item);
  if (entered == Entered::kTooDeep) {
    End(item, {Outcome::kFailed, kTooDeepReason});
    return;
  }
  // A stopped walk stays where it stopped, as the window's does.
  const auto stop_here = [&] {
    if (!Stopped()) return false;
    End(item, {Outcome::kCancelled, "cancelled"});
    return true;
  };
  if (stop_here()) return;

  const std::optional<DirectoryListing> listing = files_.List(source + "\\");
  if (listing) {
    for (const std::string& directory : listing->directories) {
      if (directory == "." || directory == "..") continue;
      std::string path = source;
      path += '\\';
      path += directory;
      StoreDirectoryHere(path, directory);
      if (stop_here()) return;
    }
    for (const DirectoryListing::File& file : listing->files) {
      StoreFileHere(source + "\\" + file.name, file.name);
      if (stop_here()) return;
    }
  }
  if (!LeaveDirectory()) LinkFailedAt(item);
  End(item, listing ? Result{} : Result{Outcome::kFailed, "cannot be read on this computer"});
}

void Session::StoreFileHere(const std::string& source, const std::string& name) {
  const std::string trimmed = memofs::Trim(name);
  const Item item = Here(trimmed, source);
  if (!memofs::StorableName(trimmed, true)) {
    End(item, {Outcome::kFailed, kNotStorable});
    return;
  }
  if (RefusedAsDamaged(item)) return;
  int replacing = -1;
  const int found = memofs::FindEntry(state_, trimmed);
  if (found >= 0) {
    switch (state_.DirectoryTable[found].EntryType) {
      case memofs::kTypeDirectory:
        End(item, {Outcome::kFailed, kDirectoryExists});
        return;
      case memofs::kTypeRoot:
        End(item, {Outcome::kFailed, kReservedRoot});
        return;
      case memofs::kTypeParent:
        End(item, {Outcome::kFailed, "\"..\" names the parent directory"});
        return;
      default:
        if (!Overwrite(item)) return;
        replacing = found;
        break;
    }
  }

  const std::optional<std::int64_t> size = files_.FileSize(source);
  if (!size || *size < 0) {
    End(item, {Outcome::kFailed, "cannot be read on this computer"});
    return;
  }
  const auto part_size = static_cast<std::int64_t>(memofs::kPartSize);
  const std::int64_t last = *size / part_size;
  if (last > std::numeric_limits<std::int16_t>::max()) {
    // The part count is a 16-bit field of the index: more would wrap.
    End(item, {Outcome::kFailed, kTooBig});
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
    End(item, {Outcome::kFailed, kPathTooLong});
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
    End(item, {Outcome::kFailed, kDirectoryFull});
    return;
  }

  Report(core::Step::kCopyFile, item, 0, *size, -1, static_cast<int>(last));
  std::unique_ptr<InputFile> in = files_.OpenRead(source);
  if (!in) {
    End(item, {Outcome::kFailed, "cannot be opened on this computer"});
    return;
  }
  // Every part 0 to last is stored, the last one empty when the size is a
  // multiple of 1956, so that each part the row names exists.
  std::int64_t done = 0;
  for (int part = 0; part <= last; ++part) {
    const bool cancelled = Stopped();
    const std::optional<std::string> piece =
        cancelled ? std::nullopt
                  : ReadPiece(*in, static_cast<std::size_t>(std::min(part_size, *size - done)));
    if (!piece) {
      // Cancelled, or the file could not be read: take back what was sent.
      in.reset();
      if (part > 0 && !DeletePartMemos(item, stem, static_cast<int>(last), 0, part - 1)) {
        LinkFailedAt(item);
      }
      End(item, cancelled ? Result{Outcome::kCancelled, "cancelled; the parts sent were deleted"}
                          : Result{Outcome::kFailed, "read error on this computer"});
      return;
    }
    done += static_cast<std::int64_t>(piece->size());
    const std::string part_name = memofs::PartName(stem, part, static_cast<int>(last));
    link::Reply refusal;
    if (!link::PutExchange(link_, part_name, memofs::BuildMemoImage(part_name, *piece), {},
                           &refusal)) {
      // A full organizer keeps nothing of the file: no index names these
      // parts, and left there they would keep its memory full. The refused
      // one was not stored, and whatever has its name stays.
      if (RefusedAsFull(refusal) &&
          DeletePartMemos(item, stem, static_cast<int>(last), 0, part - 1)) {
        FailLink(RefusedOrSilent(refusal) + kNothingKept);
      }
      FailLink(RefusedOrSilent(refusal));
      LinkFailedAt(item);
    }
    Report(core::Step::kCopyFile, item, done, *size, part, static_cast<int>(last));
  }
  in.reset();

  memofs::DirectoryEntry old;
  if (replacing >= 0) {
    old = state_.DirectoryTable[static_cast<std::size_t>(replacing)];
    state_.DirectoryTable[static_cast<std::size_t>(replacing)] = entry;
  } else {
    state_.DirectoryTable.push_back(entry);
  }
  if (!WriteIndex()) LinkFailedAt(item);
  // Only now that the index names the new parts may the old ones go.
  if (replacing >= 0 &&
      !DeletePartMemos(item, memofs::ChildIndexName(state_.CurrentIndexName, old.EntryNumber),
                       old.EntryLastPart, 0, old.EntryLastPart)) {
    LinkFailedAt(item);
  }
  End(item, {});
}

}  // namespace tavo::core
