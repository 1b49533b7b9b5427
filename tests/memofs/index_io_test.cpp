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
  bool CancelRequested() const override { return state.StopRequested == 1; }

  static std::string PutOf(const std::string& name, const std::string& text) {
    const std::string image = BuildMemoImage(name, text);
    return "put " + name + "\n" + std::to_string(image.size()) + "\n" + image;
  }
};

// Any whole reply but "found" is taken for a missing index only when no memo
// of that name is listed: by the caller's "dir", or by one of ReadIndex's own.
TEST_F(IndexIoTest, MissingIndexIsCreatedEmptyOnlyWhenNotListedAndNotStopped) {
  struct Case {
    Listed listed;
    int stop;
    const char* replies;
    bool read;
    std::string written;
  };
  const std::string create = PutOf("fs0", "");
  const Case cases[] = {
      {Listed::kNo, 0, "not here\nok\nok\nok\n", true, "get fs0\n" + create},
      {Listed::kUnknown, 0, "busy\n1\nfs\nok\nok\nok\nok\n", true, "get fs0\ndir\n" + create},
      {Listed::kYes, 0, "busy\n", false, "get fs0\n"},
      {Listed::kUnknown, 0, "busy\n2\nfs\nfs0\nok\n", false, "get fs0\ndir\n"},
      {Listed::kUnknown, 0, "busy\n2\nfs\n", false, "get fs0\ndir\n"},  // listing cut off
      {Listed::kNo, 1, "not here\n", true, "get fs0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.replies);
    port.written.clear();
    unsynchronized = 0;
    state.StopRequested = c.stop;
    port.Arrive(c.replies);
    EXPECT_EQ(ReadIndex(fs, c.listed), c.read);
    EXPECT_EQ(port.written, c.written);
    EXPECT_EQ(unsynchronized, c.read ? 0 : 1);
    EXPECT_EQ(state.EntryCount(), 1);
    link.FlushInput();
  }
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
  // A refusal is not the user's Cancel.
  EXPECT_EQ(state.StopRequested, 0);
  EXPECT_EQ(unsynchronized, 1);
}

}  // namespace
}  // namespace tavo::memofs
