#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavo::commands {

// A pane row: the text and the size column, raw bytes both. The view decodes
// them for display only and hands back exactly these bytes.
struct PaneRow {
  std::string text;
  std::string size;
};

enum class OrganizerButton { kCopy1, kCopy2, kCreateDir, kDelete };

// Outcome of the "Choosing directory name ..." dialog.
struct NewDirectoryAnswer {
  int NewDirectoryResult = 0;  // 0 closed, 1 "Ok", 2 "Cancel"
  std::string NewDirectoryName;
};

// Everything the commands need of the window. Implemented by ui::MainForm and
// by a scripted fake in tests. Row numbers count from 0.
class ClientView {
 public:
  virtual ~ClientView() = default;

  // Status window: loads it when not loaded (disabling the main window), sets
  // the text, shows it and repaints at once. Loading also clears StopRequested:
  // the view calls ClientState's stop flag through the client, see Client.
  virtual void StatusShow(const std::string& text) = 0;
  virtual bool StatusLoaded() const = 0;
  virtual void StatusUnload() = 0;
  virtual void SetMainWindowEnabled(bool enabled) = 0;
  virtual void PumpEvents() = 0;

  // Message boxes: OK only with the application's title; Yes/No with the
  // question icon and the title "Question" (true only for Yes).
  virtual void ShowMessage(const std::string& text) = 0;
  virtual bool AskQuestion(const std::string& text) = 0;
  virtual NewDirectoryAnswer AskNewDirectoryName() = 0;

  // Organizer pane (ListView1).
  virtual void SetOrganizerRows(const std::vector<PaneRow>& rows) = 0;
  virtual int OrganizerRowCount() const = 0;
  virtual std::string OrganizerRowText(int row) const = 0;
  virtual bool OrganizerRowSelected(int row) const = 0;
  virtual void SetOrganizerRowSelected(int row, bool selected) = 0;
  // The focused (current) row, -1 when none.
  virtual int OrganizerCurrentRow() const = 0;
  virtual void SetOrganizerPaneEnabled(bool enabled) = 0;
  virtual void SetOrganizerButtonEnabled(OrganizerButton button, bool enabled) = 0;

  // Computer pane (Drive1 and ListView2).
  virtual void SetComputerRows(const std::vector<PaneRow>& rows) = 0;
  virtual int ComputerRowCount() const = 0;
  virtual std::string ComputerRowText(int row) const = 0;
  virtual bool ComputerRowSelected(int row) const = 0;
  virtual void SetComputerRowSelected(int row, bool selected) = 0;
  virtual int ComputerCurrentRow() const = 0;
  virtual std::string SelectedDriveText() const = 0;
};

}  // namespace tavo::commands
