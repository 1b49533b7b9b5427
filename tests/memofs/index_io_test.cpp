#include "memofs/index_io.h"

#include <gtest/gtest.h>

#include "memofs/index_text.h"
#include "support/fake_port.h"

namespace tavo::memofs {
namespace {

// Falls to the unsynchronized state as the window does: closing the link.
struct FakeHost : MemoFsHost {
  explicit FakeHost(link::SerialLink& l) : link(l) {}
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void SetUnsynchronized() override {
    ++unsynchronized;
    link.ClosePort();
  }
  void LinkLost() override { SetUnsynchronized(); }
  void FillOrganizerPane() override { ++fills; }
  link::SerialLink& link;
  std::vector<std::string> errors;
  int unsynchronized = 0;
  int fills = 0;
};

struct IndexFixture : ::testing::Test {
  testing::FakeClock clock;
  testing::FakePort port{clock};
  testing::RecordingHost link_host;
  link::SerialLink link{port, clock, link_host};
  OrganizerState state;
  FakeHost host{link};
  MemoFs fs{link, state, host};

  void SetUp() override { ASSERT_EQ(link.OpenPort(2, 2), 0); }
  static std::string Reply(const std::string& text) {
    return "found\n" + std::to_string(text.size()) + "\n" + text + "ok\n";
  }
  static std::string PutOf(const std::string& name, const std::string& text) {
    const std::string image = BuildMemoImage(name, text);
    return "put " + name + "\n" + std::to_string(image.size()) + "\n" + image;
  }
};

TEST_F(IndexFixture, ReadsTheIndexBelowTheRootOrParentRow) {
  port.Arrive(
      Reply("D 0 0 0 A F 1 100 1 b\xff"
            "c "));
  EXPECT_TRUE(ReadIndex(fs));
  ASSERT_EQ(state.EntryCount(), 3);
  EXPECT_EQ(state.DirectoryTable[0].EntryName, "Sharp Memos");
  EXPECT_EQ(state.DirectoryTable[2].EntryName, "b c");
  EXPECT_EQ(port.written, "get fs0\n");

  state.CurrentIndexName = "fs0_0";
  state.CurrentDepth = 1;
  port.Arrive("Found\n0\nOK\n");
  EXPECT_TRUE(ReadIndex(fs));
  ASSERT_EQ(state.EntryCount(), 1);
  EXPECT_EQ(state.DirectoryTable[0].EntryName, "..");
  EXPECT_EQ(state.DirectoryTable[0].EntryType, kTypeParent);
  EXPECT_EQ(host.unsynchronized, 0);
}

TEST_F(IndexFixture, MissingIndexIsCreatedEmptyUnlessStopped) {
  port.Arrive("not here\nok\nok\nok\n");
  EXPECT_TRUE(ReadIndex(fs));
  EXPECT_EQ(port.written, "get fs0\n" + PutOf("fs0", ""));
  EXPECT_EQ(BuildMemoImage("fs0", "").size(), 44u);

  port.written.clear();
  state.StopRequested = 1;
  port.Arrive("not here\n");
  EXPECT_TRUE(ReadIndex(fs));
  EXPECT_EQ(port.written, "get fs0\n");
}

TEST_F(IndexFixture, WriteIndexRefusesAFullDirectoryAndSendsNothing) {
  state.DirectoryTable.push_back({kReservedName, kTypeRoot, 0, 0, 0});
  // "F 0 0 0 " + name + " " is 9 characters plus the name: 1956 exactly.
  state.DirectoryTable.push_back({std::string(1947, 'n'), kTypeFile, 0, 0, 0});
  port.Arrive("ok\nok\nok\n");
  EXPECT_TRUE(WriteIndex(fs));
  EXPECT_EQ(port.written, PutOf("fs0", "F 0 0 0 " + std::string(1947, 'n') + " "));

  port.written.clear();
  state.DirectoryTable[1].EntryName += "n";
  EXPECT_FALSE(WriteIndex(fs));
  EXPECT_EQ(port.written, "");
  ASSERT_EQ(host.errors.size(), 1u);
  EXPECT_EQ(host.errors[0], kFullDirectoryMessage);
  EXPECT_EQ(state.StopRequested, 1);
  EXPECT_EQ(host.unsynchronized, 1);
}

TEST_F(IndexFixture, WriteIndexStopsAtTheFirstRefusal) {
  state.DirectoryTable.push_back({kReservedName, kTypeRoot, 0, 0, 0});
  port.Arrive("ok\nfull\n");
  EXPECT_FALSE(WriteIndex(fs));
  EXPECT_EQ(port.written, "put fs0\n44\n");
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(state.StopRequested, 0);
}

struct MakeDirectoryFixture : IndexFixture {
  void Load(std::initializer_list<DirectoryEntry> entries, int depth = 0,
            const std::string& index = "fs0") {
    state.CurrentDepth = depth;
    state.CurrentIndexName = index;
    state.DirectoryTable.assign(1, {depth == 0 ? kReservedName : "..", kTypeRoot, 0, 0, 0});
    for (const DirectoryEntry& e : entries) state.DirectoryTable.push_back(e);
  }
};

TEST_F(MakeDirectoryFixture, CreatesTheEntryAndItsIndexAndComesBack) {
  Load({{"a", kTypeFile, 0, 5, 0}, {"b", kTypeFile, 0, 5, 1}, {"c", kTypeDirectory, 0, 0, 3}});
  const std::string parent_text = "D 0 0 3 c D 0 0 2 new F 0 5 0 a F 0 5 1 b ";
  port.Arrive("ok\nok\nok\nok\nok\nok\n" + Reply(parent_text));
  MakeOrganizerDirectory(fs, "new");
  // Its own empty index first, then the parent naming it.
  EXPECT_EQ(port.written, PutOf("fs0_2", "") + PutOf("fs0", parent_text) + "get fs0\n");
  EXPECT_EQ(state.CurrentIndexName, "fs0");
  EXPECT_EQ(state.CurrentDepth, 0);
  EXPECT_EQ(state.EntryCount(), 5);
  EXPECT_EQ(host.fills, 1);
}

TEST_F(MakeDirectoryFixture, RefusalsChangeNothing) {
  Load({{"Letters", kTypeDirectory, 0, 0, 0}});
  MakeOrganizerDirectory(fs, "Letters");  // present: nothing at all
  EXPECT_EQ(port.written, "");
  EXPECT_TRUE(host.errors.empty());

  MakeOrganizerDirectory(fs, "Sharp Memos");
  EXPECT_EQ(host.errors.back(), "Error: Can't create directory with reserved name (Sharp Memos)!");
  EXPECT_EQ(state.StopRequested, 1);
  EXPECT_EQ(port.written, "");

  SetUp();
  state.StopRequested = 0;
  Load({{"x", kTypeFile, 0, 1, 0}}, 8, "fs0_3_7_1_2_4_5_6_");  // 18 characters
  MakeOrganizerDirectory(fs, "y");  // would be fs0_3_7_1_2_4_5_6__1: 20, allowed
  EXPECT_NE(port.written, "");
  SetUp();
  port.written.clear();
  Load({}, 8, "fs0_3_7_1_2_4_5_6_1");  // 19 characters: any child is too long
  MakeOrganizerDirectory(fs, "y");
  EXPECT_EQ(host.errors.back(), kTooDeepMessage);
  EXPECT_EQ(state.EntryCount(), 1);
  EXPECT_EQ(port.written, "");
}

}  // namespace
}  // namespace tavo::memofs
