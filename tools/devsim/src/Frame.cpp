#include "devsim/Frame.h"

#include <stdexcept>

namespace devsim {

uint16_t Frame::checksum(std::span<const uint8_t> bytes) {
    uint16_t sum = 0;
    for (uint8_t b : bytes) {
        sum = static_cast<uint16_t>(sum + b);
    }
    return sum;
}

std::vector<uint8_t> Frame::build(uint16_t code, std::span<const uint8_t> payload) {
    if (payload.size() > MaxPayload) {
        throw std::length_error("frame payload longer than 255 bytes");
    }
    std::vector<uint8_t> frame;
    frame.reserve(payload.size() + Overhead);
    putU16(frame, code);
    frame.push_back(static_cast<uint8_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    putU16(frame, checksum(frame));
    return frame;
}

bool Frame::valid(std::span<const uint8_t> frame) {
    if (frame.size() < Overhead || frame.size() != frame[2] + Overhead) {
        return false;
    }
    const std::size_t body = frame.size() - 2;
    return checksum(frame.first(body)) == u16(frame, body);
}

void Frame::putU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Frame::putU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>((value >> shift) & 0xFF));
    }
}

} // namespace devsim
