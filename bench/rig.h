#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commands/client.h"
#include "commands/client_view.h"
#include "organizer-sim/organizer.h"
#include "platform/computer_files.h"
#include "platform/serial_port.h"
#include "platform/steady_clock.h"
#include "tests/support/temp_dir.h"

namespace tavo::bench {

namespace fs = std::filesystem;
using testing::ReadTree;

// Monotonic wall seconds and the calling thread's CPU seconds.
double WallNow();
double ThreadCpuNow();

// A fresh directory below the system's temporary one, removed at the end.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& tag);
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir();
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Writes `files` (relative path -> size) below root with a byte pattern that
// covers all 256 values; directories are made as needed.
void WriteTree(const fs::path& root, const std::map<std::string, std::size_t>& files);

// The window without widgets: panes as plain rows, questions answered Yes,
// events run as the real window runs them. Status texts are time-stamped.
class HeadlessView : public commands::ClientView {
 public:
  struct Pane {
    std::vector<commands::PaneRow> rows;
    std::vector<bool> selected;
    int current = -1;
  };
  struct Status {
    double at;
    std::string text;
  };

  // Selects the row with this text and makes it current; false if absent.
  static bool Select(Pane& pane, const std::string& text);

  Pane organizer, computer;
  std::vector<std::string> messages;
  std::vector<Status> statuses;
  double unloaded_at = 0;

  void StatusShow(const std::string& text) override;
  bool StatusLoaded() const override { return status_loaded_; }
  void StatusUnload() override;
  void SetMainWindowEnabled(bool) override {}
  void PumpEvents() override;
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskQuestion(const std::string&) override { return true; }
  commands::NewDirectoryAnswer AskNewDirectoryName() override { return {}; }
  void SetOrganizerRows(const std::vector<commands::PaneRow>& rows) override;
  int OrganizerRowCount() const override;
  std::string OrganizerRowText(int row) const override;
  bool OrganizerRowSelected(int row) const override;
  void SetOrganizerRowSelected(int row, bool selected) override;
  int OrganizerCurrentRow() const override { return organizer.current; }
  void SetOrganizerPaneEnabled(bool) override {}
  void SetOrganizerButtonEnabled(commands::OrganizerButton, bool) override {}
  void SetComputerRows(const std::vector<commands::PaneRow>& rows) override;
  int ComputerRowCount() const override;
  std::string ComputerRowText(int row) const override;
  bool ComputerRowSelected(int row) const override;
  void SetComputerRowSelected(int row, bool selected) override;
  int ComputerCurrentRow() const override { return computer.current; }
  std::string SelectedDriveText() const override { return "t:"; }

 private:
  bool status_loaded_ = false;
};

// Characters that crossed the line, as the simulator's own thread moved them
// through the pseudo-terminal (its read and write system calls).
struct LineCount {
  std::uint64_t from_client = 0;
  std::uint64_t to_client = 0;
  std::uint64_t Total() const { return from_client + to_client; }
};

// An organizer served on a paced pseudo-terminal by the simulator's thread in
// this process, published as `link_path`. The organizer is the server's until
// the destructor has run.
class ServedOrganizer {
 public:
  ServedOrganizer(sim::Organizer& organizer, int baud, const fs::path& link_path);
  ServedOrganizer(const ServedOrganizer&) = delete;
  ServedOrganizer& operator=(const ServedOrganizer&) = delete;
  ~ServedOrganizer();

  LineCount Count() const;
  // CPU seconds of the simulator's thread so far.
  double CpuSeconds() const;

 private:
  std::unique_ptr<sim::PtyServer> server_;
  pid_t tid_ = 0;
};

// A port that notes when bytes last came in; otherwise the real port.
class ObservedPort : public link::Port {
 public:
  explicit ObservedPort(link::Port& port) : port_(port) {}
  bool Open(const link::PortSettings& settings) override { return port_.Open(settings); }
  void Close() override { port_.Close(); }
  bool IsOpen() const override { return port_.IsOpen(); }
  std::size_t BytesWaiting() override { return port_.BytesWaiting(); }
  std::string Read(std::size_t max_bytes) override;
  void Write(const std::string& bytes) override { port_.Write(bytes); }
  std::size_t BytesToSend() override { return port_.BytesToSend(); }
  bool WaitForInput(int timeout_ms) override { return port_.WaitForInput(timeout_ms); }
  bool WaitForOutput(int timeout_ms) override { return port_.WaitForOutput(timeout_ms); }
  bool WaitForBytes(std::size_t count, int timeout_ms) override {
    return port_.WaitForBytes(count, timeout_ms);
  }

  double last_read_at = 0;

 private:
  link::Port& port_;
};

// The program as main() builds it, with a headless window: the real Client,
// SerialLink, QtSerialPort and NativeComputerFiles (drive "t" is pc()), COM2
// of a scratch start directory, at the given speed code.
class ClientRig {
 public:
  ClientRig(int baud_code, bool observed);
  fs::path Com2() const { return start_.path() / "com2"; }
  const fs::path& pc() const { return pc_.path(); }

  // Lists the computer pane afresh and selects `row` there; false if missing.
  bool SelectComputerRow(const std::string& row);
  // Selects `row` in the organizer pane; false if missing.
  bool SelectOrganizerRow(const std::string& row);

  ScratchDir start_{"start"};
  ScratchDir pc_{"pc"};
  HeadlessView view;
  commands::ClientState state;
  platform::SteadyClock clock;
  platform::NativeComputerFiles files;
  platform::QtSerialPort qt_port;
  ObservedPort observed_port{qt_port};
  commands::ViewLinkHost host{view};
  link::SerialLink link;
  commands::Client client;
};

}  // namespace tavo::bench
