// Which device a COM port number names. A TRELM_PORTS directory, when set,
// is the whole map ("comN" entries); otherwise a fixed table of tty devices.
#pragma once

#include <cstdint>
#include <string>

namespace trelm {

// Where port numbers are looked up. A set, non-empty TRELM_PORTS always
// decides: a usable folder is the map, anything else (a file, a missing
// path, a folder that cannot be read) is an unusable map that names no
// device, so a caller that meant a test folder never reaches real hardware.
struct PortMapChoice {
    enum class Kind { FixedTable, Directory, Unusable };
    Kind kind = Kind::FixedTable;
    std::string directory; // the folder for Directory, the variable's value for Unusable
};

// Reads TRELM_PORTS. An unusable value is reported on the diagnostic output
// together with the reason.
PortMapChoice ChoosePortMap();

// Device path of COM `number`, or an empty string when the number names none.
std::string DevicePathForPort(unsigned number);

// The directory named by TRELM_PORTS, or an empty string when no usable one
// is named.
std::string PortMapDirectory();

// The fixed table: COM1-32 are ttyS0-31, COM33-64 ttyUSB0-31, COM65-96
// ttyACM0-31, all under `devRoot`. Empty for any other number.
std::string FixedTablePath(unsigned number, const std::string& devRoot = "/dev");

} // namespace trelm
