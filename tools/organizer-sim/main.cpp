// tavo-organizer-sim: serves a simulated organizer on a pseudo-terminal.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "memofs/checker.h"
#include "organizer-sim/organizer.h"

namespace {

constexpr const char* kUsage =
    "usage: tavo-organizer-sim [options]\n"
    "Serves a simulated organizer on a pseudo-terminal and prints the terminal's path.\n"
    "  --store DIR        keep memos in DIR (default: memory only)\n"
    "  --link PATH        make PATH a symbolic link to the terminal (e.g. demo/com2)\n"
    "  --baud N           pace the line at N/10 characters per second (default 9600, 0 unpaced)\n"
    "  --capacity BYTES   refuse \"put\" beyond this many stored bytes\n"
    "  --fault KIND@N     misbehave at command N; KIND is silence, garble, case, short,\n"
    "                     hangup, full, drop or busy (repeatable)\n"
    "  --hostile LIST     answer like a hostile organizer; LIST is comma-separated:\n"
    "                     count=N (\"dir\" announces N names), pace=S (each line of\n"
    "                     \"dir\" after its count comes S seconds after the one before),\n"
    "                     get=WORD (every \"get \" is answered with the line WORD),\n"
    "                     hide=NAME (\"dir\" leaves out the memo NAME)\n"
    "  --transcript FILE  write both directions of the line to FILE\n"
    "  --demo             fill an empty store with a small demo tree\n"
    "  --check DIR        check the memo file system kept in the store DIR and exit:\n"
    "                     0 when no index names a missing or damaged memo, 1 when one\n"
    "                     does (memos that no index reaches are listed, not counted)\n"
    "  --help             show this text\n"
    "Runs until interrupted (SIGINT or SIGTERM); the link is removed on exit.\n";

struct Options {
  std::string store;
  std::string link;
  int baud = 9600;
  std::optional<std::size_t> capacity;
  std::vector<tavo::sim::Fault> faults;
  tavo::sim::Hostility hostility;
  std::string transcript;
  bool demo = false;
  std::string check;
};

std::optional<long long> Number(const std::string& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return std::stoll(text);
}

// Returns the options, or nothing after printing why (exit code in *code).
std::optional<Options> Parse(int argc, char** argv, int* code) {
  Options options;
  *code = 2;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::cout << kUsage;
      *code = 0;
      return std::nullopt;
    }
    if (arg == "--demo") {
      options.demo = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::cerr << "tavo-organizer-sim: " << arg
                << (arg.rfind("--", 0) == 0 ? " needs a value\n" : ": unknown option\n") << kUsage;
      return std::nullopt;
    }
    const std::string value = argv[++i];
    if (arg == "--store") {
      options.store = value;
    } else if (arg == "--link") {
      options.link = value;
    } else if (arg == "--check") {
      options.check = value;
    } else if (arg == "--transcript") {
      options.transcript = value;
    } else if (arg == "--baud" && Number(value) && *Number(value) <= 10'000'000) {
      options.baud = static_cast<int>(*Number(value));
    } else if (arg == "--capacity" && Number(value)) {
      options.capacity = static_cast<std::size_t>(*Number(value));
    } else if (arg == "--fault" && tavo::sim::ParseFault(value)) {
      options.faults.push_back(*tavo::sim::ParseFault(value));
    } else if (arg == "--hostile" && tavo::sim::ParseHostility(value)) {
      options.hostility = *tavo::sim::ParseHostility(value);
    } else {
      std::cerr << "tavo-organizer-sim: bad option " << arg << " " << value << "\n" << kUsage;
      return std::nullopt;
    }
  }
  return options;
}

// Prints the checker's summary, then one line per problem and per orphan.
int Check(const std::string& store) {
  std::error_code ec;
  if (!std::filesystem::is_directory(store, ec)) {
    std::cerr << "tavo-organizer-sim: no store directory " << store << "\n";
    return 2;
  }
  const tavo::sim::Organizer organizer(store);
  const tavo::memofs::CheckReport report = tavo::memofs::CheckMemoFileSystem(organizer.Texts());
  std::cout << report.Summary() << "\n";
  for (const std::string& problem : report.problems) std::cout << "problem: " << problem << "\n";
  for (const std::string& orphan : report.orphans) {
    std::cout << "orphan: " << tavo::sim::Escaped(orphan) << "\n";
  }
  return report.Clean() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int code = 0;
  const auto options = Parse(argc, argv, &code);
  if (!options) return code;
  if (!options->check.empty()) return Check(options->check);

  // Block the stop signals before the server thread starts, so only sigwait sees them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  tavo::sim::Organizer organizer(options->store);
  if (options->demo && organizer.Memos().empty()) tavo::sim::SeedDemo(organizer);
  if (options->capacity) organizer.SetCapacity(*options->capacity);
  for (const auto& fault : options->faults) organizer.InjectFault(fault);
  organizer.SetHostility(options->hostility);

  std::ofstream transcript;
  if (!options->transcript.empty()) {
    transcript.open(options->transcript, std::ios::binary | std::ios::trunc);
    if (!transcript) {
      std::cerr << "tavo-organizer-sim: cannot write " << options->transcript << "\n";
      return 1;
    }
    organizer.SetTranscriptSink([&transcript](const std::string& line) {
      transcript << line;
      transcript.flush();
    });
  }

  try {
    tavo::sim::PtyServer server(organizer, options->baud);
    if (!options->link.empty() && !server.Link(options->link)) {
      std::cerr << "tavo-organizer-sim: cannot make the link " << options->link << "\n";
      return 1;
    }
    std::cout << server.SlavePath() << std::endl;
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.Stop();
  } catch (const std::exception& e) {
    std::cerr << "tavo-organizer-sim: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
