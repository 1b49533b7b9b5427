// The commands against an organizer that answers well-formed lines no sane
// server would send: names that become the file system's own, listings
// without end, a word that is neither "found" nor "not found", and a line
// that goes dead in the middle of a directory's deletion.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>

#include "commands/sim_rig.h"
#include "link/exchanges.h"
#include "memofs/checker.h"

namespace tavo::testing {
namespace {

// The command lines the organizer received after `mark` characters of its transcript.
Strings CommandsSince(const sim::Organizer& organizer, std::size_t mark) {
  Strings commands;
  const std::string& transcript = organizer.Transcript();
  for (std::size_t at = mark; at < transcript.size();) {
    const std::size_t end = transcript.find('\n', at);
    const std::string line = transcript.substr(at, end - at);
    at = end + 1;
    bool command = line == "> dir";
    for (const char* word : {"> get ", "> getx ", "> put ", "> del "}) {
      command = command || line.rfind(word, 0) == 0;
    }
    if (command) commands.push_back(line.substr(2));
  }
  return commands;
}

// Raised from the window's event pump when a command outlives any real one.
struct NeverEnds {};

// Runs a command; a command still running after `limit` seconds of the
// link's time is a failure, not a hang. Returns the seconds it took.
double Timed(SimRig& rig, const std::function<void()>& command, double limit = 600) {
  const double started = rig.clock.Now();
  const std::function<void()> user = rig.view.on_pump;
  rig.view.on_pump = [&rig, started, limit, user] {
    if (user) user();
    if (rig.clock.Now() - started > limit) throw NeverEnds{};
  };
  try {
    command();
  } catch (const NeverEnds&) {
    ADD_FAILURE() << "the command was still running after " << limit << " s";
  }
  rig.view.on_pump = user;
  return rig.clock.Now() - started;
}

const char* const kReservedWarning =
    "Warning: Can't use reserved name fs in this directory! This file will not be copied!";

// A memo-view copy computes every title of a file before it sends a piece:
// one that begins with "fs0" would overwrite an index or part of the file
// system ("fs0" is the root index) and hide from the memo view.
TEST(Hostile, MemoCopyRefusesAFileWithAnyTitleOfTheFileSystem) {
  struct Case {
    std::string name;
    std::size_t size;
    Strings titles;  // none: refused
  };
  Strings f00_to_f12;
  for (int piece = 0; piece <= 12; ++piece) {
    f00_to_f12.push_back((piece < 10 ? "f0" : "f") + std::to_string(piece));
  }
  const Case cases[] = {
      {"fs", 1955, {"fs"}},
      {"fs", 1956, {}},   // fs0: the root index
      {"fs", 19559, {}},  // fs0 to fs9
      {"fs", 19560, {}},  // fs00 to fs10
      {"fs", 25000, {}},  // fs00 to fs12, of which fs00 to fs09 the memo view hides
      {"fs1", 3912, {"fs10", "fs11"}},
      {"f", 25000, f00_to_f12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " of " + std::to_string(c.size));
    SimRig rig;
    const std::string root = IndexOf({Dir("A", 0)});
    rig.Put({{"fs0", root}, {"fs0_0", ""}});
    rig.files.files = {{"c:\\" + c.name, AllBytes(c.size)}, {"c:\\z", "z"}};
    rig.Sync();
    rig.EnterMemoView();
    const std::size_t mark = rig.organizer.Transcript().size();
    rig.ToOrganizer({c.name, "z"});
    EXPECT_EQ(rig.view.messages, c.titles.empty() ? Strings{kReservedWarning} : Strings{});
    Strings puts;
    for (const std::string& title : c.titles) puts.push_back("put " + title);
    puts.push_back("put z");
    puts.push_back("dir");
    EXPECT_EQ(CommandsSince(rig.organizer, mark), puts);
    EXPECT_TRUE(rig.Text("fs0") == root) << "the root index was overwritten";
    EXPECT_EQ(rig.organizer.Memos().size(), 3 + c.titles.size());
    EXPECT_TRUE(rig.Settled());
  }
}

// A "dir" that announces more names than an organizer can hold fails at
// once, and Cancel ends a slow listing after the line under way, in the memo
// view as in Synchronize.
TEST(Hostile, ListingsEndAtOnceOrOnCancel) {
  struct Case {
    const char* what;
    const char* hostility;
    bool memo_view;
    double cancel_after;  // 0: no Cancel
    double most_seconds;
  };
  // A paced line, then the flush's half second of quiet.
  constexpr double kAfterCancel = 2 + link::kFlushSilence + 0.1;
  const Case cases[] = {
      {"synchronize, 10^9 names", "count=1000000000,pace=2", false, 0, 1},
      {"memo view, 10^9 names", "count=1000000000,pace=2", true, 0, 1},
      {"memo view, one name too many", "count=1048577,pace=2", true, 0, 1},
      {"memo view, slow names and Cancel", "count=1000,pace=2", true, 11, 11 + kAfterCancel},
      {"synchronize, slow names and Cancel", "count=1000,pace=2", false, 11, 11 + kAfterCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimRig rig;
    rig.Put({{"fs0", ""}, {"m", "memo"}});
    rig.Sync();
    rig.organizer.SetHostility(*sim::ParseHostility(c.hostility));
    if (c.cancel_after > 0) {
      const double started = rig.clock.Now();
      rig.view.on_pump = [&rig, started, c] {
        if (rig.clock.Now() - started >= c.cancel_after) rig.client.RequestStop();
      };
    }
    const double seconds = Timed(rig, [&] {
      if (c.memo_view) {
        ASSERT_EQ(rig.view.organizer.Pick({"<Sharp Memos>"}), 1u);
        rig.client.ListView1_DblClick();
      } else {
        rig.client.Synchronize_Click();
      }
    });
    EXPECT_LE(seconds, c.most_seconds);
    EXPECT_FALSE(rig.client.Synchronized());
    EXPECT_EQ(rig.view.organizer.Texts(), Strings{"unsynchronized ..."});
    EXPECT_TRUE(rig.Settled());
    EXPECT_EQ(rig.organizer.Memos().size(), 2u);
  }
}

using Memos = std::map<std::string, std::string>;
using Changes = std::map<std::string, std::optional<std::string>>;  // nullopt: gone

// A root with a directory A (a file f in it) and a file r.
Memos Tree(bool root, bool index_a) {
  Memos memos{{"fs0_0_0_0", "ff"}, {"fs0_1_0", "rrr"}};
  if (root) memos["fs0"] = IndexOf({Dir("A", 0), File("r", 0, 3, 1)});
  if (index_a) memos["fs0_0"] = IndexOf({File("f", 0, 2, 0)});
  return memos;
}

struct WordCase {
  const char* what;
  bool root, index_a;  // stored
  bool synchronize_first;
  int busy_at;            // exchange of the command answered "busy"; 0 none
  const char* hostility;  // or nothing
  std::function<void(SimRig&)> run;
  bool synchronized;
  Strings commands;
  Changes changes;
};
WordCase Word(const char* what, bool root, bool index_a, bool synchronize_first, int busy_at,
              const char* hostility, std::function<void(SimRig&)> run, bool synchronized,
              Strings commands, Changes changes = {}) {
  return {what,      root,           index_a,      synchronize_first,   busy_at,
          hostility, std::move(run), synchronized, std::move(commands), std::move(changes)};
}

// A whole reply line other than "found" to a "get " of an index reads as
// "no such memo" only when no memo of that name is listed: the root's from
// Synchronize's own "dir", another's from a "dir" on this rare path.
TEST(Hostile, AnUnexpectedWordNeverEmptiesAnIndex) {
  const auto sync = [](SimRig& rig) { rig.client.Synchronize_Click(); };
  const auto enter_a = [](SimRig& rig) { rig.DoubleClick("<A>"); };
  const auto delete_a = [](SimRig& rig) { rig.Delete({"<A>"}); };
  const auto copy_a = [](SimRig& rig) { rig.ToComputer({"<A>"}); };
  const auto new_directory = [](SimRig& rig) {
    rig.view.new_directories = {{1, "New"}};
    rig.client.CreateDir_Click();
  };
  const Strings get_a = {"get fs0_0", "dir"};
  const WordCase cases[] = {
      Word("synchronize, busy to get fs0", true, true, false, 2, nullptr, sync, false,
           {"dir", "get fs0"}),
      Word("synchronize, every get busy", true, true, false, 0, "get=busy", sync, false,
           {"dir", "get fs0"}),
      Word("enter A, busy to its get", true, true, true, 1, nullptr, enter_a, false, get_a),
      Word("delete A, busy to its get", true, true, true, 1, nullptr, delete_a, false, get_a),
      Word("copy A to the computer, busy to its get", true, true, true, 1, nullptr, copy_a, false,
           get_a),
      // A missing index is still created: the root's without an exchange more.
      Word("synchronize, a root never used, busy to get fs0", false, true, false, 2, nullptr, sync,
           true, {"dir", "get fs0", "put fs0"}, {{"fs0", ""}}),
      Word("enter A, its index never stored", true, false, true, 0, nullptr, enter_a, true,
           {"get fs0_0", "dir", "put fs0_0"}, {{"fs0_0", ""}}),
      // A new directory's index only where no memo is: listed, then asked for.
      Word("a new directory's index", true, true, true, 0, nullptr, new_directory, true,
           {"dir", "get fs0_2", "put fs0_2", "put fs0", "get fs0"},
           {{"fs0_2", ""}, {"fs0", IndexOf({Dir("A", 0), Dir("New", 2), File("r", 0, 3, 1)})}}),
  };
  for (const WordCase& c : cases) {
    SCOPED_TRACE(c.what);
    SimRig rig;
    rig.Put(Tree(c.root, c.index_a));
    if (c.synchronize_first) rig.Sync();
    Memos after = rig.organizer.Texts();
    for (const auto& [name, text] : c.changes) {
      if (text) after[name] = *text;
      if (!text) after.erase(name);
    }
    if (c.busy_at > 0) {
      rig.organizer.InjectFault({sim::FaultKind::kBusy, rig.organizer.Exchanges() + c.busy_at});
    }
    if (c.hostility) rig.organizer.SetHostility(*sim::ParseHostility(c.hostility));
    const std::size_t mark = rig.organizer.Transcript().size();
    c.run(rig);
    EXPECT_EQ(CommandsSince(rig.organizer, mark), c.commands);
    EXPECT_EQ(rig.organizer.Texts(), after);
    EXPECT_EQ(rig.client.Synchronized(), c.synchronized);
    EXPECT_TRUE(rig.Settled());
  }
}

// A new directory never takes a number whose index (or anything below it) is
// on the organizer, listed or not: an index nothing names may be all that is
// left of a directory, and writing an empty one over it would lose its files.
TEST(Hostile, ANewDirectoryLeavesEveryMemoThatIsThere) {
  for (const char* hostility : {static_cast<const char*>(nullptr), "count=4"}) {
    SCOPED_TRACE(hostility ? hostility : "whole listing");
    SimRig rig;
    rig.Put(Tree(true, true));
    // A lost directory 2 with a file, and a part of a lost file 3.
    rig.Put({{"fs0_2", IndexOf({File("x", 0, 1, 0)})}, {"fs0_2_0_0", "x"}, {"fs0_3_0", "y"}});
    rig.Sync();
    const Memos before = rig.organizer.Texts();
    // The first four names are "fs0" to "fs0_1_0": fs0_2 is found by its own "get".
    if (hostility) rig.organizer.SetHostility(*sim::ParseHostility(hostility));
    rig.view.new_directories = {{1, "New"}};
    rig.client.CreateDir_Click();
    EXPECT_EQ(rig.view.messages, Strings());
    for (const auto& [name, text] : before) {
      if (name != "fs0") {
        EXPECT_EQ(rig.organizer.Text(name), text) << name;
      }
    }
    const memofs::DirectoryEntry made = Dir("New", hostility ? 3 : 4);
    EXPECT_EQ(rig.Text("fs0"), IndexOf({Dir("A", 0), made, File("r", 0, 3, 1)}));
    EXPECT_EQ(rig.organizer.Text(hostility ? "fs0_3" : "fs0_4"), "");
  }
}

// An index giving directory A and file b one number makes b's part fs0_0_0
// also the index of A's sub-directory: deleting, storing or making a
// directory there is refused, with nothing sent, and so in a damaged A below.
TEST(Hostile, ADamagedIndexIsNeitherDeletedNorStoredIn) {
  const Memos damaged_root{{"fs0", IndexOf({Dir("A", 0), File("b", 0, 5, 0)})},
                           {"fs0_0", IndexOf({Dir("sub", 0)})},
                           {"fs0_0_0", IndexOf({File("f", 0, 1, 0)})},
                           {"fs0_0_0_0_0", "f"}};
  const Memos damaged_a{{"fs0", IndexOf({Dir("A", 0)})},
                        {"fs0_0", IndexOf({Dir("sub", 0), File("b", 0, 5, 0)})},
                        {"fs0_0_0", IndexOf({File("f", 0, 1, 0)})},
                        {"fs0_0_0_0_0", "f"}};
  struct Case {
    const char* what;
    const Memos* memos;
    std::function<void(SimRig&)> run;
  };
  const Case cases[] = {
      {"delete b", &damaged_root, [](SimRig& rig) { rig.Delete({"b"}); }},
      {"delete A", &damaged_root, [](SimRig& rig) { rig.Delete({"<A>"}); }},
      {"delete A, whose index repeats a number", &damaged_a,
       [](SimRig& rig) { rig.Delete({"<A>"}); }},
      {"store a file", &damaged_root, [](SimRig& rig) { rig.ToOrganizer({"new"}); }},
      {"store a directory", &damaged_root, [](SimRig& rig) { rig.ToOrganizer({"<T>"}); }},
      {"make a directory", &damaged_root,
       [](SimRig& rig) {
         rig.view.new_directories = {{1, "New"}};
         rig.client.CreateDir_Click();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimRig rig;
    rig.files.files["c:\\new"] = "new";
    rig.files.directories.insert("c:\\T\\");
    rig.Put(*c.memos);
    rig.Sync();
    const std::size_t mark = rig.organizer.Transcript().size();
    c.run(rig);
    EXPECT_EQ(rig.view.messages, Strings{"Error: Damaged index; run check!"});
    EXPECT_EQ(rig.organizer.Texts(), *c.memos);
    // At most the sound root is written back as it was, as after any directory deletion.
    for (const std::string& command : CommandsSince(rig.organizer, mark)) {
      EXPECT_TRUE(command.rfind("get ", 0) == 0 || command == "dir" ||
                  (c.memos == &damaged_a && command == "put fs0"))
          << command;
    }
    EXPECT_TRUE(rig.Settled());
  }
}

// The memos that the indexes reached from "fs0" name, present or not.
std::set<std::string> Named(const Memos& texts, const std::string& index = "fs0") {
  std::set<std::string> named{index};
  const auto text = texts.find(index);
  if (text == texts.end()) return named;
  for (const memofs::DirectoryEntry& e : memofs::ParseIndexText(text->second)) {
    const std::string stem = memofs::ChildIndexName(index, e.EntryNumber);
    if (e.EntryType == memofs::kTypeDirectory) {
      const std::set<std::string> below = Named(texts, stem);
      named.insert(below.begin(), below.end());
    } else {
      for (int k = 0; k <= e.EntryLastPart; ++k)
        named.insert(memofs::PartName(stem, k, e.EntryLastPart));
    }
  }
  return named;
}

// A directory A with a sub-directory, a file of 14 parts and a small one,
// and a file r beside it that the deletion must not touch.
void SeedDeletion(SimRig& rig) {
  rig.Put({{"fs0", IndexOf({Dir("A", 0), File("r", 0, 3, 1)})},
           {"fs0_0", IndexOf({Dir("B", 0), File("big", 13, 100, 1), File("s", 0, 1, 2)})},
           {"fs0_0_0", IndexOf({File("g", 0, 1, 0)})},
           {"fs0_0_0_0_0", "g"},
           {"fs0_0_2_0", "s"},
           {"fs0_1_0", "rrr"}});
  rig.PutFile("fs0_0", 1, AllBytes(13 * 1956 + 100));
}

// Prints what the simulator's --check says of a store: its summary, problems and orphans.
Strings CheckProgram(const std::string& store) {
  Strings lines;
#ifdef TAVO_SIM_PROGRAM
  const std::string command = std::string(TAVO_SIM_PROGRAM) + " --check '" + store + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return {"cannot run " + command};
  std::string line;
  for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  lines.push_back("exit " + std::to_string(::pclose(pipe)));
#else
  static_cast<void>(store);  // no simulator program on this system
#endif
  return lines;
}

// A line that goes dead in the middle of a directory's deletion leaves memos
// that no index reaches, never an index that names a missing memo. The
// checker lists exactly those memos, so removing them (and deleting A again
// if it is still listed) leaves exactly what there was beside A.
TEST(Hostile, CutOffDirectoryDeleteLeavesOnlyOrphansTheCheckerLists) {
  int exchanges = 0;
  {
    SimRig clean;
    SeedDeletion(clean);
    clean.Sync();
    const int first = clean.organizer.Exchanges();
    clean.Delete({"<A>"});
    exchanges = clean.organizer.Exchanges() - first;
    ASSERT_EQ(clean.organizer.Texts(),
              (Memos{{"fs0", IndexOf({File("r", 0, 3, 1)})}, {"fs0_1_0", "rrr"}}));
  }
  std::size_t most_orphans = 0;
  for (int at = 1; at <= exchanges; ++at) {
    SCOPED_TRACE("hang-up at exchange " + std::to_string(at));
    const std::filesystem::path store =
        std::filesystem::temp_directory_path() / ("tavo-cut-delete-" + std::to_string(::getpid()));
    std::filesystem::remove_all(store);
    {
      SimRig rig(store.string());
      SeedDeletion(rig);
      rig.Sync();
      rig.organizer.InjectFault({sim::FaultKind::kHangUp, rig.organizer.Exchanges() + at});
      rig.Delete({"<A>"});
      EXPECT_TRUE(rig.Settled());
    }
    // What the simulator's --check reads: the store as a restart finds it.
    sim::Organizer organizer(store.string());
    const Memos texts = organizer.Texts();
    const memofs::CheckReport report = memofs::CheckMemoFileSystem(texts);
    EXPECT_EQ(report.problems, Strings());
    Strings unreached;
    const std::set<std::string> named = Named(texts);
    for (const auto& [name, text] : texts) {
      if (named.count(name) == 0) unreached.push_back(name);
    }
    EXPECT_EQ(report.orphans, unreached);
    for (const std::string& orphan : report.orphans) EXPECT_EQ(orphan.rfind("fs0_0", 0), 0u);
    if (report.orphans.size() > most_orphans) {
      most_orphans = report.orphans.size();
      Strings printed{report.Summary()};
      for (const std::string& orphan : report.orphans) printed.push_back("orphan: " + orphan);
      printed.push_back("exit 0");
      const Strings said = CheckProgram(store.string());
      if (!said.empty()) {
        EXPECT_EQ(said, printed);
      }
    }

    // The repair: the orphans go, and a retry deletes what is still listed.
    for (const std::string& orphan : report.orphans) organizer.Remove(orphan);
    {
      SimRig rig(store.string());
      rig.Sync();
      if (rig.view.organizer.Pick({"<A>"}) > 0) rig.client.Delete_Click();
      EXPECT_EQ(rig.organizer.Texts(),
                (Memos{{"fs0", IndexOf({File("r", 0, 3, 1)})}, {"fs0_1_0", "rrr"}}));
    }
    std::filesystem::remove_all(store);
  }
  // The file's 14 parts, unlisted together before the first of them goes.
  EXPECT_GE(most_orphans, 14u);
}

}  // namespace
}  // namespace tavo::testing
