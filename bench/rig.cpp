#include "bench/rig.h"

#include <dirent.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

#include "settings/config.h"

namespace tavo::bench {

namespace {

double Seconds(clockid_t clock) {
  timespec ts{};
  ::clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::set<pid_t> Threads() {
  std::set<pid_t> tids;
  for (const auto& entry : fs::directory_iterator("/proc/self/task")) {
    tids.insert(static_cast<pid_t>(std::stol(entry.path().filename().string())));
  }
  return tids;
}

// One field of /proc/self/task/<tid>/io.
std::uint64_t IoField(pid_t tid, const std::string& field) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/io");
  std::string name;
  std::uint64_t value = 0;
  while (in >> name >> value) {
    if (name == field + ":") return value;
  }
  throw std::runtime_error("no " + field + " in /proc/self/task/" + std::to_string(tid) + "/io");
}

bool Valid(const HeadlessView::Pane& pane, int row) {
  return row >= 0 && row < static_cast<int>(pane.rows.size());
}

void SetRows(HeadlessView::Pane& pane, const std::vector<commands::PaneRow>& rows) {
  pane.rows = rows;
  pane.selected.assign(rows.size(), false);
  pane.current = -1;
}

}  // namespace

double WallNow() { return Seconds(CLOCK_MONOTONIC); }
double ThreadCpuNow() { return Seconds(CLOCK_THREAD_CPUTIME_ID); }

ScratchDir::ScratchDir(const std::string& tag) {
  static int counter = 0;
  path_ = fs::temp_directory_path() / ("tavo-bench-" + std::to_string(::getpid()) + "-" + tag +
                                       "-" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

void WriteTree(const fs::path& root, const std::map<std::string, std::size_t>& files) {
  std::size_t seed = 0;
  for (const auto& [relative, size] : files) {
    const fs::path path = root / relative;
    fs::create_directories(path.parent_path());
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
      bytes[i] = static_cast<char>((i * 7 + i / 256 + seed) & 0xff);
    }
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    ++seed;
  }
}

bool HeadlessView::Select(Pane& pane, const std::string& text) {
  for (std::size_t i = 0; i < pane.rows.size(); ++i) {
    if (pane.rows[i].text != text) continue;
    pane.selected[i] = true;
    pane.current = static_cast<int>(i);
    return true;
  }
  return false;
}

void HeadlessView::StatusShow(const std::string& text) {
  status_loaded_ = true;
  statuses.push_back({WallNow(), text});
}

void HeadlessView::StatusUnload() {
  status_loaded_ = false;
  unloaded_at = WallNow();
}

void HeadlessView::PumpEvents() { QCoreApplication::processEvents(); }

void HeadlessView::SetOrganizerRows(const std::vector<commands::PaneRow>& rows) {
  SetRows(organizer, rows);
}
int HeadlessView::OrganizerRowCount() const { return static_cast<int>(organizer.rows.size()); }
std::string HeadlessView::OrganizerRowText(int row) const {
  return Valid(organizer, row) ? organizer.rows[row].text : std::string();
}
bool HeadlessView::OrganizerRowSelected(int row) const {
  return Valid(organizer, row) && organizer.selected[row];
}
void HeadlessView::SetOrganizerRowSelected(int row, bool selected) {
  if (Valid(organizer, row)) organizer.selected[row] = selected;
}
void HeadlessView::SetComputerRows(const std::vector<commands::PaneRow>& rows) {
  SetRows(computer, rows);
}
int HeadlessView::ComputerRowCount() const { return static_cast<int>(computer.rows.size()); }
std::string HeadlessView::ComputerRowText(int row) const {
  return Valid(computer, row) ? computer.rows[row].text : std::string();
}
bool HeadlessView::ComputerRowSelected(int row) const {
  return Valid(computer, row) && computer.selected[row];
}
void HeadlessView::SetComputerRowSelected(int row, bool selected) {
  if (Valid(computer, row)) computer.selected[row] = selected;
}

ServedOrganizer::ServedOrganizer(sim::Organizer& organizer, int baud, const fs::path& link_path) {
  // The server's thread is the one thread that appears while it is made.
  const std::set<pid_t> before = Threads();
  server_ = std::make_unique<sim::PtyServer>(organizer, baud);
  std::vector<pid_t> fresh;
  for (pid_t tid : Threads()) {
    if (before.count(tid) == 0) fresh.push_back(tid);
  }
  if (fresh.size() != 1) throw std::runtime_error("cannot tell the simulator's thread");
  tid_ = fresh.front();
  if (!server_->Link(link_path.string())) throw std::runtime_error("cannot publish the line");
}

ServedOrganizer::~ServedOrganizer() { server_->Stop(); }

LineCount ServedOrganizer::Count() const {
  return {IoField(tid_, "rchar"), IoField(tid_, "wchar")};
}

double ServedOrganizer::CpuSeconds() const {
  std::ifstream in("/proc/self/task/" + std::to_string(tid_) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  // Fields after the parenthesised name; utime and stime are the 14th and 15th.
  std::size_t at = stat.rfind(')');
  std::vector<std::string> fields;
  std::string field;
  for (std::size_t i = at + 2; i < stat.size(); ++i) {
    if (stat[i] == ' ') {
      fields.push_back(field);
      field.clear();
    } else {
      field += stat[i];
    }
  }
  const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
  return (std::stod(fields.at(11)) + std::stod(fields.at(12))) / ticks;
}

std::string ObservedPort::Read(std::size_t max_bytes) {
  std::string bytes = port_.Read(max_bytes);
  if (!bytes.empty()) last_read_at = WallNow();
  return bytes;
}

ClientRig::ClientRig(int baud_code, bool observed)
    : files({{'t', pc_.path().string()}}),
      qt_port(start_.path().string() + "/"),
      link(observed ? static_cast<link::Port&>(observed_port) : qt_port, clock, host),
      client(state, view, link, files) {
  settings::SetDefaultConfig(state.ConfigValues, settings::SettingsGroup::kAll);
  state.ConfigValues.ConfigValues[settings::PortNumber] = " 2";
  state.ConfigValues.ConfigValues[settings::BaudCode] = " " + std::to_string(baud_code);
  state.StartDirectory = start_.path().string() + "/";
  state.ComputerDrive = "t";
  state.ComputerPath = "\\";
}

bool ClientRig::SelectComputerRow(const std::string& row) {
  client.ListComputerDirectory();
  return HeadlessView::Select(view.computer, row);
}

bool ClientRig::SelectOrganizerRow(const std::string& row) {
  return HeadlessView::Select(view.organizer, row);
}

}  // namespace tavo::bench
