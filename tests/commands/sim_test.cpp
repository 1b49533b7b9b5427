#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commands/sim_rig.h"
#include "memofs/checker.h"

namespace tavo::commands {
namespace {

using testing::AllBytes;
using testing::SimRig;

TEST(CommandsOnSimulator, EverySizeRoundTripsInBothViews) {
  for (std::size_t size : {0, 1, 1955, 1956, 1957, 3912, 25000}) {
    SCOPED_TRACE(size);
    SimRig rig;
    const std::string bytes = AllBytes(size);
    rig.files.files["c:\\f.bin"] = bytes;
    rig.client.Synchronize_Click();
    ASSERT_TRUE(rig.client.Synchronized());
    rig.ToOrganizer({"f.bin"});
    EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.Texts()).Clean());
    rig.files.files.clear();
    rig.ToComputer({"f.bin"});
    EXPECT_EQ(rig.files.files["c:\\f.bin"], bytes);

    // As plain memos: one per piece of 1956 bytes, none for an empty file.
    rig.view.Select(rig.view.organizer, {"<Sharp Memos>"});
    rig.client.ListView1_DblClick();
    ASSERT_EQ(rig.state.MemoViewActive, 1);
    rig.ToOrganizer({"f.bin"});
    std::vector<std::string> pieces;
    for (int row = 1; row < rig.view.OrganizerRowCount(); ++row) {
      pieces.push_back(rig.view.OrganizerRowText(row));
    }
    EXPECT_EQ(pieces.size(), (size + 1955) / 1956);
    rig.files.files.clear();
    rig.ToComputer(pieces);
    std::string joined;
    for (const std::string& piece : pieces) joined += rig.files.files["c:\\" + piece];
    EXPECT_EQ(joined, bytes);
    rig.ExpectSettled();
  }
}

}  // namespace
}  // namespace tavo::commands
