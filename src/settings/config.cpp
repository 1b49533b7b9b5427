#include "settings/config.h"

#include <cmath>
#include <limits>
#include <optional>

#include "settings/plain_file.h"

namespace tavo::settings {

namespace {

constexpr int kValueCount = 12;
constexpr double kScreenMargin = 1000;
constexpr double kMinWidth = 6400;
constexpr double kMinHeight = 5400;
constexpr const char* kMinWidthText = "6400";
constexpr const char* kMinHeightText = "5400";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void CheckWholeRange(std::string& value) {
  const long long n = WholeValue(value);
  if (n < 1 || n > 4) value = "2";
}

// Values the program corrects are stored as it stores numbers.
void LowerTo(std::string& value, double limit) {
  if (NumericValue(value) > limit) value = StoredNumber(std::llround(limit));
}
void RaiseTo(std::string& value, double limit) {
  if (NumericValue(value) < limit) value = StoredNumber(std::llround(limit));
}

// The available area where it is known, else the whole screen; without a
// screen, no limit.
double SizeLimit(double available, double whole) {
  if (available > 0) return available;
  if (whole > 0) return whole;
  return std::numeric_limits<double>::infinity();
}

}  // namespace

double NumericValue(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  double value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) value = value * 10 + (text[i] - '0');
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && IsDigit(text[i]); ++i) {
      value += (text[i] - '0') * scale;
      scale /= 10;
    }
  }
  return negative ? -value : value;
}

long long WholeValue(const std::string& text) {
  const double value = std::nearbyint(NumericValue(text));  // default rounding: half to even
  // A value beyond the range of the result is out of every settings range anyway.
  constexpr double kLimit = 9.0e18;
  if (!(value < kLimit)) return std::numeric_limits<long long>::max();
  if (!(value > -kLimit)) return std::numeric_limits<long long>::min();
  return static_cast<long long>(value);
}

std::string StoredNumber(long long value) {
  return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

Config PressDefault(Config& config, SettingsGroup group) {
  const bool window = group == SettingsGroup::kWindow;
  const int first = window ? SaveGeometryOnExit : PortNumber;
  const int second = window ? ShowAboutAtStart : BaudCode;
  const std::string kept_first = config.ConfigValues[first];
  const std::string kept_second = config.ConfigValues[second];
  SetDefaultConfig(config, group);
  Config shown = config;
  config.ConfigValues[first] = kept_first;
  config.ConfigValues[second] = kept_second;
  return shown;
}

void SetDefaultConfig(Config& config, SettingsGroup group) {
  auto& v = config.ConfigValues;
  if (group == SettingsGroup::kAll || group == SettingsGroup::kWindow) {
    v[WindowLeft] = "0";
    v[WindowTop] = "0";
    v[SaveGeometryOnExit] = "1";
    v[ShowAboutAtStart] = "1";
    v[WindowWidth] = "9375";
    v[WindowHeight] = "7425";
    for (int i = 6; i <= 9; ++i) v[i].clear();
  }
  if (group == SettingsGroup::kAll || group == SettingsGroup::kPort) {
    v[PortNumber] = "2";
    v[BaudCode] = "2";
  }
  config.ConfigLastIndex = kValueCount - 1;
}

void CheckConfig(Config& config, SettingsGroup group, ScreenSize screen) {
  auto& v = config.ConfigValues;
  if (group == SettingsGroup::kAll || group == SettingsGroup::kWindow) {
    LowerTo(v[WindowLeft], screen.width_twips - kScreenMargin);
    LowerTo(v[WindowTop], screen.height_twips - kScreenMargin);
    // A window larger than the screen only costs memory: its pixels are kept.
    LowerTo(v[WindowWidth], SizeLimit(screen.available_width_twips, screen.width_twips));
    LowerTo(v[WindowHeight], SizeLimit(screen.available_height_twips, screen.height_twips));
    if (NumericValue(v[WindowWidth]) < kMinWidth) v[WindowWidth] = kMinWidthText;
    if (NumericValue(v[WindowHeight]) < kMinHeight) v[WindowHeight] = kMinHeightText;
    // As at the right and bottom edges, some of the window stays on the screen.
    RaiseTo(v[WindowLeft], kScreenMargin - NumericValue(v[WindowWidth]));
    RaiseTo(v[WindowTop], kScreenMargin - NumericValue(v[WindowHeight]));
  }
  if (group == SettingsGroup::kAll || group == SettingsGroup::kPort) {
    CheckWholeRange(v[PortNumber]);
    CheckWholeRange(v[BaudCode]);
  }
}

void ParseConfig(Config& config, const std::string& bytes) {
  // A line ends at a carriage return (with a line feed right after it belonging
  // to that end); a lone line feed is part of the value.
  int index = 0;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (index >= static_cast<int>(config.ConfigValues.size())) {
      SetDefaultConfig(config, SettingsGroup::kAll);
      return;
    }
    const std::size_t cr = bytes.find('\r', pos);
    const std::size_t end = cr == std::string::npos ? bytes.size() : cr;
    config.ConfigValues[index++] = bytes.substr(pos, end - pos);
    pos = end;
    if (pos < bytes.size()) {
      ++pos;
      if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
    }
  }
  config.ConfigLastIndex = index - 1;
  if (config.ConfigLastIndex != kValueCount - 1) SetDefaultConfig(config, SettingsGroup::kAll);
}

std::string SerializeConfig(const Config& config) {
  std::string out;
  for (int i = 0; i <= config.ConfigLastIndex && i < static_cast<int>(config.ConfigValues.size());
       ++i) {
    out += config.ConfigValues[i];
    out += "\r\n";
  }
  return out;
}

void ReadConfig(Config& config, const std::string& directory) {
  const std::optional<std::string> bytes =
      ReadSmallRegularFile(directory + kConfigFileName, kMaxConfigBytes);
  if (!bytes) {
    SetDefaultConfig(config, SettingsGroup::kAll);
    return;
  }
  ParseConfig(config, *bytes);
}

void WriteConfig(const Config& config, const std::string& directory) {
  ReplaceRegularFile(directory + kConfigFileName, SerializeConfig(config));
}

}  // namespace tavo::settings
