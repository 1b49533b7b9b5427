#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "commands/client.h"
#include "memofs/index_text.h"
#include "organizer-sim/organizer.h"

namespace tavo::testing {

using Strings = std::vector<std::string>;

// Every byte value, in an order that differs from block to block.
inline std::string AllBytes(std::size_t n) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 41 + i / 256) & 0xff);
  return bytes;
}

inline memofs::DirectoryEntry Dir(const std::string& name, int number) {
  return {name, memofs::kTypeDirectory, 0, 0, static_cast<std::int16_t>(number)};
}
inline memofs::DirectoryEntry File(const std::string& name, int last, int size, int number) {
  return {name, memofs::kTypeFile, static_cast<std::int16_t>(last), static_cast<std::int16_t>(size),
          static_cast<std::int16_t>(number)};
}
inline std::string IndexOf(std::vector<memofs::DirectoryEntry> entries) {
  entries.insert(entries.begin(), memofs::DirectoryEntry{});
  return memofs::BuildIndexText(entries);
}
// Stores `text` as the parts of the file numbered `number` in directory `index`.
inline void PutFile(sim::Organizer& organizer, const std::string& index, int number,
                    const std::string& text) {
  const int last = static_cast<int>(text.size() / memofs::kPartSize);
  for (int k = 0; k <= last; ++k) {
    organizer.PutText(
        memofs::PartName(memofs::ChildIndexName(index, number), k, last),
        text.substr(static_cast<std::size_t>(k) * memofs::kPartSize, memofs::kPartSize));
  }
}

// A window that answers questions from a script and records what it was told.
struct FakeView : commands::ClientView {
  struct Pane {
    std::vector<commands::PaneRow> rows;
    std::vector<bool> selected;
    int current = -1;
    // Selects the rows with these texts and focuses the last of them; how many there were.
    std::size_t Pick(const Strings& texts) {
      std::size_t found = 0;
      for (std::size_t row = 0; row < rows.size(); ++row) {
        if (std::find(texts.begin(), texts.end(), rows[row].text) == texts.end()) continue;
        selected[row] = true;
        current = static_cast<int>(row);
        ++found;
      }
      return found;
    }
    Strings Texts() const {
      Strings texts;
      for (const commands::PaneRow& row : rows) texts.push_back(row.text);
      return texts;
    }
  };

  std::deque<bool> answers;  // for AskQuestion; an empty script answers Yes
  std::deque<commands::NewDirectoryAnswer> new_directories;
  Strings messages;
  std::function<void(const std::string&)> on_status;
  std::function<void()> on_pump;  // runs whenever the link lets window events run
  Pane organizer, computer;
  std::string drive = "c: [system]";
  bool status_loaded = false, main_enabled = true, pane_enabled = false;
  mutable int bad_rows = 0;  // rows asked for that the pane lacks: a real list would misbehave
  std::map<commands::OrganizerButton, bool> buttons;

  bool Has(const Pane& pane, int row) const {
    const bool has = row >= 0 && row < static_cast<int>(pane.rows.size());
    bad_rows += !has;
    return has;
  }
  static void Set(Pane& pane, const std::vector<commands::PaneRow>& rows) {
    pane = {rows, std::vector<bool>(rows.size()), -1};
  }
  std::string Text(const Pane& p, int row) const { return Has(p, row) ? p.rows[row].text : ""; }
  bool Selected(const Pane& p, int row) const { return Has(p, row) && p.selected[row]; }
  void Select(Pane& p, int row, bool on) {
    if (Has(p, row)) p.selected[row] = on;
  }

  void StatusShow(const std::string& text) override {
    status_loaded = true;
    main_enabled = false;
    if (on_status) on_status(text);
  }
  bool StatusLoaded() const override { return status_loaded; }
  void StatusUnload() override { status_loaded = false; }
  void SetMainWindowEnabled(bool enabled) override { main_enabled = enabled; }
  void PumpEvents() override {
    if (on_pump) on_pump();
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskQuestion(const std::string&) override {
    const bool yes = answers.empty() || answers.front();
    if (!answers.empty()) answers.pop_front();
    return yes;
  }
  commands::NewDirectoryAnswer AskNewDirectoryName() override {
    const commands::NewDirectoryAnswer answer = new_directories.front();
    new_directories.pop_front();
    return answer;
  }
  void SetOrganizerRows(const std::vector<commands::PaneRow>& rows) override {
    Set(organizer, rows);
  }
  int OrganizerRowCount() const override { return static_cast<int>(organizer.rows.size()); }
  std::string OrganizerRowText(int row) const override { return Text(organizer, row); }
  bool OrganizerRowSelected(int row) const override { return Selected(organizer, row); }
  void SetOrganizerRowSelected(int row, bool on) override { Select(organizer, row, on); }
  int OrganizerCurrentRow() const override { return organizer.current; }
  void SetOrganizerPaneEnabled(bool enabled) override { pane_enabled = enabled; }
  void SetOrganizerButtonEnabled(commands::OrganizerButton button, bool enabled) override {
    buttons[button] = enabled;
  }
  void SetComputerRows(const std::vector<commands::PaneRow>& rows) override { Set(computer, rows); }
  int ComputerRowCount() const override { return static_cast<int>(computer.rows.size()); }
  std::string ComputerRowText(int row) const override { return Text(computer, row); }
  bool ComputerRowSelected(int row) const override { return Selected(computer, row); }
  void SetComputerRowSelected(int row, bool on) override { Select(computer, row, on); }
  int ComputerCurrentRow() const override { return computer.current; }
  std::string SelectedDriveText() const override { return drive; }
};

// Computer files in memory, keyed by program path ("c:\dir\file").
struct FakeFiles : commands::ComputerFiles {
  std::map<std::string, std::string> files;
  std::set<std::string> directories{"c:\\"};  // each ends with "\"
  std::set<std::string> unopenable;
  std::map<std::string, std::size_t> read_fails_after;  // bytes readable before an error
  int open_outputs = 0;                                 // outputs neither committed nor dropped

  std::vector<std::string> Drives() override { return {"c: [system]", "d: [data]"}; }
  int CurrentDrive() override { return 0; }
  std::optional<commands::DirectoryListing> List(const std::string& path) override {
    if (!directories.count(path)) return std::nullopt;
    commands::DirectoryListing listing{path.size() > 3, {}, {}};
    const auto below = [&](const std::string& name) {
      const std::size_t slash = name.find('\\', path.size());
      return name.size() > path.size() && name.rfind(path, 0) == 0 ? slash : 0;
    };
    for (const std::string& dir : directories) {
      if (below(dir) == dir.size() - 1) listing.directories.push_back(dir.substr(path.size()));
    }
    for (std::string& dir : listing.directories) dir.pop_back();
    for (const auto& [name, bytes] : files) {
      if (below(name) == std::string::npos) {
        listing.files.push_back(
            {name.substr(path.size()), static_cast<std::int64_t>(bytes.size())});
      }
    }
    return listing;
  }
  commands::Occupant OccupantOf(const std::string& path) override {
    if (files.count(path)) return commands::Occupant::kFile;
    if (directories.count(path + "\\")) return commands::Occupant::kNotAFile;
    return commands::Occupant::kNothing;
  }
  std::optional<std::int64_t> FileSize(const std::string& path) override {
    return files.count(path) ? std::optional<std::int64_t>(files[path].size()) : std::nullopt;
  }
  std::unique_ptr<commands::InputFile> OpenRead(const std::string& path) override {
    if (!files.count(path) || unopenable.count(path)) return nullptr;
    const auto limit = read_fails_after.find(path);
    return std::make_unique<Input>(
        files[path], limit == read_fails_after.end() ? std::string::npos : limit->second);
  }
  std::unique_ptr<commands::OutputFile> CreateReplacing(const std::string& path) override {
    return std::make_unique<Output>(*this, path);
  }
  bool MakeDirectory(const std::string& path) override { return directories.insert(path), true; }
  bool IsStorableName(const std::string& name) override {
    return name.find_first_of(":*?\"<>|") == std::string::npos;
  }

  struct Input : commands::InputFile {
    Input(std::string all, std::size_t fails_at) : bytes(std::move(all)), limit(fails_at) {}
    std::optional<std::string> Read(std::size_t max) override {
      if (at >= limit) return std::nullopt;
      const std::string piece = bytes.substr(at, std::min(max, limit - at));
      at += piece.size();
      return piece;
    }
    std::string bytes;
    std::size_t limit, at = 0;
  };
  // Reaches the files only when committed, as a file written beside its target.
  struct Output : commands::OutputFile {
    Output(FakeFiles& files, std::string target) : owner(files), path(std::move(target)) {
      ++owner.open_outputs;
    }
    ~Output() override { owner.open_outputs -= !done; }
    bool Write(const std::string& bytes) override { return written += bytes, true; }
    bool Commit() override {
      owner.files[path] = written;
      --owner.open_outputs;
      return done = true;
    }
    FakeFiles& owner;
    std::string path, written;
    bool done = false;
  };
};

// The real commands against the simulated organizer, in process, on a clock
// that moves only while the link waits.
struct SimRig {
  sim::Organizer organizer;
  sim::ManualClock clock;
  sim::SimPort port{organizer, clock};
  FakeView view;
  FakeFiles files;
  commands::ClientState state;
  commands::ViewLinkHost host{view};
  link::SerialLink link{port, clock, host};
  commands::Client client{state, view, link, files};

  // Empty: the organizer keeps its memos in memory; else in that store directory.
  explicit SimRig(std::string store = {}) : organizer(std::move(store)) {
    settings::SetDefaultConfig(state.ConfigValues, settings::SettingsGroup::kAll);
    client.ListComputerDirectory();
  }
  // A memo's text, or "" when there is none.
  std::string Text(const std::string& name) const { return organizer.Text(name).value_or(""); }
  bool Has(const std::string& name) const { return organizer.Text(name).has_value(); }
  void Put(const std::map<std::string, std::string>& texts) {
    for (const auto& [name, text] : texts) organizer.PutText(name, text);
  }
  void PutFile(const std::string& index, int number, const std::string& text) {
    testing::PutFile(organizer, index, number, text);
  }
  void Sync() {
    client.Synchronize_Click();
    ASSERT_TRUE(client.Synchronized());
  }
  void DoubleClick(const std::string& row) {
    ASSERT_EQ(view.organizer.Pick({row}), 1u);
    client.ListView1_DblClick();
  }
  void EnterMemoView() {
    DoubleClick("<Sharp Memos>");
    ASSERT_EQ(state.MemoViewActive, 1);
  }
  void ToOrganizer(const Strings& rows) {
    client.ListComputerDirectory();
    ASSERT_EQ(view.computer.Pick(rows), rows.size());
    client.Copy2_Click();
  }
  void ToComputer(const Strings& rows) {
    ASSERT_EQ(view.organizer.Pick(rows), rows.size());
    client.Copy1_Click();
  }
  void Delete(const Strings& rows) {
    ASSERT_EQ(view.organizer.Pick(rows), rows.size());
    client.Delete_Click();
  }
  // The command ran to its end: nothing left open or waiting, the window usable.
  bool Settled() const {
    return !client.Busy() && !view.status_loaded && view.main_enabled && !link.IsOpen() &&
           files.open_outputs == 0 && view.bad_rows == 0;
  }
};

}  // namespace tavo::testing
