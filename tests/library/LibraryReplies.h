// Reply payloads of the file commands, built byte by byte from the device's
// layouts (independently of the library's readers).
#pragma once

#include "ScriptedDevice.h"

#include <cstdint>
#include <string>

namespace library_test {

inline Bytes U16(uint16_t v) {
    return {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>(v >> 8)};
}

inline Bytes U32(uint32_t v) {
    return {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>((v >> 8) & 0xFF),
            static_cast<uint8_t>((v >> 16) & 0xFF), static_cast<uint8_t>(v >> 24)};
}

// A device time stamp's fields.
struct Stamp {
    uint8_t hour, minute, second, day, month;
    uint16_t year;
    uint8_t dayOfWeek;
};

// File-information order: hh mm ss DD MM YY(2) WD.
inline Bytes InfoStamp(const Stamp& t) {
    return ScriptedDevice::Concat(
        {{t.hour, t.minute, t.second, t.day, t.month}, U16(t.year), {t.dayOfWeek}});
}

// Listing order: DD MM YY(2) WD, one unused byte, hh mm ss, one unused byte.
inline Bytes ListingStamp(const Stamp& t) {
    return ScriptedDevice::Concat(
        {{t.day, t.month}, U16(t.year), {t.dayOfWeek, 0xEE, t.hour, t.minute, t.second, 0xEE}});
}

// `name` padded with zeros (or cut) to exactly 13 bytes.
inline Bytes NameField(const std::string& name) {
    Bytes bytes(name.begin(), name.end());
    bytes.resize(13, 0);
    return bytes;
}

struct FileFacts {
    std::string name;
    uint32_t size = 0;
    uint16_t handle = 0;
    Stamp first{};
    Stamp second{};
    uint16_t attr = 0;
    uint32_t reportedSize = 0;
    uint32_t reportedValue = 0;
};

// File-information reply payload (status byte first).
inline Bytes InfoReply(uint8_t status, const FileFacts& f) {
    return ScriptedDevice::Concat({{status},
                                   U16(f.handle),
                                   U32(f.size),
                                   InfoStamp(f.first),
                                   InfoStamp(f.second),
                                   U16(f.attr),
                                   U32(f.reportedSize),
                                   U32(f.reportedValue),
                                   {0xEE},
                                   NameField(f.name)});
}

// One 48-byte listing entry.
inline Bytes ListingEntry(const FileFacts& f) {
    return ScriptedDevice::Concat({U32(f.size),
                                   NameField(f.name),
                                   {0xEE},
                                   ListingStamp(f.first),
                                   ListingStamp(f.second),
                                   U16(f.attr),
                                   U32(f.reportedSize),
                                   U32(f.reportedValue)});
}

// Code of a request frame.
inline uint16_t CodeOf(const Bytes& request) {
    return static_cast<uint16_t>(request.at(0) | (request.at(1) << 8));
}

// Payload of a request frame.
inline Bytes PayloadOf(const Bytes& request) {
    return Bytes(request.begin() + 3, request.begin() + 3 + request.at(2));
}

} // namespace library_test
