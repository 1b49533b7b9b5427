#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include "link/port.h"

namespace tavo::platform {

// The serial port as the front ends open it: by port number (COM1 to COM4)
// or by a device the user named, with the system's reasons when it will not
// open. QSerialPort on Linux, the communications API on Windows.
class DevicePort : public link::Port {
 public:
  // Opens this device, whatever the port number says.
  virtual void SetDevice(std::string device) = 0;
  // The device the last Open used.
  virtual const std::string& DeviceName() const = 0;
  // The system's reason the last Open failed.
  virtual std::string ErrorText() const = 0;
  // For the user: what the failure means and how to mend it.
  virtual std::string OpenFailureText() const = 0;
  // After an Open refused because another program holds the device, which
  // port that is and, where it can be known, the program; else empty.
  virtual std::string InUseText() const = 0;
};

// Waiting for the rest of a block whose first characters are in: they cannot
// come sooner than the line's speed allows, so sleep through most of them
// rather than wake for every few. Ten bits a character; never so many that
// the system's receive buffer (4096 characters on Linux) could fill
// meanwhile. The last stretch is left to the caller's wait, so a coarse
// timer (15.6 ms on Windows) that wakes late never delays the block.
inline void SleepThroughArrivals(std::size_t missing, int baud,
                                 std::chrono::steady_clock::time_point deadline) {
  if (baud <= 0) return;
  constexpr std::chrono::milliseconds kMargin(16);
  const std::chrono::microseconds needed(std::min<std::size_t>(missing, 2048) * 10'000'000 /
                                         static_cast<std::size_t>(baud));
  if (needed <= kMargin) return;
  std::this_thread::sleep_until(
      std::min(std::chrono::steady_clock::now() + needed - kMargin, deadline));
}

// The system's port; start_directory is where "com<n>" entries are looked
// for on Linux.
std::unique_ptr<DevicePort> MakeSerialPort(const std::string& start_directory);

}  // namespace tavo::platform
