#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/fake_files.h"
#include "commands/fake_view.h"
#include "memofs/checker.h"
#include "memofs/index_text.h"
#include "organizer-sim/organizer.h"

namespace tavo::commands {
namespace {

std::string AllBytes(std::size_t n) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 41 + i / 256) & 0xff);
  return bytes;
}

// The commands against the shared simulated organizer, in process.
struct SimRig {
  sim::Organizer organizer;
  sim::ManualClock clock;
  sim::SimPort port{organizer, clock};
  testing::FakeView view;
  testing::FakeFiles files;
  ClientState state;
  ViewLinkHost host{view};
  link::SerialLink link{port, clock, host};
  Client client{state, view, link, files};

  SimRig() { settings::SetDefaultConfig(state.ConfigValues, settings::SettingsGroup::kAll); }
  void Copy(testing::FakeView::Pane& pane, const std::vector<std::string>& rows, bool to_pc) {
    client.ListComputerDirectory();
    ASSERT_TRUE(view.Select(pane, rows));
    to_pc ? client.Copy1_Click() : client.Copy2_Click();
  }
  // The stored texts, as the file system checker reads them.
  std::map<std::string, std::string> Texts() const {
    std::map<std::string, std::string> texts;
    for (const auto& [name, image] : organizer.Memos()) texts[name] = *organizer.Text(name);
    return texts;
  }
  void ExpectSettled() {
    EXPECT_FALSE(client.Busy());
    EXPECT_FALSE(view.status_loaded);
    EXPECT_TRUE(view.main_enabled);
    EXPECT_EQ(files.open_outputs, 0);
    EXPECT_EQ(view.bad_rows, 0);
  }
};

TEST(CommandsOnSimulator, EverySizeRoundTripsInBothViews) {
  for (std::size_t size : {0, 1, 1955, 1956, 1957, 3912, 25000}) {
    SCOPED_TRACE(size);
    SimRig rig;
    const std::string bytes = AllBytes(size);
    rig.files.files["c:\\f.bin"] = bytes;
    rig.client.Synchronize_Click();
    ASSERT_TRUE(rig.client.Synchronized());
    rig.Copy(rig.view.computer, {"f.bin"}, false);
    EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.Texts()).Clean());
    rig.files.files.clear();
    rig.Copy(rig.view.organizer, {"f.bin"}, true);
    EXPECT_EQ(rig.files.files["c:\\f.bin"], bytes);

    // As plain memos: one per piece of 1956 bytes, none for an empty file.
    rig.view.Select(rig.view.organizer, {"<Sharp Memos>"});
    rig.client.ListView1_DblClick();
    ASSERT_EQ(rig.state.MemoViewActive, 1);
    rig.Copy(rig.view.computer, {"f.bin"}, false);
    std::vector<std::string> pieces;
    for (int row = 1; row < rig.view.OrganizerRowCount(); ++row) {
      pieces.push_back(rig.view.OrganizerRowText(row));
    }
    EXPECT_EQ(pieces.size(), (size + 1955) / 1956);
    rig.files.files.clear();
    rig.Copy(rig.view.organizer, pieces, true);
    std::string joined;
    for (const std::string& piece : pieces) joined += rig.files.files["c:\\" + piece];
    EXPECT_EQ(joined, bytes);
    rig.ExpectSettled();
  }
}

// Each fault the simulator knows, at each exchange of an overwriting copy
// each way: old files stay whole and every index names only stored parts.
TEST(CommandsOnSimulator, FaultsAtEveryExchangeLoseNothing) {
  const std::string old_text = AllBytes(2100);
  for (auto kind : {sim::FaultKind::kSilence, sim::FaultKind::kGarble, sim::FaultKind::kOtherCase,
                    sim::FaultKind::kShortBlock, sim::FaultKind::kHangUp, sim::FaultKind::kFull,
                    sim::FaultKind::kDropReply}) {
    for (int at = 1; at <= 12; ++at) {
      for (bool to_pc : {false, true}) {
        SCOPED_TRACE(::testing::Message()
                     << static_cast<int>(kind) << " at " << at << (to_pc ? " to pc" : " to org"));
        SimRig rig;
        rig.organizer.PutText("fs0",
                              memofs::BuildIndexText({{}, {"a", memofs::kTypeFile, 1, 144, 0}}));
        rig.organizer.PutText("fs0_0_0", old_text.substr(0, 1956));
        rig.organizer.PutText("fs0_0_1", old_text.substr(1956));
        rig.files.files["c:\\a"] = "new";
        rig.client.Synchronize_Click();
        ASSERT_TRUE(rig.client.Synchronized());
        rig.organizer.InjectFault({kind, rig.organizer.Exchanges() + at});
        rig.Copy(to_pc ? rig.view.organizer : rig.view.computer, {"a"}, to_pc);
        rig.ExpectSettled();
        EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.Texts()).Clean());
        const std::string pc = rig.files.files["c:\\a"];
        EXPECT_TRUE(pc == "new" || pc == old_text) << pc.size();
      }
    }
  }
}

}  // namespace
}  // namespace tavo::commands
