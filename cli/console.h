#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "core/feedback.h"

namespace tavo::cli {

// Exit statuses.
inline constexpr int kAllDone = 0;
inline constexpr int kSomeNotDone = 1;
inline constexpr int kUsage = 2;
inline constexpr int kUnreachable = 3;

// What to do when a target exists.
enum class Clobber { kAsk, kForce, kNoClobber };

// The terminal side of the core: progress on standard error when that is a
// terminal, one line per item that did not get done, the overwrite policy,
// and a tally that gives the exit status.
class Console : public core::Feedback {
 public:
  Console(Clobber clobber, bool quiet);

  void Report(const core::Progress& progress) override;
  core::Answer AskOverwrite(const core::Item& item) override;
  // --force replaces older files, never one this run wrote for another name.
  bool MayReplaceOwn(const core::Item&) override { return false; }
  void Ended(const core::Item& item, const core::Result& result) override;

  // One error line about `what`, outside any item (a usage slip, a walk).
  void Error(const std::string& what, const std::string& reason);
  // Counts a result that no item reported (a walk that failed).
  void Count(const core::Result& result);
  // An item that failed before any exchange: its error line, counted.
  void Failed(const std::string& what, const std::string& reason) {
    Error(what, reason);
    Count({core::Outcome::kFailed, ""});
  }
  // An argument that cannot be read: the exit status says usage.
  void UsageSlip(const std::string& what, const std::string& reason) {
    Error(what, reason);
    usage_ = true;
  }
  // After a Cancel: what was done.
  void SayCancelled();
  // Takes the progress line away before the program ends.
  void Finish() { ClearProgress(); }
  int ExitStatus() const;
  int done() const { return done_; }
  // Whether a question can be put (standard input is a terminal).
  bool CanAsk() const { return ask_; }
  // The copies go to the computer: a target that exists is named by its
  // computer path, not by the organizer item it would come from.
  void TargetsOnComputer() { computer_targets_ = true; }

 private:
  void ClearProgress();
  std::string Shown(const core::Item& item) const;
  std::string ShownTarget(const core::Item& item) const;

  Clobber clobber_;
  bool progress_;  // standard error is a terminal and --quiet was not given
  bool ask_;       // standard input is a terminal
  bool computer_targets_ = false;
  bool line_shown_ = false;
  std::string current_;  // the item the progress line is about
  std::chrono::steady_clock::time_point item_started_;
  std::chrono::steady_clock::time_point last_drawn_;
  int done_ = 0;
  int not_done_ = 0;
  bool usage_ = false;
  core::Outcome worst_ = core::Outcome::kDone;
};

// Control bytes of a text from the organizer made harmless for a terminal.
std::string Printable(const std::string& text);

}  // namespace tavo::cli
