#include "settings/config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tavo::settings {
namespace {

const ScreenSize kScreen{19200, 14400};

std::string Lines(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* line : lines) out += std::string(line) + "\r\n";
  return out;
}

const std::string kDefaultFile =
    Lines({"0", "0", "1", "1", "9375", "7425", "", "", "", "", "2", "2"});

TEST(Config, DefaultsAreWrittenByteForByte) {
  Config config;
  SetDefaultConfig(config, SettingsGroup::kAll);
  EXPECT_EQ(SerializeConfig(config), kDefaultFile);
}

TEST(Config, TwelveLinesAreTakenAsTheyStandIncludingReservedLines) {
  Config config;
  const std::string file =
      Lines({" 15", "-30", "0", " 1", " 12000", " 9000", "a", "b\nc", "", "d", "3", "4"});
  ParseConfig(config, file);
  EXPECT_EQ(config.ConfigLastIndex, 11);
  EXPECT_EQ(config.ConfigValues[ShowAboutAtStart], " 1");
  EXPECT_EQ(config.ConfigValues[7], "b\nc");  // a lone line feed does not end a line
  EXPECT_EQ(SerializeConfig(config), file);
}

TEST(Config, AnyOtherLineCountFallsBackToAllDefaults) {
  for (const std::string& file :
       {Lines({"5", "5", "0", "0", "9000", "9000", "", "", "", "", "3"}),
        Lines({"5", "5", "0", "0", "9000", "9000", "", "", "", "", "3", "3", "x"}), std::string(),
        std::string(300 * 2, '\r')}) {
    Config config;
    ParseConfig(config, file);
    EXPECT_EQ(SerializeConfig(config), kDefaultFile);
  }
}

TEST(Config, LastLineWithoutLineEndAndBareCarriageReturnsCount) {
  Config config;
  ParseConfig(config, "0\r0\r1\r1\r9375\r7425\r\r\r\r\r2\r\n3");
  EXPECT_EQ(config.ConfigLastIndex, 11);
  EXPECT_EQ(config.ConfigValues[BaudCode], "3");
}

TEST(Config, NumbersAreReadAsTheSettingsDo) {
  EXPECT_DOUBLE_EQ(NumericValue("   12.5xyz"), 12.5);
  EXPECT_DOUBLE_EQ(NumericValue("-7"), -7);
  EXPECT_DOUBLE_EQ(NumericValue("+3."), 3);
  EXPECT_DOUBLE_EQ(NumericValue("abc"), 0);
  EXPECT_DOUBLE_EQ(NumericValue(""), 0);
  EXPECT_DOUBLE_EQ(NumericValue("\t5"), 0);  // only blanks are skipped
  EXPECT_EQ(WholeValue("2.5"), 2);
  EXPECT_EQ(WholeValue("3.5"), 4);
  EXPECT_EQ(WholeValue("0.5"), 0);
  EXPECT_EQ(WholeValue("4.49"), 4);
  EXPECT_GT(WholeValue(std::string(400, '9')), 4);  // no overflow into range
  EXPECT_EQ(StoredNumber(1200), " 1200");
  EXPECT_EQ(StoredNumber(-15), "-15");
}

TEST(Config, CheckBringsValuesIntoRange) {
  Config config;
  SetDefaultConfig(config, SettingsGroup::kAll);
  auto& v = config.ConfigValues;
  v[WindowLeft] = "50000";
  v[WindowTop] = "-400";
  v[WindowWidth] = "100";
  v[WindowHeight] = "5400";
  v[PortNumber] = "7";
  v[BaudCode] = "0";
  CheckConfig(config, SettingsGroup::kAll, kScreen);
  EXPECT_EQ(v[WindowLeft], " 18200");
  EXPECT_EQ(v[WindowTop], "-400");  // no lower bound
  EXPECT_EQ(v[WindowWidth], "6400");
  EXPECT_EQ(v[WindowHeight], "5400");
  EXPECT_EQ(v[PortNumber], "2");
  EXPECT_EQ(v[BaudCode], "2");

  v[PortNumber] = "4.5";  // rounds to 4: kept as written
  v[BaudCode] = "0.5";    // rounds to 0: out of range
  v[WindowWidth] = "1";
  CheckConfig(config, SettingsGroup::kPort, kScreen);
  EXPECT_EQ(v[PortNumber], "4.5");
  EXPECT_EQ(v[BaudCode], "2");
  EXPECT_EQ(v[WindowWidth], "1");  // the window group was not asked for
}

TEST(Config, GroupsResetOnlyTheirOwnValues) {
  Config config;
  ParseConfig(config, Lines({"1", "2", "0", "0", "7000", "6000", "r", "", "", "", "3", "4"}));
  SetDefaultConfig(config, SettingsGroup::kPort);
  EXPECT_EQ(config.ConfigValues[WindowWidth], "7000");
  EXPECT_EQ(config.ConfigValues[PortNumber], "2");
  SetDefaultConfig(config, SettingsGroup::kWindow);
  EXPECT_EQ(SerializeConfig(config), kDefaultFile);
}

TEST(Config, FileRoundTripAndSilentFailures) {
  const auto dir = std::filesystem::temp_directory_path() / "tavo_config_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string prefix = dir.string() + "/";

  Config config;
  ReadConfig(config, prefix);  // missing file: defaults
  EXPECT_EQ(SerializeConfig(config), kDefaultFile);

  config.ConfigValues[WindowWidth] = " 12000";
  WriteConfig(config, prefix);
  std::string bytes;
  {
    std::ifstream in(prefix + kConfigFileName, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }  // closed before the directory goes: Windows refuses to remove open files
  EXPECT_EQ(bytes, Lines({"0", "0", "1", "1", " 12000", "7425", "", "", "", "", "2", "2"}));
  Config again;
  ReadConfig(again, prefix);
  EXPECT_EQ(again.ConfigValues, config.ConfigValues);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left beside it

  WriteConfig(config, prefix + "missing/");  // cannot be created: nothing happens
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tavo::settings
