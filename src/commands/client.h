#pragma once

#include <string>

#include "commands/client_state.h"
#include "commands/client_view.h"
#include "commands/computer_files.h"
#include "link/serial_link.h"
#include "memofs/index_io.h"

namespace tavo::commands {

// Ends a whole command after SetUnsynchronized, from any depth of a walk.
// Caught only by the command handlers below; never leaves them.
class CommandEnded {};

// Forwards the link's needs to the view.
class ViewLinkHost : public link::LinkHost {
 public:
  explicit ViewLinkHost(ClientView& view) : view_(view) {}
  void PumpEvents() override { view_.PumpEvents(); }
  void ShowLinkError(const std::string& text) override { view_.ShowMessage(text); }

 private:
  ClientView& view_;
};

// The user's commands, run on the one UI thread against the view interface.
// No handler lets an exception out.
class Client : public memofs::MemoFsHost {
 public:
  Client(ClientState& state, ClientView& view, link::SerialLink& link, ComputerFiles& files)
      : state_(state), view_(view), link_(link), files_(files) {}

  // Organizer pane and link state.
  void Synchronize_Click();
  void ListView1_DblClick();
  void FillOrganizerPane() override;
  void SetUnsynchronized() override;
  void SetSynchronized();

  // Transfers and maintenance.
  void Copy1_Click();
  void Copy2_Click();
  void Delete_Click();
  void CreateDir_Click();

  // Computer pane.
  void ListComputerDirectory();
  void Drive1_Change();
  void ListView2_DblClick();

  // The status window's "Cancel" (and its close box).
  void RequestStop() { state_.StopRequested = 1; }
  // True while a command that talks to the organizer runs.
  bool Busy() const { return busy_; }

  void ShowError(const std::string& text) override { view_.ShowMessage(text); }

  ClientState& state() { return state_; }

 private:
  // Shows a status text; loading the window clears StopRequested.
  void ShowStatus(const std::string& text);
  // Enables the main window and unloads the status window.
  void EndStatus();
  memofs::MemoFs Fs() { return memofs::MemoFs{link_, state_, *this}; }

  ClientState& state_;
  ClientView& view_;
  link::SerialLink& link_;
  ComputerFiles& files_;
  bool busy_ = false;
};

}  // namespace tavo::commands
