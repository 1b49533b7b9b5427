// Every organizer command against every fault the simulator can inject, and a
// Cancel, at every exchange of the command in turn. Afterwards the command has
// ended in bounded time, no index names a missing memo, no file on either side
// is lost or half written, the pane shows what the organizer holds, and a
// fresh Synchronize and a retry give the right result. A clean run leaves no
// memo that no index reaches.
#include <algorithm>
#include <iostream>
#include <optional>

#include "commands/sim_rig.h"
#include "memofs/checker.h"

namespace tavo::testing {
namespace {

using Picture = std::map<std::string, std::string>;
using Changes = std::map<std::string, std::optional<std::string>>;  // nullopt: gone

// What the user sees of the organizer: each file by its path with its bytes,
// each directory by its path and a closing "\", each plain memo as ":" + name.
Picture OrganizerPicture(const Picture& texts) {
  Picture picture;
  std::function<void(const std::string&, const std::string&)> walk = [&](const std::string& index,
                                                                         const std::string& path) {
    const auto text = texts.find(index);
    if (text == texts.end() || index.size() > memofs::kMaxMemoName) return;
    for (const memofs::DirectoryEntry& e : memofs::ParseIndexText(text->second)) {
      const std::string stem = memofs::ChildIndexName(index, e.EntryNumber);
      if (e.EntryType == memofs::kTypeDirectory) {
        picture[path + e.EntryName + "\\"] = "";
        walk(stem, path + e.EntryName + "\\");
        continue;
      }
      std::string& bytes = picture[path + e.EntryName];
      for (int k = 0; k <= e.EntryLastPart; ++k) {
        const auto part = texts.find(memofs::PartName(stem, k, e.EntryLastPart));
        if (part != texts.end()) bytes += part->second;
      }
    }
  };
  walk(memofs::kRootIndexName, "");
  for (const auto& [name, text] : texts) {
    if (name.rfind(memofs::kRootIndexName, 0) != 0) picture[":" + name] = text;
  }
  return picture;
}

// Each path holds what it held before or what a whole run gives (exact: only the latter).
Strings Compare(const Picture& before, const Picture& after, const Picture& now, bool exact) {
  Picture paths = before;
  paths.insert(after.begin(), after.end());
  paths.insert(now.begin(), now.end());
  const auto at = [](const Picture& p, const std::string& path) {
    const auto it = p.find(path);
    return it == p.end() ? std::optional<std::string>() : it->second;
  };
  Strings broken;
  for (const auto& [path, unused] : paths) {
    const auto value = at(now, path);
    if (value == at(after, path) || (!exact && value == at(before, path))) continue;
    broken.push_back(path + (value ? " holds wrong bytes" : " is missing"));
  }
  return broken;
}

// Synchronized, the pane lists the directory (or the memos) the organizer
// holds now; otherwise it shows the unsynchronized row and takes no clicks. A
// stale table shown as current would invite writes over the real index.
bool PaneAgrees(SimRig& rig, const Picture& texts) {
  const Strings rows = rig.view.organizer.Texts();
  if (!rig.client.Synchronized()) {
    return rows == Strings{"unsynchronized ..."} && !rig.view.pane_enabled;
  }
  std::multiset<std::string> held, shown(rows.begin() + (rows.empty() ? 0 : 1), rows.end());
  if (rig.state.MemoViewActive == 1) {
    for (const auto& [name, text] : texts) {
      if (name.rfind(memofs::kRootIndexName, 0) != 0) held.insert(name);
    }
  } else {
    const auto index = texts.find(rig.state.CurrentIndexName);
    if (index == texts.end()) return false;
    for (const memofs::DirectoryEntry& e : memofs::ParseIndexText(index->second)) {
      held.insert(e.EntryType == memofs::kTypeDirectory ? "<" + e.EntryName + ">" : e.EntryName);
    }
  }
  return rig.view.pane_enabled && held == shown;
}

const std::string kOldR = AllBytes(4000), kNewR = AllBytes(3000).substr(7), kG = AllBytes(1956);

// A root with a directory tree (a file of exactly one full part two levels
// down, stored without its empty last part as other clients do), a file of
// three parts and plain memos, one named like the file system but not its
// own; a computer with a file and a tree to send (one file in it that cannot
// be opened, one that fails part way, after the others so that none takes
// its number over) and old files where copies land.
void Seed(SimRig& rig) {
  rig.Put({{"fs0", IndexOf({Dir("A", 0), File("r", 2, 88, 1)})},
           {"fs0_0", IndexOf({Dir("B", 0), File("f", 0, 5, 1)})},
           {"fs0_0_0", IndexOf({File("g", 1, 0, 0)})},
           {"m1", "memo one"},
           {"m2", "memo two"},
           {"fs", "not the file system's"}});
  rig.PutFile("fs0", 1, kOldR);
  rig.PutFile("fs0_0", 1, "f's 5");
  rig.PutFile("fs0_0_0", 0, kG);
  rig.organizer.Remove("fs0_0_0_0_1");
  rig.files.directories.insert({"c:\\A\\", "c:\\T\\", "c:\\T\\U\\"});
  rig.files.files = {{"c:\\r", kNewR},     {"c:\\A\\f", "old f"},
                     {"c:\\m1", "old m1"}, {"c:\\note.txt", AllBytes(2100)},
                     {"c:\\T\\x", "x's"},  {"c:\\T\\z", AllBytes(5000)},
                     {"c:\\T\\U\\u", "u"}, {"c:\\T\\U\\y", AllBytes(2000)}};
  rig.files.unopenable = {"c:\\T\\U\\u"};
  rig.files.read_fails_after = {{"c:\\T\\z", 2500}};
}

// Selects the rows that still exist and clicks. The focus stays on the first
// row but for a double click: commands act on the selection, the memo view's
// "<..>" included.
std::function<void(SimRig&)> Click(void (commands::Client::*click)(), const Strings& rows = {}) {
  return [=](SimRig& rig) {
    const bool to_organizer = click == &commands::Client::Copy2_Click;
    if (to_organizer) rig.client.ListComputerDirectory();
    FakeView::Pane& pane = to_organizer ? rig.view.computer : rig.view.organizer;
    // Nothing left to delete: the retry has nothing to do.
    if (pane.Pick(rows) == 0 && !rows.empty()) return;
    if (click != &commands::Client::ListView1_DblClick) pane.current = 0;
    rig.view.new_directories = {{1, "New"}};
    (rig.client.*click)();
  };
}

// A command as the user gives it, and what a whole run of it changes.
struct Command {
  const char* name;
  bool memo_view;  // runs there rather than at the synchronized root
  std::function<void(SimRig&)> run;
  Changes changes;  // computer paths begin with "c:"
  Strings rows;     // the organizer pane after a whole run; empty: not looked at
  // Prefixes of memos no index reaches that a cut-off run may leave: parts of
  // a copy to the organizer, and what is left of an item whose entry a
  // deletion took out before it was gone.
  Strings orphans;
};
Command Cmd(const char* name, bool memo_view, std::function<void(SimRig&)> run, Changes changes,
            Strings rows = {}, Strings orphans = {}) {
  return {name, memo_view, std::move(run), std::move(changes), std::move(rows), std::move(orphans)};
}

using C = commands::Client;
const Command kCommands[] = {
    Cmd("synchronize", false, Click(&C::Synchronize_Click), {}, {"<Sharp Memos>", "<A>", "r"}),
    Cmd("enter a directory", false, Click(&C::ListView1_DblClick, {"<A>"}), {},
        {"<..>", "<B>", "f"}),
    Cmd("memo view", false, Click(&C::ListView1_DblClick, {"<Sharp Memos>"}), {},
        {"<..>", "fs", "m1", "m2"}),
    Cmd("copy to the computer", false, Click(&C::Copy1_Click, {"<A>", "r"}),
        {{"c:\\r", kOldR}, {"c:\\A\\f", "f's 5"}, {"c:\\A\\B\\g", kG}}),
    Cmd("copy memos to the computer", true, Click(&C::Copy1_Click, {"m1", "m2"}),
        {{"c:\\m1", "memo one"}, {"c:\\m2", "memo two"}}),
    Cmd("copy to the organizer", false, Click(&C::Copy2_Click, {"<T>", "r"}),
        {{"r", kNewR}, {"T\\", ""}, {"T\\U\\", ""}, {"T\\x", "x's"}, {"T\\U\\y", AllBytes(2000)}},
        {"<Sharp Memos>", "<A>", "<T>", "r"}, {"fs0_1_", "fs0_2", "fs0_3_"}),
    Cmd("copy a memo to the organizer", true, Click(&C::Copy2_Click, {"note.txt"}),
        {{":note.txt0", AllBytes(1956)}, {":note.txt1", AllBytes(2100).substr(1956)}},
        {"<..>", "fs", "m1", "m2", "note.txt0", "note.txt1"}),
    Cmd("delete", false, Click(&C::Delete_Click, {"<A>", "r"}),
        {{"r", {}}, {"A\\", {}}, {"A\\f", {}}, {"A\\B\\", {}}, {"A\\B\\g", {}}}, {"<Sharp Memos>"},
        {"fs0_0", "fs0_1_"}),
    Cmd("delete a memo", true, Click(&C::Delete_Click, {"m1"}), {{":m1", {}}},
        {"<..>", "fs", "m2"}),
    Cmd("create a directory", false, Click(&C::CreateDir_Click), {{"New\\", ""}},
        {"<Sharp Memos>", "<A>", "<New>", "r"}, {"fs0_2"}),
};

// A fault costs the command one reply limit at most (the read it spoils) and
// the flush that ends the command; never a wait per remaining exchange.
constexpr double kFaultCost = link::kReplyLimit + link::kFlushSilence + 1e-6;

struct Timing {
  int exchanges;
  double seconds;  // of virtual time
};

// What the user sees of both sides: the organizer's picture and the computer's files.
Picture Sides(SimRig& rig) {
  Picture sides = OrganizerPicture(rig.organizer.Texts());
  sides.insert(rig.files.files.begin(), rig.files.files.end());
  return sides;
}

// Runs the command with a fault ("cancel": the user's Cancel at the first
// status after that exchange) at exchange `at`, or cleanly without one;
// checks the invariants, then the retry.
Timing RunCase(const Command& c, const char* fault, int at, double clean_seconds) {
  SimRig rig;
  Seed(rig);
  rig.Sync();
  if (c.memo_view) rig.EnterMemoView();
  const Picture before = Sides(rig);
  Picture after = before;
  for (const auto& [path, value] : c.changes) {
    if (value) after[path] = *value;
    if (!value) after.erase(path);
  }
  const int first = rig.organizer.Exchanges();
  if (fault && std::string(fault) == "cancel") {
    rig.view.on_status = [&rig, first, at, done = false](const std::string&) mutable {
      if (done || rig.organizer.Exchanges() - first < at) return;
      done = true;
      rig.client.RequestStop();
    };
  } else if (fault) {
    rig.organizer.InjectFault(*sim::ParseFault(fault + ("@" + std::to_string(first + at))));
  }
  const double started = rig.clock.Now();
  c.run(rig);
  const Timing run{rig.organizer.Exchanges() - first, rig.clock.Now() - started};
  const auto check =
      [&](bool exact) {
        EXPECT_TRUE(rig.Settled())
            << "the command did not end, or left the port, a file or a row in use";
        const Picture texts = rig.organizer.Texts();
        EXPECT_TRUE(PaneAgrees(rig, texts)) << "the pane shows what the organizer does not hold";
        const memofs::CheckReport report = memofs::CheckMemoFileSystem(texts);
        EXPECT_EQ(report.problems, Strings());
        for (const std::string& orphan : report.orphans) {
          bool allowed = false;
          for (const std::string& prefix : c.orphans)
            allowed |= fault && orphan.rfind(prefix, 0) == 0;
          EXPECT_TRUE(allowed) << "orphan " << orphan;
        }
        EXPECT_EQ(Compare(before, after, Sides(rig), exact), Strings());
        if (exact && !c.rows.empty()) {
          EXPECT_EQ(rig.view.organizer.Texts(), c.rows);
        }
      };
  check(!fault);
  EXPECT_LE(run.seconds, clean_seconds + (fault ? kFaultCost : 0));
  if (!fault) return run;

  SCOPED_TRACE("retry");
  rig.view.on_status = nullptr;
  rig.organizer.Restart();
  rig.client.Synchronize_Click();
  EXPECT_TRUE(rig.client.Synchronized()) << "a fresh Synchronize failed";
  if (!rig.client.Synchronized()) return run;
  if (c.memo_view) rig.EnterMemoView();
  c.run(rig);
  check(true);
  return run;
}

TEST(FaultMatrix, EveryCommandEveryFaultEveryExchange) {
  const auto& result = *::testing::UnitTest::GetInstance()->current_test_info()->result();
  int cases = 0, passed = 0;
  for (const Command& c : kCommands) {
    SCOPED_TRACE(c.name);
    const int failures = result.total_part_count();
    const Timing clean = RunCase(c, nullptr, 0, 1e9);
    ASSERT_EQ(result.total_part_count(), failures) << "the clean run failed";
    ASSERT_GT(clean.exchanges, 0);
    for (const char* fault :
         {"cancel", "silence", "garble", "case", "short", "hangup", "full", "drop", "busy"}) {
      // A Cancel may come before the first exchange too.
      for (int at = std::string(fault) == "cancel" ? 0 : 1; at <= clean.exchanges; ++at, ++cases) {
        SCOPED_TRACE(fault + (" at " + std::to_string(at)));
        const int before = result.total_part_count();
        RunCase(c, fault, at, clean.seconds);
        passed += result.total_part_count() == before;
      }
    }
  }
  std::cout << "fault matrix: " << cases << " cases, " << passed << " passed" << std::endl;
}

}  // namespace
}  // namespace tavo::testing
