#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "link/port.h"

namespace tavo::link {

inline constexpr double kReplyLimit = 12.0;   // seconds for a whole line or block
inline constexpr double kDrainLimit = 12.0;   // seconds for the output to drain
inline constexpr double kFlushSilence = 0.5;  // quiet time that makes input clean
inline constexpr std::size_t kInputBufferSize = 16384;
inline constexpr int kWaitSliceMs = 20;  // events run between slices of a wait

// Raised by SendCommand on a closed link: the step in progress is abandoned.
class LinkClosed : public std::runtime_error {
 public:
  LinkClosed() : std::runtime_error("serial link is closed") {}
};

// One reply line or block. `complete` tells a line that ended with a line feed
// (or a block of the full count) from one cut short by the 12 s limit.
struct Reply {
  std::string text;
  bool complete = false;
};

// "19200,N,8,1" for code 3; a code outside 1 to 4 gives its own value as the rate.
std::string SettingsString(int baud_code);

class SerialLink {
 public:
  SerialLink(Port& port, Clock& clock, LinkHost& host) : port_(port), clock_(clock), host_(host) {}

  // 0 when open, -1 after "Error: Can't open serial port!" was shown.
  int OpenPort(int port_number, int baud_code);
  void ClosePort();
  bool IsOpen() const { return port_.IsOpen(); }

  // Discards input until 0.5 s pass without a character; gives up after the
  // 12 s reply limit on a line that never falls silent. Runs no events.
  void FlushInput();
  // Writes the whole text and waits up to 12 s for it to drain, running events.
  // Throws LinkClosed when the port is not open.
  void SendCommand(const std::string& text);
  // count 0: one line without its CR/LF; count > 0: a block of up to count bytes
  // (at most the input buffer). Either ends 12 s after the call.
  Reply ReceiveReply(std::size_t count) { return ReceiveReply(count, kReplyLimit); }
  // The same with another limit in seconds.
  Reply ReceiveReply(std::size_t count, double limit);
  Reply ReceiveLine() { return ReceiveReply(0); }

  Clock& clock() { return clock_; }

 private:
  Port& port_;
  Clock& clock_;
  LinkHost& host_;
};

// Numeric value of a reply or count line: leading digits, none gives 0.
// Saturates instead of overflowing.
long long LeadingNumber(const std::string& text);
std::string ToLower(std::string text);

}  // namespace tavo::link
