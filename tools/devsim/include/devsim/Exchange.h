// What the device does about one request frame it received.
#pragma once

#include <cstdint>
#include <vector>

namespace devsim {

struct Exchange {
    std::vector<uint8_t> request; // the frame as received
    std::vector<uint8_t> answer;  // acknowledgement word and reply, as sent
    bool hangUp = false;          // the line is to be closed instead of answering
    uint32_t delayMs = 0;         // wait this long before answering
    uint32_t baud = 0;            // pace this answer at this rate (0: line rate)
};

} // namespace devsim
