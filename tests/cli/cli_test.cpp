// tavo-cli end to end: the program against the simulated organizer on a
// pseudo-terminal published as COM2 of a scratch start directory. Each
// subcommand's output and exit status; trees and memos there and back with
// every byte value; the overwrite policies; a hang-up at every exchange of a
// small put and get; Ctrl-C in the middle of a put and an rm -r. Afterwards no
// index names a missing memo.
#include "cli/cli_rig.h"
#include "platform/port_lock.h"

namespace tavo::testing {
namespace {

// A tree with every byte value in its files, sizes at the part boundaries.
void MakeTree(Bench& bench, const std::string& root) {
  fs::create_directories(bench.start.path() / root / "sub" / "deeper");
  bench.start.Put(root + "/empty", "");
  bench.start.Put(root + "/one part", AllBytes(1956));
  bench.start.Put(root + "/sub/three", AllBytes(5000));
  bench.start.Put(root + "/sub/deeper/bytes", AllBytes(256));
}

TEST(Cli, EverySubcommand) {
  Bench bench;
  MakeTree(bench, "T");
  bench.start.Put("m.txt", AllBytes(256));
  struct Step {
    Strings args;
    int status;
    std::string out;  // exact, unless empty
    std::string err;  // a part of it
  };
  const Step steps[] = {
      {{"ls"}, 0, "", ""},
      {{"mkdir", "/New"}, 0, "", ""},
      {{"mkdir", "/New"}, 1, "", "/New: exists already"},
      {{"put", "T", "/New"}, 0, "", ""},
      {{"ls", "-l", "/New/T"},
       0,
       "d            sub/\n-         0  empty\n-      1956  one part\n",
       ""},
      {{"ls", "--json", "/New/T/sub"},
       0,
       "[{\"name\":\"deeper\",\"type\":\"directory\"},\n {\"name\":\"three\",\"type\":\"file\","
       "\"size\":5000}]\n",
       ""},
      {{"get", "/New/T", "back"}, 0, "", ""},
      {{"memos", "put", "m.txt"}, 0, "", ""},
      {{"memos", "ls"}, 0, "m.txt\n", ""},
      {{"memos", "get", "m.txt", "back"}, 0, "", ""},
      {{"memos", "rm", "m.txt"}, 0, "", ""},
      {{"memos", "get", "fs0", "back"}, 1, "", "belong to the file system"},
      {{"rm", "/New"}, 1, "", "/New: is a directory"},
      {{"get", "/nothing", "back"}, 1, "", "/nothing: no such file or directory"},
      {{"ls", "a\\q"}, 2, "", "a backslash must start"},
      {{"put", "missing", "/"}, 1, "", "missing: no such file or directory"},
      {{"--port", "/dev/no-such-tty", "ls"}, 3, "", "cannot open /dev/no-such-tty: "},
      {{"probe"}, 0, "", ""},
      {{"rm", "-r", "/New"}, 0, "", ""},
      {{"ls"}, 0, "", ""},
  };
  fs::create_directory(bench.start.path() / "back");
  for (const Step& step : steps) {
    SCOPED_TRACE(::testing::PrintToString(step.args));
    const Outcome ran = bench.Run(step.args);
    EXPECT_EQ(ran.status, step.status) << ran.err;
    if (!step.out.empty()) {
      EXPECT_EQ(ran.out, step.out);
    }
    EXPECT_NE(ran.err.find(step.err), std::string::npos) << ran.err;
    EXPECT_EQ(bench.Problems(), Strings());
  }
  // There and back, byte for byte; and all gone again.
  EXPECT_EQ(bench.Tree("back/T"), bench.Tree("T"));
  EXPECT_EQ(bench.start.Get("back/m.txt"), AllBytes(256));
  EXPECT_EQ(bench.organizer.Texts().size(), 1u);  // the root index
}

// An existing target: replaced whole, left, or an error naming it.
TEST(Cli, OverwritePolicies) {
  struct Case {
    const char* flag;  // nullptr: none
    int status;
    bool replaced;
  };
  for (const Case& c :
       {Case{"--force", 0, true}, Case{"--no-clobber", 1, false}, Case{nullptr, 1, false}}) {
    SCOPED_TRACE(c.flag ? c.flag : "default");
    Bench bench;
    bench.start.Put("f", "new on the computer");
    bench.organizer.PutText("fs0", IndexOf({File("f", 1, 3, 0)}));
    bench.organizer.PutText("fs0_0_0", AllBytes(1956));
    bench.organizer.PutText("fs0_0_1", "old");
    const auto with = [&](Strings args) {
      if (c.flag) args.insert(args.begin(), c.flag);
      return bench.Run(args);
    };
    const Outcome put = with({"put", "f", "/"});
    EXPECT_EQ(put.status, c.status) << put.err;
    if (!c.flag) {
      EXPECT_NE(put.err.find("/f: exists (--force"), std::string::npos) << put.err;
    }
    // Into a directory: the file that exists is the computer's d1/f.
    fs::create_directory(bench.start.path() / "d1");
    bench.start.Put("d1/f", "new on the computer");
    const Outcome get = with({"get", "/f", "d1"});
    EXPECT_EQ(get.status, c.status) << get.err;
    EXPECT_EQ(bench.start.Get("d1/f"), "new on the computer");
    if (!c.replaced) {
      EXPECT_NE(
          get.err.find("tavo-cli: " + (bench.start.path() / "d1" / "f").string() + ": exists"),
          std::string::npos)
          << get.err;
    }
    const auto memos = memofs::CheckMemoFileSystem(bench.organizer.Texts());
    EXPECT_TRUE(memos.Clean() && memos.orphans.empty()) << memos.Summary();
    EXPECT_EQ(bench.organizer.Text("fs0_0_1").has_value(), !c.replaced);
  }
}

// Two organizer names that land on one computer file (the trailing blank
// is dropped) are never merged, not even with --force: the second is an
// error, and --force still replaces what was there before.
TEST(Cli, NamesThatLandOnOneComputerFileAreNotMerged) {
  Bench bench;
  bench.organizer.PutText("fs0", IndexOf({Dir("D", 0)}));
  bench.organizer.PutText("fs0_0", IndexOf({File("notes", 0, 5, 0), File("notes ", 0, 6, 1)}));
  PutFile(bench.organizer, "fs0_0", 0, "first");
  PutFile(bench.organizer, "fs0_0", 1, "second");
  fs::create_directories(bench.start.path() / "back" / "D");
  bench.start.Put("back/D/notes", "older");
  const Outcome ran = bench.Run({"--force", "get", "/D", "back"});
  EXPECT_EQ(ran.status, 1) << ran.err;
  EXPECT_NE(ran.err.find("tavo-cli: /D/notes : another name of this copy was written to the same "
                         "computer file"),
            std::string::npos)
      << ran.err;
  EXPECT_EQ(bench.start.Get("back/D/notes"), "first");
}

// In a directory whose index repeats a number, rm, put, mkdir and restore
// change nothing and say why.
TEST(Cli, ADamagedIndexIsNeitherDeletedNorStoredIn) {
  Bench bench;
  bench.start.Put("x", "x");
  bench.organizer.PutText("fs0", IndexOf({File("keep", 0, 4, 1)}));
  bench.organizer.PutText("fs0_1_0", "keep");
  ASSERT_EQ(bench.Run({"backup", "B"}).status, 0);
  bench.organizer.PutText("fs0", IndexOf({Dir("A", 0), File("b", 0, 5, 0)}));
  bench.organizer.PutText("fs0_0", IndexOf({Dir("sub", 0)}));
  bench.organizer.PutText("fs0_0_0", IndexOf({File("f", 0, 1, 0)}));
  bench.organizer.PutText("fs0_0_0_0_0", "f");
  const auto before = bench.organizer.Texts();
  for (const Strings& args :
       {Strings{"rm", "/b"}, Strings{"rm", "-r", "/A"}, Strings{"put", "x", "/"},
        Strings{"mkdir", "/New"}, Strings{"--force", "restore", "B"}}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Outcome ran = bench.Run(args);
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.err.find(": damaged index; run check"), std::string::npos) << ran.err;
    EXPECT_EQ(bench.organizer.Texts(), before);
  }
}

// A put and a restore refused by a full organizer take back the parts they
// sent, say so and end 3.
TEST(Cli, AFullOrganizerKeepsNothingOfARefusedFile) {
  Bench bench;
  bench.start.Put("big", AllBytes(9000));
  ASSERT_EQ(bench.Run({"put", "big", "/"}).status, 0);
  ASSERT_EQ(bench.Run({"backup", "B"}).status, 0);
  ASSERT_EQ(bench.Run({"rm", "/big"}).status, 0);
  const auto before = bench.organizer.Memos();
  bench.organizer.SetCapacity(bench.organizer.StoredBytes() + 6000);
  for (const Strings& args : {Strings{"put", "big", "/"}, Strings{"restore", "B"}}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Outcome ran = bench.Run(args);
    EXPECT_EQ(ran.status, 3);
    EXPECT_NE(ran.err.find("(it answered \"full\"); nothing of it was kept"), std::string::npos)
        << ran.err;
    EXPECT_EQ(bench.organizer.Memos(), before);
  }
}

// A hang-up at every exchange of a small put and a small get: the status
// says the link failed, nothing half written is left on either side.
TEST(Cli, HangUpAtEveryExchange) {
  for (const bool put : {true, false}) {
    for (int at = 1;; ++at) {
      SCOPED_TRACE((put ? "put, hang-up at " : "get, hang-up at ") + std::to_string(at));
      Bench bench;
      bench.start.Put("f", AllBytes(3000));
      bench.organizer.PutText("fs0", IndexOf({File("g", 1, 1044, 0)}));
      bench.organizer.PutText("fs0_0_0", AllBytes(1956));
      bench.organizer.PutText("fs0_0_1", AllBytes(1044));
      bench.organizer.InjectFault({sim::FaultKind::kHangUp, at});
      const Outcome ran = bench.Run(put ? Strings{"put", "f", "/"} : Strings{"get", "/g", "g"});
      EXPECT_EQ(bench.Problems(), Strings());
      if (ran.status == 0) break;                // past the last exchange
      EXPECT_EQ(bench.Tree("").count("g"), 0u);  // no half file, no temporary file
      EXPECT_EQ(bench.Tree("").size(), 2u);      // f and tavo_c.cfg
      EXPECT_EQ(ran.status, 3) << ran.err;
      EXPECT_NE(ran.err.find("did not answer"), std::string::npos) << ran.err;
    }
  }
}

// Ctrl-C after some exchanges of a tree's put and of an rm -r: the program
// says so, ends as interrupted, and the organizer's indexes name only what is there.
TEST(Cli, InterruptAPutAndARemove) {
  Bench bench;
  for (int i = 0; i < 8; ++i) {
    fs::create_directories(bench.start.path() / "T" / ("d" + std::to_string(i)));
    bench.start.Put("T/d" + std::to_string(i) + "/f", AllBytes(4000));
  }
  struct Case {
    Strings args;
    int after;  // "put " and "del " lines before the Ctrl-C
  };
  for (const Case& c : {Case{{"put", "T", "/"}, 40}, Case{{"rm", "-r", "/T"}, 10}}) {
    const Strings& args = c.args;
    SCOPED_TRACE(args[0]);
    int changes = 0;
    bench.on_line = [&](const std::string& line) {
      if (line.rfind("> put ", 0) == 0 || line.rfind("> del ", 0) == 0) {
        if (++changes == c.after && bench.child != 0) ::kill(bench.child, SIGINT);
      }
    };
    const Outcome ran = bench.Run(args);
    EXPECT_EQ(ran.status, 130) << ran.err;  // ended as by SIGINT, for the shell
    EXPECT_NE(ran.err.find("cancelled"), std::string::npos) << ran.err;
    EXPECT_EQ(bench.Problems(), Strings());
    bench.on_line = nullptr;
  }
  // Something was left to delete, and a second rm -r finishes the job.
  EXPECT_GT(bench.organizer.Texts().size(), 1u);
  EXPECT_EQ(bench.Run({"rm", "-r", "/T"}).status, 0);
  EXPECT_EQ(bench.Problems(), Strings());
}

std::string Self() {
  std::ifstream in("/proc/self/comm");
  std::string name;
  std::getline(in, name);
  return name + " (pid " + std::to_string(::getpid()) + ")";
}

// While another program holds the device (here this test, as a second
// tavo-cli would), every path to it is refused and the holder named: COM2's
// link, the /dev/pts name, ./com2. A relative --port path is the current
// directory's, with or without "./".
TEST(Cli, APortInUseIsRefusedAndItsHolderNamed) {
  Bench bench;
  fs::create_directory(bench.start.path() / "sub");
  platform::DeviceLock holder;
  struct Case {
    const char* port;  // "slave": the /dev/pts name; nullptr: COM2 of tavo_c.cfg
    const char* shown;
    bool held;
  };
  for (const Case& c : {Case{nullptr, "COM2 (", true}, Case{"slave", "", true},
                        Case{"./com2", "./com2 (", true}, Case{"sub/com2", "", false}}) {
    SCOPED_TRACE(c.port ? c.port : "COM2");
    std::string device;
    bench.on_served = [&](const std::string& slave, Strings& args) {
      device = fs::canonical(slave).string();
      fs::remove(bench.start.path() / "sub" / "com2");
      fs::create_symlink(slave, bench.start.path() / "sub" / "com2");
      if (c.held) {
        ASSERT_EQ(holder.Take(device), platform::DeviceLock::Taken::kYes);
      }
      if (c.port)
        args.insert(args.begin(), {"--port", c.port == std::string("slave") ? slave : c.port});
    };
    const Outcome ran = bench.Run({"ls"});
    holder.Release();
    if (!c.held) {
      EXPECT_EQ(ran.status, 0) << ran.err;
      continue;
    }
    EXPECT_EQ(ran.status, 3);
    EXPECT_EQ(ran.err, "tavo-cli: " + std::string(c.shown) + device + (*c.shown ? ")" : "") +
                           " is in use by " + Self() + "\n");
  }
}

// Settings and links come from the current directory when it holds them,
// else from the per-user directory that the menu starts the window in.
TEST(Cli, PortsSayWhichSettingsDirectoryAndDevice) {
  Bench bench;
  Outcome ran = bench.Run({"ports"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  const std::string here = bench.start.path().string() + "/";
  EXPECT_NE(ran.out.find("settings  " + here + "  the current directory\n"), std::string::npos)
      << ran.out;
  EXPECT_NE(ran.out.find("(link " + here + "com2)  ok\n"), std::string::npos) << ran.out;

  TempDir elsewhere, config;
  fs::create_directory(config.path() / "tavo");
  fs::rename(bench.start.path() / "tavo_c.cfg", config.path() / "tavo" / "tavo_c.cfg");
  bench.cwd = elsewhere.path().string();
  ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  ran = bench.Run({"ports"});
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_NE(ran.out.find("settings  " + (config.path() / "tavo").string() +
                         "/  the per-user settings directory"),
            std::string::npos)
      << ran.out;
}

}  // namespace
}  // namespace tavo::testing
