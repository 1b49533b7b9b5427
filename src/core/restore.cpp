// A backup back onto the organizer: each directory's index is written once
// per batch of files rather than after every file, so that index bytes stay a
// small share of the line.
#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <set>

#include "core/mirror.h"
#include "core/mirror_internal.h"
#include "core/session.h"
#include "core/session_internal.h"
#include "link/exchanges.h"
#include "memofs/directory_table.h"
#include "memofs/index_text.h"
#include "memofs/names.h"

namespace tavo::core {

namespace {

using mirror::LineDown;
using Path = std::vector<std::string>;
using Rows = std::vector<memofs::DirectoryEntry>;  // row 0 unused, as in the window's table

constexpr const char* kNotStorableHere =
    "the name cannot be stored on the organizer (line end, character 0 or 255)";

// One directory being filled: its rows as the organizer will list them at
// the next index write, and what that write makes safe to delete.
struct Batch {
  Batch(std::string index_name, Rows start)
      : index(std::move(index_name)), rows(std::move(start)) {}
  std::string index;
  Rows rows;
  Rows retired;            // replaced files, their parts deleted after the write
  std::int64_t since = 0;  // bytes sent since the last write
  bool dirty = false;
  // A new directory: its row, which the parent gets once this index exists.
  Batch* parent = nullptr;
  std::optional<memofs::DirectoryEntry> unnamed;
};

class Restorer {
 public:
  Restorer(link::SerialLink& link, ComputerFiles& files, Feedback& feedback, CancelToken& cancel)
      : link_(link), files_(files), feedback_(feedback), cancel_(cancel) {}

  Result Run(const RestorePlan& plan) {
    const Result ended = mirror::Unwinding(link_, [&] {
      names_ = mirror::ListNames(link_, cancel_);
      const std::string root = memofs::kRootIndexName;
      // A missing root is made first, as the window's first look does: an
      // organizer is never left with memos but no root. One the listing
      // left out is merged into like any other directory.
      Batch top{root, IndexRows(root)};
      if (!Damaged(top, Item{})) Directory(plan.root, top, {});
      for (const RestoreMemo& memo : plan.memos) MemoIn(memo);
    });
    worst_ = Heavier(worst_, ended);
    return worst_;
  }

 private:
  void End(const Item& item, const Result& result) {
    worst_ = Heavier(worst_, result);
    feedback_.Ended(item, result);
  }
  void StopHere() {
    if (cancel_.Cancelled()) throw mirror::Stopped{};
  }
  [[noreturn]] void Down(const Item& item, const std::string& reason) {
    End(item, {Outcome::kLinkFailed, reason});
    throw LineDown{reason};
  }

  // The rows of an index; one that is neither found nor listed is made empty.
  Rows IndexRows(const std::string& index) {
    Rows rows(1);
    if (const std::optional<std::string> text = TextIfAny(index)) {
      for (memofs::DirectoryEntry& e : memofs::ParseIndexText(*text)) rows.push_back(std::move(e));
    } else {
      Put(Item{}, index, "");
    }
    return rows;
  }

  // A memo's text, asked for even when the listing lacks it, since a cut
  // listing must not make an index look missing; nothing when its "get" says
  // "not found" and the listing agrees. A listed memo not found, or an answer
  // cut short, ends the line.
  std::optional<std::string> TextIfAny(const std::string& name) {
    link::GetResult got = link::GetExchange(link_, name);
    if (got.found == link::Word::kOther && names_.count(name) == 0) return std::nullopt;
    if (got.found == link::Word::kOther) {
      throw LineDown{"the organizer did not find the listed memo " + name +
                     ", or garbled its answer"};
    }
    if (!got.ok) throw LineDown{SilenceOrGarble(got.found == link::Word::kTimedOut)};
    names_.insert(name);
    return std::move(got.text);
  }

  void Put(const Item& item, const std::string& name, const std::string& text) {
    link::Reply refusal;
    if (!link::PutExchange(link_, name, memofs::BuildMemoImage(name, text), {}, &refusal)) {
      Down(item, RefusedOrSilent(refusal));
    }
    names_.insert(name);
  }

  void DeleteParts(const Item& item, const std::string& stem, int last, int upto) {
    for (int part = 0; part <= upto; ++part) {
      const std::string name = memofs::PartName(stem, part, last);
      feedback_.Report(Progress{Step::kDeleteFile, item, 0, 0, part, last});
      const link::DelResult deleted = link::DelExchange(link_, name);
      // "not found" is fine: some stores lack an empty last part.
      if (deleted.found == link::Word::kTimedOut ||
          (deleted.found == link::Word::kExpected && !deleted.ok)) {
        Down(item, SilenceOrGarble(deleted.found == link::Word::kTimedOut));
      }
      names_.erase(name);
    }
  }

  // Writes the index if anything changed. A new directory is then named in
  // its parent: with the parent's own next write at the end of a directory,
  // at once (up to an index the organizer shows) after a full batch, so that
  // a failed line never takes more than a batch of a directory with it.
  void Flush(Batch& batch, bool show_now) {
    if (batch.dirty) {
      Put(Item{}, batch.index, memofs::BuildIndexText(batch.rows));
      for (const memofs::DirectoryEntry& old : batch.retired) {
        DeleteParts(Item{}, memofs::ChildIndexName(batch.index, old.EntryNumber), old.EntryLastPart,
                    old.EntryLastPart);
      }
      batch.retired.clear();
      batch.since = 0;
      batch.dirty = false;
    }
    if (batch.unnamed) {
      batch.parent->rows.push_back(*batch.unnamed);
      batch.parent->dirty = true;
      batch.unnamed.reset();
      if (show_now) Flush(*batch.parent, true);
    }
  }

  // The backup's number where no row (nor a retired one) holds it and no
  // memo of it is listed (an index or parts nothing names any more), else the
  // smallest such number.
  int Number(const Batch& batch, int wanted) const {
    std::set<int> used;
    for (std::size_t r = 1; r < batch.rows.size(); ++r) used.insert(batch.rows[r].EntryNumber);
    for (const memofs::DirectoryEntry& e : batch.retired) used.insert(e.EntryNumber);
    const auto free = [&](int n) { return used.count(n) == 0 && !Listed(batch.index, n); };
    if (wanted >= 0 && wanted <= std::numeric_limits<std::int16_t>::max() && free(wanted)) {
      return wanted;
    }
    int n = 0;
    while (!free(n)) ++n;
    return n;
  }

  // Whether the listing holds the index or a part of entry n of `index`.
  bool Listed(const std::string& index, int n) const {
    const std::string stem = memofs::ChildIndexName(index, n);
    if (names_.count(stem) != 0) return true;
    const auto below = names_.lower_bound(stem + "_");
    return below != names_.end() && memofs::StartsWith(*below, stem + "_");
  }

  // A number for a new directory whose index memo is confirmed absent by its
  // own "get" as well as the listing: whatever is there stays.
  int NewDirectoryNumber(const Batch& parent, int wanted) {
    for (;;) {
      const int n = Number(parent, wanted);
      const std::string child = memofs::ChildIndexName(parent.index, n);
      // Found, it is listed now, and the next round takes another number.
      if (child.size() > memofs::kMaxMemoName || !TextIfAny(child)) return n;
    }
  }

  // The row of a directory or a file of this name: an index may hold one of
  // each, and a backup of it gives both back.
  static int RowNamed(const Rows& rows, const std::string& name, bool directory) {
    for (std::size_t r = 1; r < rows.size(); ++r) {
      if (rows[r].EntryName == name && (rows[r].EntryType == memofs::kTypeDirectory) == directory) {
        return static_cast<int>(r);
      }
    }
    return -1;
  }

  bool Fits(const Rows& rows, const Item& item) {
    if (memofs::BuildIndexText(rows).size() <= memofs::kMaxIndexText) return true;
    End(item, {Outcome::kFailed, "the organizer directory is full"});
    return false;
  }

  // An existing index that gives two entries one number: replacing either
  // would delete the other's memos, so nothing is stored in it or below it.
  bool Damaged(const Batch& batch, const Item& item) {
    if (!memofs::RepeatsNumber(batch.rows)) return false;
    End(item, {Outcome::kFailed, kDamagedIndex});
    return true;
  }

  // Files first, then subdirectories; the index is written at the end and
  // whenever enough has been stored since its last write.
  void Directory(const RestoreDirectory& dir, Batch& batch, const Path& path) {
    try {
      for (const RestoreFile& file : dir.files) {
        StopHere();
        FileIn(batch, file, path);
      }
      for (const RestoreDirectory& sub : dir.directories) {
        StopHere();
        SubdirectoryIn(batch, sub, path);
      }
    } catch (const mirror::Stopped&) {
      Flush(batch, false);  // the files stored whole are kept
      throw;
    }
    Flush(batch, false);
  }

  void SubdirectoryIn(Batch& parent, const RestoreDirectory& sub, const Path& path) {
    Path here = path;
    here.push_back(sub.name);
    const Item item{here, "", false};
    if (!memofs::StorableName(sub.name, true)) {
      End(item, {Outcome::kFailed, kNotStorableHere});
      return;
    }
    feedback_.Report(Progress{Step::kMakeDirectory, item});
    const int row = RowNamed(parent.rows, sub.name, true);
    const int number = row >= 0 ? parent.rows[static_cast<std::size_t>(row)].EntryNumber
                                : NewDirectoryNumber(parent, sub.entry);
    const std::string child = memofs::ChildIndexName(parent.index, number);
    if (child.size() > memofs::kMaxMemoName) {
      End(item, {Outcome::kFailed, "directories nested too deep (index name over 20 characters)"});
      return;
    }
    if (row >= 0) {
      Batch batch{child, IndexRows(child)};
      if (Damaged(batch, item)) return;
      Directory(sub, batch, here);
      End(item, {});
      return;
    }
    memofs::DirectoryEntry entry;
    entry.EntryName = sub.name;
    entry.EntryType = memofs::kTypeDirectory;
    entry.EntryNumber = static_cast<std::int16_t>(number);
    Rows after = parent.rows;
    after.push_back(entry);
    if (!Fits(after, item)) return;
    // A new directory's index is written before its parent names it (a
    // failure in between leaves orphans, never an entry without its index),
    // and a small one only once, whole.
    Batch batch{child, Rows(1)};
    batch.dirty = true;
    batch.parent = &parent;
    batch.unnamed = entry;
    Directory(sub, batch, here);
    End(item, {});
  }

  void FileIn(Batch& batch, const RestoreFile& file, const Path& path) {
    Path here = path;
    here.push_back(file.name);
    const Item item{here, file.source, false};
    if (!memofs::StorableName(file.name, true)) {
      End(item, {Outcome::kFailed, kNotStorableHere});
      return;
    }
    const int row = RowNamed(batch.rows, file.name, false);
    if (row >= 0) {
      if (const std::optional<Result> refused = OverwriteRefused(feedback_, item)) {
        End(item, *refused);
        return;
      }
    }
    const auto part_size = static_cast<std::int64_t>(memofs::kPartSize);
    const std::int64_t last = file.size / part_size;
    if (file.size < 0 || last > std::numeric_limits<std::int16_t>::max()) {
      End(item, {Outcome::kFailed, "too big for the organizer's index"});
      return;
    }
    memofs::DirectoryEntry entry;
    entry.EntryName = file.name;
    entry.EntryType = memofs::kTypeFile;
    entry.EntryLastPart = static_cast<std::int16_t>(last);
    entry.EntryLastPartSize = static_cast<std::int16_t>(file.size - last * part_size);
    entry.EntryNumber = static_cast<std::int16_t>(Number(batch, file.entry));
    const std::string stem = memofs::ChildIndexName(batch.index, entry.EntryNumber);
    if (memofs::PartName(stem, 0, static_cast<int>(last)).size() > memofs::kMaxMemoName) {
      End(item, {Outcome::kFailed, "path too long: its memo names would exceed 20 characters"});
      return;
    }
    Rows after = batch.rows;
    if (row >= 0) {
      after[static_cast<std::size_t>(row)] = entry;
    } else {
      after.push_back(entry);
    }
    if (!Fits(after, item)) return;
    if (!SendParts(item, stem, file, static_cast<int>(last))) return;
    if (row >= 0) batch.retired.push_back(batch.rows[static_cast<std::size_t>(row)]);
    batch.rows = std::move(after);
    batch.dirty = true;
    batch.since +=
        file.size + (last + 1) * static_cast<std::int64_t>(memofs::BuildMemoImage("", "").size());
    End(item, {});
    const auto index_size = static_cast<std::int64_t>(memofs::BuildIndexText(batch.rows).size());
    if (batch.since >= kIndexShare * index_size) Flush(batch, true);
  }

  // Every part 0 to last, the last one empty when the size is a multiple of
  // 1956, so that each part the row names exists. False: the item ended.
  bool SendParts(const Item& item, const std::string& stem, const RestoreFile& file, int last) {
    std::unique_ptr<InputFile> in = files_.OpenRead(file.source);
    if (!in) {
      End(item, {Outcome::kFailed, "cannot be opened on this computer"});
      return false;
    }
    std::int64_t done = 0;
    for (int part = 0; part <= last; ++part) {
      const bool cancelled = cancel_.Cancelled();
      const auto count = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(memofs::kPartSize), file.size - done));
      std::optional<std::string> piece;
      if (!cancelled) piece = ReadPiece(*in, count);
      if (!piece) {
        in.reset();
        // The file in flight is taken back: no part of it stays unnamed.
        if (part > 0) DeleteParts(item, stem, last, part - 1);
        if (cancelled) {
          End(item, {Outcome::kCancelled, "cancelled; the parts sent were deleted"});
          throw mirror::Stopped{};
        }
        End(item, {Outcome::kFailed, "read error on this computer"});
        return false;
      }
      const std::string name = memofs::PartName(stem, part, last);
      link::Reply refusal;
      if (!link::PutExchange(link_, name, memofs::BuildMemoImage(name, *piece), {}, &refusal)) {
        // As a store does: a full organizer keeps nothing of the file.
        if (RefusedAsFull(refusal)) {
          DeleteParts(item, stem, last, part - 1);
          Down(item, RefusedOrSilent(refusal) + kNothingKept);
        }
        Down(item, RefusedOrSilent(refusal));
      }
      names_.insert(name);
      done += static_cast<std::int64_t>(piece->size());
      feedback_.Report(Progress{Step::kCopyFile, item, done, file.size, part, last});
    }
    return true;
  }

  void MemoIn(const RestoreMemo& memo) {
    StopHere();
    const Item item{{memo.name}, memo.source, true};
    if (!memofs::StorableName(memo.name, false) || memofs::FileSystemMemo(memo.name)) {
      End(item, {Outcome::kFailed, "not a plain memo name"});
      return;
    }
    if (names_.count(memo.name) != 0) {
      if (const std::optional<Result> refused = OverwriteRefused(feedback_, item)) {
        End(item, *refused);
        return;
      }
    }
    const std::optional<std::int64_t> size = files_.FileSize(memo.source);
    std::unique_ptr<InputFile> in = size ? files_.OpenRead(memo.source) : nullptr;
    const std::optional<std::string> text =
        in ? ReadPiece(*in, static_cast<std::size_t>(*size)) : std::nullopt;
    if (!text) {
      End(item, {Outcome::kFailed, "cannot be read on this computer"});
      return;
    }
    feedback_.Report(Progress{Step::kCopyMemo, item, 0, *size});
    // As the window stores a memo: its title is its name.
    Put(item, memo.name, *text);
    End(item, {});
  }

  link::SerialLink& link_;
  ComputerFiles& files_;
  Feedback& feedback_;
  CancelToken& cancel_;
  std::set<std::string> names_;
  Result worst_;
};

}  // namespace

Result Restore(link::SerialLink& link, ComputerFiles& files, const RestorePlan& plan,
               Feedback& feedback, CancelToken& cancel) {
  if (!link.IsOpen()) return {Outcome::kLinkFailed, "the link is not open"};
  return Restorer(link, files, feedback, cancel).Run(plan);
}

}  // namespace tavo::core
