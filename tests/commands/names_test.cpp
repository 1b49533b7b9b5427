// Hostile and awkward names, end to end: each gets what the algorithms give,
// the file system stays whole and nothing is written outside the computer
// directory the user chose ("c:\in\").
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "commands/sim_rig.h"
#include "memofs/checker.h"

namespace tavo::commands {
namespace {

using testing::Dir;
using testing::File;
using testing::IndexOf;
using testing::SimRig;
using Strings = std::vector<std::string>;

constexpr const char* kIn = "c:\\in\\";
const std::string kNotHere = " since its name can't be used on this computer!";
const std::string kNotThere = " since its name can't be stored on the organizer!";

// Every byte 1 to 255 but the two no computer file name holds ("/" and "\"),
// cut into names of 17 that neither begin with "<" or a blank nor end in one.
Strings EveryByteNames() {
  Strings names(1);
  for (int b = 1; b <= 255; ++b) {
    if (b == '/' || b == '\\') continue;
    if (names.back().size() == 17) names.emplace_back();
    names.back() += static_cast<char>(b);
  }
  return names;
}

// Every row of a pane but the first ("<..>" or the root row) selected.
void SelectAllBelowFirst(testing::FakeView::Pane& pane) {
  for (std::size_t row = 1; row < pane.rows.size(); ++row) pane.selected[row] = true;
}

void To(SimRig& rig, const std::string& path) {
  rig.state.ComputerPath = path;
  rig.files.directories.insert("c:" + path);
}

struct NameCase {
  const char* what;
  std::function<void(SimRig&)> seed;  // organizer memos and computer files in c:\in\ .
  std::function<void(SimRig&)> act;   // the user's commands, from the synchronized root
  std::function<void(SimRig&)> check;
};

const NameCase kCases[] = {
    {"empty names: a directory made with one, a file and a memo from elsewhere",
     [](SimRig& rig) {
       rig.Put({{"fs0", IndexOf({Dir("sub", 0)})},
                {"fs0_0", IndexOf({File("", 0, 1, 0)})},
                {"fs0_0_0_0", "e"},
                {"", "empty memo"}});
     },
     [](SimRig& rig) {
       rig.view.new_directories = {{1, ""}};
       rig.client.CreateDir_Click();
       rig.DoubleClick("<>");
       EXPECT_EQ(rig.state.CurrentIndexName, "fs0_1");
       rig.DoubleClick("<..>");
       rig.ToComputer({"<>"});
       rig.Delete({"<>"});
       rig.DoubleClick("<sub>");
       rig.ToComputer({""});
       rig.DoubleClick("<..>");
       rig.EnterMemoView();
       rig.ToComputer({""});
       rig.Delete({""});
     },
     [](SimRig& rig) {
       EXPECT_EQ(rig.view.messages, Strings(3, "Warning: Can't copy " + kNotHere));
       EXPECT_EQ(rig.Text("fs0"), IndexOf({Dir("sub", 0)}));
       EXPECT_FALSE(rig.Has(""));
     }},

    {"blanks at either end: names are trimmed where the algorithms trim them",
     [](SimRig& rig) {
       rig.Put({{"fs0", IndexOf({File(" b ", 0, 1, 0), Dir(" d ", 1)})},
                {"fs0_0_0", "b"},
                {"fs0_1", IndexOf({File("x", 0, 1, 0)})},
                {"fs0_1_0_0", "x"},
                {" m ", "mm"}});
       rig.files.files["c:\\in\\ a "] = "a";
     },
     [](SimRig& rig) {
       rig.ToOrganizer({" a "});  // looked for as "a": not there, nothing sent
       rig.ToComputer({" b ", "< d >"});
       rig.Delete({" b "});
       rig.EnterMemoView();
       rig.ToComputer({" m "});
     },
     [](SimRig& rig) {
       EXPECT_TRUE(rig.view.messages.empty());
       EXPECT_EQ(rig.Sent("put ").size(), 1u);  // the index without " b "
       EXPECT_EQ(rig.Text("fs0"), IndexOf({Dir(" d ", 1)}));
       EXPECT_EQ(rig.files.files,
                 (std::map<std::string, std::string>{
                     {"c:\\in\\ a ", "a"}, {"c:\\in\\ d \\x", "x"}, {"c:\\in\\ m ", "mm"}}));
     }},

    {"index names of 20 characters are entered, of 21 refused by every command",
     [](SimRig& rig) {
       // fs0_1000_1000_1000 (18 characters) holds "ok" (9), "no" (10) and
       // numbers 0 to 8, so a new entry would get 11.
       std::vector<memofs::DirectoryEntry> deep = {Dir("ok", 9), Dir("no", 10)};
       for (int n = 0; n <= 8; ++n) deep.push_back(Dir("e" + std::to_string(n), n));
       for (int n = 0; n <= 9; ++n)
         rig.organizer.PutText("fs0_1000_1000_1000_" + std::to_string(n), "");
       rig.Put({{"fs0", IndexOf({Dir("l1", 1000)})},
                {"fs0_1000", IndexOf({Dir("l2", 1000)})},
                {"fs0_1000_1000", IndexOf({Dir("l3", 1000)})},
                {"fs0_1000_1000_1000", IndexOf(deep)}});
       rig.files.files["c:\\in\\f"] = "f";
     },
     [](SimRig& rig) {
       for (const char* row : {"<l1>", "<l2>", "<l3>", "<ok>"}) rig.DoubleClick(row);
       EXPECT_EQ(rig.state.CurrentIndexName, "fs0_1000_1000_1000_9");
       rig.DoubleClick("<..>");
       rig.ToComputer({"<no>"});
       rig.ToOrganizer({"f"});
       rig.view.new_directories = {{1, "x"}};
       rig.client.CreateDir_Click();
       rig.Delete({"<no>"});
       rig.DoubleClick("<no>");
     },
     [](SimRig& rig) {
       const std::string deep = memofs::kTooDeepMessage;
       EXPECT_EQ(rig.view.messages,
                 (Strings{deep, "Warning: Path to file f is too long! It will not be copied!", deep,
                          deep, deep}));
       EXPECT_FALSE(rig.client.Synchronized());  // after entering "no"
       EXPECT_EQ(rig.files.files.size(), 1u);
     }},

    {"a directory as full as one-character names make it takes no more",
     [](SimRig& rig) {
       std::vector<memofs::DirectoryEntry> full;
       for (int b = 0x80; IndexOf(full).size() + 12 <= memofs::kMaxIndexText; ++b) {
         const int n = static_cast<int>(full.size());
         full.push_back(
             File(std::string(1, static_cast<char>(b < 0xff ? b : 'A' + b - 0xff)), 0, 0, n));
         rig.organizer.PutText(memofs::PartName(memofs::ChildIndexName("fs0", n), 0, 0), "");
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
     },
     [](SimRig& rig) {
       EXPECT_EQ(rig.view.messages, Strings(2, memofs::kFullDirectoryMessage));
       EXPECT_TRUE(rig.Sent("put ").empty());
       EXPECT_EQ(rig.view.organizer.rows.size(), 173u);
       EXPECT_TRUE(rig.client.Synchronized());
     }},

    {"more than 16384 plain memos are all listed",
     [](SimRig& rig) {
       for (int n = 0; n < 16390; ++n) {
         const std::string name = "m" + std::to_string(100000 + n);
         rig.organizer.PutText(name, name);
       }
     },
     [](SimRig& rig) {
       rig.EnterMemoView();
       EXPECT_EQ(rig.view.organizer.rows.size(), 16391u);
       rig.ToComputer({"m116389"});
       rig.Delete({"m116389"});
     },
     [](SimRig& rig) {
       EXPECT_EQ(rig.files.files["c:\\in\\m116389"], "m116389");
       EXPECT_FALSE(rig.Has("m116389"));
       EXPECT_EQ(rig.view.organizer.rows.size(), 16390u);
     }},

    {"memo and file names with path separators and dots are never written",
     [](SimRig& rig) {
       const Strings names = {"a/b", "a\\b", "..", ".", "..\\up", "../up"};
       std::vector<memofs::DirectoryEntry> files;
       for (const std::string& name : names) {
         rig.organizer.PutText(name, "memo " + name);
         rig.PutFile("fs0", static_cast<int>(files.size()), "file " + name);
         files.push_back(
             File(name, 0, 5 + static_cast<int>(name.size()), static_cast<int>(files.size())));
       }
       rig.Put({{"fs0", IndexOf(files)}});
     },
     [](SimRig& rig) {
       SelectAllBelowFirst(rig.view.organizer);
       rig.client.Copy1_Click();
       rig.EnterMemoView();
       SelectAllBelowFirst(rig.view.organizer);
       rig.client.Copy1_Click();
     },
     [](SimRig& rig) {
       EXPECT_EQ(rig.view.messages.size(), 12u);
       EXPECT_TRUE(rig.files.files.empty());
     }},

    {"names with every byte 1 to 255 go there and back, or are refused with a warning",
     [](SimRig& rig) {
       for (const std::string& name : EveryByteNames()) rig.files.files[kIn + name] = name;
     },
     [](SimRig& rig) {
       rig.client.ListComputerDirectory();
       SelectAllBelowFirst(rig.view.computer);
       rig.client.Copy2_Click();
       To(rig, "\\in\\back\\");
       SelectAllBelowFirst(rig.view.organizer);
       rig.client.Copy1_Click();
       SelectAllBelowFirst(rig.view.organizer);
       rig.client.Delete_Click();
       rig.EnterMemoView();
       To(rig, "\\in\\");
       rig.client.ListComputerDirectory();
       rig.view.computer.selected.assign(rig.view.computer.rows.size(), true);
       rig.client.Copy2_Click();
       To(rig, "\\in\\memos\\");
       SelectAllBelowFirst(rig.view.organizer);
       rig.client.Copy1_Click();
       SelectAllBelowFirst(rig.view.organizer);
       rig.client.Delete_Click();
     },
     [](SimRig& rig) {
       // Line ends and 255 cannot be in an index entry, line ends not in a
       // command line; the computer refuses its own set of characters.
       int refused_there = 0, refused_here = 0;
       for (const std::string& name : EveryByteNames()) {
         const bool in_index = name.find_first_of("\n\r\xff") == std::string::npos;
         const bool in_line = name.find_first_of("\n\r") == std::string::npos;
         const bool here = rig.files.IsStorableName(name);
         refused_there += !in_index + !in_line;
         refused_here += (in_index && !here) + (in_line && !here);
         EXPECT_EQ(rig.files.files.count("c:\\in\\back\\" + name), in_index && here ? 1u : 0u);
         EXPECT_EQ(rig.files.files.count("c:\\in\\memos\\" + name), in_line && here ? 1u : 0u);
       }
       EXPECT_EQ(rig.view.messages.size(), static_cast<std::size_t>(refused_there + refused_here));
       for (const auto& [path, bytes] : rig.files.files) {
         EXPECT_EQ(path.substr(path.rfind('\\') + 1), bytes);
       }
       EXPECT_EQ(rig.organizer.Memos().size(), 1u);  // the root index, empty again
       EXPECT_EQ(rig.Text("fs0"), "");
     }},

    {"reserved and clashing names, names a line or an index cannot hold",
     [](SimRig& rig) {
       rig.Put(
           {{"fs0", IndexOf({Dir("d", 0), File("x", 0, 1, 1)})}, {"fs0_0", ""}, {"fs0_1_0", "x"}});
       rig.files.directories.insert({"c:\\in\\x\\", "c:\\in\\Sharp Memos\\"});
       rig.files.files = {{"c:\\in\\d", "1"},      {"c:\\in\\Sharp Memos", "2"},
                          {"c:\\in\\x\\y", "3"},   {"c:\\in\\bad\nname", "4"},
                          {"c:\\in\\y\xffz", "5"}, {"c:\\in\\fs0_1", "6"}};
     },
     [](SimRig& rig) {
       rig.ToOrganizer({"d", "Sharp Memos", "<x>", "bad\nname", "y\xffz"});
       rig.view.new_directories = {{1, "Sharp Memos"}};
       rig.client.CreateDir_Click();
       rig.DoubleClick("<d>");  // below the root the name is free
       rig.ToOrganizer({"Sharp Memos"});
       rig.DoubleClick("<..>");
       rig.EnterMemoView();  // memos named like the file system's own would clobber it
       rig.ToOrganizer({"fs0_1"});
       rig.DoubleClick("<..>");
       rig.ToOrganizer({"<Sharp Memos>"});
     },
     [](SimRig& rig) {
       const std::string reserved =
           "Error: Can't create directory with reserved name (Sharp Memos)!";
       EXPECT_EQ(rig.view.messages,
                 (Strings{"Warning: Can't copy directory x since there is a file with the same "
                          "name!",
                          "Warning: Can't copy bad\nname" + kNotThere,
                          "Warning: Can't copy file d since there is a directory with the same "
                          "name!",
                          "Warning: Can't use reserved name Sharp Memos in this directory! This "
                          "file will not be copied!",
                          "Warning: Can't copy y\xffz" + kNotThere, reserved,
                          "Warning: Can't use reserved name fs0_1 in this directory! This file "
                          "will not be copied!",
                          reserved}));
       EXPECT_EQ(rig.Text("fs0_0"), IndexOf({File("Sharp Memos", 0, 1, 0)}));
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
    const std::vector<std::string> seeded_problems =
        memofs::CheckMemoFileSystem(rig.organizer.Texts()).problems;
    c.act(rig);
    c.check(rig);
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
}  // namespace tavo::commands
