#pragma once

#include <string>
#include <vector>

namespace tavo::platform {

// Why the device behind COM<n> cannot be opened, and what the user can do
// about it: for the window's error box and for a command-line port check.

enum class PortFault { kNone, kNoDevice, kNoPermission, kBusy, kOther };

struct SerialDevice {
  std::string path;   // /dev/ttyUSB0
  std::string by_id;  // its /dev/serial/by-id/ name, which survives replugging; may be empty
};

struct PortDiagnosis {
  int port_number = 0;
  std::string link;    // where a "com<n>" link in the start directory goes
  std::string entry;   // that link, when there is one
  std::string device;  // the device COM<n> names
  PortFault fault = PortFault::kNone;
  int error = 0;                      // the operating system's error number, 0 for none
  std::string reason;                 // the operating system's text for it
  std::string user;                   // the user's login name
  std::string group;                  // kNoPermission: the group the device belongs to
  bool group_listed = false;          // kNoPermission: the user is in it, but not in this login
  std::string holder;                 // kBusy: the program holding the device, when known
  std::vector<SerialDevice> present;  // the serial devices there are
};

// Where the facts are read; tests point these at a tree of their own.
struct PortPlaces {
  std::string dev = "/dev";
  std::string sys_tty = "/sys/class/tty";
  std::string proc = "/proc";
  std::vector<std::string> lock_dirs = {"/run/lock", "/var/lock", "/var/spool/uucp", "/tmp",
                                        "/var/tmp"};
};

// The fault of an operating system error number from opening a device.
PortFault FaultOfError(int error);

// The error number that opening `device` for reading and writing would meet,
// judged without opening it (so no line is raised or dropped): ENOENT and
// the like when it is missing, EACCES without permission, EBUSY while another
// program's lock file names it; 0 when nothing stands in the way.
int AccessError(const std::string& device, const PortPlaces& places = {});

// The facts about COM<n> given the error its opening met (`open_error`; a
// negative value: judge by AccessError). The serial devices present are
// listed in every case.
PortDiagnosis DiagnosePort(int port_number, const std::string& start_directory, int open_error,
                           const PortPlaces& places = {});

// The serial devices present: USB adapters (ttyUSB, ttyACM) and the built-in
// ports that have a UART (ttyS), with their stable names.
std::vector<SerialDevice> SerialDevices(const PortPlaces& places = {});

// For the user, a few lines: which device COM<n> is, the system's reason,
// and the fix where one is known.
std::string DescribePortFailure(const PortDiagnosis& diagnosis);

}  // namespace tavo::platform
