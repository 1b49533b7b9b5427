#include "organizer-sim/organizer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "memofs/checker.h"
#include "memofs/index_text.h"

namespace tavo::sim {
namespace {

std::string Ask(Organizer& organizer, const std::string& bytes) {
  organizer.Feed(bytes);
  return organizer.TakeOutput();
}

std::string Image(const std::string& name, const std::string& text) {
  return memofs::BuildMemoImage(name, text);
}

// Feeds the pieces one after another and returns all replies, in order.
std::string AskAll(Organizer& organizer, std::initializer_list<std::string> pieces) {
  std::string out;
  for (const auto& piece : pieces) out += Ask(organizer, piece);
  return out;
}

// Runs a whole "put " exchange and returns the three replies.
std::string Put(Organizer& organizer, const std::string& name, const std::string& image) {
  return AskAll(organizer, {"put " + name + "\n", std::to_string(image.size()) + "\n", image});
}

TEST(OrganizerProtocol, RepliesOfEveryCommand) {
  Organizer o;
  EXPECT_EQ(Ask(o, "dir\n"), "0\nok\n");
  const std::string image = Image("fs0", "D 0 0 0 A ");
  EXPECT_EQ(Put(o, "fs0", image), "ok\nok\nok\n");
  EXPECT_EQ(o.Memos().at("fs0"), image);
  EXPECT_EQ(Ask(o, "get fs0\n"), "found\n10\nD 0 0 0 A ok\n");
  o.PutText("b memo", "");
  EXPECT_EQ(Ask(o, "dir\n"), "2\nb memo\nfs0\nok\n");
  EXPECT_EQ(Ask(o, "get b memo\n"), "found\n0\nok\n");  // no block for an empty text
  EXPECT_EQ(Ask(o, "getx fs0\n"), "found\n");
  EXPECT_EQ(Ask(o, "4\n"), "ok\nD 0 ok\n");
  EXPECT_EQ(Ask(o, "del fs0\n"), "found\nok\n");
  EXPECT_EQ(Ask(o, "get fs0\n"), "not found\n");
  EXPECT_EQ(Ask(o, "getx fs0\n"), "not found\n");
  EXPECT_EQ(Ask(o, "del fs0\n"), "not found\n");
  EXPECT_EQ(Ask(o, "bogus\n"), "error\n");
  EXPECT_EQ(o.Exchanges(), 11);  // the count line belongs to its getx
}

TEST(OrganizerProtocol, FollowUpLinesAndBlocksMayArriveInPieces) {
  Organizer o;
  const std::string image = Image("fs0_1_0", std::string("a\0\n\xff", 4));
  std::string all = "put fs0_1_0\n" + std::to_string(image.size()) + "\n" + image + "dir\n";
  std::string out;
  for (char c : all) out += Ask(o, std::string(1, c));
  EXPECT_EQ(out, "ok\nok\nok\n1\nfs0_1_0\nok\n");
  EXPECT_EQ(o.Text("fs0_1_0"), std::string("a\0\n\xff", 4));
}

TEST(OrganizerProtocol, GetxWithoutCountAndAbandonedPutLeaveTheNextCommandIntact) {
  Organizer o;
  o.PutText("m", "text");
  EXPECT_EQ(Ask(o, "getx m\n"), "found\n");
  EXPECT_EQ(Ask(o, "get m\n"), "found\n4\ntextok\n");  // a 0 count is never sent
  EXPECT_EQ(Ask(o, "put m\n"), "ok\n");
  EXPECT_EQ(Ask(o, "del m\n"), "found\nok\n");  // the client gave up on the put
  // A put given up after its length line is forgotten once the line has been quiet.
  Ask(o, "put x\n5\n");
  EXPECT_TRUE(o.MidExchange());
  o.AbandonExchange();
  EXPECT_EQ(Ask(o, "dir\n"), "0\nok\n");
}

TEST(OrganizerProtocol, RefusesWhatItCannotKeep) {
  Organizer o;
  EXPECT_EQ(Ask(o, "put \n"), "error\n");
  EXPECT_EQ(Ask(o, "put " + std::string(kMaxNameBytes + 1, 'n') + "\n"), "error\n");
  EXPECT_EQ(Ask(o, "put a\n"), "ok\n");
  EXPECT_EQ(Ask(o, std::to_string(kMaxImageBytes + 1) + "\n"), "error\n");
  EXPECT_EQ(Ask(o, std::string(5000, 'x') + "\n"), "error\n");  // overlong line
  o.SetCapacity(100);
  o.PutText("old", std::string(40, 'o'));  // 84 bytes stored
  EXPECT_EQ(AskAll(o, {"put new\n", "17\n"}), "ok\nfull\n");
  EXPECT_EQ(AskAll(o, {"put old\n", "100\n"}), "ok\nok\n");  // replacing frees its room
  EXPECT_FALSE(o.Memos().count("new"));
}

TEST(OrganizerFaults, EachFaultDoesWhatItSays) {
  Organizer o;
  o.PutText("m", "abcdef");
  o.InjectFault({FaultKind::kSilence, 1});
  o.InjectFault({FaultKind::kOtherCase, 2});
  o.InjectFault({FaultKind::kShortBlock, 3});
  o.InjectFault({FaultKind::kGarble, 4});
  o.InjectFault({FaultKind::kDropReply, 6});
  o.InjectFault({FaultKind::kFull, 7});
  EXPECT_EQ(Ask(o, "del m\n"), "");
  EXPECT_TRUE(o.Text("m"));  // silence has no effect either
  EXPECT_EQ(Ask(o, "get m\n"), "FOUND\n6\nabcdefOk\n");
  EXPECT_EQ(AskAll(o, {"getx m\n", "6\n"}), "found\nok\nabcok\n");
  EXPECT_EQ(Ask(o, "put m\n"), "\xef\xeb\n");
  EXPECT_EQ(Ask(o, "dir\n"), "1\nm\nok\n");  // exchange 5: the put did not swallow it
  const std::string image = Image("m", "new");
  EXPECT_EQ(Put(o, "m", image), "ok\nok\n");  // stored, last "ok" lost
  EXPECT_EQ(o.Text("m"), "new");
  EXPECT_EQ(AskAll(o, {"put m\n", "3\n"}), "ok\nfull\n");
  EXPECT_NE(o.Transcript().find("! garbled\n"), std::string::npos);
}

TEST(OrganizerFaults, HangUpIsForGoodUntilARestart) {
  Organizer o;
  o.InjectFault({FaultKind::kHangUp, 2});
  o.InjectFault({FaultKind::kSilence, 5});
  EXPECT_EQ(Ask(o, "dir\n"), "0\nok\n");
  EXPECT_FALSE(o.HungUp());
  EXPECT_EQ(Ask(o, "dir\ndir\n"), "");
  EXPECT_TRUE(o.HungUp());
  EXPECT_EQ(Ask(o, "dir\nput half"), "");
  o.Restart();  // faults over, the half line forgotten
  EXPECT_EQ(AskAll(o, {"dir\n", "dir\n"}), "0\nok\n0\nok\n");
}

TEST(OrganizerFaults, ParsesTheProgramsFaultWords) {
  EXPECT_EQ(ParseFault("hangup@3")->kind, FaultKind::kHangUp);
  EXPECT_EQ(ParseFault("case@12")->at_exchange, 12);
  EXPECT_FALSE(ParseFault("case"));
  EXPECT_FALSE(ParseFault("loud@2"));
  EXPECT_FALSE(ParseFault("drop@0"));
  EXPECT_FALSE(ParseFault("drop@x"));
}

TEST(OrganizerStore, HostileNamesRoundTripInsideTheStore) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("tavo-sim-store-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  const std::vector<std::string> names = {
      "fs0", "Fs0",    "../../escape",           "/abs",         "..",
      ".",   "a/b\\c", std::string("nul\0x", 5), "\r\t\x7f\xff", "name with blanks",
      "%41"};
  {
    Organizer o(dir.string());
    for (const auto& name : names) o.PutText(name, "text of " + name);
    EXPECT_EQ(Put(o, "via put", Image("via put", "p")), "ok\nok\nok\n");
    o.Remove("..");
  }
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    EXPECT_TRUE(entry.is_regular_file());
    EXPECT_TRUE(DecodeName(entry.path().filename().string()));
    ++files;
  }
  EXPECT_EQ(files, names.size());  // one removed, one added by put
  EXPECT_FALSE(std::filesystem::exists(dir.parent_path() / "escape.memo"));

  Organizer again(dir.string());
  EXPECT_EQ(again.Memos().size(), names.size());
  for (const auto& name : names) {
    if (name != "..") {
      EXPECT_EQ(again.Text(name), "text of " + name) << name;
    }
  }
  EXPECT_EQ(again.Text("via put"), "p");
  EXPECT_FALSE(again.Text(".."));
  std::filesystem::remove_all(dir);
}

TEST(OrganizerStore, OnlyCanonicalFileNamesAreMemos) {
  EXPECT_EQ(EncodeName("Fs0_1.x"), "%46s0_1%2ex.memo");
  EXPECT_EQ(DecodeName("%46s0_1%2ex.memo"), "Fs0_1.x");
  EXPECT_FALSE(DecodeName("%61.memo"));  // "a" spelled the long way
  EXPECT_FALSE(DecodeName("%4A.memo"));
  EXPECT_FALSE(DecodeName("abc%4.memo"));
  EXPECT_FALSE(DecodeName("Fs0.memo"));
  EXPECT_FALSE(DecodeName(".writing"));
}

std::string RunProgram(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[256];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
  const int raw = pipe ? ::pclose(pipe) : -1;
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

// The demo tree is a clean file system, and the program's checker says so from
// its store; a lost part is then named, an orphan listed.
TEST(OrganizerDemo, SeedsATreeTheCheckerPasses) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("tavo-sim-check-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  {
    Organizer o(dir.string());
    SeedDemo(o);
    EXPECT_EQ(memofs::ParseIndexText(*o.Text("fs0")).at(1).EntryName, "Project Notes");
    EXPECT_TRUE(o.Text("Meeting 12 May"));
  }
  const std::string check = std::string(TAVO_SIM_PROGRAM) + " --check " + dir.string();
  int status = -1;
  EXPECT_EQ(RunProgram(check, &status), "5 directories, 5 files, 7 parts, 0 problems, 0 orphans\n");
  EXPECT_EQ(status, 0);
  std::filesystem::rename(dir / EncodeName("fs0_0_1_2"), dir / EncodeName("fs0_7_0"));
  EXPECT_EQ(RunProgram(check, &status),
            "5 directories, 5 files, 6 parts, 1 problems, 1 orphans\n"
            "problem: fs0_0_1_2: part missing\norphan: fs0_7_0\n");
  EXPECT_EQ(status, 1);
  RunProgram(check + "/none 2>/dev/null", &status);
  EXPECT_EQ(status, 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tavo::sim
