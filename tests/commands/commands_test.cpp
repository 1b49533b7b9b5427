#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/fake_files.h"
#include "commands/fake_organizer.h"
#include "commands/fake_view.h"
#include "memofs/checker.h"
#include "memofs/index_text.h"

namespace tavo::commands {
namespace {

using testing::FakeOrganizer;

// Every byte value, in an order that differs from block to block.
std::string AllBytes(std::size_t n) {
  std::string bytes(n, '\0');
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 37 + i / 256) & 0xff);
  return bytes;
}

std::string IndexOf(std::vector<memofs::DirectoryEntry> entries) {
  entries.insert(entries.begin(), memofs::DirectoryEntry{});
  return memofs::BuildIndexText(entries);
}
memofs::DirectoryEntry Dir(const std::string& name, int number) {
  return {name, memofs::kTypeDirectory, 0, 0, static_cast<std::int16_t>(number)};
}
memofs::DirectoryEntry File(const std::string& name, int last, int size, int number) {
  return {name, memofs::kTypeFile, static_cast<std::int16_t>(last), static_cast<std::int16_t>(size),
          static_cast<std::int16_t>(number)};
}

struct Rig {
  FakeOrganizer organizer;
  testing::FakeView view;
  testing::FakeFiles files;
  ClientState state;
  ViewLinkHost host{view};
  link::SerialLink link{organizer, organizer, host};
  Client client{state, view, link, files};

  Rig() {
    settings::SetDefaultConfig(state.ConfigValues, settings::SettingsGroup::kAll);
    client.ListComputerDirectory();
  }
  void Sync() {
    client.Synchronize_Click();
    ASSERT_TRUE(client.Synchronized());
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
  // The command ran to its end: nothing left waiting, the window usable.
  void ExpectSettled() {
    EXPECT_FALSE(client.Busy());
    EXPECT_FALSE(view.status_loaded);
    EXPECT_TRUE(view.main_enabled);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(files.open_outputs, 0);
    EXPECT_EQ(view.bad_rows, 0);
  }
  std::vector<std::string> Sent(const std::string& word) const {
    std::vector<std::string> lines;
    for (const std::string& line : organizer.commands) {
      if (line.rfind(word, 0) == 0) lines.push_back(line);
    }
    return lines;
  }
  bool Shown(const std::string& status) const {
    for (const std::string& text : view.statuses) {
      if (text == status) return true;
    }
    return false;
  }
  void EnterMemoView() {
    view.Select(view.organizer, {"<Sharp Memos>"});
    client.ListView1_DblClick();
    ASSERT_EQ(state.MemoViewActive, 1);
  }
};

TEST(Commands, FilesOfEverySizeRoundTripByteForByte) {
  for (std::size_t size : {0, 1, 1955, 1956, 1957, 3912, 25000}) {
    SCOPED_TRACE(size);
    Rig rig;
    const std::string bytes = AllBytes(size);
    rig.files.files["c:\\f.bin"] = bytes;
    rig.Sync();
    rig.ToOrganizer({"f.bin"});
    EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.memos).Clean());
    // Every part the row names exists, an empty last one included.
    const int last = static_cast<int>(size / 1956);
    EXPECT_EQ(rig.organizer.memos.count(memofs::PartName("fs0_0", last, last)), 1u);
    rig.files.files.clear();
    rig.ToComputer({"f.bin"});
    EXPECT_EQ(rig.files.files["c:\\f.bin"], bytes);
    rig.ExpectSettled();
  }
}

TEST(Commands, FileStoredWithoutItsEmptyLastPartStillCopiesBack) {
  Rig rig;
  rig.organizer.memos = {{"fs0", IndexOf({File("two", 2, 0, 0)})},
                         {"fs0_0_0", AllBytes(1956)},
                         {"fs0_0_1", AllBytes(1956)}};
  rig.Sync();
  rig.ToComputer({"two"});
  EXPECT_EQ(rig.files.files["c:\\two"], AllBytes(1956) + AllBytes(1956));
  EXPECT_TRUE(rig.client.Synchronized());
}

TEST(Commands, FiveThousandBytesGoAsThreeImagesWithTheirPercentages) {
  Rig rig;
  rig.files.files["c:\\n.txt"] = AllBytes(5000);
  rig.Sync();
  rig.ToOrganizer({"n.txt"});
  const std::vector<std::string> expected = {"put fs0_0_0", "2000", "put fs0_0_1", "2000",
                                             "put fs0_0_2", "1132", "put fs0"};
  std::vector<std::string> sent(rig.organizer.commands.end() - 8, rig.organizer.commands.end());
  sent.pop_back();  // the index's length line
  EXPECT_EQ(sent, expected);
  for (const char* percent : {"39", "78", "100"}) {
    EXPECT_TRUE(rig.Shown(std::string("Copying file n.txt (") + percent + "%) ..."));
  }
}

TEST(Commands, MemoViewCopiesPiecesAndBack) {
  Rig rig;
  rig.files.files["c:\\small.txt"] = AllBytes(1955);
  rig.files.files["c:\\notes.txt"] = AllBytes(5000);
  rig.files.files["c:\\fs0_1"] = "would clobber an index";
  rig.Sync();
  rig.EnterMemoView();
  rig.ToOrganizer({"small.txt", "notes.txt", "fs0_1"});
  EXPECT_EQ(rig.organizer.memos["small.txt"], AllBytes(1955));
  EXPECT_EQ(rig.organizer.memos["notes.txt2"], AllBytes(5000).substr(3912));
  EXPECT_EQ(rig.organizer.memos.count("fs0_1"), 0u);
  ASSERT_EQ(rig.state.MemoViewActive, 1);
  rig.files.files.clear();
  ASSERT_TRUE(rig.view.Select(rig.view.organizer, {"small.txt", "notes.txt1"}));
  rig.view.organizer.current = 0;  // the focus on "<..>" still copies the memos
  rig.client.Copy1_Click();
  EXPECT_EQ(rig.files.files["c:\\small.txt"], AllBytes(1955));
  EXPECT_EQ(rig.files.files["c:\\notes.txt1"], AllBytes(5000).substr(1956, 1956));
  rig.ExpectSettled();
}

TEST(Commands, TreeThreeLevelsDeepGoesAndComesBack) {
  Rig rig;
  rig.files.directories = {"c:\\", "c:\\t\\", "c:\\t\\u\\", "c:\\t\\u\\v\\", "c:\\back\\"};
  rig.files.files = {
      {"c:\\t\\a", AllBytes(10)}, {"c:\\t\\u\\b", AllBytes(2000)}, {"c:\\t\\u\\v\\c", AllBytes(0)}};
  rig.Sync();
  rig.ToOrganizer({"<t>"});
  EXPECT_EQ(rig.state.CurrentIndexName, "fs0");
  EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.memos).Clean());
  rig.state.ComputerPath = "\\back\\";
  rig.ToComputer({"<t>"});
  EXPECT_EQ(rig.state.CurrentIndexName, "fs0");
  EXPECT_EQ(rig.files.files["c:\\back\\t\\a"], AllBytes(10));
  EXPECT_EQ(rig.files.files["c:\\back\\t\\u\\b"], AllBytes(2000));
  EXPECT_EQ(rig.files.files.count("c:\\back\\t\\u\\v\\c"), 1u);
  rig.ExpectSettled();
}

TEST(Commands, DeletingTwelvePartsSendsEachWithItsPercentage) {
  Rig rig;
  rig.organizer.memos["fs0"] = IndexOf({File("big", 12, 1528, 4)});
  for (int k = 0; k <= 12; ++k) rig.organizer.memos[memofs::PartName("fs0_4", k, 12)] = "x";
  rig.Sync();
  rig.Delete({"big"});
  std::vector<std::string> expected;
  for (int k = 0; k <= 12; ++k) expected.push_back("del " + memofs::PartName("fs0_4", k, 12));
  EXPECT_EQ(rig.Sent("del "), expected);
  for (const char* percent :
       {"0", "8", "16", "25", "33", "41", "50", "58", "66", "75", "83", "91", "100"}) {
    EXPECT_TRUE(rig.Shown(std::string("Deleting file big (") + percent + "%) ..."));
  }
  EXPECT_EQ(rig.organizer.memos.size(), 1u);
}

TEST(Commands, DirectoryDeletionOrder) {
  Rig rig;
  rig.organizer.memos = {{"fs0", IndexOf({Dir("A", 0)})},
                         {"fs0_0", IndexOf({Dir("B", 0), Dir("c", 1), File("f", 0, 3, 2)})},
                         {"fs0_0_0", IndexOf({File("x", 0, 1, 0)})},
                         {"fs0_0_0_0_0", "x"},
                         {"fs0_0_1", ""},
                         {"fs0_0_2_0", "fff"}};
  rig.Sync();
  rig.Delete({"<A>"});
  const std::vector<std::string> expected = {"del fs0_0_0_0_0", "del fs0_0_0", "del fs0_0_1",
                                             "del fs0_0_2_0", "del fs0_0"};
  EXPECT_EQ(rig.Sent("del "), expected);
  EXPECT_EQ(std::count(rig.organizer.commands.begin(), rig.organizer.commands.end(), "put fs0_0"),
            5);  // before entering B and c, after removing each, and without f
  EXPECT_EQ(rig.organizer.memos.size(), 1u);
  EXPECT_EQ(rig.view.organizer.rows.size(), 1u);
}

TEST(Commands, DeleteHandlesNoRowsAfterACancel) {
  Rig rig;
  rig.organizer.memos = {{"fs0", IndexOf({Dir("A", 0), File("f", 0, 1, 1)})},
                         {"fs0_1_0", "r"},
                         {"fs0_0", IndexOf({Dir("B", 0)})},
                         {"fs0_0_0", IndexOf({File("f", 0, 1, 0)})},
                         {"fs0_0_0_0_0", "b"}};
  rig.Sync();
  rig.view.on_status = [&](const std::string& text) {
    if (text == "Entering directory B ...") rig.client.RequestStop();
  };
  rig.Delete({"<A>", "f"});
  EXPECT_EQ(rig.organizer.memos.count("fs0_0_0_0_0"), 1u);  // B's f was never selected
  EXPECT_EQ(rig.organizer.memos.count("fs0_1_0"), 1u);
  EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.memos).Clean());
}

TEST(Commands, DeleteTimeOutIsAFailureNotAMissingPart) {
  Rig rig;
  rig.organizer.memos = {
      {"fs0", IndexOf({File("f", 1, 5, 0)})}, {"fs0_0_0", "a"}, {"fs0_0_1", "b"}};
  rig.Sync();
  rig.organizer.fault = FakeOrganizer::Fault::kDropReply;
  rig.organizer.fault_at = rig.organizer.Exchanges() + 2;  // the first part's "del"
  rig.Delete({"f"});
  // The file was unlisted before its parts went: what is left is unnamed.
  EXPECT_EQ(rig.organizer.memos["fs0"], IndexOf({}));
  EXPECT_EQ(rig.Sent("del ").size(), 1u);
  EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.memos).Clean());
  // The table of a failed command is not shown as the organizer's.
  EXPECT_FALSE(rig.client.Synchronized());
  EXPECT_EQ(rig.view.organizer.rows[0].text, "unsynchronized ...");
  rig.ExpectSettled();
}

TEST(Commands, CancelLeavesOldFilesOnBothSides) {
  for (const char* at :
       {"Copying file a ...", "Copying file a (39%) ...", "Copying file a (78%) ..."}) {
    SCOPED_TRACE(at);
    Rig rig;
    rig.organizer.memos = {{"fs0", IndexOf({File("a", 0, 3, 0)})}, {"fs0_0_0", "old"}};
    rig.files.files["c:\\a"] = AllBytes(5000);
    rig.Sync();
    rig.view.on_status = [&](const std::string& text) {
      if (text == at) rig.client.RequestStop();
    };
    rig.ToOrganizer({"a"});
    EXPECT_EQ(rig.organizer.memos.size(), 2u);
    EXPECT_EQ(rig.organizer.memos["fs0_0_0"], "old");
    EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.memos).Clean());
  }
  Rig rig;
  rig.organizer.memos = {{"fs0", IndexOf({File("a", 2, 1088, 0)})}};
  for (int k = 0; k < 3; ++k) rig.organizer.memos["fs0_0_" + std::to_string(k)] = AllBytes(1956);
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
  rig.ExpectSettled();
}

// A fault at every exchange of a small overwriting copy, each way.
TEST(Commands, FaultsAtEveryExchangeLoseNothing) {
  for (auto fault : {FakeOrganizer::Fault::kSilence, FakeOrganizer::Fault::kGarble,
                     FakeOrganizer::Fault::kShortBlock, FakeOrganizer::Fault::kDropReply}) {
    for (int at = 1; at <= 12; ++at) {
      SCOPED_TRACE(::testing::Message() << static_cast<int>(fault) << " at " << at);
      Rig rig;
      const std::string old_text = AllBytes(2100);
      rig.organizer.memos = {{"fs0", IndexOf({File("a", 1, 144, 0)})},
                             {"fs0_0_0", old_text.substr(0, 1956)},
                             {"fs0_0_1", old_text.substr(1956)}};
      rig.files.files["c:\\a"] = "new";
      rig.Sync();
      rig.organizer.fault = fault;
      rig.organizer.fault_at = rig.organizer.Exchanges() + at;
      rig.ToOrganizer({"a"});
      rig.ExpectSettled();
      EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.memos).Clean());

      rig.files.files["c:\\a"] = "old";
      rig.organizer.Restart();
      rig.Sync();
      rig.organizer.fault = fault;
      rig.organizer.fault_at = rig.organizer.Exchanges() + at;
      rig.ToComputer({"a"});
      rig.ExpectSettled();
      const std::string got = rig.files.files["c:\\a"];
      EXPECT_TRUE(got == "old" || got == "new" || got == old_text) << got.size();
    }
  }
}

// Deleting a small tree with a fault at each exchange: the command always ends,
// in either state, never touches a row the pane no longer has, and no index
// is left naming a deleted part or index.
TEST(Commands, FaultsDuringADeleteNeverHang) {
  for (auto fault : {FakeOrganizer::Fault::kSilence, FakeOrganizer::Fault::kGarble,
                     FakeOrganizer::Fault::kDropReply}) {
    for (int at = 1; at <= 9; ++at) {
      SCOPED_TRACE(::testing::Message() << static_cast<int>(fault) << " at " << at);
      Rig rig;
      rig.organizer.memos = {{"fs0", IndexOf({Dir("A", 0), File("g", 0, 1, 1)})},
                             {"fs0_1_0", "g"},
                             {"fs0_0", IndexOf({File("f", 1, 1, 0)})},
                             {"fs0_0_0_0", std::string(1956, 'f')},
                             {"fs0_0_0_1", "f"}};
      rig.Sync();
      rig.organizer.fault = fault;
      rig.organizer.fault_at = rig.organizer.Exchanges() + at;
      rig.Delete({"<A>", "g"});
      rig.ExpectSettled();
      EXPECT_EQ(rig.organizer.memos.count("fs0"), 1u);
      EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.memos).Clean())
          << memofs::CheckMemoFileSystem(rig.organizer.memos).Summary();
    }
  }
}

TEST(Commands, CancelInTheMemoView) {
  Rig rig;
  rig.organizer.memos = {{"a", "first"}, {"b", "second"}};
  rig.files.files["c:\\notes.txt"] = AllBytes(5000);
  rig.Sync();
  rig.EnterMemoView();
  rig.view.on_status = [&](const std::string& text) {
    if (text == "Copying memo a ...") rig.client.RequestStop();
  };
  rig.ToComputer({"a", "b"});
  EXPECT_EQ(rig.files.files["c:\\a"], "first");  // the memo begun is finished
  EXPECT_EQ(rig.files.files.count("c:\\b"), 0u);
  rig.ExpectSettled();

  // A stop seen right after a "put " line leaves that exchange half done.
  rig.view.on_status = [&](const std::string& text) {
    if (text == "Copying file notes.txt1 ...") rig.client.RequestStop();
  };
  rig.ToOrganizer({"notes.txt"});
  EXPECT_EQ(rig.organizer.memos.count("notes.txt0"), 1u);
  EXPECT_EQ(rig.organizer.memos.count("notes.txt1"), 0u);
  EXPECT_FALSE(rig.client.Synchronized());
  rig.ExpectSettled();
}

TEST(Commands, QuestionsYesAndNo) {
  Rig rig;
  rig.organizer.memos = {{"fs0", IndexOf({File("a", 0, 3, 0)})}, {"fs0_0_0", "org"}};
  rig.files.files["c:\\a"] = "pc!";
  rig.Sync();
  rig.view.answers = {false, false, false};
  rig.ToComputer({"a"});
  rig.ToOrganizer({"a"});
  rig.Delete({"a"});
  EXPECT_EQ(rig.files.files["c:\\a"], "pc!");
  EXPECT_EQ(rig.organizer.memos["fs0_0_0"], "org");
  EXPECT_EQ(rig.view.questions.back(), "Are you sure?");
  EXPECT_EQ(rig.view.questions.front(), "File a exists! Overwrite?");
  rig.view.answers = {true, true};
  rig.ToComputer({"a"});
  rig.ToOrganizer({"a"});
  EXPECT_EQ(rig.files.files["c:\\a"], "org");
  EXPECT_EQ(rig.organizer.memos.size(), 2u);
  EXPECT_EQ(rig.organizer.memos["fs0_1_0"], "org");  // stored under a fresh number
}

TEST(Commands, Refusals) {
  Rig rig;
  rig.organizer.memos = {{"fs0", IndexOf({Dir("d", 200), File("x", 0, 0, 201)})},
                         {"fs0_201_0", ""}};
  // A directory whose index has room for 5 characters more.
  std::vector<memofs::DirectoryEntry> many;
  while (IndexOf(many).size() + 18 <= 1956 - 5) {
    const int n = static_cast<int>(many.size());
    many.push_back(File("f" + std::to_string(n), 0, 0, n));
    rig.organizer.memos["fs0_200_" + std::to_string(n) + "_0"] = "";
  }
  const int n = static_cast<int>(many.size());
  const std::size_t fill = 1956 - 5 - IndexOf(many).size() - 8 - std::to_string(n).size();
  many.push_back(File(std::string(fill, 'z'), 0, 0, n));
  rig.organizer.memos["fs0_200_" + std::to_string(n) + "_0"] = "";
  rig.organizer.memos["fs0_200"] = IndexOf(many);
  ASSERT_EQ(rig.organizer.memos["fs0_200"].size(), 1956u - 5);
  rig.files.directories.insert("c:\\x\\");
  rig.files.files = {{"c:\\d", "1"},
                     {"c:\\Sharp Memos", "2"},
                     {"c:\\x\\y", "3"},
                     {"c:\\bad\nname", "4"},
                     {"c:\\y\xffz", "5"}};
  rig.Sync();
  rig.ToOrganizer({"d", "Sharp Memos", "<x>", "bad\nname", "y\xffz"});
  const std::vector<std::string> warned = {
      "Warning: Can't copy directory x since there is a file with the same name!",
      "Warning: Can't copy bad\nname since its name can't be stored on the organizer!",
      "Warning: Can't copy file d since there is a directory with the same name!",
      "Warning: Can't use reserved name Sharp Memos in this directory! This file will not be "
      "copied!",
      "Warning: Can't copy y\xffz since its name can't be stored on the organizer!"};
  EXPECT_EQ(rig.view.messages, warned);
  EXPECT_TRUE(rig.Sent("put ").empty());

  rig.view.messages.clear();
  rig.view.Select(rig.view.organizer, {"<d>"});
  rig.client.ListView1_DblClick();
  rig.state.CurrentIndexName = "fs0_200_22_33_44_55";  // a stem of 19 characters and more
  rig.files.files = {{"c:\\new", std::string(10, 'n')}};
  rig.ToOrganizer({"new"});
  EXPECT_EQ(rig.view.messages.back(),
            "Warning: Path to file new is too long! It will not be copied!");
  rig.state.CurrentIndexName = "fs0_200";
  rig.ToOrganizer({"new"});  // one row more would not fit in the index
  EXPECT_EQ(rig.view.messages.back(), memofs::kFullDirectoryMessage);
  EXPECT_TRUE(rig.Sent("put ").empty());
  EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.memos).Clean());

  Rig root;
  root.Sync();
  root.view.new_directories = {{1, "Sharp Memos"}, {2, "never"}, {1, "Letters"}};
  for (int i = 0; i < 3; ++i) root.client.CreateDir_Click();
  EXPECT_EQ(
      root.view.messages,
      std::vector<std::string>{"Error: Can't create directory with reserved name (Sharp Memos)!"});
  EXPECT_EQ(root.view.organizer.rows.back().text, "<Letters>");
  root.ExpectSettled();
}

// Create Dir re-reads the parent at its end. When that read fails, the table
// holds no entries; shown as the root it would let the next copy write an
// index that forgets every file there.
TEST(Commands, CreateDirAfterAFailedReadStaysUnsynchronized) {
  Rig rig;
  rig.organizer.memos = {{"fs0", IndexOf({File("a", 0, 1, 0)})}, {"fs0_0_0", "a"}};
  rig.Sync();
  rig.organizer.fault = FakeOrganizer::Fault::kSilence;
  rig.organizer.fault_at = rig.organizer.Exchanges() + 4;  // put, get, put, then get fs0
  rig.view.new_directories = {{1, "new"}};
  rig.client.CreateDir_Click();
  EXPECT_FALSE(rig.client.Synchronized());
  EXPECT_EQ(rig.view.organizer.rows[0].text, "unsynchronized ...");
  EXPECT_EQ(rig.organizer.memos["fs0"], IndexOf({Dir("new", 1), File("a", 0, 1, 0)}));
  rig.ExpectSettled();
}

// An index name over 20 characters is never entered, by any command.
TEST(Commands, TooDeepDirectoriesAreRefused) {
  Rig rig;
  rig.organizer.memos = {{"fs0", IndexOf({Dir("d", 10), File("f", 0, 1, 0)})}, {"fs0_0_0", "f"}};
  rig.Sync();
  rig.state.CurrentIndexName = "fs0_1_2_3_4_5_6_7_8";  // the table stays the root's
  const std::size_t sent = rig.organizer.commands.size();
  rig.ToComputer({"<d>", "f"});
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{memofs::kTooDeepMessage});
  EXPECT_TRUE(rig.files.files.empty());  // the stop also spares the rows after it
  EXPECT_EQ(rig.organizer.commands.size(), sent);
  rig.view.Select(rig.view.organizer, {"<d>"});
  rig.client.ListView1_DblClick();
  EXPECT_EQ(rig.view.messages.size(), 2u);
  EXPECT_FALSE(rig.client.Synchronized());
  EXPECT_EQ(rig.state.CurrentIndexName, "fs0_1_2_3_4_5_6_7_8");
  rig.ExpectSettled();
}

TEST(Commands, UnsafeOrganizerNamesAreNeverWritten) {
  Rig rig;
  rig.organizer.memos = {
      {"fs0", IndexOf({File("..", 0, 1, 0), File("a\\b", 0, 1, 1), File("ok", 0, 1, 2)})},
      {"fs0_0_0", "1"},
      {"fs0_1_0", "2"},
      {"fs0_2_0", "3"}};
  rig.state.ComputerPath = "\\in\\";
  rig.files.directories.insert("c:\\in\\");
  rig.Sync();
  rig.view.Select(rig.view.organizer, {"a\\b", "ok"});
  rig.view.organizer.selected.assign(rig.view.organizer.rows.size(), true);
  rig.client.Copy1_Click();
  EXPECT_EQ(rig.files.files.size(), 1u);
  EXPECT_EQ(rig.files.files["c:\\in\\ok"], "3");
  EXPECT_EQ(rig.view.messages.size(), 2u);
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
  EXPECT_EQ(rig.organizer.memos["fs0_0"], IndexOf({File("c", 0, 3, 0)}));
  EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.memos).Clean());
  EXPECT_TRUE(memofs::CheckMemoFileSystem(rig.organizer.memos).orphans.empty());
  EXPECT_EQ(rig.view.organizer.rows.back().text, "<t>");
}

TEST(Commands, SynchronizeAndLinkState) {
  Rig none;
  none.organizer.open_allowed = false;
  none.client.Synchronize_Click();
  EXPECT_EQ(none.view.messages, std::vector<std::string>{"Error: Can't open serial port!"});
  EXPECT_EQ(none.view.organizer.rows.at(0).text, "unsynchronized ...");
  EXPECT_FALSE(none.view.buttons[OrganizerButton::kCopy2]);

  // A root index cut off by the line is never shown as an empty root.
  Rig cut;
  cut.organizer.memos = {{"fs0", IndexOf({Dir("keep", 0)})}};
  cut.organizer.fault = FakeOrganizer::Fault::kShortBlock;
  cut.organizer.fault_at = 2;
  cut.client.Synchronize_Click();
  EXPECT_FALSE(cut.client.Synchronized());
  EXPECT_EQ(cut.view.organizer.rows.at(0).text, "unsynchronized ...");
  EXPECT_EQ(cut.organizer.memos["fs0"], IndexOf({Dir("keep", 0)}));
  cut.ExpectSettled();

  Rig rig;
  rig.organizer.memos = {{"fs0", IndexOf({Dir("b", 1), Dir("A", 0), File("f", 0, 1, 2)})},
                         {"fs0_1", IndexOf({File("g", 2, 10, 0)})},
                         {"plain", "p"}};
  rig.Sync();
  std::vector<std::string> texts;
  for (const PaneRow& row : rig.view.organizer.rows) texts.push_back(row.text + "|" + row.size);
  EXPECT_EQ(texts, (std::vector<std::string>{"<Sharp Memos>|", "<A>|", "<b>|", "f|< 2Kb"}));
  rig.view.Select(rig.view.organizer, {"<b>"});
  rig.client.ListView1_DblClick();
  EXPECT_EQ(rig.view.organizer.rows.at(1).size, "3922");
  rig.view.Select(rig.view.organizer, {"<..>"});
  rig.client.ListView1_DblClick();
  rig.EnterMemoView();
  EXPECT_EQ(rig.view.organizer.rows.size(), 2u);  // "<..>" and plain
  EXPECT_FALSE(rig.view.buttons[OrganizerButton::kCreateDir]);
  rig.view.organizer.selected[0] = true;  // the memo view's "<..>" too: still a refresh
  rig.Delete({"plain"});
  EXPECT_EQ(rig.organizer.memos.count("plain"), 0u);
  EXPECT_EQ(rig.state.MemoViewActive, 1);
  EXPECT_EQ(rig.view.organizer.rows.size(), 1u);
  rig.ExpectSettled();
}

TEST(Commands, ComputerPaneListsAndWalks) {
  Rig rig;
  rig.files.directories = {"c:\\", "c:\\Beta\\", "c:\\alpha\\", "c:\\alpha\\in\\", "d:\\"};
  rig.files.files = {{"c:\\_z", ""}, {"c:\\1a", "12"}, {"c:\\alpha\\x", "x"}};
  rig.client.ListComputerDirectory();
  std::vector<std::string> texts;
  for (const PaneRow& row : rig.view.computer.rows) texts.push_back(row.text + "|" + row.size);
  EXPECT_EQ(texts, (std::vector<std::string>{"<alpha>|", "<Beta>|", "1a|2", "_z|0"}));
  rig.view.Select(rig.view.computer, {"<alpha>"});
  rig.client.ListView2_DblClick();
  rig.view.Select(rig.view.computer, {"<in>"});
  rig.client.ListView2_DblClick();
  EXPECT_EQ(rig.state.ComputerPath, "\\alpha\\in\\");
  rig.view.Select(rig.view.computer, {"<..>"});
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
