#include <algorithm>
#include <cmath>
#include <limits>

#include "organizer-sim/organizer.h"

namespace tavo::sim {
namespace {

constexpr std::int64_t kNanosPerMs = 1'000'000;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

}  // namespace

SimPort::SimPort(Organizer& organizer, ManualClock& clock, int baud)
    : organizer_(organizer),
      clock_(clock),
      char_nanos_(baud > 0 ? 10'000'000'000 / baud : 0),
      last_input_(clock.NowNanos()) {}

bool SimPort::Open(const link::PortSettings& settings) {
  ++opens_;
  settings_ = settings;
  open_ = !open_fails_;
  return open_;
}

void SimPort::Close() {
  open_ = false;
  to_client_.clear();
}

void SimPort::Queue(std::int64_t made) {
  const std::string reply = organizer_.TakeOutput();
  if (!open_) return;  // nobody listens
  // Replies start going out once the byte that caused them has arrived.
  std::int64_t at = to_client_.empty() ? made : std::max(made, to_client_.back().at);
  for (char c : reply) {
    at += char_nanos_;
    to_client_.push_back({at, c});
  }
}

void SimPort::SchedulePaced(std::int64_t after) {
  const std::optional<double> interval = organizer_.PacedInterval();
  if (!interval) {
    paced_at_ = kNever;
  } else if (paced_at_ == kNever) {
    paced_at_ = after + std::llround(*interval * 1e9);
  }
}

void SimPort::Advance() {
  const std::int64_t now = clock_.NowNanos();
  for (;;) {
    const bool input_due = !to_organizer_.empty() && to_organizer_.front().at <= now;
    if (paced_at_ <= now && (!input_due || paced_at_ <= to_organizer_.front().at)) {
      // A line the organizer sends at its own pace.
      const std::int64_t made = paced_at_;
      organizer_.SendPacedLine();
      Queue(made);
      paced_at_ = kNever;
      SchedulePaced(made);
      continue;
    }
    if (!input_due) break;
    const Timed next = to_organizer_.front();
    to_organizer_.pop_front();
    if (organizer_.MidExchange() &&
        next.at - last_input_ > static_cast<std::int64_t>(kStaleExchangeSeconds * 1e9)) {
      organizer_.AbandonExchange();
    }
    last_input_ = next.at;
    organizer_.Feed(std::string_view(&next.byte, 1));
    Queue(next.at);
    SchedulePaced(to_client_.empty() ? next.at : std::max(next.at, to_client_.back().at));
  }
}

std::deque<SimPort::Timed>::const_iterator SimPort::FirstNotDue() const {
  // Arrival times never decrease along the queue, so a long reply (a "dir" of
  // thousands of names) is searched, not walked, on every poll.
  return std::upper_bound(to_client_.begin(), to_client_.end(), clock_.NowNanos(),
                          [](std::int64_t now, const Timed& t) { return now < t.at; });
}

std::size_t SimPort::BytesWaiting() {
  Advance();
  return static_cast<std::size_t>(FirstNotDue() - to_client_.begin());
}

std::string SimPort::Read(std::size_t max_bytes) {
  const std::size_t n = std::min(max_bytes, BytesWaiting());
  std::string out;
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    out += to_client_.front().byte;
    to_client_.pop_front();
  }
  return out;
}

void SimPort::Write(const std::string& bytes) {
  if (!open_) return;
  std::int64_t at = clock_.NowNanos();
  if (!to_organizer_.empty()) at = std::max(at, to_organizer_.back().at);
  for (char c : bytes) {
    at += char_nanos_;
    to_organizer_.push_back({at, c});
  }
  Advance();
}

std::size_t SimPort::BytesToSend() {
  Advance();
  return to_organizer_.size();
}

std::int64_t SimPort::NextEvent() const {
  std::int64_t next = kNever;
  if (!to_organizer_.empty()) next = to_organizer_.front().at;
  next = std::min(next, paced_at_);
  const auto arriving = FirstNotDue();
  if (arriving != to_client_.end()) next = std::min(next, arriving->at);
  return next;
}

bool SimPort::WaitForInput(int timeout_ms) {
  // Like a serial device: only bytes that arrive during the wait end it, so a
  // reader waiting for the rest of a short block still sees time pass.
  const std::size_t before = BytesWaiting();
  const std::int64_t deadline =
      clock_.NowNanos() + static_cast<std::int64_t>(std::max(0, timeout_ms)) * kNanosPerMs;
  for (std::int64_t next = NextEvent(); next <= deadline; next = NextEvent()) {
    clock_.AdvanceTo(next);
    if (BytesWaiting() > before) return true;
  }
  clock_.AdvanceTo(deadline);
  return BytesWaiting() > before;
}

bool SimPort::WaitForOutput(int timeout_ms) {
  Advance();
  if (to_organizer_.empty()) return true;
  const std::int64_t deadline =
      clock_.NowNanos() + static_cast<std::int64_t>(std::max(0, timeout_ms)) * kNanosPerMs;
  clock_.AdvanceTo(std::min(deadline, to_organizer_.front().at));
  const std::size_t before = to_organizer_.size();
  Advance();
  return to_organizer_.size() < before;
}

}  // namespace tavo::sim
