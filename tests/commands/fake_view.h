#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "commands/client_view.h"

namespace tavo::testing {

// A window that answers questions from a script and records what it was told.
class FakeView : public commands::ClientView {
 public:
  struct Pane {
    std::vector<commands::PaneRow> rows;
    std::vector<bool> selected;
    int current = -1;
    void Set(const std::vector<commands::PaneRow>& new_rows) {
      rows = new_rows;
      selected.assign(rows.size(), false);
      current = -1;
    }
    int Find(const std::string& text) const {
      for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].text == text) return static_cast<int>(i);
      }
      return -1;
    }
  };

  std::deque<bool> answers;  // for AskQuestion; an empty script answers Yes
  std::deque<commands::NewDirectoryAnswer> new_directories;
  std::vector<std::string> messages, questions, statuses;
  std::function<void(const std::string&)> on_status;
  Pane organizer, computer;
  std::string drive = "c: [system]";
  bool status_loaded = false, main_enabled = true, pane_enabled = false;
  // Rows asked for that the pane does not have (a real list would misbehave).
  mutable int bad_rows = 0;
  std::map<commands::OrganizerButton, bool> buttons;

  void StatusShow(const std::string& text) override {
    status_loaded = true;
    main_enabled = false;
    statuses.push_back(text);
    if (on_status) on_status(text);
  }
  bool StatusLoaded() const override { return status_loaded; }
  void StatusUnload() override { status_loaded = false; }
  void SetMainWindowEnabled(bool enabled) override { main_enabled = enabled; }
  void PumpEvents() override {}
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskQuestion(const std::string& text) override {
    questions.push_back(text);
    if (answers.empty()) return true;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  commands::NewDirectoryAnswer AskNewDirectoryName() override {
    commands::NewDirectoryAnswer answer = new_directories.front();
    new_directories.pop_front();
    return answer;
  }
  void SetOrganizerRows(const std::vector<commands::PaneRow>& rows) override {
    organizer.Set(rows);
  }
  int OrganizerRowCount() const override { return static_cast<int>(organizer.rows.size()); }
  std::string OrganizerRowText(int row) const override {
    return Valid(organizer, row) ? organizer.rows[row].text : std::string();
  }
  bool OrganizerRowSelected(int row) const override {
    return Valid(organizer, row) && organizer.selected[row];
  }
  void SetOrganizerRowSelected(int row, bool on) override {
    if (Valid(organizer, row)) organizer.selected[row] = on;
  }
  int OrganizerCurrentRow() const override { return organizer.current; }
  void SetOrganizerPaneEnabled(bool enabled) override { pane_enabled = enabled; }
  void SetOrganizerButtonEnabled(commands::OrganizerButton button, bool enabled) override {
    buttons[button] = enabled;
  }
  void SetComputerRows(const std::vector<commands::PaneRow>& rows) override { computer.Set(rows); }
  int ComputerRowCount() const override { return static_cast<int>(computer.rows.size()); }
  std::string ComputerRowText(int row) const override {
    return Valid(computer, row) ? computer.rows[row].text : std::string();
  }
  bool ComputerRowSelected(int row) const override {
    return Valid(computer, row) && computer.selected[row];
  }
  void SetComputerRowSelected(int row, bool on) override {
    if (Valid(computer, row)) computer.selected[row] = on;
  }
  int ComputerCurrentRow() const override { return computer.current; }
  std::string SelectedDriveText() const override { return drive; }

  bool Valid(const Pane& pane, int row) const {
    if (row >= 0 && row < static_cast<int>(pane.rows.size())) return true;
    ++bad_rows;
    return false;
  }

  // Selects the rows with these texts (all must exist) and focuses the last.
  bool Select(Pane& pane, const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
      const int row = pane.Find(text);
      if (row < 0) return false;
      pane.selected[row] = true;
      pane.current = row;
    }
    return true;
  }
};

}  // namespace tavo::testing
