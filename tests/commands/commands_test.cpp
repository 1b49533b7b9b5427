// What the fault matrix leaves: hostile and awkward names, sizes at the part
// boundaries, a Cancel that must stop the whole command, the answer No, and
// what the panes show.
#include <gtest/gtest.h>

#include <iterator>

#include "commands/sim_rig.h"
#include "memofs/checker.h"

namespace tavo::testing {
namespace {

Strings WithSizes(const FakeView::Pane& pane) {
  Strings rows;
  for (const commands::PaneRow& row : pane.rows) rows.push_back(row.text + "|" + row.size);
  return rows;
}

// Files and memos of every size go there and back byte for byte.
TEST(Commands, EverySizeRoundTripsInBothViews) {
  for (std::size_t size : {0, 1, 1955, 1956, 1957, 3912, 25000}) {
    SCOPED_TRACE(size);
    SimRig rig;
    const std::string bytes = AllBytes(size);
    rig.files.files["c:\\f.bin"] = bytes;
    rig.Sync();
    rig.ToOrganizer({"f.bin"});
    // Every part the row names is stored, an empty last one included.
    const int last = static_cast<int>(size / memofs::kPartSize);
    EXPECT_TRUE(rig.Has(memofs::PartName("fs0_0", last, last)));
    rig.files.files.clear();
    rig.ToComputer({"f.bin"});
    EXPECT_EQ(rig.files.files["c:\\f.bin"], bytes);

    // As plain memos: one per piece of 1956 bytes, none for an empty file.
    rig.EnterMemoView();
    rig.ToOrganizer({"f.bin"});
    Strings pieces = rig.view.organizer.Texts();
    pieces.erase(pieces.begin());  // "<..>"
    EXPECT_EQ(pieces.size(), (size + 1955) / 1956);
    rig.files.files.clear();
    rig.ToComputer(pieces);
    std::string joined;
    for (const std::string& piece : pieces) joined += rig.files.files["c:\\" + piece];
    EXPECT_EQ(joined, bytes);
    EXPECT_TRUE(rig.Settled());
  }
}

// After a Cancel no further row is handled: not the next one selected, nor a
// row of the same name in whatever directory the walk had reached.
TEST(Commands, CancelAndNo) {
  SimRig rig;
  rig.Put({{"fs0", IndexOf({Dir("A", 0), File("f", 0, 1, 1)})},
           {"fs0_1_0", "r"},
           {"fs0_0", IndexOf({Dir("B", 0)})},
           {"fs0_0_0", IndexOf({File("f", 0, 1, 0)})},
           {"fs0_0_0_0_0", "b"},
           {"m", "first"},
           {"n", "second"}});
  rig.files.files["c:\\f"] = "pc!";
  rig.Sync();
  rig.view.on_status = [&](const std::string& text) {
    if (text == "Entering directory B ..." || text == "Copying memo m ...") {
      rig.client.RequestStop();
    }
  };
  rig.Delete({"<A>", "f"});
  EXPECT_TRUE(rig.Has("fs0_0_0_0_0"));
  EXPECT_TRUE(rig.Has("fs0_1_0"));
  rig.Sync();
  rig.EnterMemoView();
  rig.ToComputer({"m", "n"});
  EXPECT_EQ(rig.files.files["c:\\m"], "first");  // the memo begun is finished
  EXPECT_FALSE(rig.files.files.count("c:\\n"));

  // No keeps both sides as they were.
  rig.DoubleClick("<..>");
  rig.view.answers = {false, false, false};
  rig.ToComputer({"f"});
  rig.ToOrganizer({"f"});
  rig.Delete({"f"});
  EXPECT_TRUE(rig.view.answers.empty());  // each was asked
  EXPECT_EQ(rig.files.files["c:\\f"], "pc!");
  EXPECT_EQ(rig.Text("fs0_1_0"), "r");
  EXPECT_TRUE(rig.Settled());
}

// In the memo view only "found" then "ok" deletes a memo: a memo the
// organizer no longer has ends the command, and the next one is not touched.
TEST(Commands, MemoViewDeleteOfAMemoNotFoundEndsTheCommand) {
  SimRig rig;
  rig.Put({{"fs0", ""}, {"m1", "1"}, {"m2", "2"}});
  rig.Sync();
  rig.EnterMemoView();
  rig.organizer.Remove("m1");  // gone behind the window's back
  rig.Delete({"m1", "m2"});
  EXPECT_FALSE(rig.client.Synchronized());
  EXPECT_EQ(rig.Text("m2"), "2");
  EXPECT_TRUE(rig.Settled());
}

// A copy refused by a full organizer takes back the parts it sent.
TEST(Commands, AFullOrganizerKeepsNothingOfACopy) {
  SimRig rig;
  rig.files.files["c:\\big"] = AllBytes(9000);
  rig.Put({{"fs0", ""}});
  rig.Sync();
  const auto before = rig.organizer.Memos();
  rig.organizer.SetCapacity(rig.organizer.StoredBytes() + 6000);
  rig.ToOrganizer({"big"});
  EXPECT_EQ(rig.organizer.Memos(), before);
  EXPECT_FALSE(rig.client.Synchronized());
  EXPECT_TRUE(rig.Settled());
}

// A Cancel while a directory's files are deleted finishes the file under way;
// the files not reached are listed in the directory's index again.
TEST(Commands, CancelInADirectoryDeleteListsWhatIsLeft) {
  SimRig rig;
  const std::vector<memofs::DirectoryEntry> rest = {File("b", 0, 1, 1), File("c", 0, 1, 2)};
  std::vector<memofs::DirectoryEntry> all = rest;
  all.insert(all.begin(), File("a", 2, 10, 0));
  rig.Put({{"fs0", IndexOf({Dir("A", 0)})}, {"fs0_0", IndexOf(all)}});
  rig.PutFile("fs0_0", 0, AllBytes(2 * 1956 + 10));
  rig.PutFile("fs0_0", 1, "b");
  rig.PutFile("fs0_0", 2, "c");
  rig.Sync();
  rig.view.on_status = [&](const std::string& text) {
    if (text == "Deleting file a (0%) ...") rig.client.RequestStop();
  };
  rig.Delete({"<A>"});
  EXPECT_EQ(rig.Text("fs0_0"), IndexOf(rest));
  for (const char* part : {"fs0_0_0_0", "fs0_0_0_1", "fs0_0_0_2"}) EXPECT_FALSE(rig.Has(part));
  const memofs::CheckReport report = memofs::CheckMemoFileSystem(rig.organizer.Texts());
  EXPECT_EQ(report.Summary(), "2 directories, 2 files, 2 parts, 0 problems, 0 orphans");
  // The directory the deletion had entered is shown.
  EXPECT_EQ(rig.view.organizer.Texts(), (Strings{"<..>", "b", "c"}));
  EXPECT_TRUE(rig.Settled());
}

// Every "(NN%)" status of the three commands that show one, exactly.
TEST(Commands, ProgressPercentages) {
  struct Case {
    const char* what;
    std::function<void(SimRig&)> run;  // at the synchronized root
    Strings percents;
  };
  const auto numbers = [](const std::string& text, std::initializer_list<int> list) {
    Strings texts;
    for (int n : list) texts.push_back(text + " (" + std::to_string(n) + "%) ...");
    return texts;
  };
  const Case cases[] = {
      {"delete a file of 13 parts", [](SimRig& rig) { rig.Delete({"big"}); },
       numbers("Deleting file big", {0, 8, 16, 25, 33, 41, 50, 58, 66, 75, 83, 91, 100})},
      {"delete a file of one part", [](SimRig& rig) { rig.Delete({"one"}); },
       numbers("Deleting file one", {100})},
      {"copy 5000 bytes to the organizer", [](SimRig& rig) { rig.ToOrganizer({"five"}); },
       numbers("Copying file five", {39, 78, 100})},
      {"copy 0 bytes to the organizer", [](SimRig& rig) { rig.ToOrganizer({"zero"}); },
       numbers("Copying file zero", {100})},
      {"copy a file of 13 parts to the computer", [](SimRig& rig) { rig.ToComputer({"big"}); },
       numbers("Copying file big", {7, 15, 23, 30, 38, 46, 53, 61, 69, 76, 84, 92, 100})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimRig rig;
    rig.Put({{"fs0", IndexOf({File("big", 12, 1528, 4), File("one", 0, 3, 5)})}});
    rig.PutFile("fs0", 4, AllBytes(25000));
    rig.PutFile("fs0", 5, "one");
    rig.files.files = {{"c:\\five", AllBytes(5000)}, {"c:\\zero", ""}};
    rig.Sync();
    Strings percents;
    rig.view.on_status = [&](const std::string& text) {
      if (text.find("%) ...") != std::string::npos) percents.push_back(text);
    };
    c.run(rig);
    EXPECT_EQ(percents, c.percents);
    EXPECT_TRUE(rig.Settled());
  }
}

TEST(Commands, BothPanes) {
  SimRig none;
  none.port.SetOpenFails(true);
  none.client.Synchronize_Click();
  EXPECT_EQ(none.view.messages, Strings{"Error: Can't open serial port!"});
  EXPECT_EQ(none.view.organizer.Texts(), Strings{"unsynchronized ..."});
  EXPECT_FALSE(none.view.buttons[commands::OrganizerButton::kCopy2]);

  SimRig rig;
  rig.Put({{"fs0", IndexOf({Dir("B", 1), Dir("a", 0), File("f", 0, 1, 2)})},
           {"fs0_1", IndexOf({File("g", 2, 10, 0)})}});
  rig.Sync();
  // Sorted without regard to case; sizes below the root only.
  EXPECT_EQ(WithSizes(rig.view.organizer), (Strings{"<Sharp Memos>|", "<a>|", "<B>|", "f|< 2Kb"}));
  rig.DoubleClick("<B>");
  EXPECT_EQ(WithSizes(rig.view.organizer), (Strings{"<..>|", "g|3922"}));
  rig.DoubleClick("<..>");
  rig.EnterMemoView();
  EXPECT_FALSE(rig.view.buttons[commands::OrganizerButton::kCreateDir]);

  rig.files.directories = {"c:\\", "c:\\Beta\\", "c:\\alpha\\", "c:\\alpha\\in\\", "d:\\"};
  rig.files.files = {{"c:\\_z", ""}, {"c:\\1a", "12"}, {"c:\\alpha\\x", "x"}};
  rig.client.ListComputerDirectory();
  EXPECT_EQ(WithSizes(rig.view.computer), (Strings{"<alpha>|", "<Beta>|", "1a|2", "_z|0"}));
  for (const char* row : {"<alpha>", "<in>", "<..>"}) {
    ASSERT_EQ(rig.view.computer.Pick({row}), 1u);
    rig.client.ListView2_DblClick();
  }
  EXPECT_EQ(rig.state.ComputerPath, "\\alpha\\");
  EXPECT_EQ(rig.view.computer.Texts(), (Strings{"<..>", "<in>", "x"}));
  rig.view.drive = "d: [data]";
  rig.client.Drive1_Change();
  EXPECT_EQ(rig.state.ComputerDrive + ":" + rig.state.ComputerPath, "d:\\");
  EXPECT_TRUE(rig.view.computer.rows.empty());
}

// Hostile and awkward names end to end: the file system stays whole and
// nothing is written outside the computer directory the user chose.
constexpr const char* kIn = "c:\\in\\";

std::string CantUseHere(const std::string& name) {
  return "Warning: Can't copy " + name + " since its name can't be used on this computer!";
}
std::string CantStoreThere(const std::string& name) {
  return "Warning: Can't copy " + name + " since its name can't be stored on the organizer!";
}

// Every byte but "/" and "\" (no computer name holds them), over 23 names so
// that 0, line feed, carriage return and 255 each land in a name of its own.
Strings EveryByteNames() {
  Strings names(23);
  for (int b = 0; b < 256; ++b) {
    if (b != '/' && b != '\\') names[b % 23] += static_cast<char>(b);
  }
  return names;
}

// Selects every row of a pane but the first ("<..>" or the root row) and clicks.
void All(SimRig& rig, FakeView::Pane& pane, void (commands::Client::*click)()) {
  for (std::size_t row = 1; row < pane.rows.size(); ++row) pane.selected[row] = true;
  (rig.client.*click)();
}

void To(SimRig& rig, const std::string& path) {
  rig.state.ComputerPath = path;
  rig.files.directories.insert("c:" + path);
}

struct NameCase {
  const char* what;
  std::function<void(SimRig&)> seed;  // organizer memos and computer files in c:\in\ .
  std::function<void(SimRig&)> run;   // the user's commands from the synchronized root, and checks
};

const NameCase kCases[] = {
    {"blanks at either end: names are trimmed where the commands trim them",
     [](SimRig& rig) {
       rig.Put({{"fs0", IndexOf({File(" b ", 0, 1, 0), Dir(" d ", 1)})},
                {"fs0_0_0", "b"},
                {"fs0_1", IndexOf({File("x", 0, 1, 0)})},
                {"fs0_1_0_0", "x"},
                {" m ", "mm"}});
       rig.files.files["c:\\in\\ a "] = "a";
     },
     [](SimRig& rig) {
       rig.ToOrganizer({" a "});          // looked for as "a": not there, nothing sent
       rig.ToComputer({" b ", "< d >"});  // " b " looked for as "b": not there, and said so
       rig.Delete({" b "});
       rig.EnterMemoView();
       rig.ToComputer({" m "});
       EXPECT_EQ(rig.view.messages,
                 Strings{"Warning: Can't copy b since its name can't be used on this computer!"});
       EXPECT_EQ(rig.Text("fs0"), IndexOf({Dir(" d ", 1)}));
       EXPECT_EQ(rig.files.files,
                 (std::map<std::string, std::string>{
                     {"c:\\in\\ a ", "a"}, {"c:\\in\\ d \\x", "x"}, {"c:\\in\\ m ", "mm"}}));
     }},

    {"index names of 20 characters are entered, of 21 refused by every command",
     [](SimRig& rig) {
       // In fs0_1000_1000_1000 (18 characters) "ok" (9) has an index name of
       // 20, "no" (10) would have one of 21, as would anything new inside "ok".
       rig.Put({{"fs0", IndexOf({Dir("l1", 1000)})},
                {"fs0_1000", IndexOf({Dir("l2", 1000)})},
                {"fs0_1000_1000", IndexOf({Dir("l3", 1000)})},
                {"fs0_1000_1000_1000", IndexOf({Dir("ok", 9), Dir("no", 10)})},
                {"fs0_1000_1000_1000_9", ""}});
       rig.files.files["c:\\in\\f"] = "f";
     },
     [](SimRig& rig) {
       // A refusal ends the whole command (the row after it is left alone)
       // without playing the user's Cancel.
       const auto refused = [&rig](const std::function<void()>& command) {
         command();
         EXPECT_EQ(rig.state.StopRequested, 0);
       };
       for (const char* row : {"<l1>", "<l2>", "<l3>", "<ok>"}) rig.DoubleClick(row);
       EXPECT_EQ(rig.state.CurrentIndexName, "fs0_1000_1000_1000_9");
       refused([&] { rig.ToOrganizer({"f"}); });
       rig.view.new_directories = {{1, "x"}};
       refused([&] { rig.client.CreateDir_Click(); });
       rig.DoubleClick("<..>");
       refused([&] { rig.ToComputer({"<no>", "<ok>"}); });
       refused([&] { rig.Delete({"<no>", "<ok>"}); });
       rig.DoubleClick("<no>");
       // One for each command.
       EXPECT_EQ(rig.view.messages,
                 (Strings{"Warning: Path to file f is too long! It will not be copied!",
                          memofs::kTooDeepMessage, memofs::kTooDeepMessage, memofs::kTooDeepMessage,
                          memofs::kTooDeepMessage}));
       EXPECT_FALSE(rig.client.Synchronized());  // after entering "no"
       EXPECT_EQ(rig.files.files.size(), 1u);
       EXPECT_EQ(rig.files.directories, (std::set<std::string>{"c:\\", kIn}));
       EXPECT_TRUE(rig.Has("fs0_1000_1000_1000_9"));
     }},

    {"a directory as full as one-character names make it takes no more",
     [](SimRig& rig) {
       std::vector<memofs::DirectoryEntry> full;
       for (int b = 0x80; IndexOf(full).size() + 12 <= memofs::kMaxIndexText; ++b) {
         const int n = static_cast<int>(full.size());
         full.push_back(
             File(std::string(1, static_cast<char>(b < 0xff ? b : 'A' + b - 0xff)), 0, 0, n));
         rig.Put({{memofs::PartName(memofs::ChildIndexName("fs0", n), 0, 0), ""}});
       }
       // 172 entries fill 1954 characters: one more needs 12. (217 one-character
       // entries would need 2494: numbers grow to three digits.)
       ASSERT_EQ(full.size(), 172u);
       rig.Put({{"fs0", IndexOf(full)}});
       rig.files.files["c:\\in\\+"] = "one more";
     },
     [](SimRig& rig) {
       rig.ToOrganizer({"+"});
       rig.view.new_directories = {{1, "+"}};
       rig.client.CreateDir_Click();
       EXPECT_EQ(rig.view.messages, Strings(2, memofs::kFullDirectoryMessage));
       EXPECT_EQ(rig.view.organizer.rows.size(), 173u);
       EXPECT_TRUE(rig.client.Synchronized());
     }},

    {"more than 16384 plain memos are all listed",
     [](SimRig& rig) {
       for (int n = 100000; n < 116390; ++n) rig.Put({{"m" + std::to_string(n), ""}});
     },
     [](SimRig& rig) {
       rig.EnterMemoView();
       EXPECT_EQ(rig.view.organizer.rows.size(), 16391u);
     }},

    {"empty names, path separators and dots are never written on the computer",
     [](SimRig& rig) {
       std::vector<memofs::DirectoryEntry> files;
       for (const std::string name : {"", "a/b", "a\\b", "..", ".", "..\\up", "../up"}) {
         const int n = static_cast<int>(files.size());
         rig.Put({{name, "memo"}});
         if (name.empty()) continue;  // the directory's below
         rig.PutFile("fs0", n, "file");
         files.push_back(File(name, 0, 4, n));
       }
       rig.Put({{"fs0", IndexOf(files)}});
     },
     [](SimRig& rig) {
       All(rig, rig.view.organizer, &commands::Client::Copy1_Click);
       rig.view.new_directories = {{1, ""}};
       rig.client.CreateDir_Click();  // an index holds an empty name
       rig.DoubleClick("<>");
       EXPECT_EQ(rig.state.CurrentIndexName, "fs0_6");
       rig.DoubleClick("<..>");
       rig.ToComputer({"<>"});
       rig.EnterMemoView();
       All(rig, rig.view.organizer, &commands::Client::Copy1_Click);
       // The 6 files, the directory, then the 7 memos.
       const Strings bad = {".", "..", "../up", "..\\up", "a/b", "a\\b"};
       Strings expected;
       for (const Strings& names : {bad, Strings{"", ""}, bad}) {
         for (const std::string& name : names) expected.push_back(CantUseHere(name));
       }
       EXPECT_EQ(rig.view.messages, expected);
       EXPECT_TRUE(rig.files.files.empty());
     }},

    {"names with every byte go there and back, or are refused with a warning",
     [](SimRig& rig) {
       for (const std::string& name : EveryByteNames()) rig.files.files[kIn + name] = name;
     },
     [](SimRig& rig) {
       // From c:\in\ to the organizer, back to `back` and deleted there.
       const auto there_and_back = [&](const std::string& back) {
         To(rig, "\\in\\");
         rig.client.ListComputerDirectory();
         All(rig, rig.view.computer, &commands::Client::Copy2_Click);
         To(rig, back);
         All(rig, rig.view.organizer, &commands::Client::Copy1_Click);
         All(rig, rig.view.organizer, &commands::Client::Delete_Click);
       };
       there_and_back("\\in\\back\\");
       rig.EnterMemoView();
       there_and_back("\\in\\memos\\");
       Strings expected;
       for (const std::string& name : EveryByteNames()) {
         // Line ends and 0 would break a command line; 255 reads back from an index as a blank.
         const bool in_line = name.find_first_of(std::string("\n\r\0", 3)) == std::string::npos;
         const bool in_index = in_line && name.find('\xff') == std::string::npos;
         const bool here = rig.files.IsStorableName(name);
         // Once for the directory view and once for the memo view, each way.
         for (const bool stored : {in_index, in_line}) {
           if (!stored) expected.push_back(CantStoreThere(name));
           if (stored && !here) expected.push_back(CantUseHere(name));
         }
         EXPECT_EQ(rig.files.files.count("c:\\in\\back\\" + name), in_index && here ? 1u : 0u);
         EXPECT_EQ(rig.files.files.count("c:\\in\\memos\\" + name), in_line && here ? 1u : 0u);
       }
       // The panes list the names in their own orders.
       Strings told = rig.view.messages;
       std::sort(told.begin(), told.end());
       std::sort(expected.begin(), expected.end());
       EXPECT_EQ(told, expected);
       for (const auto& [path, bytes] : rig.files.files) {
         EXPECT_EQ(path.substr(path.rfind('\\') + 1), bytes);
       }
       EXPECT_EQ(rig.organizer.Memos().size(), 1u);  // the root index, empty again
       EXPECT_EQ(rig.Text("fs0"), "");
     }},

    {"reserved and clashing names",
     [](SimRig& rig) {
       rig.Put(
           {{"fs0", IndexOf({Dir("d", 0), File("x", 0, 1, 1)})}, {"fs0_0", ""}, {"fs0_1_0", "x"}});
       rig.files.directories.insert({"c:\\in\\x\\", "c:\\in\\Sharp Memos\\"});
       for (const char* file : {"d", "Sharp Memos", "x\\y", "fs0_1"})
         rig.files.files[kIn + std::string(file)] = file;
     },
     [](SimRig& rig) {
       rig.ToOrganizer({"d", "Sharp Memos", "<x>"});
       rig.view.new_directories = {{1, "Sharp Memos"}, {1, "a\xff"}};
       rig.client.CreateDir_Click();
       rig.client.CreateDir_Click();
       rig.DoubleClick("<d>");  // below the root the name is free
       rig.ToOrganizer({"Sharp Memos"});
       rig.DoubleClick("<..>");
       rig.EnterMemoView();  // memos named like the file system's own would clobber it
       rig.ToOrganizer({"fs0_1"});
       rig.DoubleClick("<..>");
       rig.ToOrganizer({"<Sharp Memos>"});
       // All but the copy below the root refused.
       const std::string no_root_directory =
           "Error: Can't create directory with reserved name (Sharp Memos)!";
       EXPECT_EQ(
           rig.view.messages,
           (Strings{
               "Warning: Can't copy directory x since there is a file with the same name!",
               "Warning: Can't copy file d since there is a directory with the same name!",
               "Warning: Can't use reserved name Sharp Memos in this directory! This file will "
               "not be copied!",
               no_root_directory,
               "Warning: Can't create directory a\xff since its name can't be stored on the "
               "organizer!",
               "Warning: Can't use reserved name fs0_1 in this directory! This file will not be "
               "copied!",
               no_root_directory}));
       EXPECT_EQ(rig.Text("fs0"), IndexOf({Dir("d", 0), File("x", 0, 1, 1)}));
       EXPECT_EQ(rig.Text("fs0_0"), IndexOf({File("Sharp Memos", 0, 11, 0)}));
       EXPECT_FALSE(rig.client.Synchronized());  // the reserved directory stopped the copy
     }},
};

TEST(Names, HostileAndAwkwardNamesEndToEnd) {
  for (const NameCase& c : kCases) {
    SCOPED_TRACE(c.what);
    SimRig rig;
    To(rig, "\\in\\");
    c.seed(rig);
    rig.Sync();
    const Strings seeded_problems = memofs::CheckMemoFileSystem(rig.organizer.Texts()).problems;
    c.run(rig);
    EXPECT_TRUE(rig.Settled());
    const memofs::CheckReport report = memofs::CheckMemoFileSystem(rig.organizer.Texts());
    EXPECT_EQ(report.problems, seeded_problems);
    EXPECT_TRUE(report.orphans.empty()) << report.orphans.front();
    for (const auto& [path, bytes] : rig.files.files) EXPECT_EQ(path.rfind(kIn, 0), 0u) << path;
    for (const std::string& dir : rig.files.directories) {
      EXPECT_TRUE(dir == "c:\\" || dir.rfind(kIn, 0) == 0) << dir;
    }
  }
}

}  // namespace
}  // namespace tavo::testing
