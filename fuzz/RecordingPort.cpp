#include "RecordingPort.h"

#include <algorithm>
#include <span>

namespace {
// The base class's line stays unused: every line operation is overridden.
FuzzLine g_unusedLine;
} // namespace

RecordingPort::RecordingPort(devsim::Device& device, std::vector<uint8_t>& bursts)
    : FuzzPort(g_unusedLine), m_device(device), m_bursts(bursts) {}

bool RecordingPort::Write(const void* buffer, uint32_t count, uint32_t& transferred) {
    transferred = 0;
    if (!IsOpen() || buffer == nullptr) {
        return false;
    }
    const std::vector<uint8_t> answer =
        m_device.process(std::span(static_cast<const uint8_t*>(buffer), count));
    // The burst's length, short or long form, then its bytes.
    if (answer.size() < 0xFF) {
        m_bursts.push_back(static_cast<uint8_t>(answer.size()));
    } else {
        m_bursts.push_back(0xFF);
        m_bursts.push_back(static_cast<uint8_t>(answer.size() & 0xFF));
        m_bursts.push_back(static_cast<uint8_t>(answer.size() >> 8));
    }
    m_bursts.insert(m_bursts.end(), answer.begin(), answer.end());
    m_answer.insert(m_answer.end(), answer.begin(), answer.end());
    transferred = count;
    return true;
}

bool RecordingPort::Read(void* buffer, uint32_t count, uint32_t& transferred) {
    transferred = std::min<uint32_t>(count, static_cast<uint32_t>(m_answer.size()));
    std::copy_n(m_answer.begin(), transferred, static_cast<uint8_t*>(buffer));
    m_answer.erase(m_answer.begin(), m_answer.begin() + transferred);
    return transferred == count;
}

bool RecordingPort::Purge() {
    m_answer.clear();
    return IsOpen();
}

uint32_t RecordingPort::BytesWaiting() {
    return static_cast<uint32_t>(m_answer.size());
}
