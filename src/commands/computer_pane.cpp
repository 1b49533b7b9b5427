#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/client_internal.h"
#include "memofs/directory_table.h"

namespace tavo::commands {

namespace {

constexpr std::size_t kMaxListed = 16384;  // directories, and files, per listing

}  // namespace

void Client::ListComputerDirectory() {
  try {
    view_.SetComputerRows({});
    const std::optional<DirectoryListing> listing =
        files_.List(ComputerRoot() + state_.ComputerPath);
    if (!listing) return;

    std::vector<std::string> directories;
    for (const std::string& name : listing->directories) {
      if (name == "." || name == "..") continue;
      if (directories.size() < kMaxListed) directories.push_back(name);
    }
    std::vector<DirectoryListing::File> files;
    for (const DirectoryListing::File& file : listing->files) {
      if (files.size() < kMaxListed) files.push_back(file);
    }
    memofs::ExchangeSortOrder(directories,
                              [](const std::string& name) { return memofs::UpperCase(name); });
    memofs::ExchangeSortOrder(
        files, [](const DirectoryListing::File& file) { return memofs::UpperCase(file.name); });

    std::vector<PaneRow> rows;
    rows.reserve(directories.size() + files.size() + 1);
    if (listing->has_parent) rows.push_back({"<..>", ""});
    for (const std::string& name : directories) rows.push_back({"<" + name + ">", ""});
    for (const DirectoryListing::File& file : files) {
      rows.push_back({file.name, std::to_string(file.size)});
    }
    view_.SetComputerRows(rows);
  } catch (const std::exception&) {
    // A listing that cannot be made leaves the pane empty.
  }
}

void Client::Drive1_Change() {
  Guarded([&] {
    const std::string drive = view_.SelectedDriveText();
    if (drive.empty()) return;
    state_.ComputerDrive = drive.substr(0, 1);
    state_.ComputerPath = "\\";
    ListComputerDirectory();
  });
}

void Client::ListView2_DblClick() {
  Guarded([&] {
    int row = view_.ComputerCurrentRow();
    if (row < 0 || row >= view_.ComputerRowCount()) {
      row = -1;
      for (int r = 0; r < view_.ComputerRowCount() && row < 0; ++r) {
        if (view_.ComputerRowSelected(r)) row = r;
      }
    }
    if (row < 0) return;
    const std::string text = view_.ComputerRowText(row);
    if (text.size() < 2 || text[0] != '<') return;
    const std::string name = text.substr(1, text.size() - 2);
    std::string& path = state_.ComputerPath;
    if (name == "..") {
      const std::size_t slash =
          path.size() < 2 ? std::string::npos : path.rfind('\\', path.size() - 2);
      if (slash != std::string::npos) path.resize(slash + 1);
    } else if (name != ".") {
      path += name + "\\";
    }
    ListComputerDirectory();
  });
}

}  // namespace tavo::commands
