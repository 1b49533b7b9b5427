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

}  // namespace

void WindowFeedback::Report(const core::Progress& progress) {
  switch (progress.step) {
    case core::Step::kEnterDirectory:
      client_.ShowStatus("Entering directory " + Name(progress.item) + " ...");
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
    case core::Step::kCopyFile:
    case core::Step::kCopyMemo:
      return;
  }
}

core::Answer WindowFeedback::AskOverwrite(const core::Item& item) {
  return client_.view_.AskQuestion(OverwriteQuestion(Name(item))) ? core::Answer::kReplace
                                                                  : core::Answer::kSkip;
}

void WindowFeedback::Ended(const core::Item& /*item*/, const core::Result& result) {
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
