// Splits what the device sent for one request into the acknowledgement word
// and the reply frame, checking the reply's checksum independently.
#pragma once

#include "RequestBuilder.h"

#include <cstddef>
#include <cstdint>

class AnswerReader {
public:
    explicit AnswerReader(const Bytes& answer);

    // The first two bytes as a little-endian word; 0 when fewer arrived.
    uint16_t word() const { return word_; }
    bool acked() const { return word_ == 0x0F00; }
    // True when a whole reply frame followed the word.
    bool hasReply() const { return hasReply_; }
    bool checksumOk() const { return checksumOk_; }
    uint16_t code() const { return code_; }
    const Bytes& payload() const { return payload_; }
    // Bytes after the reply frame (or after the word, without a reply).
    std::size_t trailing() const { return trailing_; }

    uint8_t u8(std::size_t at) const { return payload_.at(at); }
    uint16_t u16(std::size_t at) const {
        return static_cast<uint16_t>(payload_.at(at) | (payload_.at(at + 1) << 8));
    }
    uint32_t u32(std::size_t at) const {
        return static_cast<uint32_t>(u16(at)) | (static_cast<uint32_t>(u16(at + 2)) << 16);
    }

private:
    uint16_t word_ = 0;
    bool hasReply_ = false;
    bool checksumOk_ = false;
    uint16_t code_ = 0;
    Bytes payload_;
    std::size_t trailing_ = 0;
};
