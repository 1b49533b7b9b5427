#pragma once

#include <string>

namespace tavo::cli {

// Where tavo-cli reads tavo_c.cfg and the com<n> links: the current directory
// when it holds either, else the per-user settings directory that the menu
// starts the window in, when that exists; else the current directory.
struct SettingsDirectory {
  std::string path;  // ends with "/"
  std::string why;   // for a person
};
SettingsDirectory ChooseSettingsDirectory(const std::string& current);

// Prints the serial devices, what COM1 to COM4 map to from `settings`, and
// whether this user may open each, with the fix when not. Returns the exit
// status: 0.
int Ports(const SettingsDirectory& settings);

}  // namespace tavo::cli
