// Backup, restore and check: the whole organizer against a directory of the
// computer, with a manifest that keeps every name's exact bytes.
#include "cli/backup_dir.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <utility>

#include "core/mirror.h"
#include "core/organizer_path.h"
#include "memofs/directory_table.h"
#include "memofs/names.h"
#include "platform/sha256.h"

namespace tavo::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHeader = "tavo-backup 1";
constexpr const char* kManifest = "manifest";
constexpr const char* kUnfinished = ".tavo-unfinished";  // marks a staging directory as ours
constexpr const char* kTree = "tree";
constexpr const char* kMemos = "memos";
constexpr const char* kHexDigits = "0123456789abcdef";
constexpr std::size_t kMaxDiskName = 120;

using Path = std::vector<std::string>;

// One line of the manifest:
//   kind index entry parts size sha256 names disk-path
// kind d, f or m; names "/" + hex of each level, joined by "/"; the disk path,
// relative to the backup, runs to the end of the line.
struct Line {
  char kind = 'f';
  std::string index = "-";
  int entry = 0;
  int parts = 0;
  std::int64_t size = 0;
  std::string sha256 = "-";
  Path names;
  std::string disk;
};

std::string Format(const Line& line) {
  std::string names;
  for (const std::string& level : line.names) names += "/" + Hex(level);
  std::ostringstream out;
  out << line.kind << ' ' << line.index << ' ' << line.entry << ' ' << line.parts << ' '
      << line.size << ' ' << line.sha256 << ' ' << names << ' ' << line.disk << '\n';
  return out.str();
}

std::optional<Line> Parse(const std::string& text) {
  std::istringstream in(text);
  Line line;
  std::string kind, names;
  if (!(in >> kind >> line.index >> line.entry >> line.parts >> line.size >> line.sha256 >>
        names)) {
    return std::nullopt;
  }
  if (kind.size() != 1 || std::string("dfm").find(kind[0]) == std::string::npos) {
    return std::nullopt;
  }
  line.kind = kind[0];
  if (names.empty() || names[0] != '/') return std::nullopt;
  std::size_t p = 1;
  while (true) {
    const std::size_t slash = names.find('/', p);
    const std::optional<std::string> level =
        Unhex(names.substr(p, slash == std::string::npos ? std::string::npos : slash - p));
    if (!level) return std::nullopt;
    line.names.push_back(*level);
    if (slash == std::string::npos) break;
    p = slash + 1;
  }
  std::getline(in >> std::ws, line.disk);
  if (line.disk.empty() || line.disk.find("..") != std::string::npos || line.disk[0] == '/') {
    return std::nullopt;
  }
  return line;
}

// Size and SHA-256 of a computer file, read in pieces.
std::optional<std::pair<std::int64_t, std::string>> HashFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  platform::Sha256 hash;
  std::int64_t size = 0;
  char buffer[16384];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    hash.Add(std::string_view(buffer, static_cast<std::size_t>(in.gcount())));
    size += in.gcount();
  }
  if (in.bad()) return std::nullopt;
  return std::make_pair(size, hash.HexDigest());
}

std::string DiskPath(const char* top, const Path& names) {
  std::string out = top;
  for (const std::string& level : names) out += "/" + DiskName(level);
  return out;
}

// The backup written into a staging directory, the manifest line by line.
class DiskSink : public core::BackupSink {
 public:
  DiskSink(fs::path root, std::ofstream& manifest) : root_(std::move(root)), manifest_(manifest) {}

  bool Directory(const Path& path, const core::Origin& origin) override {
    Line line{'d', origin.index, origin.entry, 0, 0, "-", path, Unique(DiskPath(kTree, path))};
    std::error_code error;
    fs::create_directory(root_ / line.disk, error);
    return !error && Emit(line);
  }
  bool BeginFile(const Path& path, std::int64_t size, const core::Origin& origin) override {
    line_ = Line{'f',  origin.index, origin.entry, origin.parts,
                 size, "-",          path,         Unique(DiskPath(kTree, path))};
    hash_.Reset();
    out_.open(root_ / line_.disk, std::ios::binary | std::ios::trunc);
    return out_.is_open();
  }
  bool FileData(const std::string& bytes) override {
    hash_.Add(bytes);
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out_.good();
  }
  bool EndFile() override {
    out_.close();
    line_.sha256 = hash_.HexDigest();
    return !out_.fail() && Emit(line_);
  }
  bool Memo(const std::string& name, const std::string& text) override {
    Line line{'m',
              name,
              0,
              1,
              static_cast<std::int64_t>(text.size()),
              platform::Sha256Hex(text),
              {name},
              DiskPath(kMemos, {name})};
    // The origin field has no room for blanks: a memo's own name is in the names.
    line.index = "-";
    std::ofstream out(root_ / line.disk, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail() && Emit(line);
  }

 private:
  // A file and a directory may share a name on the organizer (and names may
  // differ in case only): the second one on disk gets a suffix.
  std::string Unique(const std::string& disk) const {
    std::string unique = disk;
    std::error_code error;
    for (int n = 2; fs::exists(root_ / unique, error); ++n)
      unique = disk + "%~" + std::to_string(n);
    return unique;
  }

  bool Emit(const Line& line) {
    manifest_ << Format(line);
    return manifest_.good();
  }

  fs::path root_;
  std::ofstream& manifest_;
  std::ofstream out_;
  Line line_;
  platform::Sha256 hash_;
};

bool HoldsBackup(const fs::path& dir) {
  std::ifstream in(dir / kManifest);
  std::string first;
  return in && std::getline(in, first) && first == kHeader;
}

bool IsEmptyDirectory(const fs::path& dir) {
  std::error_code error;
  return fs::is_directory(dir, error) &&
         fs::directory_iterator(dir, error) == fs::directory_iterator();
}

int Refuse(MirrorEnv& env, const std::string& what, const std::string& reason) {
  env.console.Failed(what, reason);
  return kAllDone;
}

void SayResult(MirrorEnv& env, const std::string& what, const core::Result& result) {
  // Items report their own ends; a dead line is said once more for the whole
  // run, and a Ctrl-C between items still makes the run not done.
  if (result.outcome == core::Outcome::kLinkFailed) env.console.Error(what, result.reason);
  if (result.outcome == core::Outcome::kLinkFailed || result.outcome == core::Outcome::kCancelled) {
    env.console.Count(result);
  }
}

std::vector<Line> ReadManifest(const fs::path& dir, std::string* fault) {
  std::ifstream in(dir / kManifest, std::ios::binary);
  std::string text;
  if (!in || !std::getline(in, text) || text != kHeader) {
    *fault = "no backup here (no manifest starting \"" + std::string(kHeader) + "\")";
    return {};
  }
  std::vector<Line> lines;
  for (int number = 2; std::getline(in, text); ++number) {
    const std::optional<Line> line = Parse(text);
    if (!line) {
      *fault = "manifest line " + std::to_string(number) + " cannot be read";
      return {};
    }
    lines.push_back(*line);
  }
  return lines;
}

// Each file of the manifest against what the directory holds now.
bool Matches(const fs::path& dir, const Line& line) {
  if (line.kind == 'd') return fs::is_directory(dir / line.disk);
  const auto held = HashFile(dir / line.disk);
  return held && held->first == line.size && held->second == line.sha256;
}

int Verify(MirrorEnv& env, const fs::path& dir) {
  std::string fault;
  const std::vector<Line> lines = ReadManifest(dir, &fault);
  if (!fault.empty()) return Refuse(env, dir.string(), fault);
  for (const Line& line : lines) {
    if (!Matches(dir, line)) {
      Refuse(env, line.disk, "differs from the manifest (size or SHA-256)");
    }
  }
  return kAllDone;
}

}  // namespace

std::string Hex(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 0xf];
  }
  return out;
}

std::optional<std::string> Unhex(const std::string& hex) {
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
  }
  return out;
}

std::string DiskName(const std::string& name) {
  if (name.empty()) return "%";
  static const char* const kDevices[] = {
      "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
      "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  const std::string stem = memofs::UpperCase(name.substr(0, name.find('.')));
  bool device = false;
  for (const char* d : kDevices) device = device || stem == d;
  const bool dots_only = name.find_first_not_of('.') == std::string::npos;
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<unsigned char>(name[i]);
    const bool edge_blank = b == ' ' && (i == 0 || i + 1 == name.size());
    const bool last_dot = b == '.' && i + 1 == name.size();
    const bool plain =
        b > 0x20 && b < 0x7f && std::string("/\\:*?\"<>|%").find(name[i]) == std::string::npos;
    if ((plain || (b == ' ' && !edge_blank)) && !last_dot && !dots_only && !(device && i == 0)) {
      out += name[i];
    } else {
      out += '%';
      out += static_cast<char>(std::toupper(kHexDigits[b >> 4]));
      out += static_cast<char>(std::toupper(kHexDigits[b & 0xf]));
    }
  }
  // File names hold 255 bytes at most: a longer one is cut and told apart
  // from others by a hash of the whole name (the manifest keeps the name).
  if (out.size() > kMaxDiskName) {
    std::size_t cut = kMaxDiskName - 20;
    // Never in the middle of an escape.
    const std::size_t percent = out.rfind('%', cut - 1);
    if (percent != std::string::npos && percent + 3 > cut) cut = percent;
    out.resize(cut);
    out += "%~" + platform::Sha256Hex(name).substr(0, 16);
  }
  return out;
}

std::optional<std::string> NameFromDisk(const std::string& disk) {
  if (disk == "%") return std::string();
  if (disk.find("%~") != std::string::npos) return std::nullopt;  // a cut name
  std::string out;
  for (std::size_t i = 0; i < disk.size(); ++i) {
    if (disk[i] != '%') {
      out += disk[i];
      continue;
    }
    const std::optional<std::string> byte = Unhex(disk.substr(i + 1, 2));
    if (!byte || byte->size() != 1) return std::nullopt;
    out += *byte;
    i += 2;
  }
  return out;
}

int BackupCommand(MirrorEnv& env, const std::string& dir, bool verify) {
  std::error_code error;
  const fs::path target = fs::absolute(fs::path(dir), error).lexically_normal();
  fs::path base = target;
  if (!base.has_filename()) base = base.parent_path();
  const fs::path staging = base.string() + ".partial";
  if (fs::exists(base, error) && !HoldsBackup(base) && !IsEmptyDirectory(base)) {
    return Refuse(env, dir, "exists and holds no earlier backup; give a new or empty directory");
  }
  if (fs::exists(staging, error)) {
    if (!fs::exists(staging / kUnfinished, error)) {
      return Refuse(env, staging.string(), "is in the way (not an unfinished backup)");
    }
    fs::remove_all(staging, error);
  }
  fs::create_directories(staging / kTree, error);
  fs::create_directories(staging / kMemos, error);
  std::ofstream(staging / kUnfinished).put('\n');
  std::ofstream manifest(staging / "manifest.partial", std::ios::binary | std::ios::trunc);
  if (error || !manifest) return Refuse(env, staging.string(), "cannot be written");
  manifest << kHeader << '\n';
  DiskSink sink(staging, manifest);
  const core::Result result = core::Backup(env.link, sink, env.console, env.cancel);
  manifest.close();
  SayResult(env, "backup", result);
  // Only a walk that ran to its end gives a manifest: any other leaves the
  // earlier backup as it was and the unfinished one beside it.
  if (result.outcome == core::Outcome::kCancelled || result.outcome == core::Outcome::kLinkFailed ||
      (result.outcome == core::Outcome::kFailed &&
       result.reason.find("computer") != std::string::npos) ||
      manifest.fail()) {
    std::cerr << "tavo-cli: backup: not complete; "
              << (HoldsBackup(base) ? "the earlier backup in " + dir + " stands"
                                    : "nothing was written to " + dir)
              << "\n";
    return kAllDone;
  }
  fs::rename(staging / "manifest.partial", staging / kManifest, error);
  fs::remove(staging / kUnfinished, error);
  if (error) return Refuse(env, staging.string(), "cannot be completed: " + error.message());
  const fs::path old = base.string() + ".old";
  if (fs::exists(base, error)) {
    fs::remove_all(old, error);
    fs::rename(base, old, error);
  }
  if (!error) fs::rename(staging, base, error);
  if (error)
    return Refuse(env, dir, "the new backup stays in " + staging.string() + ": " + error.message());
  fs::remove_all(old, error);
  return verify ? Verify(env, base) : kAllDone;
}

int RestoreCommand(MirrorEnv& env, const std::string& dir) {
  const fs::path root = fs::absolute(fs::path(dir));
  std::string fault;
  const std::vector<Line> lines = ReadManifest(root, &fault);
  if (!fault.empty()) return Refuse(env, dir, fault);
  core::RestorePlan plan;
  // The manifest lists each directory before what lies below it.
  std::vector<std::pair<Path, core::RestoreDirectory*>> open{{Path{}, &plan.root}};
  for (const Line& line : lines) {
    const std::string shown = core::FormatOrganizerPath(line.names);
    if (line.kind != 'd' && !Matches(root, line)) {
      Refuse(env, line.kind == 'm' ? line.disk : shown,
             "changed since the backup (size or SHA-256 differs from the manifest); not restored");
      continue;
    }
    const std::optional<std::string> source = env.computer.ProgramPath((root / line.disk).string());
    if (line.kind == 'm') {
      if (source) plan.memos.push_back({line.names.back(), *source});
      continue;
    }
    const Path parent(line.names.begin(), line.names.end() - 1);
    while (open.size() > 1 && open.back().first != parent) open.pop_back();
    if (open.back().first != parent) {
      Refuse(env, shown, "its directory is not in the manifest");
      continue;
    }
    core::RestoreDirectory& into = *open.back().second;
    if (line.kind == 'd') {
      into.directories.push_back({line.names.back(), line.entry, {}, {}});
      open.emplace_back(line.names, &into.directories.back());
    } else if (source) {
      into.files.push_back({line.names.back(), *source, line.size, line.entry});
    }
  }
  const core::Result result =
      core::Restore(env.link, env.computer.files(), plan, env.console, env.cancel);
  SayResult(env, "restore", result);
  return kAllDone;
}

int CheckCommand(MirrorEnv& env, bool deep, bool repair, bool yes) {
  const core::CheckOutcome checked = core::CheckOrganizer(env.link, deep, env.cancel);
  if (!checked.result.Done()) {
    SayResult(env, "check", checked.result);
    return checked.result.outcome == core::Outcome::kLinkFailed ? kUnreachable : kAllDone;
  }
  const memofs::CheckReport& report = checked.report;
  for (const std::string& problem : report.problems)
    std::cout << "problem  " << Printable(problem) << "\n";
  for (const std::string& orphan : report.orphans)
    std::cout << "orphan   " << core::EscapeName(orphan) << "\n";
  std::cout << report.Summary() << "\n";
  if (!report.Clean()) env.console.Count({core::Outcome::kFailed, ""});
  if (report.orphans.empty()) return kAllDone;
  if (!repair) {
    env.console.Count({core::Outcome::kFailed, ""});
    return kAllDone;
  }
  if (!report.Clean()) {  // counted as failed above
    env.console.Error("check", core::kOrphansKept);
    return kAllDone;
  }
  if (!yes) {
    if (!env.console.CanAsk()) {
      std::cerr << "tavo-cli: check: give --yes to remove orphans without a terminal\n";
      env.console.Count({core::Outcome::kFailed, ""});
      return kAllDone;
    }
    std::cerr << "Remove " << report.orphans.size() << " memos that no index reaches? [y/N] ";
    std::string answer;
    std::getline(std::cin, answer);
    if (answer != "y" && answer != "Y" && answer != "yes") {
      env.console.Count({core::Outcome::kSkipped, ""});
      return kAllDone;
    }
  }
  const core::Result removed = core::RemoveOrphans(env.link, report, env.console, env.cancel);
  SayResult(env, "check", removed);
  if (removed.Done()) std::cout << "removed " << report.orphans.size() << " orphans\n";
  return kAllDone;
}

}  // namespace tavo::cli
