// Backup, restore and the check's repair against fuzzed organizers, under
// faults, hostile replies and Cancel. What must hold whatever the organizer
// does: a backup that calls itself done restores to the same files and plain
// memos; a restore leaves a whole file system whole and, when told to keep
// what exists, changes no file or plain memo that was there; a repair never
// takes away a file that could be read, nor any plain memo.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commands/sim_rig.h"
#include "core/mirror.h"
#include "core/session.h"
#include "fuzz/fuzzed_store.h"
#include "memofs/checker.h"
#include "memofs/names.h"

namespace {

namespace core = tavo::core;
namespace memofs = tavo::memofs;
namespace sim = tavo::sim;
using Memos = std::map<std::string, std::string>;
using Path = std::vector<std::string>;
using tavo::fuzzing::Check;

std::string Hex(const std::string& bytes) {
  static const char* const kDigits = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 0xf];
  }
  return out;
}

// With TAVO_FUZZ_VERBOSE set, a run prints what it works on, to read a crash.
void Show(const char* what, const Memos& memos) {
  if (std::getenv("TAVO_FUZZ_VERBOSE") == nullptr) return;
  for (const auto& [name, text] : memos) {
    std::fprintf(stderr, "%s [%s] %zu: %s\n", what, name.c_str(), text.size(),
                 text.substr(0, 120).c_str());
  }
}

// An organizer on the in-process line, with the core's feedback: a scripted
// overwrite answer and a Cancel at the n-th progress report.
struct Rig : tavo::link::LinkHost, core::Feedback {
  sim::Organizer organizer;
  sim::ManualClock clock;
  sim::SimPort port{organizer, clock};
  tavo::testing::FakeFiles files;
  tavo::link::SerialLink link{port, clock, *this};
  core::CancelToken cancel;
  core::Answer answer = core::Answer::kReplace;
  int cancel_at = 0, reports = 0;

  explicit Rig(const Memos& texts = {}) {
    for (const auto& [name, text] : texts) organizer.PutText(name, text);
    link.OpenPort(2, 2);
  }
  void PumpEvents() override {}
  void ShowLinkError(const std::string&) override {}
  void Report(const core::Progress&) override {
    if (++reports == cancel_at) cancel.Cancel();
  }
  core::Answer AskOverwrite(const core::Item&) override { return answer; }
  void Ended(const core::Item&, const core::Result&) override {}
};

// What an ordinary reader gets from these memos: every file that the core's
// fetch reads whole (top-level names hex-encoded, so any name has a key),
// and the plain memos it lists with their texts.
struct Readable {
  std::map<std::string, std::string> files;
  Memos memos;
  bool operator==(const Readable&) const = default;
};

Readable Read(const Memos& texts) {
  Rig rig(texts);
  rig.files.directories.insert("c:\\r\\");
  core::Session session(rig.link, rig.files, rig, rig.cancel);
  Readable out;
  if (session.Walk({}).Done()) {
    for (const memofs::DirectoryEntry& entry : session.Listing()) {
      session.Fetch(entry.EntryName, "c:\\r\\" + Hex(entry.EntryName));
    }
    out.files = rig.files.files;
  }
  if (session.ListMemos().Done()) {
    for (const std::string& name : session.Memos()) {
      const auto text = texts.find(name);
      out.memos[name] = text == texts.end() ? "(not stored)" : text->second;
    }
  }
  return out;
}

// A backup held in memory: the files by path, the memos by name.
struct MemorySink : core::BackupSink {
  std::vector<std::pair<Path, bool>> entries;  // directory: true
  std::map<Path, std::string> files;
  Memos memos;
  Path open;

  bool Directory(const Path& path, const core::Origin&) override {
    entries.emplace_back(path, true);
    return true;
  }
  bool BeginFile(const Path& path, std::int64_t, const core::Origin&) override {
    entries.emplace_back(path, false);
    files[path].clear();
    open = path;
    return true;
  }
  bool FileData(const std::string& bytes) override { return files[open] += bytes, true; }
  bool EndFile() override { return true; }
  bool Memo(const std::string& name, const std::string& text) override {
    return memos[name] = text, true;
  }
};

// The directory `path` of a backup as a restore takes it, its computer files
// put into `files`.
core::RestoreDirectory PlanDirectory(const MemorySink& sink, const Path& path,
                                     tavo::testing::FakeFiles& files) {
  core::RestoreDirectory dir;
  for (const auto& [entry, directory] : sink.entries) {
    if (entry.size() != path.size() + 1 || !std::equal(path.begin(), path.end(), entry.begin())) {
      continue;
    }
    if (directory) {
      dir.directories.push_back(PlanDirectory(sink, entry, files));
      dir.directories.back().name = entry.back();
      continue;
    }
    const std::string& bytes = sink.files.at(entry);
    const std::string source = "c:\\b" + std::to_string(files.files.size());
    files.files[source] = bytes;
    dir.files.push_back({entry.back(), source, static_cast<std::int64_t>(bytes.size()), 0});
  }
  return dir;
}

core::RestorePlan Plan(const MemorySink& sink, tavo::testing::FakeFiles& files) {
  core::RestorePlan plan{PlanDirectory(sink, {}, files), {}};
  for (const auto& [name, text] : sink.memos) {
    const std::string source = "c:\\m" + std::to_string(files.files.size());
    files.files[source] = text;
    plan.memos.push_back({name, source});
  }
  return plan;
}

// Faults, hostile replies and a Cancel for the next operation.
void Misbehave(Rig& rig, FuzzedDataProvider& in) {
  rig.cancel.Reset();
  rig.reports = 0;
  rig.cancel_at = in.ConsumeIntegralInRange(0, 3) == 0 ? in.ConsumeIntegralInRange(1, 30) : 0;
  if (in.ConsumeIntegralInRange(0, 2) == 0) {
    const auto kind = static_cast<sim::FaultKind>(in.ConsumeIntegralInRange(0, 7));
    rig.organizer.InjectFault({kind, rig.organizer.Exchanges() + in.ConsumeIntegralInRange(1, 40)});
  }
  if (in.ConsumeIntegralInRange(0, 7) == 0) {
    sim::Hostility hostility;
    if (in.ConsumeBool()) hostility.get_word = in.ConsumeBool() ? "busy" : "not found";
    rig.organizer.SetHostility(hostility);
  }
}

// A plain memo by its name alone: a file system memo has no blank and starts "fs0".
bool PlainByName(const std::string& name) {
  return !memofs::StartsWith(name, memofs::kRootIndexName) || name.find(' ') != std::string::npos;
}

void CheckBackup(const Memos& source, const Readable& before, const MemorySink& sink) {
  Show("source", source);
  Show("backed up", sink.memos);
  for (const auto& [name, text] : source) {
    if (!PlainByName(name)) continue;
    const auto held = sink.memos.find(name);
    Check(held != sink.memos.end() && held->second == text, "a done backup holds every memo");
  }
  // A damaged index (two entries of one name) cannot come back as it was.
  if (!memofs::CheckMemoFileSystem(source).Clean()) return;
  Rig empty;
  const core::Result restored =
      core::Restore(empty.link, empty.files, Plan(sink, empty.files), empty, empty.cancel);
  Show("restored", empty.organizer.Texts());
  Check(restored.Done(), "a done backup restores onto an empty organizer");
  Check(Read(empty.organizer.Texts()) == before, "a done backup restores to the same files");
}

void CheckRestore(const Memos& before, const Memos& after, bool kept) {
  if (memofs::CheckMemoFileSystem(before).Clean()) {
    Check(memofs::CheckMemoFileSystem(after).Clean(), "a restore leaves a whole file system whole");
  }
  if (!kept) return;
  const Readable was = Read(before), is = Read(after);
  for (const auto& [path, bytes] : was.files) {
    const auto now = is.files.find(path);
    Check(now != is.files.end() && now->second == bytes,
          "a restore keeps every file it may not replace");
  }
  for (const auto& [name, text] : before) {
    if (!PlainByName(name)) continue;
    const auto now = after.find(name);
    Check(now != after.end() && now->second == text, "a restore keeps every plain memo");
  }
}

void CheckRepair(Rig& rig, FuzzedDataProvider& in) {
  const Memos before = rig.organizer.Texts();
  const Readable was = Read(before);
  rig.organizer.Restart();
  rig.organizer.SetHostility({});
  rig.cancel.Reset();
  const core::CheckOutcome checked = core::CheckOrganizer(rig.link, true, rig.cancel);
  if (!checked.result.Done() || checked.report.orphans.empty()) return;
  Misbehave(rig, in);
  core::RemoveOrphans(rig.link, checked.report, rig, rig.cancel);
  const Memos after = rig.organizer.Texts();
  Check(Read(after) == was, "a repair takes away no readable file and no plain memo");
  for (const auto& [name, text] : before) {
    Check(!PlainByName(name) || after.count(name), "a repair keeps every plain memo");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Rig source;
  tavo::fuzzing::SeedOrganizer(source.organizer, in);
  const Memos source_texts = source.organizer.Texts();
  const Readable readable = Read(source_texts);

  Misbehave(source, in);
  MemorySink sink;
  const core::Result backed_up = core::Backup(source.link, sink, source, source.cancel).result;
  if (backed_up.Done()) CheckBackup(source_texts, readable, sink);

  Rig target;
  if (in.ConsumeBool()) tavo::fuzzing::SeedOrganizer(target.organizer, in);
  const Memos before = target.organizer.Texts();
  target.answer = in.ConsumeBool() ? core::Answer::kSkip : core::Answer::kReplace;
  Misbehave(target, in);
  core::Restore(target.link, target.files, Plan(sink, target.files), target, target.cancel);
  CheckRestore(before, target.organizer.Texts(), target.answer == core::Answer::kSkip);

  if (!target.link.IsOpen()) target.link.OpenPort(2, 2);
  CheckRepair(target, in);
  return 0;
}
