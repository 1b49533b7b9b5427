#include "settings/config.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

namespace tavo::settings {
namespace {

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
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const auto dir =
      std::filesystem::temp_directory_path() / ("tavo-config-" + std::to_string(stamp));
  std::filesystem::create_directories(dir);
  const std::string prefix = dir.string() + "/";
  Config config;
  ReadConfig(config, prefix);  // missing file: defaults
  EXPECT_EQ(SerializeConfig(config), kDefaultFile);

  config.ConfigValues[WindowWidth] = " 12000";
  WriteConfig(config, prefix);
  WriteConfig(config, prefix + "missing/");  // cannot be created: nothing happens
  std::ifstream in(dir / kConfigFileName, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            Lines({"0", "0", "1", "1", " 12000", "7425", "", "", "", "", "2", "2"}));
  in.close();  // Windows removes no open file
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tavo::settings
