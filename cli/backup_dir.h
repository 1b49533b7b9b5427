#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/computer_paths.h"
#include "cli/console.h"
#include "core/feedback.h"
#include "link/serial_link.h"

namespace tavo::cli {

// What backup, restore and check work with.
struct MirrorEnv {
  link::SerialLink& link;
  Console& console;
  ComputerSide& computer;
  core::CancelToken& cancel;
};

// tavo-cli backup DIR [--verify]; restore DIR; check [--deep] [--repair] [--yes].
// Each returns an exit status other than kAllDone, or kAllDone to let the
// console's tally decide.
int BackupCommand(MirrorEnv& env, const std::string& dir, bool verify);
int RestoreCommand(MirrorEnv& env, const std::string& dir);
int CheckCommand(MirrorEnv& env, bool deep, bool repair, bool yes);

// An organizer name as a file name any computer holds: printable ASCII stays,
// except  / \ : * ? " < > | %  and a leading or trailing blank, a trailing dot,
// a name of dots only and a device name's first letter, which become %HH.
// The empty name is "%"; one that would be longer than 120 characters is
// cut and ends "%~" and 16 hex digits of its hash. NameFromDisk reverses the
// others.
std::string DiskName(const std::string& name);
std::optional<std::string> NameFromDisk(const std::string& disk);

// Lower-case hex of bytes, and back.
std::string Hex(const std::string& bytes);
std::optional<std::string> Unhex(const std::string& hex);

}  // namespace tavo::cli
