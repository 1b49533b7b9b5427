#pragma once

#include <string>
#include <utility>

#include "core/feedback.h"

namespace tavo::commands {

class Client;

// The window's side of the core: its status texts, questions and messages
// for what the core reports, and its habit of stopping a whole command at
// the first refusal.
class WindowFeedback : public core::Feedback {
 public:
  explicit WindowFeedback(Client& client) : client_(client) {}
  // For a copy to the computer: the program path its targets are named from.
  WindowFeedback(Client& client, std::string computer_base)
      : client_(client), computer_base_(std::move(computer_base)) {}

  void Report(const core::Progress& progress) override;
  core::Answer AskOverwrite(const core::Item& item) override;
  void Ended(const core::Item& item, const core::Result& result) override;
  void Refused(const std::string& message) override;

  // A refusal ended the command (its message is shown): the user did not cancel.
  bool Stopped() const { return stopped_; }

 private:
  void Stop();
  // A target's path below the computer base, as the copy's texts name it.
  std::string Relative(const core::Item& item) const;
  // The copy's warning for an item it could not fetch; empty for none.
  std::string FetchWarning(const core::Item& item, const core::Result& result) const;

  Client& client_;
  std::string computer_base_;
  bool stopped_ = false;
};

}  // namespace tavo::commands
