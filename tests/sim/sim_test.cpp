// The simulator is test equipment that the command, fault matrix and window
// tests drive end to end; here is only what they rely on without checking it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "memofs/index_text.h"
#include "organizer-sim/organizer.h"

namespace tavo::sim {
namespace {

// Feeds the pieces one after another and returns all replies, in order.
std::string Ask(Organizer& o, std::initializer_list<std::string> pieces) {
  std::string out;
  for (const std::string& piece : pieces) {
    o.Feed(piece);
    out += o.TakeOutput();
  }
  return out;
}

std::string Put(Organizer& o, const std::string& name, const std::string& text) {
  const std::string image = memofs::BuildMemoImage(name, text);
  return Ask(o, {"put " + name + "\n", std::to_string(image.size()) + "\n", image});
}

TEST(Organizer, RepliesOfEveryCommand) {
  Organizer o;
  EXPECT_EQ(Ask(o, {"dir\n"}), "0\nok\n");
  EXPECT_EQ(Put(o, "fs0", "D 0 0 0 A "), "ok\nok\nok\n");
  EXPECT_EQ(Ask(o, {"get fs0\n"}), "found\n10\nD 0 0 0 A ok\n");
  o.PutText("b memo", "");
  EXPECT_EQ(Ask(o, {"dir\n"}), "2\nb memo\nfs0\nok\n");
  EXPECT_EQ(Ask(o, {"get b memo\n"}), "found\n0\nok\n");  // no block for an empty text
  EXPECT_EQ(Ask(o, {"getx fs0\n", "4\n"}), "found\nok\nD 0 ok\n");
  EXPECT_EQ(Ask(o, {"del fs0\n"}), "found\nok\n");
  EXPECT_EQ(Ask(o, {"get fs0\n", "getx fs0\n", "del fs0\n"}), "not found\nnot found\nnot found\n");
  EXPECT_EQ(Ask(o, {"bogus\n"}), "error\n");
  EXPECT_EQ(o.Exchanges(), 11);  // the count line belongs to its getx
}

// Faults that did nothing would make the fault matrix pass without testing.
TEST(Organizer, EachFaultDoesWhatItSays) {
  for (const char* bad : {"case", "loud@2", "drop@0", "drop@x"}) EXPECT_FALSE(ParseFault(bad));
  Organizer o;
  o.PutText("m", "abcdef");
  for (const char* fault :
       {"silence@1", "case@2", "short@3", "garble@4", "drop@6", "full@7", "busy@8", "hangup@9"}) {
    o.InjectFault(*ParseFault(fault));
  }
  EXPECT_EQ(Ask(o, {"del m\n"}), "");
  EXPECT_EQ(Ask(o, {"get m\n"}), "FOUND\n6\nabcdefOk\n");  // silence had no effect either
  EXPECT_EQ(Ask(o, {"getx m\n", "6\n"}), "found\nok\nabcok\n");
  EXPECT_EQ(Ask(o, {"put m\n", "dir\n"}), "\xef\xeb\n1\nm\nok\n");  // the put ends there
  EXPECT_EQ(Put(o, "m", "new"), "ok\nok\n");                        // stored, last "ok" lost
  EXPECT_EQ(o.Text("m"), "new");
  EXPECT_EQ(Ask(o, {"put m\n", "3\n"}), "ok\nfull\n");
  EXPECT_EQ(Ask(o, {"del m\n"}), "busy\n");   // and kept
  EXPECT_EQ(Ask(o, {"dir\n", "dir\n"}), "");  // hung up for good
  o.Restart();
  EXPECT_EQ(Ask(o, {"dir\n"}), "1\nm\nok\n");
}

// Any memo name is kept in a file of the store's directory, and a restart
// reads back exactly the memos there; files the store did not name are not memos.
TEST(Organizer, StoreKeepsEveryNameAcrossARestart) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("tavo-sim-store-" + std::to_string(::getpid()));
  std::map<std::string, std::string> texts;
  for (const std::string& name :
       std::vector<std::string>{"fs0", "Fs0", "../../escape", "/abs", "..", ".", "a/b\\c",
                                std::string("nul\0x", 5), "\r\t\x7f\xff", "%41"}) {
    texts[name] = "text of " + name;
  }
  {
    Organizer o(dir.string());
    for (const auto& [name, text] : texts) o.PutText(name, text);
    o.Remove("..");
  }
  texts.erase("..");
  for (const char* stranger : {"%61.memo", "%4A.memo", "abc%4.memo", "Fs0.memo", ".writing"}) {
    std::ofstream(dir / stranger) << "x";
  }
  EXPECT_EQ(Organizer(dir.string()).Texts(), texts);
  // Upper case escaped too, or a file system blind to case would merge Fs0 and fs0.
  EXPECT_EQ(EncodeName("Fs0_1.x"), "%46s0_1%2ex.memo");
  std::filesystem::remove_all(dir);
}

// The hostile mode: a "dir" that announces what it likes and sends its lines
// one at a time when asked, and one word to every "get ".
TEST(Organizer, HostileModeSaysWhatItIsTold) {
  for (const char* bad :
       {"", "count", "count=-1", "pace=0", "pace=x", "get=", "hide=", "loud=1", "count=1,"}) {
    EXPECT_FALSE(ParseHostility(bad)) << bad;
  }
  Organizer o;
  o.PutText("a", "");
  o.PutText("b", "");
  o.SetHostility(*ParseHostility("count=3,pace=2,get=busy"));
  EXPECT_EQ(Ask(o, {"dir\n"}), "3\n");
  std::string lines;
  while (o.PacedInterval()) {
    EXPECT_EQ(*o.PacedInterval(), 2.0);
    o.SendPacedLine();
    lines += o.TakeOutput();
  }
  EXPECT_EQ(lines, "a\nb\nghost0\nok\n");
  EXPECT_EQ(Ask(o, {"get a\n"}), "busy\n");
  // A new command ends a listing under way; fewer names than held are cut.
  o.SetHostility(*ParseHostility("count=1"));
  EXPECT_EQ(Ask(o, {"dir\n", "del b\n"}), "1\nfound\nok\n");
  EXPECT_FALSE(o.PacedInterval());
  EXPECT_EQ(Ask(o, {"dir\n"}), "1\n");
  o.SendPacedLine();
  o.SendPacedLine();
  EXPECT_EQ(o.TakeOutput(), "a\nok\n");
  // A hidden memo is left out of the listing only.
  o.SetHostility(*ParseHostility("hide=a"));
  o.PutText("b", "bee");
  EXPECT_EQ(Ask(o, {"dir\n"}), "1\nb\nok\n");
  EXPECT_NE(Ask(o, {"get a\n"}).find("found\n"), std::string::npos);
}

}  // namespace
}  // namespace tavo::sim
