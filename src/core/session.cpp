#include "core/session.h"

#include <exception>

#include "core/session_internal.h"
#include "memofs/exchange_sort.h"
#include "memofs/names.h"

namespace tavo::core {

Result Heavier(const Result& a, const Result& b) {
  return static_cast<int>(b.outcome) > static_cast<int>(a.outcome) ? b : a;
}

std::optional<Result> OverwriteRefused(Feedback& feedback, const Item& item) {
  switch (feedback.AskOverwrite(item)) {
    case Answer::kReplace:
      return std::nullopt;
    case Answer::kSkip:
      return Result{Outcome::kSkipped, "exists; left as it is"};
    case Answer::kFail:
      break;
  }
  return Result{Outcome::kFailed, "exists"};
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone:
      return "done";
    case Outcome::kSkipped:
      return "skipped";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kCancelled:
      return "cancelled";
    case Outcome::kLinkFailed:
      return "link failed";
  }
  return "failed";
}

std::string SilenceOrGarble(bool silent) {
  return silent ? "the organizer did not answer"
                : "the organizer's answer was garbled or cut short";
}

std::string ListingFailure(const link::DirResult& dir) {
  if (dir.too_many) {
    return "the organizer announced " + std::to_string(dir.announced) + " memos, more than the " +
           std::to_string(link::kMaxDirNames) + " any organizer can hold";
  }
  return SilenceOrGarble(!dir.answered);
}

Session::Session(link::SerialLink& link, ComputerFiles& files, Feedback& feedback,
                 CancelToken& cancel, memofs::OrganizerState& state)
    : link_(link),
      files_(files),
      feedback_(feedback),
      cancel_(cancel),
      state_(state),
      view_(state.MemoViewActive == 1 ? View::kMemos : View::kDirectory),
      adopted_(true) {
  if (view_ != View::kMemos) return;
  for (int r = 1; r < state_.EntryCount(); ++r)
    memos_.push_back(state_.DirectoryTable[r].EntryName);
}

// ---- bookkeeping ----

void Session::End(const Item& item, const Result& result) {
  worst_ = Heavier(worst_, result);
  feedback_.Ended(item, result);
}

void Session::Report(core::Step step, const Item& item, std::int64_t done, std::int64_t total,
                     int part, int last_part) {
  feedback_.Report(Progress{step, item, done, total, part, last_part});
}

void Session::FailLink(const std::string& reason) {
  if (!link_failed_) link_reason_ = reason;
  link_failed_ = true;
  // As the window falls unsynchronized: stray replies go, then the port.
  try {
    if (link_.IsOpen()) link_.FlushInput();
  } catch (...) {
  }
  link_.ClosePort();
}

void Session::RequireLink(const Item& item) {
  if (!link_.IsOpen()) LinkFailedAt(item);
}

void Session::LinkFailedAt(const Item& item) {
  if (!link_failed_) FailLink("the link is closed");
  End(item, {Outcome::kLinkFailed, link_reason_});
  throw LinkUnwound{};
}

memofs::MemoFs Session::Fs() {
  refused_ = false;
  refusal_.clear();
  return memofs::MemoFs{link_, state_, *this};
}

std::string Session::RefusalReason() const {
  if (refusal_ == memofs::kFullDirectoryMessage) return kDirectoryFull;
  if (refusal_ == memofs::kTooDeepMessage) return kTooDeepReason;
  if (memofs::StartsWith(refusal_, "Error: Can't create directory with reserved name")) {
    return kReservedRoot;
  }
  return refusal_.empty() ? "refused" : refusal_;
}

Item Session::Here(const std::string& name, const std::string& computer) const {
  Item item{path_, computer, false};
  item.organizer.push_back(name);
  return item;
}

// ---- walking ----

bool Session::ReadIndex() {
  memofs::MemoFs fs = Fs();
  return memofs::ReadIndex(fs);
}

bool Session::WriteIndex() {
  memofs::MemoFs fs = Fs();
  return memofs::WriteIndex(fs);
}

Result Session::OpenRoot() {
  state_.MemoViewActive = 0;
  state_.CurrentIndexName = memofs::kRootIndexName;
  state_.CurrentDepth = 0;
  path_.clear();
  adopted_ = false;
  view_ = View::kNone;
  Report(core::Step::kEnterDirectory, Item{});
  if (!ReadIndex()) return {Outcome::kLinkFailed, link_reason_};
  view_ = View::kDirectory;
  return {};
}

Session::Entered Session::EnterDirectoryRow(int row) {
  const std::string child =
      memofs::ChildIndexName(state_.CurrentIndexName, state_.DirectoryTable[row].EntryNumber);
  if (child.size() > memofs::kMaxMemoName) return Entered::kTooDeep;
  path_.push_back(state_.DirectoryTable[row].EntryName);
  state_.CurrentIndexName = child;
  ++state_.CurrentDepth;
  return ReadIndex() ? Entered::kYes : Entered::kLinkLost;
}

bool Session::LeaveDirectory() {
  state_.CurrentIndexName = memofs::ParentIndexName(state_.CurrentIndexName);
  --state_.CurrentDepth;
  if (!path_.empty()) path_.pop_back();
  return ReadIndex();
}

bool Session::RefusedAsDamaged(const Item& item) {
  if (view_ == View::kMemos || !memofs::RepeatsNumber(state_.DirectoryTable)) return false;
  End(item, {Outcome::kFailed, kDamagedIndex});
  return true;
}

int Session::LookUp(const std::string& text) const {
  const int exact = memofs::FindEntry(state_, text);
  if (exact >= 0) return exact;
  return memofs::FindEntry(state_, memofs::Trim(text));
}

Result Session::Walk(const std::vector<std::string>& path) {
  return Run([&] {
    const bool on_the_way = !adopted_ && view_ == View::kDirectory && path_.size() <= path.size() &&
                            std::equal(path_.begin(), path_.end(), path.begin());
    if (!on_the_way) {
      const Result root = OpenRoot();
      if (!root.Done()) {
        worst_ = root;
        return;
      }
    }
    for (std::size_t level = path_.size(); level < path.size(); ++level) {
      const std::optional<memofs::DirectoryEntry> entry = Find(path[level]);
      if (!entry || entry->EntryType != memofs::kTypeDirectory) {
        worst_ = {Outcome::kFailed, entry ? "not a directory" : "no such directory"};
        return;
      }
      Report(core::Step::kEnterDirectory, Here(path[level], ""));
      const int row = memofs::FindEntry(state_, "<" + path[level] + ">");
      switch (EnterDirectoryRow(row)) {
        case Entered::kYes:
          break;
        case Entered::kTooDeep:
          worst_ = {Outcome::kFailed, kTooDeepReason};
          return;
        case Entered::kLinkLost:
          worst_ = {Outcome::kLinkFailed, link_reason_};
          return;
      }
    }
  });
}

std::vector<memofs::DirectoryEntry> Session::Listing() const {
  std::vector<memofs::DirectoryEntry> directories;
  std::vector<memofs::DirectoryEntry> files;
  if (view_ != View::kDirectory) return {};
  for (int r = 1; r < state_.EntryCount(); ++r) {
    const memofs::DirectoryEntry& entry = state_.DirectoryTable[r];
    (entry.EntryType == memofs::kTypeDirectory ? directories : files).push_back(entry);
  }
  const auto key = [](const memofs::DirectoryEntry& e) { return memofs::UpperCase(e.EntryName); };
  memofs::ExchangeSortOrder(directories, key);
  memofs::ExchangeSortOrder(files, key);
  directories.insert(directories.end(), files.begin(), files.end());
  return directories;
}

std::optional<memofs::DirectoryEntry> Session::Find(const std::string& name) const {
  if (view_ != View::kDirectory) return std::nullopt;
  // A directory wins over a file of the same name in a damaged index.
  std::optional<memofs::DirectoryEntry> found;
  for (int r = 1; r < state_.EntryCount(); ++r) {
    const memofs::DirectoryEntry& entry = state_.DirectoryTable[r];
    if (entry.EntryName != name) continue;
    if (!found || entry.EntryType == memofs::kTypeDirectory) found = entry;
  }
  return found;
}

// ---- making a directory ----

Result Session::MakeDirectory(const std::string& name) {
  return Run([&] {
    const Item item = Here(name, "");
    if (!memofs::StorableName(name, true)) {
      End(item, {Outcome::kFailed, kNotStorable});
      return;
    }
    // The reserved name is memofs's to refuse, whatever the root holds.
    const bool reserved = name == memofs::kReservedName && state_.CurrentDepth == 0;
    if (const auto existing = reserved ? std::nullopt : Find(name)) {
      End(item, existing->EntryType == memofs::kTypeDirectory
                    ? Result{Outcome::kSkipped, "exists already"}
                    : Result{Outcome::kFailed, "a file of that name exists"});
      return;
    }
    if (RefusedAsDamaged(item)) return;
    Report(core::Step::kMakeDirectory, item);
    memofs::MemoFs fs = Fs();
    memofs::MakeOrganizerDirectory(fs, name);
    if (link_failed_) LinkFailedAt(item);
    End(item, refused_ ? Result{Outcome::kFailed, RefusalReason()} : Result{});
  });
}

}  // namespace tavo::core
