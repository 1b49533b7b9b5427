// tavo-link-probe: opens a port as the program does and runs "dir", "put ",
// "get ", "getx " and "del " once each against whatever answers, one line each.
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "commands/link_probe.h"
#include "link/serial_link.h"
#include "platform/serial_port.h"
#include "platform/steady_clock.h"

namespace {

namespace link = tavo::link;

constexpr const char* kUsage =
    "usage: tavo-link-probe --dir DIR --port N --baud-code C\n"
    "Opens port N (1 to 4: COM1 to COM4; on POSIX DIR/comN when present, else /dev/ttyS<N-1>)\n"
    "at speed code C (1 4800, 2 9600, 3 19200, 4 38400, else the rate itself) and runs\n"
    "dir, put, get, getx and del once each on a probe memo named apart from every memo\n"
    "listed; after a failed dir it writes nothing. Exit status 0 when all passed.\n";

class ConsoleHost : public link::LinkHost {
 public:
  void PumpEvents() override { QCoreApplication::processEvents(); }
  void ShowLinkError(const std::string& text) override { std::cerr << text << "\n"; }
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
  ConsoleHost host;
  link::SerialLink serial(port, clock, host);
  if (serial.OpenPort(options.port, options.baud_code) < 0) {
    std::cerr << "tavo-link-probe: cannot open " << port.DeviceName() << "\n";
    return 2;
  }
  std::printf("port  %s at %s\n", port.DeviceName().c_str(),
              link::SettingsString(options.baud_code).c_str());

  serial.FlushInput();
  const tavo::commands::ProbeResult result =
      tavo::commands::ProbeLink(serial, [](const tavo::commands::ProbeStep& step) {
        std::printf("%-5s %-6s %s (%.0f ms)\n", step.exchange.c_str(), step.ok ? "ok" : "FAILED",
                    step.detail.c_str(), step.seconds * 1000.0);
        std::fflush(stdout);
      });
  serial.ClosePort();
  if (result.memo.empty()) {
    std::printf("stopped: without the organizer's listing no probe memo is written\n");
  }
  std::printf("%s\n", result.Passed() ? "all five exchanges passed"
                                      : (std::to_string(result.Failures()) + " failed").c_str());
  return result.Passed() ? 0 : 1;
}
