// Any bytes as a settings file: parsing and checking never fail, and a checked
// configuration always holds 12 values in range.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavo::settings;
  Config config;
  ParseConfig(config, std::string(reinterpret_cast<const char*>(data), size));
  CheckConfig(config, SettingsGroup::kAll, ScreenSize{19200, 14400});
  if (config.ConfigLastIndex != 11) std::abort();
  const long long port = WholeValue(config.ConfigValues[PortNumber]);
  if (port < 1 || port > 4) std::abort();
  return 0;
}
