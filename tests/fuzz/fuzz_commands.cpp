// The real commands against the simulated organizer, as a user could give
// them through the window (only the buttons it enables), on fuzzed indexes,
// memos, computer files, selections, answers, faults, hostile replies and
// Cancel. After every command: nothing crashed, the command ended and gave
// the window back, a store whose file system was whole still is (no index
// names a missing or damaged memo), memos outside the file system changed
// only by the memo view's copy and delete, and the file system's memos not
// by those two.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "commands/sim_rig.h"
#include "fuzz/fuzzed_store.h"
#include "link/exchanges.h"
#include "memofs/checker.h"

namespace {

using tavo::testing::SimRig;
using Memos = std::map<std::string, std::string>;
namespace memofs = tavo::memofs;
namespace sim = tavo::sim;
using tavo::commands::Client;
using tavo::commands::OrganizerButton;
using tavo::fuzzing::Check;
using tavo::fuzzing::kMaxFileBytes;
using tavo::fuzzing::Name;

constexpr int kMaxCommands = 8;

// Computer names the platform lists: no separators, no "." or "..", none
// that a pane would read as a directory row.
std::string ComputerName(FuzzedDataProvider& in) {
  std::string name = Name(in);
  for (char& c : name) {
    if (c == '\\' || c == '/') c = '_';
  }
  if (name.empty() || name == "." || name == ".." || name[0] == '<') name = "c" + name;
  return name;
}

void Seed(SimRig& rig, FuzzedDataProvider& in) {
  tavo::fuzzing::SeedOrganizer(rig.organizer, in);
  rig.files.directories.insert("c:\\T\\");
  const int files = in.ConsumeIntegralInRange(0, 5);
  for (int f = 0; f < files; ++f) {
    const std::string dir = in.ConsumeBool() ? "c:\\" : "c:\\T\\";
    const std::size_t size = in.ConsumeBool()
                                 ? in.ConsumeIntegralInRange<std::size_t>(0, kMaxFileBytes)
                                 : memofs::kPartSize * in.ConsumeIntegralInRange<std::size_t>(0, 4);
    rig.files.files[dir + ComputerName(in)] = tavo::testing::AllBytes(size);
  }
}

Memos Split(const Memos& texts, bool file_system) {
  Memos part;
  for (const auto& [name, text] : texts) {
    if ((name.rfind(memofs::kRootIndexName, 0) == 0) == file_system) part.emplace(name, text);
  }
  return part;
}

// Selects some rows of a pane and focuses one.
void Select(FuzzedDataProvider& in, tavo::testing::FakeView::Pane& pane) {
  for (std::size_t row = 0; row < pane.rows.size() && row < 64; ++row) {
    pane.selected[row] = in.ConsumeIntegralInRange(0, 2) == 0;
  }
  pane.current = pane.rows.empty()
                     ? -1
                     : in.ConsumeIntegralInRange<int>(-1, static_cast<int>(pane.rows.size()) - 1);
}

// Faults, hostile replies and a Cancel for the next command.
void Misbehave(SimRig& rig, FuzzedDataProvider& in) {
  rig.view.answers.clear();  // Yes to every question
  rig.view.new_directories = {{1, "New"}};
  rig.view.on_status = nullptr;
  // Most commands run on a sane organizer, so that a few bytes reach far.
  if (in.ConsumeIntegralInRange(0, 3) != 0) return;
  if (in.ConsumeIntegralInRange(0, 3) == 0) {
    const auto kind = static_cast<sim::FaultKind>(in.ConsumeIntegralInRange(0, 8));
    rig.organizer.InjectFault({kind, rig.organizer.Exchanges() + in.ConsumeIntegralInRange(1, 40)});
  }
  if (in.ConsumeIntegralInRange(0, 7) == 0) {
    sim::Hostility hostility;
    if (in.ConsumeBool()) {
      hostility.dir_count = in.ConsumeBool() ? tavo::link::kMaxDirNames + 1
                                             : in.ConsumeIntegralInRange<long long>(0, 40);
      hostility.line_seconds = in.ConsumeIntegralInRange(1, 3000) / 1000.0;
    }
    if (in.ConsumeBool()) hostility.get_word = in.ConsumeBool() ? "busy" : "not found";
    rig.organizer.SetHostility(hostility);
  }
  const int cancel_at = in.ConsumeIntegralInRange(0, 3) == 0 ? in.ConsumeIntegralInRange(1, 30) : 0;
  rig.view.on_status = [&rig, cancel_at, seen = 0](const std::string&) mutable {
    if (++seen == cancel_at) rig.client.RequestStop();
  };
  for (int a = 0; a < 4; ++a) rig.view.answers.push_back(in.ConsumeIntegralInRange(0, 3) != 0);
  rig.view.new_directories = {{in.ConsumeIntegralInRange(0, 2), Name(in)}};
}

enum class Command {
  kSynchronize,
  kDoubleClick,
  kCopy1,
  kCopy2,
  kDelete,
  kCreateDir,
  kComputer,
  kFirstRow,  // a double click on "<Sharp Memos>" or "<..>": the memo view and back
};

// Runs one command the window would let the user give; false when it would not.
bool Run(SimRig& rig, Command command) {
  auto& buttons = rig.view.buttons;
  const auto enabled = [&](OrganizerButton b) { return buttons.count(b) > 0 && buttons[b]; };
  switch (command) {
    case Command::kSynchronize:
      rig.client.Synchronize_Click();
      return true;
    case Command::kFirstRow:
      if (rig.view.organizer.rows.empty()) return false;
      rig.view.organizer.current = 0;
      [[fallthrough]];
    case Command::kDoubleClick:
      if (!rig.view.pane_enabled) return false;
      rig.client.ListView1_DblClick();
      return true;
    case Command::kCopy1:
      if (!enabled(OrganizerButton::kCopy1)) return false;
      rig.client.Copy1_Click();
      return true;
    case Command::kCopy2:
      if (!enabled(OrganizerButton::kCopy2)) return false;
      rig.client.Copy2_Click();
      return true;
    case Command::kDelete:
      if (!enabled(OrganizerButton::kDelete)) return false;
      rig.client.Delete_Click();
      return true;
    case Command::kCreateDir:
      if (!enabled(OrganizerButton::kCreateDir)) return false;
      rig.client.CreateDir_Click();
      return true;
    case Command::kComputer:
      rig.client.ListView2_DblClick();
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  SimRig rig;
  Seed(rig, in);
  rig.client.ListComputerDirectory();
  const bool whole = memofs::CheckMemoFileSystem(rig.organizer.Texts()).Clean();
  for (int step = 0; step < kMaxCommands && in.remaining_bytes() > 0; ++step) {
    // A session starts with Synchronize: nothing else is enabled before it.
    const auto command =
        step == 0 ? Command::kSynchronize : static_cast<Command>(in.ConsumeIntegralInRange(0, 7));
    Select(in, rig.view.organizer);
    Select(in, rig.view.computer);
    Misbehave(rig, in);
    const bool memo_view = rig.state.MemoViewActive == 1;
    const Memos before = rig.organizer.Texts();
    if (!Run(rig, command)) continue;
    const Memos after = rig.organizer.Texts();

    Check(rig.Settled(), "the command ended and gave the window back");
    if (whole) {
      Check(memofs::CheckMemoFileSystem(after).Clean(), "no index names a missing memo");
    }
    const bool changes_memos =
        memo_view && (command == Command::kCopy2 || command == Command::kDelete);
    Check(changes_memos || Split(before, false) == Split(after, false),
          "plain memos changed only by the memo view's copy and delete");
    Check(!changes_memos || Split(before, true) == Split(after, true),
          "the memo view's copy and delete leave the file system alone");

    // The organizer's program started again: faults and hostility over.
    rig.organizer.Restart();
    rig.organizer.SetHostility({});
    rig.view.on_status = nullptr;
  }
  return 0;
}
