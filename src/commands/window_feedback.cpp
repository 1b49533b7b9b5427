#include "commands/window_feedback.h"

#include "commands/client.h"
#include "commands/client_internal.h"
#include "memofs/index_io.h"

namespace tavo::commands {

namespace {

std::string Name(const core::Item& item) {
  return item.organizer.empty() ? std::string() : Trim(item.organizer.back());
}

std::string CantUseName(const std::string& rel) {
  return "Warning: Can't copy " + rel + " since its name can't be used on this computer!";
}

std::string NotAFileWarning(const std::string& rel) {
  return "Warning: Can't copy " + rel +
         " since there is a directory, link or special file with the same name on this computer!";
}

std::string ReservedNameWarning(const std::string& rel) {
  return "Warning: Can't use reserved name " + rel +
         " in this directory! This file will not be copied!";
}

}  // namespace

std::string WindowFeedback::Relative(const core::Item& item) const {
  if (computer_base_.empty() || !StartsWith(item.computer, computer_base_)) return Name(item);
  return item.computer.substr(computer_base_.size());
}

std::string WindowFeedback::FetchWarning(const core::Item& item, const core::Result& result) const {
  // A memo is named trimmed, a tree's item by its path as built.
  const std::string rel = item.memo ? Trim(Relative(item)) : Relative(item);
  const std::string& why = result.reason;
  if (why == core::kNoSuchFile || why == core::kNoSuchDirectory || why == core::kNotOnComputer ||
      why == core::kNameNotHeld) {
    return CantUseName(rel);
  }
  if (why == core::kOccupied) return NotAFileWarning(rel);
  // A directory that could not be made is only worth a word when something stands there.
  if (why == core::kCannotMake && client_.files_.OccupantOf(item.computer) != Occupant::kNothing) {
    return NotAFileWarning(rel);
  }
  return {};
}

std::string WindowFeedback::StoreWarning(const core::Item& item, const core::Result& result) const {
  const std::string rel = Relative(item);
  const std::string& why = result.reason;
  if (why == core::kNotStorable || why == core::kMemoNotStorable) {
    return "Warning: Can't copy " + rel + " since its name can't be stored on the organizer!";
  }
  if (why == core::kFileExists) {
    return "Warning: Can't copy directory " + rel + " since there is a file with the same name!";
  }
  if (why == core::kDirectoryExists) {
    return "Warning: Can't copy file " + rel + " since there is a directory with the same name!";
  }
  if (why == core::kReservedRoot || why == core::kFileSystemName || why == core::kReservedTitle) {
    return ReservedNameWarning(rel);
  }
  if (why == core::kTooBig) return "Warning: File " + rel + " is too big! It will not be copied!";
  if (why == core::kPathTooLong) {
    return "Warning: Path to file " + rel + " is too long! It will not be copied!";
  }
  return {};
}

std::string WindowFeedback::CopyStatus(const core::Progress& progress) const {
  if (progress.item.memo) {
    return way_ == CopyWay::kToOrganizer ? "Copying file " + progress.item.organizer.back() + " ..."
                                         : "Copying memo " + Name(progress.item) + " ...";
  }
  const std::string shown = Trim(Relative(progress.item));
  if (progress.part < 0) return "Copying file " + shown + " ...";
  // Fetching names the part about to come, storing the bytes gone.
  const int percent = way_ == CopyWay::kToOrganizer
                          ? Percent(progress.done, progress.total)
                          : Percent(progress.part + 1, progress.last_part + 1);
  return "Copying file " + shown + " (" + std::to_string(percent) + "%) ...";
}

void WindowFeedback::Report(const core::Progress& progress) {
  switch (progress.step) {
    case core::Step::kEnterDirectory:
      client_.ShowStatus("Entering directory " + Trim(Relative(progress.item)) + " ...");
      return;
    case core::Step::kMakeDirectory:
      // Create Dir shows its own text for the whole command.
      if (way_ == CopyWay::kToOrganizer) {
        client_.ShowStatus("Making directory " + Trim(Relative(progress.item)) + " ...");
      }
      return;
    case core::Step::kCopyFile:
    case core::Step::kCopyMemo:
      client_.ShowStatus(CopyStatus(progress));
      return;
    case core::Step::kDeleteFile: {
      if (progress.part < 0) {
        client_.ShowStatus("");
        return;
      }
      const int percent =
          progress.last_part == 0 ? 100 : Percent(progress.part, progress.last_part);
      client_.ShowStatus("Deleting file " + Name(progress.item) + " (" + std::to_string(percent) +
                         "%) ...");
      return;
    }
    case core::Step::kDeleteDirectory:
      client_.ShowStatus("Deleting directory " + Name(progress.item) + " ...");
      return;
    case core::Step::kDeleteMemo:
      client_.ShowStatus("Deleting memo " + Name(progress.item) + " ...");
      return;
  }
}

core::Answer WindowFeedback::AskOverwrite(const core::Item& item) {
  // A memo's question names the memo (or the piece), a tree's the path.
  const std::string shown = item.memo ? Name(item) : Trim(Relative(item));
  return client_.view_.AskQuestion(OverwriteQuestion(shown)) ? core::Answer::kReplace
                                                             : core::Answer::kSkip;
}

void WindowFeedback::Ended(const core::Item& item, const core::Result& result) {
  // After a refusal its message is the last word.
  if (result.outcome == core::Outcome::kFailed && !stopped_) {
    if (result.reason == core::kTooDeepReason) {
      client_.view_.ShowMessage(memofs::kTooDeepMessage);
      Stop();
      return;
    }
    // Deleting, storing or making a directory in an index that repeats a number.
    if (result.reason == core::kDamagedIndex) {
      client_.view_.ShowMessage(kDamagedIndexMessage);
      Stop();
      return;
    }
    if (way_ == CopyWay::kToOrganizer && result.reason == core::kDirectoryFull) {
      client_.view_.ShowMessage(memofs::kFullDirectoryMessage);
      Stop();
      return;
    }
    const std::string warning = way_ == CopyWay::kToComputer    ? FetchWarning(item, result)
                                : way_ == CopyWay::kToOrganizer ? StoreWarning(item, result)
                                                                : std::string();
    if (!warning.empty()) client_.view_.ShowMessage(warning);
  } else if (result.outcome == core::Outcome::kLinkFailed && !fell_back_ && !client_.link_lost_) {
    client_.LinkLost();
  }
}

void WindowFeedback::Refused(const std::string& message) {
  client_.view_.ShowMessage(message);
  Stop();
  fell_back_ = true;
  // The window falls back as after a failure, but its table is still the
  // directory's: the link closes, the picture stays trustworthy.
  client_.SetUnsynchronized();
}

void WindowFeedback::Stop() {
  stopped_ = true;
  client_.cancel_.Cancel();
}

}  // namespace tavo::commands
