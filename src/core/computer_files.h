#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavo::core {

// The computer's files as every front end sees them, implemented by the
// platform. Paths here are the program's own: drive letter, ":", backslash-separated
// levels ("c:\docs\a.txt"). The platform maps them to native paths.

struct DirectoryListing {
  bool has_parent = false;               // the enumeration reported "." or ".."
  std::vector<std::string> directories;  // not hidden, not system, no "."/".."
  struct File {
    std::string name;
    std::int64_t size = 0;
  };
  std::vector<File> files;  // ordinary files, not hidden, not system
};

class InputFile {
 public:
  virtual ~InputFile() = default;
  // Up to max bytes; empty at the end. nullopt on a read error.
  virtual std::optional<std::string> Read(std::size_t max) = 0;
};

// A file written beside its target and put in place by Commit, so the old file
// stays intact until the new one is complete. Destroyed without Commit, it
// leaves no trace. Commit replaces whatever file or link has the target's name;
// it never writes through a link.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const std::string& bytes) = 0;
  virtual bool Commit() = 0;
};

// What a copy would meet where it is to write a file.
enum class Occupant {
  kNothing,      // nothing of that name (or nothing that can be told)
  kFile,         // a regular file, hidden or system ones included
  kNotAFile,     // a directory, a link, a device, a fifo ...
  kNameRefused,  // the computer cannot hold the name there (too long)
};

class ComputerFiles {
 public:
  virtual ~ComputerFiles() = default;
  // Drive list entries; each text begins with the drive letter.
  virtual std::vector<std::string> Drives() = 0;
  // Index into Drives() of the current drive.
  virtual int CurrentDrive() = 0;
  // Listing of a directory path ending in "\"; nullopt when it cannot be read.
  virtual std::optional<DirectoryListing> List(const std::string& path) = 0;
  // What is at path now, without following a link.
  virtual Occupant OccupantOf(const std::string& path) = 0;
  virtual std::optional<std::int64_t> FileSize(const std::string& path) = 0;
  virtual std::unique_ptr<InputFile> OpenRead(const std::string& path) = 0;
  // Also removes what copies killed midway left in that directory.
  virtual std::unique_ptr<OutputFile> CreateReplacing(const std::string& path) = 0;
  // Creates a directory; an existing one is fine, a link to one is not. False on failure.
  virtual bool MakeDirectory(const std::string& path) = 0;
  // Whether `name` can be one level of a path on this computer.
  virtual bool IsStorableName(const std::string& name) = 0;
};

}  // namespace tavo::core
