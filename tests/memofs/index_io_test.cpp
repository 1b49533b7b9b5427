#include "memofs/index_io.h"

#include <gtest/gtest.h>

#include "memofs/index_text.h"
#include "support/fake_port.h"

namespace tavo::memofs {
namespace {

// Failing exchanges (silence, refusals, cut blocks) are the fault matrix's;
// here the exact bytes and the limits of a full directory.
struct IndexIoTest : ::testing::Test, MemoFsHost {
  testing::FakeClock clock;
  testing::FakePort port{clock};
  testing::RecordingHost link_host;
  link::SerialLink link{port, clock, link_host};
  OrganizerState state;
  MemoFs fs{link, state, *this};
  std::vector<std::string> errors;
  int unsynchronized = 0;

  void SetUp() override { ASSERT_EQ(link.OpenPort(2, 2), 0); }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void SetUnsynchronized() override { ++unsynchronized; }
  void LinkLost() override { ++unsynchronized; }
  void FillOrganizerPane() override {}

  static std::string PutOf(const std::string& name, const std::string& text) {
    const std::string image = BuildMemoImage(name, text);
    return "put " + name + "\n" + std::to_string(image.size()) + "\n" + image;
  }
};

TEST_F(IndexIoTest, MissingIndexIsCreatedEmptyUnlessStopped) {
  port.Arrive("not here\nok\nok\nok\n");
  EXPECT_TRUE(ReadIndex(fs));
  EXPECT_EQ(port.written, "get fs0\n" + PutOf("fs0", ""));

  port.written.clear();
  state.StopRequested = 1;
  port.Arrive("not here\n");
  EXPECT_TRUE(ReadIndex(fs));
  EXPECT_EQ(port.written, "get fs0\n");
}

TEST_F(IndexIoTest, IndexTextOf1956IsWrittenAndOf1957RefusedWithNothingSent) {
  state.DirectoryTable.push_back({kReservedName, kTypeRoot, 0, 0, 0});
  // "F 0 0 0 " + name + " " is 9 characters plus the name.
  state.DirectoryTable.push_back({std::string(1947, 'n'), kTypeFile, 0, 0, 0});
  port.Arrive("ok\nok\nok\n");
  EXPECT_TRUE(WriteIndex(fs));
  EXPECT_EQ(port.written, PutOf("fs0", "F 0 0 0 " + std::string(1947, 'n') + " "));

  port.written.clear();
  state.DirectoryTable[1].EntryName += "n";
  EXPECT_FALSE(WriteIndex(fs));
  EXPECT_EQ(port.written, "");
  EXPECT_EQ(errors, std::vector<std::string>{kFullDirectoryMessage});
  EXPECT_EQ(state.StopRequested, 1);
  EXPECT_EQ(unsynchronized, 1);
}

// The order of a new directory's exchanges is the fault matrix's.
TEST_F(IndexIoTest, PresentNameMakesNoNewDirectory) {
  state.DirectoryTable = {{kReservedName, kTypeRoot}, {"c", kTypeDirectory, 0, 0, 3}};
  MakeOrganizerDirectory(fs, "c");
  EXPECT_EQ(port.written, "");
  EXPECT_EQ(state.EntryCount(), 2);
}

}  // namespace
}  // namespace tavo::memofs
