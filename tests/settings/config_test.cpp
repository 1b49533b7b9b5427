#include "settings/config.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <tuple>

#include "support/temp_dir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavo::settings {
namespace {

namespace fs = std::filesystem;

std::string Lines(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* line : lines) out += std::string(line) + "\r\n";
  return out;
}

const std::string kDefaultFile =
    Lines({"0", "0", "1", "1", "9375", "7425", "", "", "", "", "2", "2"});

TEST(Config, TwelveLinesAreTakenAsTheyStandAnyOtherCountGivesTheDefaults) {
  const std::string twelve =
      Lines({" 15", "-30", "0", " 1", " 12000", " 9000", "a", "b\nc", "", "d", "3", "4"});
  const std::pair<std::string, std::string> cases[] = {
      {twelve, twelve},  // a lone line feed does not end a line
      {"0\r0\r1\r1\r9375\r7425\r\r\r\r\r2\r\n3",
       Lines({"0", "0", "1", "1", "9375", "7425", "", "", "", "", "2", "3"})},
      {twelve.substr(0, twelve.size() - 3), kDefaultFile},  // eleven lines
      {twelve + "x\r\n", kDefaultFile},
      {"", kDefaultFile},
      {std::string(600, '\r'), kDefaultFile},
  };
  for (const auto& [file, kept] : cases) {
    Config config;
    ParseConfig(config, file);
    EXPECT_EQ(SerializeConfig(config), kept) << file;
  }
}

// Leading blanks, a sign, digits and a fraction; whole values round half to even.
TEST(Config, NumbersAreReadAsTheSettingsDo) {
  const std::tuple<const char*, double, long long> cases[] = {
      {"   12.5xyz", 12.5, 12}, {"-2.5", -2.5, -2}, {"+3.", 3, 3}, {"3.5", 3.5, 4}, {"0.5", 0.5, 0},
      {"4.49", 4.49, 4},        {"abc", 0, 0},      {"", 0, 0},    {"\t5", 0, 0}};
  for (const auto& [text, value, whole] : cases) {
    EXPECT_NEAR(NumericValue(text), value, 1e-9) << text;
    EXPECT_EQ(WholeValue(text), whole) << text;
  }
  EXPECT_GT(WholeValue(std::string(400, '9')), 4);  // no overflow into range
  EXPECT_EQ(StoredNumber(1200), " 1200");
  EXPECT_EQ(StoredNumber(-15), "-15");
}

TEST(Config, ChecksAndDefaultsTouchOnlyTheirGroup) {
  Config config;
  ParseConfig(config,
              Lines({"50000", "-400", "0", "0", "100", "5400", "r", "", "", "", "4.5", "0.5"}));
  // Port 4.5 rounds to 4 and is kept as written; speed 0.5 rounds to 0.
  CheckConfig(config, SettingsGroup::kPort, {19200, 14400});
  EXPECT_EQ(SerializeConfig(config),
            Lines({"50000", "-400", "0", "0", "100", "5400", "r", "", "", "", "4.5", "2"}));
  CheckConfig(config, SettingsGroup::kWindow, {19200, 14400});
  EXPECT_EQ(SerializeConfig(config),
            Lines({" 18200", "-400", "0", "0", "6400", "5400", "r", "", "", "", "4.5", "2"}));
  SetDefaultConfig(config, SettingsGroup::kPort);
  EXPECT_EQ(config.ConfigValues[WindowLeft], " 18200");
  SetDefaultConfig(config, SettingsGroup::kWindow);
  EXPECT_EQ(SerializeConfig(config), kDefaultFile);
}

TEST(Config, FileIsReplacedWholeAndFailuresAreSilent) {
  testing::TempDir dir;
  const std::string prefix = dir.path().string() + "/";
  Config config;
  ReadConfig(config, prefix);  // missing file: defaults
  EXPECT_EQ(SerializeConfig(config), kDefaultFile);

  config.ConfigValues[WindowWidth] = " 12000";
  WriteConfig(config, prefix);
  WriteConfig(config, prefix + "missing/");  // cannot be created: nothing happens
  EXPECT_EQ(testing::ReadTree(dir.path()),
            (std::map<std::string, std::string>{
                {kConfigFileName,
                 Lines({"0", "0", "1", "1", " 12000", "7425", "", "", "", "", "2", "2"})}}));
}

#ifndef _WIN32
// ReadConfig on a fifo, guarded: a reader that waits for a writer is released
// by opening the other end, and the test fails instead of hanging.
std::string ReadWithin(const fs::path& dir, const fs::path& fifo) {
  auto reading = std::async(std::launch::async, [&] {
    Config config;
    ReadConfig(config, dir.string() + "/");
    return SerializeConfig(config);
  });
  if (reading.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
    ADD_FAILURE() << "ReadConfig waits on a fifo";
    ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
  }
  return reading.get();
}

// Only a regular file (or a link to one) of a sensible size is read; anything
// else under the name, endless or blocking, gives the defaults at once.
TEST(Config, ReadsOnlyARegularFileOfSensibleSize) {
  const std::string twelve =
      Lines({" 15", "-30", "0", "0", " 12000", " 9000", "", "", "", "", " 3", "4"});
  // Twelve lines, one of them long.
  const std::string too_long = Lines({"0", "0", "1", "1", "9375", "7425"}) +
                               std::string(kMaxConfigBytes, ' ') +
                               Lines({"", "", "", "", "2", "3"});
  const struct {
    const char* what;
    std::function<void(const fs::path& dir, const fs::path& file)> make;
    const std::string& want;
  } cases[] = {
      {"directory", [](const fs::path&, const fs::path& f) { fs::create_directory(f); },
       kDefaultFile},
      {"fifo", [](const fs::path&, const fs::path& f) { ::mkfifo(f.c_str(), 0644); }, kDefaultFile},
      {"link to /dev/zero",
       [](const fs::path&, const fs::path& f) { fs::create_symlink("/dev/zero", f); },
       kDefaultFile},
      {"too long",
       [&](const fs::path&, const fs::path& f) { std::ofstream(f, std::ios::binary) << too_long; },
       kDefaultFile},
      {"link to a regular file",
       [&](const fs::path& dir, const fs::path& f) {
         std::ofstream(dir / "elsewhere", std::ios::binary) << twelve;
         fs::create_symlink(dir / "elsewhere", f);
       },
       twelve},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    const fs::path file = dir.path() / kConfigFileName;
    c.make(dir.path(), file);
    EXPECT_EQ(ReadWithin(dir.path(), file), c.want) << c.what;
  }
}

// Exit writes only over a regular file that may be written, or where there is
// none: what the user made read-only, and anything else under the name, stay.
TEST(Config, WritesOverNothingButAWritableRegularFile) {
  Config config;
  SetDefaultConfig(config, SettingsGroup::kAll);
  const std::string mine = Lines({"mine"});
  const struct {
    const char* what;
    std::function<void(const fs::path& dir, const fs::path& file)> make;
    bool written;
  } cases[] = {
      {"read-only file",
       [&](const fs::path&, const fs::path& f) {
         std::ofstream(f, std::ios::binary) << mine;
         fs::permissions(f, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
       },
       false},
      {"directory", [](const fs::path&, const fs::path& f) { fs::create_directory(f); }, false},
      {"fifo", [](const fs::path&, const fs::path& f) { ::mkfifo(f.c_str(), 0644); }, false},
      {"link to /dev/null",
       [](const fs::path&, const fs::path& f) { fs::create_symlink("/dev/null", f); }, false},
      {"private file",
       [&](const fs::path&, const fs::path& f) {
         std::ofstream(f, std::ios::binary) << mine;
         fs::permissions(f, fs::perms::owner_read | fs::perms::owner_write);
       },
       true},
      {"link to a regular file",
       [&](const fs::path& dir, const fs::path& f) {
         std::ofstream(dir / "elsewhere", std::ios::binary) << mine;
         fs::create_symlink(dir / "elsewhere", f);
       },
       true},
      // A link left under the temporary name is not written through.
      {"link beside",
       [&](const fs::path& dir, const fs::path& f) {
         std::ofstream(dir / "victim", std::ios::binary) << mine;
         fs::create_symlink(dir / "victim", f.string() + ".new");
       },
       false},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    const fs::path file = dir.path() / kConfigFileName;
    c.make(dir.path(), file);
    const auto type = fs::symlink_status(file).type();
    const auto perms = fs::status(file).permissions();
    const auto before = testing::ReadTree(dir.path());
    WriteConfig(config, dir.path().string() + "/");
    EXPECT_EQ(fs::symlink_status(file).type(), type) << c.what;
    EXPECT_EQ(fs::status(file).permissions(), perms) << c.what;
    if (c.written) {
      EXPECT_EQ(dir.Get(kConfigFileName), kDefaultFile) << c.what;
    } else {
      EXPECT_EQ(testing::ReadTree(dir.path()), before) << c.what;
    }
    EXPECT_FALSE(fs::exists(file.string() + ".new") && !fs::is_symlink(file.string() + ".new"))
        << c.what;
  }
}
#endif

// Huge, negative and endless numbers saturate to the screen: the size to its
// available area (never below the minimum), the position to keep 1000 twips
// of the window on it, on every side.
TEST(Config, WindowGeometrySaturatesToTheScreen) {
  const std::string huge(400, '9');
  using Geometry = std::array<std::string, 4>;  // left, top, width, height
  const std::tuple<Geometry, ScreenSize, Geometry> cases[] = {
      {{"0", "0", "2000000000", " 500000"},
       {30000, 20000, 28800, 19000},
       {"0", "0", " 28800", " 19000"}},
      {{"-1000000000000", "-" + huge, huge, "7425"},
       {30000, 20000},
       {"-29000", "-6425", " 30000", "7425"}},
      {{huge, "-400", "100", "-" + huge},
       {30000, 20000, 28800, 19000},
       {" 29000", "-400", "6400", "5400"}},
      {{"-5400", "-4400", "9375", "7425"}, {4800, 3600}, {"-5400", "-4400", "6400", "5400"}},
      // No screen known.
      {{"10", "20", "90000", "90000"}, {}, {"-1000", "-1000", "90000", "90000"}},
  };
  for (const auto& [given, screen, want] : cases) {
    Config config;
    SetDefaultConfig(config, SettingsGroup::kAll);
    auto& v = config.ConfigValues;
    std::tie(v[WindowLeft], v[WindowTop], v[WindowWidth], v[WindowHeight]) =
        std::tie(given[0], given[1], given[2], given[3]);
    CheckConfig(config, SettingsGroup::kWindow, screen);
    EXPECT_EQ((Geometry{v[WindowLeft], v[WindowTop], v[WindowWidth], v[WindowHeight]}), want)
        << given[0].substr(0, 20) << " " << given[1].substr(0, 20);
  }
}

}  // namespace
}  // namespace tavo::settings

namespace tavo::settings {
namespace {

// Default in Window Options puts the geometry back at once but leaves the
// two boxes' stored values for OK; in Main Options only the display changes.
TEST(Config, TheDefaultButtonChangesWhatEachDialogSays) {
  Config config;
  SetDefaultConfig(config, SettingsGroup::kAll);
  auto& v = config.ConfigValues;
  v[0] = " 77";
  v[SaveGeometryOnExit] = "0";
  v[PortNumber] = " 4";
  const Config defaults = [] {
    Config fresh;
    SetDefaultConfig(fresh, SettingsGroup::kAll);
    return fresh;
  }();
  const Config window = PressDefault(config, SettingsGroup::kWindow);
  EXPECT_EQ(window.ConfigValues[SaveGeometryOnExit], "1");
  EXPECT_EQ(v[0], defaults.ConfigValues[0]);
  EXPECT_EQ(v[SaveGeometryOnExit], "0");
  const Config port = PressDefault(config, SettingsGroup::kPort);
  EXPECT_EQ(port.ConfigValues[PortNumber], "2");
  EXPECT_EQ(v[PortNumber], " 4");
}

}  // namespace
}  // namespace tavo::settings
