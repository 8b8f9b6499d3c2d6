// A port that lets the device emulator answer in memory and records its
// answers as the bursts a FuzzLine replays: one burst per request written.
// Seed inputs for the device fuzz target are made with it, so that they
// start from real traffic.
#pragma once

#include "FuzzPort.h"

#include "devsim/Device.h"

#include <cstdint>
#include <deque>
#include <vector>

class RecordingPort : public FuzzPort {
public:
    RecordingPort(devsim::Device& device, std::vector<uint8_t>& bursts);

    bool Read(void* buffer, uint32_t count, uint32_t& transferred) override;
    bool Write(const void* buffer, uint32_t count, uint32_t& transferred) override;
    bool Purge() override;
    uint32_t BytesWaiting() override;

private:
    devsim::Device& m_device;
    std::vector<uint8_t>& m_bursts;
    std::deque<uint8_t> m_answer;
};
