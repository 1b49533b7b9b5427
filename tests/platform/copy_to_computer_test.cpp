// "Copy >>>" against the simulated organizer, into real files of a temporary
// directory: what is already there, and names the computer cannot take.
#include <gtest/gtest.h>

#include "commands/sim_rig.h"
#include "platform/computer_files.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>  // file attributes
#endif

namespace tavo::testing {
namespace {

namespace fs = std::filesystem;

// Records the questions it answers.
struct AskingView : FakeView {
  Strings questions;
  bool AskQuestion(const std::string& text) override {
    questions.push_back(text);
    return FakeView::AskQuestion(text);
  }
};

// The commands with the temporary directory as the computer pane's directory.
struct DiskRig {
  TempDir dir;
  sim::Organizer organizer;
  sim::ManualClock clock;
  sim::SimPort port{organizer, clock};
  AskingView view;
#ifdef _WIN32
  platform::NativeComputerFiles files;
#else
  platform::NativeComputerFiles files{{{'c', "/"}, {'t', dir.path().native()}}};
#endif
  commands::ClientState state;
  commands::ViewLinkHost host{view};
  link::SerialLink link{port, clock, host};
  commands::Client client{state, view, link, files};

  DiskRig() {
    settings::SetDefaultConfig(state.ConfigValues, settings::SettingsGroup::kAll);
#ifdef _WIN32
    const std::string root = *platform::BytesFromNative(dir.path()) + "\\";
    state.ComputerDrive = root.substr(0, 1);
    state.ComputerPath = root.substr(2);
#else
    state.ComputerDrive = "t";
    state.ComputerPath = "\\";
#endif
  }
  // Files of the root directory, each with `text` as its bytes and as a plain memo.
  void PutFiles(const Strings& names, const std::string& text) {
    std::vector<memofs::DirectoryEntry> rows;
    for (const std::string& name : names) {
      const int n = static_cast<int>(rows.size());
      organizer.PutText(memofs::PartName(memofs::ChildIndexName("fs0", n), 0, 0), text);
      organizer.PutText(name, text);
      rows.push_back(File(name, 0, static_cast<int>(text.size()), n));
    }
    organizer.PutText("fs0", IndexOf(rows));
  }
  void Sync(bool memo_view) {
    client.Synchronize_Click();
    ASSERT_TRUE(client.Synchronized());
    if (!memo_view) return;
    ASSERT_EQ(view.organizer.Pick({"<Sharp Memos>"}), 1u);
    client.ListView1_DblClick();
    ASSERT_EQ(state.MemoViewActive, 1);
  }
  // "Copy >>>" of every row but the first ("<..>" or the root's memo row).
  void CopyAll(std::deque<bool> answers = {}) {
    view.answers = std::move(answers);
    view.questions.clear();
    view.messages.clear();
    for (std::size_t row = 1; row < view.organizer.rows.size(); ++row) {
      view.organizer.selected[row] = true;
    }
    client.Copy1_Click();
  }
};

std::string CantUse(const std::string& name) {
  return "Warning: Can't copy " + name + " since its name can't be used on this computer!";
}
std::string InTheWay(const std::string& name) {
  return "Warning: Can't copy " + name +
         " since there is a directory, link or special file with the same name on this "
         "computer!";
}

// A hidden file is a file like any other; a directory or link of the same
// name is never written through.
TEST(CopyToComputer, AsksBeforeReplacingAnyFileAndNeverWritesThroughAnythingElse) {
  for (const bool memo_view : {false, true}) {
    SCOPED_TRACE(memo_view ? "memo view" : "directory view");
    DiskRig rig;
    rig.PutFiles({".profile", "dir", "link", "plain"}, "new");
    rig.dir.Put(".profile", "mine");
    rig.dir.Put("plain", "mine");
    fs::create_directory(rig.dir.path() / "dir");
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW((rig.dir.path() / ".profile").c_str(), FILE_ATTRIBUTE_HIDDEN));
    fs::create_directory(rig.dir.path() / "link");
#else
    fs::create_directory(rig.dir.path() / "elsewhere");
    rig.dir.Put("elsewhere/victim", "precious");
    fs::create_symlink(rig.dir.path() / "elsewhere" / "victim", rig.dir.path() / "link");
#endif
    const auto before = ReadTree(rig.dir.path());
    rig.Sync(memo_view);

    rig.CopyAll({false, false});
    EXPECT_EQ(rig.view.questions,
              (Strings{"File .profile exists! Overwrite?", "File plain exists! Overwrite?"}));
    EXPECT_EQ(rig.view.messages, (Strings{InTheWay("dir"), InTheWay("link")}));
    EXPECT_EQ(ReadTree(rig.dir.path()), before);

    rig.CopyAll({true, true});
    EXPECT_EQ(rig.view.questions.size(), 2u);
    EXPECT_EQ(rig.view.messages, (Strings{InTheWay("dir"), InTheWay("link")}));
    EXPECT_EQ(rig.dir.Get(".profile"), "new");
    EXPECT_EQ(rig.dir.Get("plain"), "new");
#ifndef _WIN32
    EXPECT_EQ(rig.dir.Get("elsewhere/victim"), "precious");
    EXPECT_TRUE(fs::is_symlink(rig.dir.path() / "link"));
#endif
    EXPECT_TRUE(fs::is_directory(rig.dir.path() / "dir"));
  }
}

#ifndef _WIN32
// A name fits whatever its length up to the computer's limit (255 bytes),
// and one beyond it is named in a warning.
TEST(CopyToComputer, LongNamesAreWrittenOrWarnedAbout) {
  const std::string fits(245, 'f'), longest(255, 'l'), too_long(300, 't');
  for (const bool memo_view : {false, true}) {
    SCOPED_TRACE(memo_view ? "memo view" : "directory view");
    DiskRig rig;
    rig.PutFiles({fits, longest, too_long}, "long");
    rig.Sync(memo_view);
    rig.CopyAll();
    EXPECT_EQ(rig.view.messages, Strings{CantUse(too_long)});
    EXPECT_EQ(ReadTree(rig.dir.path()),
              (std::map<std::string, std::string>{{fits, "long"}, {longest, "long"}}));
  }
}
#endif

#ifndef _WIN32
// A directory copied onto a link of its name would write wherever it leads.
TEST(CopyToComputer, NeverWritesADirectoryThroughALink) {
  DiskRig rig;
  rig.organizer.PutText("fs0", IndexOf({Dir("d", 0)}));
  rig.organizer.PutText("fs0_0", IndexOf({File("f", 0, 1, 0)}));
  rig.organizer.PutText("fs0_0_0_0", "x");
  fs::create_directory(rig.dir.path() / "elsewhere");
  fs::create_directory_symlink(rig.dir.path() / "elsewhere", rig.dir.path() / "d");
  rig.Sync(false);
  rig.CopyAll();
  EXPECT_EQ(rig.view.messages, Strings{InTheWay("d")});
  EXPECT_TRUE(fs::is_empty(rig.dir.path() / "elsewhere"));
}
#endif

// The directory view looks rows up by their trimmed text: a name with blanks
// at either end is not found, and says so.
TEST(CopyToComputer, EverySkippedNameIsNamed) {
  DiskRig rig;
  rig.PutFiles({" . ", " .. ", " b "}, "x");
  rig.Sync(false);
  rig.CopyAll();
  EXPECT_EQ(rig.view.messages, (Strings{CantUse("."), CantUse(".."), CantUse("b")}));
  EXPECT_TRUE(ReadTree(rig.dir.path()).empty());
}

}  // namespace
}  // namespace tavo::testing
