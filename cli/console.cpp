#include "cli/console.h"

#include <iostream>

#include "cli/computer_paths.h"
#include "core/organizer_path.h"
#include "platform/console.h"

namespace tavo::cli {

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string Bytes(double bytes) {
  const char* units[] = {"B", "kB", "MB"};
  int unit = 0;
  while (bytes >= 1000 && unit < 2) {
    bytes /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
  return text;
}

const char* Verb(core::Step step) {
  switch (step) {
    case core::Step::kEnterDirectory:
      return "reading";
    case core::Step::kMakeDirectory:
      return "making";
    case core::Step::kCopyFile:
    case core::Step::kCopyMemo:
      return "copying";
    case core::Step::kDeleteFile:
    case core::Step::kDeleteDirectory:
    case core::Step::kDeleteMemo:
      return "deleting";
  }
  return "";
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte < 32 || byte == 127 ? '?' : c;
  }
  return out;
}

Console::Console(Clobber clobber, bool quiet)
    : clobber_(clobber),
      progress_(!quiet && platform::IsTerminal(platform::StdStream::kErr)),
      ask_(platform::IsTerminal(platform::StdStream::kIn)) {}

std::string Console::Shown(const core::Item& item) const {
  if (item.memo) return item.organizer.empty() ? "" : core::EscapeName(item.organizer.front());
  return core::FormatOrganizerPath(item.organizer);
}

std::string Console::ShownTarget(const core::Item& item) const {
  if (!computer_targets_ || item.computer.empty()) return Shown(item);
  return ComputerSide::Native(item.computer);
}

void Console::ClearProgress() {
  if (!line_shown_) return;
  std::cerr << "\r\x1b[K" << std::flush;
  line_shown_ = false;
}

void Console::Report(const core::Progress& progress) {
  if (!progress_) return;
  const std::string shown = Shown(progress.item);
  const auto now = std::chrono::steady_clock::now();
  if (shown != current_) {
    current_ = shown;
    item_started_ = now;
  } else if (now - last_drawn_ < kRedrawEvery) {
    return;
  }
  last_drawn_ = now;
  std::string line = std::string(Verb(progress.step)) + " " + shown;
  if (progress.total > 0) {
    line += "  " + Bytes(static_cast<double>(progress.done)) + " of " +
            Bytes(static_cast<double>(progress.total));
    const double seconds = std::chrono::duration<double>(now - item_started_).count();
    if (seconds > 0.5 && progress.done > 0) {
      const double rate = static_cast<double>(progress.done) / seconds;
      const auto left =
          static_cast<long>(static_cast<double>(progress.total - progress.done) / rate);
      line += "  " + Bytes(rate) + "/s  " + std::to_string(left / 60) + ":" +
              (left % 60 < 10 ? "0" : "") + std::to_string(left % 60) + " left";
    }
  }
  std::cerr << "\r\x1b[K" << Printable(line) << std::flush;
  line_shown_ = true;
}

core::Answer Console::AskOverwrite(const core::Item& item) {
  switch (clobber_) {
    case Clobber::kForce:
      return core::Answer::kReplace;
    case Clobber::kNoClobber:
      return core::Answer::kSkip;
    case Clobber::kAsk:
      break;
  }
  if (!ask_) return core::Answer::kFail;
  ClearProgress();
  std::cerr << "tavo-cli: replace " << Printable(ShownTarget(item)) << "? [y/N] " << std::flush;
  std::string answer;
  std::getline(std::cin, answer);
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y') ? core::Answer::kReplace
                                                                   : core::Answer::kSkip;
}

void Console::Ended(const core::Item& item, const core::Result& result) {
  Count(result);
  if (result.outcome == core::Outcome::kDone || result.outcome == core::Outcome::kCancelled) {
    return;
  }
  std::string reason = result.reason;
  bool target = true;
  if (result.outcome == core::Outcome::kFailed && reason == "exists") {
    reason = "exists (--force replaces it, --no-clobber leaves it)";
  } else if (result.outcome == core::Outcome::kSkipped && reason == "exists; left as it is") {
    reason = "exists; left as it is (--no-clobber)";
  } else {
    target = false;
  }
  Error(target ? ShownTarget(item) : Shown(item), reason);
}

void Console::Count(const core::Result& result) {
  if (result.outcome == core::Outcome::kDone) {
    ++done_;
  } else {
    ++not_done_;
  }
  if (static_cast<int>(result.outcome) > static_cast<int>(worst_)) worst_ = result.outcome;
}

void Console::Error(const std::string& what, const std::string& reason) {
  ClearProgress();
  std::cerr << "tavo-cli: " << Printable(what) << (what.empty() ? "" : ": ") << Printable(reason)
            << "\n";
}

void Console::SayCancelled() {
  ClearProgress();
  std::cerr << "tavo-cli: cancelled; " << done_ << (done_ == 1 ? " item" : " items")
            << " done before it; the organizer's indexes name only what is there\n";
}

int Console::ExitStatus() const {
  if (worst_ == core::Outcome::kLinkFailed) return kUnreachable;
  if (usage_) return kUsage;
  return worst_ == core::Outcome::kDone ? kAllDone : kSomeNotDone;
}

}  // namespace tavo::cli
