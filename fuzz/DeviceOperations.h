// The library's exported functions as a fuzz input asks for them. The first
// bytes of an input choose how the line behaves and which calls run; the
// rest are the device's answers (see FuzzLine):
//
//     offset 0  piece seed           offset 4  size of the file copied to the device
//     offset 1  pause rate           offset 5  bit 0: the copy from the device
//     offset 2  write failure rate             replaces an existing local file
//     offset 3  progress callbacks   offset 6..9  up to four calls, one byte each
//               before a cancel (0: never)
//
// A call byte: bits 0-3 the function (see Call), bit 4 the flag argument,
// bits 5-6 which device file name is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "trelm.h"

class DeviceOperations {
public:
    static constexpr std::size_t kHeaderSize = 10;
    static constexpr std::size_t kCalls = 4;

    enum Call : uint8_t {
        Init = 0,
        DeviceInfo,
        Statistics,
        FileHandle,
        FileExists,
        FileSize,
        FileInfo,
        DeleteFile,
        Listing,
        CopyToDevice,
        CopyFromDevice,
        ScanPorts,
        PortSettings,
        ExtendedError,
        CallCount
    };

    // What one call did, for the checks of the caller.
    struct Outcome {
        Call call = Init;
        TRELM_Result result = TRELM_OK;
        bool localFileKept = true; // the local files the call must not change are unchanged
    };

    // Prepares a private folder with the local files the copies use and a
    // TRELM_PORTS folder offering COM 1 and COM 2.
    explicit DeviceOperations(std::filesystem::path folder);

    // Runs the calls of `header` (kHeaderSize bytes) one after another.
    std::vector<Outcome> Run(std::span<const uint8_t> header);

    // The header of an input that runs `calls` with a well-behaved line.
    static std::vector<uint8_t> Header(std::initializer_list<uint8_t> calls,
                                       uint8_t sourceSizeIndex = 5);

    static const char* Name(Call call);

private:
    Outcome RunCall(uint8_t code, std::span<const uint8_t> header);
    bool LocalFolderClean() const;

    std::filesystem::path m_folder;
    std::filesystem::path m_sources;
    std::filesystem::path m_copies;
};
