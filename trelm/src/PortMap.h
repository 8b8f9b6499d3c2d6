// Which device a COM port number names. A TRELM_PORTS directory, when set,
// is the whole map ("comN" entries); otherwise a fixed table of tty devices.
#pragma once

#include <cstdint>
#include <string>

namespace trelm {

// Device path of COM `number`, or an empty string when the number names none.
std::string DevicePathForPort(unsigned number);

} // namespace trelm
