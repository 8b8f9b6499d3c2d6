// One file of the device's NV file store.
#pragma once

#include "devsim/Timestamp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace devsim {

struct NvFile {
    static constexpr uint16_t ReadOnly = 0x0001; // write-protected
    static constexpr uint16_t Hidden = 0x0002;
    static constexpr std::size_t MaxSize = 65535;
    static constexpr std::size_t MaxNameLength = 12;

    std::string name; // kept in lower case
    std::vector<uint8_t> data;
    Timestamp created;
    Timestamp modified;
    uint16_t attributes = 0;
    // The two further values the device reports per file. Unset ReportedSize
    // reports the file size; unset ReportedValue is given the file's serial
    // number when the file enters the store.
    std::optional<uint32_t> reportedSize;
    std::optional<uint32_t> reportedValue;
    // Assigned by the store; 0 until then.
    uint16_t handle = 0;

    bool hidden() const { return (attributes & Hidden) != 0; }
    bool readOnly() const { return (attributes & ReadOnly) != 0; }
    uint32_t reportedSizeValue() const {
        return reportedSize ? *reportedSize : static_cast<uint32_t>(data.size());
    }
};

} // namespace devsim
