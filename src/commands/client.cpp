#include "commands/client.h"

#include <algorithm>
#include <vector>

#include "commands/client_internal.h"
#include "commands/window_feedback.h"
#include "core/session.h"
#include "link/exchanges.h"
#include "memofs/exchange_sort.h"

namespace tavo::commands {

namespace {

constexpr OrganizerButton kOrganizerButtons[] = {OrganizerButton::kCopy1, OrganizerButton::kCopy2,
                                                 OrganizerButton::kCreateDir,
                                                 OrganizerButton::kDelete};

}  // namespace

std::string OverwriteQuestion(const std::string& name) {
  return "File " + name + " exists! Overwrite?";
}

// ---- status window and link state ----

void Client::ShowStatus(const std::string& text) {
  if (!view_.StatusLoaded()) {
    ClearStop();
  }
  view_.StatusShow(text);
}

void Client::EndStatus() {
  view_.SetMainWindowEnabled(true);
  view_.StatusUnload();
}

void Client::SetUnsynchronized() {
  synchronized_ = false;
  // Falling back must never fail, and no failing step may keep the next from
  // running: above all the last, which gives the user the window back.
  const auto step = [](auto&& action) {
    try {
      action();
    } catch (...) {
    }
  };
  step([&] {
    view_.SetOrganizerRows({PaneRow{kUnsynchronizedRow, ""}});
    view_.SetOrganizerPaneEnabled(false);
    for (OrganizerButton button : kOrganizerButtons) view_.SetOrganizerButtonEnabled(button, false);
  });
  step([&] {
    if (link_.IsOpen()) link_.FlushInput();
  });
  step([&] { link_.ClosePort(); });
  step([&] { EndStatus(); });
}

void Client::LinkLost() {
  link_lost_ = true;
  SetUnsynchronized();
}

void Client::SetSynchronized() {
  synchronized_ = true;
  view_.SetOrganizerPaneEnabled(true);
  for (OrganizerButton button : kOrganizerButtons) view_.SetOrganizerButtonEnabled(button, true);
}

bool Client::EndedByLink(const WindowFeedback& feedback) {
  if (link_.IsOpen()) return false;
  if (!feedback.FellBack() && !link_lost_) LinkLost();
  return true;
}

int Client::OpenOrganizerPort() {
  const auto& values = state_.ConfigValues.ConfigValues;
  return link_.OpenPort(static_cast<int>(settings::WholeValue(values[settings::PortNumber])),
                        static_cast<int>(settings::WholeValue(values[settings::BaudCode])));
}

bool Client::OpenWithStatus(const std::string& text) {
  ShowStatus(text);
  view_.PumpEvents();
  if (OpenOrganizerPort() >= 0) return true;
  SetUnsynchronized();
  return false;
}

bool Client::ReadIndex(memofs::Listed listed) {
  memofs::MemoFs fs = Fs();
  return memofs::ReadIndex(fs, listed);
}

// ---- organizer pane ----

void Client::FillOrganizerPane() {
  struct Item {
    std::string name;
    std::string size;
  };
  std::vector<Item> directories;
  std::vector<Item> files;
  const auto& table = state_.DirectoryTable;
  for (int r = 1; r < state_.EntryCount(); ++r) {
    const memofs::DirectoryEntry& entry = table[r];
    if (entry.EntryType == memofs::kTypeDirectory) {
      directories.push_back({entry.EntryName, ""});
    } else {
      files.push_back({entry.EntryName, state_.CurrentDepth != 0
                                            ? std::to_string(memofs::EntrySize(entry))
                                            : std::string(kSmallSize)});
    }
  }
  const auto key = [](const Item& item) { return memofs::UpperCase(item.name); };
  memofs::ExchangeSortOrder(directories, key);
  memofs::ExchangeSortOrder(files, key);

  std::vector<PaneRow> rows;
  rows.reserve(directories.size() + files.size() + 1);
  if (!table.empty()) rows.push_back({"<" + table[0].EntryName + ">", ""});
  for (const Item& item : directories) rows.push_back({"<" + item.name + ">", ""});
  for (const Item& item : files) rows.push_back({item.name, item.size});
  view_.SetOrganizerRows(rows);
}

int Client::SelectedOrganizerRow() const {
  const int current = view_.OrganizerCurrentRow();
  if (current >= 0 && current < view_.OrganizerRowCount()) return current;
  for (int row = 0; row < view_.OrganizerRowCount(); ++row) {
    if (view_.OrganizerRowSelected(row)) return row;
  }
  return -1;
}

void Client::Synchronize_Click() {
  BusyScope busy(busy_);
  Guarded([&] {
    ShowStatus("Synchronizing (can take some time - wait, please) ...");
    view_.PumpEvents();
    state_.MemoViewActive = 0;
    state_.CurrentIndexName = memofs::kRootIndexName;
    state_.CurrentDepth = 0;
    view_.SetOrganizerRows({});
    if (OpenOrganizerPort() < 0) {
      SetUnsynchronized();
      return;
    }
    link_.FlushInput();
    // The listing tells a root never used from one the organizer would not hand over.
    bool root_listed = false;
    const link::DirResult dir =
        link::DirExchange(link_, [&](const std::string& name, bool is_name) {
          root_listed = root_listed || (is_name && name == memofs::kRootIndexName);
          return state_.StopRequested == 0;
        });
    if (!dir.ok || dir.stopped || state_.StopRequested == 1) {
      SetUnsynchronized();
      return;
    }
    // A root index that could not be read leaves the window unsynchronized:
    // showing an empty root would invite writes that wipe the real one.
    if (!ReadIndex(root_listed ? memofs::Listed::kYes : memofs::Listed::kNo)) return;
    FillOrganizerPane();
    SetSynchronized();
    link_.ClosePort();
    EndStatus();
  });
}

void Client::BuildMemoView() {
  state_.ReloadMemoView = false;
  if (!OpenWithStatus("Entering directory ...")) return;
  state_.DirectoryTable.clear();
  state_.DirectoryTable.push_back({"..", memofs::kTypeParent, 0, 0, 0});
  const link::DirResult dir = link::DirExchange(link_, [&](const std::string& name, bool is_name) {
    if (is_name && !StartsWith(name, memofs::kRootIndexName)) {
      state_.DirectoryTable.push_back({name, memofs::kTypeFile, 0, 0, 0});
    }
    // A listing can take hours on a slow line: Cancel ends it after any line.
    return state_.StopRequested == 0;
  });
  if (dir.ok && state_.StopRequested == 0) {
    FillOrganizerPane();
    state_.MemoViewActive = 1;
    view_.SetOrganizerButtonEnabled(OrganizerButton::kCreateDir, false);
    link_.ClosePort();
    EndStatus();
  } else {
    SetUnsynchronized();
  }
}

void Client::EnterOrganizerDirectory(int row) {
  const memofs::DirectoryEntry entry = state_.DirectoryTable[row];
  if (!OpenWithStatus("Entering directory ...")) return;
  if (entry.EntryType == memofs::kTypeParent) {
    state_.CurrentIndexName = memofs::ParentIndexName(state_.CurrentIndexName);
    --state_.CurrentDepth;
  } else if (entry.EntryType == memofs::kTypeDirectory) {
    const std::string child = memofs::ChildIndexName(state_.CurrentIndexName, entry.EntryNumber);
    if (child.size() > memofs::kMaxMemoName) {
      view_.ShowMessage(memofs::kTooDeepMessage);
      SetUnsynchronized();
      return;
    }
    state_.CurrentIndexName = child;
    ++state_.CurrentDepth;
  }
  if (!ReadIndex()) return;
  FillOrganizerPane();
  link_.ClosePort();
  EndStatus();
}

void Client::ListView1_DblClick() {
  BusyScope busy(busy_);
  Guarded([&] {
    // A pending reload wins over whatever row happens to be selected: the
    // memo view's own "<..>" row must not turn a refresh into a Synchronize.
    if (state_.ReloadMemoView) {
      BuildMemoView();
      return;
    }
    const int row = SelectedOrganizerRow();
    if (row < 0) return;
    const std::string text = view_.OrganizerRowText(row);
    if (row == 0 && state_.MemoViewActive == 1) {
      state_.MemoViewActive = 0;
      view_.SetOrganizerButtonEnabled(OrganizerButton::kCreateDir, true);
      Synchronize_Click();
      return;
    }
    if (text == std::string("<") + memofs::kReservedName + ">" && state_.CurrentDepth == 0) {
      BuildMemoView();
      return;
    }
    if (state_.MemoViewActive == 1) return;
    const int entry = memofs::FindEntry(state_, text);
    if (entry < 0 || state_.DirectoryTable[entry].EntryType == memofs::kTypeFile) return;
    EnterOrganizerDirectory(entry);
  });
}

// ---- create directory ----

void Client::CreateDir_Click() {
  BusyScope busy(busy_);
  Guarded([&] {
    link_lost_ = false;
    const NewDirectoryAnswer answer = view_.AskNewDirectoryName();
    ShowStatus("Creating directory ...");
    const bool storable = StorableName(answer.NewDirectoryName, true);
    if (answer.NewDirectoryResult == 1 && !storable) {
      view_.ShowMessage("Warning: Can't create directory " + answer.NewDirectoryName +
                        " since its name can't be stored on the organizer!");
    }
    if (answer.NewDirectoryResult == 1 && storable) {
      if (OpenOrganizerPort() < 0) {
        EndStatus();
        return;
      }
      WindowFeedback feedback(*this);
      core::Session session(link_, files_, feedback, cancel_, state_);
      session.MakeDirectory(answer.NewDirectoryName);
      EndedByLink(feedback);
      // After a refusal the table is still the directory's; after a failed
      // exchange it may be half read, and showing it as current would invite
      // writes that wipe the real index.
      if (!link_lost_) {
        FillOrganizerPane();
        SetSynchronized();
      }
      link_.ClosePort();
    }
    EndStatus();
  });
}

}  // namespace tavo::commands
