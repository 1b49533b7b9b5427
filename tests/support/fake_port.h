#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/port.h"

namespace tavo::testing {

// A clock that moves only when a wait asks it to.
class FakeClock : public link::Clock {
 public:
  double Now() override { return now_; }
  void Advance(double seconds) { now_ += seconds; }

 private:
  double now_ = 1000.0;
};

// A port whose input is a schedule of bytes arriving at given times; waits
// move the fake clock, so time-outs cost no real time.
class FakePort : public link::Port {
 public:
  explicit FakePort(FakeClock& clock) : clock_(clock) {}

  // Bytes that arrive `delay` seconds after the last scheduled arrival (or now).
  void Arrive(const std::string& bytes, double delay = 0) {
    last_arrival_ = std::max(last_arrival_, clock_.Now()) + delay;
    schedule_.push_back({last_arrival_, bytes});
  }

  bool Open(const link::PortSettings& settings) override {
    opened_with = settings;
    ++opens;
    open_ = open_allowed;
    return open_;
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  std::size_t BytesWaiting() override {
    Deliver();
    return input_.size();
  }
  std::string Read(std::size_t max_bytes) override {
    Deliver();
    const std::size_t n = std::min(max_bytes, input_.size());
    std::string out = input_.substr(0, n);
    input_.erase(0, n);
    return out;
  }
  void Write(const std::string& bytes) override { written += bytes; }
  std::size_t BytesToSend() override { return output_stuck ? 1 : 0; }
  bool WaitForInput(int timeout_ms) override {
    // Like the real device: only new bytes end a wait early.
    ++waits;
    Deliver();
    const double until = clock_.Now() + timeout_ms / 1000.0;
    if (!schedule_.empty() && schedule_.front().at <= until) {
      clock_.Advance(std::max(0.0, schedule_.front().at - clock_.Now()));
      Deliver();
      return true;
    }
    clock_.Advance(timeout_ms / 1000.0);
    return false;
  }
  bool WaitForOutput(int timeout_ms) override {
    clock_.Advance(timeout_ms / 1000.0);
    return !output_stuck;
  }

  std::string written;
  link::PortSettings opened_with;
  int opens = 0;
  int waits = 0;
  bool open_allowed = true;
  bool output_stuck = false;

 private:
  struct Arrival {
    double at;
    std::string bytes;
  };
  void Deliver() {
    while (!schedule_.empty() && schedule_.front().at <= clock_.Now()) {
      input_ += schedule_.front().bytes;
      schedule_.pop_front();
    }
  }

  FakeClock& clock_;
  std::deque<Arrival> schedule_;
  std::string input_;
  double last_arrival_ = 0;
  bool open_ = false;
};

class RecordingHost : public link::LinkHost {
 public:
  void PumpEvents() override {
    ++pumps;
    if (on_pump) on_pump();
  }
  void ShowLinkError(const std::string& text) override { errors.push_back(text); }
  int pumps = 0;
  std::vector<std::string> errors;
  std::function<void()> on_pump;
};

}  // namespace tavo::testing
