#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/fake_files.h"
#include "commands/fake_view.h"
#include "memofs/index_text.h"
#include "organizer-sim/organizer.h"

namespace tavo::testing {

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

  SimRig() {
    settings::SetDefaultConfig(state.ConfigValues, settings::SettingsGroup::kAll);
    client.ListComputerDirectory();
  }
  // A memo's text, or "" when there is none.
  std::string Text(const std::string& name) const { return organizer.Text(name).value_or(""); }
  bool Has(const std::string& name) const { return organizer.Text(name).has_value(); }
  void Put(const std::map<std::string, std::string>& texts) {
    for (const auto& [name, text] : texts) organizer.PutText(name, text);
  }
  // Stores `text` as the parts of a file numbered `number` in directory `index`.
  void PutFile(const std::string& index, int number, const std::string& text) {
    const int last = static_cast<int>(text.size() / memofs::kPartSize);
    for (int k = 0; k <= last; ++k) {
      organizer.PutText(
          memofs::PartName(memofs::ChildIndexName(index, number), k, last),
          text.substr(static_cast<std::size_t>(k) * memofs::kPartSize, memofs::kPartSize));
    }
  }
  void Sync() {
    client.Synchronize_Click();
    ASSERT_TRUE(client.Synchronized());
  }
  void DoubleClick(const std::string& row) {
    ASSERT_TRUE(view.Select(view.organizer, {row}));
    client.ListView1_DblClick();
  }
  void EnterMemoView() {
    DoubleClick("<Sharp Memos>");
    ASSERT_EQ(state.MemoViewActive, 1);
  }
  void ToOrganizer(const std::vector<std::string>& rows) {
    client.ListComputerDirectory();
    ASSERT_TRUE(view.Select(view.computer, rows));
    client.Copy2_Click();
  }
  void ToComputer(const std::vector<std::string>& rows) {
    ASSERT_TRUE(view.Select(view.organizer, rows));
    client.Copy1_Click();
  }
  void Delete(const std::vector<std::string>& rows) {
    ASSERT_TRUE(view.Select(view.organizer, rows));
    client.Delete_Click();
  }
  std::vector<std::string> OrganizerRows() const {
    std::vector<std::string> texts;
    for (const commands::PaneRow& row : view.organizer.rows) texts.push_back(row.text);
    return texts;
  }
  // Command lines the organizer received that begin with `word`.
  std::vector<std::string> Sent(const std::string& word) const {
    std::vector<std::string> lines;
    const std::string& t = organizer.Transcript();
    for (std::size_t at = 0; at < t.size();) {
      const std::size_t end = t.find('\n', at);
      if (t.compare(at, 2 + word.size(), "> " + word) == 0)
        lines.push_back(t.substr(at + 2, end - at - 2));
      at = end + 1;
    }
    return lines;
  }
  bool Shown(const std::string& status) const {
    for (const std::string& text : view.statuses) {
      if (text == status) return true;
    }
    return false;
  }
  // The command ran to its end: nothing left open or waiting, the window usable.
  void ExpectSettled() {
    EXPECT_FALSE(client.Busy());
    EXPECT_FALSE(view.status_loaded);
    EXPECT_TRUE(view.main_enabled);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(files.open_outputs, 0);
    EXPECT_EQ(view.bad_rows, 0);
  }
};

}  // namespace tavo::testing
