// Builds request frames for the tests, byte by byte, with its own checksum
// code so that a framing fault in the emulator cannot hide behind shared code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class RequestBuilder {
public:
    static Bytes frame(uint16_t code, const Bytes& payload = {});
    // Name argument: length byte, then the characters as given.
    static Bytes named(uint16_t code, const std::string& name);
    static Bytes handle(uint16_t code, uint16_t handle);
    static Bytes handleAnd(uint16_t code, uint16_t handle, uint16_t value);
    // CREATE_NV_FILE for 10:20:30 on Tuesday 5 March 2024.
    static Bytes create(const std::string& name, uint16_t size, uint8_t attributes = 0);
    static Bytes createPacket(uint16_t packet, const Bytes& data);
    // A listing data-packet request: only the low 8 bits travel.
    static Bytes listPacket(uint16_t code, unsigned packet);
    // Frames joined into one byte stream.
    static Bytes join(const std::vector<Bytes>& frames);
};
