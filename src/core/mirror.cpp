// The whole organizer to the computer, and the check over the live link.
#include "core/mirror.h"

#include <algorithm>
#include <optional>

#include "core/mirror_internal.h"
#include "core/session.h"
#include "link/exchanges.h"
#include "memofs/directory_table.h"
#include "memofs/index_text.h"
#include "memofs/names.h"

namespace tavo::core {

namespace mirror {

std::set<std::string> ListNames(link::SerialLink& link, const CancelToken& cancel) {
  std::set<std::string> names;
  const link::DirResult dir = link::DirExchange(link, [&](const std::string& name, bool is_name) {
    if (is_name) names.insert(name);
    return !cancel.Cancelled();
  });
  if (dir.stopped) throw Stopped{};
  if (!dir.ok) throw LineDown{ListingFailure(dir)};
  return names;
}

std::string ReadText(link::SerialLink& link, const std::string& name) {
  link::GetResult got = link::GetExchange(link, name);
  if (got.found == link::Word::kOther) {
    throw LineDown{"the organizer did not find the listed memo " + name +
                   ", or garbled its answer"};
  }
  if (!got.ok) throw LineDown{SilenceOrGarble(got.found == link::Word::kTimedOut)};
  return std::move(got.text);
}

Result Fail(link::SerialLink& link, const LineDown& down) {
  try {
    if (link.IsOpen()) link.FlushInput();
  } catch (...) {
  }
  link.ClosePort();
  return {Outcome::kLinkFailed, down.reason};
}

}  // namespace mirror

namespace {

using mirror::LineDown;
using Path = std::vector<std::string>;

// Directories first, each kind in byte order: the same for any order of the
// index, so that two backups of one file system list it alike.
std::vector<memofs::DirectoryEntry> Ordered(std::vector<memofs::DirectoryEntry> entries) {
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    const bool a_dir = a.EntryType == memofs::kTypeDirectory;
    const bool b_dir = b.EntryType == memofs::kTypeDirectory;
    if (a_dir != b_dir) return a_dir;
    return a.EntryName < b.EntryName;
  });
  return entries;
}

class Backupper {
 public:
  Backupper(link::SerialLink& link, BackupSink& sink, Feedback& feedback, CancelToken& cancel)
      : link_(link), sink_(sink), feedback_(feedback), cancel_(cancel) {}

  BackupOutcome Run() {
    bool full = false;
    const Result ended = mirror::Unwinding(link_, [&] {
      try {
        names_ = mirror::ListNames(link_, cancel_);
        const std::string root = memofs::kRootIndexName;
        if (names_.count(root) != 0) {
          Walk(root, mirror::ReadText(link_, root), {});
        } else if (const std::optional<std::string> text = UnlistedRoot()) {
          End(Item{}, {Outcome::kFailed,
                       "the organizer's listing left out the root index fs0; what else it left "
                       "out is not in the backup"});
          Walk(root, *text, {});
        }
        for (const std::string& name : names_) {
          if (!memofs::FileSystemMemo(name)) MemoOut(name);
        }
      } catch (const Full&) {
        full = true;
        worst_ = Heavier(worst_, {Outcome::kFailed, "cannot be written on this computer"});
      }
    });
    worst_ = Heavier(worst_, ended);
    if (full || !ended.Done()) return {worst_, BackupEnd::kCut};
    return {worst_, worst_.Done() ? BackupEnd::kComplete : BackupEnd::kItemsLeftOut};
  }

 private:
  // The computer refused a write: nothing after it can be kept either.
  struct Full {};

  void Check(bool written, const Item& item) {
    if (written) return;
    End(item, {Outcome::kFailed, "cannot be written on this computer"});
    throw Full{};
  }
  // A listing without "fs0" proves no unused file system, as a cut or lying
  // one looks the same: the root's own "get" decides. Its text, if there.
  std::optional<std::string> UnlistedRoot() {
    link::GetResult got = link::GetExchange(link_, memofs::kRootIndexName);
    if (got.found == link::Word::kOther) return std::nullopt;
    if (!got.ok) throw LineDown{SilenceOrGarble(got.found == link::Word::kTimedOut)};
    return std::move(got.text);
  }
  void StopHere() {
    if (cancel_.Cancelled()) throw mirror::Stopped{};
  }
  void End(const Item& item, const Result& result) {
    worst_ = Heavier(worst_, result);
    feedback_.Ended(item, result);
  }

  void Walk(const std::string& index, const std::string& text, const Path& path) {
    for (const memofs::DirectoryEntry& e : Ordered(memofs::ParseIndexText(text))) {
      StopHere();
      Path here = path;
      here.push_back(e.EntryName);
      const Item item{here, "", false};
      const std::string stem = memofs::ChildIndexName(index, e.EntryNumber);
      if (e.EntryType == memofs::kTypeDirectory) {
        DirectoryOut(item, stem, Origin{index, e.EntryNumber, 0});
      } else {
        FileOut(item, stem, e, index);
      }
    }
  }

  void DirectoryOut(const Item& item, const std::string& stem, const Origin& origin) {
    if (stem.size() > memofs::kMaxMemoName) {
      End(item, {Outcome::kFailed, "nested too deep to be reached (index name over 20)"});
      return;
    }
    if (names_.count(stem) == 0) {
      End(item, {Outcome::kFailed, "its index memo " + stem + " is missing"});
      return;
    }
    feedback_.Report(Progress{Step::kEnterDirectory, item});
    Check(sink_.Directory(item.organizer, origin), item);
    Walk(stem, mirror::ReadText(link_, stem), item.organizer);
    End(item, {});
  }

  void FileOut(const Item& item, const std::string& stem, const memofs::DirectoryEntry& e,
               const std::string& index) {
    const int last = e.EntryLastPart;
    if (!memofs::ReadableFileEntry(e)) {
      End(item, {Outcome::kFailed, "its index entry is damaged"});
      return;
    }
    const std::int64_t total = memofs::EntrySize(e);
    for (int part = 0; part <= last; ++part) {
      const std::string name = memofs::PartName(stem, part, last);
      // Other clients store no empty last part after full ones.
      const bool optional = part == last && part > 0 && e.EntryLastPartSize == 0;
      if (names_.count(name) == 0 && !optional) {
        End(item, {Outcome::kFailed, "its part memo " + name + " is missing"});
        return;
      }
    }
    Check(sink_.BeginFile(item.organizer, total, Origin{index, e.EntryNumber, last + 1}), item);
    std::int64_t done = 0;
    for (int part = 0; part <= last; ++part) {
      const std::size_t count =
          part == last ? static_cast<std::size_t>(e.EntryLastPartSize) : memofs::kPartSize;
      feedback_.Report(Progress{Step::kCopyFile, item, done, total, part, last});
      if (count == 0) continue;  // nothing to read: its presence is known from "dir"
      StopHere();
      const link::GetxResult got =
          link::GetxExchange(link_, memofs::PartName(stem, part, last), count);
      if (!got.ok) throw LineDown{SilenceOrGarble(got.found == link::Word::kTimedOut)};
      Check(sink_.FileData(got.block), item);
      done += static_cast<std::int64_t>(count);
    }
    Check(sink_.EndFile(), item);
    End(item, {});
  }

  void MemoOut(const std::string& name) {
    StopHere();
    const Item item{{name}, "", true};
    feedback_.Report(Progress{Step::kCopyMemo, item});
    Check(sink_.Memo(name, mirror::ReadText(link_, name)), item);
    End(item, {});
  }

  link::SerialLink& link_;
  BackupSink& sink_;
  Feedback& feedback_;
  CancelToken& cancel_;
  std::set<std::string> names_;
  Result worst_;
};

// The organizer as the checker reads it: names from one "dir", an index's
// text when the walk reaches it, a part's length only for a deep check.
class LiveSource : public memofs::MemoSource {
 public:
  LiveSource(link::SerialLink& link, bool deep, CancelToken& cancel)
      : link_(link), deep_(deep), cancel_(cancel) {}
  void List() { names_ = mirror::ListNames(link_, cancel_); }
  const std::set<std::string>& Names() override { return names_; }
  std::string Text(const std::string& name) override {
    if (cancel_.Cancelled()) throw mirror::Stopped{};
    return mirror::ReadText(link_, name);
  }
  std::optional<std::size_t> Length(const std::string& name) override {
    if (!deep_) return std::nullopt;
    return Text(name).size();
  }

 private:
  link::SerialLink& link_;
  bool deep_;
  CancelToken& cancel_;
  std::set<std::string> names_;
};

}  // namespace

BackupOutcome Backup(link::SerialLink& link, BackupSink& sink, Feedback& feedback,
                     CancelToken& cancel) {
  if (!link.IsOpen()) return {{Outcome::kLinkFailed, "the link is not open"}, BackupEnd::kCut};
  return Backupper(link, sink, feedback, cancel).Run();
}

CheckOutcome CheckOrganizer(link::SerialLink& link, bool deep, CancelToken& cancel) {
  CheckOutcome out;
  LiveSource source(link, deep, cancel);
  try {
    source.List();
    out.report = memofs::CheckMemoFileSystem(source);
  } catch (const LineDown& down) {
    out.result = mirror::Fail(link, down);
  } catch (const link::LinkClosed&) {
    out.result = {Outcome::kLinkFailed, "the link is closed"};
  } catch (const mirror::Stopped&) {
    out.result = {Outcome::kCancelled, "cancelled"};
  }
  return out;
}

Result RemoveOrphans(link::SerialLink& link, const memofs::CheckReport& report, Feedback& feedback,
                     CancelToken& cancel) {
  // A memo behind a damaged or missing index is only unreached, not unwanted:
  // a reader may still reach it, or a mended index name it again.
  if (!report.Clean()) return {Outcome::kFailed, kOrphansKept};
  Result worst;
  try {
    for (const std::string& name : report.orphans) {
      if (cancel.Cancelled()) return Heavier(worst, {Outcome::kCancelled, "cancelled"});
      const Item item{{name}, "", true};
      // Only the file system's own memos: a plain memo is never an orphan.
      if (!memofs::FileSystemMemo(name)) {
        feedback.Ended(item, {Outcome::kFailed, "not a file system memo"});
        worst = Heavier(worst, {Outcome::kFailed, "not a file system memo"});
        continue;
      }
      feedback.Report(Progress{Step::kDeleteFile, item});
      const link::DelResult deleted = link::DelExchange(link, name);
      if (deleted.found == link::Word::kTimedOut ||
          (deleted.found == link::Word::kExpected && !deleted.ok)) {
        throw LineDown{SilenceOrGarble(deleted.found == link::Word::kTimedOut)};
      }
      feedback.Ended(item, {});
    }
  } catch (const LineDown& down) {
    return Heavier(worst, mirror::Fail(link, down));
  } catch (const link::LinkClosed&) {
    return Heavier(worst, {Outcome::kLinkFailed, "the link is closed"});
  }
  return worst;
}

}  // namespace tavo::core
