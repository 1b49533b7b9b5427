// Backup, restore and check: the whole organizer against a directory of the
// computer, with a manifest that keeps every name's exact bytes.
#include "cli/backup_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <utility>

#include "core/mirror.h"
#include "core/organizer_path.h"
#include "memofs/directory_table.h"
#include "memofs/names.h"
#include "platform/safe_files.h"
#include "platform/sha256.h"

namespace tavo::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHeader = "tavo-backup 1";
constexpr const char* kEndMark = "end";
constexpr const char* kManifest = "manifest";
constexpr const char* kManifestPartial = "manifest.partial";
// Mark a directory as Tavo's: one being written, and one kept with items left out.
constexpr const char* kUnfinished = ".tavo-unfinished";
constexpr const char* kIncomplete = ".tavo-incomplete";
constexpr const char* kTree = "tree";
constexpr const char* kMemos = "memos";
constexpr const char* kHexDigits = "0123456789abcdef";
constexpr std::size_t kMaxDiskName = 120;
// Far above what an organizer holds, so a planted file cannot make a reader
// take memory or time without end.
constexpr std::size_t kMaxManifest = std::size_t{256} << 20;
constexpr std::size_t kMaxLine = std::size_t{64} << 10;
constexpr std::int64_t kMaxData = std::int64_t{32767} * memofs::kPartSize + memofs::kPartSize - 1;
constexpr int kIncompleteNames = 9;

using Path = std::vector<std::string>;

// One line of the manifest:
//   kind index entry parts size sha256 names disk-path
// kind d, f or m; names "/" + hex of each level, joined by "/"; the disk path,
// relative to the backup, runs to the end of the line. The last line is
// "end N", N the count of lines between it and the header.
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

// A disk path a manifest may name: below its kind's top directory, level by
// level. Dots are fine inside a name ("notes..txt"); a level that is "." or
// "..", an empty one (an absolute path) or a character 0 is not.
bool InsideBackup(const std::string& disk, const std::string& top) {
  if (disk.find('\0') != std::string::npos || disk.compare(0, top.size() + 1, top + "/") != 0) {
    return false;
  }
  for (std::size_t p = top.size() + 1;;) {
    const std::size_t slash = disk.find('/', p);
    const std::string level = disk.substr(p, slash - p);
    if (level.empty() || level == "." || level == "..") return false;
    if (slash == std::string::npos) return true;
    p = slash + 1;
  }
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
  if (line.entry < 0 || line.parts < 0 || line.size < 0 || line.size > kMaxData) {
    return std::nullopt;
  }
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
  if (!InsideBackup(line.disk, line.kind == 'm' ? kMemos : kTree)) return std::nullopt;
  return line;
}

// A file descriptor that closes itself.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  void Close() {
    platform::CloseDescriptor(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
};

using platform::Want;

Descriptor OpenHeld(const fs::path& dir, const std::string& relative, Want want) {
  return Descriptor(platform::OpenBelow(dir, relative, want));
}

// Up to `limit` bytes of a file, or nothing when it holds more or cannot be read.
std::optional<std::string> ReadBounded(int fd, std::size_t limit) {
  std::string text;
  char buffer[16384];
  while (true) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || text.size() + static_cast<std::size_t>(got) > limit) return std::nullopt;
    if (got == 0) return text;
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

// What a backup's directory holds of a manifest line.
enum class Held { kSame, kDiffers, kNotHeld, kCancelled };

Held Compare(const fs::path& dir, const Line& line, const core::CancelToken& cancel) {
  if (line.kind == 'd') {
    return OpenHeld(dir, line.disk, Want::kDirectory).valid() ? Held::kSame : Held::kNotHeld;
  }
  const Descriptor file = OpenHeld(dir, line.disk, Want::kFile);
  struct stat held {};
  if (!file.valid() || ::fstat(file.get(), &held) != 0) return Held::kNotHeld;
  if (held.st_size != line.size) return Held::kDiffers;
  platform::Sha256 hash;
  std::int64_t size = 0;
  char buffer[16384];
  while (true) {
    if (cancel.Cancelled()) return Held::kCancelled;
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Held::kNotHeld;
    if (got == 0) break;
    size += got;
    // One that grows while it is read is not the one the manifest names.
    if (size > line.size) return Held::kDiffers;
    hash.Add(std::string_view(buffer, static_cast<std::size_t>(got)));
  }
  return size == line.size && hash.HexDigest() == line.sha256 ? Held::kSame : Held::kDiffers;
}

std::string NotHeld(const Line& line) {
  return line.kind == 'd' ? "not a directory in the backup (missing or a link)"
                          : "not a regular file in the backup (missing, a link, a device or a "
                            "fifo)";
}

// A backup file as the core reads it.
class DescriptorInput : public core::InputFile {
 public:
  explicit DescriptorInput(Descriptor file) : file_(std::move(file)) {}
  std::optional<std::string> Read(std::size_t max) override {
    std::string out(max, '\0');
    std::size_t done = 0;
    while (done < max) {
      const ssize_t got = ::read(file_.get(), out.data() + done, max - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return std::nullopt;
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    out.resize(done);
    return out;
  }

 private:
  Descriptor file_;
};

// The computer's files as a restore reads them: only the files the manifest
// names, each opened afresh below the backup without following a link, so
// that what is sent is what was checked. The rest is the computer's.
class BackupFiles : public core::ComputerFiles {
 public:
  BackupFiles(core::ComputerFiles& files, fs::path root) : files_(files), root_(std::move(root)) {}
  void Add(const std::string& program, const std::string& disk) { disk_[program] = disk; }

  std::vector<std::string> Drives() override { return files_.Drives(); }
  int CurrentDrive() override { return files_.CurrentDrive(); }
  std::optional<core::DirectoryListing> List(const std::string& path) override {
    return files_.List(path);
  }
  core::Occupant OccupantOf(const std::string& path) override { return files_.OccupantOf(path); }
  std::optional<std::int64_t> FileSize(const std::string& path) override {
    const Descriptor file = Open(path);
    struct stat held {};
    if (!file.valid() || ::fstat(file.get(), &held) != 0) return std::nullopt;
    return static_cast<std::int64_t>(held.st_size);
  }
  std::unique_ptr<core::InputFile> OpenRead(const std::string& path) override {
    Descriptor file = Open(path);
    if (!file.valid()) return nullptr;
    return std::make_unique<DescriptorInput>(std::move(file));
  }
  std::unique_ptr<core::OutputFile> CreateReplacing(const std::string& path) override {
    return files_.CreateReplacing(path);
  }
  bool MakeDirectory(const std::string& path) override { return files_.MakeDirectory(path); }
  bool IsStorableName(const std::string& name) override { return files_.IsStorableName(name); }

 private:
  Descriptor Open(const std::string& program) const {
    const auto it = disk_.find(program);
    return it == disk_.end() ? Descriptor() : OpenHeld(root_, it->second, Want::kFile);
  }

  core::ComputerFiles& files_;
  fs::path root_;
  std::map<std::string, std::string> disk_;  // program path -> path below the backup
};

// The backup written into a staging directory, the manifest line by line.
class DiskSink : public core::BackupSink {
 public:
  explicit DiskSink(fs::path root)
      : root_(std::move(root)),
        manifest_(root_ / kManifestPartial, std::ios::binary | std::ios::trunc) {
    manifest_ << kHeader << '\n';
  }
  bool Opened() const { return manifest_.good(); }

  bool Directory(const Path& path, const core::Origin& origin) override {
    const std::optional<std::string> disk = Place(path);
    if (!disk) return false;
    std::error_code error;
    fs::create_directory(root_ / *disk, error);
    dirs_[path] = *disk;
    return !error && Emit({'d', origin.index, origin.entry, 0, 0, "-", path, *disk});
  }
  bool BeginFile(const Path& path, std::int64_t size, const core::Origin& origin) override {
    const std::optional<std::string> disk = Place(path);
    if (!disk) return false;
    line_ = Line{'f', origin.index, origin.entry, origin.parts, size, "-", path, *disk};
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
    // The origin field has no room for blanks: a memo's own name is in the names.
    const Line line{'m',
                    "-",
                    0,
                    1,
                    static_cast<std::int64_t>(text.size()),
                    platform::Sha256Hex(text),
                    {name},
                    Unique(kMemos, DiskName(name))};
    std::ofstream out(root_ / line.disk, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail() && Emit(line);
  }
  // Ends the manifest with its end mark; false when it could not be written.
  bool Close() {
    manifest_ << kEndMark << ' ' << lines_ << '\n';
    manifest_.close();
    return !manifest_.fail();
  }

 private:
  // Below the place its directory got on disk.
  std::optional<std::string> Place(const Path& path) {
    const auto parent = dirs_.find(Path(path.begin(), path.end() - 1));
    if (parent == dirs_.end()) return std::nullopt;
    return Unique(parent->second, DiskName(path.back()));
  }
  // A file and a directory may share a name on the organizer, and names may
  // differ in case only, which many disks do not tell apart (FAT, NTFS,
  // macOS): the later one gets a suffix, whatever this disk tells apart.
  std::string Unique(const std::string& dir, const std::string& name) {
    std::set<std::string>& taken = taken_[dir];
    std::string unique = name;
    std::error_code error;
    for (int n = 2; taken.count(memofs::UpperCase(unique)) != 0 ||
                    fs::exists(fs::symlink_status(root_ / dir / unique, error));
         ++n) {
      unique = name + "%~" + std::to_string(n);
    }
    taken.insert(memofs::UpperCase(unique));
    return dir + "/" + unique;
  }

  bool Emit(const Line& line) {
    manifest_ << Format(line);
    ++lines_;
    return manifest_.good();
  }

  fs::path root_;
  std::ofstream manifest_;
  std::ofstream out_;
  Line line_;
  platform::Sha256 hash_;
  std::map<Path, std::string> dirs_{{Path{}, kTree}};   // organizer path -> disk path
  std::map<std::string, std::set<std::string>> taken_;  // disk directory -> names, upper case
  long long lines_ = 0;
};

bool HoldsBackup(const fs::path& dir) {
  const std::string header = std::string(kHeader) + "\n";
  const Descriptor file = OpenHeld(dir, kManifest, Want::kFile);
  std::string first(header.size(), '\0');
  return file.valid() &&
         ::read(file.get(), first.data(), first.size()) == static_cast<ssize_t>(first.size()) &&
         first == header;
}

bool IsEmptyDirectory(const fs::path& dir) {
  std::error_code error;
  return fs::is_directory(dir, error) &&
         fs::directory_iterator(dir, error) == fs::directory_iterator();
}

// A directory that carries Tavo's mark, itself no link.
bool Marked(const fs::path& dir, const char* mark) {
  std::error_code error;
  return fs::is_directory(fs::symlink_status(dir, error)) &&
         fs::is_regular_file(fs::symlink_status(dir / mark, error));
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

// The manifest's lines, read whole or not at all: a file of its own (no
// link), of bounded size and lines, ending with the end mark that counts them.
std::vector<Line> ReadManifest(const fs::path& dir, std::string* fault) {
  const Descriptor file = OpenHeld(dir, kManifest, Want::kFile);
  const std::optional<std::string> text =
      file.valid() ? ReadBounded(file.get(), kMaxManifest) : std::nullopt;
  const std::string header = std::string(kHeader) + "\n";
  if (!text || text->compare(0, header.size(), header) != 0) {
    *fault = "no backup here (no manifest starting \"" + std::string(kHeader) + "\")";
    return {};
  }
  std::vector<Line> lines;
  int number = 2;
  for (std::size_t p = header.size(); p < text->size(); ++number) {
    const std::size_t end = text->find('\n', p);
    const std::string shown = "manifest line " + std::to_string(number);
    if (end == std::string::npos) {
      *fault = shown + " is cut short";
      return {};
    }
    const std::string line = text->substr(p, end - p);
    p = end + 1;
    if (line.size() > kMaxLine) {
      *fault = shown + " is too long";
      return {};
    }
    if (line.compare(0, 4, std::string(kEndMark) + " ") == 0) {
      if (line.substr(4) != std::to_string(lines.size())) {
        *fault = shown + " does not count the lines before it";
      } else if (p != text->size()) {
        *fault = "the manifest goes on after its end (line " + std::to_string(number) + ")";
      } else {
        return lines;
      }
      return {};
    }
    const std::optional<Line> parsed = Parse(line);
    if (!parsed) {
      *fault = shown + " cannot be read";
      return {};
    }
    lines.push_back(*parsed);
  }
  *fault = "the manifest is cut short (no \"" + std::string(kEndMark) + "\" line after line " +
           std::to_string(number - 1) + ")";
  return {};
}

int Verify(MirrorEnv& env, const fs::path& dir) {
  std::string fault;
  const std::vector<Line> lines = ReadManifest(dir, &fault);
  if (!fault.empty()) return Refuse(env, dir.string(), fault);
  for (const Line& line : lines) {
    switch (Compare(dir, line, env.cancel)) {
      case Held::kSame:
        break;
      case Held::kDiffers:
        Refuse(env, line.disk, "differs from the manifest (size or SHA-256)");
        break;
      case Held::kNotHeld:
        Refuse(env, line.disk, NotHeld(line));
        break;
      case Held::kCancelled:
        env.console.Count({core::Outcome::kCancelled, ""});
        return kAllDone;
    }
  }
  return kAllDone;
}

// Where a backup goes, and how to name it to the user.
struct Target {
  fs::path path;
  std::string shown;
};

// DIR, or what DIR links to, so that a link to an earlier backup on another
// disk stays a link and its target is the one brought up to date.
std::optional<Target> BackupTarget(MirrorEnv& env, const std::string& dir) {
  std::error_code error;
  Target target{fs::absolute(fs::path(dir), error).lexically_normal(), dir};
  if (!target.path.has_filename()) target.path = target.path.parent_path();
  while (target.shown.size() > 1 && target.shown.back() == '/') target.shown.pop_back();
  if (fs::is_symlink(fs::symlink_status(target.path, error))) {
    const fs::path resolved = fs::canonical(target.path, error);
    if (error) {
      Refuse(env, dir, "is a link to nothing that can be reached");
      return std::nullopt;
    }
    target = {resolved, resolved.string()};
  }
  if (fs::exists(fs::symlink_status(target.path, error)) && !HoldsBackup(target.path) &&
      !IsEmptyDirectory(target.path)) {
    Refuse(env, dir, "exists and holds no earlier backup; give a new or empty directory");
    return std::nullopt;
  }
  return target;
}

// A fresh staging directory with Tavo's mark; an unfinished one of an
// earlier run (it carries the mark) makes way, anything else is in the way.
bool MakeStaging(MirrorEnv& env, const fs::path& staging) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(staging, error))) {
    if (!Marked(staging, kUnfinished)) {
      Refuse(env, staging.string(), "is in the way (not an unfinished backup)");
      return false;
    }
    fs::remove_all(staging, error);
  }
  error.clear();
  const bool made = fs::create_directory(staging, error);
  if (made) {
    fs::create_directory(staging / kTree, error);
    if (!error) fs::create_directory(staging / kMemos, error);
    if (!error && !std::ofstream(staging / kUnfinished).put('\n')) {
      error = std::make_error_code(std::errc::io_error);
    }
  }
  if (made && !error) return true;
  if (made) fs::remove_all(staging, error);
  Refuse(env, staging.string(), "cannot be written");
  return false;
}

// A name beside `earlier` that nothing holds now: EARLIER.old-XXXXXX.
fs::path AsideName(const fs::path& earlier) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".old-%06x", random() & 0xffffffu);
    fs::path aside = earlier.string() + suffix;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(aside, error))) return aside;
  }
  return {};
}

// Puts the directory `fresh` where `earlier` is and then removes the earlier
// one, which must be Tavo's. No name but these two and one made for this run
// is touched.
std::error_code Replace(const fs::path& fresh, const fs::path& earlier) {
  std::error_code error;
  // An empty directory is nobody's backup (Windows renames over none).
  if (IsEmptyDirectory(earlier)) fs::remove(earlier, error);
  if (!fs::exists(fs::symlink_status(earlier, error)))
    return platform::RenameNoReplace(fresh, earlier);
  // One step: there is no moment without a backup in `earlier`.
  if (platform::ExchangeDirectories(fresh, earlier)) {
    fs::remove_all(fresh, error);
    return {};
  }
  // Else the earlier one goes aside first, under a name of this run's that
  // nothing holds.
  const fs::path aside = AsideName(earlier);
  if (aside.empty()) return std::make_error_code(std::errc::file_exists);
  if (const std::error_code moved = platform::RenameNoReplace(earlier, aside)) return moved;
  if (const std::error_code moved = platform::RenameNoReplace(fresh, earlier)) {
    std::error_code ignored;
    fs::rename(aside, earlier, ignored);
    return moved;
  }
  fs::remove_all(aside, error);
  return {};
}

// The new backup has all of it: it takes the earlier one's place.
int SwapIn(MirrorEnv& env, const fs::path& staging, const Target& target) {
  std::error_code error;
  fs::remove(staging / kUnfinished, error);
  if (const std::error_code failed = Replace(staging, target.path)) {
    return Refuse(env, target.shown,
                  "the new backup stays in " + staging.string() + ": " + failed.message());
  }
  return kAllDone;
}

// A backup with items left out goes beside the earlier one, never over it:
// into DIR.incomplete, or the first of DIR.incomplete-2 ... that is free or
// an incomplete backup of Tavo's.
int KeepIncomplete(MirrorEnv& env, const fs::path& staging, const Target& target) {
  std::error_code error;
  if (!std::ofstream(staging / kIncomplete).put('\n')) {
    return Refuse(env, target.shown, "the backup stays in " + staging.string());
  }
  for (int n = 1; n <= kIncompleteNames; ++n) {
    const std::string suffix = ".incomplete" + (n == 1 ? "" : "-" + std::to_string(n));
    const fs::path kept = target.path.string() + suffix;
    if (fs::exists(fs::symlink_status(kept, error)) && !Marked(kept, kIncomplete)) continue;
    if (const std::error_code failed = Replace(staging, kept)) {
      return Refuse(env, target.shown,
                    "the backup stays in " + staging.string() + ": " + failed.message());
    }
    fs::remove(kept / kUnfinished, error);
    env.console.Error("backup", "not complete (an item failed); kept in " + target.shown + suffix +
                                    (HoldsBackup(target.path)
                                         ? ", the earlier backup in " + target.shown + " stands"
                                         : ""));
    return kAllDone;
  }
  return Refuse(env, target.shown,
                "the backup stays in " + staging.string() + ": " + target.shown +
                    ".incomplete and the names after it are in the way");
}

// The walk into `staging`, its manifest closed with the end mark when the
// walk ran to its end; how far it got.
core::BackupEnd WriteBackup(MirrorEnv& env, const fs::path& staging) {
  DiskSink sink(staging);
  if (!sink.Opened()) {
    Refuse(env, staging.string(), "cannot be written");
    return core::BackupEnd::kCut;
  }
  const core::BackupOutcome outcome = core::Backup(env.link, sink, env.console, env.cancel);
  SayResult(env, "backup", outcome.result);
  if (outcome.end == core::BackupEnd::kCut) return outcome.end;
  std::error_code error;
  if (!sink.Close() ||
      (fs::rename(staging / kManifestPartial, staging / kManifest, error), error)) {
    Refuse(env, (staging / kManifest).string(), "cannot be written on this computer");
    return core::BackupEnd::kCut;
  }
  return outcome.end;
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
  const std::optional<Target> target = BackupTarget(env, dir);
  if (!target) return kAllDone;
  const fs::path staging = target->path.string() + ".partial";
  if (!MakeStaging(env, staging)) return kAllDone;
  const core::BackupEnd end = WriteBackup(env, staging);
  if (end == core::BackupEnd::kCut) {
    // Nothing half made stays behind: on a full disk it would keep the disk full.
    std::error_code error;
    fs::remove_all(staging, error);
    env.console.Error("backup",
                      "not complete; " + (HoldsBackup(target->path)
                                              ? "the earlier backup in " + target->shown + " stands"
                                              : "nothing was written to " + target->shown));
    return kAllDone;
  }
  if (end == core::BackupEnd::kItemsLeftOut) return KeepIncomplete(env, staging, *target);
  const int swapped = SwapIn(env, staging, *target);
  return verify && swapped == kAllDone ? Verify(env, target->path) : swapped;
}

int RestoreCommand(MirrorEnv& env, const std::string& dir) {
  const fs::path root = fs::absolute(fs::path(dir));
  std::string fault;
  const std::vector<Line> lines = ReadManifest(root, &fault);
  if (!fault.empty()) return Refuse(env, dir, fault);
  BackupFiles files(env.computer.files(), root);
  core::RestorePlan plan;
  // The manifest lists each directory before what lies below it.
  std::vector<std::pair<Path, core::RestoreDirectory*>> open{{Path{}, &plan.root}};
  for (const Line& line : lines) {
    const std::string shown = line.kind == 'm' ? line.disk : core::FormatOrganizerPath(line.names);
    if (line.kind != 'd') {
      switch (Compare(root, line, env.cancel)) {
        case Held::kSame:
          break;
        case Held::kDiffers:
          Refuse(env, shown,
                 "changed since the backup (size or SHA-256 differs from the manifest); not "
                 "restored");
          continue;
        case Held::kNotHeld:
          Refuse(env, shown, NotHeld(line) + "; not restored");
          continue;
        case Held::kCancelled:
          env.console.Count({core::Outcome::kCancelled, ""});
          return kAllDone;
      }
    }
    const std::optional<std::string> source = env.computer.ProgramPath((root / line.disk).string());
    if (source) files.Add(*source, line.disk);
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
  const core::Result result = core::Restore(env.link, files, plan, env.console, env.cancel);
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
