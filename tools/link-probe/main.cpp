// tavo-link-probe: opens a port as the program does and runs "dir", "put ",
// "get ", "getx " and "del " once each against whatever answers, one line each.
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>

#include "link/exchanges.h"
#include "link/serial_link.h"
#include "memofs/index_text.h"
#include "platform/serial_port.h"
#include "platform/steady_clock.h"

namespace {

namespace link = tavo::link;

constexpr const char* kUsage =
    "usage: tavo-link-probe --dir DIR --port N --baud-code C\n"
    "Opens port N (1 to 4: COM1 to COM4; on POSIX DIR/comN when present, else /dev/ttyS<N-1>)\n"
    "at speed code C (1 4800, 2 9600, 3 19200, 4 38400, else the rate itself) and runs\n"
    "dir, put, get, getx and del once each on a probe memo. Exit status 0 when all passed.\n";

// The error, then which device failed to open and why.
class ConsoleHost : public link::LinkHost {
 public:
  explicit ConsoleHost(const tavo::platform::QtSerialPort& port) : port_(port) {}
  void PumpEvents() override { QCoreApplication::processEvents(); }
  void ShowLinkError(const std::string& text) override {
    std::cerr << text << "\n" << port_.OpenFailureText() << "\n";
  }

 private:
  const tavo::platform::QtSerialPort& port_;
};

struct Options {
  std::string dir = ".";
  int port = 0;
  int baud_code = 0;
};

bool ParseNumber(const std::string& text, int& value) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoi(text);
  return true;
}

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    const std::string value = argv[i + 1];
    if (arg == "--dir") {
      options.dir = value;
    } else if (arg == "--port") {
      if (!ParseNumber(value, options.port)) return false;
    } else if (arg == "--baud-code") {
      if (!ParseNumber(value, options.baud_code)) return false;
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && options.port > 0 && options.baud_code > 0;
}

// Every byte value, so the line is shown to pass all 256 of them unchanged.
std::string ProbeText() {
  std::string text;
  for (int i = 0; i < 256; ++i) text += static_cast<char>(i);
  return text;
}

class Probe {
 public:
  explicit Probe(link::SerialLink& serial) : link_(serial) {}

  // Prints "name  ok|FAILED  detail  (ms)"; after a failure stray replies are
  // flushed so the next exchange starts clean.
  void Report(const char* name, bool ok, const std::string& detail) {
    const double ms = (link_.clock().Now() - started_) * 1000.0;
    std::printf("%-5s %-6s %s (%.0f ms)\n", name, ok ? "ok" : "FAILED", detail.c_str(), ms);
    std::fflush(stdout);
    if (!ok) {
      failures_++;
      link_.FlushInput();
    }
    started_ = link_.clock().Now();
  }
  void Start() { started_ = link_.clock().Now(); }
  int failures() const { return failures_; }

 private:
  link::SerialLink& link_;
  double started_ = 0;
  int failures_ = 0;
};

std::string Sizes(std::size_t got, std::size_t want) {
  return std::to_string(got) + " of " + std::to_string(want) + " bytes" +
         (got == want ? "" : " (short)");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Options options;
  if (!Parse(argc, argv, options)) {
    std::cerr << kUsage;
    return 2;
  }
  std::error_code error;
  std::string start = std::filesystem::absolute(options.dir, error).string();
  if (start.empty() || start.back() != '/') start += '/';

  tavo::platform::QtSerialPort port(start);
  tavo::platform::SteadyClock clock;
  ConsoleHost host(port);
  link::SerialLink serial(port, clock, host);
  if (serial.OpenPort(options.port, options.baud_code) < 0) {
    std::cerr << "tavo-link-probe: cannot open " << port.DeviceName() << "\n";
    return 2;
  }
  std::printf("port  %s at %s\n", port.DeviceName().c_str(),
              link::SettingsString(options.baud_code).c_str());

  Probe probe(serial);
  serial.FlushInput();
  probe.Start();

  std::set<std::string> names;
  const link::DirResult dir = link::DirExchange(serial, [&](const std::string& name, bool is_name) {
    if (is_name) names.insert(name);
    return true;
  });
  probe.Report("dir", dir.ok, std::to_string(names.size()) + " memos");

  // A name the organizer does not hold yet, so nothing of the user's is touched.
  std::string name = "tavoprobe";
  for (int n = 2; names.count(name) > 0; ++n) name = "tavoprobe" + std::to_string(n);
  const std::string text = ProbeText();

  const bool put = link::PutExchange(serial, name, tavo::memofs::BuildMemoImage(name, text));
  probe.Report("put", put, name + ", " + std::to_string(text.size()) + " bytes");

  const link::GetResult get = link::GetExchange(serial, name);
  const bool get_ok = get.found == link::Word::kExpected && get.ok && get.text == text;
  probe.Report("get", get_ok,
               Sizes(get.text.size(), text.size()) + (get.text == text ? ", identical" : ""));

  const link::GetxResult getx = link::GetxExchange(serial, name, text.size());
  const bool getx_ok = getx.ok && getx.block == text;
  probe.Report("getx", getx_ok,
               Sizes(getx.block.size(), text.size()) + (getx.block == text ? ", identical" : ""));

  const link::DelResult del = link::DelExchange(serial, name);
  probe.Report("del", del.found == link::Word::kExpected && del.ok, name);

  serial.ClosePort();
  std::printf("%s\n", probe.failures() == 0
                          ? "all five exchanges passed"
                          : (std::to_string(probe.failures()) + " failed").c_str());
  return probe.failures() == 0 ? 0 : 1;
}
