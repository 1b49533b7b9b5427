#include "platform/port_diagnosis.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/temp_dir.h"

namespace tavo::platform {
namespace {

namespace fs = std::filesystem;

// A /dev of its own: ttyS0 has a UART, ttyS1 and ttyS2 are placeholders, an
// FTDI adapter is ttyUSB0 with a stable name, a modem ttyACM0.
class PortDiagnosisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"dev/serial/by-id", "sys/ttyS0", "sys/ttyS1", "lock", "start"}) {
      fs::create_directories(root_.path() / dir);
    }
    for (const char* file : {"dev/ttyS0", "dev/ttyS1", "dev/ttyS2", "dev/ttyUSB0", "dev/ttyACM0",
                             "dev/tty0", "dev/console"}) {
      root_.Put(file, "");
    }
    root_.Put("sys/ttyS0/type", "4\n");
    root_.Put("sys/ttyS1/type", "0\n");
    fs::create_symlink("../../ttyUSB0", root_.path() / "dev/serial/by-id/usb-FTDI_FT232R-if00");
    places_.dev = Path("dev");
    places_.sys_tty = Path("sys");
    places_.lock_dirs = {Path("lock")};
  }
  std::string Path(const std::string& relative) const { return (root_.path() / relative).string(); }
  PortDiagnosis Diagnose(int open_error) const {
    return DiagnosePort(2, Path("start") + "/", open_error, places_);
  }

  testing::TempDir root_;
  PortPlaces places_;
};

// An unplugged adapter: the link points nowhere. The text names the device,
// the system's reason, the serial devices there are (adapters, and built-in
// ports only where a UART answers) and how to link one.
TEST_F(PortDiagnosisTest, NoSuchDeviceTellsWhichThereAreAndHowToLinkOne) {
  fs::create_symlink(Path("dev/ttyUSB3"), Path("start/com2"));
  const PortDiagnosis d = Diagnose(ENOENT);
  EXPECT_EQ(d.fault, PortFault::kNoDevice);
  EXPECT_EQ(d.device, Path("dev/ttyUSB3"));
  EXPECT_EQ(d.entry, Path("start/com2"));
  const std::string by_id = Path("dev/serial/by-id/usb-FTDI_FT232R-if00");
  EXPECT_EQ(DescribePortFailure(d),
            "COM2 is " + Path("dev/ttyUSB3") + " (the link " + Path("start/com2") +
                ").\nThe system says: No such file or directory.\nSerial devices there are: " +
                Path("dev/ttyACM0") + ", " + Path("dev/ttyS0") + ", " + by_id + " (" +
                Path("dev/ttyUSB0") +
                ").\nTo use one as COM2, link it in the settings "
                "directory, for example:\nln -sfn '" +
                by_id + "' '" + Path("start/com2") + "'");

  // Without a link, COM2 is the second built-in port.
  fs::remove(Path("start/com2"));
  places_.dev = Path("nothing");
  const PortDiagnosis none = Diagnose(-1);
  EXPECT_EQ(none.device, "/dev/ttyS1");
  EXPECT_TRUE(none.entry.empty());
  EXPECT_EQ(DescribePortFailure(none).substr(0, 19), "COM2 is /dev/ttyS1.");
  EXPECT_NE(DescribePortFailure(none).find("There is no serial device"), std::string::npos);
}

// Joining the device's group helps only where the group may use it.
TEST_F(PortDiagnosisTest, NoGroupIsSuggestedWhereTheGroupMayNotUseTheDevice) {
  fs::create_symlink(Path("dev/ttyUSB0"), Path("start/com2"));
  fs::permissions(Path("dev/ttyUSB0"), fs::perms::owner_read | fs::perms::owner_write);
  const std::string text = DescribePortFailure(Diagnose(EACCES));
  EXPECT_EQ(text.substr(text.rfind('\n') + 1), "Your user may not use this device.");
}

// A live process's lock file on the device makes it busy, with its holder
// named; a lock left by a process that is gone does not.
TEST_F(PortDiagnosisTest, ALiveLockMakesTheDeviceBusy) {
  fs::create_symlink(Path("dev/ttyUSB0"), Path("start/com2"));
  root_.Put("lock/LCK..ttyUSB0", "     " + std::to_string(::getpid()) + "\n");
  const PortDiagnosis d = Diagnose(-1);
  EXPECT_EQ(d.fault, PortFault::kBusy);
  EXPECT_NE(d.holder.find("(pid " + std::to_string(::getpid()) + ")"), std::string::npos);
  EXPECT_NE(DescribePortFailure(d).find("Another program holds the device (" + d.holder + ")"),
            std::string::npos);

  root_.Put("lock/LCK..ttyUSB0", "999999999\nsomething\n");
  EXPECT_EQ(Diagnose(-1).fault, PortFault::kNone);
}

}  // namespace
}  // namespace tavo::platform
