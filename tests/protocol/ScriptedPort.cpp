#include "ScriptedPort.h"

ScriptedPort::~ScriptedPort() {
    ScriptedPort::Close();
}

bool ScriptedPort::Open(uint8_t portId, const char* mode) {
    Close();
    m_portId = portId;
    if (!m_device.OpenPort(portId)) {
        return false;
    }
    m_open = true;
    return ApplySettings(mode);
}

bool ScriptedPort::ApplySettings(const char* mode) {
    if (!m_open || mode == nullptr) {
        return false;
    }
    m_mode = mode;
    return true;
}

bool ScriptedPort::Close() {
    const bool wasOpen = m_open;
    m_open = false;
    return wasOpen;
}

const char* ScriptedPort::GetSettingsString() {
    return m_open ? m_mode.c_str() : nullptr;
}

bool ScriptedPort::SetTimeouts(uint32_t interval, uint32_t readMultiplier, uint32_t readConstant,
                               uint32_t writeMultiplier, uint32_t writeConstant) {
    return RestoreTimeouts(
        {interval, readMultiplier, readConstant, writeMultiplier, writeConstant});
}

bool ScriptedPort::GetTimeouts(trelm::Timeouts& saved) const {
    saved = m_timeouts;
    return true;
}

bool ScriptedPort::RestoreTimeouts(const trelm::Timeouts& saved) {
    m_timeouts = saved;
    m_device.RecordTimeouts(saved);
    return true;
}

bool ScriptedPort::Read(void* buffer, uint32_t count, uint32_t& transferred) {
    transferred = 0;
    if (!m_open) {
        return false;
    }
    transferred = m_device.TakeInput(static_cast<uint8_t*>(buffer), count);
    return transferred == count;
}

bool ScriptedPort::Write(const void* buffer, uint32_t count, uint32_t& transferred) {
    transferred = 0;
    if (!m_open) {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    m_device.Receive(Bytes(bytes, bytes + count));
    transferred = count;
    return true;
}

bool ScriptedPort::Purge() {
    if (!m_open) {
        return false;
    }
    m_device.Purge();
    return true;
}

uint32_t ScriptedPort::BytesWaiting() {
    return m_open ? m_device.Pending() : 0;
}
