#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavo::core {

// How one item (a file, a directory, a memo) or a whole operation ended.
// Ordered by weight: an operation ends as its heaviest item.
enum class Outcome {
  kDone,
  kSkipped,     // left alone by the caller's policy (an answer, an empty source)
  kFailed,      // refused or impossible for this item; the others can go on
  kCancelled,   // the cancel token was set
  kLinkFailed,  // the organizer stopped answering or refused a write: the link is closed
};

// Reasons a front end tells apart from the rest.
inline constexpr const char* kTooDeepReason =
    "directories nested too deep (index name over 20 characters)";
inline constexpr const char* kNotStorable =
    "the name cannot be stored on the organizer (line end, character 0 or 255)";
inline constexpr const char* kReservedRoot = "\"Sharp Memos\" is reserved at the root";
inline constexpr const char* kNotOnComputer = "the name cannot be used on this computer";
inline constexpr const char* kNoSuchFile = "no such file";
inline constexpr const char* kNoSuchDirectory = "no such directory";
inline constexpr const char* kOccupied = "a directory, link or special file has that name";
inline constexpr const char* kNameNotHeld = "this computer cannot hold that name";
inline constexpr const char* kCannotMake = "the directory cannot be made";
inline constexpr const char* kSameComputerFile =
    "another name of this copy was written to the same computer file (trailing blanks are "
    "dropped, and some disks ignore case)";
inline constexpr const char* kFileExists = "a file of that name exists on the organizer";
inline constexpr const char* kDirectoryExists = "a directory of that name exists on the organizer";
inline constexpr const char* kTooBig = "too big for the organizer's index";
inline constexpr const char* kPathTooLong =
    "path too long: its memo names would exceed 20 characters";
inline constexpr const char* kDirectoryFull = "the organizer directory is full";
inline constexpr const char* kFileSystemName =
    "names beginning with \"fs0\" belong to the file system";
inline constexpr const char* kReservedTitle =
    "a piece's title would begin with \"fs0\", the file system's";
// An index that gives two entries one number: nothing is stored or deleted in it.
inline constexpr const char* kDamagedIndex = "damaged index; run check";
inline constexpr const char* kMemoNotStorable =
    "the name cannot be stored on the organizer (line end or character 0)";

struct Result {
  Outcome outcome = Outcome::kDone;
  std::string reason;  // why, for a person; empty when done
  bool Done() const { return outcome == Outcome::kDone; }
};

// Set by the front end (a Cancel button, a signal handler), tested by the core
// between exchanges, as the window tests StopRequested. Lock-free, so a
// signal handler may set it.
class CancelToken {
 public:
  void Cancel() { set_.store(true); }
  void Reset() { set_.store(false); }
  bool Cancelled() const { return set_.load(); }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free);
  std::atomic<bool> set_{false};
};

// An item by its organizer path (names from the root; a plain memo: its name
// alone) and, where a computer file takes part, its program path.
struct Item {
  std::vector<std::string> organizer;
  std::string computer;
  bool memo = false;
};

// What the core is doing; reported where the window shows a status text.
enum class Step {
  kEnterDirectory,   // about to read a directory's index
  kMakeDirectory,    // about to make an organizer directory
  kCopyFile,         // a file's part moves (either way)
  kDeleteFile,       // a file's part is about to be deleted
  kDeleteDirectory,  // a directory's index memo is about to be deleted
  kCopyMemo,         // a plain memo is fetched or a piece of one stored
  kDeleteMemo,
};

struct Progress {
  Step step = Step::kCopyFile;
  Item item;
  std::int64_t done = 0;  // bytes of the item done so far
  std::int64_t total = 0;
  int part = -1;  // the part in hand, -1 before the first
  int last_part = 0;
};

// What to do about an item that exists where one is to be written.
enum class Answer { kReplace, kSkip, kFail };

// The front end's side: progress, the overwrite question and each item's end.
class Feedback {
 public:
  virtual ~Feedback() = default;
  virtual void Report(const Progress& progress) = 0;
  virtual Answer AskOverwrite(const Item& item) = 0;
  // The target is a file that this session wrote itself for another organizer
  // name (one that differs by trailing blanks, or by case on a disk that
  // ignores it). The window asks as for any file; a front end that answers
  // for the user refuses, so the two never merge into one.
  virtual bool MayReplaceOwn(const Item& /*item*/) { return true; }
  // Every file, directory and memo the core handled, as soon as its outcome is
  // known and before the next cancel test: a front end that stops at the first
  // refusal sets the token here.
  virtual void Ended(const Item& item, const Result& result) = 0;
  // The memo file system refused to write an index (a full directory, a
  // reserved name, too deep), with the window's message for it; the item's
  // end follows. Before Ended, so the window shows its message first.
  virtual void Refused(const std::string& /*message*/) {}
};

// Asks whether an existing item may be replaced: nothing when it may, else
// how the item ends (skipped or failed).
std::optional<Result> OverwriteRefused(Feedback& feedback, const Item& item);
// The heavier of two results (the first of equal weight).
Result Heavier(const Result& a, const Result& b);
// "done", "skipped", "failed", "cancelled", "link failed".
const char* OutcomeName(Outcome outcome);

}  // namespace tavo::core
