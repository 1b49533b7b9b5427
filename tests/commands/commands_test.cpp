#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "commands/sim_rig.h"
#include "memofs/checker.h"

namespace tavo::commands {
namespace {

using testing::AllBytes;
using testing::Dir;
using testing::File;
using testing::IndexOf;
using Rig = testing::SimRig;

// Files and memos of every size go there and back byte for byte.
TEST(Commands, EverySizeRoundTripsInBothViews) {
  for (std::size_t size : {0, 1, 1955, 1956, 1957, 3912, 25000}) {
    SCOPED_TRACE(size);
    Rig rig;
    const std::string bytes = AllBytes(size);
    rig.files.files["c:\\f.bin"] = bytes;
    rig.Sync();
    rig.ToOrganizer({"f.bin"});
    EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.Texts()).Clean());
    // Every part the row names exists, an empty last one included.
    const int last = static_cast<int>(size / 1956);
    EXPECT_TRUE(rig.Has(memofs::PartName("fs0_0", last, last)));
    rig.files.files.clear();
    rig.ToComputer({"f.bin"});
    EXPECT_EQ(rig.files.files["c:\\f.bin"], bytes);

    // As plain memos: one per piece of 1956 bytes, none for an empty file.
    rig.EnterMemoView();
    rig.ToOrganizer({"f.bin"});
    std::vector<std::string> pieces = rig.view.organizer.Texts();
    pieces.erase(pieces.begin());  // "<..>"
    EXPECT_EQ(pieces.size(), (size + 1955) / 1956);
    rig.files.files.clear();
    ASSERT_EQ(rig.view.organizer.Pick(pieces), pieces.size());
    rig.view.organizer.current = 0;  // the focus on "<..>" still copies the memos
    rig.client.Copy1_Click();
    std::string joined;
    for (const std::string& piece : pieces) joined += rig.files.files["c:\\" + piece];
    EXPECT_EQ(joined, bytes);
    EXPECT_TRUE(rig.Settled());
  }
}

TEST(Commands, FiveThousandBytesGoAsThreeImagesWithTheirPercentages) {
  Rig rig;
  rig.files.files["c:\\n.txt"] = AllBytes(5000);
  rig.Put({{"fs0", ""}});
  rig.Sync();
  rig.ToOrganizer({"n.txt"});
  EXPECT_EQ(rig.Sent("put "),
            (std::vector<std::string>{"put fs0_0_0", "put fs0_0_1", "put fs0_0_2", "put fs0"}));
  for (const auto& [part, length] :
       {std::pair{"fs0_0_0", 2000u}, {"fs0_0_1", 2000u}, {"fs0_0_2", 1132u}}) {
    EXPECT_EQ(rig.organizer.Memos().at(part).size(), length);
  }
  for (const char* percent : {"39", "78", "100"}) {
    EXPECT_TRUE(rig.Shown(std::string("Copying file n.txt (") + percent + "%) ..."));
  }
}

TEST(Commands, DeletingTwelvePartsSendsEachWithItsPercentage) {
  Rig rig;
  rig.organizer.PutText("fs0", IndexOf({File("big", 12, 1528, 4)}));
  for (int k = 0; k <= 12; ++k) rig.organizer.PutText(memofs::PartName("fs0_4", k, 12), "x");
  rig.Sync();
  rig.Delete({"big"});
  std::vector<std::string> expected;
  for (int k = 0; k <= 12; ++k) expected.push_back("del " + memofs::PartName("fs0_4", k, 12));
  EXPECT_EQ(rig.Sent("del "), expected);
  for (const char* percent :
       {"0", "8", "16", "25", "33", "41", "50", "58", "66", "75", "83", "91", "100"}) {
    EXPECT_TRUE(rig.Shown(std::string("Deleting file big (") + percent + "%) ..."));
  }
  EXPECT_EQ(rig.organizer.Memos().size(), 1u);
}

TEST(Commands, DirectoryDeletionOrder) {
  Rig rig;
  rig.Put({{"fs0", IndexOf({Dir("A", 0)})},
           {"fs0_0", IndexOf({Dir("B", 0), Dir("c", 1), File("f", 0, 3, 2)})},
           {"fs0_0_0", IndexOf({File("x", 0, 1, 0)})},
           {"fs0_0_0_0_0", "x"},
           {"fs0_0_1", ""},
           {"fs0_0_2_0", "fff"}});
  rig.Sync();
  rig.Delete({"<A>"});
  const std::vector<std::string> expected = {"del fs0_0_0_0_0", "del fs0_0_0", "del fs0_0_1",
                                             "del fs0_0_2_0", "del fs0_0"};
  EXPECT_EQ(rig.Sent("del "), expected);
  const std::vector<std::string> puts = rig.Sent("put fs0_0");
  EXPECT_EQ(std::count(puts.begin(), puts.end(), "put fs0_0"),
            5);  // before entering B and c, after removing each, and without f
  EXPECT_EQ(rig.organizer.Memos().size(), 1u);
  EXPECT_EQ(rig.view.organizer.rows.size(), 1u);
}

TEST(Commands, DeleteHandlesNoRowsAfterACancel) {
  Rig rig;
  rig.Put({{"fs0", IndexOf({Dir("A", 0), File("f", 0, 1, 1)})},
           {"fs0_1_0", "r"},
           {"fs0_0", IndexOf({Dir("B", 0)})},
           {"fs0_0_0", IndexOf({File("f", 0, 1, 0)})},
           {"fs0_0_0_0_0", "b"}});
  rig.Sync();
  rig.view.on_status = [&](const std::string& text) {
    if (text == "Entering directory B ...") rig.client.RequestStop();
  };
  rig.Delete({"<A>", "f"});
  EXPECT_TRUE(rig.Has("fs0_0_0_0_0"));  // B's f was never selected
  EXPECT_TRUE(rig.Has("fs0_1_0"));
  EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.Texts()).Clean());
}

TEST(Commands, CancelLeavesOldFilesOnBothSides) {
  for (const char* at :
       {"Copying file a ...", "Copying file a (39%) ...", "Copying file a (78%) ..."}) {
    SCOPED_TRACE(at);
    Rig rig;
    rig.Put({{"fs0", IndexOf({File("a", 0, 3, 0)})}, {"fs0_0_0", "old"}});
    rig.files.files["c:\\a"] = AllBytes(5000);
    rig.Sync();
    rig.view.on_status = [&](const std::string& text) {
      if (text == at) rig.client.RequestStop();
    };
    rig.ToOrganizer({"a"});
    EXPECT_EQ(rig.organizer.Memos().size(), 2u);
    EXPECT_EQ(rig.Text("fs0_0_0"), "old");
    EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.Texts()).Clean());
  }
  Rig rig;
  rig.Put({{"fs0", IndexOf({File("a", 2, 1088, 0)})}});
  rig.PutFile("fs0", 0, AllBytes(1956 * 2 + 1088));
  rig.files.files["c:\\a"] = "old";
  rig.Sync();
  rig.view.on_status = [&](const std::string& text) {
    if (text == "Copying file a (66%) ...") rig.client.RequestStop();
  };
  rig.ToComputer({"a"});
  EXPECT_EQ(rig.files.files["c:\\a"], "old");
  rig.files.files.erase("c:\\a");
  rig.ToComputer({"a"});
  EXPECT_EQ(rig.files.files.count("c:\\a"), 0u);  // no part-written file either
  EXPECT_TRUE(rig.Settled());
}

TEST(Commands, CancelInTheMemoView) {
  Rig rig;
  rig.Put({{"a", "first"}, {"b", "second"}});
  rig.files.files["c:\\notes.txt"] = AllBytes(5000);
  rig.Sync();
  rig.EnterMemoView();
  rig.view.on_status = [&](const std::string& text) {
    if (text == "Copying memo a ...") rig.client.RequestStop();
  };
  rig.ToComputer({"a", "b"});
  EXPECT_EQ(rig.files.files["c:\\a"], "first");  // the memo begun is finished
  EXPECT_EQ(rig.files.files.count("c:\\b"), 0u);
  EXPECT_TRUE(rig.Settled());

  // A stop seen right after a "put " line leaves that exchange half done.
  rig.view.on_status = [&](const std::string& text) {
    if (text == "Copying file notes.txt1 ...") rig.client.RequestStop();
  };
  rig.ToOrganizer({"notes.txt"});
  EXPECT_TRUE(rig.Has("notes.txt0"));
  EXPECT_FALSE(rig.Has("notes.txt1"));
  EXPECT_FALSE(rig.client.Synchronized());
  EXPECT_TRUE(rig.Settled());
}

TEST(Commands, QuestionsYesAndNo) {
  Rig rig;
  rig.Put({{"fs0", IndexOf({File("a", 0, 3, 0)})}, {"fs0_0_0", "org"}});
  rig.files.files["c:\\a"] = "pc!";
  rig.Sync();
  rig.view.answers = {false, false, false};
  rig.ToComputer({"a"});
  rig.ToOrganizer({"a"});
  rig.Delete({"a"});
  EXPECT_EQ(rig.files.files["c:\\a"], "pc!");
  EXPECT_EQ(rig.Text("fs0_0_0"), "org");
  EXPECT_EQ(rig.view.questions.back(), "Are you sure?");
  EXPECT_EQ(rig.view.questions.front(), "File a exists! Overwrite?");
  rig.view.answers = {true, true};
  rig.ToComputer({"a"});
  rig.ToOrganizer({"a"});
  EXPECT_EQ(rig.files.files["c:\\a"], "org");
  EXPECT_EQ(rig.organizer.Memos().size(), 2u);
  EXPECT_EQ(rig.Text("fs0_1_0"), "org");  // stored under a fresh number
}

TEST(Commands, UnreadableComputerFilesAreSkippedInAWalk) {
  Rig rig;
  rig.files.directories.insert("c:\\t\\");
  rig.files.files = {{"c:\\t\\c", "sea"}, {"c:\\t\\y", "bee"}, {"c:\\t\\z", AllBytes(5000)}};
  rig.files.unopenable.insert("c:\\t\\y");
  rig.files.read_fails_after["c:\\t\\z"] = 2500;
  rig.Sync();
  rig.ToOrganizer({"<t>"});
  EXPECT_EQ(rig.state.CurrentIndexName, "fs0");
  EXPECT_EQ(rig.Text("fs0_0"), IndexOf({File("c", 0, 3, 0)}));
  EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.Texts()).Clean());
  EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.Texts()).orphans.empty());
  EXPECT_EQ(rig.view.organizer.rows.back().text, "<t>");
}

TEST(Commands, SynchronizeAndLinkState) {
  Rig none;
  none.port.SetOpenFails(true);
  none.client.Synchronize_Click();
  EXPECT_EQ(none.view.messages, std::vector<std::string>{"Error: Can't open serial port!"});
  EXPECT_EQ(none.view.organizer.rows.at(0).text, "unsynchronized ...");
  EXPECT_FALSE(none.view.buttons[OrganizerButton::kCopy2]);

  Rig rig;
  rig.Put({{"fs0", IndexOf({Dir("b", 1), Dir("A", 0), File("f", 0, 1, 2)})},
           {"fs0_1", IndexOf({File("g", 2, 10, 0)})},
           {"plain", "p"}});
  rig.Sync();
  std::vector<std::string> texts;
  for (const PaneRow& row : rig.view.organizer.rows) texts.push_back(row.text + "|" + row.size);
  EXPECT_EQ(texts, (std::vector<std::string>{"<Sharp Memos>|", "<A>|", "<b>|", "f|< 2Kb"}));
  rig.view.organizer.Pick({"<b>"});
  rig.client.ListView1_DblClick();
  EXPECT_EQ(rig.view.organizer.rows.at(1).size, "3922");
  rig.view.organizer.Pick({"<..>"});
  rig.client.ListView1_DblClick();
  rig.EnterMemoView();
  EXPECT_EQ(rig.view.organizer.rows.size(), 2u);  // "<..>" and plain
  EXPECT_FALSE(rig.view.buttons[OrganizerButton::kCreateDir]);
  rig.view.organizer.selected[0] = true;  // the memo view's "<..>" too: still a refresh
  rig.Delete({"plain"});
  EXPECT_FALSE(rig.Has("plain"));
  EXPECT_EQ(rig.state.MemoViewActive, 1);
  EXPECT_EQ(rig.view.organizer.rows.size(), 1u);
  EXPECT_TRUE(rig.Settled());
}

TEST(Commands, ComputerPaneListsAndWalks) {
  Rig rig;
  rig.files.directories = {"c:\\", "c:\\Beta\\", "c:\\alpha\\", "c:\\alpha\\in\\", "d:\\"};
  rig.files.files = {{"c:\\_z", ""}, {"c:\\1a", "12"}, {"c:\\alpha\\x", "x"}};
  rig.client.ListComputerDirectory();
  std::vector<std::string> texts;
  for (const PaneRow& row : rig.view.computer.rows) texts.push_back(row.text + "|" + row.size);
  EXPECT_EQ(texts, (std::vector<std::string>{"<alpha>|", "<Beta>|", "1a|2", "_z|0"}));
  rig.view.computer.Pick({"<alpha>"});
  rig.client.ListView2_DblClick();
  rig.view.computer.Pick({"<in>"});
  rig.client.ListView2_DblClick();
  EXPECT_EQ(rig.state.ComputerPath, "\\alpha\\in\\");
  rig.view.computer.Pick({"<..>"});
  rig.client.ListView2_DblClick();
  EXPECT_EQ(rig.state.ComputerPath, "\\alpha\\");
  EXPECT_EQ(rig.view.computer.rows.at(0).text, "<..>");
  rig.view.drive = "d: [data]";
  rig.client.Drive1_Change();
  EXPECT_EQ(rig.state.ComputerDrive + ":" + rig.state.ComputerPath, "d:\\");
  EXPECT_TRUE(rig.view.computer.rows.empty());
}

}  // namespace
}  // namespace tavo::commands
