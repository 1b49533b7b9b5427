// One program at a time on a device, on real pseudo-terminals from the
// simulator: the lock holds whatever path reaches the device, names its
// holder, heeds a live program's lock file and leaves every lock file alone.
#include "platform/port_lock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "organizer-sim/organizer.h"
#include "support/temp_dir.h"

namespace tavo::platform {
namespace {

namespace fs = std::filesystem;

std::string Self() {
  std::ifstream in("/proc/self/comm");
  std::string name;
  std::getline(in, name);
  return name + " (pid " + std::to_string(::getpid()) + ")";
}

// Runs `body` with `dir` as the current directory.
template <typename F>
void In(const fs::path& dir, F&& body) {
  const fs::path before = fs::current_path();
  fs::current_path(dir);
  body();
  fs::current_path(before);
}

TEST(PortLock, OneHolderWhateverThePathAndItIsNamed) {
  sim::Organizer organizer;
  sim::PtyServer server(organizer, 0);
  testing::TempDir start;
  fs::create_directory(start.path() / "sub");
  ASSERT_TRUE(server.Link((start.path() / "sub" / "com2").string()));
  const std::string device = fs::canonical(server.SlavePath()).string();
  // A relative path is the current directory's, never /dev's.
  In(start.path(), [&] { EXPECT_EQ(ResolvedDevice("sub/com2"), device); });
  EXPECT_EQ(ResolvedDevice((start.path() / "sub" / "com2").string()), device);
  EXPECT_EQ(ResolvedDevice("/dev/no-such-tty"), "/dev/no-such-tty");

  testing::TempDir locks;
  PortPlaces places;
  places.lock_dirs = {locks.path().string()};
  DeviceLock first, second;
  ASSERT_EQ(first.Take(ResolvedDevice((start.path() / "sub" / "com2").string()), places),
            DeviceLock::Taken::kYes);
  // The lock is the open file's: a second opening is refused, here as in
  // another process.
  EXPECT_EQ(second.Take(device, places), DeviceLock::Taken::kInUse);
  EXPECT_EQ(second.holder(), Self());
  first.Release();
  EXPECT_EQ(second.Take(device, places), DeviceLock::Taken::kYes);
  second.Release();

  // Another program's lock file counts while that program lives, and stays
  // as it was either way.
  const fs::path lock_file = locks.path() / ("LCK..pts_" + fs::path(device).filename().string());
  std::ofstream(lock_file) << "      " << ::getpid() << "\n";
  EXPECT_EQ(first.Take(device, places), DeviceLock::Taken::kInUse);
  EXPECT_EQ(first.holder(), Self());
  std::ofstream(lock_file) << "  999999999\n";
  EXPECT_EQ(first.Take(device, places), DeviceLock::Taken::kYes);
  std::ifstream in(lock_file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "  999999999\n");
}

}  // namespace
}  // namespace tavo::platform
