// Which device a COM port number names. A TRELM_PORTS directory, when set,
// is the whole map ("comN" entries); otherwise a fixed table of tty devices.
#pragma once

#include <cstdint>
#include <string>

namespace trelm {

// Device path of COM `number`, or an empty string when the number names none.
std::string DevicePathForPort(unsigned number);

// The directory named by TRELM_PORTS, or an empty string when the variable is
// unset, empty or names no directory (the fixed table is in force then).
std::string PortMapDirectory();

// The fixed table: COM1-32 are ttyS0-31, COM33-64 ttyUSB0-31, COM65-96
// ttyACM0-31, all under `devRoot`. Empty for any other number.
std::string FixedTablePath(unsigned number, const std::string& devRoot = "/dev");

} // namespace trelm
