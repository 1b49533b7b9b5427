#pragma once

#include <cstddef>
#include <string>

namespace tavo::link {

// What the link needs of a serial device. Implemented over QSerialPort in the
// platform layer and by fakes in tests. Every character is one byte.
struct PortSettings {
  int port_number = 2;   // 1 to 4: COM1 to COM4
  std::string settings;  // e.g. "9600,N,8,1"
  int baud = 9600;       // numeric value of the settings string's rate
  std::size_t input_buffer = 16384;
  std::size_t output_buffer = 16384;
};

class Port {
 public:
  virtual ~Port() = default;
  // Applies the settings and opens the device; false when it cannot be opened.
  virtual bool Open(const PortSettings& settings) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual std::size_t BytesWaiting() = 0;
  // Returns at most max_bytes of what is waiting, possibly nothing; never blocks.
  virtual std::string Read(std::size_t max_bytes) = 0;
  virtual void Write(const std::string& bytes) = 0;
  virtual std::size_t BytesToSend() = 0;
  // Blocks in the operating system until new input arrives (true) or
  // timeout_ms pass (false); bytes already waiting do not end it. Must not run
  // window events.
  virtual bool WaitForInput(int timeout_ms) = 0;
  // Blocks until some queued output has gone out or timeout_ms pass.
  virtual bool WaitForOutput(int timeout_ms) = 0;
  // Blocks until at least `count` bytes are waiting (true) or timeout_ms pass;
  // it may also end sooner, on any new input. Must not run window events.
  virtual bool WaitForBytes(std::size_t count, int timeout_ms) {
    return BytesWaiting() >= count || WaitForInput(timeout_ms);
  }
};

// Monotonic seconds; the origin is arbitrary, so no wait misbehaves across midnight.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double Now() = 0;
};

// The window side of the link: running pending events and the error box.
class LinkHost {
 public:
  virtual ~LinkHost() = default;
  virtual void PumpEvents() = 0;
  virtual void ShowLinkError(const std::string& text) = 0;
};

}  // namespace tavo::link
