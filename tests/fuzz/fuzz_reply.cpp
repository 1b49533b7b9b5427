// Any byte stream as the organizer's replies, arriving in bursts: every
// exchange ends, and a line never holds a line feed or carriage return. A
// listing left part way closes the port; the exchanges after it then stop.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "link/exchanges.h"
#include "support/fake_port.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavo;
  testing::FakeClock clock;
  testing::FakePort port(clock);
  testing::RecordingHost host;
  link::SerialLink link(port, clock, host);
  if (link.OpenPort(2, 2) != 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (std::size_t i = 0; i < bytes.size(); i += 7) port.Arrive(bytes.substr(i, 7), 0.5);
  link::DirExchange(link, [](const std::string& name, bool) {
    if (name.find_first_of("\r\n") != std::string::npos) std::abort();
    return true;
  });
  if (!link.IsOpen()) return 0;
  link::GetExchange(link, "fs0");
  if (!link.IsOpen()) return 0;
  link::GetxExchange(link, "fs0_0_0", 1956);
  if (!link.IsOpen()) return 0;
  link::PutExchange(link, "fs0", "image");
  if (!link.IsOpen()) return 0;
  link::DelExchange(link, "fs0_1");
  return 0;
}
