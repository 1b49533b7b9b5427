#pragma once

// tavo-cli run as a child process against the simulated organizer on a
// pseudo-terminal published as COM2 of a scratch start directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "commands/sim_rig.h"
#include "memofs/checker.h"
#include "organizer-sim/organizer.h"
#include "support/temp_dir.h"

namespace tavo::testing {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

// The organizer served while one command runs, and the computer around it.
struct Bench {
  TempDir start;  // the current directory: com2 and the computer's files
  TempDir logs;
  sim::Organizer organizer;
  std::atomic<pid_t> child{0};
  std::string cwd;        // where the program runs, when not `start`
  bool terminal = false;  // standard error a terminal, as a person's would be
  // Runs on the server's thread with each transcript line.
  std::function<void(const std::string&)> on_line;
  // Runs once the pseudo-terminal is there, before the program starts; it
  // may change the arguments.
  std::function<void(const std::string& slave, Strings& args)> on_served;

  Bench() {
    start.Put("tavo_c.cfg", "0\r\n0\r\n1\r\n0\r\n9375\r\n7425\r\n\r\n\r\n\r\n\r\n 2\r\n 4\r\n");
  }

  Outcome Run(Strings args) {
    organizer.SetTranscriptSink([this](const std::string& line) {
      if (on_line) on_line(line);
    });
    sim::PtyServer server(organizer, 0);
    EXPECT_TRUE(server.Link((start.path() / "com2").string()));
    if (on_served) on_served(server.SlavePath(), args);
    const fs::path out = logs.path() / "out", err = logs.path() / "err";
    Terminal tty;
    if (terminal) tty.Open();
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(cwd.empty() ? start.path().c_str() : cwd.c_str()) != 0) ::_exit(127);
      const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int e = terminal ? ::open(tty.slave.c_str(), O_RDWR | O_NOCTTY)
                             : ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int in = ::open("/dev/null", O_RDONLY);
      ::dup2(o, 1), ::dup2(e, 2), ::dup2(in, 0);
      // Not the server's end of the line: a hang-up must reach the program.
      for (int fd = 3; fd < 1024; ++fd) ::close(fd);
      std::vector<char*> argv{const_cast<char*>(TAVO_CLI)};
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      ::execv(TAVO_CLI, argv.data());
      ::_exit(127);
    }
    child = pid;
    int status = 0;
    ::waitpid(pid, &status, 0);
    child = 0;
    server.Stop();
    organizer.SetTranscriptSink({});
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), Read(out),
            terminal ? tty.Drained() : Read(err)};
  }
  // A pseudo-terminal whose output is gathered as it comes.
  struct Terminal {
    int master = -1, slave_held = -1;
    std::string slave, text;
    std::thread reader;
    void Open() {
      master = ::posix_openpt(O_RDWR | O_NOCTTY);
      ASSERT_GE(master, 0);
      ASSERT_EQ(::grantpt(master), 0);
      ASSERT_EQ(::unlockpt(master), 0);
      slave = ::ptsname(master);
      slave_held = ::open(slave.c_str(), O_RDWR | O_NOCTTY);  // no hang-up before the child's
      reader = std::thread([this] {
        char buffer[4096];
        for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;) {
          text.append(buffer, static_cast<std::size_t>(got));
        }
      });
    }
    std::string Drained() {
      ::close(slave_held);
      slave_held = -1;
      reader.join();
      return text;
    }
    ~Terminal() {
      if (slave_held >= 0) ::close(slave_held);
      if (reader.joinable()) reader.join();
      if (master >= 0) ::close(master);
    }
  };
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  Strings Problems() const { return memofs::CheckMemoFileSystem(organizer.Texts()).problems; }
  std::map<std::string, std::string> Tree(const std::string& dir) const {
    return ReadTree(start.path() / dir);
  }
};

}  // namespace tavo::testing
