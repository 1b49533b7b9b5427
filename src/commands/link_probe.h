#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/serial_link.h"

namespace tavo::commands {

// One exchange of a link probe as it went.
struct ProbeStep {
  std::string exchange;  // "dir", "put", "get", "getx" or "del"
  bool ok = false;
  std::string detail;
  double seconds = 0;  // on the link's clock
};

struct ProbeResult {
  std::vector<ProbeStep> steps;
  std::string memo;  // the probe memo's name; empty when the probe stopped at "dir"
  int Failures() const;
  // All five exchanges ran and passed.
  bool Passed() const { return steps.size() == 5 && Failures() == 0; }
};

// Checks a line the way the program uses it, over an open link: "dir", then
// "put ", "get ", "getx " and "del " once each on a probe memo holding every
// byte value. The probe memo takes a name the listing does not hold (in any
// case), so nothing of the user's is touched; without a whole listing (a
// failed "dir") nothing is written at all. After a failed exchange stray
// replies are flushed; a closed link ends the probe. on_step runs after each
// exchange.
ProbeResult ProbeLink(link::SerialLink& link,
                      const std::function<void(const ProbeStep&)>& on_step = {});

}  // namespace tavo::commands
