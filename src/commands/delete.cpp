#include <algorithm>
#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/client_internal.h"
#include "commands/window_feedback.h"
#include "core/session.h"
#include "link/exchanges.h"
#include "memofs/directory_table.h"

namespace tavo::commands {

void Client::Delete_Click() {
  RunInView([&] { DeleteMemos(); }, [&] { DeleteInDirectory(); });
}

void Client::DeleteMemos() {
  if (!view_.AskQuestion("Are you sure?")) return;
  if (!OpenWithStatus("Deleting memo ...")) return;
  WindowFeedback feedback(*this);
  core::Session session(link_, files_, feedback, cancel_, state_);
  const int bound = std::min(state_.EntryCount(), view_.OrganizerRowCount());
  for (int row = 1; row < bound; ++row) {
    if (view_.OrganizerRowSelected(row)) {
      session.DeleteMemo(view_.OrganizerRowText(row));
      if (EndedByLink(feedback)) return;
    }
    if (cancel_.Cancelled()) {
      ClearStop();
      break;
    }
  }
  link_.ClosePort();
  state_.ReloadMemoView = true;
  ListView1_DblClick();
  if (synchronized_ && state_.MemoViewActive == 1) FillOrganizerPane();
  EndStatus();
}

void Client::DeleteInDirectory() {
  if (!view_.AskQuestion("Are you sure?")) return;
  view_.PumpEvents();
  if (OpenOrganizerPort() < 0) {
    SetUnsynchronized();
    return;
  }
  WindowFeedback feedback(*this);
  core::Session session(link_, files_, feedback, cancel_, state_);
  const int rows = view_.OrganizerRowCount();
  for (int row = 1; row < rows; ++row) {
    if (!view_.OrganizerRowSelected(row)) continue;
    const std::string text = view_.OrganizerRowText(row);
    core::Result result;
    if (StartsWith(text, "<")) {
      const std::string trimmed = Trim(text);
      result = session.RemoveDirectory(trimmed.substr(1, trimmed.size() - 2));
    } else {
      result = session.RemoveFile(text);
    }
    EndedByLink(feedback);
    // A row the core could not find stays selected, as does one it failed on.
    if (link_.IsOpen() && (result.outcome != core::Outcome::kFailed || feedback.Stopped())) {
      view_.SetOrganizerRowSelected(row, false);
    }
    // After a Cancel the table may be another directory's, where a row of
    // the same name would be one the user never selected.
    if (cancel_.Cancelled() || !link_.IsOpen()) break;
  }
  // A table left by a failed exchange may be half read; shown as current it
  // would invite writes that wipe the real index.
  if (!link_lost_) {
    FillOrganizerPane();
    SetSynchronized();
  }
  link_.ClosePort();
  EndStatus();
}

}  // namespace tavo::commands
