#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "commands/client.h"
#include "commands/fake_view.h"
#include "link/exchanges.h"
#include "memofs/checker.h"
#include "organizer-sim/organizer.h"
#include "platform/computer_files.h"
#include "platform/serial_port.h"
#include "platform/steady_clock.h"
#include "support/temp_dir.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;

// The scripted window, running Qt's events where the real one would.
class PumpingView : public testing::FakeView {
 public:
  void PumpEvents() override { QCoreApplication::processEvents(); }
};

// Runs `rate` times faster than real time, so the 12 s limits pass quickly
// while the waits still block on the real device.
class ScaledClock : public link::Clock {
 public:
  explicit ScaledClock(double rate) : rate_(rate), origin_(steady_.Now()) {}
  double Now() override { return origin_ + (steady_.Now() - origin_) * rate_; }

 private:
  platform::SteadyClock steady_;
  double rate_;
  double origin_;
};

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
  return bytes;
}

std::map<std::string, std::string> ReadTree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files[fs::relative(entry.path(), root).string()] =
        std::string(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

// The program as main() builds it, with the scripted window, the computer's
// files below a temporary directory (drive "t") and COM2 of a temporary start
// directory served by the simulated organizer.
struct Rig {
  testing::TempDir start;
  testing::TempDir pc;
  sim::Organizer organizer;
  std::unique_ptr<sim::PtyServer> server;
  ScaledClock clock;
  PumpingView view;
  commands::ClientState state;
  platform::NativeComputerFiles files{{{'c', "/"}, {'t', pc.path().string()}}};
  platform::QtSerialPort port{start.path().string() + "/"};
  commands::ViewLinkHost host{view};
  link::SerialLink link{port, clock, host};
  commands::Client client{state, view, link, files};

  explicit Rig(double clock_rate = 1.0) : clock(clock_rate) {
    settings::SetDefaultConfig(state.ConfigValues, settings::SettingsGroup::kAll);
    state.ConfigValues.ConfigValues[settings::PortNumber] = " 2";
    state.ConfigValues.ConfigValues[settings::BaudCode] = " 4";
    state.StartDirectory = start.path().string() + "/";
    state.ComputerDrive = "t";
    state.ComputerPath = "\\";
  }
  ~Rig() {
    if (server) server->Stop();
  }
  // Faults must be injected before: from here the organizer is the server's.
  void Serve(int baud = 0) {
    server = std::make_unique<sim::PtyServer>(organizer, baud);
    ASSERT_TRUE(server->Link((start.path() / "com2").string()));
  }
  // Stops the server; the organizer is the test's again.
  void StopServing() { server->Stop(); }
  void Copy(testing::FakeView::Pane& pane, const std::string& row, bool to_pc) {
    client.ListComputerDirectory();
    ASSERT_TRUE(view.Select(pane, {row})) << row;
    to_pc ? client.Copy1_Click() : client.Copy2_Click();
  }
  bool ShowsUnsynchronized() const {
    return !view.organizer.rows.empty() && view.organizer.rows[0].text.rfind("unsync", 0) == 0;
  }
};

TEST(Integration, CopiesATreeToTheOrganizerAndBackByteForByte) {
  Rig rig;
  fs::create_directories(rig.pc.path() / "tree" / "sub");
  rig.pc.Put("tree/empty", "");
  rig.pc.Put("tree/one part", Pattern(1956));
  rig.pc.Put("tree/sub/big", Pattern(5000));
  rig.pc.Put("tree/sub/caf\xe9", "x");
  rig.Serve();

  rig.client.Synchronize_Click();
  ASSERT_TRUE(rig.client.Synchronized());
  rig.Copy(rig.view.computer, "<tree>", false);
  ASSERT_TRUE(rig.client.Synchronized());
  EXPECT_NE(rig.view.organizer.Find("<tree>"), -1);

  fs::create_directory(rig.pc.path() / "back");
  rig.state.ComputerPath = "\\back\\";
  rig.Copy(rig.view.organizer, "<tree>", true);
  EXPECT_TRUE(rig.client.Synchronized());
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{});
  EXPECT_EQ(ReadTree(rig.pc.path() / "back" / "tree"), ReadTree(rig.pc.path() / "tree"));
  EXPECT_EQ(ReadTree(rig.pc.path() / "tree").size(), 4u);

  rig.StopServing();
  std::map<std::string, std::string> texts;
  for (const auto& [name, image] : rig.organizer.Memos()) texts[name] = *rig.organizer.Text(name);
  EXPECT_TRUE(memofs::CheckMemoFileSystem(texts).Clean());
}

// A paced line hands a block over a few characters at a time; the wait that
// sleeps through their arrivals still reads it whole.
TEST(Integration, BlockOverAPacedLineIsReadWhole) {
  Rig rig;
  const std::string text = Pattern(3000);
  rig.organizer.PutText("memo", text);
  rig.Serve(115200);
  ASSERT_EQ(rig.link.OpenPort(2, 115200), 0);
  const link::GetResult memo = link::GetExchange(rig.link, "memo");
  EXPECT_TRUE(memo.ok);
  EXPECT_EQ(memo.text, text);
}

TEST(Integration, SilentOrganizerEndsUnsynchronizedAfterTheReplyLimit) {
  Rig rig(50.0);
  rig.organizer.InjectFault({sim::FaultKind::kSilence, 1});
  rig.Serve();
  const double real_start = platform::SteadyClock().Now();
  const double clock_start = rig.clock.Now();
  rig.client.Synchronize_Click();
  EXPECT_FALSE(rig.client.Synchronized());
  EXPECT_TRUE(rig.ShowsUnsynchronized());
  EXPECT_FALSE(rig.port.IsOpen());
  // One reply limit, not two: nothing is sent after the first silence. (Each
  // wait may overrun by a real 20 ms slice, a whole second on this clock.)
  EXPECT_GE(rig.clock.Now() - clock_start, link::kReplyLimit);
  EXPECT_LT(rig.clock.Now() - clock_start, 2 * link::kReplyLimit);
  EXPECT_LT(platform::SteadyClock().Now() - real_start, 3.0);
}

// The line going dead (as when a USB adapter is pulled) closes the port, so
// the command ends at once instead of waiting out its limit.
TEST(Integration, HangUpEndsTheCommandAtOnce) {
  Rig rig;
  rig.organizer.InjectFault({sim::FaultKind::kHangUp, 2});
  rig.Serve();
  const double started = rig.clock.Now();
  rig.client.Synchronize_Click();
  EXPECT_FALSE(rig.client.Synchronized());
  EXPECT_TRUE(rig.ShowsUnsynchronized());
  EXPECT_LT(rig.clock.Now() - started, 3.0);
}

}  // namespace
}  // namespace tavo

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
