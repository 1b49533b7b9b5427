#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "organizer-sim/organizer.h"

namespace tavo::sim {
namespace {

TEST(SimPort, UnpacedRepliesAreThereAtOnce) {
  Organizer o;
  ManualClock clock;
  SimPort port(o, clock);
  ASSERT_TRUE(port.Open({}));
  const double start = clock.Now();
  port.Write("dir\n");
  EXPECT_EQ(port.BytesToSend(), 0u);
  EXPECT_EQ(port.BytesWaiting(), 5u);
  EXPECT_EQ(port.Read(2), "0\n");
  EXPECT_EQ(port.Read(100), "ok\n");
  EXPECT_EQ(clock.Now(), start);
}

TEST(SimPort, SilenceCostsVirtualTimeOnly) {
  Organizer o;
  o.InjectFault({FaultKind::kSilence, 1});
  ManualClock clock;
  SimPort port(o, clock);
  port.Open({});
  const double start = clock.Now();
  port.Write("dir\n");
  EXPECT_FALSE(port.WaitForInput(12000));
  EXPECT_DOUBLE_EQ(clock.Now() - start, 12.0);
  port.Write("dir\n");  // the next exchange is answered
  EXPECT_EQ(port.Read(100), "0\nok\n");
}

TEST(SimPort, PacedLineTakesTenBitTimesPerCharacter) {
  Organizer o;
  ManualClock clock;
  SimPort port(o, clock, 1000);  // 10 ms a character
  port.Open({});
  const std::int64_t start = clock.NowNanos();
  port.Write("dir\n");
  EXPECT_EQ(port.BytesToSend(), 4u);
  EXPECT_TRUE(port.WaitForOutput(1000));
  EXPECT_TRUE(port.WaitForInput(1000));
  // Four characters out, then the first reply character back.
  EXPECT_EQ(clock.NowNanos() - start, 50'000'000);
  EXPECT_EQ(port.Read(100), "0");
  EXPECT_FALSE(port.WaitForInput(5));
  EXPECT_TRUE(port.WaitForInput(5));
  EXPECT_EQ(port.Read(100), "\n");
}

TEST(SimPort, StalePutIsGivenUpBeforeTheNextCommand) {
  Organizer o;
  ManualClock clock;
  SimPort port(o, clock);
  port.Open({});
  port.Write("put fs0\n");
  port.Write("44\n");
  EXPECT_EQ(port.Read(100), "ok\nok\n");
  clock.Advance(kStaleExchangeSeconds + 1);
  port.Write("dir\n");
  EXPECT_EQ(port.Read(100), "0\nok\n");
}

TEST(SimPort, OpenCanFailAndClosingLosesUnreadInput) {
  Organizer o;
  ManualClock clock;
  SimPort port(o, clock);
  port.SetOpenFails(true);
  EXPECT_FALSE(port.Open({}));
  EXPECT_FALSE(port.IsOpen());
  port.Write("dir\n");  // a closed port sends nothing
  EXPECT_EQ(o.Exchanges(), 0);
  port.SetOpenFails(false);
  ASSERT_TRUE(port.Open({}));
  port.Write("dir\n");
  port.Close();  // what was not read goes with the port
  ASSERT_TRUE(port.Open({}));
  EXPECT_EQ(port.BytesWaiting(), 0u);
}

// Reads from fd until `expected` bytes arrived or two seconds passed.
std::string ReadFor(int fd, std::size_t expected) {
  std::string got;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (got.size() < expected && std::chrono::steady_clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

TEST(PtyServer, AnswersOverARealPseudoTerminal) {
  Organizer o;
  o.PutText("fs0", "");
  o.InjectFault({FaultKind::kHangUp, 2});
  const auto link =
      std::filesystem::temp_directory_path() / ("tavo-sim-com2-" + std::to_string(::getpid()));
  {
    PtyServer server(o, 0);
    ASSERT_TRUE(server.Link(link.string()));
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "get fs0\n", 8), 8);
    EXPECT_EQ(ReadFor(fd, 11), "found\n0\nok\n");
    ASSERT_EQ(::write(fd, "dir\n", 4), 4);
    EXPECT_EQ(ReadFor(fd, 1), "");  // hung up
    ::close(fd);
    server.Stop();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
  }
  EXPECT_TRUE(o.HungUp());
  EXPECT_NE(o.Transcript().find("> get fs0\n< found\n< 0\n< ok\n"), std::string::npos);
}

}  // namespace
}  // namespace tavo::sim
