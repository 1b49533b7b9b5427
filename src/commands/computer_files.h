#pragma once

// The window's commands use the core's view of the computer's files under
// their own names.
#include "core/computer_files.h"

namespace tavo::commands {

using core::ComputerFiles;
using core::DirectoryListing;
using core::InputFile;
using core::Occupant;
using core::OutputFile;

}  // namespace tavo::commands
