#pragma once

#include <string>

#include "memofs/directory_table.h"
#include "settings/config.h"

namespace tavo::commands {

// The program's state for one run, created once and passed by reference.
struct ClientState : memofs::OrganizerState {
  bool ReloadMemoView = false;
  std::string ComputerDrive = "c";  // one character, as the drive list shows it
  std::string ComputerPath = "\\";  // begins and ends with a backslash
  settings::Config ConfigValues;
  std::string StartDirectory;  // native, ends with the separator
};

}  // namespace tavo::commands
