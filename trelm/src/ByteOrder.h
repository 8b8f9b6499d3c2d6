// Little-endian field access for frames on the device line. Loads from a
// span read 0 for every byte beyond its end, so a reply that is shorter than
// the fields its reader expects yields zeros instead of stale buffer bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace trelm {

inline void StoreU16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value & 0xFF);
    at[1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

inline uint16_t LoadU16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

inline uint8_t LoadU8(std::span<const uint8_t> bytes, std::size_t offset) {
    return offset < bytes.size() ? bytes[offset] : 0;
}

inline uint16_t LoadU16(std::span<const uint8_t> bytes, std::size_t offset) {
    return static_cast<uint16_t>(LoadU8(bytes, offset) | (LoadU8(bytes, offset + 1) << 8));
}

inline uint32_t LoadU32(std::span<const uint8_t> bytes, std::size_t offset) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(LoadU8(bytes, offset + i)) << (8 * i);
    }
    return value;
}

} // namespace trelm
