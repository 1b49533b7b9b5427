// The organizer's plain memos, as the window's memo view handles them.
#include <algorithm>
#include <memory>

#include "core/session_internal.h"
#include "link/exchanges.h"
#include "memofs/directory_table.h"
#include "memofs/index_text.h"
#include "memofs/names.h"

namespace tavo::core {

namespace {

std::string NotFoundOrSilent(link::Word found) {
  if (found == link::Word::kOther)
    return "the organizer did not find a listed memo, or garbled its answer";
  return SilenceOrGarble(found == link::Word::kTimedOut);
}

Item MemoItem(const std::string& name, const std::string& computer) {
  return Item{{name}, computer, true};
}

}  // namespace

Result Session::ListMemos() {
  return Run([&] {
    if (!EnsureMemoView()) return;
    // The listing stands; a Cancel during it only says so.
    if (Stopped()) worst_ = {Outcome::kCancelled, "cancelled"};
  });
}

bool Session::EnsureMemoView() {
  if (view_ == View::kMemos) return true;
  view_ = View::kNone;
  memos_.clear();
  state_.DirectoryTable.clear();
  state_.DirectoryTable.push_back({"..", memofs::kTypeParent, 0, 0, 0});
  const link::DirResult dir = link::DirExchange(link_, [&](const std::string& name, bool is_name) {
    if (is_name && !memofs::FileSystemMemo(name)) {
      state_.DirectoryTable.push_back({name, memofs::kTypeFile, 0, 0, 0});
      memos_.push_back(name);
    }
    // A listing may announce more names than anyone would wait for.
    return !Stopped();
  });
  if (dir.stopped) {
    // Abandoned mid-listing: the rest of it would spoil the next exchange.
    FailLink("cancelled while listing the memos");
    worst_ = {Outcome::kCancelled, link_reason_};
    return false;
  }
  if (!dir.ok) {
    FailLink(ListingFailure(dir));
    worst_ = {Outcome::kLinkFailed, link_reason_};
    return false;
  }
  state_.CurrentIndexName = memofs::kRootIndexName;
  state_.CurrentDepth = 0;
  state_.MemoViewActive = 1;
  path_.clear();
  view_ = View::kMemos;
  return true;
}

Result Session::FetchMemo(const std::string& name, const std::string& target) {
  return Run([&] {
    if (!EnsureMemoView()) return;
    const Item item = MemoItem(name, target);
    if (std::find(memos_.begin(), memos_.end(), name) == memos_.end()) {
      End(item,
          {Outcome::kFailed, memofs::FileSystemMemo(name) ? kFileSystemName : "no such memo"});
      return;
    }
    Report(core::Step::kCopyMemo, item);
    if (!SafeTarget(item, name)) return;
    if (!MayWrite(item, target)) return;
    // A listed memo the organizer does not find: gone meanwhile, or a
    // garbled "found"; neither can be told from the other, so the link goes.
    const link::GetResult memo = link::GetExchange(link_, name);
    if (memo.found != link::Word::kExpected || !memo.ok) {
      FailLink(NotFoundOrSilent(memo.found));
      LinkFailedAt(item);
    }
    const std::unique_ptr<OutputFile> out = files_.CreateReplacing(target);
    if (!out || !out->Write(memo.text) || !out->Commit()) {
      End(item, {Outcome::kFailed, "cannot be written on this computer"});
      return;
    }
    written_.insert(memofs::UpperCase(target));
    End(item, {});
  });
}

Result Session::StoreMemo(const std::string& source, const std::string& name) {
  return Run([&] {
    if (!EnsureMemoView()) return;
    const std::string trimmed = memofs::Trim(name);
    const Item item = MemoItem(trimmed, source);
    if (!memofs::StorableName(name, false)) {
      End(item, {Outcome::kFailed, kMemoNotStorable});
      return;
    }
    // Memos named like the file system's own would overwrite its indexes and parts.
    if (memofs::StartsWith(trimmed, memofs::kRootIndexName)) {
      End(item, {Outcome::kFailed, kFileSystemName});
      return;
    }
    const std::optional<std::int64_t> size = files_.FileSize(source);
    // So would the numbered titles of a longer file ("fs" + "0...").
    if (size && memofs::AnyReservedTitle(trimmed, *size)) {
      End(item, {Outcome::kFailed, kReservedTitle});
      return;
    }
    std::unique_ptr<InputFile> in = size ? files_.OpenRead(source) : nullptr;
    if (!in) {
      End(item, {Outcome::kFailed, "cannot be read on this computer"});
      return;
    }
    if (*size == 0) {
      End(item, {Outcome::kSkipped, "an empty file makes no memo"});
      return;
    }
    bool skipped = false;
    std::int64_t done = 0;
    for (int piece = 0; done < *size; ++piece) {
      const std::size_t count = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(memofs::kPartSize), *size - done));
      const std::optional<std::string> data = ReadPiece(*in, count);
      // The rest of an unreadable file is not sent.
      if (!data) {
        End(item, {Outcome::kFailed, "read error on this computer"});
        return;
      }
      done += static_cast<std::int64_t>(count);
      const std::string title = memofs::PieceTitle(trimmed, *size, piece);
      const Item piece_item = MemoItem(title, source);
      Report(core::Step::kCopyMemo, piece_item, done, *size, piece);
      bool exists = false;
      for (int r = 1; r < state_.EntryCount(); ++r) {
        const memofs::DirectoryEntry& entry = state_.DirectoryTable[r];
        if (entry.EntryType == memofs::kTypeFile &&
            memofs::Trim(entry.EntryName) == memofs::Trim(title)) {
          exists = true;
        }
      }
      bool send = true;
      if (exists) {
        switch (feedback_.AskOverwrite(piece_item)) {
          case Answer::kReplace:
            break;
          case Answer::kSkip:
            send = false;
            skipped = true;
            break;
          case Answer::kFail:
            End(piece_item, {Outcome::kFailed, "exists"});
            return;
        }
      }
      if (send) {
        bool cancelled = false;
        link::Reply refusal;
        const bool stored = link::PutExchange(
            link_, title, memofs::BuildMemoImage(title, *data),
            [&] {
              cancelled = Stopped();
              return !cancelled;
            },
            &refusal);
        if (cancelled) {
          // Abandoned after its command line, the exchange leaves the
          // organizer waiting for a length: the link goes, as in the window.
          FailLink("cancelled in the middle of storing " + title);
          End(item, {Outcome::kCancelled, link_reason_});
          throw LinkUnwound{};
        }
        if (!stored) {
          FailLink(RefusedOrSilent(refusal));
          LinkFailedAt(piece_item);
        }
      }
      if (Stopped()) {
        End(item, {Outcome::kCancelled, "cancelled after " + title});
        return;
      }
    }
    End(item, skipped ? Result{Outcome::kSkipped, "a piece exists; left as it is"} : Result{});
    // Offered to later calls; the table the questions read stays the window's.
    for (int piece = 0; piece * static_cast<std::int64_t>(memofs::kPartSize) < *size; ++piece) {
      const std::string title = memofs::PieceTitle(trimmed, *size, piece);
      if (std::find(memos_.begin(), memos_.end(), title) == memos_.end()) memos_.push_back(title);
    }
  });
}

Result Session::DeleteMemo(const std::string& name) {
  return Run([&] {
    if (!EnsureMemoView()) return;
    const Item item = MemoItem(name, "");
    const auto listed = std::find(memos_.begin(), memos_.end(), name);
    if (listed == memos_.end()) {
      End(item,
          {Outcome::kFailed, memofs::FileSystemMemo(name) ? kFileSystemName : "no such memo"});
      return;
    }
    Report(core::Step::kDeleteMemo, item);
    const link::DelResult deleted = link::DelExchange(link_, name);
    if (deleted.found != link::Word::kExpected || !deleted.ok) {
      FailLink(NotFoundOrSilent(deleted.found));
      LinkFailedAt(item);
    }
    End(item, {});
    memos_.erase(listed);
    const int row = memofs::FindEntry(state_, name);
    if (row >= 1) memofs::RemoveRow(state_, row);
  });
}

}  // namespace tavo::core
