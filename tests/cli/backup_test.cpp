// tavo-cli backup, restore and check against the simulated organizer: a
// round trip of hostile names and every byte value that comes back memo for
// memo; a hang-up and a Ctrl-C at every exchange of a small restore, after
// which check --repair leaves a clean store and the restore can be run again;
// the live check on hand-made damage.
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "cli/cli_rig.h"
#include "memofs/directory_table.h"

namespace tavo::testing {
namespace {

using Rows = std::vector<memofs::DirectoryEntry>;

// Stores a file's parts as the client does (an empty last part included) and
// adds its row.
void PutFile(sim::Organizer& o, Rows& rows, const std::string& index, const std::string& name,
             int number, const std::string& data) {
  rows.push_back(File(name, static_cast<int>(data.size() / memofs::kPartSize),
                      static_cast<int>(data.size() % memofs::kPartSize), number));
  testing::PutFile(o, index, number, data);
}

std::string Bytes(int from, int to, const std::string& without = "") {
  std::string out;
  for (int b = from; b <= to; ++b) {
    if (without.find(static_cast<char>(b)) == std::string::npos) out += static_cast<char>(b);
  }
  return out;
}

// Hostile names at the root, a tree as deep as index names allow (a file
// at the deepest level a part name fits), and plain memos.
void MakeHostileStore(sim::Organizer& o) {
  Rows root;
  const std::pair<std::string, std::string> files[] = {
      {"a/b", AllBytes(256)},
      {"a\\b", ""},
      {".", AllBytes(1956)},
      {"..", AllBytes(3912)},
      {"  lead", "x"},
      {"trail  ", AllBytes(2000)},
      {Bytes(1, 31, "\n\r"), AllBytes(700)},
      {Bytes(128, 254), AllBytes(5000)},
      {"abcdefghijklmnopqrst", "twenty"},
      {"CON", "device"},
      {"notes..txt", "dots inside"},
      {"...", "dots only"},
      {"..a", "dots first"},
      {Bytes(32, 126), "printable"},
      {"Notes", "upper"},
      {"notes", "lower"},
  };
  int number = 0;
  for (const auto& [name, data] : files) PutFile(o, root, "fs0", name, number++, data);
  root.push_back(Dir("deep", 20));
  // A directory and a file of one name, as an index may hold them.
  PutFile(o, root, "fs0", "twin", 30, "file");
  root.push_back(Dir("twin", 21));
  o.PutText("fs0_21", "");
  // Directories whose names differ in case only, each with a file of one name.
  for (const auto& [name, at] : {std::pair<std::string, int>{"Docs", 22}, {"docs", 23}}) {
    root.push_back(Dir(name, at));
    Rows rows;
    PutFile(o, rows, "fs0_" + std::to_string(at), "x", 0, name);
    o.PutText("fs0_" + std::to_string(at), IndexOf(rows));
  }
  o.PutText("fs0", IndexOf(root));
  std::string index = "fs0_20";
  for (int level = 1; memofs::ChildIndexName(index, 0).size() <= memofs::kMaxMemoName; ++level) {
    Rows rows{Dir("d", 0)};
    if (memofs::PartName(memofs::ChildIndexName(index, 1), 0, 0).size() <= memofs::kMaxMemoName) {
      PutFile(o, rows, index, "f" + std::to_string(level), 1, AllBytes(300));
    }
    o.PutText(index, IndexOf(rows));
    index = memofs::ChildIndexName(index, 0);
  }
  o.PutText(index, "");
  o.PutText("memo one", AllBytes(256));
  o.PutText("TODO", "upper");
  o.PutText("todo", "lower");
  o.PutText("fs0 ideas", "a plain memo, whatever its start");
  o.PutText("m" + Bytes(128, 140) + "\x01", "short");
}

// Names in one directory that a disk which folds case would take for one.
Strings CaseTwins(const fs::path& root) {
  Strings twins;
  std::map<fs::path, std::set<std::string>> seen;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!seen[entry.path().parent_path()]
             .insert(memofs::UpperCase(entry.path().filename()))
             .second) {
      twins.push_back(entry.path().string());
    }
  }
  return twins;
}

void Clear(sim::Organizer& o) {
  for (const auto& [name, image] : o.Memos()) o.Remove(name);
}

// The manifest without the fields that say where an entry lay (index and
// number), which a restore over existing entries may change.
std::string Placeless(const std::string& manifest) {
  std::istringstream in(manifest);
  std::string line, out;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind, index, entry, rest;
    fields >> kind >> index >> entry;
    std::getline(fields, rest);
    out += kind + rest + "\n";
  }
  return out;
}

TEST(CliBackup, RoundTripOfHostileNames) {
  Bench bench;
  MakeHostileStore(bench.organizer);
  ASSERT_TRUE(memofs::CheckMemoFileSystem(bench.organizer.Texts()).Clean())
      << memofs::CheckMemoFileSystem(bench.organizer.Texts()).Summary();
  const auto original = bench.organizer.Memos();
  const Outcome first = bench.Run({"backup", "--verify", "B1"});
  ASSERT_EQ(first.status, 0) << first.err;
  // Names the computer cannot hold are escaped; the data is there as it was.
  const std::pair<const char*, std::string> on_disk[] = {
      {"B1/tree/a%2Fb", AllBytes(256)},
      {"B1/tree/a%5Cb", ""},
      {"B1/tree/%2E", AllBytes(1956)},
      {"B1/tree/%2E%2E", AllBytes(3912)},
      {"B1/tree/%20 lead", "x"},
      {"B1/tree/%43ON", "device"},
      {"B1/tree/twin%~2", "file"},
      {"B1/memos/memo one", AllBytes(256)},
      {"B1/tree/notes..txt", "dots inside"},
      {"B1/tree/%2E%2E%2E", "dots only"},
      {"B1/tree/..a", "dots first"},
      {"B1/tree/Docs/x", "Docs"},
      {"B1/tree/docs%~2/x", "docs"},
      {"B1/tree/notes%~2", "lower"},
      {"B1/memos/todo%~2", "lower"},
      {"B1/memos/fs0 ideas", "a plain memo, whatever its start"}};
  for (const auto& [path, data] : on_disk) EXPECT_EQ(bench.start.Get(path), data) << path;
  // Nothing that a disk which folds case (FAT, NTFS, macOS) would merge.
  EXPECT_EQ(CaseTwins(bench.start.path() / "B1"), Strings());
  EXPECT_NE(bench.Run({"memos", "ls"}).out.find("\nfs0 ideas\n"), std::string::npos);

  Clear(bench.organizer);
  std::map<std::string, int> puts;
  bench.on_line = [&](const std::string& line) {
    if (line.rfind("> put ", 0) == 0) ++puts[line.substr(6, line.size() - 7)];
  };
  const Outcome restored = bench.Run({"restore", "B1"});
  bench.on_line = nullptr;
  ASSERT_EQ(restored.status, 0) << restored.err;
  EXPECT_EQ(bench.organizer.Memos(), original);  // every memo, index and part alike
  // Onto an empty organizer every memo is stored once, each new directory's
  // index included. The root is made first and written at the end (its
  // index is too large for its batch to fill before).
  for (const auto& [name, count] : puts) EXPECT_EQ(count, name == "fs0" ? 2 : 1) << name;
  const Outcome second = bench.Run({"backup", "B2"});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(bench.start.Get("B2/manifest"), bench.start.Get("B1/manifest"));

  // A second backup into B1 replaces it whole; a changed file is not restored.
  bench.start.Put("B2/tree/a%2Fb", "changed");
  Clear(bench.organizer);
  const Outcome changed = bench.Run({"restore", "B2"});
  EXPECT_EQ(changed.status, 1);
  EXPECT_NE(changed.err.find("/a\\/b: changed since the backup"), std::string::npos) << changed.err;
  EXPECT_EQ(bench.organizer.Memos().size(), original.size() - 1);
  EXPECT_EQ(bench.Problems(), Strings());
}

// A backup that does not finish leaves the earlier one as it was.
TEST(CliBackup, AnInterruptedBackupLeavesTheEarlierOne) {
  Bench bench;
  MakeHostileStore(bench.organizer);
  ASSERT_EQ(bench.Run({"backup", "B"}).status, 0);
  const std::string manifest = bench.start.Get("B/manifest");
  bench.organizer.PutText("memo two", "new");
  bench.organizer.InjectFault({sim::FaultKind::kHangUp, bench.organizer.Exchanges() + 6});
  const Outcome cut = bench.Run({"backup", "B"});
  EXPECT_EQ(cut.status, 3) << cut.err;
  EXPECT_EQ(bench.start.Get("B/manifest"), manifest);
  EXPECT_FALSE(fs::exists(bench.start.path() / "B.partial/manifest"));
  bench.organizer.Restart();
  int reads = 0;
  bench.on_line = [&](const std::string& line) {
    if (line.rfind("> getx ", 0) == 0 && ++reads == 3 && bench.child != 0) {
      ::kill(bench.child, SIGINT);
    }
  };
  const Outcome stopped = bench.Run({"backup", "B"});
  bench.on_line = nullptr;
  EXPECT_EQ(stopped.status, 130) << stopped.err;  // as a shell expects after SIGINT
  EXPECT_EQ(bench.start.Get("B/manifest"), manifest);
  EXPECT_FALSE(fs::exists(bench.start.path() / "B.partial"));  // nothing half made stays
  EXPECT_NE(stopped.err.find("tavo-cli: backup: not complete; the earlier backup in B stands\n"),
            std::string::npos)
      << stopped.err;
  // On a terminal the message does not join the progress line.
  reads = 0;
  bench.terminal = true;
  bench.on_line = [&](const std::string& line) {
    if (line.rfind("> getx ", 0) == 0 && ++reads == 3 && bench.child != 0) {
      ::kill(bench.child, SIGINT);
    }
  };
  const Outcome shown = bench.Run({"backup", "B"});
  bench.on_line = nullptr;
  bench.terminal = false;
  const std::size_t said = shown.err.find("tavo-cli: backup: not complete");
  ASSERT_NE(said, std::string::npos) << shown.err;
  EXPECT_NE(shown.err.find("copying"), std::string::npos) << shown.err;
  EXPECT_EQ(shown.err.substr(said - 4, 4), "\r\x1b[K") << shown.err;
  ASSERT_EQ(bench.Run({"backup", "B"}).status, 0);
  EXPECT_NE(bench.start.Get("B/manifest"), manifest);
  EXPECT_FALSE(fs::exists(bench.start.path() / "B.partial"));
  // Something else in the way is never replaced.
  fs::create_directory(bench.start.path() / "other");
  bench.start.Put("other/file", "mine");
  EXPECT_EQ(bench.Run({"backup", "other"}).status, 1);
  EXPECT_EQ(bench.start.Get("other/file"), "mine");
}

void MakeSmallStore(sim::Organizer& o);

// The directory a second backup replaces is only ever the earlier backup: a
// user's DIR.old is not touched, a link to a backup stays a link.
TEST(CliBackup, ABackupReplacesOnlyTheEarlierOne) {
  Bench bench;
  MakeSmallStore(bench.organizer);
  ASSERT_EQ(bench.Run({"backup", "B"}).status, 0);
  fs::create_directory(bench.start.path() / "B.old");
  bench.start.Put("B.old/thesis", "mine");
  bench.organizer.PutText("memo two", "new");
  const Outcome second = bench.Run({"backup", "B"});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(bench.start.Get("B.old/thesis"), "mine");
  EXPECT_EQ(bench.start.Get("B/memos/memo two"), "new");
  Strings left;
  for (const auto& entry : fs::directory_iterator(bench.start.path())) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (Strings{"B", "B.old", "tavo_c.cfg"}));

  TempDir other_disk;
  fs::create_directory_symlink(bench.start.path() / "B", bench.start.path() / "L");
  bench.organizer.PutText("memo three", "newer");
  const Outcome linked = bench.Run({"backup", "--verify", "L"});
  ASSERT_EQ(linked.status, 0) << linked.err;
  EXPECT_TRUE(fs::is_symlink(bench.start.path() / "L"));
  EXPECT_EQ(bench.start.Get("B/memos/memo three"), "newer");
  fs::remove(bench.start.path() / "L");
  fs::create_directory_symlink(other_disk.path() / "none", bench.start.path() / "L");
  EXPECT_EQ(bench.Run({"backup", "L"}).status, 1);
  EXPECT_TRUE(fs::is_symlink(bench.start.path() / "L"));
}

// A backup with an item left out, or from a listing that left out the root
// index, never replaces a complete one: it is kept as DIR.incomplete, or
// under the next name when that one is not Tavo's.
TEST(CliBackup, AnIncompleteBackupIsKeptBeside) {
  Bench bench;
  MakeSmallStore(bench.organizer);
  ASSERT_EQ(bench.Run({"backup", "B"}).status, 0);
  const std::string manifest = bench.start.Get("B/manifest");
  const std::string part = *bench.organizer.Text("fs0_0_1");
  bench.organizer.Remove("fs0_0_1");
  for (int run = 0; run < 2; ++run) {  // the second replaces the first incomplete one
    const Outcome cut = bench.Run({"backup", "B"});
    EXPECT_EQ(cut.status, 1) << cut.err;
    EXPECT_NE(cut.err.find("/a: its part memo fs0_0_1 is missing"), std::string::npos) << cut.err;
    EXPECT_NE(cut.err.find("tavo-cli: backup: not complete (an item failed); kept in "
                           "B.incomplete, the earlier backup in B stands\n"),
              std::string::npos)
        << cut.err;
    EXPECT_EQ(bench.start.Get("B/manifest"), manifest);
    EXPECT_EQ(bench.start.Get("B/tree/a"), AllBytes(3000));
    EXPECT_EQ(bench.start.Get("B.incomplete/tree/b"), "bee");
    EXPECT_FALSE(fs::exists(bench.start.path() / "B.incomplete/tree/a"));
  }
  fs::remove_all(bench.start.path() / "B.incomplete");
  fs::create_directory(bench.start.path() / "B.incomplete");
  bench.start.Put("B.incomplete/own", "mine");
  const Outcome beside = bench.Run({"backup", "B"});
  EXPECT_NE(beside.err.find("kept in B.incomplete-2,"), std::string::npos) << beside.err;
  EXPECT_EQ(bench.start.Get("B.incomplete/own"), "mine");

  // "dir" without fs0: the root's own "get" finds it, and the listing is doubted.
  bench.organizer.PutText("fs0_0_1", part);
  bench.organizer.SetHostility(*sim::ParseHostility("hide=fs0"));
  fs::remove_all(bench.start.path() / "B.incomplete-2");
  const Outcome hidden = bench.Run({"backup", "B"});
  EXPECT_EQ(hidden.status, 1) << hidden.err;
  EXPECT_NE(hidden.err.find("/: the organizer's listing left out the root index fs0"),
            std::string::npos)
      << hidden.err;
  EXPECT_EQ(bench.start.Get("B/manifest"), manifest);
  EXPECT_EQ(bench.start.Get("B.incomplete-2/manifest"), manifest);
  // An organizer whose file system was never used has no root to find.
  Clear(bench.organizer);
  bench.organizer.PutText("plain", "memo");
  const Outcome unused = bench.Run({"backup", "U"});
  EXPECT_EQ(unused.status, 0) << unused.err;
  EXPECT_EQ(bench.start.Get("U/memos/plain"), "memo");
}

void MakeSmallStore(sim::Organizer& o) {
  Rows root, sub;
  PutFile(o, root, "fs0", "a", 0, AllBytes(3000));
  PutFile(o, root, "fs0", "b", 1, "bee");
  root.push_back(Dir("d", 2));
  PutFile(o, sub, "fs0_2", "c", 0, AllBytes(100));
  o.PutText("fs0", IndexOf(root));
  o.PutText("fs0_2", IndexOf(sub));
  o.PutText("plain", "memo");
}

// A backup directory is read as backup wrote it or not at all: no file
// through a link, no device or fifo, no manifest cut short.
TEST(CliBackup, TamperedBackupsAreRefused) {
  Bench bench;
  MakeSmallStore(bench.organizer);
  ASSERT_EQ(bench.Run({"backup", "B"}).status, 0);
  TempDir outside;
  outside.Put("bee", "bee");  // what the manifest's hash of /b says
  const auto lines_cut = [](const fs::path& manifest, int drop, const std::string& add) {
    std::ifstream in(manifest);
    Strings lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::ofstream out(manifest, std::ios::trunc);
    for (std::size_t i = 0; i + drop < lines.size(); ++i) out << lines[i] << "\n";
    out << add;
  };
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> tamper;
    std::string says;
  };
  const Case cases[] = {
      {"a link to a file of the same bytes",
       [&](const fs::path& d) {
         fs::remove(d / "tree/b");
         fs::create_symlink(outside.path() / "bee", d / "tree/b");
       },
       "/b: not a regular file in the backup"},
      {"a link to a device",
       [](const fs::path& d) {
         fs::remove(d / "tree/a");
         fs::create_symlink("/dev/zero", d / "tree/a");
       },
       "/a: not a regular file in the backup"},
      {"a fifo",
       [](const fs::path& d) {
         fs::remove(d / "tree/b");
         ASSERT_EQ(::mkfifo((d / "tree/b").c_str(), 0600), 0);
       },
       "/b: not a regular file in the backup"},
      {"a directory through a link",
       [&](const fs::path& d) {
         fs::rename(d / "tree/d", outside.path() / "d");
         fs::create_directory_symlink(outside.path() / "d", d / "tree/d");
       },
       "/d/c: not a regular file in the backup"},
      {"a manifest that is a link",
       [](const fs::path& d) {
         fs::remove(d / "manifest");
         fs::create_symlink("/dev/zero", d / "manifest");
       },
       "no backup here"},
      {"a manifest cut at a line end", [&](const fs::path& d) { lines_cut(d / "manifest", 2, ""); },
       "the manifest is cut short (no \"end\" line after line 5)"},
      {"an end that miscounts", [&](const fs::path& d) { lines_cut(d / "manifest", 2, "end 5\n"); },
       "manifest line 6 does not count the lines before it"},
      {"a path that climbs out",
       [&](const fs::path& d) {
         lines_cut(d / "manifest", 1, "f fs0 9 1 3 - /78 tree/../../x\nend 6\n");
       },
       "manifest line 7 cannot be read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path copy = bench.start.path() / "T";
    fs::remove_all(copy);
    fs::copy(bench.start.path() / "B", copy, fs::copy_options::recursive);
    c.tamper(copy);
    Clear(bench.organizer);
    const Outcome restored = bench.Run({"restore", "T"});
    EXPECT_EQ(restored.status, 1) << restored.err;
    EXPECT_NE(restored.err.find(c.says), std::string::npos) << restored.err;
    if (c.says.find("/b:") == 0) {
      for (const auto& [name, text] : bench.organizer.Texts()) EXPECT_NE(text, "bee") << name;
    }
    // A manifest not read whole restores nothing.
    if (c.says.find('/') != 0) {
      EXPECT_TRUE(bench.organizer.Memos().empty());
    }
  }
}

// A hang-up at every exchange of a restore, and a Ctrl-C after every "put ":
// no index names a missing memo, check --repair takes the orphans away, and
// the restore run again completes.
TEST(CliBackup, InterruptedRestoreIsRepairedAndRerun) {
  Bench bench;
  MakeSmallStore(bench.organizer);
  ASSERT_EQ(bench.Run({"backup", "B"}).status, 0);
  const std::string manifest = Placeless(bench.start.Get("B/manifest"));
  for (const bool hang_up : {true, false}) {
    for (int at = 1;; ++at) {
      SCOPED_TRACE((hang_up ? "hang-up at exchange " : "Ctrl-C after put ") + std::to_string(at));
      Clear(bench.organizer);
      int puts = 0;
      if (hang_up) {
        bench.organizer.InjectFault({sim::FaultKind::kHangUp, bench.organizer.Exchanges() + at});
      } else {
        bench.on_line = [&](const std::string& line) {
          if (line.rfind("> put ", 0) == 0 && ++puts == at && bench.child != 0) {
            ::kill(bench.child, SIGINT);
          }
        };
      }
      const Outcome cut = bench.Run({"restore", "B"});
      bench.on_line = nullptr;
      bench.organizer.Restart();
      EXPECT_EQ(bench.Problems(), Strings());
      if (cut.status == 0) break;  // past the last exchange
      EXPECT_EQ(cut.status, hang_up ? 3 : 130) << cut.err;
      const Outcome repaired = bench.Run({"check", "--repair", "--yes"});
      EXPECT_NE(repaired.status, 3) << repaired.err;
      const memofs::CheckReport report = memofs::CheckMemoFileSystem(bench.organizer.Texts());
      EXPECT_TRUE(report.Clean() && report.orphans.empty()) << report.Summary();
      const Outcome rerun = bench.Run({"--force", "restore", "B"});
      ASSERT_EQ(rerun.status, 0) << rerun.err;
      ASSERT_EQ(bench.Run({"backup", "again"}).status, 0);
      EXPECT_EQ(Placeless(bench.start.Get("again/manifest")), manifest);
      EXPECT_EQ(bench.Run({"check", "--deep"}).out,
                "2 directories, 3 files, 4 parts, 0 problems, 0 orphans\n");
    }
  }
}

// A restore writes a directory's index once per batch, not once per file,
// and the batches keep index bytes a small share of what is sent. With the
// 40 notes two new directories down, a hang-up before the last write loses
// no more than the batch under way: what was written is named from the root.
TEST(CliBackup, RestoreWritesTheIndexOncePerBatch) {
  Bench bench;
  Rows notes;
  std::size_t file_bytes = 0;
  for (int i = 0; i < 40; ++i) {
    const std::string data = AllBytes(200 + static_cast<std::size_t>(i * 677 % 1601));
    PutFile(bench.organizer, notes, "fs0_0_0", "n" + std::to_string(i), i, data);
    file_bytes += data.size();
  }
  bench.organizer.PutText("fs0_0_0", IndexOf(notes));
  bench.organizer.PutText("fs0_0", IndexOf({Dir("b", 0)}));
  bench.organizer.PutText("fs0", IndexOf({Dir("a", 0)}));
  ASSERT_EQ(bench.Run({"backup", "B"}).status, 0);
  const auto original = bench.organizer.Memos();
  Clear(bench.organizer);
  int index_writes = 0;
  std::size_t index_bytes = 0;
  bool next_is_index = false;
  bench.on_line = [&](const std::string& line) {
    if (next_is_index && line.rfind("> ", 0) == 0 && line.find("put") == std::string::npos) {
      next_is_index = false;  // the length line
      index_bytes += static_cast<std::size_t>(std::stoul(line.substr(2)));
    }
    if (line == "> put fs0_0_0\n") {
      ++index_writes;
      next_is_index = true;
    }
  };
  const int first = bench.organizer.Exchanges();
  ASSERT_EQ(bench.Run({"restore", "B"}).status, 0);
  const int exchanges = bench.organizer.Exchanges() - first;
  bench.on_line = nullptr;
  EXPECT_EQ(bench.organizer.Memos(), original);
  EXPECT_GE(index_writes, 2);
  EXPECT_LE(index_writes, 10);
  EXPECT_LT(index_bytes * 15, file_bytes) << index_writes << " writes";

  Clear(bench.organizer);
  bench.organizer.InjectFault(
      {sim::FaultKind::kHangUp, bench.organizer.Exchanges() + exchanges - 3});
  EXPECT_EQ(bench.Run({"restore", "B"}).status, 3);
  EXPECT_EQ(bench.Problems(), Strings());
  const auto texts = bench.organizer.Texts();
  EXPECT_EQ(texts.at("fs0"), IndexOf({Dir("a", 0)}));
  EXPECT_EQ(texts.at("fs0_0"), IndexOf({Dir("b", 0)}));
  EXPECT_GE(memofs::ParseIndexText(texts.at("fs0_0_0")).size(), 10U);
}

// Each damage, alone: check names it once and nothing else; --deep reads
// the parts; --repair deletes orphans only, and only when told to.
TEST(CliBackup, CheckFindsEachDamageOnce) {
  struct Case {
    const char* name;
    std::function<void(sim::Organizer&)> damage;
    Strings args;
    std::string out;
  };
  const std::string clean = "2 directories, 3 files, 4 parts, ";
  const Case cases[] = {
      {"clean", [](sim::Organizer&) {}, {"check", "--deep"}, clean + "0 problems, 0 orphans\n"},
      {"orphan",
       [](sim::Organizer& o) { o.PutText("fs0_9_0", "x"); },
       {"check"},
       "orphan   fs0_9_0\n" + clean + "0 problems, 1 orphans\n"},
      {"part missing",
       [](sim::Organizer& o) { o.Remove("fs0_0_1"); },
       {"check"},
       "problem  fs0_0_1: part missing\n2 directories, 3 files, 3 parts, 1 problems, 0 orphans\n"},
      {"index missing",
       [](sim::Organizer& o) {
         o.Remove("fs0_2_0_0");
         o.Remove("fs0_2");
       },
       {"check"},
       "problem  fs0_2: directory index missing\n1 directories, 2 files, 3 parts, 1 problems, "
       "0 orphans\n"},
      {"short part, deep",
       [](sim::Organizer& o) { o.PutText("fs0_1_0", "be"); },
       {"check", "--deep"},
       "problem  fs0_1_0: part holds 2 characters, not 3\n" + clean + "1 problems, 0 orphans\n"},
      {"short part, shallow",
       [](sim::Organizer& o) { o.PutText("fs0_1_0", "be"); },
       {"check"},
       clean + "0 problems, 0 orphans\n"},
      {"name not storable",
       [](sim::Organizer& o) { o.PutText("fs0_2", "F 0 100 0 c\rd "); },
       {"check"},
       "problem  fs0_2: name c\\x0dd cannot be stored (line end or character 0)\n" + clean +
           "1 problems, 0 orphans\n"},
      {"number twice",
       [](sim::Organizer& o) { o.PutText("fs0_2", "F 0 100 0 c F 0 100 0 e "); },
       {"check"},
       "problem  fs0_2: number 0 used twice\n2 directories, 4 files, 5 parts, 1 problems, 0 "
       "orphans\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench;
    MakeSmallStore(bench.organizer);
    c.damage(bench.organizer);
    const Outcome ran = bench.Run(c.args);
    EXPECT_EQ(ran.out, c.out);
    EXPECT_EQ(ran.status, c.out.find(" 0 problems, 0 orphans") == std::string::npos ? 1 : 0)
        << ran.err;
  }
  // Without a terminal --repair asks for --yes; with it, the orphan goes and
  // the plain memos stay, one that begins like the file system's included.
  Bench bench;
  MakeSmallStore(bench.organizer);
  bench.organizer.PutText("fs0_9_0", "x");
  bench.organizer.PutText("fs0 ideas", "mine");
  EXPECT_EQ(bench.Run({"check", "--repair"}).status, 1);
  EXPECT_TRUE(bench.organizer.Text("fs0_9_0").has_value());
  const Outcome repaired = bench.Run({"check", "--repair", "--yes"});
  EXPECT_NE(repaired.out.find("removed 1 orphans"), std::string::npos) << repaired.out;
  EXPECT_FALSE(bench.organizer.Text("fs0_9_0").has_value());
  EXPECT_EQ(bench.organizer.Text("plain"), "memo");
  EXPECT_EQ(bench.organizer.Text("fs0 ideas"), "mine");
  EXPECT_EQ(bench.Run({"check"}).status, 0);
}

// ls, get, backup and check read an index alike: a last part recorded full
// and numbers above 32767 are read by all four; behind a cut index or a
// missing root, repair removes nothing.
TEST(CliBackup, EveryReaderAgreesAndRepairSparesWhatADamagedIndexHides) {
  {
    Bench bench;
    MakeSmallStore(bench.organizer);
    bench.organizer.PutText(
        "fs0", bench.organizer.Text("fs0").value() + "F 1 1956 7 full F 0 3 40000 big ");
    bench.organizer.PutText("fs0_7_0", AllBytes(1956));
    bench.organizer.PutText("fs0_7_1", AllBytes(1956));
    bench.organizer.PutText("fs0_32767_0", "big");
    fs::create_directory(bench.start.path() / "got");
    EXPECT_NE(bench.Run({"ls"}).out.find("full"), std::string::npos);
    ASSERT_EQ(bench.Run({"get", "/full", "got"}).status, 0);
    EXPECT_EQ(bench.start.Get("got/full"), AllBytes(1956) + AllBytes(1956));
    ASSERT_EQ(bench.Run({"get", "/big", "got"}).status, 0);
    EXPECT_EQ(bench.start.Get("got/big"), "big");
    const Outcome backup = bench.Run({"backup", "B"});
    EXPECT_EQ(backup.status, 0) << backup.err;
    const Outcome check = bench.Run({"check", "--deep"});
    EXPECT_EQ(check.out, "2 directories, 5 files, 7 parts, 0 problems, 0 orphans\n");
    EXPECT_EQ(check.status, 0);
  }
  const std::pair<const char*, std::function<void(sim::Organizer&)>> damages[] = {
      {"an entry cut short",
       [](sim::Organizer& o) {
         o.PutText("fs0", o.Text("fs0").value() + "F 0 5 9 cut");
         o.PutText("fs0_9_0", "cut's");
       }},
      {"the root index missing", [](sim::Organizer& o) { o.Remove("fs0"); }},
  };
  for (const auto& [name, damage] : damages) {
    SCOPED_TRACE(name);
    Bench bench;
    MakeSmallStore(bench.organizer);
    damage(bench.organizer);
    const auto before = bench.organizer.Memos();
    const Outcome repair = bench.Run({"check", "--repair", "--yes"});
    EXPECT_EQ(repair.status, 1);
    EXPECT_NE(repair.out.find("orphan   fs0_"), std::string::npos) << repair.out;
    EXPECT_NE(repair.err.find("nothing removed"), std::string::npos) << repair.err;
    EXPECT_EQ(bench.organizer.Memos(), before);
  }
}

// A listing cut to nothing (no "fs0" in it) does not make restore write a new
// root over the file system: the root is asked for and merged into.
TEST(CliBackup, RestoreMergesIntoARootTheListingLeftOut) {
  Bench bench;
  MakeSmallStore(bench.organizer);
  ASSERT_EQ(bench.Run({"backup", "B"}).status, 0);
  Rows root;
  PutFile(bench.organizer, root, "fs0", "a", 0, AllBytes(3000));
  PutFile(bench.organizer, root, "fs0", "mine", 5, "the user's");
  root.push_back(Dir("d", 2));
  root.push_back(Dir("e", 6));
  bench.organizer.PutText("fs0_6", "");
  bench.organizer.PutText("fs0", IndexOf(root));
  bench.organizer.Remove("fs0_1_0");  // b, to be restored
  bench.organizer.SetHostility(*sim::ParseHostility("count=0"));
  const Outcome restored = bench.Run({"--force", "restore", "B"});
  EXPECT_EQ(restored.status, 0) << restored.err;
  bench.organizer.SetHostility({});
  const memofs::CheckReport report = memofs::CheckMemoFileSystem(bench.organizer.Texts());
  EXPECT_EQ(report.Summary(), "3 directories, 4 files, 5 parts, 0 problems, 0 orphans");
  const Outcome listed = bench.Run({"ls"});
  EXPECT_EQ(listed.out, "d/\ne/\na\nb\nmine\n");
}

}  // namespace
}  // namespace tavo::testing
