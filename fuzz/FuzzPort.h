// A SerialPort whose line is a FuzzLine: the library's port seam, so that
// every exported function can be driven by arbitrary device bytes without a
// terminal. Opening always works and keeps the line settings of the mode
// string; every read and write goes to the shared line.
#pragma once

#include "FuzzLine.h"
#include "SerialPort.h"

#include <string>

class FuzzPort : public trelm::SerialPort {
public:
    explicit FuzzPort(FuzzLine& line) : m_line(line) {}
    ~FuzzPort() override;

    bool Open(uint8_t portId, const char* mode) override;
    bool ApplySettings(const char* mode) override;
    bool Close() override;
    const char* GetSettingsString() override;
    bool SetTimeouts(uint32_t interval, uint32_t readMultiplier, uint32_t readConstant,
                     uint32_t writeMultiplier, uint32_t writeConstant) override;
    bool GetTimeouts(trelm::Timeouts& saved) const override;
    bool RestoreTimeouts(const trelm::Timeouts& saved) override;
    bool Read(void* buffer, uint32_t count, uint32_t& transferred) override;
    bool Write(const void* buffer, uint32_t count, uint32_t& transferred) override;
    bool Purge() override;
    uint32_t BytesWaiting() override;
    bool IsOpen() const override { return m_open; }

private:
    FuzzLine& m_line;
    bool m_open = false;
    trelm::Timeouts m_saved{};
};
