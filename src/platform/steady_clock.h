#pragma once

#include <chrono>

#include "link/port.h"

namespace tavo::platform {

// Seconds of the monotonic clock: no jump at midnight or when the time is set.
class SteadyClock : public link::Clock {
 public:
  double Now() override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace tavo::platform
