#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

#include "link/exchanges.h"
#include "support/fake_port.h"

namespace tavo::link {
namespace {

struct LinkTest : ::testing::Test {
  testing::FakeClock clock;
  testing::FakePort port{clock};
  testing::RecordingHost host;
  SerialLink link{port, clock, host};

  void SetUp() override { ASSERT_EQ(link.OpenPort(2, 2), 0); }
  double Since(double start) const { return clock.now - start; }
};

TEST_F(LinkTest, OpenAppliesTheSettings) {
  EXPECT_EQ(port.opened_with.port_number, 2);
  EXPECT_EQ(port.opened_with.settings, "9600,N,8,1");
  EXPECT_EQ(port.opened_with.baud, 9600);
  EXPECT_EQ(port.opened_with.input_buffer, 16384u);
  for (const auto& [code, text] :
       {std::pair{1, "4800,N,8,1"}, {3, "19200,N,8,1"}, {4, "38400,N,8,1"}, {7, "7,N,8,1"}}) {
    EXPECT_EQ(SettingsString(code), text);
  }
}

// A line ends at its line feed, a block at its count; either is cut off 12 s
// after the call, and what follows stays for the next reply.
TEST_F(LinkTest, RepliesAreCompleteOrCutOffByTheLimit) {
  std::string twelve;
  for (int c = 0; c < 12; ++c) twelve += static_cast<char>(c == 5 ? '\n' : 250 + c % 6);
  struct Case {
    std::vector<std::pair<std::string, double>> arrivals;  // bytes, delay
    std::size_t count;
    std::string text;
    bool complete;
    double seconds;
    std::string rest;
  };
  const Case cases[] = {
      {{{"o\rk\r\nnext", 0}}, 0, "ok", true, 0, "next"},
      {{{"ok", 0}}, 0, "ok", false, 12, ""},
      {{}, 0, "", false, 12, ""},
      {{{"fo", 3}, {"und\n", 8.5}}, 0, "found", true, 11.5, ""},
      {{{twelve, 0}}, 10, twelve.substr(0, 10), true, 0, twelve.substr(10)},
      {{{"abc", 1}}, 5, "abc", false, 12, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    for (const auto& [bytes, delay] : c.arrivals) port.Arrive(bytes, delay);
    const double start = clock.now;
    const int pumps = host.pumps;
    const Reply reply = link.ReceiveReply(c.count);
    EXPECT_EQ(reply.text, c.text);
    EXPECT_EQ(reply.complete, c.complete);
    EXPECT_NEAR(Since(start), c.seconds, 0.05);
    // Window events run between short slices of the wait.
    EXPECT_GE(host.pumps - pumps, static_cast<int>(c.seconds * 1000 / kWaitSliceMs));
    EXPECT_EQ(port.Read(100), c.rest);
  }
}

TEST_F(LinkTest, FlushWaitsForHalfASecondOfSilenceButNoLongerThanTheLimit) {
  for (int i = 0; i < 10; ++i) port.Arrive("x", 0.3);
  double start = clock.now;
  link.FlushInput();
  EXPECT_NEAR(Since(start), 3.0 + 0.5, 0.05);
  EXPECT_EQ(port.BytesWaiting(), 0u);
  EXPECT_EQ(host.pumps, 0);  // no events run during a flush

  for (int i = 0; i < 200; ++i) port.Arrive("x", 0.2);
  start = clock.now;
  link.FlushInput();
  EXPECT_GE(Since(start), 12.0);
  EXPECT_LT(Since(start), 12.5);
}

TEST_F(LinkTest, SendGivesUpOnAStuckOutputAndAClosedPortEndsEverythingAtOnce) {
  port.output_stuck = true;
  double start = clock.now;
  link.SendCommand("dir\n");
  EXPECT_NEAR(Since(start), 12.0, 0.05);

  link.ClosePort();
  start = clock.now;
  EXPECT_FALSE(link.ReceiveLine().complete);
  EXPECT_FALSE(link.ReceiveReply(4).complete);
  link.FlushInput();
  EXPECT_LT(Since(start), 0.1);
  EXPECT_THROW(link.SendCommand("dir\n"), LinkClosed);
}

TEST(LeadingNumber, DigitsOnlyAndSaturating) {
  EXPECT_EQ(LeadingNumber("1956x"), 1956);
  EXPECT_EQ(LeadingNumber(""), 0);
  EXPECT_EQ(LeadingNumber("-5"), 0);
  EXPECT_EQ(LeadingNumber(std::string(40, '9')), std::numeric_limits<long long>::max());
}

// Each exchange's bytes on the wire, replies in any case, and no image after
// a refused count. (Silent, garbled and cut-off replies: the fault matrix.)
TEST_F(LinkTest, Exchanges) {
  const std::string image("MEMO\xff\0x", 7);
  std::string names;
  const auto on_line = [&](const std::string& name, bool is_name) {
    if (is_name) names += name + "|";
    return true;
  };
  const std::pair<std::string, std::function<bool()>> cases[] = {
      {"2\nfs0\nshopping\nOK\n",
       [&] { return DirExchange(link, on_line).ok && names == "fs0|shopping|"; }},
      {"FOUND\n3\nabcOK\n",
       [&] {
         const GetResult r = GetExchange(link, "fs0");
         return r.ok && r.text == "abc";
       }},
      {"nothing\n", [&] { return GetExchange(link, "fs0").found == Word::kOther; }},
      {"found\nok\nabc\nok\n",
       [&] {
         const GetxResult r = GetxExchange(link, "fs0_1_0", 4);
         return r.ok && r.block == "abc\n";
       }},
      {"found\n", [&] { return GetxExchange(link, "fs0_1_0", 0).ok; }},
      {"ok\nok\nok\n", [&] { return PutExchange(link, "fs0", image); }},
      {"ok\nno\n", [&] { return !PutExchange(link, "fs0", image); }},
      {"found\nok\n", [&] { return DelExchange(link, "fs0_2").ok; }},
  };
  for (const auto& [replies, run] : cases) {
    port.Arrive(replies);
    EXPECT_TRUE(run()) << replies;
  }
  EXPECT_EQ(port.written, "dir\nget fs0\nget fs0\ngetx fs0_1_0\n4\ngetx fs0_1_0\nput fs0\n7\n" +
                              image + "put fs0\n7\ndel fs0_2\n");
}

}  // namespace
}  // namespace tavo::link
