#pragma once

#include <string>

#include "core/feedback.h"

namespace tavo::commands {

class Client;

// The window's side of the core: its status texts, questions and messages
// for what the core reports, and its habit of stopping a whole command at
// the first refusal.
class WindowFeedback : public core::Feedback {
 public:
  explicit WindowFeedback(Client& client) : client_(client) {}

  void Report(const core::Progress& progress) override;
  core::Answer AskOverwrite(const core::Item& item) override;
  void Ended(const core::Item& item, const core::Result& result) override;
  void Refused(const std::string& message) override;

  // A refusal ended the command (its message is shown): the user did not cancel.
  bool Stopped() const { return stopped_; }

 private:
  void Stop();

  Client& client_;
  bool stopped_ = false;
};

}  // namespace tavo::commands
