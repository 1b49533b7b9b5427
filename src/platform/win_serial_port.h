#pragma once

#include <cstdint>
#include <string>

#include "platform/device_port.h"

namespace tavo::platform {

// The link's port on the Windows communications API. The device is opened for
// exclusive use (no sharing), 8 data bits, no parity, 1 stop bit, no flow
// control. Waits block in ReadFile for slices of at most 20 ms, so a Cancel or
// Ctrl-C is seen within a slice and an idle wait costs no processor time; the
// port is never polled with WaitCommEvent, which emulators of the API cannot
// always offer for a pseudo-terminal.
class WinSerialPort : public DevicePort {
 public:
  WinSerialPort() = default;
  ~WinSerialPort() override;
  WinSerialPort(const WinSerialPort&) = delete;
  WinSerialPort& operator=(const WinSerialPort&) = delete;

  bool Open(const link::PortSettings& settings) override;
  void Close() override;
  bool IsOpen() const override { return handle_ != nullptr; }
  std::size_t BytesWaiting() override;
  std::string Read(std::size_t max_bytes) override;
  void Write(const std::string& bytes) override;
  std::size_t BytesToSend() override;
  bool WaitForInput(int timeout_ms) override;
  bool WaitForOutput(int timeout_ms) override;
  // After the first of them, the rest of `count` bytes cannot come sooner
  // than the line's speed allows: sleeps through the arrivals before.
  bool WaitForBytes(std::size_t count, int timeout_ms) override;

  // Opens this device, whatever the port number says ("COM7", "\\.\COM7").
  void SetDevice(std::string device) override { fixed_device_ = std::move(device); }
  // The port the last Open used, as a user names it ("COM7").
  const std::string& DeviceName() const override { return shown_; }
  // The system's error code for the last Open's failure, 0 when it opened.
  std::uint32_t OpenError() const { return open_error_; }
  std::string ErrorText() const override;
  std::string OpenFailureText() const override;
  std::string InUseText() const override;

 private:
  // Moves what the driver holds into in_ without waiting.
  void Drain();
  // Reads into in_ for at most one slice; true when something came.
  bool ReadSlice();
  // Hands queued output to the driver for at most one slice.
  void SendSlice();
  void Lose();

  void* handle_ = nullptr;  // HANDLE, kept out of this header
  void* claim_ = nullptr;   // the port's named object while it is open
  std::string in_;          // read from the driver, not yet taken
  std::string out_;         // written, not yet taken by the driver
  std::string device_;      // as given to CreateFile
  std::string shown_;
  std::string fixed_device_;
  int port_number_ = 0;
  int baud_ = 0;
  std::uint32_t open_error_ = 0;
};

// "\\.\COM<n>" for a port number (empty below 1); a name given by the user
// ("COM12", "com3", "\\.\COM3") in the form CreateFile opens.
std::string WinPortPath(int port_number);
std::string WinPortPath(const std::string& name);
// The system's words for an error code (FormatMessage), without the line end.
std::string WinErrorText(std::uint32_t error);
// What to say when `device` (for COM<port_number>, 0 if given by name) failed
// to open with `error`.
std::string DescribeWinPortFailure(int port_number, const std::string& device, std::uint32_t error);

}  // namespace tavo::platform
