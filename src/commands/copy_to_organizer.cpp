#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/client_internal.h"
#include "commands/window_feedback.h"
#include "core/session.h"
#include "memofs/directory_table.h"
#include "memofs/index_text.h"

namespace tavo::commands {

void Client::Copy2_Click() {
  RunInView([&] { CopyFilesToMemos(); }, [&] { CopyTreeToOrganizer(); });
}

void Client::CopyFilesToMemos() {
  if (!OpenWithStatus("Copying file ...")) return;
  const std::string folder = ComputerRoot() + state_.ComputerPath;
  WindowFeedback feedback(*this, CopyWay::kToOrganizer, folder);
  core::Session session(link_, files_, feedback, cancel_, state_);
  for (int row = 0; row < view_.ComputerRowCount(); ++row) {
    if (!view_.ComputerRowSelected(row)) continue;
    const std::string text = view_.ComputerRowText(row);
    if (StartsWith(text, "<")) continue;
    view_.SetComputerRowSelected(row, false);
    session.StoreMemo(folder + text, text);
    if (EndedByLink(feedback)) return;
    if (cancel_.Cancelled()) {
      ClearStop();
      break;
    }
  }
  state_.CurrentDepth = 0;
  state_.MemoViewActive = 0;
  link_.ClosePort();
  state_.ReloadMemoView = true;
  ListView1_DblClick();
  if (synchronized_ && state_.MemoViewActive == 1) FillOrganizerPane();
  EndStatus();
}

void Client::CopyTreeToOrganizer() {
  if (OpenOrganizerPort() < 0) return;
  const std::string folder = ComputerRoot() + state_.ComputerPath;
  WindowFeedback feedback(*this, CopyWay::kToOrganizer, folder);
  core::Session session(link_, files_, feedback, cancel_, state_);
  for (int row = 0; row < view_.ComputerRowCount(); ++row) {
    if (!view_.ComputerRowSelected(row)) continue;
    const std::string text = view_.ComputerRowText(row);
    if (StartsWith(text, "<")) {
      if (text != "<..>") {
        const std::string trimmed = Trim(text);
        const std::string name =
            trimmed.size() >= 2 ? trimmed.substr(1, trimmed.size() - 2) : std::string();
        session.StoreDirectory(folder + name, name);
      }
    } else {
      const std::string name = Trim(text);
      session.StoreFile(folder + name, name);
    }
    // A failed exchange or a refusal that fell back ends the whole command.
    if (EndedByLink(feedback)) return;
    view_.SetComputerRowSelected(row, false);
    if (cancel_.Cancelled()) break;
  }
  FillOrganizerPane();
  SetSynchronized();
  link_.ClosePort();
  EndStatus();
}

}  // namespace tavo::commands
