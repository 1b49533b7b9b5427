#include "link/serial_link.h"

#include <gtest/gtest.h>

#include "support/fake_port.h"

namespace tavo::link {
namespace {

using testing::FakeClock;
using testing::FakePort;
using testing::RecordingHost;

struct LinkFixture : ::testing::Test {
  FakeClock clock;
  FakePort port{clock};
  RecordingHost host;
  SerialLink link{port, clock, host};

  void SetUp() override { ASSERT_EQ(link.OpenPort(2, 2), 0); }
  double Elapsed(double since) { return clock.Now() - since; }
};

TEST(SettingsString, BaudTableAndOtherCodes) {
  EXPECT_EQ(SettingsString(1), "4800,N,8,1");
  EXPECT_EQ(SettingsString(3), "19200,N,8,1");
  EXPECT_EQ(SettingsString(4), "38400,N,8,1");
  EXPECT_EQ(SettingsString(7), "7,N,8,1");
}

TEST_F(LinkFixture, OpenAppliesTheSettingsAndReportsFailure) {
  EXPECT_EQ(port.opened_with.port_number, 2);
  EXPECT_EQ(port.opened_with.settings, "9600,N,8,1");
  EXPECT_EQ(port.opened_with.baud, 9600);
  EXPECT_EQ(port.opened_with.input_buffer, 16384u);
  link.ClosePort();
  port.open_allowed = false;
  EXPECT_EQ(link.OpenPort(3, 4), -1);
  ASSERT_EQ(host.errors.size(), 1u);
  EXPECT_EQ(host.errors[0], "Error: Can't open serial port!");
}

TEST_F(LinkFixture, LineDropsCarriageReturnsAndLeavesTheRest) {
  port.Arrive(std::string("o\rk\r\nnext"));
  const double t = clock.Now();
  Reply reply = link.ReceiveLine();
  EXPECT_EQ(reply.text, "ok");
  EXPECT_TRUE(reply.complete);
  EXPECT_LT(Elapsed(t), 0.1);
  EXPECT_EQ(port.Read(100), "next");
}

TEST_F(LinkFixture, LineWithoutLineFeedEndsAtTheLimitIncomplete) {
  port.Arrive("ok");
  const double t = clock.Now();
  Reply reply = link.ReceiveLine();
  EXPECT_EQ(reply.text, "ok");
  EXPECT_FALSE(reply.complete);
  EXPECT_NEAR(Elapsed(t), 12.0, 0.05);

  // A silent organizer: empty and incomplete after 12 s, in short waits that run events.
  const double t2 = clock.Now();
  const int pumps = host.pumps;
  reply = link.ReceiveLine();
  EXPECT_EQ(reply.text, "");
  EXPECT_FALSE(reply.complete);
  EXPECT_NEAR(Elapsed(t2), 12.0, 0.05);
  EXPECT_GE(host.pumps - pumps, 12 * 1000 / kWaitSliceMs);
}

TEST_F(LinkFixture, LineArrivingLateWithinTheLimitIsComplete) {
  port.Arrive("fo", 3.0);
  port.Arrive("und\n", 8.5);
  Reply reply = link.ReceiveLine();
  EXPECT_EQ(reply.text, "found");
  EXPECT_TRUE(reply.complete);
}

TEST_F(LinkFixture, BlockTakesTheCountAndLeavesTheRest) {
  std::string bytes;
  for (int c = 0; c < 12; ++c) bytes += static_cast<char>(c == 5 ? '\n' : 250 + c % 6);
  port.Arrive(bytes);
  Reply reply = link.ReceiveReply(10);
  EXPECT_EQ(reply.text, bytes.substr(0, 10));
  EXPECT_TRUE(reply.complete);
  EXPECT_EQ(port.Read(100), bytes.substr(10));
}

TEST_F(LinkFixture, ShortBlockIsReturnedAtTheLimit) {
  port.Arrive("abc", 1.0);
  const double t = clock.Now();
  Reply reply = link.ReceiveReply(5);
  EXPECT_EQ(reply.text, "abc");
  EXPECT_FALSE(reply.complete);
  EXPECT_NEAR(Elapsed(t), 12.0, 0.05);
}

TEST_F(LinkFixture, ClosedPortReturnsAtOnceAndSendRaises) {
  link.ClosePort();
  const double t = clock.Now();
  EXPECT_FALSE(link.ReceiveLine().complete);
  EXPECT_FALSE(link.ReceiveReply(4).complete);
  EXPECT_LT(Elapsed(t), 0.1);
  EXPECT_THROW(link.SendCommand("dir\n"), LinkClosed);
  link.FlushInput();  // nothing to do, no error
}

TEST_F(LinkFixture, SendWritesTheWholeLineAndGivesUpOnAStuckOutput) {
  link.SendCommand("get fs0\n");
  EXPECT_EQ(port.written, "get fs0\n");
  port.output_stuck = true;
  const double t = clock.Now();
  link.SendCommand("dir\n");
  EXPECT_NEAR(Elapsed(t), 12.0, 0.05);
}

TEST_F(LinkFixture, FlushWaitsForHalfASecondOfSilence) {
  for (int i = 0; i < 10; ++i) port.Arrive("x", 0.3);
  const double t = clock.Now();
  const int pumps = host.pumps;
  link.FlushInput();
  EXPECT_NEAR(Elapsed(t), 3.0 + 0.5, 0.05);
  EXPECT_EQ(port.BytesWaiting(), 0u);
  EXPECT_EQ(host.pumps, pumps);  // no events run during a flush
}

TEST_F(LinkFixture, FlushGivesUpOnALineThatNeverFallsSilent) {
  for (int i = 0; i < 200; ++i) port.Arrive("x", 0.2);
  const double t = clock.Now();
  link.FlushInput();
  EXPECT_LT(Elapsed(t), 12.5);
  EXPECT_GE(Elapsed(t), 12.0);
}

TEST(LeadingNumber, DigitsOnlyAndSaturating) {
  EXPECT_EQ(LeadingNumber("1956x"), 1956);
  EXPECT_EQ(LeadingNumber(""), 0);
  EXPECT_EQ(LeadingNumber("-5"), 0);
  EXPECT_EQ(LeadingNumber(std::string(40, '9')), std::numeric_limits<long long>::max());
}

}  // namespace
}  // namespace tavo::link
