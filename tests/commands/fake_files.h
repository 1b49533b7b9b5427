#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "commands/computer_files.h"

namespace tavo::testing {

// Computer files in memory, keyed by program path ("c:\dir\file").
class FakeFiles : public commands::ComputerFiles {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> directories{"c:\\"};  // each ends with "\"
  std::set<std::string> unopenable;
  std::map<std::string, std::size_t> read_fails_after;  // bytes readable before an error
  int open_outputs = 0;                                 // outputs neither committed nor dropped

  std::vector<std::string> Drives() override { return {"c: [system]", "d: [data]"}; }
  int CurrentDrive() override { return 0; }
  std::optional<commands::DirectoryListing> List(const std::string& path) override {
    if (!directories.count(path)) return std::nullopt;
    commands::DirectoryListing listing;
    listing.has_parent = path.size() > 3;
    for (const std::string& dir : directories) {
      if (dir.size() > path.size() && dir.compare(0, path.size(), path) == 0 &&
          dir.find('\\', path.size()) == dir.size() - 1) {
        listing.directories.push_back(dir.substr(path.size(), dir.size() - path.size() - 1));
      }
    }
    for (const auto& [name, bytes] : files) {
      if (name.compare(0, path.size(), path) == 0 &&
          name.find('\\', path.size()) == std::string::npos) {
        listing.files.push_back(
            {name.substr(path.size()), static_cast<std::int64_t>(bytes.size())});
      }
    }
    return listing;
  }
  bool OrdinaryFileExists(const std::string& path) override { return files.count(path) > 0; }
  std::optional<std::int64_t> FileSize(const std::string& path) override {
    if (!files.count(path)) return std::nullopt;
    return static_cast<std::int64_t>(files[path].size());
  }
  std::unique_ptr<commands::InputFile> OpenRead(const std::string& path) override {
    if (!files.count(path) || unopenable.count(path)) return nullptr;
    const auto limit = read_fails_after.find(path);
    return std::make_unique<Input>(
        files[path], limit == read_fails_after.end() ? std::string::npos : limit->second);
  }
  std::unique_ptr<commands::OutputFile> CreateReplacing(const std::string& path) override {
    return std::make_unique<Output>(*this, path);
  }
  bool MakeDirectory(const std::string& path) override {
    directories.insert(path);
    return true;
  }
  bool IsStorableName(const std::string& name) override {
    return name.find_first_of(":*?\"<>|") == std::string::npos;
  }

 private:
  struct Input : commands::InputFile {
    Input(std::string bytes, std::size_t limit) : bytes_(std::move(bytes)), limit_(limit) {}
    std::optional<std::string> Read(std::size_t max) override {
      if (at_ >= limit_) return std::nullopt;
      std::string piece = bytes_.substr(at_, std::min(max, limit_ - at_));
      at_ += piece.size();
      return piece;
    }
    std::string bytes_;
    std::size_t limit_, at_ = 0;
  };
  struct Output : commands::OutputFile {
    Output(FakeFiles& owner, std::string path) : owner_(owner), path_(std::move(path)) {
      ++owner_.open_outputs;
    }
    ~Output() override {
      if (!done_) --owner_.open_outputs;
    }
    bool Write(const std::string& bytes) override {
      written_ += bytes;
      return true;
    }
    bool Commit() override {
      owner_.files[path_] = written_;
      --owner_.open_outputs;
      done_ = true;
      return true;
    }
    FakeFiles& owner_;
    std::string path_, written_;
    bool done_ = false;
  };
};

}  // namespace tavo::testing
