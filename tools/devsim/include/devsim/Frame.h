// Framing as the device sees it: code (2 bytes, little-endian), payload
// length L, L payload bytes, and a 16-bit checksum that is the wrapping sum
// of all bytes before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace devsim {

class Frame {
public:
    static constexpr std::size_t HeaderSize = 3;
    static constexpr std::size_t Overhead = 5;
    static constexpr std::size_t MaxPayload = 255;

    // The sum of the bytes as unsigned values, wrapping at 16 bits.
    static uint16_t checksum(std::span<const uint8_t> bytes);
    // A complete frame with the given code and payload (at most 255 bytes).
    static std::vector<uint8_t> build(uint16_t code, std::span<const uint8_t> payload);
    // True when the frame is complete (L + 5 bytes) and its checksum matches.
    static bool valid(std::span<const uint8_t> frame);
    static uint16_t code(std::span<const uint8_t> frame) { return u16(frame, 0); }
    static std::span<const uint8_t> payload(std::span<const uint8_t> frame) {
        return frame.subspan(HeaderSize, frame[2]);
    }

    static uint16_t u16(std::span<const uint8_t> bytes, std::size_t at) {
        return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
    }
    static uint32_t u32(std::span<const uint8_t> bytes, std::size_t at) {
        return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
               (static_cast<uint32_t>(bytes[at + 2]) << 16) |
               (static_cast<uint32_t>(bytes[at + 3]) << 24);
    }
    static void putU16(std::vector<uint8_t>& out, uint16_t value);
    static void putU32(std::vector<uint8_t>& out, uint32_t value);
    static void putWord(std::vector<uint8_t>& out, uint16_t word) { putU16(out, word); }
};

} // namespace devsim
