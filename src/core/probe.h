#pragma once

#include <string>
#include <vector>

#include "link/serial_link.h"

namespace tavo::core {

// One exchange of a line check.
struct ProbeStep {
  std::string exchange;  // "dir", "put", "get", "getx", "del"
  bool ok = false;
  std::string detail;
  double seconds = 0;
};

struct ProbeReport {
  std::vector<ProbeStep> steps;
  std::string memo;    // the probe memo's name; empty when "dir" failed
  std::string advice;  // what to check after a failure; empty when all passed
  bool Passed() const { return advice.empty(); }
};

// How long the first reply may keep the check waiting: an organizer that
// answers at all starts a "dir" reply well within it.
inline constexpr double kProbeAnswerLimit = 3.0;

// Runs "dir", then "put ", "get ", "getx " and "del " of a memo holding all 256
// byte values, on an open link, stopping at the first exchange that fails. The
// memo's name is one the "dir" listing does not hold, so nothing of the
// user's is touched; without a listing nothing is written.
ProbeReport RunProbe(link::SerialLink& link);

}  // namespace tavo::core
