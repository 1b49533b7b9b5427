#pragma once

#include <memory>
#include <string>

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

// The system's port; start_directory is where "com<n>" entries are looked
// for on Linux.
std::unique_ptr<DevicePort> MakeSerialPort(const std::string& start_directory);

}  // namespace tavo::platform
