#pragma once

#include <string>
#include <vector>

#include "core/feedback.h"

namespace tavo::platform {

// What a command-line front end needs of its console, on either system.

enum class StdStream { kIn, kOut, kErr };
// Whether the stream is a terminal (POSIX) or a console (Windows), not a
// file or a pipe: progress lines and questions only go there.
bool IsTerminal(StdStream stream);

// Windows: the console takes UTF-8 output, as a terminal does elsewhere.
void UseUtf8Console();

// The first Ctrl-C (on Windows also Ctrl-Break and closing the console)
// sets `token`, so the exchange under way ends and the command stops; a
// second one ends the program at once. nullptr forgets the token (before it
// goes), and later interrupts are only noted.
void StopOnInterrupt(core::CancelToken* token);
// Whether such an interrupt came.
bool Interrupted();

// Where the per-user settings live: $XDG_CONFIG_HOME/tavo or ~/.config/tavo
// (a relative XDG_CONFIG_HOME is ignored); on Windows %APPDATA%\Tavo. Empty
// when the environment names no such place.
std::string UserSettingsDirectory();

// The serial ports the system lists (Windows: the registry's
// HARDWARE\DEVICEMAP\SERIALCOMM, e.g. "COM3"); empty elsewhere.
std::vector<std::string> SystemSerialPorts();

}  // namespace tavo::platform
