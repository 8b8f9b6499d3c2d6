#include "FuzzPort.h"

FuzzPort::~FuzzPort() {
    FuzzPort::Close();
}

bool FuzzPort::Open(uint8_t portId, const char* mode) {
    Close();
    m_portId = portId;
    m_open = portId != 0;
    return m_open && ApplySettings(mode);
}

bool FuzzPort::ApplySettings(const char*) {
    return m_open;
}

bool FuzzPort::Close() {
    const bool wasOpen = m_open;
    m_open = false;
    return wasOpen;
}

const char* FuzzPort::GetSettingsString() {
    return m_open ? "baud=9600 parity=N data=8 stop=1" : nullptr;
}

bool FuzzPort::SetTimeouts(uint32_t interval, uint32_t readMultiplier, uint32_t readConstant,
                           uint32_t writeMultiplier, uint32_t writeConstant) {
    if (!m_open) {
        return false;
    }
    m_saved = {interval, readMultiplier, readConstant, writeMultiplier, writeConstant};
    return true;
}

bool FuzzPort::GetTimeouts(trelm::Timeouts& saved) const {
    if (!m_open) {
        return false;
    }
    saved = m_saved;
    return true;
}

bool FuzzPort::RestoreTimeouts(const trelm::Timeouts& saved) {
    return SetTimeouts(saved.interval, saved.readMultiplier, saved.readConstant,
                       saved.writeMultiplier, saved.writeConstant);
}

bool FuzzPort::Read(void* buffer, uint32_t count, uint32_t& transferred) {
    transferred = 0;
    if (!m_open || (buffer == nullptr && count > 0)) {
        return false;
    }
    transferred = m_line.Read(static_cast<uint8_t*>(buffer), count);
    return transferred == count;
}

bool FuzzPort::Write(const void* buffer, uint32_t count, uint32_t& transferred) {
    transferred = 0;
    if (!m_open || (buffer == nullptr && count > 0)) {
        return false;
    }
    if (!m_line.Write(count)) {
        return false;
    }
    transferred = count;
    return true;
}

bool FuzzPort::Purge() {
    if (!m_open) {
        return false;
    }
    m_line.Purge();
    return true;
}

uint32_t FuzzPort::BytesWaiting() {
    return m_open ? m_line.Waiting() : 0;
}
