#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/client_state.h"
#include "commands/client_view.h"
#include "commands/computer_files.h"
#include "core/feedback.h"
#include "link/serial_link.h"
#include "memofs/index_io.h"

namespace tavo::commands {

// Forwards the link's needs to the view.
class WindowFeedback;

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
  friend class WindowFeedback;

 public:
  Client(ClientState& state, ClientView& view, link::SerialLink& link, ComputerFiles& files)
      : state_(state), view_(view), link_(link), files_(files) {}

  // Organizer pane and link state.
  void Synchronize_Click();
  void ListView1_DblClick();
  void FillOrganizerPane();
  void SetUnsynchronized() override;
  void LinkLost() override;
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
  void RequestStop() {
    state_.StopRequested = 1;
    cancel_.Cancel();
  }
  // True while a command that talks to the organizer runs.
  bool Busy() const { return busy_; }

  void ShowError(const std::string& text) override { view_.ShowMessage(text); }
  bool CancelRequested() const override { return state_.StopRequested == 1; }

  ClientState& state() { return state_; }
  // False from SetUnsynchronized until SetSynchronized.
  bool Synchronized() const { return synchronized_; }

 private:
  // Handler body guard: nothing leaves a handler.
  template <typename F>
  void Guarded(F&& body);
  int OpenOrganizerPort();
  // Shows the status text, lets events run and opens the port; after a
  // failed opening the window is unsynchronized and the result is false.
  bool OpenWithStatus(const std::string& text);
  // Copy1, Copy2 and Delete: the memo view's form or the directory view's.
  template <typename MemoView, typename DirectoryView>
  void RunInView(MemoView&& memo_view, DirectoryView&& directory_view);
  bool ReadIndex(memofs::Listed listed = memofs::Listed::kUnknown);
  std::string ComputerRoot() const { return state_.ComputerDrive + ":"; }

  // Pane helpers.
  int SelectedOrganizerRow() const;
  void BuildMemoView();
  void EnterOrganizerDirectory(int row);

  // Copy to the computer.
  void CopyMemosToComputer();
  void CopyTreeToComputer();

  // Copy to the organizer.
  void CopyFilesToMemos();
  void CopyTreeToOrganizer();

  // Delete.
  void DeleteMemos();
  void DeleteInDirectory();
  // After a core call: whether the link is closed, the window then
  // unsynchronized (a refusal has already shown its message and fallen back).
  bool EndedByLink(const WindowFeedback& feedback);

  // Forgets a Cancel (and a refusal's stop) once the command has acted on it.
  void ClearStop() {
    state_.StopRequested = 0;
    cancel_.Reset();
  }
  // Shows a status text; loading the window clears StopRequested and the token.
  void ShowStatus(const std::string& text);
  // Enables the main window and unloads the status window.
  void EndStatus();
  memofs::MemoFs Fs() { return memofs::MemoFs{link_, state_, *this}; }

  ClientState& state_;
  ClientView& view_;
  link::SerialLink& link_;
  ComputerFiles& files_;
  // Stops the core's operation under way: the user's Cancel (which alone
  // sets StopRequested), or the window ending a command at a refusal.
  core::CancelToken cancel_;
  bool busy_ = false;
  bool synchronized_ = false;
  // An exchange of the running command failed: its table is not to be trusted.
  bool link_lost_ = false;
};

}  // namespace tavo::commands
