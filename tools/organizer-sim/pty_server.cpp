#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "organizer-sim/organizer.h"

namespace tavo::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Characters a serial port's receiver gathers before it passes them on (the
// usual trigger level of a 16550's FIFO).
constexpr std::size_t kReceiveFifo = 8;

double Seconds(SteadyClock::duration d) { return std::chrono::duration<double>(d).count(); }

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// poll() to the nanosecond where the system can: a character takes 260 us
// at 38400 baud.
int PollFor(pollfd* fds, nfds_t count, std::chrono::nanoseconds wait) {
#ifdef __APPLE__
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait);
  return ::poll(fds, count, static_cast<int>(ms.count()));
#else
  timespec timeout{};
  timeout.tv_sec = static_cast<time_t>(wait.count() / 1'000'000'000);
  timeout.tv_nsec = static_cast<long>(wait.count() % 1'000'000'000);
  return ::ppoll(fds, count, &timeout, nullptr);
#endif
}

// One direction of a paced line: the characters on their way, each with the
// moment it is due at the far end.
struct Line {
  std::string bytes;
  std::deque<SteadyClock::time_point> due;
  SteadyClock::time_point free;  // when the last character queued has crossed

  void Push(char c, SteadyClock::time_point sent, SteadyClock::duration char_time) {
    free = std::max(free, sent) + char_time;
    bytes += c;
    due.push_back(free);
  }
  void Pop(std::size_t n) {
    bytes.erase(0, n);
    due.erase(due.begin(), due.begin() + static_cast<std::ptrdiff_t>(std::min(n, due.size())));
  }
  void Clear() {
    bytes.clear();
    due.clear();
  }
};

}  // namespace

PtyServer::PtyServer(Organizer& organizer, int baud) : organizer_(organizer), baud_(baud) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    CloseFds();
    throw std::runtime_error("no pseudo-terminal available");
  }
  char name[256] = {};
  if (::ptsname_r(master_, name, sizeof name) != 0) {
    CloseFds();
    throw std::runtime_error("pseudo-terminal has no name");
  }
  slave_path_ = name;
  slave_keep_ = ::open(name, O_RDWR | O_NOCTTY);
  if (slave_keep_ >= 0) {
    // Raw from the start: no echo, no line editing, no CR/LF mapping of our bytes.
    termios tio{};
    if (::tcgetattr(slave_keep_, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::tcsetattr(slave_keep_, TCSANOW, &tio);
    }
  }
  if (::pipe(wake_) != 0) {
    CloseFds();
    throw std::runtime_error("no pipe for the server thread");
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  thread_ = std::thread([this] { Run(); });
}

PtyServer::~PtyServer() { Stop(); }

void PtyServer::CloseFds() {
  CloseFd(master_);
  CloseFd(slave_keep_);
}

bool PtyServer::Link(const std::string& link_path) {
  struct stat st {};
  if (::lstat(link_path.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) return false;  // never clobber a real file
    if (::unlink(link_path.c_str()) != 0) return false;
  }
  if (::symlink(slave_path_.c_str(), link_path.c_str()) != 0) return false;
  link_path_ = link_path;
  return true;
}

void PtyServer::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    const char byte = 'x';
    [[maybe_unused]] const auto written = ::write(wake_[1], &byte, 1);
    thread_.join();
  }
  CloseFds();
  CloseFd(wake_[0]);
  CloseFd(wake_[1]);
  if (!link_path_.empty()) {
    struct stat st {};
    if (::lstat(link_path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(link_path_.c_str());
    link_path_.clear();
  }
}

void PtyServer::Run() {
  const bool paced = baud_ > 0;
  // Ten bits a character (start, eight data, stop), each way.
  const auto char_time = std::chrono::nanoseconds(paced ? 10'000'000'000LL / baud_ : 0);
  // A character crosses the line in one character time, once the characters
  // before it have crossed; it is due at the far end then.
  Line inbound;   // from the client, handed to the organizer when due
  Line outbound;  // to the client, written to the pseudo-terminal when due
  auto last_input = SteadyClock::now();
  bool output_blocked = false;  // the client's side is full: wait until it reads
  std::optional<SteadyClock::time_point> paced_due;  // the next line of a paced reply
  char buffer[4096];

  // The next paced line is due an interval after `after`; none when the reply is over.
  auto schedule_paced = [&](SteadyClock::time_point after) {
    const std::optional<double> interval = organizer_.PacedInterval();
    if (!interval) {
      paced_due.reset();
    } else if (!paced_due) {
      paced_due = after + std::chrono::duration_cast<SteadyClock::duration>(
                              std::chrono::duration<double>(*interval));
    }
  };

  auto send_replies = [&](SteadyClock::time_point made) {
    const std::string reply = organizer_.TakeOutput();
    if (!paced) {
      outbound.bytes += reply;
      return;
    }
    for (char c : reply) outbound.Push(c, made, char_time);
  };
  auto feed = [&](std::string_view bytes, SteadyClock::time_point arrived) {
    if (organizer_.MidExchange() && Seconds(arrived - last_input) > kStaleExchangeSeconds) {
      organizer_.AbandonExchange();
    }
    last_input = arrived;
    organizer_.Feed(bytes);
    send_replies(arrived);
    schedule_paced(arrived);
    if (organizer_.HungUp()) {
      // The line goes dead: whatever the client opened stops working.
      inbound.Clear();
      outbound.Clear();
      CloseFds();
    }
  };

  while (!stop_) {
    const auto now = SteadyClock::now();
    // One character at a time, so that a reply starts when the character
    // that completes its command has arrived.
    while (master_ >= 0 && !inbound.bytes.empty() && inbound.due.front() <= now) {
      const auto arrived = inbound.due.front();
      const char c = inbound.bytes.front();
      inbound.Pop(1);
      feed(std::string_view(&c, 1), arrived);
    }
    if (master_ >= 0 && paced_due && *paced_due <= now) {
      const auto made = *paced_due;
      organizer_.SendPacedLine();
      send_replies(made);
      paced_due.reset();
      schedule_paced(made);
    }

    // Characters reach the client as a serial port's receiver passes them
    // on: a FIFO's worth at a time, and the last of a reply as it arrives.
    std::size_t due_out = outbound.bytes.size();
    if (paced) {
      due_out = 0;
      while (due_out < outbound.bytes.size() && outbound.due[due_out] <= now) ++due_out;
      if (due_out < kReceiveFifo && due_out < outbound.bytes.size()) due_out = 0;
    }
    if (master_ >= 0 && due_out > 0 && !output_blocked) {
      const ssize_t put = ::write(master_, outbound.bytes.data(), due_out);
      if (put > 0) outbound.Pop(static_cast<std::size_t>(put));
      output_blocked = put < static_cast<ssize_t>(due_out);
    }

    // Sleep until the next character is due either way, or the client writes.
    std::optional<SteadyClock::time_point> wake;
    if (!inbound.bytes.empty()) wake = inbound.due.front();
    if (paced_due && (!wake || *paced_due < *wake)) wake = paced_due;
    if (paced && !outbound.bytes.empty() && !output_blocked) {
      const std::size_t fifo = std::min(kReceiveFifo, outbound.bytes.size());
      const auto next_out = outbound.due[fifo - 1];
      if (!wake || next_out < *wake) wake = next_out;
    }
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {master_, POLLIN, 0}};
    if (output_blocked) fds[1].events |= POLLOUT;
    std::chrono::nanoseconds wait = std::chrono::milliseconds(200);
    if (wake) {
      wait = std::max<std::chrono::nanoseconds>(
          std::chrono::nanoseconds(0),
          std::chrono::duration_cast<std::chrono::nanoseconds>(*wake - SteadyClock::now()));
    }
    const int ready = PollFor(fds, master_ >= 0 ? 2 : 1, wait);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0 || stop_) continue;

    if ((fds[1].revents & (POLLHUP | POLLIN)) == POLLHUP) {
      // No slave side open at all (we could not hold one): wait for a client.
      ::usleep(20'000);
      continue;
    }
    if ((fds[1].revents & POLLOUT) != 0) output_blocked = false;
    if ((fds[1].revents & POLLIN) != 0) {
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got > 0) {
        const auto arrived = SteadyClock::now();
        const std::string_view bytes(buffer, static_cast<std::size_t>(got));
        if (paced) {
          for (char c : bytes) inbound.Push(c, arrived, char_time);
        } else {
          feed(bytes, arrived);
        }
      }
    }
  }
}

}  // namespace tavo::sim
