#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "organizer-sim/organizer.h"

namespace tavo::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Characters a paced line may let through at once after a quiet spell.
constexpr double kBurst = 16.0;

double Seconds(SteadyClock::duration d) { return std::chrono::duration<double>(d).count(); }

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

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
  const double rate = paced ? baud_ / 10.0 : 0.0;
  double credit_in = kBurst;
  double credit_out = kBurst;
  auto last_tick = SteadyClock::now();
  auto last_input = last_tick;
  std::string pending;
  char buffer[4096];

  while (!stop_) {
    const auto now = SteadyClock::now();
    if (paced) {
      const double gained = Seconds(now - last_tick) * rate;
      credit_in = std::min(kBurst, credit_in + gained);
      credit_out = std::min(kBurst, credit_out + gained);
    }
    last_tick = now;

    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {master_, 0, 0}};
    const bool may_read = master_ >= 0 && (!paced || credit_in >= 1.0);
    const bool may_write = master_ >= 0 && !pending.empty() && (!paced || credit_out >= 1.0);
    if (may_read) fds[1].events |= POLLIN;
    if (may_write) fds[1].events |= POLLOUT;
    const bool starved = master_ >= 0 && paced && (!may_read || (!pending.empty() && !may_write));
    const int timeout_ms = starved ? 2 : 200;
    const int ready = ::poll(fds, master_ >= 0 ? 2 : 1, timeout_ms);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0 || stop_) continue;

    if ((fds[1].revents & (POLLHUP | POLLIN)) == POLLHUP) {
      // No slave side open at all (we could not hold one): wait for a client.
      ::usleep(20'000);
      continue;
    }
    if ((fds[1].revents & POLLIN) != 0) {
      const std::size_t want = paced ? static_cast<std::size_t>(credit_in) : sizeof buffer;
      const ssize_t got = ::read(master_, buffer, std::min(want, sizeof buffer));
      if (got > 0) {
        const auto arrived = SteadyClock::now();
        if (organizer_.MidExchange() && Seconds(arrived - last_input) > kStaleExchangeSeconds) {
          organizer_.AbandonExchange();
        }
        last_input = arrived;
        if (paced) credit_in -= static_cast<double>(got);
        organizer_.Feed(std::string_view(buffer, static_cast<std::size_t>(got)));
        pending += organizer_.TakeOutput();
        if (organizer_.HungUp()) {
          // The line goes dead: whatever the client opened stops working.
          pending.clear();
          CloseFds();
          continue;
        }
      }
    }
    if (master_ >= 0 && (fds[1].revents & POLLOUT) != 0 && !pending.empty()) {
      const std::size_t allowed =
          paced ? std::min(pending.size(), static_cast<std::size_t>(credit_out)) : pending.size();
      const ssize_t put = ::write(master_, pending.data(), allowed);
      if (put > 0) {
        pending.erase(0, static_cast<std::size_t>(put));
        if (paced) credit_out -= static_cast<double>(put);
      }
    }
  }
}

}  // namespace tavo::sim
