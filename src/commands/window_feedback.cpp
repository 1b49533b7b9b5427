#include "commands/window_feedback.h"

#include "commands/client.h"
#include "commands/client_internal.h"
#include "memofs/index_io.h"

namespace tavo::commands {

namespace {

std::string Name(const core::Item& item) {
  return item.organizer.empty() ? std::string() : Trim(item.organizer.back());
}

std::string PartStatus(const std::string& verb, const core::Progress& progress) {
  const int percent = progress.last_part == 0 ? 100 : Percent(progress.part, progress.last_part);
  return verb + " file " + Name(progress.item) + " (" + std::to_string(percent) + "%) ...";
}

std::string CantUseName(const std::string& rel) {
  return "Warning: Can't copy " + rel + " since its name can't be used on this computer!";
}

std::string NotAFileWarning(const std::string& rel) {
  return "Warning: Can't copy " + rel +
         " since there is a directory, link or special file with the same name on this computer!";
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
      why == core::kNameRefused) {
    return CantUseName(rel);
  }
  if (why == core::kOccupied) return NotAFileWarning(rel);
  // A directory that could not be made is only worth a word when something stands there.
  if (why == core::kCannotMake && client_.files_.OccupantOf(item.computer) != Occupant::kNothing) {
    return NotAFileWarning(rel);
  }
  return {};
}

void WindowFeedback::Report(const core::Progress& progress) {
  switch (progress.step) {
    case core::Step::kEnterDirectory:
      client_.ShowStatus("Entering directory " + Trim(Relative(progress.item)) + " ...");
      return;
    case core::Step::kCopyFile: {
      const std::string shown = Trim(Relative(progress.item));
      if (progress.part < 0) {
        client_.ShowStatus("Copying file " + shown + " ...");
      } else {
        const int percent = Percent(progress.part + 1, progress.last_part + 1);
        client_.ShowStatus("Copying file " + shown + " (" + std::to_string(percent) + "%) ...");
      }
      return;
    }
    case core::Step::kCopyMemo:
      client_.ShowStatus("Copying memo " + Name(progress.item) + " ...");
      return;
    case core::Step::kDeleteFile:
      client_.ShowStatus(progress.part < 0 ? std::string() : PartStatus("Deleting", progress));
      return;
    case core::Step::kDeleteDirectory:
      client_.ShowStatus("Deleting directory " + Name(progress.item) + " ...");
      return;
    case core::Step::kDeleteMemo:
      client_.ShowStatus("Deleting memo " + Name(progress.item) + " ...");
      return;
    case core::Step::kMakeDirectory:
      return;
  }
}

core::Answer WindowFeedback::AskOverwrite(const core::Item& item) {
  return client_.view_.AskQuestion(OverwriteQuestion(Name(item))) ? core::Answer::kReplace
                                                                  : core::Answer::kSkip;
}

void WindowFeedback::Ended(const core::Item& item, const core::Result& result) {
  if (!computer_base_.empty() && result.outcome == core::Outcome::kFailed) {
    const std::string warning = FetchWarning(item, result);
    if (!warning.empty()) client_.view_.ShowMessage(warning);
  }
  if (result.outcome == core::Outcome::kFailed && result.reason == core::kTooDeepReason &&
      !stopped_) {
    client_.view_.ShowMessage(memofs::kTooDeepMessage);
    Stop();
  } else if (result.outcome == core::Outcome::kLinkFailed && !stopped_ && !client_.link_lost_) {
    client_.LinkLost();
  }
}

void WindowFeedback::Refused(const std::string& message) {
  client_.view_.ShowMessage(message);
  Stop();
  // The window falls back as after a failure, but its table is still the
  // directory's: the link closes, the picture stays trustworthy.
  client_.SetUnsynchronized();
}

void WindowFeedback::Stop() {
  stopped_ = true;
  client_.cancel_.Cancel();
}

}  // namespace tavo::commands
