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

TEST_F(LinkTest, OpenAppliesTheSettingsAndReportsFailure) {
  EXPECT_EQ(port.opened_with.port_number, 2);
  EXPECT_EQ(port.opened_with.settings, "9600,N,8,1");
  EXPECT_EQ(port.opened_with.baud, 9600);
  EXPECT_EQ(port.opened_with.input_buffer, 16384u);
  for (const auto& [code, text] :
       {std::pair{1, "4800,N,8,1"}, {3, "19200,N,8,1"}, {4, "38400,N,8,1"}, {7, "7,N,8,1"}}) {
    EXPECT_EQ(SettingsString(code), text);
  }
  port.open_allowed = false;
  EXPECT_EQ(link.OpenPort(3, 4), -1);
  EXPECT_EQ(host.errors, std::vector<std::string>{"Error: Can't open serial port!"});
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

std::string Said(Word w) {
  return w == Word::kExpected ? "found" : w == Word::kOther ? "other" : "silent";
}

// Each exchange's bytes on the wire and what it makes of the replies; a
// missing reply costs one limit, never more.
TEST_F(LinkTest, Exchanges) {
  const std::string image("MEMO\xff\0x", 7);
  const auto dir = [](SerialLink& l) {
    std::string names;
    const auto on_line = [&](const std::string& name, bool is_name) {
      if (is_name) names += name + "|";
      return true;
    };
    return names + (DirExchange(l, on_line).ok ? "ok" : "failed");
  };
  const auto get = [](SerialLink& l) {
    const GetResult r = GetExchange(l, "fs0");
    return Said(r.found) + " " + r.text + (r.ok ? " ok" : "");
  };
  const auto getx = [](std::size_t n) {
    return [n](SerialLink& l) {
      const GetxResult r = GetxExchange(l, "fs0_1_0", n);
      return Said(r.found) + " " + r.block + (r.ok ? " ok" : "");
    };
  };
  const auto put = [&](SerialLink& l) {
    return std::string(PutExchange(l, "fs0", image) ? "ok" : "");
  };
  const auto del = [](SerialLink& l) {
    const DelResult r = DelExchange(l, "fs0_2");
    return Said(r.found) + (r.ok ? " ok" : "");
  };
  struct Case {
    std::string replies;
    std::function<std::string(SerialLink&)> run;
    std::string sent;
    std::string outcome;
    double seconds = 0;
  };
  const Case cases[] = {
      {"2\nfs0\nshopping\nOK\n", dir, "dir\n", "fs0|shopping|ok"},
      {"", dir, "dir\n", "failed", 12},
      {"FOUND\n0\nOK\n", get, "get fs0\n", "found  ok"},
      {"found\n3\nabcok\n", get, "get fs0\n", "found abc ok"},
      {"nothing\n", get, "get fs0\n", "other "},
      {"", get, "get fs0\n", "silent ", 12},
      {"found\n5\nab", get, "get fs0\n", "found ab", 12},
      {"found\nok\nabc\nok\n", getx(4), "getx fs0_1_0\n4\n", "found abc\n ok"},
      {"found\n", getx(0), "getx fs0_1_0\n", "found  ok"},
      {"found\nok\nab", getx(4), "getx fs0_1_0\n4\n", "found ", 12},
      {"ok\nok\nok\n", put, "put fs0\n7\n" + image, "ok"},
      {"ok\nno\n", put, "put fs0\n7\n", ""},  // no image after a refusal
      {"found\nok\n", del, "del fs0_2\n", "found ok"},
      {"no such memo\n", del, "del fs0_2\n", "other"},
      {"", del, "del fs0_2\n", "silent", 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent + " <- " + c.replies);
    port.written.clear();
    port.Arrive(c.replies);
    const double start = clock.now;
    EXPECT_EQ(c.run(link), c.outcome);
    EXPECT_EQ(port.written, c.sent);
    EXPECT_NEAR(Since(start), c.seconds, 0.1);
    port.Read(1000);
  }
}

}  // namespace
}  // namespace tavo::link
