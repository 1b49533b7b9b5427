// tavo-bench: the figures users feel, measured on the real program pieces.
// Prints one line per figure, its ratio last (at or below 1 meets the target
// for the lines that have one). See bench/README.md.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/rig.h"
#include "link/serial_link.h"
#include "memofs/index_io.h"
#include "memofs/index_text.h"
#include "settings/config.h"
#include "ui/client_commands.h"
#include "ui/main_form.h"

namespace tavo::bench {
namespace {

struct Options {
  int repeats = 3;
  std::vector<std::string> only;  // figure names; empty runs all
};

bool Wanted(const Options& options, const std::string& figure) {
  return options.only.empty() ||
         std::find(options.only.begin(), options.only.end(), figure) != options.only.end();
}

int failures = 0;

void Fail(const std::string& what) {
  std::printf("FAILED: %s\n", what.c_str());
  std::fflush(stdout);
  ++failures;
}

// Best (lowest) and spread ((max - min) / min) of repeated figures.
struct Spread {
  double best = 0;
  double worst = 0;
  double percent = 0;
};

Spread SpreadOf(const std::vector<double>& values) {
  Spread s;
  if (values.empty()) return s;
  s.best = *std::min_element(values.begin(), values.end());
  s.worst = *std::max_element(values.begin(), values.end());
  s.percent = s.best > 0 ? 100.0 * (s.worst - s.best) / s.best : 0;
  return s;
}

std::string Format(const char* format, double a) {
  char text[64];
  std::snprintf(text, sizeof text, format, a);
  return text;
}

void Print(const std::string& figure, const std::string& details, const std::string& target,
           bool met, double ratio) {
  std::printf("%-34s %s  [target %s, %s]  %.3f\n", figure.c_str(), details.c_str(), target.c_str(),
              met ? "met" : "MISSED", ratio);
  std::fflush(stdout);
}

void Record(const std::string& figure, const std::string& details, double ratio) {
  std::printf("%-34s %s  %.3f\n", figure.c_str(), details.c_str(), ratio);
  std::fflush(stdout);
}

// ---- transfers over the paced line ----

struct Span {
  double wall = 0;
  double cpu = 0;
  LineCount chars;
};

template <typename F>
Span Measure(const ServedOrganizer& served, F&& command) {
  const LineCount chars_before = served.Count();
  const double cpu_before = ThreadCpuNow();
  const double wall_before = WallNow();
  command();
  Span span;
  span.wall = WallNow() - wall_before;
  span.cpu = ThreadCpuNow() - cpu_before;
  const LineCount chars_after = served.Count();
  span.chars.from_client = chars_after.from_client - chars_before.from_client;
  span.chars.to_client = chars_after.to_client - chars_before.to_client;
  return span;
}

int BaudCode(int baud) {
  switch (baud) {
    case 9600:
      return 2;
    case 38400:
      return 4;
    default:
      return baud;
  }
}

struct TransferRuns {
  std::vector<Span> to_organizer;
  std::vector<Span> to_computer;
};

// Copies the tree "tree" to the organizer's root and back into "back", each
// way one measured command, and checks the copy byte for byte.
bool RunTransfer(int baud, const std::map<std::string, std::size_t>& tree, TransferRuns& runs) {
  // An unpaced line still needs a speed the port accepts.
  ClientRig rig(BaudCode(baud == 0 ? 38400 : baud), false);
  WriteTree(rig.pc() / "tree", tree);
  sim::Organizer organizer;
  ServedOrganizer served(organizer, baud, rig.Com2());
  rig.client.Synchronize_Click();
  if (!rig.client.Synchronized()) {
    Fail("synchronize at " + std::to_string(baud) + " baud");
    return false;
  }
  if (!rig.SelectComputerRow("<tree>")) {
    Fail("no tree to copy");
    return false;
  }
  runs.to_organizer.push_back(Measure(served, [&] { rig.client.Copy2_Click(); }));
  if (!rig.client.Synchronized() || !rig.view.messages.empty() ||
      !rig.SelectOrganizerRow("<tree>")) {
    Fail("copy to the organizer at " + std::to_string(baud) + " baud");
    return false;
  }
  fs::create_directory(rig.pc() / "back");
  rig.state.ComputerPath = "\\back\\";
  runs.to_computer.push_back(Measure(served, [&] { rig.client.Copy1_Click(); }));
  if (ReadTree(rig.pc() / "back" / "tree") != ReadTree(rig.pc() / "tree") ||
      !rig.view.messages.empty()) {
    Fail("copy to the computer at " + std::to_string(baud) + " baud: trees differ");
    return false;
  }
  return true;
}

std::size_t TreeBytes(const std::map<std::string, std::size_t>& tree) {
  std::size_t total = 0;
  for (const auto& [name, size] : tree) total += size;
  return total;
}

void ReportLine(const std::string& direction, int baud, std::size_t bytes,
                const std::vector<Span>& spans) {
  std::vector<double> ratios;
  std::vector<double> cpu;
  for (const Span& s : spans) {
    const double floor = static_cast<double>(s.chars.Total()) * 10.0 / baud;
    ratios.push_back(s.wall / floor);
    cpu.push_back(s.cpu / s.wall);
  }
  const auto best = std::min_element(ratios.begin(), ratios.end()) - ratios.begin();
  const Span& b = spans[static_cast<std::size_t>(best)];
  const double floor = static_cast<double>(b.chars.Total()) * 10.0 / baud;
  const Spread r = SpreadOf(ratios);
  const std::string where = direction + " " + std::to_string(baud) + " baud";
  Print("utilization " + where,
        std::to_string(bytes) + " B, wall " + Format("%.3f", b.wall) + " s, floor " +
            Format("%.3f", floor) + " s (" + std::to_string(b.chars.from_client) + " + " +
            std::to_string(b.chars.to_client) + " chars), best of " + std::to_string(spans.size()) +
            ", spread " + Format("%.1f", r.percent) + "%, wall/floor",
        "<= 1.02", r.best <= 1.02, r.best);
  const Spread c = SpreadOf(cpu);
  Print("cpu while waiting " + where,
        "client thread cpu " + Format("%.3f", b.cpu) + " s of wall " + Format("%.3f", b.wall) +
            " s, best of " + std::to_string(cpu.size()) + " (worst " + Format("%.4f", c.worst) +
            "), cpu/wall",
        "<= 0.02", c.best <= 0.02, c.best);
}

void FigureTransfers(const Options& options) {
  // About 20 KB: files of one part, several parts, none, nested directories.
  const std::map<std::string, std::size_t> tree_20k = {
      {"tree/readme.txt", 1200},      {"tree/report.doc", 9000}, {"tree/empty", 0},
      {"tree/sub/data.bin", 7000},    {"tree/sub/note", 324},    {"tree/sub/one part", 1956},
      {"tree/sub/deeper/x.txt", 1000}};
  const std::map<std::string, std::size_t> tree_5k = {{"tree/a.txt", 3000},
                                                      {"tree/sub/b.txt", 2120}};
  for (const auto& [baud, tree] : {std::pair{38400, tree_20k}, std::pair{9600, tree_5k}}) {
    TransferRuns runs;
    for (int i = 0; i < options.repeats; ++i) {
      if (!RunTransfer(baud, tree, runs)) return;
    }
    ReportLine("to-organizer", baud, TreeBytes(tree), runs.to_organizer);
    ReportLine("to-computer", baud, TreeBytes(tree), runs.to_computer);
  }
}

void FigureSilence(const Options& options) {
  std::vector<double> ratios;
  double wall = 0;
  const int runs = std::max(1, std::min(options.repeats, 2));
  for (int i = 0; i < runs; ++i) {
    ClientRig rig(4, false);
    sim::Organizer organizer;
    organizer.InjectFault({sim::FaultKind::kSilence, 1});
    ServedOrganizer served(organizer, 38400, rig.Com2());
    const Span span = Measure(served, [&] { rig.client.Synchronize_Click(); });
    if (rig.client.Synchronized() || span.wall < link::kReplyLimit) {
      Fail("silent organizer: no time-out");
      return;
    }
    ratios.push_back(span.cpu / span.wall);
    wall = span.wall;
  }
  const Spread s = SpreadOf(ratios);
  Print("cpu while waiting silent organizer",
        "Synchronize into a 12 s time-out, wall " + Format("%.2f", wall) + " s, best of " +
            std::to_string(ratios.size()) + " (worst " + Format("%.4f", s.worst) + "), cpu/wall",
        "<= 0.02", s.best <= 0.02, s.best);
}

// ---- Cancel during a paced copy ----

void FigureCancel(const Options& options) {
  constexpr int kBaud = 38400;
  constexpr int kLastPart = 11;
  std::vector<double> ratios;
  std::vector<double> delivery_ms, after_ms, latency_ms, exchange_ms;
  const int presses = std::max(3, options.repeats + 2);
  for (int i = 0; i < presses; ++i) {
    ClientRig rig(BaudCode(kBaud), true);
    sim::Organizer organizer;
    {
      std::vector<memofs::DirectoryEntry> table(2);
      table[0] = {memofs::kReservedName, memofs::kTypeRoot, 0, 0, 0};
      table[1] = {"big", memofs::kTypeFile, kLastPart, 1000, 0};
      organizer.PutText(memofs::kRootIndexName, memofs::BuildIndexText(table));
      const std::string stem = memofs::ChildIndexName(memofs::kRootIndexName, 0);
      for (int p = 0; p <= kLastPart; ++p) {
        const std::size_t size = p == kLastPart ? 1000 : memofs::kPartSize;
        organizer.PutText(memofs::PartName(stem, p, kLastPart),
                          std::string(size, static_cast<char>('a' + p)));
      }
    }
    ServedOrganizer served(organizer, kBaud, rig.Com2());
    rig.client.Synchronize_Click();
    if (!rig.client.Synchronized()) {
      Fail("cancel: synchronize");
      return;
    }
    // Presses land at different points of an exchange of about half a second.
    const double offset = 1.2 + 0.113 * i;
    double pressed = 0;
    double delivered = 0;
    const double started = WallNow();
    std::thread presser([&] {
      std::this_thread::sleep_until(std::chrono::steady_clock::now() +
                                    std::chrono::duration<double>(offset));
      pressed = WallNow();
      // Delivered by the event loop inside the command's waits, like the button.
      QMetaObject::invokeMethod(
          qApp,
          [&] {
            delivered = WallNow();
            rig.client.RequestStop();
          },
          Qt::QueuedConnection);
    });
    const bool copied = rig.SelectOrganizerRow("big");
    if (copied) rig.client.Copy1_Click();
    presser.join();
    const double ended = rig.view.unloaded_at;
    if (!copied || delivered == 0 || ended < delivered || fs::exists(rig.pc() / "big")) {
      Fail("cancel: the copy was not stopped");
      return;
    }
    // One exchange: the time between two part statuses.
    std::vector<double> gaps;
    const auto& st = rig.view.statuses;
    for (std::size_t k = 1; k < st.size(); ++k) {
      if (st[k].at > started && st[k - 1].at > started &&
          st[k].text.find('%') != std::string::npos &&
          st[k - 1].text.find('%') != std::string::npos) {
        gaps.push_back(st[k].at - st[k - 1].at);
      }
    }
    if (gaps.empty()) {
      Fail("cancel: no whole exchange before the press");
      return;
    }
    std::sort(gaps.begin(), gaps.end());
    const double exchange = gaps[gaps.size() / 2];
    const double latency = ended - pressed;
    const double in_flight_end = std::max(rig.observed_port.last_read_at, delivered);
    delivery_ms.push_back(1000 * (delivered - pressed));
    after_ms.push_back(1000 * (ended - in_flight_end));
    latency_ms.push_back(1000 * latency);
    exchange_ms.push_back(1000 * exchange);
    ratios.push_back(latency / (0.050 + exchange));
  }
  const Spread r = SpreadOf(ratios);
  const Spread d = SpreadOf(delivery_ms);
  const Spread a = SpreadOf(after_ms);
  const Spread l = SpreadOf(latency_ms);
  const Spread e = SpreadOf(exchange_ms);
  Print("cancel latency to-computer 38400",
        std::to_string(ratios.size()) + " presses: press->delivered max " +
            Format("%.1f", d.worst) + " ms, end of exchange->command end max " +
            Format("%.1f", a.worst) + " ms, press->command end " + Format("%.0f", l.best) + ".." +
            Format("%.0f", l.worst) + " ms, one exchange " + Format("%.0f", e.best) +
            " ms; worst latency/(50 ms + one exchange)",
        "<= 1", r.worst <= 1.0, r.worst);
}

// ---- listings ----

// The exchange sort itself, as the reference for the order the program keeps.
template <typename T, typename Key>
void ReferenceExchangeSort(std::vector<T>& items, Key key) {
  std::vector<std::string> keys;
  keys.reserve(items.size());
  for (const T& item : items) keys.push_back(key(item));
  for (std::size_t i = 0; i + 1 < items.size(); ++i) {
    for (std::size_t j = i + 1; j < items.size(); ++j) {
      if (keys[i] > keys[j]) {
        std::swap(keys[i], keys[j]);
        std::swap(items[i], items[j]);
      }
    }
  }
}

// Names as users have them: mixed case, digits, some punctuation, and every
// `twin_every`-th one also present in another case (0: none).
std::vector<std::string> Names(std::size_t count, std::size_t twin_every, std::uint32_t seed) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-";
  std::vector<std::string> names;
  std::uint32_t x = seed;
  auto next = [&] {
    x = x * 1664525u + 1013904223u;
    return x >> 8;
  };
  std::set<std::string> seen;
  while (names.size() < count) {
    std::string name;
    const std::size_t length = 4 + next() % 12;
    for (std::size_t i = 0; i < length; ++i) name += kChars[next() % (sizeof kChars - 1)];
    name += next() % 3 == 0 ? ".txt" : "";
    if (!seen.insert(memofs::UpperCase(name)).second) continue;
    names.push_back(name);
    if (twin_every != 0 && names.size() % twin_every == 0 && names.size() < count) {
      std::string twin = name;
      for (char& c : twin) {
        if (c >= 'a' && c <= 'z') {
          c = static_cast<char>(c - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
          c = static_cast<char>(c - 'A' + 'a');
        }
      }
      if (twin != name) names.push_back(twin);
    }
  }
  return names;
}

struct Window {
  ScratchDir start{"window"};
  commands::ClientState state;
  platform::NativeComputerFiles files;
  platform::SteadyClock clock;
  platform::QtSerialPort port;
  std::unique_ptr<ui::MainForm> form;
  std::unique_ptr<commands::ViewLinkHost> host;
  std::unique_ptr<link::SerialLink> link;
  std::unique_ptr<commands::Client> client;
  std::unique_ptr<ui::ClientCommands> commands;

  explicit Window(const fs::path& drive_root)
      : files({{'t', drive_root.string()}}), port(start.path().string() + "/") {
    state.StartDirectory = start.path().string() + "/";
    std::ofstream(start.path() / "tavo_c.cfg", std::ios::binary)
        << "0\r\n0\r\n1\r\n0\r\n9375\r\n7425\r\n\r\n\r\n\r\n\r\n2\r\n4\r\n";
    ui::WindowServices services;
    services.screen = [] { return settings::ScreenSize{30000, 20000}; };
    services.run_dialog = [](QDialog&) { return 0; };
    services.end_program = [] {};
    form = std::make_unique<ui::MainForm>(state, files, services);
    host = std::make_unique<commands::ViewLinkHost>(*form);
    link = std::make_unique<link::SerialLink>(port, clock, *host);
    client = std::make_unique<commands::Client>(state, *form, *link, files);
    commands = std::make_unique<ui::ClientCommands>(*client);
    form->Form_Load(*commands);
    QCoreApplication::processEvents();
  }
};

// Runs `fill` `repeats` times, each followed by the window's own deferred
// work (item layout, painting), and returns the times in ms.
template <typename F>
std::vector<double> TimeFill(int repeats, F&& fill) {
  std::vector<double> ms;
  for (int i = 0; i < repeats; ++i) {
    const double started = WallNow();
    fill();
    QCoreApplication::processEvents();
    ms.push_back(1000 * (WallNow() - started));
  }
  return ms;
}

void PrintListing(const std::string& figure, const std::string& details,
                  const std::vector<double>& ms) {
  const Spread s = SpreadOf(ms);
  Print(figure,
        details + ", best " + Format("%.1f", s.best) + " ms of " + std::to_string(ms.size()) +
            ", spread " + Format("%.0f", s.percent) + "%, best/200 ms",
        "<= 1", s.best <= 200, s.best / 200);
}

void FigureComputerListing(const Options& options, std::size_t twin_every) {
  constexpr std::size_t kFiles = 16384;
  ScratchDir dir("listing");
  const std::vector<std::string> names = Names(kFiles, twin_every, 7);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::ofstream(dir.path() / names[i], std::ios::binary) << std::string(i % 97, 'x');
  }
  Window window(dir.path());
  const std::vector<double> ms =
      TimeFill(options.repeats + 2, [&] { window.client->ListComputerDirectory(); });

  // Among equal keys the result depends on the order the directory lists in.
  std::vector<commands::DirectoryListing::File> expected = window.files.List("t:\\")->files;
  ReferenceExchangeSort(expected, [](const auto& file) { return memofs::UpperCase(file.name); });
  bool same = window.form->ComputerRowCount() == static_cast<int>(expected.size());
  for (std::size_t i = 0; same && i < expected.size(); ++i) {
    same = window.form->ComputerRowText(static_cast<int>(i)) == expected[i].name;
  }
  if (!same) Fail("computer listing: not in exchange-sort order");
  PrintListing("listing computer 16384 files",
               std::string(twin_every == 0 ? "distinct names" : "case twins") +
                   ", ListComputerDirectory into MainForm",
               ms);
}

void FigureMemoView(const Options& options, std::size_t twin_every) {
  constexpr std::size_t kMemos = 16384;
  ScratchDir empty("empty-drive");
  Window window(empty.path());
  const std::vector<std::string> names = Names(kMemos, twin_every, 11);
  auto& state = window.state;
  state.MemoViewActive = 1;
  state.CurrentDepth = 0;
  state.DirectoryTable.assign(1, {"..", memofs::kTypeParent, 0, 0, 0});
  for (const std::string& name : names) {
    state.DirectoryTable.push_back({name, memofs::kTypeFile, 0, 0, 0});
  }
  const std::vector<double> ms =
      TimeFill(options.repeats + 2, [&] { window.client->FillOrganizerPane(); });

  std::vector<std::string> expected = names;
  ReferenceExchangeSort(expected, [](const std::string& n) { return memofs::UpperCase(n); });
  bool same = window.form->OrganizerRowCount() == static_cast<int>(expected.size() + 1);
  for (std::size_t i = 0; same && i < expected.size(); ++i) {
    same = window.form->OrganizerRowText(static_cast<int>(i + 1)) == expected[i];
  }
  if (!same) Fail("memo view: not in exchange-sort order");
  PrintListing("listing memo view 16384 memos",
               std::string(twin_every == 0 ? "distinct names" : "case twins") +
                   ", FillOrganizerPane into MainForm",
               ms);
}

class QuietHost : public memofs::MemoFsHost, public link::LinkHost {
 public:
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void SetUnsynchronized() override { errors.emplace_back("unsynchronized"); }
  void LinkLost() override { errors.emplace_back("link lost"); }
  bool CancelRequested() const override { return false; }
  void PumpEvents() override {}
  void ShowLinkError(const std::string& text) override { errors.push_back(text); }
  std::vector<std::string> errors;
};

void FigureWriteIndex(const Options& options) {
  // A full directory: one-character names (letters in both cases among
  // them, so equal keys too) until the index text would pass its limit.
  memofs::OrganizerState state;
  state.DirectoryTable.assign(1, {memofs::kReservedName, memofs::kTypeRoot, 0, 0, 0});
  std::vector<std::string> names;
  for (int c = 33; c < 255; ++c) {
    if (c != 127) names.emplace_back(1, static_cast<char>(c));
  }
  // Not in order, as entries are after years of adding and deleting.
  std::uint32_t x = 5;
  for (std::size_t i = names.size() - 1; i > 0; --i) {
    x = x * 1664525u + 1013904223u;
    std::swap(names[i], names[(x >> 8) % (i + 1)]);
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    memofs::DirectoryEntry entry;
    entry.EntryName = names[i];
    entry.EntryType = i % 4 == 0 ? memofs::kTypeDirectory : memofs::kTypeFile;
    entry.EntryNumber = static_cast<std::int16_t>(i);
    state.DirectoryTable.push_back(entry);
    if (memofs::BuildIndexText(state.DirectoryTable).size() > memofs::kMaxIndexText) {
      state.DirectoryTable.pop_back();
      break;
    }
  }
  const std::size_t entries = state.DirectoryTable.size() - 1;

  sim::Organizer organizer;
  sim::ManualClock clock;
  sim::SimPort port(organizer, clock);
  QuietHost host;
  link::SerialLink serial(port, clock, host);
  serial.OpenPort(2, 4);
  memofs::MemoFs fs{serial, state, host};
  std::vector<double> ms;
  for (int i = 0; i < options.repeats + 2; ++i) {
    const double started = WallNow();
    const bool written = memofs::WriteIndex(fs);
    ms.push_back(1000 * (WallNow() - started));
    if (!written || !host.errors.empty()) {
      Fail("WriteIndex of a full directory");
      return;
    }
  }
  std::vector<memofs::DirectoryEntry> directories, files;
  for (std::size_t r = 1; r < state.DirectoryTable.size(); ++r) {
    const auto& e = state.DirectoryTable[r];
    (e.EntryType == memofs::kTypeDirectory ? directories : files).push_back(e);
  }
  const auto key = [](const memofs::DirectoryEntry& e) { return memofs::UpperCase(e.EntryName); };
  ReferenceExchangeSort(directories, key);
  ReferenceExchangeSort(files, key);
  std::vector<memofs::DirectoryEntry> ordered(1, state.DirectoryTable[0]);
  ordered.insert(ordered.end(), directories.begin(), directories.end());
  ordered.insert(ordered.end(), files.begin(), files.end());
  // The reference order has no inversions left, so the writer keeps it as it is.
  if (organizer.Text(memofs::kRootIndexName) != memofs::BuildIndexText(ordered)) {
    Fail("WriteIndex: not in exchange-sort order");
  }
  PrintListing("listing WriteIndex full directory",
               std::to_string(entries) + " entries, " +
                   std::to_string(memofs::BuildIndexText(ordered).size()) +
                   " chars, over the in-process port",
               ms);
}

// ---- unpaced ----

void FigureUnpaced(const Options& options) {
  std::map<std::string, std::size_t> tree;
  for (int d = 0; d < 4; ++d) {
    for (int f = 0; f < 8; ++f) {
      tree["tree/d" + std::to_string(d) + "/f" + std::to_string(f)] = 65536;
    }
  }
  const double mib = static_cast<double>(TreeBytes(tree)) / (1 << 20);
  TransferRuns runs;
  const int repeats = std::max(1, std::min(options.repeats, 2));
  for (int i = 0; i < repeats; ++i) {
    if (!RunTransfer(0, tree, runs)) return;
  }
  for (const auto& [direction, spans] :
       {std::pair{"to-organizer", runs.to_organizer}, std::pair{"to-computer", runs.to_computer}}) {
    std::vector<double> walls;
    for (const Span& s : spans) walls.push_back(s.wall);
    const Spread w = SpreadOf(walls);
    const Span& b = spans[static_cast<std::size_t>(std::min_element(walls.begin(), walls.end()) -
                                                   walls.begin())];
    Record(std::string("unpaced ") + direction,
           Format("%.0f", mib) + " MiB, wall " + Format("%.2f", b.wall) + " s (spread " +
               Format("%.0f", w.percent) + "%), " + std::to_string(b.chars.Total()) +
               " chars, client cpu/wall " + Format("%.2f", b.cpu / b.wall) + ", MiB/s",
           mib / b.wall);
  }
}

// ---- backup and restore with tavo-cli ----

struct ChildRun {
  int status = -1;
  double wall = 0;
  double line = 0;  // first to last character on the line
  double cpu = 0;   // user + system of the child
  long max_rss_kb = 0;
  LineCount chars;
};

// Runs tavo-cli in `cwd` with `args`, its output thrown away, and measures it.
ChildRun RunCli(const ServedOrganizer& served, const fs::path& cwd,
                const std::vector<std::string>& args) {
  std::vector<std::string> all{TAVO_CLI, "-q"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const LineCount before = served.Count();
  ChildRun run;
  const double start = WallNow();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0), ::dup2(null, 1);
    ::execv(TAVO_CLI, argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  // The line's time: from the first character to the last, sampled every
  // 2 ms; the program's start (its 0.5 s wait for a quiet line) falls outside.
  LineCount seen = before;
  double first = 0, last = 0;
  while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
    const LineCount now = served.Count();
    if (now.Total() != seen.Total()) {
      if (first == 0) first = WallNow();
      last = WallNow();
      seen = now;
    }
    ::usleep(2000);
  }
  run.wall = WallNow() - start;
  run.line = last - first;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.max_rss_kb = usage.ru_maxrss;
  const LineCount after = served.Count();
  run.chars.from_client = after.from_client - before.from_client;
  run.chars.to_client = after.to_client - before.to_client;
  return run;
}

// 150 notes of 200 to 1800 bytes (two directories: one index holds about 110
// such entries), a small tree, and 20 plain memos of 100 to 1900 bytes.
std::map<std::string, std::size_t> NoteSet() {
  std::map<std::string, std::size_t> set;
  for (int i = 0; i < 150; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "set/notes%d/n%03d", 1 + i / 75, i);
    set[name] = 200 + static_cast<std::size_t>(i * 677 % 1601);
  }
  set["set/tree/a.txt"] = 3000;
  set["set/tree/sub/b.txt"] = 5000;
  set["set/tree/sub/deeper/one part"] = 1956;
  return set;
}

std::size_t PutMemos(sim::Organizer& organizer) {
  std::size_t bytes = 0;
  for (int i = 0; i < 20; ++i) {
    const std::size_t size = 100 + static_cast<std::size_t>(i * 97 % 1801);
    organizer.PutText("memo" + std::to_string(i), std::string(size, static_cast<char>('a' + i)));
    bytes += size;
  }
  return bytes;
}

double Efficiency(std::size_t payload, double wall, int baud) {
  return static_cast<double>(payload) / (wall * baud / 10.0);
}

void MirrorAt(int baud, int repeats) {
  const std::map<std::string, std::size_t> set = NoteSet();
  const std::size_t file_bytes = TreeBytes(set);
  std::vector<double> window, backup, backup_floor, restore, restore_floor, cpu, backup_line,
      restore_line;
  std::uint64_t restore_chars = 0;
  std::size_t payload_bytes = 0;
  long rss_max = 0;
  const std::string speed = std::to_string(baud);
  for (int r = 0; r < repeats; ++r) {
    ClientRig rig(BaudCode(baud), false);
    WriteTree(rig.pc(), set);
    sim::Organizer source;
    const std::size_t memo_bytes = PutMemos(source);
    const std::size_t payload = file_bytes + memo_bytes;
    payload_bytes = payload;
    std::map<std::string, std::string> original;
    {
      ServedOrganizer served(source, baud, rig.Com2());
      rig.client.Synchronize_Click();
      if (!rig.client.Synchronized() || !rig.SelectComputerRow("<set>")) {
        Fail("synchronize for the note set at " + speed);
        return;
      }
      const Span copy = Measure(served, [&] { rig.client.Copy2_Click(); });
      if (!rig.view.messages.empty()) {
        Fail("the window's copy of the note set at " + speed + ": " + rig.view.messages.front());
        return;
      }
      window.push_back(Efficiency(file_bytes, copy.wall, baud));
      rig.link.ClosePort();
      const ChildRun b =
          RunCli(served, rig.pc(), {"--port", rig.Com2().string(), "--baud", speed, "backup", "B"});
      if (b.status != 0) {
        Fail("tavo-cli backup at " + speed + " ended " + std::to_string(b.status));
        return;
      }
      backup.push_back(Efficiency(payload, b.wall, baud));
      backup_line.push_back(Efficiency(payload, b.line, baud));
      backup_floor.push_back(b.wall / (static_cast<double>(b.chars.Total()) * 10.0 / baud));
      cpu.push_back(b.cpu / b.wall);
      rss_max = std::max(rss_max, b.max_rss_kb);
    }
    original = source.Memos();
    sim::Organizer target;
    {
      const fs::path com3 = rig.start_.path() / "com3";
      ServedOrganizer served(target, baud, com3);
      const ChildRun t =
          RunCli(served, rig.pc(), {"--port", com3.string(), "--baud", speed, "restore", "B"});
      if (t.status != 0) {
        Fail("tavo-cli restore at " + speed + " ended " + std::to_string(t.status));
        return;
      }
      restore.push_back(Efficiency(payload, t.wall, baud));
      restore_line.push_back(Efficiency(payload, t.line, baud));
      restore_floor.push_back(t.wall / (static_cast<double>(t.chars.Total()) * 10.0 / baud));
      restore_chars = t.chars.Total();
      cpu.push_back(t.cpu / t.wall);
      rss_max = std::max(rss_max, t.max_rss_kb);
    }
    if (target.Memos() != original) Fail("the restored organizer differs at " + speed);
  }
  // Every target figure is the worst of the repeats (lowest efficiency,
  // highest ratio), with the spread beside it.
  const auto spread = [](const std::vector<double>& v) {
    return ", spread " + Format("%.1f", SpreadOf(v).percent) + "%";
  };
  const std::string set_text = std::to_string(file_bytes) + " B of files, " +
                               std::to_string(payload_bytes - file_bytes) + " of memos";
  const std::string of = " of " + std::to_string(repeats);
  Record("window copy of the note set " + speed, "file bytes / wall, worst" + of + spread(window),
         SpreadOf(window).best);
  Print("restore efficiency " + speed,
        set_text + ", payload / line time (first to last character)" + spread(restore_line),
        ">= 0.90", SpreadOf(restore_line).best >= 0.90, SpreadOf(restore_line).best);
  Record("restore payload / wall " + speed,
         "the command's whole run, its start and quiet-line wait included" + spread(restore),
         SpreadOf(restore).best);
  Record("restore wall / floor " + speed,
         std::to_string(restore_chars) + " chars crossed for " + std::to_string(payload_bytes) +
             " B, ratio" + spread(restore_floor),
         SpreadOf(restore_floor).worst);
  Print("backup efficiency " + speed, set_text + ", payload / line time" + spread(backup_line),
        ">= 0.90", SpreadOf(backup_line).best >= 0.90, SpreadOf(backup_line).best);
  Record("backup payload / wall " + speed, "the command's whole run" + spread(backup),
         SpreadOf(backup).best);
  Print("backup wall / floor " + speed, "every character that crossed" + spread(backup_floor),
        "<= 1.02", SpreadOf(backup_floor).worst <= 1.02, SpreadOf(backup_floor).worst);
  Print("tavo-cli cpu/wall " + speed,
        "worst of backups and restores, max RSS " + std::to_string(rss_max) + " KiB", "<= 0.02",
        SpreadOf(cpu).worst <= 0.02, SpreadOf(cpu).worst);
}

// The same backup of one small file and of the whole set, unpaced: the
// program's peak memory should not grow with the organizer.
void MirrorMemory() {
  long rss[2] = {0, 0};
  for (int big = 0; big < 2; ++big) {
    ClientRig rig(4, false);
    sim::Organizer organizer;
    if (big != 0) {
      WriteTree(rig.pc(), NoteSet());
      PutMemos(organizer);
    } else {
      WriteTree(rig.pc(), {{"set/one", 1000}});
    }
    ServedOrganizer served(organizer, 0, rig.Com2());
    rig.client.Synchronize_Click();
    rig.SelectComputerRow("<set>");
    rig.client.Copy2_Click();
    rig.link.ClosePort();
    const ChildRun b =
        RunCli(served, rig.pc(), {"--port", rig.Com2().string(), "--baud", "38400", "backup", "B"});
    if (b.status != 0) Fail("unpaced backup ended " + std::to_string(b.status));
    rss[big] = b.max_rss_kb;
  }
  Record("tavo-cli backup peak memory",
         "one file " + std::to_string(rss[0]) + " KiB, note set " + std::to_string(rss[1]) +
             " KiB, ratio",
         static_cast<double>(rss[1]) / static_cast<double>(rss[0]));
}

void FigureMirror(const Options& options) {
  const int repeats = std::max(1, std::min(options.repeats, 2));
  for (int baud : {38400, 9600}) {
    if (Wanted(options, "mirror") || Wanted(options, "mirror-" + std::to_string(baud))) {
      MirrorAt(baud, repeats);
    }
  }
  MirrorMemory();
}

std::optional<Options> Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--repeats" && i + 1 < argc) {
      options.repeats = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--only" && i + 1 < argc) {
      options.only.emplace_back(argv[++i]);
    } else {
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace
}  // namespace tavo::bench

int main(int argc, char** argv) {
  using namespace tavo::bench;
  const std::optional<Options> options = Parse(argc, argv);
  if (!options) {
    std::fprintf(stderr,
                 "usage: tavo-bench [--repeats N] [--only "
                 "transfers|silence|cancel|listings|unpaced|mirror]...\n");
    return 2;
  }
  // The window is measured, never shown.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  if (Wanted(*options, "transfers")) FigureTransfers(*options);
  if (Wanted(*options, "silence")) FigureSilence(*options);
  if (Wanted(*options, "cancel")) FigureCancel(*options);
  if (Wanted(*options, "listings")) {
    FigureComputerListing(*options, 0);
    FigureComputerListing(*options, 64);
    FigureMemoView(*options, 0);
    FigureMemoView(*options, 64);
    FigureWriteIndex(*options);
  }
  if (Wanted(*options, "unpaced")) FigureUnpaced(*options);
  if (Wanted(*options, "mirror") || Wanted(*options, "mirror-38400") ||
      Wanted(*options, "mirror-9600")) {
    FigureMirror(*options);
  }
  return failures == 0 ? 0 : 1;
}
