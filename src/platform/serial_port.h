#pragma once

#include <memory>
#include <string>

#include "platform/device_port.h"
#include "platform/port_lock.h"

class QSerialPort;

namespace tavo::platform {

// The link's port over QSerialPort. Every opening applies the settings anew:
// the device of the port number (port_device.h), the baud rate, 8 data bits,
// no parity, 1 stop bit, no flow control and a read buffer of the input size.
// A lost device (a pulled USB adapter, a hung-up line) closes the port, so
// waits on it end at once instead of turning into a busy loop. While open,
// the device is locked (DeviceLock) and exclusive (TIOCEXCL), whatever path
// another program reaches it by.
class QtSerialPort : public DevicePort {
 public:
  // start_directory: where "com<n>" entries are looked for.
  explicit QtSerialPort(std::string start_directory);
  ~QtSerialPort() override;
  QtSerialPort(const QtSerialPort&) = delete;
  QtSerialPort& operator=(const QtSerialPort&) = delete;

  bool Open(const link::PortSettings& settings) override;
  void Close() override;
  bool IsOpen() const override;
  std::size_t BytesWaiting() override;
  std::string Read(std::size_t max_bytes) override;
  void Write(const std::string& bytes) override;
  std::size_t BytesToSend() override;
  bool WaitForInput(int timeout_ms) override;
  bool WaitForOutput(int timeout_ms) override;
  // After the first of them, the rest of `count` bytes cannot come sooner
  // than the line's speed allows: sleeps through the arrivals before, so a
  // block costs a wake-up a slice instead of one for every few characters.
  bool WaitForBytes(std::size_t count, int timeout_ms) override;

  // The device the last Open used, links resolved.
  const std::string& DeviceName() const override { return device_; }
  // Opens this device, whatever the port number says (a path a user gave;
  // a relative one is taken from the current directory).
  void SetDevice(std::string device) override { fixed_device_ = std::move(device); }
  // The operating system's reason the last Open failed.
  std::string ErrorText() const override;
  // The operating system's error number for the last Open's failure (0 when
  // it opened); Qt's coarser error, made as exact as the device's state allows.
  int OpenError() const { return open_error_; }
  // For the user: which device failed to open and why, with the fix.
  std::string OpenFailureText() const override;
  // After an Open refused because another program holds the device:
  // "COM2 (/dev/ttyUSB0) is in use by minicom (pid 812)"; else empty.
  std::string InUseText() const override;

 private:
  // Closes the port after the device went away. Const because it changes
  // nothing IsOpen could have answered: a lost device is closed either way.
  void CloseIfLost() const;
  // Our lock on device_; false (with the reason kept) when it cannot be had.
  bool TakeLock();

  std::string start_directory_;
  std::string device_;
  std::string fixed_device_;
  int port_number_ = 0;
  int open_error_ = 0;
  int baud_ = 0;
  bool in_use_ = false;
  std::string lock_failure_;  // our own lock could not be taken: the system's reason
  std::unique_ptr<QSerialPort> port_;
  // Released with the port, also when the device went away.
  mutable DeviceLock lock_;
};

}  // namespace tavo::platform
