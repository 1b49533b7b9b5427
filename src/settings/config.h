#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace tavo::settings {

inline constexpr const char* kConfigFileName = "tavo_c.cfg";
// Room for 256 lines of 254 characters; a larger file counts as one of too
// many lines. The program itself writes 12 short ones.
inline constexpr std::size_t kMaxConfigBytes = std::size_t{256} * 256;

enum ConfigIndex : int {
  WindowLeft = 0,
  WindowTop = 1,
  SaveGeometryOnExit = 2,
  ShowAboutAtStart = 3,
  WindowWidth = 4,
  WindowHeight = 5,
  PortNumber = 10,
  BaudCode = 11,
};

enum class SettingsGroup : int { kAll = 0, kWindow = 1, kPort = 2 };

struct Config {
  std::array<std::string, 256> ConfigValues{};
  int ConfigLastIndex = 11;
};

struct ScreenSize {
  double width_twips = 0;
  double height_twips = 0;
  // Less what task bars and docks take; 0 where all of the screen is.
  double available_width_twips = 0;
  double available_height_twips = 0;
};

// Reads a number as the settings do: leading blanks, sign, digits, fraction;
// nothing numeric is 0.
double NumericValue(const std::string& text);
// NumericValue rounded half to even.
long long WholeValue(const std::string& text);
// A number as the program stores it: a leading blank unless negative.
std::string StoredNumber(long long value);

void SetDefaultConfig(Config& config, SettingsGroup group);
// An options dialog's Default button for its group (window or port): the
// group's defaults go into `config`, except the two values the dialog shows
// (its check boxes, or the port and speed), which stay as they were until OK;
// returns what the dialog then shows, the defaults.
Config PressDefault(Config& config, SettingsGroup group);
// Brings the group's values into range. The window keeps at least 1000 twips
// on the screen and is no larger than the screen's available area (but never
// below its minimum size); out-of-range numbers saturate to those bounds.
void CheckConfig(Config& config, SettingsGroup group, ScreenSize screen);
// `directory` ends with the path separator (or is empty for the current one).
// Reads only a regular file (or a link to one) of at most kMaxConfigBytes,
// never waiting on it; anything else gives the defaults.
void ReadConfig(Config& config, const std::string& directory);
// Silently does nothing when the file cannot be written, is read-only, or the
// name holds something other than a regular file.
void WriteConfig(const Config& config, const std::string& directory);

// Parses the bytes of a configuration file (shared by ReadConfig and the fuzz target).
void ParseConfig(Config& config, const std::string& bytes);
std::string SerializeConfig(const Config& config);

}  // namespace tavo::settings
