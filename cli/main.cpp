// tavo-cli: the organizer's files and memos from a terminal, on the same core
// as the window.
#include <CLI/CLI.hpp>
#ifndef _WIN32
#include <QCoreApplication>
#endif
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/backup_dir.h"
#include "cli/computer_paths.h"
#include "cli/console.h"
#include "cli/ports.h"
#include "core/organizer_path.h"
#include "core/probe.h"
#include "core/session.h"
#include "link/serial_link.h"
#include "memofs/directory_table.h"
#include "memofs/names.h"
#include "platform/console.h"
#include "platform/device_port.h"
#ifdef _WIN32
#include "platform/win_serial_port.h"
#endif
#include "platform/steady_clock.h"
#include "settings/config.h"

namespace tavo::cli {
namespace {

using Names = std::vector<std::string>;

constexpr const char* kFooter =
    R"(Organizer paths: /Letters/to grandma.txt, levels split at "/", names exactly
as stored. Inside a name write "/" as \/, a backslash as \\, any byte as \xHH.
Printed names use the same escapes (and \xHH for control bytes).

Port: --port 1 to 4 is COM1 to COM4 (on Linux the link com<n> in the current
directory when there is one, else /dev/ttyS<n-1>); anything else with a "/"
names a device or a link to one (/dev/ttyUSB0, ./com2, sub/com2). Without
--port, tavo_c.cfg in the current directory decides, as for the window. A
device another program holds is refused, and the program named.

An existing target is an error for that item unless --force (replace it, the
new one stored whole before the old one goes) or --no-clobber (leave it); with
a terminal on standard input the question is asked. Ctrl-C stops after the
exchange under way and says what was done; a second Ctrl-C ends at once.

Exit status: 0 all done; 1 some items failed or were skipped; 2 usage;
3 the organizer could not be reached, stopped answering or refused a write;
130 (ended by SIGINT) after a Ctrl-C.)";

class ConsoleHost : public link::LinkHost {
 public:
#ifdef _WIN32
  void PumpEvents() override {}
#else
  void PumpEvents() override { QCoreApplication::processEvents(); }
#endif
  void ShowLinkError(const std::string&) override {}
};

#ifdef _WIN32
constexpr bool kAdviceForNamedPorts = true;
#else
constexpr bool kAdviceForNamedPorts = false;
#endif

// A port the user names with --port: a device path (anything with a "/"), on
// Windows also a port name (COM7, \\.\COM7).
bool NamesDevice(const std::string& port) {
#ifdef _WIN32
  if (platform::WinPortPath(port).rfind("\\\\.\\", 0) == 0) return true;
#endif
  return port.find('/') != std::string::npos;
}

struct Options {
  std::string port;
  int baud = 0;
  bool force = false;
  bool no_clobber = false;
  bool quiet = false;
  bool long_form = false;
  bool json = false;
  bool recursive = false;
  bool verify = false;
  bool deep = false;
  bool repair = false;
  bool yes = false;
  std::string path;
  std::vector<std::string>
      items;  // sources, paths or names, the last one a target where there is one
};

// Everything a subcommand works with.
struct Env {
  core::Session& session;
  Console& console;
  ComputerSide& computer;
  core::CancelToken& cancel;
};

std::string CurrentDirectory() {
  std::error_code error;
  std::string dir = std::filesystem::current_path(error).string();
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

std::optional<Names> Path(Env& env, const std::string& text) {
  std::optional<Names> names = core::ParseOrganizerPath(text);
  if (!names) env.console.UsageSlip(text, R"(a backslash must start \/, \\ or \xHH)");
  return names;
}

// Makes the parent of `names` current; false after saying why.
bool WalkTo(Env& env, const Names& names) {
  const core::Result walked = env.session.Walk(names);
  if (walked.Done()) return true;
  env.console.Error(core::FormatOrganizerPath(names), walked.reason);
  env.console.Count(walked);
  return false;
}

// Tested before each item: after a Ctrl-C the items left count as cancelled.
bool Stop(Env& env) {
  if (env.cancel.Cancelled()) {
    env.console.Count({core::Outcome::kCancelled, ""});
    return true;
  }
  return !env.session.LinkUp();
}

// ---- the subcommands ----

std::string JsonName(const std::string& name) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 32 || byte >= 127) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void PrintEntries(const std::vector<memofs::DirectoryEntry>& entries, const Options& options) {
  if (options.json) {
    std::cout << "[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const memofs::DirectoryEntry& e = entries[i];
      const bool dir = e.EntryType == memofs::kTypeDirectory;
      std::cout << (i ? ",\n " : "") << R"({"name":)" << JsonName(e.EntryName) << R"(,"type":")"
                << (dir ? R"(directory")" : R"(file","size":)" + std::to_string(EntrySize(e)))
                << "}";
    }
    std::cout << "]\n";
    return;
  }
  for (const memofs::DirectoryEntry& e : entries) {
    const bool dir = e.EntryType == memofs::kTypeDirectory;
    if (options.long_form) {
      const std::string size = dir ? "" : std::to_string(EntrySize(e));
      std::cout << (dir ? 'd' : '-') << std::string(size.size() < 10 ? 10 - size.size() : 0, ' ')
                << size << "  ";
    }
    std::cout << core::EscapeName(e.EntryName) << (dir ? "/" : "") << "\n";
  }
}

void Ls(Env& env, const Options& options) {
  const std::optional<Names> names = Path(env, options.path.empty() ? "/" : options.path);
  if (!names) return;
  if (!names->empty()) {
    const Names parent(names->begin(), names->end() - 1);
    if (!WalkTo(env, parent)) return;
    const std::optional<memofs::DirectoryEntry> entry = env.session.Find(names->back());
    if (!entry) {
      env.console.Failed(options.path, "no such file or directory");
      return;
    }
    if (entry->EntryType != memofs::kTypeDirectory) {
      PrintEntries({*entry}, options);
      return;
    }
  }
  if (WalkTo(env, *names)) PrintEntries(env.session.Listing(), options);
}

// Where a copy of `name` lands: inside `dest` when that is a directory.
std::string TargetIn(const std::string& dest, bool into, const std::string& name) {
  return into ? ComputerSide::Join(dest, memofs::Trim(name)) : dest;
}

std::optional<std::string> Program(Env& env, const std::string& native) {
  std::optional<std::string> program = env.computer.ProgramPath(native);
  if (!program) {
    env.console.Failed(native, "this path cannot be used here (a backslash in a name)");
  }
  return program;
}

// Several sources need a directory to go into.
bool DestinationFits(Env& env, const std::string& dest, std::size_t sources) {
  if (sources == 1 || ComputerSide::KindOf(dest) == ComputerSide::Kind::kDirectory) return true;
  env.console.UsageSlip(dest, "not a directory");
  return false;
}

int Get(Env& env, const Options& options) {
  const std::vector<std::string> sources(options.items.begin(), options.items.end() - 1);
  const std::string& dest = options.items.back();
  if (!DestinationFits(env, dest, sources.size())) return kUsage;
  const bool into = ComputerSide::KindOf(dest) == ComputerSide::Kind::kDirectory;
  for (const std::string& source : sources) {
    if (Stop(env)) break;
    const std::optional<Names> names = Path(env, source);
    if (!names) continue;
    if (names->empty()) {
      env.console.Error("/", "the root is not fetched whole; name its entries");
      env.console.Count({core::Outcome::kFailed, ""});
      continue;
    }
    if (!WalkTo(env, Names(names->begin(), names->end() - 1))) continue;
    if (!env.session.Find(names->back())) {
      env.console.Failed(source, "no such file or directory");
      continue;
    }
    const std::optional<std::string> target = Program(env, TargetIn(dest, into, names->back()));
    if (target) env.session.Fetch(names->back(), *target);
  }
  return kAllDone;
}

int Put(Env& env, const Options& options) {
  const std::vector<std::string> sources(options.items.begin(), options.items.end() - 1);
  const std::optional<Names> dir_or_name = Path(env, options.items.back());
  if (!dir_or_name) return kUsage;
  Names dir = *dir_or_name;
  std::optional<std::string> rename;
  // One source may take a new name: the target's last level, when that is free.
  if (sources.size() == 1 && !dir.empty()) {
    const Names parent(dir.begin(), dir.end() - 1);
    if (!WalkTo(env, parent)) return kAllDone;
    const auto entry = env.session.Find(dir.back());
    if (!entry || entry->EntryType != memofs::kTypeDirectory) {
      rename = dir.back();
      dir = parent;
    }
  }
  for (const std::string& source : sources) {
    if (Stop(env)) break;
    if (!WalkTo(env, dir)) break;
    const ComputerSide::Kind kind = ComputerSide::KindOf(source);
    if (kind == ComputerSide::Kind::kMissing || kind == ComputerSide::Kind::kOther) {
      env.console.Failed(source, kind == ComputerSide::Kind::kMissing ? "no such file or directory"
                                                                      : "not a file or directory");
      continue;
    }
    const std::optional<std::string> program = Program(env, source);
    if (!program) continue;
    const std::string name = rename ? *rename : ComputerSide::BaseName(source);
    if (kind == ComputerSide::Kind::kDirectory) {
      env.session.StoreDirectory(*program, name);
    } else {
      env.session.StoreFile(*program, name);
    }
  }
  return kAllDone;
}

int Rm(Env& env, const Options& options) {
  for (const std::string& text : options.items) {
    if (Stop(env)) break;
    const std::optional<Names> names = Path(env, text);
    if (!names) continue;
    if (names->empty()) {
      env.console.Failed("/", "the root cannot be removed");
      continue;
    }
    if (!WalkTo(env, Names(names->begin(), names->end() - 1))) continue;
    const auto entry = env.session.Find(names->back());
    if (entry && entry->EntryType == memofs::kTypeDirectory && !options.recursive) {
      env.console.Failed(text, "is a directory (rm -r removes it with everything below)");
      continue;
    }
    env.session.Remove(names->back());
  }
  return kAllDone;
}

int Mkdir(Env& env, const Options& options) {
  const std::optional<Names> names = Path(env, options.path);
  if (!names) return kUsage;
  if (names->empty()) {
    env.console.Error("/", "exists already");
    return kSomeNotDone;
  }
  if (WalkTo(env, Names(names->begin(), names->end() - 1))) {
    env.session.MakeDirectory(names->back());
  }
  return kAllDone;
}

// A memo name as typed: one level, with the path escapes.
std::optional<std::string> MemoName(Env& env, const std::string& text) {
  const std::optional<Names> names = Path(env, text);
  if (!names) return std::nullopt;
  if (names->size() == 1) return names->front();
  env.console.UsageSlip(text, R"(a memo name is one level (write "/" in it as \/))");
  return std::nullopt;
}

int Memos(Env& env, const std::string& action, const Options& options) {
  if (action == "ls") {
    const core::Result listed = env.session.ListMemos();
    if (!listed.Done()) {
      env.console.Error("memos", listed.reason);
      env.console.Count(listed);
      return kAllDone;
    }
    for (const std::string& name : env.session.Memos()) {
      std::cout << core::EscapeName(name) << "\n";
    }
    return kAllDone;
  }
  if (action == "put") {
    for (const std::string& source : options.items) {
      if (Stop(env)) break;
      const std::string name = ComputerSide::BaseName(source);
      std::error_code error;
      const std::uintmax_t size = std::filesystem::file_size(source, error);
      if (error || ComputerSide::KindOf(source) != ComputerSide::Kind::kFile) {
        env.console.Failed(source, "no such file");
        continue;
      }
      // The organizer's memo names hold 20 characters; longer files are
      // stored in pieces whose titles are cut to fit.
      if (memofs::PieceTitle(name, static_cast<std::int64_t>(size), 0).size() >
          memofs::kMaxMemoName) {
        env.console.Failed(source, "memo names have at most 20 characters");
        continue;
      }
      if (const auto program = Program(env, source)) env.session.StoreMemo(*program, name);
    }
    return kAllDone;
  }
  const bool get = action == "get";
  const std::vector<std::string> names(options.items.begin(), options.items.end() - (get ? 1 : 0));
  const std::string dest = get ? options.items.back() : "";
  if (get && !DestinationFits(env, dest, names.size())) return kUsage;
  const bool into = get && ComputerSide::KindOf(dest) == ComputerSide::Kind::kDirectory;
  for (const std::string& text : names) {
    if (Stop(env)) break;
    const std::optional<std::string> name = MemoName(env, text);
    if (!name) continue;
    if (!get) {
      env.session.DeleteMemo(*name);
    } else if (const auto target = Program(env, TargetIn(dest, into, *name))) {
      env.session.FetchMemo(*name, *target);
    }
  }
  return kAllDone;
}

int Probe(link::SerialLink& link, const std::string& device) {
  std::cout << "port  " << device << "\n";
  const core::ProbeReport report = core::RunProbe(link);
  for (const core::ProbeStep& step : report.steps) {
    std::printf("%-5s %-6s %s (%.0f ms)\n", step.exchange.c_str(), step.ok ? "ok" : "FAILED",
                Printable(step.detail).c_str(), step.seconds * 1000);
  }
  if (report.Passed()) {
    std::cout << "all five exchanges passed\n";
    return kAllDone;
  }
  std::cerr << "tavo-cli: probe: " << report.advice << "\n";
  if (!report.memo.empty()) {
    std::cerr << "tavo-cli: probe: the memo " << core::EscapeName(report.memo)
              << " may be left on the organizer\n";
  }
  return kUnreachable;
}

// ---- the port ----

struct PortChoice {
  int number = 0;
  std::string device;  // a path given with --port
  int baud_code = 0;
};

std::optional<PortChoice> ChoosePort(const Options& options, const std::string& start) {
  settings::Config config;
  settings::ReadConfig(config, start);
  PortChoice choice;
  choice.number = static_cast<int>(settings::WholeValue(config.ConfigValues[settings::PortNumber]));
  choice.baud_code =
      static_cast<int>(settings::WholeValue(config.ConfigValues[settings::BaudCode]));
  if (!options.port.empty()) {
    if (options.port.size() == 1 && options.port[0] >= '1' && options.port[0] <= '4') {
      choice.number = options.port[0] - '0';
    } else if (NamesDevice(options.port)) {
      choice.number = 1;
      choice.device = options.port;
    } else {
      return std::nullopt;
    }
  }
  if (options.baud != 0) {
    const int rates[] = {4800, 9600, 19200, 38400};
    for (int code = 1; code <= 4; ++code) {
      if (rates[code - 1] == options.baud) choice.baud_code = code;
    }
  }
  return choice;
}

int Main(int argc, char** argv) {
#ifndef _WIN32
  QCoreApplication app(argc, argv);
#endif
  platform::UseUtf8Console();
  CLI::App cli{"tavo-cli: files and memos on an organizer over a serial cable"};
  cli.footer(kFooter);
  cli.require_subcommand(1);
  // Organizer paths begin with "/": never a Windows-style option.
  cli.allow_windows_style_options(false);
  Options options;
  cli.add_option("--port", options.port, "1 to 4 (COM1 to COM4), or a device path");
  cli.add_option("--baud", options.baud, "line speed")
      ->check(CLI::IsMember({4800, 9600, 19200, 38400}));
  auto* force = cli.add_flag("-f,--force", options.force, "replace existing targets");
  cli.add_flag("-n,--no-clobber", options.no_clobber, "leave existing targets")->excludes(force);
  cli.add_flag("-q,--quiet", options.quiet, "no progress line");
  cli.set_version_flag("--version", "tavo-cli " TAVO_VERSION);

  auto* ls = cli.add_subcommand("ls", "list a directory (default /) or show one file");
  ls->add_flag("-l", options.long_form, "sizes, d for directories");
  ls->add_flag("--json", options.json,
               "a JSON array of {name, type, size}; each byte of a name is "
               "one character U+0000 to U+00FF");
  ls->add_option("PATH", options.path, "organizer path");
  auto* get = cli.add_subcommand("get", "copy files or trees from the organizer");
  get->add_option("PATH... DEST", options.items, "organizer paths, then a computer path")
      ->required()
      ->expected(2, -1);
  auto* put = cli.add_subcommand("put", "copy files or trees to the organizer");
  put->add_option("SOURCE... DIR", options.items, "computer paths, then an organizer directory")
      ->required()
      ->expected(2, -1);
  auto* rm = cli.add_subcommand("rm", "delete files (and, with -r, directories) on the organizer");
  rm->add_flag("-r,--recursive", options.recursive, "directories with everything below them");
  rm->add_option("PATH", options.items, "organizer paths")->required();
  auto* mkdir = cli.add_subcommand("mkdir", "make a directory on the organizer");
  mkdir->add_option("PATH", options.path, "organizer path")->required();
  auto* memos = cli.add_subcommand("memos", "the organizer's plain memos");
  memos->require_subcommand(1);
  auto* memos_ls = memos->add_subcommand("ls", "list the plain memos");
  auto* memos_get = memos->add_subcommand("get", "copy memos to the computer");
  memos_get->add_option("NAME... DEST", options.items, "memo names, then a computer path")
      ->required()
      ->expected(2, -1);
  auto* memos_put =
      memos->add_subcommand("put", "store files as memos (in pieces over 1956 bytes)");
  memos_put->add_option("FILE", options.items, "computer files")->required();
  auto* memos_rm = memos->add_subcommand("rm", "delete memos");
  memos_rm->add_option("NAME", options.items, "memo names")->required();
  auto* probe = cli.add_subcommand("probe", "check the line: the five exchanges on a probe memo");
  auto* backup = cli.add_subcommand(
      "backup", "the whole organizer into a computer directory, with a manifest");
  backup->add_option("DIR", options.path, "computer directory (new, empty or an earlier backup)")
      ->required();
  backup->add_flag("--verify", options.verify, "re-read the files written and compare");
  auto* restore = cli.add_subcommand("restore", "put a backup back onto the organizer");
  restore->add_option("DIR", options.path, "a directory written by backup")->required();
  auto* check = cli.add_subcommand("check", "check the organizer's file system");
  check->add_flag("--deep", options.deep, "read every part too and check its length");
  check->add_flag("--repair", options.repair, "delete the memos no index reaches");
  check->add_flag("-y,--yes", options.yes, "repair without asking");
  auto* ports = cli.add_subcommand(
      "ports", "the serial devices, what COM1 to COM4 are, and whether you may open them");

  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return cli.exit(e) == 0 ? kAllDone : kUsage;
  }

  const SettingsDirectory settings = ChooseSettingsDirectory(CurrentDirectory());
  if (ports->parsed()) return Ports(settings);
  const std::string& start = settings.path;
  const std::optional<PortChoice> choice = ChoosePort(options, start);
  if (!choice) {
    std::cerr << "tavo-cli: --port " << options.port << ": give 1 to 4 or a device path\n";
    return kUsage;
  }
  const std::unique_ptr<platform::DevicePort> port_owner = platform::MakeSerialPort(start);
  platform::DevicePort& port = *port_owner;
  if (!choice->device.empty()) port.SetDevice(choice->device);
  platform::SteadyClock clock;
  ConsoleHost host;
  link::SerialLink link(port, clock, host);
  if (link.OpenPort(choice->number, choice->baud_code) < 0) {
    if (const std::string in_use = port.InUseText(); !in_use.empty()) {
      std::cerr << "tavo-cli: " << in_use << "\n";
      return kUnreachable;
    }
    const std::string device =
        port.DeviceName().empty() ? "port " + std::to_string(choice->number) : port.DeviceName();
    std::cerr << "tavo-cli: cannot open " << device << ": " << port.ErrorText() << "\n";
    // For COM<n>: which device that is, and the fix where one is known.
    // The fix where one is known: on Linux for COM<n> (which device that
    // is), on Windows for any port.
    if ((choice->device.empty() || kAdviceForNamedPorts) && !port.OpenFailureText().empty()) {
      std::cerr << port.OpenFailureText() << "\n";
    }
    return kUnreachable;
  }
  link.FlushInput();
  if (probe->parsed()) return Probe(link, port.DeviceName());

  core::CancelToken cancel;
  platform::StopOnInterrupt(&cancel);

  Console console(options.force        ? Clobber::kForce
                  : options.no_clobber ? Clobber::kNoClobber
                                       : Clobber::kAsk,
                  options.quiet);
  ComputerSide computer;
  core::Session session(link, computer.files(), console, cancel);
  Env env{session, console, computer, cancel};
  MirrorEnv mirror{link, console, computer, cancel};
  int status = kAllDone;
  if (backup->parsed()) {
    status = BackupCommand(mirror, options.path, options.verify);
  } else if (restore->parsed()) {
    status = RestoreCommand(mirror, options.path);
  } else if (check->parsed()) {
    status = CheckCommand(mirror, options.deep, options.repair, options.yes);
  } else if (ls->parsed()) {
    Ls(env, options);
  } else if (get->parsed()) {
    console.TargetsOnComputer();
    status = Get(env, options);
  } else if (put->parsed()) {
    status = Put(env, options);
  } else if (rm->parsed()) {
    status = Rm(env, options);
  } else if (mkdir->parsed()) {
    status = Mkdir(env, options);
  } else if (memos_ls->parsed() || memos_get->parsed() || memos_put->parsed() ||
             memos_rm->parsed()) {
    const std::string action = memos_ls->parsed()    ? "ls"
                               : memos_get->parsed() ? "get"
                               : memos_put->parsed() ? "put"
                                                     : "rm";
    if (action == "get") console.TargetsOnComputer();
    status = Memos(env, action, options);
  }
  link.ClosePort();
  console.Finish();
  // A Ctrl-C after the last test changed nothing: all was done.
  if (cancel.Cancelled() && console.ExitStatus() != kAllDone) console.SayCancelled();
  platform::StopOnInterrupt(nullptr);
  return status != kAllDone ? status : console.ExitStatus();
}

// After a Ctrl-C the program ends as interrupted, once it has said what was
// done: its caller sees SIGINT (a shell's status 130) and stops in turn.
int EndInterrupted(int status) {
  if (!platform::Interrupted()) return status;
  std::cout.flush();
  std::cerr.flush();
#ifndef _WIN32
  std::signal(SIGINT, SIG_DFL);
  std::raise(SIGINT);
#endif
  return 128 + SIGINT;
}

}  // namespace
}  // namespace tavo::cli

int main(int argc, char** argv) {
  try {
    return tavo::cli::EndInterrupted(tavo::cli::Main(argc, argv));
  } catch (const std::exception& e) {
    // Nothing below should throw; if it does, say so rather than abort.
    std::cerr << "tavo-cli: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "tavo-cli: unexpected error\n";
  }
  return 1;
}
