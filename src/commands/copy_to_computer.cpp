#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/client_internal.h"
#include "commands/window_feedback.h"
#include "core/session.h"
#include "memofs/directory_table.h"

namespace tavo::commands {

void Client::Copy1_Click() {
  // Rows of the memo view are plain memos, whichever row has the focus.
  RunInView([&] { CopyMemosToComputer(); }, [&] { CopyTreeToComputer(); });
}

void Client::CopyMemosToComputer() {
  if (!OpenWithStatus("Copying memo ...")) return;
  const std::string folder = ComputerRoot() + state_.ComputerPath;
  WindowFeedback feedback(*this, CopyWay::kToComputer, folder);
  core::Session session(link_, files_, feedback, cancel_, state_);
  const int bound = std::min(state_.EntryCount(), view_.OrganizerRowCount());
  for (int row = 1; row < bound; ++row) {
    if (!view_.OrganizerRowSelected(row)) continue;
    const std::string text = view_.OrganizerRowText(row);
    session.FetchMemo(text, folder + text);
    if (EndedByLink(feedback)) return;
    if (cancel_.Cancelled()) break;
  }
  ListComputerDirectory();
  FillOrganizerPane();
  link_.ClosePort();
  EndStatus();
}

void Client::CopyTreeToComputer() {
  if (OpenOrganizerPort() < 0) return;
  const std::string folder = ComputerRoot() + state_.ComputerPath;
  WindowFeedback feedback(*this, CopyWay::kToComputer, folder);
  core::Session session(link_, files_, feedback, cancel_, state_);
  const std::string root_row = std::string("<") + memofs::kReservedName + ">";
  for (int row = 0; row < view_.OrganizerRowCount(); ++row) {
    if (!view_.OrganizerRowSelected(row)) continue;
    const std::string text = view_.OrganizerRowText(row);
    if (StartsWith(text, "<")) {
      if (text != "<..>" && !(text == root_row && state_.CurrentDepth == 0)) {
        const std::string trimmed = Trim(text);
        const std::string name =
            trimmed.size() >= 2 ? trimmed.substr(1, trimmed.size() - 2) : std::string();
        session.FetchDirectory(name, folder + name);
      }
    } else {
      const std::string name = Trim(text);
      session.FetchFile(name, folder + name);
    }
    // A failed exchange ends the whole command where it stands.
    if (EndedByLink(feedback)) return;
    if (cancel_.Cancelled()) break;
    view_.SetOrganizerRowSelected(row, false);
  }
  ListComputerDirectory();
  link_.ClosePort();
  EndStatus();
}

}  // namespace tavo::commands
