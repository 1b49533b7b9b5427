#pragma once

#include <string>
#include <utility>

#include "core/feedback.h"

namespace tavo::commands {

class Client;

// Shown when a command would change a directory whose index gives two entries one number.
inline constexpr const char* kDamagedIndexMessage = "Error: Damaged index; run check!";

// Which way a copy goes: its status texts and warnings differ.
enum class CopyWay { kNone, kToComputer, kToOrganizer };

// The window's side of the core: its status texts, questions and messages
// for what the core reports, and its habit of stopping a whole command at
// the first refusal.
class WindowFeedback : public core::Feedback {
 public:
  explicit WindowFeedback(Client& client) : client_(client) {}
  // For a copy: `computer_base` is the program path of the computer folder
  // its items are named from.
  WindowFeedback(Client& client, CopyWay way, std::string computer_base)
      : client_(client), way_(way), computer_base_(std::move(computer_base)) {}

  void Report(const core::Progress& progress) override;
  core::Answer AskOverwrite(const core::Item& item) override;
  void Ended(const core::Item& item, const core::Result& result) override;
  void Refused(const std::string& message) override;

  // A refusal ended the command (its message is shown): the user did not cancel.
  bool Stopped() const { return stopped_; }
  // A refusal of the memo file system closed the link: no failure of its own.
  bool FellBack() const { return fell_back_; }

 private:
  void Stop();
  // A computer path below the base, as a copy's texts name it.
  std::string Relative(const core::Item& item) const;
  std::string CopyStatus(const core::Progress& progress) const;
  // The copy's warning for an item it could not copy; empty for none.
  std::string FetchWarning(const core::Item& item, const core::Result& result) const;
  std::string StoreWarning(const core::Item& item, const core::Result& result) const;

  Client& client_;
  CopyWay way_ = CopyWay::kNone;
  std::string computer_base_;
  bool stopped_ = false;
  bool fell_back_ = false;
};

}  // namespace tavo::commands
