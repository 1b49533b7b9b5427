#include "settings/config.h"

#include <cmath>
#include <limits>
#include <optional>

#include "settings/plain_file.h"

namespace tavo::settings {

namespace {

constexpr int kValueCount = 12;
constexpr double kScreenMargin = 1000;
constexpr const char* kMinWidth = "6400";
constexpr const char* kMinHeight = "5400";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void CheckWholeRange(std::string& value) {
  const long long n = WholeValue(value);
  if (n < 1 || n > 4) value = "2";
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
    const double max_left = screen.width_twips - kScreenMargin;
    if (NumericValue(v[WindowLeft]) > max_left) {
      v[WindowLeft] = StoredNumber(std::llround(max_left));
    }
    const double max_top = screen.height_twips - kScreenMargin;
    if (NumericValue(v[WindowTop]) > max_top) v[WindowTop] = StoredNumber(std::llround(max_top));
    if (NumericValue(v[WindowWidth]) < 6400) v[WindowWidth] = kMinWidth;
    if (NumericValue(v[WindowHeight]) < 5400) v[WindowHeight] = kMinHeight;
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
