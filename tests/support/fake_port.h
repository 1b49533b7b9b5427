#pragma once

#include <algorithm>
#include <deque>
#include <string>
#include <utility>

#include "link/port.h"

namespace tavo::testing {

// A clock that moves only when a wait asks it to.
class FakeClock : public link::Clock {
 public:
  double Now() override { return now; }
  double now = 1000.0;
};

// A port whose input is a schedule of bytes arriving at given times; waits
// move the fake clock, so time limits cost no real time.
class FakePort : public link::Port {
 public:
  explicit FakePort(FakeClock& clock) : clock_(clock) {}

  // Bytes that arrive `delay` seconds after the last scheduled arrival (or now).
  void Arrive(const std::string& bytes, double delay = 0) {
    last_arrival_ = std::max(last_arrival_, clock_.now) + delay;
    schedule_.emplace_back(last_arrival_, bytes);
  }

  bool Open(const link::PortSettings& settings) override {
    opened_with = settings;
    return open_ = true;
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  std::size_t BytesWaiting() override { return Deliver().size(); }
  std::string Read(std::size_t max_bytes) override {
    std::string out = Deliver().substr(0, max_bytes);
    input_.erase(0, out.size());
    return out;
  }
  void Write(const std::string& bytes) override { written += bytes; }
  std::size_t BytesToSend() override { return output_stuck ? 1 : 0; }
  bool WaitForInput(int timeout_ms) override {
    // Like the real device: only new bytes end a wait early.
    Deliver();
    const double until = clock_.now + timeout_ms / 1000.0;
    const bool arrives = !schedule_.empty() && schedule_.front().first <= until;
    clock_.now = arrives ? schedule_.front().first : until;
    return arrives;
  }
  bool WaitForOutput(int timeout_ms) override {
    clock_.now += timeout_ms / 1000.0;
    return !output_stuck;
  }

  std::string written;
  link::PortSettings opened_with;
  bool output_stuck = false;

 private:
  const std::string& Deliver() {
    for (; !schedule_.empty() && schedule_.front().first <= clock_.now; schedule_.pop_front()) {
      input_ += schedule_.front().second;
    }
    return input_;
  }

  FakeClock& clock_;
  std::deque<std::pair<double, std::string>> schedule_;
  std::string input_;
  double last_arrival_ = 0;
  bool open_ = false;
};

class RecordingHost : public link::LinkHost {
 public:
  void PumpEvents() override { ++pumps; }
  void ShowLinkError(const std::string&) override {}
  int pumps = 0;
};

}  // namespace tavo::testing
