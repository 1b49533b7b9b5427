#include <gtest/gtest.h>

#include "platform/file_names.h"
#include "platform/port_device.h"
#include "support/temp_dir.h"

namespace tavo::platform {
namespace {

namespace fs = std::filesystem;

TEST(StorableNames, EachSystemRefusesWhatItCannotHold) {
  for (const std::string name : {"a", "a.txt", " lead", "caf\xe9", "x\\y", "CON.txt", "end."}) {
    EXPECT_TRUE(IsStorablePosixName(name)) << name;
  }
  for (const std::string& name :
       std::vector<std::string>{"", ".", "..", "a/b", std::string("a\0b", 3)}) {
    EXPECT_FALSE(IsStorablePosixName(name)) << name;
    EXPECT_FALSE(IsStorableWindowsName(name)) << name;
  }
  for (const std::string name :
       {"a", "a.txt", "caf\xe9", ".profile", "CONSOLE", "COM0", "LPT10", "nul1.txt", "a b"}) {
    EXPECT_TRUE(IsStorableWindowsName(name)) << name;
  }
  for (const std::string name :
       {"a<b", "a>b", "a:b", "a\"b", "a\\b", "a|b", "a?b", "a*b", "tab\t", "end.", "end ", "CON",
        "con.txt", "Nul", "aux .c", "COM1", "lpt9.log", "CONOUT$"}) {
    EXPECT_FALSE(IsStorableWindowsName(name)) << name;
  }
}

TEST(PortDevice, PortNumbersNameDevices) {
  testing::TempDir dir;
  const std::string start =
      *BytesFromNative(dir.path()) + static_cast<char>(fs::path::preferred_separator);
  EXPECT_EQ(SerialDeviceName(0, start), "");
#ifdef _WIN32
  EXPECT_EQ(SerialDeviceName(1, start), "COM1");
  EXPECT_EQ(SerialDeviceName(4, start), "COM4");
#else
  EXPECT_EQ(SerialDeviceName(1, start), "/dev/ttyS0");
  EXPECT_EQ(SerialDeviceName(4, start), "/dev/ttyS3");
  // An entry comN in the start directory wins, named by what it points at.
  dir.Put("device", "");
  fs::create_symlink(dir.path() / "device", dir.path() / "com2");
  EXPECT_EQ(SerialDeviceName(2, start), fs::canonical(dir.path() / "device").string());
  // A link to nothing is still that port: opening it fails rather than
  // quietly opening another one.
  fs::create_symlink(dir.path() / "unplugged", dir.path() / "com3");
  EXPECT_EQ(SerialDeviceName(3, start), (dir.path() / "com3").string());
#endif
}

}  // namespace
}  // namespace tavo::platform
