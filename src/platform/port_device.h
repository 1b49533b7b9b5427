#pragma once

#include <string>

namespace tavo::platform {

// The serial device behind port number n (1 to 4: COM1 to COM4); empty when n
// is below 1. Windows: "COM<n>". POSIX: the entry "com<n>" in start_directory
// when there is one (a link to a device, as DOS-device emulators map them),
// given by its target when that resolves; otherwise /dev/ttyS<n-1>.
std::string SerialDeviceName(int port_number, const std::string& start_directory);

}  // namespace tavo::platform
