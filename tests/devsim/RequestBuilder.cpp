#include "RequestBuilder.h"

Bytes RequestBuilder::frame(uint16_t code, const Bytes& payload) {
    Bytes out{static_cast<uint8_t>(code & 0xFF), static_cast<uint8_t>(code >> 8),
              static_cast<uint8_t>(payload.size())};
    out.insert(out.end(), payload.begin(), payload.end());
    unsigned sum = 0;
    for (uint8_t b : out) {
        sum += b;
    }
    out.push_back(static_cast<uint8_t>(sum & 0xFF));
    out.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
    return out;
}

Bytes RequestBuilder::named(uint16_t code, const std::string& name) {
    Bytes payload{static_cast<uint8_t>(name.size())};
    payload.insert(payload.end(), name.begin(), name.end());
    return frame(code, payload);
}

Bytes RequestBuilder::handle(uint16_t code, uint16_t handle) {
    return frame(code, {static_cast<uint8_t>(handle & 0xFF), static_cast<uint8_t>(handle >> 8)});
}

Bytes RequestBuilder::handleAnd(uint16_t code, uint16_t handle, uint16_t value) {
    return frame(code, {static_cast<uint8_t>(handle & 0xFF), static_cast<uint8_t>(handle >> 8),
                        static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)});
}

Bytes RequestBuilder::create(const std::string& name, uint16_t size, uint8_t attributes) {
    const uint16_t packets = static_cast<uint16_t>((size + 99) / 100);
    Bytes payload{static_cast<uint8_t>(name.size()),
                  static_cast<uint8_t>(size & 0xFF),
                  static_cast<uint8_t>(size >> 8),
                  static_cast<uint8_t>(packets & 0xFF),
                  static_cast<uint8_t>(packets >> 8),
                  10,
                  20,
                  30,
                  5,
                  3,
                  0xE8,
                  0x07, // 2024
                  2,
                  attributes};
    payload.insert(payload.end(), name.begin(), name.end());
    return frame(0x1307, payload);
}

Bytes RequestBuilder::createPacket(uint16_t packet, const Bytes& data) {
    Bytes payload{static_cast<uint8_t>(packet & 0xFF), static_cast<uint8_t>(packet >> 8),
                  static_cast<uint8_t>(data.size())};
    payload.insert(payload.end(), data.begin(), data.end());
    return frame(0x1309, payload);
}

Bytes RequestBuilder::listPacket(uint16_t code, unsigned packet) {
    return frame(code, {static_cast<uint8_t>(packet & 0xFF), 0});
}

Bytes RequestBuilder::join(const std::vector<Bytes>& frames) {
    Bytes out;
    for (const Bytes& f : frames) {
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}
