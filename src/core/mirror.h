#pragma once

// The whole organizer at once: a backup that reads every memo once, a
// restore that writes each directory's index once per batch of files, and the
// file system check over the live link. Standard library only: hashes and
// the backup's files are the front end's (BackupSink, RestorePlan).

#include <cstdint>
#include <string>
#include <vector>

#include "core/computer_files.h"
#include "core/feedback.h"
#include "link/serial_link.h"
#include "memofs/checker.h"

namespace tavo::core {

// Where an entry lies on the organizer.
struct Origin {
  std::string index;  // the index memo that lists it; a plain memo: its own name
  int entry = 0;      // its number in that index
  int parts = 0;      // part memos of a file (an empty last part counted)
};

// What a backup hands on, directories before what they hold, entries of a
// directory directories first, each kind in byte order of the names. A false
// return ends the backup kFailed: the computer cannot take more.
class BackupSink {
 public:
  virtual ~BackupSink() = default;
  virtual bool Directory(const std::vector<std::string>& path, const Origin& origin) = 0;
  virtual bool BeginFile(const std::vector<std::string>& path, std::int64_t size,
                         const Origin& origin) = 0;
  virtual bool FileData(const std::string& bytes) = 0;
  virtual bool EndFile() = 0;
  virtual bool Memo(const std::string& name, const std::string& text) = 0;
};

// How far a backup got: all of it; to its end with items left out (each
// reported as it failed); or cut short by a Cancel, the line, or a computer
// that took no more.
enum class BackupEnd { kComplete, kItemsLeftOut, kCut };
struct BackupOutcome {
  Result result;
  BackupEnd end = BackupEnd::kComplete;
};

// Reads everything: one "dir", each index once ("get"), each non-empty part
// once ("getx" of exactly its length), each memo the file system does not
// make once. A root index the listing leaves out is asked for ("get"): when
// it is there after all, the tree is read and the listing, which may have
// left out more, counts as a failed item. A directory whose index is missing,
// or a file with a part missing or damaged numbers, ends as kFailed and is
// left out; the rest goes on.
BackupOutcome Backup(link::SerialLink& link, BackupSink& sink, Feedback& feedback,
                     CancelToken& cancel);

// What a restore stores. Entry numbers are the backup's, kept where free.
struct RestoreFile {
  std::string name;    // exact bytes
  std::string source;  // program path of the computer file
  std::int64_t size = 0;
  int entry = 0;
};
struct RestoreDirectory {
  std::string name;
  int entry = 0;
  std::vector<RestoreFile> files;
  std::vector<RestoreDirectory> directories;
};
struct RestoreMemo {
  std::string name;
  std::string source;
};
struct RestorePlan {
  RestoreDirectory root;  // its name and number are not used
  std::vector<RestoreMemo> memos;
};

// Index bytes are held to about this share of what a restore sends: a
// directory's index is written once what was stored since its last write is
// this many times the index's size, and at the end of the directory.
inline constexpr int kIndexShare = 64;

// Stores the plan: a file is named by its index only once all its parts are
// stored; a file it replaces (as the feedback allows) loses its parts only
// after the index names the new one. On a Cancel the file in flight is taken
// back and the complete ones are indexed; so is it when the organizer refuses
// a part as full, which ends the restore kLinkFailed. A failed link leaves the
// unindexed parts as orphans, for CheckOrganizer and RemoveOrphans.
Result Restore(link::SerialLink& link, ComputerFiles& files, const RestorePlan& plan,
               Feedback& feedback, CancelToken& cancel);

// The file system check over the live link: one "dir", each index once, and
// with `deep` each part's text ("get") for its length.
struct CheckOutcome {
  Result result;  // kLinkFailed or kCancelled: the report is partial
  memofs::CheckReport report;
};
CheckOutcome CheckOrganizer(link::SerialLink& link, bool deep, CancelToken& cancel);
// Deletes the report's orphans, which never include plain memos (all are
// "fs0..." names). With any problem in the report nothing is deleted: kFailed,
// kOrphansKept, and nothing sent.
Result RemoveOrphans(link::SerialLink& link, const memofs::CheckReport& report, Feedback& feedback,
                     CancelToken& cancel);
inline constexpr const char* kOrphansKept =
    "nothing removed: an index has a problem or is missing, and memos behind it may not be "
    "orphans (mend the problems first)";

}  // namespace tavo::core
