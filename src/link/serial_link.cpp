#include "link/serial_link.h"

#include <algorithm>
#include <limits>

namespace tavo::link {

namespace {

constexpr const char* kOpenError = "Error: Can't open serial port!";

int SliceMs(double remaining_seconds) {
  const double ms = remaining_seconds * 1000.0;
  if (ms <= 1) return 1;
  return ms < kWaitSliceMs ? static_cast<int>(ms) : kWaitSliceMs;
}

}  // namespace

std::string SettingsString(int baud_code) {
  std::string rate;
  switch (baud_code) {
    case 1:
      rate = "4800";
      break;
    case 2:
      rate = "9600";
      break;
    case 3:
      rate = "19200";
      break;
    case 4:
      rate = "38400";
      break;
    default:
      rate = std::to_string(baud_code);
      break;
  }
  return rate + ",N,8,1";
}

int SerialLink::OpenPort(int port_number, int baud_code) {
  PortSettings settings;
  settings.port_number = port_number;
  settings.settings = SettingsString(baud_code);
  settings.baud = static_cast<int>(LeadingNumber(settings.settings));
  settings.input_buffer = kInputBufferSize;
  settings.output_buffer = kInputBufferSize;
  if (port_.IsOpen()) port_.Close();
  if (!port_.Open(settings)) {
    host_.ShowLinkError(kOpenError);
    return -1;
  }
  return 0;
}

void SerialLink::ClosePort() {
  if (port_.IsOpen()) port_.Close();
}

void SerialLink::FlushInput() {
  if (!port_.IsOpen()) return;
  // A line that never falls silent would keep a pure "wait for silence" going
  // for ever; the reply limit bounds it.
  const double started = clock_.Now();
  for (;;) {
    const double noted = clock_.Now();
    bool arrived = false;
    while (port_.IsOpen()) {
      if (port_.BytesWaiting() > 0) {
        arrived = true;
        break;
      }
      const double quiet = clock_.Now() - noted;
      if (quiet >= kFlushSilence) break;
      port_.WaitForInput(SliceMs(kFlushSilence - quiet));
    }
    if (!arrived || !port_.IsOpen()) return;
    port_.Read(port_.BytesWaiting());
    if (clock_.Now() - started >= kReplyLimit) return;
  }
}

void SerialLink::SendCommand(const std::string& text) {
  if (!port_.IsOpen()) throw LinkClosed();
  const double noted = clock_.Now();
  port_.Write(text);
  for (;;) {
    host_.PumpEvents();
    if (!port_.IsOpen() || port_.BytesToSend() == 0) return;
    const double elapsed = clock_.Now() - noted;
    if (elapsed >= kDrainLimit) return;
    port_.WaitForOutput(SliceMs(kDrainLimit - elapsed));
  }
}

Reply SerialLink::ReceiveReply(std::size_t count, double limit) {
  const double noted = clock_.Now();
  Reply reply;
  count = std::min(count, kInputBufferSize);
  auto remaining = [&] { return limit - (clock_.Now() - noted); };
  if (count == 0) {
    // Everything waiting is taken at once, but only up to the line feed: the
    // rest belongs to the next reply.
    for (;;) {
      host_.PumpEvents();
      // Nothing can arrive on a closed port: waiting out the limit would only
      // stall the window.
      if (!port_.IsOpen()) return reply;
      while (port_.BytesWaiting() > 0) {
        const std::string c = port_.Read(1);
        if (c.empty()) break;
        if (c[0] == '\n') {
          reply.complete = true;
          return reply;
        }
        if (c[0] != '\r') reply.text += c[0];
      }
      const double left = remaining();
      if (left <= 0) return reply;
      port_.WaitForInput(SliceMs(left));
    }
  }
  for (;;) {
    host_.PumpEvents();
    if (!port_.IsOpen()) return reply;
    if (port_.BytesWaiting() >= count) break;
    const double left = remaining();
    if (left <= 0) break;
    port_.WaitForBytes(count, SliceMs(left));
  }
  reply.text = port_.Read(count);
  reply.complete = reply.text.size() == count;
  return reply;
}

long long LeadingNumber(const std::string& text) {
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    const int digit = c - '0';
    if (value > (std::numeric_limits<long long>::max() - digit) / 10) {
      return std::numeric_limits<long long>::max();
    }
    value = value * 10 + digit;
  }
  return value;
}

std::string ToLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace tavo::link
