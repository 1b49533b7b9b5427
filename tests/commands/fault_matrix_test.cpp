// Every organizer command against every fault the simulator can inject, at
// every exchange of the command in turn. Afterwards the command has ended in
// bounded time, no index names a missing memo, no file on either side is lost
// or half written, and a fresh Synchronize and a retry give the right result.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "commands/sim_rig.h"
#include "memofs/checker.h"

namespace tavo::commands {
namespace {

using testing::AllBytes;
using testing::SimRig;
using Picture = std::map<std::string, std::string>;

// What the user sees of the organizer: each file by its path with its bytes,
// each directory by its path and a closing "\", each plain memo as ":" + name.
Picture OrganizerPicture(const std::map<std::string, std::string>& texts) {
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

// Each key of `now` and `before` holds its value from before or from after.
void CompareSide(const char* side, const Picture& before, const Picture& after, const Picture& now,
                 bool exact, std::vector<std::string>& broken) {
  std::set<std::string> keys;
  for (const Picture* p : {&before, &after, &now}) {
    for (const auto& [key, value] : *p) keys.insert(key);
  }
  const auto at = [](const Picture& p, const std::string& key) -> std::optional<std::string> {
    const auto it = p.find(key);
    return it == p.end() ? std::nullopt : std::optional<std::string>(it->second);
  };
  for (const std::string& key : keys) {
    const auto value = at(now, key);
    if (value == at(after, key) || (!exact && value == at(before, key))) continue;
    broken.push_back(
        std::string(side) + " " + key +
        (value ? " holds " + std::to_string(value->size()) + " wrong bytes" : " is missing"));
  }
}

// Synchronized, the pane lists the directory (or the memos) the organizer
// holds now; otherwise it shows the unsynchronized row and takes no clicks. A
// stale table shown as current would invite writes over the real index.
bool PaneAgrees(SimRig& rig, const std::map<std::string, std::string>& texts) {
  if (!rig.client.Synchronized()) {
    return rig.view.organizer.Texts() == std::vector<std::string>{"unsynchronized ..."} &&
           !rig.view.pane_enabled;
  }
  std::multiset<std::string> held, shown;
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
  const std::vector<std::string> rows = rig.view.organizer.Texts();
  shown.insert(rows.begin() + (rows.empty() ? 0 : 1), rows.end());
  return rig.view.pane_enabled && held == shown;
}

// What a failure leaves behind must not spoil later commands: on a copy of
// the organizer, a directory made at the root and one made inside it (whose
// numbers a cut-off copy or deletion may have used) start empty.
std::vector<std::string> LaterDirectoriesStartEmpty(const sim::Organizer& organizer) {
  SimRig later;
  for (const auto& [name, image] : organizer.Memos()) later.organizer.PutImage(name, image);
  later.client.Synchronize_Click();
  std::vector<std::string> broken;
  for (const char* name : {"Z", "Y"}) {
    later.view.new_directories = {{1, name}};
    later.client.CreateDir_Click();
    later.DoubleClick(std::string("<") + name + ">");
    if (later.view.organizer.Texts() != std::vector<std::string>{"<..>"}) {
      broken.push_back(std::string("a new directory ") + name + " is not empty");
    }
  }
  for (const std::string& problem : memofs::CheckMemoFileSystem(later.organizer.Texts()).problems) {
    broken.push_back("checker: " + problem);
  }
  return broken;
}

const std::string kOldR = AllBytes(4000), kNewR = AllBytes(3000).substr(7), kG = AllBytes(1956);

// A root with a directory tree (a file of exactly one full part two levels
// down), a file of three parts and two plain memos; a computer with a file and a
// tree to send and old files where copies land.
void Seed(SimRig& rig) {
  using testing::Dir;
  using testing::File;
  using testing::IndexOf;
  rig.Put({{"fs0", IndexOf({Dir("A", 0), File("r", 2, 88, 1)})},
           {"fs0_0", IndexOf({Dir("B", 0), File("f", 0, 5, 1)})},
           {"fs0_0_0", IndexOf({File("g", 1, 0, 0)})},
           {"m1", "memo one"},
           {"m2", "memo two"}});
  rig.PutFile("fs0", 1, kOldR);
  rig.PutFile("fs0_0", 1, "f's 5");
  rig.PutFile("fs0_0_0", 0, kG);
  rig.organizer.Remove("fs0_0_0_0_1");  // the empty last part other clients leave out
  rig.files.directories.insert({"c:\\A\\", "c:\\T\\", "c:\\T\\U\\"});
  rig.files.files = {{"c:\\r", kNewR},     {"c:\\A\\f", "old f"},
                     {"c:\\m1", "old m1"}, {"c:\\note.txt", AllBytes(2100)},
                     {"c:\\T\\x", "x's"},  {"c:\\T\\U\\y", AllBytes(2000)}};
}

void ToComputer(SimRig& rig, const std::vector<std::string>& rows) {
  rig.view.organizer.Pick(rows);
  rig.client.Copy1_Click();
}
void ToOrganizer(SimRig& rig, const std::vector<std::string>& rows) {
  rig.client.ListComputerDirectory();
  rig.view.computer.Pick(rows);
  rig.client.Copy2_Click();
}
void Delete(SimRig& rig, const std::vector<std::string>& rows) {
  rig.view.organizer.Pick(rows);
  // Nothing left to delete: the retry has nothing to do.
  if (std::find(rig.view.organizer.selected.begin(), rig.view.organizer.selected.end(), true) ==
      rig.view.organizer.selected.end()) {
    return;
  }
  rig.client.Delete_Click();
}
void MemoView(SimRig& rig) { rig.EnterMemoView(); }

// A command as the user gives it, and what a whole run of it changes.
struct Command {
  const char* name;
  std::function<void(SimRig&)> run;  // selects what still exists and clicks
  std::function<void(Picture& organizer, Picture& computer)> changes = [](Picture&, Picture&) {};
  std::vector<std::string> rows = {};  // the organizer pane after a whole run; empty: not looked at
  std::function<void(SimRig&)> go = [](SimRig&) {};  // from the synchronized root to where it runs
  // File system memos it may leave that no index reaches: parts of a copy to
  // the organizer that was cut off, and what is left of an item whose entry a
  // deletion took out before it was gone. Prefixes of memo names.
  std::vector<std::string> orphans = {};
};

const Command kCommands[] = {
    {.name = "synchronize",
     .run = [](SimRig& rig) { rig.client.Synchronize_Click(); },
     .rows = {"<Sharp Memos>", "<A>", "r"}},
    {.name = "enter a directory",
     .run = [](SimRig& rig) { rig.DoubleClick("<A>"); },
     .rows = {"<..>", "<B>", "f"}},
    {.name = "memo view",
     .run = [](SimRig& rig) { rig.DoubleClick("<Sharp Memos>"); },
     .rows = {"<..>", "m1", "m2"}},
    {.name = "copy a file to the computer",
     .run = [](SimRig& rig) { ToComputer(rig, {"r"}); },
     .changes = [](Picture&, Picture& pc) { pc["c:\\r"] = kOldR; }},
    {.name = "copy a tree to the computer",
     .run = [](SimRig& rig) { ToComputer(rig, {"<A>"}); },
     .changes =
         [](Picture&, Picture& pc) {
           pc["c:\\A\\f"] = "f's 5";
           pc["c:\\A\\B\\g"] = kG;
         }},
    {.name = "copy a memo to the computer",
     .run = [](SimRig& rig) { ToComputer(rig, {"m1"}); },
     .changes = [](Picture&, Picture& pc) { pc["c:\\m1"] = "memo one"; },
     .go = MemoView},
    {.name = "copy a file to the organizer",
     .run = [](SimRig& rig) { ToOrganizer(rig, {"r"}); },
     .changes = [](Picture& org, Picture&) { org["r"] = kNewR; },
     .rows = {"<Sharp Memos>", "<A>", "r"},
     .orphans = {"fs0_1_", "fs0_2_"}},
    {.name = "copy a tree to the organizer",
     .run = [](SimRig& rig) { ToOrganizer(rig, {"<T>"}); },
     .changes =
         [](Picture& org, Picture&) {
           org["T\\"] = org["T\\U\\"] = "";
           org["T\\x"] = "x's";
           org["T\\U\\y"] = AllBytes(2000);
         },
     .rows = {"<Sharp Memos>", "<A>", "<T>", "r"},
     .orphans = {"fs0_2"}},
    {.name = "copy a memo to the organizer",
     .run = [](SimRig& rig) { ToOrganizer(rig, {"note.txt"}); },
     .changes =
         [](Picture& org, Picture&) {
           org[":note.txt0"] = AllBytes(1956);
           org[":note.txt1"] = AllBytes(2100).substr(1956);
         },
     .rows = {"<..>", "m1", "m2", "note.txt0", "note.txt1"},
     .go = MemoView},
    {.name = "delete a file",
     .run = [](SimRig& rig) { Delete(rig, {"r"}); },
     .changes = [](Picture& org, Picture&) { org.erase("r"); },
     .rows = {"<Sharp Memos>", "<A>"},
     .orphans = {"fs0_1_"}},
    {.name = "delete a tree",
     .run = [](SimRig& rig) { Delete(rig, {"<A>"}); },
     .changes =
         [](Picture& org, Picture&) {
           for (const char* key : {"A\\", "A\\f", "A\\B\\", "A\\B\\g"}) org.erase(key);
         },
     .rows = {"<Sharp Memos>", "r"},
     .orphans = {"fs0_0"}},
    {.name = "delete a memo",
     .run = [](SimRig& rig) { Delete(rig, {"m1"}); },
     .changes = [](Picture& org, Picture&) { org.erase(":m1"); },
     .rows = {"<..>", "m2"},
     .go = MemoView},
    {.name = "create a directory",
     .run =
         [](SimRig& rig) {
           rig.view.new_directories = {{1, "New"}};
           rig.client.CreateDir_Click();
         },
     .changes = [](Picture& org, Picture&) { org["New\\"] = ""; },
     .rows = {"<Sharp Memos>", "<A>", "<New>", "r"},
     .orphans = {"fs0_2"}},
};

struct FaultName {
  sim::FaultKind kind;
  const char* word;
};
constexpr FaultName kFaults[] = {
    {sim::FaultKind::kSilence, "silence"}, {sim::FaultKind::kGarble, "garble"},
    {sim::FaultKind::kOtherCase, "case"},  {sim::FaultKind::kShortBlock, "short"},
    {sim::FaultKind::kHangUp, "hangup"},   {sim::FaultKind::kFull, "full"},
    {sim::FaultKind::kDropReply, "drop"}};

// A fault costs the command one reply limit at most (the read it spoils) and
// the flush that ends the command; never a wait per remaining exchange.
constexpr double kFaultCost = link::kReplyLimit + link::kFlushSilence + 1e-6;

struct Outcome {
  std::vector<std::string> broken;  // the invariants that did not hold
  int exchanges = 0;
  double seconds = 0;  // of virtual time
};

// Runs the command with a fault at exchange `at` (none: a clean run), checks
// the invariants, then the retry.
Outcome RunCase(const Command& c, const FaultName* fault, int at, double clean_seconds) {
  SimRig rig;
  Seed(rig);
  rig.Sync();
  c.go(rig);
  const Picture org_before = OrganizerPicture(rig.organizer.Texts());
  const Picture pc_before = rig.files.files;
  Picture org_after = org_before, pc_after = pc_before;
  c.changes(org_after, pc_after);

  const int first = rig.organizer.Exchanges();
  if (fault) rig.organizer.InjectFault({fault->kind, first + at});
  const double started = rig.clock.Now();
  c.run(rig);
  Outcome outcome;
  outcome.seconds = rig.clock.Now() - started;
  outcome.exchanges = rig.organizer.Exchanges() - first;
  std::vector<std::string>& broken = outcome.broken;
  std::string when;
  const auto expect = [&](bool ok, const std::string& what) {
    if (!ok) broken.push_back(when + what);
  };
  const auto check_store = [&](bool exact) {
    expect(!rig.client.Busy() && !rig.view.status_loaded && rig.view.main_enabled,
           "the command did not end");
    expect(!rig.link.IsOpen(), "the port stayed open");
    expect(rig.files.open_outputs == 0, "a computer file stayed open");
    expect(rig.view.bad_rows == 0, "rows the pane does not have were used");
    const auto texts = rig.organizer.Texts();
    expect(PaneAgrees(rig, texts), "the pane shows what the organizer does not hold");
    const memofs::CheckReport report = memofs::CheckMemoFileSystem(texts);
    for (const std::string& problem : report.problems) expect(false, "checker: " + problem);
    for (const std::string& orphan : report.orphans) {
      bool allowed = false;
      for (const std::string& prefix : c.orphans) allowed |= orphan.rfind(prefix, 0) == 0;
      expect(allowed, "orphan " + orphan);
    }
    std::vector<std::string> sides;
    CompareSide("organizer", org_before, org_after, OrganizerPicture(texts), exact, sides);
    CompareSide("computer", pc_before, pc_after, rig.files.files, exact, sides);
    for (const std::string& side : sides) expect(false, side);
  };
  check_store(!fault);
  expect(outcome.seconds <= clean_seconds + (fault ? kFaultCost : 0),
         "took " + std::to_string(outcome.seconds) + " s");
  if (!fault) {
    expect(c.rows.empty() || rig.view.organizer.Texts() == c.rows, "wrong pane rows");
    return outcome;
  }

  for (const std::string& later : LaterDirectoriesStartEmpty(rig.organizer)) {
    broken.push_back("later: " + later);
  }

  when = "retry: ";
  rig.organizer.Restart();
  rig.client.Synchronize_Click();
  if (!rig.client.Synchronized()) {
    broken.push_back("a fresh Synchronize failed");
    return outcome;
  }
  c.go(rig);
  c.run(rig);
  check_store(true);
  expect(c.rows.empty() || rig.view.organizer.Texts() == c.rows, "wrong pane rows");
  return outcome;
}

TEST(FaultMatrix, EveryCommandEveryFaultEveryExchange) {
  int cases = 0, passed = 0;
  for (const Command& c : kCommands) {
    const Outcome clean = RunCase(c, nullptr, 0, 1e9);
    ASSERT_TRUE(clean.broken.empty()) << c.name << ": " << clean.broken.front();
    ASSERT_GT(clean.exchanges, 0) << c.name;
    for (const FaultName& fault : kFaults) {
      for (int at = 1; at <= clean.exchanges; ++at) {
        ++cases;
        const std::string id =
            std::string(c.name) + ", " + fault.word + " at " + std::to_string(at);
        const std::vector<std::string> broken = RunCase(c, &fault, at, clean.seconds).broken;
        if (broken.empty()) {
          ++passed;
          continue;
        }
        std::ostringstream all;
        for (const std::string& b : broken) all << "\n  " << b;
        ADD_FAILURE() << id << all.str();
      }
    }
  }
  std::cout << "fault matrix: " << cases << " cases, " << passed << " passed" << std::endl;
}

}  // namespace
}  // namespace tavo::commands
