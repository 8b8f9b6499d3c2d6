// Names and plain-word descriptions of the library's result codes, device
// error codes and link states, as the command line tool prints them.
#pragma once

#include <cstdint>
#include <string>

namespace trelmctl {

class ResultNames {
public:
    // "TRELM_ERROR_DEVICE_ERROR"; "TRELM_OK" for 0; "unknown" beyond the table.
    static const char* Result(uint32_t result);
    // What a result code means, in a few plain words.
    static const char* Describe(uint32_t result);
    // "TRELM_DEVICE_ERROR_NONE_EXISTING_FILENAME"; "unknown" beyond the table.
    static const char* DeviceError(uint32_t deviceError);
    // "TRELM_LINK_NAK"; "unknown" beyond the table.
    static const char* LinkStatus(uint32_t linkStatus);
};

} // namespace trelmctl
