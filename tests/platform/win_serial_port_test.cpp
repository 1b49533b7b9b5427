// The Windows port against the simulated organizer, reached as a COM port
// (scripts/windows-test.sh maps the simulator's pseudo-terminals into the
// Wine prefix): TAVO_TEST_COM names a sane organizer, TAVO_TEST_COM_HANGUP one
// that hangs up at its second command. Without them the tests are skipped.
#include "platform/win_serial_port.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <string>

#include "link/exchanges.h"
#include "link/serial_link.h"
#include "memofs/index_text.h"
#include "platform/console.h"
#include "platform/steady_clock.h"

namespace tavo::platform {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

struct QuietHost : link::LinkHost {
  void PumpEvents() override {}
  void ShowLinkError(const std::string&) override {}
};

struct WinRig {
  WinSerialPort port;
  SteadyClock clock;
  QuietHost host;
  link::SerialLink link{port, clock, host};
  explicit WinRig(const std::string& device) {
    port.SetDevice(device);
    // 38400 baud, the speed of the fourth setting.
    if (link.OpenPort(2, 4) != 0) ADD_FAILURE() << port.OpenFailureText();
  }
};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string Memo(const std::string& title, const std::string& body) {
  return memofs::BuildMemoImage(title, body);
}

TEST(WinSerialPort, CarriesEveryByteBothWaysAndHoldsThePortAlone) {
  const std::string com = Env("TAVO_TEST_COM");
  if (com.empty()) GTEST_SKIP() << "no simulated organizer on a COM port";
  WinRig rig(com);
  ASSERT_TRUE(rig.link.IsOpen());

  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);  // 0 ends a memo
  ASSERT_TRUE(link::PutExchange(rig.link, "winprobe", Memo("winprobe", all)));
  const link::GetxResult back = link::GetxExchange(rig.link, "winprobe", all.size());
  ASSERT_TRUE(back.ok);
  EXPECT_EQ(back.block, all);
  bool listed = false;
  EXPECT_TRUE(link::DirExchange(rig.link, [&](const std::string& name, bool is_name) {
                listed = listed || (is_name && name == "winprobe");
                return true;
              }).ok);
  EXPECT_TRUE(listed);

  // A second opener, in this program or another, is refused with the reason.
  WinSerialPort second;
  second.SetDevice(com);
  EXPECT_FALSE(second.Open({}));
  EXPECT_EQ(second.InUseText(), Upper(com) + " is in use by another program");
  EXPECT_NE(second.OpenFailureText().find("close it"), std::string::npos);

  EXPECT_TRUE(link::DelExchange(rig.link, "winprobe").ok);
}

TEST(WinSerialPort, AMissingPortSaysSoAndAHangUpEndsWithinTheLimit) {
  WinSerialPort missing;
  missing.SetDevice("COM200");
  EXPECT_FALSE(missing.Open({}));
  EXPECT_NE(missing.OpenFailureText().find("There is no such port"), std::string::npos)
      << missing.OpenFailureText();

  const std::string com = Env("TAVO_TEST_COM_HANGUP");
  if (com.empty()) GTEST_SKIP() << "no hanging-up organizer on a COM port";
  WinRig rig(com);
  ASSERT_TRUE(link::DelExchange(rig.link, "nothing").found == link::Word::kOther);
  const auto start = std::chrono::steady_clock::now();
  const link::GetResult got = link::GetExchange(rig.link, "anything");
  EXPECT_EQ(got.found, link::Word::kTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(14));
}

TEST(WinConsole, ListsTheRegistrysPortsAndKeepsSettingsInAppData) {
  // The test's own prefix: a port as a driver names it.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char kPort[] = "COM17";
  RegSetValueExA(key, "\\Device\\TavoTest", 0, REG_SZ, reinterpret_cast<const BYTE*>(kPort),
                 sizeof kPort);
  const std::vector<std::string> ports = SystemSerialPorts();
  RegDeleteValueA(key, "\\Device\\TavoTest");
  RegCloseKey(key);
  EXPECT_NE(std::find(ports.begin(), ports.end(), "COM17"), ports.end());

  EXPECT_EQ(UserSettingsDirectory(), Env("APPDATA") + "\\Tavo");
  EXPECT_FALSE(IsTerminal(StdStream::kIn));  // the test's input is no console
}

}  // namespace
}  // namespace tavo::platform
