// The pane-free core against the simulated organizer: every operation sends
// the window's exchanges (clean, under every fault at every exchange, and with
// a Cancel after every exchange) and leaves no index naming a missing memo;
// names it cannot use are refused before anything is sent. (Round trips and
// overwrite answers: the command and tavo-cli tests.)
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "commands/sim_rig.h"
#include "core/mirror.h"
#include "core/organizer_path.h"
#include "core/probe.h"
#include "core/session.h"
#include "memofs/checker.h"

namespace tavo::testing {
namespace {

using core::Outcome;

// The core as a front end drives it, with the window's fake computer files.
struct CoreRig : link::LinkHost, core::Feedback {
  sim::Organizer organizer;
  sim::ManualClock clock;
  sim::SimPort port{organizer, clock};
  FakeFiles files;
  link::SerialLink link{port, clock, *this};
  core::CancelToken cancel;
  core::Session session{link, files, *this, cancel};
  std::vector<std::pair<std::string, core::Result>> ended;  // path, result
  std::function<void()> on_report;
  std::function<void()> on_pump;

  CoreRig() { link.OpenPort(2, 2); }
  void PumpEvents() override {
    if (on_pump) on_pump();
  }
  void ShowLinkError(const std::string&) override {}
  void Report(const core::Progress&) override {
    if (on_report) on_report();
  }
  core::Answer AskOverwrite(const core::Item&) override { return core::Answer::kReplace; }
  void Ended(const core::Item& item, const core::Result& result) override {
    ended.emplace_back(core::FormatOrganizerPath(item.organizer), result);
  }
  Strings Failures() const {
    Strings lines;
    for (const auto& [path, result] : ended) {
      if (!result.Done()) lines.push_back(path + ": " + result.reason);
    }
    return lines;
  }
};

const std::string kOld = AllBytes(4000), kNew = AllBytes(3000).substr(7);

// The same organizer and computer for the window and the core: a tree with
// a file of three parts, plain memos, and a computer tree to store whose
// file r replaces the organizer's.
void Seed(sim::Organizer& organizer, FakeFiles& files) {
  organizer.PutText("fs0", IndexOf({Dir("A", 0), File("r", 2, 88, 1)}));
  organizer.PutText("fs0_0", IndexOf({Dir("B", 0), File("f", 0, 5, 1)}));
  organizer.PutText("fs0_0_0", IndexOf({File("g", 0, 3, 0)}));
  organizer.PutText("m1", "memo one");
  organizer.PutText("m2", "memo two");
  PutFile(organizer, "fs0", 1, kOld);
  PutFile(organizer, "fs0_0", 1, "f's 5");
  PutFile(organizer, "fs0_0_0", 0, "g's");
  files.directories.insert({"c:\\T\\", "c:\\T\\U\\"});
  files.files = {{"c:\\r", kNew},
                 {"c:\\note.txt", AllBytes(2100)},
                 {"c:\\T\\x", "x's"},
                 {"c:\\T\\U\\y", AllBytes(2000)}};
}

// The client's lines and blocks of a transcript from `from` on.
Strings Sent(const sim::Organizer& organizer, std::size_t from) {
  Strings lines;
  std::istringstream in(organizer.Transcript().substr(from));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("> ", 0) == 0) lines.push_back(line);
  }
  return lines;
}

struct Op {
  const char* name;
  bool memo_view;
  std::function<void(SimRig&)> window;
  // Between items the front end tests the token, as the window's loops do.
  std::function<void(core::Session&, const core::CancelToken&)> core;
};

using C = commands::Client;
std::function<void(SimRig&)> Click(void (C::*click)(), Strings rows, bool computer = false) {
  return [=](SimRig& rig) {
    if (computer) rig.client.ListComputerDirectory();
    FakeView::Pane& pane = computer ? rig.view.computer : rig.view.organizer;
    pane.Pick(rows);
    pane.current = 0;
    rig.view.new_directories = {{1, "New"}};
    (rig.client.*click)();
  };
}

const Op kOps[] = {
    {"fetch a tree and a file", false, Click(&C::Copy1_Click, {"<A>", "r"}),
     [](core::Session& s, const core::CancelToken& cancel) {
       s.Fetch("A", "c:\\A");
       if (!cancel.Cancelled()) s.Fetch("r", "c:\\r");
     }},
    {"store a tree and replace a file", false, Click(&C::Copy2_Click, {"<T>", "r"}, true),
     [](core::Session& s, const core::CancelToken& cancel) {
       s.StoreDirectory("c:\\T", "T");
       if (!cancel.Cancelled()) s.StoreFile("c:\\r", "r");
     }},
    {"remove a tree and a file", false, Click(&C::Delete_Click, {"<A>", "r"}),
     [](core::Session& s, const core::CancelToken& cancel) {
       s.Remove("A");
       if (!cancel.Cancelled()) s.Remove("r");
     }},
    {"make a directory", false, Click(&C::CreateDir_Click, {}),
     [](core::Session& s, const core::CancelToken&) { s.MakeDirectory("New"); }},
    {"fetch memos", true, Click(&C::Copy1_Click, {"m1", "m2"}),
     [](core::Session& s, const core::CancelToken& cancel) {
       s.FetchMemo("m1", "c:\\m1");
       if (!cancel.Cancelled()) s.FetchMemo("m2", "c:\\m2");
     }},
    {"store a memo in pieces", true, Click(&C::Copy2_Click, {"note.txt"}, true),
     [](core::Session& s, const core::CancelToken&) { s.StoreMemo("c:\\note.txt", "note.txt"); }},
    {"delete a memo", true, Click(&C::Delete_Click, {"m1"}),
     [](core::Session& s, const core::CancelToken&) { s.DeleteMemo("m1"); }},
};

struct Traffic {
  Strings sent;
  int exchanges;
};

// fault: a simulator fault, "cancel" (after exchange `at`) or nullptr.
Traffic RunWindow(const Op& op, const char* fault, int at) {
  SimRig rig;
  Seed(rig.organizer, rig.files);
  rig.Sync();
  if (op.memo_view) rig.EnterMemoView();
  const int first = rig.organizer.Exchanges();
  const std::size_t mark = rig.organizer.Transcript().size();
  if (fault && std::string(fault) == "cancel") {
    rig.view.on_status = [&rig, first, at](const std::string&) {
      if (rig.organizer.Exchanges() - first >= at) rig.client.RequestStop();
    };
  } else if (fault) {
    rig.organizer.InjectFault(*sim::ParseFault(fault + ("@" + std::to_string(first + at))));
  }
  op.window(rig);
  Strings sent = Sent(rig.organizer, mark);
  // The memo view lists the memos afresh after a change; the core leaves that
  // to its caller.
  if (op.memo_view && !sent.empty() && sent.back() == "> dir") sent.pop_back();
  return {sent, rig.organizer.Exchanges() - first};
}

Traffic RunCore(const Op& op, const char* fault, int at, CoreRig& rig) {
  Seed(rig.organizer, rig.files);
  const core::Result opened = op.memo_view ? rig.session.ListMemos() : rig.session.Walk({});
  EXPECT_TRUE(opened.Done()) << opened.reason;
  const int first = rig.organizer.Exchanges();
  const std::size_t mark = rig.organizer.Transcript().size();
  if (fault && std::string(fault) == "cancel") {
    rig.on_report = [&rig, first, at] {
      if (rig.organizer.Exchanges() - first >= at) rig.cancel.Cancel();
    };
  } else if (fault) {
    rig.organizer.InjectFault(*sim::ParseFault(fault + ("@" + std::to_string(first + at))));
  }
  op.core(rig.session, rig.cancel);
  return {Sent(rig.organizer, mark), rig.organizer.Exchanges() - first};
}

TEST(Core, SendsTheWindowsExchangesUnderEveryFaultAndCancel) {
  int cases = 0;
  for (const Op& op : kOps) {
    SCOPED_TRACE(op.name);
    const Traffic clean = RunWindow(op, nullptr, 0);
    ASSERT_GT(clean.exchanges, 0);
    for (const char* fault : {static_cast<const char*>(nullptr), "cancel", "hangup", "silence",
                              "garble", "drop", "full", "short", "case"}) {
      for (int at = fault ? 1 : 0; at <= (fault ? clean.exchanges : 0); ++at, ++cases) {
        SCOPED_TRACE(std::string(fault ? fault : "clean") + " at " + std::to_string(at));
        CoreRig rig;
        const Traffic window = RunWindow(op, fault, at);
        const Traffic core = RunCore(op, fault, at, rig);
        EXPECT_EQ(core.sent, window.sent);
        const memofs::CheckReport report = memofs::CheckMemoFileSystem(rig.organizer.Texts());
        EXPECT_EQ(report.problems, Strings());
        if (!fault) {
          EXPECT_EQ(report.orphans, Strings());
        }
        EXPECT_EQ(rig.files.open_outputs, 0);
        if (!fault) {
          EXPECT_EQ(rig.Failures(), Strings());
        }
      }
    }
  }
  std::cout << "core parity: " << cases << " cases" << std::endl;
}

// Names that cannot be stored or used are refused before anything is sent.
TEST(Core, BadNamesAndPathsAreRefusedBeforeAnyExchange) {
  CoreRig rig;
  Seed(rig.organizer, rig.files);
  rig.files.files["c:\\x"] = "x";
  rig.organizer.PutText("fs0_0_1_0", "evil");
  rig.organizer.PutText("fs0_0", IndexOf({Dir("B", 0), File("../up", 0, 4, 1)}));
  struct Case {
    const char* name;
    std::function<core::Result(core::Session&)> run;
    const char* reason;
  };
  const Case cases[] = {
      {"line end", [](auto& s) { return s.StoreFile("c:\\x", "a\nb"); }, "cannot be stored"},
      {"character 0", [](auto& s) { return s.MakeDirectory(std::string("a\0b", 3)); },
       "cannot be stored"},
      {"255 in an entry", [](auto& s) { return s.StoreFile("c:\\x", "a\xff"); },
       "cannot be stored"},
      {"Sharp Memos", [](auto& s) { return s.StoreFile("c:\\x", "Sharp Memos"); }, "reserved"},
      {"a directory's name", [](auto& s) { return s.StoreFile("c:\\x", "A"); }, "directory"},
      {"a file's name", [](auto& s) { return s.MakeDirectory("r"); }, "a file"},
      {"fs0 memo", [](auto& s) { return s.StoreMemo("c:\\x", "fs0_9"); }, "file system"},
      {"no such memo", [](auto& s) { return s.FetchMemo("nope", "c:\\nope"); }, "no such memo"},
      {"missing source", [](auto& s) { return s.StoreFile("c:\\none", "none"); }, "read"},
      {"missing entry", [](auto& s) { return s.Remove("nothing"); }, "no such"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(rig.session.Walk({}).Done());
    const int before = rig.organizer.Exchanges();
    const core::Result result = c.run(rig.session);
    EXPECT_EQ(result.outcome, Outcome::kFailed);
    EXPECT_NE(result.reason.find(c.reason), std::string::npos) << result.reason;
    // The memo calls list the memos first; nothing else goes out.
    EXPECT_LE(rig.organizer.Exchanges() - before, 1);
  }
  // A name from the organizer that would climb out of the target is not written.
  ASSERT_TRUE(rig.session.Walk({"A"}).Done());
  EXPECT_EQ(rig.session.Fetch("../up", "c:\\../up").outcome, Outcome::kFailed);
  EXPECT_EQ(rig.files.files.count("c:\\../up"), 0u);
  // Nor one below a fetched directory, whichever separator it climbs with.
  rig.organizer.PutText("fs0_0", IndexOf({File("..\\up", 0, 4, 1)}));
  ASSERT_TRUE(rig.session.Walk({}).Done());
  EXPECT_EQ(rig.session.Fetch("A", "c:\\A").outcome, Outcome::kFailed);
  for (const auto& [path, text] : rig.files.files) {
    EXPECT_EQ(path.find(".."), std::string::npos) << path;
  }
  // Walks: a missing level, a file as a level.
  EXPECT_EQ(rig.session.Walk({"nope"}).reason, "no such directory");
  EXPECT_EQ(rig.session.Walk({"r", "x"}).reason, "not a directory");
}

// The organizer refusing a "put " (full) ends the link with that reason,
// after the parts already sent are deleted again: nothing is kept.
TEST(Core, FullOrganizerSaysSoAndKeepsNothing) {
  CoreRig rig;
  rig.files.files["c:\\big"] = AllBytes(5000);
  ASSERT_TRUE(rig.session.Walk({}).Done());
  const auto before = rig.organizer.Memos();
  rig.organizer.SetCapacity(rig.organizer.StoredBytes() + 3000);
  const core::Result result = rig.session.StoreFile("c:\\big", "big");
  EXPECT_EQ(result.outcome, Outcome::kLinkFailed);
  EXPECT_NE(result.reason.find("\"full\"); nothing of it was kept"), std::string::npos)
      << result.reason;
  EXPECT_EQ(rig.organizer.Memos(), before);
  EXPECT_FALSE(rig.session.LinkUp());
}

TEST(Core, Probe) {
  struct Case {
    const char* fault;  // at the probe's exchange 1 to 5, or none
    int steps;
    const char* advice;  // a word of it
    double max_seconds;
  };
  for (const Case& c :
       {Case{nullptr, 5, "", 1}, Case{"hangup@1", 1, "device", 4}, Case{"garble@1", 1, "speed", 4},
        Case{"silence@2", 2, "device", 13}, Case{"hangup@2", 2, "device", 13},
        Case{"short@3", 3, "bytes", 13}, Case{"drop@5", 5, "bytes", 13}}) {
    SCOPED_TRACE(c.fault ? c.fault : "clean");
    CoreRig rig;
    rig.organizer.PutText("tavoprobe", "the user's");
    rig.organizer.PutText("TAVOPROBE2", "also the user's");
    if (c.fault) rig.organizer.InjectFault(*sim::ParseFault(c.fault));
    const double started = rig.clock.Now();
    const core::ProbeReport report = core::RunProbe(rig.link);
    EXPECT_EQ(report.steps.size(), static_cast<std::size_t>(c.steps));
    EXPECT_NE(report.advice.find(c.advice), std::string::npos) << report.advice;
    EXPECT_LE(rig.clock.Now() - started, c.max_seconds);
    // Never under a name the organizer holds, in any case.
    EXPECT_EQ(rig.organizer.Text("tavoprobe"), "the user's");
    EXPECT_EQ(rig.organizer.Text("TAVOPROBE2"), "also the user's");
    if (c.steps > 1) {
      EXPECT_EQ(report.memo, c.fault ? "tavoprobe3" : "");
    }
    if (!c.fault) {
      EXPECT_EQ(rig.organizer.Memos().size(), 2u);
    }
  }
}

struct NullSink : core::BackupSink {
  bool Directory(const std::vector<std::string>&, const core::Origin&) override { return true; }
  bool BeginFile(const std::vector<std::string>&, std::int64_t, const core::Origin&) override {
    return true;
  }
  bool FileData(const std::string&) override { return true; }
  bool EndFile() override { return true; }
  bool Memo(const std::string&, const std::string&) override { return true; }
};

// A listing of a million names, one a millisecond: a Cancel ends every
// command after the line under way, and a count no organizer could hold ends
// it at once; either closes the line rather than wait for it to fall silent.
TEST(Core, ListingsEndOnCancelOrAtOnce) {
  struct Command {
    const char* what;
    std::function<core::Result(CoreRig&)> run;
    bool says_why;  // the result tells a Cancel and names the count
  };
  const Command commands[] = {
      {"backup",
       [](CoreRig& r) {
         NullSink sink;
         return core::Backup(r.link, sink, r, r.cancel).result;
       },
       true},
      {"check", [](CoreRig& r) { return core::CheckOrganizer(r.link, false, r.cancel).result; },
       true},
      {"restore", [](CoreRig& r) { return core::Restore(r.link, r.files, {}, r, r.cancel); }, true},
      {"memos ls", [](CoreRig& r) { return r.session.ListMemos(); }, true},
      // A root whose "get" meets another word is looked for in a listing.
      {"ls", [](CoreRig& r) { return r.session.Walk({}); }, false},
  };
  for (const Command& command : commands) {
    for (const bool cancel : {true, false}) {
      SCOPED_TRACE(std::string(command.what) + (cancel ? ", Cancel" : ", too many"));
      CoreRig rig;
      rig.organizer.PutText("fs0", "");
      rig.organizer.SetHostility(*sim::ParseHostility(
          cancel ? "count=1000000,pace=0.001,get=busy" : "count=1048577,pace=0.001,get=busy"));
      const double started = rig.clock.Now();
      double cancelled_at = 0;
      rig.on_pump = [&] {
        if (!cancel || rig.cancel.Cancelled() || rig.clock.Now() - started < 1) return;
        rig.cancel.Cancel();
        cancelled_at = rig.clock.Now();
      };
      const core::Result result = command.run(rig);
      EXPECT_FALSE(rig.link.IsOpen());
      if (cancel) {
        EXPECT_GT(cancelled_at, 0);
        EXPECT_LE(rig.clock.Now() - cancelled_at, 0.0015);
        if (command.says_why) {
          EXPECT_EQ(result.outcome, Outcome::kCancelled) << result.reason;
        }
      } else {
        EXPECT_LE(rig.clock.Now() - started, 0.1);
        EXPECT_EQ(result.outcome, Outcome::kLinkFailed);
        if (command.says_why) {
          EXPECT_EQ(result.reason,
                    "the organizer announced 1048577 memos, more than the 1048576 any organizer "
                    "can hold");
        }
      }
    }
  }
}

TEST(Core, OrganizerPaths) {
  struct Case {
    const char* text;
    Strings names;
    const char* formatted;
  };
  for (const Case& c :
       {Case{"/", {}, "/"}, Case{"", {}, "/"},
        Case{"/Letters/to grandma.txt", {"Letters", "to grandma.txt"}, "/Letters/to grandma.txt"},
        Case{"a//b/", {"a", "b"}, "/a/b"}, Case{"/x\\/y\\\\z", {"x/y\\z"}, "/x\\/y\\\\z"},
        Case{"\\x41\\x0a\\xff", {"A\n\xff"}, "/A\\x0a\\xff"},
        // UTF-8 is printed as it is; the organizer's own characters, C1
        // controls and broken sequences are escaped.
        Case{"caf\xc3\xa9 \xe2\x82\xac", {"caf\xc3\xa9 \xe2\x82\xac"}, "/caf\xc3\xa9 \xe2\x82\xac"},
        Case{"\\xe9t\\xe9\\xc2\\x9b\\xe2\\x82",
             {"\xe9t\xe9\xc2\x9b\xe2\x82"},
             "/\\xe9t\\xe9\\xc2\\x9b\\xe2\\x82"},
        Case{
            "\\xed\\xa0\\x80\\xc0\\xaf", {"\xed\xa0\x80\xc0\xaf"}, "/\\xed\\xa0\\x80\\xc0\\xaf"}}) {
    SCOPED_TRACE(c.text);
    const auto names = core::ParseOrganizerPath(c.text);
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, c.names);
    EXPECT_EQ(core::FormatOrganizerPath(*names), c.formatted);
  }
  for (const char* bad : {"a\\", "a\\b", "\\x4"})
    EXPECT_FALSE(core::ParseOrganizerPath(bad)) << bad;
}

}  // namespace
}  // namespace tavo::testing
