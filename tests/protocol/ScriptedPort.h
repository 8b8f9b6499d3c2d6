// A SerialPort whose line is a ScriptedDevice in memory: every write is one
// request frame handed to the device, reads take what the device answered
// and fail when fewer bytes are there (a silent device).
#pragma once

#include "ScriptedDevice.h"
#include "SerialPort.h"

#include <string>

class ScriptedPort : public trelm::SerialPort {
public:
    explicit ScriptedPort(ScriptedDevice& device) : m_device(device) {}
    ~ScriptedPort() override;

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
    ScriptedDevice& m_device;
    bool m_open = false;
    std::string m_mode;
};
