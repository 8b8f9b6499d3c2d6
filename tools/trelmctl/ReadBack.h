// Reads a device file into memory, to compare it with what was copied. The
// library copies to a path only, so the bytes pass through a private folder
// on the memory file system (/dev/shm, else the temporary folder) that is
// removed at once; nothing is written where the user's files are.
#pragma once

#include <cstdint>
#include <string>

namespace trelmctl {

class ReadBack {
public:
    // The library's result code; on success `data` holds the file. `error`
    // says what went wrong locally (with TRELM_ERROR_PC_FILE_IO_FAILED).
    static uint32_t Read(const std::string& deviceName, std::string& data, std::string& error);

    // A file read whole; false when it cannot be read.
    static bool ReadLocal(const std::string& path, std::string& data);

    // "" when equal; otherwise where the two first differ, in words.
    static std::string Difference(const std::string& expected, const std::string& actual);
};

} // namespace trelmctl
